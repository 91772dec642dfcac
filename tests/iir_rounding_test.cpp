// Float IIR blocks round their states on the bits and fall back to the conversions where that
// would differ: ties, values beyond the float range and values the flush to zero takes. Each case
// drives one of these through the block kernels and checks them against one-sample calls, which
// always convert, at every instruction-set level.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/kvo_test.h"

namespace {

using namespace kvotest;

struct RoundingCase {
  const char* name;
  bool bq;
  int count;                 // sections or order
  std::vector<double> taps;  // as passed to InitBq / Init
  double first, rest;        // the input: one value, then `rest` repeated
};

// Sections of b = (1, 0, 0), a = (1, a1, a2).
std::vector<double> sections(int quads, double a1, double a2) {
  std::vector<double> t(6 * quads, 0.0);
  for (int j = 0; j < quads; ++j) t[6 * j] = t[6 * j + 3] = 1, t[6 * j + 4] = a1, t[6 * j + 5] = a2;
  return t;
}

// a1 = -2^-24: with w1 = 1 the state 1 + 2^-24 lies halfway between two floats and rounds to
// even (1), where rounding half up would give 1 + 2^-23 and change every later output.
const double kHalfUlp = std::ldexp(1.0, -24);

std::vector<RoundingCase> roundingCases() {
  const double big = 3e38, tiny = 1e-30;
  return {
      {"TieOneSection", true, 1, sections(1, -kHalfUlp, 0), 1, 1},
      {"TieTwoGroups", true, 5, sections(5, -kHalfUlp, 0), 1, 1},
      {"TieDirect", false, 2, {1, 0, 0, 1, -kHalfUlp, 0}, 1, 1},
      {"BeyondFloatRange", true, 1, sections(1, -1.9, 0.95), big, 0},
      {"BeyondFloatRangeDirect", false, 2, {1, 0, 0, 1, -1.9, 0.95}, big, 0},
      {"FlushedToZero", true, 6, sections(6, -1.2, 0.5), tiny, 0},
      {"FlushedToZeroDirect",
       false,
       8,
       {1, 0, 0, 0, 0, 0, 0, 0, 0, 1, -0.9, 0, 0, 0, 0, 0, 0, 0},
       tiny,
       0},
  };
}

class IirRounding : public KvoTest, public ::testing::WithParamInterface<RoundingCase> {};

TEST_P(IirRounding, BlocksEqualSamples) {
  const RoundingCase& k = GetParam();
  const int n = 400, order = k.bq ? 2 * k.count : k.count;
  std::vector<float> taps(k.taps.begin(), k.taps.end()), x(n, float(k.rest));
  x[0] = float(k.first);
  IirTapState ts{};
  (k.bq ? kvosIirlInitBq : kvosIirlInit)(0, taps.data(), k.count, &ts);
  std::vector<float> d1(order), d2(order), want(n);
  IirDlyState ds1{}, ds2{};
  kvosIirlInitDlyl(&ts, d1.data(), &ds1);
  for (int i = 0; i < n; ++i) want[i] = kvosIirl(&ts, &ds1, x[i]);
  forEachIsa([&] {
    kvosIirlInitDlyl(&ts, d2.data(), &ds2);
    std::vector<float> got(n);
    kvosbIirl(&ts, &ds2, x.data(), got.data(), n);
    for (int i = 0; i < n; ++i) ASSERT_TRUE(sameBits(got[i], want[i])) << "sample " << i;
    EXPECT_TRUE(sameBits(d1, d2));
  });
  expectNoReport();
}

INSTANTIATE_TEST_SUITE_P(All, IirRounding, ::testing::ValuesIn(roundingCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
