// Low-level IIR filter, float and double types (module kvoiirl): the caller's taps normalised in
// place, direct form and biquad cascades over caller-held delay lines.
#include <type_traits>

#include "filter/iirl.h"
#include "kernels/complex.h"
#include "kernels/filter/iir.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoiirl";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
namespace iir = kvo::iir;

using CF = ComplexFloat;
using CD = ComplexDouble;

template <class T>
bool isZero(const T& v) {
  if constexpr (kern::kIsComplex<T>) {
    return v.re == 0 && v.im == 0;
  } else {
    return v == 0;
  }
}

// Complex taps are multiplied by the reciprocal of their divisor, formed like the library's
// complex division (extended precision, rounded once to the element type); real taps are divided
// in double precision and rounded once.
template <class T>
T reciprocal(const T& a) {
  if constexpr (kern::kIsComplex<T>) {
    using R = kern::RealOf<T>;
    const long double re = a.re, im = a.im, r = 1.0L / (re * re + im * im);
    return {R(re * r), R(-im * r)};
  } else {
    return a;  // unused: real values are divided directly
  }
}
template <class T>
T times(const T& v, const T& recip) {
  return kern::cmul(v, recip);
}

template <class T>
void init(const Site& s, int iirType, T* taps, int order, IirTapState* st) {
  if (!iir::initChecks(s, st, taps, iirType, order, false, false)) return;
  const T a0 = taps[order + 1];
  if (isZero(a0)) {
    s.report(KVO_StatusBadArgument, "taps[order+1] equals zero");
    return;
  }
  *st = IirTapState{order, taps, iirType, 0};
  if constexpr (kern::kIsComplex<T>) {
    const T r = reciprocal(a0);
    taps[0] = times(taps[0], r);
    for (int i = 1; i <= order; ++i) {
      taps[i] = times(taps[i], r);
      taps[order + i] = times(taps[order + 1 + i], r);
    }
  } else {
    const double r = 1.0 / double(a0);
    taps[0] = T(taps[0] * r);
    for (int i = 1; i <= order; ++i) {
      taps[i] = T(taps[i] * r);
      taps[order + i] = T(taps[order + 1 + i] * r);
    }
  }
}

// Section j's six values are all read before its four are written (position 1+4j onwards, never
// past 6j+5), so the rewrite can run front to back in the caller's array.
template <class T>
void initBq(const Site& s, int iirType, T* taps, int numQuads, IirTapState* st) {
  if (!iir::initChecks(s, st, taps, iirType, numQuads, true, false)) return;
  *st = IirTapState{2 * numQuads, taps, iirType, 1};
  std::conditional_t<kern::kIsComplex<T>, T, double> g{};
  if constexpr (kern::kIsComplex<T>) {
    g.re = 1;
  } else {
    g = 1;
  }
  for (int j = 0; j < numQuads; ++j) {
    const T* q = taps + 6 * j;
    const T b0 = q[0], b1 = q[1], b2 = q[2], a0 = q[3], a1 = q[4], a2 = q[5];
    if (isZero(b0) || isZero(a0)) {
      s.report(KVO_StatusBadArgument, "taps[?] equals zero");
      return;
    }
    T* w = taps + 1 + 4 * j;
    if constexpr (kern::kIsComplex<T>) {
      const T ra = reciprocal(a0), rb = reciprocal(b0);
      g = times(g, times(b0, ra));
      w[0] = times(a1, ra), w[1] = times(a2, ra), w[2] = times(b1, rb), w[3] = times(b2, rb);
    } else {
      g = g * b0 / a0;
      w[0] = T(double(a1) / a0), w[1] = T(double(a2) / a0);
      w[2] = T(double(b1) / b0), w[3] = T(double(b2) / b0);
    }
  }
  taps[0] = T(g);
}

template <class D>
void initDlyl(const Site& s, const IirTapState* st, D* dlyl, IirDlyState* ds) {
  if (!iir::dlylChecks(s, st, dlyl, ds)) return;
  ds->dlyl = dlyl;
  for (int i = 0; i < st->order; ++i) dlyl[i] = D{};
}

template <class C, class X, class D>
void run(const IirTapState* st, IirDlyState* ds, const X* in, D* out, int n) {
  const C* c = static_cast<const C*>(st->taps);
  D* d = static_cast<D*>(ds->dlyl);
  if (st->isBq) {
    kern::iirBiquad(c, st->order / 2, d, in, out, n);
  } else {
    kern::iirDirect(c, st->order, d, in, out, n);
  }
}

template <class C, class X, class D>
D one(const Site& s, const IirTapState* st, IirDlyState* ds, X x) {
  D y{};
  if (iir::filterChecks(s, st, ds, false, nullptr, nullptr, 1)) run<C>(st, ds, &x, &y, 1);
  return y;
}

template <class C, class X, class D>
void block(const Site& s, const IirTapState* st, IirDlyState* ds, const X* in, D* out, int n) {
  if (iir::filterChecks(s, st, ds, true, in, out, n) && n > 0) run<C>(st, ds, in, out, n);
}

}  // namespace

#define KVO_IIRL_INIT(P, T)                                                                        \
  KVO_API void KVO_CALL kvo##P##IirlInit(int iirType, T* taps, int order, IirTapState* tapStPtr) { \
    init(KVO_SITE, iirType, taps, order, tapStPtr);                                                \
  }                                                                                                \
  KVO_API void KVO_CALL kvo##P##IirlInitBq(int iirType, T* taps, int numQuads,                     \
                                           IirTapState* tapStPtr) {                                \
    initBq(KVO_SITE, iirType, taps, numQuads, tapStPtr);                                           \
  }                                                                                                \
  KVO_API void KVO_CALL kvo##P##IirlInitDlyl(const IirTapState* tapStPtr, T* dlyl,                 \
                                             IirDlyState* dlyStPtr) {                              \
    initDlyl(KVO_SITE, tapStPtr, dlyl, dlyStPtr);                                                  \
  }
KVO_IIRL_INIT(s, float)
KVO_IIRL_INIT(c, CF)
KVO_IIRL_INIT(d, double)
KVO_IIRL_INIT(z, CD)

// P: name letters; C taps, X samples, D delay line and output.
#define KVO_IIRL_FILTER(P, C, X, D)                                                             \
  KVO_API D KVO_CALL kvo##P##Iirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr, X samp) { \
    return one<C, X, D>(KVO_SITE, tapStPtr, dlyStPtr, samp);                                    \
  }                                                                                             \
  KVO_API void KVO_CALL kvo##P##bIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,       \
                                      const X* inSamps, D* outSamps, int numIters) {            \
    block<C, X, D>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, outSamps, numIters);                  \
  }
KVO_IIRL_FILTER(s, float, float, float)
KVO_IIRL_FILTER(c, CF, CF, CF)
KVO_IIRL_FILTER(cs, float, CF, CF)
KVO_IIRL_FILTER(sc, CF, float, CF)
KVO_IIRL_FILTER(d, double, double, double)
KVO_IIRL_FILTER(z, CD, CD, CD)
KVO_IIRL_FILTER(zd, double, CD, CD)
KVO_IIRL_FILTER(dz, CD, double, CD)
