// High-level LMS adaptive filters: one record, arrays from the runtime heap (module kvolmsh).
//
// The record is a low-level taps record, a delay-line record and the last error, so every
// operation runs the low-level code on its parts. The arrays come zero-filled, so a delay line
// set from the caller's values still holds defined data in its oldest entry, which the caller's
// values do not reach.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "adaptive/lms.h"
#include "frame/check.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvolmsh";

using kvo::Checks;
using kvo::Site;
using kvo::lms::CD;
using kvo::lms::CF;
using kvo::lms::kErrDly;
using kvo::lms::kFactor;
using kvo::lms::kLength;
using kvo::lms::kNull;
using kvo::lms::Out;
using kvo::lms::When;

template <class T>
T& errVal(LmsState* st) {
  if constexpr (std::is_same_v<T, float>) {
    return st->errVal.s;
  } else if constexpr (std::is_same_v<T, double>) {
    return st->errVal.d;
  } else if constexpr (std::is_same_v<T, CF>) {
    return st->errVal.c;
  } else {
    return st->errVal.z;
  }
}

void release(LmsState* st) {
  std::free(st->tapSt.taps);
  std::free(st->dlySt.dlyl);
  st->tapSt.taps = nullptr;
  st->dlySt.dlyl = nullptr;
  // Cleared too, so a released record is refused as uninitialised rather than as empty.
  st->tapSt.isFilterMode = 0;
  st->dlySt.isFilterMode = 0;
}

// A negative error delay is refused as the low-level Init refuses it: no array is sized from it.
template <class TS, class TT>
int init(const Site& s, int lmsType, const TT* taps, int tapsLen, const TS* dlyl, float step,
         float leak, int errDly, bool multiRate, int downFactor, int downPhase, LmsState* st) {
  Checks c(s);
  if (!c.require(st, kNull).require(tapsLen >= 1, kLength)) return KVO_StatusBadArgument;
  if (multiRate &&
      !c.require(downPhase >= 0, "Invalid phase value").require(downFactor > downPhase, kFactor)) {
    return KVO_StatusBadArgument;
  }
  if (!c.require(errDly >= 0, kErrDly)) return KVO_StatusBadArgument;
  const std::int64_t len = std::int64_t(tapsLen) + errDly + (multiRate ? downFactor : 0);
  void* tapsMem = std::calloc(std::size_t(tapsLen), sizeof(TT));
  void* dlylMem = len <= INT32_MAX ? std::calloc(std::size_t(len), sizeof(TS)) : nullptr;
  if (!tapsMem || !dlylMem) {
    std::free(tapsMem);
    std::free(dlylMem);
    st->tapSt.taps = nullptr;
    st->dlySt.dlyl = nullptr;
    s.report(KVO_StatusOutOfMemory, "Problem to allocate memory");
    return KVO_StatusOutOfMemory;
  }
  kvo::lms::fillTaps(&st->tapSt, tapsMem, tapsLen, step, leak, errDly, multiRate ? downFactor : 1,
                     multiRate ? downPhase : 0, lmsType);
  st->dlySt = {dlylMem, static_cast<int>(len), 1, 1};
  std::memset(&st->errVal, 0, sizeof st->errVal);
  kvo::lms::setTaps(s, taps, &st->tapSt);
  return kvo::lms::setDlyl(s, &st->tapSt, dlyl, &st->dlySt);
}

bool ready(Checks& c, const LmsState* st) {
  return bool(
      c.require(st->tapSt.isFilterMode, "Taps state structure is not initialized")
          .require(st->dlySt.isFilterMode, "Delay line state structure is not initialized"));
}

template <class TS, class TT>
Out<TS, TT> lms(const Site& s, LmsState* st, TS samp, Out<TS, TT> err, When when) {
  Checks c(s);
  if (!c.require(st, kNull) || !ready(c, st)) return {};
  return kvo::lms::stepWithError<TS, TT>(s, &st->tapSt, &st->dlySt, &samp, false, when, err);
}

template <class TS, class TT>
Out<TS, TT> blms(const Site& s, LmsState* st, const TS* in, Out<TS, TT> err) {
  Checks c(s);
  if (!c.require(st && in, kNull) || !ready(c, st)) return {};
  return kvo::lms::stepWithError<TS, TT>(s, &st->tapSt, &st->dlySt, in, true, When::Positive, err);
}

// The desired-signal forms adapt with the stored error whatever the sign of the step.
template <class TS, class TT>
Out<TS, TT> lmsDes(const Site& s, LmsState* st, TS samp, Out<TS, TT> desired) {
  Checks c(s);
  if (!c.require(st, kNull) || !ready(c, st)) return {};
  Out<TS, TT> y{};
  if (!kvo::lms::filter<TS, TT>(s, &st->tapSt, &st->dlySt, &samp, false, When::Always, &desired, &y,
                                1, &errVal<Out<TS, TT>>(st))) {
    return {};
  }
  return y;
}

template <class TS, class TT>
int blmsDes(const Site& s, LmsState* st, const TS* in, const Out<TS, TT>* des, Out<TS, TT>* out,
            int numIters) {
  Checks c(s);
  if (!c.require(st, kNull) || !ready(c, st) || !c.require(in && des && out, kNull) ||
      !c.require(numIters >= 1, "Bad value of number of iterations")) {
    return KVO_StatusBadArgument;
  }
  if (!kvo::lms::filter<TS, TT>(s, &st->tapSt, &st->dlySt, in, true, When::Always, des, out,
                                numIters, &errVal<Out<TS, TT>>(st))) {
    return KVO_StatusBadArgument;
  }
  return KVO_StatusOk;
}

template <class T>
void getTaps(const Site& s, LmsState* st, T* out) {
  if (!Checks(s).require(st && out, kNull)) return;
  kvo::lms::getTaps(s, &st->tapSt, out);
}
template <class T>
int setTaps(const Site& s, const T* in, LmsState* st) {
  if (!Checks(s).require(st, kNull)) return KVO_StatusBadArgument;
  return kvo::lms::setTaps(s, in, &st->tapSt);
}
template <class T>
void getDlyl(const Site& s, LmsState* st, T* out) {
  if (!Checks(s).require(st, kNull)) return;
  kvo::lms::getDlyl(s, &st->tapSt, &st->dlySt, out);
}
template <class T>
int setDlyl(const Site& s, const T* in, LmsState* st) {
  if (!Checks(s).require(st, kNull)) return KVO_StatusBadArgument;
  return kvo::lms::setDlyl(s, &st->tapSt, in, &st->dlySt);
}
template <class T>
T getErr(const Site& s, const LmsState* st) {
  if (!Checks(s).require(st, kNull)) return {};
  return errVal<T>(const_cast<LmsState*>(st));
}
template <class T>
int setErr(const Site& s, T err, LmsState* st) {
  if (!Checks(s).require(st, kNull)) return KVO_StatusBadArgument;
  errVal<T>(st) = err;
  return KVO_StatusOk;
}

// Step and leak: a null record is reported like the other accessors' (nothing is touched).
float getField(const Site& s, const LmsState* st, float LmsTapState::*field) {
  if (!Checks(s).require(st, kNull)) return 0;
  return st->tapSt.*field;
}
int setField(const Site& s, float v, LmsState* st, float LmsTapState::*field) {
  if (!Checks(s).require(st, kNull)) return KVO_StatusBadArgument;
  st->tapSt.*field = v;
  return KVO_StatusOk;
}

}  // namespace

extern "C" {

// ---- initialisation and release ----

KVO_API int KVO_CALL kvosLmsInit(int lmsType, const float* taps, int tapsLen, const float* dlyl,
                                 float step, float leak, int errDly, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, false, 1, 0, statePtr);
}
KVO_API int KVO_CALL kvodLmsInit(int lmsType, const double* taps, int tapsLen, const double* dlyl,
                                 float step, float leak, int errDly, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, false, 1, 0, statePtr);
}
KVO_API int KVO_CALL kvocLmsInit(int lmsType, const CF* taps, int tapsLen, const CF* dlyl,
                                 float step, float leak, int errDly, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, false, 1, 0, statePtr);
}
KVO_API int KVO_CALL kvozLmsInit(int lmsType, const CD* taps, int tapsLen, const CD* dlyl,
                                 float step, float leak, int errDly, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, false, 1, 0, statePtr);
}
KVO_API int KVO_CALL kvoscLmsInit(int lmsType, const CF* taps, int tapsLen, const float* dlyl,
                                  float step, float leak, int errDly, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, false, 1, 0, statePtr);
}
KVO_API int KVO_CALL kvodzLmsInit(int lmsType, const CD* taps, int tapsLen, const double* dlyl,
                                  float step, float leak, int errDly, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, false, 1, 0, statePtr);
}
KVO_API int KVO_CALL kvosLmsInitMr(int lmsType, const float* taps, int tapsLen, const float* dlyl,
                                   float step, float leak, int errDly, int downFactor,
                                   int downPhase, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, true, downFactor,
              downPhase, statePtr);
}
KVO_API int KVO_CALL kvodLmsInitMr(int lmsType, const double* taps, int tapsLen, const double* dlyl,
                                   float step, float leak, int errDly, int downFactor,
                                   int downPhase, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, true, downFactor,
              downPhase, statePtr);
}
KVO_API int KVO_CALL kvocLmsInitMr(int lmsType, const CF* taps, int tapsLen, const CF* dlyl,
                                   float step, float leak, int errDly, int downFactor,
                                   int downPhase, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, true, downFactor,
              downPhase, statePtr);
}
KVO_API int KVO_CALL kvozLmsInitMr(int lmsType, const CD* taps, int tapsLen, const CD* dlyl,
                                   float step, float leak, int errDly, int downFactor,
                                   int downPhase, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, true, downFactor,
              downPhase, statePtr);
}
KVO_API int KVO_CALL kvoscLmsInitMr(int lmsType, const CF* taps, int tapsLen, const float* dlyl,
                                    float step, float leak, int errDly, int downFactor,
                                    int downPhase, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, true, downFactor,
              downPhase, statePtr);
}
KVO_API int KVO_CALL kvodzLmsInitMr(int lmsType, const CD* taps, int tapsLen, const double* dlyl,
                                    float step, float leak, int errDly, int downFactor,
                                    int downPhase, LmsState* statePtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, dlyl, step, leak, errDly, true, downFactor,
              downPhase, statePtr);
}

// A null record is reported like the accessors' null records.
KVO_API void KVO_CALL kvoLmsFree(LmsState* statePtr) {
  if (!KVO_CHECKS.require(statePtr, kNull)) return;
  release(statePtr);
}

// ---- filtering with the caller's error ----

KVO_API float KVO_CALL kvosLms(LmsState* statePtr, float samp, float err) {
  return lms<float, float>(KVO_SITE, statePtr, samp, err, When::Nonzero);
}
KVO_API double KVO_CALL kvodLms(LmsState* statePtr, double samp, double err) {
  return lms<double, double>(KVO_SITE, statePtr, samp, err, When::Positive);
}
KVO_API CF KVO_CALL kvocLms(LmsState* statePtr, CF samp, CF err) {
  return lms<CF, CF>(KVO_SITE, statePtr, samp, err, When::Positive);
}
KVO_API CD KVO_CALL kvozLms(LmsState* statePtr, CD samp, CD err) {
  return lms<CD, CD>(KVO_SITE, statePtr, samp, err, When::Positive);
}
KVO_API CF KVO_CALL kvoscLms(LmsState* statePtr, float samp, CF err) {
  return lms<float, CF>(KVO_SITE, statePtr, samp, err, When::Positive);
}
KVO_API CD KVO_CALL kvodzLms(LmsState* statePtr, double samp, CD err) {
  return lms<double, CD>(KVO_SITE, statePtr, samp, err, When::Positive);
}
KVO_API float KVO_CALL kvosbLms(LmsState* statePtr, const float* inSamps, float err) {
  return blms<float, float>(KVO_SITE, statePtr, inSamps, err);
}
KVO_API double KVO_CALL kvodbLms(LmsState* statePtr, const double* inSamps, double err) {
  return blms<double, double>(KVO_SITE, statePtr, inSamps, err);
}
KVO_API CF KVO_CALL kvocbLms(LmsState* statePtr, const CF* inSamps, CF err) {
  return blms<CF, CF>(KVO_SITE, statePtr, inSamps, err);
}
KVO_API CD KVO_CALL kvozbLms(LmsState* statePtr, const CD* inSamps, CD err) {
  return blms<CD, CD>(KVO_SITE, statePtr, inSamps, err);
}
KVO_API CF KVO_CALL kvoscbLms(LmsState* statePtr, const float* inSamps, CF err) {
  return blms<float, CF>(KVO_SITE, statePtr, inSamps, err);
}
KVO_API CD KVO_CALL kvodzbLms(LmsState* statePtr, const double* inSamps, CD err) {
  return blms<double, CD>(KVO_SITE, statePtr, inSamps, err);
}

// ---- filtering against a desired signal ----

KVO_API float KVO_CALL kvosLmsDes(LmsState* statePtr, float samp, float desired) {
  return lmsDes<float, float>(KVO_SITE, statePtr, samp, desired);
}
KVO_API double KVO_CALL kvodLmsDes(LmsState* statePtr, double samp, double desired) {
  return lmsDes<double, double>(KVO_SITE, statePtr, samp, desired);
}
KVO_API CF KVO_CALL kvocLmsDes(LmsState* statePtr, CF samp, CF desired) {
  return lmsDes<CF, CF>(KVO_SITE, statePtr, samp, desired);
}
KVO_API CD KVO_CALL kvozLmsDes(LmsState* statePtr, CD samp, CD desired) {
  return lmsDes<CD, CD>(KVO_SITE, statePtr, samp, desired);
}
KVO_API CF KVO_CALL kvoscLmsDes(LmsState* statePtr, float samp, CF desired) {
  return lmsDes<float, CF>(KVO_SITE, statePtr, samp, desired);
}
KVO_API CD KVO_CALL kvodzLmsDes(LmsState* statePtr, double samp, CD desired) {
  return lmsDes<double, CD>(KVO_SITE, statePtr, samp, desired);
}
KVO_API int KVO_CALL kvosbLmsDes(LmsState* statePtr, const float* inSamps, const float* desSamps,
                                 float* outSamps, int numIters) {
  return blmsDes<float, float>(KVO_SITE, statePtr, inSamps, desSamps, outSamps, numIters);
}
KVO_API int KVO_CALL kvodbLmsDes(LmsState* statePtr, const double* inSamps, const double* desSamps,
                                 double* outSamps, int numIters) {
  return blmsDes<double, double>(KVO_SITE, statePtr, inSamps, desSamps, outSamps, numIters);
}
KVO_API int KVO_CALL kvocbLmsDes(LmsState* statePtr, const CF* inSamps, const CF* desSamps,
                                 CF* outSamps, int numIters) {
  return blmsDes<CF, CF>(KVO_SITE, statePtr, inSamps, desSamps, outSamps, numIters);
}
KVO_API int KVO_CALL kvozbLmsDes(LmsState* statePtr, const CD* inSamps, const CD* desSamps,
                                 CD* outSamps, int numIters) {
  return blmsDes<CD, CD>(KVO_SITE, statePtr, inSamps, desSamps, outSamps, numIters);
}
KVO_API int KVO_CALL kvoscbLmsDes(LmsState* statePtr, const float* inSamps, const CF* desSamps,
                                  CF* outSamps, int numIters) {
  return blmsDes<float, CF>(KVO_SITE, statePtr, inSamps, desSamps, outSamps, numIters);
}
KVO_API int KVO_CALL kvodzbLmsDes(LmsState* statePtr, const double* inSamps, const CD* desSamps,
                                  CD* outSamps, int numIters) {
  return blmsDes<double, CD>(KVO_SITE, statePtr, inSamps, desSamps, outSamps, numIters);
}

// ---- accessors ----

KVO_API void KVO_CALL kvosLmsGetTaps(LmsState* statePtr, float* outTaps) {
  getTaps(KVO_SITE, statePtr, outTaps);
}
KVO_API int KVO_CALL kvosLmsSetTaps(const float* inTaps, LmsState* statePtr) {
  return setTaps(KVO_SITE, inTaps, statePtr);
}
KVO_API void KVO_CALL kvodLmsGetTaps(LmsState* statePtr, double* outTaps) {
  getTaps(KVO_SITE, statePtr, outTaps);
}
KVO_API int KVO_CALL kvodLmsSetTaps(const double* inTaps, LmsState* statePtr) {
  return setTaps(KVO_SITE, inTaps, statePtr);
}
KVO_API void KVO_CALL kvocLmsGetTaps(LmsState* statePtr, CF* outTaps) {
  getTaps(KVO_SITE, statePtr, outTaps);
}
KVO_API int KVO_CALL kvocLmsSetTaps(const CF* inTaps, LmsState* statePtr) {
  return setTaps(KVO_SITE, inTaps, statePtr);
}
KVO_API void KVO_CALL kvozLmsGetTaps(LmsState* statePtr, CD* outTaps) {
  getTaps(KVO_SITE, statePtr, outTaps);
}
KVO_API int KVO_CALL kvozLmsSetTaps(const CD* inTaps, LmsState* statePtr) {
  return setTaps(KVO_SITE, inTaps, statePtr);
}
KVO_API void KVO_CALL kvosLmsGetDlyl(LmsState* statePtr, float* outDlyl) {
  getDlyl(KVO_SITE, statePtr, outDlyl);
}
KVO_API int KVO_CALL kvosLmsSetDlyl(const float* inDlyl, LmsState* statePtr) {
  return setDlyl(KVO_SITE, inDlyl, statePtr);
}
KVO_API void KVO_CALL kvodLmsGetDlyl(LmsState* statePtr, double* outDlyl) {
  getDlyl(KVO_SITE, statePtr, outDlyl);
}
KVO_API int KVO_CALL kvodLmsSetDlyl(const double* inDlyl, LmsState* statePtr) {
  return setDlyl(KVO_SITE, inDlyl, statePtr);
}
KVO_API void KVO_CALL kvocLmsGetDlyl(LmsState* statePtr, CF* outDlyl) {
  getDlyl(KVO_SITE, statePtr, outDlyl);
}
KVO_API int KVO_CALL kvocLmsSetDlyl(const CF* inDlyl, LmsState* statePtr) {
  return setDlyl(KVO_SITE, inDlyl, statePtr);
}
KVO_API void KVO_CALL kvozLmsGetDlyl(LmsState* statePtr, CD* outDlyl) {
  getDlyl(KVO_SITE, statePtr, outDlyl);
}
KVO_API int KVO_CALL kvozLmsSetDlyl(const CD* inDlyl, LmsState* statePtr) {
  return setDlyl(KVO_SITE, inDlyl, statePtr);
}
KVO_API float KVO_CALL kvosLmsGetErrVal(const LmsState* statePtr) {
  return getErr<float>(KVO_SITE, statePtr);
}
KVO_API int KVO_CALL kvosLmsSetErrVal(float err, LmsState* statePtr) {
  return setErr(KVO_SITE, err, statePtr);
}
KVO_API double KVO_CALL kvodLmsGetErrVal(const LmsState* statePtr) {
  return getErr<double>(KVO_SITE, statePtr);
}
KVO_API int KVO_CALL kvodLmsSetErrVal(double err, LmsState* statePtr) {
  return setErr(KVO_SITE, err, statePtr);
}
KVO_API CF KVO_CALL kvocLmsGetErrVal(const LmsState* statePtr) {
  return getErr<CF>(KVO_SITE, statePtr);
}
KVO_API int KVO_CALL kvocLmsSetErrVal(CF err, LmsState* statePtr) {
  return setErr(KVO_SITE, err, statePtr);
}
KVO_API CD KVO_CALL kvozLmsGetErrVal(const LmsState* statePtr) {
  return getErr<CD>(KVO_SITE, statePtr);
}
KVO_API int KVO_CALL kvozLmsSetErrVal(CD err, LmsState* statePtr) {
  return setErr(KVO_SITE, err, statePtr);
}
KVO_API float KVO_CALL kvosLmsGetStep(const LmsState* statePtr) {
  return getField(KVO_SITE, statePtr, &LmsTapState::step);
}
KVO_API int KVO_CALL kvosLmsSetStep(float step, LmsState* statePtr) {
  return setField(KVO_SITE, step, statePtr, &LmsTapState::step);
}
KVO_API float KVO_CALL kvosLmsGetLeak(const LmsState* statePtr) {
  return getField(KVO_SITE, statePtr, &LmsTapState::leak);
}
KVO_API int KVO_CALL kvosLmsSetLeak(float leak, LmsState* statePtr) {
  return setField(KVO_SITE, leak, statePtr, &LmsTapState::leak);
}

}  // extern "C"
