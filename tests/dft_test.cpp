// DFT, Goertzel and DCT: argument reports in order, the 16-bit DFT integer core bit-exact against
// a model of its arithmetic, core choice and cache limits, Goertzel blocks against sample-by-
// sample runs, DCT identities and thread safety. Accuracy against numpy/scipy is in
// reference/dft_test.py.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <thread>
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

// ---- argument checks -------------------------------------------------------------------------

TEST_F(Dft, ChecksReportInOrderAndWriteNothing) {
  auto cf = sentinel<ComplexFloat>(8);
  auto cd = sentinel<ComplexDouble>(8);
  auto cs = sentinel<ComplexShort>(8);
  auto f = sentinel<float>(8);
  auto w = sentinel<short>(8);
  const std::vector<ComplexFloat> inF(8, {1, 0});
  const std::vector<ComplexShort> inS(8, {1, 0});
  const std::vector<float> rf(8, 1.0f);
  int sf = 0;
  const char* dir = "KVO_Forw or KVO_Inv must be as a flag";
  struct Case {
    std::function<void()> call;
    int status;
    const char* func;
    const char* message;
    const char* module;
  };
  const Case cases[] = {
      {[&] { kvocDft(inF.data(), cf.data(), 0, KVO_Forw); }, -5, "kvocDft", "length<=0", "kvodft"},
      {[&] { kvocDft(nullptr, cf.data(), 8, KVO_Forw); }, -5, "kvocDft", "src==0", "kvodft"},
      {[&] { kvocDft(inF.data(), nullptr, 8, KVO_Forw); }, -5, "kvocDft", "dst==0", "kvodft"},
      {[&] { kvocDft(inF.data(), cf.data(), 8, KVO_Forw | KVO_Inv); }, -5, "kvocDft", dir,
       "kvodft"},
      {[&] { kvocDft(inF.data(), cf.data(), 8, KVO_NoScale); }, -5, "kvocDft", dir, "kvodft"},
      {[&] { kvozDft(nullptr, nullptr, -3, KVO_Forw); }, -5, "kvozDft", "length<=0", "kvodft"},
      {[&] { kvozDft(nullptr, cd.data(), 8, KVO_Inv); }, -5, "kvozDft", "src==0", "kvodft"},
      {[&] { kvovDft(inS.data(), cs.data(), 0, KVO_Forw, 0, &sf); }, -5, "kvovDft", "length<=0",
       "kvodft"},
      {[&] { kvovDft(inS.data(), nullptr, 8, KVO_Forw, 0, &sf); }, -5, "kvovDft", "dst==0",
       "kvodft"},
      {[&] { kvovDft(inS.data(), cs.data(), 8, 0, 0, &sf); }, -5, "kvovDft", dir, "kvodft"},
      {[&] { kvovDft(inS.data(), cs.data(), 8, KVO_Forw, 6, &sf); }, -5, "kvovDft",
       "KVO_FIXED_SCALE and KVO_AUTO_SCALE", "kvodft"},
      {[&] { kvovDft(inS.data(), cs.data(), 200, KVO_Forw, 4, nullptr); }, -5, "kvovDft",
       "KVO_AUTO_SCALE and ScaleFactor==NULL", "kvodft"},
      {[&] { kvosDct(rf.data(), nullptr, 8, KVO_Forw); }, -5, "kvosDct",
       "\nNull pointer to data buffer\n", "kvodct"},
      {[&] { kvodDct(nullptr, nullptr, 0, 0); }, -5, "kvodDct", "\nNull pointer to data buffer\n",
       "kvodct"},
      {[&] { kvosDct(rf.data(), f.data(), 0, KVO_Forw); }, -5, "kvosDct",
       "\nBad value of data buffer size\n", "kvodct"},
      {[&] { kvosDct(rf.data(), f.data(), 8, 3); }, -5, "kvosDct",
       "\nBad value of the transform flag\n", "kvodct"},
      {[&] { kvowDct(w.data(), w.data(), 7, 0); }, -5, "kvowDct",
       "\nBad value of the transform flag\n", "kvodct"},
  };
  for (const Case& c : cases) {
    c.call();
    expectLast(c.status, c.func, c.message, c.module);
  }
  EXPECT_TRUE(isSentinel(cf));
  EXPECT_TRUE(isSentinel(cd));
  EXPECT_TRUE(isSentinel(cs));
  EXPECT_TRUE(isSentinel(f));
}

TEST_F(Dft, GoertzelChecksReturnZero) {
  GoertzState st;
  GoertzStateDouble sd;
  const float x[4] = {1, 2, 3, 4};
  const short xs[4] = {1, 2, 3, 4};
  int sf = 0, bigSf = 15;
  struct Case {
    std::function<ComplexDouble()> call;  // the result, widened
    const char* func;
    const char* message;
    const char* module;
  };
  auto wide = [](auto r) { return ComplexDouble{double(r.re), double(r.im)}; };
  ASSERT_EQ(kvosGoertzInit(0.25f, &st), 0);
  ASSERT_EQ(kvodGoertzInit(0.0, &sd), 0);  // 0 is a valid frequency
  const Case cases[] = {
      {[&] {
         return ComplexDouble{double(kvosGoertzInit(1.0f, &st)), 0};
       },
       "kvosGoertzInit", "Invalid frequency value", "kvogrtzl"},
      {[&] {
         return ComplexDouble{double(kvozGoertzInit(-0.25, &sd)), 0};
       },
       "kvozGoertzInit", "Invalid frequency value", "kvogrtzl"},
      {[&] {
         return ComplexDouble{double(kvodGoertzInit(std::numeric_limits<double>::quiet_NaN(), &sd)),
                              0};
       },
       "kvodGoertzInit", "Invalid frequency value", "kvogrtzl"},
      {[&] {
         return ComplexDouble{double(kvovGoertzInit(0.5f, nullptr)), 0};
       },
       "kvovGoertzInit", "Null state pointer", "kvogrtzw"},
      {[&] { return wide(kvosGoertz(nullptr, 1.0f)); }, "kvosGoertz", "Null state pointer",
       "kvogrtzl"},
      {[&] { return wide(kvocbGoertz(&st, nullptr, 4)); }, "kvocbGoertz", "Null buffer pointer",
       "kvogrtzl"},
      {[&] { return wide(kvozbGoertz(&sd, nullptr, 0)); }, "kvozbGoertz", "Null buffer pointer",
       "kvogrtzl"},
      {[&] { return wide(kvosbGoertz(&st, x, 0)); }, "kvosbGoertz", "Invalid array length",
       "kvogrtzl"},
      {[&] { return wide(kvowGoertz(&st, 1, 0, nullptr)); }, "kvowGoertz",
       "Zero scale factor pointer", "kvogrtzw"},
      {[&] { return wide(kvowGoertz(&st, 1, 0, &bigSf)); }, "kvowGoertz", "Too large scale factor",
       "kvogrtzw"},
      {[&] {
         return wide(kvovGoertz(&st, {1, 1}, 5, &sf));
       },
       "kvovGoertz", "Erroneus scale mode", "kvogrtzw"},
      {[&] { return wide(kvowbGoertz(&st, xs, -1, 0, &sf)); }, "kvowbGoertz",
       "Invalid array length", "kvogrtzw"},
      {[&] { return wide(kvovbGoertz(nullptr, nullptr, 4, 0, &sf)); }, "kvovbGoertz",
       "Null state pointer", "kvogrtzw"},
  };
  for (const Case& c : cases) {
    const ComplexDouble r = c.call();
    EXPECT_EQ(r.im, 0) << c.func;
    const bool init = std::string(c.func).find("Init") != std::string::npos;
    EXPECT_EQ(r.re, init ? -5 : 0) << c.func;
    expectReport(-5, c.func, c.message, c.module);
  }
  EXPECT_EQ(st.delay1.re, 0);  // no failed call touched the state
}

// ---- 16-bit integer core ---------------------------------------------------------------------

// The integer core's arithmetic written out: Q14 twiddles truncated toward zero, wrapping 32-bit
// sums, arithmetic shift, truncating division for the scaled inverse, then the scale mode.
std::vector<ComplexShort> intCoreModel(const std::vector<ComplexShort>& x, int flags, int mode,
                                       int& factor) {
  const int L = static_cast<int>(x.size());
  const bool inv = flags & KVO_Inv;
  std::vector<std::int16_t> a(L), b(L);
  for (int k = 0; k < L; ++k) {
    const long double angle = (6.283185307179586 / L) * static_cast<double>(k);
    a[k] = static_cast<std::int16_t>(16384.0L * std::cos(angle));
    b[k] = static_cast<std::int16_t>(16384.0L * std::sin(angle));
  }
  std::vector<std::int32_t> re(L), im(L);
  for (int k = 0; k < L; ++k) {
    std::uint32_t sr = 0, si = 0;
    for (int n = 0; n < L; ++n) {
      const int j = static_cast<int>((static_cast<long long>(n) * k) % L);
      const int s = inv ? -b[j] : b[j];
      sr += static_cast<std::uint32_t>(x[n].re * a[j] + x[n].im * s);
      si += static_cast<std::uint32_t>(-x[n].re * s + x[n].im * a[j]);
    }
    re[k] = static_cast<std::int32_t>(sr);
    im[k] = static_cast<std::int32_t>(si);
  }
  const int div = inv && !(flags & KVO_NoScale) ? L : 1;
  auto val = [&](std::int32_t v, int f) { return (v >> std::min(f + 14, 31)) / div; };
  auto fits = [](int v) { return v >= -32768 && v <= 32767; };
  int f = mode >= 2 ? factor : 0;
  if (mode == 4) {
    for (f = 0;; ++f) {
      bool ok = true;
      for (int k = 0; k < L; ++k) ok = ok && fits(val(re[k], f)) && fits(val(im[k], f));
      if (ok) break;
    }
    factor = f;
  }
  std::vector<ComplexShort> out(L);
  for (int k = 0; k < L; ++k) {
    auto store = [&](int v) {
      if (mode == 1 || mode == 3) return static_cast<short>(std::clamp(v, -32768, 32767));
      return static_cast<short>(v);
    };
    out[k] = {store(val(re[k], f)), store(val(im[k], f))};
  }
  return out;
}

TEST_F(Dft, IntegerCoreMatchesModel) {
  const int lengths[] = {2, 3, 5, 16, 17, 100, 128};
  const int flagSets[] = {KVO_Forw, KVO_Inv, KVO_Inv | KVO_NoScale};
  for (int L : lengths) {
    for (int amplitude : {1000, 32768}) {
      const auto x = randomShorts(L, L * 7 + amplitude, amplitude);
      for (int flags : flagSets) {
        for (int mode = 0; mode <= 4; ++mode) {
          int factor = mode >= 2 ? 1 : 0, modelFactor = factor;
          const auto want = intCoreModel(x, flags, mode, modelFactor);
          auto got = x;  // in place
          kvovDft(got.data(), got.data(), L, flags, mode, &factor);
          SCOPED_TRACE(testing::Message() << "L=" << L << " flags=" << flags << " mode=" << mode);
          ASSERT_EQ(std::memcmp(got.data(), want.data(), L * sizeof(ComplexShort)), 0);
          EXPECT_EQ(factor, modelFactor);
          if (mode == 4 && amplitude == 32768 && flags == KVO_Forw) {
            EXPECT_GT(factor, 0);
          }
        }
      }
    }
  }
  expectNoReport();
  // Modes outside 0..4 produce nothing; KVO_DoIntCore runs the integer core beyond 128 points.
  auto dst = sentinel<ComplexShort>(16);
  const auto x = randomShorts(16, 3, 2000);
  int sf = 0;
  kvovDft(x.data(), dst.data(), 16, KVO_Forw, 7, &sf);
  EXPECT_TRUE(isSentinel(dst));
  const auto big = randomShorts(160, 4, 3000);
  std::vector<ComplexShort> got(160);
  int f = 0, mf = 0;
  kvovDft(big.data(), got.data(), 160, KVO_Forw | KVO_DoIntCore, 4, &f);
  const auto want = intCoreModel(big, KVO_Forw, 4, mf);
  EXPECT_EQ(std::memcmp(got.data(), want.data(), sizeof(ComplexShort) * 160), 0);
  EXPECT_EQ(f, mf);
  // In the fixed modes a null factor counts as 0.
  for (int mode : {2, 3}) {
    int zero = 0;
    const auto want0 = intCoreModel(x, KVO_Forw, mode, zero);
    std::vector<ComplexShort> got0(16);
    kvovDft(x.data(), got0.data(), 16, KVO_Forw, mode, nullptr);
    EXPECT_EQ(std::memcmp(got0.data(), want0.data(), sizeof(ComplexShort) * 16), 0) << mode;
  }
}

TEST_F(Dft, CoreChoiceFollowsLength) {
  // 128 points run the integer core, 129 the float core (within one LSB of the exact result
  // scaled by 2^-6 and truncated), and so does KVO_DoFloatCore at 128.
  for (int L : {128, 129}) {
    for (int flags : {int{KVO_Forw}, KVO_Forw | KVO_DoFloatCore}) {
      const auto x = randomShorts(L, L, 4000);
      std::vector<ComplexShort> got(L);
      int sf = 6, mf = 6;
      kvovDft(x.data(), got.data(), L, flags, KVO_FIXED_SCALE | KVO_SATURATE, &sf);
      const bool intCore = L <= 128 && !(flags & KVO_DoFloatCore);
      if (intCore) {
        const auto want = intCoreModel(x, flags, 3, mf);
        EXPECT_EQ(std::memcmp(got.data(), want.data(), L * sizeof(ComplexShort)), 0);
        continue;
      }
      for (int k = 0; k < L; ++k) {
        double re = 0, im = 0;
        for (int n = 0; n < L; ++n) {
          const double t = -6.283185307179586 * ((static_cast<long long>(n) * k) % L) / L;
          re += x[n].re * std::cos(t) - x[n].im * std::sin(t);
          im += x[n].re * std::sin(t) + x[n].im * std::cos(t);
        }
        EXPECT_NEAR(got[k].re, std::trunc(re / 64), 1) << "L=" << L << " k=" << k;
        EXPECT_NEAR(got[k].im, std::trunc(im / 64), 1) << "L=" << L << " k=" << k;
      }
    }
  }
  // Length 1 copies.
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

// ---- floating-point DFT ----------------------------------------------------------------------

TEST_F(Dft, SmallExactResultsAndLevelsAgree) {
  const ComplexFloat impulse[3] = {{1, 0}, {0, 0}, {0, 0}};
  ComplexFloat out[3];
  kvocDft(impulse, out, 3, KVO_Forw);
  for (const auto& v : out) {
    EXPECT_EQ(v.re, 1);
    EXPECT_EQ(v.im, 0);
  }
  // Every instruction-set level gives the same bits.
  for (int L : {7, 64, 257}) {
    const auto x = randomComplex<ComplexDouble>(L, L);
    std::vector<ComplexDouble> first(L), got(L);
    bool have = false;
    kvotest::forEachIsa([&] {
      kvozDft(x.data(), got.data(), L, KVO_Inv);
      if (have) {
        EXPECT_EQ(std::memcmp(got.data(), first.data(), L * sizeof(ComplexDouble)), 0);
      }
      first = got;
      have = true;
    });
  }
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

// ---- DCT -------------------------------------------------------------------------------------

double dctRef(const std::vector<double>& x, std::size_t k, bool inverse) {
  const std::size_t n = x.size();
  double s = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const std::size_t a = inverse ? k : j, f = inverse ? j : k;
    const double c = f == 0 ? std::sqrt(1.0 / n) : std::sqrt(2.0 / n);
    s += c * x[j] * std::cos(M_PI * (2 * a + 1) * f / (2.0 * n));
  }
  return s;
}

TEST_F(Dft, DctIdentitiesInEveryType) {
  for (std::size_t n : {1, 2, 3, 8, 16, 100, 1024}) {
    const std::vector<double> cd(n, 0.75);
    const std::vector<float> cf(n, 0.75f);
    std::vector<double> od(n);
    std::vector<float> of(n);
    kvodDct(cd.data(), od.data(), int(n), KVO_Forw);
    kvosDct(cf.data(), of.data(), int(n), KVO_Forw);
    EXPECT_NEAR(od[0], 0.75 * std::sqrt(double(n)), 1e-14 * n) << n;
    EXPECT_NEAR(of[0], 0.75 * std::sqrt(double(n)), 1e-6 * std::sqrt(double(n))) << n;
    for (std::size_t k = 1; k < n; ++k) {
      ASSERT_NEAR(od[k], 0, 1e-13) << n << " " << k;
      ASSERT_NEAR(of[k], 0, 1e-6) << n << " " << k;
    }
  }
  const short one = -1234;
  short out = 0;
  kvowDct(&one, &out, 1, KVO_Inv);
  EXPECT_EQ(out, one);
  const short two[2] = {30000, -30000};
  short got[2];
  kvowDct(two, got, 2, KVO_Forw);  // Q14 closed form: 11585*60000 saturates, 11585*0 is 0
  EXPECT_EQ(got[0], (11585 * 0 + 8192) >> 14);
  EXPECT_EQ(got[1], 32767);
  expectNoReport();
}

TEST_F(Dft, DctShortWithinOneLsb) {
  // Fixed point for 4..64 points, through float beyond and for other lengths; both directions.
  // Inputs: random half and full scale, full-scale constants, and the full-scale sign pattern of
  // every cosine of the transform (the inputs with the largest outputs and sums).
  for (std::size_t n : {4, 8, 16, 32, 64, 128, 12, 100}) {
    std::vector<std::vector<short>> inputs;
    for (int amplitude : {16384, 32768}) {
      const auto c = randomShorts(n, unsigned(n + amplitude), amplitude);
      inputs.emplace_back(n);
      for (std::size_t i = 0; i < n; ++i) inputs.back()[i] = c[i].re;
    }
    inputs.emplace_back(n, short{-32768});
    inputs.emplace_back(n, short{32767});
    for (std::size_t k = 0; k < n; ++k) {
      inputs.emplace_back(n);
      for (std::size_t i = 0; i < n; ++i) {
        inputs.back()[i] = std::cos(M_PI * (2 * i + 1) * k / (2.0 * n)) >= 0 ? 32767 : -32768;
      }
    }
    for (const auto& x : inputs) {
      const std::vector<double> xd(x.begin(), x.end());
      for (int flags : {KVO_Forw, KVO_Inv}) {
        std::vector<short> got = x;
        kvowDct(got.data(), got.data(), int(n), flags);
        for (std::size_t k = 0; k < n; ++k) {
          const double want = std::clamp(dctRef(xd, k, flags == KVO_Inv), -32768.0, 32767.0);
          ASSERT_LE(std::fabs(got[k] - want), 1.0) << "n=" << n << " k=" << k << " f=" << flags;
        }
      }
    }
  }
  expectNoReport();
}

TEST_F(Dft, DctTablesFollowLengthAndThreads) {
  // Alternating lengths rebuild the tables and give the same bits every time, also when several
  // threads with different lengths run at once.
  const std::size_t lengths[] = {16, 32, 7, 1000, 1024};
  std::vector<std::vector<double>> in, want;
  for (std::size_t n : lengths) {
    in.push_back(randomReals<double>(n, unsigned(n)));
    want.emplace_back(n);
    kvodDct(in.back().data(), want.back().data(), int(n), KVO_Forw);
  }
  for (int round = 0; round < 3; ++round) {
    for (std::size_t i = 0; i < std::size(lengths); ++i) {
      std::vector<double> got(lengths[i]);
      kvodDct(in[i].data(), got.data(), int(lengths[i]), KVO_Forw);
      ASSERT_EQ(got, want[i]) << lengths[i];
    }
  }
  std::vector<int> mismatches(std::size(lengths), 0);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < std::size(lengths); ++i) {
    threads.emplace_back([&, i] {
      std::vector<double> got(lengths[i]);
      for (int r = 0; r < 200; ++r) {
        kvodDct(in[i].data(), got.data(), int(lengths[i]), KVO_Forw);
        mismatches[i] += got != want[i];
      }
      kvodDct(nullptr, nullptr, 0, KVO_Free);
    });
  }
  for (auto& t : threads) t.join();
  for (std::size_t i = 0; i < std::size(lengths); ++i) EXPECT_EQ(mismatches[i], 0) << lengths[i];
  expectNoReport();
}

}  // namespace
