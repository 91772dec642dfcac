// DFT, Goertzel and DCT: the 16-bit core choice, cache limits, Goertzel blocks against sample-by-
// sample runs. Accuracy against numpy/scipy, the 16-bit integer core bit for bit against a model
// of its arithmetic, the 16-bit DCT at full scale and DCTs from several threads are in
// reference/dft_test.py.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <type_traits>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

class Dft : public KvoTest {
 protected:
  void TearDown() override {
    kvovDft(nullptr, nullptr, 1, KVO_Free, 0, nullptr);  // every DFT table and buffer
    kvozFreeTwdTbls();
    kvosDct(nullptr, nullptr, 0, KVO_Free);
    kvowDct(nullptr, nullptr, 16, KVO_Free);
    KvoTest::TearDown();
  }
  // The last report has these fields (the table getters may report before it); clears the list.
  static void expectLast(int status, const char* func, const char* message, const char* module) {
    ASSERT_FALSE(kvotest::reports().empty()) << func << ": " << message;
    const auto& r = kvotest::reports().back();
    EXPECT_EQ(r.status, status) << func << ": " << message;
    EXPECT_EQ(r.func, func);
    EXPECT_EQ(r.message, message);
    EXPECT_EQ(r.module, module);
    kvotest::clearReports();
  }
};

std::vector<ComplexShort> randomShorts(std::size_t n, unsigned seed, int amplitude) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> d(-amplitude, amplitude - 1);
  std::vector<ComplexShort> v(n);
  for (auto& c : v) c = {static_cast<short>(d(gen)), static_cast<short>(d(gen))};
  return v;
}

// Up to 128 points the integer core runs, from 129 on (or with KVO_DoFloatCore) the float core,
// whose values reference/dft_test.py holds; length 1 copies.
TEST_F(Dft, CoreChoiceFollowsLength) {
  for (int L : {128, 129}) {
    const auto x = randomShorts(L, L, 4000);
    std::vector<ComplexShort> got(L), viaInt(L), viaFloat(L);
    int sf = 6;
    kvovDft(x.data(), got.data(), L, KVO_Forw, 3, &sf);
    kvovDft(x.data(), viaInt.data(), L, KVO_Forw | KVO_DoIntCore, 3, &sf);
    kvovDft(x.data(), viaFloat.data(), L, KVO_Forw | KVO_DoFloatCore, 3, &sf);
    EXPECT_FALSE(kvotest::sameBits(viaInt, viaFloat));
    EXPECT_TRUE(kvotest::sameBits(got, L == 128 ? viaInt : viaFloat)) << L;
  }
  const ComplexShort one = {-7, 9};
  ComplexShort out{};
  int sf = 0;
  kvovDft(&one, &out, 1, KVO_Inv, 0, &sf);
  EXPECT_TRUE(kvotest::sameBits(out, one));
  expectNoReport();
}

TEST_F(Dft, CachesHoldThirtyTwoLengths) {
  std::vector<ComplexFloat> cf(64, {1, 0});
  std::vector<ComplexShort> cs(64, {1, 0});
  int sf = 0;
  for (int L = 1; L <= 32; ++L) {
    kvocDft(cf.data(), cf.data(), L, KVO_Init);
    kvovDft(cs.data(), cs.data(), L, KVO_Init | KVO_DoIntCore, 0, &sf);
  }
  expectNoReport();
  kvocDft(cf.data(), cf.data(), 33, KVO_Forw);
  ASSERT_EQ(kvotest::reports().size(), 2u);
  EXPECT_EQ(kvotest::reports()[0].message, "Full Table");
  EXPECT_EQ(kvotest::reports()[0].status, -4);
  expectLast(-5, "kvocDft", "TwdTbl==0", "kvodft");
  kvovDft(cs.data(), cs.data(), 40, KVO_Forw, 0, &sf);  // the integer table cache fails silently
  expectReport(-5, "kvovDft", "TwidleTbl==0", "kvodft");
  kvocDft(cf.data(), cf.data(), 5, KVO_Forw);  // cached lengths still work
  expectNoReport();
  kvovDft(nullptr, nullptr, 1, KVO_Free, 0, nullptr);
  kvocDft(cf.data(), cf.data(), 33, KVO_Forw);
  expectNoReport();
}

// ---- Goertzel ----------------------------------------------------------------------------------

// A block gives the result of feeding its samples one by one: bit for bit with double states;
// with float states the block keeps its delays in double and agrees within float rounding.
template <class State, class Sample, class One, class Block>
void expectBlockEqualsSamples(float freq, const std::vector<Sample>& x, One one, Block block,
                              int (*init)(decltype(State::freq), State*)) {
  State a, b;
  ASSERT_EQ(init(freq, &a), 0);
  ASSERT_EQ(init(freq, &b), 0);
  decltype(one(&a, x[0])) last{};
  for (const Sample& s : x) last = one(&a, s);
  const auto r = block(&b, x.data(), static_cast<int>(x.size()));
  if constexpr (std::is_same_v<State, GoertzStateDouble>) {
    EXPECT_TRUE(kvotest::sameBits(r, last));
    EXPECT_TRUE(kvotest::sameBits(a, b));
  } else {
    const double tol = 1e-5 * (std::fabs(double(last.re)) + std::fabs(double(last.im))) + 1;
    EXPECT_NEAR(r.re, last.re, tol);
    EXPECT_NEAR(r.im, last.im, tol);
    EXPECT_NEAR(a.delay1.re, b.delay1.re, 1e-5 * std::fabs(a.delay1.re) + 1e-4);
  }
}

TEST_F(Dft, GoertzelBlockEqualsSampleBySample) {
  const auto rf = randomReals<float>(50, 1);
  const auto rd = randomReals<double>(50, 2);
  const auto cf = randomComplex<ComplexFloat>(50, 3);
  const auto cd = randomComplex<ComplexDouble>(50, 4);
  const auto cs = randomShorts(50, 5, 300);
  std::vector<short> ws(50);
  for (int i = 0; i < 50; ++i) ws[i] = cs[i].re;
  int sf = 3, sfa = 0;
  expectBlockEqualsSamples<GoertzState>(0.1f, rf, kvosGoertz, kvosbGoertz, kvosGoertzInit);
  expectBlockEqualsSamples<GoertzState>(0.3f, cf, kvocGoertz, kvocbGoertz, kvocGoertzInit);
  expectBlockEqualsSamples<GoertzStateDouble>(0.7f, rd, kvodGoertz, kvodbGoertz, kvodGoertzInit);
  expectBlockEqualsSamples<GoertzStateDouble>(0.9f, cd, kvozGoertz, kvozbGoertz, kvozGoertzInit);
  for (int mode : {0, 1, 3}) {
    auto w1 = [&](GoertzState* s, short v) { return kvowGoertz(s, v, mode, &sf); };
    auto wb = [&](GoertzState* s, const short* v, int n) {
      return kvowbGoertz(s, v, n, mode, &sf);
    };
    expectBlockEqualsSamples<GoertzState>(0.2f, ws, w1, wb, kvowGoertzInit);
    auto v1 = [&](GoertzState* s, ComplexShort v) { return kvovGoertz(s, v, mode, &sf); };
    auto vb = [&](GoertzState* s, const ComplexShort* v, int n) {
      return kvovbGoertz(s, v, n, mode, &sf);
    };
    expectBlockEqualsSamples<GoertzState>(0.45f, cs, v1, vb, kvovGoertzInit);
  }
  // The 16-bit result is the float result brought to 16 bits: auto scale picks the factor.
  GoertzState a, b;
  kvocGoertzInit(0.05f, &a);
  kvovGoertzInit(0.05f, &b);
  std::vector<ComplexFloat> asFloat(50);
  for (int i = 0; i < 50; ++i) asFloat[i] = {float(cs[i].re * 40), float(cs[i].im * 40)};
  std::vector<ComplexShort> big(50);
  for (int i = 0; i < 50; ++i) big[i] = {short(cs[i].re * 40), short(cs[i].im * 40)};
  const ComplexFloat rfl = kvocbGoertz(&a, asFloat.data(), 50);
  const ComplexShort rs = kvovbGoertz(&b, big.data(), 50, KVO_AUTO_SCALE, &sfa);
  EXPECT_GT(sfa, 0);
  EXPECT_EQ(rs.re, static_cast<short>(std::trunc(std::ldexp(rfl.re, -sfa))));
  EXPECT_EQ(rs.im, static_cast<short>(std::trunc(std::ldexp(rfl.im, -sfa))));
  // Reset clears the delays and keeps the frequency.
  kvocGoertzReset(&a);
  EXPECT_EQ(a.freq, 0.05f);
  EXPECT_EQ(a.delay1.re, 0);
  EXPECT_EQ(a.delay2.im, 0);
  expectNoReport();
}

}  // namespace
