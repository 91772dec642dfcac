// IIR kernels for one instruction-set level; included by iir_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow and iir.h for the arithmetic.
#include <cstddef>
#include <type_traits>

#include "kernels/filter/iir.h"
#include "kernels/ftz.h"

#include <immintrin.h>

// GCC 12's vectoriser rewrites complex products into fused multiply-adds (fmaddsub) although
// contraction is off, which would make the levels disagree; the lane kernels below are written
// with explicit vectors, so nothing is lost by keeping it out of this file.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-vectorize", "no-tree-slp-vectorize")
#endif

namespace kvo::kern {
namespace {

// Values of the wide vector types below are passed only to internal functions of this file, which
// the compiler inlines; no call with them crosses a boundary where the vector ABI matters.
#pragma GCC diagnostic ignored "-Wpsabi"

// ---- double-precision values in registers, real or complex ----

struct Cx {
  double re, im;
};
KVO_KERNEL_INLINE Cx operator+(Cx a, Cx b) { return {a.re + b.re, a.im + b.im}; }
KVO_KERNEL_INLINE Cx operator-(Cx a, Cx b) { return {a.re - b.re, a.im - b.im}; }
KVO_KERNEL_INLINE Cx operator*(Cx a, Cx b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
KVO_KERNEL_INLINE Cx operator*(double a, Cx b) { return {a * b.re, a * b.im}; }
KVO_KERNEL_INLINE Cx operator*(Cx a, double b) { return {a.re * b, a.im * b}; }

template <class T>
using Wide = std::conditional_t<kIsComplex<T>, Cx, double>;

template <class T>
KVO_KERNEL_INLINE Wide<T> widen(const T& v) {
  if constexpr (kIsComplex<T>) {
    return {double(v.re), double(v.im)};
  } else {
    return double(v);
  }
}
template <class D>
KVO_KERNEL_INLINE D narrow(const Wide<D>& v) {
  if constexpr (kIsComplex<D>) {
    using R = RealOf<D>;
    return {R(v.re), R(v.im)};
  } else {
    return D(v);
  }
}
// A float that the optimiser must take as it is. GCC 12's vectoriser folds the pair of
// conversions double -> float -> double of complex values away, so the rounding of the delay line
// would vanish in registers but not in memory; an empty asm pins the float down.
KVO_KERNEL_INLINE float pinned(float f) {
#if defined(__SSE2__)
  asm("" : "+x"(f));
#else
  volatile float v = f;
  f = v;
#endif
  return f;
}

// The value as the delay line keeps it.
template <class D>
KVO_KERNEL_INLINE Wide<D> kept(const Wide<D>& v) {
  if constexpr (std::is_same_v<D, ComplexFloat>) {
    return {double(pinned(float(v.re))), double(pinned(float(v.im)))};
  } else if constexpr (std::is_same_v<D, float>) {
    return double(pinned(float(v)));
  } else {
    return widen(narrow<D>(v));
  }
}

// ---- direct form II, flow-reversed ----

// Order N known at compile time (N > 0): the partial sums and the taps stay in registers. N = 0
// runs any order with the partial sums in the caller's delay line (the values are the same: each
// is rounded to the element type as it is stored).
template <int N, class C, class X, class D>
void directRun(const C* c, int order, D* d, const X* in, D* out, std::size_t n) {
  using A = Wide<D>;
  constexpr bool kFixed = N > 0;
  const int m = kFixed ? N : order;
  Wide<C> cb[kFixed ? N + 1 : 1], ca[kFixed ? N + 1 : 1];
  A s[kFixed ? N : 1];
  if constexpr (kFixed) {
    for (int k = 0; k <= N; ++k) cb[k] = widen(c[k]);
    for (int k = 1; k <= N; ++k) ca[k] = widen(c[N + k]);
    for (int k = 0; k < N; ++k) s[k] = widen(d[k]);
  }
  auto b = [&](int k) {
    if constexpr (kFixed)
      return cb[k];
    else
      return widen(c[k]);
  };
  auto a = [&](int k) {
    if constexpr (kFixed)
      return ca[k];
    else
      return widen(c[m + k]);
  };
  auto get = [&](int k) {
    if constexpr (kFixed)
      return s[k];
    else
      return widen(d[k]);
  };
  auto set = [&](int k, const A& v) {
    if constexpr (kFixed)
      s[k] = kept<D>(v);
    else
      d[k] = narrow<D>(v);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = widen(in[i]);
    const A y = b(0) * x + get(0);
    for (int k = 1; k < m; ++k) set(k - 1, b(k) * x - a(k) * y + get(k));
    set(m - 1, b(m) * x - a(m) * y);
    out[i] = narrow<D>(y);
  }
  if constexpr (kFixed) {
    for (int k = 0; k < N; ++k) d[k] = narrow<D>(s[k]);
  }
}

template <class C, class X, class D, int... Ns>
void directOrder(const C* c, int order, D* d, const X* in, D* out, std::size_t n,
                 std::integer_sequence<int, Ns...>) {
  bool done = false;
  ((!done && order == Ns + 1 ? (directRun<Ns + 1>(c, order, d, in, out, n), done = true) : false),
   ...);
  if (!done) directRun<0>(c, order, d, in, out, n);
}

// ---- biquads, one section after the other ----

// Two samples per pass through the sections: the second sample's section j depends only on the
// first sample's section j, so the two chains overlap.
template <class C, class X, class D>
void biquadScalar(const C* c, int numQuads, D* d, const X* in, D* out, std::size_t n) {
  using A = Wide<D>;
  const Wide<C> g = widen(c[0]);
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    A u = g * widen(in[i]), v = g * widen(in[i + 1]);
    for (int j = 0; j < numQuads; ++j) {
      const C* q = c + 1 + 4 * j;
      const Wide<C> p1 = widen(q[0]), p2 = widen(q[1]), q1 = widen(q[2]), q2 = widen(q[3]);
      const A w1 = widen(d[2 * j]), w2 = widen(d[2 * j + 1]);
      const A wu = u - p1 * w1 - p2 * w2;
      u = wu + q1 * w1 + q2 * w2;
      const A ku = kept<D>(wu);
      const A wv = v - p1 * ku - p2 * w1;
      v = wv + q1 * ku + q2 * w1;
      d[2 * j] = narrow<D>(wv);
      d[2 * j + 1] = narrow<D>(ku);
    }
    out[i] = narrow<D>(u);
    out[i + 1] = narrow<D>(v);
  }
  for (; i < n; ++i) {
    A v = g * widen(in[i]);
    for (int j = 0; j < numQuads; ++j) {
      const C* q = c + 1 + 4 * j;
      const A w1 = widen(d[2 * j]), w2 = widen(d[2 * j + 1]);
      const A w = v - widen(q[0]) * w1 - widen(q[1]) * w2;
      v = w + widen(q[2]) * w1 + widen(q[3]) * w2;
      d[2 * j + 1] = d[2 * j];
      d[2 * j] = narrow<D>(w);
    }
    out[i] = narrow<D>(v);
  }
}

// ---- biquads of real data, the sections skewed across vector lanes ----
//
// Lane l of group g holds section s = g*V + l. At step t section s works on sample t - 2s, taking
// as its input what section s-1 produced two steps earlier, so all sections of a step are
// independent and run side by side, and two steps are in flight at once: the chain from one
// section to the next (two subtractions, two additions and a lane shift) is spread over two
// steps, leaving each section's own recurrence as the bound. Each section does exactly the
// operations of biquadScalar, in the same order, so the results are the same bits. The first and
// the last 2(S-1) steps, where some sections have no sample, keep those sections' states.
//
// The recurrence of a section is w1 -> p1*w1 -> vin - . -> . - p2*w2 -> w, and for float data
// the rounding of w to float before it comes back as w1. The conversions double -> float ->
// double take longer than the three operations together, so the float kernel rounds on the bits
// instead (add half a float unit in the last place, clear the low 29 bits: two integer
// operations). That is round-half-up and knows nothing of the float range; the conversion pair
// still runs beside it, off the recurrence, and a step whose two roundings differ in any lane
// (a tie, a value beyond the float range, one that the flush to zero takes) takes the
// conversions' values instead. The check is a branch the processor predicts, so the recurrence
// waits only for the bit rounding.

template <int V>
struct Lanes {
  typedef double D __attribute__((vector_size(V * sizeof(double))));
  typedef float F __attribute__((vector_size(V * sizeof(float))));
  typedef long long I __attribute__((vector_size(V * sizeof(double))));
};

// [carry[V-1], a[0], ..., a[V-2]]: the lanes move up by one, the carry's top lane comes in.
template <class Vd>
KVO_KERNEL_INLINE Vd shiftIn(Vd a, Vd carry) {
  constexpr int kLanes = sizeof(Vd) / sizeof(double);
  if constexpr (kLanes == 2) {
    return __builtin_shufflevector(a, carry, 3, 0);
  } else if constexpr (kLanes == 4) {
    return __builtin_shufflevector(a, carry, 7, 0, 1, 2);
  } else {
    return __builtin_shufflevector(a, carry, 15, 0, 1, 2, 3, 4, 5, 6);
  }
}

// The lanes rounded to float and widened again, as the delay line keeps them. Two lanes go through
// a full register of floats: a vector of two floats would take a trip through memory.
template <int V>
KVO_KERNEL_INLINE typename Lanes<V>::D roundedExact(typename Lanes<V>::D w) {
  if constexpr (V == 2) {
    return _mm_cvtps_pd(_mm_cvtpd_ps(w));
  } else {
    return __builtin_convertvector(__builtin_convertvector(w, typename Lanes<V>::F),
                                   typename Lanes<V>::D);
  }
}
// The same on the bits, exact for values in the float range that are not ties (see above).
template <int V>
KVO_KERNEL_INLINE typename Lanes<V>::D roundedBits(typename Lanes<V>::D w) {
  using Vi = typename Lanes<V>::I;
  // Vector casts reinterpret the bits.
  return (typename Lanes<V>::D)((((Vi)w) + 0x10000000) & (~Vi{} << 29));
}

template <class Vi>
KVO_KERNEL_INLINE bool anyBits(Vi v) {
  if constexpr (sizeof(Vi) == 16) {
#if defined(__SSE4_1__)
    return !_mm_testz_si128(__m128i(v), __m128i(v));
#else
    return _mm_movemask_epi8(_mm_cmpeq_epi8(__m128i(v), _mm_setzero_si128())) != 0xffff;
#endif
  } else if constexpr (sizeof(Vi) == 64) {
#if defined(__AVX512F__)
    return _mm512_test_epi64_mask(__m512i(v), __m512i(v)) != 0;
#else
    return anyBits(__builtin_shufflevector(v, v, 0, 1, 2, 3) |
                   __builtin_shufflevector(v, v, 4, 5, 6, 7));
#endif
  } else {
#if defined(__AVX__)
    return !_mm256_testz_si256(__m256i(v), __m256i(v));
#else
    long long all = 0;
    for (std::size_t l = 0; l < sizeof(Vi) / sizeof(long long); ++l) all |= v[l];
    return all != 0;
#endif
  }
}

// kBits: round float states on the bits (worth it while the recurrence, not the number of
// operations, bounds a step).
template <int V, int G, bool kBits, class T>
void biquadSkewed(const T* c, int numQuads, T* d, const T* in, T* out, std::size_t n) {
  using Vd = typename Lanes<V>::D;
  using Vi = typename Lanes<V>::I;
  constexpr bool kFloat = std::is_same_v<T, float>;
  const int S = numQuads;
  const int runtimeG = (S + V - 1) / V;
  constexpr int kMaxG = G > 0 ? G : 1;
  const int groups = G > 0 ? G : runtimeG;
  // Runtime group counts keep their vectors in a small fixed array (callers bound them).
  constexpr int kCap = G > 0 ? G : 16;
  static_assert(kMaxG <= kCap);
  constexpr int kSkew = 2;
  Vd p1[kCap], p2[kCap], q1[kCap], q2[kCap], w1[kCap], w2[kCap], sec[kCap];
  Vd voEven[kCap], voOdd[kCap];  // the outputs of the last even and odd steps
  for (int g = 0; g < groups; ++g) {
    for (int l = 0; l < V; ++l) {
      const int s = g * V + l;
      const bool real = s < S;
      p1[g][l] = real ? double(c[1 + 4 * s]) : 0.0;
      p2[g][l] = real ? double(c[2 + 4 * s]) : 0.0;
      q1[g][l] = real ? double(c[3 + 4 * s]) : 0.0;
      q2[g][l] = real ? double(c[4 + 4 * s]) : 0.0;
      w1[g][l] = real ? double(d[2 * s]) : 0.0;
      w2[g][l] = real ? double(d[2 * s + 1]) : 0.0;
      voEven[g][l] = voOdd[g][l] = 0.0;
      sec[g][l] = real ? double(kSkew * s) : 1e300;  // padding lanes never take a sample
    }
  }
  const double gain = double(c[0]);
  const int lastG = (S - 1) / V, lastL = (S - 1) % V;
  const std::size_t fill = std::size_t(kSkew) * (S - 1), steps = n + fill;
  // One step; vo holds the outputs of step t-2 and receives those of step t.
  auto step = [&](std::size_t t, auto masked, Vd* vo) {
    constexpr bool kMasked = decltype(masked)::value;
    constexpr bool kByBits = kFloat && kBits && !kMasked;
    const double x = t < n ? gain * double(in[t]) : 0.0;
    const Vd carry = Vd{} + x;
    Vd exact[kCap];
    Vi differ{};
    for (int g = groups - 1; g >= 0; --g) {  // downwards: vo[g-1] is still step t-2's
      const Vd vin = shiftIn(vo[g], g ? vo[g - 1] : carry);
      const Vd w = vin - p1[g] * w1[g] - p2[g] * w2[g];
      vo[g] = w + q1[g] * w1[g] + q2[g] * w2[g];
      Vd kept = w;
      if constexpr (kFloat) kept = roundedExact<V>(w);
      if constexpr (kByBits) {
        exact[g] = kept;
        kept = roundedBits<V>(w);
        differ |= (Vi)kept ^ (Vi)exact[g];
      }
      if constexpr (kMasked) {
        const Vd k = double(t) - sec[g];
        const auto on = (k >= 0.0) & (k < double(n));
        w2[g] = on ? w1[g] : w2[g];
        w1[g] = on ? kept : w1[g];
      } else {
        w2[g] = w1[g];
        w1[g] = kept;
      }
    }
    if constexpr (kByBits) {
      if (__builtin_expect(anyBits(differ), 0)) {
        for (int g = 0; g < groups; ++g) w1[g] = exact[g];
      }
    }
    if (t >= fill) out[t - fill] = T(vo[lastG][lastL]);
  };
  auto masked = [&](std::size_t t) { step(t, std::true_type{}, t & 1 ? voOdd : voEven); };
  std::size_t t = 0;
  for (; t < fill && t < steps; ++t) masked(t);
  if (t < n && (t & 1)) masked(t++);
  for (; t + 2 <= n; t += 2) {
    step(t, std::false_type{}, voEven);
    step(t + 1, std::false_type{}, voOdd);
  }
  for (; t < steps; ++t) masked(t);
  for (int g = 0; g < groups; ++g) {
    for (int l = 0; l < V; ++l) {
      const int s = g * V + l;
      if (s >= S) continue;
      d[2 * s] = T(w1[g][l]);
      d[2 * s + 1] = T(w2[g][l]);
    }
  }
}

// Lanes per group: four where the level has them. Wider vectors would halve the groups, but their
// additions take twice as long, and a step is as long as its recurrence.
constexpr int groupLanes() { return KVO_ISA == Isa::Sse2 ? 2 : 4; }

template <int V, class T>
void biquadLanes(const T* c, int numQuads, T* d, const T* in, T* out, std::size_t n) {
  switch ((numQuads + V - 1) / V) {
    case 1:
      return biquadSkewed<V, 1, true>(c, numQuads, d, in, out, n);
    case 2:
      return biquadSkewed<V, 2, true>(c, numQuads, d, in, out, n);
    case 3:
      return biquadSkewed<V, 3, false>(c, numQuads, d, in, out, n);
    case 4:
      return biquadSkewed<V, 4, false>(c, numQuads, d, in, out, n);
    default:
      return biquadSkewed<V, 0, false>(c, numQuads, d, in, out, n);
  }
}

}  // namespace

template <Isa I, class C, class X, class D>
void iirDirectK(const C* c, int order, D* d, const X* in, D* out, std::size_t n) {
  static_assert(I == KVO_ISA);
  FlushDenormals ftz;
  if (order == 0) {
    const Wide<C> b0 = widen(c[0]);
    for (std::size_t i = 0; i < n; ++i) out[i] = narrow<D>(b0 * widen(in[i]));
    return;
  }
  directOrder(c, order, d, in, out, n, std::make_integer_sequence<int, 16>{});
}

template <Isa I, class C, class X, class D>
void iirBiquadK(const C* c, int numQuads, D* d, const X* in, D* out, std::size_t n) {
  static_assert(I == KVO_ISA);
  FlushDenormals ftz;
  constexpr bool kReal = !kIsComplex<C> && !kIsComplex<X>;
  // Long blocks of real data go through the lanes, a single section too (its recurrence is
  // shorter there for float data).
  if constexpr (kReal) {
    constexpr int kLanes = groupLanes();
    if (n >= 4 && numQuads <= 16 * kLanes) {
      if (numQuads <= 2) return biquadLanes<2>(c, numQuads, d, in, out, n);
      return biquadLanes<kLanes>(c, numQuads, d, in, out, n);
    }
  }
  biquadScalar(c, numQuads, d, in, out, n);
}

#define KVO_IIR_INSTANCE(C, X, D)                                                           \
  template void iirDirectK<KVO_ISA, C, X, D>(const C*, int, D*, const X*, D*, std::size_t); \
  template void iirBiquadK<KVO_ISA, C, X, D>(const C*, int, D*, const X*, D*, std::size_t);
KVO_FOR_IIR(KVO_IIR_INSTANCE)
#undef KVO_IIR_INSTANCE

}  // namespace kvo::kern
