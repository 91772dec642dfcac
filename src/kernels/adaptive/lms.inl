// LMS kernels for one instruction-set level; included by lms_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

#include "kernels/adaptive/lms.h"
#include "kernels/ftz.h"

#include <immintrin.h>

namespace kvo::kern::lms {
namespace {

// Values of these wide vector types only reach functions of this file, which are inlined.
#pragma GCC diagnostic ignored "-Wpsabi"

constexpr std::size_t kLanes = 8;
typedef double DV __attribute__((vector_size(kLanes * sizeof(double))));
typedef float FV __attribute__((vector_size(kLanes * sizeof(float))));

// Eight floats to eight doubles and back. GCC 12 splits the generic conversions into four-lane
// halves even where one 512-bit instruction does the whole vector.
KVO_KERNEL_INLINE DV widen(const FV& v) {
#if defined(__AVX512F__)
  return DV(_mm512_cvtps_pd(__m256(v)));
#else
  return __builtin_convertvector(v, DV);
#endif
}
KVO_KERNEL_INLINE FV narrow(const DV& v) {
#if defined(__AVX512F__)
  return FV(_mm512_cvtpd_ps(__m512d(v)));
#else
  return __builtin_convertvector(v, FV);
#endif
}

// A whole vector is one plain load or store; a part goes element by element, so no copy of a
// variable size (a library call) sits in the loop.
template <class R>
KVO_KERNEL_INLINE DV loadLanes(const R* p, std::size_t lanes) {
  using V = std::conditional_t<std::is_same_v<R, float>, FV, DV>;
  V v{};
  if (lanes == kLanes) {
    std::memcpy(&v, p, sizeof v);
  } else {
    for (std::size_t l = 0; l < lanes && l < kLanes; ++l) v[l] = p[l];
  }
  if constexpr (std::is_same_v<R, float>) {
    return widen(v);
  } else {
    return v;
  }
}

// Stores the lanes rounded to R and returns them as stored.
template <class R>
KVO_KERNEL_INLINE DV storeLanes(R* p, const DV& v, std::size_t lanes) {
  using V = std::conditional_t<std::is_same_v<R, float>, FV, DV>;
  V f;
  if constexpr (std::is_same_v<R, float>) {
    f = narrow(v);
  } else {
    f = v;
  }
  if (lanes == kLanes) {
    std::memcpy(p, &f, sizeof f);
  } else {
    for (std::size_t l = 0; l < lanes && l < kLanes; ++l) p[l] = f[l];
  }
  if constexpr (std::is_same_v<R, float>) {
    return widen(f);
  } else {
    return f;
  }
}

KVO_KERNEL_INLINE DV swapPairs(const DV& v) {
  return __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
}
KVO_KERNEL_INLINE DV duplicate(const DV& v) {
  return __builtin_shufflevector(v, v, 0, 0, 1, 1, 2, 2, 3, 3);
}

// Lanes l and l + w added for w = 4, 2 (and 1 unless keep is 2): the sums end in the low lanes.
KVO_KERNEL_INLINE DV fold(const DV& x, std::size_t keep) {
  DV v = x + __builtin_shufflevector(x, x, 4, 5, 6, 7, 0, 1, 2, 3);
  v = v + __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5);
  if (keep == 1) v = v + __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6);
  return v;
}

template <class TS, class TT>
struct Kind {
  static constexpr bool kComplexTaps = kIsComplex<TT>;
  static constexpr bool kComplexSamples = kIsComplex<TS>;
  // Double lanes per tap, taps per chunk of 16 lanes.
  static constexpr std::size_t kTapLanes = kComplexTaps ? 2 : 1;
  static constexpr std::size_t kChunk = kLanes / kTapLanes;
  using R = RealOf<TT>;
  using S = RealOf<TS>;
};

// The samples of `taps` taps from p on, lined up with the taps' lanes: real samples against
// complex taps fill both lanes of a tap.
template <class TS, class TT, class L>
KVO_KERNEL_INLINE DV sampleLanes(const L* p, std::size_t taps) {
  using K = Kind<TS, TT>;
  const auto* raw = reinterpret_cast<const RealOf<L>*>(p);
  if constexpr (K::kComplexTaps && !K::kComplexSamples) {
    return duplicate(loadLanes(raw, taps));
  } else {
    return loadLanes(raw, taps * K::kTapLanes);
  }
}

// The adaptation constants, splatted over the lanes.
struct Gains {
  double keep;       // 1 - leak
  double gre, gim;   // g = step * err
  DV keepV, g1, g2;  // lane factors, see adapt()
};

template <class TS, class TT, class E>
Gains gains(float step, float leak, const E& err) {
  Gains k{};
  k.keep = 1.0 - double(leak);
  if constexpr (kIsComplex<E>) {
    k.gre = double(step) * double(err.re);
    k.gim = double(step) * double(err.im);
  } else {
    k.gre = double(step) * double(err);
  }
  // The gains as whole-vector splats and shuffles: lane-by-lane inserts become a chain of masked
  // moves on the path from one step's error to the next step's taps.
  const DV re = DV{} + k.gre, im = DV{} + k.gim;
  for (std::size_t l = 0; l < kLanes; ++l) k.keepV[l] = k.keep;
  if constexpr (!kIsComplex<TT>) {
    k.g1 = re;
  } else if constexpr (kIsComplex<TS>) {
    // g * conj(x) = (g.re x.re + g.im x.im, -g.re x.im + g.im x.re)
    k.g1 = __builtin_shufflevector(re, -re, 0, 9, 2, 11, 4, 13, 6, 15);
    k.g2 = im;
  } else {
    k.g1 = __builtin_shufflevector(re, im, 0, 9, 2, 11, 4, 13, 6, 15);
  }
  return k;
}

// keep * h + g * x (conjugated x for complex samples and taps), lane by lane.
template <class TS, class TT>
KVO_KERNEL_INLINE DV adapt(const DV& h, const DV& x, const Gains& k) {
  if constexpr (kIsComplex<TT> && kIsComplex<TS>) {
    return k.keepV * h + (k.g1 * x + k.g2 * swapPairs(x));
  } else {
    return k.keepV * h + k.g1 * x;
  }
}

// The same for one tap, with the same operations as a lane of adapt().
template <class TS, class TT, class L>
KVO_KERNEL_INLINE void adaptOne(TT& h, const L& x, const Gains& k) {
  using R = RealOf<TT>;
  if constexpr (kIsComplex<TT> && kIsComplex<TS>) {
    const double re = k.gre * double(x.re) + k.gim * double(x.im);
    const double im = -k.gre * double(x.im) + k.gim * double(x.re);
    h = {R(k.keep * double(h.re) + re), R(k.keep * double(h.im) + im)};
  } else if constexpr (kIsComplex<TT>) {
    h = {R(k.keep * double(h.re) + k.gre * double(x)),
         R(k.keep * double(h.im) + k.gim * double(x))};
  } else {
    h = R(k.keep * double(h) + k.gre * double(x));
  }
}

struct Acc {
  DV a{}, b{};            // lane sums; b only for complex samples and taps
  double re = 0, im = 0;  // taps whose output reads a new sample
};

template <class TS, class TT>
KVO_KERNEL_INLINE void accumulateOne(Acc& acc, const TT& h, const TS& x) {
  if constexpr (kIsComplex<TT> && kIsComplex<TS>) {
    acc.re += double(h.re) * double(x.re) - double(h.im) * double(x.im);
    acc.im += double(h.re) * double(x.im) + double(h.im) * double(x.re);
  } else if constexpr (kIsComplex<TT>) {
    acc.re += double(h.re) * double(x);
    acc.im += double(h.im) * double(x);
  } else {
    acc.re += double(h) * double(x);
  }
}

template <class TS, class TT>
Out<TS, TT> result(const Acc& acc) {
  using O = Out<TS, TT>;
  if constexpr (kIsComplex<TT> && kIsComplex<TS>) {
    const DV a = fold(acc.a, 2), b = fold(acc.b, 1);
    using P = decltype(O::re);
    return {P(acc.re + (a[0] - a[1])), P(acc.im + b[0])};
  } else if constexpr (kIsComplex<TT>) {
    const DV a = fold(acc.a, 2);
    using P = decltype(O::re);
    return {P(acc.re + a[0]), P(acc.im + a[1])};
  } else {
    return O(acc.re + fold(acc.a, 1)[0]);
  }
}

// One chunk of `taps` taps (kFull: a whole chunk, so every copy has a constant size and becomes
// a plain vector load or store).
template <class TS, class TT, bool kAdapt, bool kFull, class L>
KVO_KERNEL_INLINE void chunk(typename Kind<TS, TT>::R* h, const L* adaptX, const L* outX,
                             std::size_t taps, const Gains& k, Acc& acc) {
  using K = Kind<TS, TT>;
  const std::size_t n = kFull ? K::kChunk : taps;
  const std::size_t lanes = n * K::kTapLanes;
  DV hv = loadLanes(h, lanes);
  if constexpr (kAdapt) {
    hv = storeLanes(h, adapt<TS, TT>(hv, sampleLanes<TS, TT>(adaptX, n), k), lanes);
  }
  const DV xv = sampleLanes<TS, TT>(outX, n);
  acc.a += hv * xv;
  if constexpr (K::kComplexTaps && K::kComplexSamples) acc.b += hv * swapPairs(xv);
}

// Adapts taps [0, n) against adaptX[i] and accumulates h[i] * outX[i].
template <class TS, class TT, bool kAdapt, class L>
KVO_KERNEL_INLINE void body(TT* h, const L* adaptX, const L* outX, std::size_t n, const Gains& k,
                            Acc& acc) {
  using K = Kind<TS, TT>;
  auto* raw = reinterpret_cast<typename K::R*>(h);
  // Local sums and constants stay in registers through the loop; chunks alternate between two
  // sets of sums (by position only, so every level adds in the same order).
  Acc even, odd;
  const Gains g = k;
  constexpr std::size_t kStep = K::kChunk;
  std::size_t i = 0;
  for (; i + 2 * kStep <= n; i += 2 * kStep) {
    chunk<TS, TT, kAdapt, true>(raw + i * K::kTapLanes, adaptX + i, outX + i, kStep, g, even);
    chunk<TS, TT, kAdapt, true>(raw + (i + kStep) * K::kTapLanes, adaptX + i + kStep,
                                outX + i + kStep, kStep, g, odd);
  }
  if (i + kStep <= n) {
    chunk<TS, TT, kAdapt, true>(raw + i * K::kTapLanes, adaptX + i, outX + i, kStep, g, even);
    i += kStep;
  }
  if (i < n) {
    chunk<TS, TT, kAdapt, false>(raw + i * K::kTapLanes, adaptX + i, outX + i, n - i, g, odd);
  }
  acc.a += even.a + odd.a;
  acc.b += even.b + odd.b;
}

template <class O>
O minus(const O& a, const O& b) {
  if constexpr (kIsComplex<O>) {
    return {a.re - b.re, a.im - b.im};
  } else {
    return a - b;
  }
}

// One step on the line x as it was before the step. The new samples are read from `in`; the
// entries the output reads beyond them are those of x moved up by `shift` (x - shift + e), so the
// caller either moves x afterwards or has already put the new samples just below it.
template <class TS, class TT, bool kAdapt, class L>
Out<TS, TT> step(const Run<TS, TT>& r, const L* x, const TS* in, const Gains& k) {
  const Shape& s = r.shape;
  TT* h = r.taps;
  // Taps whose output entry is one of the new samples come first; entry e of the new line is
  // in[shift-1-e] for e < shift and old entry e - shift beyond.
  const std::size_t head = std::min(s.taps, s.shift > s.outAt ? s.shift - s.outAt : 0);
  Acc acc;
  for (std::size_t i = 0; i < head; ++i) {
    if constexpr (kAdapt) adaptOne<TS, TT>(h[i], x[s.adaptAt + i], k);
    accumulateOne(acc, h[i], in[s.shift - 1 - (s.outAt + i)]);
  }
  if (head < s.taps) {
    body<TS, TT, kAdapt>(h + head, x + s.adaptAt + head, x + (s.outAt + head) - s.shift,
                         s.taps - head, k, acc);
  }
  return result<TS, TT>(acc);
}

template <class TS, class TT, class L>
Out<TS, TT> step(const Run<TS, TT>& r, const L* x, const TS* in, const Gains& k) {
  return r.adapt ? step<TS, TT, true>(r, x, in, k) : step<TS, TT, false>(r, x, in, k);
}

// The entries a step moves or writes: the rest of the line is never read and never changes.
template <class TS, class TT>
std::size_t liveEntries(const Run<TS, TT>& r) {
  return r.shape.moved + r.shape.shift;
}

// Long runs keep the line in a window that slides down through a scratch buffer: a step writes its
// new samples just below the line and moves the line's start, instead of moving every entry. Only
// when the window reaches the bottom does the line move back up, once per `span` steps. Float
// samples are kept there as doubles, which they convert to exactly, so the steps load them without
// converting. Returns false when no buffer could be had (the caller then moves the line every
// step).
template <class TS, class TT>
bool runWindowed(const Run<TS, TT>& r, const TS* in, const Out<TS, TT>* des, Out<TS, TT>* out,
                 std::size_t count, Out<TS, TT>& e) {
  const std::size_t live = liveEntries(r), shift = r.shape.shift;
  const std::size_t span = std::min(count, std::max<std::size_t>(live, 256));
  using L = std::conditional_t<std::is_same_v<TS, float>, double, TS>;
  std::unique_ptr<L[]> buffer(new (std::nothrow) L[live + span * shift]);
  if (!buffer) return false;
  L* const top = buffer.get() + span * shift;
  std::copy(r.dly, r.dly + live, top);
  L* x = top;
  for (std::size_t j = 0; j < count; ++j) {
    if (x == buffer.get()) {
      std::memmove(static_cast<void*>(top), x, live * sizeof(L));
      x = top;
    }
    const TS* samples = in + j * shift;
    for (std::size_t i = 0; i < shift; ++i) (x - shift)[i] = L(samples[shift - 1 - i]);
    out[j] = step(r, x, samples, gains<TS, TT>(r.step, r.leak, e));
    x -= shift;
    if (des) e = minus(des[j], out[j]);
  }
  for (std::size_t e = 0; e < live; ++e) r.dly[e] = TS(x[e]);
  return true;
}

KVO_KERNEL_INLINE std::int32_t wrap(std::uint32_t v) { return static_cast<std::int32_t>(v); }
KVO_KERNEL_INLINE std::int32_t sat16(std::int32_t v) { return std::clamp(v, -32768, 32767); }

}  // namespace

template <Isa I, class TS, class TT>
void runK(const Run<TS, TT>& r, const TS* in, const Out<TS, TT>* des, Out<TS, TT>* out,
          std::size_t count, Out<TS, TT>* err) {
  FlushDenormals ftz;
  Out<TS, TT> e = *err;
  constexpr std::size_t kWindowFrom = 16;
  if (count < kWindowFrom || !runWindowed(r, in, des, out, count, e)) {
    const Shape& s = r.shape;
    TS* x = r.dly;
    for (std::size_t j = 0; j < count; ++j) {
      const TS* samples = in + j * s.shift;
      out[j] = step(r, x, samples, gains<TS, TT>(r.step, r.leak, e));
      std::memmove(static_cast<void*>(x + s.shift), x, s.moved * sizeof(TS));
      for (std::size_t i = 0; i < s.shift; ++i) x[i] = samples[s.shift - 1 - i];
      if (des) e = minus(des[j], out[j]);
    }
  }
  if (des) *err = e;
}

template <Isa I>
short stepShortK(std::int32_t* h, short* x, std::size_t taps, std::size_t errDly, std::size_t len,
                 short samp, short err, std::int32_t step) {
  using U = std::uint32_t;
  const std::int32_t gain = wrap(U(std::int32_t(err)) * U(step));
  if (len == 1) {
    h[0] = wrap(U(h[0]) + U(gain) * U(std::int32_t(x[0])));
    x[0] = samp;
    const std::int32_t acc = wrap(U(std::int32_t(samp)) * U(h[0]));
    return static_cast<short>(sat16(wrap(U(acc) + 4096u) >> 13));
  }
  if (gain != 0) {
    const std::int32_t p = sat16(gain);
    const short* a = x + errDly;
    KVO_IVDEP for (std::size_t i = 0; i < taps; ++i) {
      h[i] = wrap(U(h[i]) + U(std::int32_t(a[i]) * p));
    }
  }
  std::memmove(x + 1, x, (len - 1) * sizeof(short));
  x[0] = samp;
  U acc = 0;
  KVO_IVDEP for (std::size_t i = 0; i < taps; ++i) acc += U(sat16(h[i]) * std::int32_t(x[i]));
  return static_cast<short>(sat16(wrap(acc + 4096u) >> 13));
}

#define KVO_LMS_RUN(TS, TT)                                                              \
  template void runK<KVO_ISA, TS, TT>(const Run<TS, TT>&, const TS*, const Out<TS, TT>*, \
                                      Out<TS, TT>*, std::size_t, Out<TS, TT>*);
KVO_LMS_RUN(float, float)
KVO_LMS_RUN(double, double)
KVO_LMS_RUN(ComplexFloat, ComplexFloat)
KVO_LMS_RUN(ComplexDouble, ComplexDouble)
KVO_LMS_RUN(float, ComplexFloat)
KVO_LMS_RUN(double, ComplexDouble)
#undef KVO_LMS_RUN
template short stepShortK<KVO_ISA>(std::int32_t*, short*, std::size_t, std::size_t, std::size_t,
                                   short, short, std::int32_t);

}  // namespace kvo::kern::lms
