// Tone and triangle generators: the 16-bit tone bit for bit against a model of its integer rules,
// blocks against single calls and copied records, and the limits of the Init checks. Values
// against the closed forms, and the random generators against a model of their recurrences, are
// in reference/gen_test.py.
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

class ToneTest : public KvoTest, public ::testing::WithParamInterface<ToneMember> {};

// 16-bit model: Q14 rotation by 2w of two phasors, exactly by the integer rules.
Values shortToneModel(double rFreq, double phase, int mag, bool complex, int n) {
  int s = 0;
  if (mag == 0) {
    s = 14;
  } else {
    while (mag * (1 << s) < 16384) ++s;
  }
  const int scaled = mag * (1 << s);
  const double w = 2 * kPi * double(float(rFreq)), ph = double(float(phase));
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
    im[k] = sat((re[k] * s2 + im[k] * c2) >> 14);
    re[k] = nr;
  }
  return y;
}

// The float and double values against the closed form are in reference/gen_test.py.
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
}

// Where `exact` holds, blocks give the same values for every way of splitting the run, and so do
// single calls (16-bit ones come from a 32-sample cache, so they run on a record of their own).
// A record copied elsewhere goes on where the original was.
template <class State, class Args>
void expectOneSequence(const Member<State, Args>& m, const Args& a, bool exact) {
  State st;
  ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
  Values whole, one, pieces, ya, yb;
  m.block(&st, 100, whole);
  if (exact) {
    ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
    for (int len : {1, 2, 3, 33, 61}) m.block(&st, len, pieces);
    EXPECT_EQ(pieces, whole);
    ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
    for (int i = 0; i < 100; ++i) one.push_back(m.single(&st));
    EXPECT_EQ(one, whole);
  }
  ASSERT_EQ(m.init(a, &st), KVO_StatusOk);
  m.block(&st, 7, ya);
  for (int i = 0; i < 3; ++i) m.single(&st);
  auto* b = new State;
  std::memcpy(static_cast<void*>(b), &st, sizeof st);
  for (int i = 0; i < 40; ++i) {
    ya.push_back(m.single(&st));
    yb.push_back(m.single(b));
  }
  m.block(&st, 50, ya);
  m.block(b, 50, yb);
  delete b;
  EXPECT_EQ(Values(ya.begin() + 7, ya.end()), yb);
  EXPECT_TRUE(reports().empty());
}

TEST_P(ToneTest, SinglesBlocksAndCopiesContinueOneSequence) {
  expectOneSequence(GetParam(), ToneArgs{0.0123, 0.7, 100.0}, true);
}

INSTANTIATE_TEST_SUITE_P(Members, ToneTest, ::testing::ValuesIn(toneMembers()),
                         [](const auto& info) { return std::string(info.param.name); });

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

class TrnglTest : public KvoTest, public ::testing::WithParamInterface<TrnglMember> {};

// The triangle's blocks and single calls round differently (its closed form, within float
// rounding, is in reference/gen_test.py), so only copies are compared.
TEST_P(TrnglTest, CopiedRecordsContinueTheSequence) {
  expectOneSequence(GetParam(), TrnglArgs{0.0371, 2.0, 3000.0, 1.0}, false);
}

INSTANTIATE_TEST_SUITE_P(
    Members, TrnglTest,
    ::testing::Values(KVO_TRNGL_MEMBER(s, float, float, float, false, 0),
                      KVO_TRNGL_MEMBER(c, ComplexFloat, float, float, true, 0),
                      KVO_TRNGL_MEMBER(d, double, double, double, false, 1),
                      KVO_TRNGL_MEMBER(z, ComplexDouble, double, double, true, 1),
                      KVO_TRNGL_MEMBER(w, short, float, short, false, 2),
                      KVO_TRNGL_MEMBER(v, ComplexShort, float, short, true, 2)),
    [](const auto& info) { return std::string(info.param.name); });

// The Init checks take the magnitude first, then frequency, phase (and asymmetry), then the
// record; the ranges are half-open: frequency [0, 0.5), phase [0, 2 pi), asymmetry [-pi, pi].
class GenInit : public KvoTest {};

TEST_F(GenInit, ChecksInTheirOrderAtTheBoundaries) {
  ToneState t;
  TrnglState g;
  const double below = std::nextafter(0.5, 0.0), twoPi = 2 * kPi;
  const struct {
    double f, ph, mag, asym;
    bool null;
    const char *tone, *trngl;  // null: accepted
  } cases[] = {
      {-0.1, -1, -1, 9, true, "Invalid magnitude value", "Invalid magnitude value"},
      {0.5, -1, 1, 9, true, "Invalid freq value", "Invalid frequence value"},
      {NAN, 0, 1, 0, false, "Invalid freq value", "Invalid frequence value"},
      {0.1, twoPi, 1, 9, true, "Invalid phase value", "Invalid phase value"},
      {0.1, -0.5, 1, 0, false, "Invalid phase value", "Invalid phase value"},
      {0.1, 1, 1, kPi, true, "Null pointer to state", "Invalid asymmetry value"},
      {0.1, 1, 1, -kPi, false, nullptr, "Invalid asymmetry value"},
      {0.1, 1, 1, 0, true, "Null pointer to state", "Null pointer to state"},
      {below, std::nextafter(twoPi, 0.0), -0.0, std::nextafter(kPi, 0.0), false, nullptr, nullptr},
      {0, 0, 0, -std::nextafter(kPi, 0.0), false, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.f << " " << c.ph << " " << c.mag << " " << c.asym);
    EXPECT_EQ(kvodToneInit(c.f, c.ph, c.mag, c.null ? nullptr : &t), c.tone ? -5 : 0);
    if (c.tone) expectReport(-5, "kvodToneInit", c.tone, "kvotone");
    kvodTrnglInit(c.f, c.ph, c.mag, c.asym, c.null ? nullptr : &g);
    if (c.trngl) expectReport(-5, "kvodTrnglInit", c.trngl, "kvotrngl");
    expectNoReport();
  }
  // A zero-filled record is not initialised, and a failed Init leaves it so.
  std::memset(static_cast<void*>(&t), 0, sizeof t);
  kvosToneInit(0.5f, 0, 1, &t);
  clearReports();
  EXPECT_EQ(kvosTone(&t), 0);
  expectReport(-5, "kvosTone", "Structure initialization need", "kvotone");
}

}  // namespace
