#include "kernels/vector/scale.h"

#include <bit>
#include <cmath>

namespace kvo {
namespace scale {

int autoFactor(std::int64_t lo, std::int64_t hi) {
  if (fits(lo) && fits(hi)) return 0;
  // Unsigned, so that the magnitude of the most negative value is representable.
  const std::uint64_t up = hi > 0 ? static_cast<std::uint64_t>(hi) : 0;
  const std::uint64_t down = lo < 0 ? 0 - static_cast<std::uint64_t>(lo) : 0;
  const int p = 63 - std::countl_zero(up > down ? up : down);
  return p - 14;
}

short fixedWrap(std::int64_t v, int s) {
  if (s > 0) return wrap(v >> rightShift(s));
  if (s < 0) return wrap(static_cast<std::int64_t>(static_cast<std::uint64_t>(v) << leftShift(s)));
  return wrap(v);
}

short fixedSaturate(std::int64_t v, int s) {
  if (s > 0) return saturate(v >> rightShift(s));
  if (s < 0) {
    // Compared before shifting, so that no 64-bit value can overflow.
    const int k = leftShift(s);
    if (v > (32767 >> k)) return 32767;
    if (v < -(32768 >> k)) return -32768;
    return static_cast<short>(v * (std::int64_t{1} << k));
  }
  return saturate(v);
}

short floatWrap(double x) {
  // Beyond +-2^63 (and NaN) the conversion yields 0x8000000000000000, whose low 16 bits are 0.
  if (!(std::fabs(x) < 9223372036854775808.0)) return 0;
  return wrap(static_cast<std::int64_t>(x));
}

short floatSaturate(float x) {
  const auto bits = std::bit_cast<std::uint32_t>(x);
  constexpr std::uint32_t kMaxPositive = 0x46FFFE00;  // 32767.0f
  constexpr std::uint32_t kMaxNegative = 0xC7000000;  // -32768.0f
  if (static_cast<std::int32_t>(bits) >= 0) {
    if (bits > kMaxPositive) return 32767;
  } else if (bits > kMaxNegative) {
    return -32768;
  }
  return static_cast<short>(static_cast<std::int32_t>(x));
}

}  // namespace scale

namespace {

using scale::saturate;
using scale::wrap;

int factorOf(const int* scaleFactor) { return scaleFactor ? *scaleFactor : 0; }

template <class Int, class Store>
void storeInts(const Int* src, short* dst, int n, Store store) {
  for (int k = 0; k < n; ++k) dst[k] = store(src[k]);
}

// The fixed modes with the direction of the shift settled once per call, so that the common
// right shift is a plain loop of shifts and clamps that the compiler turns into vector code.
template <class Int>
void fixedInts(const Int* src, short* dst, int n, int s, bool saturating) {
  if (s > 0) {
    const int r = scale::rightShift(s);
    if (saturating) {
      storeInts(src, dst, n, [r](Int v) { return saturate(v >> r); });
    } else {
      storeInts(src, dst, n, [r](Int v) { return wrap(v >> r); });
    }
  } else if (saturating) {
    storeInts(src, dst, n, [s](Int v) { return scale::fixedSaturate(v, s); });
  } else {
    storeInts(src, dst, n, [s](Int v) { return scale::fixedWrap(v, s); });
  }
}

template <class Int>
void intsToShorts(const Int* src, short* dst, int n, int scaleMode, int* scaleFactor) {
  switch (scaleMode) {
    case 4: {
      Int lo = 0, hi = 0;
      for (int k = 0; k < n; ++k) {
        lo = src[k] < lo ? src[k] : lo;
        hi = src[k] > hi ? src[k] : hi;
      }
      const int s = scale::autoFactor(lo, hi);
      if (scaleFactor) *scaleFactor = s;
      storeInts(src, dst, n, [s](Int v) { return wrap(v >> s); });
      return;
    }
    case 3:
    case 2:
      fixedInts(src, dst, n, factorOf(scaleFactor), scaleMode == 3);
      return;
    case 1:
      storeInts(src, dst, n, [](Int v) { return saturate(v); });
      return;
    default:
      storeInts(src, dst, n, [](Int v) { return wrap(v); });
      return;
  }
}

// The automatic factor of float data: 0 if the largest magnitude fits, otherwise its unbiased
// binary exponent minus 14 (32768.0 .. 65535.99 give 1).
int floatAutoFactor(const float* src, int n) {
  float largest = 0;
  for (int k = 0; k < n; ++k) {
    const float m = std::fabs(src[k]);
    if (m > largest) largest = m;
  }
  float lo = 0, hi = 0;
  for (int k = 0; k < n; ++k) {
    if (std::fabs(src[k]) == largest) {
      (src[k] < 0 ? lo : hi) = src[k];
    }
  }
  if (hi <= 32767.0f && lo >= -32768.0f) return 0;
  return static_cast<int>(std::bit_cast<std::uint32_t>(largest) >> 23) - 127 - 14;
}

void floatsWithFactor(const float* src, short* dst, int n, int s, bool saturating) {
  if (s == 0) {
    for (int k = 0; k < n; ++k)
      dst[k] = saturating ? scale::floatSaturate(src[k]) : scale::floatWrap(src[k]);
    return;
  }
  // Beyond +-300 every float either vanishes or leaves the 64-bit range anyway; the bound keeps the
  // multiplier finite and nonzero, so that 0 stays 0 (0 * inf would be a NaN).
  const int bounded = s < -300 ? -300 : s > 300 ? 300 : s;
  const double multiplier = std::ldexp(1.0, -bounded);
  for (int k = 0; k < n; ++k) {
    // Exact: a float times a power of two within these bounds is a double without rounding.
    const double scaled = src[k] * multiplier;
    dst[k] =
        saturating ? scale::floatSaturate(static_cast<float>(scaled)) : scale::floatWrap(scaled);
  }
}

}  // namespace

short kvoScaleIntToShort(std::int32_t value, int scaleMode, int* scaleFactor) {
  short out;
  intsToShorts(&value, &out, 1, scaleMode, scaleFactor);
  return out;
}

void kvoScaleIntsToShorts(const std::int32_t* src, short* dst, int n, int scaleMode,
                          int* scaleFactor) {
  intsToShorts(src, dst, n, scaleMode, scaleFactor);
}

void kvoScaleLongsToShorts(const std::int64_t* src, short* dst, int n, int scaleMode,
                           int* scaleFactor) {
  intsToShorts(src, dst, n, scaleMode, scaleFactor);
}

void kvoScaleFloatsToShorts(const float* src, short* dst, int n, int scaleMode, int* scaleFactor) {
  switch (scaleMode) {
    case 4: {
      const int s = floatAutoFactor(src, n);
      if (scaleFactor) *scaleFactor = s;
      floatsWithFactor(src, dst, n, s, false);
      return;
    }
    case 2:
    case 3:
      floatsWithFactor(src, dst, n, factorOf(scaleFactor), scaleMode == 3);
      return;
    case 1:
      floatsWithFactor(src, dst, n, 0, true);
      return;
    default:
      floatsWithFactor(src, dst, n, 0, false);
      return;
  }
}

void kvoScaleFloatPairsToShorts(const float* srcRe, const float* srcIm, short* dstRe, short* dstIm,
                                int n, int scaleMode, int* scaleFactor) {
  if (scaleMode != 4) {
    kvoScaleFloatsToShorts(srcRe, dstRe, n, scaleMode, scaleFactor);
    kvoScaleFloatsToShorts(srcIm, dstIm, n, scaleMode, scaleFactor);
    return;
  }
  const int sRe = floatAutoFactor(srcRe, n);
  const int sIm = floatAutoFactor(srcIm, n);
  const int s = sRe > sIm ? sRe : sIm;
  if (scaleFactor) *scaleFactor = s;
  floatsWithFactor(srcRe, dstRe, n, s, false);
  floatsWithFactor(srcIm, dstIm, n, s, false);
}

}  // namespace kvo
