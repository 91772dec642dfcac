// FFT kernels for one instruction-set level; included by fft_<level>.cpp after KVO_ISA is defined.
// See fft.h for the scheme and isa.h for the rules these files follow.
#include <immintrin.h>

#include <cstddef>
#include <cstring>
#include <utility>

#include "kernels/transform/fft.h"
#include "kernels/transform/fftvec.h"

namespace kvo::kern {
namespace {

template <class R, int W, bool kInv>
struct Fft : CVec<R, W, kInv> {
  using Base = CVec<R, W, kInv>;
  using Base::conj, Base::transpose;
  using Base::kLanes, Base::V, Base::kBits;
  using Base::load, Base::store, Base::splat, Base::swapReIm, Base::cmul, Base::rotate;
  using typename Base::T;
  using typename Base::Tile;
  // Blocks up to this many bytes run all their remaining stages breadth-first.
  static constexpr std::size_t kLeafBytes = 32768;
  // Blocks of at least this many bytes (beyond the level-2 cache) are cut by two stages per pass
  // on the way down rather than one: each pass over them costs a trip to memory.
  static constexpr std::size_t kDeepBytes = std::size_t{1} << 21;

  // ---- vector stages: butterflies across whole vectors --------------------------------------

  // One radix-4 decimation-in-frequency butterfly on x[0..3] (values L apart, l2 = 2L reals),
  // with the twiddles of its span at offset j; the results replace x in the order they are stored.
  KVO_FFT_INLINE static void butterfly4(T* x, const R* tw, std::size_t l2, std::size_t j) {
    const T a0 = x[0] + x[2], a1 = x[0] - x[2], a2 = x[1] + x[3], a3 = rotate(x[1] - x[3]);
    x[0] = a0 + a2;
    x[1] = cmul(a0 - a2, load(tw + 2 * l2 + j), load(tw + 3 * l2 + j));
    x[2] = cmul(a1 + a3, load(tw + j), load(tw + l2 + j));
    x[3] = cmul(a1 - a3, load(tw + 4 * l2 + j), load(tw + 5 * l2 + j));
  }
  // One radix-4 decimation-in-frequency group of 4L values.
  static void dif4(const R* s, R* d, std::size_t span, const R* tw) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      T x[4];
      for (int q = 0; q < 4; ++q) x[q] = load(s + j + q * l2);
      butterfly4(x, tw, l2, j);
      for (int q = 0; q < 4; ++q) store(d + j + q * l2, x[q]);
    }
  }
  // Two radix-4 stages at once on a group of 16L values (spans 4L and L, twiddles tw4 and tw1):
  // one pass over the data instead of two.
  static void dif16(const R* s, R* d, std::size_t span, const R* tw4, const R* tw1) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      T x[4][4];  // x[p][q] is the value at j + (p + 4q) L
      for (int p = 0; p < 4; ++p) {
        for (int q = 0; q < 4; ++q) x[p][q] = load(s + j + (p + 4 * q) * l2);
        butterfly4(x[p], tw4, 4 * l2, j + p * l2);
      }
      for (int q = 0; q < 4; ++q) {
        T y[4] = {x[0][q], x[1][q], x[2][q], x[3][q]};
        butterfly4(y, tw1, l2, j);
        for (int r = 0; r < 4; ++r) store(d + j + (r + 4 * q) * l2, y[r]);
      }
    }
  }
  // One radix-4 decimation-in-time group of 4L values.
  static void dit4(R* d, std::size_t span, const R* tw) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      const T x0 = load(d + j);
      const T b1 = cmul(load(d + j + l2), load(tw + 2 * l2 + j), load(tw + 3 * l2 + j));
      const T b2 = cmul(load(d + j + 2 * l2), load(tw + j), load(tw + l2 + j));
      const T b3 = cmul(load(d + j + 3 * l2), load(tw + 4 * l2 + j), load(tw + 5 * l2 + j));
      const T a0 = x0 + b1, a1 = x0 - b1, a2 = b2 + b3, a3 = rotate(b2 - b3);
      store(d + j, a0 + a2);
      store(d + j + l2, a1 + a3);
      store(d + j + 2 * l2, a0 - a2);
      store(d + j + 3 * l2, a1 - a3);
    }
  }
  KVO_FFT_INLINE static void butterfly2(T& x0, T& x1, const R* tw, std::size_t l2, std::size_t j) {
    const T sum = x0 + x1;
    x1 = cmul(x0 - x1, load(tw + j), load(tw + l2 + j));
    x0 = sum;
  }
  static void dif2(const R* s, R* d, std::size_t span, const R* tw) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      T x0 = load(s + j), x1 = load(s + j + l2);
      butterfly2(x0, x1, tw, l2, j);
      store(d + j, x0);
      store(d + j + l2, x1);
    }
  }
  // A radix-4 stage of span 2L and a radix-2 stage of span L in one pass over 8L values.
  static void dif8(const R* s, R* d, std::size_t span, const R* tw4, const R* tw2) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      T x[2][4];  // x[p][q] is the value at j + (p + 2q) L
      for (int p = 0; p < 2; ++p) {
        for (int q = 0; q < 4; ++q) x[p][q] = load(s + j + (p + 2 * q) * l2);
        butterfly4(x[p], tw4, 2 * l2, j + p * l2);
      }
      for (int q = 0; q < 4; ++q) {
        butterfly2(x[0][q], x[1][q], tw2, l2, j);
        store(d + j + 2 * q * l2, x[0][q]);
        store(d + j + (1 + 2 * q) * l2, x[1][q]);
      }
    }
  }
  // Two radix-4 stages (spans 8L and 2L) and the radix-2 stage of span L in one pass over 32L
  // values. Only AVX-512 has the registers for the 32 values; it saves the radix-2 pass that an
  // odd number of vector stages would otherwise take on its own.
  static void dif32(const R* s, R* d, std::size_t span, const R* tw8, const R* tw2, const R* tw1) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      T x[8][4];  // x[p][q] is the value at j + (p + 8q) L
      for (int p = 0; p < 8; ++p) {
        for (int q = 0; q < 4; ++q) x[p][q] = load(s + j + (p + 8 * q) * l2);
        butterfly4(x[p], tw8, 8 * l2, j + p * l2);
      }
      for (int q = 0; q < 4; ++q) {
        for (int p = 0; p < 2; ++p) {
          T y[4] = {x[p][q], x[p + 2][q], x[p + 4][q], x[p + 6][q]};
          butterfly4(y, tw2, 2 * l2, j + p * l2);
          for (int r = 0; r < 4; ++r) x[p + 2 * r][q] = y[r];
        }
        for (int p = 0; p < 8; p += 2) {
          butterfly2(x[p][q], x[p + 1][q], tw1, l2, j);
          store(d + j + (p + 8 * q) * l2, x[p][q]);
          store(d + j + (p + 1 + 8 * q) * l2, x[p + 1][q]);
        }
      }
    }
  }
  static void dit2(R* d, std::size_t span, const R* tw) {
    const std::size_t l2 = 2 * span;
    for (std::size_t j = 0; j < l2; j += 2 * V) {
      const T x0 = load(d + j), t = cmul(load(d + j + l2), load(tw + j), load(tw + l2 + j));
      store(d + j, x0 + t);
      store(d + j + l2, x0 - t);
    }
  }

  // ---- in-vector stages on transposed V x V tiles --------------------------------------------

  // Broadcast twiddles exp(-2 pi i k/16) for the in-vector stages. Only odd multiples of 16/V
  // other than 4 ever take a multiplication (k = 2, 6 for V = 8; none for smaller V), and only
  // those are set up: for the smallest transforms the setup is a noticeable part of the call.
  struct Consts {
    T re[8], im[8];
    static constexpr bool used(int k) { return k % (16 / V) == 0 && k % 4 != 0; }
    explicit Consts(const R* tw) {
      for (int k = 0; k < 8; ++k) {
        if (!used(k)) continue;
        re[k] = splat(tw[2 * k], tw[2 * k]);
        im[k] = splat(-tw[2 * k + 1], tw[2 * k + 1]);
      }
    }
  };

  // Multiplies by exp(-2 pi i k/16) (its conjugate for the inverse).
  template <int K>
  KVO_FFT_INLINE static T twiddle(T v, const Consts& c) {
    if constexpr (K == 0) {
      return v;
    } else if constexpr (K == 4) {
      return rotate(v);
    } else {
      static_assert(Consts::used(K));
      return cmul(v, c.re[K], c.im[K]);
    }
  }
  template <int S, int C>
  KVO_FFT_INLINE static void difPair(Tile& t, const Consts& c) {
    if constexpr ((C & S) == 0) {
      const T u = t.x[C] + t.x[C + S], v = t.x[C] - t.x[C + S];
      t.x[C] = u;
      t.x[C + S] = twiddle<(C & (S - 1)) * (8 / S)>(v, c);
    }
  }
  template <int S, int C>
  KVO_FFT_INLINE static void ditPair(Tile& t, const Consts& c) {
    if constexpr ((C & S) == 0) {
      const T u = t.x[C], v = twiddle<(C & (S - 1)) * (8 / S)>(t.x[C + S], c);
      t.x[C] = u + v;
      t.x[C + S] = u - v;
    }
  }
  template <int S, int... C>
  KVO_FFT_INLINE static void difLevel(Tile& t, const Consts& c, std::integer_sequence<int, C...>) {
    (difPair<S, C>(t, c), ...);
  }
  template <int S, int... C>
  KVO_FFT_INLINE static void ditLevel(Tile& t, const Consts& c, std::integer_sequence<int, C...>) {
    (ditPair<S, C>(t, c), ...);
  }
  // Rows of the transposed tile are the in-vector positions: spans V/2 .. 1.
  template <int S = V / 2>
  KVO_FFT_INLINE static void difTile(Tile& t, const Consts& c) {
    if constexpr (S >= 1) {
      difLevel<S>(t, c, std::make_integer_sequence<int, V>());
      difTile<S / 2>(t, c);
    }
  }
  template <int S = 1>
  KVO_FFT_INLINE static void ditTile(Tile& t, const Consts& c) {
    if constexpr (S < V) {
      ditLevel<S>(t, c, std::make_integer_sequence<int, V>());
      ditTile<S * 2>(t, c);
    }
  }

  // The in-vector stages over a block of M values (a multiple of V*V), in natural position.
  template <bool kDit>
  static void tileStages(const R* s, R* d, std::size_t m, const Consts& c) {
    for (std::size_t b = 0; b < 2 * m; b += 2 * V * V) {
      Tile t;
      for (int a = 0; a < V; ++a) t.x[a] = load(s + b + 2 * V * a);
      transpose(t);
      if constexpr (kDit) {
        ditTile(t, c);
      } else {
        difTile(t, c);
      }
      transpose(t);
      for (int a = 0; a < V; ++a) store(d + b + 2 * V * a, t.x[a]);
    }
  }

  // Last stages of a natural-order transform together with the bit reversal. An index is split
  // into (top kBits bits a, middle bits m, bottom kBits bits c); the tile of one m holds the V
  // vectors (a, m, *), and its results belong at (reverse c, reverse m, reverse a). Tiles of m and
  // reverse m are loaded together and stored into each other's places, so this works in place.
  KVO_FFT_INLINE static void loadGroup(const R* d, std::size_t stride, std::size_t m, Tile& t) {
    for (int a = 0; a < V; ++a) {
      const std::size_t top = static_cast<std::size_t>(reverseBits(a, kBits));
      t.x[a] = load(d + 2 * (top * stride + m * V));
    }
    transpose(t);
  }
  KVO_FFT_INLINE static void storeGroup(R* d, std::size_t stride, std::size_t m, const Tile& t) {
    for (int c = 0; c < V; ++c) {
      const std::size_t top = static_cast<std::size_t>(reverseBits(c, kBits));
      store(d + 2 * (top * stride + m * V), t.x[c]);
    }
  }
  static void lastStagesReversed(R* d, int order, const Consts& c) {
    const std::size_t n = std::size_t{1} << order;
    const std::size_t stride = n / V;
    const std::size_t mids = n / (static_cast<std::size_t>(V) * V);
    std::size_t r = 0;
    for (std::size_t m = 0; m < mids; ++m) {
      if (m > 0) {  // reversed-carry increment of r
        std::size_t bit = mids / 2;
        while (r & bit) {
          r ^= bit;
          bit /= 2;
        }
        r |= bit;
      }
      if (m > r) continue;
      Tile tm;
      loadGroup(d, stride, m, tm);
      if (m == r) {
        difTile(tm, c);
        storeGroup(d, stride, m, tm);
      } else {
        Tile tr;
        loadGroup(d, stride, r, tr);
        difTile(tm, c);
        difTile(tr, c);
        storeGroup(d, stride, r, tm);
        storeGroup(d, stride, m, tr);
      }
    }
  }

  // ---- real-FFT recombination, V pairs (k, M-k) at a time ----------------------------------

  template <std::size_t... S>
  KVO_FFT_INLINE static T reverseImpl(T a, std::index_sequence<S...>) {
    return __builtin_shufflevector(a, a, reverseIndex(S, V)...);
  }
  KVO_FFT_INLINE static T reverse(T a) {
    return reverseImpl(a, std::make_index_sequence<kLanes>());
  }
  template <int kPart, std::size_t... S>
  KVO_FFT_INLINE static T dupImpl(T a, std::index_sequence<S...>) {
    return __builtin_shufflevector(a, a, dupIndex(S, kPart)...);
  }
  // a times b, both interleaved complex vectors.
  KVO_FFT_INLINE static T cmulFull(T a, T b) {
    const T re = dupImpl<0>(b, std::make_index_sequence<kLanes>());
    const T im = dupImpl<1>(b, std::make_index_sequence<kLanes>());
    return madd(swapReIm(a), im * splat(-1, 1), a * re);
  }

  // Pairs k = 1 .. with M-k, V at a time, while a whole block lies below M/2. Results go `shift`
  // reals (0 or 1) below their sources. Shifted, a block of high values overwrites the last
  // imaginary part of the next block down, so that block is loaded first.
  static void postBlocks(R* z, std::size_t m, const R* table, std::size_t shift) {
    std::size_t k = 1;
    T next = k + V <= m / 2 ? load(z + 2 * (m - k - V + 1)) : T{};
    for (; k + V <= m / 2; k += V) {
      R* lo = z + 2 * k;
      R* hi = z + 2 * (m - k - V + 1);
      const T t = load(table + 2 * (k - 1));
      const T b = kInv ? splat(1, 0) - swapReIm(t) : swapReIm(t) * splat(1, -1);
      const T p = load(lo), q = conj(reverse(next));
      if (k + 2 * V <= m / 2) next = load(hi - 2 * V);
      const T d = cmulFull(p - q, b);
      store(lo - shift, q + d);
      store(hi - shift, reverse(conj(p - d)));
    }
  }
  static std::size_t preBlocks(const R* x1, R* z, std::size_t m, const R* table) {
    std::size_t k = 1;
    for (; k + V <= m / 2; k += V) {
      const T t = load(table + 2 * (k - 1));
      const T w = kInv ? splat(-1, 0) + swapReIm(t) * splat(2, 2)
                       : splat(1, 0) + swapReIm(t) * splat(-2, 2);
      const T a = load(x1 + 2 * (k - 1)), bc = conj(reverse(load(x1 + 2 * (m - k - V))));
      const T sum = a + bc, d = cmulFull(a - bc, w);
      store(z + 2 * k, sum + d);
      store(z + 2 * (m - k - V + 1), reverse(conj(sum - d)));
    }
    return k;
  }

  // ---- recursion over the vector stages --------------------------------------------------------

  static const R* radix4(const R* tw, std::size_t span) { return tw + fftRadix4Offset(span); }

  // Decimation in frequency of M values: stages of spans M/4 ... V, src to dst on the first stage.
  static void difBlock(const R* s, R* d, std::size_t m, const R* tw, bool tiles, const Consts& c) {
    if (m * 2 * sizeof(R) > kLeafBytes) {
      const bool deep = m * 2 * sizeof(R) >= kDeepBytes;
      const std::size_t span = deep ? m / 16 : m / 4;
      if (deep) {
        dif16(s, d, span, radix4(tw, 4 * span), radix4(tw, span));
      } else {
        dif4(s, d, span, radix4(tw, span));
      }
      for (int q = 0; q < (deep ? 16 : 4); ++q)
        difBlock(d + 2 * q * span, d + 2 * q * span, span, tw, tiles, c);
      return;
    }
    const R* in = s;
    std::size_t group = m;
    while (group >= 4 * static_cast<std::size_t>(V)) {
      if (W == 64 && group == 32 * static_cast<std::size_t>(V)) {
        for (std::size_t g = 0; g < 2 * m; g += 2 * group)
          dif32(in + g, d + g, V, radix4(tw, 8 * V), radix4(tw, 2 * V), tw + fftRadix2Offset(V));
        group /= 32;
      } else if (group >= 16 * static_cast<std::size_t>(V)) {
        const std::size_t span = group / 16;
        for (std::size_t g = 0; g < 2 * m; g += 2 * group)
          dif16(in + g, d + g, span, radix4(tw, 4 * span), radix4(tw, span));
        group /= 16;
      } else if (group == 8 * static_cast<std::size_t>(V)) {
        for (std::size_t g = 0; g < 2 * m; g += 2 * group)
          dif8(in + g, d + g, V, radix4(tw, 2 * V), tw + fftRadix2Offset(V));
        group /= 8;
      } else {
        const std::size_t span = group / 4;
        for (std::size_t g = 0; g < 2 * m; g += 2 * group)
          dif4(in + g, d + g, span, radix4(tw, span));
        group /= 4;
      }
      in = d;
    }
    if (group == 2 * static_cast<std::size_t>(V)) {
      for (std::size_t g = 0; g < 2 * m; g += 2 * group) {
        dif2(in + g, d + g, V, tw + fftRadix2Offset(V));
      }
      in = d;
    }
    if (tiles) {
      tileStages<false>(in, d, m, c);
    } else if (in != d) {
      std::memcpy(d, in, 2 * m * sizeof(R));
    }
  }

  // Decimation in time of M values in bit-reversed order: in-vector stages first (src to dst),
  // then spans V ... M/4.
  static void ditBlock(const R* s, R* d, std::size_t m, const R* tw, const Consts& c) {
    if (m * 2 * sizeof(R) > kLeafBytes) {
      const std::size_t span = m / 4;
      for (int q = 0; q < 4; ++q) ditBlock(s + 2 * q * span, d + 2 * q * span, span, tw, c);
      for (std::size_t g = 0; g < 2 * m; g += 8 * span) dit4(d + g, span, radix4(tw, span));
      return;
    }
    tileStages<true>(s, d, m, c);
    std::size_t group = m;
    while (group >= 4 * static_cast<std::size_t>(V)) group /= 4;
    if (group == 2 * static_cast<std::size_t>(V)) {
      for (std::size_t g = 0; g < 2 * m; g += 2 * group) dit2(d + g, V, tw + fftRadix2Offset(V));
    }
    for (group *= 4; group <= m; group *= 4) {
      const std::size_t span = group / 4;
      for (std::size_t g = 0; g < 2 * m; g += 2 * group) dit4(d + g, span, radix4(tw, span));
    }
  }

  // N = 2^order >= V*V values.
  static void run(const R* s, R* d, int order, int kind, const R* tw) {
    const std::size_t n = std::size_t{1} << order;
    const Consts c(tw);
    if (kind == kFftInBitRev) {
      ditBlock(s, d, n, tw, c);
    } else if (kind == kFftOutBitRev) {
      difBlock(s, d, n, tw, true, c);
    } else {
      difBlock(s, d, n, tw, false, c);
      lastStagesReversed(d, order, c);
    }
  }
};

template <class R, int W>
constexpr int kMinOrder = 2 * log2Of(W / static_cast<int>(sizeof(R)) / 2);

template <class R, int W>
void runWidth(const R* s, R* d, int order, int kind, bool inverse, const R* tw) {
  if (inverse) {
    Fft<R, W, true>::run(s, d, order, kind, tw);
  } else {
    Fft<R, W, false>::run(s, d, order, kind, tw);
  }
}

// ---- real-FFT recombination
// ----------------------------------------------------------------------

// With table entry t = (cos/2, 1/2 - sin/2) of angle 2 pi k/N: X[k] = Q + (P - Q) B and
// X[M-k] = conj(P - (P - Q) B), where P = Z[k], Q = conj Z[M-k] and B = (t.im, -t.re) forward,
// (1 - t.im, -t.re) inverse.
// The results go `shift` reals below their sources, as in postBlocks; `hiIm` is the imaginary
// part of Z[M - first], read before any store could overwrite it. Each high store overwrites the
// imaginary part of the next high value, so that is carried along the same way.
template <class R>
void recombineForward(R* z, std::size_t m, const R* table, bool inverse, std::size_t first,
                      std::size_t shift, R hiIm) {
  for (std::size_t k = first; 2 * k < m; ++k) {
    const R* t = table + 2 * (k - 1);
    const R br = inverse ? R(1) - t[1] : t[1], bi = -t[0];
    R* lo = z + 2 * k;
    R* hi = z + 2 * (m - k);
    const R pr = lo[0], pi = lo[1], qr = hi[0], qi = -hiIm;
    hiIm = hi[-1];
    const R er = pr - qr, ei = pi - qi;
    const R dr = er * br - ei * bi, di = er * bi + ei * br;
    R* loOut = lo - shift;
    R* hiOut = hi - shift;
    loOut[0] = qr + dr;
    loOut[1] = qi + di;
    hiOut[0] = pr - dr;
    hiOut[1] = di - pi;
  }
  if (m >= 2) {  // X[M/2] = conj Z[M/2] forward, Z[M/2] inverse
    const R re = z[m];
    z[m - shift] = re;
    z[m + 1 - shift] = inverse ? hiIm : -hiIm;
  }
}

// 2Z[k] = S + D and 2Z[M-k] = conj(S - D), with S = X[k] + conj X[M-k] and
// D = (X[k] - conj X[M-k]) i w^k: i w^k = (sin, cos) forward, (-sin, cos) inverse.
template <class R>
void recombineBackward(const R* x1, R* z, std::size_t m, const R* table, bool inverse,
                       std::size_t first) {
  for (std::size_t k = first; 2 * k < m; ++k) {
    const R* t = table + 2 * (k - 1);
    const R sn = R(1) - 2 * t[1], cs = 2 * t[0];
    const R wr = inverse ? -sn : sn, wi = cs;
    const R* lo = x1 + 2 * (k - 1);
    const R* hi = x1 + 2 * (m - k - 1);
    const R ar = lo[0], ai = lo[1], br = hi[0], bi = -hi[1];
    const R sr = ar + br, si = ai + bi, er = ar - br, ei = ai - bi;
    const R dr = er * wr - ei * wi, di = er * wi + ei * wr;
    z[2 * k] = sr + dr;
    z[2 * k + 1] = si + di;
    z[2 * (m - k)] = sr - dr;
    z[2 * (m - k) + 1] = di - si;
  }
  if (m >= 2) {
    const R* mid = x1 + 2 * (m / 2 - 1);
    const R re = 2 * mid[0], im = 2 * mid[1];
    z[m] = re;
    z[m + 1] = inverse ? -im : im;
  }
}

}  // namespace

template <Isa I, class R>
void complexFftK(const R* src, R* dst, int order, int kind, bool inverse, const R* tw) {
  if (order == 0) {
    if (src != dst) std::memcpy(dst, src, 2 * sizeof(R));
    return;
  }
  if (order == 1) {
    const R ar = src[0], ai = src[1], br = src[2], bi = src[3];
    dst[0] = ar + br;
    dst[1] = ai + bi;
    dst[2] = ar - br;
    dst[3] = ai - bi;
    return;
  }
#if defined(__AVX512F__)
  if (order >= kMinOrder<R, 64>) return runWidth<R, 64>(src, dst, order, kind, inverse, tw);
#endif
#if defined(__AVX2__)
  if (order >= kMinOrder<R, 32>) return runWidth<R, 32>(src, dst, order, kind, inverse, tw);
#endif
  runWidth<R, 16>(src, dst, order, kind, inverse, tw);
}

#if defined(__AVX512F__)
constexpr int kWidest = 64;
#elif defined(__AVX2__)
constexpr int kWidest = 32;
#else
constexpr int kWidest = 16;
#endif

template <Isa I, class R>
void realPostK(R* z, std::size_t m, const R* table, bool inverse, bool shifted) {
  const std::size_t shift = shifted ? 1 : 0;
  // The first k the vector blocks leave to the scalar loop, known before they run.
  constexpr std::size_t kV = Fft<R, kWidest, false>::V;
  const std::size_t first = m >= 2 ? 1 + (m / 2 - 1) / kV * kV : 1;
  const R hiIm = m >= 2 ? z[2 * (m - first) + 1] : R(0);
  if (inverse) {
    Fft<R, kWidest, true>::postBlocks(z, m, table, shift);
  } else {
    Fft<R, kWidest, false>::postBlocks(z, m, table, shift);
  }
  recombineForward(z, m, table, inverse, first, shift, hiIm);
}

template <Isa I, class R>
void realPreK(const R* x1, R* z, std::size_t m, const R* table, bool inverse) {
  const std::size_t first = inverse ? Fft<R, kWidest, true>::preBlocks(x1, z, m, table)
                                    : Fft<R, kWidest, false>::preBlocks(x1, z, m, table);
  recombineBackward(x1, z, m, table, inverse, first);
}

#define KVO_INSTANTIATE_FFT(R)                                                   \
  template void complexFftK<KVO_ISA, R>(const R*, R*, int, int, bool, const R*); \
  template void realPostK<KVO_ISA, R>(R*, std::size_t, const R*, bool, bool);    \
  template void realPreK<KVO_ISA, R>(const R*, R*, std::size_t, const R*, bool);
KVO_INSTANTIATE_FFT(float)
KVO_INSTANTIATE_FFT(double)
#undef KVO_INSTANTIATE_FFT

}  // namespace kvo::kern
