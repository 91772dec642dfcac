// Wavelet filter passes for one instruction-set level; included by wavelet_<level>.cpp after
// KVO_ISA is defined. See wavelet.h for the scheme and isa.h for the rules these files follow.
#include <cstddef>
#include <utility>

#include "kernels/transform/wavelet.h"

namespace kvo::kern {
namespace {

// Outputs per block: the block's sums stay in the first-level cache while the taps run over it.
constexpr std::size_t kBlock = 512;

// dst[i] = v[(i - before) mod n], i < count: the periodic extension of v (n values).
template <class R, class Store>
void extend(const R* v, std::size_t n, std::size_t before, std::size_t count, Store store) {
  std::size_t idx = (n - before % n) % n;
  for (std::size_t i = 0; i < count; ++i) {
    store(i, v[idx]);
    if (++idx == n) idx = 0;
  }
}

// out[k] += c * src[k], k < count, for each tap of f in order.
template <class R>
KVO_KERNEL_INLINE void accumulate(R* out, const R* src, R c, std::size_t count) {
  KVO_IVDEP
  for (std::size_t k = 0; k < count; ++k) out[k] += c * src[k];
}

}  // namespace

template <Isa I, class R>
void wtAnalysisK(const R* x, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad, R* a, R* d) {
  const std::size_t p = static_cast<std::size_t>(lo.length > hi.length ? lo.length : hi.length);
  const std::size_t half = (n + 2 * p) / 2;
  R* phase[2] = {pad, pad + half};  // even and odd positions of the extension
  extend(x, n, p, n + 2 * p, [&](std::size_t i, R v) { phase[i & 1][i >> 1] = v; });
  const std::size_t h = n / 2;
  for (const auto& [f, out] : {std::pair{lo, a}, std::pair{hi, d}}) {
    for (std::size_t k0 = 0; k0 < h; k0 += kBlock) {
      const std::size_t count = h - k0 < kBlock ? h - k0 : kBlock;
      R* o = out + k0;
      for (std::size_t k = 0; k < count; ++k) o[k] = 0;
      for (int j = 0; j < f.length; ++j) {
        // x[2k + offset - j] is the extension at 2k + t, t = p + offset - j > 0.
        const std::size_t t = p + static_cast<std::size_t>(f.offset) - static_cast<std::size_t>(j);
        accumulate(o, phase[t & 1] + (t >> 1) + k0, f.taps[j], count);
      }
    }
  }
}

template <Isa I, class R>
void wtSynthesisK(const R* a, const R* d, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                  R* y) {
  const std::size_t len = static_cast<std::size_t>(lo.length > hi.length ? lo.length : hi.length);
  const std::size_t before = (len - 1) / 2, m = n + len - 1;
  R* ext[2] = {pad, pad + m};
  extend(a, n, before, m, [&](std::size_t i, R v) { ext[0][i] = v; });
  extend(d, n, before, m, [&](std::size_t i, R v) { ext[1][i] = v; });
  const WtFilter<R> filters[2] = {lo, hi};
  alignas(64) R sums[2][kBlock];  // outputs 2q and 2q + 1 of the block
  for (std::size_t q0 = 0; q0 < n; q0 += kBlock) {
    const std::size_t count = n - q0 < kBlock ? n - q0 : kBlock;
    for (int r = 0; r < 2; ++r) {
      for (std::size_t q = 0; q < count; ++q) sums[r][q] = 0;
      for (int s = 0; s < 2; ++s) {
        const WtFilter<R>& f = filters[s];
        // Output 2q + r takes the taps j of the parity of r + offset, from the sequence at
        // q + (r + offset - j) / 2.
        for (int j = (r + f.offset) & 1; j < f.length; j += 2) {
          const std::ptrdiff_t shift = (r + f.offset - j) / 2;
          const R* src = ext[s] + static_cast<std::ptrdiff_t>(before + q0) + shift;
          accumulate(sums[r], src, f.taps[j], count);
        }
      }
    }
    R* out = y + 2 * q0;
    for (std::size_t q = 0; q < count; ++q) {
      out[2 * q] = sums[0][q];
      out[2 * q + 1] = sums[1][q];
    }
  }
}

#define KVO_INSTANTIATE_WT(R)                                                                    \
  template void wtAnalysisK<KVO_ISA, R>(const R*, std::size_t, WtFilter<R>, WtFilter<R>, R*, R*, \
                                        R*);                                                     \
  template void wtSynthesisK<KVO_ISA, R>(const R*, const R*, std::size_t, WtFilter<R>,           \
                                         WtFilter<R>, R*, R*);
KVO_INSTANTIATE_WT(float)
KVO_INSTANTIATE_WT(double)
#undef KVO_INSTANTIATE_WT

}  // namespace kvo::kern
