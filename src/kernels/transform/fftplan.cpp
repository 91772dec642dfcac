// The stage twiddles of the vector FFT kernels (layout in fft.h).
//
// Each value is computed from its exact angle as a fraction of the circle in extended precision,
// so the kernels' twiddles are correctly rounded, whatever the transform size.
#include <cmath>
#include <cstdint>

#include "kernels/transform/fft.h"

namespace kvo::kern {
namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;

// exp(-2 pi i num/den) for 0 <= num < den.
template <class R>
void root(std::uint64_t num, std::uint64_t den, R& re, R& im) {
  const long double angle = kTwoPi * static_cast<long double>(num) / static_cast<long double>(den);
  re = static_cast<R>(std::cos(angle));
  im = static_cast<R>(-std::sin(angle));
}

// L factors exp(-2 pi i q j/(4L))... as (re, re) pairs then (-im, im) pairs.
template <class R>
void splitBlock(R* dst, std::size_t span, std::uint64_t factor, std::uint64_t den) {
  for (std::size_t j = 0; j < span; ++j) {
    R re, im;
    root((factor * j) % den, den, re, im);
    dst[2 * j] = re;
    dst[2 * j + 1] = re;
    dst[2 * span + 2 * j] = -im;
    dst[2 * span + 2 * j + 1] = im;
  }
}

}  // namespace

std::size_t fftTwiddleCount(int order) {
  if (order < 2) return kFftRadix4Base;
  const std::size_t top = std::size_t{1} << (order - 2);
  return fftRadix4Offset(top) + 12 * top;
}

template <class R>
void fftBuildTwiddles(R* dst, int order) {
  for (std::uint64_t k = 0; k < 8; ++k) root(k, 16, dst[2 * k], dst[2 * k + 1]);
  for (std::size_t span = 1; span <= 8; span *= 2) {
    splitBlock(dst + fftRadix2Offset(span), span, 1, 2 * span);
  }
  if (order < 2) return;
  for (std::size_t span = std::size_t{1} << (order - 2);; span /= 4) {
    R* block = dst + fftRadix4Offset(span);
    for (std::uint64_t q = 1; q <= 3; ++q)
      splitBlock(block + 4 * span * (q - 1), span, q, 4 * span);
    if (span < 4) break;
  }
}

template void fftBuildTwiddles<float>(float*, int);
template void fftBuildTwiddles<double>(double*, int);

}  // namespace kvo::kern
