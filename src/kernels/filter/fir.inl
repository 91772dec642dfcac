// FIR kernels for one instruction-set level; included by fir_<level>.cpp after KVO_ISA is defined.
// See isa.h for the rules these files follow and fir.h for the arithmetic they share.
//
// Floating point: the history and the inputs of a chunk of outputs are widened once to double and
// split into `down` phase streams stored plane by plane (real parts, then imaginary parts). For a
// fixed output phase r of the period, output q reads input q*down + newest_r - k for tap k, which
// is element q + a_k of stream b_k: consecutive outputs read consecutive stream elements. The
// kernel therefore runs over outputs, several vectors of them at once in registers, and walks the
// taps one at a time in their fixed order; each broadcast tap serves every output of the block.
// Only the kept outputs are ever computed (polyphase).
//
// 16 bit: packed multiply-add of pairs of 16-bit products into 32-bit lanes (pmaddwd), four
// outputs per pass sharing each taps load; the pair sums wrap exactly like the scalar sums.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/filter/fir.h"
#include "kernels/ftz.h"

namespace kvo::kern::fir {
namespace {

#if defined(__AVX512F__)
constexpr int kBytes = 64;
#elif defined(__AVX2__)
constexpr int kBytes = 32;
#else
constexpr int kBytes = 16;
#endif
typedef double VD __attribute__((vector_size(kBytes)));
constexpr int kLanes = kBytes / 8;

KVO_KERNEL_INLINE VD loadV(const double* p) {
  VD v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
KVO_KERNEL_INLINE void storeV(double* p, VD v) { std::memcpy(p, &v, sizeof v); }
KVO_KERNEL_INLINE VD splat(double x) { return VD{} + x; }

// acc + h*s and acc - h*s. Fused only where the product is exact (float data widened to double),
// where fusing changes no result bit.
template <bool kExact>
KVO_KERNEL_INLINE VD madd(VD acc, VD h, VD s) {
#if defined(__AVX512F__)
  if constexpr (kExact) return (VD)_mm512_fmadd_pd((__m512d)h, (__m512d)s, (__m512d)acc);
#elif defined(__FMA__)
  if constexpr (kExact) return (VD)_mm256_fmadd_pd((__m256d)h, (__m256d)s, (__m256d)acc);
#endif
  return acc + h * s;
}
template <bool kExact>
KVO_KERNEL_INLINE VD msub(VD acc, VD h, VD s) {
#if defined(__AVX512F__)
  if constexpr (kExact) return (VD)_mm512_fnmadd_pd((__m512d)h, (__m512d)s, (__m512d)acc);
#elif defined(__FMA__)
  if constexpr (kExact) return (VD)_mm256_fnmadd_pd((__m256d)h, (__m256d)s, (__m256d)acc);
#endif
  return acc - h * s;
}

inline int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

template <class TS, class TT>
struct Geometry {
  static constexpr int kSamplePlanes = kIsComplex<TS> ? 2 : 1;
  static constexpr int kTapPlanes = kIsComplex<TT> ? 2 : 1;
  static constexpr int kAccPlanes = (kIsComplex<TS> || kIsComplex<TT>) ? 2 : 1;
  static constexpr bool kExact =
      std::is_same_v<RealOf<TS>, float> && std::is_same_v<RealOf<TT>, float>;
  // Output vectors per plane held in registers (8 registers of accumulators; i686 has 8 XMM).
#if defined(__x86_64__) || defined(_M_X64)
  static constexpr int kBlock = (kBytes == 16 ? 8 : 8) / kAccPlanes;
#else
  static constexpr int kBlock = 4 / kAccPlanes;
#endif
};

// The k-th tap of branch p (k counted from the newest input).
template <class TT>
KVO_KERNEL_INLINE const TT& tapOf(const TT* taps, TapOrder order, int up, const Phase& ph, int k) {
  return order == TapOrder::Natural ? taps[ph.branch + static_cast<std::ptrdiff_t>(k) * up]
                                    : taps[ph.offset + ph.len - 1 - k];
}

// Input x[idx] of the call: the history for idx < 0.
template <class TS>
KVO_KERNEL_INLINE TS inputAt(const TS* hist, int histLen, bool newestFirst, const TS* in,
                             std::ptrdiff_t idx) {
  if (idx >= 0) return in[idx];
  if (-idx > histLen) return TS{};
  return newestFirst ? hist[-idx - 1] : hist[histLen + idx];
}

// Without scratch memory: every output straight from the caller's arrays.
template <class TS, class TT>
void runDirect(const TT* taps, TapOrder order, int L, Rate r, const TS* hist, int histLen,
               bool newestFirst, const TS* in, Out<TS, TT>* out, int numIters) {
  for (int q = 0; q < numIters; ++q) {
    for (int j = 0; j < r.up; ++j) {
      const Phase ph = phaseAt(L, r, j);
      Acc a;
      const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(q) * r.down + ph.newest;
      for (int k = 0; k < ph.len; ++k) {
        mac(a, tapOf(taps, order, r.up, ph, k), inputAt(hist, histLen, newestFirst, in, m - k));
      }
      out[static_cast<std::ptrdiff_t>(q) * r.up + j] = rounded<Out<TS, TT>>(a);
    }
  }
}

// One block of kBlock vectors of outputs of one phase, or a scalar tail of `count` outputs.
// s[b][plane] points at stream b's element for output 0 of the block; tap k reads element a_k.
template <class TS, class TT>
struct Block {
  using G = Geometry<TS, TT>;
  static constexpr int NS = G::kSamplePlanes, NH = G::kTapPlanes, NA = G::kAccPlanes;
  static constexpr int B = G::kBlock;

  // tapsD: the branch's taps widened, plane-major (NH planes of len), tap k newest first.
  // streamOf[k], offsetOf[k]: the stream index and element offset of tap k.
  static void vectors(const double* tapsD, int len, const int* streamOf, const int* offsetOf,
                      const double* streams, std::size_t planeLen, std::size_t streamLen,
                      std::size_t e0, double* accOut /* NA * B * kLanes */) {
    VD acc[NA][B];
    for (int p = 0; p < NA; ++p)
      for (int i = 0; i < B; ++i) acc[p][i] = VD{};
    for (int k = 0; k < len; ++k) {
      const double* s0 =
          streams + static_cast<std::size_t>(streamOf[k]) * streamLen + e0 + offsetOf[k];
      const VD h0 = splat(tapsD[k]);
      if constexpr (NS == 1 && NH == 1) {
        for (int i = 0; i < B; ++i)
          acc[0][i] = madd<G::kExact>(acc[0][i], h0, loadV(s0 + i * kLanes));
      } else if constexpr (NS == 2 && NH == 1) {
        for (int i = 0; i < B; ++i) {
          acc[0][i] = madd<G::kExact>(acc[0][i], h0, loadV(s0 + i * kLanes));
          acc[1][i] = madd<G::kExact>(acc[1][i], h0, loadV(s0 + planeLen + i * kLanes));
        }
      } else if constexpr (NS == 1 && NH == 2) {
        const VD h1 = splat(tapsD[len + k]);
        for (int i = 0; i < B; ++i) {
          const VD x = loadV(s0 + i * kLanes);
          acc[0][i] = madd<G::kExact>(acc[0][i], h0, x);
          acc[1][i] = madd<G::kExact>(acc[1][i], h1, x);
        }
      } else {
        const VD h1 = splat(tapsD[len + k]);
        for (int i = 0; i < B; ++i) {
          const VD xr = loadV(s0 + i * kLanes), xi = loadV(s0 + planeLen + i * kLanes);
          acc[0][i] = msub<G::kExact>(madd<G::kExact>(acc[0][i], h0, xr), h1, xi);
          acc[1][i] = madd<G::kExact>(madd<G::kExact>(acc[1][i], h0, xi), h1, xr);
        }
      }
    }
    for (int p = 0; p < NA; ++p)
      for (int i = 0; i < B; ++i) storeV(accOut + (p * B + i) * kLanes, acc[p][i]);
  }

  static Acc scalar(const double* tapsD, int len, const int* streamOf, const int* offsetOf,
                    const double* streams, std::size_t planeLen, std::size_t streamLen,
                    std::size_t e) {
    Acc a;
    for (int k = 0; k < len; ++k) {
      const double* s0 =
          streams + static_cast<std::size_t>(streamOf[k]) * streamLen + e + offsetOf[k];
      if constexpr (NS == 1 && NH == 1) {
        a.re += tapsD[k] * s0[0];
      } else if constexpr (NS == 2 && NH == 1) {
        a.re += tapsD[k] * s0[0];
        a.im += tapsD[k] * s0[planeLen];
      } else if constexpr (NS == 1 && NH == 2) {
        a.re += tapsD[k] * s0[0];
        a.im += tapsD[len + k] * s0[0];
      } else {
        a.re = (a.re + tapsD[k] * s0[0]) - tapsD[len + k] * s0[planeLen];
        a.im = (a.im + tapsD[k] * s0[planeLen]) + tapsD[len + k] * s0[0];
      }
    }
    return a;
  }
};

constexpr int kChunk = 512;  // outputs per phase per chunk

template <class TS, class TT>
void runBlocked(const TT* taps, TapOrder order, int L, Rate r, const TS* hist, int histLen,
                bool newestFirst, const TS* in, Out<TS, TT>* out, int numIters, double* scratch,
                int maxLen) {
  using Bk = Block<TS, TT>;
  constexpr int NS = Bk::NS, NH = Bk::NH, NA = Bk::NA, B = Bk::B;
  const int D = r.down, U = r.up;
  const int amin = floorDiv(-maxLen, D);
  const std::size_t planeLen = static_cast<std::size_t>(kChunk - amin);
  const std::size_t streamLen = planeLen * NS;
  double* streams = scratch;
  double* tapsD = streams + streamLen * D;
  int* streamOf = reinterpret_cast<int*>(tapsD + static_cast<std::size_t>(maxLen) * NH);
  int* offsetOf = streamOf + maxLen;
  double accOut[NA * B * kLanes];
  constexpr int kPer = B * kLanes;

  for (int q0 = 0; q0 < numIters; q0 += kChunk) {
    const int qn = numIters - q0 < kChunk ? numIters - q0 : kChunk;
    // Stream element e holds x[(q0 + amin + e)*D + b].
    const std::size_t elems = static_cast<std::size_t>(qn - amin);
    for (int b = 0; b < D; ++b) {
      double* s = streams + static_cast<std::size_t>(b) * streamLen;
      for (std::size_t e = 0; e < elems; ++e) {
        const std::ptrdiff_t idx =
            (static_cast<std::ptrdiff_t>(q0) + amin + static_cast<std::ptrdiff_t>(e)) * D + b;
        const TS x = idx >= static_cast<std::ptrdiff_t>(numIters) * D
                         ? TS{}
                         : inputAt(hist, histLen, newestFirst, in, idx);
        s[e] = reOf(x);
        if constexpr (NS == 2) s[planeLen + e] = imOf(x);
      }
    }
    for (int j = 0; j < U; ++j) {
      const Phase ph = phaseAt(L, r, j);
      const int len = ph.len;
      for (int k = 0; k < len; ++k) {
        const TT& h = tapOf(taps, order, U, ph, k);
        tapsD[k] = reOf(h);
        if constexpr (NH == 2) tapsD[len + k] = imOf(h);
        const int rel = ph.newest - k;
        const int a = floorDiv(rel, D);
        streamOf[k] = rel - a * D;
        offsetOf[k] = a - amin;
      }
      Out<TS, TT>* o = out + static_cast<std::ptrdiff_t>(q0) * U + j;
      int q = 0;
      for (; q + kPer <= qn; q += kPer) {
        Bk::vectors(tapsD, len, streamOf, offsetOf, streams, planeLen, streamLen,
                    static_cast<std::size_t>(q), accOut);
        for (int i = 0; i < kPer; ++i) {
          Acc a;
          a.re = accOut[i];
          if constexpr (NA == 2) a.im = accOut[kPer + i];
          o[static_cast<std::ptrdiff_t>(q + i) * U] = rounded<Out<TS, TT>>(a);
        }
      }
      for (; q < qn; ++q) {
        const Acc a = Bk::scalar(tapsD, len, streamOf, offsetOf, streams, planeLen, streamLen,
                                 static_cast<std::size_t>(q));
        o[static_cast<std::ptrdiff_t>(q) * U] = rounded<Out<TS, TT>>(a);
      }
    }
  }
}

// ---- 16 bit ----

KVO_KERNEL_INLINE std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
KVO_KERNEL_INLINE std::int32_t prod(short a, short b) { return std::int32_t{a} * b; }

#if defined(__AVX512BW__)
typedef __m512i VI;
constexpr int kShorts = 32;
KVO_KERNEL_INLINE VI loadI(const short* p) { return _mm512_loadu_si512(p); }
KVO_KERNEL_INLINE VI maddI(VI acc, VI a, VI b) {
  return _mm512_add_epi32(acc, _mm512_madd_epi16(a, b));
}
KVO_KERNEL_INLINE std::int32_t hsumI(VI v) { return _mm512_reduce_add_epi32(v); }
KVO_KERNEL_INLINE VI zeroI() { return _mm512_setzero_si512(); }
KVO_KERNEL_INLINE VI pairI(std::int32_t v) { return _mm512_set1_epi32(v); }
KVO_KERNEL_INLINE VI unpackLoI(VI a, VI b) { return _mm512_unpacklo_epi16(a, b); }
KVO_KERNEL_INLINE VI unpackHiI(VI a, VI b) { return _mm512_unpackhi_epi16(a, b); }
KVO_KERNEL_INLINE void storeI(std::int32_t* p, VI v) { _mm512_storeu_si512(p, v); }
#elif defined(__AVX2__)
typedef __m256i VI;
constexpr int kShorts = 16;
KVO_KERNEL_INLINE VI loadI(const short* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
KVO_KERNEL_INLINE VI maddI(VI acc, VI a, VI b) {
  return _mm256_add_epi32(acc, _mm256_madd_epi16(a, b));
}
KVO_KERNEL_INLINE std::int32_t hsumI(VI v) {
  __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x4e));
  s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0xb1));
  return _mm_cvtsi128_si32(s);
}
KVO_KERNEL_INLINE VI zeroI() { return _mm256_setzero_si256(); }
KVO_KERNEL_INLINE VI pairI(std::int32_t v) { return _mm256_set1_epi32(v); }
KVO_KERNEL_INLINE VI unpackLoI(VI a, VI b) { return _mm256_unpacklo_epi16(a, b); }
KVO_KERNEL_INLINE VI unpackHiI(VI a, VI b) { return _mm256_unpackhi_epi16(a, b); }
KVO_KERNEL_INLINE void storeI(std::int32_t* p, VI v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
#else
typedef __m128i VI;
constexpr int kShorts = 8;
KVO_KERNEL_INLINE VI loadI(const short* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
KVO_KERNEL_INLINE VI maddI(VI acc, VI a, VI b) { return _mm_add_epi32(acc, _mm_madd_epi16(a, b)); }
KVO_KERNEL_INLINE std::int32_t hsumI(VI v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4e));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xb1));
  return _mm_cvtsi128_si32(v);
}
KVO_KERNEL_INLINE VI zeroI() { return _mm_setzero_si128(); }
KVO_KERNEL_INLINE VI pairI(std::int32_t v) { return _mm_set1_epi32(v); }
KVO_KERNEL_INLINE VI unpackLoI(VI a, VI b) { return _mm_unpacklo_epi16(a, b); }
KVO_KERNEL_INLINE VI unpackHiI(VI a, VI b) { return _mm_unpackhi_epi16(a, b); }
KVO_KERNEL_INLINE void storeI(std::int32_t* p, VI v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
#endif

KVO_KERNEL_INLINE __m128i load8(const short* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
KVO_KERNEL_INLINE std::int32_t hsum8(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4e));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xb1));
  return _mm_cvtsi128_si32(v);
}

// Sums of g[j]*x[c + j] for c = 0 .. kShorts-1, j < len, with the outputs across the lanes: for
// short filters the per-output horizontal sums of dot4 would cost more than the products. Taps go
// in pairs: interleaving x[c + j] with x[c + j + 1] (unpack of the loads at j and j + 1) lets
// pmaddwd form g[j]*x[c+j] + g[j+1]*x[c+j+1] per 32-bit lane against the broadcast tap pair.
// Unpacking stays inside 128-bit blocks, so the low half serves outputs 8b..8b+3 of block b and
// the high half 8b+4..8b+7. An odd last tap pairs with 0; its load still reads x[c + len], one
// element past the last product, which the caller provides. Sums wrap, so the order is free.
// Up to this many taps the lanes carry outputs (dotLanes); beyond, dot4's sums along the taps
// win, since their horizontal sums are spread over more products.
constexpr int kLanesMaxTaps = 128;
KVO_KERNEL_INLINE void dotLanes(const short* g, const short* x, int len, std::int32_t* s) {
  VI lo = zeroI(), hi = zeroI();
  for (int j = 0; j < len; j += 2) {
    const std::uint32_t g1 = j + 1 < len ? static_cast<std::uint16_t>(g[j + 1]) : 0u;
    const VI t = pairI(static_cast<std::int32_t>(static_cast<std::uint16_t>(g[j]) | g1 << 16));
    const VI a = loadI(x + j), b = loadI(x + j + 1);
    lo = maddI(lo, unpackLoI(a, b), t);
    hi = maddI(hi, unpackHiI(a, b), t);
  }
  alignas(64) std::int32_t l[kShorts / 2], h[kShorts / 2];
  storeI(l, lo);
  storeI(h, hi);
  for (int b = 0; b < kShorts / 8; ++b) {
    std::memcpy(s + 8 * b, l + 4 * b, 4 * sizeof(std::int32_t));
    std::memcpy(s + 8 * b + 4, h + 4 * b, 4 * sizeof(std::int32_t));
  }
}

// Sums of g[j]*x[c + j] for c = 0..3, j < len.
KVO_KERNEL_INLINE void dot4(const short* g, const short* x, int len, std::int32_t* s) {
  VI a0 = zeroI(), a1 = zeroI(), a2 = zeroI(), a3 = zeroI();
  int j = 0;
  for (; j + kShorts <= len; j += kShorts) {
    const VI t = loadI(g + j);
    a0 = maddI(a0, t, loadI(x + j));
    a1 = maddI(a1, t, loadI(x + j + 1));
    a2 = maddI(a2, t, loadI(x + j + 2));
    a3 = maddI(a3, t, loadI(x + j + 3));
  }
  std::int32_t r0 = hsumI(a0), r1 = hsumI(a1), r2 = hsumI(a2), r3 = hsumI(a3);
  if (kShorts > 8 && j + 8 <= len) {
    // Short filters and the remainder of long ones: eight taps at a time.
    __m128i b0 = _mm_setzero_si128(), b1 = b0, b2 = b0, b3 = b0;
    for (; j + 8 <= len; j += 8) {
      const __m128i t = load8(g + j);
      b0 = _mm_add_epi32(b0, _mm_madd_epi16(t, load8(x + j)));
      b1 = _mm_add_epi32(b1, _mm_madd_epi16(t, load8(x + j + 1)));
      b2 = _mm_add_epi32(b2, _mm_madd_epi16(t, load8(x + j + 2)));
      b3 = _mm_add_epi32(b3, _mm_madd_epi16(t, load8(x + j + 3)));
    }
    r0 = wrapAdd(r0, hsum8(b0));
    r1 = wrapAdd(r1, hsum8(b1));
    r2 = wrapAdd(r2, hsum8(b2));
    r3 = wrapAdd(r3, hsum8(b3));
  }
  for (; j < len; ++j) {
    r0 = wrapAdd(r0, prod(g[j], x[j]));
    r1 = wrapAdd(r1, prod(g[j], x[j + 1]));
    r2 = wrapAdd(r2, prod(g[j], x[j + 2]));
    r3 = wrapAdd(r3, prod(g[j], x[j + 3]));
  }
  s[0] = r0, s[1] = r1, s[2] = r2, s[3] = r3;
}
KVO_KERNEL_INLINE std::int32_t dot1(const short* g, const short* x, int len) {
  VI a0 = zeroI(), a1 = zeroI();
  int j = 0;
  for (; j + 2 * kShorts <= len; j += 2 * kShorts) {
    a0 = maddI(a0, loadI(g + j), loadI(x + j));
    a1 = maddI(a1, loadI(g + j + kShorts), loadI(x + j + kShorts));
  }
  for (; j + kShorts <= len; j += kShorts) a0 = maddI(a0, loadI(g + j), loadI(x + j));
  std::int32_t r = wrapAdd(hsumI(a0), hsumI(a1));
  if (kShorts > 8 && j + 8 <= len) {
    __m128i b = _mm_setzero_si128();
    for (; j + 8 <= len; j += 8) b = _mm_add_epi32(b, _mm_madd_epi16(load8(g + j), load8(x + j)));
    r = wrapAdd(r, hsum8(b));
  }
  for (; j < len; ++j) r = wrapAdd(r, prod(g[j], x[j]));
  return r;
}

}  // namespace

template <Isa I, class TS, class TT>
void runK(const TT* taps, TapOrder order, int L, Rate r, const TS* hist, int histLen,
          bool histNewestFirst, const TS* in, Out<TS, TT>* out, int numIters) {
  FlushDenormals ftz;
  using G = Geometry<TS, TT>;
  const int maxLen = (L + r.up - 1) / r.up;
  const int amin = floorDiv(-maxLen, r.down);
  const std::size_t streamDoubles =
      static_cast<std::size_t>(kChunk - amin) * G::kSamplePlanes * static_cast<std::size_t>(r.down);
  const std::size_t bytes = (streamDoubles + static_cast<std::size_t>(maxLen) * G::kTapPlanes) * 8 +
                            static_cast<std::size_t>(maxLen) * 2 * sizeof(int);
  void* scratch = bytes < 0x7fffffff ? kvoMalloc(static_cast<int>(bytes)) : nullptr;
  if (scratch != nullptr) {
    runBlocked(taps, order, L, r, hist, histLen, histNewestFirst, in, out, numIters,
               static_cast<double*>(scratch), maxLen);
    kvoFree(scratch);
  } else {
    runDirect(taps, order, L, r, hist, histLen, histNewestFirst, in, out, numIters);
  }
}

template <Isa I>
void runWK(const short* taps, int L, Rate r, const short* hist, int histLen, const short* in,
           std::int32_t* sums, int numIters) {
  const int H = historyLen(L, r);
  const std::size_t inCount = static_cast<std::size_t>(numIters) * r.down;
  const std::size_t extLen = static_cast<std::size_t>(H) + inCount;
  short* ext = extLen * 2 < 0x7fffffff
                   ? static_cast<short*>(kvoMalloc(static_cast<int>(extLen * 2)))
                   : nullptr;
  if (ext == nullptr) {
    // Without scratch memory: each sum straight from the caller's arrays.
    for (int j = 0; j < r.up; ++j) {
      const Phase ph = phaseAt(L, r, j);
      for (int q = 0; q < numIters; ++q) {
        const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(q) * r.down + ph.newest;
        std::int32_t s = 0;
        for (int i = 0; i < ph.len; ++i) {
          const std::ptrdiff_t idx = m - ph.len + 1 + i;
          const short x = idx >= 0 ? in[idx] : (-idx <= histLen ? hist[histLen + idx] : short{0});
          s = wrapAdd(s, prod(taps[ph.offset + i], x));
        }
        sums[static_cast<std::ptrdiff_t>(q) * r.up + j] = s;
      }
    }
    return;
  }
  for (int i = 0; i < H; ++i) ext[i] = i + histLen - H >= 0 ? hist[i + histLen - H] : short{0};
  if (inCount > 0) std::memcpy(ext + H, in, inCount * sizeof(short));
  const short* x0 = ext + H;  // x0[m] is input m
  if (isSingle(r)) {
    // Output i: the reversed taps against x[i-L+1 .. i]; four outputs per pass.
    const std::size_t n = static_cast<std::size_t>(numIters);
    std::size_t i = 0;
    if (L <= kLanesMaxTaps) {
      // One element beyond the last output's inputs is read (and multiplied by 0) for odd L.
      for (; i + kShorts < n; i += kShorts) dotLanes(taps, x0 + i - (L - 1), L, sums + i);
    }
    for (; i + 4 <= n; i += 4) dot4(taps, x0 + i - (L - 1), L, sums + i);
    for (; i < n; ++i) sums[i] = dot1(taps, x0 + i - (L - 1), L);
  } else {
    for (int j = 0; j < r.up; ++j) {
      const Phase ph = phaseAt(L, r, j);
      for (int q = 0; q < numIters; ++q) {
        const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(q) * r.down + ph.newest;
        sums[static_cast<std::ptrdiff_t>(q) * r.up + j] =
            dot1(taps + ph.offset, x0 + m - ph.len + 1, ph.len);
      }
    }
  }
  kvoFree(ext);
}

#define KVO_INSTANTIATE_FIR(TS, TT)                                                         \
  template void runK<KVO_ISA, TS, TT>(const TT*, TapOrder, int, Rate, const TS*, int, bool, \
                                      const TS*, Out<TS, TT>*, int);
KVO_FOR_FIR_TYPES(KVO_INSTANTIATE_FIR)
#undef KVO_INSTANTIATE_FIR
template void runWK<KVO_ISA>(const short*, int, Rate, const short*, int, const short*,
                             std::int32_t*, int);

}  // namespace kvo::kern::fir
