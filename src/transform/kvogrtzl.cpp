// Goertzel analysis of one frequency in float and double, real and complex (module kvogrtzl).
#include "frame/check.h"
#include "kernels/transform/goertz.h"
#include "kvo.h"
#include "transform/goertzel.h"

namespace {

constexpr const char* kModule = "kvogrtzl";

using kvo::Checks;
using kvo::Site;
namespace goertz = kvo::goertz;

template <class State, class Sample>
kvo::kern::GoertzComplex<State> one(const Site& site, State* st, Sample x) {
  if (st == nullptr) {
    site.report(KVO_StatusBadArgument, "Null state pointer");
    return {0, 0};
  }
  return kvo::kern::goertzRun(*st, &x, 1);
}

template <class State, class Sample>
kvo::kern::GoertzComplex<State> block(const Site& site, State* st, const Sample* x, int n) {
  if (!goertz::blockChecks(Checks(site), st, x, n)) return {0, 0};
  return kvo::kern::goertzRun(*st, x, static_cast<std::size_t>(n));
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvosGoertzInit(float freq, GoertzState* state) {
  return goertz::init(KVO_SITE, freq, state);
}
KVO_API int KVO_CALL kvocGoertzInit(float freq, GoertzState* state) {
  return goertz::init(KVO_SITE, freq, state);
}
KVO_API int KVO_CALL kvodGoertzInit(double freq, GoertzStateDouble* state) {
  return goertz::init(KVO_SITE, freq, state);
}
KVO_API int KVO_CALL kvozGoertzInit(double freq, GoertzStateDouble* state) {
  return goertz::init(KVO_SITE, freq, state);
}

KVO_API void KVO_CALL kvosGoertzReset(GoertzState* state) { goertz::reset(KVO_SITE, state); }
KVO_API void KVO_CALL kvocGoertzReset(GoertzState* state) { goertz::reset(KVO_SITE, state); }
KVO_API void KVO_CALL kvodGoertzReset(GoertzStateDouble* state) { goertz::reset(KVO_SITE, state); }
KVO_API void KVO_CALL kvozGoertzReset(GoertzStateDouble* state) { goertz::reset(KVO_SITE, state); }

KVO_API ComplexFloat KVO_CALL kvosGoertz(GoertzState* state, float sample) {
  return one(KVO_SITE, state, sample);
}
KVO_API ComplexFloat KVO_CALL kvocGoertz(GoertzState* state, ComplexFloat sample) {
  return one(KVO_SITE, state, sample);
}
KVO_API ComplexDouble KVO_CALL kvodGoertz(GoertzStateDouble* state, double sample) {
  return one(KVO_SITE, state, sample);
}
KVO_API ComplexDouble KVO_CALL kvozGoertz(GoertzStateDouble* state, ComplexDouble sample) {
  return one(KVO_SITE, state, sample);
}

KVO_API ComplexFloat KVO_CALL kvosbGoertz(GoertzState* state, const float* samples, int length) {
  return block(KVO_SITE, state, samples, length);
}
KVO_API ComplexFloat KVO_CALL kvocbGoertz(GoertzState* state, const ComplexFloat* samples,
                                          int length) {
  return block(KVO_SITE, state, samples, length);
}
KVO_API ComplexDouble KVO_CALL kvodbGoertz(GoertzStateDouble* state, const double* samples,
                                           int length) {
  return block(KVO_SITE, state, samples, length);
}
KVO_API ComplexDouble KVO_CALL kvozbGoertz(GoertzStateDouble* state, const ComplexDouble* samples,
                                           int length) {
  return block(KVO_SITE, state, samples, length);
}

}  // extern "C"
