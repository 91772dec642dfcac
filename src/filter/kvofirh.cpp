// High-level FIR filter of the float and double types (module kvofirh): one record whose taps,
// work buffer and multi-rate schedule the library allocates.
//
// The taps are kept reversed (grouped by phase branch for a multi-rate record), the history oldest
// first. The arithmetic is that of the low-level filter, term for term, so both give the same
// outputs for the same taps and history.
#include <cstring>

#include "filter/firstate.h"
#include "frame/check.h"
#include "kernels/filter/fir.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvofirh";

using kvo::Checks;
using kvo::Site;
namespace fir = kvo::kern::fir;
namespace fs = kvo::firstate;
using CF = ComplexFloat;
using CD = ComplexDouble;

constexpr const char* kNullBuffer = "Null buffer pointer";

template <class TT>
void storeTaps(FirState* st, const TT* taps) {
  TT* store = static_cast<TT*>(st->taps);
  const int L = st->tapsLen;
  if (taps == nullptr) {
    std::memset(static_cast<void*>(store), 0, sizeof(TT) * static_cast<std::size_t>(L));
    return;
  }
  const int up = st->isMultiRate ? st->upFactor : 1;
  for (int p = 0; p < up; ++p) {
    const fir::Phase ph = fir::phaseAt(L, fir::Rate{up, 0, 1, 0}, p);
    for (int k = 0; k < ph.len; ++k) store[ph.offset + ph.len - 1 - k] = taps[p + k * up];
  }
}

template <class TT>
void loadTaps(const FirState* st, TT* taps) {
  const TT* store = static_cast<const TT*>(st->taps);
  const int up = st->isMultiRate ? st->upFactor : 1;
  for (int p = 0; p < up; ++p) {
    const fir::Phase ph = fir::phaseAt(st->tapsLen, fir::Rate{up, 0, 1, 0}, p);
    for (int k = 0; k < ph.len; ++k) taps[p + k * up] = store[ph.offset + ph.len - 1 - k];
  }
}

template <class TS, class TT>
int init(const Site& s, const TT* taps, int tapsLen, const TS* dlyVals, fir::Rate r, FirState* st) {
  Checks c(s);
  if (!fs::rateChecks(c, st, tapsLen, r)) return KVO_StatusBadArgument;
  const int status =
      fs::build<TS>(s, st, tapsLen, sizeof(TT) * static_cast<std::size_t>(tapsLen), r);
  if (status != KVO_StatusOk) return status;
  storeTaps(st, taps);
  fs::setDlyl(st, dlyVals);
  return 1;
}

template <class TT>
void setTaps(const Site& s, const TT* taps, FirState* st) {
  Checks c(s);
  if (fs::liveChecks(c, st)) storeTaps(st, taps);
}
template <class TT>
void getTaps(const Site& s, const FirState* st, TT* taps) {
  Checks c(s);
  if (fs::liveChecks(c, st).notNull(taps, kNullBuffer)) loadTaps(st, taps);
}
template <class TS>
void setDlyl(const Site& s, const TS* vals, FirState* st) {
  Checks c(s);
  if (fs::liveChecks(c, st)) fs::setDlyl(st, vals);
}
template <class TS>
void getDlyl(const Site& s, const FirState* st, TS* vals) {
  Checks c(s);
  if (fs::liveChecks(c, st).notNull(vals, kNullBuffer)) fs::getDlyl(st, vals);
}

// One sample of a single-rate record. A multi-rate history is shorter than the taps, so such a
// record is refused rather than read past its window.
template <class TS, class TT>
fir::Out<TS, TT> firOne(const Site& s, FirState* st, TS samp) {
  Checks c(s);
  if (!fs::liveChecks(c, st).require(st && !st->isMultiRate, "MultiRate filter")) return {};
  const TS* w = fs::push(st, samp);
  const TT* taps = static_cast<const TT*>(st->taps);
  const int L = st->tapsLen;
  fir::Acc a;
  {
    // taps[k] = h[L-1-k] against w[k]; summed from the newest sample back, as everywhere.
    for (int k = L - 1; k >= 0; --k) fir::mac(a, taps[k], w[k]);
  }
  fs::advance<TS>(st);
  return fir::rounded<fir::Out<TS, TT>>(a);
}

template <class TS, class TT>
int firBlock(const Site& s, FirState* st, const TS* in, fir::Out<TS, TT>* out, int numIters) {
  Checks c(s);
  if (!fs::liveChecks(c, st)
           .notNull(in, kNullBuffer)
           .notNull(out, kNullBuffer)
           .require(numIters >= 1, "Invalid value")) {
    return KVO_StatusBadArgument;
  }
  const fir::Rate r = fs::rateOf(st);
  const std::size_t inCount = static_cast<std::size_t>(numIters) * r.down;
  const std::size_t outCount = static_cast<std::size_t>(numIters) * r.up;
  fir::detail::InputGuard guard(in, inCount * sizeof(TS), out, outCount * sizeof(*out));
  if (!guard.ok()) return s.report(KVO_StatusOutOfMemory, "Allocation failure");
  const TS* x = static_cast<const TS*>(guard.use());
  const TS* hist = fs::history<TS>(st);
  fir::run(static_cast<const TT*>(st->taps), fir::TapOrder::Reversed, st->tapsLen, r, hist,
           st->dlylLen, false, x, out, numIters);
  fs::keepNewest(st, x, inCount);
  return KVO_StatusOk;
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvoFirFree(FirState* statePtr) {
  // Reports carry this literal name.
  const Site s{"kvoFirkvoFree", kModule, __LINE__};
  Checks c(s);
  if (fs::liveChecks(c, statePtr)) fs::release(statePtr);
}

#define KVO_FIR_ELEM(P, T)                                                         \
  KVO_API void KVO_CALL kvo##P##FirSetTaps(const T* taps, FirState* statePtr) {    \
    setTaps(KVO_SITE, taps, statePtr);                                             \
  }                                                                                \
  KVO_API void KVO_CALL kvo##P##FirGetTaps(const FirState* statePtr, T* taps) {    \
    getTaps(KVO_SITE, statePtr, taps);                                             \
  }                                                                                \
  KVO_API void KVO_CALL kvo##P##FirSetDlyl(const T* dlyVals, FirState* statePtr) { \
    setDlyl(KVO_SITE, dlyVals, statePtr);                                          \
  }                                                                                \
  KVO_API void KVO_CALL kvo##P##FirGetDlyl(const FirState* statePtr, T* dlyVals) { \
    getDlyl(KVO_SITE, statePtr, dlyVals);                                          \
  }

KVO_FIR_ELEM(s, float)
KVO_FIR_ELEM(c, CF)
KVO_FIR_ELEM(d, double)
KVO_FIR_ELEM(z, CD)
#undef KVO_FIR_ELEM

#define KVO_FIR_FILTER(P, TS, TT, O)                                                               \
  KVO_API int KVO_CALL kvo##P##FirInit(const TT* taps, int tapsLen, const TS* dlyVals,             \
                                       FirState* statePtr) {                                       \
    return init(KVO_SITE, taps, tapsLen, dlyVals, fir::Rate{}, statePtr);                          \
  }                                                                                                \
  KVO_API int KVO_CALL kvo##P##FirInitMr(const TT* taps, int tapsLen, const TS* dlyVals,           \
                                         int upFactor, int upPhase, int downFactor, int downPhase, \
                                         FirState* statePtr) {                                     \
    return init(KVO_SITE, taps, tapsLen, dlyVals,                                                  \
                fir::Rate{upFactor, upPhase, downFactor, downPhase}, statePtr);                    \
  }                                                                                                \
  KVO_API O KVO_CALL kvo##P##Fir(FirState* statePtr, TS samp) {                                    \
    return firOne<TS, TT>(KVO_SITE, statePtr, samp);                                               \
  }                                                                                                \
  KVO_API int KVO_CALL kvo##P##bFir(FirState* statePtr, const TS* inSamps, O* outSamps,            \
                                    int numIters) {                                                \
    return firBlock<TS, TT>(KVO_SITE, statePtr, inSamps, outSamps, numIters);                      \
  }

KVO_FIR_FILTER(s, float, float, float)
KVO_FIR_FILTER(c, CF, CF, CF)
KVO_FIR_FILTER(sc, float, CF, CF)
KVO_FIR_FILTER(cs, CF, float, CF)
KVO_FIR_FILTER(d, double, double, double)
KVO_FIR_FILTER(z, CD, CD, CD)
KVO_FIR_FILTER(dz, double, CD, CD)
KVO_FIR_FILTER(zd, CD, double, CD)
#undef KVO_FIR_FILTER

}  // extern "C"
