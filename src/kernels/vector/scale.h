// Bringing wide results back to 16 bits: the scale modes shared by every family with 16-bit output.
//
// scaleMode: 0 wrap, 1 saturate, 2 fixed shift then wrap, 3 fixed shift then saturate, 4 automatic
// shift (the smallest right shift that makes every value fit; the shift is written through
// scaleFactor); any other value wraps. A factor s scales by 2^-s: positive shifts right, negative
// shifts left. For the fixed modes a null scaleFactor counts as factor 0; for the automatic mode a
// null scaleFactor is refused by the callers before they get here (these routines then just skip
// the store).
#pragma once

#include <cstdint>

namespace kvo {

// Integer results: right shifts are arithmetic (they round toward minus infinity). Fixed factors
// shift right by at most 31 and left by at most 15.
short kvoScaleIntToShort(std::int32_t value, int scaleMode, int* scaleFactor);
void kvoScaleIntsToShorts(const std::int32_t* src, short* dst, int n, int scaleMode,
                          int* scaleFactor);
// The same rules for 64-bit values, for exact sums that outgrow 32 bits (dot products, means).
void kvoScaleLongsToShorts(const std::int64_t* src, short* dst, int n, int scaleMode,
                           int* scaleFactor);

// Float results: conversions round toward zero.
void kvoScaleFloatsToShorts(const float* src, short* dst, int n, int scaleMode, int* scaleFactor);
// Real and imaginary parts with one common factor.
void kvoScaleFloatPairsToShorts(const float* srcRe, const float* srcIm, short* dstRe, short* dstIm,
                                int n, int scaleMode, int* scaleFactor);

namespace scale {

inline short wrap(std::int64_t v) { return static_cast<short>(static_cast<std::uint16_t>(v)); }
inline short saturate(std::int64_t v) {
  return static_cast<short>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}
inline bool fits(std::int64_t v) { return v >= -32768 && v <= 32767; }

// The automatic factor for integers whose extremes are lo <= hi: 0 if all fit, otherwise p - 14
// with p the highest set bit of the largest magnitude (32768 and 65535 give 1, 65536 gives 2).
int autoFactor(std::int64_t lo, std::int64_t hi);

// The shift counts of a fixed factor s: right by min(s, 31) for s > 0, left by min(-s, 15) for
// s < 0. The left count is clamped before it is negated, so INT_MIN is safe.
inline int rightShift(int s) { return s < 31 ? s : 31; }
inline int leftShift(int s) { return s < -15 ? 15 : -s; }

// The fixed-factor store of one integer: shifted right by min(s, 31) or left by min(-s, 15), then
// wrapped or saturated.
short fixedWrap(std::int64_t v, int s);
short fixedSaturate(std::int64_t v, int s);

// Float to 16 bits, truncating: wrap takes the low 16 bits of the 64-bit integer (values beyond the
// 64-bit range and NaN give the integer-indefinite value, whose low bits are 0); saturate clamps
// first (by bit pattern, so +NaN gives 32767 and -NaN -32768).
short floatWrap(double x);
short floatSaturate(float x);

}  // namespace scale
}  // namespace kvo
