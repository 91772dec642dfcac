// 16-bit logarithm and exponential (module kvolnexw).
#include <cstdint>

#include "frame/check.h"
#include "kernels/vector/elem.h"
#include "kernels/vector/scale.h"
#include "kvo.h"
#include "vector/elemforms.h"

namespace {

constexpr const char* kModule = "kvolnexw";

using kvo::checked;
using kvo::InPlace;
using kvo::Site;
namespace kern = kvo::kern;

// floor(e^x) as a 32-bit value, stored by the shared 16-bit rules. The automatic shift follows
// from the largest element alone (e^x grows with x); the values then go out in blocks with that
// shift as a fixed factor, which stores the same as the automatic rule.
template <class V>
void exp(const Site& s, V v, int len, int mode, int* factor) {
  if (!v.check(s, len)) return;
  const short* src = v.src();
  short* dst = v.dst();
  int fixed = 0;
  if (mode == KVO_AUTO_SCALE) {
    short largest = src[0];
    for (int k = 1; k < len; ++k) largest = src[k] > largest ? src[k] : largest;
    fixed = kvo::scale::autoFactor(0, kern::expShortOf(largest));
    if (factor) *factor = fixed;
    mode = KVO_FIXED_SCALE;
    factor = &fixed;
  }
  constexpr int kBlock = 512;
  std::int32_t wide[kBlock];
  for (int done = 0; done < len; done += kBlock) {
    const int m = len - done < kBlock ? len - done : kBlock;
    kern::expShort(src + done, wide, m);
    kvo::kvoScaleIntsToShorts(wide, dst + done, m, mode, factor);
  }
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvowbLn1(short* vec, int len) {
  checked(KVO_SITE, InPlace<short>{vec, "Len<=0", "Vector==0"}, len, kern::lnShort);
}
KVO_API void KVO_CALL kvowbLn2(const short* src, short* dst, int len) {
  checked(KVO_SITE, kvo::two(src, dst), len, kern::lnShort);
}
KVO_API void KVO_CALL kvowbExp1(short* vec, int len, int scaleMode, int* scaleFactor) {
  exp(KVO_SITE, kvo::one(vec), len, scaleMode, scaleFactor);
}
KVO_API void KVO_CALL kvowbExp2(const short* src, short* dst, int len, int scaleMode,
                                int* scaleFactor) {
  exp(KVO_SITE, kvo::two(src, dst), len, scaleMode, scaleFactor);
}

}  // extern "C"
