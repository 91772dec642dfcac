// FIR filters: the kernels against an up-sample/convolve/down-sample reference, the low-level and
// high-level entries, their forms, checks and 16-bit scaling.
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "kernels/filter/fir.h"
#include "support/kvo_test.h"

using kvotest::forEachIsa;
using kvotest::KvoTest;
using kvotest::sameBits;

namespace {

namespace fir = kvo::kern::fir;
using CF = ComplexFloat;
using CD = ComplexDouble;
using LC = std::complex<long double>;

template <class T>
LC wide(const T& x) {
  if constexpr (kvo::kern::kIsComplex<T>) {
    return {static_cast<long double>(x.re), static_cast<long double>(x.im)};
  } else {
    return {static_cast<long double>(x), 0.0L};
  }
}

template <class T>
std::vector<T> randomData(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<T> v(n);
  for (auto& x : v) {
    if constexpr (kvo::kern::kIsComplex<T>) {
      using R = kvo::kern::RealOf<T>;
      x = {static_cast<R>(dist(gen)), static_cast<R>(dist(gen))};
    } else {
      x = static_cast<T>(dist(gen));
    }
  }
  return v;
}

// The filter as its definition reads: the inputs (history first) zero-stuffed onto the up-sampled
// time line, convolved with the taps, and sampled at the output times.
template <class TS, class TT>
std::vector<LC> reference(const std::vector<TT>& h, fir::Rate r, const std::vector<TS>& hist,
                          const std::vector<TS>& in, int numIters) {
  const long H = static_cast<long>(hist.size());
  auto x = [&](long m) { return m < 0 ? (m >= -H ? wide(hist[H + m]) : LC{}) : wide(in[m]); };
  std::vector<LC> y(static_cast<std::size_t>(numIters) * r.up);
  for (std::size_t j = 0; j < y.size(); ++j) {
    const long t = static_cast<long>(j) * r.down + r.downPhase;
    LC s{};
    for (long k = 0; k < static_cast<long>(h.size()); ++k) {
      const long u = t - k - r.upPhase;  // an input sits here when u is a multiple of up
      const long m = u >= 0 ? u / r.up : -((-u + r.up - 1) / r.up);
      if (m * r.up == u) s += wide(h[k]) * x(m);
    }
    y[j] = s;
  }
  return y;
}

template <class O>
double error(const std::vector<O>& got, const std::vector<LC>& want) {
  double e = 0;
  for (std::size_t i = 0; i < got.size(); ++i) {
    e = std::max(e, static_cast<double>(std::abs(wide(got[i]) - want[i])));
  }
  return e;
}

struct RateCase {
  int L;
  fir::Rate r;
  int numIters;
};
const RateCase kRates[] = {
    {1, {}, 7},
    {2, {}, 1},
    {7, {}, 3},
    {33, {}, 600},
    {64, {}, 1500},
    {5, {2, 1, 3, 2}, 9},
    {7, {3, 0, 1, 0}, 4},
    {16, {1, 0, 4, 3}, 700},
    {13, {4, 3, 1, 0}, 50},
    {9, {3, 2, 2, 1}, 11},
    {2, {5, 4, 3, 0}, 6},
    {40, {3, 1, 7, 6}, 90},
};

template <class TS, class TT>
void checkKernel() {
  using O = fir::Out<TS, TT>;
  const double tol = std::is_same_v<kvo::kern::RealOf<TS>, float> ? 2e-6 : 1e-14;
  unsigned seed = 1;
  for (const RateCase& c : kRates) {
    SCOPED_TRACE(testing::Message() << "L=" << c.L << " up=" << c.r.up << "/" << c.r.upPhase
                                    << " down=" << c.r.down << "/" << c.r.downPhase);
    const auto h = randomData<TT>(c.L, seed++);
    const int H = fir::historyLen(c.L, c.r);
    const auto hist = randomData<TS>(H, seed++);
    const auto in = randomData<TS>(static_cast<std::size_t>(c.numIters) * c.r.down, seed++);
    const auto want = reference(h, c.r, hist, in, c.numIters);
    std::vector<O> first;
    forEachIsa([&] {
      std::vector<O> out(want.size());
      fir::run(h.data(), fir::TapOrder::Natural, c.L, c.r, hist.data(), H, false, in.data(),
               out.data(), c.numIters);
      EXPECT_LE(error(out, want), tol * c.L);
      if (first.empty()) first = out;
      for (std::size_t i = 0; i < out.size(); ++i) ASSERT_TRUE(sameBits(out[i], first[i])) << i;
    });
  }
}

TEST(FirKernel, MatchesTheTimeLineAtEveryLevel) {
#define KVO_CHECK_TYPES(TS, TT) checkKernel<TS, TT>();
  KVO_FOR_FIR_TYPES(KVO_CHECK_TYPES)
#undef KVO_CHECK_TYPES
}

// 16-bit sums: the exact products added modulo 2^32, taps in the grouped reversed order.
TEST(FirKernel, ShortSumsWrapExactly) {
  std::mt19937 gen(7);
  for (const RateCase& c : kRates) {
    std::vector<short> h(c.L), hq(c.L);
    for (auto& v : h) v = static_cast<short>(gen());
    h[0] = -32768;
    for (int p = 0; p < c.r.up; ++p) {
      const fir::Phase ph = fir::phaseAt(c.L, fir::Rate{c.r.up, 0, 1, 0}, p);
      for (int k = 0; k < ph.len; ++k) hq[ph.offset + ph.len - 1 - k] = h[p + k * c.r.up];
    }
    const int H = fir::historyLen(c.L, c.r);
    std::vector<short> hist(H), in(static_cast<std::size_t>(c.numIters) * c.r.down);
    for (auto& v : hist) v = static_cast<short>(gen());
    for (auto& v : in) v = -32768;
    std::vector<std::int32_t> want(static_cast<std::size_t>(c.numIters) * c.r.up);
    for (std::size_t j = 0; j < want.size(); ++j) {
      const long t = static_cast<long>(j) * c.r.down + c.r.downPhase;
      std::uint32_t s = 0;
      for (long k = 0; k < c.L; ++k) {
        const long u = t - k - c.r.upPhase;
        const long m = u >= 0 ? u / c.r.up : -((-u + c.r.up - 1) / c.r.up);
        if (m * c.r.up != u) continue;
        const short x = m < 0 ? (m >= -H ? hist[H + m] : 0) : in[m];
        s += static_cast<std::uint32_t>(std::int32_t{h[k]} * x);
      }
      want[j] = static_cast<std::int32_t>(s);
    }
    forEachIsa([&] {
      std::vector<std::int32_t> sums(want.size());
      fir::runW(hq.data(), c.L, c.r, hist.data(), H, in.data(), sums.data(), c.numIters);
      EXPECT_EQ(sums, want) << "L=" << c.L;
    });
  }
}

}  // namespace
