// libFuzzer target over the export table: the input picks a function and, argument by argument,
// whether it keeps its valid value, becomes null, takes a boundary value or a small raw one; the
// rest of the input becomes the arrays' contents. Every call must stay inside its buffers (guard
// pages, or the sanitizers' redzones) and report only from the library's modules. (Data-dependent
// reports after the work make "a failed call changes nothing" a property of the driver's chosen
// data, which the adversarial driver checks.)
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness.h"

using namespace adv;

namespace {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  std::uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  int word() {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w = w << 8 | byte();
    return static_cast<int>(w);
  }
  std::size_t take(void* dst, std::size_t n) {
    n = std::min(n, static_cast<std::size_t>(end_ - p_));
    if (n) std::memcpy(dst, p_, n);
    p_ += n;
    return n;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

constexpr long kCap = 1 << 14;
const int kBoundary[] = {0, 1, -1, INT_MIN, INT_MAX, 31, 32, 33, 40, 0x10000000, 0x40000000};

bool isInt(K k) {
  return k == K::Len || k == K::Order || k == K::Flags || k == K::ScaleMode || k == K::Int;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool once = [] {
    kvoSetErrMode(KVO_ErrorModeParent);
    kvoRedirectError(recordReport);
    std::atexit(releaseThreadTables);
    return true;
  }();
  (void)once;
  Input in(data, size);
  const int pick = in.byte() << 8 | in.byte();
  const Row& row = kTable[pick % kTableSize];
  Call c(row, in.byte() & 1);
  if (!c.prepare()) return 0;
  std::vector<int> nulls;
  std::vector<std::pair<int, unsigned char>> records;
  for (int i = 0; i < row.nparams; ++i) {
    const Param& p = row.params[i];
    const std::uint8_t op = in.byte();
    Slot& a = c.arg(i);
    const Slot before = a;
    // Null pointers and replaced records come after the integers: element counts read them.
    if (op % 8 == 4 && p.kind != K::Fn && p.kind != K::Block &&
        (p.kind == K::In || p.kind == K::Out || p.kind == K::ScaleFactor || p.kind == K::State ||
         p.kind == K::Str)) {
      nulls.push_back(i);
    } else if (isInt(p.kind) && op % 8 >= 5) {
      const std::uint8_t r = in.byte();
      // Raw values stay small enough for the arrays to follow them; orders past 12 only make
      // large tables.
      a.i = op % 8 == 5          ? kBoundary[r % (sizeof kBoundary / sizeof kBoundary[0])]
            : p.kind == K::Order ? r % 13
            : p.kind == K::Flags || p.kind == K::ScaleMode ? in.word()
                                                           : r % 70 - 2;
      const bool invalidOrder = p.kind == K::Order && (a.i < 0 || a.i > 31);
      const bool isUnsigned = std::strcmp(p.ctype, "unsigned int") == 0;
      const bool huge = (a.i > kCap || (isUnsigned && a.i < 0)) && p.kind != K::Order;
      if (huge || (!c.resize(kCap) && !invalidOrder)) a = before;
    } else if (p.kind == K::Val && op % 8 >= 6) {
      in.take(&a, sizeof(double) * 2);
    } else if (p.kind == K::State && op % 8 == 5) {
      records.push_back({i, stateHasMark(p.state) ? in.byte() : 0});
    }
  }
  c.resize(kCap);
  for (auto [i, byte] : records) {
    std::vector<unsigned char> bytes(stateSize(row.params[i].state), byte);
    c.setRecord(i, bytes.data(), bytes.size());
  }
  // The rest of the input is the arrays' data, in argument order.
  for (int i = 0; i < row.nparams; ++i) {
    const Param& p = row.params[i];
    if ((p.kind == K::In || p.kind == K::Out) && p.elem != E::PTR && c.buffer(i) &&
        c.arg(i).p == c.buffer(i)) {
      in.take(c.buffer(i), static_cast<std::size_t>(c.count(i)) * elemSize(p.elem));
    }
  }
  // The data may have changed a value that an element count reads (a phase behind a pointer):
  // a call whose arrays no longer hold what its arguments ask for would break the caller's side
  // of the contract, so it is not made. (Replaced records make no counts: they are refused.)
  for (int i = 0; records.empty() && i < row.nparams; ++i) {
    const K k = row.params[i].kind;
    if ((k == K::In || k == K::Out || k == K::ScaleFactor) && row.size(i, &c.arg(0)) > c.count(i))
      return 0;
  }
  for (int i : nulls) c.arg(i).p = nullptr;
  reports().clear();
  kvoSetErrStatus(0);
  c.invoke();
  kvoSetErrMode(KVO_ErrorModeParent);
  kvoRedirectError(recordReport);
  // Reports come from the library's modules (the 16-bit complex conversions name none, and the
  // frame functions report whatever they are given).
  for (const Report& r : reports()) {
    if (!isModule(r.module) && r.module != "(null)" && std::strcmp(row.family, "errors") != 0) {
      std::fprintf(stderr, "%s: report from unknown module %s\n", row.name, r.module.c_str());
      std::abort();
    }
  }
  reports().clear();
  return 0;
}
