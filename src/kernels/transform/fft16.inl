// 16-bit FFT kernels for one instruction-set level; included by fft16_<level>.cpp after KVO_ISA is
// defined. See fft16.h for the arithmetic and isa.h for the rules these files follow.
#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <optional>
#include <type_traits>
#include <cstdint>
#include <utility>

#include "kernels/transform/fft16.h"

#if defined(__AVX512BW__) && defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 permute and rotate intrinsics start from an uninitialised placeholder that
// its -Wuninitialized flags once the call is inlined into a loop of constants.
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace kvo::kern {
namespace {

// The bits of every byte in reverse order.
constexpr auto kReversedByte = [] {
  std::array<std::uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((v >> b) & 1) << (7 - b);
    t[v] = static_cast<std::uint8_t>(r);
  }
  return t;
}();

// v with its low `bits` bits reversed (bits <= 32).
std::size_t reverseBits(std::size_t v, int bits) {
  if (bits == 0) return 0;
  const std::uint32_t w = static_cast<std::uint32_t>(v);
  return (std::uint32_t{kReversedByte[w & 255]} << 24 |
          std::uint32_t{kReversedByte[(w >> 8) & 255]} << 16 |
          std::uint32_t{kReversedByte[(w >> 16) & 255]} << 8 | kReversedByte[w >> 24]) >>
         (32 - bits);
}

template <class T>
struct Arith;

// The integer core: 32-bit values that wrap, products floored exactly.
template <>
struct Arith<std::int32_t> {
  using T = std::int32_t;
  static T fit(std::int64_t v) { return static_cast<T>(static_cast<std::uint32_t>(v)); }
  static T add(T a, T b) { return fit(std::int64_t{a} + b); }
  static T sub(T a, T b) { return fit(std::int64_t{a} - b); }
  static T neg(T a) { return fit(-std::int64_t{a}); }
  // (x, y) . (c0, c1) / 2^14, floored: the high and low halves of x and y times the Q14 values,
  // recombined, give exactly this.
  static T prod(T x, T y, std::int16_t c0, std::int16_t c1) {
    return fit((std::int64_t{x} * c0 + std::int64_t{y} * c1) >> 14);
  }
};

// The fast core: 16-bit values that saturate, 32-bit paired multiply-adds.
template <>
struct Arith<std::int16_t> {
  using T = std::int16_t;
  static T fit(std::int64_t v) {
    return static_cast<T>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
  }
  static T add(T a, T b) { return fit(std::int32_t{a} + b); }
  static T sub(T a, T b) { return fit(std::int32_t{a} - b); }
  static T neg(T a) { return fit(-std::int32_t{a}); }
  static T prod(T x, T y, std::int16_t c0, std::int16_t c1) {
    return fit((std::int32_t{x} * c0 + std::int32_t{y} * c1) >> 14);
  }
};

// Half of the exact sum of two values (it always fits the element type).
template <class T>
KVO_KERNEL_INLINE T half(std::int64_t sum) {
  return static_cast<T>(sum >> 1);
}

// (re, im) times the twiddle of power-block `w` (L (a, b) pairs, then L (-b, a) pairs), index j.
template <class T>
KVO_KERNEL_INLINE void twiddle(T& re, T& im, const std::uint32_t* w, std::size_t L, std::size_t j) {
  using A = Arith<T>;
  auto lo = [](std::uint32_t u) { return static_cast<std::int16_t>(u & 0xFFFF); };
  auto hi = [](std::uint32_t u) { return static_cast<std::int16_t>(u >> 16); };
  const T r = A::prod(re, im, lo(w[j]), hi(w[j]));
  im = A::prod(re, im, lo(w[L + j]), hi(w[L + j]));
  re = r;
}

// (re, im) times the twiddle entry e.
template <class T>
KVO_KERNEL_INLINE void twiddle(T& re, T& im, const std::int16_t* e) {
  using A = Arith<T>;
  const T r = A::prod(re, im, e[0], e[1]);
  im = A::prod(re, im, e[2], e[3]);
  re = r;
}

template <class T>
void conjugate(T* z, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) z[2 * i + 1] = Arith<T>::neg(z[2 * i + 1]);
}

// ---- registers of the level -------------------------------------------------------------------
//
// The fast core keeps one complex value in a 32-bit unit (two 16-bit components), the integer core
// in a 64-bit unit (two 32-bit components); a register holds kRegBytes / unit of them.

#if defined(__AVX512BW__)
using Reg = __m512i;
#elif defined(__AVX2__)
using Reg = __m256i;
#else
using Reg = __m128i;
#endif
constexpr int kRegBytes = sizeof(Reg);

KVO_KERNEL_INLINE Reg ld(const void* p) {
#if defined(__AVX512BW__)
  return _mm512_loadu_si512(p);
#elif defined(__AVX2__)
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
#else
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
#endif
}
KVO_KERNEL_INLINE void st(void* p, Reg v) {
#if defined(__AVX512BW__)
  _mm512_storeu_si512(p, v);
#elif defined(__AVX2__)
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
#else
  _mm_storeu_si128(static_cast<__m128i*>(p), v);
#endif
}

// Component selections: a set bit 2k + c takes component c of complex k from the second operand.
// AVX-512 blends by mask registers; the narrower levels by a vector of all-ones components.
template <int CompBytes>
struct Sel {
#if defined(__AVX512BW__)
  std::uint32_t bits = 0;
#else
  Reg mask;
#endif
  template <class F>
  explicit Sel(F take) {
    constexpr int comps = kRegBytes / CompBytes;
#if defined(__AVX512BW__)
    for (int i = 0; i < comps; ++i) bits |= take(i / 2, i % 2) ? std::uint32_t{1} << i : 0u;
#else
    alignas(32) std::uint8_t b[kRegBytes];
    for (int i = 0; i < comps; ++i) {
      std::memset(b + i * CompBytes, take(i / 2, i % 2) ? 0xFF : 0, CompBytes);
    }
    mask = ld(b);
#endif
  }
};

template <int CompBytes>
KVO_KERNEL_INLINE Reg blend(Reg a, Reg b, const Sel<CompBytes>& s) {
#if defined(__AVX512BW__)
  if constexpr (CompBytes == 2) {
    return _mm512_mask_blend_epi16(static_cast<__mmask32>(s.bits), a, b);
  } else {
    return _mm512_mask_blend_epi32(static_cast<__mmask16>(s.bits), a, b);
  }
#elif defined(__AVX2__)
  return _mm256_blendv_epi8(a, b, s.mask);
#else
  return _mm_or_si128(_mm_and_si128(s.mask, b), _mm_andnot_si128(s.mask, a));
#endif
}

// A permutation of the complex values of a register: value k takes value from(k). AVX2 and
// AVX-512 permute by an index vector; SSE2 has shuffles by constants only, which cover the
// permutations the stages ask for.
template <int UnitBytes>
struct Perm {
#if defined(__AVX512BW__) || defined(__AVX2__)
  Reg index;
#else
  int imm = 0;
#endif
  template <class F>
  explicit Perm(F from) {
    constexpr int per = UnitBytes / 4;  // 32-bit elements of a unit
    constexpr int elems = kRegBytes / 4;
#if defined(__AVX512BW__) || defined(__AVX2__)
    alignas(64) std::int32_t idx[elems];
    for (int e = 0; e < elems; ++e) idx[e] = from(e / per) * per + e % per;
    index = ld(idx);
#else
    for (int e = 0; e < elems; ++e) imm |= (from(e / per) * per + e % per) << (2 * e);
#endif
  }
  __attribute__((always_inline)) Reg operator()(Reg v) const {
#if defined(__AVX512BW__)
    return _mm512_permutexvar_epi32(index, v);
#elif defined(__AVX2__)
    return _mm256_permutevar8x32_epi32(v, index);
#else
    switch (imm) {
      case 0xB1:
        return _mm_shuffle_epi32(v, 0xB1);
      case 0x4E:
        return _mm_shuffle_epi32(v, 0x4E);
      case 0xA0:
        return _mm_shuffle_epi32(v, 0xA0);
      case 0xF5:
        return _mm_shuffle_epi32(v, 0xF5);
      case 0x44:
        return _mm_shuffle_epi32(v, 0x44);
      case 0xEE:
        return _mm_shuffle_epi32(v, 0xEE);
      default: {
        alignas(16) std::int32_t a[4], b[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(a), v);
        for (int e = 0; e < 4; ++e) b[e] = a[(imm >> (2 * e)) & 3];
        return _mm_load_si128(reinterpret_cast<const __m128i*>(b));
      }
    }
#endif
  }
};

// (re, im) swapped in every complex value.
KVO_KERNEL_INLINE Reg swap16(Reg v) {
#if defined(__AVX512BW__)
  return _mm512_rol_epi32(v, 16);
#elif defined(__AVX2__)
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(v, 0xB1), 0xB1);
#else
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);
#endif
}
KVO_KERNEL_INLINE Reg swap32(Reg v) {
#if defined(__AVX512BW__)
  return _mm512_shuffle_epi32(v, static_cast<_MM_PERM_ENUM>(0xB1));
#elif defined(__AVX2__)
  return _mm256_shuffle_epi32(v, 0xB1);
#else
  return _mm_shuffle_epi32(v, 0xB1);
#endif
}

#if defined(__AVX512BW__)
#define KVO_V(op) _mm512_##op
#elif defined(__AVX2__)
#define KVO_V(op) _mm256_##op
#else
#define KVO_V(op) _mm_##op
#endif

// The fast core's arithmetic: saturating 16-bit additions; a twiddle product is the paired
// multiply-add of (re, im) with (a, b) and with (-b, a), shifted right by 14 and packed with
// saturation, exactly as Arith<std::int16_t>::prod.
struct FastOps {
  using T = std::int16_t;
  static constexpr int kUnit = 4;
  static constexpr int kComp = 2;
  static constexpr int C = kRegBytes / kUnit;
  static Reg add(Reg a, Reg b) { return KVO_V(adds_epi16)(a, b); }
  static Reg plainAdd(Reg a, Reg b) { return KVO_V(add_epi16)(a, b); }
  static Reg plainSub(Reg a, Reg b) { return KVO_V(sub_epi16)(a, b); }
  static Reg sra1(Reg a) { return KVO_V(srai_epi16)(a, 1); }
  static Reg ones() { return KVO_V(set1_epi16)(1); }
  static Reg sub(Reg a, Reg b) { return KVO_V(subs_epi16)(a, b); }
  static Reg swap(Reg v) { return swap16(v); }
  // Twiddles of C values: (a, b) pairs or (-b, a) pairs, one 32-bit unit each.
  static Reg twiddles(const std::uint32_t* p) { return ld(p); }
  static Reg twiddles(Reg units) { return units; }
  static Reg mul(Reg x, Reg wr, Reg wi) {
    const Reg re = KVO_V(srai_epi32)(KVO_V(madd_epi16)(x, wr), 14);
    const Reg im = KVO_V(srai_epi32)(KVO_V(madd_epi16)(x, wi), 14);
    const Reg packed = KVO_V(packs_epi32)(re, im);  // per 128 bits: re0..re3, im0..im3
    return interleave(packed);
  }
  static Reg interleave(Reg packed) {
#if defined(__AVX512BW__)
    const Reg k =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15));
    return _mm512_shuffle_epi8(packed, k);
#elif defined(__AVX2__)
    const Reg k = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15));
    return _mm256_shuffle_epi8(packed, k);
#else
    return _mm_unpacklo_epi16(packed, _mm_unpackhi_epi64(packed, packed));
#endif
  }
};

// The integer core's arithmetic: 32-bit additions that wrap; a twiddle product is
// floor((re c0 + im c1) / 2^14) of the exact 64-bit sum, kept modulo 2^32, exactly as
// Arith<std::int32_t>::prod.
struct IntOps {
  using T = std::int32_t;
  static constexpr int kUnit = 8;
  static constexpr int kComp = 4;
  static constexpr int C = kRegBytes / kUnit;
  static Reg add(Reg a, Reg b) { return KVO_V(add_epi32)(a, b); }
  static Reg plainAdd(Reg a, Reg b) { return add(a, b); }
  static Reg plainSub(Reg a, Reg b) { return KVO_V(sub_epi32)(a, b); }
  static Reg sra1(Reg a) { return KVO_V(srai_epi32)(a, 1); }
  static Reg ones() { return KVO_V(set1_epi32)(1); }
  static Reg sub(Reg a, Reg b) { return KVO_V(sub_epi32)(a, b); }
  static Reg swap(Reg v) { return swap32(v); }
#if defined(__AVX512BW__) || defined(__AVX2__)
  // Twiddles of C values widened to 32-bit pairs.
  static Reg twiddles(const std::uint32_t* p) {
#if defined(__AVX512BW__)
    return _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
#else
    return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
#endif
  }
  // The same from C units in the low half of a register.
  static Reg twiddles(Reg units) {
#if defined(__AVX512BW__)
    return _mm512_cvtepi16_epi32(_mm512_castsi512_si256(units));
#else
    return _mm256_cvtepi16_epi32(_mm256_castsi256_si128(units));
#endif
  }
  // 32 x 32 -> 64-bit products of the low halves: re a + im b and re (-b) + im a from the pairs
  // (a, b) and (-b, a); bits 14 .. 45 of each sum are the result.
  static Reg mul(Reg x, Reg wr, Reg wi) {
    const Reg xi = KVO_V(srli_epi64)(x, 32);
    const Reg re =
        KVO_V(add_epi64)(KVO_V(mul_epi32)(x, wr), KVO_V(mul_epi32)(xi, KVO_V(srli_epi64)(wr, 32)));
    const Reg im = KVO_V(add_epi64)(KVO_V(mul_epi32)(x, wi), KVO_V(mul_epi32)(xi, wr));
#if defined(__AVX512BW__)
    return _mm512_mask_blend_epi32(0xAAAA, _mm512_srli_epi64(re, 14), _mm512_slli_epi64(im, 18));
#else
    return _mm256_blend_epi32(_mm256_srli_epi64(re, 14), _mm256_slli_epi64(im, 18), 0xAA);
#endif
  }
#else
  // SSE2 has no signed 32-bit multiply: x = 65536 h + l with l unsigned; the paired multiply-adds
  // of h and of l - 32768 (both 16-bit) give 4 (h . w) + floor((l . w) / 2^14), all sums within
  // 32 bits and every wrap the same as the scalar one's. Twiddles stay 16-bit pairs.
  static Reg twiddles(const std::uint32_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  }
  static Reg twiddles(Reg units) { return units; }
  static Reg mul(Reg x, Reg wr, Reg wi) {
    const __m128i low = _mm_set1_epi32(0xFFFF), bias = _mm_set1_epi32(32768);
    const __m128i h = _mm_srai_epi32(x, 16);
    const __m128i l = _mm_sub_epi32(_mm_and_si128(x, low), bias);
    const __m128i hp = _mm_packs_epi32(h, h), lp = _mm_packs_epi32(l, l);
    const __m128i unit = _mm_set1_epi16(-32768);
    auto part = [&](__m128i w) {
      const __m128i lowSum = _mm_sub_epi32(_mm_madd_epi16(lp, w), _mm_madd_epi16(unit, w));
      return _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(hp, w), 2), _mm_srai_epi32(lowSum, 14));
    };
    return _mm_unpacklo_epi32(part(wr), part(wi));
  }
#endif
};

// 32-bit lane comparisons as all-ones lanes (AVX-512 compares into mask registers).
struct LaneCmp {
  static Reg gt(Reg a, Reg b) {
#if defined(__AVX512BW__)
    return _mm512_movm_epi32(_mm512_cmpgt_epi32_mask(a, b));
#else
    return KVO_V(cmpgt_epi32)(a, b);
#endif
  }
  static Reg both(Reg a, Reg b) {
#if defined(__AVX512BW__)
    return _mm512_and_si512(a, b);
#elif defined(__AVX2__)
    return _mm256_and_si256(a, b);
#else
    return _mm_and_si128(a, b);
#endif
  }
  // x with the lanes of m set to 0.
  static Reg clear(Reg x, Reg m) {
#if defined(__AVX512BW__)
    return _mm512_andnot_si512(m, x);
#elif defined(__AVX2__)
    return _mm256_andnot_si256(m, x);
#else
    return _mm_andnot_si128(m, x);
#endif
  }
};

// 32-bit lanes of lo, then hi, stored as 16-bit values with signed saturation.
KVO_KERNEL_INLINE void packSaturated(std::int16_t* dst, Reg lo, Reg hi) {
#if defined(__AVX512BW__)
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm512_cvtsepi32_epi16(lo));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 16), _mm512_cvtsepi32_epi16(hi));
#elif defined(__AVX2__)
  st(dst, _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8));
#else
  st(dst, _mm_packs_epi32(lo, hi));
#endif
}

// 16-bit values v as v * 64 in 32 bits: the integer core's input.
KVO_KERNEL_INLINE Reg widenHalf(const std::int16_t* src) {
#if defined(__AVX512BW__)
  return _mm512_slli_epi32(
      _mm512_cvtepi16_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src))), 6);
#elif defined(__AVX2__)
  return _mm256_slli_epi32(
      _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src))), 6);
#else
  const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
  return _mm_srai_epi32(_mm_unpacklo_epi16(_mm_setzero_si128(), x), 10);  // (v << 16) >> 10
#endif
}

// ---- the radix-4 transform on registers -------------------------------------------------------
//
// Stages of span L >= C (C complex values per register) work on whole registers, one from each
// quarter. The stages of smaller spans stay within a register (4L <= C) or a pair of registers
// (4L = 2C); they run together, one pass over the data, with their permutations, selections and
// twiddles set up once. Every value goes through the same operations as in the scalar stage.

template <class O>
using SelOf = Sel<O::kComp>;
template <class O>
using PermOf = Perm<O::kUnit>;

// The constant selections and permutations are built by the first call that needs them (not at
// load time: they are instructions of this level).
template <class S>
const S& once() {
  static const S s;
  return s;
}

template <class O>
const SelOf<O>& imaginary() {
  struct Im : SelOf<O> {
    Im() : SelOf<O>([](int, int c) { return c == 1; }) {}
  };
  return once<Im>();
}

constexpr std::uint32_t kUnitRe = 0x4000;      // (16384, 0): twiddle entry 0, exactly 1
constexpr std::uint32_t kUnitIm = 0x40000000;  // (0, 16384)

// Quarter q holds frequency class {0, 2, 1, 3}[q], the power of its twiddle.
constexpr int kPower[4] = {0, 2, 1, 3};

// A radix-4 butterfly on four registers, one value of each quarter per position, as the scalar
// stage computes it: x0 .. x3 become y0, y2, y1, y3. `twiddle(y, p)` multiplies y by the twiddles
// of power p (or leaves it, where they are all 1).
template <class O, class Twiddle>
KVO_KERNEL_INLINE void butterfly(Reg& x0, Reg& x1, Reg& x2, Reg& x3, const SelOf<O>& im,
                                 Twiddle twiddle) {
  const Reg t0 = O::add(x0, x2), t1 = O::sub(x0, x2);
  const Reg t2 = O::add(x1, x3), t3 = O::sub(x1, x3);
  const Reg sw = O::swap(t3);  // (t3i, t3r)
  const Reg sum = O::add(t1, sw), diff = O::sub(t1, sw);
  x0 = O::add(t0, t2);
  x1 = twiddle(O::sub(t0, t2), 2);
  x2 = twiddle(blend(sum, diff, im), 1);  // t1 - i t3
  x3 = twiddle(blend(diff, sum, im), 3);  // t1 + i t3
}

// The stage of span L on whole registers.
template <class O>
void verticalStage(typename O::T* z, std::size_t n, std::size_t L, const std::uint32_t* stages) {
  const SelOf<O>& im = imaginary<O>();
  for (std::size_t g = 0; g < n; g += 4 * L) {
    for (std::size_t j = 0; j < L; j += O::C) {
      typename O::T* p = z + 2 * (g + j);
      Reg x0 = ld(p), x1 = ld(p + 2 * L), x2 = ld(p + 4 * L), x3 = ld(p + 6 * L);
      butterfly<O>(x0, x1, x2, x3, im, [&](Reg y, int power) {
        const std::uint32_t* w = stages + 2 * (power - 1) * L + j;
        return O::mul(y, O::twiddles(w), O::twiddles(w + L));
      });
      st(p, x0);
      st(p + 2 * L, x1);
      st(p + 4 * L, x2);
      st(p + 6 * L, x3);
    }
  }
}

// C 32-bit units: t[entry(k)], or `unit` where entry(k) is negative; the pattern is a constant.
template <int C, class Entry>
KVO_KERNEL_INLINE Reg pick(const std::uint32_t* t, std::uint32_t unit, Entry entry) {
#if defined(__AVX512BW__) || defined(__AVX2__)
  (void)entry;  // the pattern's type says it all
  struct Pattern {
    Reg index, mask;
    Pattern() {
      alignas(64) std::int32_t idx[kRegBytes / 4] = {}, msk[kRegBytes / 4] = {};
      const Entry at{};
      for (int k = 0; k < C; ++k) {
        idx[k] = at(k) < 0 ? 0 : at(k);
        msk[k] = at(k) < 0 ? 0 : -1;
      }
      index = ld(idx);
      mask = ld(msk);
    }
  };
  const Pattern& pattern = once<Pattern>();
  const auto* base = reinterpret_cast<const int*>(t);
#if defined(__AVX512BW__)
  if constexpr (C == 16) {
    return _mm512_mask_i32gather_epi32(_mm512_set1_epi32(static_cast<int>(unit)),
                                       _mm512_movepi32_mask(pattern.mask), pattern.index, base, 4);
  } else {  // C = 8: the integer core's 16-bit twiddle pairs, half a register
    return _mm512_castsi256_si512(_mm256_mask_i32gather_epi32(
        _mm256_set1_epi32(static_cast<int>(unit)), base, _mm512_castsi512_si256(pattern.index),
        _mm512_castsi512_si256(pattern.mask), 4));
  }
#else
  if constexpr (C == 8) {
    return _mm256_mask_i32gather_epi32(_mm256_set1_epi32(static_cast<int>(unit)), base,
                                       pattern.index, pattern.mask, 4);
  } else {  // C = 4
    return _mm256_castsi128_si256(_mm_mask_i32gather_epi32(
        _mm_set1_epi32(static_cast<int>(unit)), base, _mm256_castsi256_si128(pattern.index),
        _mm256_castsi256_si128(pattern.mask), 4));
  }
#endif
#else
  alignas(16) std::uint32_t v[4];
  for (int k = 0; k < 4; ++k) v[k] = k < C && entry(k) >= 0 ? t[entry(k)] : unit;
  return ld(v);
#endif
}

// Where a value of a register stage of span L sits: its quarter class 0 .. 3 (the twiddle power
// and the butterfly output it receives) and its index j within the quarter. Kind 0 and 1: the two
// registers of the pair stage (4L = 2C), holding classes 0, 1 and 2, 3; kind 2: a stage within one
// register (4L <= C).
template <std::size_t L, int Kind>
constexpr int quarterOf(int k) {
  return Kind == 2 ? (k / static_cast<int>(L)) & 3 : 2 * Kind + ((k / static_cast<int>(L)) & 1);
}

// The second half of a radix-4 butterfly on a register holding t0, t2 in the positions of class 0
// and 1 and t1, t3 in those of class 2 and 3: y0, y2, y1, y3 in their places, twiddled. Span and
// kind are constants, so the permutations and selections are too.
template <class O, std::size_t L, int Kind>
struct Layer {
  static constexpr bool kTwiddled = L > 1;  // span 1 has only twiddle 0, which is exactly 1
  struct Shape {
    PermOf<O> low{[](int k) { return k & ~static_cast<int>(L); }};           // A: t0 or t1
    PermOf<O> high{[](int k) { return k | static_cast<int>(L); }};           // B: t2 or t3
    SelOf<O> turned{[](int k, int) { return quarterOf<L, Kind>(k) >= 2; }};  // B = (t3i, t3r)
    SelOf<O> out{[](int k, int c) {  // results from A - B rather than A + B
      const int q = quarterOf<L, Kind>(k);
      return q == 1 || (q == 2 && c == 1) || (q == 3 && c == 0);
    }};
  };
  const Shape& shape = once<Shape>();
  Reg wr{}, wi{};  // twiddles by position

  explicit Layer(const std::uint32_t* stages) {
    if constexpr (kTwiddled) {
      // Position k takes the entry j = k mod L of its class's power, or 1 for class 0.
      auto entry = [](int k) {
        const int p = kPower[quarterOf<L, Kind>(k)];
        return p == 0 ? -1 : 2 * (p - 1) * static_cast<int>(L) + k % static_cast<int>(L);
      };
      const std::uint32_t* span = stages + 6 * (L - 1);
      wr = O::twiddles(pick<O::C>(span, kUnitRe, entry));
      wi = O::twiddles(pick<O::C>(span + L, kUnitIm, entry));
    }
  }

  __attribute__((always_inline)) Reg operator()(Reg s) const {
    const Reg a = shape.low(s);
    Reg b = shape.high(s);
    b = blend(b, O::swap(b), shape.turned);
    const Reg y = blend(O::add(a, b), O::sub(a, b), shape.out);
    if constexpr (kTwiddled) return O::mul(y, wr, wi);
    return y;
  }
};

// A radix-4 stage within each register: partner values 2L apart.
template <class O, std::size_t L>
struct InStage {
  struct Shape {
    PermOf<O> partner{[](int k) { return k ^ (2 * static_cast<int>(L)); }};
    SelOf<O> second{[](int k, int) { return quarterOf<L, 2>(k) >= 2; }};
  };
  const Shape& shape = once<Shape>();
  Layer<O, L, 2> layer;
  explicit InStage(const std::uint32_t* stages) : layer(stages) {}
  __attribute__((always_inline)) Reg operator()(Reg x) const {
    const Reg xs = shape.partner(x);
    return layer(blend(O::add(x, xs), O::sub(xs, x), shape.second));
  }
};

// The closing radix-2 stage of odd orders: neighbours.
template <class O>
struct Radix2 {
  struct Shape {
    PermOf<O> neighbour{[](int k) { return k ^ 1; }};
    SelOf<O> odd{[](int k, int) { return (k & 1) != 0; }};
  };
  const Shape& shape = once<Shape>();
  __attribute__((always_inline)) Reg operator()(Reg x) const {
    const Reg xs = shape.neighbour(x);
    return blend(O::add(x, xs), O::sub(xs, x), shape.odd);
  }
};

// A stage that does nothing, for the spans a pass does not have.
struct NoStage {
  explicit NoStage(const std::uint32_t*) {}
  __attribute__((always_inline)) Reg operator()(Reg x) const { return x; }
};

template <class O, std::size_t L>
using InStageOrNone = std::conditional_t<(L >= 1 && 4 * L <= O::C), InStage<O, L>, NoStage>;

// Every stage of span below C, and the closing radix-2 stage of odd orders, in one pass over
// pairs of registers. L is the largest such span (0: none).
template <class O, std::size_t L, bool kRadix2, bool kPairOnly = false>
void registerStages(typename O::T* z, std::size_t n, const std::uint32_t* stages) {
  constexpr std::size_t C = O::C;
  constexpr bool kPair = 2 * L == C;
  constexpr std::size_t kFirst = kPairOnly ? 0 : kPair ? L / 4 : L;
  using Pair0 = std::conditional_t<kPair, Layer<O, L, 0>, NoStage>;
  using Pair1 = std::conditional_t<kPair, Layer<O, L, 1>, NoStage>;
  const Pair0 pair0(stages);
  const Pair1 pair1(stages);
  const InStageOrNone<O, kFirst> in0(stages);
  const InStageOrNone<O, kFirst / 4> in1(stages);  // C <= 16: at most two spans below C / 2
  const Radix2<O> radix2;
  auto inRegister = [&](Reg x) {
    x = in1(in0(x));
    if constexpr (kRadix2 && !kPairOnly) x = radix2(x);
    return x;
  };
  for (std::size_t i = 0; i < n; i += 2 * C) {
    typename O::T* p = z + 2 * i;
    Reg r0 = ld(p), r1 = ld(p + 2 * C);
    if constexpr (kPair) {
      const Reg s0 = O::add(r0, r1), s1 = O::sub(r0, r1);
      r0 = pair0(s0);
      r1 = pair1(s1);
    }
    st(p, inRegister(r0));
    st(p + 2 * C, inRegister(r1));
  }
}

template <class O, bool kRadix2>
void registerStages(typename O::T* z, std::size_t n, std::size_t L, const std::uint32_t* stages) {
  static_assert(O::C <= 16);
  switch (L) {
    case 8:
      if constexpr (O::C > 8) registerStages<O, 8, kRadix2>(z, n, stages);
      return;
    case 4:
      if constexpr (O::C > 4) registerStages<O, 4, kRadix2>(z, n, stages);
      return;
    case 2:
      if constexpr (O::C > 2) registerStages<O, 2, kRadix2>(z, n, stages);
      return;
    case 1:
      registerStages<O, 1, kRadix2>(z, n, stages);
      return;
    default:
      registerStages<O, 0, kRadix2>(z, n, stages);
  }
}

#if defined(__AVX512BW__)
// The 32-bit lanes of 16 registers transposed: r[b] lane k = old r[k] lane b.
KVO_KERNEL_INLINE void transpose16(__m512i* r) {
  __m512i t[16];
  for (int i = 0; i < 16; i += 2) {
    t[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
    t[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
  }
  for (int i = 0; i < 16; i += 4) {  // r[i + m]: column m of each 128-bit lane, rows i .. i + 3
    r[i] = _mm512_unpacklo_epi64(t[i], t[i + 2]);
    r[i + 1] = _mm512_unpackhi_epi64(t[i], t[i + 2]);
    r[i + 2] = _mm512_unpacklo_epi64(t[i + 1], t[i + 3]);
    r[i + 3] = _mm512_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
  for (int m = 0; m < 4; ++m) {
    const __m512i a0 = _mm512_shuffle_i32x4(r[m], r[4 + m], 0x44);
    const __m512i a1 = _mm512_shuffle_i32x4(r[m], r[4 + m], 0xEE);
    const __m512i b0 = _mm512_shuffle_i32x4(r[8 + m], r[12 + m], 0x44);
    const __m512i b1 = _mm512_shuffle_i32x4(r[8 + m], r[12 + m], 0xEE);
    t[m] = _mm512_shuffle_i32x4(a0, b0, 0x88);
    t[4 + m] = _mm512_shuffle_i32x4(a0, b0, 0xDD);
    t[8 + m] = _mm512_shuffle_i32x4(a1, b1, 0x88);
    t[12 + m] = _mm512_shuffle_i32x4(a1, b1, 0xDD);
  }
  for (int i = 0; i < 16; ++i) r[i] = t[i];
}

constexpr int reverse4(int b) {
  return ((b & 1) << 3) | ((b & 2) << 1) | ((b & 4) >> 1) | ((b & 8) >> 3);
}

// The 64-bit lanes of 8 registers transposed: r[b] lane k = old r[k] lane b.
KVO_KERNEL_INLINE void transpose8(__m512i* r) {
  __m512i t[8];
  for (int i = 0; i < 8; i += 2) {  // per 128-bit lane L: rows i, i + 1 of column 2L (+ 1)
    t[i] = _mm512_unpacklo_epi64(r[i], r[i + 1]);
    t[i + 1] = _mm512_unpackhi_epi64(r[i], r[i + 1]);
  }
  for (int e = 0; e < 2; ++e) {
    const __m512i a0 = _mm512_shuffle_i64x2(t[e], t[2 + e], 0x44);
    const __m512i a1 = _mm512_shuffle_i64x2(t[e], t[2 + e], 0xEE);
    const __m512i b0 = _mm512_shuffle_i64x2(t[4 + e], t[6 + e], 0x44);
    const __m512i b1 = _mm512_shuffle_i64x2(t[4 + e], t[6 + e], 0xEE);
    r[e] = _mm512_shuffle_i64x2(a0, b0, 0x88);
    r[2 + e] = _mm512_shuffle_i64x2(a0, b0, 0xDD);
    r[4 + e] = _mm512_shuffle_i64x2(a1, b1, 0x88);
    r[6 + e] = _mm512_shuffle_i64x2(a1, b1, 0xDD);
  }
}

// A twiddle pair (two 16-bit values in a 32-bit unit) in every complex value of a register.
KVO_KERNEL_INLINE __m512i splat(FastOps, std::uint32_t pair) {
  return _mm512_set1_epi32(static_cast<int>(pair));
}
KVO_KERNEL_INLINE __m512i splat(IntOps, std::uint32_t pair) {  // widened to 32-bit values
  const auto lo = static_cast<std::uint32_t>(static_cast<std::int16_t>(pair & 0xFFFF));
  const auto hi = static_cast<std::uint32_t>(static_cast<std::int16_t>(pair >> 16));
  return _mm512_set1_epi64(static_cast<long long>(std::uint64_t{hi} << 32 | lo));
}

// The stages of span below 16 (4 and 1 for even orders; 2 and the radix-2 stage for odd ones)
// fused with the bit reversal. Blocks of 16 values (16 / C registers), C blocks at a time: with
// i = 16 (2^(order-4-c) c + d) + b (2^c = C), the blocks of one d loaded in the order reverse(c)
// and transposed hold position b of each block in register b, so the stages run on whole
// registers with one twiddle per register; and register b is then a whole register of the
// result, at 2^(order-4) reverse(b) + C reverse(d). N >= 16 C.
template <class O>
void transposedTail(const typename O::T* z, typename O::T* out, int order,
                    const std::uint32_t* stages) {
  constexpr int C = O::C, kBits = C == 16 ? 4 : 3, kPer = 16 / C;
  const SelOf<O>& im = imaginary<O>();
  const bool odd = order & 1;
  const std::size_t L = odd ? 2 : 4;  // the tail's radix-4 span
  const std::uint32_t* span = stages + 6 * (L - 1);
  // Twiddles of power p and index j as whole registers.
  __m512i w[3][4][2];
  for (int p = 1; p <= 3; ++p) {
    for (std::size_t j = 0; j < L; ++j) {
      w[p - 1][j][0] = splat(O{}, span[2 * (p - 1) * L + j]);
      w[p - 1][j][1] = splat(O{}, span[2 * (p - 1) * L + L + j]);
    }
  }
  const int rowBits = order - 4 - kBits;
  const std::size_t rows = std::size_t{1} << rowBits, stride = std::size_t{1} << (order - 4);
  auto none = [](Reg y, int) { return y; };
  for (std::size_t d = 0; d < rows; ++d) {
    __m512i r[16];
    for (int k = 0; k < C; ++k) {
      const typename O::T* block = z + 32 * (reverseBits(k, kBits) * rows + d);
      for (int h = 0; h < kPer; ++h) r[h * C + k] = ld(block + 2 * C * h);
    }
    if constexpr (C == 16) {
      transpose16(r);
    } else {
      transpose8(r);
      transpose8(r + 8);
    }
    for (std::size_t g = 0; g < 16; g += 4 * L) {  // the radix-4 stage of span L
      for (std::size_t j = 0; j < L; ++j) {
        __m512i* x = r + g + j;
        if (j == 0) {
          butterfly<O>(x[0], x[L], x[2 * L], x[3 * L], im, none);
        } else {
          butterfly<O>(x[0], x[L], x[2 * L], x[3 * L], im,
                       [&](Reg y, int p) { return O::mul(y, w[p - 1][j][0], w[p - 1][j][1]); });
        }
      }
    }
    if (odd) {  // radix 2 on neighbours
      for (int b = 0; b < 16; b += 2) {
        const __m512i a = r[b];
        r[b] = O::add(a, r[b + 1]);
        r[b + 1] = O::sub(a, r[b + 1]);
      }
    } else {  // span 1: no twiddles
      for (int g = 0; g < 16; g += 4) butterfly<O>(r[g], r[g + 1], r[g + 2], r[g + 3], im, none);
    }
    typename O::T* base = out + 2 * C * reverseBits(d, rowBits);
    for (int b = 0; b < 16; ++b) st(base + 2 * stride * reverse4(b), r[b]);
  }
}
#endif

// Natural order in, bit-reversed order out, for N >= 2C.
template <class O>
void vectorCore(typename O::T* z, int order, const std::uint32_t* stages) {
  const std::size_t n = std::size_t{1} << order;
  std::size_t span = n / 4;
  for (; span >= O::C; span /= 4) verticalStage<O>(z, n, span, stages + 6 * (span - 1));
  if (order & 1) {
    registerStages<O, true>(z, n, span, stages);
  } else if (span >= 1) {
    registerStages<O, false>(z, n, span, stages);
  }
}

// Imaginary parts negated (saturating for the fast core, as Arith::neg).
template <class O>
void vectorConjugate(typename O::T* z, std::size_t n) {
  const SelOf<O>& im = imaginary<O>();
  const Reg zero{};
  for (std::size_t i = 0; i < n; i += O::C) {
    const Reg x = ld(z + 2 * i);
    st(z + 2 * i, blend(x, O::sub(zero, x), im));
  }
}

template <class T>
using OpsOf = std::conditional_t<sizeof(T) == 2, FastOps, IntOps>;

// One radix-4 stage of the scalar definition: butterflies of span L over groups of 4L, twiddles
// from the stage table.
template <class T>
void radix4Stage(T* z, std::size_t n, std::size_t L, const std::uint32_t* stages) {
  using A = Arith<T>;
  for (std::size_t g = 0; g < n; g += 4 * L) {
    for (std::size_t j = 0; j < L; ++j) {
      T* p0 = z + 2 * (g + j);
      T* p1 = p0 + 2 * L;
      T* p2 = p0 + 4 * L;
      T* p3 = p0 + 6 * L;
      const T t0r = A::add(p0[0], p2[0]), t0i = A::add(p0[1], p2[1]);
      const T t1r = A::sub(p0[0], p2[0]), t1i = A::sub(p0[1], p2[1]);
      const T t2r = A::add(p1[0], p3[0]), t2i = A::add(p1[1], p3[1]);
      const T t3r = A::sub(p1[0], p3[0]), t3i = A::sub(p1[1], p3[1]);
      // Frequencies 0, 2, 1, 3 (mod 4) go to the quarters 0, 1, 2, 3: bit-reversed order.
      T y2r = A::sub(t0r, t2r), y2i = A::sub(t0i, t2i);
      T y1r = A::add(t1r, t3i), y1i = A::sub(t1i, t3r);  // t1 - i t3
      T y3r = A::sub(t1r, t3i), y3i = A::add(t1i, t3r);  // t1 + i t3
      p0[0] = A::add(t0r, t2r);
      p0[1] = A::add(t0i, t2i);
      if (j != 0) {  // entry 0 is exactly 1
        twiddle(y2r, y2i, stages + 2 * L, L, j);
        twiddle(y1r, y1i, stages, L, j);
        twiddle(y3r, y3i, stages + 4 * L, L, j);
      }
      p1[0] = y2r;
      p1[1] = y2i;
      p2[0] = y1r;
      p2[1] = y1i;
      p3[0] = y3r;
      p3[1] = y3i;
    }
  }
}

// Half the sum and half the difference of components, floored, without overflow: (a >> 1) +
// (b >> 1) + (a & b & 1) and (a >> 1) - (b >> 1) - (~a & b & 1).
template <class O>
KVO_KERNEL_INLINE Reg halfSum(Reg a, Reg b) {
  const Reg one = O::ones();
  return O::plainAdd(O::plainAdd(O::sra1(a), O::sra1(b)), LaneCmp::both(LaneCmp::both(a, b), one));
}
template <class O>
KVO_KERNEL_INLINE Reg halfDiff(Reg a, Reg b) {
  const Reg one = O::ones();
  return O::plainSub(O::plainSub(O::sra1(a), O::sra1(b)), LaneCmp::both(LaneCmp::clear(b, a), one));
}

// Complex values first .. first + count - 1 of v stored at p (a last, partial register).
template <class O>
KVO_KERNEL_INLINE void storeSome(typename O::T* p, Reg v, std::size_t first, std::size_t count) {
  const unsigned bits = ((1u << count) - 1) << first;
#if defined(__AVX512BW__)
  if constexpr (O::kUnit == 4) {
    _mm512_mask_storeu_epi32(p, static_cast<__mmask16>(bits), v);
  } else {
    _mm512_mask_storeu_epi64(p, static_cast<__mmask8>(bits), v);
  }
#elif defined(__AVX2__)
  alignas(32) std::int32_t mask[8];
  for (int e = 0; e < 8; ++e) mask[e] = (bits >> (e / (O::kUnit / 4))) & 1 ? -1 : 0;
  _mm256_maskstore_epi32(reinterpret_cast<int*>(p),
                         _mm256_load_si256(reinterpret_cast<const __m256i*>(mask)), v);
#else
  (void)bits;
  alignas(16) unsigned char bytes[kRegBytes];
  st(bytes, v);
  std::memcpy(p + 2 * first, bytes + O::kUnit * first, O::kUnit * count);
#endif
}

// The forward real-signal recombination on registers, k = 1 .. M/2 - 1 with M - k read and
// written reversed: the same operations as the scalar loop, value by value. The last register may
// reach past M/2; its extra values are computed from neighbours' data but not stored. `w` holds
// w^k as (a, b) pairs, then (-b, a) pairs from M/2 on. Returns the first k left.
template <class O>
std::size_t vectorPost(typename O::T* z, std::size_t m, const std::uint32_t* w) {
  constexpr std::size_t C = O::C;
  const std::size_t half = m / 2;
  std::size_t k = 1;
  if (m < C) return k;  // a register of k and one of M - k lie within the M + 1 values
  struct Reverse : PermOf<O> {
    Reverse() : PermOf<O>([](int i) { return static_cast<int>(C) - 1 - i; }) {}
  };
  const PermOf<O>& reverse = once<Reverse>();
  const SelOf<O>& im = imaginary<O>();
  const Reg zero{};
  for (; k < half; k += C) {
    typename O::T* lo = z + 2 * k;
    typename O::T* hi = z + 2 * (m - k - (C - 1));
    const Reg p = ld(lo), q = reverse(ld(hi));
    const Reg s = halfSum<O>(p, q), d = halfDiff<O>(p, q);
    const Reg e = blend(s, d, im);  // (half (pr + qr), half (pi - qi))
    const Reg r = O::mul(blend(d, s, im), O::twiddles(w + k), O::twiddles(w + half + k));
    const Reg turned = O::swap(r);
    const Reg plus = O::add(e, turned), minus = O::sub(e, turned);
    const Reg low = blend(plus, minus, im);                          // (er + ri, ei - rr)
    const Reg high = reverse(blend(minus, O::sub(zero, plus), im));  // (er - ri, -(ei + rr))
    const std::size_t count = half - k < C ? half - k : C;
    if (count == C) {
      st(lo, low);
      st(hi, high);
    } else {
      storeSome<O>(lo, low, 0, count);
      storeSome<O>(hi, high, C - count, count);
    }
  }
  return half;
}

}  // namespace

template <Isa I, class T>
void fft16CoreK(T* z, int order, const std::uint32_t* stages, bool inverse) {
  using A = Arith<T>;
  using O = OpsOf<T>;
  const std::size_t n = std::size_t{1} << order;
  if (n >= 2 * O::C) {
    if (inverse) vectorConjugate<O>(z, n);
    vectorCore<O>(z, order, stages);
    if (inverse) vectorConjugate<O>(z, n);
    return;
  }
  if (inverse) conjugate(z, n);
  for (std::size_t span = n / 4; span >= 1; span /= 4) {
    radix4Stage(z, n, span, stages + 6 * (span - 1));
  }
  if (order & 1) {  // the last stage: radix 2 on neighbours, no twiddles
    for (std::size_t i = 0; i < n; i += 2) {
      T* p = z + 2 * i;
      const T ar = p[0], ai = p[1], br = p[2], bi = p[3];
      p[0] = A::add(ar, br);
      p[1] = A::add(ai, bi);
      p[2] = A::sub(ar, br);
      p[3] = A::sub(ai, bi);
    }
  }
  if (inverse) conjugate(z, n);
}

template <Isa I, class T>
void fft16PostK(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride,
                const std::uint32_t* stages, bool inverse) {
  using A = Arith<T>;
  const std::int64_t r0 = z[0], i0 = z[1];
  z[0] = A::fit(r0 + i0);
  z[1] = 0;
  z[2 * m] = A::fit(r0 - i0);
  z[2 * m + 1] = 0;
  std::size_t k = 1;
  // Forward: the twiddles w^k, k < M/2, are the first power of the stage of span M/2.
  if (!inverse) k = vectorPost<OpsOf<T>>(z, m, stages + 6 * (m / 2 - 1));
  for (; 2 * k < m; ++k) {
    const std::int16_t* e = tw + 4 * stride * (inverse ? 2 * m - k : k);
    T* lo = z + 2 * k;
    T* hi = z + 2 * (m - k);
    const std::int64_t pr = lo[0], pi = lo[1], qr = hi[0], qi = hi[1];
    // E and O: half sum and half difference of Z[k] and conj Z[M-k].
    const T er = half<T>(pr + qr), ei = half<T>(pi - qi);
    T orr = half<T>(pr - qr), oi = half<T>(pi + qi);
    twiddle(orr, oi, e);  // R = O w^k; X[k] = E - iR, X[M-k] = conj(E + iR)
    lo[0] = A::add(er, oi);
    lo[1] = A::sub(ei, orr);
    hi[0] = A::sub(er, oi);
    hi[1] = A::neg(A::add(ei, orr));
  }
  if (m >= 2 && !inverse) z[m + 1] = A::neg(z[m + 1]);  // X[M/2] = conj Z[M/2]
}

template <Isa I, class T>
void fft16PreK(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride, bool inverse) {
  using A = Arith<T>;
  const std::int64_t dc = z[0], nyquist = z[2 * m];
  z[0] = A::fit(dc + nyquist);
  z[1] = A::fit(dc - nyquist);
  for (std::size_t k = 1; 2 * k < m; ++k) {
    const std::int16_t* e = tw + 4 * stride * (inverse ? 2 * m - k : k);
    T* lo = z + 2 * k;
    T* hi = z + 2 * (m - k);
    const T ar = lo[0], ai = lo[1], br = hi[0], bi = hi[1];
    // S and D: sum and difference of X[k] and conj X[M-k]; 2Z[k] = S + iR, 2Z[M-k] = conj(S - iR)
    // with R = D w^k.
    const T sr = A::add(ar, br), si = A::sub(ai, bi);
    T dr = A::sub(ar, br), di = A::add(ai, bi);
    twiddle(dr, di, e);
    lo[0] = A::sub(sr, di);
    lo[1] = A::add(si, dr);
    hi[0] = A::add(sr, di);
    hi[1] = A::neg(A::sub(si, dr));
  }
  if (m >= 2) {
    T* mid = z + m;
    mid[0] = A::add(mid[0], mid[0]);
    const T im = A::add(mid[1], mid[1]);
    mid[1] = inverse ? A::neg(im) : im;
  }
}

#if defined(__AVX512BW__)
// The bit reversal of 32-bit units by 16 x 16 transposes, N >= 256: with i = 16 (2^(order-8) c + d)
// + b, position i goes to 2^(order-4) reverse(b) + 16 reverse(d) + reverse(c). So the 16 registers
// of one d, loaded in the order reverse(c), transposed, give whole registers of the result.
template <class U, class Reverse>
void transposeReverse(const U* src, U* dst, int order, Reverse reverse) {
  const std::size_t rows = std::size_t{1} << (order - 8), out = std::size_t{1} << (order - 4);
  for (std::size_t d = 0; d < rows; ++d) {
    __m512i r[16], t[16];
    for (int k = 0; k < 16; ++k) r[k] = _mm512_loadu_si512(src + 16 * (reverse(k, 4) * rows + d));
    for (int i = 0; i < 16; i += 2) {
      t[i] = _mm512_unpacklo_epi32(r[i], r[i + 1]);
      t[i + 1] = _mm512_unpackhi_epi32(r[i], r[i + 1]);
    }
    for (int i = 0; i < 16; i += 4) {  // r[i + m]: column m of each 128-bit lane, rows i .. i + 3
      r[i] = _mm512_unpacklo_epi64(t[i], t[i + 2]);
      r[i + 1] = _mm512_unpackhi_epi64(t[i], t[i + 2]);
      r[i + 2] = _mm512_unpacklo_epi64(t[i + 1], t[i + 3]);
      r[i + 3] = _mm512_unpackhi_epi64(t[i + 1], t[i + 3]);
    }
    U* base = dst + 16 * reverse(d, order - 8);
    for (int m = 0; m < 4; ++m) {
      const __m512i a0 = _mm512_shuffle_i32x4(r[m], r[4 + m], 0x44);
      const __m512i a1 = _mm512_shuffle_i32x4(r[m], r[4 + m], 0xEE);
      const __m512i b0 = _mm512_shuffle_i32x4(r[8 + m], r[12 + m], 0x44);
      const __m512i b1 = _mm512_shuffle_i32x4(r[8 + m], r[12 + m], 0xEE);
      const __m512i col[4] = {
          _mm512_shuffle_i32x4(a0, b0, 0x88), _mm512_shuffle_i32x4(a0, b0, 0xDD),
          _mm512_shuffle_i32x4(a1, b1, 0x88), _mm512_shuffle_i32x4(a1, b1, 0xDD)};
      for (int lane = 0; lane < 4; ++lane) {
        _mm512_storeu_si512(base + out * reverse(4 * lane + m, 4), col[lane]);
      }
    }
  }
}
#endif

template <Isa I, class T>
void fft16NaturalK(T* z, T* out, int order, const std::uint32_t* stages, bool inverse) {
  using U = std::conditional_t<sizeof(T) == 2, std::uint32_t, std::uint64_t>;
#if defined(__AVX512BW__)
  using O = OpsOf<T>;
  if (order >= (O::C == 16 ? 8 : 7)) {
    const std::size_t n = std::size_t{1} << order;
    if (inverse) vectorConjugate<O>(z, n);
    std::size_t span = n / 4;
    for (; span >= O::C; span /= 4) verticalStage<O>(z, n, span, stages + 6 * (span - 1));
    if constexpr (O::C == 16) {  // odd orders: span 8 before the tail
      if (span == 8) registerStages<O, 8, false, true>(z, n, stages);
    }
    transposedTail<O>(z, out, order, stages);
    if (inverse) vectorConjugate<O>(out, n);
    return;
  }
#endif
  fft16CoreK<I, T>(z, order, stages, inverse);
  fft16PermuteK<I, U>(reinterpret_cast<const U*>(z), reinterpret_cast<U*>(out), order);
}

template <Isa I, class U>
void fft16PermuteK(const U* src, U* dst, int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto reverse = reverseBits;
  // Position B a + b (B values per register) reads 2^(order - log B) reverse(b) + reverse(a): one
  // reversal per register, the rest a fixed pattern.
  constexpr int kBlock = kRegBytes / static_cast<int>(sizeof(U));
  constexpr int kBlockBits = kBlock == 16 ? 4 : kBlock == 8 ? 3 : 2;
  (void)kBlockBits;
#if defined(__AVX512BW__)
  if constexpr (sizeof(U) == 4) {
    if (order >= 8) {
      transposeReverse(src, dst, order, reverse);
      return;
    }
  }
#endif
#if defined(__AVX512BW__) || defined(__AVX2__)
  // Gathers take 32-bit indices: far beyond any length that fits in memory here.
  if (order >= kBlockBits && order <= 28) {
    const int shift = order - kBlockBits;
    struct Reversed {  // reverse(b) for the positions b of a register
      alignas(64) std::int32_t b[kBlock];
      Reversed() {
        for (int i = 0; i < kBlock; ++i) {
          int r = 0;
          for (int bit = 0; bit < kBlockBits; ++bit)
            r |= ((i >> bit) & 1) << (kBlockBits - 1 - bit);
          b[i] = r;
        }
      }
    };
    const std::int32_t* reversed = once<Reversed>().b;
    const __m128i count = _mm_cvtsi32_si128(shift);
    const auto pattern = [&] {
#if defined(__AVX512BW__)
      if constexpr (sizeof(U) == 4) {
        return _mm512_sll_epi32(_mm512_load_si512(reversed), count);
      } else {
        return _mm256_sll_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(reversed)),
                                count);
      }
#else
      if constexpr (sizeof(U) == 4) {
        return _mm256_sll_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(reversed)),
                                count);
      } else {
        return _mm_sll_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(reversed)), count);
      }
#endif
    }();
    for (std::size_t a = 0; a < n / kBlock; ++a) {
      const int r = static_cast<int>(reverse(a, shift));
      U* out = dst + a * kBlock;
#if defined(__AVX512BW__)
      if constexpr (sizeof(U) == 4) {
        const __m512i idx = _mm512_add_epi32(pattern, _mm512_set1_epi32(r));
        _mm512_storeu_si512(out, _mm512_i32gather_epi32(idx, src, 4));
      } else {
        const __m256i idx = _mm256_add_epi32(pattern, _mm256_set1_epi32(r));
        _mm512_storeu_si512(out, _mm512_i32gather_epi64(idx, src, 8));
      }
#else
      if constexpr (sizeof(U) == 4) {
        const __m256i idx = _mm256_add_epi32(pattern, _mm256_set1_epi32(r));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_i32gather_epi32(reinterpret_cast<const int*>(src), idx, 4));
      } else {
        const __m128i idx = _mm_add_epi32(pattern, _mm_set1_epi32(r));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(out),
            _mm256_i32gather_epi64(reinterpret_cast<const long long*>(src), idx, 8));
      }
#endif
    }
    return;
  }
#endif
  for (std::size_t i = 0; i < n; ++i) dst[i] = src[reverse(i, order)];
}

template <Isa I, class T>
void fft16SplitK(const T* z, T* x, T* y, std::size_t n) {
  using A = Arith<T>;
  const std::size_t h = n / 2;
  x[0] = z[0];
  y[0] = z[1];
  x[2 * h] = z[2 * h];
  y[2 * h] = z[2 * h + 1];
  x[1] = y[1] = x[2 * h + 1] = y[2 * h + 1] = 0;
  for (std::size_t k = 1; k < h; ++k) {
    const std::int64_t ar = z[2 * k], ai = z[2 * k + 1], br = z[2 * (n - k)],
                       bi = z[2 * (n - k) + 1];
    x[2 * k] = half<T>(ar + br);  // X = (Z[k] + conj Z[N-k]) / 2
    x[2 * k + 1] = half<T>(ai - bi);
    y[2 * k] = half<T>(ai + bi);  // Y = -i (Z[k] - conj Z[N-k]) / 2
    y[2 * k + 1] = A::neg(half<T>(ar - br));
  }
}

template <Isa I, class T>
void fft16MergeK(const T* x, const T* y, T* z, std::size_t n) {
  using A = Arith<T>;
  const std::size_t h = n / 2;
  for (std::size_t k = 0; k <= h; ++k) {  // Z[k] = X[k] + i Y[k]; the CCS ends are real
    const bool end = k == 0 || k == h;
    const T xi = end ? T{0} : x[2 * k + 1], yi = end ? T{0} : y[2 * k + 1];
    z[2 * k] = A::sub(x[2 * k], yi);
    z[2 * k + 1] = A::add(xi, y[2 * k]);
    if (!end) {  // Z[N-k] = conj X[k] + i conj Y[k]
      z[2 * (n - k)] = A::add(x[2 * k], yi);
      z[2 * (n - k) + 1] = A::sub(y[2 * k], xi);
    }
  }
}

template <Isa I>
void fft16WidenK(const std::int16_t* src, std::int32_t* dst, std::size_t n) {
  constexpr std::size_t kLanes = kRegBytes / 4;
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) st(dst + i, widenHalf(src + i));
  for (; i < n; ++i) dst[i] = src[i] * 64;
}

template <Isa I>
void fft16FinishWideK(std::int32_t* v, std::size_t n, int s, bool autoScale, std::int16_t* dst) {
  constexpr std::size_t kLanes = kRegBytes / 4;
  std::size_t done = 0;
  if (s >= 0 && s <= 30) {
    const __m128i count = _mm_cvtsi32_si128(s);
    if (autoScale) {
      // Values in (-2^s, 0) become 0; the others are floored.
      const Reg bound = KVO_V(set1_epi32)(-(1 << s)), zero{};
      for (; done + kLanes <= n; done += kLanes) {
        const Reg x = ld(v + done);
        const Reg small = LaneCmp::both(LaneCmp::gt(x, bound), LaneCmp::gt(zero, x));
        st(v + done, LaneCmp::clear(KVO_V(sra_epi32)(x, count), small));
      }
    } else {
      for (; done + 2 * kLanes <= n; done += 2 * kLanes) {
        packSaturated(dst + done, KVO_V(sra_epi32)(ld(v + done), count),
                      KVO_V(sra_epi32)(ld(v + done + kLanes), count));
      }
    }
  }
  v += done;
  dst += done;
  n -= done;
  if (autoScale) {
    // Right by s, except that negative values above -2^s become 0 rather than -1.
    const int r = s < 63 ? s : 63;
    const std::int64_t bound = s < 62 ? -(std::int64_t{1} << s) : INT64_MIN;
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t x = v[i];
      v[i] = x < 0 && x > bound ? 0 : static_cast<std::int32_t>(x >> r);
    }
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    std::int64_t x = v[i];
    x = s >= 0 ? x >> (s < 63 ? s : 63) : x * (std::int64_t{1} << (-s < 31 ? -s : 31));
    dst[i] = static_cast<std::int16_t>(x > 32767 ? 32767 : x < -32768 ? -32768 : x);
  }
}

template <Isa I>
void fft16FinishFastK(std::int16_t* v, std::size_t n, int s) {
  if (s == 0) return;
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t x = v[i];
    // Arithmetic right shift, or a left shift that keeps the low 16 bits.
    v[i] = s > 0 ? static_cast<std::int16_t>(x >> (s < 15 ? s : 15))
                 : static_cast<std::int16_t>(-s < 16 ? static_cast<std::uint32_t>(x) << -s : 0u);
  }
}

#define KVO_INSTANTIATE_FFT16(T)                                                                \
  template void fft16CoreK<KVO_ISA, T>(T*, int, const std::uint32_t*, bool);                    \
  template void fft16NaturalK<KVO_ISA, T>(T*, T*, int, const std::uint32_t*, bool);             \
  template void fft16PostK<KVO_ISA, T>(T*, std::size_t, const std::int16_t*, std::size_t,       \
                                       const std::uint32_t*, bool);                             \
  template void fft16PreK<KVO_ISA, T>(T*, std::size_t, const std::int16_t*, std::size_t, bool); \
  template void fft16SplitK<KVO_ISA, T>(const T*, T*, T*, std::size_t);                         \
  template void fft16MergeK<KVO_ISA, T>(const T*, const T*, T*, std::size_t);
KVO_INSTANTIATE_FFT16(std::int32_t)
KVO_INSTANTIATE_FFT16(std::int16_t)
#undef KVO_INSTANTIATE_FFT16
template void fft16PermuteK<KVO_ISA, std::uint32_t>(const std::uint32_t*, std::uint32_t*, int);
template void fft16PermuteK<KVO_ISA, std::uint64_t>(const std::uint64_t*, std::uint64_t*, int);
template void fft16WidenK<KVO_ISA>(const std::int16_t*, std::int32_t*, std::size_t);
template void fft16FinishWideK<KVO_ISA>(std::int32_t*, std::size_t, int, bool, std::int16_t*);
template void fft16FinishFastK<KVO_ISA>(std::int16_t*, std::size_t, int);

}  // namespace kvo::kern
