// The frame of the Goertzel entries shared by the floating-point module (kvogrtzl) and the 16-bit
// module (kvogrtzw): initialisation, reset and the checked single-sample and block runs.
#pragma once

#include <cmath>

#include "frame/check.h"
#include "kernels/transform/goertz.h"
#include "kvo.h"

namespace kvo::goertz {

// Checks the record and the frequency (0 <= freq < 1; NaN fails both comparisons), then stores
// freq and the trigonometric values of omega = 2*pi*freq, computed in double precision.
template <class State>
int init(const Site& site, kern::GoertzReal<State> freq, State* st) {
  if (st == nullptr) return site.report(KVO_StatusBadArgument, "Null state pointer");
  if (!(freq >= 0 && freq < 1))
    return site.report(KVO_StatusBadArgument, "Invalid frequency value");
  using R = kern::GoertzReal<State>;
  const double omega = 6.283185307179586 * static_cast<double>(freq);
  st->freq = freq;
  st->cosVal = static_cast<R>(std::cos(omega));
  st->sinVal = static_cast<R>(std::sin(omega));
  st->twoCos = static_cast<R>(2.0 * std::cos(omega));
  st->delay2 = {0, 0};
  st->delay1 = {0, 0};
  return KVO_StatusOk;
}

// A null record is reported like everywhere else in the family.
template <class State>
void reset(const Site& site, State* st) {
  if (st == nullptr) {
    site.report(KVO_StatusBadArgument, "Null state pointer");
    return;
  }
  st->delay2 = {0, 0};
  st->delay1 = {0, 0};
}

// The block checks: the record, the samples and their count.
template <class State, class Sample>
Checks& blockChecks(Checks&& checks, const State* st, const Sample* x, int n) {
  return checks.notNull(st, "Null state pointer")
      .notNull(x, "Null buffer pointer")
      .require(n >= 1, "Invalid array length");
}

}  // namespace kvo::goertz
