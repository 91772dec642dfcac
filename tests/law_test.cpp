// A-law and mu-law companding: every 16-bit sample and every code against references written
// from the coding rules, the other linear formats, transcoding and argument checks.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

using Code = unsigned char;
constexpr const char* kModule = "kvolaw";

// ---- references, straight from the rules ----

int muLawDecode(int c) {
  const int u = ~c & 0xFF;
  const int t = ((u & 15) * 8 + 132) << ((u >> 4) & 7);
  return u & 0x80 ? 132 - t : t - 132;
}

int aLawDecode(int c) {
  int t = (c & 15) * 16;
  const int s = (c >> 4) & 7;
  if (s == 0) t += 8;
  if (s == 1) t += 264;
  if (s >= 2) t = (t + 264) << (s - 1);
  return c & 0x80 ? t : -t;
}

int aLawEncode(int v) {
  if (v == -32768) return 0x7F;
  const int i = (v >= 0 ? v : -v) >> 4;
  const int sign = v >= 0 ? 0x80 : 0;
  if (i < 16) return sign + i;
  if (i < 32) return sign + 0x10 + (i & 15);
  int s = 2;
  while (!(i >= (1 << (s + 3)) && i < (1 << (s + 4)))) ++s;
  return sign + s * 16 + ((i >> (s - 1)) & 15);
}

// Mu-law: the nearest of the 128 levels of a sign, ties to the smaller one, except that each new
// segment begins at its own magnitude instead of at the midpoint of the neighbouring levels.
struct MuLawReference {
  int level[128];  // the magnitude of level L, code 0xFF - L
  int first[128];  // the smallest magnitude coded as level L

  MuLawReference() {
    const int segmentStart[7] = {125, 381, 893, 1917, 3965, 8061, 16253};
    for (int L = 0; L < 128; ++L) level[L] = muLawDecode(0xFF - L);
    first[0] = 0;
    for (int L = 1; L < 128; ++L) {
      const int midpoint = (level[L - 1] + level[L]) / 2;  // levels differ by even steps
      first[L] = L % 16 == 0 ? segmentStart[L / 16 - 1] : midpoint + 1;
    }
  }
  int encode(int v) const {
    const int m = v < 0 ? -v : v;
    int L = 0;
    while (L < 127 && m >= first[L + 1]) ++L;
    return (v >= 0 ? 0xFF : 0x7F) - L;
  }
};

const MuLawReference& muLaw() {
  static const MuLawReference reference;
  return reference;
}

std::vector<short> allSamples() {
  std::vector<short> v;
  for (int x = -32768; x <= 32767; ++x) v.push_back(static_cast<short>(x));
  return v;
}

// ---- 16-bit samples ----

TEST(Law, EncodesEverySample) {
  const auto samples = allSamples();
  std::vector<Code> a(samples.size()), mu(samples.size());
  forEachIsa([&] {
    kvowbLinToALaw(samples.data(), a.data(), int(samples.size()));
    kvowbLinToMuLaw(samples.data(), mu.data(), int(samples.size()));
    for (std::size_t k = 0; k < samples.size(); ++k) {
      ASSERT_EQ(a[k], aLawEncode(samples[k])) << samples[k];
      ASSERT_EQ(mu[k], muLaw().encode(samples[k])) << samples[k];
    }
  });
}

TEST(Law, DecodesEveryCode) {
  std::vector<Code> codes(256);
  for (int c = 0; c < 256; ++c) codes[c] = Code(c);
  forEachIsa([&] {
    std::vector<short> w(256);
    std::vector<int> i(256);
    std::vector<float> s(256);
    std::vector<double> d(256);
    for (bool isA : {true, false}) {
      (isA ? kvowbALawToLin : kvowbMuLawToLin)(codes.data(), w.data(), 256);
      (isA ? kvoibALawToLin : kvoibMuLawToLin)(codes.data(), i.data(), 256);
      (isA ? kvosbALawToLin : kvosbMuLawToLin)(codes.data(), s.data(), 256);
      (isA ? kvodbALawToLin : kvodbMuLawToLin)(codes.data(), d.data(), 256);
      for (int c = 0; c < 256; ++c) {
        const int want = isA ? aLawDecode(c) : muLawDecode(c);
        ASSERT_EQ(w[c], want) << c;
        ASSERT_EQ(i[c], want * 65536) << c;
        ASSERT_EQ(s[c], float(want) / 32768) << c;
        ASSERT_EQ(d[c], double(want) / 32768) << c;
      }
    }
  });
}

// ---- the other linear formats ----

TEST(Law, WideSamplesUseTheirUpperHalf) {
  std::mt19937 gen(7);
  std::vector<int> wide(70001);
  std::vector<short> upper(wide.size());
  for (std::size_t k = 0; k < wide.size(); ++k) {
    wide[k] = k < 65536 ? int((k - 32768) * 65536 + (gen() & 0xFFFF)) : int(gen());
    upper[k] = short(wide[k] >> 16);
  }
  const int n = int(wide.size());
  std::vector<Code> got(n), want(n);
  forEachIsa([&] {
    kvoibLinToALaw(wide.data(), got.data(), n);
    kvowbLinToALaw(upper.data(), want.data(), n);
    ASSERT_EQ(got, want);
    kvoibLinToMuLaw(wide.data(), got.data(), n);
    kvowbLinToMuLaw(upper.data(), want.data(), n);
    ASSERT_EQ(got, want);
  });
}

// Floating-point samples: the largest code from |x| >= 0.96875 on (by the sign bit), otherwise
// x * 32768 truncated; NaN codes as silence.
template <class R>
short floatSample(R x) {
  if (std::isnan(x)) return 0;
  if (std::fabs(x) >= R(0.96875)) return std::signbit(x) ? -32768 : 32767;
  return short(x * 32768);
}

template <class R>
std::vector<R> floatSamples() {
  std::vector<R> v;
  for (R x : {R(0), R(0.96875), R(0.9687), std::nextafter(R(0.96875), R(0)), R(1), R(0.5), R(1e30),
              R(1e-40), R(1) / R(32768), std::numeric_limits<R>::infinity(),
              std::numeric_limits<R>::quiet_NaN()}) {
    v.push_back(x);
    v.push_back(-x);
  }
  for (int k = -32768; k < 32768; ++k) {
    v.push_back(R(k) / 32768);                        // exact samples
    v.push_back(std::nextafter(R(k) / 32768, R(0)));  // just inside them
  }
  std::mt19937 gen(11);
  std::uniform_real_distribution<R> dist(-1.1, 1.1);
  for (int k = 0; k < 10000; ++k) v.push_back(dist(gen));
  return v;
}

template <class R>
void checkFloatEncoders(void (*toA)(const R*, Code*, int), void (*toMu)(const R*, Code*, int)) {
  const auto x = floatSamples<R>();
  const int n = int(x.size());
  std::vector<Code> a(n), mu(n);
  forEachIsa([&] {
    toA(x.data(), a.data(), n);
    toMu(x.data(), mu.data(), n);
    for (int k = 0; k < n; ++k) {
      ASSERT_EQ(a[k], aLawEncode(floatSample(x[k]))) << x[k];
      ASSERT_EQ(mu[k], muLaw().encode(floatSample(x[k]))) << x[k];
    }
  });
}

TEST(Law, FloatSamplesAreTruncatedAndLimited) {
  checkFloatEncoders<float>(kvosbLinToALaw, kvosbLinToMuLaw);
  checkFloatEncoders<double>(kvodbLinToALaw, kvodbLinToMuLaw);
}

TEST(Law, AnyLengthAndAlignment) {
  const auto samples = allSamples();
  std::vector<Code> whole(samples.size());
  kvowbLinToMuLaw(samples.data(), whole.data(), int(samples.size()));
  forEachIsa([&] {
    for (int offset = 0; offset < 3; ++offset) {
      for (int n = 1; n < 100; n += 7) {
        std::vector<Code> part(n + 2, 0xA5);
        kvowbLinToMuLaw(samples.data() + 600 * n + offset, part.data(), n);
        for (int k = 0; k < n; ++k) ASSERT_EQ(part[k], whole[600 * n + offset + k]);
        EXPECT_EQ(part[n], 0xA5);  // nothing written past the end
        std::vector<short> lin(n + 1, 77);
        kvowbALawToLin(part.data() + offset, lin.data(), n);
        EXPECT_EQ(lin[n], 77);
      }
    }
  });
}

// ---- transcoding ----

// Each table sends a code to a code of the other law with the same sign (both laws mark
// non-negative samples with bit 7), whose level is the one just below or just above the input's
// level, and keeps the order of the levels.
void checkTranscoding(void (*f)(const Code*, Code*, int), int (*fromDecode)(int),
                      int (*toDecode)(int)) {
  std::vector<Code> codes(256), out(256);
  for (int c = 0; c < 256; ++c) codes[c] = Code(c);
  f(codes.data(), out.data(), 256);
  for (int c = 0; c < 256; ++c) {
    const int x = std::abs(fromDecode(c));
    const int y = std::abs(toDecode(out[c]));
    int below = -1, above = 1 << 20;
    for (int t = 0; t < 256; ++t) {
      const int level = std::abs(toDecode(t));
      if (level <= x && level > below) below = level;
      if (level >= x && level < above) above = level;
    }
    EXPECT_TRUE(y == below || y == above) << c;
    EXPECT_EQ(c & 0x80, out[c] & 0x80) << c;
    for (int d = 0; d < 256; ++d) {
      if ((d & 0x80) == (c & 0x80) && std::abs(fromDecode(d)) < x) {
        EXPECT_LE(std::abs(toDecode(out[d])), y) << c << " " << d;
      }
    }
  }
}

TEST(Law, Transcoding) {
  checkTranscoding(kvoMuLawToALaw, muLawDecode, aLawDecode);
  checkTranscoding(kvoALawToMuLaw, aLawDecode, muLawDecode);
  const Code c[] = {0x80, 0xFF};
  Code out[2];
  kvoMuLawToALaw(c, out, 2);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0x80);
  kvoALawToMuLaw(c, out, 2);
  EXPECT_EQ(out[0], 0xFE);
  EXPECT_EQ(out[1], 0x80);
}

// ---- argument checks ----

class LawChecks : public KvoTest {
 protected:
  template <class In, class Out>
  void check(void (*f)(const In*, Out*, int), const char* name) {
    std::vector<In> src(4);
    auto dst = sentinel<Out>(4);
    f(src.data(), dst.data(), 0);
    expectReport(-5, name, "len<=0", kModule);
    f(nullptr, nullptr, -1);
    expectReport(-5, name, "len<=0", kModule);
    f(nullptr, dst.data(), 4);
    expectReport(-5, name, "src==0", kModule);
    f(src.data(), nullptr, 4);
    expectReport(-5, name, "dst==0", kModule);
    EXPECT_TRUE(isSentinel(dst));
  }
};

#define CHECK_LAW(f) check(f, #f)

TEST_F(LawChecks, EveryFunction) {
  CHECK_LAW(kvowbLinToALaw);
  CHECK_LAW(kvowbLinToMuLaw);
  CHECK_LAW(kvoibLinToALaw);
  CHECK_LAW(kvoibLinToMuLaw);
  CHECK_LAW(kvosbLinToALaw);
  CHECK_LAW(kvosbLinToMuLaw);
  CHECK_LAW(kvodbLinToALaw);
  CHECK_LAW(kvodbLinToMuLaw);
  CHECK_LAW(kvowbALawToLin);
  CHECK_LAW(kvowbMuLawToLin);
  CHECK_LAW(kvoibALawToLin);
  CHECK_LAW(kvoibMuLawToLin);
  CHECK_LAW(kvosbALawToLin);
  CHECK_LAW(kvosbMuLawToLin);
  CHECK_LAW(kvodbALawToLin);
  CHECK_LAW(kvodbMuLawToLin);
  CHECK_LAW(kvoMuLawToALaw);
  CHECK_LAW(kvoALawToMuLaw);
}

}  // namespace
