// Convolution of 16-bit data (module kvoconvw): always the direct sum.
#include <cstring>

#include "adaptive/convframe.h"
#include "adaptive/kvowconv.h"
#include "kernels/conv/slide.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvoconvw";

}  // namespace

namespace kvo::conv {

// Saturation makes the order of the additions part of the result: b is walked from j = 0 up.
void wrapConv(const short* a, int la, const short* b, int lb, short* y) {
  std::memset(y, 0, sizeof(short) * (static_cast<std::size_t>(la) + lb - 1));
  for (int j = 0; j < lb; ++j) {
    if (b[j] != 0) kern::wrapMacSat(y + j, a, la, b[j]);
  }
}

void fixedShift(short* y, std::size_t n, int scaleMode, const int* scaleFactor) {
  if (scaleMode != KVO_FIXED_SCALE || scaleFactor == nullptr || *scaleFactor == 0) return;
  const int f = *scaleFactor;
  if (f > 0) {
    const int r = f < 15 ? f : 15;
    for (std::size_t i = 0; i < n; ++i) y[i] = static_cast<short>(y[i] >> r);
  } else {
    const int l = f < -16 ? 16 : -f;
    for (std::size_t i = 0; i < n; ++i) {
      y[i] = l >= 16 ? short(0) : static_cast<short>(static_cast<std::uint16_t>(y[i] << l));
    }
  }
}

}  // namespace kvo::conv

extern "C" {

KVO_API int KVO_CALL kvowConv(const short* x, int xLen, const short* h, int hLen, short* y,
                              int scaleMode, int* scaleFactor) {
  if (const int status = kvo::conv::checks(KVO_SITE, x, xLen, h, hLen, y)) return status;
  if (xLen >= hLen) {
    kvo::conv::wrapConv(x, xLen, h, hLen, y);
  } else {
    kvo::conv::wrapConv(h, hLen, x, xLen, y);
  }
  kvo::conv::fixedShift(y, static_cast<std::size_t>(xLen) + hLen - 1, scaleMode, scaleFactor);
  return KVO_StatusOk;
}

}  // extern "C"
