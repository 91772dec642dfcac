// Random generator block kernels for one instruction-set level; included by rand_<level>.cpp after
// KVO_ISA is defined. See isa.h for the rules these files follow.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kernels/generate/genfield.h"
#include "kernels/generate/rand.h"
#include "kernels/vector/elemlnexp.h"

namespace kvo::kern::rand {
namespace {

using gen::field;
using I32 = std::int32_t;

constexpr std::size_t kChunk = 512;  // values per pass
constexpr std::size_t kLanes = 16;   // congruential lanes advanced together
constexpr LcgJump kJump(kLanes);

// y[k] = out(d_k + m_k) for k < n: d_k the next subtract-with-borrow values, m_k the next
// congruential values; both generators are left at the last values used. Sixteen congruential
// lanes start with sequential steps and then jump sixteen steps at a time. Each group of sixteen
// borrow steps (a latency-bound chain) is followed by the lane-parallel work on it, which the
// processor overlaps with the next group's chain.
template <class Out, class T>
KVO_KERNEL_INLINE void combine(Swb& g, U32& m, T* y, std::size_t n, Out out) {
  if (n < kLanes) {  // short runs (single values): not worth starting the lanes
    for (std::size_t j = 0; j < n; ++j) {
      const U32 d = g.step();
      y[j] = out(d + lcgStep(m));
    }
    return;
  }
  U32 lane[kLanes];
  for (std::size_t j = 0; j < kLanes; ++j) lane[j] = lcgStep(m);
  U32 last = m;
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes) {
    U32 d[kLanes];
    for (std::size_t j = 0; j < kLanes; ++j) d[j] = g.step();
    for (std::size_t j = 0; j < kLanes; ++j) y[i + j] = out(d[j] + lane[j]);
    last = lane[kLanes - 1];
    for (std::size_t j = 0; j < kLanes; ++j) lane[j] = lane[j] * kJump.mul + kJump.add;
  }
  const std::size_t tail = n - i;
  for (std::size_t j = 0; j < tail; ++j) y[i + j] = out(g.step() + lane[j]);
  m = tail > 0 ? lane[tail - 1] : last;
}

// The polar method over a record S whose stored value has the output type T. `conv` turns
// mean + stDev*u*f into T.
template <Isa I, class S, class T, class Conv>
void polar(S& st, T& stored, double mean, double stDev, T* y, std::size_t n, Conv conv) {
  std::size_t i = 0;
  if (n == 0) return;
  if (st.haveStored == 1) {
    st.haveStored = 0;
    y[i++] = stored;
  }
  Swb g = loadSwb(st);
  U32 m = st.lcg;
  double u1[kChunk], u2[kChunk], s[kChunk], ln[kChunk];
  T first[kChunk], second[kChunk];
  I32 raw[2 * kChunk];
  while (i < n) {
    const std::size_t pairs = std::min((n - i + 1) / 2, kChunk);
    // Each trial takes two draws, and a round makes only as many trials as pairs are missing, so
    // the generators never run past the last accepted pair.
    for (std::size_t k = 0; k < pairs;) {
      const std::size_t trials = pairs - k;
      combine(g, m, raw, 2 * trials, [](U32 r) { return static_cast<I32>(r); });
      for (std::size_t t = 0; t < trials; ++t) {
        const double a = raw[2 * t] * 0x1p-31, b = raw[2 * t + 1] * 0x1p-31;
        const double q = a * a + b * b;
        u1[k] = a;
        u2[k] = b;
        s[k] = q;
        k += (q < 1 && q != 0) ? 1 : 0;
      }
    }
    lnK<I, double>(s, ln, pairs);
    for (std::size_t k = 0; k < pairs; ++k) {
      const double f = std::sqrt(-2 * ln[k] / s[k]);
      first[k] = conv(mean + stDev * u1[k] * f);
      second[k] = conv(mean + stDev * u2[k] * f);
    }
    for (std::size_t k = 0; k < pairs; ++k) {
      y[i++] = second[k];
      if (i < n) {
        y[i++] = first[k];
      } else {
        stored = first[k];
        st.haveStored = 1;
      }
    }
  }
  storeSwb(st, g);
  st.lcg = m;
}

}  // namespace

template <Isa I, class R>
void uniformK(RandUniState& st, R* y, std::size_t n) {
  const double scale = field<R>(st.scale), mid = field<R>(st.mid);
  Swb g = loadSwb(st);
  U32 m = st.lcg;
  const auto out = [scale, mid](U32 r) {
    return static_cast<R>(static_cast<I32>(r) * scale + mid);
  };
  combine(g, m, y, n, out);
  storeSwb(st, g);
  st.lcg = m;
}

template <Isa I, class R>
void gaussK(RandGausState& st, R* y, std::size_t n) {
  polar<I>(st, field<R>(st.stored), field<R>(st.mean), field<R>(st.stDev), y, n,
           [](double x) { return static_cast<R>(x); });
}

template <Isa I>
void gaussShortK(WRandGausState& st, short* y, std::size_t n) {
  polar<I>(st, st.stored, st.mean, st.stDev, y, n,
           [](double x) { return gen::low16(static_cast<I32>(x)); });
}

template <Isa I>
void uniformShortK(WRandUniState& st, short* y, std::size_t n) {
  Swb g = loadSwb(st);
  U32 a = st.lcgA, b = st.lcgB;
  const U32 mid = static_cast<U32>(st.mid);
  const int sh = clampShift(st.shift);
  const auto value = [&](U32 r) {
    return static_cast<short>(
        static_cast<std::uint16_t>(mid - static_cast<U32>(static_cast<I32>(r) >> sh)));
  };
  std::size_t i = 0;
  if (n & 1) y[i++] = uniformShortSingle(g, a, mid, sh);
  for (; i < n; i += 2) {
    const U32 d1 = g.step<true>(), d2 = g.step<true>();
    const U32 ma = lcgStep(a), mb = lcgStep(b);
    y[i] = value(d2 + ma);
    y[i + 1] = value(d1 + mb);
  }
  storeSwb(st, g);
  st.lcgA = a;
  st.lcgB = b;
}

template void uniformK<KVO_ISA, float>(RandUniState&, float*, std::size_t);
template void uniformK<KVO_ISA, double>(RandUniState&, double*, std::size_t);
template void gaussK<KVO_ISA, float>(RandGausState&, float*, std::size_t);
template void gaussK<KVO_ISA, double>(RandGausState&, double*, std::size_t);
template void gaussShortK<KVO_ISA>(WRandGausState&, short*, std::size_t);
template void uniformShortK<KVO_ISA>(WRandUniState&, short*, std::size_t);

}  // namespace kvo::kern::rand
