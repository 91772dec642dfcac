// Goertzel analysis of 16-bit samples (module kvogrtzw). The samples are converted to float, the
// single-precision recurrence runs on the GoertzState record, and the complex result is brought
// back to 16 bits with the scale mode and factor.
#include <cstddef>

#include "frame/check.h"
#include "kernels/transform/goertz.h"
#include "kernels/vector/scale.h"
#include "kvo.h"
#include "transform/goertzel.h"

namespace {

constexpr const char* kModule = "kvogrtzw";

using kvo::Checks;
using kvo::Site;
namespace goertz = kvo::goertz;

// The scale checks that follow the record and buffer checks.
bool scaleChecks(Checks& checks, int scaleMode, const int* scaleFactor) {
  return checks.notNull(scaleFactor, "Zero scale factor pointer")
      .require(scaleFactor == nullptr || (*scaleFactor >= -14 && *scaleFactor <= 14),
               "Too large scale factor")
      .require(scaleMode <= 4, "Erroneus scale mode")
      .ok();
}

ComplexShort toShort(ComplexFloat r, int scaleMode, int* scaleFactor) {
  ComplexShort out;
  kvo::kvoScaleFloatsToShorts(&r.re, &out.re, 2, scaleMode, scaleFactor);
  return out;
}

float toFloat(short x) { return x; }
ComplexFloat toFloat(ComplexShort x) { return {float(x.re), float(x.im)}; }

template <class Sample>
ComplexShort one(const Site& site, GoertzState* st, Sample x, int scaleMode, int* scaleFactor) {
  Checks checks(site);
  if (!scaleChecks(checks.notNull(st, "Null state pointer"), scaleMode, scaleFactor)) return {0, 0};
  const auto f = toFloat(x);
  return toShort(kvo::kern::goertzRun(*st, &f, 1), scaleMode, scaleFactor);
}

template <class Sample>
ComplexShort block(const Site& site, GoertzState* st, const Sample* x, int n, int scaleMode,
                   int* scaleFactor) {
  if (!scaleChecks(goertz::blockChecks(Checks(site), st, x, n), scaleMode, scaleFactor)) {
    return {0, 0};
  }
  using F = decltype(toFloat(x[0]));
  auto* work =
      static_cast<F*>(kvoMalloc(n > 0x7fffffff / int(sizeof(F)) ? -1 : n * int(sizeof(F))));
  if (work == nullptr) {
    site.report(KVO_StatusOutOfMemory, "No memory for working array");
    return {0, 0};
  }
  for (int i = 0; i < n; ++i) work[i] = toFloat(x[i]);
  const ComplexFloat r = kvo::kern::goertzRun(*st, work, static_cast<std::size_t>(n));
  kvoFree(work);
  return toShort(r, scaleMode, scaleFactor);
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvowGoertzInit(float freq, GoertzState* state) {
  return goertz::init(KVO_SITE, freq, state);
}
KVO_API int KVO_CALL kvovGoertzInit(float freq, GoertzState* state) {
  return goertz::init(KVO_SITE, freq, state);
}
KVO_API void KVO_CALL kvowGoertzReset(GoertzState* state) { goertz::reset(KVO_SITE, state); }
KVO_API void KVO_CALL kvovGoertzReset(GoertzState* state) { goertz::reset(KVO_SITE, state); }

KVO_API ComplexShort KVO_CALL kvowGoertz(GoertzState* state, short sample, int scaleMode,
                                         int* scaleFactor) {
  return one(KVO_SITE, state, sample, scaleMode, scaleFactor);
}
KVO_API ComplexShort KVO_CALL kvovGoertz(GoertzState* state, ComplexShort sample, int scaleMode,
                                         int* scaleFactor) {
  return one(KVO_SITE, state, sample, scaleMode, scaleFactor);
}
KVO_API ComplexShort KVO_CALL kvowbGoertz(GoertzState* state, const short* samples, int length,
                                          int scaleMode, int* scaleFactor) {
  return block(KVO_SITE, state, samples, length, scaleMode, scaleFactor);
}
KVO_API ComplexShort KVO_CALL kvovbGoertz(GoertzState* state, const ComplexShort* samples,
                                          int length, int scaleMode, int* scaleFactor) {
  return block(KVO_SITE, state, samples, length, scaleMode, scaleFactor);
}

}  // extern "C"
