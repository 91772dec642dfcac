// Low-level LMS adaptive filters on caller-owned taps and delay-line records (module kvolmsl).
#include <cstdint>

#include "adaptive/lms.h"
#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvolmsl";

using kvo::Checks;
using kvo::Site;
using kvo::lms::CD;
using kvo::lms::CF;
using kvo::lms::kErrDly;
using kvo::lms::kFactor;
using kvo::lms::kLength;
using kvo::lms::kNull;
using kvo::lms::When;

bool initChecks(const Site& s, const void* taps, int tapsLen, int errDly, const LmsTapState* t) {
  return bool(Checks(s)
                  .require(taps && t, kNull)
                  .require(tapsLen >= 1, kLength)
                  .require(errDly >= 0, kErrDly));
}

template <class T>
int init(const Site& s, int lmsType, T* taps, int tapsLen, float step, float leak, int errDly,
         LmsTapState* t) {
  if (!initChecks(s, taps, tapsLen, errDly, t)) return KVO_StatusBadArgument;
  kvo::lms::fillTaps(t, taps, tapsLen, step, leak, errDly, 1, 0, lmsType);
  return KVO_StatusOk;
}

template <class T>
int initMr(const Site& s, int lmsType, T* taps, int tapsLen, float step, float leak, int errDly,
           int downFactor, int downPhase, LmsTapState* t) {
  if (!initChecks(s, taps, tapsLen, errDly, t) ||
      !Checks(s).require(downPhase >= 0, kFactor).require(downFactor > downPhase, kFactor)) {
    return KVO_StatusBadArgument;
  }
  kvo::lms::fillTaps(t, taps, tapsLen, step, leak, errDly, downFactor, downPhase, lmsType);
  return KVO_StatusOk;
}

template <class T>
int initDlyl(const Site& s, const LmsTapState* t, T* dlyl, int isAdaptive, LmsDlyState* d) {
  if (!Checks(s).require(d && t && dlyl, kNull)) return KVO_StatusBadArgument;
  const int len = kvo::lms::lineLength(t, isAdaptive != 0);
  if (!Checks(s).require(len >= 1, kLength)) return KVO_StatusBadArgument;
  d->dlyl = dlyl;
  d->dlylLen = len;
  d->isFilterMode = 1;
  d->isAdaptive = isAdaptive;
  return KVO_StatusOk;
}

template <class TS, class TT>
kvo::lms::Out<TS, TT> lmsl(const Site& s, LmsTapState* t, LmsDlyState* d, TS samp,
                           kvo::lms::Out<TS, TT> err, When when) {
  if (!Checks(s).require(d && t, kNull)) return {};
  return kvo::lms::stepWithError<TS, TT>(s, t, d, &samp, false, when, err);
}

template <class TS, class TT>
kvo::lms::Out<TS, TT> blmsl(const Site& s, LmsTapState* t, LmsDlyState* d, const TS* in,
                            kvo::lms::Out<TS, TT> err) {
  if (!Checks(s).require(t && d && in, kNull)) return {};
  return kvo::lms::stepWithError<TS, TT>(s, t, d, in, true, When::Positive, err);
}

// Step and leak of the float records; the 16-bit record keeps a Q13 step in the same bits.
float getField(const Site& s, const LmsTapState* t, float LmsTapState::*field) {
  if (!Checks(s).require(t, kNull)) return 0;
  return t->*field;
}
int setField(const Site& s, float v, LmsTapState* t, float LmsTapState::*field) {
  if (!Checks(s).require(t, kNull)) return KVO_StatusBadArgument;
  t->*field = v;
  return KVO_StatusOk;
}
std::int32_t q13Step(const LmsTapState* t) {
  std::int32_t q;
  std::memcpy(&q, &t->step, sizeof q);
  return q;
}
void setQ13Step(LmsTapState* t, float step) {
  const std::int32_t q = kvo::lms::toQ13(step);
  std::memcpy(&t->step, &q, sizeof q);
}

// ---- filtering without adaptation: the FIR kernels on the same records ----

namespace fir = kvo::kern::fir;

// The FIR kernels read tapsLen entries of the line (a single sample) or keep its length
// (a block); a record that does not hold that much is refused rather than read past.
bool firFits(const Site& s, const LmsTapState* t, const LmsDlyState* d) {
  return bool(Checks(s)
                  .require(t->taps && d->dlyl, kNull)
                  .require(t->tapsLen >= 1 && d->dlylLen >= t->tapsLen, kLength));
}

// Any record filters one sample at a time as a single-rate filter.
template <class TS, class TT>
fir::Out<TS, TT> lmslNa(const Site& s, const LmsTapState* t, LmsDlyState* d, TS samp) {
  if (!Checks(s).require(t && d, kNull) || !firFits(s, t, d)) return {};
  return fir::one(static_cast<const TT*>(t->taps), t->tapsLen, static_cast<TS*>(d->dlyl),
                  d->dlylLen, samp);
}

// A multi-rate record decimates: numIters * downFactor inputs give numIters outputs. After its
// own checks the block is the FIR block filter on the same records, so the FIR filter's checks
// report under the FIR filter's name (`fir`).
template <class TS, class TT>
int blmslNa(const Site& s, const Site& firSite, const LmsTapState* t, LmsDlyState* d, const TS* in,
            fir::Out<TS, TT>* out, int numIters) {
  Checks c(s);
  if (!c.require(t && d && in && out, kNull).require(numIters > 0, kLength) ||
      !Checks(firSite)
           .require(d->isFilterMode == 1, "Not filter mode")
           .require(t->isFilterMode == 1, "Not filter mode") ||
      !firFits(s, t, d)) {
    return KVO_StatusBadArgument;
  }
  const auto* h = static_cast<const TT*>(t->taps);
  auto* x = static_cast<TS*>(d->dlyl);
  bool done;
  if (t->isMultiRate) {
    const fir::Rate rate{1, 0, t->downFactor, t->downPhase};
    if (!c.require(rate.down >= 1 && rate.downPhase >= 0 && rate.downPhase < rate.down, kFactor)) {
      return KVO_StatusBadArgument;
    }
    done = fir::blockMr(h, t->tapsLen, rate, x, d->dlylLen, in, out, numIters);
  } else {
    done = fir::block(h, t->tapsLen, x, d->dlylLen, in, out, numIters);
  }
  if (!done) {
    s.report(KVO_StatusOutOfMemory, "Allocation failure");
    return KVO_StatusOutOfMemory;
  }
  return KVO_StatusOk;
}

}  // namespace

extern "C" {

// ---- initialisation ----

KVO_API int KVO_CALL kvosLmslInit(int lmsType, float* taps, int tapsLen, float step, float leak,
                                  int errDly, LmsTapState* tapStPtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, tapStPtr);
}
KVO_API int KVO_CALL kvodLmslInit(int lmsType, double* taps, int tapsLen, float step, float leak,
                                  int errDly, LmsTapState* tapStPtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, tapStPtr);
}
KVO_API int KVO_CALL kvocLmslInit(int lmsType, CF* taps, int tapsLen, float step, float leak,
                                  int errDly, LmsTapState* tapStPtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, tapStPtr);
}
KVO_API int KVO_CALL kvozLmslInit(int lmsType, CD* taps, int tapsLen, float step, float leak,
                                  int errDly, LmsTapState* tapStPtr) {
  return init(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, tapStPtr);
}
KVO_API int KVO_CALL kvosLmslInitMr(int lmsType, float* taps, int tapsLen, float step, float leak,
                                    int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr) {
  return initMr(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, downFactor, downPhase,
                tapStPtr);
}
KVO_API int KVO_CALL kvodLmslInitMr(int lmsType, double* taps, int tapsLen, float step, float leak,
                                    int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr) {
  return initMr(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, downFactor, downPhase,
                tapStPtr);
}
KVO_API int KVO_CALL kvocLmslInitMr(int lmsType, CF* taps, int tapsLen, float step, float leak,
                                    int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr) {
  return initMr(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, downFactor, downPhase,
                tapStPtr);
}
KVO_API int KVO_CALL kvozLmslInitMr(int lmsType, CD* taps, int tapsLen, float step, float leak,
                                    int errDly, int downFactor, int downPhase,
                                    LmsTapState* tapStPtr) {
  return initMr(KVO_SITE, lmsType, taps, tapsLen, step, leak, errDly, downFactor, downPhase,
                tapStPtr);
}
KVO_API int KVO_CALL kvowLmslInit(int lmsType, float* taps, int tapsLen, float step, int errDly,
                                  LmsTapState* tapStPtr) {
  const Site s = KVO_SITE;
  if (!initChecks(s, taps, tapsLen, errDly, tapStPtr)) return KVO_StatusBadArgument;
  kvo::lms::fillTaps(tapStPtr, taps, tapsLen, 0, 0, errDly, 1, 0, lmsType);
  setQ13Step(tapStPtr, step);
  tapStPtr->isFilterMode = 0;  // the floats are converted in place
  return kvo::lms::setTapsShort(s, taps, tapStPtr);
}

KVO_API int KVO_CALL kvosLmslInitDlyl(const LmsTapState* tapStPtr, float* dlyl, int isAdaptive,
                                      LmsDlyState* dlyStPtr) {
  return initDlyl(KVO_SITE, tapStPtr, dlyl, isAdaptive, dlyStPtr);
}
KVO_API int KVO_CALL kvodLmslInitDlyl(const LmsTapState* tapStPtr, double* dlyl, int isAdaptive,
                                      LmsDlyState* dlyStPtr) {
  return initDlyl(KVO_SITE, tapStPtr, dlyl, isAdaptive, dlyStPtr);
}
KVO_API int KVO_CALL kvocLmslInitDlyl(const LmsTapState* tapStPtr, CF* dlyl, int isAdaptive,
                                      LmsDlyState* dlyStPtr) {
  return initDlyl(KVO_SITE, tapStPtr, dlyl, isAdaptive, dlyStPtr);
}
KVO_API int KVO_CALL kvozLmslInitDlyl(const LmsTapState* tapStPtr, CD* dlyl, int isAdaptive,
                                      LmsDlyState* dlyStPtr) {
  return initDlyl(KVO_SITE, tapStPtr, dlyl, isAdaptive, dlyStPtr);
}
KVO_API int KVO_CALL kvowLmslInitDlyl(const LmsTapState* tapStPtr, short* dlyl,
                                      LmsDlyState* dlyStPtr) {
  return initDlyl(KVO_SITE, tapStPtr, dlyl, 1, dlyStPtr);
}

// ---- step and leak ----

KVO_API float KVO_CALL kvosLmslGetStep(const LmsTapState* tapStPtr) {
  return getField(KVO_SITE, tapStPtr, &LmsTapState::step);
}
KVO_API int KVO_CALL kvosLmslSetStep(float step, LmsTapState* tapStPtr) {
  return setField(KVO_SITE, step, tapStPtr, &LmsTapState::step);
}
KVO_API float KVO_CALL kvosLmslGetLeak(const LmsTapState* tapStPtr) {
  return getField(KVO_SITE, tapStPtr, &LmsTapState::leak);
}
KVO_API int KVO_CALL kvosLmslSetLeak(float leak, LmsTapState* tapStPtr) {
  return setField(KVO_SITE, leak, tapStPtr, &LmsTapState::leak);
}
KVO_API float KVO_CALL kvowLmslGetStep(const LmsTapState* tapStPtr) {
  if (!KVO_CHECKS.require(tapStPtr, kNull)) return 0;
  return kvo::lms::fromQ13(q13Step(tapStPtr));
}
KVO_API int KVO_CALL kvowLmslSetStep(float step, LmsTapState* tapStPtr) {
  if (!KVO_CHECKS.require(tapStPtr, kNull)) return KVO_StatusBadArgument;
  setQ13Step(tapStPtr, step);
  return KVO_StatusOk;
}

// ---- taps and delay line ----

KVO_API void KVO_CALL kvosLmslGetTaps(LmsTapState* tapStPtr, float* outTaps) {
  kvo::lms::getTaps(KVO_SITE, tapStPtr, outTaps);
}
KVO_API void KVO_CALL kvodLmslGetTaps(LmsTapState* tapStPtr, double* outTaps) {
  kvo::lms::getTaps(KVO_SITE, tapStPtr, outTaps);
}
KVO_API void KVO_CALL kvocLmslGetTaps(LmsTapState* tapStPtr, CF* outTaps) {
  kvo::lms::getTaps(KVO_SITE, tapStPtr, outTaps);
}
KVO_API void KVO_CALL kvozLmslGetTaps(LmsTapState* tapStPtr, CD* outTaps) {
  kvo::lms::getTaps(KVO_SITE, tapStPtr, outTaps);
}
KVO_API int KVO_CALL kvosLmslSetTaps(const float* inTaps, LmsTapState* tapStPtr) {
  return kvo::lms::setTaps(KVO_SITE, inTaps, tapStPtr);
}
KVO_API int KVO_CALL kvodLmslSetTaps(const double* inTaps, LmsTapState* tapStPtr) {
  return kvo::lms::setTaps(KVO_SITE, inTaps, tapStPtr);
}
KVO_API int KVO_CALL kvocLmslSetTaps(const CF* inTaps, LmsTapState* tapStPtr) {
  return kvo::lms::setTaps(KVO_SITE, inTaps, tapStPtr);
}
KVO_API int KVO_CALL kvozLmslSetTaps(const CD* inTaps, LmsTapState* tapStPtr) {
  return kvo::lms::setTaps(KVO_SITE, inTaps, tapStPtr);
}
KVO_API void KVO_CALL kvowLmslGetTaps(LmsTapState* tapStPtr, float* outTaps) {
  kvo::lms::getTapsShort(KVO_SITE, tapStPtr, outTaps);
}
KVO_API int KVO_CALL kvowLmslSetTaps(const float* inTaps, LmsTapState* tapStPtr) {
  return kvo::lms::setTapsShort(KVO_SITE, inTaps, tapStPtr);
}

KVO_API void KVO_CALL kvosLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      float* outDlyl) {
  kvo::lms::getDlyl(KVO_SITE, tapStPtr, dlyStPtr, outDlyl);
}
KVO_API void KVO_CALL kvodLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      double* outDlyl) {
  kvo::lms::getDlyl(KVO_SITE, tapStPtr, dlyStPtr, outDlyl);
}
KVO_API void KVO_CALL kvocLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      CF* outDlyl) {
  kvo::lms::getDlyl(KVO_SITE, tapStPtr, dlyStPtr, outDlyl);
}
KVO_API void KVO_CALL kvozLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      CD* outDlyl) {
  kvo::lms::getDlyl(KVO_SITE, tapStPtr, dlyStPtr, outDlyl);
}
KVO_API void KVO_CALL kvowLmslGetDlyl(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                      short* outDlyl) {
  kvo::lms::getDlyl(KVO_SITE, tapStPtr, dlyStPtr, outDlyl);
}
KVO_API int KVO_CALL kvosLmslSetDlyl(const LmsTapState* tapStPtr, const float* inDlyl,
                                     LmsDlyState* dlyStPtr) {
  return kvo::lms::setDlyl(KVO_SITE, tapStPtr, inDlyl, dlyStPtr);
}
KVO_API int KVO_CALL kvodLmslSetDlyl(const LmsTapState* tapStPtr, const double* inDlyl,
                                     LmsDlyState* dlyStPtr) {
  return kvo::lms::setDlyl(KVO_SITE, tapStPtr, inDlyl, dlyStPtr);
}
KVO_API int KVO_CALL kvocLmslSetDlyl(const LmsTapState* tapStPtr, const CF* inDlyl,
                                     LmsDlyState* dlyStPtr) {
  return kvo::lms::setDlyl(KVO_SITE, tapStPtr, inDlyl, dlyStPtr);
}
KVO_API int KVO_CALL kvozLmslSetDlyl(const LmsTapState* tapStPtr, const CD* inDlyl,
                                     LmsDlyState* dlyStPtr) {
  return kvo::lms::setDlyl(KVO_SITE, tapStPtr, inDlyl, dlyStPtr);
}
KVO_API int KVO_CALL kvowLmslSetDlyl(const LmsTapState* tapStPtr, const short* inDlyl,
                                     LmsDlyState* dlyStPtr) {
  return kvo::lms::setDlyl(KVO_SITE, tapStPtr, inDlyl, dlyStPtr);
}

// ---- adaptive filtering ----

// kvosLmsl adapts with any nonzero step, the other members with a positive one only.
KVO_API float KVO_CALL kvosLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, float samp,
                                float err) {
  return lmsl<float, float>(KVO_SITE, tapStPtr, dlyStPtr, samp, err, When::Nonzero);
}
KVO_API double KVO_CALL kvodLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, double samp,
                                 double err) {
  return lmsl<double, double>(KVO_SITE, tapStPtr, dlyStPtr, samp, err, When::Positive);
}
KVO_API CF KVO_CALL kvocLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, CF samp, CF err) {
  return lmsl<CF, CF>(KVO_SITE, tapStPtr, dlyStPtr, samp, err, When::Positive);
}
KVO_API CD KVO_CALL kvozLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, CD samp, CD err) {
  return lmsl<CD, CD>(KVO_SITE, tapStPtr, dlyStPtr, samp, err, When::Positive);
}
KVO_API CF KVO_CALL kvoscLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, float samp, CF err) {
  return lmsl<float, CF>(KVO_SITE, tapStPtr, dlyStPtr, samp, err, When::Positive);
}
KVO_API CD KVO_CALL kvodzLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, double samp, CD err) {
  return lmsl<double, CD>(KVO_SITE, tapStPtr, dlyStPtr, samp, err, When::Positive);
}
KVO_API short KVO_CALL kvowLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, short samp,
                                short err) {
  const Site s = KVO_SITE;
  if (!Checks(s).require(dlyStPtr && tapStPtr, kNull)) return 0;
  kvo::kern::lms::Shape shape;
  if (!kvo::lms::shapeOf(s, tapStPtr, dlyStPtr, false, shape)) return 0;
  return kvo::kern::lms::stepShort(static_cast<std::int32_t*>(tapStPtr->taps),
                                   static_cast<short*>(dlyStPtr->dlyl), shape.taps, shape.adaptAt,
                                   shape.moved + 1, samp, err, q13Step(tapStPtr));
}

KVO_API float KVO_CALL kvosbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, const float* inSamps,
                                 float err) {
  return blmsl<float, float>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, err);
}
KVO_API double KVO_CALL kvodbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,
                                  const double* inSamps, double err) {
  return blmsl<double, double>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, err);
}
KVO_API CF KVO_CALL kvocbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, const CF* inSamps,
                              CF err) {
  return blmsl<CF, CF>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, err);
}
KVO_API CD KVO_CALL kvozbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, const CD* inSamps,
                              CD err) {
  return blmsl<CD, CD>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, err);
}
KVO_API CF KVO_CALL kvoscbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, const float* inSamps,
                               CF err) {
  return blmsl<float, CF>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, err);
}
KVO_API CD KVO_CALL kvodzbLmsl(LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, const double* inSamps,
                               CD err) {
  return blmsl<double, CD>(KVO_SITE, tapStPtr, dlyStPtr, inSamps, err);
}

// ---- filtering without adaptation ----

#define KVO_LMSL_NA(code, TS, TT, O)                                                          \
  KVO_API O KVO_CALL kvo##code##LmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr,    \
                                       TS samp) {                                             \
    return lmslNa<TS, TT>(KVO_SITE, tapStPtr, dlyStPtr, samp);                                \
  }                                                                                           \
  KVO_API int KVO_CALL kvo##code##bLmslNa(const LmsTapState* tapStPtr, LmsDlyState* dlyStPtr, \
                                          const TS* inSamps, O* outSamps, int numIters) {     \
    return blmslNa<TS, TT>(KVO_SITE, ::kvo::Site{"kvo" #code "bFirl", "kvofirl", __LINE__},   \
                           tapStPtr, dlyStPtr, inSamps, outSamps, numIters);                  \
  }
KVO_LMSL_NA(s, float, float, float)
KVO_LMSL_NA(d, double, double, double)
KVO_LMSL_NA(c, CF, CF, CF)
KVO_LMSL_NA(z, CD, CD, CD)
KVO_LMSL_NA(sc, float, CF, CF)
KVO_LMSL_NA(cs, CF, float, CF)
KVO_LMSL_NA(dz, double, CD, CD)
KVO_LMSL_NA(zd, CD, double, CD)
#undef KVO_LMSL_NA

}  // extern "C"
