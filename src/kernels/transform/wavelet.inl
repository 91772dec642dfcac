// Wavelet filter passes for one instruction-set level; included by wavelet_<level>.cpp after
// KVO_ISA is defined. See wavelet.h for the scheme and isa.h for the rules these files follow.
#include <cstddef>
#include <cstring>
#include <utility>

#include "kernels/transform/wavelet.h"

namespace kvo::kern {
namespace {

// The vector width of the level; each block sums several vectors of outputs in registers.
#if defined(__AVX512F__)
constexpr std::size_t kVecBytes = 64;
#elif defined(__AVX2__)
constexpr std::size_t kVecBytes = 32;
#else
constexpr std::size_t kVecBytes = 16;
#endif
template <class R>
struct Vec {
  typedef R T __attribute__((vector_size(kVecBytes)));
  static constexpr std::size_t kLanes = kVecBytes / sizeof(R);
};
template <class R>
KVO_KERNEL_INLINE typename Vec<R>::T loadVec(const R* p) {
  typename Vec<R>::T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The periodic extension e[i] = v[(i - before) mod n], i < count, of v (n values), handed out as
// runs of consecutive values: run(i, source, length) for e[i .. i + length).
template <class R, class Run>
void extend(const R* v, std::size_t n, std::size_t before, std::size_t count, Run run) {
  std::size_t idx = (n - before % n) % n;
  for (std::size_t i = 0; i < count; idx = 0) {
    const std::size_t length = n - idx < count - i ? n - idx : count - i;
    run(i, v + idx, length);
    i += length;
  }
}

// e[i .. i + length) = src into its even and odd phases.
template <class R>
void splitPhases(R* even, R* odd, std::size_t i, const R* src, std::size_t length) {
  std::size_t t = 0;
  if (i & 1) {
    odd[i >> 1] = src[0];
    t = 1;
  }
  const std::size_t base = (i + t) >> 1;  // i + t is even
  const std::size_t pairs = (length - t) / 2;
  for (std::size_t k = 0; k < pairs; ++k) {
    even[base + k] = src[t + 2 * k];
    odd[base + k] = src[t + 2 * k + 1];
  }
  if ((length - t) & 1) even[base + pairs] = src[length - 1];
}

// Up to kMaxTaps taps of one output sequence: out[k] = sum over taps of c[t] * src[t][k], summed
// from 0 in tap order.
constexpr int kMaxTaps = 64;
template <class R>
struct Taps {
  const R* src[kMaxTaps];
  R c[kMaxTaps];
  int count = 0;
  void add(const R* s, R v) {
    src[count] = s;
    c[count++] = v;
  }
};

// Sums of the outputs from k on: one, or kVectors vectors' worth in registers.
template <class R>
KVO_KERNEL_INLINE void sumOne(const Taps<R>& t, std::size_t k, R* acc) {
  R sum = 0;
  for (int j = 0; j < t.count; ++j) sum += t.c[j] * t.src[j][k];
  acc[0] = sum;
}
// Independent sums per block: enough to hide the latency of the vector additions.
constexpr std::size_t kVectors = 8;
template <class R>
KVO_KERNEL_INLINE void sumVectors(const Taps<R>& t, std::size_t k, R* acc) {
  using V = typename Vec<R>::T;
  constexpr std::size_t L = Vec<R>::kLanes;
  V a[kVectors];
  for (V& v : a) v = V{} * R(0);
  for (int j = 0; j < t.count; ++j) {
    const R* s = t.src[j] + k;
    const R c = t.c[j];
    for (std::size_t v = 0; v < kVectors; ++v) a[v] += c * loadVec(s + v * L);
  }
  std::memcpy(acc, a, sizeof a);
}

// One output sequence of n values; the scalar tail sums in the same order.
template <class R, class Store>
void run(const Taps<R>& t, std::size_t n, Store store) {
  constexpr std::size_t W = kVectors * Vec<R>::kLanes;
  std::size_t k = 0;
  for (; k + W <= n; k += W) {
    alignas(64) R acc[W];
    sumVectors(t, k, acc);
    store(k, acc, W);
  }
  for (; k < n; ++k) {
    R acc[1];
    sumOne(t, k, acc);
    store(k, acc, 1);
  }
}

// Filters longer than a Taps list take it in parts, adding to the stored sums in tap order.
template <class R, class Src, class Store>
void filterRun(int length, int first, int step, std::size_t n, Src src, const R* coeff,
               Store store) {
  bool added = false;
  for (int j0 = first; j0 < length; j0 += step * kMaxTaps) {
    Taps<R> t;
    for (int j = j0; j < length && t.count < kMaxTaps; j += step) t.add(src(j), coeff[j]);
    run(t, n, [&](std::size_t k, const R* acc, std::size_t w) { store(k, acc, w, added); });
    added = true;
  }
}

}  // namespace

template <Isa I, class R>
void wtAnalysisK(const R* x, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad, R* a, R* d) {
  const std::size_t p = static_cast<std::size_t>(lo.length > hi.length ? lo.length : hi.length);
  const std::size_t half = (n + 2 * p) / 2;
  R* phase[2] = {pad, pad + half};  // even and odd positions of the extension
  extend(x, n, p, n + 2 * p, [&](std::size_t i, const R* src, std::size_t length) {
    splitPhases(phase[0], phase[1], i, src, length);
  });
  for (const auto& [f, out] : {std::pair{lo, a}, std::pair{hi, d}}) {
    // x[2k + offset - j] is the extension at 2k + t, t = p + offset - j > 0.
    auto src = [&, f = f](int j) {
      const std::size_t t = p + static_cast<std::size_t>(f.offset) - static_cast<std::size_t>(j);
      return phase[t & 1] + (t >> 1);
    };
    R* o = out;
    filterRun(f.length, 0, 1, n / 2, src, f.taps,
              [&](std::size_t k, const R* acc, std::size_t w, bool add) {
                for (std::size_t i = 0; i < w; ++i) o[k + i] = add ? o[k + i] + acc[i] : acc[i];
              });
  }
}

template <Isa I, class R>
void wtSynthesisK(const R* a, const R* d, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                  R* y) {
  const std::size_t len = static_cast<std::size_t>(lo.length > hi.length ? lo.length : hi.length);
  const std::size_t before = (len - 1) / 2, m = n + len - 1;
  R* ext[2] = {pad, pad + m};
  for (int s = 0; s < 2; ++s) {
    extend(s == 0 ? a : d, n, before, m, [&](std::size_t i, const R* src, std::size_t length) {
      std::memcpy(ext[s] + i, src, length * sizeof(R));
    });
  }
  for (int r = 0; r < 2; ++r) {
    // Output 2q + r takes, of each filter, the taps j of the parity of r + offset, from its
    // sequence at q + (r + offset - j) / 2: the low-pass taps first, then the high-pass ones.
    Taps<R> t;
    bool fits = true;
    for (int s = 0; s < 2; ++s) {
      const WtFilter<R>& f = s == 0 ? lo : hi;
      for (int j = (r + f.offset) & 1; j < f.length; j += 2) {
        if (t.count == kMaxTaps) {
          fits = false;
          break;
        }
        const std::ptrdiff_t shift = (r + f.offset - j) / 2;
        t.add(ext[s] + static_cast<std::ptrdiff_t>(before) + shift, f.taps[j]);
      }
    }
    if (fits) {
      run(t, n, [&](std::size_t q, const R* acc, std::size_t w) {
        for (std::size_t i = 0; i < w; ++i) y[2 * (q + i) + r] = acc[i];
      });
      continue;
    }
    // Long caller filters: the low-pass taps, then the high-pass ones added.
    for (int s = 0; s < 2; ++s) {
      const WtFilter<R>& f = s == 0 ? lo : hi;
      auto src = [&, f = f](int j) {
        const std::ptrdiff_t shift = (r + f.offset - j) / 2;
        return ext[s] + static_cast<std::ptrdiff_t>(before) + shift;
      };
      filterRun(f.length, (r + f.offset) & 1, 2, n, src, f.taps,
                [&](std::size_t q, const R* acc, std::size_t w, bool add) {
                  for (std::size_t i = 0; i < w; ++i) {
                    R& out = y[2 * (q + i) + r];
                    out = add || s == 1 ? out + acc[i] : acc[i];
                  }
                });
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
