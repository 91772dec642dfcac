// Conversions of double data (module kvocvrtd): double to and from integer and fixed point, and
// the split, polar forms, magnitude, phase and power spectrum of complex double data.
#include "vector/convert.h"

namespace {

constexpr const char* kModule = "kvocvrtd";

using CD = ComplexDouble;
using kvo::cvt::Pair;
namespace cvt = kvo::cvt;

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvodbFloatToInt(const double* src, void* dst, int len, int intBits,
                                      int flags) {
  cvt::floatToFix(KVO_SITE, src, dst, len, intBits, 0, flags, cvt::kIntSize);
}
KVO_API void KVO_CALL kvodbIntToFloat(const void* src, double* dst, int len, int intBits,
                                      int flags) {
  cvt::fixToFloat(KVO_SITE, src, dst, len, intBits, 0, flags, cvt::kIntSize);
}
KVO_API void KVO_CALL kvodbFloatToFix(const double* src, void* dst, int len, int fixBits,
                                      int fractBits, int flags) {
  cvt::floatToFix(KVO_SITE, src, dst, len, fixBits, fractBits, flags, cvt::kFixSize);
}
KVO_API void KVO_CALL kvodbFixToFloat(const void* src, double* dst, int len, int fixBits,
                                      int fractBits, int flags) {
  cvt::fixToFloat(KVO_SITE, src, dst, len, fixBits, fractBits, flags, cvt::kFixSize);
}

KVO_API void KVO_CALL kvodbFloatToS7Fix(const double* src, signed char* dst, int len, int flags) {
  cvt::toSignedFix<signed char, 7>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvodbFloatToS15Fix(const double* src, short* dst, int len, int flags) {
  cvt::toSignedFix<short, 15>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvodbFloatToS31Fix(const double* src, int* dst, int len, int flags) {
  cvt::toSignedFix<int, 31>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvodbFloatToS1516Fix(const double* src, int* dst, int len, int flags) {
  cvt::toSignedFix<int, 16>(KVO_SITE, src, dst, len, flags);
}
KVO_API void KVO_CALL kvodbS7FixToFloat(const signed char* src, double* dst, int len) {
  cvt::fromSignedFix<signed char, 7>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbS15FixToFloat(const short* src, double* dst, int len) {
  cvt::fromSignedFix<short, 15>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbS31FixToFloat(const int* src, double* dst, int len) {
  cvt::fromSignedFix<int, 31>(KVO_SITE, src, dst, len);
}
KVO_API void KVO_CALL kvodbS1516FixToFloat(const int* src, double* dst, int len) {
  cvt::fromSignedFix<int, 16>(KVO_SITE, src, dst, len);
}

KVO_API void KVO_CALL kvozbReal(const CD* src, double* dst, int length) {
  cvt::onePart<&CD::re>(KVO_SITE, src, dst, length);
}
KVO_API void KVO_CALL kvozbImag(const CD* src, double* dst, int length) {
  cvt::onePart<&CD::im>(KVO_SITE, src, dst, length);
}
KVO_API void KVO_CALL kvozbCplxTo2Real(const CD* src, double* dstReal, double* dstImag,
                                       int length) {
  cvt::cplxTo2Real(KVO_SITE, src, dstReal, dstImag, length);
}
KVO_API void KVO_CALL kvozb2RealToCplx(const double* srcReal, const double* srcImag, CD* dst,
                                       int length) {
  cvt::realsToCplx(KVO_SITE, srcReal, srcImag, dst, length);
}

KVO_API void KVO_CALL kvozbCartToPolar(const CD* src, double* mag, double* phase, int length) {
  cvt::cartToPolar(KVO_SITE, src, mag, phase, length);
}
KVO_API void KVO_CALL kvodbrCartToPolar(const double* srcReal, const double* srcImag, double* mag,
                                        double* phase, int length) {
  cvt::cartToPolar(KVO_SITE, srcReal, srcImag, mag, phase, length);
}
KVO_API void KVO_CALL kvozbPolarToCart(const double* mag, const double* phase, CD* dst,
                                       int length) {
  cvt::polarToCart(KVO_SITE, mag, phase, dst, length);
}
KVO_API void KVO_CALL kvodbrPolarToCart(const double* mag, const double* phase, double* dstReal,
                                        double* dstImag, int length) {
  cvt::polarToCart(KVO_SITE, mag, phase, dstReal, dstImag, length);
}

KVO_API void KVO_CALL kvozbMag(const CD* src, double* mag, int length) {
  cvt::ofComplex<Pair::Mag>(KVO_SITE, src, mag, length, "mag==0");
}
KVO_API void KVO_CALL kvodbrMag(const double* srcReal, const double* srcImag, double* mag,
                                int length) {
  cvt::ofReals<Pair::Mag>(KVO_SITE, srcReal, srcImag, mag, length, "mag==0");
}
KVO_API void KVO_CALL kvozbPhase(const CD* src, double* phase, int length) {
  cvt::ofComplex<Pair::Phase>(KVO_SITE, src, phase, length, "phase==0");
}
KVO_API void KVO_CALL kvodbrPhase(const double* srcReal, const double* srcImag, double* phase,
                                  int length) {
  cvt::ofReals<Pair::Phase>(KVO_SITE, srcReal, srcImag, phase, length, "phase==0");
}
KVO_API void KVO_CALL kvozbPowerSpectr(const CD* src, double* spectr, int length) {
  cvt::ofComplex<Pair::Power>(KVO_SITE, src, spectr, length, "spectr==0");
}
KVO_API void KVO_CALL kvodbrPowerSpectr(const double* srcReal, const double* srcImag,
                                        double* spectr, int length) {
  cvt::ofReals<Pair::Power>(KVO_SITE, srcReal, srcImag, spectr, length, "spectr==0");
}

}  // extern "C"
