// Low-level FIR filter of the 16-bit type (module kvofirlw).
//
// The caller's taps array holds tapsLen floats; in filter form its first 2*tapsLen bytes hold the
// taps times 2^tapsFactor rounded to 16 bits, reversed (single-rate) or grouped by phase branch
// (multi-rate). The delay line is oldest first in both forms.
#include <cstring>

#include "filter/firlrecord.h"
#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvofirlw";

using kvo::Checks;
using kvo::Site;
namespace fir = kvo::kern::fir;

constexpr const char* kNullBuffer = "Null buffer pointer";
constexpr const char* kNullTap = "Null Tap State pointer";
constexpr const char* kNullDly = "Null Dly State pointer";

fir::Rate rateOf(const FirTapState* t) {
  return fir::Rate{t->upFactor, t->upPhase, t->downFactor, t->downPhase};
}

// A temporary from the library heap; a failure sets the thread's status without a report.
float* temporary(int n) {
  auto* p = static_cast<float*>(kvoMalloc(static_cast<int>(sizeof(float)) * n));
  if (p == nullptr) kvoSetErrStatus(KVO_StatusOutOfMemory);
  return p;
}

int setTaps(const Site& s, const float* tapVals, FirTapState* tapStPtr) {
  // A record that never went through Init has no storage to write.
  if (!Checks(s).notNull(tapStPtr, kNullTap).require(tapStPtr && tapStPtr->taps, kNullBuffer)) {
    return KVO_StatusBadArgument;
  }
  const int L = tapStPtr->tapsLen;
  if (tapVals == nullptr) {
    std::memset(tapStPtr->taps, 0, sizeof(float) * static_cast<std::size_t>(L));
    tapStPtr->tapsFactor = 0;
    tapStPtr->isFilterMode = 1;
    return KVO_StatusOk;
  }
  if (tapVals == tapStPtr->taps && tapStPtr->isFilterMode == 1) return KVO_StatusOk;
  float* tmp = temporary(L);
  if (tmp == nullptr) {
    tapStPtr->isFilterMode = 0;
    return KVO_StatusOutOfMemory;
  }
  std::memcpy(tmp, tapVals, sizeof(float) * static_cast<std::size_t>(L));
  tapStPtr->tapsFactor = fir::tapsFactor(tmp, L);
  fir::quantizeTaps(tmp, L, rateOf(tapStPtr), tapStPtr->tapsFactor,
                    static_cast<short*>(tapStPtr->taps));
  kvoFree(tmp);
  tapStPtr->isFilterMode = 1;
  return KVO_StatusOk;
}

// The common checks of the two filtering entries.
Checks& recordChecks(Checks& c, const FirTapState* tapStPtr, const FirDlyState* dlyStPtr) {
  return c.notNull(tapStPtr, kNullTap)
      .notNull(dlyStPtr, kNullDly)
      .require(tapStPtr && tapStPtr->isFilterMode != 0, "Filter Taps is not setup")
      .require(dlyStPtr && dlyStPtr->isFilterMode != 0, "Filter Dlyl is not setup");
}
Checks& scaleCheck(Checks& c, int scaleMode, const int* scaleFactor) {
  return c.require(!(scaleMode & KVO_AUTO_SCALE) || scaleFactor != nullptr,
                   "Null scale factor pointer");
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvowFirlInit(float* taps, int tapsLen, FirTapState* tapStPtr) {
  if (!KVO_CHECKS.require(taps && tapStPtr, kNullTap)
           .require(tapsLen >= 1, "Invalid array length")) {
    return KVO_StatusBadArgument;
  }
  kvo::firlrecord::init(taps, tapsLen, fir::Rate{}, tapStPtr);
  return setTaps(KVO_SITE, taps, tapStPtr);
}

KVO_API int KVO_CALL kvowFirlInitMr(float* taps, int tapsLen, int upFactor, int upPhase,
                                    int downFactor, int downPhase, FirTapState* tapStPtr) {
  const fir::Rate r{upFactor, upPhase, downFactor, downPhase};
  if (!kvo::firlrecord::rateChecks(KVO_CHECKS, taps && tapStPtr, kNullTap, tapsLen, r)) {
    return KVO_StatusBadArgument;
  }
  kvo::firlrecord::init(taps, tapsLen, r, tapStPtr);
  return setTaps(KVO_SITE, taps, tapStPtr);
}

KVO_API int KVO_CALL kvowFirlInitDlyl(const FirTapState* tapStPtr, short* dlyl,
                                      FirDlyState* dlyStPtr) {
  if (!KVO_CHECKS.notNull(dlyl, kNullDly).require(dlyStPtr && tapStPtr, kNullBuffer)) {
    return KVO_StatusBadArgument;
  }
  kvo::firlrecord::initDlyl(tapStPtr, dlyl, dlyStPtr);
  return KVO_StatusOk;
}

KVO_API int KVO_CALL kvowFirlSetTaps(const float* tapVals, FirTapState* tapStPtr) {
  return setTaps(KVO_SITE, tapVals, tapStPtr);
}

KVO_API int KVO_CALL kvowFirlGetTaps(FirTapState* tapStPtr, float* tapVals) {
  if (!KVO_CHECKS.notNull(tapStPtr, kNullTap)
           .notNull(tapVals, kNullBuffer)
           .require(tapStPtr && tapStPtr->isFilterMode == 1, "Filter Taps is not setup")) {
    return KVO_StatusBadArgument;
  }
  const int L = tapStPtr->tapsLen;
  float* tmp = temporary(L);
  if (tmp == nullptr) return KVO_StatusOutOfMemory;
  fir::dequantizeTaps(static_cast<const short*>(tapStPtr->taps), L, rateOf(tapStPtr),
                      tapStPtr->tapsFactor, tmp);
  std::memcpy(tapVals, tmp, sizeof(float) * static_cast<std::size_t>(L));
  kvoFree(tmp);
  if (tapVals == tapStPtr->taps) tapStPtr->isFilterMode = 0;
  return KVO_StatusOk;
}

KVO_API int KVO_CALL kvowFirlSetDlyl(const FirTapState* tapStPtr, const short* dlylVals,
                                     FirDlyState* dlyStPtr) {
  if (!KVO_CHECKS.notNull(dlyStPtr, kNullDly)
           .notNull(tapStPtr, kNullTap)
           .require(dlyStPtr && dlyStPtr->dlyl, kNullBuffer)) {
    return KVO_StatusBadArgument;
  }
  const std::size_t bytes = sizeof(short) * static_cast<std::size_t>(dlyStPtr->dlylLen);
  if (dlylVals == nullptr) {
    std::memset(dlyStPtr->dlyl, 0, bytes);
  } else if (dlylVals != dlyStPtr->dlyl || dlyStPtr->isFilterMode != 1) {
    std::memmove(dlyStPtr->dlyl, dlylVals, bytes);
  }
  dlyStPtr->isFilterMode = 1;
  return KVO_StatusOk;
}

KVO_API int KVO_CALL kvowFirlGetDlyl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                     short* dlylVals) {
  if (!KVO_CHECKS.notNull(dlyStPtr, kNullDly)
           .notNull(tapStPtr, kNullTap)
           .notNull(dlylVals, kNullBuffer)
           .require(dlyStPtr && dlyStPtr->isFilterMode == 1, "Filter Dlyl is not setup")) {
    return KVO_StatusBadArgument;
  }
  if (dlylVals == dlyStPtr->dlyl) {
    dlyStPtr->isFilterMode = 0;
  } else {
    std::memmove(dlylVals, dlyStPtr->dlyl,
                 sizeof(short) * static_cast<std::size_t>(dlyStPtr->dlylLen));
  }
  return KVO_StatusOk;
}

KVO_API short KVO_CALL kvowFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr, short samp,
                                int scaleMode, int* scaleFactor) {
  Checks c = KVO_CHECKS;
  if (!scaleCheck(recordChecks(c, tapStPtr, dlyStPtr)
                      .require(tapStPtr && tapStPtr->isMultiRate == 0, "MultiRate filter"),
                  scaleMode, scaleFactor)) {
    return 0;
  }
  const std::int32_t sum = fir::oneW(static_cast<const short*>(tapStPtr->taps), tapStPtr->tapsLen,
                                     static_cast<short*>(dlyStPtr->dlyl), samp);
  return fir::scaleOne(sum, tapStPtr->tapsFactor, scaleMode, scaleFactor);
}

KVO_API void KVO_CALL kvowbFirl(const FirTapState* tapStPtr, FirDlyState* dlyStPtr,
                                const short* inSamps, short* outSamps, int numIters, int scaleMode,
                                int* scaleFactor) {
  Checks c = KVO_CHECKS;
  if (!scaleCheck(recordChecks(c, tapStPtr, dlyStPtr)
                      .notNull(inSamps, kNullBuffer)
                      .notNull(outSamps, kNullBuffer)
                      .require(numIters >= 1, "Invalid array length"),
                  scaleMode, scaleFactor)) {
    return;
  }
  const fir::Rate r = rateOf(tapStPtr);
  const long long count = static_cast<long long>(numIters) * (tapStPtr->isMultiRate ? r.up : 1);
  auto* sums = count * 4 < 0x7fffffff
                   ? static_cast<std::int32_t*>(kvoMalloc(static_cast<int>(count * 4)))
                   : nullptr;
  if (sums == nullptr) {
    KVO_SITE.report(KVO_StatusOutOfMemory, "Allocation failure");
    return;
  }
  const auto* h = static_cast<const short*>(tapStPtr->taps);
  auto* dly = static_cast<short*>(dlyStPtr->dlyl);
  if (tapStPtr->isMultiRate) {
    fir::blockMrW(h, tapStPtr->tapsLen, r, dly, dlyStPtr->dlylLen, inSamps, sums, numIters);
  } else {
    fir::blockW(h, tapStPtr->tapsLen, dly, inSamps, sums, numIters);
  }
  fir::scaleBlock(sums, outSamps, static_cast<int>(count), tapStPtr->tapsFactor, scaleMode,
                  scaleFactor);
  kvoFree(sums);
}

}  // extern "C"
