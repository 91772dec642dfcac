// Conversion kernels for one instruction-set level; included by cvt_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow.
//
// The loops are free of branches, so the compiler turns them into whole registers at every level;
// float sources also have explicit vector code from AVX2 on. GCC assumes by default that
// floating-point steps may trap and then keeps the rounding steps apart from the vector code;
// nothing in these loops can trap (their conversions only ever see values in range), so it may
// treat them as plain operations. The option must come before the headers, so that their inline
// functions carry it too.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-trapping-math")
#endif

#include <immintrin.h>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "kernels/vector/cvt.h"

namespace kvo::kern {
namespace {

template <int W>
using OutOf = std::conditional_t<W == 8, std::int8_t,
                                 std::conditional_t<W == 16, std::int16_t, std::int32_t>>;

// y rounded to an integer, for |y| < 2^30, whatever rounding mode the caller has set. From AVX2
// on, floor, ceil and trunc are single instructions that carry their own direction; nearest is
// floor(y) plus one where the (exact) remainder y - floor(y) is above one half, or exactly one
// half with floor(y) odd. SSE2 has only the truncating conversion; it is exact there, and so are
// t = trunc(y) and y - t, so exact corrections to t give the same results.
template <Round M, class C>
KVO_KERNEL_INLINE int roundValue(C y) {
  if constexpr (M == Round::Zero) return static_cast<int>(y);
#if defined(__AVX2__)
  if constexpr (M == Round::Up) return static_cast<int>(std::ceil(y));
  const C below = std::floor(y);
  const int down = static_cast<int>(below);
  if constexpr (M == Round::Down) return down;
  if constexpr (M == Round::Nearest) {
    const C frac = y - below;
    return down + ((int(frac > C(0.5)) | (int(frac == C(0.5)) & down)) & 1);
  }
#else
  const int whole = static_cast<int>(y);
  const C t = static_cast<C>(whole);
  if constexpr (M == Round::Down) return whole - int(t > y);
  if constexpr (M == Round::Up) return whole + int(t < y);
  if constexpr (M == Round::Nearest) {
    const C frac = std::fabs(y - t);
    const int away = (int(frac > C(0.5)) | (int(frac == C(0.5)) & whole)) & 1;  // ties to even
    return whole + (y < 0 ? -away : away);
  }
#endif
}

// The scalar route, for blocks with values beyond the fast range (large values, infinities, NaN).
template <class R, class Out>
bool convertSpan(const R* src, Out* out, std::size_t n, Round mode, const IntTarget& t) {
  bool outside = false;
  for (std::size_t k = 0; k < n; ++k) {
    out[k] = static_cast<Out>(convertOne(static_cast<double>(src[k]) * t.scale, mode, t, outside));
  }
  return outside;
}

// One block in C arithmetic; returns whether a value was beyond the fast range (|y| >= 2^30 or
// NaN), and notes in `outside` whether a rounded value fell outside [lo, hi]. Rounded values stay
// within 2^30 + 1, so bounds beyond the int range may be taken as its ends. Flags are ints and a
// lane is zeroed with a mask rather than a choice: both keep the loop free of branches.
template <Round M, bool Clip, class C, class R, class Out>
bool convertBlock(const R* src, Out* dst, std::size_t n, C scale, int lo, int hi, bool& outside) {
  using Bits = std::conditional_t<sizeof(C) == 4, std::int32_t, std::int64_t>;
  constexpr Bits kFastLimit = std::bit_cast<Bits>(C(1 << 30));
  int slow = 0, beyond = 0;
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) {
    const Bits bits = std::bit_cast<Bits>(static_cast<C>(src[k]) * scale);
    const Bits fast = (bits & std::numeric_limits<Bits>::max()) < kFastLimit;
    slow |= int(fast ^ 1);
    int r = roundValue<M>(std::bit_cast<C>(bits & -fast));
    beyond |= int(r < lo) | int(r > hi);
    if constexpr (Clip) r = r < lo ? lo : r > hi ? hi : r;
    dst[k] = static_cast<Out>(r);
  }
  outside |= beyond != 0;
  return slow != 0;
}

int intBound(double x) {
  constexpr double kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
  return static_cast<int>(x < kMin ? kMin : x > kMax ? kMax : x);
}

// Float sources, the hot case, get explicit vector code from AVX2 on: the rounding instructions
// there carry their direction in the instruction, so one instruction rounds (AVX-512 converts in
// the same step). A lane whose rounded value does not fit in an int (or NaN) converts to the
// "integer indefinite" INT_MIN; a step that meets one returns false, having written nothing, and
// the scalar route takes over (a true INT_MIN goes that way too, and is converted there).
// `outside` collects the lanes whose rounded value r lies outside [lo, hi], tested as
// r - lo > hi - lo in unsigned arithmetic.
#if defined(__AVX512F__) || defined(__AVX2__)
#define KVO_FLOAT_STEPS 1

template <Round M>
constexpr int kDirection = (M == Round::Nearest ? _MM_FROUND_TO_NEAREST_INT
                            : M == Round::Zero  ? _MM_FROUND_TO_ZERO
                            : M == Round::Down  ? _MM_FROUND_TO_NEG_INF
                                                : _MM_FROUND_TO_POS_INF) |
                           _MM_FROUND_NO_EXC;
#endif

#if defined(__AVX512F__)
constexpr std::size_t kFloatStep = 16;
using OutsideLanes = __mmask16;

template <Round M, bool Clip, class Out>
KVO_KERNEL_INLINE bool floatStep(const float* src, Out* dst, __m512 scale, __m512i lo, __m512i hi,
                                 OutsideLanes& outside) {
  const __m512 y = _mm512_mul_ps(_mm512_loadu_ps(src), scale);
  __m512i r = _mm512_cvt_roundps_epi32(y, kDirection<M>);
  if (_mm512_cmpeq_epi32_mask(r, _mm512_set1_epi32(INT32_MIN))) return false;
  outside |= _mm512_cmpgt_epu32_mask(_mm512_sub_epi32(r, lo), _mm512_sub_epi32(hi, lo));
  if constexpr (Clip) r = _mm512_min_epi32(_mm512_max_epi32(r, lo), hi);
  if constexpr (sizeof(Out) == 1)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm512_cvtepi32_epi8(r));
  if constexpr (sizeof(Out) == 2) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm512_cvtepi32_epi16(r));
  }
  if constexpr (sizeof(Out) == 4) _mm512_storeu_si512(dst, r);
  return true;
}

KVO_KERNEL_INLINE __m512 broadcast(float x) { return _mm512_set1_ps(x); }
KVO_KERNEL_INLINE __m512i broadcast(int x) { return _mm512_set1_epi32(x); }
KVO_KERNEL_INLINE bool anyOutside(OutsideLanes m) { return m != 0; }

#elif defined(__AVX2__)
constexpr std::size_t kFloatStep = 8;
using OutsideLanes = __m256i;

// The low 16 (or 8) bits of each 32-bit lane, sign-extended, so that the saturating packs keep
// exactly those bits.
template <int Bits>
KVO_KERNEL_INLINE __m128i lowBits(__m128i v) {
  return _mm_srai_epi32(_mm_slli_epi32(v, 32 - Bits), 32 - Bits);
}

template <Round M, bool Clip, class Out>
KVO_KERNEL_INLINE bool floatStep(const float* src, Out* dst, __m256 scale, __m256i lo, __m256i hi,
                                 OutsideLanes& outside) {
  const __m256 y = _mm256_mul_ps(_mm256_loadu_ps(src), scale);
  __m256i r = _mm256_cvttps_epi32(_mm256_round_ps(y, kDirection<M>));
  if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(r, _mm256_set1_epi32(INT32_MIN)))) return false;
  // r - lo > hi - lo unsigned: flip the sign bits and compare signed.
  const __m256i flip = _mm256_set1_epi32(INT32_MIN);
  outside = _mm256_or_si256(outside,
                            _mm256_cmpgt_epi32(_mm256_xor_si256(_mm256_sub_epi32(r, lo), flip),
                                               _mm256_xor_si256(_mm256_sub_epi32(hi, lo), flip)));
  if constexpr (Clip) r = _mm256_min_epi32(_mm256_max_epi32(r, lo), hi);
  const __m128i low = _mm256_castsi256_si128(r), high = _mm256_extracti128_si256(r, 1);
  if constexpr (sizeof(Out) == 1) {
    const __m128i words = _mm_packs_epi32(lowBits<8>(low), lowBits<8>(high));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packs_epi16(words, words));
  }
  if constexpr (sizeof(Out) == 2) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_packs_epi32(lowBits<16>(low), lowBits<16>(high)));
  }
  if constexpr (sizeof(Out) == 4) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), r);
  return true;
}

KVO_KERNEL_INLINE __m256 broadcast(float x) { return _mm256_set1_ps(x); }
KVO_KERNEL_INLINE __m256i broadcast(int x) { return _mm256_set1_epi32(x); }
KVO_KERNEL_INLINE bool anyOutside(OutsideLanes m) { return !_mm256_testz_si256(m, m); }
#endif

#if defined(KVO_FLOAT_STEPS)
template <Round M, bool Clip, class Out>
bool floatSteps(const float* src, Out* out, std::size_t n, const IntTarget& t) {
  const auto scale = broadcast(static_cast<float>(t.scale));
  const auto lo = broadcast(intBound(t.lo)), hi = broadcast(intBound(t.hi));
  OutsideLanes outside{};
  bool outsideSlow = false;
  const auto step = [&](std::size_t i) {
    if (!floatStep<M, Clip>(src + i, out + i, scale, lo, hi, outside)) {
      outsideSlow |= convertSpan(src + i, out + i, kFloatStep, M, t);
    }
  };
  std::size_t i = 0;
  for (; i + 2 * kFloatStep <= n; i += 2 * kFloatStep) {  // two independent steps a round
    step(i);
    step(i + kFloatStep);
  }
  for (; i + kFloatStep <= n; i += kFloatStep) step(i);
  outsideSlow |= convertSpan(src + i, out + i, n - i, M, t);
  return outsideSlow || anyOutside(outside);
}
#endif

}  // namespace

// Float sources to 8- and 16-bit destinations work in float (the scaled values are exact there);
// everything else in double. Blocks holding a value beyond the fast range are done again by the
// exact scalar route.
template <Isa I, class R, int W, Round M>
bool floatToIntK(const R* src, void* dst, std::size_t n, const IntTarget& t) {
  auto* out = static_cast<OutOf<W>*>(dst);
#if defined(KVO_FLOAT_STEPS)
  if constexpr (std::is_same_v<R, float>) {
    return t.clip ? floatSteps<M, true>(src, out, n, t) : floatSteps<M, false>(src, out, n, t);
  }
#endif
  using C = std::conditional_t<(std::is_same_v<R, float> && W < 32), float, double>;
  constexpr std::size_t kBlock = 4096;
  const C scale = static_cast<C>(t.scale);
  const int lo = intBound(t.lo), hi = intBound(t.hi);
  bool outside = false;
  for (std::size_t i = 0; i < n; i += kBlock) {
    const std::size_t m = n - i < kBlock ? n - i : kBlock;
    const bool slow = t.clip ? convertBlock<M, true>(src + i, out + i, m, scale, lo, hi, outside)
                             : convertBlock<M, false>(src + i, out + i, m, scale, lo, hi, outside);
    if (slow) outside |= convertSpan(src + i, out + i, m, M, t);
  }
  return outside;
}

// A power of two times an integer that float represents exactly (|v| < 2^24) is rounded once; a
// 32-bit integer is rounded by the conversion and then scaled exactly. Either way one rounding.
template <Isa I, class In, class R>
void intToFloatK(const In* src, R* dst, std::size_t n, R scale) {
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<R>(src[k]) * scale;
}

template <Isa I, PairOp Op, int Stride>
void pairK(const float* re, const float* im, float* dst, std::size_t n) {
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) {
    const double a = re[k * Stride];
    const double b = im[k * Stride];
    const double p = a * a + b * b;  // the squares of floats are exact in double
    if constexpr (Op == PairOp::Power) {
      dst[k] = static_cast<float>(p);
    } else if constexpr (Op == PairOp::Mag) {
      dst[k] = static_cast<float>(std::sqrt(p));
    } else {
      dst[k] = std::sqrt(static_cast<float>(p));
    }
  }
}

#define KVO_INSTANTIATE_CVT(R, W, M) \
  template bool floatToIntK<KVO_ISA, R, W, M>(const R*, void*, std::size_t, const IntTarget&);
KVO_FOR_CVT(KVO_INSTANTIATE_CVT)
#undef KVO_INSTANTIATE_CVT

#define KVO_INSTANTIATE_INT_TO_FLOAT(In, R) \
  template void intToFloatK<KVO_ISA, In, R>(const In*, R*, std::size_t, R);
KVO_FOR_INT_TO_FLOAT(KVO_INSTANTIATE_INT_TO_FLOAT)
#undef KVO_INSTANTIATE_INT_TO_FLOAT

#define KVO_INSTANTIATE_PAIR(Op, Stride) \
  template void pairK<KVO_ISA, Op, Stride>(const float*, const float*, float*, std::size_t);
KVO_FOR_PAIR(KVO_INSTANTIATE_PAIR)
#undef KVO_INSTANTIATE_PAIR
#undef KVO_FLOAT_STEPS

}  // namespace kvo::kern
