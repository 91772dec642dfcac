// The high-level IIR filter: one caller-provided IirState whose taps copy and delay line the
// library allocates, driven through the low-level entries (whose reports name themselves; the
// high-level entries add back-trace reports). Shared by the float/double and 16-bit modules.
#pragma once

#include <cstddef>
#include <cstring>

#include "filter/iirl.h"
#include "kvo.h"

namespace kvo::iir {

constexpr int kInitMark = 31725;

inline bool live(const IirState* st) { return st->initMark == kInitMark; }

// The taps record part of the state.
inline IirTapState tapsOf(const IirState* st) {
  return IirTapState{st->order, st->taps, st->iirType, st->isBq};
}

template <class T, class D>
struct LowInit {
  void(KVO_CALL* init)(int, T*, int, IirTapState*);
  void(KVO_CALL* initDlyl)(const IirTapState*, D*, IirDlyState*);
};

// Init (bq false, n = order) and InitBq (n = numQuads). tapRoom is the number of T the taps copy
// reserves, delays the number of delay elements.
template <class T, class D>
void init(const Site& s, int iirType, const T* tapVals, int n, IirState* st, bool bq,
          std::size_t tapRoom, std::size_t tapCount, std::size_t delays, LowInit<T, D> low) {
  Checks c(s, false);
  c.notNull(st, "statePtr==0").notNull(tapVals, "tapVals==0");
  if (!statusOk()) return;
  Checks r(s, false);
  if (bq) {
    r.require(n >= 1, "numQuads <= 0");
  } else {
    r.require(n >= 0, "order < 0");
  }
  r.require(iirType == 0 || iirType == 1, "iirType is out of range");
  r.require(!live(st),
            "IIR filter state structure is already initialized! Use kvoIirFree to free it");
  if (!statusOk()) return;
  T* taps = static_cast<T*>(kvoMalloc(static_cast<int>(tapRoom * sizeof(T))));
  D* dly = delays ? static_cast<D*>(kvoMalloc(static_cast<int>(delays * sizeof(D)))) : nullptr;
  // A missing delay line is refused here as well, so a record never comes out half made.
  if (!taps || (delays && !dly)) {
    kvoFree(taps);
    kvoFree(dly);
    s.report(KVO_StatusOutOfMemory, "insufficiency of memory for IIR filter state");
    return;
  }
  st->initMark = kInitMark;
  std::memcpy(static_cast<void*>(taps), tapVals, tapCount * sizeof(T));
  IirTapState ts{0, nullptr, 0, -1};
  low.init(iirType, taps, n, &ts);
  if (kvoGetErrStatus() != 0) {
    s.report(KVO_StatusBacktrace, nullptr);
    kvoFree(taps);
    kvoFree(dly);
    st->initMark = 0;
    return;
  }
  st->order = ts.order, st->taps = ts.taps, st->iirType = ts.iirType, st->isBq = ts.isBq;
  low.initDlyl(&ts, dly, &st->dlyl);
}

inline void freeState(const Site& s, IirState* st) {
  if (!Checks(s).notNull(st, "statePtr==0")) return;
  if (!Checks(s).require(live(st), "IIR filter wasn't initialized")) return;
  kvoFree(st->taps);
  kvoFree(st->dlyl.dlyl);
  st->taps = nullptr;
  st->dlyl.dlyl = nullptr;
  st->initMark = 0;
}

// The two rounds before filtering: the pointers, then the count (16-bit blocks) and the record.
inline bool stateChecks(const Site& s, const IirState* st, bool block16, const void* in,
                        const void* out, int numIters) {
  Checks c(s, false);
  c.notNull(st, "statePtr==0");
  if (block16) c.notNull(in, "inSamps==0").notNull(out, "outSamps==0");
  if (!statusOk()) return false;
  Checks r(s, false);
  if (block16) r.require(numIters >= 1, "numIters <= 0");
  r.require(live(st), "IIR filter wasn't initialized");
  return statusOk();
}

// A block through the low-level entry; a failure there gets a back-trace report.
template <class F>
int throughLow(const Site& s, F&& lowCall) {
  lowCall();
  if (kvoGetErrStatus() != 0) {
    s.report(KVO_StatusBacktrace, nullptr);
    return KVO_StatusBacktrace;
  }
  return KVO_StatusOk;
}

}  // namespace kvo::iir
