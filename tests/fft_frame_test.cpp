// The FFTs' processing order: Free, order checks, tables, Init, pointer and flag checks; exact
// small results; packed-spectrum products; two-signal back traces; threads with their own caches.
#include <cmath>
#include <thread>
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

TEST_F(FftFrame, FlagMessagesInOrder) {
  auto data = sentinel<ComplexFloat>(8);
  const struct {
    int flags;
    const char* message;
  } cases[] = {
      {KVO_Forw | KVO_Inv, "(flags & 1) && (flags & 2)"},
      {0, "(flags & 1)==0 && (flags & 2)==0"},
      {KVO_NoScale, "(flags & 1)==0 && (flags & 2)==0"},
      {KVO_Forw | KVO_InBitRev | KVO_OutBitRev, "(flags & 64) && (flags & 128)"},
      {KVO_Inv | KVO_InBitRev | KVO_NoBitRev, "(flags & 64) && (flags & 32)"},
      {KVO_Forw | KVO_NoBitRev | KVO_OutBitRev, "(flags & 32) && (flags & 128)"},
      {KVO_Forw | KVO_Inv | KVO_InBitRev | KVO_OutBitRev, "(flags & 1) && (flags & 2)"},
  };
  for (const auto& c : cases) {
    kvocFft(data.data(), 3, c.flags);
    expectReport(-5, "kvocFft", c.message, kS);
  }
  EXPECT_TRUE(isSentinel(data));
  // Tables come before the flag checks: a bad flag word still builds the order's tables.
  EXPECT_NE(kvo::context().fftTriadTable[0][3], nullptr);
  EXPECT_NE(kvo::context().bitRevPairTable[3], nullptr);

  kvozFftNip(nullptr, nullptr, 4, KVO_Forw | KVO_Inv);
  expectReport(-5, "kvozFftNip", "inSamps==0", kD);
  std::vector<double> re(4), im(4);
  kvozrFftNip(re.data(), im.data(), re.data(), nullptr, 2, KVO_Forw);
  expectReport(-5, "kvozrFftNip", "imOutSamps==0", kD);
  kvocrFft(nullptr, nullptr, 2, KVO_Forw);
  expectReport(-5, "kvocrFft", "reSamps==0", kS);
  kvocFft(data.data(), -1, KVO_Forw);
  expectReport(-5, "kvocFft", "order<0", kS);
  kvozFft(nullptr, 32, KVO_Forw);
  expectReport(-5, "kvozFft", "order>31", kD);
  EXPECT_TRUE(isSentinel(data));
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

// Values are checked against the reference in fft_test.cpp from order 1 on; order 0 here, with the
// format-flag checks of the packed forms.
TEST_F(FftFrame, RealOrderZeroAndFormatFlags) {
  float single = 7;
  kvosRealFft(&single, 0, KVO_Forw);
  EXPECT_EQ(single, 7);
  expectNoReport();
  float pack[4] = {10, -2, 2, -2};
  double a[2] = {8, -2}, b[2];
  kvosRealFftl(pack, 2, KVO_Forw);
  expectReport(-5, "kvosRealFftl", "(flags & 256)==0 && (flags & 512)==0", kS);
  kvosRealFftl(pack, 2, KVO_Forw | KVO_OutRCPack | KVO_OutRCPerm);
  expectReport(-5, "kvosRealFftl", "(flags & 256) && (flags & 512)", kS);
  kvodCcsFftlNip(a, b, 1, KVO_Inv | KVO_InRCPack | KVO_InRCPerm);
  expectReport(-5, "kvodCcsFftlNip", "(flags & 1024) && (flags & 4096)", kD);
  kvodCcsFftl(a, 1, KVO_Inv);
  expectReport(-5, "kvodCcsFftl", "(flags & 1024)==0 && (flags & 4096)==0", kD);
  kvosCcsFftNip(nullptr, pack, 2, KVO_Forw | KVO_Inv);
  expectReport(-5, "kvosCcsFftNip", "inSamps==0", kS);
  kvosRealFftNip(pack, nullptr, 2, KVO_Forw);
  expectReport(-5, "kvosRealFftNip", "outSamps==0", kS);
  kvosRealFft(pack, 2, KVO_Inv | KVO_Forw);
  expectReport(-5, "kvosRealFft", "(flags & 1) && (flags & 2)", kS);
  EXPECT_EQ(pack[0], 10);
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

  std::vector<float> ys(34, 1.0f);
  EXPECT_EQ(kvosReal2Fft(nullptr, ys.data(), 5, KVO_Forw), -1);
  ASSERT_EQ(kvotest::reports().size(), 2u);
  EXPECT_EQ(kvotest::reports()[0].message, "samps==0");
  EXPECT_EQ(kvotest::reports()[1].status, -1);
  EXPECT_EQ(kvotest::reports()[1].func, "kvosReal2Fft");
  EXPECT_EQ(kvotest::reports()[1].message, "out kvosRealFft");
  EXPECT_EQ(kvoGetErrStatus(), -5);
  EXPECT_EQ(ys[0], 32.0f);  // y is still transformed
  kvotest::clearReports();
  std::vector<ComplexDouble> out(17);
  EXPECT_EQ(kvodCcs2FftNip(out.data(), nullptr, out.data(), nullptr, 5, KVO_Inv), -1);
  EXPECT_EQ(kvotest::reports().back().message, "out kvodCcsFftNip");
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
  kvodMpyRCPerm3(src, nullptr, one, 1);
  expectReport(-5, "kvodMpyRCPerm3", "srcB==0", kD);
  kvosMpyRCPack2(a.data(), nullptr, 32);
  expectReport(-5, "kvosMpyRCPack2", "order>31", kS);
  kvosMpyRCPerm2(nullptr, d.data(), 2);
  expectReport(-5, "kvosMpyRCPerm2", "src==0", kS);
}

// Threads transform different orders at once, each building and freeing its own tables.
TEST(FftThreads, EachThreadHasItsOwnCache) {
  constexpr int kThreads = 4;
  std::vector<std::vector<ComplexFloat>> inputs, expected;
  for (int t = 0; t < kThreads; ++t) {
    inputs.push_back(randomComplex<ComplexFloat>(std::size_t{1} << (8 + 2 * t), 20u + t));
    expected.push_back(inputs.back());
    kvocFft(expected.back().data(), 8 + 2 * t, KVO_Forw);
  }
  kvocFreeTwdTbls();
  std::vector<int> failures(kThreads, 0);
  std::vector<void*> triads(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const int order = 8 + 2 * t;
      for (int rep = 0; rep < 20; ++rep) {
        auto data = inputs[static_cast<std::size_t>(t)];
        kvocFft(data.data(), order, KVO_Forw);
        std::vector<float> real(data.size() + 2);
        kvosRealFft(real.data(), order, KVO_Forw);
        for (std::size_t i = 0; i < data.size(); ++i) {
          if (!kvotest::sameBits(data[i], expected[static_cast<std::size_t>(t)][i])) {
            ++failures[static_cast<std::size_t>(t)];
          }
        }
      }
      triads[static_cast<std::size_t>(t)] = kvo::context().fftTriadTable[0][10];
      if (kvoGetErrStatus() != 0) ++failures[static_cast<std::size_t>(t)];
      kvocFreeTwdTbls();
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[static_cast<std::size_t>(t)], 0);
  EXPECT_EQ(kvo::context().fftTriadTable[0][10], nullptr);  // the threads built none here
  EXPECT_NE(triads[2], nullptr);
  EXPECT_NE(triads[3], nullptr);
}

}  // namespace
