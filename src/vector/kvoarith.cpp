// Floating-point block arithmetic and complex scalar operations (module kvoarith).
#include <cmath>

#include "frame/check.h"
#include "kernels/vector/arith.h"
#include "kvo.h"
#include "vector/blockforms.h"

namespace {

constexpr const char* kModule = "kvoarith";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
namespace forms = kvo::forms;

// Form 1: dst = dst op val.
template <class Op, class T>
void form1(const Site& s, T val, T* dst, int n) {
  if (Checks(s).positive(n).notNull(dst, "dst==0")) kern::binaryScalar<Op>(dst, val, dst, n);
}

// Form 2: dst = dst op src; the source argument's name differs between the operations.
template <class Op, class T>
void form2(const Site& s, const T* src, T* dst, int n, const char* srcMessage = "src==0") {
  if (Checks(s).positive(n).notNull(src, srcMessage).notNull(dst, "dst==0")) {
    kern::binary<Op>(dst, src, dst, n);
  }
}

// Form 3: dst = a op b.
template <class Op, class T>
void form3(const Site& s, const T* a, const T* b, T* dst, int n, const char* aMessage = "srcA==0",
           const char* bMessage = "srcB==0") {
  if (Checks(s).positive(n).notNull(a, aMessage).notNull(b, bMessage).notNull(dst, "dst==0")) {
    kern::binary<Op>(a, b, dst, n);
  }
}

// a / b = ((a.re*b.re + a.im*b.im) * r, (a.im*b.re - a.re*b.im) * r), r = 1 / |b|^2, in extended
// precision and rounded once; no scaling guards |b|^2 against overflow.
template <class T>
T divide(const Site& s, T a, T b) {
  if (b.re == 0 && b.im == 0) {
    s.report(KVO_StatusBadArgument, "(b.re==0.0)&&(b.im==0.0)");
    return {0, 0};
  }
  using R = kern::RealOf<T>;
  const long double br = b.re, bi = b.im, ar = a.re, ai = a.im;
  const long double r = 1.0L / (br * br + bi * bi);
  return {R((ar * br + ai * bi) * r), R((ai * br - ar * bi) * r)};
}

}  // namespace

using kern::Add;
using kern::FlipSign;
using kern::Mpy;
using kern::Sub;
using kern::ZeroMinus;
using CF = ComplexFloat;
using CD = ComplexDouble;

extern "C" {

KVO_API void KVO_CALL kvosbZero(float* dst, int n) { forms::zero(KVO_SITE, dst, n); }
KVO_API void KVO_CALL kvocbZero(CF* dst, int n) { forms::zero(KVO_SITE, dst, n); }
KVO_API void KVO_CALL kvodbZero(double* dst, int n) { forms::zero(KVO_SITE, dst, n); }
KVO_API void KVO_CALL kvozbZero(CD* dst, int n) { forms::zero(KVO_SITE, dst, n); }

KVO_API void KVO_CALL kvosbSet(float val, float* dst, int n) { forms::set(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvocbSet(float re, float im, CF* dst, int n) {
  forms::set(KVO_SITE, CF{re, im}, dst, n);
}
KVO_API void KVO_CALL kvodbSet(double val, double* dst, int n) {
  forms::set(KVO_SITE, val, dst, n);
}
KVO_API void KVO_CALL kvozbSet(double re, double im, CD* dst, int n) {
  forms::set(KVO_SITE, CD{re, im}, dst, n);
}

KVO_API void KVO_CALL kvosbCopy(const float* src, float* dst, int n) {
  forms::copy(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvocbCopy(const CF* src, CF* dst, int n) {
  forms::copy(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvodbCopy(const double* src, double* dst, int n) {
  forms::copy(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvozbCopy(const CD* src, CD* dst, int n) {
  forms::copy(KVO_SITE, src, dst, n);
}

KVO_API void KVO_CALL kvosbAdd1(float val, float* dst, int n) { form1<Add>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvocbAdd1(CF val, CF* dst, int n) { form1<Add>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvodbAdd1(double val, double* dst, int n) {
  form1<Add>(KVO_SITE, val, dst, n);
}
KVO_API void KVO_CALL kvozbAdd1(CD val, CD* dst, int n) { form1<Add>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvosbAdd2(const float* src, float* dst, int n) {
  form2<Add>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvocbAdd2(const CF* src, CF* dst, int n) {
  form2<Add>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvodbAdd2(const double* src, double* dst, int n) {
  form2<Add>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvozbAdd2(const CD* src, CD* dst, int n) {
  form2<Add>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvosbAdd3(const float* srcA, const float* srcB, float* dst, int n) {
  form3<Add>(KVO_SITE, srcA, srcB, dst, n);
}
KVO_API void KVO_CALL kvocbAdd3(const CF* srcA, const CF* srcB, CF* dst, int n) {
  form3<Add>(KVO_SITE, srcA, srcB, dst, n);
}
KVO_API void KVO_CALL kvodbAdd3(const double* srcA, const double* srcB, double* dst, int n) {
  form3<Add>(KVO_SITE, srcA, srcB, dst, n);
}
KVO_API void KVO_CALL kvozbAdd3(const CD* srcA, const CD* srcB, CD* dst, int n) {
  form3<Add>(KVO_SITE, srcA, srcB, dst, n);
}

KVO_API void KVO_CALL kvosbSub1(float val, float* dst, int n) { form1<Sub>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvocbSub1(CF val, CF* dst, int n) { form1<Sub>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvodbSub1(double val, double* dst, int n) {
  form1<Sub>(KVO_SITE, val, dst, n);
}
KVO_API void KVO_CALL kvozbSub1(CD val, CD* dst, int n) { form1<Sub>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvosbSub2(const float* val, float* dst, int n) {
  form2<Sub>(KVO_SITE, val, dst, n, "val==0");
}
KVO_API void KVO_CALL kvocbSub2(const CF* val, CF* dst, int n) {
  form2<Sub>(KVO_SITE, val, dst, n, "val==0");
}
KVO_API void KVO_CALL kvodbSub2(const double* val, double* dst, int n) {
  form2<Sub>(KVO_SITE, val, dst, n, "val==0");
}
KVO_API void KVO_CALL kvozbSub2(const CD* val, CD* dst, int n) {
  form2<Sub>(KVO_SITE, val, dst, n, "val==0");
}
KVO_API void KVO_CALL kvosbSub3(const float* src, const float* val, float* dst, int n) {
  form3<Sub>(KVO_SITE, src, val, dst, n, "src==0", "val==0");
}
KVO_API void KVO_CALL kvocbSub3(const CF* src, const CF* val, CF* dst, int n) {
  form3<Sub>(KVO_SITE, src, val, dst, n, "src==0", "val==0");
}
KVO_API void KVO_CALL kvodbSub3(const double* src, const double* val, double* dst, int n) {
  form3<Sub>(KVO_SITE, src, val, dst, n, "src==0", "val==0");
}
KVO_API void KVO_CALL kvozbSub3(const CD* src, const CD* val, CD* dst, int n) {
  form3<Sub>(KVO_SITE, src, val, dst, n, "src==0", "val==0");
}

KVO_API void KVO_CALL kvosbMpy1(float val, float* dst, int n) { form1<Mpy>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvocbMpy1(CF val, CF* dst, int n) { form1<Mpy>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvodbMpy1(double val, double* dst, int n) {
  form1<Mpy>(KVO_SITE, val, dst, n);
}
KVO_API void KVO_CALL kvozbMpy1(CD val, CD* dst, int n) { form1<Mpy>(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvosbMpy2(const float* src, float* dst, int n) {
  form2<Mpy>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvocbMpy2(const CF* src, CF* dst, int n) {
  form2<Mpy>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvodbMpy2(const double* src, double* dst, int n) {
  form2<Mpy>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvozbMpy2(const CD* src, CD* dst, int n) {
  form2<Mpy>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvosbMpy3(const float* srcA, const float* srcB, float* dst, int n) {
  form3<Mpy>(KVO_SITE, srcA, srcB, dst, n);
}
KVO_API void KVO_CALL kvocbMpy3(const CF* srcA, const CF* srcB, CF* dst, int n) {
  form3<Mpy>(KVO_SITE, srcA, srcB, dst, n);
}
KVO_API void KVO_CALL kvodbMpy3(const double* srcA, const double* srcB, double* dst, int n) {
  form3<Mpy>(KVO_SITE, srcA, srcB, dst, n);
}
KVO_API void KVO_CALL kvozbMpy3(const CD* srcA, const CD* srcB, CD* dst, int n) {
  form3<Mpy>(KVO_SITE, srcA, srcB, dst, n);
}

KVO_API void KVO_CALL kvocbConj1(CF* vec, int n) { forms::conj1<FlipSign>(KVO_SITE, vec, n); }
KVO_API void KVO_CALL kvozbConj1(CD* vec, int n) { forms::conj1<FlipSign>(KVO_SITE, vec, n); }
KVO_API void KVO_CALL kvocbConj2(const CF* src, CF* dst, int n) {
  forms::conj2<FlipSign>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvozbConj2(const CD* src, CD* dst, int n) {
  forms::conj2<FlipSign>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvocbConjFlip2(const CF* src, CF* dst, int n) {
  forms::conjFlip2<FlipSign>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvozbConjFlip2(const CD* src, CD* dst, int n) {
  forms::conjFlip2<FlipSign>(KVO_SITE, src, dst, n);
}
// The float Extend forms flip the sign bit; the double ones compute 0 - im, keeping +0.
KVO_API void KVO_CALL kvocbConjExtend1(CF* vec, int n) {
  forms::conjExtend1<FlipSign>(KVO_SITE, vec, n);
}
KVO_API void KVO_CALL kvozbConjExtend1(CD* vec, int n) {
  forms::conjExtend1<ZeroMinus>(KVO_SITE, vec, n);
}
KVO_API void KVO_CALL kvocbConjExtend2(const CF* src, CF* dst, int n) {
  forms::conjExtend2<FlipSign>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvozbConjExtend2(const CD* src, CD* dst, int n) {
  forms::conjExtend2<ZeroMinus>(KVO_SITE, src, dst, n);
}

KVO_API CF KVO_CALL kvocAdd(CF a, CF b) { return Add::apply(a, b); }
KVO_API CD KVO_CALL kvozAdd(CD a, CD b) { return Add::apply(a, b); }
KVO_API CF KVO_CALL kvocSub(CF a, CF b) { return Sub::apply(a, b); }
KVO_API CD KVO_CALL kvozSub(CD a, CD b) { return Sub::apply(a, b); }
KVO_API CF KVO_CALL kvocMpy(CF a, CF b) { return Mpy::apply(a, b); }
KVO_API CD KVO_CALL kvozMpy(CD a, CD b) { return Mpy::apply(a, b); }
KVO_API CF KVO_CALL kvocDiv(CF a, CF b) { return divide(KVO_SITE, a, b); }
KVO_API CD KVO_CALL kvozDiv(CD a, CD b) { return divide(KVO_SITE, a, b); }
KVO_API CF KVO_CALL kvocConj(CF a) { return kern::conjugate<ZeroMinus>(a); }
KVO_API CD KVO_CALL kvozConj(CD a) { return kern::conjugate<ZeroMinus>(a); }
KVO_API CF KVO_CALL kvocSet(float re, float im) { return {re, im}; }
KVO_API CD KVO_CALL kvozSet(double re, double im) { return {re, im}; }

}  // extern "C"
