// Low-level IIR filter, 16-bit type (module kvoiirlw): fixed-point taps with k fraction bits in
// the caller's float array, a 32-bit delay line, an exact integer path and a floating path for the
// automatic scale mode.
#include <cmath>
#include <cstdint>

#include "filter/iirl.h"
#include "kernels/filter/iir.h"
#include "kernels/filter/iirw.h"
#include "kernels/vector/cvt.h"
#include "kernels/vector/scale.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoiirlw";
constexpr const char* kNoMemory = "No memory for working array";

using kvo::Site;
namespace kern = kvo::kern;
namespace iir = kvo::iir;

// v * 2^k rounded to nearest (ties to even), low 16 bits.
short toFixed(float v, int k) {
  bool outside = false;
  const kern::IntTarget t{16, -32768.0, 32767.0, 1.0, false};
  return static_cast<short>(static_cast<std::uint16_t>(
      kern::convertOne(std::ldexp(double(v), k), kern::Round::Nearest, t, outside)));
}

float* workArray(const Site& s, std::size_t floats) {
  void* p = kvoMalloc(static_cast<int>(floats * sizeof(float)));
  if (!p) s.report(KVO_StatusOutOfMemory, kNoMemory);
  return static_cast<float*>(p);
}

// The largest magnitude of v[0..n-1] (NaN ignored).
float largest(const float* v, int n) {
  float m = 0;
  for (int i = 0; i < n; ++i) m = std::fabs(v[i]) > m ? std::fabs(v[i]) : m;
  return m;
}

void init(const Site& s, int iirType, float* taps, int order, IirTapState* st) {
  if (!iir::initChecks(s, st, taps, iirType, order, false, true)) return;
  const int count = 2 * order + 2;
  float* t = workArray(s, count);
  if (!t) return;
  const float a0 = taps[order + 1];
  if (a0 == 0) {
    kvoFree(t);
    s.report(KVO_StatusBadArgument, "taps[order+1] equals zero");
    return;
  }
  for (int i = 0; i < count; ++i) t[i] = taps[i] / a0;
  // The largest k with m * 2^k <= 32767; m >= 1 since a0/a0 is among the values.
  const double m = largest(t, count);
  int k = 0;
  while (k < 30 && m * std::ldexp(1.0, k + 1) <= 32767.0) ++k;
  short* w = reinterpret_cast<short*>(taps);
  w[0] = static_cast<short>(k);
  w[1] = toFixed(t[0], k);
  for (int i = 1; i <= order; ++i) {
    w[2 * i] = toFixed(-t[order + 1 + i], k);
    w[2 * i + 1] = toFixed(t[i], k);
  }
  kvoFree(t);
  *st = IirTapState{order, taps, iirType, 0};
}

void initBq(const Site& s, int iirType, float* taps, int numQuads, IirTapState* st) {
  if (!iir::initChecks(s, st, taps, iirType, numQuads, true, true)) return;
  *st = IirTapState{2 * numQuads, taps, iirType, 1};
  float* t = workArray(s, 6 * std::size_t(numQuads));
  if (!t) return;
  for (int i = 0; i < 6 * numQuads; ++i) t[i] = taps[i];
  double g = 1;
  for (int j = 0; j < numQuads; ++j) {
    const float* q = t + 6 * j;
    const float b0 = q[0], b1 = q[1], b2 = q[2], a0 = q[3], a1 = q[4], a2 = q[5];
    if (b0 == 0 || a0 == 0) {
      kvoFree(t);
      s.report(KVO_StatusBadArgument, "taps[?] equals zero");
      return;
    }
    g = g * b0 / a0;
    float* w = t + 1 + 4 * j;  // behind everything still to be read
    w[0] = float(-double(a1) / a0), w[1] = float(-double(a2) / a0);
    w[2] = float(double(b1) / b0), w[3] = float(double(b2) / b0);
  }
  t[0] = float(g);
  const int count = 4 * numQuads + 1;
  const double r = 32767.0 / largest(t, count);
  int k = 0;
  while (k < 15 && std::ldexp(1.0, k + 1) <= r) ++k;
  short* w = reinterpret_cast<short*>(taps);
  w[0] = static_cast<short>(k);
  for (int i = 0; i < count; ++i) w[1 + i] = toFixed(t[i], k);
  kvoFree(t);
}

void initDlyl(const Site& s, const IirTapState* st, int* dlyl, IirDlyState* ds) {
  if (!iir::dlylChecks(s, st, dlyl, ds)) return;
  ds->dlyl = dlyl;
  for (int i = 0; i < st->order; ++i) dlyl[i] = 0;
}

// KVO_AUTO_SCALE: the fixed-point taps and the 32-bit delay line as floats, the float filter,
// the delay line rounded back to integers and the output scaled automatically. False when the
// work array could not be had (reported).
bool floatPath(const Site& s, const IirTapState* st, IirDlyState* ds, const short* in, short* out,
               int n, int* scaleFactor) {
  const short* w = static_cast<const short*>(st->taps);
  const int order = st->order, quads = order / 2;
  const int taps = st->isBq ? 4 * quads + 1 : 2 * order + 1;
  float* c = workArray(s, std::size_t(taps) + order + 2 * std::size_t(n));
  if (!c) return false;
  float *d = c + taps, *x = d + order, *y = x + n;
  const float unit = std::ldexp(1.0f, -kern::iirw::fractionBits(w[0]));
  if (st->isBq) {
    c[0] = w[1] * unit;
    for (int j = 0; j < quads; ++j) {
      const short* q = w + 2 + 4 * j;
      c[1 + 4 * j] = -q[0] * unit, c[2 + 4 * j] = -q[1] * unit;
      c[3 + 4 * j] = q[2] * unit, c[4 + 4 * j] = q[3] * unit;
    }
  } else {
    c[0] = w[1] * unit;
    for (int i = 1; i <= order; ++i) c[i] = w[2 * i + 1] * unit, c[order + i] = -w[2 * i] * unit;
  }
  int* dl = static_cast<int*>(ds->dlyl);
  for (int i = 0; i < order; ++i) d[i] = float(dl[i]);
  for (int i = 0; i < n; ++i) x[i] = in[i];
  if (st->isBq) {
    kern::iirBiquad(c, quads, d, x, y, n);
  } else {
    kern::iirDirect(c, order, d, x, y, n);
  }
  const kern::IntTarget t32{32, -2147483648.0, 2147483647.0, 1.0, false};
  for (int i = 0; i < order; ++i) {
    bool outside = false;
    dl[i] = static_cast<int>(static_cast<std::uint32_t>(
        kern::convertOne(double(d[i]), kern::Round::Nearest, t32, outside)));
  }
  kvo::kvoScaleFloatsToShorts(y, out, n, KVO_AUTO_SCALE, scaleFactor);
  kvoFree(c);
  return true;
}

// The integer path: the input optionally shifted by the fixed factor, then the exact kernels.
void intPath(const IirTapState* st, IirDlyState* ds, const short* in, short* out, int n,
             int scaleMode, int* scaleFactor) {
  int shift = 0;
  if (scaleMode & KVO_FIXED_SCALE) {
    shift = scaleFactor ? *scaleFactor : 0;
  } else if (scaleFactor) {
    *scaleFactor = 0;
  }
  const short* w = static_cast<const short*>(st->taps);
  auto* d = static_cast<std::int32_t*>(ds->dlyl);
  if (st->isBq) {
    kern::iirwBiquad(w, st->order / 2, d, in, out, n, shift, kvo::scale::fixedWrap);
  } else {
    kern::iirwDirect(w, st->order, d, in, out, n, shift, kvo::scale::fixedWrap);
  }
}

void filter(const Site& s, const IirTapState* st, IirDlyState* ds, const short* in, short* out,
            int n, int scaleMode, int* scaleFactor) {
  if (scaleMode & KVO_AUTO_SCALE) {
    floatPath(s, st, ds, in, out, n, scaleFactor);
  } else {
    intPath(st, ds, in, out, n, scaleMode, scaleFactor);
  }
}

}  // namespace

KVO_API void KVO_CALL kvowIirlInit(int iirType, float* taps, int order, IirTapState* tapStPtr) {
  init(KVO_SITE, iirType, taps, order, tapStPtr);
}
KVO_API void KVO_CALL kvowIirlInitBq(int iirType, float* taps, int numQuads,
                                     IirTapState* tapStPtr) {
  initBq(KVO_SITE, iirType, taps, numQuads, tapStPtr);
}
KVO_API void KVO_CALL kvowIirlInitDlyl(const IirTapState* tapStPtr, int* dlyl,
                                       IirDlyState* dlyStPtr) {
  initDlyl(KVO_SITE, tapStPtr, dlyl, dlyStPtr);
}

KVO_API short KVO_CALL kvowIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr, short samp,
                                int scaleMode, int* scaleFactor) {
  const Site s = KVO_SITE;
  short y = 0;
  if (iir::filterChecks(s, tapStPtr, dlyStPtr, false, nullptr, nullptr, 1)) {
    filter(s, tapStPtr, dlyStPtr, &samp, &y, 1, scaleMode, scaleFactor);
  }
  return y;
}

KVO_API void KVO_CALL kvowbIirl(const IirTapState* tapStPtr, IirDlyState* dlyStPtr,
                                const short* inSamps, short* outSamps, int numIters, int scaleMode,
                                int* scaleFactor) {
  const Site s = KVO_SITE;
  if (!iir::filterChecks(s, tapStPtr, dlyStPtr, true, inSamps, outSamps, numIters)) return;
  if (numIters > 0)
    filter(s, tapStPtr, dlyStPtr, inSamps, outSamps, numIters, scaleMode, scaleFactor);
}
