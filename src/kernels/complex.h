// Scalar complex arithmetic: the element-wise definitions every complex kernel follows.
//
// Products keep their intermediate results unrounded. For ComplexFloat the partial products are
// exact in double, so re = a.re*b.re - a.im*b.im is rounded once to double and then to float. For
// ComplexDouble the difference of products is formed with Kahan's fused-multiply-add algorithm: the
// rounding error of the second product is recovered exactly, which keeps the result within about
// one unit in the last place even under cancellation, where the plain formula can lose every digit.
// If the fused result overflows to a non-finite value the plain formula's result is used instead,
// so overflow still yields the infinity IEEE arithmetic gives.
#pragma once

#include <cmath>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

template <class T>
struct ComplexTraits {
  static constexpr bool kComplex = false;
  using Real = T;
};
template <>
struct ComplexTraits<ComplexFloat> {
  static constexpr bool kComplex = true;
  using Real = float;
};
template <>
struct ComplexTraits<ComplexDouble> {
  static constexpr bool kComplex = true;
  using Real = double;
};
template <class T>
inline constexpr bool kIsComplex = ComplexTraits<T>::kComplex;
template <class T>
using RealOf = typename ComplexTraits<T>::Real;

// a*b - c*d and a*b + c*d for doubles, see above.
KVO_KERNEL_INLINE double diffOfProducts(double a, double b, double c, double d) {
  const double w = c * d;
  const double e = std::fma(c, d, -w);
  const double f = std::fma(a, b, -w);
  const double r = f - e;
  return std::isfinite(r) ? r : a * b - w;
}
KVO_KERNEL_INLINE double sumOfProducts(double a, double b, double c, double d) {
  const double w = c * d;
  const double e = std::fma(c, d, -w);
  const double f = std::fma(a, b, w);
  const double r = f + e;
  return std::isfinite(r) ? r : a * b + w;
}

KVO_KERNEL_INLINE ComplexFloat cmul(ComplexFloat a, ComplexFloat b) {
  const double re = double(a.re) * b.re - double(a.im) * b.im;
  const double im = double(a.re) * b.im + double(a.im) * b.re;
  return {float(re), float(im)};
}
KVO_KERNEL_INLINE ComplexDouble cmul(ComplexDouble a, ComplexDouble b) {
  return {diffOfProducts(a.re, b.re, a.im, b.im), sumOfProducts(a.re, b.im, a.im, b.re)};
}

// Element operations as policies, for real and complex elements alike.
struct Add {
  template <class T>
  KVO_KERNEL_INLINE T apply(T a, T b) {
    if constexpr (kIsComplex<T>) {
      return {a.re + b.re, a.im + b.im};
    } else {
      return a + b;
    }
  }
};
struct Sub {
  template <class T>
  KVO_KERNEL_INLINE T apply(T a, T b) {
    if constexpr (kIsComplex<T>) {
      return {a.re - b.re, a.im - b.im};
    } else {
      return a - b;
    }
  }
};
struct Mpy {
  template <class T>
  KVO_KERNEL_INLINE T apply(T a, T b) {
    if constexpr (kIsComplex<T>) {
      return cmul(a, b);
    } else {
      return a * b;
    }
  }
};

}  // namespace kvo::kern
