// Logarithm and exponential kernels for one instruction-set level; included by
// elemlnexp_<level>.cpp after KVO_ISA is defined. See isa.h for the rules these files follow.
//
// The code works on generic vectors of doubles of the level's register width (elem_lanes.h).
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

// ---- double ----

// exp(x) = 2^(n/128) exp(r), n = round(x 128/ln2), r = x - n ln2/128 with |r| <= ln2/256. The
// product n * kChi is exact (kChi has 35 bits, |n| < 2^18) and so is x - n kChi; exp(r) - 1 is a
// Taylor polynomial to r^6 (truncation below 2^-71), added to the table value hi + lo last.
// 2^(n div 128) is applied as two factors so that results near overflow and in the subnormal range
// need no further cases.
KVO_KERNEL_INLINE VD expDouble(VD x) {
  constexpr double kInvC = 0x1.71547652b82fep+7;   // 128/ln2
  constexpr double kChi = 0x1.62e42fefc0000p-8;    // ln2/128, high part
  constexpr double kClo = -0x1.c610ca86c3899p-44;  // ln2/128 - kChi
  const VD xc = clamp(x, -746.0, 710.0);
  VD kd = xc * kInvC + kShift;
  const VU n = asBits(kd) - kShiftBits + (U64{1} << 24);  // n + 2^24 >= 0
  kd -= kShift;
  const VD r = (xc - kd * kChi) - kd * kClo;

  VD hi, lo;
  for (std::size_t l = 0; l < kDoubles; ++l) {
    const lnexp::Exp2Entry& e = lnexp::kExp2[n[l] & 127];
    hi[l] = e.hi;
    lo[l] = e.lo;
  }
  VD q = r * (1.0 / 720) + 1.0 / 120;
  q = q * r + 1.0 / 24;
  q = q * r + 1.0 / 6;
  q = q * r + 0.5;
  const VD p = r + (r * r) * q;
  const VD tail = lo + hi * p;

  const VU big = n >> 7;     // (n div 128) + 2^17
  const VU half = big >> 1;  // half of it, rounded down, + 2^16
  constexpr U64 kBias = 1023 - (U64{1} << 16);
  const VD scale1 = asDouble((half + kBias) << 52);
  const VD scale2 = asDouble((big - half + kBias) << 52);
  const VD normal = ((hi + tail) * scale1) * scale2;

  // Below 2^-1022 that would round twice. Instead the value times 2^1022, below 1, is added to 1,
  // which rounds it once on the grid of 2^-52, the subnormal grid after scaling back.
  const VD up = asDouble((big + (U64{1022 + 1023} - (U64{1} << 17))) << 52);
  const VD a = hi * up, b = tail * up;
  const VD one = a + 1.0;
  const VD rest = ((1.0 - one) + a) + b;
  const VD tiny = ((one + rest) - 1.0) * 0x1p-1022;
  return select(x != x, x + x, select(normal < splat(0x1p-1022), tiny, normal));
}

// ln(x) = e ln2 - ln(invc) + ln(1 + r) for x = 2^e z, z in [1, 2), c = 1 + j/128 the nearest
// table point and r = z invc - 1 = (z - c) invc + delta. z - c is exact, and with invc a
// multiple of 2^-8 both (z - c) invc and the sum are exact too: |r| < 2^-7 needs at most 53 bits.
// e ln2 - ln(invc) = hi + lo with hi exact; ln(1 + r) = r - r^2/2 + r^3 P(r), P to r^6
// (truncation below 2^-63 relative). hi + r is added with its rounding error recovered, so the
// result rounds once.
KVO_KERNEL_INLINE VD lnDouble(VD x) {
  constexpr double kLn2hi = 0x1.62e42fefa3800p-1;  // a multiple of 2^-42
  constexpr double kLn2lo = 0x1.ef35793c76730p-45;
  constexpr U64 kMinNormalBits = 0x0010000000000000;
  // Subnormal inputs are scaled into the normal range first.
  const VM sub = reinterpret_cast<VM>(asBits(x) < kMinNormalBits);
  const VU ix = asBits(select(sub, x * 0x1p52, x));
  const VD e = toDouble(ix >> 52) - select(sub, splat(1023.0 + 52), splat(1023.0));
  const VD z = asDouble((ix & 0x000FFFFFFFFFFFFF) | 0x3FF0000000000000);
  const VU j = (((ix >> 44) & 0xFF) + 1) >> 1;  // round((z - 1) 128), 0 .. 128

  VD invc, delta, lhi, llo;
  for (std::size_t l = 0; l < kDoubles; ++l) {
    const lnexp::LogEntry& t = lnexp::kLog[j[l]];
    invc[l] = t.invc;
    delta[l] = t.delta;
    lhi[l] = t.lhi;
    llo[l] = t.llo;
  }
  const VD c = toDouble(j) * 0x1p-7 + 1.0;
  const VD r = (z - c) * invc + delta;
  const VD hi = e * kLn2hi + lhi;
  const VD lo = e * kLn2lo + llo;

  VD p = r * (1.0 / 9) - 1.0 / 8;
  p = p * r + 1.0 / 7;
  p = p * r - 1.0 / 6;
  p = p * r + 1.0 / 5;
  p = p * r - 1.0 / 4;
  p = p * r + 1.0 / 3;
  const VD tail = (r * r) * (p * r - 0.5);

  const VD s = hi + r;
  const VD back = s - hi;
  const VD err = (hi - (s - back)) + (r - back);
  return lnSpecials(x, s + (err + lo + tail));
}

// ---- float, in double precision ----

// exp(x) = 2^n exp(r), n = round(x/ln2), |r| <= ln2/2, exp(r) a Taylor polynomial to r^10
// (truncation below 2^-42). Beyond the clamp bounds float results are 0 or +inf anyway.
KVO_KERNEL_INLINE VD expFloat(VD x) {
  constexpr double kInvLn2 = 0x1.71547652b82fep+0;
  constexpr double kLn2hi = 0x1.62e42fefa3a00p-1;  // 44 bits: n * kLn2hi is exact
  constexpr double kLn2lo = -0x1.0ca86c3898d00p-49;
  const VD xc = clamp(x, -104.0, 89.0);
  VD kd = xc * kInvLn2 + kShift;
  const VU n = asBits(kd) - kShiftBits;
  kd -= kShift;
  const VD r = (xc - kd * kLn2hi) - kd * kLn2lo;
  VD p = r * (1.0 / 3628800) + 1.0 / 362880;
  p = p * r + 1.0 / 40320;
  p = p * r + 1.0 / 5040;
  p = p * r + 1.0 / 720;
  p = p * r + 1.0 / 120;
  p = p * r + 1.0 / 24;
  p = p * r + 1.0 / 6;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  return select(x != x, x + x, p * asDouble((n + 1023) << 52));
}

// ln(x) = e ln2 + 2 atanh(s), x = 2^e m with m in [sqrt(1/2), sqrt(2)), s = (m - 1)/(m + 1),
// |s| < 0.1716, the series to s^15 (truncation below 2^-44 relative).
KVO_KERNEL_INLINE VD lnFloat(VD x) {
  constexpr double kLn2 = 0x1.62e42fefa39efp-1;
  // The pattern of sqrt(1/2) without its exponent: subtracting it moves the exponent boundary to
  // sqrt(1/2) * 2^k. Float inputs are normal doubles, so the exponent field is all that is needed.
  constexpr U64 kSqrtHalfMantissa = 0x0006A09E667F3BCD;
  const VU ix = asBits(x);
  const VU biased = (ix - kSqrtHalfMantissa) >> 52;  // e + 1022
  const VD e = toDouble(biased) - 1022.0;
  const VD m = asDouble(ix - ((biased - 1022) << 52));
  const VD s = (m - 1.0) / (m + 1.0);
  const VD s2 = s * s;
  VD p = s2 * (2.0 / 15) + 2.0 / 13;
  p = p * s2 + 2.0 / 11;
  p = p * s2 + 2.0 / 9;
  p = p * s2 + 2.0 / 7;
  p = p * s2 + 2.0 / 5;
  p = p * s2 + 2.0 / 3;
  p = p * s2 + 2.0;
  return lnSpecials(x, e * kLn2 + s * p);
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
