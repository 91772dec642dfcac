// Vectors of interleaved complex values for the FFT kernels: the register types of each width, the
// fused or plain multiply-adds of the level, and the lane shuffles the kernels share. Included by
// the per-level kernel files (fft.inl, fftsmall.inl) only, after KVO_ISA is defined; everything
// here has internal linkage, as isa.h asks.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace kvo::kern {
namespace {

template <class R, int W>
struct VecOf;
template <>
struct VecOf<float, 16> {
  using T = __m128;
};
template <>
struct VecOf<double, 16> {
  using T = __m128d;
};
#if defined(__AVX2__)
template <>
struct VecOf<float, 32> {
  using T = __m256;
};
template <>
struct VecOf<double, 32> {
  using T = __m256d;
};
#endif
#if defined(__AVX512F__)
template <>
struct VecOf<float, 64> {
  using T = __m512;
};
template <>
struct VecOf<double, 64> {
  using T = __m512d;
};
#endif

// a*b + c and c - a*b: fused where the level has FMA, so each level rounds one way throughout.
#if defined(__FMA__)
KVO_KERNEL_INLINE __m128 madd(__m128 a, __m128 b, __m128 c) { return _mm_fmadd_ps(a, b, c); }
KVO_KERNEL_INLINE __m128d madd(__m128d a, __m128d b, __m128d c) { return _mm_fmadd_pd(a, b, c); }
KVO_KERNEL_INLINE __m256 madd(__m256 a, __m256 b, __m256 c) { return _mm256_fmadd_ps(a, b, c); }
KVO_KERNEL_INLINE __m256d madd(__m256d a, __m256d b, __m256d c) { return _mm256_fmadd_pd(a, b, c); }
KVO_KERNEL_INLINE __m128 nmadd(__m128 a, __m128 b, __m128 c) { return _mm_fnmadd_ps(a, b, c); }
KVO_KERNEL_INLINE __m128d nmadd(__m128d a, __m128d b, __m128d c) { return _mm_fnmadd_pd(a, b, c); }
KVO_KERNEL_INLINE __m256 nmadd(__m256 a, __m256 b, __m256 c) { return _mm256_fnmadd_ps(a, b, c); }
KVO_KERNEL_INLINE __m256d nmadd(__m256d a, __m256d b, __m256d c) {
  return _mm256_fnmadd_pd(a, b, c);
}
#if defined(__AVX512F__)
KVO_KERNEL_INLINE __m512 madd(__m512 a, __m512 b, __m512 c) { return _mm512_fmadd_ps(a, b, c); }
KVO_KERNEL_INLINE __m512d madd(__m512d a, __m512d b, __m512d c) { return _mm512_fmadd_pd(a, b, c); }
KVO_KERNEL_INLINE __m512 nmadd(__m512 a, __m512 b, __m512 c) { return _mm512_fnmadd_ps(a, b, c); }
KVO_KERNEL_INLINE __m512d nmadd(__m512d a, __m512d b, __m512d c) {
  return _mm512_fnmadd_pd(a, b, c);
}
#endif
#else
template <class T>
KVO_KERNEL_INLINE T madd(T a, T b, T c) {
  return a * b + c;
}
template <class T>
KVO_KERNEL_INLINE T nmadd(T a, T b, T c) {
  return c - a * b;
}
#endif

// Lane index lists of the shuffles, as constant expressions.
constexpr int swapIndex(int s) { return s ^ 1; }
// Transpose step of block size b (complex lanes) on a pair of rows x, y of v complex lanes: the
// low result keeps x's lanes outside the block and takes y's, the high result the reverse.
constexpr int lowIndex(int s, int b, int v) {
  const int c = s / 2, part = s % 2;
  return (c & b) ? 2 * v + 2 * (c - b) + part : s;
}
constexpr int highIndex(int s, int b, int v) {
  const int c = s / 2, part = s % 2;
  return (c & b) ? 2 * v + s : 2 * (c + b) + part;
}
// Complex lanes in reverse order, and the real or imaginary part copied to both halves.
constexpr int reverseIndex(int s, int v) { return 2 * (v - 1 - s / 2) + s % 2; }
constexpr int dupIndex(int s, int part) { return s - s % 2 + part; }
constexpr int reverseBits(int value, int bits) {
  int r = 0;
  for (int b = 0; b < bits; ++b) r = (r << 1) | ((value >> b) & 1);
  return r;
}
constexpr int log2Of(int v) { return v <= 1 ? 0 : 1 + log2Of(v / 2); }

// Integer vectors of W bytes, for bit operations on the lanes.
template <int W>
struct BitsOf;
template <>
struct BitsOf<16> {
  typedef long long T __attribute__((vector_size(16)));
};
template <>
struct BitsOf<32> {
  typedef long long T __attribute__((vector_size(32)));
};
template <>
struct BitsOf<64> {
  typedef long long T __attribute__((vector_size(64)));
};

// The general kernels want their building blocks always inlined: a tile passed by reference to
// an outlined transpose goes through memory, which costs more than the arithmetic. A file whose
// straight-line code is better left to the compiler's own choices defines this empty first.
#ifndef KVO_FFT_INLINE
#define KVO_FFT_INLINE [[gnu::always_inline]]
#endif

// The operations on one vector of V = W / (2 sizeof(R)) complex values.
template <class R, int W, bool kInv>
struct CVec {
  using T = typename VecOf<R, W>::T;
  static constexpr int kLanes = W / static_cast<int>(sizeof(R));
  static constexpr int V = kLanes / 2;  // complex values per vector
  static constexpr int kBits = log2Of(V);

  KVO_FFT_INLINE static T load(const R* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  KVO_FFT_INLINE static void store(R* p, T v) { std::memcpy(p, &v, sizeof v); }
  KVO_FFT_INLINE static T splat(R re, R im) {
    T v;
    for (int i = 0; i < kLanes; i += 2) {
      v[i] = re;
      v[i + 1] = im;
    }
    return v;
  }

  // The lanes of (a, b) chosen by Index::at(s) for each result lane s.
  template <class Index, std::size_t... S>
  KVO_FFT_INLINE static T shuffleImpl(T a, T b, std::index_sequence<S...>) {
    return __builtin_shufflevector(a, b, Index::at(S)...);
  }
  template <class Index>
  KVO_FFT_INLINE static T shuffle(T a, T b) {
    return shuffleImpl<Index>(a, b, std::make_index_sequence<kLanes>());
  }
  struct SwapIndex {
    static constexpr int at(int s) { return swapIndex(s); }
  };
  KVO_FFT_INLINE static T swapReIm(T a) { return shuffle<SwapIndex>(a, a); }

  // a times the complex value held as (re, re) and (-im, im) pairs.
  KVO_FFT_INLINE static T mulSplit(T a, T wr, T wi) { return madd(swapReIm(a), wi, a * wr); }
  // a times the twiddle held as (re, re) and (-im, im) pairs; its conjugate for the inverse.
  KVO_FFT_INLINE static T cmul(T a, T wr, T wi) {
    return kInv ? nmadd(swapReIm(a), wi, a * wr) : mulSplit(a, wr, wi);
  }
  // a with the signs of the lanes flipped where `signs` holds -0: a sign flip by a bit operation
  // takes one cycle where a product by -1 takes four, and gives the same values.
  KVO_FFT_INLINE static T flipSigns(T a, T signs) {
    using Bits = typename BitsOf<W>::T;
    return reinterpret_cast<T>(reinterpret_cast<Bits>(a) ^ reinterpret_cast<Bits>(signs));
  }
  // a times -i (forward) or +i (inverse).
  KVO_FFT_INLINE static T rotate(T a) {
    return flipSigns(swapReIm(a), kInv ? splat(-0.0, 0) : splat(0, -0.0));
  }
  KVO_FFT_INLINE static T conj(T a) { return flipSigns(a, splat(0, -0.0)); }

  // V vectors of V complex values, transposed in place: lane j of row i trades with lane i of
  // row j.
  struct Tile {
    T x[V];
  };
  template <int B>
  struct LowIndex {
    static constexpr int at(int s) { return lowIndex(s, B, V); }
  };
  template <int B>
  struct HighIndex {
    static constexpr int at(int s) { return highIndex(s, B, V); }
  };
  template <int B>
  KVO_FFT_INLINE static void transposeFrom(Tile& t) {
    if constexpr (B >= 1) {
      for (int i = 0; i < V; ++i) {
        if (i & B) continue;
        const T x = t.x[i], y = t.x[i + B];
        t.x[i] = shuffle<LowIndex<B>>(x, y);
        t.x[i + B] = shuffle<HighIndex<B>>(x, y);
      }
      transposeFrom<B / 2>(t);
    }
  }
  KVO_FFT_INLINE static void transpose(Tile& t) { transposeFrom<V / 2>(t); }
};

}  // namespace
}  // namespace kvo::kern
