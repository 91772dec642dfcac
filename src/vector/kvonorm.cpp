// Norms of a vector or of a difference of vectors, and normalisation (module kvonorm).
#include <cmath>
#include <limits>

#include "frame/check.h"
#include "kernels/vector/stats.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvonorm";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
using CF = ComplexFloat;
using CD = ComplexDouble;
using CS = ComplexShort;

// Exactly one of the three kinds, optionally with the relative bit, nothing else.
bool validFlag(int flag) {
  const int kind = flag & ~KVO_NormRelative;
  return kind == KVO_NormMax || kind == KVO_NormL1 || kind == KVO_NormL2;
}

// R is the result type (float or double): its smallest normal and largest finite numbers bound
// the relative norms. Sums run in double precision; 16-bit data enter them exactly.
template <class R, class T>
R norm(const Site& s, const T* a, const T* b, int n, int flag) {
  if (!Checks(s).positive(n).notNull(a, "srcA==0").require(validFlag(flag), "flag is wrong")) {
    return 0;
  }
  const bool relative = (flag & KVO_NormRelative) != 0;
  if (relative && !b) return 1;
  const kern::Norm kind = (flag & KVO_NormMax)  ? kern::Norm::Max
                          : (flag & KVO_NormL1) ? kern::Norm::L1
                                                : kern::Norm::L2;
  double v = kern::rawNorm(a, b, n, kind);
  if (relative) {
    constexpr double kSmallest = std::numeric_limits<R>::min();
    if (v < kSmallest) {
      v = 0;
    } else {
      const double base = kern::rawNorm(b, static_cast<const T*>(nullptr), n, kind);
      v = base < kSmallest ? std::numeric_limits<R>::max() : v / base;
    }
  }
  // The L2 sums are of squares, so the root of their quotient is the quotient of the norms. The
  // root is taken of the bounds above as well.
  if (kind == kern::Norm::L2) v = std::sqrt(v);
  return static_cast<R>(v);
}

// dst = (src - offset) / factor, with 1/factor formed once.
template <class T, class F>
void normalize(const Site& s, const T* src, T* dst, int n, T offset, F factor) {
  if (Checks(s)
          .positive(n)
          .notNull(src, "src==0")
          .notNull(dst, "dst==0")
          .require(factor != 0, "factor == 0")) {
    kern::normalize(src, dst, n, offset, 1.0 / static_cast<double>(factor));
  }
}

}  // namespace

extern "C" {

KVO_API float KVO_CALL kvosNorm(const float* srcA, const float* srcB, int n, int flag) {
  return norm<float>(KVO_SITE, srcA, srcB, n, flag);
}
KVO_API float KVO_CALL kvocNorm(const CF* srcA, const CF* srcB, int n, int flag) {
  return norm<float>(KVO_SITE, srcA, srcB, n, flag);
}
KVO_API float KVO_CALL kvowNorm(const short* srcA, const short* srcB, int n, int flag) {
  return norm<float>(KVO_SITE, srcA, srcB, n, flag);
}
KVO_API float KVO_CALL kvovNorm(const CS* srcA, const CS* srcB, int n, int flag) {
  return norm<float>(KVO_SITE, srcA, srcB, n, flag);
}
KVO_API double KVO_CALL kvodNorm(const double* srcA, const double* srcB, int n, int flag) {
  return norm<double>(KVO_SITE, srcA, srcB, n, flag);
}
KVO_API double KVO_CALL kvozNorm(const CD* srcA, const CD* srcB, int n, int flag) {
  return norm<double>(KVO_SITE, srcA, srcB, n, flag);
}

KVO_API void KVO_CALL kvosbNormalize(const float* src, float* dst, int n, float offset,
                                     float factor) {
  normalize(KVO_SITE, src, dst, n, offset, factor);
}
KVO_API void KVO_CALL kvocbNormalize(const CF* src, CF* dst, int n, CF offset, float factor) {
  normalize(KVO_SITE, src, dst, n, offset, factor);
}
KVO_API void KVO_CALL kvodbNormalize(const double* src, double* dst, int n, double offset,
                                     double factor) {
  normalize(KVO_SITE, src, dst, n, offset, factor);
}
KVO_API void KVO_CALL kvozbNormalize(const CD* src, CD* dst, int n, CD offset, double factor) {
  normalize(KVO_SITE, src, dst, n, offset, factor);
}
KVO_API void KVO_CALL kvowbNormalize(const short* src, short* dst, int n, short offset,
                                     float factor) {
  normalize(KVO_SITE, src, dst, n, offset, factor);
}
KVO_API void KVO_CALL kvovbNormalize(const CS* src, CS* dst, int n, CS offset, float factor) {
  normalize(KVO_SITE, src, dst, n, offset, factor);
}

}  // extern "C"
