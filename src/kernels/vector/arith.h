// Block arithmetic kernels on float, double, ComplexFloat and ComplexDouble vectors.
//
// Results equal the element-wise definitions of complex.h, also when the output is identical to an
// input; outputs that partly overlap an input are not supported.
#pragma once

#include <cstddef>
#include <cstring>

#include "kernels/complex.h"
#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

// Per-level kernels, instantiated in arith_<level>.cpp for every (Op, T) of KVO_FOR_ARITH.
template <Isa I, class Op, class T>
void binaryK(const T* a, const T* b, T* d, std::size_t n);  // d[k] = a[k] op b[k]
template <Isa I, class Op, class T>
void binaryScalarK(const T* a, T v, T* d, std::size_t n);  // d[k] = a[k] op v

#define KVO_FOR_ARITH_TYPE(X, Op) \
  X(Op, float) X(Op, double) X(Op, ComplexFloat) X(Op, ComplexDouble)
#define KVO_FOR_ARITH(X) \
  KVO_FOR_ARITH_TYPE(X, Add) KVO_FOR_ARITH_TYPE(X, Sub) KVO_FOR_ARITH_TYPE(X, Mpy)

template <class Op, class T>
void binary(const T* a, const T* b, T* d, int n) {
  KVO_DISPATCH(binaryK, Op, T)(a, b, d, static_cast<std::size_t>(n));
}

template <class Op, class T>
void binaryScalar(const T* a, T v, T* d, int n) {
  KVO_DISPATCH(binaryScalarK, Op, T)(a, v, d, static_cast<std::size_t>(n));
}

template <class T>
void fill(T v, T* d, int n) {
  KVO_IVDEP for (int k = 0; k < n; ++k) d[k] = v;
}

template <class T>
void zero(T* d, int n) {
  std::memset(static_cast<void*>(d), 0, sizeof(T) * static_cast<std::size_t>(n));
}

template <class T>
void copy(const T* s, T* d, int n) {
  std::memmove(static_cast<void*>(d), s, sizeof(T) * static_cast<std::size_t>(n));
}

// How a conjugate negates the imaginary part: flipping its sign bit (exact, +0 becomes -0), or
// subtracting it from zero (a zero imaginary part stays +0).
struct FlipSign {
  template <class R>
  static R apply(R x) {
    return -x;
  }
};
struct ZeroMinus {
  template <class R>
  static R apply(R x) {
    return R(0) - x;
  }
};

template <class Neg, class T>
T conjugate(T x) {
  return {x.re, Neg::apply(x.im)};
}

template <class Neg, class T>
void conj(const T* s, T* d, int n) {
  KVO_IVDEP for (int k = 0; k < n; ++k) d[k] = conjugate<Neg>(s[k]);
}

// d[n-1-k] = conj(s[k]); swapping from both ends also serves d == s.
template <class Neg, class T>
void conjFlip(const T* s, T* d, int n) {
  for (int lo = 0, hi = n - 1; lo <= hi; ++lo, --hi) {
    const T first = s[lo];
    const T last = s[hi];
    d[hi] = conjugate<Neg>(first);
    d[lo] = conjugate<Neg>(last);
  }
}

// With N = 2(n-1): v[N-k] = conj(v[k]) for k = 1 .. n-2, rebuilding a conjugate-symmetric vector.
template <class Neg, class T>
void conjExtend(T* v, int n) {
  const int total = 2 * (n - 1);
  for (int k = 1; k <= n - 2; ++k) v[total - k] = conjugate<Neg>(v[k]);
}

}  // namespace kvo::kern
