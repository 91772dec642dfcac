// Complex transforms down the columns of a matrix of interleaved complex values, all columns at
// once: every butterfly combines two whole rows with one twiddle, so the loops run along the rows
// in full vectors and no column is ever gathered. Meant for matrices that fit the cache (the
// small tiles of two-dimensional convolution); each stage is one pass over the matrix.
//
// Forward: decimation in frequency, natural row order in, bit-reversed out. Inverse: decimation
// in time, bit-reversed in, natural out, conjugate twiddles, unscaled. `tw` holds the rows / 2
// twiddles exp(-2 pi i j / rows) as (re, im) pairs.
#pragma once

#include <cstddef>

#include "kernels/isa.h"

namespace kvo::kern {

// data: `rows` (a power of two) rows of `width` complex values, contiguous. Forward only: rows
// from `nonzero` on hold zeros (nonzero <= rows), which spares the first stage's additions.
template <Isa I, class R>
void fftColumnsK(R* data, std::size_t rows, std::size_t width, const R* tw, bool inverse,
                 std::size_t nonzero);

template <class R>
void fftColumns(R* data, std::size_t rows, std::size_t width, const R* tw, bool inverse,
                std::size_t nonzero) {
  KVO_DISPATCH(fftColumnsK, R)(data, rows, width, tw, inverse, nonzero);
}

}  // namespace kvo::kern
