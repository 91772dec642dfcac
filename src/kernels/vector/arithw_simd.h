// Packed 16-bit operations for the instruction-set level of the including kernel file (SSE2, AVX2
// or AVX-512BW), used by the 16-bit kernels. Only .inl files include this; everything here has
// internal linkage (see isa.h).
//
// Operations that move data between 16-bit and 32-bit lanes (packs, unpacks, byte shifts) work
// within each 128-bit lane at every level, so a sequence of them means the same at every width.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {
namespace {
namespace p16 {

#if defined(__AVX512BW__)

using V = __m512i;
KVO_KERNEL_INLINE V load(const void* p) { return _mm512_loadu_si512(p); }
KVO_KERNEL_INLINE void store(void* p, V v) { _mm512_storeu_si512(p, v); }
KVO_KERNEL_INLINE V set16(short x) { return _mm512_set1_epi16(x); }
KVO_KERNEL_INLINE V set32(std::int32_t x) { return _mm512_set1_epi32(x); }
KVO_KERNEL_INLINE V zero() { return _mm512_setzero_si512(); }
KVO_KERNEL_INLINE V add16(V a, V b) { return _mm512_add_epi16(a, b); }
KVO_KERNEL_INLINE V adds16(V a, V b) { return _mm512_adds_epi16(a, b); }
KVO_KERNEL_INLINE V sub16(V a, V b) { return _mm512_sub_epi16(a, b); }
KVO_KERNEL_INLINE V subs16(V a, V b) { return _mm512_subs_epi16(a, b); }
KVO_KERNEL_INLINE V mullo16(V a, V b) { return _mm512_mullo_epi16(a, b); }
KVO_KERNEL_INLINE V mulhi16(V a, V b) { return _mm512_mulhi_epi16(a, b); }
KVO_KERNEL_INLINE V madd(V a, V b) { return _mm512_madd_epi16(a, b); }
KVO_KERNEL_INLINE V add32(V a, V b) { return _mm512_add_epi32(a, b); }
KVO_KERNEL_INLINE V sub32(V a, V b) { return _mm512_sub_epi32(a, b); }
KVO_KERNEL_INLINE V add64(V a, V b) { return _mm512_add_epi64(a, b); }
KVO_KERNEL_INLINE V andv(V a, V b) { return _mm512_and_si512(a, b); }
KVO_KERNEL_INLINE V orv(V a, V b) { return _mm512_or_si512(a, b); }
KVO_KERNEL_INLINE V xorv(V a, V b) { return _mm512_xor_si512(a, b); }
template <int k>
KVO_KERNEL_INLINE V srai32(V a) {
  return _mm512_srai_epi32(a, k);
}
template <int k>
KVO_KERNEL_INLINE V slli32(V a) {
  return _mm512_slli_epi32(a, k);
}
template <int k>
KVO_KERNEL_INLINE V srli32(V a) {
  return _mm512_srli_epi32(a, k);
}
KVO_KERNEL_INLINE V packs32(V a, V b) { return _mm512_packs_epi32(a, b); }
KVO_KERNEL_INLINE V unpacklo16(V a, V b) { return _mm512_unpacklo_epi16(a, b); }
KVO_KERNEL_INLINE V unpackhi16(V a, V b) { return _mm512_unpackhi_epi16(a, b); }
KVO_KERNEL_INLINE V unpacklo32(V a, V b) { return _mm512_unpacklo_epi32(a, b); }
KVO_KERNEL_INLINE V unpackhi32(V a, V b) { return _mm512_unpackhi_epi32(a, b); }
KVO_KERNEL_INLINE V high64(V a) { return _mm512_bsrli_epi128(a, 8); }
KVO_KERNEL_INLINE V eq32(V a, V b) { return _mm512_movm_epi32(_mm512_cmpeq_epi32_mask(a, b)); }

KVO_KERNEL_INLINE V loadShortsAsInts(const short* p) {
  return _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

#elif defined(__AVX2__)

using V = __m256i;
KVO_KERNEL_INLINE V load(const void* p) { return _mm256_loadu_si256(static_cast<const V*>(p)); }
KVO_KERNEL_INLINE void store(void* p, V v) { _mm256_storeu_si256(static_cast<V*>(p), v); }
KVO_KERNEL_INLINE V set16(short x) { return _mm256_set1_epi16(x); }
KVO_KERNEL_INLINE V set32(std::int32_t x) { return _mm256_set1_epi32(x); }
KVO_KERNEL_INLINE V zero() { return _mm256_setzero_si256(); }
KVO_KERNEL_INLINE V add16(V a, V b) { return _mm256_add_epi16(a, b); }
KVO_KERNEL_INLINE V adds16(V a, V b) { return _mm256_adds_epi16(a, b); }
KVO_KERNEL_INLINE V sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
KVO_KERNEL_INLINE V subs16(V a, V b) { return _mm256_subs_epi16(a, b); }
KVO_KERNEL_INLINE V mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
KVO_KERNEL_INLINE V mulhi16(V a, V b) { return _mm256_mulhi_epi16(a, b); }
KVO_KERNEL_INLINE V madd(V a, V b) { return _mm256_madd_epi16(a, b); }
KVO_KERNEL_INLINE V add32(V a, V b) { return _mm256_add_epi32(a, b); }
KVO_KERNEL_INLINE V sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
KVO_KERNEL_INLINE V add64(V a, V b) { return _mm256_add_epi64(a, b); }
KVO_KERNEL_INLINE V andv(V a, V b) { return _mm256_and_si256(a, b); }
KVO_KERNEL_INLINE V orv(V a, V b) { return _mm256_or_si256(a, b); }
KVO_KERNEL_INLINE V xorv(V a, V b) { return _mm256_xor_si256(a, b); }
template <int k>
KVO_KERNEL_INLINE V srai32(V a) {
  return _mm256_srai_epi32(a, k);
}
template <int k>
KVO_KERNEL_INLINE V slli32(V a) {
  return _mm256_slli_epi32(a, k);
}
template <int k>
KVO_KERNEL_INLINE V srli32(V a) {
  return _mm256_srli_epi32(a, k);
}
KVO_KERNEL_INLINE V packs32(V a, V b) { return _mm256_packs_epi32(a, b); }
KVO_KERNEL_INLINE V unpacklo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
KVO_KERNEL_INLINE V unpackhi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
KVO_KERNEL_INLINE V unpacklo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
KVO_KERNEL_INLINE V unpackhi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
KVO_KERNEL_INLINE V high64(V a) { return _mm256_bsrli_epi128(a, 8); }
KVO_KERNEL_INLINE V eq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
KVO_KERNEL_INLINE V loadShortsAsInts(const short* p) {
  return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

#else

using V = __m128i;
KVO_KERNEL_INLINE V load(const void* p) { return _mm_loadu_si128(static_cast<const V*>(p)); }
KVO_KERNEL_INLINE void store(void* p, V v) { _mm_storeu_si128(static_cast<V*>(p), v); }
KVO_KERNEL_INLINE V set16(short x) { return _mm_set1_epi16(x); }
KVO_KERNEL_INLINE V set32(std::int32_t x) { return _mm_set1_epi32(x); }
KVO_KERNEL_INLINE V zero() { return _mm_setzero_si128(); }
KVO_KERNEL_INLINE V add16(V a, V b) { return _mm_add_epi16(a, b); }
KVO_KERNEL_INLINE V adds16(V a, V b) { return _mm_adds_epi16(a, b); }
KVO_KERNEL_INLINE V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
KVO_KERNEL_INLINE V subs16(V a, V b) { return _mm_subs_epi16(a, b); }
KVO_KERNEL_INLINE V mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
KVO_KERNEL_INLINE V mulhi16(V a, V b) { return _mm_mulhi_epi16(a, b); }
KVO_KERNEL_INLINE V madd(V a, V b) { return _mm_madd_epi16(a, b); }
KVO_KERNEL_INLINE V add32(V a, V b) { return _mm_add_epi32(a, b); }
KVO_KERNEL_INLINE V sub32(V a, V b) { return _mm_sub_epi32(a, b); }
KVO_KERNEL_INLINE V add64(V a, V b) { return _mm_add_epi64(a, b); }
KVO_KERNEL_INLINE V andv(V a, V b) { return _mm_and_si128(a, b); }
KVO_KERNEL_INLINE V orv(V a, V b) { return _mm_or_si128(a, b); }
KVO_KERNEL_INLINE V xorv(V a, V b) { return _mm_xor_si128(a, b); }
template <int k>
KVO_KERNEL_INLINE V srai32(V a) {
  return _mm_srai_epi32(a, k);
}
template <int k>
KVO_KERNEL_INLINE V slli32(V a) {
  return _mm_slli_epi32(a, k);
}
template <int k>
KVO_KERNEL_INLINE V srli32(V a) {
  return _mm_srli_epi32(a, k);
}
KVO_KERNEL_INLINE V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
KVO_KERNEL_INLINE V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
KVO_KERNEL_INLINE V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
KVO_KERNEL_INLINE V unpacklo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
KVO_KERNEL_INLINE V unpackhi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
KVO_KERNEL_INLINE V high64(V a) { return _mm_srli_si128(a, 8); }
KVO_KERNEL_INLINE V eq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
KVO_KERNEL_INLINE V loadShortsAsInts(const short* p) {
  const V x = _mm_loadl_epi64(reinterpret_cast<const V*>(p));
  return _mm_unpacklo_epi16(x, x);
}

#endif

// The sum of the 64-bit lanes. Through memory: there is no 64-bit move out of a vector on 32-bit
// x86, and GCC 12's AVX-512 reduction intrinsic trips -Wuninitialized on its own placeholder.
KVO_KERNEL_INLINE std::int64_t sum64(V a) {
  std::int64_t lanes[sizeof(V) / sizeof(std::int64_t)];
  store(lanes, a);
  std::int64_t s = 0;
  for (std::int64_t x : lanes) s += x;
  return s;
}

// Shorts per vector. loadShortsAsInts loads half as many into the low halves of 32-bit lanes.
constexpr std::size_t kShorts = sizeof(V) / sizeof(short);

KVO_KERNEL_INLINE V broadcast(short x) { return set16(x); }
KVO_KERNEL_INLINE V broadcast(ComplexShort x) {
  return set32(static_cast<std::int32_t>(static_cast<std::uint16_t>(x.re) |
                                         (static_cast<std::uint32_t>(x.im) << 16)));
}

// Swaps the two 16-bit halves of every 32-bit lane: (re, im) becomes (im, re).
KVO_KERNEL_INLINE V swapHalves(V a) { return orv(slli32<16>(a), srli32<16>(a)); }

// Exact sums of products of complex elements held as (re, im) pairs in 32-bit lanes.
// a.re*b.re - a.im*b.im: with ~b.im = -b.im - 1 the multiply-add gives that minus a.im, and the
// true value fits in 32 bits, so adding a.im back is exact (wrap-around cancels in between).
KVO_KERNEL_INLINE V productRe(V a, V b) {
  return add32(madd(a, xorv(b, set32(static_cast<std::int32_t>(0xFFFF0000u)))), srai32<16>(a));
}
// a.re*b.im + a.im*b.re lies in -2^31 + 2^16 .. 2^31; the lane reads INT_MIN only for the one
// value 2^31, so the lane is exact modulo 2^32 and otherwise exact as a signed value.
KVO_KERNEL_INLINE V productIm(V a, V b) { return madd(a, swapHalves(b)); }

// Adds the 32-bit lanes of x, sign-extended, to the 64-bit lanes of acc (in some order).
KVO_KERNEL_INLINE V addWidened(V acc, V x) {
  const V sign = srai32<31>(x);
  return add64(add64(acc, unpacklo32(x, sign)), unpackhi32(x, sign));
}

// Replaces INT_MIN by INT_MAX in lanes that stand for +2^31 (see productIm), before saturating.
KVO_KERNEL_INLINE V unwrapIntMin(V a) { return xorv(a, eq32(a, set32(INT32_MIN))); }

}  // namespace p16
}  // namespace
}  // namespace kvo::kern
