// Element functions Sqr, Sqrt, Thresh, InvThresh and Abs, and the vector statistics Mean, StdDev,
// Max and Min (module kvovec).
#include "frame/check.h"
#include "kernels/vector/arith.h"
#include "kernels/vector/arithw.h"
#include "kernels/vector/elem.h"
#include "kernels/vector/scale.h"
#include "kernels/vector/stats.h"
#include "kvo.h"
#include "vector/elemforms.h"

namespace {

constexpr const char* kModule = "kvovec";

using kvo::checked;
using kvo::Checks;
using kvo::one;
using kvo::Site;
using kvo::two;
namespace kern = kvo::kern;
using CF = ComplexFloat;
using CD = ComplexDouble;
using CS = ComplexShort;

// ---- Sqr ----

template <class V>
void sqr(const Site& s, V v, int len) {
  if (v.check(s, len)) kern::binary<kern::Mpy>(v.src(), v.src(), v.dst(), len);
}

// 16-bit squares: the mode bits are tested one at a time, auto scaling first. The automatic shift
// is chosen before any square is stored: the smallest that makes every square fit. Fixed factors
// shift right by at most 31 and left by at most 15; a null factor means no shift.
template <class V>
void sqr16(const Site& s, V v, int len, int mode, int* factor, bool factorChecked) {
  if (!v.check(s, len).require(!factorChecked || !(mode & KVO_AUTO_SCALE) || factor,
                               "scaleFactor==0")) {
    return;
  }
  kern::Scaling sc;
  sc.saturate = (mode & KVO_SATURATE) != 0;
  if (mode & KVO_AUTO_SCALE) {
    sc.saturate = false;  // the shifted squares fit
    sc.shift = kern::autoShift16<kern::Mpy>(v.src(), v.src(), len);
    if (factor) *factor = sc.shift;
  } else if ((mode & KVO_FIXED_SCALE) && factor) {
    sc.shift = *factor > 31 ? 31 : *factor < -15 ? -15 : *factor;
  }
  kern::arith16<kern::Mpy>(v.src(), v.src(), v.dst(), len, sc);
}

// ---- Sqrt ----

constexpr const char* kNegative = "Element of input vector is negative";

template <class V>
void sqrtReal(const Site& s, V v, int len) {
  if (v.check(s, len) && kern::sqrtReal(v.src(), v.dst(), len)) {
    s.report(KVO_StatusBadArgument, kNegative);
  }
}

template <class V>
void sqrtShort(const Site& s, V v, int len) {
  if (v.check(s, len) && kern::sqrtShort(v.src(), v.dst(), len)) {
    s.report(KVO_StatusBadArgument, kNegative);
  }
}

// ---- Thresh, InvThresh, Abs ----

template <class V, class T>
void thresh(const Site& s, V v, int len, T t, int relOp) {
  if (v.check(s, len)) kern::thresh(v.src(), v.dst(), len, t, relOp != KVO_LT);
}

template <class V, class R>
void threshComplex(const Site& s, V v, int len, R t, int relOp, const char* negativeMessage) {
  if (v.check(s, len).require(!(t < 0), negativeMessage)) {
    kern::threshComplex(v.src(), v.dst(), len, t, relOp != KVO_LT);
  }
}

template <class V, class R>
void invThresh(const Site& s, V v, int len, R t, const char* negativeMessage) {
  if (v.check(s, len).require(!(t < 0), negativeMessage) &&
      kern::invThresh(v.src(), v.dst(), len, t)) {
    s.report(KVO_StatusBadArgument, "zero element and zero thresh");
  }
}

// ---- statistics: the result is 0 after a failed check ----

Checks statChecks(const Site& s, const void* vec, int len) {
  return Checks(s).positive(len, "len<=0").notNull(vec, "vec==0");
}

// Sums in extended precision (double for float data, double-double for double data), divided by
// len and rounded once. The 16-bit mean divides the exact sum, truncating toward zero.
template <class T>
T mean(const Site& s, const T* vec, int len) {
  if (!statChecks(s, vec, len)) return 0;
  if constexpr (std::is_same_v<T, short>) {
    return static_cast<short>(kern::sumShort(vec, len) / len);
  } else {
    return static_cast<T>(kern::sum(vec, len) / len);
  }
}

// The mean of the squares: no mean is subtracted and no root taken.
template <class T>
T meanSquare(const Site& s, const T* vec, int len) {
  if (!statChecks(s, vec, len)) return 0;
  return static_cast<T>(kern::sumSquares(vec, len) / len);
}

template <class T, bool kMax>
T extreme(const Site& s, const T* vec, int len) {
  if (!statChecks(s, vec, len)) return 0;
  return kMax ? kern::max(vec, len) : kern::min(vec, len);
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosbSqr1(float* vec, int len) { sqr(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvosbSqr2(const float* src, float* dst, int len) {
  sqr(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvocbSqr1(CF* vec, int len) { sqr(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvocbSqr2(const CF* src, CF* dst, int len) {
  sqr(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvodbSqr1(double* vec, int len) { sqr(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvodbSqr2(const double* src, double* dst, int len) {
  sqr(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvozbSqr1(CD* vec, int len) { sqr(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvozbSqr2(const CD* src, CD* dst, int len) {
  sqr(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvowbSqr1(short* vec, int len, int scaleMode, int* scaleFactor) {
  sqr16(KVO_SITE, one(vec), len, scaleMode, scaleFactor, true);
}
KVO_API void KVO_CALL kvowbSqr2(const short* src, short* dst, int len, int scaleMode,
                                int* scaleFactor) {
  sqr16(KVO_SITE, two(src, dst), len, scaleMode, scaleFactor, true);
}
KVO_API void KVO_CALL kvovbSqr1(CS* vec, int len, int scaleMode, int* scaleFactor) {
  sqr16(KVO_SITE, one(vec), len, scaleMode, scaleFactor, true);
}
// Without the factor check: a null factor in auto mode only means that the shift is not reported.
KVO_API void KVO_CALL kvovbSqr2(const CS* src, CS* dst, int len, int scaleMode, int* scaleFactor) {
  sqr16(KVO_SITE, two(src, dst), len, scaleMode, scaleFactor, false);
}

KVO_API void KVO_CALL kvosbSqrt1(float* vec, int len) { sqrtReal(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvosbSqrt2(const float* src, float* dst, int len) {
  sqrtReal(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvodbSqrt1(double* vec, int len) { sqrtReal(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvodbSqrt2(const double* src, double* dst, int len) {
  sqrtReal(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvowbSqrt1(short* vec, int len) { sqrtShort(KVO_SITE, one(vec), len); }
KVO_API void KVO_CALL kvowbSqrt2(const short* src, short* dst, int len) {
  sqrtShort(KVO_SITE, two(src, dst), len);
}
KVO_API void KVO_CALL kvocbSqrt1(CF* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::sqrtComplex<CF>);
}
KVO_API void KVO_CALL kvocbSqrt2(const CF* src, CF* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::sqrtComplex<CF>);
}
KVO_API void KVO_CALL kvozbSqrt1(CD* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::sqrtComplex<CD>);
}
KVO_API void KVO_CALL kvozbSqrt2(const CD* src, CD* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::sqrtComplex<CD>);
}
KVO_API void KVO_CALL kvovbSqrt1(CS* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::sqrtComplex<CS>);
}
KVO_API void KVO_CALL kvovbSqrt2(const CS* src, CS* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::sqrtComplex<CS>);
}

KVO_API void KVO_CALL kvosbThresh1(float* vec, int len, float t, int relOp) {
  thresh(KVO_SITE, one(vec), len, t, relOp);
}
KVO_API void KVO_CALL kvosbThresh2(const float* src, float* dst, int len, float t, int relOp) {
  thresh(KVO_SITE, two(src, dst), len, t, relOp);
}
KVO_API void KVO_CALL kvodbThresh1(double* vec, int len, double t, int relOp) {
  thresh(KVO_SITE, one(vec), len, t, relOp);
}
KVO_API void KVO_CALL kvodbThresh2(const double* src, double* dst, int len, double t, int relOp) {
  thresh(KVO_SITE, two(src, dst), len, t, relOp);
}
KVO_API void KVO_CALL kvowbThresh1(short* vec, int len, short t, int relOp) {
  thresh(KVO_SITE, one(vec), len, t, relOp);
}
KVO_API void KVO_CALL kvowbThresh2(const short* src, short* dst, int len, short t, int relOp) {
  thresh(KVO_SITE, two(src, dst), len, t, relOp);
}
KVO_API void KVO_CALL kvocbThresh1(CF* vec, int len, float t, int relOp) {
  threshComplex(KVO_SITE, one(vec), len, t, relOp, "thresh<0.0f");
}
KVO_API void KVO_CALL kvocbThresh2(const CF* src, CF* dst, int len, float t, int relOp) {
  threshComplex(KVO_SITE, two(src, dst), len, t, relOp, "thresh<0.0f");
}
KVO_API void KVO_CALL kvozbThresh1(CD* vec, int len, double t, int relOp) {
  threshComplex(KVO_SITE, one(vec), len, t, relOp, "thresh<0.0");
}
KVO_API void KVO_CALL kvozbThresh2(const CD* src, CD* dst, int len, double t, int relOp) {
  threshComplex(KVO_SITE, two(src, dst), len, t, relOp, "thresh<0.0");
}
KVO_API void KVO_CALL kvovbThresh1(CS* vec, int len, short t, int relOp) {
  threshComplex(KVO_SITE, one(vec), len, t, relOp, "thresh<0");
}
KVO_API void KVO_CALL kvovbThresh2(const CS* src, CS* dst, int len, short t, int relOp) {
  threshComplex(KVO_SITE, two(src, dst), len, t, relOp, "thresh<0");
}

KVO_API void KVO_CALL kvosbInvThresh1(float* vec, int len, float t) {
  invThresh(KVO_SITE, one(vec), len, t, "thresh<0.0f");
}
KVO_API void KVO_CALL kvosbInvThresh2(const float* src, float* dst, int len, float t) {
  invThresh(KVO_SITE, two(src, dst), len, t, "thresh<0.0f");
}
KVO_API void KVO_CALL kvodbInvThresh1(double* vec, int len, double t) {
  invThresh(KVO_SITE, one(vec), len, t, "thresh<0.0");
}
KVO_API void KVO_CALL kvodbInvThresh2(const double* src, double* dst, int len, double t) {
  invThresh(KVO_SITE, two(src, dst), len, t, "thresh<0.0");
}
KVO_API void KVO_CALL kvocbInvThresh1(CF* vec, int len, float t) {
  invThresh(KVO_SITE, one(vec), len, t, "thresh<0.0f");
}
KVO_API void KVO_CALL kvocbInvThresh2(const CF* src, CF* dst, int len, float t) {
  invThresh(KVO_SITE, two(src, dst), len, t, "thresh<0.0f");
}
// The double complex pair words its message differently in its two forms.
KVO_API void KVO_CALL kvozbInvThresh1(CD* vec, int len, double t) {
  invThresh(KVO_SITE, one(vec), len, t, "thresh<0.0");
}
KVO_API void KVO_CALL kvozbInvThresh2(const CD* src, CD* dst, int len, double t) {
  invThresh(KVO_SITE, two(src, dst), len, t, "thresh<0.0f");
}

KVO_API void KVO_CALL kvosbAbs1(float* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::abs<float>);
}
KVO_API void KVO_CALL kvosbAbs2(const float* src, float* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::abs<float>);
}
KVO_API void KVO_CALL kvodbAbs1(double* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::abs<double>);
}
KVO_API void KVO_CALL kvodbAbs2(const double* src, double* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::abs<double>);
}
KVO_API void KVO_CALL kvowbAbs1(short* vec, int len) {
  checked(KVO_SITE, one(vec), len, kern::abs<short>);
}
KVO_API void KVO_CALL kvowbAbs2(const short* src, short* dst, int len) {
  checked(KVO_SITE, two(src, dst), len, kern::abs<short>);
}

KVO_API float KVO_CALL kvosMean(const float* vec, int len) { return mean(KVO_SITE, vec, len); }
KVO_API double KVO_CALL kvodMean(const double* vec, int len) { return mean(KVO_SITE, vec, len); }
KVO_API short KVO_CALL kvowMean(const short* vec, int len) { return mean(KVO_SITE, vec, len); }

KVO_API float KVO_CALL kvosStdDev(const float* vec, int len) {
  return meanSquare(KVO_SITE, vec, len);
}
KVO_API double KVO_CALL kvodStdDev(const double* vec, int len) {
  return meanSquare(KVO_SITE, vec, len);
}
// The exact sum of squares over len (at most 2^30) stored by the shared 16-bit rules.
KVO_API short KVO_CALL kvowStdDev(const short* vec, int len, int scaleMode, int* scaleFactor) {
  if (!statChecks(KVO_SITE, vec, len)
           .require(scaleMode != KVO_AUTO_SCALE || scaleFactor, "scaleFactor==0")) {
    return 0;
  }
  const auto quotient = static_cast<std::int32_t>(kern::sumSquaresShort(vec, len) / len);
  return kvo::kvoScaleIntToShort(quotient, scaleMode, scaleFactor);
}

KVO_API float KVO_CALL kvosMax(const float* vec, int len) {
  return extreme<float, true>(KVO_SITE, vec, len);
}
KVO_API float KVO_CALL kvosMin(const float* vec, int len) {
  return extreme<float, false>(KVO_SITE, vec, len);
}
KVO_API double KVO_CALL kvodMax(const double* vec, int len) {
  return extreme<double, true>(KVO_SITE, vec, len);
}
KVO_API double KVO_CALL kvodMin(const double* vec, int len) {
  return extreme<double, false>(KVO_SITE, vec, len);
}
KVO_API short KVO_CALL kvowMax(const short* vec, int len) {
  return extreme<short, true>(KVO_SITE, vec, len);
}
KVO_API short KVO_CALL kvowMin(const short* vec, int len) {
  return extreme<short, false>(KVO_SITE, vec, len);
}

}  // extern "C"
