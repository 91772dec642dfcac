// 16-bit FFT kernels for one instruction-set level; included by fft16_<level>.cpp after KVO_ISA is
// defined. See fft16.h for the arithmetic and isa.h for the rules these files follow.
#include <emmintrin.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <cstdint>
#include <utility>

#include "kernels/transform/fft16.h"

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

// ---- the fast core in packed 16-bit arithmetic: four complex values per vector ----

// Entries idx, idx + inc, ... of the table: their (a, b) halves, or with `second` their (-b, a)
// halves, one 32-bit pair per complex lane.
KVO_KERNEL_INLINE __m128i twiddles4(const std::int16_t* tw, std::size_t idx, std::size_t inc,
                                    bool second) {
  // Lane by lane from registers: a vector load of values just stored would stall.
  std::int32_t v[4];
  for (int q = 0; q < 4; ++q) std::memcpy(&v[q], tw + 4 * (idx + q * inc) + (second ? 2 : 0), 4);
  return _mm_set_epi32(v[3], v[2], v[1], v[0]);
}

// Four complex values times their twiddles: paired multiply-add, arithmetic shift by 14, packing
// with saturation, exactly as Arith<std::int16_t>::prod.
KVO_KERNEL_INLINE __m128i twiddle4(__m128i x, const std::int16_t* tw, std::size_t idx,
                                   std::size_t inc) {
  const __m128i re = _mm_srai_epi32(_mm_madd_epi16(x, twiddles4(tw, idx, inc, false)), 14);
  const __m128i im = _mm_srai_epi32(_mm_madd_epi16(x, twiddles4(tw, idx, inc, true)), 14);
  const __m128i packed = _mm_packs_epi32(re, im);  // re0..re3, im0..im3
  return _mm_unpacklo_epi16(packed, _mm_unpackhi_epi64(packed, packed));
}

KVO_KERNEL_INLINE __m128i load4(const std::int16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
KVO_KERNEL_INLINE void store4(std::int16_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Real parts from a, imaginary parts from b.
KVO_KERNEL_INLINE __m128i mergeParts(__m128i a, __m128i b) {
  const __m128i re = _mm_set1_epi32(0xFFFF);
  return _mm_or_si128(_mm_and_si128(re, a), _mm_andnot_si128(re, b));
}

// Radix-4 butterflies on four lanes at once, as the scalar stage computes them: x[q] holds the
// q-th quarter's values; the twiddles of lane l are the entries (j + l inc) times 1, 2, 3.
// `twiddled` false: every twiddle is 1 (exactly, as entry 0).
KVO_KERNEL_INLINE void butterflies4(__m128i* x, const std::int16_t* tw, std::size_t j,
                                    std::size_t inc, bool twiddled) {
  const __m128i t0 = _mm_adds_epi16(x[0], x[2]), t1 = _mm_subs_epi16(x[0], x[2]);
  const __m128i t2 = _mm_adds_epi16(x[1], x[3]), t3 = _mm_subs_epi16(x[1], x[3]);
  const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(t3, 0xB1), 0xB1);  // (t3i, t3r)
  const __m128i sum = _mm_adds_epi16(t1, swapped), diff = _mm_subs_epi16(t1, swapped);
  x[0] = _mm_adds_epi16(t0, t2);
  x[1] = _mm_subs_epi16(t0, t2);
  x[2] = mergeParts(sum, diff);  // t1 - i t3
  x[3] = mergeParts(diff, sum);  // t1 + i t3
  if (twiddled) {
    x[1] = twiddle4(x[1], tw, 2 * j, 2 * inc);
    x[2] = twiddle4(x[2], tw, j, inc);
    x[3] = twiddle4(x[3], tw, 3 * j, 3 * inc);
  }
}

// The 32-bit lanes (complex values) of four vectors transposed.
KVO_KERNEL_INLINE void transpose4(__m128i* v) {
  const __m128i a = _mm_unpacklo_epi32(v[0], v[1]), b = _mm_unpackhi_epi32(v[0], v[1]);
  const __m128i c = _mm_unpacklo_epi32(v[2], v[3]), d = _mm_unpackhi_epi32(v[2], v[3]);
  v[0] = _mm_unpacklo_epi64(a, c);
  v[1] = _mm_unpackhi_epi64(a, c);
  v[2] = _mm_unpacklo_epi64(b, d);
  v[3] = _mm_unpackhi_epi64(b, d);
}

// A radix-4 stage of the fast core: spans of four and more run along the groups; spans 1 and 2
// take four groups at a time, transposed so that each lane holds one group.
void fastRadix4Stage(std::int16_t* z, std::size_t n, std::size_t L, const std::int16_t* tw,
                     std::size_t step) {
  __m128i x[8];
  if (L % 4 == 0) {
    for (std::size_t g = 0; g < n; g += 4 * L) {
      for (std::size_t j = 0; j < L; j += 4) {
        std::int16_t* p = z + 2 * (g + j);
        for (std::size_t q = 0; q < 4; ++q) x[q] = load4(p + 2 * q * L);
        butterflies4(x, tw, j * step, step, true);
        for (std::size_t q = 0; q < 4; ++q) store4(p + 2 * q * L, x[q]);
      }
    }
    return;
  }
  // Four groups of 4L values: L vectors per group; after the transposes x[4k + h] holds the
  // values 4k + h of the four groups, that is element j = (4k + h) mod L of quarter
  // (4k + h) / L.
  for (std::size_t g = 0; g < n; g += 16 * L) {
    std::int16_t* p = z + 2 * g;
    for (std::size_t k = 0; k < L; ++k) {
      __m128i* t = x + 4 * k;
      for (std::size_t h = 0; h < 4; ++h) t[h] = load4(p + 8 * (h * L + k));
      transpose4(t);
    }
    for (std::size_t j = 0; j < L; ++j) {
      __m128i q[4] = {x[j], x[L + j], x[2 * L + j], x[3 * L + j]};
      butterflies4(q, tw, j * step, 0, j != 0);
      for (std::size_t i = 0; i < 4; ++i) x[i * L + j] = q[i];
    }
    for (std::size_t k = 0; k < L; ++k) {
      __m128i* t = x + 4 * k;
      transpose4(t);
      for (std::size_t h = 0; h < 4; ++h) store4(p + 8 * (h * L + k), t[h]);
    }
  }
}

// The last radix-2 stage of the fast core: (a + b, a - b) of neighbours, two vectors at a time.
void fastRadix2Stage(std::int16_t* z, std::size_t n) {
  for (std::size_t i = 0; i < n; i += 8) {
    const __m128i v0 = load4(z + 2 * i), v1 = load4(z + 2 * i + 8);
    const __m128i lo = _mm_unpacklo_epi32(v0, v1), hi = _mm_unpackhi_epi32(v0, v1);
    const __m128i a = _mm_unpacklo_epi64(lo, hi), b = _mm_unpackhi_epi64(lo, hi);
    const __m128i s = _mm_adds_epi16(a, b), d = _mm_subs_epi16(a, b);
    const __m128i sl = _mm_unpacklo_epi32(s, d), sh = _mm_unpackhi_epi32(s, d);
    store4(z + 2 * i, _mm_unpacklo_epi64(sl, sh));
    store4(z + 2 * i + 8, _mm_unpackhi_epi64(sl, sh));
  }
}

// ---- the integer core's radix-4 stages on vectors: four complex values in two vectors ----

// Four 32-bit complex values (two vectors) times their twiddles, exactly as
// Arith<std::int32_t>::prod: x = 65536 h + l with l unsigned; the paired multiply-adds of h and of
// l - 32768 (both 16-bit) give 4 (h . w) + floor((l . w) / 2^14), all sums within 32 bits and
// every wrap the same as the scalar one's.
KVO_KERNEL_INLINE void wideTwiddle4(__m128i& x0, __m128i& x1, const std::int16_t* tw,
                                    std::size_t idx, std::size_t inc) {
  const __m128i wa = twiddles4(tw, idx, inc, false), wb = twiddles4(tw, idx, inc, true);
  const __m128i low = _mm_set1_epi32(0xFFFF), bias = _mm_set1_epi32(32768);
  const __m128i h = _mm_packs_epi32(_mm_srai_epi32(x0, 16), _mm_srai_epi32(x1, 16));
  const __m128i l = _mm_packs_epi32(_mm_sub_epi32(_mm_and_si128(x0, low), bias),
                                    _mm_sub_epi32(_mm_and_si128(x1, low), bias));
  const __m128i unit = _mm_set1_epi16(-32768);
  auto part = [&](__m128i w) {
    const __m128i lowSum = _mm_sub_epi32(_mm_madd_epi16(l, w), _mm_madd_epi16(unit, w));
    return _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(h, w), 2), _mm_srai_epi32(lowSum, 14));
  };
  const __m128i re = part(wa), im = part(wb);
  x0 = _mm_unpacklo_epi32(re, im);
  x1 = _mm_unpackhi_epi32(re, im);
}

// Real parts from a, imaginary parts from b (32-bit lanes).
KVO_KERNEL_INLINE __m128i mergeWide(__m128i a, __m128i b) {
  const __m128i re = _mm_set_epi32(0, -1, 0, -1);
  return _mm_or_si128(_mm_and_si128(re, a), _mm_andnot_si128(re, b));
}

// The butterflies j .. j + 3 of every group of a span of four or more.
void wideRadix4Stage(std::int32_t* z, std::size_t n, std::size_t L, const std::int16_t* tw,
                     std::size_t step) {
  for (std::size_t g = 0; g < n; g += 4 * L) {
    for (std::size_t j = 0; j < L; j += 4) {
      std::int32_t* p = z + 2 * (g + j);
      __m128i x[4][2];
      for (std::size_t q = 0; q < 4; ++q) {
        x[q][0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * q * L));
        x[q][1] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * q * L + 4));
      }
      __m128i y[4][2];
      for (int v = 0; v < 2; ++v) {
        const __m128i t0 = _mm_add_epi32(x[0][v], x[2][v]), t1 = _mm_sub_epi32(x[0][v], x[2][v]);
        const __m128i t2 = _mm_add_epi32(x[1][v], x[3][v]), t3 = _mm_sub_epi32(x[1][v], x[3][v]);
        const __m128i swapped = _mm_shuffle_epi32(t3, 0xB1);  // (t3i, t3r)
        const __m128i sum = _mm_add_epi32(t1, swapped), diff = _mm_sub_epi32(t1, swapped);
        y[0][v] = _mm_add_epi32(t0, t2);
        y[1][v] = _mm_sub_epi32(t0, t2);
        y[2][v] = mergeWide(sum, diff);  // t1 - i t3
        y[3][v] = mergeWide(diff, sum);  // t1 + i t3
      }
      wideTwiddle4(y[1][0], y[1][1], tw, 2 * j * step, 2 * step);
      wideTwiddle4(y[2][0], y[2][1], tw, j * step, step);
      wideTwiddle4(y[3][0], y[3][1], tw, 3 * j * step, 3 * step);
      for (std::size_t q = 0; q < 4; ++q) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2 * q * L), y[q][0]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 2 * q * L + 4), y[q][1]);
      }
    }
  }
}

// One radix-4 stage: butterflies of span L over groups of 4L; twiddle index j * step.
template <class T>
void radix4Stage(T* z, std::size_t n, std::size_t span, const std::int16_t* tw, std::size_t step) {
  using A = Arith<T>;
  const std::size_t L = span;
  if constexpr (std::is_same_v<T, std::int16_t>) {
    if (n >= 16) {
      fastRadix4Stage(z, n, L, tw, step);
      return;
    }
  } else {
    if (L % 4 == 0) {
      wideRadix4Stage(z, n, L, tw, step);
      return;
    }
  }
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
        twiddle(y2r, y2i, tw + 4 * (2 * j * step));
        twiddle(y1r, y1i, tw + 4 * (j * step));
        twiddle(y3r, y3i, tw + 4 * (3 * j * step));
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

}  // namespace

template <Isa I, class T>
void fft16CoreK(T* z, int order, const std::int16_t* tw, std::size_t stride, bool inverse) {
  using A = Arith<T>;
  const std::size_t n = std::size_t{1} << order;
  if (inverse) conjugate(z, n);
  std::size_t step = stride;
  for (std::size_t span = n / 4; span >= 1 && 4 * span <= n; span /= 4, step *= 4) {
    radix4Stage(z, n, span, tw, step);
  }
  bool radix2 = order & 1;
  if constexpr (std::is_same_v<T, std::int16_t>) {
    if (radix2 && n >= 8) {
      fastRadix2Stage(z, n);
      radix2 = false;
    }
  }
  if (radix2) {  // the last stage: radix 2 on neighbours, no twiddles
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
void fft16PostK(T* z, std::size_t m, const std::int16_t* tw, std::size_t stride, bool inverse) {
  using A = Arith<T>;
  const std::int64_t r0 = z[0], i0 = z[1];
  z[0] = A::fit(r0 + i0);
  z[1] = 0;
  z[2 * m] = A::fit(r0 - i0);
  z[2 * m + 1] = 0;
  for (std::size_t k = 1; 2 * k < m; ++k) {
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

template <Isa I, class T>
void fft16BitRevK(T* z, int order) {
  if (order < 2) return;
  const std::size_t n = std::size_t{1} << order;
  const int drop = 32 - order;
  // Whole complex values move as one unit of twice the element's size.
  using Unit = std::conditional_t<sizeof(T) == 2, std::uint32_t, std::uint64_t>;
  for (std::size_t i = 1; i < n - 1; ++i) {
    const std::uint32_t v = static_cast<std::uint32_t>(i);
    const std::size_t j =
        (std::uint32_t{kReversedByte[v & 255]} << 24 |
         std::uint32_t{kReversedByte[(v >> 8) & 255]} << 16 |
         std::uint32_t{kReversedByte[(v >> 16) & 255]} << 8 | kReversedByte[v >> 24]) >>
        drop;
    // Without a branch (whose outcome follows no pattern): a pair already exchanged, or an
    // element in place, is written back unchanged.
    Unit a, b;
    std::memcpy(&a, z + 2 * i, sizeof a);
    std::memcpy(&b, z + 2 * j, sizeof b);
    const bool exchange = i < j;
    const Unit first = exchange ? b : a, second = exchange ? a : b;
    std::memcpy(z + 2 * i, &first, sizeof first);
    std::memcpy(z + 2 * j, &second, sizeof second);
  }
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
void fft16FinishWideK(std::int32_t* v, std::size_t n, int s, bool autoScale, std::int16_t* dst) {
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

#define KVO_INSTANTIATE_FFT16(T)                                                                 \
  template void fft16CoreK<KVO_ISA, T>(T*, int, const std::int16_t*, std::size_t, bool);         \
  template void fft16PostK<KVO_ISA, T>(T*, std::size_t, const std::int16_t*, std::size_t, bool); \
  template void fft16PreK<KVO_ISA, T>(T*, std::size_t, const std::int16_t*, std::size_t, bool);  \
  template void fft16BitRevK<KVO_ISA, T>(T*, int);                                               \
  template void fft16SplitK<KVO_ISA, T>(const T*, T*, T*, std::size_t);                          \
  template void fft16MergeK<KVO_ISA, T>(const T*, const T*, T*, std::size_t);
KVO_INSTANTIATE_FFT16(std::int32_t)
KVO_INSTANTIATE_FFT16(std::int16_t)
#undef KVO_INSTANTIATE_FFT16
template void fft16FinishWideK<KVO_ISA>(std::int32_t*, std::size_t, int, bool, std::int16_t*);
template void fft16FinishFastK<KVO_ISA>(std::int16_t*, std::size_t, int);

}  // namespace kvo::kern
