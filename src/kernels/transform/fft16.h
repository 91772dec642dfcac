// Kernels of the 16-bit FFTs: one radix-4 decimation-in-frequency transform written once over two
// arithmetics, and the passes that turn complex transforms into real and two-signal ones.
//
// The arithmetic is chosen by the element type:
// - std::int32_t (the integer core): additions wrap in 32 bits; a twiddle product is the exact
//   floor((x.re * c0 + x.im * c1) / 2^14) of each paired multiply-add, which is what multiplying
//   the high and the low 16 bits of x separately and recombining gives.
// - std::int16_t (the fast core): additions saturate to 16 bits; a twiddle product is the 32-bit
//   paired multiply-add shifted right by 14 and packed with saturation.
//
// Twiddles are Q14 entries of four values (a, b, -b, a), a = trunc(16384 cos(2 pi k/N)),
// b = trunc(16384 sin(2 pi k/N)), so that (re, im) times the entry's halves gives
// (re, im) * exp(-2 pi i k/N). A table of K entries serves every N dividing K with a stride K/N.
//
// Every level (SSE2, AVX2, AVX-512) gives the same bits: the vector paths compute the same
// integer expressions as the scalar definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/isa.h"

namespace kvo::kern {

// Truncated Q14 roots of unity of order 10 (1024 entries of four values), built into the library:
// the fast core's twiddles for every length up to 1024.
const std::int16_t* fft16FastTable();

// Stage twiddles: the same entries rearranged so that each radix-4 stage reads its twiddles as
// whole vectors. The stage of span L (groups of 4L values) finds at 6 (L - 1) three blocks, for the
// powers p = 1, 2, 3, each of L (a, b) pairs followed by the L (-b, a) pairs of the entries of
// w^(p j), j = 0 .. L - 1, w = exp(-2 pi i / 4L), one 32-bit unit per pair. A span's twiddles do
// not depend on the transform length, so one table serves every order up to its own.
// fft16StageCount(order) units hold the stages of transforms up to 2^order values;
// fft16StageFill writes them from a table of entries of that order with stride `stride`.
std::size_t fft16StageCount(int order);
void fft16StageFill(const std::int16_t* tw, std::size_t stride, int order, std::uint32_t* out);
// The stage twiddles of the fast core's built-in table (every span up to 256).
const std::uint32_t* fft16FastStages();

// In place, natural order in, bit-reversed order out: N = 2^order complex values (re, im pairs)
// transformed forward; `inverse` conjugates before and after. `stages` are the stage twiddles
// (see fft16StageFill) of a table covering the order.
template <Isa I, class T>
void fft16CoreK(T* z, int order, const std::uint32_t* stages, bool inverse);

// The same transform with the result in natural order in `out` (not overlapping z); z is left
// undefined. Some levels fuse the last stages with the reordering.
template <Isa I, class T>
void fft16NaturalK(T* z, T* out, int order, const std::uint32_t* stages, bool inverse);

// dst[i] = src[bitreverse(i)] for the N = 2^order units of src (whole complex values: 32 bits for
// 16-bit components, 64 for 32-bit ones); src and dst do not overlap.
template <Isa I, class U>
void fft16PermuteK(const U* src, U* dst, int order);

// Real-signal recombination in place: z holds Z = FFT of the signal as M complex values in natural
// order and room for M + 1; afterwards it holds the M + 1 values of the CCS spectrum. `tw` are the
// twiddles of length N = 2M (entry k at tw + 4 k stride), and `stages` its stage twiddles; the
// inverse direction takes them descending.
template <Isa I, class T>
void fft16PostK(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride,
                const std::uint32_t* stages, bool inverse);
// The reverse: the M + 1 CCS values in z become the M values 2Z of the half-length transform.
template <Isa I, class T>
void fft16PreK(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride, bool inverse);

// Two real signals x, y packed as z = x + iy (N complex values, natural order): the CCS spectra X
// and Y (N/2 + 1 complex values each) by the two-for-one separation, each half an arithmetic
// shift; and the reverse merge Z[k] = X[k] + i Y[k] over the whole length.
template <Isa I, class T>
void fft16SplitK(const T* z, T* x, T* y, std::size_t n);
template <Isa I, class T>
void fft16MergeK(const T* x, const T* y, T* z, std::size_t n);

// 16-bit values v into the integer core's 32-bit values v * 64.
template <Isa I>
void fft16WidenK(const std::int16_t* src, std::int32_t* dst, std::size_t n);

// The integer core's final shift by s (right for s > 0, left for s < 0): with `autoScale` in place
// (negative values above -2^s become 0; the caller then applies the automatic 16-bit scaling),
// otherwise into dst with saturation.
template <Isa I>
void fft16FinishWideK(std::int32_t* v, std::size_t n, int s, bool autoScale, std::int16_t* dst);
// The fast core's final shift of 16-bit values in place, without saturation.
template <Isa I>
void fft16FinishFastK(std::int16_t* v, std::size_t n, int s);

template <class T>
void fft16Core(T* z, int order, const std::uint32_t* stages, bool inverse) {
  KVO_DISPATCH(fft16CoreK, T)(z, order, stages, inverse);
}
template <class T>
void fft16Natural(T* z, T* out, int order, const std::uint32_t* stages, bool inverse) {
  KVO_DISPATCH(fft16NaturalK, T)(z, out, order, stages, inverse);
}
// The bit-reversal permutation of N = 2^order complex values of T from src into dst.
template <class T>
void fft16Permute(const T* src, T* dst, int order) {
  using U = std::conditional_t<sizeof(T) == 2, std::uint32_t, std::uint64_t>;
  KVO_DISPATCH(fft16PermuteK, U)(reinterpret_cast<const U*>(src), reinterpret_cast<U*>(dst), order);
}
template <class T>
void fft16Post(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride,
               const std::uint32_t* stages, bool inverse) {
  KVO_DISPATCH(fft16PostK, T)(z, m, tw, stride, stages, inverse);
}
template <class T>
void fft16Pre(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride, bool inverse) {
  KVO_DISPATCH(fft16PreK, T)(z, m, tw, stride, inverse);
}
template <class T>
void fft16Split(const T* z, T* x, T* y, std::size_t n) {
  KVO_DISPATCH(fft16SplitK, T)(z, x, y, n);
}
template <class T>
void fft16Merge(const T* x, const T* y, T* z, std::size_t n) {
  KVO_DISPATCH(fft16MergeK, T)(x, y, z, n);
}
inline void fft16Widen(const std::int16_t* src, std::int32_t* dst, std::size_t n) {
  KVO_DISPATCH(fft16WidenK)(src, dst, n);
}
inline void fft16FinishWide(std::int32_t* v, std::size_t n, int s, bool autoScale,
                            std::int16_t* dst) {
  KVO_DISPATCH(fft16FinishWideK)(v, n, s, autoScale, dst);
}
inline void fft16FinishFast(std::int16_t* v, std::size_t n, int s) {
  KVO_DISPATCH(fft16FinishFastK)(v, n, s);
}

}  // namespace kvo::kern
