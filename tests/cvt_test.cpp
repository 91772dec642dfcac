// Conversions: float to integer and fixed point under every flag combination against the C
// library's rounding functions, the way back, complex splits, polar forms, magnitude, phase and
// power spectrum, the 16-bit members under their scale modes, and the argument checks.
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

constexpr int kRoundings[] = {KVO_RoundNearest, KVO_RoundZero, KVO_RoundDown, KVO_RoundUp};
constexpr int kOverflow = KVO_ReportOverflow;

// ---- float to integer and fixed point ----

struct Expected {
  std::int64_t value;  // the low `width` bits matter
  bool outside;
};

// From the C library: nearbyint in the default environment rounds to nearest, ties to even.
Expected reference(long double x, int width, int fractBits, int flags) {
  if (std::isnan(x)) return {0, false};
  const bool isUnsigned = flags & KVO_Unsigned;
  const long double y = std::ldexp(x, fractBits);
  long double r = flags & KVO_RoundNearest ? std::nearbyint(y)
                  : flags & KVO_RoundZero  ? std::trunc(y)
                  : flags & KVO_RoundDown  ? std::floor(y)
                                           : std::ceil(y);
  if (width == 32 && flags == (kOverflow | KVO_Unsigned | KVO_RoundZero)) r = std::floor(y);
  const long double lo = isUnsigned ? 0 : -std::ldexp(1.0L, width - 1);
  const long double hi = std::ldexp(1.0L, isUnsigned ? width : width - 1) - 1;
  const bool outside = r < lo || r > hi;
  if (flags & KVO_Clip) return {std::int64_t(std::fmax(lo, std::fmin(hi, r))), outside};
  if (std::isinf(r)) return {0, outside};
  long double low = std::fmod(r, std::ldexp(1.0L, width));
  if (low < 0) low += std::ldexp(1.0L, width);
  return {std::int64_t(low), outside};
}

// Ordinary values, ties, the edges of the range, huge values, infinities and NaN, scattered so
// that some vector steps hold only ordinary values and some hold exceptional ones.
template <class R>
std::vector<R> conversionInputs(int width, int fractBits, unsigned seed) {
  std::mt19937 gen(seed);
  const double unit = std::ldexp(1.0, -fractBits);
  const double top = std::ldexp(1.0, width) * unit;
  std::uniform_real_distribution<double> wide(-0.8 * top, 0.8 * top), small(-20, 20);
  std::vector<R> v;
  for (int k = 0; k < 400; ++k) v.push_back(R(wide(gen)));
  for (int k = 0; k < 100; ++k) v.push_back(R((std::round(small(gen)) + 0.5) * unit));  // ties
  for (double edge : {-top, -top / 2, top / 2, top}) {
    for (double d : {-1.5, -1.0, -0.5, -0.25, 0.0, 0.25, 0.5, 1.0, 1.5}) {
      v.push_back(R(edge + d * unit));
    }
  }
  const R inf = std::numeric_limits<R>::infinity();
  const R special[] = {R(0),
                       R(-0.0),
                       inf,
                       -inf,
                       std::numeric_limits<R>::quiet_NaN(),
                       R(1e20),
                       R(-3e25),
                       R(1e-30),
                       R(0x1p22 + 0.5),
                       R(-0x1p22 - 0.5)};
  for (R s : special) v.insert(v.begin() + gen() % v.size(), s);
  for (int k = 0; k < 64; ++k) v.push_back(R(std::round(small(gen)) * unit + 0.5 * unit));
  return v;
}

std::int64_t stored(const std::vector<unsigned char>& bytes, std::size_t k, int width) {
  std::int64_t v = 0;
  std::memcpy(&v, bytes.data() + k * (width / 8), width / 8);
  return v;
}

class FloatToInt : public KvoTest {
 protected:
  template <class R>
  static void checkFloatToFix(void (*toFix)(const R*, void*, int, int, int, int),
                              void (*toInt)(const R*, void*, int, int, int), const char* fixName,
                              const char* intName, const char* module) {
    const std::uint64_t one = 1;
    for (int width : {8, 16, 32}) {
      for (int sign : {0, int(KVO_Unsigned)}) {
        const int maxFract = sign ? width : width - 1;
        for (int fractBits : {0, 3, maxFract}) {
          const auto src =
              conversionInputs<R>(width, fractBits, unsigned(width + fractBits + sign));
          const int n = int(src.size());
          std::vector<unsigned char> dst(n * 4);
          for (int rounding : kRoundings) {
            for (int extra : {0, int(KVO_Clip), kOverflow, KVO_Clip | kOverflow}) {
              const int flags = rounding | sign | extra;
              forEachIsa([&] {
                if (fractBits == 0) {
                  toInt(src.data(), dst.data(), n, width, flags);
                } else {
                  toFix(src.data(), dst.data(), n, width, fractBits, flags);
                }
                bool outside = false;
                const std::uint64_t mask = (one << width) - 1;
                for (int k = 0; k < n; ++k) {
                  const Expected e = reference(src[k], width, fractBits, flags);
                  outside |= e.outside;
                  ASSERT_EQ(std::uint64_t(stored(dst, k, width)) & mask,
                            std::uint64_t(e.value) & mask)
                      << src[k] << " width " << width << " fract " << fractBits << " flags "
                      << flags;
                }
                if (outside && (flags & kOverflow)) {
                  expectReport(-5, fractBits ? fixName : intName, "A float exceeds an integer",
                               module);
                }
                expectNoReport();
              });
            }
          }
        }
      }
    }
  }
};

TEST_F(FloatToInt, EveryWidthRoundingAndOverflowRule) {
  checkFloatToFix<float>(kvosbFloatToFix, kvosbFloatToInt, "kvosbFloatToFix", "kvosbFloatToInt",
                         "kvocvrts");
  checkFloatToFix<double>(kvodbFloatToFix, kvodbFloatToInt, "kvodbFloatToFix", "kvodbFloatToInt",
                          "kvocvrtd");
}

// The named fixed-point forms are the general conversion with their width and fraction bits.
TEST_F(FloatToInt, NamedFixedPointForms) {
  const float x = 0.5f;
  short out;
  kvosbFloatToS15Fix(&x, &out, 1, KVO_RoundNearest);
  EXPECT_EQ(out, 16384);
  const short s15 = -32768;
  float f;
  kvosbS15FixToFloat(&s15, &f, 1);
  EXPECT_EQ(f, -1.0f);
  expectNoReport();
}

TEST_F(FloatToInt, NanAndInfinityWithClip) {
  const float inf = std::numeric_limits<float>::infinity();
  const float src[] = {std::numeric_limits<float>::quiet_NaN(), inf, -inf, -0.0f};
  signed char s8[4];
  kvosbFloatToS7Fix(src, s8, 4, KVO_RoundNearest | KVO_Clip | kOverflow);
  EXPECT_EQ(std::vector<int>(s8, s8 + 4), (std::vector<int>{0, 127, -128, 0}));
  expectReport(-5, "kvosbFloatToS7Fix", "A float exceeds an integer", "kvocvrts");
  unsigned u32[4];
  kvosbFloatToInt(src, u32, 4, 32, KVO_RoundUp | KVO_Unsigned | KVO_Clip);
  EXPECT_EQ(std::vector<unsigned>(u32, u32 + 4), (std::vector<unsigned>{0, 0xFFFFFFFF, 0, 0}));
  const float nan = src[0];
  kvosbFloatToInt(&nan, u32, 1, 32, KVO_RoundUp | kOverflow);  // NaN is not out of range
  expectNoReport();
}

TEST_F(FloatToInt, UnsignedTruncationWithOverflowReportRoundsDown) {
  const double src[] = {-0.5, 2.7};
  unsigned out[2];
  kvodbFloatToInt(src, out, 2, 32, KVO_RoundZero | KVO_Unsigned | kOverflow);
  expectReport(-5, "kvodbFloatToInt", "A float exceeds an integer", "kvocvrtd");
  EXPECT_EQ(out[1], 2u);
  EXPECT_EQ(out[0], 0xFFFFFFFFu);
  kvodbFloatToInt(src, out, 2, 32, KVO_RoundZero | KVO_Unsigned | kOverflow | KVO_Clip);
  expectNoReport();  // not that exact combination: truncation, and -0.5 becomes 0
  EXPECT_EQ(out[0], 0u);
  kvodbFloatToInt(src, out, 2, 16, KVO_RoundZero | KVO_Unsigned | kOverflow);  // only 32 bits
  expectNoReport();
}

TEST_F(FloatToInt, IgnoresTheCallersRoundingMode) {
  std::vector<float> ties(1000);
  for (int k = 0; k < 1000; ++k) ties[k] = float(k - 500) + 0.5f;
  std::vector<short> inDefault(1000), inUpward(1000);
  kvosbFloatToInt(ties.data(), inDefault.data(), 1000, 16, KVO_RoundNearest);
  const int saved = std::fegetround();
  std::fesetround(FE_UPWARD);
  forEachIsa([&] {
    kvosbFloatToInt(ties.data(), inUpward.data(), 1000, 16, KVO_RoundNearest);
    EXPECT_EQ(inUpward, inDefault);
  });
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(saved);
  for (int k = 0; k < 1000; ++k) ASSERT_EQ(inDefault[k] % 2, 0);  // ties to even
}

// ---- integer and fixed point to float ----

TEST(IntToFloat, EveryWidthSignAndScale) {
  std::mt19937 gen(3);
  std::vector<std::uint32_t> bits(1000);
  for (auto& b : bits) b = gen();
  bits[0] = 0x80000000u;
  bits[1] = 0xFFFFFFFFu;
  bits[2] = 0x7FFFFFFFu;
  bits[3] = 0x01000001u;  // needs rounding to float
  const int n = 1000;
  forEachIsa([&] {
    for (int width : {8, 16, 32}) {
      // the low `width` bits of each word, packed
      std::vector<unsigned char> packed(n * 4);
      for (int k = 0; k < n; ++k) std::memcpy(&packed[k * (width / 8)], &bits[k], width / 8);
      for (int sign : {0, int(KVO_Unsigned)}) {
        for (int fractBits : {0, 5, sign ? width : width - 1}) {
          std::vector<float> f(n);
          std::vector<double> d(n);
          kvosbFixToFloat(packed.data(), f.data(), n, width, fractBits, sign | KVO_RoundUp);
          kvodbFixToFloat(packed.data(), d.data(), n, width, fractBits, sign);
          for (int k = 0; k < n; ++k) {
            std::int64_t v = bits[k] & ((std::uint64_t(1) << width) - 1);
            if (!sign && v >= std::int64_t(1) << (width - 1)) v -= std::int64_t(1) << width;
            const long double exact = std::ldexp((long double)v, -fractBits);
            ASSERT_EQ(f[k], float(exact)) << v;
            ASSERT_EQ(d[k], double(exact)) << v;
          }
        }
      }
    }
  });
  const signed char s7 = -128;
  const int s1516 = -65536 * 3 - 32768;
  float f;
  double d;
  kvosbS7FixToFloat(&s7, &f, 1);
  EXPECT_EQ(f, -1.0f);
  kvodbS1516FixToFloat(&s1516, &d, 1);
  EXPECT_EQ(d, -3.5);
  kvodbS31FixToFloat(&s1516, &d, 1);
  EXPECT_EQ(d, s1516 / 2147483648.0);
}

// ---- argument checks of the flag conversions: every check runs, then nothing is converted ----

class ConversionChecks : public KvoTest {
 protected:
  static std::vector<std::string> messages() {
    std::vector<std::string> m;
    for (const auto& r : reports()) m.push_back(r.message);
    kvotest::clearReports();
    return m;
  }
};

TEST_F(ConversionChecks, FlagConversionsReportEveryFailure) {
  const float src[2] = {1, 2};
  auto dst = sentinel<short>(2);
  kvoSetErrStatus(-3);
  kvosbFloatToInt(src, dst.data(), 2, 16, KVO_RoundNearest);
  EXPECT_EQ(kvoGetErrStatus(), 0);  // a good call clears the status
  kvosbFloatToFix(nullptr, nullptr, 0, 12, -1, KVO_RoundUp | KVO_RoundDown);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"len<=0", "src==0", "dst==0", "Invalid size of a fix-point",
                                      "Invalid conversion flag", "Invalid fractBits"}));
  kvodbFloatToInt(nullptr, dst.data(), 2, 64, 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"src==0", "Invalid size of an integer",
                                                  "Invalid conversion flag"}));
  dst = sentinel<short>(2);
  kvosbFloatToFix(src, dst.data(), 2, 16, 16, KVO_RoundNearest);
  expectReport(-5, "kvosbFloatToFix", "Invalid fractBits", "kvocvrts");
  kvosbFloatToInt(src, dst.data(), 2, 16, KVO_RoundNearest | KVO_RoundZero | KVO_Clip);
  expectReport(-5, "kvosbFloatToInt", "Invalid conversion flag", "kvocvrts");
  kvodbFloatToS31Fix(nullptr, nullptr, 1, 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"src==0", "dst==0", "Invalid conversion flag"}));
  EXPECT_TRUE(isSentinel(dst));
  kvosbFloatToFix(src, dst.data(), 2, 16, 16, KVO_RoundNearest | KVO_Unsigned);  // accepted
  expectNoReport();

  float back[2];
  kvosbIntToFloat(dst.data(), back, 2, 24, 0x1);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"Invalid size of an integer", "Invalid conversion flag"}));
  kvodbFixToFloat(dst.data(), nullptr, -4, 16, 16, 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"len<=0", "dst==0", "Invalid fractBits"}));
  kvosbIntToFloat(dst.data(), back, 2, 16, KVO_Unsigned | KVO_RoundNearest | KVO_Clip);
  expectNoReport();
  kvosbS15FixToFloat(nullptr, nullptr, 0);  // no flags: the first failure ends the checks
  expectReport(-5, "kvosbS15FixToFloat", "len<=0", "kvocvrts");
}

// Boundary widths and fraction sizes: refused with the size or fractBits report, nothing written,
// and no arithmetic on the width before it is known to be valid (the sanitizer build checks that).
TEST_F(ConversionChecks, BoundaryWidthsAndFractionBits) {
  const float fsrc[3] = {1, -2, 3};
  const double dsrc[3] = {1, -2, 3};
  struct Case {
    const char* name;
    std::function<void(void*, int, int)> call;  // (buffer, width, fractBits)
    const char* sizeMessage;
  };
  std::vector<float> fdst(3);
  std::vector<double> ddst(3);
  const Case cases[] = {
      {"kvosbFloatToInt",
       [&](void* b, int w, int) { kvosbFloatToInt(fsrc, b, 3, w, KVO_RoundNearest); },
       "Invalid size of an integer"},
      {"kvodbFloatToInt",
       [&](void* b, int w, int) { kvodbFloatToInt(dsrc, b, 3, w, KVO_RoundNearest); },
       "Invalid size of an integer"},
      {"kvosbIntToFloat", [&](void* b, int w, int) { kvosbIntToFloat(b, fdst.data(), 3, w, 0); },
       "Invalid size of an integer"},
      {"kvodbIntToFloat", [&](void* b, int w, int) { kvodbIntToFloat(b, ddst.data(), 3, w, 0); },
       "Invalid size of an integer"},
      {"kvosbFloatToFix",
       [&](void* b, int w, int f) { kvosbFloatToFix(fsrc, b, 3, w, f, KVO_RoundNearest); },
       "Invalid size of a fix-point"},
      {"kvodbFloatToFix",
       [&](void* b, int w, int f) { kvodbFloatToFix(dsrc, b, 3, w, f, KVO_RoundNearest); },
       "Invalid size of a fix-point"},
      {"kvosbFixToFloat",
       [&](void* b, int w, int f) { kvosbFixToFloat(b, fdst.data(), 3, w, f, 0); },
       "Invalid size of a fix-point"},
      {"kvodbFixToFloat",
       [&](void* b, int w, int f) { kvodbFixToFloat(b, ddst.data(), 3, w, f, 0); },
       "Invalid size of a fix-point"},
  };
  const int bounds[] = {INT_MIN, -1, 0, 7, 8, 16, 31, 32, 33, INT_MAX};
  for (const Case& c : cases) {
    const bool fix = std::string(c.sizeMessage).find("fix") != std::string::npos;
    for (int width : bounds) {
      for (int fract :
           fix ? std::vector<int>(std::begin(bounds), std::end(bounds)) : std::vector<int>{0}) {
        SCOPED_TRACE(std::string(c.name) + " width " + std::to_string(width) + " fract " +
                     std::to_string(fract));
        auto buf = sentinel<std::int32_t>(3);
        const bool toFloat = std::string(c.name).find("ToFloat") != std::string::npos;
        if (!toFloat) c.call(buf.data(), width, fract);
        std::vector<std::string> want;
        const bool widthOk = width == 8 || width == 16 || width == 32;
        if (!widthOk) want.push_back(c.sizeMessage);
        if (fract < 0 || (widthOk && fract > width - 1)) want.push_back("Invalid fractBits");
        if (toFloat) {  // reads the buffer: give it defined values, then watch the output
          std::vector<std::int32_t> in = {1, 2, 3};
          fdst.assign(3, -7.0f);
          ddst.assign(3, -7.0);
          c.call(in.data(), width, fract);
          if (!want.empty()) {
            EXPECT_EQ(fdst, std::vector<float>(3, -7.0f));
            EXPECT_EQ(ddst, std::vector<double>(3, -7.0));
          }
        } else if (!want.empty()) {
          EXPECT_TRUE(isSentinel(buf));
        }
        EXPECT_EQ(messages(), want);
      }
    }
  }
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
  for (int k = 0; k < 3; ++k) EXPECT_TRUE(sameBits(back[k], src[k]));
  join(nullptr, im.data(), back.data(), 3);
  EXPECT_TRUE(sameBits(back[1], C{0, 4}));
  join(re.data(), nullptr, back.data(), 3);
  EXPECT_TRUE(sameBits(back[2], C{-5, 0}));
  join(nullptr, nullptr, back.data(), 3);
  EXPECT_TRUE(sameBits(back[0], C{0, 0}));
}

TEST(Complex, SplitAndJoin) {
  checkSplitAndJoin<CF, float>(kvocbReal, kvocbImag, kvocbCplxTo2Real, kvocb2RealToCplx);
  checkSplitAndJoin<CD, double>(kvozbReal, kvozbImag, kvozbCplxTo2Real, kvozb2RealToCplx);
  checkSplitAndJoin<CS, short>(kvovbReal, kvovbImag, kvovbCplxTo2Real, kvovb2RealToCplx);
}

// Distance in units of the last place of `want`.
template <class R>
double ulps(R got, R want) {
  if (got == want) return 0;
  return std::fabs(double(got - want)) / double(std::nextafter(want, got) - want);
}

// Magnitude, phase and power against long double (x87 extended) references.
template <class C, class R>
void checkPolar(void (*toPolar)(const C*, R*, R*, int),
                void (*toPolarR)(const R*, const R*, R*, R*, int),
                void (*toCart)(const R*, const R*, C*, int), void (*magnitude)(const C*, R*, int),
                void (*power)(const R*, const R*, R*, int), void (*phase)(const C*, R*, int)) {
  const int n = 301;
  auto src = randomComplex<C>(n, 21);
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
  for (int k = 0; k < n; ++k) {
    const long double a = re[k], b = im[k];
    EXPECT_LE(ulps(mag[k], R(std::sqrt(a * a + b * b))), 0.5001) << k;
    EXPECT_LE(ulps(phi[k], R(std::atan2(b, a))), 0.5001) << k;
    EXPECT_LE(ulps(pw[k], R(a * a + b * b)), 0.5001) << k;
    EXPECT_TRUE(sameBits(mag[k], magR[k]) && sameBits(phi[k], phiR[k]) && sameBits(phi[k], p2[k]));
    if (std::is_same_v<R, double>) {  // the float magnitude of long vectors has its own test
      EXPECT_TRUE(sameBits(mag[k], m2[k]));
    }
    const long double m = mag[k], p = phi[k];
    EXPECT_LE(ulps(back[k].re, R(m * std::cos(p))), 0.5001) << k;
    EXPECT_LE(ulps(back[k].im, R(m * std::sin(p))), 0.5001) << k;
  }
}

TEST(Complex, PolarFormsAndSpectra) {
  checkPolar<CF, float>(kvocbCartToPolar, kvosbrCartToPolar, kvocbPolarToCart, kvocbMag,
                        kvosbrPowerSpectr, kvocbPhase);
  checkPolar<CD, double>(kvozbCartToPolar, kvodbrCartToPolar, kvozbPolarToCart, kvozbMag,
                         kvodbrPowerSpectr, kvozbPhase);
}

TEST(Complex, FloatMagnitudeOfLongVectorsGoesThroughTheFloatPower) {
  for (int n : {128, 129, 300}) {
    auto src = randomComplex<CF>(n, 5);
    std::vector<float> mag(n);
    int viaPower = 0;
    forEachIsa([&] {
      kvocbMag(src.data(), mag.data(), n);
      const int blocked = n > 128 ? n / 128 * 128 : 0;
      for (int k = 0; k < n; ++k) {
        const double p = double(src[k].re) * src[k].re + double(src[k].im) * src[k].im;
        const float direct = float(std::sqrt(p)), fromFloat = std::sqrt(float(p));
        ASSERT_EQ(mag[k], k < blocked ? fromFloat : direct) << n << " " << k;
        viaPower += direct != fromFloat;
      }
    });
    if (n == 300) {
      EXPECT_GT(viaPower, 0);  // the data tell the two routes apart
    }
  }
}

TEST(Complex, PhaseOfRealNumbers) {
  const std::vector<CF> src = {{-1, -0.0f}, {-1, 0}, {0, 0}, {-0.0f, 0}, {2, -0.0f}, {0, -1}};
  std::vector<float> phase(6);
  kvocbPhase(src.data(), phase.data(), 6);
  EXPECT_EQ(phase[0], 3.1415927f);
  EXPECT_EQ(phase[1], 3.1415927f);
  for (int k = 2; k < 5; ++k) EXPECT_TRUE(sameBits(phase[k], 0.0f)) << k;
  EXPECT_EQ(phase[5], float(-kPi / 2));
  const double re[] = {-3, 0}, im[] = {-0.0, -0.0};
  double d[2];
  kvodbrPhase(re, im, d, 2);
  EXPECT_EQ(d[0], kPi);
  EXPECT_TRUE(sameBits(d[1], 0.0));
}

// ---- 16-bit members ----

TEST(Complex16, Phase) {
  const std::vector<CS> src = {{-5, 0}, {0, 0}, {0, 5}, {1, 1}, {-32768, -1}, {3, -4}};
  std::vector<short> out(src.size()), outR(src.size());
  std::vector<short> re, im;
  for (const CS& c : src) re.push_back(c.re), im.push_back(c.im);
  kvovbPhase(src.data(), out.data(), int(src.size()));
  kvowbrPhase(re.data(), im.data(), outR.data(), int(src.size()));
  EXPECT_EQ(out, outR);
  EXPECT_EQ(out[0], 16383);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 8191);  // 8191.5 truncated
  EXPECT_EQ(out[3], 4095);
  EXPECT_EQ(out[4], short(std::atan2(-1.0, -32768.0) * (16383 / kPi)));
  EXPECT_EQ(out[5], short(std::atan2(-4.0, 3.0) * (16383 / kPi)));
}

// The 16-bit magnitude and power: modes 0 and 1 from the float power (or its root, rounded to
// float) rounded to nearest; modes 2 to 4 from the exact values, shifted (the magnitude exactly:
// floor(sqrt(p) * 2^-s)).
std::int64_t exact16(bool mag, std::int64_t p, int s) {
  const long double v = mag ? std::sqrt((long double)p) : (long double)p;
  return std::int64_t(std::floor(std::ldexp(v, -std::clamp(s, -15, 31))));
}
short wrap16(std::int64_t v) { return short(std::uint16_t(v)); }
short sat16(std::int64_t v) { return short(std::clamp<std::int64_t>(v, -32768, 32767)); }

TEST(Complex16, MagnitudeAndPowerUnderEveryScaleMode) {
  std::vector<CS> src = {{0, 0},      {3, 4},      {-32768, -32768}, {181, 181},
                         {-300, 400}, {32767, -1}, {1000, 1000},     {46, 2}};
  std::mt19937 gen(9);
  for (int k = 0; k < 300; ++k) src.push_back({short(gen()), short(gen() >> 20)});
  const int n = int(src.size());
  std::vector<short> re(n), im(n), out(n), outR(n);
  for (int k = 0; k < n; ++k) re[k] = src[k].re, im[k] = src[k].im;
  for (bool mag : {true, false}) {
    const auto f = mag ? kvovbMag : kvovbPowerSpectr;
    const auto fr = mag ? kvowbrMag : kvowbrPowerSpectr;
    for (int mode : {0, 1, 2, 3, 4}) {
      for (int start : {INT_MIN, -20, -3, -1, 0, 2, 32, 33, 40, INT_MAX}) {
        int factor = start, factorR = start;
        f(src.data(), out.data(), n, mode, &factor);
        fr(re.data(), im.data(), outR.data(), n, mode, &factorR);
        ASSERT_EQ(out, outR);
        ASSERT_EQ(factor, factorR);
        int s = start;
        if (mode == 4) {  // the first factor from the start on at which the largest value fits
          std::int64_t largest = 0;
          for (const CS& c : src) {
            largest = std::max(largest, std::int64_t(c.re) * c.re + c.im * c.im);
          }
          if (s < -15 && exact16(mag, largest, -15) > 32767) s = -14;  // all below shift by 15
          while (exact16(mag, largest, s) > 32767) ++s;
          EXPECT_EQ(factor, s);
        }
        for (int k = 0; k < n; ++k) {
          const std::int64_t p = std::int64_t(re[k]) * re[k] + std::int64_t(im[k]) * im[k];
          short want;
          if (mode < 2) {
            const float value = mag ? float(std::sqrt(double(p))) : float(p);
            const auto r = std::int64_t(std::nearbyint(value));
            want = mode == 1 ? sat16(r) : wrap16(r);
          } else {
            want = mode == 3 ? sat16(exact16(mag, p, s)) : wrap16(exact16(mag, p, s));
          }
          ASSERT_EQ(out[k], want) << "mag " << mag << " mode " << mode << " start " << start << " ("
                                  << re[k] << ", " << im[k] << ")";
        }
      }
    }
  }
}

class Complex16Checks : public KvoTest {};

TEST_F(Complex16Checks, ScaleModesAndPointers) {
  const CS src[2] = {{3, 4}, {5, 12}};
  auto dst = sentinel<short>(2);
  int factor = 0;
  kvovbMag(src, dst.data(), 2, KVO_FIXED_SCALE | KVO_AUTO_SCALE, &factor);
  expectReport(-5, "kvovbMag", "KVO_FIXED_SCALE and KVO_AUTO_SCALE", "<null>");
  kvowbrPowerSpectr(&src[0].re, &src[0].im, dst.data(), 2, KVO_AUTO_SCALE, nullptr);
  expectReport(-5, "kvowbrPowerSpectr", "KVO_AUTO_SCALE and ScaleFactor==NULL", "<null>");
  kvovbPowerSpectr(src, nullptr, 2, 7, nullptr);  // pointers before modes
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports().front().line, 0);  // these reports name no place
  expectReport(-5, "kvovbPowerSpectr", "dst==0", "<null>");
  for (int mode : {5, 8, -8}) {
    kvovbMag(src, dst.data(), 2, mode, &factor);  // nothing to do for these modes
    expectNoReport();
  }
  EXPECT_TRUE(isSentinel(dst));
  kvovbPhase(src, nullptr, 2);
  expectReport(-5, "kvovbPhase", "phase==0", "<null>");
  kvowbrPhase(&src[0].re, nullptr, dst.data(), 1);
  expectReport(-5, "kvowbrPhase", "srcImag==0", "<null>");
  kvovbCplxTo2Real(src, dst.data(), nullptr, 2);
  expectReport(-5, "kvovbCplxTo2Real", "dstImag==0", "<null>");
}

// ---- argument checks of the complex conversions: the first failure ends them ----

class ComplexChecks : public KvoTest {};

TEST_F(ComplexChecks, OrderAndMessages) {
  CF c[2] = {};
  float a[2], b[2];
  kvocbMag(c, a, 0);
  expectReport(-5, "kvocbMag", "length<=0", "kvocvrts");
  kvocbMag(nullptr, nullptr, 2);
  expectReport(-5, "kvocbMag", "mag==0", "kvocvrts");
  kvocbPowerSpectr(nullptr, a, 2);
  expectReport(-5, "kvocbPowerSpectr", "src==0", "kvocvrts");
  kvosbrPowerSpectr(a, nullptr, nullptr, 2);
  expectReport(-5, "kvosbrPowerSpectr", "spectr==0", "kvocvrts");
  kvodbrMag(nullptr, nullptr, reinterpret_cast<double*>(c), 1);
  expectReport(-5, "kvodbrMag", "srcReal==0", "kvocvrtd");
  kvocbCartToPolar(nullptr, nullptr, nullptr, 2);
  expectReport(-5, "kvocbCartToPolar", "src==0", "kvocvrts");
  kvosbrCartToPolar(nullptr, nullptr, a, nullptr, 2);  // outputs first in this form
  expectReport(-5, "kvosbrCartToPolar", "phase==0", "kvocvrts");
  kvozbPolarToCart(nullptr, nullptr, nullptr, -1);
  expectReport(-5, "kvozbPolarToCart", "length<=0", "kvocvrtd");
  kvosbrPolarToCart(a, b, a, nullptr, 2);
  expectReport(-5, "kvosbrPolarToCart", "dstImag==0", "kvocvrts");
  kvozbReal(nullptr, nullptr, 2);
  expectReport(-5, "kvozbReal", "src==0", "kvocvrtd");
  kvocb2RealToCplx(nullptr, nullptr, nullptr, 2);
  expectReport(-5, "kvocb2RealToCplx", "dst==0", "kvocvrts");
  kvodbrPhase(nullptr, nullptr, nullptr, 3);
  expectReport(-5, "kvodbrPhase", "phase==0", "kvocvrtd");
}

}  // namespace
