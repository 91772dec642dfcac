// Element-function kernels for one instruction-set level; included by elem_<level>.cpp after
// KVO_ISA is defined. See isa.h for the rules these files follow.
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "kernels/vector/elem.h"
#include "kernels/vector/elem_lanes.h"

namespace kvo::kern {
namespace {

// A float's bit pattern read as sign and magnitude: ordered like the numbers for finite values,
// with -0 equal to +0.
KVO_KERNEL_INLINE std::int32_t orderKey(float x) {
  const auto b = std::bit_cast<std::int32_t>(x);
  const std::int32_t magnitude = b & 0x7FFFFFFF;
  return b < 0 ? -magnitude : magnitude;
}

template <class T>
KVO_KERNEL_INLINE bool less(T x, T y) {
  if constexpr (std::is_same_v<T, float>) {
    return orderKey(x) < orderKey(y);
  } else {
    return x < y;
  }
}

// Complex results are formed in double precision and rounded once; 16-bit parts truncate.
template <class R>
KVO_KERNEL_INLINE R narrow(double x) {
  return static_cast<R>(x);
}

template <class T>
using Part = decltype(T::re);

// Double data are scaled by a power of two where squares of the parts could overflow or underflow;
// `up` undoes the scaling of a square root.
struct Scaled {
  double re, im, up;
};
template <class T>
KVO_KERNEL_INLINE Scaled forSquareRoot(T x) {
  Scaled s{static_cast<double>(x.re), static_cast<double>(x.im), 1.0};
  if constexpr (std::is_same_v<Part<T>, double>) {
    const double a = std::fmax(std::fabs(s.re), std::fabs(s.im));
    if (a > 0x1p500) {
      s = {s.re * 0x1p-600, s.im * 0x1p-600, 0x1p300};
    } else if (a < 0x1p-500) {
      s = {s.re * 0x1p600, s.im * 0x1p600, 0x1p-300};
    }
  }
  return s;
}

template <class T>
KVO_KERNEL_INLINE T complexSqrt(T x) {
  using R = Part<T>;
  if constexpr (!std::is_same_v<R, short>) {
    // The formula would give inf/inf; the root of x +- i inf is inf +- i inf, whatever x is.
    if (std::isinf(x.im)) return {std::numeric_limits<R>::infinity(), x.im};
  }
  const Scaled s = forSquareRoot(x);
  const double t = std::sqrt((std::sqrt(s.re * s.re + s.im * s.im) + std::fabs(s.re)) * 0.5);
  if (t == 0) return {0, 0};
  const double w = std::fabs(s.im) / (2 * t);
  const bool swap = std::signbit(s.re);
  const double im = (swap ? t : w) * s.up;
  return {narrow<R>((swap ? w : t) * s.up), narrow<R>(s.im < 0 ? -im : im)};
}

template <class T>
KVO_KERNEL_INLINE T clip(T x, double t, double t2, bool greater) {
  using R = Part<T>;
  const double re = x.re, im = x.im;
  const double m2 = re * re + im * im;
  if (greater ? !(m2 > t2) : !(m2 < t2)) return x;
  if (!greater && m2 < DBL_MIN) return {static_cast<R>(t), 0};  // no phase to keep
  const double m = m2 <= DBL_MAX ? std::sqrt(m2) : std::hypot(re, im);
  const double f = t / m;
  return {narrow<R>(re * f), narrow<R>(im * f)};
}

// Complex inverse with a magnitude floor. Double data are scaled by 2^-e, e the exponent of the
// larger part, so that neither |x|^2 nor 1/|x|^2 leaves the double range on the way; float data
// cannot, in double precision.
template <class T>
KVO_KERNEL_INLINE T complexInverse(T x, double t, bool zeroThresh, bool& zeroMet) {
  using R = Part<T>;
  double re = x.re, im = x.im;
  if (re == 0 && im == 0) {
    zeroMet |= zeroThresh;
    return zeroThresh ? T{std::numeric_limits<R>::max(), 0} : T{static_cast<R>(1 / t), 0};
  }
  int e = 0;
  if constexpr (std::is_same_v<R, double>) {
    // fmax passes over a NaN part, so a is 0 for (NaN, 0): no exponent to take then.
    const double a = std::fmax(std::fabs(re), std::fabs(im));
    if (std::isfinite(a) && a > 0) {
      e = std::ilogb(a);
      re = std::ldexp(re, -e);
      im = std::ldexp(im, -e);
    }
  }
  const double m2 = re * re + im * im;
  const double ts = e == 0 ? t : std::ldexp(t, -e);
  if (zeroThresh || m2 >= ts * ts) {
    // conj(x) / |x|^2, scaled back by 2^-e.
    const double outRe = re / m2, outIm = -im / m2;
    if (e == 0) return {narrow<R>(outRe), narrow<R>(outIm)};
    return {narrow<R>(std::ldexp(outRe, -e)), narrow<R>(std::ldexp(outIm, -e))};
  }
  // Magnitude 1/thresh with the phase of 1/x: conj(x) / (|x| thresh), the same for scaled x.
  const double k = 1 / (std::sqrt(m2) * t);
  return {narrow<R>(re * k), narrow<R>(-im * k)};
}

}  // namespace

template <Isa I, class T>
bool sqrtRealK(const T* s, T* d, std::size_t n) {
  using V = typename lanes::Of<T>::V;
  using M = typename lanes::Of<T>::M;
  constexpr std::size_t kLanes = sizeof(V) / sizeof(T);
  // A skipped element (sign set, not -0) has a NaN root, so vectors without NaN roots are stored
  // as they are; only the others read the destination, for their skipped lanes.
  M skipped{};
  auto roots = [&](V x, T* to, std::size_t count) {
    V root = lanes::sqrt(x);
    if (lanes::any(reinterpret_cast<M>(root != root))) {
      const M neg = (x < 0) | ((reinterpret_cast<M>(x) < 0) & (x != x));
      V old;
      std::memcpy(&old, to, count * sizeof(T));
      root = lanes::select(neg, old, root);
      skipped |= neg;
    }
    std::memcpy(to, &root, count * sizeof(T));
  };
  std::size_t i = 0;
  for (; i + 2 * kLanes <= n; i += 2 * kLanes) {
    V x0, x1;
    std::memcpy(&x0, s + i, sizeof x0);
    std::memcpy(&x1, s + i + kLanes, sizeof x1);
    const V r0 = lanes::sqrt(x0), r1 = lanes::sqrt(x1);
    if (lanes::any(reinterpret_cast<M>((r0 != r0) | (r1 != r1)))) {
      roots(x0, d + i, kLanes);
      roots(x1, d + i + kLanes, kLanes);
    } else {
      std::memcpy(d + i, &r0, sizeof r0);
      std::memcpy(d + i + kLanes, &r1, sizeof r1);
    }
  }
  for (; i + kLanes <= n; i += kLanes) {
    V x;
    std::memcpy(&x, s + i, sizeof x);
    roots(x, d + i, kLanes);
  }
  if (i < n) {
    V x = lanes::splat<V>(1);
    std::memcpy(&x, s + i, (n - i) * sizeof(T));
    roots(x, d + i, n - i);
  }
  return lanes::any(skipped);
}

template <Isa I>
bool sqrtShortK(const short* s, short* d, std::size_t n) {
  unsigned negativeSeen = 0;
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
    const short x = s[i];
    // sqrtf is correctly rounded and k - sqrt(k^2 - 1) > 1/(2k) is far above the rounding error
    // for k <= 181, so the truncated float root is the floor of the exact one.
    const short clamped = x < 0 ? short{0} : x;
    d[i] = static_cast<short>(std::sqrt(static_cast<float>(clamped)));
    negativeSeen |= static_cast<unsigned short>(x) >> 15;
  }
  return negativeSeen != 0;
}

template <Isa I, class T>
void sqrtComplexK(const T* s, T* d, std::size_t n) {
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) d[i] = complexSqrt(s[i]);
}

template <Isa I, class T>
void threshK(const T* s, T* d, std::size_t n, T thresh, bool greater) {
  if (greater) {
    KVO_IVDEP for (std::size_t i = 0; i < n; ++i) d[i] = less(thresh, s[i]) ? thresh : s[i];
  } else {
    KVO_IVDEP for (std::size_t i = 0; i < n; ++i) d[i] = less(s[i], thresh) ? thresh : s[i];
  }
}

template <Isa I, class T, class R>
void threshComplexK(const T* s, T* d, std::size_t n, R thresh, bool greater) {
  const double t = thresh;
  const double t2 = t * t;
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) d[i] = clip(s[i], t, t2, greater);
}

template <Isa I, class T, class R>
bool invThreshK(const T* s, T* d, std::size_t n, R thresh) {
  bool zeroMet = false;
  if constexpr (std::is_same_v<T, R>) {
    // Real data, divided in the element type. Written with explicit lanes: the compiler would not
    // turn a division under a condition into a vector select (it might trap).
    using V = typename lanes::Of<T>::V;
    const V t = lanes::splat<V>(thresh);
    if (thresh > 0) {
      const V r = lanes::splat<V>(T{1} / thresh);
      lanes::map<V>(s, d, n, [&](V x) {
        const V magnitude = lanes::select(x < 0, -x, x);
        return lanes::select(magnitude <= t, lanes::select(x < 0, -r, r), 1 / x);
      });
    } else {
      const V largest = lanes::splat<V>(std::numeric_limits<T>::max());
      typename lanes::Of<T>::M seen{};
      lanes::map<V>(s, d, n, [&](V x) {
        const auto zero = x == 0;
        seen |= zero;
        return lanes::select(zero, largest, 1 / x);
      });
      zeroMet = lanes::any(seen);
    }
  } else {
    // A threshold without exponent (zero or subnormal) counts as zero.
    const bool zeroThresh = !(thresh >= std::numeric_limits<R>::min());
    for (std::size_t i = 0; i < n; ++i) d[i] = complexInverse(s[i], thresh, zeroThresh, zeroMet);
  }
  return zeroMet;
}

template <Isa I, class T>
void absK(const T* s, T* d, std::size_t n) {
  if constexpr (std::is_same_v<T, short>) {
    KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
      const short x = s[i];
      d[i] = x >= 0 ? x : x == SHRT_MIN ? short{SHRT_MAX} : static_cast<short>(-x);
    }
  } else {
    KVO_IVDEP for (std::size_t i = 0; i < n; ++i) d[i] = std::fabs(s[i]);
  }
}

template <Isa I>
void lnShortK(const short* s, short* d, std::size_t n) {
  // The smallest integers above e^k, k = 1 .. 10.
  static constexpr short kAbove[10] = {3, 8, 21, 55, 149, 404, 1097, 2981, 8104, 22027};
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
    short count = 0;
    for (short t : kAbove) count = static_cast<short>(count + (s[i] >= t));
    d[i] = count;
  }
}

template <Isa I>
void expShortK(const short* s, std::int32_t* d, std::size_t n) {
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) d[i] = expShortOf(s[i]);
}

template bool sqrtRealK<KVO_ISA, float>(const float*, float*, std::size_t);
template bool sqrtRealK<KVO_ISA, double>(const double*, double*, std::size_t);
template bool sqrtShortK<KVO_ISA>(const short*, short*, std::size_t);
template void sqrtComplexK<KVO_ISA, ComplexFloat>(const ComplexFloat*, ComplexFloat*, std::size_t);
template void sqrtComplexK<KVO_ISA, ComplexDouble>(const ComplexDouble*, ComplexDouble*,
                                                   std::size_t);
template void sqrtComplexK<KVO_ISA, ComplexShort>(const ComplexShort*, ComplexShort*, std::size_t);
template void threshK<KVO_ISA, float>(const float*, float*, std::size_t, float, bool);
template void threshK<KVO_ISA, double>(const double*, double*, std::size_t, double, bool);
template void threshK<KVO_ISA, short>(const short*, short*, std::size_t, short, bool);
template void threshComplexK<KVO_ISA, ComplexFloat, float>(const ComplexFloat*, ComplexFloat*,
                                                           std::size_t, float, bool);
template void threshComplexK<KVO_ISA, ComplexDouble, double>(const ComplexDouble*, ComplexDouble*,
                                                             std::size_t, double, bool);
template void threshComplexK<KVO_ISA, ComplexShort, short>(const ComplexShort*, ComplexShort*,
                                                           std::size_t, short, bool);
template bool invThreshK<KVO_ISA, float, float>(const float*, float*, std::size_t, float);
template bool invThreshK<KVO_ISA, double, double>(const double*, double*, std::size_t, double);
template bool invThreshK<KVO_ISA, ComplexFloat, float>(const ComplexFloat*, ComplexFloat*,
                                                       std::size_t, float);
template bool invThreshK<KVO_ISA, ComplexDouble, double>(const ComplexDouble*, ComplexDouble*,
                                                         std::size_t, double);
template void absK<KVO_ISA, float>(const float*, float*, std::size_t);
template void absK<KVO_ISA, double>(const double*, double*, std::size_t);
template void absK<KVO_ISA, short>(const short*, short*, std::size_t);
template void lnShortK<KVO_ISA>(const short*, short*, std::size_t);
template void expShortK<KVO_ISA>(const short*, std::int32_t*, std::size_t);

}  // namespace kvo::kern
