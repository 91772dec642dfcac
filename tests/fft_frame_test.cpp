// The FFTs' processing order: Free, order checks, tables, Init, pointer and flag checks; exact
// small results; packed-spectrum products; two signals at once. Every single bad argument, with
// the two-signal back traces, is in the adversarial driver's golden file.
#include <cmath>
#include <vector>

#include "frame/context.h"
#include "support/kvo_test.h"

using namespace kvotest;

namespace {

constexpr const char* kS = "kvoffts";
constexpr const char* kD = "kvofftd";

class FftFrame : public KvoTest {
 protected:
  void TearDown() override {
    kvocFreeTwdTbls();
    kvozFreeTwdTbls();
    KvoTest::TearDown();
  }
};

// Tables come before the flag checks: a bad flag word still builds the order's tables.
TEST_F(FftFrame, TablesComeBeforeTheFlagChecks) {
  auto data = sentinel<ComplexFloat>(8);
  kvocFft(data.data(), 3, KVO_Forw | KVO_Inv);
  expectReport(-5, "kvocFft", "(flags & 1) && (flags & 2)", kS);
  EXPECT_TRUE(isSentinel(data));
  EXPECT_NE(kvo::context().fftTriadTable[0][3], nullptr);
  EXPECT_NE(kvo::context().bitRevPairTable[3], nullptr);
}

TEST_F(FftFrame, InitAndFree) {
  kvocFft(nullptr, 12, KVO_Init);
  kvozFftNip(nullptr, nullptr, 5, KVO_Init | KVO_OutBitRev);
  expectNoReport();
  auto& ctx = kvo::context();
  EXPECT_NE(ctx.fftTriadTable[0][10], nullptr);
  EXPECT_NE(ctx.fftLargeTable[0][12], nullptr);
  EXPECT_NE(ctx.fftPairTable[1][5], nullptr);
  EXPECT_EQ(ctx.fftTriadTable[1][5], nullptr);
  kvocFft(nullptr, 12, KVO_Free);
  EXPECT_EQ(ctx.fftLargeTable[0][12], nullptr);
  EXPECT_EQ(ctx.bitRevPairTable[12], nullptr);
  EXPECT_NE(ctx.fftTriadTable[0][10], nullptr);  // the base table is shared with other orders
  kvozFft(nullptr, 5, KVO_Free);                 // frees the triad variant only
  EXPECT_NE(ctx.fftPairTable[1][5], nullptr);
  kvozFft(nullptr, 5, KVO_Free | KVO_OutBitRev);
  EXPECT_EQ(ctx.fftPairTable[1][5], nullptr);
  kvocFft(nullptr, 40, KVO_Free);
  kvocFft(nullptr, -3, KVO_Free | KVO_Forw | KVO_Inv);
  kvosRealFft(nullptr, 40, KVO_Free);
  expectNoReport();

  kvosRealFftl(nullptr, 9, KVO_Init);
  EXPECT_NE(ctx.realFftTable[0][8], nullptr);
  EXPECT_NE(ctx.fftTriadTable[0][8], nullptr);
  kvosRealFftl(nullptr, 9, KVO_Free);
  EXPECT_EQ(ctx.realFftTable[0][8], nullptr);
  EXPECT_EQ(ctx.fftTriadTable[0][8], nullptr);
  expectNoReport();
}

TEST_F(FftFrame, HugeOrdersFailWithoutCrashing) {
  kvocFft(nullptr, 31, KVO_Init);
  expectReport(-4, "kvocFft", "No working Twd memory", kS);
  // The failed attempt released the precision's internal tables rather than keeping half of them.
  EXPECT_EQ(kvo::context().fftTriadTable[0][10], nullptr);
  kvodRealFft(nullptr, 31, KVO_Init | KVO_Forw);
  expectReport(-4, "kvodRealFft", "No working Twd memory", kD);
}

TEST_F(FftFrame, RealOrderZero) {
  float single = 7;
  kvosRealFft(&single, 0, KVO_Forw);
  EXPECT_EQ(single, 7);
  expectNoReport();
}

TEST_F(FftFrame, TwoSignals) {
  const auto x = randomReals<double>(66, 1), y = randomReals<double>(66, 2);
  std::vector<double> x2 = x, y2 = y, x1 = x, y1 = y;
  EXPECT_EQ(kvodReal2Fft(x2.data(), y2.data(), 6, KVO_Forw), 0);
  kvodRealFft(x1.data(), 6, KVO_Forw);
  kvodRealFft(y1.data(), 6, KVO_Forw);
  EXPECT_EQ(x1, x2);
  EXPECT_EQ(y1, y2);
  EXPECT_EQ(kvodCcs2Fft(x2.data(), y2.data(), 6, KVO_Inv), 0);
  for (int i = 0; i < 64; ++i) EXPECT_NEAR(y2[i], y[i], 1e-12);
  expectNoReport();

  // A failed first signal leaves the second one transformed.
  std::vector<float> ys(34, 1.0f);
  EXPECT_EQ(kvosReal2Fft(nullptr, ys.data(), 5, KVO_Forw), -1);
  EXPECT_EQ(ys[0], 32.0f);
  kvotest::clearReports();
  EXPECT_EQ(kvosCcs2FftNip(nullptr, nullptr, nullptr, nullptr, 5, KVO_Init), 0);
  expectNoReport();
}

TEST_F(FftFrame, PackedProducts) {
  const auto a = randomReals<float>(16, 3), b = randomReals<float>(16, 4);
  std::vector<float> pack(16), perm(16);
  kvosMpyRCPack3(a.data(), b.data(), pack.data(), 4);
  kvosMpyRCPerm3(a.data(), b.data(), perm.data(), 4);
  EXPECT_EQ(pack[0], a[0] * b[0]);
  EXPECT_EQ(pack[15], a[15] * b[15]);
  EXPECT_EQ(perm[1], a[1] * b[1]);
  // Complex products are exact in double and rounded once.
  auto re = [&](int i) {
    return static_cast<float>(double(a[i]) * b[i] - double(a[i + 1]) * b[i + 1]);
  };
  auto im = [&](int i) {
    return static_cast<float>(double(a[i]) * b[i + 1] + double(a[i + 1]) * b[i]);
  };
  for (int k = 0; k < 7; ++k) {
    const int p = 1 + 2 * k, q = 2 + 2 * k;  // RCPack and RCPerm positions of one complex value
    EXPECT_EQ(pack[p], re(p));
    EXPECT_EQ(pack[p + 1], im(p));
    EXPECT_EQ(perm[q], re(q));
    EXPECT_EQ(perm[q + 1], im(q));
  }
  std::vector<float> d = b;
  kvosMpyRCPack2(a.data(), d.data(), 4);
  EXPECT_EQ(d, pack);
  double one[2] = {2, 3};
  const double src[2] = {5, 7};
  kvodMpyRCPack2(src, one, 0);
  EXPECT_EQ(one[0], 10);
  EXPECT_EQ(one[1], 3);  // order 0: only value 0
  expectNoReport();
}

}  // namespace
