// Natural logarithm and exponential of float and double vectors (module kvolnexp).
#include "frame/check.h"
#include "kernels/vector/elemlnexp.h"
#include "kvo.h"
#include "vector/elemforms.h"

namespace {

constexpr const char* kModule = "kvolnexp";

using kvo::checked;
using kvo::one;
using kvo::two;
namespace kern = kvo::kern;

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosbLn1(float* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::ln<float>);
}
KVO_API void KVO_CALL kvosbLn2(const float* src, float* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::ln<float>);
}
KVO_API void KVO_CALL kvodbLn1(double* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::ln<double>);
}
KVO_API void KVO_CALL kvodbLn2(const double* src, double* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::ln<double>);
}
KVO_API void KVO_CALL kvosbExp1(float* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::exp<float>);
}
KVO_API void KVO_CALL kvosbExp2(const float* src, float* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::exp<float>);
}
KVO_API void KVO_CALL kvodbExp1(double* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::exp<double>);
}
KVO_API void KVO_CALL kvodbExp2(const double* src, double* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::exp<double>);
}

}  // extern "C"
