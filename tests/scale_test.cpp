// The shared routines that bring wide results to 16 bits.
#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include "kernels/vector/scale.h"
#include "support/kvo_test.h"

namespace {

using kvo::kvoScaleFloatPairsToShorts;
using kvo::kvoScaleFloatsToShorts;
using kvo::kvoScaleIntsToShorts;
using kvo::kvoScaleIntToShort;
using kvo::kvoScaleLongsToShorts;

std::vector<std::int32_t> sampleInts() {
  std::vector<std::int32_t> v;
  for (std::int32_t x = -70000; x <= 70000; ++x) v.push_back(x);
  for (std::int32_t x : {INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1, 1 << 30, -(1 << 30)}) {
    v.push_back(x);
  }
  std::mt19937 gen(42);
  for (int k = 0; k < 20000; ++k) v.push_back(std::int32_t(gen()));
  return v;
}

TEST(ScaleInts, WrapAndSaturateEveryValue) {
  const auto values = sampleInts();
  std::vector<short> out(values.size());
  for (int mode : {0, 1, 5, 6, -1, 8}) {  // unknown modes wrap
    kvoScaleIntsToShorts(values.data(), out.data(), int(values.size()), mode, nullptr);
    for (std::size_t k = 0; k < values.size(); ++k) {
      ASSERT_EQ(out[k], kvotest::toShort(values[k], mode, nullptr))
          << values[k] << " mode " << mode;
    }
  }
}

// The sweep below covers factors up to 16; these reach 17 and the single-value form.
TEST(ScaleInts, AutoFactorOfTheExtremesAndOfOneValue) {
  const std::int32_t in[] = {INT_MIN, INT_MAX, -1};
  short out[3];
  int factor = -99;
  kvoScaleIntsToShorts(in, out, 3, 4, &factor);
  EXPECT_EQ(factor, 17);
  EXPECT_EQ(out[0], -16384);
  EXPECT_EQ(out[1], 16383);
  EXPECT_EQ(out[2], -1);
  EXPECT_EQ(kvoScaleIntToShort(-7, 4, &factor), -7);
  EXPECT_EQ(factor, 0);
  EXPECT_EQ(kvoScaleIntToShort(-70001, 4, &factor), -70001 >> 2);
  EXPECT_EQ(factor, 2);
  EXPECT_EQ(kvoScaleIntToShort(70000, 3, nullptr), 32767);  // a null factor means no shift
}

// Every 16-bit value times a sampled second operand (plus an offset): the results of products
// and sums that later families hand to these routines.
TEST(ScaleInts, EveryModeAndFactorOnEveryShortTimesASample) {
  const int samples[] = {1, -1, 2, 3, 255, -256, 12345, 32767, -32768};
  std::vector<std::int32_t> in(65536);
  std::vector<std::int64_t> wide(65536);
  std::vector<short> out(65536), outWide(65536);
  for (int b : samples) {
    for (int k = 0; k < 65536; ++k) {
      in[k] = std::int32_t((k - 32768) * b + (k % 3) - 1);
      wide[k] = in[k];
    }
    for (int mode = -1; mode <= 8; ++mode) {
      const bool fixed = mode == 2 || mode == 3;
      for (int s = fixed ? -17 : 0; s <= (fixed ? 17 : 0); ++s) {
        int factor = s, factorWide = s;
        kvoScaleIntsToShorts(in.data(), out.data(), 65536, mode, &factor);
        kvoScaleLongsToShorts(wide.data(), outWide.data(), 65536, mode, &factorWide);
        const int want = mode == 4 ? kvotest::autoFactorOf(wide) : s;
        ASSERT_EQ(factor, want) << "b " << b << " mode " << mode;
        ASSERT_EQ(factorWide, want);
        for (int k = 0; k < 65536; ++k) {
          ASSERT_EQ(out[k], kvotest::toShort(in[k], mode, &s, want))
              << in[k] << " b " << b << " mode " << mode << " s " << s;
          ASSERT_EQ(outWide[k], out[k]);
        }
      }
    }
  }
}

TEST(ScaleInts, WideValuesAndExtremeFactors) {
  // 64-bit sums beyond the 32-bit range, as exact dot products produce them.
  const std::int64_t big[] = {std::int64_t(1) << 40, -(std::int64_t(1) << 40) - 5, 3};
  short out[3];
  int factor = 0;
  kvoScaleLongsToShorts(big, out, 3, 4, &factor);
  EXPECT_EQ(factor, 26);  // bit 40 of the magnitude
  EXPECT_EQ(out[0], 16384);
  EXPECT_EQ(out[1], -16385);
  EXPECT_EQ(out[2], 0);
  kvoScaleLongsToShorts(big, out, 3, 1, nullptr);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  factor = -15;  // left shifts stop at 15 and saturate without overflowing
  kvoScaleLongsToShorts(big, out, 3, 3, &factor);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  kvoScaleLongsToShorts(big, out, 3, 2, &factor);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], short(3 << 15));
  // Factors far out of range: right shifts stop at 31, left shifts at 15.
  for (int f : {INT_MIN, INT_MIN + 1, -1000}) {
    factor = f;
    EXPECT_EQ(kvoScaleIntToShort(1, 3, &factor), 32767);
    EXPECT_EQ(kvoScaleIntToShort(-1, 2, &factor), short(-32768));
  }
  factor = INT_MAX;
  EXPECT_EQ(kvoScaleIntToShort(INT_MIN, 2, &factor), -1);
  EXPECT_EQ(kvoScaleIntToShort(INT_MAX, 3, &factor), 0);
}

// Float results: the wrap and saturate rules written out in double arithmetic (a float times a
// power of two is exact there).
short floatReference(float x, int mode, int s) {
  const bool sat = mode == 1 || mode == 3;
  double v = x;
  if ((mode == 2 || mode == 3 || mode == 4) && s != 0) v = std::ldexp(v, -s);
  if (std::isnan(v)) return sat ? (std::signbit(v) ? -32768 : 32767) : 0;
  v = std::trunc(v);
  if (sat) return short(std::clamp<double>(v, -32768, 32767));
  if (!(std::fabs(v) < 9223372036854775808.0)) return 0;
  return short(std::uint16_t(std::uint64_t(std::int64_t(v)) & 0xFFFF));
}

TEST(ScaleFloats, EveryModeAndFactorOnEveryShortPlusFractions) {
  const float fractions[] = {0.0f, -0.5f, 0.999f, 1e5f, -3e6f, 1.5e10f};
  std::vector<float> in(65536);
  std::vector<short> out(65536);
  for (float f : fractions) {
    for (int k = 0; k < 65536; ++k) in[k] = float(k - 32768) * (std::fabs(f) > 1 ? f : 1) + f;
    for (int mode = -1; mode <= 8; ++mode) {
      const bool fixed = mode == 2 || mode == 3;
      for (int s = fixed ? -17 : 0; s <= (fixed ? 17 : 0); ++s) {
        int factor = s;
        kvoScaleFloatsToShorts(in.data(), out.data(), 65536, mode, &factor);
        int want = s;
        if (mode == 4) {
          float lo = 0, hi = 0;
          for (float x : in) lo = std::min(lo, x), hi = std::max(hi, x);
          want = hi > 32767.0f || lo < -32768.0f ? std::ilogb(std::max(hi, -lo)) - 14 : 0;
          ASSERT_EQ(factor, want) << f;
        }
        const int refMode = mode > 4 || mode < 0 ? 0 : mode;
        for (int k = 0; k < 65536; ++k) {
          ASSERT_EQ(out[k], floatReference(in[k], refMode, want))
              << in[k] << " mode " << mode << " s " << s;
        }
      }
    }
  }
  // Huge factors: 0 stays 0 and saturates nowhere.
  const float zero[] = {0.0f, -0.0f, 1.0f};
  short o[3];
  int factor = -5000;
  kvoScaleFloatsToShorts(zero, o, 3, 3, &factor);
  EXPECT_EQ(o[0], 0);
  EXPECT_EQ(o[1], 0);
  EXPECT_EQ(o[2], 32767);
  factor = 5000;
  kvoScaleFloatsToShorts(zero, o, 3, 3, &factor);
  EXPECT_EQ(o[2], 0);
}

// What the sweep above does not reach: infinities, NaNs of either sign, values beyond the 64-bit
// range (integer-indefinite: low bits 0) and a null factor (no multiplication).
TEST(ScaleFloats, NonFiniteAndHugeValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float in[] = {inf, -inf, std::nanf(""), -std::nanf(""), 1e20f, 1e15f, 100.0f};
  const short wrap[] = {0, 0, 0, 0, 0, short(std::int64_t(1e15f) & 0xFFFF), 100};
  const short sat[] = {32767, -32768, 32767, -32768, 32767, 32767, 100};
  short out[7];
  kvoScaleFloatsToShorts(in, out, 7, 2, nullptr);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(out[k], wrap[k]) << in[k];
  kvoScaleFloatsToShorts(in, out, 7, 3, nullptr);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(out[k], sat[k]) << in[k];
  // The automatic factor looks at the n values only, not at a larger one just past them.
  const float edge[] = {-32768.0f, 32768.0f};
  int factor = -1;
  kvoScaleFloatsToShorts(edge, out, 1, 4, &factor);
  EXPECT_EQ(factor, 0);
  EXPECT_EQ(out[0], -32768);
}

TEST(ScaleFloats, PairsShareTheLargerFactor) {
  const float re[] = {100.0f, 3.0f};
  const float im[] = {70000.0f, -5.0f};
  short outRe[2], outIm[2];
  int factor = 0;
  kvoScaleFloatPairsToShorts(re, im, outRe, outIm, 2, 4, &factor);
  EXPECT_EQ(factor, 2);
  EXPECT_EQ(outRe[0], 25);
  EXPECT_EQ(outRe[1], 0);
  EXPECT_EQ(outIm[0], 17500);
  EXPECT_EQ(outIm[1], -1);
  kvoScaleFloatPairsToShorts(re, im, outRe, outIm, 2, 1, nullptr);
  EXPECT_EQ(outIm[0], 32767);
}

}  // namespace
