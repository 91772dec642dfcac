// Tile transforms for one instruction-set level; included by fft2r_<level>.cpp after KVO_ISA is
// defined. See fft2r.h for the scheme and isa.h for the rules these files follow.
#include <cstddef>
#include <cstring>
#include <utility>

#include "kernels/transform/fft2r.h"

namespace kvo::kern {
namespace {

#if defined(__AVX512F__)
constexpr std::size_t kTileVecBytes = 64;
#elif defined(__AVX2__)
constexpr std::size_t kTileVecBytes = 32;
#else
constexpr std::size_t kTileVecBytes = 16;
#endif

// Lane index lists: lane s exchanged with its partner at distance `span`, and the choice of lane
// s from a (span bit clear) or b (span bit set).
constexpr int partnerLane(int s, int span) { return s ^ span; }
constexpr int pickLane(int s, int span, int lanes) { return (s & span) ? lanes + s : s; }

template <class R>
struct Tile {
  typedef R V __attribute__((vector_size(kTileVecBytes)));
  static constexpr std::size_t L = kTileVecBytes / sizeof(R);
  using Lanes = std::make_index_sequence<L>;

  static V load(const R* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void store(R* p, V v) { std::memcpy(p, &v, sizeof v); }

  // ---- passes down the columns, on n values per row --------------------------------------------

  // Complex rows a and b (real parts ar, imaginary parts ai): a, b = a + b, (a - b) w.
  static void difRows(R* ar, R* ai, R* br, R* bi, std::size_t n, R wr, R wi) {
    std::size_t k = 0;
    for (; k + L <= n; k += L) {
      const V xr = load(ar + k), xi = load(ai + k), yr = load(br + k), yi = load(bi + k);
      const V dr = xr - yr, di = xi - yi;
      store(ar + k, xr + yr);
      store(ai + k, xi + yi);
      store(br + k, dr * wr - di * wi);
      store(bi + k, dr * wi + di * wr);
    }
    for (; k < n; ++k) {
      const R dr = ar[k] - br[k], di = ai[k] - bi[k];
      ar[k] += br[k];
      ai[k] += bi[k];
      br[k] = dr * wr - di * wi;
      bi[k] = dr * wi + di * wr;
    }
  }
  // b = a w where b holds zeros (a stays).
  static void difRowsZero(const R* ar, const R* ai, R* br, R* bi, std::size_t n, R wr, R wi) {
    std::size_t k = 0;
    for (; k + L <= n; k += L) {
      const V xr = load(ar + k), xi = load(ai + k);
      store(br + k, xr * wr - xi * wi);
      store(bi + k, xr * wi + xi * wr);
    }
    for (; k < n; ++k) {
      br[k] = ar[k] * wr - ai[k] * wi;
      bi[k] = ar[k] * wi + ai[k] * wr;
    }
  }
  // t = b w; a, b = a + t, a - t.
  static void ditRows(R* ar, R* ai, R* br, R* bi, std::size_t n, R wr, R wi) {
    std::size_t k = 0;
    for (; k + L <= n; k += L) {
      const V xr = load(ar + k), xi = load(ai + k), yr = load(br + k), yi = load(bi + k);
      const V tr = yr * wr - yi * wi, ti = yr * wi + yi * wr;
      store(ar + k, xr + tr);
      store(ai + k, xi + ti);
      store(br + k, xr - tr);
      store(bi + k, xi - ti);
    }
    for (; k < n; ++k) {
      const R tr = br[k] * wr - bi[k] * wi, ti = br[k] * wi + bi[k] * wr;
      br[k] = ar[k] - tr;
      bi[k] = ai[k] - ti;
      ar[k] += tr;
      ai[k] += ti;
    }
  }

  // ---- passes along a row of n complex values (re[0..n), im[0..n)) -----------------------------

  // One stage of span kSpan < L inside each vector. Lanes of the span bit clear hold a, the
  // others b. Forward: a + b and (a - b) w; inverse: a + b w and a - b w (w is 1 in the a lanes,
  // so t = v w leaves them as they are).
  template <bool kInverse, int kSpan, std::size_t... S>
  static void laneStage(V& re, V& im, V wr, V wi, std::index_sequence<S...>) {
    auto partner = [](V v) { return __builtin_shufflevector(v, v, partnerLane(S, kSpan)...); };
    auto pick = [](V a, V b) {
      return __builtin_shufflevector(a, b, pickLane(S, kSpan, static_cast<int>(L))...);
    };
    if constexpr (!kInverse) {
      const V pr = partner(re), pi = partner(im);
      const V dr = pr - re, di = pi - im;  // a - b in the b lanes
      re = pick(re + pr, dr * wr - di * wi);
      im = pick(im + pi, dr * wi + di * wr);
    } else {
      const V tr = re * wr - im * wi, ti = re * wi + im * wr;
      const V pr = partner(tr), pi = partner(ti);
      re = pick(tr + pr, pr - tr);
      im = pick(ti + pi, pi - ti);
    }
  }
  // All stages of spans below L on one vector: forward from L / 2 down, inverse from 1 up.
  template <bool kInverse, int kSpan = (kInverse ? 1 : static_cast<int>(L) / 2)>
  static void laneStages(V& re, V& im, const V* wr, const V* wi) {
    if constexpr (kSpan >= 1 && static_cast<std::size_t>(kSpan) < L) {
      constexpr int kLog = kSpan == 1 ? 0 : kSpan == 2 ? 1 : kSpan == 4 ? 2 : 3;
      laneStage<kInverse, kSpan>(re, im, wr[kLog], wi[kLog], Lanes{});
      laneStages<kInverse, kInverse ? 2 * kSpan : kSpan / 2>(re, im, wr, wi);
    }
  }

  // Twiddle vectors of the in-vector span s: lane l of a block holds exp(-+2 pi i (l mod s)/(2s))
  // in the b lanes and 1 in the a lanes.
  static void laneTwiddles(const R* stage, std::size_t s, bool conj, V& wr, V& wi) {
    for (std::size_t l = 0; l < L; ++l) {
      const bool b = (l & s) != 0;
      wr[l] = b ? stage[l % s] : R(1);
      wi[l] = b ? (conj ? -stage[s + l % s] : stage[s + l % s]) : R(0);
    }
  }

  // Offset of the twiddles of span s in the row part of the tables.
  static std::size_t stageOffset(std::size_t n, std::size_t s) { return 2 * (n - 2 * s); }

  // The twiddle vectors of the in-vector spans 1, 2, 4, ... < L, index log2(span).
  struct LaneTwiddles {
    V re[8], im[8];
    LaneTwiddles(const R* rowTw, std::size_t n, bool conj) {
      int i = 0;
      for (std::size_t s = 1; s < L && s < n; s *= 2, ++i) {
        laneTwiddles(rowTw + stageOffset(n, s), s, conj, re[i], im[i]);
      }
    }
  };
  // One stage of span s >= L on one row: whole vectors paired.
  template <bool kInverse>
  static void vectorStage(R* re, R* im, std::size_t n, std::size_t s, const R* stage) {
    for (std::size_t g = 0; g < n; g += 2 * s) {
      for (std::size_t j = 0; j < s; j += L) {
        const V wr = load(stage + j), wi = load(stage + s + j);
        const V xr = load(re + g + j), xi = load(im + g + j);
        const V yr = load(re + g + j + s), yi = load(im + g + j + s);
        if constexpr (!kInverse) {
          const V dr = xr - yr, di = xi - yi;
          store(re + g + j, xr + yr);
          store(im + g + j, xi + yi);
          store(re + g + j + s, dr * wr - di * wi);
          store(im + g + j + s, dr * wi + di * wr);
        } else {
          // Conjugate twiddles: w = wr - i wi.
          const V tr = yr * wr + yi * wi, ti = yi * wr - yr * wi;
          store(re + g + j, xr + tr);
          store(im + g + j, xi + ti);
          store(re + g + j + s, xr - tr);
          store(im + g + j + s, xi - ti);
        }
      }
    }
  }

  // Rows shorter than a vector: the same stages one value at a time.
  static void rowScalar(R* re, R* im, std::size_t n, const R* rowTw, bool inverse) {
    auto butterfly = [&](std::size_t a, std::size_t b, R wr, R wi) {
      if (!inverse) {
        const R dr = re[a] - re[b], di = im[a] - im[b];
        re[a] += re[b];
        im[a] += im[b];
        re[b] = dr * wr - di * wi;
        im[b] = dr * wi + di * wr;
      } else {
        const R tr = re[b] * wr - im[b] * wi, ti = re[b] * wi + im[b] * wr;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
      }
    };
    for (std::size_t i = 0; i + 1 < n; i = 2 * i + 1) {
      const std::size_t s = inverse ? i + 1 : n / 2 / (i + 1);
      const R* stage = rowTw + stageOffset(n, s);
      for (std::size_t g = 0; g < n; g += 2 * s) {
        for (std::size_t j = 0; j < s; ++j) {
          butterfly(g + j, g + j + s, stage[j], inverse ? -stage[s + j] : stage[s + j]);
        }
      }
    }
  }
  // `count` rows of n complex values (real parts, then imaginary parts) from spectrum on. Forward:
  // the stages of spans of a vector or more row by row, then the in-vector ones vector by
  // vector; inverse the other way round.
  static void rows(R* spectrum, std::size_t count, std::size_t n, const R* rowTw, bool inverse) {
    if (n < 2 * L) {
      for (std::size_t k = 0; k < count; ++k) {
        R* re = spectrum + 2 * n * k;
        rowScalar(re, re + n, n, rowTw, inverse);
      }
      return;
    }
    const LaneTwiddles lt(rowTw, n, inverse);
    auto lanes = [&] {
      for (std::size_t k = 0; k < count; ++k) {
        R* re = spectrum + 2 * n * k;
        for (std::size_t v = 0; v < n; v += L) {
          V vr = load(re + v), vi = load(re + n + v);
          if (inverse) {
            laneStages<true>(vr, vi, lt.re, lt.im);
          } else {
            laneStages<false>(vr, vi, lt.re, lt.im);
          }
          store(re + v, vr);
          store(re + n + v, vi);
        }
      }
    };
    if (inverse) lanes();
    for (std::size_t i = 0; (std::size_t{L} << i) < n; ++i) {
      const std::size_t s = inverse ? L << i : n / 2 >> i;
      for (std::size_t k = 0; k < count; ++k) {
        R* re = spectrum + 2 * n * k;
        if (inverse) {
          vectorStage<true>(re, re + n, n, s, rowTw + stageOffset(n, s));
        } else {
          vectorStage<false>(re, re + n, n, s, rowTw + stageOffset(n, s));
        }
      }
    }
    if (!inverse) lanes();
  }
};

std::size_t reverseBits(std::size_t v, std::size_t count) {
  std::size_t r = 0;
  for (std::size_t b = 1; b < count; b *= 2, v >>= 1) r = (r << 1) | (v & 1);
  return r;
}

}  // namespace

template <Isa I, class R>
void fft2rForwardK(R* tile, std::size_t pr, std::size_t pc, std::size_t nonzero,
                   std::size_t nonzeroCols, const R* tables, R* spectrum) {
  using T = Tile<R>;
  const std::size_t m = pr / 2, n = pc;
  // Columns from w on stay zero down the columns: whole vectors up to nonzeroCols are enough.
  const std::size_t whole = (nonzeroCols + T::L - 1) / T::L * T::L;
  const std::size_t w = whole < n ? whole : n;
  const R* cr = tables;  // exp(-2 pi i k / Pr), k <= m
  const R* ci = tables + m + 1;
  // Complex row q of the tile: real parts in row 2q, imaginary parts in row 2q + 1.
  auto re = [&](std::size_t q) { return tile + 2 * q * n; };
  auto im = [&](std::size_t q) { return tile + (2 * q + 1) * n; };
  const std::size_t used = (nonzero + 1) / 2;  // complex rows that are not zero
  for (std::size_t s = m / 2; s >= 1; s /= 2) {
    const std::size_t step = 2 * (m / (2 * s));  // index of exp(-2 pi i j / (2s)) is j step
    for (std::size_t g = 0; g < m; g += 2 * s) {
      for (std::size_t j = 0; j < s; ++j) {
        const R wr = cr[j * step], wi = ci[j * step];
        if (s == m / 2 && used <= s) {
          if (j < used) T::difRowsZero(re(j), im(j), re(j + s), im(j + s), w, wr, wi);
        } else {
          T::difRows(re(g + j), im(g + j), re(g + j + s), im(g + j + s), w, wr, wi);
        }
      }
    }
  }
  // Z_k sits at complex row reverseBits(k); the real rows' frequency k is
  // X_k = (Z_k + conj Z_{m-k}) / 2 - i w^k (Z_k - conj Z_{m-k}) / 2, k = 0..m.
  for (std::size_t k = 0; k <= m; ++k) {
    const std::size_t p = reverseBits(k % m, m), q = reverseBits((m - k) % m, m);
    const R* zr = re(p);
    const R* zi = im(p);
    const R* yr = re(q);
    const R* yi = im(q);
    R* xr = spectrum + 2 * n * k;
    R* xi = xr + n;
    const R wr = cr[k], wi = ci[k], half = R(0.5);
    KVO_IVDEP
    for (std::size_t c = 0; c < w; ++c) {
      const R er = zr[c] + yr[c], ei = zi[c] - yi[c], dr = zr[c] - yr[c], di = zi[c] + yi[c];
      xr[c] = half * (er + (wr * di + wi * dr));
      xi[c] = half * (ei - (wr * dr - wi * di));
    }
    std::memset(xr + w, 0, (n - w) * sizeof(R));
    std::memset(xi + w, 0, (n - w) * sizeof(R));
  }
  T::rows(spectrum, m + 1, n, tables + 2 * (m + 1), false);
}

template <Isa I, class R>
void fft2rProductK(R* spectrum, const R* other, std::size_t pr, std::size_t pc, const R* tables,
                   R* tile) {
  using T = Tile<R>;
  using V = typename T::V;
  constexpr std::size_t L = T::L;
  const std::size_t m = pr / 2, n = pc;
  for (std::size_t k = 0; k <= m; ++k) {
    R* ar = spectrum + 2 * n * k;
    R* ai = ar + n;
    const R* br = other + 2 * n * k;
    const R* bi = br + n;
    std::size_t c = 0;
    for (; c + L <= n; c += L) {
      const V xr = T::load(ar + c), xi = T::load(ai + c), yr = T::load(br + c),
              yi = T::load(bi + c);
      T::store(ar + c, xr * yr - xi * yi);
      T::store(ai + c, xr * yi + xi * yr);
    }
    for (; c < n; ++c) {
      const R xr = ar[c], xi = ai[c];
      ar[c] = xr * br[c] - xi * bi[c];
      ai[c] = xr * bi[c] + xi * br[c];
    }
  }
  T::rows(spectrum, m + 1, n, tables + 2 * (m + 1), true);
  // Back to Z_k = Xe_k + i Xo_k with Xe_k = (X_k + conj X_{m-k}) / 2 and
  // Xo_k = conj(w^k) (X_k - conj X_{m-k}) / 2, placed at complex row reverseBits(k).
  const R* cr = tables;
  const R* ci = tables + m + 1;
  auto re = [&](std::size_t q) { return tile + 2 * q * n; };
  auto im = [&](std::size_t q) { return tile + (2 * q + 1) * n; };
  for (std::size_t k = 0; k < m; ++k) {
    const R* xr = spectrum + 2 * n * k;
    const R* xi = xr + n;
    const R* yr = spectrum + 2 * n * (m - k);
    const R* yi = yr + n;
    R* zr = re(reverseBits(k, m));
    R* zi = im(reverseBits(k, m));
    const R wr = cr[k], wi = -ci[k], half = R(0.5);
    KVO_IVDEP
    for (std::size_t c = 0; c < n; ++c) {
      const R er = xr[c] + yr[c], ei = xi[c] - yi[c], dr = xr[c] - yr[c], di = xi[c] + yi[c];
      const R orr = wr * dr - wi * di, oi = wr * di + wi * dr;  // 2 Xo_k
      zr[c] = half * (er - oi);
      zi[c] = half * (ei + orr);
    }
  }
  for (std::size_t s = 1; s < m; s *= 2) {
    const std::size_t step = 2 * (m / (2 * s));
    for (std::size_t g = 0; g < m; g += 2 * s) {
      for (std::size_t j = 0; j < s; ++j) {
        T::ditRows(re(g + j), im(g + j), re(g + j + s), im(g + j + s), n, cr[j * step],
                   -ci[j * step]);
      }
    }
  }
}

#define KVO_INSTANTIATE_FFT2R(R)                                                                  \
  template void fft2rForwardK<KVO_ISA, R>(R*, std::size_t, std::size_t, std::size_t, std::size_t, \
                                          const R*, R*);                                          \
  template void fft2rProductK<KVO_ISA, R>(R*, const R*, std::size_t, std::size_t, const R*, R*);
KVO_INSTANTIATE_FFT2R(float)
KVO_INSTANTIATE_FFT2R(double)
#undef KVO_INSTANTIATE_FFT2R

}  // namespace kvo::kern
