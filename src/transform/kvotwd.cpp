// Twiddle tables and the per-thread transform caches (module kvotwd).
//
// Every table lives in the calling thread's context: order-indexed slots for the FFT tables,
// length-keyed lists of at most 32 entries for the DFT tables. Nothing is shared between threads,
// so no locks are needed. Public Get functions report their failures; the internal getters of
// tables.h return null and leave the report to the transform that asked.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "frame/check.h"
#include "frame/context.h"
#include "kernels/transform/fft.h"
#include "kernels/transform/fft16.h"
#include "kvo.h"
#include "transform/tables.h"

namespace kvo::tables {
namespace {

using kvo::Checks;
using kvo::Site;
using std::int16_t;
using std::int32_t;
using std::int64_t;
using std::uint64_t;

void* allocBytes(uint64_t bytes) {
  if (bytes > kMaxTableBytes) return nullptr;
  return kvoMalloc(static_cast<int>(bytes));
}

template <class T>
T* allocTable(uint64_t count) {
  return static_cast<T*>(allocBytes(count * sizeof(T)));
}

template <class Slot>
void release(Slot& slot) {
  kvoFree(slot);
  slot = nullptr;
}

template <class Slots>
void releaseAll(Slots& slots) {
  for (auto& slot : slots) {
    kvoFree(slot);
    slot = nullptr;
  }
}

// The slot's table, or a new one made by `make` (which returns null when memory is short).
template <class T, class Slot, class Make>
T* cached(Slot& slot, Make make) {
  if (slot == nullptr) slot = static_cast<Slot>(make());
  return static_cast<T*>(slot);
}

template <class C>
C root(int64_t k, int64_t n) {
  long double c, s;
  rootOfUnity(k, n, c, s);
  using R = decltype(C::re);
  return {static_cast<R>(c), static_cast<R>(-s)};
}

// Q14, truncated toward zero: 16384 is 1.0.
int16_t q14(long double v) { return static_cast<int16_t>(16384.0L * v); }

template <class C>
void fillRoots(C* t, int64_t count, int64_t n) {
  for (int64_t k = 0; k < count; ++k) t[k] = root<C>(k, n);
}

// Entries of four 16-bit values (a, b, -b, a), a = cos and b = sin in Q14; `sign` -1 stores the
// conjugate (a, -b, b, a).
void fillPairedQ14(int16_t* t, int64_t count, int64_t n, int sign) {
  for (int64_t k = 0; k < count; ++k) {
    long double c, s;
    rootOfUnity(k, n, c, s);
    const int16_t a = q14(c), b = static_cast<int16_t>(sign * q14(s));
    int16_t* e = t + 4 * k;
    e[0] = a;
    e[1] = b;
    e[2] = static_cast<int16_t>(-b);
    e[3] = a;
  }
}

// Triad, pair and large tables carry the vector kernels' twiddles behind their stated contents
// (see kernelOffsetBytes).
template <class C>
C* withKernelTwiddles(uint64_t room, int order) {
  using R = decltype(C::re);
  const uint64_t offset = kernelOffsetBytes<C>(room);
  auto* t = static_cast<C*>(allocBytes(offset + kern::fftTwiddleCount(order) * sizeof(R)));
  if (t == nullptr) return nullptr;
  std::memset(static_cast<void*>(t), 0, static_cast<std::size_t>(room * sizeof(C)));
  kern::fftBuildTwiddles(reinterpret_cast<R*>(reinterpret_cast<char*>(t) + offset), order);
  return t;
}

template <class C>
uint64_t complexRoom(int order) {  // room of the table that carries the kernel twiddles
  const uint64_t n = uint64_t{1} << order;
  return order > kBaseOrder ? (order >= 15 ? n : n / 2) : n;
}

template <class C>
C* makeTriad(int order) {
  const int64_t n = int64_t{1} << order;
  C* t = withKernelTwiddles<C>(complexRoom<C>(order) < 3 ? 3 : complexRoom<C>(order), order);
  if (t == nullptr) return nullptr;
  for (int i = 0; i < 4 && i < (n < 3 ? 3 : n); ++i) t[i] = {1, 0};  // the unused leading entries
  for (int64_t k = 1; k < n / 4; ++k) {
    t[3 * k + 1] = root<C>(k, n);
    t[3 * k + 2] = root<C>(2 * k, n);
    t[3 * k + 3] = root<C>(3 * k, n);
  }
  return t;
}

template <class C>
C* makePair(int order) {
  const int64_t n = int64_t{1} << order;
  C* t = withKernelTwiddles<C>(n / 2 < 1 ? 1 : n / 2, order);
  if (t == nullptr) return nullptr;
  for (int64_t k = 1; k < n / 4; ++k) {
    t[2 * (k - 1)] = root<C>(k, n);
    t[2 * (k - 1) + 1] = root<C>(3 * k, n);
  }
  return t;
}

template <class C>
C* makeLarge(int order) {
  const int64_t n = int64_t{1} << order;
  C* t = withKernelTwiddles<C>(complexRoom<C>(order), order);
  if (t == nullptr) return nullptr;
  fillRoots(t, n / 2, n);
  if (order >= 15) fillRoots(t + n / 2, 4096, 16384);
  return t;
}

template <class C>
C* makeRealFft(int order) {
  const int64_t n = int64_t{1} << order;
  C* t = allocTable<C>(n / 2 < 1 ? 1 : n / 2);
  if (t == nullptr) return nullptr;
  if (order < 1) {
    t[0] = {-0.5, 0.5};
    return t;
  }
  for (int64_t k = 1; k <= n / 2; ++k) {
    long double c, s;
    rootOfUnity(k, 2 * n, c, s);
    using R = decltype(C::re);
    t[k - 1] = {static_cast<R>(0.5L * c), static_cast<R>(0.5L - 0.5L * s)};
  }
  return t;
}

int32_t* makeBitRevPair(int order) {
  if (order <= 1) return allocTable<int32_t>(1);
  const int32_t half = int32_t{1} << (order - 1);
  const int32_t mid = half / 2;  // M = 2^(order-2) middle values
  auto* t = allocTable<int32_t>(static_cast<uint64_t>(half));
  if (t == nullptr) return nullptr;
  std::memset(t, 0, sizeof(int32_t) * static_cast<std::size_t>(half));
  int32_t pos = 0, down = mid - 1, r = 0;
  for (int32_t i = 1; i < mid; ++i) {
    int32_t m = mid / 2;  // reversed-carry increment of r over order-2 bits
    while (m >= 1 && m <= r) {
      r -= m;
      m /= 2;
    }
    r += m;
    if (i < r) {
      t[pos++] = 4 * i;
      t[pos++] = 4 * r;
    } else if (i == r) {
      t[down--] = 4 * i;
    }
  }
  t[pos] = 0;
  t[mid] = 0;
  return t;
}

ThreadContext& ctx() { return kvo::context(); }

}  // namespace

void rootOfUnity(int64_t k, int64_t n, long double& c, long double& s) {
  const double step = 6.283185307179586 / static_cast<double>(n);
  const long double angle = step * static_cast<double>(k);
  c = std::cos(angle);
  s = std::sin(angle);
}

int32_t* bitRevPair(int order) {
  if (order < 0 || order >= kCacheSlots) return nullptr;
  return cached<int32_t>(ctx().bitRevPairTable[order],
                         [&]() -> void* { return makeBitRevPair(order); });
}

template <class C>
C* fftTriad(int order) {
  return cached<C>(ctx().fftTriadTable[kPrec<C>][order], [&] { return makeTriad<C>(order); });
}
template <class C>
C* fftPair(int order) {
  return cached<C>(ctx().fftPairTable[kPrec<C>][order], [&] { return makePair<C>(order); });
}
template <class C>
C* fftLarge(int order) {
  return cached<C>(ctx().fftLargeTable[kPrec<C>][order], [&] { return makeLarge<C>(order); });
}
template <class C>
C* realFft(int order) {
  return cached<C>(ctx().realFftTable[kPrec<C>][order], [&] { return makeRealFft<C>(order); });
}

// Behind the stated entries of an IntFftTwdTable, from the next 64-byte boundary on: the same
// twiddles arranged by stage for the vector kernels (kernels/transform/fft16.h).
uint64_t intStagesOffsetBytes(int order) {
  return ((uint64_t{4} << order) * sizeof(int16_t) + 63) & ~uint64_t{63};
}

std::int16_t* intFftTwd(int order) {
  return cached<int16_t>(ctx().intFftTwdTable[order], [&]() -> void* {
    const int64_t n = int64_t{1} << order;
    const uint64_t offset = intStagesOffsetBytes(order);
    auto* t = static_cast<int16_t*>(
        allocBytes(offset + kern::fft16StageCount(order) * sizeof(std::uint32_t)));
    if (t != nullptr) {
      fillPairedQ14(t, n, n, 1);
      kern::fft16StageFill(t, 1, order,
                           reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(t) + offset));
    }
    return t;
  });
}

const std::uint32_t* intFftStages(const std::int16_t* table, int order) {
  return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const char*>(table) +
                                                intStagesOffsetBytes(order));
}

template <class C>
const decltype(C::re)* complexFftTables(int order, bool pairVariant) {
  const void* owner = nullptr;
  if (order <= kBaseOrder) {
    if (const auto* twiddles = cachedComplexFft<C>(ctx(), order, pairVariant)) return twiddles;
    owner = pairVariant ? static_cast<void*>(fftPair<C>(order)) : fftTriad<C>(order);
  } else {
    const C* base = pairVariant ? fftPair<C>(kBaseOrder) : fftTriad<C>(kBaseOrder);
    if (base != nullptr) owner = fftLarge<C>(order);
  }
  if (owner == nullptr || bitRevPair(order) == nullptr) return nullptr;
  if (order <= kBaseOrder) return cachedComplexFft<C>(ctx(), order, pairVariant);
  return reinterpret_cast<const decltype(C::re)*>(static_cast<const char*>(owner) +
                                                  kernelOffsetBytes<C>(complexRoom<C>(order)));
}

void freeBitRevPair(int order) {
  if (order >= 0 && order < kCacheSlots) release(ctx().bitRevPairTable[order]);
}
template <class C>
void freeFftTriad(int order) {
  if (order >= 0 && order < kCacheSlots) release(ctx().fftTriadTable[kPrec<C>][order]);
}
template <class C>
void freeFftPair(int order) {
  if (order >= 0 && order < kCacheSlots) release(ctx().fftPairTable[kPrec<C>][order]);
}
template <class C>
void freeFftLarge(int order) {
  if (order >= 0 && order < kCacheSlots) release(ctx().fftLargeTable[kPrec<C>][order]);
}
template <class C>
void freeRealFft(int order) {
  if (order >= 0 && order < kCacheSlots) release(ctx().realFftTable[kPrec<C>][order]);
}
void freeIntFftTwd(int order) {
  if (order >= 0 && order < kCacheSlots) release(ctx().intFftTwdTable[order]);
}

template <class C>
void freeInternal() {
  ThreadContext& c = ctx();
  constexpr int p = kPrec<C>;
  releaseAll(c.fftLargeTable[p]);
  releaseAll(c.fftTriadTable[p]);
  releaseAll(c.fftPairTable[p]);
  releaseAll(c.realFftTable[p]);
  releaseAll(c.bitRevPairTable);
  if (p == 0) freeScratchSet(2);
}

std::int16_t* dftIntTwd(int length) {
  if (length < 1) return nullptr;
  ThreadContext& c = ctx();
  int32_t& count = c.dftCount[3];
  for (int i = 0; i < count; ++i) {
    if (c.vDftTable[i] != nullptr && c.vDftLength[i] == 4 * length) {
      return static_cast<int16_t*>(c.vDftTable[i]);
    }
  }
  if (count >= c.dftCapacity) return nullptr;
  auto* t = allocTable<int16_t>(8 * static_cast<uint64_t>(length));
  if (t == nullptr) return nullptr;
  fillPairedQ14(t, length, length, 1);
  fillPairedQ14(t + 4 * static_cast<int64_t>(length), length, length, -1);
  c.vDftTable[count] = t;
  c.vDftLength[count] = 4 * length;
  ++count;
  return t;
}

void* scratch(int set, int slot, int length) {
  if (length < 1 || set < 0 || set > 2 || slot < 0 || slot >= kScratchSlots) return nullptr;
  ThreadContext& c = ctx();
  if (c.scratch[set][slot] != nullptr && c.scratchLength[set][slot] >= length) {
    return c.scratch[set][slot];
  }
  freeScratch(set, slot);
  const uint64_t unit = set == 0 ? 4 : sizeof(ComplexFloat);
  void* block = allocBytes(unit * static_cast<uint64_t>(length));
  if (block == nullptr) return nullptr;
  c.scratch[set][slot] = block;
  c.scratchLength[set][slot] = length;
  return block;
}

void freeScratch(int set, int slot) {
  ThreadContext& c = ctx();
  release(c.scratch[set][slot]);
  c.scratchLength[set][slot] = 0;
}

void freeScratchSet(int set) {
  for (int slot = 0; slot < kScratchSlots; ++slot) freeScratch(set, slot);
}

#define KVO_TABLES_FOR(C)                                         \
  template C* fftTriad<C>(int);                                   \
  template C* fftPair<C>(int);                                    \
  template C* fftLarge<C>(int);                                   \
  template C* realFft<C>(int);                                    \
  template const decltype(C::re)* complexFftTables<C>(int, bool); \
  template void freeFftTriad<C>(int);                             \
  template void freeFftPair<C>(int);                              \
  template void freeFftLarge<C>(int);                             \
  template void freeRealFft<C>(int);                              \
  template void freeInternal<C>();
KVO_TABLES_FOR(ComplexFloat)
KVO_TABLES_FOR(ComplexDouble)
#undef KVO_TABLES_FOR

}  // namespace kvo::tables

// ---- the exported twiddle-table functions ----------------------------------------------------

namespace {

constexpr const char* kModule = "kvotwd";

using kvo::Checks;
using kvo::Site;
namespace tables = kvo::tables;

// Type index of the public tables: 0 c, 1 z, 2 v.
template <class C>
constexpr int kType = std::is_same_v<C, ComplexFloat>    ? 0
                      : std::is_same_v<C, ComplexDouble> ? 1
                                                         : 2;

template <class C>
void fillTwiddles(C* t, std::int64_t count, std::int64_t n) {
  if constexpr (kType<C> == 2) {
    for (std::int64_t k = 0; k < count; ++k) {
      long double c, s;
      tables::rootOfUnity(k, n, c, s);
      t[k] = {static_cast<short>(16384.0L * c), static_cast<short>(-16384.0L * s)};
    }
  } else {
    using R = decltype(C::re);
    for (std::int64_t k = 0; k < count; ++k) {
      long double c, s;
      tables::rootOfUnity(k, n, c, s);
      t[k] = {static_cast<R>(c), static_cast<R>(-s)};
    }
  }
}

template <class C>
void calcFftTwd(const Site& s, C* tbl, int order) {
  if (!Checks(s)
           .require(order >= 0, "order<0")
           .require(order <= 31, "order>31")
           .notNull(tbl, "tbl==0"))
    return;
  const std::int64_t n = std::int64_t{1} << order;
  fillTwiddles(tbl, n, n);
}

// Both order bounds are tested; an unresolved failure of the thread also yields null.
bool orderGetOk(const Site& s, int order) {
  Checks(s, false).require(order >= 0, "order<0").require(order <= 31, "order>31");
  return kvoGetErrStatus() >= 0;
}

template <class C>
C* getFftTwd(const Site& s, int order) {
  if (!orderGetOk(s, order)) return nullptr;
  void*& slot = kvo::context().fftTwiddle[kType<C>][order];
  if (slot == nullptr) {
    const std::int64_t n = std::int64_t{1} << order;
    const std::uint64_t bytes = static_cast<std::uint64_t>(n) * sizeof(C);
    C* t = bytes <= tables::kMaxTableBytes ? static_cast<C*>(kvoMalloc(static_cast<int>(bytes)))
                                           : nullptr;
    if (t == nullptr) {
      s.report(KVO_StatusOutOfMemory, "NULL Pointer");
      return nullptr;
    }
    fillTwiddles(t, n, n);
    slot = t;
  }
  return static_cast<C*>(slot);
}

template <class C>
void calcDftTwd(const Site& s, C* tbl, int length) {
  if (!Checks(s).positive(length, "length<=0").notNull(tbl, "tbl==0")) return;
  fillTwiddles(tbl, length, length);
}

template <class C>
C* getDftTwd(const Site& s, int length) {
  if (!Checks(s).positive(length, "length<=0")) return nullptr;
  kvo::ThreadContext& c = kvo::context();
  constexpr int type = kType<C>;
  std::int32_t& count = c.dftCount[type];
  for (int i = 0; i < count; ++i) {
    if (c.dftTable[type][i] != nullptr && c.dftLength[type][i] == length) {
      return static_cast<C*>(c.dftTable[type][i]);
    }
  }
  if (count >= c.dftCapacity) {
    s.report(KVO_StatusOutOfMemory, "Full Table");
    return nullptr;
  }
  const std::uint64_t bytes = static_cast<std::uint64_t>(length) * sizeof(C);
  C* t = bytes <= tables::kMaxTableBytes ? static_cast<C*>(kvoMalloc(static_cast<int>(bytes)))
                                         : nullptr;
  if (t == nullptr) {
    s.report(KVO_StatusOutOfMemory, "NULL Pointer");
    return nullptr;
  }
  c.dftTable[type][count] = t;
  c.dftLength[type][count] = length;
  ++count;
  fillTwiddles(t, length, length);
  return t;
}

template <class Slots>
void releaseSlots(Slots& slots) {
  for (auto& slot : slots) {
    kvoFree(slot);
    slot = nullptr;
  }
}

void freeDft(int type) {
  kvo::ThreadContext& c = kvo::context();
  for (int i = 0; i < kvo::kCacheSlots; ++i) {
    kvoFree(c.dftTable[type][i]);
    c.dftTable[type][i] = nullptr;
    c.dftLength[type][i] = 0;
  }
  c.dftCount[type] = 0;
}

// Free of one floating-point type: its DFT cache, its FFT twiddle tables and every internal table
// of the precision (the single-precision set also holds the second ComplexFloat scratch set).
template <class C>
void freeTwd() {
  freeDft(kType<C>);
  releaseSlots(kvo::context().fftTwiddle[kType<C>]);
  tables::freeInternal<C>();
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvocCalcFftTwdTbl(ComplexFloat* tbl, int order) {
  calcFftTwd(KVO_SITE, tbl, order);
}
KVO_API void KVO_CALL kvozCalcFftTwdTbl(ComplexDouble* tbl, int order) {
  calcFftTwd(KVO_SITE, tbl, order);
}
KVO_API void KVO_CALL kvovCalcFftTwdTbl(ComplexShort* tbl, int order) {
  calcFftTwd(KVO_SITE, tbl, order);
}

KVO_API ComplexFloat* KVO_CALL kvocGetFftTwdTbl(int order) {
  return getFftTwd<ComplexFloat>(KVO_SITE, order);
}
KVO_API ComplexDouble* KVO_CALL kvozGetFftTwdTbl(int order) {
  return getFftTwd<ComplexDouble>(KVO_SITE, order);
}
KVO_API ComplexShort* KVO_CALL kvovGetFftTwdTbl(int order) {
  return getFftTwd<ComplexShort>(KVO_SITE, order);
}

KVO_API void KVO_CALL kvocCalcDftTwdTbl(ComplexFloat* tbl, int length) {
  calcDftTwd(KVO_SITE, tbl, length);
}
KVO_API void KVO_CALL kvozCalcDftTwdTbl(ComplexDouble* tbl, int length) {
  calcDftTwd(KVO_SITE, tbl, length);
}
KVO_API void KVO_CALL kvovCalcDftTwdTbl(ComplexShort* tbl, int length) {
  calcDftTwd(KVO_SITE, tbl, length);
}

KVO_API ComplexFloat* KVO_CALL kvocGetDftTwdTbl(int length) {
  return getDftTwd<ComplexFloat>(KVO_SITE, length);
}
KVO_API ComplexDouble* KVO_CALL kvozGetDftTwdTbl(int length) {
  return getDftTwd<ComplexDouble>(KVO_SITE, length);
}
KVO_API ComplexShort* KVO_CALL kvovGetDftTwdTbl(int length) {
  return getDftTwd<ComplexShort>(KVO_SITE, length);
}

KVO_API void KVO_CALL kvocFreeTwdTbls(void) { freeTwd<ComplexFloat>(); }
KVO_API void KVO_CALL kvozFreeTwdTbls(void) { freeTwd<ComplexDouble>(); }

// The 16-bit set: DFT caches of both 16-bit DFT forms, FFT twiddles, integer FFT twiddles, every
// BitRevPairTable, and the scratch sets of the integer transforms.
KVO_API void KVO_CALL kvovFreeTwdTbls(void) {
  kvo::ThreadContext& c = kvo::context();
  freeDft(2);
  releaseSlots(c.fftTwiddle[2]);
  for (int i = 0; i < kvo::kCacheSlots; ++i) {
    kvoFree(c.vDftTable[i]);
    c.vDftTable[i] = nullptr;
    c.vDftLength[i] = 0;
  }
  c.dftCount[3] = 0;
  releaseSlots(c.intFftTwdTable);
  releaseSlots(c.bitRevPairTable);
  tables::freeScratchSet(0);
  tables::freeScratchSet(1);
}

}  // extern "C"
