// Direct DFT of any length: the folded floating-point core and the 16-bit integer core.
//
// Floating-point core. The caller folds its scratch copy y of the input so that for
// 1 <= n < L/2 y[n] holds the half sum (x[n] + x[L-n])/2 and y[L-n] the half difference
// (x[n] - x[L-n])/2; y[0] and, for even L, y[L/2] keep their values. With the twiddle
// W = C + iS = table[(n*k) mod L] the pair contributes 2*(a*C + i*b*S), so one term serves the
// outputs k and L-k at once (they differ only in the sign of S): per output about L/4 complex
// multiply-adds. Table indices advance by k and wrap at L, without multiplications. Products and
// sums are in double precision, in a fixed order, so every instruction-set level gives the same
// bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

// Writes dst[0..L) (dst must not overlap y). x0 is the double sum of the unfolded input (the
// output of index 0); every output is multiplied by `scale` before it is rounded to the element
// type. `inverse` uses the conjugate twiddles.
template <Isa I, class C>
void dftFoldedK(const C* y, C* dst, std::size_t L, const C* table, bool inverse, double x0re,
                double x0im, double scale);

template <class C>
void dftFolded(const C* y, C* dst, std::size_t L, const C* table, bool inverse, double x0re,
               double x0im, double scale) {
  KVO_DISPATCH(dftFoldedK, C)(y, dst, L, table, inverse, x0re, x0im, scale);
}

// 16-bit integer core: the raw 32-bit sums of output k over all n of the paired multiply-add of
// x[n] = (re, im) with the table entry (n*k) mod L, (e0, e1, e2, e3): re*e0 + im*e1 and
// re*e2 + im*e3, wrapping on overflow. `table` points at the direction's half of the
// DftIntTwdTable (four values per entry). `sink(k, re, im)` receives the sums of each k in order.
template <class Sink>
void dftIntSums(const ComplexShort* x, const std::int16_t* table, std::size_t L, Sink sink) {
  for (std::size_t k = 0; k < L; ++k) {
    std::uint32_t re = 0, im = 0;
    std::size_t idx = 0;
    for (std::size_t n = 0; n < L; ++n) {
      const std::int16_t* e = table + 4 * idx;
      const std::int32_t a = x[n].re, b = x[n].im;
      re += static_cast<std::uint32_t>(a * e[0] + b * e[1]);
      im += static_cast<std::uint32_t>(a * e[2] + b * e[3]);
      idx += k;
      if (idx >= L) idx -= L;
    }
    sink(k, static_cast<std::int32_t>(re), static_cast<std::int32_t>(im));
  }
}

}  // namespace kvo::kern
