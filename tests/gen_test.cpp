// Tone, triangle and random generators: values against the closed forms and against models of the
// recurrences written here, blocks against single calls, copied records, and argument checks.
#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

using Cx = std::complex<double>;
using Values = std::vector<Cx>;

Cx cx(float x) { return {x, 0}; }
Cx cx(double x) { return {x, 0}; }
Cx cx(short x) { return {double(x), 0}; }
Cx cx(ComplexFloat x) { return {x.re, x.im}; }
Cx cx(ComplexDouble x) { return {x.re, x.im}; }
Cx cx(ComplexShort x) { return {double(x.re), double(x.im)}; }

// Every member of a generator family behind one interface: values widened to complex double.
template <class State, class InitArgs>
struct Member {
  const char* name;  // type code
  bool complex;
  int kind;  // 0 float, 1 double, 2 16-bit
  std::function<int(const InitArgs&, State*)> init;
  std::function<Cx(State*)> single;
  std::function<int(State*, int, Values&)> block;  // appends n values; returns the status
  // Test names show the type code (gtest would otherwise print the bytes, padding included).
  friend void PrintTo(const Member& m, std::ostream* os) { *os << m.name; }
};

template <class T, class S, class F>
std::function<int(S*, int, Values&)> blockOf(F fn) {
  return [fn](S* st, int n, Values& out) {
    std::vector<T> y(std::size_t(std::max(n, 1)));  // never a null buffer
    const int status = fn(st, y.data(), n);
    for (int i = 0; i < n; ++i) out.push_back(cx(y[std::size_t(i)]));
    return status;
  };
}
template <class T, class S, class F>
std::function<int(S*, int, Values&)> voidBlockOf(F fn) {
  return blockOf<T, S>([fn](S* st, T* y, int n) {
    fn(st, y, n);
    return kvoGetErrStatus();
  });
}

// ---------------------------------------------------------------------------------------------
// Tone generator
// ---------------------------------------------------------------------------------------------

struct ToneArgs {
  double rFreq, phase, mag;
};
using ToneMember = Member<ToneState, ToneArgs>;

#define KVO_TONE_MEMBER(code, T, F, M, cplx, kind)                                            \
  ToneMember {                                                                                \
#code, cplx, kind,                                                                          \
        [](const ToneArgs& a, ToneState* st) {                                                  \
          return kvo##code##ToneInit(F(a.rFreq), F(a.phase), M(a.mag), st);                     \
        },                                                                                      \
        [](ToneState* st) { return cx(kvo##code##Tone(st)); }, blockOf<T, ToneState>(kvo##code##bTone) \
  }

const std::vector<ToneMember>& toneMembers() {
  static const std::vector<ToneMember> members = {
      KVO_TONE_MEMBER(s, float, float, float, false, 0),
      KVO_TONE_MEMBER(c, ComplexFloat, float, float, true, 0),
      KVO_TONE_MEMBER(d, double, double, double, false, 1),
      KVO_TONE_MEMBER(z, ComplexDouble, double, double, true, 1),
      KVO_TONE_MEMBER(w, short, float, short, false, 2),
      KVO_TONE_MEMBER(v, ComplexShort, float, short, true, 2),
  };
  return members;
}

const char* toneModule(const ToneMember& m) { return m.kind == 2 ? "kvotonew" : "kvotone"; }
std::string fn(const char* code, const char* op) { return std::string("kvo") + code + op; }

class ToneTest : public KvoTest, public ::testing::WithParamInterface<ToneMember> {};

// Float and double members against mag*cos(2*pi*f*n + phase) (complex: mag*exp(i*...)).
TEST_P(ToneTest, FollowsTheClosedForm) {
  const ToneMember& m = GetParam();
  if (m.kind == 2) GTEST_SKIP() << "16-bit tones are checked against their integer model";
  const ToneArgs cases[] = {{0.0, 0.0, 1.0},      {0.25, 0.0, 1.0},   {0.01, 1.0, 3.0},
                            {0.123456, 6.0, 0.5}, {0.4999, 0.3, 1e4}, {0.3, 2.5, 0.0}};
  for (const ToneArgs& a : cases) {
    SCOPED_TRACE(a.rFreq);
    ToneState st;
    ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
    Values y;
    ASSERT_EQ(m.block(&st, 10000, y), KVO_StatusOk);
    // The recurrence runs in double on the arguments as the member stores them.
    const double f = m.kind == 0 ? double(float(a.rFreq)) : a.rFreq;
    const double p = m.kind == 0 ? double(float(a.phase)) : a.phase;
    const double mag = m.kind == 0 ? double(float(a.mag)) : a.mag;
    // The recurrence's phase drifts by the rounding of coef, about n*eps/sin(w) (large near 0
    // and 0.5); elsewhere it stays within 1e-10 of the magnitude over 10^4 samples.
    const double drift = 1e4 * 0x1p-52 / std::max(std::abs(std::sin(2 * kPi * f)), 1e-300);
    const double tol = mag * (m.kind == 0 ? 2e-7 : std::max(1e-10, 2 * drift)) + 1e-300;
    double worst = 0;
    for (int n = 0; n < 10000; ++n) {
      const double theta = 2 * kPi * f * n + p;
      const Cx want = m.complex ? std::polar(mag, theta) : Cx(mag * std::cos(theta), 0);
      worst = std::max(worst, std::abs(y[std::size_t(n)] - want));
    }
    EXPECT_LE(worst, tol);
  }
  expectNoReport();
}

// 16-bit model: Q14 rotation by 2w of two phasors, exactly by the integer rules.
Values shortToneModel(double rFreq, double phase, int mag, bool complex, int n) {
  int s = 0;
  if (mag == 0) {
    s = 14;
  } else {
    while (mag * (1 << s) < 16384) ++s;
  }
  const int scaled = mag * (1 << s);
  const double w = 2 * kPi * double(float(rFreq));
  const double ph = double(float(phase));
  const int c2 = int(std::nearbyint(std::cos(2 * w) * 16384));
  const int s2 = int(std::nearbyint(std::sin(2 * w) * 16384));
  const auto div = [](int p) { return p < 0 ? (p + 16384) >> 14 : p >> 14; };
  const auto sat = [](int x) { return std::clamp(x, -32768, 32767); };
  int re[2], im[2];
  for (int k = 0; k < 2; ++k) {
    re[k] = div(scaled * int(std::nearbyint(std::cos(w * k + ph) * 16384)));
    im[k] = div(scaled * int(std::nearbyint(std::sin(w * k + ph) * 16384)));
  }
  const auto out = [s](int x) { return double((x < 0 ? x + (1 << s) : x) >> s); };
  Values y;
  for (int i = 0; i < n; ++i) {
    const int k = i % 2;
    y.push_back({out(re[k]), complex ? out(im[k]) : 0.0});
    const int nr = sat((re[k] * c2 - im[k] * s2) >> 14);
    const int ni = sat((re[k] * s2 + im[k] * c2) >> 14);
    re[k] = nr;
    im[k] = ni;
  }
  return y;
}

TEST_P(ToneTest, ShortMembersFollowTheIntegerModel) {
  const ToneMember& m = GetParam();
  if (m.kind != 2) GTEST_SKIP();
  const ToneArgs cases[] = {{0.0, 0.0, 1.0},       {0.25, 0.0, 1.0},    {0.01, 1.0, 1000.0},
                            {0.37, 6.28, 32767.0}, {0.1, 3.0, 16384.0}, {0.2, 0.5, 0.0},
                            {0.4999, 2.0, 77.0}};
  for (const ToneArgs& a : cases) {
    SCOPED_TRACE(a.mag);
    ToneState st;
    ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
    Values y;
    ASSERT_EQ(m.block(&st, 1000, y), KVO_StatusOk);
    EXPECT_EQ(y, shortToneModel(a.rFreq, a.phase, int(a.mag), m.complex, 1000));
  }
  // The start of a 16-bit tone is close to the scaled cosine.
  ToneState st;
  ASSERT_EQ(m.init({0.01, 1.0, 1000.0}, &st), KVO_StatusOk);
  Values y;
  m.block(&st, 16, y);
  for (int n = 0; n < 16; ++n) {
    EXPECT_NEAR(y[std::size_t(n)].real(), 1000 * std::cos(2 * kPi * 0.01 * n + 1.0), 2.0);
  }
}

// Single calls give the block's values, for every way of splitting the run; 16-bit single calls
// come from the 32-sample cache, so they are compared with a fresh record's block.
TEST_P(ToneTest, BlocksEqualSingleCalls) {
  const ToneMember& m = GetParam();
  const ToneArgs a{0.0123, 0.7, 100.0};
  ToneState st;
  ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
  Values whole;
  m.block(&st, 100, whole);
  ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
  Values singles;
  for (int i = 0; i < 100; ++i) singles.push_back(m.single(&st));
  EXPECT_EQ(singles, whole);
  ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
  Values pieces;
  for (int len : {1, 2, 3, 33, 61}) m.block(&st, len, pieces);
  EXPECT_EQ(pieces, whole);
  expectNoReport();
}

// The marker is a string, so a record copied elsewhere goes on where the original was.
TEST_P(ToneTest, CopiedRecordKeepsWorking) {
  const ToneMember& m = GetParam();
  ToneState a;
  ASSERT_EQ(m.init({0.05, 0.2, 200.0}, &a), KVO_StatusOk);
  Values skip;
  m.block(&a, 7, skip);
  for (int i = 0; i < 3; ++i) m.single(&a);
  std::vector<unsigned char> bytes(sizeof(ToneState));
  std::memcpy(bytes.data(), &a, sizeof a);
  auto* b = new ToneState;
  std::memcpy(static_cast<void*>(b), bytes.data(), sizeof *b);
  Values ya, yb;
  for (int i = 0; i < 40; ++i) {
    ya.push_back(m.single(&a));
    yb.push_back(m.single(b));
  }
  m.block(&a, 50, ya);
  m.block(b, 50, yb);
  EXPECT_EQ(ya, yb);
  delete b;
  expectNoReport();
}

TEST_P(ToneTest, ChecksArgumentsInOrder) {
  const ToneMember& m = GetParam();
  const std::string init = fn(m.name, "ToneInit"), one = fn(m.name, "Tone"),
                    blk = fn(m.name, "bTone");
  const char* mod = toneModule(m);
  ToneState st;
  std::memset(static_cast<void*>(&st), 0, sizeof st);
  const struct {
    ToneArgs a;
    ToneState* st;
    const char* message;
  } bad[] = {
      {{0.1, 0.1, -1.0}, &st, "Invalid magnitude value"},
      {{-0.1, 0.1, -1.0}, &st, "Invalid magnitude value"},
      {{0.5, 0.1, 1.0}, &st, "Invalid freq value"},
      {{-0.01, 7.0, 1.0}, &st, "Invalid freq value"},
      {{NAN, 0.1, 1.0}, &st, "Invalid freq value"},
      {{0.1, 2 * kPi, 1.0}, &st, "Invalid phase value"},
      {{0.1, -0.5, 1.0}, nullptr, "Invalid phase value"},
      {{0.1, 0.1, 1.0}, nullptr, "Null pointer to state"},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.message);
    EXPECT_EQ(m.init(b.a, b.st), KVO_StatusBadArgument);
    expectReport(KVO_StatusBadArgument, init.c_str(), b.message, mod);
  }
  // A zero-filled record is not initialised, and a failed Init leaves it so.
  EXPECT_EQ(m.single(&st), Cx(0, 0));
  expectReport(KVO_StatusBadArgument, one.c_str(), "Structure initialization need", mod);
  EXPECT_EQ(m.single(nullptr), Cx(0, 0));
  expectReport(KVO_StatusBadArgument, one.c_str(), "Null pointer to state", mod);
  Values y;
  EXPECT_EQ(m.block(nullptr, 0, y), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, blk.c_str(), "Null pointer to state", mod);
  EXPECT_EQ(m.block(&st, 0, y), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, blk.c_str(), "Bad number of items", mod);
  EXPECT_EQ(m.block(&st, 4, y), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, blk.c_str(), "Structure initialization need", mod);
  // Boundaries that pass: -0.0 magnitude, phase 0, frequency just below 0.5.
  const double belowHalf = m.kind == 1 ? std::nextafter(0.5, 0.0) : std::nextafter(0.5f, 0.0f);
  EXPECT_EQ(m.init({belowHalf, 0.0, m.kind == 2 ? 0.0 : -0.0}, &st), KVO_StatusOk);
  expectNoReport();
}

INSTANTIATE_TEST_SUITE_P(Members, ToneTest, ::testing::ValuesIn(toneMembers()),
                         [](const auto& info) { return std::string(info.param.name); });

class ToneDetail : public KvoTest {};

TEST_F(ToneDetail, NullBufferIsReported) {
  ToneState st;
  ASSERT_EQ(kvodToneInit(0.1, 0, 1, &st), KVO_StatusOk);
  EXPECT_EQ(kvodbTone(&st, nullptr, 4), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvodbTone", "Null input buffer pointer", "kvotone");
  ASSERT_EQ(kvowToneInit(0.1f, 0, 1, &st), KVO_StatusOk);
  EXPECT_EQ(kvowbTone(&st, nullptr, 4), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvowbTone", "Null input buffer pointer", "kvotonew");
  auto y = sentinel<short>(8);
  std::memset(static_cast<void*>(&st), 0, sizeof st);
  EXPECT_EQ(kvowbTone(&st, y.data(), 8), KVO_StatusBadArgument);
  EXPECT_TRUE(isSentinel(y));
  kvotest::clearReports();
}

// ---------------------------------------------------------------------------------------------
// Triangle generator
// ---------------------------------------------------------------------------------------------

struct TrnglArgs {
  double rFreq, phase, mag, asym;
};
using TrnglMember = Member<TrnglState, TrnglArgs>;

#define KVO_TRNGL_MEMBER(code, T, F, M, cplx, kind)                                        \
  TrnglMember {                                                                            \
#code, cplx, kind,                                                                       \
        [](const TrnglArgs& a, TrnglState* st) {                                             \
          kvoSetErrStatus(0);                                                                \
          kvo##code##TrnglInit(F(a.rFreq), F(a.phase), M(a.mag), F(a.asym), st);             \
          return kvoGetErrStatus();                                                          \
        },                                                                                   \
        [](TrnglState* st) { return cx(kvo##code##Trngl(st)); },                             \
        voidBlockOf<T, TrnglState>(kvo##code##bTrngl) \
  }

const std::vector<TrnglMember>& trnglMembers() {
  static const std::vector<TrnglMember> members = {
      KVO_TRNGL_MEMBER(s, float, float, float, false, 0),
      KVO_TRNGL_MEMBER(c, ComplexFloat, float, float, true, 0),
      KVO_TRNGL_MEMBER(d, double, double, double, false, 1),
      KVO_TRNGL_MEMBER(z, ComplexDouble, double, double, true, 1),
      KVO_TRNGL_MEMBER(w, short, float, short, false, 2),
      KVO_TRNGL_MEMBER(v, ComplexShort, float, short, true, 2),
  };
  return members;
}

// The triangle at phase theta: mag at 0, -mag at pi + asym, back to mag at 2*pi.
double triangle(double theta, double mag, double asym) {
  theta = std::fmod(theta, 2 * kPi);
  const double fall = kPi + asym, rise = kPi - asym;
  return theta < fall ? mag * (1 - 2 * theta / fall) : mag * (2 * (theta - fall) / rise - 1);
}

class TrnglTest : public KvoTest, public ::testing::WithParamInterface<TrnglMember> {};

// Single calls and blocks against the closed form; the imaginary part runs (3*pi + asym)/2 ahead.
TEST_P(TrnglTest, FollowsTheClosedForm) {
  const TrnglMember& m = GetParam();
  const TrnglArgs cases[] = {{0.25, 0.0, 1000.0, 0.0},   {0.01, 0.5, 1000.0, 0.0},
                             {0.0371, 2.0, 3000.0, 1.0}, {0.003, 5.0, 3000.0, -2.5},
                             {0.45, 1.0, 20000.0, 3.1},  {0.0, 1.3, 500.0, 0.2},
                             {0.02, kPi, 1000.0, 0.0}};
  for (const TrnglArgs& a : cases) {
    SCOPED_TRACE(testing::Message() << a.rFreq << " " << a.asym);
    const double f = m.kind == 1 ? a.rFreq : double(float(a.rFreq));
    const double p = m.kind == 1 ? a.phase : double(float(a.phase));
    const double h = m.kind == 1 ? a.asym : double(float(a.asym));
    const double mag = a.mag;
    const int n = 2000;
    // Float fields round the slopes and each stored value; each reflection off the short slope
    // scales the error by the ratio of the slopes, and the errors add up over the run.
    const double ratio = (kPi + std::abs(h)) / (kPi - std::abs(h));
    const double floatTol = 2e-4 * mag * std::max(1.0, ratio / 2);
    const double tol = m.kind == 1 ? 1e-9 * mag : m.kind == 0 ? floatTol : floatTol + 0.5;
    for (bool useBlock : {false, true}) {
      TrnglState st;
      ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
      Values y;
      if (useBlock) {
        m.block(&st, n, y);
      } else {
        for (int i = 0; i < n; ++i) y.push_back(m.single(&st));
      }
      double worst = 0;
      for (int i = 0; i < n; ++i) {
        const double theta = p + 2 * kPi * f * i;
        double want = triangle(theta, mag, h);
        worst = std::max(worst, std::abs(y[std::size_t(i)].real() - want));
        if (m.complex) {
          want = triangle(theta + (3 * kPi + h) / 2, mag, h);
          worst = std::max(worst, std::abs(y[std::size_t(i)].imag() - want));
        }
        if (m.kind == 2) {
          ASSERT_EQ(y[std::size_t(i)].real(), std::round(y[std::size_t(i)].real()));
          ASSERT_LE(std::abs(y[std::size_t(i)].real()), mag);
        }
      }
      EXPECT_LE(worst, tol) << (useBlock ? "block" : "single");
    }
  }
  expectNoReport();
}

TEST_P(TrnglTest, ChecksArgumentsInOrder) {
  const TrnglMember& m = GetParam();
  const std::string init = fn(m.name, "TrnglInit"), one = fn(m.name, "Trngl"),
                    blk = fn(m.name, "bTrngl");
  TrnglState st;
  const struct {
    TrnglArgs a;
    TrnglState* st;
    const char* message;
  } bad[] = {
      {{0.1, 0.1, -1.0, 0.0}, &st, "Invalid magnitude value"},
      {{0.5, 0.1, 1.0, 9.0}, &st, "Invalid frequence value"},
      {{-0.1, 0.1, 1.0, 0.0}, &st, "Invalid frequence value"},
      {{0.1, 7.0, 1.0, 0.0}, &st, "Invalid phase value"},
      {{0.1, -1.0, 1.0, 0.0}, &st, "Invalid phase value"},
      {{0.1, 1.0, 1.0, 3.2}, &st, "Invalid asymmetry value"},
      {{0.1, 1.0, 1.0, -3.2}, nullptr, "Invalid asymmetry value"},
      {{0.1, 1.0, 1.0, 0.0}, nullptr, "Null pointer to state"},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.message);
    EXPECT_EQ(m.init(b.a, b.st), KVO_StatusBadArgument);
    expectReport(KVO_StatusBadArgument, init.c_str(), b.message, "kvotrngl");
  }
  EXPECT_EQ(m.single(nullptr), Cx(0, 0));
  expectReport(KVO_StatusBadArgument, one.c_str(), "Null pointer to state", "kvotrngl");
  ASSERT_EQ(m.init({0.1, 0.0, 1.0, 0.0}, &st), KVO_StatusOk);
  const TrnglState before = st;
  Values y;
  kvoSetErrStatus(0);
  EXPECT_EQ(m.block(nullptr, 3, y), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, blk.c_str(), "Null pointer to state", "kvotrngl");
  kvoSetErrStatus(0);
  EXPECT_EQ(m.block(&st, 0, y), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, blk.c_str(), "Invalid number of items", "kvotrngl");
  EXPECT_TRUE(kvotest::sameBits(before, st));
  if (m.kind != 2) {
    EXPECT_EQ(m.init({0.0, 0.0, -0.0, 0.0}, &st), KVO_StatusOk);
  }
  expectNoReport();
}

INSTANTIATE_TEST_SUITE_P(Members, TrnglTest, ::testing::ValuesIn(trnglMembers()),
                         [](const auto& info) { return std::string(info.param.name); });

class TrnglDetail : public KvoTest {};

TEST_F(TrnglDetail, NullBufferAndShapes) {
  TrnglState st;
  kvodTrnglInit(0.1, 0, 1, 0, &st);
  kvodbTrngl(&st, nullptr, 4);
  expectReport(KVO_StatusBadArgument, "kvodbTrngl", "Null pointer to buffer", "kvotrngl");
  // Phase pi with asym 0 starts at -mag and rises.
  kvodTrnglInit(0.01, kPi, 2, 0, &st);
  EXPECT_NEAR(kvodTrngl(&st), -2, 1e-12);
  EXPECT_GT(kvodTrngl(&st), -2);
  // Asymmetry near pi: the fall takes almost the whole period and the rise one sample; near -pi
  // the other way round.
  for (double asym : {3.1, -3.1}) {
    kvodTrnglInit(0.01, 0, 1, asym, &st);
    std::vector<double> y(300);
    kvodbTrngl(&st, y.data(), 300);
    int shortMoves = 0;  // rises for asym near pi, falls for asym near -pi
    for (std::size_t i = 1; i < y.size(); ++i) {
      shortMoves += (asym > 0 ? y[i] > y[i - 1] : y[i] < y[i - 1]) ? 1 : 0;
    }
    EXPECT_GE(shortMoves, 2);  // one per period, the last one may fall outside
    EXPECT_LE(shortMoves, 3);
  }
  expectNoReport();
}

// ---------------------------------------------------------------------------------------------
// Random generators: a model of the recurrences
// ---------------------------------------------------------------------------------------------

struct Model {
  std::uint32_t seedLcg, x1, x2, x3, c, lcg, lcgB = 0;
  Model(std::uint32_t seed, std::uint32_t carry) : seedLcg(seed), x1(seed), c(carry) {
    x2 = draw();
    x3 = draw();
    lcg = 0x436CBAE9u;
  }
  std::uint32_t draw() {
    seedLcg = seedLcg * 214013u + 2531011u;
    return (seedLcg >> 16) & 0x7FFF;
  }
  std::uint32_t swb(bool borrowAtZero = true) {
    std::uint32_t d = x2 - x3 - c;
    const std::int32_t sd = std::int32_t(d);
    if (borrowAtZero ? sd <= 0 : sd < 0) {
      d -= 18;
      c = 1;
    } else {
      c = 0;
    }
    x3 = x2;
    x2 = x1;
    x1 = d;
    return d;
  }
  static std::uint32_t congruential(std::uint32_t& m) { return m = m * 69069u + 1013904243u; }
  std::int32_t raw() {
    const std::uint32_t d = swb();
    return std::int32_t(d + congruential(lcg));
  }
  template <class S>
  void expectRegisters(const S& st) const {
    EXPECT_EQ(st.x1, x1);
    EXPECT_EQ(st.x2, x2);
    EXPECT_EQ(st.x3, x3);
    EXPECT_EQ(st.carry, c);
    EXPECT_EQ(st.seedLcg, seedLcg);
  }
};

// Uniform floating-point values: r*scale + mid, after five discarded values.
Values uniformModel(double seed, double low, double high, bool single, int n) {
  Model g(std::uint32_t(std::int32_t(seed)), 0);
  double mid = low + 0.5 * (high - low), scale = (high - low) * 0x1p-32;
  if (single) {
    mid = float(mid);
    scale = float(scale);
  }
  Values y;
  for (int i = 0; i < 5 + n; ++i) {
    const double v = g.raw() * scale + mid;
    if (i >= 5) y.push_back(single ? double(float(v)) : v);
  }
  return y;
}

// Normal values by the polar method; std::log may differ from the library's logarithm in the last
// place, so values are compared with a tolerance and the registers exactly.
struct GaussModel {
  Model g;
  double mean, stDev;
  int kind;  // 0 float, 1 double, 2 16-bit
  bool have = false;
  double stored = 0;
  GaussModel(std::uint32_t seed, double mean_, double stDev_, int kind_)
      : g(seed, 1), mean(mean_), stDev(stDev_), kind(kind_) {}
  double conv(double x) const {
    return kind == 0 ? double(float(x)) : kind == 1 ? x : double(std::int16_t(std::int32_t(x)));
  }
  double next() {
    if (have) {
      have = false;
      return stored;
    }
    have = true;
    double u1, u2, s;
    do {
      const std::uint32_t d1 = g.swb(), d2 = g.swb();
      const std::uint32_t m1 = Model::congruential(g.lcg), m2 = Model::congruential(g.lcg);
      u1 = std::int32_t(d1 + m1) * 0x1p-31;
      u2 = std::int32_t(d2 + m2) * 0x1p-31;
      s = u1 * u1 + u2 * u2;
    } while (!(s < 1 && s != 0));
    const double f = std::sqrt(-2 * std::log(s) / s);
    stored = conv(mean + stDev * u1 * f);
    return conv(mean + stDev * u2 * f);
  }
};

// The 16-bit uniform generator: single steps (lane A) and batch steps (both lanes, strict borrow).
struct ShortUniformModel {
  Model g;
  int mid, shift;
  std::vector<short> buffer;
  ShortUniformModel(std::uint32_t seed, int low, int high) : g(seed, 0) {
    mid = ((high + low) >> 1) - 1;
    const int width = (high - low) & ~1;
    int k = 0;
    while (width > 1 && (1 << k) < width) ++k;
    shift = 32 - k;
    g.lcgB = g.draw();
    for (int i = 0; i < 5; ++i) single();
  }
  short value(std::uint32_t r) const {
    return short(
        std::uint16_t(std::uint32_t(mid) - std::uint32_t(std::int32_t(r) >> std::min(shift, 31))));
  }
  short single() {
    const std::uint32_t d = g.swb();
    return value(d + Model::congruential(g.lcg));
  }
  void batch(std::vector<short>& out, int n) {
    if (n % 2) out.push_back(single());
    for (int i = n % 2; i < n; i += 2) {
      const std::uint32_t d1 = g.swb(false), d2 = g.swb(false);
      const std::uint32_t a = Model::congruential(g.lcg), b = Model::congruential(g.lcgB);
      out.push_back(value(d2 + a));
      out.push_back(value(d1 + b));
    }
  }
};

// The checks of the kvorand members: null record for Init, single and block calls, zero length.
template <class M, class S>
void expectRandChecks(const M& m, const char* op, S& st) {
  const std::string init = fn(m.name, (std::string(op) + "Init").c_str()), one = fn(m.name, op),
                    blk = fn(m.name, (std::string("b") + op).c_str());
  const auto expect = [](const std::string& func, const char* message) {
    ASSERT_EQ(kvotest::reports().size(), 1u) << func;
    EXPECT_EQ(kvotest::reports()[0].func, func);
    EXPECT_EQ(kvotest::reports()[0].message, message);
    EXPECT_EQ(kvotest::reports()[0].module, "kvorand");
    kvotest::clearReports();
  };
  EXPECT_EQ(m.init(1, 0, 1, nullptr), KVO_StatusBadArgument);
  expect(init, "Null pointer to state structure");
  EXPECT_EQ(m.one(nullptr), Cx(0, 0));
  expect(one, "Null pointer to state structure");
  Values y;
  EXPECT_EQ(m.block(nullptr, 0, y), KVO_StatusBadArgument);
  expect(blk, "Null pointer to state structure");
  ASSERT_EQ(m.init(1, 0, 1, &st), KVO_StatusOk);
  const S before = st;
  EXPECT_EQ(m.block(&st, 0, y), KVO_StatusBadArgument);
  expect(blk, "Null length of buffer");
  EXPECT_EQ(std::memcmp(&before, &st, sizeof st), 0);
}

// Both parts of every value, sorted, with their moments and Kolmogorov-Smirnov distances.
struct Sample {
  std::vector<double> sorted;
  double mean = 0, sd = 0;
  Sample(const Values& y, bool complex) {
    for (const Cx& c : y) {
      sorted.push_back(c.real());
      if (complex) sorted.push_back(c.imag());
    }
    std::sort(sorted.begin(), sorted.end());
    for (double x : sorted) mean += x;
    mean /= double(sorted.size());
    for (double x : sorted) sd += (x - mean) * (x - mean);
    sd = std::sqrt(sd / double(sorted.size()));
  }
  template <class Cdf>
  double ks(Cdf cdf) const {
    const double n = double(sorted.size());
    double d = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      const double f = cdf(sorted[i]);
      d = std::max({d, std::abs(f - double(i) / n), std::abs(f - double(i + 1) / n)});
    }
    return d;
  }
  double ksLimit() const { return 1.63 / std::sqrt(double(sorted.size())); }  // the 1% level
};

const int kLengths[] = {1, 2, 3, 15, 16, 17, 31, 100, 511, 512, 513, 1500};

// The generator registers of a record and, for the normal generators, haveStored.
using Registers = std::array<std::uint32_t, 7>;
template <class S>
Registers registersOf(const void* p) {
  const S& s = *static_cast<const S*>(p);
  std::uint32_t have = 0;
  if constexpr (requires { s.haveStored; }) have = std::uint32_t(s.haveStored);
  return {s.x1, s.x2, s.x3, s.carry, s.seedLcg, s.lcg, have};
}
Registers registersOf(const Model& g, bool have) {
  return {g.x1, g.x2, g.x3, g.c, g.seedLcg, g.lcg, have ? 1u : 0u};
}

// The uniform and normal members of the kvorand module; a and b are (low, high) or (mean, stDev).
struct RandMember {
  const char* name;
  const char* op;
  bool normal, complex;
  int kind;  // 0 float, 1 double, 2 16-bit
  std::function<int(double, double, double, void*)> init;
  std::function<Cx(void*)> one;
  std::function<int(void*, int, Values&)> block;
  Registers (*registers)(const void*);
  friend void PrintTo(const RandMember& m, std::ostream* os) { *os << m.op << m.name; }
};

#define KVO_RAND_MEMBER(code, op, S, T, F, normal, cplx, kind)                               \
  RandMember {                                                                               \
#code, #op, normal, cplx, kind,                                                            \
        [](double seed, double a, double b, void* st) {                                        \
          return kvo##code##op##Init(F(seed), F(a), F(b), static_cast<S*>(st));                \
        },                                                                                     \
        [](void* st) { return cx(kvo##code##op(static_cast<S*>(st))); },                       \
        [](void* st, int n, Values& out) {                                                     \
          return blockOf<T, S>([](S* s, T* y, int k) {                                         \
            return kvo##code##b##op(s, y, unsigned(k));                                        \
          })(static_cast<S*>(st), n, out);                                                     \
        },                                                                                     \
        registersOf<S> \
  }

union RandRecord {
  RandUniState u;
  RandGausState g;
  WRandGausState w;
};

Values pairUp(const Values& reals, bool complex) {
  if (!complex) return reals;
  Values y;
  for (std::size_t i = 0; i + 1 < reals.size(); i += 2) {
    y.push_back({reals[i].real(), reals[i + 1].real()});
  }
  return y;
}

// The model's first n values (complex members: n pairs) and its registers after them.
Values modelValues(const RandMember& m, std::uint32_t seed, double a, double b, int n,
                   Registers& regs) {
  const int reals = m.complex ? 2 * n : n;
  Values y;
  if (m.normal) {
    GaussModel g(seed, a, b, m.kind);
    for (int i = 0; i < reals; ++i) y.push_back({g.next(), 0});
    regs = registersOf(g.g, g.have);
  } else {
    y = uniformModel(double(std::int32_t(seed)), a, b, m.kind == 0, reals);
    Model g(seed, 0);
    for (int i = 0; i < 5 + reals; ++i) g.raw();
    regs = registersOf(g, false);
  }
  return pairUp(y, m.complex);
}

// Uniform values exactly; normal values within the last places of the logarithm (16-bit: one unit,
// where a truncation falls on the other side), the registers exactly.
void expectClose(const Values& got, const Values& want, const RandMember& m) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    const double rel = m.kind == 0 ? 1e-6 : 1e-13;
    const double tol = !m.normal ? 0 : m.kind == 2 ? 1.0 : rel * (1 + std::abs(want[i]));
    ASSERT_NEAR(got[i].real(), want[i].real(), tol) << i;
    ASSERT_NEAR(got[i].imag(), want[i].imag(), tol) << i;
  }
}

class RandTest : public KvoTest, public ::testing::WithParamInterface<RandMember> {
 protected:
  static std::pair<double, double> args(const RandMember& m) {
    if (!m.normal) return {-3.0, 5.0};
    return m.kind == 2 ? std::pair{100.0, 3000.0} : std::pair{1.5, 2.25};
  }
};

TEST_P(RandTest, FollowsTheModel) {
  const RandMember& m = GetParam();
  const double a = args(m).first, b = args(m).second;  // no structured binding: lambda below
  forEachIsa([&] {
    for (int n : kLengths) {
      SCOPED_TRACE(n);
      for (int seed : {0, 7, -5, 31000}) {
        RandRecord st{};
        ASSERT_EQ(m.init(seed, a, b, &st), KVO_StatusOk);
        Values y;
        ASSERT_EQ(m.block(&st, n, y), KVO_StatusOk);
        Registers want;
        expectClose(y, modelValues(m, std::uint32_t(seed), a, b, n, want), m);
        EXPECT_EQ(m.registers(&st), want);
      }
    }
  });
  expectNoReport();
}

// Single calls and blocks of any length continue one sequence.
TEST_P(RandTest, SinglesAndPiecesContinueTheBlock) {
  const RandMember& m = GetParam();
  RandRecord a{}, b{};
  ASSERT_EQ(m.init(3, 0, 1000, &a), KVO_StatusOk);
  ASSERT_EQ(m.init(3, 0, 1000, &b), KVO_StatusOk);
  Values whole, parts;
  m.block(&a, 1200, whole);
  for (int i = 0; i < 51; ++i) parts.push_back(m.one(&b));
  for (int len : {1, 3, 1000, 145}) m.block(&b, len, parts);
  EXPECT_EQ(parts, whole);
  EXPECT_EQ(m.registers(&a), m.registers(&b));
}

// The second value of a normal pair changes no generator register.
TEST_P(RandTest, PairsShareOneDraw) {
  const RandMember& m = GetParam();
  if (!m.normal || m.complex) GTEST_SKIP() << "no pairs across calls";
  RandRecord st{};
  ASSERT_EQ(m.init(11, 0, 1000, &st), KVO_StatusOk);
  m.one(&st);
  Registers first = m.registers(&st);
  EXPECT_EQ(first[6], 1u);
  m.one(&st);
  first[6] = 0;
  EXPECT_EQ(m.registers(&st), first);
}

// Mean, standard deviation and a Kolmogorov-Smirnov distance of 10^5 values (both parts of complex
// values) to the uniform distribution on [-2, 6) or the normal distribution.
TEST_P(RandTest, HasItsDistribution) {
  const RandMember& m = GetParam();
  const double mean = m.normal ? (m.kind == 2 ? -50 : 0.5) : 2;
  const double sd = m.normal ? (m.kind == 2 ? 4000 : 3) : std::sqrt(64.0 / 12);
  RandRecord st{};
  ASSERT_EQ(m.normal ? m.init(4242, mean, sd, &st) : m.init(2024, -2, 6, &st), KVO_StatusOk);
  Values y;
  m.block(&st, 100000, y);
  const Sample v(y, m.complex);
  EXPECT_NEAR(v.mean, mean, 0.02 * sd);
  EXPECT_NEAR(v.sd, sd, 0.02 * sd);
  if (!m.normal) {
    EXPECT_GE(v.sorted.front(), -2);
    EXPECT_LE(v.sorted.back(), 6);
    EXPECT_LT(v.ks([](double x) { return (x + 2) / 8; }), v.ksLimit());
    return;
  }
  // 16-bit values are truncated toward zero: compare with the cdf between the integers.
  const double halfStep = m.kind == 2 ? 0.5 : 0;
  const auto cdf = [&](double x) {
    x += x > 0 ? halfStep : x < 0 ? -halfStep : 0;
    return 0.5 * std::erfc(-(x - mean) / (sd * std::sqrt(2.0)));
  };
  EXPECT_LT(v.ks(cdf), v.ksLimit());
}

TEST_P(RandTest, ChecksArguments) {
  RandRecord st{};
  expectRandChecks(GetParam(), GetParam().op, st);
}

INSTANTIATE_TEST_SUITE_P(
    Members, RandTest,
    ::testing::Values(
        KVO_RAND_MEMBER(s, RandUni, RandUniState, float, float, false, false, 0),
        KVO_RAND_MEMBER(c, RandUni, RandUniState, ComplexFloat, float, false, true, 0),
        KVO_RAND_MEMBER(d, RandUni, RandUniState, double, double, false, false, 1),
        KVO_RAND_MEMBER(z, RandUni, RandUniState, ComplexDouble, double, false, true, 1),
        KVO_RAND_MEMBER(s, RandGaus, RandGausState, float, float, true, false, 0),
        KVO_RAND_MEMBER(c, RandGaus, RandGausState, ComplexFloat, float, true, true, 0),
        KVO_RAND_MEMBER(d, RandGaus, RandGausState, double, double, true, false, 1),
        KVO_RAND_MEMBER(z, RandGaus, RandGausState, ComplexDouble, double, true, true, 1),
        KVO_RAND_MEMBER(w, RandGaus, WRandGausState, short, short, true, false, 2),
        KVO_RAND_MEMBER(v, RandGaus, WRandGausState, ComplexShort, short, true, true, 2)),
    [](const auto& info) { return std::string(info.param.op) + info.param.name; });

class RandDetail : public KvoTest {};

TEST_F(RandDetail, NullDataBufferAndConstantRange) {
  RandUniState u;
  ASSERT_EQ(kvosRandUniInit(1, 0, 1, &u), KVO_StatusOk);
  const RandUniState before = u;
  EXPECT_EQ(kvosbRandUni(&u, nullptr, 4), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvosbRandUni", "Null pointer to data buffer", "kvorand");
  EXPECT_TRUE(kvotest::sameBits(before, u));
  WRandGausState g;
  ASSERT_EQ(kvowRandGausInit(1, 0, 100, &g), KVO_StatusOk);
  EXPECT_EQ(kvovbRandGaus(&g, nullptr, 4), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvovbRandGaus", "Null pointer to data buffer", "kvorand");
  // low == high gives that value on every call.
  ASSERT_EQ(kvozRandUniInit(5, 2.5, 2.5, &u), KVO_StatusOk);
  ComplexDouble flat[40];
  ASSERT_EQ(kvozbRandUni(&u, flat, 40), KVO_StatusOk);
  for (const ComplexDouble& x : flat) EXPECT_EQ(cx(x), Cx(2.5, 2.5));
  ASSERT_EQ(kvosRandUniInit(5, -1.25f, -1.25f, &u), KVO_StatusOk);
  EXPECT_EQ(kvosRandUni(&u), -1.25f);
  // Seeds outside the 32-bit range all give the integer-indefinite seed 0x80000000.
  RandUniState a, b, c;
  kvodRandUniInit(1e12, 0, 1, &a);
  kvodRandUniInit(-2147483649.0, 0, 1, &b);
  kvodRandUniInit(-2147483648.0, 0, 1, &c);
  EXPECT_TRUE(kvotest::sameBits(a, c));
  EXPECT_TRUE(kvotest::sameBits(b, c));
}

class RandShortUniTest : public KvoTest {};

std::vector<short> flatten(const Values& y, bool complex) {
  std::vector<short> out;
  for (const Cx& v : y) {
    out.push_back(short(v.real()));
    if (complex) out.push_back(short(v.imag()));
  }
  return out;
}

TEST_F(RandShortUniTest, InitRules) {
  WRandUniState st;
  ASSERT_EQ(kvowRandUniInit(1, -32768, 32767, &st), KVO_StatusOk);
  EXPECT_EQ(st.mid, -2);
  EXPECT_EQ(st.shift, 16);
  EXPECT_EQ(st.next, 32);
  const struct {
    short low, high;
    int mid, shift;
  } cases[] = {{0, 100, 49, 25}, {-10, 10, -1, 27}, {5, 6, 4, 32},   {5, 5, 4, 32},
               {0, 128, 63, 25}, {0, 129, 63, 25},  {0, 130, 64, 24}};
  for (const auto& c : cases) {
    ASSERT_EQ(kvovRandUniInit(7, c.low, c.high, &st), KVO_StatusOk);
    EXPECT_EQ(st.mid, c.mid) << c.low << " " << c.high;
    EXPECT_EQ(st.shift, c.shift) << c.low << " " << c.high;
  }
}

// Blocks are batch values straight from the generator, buffer untouched; single values come from
// the buffer, refilled with 32 batch values.
TEST_F(RandShortUniTest, FollowsTheModel) {
  forEachIsa([&] {
    for (int n : kLengths) {
      for (bool complex : {false, true}) {
        SCOPED_TRACE(testing::Message() << n << (complex ? " v" : " w"));
        WRandUniState st;
        ASSERT_EQ(kvowRandUniInit(555, -1000, 3000, &st), KVO_StatusOk);
        ShortUniformModel g(555, -1000, 3000);
        std::vector<short> want;
        // One buffered value first, then a block.
        g.batch(g.buffer, 32);
        EXPECT_EQ(kvowRandUni(&st), g.buffer[0]);
        Values got;
        if (complex) {
          blockOf<ComplexShort, WRandUniState>(kvovbRandUni)(&st, n, got);
        } else {
          blockOf<short, WRandUniState>(kvowbRandUni)(&st, n, got);
        }
        g.batch(want, complex ? 2 * n : n);
        EXPECT_EQ(flatten(got, complex), want);
        // The buffer still holds the other 31 values.
        for (int i = 1; i < 32; ++i) ASSERT_EQ(kvowRandUni(&st), g.buffer[std::size_t(i)]);
        g.g.expectRegisters(st);
        EXPECT_EQ(st.lcgA, g.g.lcg);
        EXPECT_EQ(st.lcgB, g.g.lcgB);
      }
    }
  });
}

// A difference of exactly zero borrows in single steps and not in batch steps.
TEST_F(RandShortUniTest, BorrowAtZero) {
  for (int n : {1, 2}) {
    WRandUniState st;
    ASSERT_EQ(kvowRandUniInit(1, -32768, 32767, &st), KVO_StatusOk);
    st.x2 = st.x3 = 12345;
    st.carry = 0;
    ShortUniformModel g(1, -32768, 32767);
    g.g.x1 = st.x1;
    g.g.x2 = g.g.x3 = 12345;
    g.g.c = 0;
    short y[2];
    ASSERT_EQ(kvowbRandUni(&st, y, n), KVO_StatusOk);
    std::vector<short> want;
    g.batch(want, n);
    EXPECT_EQ(std::vector<short>(y, y + n), want);
    g.g.expectRegisters(st);  // the newest registers hold 0 (batch) or -18 (single step)
    EXPECT_EQ(n == 1 ? st.x1 : st.x2, n == 1 ? 0u - 18u : 0u);
  }
}

TEST_F(RandShortUniTest, ComplexSinglesTakeTwoBufferedValues) {
  WRandUniState a, b;
  ASSERT_EQ(kvowRandUniInit(9, 0, 4096, &a), KVO_StatusOk);
  ASSERT_EQ(kvovRandUniInit(9, 0, 4096, &b), KVO_StatusOk);
  EXPECT_TRUE(kvotest::sameBits(a, b));
  kvowRandUni(&b);  // next = 1: pairs start at odd indices, the last one is dropped
  std::vector<short> singles;
  for (int i = 0; i < 64; ++i) singles.push_back(kvowRandUni(&a));
  for (int i = 0; i < 15; ++i) {
    const ComplexShort v = kvovRandUni(&b);
    EXPECT_EQ(v.re, singles[std::size_t(1 + 2 * i)]);
    EXPECT_EQ(v.im, singles[std::size_t(2 + 2 * i)]);
  }
  const ComplexShort v = kvovRandUni(&b);  // index 31: refill
  EXPECT_EQ(v.re, singles[32]);
  EXPECT_EQ(v.im, singles[33]);
  for (short x : singles) {
    EXPECT_GE(x, 0 - 2048 - 1);
    EXPECT_LE(x, 4096 + 2048);
  }
}

TEST_F(RandShortUniTest, ChecksArguments) {
  EXPECT_EQ(kvowRandUniInit(1, 0, 1, nullptr), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvowRandUniInit", "statePtr==0", "kvorandw");
  EXPECT_EQ(kvovRandUniInit(1, 0, 1, nullptr), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvovRandUniInit", "statePtr==0", "kvorandw");
  EXPECT_EQ(kvowRandUni(nullptr), 0);
  expectReport(KVO_StatusBadArgument, "kvowRandUni", "((void*)(0))==statePtr", "kvorandw");
  const ComplexShort z = kvovRandUni(nullptr);
  EXPECT_EQ(z.re | z.im, 0);
  expectReport(KVO_StatusBadArgument, "kvovRandUni", "((void*)(0))==statePtr", "kvorandw");
  WRandUniState st;
  ASSERT_EQ(kvowRandUniInit(1, 0, 1, &st), KVO_StatusOk);
  const WRandUniState before = st;
  auto y = sentinel<short>(4);
  EXPECT_EQ(kvowbRandUni(nullptr, nullptr, 0), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvowbRandUni", "statePtr==0", "kvorandw");
  EXPECT_EQ(kvowbRandUni(&st, nullptr, 0), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvowbRandUni", "sampsLen<=0", "kvorandw");
  EXPECT_EQ(kvowbRandUni(&st, nullptr, 4), KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvowbRandUni", "samps==0", "kvorandw");
  EXPECT_EQ(kvovbRandUni(&st, reinterpret_cast<ComplexShort*>(y.data()), -1),
            KVO_StatusBadArgument);
  expectReport(KVO_StatusBadArgument, "kvovbRandUni", "sampsLen<=0", "kvorandw");
  EXPECT_TRUE(isSentinel(y));
  EXPECT_TRUE(kvotest::sameBits(before, st));
}

}  // namespace
