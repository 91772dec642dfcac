// High-level IIR filter, 16-bit type (module kvoiirhw): float taps kept as the low-level
// fixed-point form in the library's copy, a 32-bit delay line.
#include "filter/iirstate.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoiirhw";

using kvo::Site;
namespace iir = kvo::iir;

constexpr iir::LowInit<float, int> kDirect{kvowIirlInit, kvowIirlInitDlyl};
constexpr iir::LowInit<float, int> kBiquads{kvowIirlInitBq, kvowIirlInitDlyl};

}  // namespace

KVO_API void KVO_CALL kvowIirInit(int iirType, const float* tapVals, int order,
                                  IirState* statePtr) {
  const std::size_t n = order > 0 ? std::size_t(order) : 0;
  iir::init(KVO_SITE, iirType, tapVals, order, statePtr, false, 2 * n + 2, 2 * n + 2, n, kDirect);
}

KVO_API void KVO_CALL kvowIirInitBq(int iirType, const float* tapVals, int numQuads,
                                    IirState* statePtr) {
  const std::size_t q = numQuads > 0 ? std::size_t(numQuads) : 0;
  iir::init(KVO_SITE, iirType, tapVals, numQuads, statePtr, true, 6 * q, 6 * q, 2 * q, kBiquads);
}

KVO_API short KVO_CALL kvowIir(IirState* statePtr, short samp, int scaleMode, int* scaleFactor) {
  if (!iir::stateChecks(KVO_SITE, statePtr, false, nullptr, nullptr, 0)) return 0;
  const IirTapState ts = iir::tapsOf(statePtr);
  return kvowIirl(&ts, &statePtr->dlyl, samp, scaleMode, scaleFactor);
}

KVO_API void KVO_CALL kvowbIir(IirState* statePtr, const short* inSamps, short* outSamps,
                               int numIters, int scaleMode, int* scaleFactor) {
  const Site s = KVO_SITE;
  if (!iir::stateChecks(s, statePtr, true, inSamps, outSamps, numIters)) return;
  const IirTapState ts = iir::tapsOf(statePtr);
  iir::throughLow(s, [&] {
    kvowbIirl(&ts, &statePtr->dlyl, inSamps, outSamps, numIters, scaleMode, scaleFactor);
  });
}
