// IIR filters: checks and their reports, the normalised taps, blocks against single samples at
// every instruction-set level, the high-level records, and the 16-bit forms.
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "support/kvo_test.h"

namespace {

using namespace kvotest;

template <class T>
T make(double re, double im) {
  if constexpr (kComplex<T>) {
    using R = decltype(T{}.re);
    return T{R(re), R(im)};
  } else {
    return T(re);
  }
}
template <class T>
double reOf(const T& v) {
  if constexpr (kComplex<T>)
    return v.re;
  else
    return v;
}

// One member: C taps, X samples, D delay line and output, and its entries.
template <class C_, class X_, class D_>
struct Member {
  using C = C_;
  using X = X_;
  using D = D_;
  void (*init)(int, C*, int, IirTapState*);
  void (*initBq)(int, C*, int, IirTapState*);
  void (*initDlyl)(const IirTapState*, D*, IirDlyState*);
  D (*one)(const IirTapState*, IirDlyState*, X);
  void (*block)(const IirTapState*, IirDlyState*, const X*, D*, int);
  void (*hInit)(int, const C*, int, IirState*);
  void (*hInitBq)(int, const C*, int, IirState*);
  D (*hOne)(IirState*, X);
  int (*hBlock)(IirState*, const X*, D*, int);
};

#define MEMBER(P, L, E, C, X, D)                                           \
  struct M_##P : Member<C, X, D> {                                         \
    static Member<C, X, D> get() {                                         \
      return {kvo##L##IirlInit,  kvo##L##IirlInitBq, kvo##E##IirlInitDlyl, \
              kvo##P##Iirl,      kvo##P##bIirl,      kvo##P##IirInit,      \
              kvo##P##IirInitBq, kvo##P##Iir,        kvo##P##bIir};        \
    }                                                                      \
  };
MEMBER(s, s, s, float, float, float)
MEMBER(c, c, c, CF, CF, CF)
MEMBER(cs, s, c, float, CF, CF)
MEMBER(sc, c, c, CF, float, CF)
MEMBER(d, d, d, double, double, double)
MEMBER(z, z, z, CD, CD, CD)
MEMBER(zd, d, z, double, CD, CD)
MEMBER(dz, z, z, CD, double, CD)
#undef MEMBER

template <class M>
class IirMember : public KvoTest {};
using Members = ::testing::Types<M_s, M_c, M_cs, M_sc, M_d, M_z, M_zd, M_dz>;
TYPED_TEST_SUITE(IirMember, Members);

template <class T>
T randomValue(std::mt19937& rng, double scale) {
  std::uniform_real_distribution<double> u(-scale, scale);
  const double re = u(rng), im = u(rng);
  return make<T>(re, kComplex<T> ? im : 0.0);
}

// Stable taps with a0 and b0 away from 1: direct forms with sum |a_k| < |a0|, biquads with poles
// inside radius 0.9.
template <class C>
std::vector<C> directTaps(std::mt19937& rng, int order) {
  std::vector<C> t(2 * order + 2);
  const double a0 = 1.7;
  for (int k = 0; k <= order; ++k) t[k] = randomValue<C>(rng, 1.0);
  t[order + 1] = make<C>(a0, kComplex<C> ? 0.4 : 0.0);
  for (int k = 1; k <= order; ++k) t[order + 1 + k] = randomValue<C>(rng, 0.6 / order);
  return t;
}
template <class C>
std::vector<C> biquadTaps(std::mt19937& rng, int quads) {
  std::vector<C> t;
  std::uniform_real_distribution<double> r(0.2, 0.9), th(0.1, 3.0), g(0.5, 2.0);
  for (int j = 0; j < quads; ++j) {
    const double rad = r(rng), ang = th(rng), a0 = g(rng);
    t.push_back(make<C>(g(rng), 0.1));
    t.push_back(randomValue<C>(rng, 1.0));
    t.push_back(randomValue<C>(rng, 1.0));
    t.push_back(make<C>(a0, 0));
    t.push_back(make<C>(-2 * rad * std::cos(ang) * a0, 0));
    t.push_back(make<C>(rad * rad * a0, 0));
  }
  return t;
}

// Blocks (split unevenly, in place when the types allow) give exactly the outputs and the delay
// line of one-sample calls, at every level, for every lane layout of the cascades.
TYPED_TEST(IirMember, BlocksEqualSamples) {
  using C = typename TypeParam::C;
  using X = typename TypeParam::X;
  using D = typename TypeParam::D;
  const auto m = TypeParam::get();
  std::mt19937 rng(7);
  const int n = 301;
  std::vector<X> x(n);
  for (auto& v : x) v = randomValue<X>(rng, 1000.0);
  for (int bq = 0; bq <= 1; ++bq) {
    for (int count : bq ? std::vector<int>{1, 2, 3, 4, 5, 8, 9, 12, 16, 17, 33, 70}
                        : std::vector<int>{0, 1, 2, 3, 7, 16, 17}) {
      SCOPED_TRACE(::testing::Message() << (bq ? "biquads " : "order ") << count);
      const std::vector<C> taps = bq ? biquadTaps<C>(rng, count) : directTaps<C>(rng, count);
      const int order = bq ? 2 * count : count;
      std::vector<C> ta = taps;
      IirTapState ts{};
      (bq ? m.initBq : m.init)(0, ta.data(), count, &ts);
      std::vector<D> d1(order + 1), d2(order + 1);
      IirDlyState ds1{}, ds2{};
      m.initDlyl(&ts, d1.data(), &ds1);
      std::vector<D> want(n);
      for (int i = 0; i < n; ++i) want[i] = m.one(&ts, &ds1, x[i]);
      forEachIsa([&] {
        m.initDlyl(&ts, d2.data(), &ds2);
        std::vector<D> got(n);
        std::vector<X> in = x;
        int at = 0;
        for (int len : {0, 3, 1, 120, n - 124}) {
          if constexpr (std::is_same_v<X, D>) {
            m.block(&ts, &ds2, in.data() + at, in.data() + at, len);
            std::copy(in.begin() + at, in.begin() + at + len, got.begin() + at);
          } else {
            m.block(&ts, &ds2, in.data() + at, got.data() + at, len);
          }
          at += len;
        }
        for (int i = 0; i < n; ++i) ASSERT_TRUE(sameBits(got[i], want[i])) << "sample " << i;
        for (int k = 0; k < order; ++k) ASSERT_TRUE(sameBits(d1[k], d2[k])) << "delay " << k;
      });
      // The high-level record copies the taps and gives the same outputs.
      IirState st{};
      (bq ? m.hInitBq : m.hInit)(0, taps.data(), count, &st);
      std::vector<D> got(n);
      EXPECT_EQ(m.hBlock(&st, x.data(), got.data(), n - 1), 0);
      got[n - 1] = m.hOne(&st, x[n - 1]);
      for (int i = 0; i < n; ++i) ASSERT_TRUE(sameBits(got[i], want[i])) << "high-level " << i;
      kvoIirFree(&st);
      EXPECT_EQ(st.initMark, 0);
      kvotest::KvoTest::expectNoReport();
    }
  }
}

// The documented small cases: b = (1, 1), a = (2, 0) is stored as (0.5, 0.5, 0) with the impulse
// response 0.5, 0.5, 0; a biquad b = (2, 0, 0), a = (4, 0, 0) has G = 0.5; order 0 needs no delay.
TYPED_TEST(IirMember, NormalisedTaps) {
  using C = typename TypeParam::C;
  using X = typename TypeParam::X;
  using D = typename TypeParam::D;
  const auto m = TypeParam::get();
  std::vector<C> t{make<C>(1, 0), make<C>(1, 0), make<C>(2, 0), make<C>(0, 0)};
  IirTapState ts{};
  m.init(1, t.data(), 1, &ts);
  EXPECT_EQ(ts.order, 1);
  EXPECT_EQ(ts.iirType, 1);
  EXPECT_EQ(ts.isBq, 0);
  EXPECT_EQ(reOf(t[0]), 0.5);
  EXPECT_EQ(reOf(t[1]), 0.5);
  EXPECT_EQ(reOf(t[2]), 0.0);
  D dl[1];
  IirDlyState ds{};
  m.initDlyl(&ts, dl, &ds);
  const double impulse[4] = {0.5, 0.5, 0, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(reOf(m.one(&ts, &ds, make<X>(i == 0, 0))), impulse[i]);

  std::vector<C> q{make<C>(2, 0), make<C>(0, 0), make<C>(0, 0),
                   make<C>(4, 0), make<C>(0, 0), make<C>(0, 0)};
  m.initBq(0, q.data(), 1, &ts);
  EXPECT_EQ(ts.order, 2);
  EXPECT_EQ(ts.isBq, 1);
  EXPECT_EQ(reOf(q[0]), 0.5);
  D d2[2] = {make<D>(9, 9), make<D>(9, 9)};
  m.initDlyl(&ts, d2, &ds);
  EXPECT_EQ(reOf(d2[0]), 0.0);
  EXPECT_EQ(reOf(m.one(&ts, &ds, make<X>(6, 0))), 3.0);

  std::vector<C> o{make<C>(3, 0), make<C>(2, 0)};
  m.init(0, o.data(), 0, &ts);
  m.initDlyl(&ts, nullptr, &ds);
  EXPECT_EQ(reOf(m.one(&ts, &ds, make<X>(4, 0))), 6.0);
  kvotest::KvoTest::expectNoReport();
}

// ---- reports ----

struct Expected {
  int status;
  const char* func;
  const char* message;
  const char* module;
};
struct ReportCase {
  const char* name;
  std::function<void()> call;
  std::vector<Expected> want;
};

constexpr int kBad = KVO_StatusBadArgument;

class IirReports : public KvoTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(IirReports, ExactReports) {
  GetParam().call();
  const auto& got = reports();
  const auto& want = GetParam().want;
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].status, want[i].status) << i;
    EXPECT_EQ(got[i].func, want[i].func) << i;
    EXPECT_EQ(got[i].message, want[i].message) << i;
    EXPECT_EQ(got[i].module, want[i].module) << i;
  }
  clearReports();
}

// Records for the cases below: an initialised biquad and direct filter, an uninitialised record.
struct Fixture {
  float bq[6] = {1, 0, 0, 1, 0, 0};
  float df[4] = {1, 0, 1, 0};
  IirTapState tsBq{}, tsDf{}, bad{2, nullptr, 0, 7};
  float dBq[2] = {}, dDf[1] = {};
  IirDlyState dsBq{}, dsDf{}, noDly{nullptr};
  Fixture() {
    kvosIirlInitBq(0, bq, 1, &tsBq);
    kvosIirlInit(0, df, 1, &tsDf);
    kvosIirlInitDlyl(&tsBq, dBq, &dsBq);
    kvosIirlInitDlyl(&tsDf, dDf, &dsDf);
  }
};

std::vector<ReportCase> reportCases() {
  static Fixture f;
  static float taps[8] = {1, 2, 0, 0, 1, 1, 1, 1};
  static float zeroSection[12] = {1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0};
  static const float unit[6] = {1, 0, 0, 1, 0, 0};  // a pass-through section
  static short s16[4];
  static int sf;
  const char* m = "kvoiirl";
  const char* w = "kvoiirlw";
  const char* h = "kvoiirh";
  const char* hw = "kvoiirhw";
  return {
      {"InitAllChecks",
       [] { kvosIirlInit(2, nullptr, -1, nullptr); },
       {{kBad, "kvosIirlInit", "tapStPtr==0", m},
        {kBad, "kvosIirlInit", "taps==0", m},
        {kBad, "kvosIirlInit", "order < 0", m},
        {kBad, "kvosIirlInit", "iirType is out of range", m}}},
      {"InitZeroA0",
       [] {
         IirTapState t{};
         float z[4] = {1, 1, 0, 1};
         kvodIirlInit(0, nullptr, 0, &t);
         kvoSetErrStatus(0);
         kvosIirlInit(0, z, 1, &t);
       },
       {{kBad, "kvodIirlInit", "taps==0", m},
        {kBad, "kvosIirlInit", "taps[order+1] equals zero", m}}},
      {"InitBqZeroSection",
       [] {
         IirTapState t{};
         float q[12];
         std::copy(zeroSection, zeroSection + 12, q);
         kvosIirlInitBq(0, q, 2, &t);
       },
       {{kBad, "kvosIirlInitBq", "taps[?] equals zero", m}}},
      {"InitBqCounts",
       [] {
         IirTapState t{};
         kvocIirlInitBq(0, nullptr, 0, &t);
       },
       {{kBad, "kvocIirlInitBq", "taps==0", m}, {kBad, "kvocIirlInitBq", "numQuads <= 0", m}}},
      {"WordingOf16Bit",
       [] {
         IirTapState t{};
         kvowIirlInit(0, taps, -2, &t);
         kvowIirlInitBq(-1, taps, 0, &t);
       },
       {{kBad, "kvowIirlInit", "order<0", w},
        {kBad, "kvowIirlInitBq", "numQuads<=0", w},
        {kBad, "kvowIirlInitBq", "iirType is out of range", w}}},
      {"InitDlylChecks",
       [] {
         IirDlyState d{};
         kvosIirlInitDlyl(nullptr, nullptr, nullptr);
         kvoSetErrStatus(0);
         kvosIirlInitDlyl(&f.bad, nullptr, &d);
         kvoSetErrStatus(0);
         kvowIirlInitDlyl(&f.tsDf, nullptr, &d);
       },
       {{kBad, "kvosIirlInitDlyl", "tapStPtr==0", m},
        {kBad, "kvosIirlInitDlyl", "dlyStPtr==0", m},
        {kBad, "kvosIirlInitDlyl", "structure *tapStPtr wasn't initialized", m},
        {kBad, "kvosIirlInitDlyl", "dlyl==0", m},
        {kBad, "kvowIirlInitDlyl", "dlyl==0", w}}},
      {"BlockPointerRoundStops",
       [] { kvosbIirl(nullptr, nullptr, nullptr, nullptr, -1); },
       {{kBad, "kvosbIirl", "tapStPtr==0", m},
        {kBad, "kvosbIirl", "dlyStPtr==0", m},
        {kBad, "kvosbIirl", "inSamps==0", m},
        {kBad, "kvosbIirl", "outSamps==0", m}}},
      {"BlockRecordRound",
       [] {
         float x[1] = {1};
         kvosbIirl(&f.bad, &f.noDly, x, x, -1);
       },
       {{kBad, "kvosbIirl", "structure *tapStPtr wasn't initialized", m},
        {kBad, "kvosbIirl", "structure *dlyStPtr wasn't initialized", m},
        {kBad, "kvosbIirl", "numIters < 0", m}}},
      {"SampleRecordRound16",
       [] { EXPECT_EQ(kvowIirl(&f.tsDf, &f.noDly, 5, 0, &sf), 0); },
       {{kBad, "kvowIirl", "structure *dlyStPtr wasn't initialized", w}}},
      {"EarlierFailureStopsWork",
       [] {
         kvoSetErrStatus(KVO_StatusBadArgument);
         float x[2] = {1, 1};
         kvosbIirl(&f.tsBq, &f.dsBq, x, x, 2);
         EXPECT_EQ(x[0], 1.0f);
         EXPECT_EQ(kvosIirl(&f.tsBq, &f.dsBq, 3.0f), 0.0f);
       },
       {}},
      {"HighInitRounds",
       [] {
         kvosIirInit(0, nullptr, 1, nullptr);
         kvoSetErrStatus(0);
         IirState st{};
         st.initMark = 31725;
         kvodIirInitBq(5, reinterpret_cast<const double*>(taps), 0, &st);
       },
       {{kBad, "kvosIirInit", "statePtr==0", h},
        {kBad, "kvosIirInit", "tapVals==0", h},
        {kBad, "kvodIirInitBq", "numQuads <= 0", h},
        {kBad, "kvodIirInitBq", "iirType is out of range", h},
        {kBad, "kvodIirInitBq",
         "IIR filter state structure is already initialized! Use kvoIirFree to free it", h}}},
      {"HighInitZeroA0Backtrace",
       [] {
         IirState st{};
         const float z[4] = {1, 1, 0, 1};
         kvosIirInit(0, z, 1, &st);
         EXPECT_EQ(st.initMark, 0);
         EXPECT_EQ(z[0], 1.0f);
       },
       {{kBad, "kvosIirlInit", "taps[order+1] equals zero", m},
        {KVO_StatusBacktrace, "kvosIirInit", "<null>", h}}},
      {"HighUninitialised",
       [] {
         IirState st{};
         kvoIirFree(&st);
         kvoSetErrStatus(0);
         kvoIirFree(nullptr);
         kvoSetErrStatus(0);
         EXPECT_EQ(kvodIir(&st, 1.0), 0.0);
         kvoSetErrStatus(0);
         EXPECT_EQ(kvowIir(&st, 1, 0, nullptr), 0);
       },
       {{kBad, "kvoIirFree", "IIR filter wasn't initialized", h},
        {kBad, "kvoIirFree", "statePtr==0", h},
        {kBad, "kvodIir", "IIR filter wasn't initialized", h},
        {kBad, "kvowIir", "IIR filter wasn't initialized", hw}}},
      {"HighBlockBacktrace",
       [] {
         IirState st{};
         kvosIirInitBq(0, unit, 1, &st);
         float x[1] = {1};
         EXPECT_EQ(kvosbIir(&st, x, nullptr, 0), KVO_StatusBacktrace);
         kvoSetErrStatus(0);
         EXPECT_EQ(kvosbIir(&st, x, x, 0), 0);
         kvoIirFree(&st);
       },
       {{kBad, "kvosbIirl", "outSamps==0", m}, {KVO_StatusBacktrace, "kvosbIir", "<null>", h}}},
      {"High16BitBlock",
       [] {
         IirState st{};
         kvowIirInitBq(0, unit, 1, &st);
         kvowbIir(&st, nullptr, s16, 0, 0, nullptr);
         kvoSetErrStatus(0);
         kvowbIir(&st, s16, s16, 0, 0, nullptr);
         kvoIirFree(&st);
       },
       {{kBad, "kvowbIir", "inSamps==0", hw}, {kBad, "kvowbIir", "numIters <= 0", hw}}},
      {"HighInitTwiceKeepsFirst",
       [] {
         IirState st{};
         const double b[6] = {2, 0, 0, 4, 0, 0}, other[6] = {1, 0, 0, 1, 0, 0};
         kvodIirInitBq(0, b, 1, &st);
         kvodIirInitBq(0, other, 1, &st);
         kvoSetErrStatus(0);
         EXPECT_EQ(kvodIir(&st, 8.0), 4.0);
         kvoIirFree(&st);
       },
       {{kBad, "kvodIirInitBq",
         "IIR filter state structure is already initialized! Use kvoIirFree to free it", h}}},
  };
}

INSTANTIATE_TEST_SUITE_P(All, IirReports, ::testing::ValuesIn(reportCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- 16-bit ----

class IirShort : public KvoTest {};

// Fraction bits: the largest normalised magnitude 1.0 gives Q14; biquads may reach Q15 and keep
// the feedback words negated.
TEST_F(IirShort, FixedPointTaps) {
  IirTapState ts{};
  float t[6] = {0.5f, 0.25f, 2.0f, -0.5f};  // b = (0.5, 0.25), a = (2, -0.5), order 1
  kvowIirlInit(0, t, 1, &ts);
  const short* w = reinterpret_cast<const short*>(t);
  // Normalised: b = (0.25, 0.125), a = (1, -0.25); m = 1, k = 14.
  EXPECT_EQ(w[0], 14);
  EXPECT_EQ(w[1], 4096);
  EXPECT_EQ(w[2], 4096);  // -a1 = 0.25
  EXPECT_EQ(w[3], 2048);
  float q[6] = {1.0f, 0.5f, 0.25f, 2.0f, -0.25f, 0.125f};
  kvowIirlInitBq(0, q, 1, &ts);
  w = reinterpret_cast<const short*>(q);
  // G = 0.5, (-a1, -a2, b1, b2) = (0.125, -0.0625, 0.5, 0.25): m = 0.5, r = 65534 -> k = 15.
  const short want[6] = {15, 16384, 4096, -2048, 16384, 8192};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w[i], want[i]) << i;
  expectNoReport();
}

// Integer path rules on small cases: the direct form returns the low 16 bits of t but feeds back
// the saturated value; biquads halve the input, carry eighth-scale states and double at the end.
TEST_F(IirShort, IntegerPath) {
  IirTapState ts{};
  float t[4] = {1.0f, 0.0f, 1.0f, -0.5f};  // y = x + 0.5 y[-1], Q14
  kvowIirlInit(0, t, 1, &ts);
  int d[2];  // room for the biquad below too
  IirDlyState ds{};
  kvowIirlInitDlyl(&ts, d, &ds);
  int sf = 9;
  EXPECT_EQ(kvowIirl(&ts, &ds, 30000, 0, &sf), 30000);
  EXPECT_EQ(sf, 0);
  // t = 30000 + 15000 = 45000: returned wrapped (45000 - 65536), fed back saturated (32767).
  EXPECT_EQ(kvowIirl(&ts, &ds, 30000, 1, nullptr), short(45000 - 65536));
  EXPECT_EQ(d[0], 8192 * 32767);
  sf = 1;  // fixed scale halves the input first
  EXPECT_EQ(kvowIirl(&ts, &ds, 2000, KVO_FIXED_SCALE, &sf), short(1000 + 16383));

  float q[6] = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};  // identity: G = 1, Q15
  kvowIirlInitBq(0, q, 1, &ts);
  kvowIirlInitDlyl(&ts, d, &ds);
  short x[4] = {1001, -1001, 32767, -32768}, y[4];
  kvowbIirl(&ts, &ds, x, y, 4, 0, nullptr);
  // (x >> 1) * 2^15, shifted: 2 * A >> 15 = 2 * (x >> 1).
  const short want[4] = {1000, -1002, 32766, -32768};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(y[i], want[i]) << i;
  expectNoReport();
}

// KVO_AUTO_SCALE runs the float filter on the dequantised taps: the output, rescaled by the
// reported factor, follows the float filter, and the delay line holds rounded integers.
TEST_F(IirShort, AutoScaleFollowsFloatFilter) {
  const float design[6] = {0.2f, 0.4f, 0.2f, 1.0f, -0.6f, 0.2f};
  float q16[6], qf[6];
  std::copy(design, design + 6, q16);
  IirTapState t16{}, tf{};
  kvowIirlInitBq(0, q16, 1, &t16);
  const short* w = reinterpret_cast<const short*>(q16);
  const float u = std::ldexp(1.0f, -w[0]);
  qf[0] = w[1] * u, qf[1] = -w[2] * u, qf[2] = -w[3] * u, qf[3] = w[4] * u, qf[4] = w[5] * u;
  // The float record takes normalised taps as they are: build it from an equivalent design.
  float fdesign[6] = {qf[0], qf[0] * qf[3], qf[0] * qf[4], 1.0f, qf[1], qf[2]};
  kvosIirlInitBq(0, fdesign, 1, &tf);
  int d16[2];
  float df[2];
  IirDlyState ds16{}, dsf{};
  kvowIirlInitDlyl(&t16, d16, &ds16);
  kvosIirlInitDlyl(&tf, df, &dsf);
  std::vector<short> x(500), y(500);
  std::vector<float> xf(500), yf(500);
  std::mt19937 rng(3);
  for (int i = 0; i < 500; ++i) xf[i] = x[i] = short(rng() % 60001) - 30000;
  int sf = -7;
  kvowbIirl(&t16, &ds16, x.data(), y.data(), 500, KVO_AUTO_SCALE, &sf);
  kvosbIirl(&tf, &dsf, xf.data(), yf.data(), 500);
  ASSERT_GE(sf, 0);
  const double step = std::ldexp(1.0, sf);
  for (int i = 0; i < 500; ++i)
    EXPECT_NEAR(y[i] * step, yf[i], step + 1e-3 * std::fabs(yf[i])) << i;
  EXPECT_NEAR(d16[0], df[0], 1.0 + 1e-5 * std::fabs(df[0]));
  EXPECT_EQ(d16[0], int(std::nearbyint(d16[0])));
  expectNoReport();
}

// The 16-bit high-level record leaves the caller's taps alone and filters as the low-level form
// on the same taps, one sample or a block, on both paths.
TEST_F(IirShort, HighLevelMatchesLowLevel) {
  const float design[2][6] = {{0.3f, 0.2f, -0.1f, 1.5f, -0.4f, 0.2f},
                              {0.2f, 0.4f, 0.2f, 1.0f, -0.6f, 0.2f}};
  for (int bq = 0; bq <= 1; ++bq) {
    for (int mode : {0, 3, int(KVO_AUTO_SCALE)}) {
      SCOPED_TRACE(::testing::Message() << "bq " << bq << " mode " << mode);
      float taps[6];
      std::copy(design[bq], design[bq] + 6, taps);
      IirTapState ts{};
      IirDlyState ds{};
      int d[2];
      if (bq) {
        kvowIirlInitBq(0, taps, 1, &ts);
      } else {
        kvowIirlInit(0, taps, 2, &ts);
      }
      kvowIirlInitDlyl(&ts, d, &ds);
      IirState st{};
      (bq ? kvowIirInitBq : kvowIirInit)(0, design[bq], bq ? 1 : 2, &st);
      EXPECT_EQ(design[bq][0], bq ? 0.2f : 0.3f);
      short x[64], want[64], got[64];
      for (int i = 0; i < 64; ++i) x[i] = short((i * 7919) % 20001 - 10000);
      int sfLow = 1, sfHigh = 1;
      kvowbIirl(&ts, &ds, x, want, 63, mode, &sfLow);
      kvowbIir(&st, x, got, 63, mode, &sfHigh);
      EXPECT_EQ(sfLow, sfHigh);
      want[63] = kvowIirl(&ts, &ds, x[63], mode, &sfLow);
      got[63] = kvowIir(&st, x[63], mode, &sfHigh);
      for (int i = 0; i < 64; ++i) EXPECT_EQ(got[i], want[i]) << i;
      kvoIirFree(&st);
      expectNoReport();
    }
  }
}

}  // namespace
