// Portable vectors for the kernels of one instruction-set level.
//
// The conversion and companding kernels are written once with the compilers' generic vector types
// (element-wise operators, comparisons giving all-ones masks, __builtin_convertvector) and compiled
// per level; the compiler maps them onto the registers of the level's translation unit. Include
// this only from a kernel .inl (it depends on the target flags of the including file).
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kernels/isa.h"

// The helpers pass vectors wider than a register between always-inlined functions of one
// translation unit; the ABI note about such arguments concerns calls across separately compiled
// code and does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace kvo::kern::simd {
namespace {

#if defined(__AVX512F__)
constexpr std::size_t kBytes = 64;
#elif defined(__AVX2__)
constexpr std::size_t kBytes = 32;
#else
constexpr std::size_t kBytes = 16;
#endif

template <class T, std::size_t N>
struct VecOf {
  typedef T type __attribute__((vector_size(sizeof(T) * N)));
};
// N lanes of T; N * sizeof(T) may be any power of two, the compiler splits wide vectors.
template <class T, std::size_t N>
using Vec = typename VecOf<T, N>::type;

template <class V>
using Lane = std::remove_cvref_t<decltype(std::declval<V>()[0])>;

// Signed integers as wide as a floating-point lane: the lanes of its comparison masks.
template <class C>
using MaskLane = std::conditional_t<sizeof(C) == 4, std::int32_t, std::int64_t>;

template <class V, class T>
KVO_KERNEL_INLINE V load(const T* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <class T, class V>
KVO_KERNEL_INLINE void store(T* p, const V& v) {
  std::memcpy(p, &v, sizeof v);
}

// Every lane x. (Subtracting zero keeps a negative zero, which adding zero would not.)
template <class V>
KVO_KERNEL_INLINE V splat(Lane<V> x) {
  return x - V{};
}

// The bits of x without the sign bit: |x| as a pattern that orders like the magnitude.
template <class VC>
KVO_KERNEL_INLINE auto magnitudeBits(const VC& x) {
  using VM = Vec<MaskLane<Lane<VC>>, sizeof(VC) / sizeof(Lane<VC>)>;
  return VM(x) & ~VM(splat<VC>(Lane<VC>(-0.0)));
}

// Whether any bit of a mask is set; masks are whole registers or several of them.
template <class M>
KVO_KERNEL_INLINE bool any(const M& m) {
  static_assert(sizeof(M) % kBytes == 0);
  using Native = Vec<long long, kBytes / 8>;
  Native acc{};
  for (std::size_t k = 0; k < sizeof(M) / kBytes; ++k) {
    Native part;
    std::memcpy(&part, reinterpret_cast<const char*>(&m) + k * kBytes, kBytes);
    acc |= part;
  }
#if defined(__AVX512F__)
  return _mm512_test_epi64_mask(__m512i(acc), __m512i(acc)) != 0;
#elif defined(__AVX2__)
  return !_mm256_testz_si256(__m256i(acc), __m256i(acc));
#else
  return _mm_movemask_epi8(_mm_cmpeq_epi8(__m128i(acc), _mm_setzero_si128())) != 0xFFFF;
#endif
}

// Runs body(in, out) over n elements in steps of N, the last partial step on zero-padded copies,
// so that one vector formula serves every element.
template <std::size_t N, class In, class Out, class Body>
KVO_KERNEL_INLINE void blocks(const In* src, Out* dst, std::size_t n, Body body) {
  std::size_t i = 0;
  for (; i + N <= n; i += N) body(src + i, dst + i);
  if (i < n) {
    In in[N] = {};
    Out out[N];
    std::memcpy(in, src + i, (n - i) * sizeof(In));
    body(in, out);
    std::memcpy(dst + i, out, (n - i) * sizeof(Out));
  }
}

}  // namespace
}  // namespace kvo::kern::simd
