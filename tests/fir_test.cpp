// FIR filters: the kernels against an up-sample/convolve/down-sample reference, the low-level and
// high-level entries, their forms, checks and 16-bit scaling.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <cstdint>
#include <random>
#include <vector>

#include "kernels/filter/fir.h"
#include "support/kvo_test.h"

using namespace kvotest;

namespace {

namespace fir = kvo::kern::fir;
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
    {17, {}, 100},
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

// The 16-bit sums of the time line: exact products of the taps (natural order) and samples added
// modulo 2^32, the history (oldest first) before the inputs.
template <class Tap>
std::vector<std::int32_t> shortSums(const std::vector<Tap>& h, fir::Rate r,
                                    const std::vector<short>& hist, const std::vector<short>& in,
                                    int numIters) {
  const int H = fir::historyLen(int(h.size()), r);
  std::vector<std::int32_t> sums(std::size_t(numIters) * r.up);
  for (std::size_t j = 0; j < sums.size(); ++j) {
    const long t = long(j) * r.down + r.downPhase;
    std::uint32_t s = 0;
    for (long k = 0; k < long(h.size()); ++k) {
      const long u = t - k - r.upPhase;
      const long m = u >= 0 ? u / r.up : -((-u + r.up - 1) / r.up);
      if (m * r.up != u) continue;
      const short x = m < 0 ? (m >= -H ? hist[H + m] : 0) : in[m];
      s += std::uint32_t(std::int32_t(h[k]) * x);
    }
    sums[j] = std::int32_t(s);
  }
  return sums;
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
    // Random samples among -32768s: the pair sums of -32768 * -32768 wrap, and distinct values
    // show outputs landing in the wrong place.
    for (auto& v : in) v = gen() % 3 ? static_cast<short>(gen()) : short{-32768};
    const auto want = shortSums(h, c.r, hist, in, c.numIters);
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
    dly.resize(fir::historyLen(int(h.size()), r) + (isSingle(r) ? 1 : 0));
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
    if (fir::isSingle(c.r)) {
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
  // From another array the taps are copied in, also when the storage is already in filter form.
  const auto other = randomData<T>(6, 11);
  ASSERT_EQ(Elem<T>::setTaps(other.data(), &ts), 0);
  std::vector<T> back(6);
  ASSERT_EQ(Elem<T>::getTaps(&ts, back.data()), 0);
  EXPECT_TRUE(sameBits(back, other));
  ASSERT_EQ(Elem<T>::setTaps(orig.data(), &ts), 0);

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

// ---- the high-level entries ----

class FirHigh : public KvoTest {};

// Same taps and history: the high-level filter gives the low-level outputs bit for bit, in one
// block, in split blocks, and (single-rate) sample by sample across the history moves.
template <class TS, class TT>
void checkHigh() {
  using O = fir::Out<TS, TT>;
  using F = Filter<TS, TT>;
  unsigned seed = 300;
  for (const RateCase& c : kRates) {
    SCOPED_TRACE(testing::Message() << "L=" << c.L << " up=" << c.r.up << " down=" << c.r.down);
    const auto h = randomData<TT>(c.L, seed++);
    const int H = fir::historyLen(c.L, c.r);
    const auto hist = randomData<TS>(H + 1, seed++);
    const auto in = randomData<TS>(std::size_t(c.numIters) * c.r.down, seed++);
    LowFilter<TS, TT> low(h, c.r, &hist);
    std::vector<O> want(std::size_t(c.numIters) * c.r.up), got(want.size());
    F::bfirl(&low.ts, &low.ds, in.data(), want.data(), c.numIters);

    FirState st{};
    const int status =
        F::hInitMr(h.data(), c.L, hist.data(), c.r.up, c.r.upPhase, c.r.down, c.r.downPhase, &st);
    ASSERT_EQ(status, 1);
    EXPECT_EQ(st.dlylLen, fir::isSingle(c.r) ? c.L - 1 : H);
    const int first = c.numIters / 2;
    if (first > 0) F::bfir(&st, in.data(), got.data(), first);
    F::bfir(&st, in.data() + std::size_t(first) * c.r.down,
            got.data() + std::size_t(first) * c.r.up, c.numIters - first);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(sameBits(got[i], want[i])) << i;

    std::vector<TS> back(H + 1), lowBack(H + 1);
    Elem<TS>::hGetDlyl(&st, back.data());
    Elem<TS>::getDlyl(&low.ts, &low.ds, lowBack.data());
    for (int i = 0; i < st.dlylLen; ++i) EXPECT_TRUE(sameBits(back[i], lowBack[i])) << i;
    std::vector<TT> taps(c.L);
    Elem<TT>::hGetTaps(&st, taps.data());
    for (int i = 0; i < c.L; ++i) EXPECT_TRUE(sameBits(taps[i], h[i])) << i;
    // Set brings the record back to the start: the same outputs again.
    Elem<TT>::hSetTaps(h.data(), &st);
    Elem<TS>::hSetDlyl(hist.data(), &st);
    F::bfir(&st, in.data(), got.data(), c.numIters);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(sameBits(got[i], want[i])) << i;
    kvoFirFree(&st);

    if (fir::isSingle(c.r)) {
      FirState one{};
      ASSERT_EQ(F::hInitMr(h.data(), c.L, hist.data(), 1, 0, 1, 0, &one), 1);
      for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_TRUE(sameBits(F::fir(&one, in[i]), want[i])) << i;
      }
      kvoFirFree(&one);
    }
  }
}

TEST_F(FirHigh, MatchesTheLowLevelFilter) {
#define KVO_CHECK_TYPES(TS, TT) checkHigh<TS, TT>();
  KVO_FOR_FIR_TYPES(KVO_CHECK_TYPES)
#undef KVO_CHECK_TYPES
  expectNoReport();
}

TEST_F(FirHigh, LifecycleAndDefaults) {
  FirState st{};
  const float h[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(kvosFirInitMr(h, 5, nullptr, 2, 1, 3, 0, &st), 1);
  EXPECT_EQ(st.dlylLen, 3);
  EXPECT_EQ(st.isMultiRate, 1);
  EXPECT_EQ(st.self, &st);
  const float in[6] = {1, 0, 0, 0, 0, 0};
  float out[4];
  EXPECT_EQ(kvosbFir(&st, in, out, 2), 0);
  EXPECT_EQ(kvosFirInit(nullptr, 3, nullptr, &st), 1);  // a live record is rebuilt
  EXPECT_EQ(kvosbFir(&st, in, out, 4), 0);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  kvoFirFree(&st);
  EXPECT_EQ(st.self, nullptr);
  expectNoReport();
  kvoFirFree(&st);
  expectReport(KVO_StatusBadArgument, "kvoFirkvoFree", "Must have been initialized", "kvofirh");
  short d[3] = {0, 0, 0};  // ceil(3 / 1) samples of history
  EXPECT_EQ(kvowFirInitMr(h, 3, d, 1, 0, 2, 1, &st), 0);
  kvoFirFree(&st);
  expectNoReport();
}

// ---- 16 bit ----

class FirShort : public KvoTest {};

// The 16-bit rules written out from their definition.
int refFactor(const std::vector<float>& h) {
  double s = 0;
  for (float v : h) s += std::fabs(double(v));
  if (s <= 0) return 0;
  int n = 0;
  if (s <= 32767) {
    while (s * std::pow(2.0, n + 1) < 32767) ++n;
  } else {
    n = -1;
    while (s / std::pow(2.0, -n) > 32767) --n;
  }
  return n;
}
short refStore(std::int64_t v, int shift, bool sat) {
  if (shift > 0) v >>= std::min(shift, 31);
  if (shift < 0) v = std::int64_t(std::uint64_t(v) << std::min(-shift, 15));
  if (sat) return short(std::clamp<std::int64_t>(v, -32768, 32767));
  return short(std::uint16_t(std::uint64_t(v)));
}
// Outputs of a block from the exact sums under scaleMode (factor in/out through *sf).
std::vector<short> refScale(std::vector<std::int32_t> sums, int n, int mode, int* sf) {
  std::vector<short> out(sums.size());
  if (mode & KVO_AUTO_SCALE) {
    std::int64_t big = 0;
    for (auto& v : sums) {
      v = n > 0 ? v >> std::min(n, 31) : std::int32_t(std::uint32_t(v) << std::min(-n, 31));
      big = std::max(big, std::abs(std::int64_t(v)));
    }
    int f = 0;
    if (big > 32767) {
      int p = 0;
      while ((big >> (p + 1)) != 0) ++p;
      f = p - 14;
    }
    for (std::size_t i = 0; i < sums.size(); ++i) out[i] = short(sums[i] >> f);
    *sf = f;
    return out;
  }
  const int eff = n + (sf && (mode & KVO_FIXED_SCALE) ? *sf : 0);
  const bool sat = eff != 0 ? (mode & KVO_SATURATE) != 0 : (mode & ~KVO_FIXED_SCALE) == 1;
  for (std::size_t i = 0; i < sums.size(); ++i) out[i] = refStore(sums[i], eff, sat);
  return out;
}

TEST_F(FirShort, WorkedExample) {
  float h[2] = {0.5f, 0.25f};
  FirTapState ts{};
  ASSERT_EQ(kvowFirlInit(h, 2, &ts), 0);
  EXPECT_EQ(ts.tapsFactor, 15);
  const short* q = reinterpret_cast<const short*>(h);
  EXPECT_EQ(q[0], 8192);
  EXPECT_EQ(q[1], 16384);
  short d[2];
  FirDlyState ds{};
  kvowFirlInitDlyl(&ts, d, &ds);
  kvowFirlSetDlyl(&ts, nullptr, &ds);
  EXPECT_EQ(kvowFirl(&ts, &ds, 100, KVO_NO_SCALE, nullptr), 50);
  EXPECT_EQ(kvowFirl(&ts, &ds, 200, KVO_NO_SCALE, nullptr), 125);
  EXPECT_EQ(kvowFirl(&ts, &ds, 0, KVO_AUTO_SCALE, nullptr), 0);
  expectReport(KVO_StatusBadArgument, "kvowFirl", "Null scale factor pointer", "kvofirlw");
  float back[2];
  ASSERT_EQ(kvowFirlGetTaps(&ts, back), 0);
  EXPECT_EQ(back[0], 0.5f);
  EXPECT_EQ(back[1], 0.25f);
}

struct ShortCase {
  int mode, factor;
  float gain;  // scales the taps: small gains give positive, large ones negative exponents
};
const ShortCase kShortCases[] = {
    {KVO_NO_SCALE, 0, 1},        {KVO_SATURATE, 0, 1},
    {KVO_FIXED_SCALE, 1, 0.01f}, {KVO_FIXED_SCALE | KVO_SATURATE, -2, 1},
    {KVO_AUTO_SCALE, 0, 1},      {KVO_AUTO_SCALE, 0, 9e4f},
    {KVO_SATURATE, 0, 5e5f},     {KVO_FIXED_SCALE, -3, 3e-6f}};

// Low level, high level, block and sample: all exact against the rules, for every rate case.
TEST_F(FirShort, ExactAgainstTheRules) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<float> dist(-1, 1);
  for (const RateCase& c : kRates) {
    for (const ShortCase& sc : kShortCases) {
      SCOPED_TRACE(testing::Message() << "L=" << c.L << " up=" << c.r.up << " down=" << c.r.down
                                      << " mode=" << sc.mode << " gain=" << sc.gain);
      std::vector<float> h(c.L);
      for (auto& v : h) v = dist(gen) * sc.gain;
      const int n = refFactor(h);
      std::vector<std::int32_t> hq(c.L);
      for (int k = 0; k < c.L; ++k) {
        hq[k] = std::int32_t(
            std::clamp(std::nearbyint(std::ldexp(double(h[k]), n)), -32768.0, 32767.0));
      }
      const int H = fir::historyLen(c.L, c.r);
      std::vector<short> hist(H + 1), in(std::size_t(c.numIters) * c.r.down);
      for (auto& v : hist) v = short(gen());
      for (auto& v : in) v = short(gen());
      const auto sums = shortSums(hq, c.r, hist, in, c.numIters);
      int wantFactor = sc.factor;
      const auto want = refScale(sums, n, sc.mode, &wantFactor);

      std::vector<float> taps(h);
      FirTapState ts{};
      ASSERT_EQ(kvowFirlInitMr(taps.data(), c.L, c.r.up, c.r.upPhase, c.r.down, c.r.downPhase, &ts),
                0);
      EXPECT_EQ(ts.tapsFactor, n);
      std::vector<short> dly(fir::isSingle(c.r) ? c.L : H);
      FirDlyState ds{};
      kvowFirlInitDlyl(&ts, dly.data(), &ds);
      kvowFirlSetDlyl(&ts, fir::isSingle(c.r) ? hist.data() : hist.data(), &ds);
      if (fir::isSingle(c.r)) {
        // The low-level 16-bit line is tapsLen long: the history, then the scratch slot.
        std::copy(hist.begin(), hist.begin() + H, dly.begin());
      }
      std::vector<short> out(sums.size(), 0x5a5a);
      int f = sc.factor;
      kvowbFirl(&ts, &ds, in.data(), out.data(), c.numIters, sc.mode, &f);
      EXPECT_EQ(out, want);
      if (sc.mode & KVO_AUTO_SCALE) {
        EXPECT_EQ(f, wantFactor);
      }

      FirState st{};
      ASSERT_EQ(kvowFirInitMr(h.data(), c.L, hist.data(), c.r.up, c.r.upPhase, c.r.down,
                              c.r.downPhase, &st),
                0);
      std::vector<short> outH(sums.size(), 0x5a5a);
      f = sc.factor;
      const int half = c.numIters / 2;
      if (!(sc.mode & KVO_AUTO_SCALE) && half > 0) {
        kvowbFir(&st, in.data(), outH.data(), half, sc.mode, &f);
        kvowbFir(&st, in.data() + std::size_t(half) * c.r.down,
                 outH.data() + std::size_t(half) * c.r.up, c.numIters - half, sc.mode, &f);
      } else {
        kvowbFir(&st, in.data(), outH.data(), c.numIters, sc.mode, &f);
      }
      EXPECT_EQ(outH, want);
      kvoFirFree(&st);

      if (fir::isSingle(c.r) && !(sc.mode & KVO_AUTO_SCALE)) {
        std::copy(hist.begin(), hist.begin() + H, dly.begin());
        FirState one{};
        kvowFirInit(h.data(), c.L, hist.data(), &one);
        for (std::size_t i = 0; i < in.size(); ++i) {
          f = sc.factor;
          ASSERT_EQ(kvowFirl(&ts, &ds, in[i], sc.mode, &f), want[i]) << i;
          ASSERT_EQ(kvowFir(&one, in[i], sc.mode, &f), want[i]) << i;
        }
        kvoFirFree(&one);
      }
    }
  }
  expectNoReport();
}

// ---- argument checks ----

struct CheckCase {
  std::function<void()> call;
  const char* func;
  const char* message;
  const char* module;
};

TEST_F(FirLow, ChecksInOrder) {
  float h[4] = {1, 2, 3, 4}, d[4] = {};
  short w[4] = {};
  FirTapState ts{}, mr{}, tw{}, mw{};
  FirDlyState ds{}, dw{}, dm{};
  ASSERT_EQ(kvosFirlInit(h, 4, &ts), 0);
  kvosFirlInitDlyl(&ts, d, &ds);
  float hw[4] = {0.1f, 0.2f, 0.3f, 0.4f}, hm[4] = {1, 1, 1, 1}, hmw[4] = {1, 1, 1, 1};
  ASSERT_EQ(kvowFirlInit(hw, 4, &tw), 0);
  kvowFirlInitDlyl(&tw, w, &dw);
  ASSERT_EQ(kvosFirlInitMr(hm, 4, 2, 0, 1, 0, &mr), 0);
  ASSERT_EQ(kvowFirlInitMr(hmw, 4, 2, 0, 1, 0, &mw), 0);
  short wm[2] = {};
  kvowFirlInitDlyl(&mw, wm, &dm);
  kvowFirlSetDlyl(&mw, nullptr, &dm);
  float x = 0;
  short sx = 0;
  int sf = 0;
  const char* L = "kvofirl";
  const char* W = "kvofirlw";
  const std::vector<CheckCase> cases = {
      {[&] { kvosFirlInit(nullptr, 4, &ts); }, "kvosFirlInit", "Null buffer pointer", L},
      {[&] { kvocFirlInit(nullptr, 0, nullptr); }, "kvocFirlInit", "Null buffer pointer", L},
      {[&] { kvodFirlInit(reinterpret_cast<double*>(h), 0, &ts); }, "kvodFirlInit",
       "Invalid array length", L},
      {[&] { kvosFirlInitMr(h, 4, 2, -1, 1, 0, &mr); }, "kvosFirlInitMr", "Invalid phase value", L},
      {[&] { kvozFirlInitMr(nullptr, 4, 2, 0, 1, 0, &mr); }, "kvozFirlInitMr",
       "Null buffer pointer", L},
      {[&] { kvosFirlInitMr(h, 0, 2, -1, 1, 0, &mr); }, "kvosFirlInitMr", "Invalid array length",
       L},
      {[&] { kvosFirlInitMr(h, 4, 2, 2, 1, 0, &mr); }, "kvosFirlInitMr", "Invalid factor value", L},
      {[&] { kvosFirlInitMr(h, 4, 2, 1, 3, 3, &mr); }, "kvosFirlInitMr", "Invalid factor value", L},
      {[&] { kvowFirlInitMr(nullptr, 4, 2, 0, 1, 0, &mw); }, "kvowFirlInitMr",
       "Null Tap State pointer", W},
      {[&] { kvowFirlInit(hw, 4, nullptr); }, "kvowFirlInit", "Null Tap State pointer", W},
      {[&] { kvowFirlInit(hw, 0, &tw); }, "kvowFirlInit", "Invalid array length", W},
      {[&] { kvosFirlInitDlyl(nullptr, nullptr, &ds); }, "kvosFirlInitDlyl", "Null buffer pointer",
       L},
      {[&] { kvowFirlInitDlyl(&tw, nullptr, nullptr); }, "kvowFirlInitDlyl",
       "Null Dly State pointer", W},
      {[&] { kvowFirlInitDlyl(nullptr, w, &dw); }, "kvowFirlInitDlyl", "Null buffer pointer", W},
      {[&] { kvosFirlSetTaps(h, nullptr); }, "kvosFirlSetTaps", "Null buffer pointer", L},
      {[&] { kvowFirlSetTaps(hw, nullptr); }, "kvowFirlSetTaps", "Null Tap State pointer", W},
      {[&] { kvosFirlGetTaps(&ts, nullptr); }, "kvosFirlGetTaps", "Null buffer pointer", L},
      {[&] { kvowFirlGetTaps(nullptr, nullptr); }, "kvowFirlGetTaps", "Null Tap State pointer", W},
      {[&] { kvowFirlGetTaps(&tw, nullptr); }, "kvowFirlGetTaps", "Null buffer pointer", W},
      {[&] { kvosFirlSetDlyl(nullptr, d, nullptr); }, "kvosFirlSetDlyl", "Null buffer pointer", L},
      {[&] { kvowFirlSetDlyl(&tw, w, nullptr); }, "kvowFirlSetDlyl", "Null Dly State pointer", W},
      {[&] { kvowFirlSetDlyl(nullptr, w, &dw); }, "kvowFirlSetDlyl", "Null Tap State pointer", W},
      {[&] { kvosFirlGetDlyl(&ts, &ds, d); }, "kvosFirlGetDlyl", "Not filter mode", L},
      {[&] { kvosFirlGetDlyl(&ts, nullptr, nullptr); }, "kvosFirlGetDlyl", "Null buffer pointer",
       L},
      {[&] { kvowFirlGetDlyl(&tw, nullptr, w); }, "kvowFirlGetDlyl", "Null Dly State pointer", W},
      {[&] { kvowFirlGetDlyl(nullptr, &dw, w); }, "kvowFirlGetDlyl", "Null Tap State pointer", W},
      {[&] { kvowFirlGetDlyl(&tw, &dw, nullptr); }, "kvowFirlGetDlyl", "Null buffer pointer", W},
      {[&] { kvowFirlGetDlyl(&tw, &dw, w); }, "kvowFirlGetDlyl", "Filter Dlyl is not setup", W},
      {[&] { kvosFirl(nullptr, &ds, 1.0f); }, "kvosFirl", "Null buffer pointer", L},
      {[&] { kvosFirl(&mr, &ds, 1.0f); }, "kvosFirl", "MultiRate filter", L},
      {[&] { kvosbFirl(&ts, nullptr, &x, &x, 1); }, "kvosbFirl", "Null buffer pointer", L},
      {[&] { kvosbFirl(&ts, &ds, &x, nullptr, 1); }, "kvosbFirl", "Null buffer pointer", L},
      {[&] { kvosbFirl(&ts, &ds, &x, &x, 0); }, "kvosbFirl", "Invalid array length", L},
      {[&] { kvosbFirl(&ts, &ds, &x, &x, 1); }, "kvosbFirl", "Not filter mode", L},
      {[&] { kvowFirl(nullptr, &dw, 1, 0, nullptr); }, "kvowFirl", "Null Tap State pointer", W},
      {[&] { kvowFirl(&tw, nullptr, 1, 0, nullptr); }, "kvowFirl", "Null Dly State pointer", W},
      {[&] { kvowFirl(&tw, &dw, 1, 0, nullptr); }, "kvowFirl", "Filter Dlyl is not setup", W},
      {[&] { kvowFirl(&mw, &dm, 1, 0, nullptr); }, "kvowFirl", "MultiRate filter", W},
      {[&] { kvowbFirl(&mw, &dm, nullptr, &sx, 1, 0, nullptr); }, "kvowbFirl",
       "Null buffer pointer", W},
      {[&] { kvowbFirl(&mw, &dm, &sx, &sx, 0, 0, nullptr); }, "kvowbFirl", "Invalid array length",
       W},
      {[&] { kvowbFirl(&mw, &dm, &sx, &sx, 1, KVO_AUTO_SCALE, nullptr); }, "kvowbFirl",
       "Null scale factor pointer", W},
      {[&] { kvosFirInit(h, 0, nullptr, nullptr); }, "kvosFirInit", "Null state pointer",
       "kvofirh"},
      {[&] {
         FirState st{};
         kvosFirInit(h, 0, nullptr, &st);
       },
       "kvosFirInit", "Invalid value", "kvofirh"},
      {[&] {
         FirState st{};
         kvozdFirInitMr(nullptr, 3, nullptr, 2, 0, 2, 2, &st);
       },
       "kvozdFirInitMr", "Invalid value", "kvofirh"},
      {[&] {
         FirState st{};
         kvocFirSetTaps(nullptr, &st);
       },
       "kvocFirSetTaps", "Must have been initialized", "kvofirh"},
      {[&] { kvodFirGetDlyl(nullptr, nullptr); }, "kvodFirGetDlyl", "Null state pointer",
       "kvofirh"},
      {[&] {
         FirState st{};
         kvosFir(&st, 1);
       },
       "kvosFir", "Must have been initialized", "kvofirh"},
      {[&] {
         FirState st{};
         kvowFirInit(hw, 1, nullptr, &st);
         kvowbFir(&st, &sx, &sx, 0, 0, &sf);
         kvoFirFree(&st);
       },
       "kvowbFir", "Invalid value", "kvofirhw"},
      {[&] {
         FirState st{};
         kvowFirInit(hw, 1, nullptr, &st);
         kvowFir(&st, 1, KVO_AUTO_SCALE, nullptr);
         kvoFirFree(&st);
       },
       "kvowFir", "Null scale factor pointer", "kvofirhw"},
      {[&] {
         FirState st{};
         kvosFirInit(h, 2, nullptr, &st);
         kvosbFir(&st, &x, nullptr, 1);
         kvoFirFree(&st);
       },
       "kvosbFir", "Null buffer pointer", "kvofirh"},
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(c.func);
    SCOPED_TRACE(c.message);
    c.call();
    expectReport(KVO_StatusBadArgument, c.func, c.message, c.module);
  }
  // Failed checks leave outputs untouched.
  float out[3] = {7, 7, 7};
  kvosbFirl(&ts, &ds, out, out, 3);
  expectReport(KVO_StatusBadArgument, "kvosbFirl", "Not filter mode", L);
  EXPECT_EQ(out[0], 7.0f);
  EXPECT_EQ(kvozFirl(nullptr, nullptr, ComplexDouble{1, 1}).re, 0.0);
  expectReport(KVO_StatusBadArgument, "kvozFirl", "Null buffer pointer", L);
}

}  // namespace
