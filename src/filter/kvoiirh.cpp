// High-level IIR filter, float and double types, and kvoIirFree (module kvoiirh).
#include "filter/iirstate.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoiirh";

using kvo::Site;
namespace iir = kvo::iir;

using CF = ComplexFloat;
using CD = ComplexDouble;

template <class T, class D>
void init(const Site& s, int iirType, const T* tapVals, int order, IirState* st,
          iir::LowInit<T, D> low, bool floatRoom) {
  const std::size_t n = order > 0 ? std::size_t(order) : 0;
  // The float member keeps room for 3*order + 2 values, the others for the 2*order + 2 taps.
  const std::size_t room = floatRoom ? 3 * n + 2 : 2 * n + 2;
  iir::init(s, iirType, tapVals, order, st, false, room, 2 * n + 2, n, low);
}

template <class T, class D>
void initBq(const Site& s, int iirType, const T* tapVals, int numQuads, IirState* st,
            iir::LowInit<T, D> low) {
  const std::size_t q = numQuads > 0 ? std::size_t(numQuads) : 0;
  iir::init(s, iirType, tapVals, numQuads, st, true, 6 * q, 6 * q, 2 * q, low);
}

template <class X, class D>
D one(const Site& s, IirState* st, X x, D(KVO_CALL* low)(const IirTapState*, IirDlyState*, X)) {
  if (!iir::stateChecks(s, st, false, nullptr, nullptr, 0)) return D{};
  const IirTapState ts = iir::tapsOf(st);
  return low(&ts, &st->dlyl, x);
}

template <class X, class D>
int block(const Site& s, IirState* st, const X* in, D* out, int n,
          void(KVO_CALL* low)(const IirTapState*, IirDlyState*, const X*, D*, int)) {
  if (!iir::stateChecks(s, st, false, nullptr, nullptr, 0)) return kvoGetErrStatus();
  const IirTapState ts = iir::tapsOf(st);
  return iir::throughLow(s, [&] { low(&ts, &st->dlyl, in, out, n); });
}

}  // namespace

// P: name letters; T taps (with L its low-level letter), X samples, D delay line and output (with
// its low-level letter E), F whether the taps copy keeps the float member's room.
#define KVO_IIR_MEMBER(P, T, L, X, D, E, F)                                            \
  KVO_API void KVO_CALL kvo##P##IirInit(int iirType, const T* tapVals, int order,      \
                                        IirState* statePtr) {                          \
    init<T, D>(KVO_SITE, iirType, tapVals, order, statePtr,                            \
               {kvo##L##IirlInit, kvo##E##IirlInitDlyl}, F);                           \
  }                                                                                    \
  KVO_API void KVO_CALL kvo##P##IirInitBq(int iirType, const T* tapVals, int numQuads, \
                                          IirState* statePtr) {                        \
    initBq<T, D>(KVO_SITE, iirType, tapVals, numQuads, statePtr,                       \
                 {kvo##L##IirlInitBq, kvo##E##IirlInitDlyl});                          \
  }                                                                                    \
  KVO_API D KVO_CALL kvo##P##Iir(IirState* statePtr, X samp) {                         \
    return one(KVO_SITE, statePtr, samp, kvo##P##Iirl);                                \
  }                                                                                    \
  KVO_API int KVO_CALL kvo##P##bIir(IirState* statePtr, const X* inSamps, D* outSamps, \
                                    int numIters) {                                    \
    return block(KVO_SITE, statePtr, inSamps, outSamps, numIters, kvo##P##bIirl);      \
  }
KVO_IIR_MEMBER(s, float, s, float, float, s, true)
KVO_IIR_MEMBER(c, CF, c, CF, CF, c, false)
KVO_IIR_MEMBER(d, double, d, double, double, d, false)
KVO_IIR_MEMBER(z, CD, z, CD, CD, z, false)
KVO_IIR_MEMBER(sc, CF, c, float, CF, c, false)
KVO_IIR_MEMBER(cs, float, s, CF, CF, c, false)
KVO_IIR_MEMBER(dz, CD, z, double, CD, z, false)
KVO_IIR_MEMBER(zd, double, d, CD, CD, z, false)

KVO_API void KVO_CALL kvoIirFree(IirState* statePtr) { iir::freeState(KVO_SITE, statePtr); }
