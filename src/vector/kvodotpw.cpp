// Dot products of 16-bit vectors, real and complex (module kvodotpw).
#include <cstdint>

#include <type_traits>

#include "frame/check.h"
#include "kernels/vector/scale.h"
#include "kernels/vector/stats.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvodotpw";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
using CS = ComplexShort;

// The exact sum of the products (in 64 bits: it outgrows 32 bits from a few elements of extreme
// values on), brought to 16 bits by the shared rules; complex parts share one automatic factor.
template <class R, class A, class B>
R dot(const Site& s, const A* a, const B* b, int len, int mode, int* factor) {
  if (!Checks(s)
           .require(a && b, "Null buffer pointer")
           .require(len >= 0, "Invalid value")
           .require(mode != KVO_AUTO_SCALE || factor, "Null scale factor pointer")) {
    return R{};
  }
  const kern::Wide2 sum = kern::dotShort(a, b, len);
  const std::int64_t parts[2] = {sum.re, sum.im};
  short out[2];
  kvo::kvoScaleLongsToShorts(parts, out, std::is_same_v<R, short> ? 1 : 2, mode, factor);
  if constexpr (std::is_same_v<R, short>) {
    return out[0];
  } else {
    return {out[0], out[1]};
  }
}

}  // namespace

extern "C" {

KVO_API short KVO_CALL kvowDotProd(const short* srcA, const short* srcB, int len, int scaleMode,
                                   int* scaleFactor) {
  return dot<short>(KVO_SITE, srcA, srcB, len, scaleMode, scaleFactor);
}
KVO_API CS KVO_CALL kvovDotProd(const CS* srcA, const CS* srcB, int len, int scaleMode,
                                int* scaleFactor) {
  return dot<CS>(KVO_SITE, srcA, srcB, len, scaleMode, scaleFactor);
}
KVO_API CS KVO_CALL kvowvDotProd(const short* srcA, const CS* srcB, int len, int scaleMode,
                                 int* scaleFactor) {
  return dot<CS>(KVO_SITE, srcA, srcB, len, scaleMode, scaleFactor);
}
KVO_API CS KVO_CALL kvovwDotProd(const CS* srcA, const short* srcB, int len, int scaleMode,
                                 int* scaleFactor) {
  return dot<CS>(KVO_SITE, srcA, srcB, len, scaleMode, scaleFactor);
}

}  // extern "C"
