// Norms, normalisation, mean, mean square, extremes and dot products: worked and limiting cases.
// Float and double values against numpy are in reference/vector_numpy_test.py, the 16-bit members
// exactly in reference/vector16_test.py.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

const int kLengths[] = {1, 3, 15, 16, 17, 33, 100, 1001};

// ---- norms ----

class StatsNorm : public KvoTest {};

TEST_F(StatsNorm, WorkedCases) {
  const float x[] = {3, -4};
  EXPECT_EQ(kvosNorm(x, nullptr, 2, KVO_NormMax), 4);
  EXPECT_EQ(kvosNorm(x, nullptr, 2, KVO_NormL1), 7);
  EXPECT_EQ(kvosNorm(x, nullptr, 2, KVO_NormL2), 5);
  EXPECT_EQ(kvosNorm(x, nullptr, 2, KVO_NormL2 | KVO_NormRelative), 1);
  EXPECT_EQ(kvosNorm(x, x, 2, KVO_NormL1 | KVO_NormRelative), 0);
  const float y[] = {0, -1};
  EXPECT_EQ(kvosNorm(x, y, 2, KVO_NormMax | KVO_NormRelative), 3);
  EXPECT_EQ(kvosNorm(x, y, 2, KVO_NormL2 | KVO_NormRelative), float(std::sqrt(18.0)));
  const CF c[] = {{3, 4}, {0, -1}};
  EXPECT_EQ(kvocNorm(c, nullptr, 2, KVO_NormMax), 5);
  EXPECT_EQ(kvocNorm(c, nullptr, 2, KVO_NormL1), 6);
  EXPECT_EQ(kvocNorm(c, nullptr, 2, KVO_NormL2), float(std::sqrt(26.0)));
  const CS v[] = {{3, 4}, {-32768, -32768}};
  EXPECT_EQ(kvovNorm(v, nullptr, 2, KVO_NormL2), float(std::sqrt(25.0 + 2 * 1073741824.0)));
  const short w[] = {-32768, 32767}, w0[] = {32767, -32768};
  EXPECT_EQ(kvowNorm(w, w0, 2, KVO_NormMax), 65535);  // exact differences
  EXPECT_EQ(kvowNorm(w, w0, 2, KVO_NormL1), 131070);
  expectNoReport();
}

TEST_F(StatsNorm, RelativeLimits) {
  const float a[] = {1e-30f, 0}, b[] = {2e-30f, 0}, zero[] = {0, 0}, one[] = {1, 0};
  // The limit applies to the raw norm, for L2 the sum of squares: 1e-60 is below the smallest
  // normal float, so the relative L2 norm is 0 where the L1 one is 1/2.
  EXPECT_EQ(kvosNorm(a, b, 2, KVO_NormL2 | KVO_NormRelative), 0);
  EXPECT_EQ(kvosNorm(a, b, 2, KVO_NormL1 | KVO_NormRelative), 0.5f);
  // A zero reference norm gives the largest finite value (its root for L2).
  EXPECT_EQ(kvosNorm(one, zero, 2, KVO_NormL1 | KVO_NormRelative), FLT_MAX);
  EXPECT_EQ(kvosNorm(one, zero, 2, KVO_NormL2 | KVO_NormRelative),
            float(std::sqrt(double(FLT_MAX))));
  const double d1[] = {1}, d0[] = {0}, tiny[] = {1e-310};
  EXPECT_EQ(kvodNorm(d1, d0, 1, KVO_NormMax | KVO_NormRelative), DBL_MAX);
  EXPECT_EQ(kvodNorm(tiny, d0, 1, KVO_NormMax | KVO_NormRelative), 0);
  EXPECT_EQ(kvodNorm(d1, tiny, 1, KVO_NormL1 | KVO_NormRelative), DBL_MAX);
  expectNoReport();
}

TEST(StatsNormResults, FloatMaximumComparesBitPatterns) {
  const float nan = std::nanf("");
  const float a[] = {1, -nan, -std::numeric_limits<float>::infinity()};
  EXPECT_TRUE(std::isnan(kvosNorm(a, nullptr, 3, KVO_NormMax)));  // a NaN's pattern is largest
  EXPECT_EQ(kvosNorm(a + 2, nullptr, 1, KVO_NormMax), std::numeric_limits<float>::infinity());
}

// ---- normalisation ----

TEST(StatsNormalize, FloatingPointAndShortRounding) {
  forEachIsa([] {
    const std::vector<short> w = {3, 5, -3, -5, 7};
    std::vector<short> out(5);
    kvowbNormalize(w.data(), out.data(), 5, 0, 2.0f);
    EXPECT_EQ(out, (std::vector<short>{2, 2, -2, -2, 4}));  // 1.5 and 2.5 round to even
    kvowbNormalize(w.data(), out.data(), 5, -32768, 0.5f);  // 2 * 32771 wraps
    EXPECT_EQ(out[0], short(2 * 32771 - 65536));
    std::vector<CS> v = {{10, -10}, {1, 2}};
    kvovbNormalize(v.data(), v.data(), 2, CS{2, -2}, -4.0f);
    EXPECT_TRUE(sameBits(v[0], CS{-2, 2}) && sameBits(v[1], CS{0, -1}));  // 0.25 and -1
    std::vector<float> f = {4, -2, 1.5f};
    kvosbNormalize(f.data(), f.data(), 3, 1.5f, -0.5f);
    EXPECT_EQ(f, (std::vector<float>{-5, 7, 0}));
    std::vector<CD> z = {{3, -1}, {1, 1}};
    kvozbNormalize(z.data(), z.data(), 2, CD{1, -1}, 4);
    EXPECT_TRUE(sameBits(z[0], CD{0.5, 0}) && sameBits(z[1], CD{0, 0.5}));
  });
}

// ---- mean, mean square, extremes ----

class StatsMoments : public KvoTest {};

TEST_F(StatsMoments, MeansAndMeanSquares) {
  const float x[] = {1, 3};
  EXPECT_EQ(kvosStdDev(x, 2), 5);  // the mean square, not the deviation
  EXPECT_EQ(kvosMean(x, 2), 2);
  const short w[] = {-3, 0};
  EXPECT_EQ(kvowMean(w, 2), -1);  // -1.5 truncated toward zero
  // 16-bit sums beyond 32 bits stay exact.
  const std::vector<short> big(70001, -32768);
  EXPECT_EQ(kvowMean(big.data(), 70001), -32768);
  int factor = 0;
  EXPECT_EQ(kvowStdDev(big.data(), 70001, 4, &factor), 16384);  // 2^30 >> 16
  EXPECT_EQ(factor, 16);
  EXPECT_EQ(kvowStdDev(big.data(), 70001, 1, nullptr), 32767);
  factor = 15;
  EXPECT_EQ(kvowStdDev(big.data(), 70001, 2, &factor), 32768 - 65536);
  // Double sums carry their rounding errors: 1e16 + 1 - 1e16 is 1.
  const double ill[] = {1e16, 1, -1e16, 2};
  EXPECT_EQ(kvodMean(ill, 4), 0.75);
  const double sq[] = {1e8 + 1, 1e-8};
  EXPECT_EQ(kvodStdDev(sq, 2), double((LD(1e8 + 1) * (1e8 + 1) + LD(1e-8) * 1e-8) / 2));
  expectNoReport();
}

TEST(StatsMomentsResults, Extremes) {
  const float nan = std::nanf("");
  forEachIsa([&] {
    for (int n : kLengths) {
      const auto f = randomReals<float>(n, 11);
      EXPECT_EQ(kvosMax(f.data(), n), *std::max_element(f.begin(), f.end()));
      EXPECT_EQ(kvosMin(f.data(), n), *std::min_element(f.begin(), f.end()));
      const auto d = randomReals<double>(n, 12);
      EXPECT_EQ(kvodMax(d.data(), n), *std::max_element(d.begin(), d.end()));
      EXPECT_EQ(kvodMin(d.data(), n), *std::min_element(d.begin(), d.end()));
      const auto w = randomOf<short>(n, 13);
      EXPECT_EQ(kvowMax(w.data(), n), *std::max_element(w.begin(), w.end()));
      EXPECT_EQ(kvowMin(w.data(), n), *std::min_element(w.begin(), w.end()));
    }
    const float zeros[] = {-0.0f, 0.0f, -0.0f};
    EXPECT_TRUE(sameBits(kvosMax(zeros, 3), 0.0f));
    EXPECT_TRUE(sameBits(kvosMin(zeros + 1, 2), -0.0f));
    std::vector<double> withNaN(40, 1.0);
    withNaN[17] = -std::nan("");
    withNaN[30] = std::nan("");
    withNaN[3] = std::numeric_limits<double>::infinity();
    const double m = kvodMax(withNaN.data(), 40);
    EXPECT_TRUE(std::isnan(m) && std::signbit(m));  // the first NaN
    const float fn[] = {1, nan, -5};
    EXPECT_TRUE(std::isnan(kvosMin(fn, 3)));
  });
}

// ---- dot products ----

class StatsDot : public KvoTest {};

TEST_F(StatsDot, NoConjugation) {
  const CF i[] = {{0, 1}};
  EXPECT_TRUE(sameBits(kvocDotProd(i, i, 1), CF{-1, 0}));
  const CD a[] = {{1, 2}, {3, -4}};
  const double r[] = {2, -1};
  EXPECT_TRUE(sameBits(kvozdDotProd(a, r, 2), CD{-1, 8}));
  EXPECT_TRUE(sameBits(kvodzDotProd(r, a, 2), CD{-1, 8}));
  const CS v[] = {{0, 1}};
  EXPECT_TRUE(sameBits(kvovDotProd(v, v, 1, 0, nullptr), CS{-1, 0}));
  expectNoReport();
}

}  // namespace
