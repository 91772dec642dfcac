// Tone generator, float and double members (module kvotone).
#include <cstddef>

#include "generate/tonecheck.h"
#include "kernels/generate/tone.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvotone";

namespace tone = kvo::kern::tone;
using kvo::Site;

template <class F>
int init(const Site& s, double rFreq, double phase, double mag, ToneState* st, bool complex) {
  if (!kvo::gen::toneInitOk(s, rFreq, phase, mag >= 0, st)) return KVO_StatusBadArgument;
  tone::initFloat<F>(*st, rFreq, phase, mag, complex);
  return KVO_StatusOk;
}

template <class T>
T single(const Site& s, ToneState* st) {
  return kvo::gen::toneSingle<T>(s, st, [](ToneState& state) {
    T y{};
    tone::floatBlock(state, &y, 1);
    return y;
  });
}

template <class T>
int block(const Site& s, ToneState* st, T* y, int n) {
  return kvo::gen::toneBlock(s, st, y, n, tone::floatBlock<T>);
}

}  // namespace

using CF = ComplexFloat;
using CD = ComplexDouble;

extern "C" {

KVO_API int KVO_CALL kvosToneInit(float rFreq, float phase, float mag, ToneState* statePtr) {
  return init<float>(KVO_SITE, rFreq, phase, mag, statePtr, false);
}
KVO_API int KVO_CALL kvocToneInit(float rFreq, float phase, float mag, ToneState* statePtr) {
  return init<float>(KVO_SITE, rFreq, phase, mag, statePtr, true);
}
KVO_API int KVO_CALL kvodToneInit(double rFreq, double phase, double mag, ToneState* statePtr) {
  return init<double>(KVO_SITE, rFreq, phase, mag, statePtr, false);
}
KVO_API int KVO_CALL kvozToneInit(double rFreq, double phase, double mag, ToneState* statePtr) {
  return init<double>(KVO_SITE, rFreq, phase, mag, statePtr, true);
}

KVO_API float KVO_CALL kvosTone(ToneState* statePtr) { return single<float>(KVO_SITE, statePtr); }
KVO_API CF KVO_CALL kvocTone(ToneState* statePtr) { return single<CF>(KVO_SITE, statePtr); }
KVO_API double KVO_CALL kvodTone(ToneState* statePtr) { return single<double>(KVO_SITE, statePtr); }
KVO_API CD KVO_CALL kvozTone(ToneState* statePtr) { return single<CD>(KVO_SITE, statePtr); }

KVO_API int KVO_CALL kvosbTone(ToneState* statePtr, float* samps, int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvocbTone(ToneState* statePtr, CF* samps, int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvodbTone(ToneState* statePtr, double* samps, int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvozbTone(ToneState* statePtr, CD* samps, int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}

}  // extern "C"
