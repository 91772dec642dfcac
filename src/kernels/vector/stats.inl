// Reduction and normalisation kernels for one instruction-set level; included by
// stats_<level>.cpp after KVO_ISA is defined. See isa.h for the rules these files follow.
#include <immintrin.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "kernels/vector/arithw_simd.h"
#include "kernels/vector/stats.h"

namespace kvo::kern {
namespace {

// ---- sixteen double accumulators, whatever the register width ----

// Values of these wide vector types are passed only to internal functions of this file, which the
// compiler inlines; no call with them crosses a boundary where the vector ABI of the level matters.
#pragma GCC diagnostic ignored "-Wpsabi"

constexpr std::size_t kAcc = 16;
typedef double D16 __attribute__((vector_size(kAcc * sizeof(double))));
typedef std::int64_t M16 __attribute__((vector_size(kAcc * sizeof(double))));
typedef float F16 __attribute__((vector_size(kAcc * sizeof(float))));
typedef short S16 __attribute__((vector_size(kAcc * sizeof(short))));

template <class T>
using Raw = std::conditional_t<std::is_same_v<T, float>, F16,
                               std::conditional_t<std::is_same_v<T, short>, S16, D16>>;

// The 16 values from p on, of which `count` are real and the rest zero, in double precision.
template <class T>
KVO_KERNEL_INLINE D16 load(const T* p, std::size_t count) {
  Raw<T> v{};
  std::memcpy(&v, p, count * sizeof(T));
  if constexpr (std::is_same_v<Raw<T>, D16>) {
    return v;
  } else {
    return __builtin_convertvector(v, D16);
  }
}

// step(A, B) for blocks of 16 values of a and b (b null: zeros), the last block padded with zeros.
template <class T, class Step>
KVO_KERNEL_INLINE void blocks(const T* a, const T* b, std::size_t n, Step step) {
  std::size_t i = 0;
  for (; i + kAcc <= n; i += kAcc) step(load(a + i, kAcc), b ? load(b + i, kAcc) : D16{});
  if (i < n) step(load(a + i, n - i), b ? load(b + i, n - i) : D16{});
}

// ---- sixty-four double lanes at the register width ----

// GCC keeps vectors wider than the registers in memory across loop iterations, which puts a store
// and a load into every addition. The hottest reductions (real and complex dot products, float
// sums and squared norms) therefore use accumulators of the native width: 64 double lanes in all,
// element i of the data (zero-padded to a multiple of 64) added into lane i mod 64 at every level,
// so the result does not depend on the level. The many independent lanes keep the loop bound by
// the loads and conversions instead of by the latency of the additions.
#if defined(__AVX512F__)
constexpr std::size_t kW = 8;
typedef double DN __attribute__((vector_size(64)));
KVO_KERNEL_INLINE DN loadN(const float* p) { return (DN)_mm512_cvtps_pd(_mm256_loadu_ps(p)); }
KVO_KERNEL_INLINE DN loadN(const double* p) { return (DN)_mm512_loadu_pd(p); }
KVO_KERNEL_INLINE DN swapPairsN(const DN& v) {
  return __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
}
#elif defined(__AVX__)
constexpr std::size_t kW = 4;
typedef double DN __attribute__((vector_size(32)));
KVO_KERNEL_INLINE DN loadN(const float* p) { return (DN)_mm256_cvtps_pd(_mm_loadu_ps(p)); }
KVO_KERNEL_INLINE DN loadN(const double* p) { return (DN)_mm256_loadu_pd(p); }
KVO_KERNEL_INLINE DN swapPairsN(const DN& v) { return __builtin_shufflevector(v, v, 1, 0, 3, 2); }
#else
constexpr std::size_t kW = 2;
typedef double DN __attribute__((vector_size(16)));
KVO_KERNEL_INLINE DN loadN(const float* p) {
  return (DN)_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
KVO_KERNEL_INLINE DN loadN(const double* p) { return (DN)_mm_loadu_pd(p); }
KVO_KERNEL_INLINE DN swapPairsN(const DN& v) { return __builtin_shufflevector(v, v, 1, 0); }
#endif
// r + x y. Where x and y hold float values their double product is exact, so a fused
// multiply-add gives the same result as the separate operations and saves an instruction.
KVO_KERNEL_INLINE DN mulAddExact(const DN& x, const DN& y, const DN& r) {
#if defined(__AVX512F__)
  return (DN)_mm512_fmadd_pd((__m512d)x, (__m512d)y, (__m512d)r);
#elif defined(__FMA__)
  return (DN)_mm256_fmadd_pd((__m256d)x, (__m256d)y, (__m256d)r);
#else
  return r + x * y;
#endif
}
template <class T>
KVO_KERNEL_INLINE void mulAdd(DN& r, const DN& x, const DN& y) {
  if constexpr (std::is_same_v<T, float>) {
    r = mulAddExact(x, y, r);
  } else {
    r += x * y;
  }
}

constexpr std::size_t kLanes = 64;
constexpr std::size_t kRegs = kLanes / kW;

// Sixteen double lanes as registers of the level's width.
constexpr std::size_t kStep = kAcc / kW;  // registers per 16 lanes
struct Lanes16 {
  DN r[kStep];
};

// The 64 lanes folded to 16: lane l + 16 q of the accumulators goes to lane l, in a fixed order.
// Lane l + 16 q sits in register (l + 16 q)/kW, so whole registers are added, in the same order
// as lane by lane: at n = 1024 a scalar fold would cost a fifth of the call.
KVO_KERNEL_INLINE Lanes16 fold64(const DN (&acc)[kRegs]) {
  Lanes16 s;
  for (std::size_t j = 0; j < kStep; ++j)
    s.r[j] = (acc[j] + acc[j + kStep]) + (acc[j + 2 * kStep] + acc[j + 3 * kStep]);
  return s;
}

typedef double D2 __attribute__((vector_size(2 * sizeof(double))));
// The 16 lanes folded in halves (lane l + w added to lane l for w = 8, 4, 2) down to lanes 0 and
// 1: whole registers first, then the halves of the last one, so the order of the additions is the
// same at every width. Everything stays in registers; a loop over the lanes of a stored vector
// would stall on store forwarding at every step.
KVO_KERNEL_INLINE D2 foldTo2(Lanes16 s) {
  for (std::size_t c = kStep / 2; c > 0; c /= 2) {
    for (std::size_t j = 0; j < c; ++j) s.r[j] += s.r[j + c];
  }
  const DN v = s.r[0];
#if defined(__AVX512F__)
  typedef double D4 __attribute__((vector_size(4 * sizeof(double))));
  const D4 v4 =
      __builtin_shufflevector(v, v, 0, 1, 2, 3) + __builtin_shufflevector(v, v, 4, 5, 6, 7);
  return __builtin_shufflevector(v4, v4, 0, 1) + __builtin_shufflevector(v4, v4, 2, 3);
#elif defined(__AVX__)
  return __builtin_shufflevector(v, v, 0, 1) + __builtin_shufflevector(v, v, 2, 3);
#else
  return v;
#endif
}

// step(r, x, y) for each register's worth of a and b (b null: zeros), over the 64 lanes; one set
// of accumulators, or two (step2(r, q, x, y)) for the two sums of a complex dot product.
template <class T, class Step>
KVO_KERNEL_INLINE void lanes64(const T* a, const T* b, std::size_t n, Step step) {
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
#pragma GCC unroll 32
    for (std::size_t k = 0; k < kRegs; ++k)
      step(k, loadN(a + i + k * kW), b ? loadN(b + i + k * kW) : DN{});
  }
  if (i < n) {
    T ta[kLanes] = {}, tb[kLanes] = {};
    std::memcpy(ta, a + i, (n - i) * sizeof(T));
    if (b) std::memcpy(tb, b + i, (n - i) * sizeof(T));
#pragma GCC unroll 32
    for (std::size_t k = 0; k < kRegs; ++k) step(k, loadN(ta + k * kW), loadN(tb + k * kW));
  }
}

template <class T, class Step>
KVO_KERNEL_INLINE Lanes16 reduce64(const T* a, const T* b, std::size_t n, Step step) {
  DN acc[kRegs] = {};
  lanes64(a, b, n, [&](std::size_t k, const DN& x, const DN& y) { step(acc[k], x, y); });
  return fold64(acc);
}

KVO_KERNEL_INLINE D16 abs(const D16& v) { return v < 0 ? -v : v; }
KVO_KERNEL_INLINE D16 sqrt(const D16& x) {
  D16 v = x;
  for (std::size_t l = 0; l < kAcc; ++l) v[l] = std::sqrt(v[l]);
  return v;
}
// (x0 + x1, x0 + x1, x2 + x3, ...): the squared magnitude of each complex pair, in both lanes.
KVO_KERNEL_INLINE D16 pairSums(const D16& v) {
  return v + __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
}
KVO_KERNEL_INLINE D16 swapPairs(const D16& v) {
  return __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
}
KVO_KERNEL_INLINE D16 evenLanes(const D16& v) {
  const M16 even = {-1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0};
  return even ? v : D16{};
}

KVO_KERNEL_INLINE Lanes16 split(const D16& v) {
  Lanes16 s;
  std::memcpy(&s, &v, sizeof s);
  return s;
}
KVO_KERNEL_INLINE double total(const Lanes16& v) {
  const D2 f = foldTo2(v);
  return f[0] + f[1];
}
KVO_KERNEL_INLINE double total(const D16& v) { return total(split(v)); }
// Even accumulators (real parts) and odd ones (imaginary parts) separately.
KVO_KERNEL_INLINE Sum2 totals(const Lanes16& v) {
  const D2 f = foldTo2(v);
  return {f[0], f[1]};
}
KVO_KERNEL_INLINE Sum2 totals(const D16& v) { return totals(split(v)); }

// Double-double accumulators: hi + x rounds, and its error is added to lo exactly (Knuth).
struct Compensated {
  D16 hi{}, lo{};

  void add(const D16& x) {
    const D16 s = hi + x;
    const D16 back = s - hi;
    lo += (hi - (s - back)) + (x - back);
    hi = s;
  }
  double result() const {
    // Infinities and NaNs make the error terms meaningless: the plain sum is the answer then.
    const double plain = total(hi);
    if (!std::isfinite(plain)) return plain;
    double s = 0, err = 0;
    for (std::size_t l = 0; l < kAcc; ++l) {
      const double t = s + hi[l];
      const double back = t - s;
      err += ((s - (t - back)) + (hi[l] - back)) + lo[l];
      s = t;
    }
    return s + err;
  }
};

// x^2 = p + e exactly, by Dekker's splitting (for |x| below 2^995, beyond which x^2 overflows).
KVO_KERNEL_INLINE void exactSquare(const D16& x, D16& p, D16& e) {
  p = x * x;
  const D16 c = x * 134217729.0;  // 2^27 + 1
  const D16 hi = c - (c - x);
  const D16 lo = x - hi;
  e = ((hi * hi - p) + 2 * hi * lo) + lo * lo;
}

double compensatedSum(const double* x, std::size_t n) {
  Compensated acc;
  blocks(x, static_cast<const double*>(nullptr), n, [&](const D16& v, const D16&) { acc.add(v); });
  return acc.result();
}

double compensatedSumSquares(const double* x, std::size_t n) {
  Compensated acc;
  blocks(x, static_cast<const double*>(nullptr), n, [&](const D16& v, const D16&) {
    D16 p, e;
    exactSquare(v, p, e);
    acc.add(p);
    acc.lo += e;
  });
  return acc.result();
}

// ---- extremes by order keys ----

template <class T>
using Unsigned = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
template <class T>
using Signed = std::make_signed_t<Unsigned<T>>;

// The sign-and-magnitude pattern as a two's complement number: ordered like the values, with -0
// just below +0. Applying it twice gives the pattern back.
template <class T>
KVO_KERNEL_INLINE Signed<T> orderKey(Signed<T> b) {
  return b ^ static_cast<Signed<T>>(static_cast<Unsigned<T>>(b >> (8 * sizeof(T) - 1)) >> 1);
}

template <bool kMax, class T>
T extreme(const T* x, std::size_t n) {
  if constexpr (std::is_same_v<T, short>) {
    short best = x[0];
    KVO_IVDEP for (std::size_t i = 1; i < n; ++i) {
      best = kMax ? (x[i] > best ? x[i] : best) : (x[i] < best ? x[i] : best);
    }
    return best;
  } else {
    using S = Signed<T>;
    S best = orderKey<T>(std::bit_cast<S>(x[0]));
    unsigned nan = 0;
    KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
      const S key = orderKey<T>(std::bit_cast<S>(x[i]));
      best = kMax ? (key > best ? key : best) : (key < best ? key : best);
      nan |= x[i] != x[i];
    }
    if (nan) {
      for (std::size_t i = 0; i < n; ++i) {
        if (x[i] != x[i]) return x[i];
      }
    }
    return std::bit_cast<T>(orderKey<T>(best));
  }
}

// ---- norms ----

template <class T>
double rawNormReal(const T* a, const T* b, std::size_t n, Norm kind) {
  if (kind == Norm::Max) {
    // The difference in the element type, magnitudes compared as bit patterns.
    using U = Unsigned<T>;
    constexpr U kMagnitude = std::numeric_limits<U>::max() >> 1;
    U largest = 0;
    if (b) {
      KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
        const U m = std::bit_cast<U>(T(a[i] - b[i])) & kMagnitude;
        largest = m > largest ? m : largest;
      }
    } else {
      KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
        const U m = std::bit_cast<U>(a[i]) & kMagnitude;
        largest = m > largest ? m : largest;
      }
    }
    return std::bit_cast<T>(largest);
  }
  if (kind == Norm::L1) {
    return total(reduce64(a, b, n, [](DN& r, const DN& x, const DN& y) {
      const DN d = x - y;
      r += d < 0 ? -d : d;
    }));
  }
  return total(reduce64(a, b, n, [](DN& r, const DN& x, const DN& y) { r += (x - y) * (x - y); }));
}

// Complex data as parts: squared magnitudes in double precision.
template <class R>
double rawNormComplex(const R* a, const R* b, std::size_t parts, Norm kind) {
  D16 acc{};
  if (kind == Norm::Max) {
    // Squared magnitudes are not negative: their patterns order them, a NaN above all.
    std::uint64_t largest = 0;
    blocks(a, b, parts, [&](const D16& x, const D16& y) {
      const D16 m2 = pairSums((x - y) * (x - y));
      for (std::size_t l = 0; l < kAcc; l += 2) {
        const auto bits = std::bit_cast<std::uint64_t>(m2[l]);
        largest = bits > largest ? bits : largest;
      }
    });
    return std::sqrt(std::bit_cast<double>(largest));
  }
  if (kind == Norm::L1) {
    blocks(a, b, parts, [&](const D16& x, const D16& y) {
      acc += evenLanes(sqrt(pairSums((x - y) * (x - y))));
    });
    return total(acc);
  }
  return total(
      reduce64(a, b, parts, [](DN& r, const DN& x, const DN& y) { r += (x - y) * (x - y); }));
}

// 16-bit real data: exact integer sums.
double rawNormShort(const short* a, const short* b, std::size_t n, Norm kind) {
  std::int64_t acc = 0;
  switch (kind) {
    case Norm::Max:
      KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t d = std::int32_t{a[i]} - (b ? b[i] : 0);
        const std::int64_t m = d < 0 ? -d : d;
        acc = m > acc ? m : acc;
      }
      break;
    case Norm::L1:
      KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t d = std::int32_t{a[i]} - (b ? b[i] : 0);
        acc += d < 0 ? -d : d;
      }
      break;
    case Norm::L2:
      KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t d = std::int32_t{a[i]} - (b ? b[i] : 0);
        acc += d * d;
      }
      break;
  }
  return static_cast<double>(acc);
}

// ---- floating-point dot products ----

template <class T>
constexpr bool kComplexData = std::is_same_v<T, ComplexFloat> || std::is_same_v<T, ComplexDouble>;

template <class T>
const auto* partsOf(const T* p) {
  if constexpr (kComplexData<T>) {
    return &p->re;
  } else {
    return p;
  }
}

// Real times complex: the real vector's 8 values of a block, each twice, against 8 complex values.
template <class R>
KVO_KERNEL_INLINE D16 doubled(const R* p, std::size_t count) {
  using Half = std::conditional_t<std::is_same_v<R, float>, float, double>;
  typedef Half H8 __attribute__((vector_size(8 * sizeof(Half))));
  H8 v{};
  std::memcpy(&v, p, count * sizeof(R));
  typedef double D8 __attribute__((vector_size(8 * sizeof(double))));
  D8 d;
  if constexpr (std::is_same_v<H8, D8>) {
    d = v;
  } else {
    d = __builtin_convertvector(v, D8);
  }
  return __builtin_shufflevector(d, d, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7);
}

template <class A, class B>
Sum2 dotFloating(const A* a, const B* b, std::size_t n) {
  if constexpr (!kComplexData<A> && !kComplexData<B>) {
    return {total(reduce64(a, b, n, [](DN& r, const DN& x, const DN& y) { mulAdd<A>(r, x, y); })),
            0};
  } else if constexpr (kComplexData<A> && kComplexData<B>) {
    // re = sum of a.re b.re - a.im b.im, im = sum of a.re b.im + a.im b.re.
    DN same[kRegs] = {}, crossed[kRegs] = {};
    lanes64(partsOf(a), partsOf(b), 2 * n, [&](std::size_t k, const DN& x, const DN& y) {
      using P = std::remove_cvref_t<decltype(*partsOf(a))>;
      mulAdd<P>(same[k], x, y);
      mulAdd<P>(crossed[k], x, swapPairsN(y));
    });
    const Sum2 s = totals(fold64(same));
    const Sum2 c = totals(fold64(crossed));
    return {s.re - s.im, c.re + c.im};
  } else if constexpr (kComplexData<B>) {
    // Real a: re = sum of a b.re, im = sum of a b.im.
    D16 acc{};
    const auto* y = partsOf(b);
    std::size_t i = 0;
    for (; i + kAcc / 2 <= n; i += kAcc / 2)
      acc += doubled(a + i, kAcc / 2) * load(y + 2 * i, kAcc);
    if (i < n) acc += doubled(a + i, n - i) * load(y + 2 * i, 2 * (n - i));
    return totals(acc);
  } else {
    return dotFloating(b, a, n);  // the product commutes
  }
}

// ---- exact 16-bit dot products ----

// The multiply-add lanes of real data lie in -2^31 + 2^16 .. 2^31 (2^31 reads INT_MIN); moved down
// by 2^16 they fit in 32 bits exactly, and the shift is added back for every lane at the end.
constexpr std::int32_t kBias = 1 << 16;

Wide2 dotShortReal(const short* a, const short* b, std::size_t n) {
  using namespace p16;
  V acc = zero();
  std::size_t i = 0;
  for (; i + kShorts <= n; i += kShorts) {
    acc = addWidened(acc, sub32(madd(load(a + i), load(b + i)), set32(kBias)));
  }
  std::int64_t s = sum64(acc) + std::int64_t{kBias} * static_cast<std::int64_t>(i / 2);
  for (; i < n; ++i) s += std::int32_t{a[i]} * b[i];
  return {s, 0};
}

Wide2 dotShortComplex(const ComplexShort* a, const ComplexShort* b, std::size_t n) {
  using namespace p16;
  constexpr std::size_t kStep = kShorts / 2;
  V re = zero(), im = zero();
  std::size_t i = 0;
  for (; i + kStep <= n; i += kStep) {
    const V va = load(a + i), vb = load(b + i);
    re = addWidened(re, productRe(va, vb));
    im = addWidened(im, sub32(productIm(va, vb), set32(kBias)));
  }
  Wide2 s{sum64(re), sum64(im) + std::int64_t{kBias} * static_cast<std::int64_t>(i)};
  for (; i < n; ++i) {
    s.re += std::int64_t{a[i].re} * b[i].re - std::int64_t{a[i].im} * b[i].im;
    s.im += std::int64_t{a[i].re} * b[i].im + std::int64_t{a[i].im} * b[i].re;
  }
  return s;
}

Wide2 dotShortMixed(const short* a, const ComplexShort* b, std::size_t n) {
  using namespace p16;
  constexpr std::size_t kStep = kShorts / 2;
  V re = zero(), im = zero();
  std::size_t i = 0;
  for (; i + kStep <= n; i += kStep) {
    const V x = loadShortsAsInts(a + i);  // a in the low half of each 32-bit lane
    const V vb = load(b + i);
    re = addWidened(re, madd(andv(x, set32(0xFFFF)), vb));  // (a, 0) . (re, im)
    im = addWidened(im, madd(slli32<16>(x), vb));           // (0, a) . (re, im)
  }
  Wide2 s{sum64(re), sum64(im)};
  for (; i < n; ++i) {
    s.re += std::int32_t{a[i]} * b[i].re;
    s.im += std::int32_t{a[i]} * b[i].im;
  }
  return s;
}

// ---- normalisation ----

// Rounds to the nearest integer, ties to even, and keeps the low 16 bits. Below 2^51 in magnitude
// adding 1.5 * 2^52 does the rounding and leaves the integer in the low bits of the pattern.
KVO_KERNEL_INLINE short roundWrap(double v) {
  return static_cast<short>(std::bit_cast<std::uint64_t>(v + 0x1.8p52) & 0xFFFF);
}
short roundWrapAny(double v) {
  const double r = std::nearbyint(v);
  if (!(std::fabs(r) < 0x1p63)) return 0;  // beyond 64 bits, or NaN: no low bits
  return static_cast<short>(static_cast<std::int64_t>(r) & 0xFFFF);
}

// (x - offset) * r in double precision; shorts round and wrap (kAnyRange: also beyond 2^51).
template <bool kAnyRange, class R>
KVO_KERNEL_INLINE R normalized(R x, R offset, double r) {
  if constexpr (std::is_same_v<R, short>) {
    const double v = static_cast<double>(std::int32_t{x} - offset) * r;
    return kAnyRange ? roundWrapAny(v) : roundWrap(v);
  } else {
    return static_cast<R>((x - static_cast<double>(offset)) * r);
  }
}

template <bool kAnyRange, class T>
void normalizeLoop(const T* s, T* d, std::size_t n, T offset, double r) {
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
    if constexpr (std::is_arithmetic_v<T>) {
      d[i] = normalized<kAnyRange>(s[i], offset, r);
    } else {
      d[i] = {normalized<kAnyRange>(s[i].re, offset.re, r),
              normalized<kAnyRange>(s[i].im, offset.im, r)};
    }
  }
}

}  // namespace

template <Isa I, class T>
double sumK(const T* x, std::size_t n) {
  if constexpr (std::is_same_v<T, float>) {
    return total(reduce64(x, static_cast<const T*>(nullptr), n,
                          [](DN& r, const DN& v, const DN&) { r += v; }));
  } else {
    return compensatedSum(x, n);
  }
}

template <Isa I, class T>
double sumSquaresK(const T* x, std::size_t n) {
  if constexpr (std::is_same_v<T, float>) {
    return total(reduce64(x, static_cast<const T*>(nullptr), n,
                          [](DN& r, const DN& v, const DN&) { mulAdd<T>(r, v, v); }));
  } else {
    return compensatedSumSquares(x, n);
  }
}

template <Isa I>
std::int64_t sumShortK(const short* x, std::size_t n) {
  std::int64_t s = 0;
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) s += x[i];
  return s;
}

template <Isa I>
std::int64_t sumSquaresShortK(const short* x, std::size_t n) {
  std::int64_t s = 0;
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) s += std::int32_t{x[i]} * x[i];
  return s;
}

template <Isa I, class T>
double rawNormK(const T* a, const T* b, std::size_t n, Norm kind) {
  if constexpr (std::is_same_v<T, short>) {
    return rawNormShort(a, b, n, kind);
  } else if constexpr (std::is_same_v<T, ComplexShort>) {
    // Exact squared magnitudes; only the sum of their roots is inexact.
    std::int64_t acc = 0;
    if (kind == Norm::L1) {
      D16 roots{};
      blocks(&a->re, b ? &b->re : nullptr, 2 * n, [&](const D16& x, const D16& y) {
        roots += evenLanes(sqrt(pairSums((x - y) * (x - y))));
      });
      return total(roots);
    }
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t re = std::int32_t{a[i].re} - (b ? b[i].re : 0);
      const std::int64_t im = std::int32_t{a[i].im} - (b ? b[i].im : 0);
      const std::int64_t m2 = re * re + im * im;
      acc = kind == Norm::Max ? (m2 > acc ? m2 : acc) : acc + m2;
    }
    return kind == Norm::Max ? std::sqrt(static_cast<double>(acc)) : static_cast<double>(acc);
  } else if constexpr (kComplexData<T>) {
    return rawNormComplex(&a->re, b ? &b->re : nullptr, 2 * n, kind);
  } else {
    return rawNormReal(a, b, n, kind);
  }
}

template <Isa I, class T>
T maxK(const T* x, std::size_t n) {
  return extreme<true>(x, n);
}
template <Isa I, class T>
T minK(const T* x, std::size_t n) {
  return extreme<false>(x, n);
}

template <Isa I, class A, class B>
Sum2 dotK(const A* a, const B* b, std::size_t n) {
  return dotFloating(a, b, n);
}

template <Isa I, class A, class B>
Wide2 dotShortK(const A* a, const B* b, std::size_t n) {
  if constexpr (std::is_same_v<A, short> && std::is_same_v<B, short>) {
    return dotShortReal(a, b, n);
  } else if constexpr (std::is_same_v<A, ComplexShort> && std::is_same_v<B, ComplexShort>) {
    return dotShortComplex(a, b, n);
  } else if constexpr (std::is_same_v<A, short>) {
    return dotShortMixed(a, b, n);
  } else {
    return dotShortMixed(b, a, n);
  }
}

template <Isa I, class T>
void normalizeK(const T* s, T* d, std::size_t n, T offset, double r) {
  // 16-bit differences stay below 2^16, so below 2^35 in r every product stays below 2^51.
  if (std::fabs(r) < 0x1p35) {
    normalizeLoop<false>(s, d, n, offset, r);
  } else {
    normalizeLoop<true>(s, d, n, offset, r);
  }
}

template double sumK<KVO_ISA, float>(const float*, std::size_t);
template double sumK<KVO_ISA, double>(const double*, std::size_t);
template double sumSquaresK<KVO_ISA, float>(const float*, std::size_t);
template double sumSquaresK<KVO_ISA, double>(const double*, std::size_t);
template std::int64_t sumShortK<KVO_ISA>(const short*, std::size_t);
template std::int64_t sumSquaresShortK<KVO_ISA>(const short*, std::size_t);

#define KVO_INSTANTIATE_STATS(T)                                               \
  template double rawNormK<KVO_ISA, T>(const T*, const T*, std::size_t, Norm); \
  template void normalizeK<KVO_ISA, T>(const T*, T*, std::size_t, T, double);
KVO_INSTANTIATE_STATS(float)
KVO_INSTANTIATE_STATS(double)
KVO_INSTANTIATE_STATS(short)
KVO_INSTANTIATE_STATS(ComplexFloat)
KVO_INSTANTIATE_STATS(ComplexDouble)
KVO_INSTANTIATE_STATS(ComplexShort)
#undef KVO_INSTANTIATE_STATS

#define KVO_INSTANTIATE_EXTREMES(T)                   \
  template T maxK<KVO_ISA, T>(const T*, std::size_t); \
  template T minK<KVO_ISA, T>(const T*, std::size_t);
KVO_INSTANTIATE_EXTREMES(float)
KVO_INSTANTIATE_EXTREMES(double)
KVO_INSTANTIATE_EXTREMES(short)
#undef KVO_INSTANTIATE_EXTREMES

#define KVO_INSTANTIATE_DOT(A, B) \
  template Sum2 dotK<KVO_ISA, A, B>(const A*, const B*, std::size_t);
KVO_INSTANTIATE_DOT(float, float)
KVO_INSTANTIATE_DOT(double, double)
KVO_INSTANTIATE_DOT(ComplexFloat, ComplexFloat)
KVO_INSTANTIATE_DOT(float, ComplexFloat)
KVO_INSTANTIATE_DOT(ComplexFloat, float)
KVO_INSTANTIATE_DOT(ComplexDouble, ComplexDouble)
KVO_INSTANTIATE_DOT(double, ComplexDouble)
KVO_INSTANTIATE_DOT(ComplexDouble, double)
#undef KVO_INSTANTIATE_DOT

#define KVO_INSTANTIATE_DOT16(A, B) \
  template Wide2 dotShortK<KVO_ISA, A, B>(const A*, const B*, std::size_t);
KVO_INSTANTIATE_DOT16(short, short)
KVO_INSTANTIATE_DOT16(ComplexShort, ComplexShort)
KVO_INSTANTIATE_DOT16(short, ComplexShort)
KVO_INSTANTIATE_DOT16(ComplexShort, short)
#undef KVO_INSTANTIATE_DOT16

}  // namespace kvo::kern
