// IIR filter kernels: the flow-reversed direct form II of any order and cascades of biquads with
// the gain taken out, for float and double, real and complex taps and samples.
//
// Arithmetic runs in double precision in registers; the delay line is kept in the element type, so
// every state value is rounded to it after each sample. A block therefore gives exactly the
// results of the same number of one-sample calls, at every instruction-set level (the faster
// block forms only reorder independent operations, never change one).
//
// Taps are in normalised form:
//   direct form, order N: c[0..N] = b_k / a0, c[N+1..2N] = a_1/a0 .. a_N/a0;
//   biquads: c[0] = G, then per section (a1/a0, a2/a0, b1/b0, b2/b0).
// The output and the delay line are of type D, complex when the taps or the samples are.
#pragma once

#include <cstddef>
#include <type_traits>

#include "kernels/complex.h"
#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

template <Isa I, class C, class X, class D>
void iirDirectK(const C* c, int order, D* d, const X* in, D* out, std::size_t n);

template <Isa I, class C, class X, class D>
void iirBiquadK(const C* c, int numQuads, D* d, const X* in, D* out, std::size_t n);

// The member triples (taps, samples, delay line and output) of the floating-point filters.
#define KVO_FOR_IIR(X)                           \
  X(float, float, float)                         \
  X(ComplexFloat, ComplexFloat, ComplexFloat)    \
  X(ComplexFloat, float, ComplexFloat)           \
  X(float, ComplexFloat, ComplexFloat)           \
  X(double, double, double)                      \
  X(ComplexDouble, ComplexDouble, ComplexDouble) \
  X(ComplexDouble, double, ComplexDouble) X(double, ComplexDouble, ComplexDouble)

template <class C, class X, class D>
void iirDirect(const C* c, int order, D* d, const X* in, D* out, std::size_t n) {
  KVO_DISPATCH(iirDirectK, C, X, D)(c, order, d, in, out, n);
}
template <class C, class X, class D>
void iirBiquad(const C* c, int numQuads, D* d, const X* in, D* out, std::size_t n) {
  KVO_DISPATCH(iirBiquadK, C, X, D)(c, numQuads, d, in, out, n);
}

}  // namespace kvo::kern
