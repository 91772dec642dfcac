// Low-level FIR filter of the float and double types (module kvofirl): caller-held taps and
// delay-line arrays, single-rate and multi-rate.
//
// The float and double filter form keeps the taps in natural order and the delay line newest
// first; the caller's form of the delay line is oldest first, so Set and Get reverse it.
#include <cstring>

#include "filter/firlrecord.h"
#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvofirl";

using kvo::Checks;
using kvo::Site;
namespace fir = kvo::kern::fir;
using CF = ComplexFloat;
using CD = ComplexDouble;

constexpr const char* kNullBuffer = "Null buffer pointer";
constexpr const char* kNotFilterMode = "Not filter mode";

template <class T>
void reverse(T* a, int n) {
  for (int i = 0, j = n - 1; i < j; ++i, --j) {
    const T t = a[i];
    a[i] = a[j];
    a[j] = t;
  }
}

fir::Rate rateOf(const FirTapState* t) {
  return t->isMultiRate ? fir::Rate{t->upFactor, t->upPhase, t->downFactor, t->downPhase}
                        : fir::Rate{};
}
// Past inputs exchanged by Set and Get: a single-rate line has a spare element.
int historyCount(const FirTapState* t, const FirDlyState* d) {
  return t->isMultiRate ? d->dlylLen : d->dlylLen - 1;
}

template <class T>
int setTaps(const Site& s, const T* tapVals, FirTapState* tapStPtr) {
  // A record that never went through Init has no storage to write.
  if (!Checks(s).notNull(tapStPtr, kNullBuffer).require(tapStPtr && tapStPtr->taps, kNullBuffer)) {
    return KVO_StatusBadArgument;
  }
  T* store = static_cast<T*>(tapStPtr->taps);
  const std::size_t bytes = sizeof(T) * static_cast<std::size_t>(tapStPtr->tapsLen);
  if (tapVals == nullptr) {
    std::memset(static_cast<void*>(store), 0, bytes);
  } else if (tapVals != store || tapStPtr->isFilterMode != 1) {
    std::memmove(static_cast<void*>(store), tapVals, bytes);
  }
  tapStPtr->isFilterMode = 1;
  return KVO_StatusOk;
}

template <class T>
int init(const Site& s, T* taps, int tapsLen, FirTapState* tapStPtr) {
  if (!Checks(s)
           .require(taps && tapStPtr, kNullBuffer)
           .require(tapsLen >= 1, "Invalid array length")) {
    return KVO_StatusBadArgument;
  }
  kvo::firlrecord::init(taps, tapsLen, fir::Rate{}, tapStPtr);
  return setTaps(s, taps, tapStPtr);
}

template <class T>
int initMr(const Site& s, T* taps, int tapsLen, int upFactor, int upPhase, int downFactor,
           int downPhase, FirTapState* tapStPtr) {
  const fir::Rate r{upFactor, upPhase, downFactor, downPhase};
  if (!kvo::firlrecord::rateChecks(Checks(s), taps && tapStPtr, kNullBuffer, tapsLen, r)) {
    return KVO_StatusBadArgument;
  }
  kvo::firlrecord::init(taps, tapsLen, r, tapStPtr);
  return setTaps(s, taps, tapStPtr);
}

template <class T>
int initDlyl(const Site& s, const FirTapState* tapStPtr, T* dlyl, FirDlyState* dlyStPtr) {
  if (!Checks(s).notNull(dlyl, kNullBuffer).require(dlyStPtr && tapStPtr, kNullBuffer)) {
    return KVO_StatusBadArgument;
  }
  kvo::firlrecord::initDlyl(tapStPtr, dlyl, dlyStPtr);
  return KVO_StatusOk;
}

template <class T>
int getTaps(const Site& s, FirTapState* tapStPtr, T* tapVals) {
  if (!Checks(s)
           .require(tapVals && tapStPtr, kNullBuffer)
           .require(tapStPtr && tapStPtr->isFilterMode == 1, kNotFilterMode)) {
    return KVO_StatusBadArgument;
  }
  if (tapVals == tapStPtr->taps) {
    tapStPtr->isFilterMode = 0;
  } else {
    std::memmove(static_cast<void*>(tapVals), tapStPtr->taps,
                 sizeof(T) * static_cast<std::size_t>(tapStPtr->tapsLen));
  }
  return KVO_StatusOk;
}

template <class T>
int setDlyl(const Site& s, const FirTapState* tapStPtr, const T* dlylVals, FirDlyState* dlyStPtr) {
  if (!Checks(s)
           .notNull(dlyStPtr, kNullBuffer)
           .notNull(tapStPtr, kNullBuffer)
           .require(dlyStPtr && dlyStPtr->dlyl, kNullBuffer)) {
    return KVO_StatusBadArgument;
  }
  T* store = static_cast<T*>(dlyStPtr->dlyl);
  const int count = historyCount(tapStPtr, dlyStPtr);
  if (dlylVals == nullptr) {
    std::memset(static_cast<void*>(store), 0,
                sizeof(T) * static_cast<std::size_t>(dlyStPtr->dlylLen));
  } else if (dlylVals == store) {
    if (dlyStPtr->isFilterMode != 1) reverse(store, count);
  } else {
    for (int i = 0; i < count; ++i) store[i] = dlylVals[count - 1 - i];
  }
  dlyStPtr->isFilterMode = 1;
  return KVO_StatusOk;
}

template <class T>
int getDlyl(const Site& s, const FirTapState* tapStPtr, FirDlyState* dlyStPtr, T* dlylVals) {
  if (!Checks(s)
           .require(tapStPtr && dlyStPtr, kNullBuffer)
           .notNull(dlylVals, kNullBuffer)
           .require(dlyStPtr && dlyStPtr->isFilterMode == 1, kNotFilterMode)) {
    return KVO_StatusBadArgument;
  }
  T* store = static_cast<T*>(dlyStPtr->dlyl);
  const int count = historyCount(tapStPtr, dlyStPtr);
  if (dlylVals == store) {
    reverse(store, count);
    dlyStPtr->isFilterMode = 0;
  } else {
    for (int i = 0; i < count; ++i) dlylVals[count - 1 - i] = store[i];
  }
  return KVO_StatusOk;
}

// One sample. Defined for single-rate records only: a multi-rate line is shorter than the taps,
// so such a record is refused as the 16-bit member refuses it.
template <class TS, class TT>
fir::Out<TS, TT> firl(const Site& s, const FirTapState* tapStPtr, FirDlyState* dlyStPtr, TS samp) {
  if (!Checks(s)
           .require(tapStPtr && dlyStPtr, kNullBuffer)
           // A record that never went through Init has no arrays to filter with.
           .require(tapStPtr && dlyStPtr && tapStPtr->taps && dlyStPtr->dlyl, kNullBuffer)
           .require(tapStPtr && tapStPtr->isMultiRate == 0, "MultiRate filter")) {
    return {};
  }
  return fir::one(static_cast<const TT*>(tapStPtr->taps), tapStPtr->tapsLen,
                  static_cast<TS*>(dlyStPtr->dlyl), dlyStPtr->dlylLen, samp);
}

// A block: numIters outputs single-rate; numIters*downFactor inputs and numIters*upFactor
// outputs multi-rate. In-place filtering (outSamps == inSamps) is allowed; it needs a copy of the
// input, and a failed allocation of that copy is reported as such.
template <class TS, class TT>
int bfirl(const Site& s, const FirTapState* tapStPtr, FirDlyState* dlyStPtr, const TS* inSamps,
          fir::Out<TS, TT>* outSamps, int numIters) {
  if (!Checks(s)
           .require(tapStPtr && dlyStPtr, kNullBuffer)
           .require(inSamps && outSamps, kNullBuffer)
           .require(numIters >= 1, "Invalid array length")
           .require(dlyStPtr && dlyStPtr->isFilterMode == 1, kNotFilterMode)
           .require(tapStPtr && tapStPtr->isFilterMode == 1, kNotFilterMode)) {
    return KVO_StatusBadArgument;
  }
  const auto* h = static_cast<const TT*>(tapStPtr->taps);
  auto* dly = static_cast<TS*>(dlyStPtr->dlyl);
  const bool ok =
      tapStPtr->isMultiRate
          ? fir::blockMr(h, tapStPtr->tapsLen, rateOf(tapStPtr), dly, dlyStPtr->dlylLen, inSamps,
                         outSamps, numIters)
          : fir::block(h, tapStPtr->tapsLen, dly, dlyStPtr->dlylLen, inSamps, outSamps, numIters);
  if (!ok) return s.report(KVO_StatusOutOfMemory, "Allocation failure");
  return KVO_StatusOk;
}

}  // namespace

extern "C" {

// ---- initialisation, taps and delay line, by element type ----

#define KVO_FIRL_MEMBERS(P, T)                                                                    \
  KVO_API int KVO_CALL kvo##P##FirlInit(T* taps, int tapsLen, FirTapState* tapStPtr) {            \
    return init(KVO_SITE, taps, tapsLen, tapStPtr);                                               \
  }                                                                                               \
  KVO_API int KVO_CALL kvo##P##FirlInitMr(T* taps, int tapsLen, int upFactor, int upPhase,        \
                                          int downFactor, int downPhase, FirTapState* tapStPtr) { \
    return initMr(KVO_SITE, taps, tapsLen, upFactor, upPhase, downFactor, downPhase, tapStPtr);   \
  }                                                                                               \
  KVO_API int KVO_CALL kvo##P##FirlInitDlyl(const FirTapState* tapStPtr, T* dlyl,                 \
                                            FirDlyState* dlyStPtr) {                              \
    return initDlyl(KVO_SITE, tapStPtr, dlyl, dlyStPtr);                                          \
  }                                                                                               \
  KVO_API int KVO_CALL kvo##P##FirlSetTaps(const T* tapVals, FirTapState* tapStPtr) {             \
    return setTaps(KVO_SITE, tapVals, tapStPtr);                                                  \
  }                                                                                               \
  KVO_API int KVO_CALL kvo##P##FirlGetTaps(FirTapState* tapStPtr, T* tapVals) {                   \
    return getTaps(KVO_SITE, tapStPtr, tapVals);                                                  \
  }                                                                                               \
  KVO_API int KVO_CALL kvo##P##FirlSetDlyl(const FirTapState* tapStPtr, const T* dlylVals,        \
                                           FirDlyState* dlyStPtr) {                               \
    return setDlyl(KVO_SITE, tapStPtr, dlylVals, dlyStPtr);                                       \
  }                                                                                               \
  KVO_API int KVO_CALL kvo##P##FirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,    \
                                           T* dlylVals) {                                         \
    return getDlyl(KVO_SITE, tapStPtr, dlyStPtr, dlylVals);                                       \
  }

KVO_FIRL_MEMBERS(s, float)
KVO_FIRL_MEMBERS(c, CF)
KVO_FIRL_MEMBERS(d, double)
KVO_FIRL_MEMBERS(z, CD)
#undef KVO_FIRL_MEMBERS

// ---- filtering, by sample and taps type ----

#define KVO_FIRL_FILTER(P, TS, TT, O)                                                            \
  KVO_API O KVO_CALL kvo##P##Firl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr, TS samp) { \
    return firl<TS, TT>(KVO_SITE, tapStPtr, dlyStPtr, samp);                                     \
  }                                                                                              \
  KVO_API int KVO_CALL kvo##P##bFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,         \
                                     const TS* inSamps, O* outSamps, int numIters) {             \
    return bfirl<TS, TT>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, outSamps, numIters);             \
  }

KVO_FIRL_FILTER(s, float, float, float)
KVO_FIRL_FILTER(c, CF, CF, CF)
KVO_FIRL_FILTER(sc, float, CF, CF)
KVO_FIRL_FILTER(cs, CF, float, CF)
KVO_FIRL_FILTER(d, double, double, double)
KVO_FIRL_FILTER(z, CD, CD, CD)
KVO_FIRL_FILTER(dz, double, CD, CD)
KVO_FIRL_FILTER(zd, CD, double, CD)
#undef KVO_FIRL_FILTER

}  // extern "C"
