// Bit reversal, twiddle tables and the per-thread table caches.
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "frame/context.h"
#include "support/kvo_test.h"
#include "transform/tables.h"

using namespace kvotest;

namespace {

namespace tables = kvo::tables;
constexpr const char* kMisc = "kvomisc";
constexpr const char* kTwd = "kvotwd";

class Tables : public KvoTest {
 protected:
  void TearDown() override {
    kvoFreeBitRevTbls();
    kvocFreeTwdTbls();
    kvozFreeTwdTbls();
    kvovFreeTwdTbls();
    KvoTest::TearDown();
  }
};

TEST_F(Tables, BitRevOfValues) {
  EXPECT_EQ(kvoBitRev(6, 3), 3);
  EXPECT_EQ(kvoBitRev(12345, 0), 0);
  EXPECT_EQ(kvoBitRev(1, 31), 1 << 30);
  EXPECT_EQ(kvoBitRev(0x7fffffff, 31), 0x7fffffff);
  expectNoReport();
  EXPECT_EQ(kvoBitRev(1, 32), 0);
  expectReport(-5, "kvoBitRev", "order>31", kMisc);
  // An unresolved failure of the thread makes it return 0 without work or report.
  EXPECT_EQ(kvoBitRev(6, 3), 0);
  EXPECT_EQ(kvoGetBitRevTbl(3), nullptr);
  EXPECT_EQ(kvocGetFftTwdTbl(3), nullptr);
  expectNoReport();
}

TEST_F(Tables, IndexTables) {
  int t0[1], t1[2], t3[8];
  kvoCalcBitRevTbl(t0, 0);
  kvoCalcBitRevTbl(t1, 1);
  kvoCalcBitRevTbl(t3, 3);
  EXPECT_EQ(t0[0], 0);
  EXPECT_EQ(std::vector<int>(t1, t1 + 2), (std::vector<int>{0, 1}));
  EXPECT_EQ(std::vector<int>(t3, t3 + 8), (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
  const int* t = kvoGetBitRevTbl(11);
  ASSERT_NE(t, nullptr);
  for (int i = 0; i < 2048; ++i) ASSERT_EQ(t[i], static_cast<int>(bitrev(std::size_t(i), 11)));
  EXPECT_EQ(kvoGetBitRevTbl(11), t);
  kvoFreeBitRevTbls();
  EXPECT_EQ(kvo::context().bitRevTable[11], nullptr);
  EXPECT_NE(kvoGetBitRevTbl(11), nullptr);
}

TEST_F(Tables, BitRevPairTableContents) {
  const std::int32_t* t3 = tables::bitRevPair(3);
  ASSERT_NE(t3, nullptr);
  EXPECT_EQ(std::vector<int>(t3, t3 + 3), (std::vector<int>{0, 4, 0}));
  // Order 4: middle values 1 <-> 2 pair, 3 is its own reverse.
  const std::int32_t* t4 = tables::bitRevPair(4);
  EXPECT_EQ(std::vector<int>(t4, t4 + 5), (std::vector<int>{4, 8, 0, 12, 0}));
  // Order 6, 16 middle values: pairs in increasing i, then the self-reverse ones decreasing.
  const std::int32_t* t6 = tables::bitRevPair(6);
  EXPECT_EQ(std::vector<int>(t6, t6 + 17),
            (std::vector<int>{4, 32, 8, 16, 12, 48, 20, 40, 28, 56, 44, 52, 0, 60, 36, 24, 0}));
  EXPECT_EQ(tables::bitRevPair(6), t6);
  EXPECT_EQ(tables::bitRevPair(32), nullptr);
}

template <class T>
void checkPermutations(void (*rev1)(T*, int), void (*rev2)(const T*, T*, int)) {
  for (int order = 0; order <= 12; ++order) {
    const std::size_t n = std::size_t{1} << order;
    std::vector<T> src(n), in(n), out(n);
    for (std::size_t i = 0; i < n; ++i) {
      std::memset(static_cast<void*>(&src[i]), 0, sizeof(T));
      std::memcpy(static_cast<void*>(&src[i]), &i, std::min(sizeof(T), sizeof(std::int16_t)));
    }
    in = src;
    rev1(in.data(), order);
    rev2(src.data(), out.data(), order);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t j = bitrev(i, order);
      ASSERT_TRUE(kvotest::sameBits(in[j], src[i])) << "order " << order << " element " << i;
      ASSERT_TRUE(kvotest::sameBits(out[j], src[i])) << "order " << order << " element " << i;
    }
  }
}

TEST_F(Tables, VectorPermutations) {
  short v[4] = {10, 20, 30, 40};
  kvowbBitRev1(v, 2);
  EXPECT_EQ(std::vector<short>(v, v + 4), (std::vector<short>{10, 30, 20, 40}));
  kvowbBitRev1(v, 1);
  kvowbBitRev1(v, 0);
  EXPECT_EQ(std::vector<short>(v, v + 4), (std::vector<short>{10, 30, 20, 40}));
  checkPermutations(kvowbBitRev1, kvowbBitRev2);
  checkPermutations(kvovbBitRev1, kvovbBitRev2);
  checkPermutations(kvosbBitRev1, kvosbBitRev2);
  checkPermutations(kvocbBitRev1, kvocbBitRev2);
  checkPermutations(kvodbBitRev1, kvodbBitRev2);
  checkPermutations(kvozbBitRev1, kvozbBitRev2);
  expectNoReport();
}

TEST_F(Tables, FftTwiddleTables) {
  const ComplexShort* v2 = kvovGetFftTwdTbl(2);
  ASSERT_NE(v2, nullptr);
  const short want[8] = {16384, 0, 0, -16384, -16384, 0, 0, 16384};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(v2[k].re, want[2 * k]);
    EXPECT_EQ(v2[k].im, want[2 * k + 1]);
  }
  const ComplexShort* v3 = kvovGetFftTwdTbl(3);
  EXPECT_EQ(v3[1].re, 11585);  // truncated, not rounded (11585.24)
  EXPECT_EQ(v3[1].im, -11585);
  EXPECT_EQ(kvovGetFftTwdTbl(3), v3);

  const ComplexFloat* c = kvocGetFftTwdTbl(10);
  std::vector<ComplexDouble> z(1024);
  kvozCalcFftTwdTbl(z.data(), 10);
  for (int k = 0; k < 1024; ++k) {
    const double a = 2 * M_PI * k / 1024;
    EXPECT_NEAR(z[k].re, std::cos(a), 1e-15);
    EXPECT_NEAR(z[k].im, -std::sin(a), 1e-15);
    EXPECT_FLOAT_EQ(c[k].re, static_cast<float>(z[k].re));
    EXPECT_FLOAT_EQ(c[k].im, static_cast<float>(z[k].im));
  }
  kvocFreeTwdTbls();
  EXPECT_EQ(kvo::context().fftTwiddle[0][10], nullptr);
  EXPECT_NE(kvo::context().fftTwiddle[2][3], nullptr);  // other types keep theirs
  expectNoReport();
  EXPECT_EQ(kvozGetFftTwdTbl(31), nullptr);  // 2^31 entries: more than one block can hold
  expectReport(-4, "kvozGetFftTwdTbl", "NULL Pointer", kTwd);
  EXPECT_EQ(kvo::context().fftTwiddle[1][31], nullptr);
}

TEST_F(Tables, DftCacheHoldsThirtyTwoLengths) {
  // Each type has its own cache: a z table of the length the full c cache refuses below.
  ASSERT_NE(kvozGetDftTwdTbl(33 * 3), nullptr);
  std::vector<ComplexFloat*> cached;
  for (int length = 1; length <= 32; ++length) cached.push_back(kvocGetDftTwdTbl(length * 3));
  expectNoReport();
  EXPECT_EQ(kvocGetDftTwdTbl(33 * 3), nullptr);
  expectReport(-4, "kvocGetDftTwdTbl", "Full Table", kTwd);
  for (int length = 1; length <= 32; ++length) {
    EXPECT_EQ(kvocGetDftTwdTbl(length * 3), cached[static_cast<std::size_t>(length - 1)]);
  }
  const ComplexFloat* t3 = cached[0];
  EXPECT_FLOAT_EQ(t3[1].re, -0.5f);
  EXPECT_FLOAT_EQ(t3[1].im, static_cast<float>(-std::sin(2 * M_PI / 3)));
  kvocFreeTwdTbls();
  EXPECT_EQ(kvo::context().dftCount[0], 0);
  EXPECT_NE(kvocGetDftTwdTbl(33 * 3), nullptr);
  expectNoReport();

  const ComplexShort* v = kvovGetDftTwdTbl(6);
  EXPECT_EQ(v[1].re, 8192);    // 8192.0000000000016 from the double angle
  EXPECT_EQ(v[1].im, -14188);  // -14188.96, truncated toward zero
}

TEST_F(Tables, InternalTableContents) {
  using C = std::complex<double>;
  auto w = [](int k, int n) { return std::polar(1.0, -2 * M_PI * k / n); };
  auto near = [](ComplexDouble a, C b) { return std::abs(C(a.re, a.im) - b) < 1e-15; };
  const ComplexDouble* triad = tables::fftTriad<ComplexDouble>(4);
  const ComplexDouble* pair = tables::fftPair<ComplexDouble>(4);
  for (int k = 1; k < 4; ++k) {
    EXPECT_TRUE(near(triad[3 * k + 1], w(k, 16)));
    EXPECT_TRUE(near(triad[3 * k + 2], w(2 * k, 16)));
    EXPECT_TRUE(near(triad[3 * k + 3], w(3 * k, 16)));
    EXPECT_TRUE(near(pair[2 * (k - 1)], w(k, 16)));
    EXPECT_TRUE(near(pair[2 * (k - 1) + 1], w(3 * k, 16)));
  }
  const ComplexDouble* large = tables::fftLarge<ComplexDouble>(15);
  EXPECT_TRUE(near(large[1234], w(1234, 32768)));
  EXPECT_TRUE(near(large[16384 + 4095], w(4095, 16384)));
  const ComplexDouble* real = tables::realFft<ComplexDouble>(3);  // N = 8, 4 entries
  for (int k = 1; k <= 4; ++k) {
    EXPECT_NEAR(real[k - 1].re, 0.5 * std::cos(M_PI * k / 8), 1e-16);
    EXPECT_NEAR(real[k - 1].im, 0.5 - 0.5 * std::sin(M_PI * k / 8), 1e-16);
  }
  EXPECT_EQ(tables::realFft<ComplexFloat>(0)[0].re, -0.5f);
  const std::int16_t* q = tables::intFftTwd(3);
  EXPECT_EQ(std::vector<int>(q + 4, q + 8), (std::vector<int>{11585, 11585, -11585, 11585}));
  EXPECT_EQ(std::vector<int>(q + 8, q + 12), (std::vector<int>{0, 16384, -16384, 0}));
  const std::int16_t* d = tables::dftIntTwd(4);
  EXPECT_EQ(std::vector<int>(d + 4, d + 8), (std::vector<int>{0, 16384, -16384, 0}));
  EXPECT_EQ(std::vector<int>(d + 20, d + 24), (std::vector<int>{0, -16384, 16384, 0}));
  EXPECT_EQ(kvo::context().vDftLength[0], 16);

  // Free of one precision leaves the other's tables alone.
  kvocFreeTwdTbls();
  EXPECT_NE(kvo::context().fftTriadTable[1][4], nullptr);
  EXPECT_EQ(kvo::context().bitRevPairTable[4], nullptr);
  kvovFreeTwdTbls();
  EXPECT_EQ(kvo::context().intFftTwdTable[3], nullptr);
  EXPECT_EQ(kvo::context().dftCount[3], 0);
  EXPECT_NE(kvo::context().fftLargeTable[1][15], nullptr);
}

TEST_F(Tables, ScratchBuffersGrowOnly) {
  void* a = tables::scratch(1, 2, 100);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(tables::scratch(1, 2, 50), a);
  EXPECT_EQ(kvo::context().scratchLength[1][2], 100);
  EXPECT_NE(tables::scratch(1, 2, 200), nullptr);
  EXPECT_EQ(kvo::context().scratchLength[1][2], 200);
  EXPECT_EQ(tables::scratch(1, 4, 10), nullptr);
  EXPECT_EQ(tables::scratch(0, 0, 0), nullptr);
  ASSERT_NE(tables::scratch(2, 0, 8), nullptr);
  kvocFreeTwdTbls();  // the second ComplexFloat set
  EXPECT_EQ(kvo::context().scratch[2][0], nullptr);
  EXPECT_NE(kvo::context().scratch[1][2], nullptr);
  kvovFreeTwdTbls();  // the 16-bit and the first ComplexFloat set
  EXPECT_EQ(kvo::context().scratch[1][2], nullptr);
}

}  // namespace
