// A-law and mu-law companding in the other linear formats, held against the 16-bit coders (which
// reference/law_test.py checks on every sample and code against audioop and the coding rules),
// any length and alignment, and transcoding.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

using Code = unsigned char;

std::vector<Code> everyCode() {
  std::vector<Code> codes(256);
  for (int c = 0; c < 256; ++c) codes[c] = Code(c);
  return codes;
}

// The 16-bit sample of every code.
std::vector<short> decoded(bool isA) {
  std::vector<short> w(256);
  (isA ? kvowbALawToLin : kvowbMuLawToLin)(everyCode().data(), w.data(), 256);
  return w;
}

TEST(Law, OtherFormatsDecodeAsTheShortSamples) {
  const auto codes = everyCode();
  for (bool isA : {true, false}) {
    const auto w = decoded(isA);
    std::vector<int> i(256);
    std::vector<float> s(256);
    std::vector<double> d(256);
    (isA ? kvoibALawToLin : kvoibMuLawToLin)(codes.data(), i.data(), 256);
    (isA ? kvosbALawToLin : kvosbMuLawToLin)(codes.data(), s.data(), 256);
    (isA ? kvodbALawToLin : kvodbMuLawToLin)(codes.data(), d.data(), 256);
    for (int c = 0; c < 256; ++c) {
      ASSERT_EQ(i[c], w[c] * 65536) << c;
      ASSERT_EQ(s[c], float(w[c]) / 32768) << c;
      ASSERT_EQ(d[c], double(w[c]) / 32768) << c;
    }
  }
}

// 32-bit samples code as their upper half.
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
  kvoibLinToALaw(wide.data(), got.data(), n);
  kvowbLinToALaw(upper.data(), want.data(), n);
  ASSERT_EQ(got, want);
  kvoibLinToMuLaw(wide.data(), got.data(), n);
  kvowbLinToMuLaw(upper.data(), want.data(), n);
  ASSERT_EQ(got, want);
}

// Floating-point samples: the largest code from |x| >= 0.96875 on (by the sign bit), otherwise
// x * 32768 truncated; NaN codes as silence.
template <class R>
void checkFloatEncoders(void (*toA)(const R*, Code*, int), void (*toMu)(const R*, Code*, int)) {
  std::vector<R> x;
  for (R v : {R(0), R(0.96875), R(0.9687), std::nextafter(R(0.96875), R(0)), R(1), R(0.5), R(1e30),
              R(1e-40), R(1) / R(32768), std::numeric_limits<R>::infinity(),
              std::numeric_limits<R>::quiet_NaN()}) {
    x.push_back(v);
    x.push_back(-v);
  }
  for (int k = -32768; k < 32768; ++k) {
    x.push_back(R(k) / 32768);                        // exact samples
    x.push_back(std::nextafter(R(k) / 32768, R(0)));  // just inside them
  }
  const int n = int(x.size());
  std::vector<short> w(n);
  for (int k = 0; k < n; ++k) {
    w[k] = std::isnan(x[k])                ? 0
           : std::fabs(x[k]) >= R(0.96875) ? (std::signbit(x[k]) ? -32768 : 32767)
                                           : short(x[k] * 32768);
  }
  std::vector<Code> a(n), mu(n), wantA(n), wantMu(n);
  toA(x.data(), a.data(), n);
  toMu(x.data(), mu.data(), n);
  kvowbLinToALaw(w.data(), wantA.data(), n);
  kvowbLinToMuLaw(w.data(), wantMu.data(), n);
  for (int k = 0; k < n; ++k) {
    ASSERT_EQ(a[k], wantA[k]) << x[k];
    ASSERT_EQ(mu[k], wantMu[k]) << x[k];
  }
}

TEST(Law, FloatSamplesAreTruncatedAndLimited) {
  checkFloatEncoders<float>(kvosbLinToALaw, kvosbLinToMuLaw);
  checkFloatEncoders<double>(kvodbLinToALaw, kvodbLinToMuLaw);
}

TEST(Law, AnyLengthAndAlignment) {
  const auto samples = everyShort();
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

// Each table sends a code to a code of the other law with the same sign (both laws mark
// non-negative samples with bit 7), whose level is the one just below or just above the input's
// level, and keeps the order of the levels.
void checkTranscoding(void (*f)(const Code*, Code*, int), bool fromA) {
  std::vector<Code> out(256);
  f(everyCode().data(), out.data(), 256);
  const auto from = decoded(fromA), to = decoded(!fromA);
  for (int c = 0; c < 256; ++c) {
    const int x = std::abs(from[c]), y = std::abs(to[out[c]]);
    int below = -1, above = 1 << 20;
    for (int t = 0; t < 256; ++t) {
      const int level = std::abs(to[t]);
      if (level <= x && level > below) below = level;
      if (level >= x && level < above) above = level;
    }
    EXPECT_TRUE(y == below || y == above) << c;
    EXPECT_EQ(c & 0x80, out[c] & 0x80) << c;
    for (int d = 0; d < 256; ++d) {
      if ((d & 0x80) == (c & 0x80) && std::abs(from[d]) < x) {
        EXPECT_LE(std::abs(to[out[d]]), y) << c << " " << d;
      }
    }
  }
}

TEST(Law, Transcoding) {
  checkTranscoding(kvoMuLawToALaw, false);
  checkTranscoding(kvoALawToMuLaw, true);
  const Code c[] = {0x80, 0xFF};
  Code out[2];
  kvoMuLawToALaw(c, out, 2);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0x80);
  kvoALawToMuLaw(c, out, 2);
  EXPECT_EQ(out[0], 0xFE);
  EXPECT_EQ(out[1], 0x80);
}

}  // namespace
