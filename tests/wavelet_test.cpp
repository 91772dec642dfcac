// Wavelet transform: the worked examples, caller filters, the limits of the family parameters and
// the checks of a record's fields. Filters and transforms against PyWavelets are in
// tests/reference/wavelet_test.py.
#include <functional>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

class Wavelet : public KvoTest {};

TEST_F(Wavelet, HaarHalvesSumsAndDifferencesAndBack) {
  WtState s{};
  kvosWtInit(0, 0, 2, 1, &s, KVO_Haar);
  const float x[4] = {3, 8, 1, 2};
  float y[4], z[4];
  kvosWtDecompose(&s, x, y);
  EXPECT_EQ(y[0], 5.5f);
  EXPECT_EQ(y[1], 1.5f);
  EXPECT_EQ(y[2], 2.5f);
  EXPECT_EQ(y[3], 0.5f);
  kvosWtReconstruct(&s, y, z);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(z[i], x[i]);
  kvoWtFree(&s);
  EXPECT_EQ(s.tap_filt[0], nullptr);
  expectNoReport();
}

TEST_F(Wavelet, LevelZeroCopies) {
  WtState s{};
  std::vector<double> x(256), y(256);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>((i * 37) % 101) - 50;
  kvodWtInit(0, 0, 8, 0, &s, KVO_Ortho24);
  kvodWtDecompose(&s, x.data(), y.data());
  EXPECT_EQ(y, x);
  kvoWtFree(&s);
  expectNoReport();
}

TEST_F(Wavelet, CallerFiltersAndGetState) {
  // Haar given by hand equals the built-in one.
  const float lo[2] = {0.5f, 0.5f}, hi[2] = {0.5f, -0.5f}, rlo[2] = {1, 1}, rhi[2] = {-1, 1};
  const float* taps[4] = {lo, hi, rlo, rhi};
  const int len[4] = {2, 2, 2, 2}, ofs[4] = {1, 1, 0, 0};
  WtState mine{}, builtin{};
  kvowWtSetState(&mine, KVO_WtByFilter, 0, 0, 4, 3, taps, len, ofs);
  EXPECT_EQ(kvowWtInit(0, 0, 4, 3, &builtin, KVO_Haar), 0);
  const short x[16] = {100, -7, 3, 9, 2000, -2000, 5, 5, 0, 1, 2, 3, 4, 5, 6, -32768};
  short a[16], b[16], back[16];
  kvowWtDecompose(&mine, x, a);
  kvowWtDecompose(&builtin, x, b);
  EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
  kvowWtReconstruct(&builtin, b, back);
  for (int i = 0; i < 15; ++i) EXPECT_NEAR(back[i], x[i], 1) << i;
  EXPECT_EQ(mine.category, 3);
  EXPECT_EQ(builtin.core, 4);
  int type, p1, p2, order, level, flen[4], fofs[4];
  float* ftaps[4];
  kvowWtGetState(&mine, &type, &p1, &p2, &order, &level, ftaps, flen, fofs);
  EXPECT_EQ(type, KVO_WtByFilter);
  EXPECT_EQ(order, 4);
  EXPECT_EQ(level, 3);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ftaps[i], mine.tap_filt[i]);  // the record's own arrays
    EXPECT_NE(ftaps[i], taps[i]);
    EXPECT_EQ(ftaps[i][1], taps[i][1]);
    EXPECT_EQ(flen[i], 2);
    EXPECT_EQ(fofs[i], ofs[i]);
  }
  // Filters longer than the passes take at once: Haar padded with zero taps gives Haar.
  std::vector<float> padded[4];
  const float* longTaps[4];
  const int longLen[4] = {70, 70, 70, 70};
  for (int i = 0; i < 4; ++i) {
    padded[i].assign(70, 0.0f);
    padded[i][0] = taps[i][0];
    padded[i][1] = taps[i][1];
    longTaps[i] = padded[i].data();
  }
  kvowWtSetState(&mine, KVO_WtByFilter, 0, 0, 7, 3, longTaps, longLen, ofs);
  kvowWtInit(0, 0, 7, 3, &builtin, KVO_Haar);
  std::vector<short> in(128), viaLong(128), viaHaar(128);
  for (int i = 0; i < 128; ++i) in[i] = static_cast<short>((i * 53) % 199 - 99);
  kvowWtDecompose(&mine, in.data(), viaLong.data());
  kvowWtDecompose(&builtin, in.data(), viaHaar.data());
  EXPECT_EQ(viaLong, viaHaar);
  kvowWtReconstruct(&mine, viaHaar.data(), viaLong.data());
  kvowWtReconstruct(&builtin, viaHaar.data(), in.data());
  EXPECT_EQ(viaLong, in);
  kvoWtFree(&mine);
  kvoWtFree(&builtin);
  expectNoReport();
}

// The last valid parameter of each family and the first refused one; then records whose fields
// were changed after Init.
TEST_F(Wavelet, FamilyLimitsAndBrokenRecords) {
  WtState s{};
  const struct {
    int type, par1, par2;
    const char* message;  // null: accepted
  } cases[] = {
      {KVO_Daublet, 10, 0, nullptr},
      {KVO_Daublet, 11, 0, "error in parameter Daublet filter"},
      {KVO_Symmlet, 7, 0, nullptr},
      {KVO_Symmlet, 8, 0, "error in parameter Symmlet filter"},
      {KVO_Coiflet, 0, 0, "error in parameter Coiflet filter"},
      {KVO_Biorth, 2, 2, nullptr},
      {KVO_Biorth, 2, 3, "error in wavelet parameters"},
  };
  for (const auto& c : cases) {
    kvosWtInit(c.par1, c.par2, 3, 1, &s, c.type);
    if (c.message) expectReport(-5, "kvosWtInit", c.message, "kvowlts");
    if (!c.message) kvoWtFree(&s);
    expectNoReport();
    kvoSetErrStatus(0);
  }
  // A float record refused by the double and 16-bit transforms; a broken record reports all.
  kvosWtInit(3, 0, 3, 1, &s, KVO_Daublet);
  auto d = kvotest::sentinel<double>(8);
  kvodWtDecompose(&s, d.data(), d.data());
  expectReport(KVO_StatusBadArgument, "kvodWtDecompose", "error in the double core", "kvowlts");
  kvoSetErrStatus(0);
  s.level = 5;
  s.ofs[2] = 9;
  auto f = kvotest::sentinel<float>(8);
  kvosWtReconstruct(&s, f.data(), f.data());
  ASSERT_EQ(kvotest::reports().size(), 2u);
  EXPECT_EQ(kvotest::reports()[0].message, "wtState->level>(wtState->dataOrder-1)");
  EXPECT_EQ(kvotest::reports()[1].message, "error in the filter offsets");
  EXPECT_TRUE(kvotest::isSentinel(d) && kvotest::isSentinel(f));
  kvotest::clearReports();
  kvoSetErrStatus(0);
  // Orthogonal filters come in pairs of one even length.
  WtState o{};
  kvosWtInit(3, 0, 3, 1, &o, KVO_Daublet);
  o.len[1] += 2;
  o.len[2] += 2;
  kvosWtReconstruct(&o, f.data(), f.data());
  expectReport(KVO_StatusBadArgument, "kvosWtReconstruct",
               "error in the filter lengths ortho. wavelet", "kvowlts");
  kvoSetErrStatus(0);
  o.len[1] -= 2;
  o.len[2] -= 2;
  kvoWtFree(&o);
  kvosWtDecompose(nullptr, f.data(), f.data());  // silently ignored
  kvoWtFree(&s);
  expectNoReport();
}

}  // namespace
