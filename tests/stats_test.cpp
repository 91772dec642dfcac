// Norms, normalisation, mean, mean square, extremes and dot products.
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

std::vector<short> randomShorts(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<short> v(n);
  for (auto& x : v) x = short(gen());
  return v;
}
std::vector<CS> randomComplexShorts(std::size_t n, unsigned seed) {
  const auto p = randomShorts(2 * n, seed);
  std::vector<CS> v(n);
  for (std::size_t k = 0; k < n; ++k) v[k] = {p[2 * k], p[2 * k + 1]};
  return v;
}

double relativeError(LD got, LD want) {
  return want == 0 ? double(std::fabs(got)) : double(std::fabs((got - want) / want));
}

// Calls f at every level and checks that all levels give the same bits; returns the result.
template <class F>
auto sameAtEveryLevel(F f) {
  decltype(f()) first{};
  bool have = false;
  forEachIsa([&] {
    const auto r = f();
    if (have) {
      EXPECT_TRUE(sameBits(r, first)) << "instruction-set levels differ";
    }
    first = r;
    have = true;
  });
  return first;
}

const int kLengths[] = {1, 3, 15, 16, 17, 33, 100, 1001};

// ---- argument checks ----

class StatsChecks : public KvoTest {};

TEST_F(StatsChecks, NormFlagsAndPointers) {
  const float a[] = {1, 2};
  EXPECT_EQ(kvosNorm(a, a, 0, KVO_NormL1), 0);
  expectReport(-5, "kvosNorm", "n<=0", "kvonorm");
  EXPECT_EQ(kvodNorm(nullptr, nullptr, 2, KVO_NormL1), 0);
  expectReport(-5, "kvodNorm", "srcA==0", "kvonorm");
  for (int flag : {0, 3, 5, 6, 7, 8, 16, 1 | 16, 2 | 32, -1, 4 | 8 | 64}) {
    EXPECT_EQ(kvosNorm(a, a, 2, flag), 0) << flag;
    expectReport(-5, "kvosNorm", "flag is wrong", "kvonorm");
  }
  const CS v[] = {{1, 2}};
  EXPECT_EQ(kvovNorm(v, nullptr, 1, 2 | 4), 0);
  expectReport(-5, "kvovNorm", "flag is wrong", "kvonorm");
  const short w[] = {1, 2};
  const CD z[] = {{1, 2}};
  for (int flag : {1, 2, 4, 9, 10, 12}) {
    kvowNorm(w, nullptr, 2, flag);
    kvozNorm(z, nullptr, 1, flag);
  }
  expectNoReport();
}

TEST_F(StatsChecks, Normalize) {
  const std::vector<float> src(3, 1);
  auto dst = sentinel<float>(3);
  kvosbNormalize(src.data(), dst.data(), 0, 0, 1);
  expectReport(-5, "kvosbNormalize", "n<=0", "kvonorm");
  kvosbNormalize(nullptr, dst.data(), 3, 0, 1);
  expectReport(-5, "kvosbNormalize", "src==0", "kvonorm");
  kvosbNormalize(src.data(), nullptr, 3, 0, 1);
  expectReport(-5, "kvosbNormalize", "dst==0", "kvonorm");
  kvosbNormalize(src.data(), dst.data(), 3, 0, -0.0f);
  expectReport(-5, "kvosbNormalize", "factor == 0", "kvonorm");
  EXPECT_TRUE(isSentinel(dst));
  auto v = sentinel<CS>(2);
  kvovbNormalize(v.data(), v.data(), 2, CS{1, 1}, 0.0f);
  expectReport(-5, "kvovbNormalize", "factor == 0", "kvonorm");
  auto z = sentinel<CD>(2);
  kvozbNormalize(nullptr, z.data(), 2, CD{0, 0}, 0.0);
  expectReport(-5, "kvozbNormalize", "src==0", "kvonorm");
  EXPECT_TRUE(isSentinel(v) && isSentinel(z));
}

TEST_F(StatsChecks, StatisticsGiveZeroAfterAFailedCheck) {
  const float f[] = {3};
  const short w[] = {3};
  EXPECT_EQ(kvosMean(f, 0), 0);
  expectReport(-5, "kvosMean", "len<=0", "kvovec");
  EXPECT_EQ(kvodMean(nullptr, 1), 0);
  expectReport(-5, "kvodMean", "vec==0", "kvovec");
  EXPECT_EQ(kvowMean(w, -1), 0);
  expectReport(-5, "kvowMean", "len<=0", "kvovec");
  EXPECT_EQ(kvosStdDev(nullptr, 0), 0);
  expectReport(-5, "kvosStdDev", "len<=0", "kvovec");
  EXPECT_EQ(kvowStdDev(w, 1, 4, nullptr), 0);
  expectReport(-5, "kvowStdDev", "scaleFactor==0", "kvovec");
  EXPECT_EQ(kvowStdDev(nullptr, 1, 4, nullptr), 0);
  expectReport(-5, "kvowStdDev", "vec==0", "kvovec");
  EXPECT_EQ(kvodMax(nullptr, 2), 0);
  expectReport(-5, "kvodMax", "vec==0", "kvovec");
  EXPECT_EQ(kvowMin(w, 0), 0);
  expectReport(-5, "kvowMin", "len<=0", "kvovec");
  EXPECT_EQ(kvowStdDev(w, 1, 5, nullptr), 9);  // only mode 4 needs the factor
  expectNoReport();
}

TEST_F(StatsChecks, DotProducts) {
  const float f[] = {1, 2};
  EXPECT_EQ(kvosDotProd(f, f, 0), 0);
  expectNoReport();
  EXPECT_EQ(kvosDotProd(f, f, -1), 0);
  expectReport(-5, "kvosDotProd", "Invalid value", "kvodotp");
  EXPECT_EQ(kvosDotProd(nullptr, f, -1), 0);  // pointers first
  expectReport(-5, "kvosDotProd", "Null buffer pointer", "kvodotp");
  EXPECT_TRUE(sameBits(kvoscDotProd(f, nullptr, 1), CF{0, 0}));
  expectReport(-5, "kvoscDotProd", "Null buffer pointer", "kvodotp");
  EXPECT_TRUE(sameBits(kvozdDotProd(nullptr, nullptr, 1), CD{0, 0}));
  expectReport(-5, "kvozdDotProd", "Null buffer pointer", "kvodotp");
  const short w[] = {1, 2};
  EXPECT_EQ(kvowDotProd(w, w, 2, 4, nullptr), 0);
  expectReport(-5, "kvowDotProd", "Null scale factor pointer", "kvodotpw");
  EXPECT_EQ(kvowDotProd(w, w, -2, 4, nullptr), 0);
  expectReport(-5, "kvowDotProd", "Invalid value", "kvodotpw");
  const CS v[] = {{1, 2}};
  EXPECT_TRUE(sameBits(kvovwDotProd(v, nullptr, 1, 0, nullptr), CS{0, 0}));
  expectReport(-5, "kvovwDotProd", "Null buffer pointer", "kvodotpw");
  int factor = 7;
  EXPECT_TRUE(sameBits(kvovDotProd(v, v, 0, 4, &factor), CS{0, 0}));
  EXPECT_EQ(factor, 0);
  expectNoReport();
}

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

TEST(StatsNormResults, AgainstLongDoubleAtEveryLevel) {
  for (int n : kLengths) {
    const auto a = randomReals<float>(n, 1), b = randomReals<float>(n, 2);
    const auto c = randomComplex<CD>(n, 3), e = randomComplex<CD>(n, 4);
    const auto w = randomShorts(n, 5), w2 = randomShorts(n, 6);
    const auto v = randomComplexShorts(n, 7), v2 = randomComplexShorts(n, 8);
    LD s1 = 0, s2 = 0, mx = 0, z1 = 0, z2 = 0, zmax = 0, v1 = 0, vsq = 0, vmax = 0;
    I64 w1 = 0, wsq = 0, wmax = 0;
    for (int k = 0; k < n; ++k) {
      const LD d = LD(a[k]) - b[k];
      s1 += std::fabs(d), s2 += d * d, mx = std::max<LD>(mx, std::fabs(float(a[k] - b[k])));
      const LD m = std::hypot(LD(c[k].re) - e[k].re, LD(c[k].im) - e[k].im);
      z1 += m, z2 += m * m, zmax = std::max(zmax, m);
      const I64 dw = I64{w[k]} - w2[k];
      w1 += std::abs(dw), wsq += dw * dw, wmax = std::max<I64>(wmax, std::abs(dw));
      const LD mv = std::hypot(LD(v[k].re) - v2[k].re, LD(v[k].im) - v2[k].im);
      v1 += mv, vsq += mv * mv, vmax = std::max(vmax, mv);
    }
    EXPECT_EQ(sameAtEveryLevel([&] { return kvosNorm(a.data(), b.data(), n, 1); }), float(mx));
    EXPECT_LE(
        relativeError(sameAtEveryLevel([&] { return kvosNorm(a.data(), b.data(), n, 2); }), s1),
        1e-7);
    EXPECT_LE(relativeError(sameAtEveryLevel([&] { return kvosNorm(a.data(), b.data(), n, 4); }),
                            std::sqrt(s2)),
              1e-7);
    for (int kind : {1, 2, 4}) {
      const LD want = kind == 1 ? zmax : kind == 2 ? z1 : std::sqrt(z2);
      EXPECT_LE(relativeError(
                    sameAtEveryLevel([&] { return kvozNorm(c.data(), e.data(), n, kind); }), want),
                1e-14)
          << kind;
      const double wantW = kind == 1 ? wmax : kind == 2 ? w1 : std::sqrt(double(wsq));
      EXPECT_EQ(kvowNorm(w.data(), w2.data(), n, kind), float(wantW)) << kind;
      const LD wantV = kind == 1 ? vmax : kind == 2 ? v1 : std::sqrt(vsq);
      EXPECT_LE(
          relativeError(sameAtEveryLevel([&] { return kvovNorm(v.data(), v2.data(), n, kind); }),
                        wantV),
          1e-6)
          << kind;
    }
    const LD rel =
        std::sqrt(z2) / std::sqrt(std::accumulate(e.begin(), e.end(), LD(0), [](LD s, CD x) {
          return s + LD(x.re) * x.re + LD(x.im) * x.im;
        }));
    EXPECT_LE(relativeError(kvozNorm(c.data(), e.data(), n, KVO_NormL2 | KVO_NormRelative), rel),
              1e-14);
  }
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

TEST(StatsNormalize, ShortEveryValueSeveralFactors) {
  std::vector<short> all(65536), out(65536);
  for (int k = 0; k < 65536; ++k) all[k] = short(k - 32768);
  for (float factor : {2.0f, -2.0f, 3.0f, 0.37f, 1e-3f, 4e-11f, 1e-30f, 1e30f}) {
    for (short offset : {short(0), short(-7), short(32767)}) {
      const double r = 1.0 / double(factor);
      forEachIsa([&] {
        kvowbNormalize(all.data(), out.data(), 65536, offset, factor);
        for (int k = 0; k < 65536; ++k) {
          const LD v = std::nearbyint(LD(double(I64{all[k]} - offset) * r));
          const short want = std::fabs(v) < 0x1p63L ? short(I64(v) & 0xFFFF) : short(0);
          ASSERT_EQ(out[k], want) << all[k] << " factor " << factor << " offset " << offset;
        }
      });
    }
  }
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

TEST(StatsMomentsResults, AgainstLongDoubleAtEveryLevel) {
  for (int n : kLengths) {
    const auto f = randomReals<float>(n, 9);
    auto d = randomReals<double>(n, 10);
    for (double& v : d) v = v * 1e6 + 1e-3;  // cancellation for a plain double sum
    LD sf = 0, sf2 = 0, sd = 0, sd2 = 0;
    for (int k = 0; k < n; ++k)
      sf += f[k], sf2 += LD(f[k]) * f[k], sd += d[k], sd2 += LD(d[k]) * d[k];
    EXPECT_LE(relativeError(sameAtEveryLevel([&] { return kvosMean(f.data(), n); }), sf / n),
              1e-6 * (1 + double(std::fabs(sf) > 0 ? 100 * n / std::fabs(sf) : 0)));
    EXPECT_EQ(sameAtEveryLevel([&] { return kvosStdDev(f.data(), n); }), float(sf2 / n));
    EXPECT_LE(relativeError(sameAtEveryLevel([&] { return kvodMean(d.data(), n); }), sd / n),
              3e-16);
    EXPECT_LE(relativeError(sameAtEveryLevel([&] { return kvodStdDev(d.data(), n); }), sd2 / n),
              3e-16);
  }
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
      const auto w = randomShorts(n, 13);
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

template <class A, class B>
std::complex<LD> referenceDot(const std::vector<A>& a, const std::vector<B>& b) {
  auto z = [](auto x) {
    if constexpr (std::is_arithmetic_v<decltype(x)>) {
      return std::complex<LD>(x, 0);
    } else {
      return std::complex<LD>(x.re, x.im);
    }
  };
  std::complex<LD> s = 0;
  for (std::size_t k = 0; k < a.size(); ++k) s += z(a[k]) * z(b[k]);
  return s;
}

template <class R, class A, class B>
void checkDot(R (*f)(const A*, const B*, int), const std::vector<A>& a, const std::vector<B>& b,
              double tolerance) {
  const int n = int(a.size());
  const R got = sameAtEveryLevel([&] { return f(a.data(), b.data(), n); });
  const auto want = referenceDot(a, b);
  LD scale = 0;  // errors are relative to the sum of magnitudes
  for (int k = 0; k < n; ++k)
    scale += std::abs(referenceDot(std::vector<A>{a[k]}, std::vector<B>{b[k]}));
  if constexpr (std::is_arithmetic_v<R>) {
    EXPECT_LE(std::fabs(got - want.real()), tolerance * scale + 1e-300) << n;
  } else {
    EXPECT_LE(std::fabs(got.re - want.real()), tolerance * scale + 1e-300) << n;
    EXPECT_LE(std::fabs(got.im - want.imag()), tolerance * scale + 1e-300) << n;
  }
}

TEST(StatsDotResults, AgainstLongDoubleAtEveryLevel) {
  for (int n : kLengths) {
    const auto s = randomReals<float>(n, 14), s2 = randomReals<float>(n, 15);
    const auto d = randomReals<double>(n, 16), d2 = randomReals<double>(n, 17);
    const auto c = randomComplex<CF>(n, 18), c2 = randomComplex<CF>(n, 19);
    const auto z = randomComplex<CD>(n, 20), z2 = randomComplex<CD>(n, 21);
    // Float results: the double sum rounds once to float.
    checkDot(kvosDotProd, s, s2, 1e-7);
    checkDot(kvocDotProd, c, c2, 1e-7);
    checkDot(kvoscDotProd, s, c, 1e-7);
    checkDot(kvocsDotProd, c, s, 1e-7);
    checkDot(kvodDotProd, d, d2, 1e-15);
    checkDot(kvozDotProd, z, z2, 1e-15);
    checkDot(kvodzDotProd, d, z, 1e-15);
    checkDot(kvozdDotProd, z, d, 1e-15);
  }
}

// The sum by the shared rules for 64-bit values: the auto factor from the larger part.
short store16(I64 v, int mode, int factor, int autoFactor) {
  if (mode == 4) return short(std::uint16_t(std::uint64_t(v >> autoFactor)));
  if (mode == 2 || mode == 3) {
    v = factor >= 0 ? v >> std::min(factor, 31) : v * (I64{1} << std::min(-factor, 15));
  }
  if (mode == 1 || mode == 3) return short(std::clamp<I64>(v, -32768, 32767));
  return short(std::uint16_t(std::uint64_t(v)));
}
int autoFactorOf(I64 a, I64 b) {
  I64 m = std::max({a, -a, b, -b});
  if (std::max(a, b) <= 32767 && std::min(a, b) >= -32768) return 0;
  int p = -1;
  while (m) ++p, m >>= 1;
  return p - 14;
}

TEST(StatsDotResults, ShortProductsSumExactlyEveryMode) {
  for (int n : {1, 7, 8, 9, 31, 33, 1000, 70001}) {
    auto w = randomShorts(n, 22), w2 = randomShorts(n, 23);
    auto v = randomComplexShorts(n, 24), v2 = randomComplexShorts(n, 25);
    if (n == 70001) {  // every product at its extreme: sums far beyond 32 bits
      std::fill(w.begin(), w.end(), -32768);
      std::fill(w2.begin(), w2.end(), -32768);
      std::fill(v.begin(), v.end(), CS{-32768, -32768});
      std::fill(v2.begin(), v2.end(), CS{-32768, -32768});
    }
    I64 ww = 0, vvRe = 0, vvIm = 0, wvRe = 0, wvIm = 0;
    for (int k = 0; k < n; ++k) {
      ww += I64{w[k]} * w2[k];
      vvRe += I64{v[k].re} * v2[k].re - I64{v[k].im} * v2[k].im;
      vvIm += I64{v[k].re} * v2[k].im + I64{v[k].im} * v2[k].re;
      wvRe += I64{w[k]} * v2[k].re;
      wvIm += I64{w[k]} * v2[k].im;
    }
    forEachIsa([&] {
      for (int mode = -1; mode <= 5; ++mode) {
        for (int s : {-3, 0, 2, 17, 40}) {
          int f1 = s, f2 = s, f3 = s, f4 = s;
          const short r = kvowDotProd(w.data(), w2.data(), n, mode, &f1);
          const CS rv = kvovDotProd(v.data(), v2.data(), n, mode, &f2);
          const CS rwv = kvowvDotProd(w.data(), v2.data(), n, mode, &f3);
          const CS rvw = kvovwDotProd(v2.data(), w.data(), n, mode, &f4);
          ASSERT_EQ(r, store16(ww, mode, s, autoFactorOf(ww, 0))) << n << " mode " << mode;
          const int av = autoFactorOf(vvRe, vvIm), awv = autoFactorOf(wvRe, wvIm);
          ASSERT_EQ(rv.re, store16(vvRe, mode, s, av)) << n << " mode " << mode;
          ASSERT_EQ(rv.im, store16(vvIm, mode, s, av)) << n << " mode " << mode;
          ASSERT_EQ(rwv.re, store16(wvRe, mode, s, awv)) << n << " mode " << mode;
          ASSERT_EQ(rwv.im, store16(wvIm, mode, s, awv));
          ASSERT_TRUE(sameBits(rwv, rvw));
          if (mode == 4) {
            ASSERT_EQ(f1, autoFactorOf(ww, 0));
            ASSERT_EQ(f2, av);
          }
        }
      }
    });
  }
}

}  // namespace
