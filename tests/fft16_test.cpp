// 16-bit FFTs: the integer and fast cores bit-exact against a recursive reference written here
// (at every instruction-set level), every form against a double-precision DFT within the
// quantisation bounds of its core, the core choice, the checks and the packed-spectrum products.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "kernels/transform/fft16.h"
#include "kernels/vector/scale.h"
#include "support/kvo_test.h"
#include "transform/tables.h"

using namespace kvotest;

namespace {

struct CI {
  I64 re, im;
};
using Sig = std::vector<short>;

constexpr int kInt = KVO_DoIntCore, kFast = KVO_DoIntCore | KVO_DoFastMMX;
constexpr int kFloat = KVO_DoFloatCore;

I64 fitCore(I64 v, bool fast) {
  if (fast) return v > 32767 ? 32767 : v < -32768 ? -32768 : v;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// The fixed-point scheme as a recursion with natural-order output: a radix-4 split in frequency
// classes 0..3 (a radix-2 butterfly at length 2), Q14 products floored, twiddles from the public
// 16-bit table of the full length (entries (trunc cos, trunc -sin)).
std::vector<CI> refDft(const std::vector<CI>& x, const ComplexShort* w, std::size_t wn, bool fast) {
  const std::size_t n = x.size();
  auto f = [fast](I64 v) { return fitCore(v, fast); };
  if (n == 1) return x;
  if (n == 2)
    return {{f(x[0].re + x[1].re), f(x[0].im + x[1].im)},
            {f(x[0].re - x[1].re), f(x[0].im - x[1].im)}};
  const std::size_t q = n / 4;
  auto mul = [&](CI a, std::size_t k) {
    const ComplexShort t = w[k * (wn / n)];
    return CI{f((a.re * t.re - a.im * t.im) >> 14), f((a.re * t.im + a.im * t.re) >> 14)};
  };
  std::vector<CI> cls[4];
  for (auto& c : cls) c.resize(q);
  for (std::size_t j = 0; j < q; ++j) {
    const CI a = x[j], b = x[j + q], c = x[j + 2 * q], d = x[j + 3 * q];
    const CI t0{f(a.re + c.re), f(a.im + c.im)}, t1{f(a.re - c.re), f(a.im - c.im)};
    const CI t2{f(b.re + d.re), f(b.im + d.im)}, t3{f(b.re - d.re), f(b.im - d.im)};
    cls[0][j] = {f(t0.re + t2.re), f(t0.im + t2.im)};
    cls[2][j] = mul({f(t0.re - t2.re), f(t0.im - t2.im)}, 2 * j);
    cls[1][j] = mul({f(t1.re + t3.im), f(t1.im - t3.re)}, j);
    cls[3][j] = mul({f(t1.re - t3.im), f(t1.im + t3.re)}, 3 * j);
  }
  std::vector<CI> y(n);
  for (int r = 0; r < 4; ++r) {
    const auto sub = refDft(cls[r], w, wn, fast);
    for (std::size_t k = 0; k < q; ++k) y[4 * k + r] = sub[k];
  }
  return y;
}

// The whole complex transform of one core as the caller sees it.
Sig refComplex(const Sig& in, int order, int flags, int mode, int* factor, bool fast) {
  const std::size_t n = std::size_t{1} << order;
  const bool inv = flags & KVO_Inv;
  std::vector<CI> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t j = flags & KVO_InBitRev ? bitrev(i, order) : i;
    const I64 k = fast ? 1 : 64;
    x[i] = {in[2 * j] * k, (inv ? -1 : 1) * in[2 * j + 1] * k};
    x[i].im = fitCore(x[i].im, fast);
  }
  auto y = refDft(x, kvovGetFftTwdTbl(order), n, fast);
  int s = ((flags & KVO_Inv) && !(flags & KVO_NoScale) ? order : 0) +
          (mode & KVO_FIXED_SCALE && factor ? *factor : 0) + (fast ? 0 : 6);
  std::vector<std::int32_t> v(2 * n);
  for (std::size_t i = 0; i < n; ++i) {
    const CI c = y[flags & KVO_OutBitRev ? bitrev(i, order) : i];
    v[2 * i] = static_cast<std::int32_t>(c.re);
    v[2 * i + 1] = static_cast<std::int32_t>(fitCore(inv ? -c.im : c.im, fast));
  }
  Sig out(2 * n);
  for (std::size_t i = 0; i < 2 * n; ++i) {
    const I64 a = v[i];
    if (fast) {
      out[i] = static_cast<short>(s >= 0 ? a >> s : a * (I64{1} << -s));
    } else if (mode & KVO_AUTO_SCALE) {
      v[i] = static_cast<std::int32_t>(a < 0 && a > -(I64{1} << s) ? 0 : a >> s);
    } else {
      out[i] = kvo::scale::saturate(s >= 0 ? a >> s : a * (I64{1} << -s));
    }
  }
  if (fast && (mode & KVO_AUTO_SCALE)) *factor = 0;
  if (!fast && (mode & KVO_AUTO_SCALE))
    kvo::kvoScaleIntsToShorts(v.data(), out.data(), 2 * n, 4, factor);
  return out;
}

Sig randomShorts(std::size_t n, int amplitude, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> dist(-amplitude, amplitude);
  Sig v(n);
  for (auto& x : v) x = static_cast<short>(dist(gen));
  return v;
}

// The thread's cached tables and scratch buffers are released after every test.
class Fft16 : public KvoTest {
 protected:
  void TearDown() override {
    kvovFreeTwdTbls();
    kvocFreeTwdTbls();
    kvoFreeBitRevTbls();
    KvoTest::TearDown();
  }
};

TEST_F(Fft16, IntegerAndFastCoresMatchTheReferenceBitForBit) {
  struct Mode {
    int mode, factor;
  };
  forEachIsa([] {
    for (bool fast : {false, true}) {
      for (int order = 1; order <= (fast ? 10 : 12); ++order) {
        const std::size_t n = std::size_t{1} << order;
        for (int dir : {int{KVO_Forw}, int{KVO_Inv}, KVO_Inv | KVO_NoScale}) {
          for (int bits : {0, int{KVO_InBitRev}, int{KVO_OutBitRev}}) {
            for (Mode m : {Mode{0, 0}, Mode{3, 2}, Mode{3, -1}, Mode{4, 0}}) {
              const int flags = dir | bits | (fast ? kFast : kInt);
              SCOPED_TRACE(testing::Message() << "fast " << fast << " order " << order << " flags "
                                              << flags << " mode " << m.mode);
              // Large enough to saturate the fast core and to need automatic scaling.
              const Sig in = randomShorts(2 * n, order < 6 ? 30000 : 3000, 11u + order);
              int f = m.factor, g = m.factor;
              const Sig want = refComplex(in, order, flags, m.mode, &f, fast);
              Sig got = in;
              kvovFft(reinterpret_cast<ComplexShort*>(got.data()), order, flags, m.mode, &g);
              ASSERT_EQ(got, want);
              EXPECT_EQ(f, g);
            }
          }
        }
      }
    }
  });
  expectNoReport();
}

TEST_F(Fft16, TheFastTableIsTheTruncatedQ14Table) {
  const std::int16_t* t = kvo::tables::intFftTwd(10);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::memcmp(t, kvo::kern::fft16FastTable(), 4096 * sizeof(std::int16_t)), 0);
}

// The core chosen without flags, and the edges of the fast core's orders.
TEST_F(Fft16, CoreChoice) {
  auto run = [](int order, int flags, int mode = 0) {
    Sig v = randomShorts(std::size_t{2} << order, 2000, 5u);
    kvovFft(reinterpret_cast<ComplexShort*>(v.data()), order, flags, mode, nullptr);
    return v;
  };
  const Sig x7 = randomShorts(256, 2000, 5u), x11 = randomShorts(4096, 2000, 5u);
  EXPECT_EQ(run(7, KVO_Forw), refComplex(x7, 7, KVO_Forw, 0, nullptr, false));
  EXPECT_EQ(run(11, KVO_Forw | KVO_DoFastMMX | KVO_DoIntCore),
            refComplex(x11, 11, KVO_Forw, 0, nullptr, false));
  // Order 8: the float FFT and rounding to nearest.
  const Sig x8 = randomShorts(512, 2000, 5u);
  std::vector<ComplexFloat> f(256);
  for (std::size_t i = 0; i < 256; ++i) f[i] = {float(x8[2 * i]), float(x8[2 * i + 1])};
  kvocFft(f.data(), 8, KVO_Forw);
  const Sig got = run(8, KVO_Forw, KVO_SATURATE);
  for (std::size_t i = 0; i < 512; ++i) {
    const float v = i % 2 ? f[i / 2].im : f[i / 2].re;
    EXPECT_EQ(got[i], kvo::scale::saturate(std::llrint(v)));
  }
  expectNoReport();
}

TEST_F(Fft16, FullScaleConstantsSaturateTheDcTerm) {
  for (int core : {kInt, kFast}) {
    Sig v(64, 32767);
    kvovFft(reinterpret_cast<ComplexShort*>(v.data()), 5, KVO_Forw | core, KVO_NO_SCALE, nullptr);
    EXPECT_EQ(v[0], 32767);
    EXPECT_EQ(v[1], 32767);
    EXPECT_EQ(v[2], 0);
  }
  int factor = 7;
  Sig v(64, 1000);
  kvovFft(reinterpret_cast<ComplexShort*>(v.data()), 5, KVO_Forw | kFast, KVO_AUTO_SCALE, &factor);
  EXPECT_EQ(factor, 0);
  Sig w(64, 2000);
  kvovFft(reinterpret_cast<ComplexShort*>(w.data()), 5, KVO_Forw | kInt, KVO_AUTO_SCALE, &factor);
  EXPECT_EQ(factor, 1);  // 32 * 2000 needs one bit more than 16
  EXPECT_EQ(w[0], 32000);
  expectNoReport();
}

// ---- every form against a double-precision DFT ----

// X[k] = sum x[j] exp(sign 2 pi i jk/N) for complex x (re, im interleaved).
std::vector<double> dft(const std::vector<double>& x, int sign) {
  const std::size_t n = x.size() / 2;
  std::vector<double> y(2 * n);
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t j = 0; j < n; ++j) {
      const double a =
          sign * 6.283185307179586 * static_cast<double>((j * k) % n) / static_cast<double>(n);
      y[2 * k] += x[2 * j] * std::cos(a) - x[2 * j + 1] * std::sin(a);
      y[2 * k + 1] += x[2 * j] * std::sin(a) + x[2 * j + 1] * std::cos(a);
    }
  }
  return y;
}

enum Fmt { kCcs, kPack, kPerm };
// A CCS spectrum (n + 2 values) in a format.
template <class T>
std::vector<T> toFormat(const std::vector<T>& ccs, Fmt f) {
  const std::size_t n = ccs.size() - 2;
  if (f == kCcs) return ccs;
  std::vector<T> v(n);
  v[0] = ccs[0];
  for (std::size_t i = 2; i < n; ++i) v[f == kPack ? i - 1 : i] = ccs[i];
  v[f == kPack ? n - 1 : 1] = ccs[n];
  return v;
}
std::vector<double> spectrumOf(const Sig& x) {  // forward, CCS
  std::vector<double> z(2 * x.size());
  for (std::size_t i = 0; i < x.size(); ++i) z[2 * i] = x[i];
  auto y = dft(z, -1);
  y.resize(x.size() + 2);
  return y;
}
std::vector<double> signalOf(const Sig& ccs) {  // unscaled inverse of a CCS spectrum
  const std::size_t n = ccs.size() - 2;
  std::vector<double> z(2 * n);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    const double im = k == 0 || k == n / 2 ? 0 : ccs[2 * k + 1];
    z[2 * k] = ccs[2 * k];
    z[2 * k + 1] = im;
    if (k != 0 && k != n / 2) {
      z[2 * (n - k)] = ccs[2 * k];
      z[2 * (n - k) + 1] = -im;
    }
  }
  auto y = dft(z, 1);
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = y[2 * i];
  return x;
}

struct Form {
  const char* name;
  bool toSpectrum, two;
  Fmt fmt;
  std::function<void(std::vector<Sig>&, std::vector<Sig>&, int, int)> run;  // in, out, order, flags
};

ComplexShort* cs(Sig& v) { return reinterpret_cast<ComplexShort*>(v.data()); }

const std::vector<Form>& forms() {
  using V = std::vector<Sig>;
  static const std::vector<Form> all = {
      {"RealFft", true, false, kCcs,
       [](V& i, V& o, int n, int f) {
         o[0] = i[0];
         o[0].resize(o[0].size() + 2);
         kvowRealFft(o[0].data(), n, f, 0, nullptr);
       }},
      {"RealFftNip", true, false, kCcs,
       [](V& i, V& o, int n, int f) { kvowRealFftNip(i[0].data(), cs(o[0]), n, f, 0, nullptr); }},
      {"RealFftl pack", true, false, kPack,
       [](V& i, V& o, int n, int f) {
         o[0] = i[0];
         kvowRealFftl(o[0].data(), n, f | KVO_OutRCPack, 0, nullptr);
       }},
      {"RealFftlNip perm", true, false, kPerm,
       [](V& i, V& o, int n, int f) {
         kvowRealFftlNip(i[0].data(), o[0].data(), n, f | KVO_OutRCPerm, 0, nullptr);
       }},
      {"CcsFft", false, false, kCcs,
       [](V& i, V& o, int n, int f) {
         Sig t = i[0];
         kvowCcsFft(t.data(), n, f, 0, nullptr);
         std::copy_n(t.begin(), o[0].size(), o[0].begin());
       }},
      {"CcsFftNip", false, false, kCcs,
       [](V& i, V& o, int n, int f) { kvowCcsFftNip(cs(i[0]), o[0].data(), n, f, 0, nullptr); }},
      {"CcsFftl perm", false, false, kPerm,
       [](V& i, V& o, int n, int f) {
         o[0] = i[0];
         kvowCcsFftl(o[0].data(), n, f | KVO_InRCPerm, 0, nullptr);
       }},
      {"CcsFftlNip pack", false, false, kPack,
       [](V& i, V& o, int n, int f) {
         kvowCcsFftlNip(i[0].data(), o[0].data(), n, f | KVO_InRCPack, 0, nullptr);
       }},
      {"Real2Fft", true, true, kCcs,
       [](V& i, V& o, int n, int f) {
         for (int s : {0, 1}) {
           o[s] = i[s];
           o[s].resize(o[s].size() + 2);
         }
         kvowReal2Fft(o[0].data(), o[1].data(), n, f, 0, nullptr);
       }},
      {"Real2FftNip", true, true, kCcs,
       [](V& i, V& o, int n, int f) {
         kvowReal2FftNip(i[0].data(), cs(o[0]), i[1].data(), cs(o[1]), n, f, 0, nullptr);
       }},
      {"Ccs2Fft", false, true, kCcs,
       [](V& i, V& o, int n, int f) {
         V t = i;
         kvowCcs2Fft(t[0].data(), t[1].data(), n, f, 0, nullptr);
         for (int s : {0, 1}) std::copy_n(t[s].begin(), o[s].size(), o[s].begin());
       }},
      {"Ccs2FftNip", false, true, kCcs,
       [](V& i, V& o, int n, int f) {
         kvowCcs2FftNip(cs(i[0]), o[0].data(), cs(i[1]), o[1].data(), n, f, 0, nullptr);
       }},
  };
  return all;
}

// Per core: the largest error in units of the last place. The float core rounds once; the
// integer core floors a few times below the final shift; the fast core floors at every stage
// with no headroom: the -1/2 bias of a stage's floors adds up over the rest of the transform,
// up to N/8 per stage in single bins.
double allowedError(int core, int order) {
  return core == kFloat ? 1 : core == kInt ? 2 : (1 << order) / 2 + 4;
}

TEST_F(Fft16, EveryFormAgreesWithTheDftWithinItsCoresQuantisation) {
  for (const Form& form : forms()) {
    for (int core : {kInt, kFast, kFloat}) {
      for (int order = 1; order <= 8; ++order) {
        SCOPED_TRACE(testing::Message() << form.name << " core " << core << " order " << order);
        const std::size_t n = std::size_t{1} << order;
        const int amp = 16000 >> order;  // no sum can saturate
        std::vector<Sig> in, out;
        std::vector<std::vector<double>> want;
        for (int s = 0; s < (form.two ? 2 : 1); ++s) {
          Sig x = randomShorts(form.toSpectrum ? n : n + 2, amp, 3u * order + s);
          if (!form.toSpectrum) x[1] = x[n + 1] = 0;
          want.push_back(form.toSpectrum ? toFormat(spectrumOf(x), form.fmt) : signalOf(x));
          in.push_back(form.toSpectrum ? x : toFormat(x, form.fmt));
          out.emplace_back(want.back().size());
        }
        form.run(in, out, order, core | (form.toSpectrum ? KVO_Forw : KVO_Inv | KVO_NoScale));
        for (std::size_t s = 0; s < want.size(); ++s) {
          for (std::size_t i = 0; i < want[s].size(); ++i) {
            ASSERT_NEAR(out[s][i], want[s][i], allowedError(core, order))
                << "signal " << s << " at " << i;
          }
        }
      }
    }
  }
  expectNoReport();
}

TEST_F(Fft16, ForwardThenInverseReturnsTheSignal) {
  for (int core : {kInt, kFloat}) {
    const Sig x = randomShorts(64, 3000, 9u);
    Sig v = x;
    v.resize(66);
    kvowRealFft(v.data(), 6, KVO_Forw | core, KVO_NO_SCALE, nullptr);
    kvowCcsFft(v.data(), 6, KVO_Inv | core, KVO_NO_SCALE, nullptr);
    for (std::size_t i = 0; i < 64; ++i) EXPECT_NEAR(v[i], x[i], 1) << i;
  }
  expectNoReport();
}

// ---- checks ----

TEST_F(Fft16, EveryViolatedGroupIsReportedAndNothingIsWritten) {
  auto v = kvotest::sentinel<ComplexShort>(16);
  kvovFft(v.data(), 4, KVO_Forw | KVO_Inv | KVO_InBitRev | KVO_OutBitRev, 0, nullptr);
  ASSERT_EQ(kvotest::reports().size(), 2u);
  EXPECT_EQ(kvotest::reports()[0].message, "KVO_Forw and KVO_Inv");
  EXPECT_EQ(kvotest::reports()[1].message, "KVO_InBitRev and KVO_OutBitRev");
  kvotest::clearReports();
  kvovFft(v.data(), 4, KVO_Forw, 0, nullptr);  // an earlier failure not cleared: no work
  expectNoReport();
  EXPECT_TRUE(kvotest::isSentinel(v));
  kvoSetErrStatus(0);
  kvovFft(v.data(), 4, KVO_Forw, KVO_FIXED_SCALE | KVO_AUTO_SCALE, nullptr);
  ASSERT_EQ(kvotest::reports().size(), 2u);
  EXPECT_EQ(kvotest::reports()[0].message, "KVO_FIXED_SCALE and KVO_AUTO_SCALE");
  EXPECT_EQ(kvotest::reports()[1].message, "KVO_AUTO_SCALE and scaleFactor==NULL");
  kvotest::clearReports();
  EXPECT_TRUE(kvotest::isSentinel(v));
  kvoSetErrStatus(0);

  struct Case {
    std::function<void()> call;
    const char* func;
    const char* message;
  };
  short* s = reinterpret_cast<short*>(v.data());
  const std::vector<Case> cases = {
      {[&] { kvovFft(v.data(), -1, KVO_Forw, 0, nullptr); }, "kvovFft", "order<0"},
      {[&] { kvovFft(v.data(), 32, KVO_Forw, 0, nullptr); }, "kvovFft", "order>31"},
      {[&] { kvovFft(v.data(), 4, KVO_Forw | kFloat | kInt, 0, nullptr); }, "kvovFft",
       "KVO_DoIntCore and KVO_DoFloatCore"},
      {[&] { kvovFftNip(nullptr, v.data(), 4, KVO_Forw, 0, nullptr); }, "kvovFftNip", "inSamps==0"},
      {[&] { kvovrFft(s, nullptr, 4, KVO_Forw, 0, nullptr); }, "kvovrFft", "imSamps==0"},
      {[&] { kvowRealFftl(s, 4, KVO_Forw, 0, nullptr); }, "kvowRealFftl",
       "no KVO_OutRCPack or KVO_OutRCPerm"},
      {[&] { kvowCcsFftl(s, 4, KVO_Inv | KVO_InRCPack | KVO_InRCPerm, 0, nullptr); }, "kvowCcsFftl",
       "KVO_InRCPack and KVO_InRCPerm"},
      {[&] { kvowRealFft(s, 4, 0, 0, nullptr); }, "kvowRealFft", "no KVO_Forw or KVO_Inv"},
      {[&] { kvowReal2FftNip(s, v.data(), s, nullptr, 4, KVO_Forw, 0, nullptr); },
       "kvowReal2FftNip", "yOutSamps==0"},
      {[&] { kvovFft(v.data(), 4, KVO_Forw | KVO_OutBitRev | KVO_NoBitRev, 0, nullptr); },
       "kvovFft", "KVO_OutBitRev and KVO_NoBitRev"},
      {[&] { kvowMpyRCPack3(s, nullptr, s, 4, 0, nullptr); }, "kvowMpyRCPack3", "srcB==0"},
      {[&] { kvowMpyRCPerm2(s, s, 4, KVO_AUTO_SCALE, nullptr); }, "kvowMpyRCPerm2",
       "scaleFactor==0"},
  };
  for (const Case& c : cases) {
    c.call();
    expectReport(KVO_StatusBadArgument, c.func, c.message, "kvofftw");
    kvoSetErrStatus(0);
  }
  EXPECT_TRUE(kvotest::isSentinel(v));
  // Init builds without looking at the pointers; Free releases.
  for (int core : {kInt, kFast, kFloat}) {
    kvovFft(nullptr, 9, KVO_Init | KVO_Forw | core, 0, nullptr);
    kvowRealFft(nullptr, 9, KVO_Init | KVO_Forw | core, 0, nullptr);
    kvovFft(nullptr, 9, KVO_Free, 0, nullptr);
    kvowRealFft(nullptr, 9, KVO_Free, 0, nullptr);
  }
  expectNoReport();
}

// ---- products of packed spectra ----

TEST_F(Fft16, PackedProductsAreExactThenScaled) {
  struct Mode {
    int mode, factor;
  };
  const int order = 4, n = 16;
  const Sig a = randomShorts(n, 32768, 1u), b = randomShorts(n, 32768, 2u);
  for (bool perm : {false, true}) {
    for (Mode m :
         {Mode{0, 0}, Mode{1, 0}, Mode{2, 3}, Mode{3, 3}, Mode{3, -2}, Mode{2, -2}, Mode{4, 0}}) {
      SCOPED_TRACE(testing::Message()
                   << "perm " << perm << " mode " << m.mode << " factor " << m.factor);
      std::vector<I64> p(n);
      const int last = perm ? 1 : n - 1, first = perm ? 2 : 1;
      p[0] = I64{a[0]} * b[0];
      p[last] = I64{a[last]} * b[last];
      for (int i = first; i + 1 < n && i != last; i += 2) {
        p[i] = I64{a[i]} * b[i] - I64{a[i + 1]} * b[i + 1];
        p[i + 1] = I64{a[i]} * b[i + 1] + I64{a[i + 1]} * b[i];
      }
      Sig want(n);
      int f = m.factor;
      if (m.mode == 4) {
        kvo::kvoScaleLongsToShorts(p.data(), want.data(), n, 4, &f);
      } else {
        for (int i = 0; i < n; ++i) {
          I64 q = p[i];
          if (m.mode & 2) q = f > 0 ? ((q >> 1) + (q & 1)) >> (f - 1) : q * (I64{1} << -f);
          want[i] = m.mode & 1 ? kvo::scale::saturate(q) : kvo::scale::wrap(q);
        }
      }
      Sig got(n), in = b;
      int g = m.factor, h = m.factor;
      (perm ? kvowMpyRCPerm3 : kvowMpyRCPack3)(a.data(), b.data(), got.data(), order, m.mode, &g);
      EXPECT_EQ(got, want);
      (perm ? kvowMpyRCPerm2 : kvowMpyRCPack2)(a.data(), in.data(), order, m.mode, &h);
      EXPECT_EQ(in, want);
      EXPECT_EQ(g, f);
      EXPECT_EQ(h, f);
    }
  }
  expectNoReport();
}

}  // namespace
