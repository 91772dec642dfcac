// Element functions: square roots, thresholds, inverse thresholds, absolute values and the 16-bit
// logarithm and exponential tables. Every kernel reads s[k] and writes d[k]; s and d may be the
// same vector (the in-place forms), but must not overlap otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

// Correctly rounded square roots. An element whose sign bit is set and that is not -0 (a negative
// number or a NaN with the sign set) is skipped: d[k] keeps its value. True if any was skipped.
template <Isa I, class T>
bool sqrtRealK(const T* s, T* d, std::size_t n);
// floor(sqrt(x)); negative elements give 0. True if any was negative.
template <Isa I>
bool sqrtShortK(const short* s, short* d, std::size_t n);
// Principal square roots: t = sqrt((|x| + |re|) / 2), the other part |im| / 2t, the imaginary part
// with the sign of im (a negative real part swaps the two). 16-bit results truncate toward zero.
template <Isa I, class T>
void sqrtComplexK(const T* s, T* d, std::size_t n);

// Elements below (greater false) or above (greater true) thresh become thresh. Float elements are
// compared by their bit patterns read as sign and magnitude: all finite values (and the two zeros,
// which count as equal) order as numbers, and NaNs lie beyond the infinities of their sign.
template <Isa I, class T>
void threshK(const T* s, T* d, std::size_t n, T thresh, bool greater);
// Magnitude clipping with thresh >= 0, comparing re^2 + im^2 with thresh^2 in double precision:
// elements below (above) thresh in magnitude are scaled to magnitude thresh keeping their phase;
// below, an element whose squared magnitude is zero or subnormal becomes (thresh, 0).
template <Isa I, class T, class R>
void threshComplexK(const T* s, T* d, std::size_t n, R thresh, bool greater);

// 1/x where |x| > thresh (complex: >= thresh), +-1/thresh (complex: magnitude 1/thresh with the
// phase of 1/x, and 1/thresh for 0) below. thresh 0 (complex: without exponent) gives 1/x for
// nonzero elements and the largest finite value for zeros; true if a zero met a zero thresh.
template <Isa I, class T, class R>
bool invThreshK(const T* s, T* d, std::size_t n, R thresh);

// |x|; for shorts saturating (-32768 gives 32767).
template <Isa I, class T>
void absK(const T* s, T* d, std::size_t n);

// floor(ln x) from the thresholds 3, 8, 21, ..., 22027; 0 for x < 3.
template <Isa I>
void lnShortK(const short* s, short* d, std::size_t n);
// floor(e^x) as 32-bit values: 0 for x < 0, 2^31 - 1 for x >= 22 (beyond the 32-bit range).
template <Isa I>
void expShortK(const short* s, std::int32_t* d, std::size_t n);

template <class T>
bool sqrtReal(const T* s, T* d, int n) {
  return KVO_DISPATCH(sqrtRealK, T)(s, d, static_cast<std::size_t>(n));
}
inline bool sqrtShort(const short* s, short* d, int n) {
  return KVO_DISPATCH(sqrtShortK)(s, d, static_cast<std::size_t>(n));
}
template <class T>
void sqrtComplex(const T* s, T* d, int n) {
  KVO_DISPATCH(sqrtComplexK, T)(s, d, static_cast<std::size_t>(n));
}
template <class T>
void thresh(const T* s, T* d, int n, T t, bool greater) {
  KVO_DISPATCH(threshK, T)(s, d, static_cast<std::size_t>(n), t, greater);
}
template <class T, class R>
void threshComplex(const T* s, T* d, int n, R t, bool greater) {
  KVO_DISPATCH(threshComplexK, T, R)(s, d, static_cast<std::size_t>(n), t, greater);
}
template <class T, class R>
bool invThresh(const T* s, T* d, int n, R t) {
  return KVO_DISPATCH(invThreshK, T, R)(s, d, static_cast<std::size_t>(n), t);
}
template <class T>
void abs(const T* s, T* d, int n) {
  KVO_DISPATCH(absK, T)(s, d, static_cast<std::size_t>(n));
}
inline void lnShort(const short* s, short* d, int n) {
  KVO_DISPATCH(lnShortK)(s, d, static_cast<std::size_t>(n));
}
inline void expShort(const short* s, std::int32_t* d, int n) {
  KVO_DISPATCH(expShortK)(s, d, static_cast<std::size_t>(n));
}

// floor(e^k) for k = 0 .. 21.
inline constexpr std::int32_t kExpShortTable[22] = {
    1,       2,        7,        20,        54,        148,       403,     1096,
    2980,    8103,     22026,    59874,     162754,    442413,    1202604, 3269017,
    8886110, 24154952, 65659969, 178482300, 485165195, 1318815734};

inline std::int32_t expShortOf(short x) {
  return x < 0 ? 0 : x < 22 ? kExpShortTable[x] : INT32_MAX;
}

}  // namespace kvo::kern
