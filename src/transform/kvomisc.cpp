// Bit reversal of indices and vectors (module kvomisc).
//
// Permutations of 2^order >= 8 elements walk the BitRevPairTable: an index is split into its top
// bit, order-2 middle bits and bottom bit; for each listed pair of middle values (i, r(i)) the four
// elements (t, i, b) and (b, r(i), t) are exchanged, and for each self-reverse middle value the
// two elements whose top and bottom bits differ.
#include <cstdint>
#include <utility>

#include "frame/check.h"
#include "frame/context.h"
#include "kvo.h"
#include "transform/tables.h"

namespace {

constexpr const char* kModule = "kvomisc";

using kvo::Checks;
using kvo::Site;

bool orderOk(Checks& checks, int order) {
  return checks.require(order >= 0, "order<0").require(order <= 31, "order>31").ok();
}

// The pair table's entries 4*i hold middle value i; element (top, mid, bottom) sits at
// top*N/2 + 2*mid + bottom and belongs at (bottom, r(mid), top). Calls exchange(a, b) once for
// every pair of elements that trade places and fixed(a) for every element that stays.
template <class Exchange, class Fixed>
void walkPairs(const std::int32_t* t, std::size_t n, Exchange exchange, Fixed fixed) {
  const std::size_t half = n / 2, mids = n / 4;
  std::size_t pos = 0;
  for (; t[pos] != 0; pos += 2) {
    const std::size_t i = 2 * static_cast<std::size_t>(t[pos] / 4);
    const std::size_t r = 2 * static_cast<std::size_t>(t[pos + 1] / 4);
    exchange(i, r);
    exchange(half + i + 1, half + r + 1);
    exchange(i + 1, half + r);
    exchange(half + i, r + 1);
  }
  auto selfReverse = [&](std::size_t i) {
    exchange(i + 1, half + i);
    fixed(i);
    fixed(half + i + 1);
  };
  selfReverse(0);  // middle value 0, read from the terminator
  for (++pos; pos < mids && t[pos] != 0; ++pos) {
    selfReverse(2 * static_cast<std::size_t>(t[pos] / 4));
  }
}

const std::int32_t* pairTable(const Site& s, int order) {
  const std::int32_t* t = kvo::tables::bitRevPair(order);
  if (t == nullptr) s.report(KVO_StatusOutOfMemory, "NULL Pointer");
  return t;
}

template <class T>
void bitRev1(const Site& s, T* vec, int order) {
  Checks checks(s);
  if (!orderOk(checks, order) || !checks.notNull(vec, "vec==0")) return;
  if (order < 2) return;
  if (order == 2) {
    std::swap(vec[1], vec[2]);
    return;
  }
  const std::int32_t* t = pairTable(s, order);
  if (t == nullptr) return;
  walkPairs(
      t, std::size_t{1} << order, [&](std::size_t a, std::size_t b) { std::swap(vec[a], vec[b]); },
      [](std::size_t) {});
}

template <class T>
void bitRev2(const Site& s, const T* src, T* dst, int order) {
  Checks checks(s);
  if (!orderOk(checks, order) || !checks.notNull(src, "src==0").notNull(dst, "dst==0")) return;
  const std::size_t n = std::size_t{1} << order;
  if (n < 8) {
    dst[0] = src[0];
    dst[n - 1] = src[n - 1];
    if (n == 4) {
      dst[1] = src[2];
      dst[2] = src[1];
    }
    return;
  }
  const std::int32_t* t = pairTable(s, order);
  if (t == nullptr) return;
  walkPairs(
      t, n,
      [&](std::size_t a, std::size_t b) {
        dst[a] = src[b];
        dst[b] = src[a];
      },
      [&](std::size_t a) { dst[a] = src[a]; });
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvoBitRev(int value, int order) {
  Checks(KVO_SITE, false).require(order >= 0, "order<0").require(order <= 31, "order>31");
  if (kvoGetErrStatus() < 0) return 0;
  unsigned result = 0;
  for (int b = 0; b < order; ++b)
    result = (result << 1) | ((static_cast<unsigned>(value) >> b) & 1u);
  return static_cast<int>(result);
}

KVO_API void KVO_CALL kvoCalcBitRevTbl(int* tbl, int order) {
  Checks checks(KVO_SITE);
  if (!orderOk(checks, order) || !checks.notNull(tbl, "tbl==0")) return;
  const std::int64_t n = std::int64_t{1} << order;
  tbl[0] = 0;
  tbl[n - 1] = static_cast<int>(n - 1);
  std::int64_t j = 0;
  for (std::int64_t i = 1; i <= n - 2; ++i) {
    std::int64_t m = n / 2;
    while (m <= j) {
      j -= m;
      m /= 2;
    }
    j += m;
    if (i <= j) {
      tbl[j] = static_cast<int>(i);
      tbl[i] = static_cast<int>(j);
    }
  }
}

KVO_API int* KVO_CALL kvoGetBitRevTbl(int order) {
  Checks(KVO_SITE, false).require(order >= 0, "order<0").require(order <= 31, "order>31");
  if (kvoGetErrStatus() < 0) return nullptr;
  void*& slot = reinterpret_cast<void*&>(kvo::context().bitRevTable[order]);
  if (slot == nullptr) {
    const std::uint64_t bytes = (std::uint64_t{1} << order) * sizeof(int);
    void* t = bytes <= kvo::tables::kMaxTableBytes ? kvoMalloc(static_cast<int>(bytes)) : nullptr;
    if (t == nullptr) {
      KVO_SITE.report(KVO_StatusOutOfMemory, "NULL Pointer");
      return nullptr;
    }
    kvoCalcBitRevTbl(static_cast<int*>(t), order);
    slot = t;
  }
  return static_cast<int*>(slot);
}

KVO_API void KVO_CALL kvoFreeBitRevTbls(void) {
  kvo::ThreadContext& c = kvo::context();
  for (int order = 0; order < kvo::kCacheSlots; ++order) {
    kvoFree(c.bitRevTable[order]);
    c.bitRevTable[order] = nullptr;
    kvo::tables::freeBitRevPair(order);
  }
}

KVO_API void KVO_CALL kvowbBitRev1(short* vec, int order) { bitRev1(KVO_SITE, vec, order); }
KVO_API void KVO_CALL kvovbBitRev1(ComplexShort* vec, int order) { bitRev1(KVO_SITE, vec, order); }
KVO_API void KVO_CALL kvosbBitRev1(float* vec, int order) { bitRev1(KVO_SITE, vec, order); }
KVO_API void KVO_CALL kvocbBitRev1(ComplexFloat* vec, int order) { bitRev1(KVO_SITE, vec, order); }
KVO_API void KVO_CALL kvodbBitRev1(double* vec, int order) { bitRev1(KVO_SITE, vec, order); }
KVO_API void KVO_CALL kvozbBitRev1(ComplexDouble* vec, int order) { bitRev1(KVO_SITE, vec, order); }

KVO_API void KVO_CALL kvowbBitRev2(const short* src, short* dst, int order) {
  bitRev2(KVO_SITE, src, dst, order);
}
KVO_API void KVO_CALL kvovbBitRev2(const ComplexShort* src, ComplexShort* dst, int order) {
  bitRev2(KVO_SITE, src, dst, order);
}
KVO_API void KVO_CALL kvosbBitRev2(const float* src, float* dst, int order) {
  bitRev2(KVO_SITE, src, dst, order);
}
KVO_API void KVO_CALL kvocbBitRev2(const ComplexFloat* src, ComplexFloat* dst, int order) {
  bitRev2(KVO_SITE, src, dst, order);
}
KVO_API void KVO_CALL kvodbBitRev2(const double* src, double* dst, int order) {
  bitRev2(KVO_SITE, src, dst, order);
}
KVO_API void KVO_CALL kvozbBitRev2(const ComplexDouble* src, ComplexDouble* dst, int order) {
  bitRev2(KVO_SITE, src, dst, order);
}

}  // extern "C"
