#include "harness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>

namespace adv {
namespace {

// Helpers of the generated element-count expressions.
long POW2(long order) { return order >= 0 && order < 40 ? 1L << order : LONG_MAX / 4; }
long BYTES(long len, long bits) { return bits > 0 && bits <= 64 ? len * bits / 8 : len; }
long CEILDIV(long a, long b) { return b > 0 ? (a + b - 1) / b : a; }
long FIRL_DLYL(const FirTapState* t) {
  return t->isMultiRate ? CEILDIV(t->tapsLen, t->upFactor) : t->tapsLen;
}
long LMS_DLYL(const LmsTapState* t, int isAdaptive) {
  return t->tapsLen + (isAdaptive ? t->errDly : 0) + (t->isMultiRate ? t->downFactor : 0);
}

#include "export_table.inc"

}  // namespace

static_assert(sizeof(kRows) / sizeof(kRows[0]) == KVO_TABLE_ROWS);
#ifdef KVO_EXPORT_COUNT
// The build counts the names of src/kvom6.exports: an export without a row stops it here.
static_assert(KVO_TABLE_ROWS == KVO_EXPORT_COUNT, "regenerate tests/adversarial/export_table.inc");
#endif

const Row* const kTable = kRows;
const int kTableSize = KVO_TABLE_ROWS;

const Row* findRow(const std::string& name) {
  static const std::map<std::string, const Row*> byName = [] {
    std::map<std::string, const Row*> m;
    for (const Row& r : kRows) m[r.name] = &r;
    return m;
  }();
  auto it = byName.find(name);
  return it == byName.end() ? nullptr : it->second;
}

std::size_t elemSize(E e) {
  switch (e) {
    case E::F32:
    case E::I32:
    case E::C16:
      return 4;
    case E::F64:
    case E::C32:
      return 8;
    case E::C64:
      return 16;
    case E::I16:
      return 2;
    case E::U8:
    case E::S8:
      return 1;
    case E::PTR:
      return sizeof(void*);
    case E::None:
      break;
  }
  return 0;
}

std::size_t stateSize(St s) {
  switch (s) {
#define KVO_ADV_STATE(T) \
  case St::T:            \
    return sizeof(T);
    KVO_ADV_STATE(FirTapState)
    KVO_ADV_STATE(FirDlyState)
    KVO_ADV_STATE(FirState)
    KVO_ADV_STATE(IirTapState)
    KVO_ADV_STATE(IirDlyState)
    KVO_ADV_STATE(IirState)
    KVO_ADV_STATE(LmsTapState) KVO_ADV_STATE(LmsDlyState) KVO_ADV_STATE(LmsState)
        KVO_ADV_STATE(WtState) KVO_ADV_STATE(GoertzState) KVO_ADV_STATE(GoertzStateDouble)
            KVO_ADV_STATE(ToneState) KVO_ADV_STATE(TrnglState) KVO_ADV_STATE(RandUniState)
                KVO_ADV_STATE(RandGausState) KVO_ADV_STATE(WRandUniState)
                    KVO_ADV_STATE(WRandGausState)
#undef KVO_ADV_STATE
                        case St::None : break;
  }
  return 0;
}

void releaseThreadTables() {
  kvoFreeBitRevTbls();
  kvocFreeTwdTbls();
  kvozFreeTwdTbls();
  kvovFreeTwdTbls();
  kvosDct(nullptr, nullptr, 0, KVO_Free);
}

bool isModule(const std::string& name) {
  for (const char* m : kModules) {
    if (name == m) return true;
  }
  return false;
}

bool stateHasMark(St s) {
  return s == St::FirState || s == St::IirTapState || s == St::IirState || s == St::ToneState;
}

std::vector<Report>& reports() {
  static std::vector<Report> list;
  return list;
}

int KVO_CALL recordReport(int status, const char* funcName, const char* message,
                          const char* fileName, int) {
  reports().push_back({status, funcName ? funcName : "(null)", message ? message : "(null)",
                       fileName ? fileName : "(null)"});
  return status;
}

// ---- guarded memory ----------------------------------------------------------------------------

#if defined(__SANITIZE_ADDRESS__)
#define KVO_ADV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KVO_ADV_ASAN 1
#endif
#endif

bool usingRedzones() {
#ifdef KVO_ADV_ASAN
  return true;
#else
  return false;
#endif
}

#ifndef KVO_ADV_ASAN
namespace {
struct Mapping {
  void* base;
  std::size_t length;
};
std::map<void*, Mapping>& mappings() {
  static std::map<void*, Mapping> m;
  return m;
}
}  // namespace
#endif

void* guardedAlloc(std::size_t bytes, bool atStart) {
#ifdef KVO_ADV_ASAN
  (void)atStart;
  return std::malloc(bytes ? bytes : 1);
#else
  static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t body = (bytes + page - 1) / page * page;
  const std::size_t length = body + 2 * page;
  void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) std::abort();
  auto* b = static_cast<unsigned char*>(base);
  mprotect(b, page, PROT_NONE);
  mprotect(b + page + body, page, PROT_NONE);
  unsigned char* p = atStart ? b + page : b + page + body - bytes;
  mappings()[p] = {base, length};
  return p;
#endif
}

void guardedFree(void* p) {
#ifdef KVO_ADV_ASAN
  std::free(p);
#else
  auto it = mappings().find(p);
  if (it == mappings().end()) std::abort();
  munmap(it->second.base, it->second.length);
  mappings().erase(it);
#endif
}

// ---- one call ----------------------------------------------------------------------------------

namespace {
// Releases what the library allocated into a record of a high-level family.
void releaseRecord(St s, void* rec) {
  switch (s) {
    case St::FirState:
      kvoFirFree(static_cast<FirState*>(rec));
      break;
    case St::IirState:
      kvoIirFree(static_cast<IirState*>(rec));
      break;
    case St::LmsState:
      kvoLmsFree(static_cast<LmsState*>(rec));
      break;
    case St::WtState:
      kvoWtFree(static_cast<WtState*>(rec));
      break;
    default:
      break;
  }
}
}  // namespace

Call::~Call() {
  // A failed release of a record the call never initialised is no finding: keep the mode and
  // discard its report.
  const std::size_t before = reports().size();
  const int status = kvoGetErrStatus();
  for (auto it = overwritten_.rbegin(); it != overwritten_.rend(); ++it) {
    // A call that accepted the replaced record (an Init) made it live: release that one too.
    if (std::memcmp(buf_[it->param], it->written.data(), it->written.size()) != 0) {
      releaseRecord(row_->params[it->param].state, buf_[it->param]);
    }
    std::memcpy(buf_[it->param], it->valid.data(), it->valid.size());
  }
  for (auto& [s, rec] : records_) releaseRecord(s, rec);
  reports().resize(std::min(before, reports().size()));
  kvoSetErrStatus(status);
  steps_.clear();
  for (void* p : owned_) guardedFree(p);
  kvoFree(block_);
}

void* Call::own(std::size_t bytes) {
  void* p = guardedAlloc(bytes, atStart_);
  owned_.push_back(p);
  return p;
}

bool Call::prepareState(int i, const std::vector<std::pair<St, void*>>& bound) {
  const Param& prm = row_->params[i];
  for (auto& [s, rec] : bound) {
    if (s == prm.state) {
      a_[i].p = rec;
      return true;
    }
  }
  void* rec = own(stateSize(prm.state));
  std::memset(rec, 0, stateSize(prm.state));
  a_[i].p = buf_[i] = rec;
  records_.push_back({prm.state, rec});
  if (!prm.recipe) return true;
  // The Init steps see this record and every record of this call prepared before it.
  std::vector<std::pair<St, void*>> mine = bound;
  for (int j = 0; j <= i; ++j) {
    if (row_->params[j].kind == K::State) mine.push_back({row_->params[j].state, a_[j].p});
  }
  std::string steps = prm.recipe;
  for (std::size_t pos = 0; pos < steps.size();) {
    std::size_t end = steps.find(' ', pos);
    if (end == std::string::npos) end = steps.size();
    const Row* init = findRow(steps.substr(pos, end - pos));
    pos = end + 1;
    auto step = std::make_unique<Call>(*init, atStart_);
    if (!step->prepare(mine)) return false;
    kvoSetErrStatus(0);
    const std::size_t before = reports().size();
    step->invoke();
    if (reports().size() != before || kvoGetErrStatus() < 0) return false;
    steps_.push_back(std::move(step));
  }
  return true;
}

void Call::allocArray(int i, long n) {
  const Param& prm = row_->params[i];
  n = std::max(n, 0L);
  count_[i] = n;
  a_[i].p = buf_[i] = own(static_cast<std::size_t>(n) * elemSize(prm.elem));
  fill(i, Fill::Pattern);
}

bool Call::prepare(const std::vector<std::pair<St, void*>>& bound) {
  for (int i = 0; i < row_->nparams; ++i) {
    const Param& prm = row_->params[i];
    switch (prm.kind) {
      case K::State:
        if (!prepareState(i, bound)) return false;
        break;
      case K::Str:
        a_[i].cp = prm.name;
        break;
      case K::Fn:
        a_[i].fn = recordReport;
        break;
      case K::Block:
        a_[i].p = block_ = kvoMalloc(16);
        break;
      case K::In:
      case K::Out:
      case K::ScaleFactor:
        break;
      default:
        a_[i] = prm.valid;
    }
  }
  // Integer arrays first: other element counts may read them (the phase of down-sampling).
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < row_->nparams; ++i) {
      const Param& prm = row_->params[i];
      const bool intArray = prm.elem == E::I32;
      if ((prm.kind == K::In || prm.kind == K::Out || prm.kind == K::ScaleFactor) &&
          intArray == (pass == 0)) {
        allocArray(i, row_->size(i, a_));
      }
    }
  }
  return true;
}

bool Call::resize(long cap) {
  long n[16];
  for (int i = 0; i < row_->nparams; ++i) {
    const K k = row_->params[i].kind;
    if (k != K::In && k != K::Out && k != K::ScaleFactor) continue;
    n[i] = row_->size(i, a_);
    if (n[i] > cap) return false;
  }
  for (int i = 0; i < row_->nparams; ++i) {
    const K k = row_->params[i].kind;
    if ((k == K::In || k == K::Out || k == K::ScaleFactor) && std::max(n[i], 0L) != count_[i]) {
      allocArray(i, n[i]);
    }
  }
  return true;
}

void Call::fill(int i, Fill how, unsigned seed) {
  const Param& prm = row_->params[i];
  const long n = count_[i];
  const bool special = how == Fill::Special;
  std::uint32_t state = seed * 2654435761u + static_cast<std::uint32_t>(i);
  auto next = [&state] {  // a small linear congruential generator, the same on every platform
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  static const float kF[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::denorm_min() * 3,
                             -0.0f,
                             3e38f,
                             -1e-30f,
                             0.5f};
  static const short kW[] = {-32768, 32767, 0, -1, 1, -32767};
  auto real = [&](long k) {
    if (how == Fill::Random) return static_cast<float>(next()) * 0x1p-22f - 2.0f;
    return special ? kF[k % 8] : 0.25f + 0.125f * static_cast<float>(k % 5);
  };
  auto word = [&](long k, int part) {  // part 1: the imaginary part of a complex value
    if (how == Fill::Random) return static_cast<short>(next());
    if (special) return kW[(k + part) % 6];
    return static_cast<short>(part ? 2 + k % 3 : 1 + k % 5);
  };
  for (long k = 0; k < n; ++k) {
    switch (prm.elem) {
      case E::F32:
        static_cast<float*>(buf_[i])[k] = real(k);
        break;
      case E::F64:
        static_cast<double*>(buf_[i])[k] = real(k);
        break;
      case E::C32:
        static_cast<ComplexFloat*>(buf_[i])[k] = {real(k), real(k + 3)};
        break;
      case E::C64:
        static_cast<ComplexDouble*>(buf_[i])[k] = {real(k), real(k + 3)};
        break;
      case E::I16:
        static_cast<short*>(buf_[i])[k] = word(k, 0);
        break;
      case E::C16:
        static_cast<ComplexShort*>(buf_[i])[k] = {word(k, 0), word(k, 1)};
        break;
      case E::I32:
        static_cast<int*>(buf_[i])[k] = special && k % 2 ? INT_MIN : 2;
        break;
      case E::U8:
        static_cast<unsigned char*>(buf_[i])[k] = static_cast<unsigned char>(k * 37);
        break;
      case E::S8:
        static_cast<signed char*>(buf_[i])[k] = static_cast<signed char>(k * 37);
        break;
      case E::PTR:
        static_cast<void**>(buf_[i])[k] = nullptr;
        break;
      case E::None:
        break;
    }
  }
  // An array of arrays (the wavelet filters): each entry gets a buffer of its length argument.
  if (prm.elem == E::PTR && prm.kind == K::In) {
    const int* lens = nullptr;
    for (int j = 0; j < row_->nparams; ++j) {
      if (std::strcmp(row_->params[j].name, "Flen") == 0) lens = static_cast<int*>(a_[j].p);
    }
    const std::size_t es = std::strstr(prm.ctype, "double") ? sizeof(double) : sizeof(float);
    for (long k = 0; k < n && lens; ++k) {
      void* sub = own(static_cast<std::size_t>(std::max(lens[k], 0)) * es);
      for (int m = 0; m < lens[k]; ++m) {
        if (es == sizeof(double))
          static_cast<double*>(sub)[m] = 0.25 * (m + 1);
        else
          static_cast<float*>(sub)[m] = 0.25f * static_cast<float>(m + 1);
      }
      static_cast<void**>(buf_[i])[k] = sub;
    }
  }
}

void Call::fillSpecial() { fillRandom(0, Fill::Special); }

void Call::fillRandom(unsigned seed, Fill how) {
  for (int i = 0; i < row_->nparams; ++i) {
    const Param& prm = row_->params[i];
    if ((prm.kind == K::In || prm.kind == K::Out) && prm.elem != E::I32 && prm.elem != E::PTR) {
      fill(i, how, seed);
    }
  }
}

void Call::setRecord(int i, const void* bytes, std::size_t n) {
  const auto* b = static_cast<const unsigned char*>(buf_[i]);
  const auto* w = static_cast<const unsigned char*>(bytes);
  overwritten_.push_back(
      {i, std::vector<unsigned char>(b, b + n), std::vector<unsigned char>(w, w + n)});
  std::memcpy(buf_[i], bytes, n);
}

std::vector<unsigned char> Call::snapshot() const {
  std::vector<unsigned char> s;
  auto add = [&s](const void* p, std::size_t n) {
    if (!p) return;
    const auto* b = static_cast<const unsigned char*>(p);
    s.insert(s.end(), b, b + n);
  };
  for (int i = 0; i < row_->nparams; ++i) {
    const Param& prm = row_->params[i];
    if (a_[i].p != buf_[i]) continue;  // null or aliased: the owner's bytes count
    if (prm.kind == K::State) add(buf_[i], stateSize(prm.state));
    if (prm.kind == K::In || prm.kind == K::Out || prm.kind == K::ScaleFactor) {
      add(buf_[i], static_cast<std::size_t>(count_[i]) * elemSize(prm.elem));
    }
  }
  return s;
}

Slot Call::invoke() {
  Slot r{};
  for (int i = 0; i < row_->nparams; ++i) {
    if (row_->params[i].kind == K::Block && a_[i].p == block_) block_ = nullptr;
  }
  row_->call(a_, &r);
  if (row_->rk == R::cp && std::strstr(row_->name, "Malloc")) kvoFree(r.p);
  return r;
}

std::string formatResult(const Row& row, const Slot& r) {
  char text[96];
  switch (row.rk) {
    case R::none:
      return "-";
    case R::i:
      std::snprintf(text, sizeof text, "%d", r.i);
      break;
    case R::u:
      std::snprintf(text, sizeof text, "%u", r.u);
      break;
    case R::w:
      std::snprintf(text, sizeof text, "%d", r.w);
      break;
    case R::f:
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(r.f));
      break;
    case R::d:
      std::snprintf(text, sizeof text, "%.17g", r.d);
      break;
    case R::c:
      std::snprintf(text, sizeof text, "(%.9g,%.9g)", static_cast<double>(r.c.re),
                    static_cast<double>(r.c.im));
      break;
    case R::z:
      std::snprintf(text, sizeof text, "(%.17g,%.17g)", r.z.re, r.z.im);
      break;
    case R::v:
      std::snprintf(text, sizeof text, "(%d,%d)", r.v.re, r.v.im);
      break;
    case R::cp:
      return r.cp ? "ptr" : "null";
    case R::fn:
      return r.fn ? "fn" : "null";
  }
  return text;
}

}  // namespace adv
