// Convolution, correlation, 2-D operations and resampling: the method switch points, the sliding
// kernel at every level, filter anchors and resampling edges. The floating-point values of every
// method and the 16-bit rules bit for bit are checked against numpy and scipy in
// reference/conv_test.py.
#include <cmath>
#include <cstdint>
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
