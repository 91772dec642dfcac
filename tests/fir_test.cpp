// FIR filters: the kernels' sameness across instruction-set levels, the 16-bit sums exact, the
// low-level and high-level entries, their forms and lifecycle. Values against scipy, and the
// 16-bit filters under every scale mode bit for bit, are in reference/fir_test.py.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "kernels/filter/fir.h"
#include "support/kvo_test.h"

using namespace kvotest;

namespace {

namespace fir = kvo::kern::fir;

template <class T>
std::vector<T> randomData(std::size_t n, unsigned seed) {
  auto v = randomOf<T>(n, seed);
  for (auto& x : v) {  // within [-1, 1)
    if constexpr (kComplex<T>) {
      x.re /= 100, x.im /= 100;
    } else {
      x /= 100;
    }
  }
  return v;
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

// The kernel at every level gives the same bits (reference/fir_test.py holds the values).
template <class TS, class TT>
void checkKernel() {
  using O = fir::Out<TS, TT>;
  unsigned seed = 1;
  for (const RateCase& c : kRates) {
    const auto h = randomData<TT>(c.L, seed++);
    const int H = fir::historyLen(c.L, c.r);
    const auto hist = randomData<TS>(H, seed++);
    const auto in = randomData<TS>(std::size_t(c.numIters) * c.r.down, seed++);
    std::vector<O> first;
    forEachIsa([&] {
      std::vector<O> out(std::size_t(c.numIters) * c.r.up);
      fir::run(h.data(), fir::TapOrder::Natural, c.L, c.r, hist.data(), H, false, in.data(),
               out.data(), c.numIters);
      if (first.empty()) first = out;
      ASSERT_TRUE(sameBits(out, first)) << "L=" << c.L << " up=" << c.r.up << " down=" << c.r.down;
    });
  }
}

TEST(FirKernel, EveryLevelGivesTheSameBits) {
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

// bFirl in one call and split in two give the same bits; Firl equals bFirl sample by sample; the
// delay line read back holds the newest inputs.
template <class TS, class TT>
void checkLow() {
  using O = fir::Out<TS, TT>;
  using F = Filter<TS, TT>;
  unsigned seed = 100;
  for (const RateCase& c : kRates) {
    SCOPED_TRACE(testing::Message() << "L=" << c.L << " up=" << c.r.up << " down=" << c.r.down);
    const auto h = randomData<TT>(c.L, seed++);
    const int H = fir::historyLen(c.L, c.r);
    const auto hist = randomData<TS>(H, seed++);
    const auto in = randomData<TS>(std::size_t(c.numIters) * c.r.down, seed++);

    LowFilter<TS, TT> whole(h, c.r, &hist), split(h, c.r, &hist);
    std::vector<O> a(std::size_t(c.numIters) * c.r.up), b(a.size());
    ASSERT_EQ(F::bfirl(&whole.ts, &whole.ds, in.data(), a.data(), c.numIters), 0);
    const int first = c.numIters / 3;
    if (first > 0) {
      F::bfirl(&split.ts, &split.ds, in.data(), b.data(), first);
    }
    F::bfirl(&split.ts, &split.ds, in.data() + std::size_t(first) * c.r.down,
             b.data() + std::size_t(first) * c.r.up, c.numIters - first);
    ASSERT_TRUE(sameBits(a, b));

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

// Reports that depend on the records: a multi-rate record for single samples, a delay line
// that was read back out of filter form.
TEST_F(FirLow, ReportsOfTheRecordsState) {
  float h[4] = {1, 1, 1, 1}, d[4] = {}, out[3] = {7, 7, 7};
  FirTapState ts{}, mr{};
  FirDlyState ds{};
  ASSERT_EQ(kvosFirlInit(h, 4, &ts), 0);
  kvosFirlInitDlyl(&ts, d, &ds);
  kvosFirlGetDlyl(&ts, &ds, d);
  expectReport(KVO_StatusBadArgument, "kvosFirlGetDlyl", "Not filter mode", "kvofirl");
  kvosbFirl(&ts, &ds, out, out, 3);
  expectReport(KVO_StatusBadArgument, "kvosbFirl", "Not filter mode", "kvofirl");
  EXPECT_EQ(out[0], 7.0f);
  float hm[4] = {1, 1, 1, 1};
  ASSERT_EQ(kvosFirlInitMr(hm, 4, 2, 0, 1, 0, &mr), 0);
  kvosFirl(&mr, &ds, 1.0f);
  expectReport(KVO_StatusBadArgument, "kvosFirl", "MultiRate filter", "kvofirl");
  float hw[4] = {1, 1, 1, 1};
  short w[2] = {};
  FirTapState mw{};
  FirDlyState dm{};
  ASSERT_EQ(kvowFirlInitMr(hw, 4, 2, 0, 1, 0, &mw), 0);
  kvowFirlInitDlyl(&mw, w, &dm);
  kvowFirlSetDlyl(&mw, nullptr, &dm);
  kvowFirl(&mw, &dm, 1, 0, nullptr);
  expectReport(KVO_StatusBadArgument, "kvowFirl", "MultiRate filter", "kvofirlw");
}

}  // namespace
