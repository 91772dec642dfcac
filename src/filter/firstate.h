// The library-owned arrays of the high-level FIR filter, shared by the float and 16-bit modules.
//
// The work buffer holds dlylLen history samples (oldest first) at `window`, followed by room for
// bufLen new samples: the single-sample filter appends behind the window and advances it, and
// only when the window reaches bufEnd is the history moved back to the start, once per bufLen
// samples. Block filtering moves the history to the start first and leaves it there.
#pragma once

#include <cstring>

#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace kvo::firstate {

namespace fir = kvo::kern::fir;

inline bool isLive(const FirState* st) { return st->self == st; }

inline fir::Rate rateOf(const FirState* st) {
  return fir::Rate{st->upFactor, st->upPhase, st->downFactor, st->downPhase};
}

// statePtr present and initialised.
inline Checks& liveChecks(Checks& c, const FirState* st) {
  return c.notNull(st, "Null state pointer")
      .require(st && isLive(st), "Must have been initialized");
}

// Releases the arrays of a live record and marks it uninitialised.
inline void release(FirState* st) {
  if (st->taps) kvoFree(st->taps);
  if (st->buffer) kvoFree(st->buffer);
  if (st->schedule) kvoFree(st->schedule);
  st->taps = st->buffer = st->bufEnd = st->window = nullptr;
  st->schedule = nullptr;
  st->self = nullptr;
}

// The record's fields and arrays for tapsLen taps of tapBytes bytes in all and samples of type
// TS; reports and returns KVO_StatusOutOfMemory when an array cannot be had.
template <class TS>
int build(const Site& s, FirState* st, int tapsLen, std::size_t tapBytes, fir::Rate r) {
  if (isLive(st)) release(st);
  st->upFactor = r.up;
  st->upPhase = r.upPhase;
  st->downFactor = r.down;
  st->downPhase = r.downPhase;
  st->isMultiRate = r.up >= 2 || r.down >= 2 ? 1 : 0;
  st->self = st;
  st->tapsLen = tapsLen;
  st->tapsLen8 = tapsLen / 8 * 8;
  st->tapsFactor = 0;
  if (st->isMultiRate) {
    st->dlylLen = (tapsLen + r.up - 1) / r.up;
    const int room = st->dlylLen > 127 ? st->dlylLen : 127;
    st->bufLen = r.down * ((room + r.down - 1) / r.down);
  } else {
    st->dlylLen = tapsLen - 1;
    st->bufLen = (tapsLen - 1 > 127 ? tapsLen - 1 : 127) + 1;
  }
  const long long bufBytes = static_cast<long long>(st->dlylLen + st->bufLen) * sizeof(TS);
  st->taps = tapBytes < 0x7fffffff ? kvoMalloc(static_cast<int>(tapBytes)) : nullptr;
  st->buffer = bufBytes < 0x7fffffff ? kvoMalloc(static_cast<int>(bufBytes)) : nullptr;
  st->schedule = nullptr;
  bool ok = st->taps != nullptr && st->buffer != nullptr;
  if (ok && st->isMultiRate) {
    st->schedule = static_cast<int*>(kvoMalloc(static_cast<int>(sizeof(int)) * 4 * r.up));
    ok = st->schedule != nullptr;
  }
  if (!ok) {
    release(st);
    return s.report(KVO_StatusOutOfMemory, "Allocation failure");
  }
  TS* buf = static_cast<TS*>(st->buffer);
  st->window = buf;
  st->bufEnd = buf + st->bufLen;
  if (st->isMultiRate) {
    for (int j = 0; j < r.up; ++j) {
      const fir::Phase ph = fir::phaseAt(tapsLen, r, j);
      st->schedule[4 * j] = ph.branch;
      st->schedule[4 * j + 1] = ph.len;
      st->schedule[4 * j + 2] = ph.newest;
      st->schedule[4 * j + 3] = ph.offset;
    }
  }
  return KVO_StatusOk;
}

// InitMr's checks (Init passes the unit rates).
inline bool rateChecks(Checks& c, const FirState* st, int tapsLen, fir::Rate r) {
  constexpr const char* kBad = "Invalid value";
  return c.notNull(st, "Null state pointer")
      .require(r.up >= 1, kBad)
      .require(r.down >= 1, kBad)
      .require(r.upPhase >= 0 && r.upPhase < r.up, kBad)
      .require(r.downPhase >= 0 && r.downPhase < r.down, kBad)
      .require(tapsLen >= 1, kBad)
      .ok();
}

template <class TS>
TS* window(const FirState* st) {
  return static_cast<TS*>(st->window);
}

template <class TS>
void setDlyl(FirState* st, const TS* vals) {
  const std::size_t bytes = sizeof(TS) * static_cast<std::size_t>(st->dlylLen);
  if (vals == nullptr) {
    std::memset(st->window, 0, bytes);
  } else {
    std::memmove(st->window, vals, bytes);
  }
}

template <class TS>
void getDlyl(const FirState* st, TS* vals) {
  std::memmove(vals, st->window, sizeof(TS) * static_cast<std::size_t>(st->dlylLen));
}

// The single-sample path: samp goes behind the history; returns the window of dlylLen + 1
// samples (oldest first) to filter, then advance() moves on.
template <class TS>
const TS* push(FirState* st, TS samp) {
  TS* w = window<TS>(st);
  w[st->dlylLen] = samp;
  return w;
}
template <class TS>
void advance(FirState* st) {
  TS* w = window<TS>(st) + 1;
  if (w == st->bufEnd) {
    std::memmove(st->buffer, w, sizeof(TS) * static_cast<std::size_t>(st->dlylLen));
    w = static_cast<TS*>(st->buffer);
  }
  st->window = w;
}

// Before a block: the history back at the start of the buffer; returns it.
template <class TS>
const TS* history(FirState* st) {
  if (st->window != st->buffer) {
    std::memmove(st->buffer, st->window, sizeof(TS) * static_cast<std::size_t>(st->dlylLen));
    st->window = st->buffer;
  }
  return static_cast<const TS*>(st->buffer);
}
// After a block of `count` inputs: the history holds the newest dlylLen samples.
template <class TS>
void keepNewest(FirState* st, const TS* in, std::size_t count) {
  TS* h = static_cast<TS*>(st->buffer);
  const std::size_t len = static_cast<std::size_t>(st->dlylLen);
  if (count >= len) {
    std::memcpy(h, in + (count - len), len * sizeof(TS));
  } else {
    std::memmove(h, h + count, (len - count) * sizeof(TS));
    std::memcpy(h + (len - count), in, count * sizeof(TS));
  }
}

}  // namespace kvo::firstate
