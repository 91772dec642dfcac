// Conversions: special values and the caller's rounding mode, the checks of widths and fraction
// sizes together, complex splits, polar forms, magnitude, phase and power spectrum against long
// double. Every width, flag combination and 16-bit scale mode against numpy is in
// reference/cvt_test.py.
#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

constexpr int kOverflow = KVO_ReportOverflow;

class FloatToInt : public KvoTest {};

TEST_F(FloatToInt, NamedFormsSpecialValuesAndTheCallersRoundingMode) {
  const float half = 0.5f, inf = std::numeric_limits<float>::infinity();
  short s15;
  kvosbFloatToS15Fix(&half, &s15, 1, KVO_RoundNearest);
  EXPECT_EQ(s15, 16384);
  const float src[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf, -0.0f};
  signed char s8[4];
  kvosbFloatToS7Fix(src, s8, 4, KVO_RoundNearest | KVO_Clip | kOverflow);
  EXPECT_EQ(std::vector<int>(s8, s8 + 4), (std::vector<int>{0, 127, -128, 0}));
  expectReport(-5, "kvosbFloatToS7Fix", "A float exceeds an integer", "kvocvrts");
  unsigned u32[4];
  kvosbFloatToInt(src, u32, 4, 32, KVO_RoundUp | KVO_Unsigned | KVO_Clip);
  EXPECT_EQ(std::vector<unsigned>(u32, u32 + 4), (std::vector<unsigned>{0, 0xFFFFFFFF, 0, 0}));
  kvosbFloatToInt(src, u32, 1, 32, KVO_RoundUp | kOverflow);  // NaN is not out of range
  expectNoReport();
  // Unsigned 32-bit truncation with overflow reports rounds down, only in that combination.
  const double d[] = {-0.5, 2.7};
  kvodbFloatToInt(d, u32, 2, 32, KVO_RoundZero | KVO_Unsigned | kOverflow);
  expectReport(-5, "kvodbFloatToInt", "A float exceeds an integer", "kvocvrtd");
  EXPECT_EQ(u32[0], 0xFFFFFFFFu);
  EXPECT_EQ(u32[1], 2u);
  kvodbFloatToInt(d, u32, 2, 32, KVO_RoundZero | KVO_Unsigned | kOverflow | KVO_Clip);
  expectNoReport();
  EXPECT_EQ(u32[0], 0u);
  // Ties go to even whatever rounding mode the caller left, which stays as it was.
  std::vector<float> ties(1000);
  for (int k = 0; k < 1000; ++k) ties[k] = float(k - 500) + 0.5f;
  std::vector<short> out(1000);
  const int saved = std::fegetround();
  std::fesetround(FE_UPWARD);
  kvosbFloatToInt(ties.data(), out.data(), 1000, 16, KVO_RoundNearest);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(saved);
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(out[k], short(std::nearbyint(ties[k]))) << k;
}

// The flag conversions run every check; the width decides which fraction sizes are valid, and a
// width that is not 8, 16 or 32 is never used for arithmetic (the sanitizer build sees that).
class ConversionChecks : public KvoTest {};

TEST_F(ConversionChecks, WidthsAndFractionBitsTogether) {
  const float src[3] = {1, -2, 3};
  const int bounds[] = {INT_MIN, -1, 0, 7, 8, 16, 31, 32, 33, INT_MAX};
  for (int width : bounds) {
    for (int fract : bounds) {
      std::vector<std::int32_t> buf(3, 0x5A5A5A5A);
      std::vector<float> back(3, -7.0f);
      clearReports();
      kvosbFloatToFix(src, buf.data(), 3, width, fract, KVO_RoundNearest);
      kvosbFixToFloat(buf.data(), back.data(), 3, width, fract, 0);
      const bool widthOk = width == 8 || width == 16 || width == 32;
      std::vector<std::string> want;
      if (!widthOk) want.push_back("Invalid size of a fix-point");
      if (fract < 0 || (widthOk && fract > width - 1)) want.push_back("Invalid fractBits");
      std::vector<std::string> got;
      for (const Report& r : reports()) got.push_back(r.message);
      const auto twice = [](const std::vector<std::string>& v) {
        std::vector<std::string> both = v;
        both.insert(both.end(), v.begin(), v.end());
        return both;
      };
      ASSERT_EQ(got, twice(want)) << width << " " << fract;
      if (!want.empty()) {
        ASSERT_EQ(buf, std::vector<std::int32_t>(3, 0x5A5A5A5A));
        ASSERT_EQ(back, std::vector<float>(3, -7.0f));
      }
    }
  }
  clearReports();
  kvoSetErrStatus(-3);
  kvosbFloatToInt(src, std::vector<short>(3).data(), 3, 16, KVO_RoundNearest);
  EXPECT_EQ(kvoGetErrStatus(), 0);  // a good call clears the status
  expectNoReport();
}

// ---- complex data ----

template <class C, class R>
void checkSplitAndJoin(void (*real)(const C*, R*, int), void (*imag)(const C*, R*, int),
                       void (*to2)(const C*, R*, R*, int),
                       void (*join)(const R*, const R*, C*, int)) {
  const std::vector<C> src = {{1, -2}, {3, 4}, {-5, 6}};
  std::vector<R> re(3), im(3);
  std::vector<C> back(3);
  real(src.data(), re.data(), 3);
  imag(src.data(), im.data(), 3);
  EXPECT_EQ(re, (std::vector<R>{1, 3, -5}));
  EXPECT_EQ(im, (std::vector<R>{-2, 4, 6}));
  re.assign(3, 0);
  to2(src.data(), re.data(), im.data(), 3);
  join(re.data(), im.data(), back.data(), 3);
  EXPECT_TRUE(sameBits(back, src));
  join(nullptr, im.data(), back.data(), 3);  // a missing part counts as zeros
  EXPECT_TRUE(sameBits(back[1], C{0, 4}));
  join(re.data(), nullptr, back.data(), 3);
  EXPECT_TRUE(sameBits(back[2], C{-5, 0}));
}

TEST(Complex, SplitAndJoin) {
  checkSplitAndJoin<CF, float>(kvocbReal, kvocbImag, kvocbCplxTo2Real, kvocb2RealToCplx);
  checkSplitAndJoin<CD, double>(kvozbReal, kvozbImag, kvozbCplxTo2Real, kvozb2RealToCplx);
  checkSplitAndJoin<CS, short>(kvovbReal, kvovbImag, kvovbCplxTo2Real, kvovb2RealToCplx);
}

template <class R>
double ulps(R got, R want) {
  return got == want ? 0 : std::fabs(double(got - want)) / double(std::nextafter(want, got) - want);
}

// Magnitude, phase, power and the way back against long double, all forms alike.
template <class C, class R>
void checkPolar(void (*toPolar)(const C*, R*, R*, int),
                void (*toPolarR)(const R*, const R*, R*, R*, int),
                void (*toCart)(const R*, const R*, C*, int), void (*magnitude)(const C*, R*, int),
                void (*power)(const R*, const R*, R*, int), void (*phase)(const C*, R*, int)) {
  const int n = 301;
  auto src = randomOf<C>(n, 21);
  src[0] = {R(1e30), R(-1e30)};
  std::vector<R> re(n), im(n), mag(n), phi(n), magR(n), phiR(n), m2(n), p2(n), pw(n);
  for (int k = 0; k < n; ++k) re[k] = src[k].re, im[k] = src[k].im;
  toPolar(src.data(), mag.data(), phi.data(), n);
  toPolarR(re.data(), im.data(), magR.data(), phiR.data(), n);
  magnitude(src.data(), m2.data(), n);
  phase(src.data(), p2.data(), n);
  power(re.data(), im.data(), pw.data(), n);
  std::vector<C> back(n);
  toCart(mag.data(), phi.data(), back.data(), n);
  EXPECT_TRUE(sameBits(mag, magR) && sameBits(phi, phiR) && sameBits(phi, p2));
  EXPECT_TRUE((std::is_same_v<R, float> || sameBits(mag, m2)));  // float: see below
  for (int k = 0; k < n; ++k) {
    const long double a = re[k], b = im[k], m = mag[k], p = phi[k];
    EXPECT_LE(ulps(mag[k], R(std::sqrt(a * a + b * b))), 0.5001) << k;
    EXPECT_LE(ulps(phi[k], R(std::atan2(b, a))), 0.5001) << k;
    EXPECT_LE(ulps(pw[k], R(a * a + b * b)), 0.5001) << k;
    EXPECT_LE(ulps(back[k].re, R(m * std::cos(p))), 0.5001) << k;
    EXPECT_LE(ulps(back[k].im, R(m * std::sin(p))), 0.5001) << k;
  }
}

TEST(Complex, PolarFormsAndSpectra) {
  checkPolar<CF, float>(kvocbCartToPolar, kvosbrCartToPolar, kvocbPolarToCart, kvocbMag,
                        kvosbrPowerSpectr, kvocbPhase);
  checkPolar<CD, double>(kvozbCartToPolar, kvodbrCartToPolar, kvozbPolarToCart, kvozbMag,
                         kvodbrPowerSpectr, kvozbPhase);
  // Beyond 128 elements the float magnitude takes the root of the float power in whole blocks of
  // 128, of the double power in the rest; up to 128 it takes the double power throughout.
  for (int n : {128, 129, 300}) {
    const auto src = randomOf<CF>(n, 5);
    std::vector<float> mag(n);
    kvocbMag(src.data(), mag.data(), n);
    const int blocked = n > 128 ? n / 128 * 128 : 0;
    for (int k = 0; k < n; ++k) {
      const double p = double(src[k].re) * src[k].re + double(src[k].im) * src[k].im;
      ASSERT_EQ(mag[k], k < blocked ? std::sqrt(float(p)) : float(std::sqrt(p))) << n << " " << k;
    }
  }
  // The phase of real numbers: pi for negative ones whatever the sign of the zero.
  const std::vector<CF> reals = {{-1, -0.0f}, {-1, 0}, {0, 0}, {-0.0f, 0}, {2, -0.0f}};
  std::vector<float> phase(5);
  kvocbPhase(reals.data(), phase.data(), 5);
  EXPECT_EQ(phase[0], 3.1415927f);
  EXPECT_EQ(phase[1], 3.1415927f);
  for (int k = 2; k < 5; ++k) EXPECT_TRUE(sameBits(phase[k], 0.0f)) << k;
}

}  // namespace
