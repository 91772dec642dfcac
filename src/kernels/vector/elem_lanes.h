// Generic vectors of the including kernel file's register width, for element loops written lane
// by lane: every lane runs the same IEEE operations, so the instruction-set levels differ in speed
// only. Only .inl files include this; everything here has internal linkage (see isa.h).
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "kernels/isa.h"

namespace kvo::kern {
namespace {
namespace lanes {

#if defined(__AVX512F__)
constexpr int kBytes = 64;
#elif defined(__AVX2__)
constexpr int kBytes = 32;
#else
constexpr int kBytes = 16;
#endif

typedef double VD __attribute__((vector_size(kBytes)));
typedef std::uint64_t VU __attribute__((vector_size(kBytes)));
typedef std::int64_t VM __attribute__((vector_size(kBytes)));  // comparison results of VD
typedef float VF __attribute__((vector_size(kBytes)));
typedef std::int32_t VMF __attribute__((vector_size(kBytes)));  // comparison results of VF
typedef float VFHalf __attribute__((vector_size(kBytes / 2)));  // as many floats as VD lanes
constexpr std::size_t kDoubles = kBytes / sizeof(double);

template <class T>
struct Of;
template <>
struct Of<float> {
  using V = VF;
  using M = VMF;
};
template <>
struct Of<double> {
  using V = VD;
  using M = VM;
};

template <class V>
using Elem = std::remove_cvref_t<decltype(std::declval<V&>()[0])>;

template <class V>
KVO_KERNEL_INLINE V splat(Elem<V> x) {
  return V{} + x;
}
template <class M, class V>
KVO_KERNEL_INLINE V select(M m, V a, V b) {
  return m ? a : b;
}

// d = f(s) for n elements, whole vectors at a time; a short tail runs through a padded vector.
template <class V, class T, class F>
KVO_KERNEL_INLINE void map(const T* s, T* d, std::size_t n, F f) {
  constexpr std::size_t kLanes = sizeof(V) / sizeof(T);
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    V x;
    std::memcpy(&x, s + i, sizeof x);
    const V y = f(x);
    std::memcpy(d + i, &y, sizeof y);
  }
  if (i < n) {
    V x = splat<V>(1);
    std::memcpy(&x, s + i, (n - i) * sizeof(T));
    const V y = f(x);
    std::memcpy(d + i, &y, (n - i) * sizeof(T));
  }
}

// The same with the destination's old values as the second argument of f.
template <class V, class T, class F>
KVO_KERNEL_INLINE void update(const T* s, T* d, std::size_t n, F f) {
  constexpr std::size_t kLanes = sizeof(V) / sizeof(T);
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    V x, old;
    std::memcpy(&x, s + i, sizeof x);
    std::memcpy(&old, d + i, sizeof old);
    const V y = f(x, old);
    std::memcpy(d + i, &y, sizeof y);
  }
  if (i < n) {
    V x = splat<V>(1), old = splat<V>(1);
    std::memcpy(&x, s + i, (n - i) * sizeof(T));
    std::memcpy(&old, d + i, (n - i) * sizeof(T));
    const V y = f(x, old);
    std::memcpy(d + i, &y, (n - i) * sizeof(T));
  }
}

// Square roots and "is any lane of a comparison set", with the level's instructions.
#if defined(__AVX512F__)
KVO_KERNEL_INLINE VF sqrt(VF x) {
  return reinterpret_cast<VF>(_mm512_sqrt_ps(reinterpret_cast<__m512>(x)));
}
KVO_KERNEL_INLINE VD sqrt(VD x) {
  return reinterpret_cast<VD>(_mm512_sqrt_pd(reinterpret_cast<__m512d>(x)));
}
KVO_KERNEL_INLINE bool any(VMF m) {
  return _mm512_movepi32_mask(reinterpret_cast<__m512i>(m)) != 0;
}
KVO_KERNEL_INLINE bool any(VM m) { return _mm512_movepi64_mask(reinterpret_cast<__m512i>(m)) != 0; }
#elif defined(__AVX2__)
KVO_KERNEL_INLINE VF sqrt(VF x) {
  return reinterpret_cast<VF>(_mm256_sqrt_ps(reinterpret_cast<__m256>(x)));
}
KVO_KERNEL_INLINE VD sqrt(VD x) {
  return reinterpret_cast<VD>(_mm256_sqrt_pd(reinterpret_cast<__m256d>(x)));
}
KVO_KERNEL_INLINE bool any(VMF m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)) != 0; }
KVO_KERNEL_INLINE bool any(VM m) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(m)) != 0; }
#else
KVO_KERNEL_INLINE VF sqrt(VF x) {
  return reinterpret_cast<VF>(_mm_sqrt_ps(reinterpret_cast<__m128>(x)));
}
KVO_KERNEL_INLINE VD sqrt(VD x) {
  return reinterpret_cast<VD>(_mm_sqrt_pd(reinterpret_cast<__m128d>(x)));
}
KVO_KERNEL_INLINE bool any(VMF m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)) != 0; }
KVO_KERNEL_INLINE bool any(VM m) { return _mm_movemask_pd(reinterpret_cast<__m128d>(m)) != 0; }
#endif

}  // namespace lanes
}  // namespace
}  // namespace kvo::kern
