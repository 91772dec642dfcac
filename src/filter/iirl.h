// Argument checks of the low-level IIR entries, shared by the float/double and 16-bit modules.
//
// Every check of a round is evaluated and each failure reported; the operation then stops if the
// thread's status is negative, which also stops it when an earlier failure on the same thread was
// never cleared.
#pragma once

#include "frame/check.h"
#include "kvo.h"

namespace kvo::iir {

inline bool statusOk() { return kvoGetErrStatus() >= 0; }

inline bool initialised(const IirTapState* t) {
  return t->taps != nullptr && (t->isBq == 0 || t->isBq == 1);
}

// Init (bq false, n = order) and InitBq (bq true, n = numQuads). The 16-bit module words the
// count messages without spaces.
inline bool initChecks(const Site& s, const IirTapState* tapStPtr, const void* taps, int iirType,
                       int n, bool bq, bool word16) {
  Checks c(s, false);
  c.notNull(tapStPtr, "tapStPtr==0").notNull(taps, "taps==0");
  if (bq) {
    c.require(n >= 1, word16 ? "numQuads<=0" : "numQuads <= 0");
  } else {
    c.require(n >= 0, word16 ? "order<0" : "order < 0");
  }
  c.require(iirType == 0 || iirType == 1, "iirType is out of range");
  return statusOk();
}

inline bool dlylChecks(const Site& s, const IirTapState* tapStPtr, const void* dlyl,
                       IirDlyState* dlyStPtr) {
  Checks c(s, false);
  c.notNull(tapStPtr, "tapStPtr==0").notNull(dlyStPtr, "dlyStPtr==0");
  if (tapStPtr) {
    c.require(initialised(tapStPtr), "structure *tapStPtr wasn't initialized");
    c.require(!(tapStPtr->order > 0 && dlyl == nullptr), "dlyl==0");
  }
  return statusOk();
}

// Iirl (block false) and bIirl: the pointers, then the records and the count.
inline bool filterChecks(const Site& s, const IirTapState* tapStPtr, const IirDlyState* dlyStPtr,
                         bool block, const void* in, const void* out, int numIters) {
  Checks c(s, false);
  c.notNull(tapStPtr, "tapStPtr==0").notNull(dlyStPtr, "dlyStPtr==0");
  if (block) c.notNull(in, "inSamps==0").notNull(out, "outSamps==0");
  if (!statusOk()) return false;
  Checks r(s, false);
  r.require(initialised(tapStPtr), "structure *tapStPtr wasn't initialized");
  r.require(!(tapStPtr->order > 0 && dlyStPtr->dlyl == nullptr),
            "structure *dlyStPtr wasn't initialized");
  if (block) r.require(numIters >= 0, "numIters < 0");
  return statusOk();
}

}  // namespace kvo::iir
