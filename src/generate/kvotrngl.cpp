// Triangle generator, all members (module kvotrngl). Init and the block members return nothing;
// their failures are reported and left in the thread's status.
#include <cstddef>

#include "frame/check.h"
#include "kernels/generate/trngl.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvotrngl";

namespace trngl = kvo::kern::trngl;
using kvo::Checks;
using kvo::Site;
constexpr double kPi = kvo::kern::gen::kPi;

// NaN arguments fail their check; a magnitude of -0.0 passes.
template <class F>
void init(const Site& s, double rFreq, double phase, double mag, double asym, TrnglState* st,
          bool complex) {
  if (Checks(s)
          .require(mag >= 0, "Invalid magnitude value")
          .require(rFreq >= 0 && rFreq < 0.5, "Invalid frequence value")
          .require(phase >= 0 && phase < 2 * kPi, "Invalid phase value")
          .require(asym > -kPi && asym < kPi, "Invalid asymmetry value")
          .notNull(st, "Null pointer to state")) {
    trngl::init<F>(*st, rFreq, phase, mag, asym, complex);
  }
}

template <class F, class T>
T single(const Site& s, TrnglState* st) {
  if (!Checks(s).notNull(st, "Null pointer to state")) return T{};
  if constexpr (kvo::kern::gen::kIsPair<T>) {
    return trngl::complexSingle<F, T>(*st);
  } else {
    return trngl::realSingle<F, T>(*st);
  }
}

template <class F, class T>
void block(const Site& s, TrnglState* st, T* y, int n) {
  if (!Checks(s)
           .notNull(st, "Null pointer to state")
           .notNull(y, "Null pointer to buffer")
           .positive(n, "Invalid number of items")) {
    return;
  }
  if constexpr (kvo::kern::gen::kIsPair<T>) {
    trngl::complexBlock<F>(*st, y, static_cast<std::size_t>(n));
  } else {
    trngl::realBlock<F>(*st, y, static_cast<std::size_t>(n));
  }
}

}  // namespace

using CF = ComplexFloat;
using CD = ComplexDouble;
using CS = ComplexShort;

extern "C" {

KVO_API void KVO_CALL kvosTrnglInit(float rFreq, float phase, float mag, float asym,
                                    TrnglState* statePtr) {
  init<float>(KVO_SITE, rFreq, phase, mag, asym, statePtr, false);
}
KVO_API void KVO_CALL kvocTrnglInit(float rFreq, float phase, float mag, float asym,
                                    TrnglState* statePtr) {
  init<float>(KVO_SITE, rFreq, phase, mag, asym, statePtr, true);
}
KVO_API void KVO_CALL kvodTrnglInit(double rFreq, double phase, double mag, double asym,
                                    TrnglState* statePtr) {
  init<double>(KVO_SITE, rFreq, phase, mag, asym, statePtr, false);
}
KVO_API void KVO_CALL kvozTrnglInit(double rFreq, double phase, double mag, double asym,
                                    TrnglState* statePtr) {
  init<double>(KVO_SITE, rFreq, phase, mag, asym, statePtr, true);
}
KVO_API void KVO_CALL kvowTrnglInit(float rFreq, float phase, short mag, float asym,
                                    TrnglState* statePtr) {
  init<float>(KVO_SITE, rFreq, phase, mag, asym, statePtr, false);
}
KVO_API void KVO_CALL kvovTrnglInit(float rFreq, float phase, short mag, float asym,
                                    TrnglState* statePtr) {
  init<float>(KVO_SITE, rFreq, phase, mag, asym, statePtr, true);
}

KVO_API float KVO_CALL kvosTrngl(TrnglState* statePtr) {
  return single<float, float>(KVO_SITE, statePtr);
}
KVO_API CF KVO_CALL kvocTrngl(TrnglState* statePtr) {
  return single<float, CF>(KVO_SITE, statePtr);
}
KVO_API double KVO_CALL kvodTrngl(TrnglState* statePtr) {
  return single<double, double>(KVO_SITE, statePtr);
}
KVO_API CD KVO_CALL kvozTrngl(TrnglState* statePtr) {
  return single<double, CD>(KVO_SITE, statePtr);
}
KVO_API short KVO_CALL kvowTrngl(TrnglState* statePtr) {
  return single<float, short>(KVO_SITE, statePtr);
}
KVO_API CS KVO_CALL kvovTrngl(TrnglState* statePtr) {
  return single<float, CS>(KVO_SITE, statePtr);
}

KVO_API void KVO_CALL kvosbTrngl(TrnglState* statePtr, float* samps, int sampsLen) {
  block<float>(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API void KVO_CALL kvocbTrngl(TrnglState* statePtr, CF* samps, int sampsLen) {
  block<float>(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API void KVO_CALL kvodbTrngl(TrnglState* statePtr, double* samps, int sampsLen) {
  block<double>(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API void KVO_CALL kvozbTrngl(TrnglState* statePtr, CD* samps, int sampsLen) {
  block<double>(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API void KVO_CALL kvowbTrngl(TrnglState* statePtr, short* samps, int sampsLen) {
  block<float>(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API void KVO_CALL kvovbTrngl(TrnglState* statePtr, CS* samps, int sampsLen) {
  block<float>(KVO_SITE, statePtr, samps, sampsLen);
}

}  // extern "C"
