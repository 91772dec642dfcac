// High-level FIR filter of the 16-bit type (module kvofirhw).
//
// Taps layout: the 16-bit taps (reversed, or grouped by phase branch and reversed per branch, as
// in the low-level filter) are zero-padded to P, a multiple of 4 with room for three more, and
// stored four times, copy c shifted right by c places: copy c against a window starting at sample
// i gives output i + c, so four outputs can be formed from one aligned window. Copy 0 is the plain
// filter form that the block kernels read.
#include <cstring>

#include "filter/firstate.h"
#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvofirhw";

using kvo::Checks;
using kvo::Site;
namespace fir = kvo::kern::fir;
namespace fs = kvo::firstate;

constexpr const char* kNullBuffer = "Null buffer pointer";

int paddedLen(int L) { return (L + 3 + 3) / 4 * 4; }

void storeTaps(FirState* st, const float* taps) {
  const int L = st->tapsLen, P = paddedLen(L);
  short* store = static_cast<short*>(st->taps);
  std::memset(store, 0, sizeof(short) * 4 * static_cast<std::size_t>(P));
  st->tapsFactor = 0;
  if (taps == nullptr) return;
  st->tapsFactor = fir::tapsFactor(taps, L);
  fir::quantizeTaps(taps, L, fs::rateOf(st), st->tapsFactor, store);
  for (int c = 1; c < 4; ++c) std::memcpy(store + c * P + c, store, sizeof(short) * L);
}

bool scaleOk(Checks& c, int scaleMode, const int* scaleFactor) {
  return c
      .require(!(scaleMode & KVO_AUTO_SCALE) || scaleFactor != nullptr, "Null scale factor pointer")
      .ok();
}

int init(const Site& s, const float* taps, int tapsLen, const short* dlyVals, fir::Rate r,
         FirState* st) {
  Checks c(s);
  if (!fs::rateChecks(c, st, tapsLen, r)) return KVO_StatusBadArgument;
  const int status =
      fs::build<short>(s, st, tapsLen, sizeof(short) * 4 * std::size_t(paddedLen(tapsLen)), r);
  if (status != KVO_StatusOk) return status;
  storeTaps(st, taps);
  fs::setDlyl(st, dlyVals);
  return KVO_StatusOk;
}

}  // namespace

extern "C" {

KVO_API int KVO_CALL kvowFirInit(const float* taps, int tapsLen, const short* dlyVals,
                                 FirState* statePtr) {
  return init(KVO_SITE, taps, tapsLen, dlyVals, fir::Rate{}, statePtr);
}

KVO_API int KVO_CALL kvowFirInitMr(const float* taps, int tapsLen, const short* dlyVals,
                                   int upFactor, int upPhase, int downFactor, int downPhase,
                                   FirState* statePtr) {
  return init(KVO_SITE, taps, tapsLen, dlyVals, fir::Rate{upFactor, upPhase, downFactor, downPhase},
              statePtr);
}

KVO_API void KVO_CALL kvowFirSetTaps(const float* taps, FirState* statePtr) {
  Checks c = KVO_CHECKS;
  if (fs::liveChecks(c, statePtr)) storeTaps(statePtr, taps);
}

KVO_API void KVO_CALL kvowFirGetTaps(const FirState* statePtr, float* taps) {
  Checks c = KVO_CHECKS;
  if (!fs::liveChecks(c, statePtr).notNull(taps, kNullBuffer)) return;
  fir::dequantizeTaps(static_cast<const short*>(statePtr->taps), statePtr->tapsLen,
                      fs::rateOf(statePtr), statePtr->tapsFactor, taps);
}

KVO_API void KVO_CALL kvowFirSetDlyl(const short* dlyVals, FirState* statePtr) {
  Checks c = KVO_CHECKS;
  if (fs::liveChecks(c, statePtr)) fs::setDlyl(statePtr, dlyVals);
}

KVO_API void KVO_CALL kvowFirGetDlyl(const FirState* statePtr, short* dlyVals) {
  Checks c = KVO_CHECKS;
  if (fs::liveChecks(c, statePtr).notNull(dlyVals, kNullBuffer)) fs::getDlyl(statePtr, dlyVals);
}

// One sample of a single-rate record (a multi-rate one is refused, as in the float module).
KVO_API short KVO_CALL kvowFir(FirState* statePtr, short samp, int scaleMode, int* scaleFactor) {
  Checks c = KVO_CHECKS;
  if (!scaleOk(fs::liveChecks(c, statePtr)
                   .require(statePtr && !statePtr->isMultiRate, "MultiRate filter"),
               scaleMode, scaleFactor)) {
    return 0;
  }
  const short* w = fs::push(statePtr, samp);
  const short* taps = static_cast<const short*>(statePtr->taps);
  std::uint32_t sum = 0;
  for (int k = 0; k < statePtr->tapsLen; ++k) {
    sum += static_cast<std::uint32_t>(std::int32_t{taps[k]} * w[k]);
  }
  fs::advance<short>(statePtr);
  return fir::scaleOne(static_cast<std::int32_t>(sum), statePtr->tapsFactor, scaleMode,
                       scaleFactor);
}

KVO_API int KVO_CALL kvowbFir(FirState* statePtr, const short* inSamps, short* outSamps,
                              int numIters, int scaleMode, int* scaleFactor) {
  Checks c = KVO_CHECKS;
  if (!scaleOk(fs::liveChecks(c, statePtr)
                   .notNull(inSamps, kNullBuffer)
                   .notNull(outSamps, kNullBuffer)
                   .require(numIters >= 1, "Invalid value"),
               scaleMode, scaleFactor)) {
    return KVO_StatusBadArgument;
  }
  const fir::Rate r = fs::rateOf(statePtr);
  const long long count = static_cast<long long>(numIters) * r.up;
  auto* sums = count * 4 < 0x7fffffff
                   ? static_cast<std::int32_t*>(kvoMalloc(static_cast<int>(count * 4)))
                   : nullptr;
  if (sums == nullptr) return KVO_SITE.report(KVO_StatusOutOfMemory, "Allocation failure");
  const short* hist = fs::history<short>(statePtr);
  fir::runW(static_cast<const short*>(statePtr->taps), statePtr->tapsLen, r, hist,
            statePtr->dlylLen, inSamps, sums, numIters);
  fs::keepNewest(statePtr, inSamps, static_cast<std::size_t>(numIters) * r.down);
  fir::scaleBlock(sums, outSamps, static_cast<int>(count), statePtr->tapsFactor, scaleMode,
                  scaleFactor);
  kvoFree(sums);
  return KVO_StatusOk;
}

}  // extern "C"
