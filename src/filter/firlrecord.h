// The low-level FIR records, shared by the float and 16-bit modules.
#pragma once

#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace kvo::firlrecord {

namespace fir = kvo::kern::fir;

// A taps record over the caller's array, not yet in filter form.
inline void init(void* taps, int tapsLen, fir::Rate r, FirTapState* tapStPtr) {
  tapStPtr->taps = taps;
  tapStPtr->tapsLen = tapsLen;
  tapStPtr->upFactor = r.up;
  tapStPtr->upPhase = r.upPhase;
  tapStPtr->downFactor = r.down;
  tapStPtr->downPhase = r.downPhase;
  tapStPtr->isMultiRate = r.up > 1 || r.down > 1 ? 1 : 0;
  tapStPtr->isFilterMode = 0;
  tapStPtr->tapsFactor = 0;
}

// A delay-line record over the caller's array: tapsLen elements single-rate, ceil(tapsLen /
// upFactor) multi-rate; its contents are left as they are.
inline void initDlyl(const FirTapState* tapStPtr, void* dlyl, FirDlyState* dlyStPtr) {
  dlyStPtr->dlyl = dlyl;
  dlyStPtr->dlylLen = tapStPtr->isMultiRate
                          ? (tapStPtr->tapsLen + tapStPtr->upFactor - 1) / tapStPtr->upFactor
                          : tapStPtr->tapsLen;
  dlyStPtr->isFilterMode = 0;
}

// InitMr's checks after the pointer check (whose message differs between the modules).
inline bool rateChecks(Checks&& c, bool pointersOk, const char* nullMessage, int tapsLen,
                       fir::Rate r) {
  return c.require(pointersOk, nullMessage)
      .require(tapsLen >= 1, "Invalid array length")
      .require(r.upPhase >= 0 && r.downPhase >= 0, "Invalid phase value")
      .require(r.up > r.upPhase, "Invalid factor value")
      .require(r.down > r.downPhase, "Invalid factor value")
      .ok();
}

}  // namespace kvo::firlrecord
