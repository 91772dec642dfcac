// Convolution, correlation, 2-D operations and resampling: argument reports, the 16-bit rules
// bit for bit against models written here, the method switch points and the kernel kept intact.
// The floating-point values are checked against numpy and scipy in reference/conv_test.py.
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "adaptive/convframe.h"
#include "kernels/conv/slide.h"
#include "support/kvo_test.h"

namespace {

using namespace kvotest;

// The transform methods fill the thread's table caches; each test leaves them empty.
class Conv : public KvoTest {
 protected:
  void TearDown() override {
    kvocFreeTwdTbls();
    kvozFreeTwdTbls();
    kvoFreeBitRevTbls();
    KvoTest::TearDown();
  }
};

constexpr int kBad = KVO_StatusBadArgument;

// ---- argument reports -------------------------------------------------------------------------

struct ReportCase {
  const char* func;
  const char* module;
  std::function<void()> call;
  std::vector<const char*> messages;  // the reports, in order
};

TEST_F(Conv, BadArgumentsReportInOrderAndWriteNothing) {
  float f[4] = {1, 2, 3, 4}, out[8];
  double d[4] = {1, 2, 3, 4};
  short w[4] = {1, 2, 3, 4}, wo[8];
  ComplexFloat c[4] = {};
  int n = 0, phase = 0, factor = 2;
  const std::vector<ReportCase> cases = {
      {"kvosConv",
       "kvoconvs",
       [&] { EXPECT_EQ(kvosConv(nullptr, 0, nullptr, 0, nullptr), kBad); },
       {"x==0", "xLen<=0", "h==0", "hLen<=0", "y==0"}},
      {"kvozdConv",
       "kvoconvd",
       [&] { EXPECT_EQ(kvozdConv(nullptr, 2, d, 0, nullptr), kBad); },
       {"x==0", "hLen<=0", "y==0"}},
      {"kvowConv",
       "kvoconvw",
       [&] { EXPECT_EQ(kvowConv(w, -1, w, 2, nullptr, 0, nullptr), kBad); },
       {"xLen<=0", "y==0"}},
      {"kvocCrossCorr",
       "kvocorr",
       [&] { kvocCrossCorr(c, 2, nullptr, 2, c, 0, 1); },
       {"Null SRC buffer pointer"}},
      {"kvosCrossCorr",
       "kvocorr",
       [&] { kvosCrossCorr(f, 2, f, 0, out, 0, 1); },
       {"Invalid SRC buffer length"}},
      {"kvodCrossCorr",
       "kvocorr",
       [&] { kvodCrossCorr(d, 2, d, 2, d, 1, 0); },
       {"Invalid LAG value"}},
      {"kvosAutoCorr", "kvocorr", [&] { kvosAutoCorr(f, 4, out, 5, 0); }, {"Invalid LAG value"}},
      {"kvosAutoCorr",
       "kvocorr",
       [&] { kvosAutoCorr(f, 4, nullptr, 4, 0); },
       {"Null DST buffer pointer"}},
      {"kvowCrossCorr",
       "kvocorrw",
       [&] { kvowCrossCorr(w, 2, w, 2, wo, 0, 1, 4, nullptr); },
       {"Null scale factor pointer"}},
      {"kvovAutoCorr",
       "kvocorrw",
       [&] { kvovAutoCorr(nullptr, 2, nullptr, 1, 0, 0, nullptr); },
       {"Null SRC buffer pointer"}},
      {"kvosConv2D",
       "kvocnv2d",
       [&] { kvosConv2D(f, 2, 2, nullptr, 1, 1, out); },
       {"\nNull pointer to data buffer\n"}},
      {"kvodConv2D",
       "kvocnv2d",
       [&] { kvodConv2D(d, 2, 0, d, 1, 1, d); },
       {"\nBad value of data buffer size\n"}},
      {"kvowConv2D",
       "kvocnv2d",
       [&] { kvowConv2D(w, 2, 2, w, 0, 1, wo, 0, nullptr); },
       {"\nBad value of data buffer size\n"}},
      {"kvosFilter2D",
       "kvofir2",
       [&] { kvosFilter2D(f, 2, 0, f, 1, 1, out); },
       {"Inlalid number of rows"}},
      {"kvodFilter2D",
       "kvofir2",
       [&] { kvodFilter2D(d, 2, 2, d, 0, 1, d); },
       {"Invalid number of cols"}},
      {"kvowFilter2D",
       "kvofir2",
       [&] { kvowFilter2D(w, 2, 2, f, 1, 1, wo, 4, nullptr); },
       {"Null scale factor pointer"}},
      {"kvosUpSample",
       "kvosampl",
       [&] { kvosUpSample(f, 0, out, &n, 2, &phase); },
       {"Invalid src array length"}},
      {"kvowDownSample",
       "kvosampl",
       [&] { kvowDownSample(w, 4, wo, nullptr, 2, &phase); },
       {"Null dstLen pointer"}},
      {"kvocUpSample",
       "kvosampl",
       [&] { kvocUpSample(c, 4, c, &n, 2, nullptr); },
       {"Null phase pointer"}},
      {"kvodDownSample",
       "kvosampl",
       [&] { kvodDownSample(d, 4, d, &n, 0, &phase); },
       {"Invalid factor value"}},
      {"kvozUpSample",
       "kvosampl",
       [&] {
         int bad = -1;
         kvozUpSample(reinterpret_cast<ComplexDouble*>(d), 1, reinterpret_cast<ComplexDouble*>(d),
                      &n, 2, &bad);
       },
       {"Invalid phase value"}},
      {"kvovDownSample",
       "kvosampl",
       [&] {
         ComplexShort v[2] = {};
         kvovDownSample(v, 2, v, &n, factor, &factor);
       },
       {"Invalid factor value"}},
  };
  for (const ReportCase& rc : cases) {
    SCOPED_TRACE(rc.func);
    std::fill(std::begin(out), std::end(out), 7.0f);
    std::fill(std::begin(wo), std::end(wo), short(7));
    kvotest::clearReports();
    rc.call();
    ASSERT_EQ(kvotest::reports().size(), rc.messages.size());
    for (std::size_t i = 0; i < rc.messages.size(); ++i) {
      const kvotest::Report& r = kvotest::reports()[i];
      EXPECT_EQ(r.status, kBad);
      EXPECT_EQ(r.func, rc.func);
      EXPECT_EQ(r.message, rc.messages[i]);
      EXPECT_EQ(r.module, rc.module);
    }
    for (float v : out) EXPECT_EQ(v, 7.0f);
    for (short v : wo) EXPECT_EQ(v, 7);
  }
  kvotest::clearReports();
}

// ---- 16-bit convolution and correlation, bit for bit -----------------------------------------

short sat16(int v) { return static_cast<short>(v > 32767 ? 32767 : v < -32768 ? -32768 : v); }
short low16(int v) { return static_cast<short>(static_cast<std::uint16_t>(v)); }

// The stated rule: the shorter operand (the second on a tie) outside, saturating per addition.
std::vector<short> modelConvW(const std::vector<short>& x, const std::vector<short>& h, int mode,
                              const int* factor) {
  const bool swap = x.size() < h.size();
  const std::vector<short>& a = swap ? h : x;
  const std::vector<short>& b = swap ? x : h;
  std::vector<short> y(a.size() + b.size() - 1, 0);
  for (std::size_t j = 0; j < b.size(); ++j) {
    if (b[j] == 0) continue;
    for (std::size_t i = 0; i < a.size(); ++i) y[i + j] = sat16(y[i + j] + low16(a[i] * b[j]));
  }
  if (mode == KVO_FIXED_SCALE && factor && *factor) {
    for (short& v : y) {
      v = *factor > 0 ? short(v >> std::min(*factor, 15))
                      : (-*factor >= 16 ? short(0) : low16(v * (1 << -*factor)));
    }
  }
  return y;
}

TEST_F(Conv, SixteenBitConvolutionFollowsTheWrapAndSaturateRule) {
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> big(-32768, 32767), small(-40, 40);
  struct Case {
    int xLen, hLen, mode, factor;
    bool smallValues;
  };
  for (const Case& k : std::vector<Case>{{1, 1, 0, 0, false},
                                         {37, 5, 0, 0, false},
                                         {5, 37, 1, 0, false},
                                         {100, 100, 2, 3, true},
                                         {64, 9, 2, -2, true},
                                         {64, 9, 2, -17, true},
                                         {64, 9, 2, 20, false},
                                         {300, 70, 3, 2, false}}) {
    SCOPED_TRACE(::testing::Message() << k.xLen << "x" << k.hLen << " mode " << k.mode);
    std::vector<short> x(k.xLen), h(k.hLen);
    for (short& v : x) v = short(k.smallValues ? small(gen) : big(gen));
    for (short& v : h) v = short(k.smallValues ? small(gen) : big(gen));
    h[0] = 0;
    int factor = k.factor;
    const std::vector<short> want = modelConvW(x, h, k.mode, &factor);
    kvotest::forEachIsa([&] {
      std::vector<short> y(want.size(), 0x5A5A);  // whatever the output held before
      EXPECT_EQ(kvowConv(x.data(), k.xLen, h.data(), k.hLen, y.data(), k.mode, &factor), 0);
      EXPECT_EQ(y, want);
    });
  }
}

// 16-bit 2-D direct path: products wrapped, additions saturated, h walked outside.
TEST_F(Conv, SixteenBitConv2DDirectPath) {
  const int xc = 9, xr = 4, hc = 3, hr = 3;
  std::vector<short> x(xc * xr), h(hc * hr), y((xc + hc - 1) * (xr + hr - 1));
  for (int i = 0; i < xc * xr; ++i) x[i] = short(i * 2311 - 30000);
  for (int i = 0; i < hc * hr; ++i) h[i] = short(i * 977 - 4000);
  std::vector<short> want(y.size(), 0);
  const int yc = xc + hc - 1;
  for (int bi = 0; bi < hr; ++bi)
    for (int bj = 0; bj < hc; ++bj)
      for (int ai = 0; ai < xr; ++ai)
        for (int aj = 0; aj < xc; ++aj) {
          short& o = want[(ai + bi) * yc + aj + bj];
          o = sat16(o + low16(x[ai * xc + aj] * h[bi * hc + bj]));
        }
  kvowConv2D(x.data(), xc, xr, h.data(), hc, hr, y.data(), 1, nullptr);
  EXPECT_EQ(y, want);
}

TEST_F(Conv, SixteenBitAutoCorrelationNormalisesAsFloats) {
  const std::vector<short> x(12, 300);  // constant: sum at lag k is (12 - k) * 90000
  for (int type : {0, 1, 2, 5}) {
    SCOPED_TRACE(type);
    std::vector<short> dst(6);
    int factor = 4;
    kvowAutoCorr(x.data(), 12, dst.data(), 6, type, KVO_FIXED_SCALE, &factor);
    for (int k = 0; k < 6; ++k) {
      const double sum = (12.0 - k) * 90000.0;
      const double v = type == 1 ? sum / 12 : type == 2 ? sum / (12 - k) : sum;
      EXPECT_EQ(dst[k], low16(static_cast<int>(std::trunc(v / 16))));
    }
  }
  expectNoReport();
}

// kvowFilter2D: the kernel quantised with one exponent, 32-bit sums scaled back.
TEST_F(Conv, SixteenBitFilterUsesTheQuantisedKernel) {
  const int cols = 11, rows = 7;
  std::vector<short> src(cols * rows), dst(cols * rows);
  for (int i = 0; i < cols * rows; ++i) src[i] = short((i * 7919) % 20000 - 10000);
  std::vector<float> k = {0.25f, -0.5f, 0.125f, 1.0f, 0.3f, -0.07f};  // 3 cols, 2 rows
  const std::vector<float> keep = k;
  kvowFilter2D(src.data(), cols, rows, k.data(), 3, 2, dst.data(), KVO_SATURATE, nullptr);
  EXPECT_EQ(k, keep);
  // S = 2.245: e = 13 (2.245 * 2^14 >= 32767).
  const int e = 13;
  std::vector<int> q(6);
  for (int i = 0; i < 6; ++i) q[i] = int(std::ldexp(double(k[i]), e) + (k[i] < 0 ? -0.5 : 0.5));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      std::int64_t s = 0;
      for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) {
          const int sr = r + 1 - i, sc = c + 1 - j;
          if (sr >= 0 && sr < rows && sc >= 0 && sc < cols) s += q[i * 3 + j] * src[sr * cols + sc];
        }
      EXPECT_EQ(dst[r * cols + c], sat16(static_cast<int>(s >> e))) << r << "," << c;
    }
}

// ---- method boundaries ------------------------------------------------------------------------

TEST_F(Conv, ThresholdsAndCostModelPickTheStatedMethods) {
  namespace conv = kvo::conv;
  const conv::Rules s{
      {9, 111, conv::tables::kS}, &conv::kCostS, &conv::kCostS, &conv::kCostS, true};
  int mode = 0;
  EXPECT_EQ(conv::choose(s, 1 << 30, 8, &mode), conv::kDirect);  // below the lower bound
  EXPECT_NE(conv::choose(s, 111, 111, &mode), conv::kDirect);    // from the upper bound on
  for (int len = 9; len < 111; ++len) {
    const int t = s.t.threshold(len);
    if (t == conv::tables::kNever || t <= len) continue;
    EXPECT_EQ(conv::choose(s, t - 1, len, &mode), conv::kDirect) << len;
    EXPECT_NE(conv::choose(s, t, len, &mode), conv::kDirect) << len;
  }
  // Long operands far beyond the short one go blocked, comparable ones one full transform.
  EXPECT_EQ(conv::choose(s, 1 << 20, 200, &mode), conv::kBlocked);
  EXPECT_EQ(conv::choose(s, 300, 200, &mode), conv::kFull);
}

// Every switch point gives the same values (up to rounding) on both sides.
TEST_F(Conv, ResultsAgreeAcrossMethodSwitches) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<float> u(-1, 1);
  struct Case {
    int lg, s;
  };
  // Direct / transform around T[19], T[30]; full-length versus blocked around 32 * S.
  for (const Case& k : std::vector<Case>{{14589, 19},
                                         {14590, 19},
                                         {977, 30},
                                         {978, 30},
                                         {3000, 100},
                                         {3300, 100},
                                         {200000, 100}}) {
    std::vector<float> x(k.lg), h(k.s), y(k.lg + k.s - 1);
    for (float& v : x) v = u(gen);
    for (float& v : h) v = u(gen);
    ASSERT_EQ(kvosConv(x.data(), k.lg, h.data(), k.s, y.data()), 0);
    double worst = 0;
    for (int n = 0; n < k.lg + k.s - 1; n += 97) {
      double want = 0;
      for (int j = std::max(0, n - k.lg + 1); j <= std::min(n, k.s - 1); ++j)
        want += double(h[j]) * x[n - j];
      worst = std::max(worst, std::fabs(want - y[n]));
    }
    EXPECT_LT(worst, 2e-5) << k.lg << ", " << k.s;
  }
}

// The vector kernel against plain sums at every level: blocks of lanes with tails of every
// length, and the dot-product form for few lanes and many coefficients.
TEST_F(Conv, SlidingKernelMatchesScalarSums) {
  struct Case {
    int na, lanes;
  };
  for (const Case& k :
       std::vector<Case>{{13, 1}, {13, 7}, {13, 33}, {13, 150}, {300, 5}, {700, 3}}) {
    std::vector<double> c(k.na), b(k.na + k.lanes), out(k.lanes), want(k.lanes, 0.0);
    for (int i = 0; i < k.na; ++i) c[i] = 0.1 * (i % 17) - 0.4;
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::sin(0.3 * double(i));
    for (int l = 0; l < k.lanes; ++l)
      for (int j = 0; j < k.na; ++j) want[l] += c[j] * b[l + j];
    kvotest::forEachIsa([&] {
      kvo::kern::slide<double, double>(c.data(), k.na, b.data(), 1, k.lanes, out.data(), false);
      for (int l = 0; l < k.lanes; ++l) EXPECT_NEAR(out[l], want[l], 1e-12) << k.na << " " << l;
    });
  }
}

// ---- 2-D and resampling edge cases ------------------------------------------------------------

TEST_F(Conv, FilterAnchorsAndKernelRestoration) {
  const float src[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  float dst[9];
  float k1[1] = {2};
  kvosFilter2D(src, 3, 3, k1, 1, 1, dst);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(dst[i], 2 * src[i]);
  // 2 x 2 kernel: dst[r][c] = z[r + 1][c + 1].
  float k2[4] = {1, 10, 100, 1000};
  kvosFilter2D(src, 3, 3, k2, 2, 2, dst);
  EXPECT_EQ(dst[0], 1 * 5 + 10 * 4 + 100 * 2 + 1000 * 1);
  EXPECT_EQ(dst[8], 1 * 0 + 10 * 0 + 100 * 0 + 1000 * 9);
  EXPECT_EQ(k2[0], 1);
  EXPECT_EQ(k2[3], 1000);
  // A 3 x 3 kernel of ones: the corner sums the 2 x 2 overlap.
  float k3[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  kvosFilter2D(src, 3, 3, k3, 3, 3, dst);
  EXPECT_EQ(dst[0], 1 + 2 + 4 + 5);
  expectNoReport();
}

TEST_F(Conv, ResamplingEdgeCases) {
  const float two[2] = {1, 2};
  float out[6];
  int n = 0, phase = 1;
  EXPECT_EQ(kvosUpSample(two, 2, out, &n, 3, &phase), 0);
  EXPECT_EQ(n, 6);
  EXPECT_EQ(std::vector<float>(out, out + 6), (std::vector<float>{0, 1, 0, 0, 2, 0}));
  // In place.
  short w[6] = {1, 2, 0, 0, 0, 0};
  kvowUpSample(w, 2, w, &n, 3, &phase);
  EXPECT_EQ(std::vector<short>(w, w + 6), (std::vector<short>{0, 1, 0, 0, 2, 0}));
  const double five[5] = {0, 1, 2, 3, 4};
  double d[5];
  phase = 1;
  kvodDownSample(five, 5, d, &n, 2, &phase);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(phase, 0);
  EXPECT_EQ(d[1], 3);
  phase = 0;
  kvodDownSample(five, 5, d, &n, 2, &phase);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(phase, 1);
  phase = 3;
  kvodDownSample(five, 3, d, &n, 4, &phase);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(phase, 0);
  expectNoReport();
}

}  // namespace
