// Conversions of 16-bit complex data: split and join, magnitude, phase and power spectrum under
// the 16-bit scale modes. Unlike the float and double modules, these functions report failures
// without a module name or line.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "kernels/vector/cvt.h"
#include "kernels/vector/scale.h"
#include "vector/convert.h"

namespace {

using CS = ComplexShort;
using kvo::Checks;
using kvo::Site;
using kvo::cvt::Pair;
namespace cvt = kvo::cvt;
namespace kern = kvo::kern;

#define KVO_SITE_NO_MODULE (::kvo::Site{__func__, nullptr, 0})

std::uint64_t isqrt(std::uint64_t x) {
  auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(x)));
  while (r * r > x) --r;
  while ((r + 1) * (r + 1) <= x) ++r;
  return r;
}

// The exact power re^2 + im^2 (up to 2^31), or the magnitude, times 2^-s rounded down, with the
// shift limits of the fixed scale modes: right by at most 31, left by at most 15. The magnitude
// is floor(sqrt(p) * 2^-s), found exactly as an integer square root.
template <Pair P>
std::int64_t scaled(std::int64_t p, int s) {
  if (s >= 0) {
    const int right = kvo::scale::rightShift(s);
    if constexpr (P == Pair::Mag) {
      p = static_cast<std::int64_t>(isqrt(static_cast<std::uint64_t>(p)));
    }
    return p >> right;
  }
  const int left = kvo::scale::leftShift(s);
  if constexpr (P == Pair::Mag) {
    return static_cast<std::int64_t>(isqrt(static_cast<std::uint64_t>(p) << (2 * left)));
  }
  return p << left;
}

std::int64_t exactPower(short re, short im) {
  return std::int64_t{re} * re + std::int64_t{im} * im;
}

// Modes 0 and 1: the float power spectrum (or its square root, rounded once to float), rounded to
// the nearest integer, wrapped (mode 0) or clamped (mode 1).
template <Pair P, int Stride>
void viaFloat(const short* re, const short* im, short* dst, int n, bool saturate) {
  constexpr int kChunk = 256;
  float fre[kChunk], fim[kChunk], value[kChunk];
  const kern::IntTarget target{16, -32768.0, 32767.0, 1.0, saturate};
  constexpr auto op = P == Pair::Mag ? kern::PairOp::Mag : kern::PairOp::Power;
  for (int i = 0; i < n; i += kChunk) {
    const int m = std::min(kChunk, n - i);
    for (int k = 0; k < m; ++k) {
      fre[k] = re[(i + k) * Stride];
      fim[k] = im[(i + k) * Stride];
    }
    kern::pairs<op, 1>(fre, fim, value, m);
    kern::floatToInt(value, dst + i, m, kern::Round::Nearest, target);
  }
}

template <Pair P, int Stride>
void magOrPower(const short* re, const short* im, short* dst, int n, int scaleMode,
                int* scaleFactor) {
  const auto power = [&](int k) { return exactPower(re[k * Stride], im[k * Stride]); };
  switch (scaleMode) {
    case KVO_NO_SCALE:
    case KVO_SATURATE:
      viaFloat<P, Stride>(re, im, dst, n, scaleMode == KVO_SATURATE);
      return;
    case KVO_FIXED_SCALE:
    case KVO_FIXED_SCALE | KVO_SATURATE: {
      const int s = scaleFactor ? *scaleFactor : 0;
      for (int k = 0; k < n; ++k) {
        const std::int64_t v = scaled<P>(power(k), s);
        dst[k] = scaleMode & KVO_SATURATE ? kvo::scale::saturate(v) : kvo::scale::wrap(v);
      }
      return;
    }
    case KVO_AUTO_SCALE: {
      // The smallest factor from *scaleFactor upwards at which the largest value fits. Factors
      // below -15 all shift left by 15: a start below that is kept if -15 fits, else the search
      // goes on from -14.
      std::int64_t largest = 0;
      for (int k = 0; k < n; ++k) largest = std::max(largest, power(k));
      int s = *scaleFactor;
      const auto fits = [&](int f) { return scaled<P>(largest, f) <= 32767; };
      if (s < -15 && !fits(-15)) s = -14;
      while (!fits(s)) ++s;
      for (int k = 0; k < n; ++k) dst[k] = kvo::scale::wrap(scaled<P>(power(k), s));
      *scaleFactor = s;
      return;
    }
    default:  // other modes leave the output as it is
      return;
  }
}

bool checkScaleMode(Checks& c, int scaleMode, const int* scaleFactor) {
  const bool autoScale = (scaleMode & KVO_AUTO_SCALE) != 0;
  return c
      .require(!(autoScale && (scaleMode & KVO_FIXED_SCALE)), "KVO_FIXED_SCALE and KVO_AUTO_SCALE")
      .require(!(autoScale && scaleFactor == nullptr), "KVO_AUTO_SCALE and ScaleFactor==NULL")
      .ok();
}

template <Pair P>
void ofComplex16(const Site& s, const CS* src, short* dst, int length, int scaleMode,
                 int* scaleFactor) {
  Checks c(s);
  c.positive(length, "length<=0").notNull(dst, "dst==0").notNull(src, "src==0");
  if (checkScaleMode(c, scaleMode, scaleFactor)) {
    magOrPower<P, 2>(&src->re, &src->im, dst, length, scaleMode, scaleFactor);
  }
}

template <Pair P>
void ofReals16(const Site& s, const short* srcReal, const short* srcImag, short* dst, int length,
               int scaleMode, int* scaleFactor) {
  Checks c(s);
  c.positive(length, "length<=0")
      .notNull(dst, "dst==0")
      .notNull(srcReal, "srcReal==0")
      .notNull(srcImag, "srcImag==0");
  if (checkScaleMode(c, scaleMode, scaleFactor)) {
    magOrPower<P, 1>(srcReal, srcImag, dst, length, scaleMode, scaleFactor);
  }
}

// The phase scaled so that pi gives 16383, truncated; the zero-imaginary rule of the float phase
// applies, so a negative real number gives 16383.
template <int Stride>
void phase16(const short* re, const short* im, short* dst, int n) {
  constexpr double kScale = 5214.870865349043;  // 16383 / pi
  for (int k = 0; k < n; ++k) {
    const double phi = kern::phase<double>(re[k * Stride], im[k * Stride]);
    dst[k] = kvo::scale::wrap(static_cast<std::int64_t>(phi * kScale));
  }
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvovbReal(const CS* src, short* dst, int length) {
  cvt::onePart<&CS::re>(KVO_SITE_NO_MODULE, src, dst, length);
}
KVO_API void KVO_CALL kvovbImag(const CS* src, short* dst, int length) {
  cvt::onePart<&CS::im>(KVO_SITE_NO_MODULE, src, dst, length);
}
KVO_API void KVO_CALL kvovbCplxTo2Real(const CS* src, short* dstReal, short* dstImag, int length) {
  cvt::cplxTo2Real(KVO_SITE_NO_MODULE, src, dstReal, dstImag, length);
}
KVO_API void KVO_CALL kvovb2RealToCplx(const short* srcReal, const short* srcImag, CS* dst,
                                       int length) {
  cvt::realsToCplx(KVO_SITE_NO_MODULE, srcReal, srcImag, dst, length);
}

KVO_API void KVO_CALL kvovbMag(const CS* src, short* dst, int length, int scaleMode,
                               int* scaleFactor) {
  ofComplex16<Pair::Mag>(KVO_SITE_NO_MODULE, src, dst, length, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbPowerSpectr(const CS* src, short* dst, int length, int scaleMode,
                                       int* scaleFactor) {
  ofComplex16<Pair::Power>(KVO_SITE_NO_MODULE, src, dst, length, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbrMag(const short* srcReal, const short* srcImag, short* dst, int length,
                                int scaleMode, int* scaleFactor) {
  ofReals16<Pair::Mag>(KVO_SITE_NO_MODULE, srcReal, srcImag, dst, length, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbrPowerSpectr(const short* srcReal, const short* srcImag, short* dst,
                                        int length, int scaleMode, int* scaleFactor) {
  ofReals16<Pair::Power>(KVO_SITE_NO_MODULE, srcReal, srcImag, dst, length, scaleMode, scaleFactor);
}

KVO_API void KVO_CALL kvovbPhase(const CS* src, short* phase, int length) {
  if (Checks(KVO_SITE_NO_MODULE)
          .positive(length, "length<=0")
          .notNull(phase, "phase==0")
          .notNull(src, "src==0")) {
    phase16<2>(&src->re, &src->im, phase, length);
  }
}
KVO_API void KVO_CALL kvowbrPhase(const short* srcReal, const short* srcImag, short* phase,
                                  int length) {
  if (Checks(KVO_SITE_NO_MODULE)
          .positive(length, "length<=0")
          .notNull(phase, "phase==0")
          .notNull(srcReal, "srcReal==0")
          .notNull(srcImag, "srcImag==0")) {
    phase16<1>(srcReal, srcImag, phase, length);
  }
}

}  // extern "C"
