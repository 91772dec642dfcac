// Element functions: Sqr, Sqrt, Thresh, InvThresh, Abs, Ln and Exp.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

const float kInfF = std::numeric_limits<float>::infinity();
const double kInf = std::numeric_limits<double>::infinity();

short low16(I64 v) { return short(std::uint16_t(std::uint64_t(v) & 0xFFFF)); }
short clamp16(I64 v) { return short(std::clamp<I64>(v, -32768, 32767)); }

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

// ---- argument checks ----

class ElemChecks : public KvoTest {
 protected:
  template <class T, class... Extra>
  void forms(void (*f1)(T*, int, Extra...), void (*f2)(const T*, T*, int, Extra...), const char* n1,
             const char* n2, const char* module, Extra... extra) {
    auto v = sentinel<T>(3);
    f1(v.data(), 0, extra...);
    expectReport(-5, n1, "len<=0", module);
    f1(nullptr, 3, extra...);
    expectReport(-5, n1, "vec==0", module);
    f2(v.data(), v.data(), -1, extra...);
    expectReport(-5, n2, "len<=0", module);
    f2(nullptr, v.data(), 3, extra...);
    expectReport(-5, n2, "src==0", module);
    f2(v.data(), nullptr, 3, extra...);
    expectReport(-5, n2, "dst==0", module);
    EXPECT_TRUE(isSentinel(v));
  }
};
#define FORMS(f, module, ...) forms(f##1, f##2, #f "1", #f "2", module __VA_OPT__(, ) __VA_ARGS__)

TEST_F(ElemChecks, LengthAndPointersEveryFamily) {
  FORMS(kvosbSqr, "kvovec");
  FORMS(kvocbSqr, "kvovec");
  FORMS(kvodbSqr, "kvovec");
  FORMS(kvozbSqr, "kvovec");
  FORMS(kvowbSqr, "kvovec", 0, (int*)nullptr);
  FORMS(kvovbSqr, "kvovec", 0, (int*)nullptr);
  FORMS(kvosbSqrt, "kvovec");
  FORMS(kvocbSqrt, "kvovec");
  FORMS(kvodbSqrt, "kvovec");
  FORMS(kvozbSqrt, "kvovec");
  FORMS(kvowbSqrt, "kvovec");
  FORMS(kvovbSqrt, "kvovec");
  FORMS(kvosbThresh, "kvovec", 1.0f, 0);
  FORMS(kvodbThresh, "kvovec", 1.0, 1);
  FORMS(kvowbThresh, "kvovec", short(1), 0);
  FORMS(kvocbThresh, "kvovec", 1.0f, 0);
  FORMS(kvozbThresh, "kvovec", 1.0, 0);
  FORMS(kvovbThresh, "kvovec", short(1), 0);
  FORMS(kvosbInvThresh, "kvovec", 1.0f);
  FORMS(kvodbInvThresh, "kvovec", 1.0);
  FORMS(kvocbInvThresh, "kvovec", 1.0f);
  FORMS(kvozbInvThresh, "kvovec", 1.0);
  FORMS(kvosbAbs, "kvovec");
  FORMS(kvodbAbs, "kvovec");
  FORMS(kvowbAbs, "kvovec");
  FORMS(kvosbLn, "kvolnexp");
  FORMS(kvodbLn, "kvolnexp");
  FORMS(kvosbExp, "kvolnexp");
  FORMS(kvodbExp, "kvolnexp");
  FORMS(kvowbExp, "kvolnexw", 4, (int*)nullptr);  // no factor check in the exponential
  // The 16-bit logarithm's in-place form words its messages its own way.
  auto v = sentinel<short>(2);
  kvowbLn1(v.data(), 0);
  expectReport(-5, "kvowbLn1", "Len<=0", "kvolnexw");
  kvowbLn1(nullptr, 2);
  expectReport(-5, "kvowbLn1", "Vector==0", "kvolnexw");
  kvowbLn2(nullptr, v.data(), 2);
  expectReport(-5, "kvowbLn2", "src==0", "kvolnexw");
  EXPECT_TRUE(isSentinel(v));
}

TEST_F(ElemChecks, ScaleFactorAndThresholdsAfterThePointers) {
  auto w = sentinel<short>(2);
  auto v = sentinel<CS>(2);
  kvowbSqr1(w.data(), 2, 4, nullptr);
  expectReport(-5, "kvowbSqr1", "scaleFactor==0", "kvovec");
  kvowbSqr2(w.data(), w.data(), 2, 7, nullptr);  // the auto bit decides
  expectReport(-5, "kvowbSqr2", "scaleFactor==0", "kvovec");
  kvowbSqr2(nullptr, w.data(), 2, 4, nullptr);
  expectReport(-5, "kvowbSqr2", "src==0", "kvovec");
  kvovbSqr1(v.data(), 2, 5, nullptr);
  expectReport(-5, "kvovbSqr1", "scaleFactor==0", "kvovec");
  EXPECT_TRUE(isSentinel(w) && isSentinel(v));
  std::vector<CS> ok = {{300, 0}, {1, 1}};
  kvovbSqr2(ok.data(), ok.data(), 2, 4, nullptr);  // unchecked: runs, reports no factor
  expectNoReport();
  EXPECT_EQ(ok[0].re, 90000 >> 2);

  auto c = sentinel<CF>(2);
  auto z = sentinel<CD>(2);
  auto s = sentinel<float>(2);
  auto d = sentinel<double>(2);
  kvocbThresh1(c.data(), 2, -1.0f, 0);
  expectReport(-5, "kvocbThresh1", "thresh<0.0f", "kvovec");
  kvozbThresh2(z.data(), z.data(), 2, -1e-300, 1);
  expectReport(-5, "kvozbThresh2", "thresh<0.0", "kvovec");
  kvovbThresh1(v.data(), 2, short(-1), 0);
  expectReport(-5, "kvovbThresh1", "thresh<0", "kvovec");
  kvosbInvThresh2(s.data(), s.data(), 2, -2.0f);
  expectReport(-5, "kvosbInvThresh2", "thresh<0.0f", "kvovec");
  kvodbInvThresh1(d.data(), 2, -2.0);
  expectReport(-5, "kvodbInvThresh1", "thresh<0.0", "kvovec");
  kvocbInvThresh1(c.data(), 2, -2.0f);
  expectReport(-5, "kvocbInvThresh1", "thresh<0.0f", "kvovec");
  kvozbInvThresh1(z.data(), 2, -2.0);
  expectReport(-5, "kvozbInvThresh1", "thresh<0.0", "kvovec");
  kvozbInvThresh2(z.data(), z.data(), 2, -2.0);
  expectReport(-5, "kvozbInvThresh2", "thresh<0.0f", "kvovec");
  kvozbInvThresh2(nullptr, z.data(), 2, -2.0);  // pointers first
  expectReport(-5, "kvozbInvThresh2", "src==0", "kvovec");
  EXPECT_TRUE(isSentinel(c) && isSentinel(z) && isSentinel(s) && isSentinel(d));
  std::vector<double> one = {2};
  kvodbInvThresh1(one.data(), 1, -0.0);  // -0 is no negative threshold
  expectNoReport();
  EXPECT_EQ(one[0], 0.5);
}

// ---- Sqr ----

TEST(ElemSqr, ComplexSquaresRoundOnce) {
  forEachIsa([] {
    const auto c = randomComplex<CF>(37, 2);
    std::vector<CF> cy = c;
    kvocbSqr1(cy.data(), 37);
    for (int k = 0; k < 37; ++k) {
      const LD re = LD(c[k].re) * c[k].re - LD(c[k].im) * c[k].im;
      ASSERT_EQ(cy[k].re, float(re));
      ASSERT_EQ(cy[k].im, float(2 * LD(c[k].re) * c[k].im));
    }
    // (1 + e)^2 - 1: the real part survives the cancellation.
    const double e = std::ldexp(1.0, -30);
    std::vector<CD> z = {{1 + e, 1}};
    kvozbSqr1(z.data(), 1);
    EXPECT_EQ(z[0].re, 2 * e + e * e);
    EXPECT_EQ(z[0].im, 2 * (1 + e));
  });
}

// The 16-bit square stored under a mode whose bits are tested one at a time.
short sqrReference(I64 sq, int mode, const int* factor, int autoShift) {
  if (mode & 4) return low16(sq >> autoShift);
  if ((mode & 2) && factor) {
    const int s = *factor;
    sq = s > 0 ? sq >> std::min(s, 31) : sq * (I64{1} << std::min(-s, 15));
  }
  return mode & 1 ? clamp16(sq) : low16(sq);
}

int smallestFittingShift(const std::vector<I64>& parts) {
  int s = 0;
  while (!std::all_of(parts.begin(), parts.end(),
                      [s](I64 v) { return (v >> s) >= -32768 && (v >> s) <= 32767; })) {
    ++s;
  }
  return s;
}

TEST(ElemSqr, ShortSquaresEveryValueEveryMode) {
  const auto all = everyShort();
  const std::vector<short> slice(all.begin() + 32768 - 150,
                                 all.begin() + 32768 + 182);  // squares fit
  for (const auto* in : {&all, &slice}) {
    std::vector<I64> squares;
    for (short x : *in) squares.push_back(I64{x} * x);
    const int shift = smallestFittingShift(squares);
    std::vector<short> out(in->size());
    forEachIsa([&] {
      for (int mode = 0; mode < 8; ++mode) {
        for (int s = -17; s <= 17; ++s) {
          int factor = s;
          kvowbSqr2(in->data(), out.data(), int(in->size()), mode, &factor);
          ASSERT_EQ(factor, mode & 4 ? shift : s);
          for (std::size_t k = 0; k < in->size(); ++k) {
            ASSERT_EQ(out[k], sqrReference(squares[k], mode, &s, shift))
                << (*in)[k] << " mode " << mode << " factor " << s;
          }
          if ((mode & 4) || !(mode & 2)) break;  // the factor is not read
        }
        std::vector<short> inPlace = *in;
        kvowbSqr1(inPlace.data(), int(in->size()), mode & 3, nullptr);  // null: no fixed shift
        for (std::size_t k = 0; k < in->size(); ++k) {
          ASSERT_EQ(inPlace[k], sqrReference(squares[k], mode & 3, nullptr, 0));
        }
      }
    });
  }
}

TEST(ElemSqr, ComplexShortSquares) {
  std::mt19937 gen(3);
  std::vector<CS> in(65536);
  for (int k = 0; k < 65536; ++k) in[k] = {short(k - 32768), short(gen())};
  in[5] = {-32768, -32768};  // 2 re im = 2^31 needs 33 bits
  std::vector<I64> parts;
  for (CS x : in) {
    parts.push_back(I64{x.re} * x.re - I64{x.im} * x.im);
    parts.push_back(2 * I64{x.re} * x.im);
  }
  const int shift = smallestFittingShift(parts);
  std::vector<CS> out(in.size());
  forEachIsa([&] {
    for (int mode : {0, 1, 3, 4}) {
      int factor = 3;
      kvovbSqr2(in.data(), out.data(), int(in.size()), mode, &factor);
      for (std::size_t k = 0; k < in.size(); ++k) {
        ASSERT_EQ(out[k].re, sqrReference(parts[2 * k], mode, &factor, shift)) << k;
        ASSERT_EQ(out[k].im, sqrReference(parts[2 * k + 1], mode, &factor, shift)) << k;
      }
    }
  });
  EXPECT_EQ(shift, 17);
}

// ---- Sqrt ----

class ElemSqrt : public KvoTest {};

TEST_F(ElemSqrt, NegativeElementsAreSkippedAndReportedOnce) {
  std::vector<float> v = {4, -1, 9, -0.0f, -std::nanf(""), std::nanf("")};
  kvosbSqrt1(v.data(), 6);
  expectReport(-5, "kvosbSqrt1", "Element of input vector is negative", "kvovec");
  EXPECT_EQ(v[0], 2);
  EXPECT_EQ(v[1], -1);
  EXPECT_EQ(v[2], 3);
  EXPECT_TRUE(sameBits(v[3], -0.0f));
  EXPECT_TRUE(std::isnan(v[4]) && std::signbit(v[4]));  // skipped
  EXPECT_TRUE(std::isnan(v[5]));
  const std::vector<double> src = {-4, 16, -kInf, kInf};
  std::vector<double> dst(4, 7.5);
  kvodbSqrt2(src.data(), dst.data(), 4);
  expectReport(-5, "kvodbSqrt2", "Element of input vector is negative", "kvovec");
  EXPECT_EQ(dst, (std::vector<double>{7.5, 4, 7.5, kInf}));  // skipped destinations untouched
  kvodbSqrt2(dst.data(), dst.data(), 4);
  expectNoReport();
  // Negative elements anywhere in long vectors, at every level.
  forEachIsa([&] {
    for (int n : {37, 64, 100}) {
      std::vector<float> x(n), y(n, 7.0f);
      for (int k = 0; k < n; ++k) x[k] = float(k * k);
      x[n / 3] = -2;
      x[n - 2] = -std::nanf("");
      kvosbSqrt2(x.data(), y.data(), n);
      expectReport(-5, "kvosbSqrt2", "Element of input vector is negative", "kvovec");
      for (int k = 0; k < n; ++k) {
        ASSERT_EQ(y[k], k == n / 3 || k == n - 2 ? 7.0f : float(k)) << k;
      }
    }
  });
}

TEST_F(ElemSqrt, CorrectlyRoundedAtEveryLevel) {
  auto x = randomReals<double>(1003, 4);
  for (double& v : x) v = std::fabs(v) * std::exp2(v / 4);
  std::vector<float> xf(x.begin(), x.end()), yf(x.size());
  std::vector<double> y(x.size());
  forEachIsa([&] {
    kvodbSqrt2(x.data(), y.data(), int(x.size()));
    kvosbSqrt2(xf.data(), yf.data(), int(x.size()));
    for (std::size_t k = 0; k < x.size(); ++k) {
      ASSERT_EQ(y[k], std::sqrt(x[k]));  // the processor's correctly rounded root
      ASSERT_EQ(yf[k], float(std::sqrt(double(xf[k]))));
    }
  });
  expectNoReport();
}

// Bit by bit with trial bits 128, 64, ..., 1.
short isqrtReference(short x) {
  if (x < 0) return 0;
  int root = 0;
  for (int bit = 128; bit; bit >>= 1) {
    if ((root + bit) * (root + bit) <= x) root += bit;
  }
  return short(root);
}

TEST_F(ElemSqrt, ShortRootsEveryValue) {
  const auto all = everyShort();
  std::vector<short> out(all.size());
  forEachIsa([&] {
    kvowbSqrt2(all.data(), out.data(), 65536);
    expectReport(-5, "kvowbSqrt2", "Element of input vector is negative", "kvovec");
    for (int k = 0; k < 65536; ++k) ASSERT_EQ(out[k], isqrtReference(all[k])) << all[k];
  });
  std::vector<short> v = {17, -4};
  kvowbSqrt1(v.data(), 2);
  expectReport(-5, "kvowbSqrt1", "Element of input vector is negative", "kvovec");
  EXPECT_EQ(v, (std::vector<short>{4, 0}));
}

TEST_F(ElemSqrt, ComplexPrincipalRoots) {
  auto c = randomComplex<CD>(501, 5);
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
  forEachIsa([&] {
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
  });
  EXPECT_TRUE(sameBits(r[0], CD{0, 2}) && sameBits(r[1], CD{0, 2}));
  EXPECT_TRUE(sameBits(r[2], CD{1, -1}));
  std::vector<CS> s = {{-4, 0}, {3, 4}, {0, -8}, {-32768, -32768}, {0, 0}};
  kvovbSqrt1(s.data(), 5);
  expectNoReport();
  EXPECT_EQ(s[0].re, 0);
  EXPECT_EQ(s[0].im, 2);
  EXPECT_EQ(s[1].re, 2);
  EXPECT_EQ(s[1].im, 1);
  EXPECT_EQ(s[2].re, 2);
  EXPECT_EQ(s[2].im, -2);
  EXPECT_EQ(s[3].re, 82);  // 82.4.. and -198.9.., truncated
  EXPECT_EQ(s[3].im, -198);
  EXPECT_EQ(s[4].re, 0);
}

// ---- Thresh ----

TEST(ElemThresh, RealClipping) {
  forEachIsa([] {
    std::vector<float> v = {-3, 0.5f, -1};
    kvosbThresh1(v.data(), 3, -1, KVO_LT);
    EXPECT_EQ(v, (std::vector<float>{-1, 0.5f, -1}));
    const std::vector<float> src = {-0.0f, 0.0f, 2, -kInfF, kInfF};
    std::vector<float> dst(5);
    kvosbThresh2(src.data(), dst.data(), 5, 0.0f, KVO_LT);  // -0 is not below +0
    EXPECT_TRUE(sameBits(dst[0], -0.0f));
    EXPECT_EQ(dst[3], 0.0f);
    kvosbThresh2(src.data(), dst.data(), 5, -0.0f, 7);  // any nonzero relOp lowers
    EXPECT_TRUE(sameBits(dst[1], 0.0f) && dst[2] == 0 && dst[4] == 0 && dst[3] == -kInfF);
    std::vector<double> d = {1, 5, 3};
    kvodbThresh1(d.data(), 3, 3, KVO_GT);
    EXPECT_EQ(d, (std::vector<double>{1, 3, 3}));
    const auto all = everyShort();
    std::vector<short> w(65536);
    kvowbThresh2(all.data(), w.data(), 65536, short(-100), KVO_LT);
    for (int k = 0; k < 65536; ++k) ASSERT_EQ(w[k], std::max<short>(all[k], -100));
    kvowbThresh2(all.data(), w.data(), 65536, short(100), KVO_GT);
    for (int k = 0; k < 65536; ++k) ASSERT_EQ(w[k], std::min<short>(all[k], 100));
  });
}

TEST(ElemThresh, FloatNaNsLieBeyondTheInfinities) {
  const float n = std::nanf("");
  std::vector<float> v = {n, -n, 1};
  kvosbThresh1(v.data(), 3, 5, KVO_GT);
  EXPECT_EQ(v[0], 5);  // +NaN above everything
  EXPECT_TRUE(std::isnan(v[1]));
  kvosbThresh1(v.data(), 3, 0, KVO_LT);
  EXPECT_EQ(v[1], 0);  // -NaN below everything
}

TEST(ElemThresh, ComplexMagnitudeClipping) {
  forEachIsa([] {
    std::vector<CF> c = {{0, 0}, {1, 0}, {3, 4}, {0, -1}};
    kvocbThresh1(c.data(), 4, 2, KVO_LT);
    EXPECT_TRUE(sameBits(c[0], CF{2, 0}) && sameBits(c[1], CF{2, 0}) && sameBits(c[2], CF{3, 4}));
    EXPECT_TRUE(sameBits(c[3], CF{0, -2}));
    c[2] = {3, -4};
    kvocbThresh1(c.data(), 4, 1, KVO_GT);
    EXPECT_EQ(c[2].re, 0.6f);
    EXPECT_EQ(c[2].im, -0.8f);
    // Double data: magnitudes whose square overflows or underflows.
    std::vector<CD> z = {{3e200, 4e200}, {3e-170, 4e-170}, {0, 1e-300}};
    kvozbThresh1(z.data(), 3, 10, KVO_GT);
    EXPECT_DOUBLE_EQ(z[0].re, 6);
    EXPECT_DOUBLE_EQ(z[0].im, 8);
    kvozbThresh1(z.data(), 3, 1, KVO_LT);
    EXPECT_TRUE(sameBits(z[1], CD{1, 0}));  // squared magnitude subnormal: no phase kept
    EXPECT_TRUE(sameBits(z[2], CD{1, 0}));
    std::vector<CS> s = {{3, 4}, {0, 0}, {-300, 400}, {1, -1}};
    kvovbThresh1(s.data(), 4, short(100), KVO_GT);
    EXPECT_EQ(s[2].re, -60);
    EXPECT_EQ(s[2].im, 80);
    kvovbThresh1(s.data(), 4, short(10), KVO_LT);
    EXPECT_EQ(s[0].re, 6);
    EXPECT_EQ(s[0].im, 8);
    EXPECT_EQ(s[1].re, 10);
    EXPECT_EQ(s[3].re, 7);  // 7.07 truncated
    EXPECT_EQ(s[3].im, -7);
  });
}

// ---- InvThresh ----

class ElemInvThresh : public KvoTest {};

TEST_F(ElemInvThresh, RealFloorAndZeroThreshold) {
  std::vector<float> v = {0.25f, -0.25f, 4, -0.0f};
  kvosbInvThresh1(v.data(), 4, 0.5f);
  EXPECT_EQ(v, (std::vector<float>{2, -2, 0.25f, 2}));  // -0 counts as positive
  std::vector<float> z = {0, 2, -0.0f};
  kvosbInvThresh1(z.data(), 3, 0);
  expectReport(-5, "kvosbInvThresh1", "zero element and zero thresh", "kvovec");
  EXPECT_EQ(z[0], 3.4028235e38f);
  EXPECT_EQ(z[1], 0.5f);
  EXPECT_EQ(z[2], 3.4028235e38f);
  const std::vector<double> d = {3, -1e-300};
  std::vector<double> out(2);
  kvodbInvThresh2(d.data(), out.data(), 2, 0.0);
  expectNoReport();
  EXPECT_EQ(out[0], 1.0 / 3);
  EXPECT_EQ(out[1], 1 / -1e-300);
  std::vector<double> dz = {0.0};
  kvodbInvThresh1(dz.data(), 1, -0.0);
  expectReport(-5, "kvodbInvThresh1", "zero element and zero thresh", "kvovec");
  EXPECT_EQ(dz[0], DBL_MAX);
}

TEST_F(ElemInvThresh, ComplexFloorKeepsThePhaseOfTheInverse) {
  std::vector<CF> c = {{3, 4}, {0.3f, 0.4f}, {0, 0}, {0, -2}};
  kvocbInvThresh1(c.data(), 4, 1);
  expectNoReport();
  EXPECT_EQ(c[0].re, 0.12f);  // (3 - 4i) / 25
  EXPECT_EQ(c[0].im, -0.16f);
  EXPECT_EQ(c[1].re, 0.6f);  // magnitude 1, phase of 1/x
  EXPECT_EQ(c[1].im, -0.8f);
  EXPECT_TRUE(sameBits(c[2], CF{1, 0}));
  EXPECT_TRUE(sameBits(c[3], CF{0, 0.5f}));
  std::vector<CF> zero = {{0, -0.0f}, {2, 0}};
  kvocbInvThresh1(zero.data(), 2, 1e-40f);  // a subnormal threshold counts as zero
  expectReport(-5, "kvocbInvThresh1", "zero element and zero thresh", "kvovec");
  EXPECT_TRUE(sameBits(zero[0], CF{FLT_MAX, 0}));
  EXPECT_TRUE(sameBits(zero[1], CF{0.5f, -0.0f}));
  // Double data far from 1 in magnitude, against long double.
  const std::vector<CD> z = {{1e300, -2e300}, {3e-300, 4e-300}, {5e-320, 0}, {1, 1}};
  std::vector<CD> r(z.size());
  kvozbInvThresh2(z.data(), r.data(), 4, 0.0);
  expectNoReport();
  for (std::size_t k = 0; k < z.size(); ++k) {
    const std::complex<LD> want = LD(1) / std::complex<LD>(z[k].re, z[k].im);
    EXPECT_LE(ulps(r[k].re, want.real()), 1.0) << k;
    EXPECT_LE(ulps(r[k].im, want.imag()), 1.0) << k;
  }
  kvozbInvThresh2(z.data(), r.data(), 4, 1e-299);
  EXPECT_NEAR(std::hypot(r[1].re, r[1].im), 1e299, 1e285);  // |x| = 5e-300 below the floor
  EXPECT_NEAR(r[1].re / r[1].im, -0.75, 1e-15);
}

// ---- Abs ----

TEST(ElemAbs, SignBitsAndSaturation) {
  forEachIsa([] {
    const auto all = everyShort();
    std::vector<short> w(65536);
    kvowbAbs2(all.data(), w.data(), 65536);
    for (int k = 0; k < 65536; ++k) ASSERT_EQ(w[k], std::min(std::abs(int(all[k])), 32767));
    std::vector<float> f = {-0.0f, -kInfF, -std::nanf(""), -2.5f};
    kvosbAbs1(f.data(), 4);
    EXPECT_TRUE(sameBits(f[0], 0.0f) && f[1] == kInfF && !std::signbit(f[2]) && f[3] == 2.5f);
    std::vector<double> d = {-1e-310, 3};
    kvodbAbs1(d.data(), 2);
    EXPECT_EQ(d[0], 1e-310);
  });
}

// ---- Ln and Exp ----

// Random bit patterns of positive finite values, plus numbers near 1.
template <class T>
std::vector<T> positives(std::size_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::vector<T> v(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (k % 4 == 0) {
      v[k] = T(1) + T(std::ldexp(double(gen() % 2000) - 1000, -int(gen() % 40) - 10));
    } else {
      const std::uint64_t max = std::is_same_v<T, float> ? 0x7F7FFFFFu : 0x7FEFFFFFFFFFFFFFu;
      const std::uint64_t bits = gen() % max + 1;
      std::memcpy(&v[k], &bits, sizeof(T));
    }
  }
  return v;
}

template <class T>
void checkAccuracy(void (*f)(const T*, T*, int), LD (*ref)(LD), const std::vector<T>& x,
                   double maxUlps) {
  std::vector<T> y(x.size()), first;
  forEachIsa([&] {
    f(x.data(), y.data(), int(x.size()));
    double worst = 0;
    for (std::size_t k = 0; k < x.size(); ++k) worst = std::max(worst, ulps(y[k], ref(x[k])));
    EXPECT_LE(worst, maxUlps);
    if (first.empty()) first = y;
    ASSERT_EQ(std::memcmp(first.data(), y.data(), y.size() * sizeof(T)), 0) << "levels differ";
  });
}

LD refLog(LD x) { return std::log(x); }
LD refExp(LD x) { return std::exp(x); }

// Faithful: nearer than one unit in the last place (correctly rounded on every sample so far).
TEST(ElemLnExp, FloatWithinOneUlpOfTheCorrectlyRoundedResult) {
  checkAccuracy<float>(kvosbLn2, refLog, positives<float>(200003, 6), 1.0);
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> range(-104, 89);
  std::vector<float> x(200003);
  for (float& v : x) v = range(gen);
  checkAccuracy<float>(kvosbExp2, refExp, x, 1.0);
}

TEST(ElemLnExp, DoubleAsAccurateAsTheSystemLibrary) {
  checkAccuracy<double>(kvodbLn2, refLog, positives<double>(200003, 8), 0.51);
  std::mt19937 gen(9);
  std::uniform_real_distribution<double> range(-745.2, 709.8);
  std::vector<double> x(200003);
  for (double& v : x) v = range(gen);
  for (std::size_t k = 0; k < x.size(); k += 3) x[k] *= 1e-3;
  checkAccuracy<double>(kvodbExp2, refExp, x, 0.51);
  // Subnormal inputs of ln and subnormal results of exp.
  std::vector<double> tiny = {5e-324, 1e-310, 2.2e-308};
  checkAccuracy<double>(kvodbLn2, refLog, tiny, 0.51);
  std::vector<double> deep = {-708.5, -720, -740, -745.1, -745.2};
  checkAccuracy<double>(kvodbExp2, refExp, deep, 0.51);
}

TEST(ElemLnExp, SpecialValues) {
  forEachIsa([] {
    const float nf = std::nanf("");
    std::vector<float> f = {0.0f, -0.0f, -1, -kInfF, kInfF, nf, 1, 1e-45f};
    kvosbLn1(f.data(), 8);
    EXPECT_EQ(f[0], -kInfF);
    EXPECT_EQ(f[1], -kInfF);
    for (int k : {2, 3}) {
      EXPECT_TRUE(std::isnan(f[k]) && std::signbit(f[k])) << k;  // the default NaN
    }
    EXPECT_EQ(f[4], kInfF);
    EXPECT_TRUE(std::isnan(f[5]) && !std::signbit(f[5]));
    EXPECT_TRUE(sameBits(f[6], 0.0f));
    EXPECT_EQ(f[7], float(std::log(LD(1e-45f))));
    std::vector<double> e = {-kInf, kInf, 710, -746, std::nan(""), 0, -0.0, 709.78};
    kvodbExp1(e.data(), 8);
    EXPECT_TRUE(sameBits(e[0], 0.0) && e[1] == kInf && e[2] == kInf && sameBits(e[3], 0.0));
    EXPECT_TRUE(std::isnan(e[4]));
    EXPECT_EQ(e[5], 1);
    EXPECT_EQ(e[6], 1);
    EXPECT_LT(e[7], kInf);
    std::vector<float> ef = {89, -104, -103.9f, 88.7f};
    kvosbExp1(ef.data(), 4);
    EXPECT_TRUE(ef[0] == kInfF && sameBits(ef[1], 0.0f) && ef[2] > 0 && ef[3] < kInfF);
  });
}

TEST(ElemLnExp, ShortLogarithmCountsThresholds) {
  std::vector<short> v = {-5, 2, 3, 22027};
  kvowbLn1(v.data(), 4);
  EXPECT_EQ(v, (std::vector<short>{0, 0, 1, 10}));
  const auto all = everyShort();
  std::vector<short> out(65536);
  forEachIsa([&] {
    kvowbLn2(all.data(), out.data(), 65536);
    for (int k = 0; k < 65536; ++k) {
      const short want = all[k] < 3 ? 0 : short(std::floor(std::log(LD(all[k]))));
      ASSERT_EQ(out[k], want) << all[k];
    }
  });
}

// floor(e^x) in 64 bits (2^31 - 1 from x = 22 on), stored by the shared 16-bit rules.
short expReference(short x, int mode, int factor, int autoFactor) {
  const I64 v = x < 0 ? 0 : x >= 22 ? INT32_MAX : I64(std::floor(std::exp(LD(x))));
  if (mode == 4) return low16(v >> autoFactor);
  if (mode == 2 || mode == 3) {
    return mode == 3 ? clamp16(factor >= 0 ? v >> std::min(factor, 31)
                                           : v * (I64{1} << std::min(-factor, 15)))
                     : low16(factor >= 0 ? v >> std::min(factor, 31)
                                         : v * (I64{1} << std::min(-factor, 15)));
  }
  return mode == 1 ? clamp16(v) : low16(v);
}

TEST(ElemLnExp, ShortExponentialEveryValueEveryMode) {
  const auto all = everyShort();
  const std::vector<short> small = {-3, 0, 1, 5, 10, 11, 12};  // auto factor 0 .. 3
  std::vector<short> out(65536);
  forEachIsa([&] {
    for (const auto* in : {&all, &small}) {
      const int n = int(in->size());
      const short largest = *std::max_element(in->begin(), in->end());
      const I64 top = largest >= 22 ? INT32_MAX : I64(std::floor(std::exp(LD(largest))));
      int autoFactor = 0;
      while ((top >> autoFactor) > 32767) ++autoFactor;
      for (int mode = -1; mode <= 8; ++mode) {
        for (int s = -17; s <= 17; ++s) {
          int factor = s;
          kvowbExp2(in->data(), out.data(), n, mode, &factor);
          if (mode == 4) {
            ASSERT_EQ(factor, autoFactor);
          }
          for (int k = 0; k < n; ++k) {
            ASSERT_EQ(out[k], expReference((*in)[k], mode, s, autoFactor))
                << (*in)[k] << " mode " << mode << " factor " << s;
          }
          if (mode != 2 && mode != 3) break;
        }
      }
    }
  });
  std::vector<short> v = {10, 11, -1};
  kvowbExp1(v.data(), 3, 0, nullptr);
  EXPECT_EQ(v, (std::vector<short>{22026, short(59874 - 65536), 0}));
  v = {10, 11};
  kvowbExp1(v.data(), 2, 1, nullptr);
  EXPECT_EQ(v[1], 32767);
}

}  // namespace
