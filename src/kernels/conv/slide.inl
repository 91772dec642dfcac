// Sliding dot products for one instruction-set level; included by slide_<level>.cpp after
// KVO_ISA is defined. See isa.h for the rules these files follow.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kernels/conv/slide.h"

namespace kvo::kern {
namespace {

// Lanes<T, Acc>: a vector of W accumulators, loads of W data values widened to Acc.
template <class T, class Acc>
struct Lanes;

#if defined(__AVX512F__)
template <>
struct Lanes<float, float> {
  using V = __m512;
  static constexpr int W = 16;
  static V zero() { return _mm512_setzero_ps(); }
  static V set1(float v) { return _mm512_set1_ps(v); }
  static V load(const float* p) { return _mm512_loadu_ps(p); }
  static V fma(V a, V b, V c) { return _mm512_fmadd_ps(a, b, c); }
  static V add(V a, V b) { return _mm512_add_ps(a, b); }
  static void store(float* p, V v) { _mm512_storeu_ps(p, v); }
};
template <>
struct Lanes<double, double> {
  using V = __m512d;
  static constexpr int W = 8;
  static V zero() { return _mm512_setzero_pd(); }
  static V set1(double v) { return _mm512_set1_pd(v); }
  static V load(const double* p) { return _mm512_loadu_pd(p); }
  static V fma(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
  static V add(V a, V b) { return _mm512_add_pd(a, b); }
  static void store(double* p, V v) { _mm512_storeu_pd(p, v); }
};
template <>
struct Lanes<float, double> : Lanes<double, double> {
  static V load(const float* p) { return _mm512_cvtps_pd(_mm256_loadu_ps(p)); }
  using Lanes<double, double>::load;
};
#elif defined(__AVX2__) && defined(__FMA__)
template <>
struct Lanes<float, float> {
  using V = __m256;
  static constexpr int W = 8;
  static V zero() { return _mm256_setzero_ps(); }
  static V set1(float v) { return _mm256_set1_ps(v); }
  static V load(const float* p) { return _mm256_loadu_ps(p); }
  static V fma(V a, V b, V c) { return _mm256_fmadd_ps(a, b, c); }
  static V add(V a, V b) { return _mm256_add_ps(a, b); }
  static void store(float* p, V v) { _mm256_storeu_ps(p, v); }
};
template <>
struct Lanes<double, double> {
  using V = __m256d;
  static constexpr int W = 4;
  static V zero() { return _mm256_setzero_pd(); }
  static V set1(double v) { return _mm256_set1_pd(v); }
  static V load(const double* p) { return _mm256_loadu_pd(p); }
  static V fma(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
  static V add(V a, V b) { return _mm256_add_pd(a, b); }
  static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
};
template <>
struct Lanes<float, double> : Lanes<double, double> {
  static V load(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
  using Lanes<double, double>::load;
};
#else
// SSE2 has no fused multiply-add: the float product is rounded before it is added.
template <>
struct Lanes<float, float> {
  using V = __m128;
  static constexpr int W = 4;
  static V zero() { return _mm_setzero_ps(); }
  static V set1(float v) { return _mm_set1_ps(v); }
  static V load(const float* p) { return _mm_loadu_ps(p); }
  static V fma(V a, V b, V c) { return _mm_add_ps(_mm_mul_ps(a, b), c); }
  static V add(V a, V b) { return _mm_add_ps(a, b); }
  static void store(float* p, V v) { _mm_storeu_ps(p, v); }
};
template <>
struct Lanes<double, double> {
  using V = __m128d;
  static constexpr int W = 2;
  static V zero() { return _mm_setzero_pd(); }
  static V set1(double v) { return _mm_set1_pd(v); }
  static V load(const double* p) { return _mm_loadu_pd(p); }
  static V fma(V a, V b, V c) { return _mm_add_pd(_mm_mul_pd(a, b), c); }
  static V add(V a, V b) { return _mm_add_pd(a, b); }
  static void store(double* p, V v) { _mm_storeu_pd(p, v); }
};
template <>
struct Lanes<float, double> : Lanes<double, double> {
  static V load(const float* p) {
    return _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))));
  }
  using Lanes<double, double>::load;
};
#endif

// One output lane the scalar way: the product unrounded, the running value in Acc.
template <class T, class Acc>
KVO_KERNEL_INLINE Acc scalarLane(const T* c, int na, const T* b, int step) {
  Acc s = 0;
  for (int k = 0; k < na; ++k) {
    s = static_cast<Acc>(static_cast<double>(s) +
                         static_cast<double>(c[k]) * static_cast<double>(b[k * step]));
  }
  return s;
}

// U vectors of accumulators over U * W consecutive lanes.
template <class L, int U, class T, class Acc>
KVO_KERNEL_INLINE void block(const T* c, int na, const T* b, int step, Acc* out, bool add) {
  typename L::V acc[U];
  for (int u = 0; u < U; ++u) acc[u] = L::zero();
  for (int k = 0; k < na; ++k) {
    const typename L::V cv = L::set1(static_cast<Acc>(c[k]));
    const T* p = b + static_cast<std::ptrdiff_t>(k) * step;
    for (int u = 0; u < U; ++u) acc[u] = L::fma(cv, L::load(p + u * L::W), acc[u]);
  }
  for (int u = 0; u < U; ++u) {
    Acc* o = out + u * L::W;
    L::store(o, add ? L::add(L::load(o), acc[u]) : acc[u]);
  }
}

// One lane as a dot product along k (contiguous when step is 1), four vector accumulators: for
// few lanes and many coefficients, where a pass over the lanes would wait on its few chains.
template <class L, class T, class Acc>
KVO_KERNEL_INLINE Acc dotLane(const T* c, int na, const T* b) {
  constexpr int W = L::W;
  typename L::V acc[4] = {L::zero(), L::zero(), L::zero(), L::zero()};
  int k = 0;
  for (; k + 4 * W <= na; k += 4 * W) {
    for (int u = 0; u < 4; ++u) {
      acc[u] = L::fma(L::load(c + k + u * W), L::load(b + k + u * W), acc[u]);
    }
  }
  for (; k + W <= na; k += W) acc[0] = L::fma(L::load(c + k), L::load(b + k), acc[0]);
  alignas(64) Acc part[W];
  L::store(part, L::add(L::add(acc[0], acc[1]), L::add(acc[2], acc[3])));
  Acc s = 0;
  for (int i = 0; i < W; ++i) s += part[i];
  return static_cast<Acc>(s + scalarLane<T, Acc>(c + k, na - k, b + k, 1));
}

}  // namespace

template <Isa I, class T, class Acc>
void slideK(const T* c, int na, const T* b, int step, int lanes, Acc* out, bool add) {
  using L = Lanes<T, Acc>;
  constexpr int W = L::W;
  if (step == 1 && lanes < 4 * W && na >= 16 * W) {
    for (int l = 0; l < lanes; ++l) {
      const Acc s = dotLane<L, T, Acc>(c, na, b + l);
      out[l] = add ? static_cast<Acc>(out[l] + s) : s;
    }
    return;
  }
  int l = 0;
  for (; l + 4 * W <= lanes; l += 4 * W) block<L, 4>(c, na, b + l, step, out + l, add);
  for (; l + W <= lanes; l += W) block<L, 1>(c, na, b + l, step, out + l, add);
  for (; l < lanes; ++l) {
    const Acc s = scalarLane<T, Acc>(c, na, b + l, step);
    out[l] = add ? static_cast<Acc>(out[l] + s) : s;
  }
}

template void slideK<KVO_ISA, float, float>(const float*, int, const float*, int, int, float*,
                                            bool);
template void slideK<KVO_ISA, float, double>(const float*, int, const float*, int, int, double*,
                                             bool);
template void slideK<KVO_ISA, double, double>(const double*, int, const double*, int, int, double*,
                                              bool);

template <Isa I>
void wrapMacSatK(short* y, const short* a, int n, short v) {
  int i = 0;
#if defined(__AVX512BW__)
  const __m512i vv = _mm512_set1_epi16(v);
  for (; i + 32 <= n; i += 32) {
    const __m512i p = _mm512_mullo_epi16(_mm512_loadu_si512(a + i), vv);
    _mm512_storeu_si512(y + i, _mm512_adds_epi16(_mm512_loadu_si512(y + i), p));
  }
#elif defined(__AVX2__)
  const __m256i vv = _mm256_set1_epi16(v);
  for (; i + 16 <= n; i += 16) {
    const __m256i p =
        _mm256_mullo_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)), vv);
    __m256i* dst = reinterpret_cast<__m256i*>(y + i);
    _mm256_storeu_si256(dst, _mm256_adds_epi16(_mm256_loadu_si256(dst), p));
  }
#endif
  const __m128i v8 = _mm_set1_epi16(v);
  for (; i + 8 <= n; i += 8) {
    const __m128i p = _mm_mullo_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)), v8);
    __m128i* dst = reinterpret_cast<__m128i*>(y + i);
    _mm_storeu_si128(dst, _mm_adds_epi16(_mm_loadu_si128(dst), p));
  }
  for (; i < n; ++i) {
    const int s = y[i] + static_cast<short>(static_cast<std::uint16_t>(a[i] * v));
    y[i] = static_cast<short>(s > 32767 ? 32767 : s < -32768 ? -32768 : s);
  }
}
template void wrapMacSatK<KVO_ISA>(short*, const short*, int, short);

template <Isa I>
std::int32_t wrapDotK(const short* a, const short* b, int n) {
  std::uint32_t s = 0;
  for (int i = 0; i < n; ++i) s += static_cast<std::uint32_t>(int(a[i]) * int(b[i]));
  return static_cast<std::int32_t>(s);
}
template std::int32_t wrapDotK<KVO_ISA>(const short*, const short*, int);

template <Isa I>
void wideMacK(std::int32_t* acc, const short* p, int n, short v) {
  KVO_IVDEP for (int i = 0; i < n; ++i) {
    acc[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(acc[i]) +
                                       static_cast<std::uint32_t>(int(p[i]) * int(v)));
  }
}
template void wideMacK<KVO_ISA>(std::int32_t*, const short*, int, short);

template <Isa I>
void wrapCDotK(const short* a, bool aComplex, const short* b, bool bComplex, int n,
               std::int32_t* re, std::int32_t* im) {
  std::uint32_t sr = 0, si = 0;
  if (aComplex && bComplex) {  // conj(a) * b
    for (int i = 0; i < n; ++i) {
      const int ar = a[2 * i], ai = a[2 * i + 1], br = b[2 * i], bi = b[2 * i + 1];
      sr += static_cast<std::uint32_t>(ar * br) + static_cast<std::uint32_t>(ai * bi);
      si += static_cast<std::uint32_t>(ar * bi) - static_cast<std::uint32_t>(ai * br);
    }
  } else if (aComplex) {  // conj(a) * real b
    for (int i = 0; i < n; ++i) {
      sr += static_cast<std::uint32_t>(a[2 * i] * b[i]);
      si -= static_cast<std::uint32_t>(a[2 * i + 1] * b[i]);
    }
  } else {  // real a * complex b
    for (int i = 0; i < n; ++i) {
      sr += static_cast<std::uint32_t>(a[i] * b[2 * i]);
      si += static_cast<std::uint32_t>(a[i] * b[2 * i + 1]);
    }
  }
  *re = static_cast<std::int32_t>(sr);
  *im = static_cast<std::int32_t>(si);
}
template void wrapCDotK<KVO_ISA>(const short*, bool, const short*, bool, int, std::int32_t*,
                                 std::int32_t*);

}  // namespace kvo::kern
