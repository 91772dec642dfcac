// Reductions of whole vectors (sums, sums of squares, norms, extremes, dot products) and the
// normalisation of a vector by an offset and a factor.
//
// Floating-point sums run in double precision over 16 fixed accumulators (element k goes to
// accumulator k mod 16, which are combined in a fixed order at the end), so every instruction-set
// level gives the same bits. Sums of double data that the library documents as extended precision
// carry each accumulator's rounding error along (double-double). Integer sums are exact.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

struct Sum2 {
  double re, im;
};
struct Wide2 {
  std::int64_t re, im;
};

// Sum of x (float: exact terms in double; double: double-double accumulation).
template <Isa I, class T>
double sumK(const T* x, std::size_t n);
// Sum of x^2 (float: exact squares in double; double: exact squares, double-double accumulation).
template <Isa I, class T>
double sumSquaresK(const T* x, std::size_t n);
// Exact sums of 16-bit data and of their squares.
template <Isa I>
std::int64_t sumShortK(const short* x, std::size_t n);
template <Isa I>
std::int64_t sumSquaresShortK(const short* x, std::size_t n);

// Norm kinds; the raw norm of x = a - b (b may be null): the largest magnitude, the sum of the
// magnitudes, or the sum of the squared magnitudes (without the final root). Float differences are
// rounded to float for the maximum and compared by bit pattern (so a NaN is largest).
enum class Norm { Max, L1, L2 };
template <Isa I, class T>
double rawNormK(const T* a, const T* b, std::size_t n, Norm kind);

// Extremes. A NaN anywhere gives the first NaN; -0 counts below +0.
template <Isa I, class T>
T maxK(const T* x, std::size_t n);
template <Isa I, class T>
T minK(const T* x, std::size_t n);

// Dot products without conjugation, accumulated in double precision. A and B are float, double,
// ComplexFloat or ComplexDouble (real with complex of the same precision in either order).
template <Isa I, class A, class B>
Sum2 dotK(const A* a, const B* b, std::size_t n);
// Exact 16-bit dot products (B short or ComplexShort; A ComplexShort only with B ComplexShort).
template <Isa I, class A, class B>
Wide2 dotShortK(const A* a, const B* b, std::size_t n);

// d[k] = (s[k] - offset) * r, in double precision; 16-bit results round to nearest (ties to even)
// and keep the low 16 bits.
template <Isa I, class T>
void normalizeK(const T* s, T* d, std::size_t n, T offset, double r);

template <class T>
double sum(const T* x, int n) {
  return KVO_DISPATCH(sumK, T)(x, static_cast<std::size_t>(n));
}
template <class T>
double sumSquares(const T* x, int n) {
  return KVO_DISPATCH(sumSquaresK, T)(x, static_cast<std::size_t>(n));
}
inline std::int64_t sumShort(const short* x, int n) {
  return KVO_DISPATCH(sumShortK)(x, static_cast<std::size_t>(n));
}
inline std::int64_t sumSquaresShort(const short* x, int n) {
  return KVO_DISPATCH(sumSquaresShortK)(x, static_cast<std::size_t>(n));
}
template <class T>
double rawNorm(const T* a, const T* b, int n, Norm kind) {
  return KVO_DISPATCH(rawNormK, T)(a, b, static_cast<std::size_t>(n), kind);
}
template <class T>
T max(const T* x, int n) {
  return KVO_DISPATCH(maxK, T)(x, static_cast<std::size_t>(n));
}
template <class T>
T min(const T* x, int n) {
  return KVO_DISPATCH(minK, T)(x, static_cast<std::size_t>(n));
}
template <class A, class B>
Sum2 dot(const A* a, const B* b, int n) {
  return KVO_DISPATCH(dotK, A, B)(a, b, static_cast<std::size_t>(n));
}
template <class A, class B>
Wide2 dotShort(const A* a, const B* b, int n) {
  return KVO_DISPATCH(dotShortK, A, B)(a, b, static_cast<std::size_t>(n));
}
template <class T>
void normalize(const T* s, T* d, int n, T offset, double r) {
  KVO_DISPATCH(normalizeK, T)(s, d, static_cast<std::size_t>(n), offset, r);
}

}  // namespace kvo::kern
