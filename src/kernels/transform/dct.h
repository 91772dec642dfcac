// DCT kernels: the direct method for any length and the recursive fast method for powers of two.
//
// Unnormalised transforms: forward C[k] = sum_n x[n] cos(pi (2n+1) k / (2N)) (type II), inverse
// x[n] = sum_k C[k] cos(pi (2n+1) k / (2N)) (type III); the caller applies the orthonormal factors.
//
// Fast method (N = 2^p >= 2): u[n] = x[n] + x[N-1-n] and w[n] = (x[n] - x[N-1-n]) * sec[n], with
// sec[n] = 0.5/cos((2n+1) pi/(2N)), for n < N/2; the even outputs are the transform of u, and with
// Y the transform of w the odd ones are C[2k+1] = Y[k] + Y[k+1] (C[N-1] = Y[N/2-1]). The inverse
// runs the same steps backwards. The secants of the stage of size N sit at offset N/2 - 2 of one
// table (sizes 4, 8, ..., so the table of the largest size N holds N - 2 values).
//
// The recursion is written once over an arithmetic policy: double (for float and double data), or
// 64-bit fixed point (values with guard bits, secants in Q26) for the 16-bit transform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/isa.h"

namespace kvo::kern {

// Offset of the secants of the stage of size n (n >= 4) in the secant table.
constexpr std::size_t dctSecantOffset(std::size_t n) { return n / 2 - 2; }

// Q26 secants of the 16-bit fast method (the largest, about 20.4 at 64 points, still fits 32 bits).
constexpr int kDctSecantQ = 26;
using DctFixed = std::int64_t;

// Secant type of an arithmetic: std::int32_t (Q26) for DctFixed, double otherwise.
template <class R>
using DctSecant = std::conditional_t<std::is_same_v<R, DctFixed>, std::int32_t, double>;

// Fast method in place on d[0..n); t is scratch of n values. R is double or DctFixed.
template <Isa I, class R>
void dctFastK(R* d, R* t, std::size_t n, const DctSecant<R>* sec, bool inverse);

template <class R>
void dctFast(R* d, R* t, std::size_t n, const DctSecant<R>* sec, bool inverse) {
  KVO_DISPATCH(dctFastK, R)(d, t, n, sec, inverse);
}

// Orthonormal fast method of a power of two n >= 2 from src to dst (which may be the same array),
// in double precision whatever R is: forward scales the outputs by f0 (coefficient 0) and f1, the
// inverse its inputs. `work` is scratch of 2n doubles. Gives the bits of dctFast on the scaled
// data: the lanes only reorder which values are computed together, never the operations.
template <Isa I, class R>
void dctFastOrthoK(const R* src, R* dst, double* work, std::size_t n, const double* sec,
                   bool inverse, double f0, double f1);

template <class R>
void dctFastOrtho(const R* src, R* dst, double* work, std::size_t n, const double* sec,
                  bool inverse, double f0, double f1) {
  KVO_DISPATCH(dctFastOrthoK, R)(src, dst, work, n, sec, inverse, f0, f1);
}

// Direct method from x to out (x may equal out), orthonormal: f0 = 1/sqrt(N) and f1 =
// sqrt(2/N) scale the coefficient 0 and the others (forward: the outputs, inverse: the inputs).
// `cos4n` holds cos(j pi/(2N)), j < 4N; table indices advance by a constant step and wrap at 4N.
// Sums are in double precision. `work` is scratch of n doubles.
template <Isa I, class R>
void dctDirectK(const R* x, R* out, std::size_t n, const double* cos4n, bool inverse, double f0,
                double f1, double* work);

template <class R>
void dctDirect(const R* x, R* out, std::size_t n, const double* cos4n, bool inverse, double f0,
               double f1, double* work) {
  KVO_DISPATCH(dctDirectK, R)(x, out, n, cos4n, inverse, f0, f1, work);
}

}  // namespace kvo::kern
