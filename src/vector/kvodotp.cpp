// Dot products of float and double vectors, real and complex (module kvodotp).
#include <type_traits>

#include "frame/check.h"
#include "kernels/vector/stats.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvodotp";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
using CF = ComplexFloat;
using CD = ComplexDouble;

// Sum of a[k] b[k] without conjugation, accumulated in double precision and rounded once to the
// result type R. len 0 gives 0.
template <class R, class A, class B>
R dot(const Site& s, const A* a, const B* b, int len) {
  if (!Checks(s).require(a && b, "Null buffer pointer").require(len >= 0, "Invalid value")) {
    return R{};
  }
  const kern::Sum2 sum = kern::dot(a, b, len);
  if constexpr (std::is_arithmetic_v<R>) {
    return static_cast<R>(sum.re);
  } else {
    using P = decltype(R::re);
    return {static_cast<P>(sum.re), static_cast<P>(sum.im)};
  }
}

}  // namespace

extern "C" {

KVO_API float KVO_CALL kvosDotProd(const float* srcA, const float* srcB, int len) {
  return dot<float>(KVO_SITE, srcA, srcB, len);
}
KVO_API double KVO_CALL kvodDotProd(const double* srcA, const double* srcB, int len) {
  return dot<double>(KVO_SITE, srcA, srcB, len);
}
KVO_API CF KVO_CALL kvocDotProd(const CF* srcA, const CF* srcB, int len) {
  return dot<CF>(KVO_SITE, srcA, srcB, len);
}
KVO_API CF KVO_CALL kvoscDotProd(const float* srcA, const CF* srcB, int len) {
  return dot<CF>(KVO_SITE, srcA, srcB, len);
}
KVO_API CF KVO_CALL kvocsDotProd(const CF* srcA, const float* srcB, int len) {
  return dot<CF>(KVO_SITE, srcA, srcB, len);
}
KVO_API CD KVO_CALL kvozDotProd(const CD* srcA, const CD* srcB, int len) {
  return dot<CD>(KVO_SITE, srcA, srcB, len);
}
KVO_API CD KVO_CALL kvodzDotProd(const double* srcA, const CD* srcB, int len) {
  return dot<CD>(KVO_SITE, srcA, srcB, len);
}
KVO_API CD KVO_CALL kvozdDotProd(const CD* srcA, const double* srcB, int len) {
  return dot<CD>(KVO_SITE, srcA, srcB, len);
}

}  // extern "C"
