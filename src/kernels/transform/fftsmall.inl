// Straight-line FFTs of the smallest sizes for one instruction-set level; included by
// fftsmall_<level>.cpp after KVO_ISA is defined. See fft.h for what they compute.
//
// A complex transform of N = V * M points, V complex values per vector, runs in three steps on
// values held in registers:
//   1. lane v of the M input vectors is the decimated sequence x[v + V m]; an M-point transform
//      across the vectors (radix 4, one radix-2 step when needed) does all V of them at once;
//   2. value k of sequence v is multiplied by exp(-2 pi i v k/N);
//   3. groups of V consecutive vectors are transposed, and a V-point transform across them gives
//      V output vectors, each holding V consecutive values of the result.
// So both input and output are contiguous in natural order, and no permutation pass is needed.
// Real transforms wrap the complex one of N/2 points in the recombination with the conjugate
// mirror values, read and written straight from and into the packed layouts.
//
// The twiddles are compile-time constants, computed from exact fractions of the circle in
// extended precision and rounded once.
#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "kernels/transform/fft.h"
// Forcing every helper inline makes these long straight-line bodies slower (register pressure).
#define KVO_FFT_INLINE
#include "kernels/transform/fftvec.h"

namespace kvo::kern {
namespace {

// ---- constants ----------------------------------------------------------------------------------

constexpr long double kHalfPi = 1.570796326794896619231321691639751442L;

struct Root {
  long double re, im;
};

// Series of sin and cos for 0 <= x <= pi/2; forty terms are far more than extended precision needs.
constexpr long double sinSeries(long double x) {
  long double term = x, sum = x;
  for (int i = 1; i < 40; ++i) {
    term *= -x * x / static_cast<long double>((2 * i) * (2 * i + 1));
    sum += term;
  }
  return sum;
}
constexpr long double cosSeries(long double x) {
  long double term = 1, sum = 1;
  for (int i = 1; i < 40; ++i) {
    term *= -x * x / static_cast<long double>((2 * i - 1) * (2 * i));
    sum += term;
  }
  return sum;
}

// exp(-2 pi i k/n): the quadrant is taken exactly, the series only see angles up to pi/2.
constexpr Root rootOf(long long k, long long n) {
  k %= n;
  if (k < 0) k += n;
  const long long quadrant = 4 * k / n, rest = 4 * k - quadrant * n;
  const long double x = kHalfPi * static_cast<long double>(rest) / static_cast<long double>(n);
  const long double c = cosSeries(x), s = sinSeries(x);
  switch (quadrant) {
    case 0:
      return {c, -s};
    case 1:
      return {-s, -c};
    case 2:
      return {-c, s};
    default:
      return {s, c};
  }
}

// The per-lane constants Gen::at(lane) in the split form of CVec::mulSplit: (re, re) pairs and
// (-im, im) pairs.
template <class R, int kLanes, class Gen>
constexpr std::array<R, kLanes> lanePart(bool imag) {
  std::array<R, kLanes> a{};
  for (int s = 0; s < kLanes; ++s) {
    const Root r = Gen::at(s / 2);
    a[s] = static_cast<R>(!imag ? r.re : s % 2 ? r.im : -r.im);
  }
  return a;
}
template <class R, int kLanes, class Gen>
struct Lanes {
  static constexpr std::array<R, kLanes> re = lanePart<R, kLanes, Gen>(false);
  static constexpr std::array<R, kLanes> im = lanePart<R, kLanes, Gen>(true);
};

// exp(-2 pi i k/m) in every lane.
template <long long K, long long M>
struct SplatRoot {
  static constexpr Root at(int) { return rootOf(K, M); }
};
// exp(-2 pi i k v/n) in lane v.
template <long long K, long long N>
struct LaneRoot {
  static constexpr Root at(int v) { return rootOf(K * v, N); }
};
// i w^k in lane v, k = first + v, with w = exp(-2 pi i/N) forward and its conjugate inverse.
constexpr Root iw(long long k, long long n, bool inverse) {
  const Root r = rootOf(k, n);
  const long double wi = inverse ? -r.im : r.im;
  return {-wi, r.re};
}
template <long long First, long long N, bool kInv>
struct UnpackFactor {  // real spectrum to the complex transform: i w^k
  static constexpr Root at(int v) { return iw(First + v, N, kInv); }
};
template <long long First, long long N, bool kInv>
struct PackFactor {  // complex transform to the real spectrum: (1 - i w^k) / 2
  static constexpr Root at(int v) {
    const Root r = iw(First + v, N, kInv);
    return {0.5L - 0.5L * r.re, -0.5L * r.im};
  }
};

// f(integral_constant<int, k>) for k = 0..count-1, unrolled.
template <class F, int... K>
KVO_KERNEL_INLINE void forEachImpl(F&& f, std::integer_sequence<int, K...>) {
  (f(std::integral_constant<int, K>{}), ...);
}
template <int kCount, class F>
KVO_KERNEL_INLINE void forEach(F&& f) {
  forEachImpl(f, std::make_integer_sequence<int, kCount>());
}

// ---- the transforms --------------------------------------------------------------------------

// Lane index lists: the conjugate mirror of a block (lane 0 from a, lane j from lane V-j of b),
// the layout shifted down by one real value, and shifted up by one.
template <int V>
struct MirrorIndex {
  static constexpr int at(int s) { return s < 2 ? s : 2 * V + 2 * (V - s / 2) + s % 2; }
};
struct DownIndex {
  static constexpr int at(int s) { return s + 1; }
};
struct UpIndex {
  static constexpr int at(int s) { return s == 0 ? 0 : s - 1; }
};

template <class R, int W, bool kInv>
struct Small : CVec<R, W, kInv> {
  using Base = CVec<R, W, kInv>;
  using Base::conj, Base::transpose;
  using Base::kLanes, Base::V;
  using Base::load, Base::store, Base::splat, Base::cmul, Base::mulSplit, Base::rotate;
  using typename Base::T;
  using typename Base::Tile;

  template <class Index>
  [[gnu::always_inline]] static T pick(T a, T b) {
    return Base::template shuffle<Index>(a, b);
  }

  template <class Gen>
  [[gnu::always_inline]] static T mulBy(T a) {
    using L = Lanes<R, kLanes, Gen>;
    return mulSplit(a, load(L::re.data()), load(L::im.data()));
  }
  template <class Gen>
  [[gnu::always_inline]] static T twiddleBy(T a) {
    using L = Lanes<R, kLanes, Gen>;
    return cmul(a, load(L::re.data()), load(L::im.data()));
  }

  // a times exp(-2 pi i K/M) (its conjugate for the inverse); quarter turns without products.
  template <int K, int M>
  [[gnu::always_inline]] static T twiddle(T a) {
    if constexpr (K == 0) {
      return a;
    } else if constexpr (4 * K == M) {
      return rotate(a);
    } else {
      return twiddleBy<SplatRoot<K, M>>(a);
    }
  }

  // y[k] = sum over m of x[S m] exp(-+2 pi i m k/M), k = 0..M-1, in every lane.
  template <int M, int S>
  [[gnu::always_inline]] static void dft(const T* x, T* y) {
    if constexpr (M == 1) {
      y[0] = x[0];
    } else if constexpr (M == 2) {
      y[0] = x[0] + x[S];
      y[1] = x[0] - x[S];
    } else {
      constexpr int Q = M / 4;
      T a0[Q], a1[Q], a2[Q], a3[Q];
      dft<Q, 4 * S>(x, a0);
      dft<Q, 4 * S>(x + S, a1);
      dft<Q, 4 * S>(x + 2 * S, a2);
      dft<Q, 4 * S>(x + 3 * S, a3);
      forEach<Q>([&](auto kc) __attribute__((always_inline)) {
        constexpr int k = decltype(kc)::value;
        const T t0 = a0[k], t1 = twiddle<k, M>(a1[k]), t2 = twiddle<2 * k, M>(a2[k]),
                t3 = twiddle<3 * k, M>(a3[k]);
        const T u0 = t0 + t2, u1 = t0 - t2, u2 = t1 + t3, u3 = rotate(t1 - t3);
        y[k] = u0 + u2;
        y[k + Q] = u1 + u3;
        y[k + 2 * Q] = u0 - u2;
        y[k + 3 * Q] = u1 - u3;
      });
    }
  }

  // The N-point transform of the N/V vectors x into y, both in natural order.
  template <int N>
  [[gnu::always_inline]] static void complexBody(const T* x, T* y) {
    constexpr int M = N / V;
    static_assert(M % V == 0, "the transposed groups need N >= V * V");
    if constexpr (V == 1) {
      dft<M, 1>(x, y);
    } else {
      T b[M];
      dft<M, 1>(x, b);
      forEach<M - 1>([&](auto kc) __attribute__((always_inline)) {
        constexpr int k = decltype(kc)::value + 1;
        b[k] = twiddleBy<LaneRoot<k, N>>(b[k]);
      });
      for (int g = 0; g < M / V; ++g) {
        Tile t;
        for (int j = 0; j < V; ++j) t.x[j] = b[g * V + j];
        transpose(t);
        T d[V];
        dft<V, 1>(t.x, d);
        for (int q = 0; q < V; ++q) y[g + (M / V) * q] = d[q];
      }
    }
  }

  template <int N>
  [[gnu::always_inline]] static void complexN(const R* s, R* d, R scale) {
    constexpr int M = N / V;
    T x[M], y[M];
    for (int m = 0; m < M; ++m) x[m] = load(s + 2 * V * m);
    complexBody<N>(x, y);
    if constexpr (kInv) {
      for (int m = 0; m < M; ++m) y[m] *= splat(scale, scale);
    }
    for (int m = 0; m < M; ++m) store(d + 2 * V * m, y[m]);
  }

  // N real values to the packed spectrum. The complex transform Z of the N/2 values
  // x[2m] + i x[2m+1] gives X[k] = Q + (Z[k] - Q) (1 - i w^k)/2 with Q = conj Z[N/2 - k], for
  // every k < N/2 (k = 0 is the sum of the real and imaginary parts of Z[0], with Q = conj Z[0]).
  template <int N>
  [[gnu::always_inline]] static void toSpectrum(const R* s, R* d, int format, R scale) {
    constexpr int G = N / 2 / V;  // vectors of the complex transform
    T x[G], z[G], out[G];
    for (int i = 0; i < G; ++i) x[i] = load(s + 2 * V * i);
    complexBody<N / 2>(x, z);
    forEach<G>([&](auto ic) __attribute__((always_inline)) {
      constexpr int i = decltype(ic)::value;
      const T q = conj(pick<MirrorIndex<V>>(z[(G - i) % G], z[G - 1 - i]));
      out[i] = q + mulBy<PackFactor<i * V, N, kInv>>(z[i] - q);
    });
    R dc = z[0][0] + z[0][1], nyquist = z[0][0] - z[0][1];
    if constexpr (kInv) {
      for (int i = 0; i < G; ++i) out[i] *= splat(scale, scale);
      dc *= scale;
      nyquist *= scale;
    }
    if (format == kRealPack) {
      for (int i = 0; i < G; ++i) {
        store(d + 2 * V * i, pick<DownIndex>(out[i], i + 1 < G ? out[i + 1] : splat(nyquist, 0)));
      }
      d[0] = dc;
      return;
    }
    for (int i = 0; i < G; ++i) store(d + 2 * V * i, out[i]);
    d[0] = dc;
    if (format == kRealPerm) {
      d[1] = nyquist;
    } else {
      d[1] = 0;
      d[N] = nyquist;
      d[N + 1] = 0;
    }
  }

  // The packed spectrum back to N real values: 2 Z[k] = (X[k] + Q) + (X[k] - Q) i w^k with
  // Q = conj X[N/2 - k], then the complex transform of Z gives x[2m] + i x[2m+1].
  template <int N>
  [[gnu::always_inline]] static void toSignal(const R* s, R* d, int format, R scale) {
    constexpr int G = N / 2 / V;
    T x[G], z[G], y[G];
    const R dc = s[0];
    R nyquist;
    if (format == kRealPack) {
      nyquist = s[N - 1];
      const T first = load(s);
      x[0] = pick<UpIndex>(first, first);
      for (int i = 1; i < G; ++i) x[i] = load(s + 2 * V * i - 1);
    } else {
      nyquist = format == kRealPerm ? s[1] : s[N];
      for (int i = 0; i < G; ++i) x[i] = load(s + 2 * V * i);
    }
    x[0][0] = dc;
    x[0][1] = 0;
    const T top = splat(nyquist, 0);  // X[N/2]
    forEach<G>([&](auto ic) __attribute__((always_inline)) {
      constexpr int i = decltype(ic)::value;
      const T q = conj(pick<MirrorIndex<V>>(i == 0 ? top : x[G - i], x[G - 1 - i]));
      z[i] = (x[i] + q) + mulBy<UnpackFactor<i * V, N, kInv>>(x[i] - q);
    });
    complexBody<N / 2>(z, y);
    if constexpr (kInv) {
      for (int i = 0; i < G; ++i) y[i] *= splat(scale, scale);
    }
    for (int i = 0; i < G; ++i) store(d + 2 * V * i, y[i]);
  }
};

// The real transform of 4 values, whose complex half has no room for a vector scheme.
template <class R>
void real4(const R* s, R* d, bool toSpectrum, int format, bool inverse, R scale) {
  if (toSpectrum) {
    const R ar = s[0] + s[2], ai = s[1] + s[3], br = s[0] - s[2], bi = s[1] - s[3];
    const R dc = (ar + ai) * scale, nyquist = (ar - ai) * scale;
    const R re = br * scale, im = (inverse ? bi : -bi) * scale;
    d[0] = dc;
    if (format == kRealCcs) {
      d[1] = 0;
      d[2] = re;
      d[3] = im;
      d[4] = nyquist;
      d[5] = 0;
    } else if (format == kRealPack) {
      d[1] = re;
      d[2] = im;
      d[3] = nyquist;
    } else {
      d[1] = nyquist;
      d[2] = re;
      d[3] = im;
    }
    return;
  }
  const R dc = s[0];
  const R nyquist = format == kRealCcs ? s[4] : format == kRealPack ? s[3] : s[1];
  const R* x1 = format == kRealPack ? s + 1 : s + 2;
  const R ar = dc + nyquist, ai = dc - nyquist, br = 2 * x1[0],
          bi = inverse ? -2 * x1[1] : 2 * x1[1];
  d[0] = (ar + br) * scale;
  d[1] = (ai + bi) * scale;
  d[2] = (ar - br) * scale;
  d[3] = (ai - bi) * scale;
}

// The vector width for N complex values: the widest of the level with V * V <= N, and in double
// precision also 8 V <= N. (Measured: below that, the transposes of the double vectors cost more
// than the narrower vectors' extra instructions.)
#if defined(__AVX512F__)
constexpr int kWidest = 64;
#elif defined(__AVX2__)
constexpr int kWidest = 32;
#else
constexpr int kWidest = 16;
#endif
template <class R>
constexpr int widthFor(int n) {
  const bool isDouble = sizeof(R) == sizeof(double);
  int w = kWidest;
  for (int v = w / (2 * static_cast<int>(sizeof(R)));
       w > 16 && (v * v > n || (isDouble && 8 * v > n)); v /= 2) {
    w /= 2;
  }
  return w;
}
template <class R, int N, bool kInv>
using SmallFor = Small<R, widthFor<R>(N), kInv>;

template <class R, bool kInv>
void complexSmall(const R* s, R* d, int order, R scale) {
  switch (order) {
    case 2:
      return SmallFor<R, 4, kInv>::template complexN<4>(s, d, scale);
    case 3:
      return SmallFor<R, 8, kInv>::template complexN<8>(s, d, scale);
    case 4:
      return SmallFor<R, 16, kInv>::template complexN<16>(s, d, scale);
    case 5:
      return SmallFor<R, 32, kInv>::template complexN<32>(s, d, scale);
    default:
      return SmallFor<R, 64, kInv>::template complexN<64>(s, d, scale);
  }
}

template <class R, bool kInv, int N>
void realSmallN(const R* s, R* d, bool toSpectrum, int format, R scale) {
  using K = SmallFor<R, N / 2, kInv>;
  if (toSpectrum) {
    K::template toSpectrum<N>(s, d, format, scale);
  } else {
    K::template toSignal<N>(s, d, format, scale);
  }
}

template <class R, bool kInv>
void realSmall(const R* s, R* d, int order, bool toSpectrum, int format, R scale) {
  switch (order) {
    case 2:
      return real4(s, d, toSpectrum, format, kInv, scale);
    case 3:
      return realSmallN<R, kInv, 8>(s, d, toSpectrum, format, scale);
    case 4:
      return realSmallN<R, kInv, 16>(s, d, toSpectrum, format, scale);
    case 5:
      return realSmallN<R, kInv, 32>(s, d, toSpectrum, format, scale);
    case 6:
      return realSmallN<R, kInv, 64>(s, d, toSpectrum, format, scale);
    default:
      return realSmallN<R, kInv, 128>(s, d, toSpectrum, format, scale);
  }
}

}  // namespace

template <Isa I, class R>
void complexFftSmallK(const R* src, R* dst, int order, bool inverse, R scale) {
  if (inverse) {
    complexSmall<R, true>(src, dst, order, scale);
  } else {
    complexSmall<R, false>(src, dst, order, scale);
  }
}

template <Isa I, class R>
void realFftSmallK(const R* src, R* dst, int order, bool toSpectrum, int format, bool inverse,
                   R scale) {
  if (inverse) {
    realSmall<R, true>(src, dst, order, toSpectrum, format, scale);
  } else {
    realSmall<R, false>(src, dst, order, toSpectrum, format, scale);
  }
}

#define KVO_INSTANTIATE_FFT_SMALL(R)                                      \
  template void complexFftSmallK<KVO_ISA, R>(const R*, R*, int, bool, R); \
  template void realFftSmallK<KVO_ISA, R>(const R*, R*, int, bool, int, bool, R);
KVO_INSTANTIATE_FFT_SMALL(float)
KVO_INSTANTIATE_FFT_SMALL(double)
#undef KVO_INSTANTIATE_FFT_SMALL

}  // namespace kvo::kern
