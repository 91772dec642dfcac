// FIR filters: the kernels against an up-sample/convolve/down-sample reference, the low-level and
// high-level entries, their forms, checks and 16-bit scaling.
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
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

// ---- the low-level entries ----

template <class T>
struct Elem;
#define KVO_ELEM(P, T)                                     \
  template <>                                              \
  struct Elem<T> {                                         \
    static constexpr auto init = kvo##P##FirlInit;         \
    static constexpr auto initMr = kvo##P##FirlInitMr;     \
    static constexpr auto initDlyl = kvo##P##FirlInitDlyl; \
    static constexpr auto setTaps = kvo##P##FirlSetTaps;   \
    static constexpr auto getTaps = kvo##P##FirlGetTaps;   \
    static constexpr auto setDlyl = kvo##P##FirlSetDlyl;   \
    static constexpr auto getDlyl = kvo##P##FirlGetDlyl;   \
    static constexpr auto hInit = kvo##P##FirInit;         \
    static constexpr auto hSetTaps = kvo##P##FirSetTaps;   \
    static constexpr auto hGetTaps = kvo##P##FirGetTaps;   \
    static constexpr auto hSetDlyl = kvo##P##FirSetDlyl;   \
    static constexpr auto hGetDlyl = kvo##P##FirGetDlyl;   \
  };
KVO_ELEM(s, float)
KVO_ELEM(c, CF)
KVO_ELEM(d, double)
KVO_ELEM(z, CD)
#undef KVO_ELEM

template <class TS, class TT>
struct Filter;
#define KVO_FILTER(P, TS, TT)                          \
  template <>                                          \
  struct Filter<TS, TT> {                              \
    static constexpr auto firl = kvo##P##Firl;         \
    static constexpr auto bfirl = kvo##P##bFirl;       \
    static constexpr auto hInitMr = kvo##P##FirInitMr; \
    static constexpr auto fir = kvo##P##Fir;           \
    static constexpr auto bfir = kvo##P##bFir;         \
  };
KVO_FILTER(s, float, float)
KVO_FILTER(c, CF, CF)
KVO_FILTER(sc, float, CF)
KVO_FILTER(cs, CF, float)
KVO_FILTER(d, double, double)
KVO_FILTER(z, CD, CD)
KVO_FILTER(dz, double, CD)
KVO_FILTER(zd, CD, double)
#undef KVO_FILTER

class FirLow : public KvoTest {};

// A low-level filter of one type pair set up with taps h and the oldest-first history.
template <class TS, class TT>
struct LowFilter {
  std::vector<TT> taps;
  std::vector<TS> dly;
  FirTapState ts{};
  FirDlyState ds{};
  LowFilter(const std::vector<TT>& h, fir::Rate r, const std::vector<TS>* hist) : taps(h) {
    EXPECT_EQ(
        Elem<TT>::initMr(taps.data(), int(h.size()), r.up, r.upPhase, r.down, r.downPhase, &ts),
        KVO_StatusOk);
    dly.resize(fir::historyLen(int(h.size()), r) + (r.single() ? 1 : 0));
    EXPECT_EQ(Elem<TS>::initDlyl(&ts, dly.data(), &ds), KVO_StatusOk);
    EXPECT_EQ(ds.dlylLen, int(dly.size()));
    EXPECT_EQ(Elem<TS>::setDlyl(&ts, hist ? hist->data() : nullptr, &ds), KVO_StatusOk);
  }
};

// bFirl against the time line, in one call and split in two; Firl equals bFirl sample by sample;
// the delay line read back holds the newest inputs.
template <class TS, class TT>
void checkLow() {
  using O = fir::Out<TS, TT>;
  using F = Filter<TS, TT>;
  const double tol = std::is_same_v<kvo::kern::RealOf<TS>, float> ? 2e-6 : 1e-14;
  unsigned seed = 100;
  for (const RateCase& c : kRates) {
    SCOPED_TRACE(testing::Message() << "L=" << c.L << " up=" << c.r.up << " down=" << c.r.down);
    const auto h = randomData<TT>(c.L, seed++);
    const int H = fir::historyLen(c.L, c.r);
    const auto hist = randomData<TS>(H, seed++);
    const auto in = randomData<TS>(std::size_t(c.numIters) * c.r.down, seed++);
    const auto want = reference(h, c.r, hist, in, c.numIters);

    LowFilter<TS, TT> whole(h, c.r, &hist), split(h, c.r, &hist);
    std::vector<O> a(want.size()), b(want.size());
    ASSERT_EQ(F::bfirl(&whole.ts, &whole.ds, in.data(), a.data(), c.numIters), 0);
    EXPECT_LE(error(a, want), tol * c.L);
    const int first = c.numIters / 3;
    if (first > 0) {
      F::bfirl(&split.ts, &split.ds, in.data(), b.data(), first);
    }
    F::bfirl(&split.ts, &split.ds, in.data() + std::size_t(first) * c.r.down,
             b.data() + std::size_t(first) * c.r.up, c.numIters - first);
    for (std::size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(sameBits(a[i], b[i])) << i;

    std::vector<TS> back(H + 1);
    ASSERT_EQ(Elem<TS>::getDlyl(&whole.ts, &whole.ds, back.data()), 0);
    const std::size_t total = in.size();
    for (int i = 0; i < H; ++i) {
      const long src = long(total) - H + i;
      const TS& w = src >= 0 ? in[src] : hist[H + src];
      EXPECT_TRUE(sameBits(back[i], w)) << i;
    }
    if (c.r.single()) {
      LowFilter<TS, TT> one(h, c.r, &hist);
      for (std::size_t i = 0; i < in.size(); ++i) {
        const O y = F::firl(&one.ts, &one.ds, in[i]);
        ASSERT_TRUE(sameBits(y, a[i])) << i;
      }
    }
  }
}

TEST_F(FirLow, BlocksFollowTheTimeLine) {
#define KVO_CHECK_TYPES(TS, TT) checkLow<TS, TT>();
  KVO_FOR_FIR_TYPES(KVO_CHECK_TYPES)
#undef KVO_CHECK_TYPES
  expectNoReport();
}

// Filtering in place gives the same outputs as into another array.
TEST_F(FirLow, InPlace) {
  const auto h = randomData<float>(31, 5);
  const auto in = randomData<float>(1000, 6);
  for (fir::Rate r : {fir::Rate{}, fir::Rate{1, 0, 3, 2}}) {
    LowFilter<float, float> a(h, r, nullptr), b(h, r, nullptr);
    const int iters = int(in.size()) / r.down;
    std::vector<float> out(iters), io(in);
    kvosbFirl(&a.ts, &a.ds, in.data(), out.data(), iters);
    kvosbFirl(&b.ts, &b.ds, io.data(), io.data(), iters);
    for (int i = 0; i < iters; ++i) ASSERT_EQ(out[i], io[i]) << i;
  }
}

// The storage itself as source or destination switches the form in place.
template <class T>
void checkForms() {
  auto h = randomData<T>(6, 9);
  const auto orig = h;
  FirTapState ts{};
  ASSERT_EQ(Elem<T>::init(h.data(), 6, &ts), 0);
  EXPECT_EQ(ts.isFilterMode, 1);
  EXPECT_EQ(std::memcmp(h.data(), orig.data(), sizeof(T) * 6), 0);
  ASSERT_EQ(Elem<T>::getTaps(&ts, h.data()), 0);
  EXPECT_EQ(ts.isFilterMode, 0);
  EXPECT_EQ(std::memcmp(h.data(), orig.data(), sizeof(T) * 6), 0);
  ASSERT_EQ(Elem<T>::setTaps(h.data(), &ts), 0);

  std::vector<T> d = randomData<T>(6, 10);
  const auto user = d;
  FirDlyState ds{};
  ASSERT_EQ(Elem<T>::initDlyl(&ts, d.data(), &ds), 0);
  ASSERT_EQ(Elem<T>::setDlyl(&ts, d.data(), &ds), 0);
  ASSERT_EQ(Elem<T>::setDlyl(&ts, d.data(), &ds), 0);  // already in filter form: left alone
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(sameBits(d[i], user[4 - i])) << i;
  std::vector<T> copy(5);
  ASSERT_EQ(Elem<T>::getDlyl(&ts, &ds, copy.data()), 0);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(sameBits(copy[i], user[i])) << i;
  ASSERT_EQ(Elem<T>::getDlyl(&ts, &ds, d.data()), 0);
  EXPECT_EQ(ds.isFilterMode, 0);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(sameBits(d[i], user[i])) << i;
}

TEST_F(FirLow, StorageTogglesForms) {
  checkForms<float>();
  checkForms<CF>();
  checkForms<double>();
  checkForms<CD>();
  expectNoReport();
}

TEST_F(FirLow, OneTapAndUnitRates) {
  float h[1] = {2.5f};
  FirTapState ts{};
  ASSERT_EQ(kvosFirlInitMr(h, 1, 1, 0, 1, 0, &ts), 0);
  EXPECT_EQ(ts.isMultiRate, 0);
  float d[1] = {7};
  FirDlyState ds{};
  kvosFirlInitDlyl(&ts, d, &ds);
  kvosFirlSetDlyl(&ts, nullptr, &ds);
  const float in[3] = {1, -2, 4};
  float out[3];
  ASSERT_EQ(kvosbFirl(&ts, &ds, in, out, 3), 0);
  EXPECT_EQ(out[0], 2.5f);
  EXPECT_EQ(out[1], -5.0f);
  EXPECT_EQ(out[2], 10.0f);
  EXPECT_EQ(d[0], 4.0f);
  EXPECT_EQ(kvosFirl(&ts, &ds, 3.0f), 7.5f);
}

}  // namespace
