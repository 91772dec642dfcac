// Tone generator, 16-bit members (module kvotonew).
#include <cstddef>

#include "generate/tonecheck.h"
#include "kernels/generate/tone.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvotonew";

namespace tone = kvo::kern::tone;
using kvo::Site;

int init(const Site& s, float rFreq, float phase, short mag, ToneState* st) {
  if (!kvo::gen::toneInitOk(s, rFreq, phase, mag >= 0, st)) return KVO_StatusBadArgument;
  tone::initShort(*st, rFreq, phase, mag);
  return KVO_StatusOk;
}

template <class T>
T single(const Site& s, ToneState* st) {
  return kvo::gen::toneSingle<T>(s, st, tone::shortSingle<T>);
}

template <class T>
int block(const Site& s, ToneState* st, T* y, int n) {
  return kvo::gen::toneBlock(s, st, y, n, tone::shortBlock<T>);
}

}  // namespace

using CS = ComplexShort;

extern "C" {

KVO_API int KVO_CALL kvowToneInit(float rFreq, float phase, short mag, ToneState* statePtr) {
  return init(KVO_SITE, rFreq, phase, mag, statePtr);
}
KVO_API int KVO_CALL kvovToneInit(float rFreq, float phase, short mag, ToneState* statePtr) {
  return init(KVO_SITE, rFreq, phase, mag, statePtr);
}
KVO_API short KVO_CALL kvowTone(ToneState* statePtr) { return single<short>(KVO_SITE, statePtr); }
KVO_API CS KVO_CALL kvovTone(ToneState* statePtr) { return single<CS>(KVO_SITE, statePtr); }
KVO_API int KVO_CALL kvowbTone(ToneState* statePtr, short* samps, int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvovbTone(ToneState* statePtr, CS* samps, int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}

}  // extern "C"
