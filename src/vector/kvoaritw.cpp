// 16-bit block arithmetic with scale modes, and ComplexShort scalar operations (module kvoaritw).
#include "frame/check.h"
#include "kernels/vector/arith.h"
#include "kernels/vector/arithw.h"
#include "kvo.h"
#include "vector/blockforms.h"

namespace {

constexpr const char* kModule = "kvoaritw";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
namespace forms = kvo::forms;
using CS = ComplexShort;

// Factors are taken modulo 32, as shift counts of 32-bit registers are: a positive factor shifts
// right by f mod 32, a negative one left by -f mod 32 (so -32 and 32 mean no shift at all).
int modulo32(int f) {
  if (f >= 0) return f & 31;
  return -static_cast<int>((0u - static_cast<unsigned>(f)) & 31u);
}

// Stores the exact results of a op b under scaleMode. Mode 4 picks the smallest shift that makes
// every result fit; storing r >> s for all elements is what the in-order rule (store unshifted
// until the first overflow, then shift the stored values in place) leaves behind, and finding s
// first keeps outputs that are also inputs intact. Modes other than 0, 1, 3 and 4 act as mode 2.
template <class Op, class T, class B>
void scaled(const Site& site, const T* a, B b, T* d, int n, int scaleMode, int* scaleFactor) {
  kern::Scaling sc;
  switch (scaleMode) {
    case KVO_NO_SCALE:
      break;
    case KVO_SATURATE:
      sc.saturate = true;
      break;
    case KVO_AUTO_SCALE:
      if (!scaleFactor) {
        site.report(KVO_StatusBadArgument, "scalefactor==0");
        return;
      }
      sc.shift = *scaleFactor = kern::autoShift16<Op>(a, b, n);
      break;
    case KVO_FIXED_SCALE | KVO_SATURATE:
      sc.saturate = true;
      sc.shift = modulo32(scaleFactor ? *scaleFactor : 0);
      break;
    default:
      sc.shift = modulo32(scaleFactor ? *scaleFactor : 0);
      break;
  }
  kern::arith16<Op>(a, b, d, n, sc);
}

// Form 1: dst = dst op val.
template <class Op, class T>
void form1(const Site& s, T val, T* dst, int n, int mode, int* factor) {
  if (Checks(s).positive(n).notNull(dst, "dst==0")) scaled<Op>(s, dst, val, dst, n, mode, factor);
}

// Form 2: dst = dst op src; the source argument's name differs between the operations.
template <class Op, class T>
void form2(const Site& s, const T* src, T* dst, int n, int mode, int* factor,
           const char* srcMessage = "src==0") {
  if (Checks(s).positive(n).notNull(src, srcMessage).notNull(dst, "dst==0")) {
    scaled<Op>(s, dst, src, dst, n, mode, factor);
  }
}

// Form 3: dst = a op b.
template <class Op, class T>
void form3(const Site& s, const T* a, const T* b, T* dst, int n, int mode, int* factor,
           const char* aMessage = "srcA==0", const char* bMessage = "srcB==0") {
  if (Checks(s).positive(n).notNull(a, aMessage).notNull(b, bMessage).notNull(dst, "dst==0")) {
    scaled<Op>(s, a, b, dst, n, mode, factor);
  }
}

// The negated imaginary part wraps: -(-32768) stays -32768.
using kern::FlipSign;

// The scalar operations run the block operation on one element; its failure is passed up as a
// back-trace report, and the result is what was stored by then (0 when the block refused).
using BlockOp = void(KVO_CALL*)(const CS*, const CS*, CS*, int, int, int*);
CS viaBlock(const Site& s, BlockOp block, CS a, CS b, int mode, int* factor) {
  kvoSetErrStatus(KVO_StatusOk);
  CS r{0, 0};
  block(&a, &b, &r, 1, mode, factor);
  if (kvoGetErrStatus() < 0) s.report(KVO_StatusBacktrace, nullptr);
  return r;
}

// Truncated toward zero and saturated.
short quotientPart(double x) {
  return x >= 32767.0 ? 32767 : x <= -32768.0 ? -32768 : static_cast<short>(x);
}

CS divide(const Site& s, CS a, CS b) {
  if (b.re == 0 && b.im == 0) {
    s.report(KVO_StatusBadArgument, "(b.re==0)&&(b.im==0)");
    return {0, 0};
  }
  const double ar = a.re, ai = a.im, br = b.re, bi = b.im;
  const double r = 1.0 / (br * br + bi * bi);
  return {quotientPart((ar * br + ai * bi) * r), quotientPart((ai * br - ar * bi) * r)};
}

}  // namespace

using kern::Add;
using kern::Mpy;
using kern::Sub;

extern "C" {

KVO_API void KVO_CALL kvowbZero(short* dst, int n) { forms::zero(KVO_SITE, dst, n); }
KVO_API void KVO_CALL kvovbZero(CS* dst, int n) { forms::zero(KVO_SITE, dst, n); }
KVO_API void KVO_CALL kvowbSet(short val, short* dst, int n) { forms::set(KVO_SITE, val, dst, n); }
KVO_API void KVO_CALL kvovbSet(short re, short im, CS* dst, int n) {
  forms::set(KVO_SITE, CS{re, im}, dst, n);
}
KVO_API void KVO_CALL kvowbCopy(const short* src, short* dst, int n) {
  forms::copy(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvovbCopy(const CS* src, CS* dst, int n) {
  forms::copy(KVO_SITE, src, dst, n);
}

KVO_API void KVO_CALL kvowbAdd1(short val, short* dst, int n, int scaleMode, int* scaleFactor) {
  form1<Add>(KVO_SITE, val, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbAdd1(CS val, CS* dst, int n, int scaleMode, int* scaleFactor) {
  form1<Add>(KVO_SITE, val, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbAdd2(const short* src, short* dst, int n, int scaleMode,
                                int* scaleFactor) {
  form2<Add>(KVO_SITE, src, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbAdd2(const CS* src, CS* dst, int n, int scaleMode, int* scaleFactor) {
  form2<Add>(KVO_SITE, src, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbAdd3(const short* srcA, const short* srcB, short* dst, int n,
                                int scaleMode, int* scaleFactor) {
  form3<Add>(KVO_SITE, srcA, srcB, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbAdd3(const CS* srcA, const CS* srcB, CS* dst, int n, int scaleMode,
                                int* scaleFactor) {
  form3<Add>(KVO_SITE, srcA, srcB, dst, n, scaleMode, scaleFactor);
}

KVO_API void KVO_CALL kvowbSub1(short val, short* dst, int n, int scaleMode, int* scaleFactor) {
  form1<Sub>(KVO_SITE, val, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbSub1(CS val, CS* dst, int n, int scaleMode, int* scaleFactor) {
  form1<Sub>(KVO_SITE, val, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbSub2(const short* val, short* dst, int n, int scaleMode,
                                int* scaleFactor) {
  form2<Sub>(KVO_SITE, val, dst, n, scaleMode, scaleFactor, "val==0");
}
KVO_API void KVO_CALL kvovbSub2(const CS* val, CS* dst, int n, int scaleMode, int* scaleFactor) {
  form2<Sub>(KVO_SITE, val, dst, n, scaleMode, scaleFactor, "val==0");
}
KVO_API void KVO_CALL kvowbSub3(const short* src, const short* val, short* dst, int n,
                                int scaleMode, int* scaleFactor) {
  form3<Sub>(KVO_SITE, src, val, dst, n, scaleMode, scaleFactor, "src==0", "val==0");
}
KVO_API void KVO_CALL kvovbSub3(const CS* src, const CS* val, CS* dst, int n, int scaleMode,
                                int* scaleFactor) {
  form3<Sub>(KVO_SITE, src, val, dst, n, scaleMode, scaleFactor, "src==0", "val==0");
}

KVO_API void KVO_CALL kvowbMpy1(short val, short* dst, int n, int scaleMode, int* scaleFactor) {
  form1<Mpy>(KVO_SITE, val, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbMpy1(CS val, CS* dst, int n, int scaleMode, int* scaleFactor) {
  form1<Mpy>(KVO_SITE, val, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbMpy2(const short* src, short* dst, int n, int scaleMode,
                                int* scaleFactor) {
  form2<Mpy>(KVO_SITE, src, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbMpy2(const CS* src, CS* dst, int n, int scaleMode, int* scaleFactor) {
  form2<Mpy>(KVO_SITE, src, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbMpy3(const short* srcA, const short* srcB, short* dst, int n,
                                int scaleMode, int* scaleFactor) {
  form3<Mpy>(KVO_SITE, srcA, srcB, dst, n, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvovbMpy3(const CS* srcA, const CS* srcB, CS* dst, int n, int scaleMode,
                                int* scaleFactor) {
  form3<Mpy>(KVO_SITE, srcA, srcB, dst, n, scaleMode, scaleFactor);
}

KVO_API void KVO_CALL kvovbConj1(CS* vec, int n) { forms::conj1<FlipSign>(KVO_SITE, vec, n); }
KVO_API void KVO_CALL kvovbConj2(const CS* src, CS* dst, int n) {
  forms::conj2<FlipSign>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvovbConjFlip2(const CS* src, CS* dst, int n) {
  forms::conjFlip2<FlipSign>(KVO_SITE, src, dst, n);
}
KVO_API void KVO_CALL kvovbConjExtend1(CS* vec, int n) {
  forms::conjExtend1<FlipSign>(KVO_SITE, vec, n);
}
KVO_API void KVO_CALL kvovbConjExtend2(const CS* src, CS* dst, int n) {
  forms::conjExtend2<FlipSign>(KVO_SITE, src, dst, n);
}

KVO_API CS KVO_CALL kvovAdd(CS a, CS b, int scaleMode, int* scaleFactor) {
  return viaBlock(KVO_SITE, kvovbAdd3, a, b, scaleMode, scaleFactor);
}
KVO_API CS KVO_CALL kvovSub(CS a, CS b, int scaleMode, int* scaleFactor) {
  return viaBlock(KVO_SITE, kvovbSub3, a, b, scaleMode, scaleFactor);
}
KVO_API CS KVO_CALL kvovMpy(CS a, CS b, int scaleMode, int* scaleFactor) {
  return viaBlock(KVO_SITE, kvovbMpy3, a, b, scaleMode, scaleFactor);
}
KVO_API CS KVO_CALL kvovDiv(CS a, CS b) { return divide(KVO_SITE, a, b); }
KVO_API CS KVO_CALL kvovConj(CS a) { return kern::conjugate<FlipSign>(a); }
KVO_API CS KVO_CALL kvovSet(short re, short im) { return {re, im}; }

}  // extern "C"
