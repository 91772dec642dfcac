// The conversion entries, shared by the float (kvocvrts), double (kvocvrtd) and 16-bit modules:
// argument checks in argument order, then the kernels of kernels/cvt.h.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "frame/check.h"
#include "kernels/vector/cvt.h"
#include "kvo.h"

namespace kvo::cvt {

namespace kern = kvo::kern;

constexpr int kRoundingFlags = KVO_RoundNearest | KVO_RoundZero | KVO_RoundDown | KVO_RoundUp;
constexpr int kKnownFlags = kRoundingFlags | KVO_Unsigned | KVO_Clip | KVO_ReportOverflow;
constexpr const char* kIntSize = "Invalid size of an integer";
constexpr const char* kFixSize = "Invalid size of a fix-point";

inline bool validWidth(int width) { return width == 8 || width == 16 || width == 32; }

// The conversions with flags clear the status and report every failed check before returning.
// The upper limit of fractBits depends on the width, so it is tested only when the width is valid.
inline bool checkAll(const Site& s, int len, const void* src, const void* dst, int width,
                     const char* widthMessage, bool flagsOk, int fractBits, bool isUnsigned) {
  kvoSetErrStatus(KVO_StatusOk);
  Checks c(s, false);
  c.positive(len, "len<=0").notNull(src, "src==0").notNull(dst, "dst==0");
  c.require(validWidth(width), widthMessage).require(flagsOk, "Invalid conversion flag");
  // The top bit follows from the width only once the width is known to be valid.
  const bool fractOk =
      fractBits >= 0 && (!validWidth(width) || fractBits <= (isUnsigned ? width : width - 1));
  c.require(fractOk, "Invalid fractBits");
  return c.ok();
}

inline kern::Round roundingOf(int flags) {
  if (flags & KVO_RoundNearest) return kern::Round::Nearest;
  if (flags & KVO_RoundZero) return kern::Round::Zero;
  if (flags & KVO_RoundDown) return kern::Round::Down;
  return kern::Round::Up;
}

// Float to integer (fractBits 0) and fixed point. Out-of-range values are clamped with KVO_Clip
// and otherwise keep the low bits of the rounded value, as plain integer conversion would; with
// KVO_ReportOverflow one report follows the whole vector.
template <class R>
void floatToFix(const Site& s, const R* src, void* dst, int len, int width, int fractBits,
                int flags, const char* widthMessage) {
  const bool isUnsigned = (flags & KVO_Unsigned) != 0;
  const bool oneRounding = std::popcount(static_cast<unsigned>(flags & kRoundingFlags)) == 1;
  if (!checkAll(s, len, src, dst, width, widthMessage, oneRounding, fractBits, isUnsigned)) return;
  kern::Round mode = roundingOf(flags);
  // The 32-bit unsigned conversion that reports overflow and asks for truncation rounds down
  // instead, so that a negative fraction is reported as outside the range rather than becoming 0.
  if (width == 32 && flags == (KVO_ReportOverflow | KVO_Unsigned | KVO_RoundZero)) {
    mode = kern::Round::Down;
  }
  const double top = std::ldexp(1.0, isUnsigned ? width : width - 1);
  const kern::IntTarget target{width, isUnsigned ? 0.0 : -top, top - 1, std::ldexp(1.0, fractBits),
                               (flags & KVO_Clip) != 0};
  if (kern::floatToInt(src, dst, len, mode, target) && (flags & KVO_ReportOverflow)) {
    s.report(KVO_StatusBadArgument, "A float exceeds an integer");
  }
}

template <class Signed, class R>
void fromInts(const void* src, R* dst, int len, bool isUnsigned, R scale) {
  using Unsigned = std::make_unsigned_t<Signed>;
  if (isUnsigned) {
    kern::intToFloat(static_cast<const Unsigned*>(src), dst, len, scale);
  } else {
    kern::intToFloat(static_cast<const Signed*>(src), dst, len, scale);
  }
}

// Integer (fractBits 0) and fixed point to float. Every known conversion flag is accepted, so the
// flags of the forward conversion may be passed back unchanged; only KVO_Unsigned matters here.
template <class R>
void fixToFloat(const Site& s, const void* src, R* dst, int len, int width, int fractBits,
                int flags, const char* widthMessage) {
  const bool isUnsigned = (flags & KVO_Unsigned) != 0;
  const bool flagsOk = (flags & ~kKnownFlags) == 0;
  if (!checkAll(s, len, src, dst, width, widthMessage, flagsOk, fractBits, isUnsigned)) return;
  const auto scale = static_cast<R>(std::ldexp(1.0, -fractBits));
  if (width == 8) fromInts<std::int8_t>(src, dst, len, isUnsigned, scale);
  if (width == 16) fromInts<std::int16_t>(src, dst, len, isUnsigned, scale);
  if (width == 32) fromInts<std::int32_t>(src, dst, len, isUnsigned, scale);
}

// The named signed fixed formats: S7 (8 bits, 7 fraction bits), S15, S31 and S15.16.
template <class Fixed, int FractBits, class R>
void toSignedFix(const Site& s, const R* src, Fixed* dst, int len, int flags) {
  floatToFix(s, src, dst, len, 8 * sizeof(Fixed), FractBits, flags, kFixSize);
}

template <class Fixed, int FractBits, class R>
void fromSignedFix(const Site& s, const Fixed* src, R* dst, int len) {
  if (Checks(s).positive(len, "len<=0").notNull(src, "src==0").notNull(dst, "dst==0")) {
    kern::intToFloat(src, dst, len, static_cast<R>(std::ldexp(1.0, -FractBits)));
  }
}

// ---- complex data split and joined ----

template <auto Part, class C, class R>
void onePart(const Site& s, const C* src, R* dst, int length) {
  if (!Checks(s).positive(length, "length<=0").notNull(src, "src==0").notNull(dst, "dst==0")) {
    return;
  }
  for (int k = 0; k < length; ++k) dst[k] = src[k].*Part;
}

template <class C, class R>
void cplxTo2Real(const Site& s, const C* src, R* dstReal, R* dstImag, int length) {
  if (!Checks(s)
           .positive(length, "length<=0")
           .notNull(src, "src==0")
           .notNull(dstReal, "dstReal==0")
           .notNull(dstImag, "dstImag==0")) {
    return;
  }
  for (int k = 0; k < length; ++k) {
    dstReal[k] = src[k].re;
    dstImag[k] = src[k].im;
  }
}

// A missing part is zero.
template <class R, class C>
void realsToCplx(const Site& s, const R* srcReal, const R* srcImag, C* dst, int length) {
  if (!Checks(s).positive(length, "length<=0").notNull(dst, "dst==0")) return;
  for (int k = 0; k < length; ++k) {
    dst[k] = {srcReal ? srcReal[k] : R(0), srcImag ? srcImag[k] : R(0)};
  }
}

// ---- polar forms ----

template <class C, class R>
void cartToPolar(const Site& s, const C* src, R* mag, R* phase, int length) {
  if (!Checks(s)
           .positive(length, "length<=0")
           .notNull(src, "src==0")
           .notNull(mag, "mag==0")
           .notNull(phase, "phase==0")) {
    return;
  }
  for (int k = 0; k < length; ++k) {
    mag[k] = kern::magnitude(src[k].re, src[k].im);
    phase[k] = kern::phase(src[k].re, src[k].im);
  }
}

// The separate-array form checks its outputs before its inputs.
template <class R>
void cartToPolar(const Site& s, const R* srcReal, const R* srcImag, R* mag, R* phase, int length) {
  if (!Checks(s)
           .positive(length, "length<=0")
           .notNull(mag, "mag==0")
           .notNull(phase, "phase==0")
           .notNull(srcReal, "srcReal==0")
           .notNull(srcImag, "srcImag==0")) {
    return;
  }
  for (int k = 0; k < length; ++k) {
    mag[k] = kern::magnitude(srcReal[k], srcImag[k]);
    phase[k] = kern::phase(srcReal[k], srcImag[k]);
  }
}

template <class R, class C>
void polarToCart(const Site& s, const R* mag, const R* phase, C* dst, int length) {
  if (!Checks(s)
           .positive(length, "length<=0")
           .notNull(mag, "mag==0")
           .notNull(phase, "phase==0")
           .notNull(dst, "dst==0")) {
    return;
  }
  for (int k = 0; k < length; ++k) kern::polarToCartesian(mag[k], phase[k], dst[k].re, dst[k].im);
}

template <class R>
void polarToCart(const Site& s, const R* mag, const R* phase, R* dstReal, R* dstImag, int length) {
  if (!Checks(s)
           .positive(length, "length<=0")
           .notNull(mag, "mag==0")
           .notNull(phase, "phase==0")
           .notNull(dstReal, "dstReal==0")
           .notNull(dstImag, "dstImag==0")) {
    return;
  }
  for (int k = 0; k < length; ++k) {
    kern::polarToCartesian(mag[k], phase[k], dstReal[k], dstImag[k]);
  }
}

// ---- magnitude, phase and power spectrum ----

enum class Pair { Mag, Power, Phase };

template <Pair P, class R>
R pairValue(R re, R im) {
  if constexpr (P == Pair::Mag) return kern::magnitude(re, im);
  if constexpr (P == Pair::Power) return kern::power(re, im);
  if constexpr (P == Pair::Phase) return kern::phase(re, im);
}

// re and im advance by Stride elements per value (2 in interleaved complex data).
template <Pair P, int Stride, class R>
void pairLoop(const R* re, const R* im, R* dst, int n) {
  if constexpr (std::is_same_v<R, float> && P != Pair::Phase) {
    constexpr auto op = P == Pair::Mag ? kern::PairOp::Mag : kern::PairOp::Power;
    kern::pairs<op, Stride>(re, im, dst, n);
  } else {
    for (int k = 0; k < n; ++k) dst[k] = pairValue<P>(re[k * Stride], im[k * Stride]);
  }
}

// The destination is checked before the sources.
template <Pair P, class C, class R>
void ofComplex(const Site& s, const C* src, R* dst, int length, const char* dstMessage) {
  if (Checks(s).positive(length, "length<=0").notNull(dst, dstMessage).notNull(src, "src==0")) {
    pairLoop<P, 2>(&src->re, &src->im, dst, length);
  }
}

template <Pair P, class R>
void ofReals(const Site& s, const R* srcReal, const R* srcImag, R* dst, int length,
             const char* dstMessage) {
  if (Checks(s)
          .positive(length, "length<=0")
          .notNull(dst, dstMessage)
          .notNull(srcReal, "srcReal==0")
          .notNull(srcImag, "srcImag==0")) {
    pairLoop<P, 1>(srcReal, srcImag, dst, length);
  }
}

}  // namespace kvo::cvt
