// Complex FFT kernels and the real-FFT recombination passes.
//
// The kernels run radix-4 stages (with one radix-2 stage when the count is odd) across whole
// vectors of complex values, and the last log2(V) stages, whose butterflies lie inside one vector
// of V complex values, on transposed V x V tiles. Natural order in and out is decimation in
// frequency followed by a pass that does those last stages and the bit-reversal permutation at
// once; bit-reversed output skips the permutation; bit-reversed input runs decimation in time.
// Large transforms recurse depth-first once a stage has cut them into blocks that fit the cache.
//
// Stage twiddles are precomputed per order in a layout that every vector width can load directly
// (see fftBuildTwiddles). Results agree with the exact transform within rounding; different
// instruction-set levels round differently (fused multiply-adds on AVX2 and AVX-512).
#pragma once

#include <cstddef>

#include "kernels/isa.h"

namespace kvo::kern {

enum FftKind : int { kFftNatural = 0, kFftOutBitRev = 1, kFftInBitRev = 2 };

// Twiddle layout, in real values: [0, 16) exp(-2 pi i k/16), k = 0..7, as (re, im); from 16 the
// radix-2 twiddles of spans L = 1, 2, 4, 8 at 16 + 4(L-1); from 80 the radix-4 twiddles of every
// span L = N/4, N/16, ... >= 1 at fftRadix4Offset(L). A twiddle block of span L holds, for each of
// its factors, L pairs (re, re) followed by L pairs (-im, im), so V consecutive pairs form a
// vector.
constexpr std::size_t kFftRadix4Base = 80;
constexpr std::size_t fftRadix2Offset(std::size_t span) { return 16 + 4 * (span - 1); }
constexpr std::size_t fftRadix4Offset(std::size_t span) {
  std::size_t oddPower = 0;  // 1 when span is an odd power of two
  for (std::size_t s = span; s > 1; s /= 4) oddPower = s == 2;
  return kFftRadix4Base + 4 * (span - (oddPower ? 2 : 1));
}
std::size_t fftTwiddleCount(int order);
template <class R>
void fftBuildTwiddles(R* dst, int order);

// N = 2^order complex values (interleaved re, im) from src to dst; dst may equal src. Unscaled in
// both directions; `inverse` uses the conjugate twiddles.
template <Isa I, class R>
void complexFftK(const R* src, R* dst, int order, int kind, bool inverse, const R* twiddles);

// Forward recombination of a real transform of 2M values: z holds Z = FFT(x[2m] + i x[2m+1]) (M
// complex values); pairs (k, M-k), 1 <= k <= M/2, become the spectrum values X[k], X[M-k]. z[0] is
// left alone unless `shifted`, which stores every X[k] one real lower (2k - 1, 2k), as the
// packed format has it, and overwrites the imaginary part of z[0]. `table` is the RealFftTable of
// order log2 M.
template <Isa I, class R>
void realPostK(R* z, std::size_t m, const R* table, bool inverse, bool shifted);
// The reverse: X[k] for k = 1..M-1 at x1 + 2(k-1) become 2Z[k] at z + 2k (x1 may alias z + 2).
template <Isa I, class R>
void realPreK(const R* x1, R* z, std::size_t m, const R* table, bool inverse);

// ---- straight-line transforms of the smallest sizes (fftsmall.inl) ---------------------------
//
// For these sizes a whole transform fits in registers, and the loops, stage set-up and table
// reads of the general kernels would cost more than the arithmetic. They take no tables: their
// twiddles are constants of the code. Every output value is multiplied by `scale` in the inverse
// direction (1 for an unscaled inverse, 1/N for a scaled one; a power of two, so this rounds
// exactly like a separate scaling pass).

// Natural order in and out, orders kFftSmallMinOrder..kFftSmallMaxOrder; dst may equal src.
constexpr int kFftSmallMinOrder = 2;
constexpr int kFftSmallMaxOrder = 6;
template <Isa I, class R>
void complexFftSmallK(const R* src, R* dst, int order, bool inverse, R scale);

// Packed layouts of a real signal's spectrum (see the real FFT functions).
enum RealFormat : int { kRealCcs = 0, kRealPack = 1, kRealPerm = 2 };

// Real transforms of orders kRealSmallMinOrder..kRealSmallMaxOrder: N real values to the packed
// spectrum (`toSpectrum`) or back; dst may equal src.
constexpr int kRealSmallMinOrder = 2;
constexpr int kRealSmallMaxOrder = 7;
template <Isa I, class R>
void realFftSmallK(const R* src, R* dst, int order, bool toSpectrum, int format, bool inverse,
                   R scale);

template <class R>
void complexFftSmall(const R* src, R* dst, int order, bool inverse, R scale) {
  KVO_DISPATCH(complexFftSmallK, R)(src, dst, order, inverse, scale);
}
template <class R>
void realFftSmall(const R* src, R* dst, int order, bool toSpectrum, int format, bool inverse,
                  R scale) {
  KVO_DISPATCH(realFftSmallK, R)(src, dst, order, toSpectrum, format, inverse, scale);
}

template <class R>
void complexFft(const R* src, R* dst, int order, int kind, bool inverse, const R* twiddles) {
  KVO_DISPATCH(complexFftK, R)(src, dst, order, kind, inverse, twiddles);
}
template <class R>
void realPost(R* z, std::size_t m, const R* table, bool inverse, bool shifted) {
  KVO_DISPATCH(realPostK, R)(z, m, table, inverse, shifted);
}
template <class R>
void realPre(const R* x1, R* z, std::size_t m, const R* table, bool inverse) {
  KVO_DISPATCH(realPreK, R)(x1, z, m, table, inverse);
}

}  // namespace kvo::kern
