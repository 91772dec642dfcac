// Conversions of float data (module kvocvrts): float to and from integer and fixed point, and the
// split, polar forms, magnitude, phase and power spectrum of complex float data.
#include "kernels/vector/cvt.h"
#include "vector/convert.h"

namespace {

constexpr const char* kModule = "kvocvrts";

using CF = ComplexFloat;
using kvo::cvt::Pair;
namespace cvt = kvo::cvt;
namespace kern = kvo::kern;

// Beyond 128 elements the magnitude is taken in blocks of 128 as the float square root of the
// power spectrum rounded to float; the elements after the last whole block, like every element of
// a shorter vector, are rounded once from the exact magnitude.
void magOfComplex(const kvo::Site& s, const CF* src, float* mag, int length) {
  if (!kvo::Checks(s).positive(length, "length<=0").notNull(mag, "mag==0").notNull(src, "src==0")) {
    return;
  }
  constexpr int kBlock = 128;
  const int blocked = length > kBlock ? length / kBlock * kBlock : 0;
  kern::pairs<kern::PairOp::MagOfFloatPower, 2>(&src->re, &src->im, mag, blocked);
  kern::pairs<kern::PairOp::Mag, 2>(&src[blocked].re, &src[blocked].im, mag + blocked,
                                    length - blocked);
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosbFloatToInt(const float* src, void* dst, int len, int intBits,
                                      int flags) {
  cvt::floatToFix(KVO_SITE, src, dst, len, intBits, 0, flags, cvt::kIntSize);
}
KVO_API void KVO_CALL kvosbIntToFloat(const void* src, float* dst, int len, int intBits,
                                      int flags) {
  cvt::fixToFloat(KVO_SITE, src, dst, len, intBits, 0, flags, cvt::kIntSize);
}
KVO_API void KVO_CALL kvosbFloatToFix(const float* src, void* dst, int len, int fixBits,
                                      int fractBits, int flags) {
  cvt::floatToFix(KVO_SITE, src, dst, len, fixBits, fractBits, flags, cvt::kFixSize);
}
KVO_API void KVO_CALL kvosbFixToFloat(const void* src, float* dst, int len, int fixBits,
                                      int fractBits, int flags) {
  cvt::fixToFloat(KVO_SITE, src, dst, len, fixBits, fractBits, flags, cvt::kFixSize);
}

KVO_API void KVO_CALL kvosbFloatToS7Fix(const float* src, signed char* dst, int len, int flags) {
  cvt::toSignedFix<signed char, 7>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvosbFloatToS15Fix(const float* src, short* dst, int len, int flags) {
  cvt::toSignedFix<short, 15>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvosbFloatToS31Fix(const float* src, int* dst, int len, int flags) {
  cvt::toSignedFix<int, 31>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvosbFloatToS1516Fix(const float* src, int* dst, int len, int flags) {
  cvt::toSignedFix<int, 16>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvosbS7FixToFloat(const signed char* src, float* dst, int len) {
  cvt::fromSignedFix<signed char, 7>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbS15FixToFloat(const short* src, float* dst, int len) {
  cvt::fromSignedFix<short, 15>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbS31FixToFloat(const int* src, float* dst, int len) {
  cvt::fromSignedFix<int, 31>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvosbS1516FixToFloat(const int* src, float* dst, int len) {
  cvt::fromSignedFix<int, 16>(KVO_SITE, src, dst, len);
}

KVO_API void KVO_CALL kvocbReal(const CF* src, float* dst, int length) {
  cvt::onePart<&CF::re>(KVO_SITE, src, dst, length);
}
KVO_API void KVO_CALL kvocbImag(const CF* src, float* dst, int length) {
  cvt::onePart<&CF::im>(KVO_SITE, src, dst, length);
}
KVO_API void KVO_CALL kvocbCplxTo2Real(const CF* src, float* dstReal, float* dstImag, int length) {
  cvt::cplxTo2Real(KVO_SITE, src, dstReal, dstImag, length);
}
KVO_API void KVO_CALL kvocb2RealToCplx(const float* srcReal, const float* srcImag, CF* dst,
                                       int length) {
  cvt::realsToCplx(KVO_SITE, srcReal, srcImag, dst, length);
}

KVO_API void KVO_CALL kvocbCartToPolar(const CF* src, float* mag, float* phase, int length) {
  cvt::cartToPolar(KVO_SITE, src, mag, phase, length);
}
KVO_API void KVO_CALL kvosbrCartToPolar(const float* srcReal, const float* srcImag, float* mag,
                                        float* phase, int length) {
  cvt::cartToPolar(KVO_SITE, srcReal, srcImag, mag, phase, length);
}
KVO_API void KVO_CALL kvocbPolarToCart(const float* mag, const float* phase, CF* dst, int length) {
  cvt::polarToCart(KVO_SITE, mag, phase, dst, length);
}
KVO_API void KVO_CALL kvosbrPolarToCart(const float* mag, const float* phase, float* dstReal,
                                        float* dstImag, int length) {
  cvt::polarToCart(KVO_SITE, mag, phase, dstReal, dstImag, length);
}

KVO_API void KVO_CALL kvocbMag(const CF* src, float* mag, int length) {
  magOfComplex(KVO_SITE, src, mag, length);
}
KVO_API void KVO_CALL kvosbrMag(const float* srcReal, const float* srcImag, float* mag,
                                int length) {
  cvt::ofReals<Pair::Mag>(KVO_SITE, srcReal, srcImag, mag, length, "mag==0");
}
KVO_API void KVO_CALL kvocbPhase(const CF* src, float* phase, int length) {
  cvt::ofComplex<Pair::Phase>(KVO_SITE, src, phase, length, "phase==0");
}
KVO_API void KVO_CALL kvosbrPhase(const float* srcReal, const float* srcImag, float* phase,
                                  int length) {
  cvt::ofReals<Pair::Phase>(KVO_SITE, srcReal, srcImag, phase, length, "phase==0");
}
KVO_API void KVO_CALL kvocbPowerSpectr(const CF* src, float* spectr, int length) {
  cvt::ofComplex<Pair::Power>(KVO_SITE, src, spectr, length, "spectr==0");
}
KVO_API void KVO_CALL kvosbrPowerSpectr(const float* srcReal, const float* srcImag, float* spectr,
                                        int length) {
  cvt::ofReals<Pair::Power>(KVO_SITE, srcReal, srcImag, spectr, length, "spectr==0");
}

}  // extern "C"
