// Complex and real FFTs against a long-double reference, at every instruction-set level.
#include <cmath>
#include <thread>
#include <vector>

#include "support/fft_reference.h"
#include "support/kvo_test.h"
#include "transform/tables.h"

using kvotest::forEachIsa;
using kvotest::KvoTest;
using kvotest::randomComplex;
using kvotest::randomReals;

namespace {

using namespace kvotest::fftref;

double bound(double tol, int order) { return tol * order; }

// Every form and bit order of one complex transform size and direction.
template <class C>
void checkComplex(int order, int direction, bool allForms) {
  using A = Api<C>;
  using R = typename A::R;
  const std::size_t n = std::size_t{1} << order;
  const auto x = randomComplex<C>(n, 7u + static_cast<unsigned>(order));
  std::vector<CL> xl(n);
  for (std::size_t i = 0; i < n; ++i) xl[i] = {x[i].re, x[i].im};
  const auto ref = reference(xl, direction == KVO_Forw ? -1 : 1);
  for (int noScale : {0, int{KVO_NoScale}}) {
    if (direction == KVO_Forw && noScale) continue;
    const LD factor = direction == KVO_Inv && !noScale && order > 0 ? 1.0L / n : 1.0L;
    for (int bits : {0, int{KVO_NoBitRev}, int{KVO_InBitRev}, int{KVO_OutBitRev}}) {
      if (!allForms && bits != 0) continue;
      const int flags = direction | noScale | bits;
      SCOPED_TRACE(testing::Message() << "order " << order << " flags " << flags);
      std::vector<C> in(n);
      std::vector<LD> want(2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        in[i] = x[bits == KVO_InBitRev ? bitrev(i, order) : i];
        const CL& w = ref[bits == KVO_OutBitRev ? bitrev(i, order) : i];
        want[2 * i] = w.re * factor;
        want[2 * i + 1] = w.im * factor;
      }
      const double limit = bound(A::kTol, order);
      std::vector<C> buf = in;
      A::fft(buf.data(), order, flags);
      EXPECT_LE(relativeRms(&buf[0].re, want), limit) << "in place";
      if (!allForms) continue;
      std::vector<C> out(n);
      A::fftNip(in.data(), out.data(), order, flags);
      EXPECT_LE(relativeRms(&out[0].re, want), limit) << "not in place";
      std::vector<R> re(n), im(n), reOut(n), imOut(n);
      for (std::size_t i = 0; i < n; ++i) {
        re[i] = in[i].re;
        im[i] = in[i].im;
      }
      A::rFftNip(re.data(), im.data(), reOut.data(), imOut.data(), order, flags);
      A::rFft(re.data(), im.data(), order, flags);
      for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(re[i], reOut[i]);
        EXPECT_EQ(im[i], imOut[i]);
        out[i] = {re[i], im[i]};
      }
      EXPECT_LE(relativeRms(&out[0].re, want), limit) << "separate arrays";
    }
  }
}

template <class C>
void complexSuite() {
  kvoSetErrStatus(0);
  forEachIsa([] {
    for (int order = 0; order <= 12; ++order) {
      checkComplex<C>(order, KVO_Forw, true);
      checkComplex<C>(order, KVO_Inv, true);
    }
    for (int order : {14, 16, 18}) {
      if (!kvotest::emulated()) checkComplex<C>(order, KVO_Forw, false);
    }
  });
  for (int order : {13, 14, 15, 16}) {
    if (order > 14 && kvotest::emulated()) break;
    checkComplex<C>(order, KVO_Forw, true);
    checkComplex<C>(order, KVO_Inv, true);
  }
  if (!kvotest::emulated()) checkComplex<C>(20, KVO_Inv, false);
  EXPECT_EQ(kvoGetErrStatus(), 0);
  kvocFreeTwdTbls();
  kvozFreeTwdTbls();
}

TEST(FftReference, RecursiveReferenceMatchesDirectDft) {
  std::vector<CL> x(2048);
  const auto r = randomReals<double>(4096, 3);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = {r[2 * i], r[2 * i + 1]};
  const auto fast = reference(x, -1);
  const auto slow = directDft(x, -1);
  for (std::size_t k = 0; k < x.size(); k += 97) {
    EXPECT_NEAR(static_cast<double>(fast[k].re), static_cast<double>(slow[k].re), 1e-9);
    EXPECT_NEAR(static_cast<double>(fast[k].im), static_cast<double>(slow[k].im), 1e-9);
  }
}

TEST(ComplexFft, FloatMatchesReference) { complexSuite<ComplexFloat>(); }
TEST(ComplexFft, DoubleMatchesReference) { complexSuite<ComplexDouble>(); }

// ---- real transforms ---------------------------------------------------------------------------

template <class R>
std::vector<LD> asLd(const std::vector<R>& v) {
  return std::vector<LD>(v.begin(), v.end());
}

template <class C>
void checkReal(int order, int direction) {
  using A = Api<C>;
  using R = typename A::R;
  const std::size_t n = std::size_t{1} << order;
  const auto x = randomReals<R>(n, 11u + static_cast<unsigned>(order));
  std::vector<CL> xl(n);
  for (std::size_t i = 0; i < n; ++i) xl[i] = {x[i], 0};
  const int sign = direction == KVO_Forw ? -1 : 1;
  const double limit = bound(A::kTol, order);
  for (int noScale : {0, int{KVO_NoScale}}) {
    if (direction == KVO_Forw && noScale) continue;
    const int flags = direction | noScale;
    const LD factor = direction == KVO_Inv && !noScale ? 1.0L / n : 1.0L;
    SCOPED_TRACE(testing::Message() << "order " << order << " flags " << flags);
    auto spectrum = reference(xl, sign);
    for (auto& s : spectrum) s = {s.re * factor, s.im * factor};

    // Real signal to spectrum.
    for (Fmt f : {kCcs, kPack, kPerm}) {
      const auto want = asLd(pack<R>(spectrum, n, f));
      std::vector<R> buf(n + 2);
      std::copy(x.begin(), x.end(), buf.begin());
      std::vector<R> out(want.size());
      if (f == kCcs) {
        A::realFft(buf.data(), order, flags);
        A::realFftNip(x.data(), reinterpret_cast<C*>(out.data()), order, flags);
      } else {
        const int fmt = f == kPack ? KVO_OutRCPack : KVO_OutRCPerm;
        A::realFftl(buf.data(), order, flags | fmt);
        A::realFftlNip(x.data(), out.data(), order, flags | fmt);
      }
      EXPECT_LE(relativeRms(buf.data(), want), limit) << "real to spectrum, format " << f;
      EXPECT_LE(relativeRms(out.data(), want), limit) << "real to spectrum Nip, format " << f;
    }

    // Spectrum to real signal: the spectrum of x in the working precision, transformed back.
    const auto fwd = reference(xl, -1);
    for (Fmt f : {kCcs, kPack, kPerm}) {
      const auto packed = pack<R>(fwd, n, f);
      // The exact transform of the rounded, conjugate-symmetric spectrum.
      std::vector<CL> full(n);
      const auto rounded = pack<R>(fwd, n, kCcs);
      for (std::size_t k = 0; k <= n / 2 && n > 1; ++k) {
        full[k] = {rounded[2 * k], rounded[2 * k + 1]};
        if (k > 0 && k < n / 2) full[n - k] = {rounded[2 * k], -rounded[2 * k + 1]};
      }
      if (n == 1) full[0] = {rounded[0], 0};
      const auto back = reference(full, sign);
      std::vector<LD> want(n);
      for (std::size_t i = 0; i < n; ++i) want[i] = back[i].re * factor;
      std::vector<R> buf = packed, out(n);
      if (f == kCcs) {
        A::ccsFft(buf.data(), order, flags);
        A::ccsFftNip(reinterpret_cast<const C*>(packed.data()), out.data(), order, flags);
      } else {
        const int fmt = f == kPack ? KVO_InRCPack : KVO_InRCPerm;
        A::ccsFftl(buf.data(), order, flags | fmt);
        A::ccsFftlNip(packed.data(), out.data(), order, flags | fmt);
      }
      EXPECT_LE(relativeRms(buf.data(), want), limit) << "spectrum to real, format " << f;
      EXPECT_LE(relativeRms(out.data(), want), limit) << "spectrum to real Nip, format " << f;
    }
  }
}

template <class C>
void realSuite() {
  kvoSetErrStatus(0);
  forEachIsa([] {
    for (int order = 1; order <= 13; ++order) {
      checkReal<C>(order, KVO_Forw);
      checkReal<C>(order, KVO_Inv);
    }
  });
  for (int order : {14, 15, 16, 18}) {
    if (order > 14 && kvotest::emulated()) break;
    checkReal<C>(order, KVO_Forw);
    checkReal<C>(order, KVO_Inv);
  }
  EXPECT_EQ(kvoGetErrStatus(), 0);
  kvocFreeTwdTbls();
  kvozFreeTwdTbls();
}

TEST(RealFft, FloatMatchesReference) { realSuite<ComplexFloat>(); }
TEST(RealFft, DoubleMatchesReference) { realSuite<ComplexDouble>(); }

}  // namespace
