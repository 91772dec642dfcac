// Logarithm and exponential kernels for one instruction-set level; included by
// elemlnexp_<level>.cpp after KVO_ISA is defined. See isa.h for the rules these files follow.
//
// The code works on generic vectors of doubles of the level's register width (elem_lanes.h).
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/vector/elem_lanes.h"
#include "kernels/vector/elemlnexp.h"

namespace kvo::kern {
namespace {

using lanes::kDoubles;
using lanes::VD;
using lanes::VFHalf;
using lanes::VM;
using lanes::VU;

using U64 = std::uint64_t;

KVO_KERNEL_INLINE VD splat(double x) { return VD{} + x; }
KVO_KERNEL_INLINE VD asDouble(VU u) { return reinterpret_cast<VD>(u); }
KVO_KERNEL_INLINE VU asBits(VD d) { return reinterpret_cast<VU>(d); }
KVO_KERNEL_INLINE VD select(VM m, VD a, VD b) { return m ? a : b; }
KVO_KERNEL_INLINE VD clamp(VD x, double lo, double hi) {  // NaN stays NaN
  return select(x < splat(lo), splat(lo), select(x > splat(hi), splat(hi), x));
}

// Adding 1.5 * 2^52 rounds a double of magnitude below 2^51 to an integer, which then stands in
// the low bits of the sum's pattern: n = bits(z + shift) - bits(shift).
constexpr double kShift = 0x1.8p52;
constexpr U64 kShiftBits = 0x4338000000000000;
// bits(2^52 + k) = kMagicBits | k: small nonnegative integers to doubles without a conversion.
constexpr double kMagic = 0x1p52;
constexpr U64 kMagicBits = 0x4330000000000000;
KVO_KERNEL_INLINE VD toDouble(VU k) { return asDouble(k | kMagicBits) - kMagic; }

constexpr double kInf = __builtin_inf();
constexpr U64 kInfBits = 0x7FF0000000000000;
constexpr U64 kDefaultNaNBits = 0xFFF8000000000000;  // the processor's default NaN, sign set

// ln's special values: +inf stays, zeros give -inf, negative numbers the default NaN, NaNs pass.
KVO_KERNEL_INLINE VD lnSpecials(VD x, VD res) {
  res = select(asBits(x) == kInfBits, x, res);
  res = select(x == splat(0), splat(-kInf), res);
  res = select(x < splat(0), asDouble(VU{} + kDefaultNaNBits), res);
  return select(x != x, x + x, res);
}

// The pattern of table[j].field in every lane, field the kField-th 64-bit member of the entries:
// one gather with AVX2 and AVX-512, one load per lane with SSE2. Every level reads the same bits.
template <std::size_t kField, class E>
KVO_KERNEL_INLINE VU column(const E* table, VU j) {
  constexpr U64 kStride = sizeof(E) / sizeof(U64);
  static_assert(sizeof(E) % sizeof(U64) == 0 && kField < kStride);
  const auto* base = reinterpret_cast<const char*>(table) + kField * sizeof(U64);
#if defined(__AVX512F__)
  return (VU)_mm512_i64gather_epi64((__m512i)(j * kStride), base, 8);
#elif defined(__AVX2__)
  return (VU)_mm256_i64gather_epi64(reinterpret_cast<const long long*>(base),
                                    (__m256i)(j * kStride), 8);
#else
  VU v;
  for (std::size_t l = 0; l < kDoubles; ++l) {
    U64 bits;
    std::memcpy(&bits, base + j[l] * sizeof(E), sizeof bits);
    v[l] = bits;
  }
  return v;
#endif
}

// Whether any lane is a NaN or beyond limit in magnitude.
KVO_KERNEL_INLINE bool anyBeyond(VD x, double limit) {
  const VD magnitude = asDouble(asBits(x) & 0x7FFFFFFFFFFFFFFF);
#if defined(__AVX512F__)
  return _mm512_cmp_pd_mask((__m512d)magnitude, _mm512_set1_pd(limit), _CMP_NLE_UQ) != 0;
#else
  return lanes::any(reinterpret_cast<VM>(~(magnitude <= splat(limit))));
#endif
}
// Whether any lane is not a positive normal finite number.
KVO_KERNEL_INLINE bool anyOutsideNormalRange(VD x) {
#if defined(__AVX512DQ__)
  return _mm512_fpclass_pd_mask((__m512d)x, 0xFF) != 0;  // NaN, zero, infinite, subnormal, negative
#else
  return lanes::any(reinterpret_cast<VM>(~((x >= splat(0x1p-1022)) & (x < splat(kInf)))));
#endif
}

// a b + c, fused where the level has it. The double kernels use it only where a b and a b + c are
// exact, so that the fused and the separate operations give the same bits.
KVO_KERNEL_INLINE VD mulAdd(VD a, VD b, VD c) {
#if defined(__AVX512F__)
  return (VD)_mm512_fmadd_pd((__m512d)a, (__m512d)b, (__m512d)c);
#elif defined(__FMA__)
  return (VD)_mm256_fmadd_pd((__m256d)a, (__m256d)b, (__m256d)c);
#else
  return a * b + c;
#endif
}
KVO_KERNEL_INLINE VD mulAdd(VD a, double b, double c) { return mulAdd(a, splat(b), splat(c)); }

// ---- double ----

// exp(x) = 2^(n/128) exp(r), n = round(x 128/ln2), r = x - n ln2/128 with |r| <= ln2/256. The
// product n * kChi is exact (kChi has 35 bits, |n| < 2^18) and so is x - n kChi; exp(r) - 1 =
// r + r^2 q(r), q a cubic interpolating at the Chebyshev points of the range of r (error below
// 2^-63 absolute), is added to the table value hi + lo last:
// 2^(j/128) exp(r) = hi + tail with j = n mod 128, hi + tail in [1, 2).
struct ExpReduced {
  VU bits;  // the pattern of 1.5 * 2^52 + n
  VD hi, tail;
};
KVO_KERNEL_INLINE ExpReduced expReduced(VD x) {
  constexpr double kInvC = 0x1.71547652b82fep+7;   // 128/ln2
  constexpr double kChi = 0x1.62e42fefc0000p-8;    // ln2/128, high part
  constexpr double kClo = -0x1.c610ca86c3899p-44;  // ln2/128 - kChi
  VD kd = x * kInvC + kShift;
  const VU bits = asBits(kd);
  kd -= kShift;
  const VD r = mulAdd(kd, splat(-kChi), x) - kd * kClo;

  const VU j = bits & 127;
  const VD hi = asDouble(column<0>(lnexp::kExp2, j));
  const VD lo = asDouble(column<1>(lnexp::kExp2, j));
  VD q = r * 0x1.11111430bc5c8p-7 + 0x1.55555accc11bap-5;
  q = q * r + 0x1.5555555555525p-3;
  q = q * r + 0x1.fffffffffff58p-2;
  const VD p = r + (r * r) * q;
  return {bits, hi, lo + hi * p};
}

// Any x: 2^(n div 128) is applied as two factors so that results near overflow and in the
// subnormal range need no further cases.
KVO_KERNEL_INLINE VD expDoubleAnyInput(VD x) {
  const ExpReduced t = expReduced(clamp(x, -746.0, 710.0));
  const VU n = t.bits - kShiftBits + (U64{1} << 24);  // n + 2^24 >= 0
  const VU big = n >> 7;                              // (n div 128) + 2^17
  const VU half = big >> 1;                           // half of it, rounded down, + 2^16
  constexpr U64 kBias = 1023 - (U64{1} << 16);
  const VD scale1 = asDouble((half + kBias) << 52);
  const VD scale2 = asDouble((big - half + kBias) << 52);
  const VD normal = ((t.hi + t.tail) * scale1) * scale2;

  // Below 2^-1022 that would round twice. Instead the value times 2^1022, below 1, is added to 1,
  // which rounds it once on the grid of 2^-52, the subnormal grid after scaling back.
  const VD up = asDouble((big + (U64{1022 + 1023} - (U64{1} << 17))) << 52);
  const VD a = t.hi * up, b = t.tail * up;
  const VD one = a + 1.0;
  const VD rest = ((1.0 - one) + a) + b;
  const VD tiny = ((one + rest) - 1.0) * 0x1p-1022;
  return select(x != x, x + x, select(normal < splat(0x1p-1022), tiny, normal));
}

// Up to 708 in magnitude every result is normal, and 2^(n div 128) goes straight into the
// exponent field: the same bits as the two factors, which only vectors reaching the ends of the
// range (or holding a NaN) need. The low bits of the pattern of 1.5 * 2^52 + n are those of n, so
// shifted left by 45 they leave (n div 128) 2^52, modulo 2^64.
KVO_KERNEL_INLINE VD expDouble(VD x) {
  if (anyBeyond(x, 708.0)) return expDoubleAnyInput(x);
  const ExpReduced t = expReduced(x);
  return asDouble(asBits(t.hi + t.tail) + ((t.bits << 45) & 0xFFF0000000000000));
}

// ln(x) = e ln2 - ln(invc) + ln(1 + r) for x = 2^e z, z in [1, 2), c = 1 + j/128 the nearest
// table point and r = z invc - 1, a multiple of 2^-60 below 2^-7 (0.0059) in magnitude and so a
// double: one fused multiply-add gives it, and without one (z - c) invc + (c invc - 1) does, every
// step exact. e ln2 - ln(invc) = hi + lo with hi exact; ln(1 + r) = r - r^2/2 +
// r^3 P(r), P of degree 5 interpolating at the Chebyshev points of the range of r (error below
// 2^-75 absolute, 2^-67 relative to r).
template <bool kAnyInput>
KVO_KERNEL_INLINE VD lnDouble(VD x) {
  constexpr double kLn2hi = 0x1.62e42fefa3800p-1;  // a multiple of 2^-42
  // ln2 - kLn2hi to 34 bits like the table's llo: the last entry (c = 2) holds exactly -kLn2hi
  // and -kLn2lo, so just below 1 (e = -1, j = 128) hi and lo vanish and only ln(1 + r) is left.
  constexpr double kLn2lo = 0x1.ef35793c80000p-45;
  constexpr U64 kMinNormalBits = 0x0010000000000000;
  constexpr U64 kOneBits = 0x3FF0000000000000;
  VU ix = asBits(x);
  VD e = asDouble((ix >> 52) | kMagicBits) - (kMagic + 1023);
  if constexpr (kAnyInput) {
    // Subnormal inputs are scaled into the normal range first.
    const VM sub = reinterpret_cast<VM>(ix < kMinNormalBits);
    ix = asBits(select(sub, x * 0x1p52, x));
    e = toDouble(ix >> 52) - select(sub, splat(1023.0 + 52), splat(1023.0));
  }
  const VD z = asDouble((ix & 0x000FFFFFFFFFFFFF) | kOneBits);
  // round((z - 1) 128), 0 .. 128
  const VU j = ((ix & 0x000FF00000000000) + (U64{1} << 44)) >> 45;

  const VD lhi = asDouble(column<0>(lnexp::kLog, j));
  const VU packed = column<1>(lnexp::kLog, j);
  const VD llo = asDouble(packed & ~U64{0x7FFFF});
  const VD invc = asDouble(packed << 45);
#if defined(__FMA__)
  const VD r = mulAdd(z, invc, splat(-1.0));
#else
  const VD c = asDouble((j << 45) + kOneBits);  // 1 + j/128 (j = 128 carries into the exponent)
  const VD r = (z - c) * invc + (c * invc - 1.0);
#endif
  const VD hi = mulAdd(e, splat(kLn2hi), lhi);
  const VD lo = e * kLn2lo + llo;

  VD p = r * -0x1.ff8fca5916aa3p-4 + 0x1.249513660c1b6p-3;
  p = p * r - 0x1.555555cec452ep-3;
  p = p * r + 0x1.99999997672bdp-3;
  p = p * r - 0x1.ffffffffffcf7p-3;
  p = p * r + 0x1.5555555555557p-2;
  const VD tail = (r * r) * (p * r - 0.5);

  // hi + r with its rounding error recovered, so the result rounds once. hi is 0 or at least 1.33
  // times |r| (checked over the table), so the short form of the error term is exact.
  const VD s = hi + r;
  const VD res = s + (((r - (s - hi)) + lo) + tail);
  if constexpr (kAnyInput) {
    return lnSpecials(x, res);
  } else {
    return res;
  }
}

// Vectors of positive normal numbers, by far the usual case, skip the scaling of subnormal
// inputs and the special values.
KVO_KERNEL_INLINE VD lnDouble(VD x) {
  return anyOutsideNormalRange(x) ? lnDouble<true>(x) : lnDouble<false>(x);
}

// ---- float, in double precision ----

// x limited to [lo, hi]; a NaN stays NaN (max and min return their second operand then).
KVO_KERNEL_INLINE VD clampKeepNaN(VD x, double lo, double hi) {
#if defined(__AVX512F__)
  return (VD)_mm512_min_pd(_mm512_set1_pd(hi), _mm512_max_pd(_mm512_set1_pd(lo), (__m512d)x));
#elif defined(__AVX__)
  return (VD)_mm256_min_pd(_mm256_set1_pd(hi), _mm256_max_pd(_mm256_set1_pd(lo), (__m256d)x));
#else
  return (VD)_mm_min_pd(_mm_set1_pd(hi), _mm_max_pd(_mm_set1_pd(lo), (__m128d)x));
#endif
}

// table[index mod 16] in every lane, as bits: one two-register permutation with AVX-512, a gather
// with AVX2, two loads with SSE2.
template <class E>
KVO_KERNEL_INLINE VU lookup16(const E* table, VU index) {
  static_assert(sizeof(E) == 8);
#if defined(__AVX512F__)
  __m512i lo, hi;
  std::memcpy(&lo, table, sizeof lo);
  std::memcpy(&hi, table + 8, sizeof hi);
  return (VU)_mm512_permutex2var_epi64(lo, (__m512i)index, hi);
#elif defined(__AVX2__)
  return (VU)_mm256_i64gather_epi64(reinterpret_cast<const long long*>(table),
                                    (__m256i)(index & 15), 8);
#else
  VU v;
  for (std::size_t l = 0; l < kDoubles; ++l) {
    U64 e;
    std::memcpy(&e, table + (index[l] & 15), sizeof e);
    v[l] = e;
  }
  return v;
#endif
}

// Whether any lane is not a positive finite number.
KVO_KERNEL_INLINE bool anyOutsideLnDomain(VD x) {
#if defined(__AVX512DQ__)
  return _mm512_fpclass_pd_mask((__m512d)x, 0xDF) != 0;  // NaN, zero, infinite, negative
#else
  return lanes::any(reinterpret_cast<VM>(~((x > splat(0)) & (x < splat(kInf)))));
#endif
}

// The signed integer in the top 12 bits of each lane, as a double.
KVO_KERNEL_INLINE VD top12(VU bits) {
#if defined(__AVX512F__)
  return (VD)_mm512_cvtepi64_pd(_mm512_srai_epi64((__m512i)bits, 52));
#else
  constexpr U64 kBias = U64{1} << 11;
  return toDouble((bits + (kBias << 52)) >> 52) - static_cast<double>(kBias);
#endif
}

// exp(x) = 2^(n/16) exp(r), n = round(x 16/ln2), r = x - n kC with |r| <= ln2/32 + 2^-35. kC,
// ln2/16 to 41 bits, makes n kC exact for |n| < 2^12, and r then needs at most 40 bits: the
// reduction is exact at every level, with or without fused operations. exp(r) - 1 is a Taylor
// polynomial to r^4 (truncation below 2^-34). For float arguments beyond the clamp bounds the
// result is 0 or +inf anyway; the double result is always normal and is rounded to float once,
// subnormals included.
template <bool kAnyInput>
KVO_KERNEL_INLINE VD expFloat(VD x) {
  constexpr double kInvC = 0x1.71547652b82fep+4;  // 16/ln2
  constexpr double kC = 0x1.62e42fefa3p-5;
  const VD xc = kAnyInput ? clampKeepNaN(x, -104.0, 89.0) : x;
  const VD kd = mulAdd(xc, kInvC, kShift);
  const VU n = asBits(kd);  // n in the low bits (the pattern of kShift ends in zeros)
  const VD r = mulAdd(kd - kShift, splat(-kC), xc);
  VD q = mulAdd(r, 1.0 / 24, 1.0 / 6);
  q = mulAdd(q, r, splat(0.5));
  q = mulAdd(q, r, splat(1.0));
  const VD s = asDouble(lookup16(lnexp::kExp16Bits, n) + (n << 48));  // 2^(n/16)
  const VD y = mulAdd(s, q * r, s);
  return kAnyInput ? select(x != x, x + x, y) : y;
}
// Vectors within the clamp bounds, and without NaNs, need neither the clamp nor the NaN fix-up.
KVO_KERNEL_INLINE VD expFloat(VD x) {
  return anyBeyond(x, 89.0) ? expFloat<true>(x) : expFloat<false>(x);
}

// ln(x) = k ln2 + ln(c) + ln(1 + r) for x = 2^k z, z in [0.765625, 1.53125), c a point of z's
// sixteenth of that range (cut by the bit pattern) and r = z/c - 1 = z invc - 1. z has float's 24
// bits and invc at most 29, so z invc and r are exact at every level; c = 1 around z = 1, where the
// result is ln(1 + r) alone and keeps its relative accuracy. r lies in [-0.0201, 0.0313], where
// ln(1 + r) = r + r^2 q(r) with q a cubic fitted for the least greatest relative error (2^-32.7),
// evaluated as r (1 + r q(r)) so that the last step adds hi too.
// Zeros, negative numbers, infinities and NaNs are put right afterwards, for the whole vector at
// once when one of them is in it.
KVO_KERNEL_INLINE VD lnFloat(VD x) {
  constexpr double kLn2 = 0x1.62e42fefa39efp-1;
  constexpr U64 kStart = 0x3FE8800000000000;  // 0.765625
  const VU ix = asBits(x);
  const VU t = ix - kStart;
  const VD k = top12(t);
  const VD z = asDouble(ix - (t & 0xFFF0000000000000));
  const VU interval = t >> 48;
  const VD invc = asDouble(lookup16(lnexp::kLn16InvC, interval));
  const VD lnc = asDouble(lookup16(lnexp::kLn16LnC, interval));
  const VD r = mulAdd(z, invc, splat(-1.0));
  const VD hi = mulAdd(k, splat(kLn2), lnc);
  VD q = mulAdd(r, 0x1.911a8deff2b4ep-3, -0x1.001590c089d51p-2);
  q = mulAdd(q, r, splat(0x1.5555baae08d75p-2));
  q = mulAdd(q, r, splat(-0x1.ffffff605c600p-2));
  q = mulAdd(q, r, splat(1.0));
  const VD res = mulAdd(r, q, hi);  // hi + r (1 + r q(r))
  return anyOutsideLnDomain(x) ? lnSpecials(x, res) : res;
}

// Float data run in double lanes: as many floats at a time as the register holds doubles. The
// conversions are spelt out: GCC 12 splits the generic ones into halves and reassembles them.
KVO_KERNEL_INLINE VD widen(VFHalf x) {
#if defined(__AVX512F__)
  return (VD)_mm512_cvtps_pd((__m256)x);
#elif defined(__AVX__)
  return (VD)_mm256_cvtps_pd((__m128)x);
#else
  return __builtin_convertvector(x, VD);
#endif
}
KVO_KERNEL_INLINE VFHalf narrow(VD x) {
#if defined(__AVX512F__)
  return (VFHalf)_mm512_cvtpd_ps((__m512d)x);
#elif defined(__AVX__)
  return (VFHalf)_mm256_cvtpd_ps((__m256d)x);
#else
  return __builtin_convertvector(x, VFHalf);
#endif
}
template <class F>
void mapFloats(const float* s, float* d, std::size_t n, F f) {
  lanes::map<VFHalf>(s, d, n, [f](VFHalf x) { return narrow(f(widen(x))); });
}

}  // namespace

template <Isa I, class T>
void lnK(const T* s, T* d, std::size_t n) {
  if constexpr (sizeof(T) == sizeof(float)) {
    mapFloats(s, d, n, [](VD x) { return lnFloat(x); });
  } else {
    lanes::map<VD>(s, d, n, [](VD x) { return lnDouble(x); });
  }
}

template <Isa I, class T>
void expK(const T* s, T* d, std::size_t n) {
  if constexpr (sizeof(T) == sizeof(float)) {
    mapFloats(s, d, n, [](VD x) { return expFloat(x); });
  } else {
    lanes::map<VD>(s, d, n, [](VD x) { return expDouble(x); });
  }
}

template void lnK<KVO_ISA, float>(const float*, float*, std::size_t);
template void lnK<KVO_ISA, double>(const double*, double*, std::size_t);
template void expK<KVO_ISA, float>(const float*, float*, std::size_t);
template void expK<KVO_ISA, double>(const double*, double*, std::size_t);

}  // namespace kvo::kern
