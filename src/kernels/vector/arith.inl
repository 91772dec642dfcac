// Block arithmetic kernels for one instruction-set level; included by arith_<level>.cpp after
// KVO_ISA is defined. See isa.h for the rules these files follow.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/vector/arith.h"

namespace kvo::kern {
namespace {

template <class Op, class R>
void realLoop(const R* a, const R* b, R* d, std::size_t m) {
  KVO_IVDEP for (std::size_t i = 0; i < m; ++i) d[i] = Op::apply(a[i], b[i]);
}

template <class Op, class R>
void realScalarLoop(const R* a, R v, R* d, std::size_t m) {
  KVO_IVDEP for (std::size_t i = 0; i < m; ++i) d[i] = Op::apply(a[i], v);
}

template <class Op, class R>
void pairScalarLoop(const R* a, R vr, R vi, R* d, std::size_t n) {
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
    d[2 * i] = Op::apply(a[2 * i], vr);
    d[2 * i + 1] = Op::apply(a[2 * i + 1], vi);
  }
}

// Complex products, vectorised. Lanes hold interleaved (re, im) pairs of doubles; with A = (ar, ai)
// and B = (br, bi): Are = (ar, ar), Aim = (ai, ai), Bsw = (bi, br). For float data the products are
// exact in double, so (Are*B) -/+ (Aim*Bsw) rounds once; for double data Kahan's correction of
// complex.h is applied lane by lane, with the same fallback, so results match cmul() bit for bit.
#if defined(__AVX512F__)

using VD = __m512d;
KVO_KERNEL_INLINE VD loadDoublePairs(const ComplexDouble* p) { return _mm512_loadu_pd(&p->re); }
KVO_KERNEL_INLINE void storeDoublePairs(ComplexDouble* p, VD v) { _mm512_storeu_pd(&p->re, v); }
KVO_KERNEL_INLINE VD broadcastPair(double re, double im) {
  return _mm512_setr_pd(re, im, re, im, re, im, re, im);
}
KVO_KERNEL_INLINE VD dupRe(VD v) { return _mm512_movedup_pd(v); }
KVO_KERNEL_INLINE VD dupIm(VD v) { return _mm512_permute_pd(v, 0xFF); }
KVO_KERNEL_INLINE VD swapPairs(VD v) { return _mm512_permute_pd(v, 0x55); }
KVO_KERNEL_INLINE VD mul(VD a, VD b) { return _mm512_mul_pd(a, b); }
KVO_KERNEL_INLINE VD fmaddsub(VD a, VD b, VD c) { return _mm512_fmaddsub_pd(a, b, c); }
KVO_KERNEL_INLINE VD fmsub(VD a, VD b, VD c) { return _mm512_fmsub_pd(a, b, c); }
KVO_KERNEL_INLINE VD subAdd(VD a, VD b) {  // (a0 - b0, a1 + b1, ...)
  const __m512d evenSign = _mm512_castsi512_pd(_mm512_set4_epi64(0, INT64_MIN, 0, INT64_MIN));
  return _mm512_add_pd(a, _mm512_xor_pd(b, evenSign));
}
KVO_KERNEL_INLINE VD finiteOr(VD r, VD fallback) {
  const __mmask8 finite = _mm512_cmp_pd_mask(_mm512_sub_pd(r, r), _mm512_setzero_pd(), _CMP_EQ_OQ);
  return _mm512_mask_blend_pd(finite, fallback, r);
}
#define KVO_HAVE_FMA 1

// Eight float products per step in planar form: one permute splits real and imaginary parts of
// eight elements, so the widening conversions carry no duplicated lanes (a fifth fewer shuffle
// and conversion operations than the interleaved form on this level).
constexpr std::size_t kFloatBlock = 8;
template <bool kScalarB>
KVO_KERNEL_INLINE void cmulFloatBlock(const ComplexFloat* a, const ComplexFloat* b,
                                      ComplexFloat* d) {
  const __m512i split = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
  const __m512i join = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
  const __m512 pa = _mm512_permutexvar_ps(split, _mm512_loadu_ps(&a->re));
  const __m512d ar = _mm512_cvtps_pd(_mm512_castps512_ps256(pa));
  const __m512d ai = _mm512_cvtps_pd(_mm512_extractf32x8_ps(pa, 1));
  __m512d br, bi;
  if constexpr (kScalarB) {
    br = _mm512_set1_pd(b->re);
    bi = _mm512_set1_pd(b->im);
  } else {
    const __m512 pb = _mm512_permutexvar_ps(split, _mm512_loadu_ps(&b->re));
    br = _mm512_cvtps_pd(_mm512_castps512_ps256(pb));
    bi = _mm512_cvtps_pd(_mm512_extractf32x8_ps(pb, 1));
  }
  // The products are exact in double, so fusing the second one changes nothing.
  const __m256 re = _mm512_cvtpd_ps(_mm512_fmsub_pd(ar, br, _mm512_mul_pd(ai, bi)));
  const __m256 im = _mm512_cvtpd_ps(_mm512_fmadd_pd(ar, bi, _mm512_mul_pd(ai, br)));
  _mm512_storeu_ps(
      &d->re, _mm512_permutex2var_ps(_mm512_castps256_ps512(re), join, _mm512_castps256_ps512(im)));
}

#elif defined(__AVX2__)

constexpr std::size_t kFloatPairs = 2;
using VD = __m256d;
KVO_KERNEL_INLINE VD loadFloatPairs(const ComplexFloat* p) {
  return _mm256_cvtps_pd(_mm_loadu_ps(&p->re));
}
KVO_KERNEL_INLINE void storeFloatPairs(ComplexFloat* p, VD v) {
  _mm_storeu_ps(&p->re, _mm256_cvtpd_ps(v));
}
KVO_KERNEL_INLINE VD loadDoublePairs(const ComplexDouble* p) { return _mm256_loadu_pd(&p->re); }
KVO_KERNEL_INLINE void storeDoublePairs(ComplexDouble* p, VD v) { _mm256_storeu_pd(&p->re, v); }
KVO_KERNEL_INLINE VD broadcastPair(double re, double im) { return _mm256_setr_pd(re, im, re, im); }
KVO_KERNEL_INLINE VD dupRe(VD v) { return _mm256_movedup_pd(v); }
KVO_KERNEL_INLINE VD dupIm(VD v) { return _mm256_permute_pd(v, 0xF); }
KVO_KERNEL_INLINE VD swapPairs(VD v) { return _mm256_permute_pd(v, 0x5); }
KVO_KERNEL_INLINE VD mul(VD a, VD b) { return _mm256_mul_pd(a, b); }
KVO_KERNEL_INLINE VD fmaddsub(VD a, VD b, VD c) { return _mm256_fmaddsub_pd(a, b, c); }
KVO_KERNEL_INLINE VD fmsub(VD a, VD b, VD c) { return _mm256_fmsub_pd(a, b, c); }
KVO_KERNEL_INLINE VD subAdd(VD a, VD b) { return _mm256_addsub_pd(a, b); }
KVO_KERNEL_INLINE VD finiteOr(VD r, VD fallback) {
  const __m256d finite = _mm256_cmp_pd(_mm256_sub_pd(r, r), _mm256_setzero_pd(), _CMP_EQ_OQ);
  return _mm256_blendv_pd(fallback, r, finite);
}
#define KVO_HAVE_FMA 1

#else

constexpr std::size_t kFloatPairs = 1;
using VD = __m128d;
KVO_KERNEL_INLINE VD loadFloatPairs(const ComplexFloat* p) {
  return _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))));
}
KVO_KERNEL_INLINE void storeFloatPairs(ComplexFloat* p, VD v) {
  _mm_store_sd(reinterpret_cast<double*>(p), _mm_castps_pd(_mm_cvtpd_ps(v)));
}
KVO_KERNEL_INLINE VD broadcastPair(double re, double im) { return _mm_setr_pd(re, im); }
KVO_KERNEL_INLINE VD dupRe(VD v) { return _mm_unpacklo_pd(v, v); }
KVO_KERNEL_INLINE VD dupIm(VD v) { return _mm_unpackhi_pd(v, v); }
KVO_KERNEL_INLINE VD swapPairs(VD v) { return _mm_shuffle_pd(v, v, 1); }
KVO_KERNEL_INLINE VD mul(VD a, VD b) { return _mm_mul_pd(a, b); }
KVO_KERNEL_INLINE VD subAdd(VD a, VD b) {
  return _mm_add_pd(a, _mm_xor_pd(b, _mm_castsi128_pd(_mm_set_epi64x(0, INT64_MIN))));
}
// Without hardware FMA the double products take the scalar path (std::fma), see cmulDouble.
#define KVO_HAVE_FMA 0

#endif

#if !defined(__AVX512F__)
// Two independent steps per block keep both multiply ports busy.
constexpr std::size_t kFloatBlock = 2 * kFloatPairs;
template <bool kScalarB>
KVO_KERNEL_INLINE void cmulFloatBlock(const ComplexFloat* a, const ComplexFloat* b,
                                      ComplexFloat* d) {
  const VD a0 = loadFloatPairs(a);
  const VD a1 = loadFloatPairs(a + kFloatPairs);
  const VD b0 = kScalarB ? broadcastPair(b->re, b->im) : loadFloatPairs(b);
  const VD b1 = kScalarB ? b0 : loadFloatPairs(b + kFloatPairs);
  storeFloatPairs(d, subAdd(mul(dupRe(a0), b0), mul(dupIm(a0), swapPairs(b0))));
  storeFloatPairs(d + kFloatPairs, subAdd(mul(dupRe(a1), b1), mul(dupIm(a1), swapPairs(b1))));
}
#endif

// B is either a vector (kScalarB false) or one value applied to every element.
template <bool kScalarB>
void cmulFloat(const ComplexFloat* a, const ComplexFloat* b, ComplexFloat* d, std::size_t n) {
  std::size_t i = 0;
  for (; i + kFloatBlock <= n; i += kFloatBlock) {
    cmulFloatBlock<kScalarB>(a + i, kScalarB ? b : b + i, d + i);
  }
  for (; i < n; ++i) d[i] = cmul(a[i], kScalarB ? *b : b[i]);
}

template <bool kScalarB>
void cmulDouble(const ComplexDouble* a, const ComplexDouble* b, ComplexDouble* d, std::size_t n) {
  std::size_t i = 0;
#if KVO_HAVE_FMA
  {
    constexpr std::size_t kStep = sizeof(VD) / sizeof(ComplexDouble);
    const VD bFixed = broadcastPair(b->re, b->im);
    for (; i + kStep <= n; i += kStep) {
      const VD va = loadDoublePairs(a + i);
      const VD vb = kScalarB ? bFixed : loadDoublePairs(b + i);
      const VD aIm = dupIm(va);
      const VD bSw = swapPairs(vb);
      const VD w = mul(aIm, bSw);
      const VD e = fmsub(aIm, bSw, w);  // exact error of w
      const VD aRe = dupRe(va);
      const VD f = fmaddsub(aRe, vb, w);  // ar*br - w, ar*bi + w'
      storeDoublePairs(d + i, finiteOr(subAdd(f, e), subAdd(mul(aRe, vb), w)));
    }
  }
#endif
  for (; i < n; ++i) d[i] = cmul(a[i], kScalarB ? *b : b[i]);
}

}  // namespace

template <Isa I, class Op, class T>
void binaryK(const T* a, const T* b, T* d, std::size_t n) {
  if constexpr (std::is_same_v<Op, Mpy> && std::is_same_v<T, ComplexFloat>) {
    cmulFloat<false>(a, b, d, n);
  } else if constexpr (std::is_same_v<Op, Mpy> && std::is_same_v<T, ComplexDouble>) {
    cmulDouble<false>(a, b, d, n);
  } else if constexpr (kIsComplex<T>) {
    realLoop<Op>(&a->re, &b->re, &d->re, 2 * n);
  } else {
    realLoop<Op>(a, b, d, n);
  }
}

template <Isa I, class Op, class T>
void binaryScalarK(const T* a, T v, T* d, std::size_t n) {
  if constexpr (std::is_same_v<Op, Mpy> && std::is_same_v<T, ComplexFloat>) {
    cmulFloat<true>(a, &v, d, n);
  } else if constexpr (std::is_same_v<Op, Mpy> && std::is_same_v<T, ComplexDouble>) {
    cmulDouble<true>(a, &v, d, n);
  } else if constexpr (kIsComplex<T>) {
    pairScalarLoop<Op>(&a->re, v.re, v.im, &d->re, n);
  } else {
    realScalarLoop<Op>(a, v, d, n);
  }
}

#define KVO_INSTANTIATE_ARITH(Op, T)                                          \
  template void binaryK<KVO_ISA, Op, T>(const T*, const T*, T*, std::size_t); \
  template void binaryScalarK<KVO_ISA, Op, T>(const T*, T, T*, std::size_t);
KVO_FOR_ARITH(KVO_INSTANTIATE_ARITH)
#undef KVO_INSTANTIATE_ARITH

}  // namespace kvo::kern
