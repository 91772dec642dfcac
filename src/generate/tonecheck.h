// Argument checks shared by the float, double and 16-bit tone generators.
#pragma once

#include <cstddef>

#include "frame/check.h"
#include "kernels/generate/genfield.h"
#include "kernels/generate/tone.h"

namespace kvo::gen {

// Init: magnitude, frequency, phase, record. NaN arguments fail their check (-0.0 passes).
inline bool toneInitOk(const Site& s, double rFreq, double phase, bool magOk, const void* st) {
  return bool(Checks(s)
                  .require(magOk, "Invalid magnitude value")
                  .require(rFreq >= 0 && rFreq < 0.5, "Invalid freq value")
                  .require(phase >= 0 && phase < 2 * kern::gen::kPi, "Invalid phase value")
                  .notNull(st, "Null pointer to state"));
}

inline bool toneOk(const Site& s, const ToneState* st) {
  return Checks(s).notNull(st, "Null pointer to state") &&
         Checks(s).require(kern::tone::initialised(*st), "Structure initialization need");
}

inline bool toneBlockOk(const Site& s, const ToneState* st, const void* samps, int n) {
  return Checks(s)
             .notNull(st, "Null pointer to state")
             .notNull(samps, "Null input buffer pointer")
             .positive(n, "Bad number of items") &&
         Checks(s).require(kern::tone::initialised(*st), "Structure initialization need");
}

// The checked single-sample and block forms around a member's kernels.
template <class T, class Kernel>
T toneSingle(const Site& s, ToneState* st, Kernel next) {
  return toneOk(s, st) ? next(*st) : T{};
}

template <class T, class Kernel>
int toneBlock(const Site& s, ToneState* st, T* y, int n, Kernel fill) {
  if (!toneBlockOk(s, st, y, n)) return KVO_StatusBadArgument;
  fill(*st, y, static_cast<std::size_t>(n));
  return KVO_StatusOk;
}

}  // namespace kvo::gen
