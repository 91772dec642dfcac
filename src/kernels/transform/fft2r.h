// Convolution of small real tiles by two-dimensional transforms whose every pass runs on whole
// vectors: the overlap tiles of Conv2D.
//
// A tile of Pr x Pc real values (powers of two, Pr >= 2) is transformed along its columns first:
// its row pairs (2m, 2m + 1) are the real and imaginary parts of Pr / 2 complex rows, whose
// transform down the columns (Pc at once, one twiddle per butterfly) is split into the Pr / 2 + 1
// frequencies of the real rows by the usual recombination. Each of those rows (its real parts,
// then its imaginary parts) is then transformed along itself: the butterflies of spans of a
// vector or more pair whole vectors, the shorter ones pair lanes by shuffles. The spectrum of a
// tile thus holds Pr / 2 + 1 rows of 2 Pc values, in bit-reversed column order (products are
// element-wise, so the order never needs undoing). The way back runs the same passes in reverse;
// its result is (Pr / 2) Pc times the convolution.
#pragma once

#include <cmath>
#include <cstddef>

#include "kernels/isa.h"

namespace kvo::kern {

// Twiddle tables of a Pr x Pc tile: the Pr / 2 + 1 values exp(-2 pi i k / Pr) (real parts, then
// imaginary parts), followed, for every span s = Pc / 2, Pc / 4, ..., 1 of the row transforms, by
// the s values exp(-2 pi i j / (2 s)) (real parts, then imaginary parts).
inline std::size_t fft2rTableSize(std::size_t pr, std::size_t pc) {
  return 2 * (pr / 2 + 1) + 2 * pc;
}
template <class R>
void fft2rBuildTables(R* t, std::size_t pr, std::size_t pc) {
  constexpr double kTwoPi = 6.283185307179586476925;
  const std::size_t m = pr / 2;
  for (std::size_t k = 0; k <= m; ++k) {
    t[k] = static_cast<R>(std::cos(kTwoPi * double(k) / double(pr)));
    t[m + 1 + k] = static_cast<R>(-std::sin(kTwoPi * double(k) / double(pr)));
  }
  R* row = t + 2 * (m + 1);
  for (std::size_t s = pc / 2; s >= 1; s /= 2) {
    for (std::size_t j = 0; j < s; ++j) {
      row[j] = static_cast<R>(std::cos(kTwoPi * double(j) / double(2 * s)));
      row[s + j] = static_cast<R>(-std::sin(kTwoPi * double(j) / double(2 * s)));
    }
    row += 2 * s;
  }
}
inline std::size_t fft2rSpectrumSize(std::size_t pr, std::size_t pc) {
  return (pr / 2 + 1) * 2 * pc;
}

// The spectrum of `tile` (destroyed), whose rows from `nonzero` on and columns from `nonzeroCols`
// on are zeros, into `spectrum`.
template <Isa I, class R>
void fft2rForwardK(R* tile, std::size_t pr, std::size_t pc, std::size_t nonzero,
                   std::size_t nonzeroCols, const R* tables, R* spectrum);

// The tile's spectrum times `other` (a spectrum of the same size), transformed back into `tile`;
// `spectrum` is the tile's spectrum (destroyed).
template <Isa I, class R>
void fft2rProductK(R* spectrum, const R* other, std::size_t pr, std::size_t pc, const R* tables,
                   R* tile);

template <class R>
void fft2rForward(R* tile, std::size_t pr, std::size_t pc, std::size_t nonzero,
                  std::size_t nonzeroCols, const R* tables, R* spectrum) {
  KVO_DISPATCH(fft2rForwardK, R)(tile, pr, pc, nonzero, nonzeroCols, tables, spectrum);
}
template <class R>
void fft2rProduct(R* spectrum, const R* other, std::size_t pr, std::size_t pc, const R* tables,
                  R* tile) {
  KVO_DISPATCH(fft2rProductK, R)(spectrum, other, pr, pc, tables, tile);
}

}  // namespace kvo::kern
