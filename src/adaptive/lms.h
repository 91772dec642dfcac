// The LMS operations on taps and delay-line records, shared by the low-level entries (kvolmsl)
// and the high-level ones (kvolmsh), which report under their own names.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "frame/check.h"
#include "kernels/adaptive/lms.h"
#include "kvo.h"

namespace kvo::lms {

using kern::lms::Out;
using CF = ComplexFloat;
using CD = ComplexDouble;

inline constexpr const char* kNull = "Null buffer pointer";
inline constexpr const char* kLength = "Invalid buffer length";
inline constexpr const char* kErrDly = "Invalid error delay value";
inline constexpr const char* kFactor = "Invalid factor value";

// Which sign of the step lets a step adapt.
enum class When { Positive, Nonzero, Always };

inline bool adapts(float step, When when) {
  switch (when) {
    case When::Positive:
      return step > 0;
    case When::Nonzero:
      return step != 0;
    default:
      return true;
  }
}

// Float to Q13: value times 8192 truncated toward zero. Beyond the 32-bit range the value
// saturates and a NaN gives 0, rather than the processor's undefined conversion.
inline std::int32_t toQ13(float v) {
  const double q = double(v) * 8192.0;
  if (!(q == q)) return 0;
  if (q >= 2147483647.0) return INT32_MAX;
  if (q <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(q);
}
inline float fromQ13(std::int32_t q) { return float(q) * (1.0f / 8192.0f); }

inline void fillTaps(LmsTapState* t, void* taps, int tapsLen, float step, float leak, int errDly,
                     int downFactor, int downPhase, int lmsType) {
  t->taps = taps;
  t->tapsLen = tapsLen;
  t->upFactor = 1;
  t->upPhase = 0;
  t->downFactor = downFactor;
  t->downPhase = downPhase;
  t->isMultiRate = downFactor >= 2;
  t->isFilterMode = 1;
  t->leak = leak;
  t->step = step;
  t->errDly = errDly;
  t->lmsType = lmsType;
}

// The delay-line length a taps record asks for, or -1 beyond the 32-bit range.
inline int lineLength(const LmsTapState* t, bool adaptive) {
  const std::int64_t len =
      std::int64_t(t->tapsLen) + (adaptive ? t->errDly : 0) + (t->isMultiRate ? t->downFactor : 0);
  return len > INT32_MAX ? -1 : static_cast<int>(len);
}

// ---- taps and delay line ----

// Taps in the caller's order; nothing moves when the destination is the taps array itself.
template <class T>
void getTaps(const Site& s, LmsTapState* t, T* out) {
  if (!Checks(s).require(t && out && t->taps, kNull) ||
      !Checks(s).require(t->tapsLen >= 1, kLength))
    return;
  if (out != t->taps) std::memcpy(static_cast<void*>(out), t->taps, t->tapsLen * sizeof(T));
  t->isFilterMode = 0;
}

template <class T>
int setTaps(const Site& s, const T* in, LmsTapState* t) {
  Checks c(s);
  if (!c.require(t && t->taps, kNull) || !c.require(t->tapsLen >= 1, kLength)) {
    return KVO_StatusBadArgument;
  }
  if (!in) {
    std::memset(t->taps, 0, t->tapsLen * sizeof(T));
  } else if (in != t->taps) {
    std::memcpy(t->taps, static_cast<const void*>(in), t->tapsLen * sizeof(T));
  }
  t->isFilterMode = 1;
  return KVO_StatusOk;
}

// The 16-bit taps as floats. In place the array turns back into floats, which needs the Q13 form.
inline void getTapsShort(const Site& s, LmsTapState* t, float* out) {
  if (!Checks(s).require(t && out && t->taps, kNull) ||
      !Checks(s).require(t->tapsLen >= 1, kLength))
    return;
  auto* q = static_cast<std::int32_t*>(t->taps);
  if (static_cast<void*>(out) == t->taps) {
    if (!t->isFilterMode) {
      kvoSetErrStatus(KVO_StatusBadState);
      return;
    }
    for (int i = 0; i < t->tapsLen; ++i) {
      const float v = fromQ13(q[i]);
      std::memcpy(out + i, &v, sizeof v);
    }
  } else {
    for (int i = 0; i < t->tapsLen; ++i) out[i] = fromQ13(q[i]);
  }
  t->isFilterMode = 0;
}

inline int setTapsShort(const Site& s, const float* in, LmsTapState* t) {
  if (!Checks(s).require(t && t->taps, kNull) || !Checks(s).require(t->tapsLen >= 1, kLength)) {
    return KVO_StatusBadArgument;
  }
  auto* q = static_cast<std::int32_t*>(t->taps);
  if (!in) {
    std::memset(q, 0, t->tapsLen * sizeof(std::int32_t));
  } else if (static_cast<const void*>(in) == t->taps) {
    if (t->isFilterMode) {
      kvoSetErrStatus(KVO_StatusBadState);
      return KVO_StatusBadState;
    }
    for (int i = 0; i < t->tapsLen; ++i) {
      float v;
      std::memcpy(&v, q + i, sizeof v);
      q[i] = toQ13(v);
    }
  } else {
    for (int i = 0; i < t->tapsLen; ++i) q[i] = toQ13(in[i]);
  }
  t->isFilterMode = 1;
  return KVO_StatusOk;
}

// The first dlylLen - 1 entries reversed; the oldest entry is not exchanged.
template <class T>
void reverse(T* v, int n) {
  for (int lo = 0, hi = n - 1; lo < hi; ++lo, --hi) {
    const T tmp = v[lo];
    v[lo] = v[hi];
    v[hi] = tmp;
  }
}

template <class T>
void getDlyl(const Site& s, const LmsTapState* t, LmsDlyState* d, T* out) {
  if (!Checks(s).require(t && d && out && d->dlyl, kNull) ||
      !Checks(s).require(d->dlylLen >= 1, kLength)) {
    return;
  }
  auto* x = static_cast<T*>(d->dlyl);
  const int count = d->dlylLen - 1;
  if (out == x) {
    if (!d->isFilterMode) {
      kvoSetErrStatus(KVO_StatusBadState);
      return;
    }
    reverse(x, count);
  } else {
    for (int k = 0; k < count; ++k) out[k] = x[count - 1 - k];
  }
  d->isFilterMode = 0;
}

template <class T>
int setDlyl(const Site& s, const LmsTapState* t, const T* in, LmsDlyState* d) {
  if (!Checks(s).require(t && d && d->dlyl, kNull) ||
      !Checks(s).require(d->dlylLen >= 1, kLength)) {
    return KVO_StatusBadArgument;
  }
  auto* x = static_cast<T*>(d->dlyl);
  const int count = d->dlylLen - 1;
  if (!in) {
    std::memset(static_cast<void*>(x), 0, d->dlylLen * sizeof(T));
  } else if (in == x) {
    if (d->isFilterMode) {
      kvoSetErrStatus(KVO_StatusBadState);
      return KVO_StatusBadState;
    }
    reverse(x, count);
  } else {
    for (int k = 0; k < count; ++k) x[k] = in[count - 1 - k];
  }
  d->isFilterMode = 1;
  return KVO_StatusOk;
}

// ---- filtering ----

// The reach of a step on these records. The line must hold every entry the step reads or moves:
// a record that does not fit (a line made for other taps, a non-adaptive line with an error
// delay, a block step on a line without the decimation entries) is refused, never read past.
inline bool shapeOf(const Site& s, const LmsTapState* t, const LmsDlyState* d, bool block,
                    kern::lms::Shape& out) {
  Checks c(s);
  if (!c.require(t->taps && d->dlyl, kNull).require(t->tapsLen >= 1, kLength)) return false;
  if (!c.require(t->errDly >= 0, kErrDly)) return false;
  const std::int64_t n = t->tapsLen, e = t->errDly, len = d->dlylLen;
  if (!block) {
    if (!c.require(len >= n + e, kLength)) return false;
    out = {std::size_t(n), std::size_t(e), 0, 1, std::size_t(len - 1)};
    return true;
  }
  const std::int64_t down = t->downFactor, phase = t->downPhase;
  if (!c.require(down >= 1 && phase >= 0 && phase < down, kFactor)) return false;
  const std::int64_t b = down - 1 - phase;
  if (!c.require(len >= b + n + e && len >= down, kLength)) return false;
  const std::int64_t moved = n + e < len - down ? n + e : len - down;
  out = {std::size_t(n), std::size_t(b + e), std::size_t(b), std::size_t(down), std::size_t(moved)};
  return true;
}

// `count` steps on the records (see kern::lms::Run); false after a report.
template <class TS, class TT>
bool filter(const Site& s, LmsTapState* t, LmsDlyState* d, const TS* in, bool block, When when,
            const Out<TS, TT>* des, Out<TS, TT>* out, int count, Out<TS, TT>* err) {
  kern::lms::Shape shape;
  if (!shapeOf(s, t, d, block, shape)) return false;
  const kern::lms::Run<TS, TT> run{
      static_cast<TT*>(t->taps), static_cast<TS*>(d->dlyl), shape, t->step, t->leak,
      adapts(t->step, when)};
  kern::lms::run(run, in, des, out, static_cast<std::size_t>(count), err);
  return true;
}

// One step with the caller's error.
template <class TS, class TT>
Out<TS, TT> stepWithError(const Site& s, LmsTapState* t, LmsDlyState* d, const TS* in, bool block,
                          When when, Out<TS, TT> err) {
  Out<TS, TT> y{};
  if (!filter<TS, TT>(s, t, d, in, block, when, nullptr, &y, 1, &err)) return {};
  return y;
}

}  // namespace kvo::lms
