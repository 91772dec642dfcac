// Window functions and FIR design: checks, symmetry, the untouched middle, complex members against
// their real twins, sameness across instruction-set levels, the documented small cases, and the
// properties of designed filters. Values against scipy are in reference/win_test.py.
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

// ---- every window of every type through one signature ----

enum Code { S, C, D, Z, W, V, kCodes };
const char kCodeName[] = "scdzwv";
constexpr bool isComplex(int c) { return c == C || c == Z || c == V; }
constexpr bool isShort(int c) { return c == W || c == V; }
std::size_t partSize(int c) { return c == S || c == C ? 4 : c == D || c == Z ? 8 : 2; }

using Fn = int (*)(void*, int, double);
struct Window {
  const char* name;
  bool hasParam;
  Fn fn[kCodes];
};

#define KVO_WIN_FN(t, T, P, name, ...)                                  \
  [](void* v, int n, [[maybe_unused]] double p) {                       \
    return kvo##t##Win##name(static_cast<T*>(v), n __VA_OPT__(, P(p))); \
  }
#define KVO_WIN_ROW(name, ...)                                     \
  {                                                                \
#name, false __VA_OPT__(|| true), {                            \
      KVO_WIN_FN(s, float, float, name, __VA_ARGS__),              \
          KVO_WIN_FN(c, ComplexFloat, float, name, __VA_ARGS__),   \
          KVO_WIN_FN(d, double, double, name, __VA_ARGS__),        \
          KVO_WIN_FN(z, ComplexDouble, double, name, __VA_ARGS__), \
          KVO_WIN_FN(w, short, float, name, __VA_ARGS__),          \
          KVO_WIN_FN(v, ComplexShort, float, name, __VA_ARGS__)    \
    }                                                              \
  }

const Window kWindows[] = {
    KVO_WIN_ROW(Bartlett),    KVO_WIN_ROW(Hann),        KVO_WIN_ROW(Hamming),
    KVO_WIN_ROW(Blackman, p), KVO_WIN_ROW(BlackmanStd), KVO_WIN_ROW(BlackmanOpt),
    KVO_WIN_ROW(Kaiser, p),
};
constexpr int kWindowCount = sizeof kWindows / sizeof kWindows[0];

// A vector of n elements of type `code` held as bytes, set from and read as doubles (complex: two
// values per element).
struct Vec {
  int code;
  std::vector<unsigned char> bytes;
  Vec(int c, const std::vector<double>& values) : code(c), bytes(values.size() * partSize(c)) {
    for (std::size_t i = 0; i < values.size(); ++i) set(i, values[i]);
  }
  void set(std::size_t i, double x) {
    unsigned char* p = bytes.data() + i * partSize(code);
    if (partSize(code) == 4) {
      const float f = float(x);
      std::memcpy(p, &f, 4);
    } else if (partSize(code) == 8) {
      std::memcpy(p, &x, 8);
    } else {
      const short s = short(x);
      std::memcpy(p, &s, 2);
    }
  }
  double get(std::size_t i) const {
    const unsigned char* p = bytes.data() + i * partSize(code);
    if (partSize(code) == 4) {
      float f;
      std::memcpy(&f, p, 4);
      return f;
    }
    if (partSize(code) == 8) {
      double d;
      std::memcpy(&d, p, 8);
      return d;
    }
    short s;
    std::memcpy(&s, p, 2);
    return s;
  }
  std::size_t values() const { return bytes.size() / partSize(code); }
};

std::vector<double> randomValues(std::size_t n, int code, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(isShort(code) ? -32768 : -100,
                                              isShort(code) ? 32767 : 100);
  std::vector<double> v(n);
  for (auto& x : v) x = std::floor(dist(gen));
  return v;
}

// Applies window w of type `code` to `values` (length n elements); returns the status.
int apply(const Window& w, int code, Vec& v, int n, double param) {
  return w.fn[code](v.bytes.data(), n, param);
}

std::string label(int window, int code) {
  return std::string("kvo") + kCodeName[code] + "Win" + kWindows[window].name;
}

// ---- parameterised over (window, type) ----

class WinAll : public KvoTest, public ::testing::WithParamInterface<std::tuple<int, int>> {
 protected:
  const Window& win() const { return kWindows[std::get<0>(GetParam())]; }
  int code() const { return std::get<1>(GetParam()); }
  std::string name() const { return label(std::get<0>(GetParam()), code()); }
  const char* module() const { return isShort(code()) ? "kvowinw" : "kvowin"; }
  double param() const { return win().hasParam ? (win().name[0] == 'K' ? 0.3 : -0.2) : 0; }
  int parts() const { return isComplex(code()) ? 2 : 1; }
};

TEST_P(WinAll, RejectsBadArgumentsAndLeavesTheDataAlone) {
  EXPECT_EQ(win().fn[code()](nullptr, 8, param()), -5);
  expectReport(-5, name().c_str(), "Null pointer to buffer", module());
  for (int n : {2, 1, 0, -3}) {
    Vec v(code(), {3, 4, 5, 6});
    const auto before = v.bytes;
    EXPECT_EQ(apply(win(), code(), v, n, param()), -5) << n;
    expectReport(-5, name().c_str(), "Bad number of items", module());
    EXPECT_EQ(v.bytes, before);
  }
  if (win().name[0] == 'K') {
    // beta*(N-1)/2 beyond 308: 6.2*50 is refused, 6.1*50 accepted.
    Vec v(code(), std::vector<double>(101 * parts(), 100));
    const auto before = v.bytes;
    EXPECT_EQ(apply(win(), code(), v, 101, 6.2), -5);
    expectReport(-5, name().c_str(), "Huge window parameter", module());
    EXPECT_EQ(v.bytes, before);
    EXPECT_EQ(apply(win(), code(), v, 101, 6.1), 0);
    expectNoReport();
  }
}

// Pairs n and N-1-n get the same weight; the middle of an odd length is never touched (a NaN or
// an extreme value there stays as it is); nothing beyond N is written.
TEST_P(WinAll, SymmetricWithTheOddMiddleUntouched) {
  for (int n : {3, 4, 5, 8, 9, 300, 301, 1001}) {
    const double value = isShort(code()) ? -32768 : 7.25;
    std::vector<double> in(std::size_t(n + 2) * parts(), value);
    const double middle = isShort(code()) ? 32767 : NAN;
    if (n % 2) {
      for (int k = 0; k < parts(); ++k) in[std::size_t(n / 2 * parts() + k)] = middle;
    }
    Vec v(code(), in);
    ASSERT_EQ(apply(win(), code(), v, n, param()), 0) << n;
    for (int i = 0; i < n * parts(); ++i) {
      const int mirror = (n - 1 - i / parts()) * parts() + i % parts();
      EXPECT_EQ(std::memcmp(&v.bytes[i * partSize(code())], &v.bytes[mirror * partSize(code())],
                            partSize(code())),
                0)
          << "n=" << n << " i=" << i;
    }
    if (n % 2) {
      const double got = v.get(std::size_t(n / 2 * parts()));
      EXPECT_TRUE(std::isnan(middle) ? std::isnan(got) : got == middle) << n;
    }
    for (std::size_t i = std::size_t(n) * parts(); i < v.values(); ++i) EXPECT_EQ(v.get(i), value);
  }
}

// Complex members weight both parts exactly as the real member weights a real vector.
class WinComplex : public WinAll {};
TEST_P(WinComplex, PartsAsTheRealMember) {
  const int real = code() - 1;
  for (int n : {3, 10, 257}) {
    const auto in = randomValues(2 * std::size_t(n), code(), unsigned(n));
    Vec cv(code(), in);
    ASSERT_EQ(apply(win(), code(), cv, n, param()), 0);
    for (int part = 0; part < 2; ++part) {
      std::vector<double> r(n);
      for (int i = 0; i < n; ++i) r[i] = in[2 * i + part];
      Vec rv(real, r);
      ASSERT_EQ(apply(win(), real, rv, n, param()), 0);
      for (int i = 0; i < n; ++i) {
        EXPECT_EQ(rv.get(i), cv.get(2 * i + part)) << "n=" << n << " i=" << i;
      }
    }
  }
}

TEST_P(WinAll, SameOnEveryLevel) {
  const int n = 1001;
  const auto in = randomValues(std::size_t(n) * parts(), code(), 5);
  std::vector<unsigned char> first;
  forEachIsa([&] {
    Vec v(code(), in);
    ASSERT_EQ(apply(win(), code(), v, n, param()), 0);
    if (first.empty()) first = v.bytes;
    EXPECT_EQ(v.bytes, first);
  });
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  return label(std::get<0>(info.param), std::get<1>(info.param));
}
INSTANTIATE_TEST_SUITE_P(Win, WinAll,
                         ::testing::Combine(::testing::Range(0, kWindowCount),
                                            ::testing::Range(0, int(kCodes))),
                         caseName);
INSTANTIATE_TEST_SUITE_P(Win, WinComplex,
                         ::testing::Combine(::testing::Range(0, kWindowCount),
                                            ::testing::Values(int(C), int(Z), int(V))),
                         caseName);

// ---- the documented small cases, on every type ----

struct Known {
  int window;  // index into kWindows
  int n;
  double param;
  std::vector<double> weights;
  double tolerance;  // float and double members; 16-bit members get a few units more
};
enum { kBartlett, kHann, kHamming, kBlackman, kBlackmanStd, kBlackmanOpt, kKaiser };

class WinKnown : public KvoTest {};

TEST_F(WinKnown, SmallWindowsOnOnes) {
  const double third = 2.0 / 3;
  const Known cases[] = {
      {kHann, 3, 0, {0, 1, 0}, 0},
      {kHamming, 3, 0, {0.08, 1, 0.08}, 1e-7},
      {kBartlett, 3, 0, {0, 1, 0}, 0},
      {kBartlett, 4, 0, {0, third, third, 0}, 1e-7},
      {kBlackmanStd, 5, 0, {0, 0.34, 1, 0.34, 0}, 1e-7},
      {kBlackmanStd, 4, 0, {0, 0.63, 0.63, 0}, 1e-7},
      {kBlackmanOpt, 3, 0, {0, 1, 0}, 1e-7},
      {kBlackman, 5, 0.0, {0, 0.5, 1, 0.5, 0}, 1e-7},  // alpha 0 is Hann
      {kHann, 5, 0, {0, 0.5, 1, 0.5, 0}, 1e-7},
      {kHamming, 5, 0, {0.08, 0.54, 1, 0.54, 0.08}, 1e-7},
      {kKaiser, 6, 0, {1, 1, 1, 1, 1, 1}, 0},
      {kKaiser, 7, 0, {1, 1, 1, 1, 1, 1, 1}, 0},
  };
  for (const Known& k : cases) {
    for (int code = 0; code < kCodes; ++code) {
      SCOPED_TRACE(label(k.window, code) + " N=" + std::to_string(k.n));
      const int parts = isComplex(code) ? 2 : 1;
      const double one = isShort(code) ? 16384 : 1;
      Vec v(code, std::vector<double>(std::size_t(k.n) * parts, one));
      ASSERT_EQ(apply(kWindows[k.window], code, v, k.n, k.param), 0);
      // 16-bit: truncated fixed-point weights, a few units of 2^-14 away.
      const double tol = isShort(code) ? 4 : k.tolerance + (code == S || code == C ? 1e-7 : 0);
      for (int i = 0; i < k.n * parts; ++i) {
        EXPECT_NEAR(v.get(i), one * k.weights[i / parts], tol) << i;
      }
    }
  }
}

// ---- FIR design ----

class FirDesign : public KvoTest {};

using Design = int (*)(double, double, double*, int, int, int);
enum Band { kLow, kHigh, kPass, kStop };
struct DesignFn {
  const char* name;
  Band band;
  Design fn;
  bool twoEdges() const { return band == kPass || band == kStop; }
};
const DesignFn kDesigns[] = {
    {"kvodFirLowpass", kLow,
     [](double f, double, double* t, int n, int w, int m) {
       return kvodFirLowpass(f, t, n, w, m);
     }},
    {"kvodFirHighpass", kHigh,
     [](double f, double, double* t, int n, int w, int m) {
       return kvodFirHighpass(f, t, n, w, m);
     }},
    {"kvodFirBandpass", kPass, kvodFirBandpass},
    {"kvodFirBandstop", kStop, kvodFirBandstop},
};

TEST_F(FirDesign, ChecksInOrderWithTheirOwnStatuses) {
  const double tiny = std::ldexp(1.0, -1043), smallest = std::ldexp(1.0, -1042);
  struct Case {
    double fl, fh;
    bool nullTaps;
    int len, status;
    const char* oneEdge;   // message for lowpass/highpass (null: accepted)
    const char* twoEdges;  // message for bandpass/bandstop
  };
  const char* kRfreq = "\nrfreq argument isn\x92t satisfactory\n";
  const char* kLowEdge = "\nrLowFreq argument isn\x92t satisfactory\n";
  const char* kHigh = "\nrHighFreq argument isn\x92t satisfactory\n";
  const char* kOrder = "\nrHighFreq argument is less rLowFreq argument\n";
  const char* kNull = "\nNull pointer to taps[] array was passed\n";
  const char* kShort = "\ntapsLen argument is less five\n";
  const Case cases[] = {
      {0.1, 0.2, true, 4, -9, kNull, kNull},       {-1, 0.2, false, 4, -10, kShort, kShort},
      {0.0, 0.2, false, 9, -11, kRfreq, kLowEdge}, {-0.0, 0.2, false, 9, -11, kRfreq, kLowEdge},
      {0.5, 0.6, false, 9, -11, kRfreq, kLowEdge}, {tiny, 0.2, false, 9, -11, kRfreq, kLowEdge},
      {NAN, 0.2, false, 9, -11, kRfreq, kLowEdge}, {0.1, 0.5, false, 9, -11, nullptr, kHigh},
      {0.1, -0.2, false, 9, -11, nullptr, kHigh},  {0.2, 0.2, false, 9, -12, nullptr, kOrder},
      {0.3, 0.2, false, 9, -12, nullptr, kOrder},
  };
  for (const DesignFn& d : kDesigns) {
    for (const Case& c : cases) {
      const char* message = d.twoEdges() ? c.twoEdges : c.oneEdge;
      SCOPED_TRACE(std::string(d.name) + " " + std::to_string(c.fl) + " " + std::to_string(c.fh));
      std::vector<double> taps(16, 3.5);
      const int status = d.fn(c.fl, c.fh, c.nullTaps ? nullptr : taps.data(), c.len, 3, 1);
      if (!message) {
        EXPECT_EQ(status, 0);
        expectNoReport();
        continue;
      }
      EXPECT_EQ(status, c.status);
      expectReport(c.status, d.name, message, "kvofirg");
      EXPECT_EQ(taps, std::vector<double>(16, 3.5));
    }
    // The smallest accepted edge, and length 5; success clears the thread's status.
    std::vector<double> taps(5);
    kvoSetErrStatus(-5);
    EXPECT_EQ(d.fn(smallest, 0.25, taps.data(), 5, 0, 0), 0) << d.name;
    EXPECT_EQ(kvoGetErrStatus(), 0);
    expectNoReport();
  }
}

TEST_F(FirDesign, LowpassOfFiveTaps) {
  std::vector<double> taps(5);
  ASSERT_EQ(kvodFirLowpass(0.25, taps.data(), 5, 0, 0), 0);
  const double want[] = {0, 1 / kPi, 0.5, 1 / kPi, 0};
  for (int i = 0; i < 5; ++i) EXPECT_NEAR(taps[i], want[i], 1e-15) << i;
}

// The gain |sum of taps[k] * exp(-2 pi j f k)| at frequency f.
double gainAt(const std::vector<double>& taps, double f) {
  double re = 0, im = 0;
  for (std::size_t k = 0; k < taps.size(); ++k) {
    re += taps[k] * std::cos(2 * kPi * f * double(k));
    im -= taps[k] * std::sin(2 * kPi * f * double(k));
  }
  return std::hypot(re, im);
}

// Symmetry (antisymmetry for the even highpass), unit gain at the reference frequency when
// normalised, and no window for winType outside 1..4.
TEST_F(FirDesign, ShapeAndNormalisation) {
  for (const DesignFn& d : kDesigns) {
    const double fl = 0.12, fh = 0.31;
    const double reference = d.band == kLow || d.band == kStop ? 0
                             : d.band == kPass                 ? (fl + fh) / 2
                                                               : 0.5;
    for (int n : {5, 6, 31, 32, 101}) {
      for (int win : {-1, 0, 1, 2, 3, 4, 5}) {
        SCOPED_TRACE(std::string(d.name) + " n=" + std::to_string(n) +
                     " win=" + std::to_string(win));
        std::vector<double> raw(n), normal(n, NAN);
        ASSERT_EQ(d.fn(fl, fh, raw.data(), n, win, 0), 0);
        ASSERT_EQ(d.fn(fl, fh, normal.data(), n, win, 1), 0);
        const bool anti = d.band == kHigh && n % 2 == 0;
        for (int i = 0; i < n; ++i) {
          EXPECT_EQ(raw[i], anti ? -raw[n - 1 - i] : raw[n - 1 - i]) << i;
        }
        EXPECT_NEAR(gainAt(normal, reference), 1, 1e-12);
        int big = 0;
        for (int i = 1; i < n; ++i) big = std::fabs(raw[i]) > std::fabs(raw[big]) ? i : big;
        const double r = normal[big] / raw[big];
        for (int i = 0; i < n; ++i) EXPECT_NEAR(normal[i], raw[i] * r, 1e-15) << i;
        if (win < 1 || win > 4) {
          std::vector<double> plain(n);
          ASSERT_EQ(d.fn(fl, fh, plain.data(), n, 0, 0), 0);
          EXPECT_EQ(raw, plain);
        }
      }
    }
  }
}

}  // namespace
