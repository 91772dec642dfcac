// Wavelet filter passes for one instruction-set level; included by wavelet_<level>.cpp after
// KVO_ISA is defined. See wavelet.h for the scheme and isa.h for the rules these files follow.
#include <cstddef>
#include <cstring>
#include <type_traits>
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

// Lanes s of (a, b) interleaved: the first (kHalf 0) or second half of a0 b0 a1 b1 ...
constexpr int zipLane(int s, int lanes, int half) {
  return (s % 2) * lanes + half * lanes / 2 + s / 2;
}
template <int kHalf, class V, std::size_t... S>
KVO_KERNEL_INLINE V zipVec(V a, V b, std::index_sequence<S...>) {
  return __builtin_shufflevector(a, b, zipLane(S, sizeof...(S), kHalf)...);
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

// Two output sequences from shared loads: each entry is one source, a position `offset` in one of
// two input sequences, with the coefficient of each output that takes it (bit o of `use` for
// output o). Entries are listed so that every output meets its taps in tap order, so the sums are
// those of the separate runs. bind() points the entries at the sequences' current arrays.
template <class R>
struct PairTaps {
  const R* src[kMaxTaps];
  R c[2][kMaxTaps];
  unsigned char use[kMaxTaps];
  unsigned char seq[kMaxTaps];
  std::ptrdiff_t offset[kMaxTaps];
  int count = 0;
  // False when the list is full.
  bool add(int sequence, std::ptrdiff_t at, int out, R v) {
    const int bit = 1 << out;
    const int last = count - 1;
    if (count > 0 && seq[last] == sequence && offset[last] == at && (use[last] & bit) == 0) {
      c[out][last] = v;
      use[last] = static_cast<unsigned char>(use[last] | bit);
      return true;
    }
    if (count == kMaxTaps) return false;
    seq[count] = static_cast<unsigned char>(sequence);
    offset[count] = at;
    c[out][count] = v;
    c[1 - out][count] = 0;
    use[count++] = static_cast<unsigned char>(bit);
    return true;
  }
  void bind(const R* first, const R* second) {
    for (int e = 0; e < count; ++e) src[e] = (seq[e] == 0 ? first : second) + offset[e];
  }
};

// kV vectors of both outputs from k on (kV = 0: one value of each), summed from 0.
template <class R, std::size_t kV>
struct PairSums {
  static constexpr std::size_t L = kV == 0 ? 1 : Vec<R>::kLanes;
  static constexpr std::size_t kCount = kV == 0 ? 1 : kV;
  using V = std::conditional_t<kV == 0, R, typename Vec<R>::T>;
  V a[2][kCount];

  static V load(const R* p) {
    if constexpr (kV == 0) {
      return *p;
    } else {
      return loadVec(p);
    }
  }
  __attribute__((always_inline)) void sum(const PairTaps<R>& t, std::size_t k) {
    for (std::size_t v = 0; v < kCount; ++v) a[0][v] = a[1][v] = V{} * R(0);
    for (int e = 0; e < t.count; ++e) {
      const R* s = t.src[e] + k;
      const R c0 = t.c[0][e], c1 = t.c[1][e];
      switch (t.use[e]) {
        case 1:
          for (std::size_t v = 0; v < kCount; ++v) a[0][v] += c0 * load(s + v * L);
          break;
        case 2:
          for (std::size_t v = 0; v < kCount; ++v) a[1][v] += c1 * load(s + v * L);
          break;
        default:
          for (std::size_t v = 0; v < kCount; ++v) {
            const V x = load(s + v * L);
            a[0][v] += c0 * x;
            a[1][v] += c1 * x;
          }
      }
    }
  }
};

// Both output sequences of n values: out0/out1 as separate arrays, or interleaved into y
// (y[2q] from the first, y[2q + 1] from the second).
template <class R, std::size_t kV, bool kInterleave>
KVO_KERNEL_INLINE void storePair(const PairSums<R, kV>& p, std::size_t k, R* out0, R* out1) {
  constexpr std::size_t L = PairSums<R, kV>::L, W = L * PairSums<R, kV>::kCount;
  if constexpr (!kInterleave) {
    std::memcpy(out0 + k, p.a[0], W * sizeof(R));
    std::memcpy(out1 + k, p.a[1], W * sizeof(R));
  } else if constexpr (kV == 0) {
    out0[2 * k] = p.a[0][0];
    out0[2 * k + 1] = p.a[1][0];
  } else {
    for (std::size_t v = 0; v < kV; ++v) {
      const auto lo = zipVec<0>(p.a[0][v], p.a[1][v], std::make_index_sequence<L>{});
      const auto hi = zipVec<1>(p.a[0][v], p.a[1][v], std::make_index_sequence<L>{});
      std::memcpy(out0 + 2 * (k + v * L), &lo, sizeof lo);
      std::memcpy(out0 + 2 * (k + v * L) + L, &hi, sizeof hi);
    }
  }
}

template <class R, bool kInterleave>
void runPair(const PairTaps<R>& t, std::size_t n, R* out0, R* out1) {
  constexpr std::size_t L = Vec<R>::kLanes, kBlock = 4;
  std::size_t k = 0;
  for (; k + kBlock * L <= n; k += kBlock * L) {
    PairSums<R, kBlock> p;
    p.sum(t, k);
    storePair<R, kBlock, kInterleave>(p, k, out0, out1);
  }
  for (; k + L <= n; k += L) {
    PairSums<R, 1> p;
    p.sum(t, k);
    storePair<R, 1, kInterleave>(p, k, out0, out1);
  }
  for (; k < n; ++k) {
    PairSums<R, 0> p;
    p.sum(t, k);
    storePair<R, 0, kInterleave>(p, k, out0, out1);
  }
}

// Outputs per chunk of a pass whose input lies apart from its outputs: the chunk's extension stays
// in the first-level cache between its copy and the sums.
constexpr std::size_t kChunk = 512;

// The chunk length: all `count` outputs at once, or when `apart` a power of two (count is one)
// of at most kChunk whose scratch (`perOutput` values per output plus `extra`) fits the pad.
std::size_t chunkOf(std::size_t count, bool apart, std::size_t padLength, std::size_t perOutput,
                    std::size_t extra) {
  if (!apart) return count;
  std::size_t c = count < kChunk ? count : kChunk;
  while (c > 1 && perOutput * c + extra > padLength) c /= 2;
  return c;
}

}  // namespace

template <Isa I, class R>
void wtAnalysisK(const R* x, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                 std::size_t padLength, bool apart, R* a, R* d) {
  const std::size_t p = static_cast<std::size_t>(lo.length > hi.length ? lo.length : hi.length);
  const std::size_t chunk = chunkOf(n / 2, apart, padLength, 2, 2 * p);
  R* phase[2] = {pad, pad + chunk + p};  // even and odd positions of the chunk's extension
  // Position t of the extension of the chunk from output k0 is x[(2 k0 + t - p) mod n]; output k
  // of the chunk takes x[2k + offset - j] at t = 2k + p + offset - j (> 0).
  auto at = [&](int t) { return phase[t & 1] + (t >> 1); };
  // Both filters in one pass when their taps fit one list: the positions from the highest down,
  // so each filter meets its taps in order, and a position both use is loaded once.
  const int top = static_cast<int>(p) + (lo.offset > hi.offset ? lo.offset : hi.offset);
  PairTaps<R> both;
  bool fits = true;
  for (int t = top; t > 0 && fits; --t) {
    for (int o = 0; o < 2 && fits; ++o) {
      const WtFilter<R>& f = o == 0 ? lo : hi;
      const int j = static_cast<int>(p) + f.offset - t;
      if (j >= 0 && j < f.length) fits = both.add(t & 1, t >> 1, o, f.taps[j]);
    }
  }
  both.bind(phase[0], phase[1]);
  for (std::size_t k0 = 0; k0 < n / 2; k0 += chunk) {
    const std::size_t before = (p % n + n - 2 * k0 % n) % n;
    extend(x, n, before, 2 * chunk + 2 * p, [&](std::size_t i, const R* src, std::size_t length) {
      splitPhases(phase[0], phase[1], i, src, length);
    });
    if (fits) {
      runPair<R, false>(both, chunk, a + k0, d + k0);
      continue;
    }
    for (const auto& [f, out] : {std::pair{lo, a + k0}, std::pair{hi, d + k0}}) {
      auto src = [&, f = f](int j) { return at(static_cast<int>(p) + f.offset - j); };
      R* o = out;
      filterRun(f.length, 0, 1, chunk, src, f.taps,
                [&](std::size_t k, const R* acc, std::size_t w, bool add) {
                  for (std::size_t i = 0; i < w; ++i) o[k + i] = add ? o[k + i] + acc[i] : acc[i];
                });
    }
  }
}

template <Isa I, class R>
void wtSynthesisK(const R* a, const R* d, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                  std::size_t padLength, bool apart, R* y) {
  const std::size_t len = static_cast<std::size_t>(lo.length > hi.length ? lo.length : hi.length);
  const std::size_t before = (len - 1) / 2;
  const std::size_t chunk = chunkOf(n, apart, padLength, 2, 2 * (len - 1));
  const std::size_t m = chunk + len - 1;
  // Position i of the extension of sequence s for the chunk from q0 is v[(q0 + i - before) mod n].
  R* ext[2] = {pad, pad + m};
  // Both phases of the output in one pass when the taps fit one list: of each filter the shifts
  // from the highest down (so each phase meets its taps in order), the low-pass filter first.
  PairTaps<R> both;
  bool fits = true;
  for (int s = 0; s < 2 && fits; ++s) {
    const WtFilter<R>& f = s == 0 ? lo : hi;
    for (int shift = (f.offset + 1) / 2; shift >= -f.length / 2 && fits; --shift) {
      for (int r = 0; r < 2 && fits; ++r) {
        const int j = r + f.offset - 2 * shift;
        if (j >= 0 && j < f.length) {
          fits = both.add(s, static_cast<std::ptrdiff_t>(before) + shift, r, f.taps[j]);
        }
      }
    }
  }
  for (std::size_t q0 = 0; q0 < n; q0 += chunk) {
    R* out = y + 2 * q0;
    if (fits && apart && q0 >= before && q0 - before + m <= n) {
      // The chunk's extension lies inside a and d as they are.
      both.bind(a + (q0 - before), d + (q0 - before));
      runPair<R, true>(both, chunk, out, nullptr);
      continue;
    }
    for (int s = 0; s < 2; ++s) {
      extend(s == 0 ? a : d, n, (before % n + n - q0 % n) % n, m,
             [&](std::size_t i, const R* src, std::size_t length) {
               std::memcpy(ext[s] + i, src, length * sizeof(R));
             });
    }
    if (fits) {
      both.bind(ext[0], ext[1]);
      runPair<R, true>(both, chunk, out, nullptr);
      continue;
    }
    for (int r = 0; r < 2; ++r) {
      // Output 2q + r takes, of each filter, the taps j of the parity of r + offset, from its
      // sequence at q + (r + offset - j) / 2: the low-pass taps first, then the high-pass ones
      // (long caller filters in parts, added to what is stored).
      for (int s = 0; s < 2; ++s) {
        const WtFilter<R>& f = s == 0 ? lo : hi;
        auto src = [&, f = f](int j) {
          const std::ptrdiff_t shift = (r + f.offset - j) / 2;
          return ext[s] + static_cast<std::ptrdiff_t>(before) + shift;
        };
        filterRun(f.length, (r + f.offset) & 1, 2, chunk, src, f.taps,
                  [&](std::size_t q, const R* acc, std::size_t w, bool add) {
                    for (std::size_t i = 0; i < w; ++i) {
                      R& o = out[2 * (q + i) + r];
                      o = add || s == 1 ? o + acc[i] : acc[i];
                    }
                  });
      }
    }
  }
}

#define KVO_INSTANTIATE_WT(R)                                                                \
  template void wtAnalysisK<KVO_ISA, R>(const R*, std::size_t, WtFilter<R>, WtFilter<R>, R*, \
                                        std::size_t, bool, R*, R*);                          \
  template void wtSynthesisK<KVO_ISA, R>(const R*, const R*, std::size_t, WtFilter<R>,       \
                                         WtFilter<R>, R*, std::size_t, bool, R*);
KVO_INSTANTIATE_WT(float)
KVO_INSTANTIATE_WT(double)
#undef KVO_INSTANTIATE_WT

}  // namespace kvo::kern
