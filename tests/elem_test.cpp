// Element functions: Sqr, Sqrt, Thresh, InvThresh and Abs on special values and against long
// double. The 16-bit members over every value and scale mode are in reference/vector16_test.py,
// the float and double logarithm and exponential in lnexp_ulp_test.cpp.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

const float kInfF = std::numeric_limits<float>::infinity();
const double kInf = std::numeric_limits<double>::infinity();

// Distance in units of the last place of the correctly rounded result.
template <class T>
double ulps(T got, LD want) {
  const T w = T(want);
  if (std::isnan(want)) return std::isnan(got) ? 0 : 1e9;
  if (std::isinf(w)) return got == w ? 0 : 1e9;
  const LD ulp = std::max<LD>(std::nextafter(std::fabs(w), T(INFINITY)) - std::fabs(w),
                              std::numeric_limits<T>::denorm_min());
  return double(std::fabs(LD(got) - want) / ulp);
}

// ---- Sqr ----

TEST(ElemSqr, ComplexSquaresRoundOnce) {
  const auto c = randomOf<CF>(37, 2);
  std::vector<CF> cy = c;
  kvocbSqr1(cy.data(), 37);
  for (int k = 0; k < 37; ++k) {
    ASSERT_EQ(cy[k].re, float(LD(c[k].re) * c[k].re - LD(c[k].im) * c[k].im));
    ASSERT_EQ(cy[k].im, float(2 * LD(c[k].re) * c[k].im));
  }
  // (1 + e)^2 - 1: the real part survives the cancellation.
  const double e = std::ldexp(1.0, -30);
  std::vector<CD> z = {{1 + e, 1}};
  kvozbSqr1(z.data(), 1);
  EXPECT_TRUE(sameBits(z[0], CD{2 * e + e * e, 2 * (1 + e)}));
}

// ---- Sqrt ----

class ElemSqrt : public KvoTest {};

TEST_F(ElemSqrt, NegativeElementsAreSkippedAndReportedOnce) {
  std::vector<float> v = {4, -1, 9, -0.0f, -std::nanf(""), std::nanf("")};
  kvosbSqrt1(v.data(), 6);
  expectReport(-5, "kvosbSqrt1", "Element of input vector is negative", "kvovec");
  EXPECT_EQ(v[0], 2);
  EXPECT_EQ(v[1], -1);
  EXPECT_TRUE(sameBits(v[3], -0.0f));
  EXPECT_TRUE(std::isnan(v[4]) && std::signbit(v[4]) && std::isnan(v[5]));
  const std::vector<double> src = {-4, 16, -kInf, kInf};
  std::vector<double> dst(4, 7.5);
  kvodbSqrt2(src.data(), dst.data(), 4);
  expectReport(-5, "kvodbSqrt2", "Element of input vector is negative", "kvovec");
  EXPECT_EQ(dst, (std::vector<double>{7.5, 4, 7.5, kInf}));  // skipped destinations untouched
  std::vector<short> w = {17, -4};
  kvowbSqrt1(w.data(), 2);
  expectReport(-5, "kvowbSqrt1", "Element of input vector is negative", "kvovec");
  EXPECT_EQ(w, (std::vector<short>{4, 0}));
  // Negative elements anywhere in long vectors, at every level.
  forEachIsa([&] {
    for (int n : {37, 64, 100}) {
      std::vector<float> x(n), y(n, 7.0f);
      for (int k = 0; k < n; ++k) x[k] = float(k * k);
      x[n / 3] = -2;
      x[n - 2] = -std::nanf("");
      kvosbSqrt2(x.data(), y.data(), n);
      expectReport(-5, "kvosbSqrt2", "Element of input vector is negative", "kvovec");
      for (int k = 0; k < n; ++k) ASSERT_EQ(y[k], k == n / 3 || k == n - 2 ? 7.0f : float(k)) << k;
    }
  });
  // The roots are the processor's correctly rounded ones.
  auto x = randomOf<double>(1003, 4);
  for (double& a : x) a = std::fabs(a) * std::exp2(a / 4);
  std::vector<float> xf(x.begin(), x.end()), yf(x.size());
  std::vector<double> y(x.size());
  kvodbSqrt2(x.data(), y.data(), int(x.size()));
  kvosbSqrt2(xf.data(), yf.data(), int(x.size()));
  for (std::size_t k = 0; k < x.size(); ++k) {
    ASSERT_EQ(y[k], std::sqrt(x[k]));
    ASSERT_EQ(yf[k], float(std::sqrt(double(xf[k]))));
  }
  expectNoReport();
}

TEST_F(ElemSqrt, ComplexPrincipalRoots) {
  auto c = randomOf<CD>(501, 5);
  c[0] = {-4, 0};
  c[1] = {-4, -0.0};  // -0 imaginary part counts as zero: no sign change
  c[2] = {0, -2};
  c[3] = {1e300, 1e300};  // scaled, no overflow
  c[4] = {3e-310, -1e-310};
  c[5] = {-kInf, 2};
  c[6] = {std::nan(""), -kInf};
  std::vector<CF> cf(c.size());
  for (std::size_t k = 0; k < c.size(); ++k) cf[k] = {float(c[k].re), float(c[k].im)};
  std::vector<CD> r(c.size());
  std::vector<CF> rf(c.size());
  kvozbSqrt2(c.data(), r.data(), int(c.size()));
  kvocbSqrt2(cf.data(), rf.data(), int(c.size()));
  for (std::size_t k = 0; k < c.size(); ++k) {
    const auto want = std::sqrt(std::complex<LD>(c[k].re, c[k].im == 0 ? 0.0L : c[k].im));
    ASSERT_LE(ulps(r[k].re, want.real()), 2.0) << k;
    ASSERT_LE(ulps(r[k].im, want.imag()), 2.0) << k;
    const auto wantF = std::sqrt(std::complex<LD>(cf[k].re, cf[k].im == 0 ? 0.0L : cf[k].im));
    ASSERT_LE(ulps(rf[k].re, wantF.real()), 1.0) << k;
    ASSERT_LE(ulps(rf[k].im, wantF.imag()), 1.0) << k;
  }
  EXPECT_TRUE(sameBits(r[0], CD{0, 2}) && sameBits(r[1], CD{0, 2}) && sameBits(r[2], CD{1, -1}));
  // 16-bit roots truncated: 82.4.. and -198.9.. for (-32768, -32768).
  std::vector<CS> s = {{-4, 0}, {3, 4}, {0, -8}, {-32768, -32768}, {0, 0}};
  kvovbSqrt1(s.data(), 5);
  expectNoReport();
  const std::vector<CS> want = {{0, 2}, {2, 1}, {2, -2}, {82, -198}, {0, 0}};
  EXPECT_TRUE(sameBits(s, want));
}

// ---- Thresh, InvThresh, Abs ----

TEST(ElemThresh, RealClipping) {
  std::vector<float> v = {-3, 0.5f, -1};
  kvosbThresh1(v.data(), 3, -1, KVO_LT);
  EXPECT_EQ(v, (std::vector<float>{-1, 0.5f, -1}));
  const std::vector<float> src = {-0.0f, 0.0f, 2, -kInfF, kInfF};
  std::vector<float> dst(5);
  kvosbThresh2(src.data(), dst.data(), 5, 0.0f, KVO_LT);  // -0 is not below +0
  EXPECT_TRUE(sameBits(dst[0], -0.0f) && dst[3] == 0);
  kvosbThresh2(src.data(), dst.data(), 5, -0.0f, 7);  // any nonzero relOp lowers
  EXPECT_TRUE(sameBits(dst[1], 0.0f) && dst[2] == 0 && dst[4] == 0 && dst[3] == -kInfF);
  std::vector<double> d = {1, 5, 3};
  kvodbThresh1(d.data(), 3, 3, KVO_GT);
  EXPECT_EQ(d, (std::vector<double>{1, 3, 3}));
  // NaNs lie beyond the infinities: +NaN above everything, -NaN below.
  const float n = std::nanf("");
  std::vector<float> nans = {n, -n, 1};
  kvosbThresh1(nans.data(), 3, 5, KVO_GT);
  EXPECT_TRUE(nans[0] == 5 && std::isnan(nans[1]));
  kvosbThresh1(nans.data(), 3, 0, KVO_LT);
  EXPECT_EQ(nans[1], 0);
}

TEST(ElemThresh, ComplexMagnitudeClipping) {
  std::vector<CF> c = {{0, 0}, {1, 0}, {3, 4}, {0, -1}};
  kvocbThresh1(c.data(), 4, 2, KVO_LT);
  EXPECT_TRUE(sameBits(c, std::vector<CF>{{2, 0}, {2, 0}, {3, 4}, {0, -2}}));
  c[2] = {3, -4};
  kvocbThresh1(c.data(), 4, 1, KVO_GT);
  EXPECT_TRUE(c[2].re == 0.6f && c[2].im == -0.8f);
  // Double data: magnitudes whose square overflows or underflows.
  std::vector<CD> z = {{3e200, 4e200}, {3e-170, 4e-170}, {0, 1e-300}};
  kvozbThresh1(z.data(), 3, 10, KVO_GT);
  EXPECT_DOUBLE_EQ(z[0].re, 6);
  EXPECT_DOUBLE_EQ(z[0].im, 8);
  kvozbThresh1(z.data(), 3, 1, KVO_LT);
  EXPECT_TRUE(sameBits(z[1], CD{1, 0}) && sameBits(z[2], CD{1, 0}));  // subnormal: no phase
  std::vector<CS> s = {{3, 4}, {0, 0}, {-300, 400}, {1, -1}};
  kvovbThresh1(s.data(), 4, short(100), KVO_GT);
  EXPECT_TRUE(s[2].re == -60 && s[2].im == 80);
  kvovbThresh1(s.data(), 4, short(10), KVO_LT);
  EXPECT_TRUE(sameBits(s, std::vector<CS>{{6, 8}, {10, 0}, {-60, 80}, {7, -7}}));  // truncated
}

class ElemInvThresh : public KvoTest {};

TEST_F(ElemInvThresh, FloorZeroThresholdAndThePhaseOfTheInverse) {
  std::vector<float> v = {0.25f, -0.25f, 4, -0.0f};
  kvosbInvThresh1(v.data(), 4, 0.5f);
  EXPECT_EQ(v, (std::vector<float>{2, -2, 0.25f, 2}));  // -0 counts as positive
  std::vector<float> z = {0, 2, -0.0f};
  kvosbInvThresh1(z.data(), 3, 0);
  expectReport(-5, "kvosbInvThresh1", "zero element and zero thresh", "kvovec");
  EXPECT_EQ(z, (std::vector<float>{FLT_MAX, 0.5f, FLT_MAX}));
  std::vector<double> dz = {0.0, -1e-300};
  kvodbInvThresh1(dz.data(), 2, -0.0);
  expectReport(-5, "kvodbInvThresh1", "zero element and zero thresh", "kvovec");
  EXPECT_TRUE(dz[0] == DBL_MAX && dz[1] == 1 / -1e-300);
  std::vector<CF> c = {{3, 4}, {0.3f, 0.4f}, {0, 0}, {0, -2}};
  kvocbInvThresh1(c.data(), 4, 1);
  expectNoReport();
  // (3 - 4i) / 25; magnitude 1 with the phase of 1/x; below the floor.
  EXPECT_TRUE(sameBits(c, std::vector<CF>{{0.12f, -0.16f}, {0.6f, -0.8f}, {1, 0}, {0, 0.5f}}));
  std::vector<CF> zero = {{0, -0.0f}, {2, 0}};
  kvocbInvThresh1(zero.data(), 2, 1e-40f);  // a subnormal threshold counts as zero
  expectReport(-5, "kvocbInvThresh1", "zero element and zero thresh", "kvovec");
  EXPECT_TRUE(sameBits(zero, std::vector<CF>{{FLT_MAX, 0}, {0.5f, -0.0f}}));
  // Double data far from 1 in magnitude, against long double.
  const std::vector<CD> x = {{1e300, -2e300}, {3e-300, 4e-300}, {5e-320, 0}, {1, 1}};
  std::vector<CD> r(x.size());
  kvozbInvThresh2(x.data(), r.data(), 4, 0.0);
  expectNoReport();
  for (std::size_t k = 0; k < x.size(); ++k) {
    const std::complex<LD> want = LD(1) / std::complex<LD>(x[k].re, x[k].im);
    EXPECT_LE(ulps(r[k].re, want.real()), 1.0) << k;
    EXPECT_LE(ulps(r[k].im, want.imag()), 1.0) << k;
  }
  kvozbInvThresh2(x.data(), r.data(), 4, 1e-299);
  EXPECT_NEAR(std::hypot(r[1].re, r[1].im), 1e299, 1e285);  // |x| = 5e-300 below the floor
  EXPECT_NEAR(r[1].re / r[1].im, -0.75, 1e-15);
}

TEST(ElemAbs, SignBitsAndSaturation) {
  std::vector<float> f = {-0.0f, -kInfF, -std::nanf(""), -2.5f};
  kvosbAbs1(f.data(), 4);
  EXPECT_TRUE(sameBits(f[0], 0.0f) && f[1] == kInfF && !std::signbit(f[2]) && f[3] == 2.5f);
  std::vector<double> d = {-1e-310, 3};
  kvodbAbs1(d.data(), 2);
  EXPECT_EQ(d[0], 1e-310);
}

}  // namespace
