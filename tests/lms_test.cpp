// LMS adaptive filters, low and high level: the update rule against a model, system
// identification, leakage, the 16-bit Q13 rule, record toggles and argument reports.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <cstdint>
#include <functional>
#include <random>
#include <type_traits>
#include <vector>

#include "support/kvo_test.h"

using kvotest::forEachIsa;
using kvotest::isSentinel;
using kvotest::KvoTest;
using kvotest::sameBits;
using kvotest::sentinel;

namespace {

using CF = ComplexFloat;
using CD = ComplexDouble;
using LC = std::complex<long double>;

template <class T>
constexpr bool kComplex = std::is_same_v<T, CF> || std::is_same_v<T, CD>;
template <class T>
using RealOf = std::conditional_t<std::is_same_v<T, CF>, float,
                                  std::conditional_t<std::is_same_v<T, CD>, double, T>>;

// Element by element, bit for bit.
template <class T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         std::memcmp(static_cast<const void*>(a.data()), static_cast<const void*>(b.data()),
                     a.size() * sizeof(T)) == 0;
}
using kvotest::sameBits;

template <class T>
LC wide(const T& v) {
  if constexpr (kComplex<T>) {
    return {v.re, v.im};
  } else {
    return {v, 0};
  }
}
template <class T>
T narrow(LC v) {
  if constexpr (kComplex<T>) {
    return {RealOf<T>(v.real()), RealOf<T>(v.imag())};
  } else {
    return T(v.real());
  }
}
template <class T>
std::vector<T> random(std::size_t n, unsigned seed, double scale = 1) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist(0, scale);
  std::vector<T> v(n);
  for (auto& x : v) x = narrow<T>({dist(gen), kComplex<T> ? dist(gen) : 0});
  return v;
}

// One row per float member: sample type, taps type and the entries of both levels.
#define LMS_MEMBER(Name, S, T, ts, tt, st, nonzero)         \
  struct Name {                                             \
    using TS = S;                                           \
    using TT = T;                                           \
    using O = T;                                            \
    static constexpr bool kNonzeroStep = nonzero;           \
    static constexpr auto init = kvo##tt##LmslInit;         \
    static constexpr auto initMr = kvo##tt##LmslInitMr;     \
    static constexpr auto initDlyl = kvo##ts##LmslInitDlyl; \
    static constexpr auto getTaps = kvo##tt##LmslGetTaps;   \
    static constexpr auto setTaps = kvo##tt##LmslSetTaps;   \
    static constexpr auto getDlyl = kvo##ts##LmslGetDlyl;   \
    static constexpr auto setDlyl = kvo##ts##LmslSetDlyl;   \
    static constexpr auto lmsl = kvo##st##Lmsl;             \
    static constexpr auto blmsl = kvo##st##bLmsl;           \
    static constexpr auto hInit = kvo##st##LmsInit;         \
    static constexpr auto hInitMr = kvo##st##LmsInitMr;     \
    static constexpr auto lms = kvo##st##Lms;               \
    static constexpr auto lmsDes = kvo##st##LmsDes;         \
    static constexpr auto blmsDes = kvo##st##bLmsDes;       \
    static constexpr auto hGetTaps = kvo##tt##LmsGetTaps;   \
    static constexpr auto hSetTaps = kvo##tt##LmsSetTaps;   \
    static constexpr auto hGetDlyl = kvo##ts##LmsGetDlyl;   \
    static constexpr const char* kName = #st;               \
  };
LMS_MEMBER(MemberS, float, float, s, s, s, true)
LMS_MEMBER(MemberD, double, double, d, d, d, false)
LMS_MEMBER(MemberC, CF, CF, c, c, c, false)
LMS_MEMBER(MemberZ, CD, CD, z, z, z, false)
LMS_MEMBER(MemberSC, float, CF, s, c, sc, false)
LMS_MEMBER(MemberDZ, double, CD, d, z, dz, false)
#undef LMS_MEMBER

// The stated update, element by element in double precision, rounded once to the taps' type.
template <class TS, class TT>
struct Model {
  using R = RealOf<TT>;
  std::vector<TT> h;
  std::vector<TS> x;  // newest first
  int taps, errDly, down, phase;
  float step, leak;

  void adapt(TT& tap, const TS& s, const TT& err) const {
    const double keep = 1.0 - double(leak);
    if constexpr (kComplex<TT> && kComplex<TS>) {
      const double gre = double(step) * err.re, gim = double(step) * err.im;
      const double re = gre * s.re + gim * s.im, im = -gre * s.im + gim * s.re;
      tap = {R(keep * tap.re + re), R(keep * tap.im + im)};
    } else if constexpr (kComplex<TT>) {
      const double gre = double(step) * err.re, gim = double(step) * err.im;
      tap = {R(keep * tap.re + gre * s), R(keep * tap.im + gim * s)};
    } else {
      tap = R(keep * tap + double(step) * err * s);
    }
  }
  // One step taking `n` samples (oldest first): n = 1 for the single step, downFactor for the
  // block step; the block step moves taps + errDly entries.
  TT run(const TS* in, int n, const TT& err, bool adapting) {
    const int b = n == 1 ? 0 : down - 1 - phase;
    if (adapting) {
      for (int i = 0; i < taps; ++i) adapt(h[i], x[b + errDly + i], err);
    }
    const int moved = n == 1 ? int(x.size()) - 1 : taps + errDly;
    for (int k = moved - 1; k >= 0; --k) x[k + n] = x[k];
    for (int k = 0; k < n; ++k) x[k] = in[n - 1 - k];
    LC y = 0;
    for (int i = 0; i < taps; ++i) y += wide(h[i]) * wide(x[b + i]);
    return narrow<TT>(y);
  }
  double bound() const {
    long double s = 0;
    for (int i = 0; i < taps; ++i) s += std::abs(wide(h[i])) * std::abs(wide(x[i]) + 1.0L);
    return double(s) * (sizeof(R) == 4 ? 1e-6 : 1e-14) + 1e-30;
  }
};

template <class T>
void expectNear(const T& got, const T& want, double tol) {
  EXPECT_LE(std::abs(wide(got) - wide(want)), tol) << "got " << wide(got) << " want " << wide(want);
}

template <class M>
class LmsMember : public KvoTest {};
using Members = ::testing::Types<MemberS, MemberD, MemberC, MemberZ, MemberSC, MemberDZ>;
TYPED_TEST_SUITE(LmsMember, Members);

// Single and block steps against the model: taps bit for bit, outputs within rounding, the line
// after the run; at every instruction-set level, across chunk boundaries of the kernels.
TYPED_TEST(LmsMember, StepsFollowTheModel) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  struct Case {
    int taps, errDly, down, phase;
    float step, leak;
  };
  const Case cases[] = {{1, 0, 1, 0, 0.01f, 0},       {5, 2, 1, 0, 0.02f, 0.001f},
                        {37, 0, 1, 0, 0.003f, 0.01f}, {19, 3, 3, 1, 0.01f, 0.002f},
                        {8, 1, 2, 1, 0.02f, 0},       {33, 0, 4, 0, 0.004f, 0.0f}};
  forEachIsa([&] {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.taps * 100 + c.down * 10 + c.phase);
      const bool mr = c.down > 1;
      std::vector<TT> taps = random<TT>(c.taps, 1);
      LmsTapState ts;
      LmsDlyState ds;
      ASSERT_EQ(
          mr ? M::initMr(7, taps.data(), c.taps, c.step, c.leak, c.errDly, c.down, c.phase, &ts)
             : M::init(7, taps.data(), c.taps, c.step, c.leak, c.errDly, &ts),
          KVO_StatusOk);
      const int len = c.taps + c.errDly + (mr ? c.down : 0);
      std::vector<TS> line(len);
      ASSERT_EQ(M::initDlyl(&ts, line.data(), 1, &ds), KVO_StatusOk);
      ASSERT_EQ(ds.dlylLen, len);
      const std::vector<TS> history = random<TS>(len - 1, 2);
      ASSERT_EQ(M::setDlyl(&ts, history.data(), &ds), KVO_StatusOk);
      Model<TS, TT> model{taps, line, c.taps, c.errDly, c.down, c.phase, c.step, c.leak};
      const std::vector<TS> in = random<TS>(40 * c.down, 3);
      const std::vector<TT> err = random<TT>(40, 4);
      for (int j = 0; j < 40; ++j) {
        const bool block = mr && j % 3 != 0;
        const TT want = model.run(&in[j * c.down], block ? c.down : 1, err[j], true);
        const TT got = block ? M::blmsl(&ts, &ds, &in[j * c.down], err[j])
                             : M::lmsl(&ts, &ds, in[j * c.down], err[j]);
        expectNear(got, want, model.bound());
        ASSERT_TRUE(sameBits(taps, model.h)) << "step " << j;
        ASSERT_TRUE(sameBits(line, model.x)) << "step " << j;
      }
      this->expectNoReport();
    }
  });
}

// Which steps adapt: a zero step never; a negative one only in kvosLmsl; the desired-signal
// form always, so a zero step with leak 1/2 halves the taps.
TYPED_TEST(LmsMember, StepSignAndLeak) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  for (float step : {0.0f, -0.05f, 0.05f}) {
    std::vector<TT> taps = random<TT>(4, 5);
    const std::vector<TT> before = taps;
    LmsTapState ts;
    LmsDlyState ds;
    std::vector<TS> line = random<TS>(4, 6);
    M::init(0, taps.data(), 4, step, 0, 0, &ts);
    M::initDlyl(&ts, line.data(), 1, &ds);
    M::lmsl(&ts, &ds, line[0], narrow<TT>({1, 1}));
    const bool adapts = step > 0 || (step < 0 && M::kNonzeroStep);
    EXPECT_EQ(!sameBits(taps, before), adapts) << step;
  }
  LmsState st;
  const std::vector<TT> taps = random<TT>(6, 7);
  ASSERT_EQ(M::hInit(0, taps.data(), 6, nullptr, 0, 0.5f, 0, &st), KVO_StatusOk);
  for (int k = 1; k <= 3; ++k) {
    M::lmsDes(&st, narrow<TS>(1), narrow<TT>(2));
    const TT* h = static_cast<const TT*>(st.tapSt.taps);
    for (int i = 0; i < 6; ++i) {
      EXPECT_TRUE(sameBits(h[i], narrow<TT>(wide(taps[i]) / (long double)(1 << k))));
    }
  }
  kvoLmsFree(&st);
  this->expectNoReport();
}

// An unknown 32-tap filter is found from white noise by the desired-signal block form.
TYPED_TEST(LmsMember, IdentifiesAnUnknownFilter) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  constexpr int kTaps = 32, kLen = 6000;
  const std::vector<TT> unknown = random<TT>(kTaps, 8, 0.3);
  const std::vector<TS> in = random<TS>(kLen, 9);
  std::vector<TT> des(kLen), out(kLen);
  for (int n = 0; n < kLen; ++n) {
    LC y = 0;
    for (int k = 0; k < kTaps && k <= n; ++k) y += wide(unknown[k]) * wide(in[n - k]);
    des[n] = narrow<TT>(y);
  }
  LmsState st;
  const float step = kComplex<TS> ? 0.01f : 0.02f;
  ASSERT_EQ(M::hInit(0, nullptr, kTaps, nullptr, step, 0, 0, &st), KVO_StatusOk);
  // The error of each output adapts the next step, so the filter sees its input one step late
  // relative to the error: the taps it learns are those of the unknown filter.
  ASSERT_EQ(M::blmsDes(&st, in.data(), des.data(), out.data(), kLen), KVO_StatusOk);
  std::vector<TT> got(kTaps);
  M::hGetTaps(&st, got.data());
  double worst = 0;
  for (int k = 0; k < kTaps; ++k)
    worst = std::max(worst, double(std::abs(wide(got[k]) - wide(unknown[k]))));
  EXPECT_LT(worst, 1e-4);
  kvoLmsFree(&st);
  this->expectNoReport();
}

// The desired-signal forms against the model: adapt with the stored error, filter, store d - y.
TYPED_TEST(LmsMember, DesiredSignalFormsFollowTheModel) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  for (int down : {1, 2}) {
    const std::vector<TT> taps = random<TT>(9, 10);
    const std::vector<TS> hist = random<TS>(9 + 2 + down, 11);
    LmsState st;
    ASSERT_EQ(M::hInitMr(0, taps.data(), 9, hist.data(), 0.01f, 0.001f, 2, down, down - 1, &st),
              KVO_StatusOk);
    EXPECT_EQ(st.dlySt.dlylLen, 9 + 2 + down);
    EXPECT_EQ(st.tapSt.isMultiRate, down > 1);
    Model<TS, TT> model{taps,  std::vector<TS>(st.dlySt.dlylLen), 9, 2, down, down - 1, 0.01f,
                        0.001f};
    for (int k = 0; k + 1 < st.dlySt.dlylLen; ++k) model.x[k] = hist[st.dlySt.dlylLen - 2 - k];
    const std::vector<TS> in = random<TS>(3 * down + 1, 12);
    const std::vector<TT> des = random<TT>(4, 13);
    std::vector<TT> out(3);
    TT e{};
    // Three block steps then one single step with the error the block left behind.
    ASSERT_EQ(M::blmsDes(&st, in.data(), des.data(), out.data(), 3), KVO_StatusOk);
    for (int j = 0; j < 3; ++j) {
      const TT y = model.run(&in[j * down], down, e, true);
      expectNear(out[j], y, model.bound());
      e = narrow<TT>(wide(des[j]) - wide(out[j]));
    }
    EXPECT_TRUE(sameBits(static_cast<const TT*>(static_cast<const void*>(&st.errVal))[0], e));
    const TT y = M::lmsDes(&st, in[3 * down], des[3]);
    expectNear(y, model.run(&in[3 * down], 1, e, true), model.bound());
    EXPECT_TRUE(sameBits(std::vector<TT>(static_cast<const TT*>(st.tapSt.taps),
                                         static_cast<const TT*>(st.tapSt.taps) + 9),
                         model.h));
    kvoLmsFree(&st);
  }
  this->expectNoReport();
}

// Taps and line toggles: Get clears the flag, Set sets it; in-place Get/Set of the line refused
// out of turn without a report; the filters refuse a state whose arrays were read.
TYPED_TEST(LmsMember, GetSetRoundTripsAndToggles) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  std::vector<TT> taps = random<TT>(5, 14);
  const std::vector<TT> orig = taps;
  LmsTapState ts;
  LmsDlyState ds;
  std::vector<TS> line(7);
  M::init(0, taps.data(), 5, 0.1f, 0, 2, &ts);
  M::initDlyl(&ts, line.data(), 1, &ds);
  std::vector<TT> got(5);
  M::getTaps(&ts, got.data());
  EXPECT_TRUE(sameBits(got, orig));
  EXPECT_EQ(ts.isFilterMode, 0);
  M::setTaps(nullptr, &ts);
  EXPECT_EQ(ts.isFilterMode, 1);
  EXPECT_TRUE(sameBits(taps, std::vector<TT>(5)));

  const std::vector<TS> user = random<TS>(6, 15);
  ASSERT_EQ(M::setDlyl(&ts, user.data(), &ds), KVO_StatusOk);
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(sameBits(line[k], user[5 - k]));
  std::vector<TS> back(6);
  M::getDlyl(&ts, &ds, back.data());
  EXPECT_TRUE(sameBits(back, user));
  // In place: the line turns into the caller's order and back, once each.
  ds.isFilterMode = 1;
  M::getDlyl(&ts, &ds, line.data());
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(sameBits(line[k], user[k]));
  kvoSetErrStatus(0);
  M::getDlyl(&ts, &ds, line.data());
  EXPECT_EQ(kvoGetErrStatus(), KVO_StatusBadState);
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(sameBits(line[k], user[k]));
  EXPECT_EQ(M::setDlyl(&ts, line.data(), &ds), KVO_StatusOk);
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(sameBits(line[k], user[5 - k]));
  kvoSetErrStatus(0);
  EXPECT_EQ(M::setDlyl(&ts, line.data(), &ds), KVO_StatusBadState);
  EXPECT_EQ(kvoGetErrStatus(), KVO_StatusBadState);
  M::setDlyl(&ts, nullptr, &ds);
  EXPECT_TRUE(sameBits(line, std::vector<TS>(7)));
  this->expectNoReport();

  LmsState st;
  ASSERT_EQ(M::hInit(0, nullptr, 4, nullptr, 0.1f, 0, 0, &st), KVO_StatusOk);
  EXPECT_TRUE(sameBits(M::lms(&st, narrow<TS>(3), TT{}), TT{}));
  M::hGetTaps(&st, got.data());
  M::lms(&st, narrow<TS>(1), TT{});
  this->expectReport(KVO_StatusBadArgument, (std::string("kvo") + M::kName + "Lms").c_str(),
                     "Taps state structure is not initialized", "kvolmsh");
  M::hSetTaps(got.data(), &st);
  M::hGetDlyl(&st, line.data());
  M::lmsDes(&st, narrow<TS>(1), TT{});
  this->expectReport(KVO_StatusBadArgument, (std::string("kvo") + M::kName + "LmsDes").c_str(),
                     "Delay line state structure is not initialized", "kvolmsh");
  kvoLmsFree(&st);
  kvoLmsFree(&st);
  EXPECT_EQ(st.tapSt.taps, nullptr);
  this->expectNoReport();
}

// Records whose line does not fit the step are refused, the line untouched.
TYPED_TEST(LmsMember, RefusesLinesThatDoNotFit) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  std::vector<TT> taps(6);
  LmsTapState ts;
  LmsDlyState ds;
  auto line = sentinel<TS>(9);
  const std::string single = std::string("kvo") + M::kName + "Lmsl";
  const std::string block = std::string("kvo") + M::kName + "bLmsl";
  // A non-adaptive line for taps with an error delay.
  M::init(0, taps.data(), 6, 0.1f, 0, 2, &ts);
  M::initDlyl(&ts, line.data(), 0, &ds);
  M::lmsl(&ts, &ds, TS{}, TT{});
  this->expectReport(KVO_StatusBadArgument, single.c_str(), "Invalid buffer length", "kvolmsl");
  // A block step of 3 on a line made for a single-rate record.
  M::initMr(0, taps.data(), 6, 0.1f, 0, 0, 3, 0, &ts);
  ts.isMultiRate = 0;
  M::initDlyl(&ts, line.data(), 1, &ds);
  const std::vector<TS> in(3);
  M::blmsl(&ts, &ds, in.data(), TT{});
  this->expectReport(KVO_StatusBadArgument, block.c_str(), "Invalid buffer length", "kvolmsl");
  EXPECT_TRUE(isSentinel(line));
}

// ---- filtering without adaptation ----

#define LMS_NA_MEMBER(Name, S, T, O_, ts, tt, st)              \
  struct Name {                                                \
    using TS = S;                                              \
    using TT = T;                                              \
    using O = O_;                                              \
    static constexpr auto initMr = kvo##tt##LmslInitMr;        \
    static constexpr auto initDlyl = kvo##ts##LmslInitDlyl;    \
    static constexpr auto setDlyl = kvo##ts##LmslSetDlyl;      \
    static constexpr auto na = kvo##st##LmslNa;                \
    static constexpr auto bna = kvo##st##bLmslNa;              \
    static constexpr auto firInitMr = kvo##tt##FirlInitMr;     \
    static constexpr auto firInitDlyl = kvo##ts##FirlInitDlyl; \
    static constexpr auto firSetDlyl = kvo##ts##FirlSetDlyl;   \
    static constexpr auto bfirl = kvo##st##bFirl;              \
  };
LMS_NA_MEMBER(NaS, float, float, float, s, s, s)
LMS_NA_MEMBER(NaD, double, double, double, d, d, d)
LMS_NA_MEMBER(NaC, CF, CF, CF, c, c, c)
LMS_NA_MEMBER(NaZ, CD, CD, CD, z, z, z)
LMS_NA_MEMBER(NaSC, float, CF, CF, s, c, sc)
LMS_NA_MEMBER(NaCS, CF, float, CF, c, s, cs)
LMS_NA_MEMBER(NaDZ, double, CD, CD, d, z, dz)
LMS_NA_MEMBER(NaZD, CD, double, CD, z, d, zd)
#undef LMS_NA_MEMBER

template <class M>
class LmsNa : public KvoTest {};
using NaMembers = ::testing::Types<NaS, NaD, NaC, NaZ, NaSC, NaCS, NaDZ, NaZD>;
TYPED_TEST_SUITE(LmsNa, NaMembers);

// A block equals one-sample steps over the same inputs (the decimating block keeps every
// downFactor-th output from downPhase on), outputs and line bit for bit; and both are the model's
// filter without adaptation.
TYPED_TEST(LmsNa, BlockEqualsSamplesAndTheModel) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  using O = typename M::O;
  for (int down : {1, 3}) {
    for (int taps : {1, 6, 21}) {
      SCOPED_TRACE(taps * 10 + down);
      std::vector<TT> h = random<TT>(taps, 20);
      LmsTapState ts;
      LmsDlyState a, b;
      ASSERT_EQ(M::initMr(0, h.data(), taps, 0.1f, 0, 1, down, down - 1, &ts), KVO_StatusOk);
      const int len = taps + 1 + (down > 1 ? down : 0);
      std::vector<TS> lineA(len), lineB(len);
      M::initDlyl(&ts, lineA.data(), 1, &a);
      M::initDlyl(&ts, lineB.data(), 1, &b);
      const std::vector<TS> hist = random<TS>(len - 1, 21);
      M::setDlyl(&ts, hist.data(), &a);
      M::setDlyl(&ts, hist.data(), &b);
      Model<TS, TT> model{h, lineA, taps, 1, 1, 0, 0, 0};
      constexpr int kIters = 40;
      const std::vector<TS> in = random<TS>(kIters * down, 22);
      std::vector<O> blockOut(kIters);
      ASSERT_EQ(M::bna(&ts, &a, in.data(), blockOut.data(), kIters), KVO_StatusOk);
      for (int n = 0; n < kIters * down; ++n) {
        const O y = M::na(&ts, &b, in[n]);
        LC want = 0;
        for (int k = len - 1; k > 0; --k) model.x[k] = model.x[k - 1];
        model.x[0] = in[n];
        for (int i = 0; i < taps; ++i) want += wide(h[i]) * wide(model.x[i]);
        expectNear(y, narrow<O>(want), model.bound());
        if (n % down == down - 1) {
          EXPECT_TRUE(sameBits(blockOut[n / down], y)) << n;
        }
      }
      EXPECT_TRUE(sameBits(lineA, lineB));
      EXPECT_TRUE(sameBits(lineB, model.x));
    }
  }
  this->expectNoReport();
}

// The non-adapting block is the FIR filter's block on a FIR record over the same taps and
// history: outputs and line bit for bit, single-rate and decimating.
TYPED_TEST(LmsNa, EqualsTheFirFilter) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  using O = typename M::O;
  for (int down : {1, 2}) {
    constexpr int kTaps = 10, kIters = 30;
    std::vector<TT> h = random<TT>(kTaps, 25), firTaps = h;
    LmsTapState ts;
    LmsDlyState ds;
    FirTapState ft;
    FirDlyState fd;
    M::initMr(0, h.data(), kTaps, 0.1f, 0, 0, down, down - 1, &ts);
    ASSERT_EQ(M::firInitMr(firTaps.data(), kTaps, 1, 0, down, down - 1, &ft), KVO_StatusOk);
    // A non-adaptive single-rate LMS line is as long as the FIR line; the decimating one has
    // downFactor more entries, which the FIR filter carries along as older history.
    const int len = kTaps + (down > 1 ? down : 0);
    std::vector<TS> line(len), firLine(kTaps);
    M::initDlyl(&ts, line.data(), 0, &ds);
    ASSERT_EQ(ds.dlylLen, len);
    M::firInitDlyl(&ft, firLine.data(), &fd);
    const std::vector<TS> hist = random<TS>(len, 26);
    M::setDlyl(&ts, hist.data() + (len - (ds.dlylLen - 1)), &ds);
    const int firCount = down > 1 ? kTaps : kTaps - 1;
    M::firSetDlyl(&ft, hist.data() + (len - firCount), &fd);
    const std::vector<TS> in = random<TS>(kIters * down, 27);
    std::vector<O> got(kIters), want(kIters);
    ASSERT_EQ(M::bna(&ts, &ds, in.data(), got.data(), kIters), KVO_StatusOk);
    ASSERT_EQ(M::bfirl(&ft, &fd, in.data(), want.data(), kIters), KVO_StatusOk);
    EXPECT_TRUE(sameBits(got, want)) << down;
    EXPECT_TRUE(sameBits(std::vector<TS>(line.begin(), line.begin() + kTaps), firLine)) << down;
  }
  this->expectNoReport();
}

// A zero step makes the adaptive step a FIR step: same line, same output within rounding.
TYPED_TEST(LmsMember, ZeroStepIsTheFirStep) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  std::vector<TT> h = random<TT>(13, 23);
  LmsTapState ts;
  LmsDlyState a, b;
  M::init(0, h.data(), 13, 0, 0, 0, &ts);
  std::vector<TS> lineA(13), lineB(13);
  M::initDlyl(&ts, lineA.data(), 1, &a);
  M::initDlyl(&ts, lineB.data(), 1, &b);
  M::setDlyl(&ts, nullptr, &a);
  M::setDlyl(&ts, nullptr, &b);
  const std::vector<TS> in = random<TS>(30, 24);
  Model<TS, TT> model{h, lineA, 13, 0, 1, 0, 0, 0};
  for (const TS& x : in) {
    const TT y = M::lmsl(&ts, &a, x, narrow<TT>({1, 1}));
    const TT want = model.run(&x, 1, TT{}, false);
    expectNear(y, want, model.bound());
    LC viaFir = 0;
    if constexpr (std::is_same_v<TS, float>) {
      if constexpr (std::is_same_v<TT, float>) viaFir = wide(kvosLmslNa(&ts, &b, x));
      if constexpr (std::is_same_v<TT, CF>) viaFir = wide(kvoscLmslNa(&ts, &b, x));
    } else if constexpr (std::is_same_v<TS, double>) {
      if constexpr (std::is_same_v<TT, double>) viaFir = wide(kvodLmslNa(&ts, &b, x));
      if constexpr (std::is_same_v<TT, CD>) viaFir = wide(kvodzLmslNa(&ts, &b, x));
    } else if constexpr (std::is_same_v<TS, CF>) {
      viaFir = wide(kvocLmslNa(&ts, &b, x));
    } else {
      viaFir = wide(kvozLmslNa(&ts, &b, x));
    }
    EXPECT_LE(std::abs(viaFir - wide(y)), model.bound());
  }
  EXPECT_TRUE(sameBits(h, model.h));
  EXPECT_TRUE(sameBits(lineA, lineB));
  this->expectNoReport();
}

// ---- argument reports, in order ----

struct ReportCase {
  const char* func;
  const char* message;
  std::function<void()> call;
};

class LmsReports : public KvoTest {};

TEST_F(LmsReports, EveryCheckReportsInOrder) {
  float taps[4] = {1, 2, 3, 4};
  float line[8] = {};
  const float in[4] = {};
  float out[4];
  LmsTapState ts;
  LmsDlyState ds;
  kvosLmslInit(0, taps, 4, 0.1f, 0, 1, &ts);
  kvosLmslInitDlyl(&ts, line, 1, &ds);
  LmsState st;
  kvosLmsInit(0, nullptr, 4, nullptr, 0.1f, 0, 0, &st);
  LmsTapState fresh;
  const ReportCase cases[] = {
      {"kvosLmslInit", "Null buffer pointer",
       [&] { kvosLmslInit(0, nullptr, 4, 0, 0, 0, &fresh); }},
      {"kvosLmslInit", "Null buffer pointer", [&] { kvosLmslInit(0, taps, 4, 0, 0, 0, nullptr); }},
      {"kvodLmslInit", "Invalid buffer length",
       [&] { kvodLmslInit(0, reinterpret_cast<double*>(taps), 0, 0, 0, 0, &fresh); }},
      {"kvocLmslInit", "Invalid error delay value",
       [&] { kvocLmslInit(0, reinterpret_cast<CF*>(taps), 2, 0, 0, -1, &fresh); }},
      {"kvozLmslInitMr", "Invalid error delay value",
       [&] { kvozLmslInitMr(0, reinterpret_cast<CD*>(taps), 1, 0, 0, -1, -1, 0, &fresh); }},
      {"kvosLmslInitMr", "Invalid factor value",
       [&] { kvosLmslInitMr(0, taps, 4, 0, 0, 0, 2, -1, &fresh); }},
      {"kvosLmslInitMr", "Invalid factor value",
       [&] { kvosLmslInitMr(0, taps, 4, 0, 0, 0, 2, 2, &fresh); }},
      {"kvowLmslInit", "Null buffer pointer", [&] { kvowLmslInit(0, taps, 4, 0, 0, nullptr); }},
      {"kvowLmslInit", "Invalid buffer length", [&] { kvowLmslInit(0, taps, -3, 0, 0, &fresh); }},
      {"kvosLmslInitDlyl", "Null buffer pointer", [&] { kvosLmslInitDlyl(&ts, line, 1, nullptr); }},
      {"kvowLmslInitDlyl", "Null buffer pointer",
       [&] { kvowLmslInitDlyl(nullptr, reinterpret_cast<short*>(line), &ds); }},
      {"kvosLmslGetStep", "Null buffer pointer", [&] { kvosLmslGetStep(nullptr); }},
      {"kvosLmslSetLeak", "Null buffer pointer", [&] { kvosLmslSetLeak(0, nullptr); }},
      {"kvowLmslSetStep", "Null buffer pointer", [&] { kvowLmslSetStep(0, nullptr); }},
      {"kvosLmslGetTaps", "Null buffer pointer", [&] { kvosLmslGetTaps(&ts, nullptr); }},
      {"kvozLmslSetTaps", "Null buffer pointer", [&] { kvozLmslSetTaps(nullptr, nullptr); }},
      {"kvowLmslGetTaps", "Null buffer pointer", [&] { kvowLmslGetTaps(nullptr, out); }},
      {"kvosLmslGetDlyl", "Null buffer pointer", [&] { kvosLmslGetDlyl(&ts, &ds, nullptr); }},
      {"kvowLmslSetDlyl", "Null buffer pointer", [&] { kvowLmslSetDlyl(&ts, nullptr, nullptr); }},
      {"kvosLmsl", "Null buffer pointer", [&] { kvosLmsl(&ts, nullptr, 0, 0); }},
      {"kvowLmsl", "Null buffer pointer", [&] { kvowLmsl(nullptr, &ds, 0, 0); }},
      {"kvosbLmsl", "Null buffer pointer", [&] { kvosbLmsl(&ts, &ds, nullptr, 0); }},
      {"kvosLmsInit", "Null buffer pointer",
       [&] { kvosLmsInit(0, nullptr, 4, nullptr, 0, 0, 0, nullptr); }},
      {"kvodLmsInit", "Invalid buffer length",
       [&] { kvodLmsInit(0, nullptr, 0, nullptr, 0, 0, 0, &st); }},
      {"kvocLmsInitMr", "Invalid phase value",
       [&] { kvocLmsInitMr(0, nullptr, 2, nullptr, 0, 0, 0, 2, -1, &st); }},
      {"kvosLmsInitMr", "Invalid factor value",
       [&] { kvosLmsInitMr(0, nullptr, 2, nullptr, 0, 0, 0, 1, 1, &st); }},
      {"kvosLmsInit", "Invalid error delay value",
       [&] { kvosLmsInit(0, nullptr, 2, nullptr, 0, 0, -2, &st); }},
      {"kvosLms", "Null buffer pointer", [&] { kvosLms(nullptr, 0, 0); }},
      {"kvosbLms", "Null buffer pointer", [&] { kvosbLms(&st, nullptr, 0); }},
      {"kvosLmsDes", "Null buffer pointer", [&] { kvosLmsDes(nullptr, 0, 0); }},
      {"kvosbLmsDes", "Null buffer pointer", [&] { kvosbLmsDes(&st, in, nullptr, out, 2); }},
      {"kvosbLmsDes", "Bad value of number of iterations",
       [&] { kvosbLmsDes(&st, in, in, out, 0); }},
      {"kvosLmsGetTaps", "Null buffer pointer", [&] { kvosLmsGetTaps(&st, nullptr); }},
      {"kvodLmsSetDlyl", "Null buffer pointer", [&] { kvodLmsSetDlyl(nullptr, nullptr); }},
      {"kvozLmsGetErrVal", "Null buffer pointer", [&] { kvozLmsGetErrVal(nullptr); }},
      {"kvosLmsSetStep", "Null buffer pointer", [&] { kvosLmsSetStep(0, nullptr); }},
      {"kvoLmsFree", "Null buffer pointer", [] { kvoLmsFree(nullptr); }},
      {"kvosLmslNa", "Null buffer pointer", [&] { kvosLmslNa(nullptr, &ds, 0); }},
      {"kvozdbLmslNa", "Null buffer pointer",
       [&] { kvozdbLmslNa(&ts, &ds, nullptr, reinterpret_cast<CD*>(out), 1); }},
      {"kvosbLmslNa", "Invalid buffer length", [&] { kvosbLmslNa(&ts, &ds, in, out, 0); }},
  };
  for (const ReportCase& c : cases) {
    SCOPED_TRACE(c.func);
    c.call();
    this->expectReport(
        KVO_StatusBadArgument, c.func, c.message,
        std::string(c.func).find("Lmsl") != std::string::npos ? "kvolmsl" : "kvolmsh");
  }
  // bLmsDes checks the flags before the arrays; bLms the arrays before the flags.
  st.tapSt.isFilterMode = 0;
  kvosbLmsDes(&st, nullptr, nullptr, nullptr, 0);
  this->expectReport(KVO_StatusBadArgument, "kvosbLmsDes",
                     "Taps state structure is not initialized", "kvolmsh");
  kvosbLms(&st, nullptr, 0);
  this->expectReport(KVO_StatusBadArgument, "kvosbLms", "Null buffer pointer", "kvolmsh");
  kvoLmsFree(&st);
  ds.isFilterMode = 0;
  kvosbLmslNa(&ts, &ds, in, out, 1);
  this->expectReport(KVO_StatusBadArgument, "kvosbFirl", "Not filter mode", "kvofirl");
  this->expectNoReport();
}

// ---- the 16-bit filter ----

struct ShortModel {
  std::vector<std::int32_t> h;
  std::vector<short> x;
  int errDly;
  std::int32_t step;

  static std::int32_t sat(std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, -32768, 32767));
  }
  short run(short samp, short err) {
    const std::int32_t gain = std::int32_t(std::uint32_t(err) * std::uint32_t(step));
    if (x.size() == 1) {
      h[0] = std::int32_t(std::uint32_t(h[0]) + std::uint32_t(gain) * std::uint32_t(x[0]));
      x[0] = samp;
      return short(sat(std::int32_t(std::uint32_t(samp) * std::uint32_t(h[0]) + 4096u) >> 13));
    }
    if (gain) {
      for (std::size_t i = 0; i < h.size(); ++i) {
        h[i] = std::int32_t(std::uint32_t(h[i]) + std::uint32_t(x[errDly + i] * sat(gain)));
      }
    }
    for (std::size_t k = x.size() - 1; k > 0; --k) x[k] = x[k - 1];
    x[0] = samp;
    std::int64_t acc = 0;
    for (std::size_t i = 0; i < h.size(); ++i) acc += sat(h[i]) * x[i];
    return short(sat(std::int32_t(std::uint32_t(acc) + 4096u) >> 13));
  }
};

class LmsShort : public KvoTest {};

TEST_F(LmsShort, Q13RuleBitExact) {
  struct Case {
    int taps, errDly;
    float step, tapScale;
  };
  // Large taps exercise the clamp of the output sum's taps; the one-entry case the full tap.
  const Case cases[] = {
      {1, 0, 0.02f, 1}, {1, 0, 0.5f, 9}, {7, 2, 0.01f, 1}, {40, 0, 0.003f, 6}, {3, 1, 2.0f, 5}};
  forEachIsa([&] {
    for (const Case& c : cases) {
      std::vector<float> taps(c.taps);
      std::mt19937 gen(c.taps);
      std::uniform_real_distribution<float> u(-c.tapScale, c.tapScale);
      for (auto& t : taps) t = u(gen);
      std::vector<std::int32_t> q(c.taps);
      for (int i = 0; i < c.taps; ++i) q[i] = std::int32_t(double(taps[i]) * 8192.0);
      LmsTapState ts;
      LmsDlyState ds;
      ASSERT_EQ(kvowLmslInit(0, taps.data(), c.taps, c.step, c.errDly, &ts), KVO_StatusOk);
      EXPECT_TRUE(sameBits(std::vector<std::int32_t>(static_cast<std::int32_t*>(ts.taps),
                                                     static_cast<std::int32_t*>(ts.taps) + c.taps),
                           q));
      EXPECT_EQ(kvowLmslGetStep(&ts), float(std::int32_t(c.step * 8192.0) / 8192.0));
      std::vector<short> line(c.taps + c.errDly);
      kvowLmslInitDlyl(&ts, line.data(), &ds);
      kvowLmslSetDlyl(&ts, nullptr, &ds);
      ShortModel model{q, line, c.errDly, std::int32_t(double(c.step) * 8192.0)};
      std::uniform_int_distribution<int> s(-32768, 32767);
      for (int j = 0; j < 200; ++j) {
        const short samp = short(s(gen)), err = short(s(gen) / (j % 3 + 1));
        ASSERT_EQ(kvowLmsl(&ts, &ds, samp, err), model.run(samp, err)) << j;
      }
      EXPECT_TRUE(sameBits(std::vector<std::int32_t>(static_cast<std::int32_t*>(ts.taps),
                                                     static_cast<std::int32_t*>(ts.taps) + c.taps),
                           model.h));
    }
  });
  this->expectNoReport();
}

TEST_F(LmsShort, TapsConvertInPlaceOnlyInTurn) {
  float taps[3] = {0.5f, -0.25f, 1.0f / 8192};
  LmsTapState ts;
  kvowLmslInit(0, taps, 3, 0.1f, 0, &ts);
  const auto* q = reinterpret_cast<const std::int32_t*>(taps);
  EXPECT_EQ(q[0], 4096);
  EXPECT_EQ(q[1], -2048);
  EXPECT_EQ(q[2], 1);
  kvoSetErrStatus(0);
  EXPECT_EQ(kvowLmslSetTaps(taps, &ts), KVO_StatusBadState);
  EXPECT_EQ(kvoGetErrStatus(), KVO_StatusBadState);
  float out[3];
  kvowLmslGetTaps(&ts, out);
  EXPECT_EQ(out[0], 0.5f);
  EXPECT_EQ(out[1], -0.25f);
  ts.isFilterMode = 1;
  kvowLmslGetTaps(&ts, taps);
  EXPECT_EQ(taps[0], 0.5f);
  EXPECT_EQ(taps[2], 1.0f / 8192);
  kvoSetErrStatus(0);
  kvowLmslGetTaps(&ts, taps);
  EXPECT_EQ(kvoGetErrStatus(), KVO_StatusBadState);
  EXPECT_EQ(taps[1], -0.25f);
  EXPECT_EQ(kvowLmslSetTaps(taps, &ts), KVO_StatusOk);
  EXPECT_EQ(q[1], -2048);
  this->expectNoReport();
}

}  // namespace
