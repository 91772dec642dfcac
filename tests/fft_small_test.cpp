// The straight-line FFT sizes (complex N up to 64, real N up to 128) and the first general size
// after them, at every instruction-set level: every form against the long-double reference,
// nothing written past the output, the input of the Nip forms left alone and in place equal to
// not in place; and the way past the frame keeps every report once the tables are cached.
#include <algorithm>
#include <functional>
#include <vector>

#include "support/fft_reference.h"
#include "support/kvo_test.h"

using kvotest::forEachIsa;
using kvotest::KvoTest;
using kvotest::sameBits;
using namespace kvotest::fftref;

namespace {

constexpr int kGuard = 8;  // values behind every output that no transform may touch
constexpr double kGuardValue = 1234.5;

// The real forms of one precision by format (CCS, RCPack, RCPerm), in place and not in place.
template <class C>
struct Forms : Api<C> {
  using A = Api<C>;
  using R = typename A::R;
  static void toSpectrum(Fmt f, R* io, int order, int flags) {
    f == kCcs ? A::realFft(io, order, flags) : A::realFftl(io, order, flags);
  }
  static void toSpectrumNip(Fmt f, const R* in, R* out, int order, int flags) {
    f == kCcs ? A::realFftNip(in, reinterpret_cast<C*>(out), order, flags)
              : A::realFftlNip(in, out, order, flags);
  }
  static void toSignal(Fmt f, R* io, int order, int flags) {
    f == kCcs ? A::ccsFft(io, order, flags) : A::ccsFftl(io, order, flags);
  }
  static void toSignalNip(Fmt f, const R* in, R* out, int order, int flags) {
    f == kCcs ? A::ccsFftNip(reinterpret_cast<const C*>(in), out, order, flags)
              : A::ccsFftlNip(in, out, order, flags);
  }
};

int formatFlag(Fmt f, bool toSpectrum) {
  if (f == kCcs) return 0;
  if (toSpectrum) return f == kPack ? KVO_OutRCPack : KVO_OutRCPerm;
  return f == kPack ? KVO_InRCPack : KVO_InRCPerm;
}

// `count` values of `values` followed by the guard.
template <class R>
std::vector<R> guarded(const std::vector<R>& values, std::size_t count) {
  std::vector<R> v(count + kGuard, static_cast<R>(kGuardValue));
  std::copy_n(values.begin(), std::min(count, values.size()), v.begin());
  return v;
}
template <class R>
bool guardIntact(const std::vector<R>& v) {
  return std::all_of(v.end() - kGuard, v.end(), [](R x) { return x == R(kGuardValue); });
}
// One transform checked in place and not in place: `run(in, out)` with in == out or not.
template <class R>
void checkForms(const std::vector<R>& input, const std::vector<LD>& want, double limit,
                const std::function<void(const R*, R*)>& run) {
  const std::size_t count = std::max(input.size(), want.size());
  auto io = guarded(input, count);
  run(io.data(), io.data());
  EXPECT_LE(relativeRms(io.data(), want), limit) << "in place";
  EXPECT_TRUE(guardIntact(io)) << "in place wrote past its output";
  const auto in = input;
  auto out = guarded<R>({}, want.size());
  run(in.data(), out.data());
  EXPECT_TRUE(sameBits(in, input)) << "not in place changed its input";
  EXPECT_TRUE(guardIntact(out)) << "not in place wrote past its output";
  EXPECT_TRUE(sameBits(std::vector<R>(out.begin(), out.begin() + want.size()),
                       std::vector<R>(io.begin(), io.begin() + want.size())))
      << "in place and not in place differ";
}

template <class C>
class SmallFft : public KvoTest {
 protected:
  void TearDown() override {
    kvocFreeTwdTbls();
    kvozFreeTwdTbls();
    KvoTest::TearDown();
  }
};
using Precisions = ::testing::Types<ComplexFloat, ComplexDouble>;
TYPED_TEST_SUITE(SmallFft, Precisions);

constexpr int kDirections[] = {KVO_Forw, KVO_Inv, KVO_Inv | KVO_NoScale, KVO_Forw | KVO_NoBitRev};

TYPED_TEST(SmallFft, ComplexSizesMatchReference) {
  using F = Forms<TypeParam>;
  using R = typename F::R;
  forEachIsa([] {
    for (int order = 1; order <= 7; ++order) {
      const std::size_t n = std::size_t{1} << order;
      const auto x = kvotest::randomReals<R>(2 * n, 40u + static_cast<unsigned>(order));
      std::vector<CL> xl(n);
      for (std::size_t i = 0; i < n; ++i) xl[i] = {x[2 * i], x[2 * i + 1]};
      for (int flags : kDirections) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flags " << flags);
        const bool inverse = flags & KVO_Inv;
        const LD factor = inverse && !(flags & KVO_NoScale) ? 1.0L / n : 1.0L;
        const auto ref = reference(xl, inverse ? 1 : -1);
        std::vector<LD> want(2 * n);
        for (std::size_t i = 0; i < n; ++i) {
          want[2 * i] = ref[i].re * factor;
          want[2 * i + 1] = ref[i].im * factor;
        }
        checkForms<R>(x, want, F::kTol * order, [&](const R* in, R* out) {
          if (in == out) {
            F::fft(reinterpret_cast<TypeParam*>(out), order, flags);
          } else {
            F::fftNip(reinterpret_cast<const TypeParam*>(in), reinterpret_cast<TypeParam*>(out),
                      order, flags);
          }
        });
      }
    }
  });
  EXPECT_EQ(kvoGetErrStatus(), 0);
}

TYPED_TEST(SmallFft, RealSizesMatchReferenceInEveryFormat) {
  using F = Forms<TypeParam>;
  using R = typename F::R;
  forEachIsa([] {
    for (int order = 1; order <= 8; ++order) {
      const std::size_t n = std::size_t{1} << order;
      const auto x = kvotest::randomReals<R>(n, 60u + static_cast<unsigned>(order));
      std::vector<CL> xl(n);
      for (std::size_t i = 0; i < n; ++i) xl[i] = {x[i], 0};
      const auto spectrum = reference(xl, -1);
      // The conjugate-symmetric spectrum as the transforms read it, rounded to R.
      const auto rounded = pack<R>(spectrum, n, kCcs);
      std::vector<CL> full(n);
      for (std::size_t k = 0; k <= n / 2; ++k) {
        full[k] = {rounded[2 * k], rounded[2 * k + 1]};
        if (k > 0 && k < n / 2) full[n - k] = {rounded[2 * k], -rounded[2 * k + 1]};
      }
      for (int flags : kDirections) {
        const int sign = flags & KVO_Inv ? 1 : -1;
        const LD factor = (flags & KVO_Inv) && !(flags & KVO_NoScale) ? 1.0L / n : 1.0L;
        const auto forward = reference(xl, sign);
        const auto backward = reference(full, sign);
        std::vector<LD> signal(n);
        for (std::size_t i = 0; i < n; ++i) signal[i] = backward[i].re * factor;
        for (Fmt f : {kCcs, kPack, kPerm}) {
          SCOPED_TRACE(testing::Message()
                       << "order " << order << " flags " << flags << " format " << f);
          std::vector<CL> scaled(forward);
          for (auto& v : scaled) v = {v.re * factor, v.im * factor};
          const auto packed = pack<R>(scaled, n, f);
          const std::vector<LD> want(packed.begin(), packed.end());
          const int toFlags = flags | formatFlag(f, true), fromFlags = flags | formatFlag(f, false);
          checkForms<R>(x, want, F::kTol * order, [&](const R* in, R* out) {
            in == out ? F::toSpectrum(f, out, order, toFlags)
                      : F::toSpectrumNip(f, in, out, order, toFlags);
          });
          checkForms<R>(pack<R>(spectrum, n, f), signal, F::kTol * order, [&](const R* in, R* out) {
            in == out ? F::toSignal(f, out, order, fromFlags)
                      : F::toSignalNip(f, in, out, order, fromFlags);
          });
        }
      }
    }
  });
  EXPECT_EQ(kvoGetErrStatus(), 0);
}

// Calls that the frame rejects must not slip past it once their tables are cached.
TYPED_TEST(SmallFft, CachedTablesKeepEveryReport) {
  using F = Forms<TypeParam>;
  using R = typename F::R;
  const char* module = sizeof(R) == 4 ? "kvoffts" : "kvofftd";
  const bool isFloat = sizeof(R) == 4;
  for (int order : {0, 1, 2, 4, 5, 6, 10, 11}) {
    SCOPED_TRACE(testing::Message() << "order " << order);
    const std::size_t n = std::size_t{1} << order;
    auto data = kvotest::sentinel<R>(2 * n + 2);
    R* io = data.data();
    auto* cio = reinterpret_cast<TypeParam*>(io);
    F::fft(nullptr, order, KVO_Forw | KVO_Init);
    F::toSpectrum(kPack, nullptr, order, KVO_Forw | KVO_Init);
    this->expectNoReport();
    const struct {
      std::function<void()> call;
      const char* func;
      const char* message;
    } cases[] = {
        {[&] { F::fft(cio, order, 0); }, isFloat ? "kvocFft" : "kvozFft",
         "(flags & 1)==0 && (flags & 2)==0"},
        {[&] { F::fftNip(cio, nullptr, order, KVO_Forw); }, isFloat ? "kvocFftNip" : "kvozFftNip",
         "outSamps==0"},
        {[&] { F::fft(cio, order, KVO_Inv | KVO_NoBitRev | KVO_InBitRev); },
         isFloat ? "kvocFft" : "kvozFft", "(flags & 64) && (flags & 32)"},
        {[&] { F::toSpectrum(kPack, io, order, KVO_Forw); },
         isFloat ? "kvosRealFftl" : "kvodRealFftl", "(flags & 256)==0 && (flags & 512)==0"},
        {[&] { F::toSpectrum(kPack, io, order, KVO_Forw | KVO_OutRCPack | KVO_OutRCPerm); },
         isFloat ? "kvosRealFftl" : "kvodRealFftl", "(flags & 256) && (flags & 512)"},
        {[&] { F::toSignal(kPerm, io, order, KVO_Inv | KVO_InRCPack | KVO_InRCPerm); },
         isFloat ? "kvosCcsFftl" : "kvodCcsFftl", "(flags & 1024) && (flags & 4096)"},
        {[&] { F::toSpectrum(kCcs, io, order, KVO_Forw | KVO_Inv); },
         isFloat ? "kvosRealFft" : "kvodRealFft", "(flags & 1) && (flags & 2)"},
        {[&] { F::toSignalNip(kCcs, nullptr, io, order, KVO_Inv); },
         isFloat ? "kvosCcsFftNip" : "kvodCcsFftNip", "inSamps==0"},
    };
    for (const auto& c : cases) {
      c.call();
      this->expectReport(-5, c.func, c.message, module);
      kvoSetErrStatus(KVO_StatusOk);
    }
    EXPECT_TRUE(kvotest::isSentinel(data));
  }
}

}  // namespace
