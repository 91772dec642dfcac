// Conversion kernels: floating point to 8-, 16- and 32-bit integer or fixed-point data with a
// chosen rounding, integers back to floating point, and the magnitude, phase and power of complex
// data.
//
// Float-to-integer rounding never touches the caller's floating-point environment: it uses
// rounding instructions that carry their direction, or truncating conversions with exact
// corrections, so results do not depend on the rounding mode the caller has set and are the same
// at every instruction-set level.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

enum class Round { Nearest, Zero, Down, Up };

// Where one scaled value y = x * 2^fractBits goes.
struct IntTarget {
  int width;      // 8, 16 or 32
  double lo, hi;  // the destination range
  double scale;   // 2^fractBits
  bool clip;      // clamp to [lo, hi]; otherwise keep the low `width` bits of the rounded value
};

// One value, exactly: rounded in the given direction, then clamped or wrapped to the low bits
// (returned in the low bits of the result). NaN gives 0; infinities wrap to 0 and clamp to the
// bound. `outside` is set when the rounded value lies outside [lo, hi]; NaN never is.
std::int64_t convertOne(double y, Round mode, const IntTarget& t, bool& outside);

// The vector form; returns whether any element was outside the range.
template <Isa I, class R, int W, Round M>
bool floatToIntK(const R* src, void* dst, std::size_t n, const IntTarget& t);

// dst[k] = src[k] * scale, rounded once to R.
template <Isa I, class In, class R>
void intToFloatK(const In* src, R* dst, std::size_t n, R scale);

// Pair kernels on float data: re and im advance by Stride floats per element (2 for interleaved
// complex data, 1 for separate arrays). The power re^2 + im^2 is formed in double.
enum class PairOp {
  Power,            // the power, rounded once to float
  Mag,              // its square root, rounded once to float
  MagOfFloatPower,  // the float square root of the power rounded to float
};
template <Isa I, PairOp Op, int Stride>
void pairK(const float* re, const float* im, float* dst, std::size_t n);

#define KVO_FOR_CVT_WIDTH(X, R, W) \
  X(R, W, Round::Nearest) X(R, W, Round::Zero) X(R, W, Round::Down) X(R, W, Round::Up)
#define KVO_FOR_CVT_TYPE(X, R) \
  KVO_FOR_CVT_WIDTH(X, R, 8) KVO_FOR_CVT_WIDTH(X, R, 16) KVO_FOR_CVT_WIDTH(X, R, 32)
#define KVO_FOR_CVT(X) KVO_FOR_CVT_TYPE(X, float) KVO_FOR_CVT_TYPE(X, double)

#define KVO_FOR_INT_TO_FLOAT_TYPE(X, R) \
  X(std::int8_t, R)                     \
  X(std::uint8_t, R) X(std::int16_t, R) X(std::uint16_t, R) X(std::int32_t, R) X(std::uint32_t, R)
#define KVO_FOR_INT_TO_FLOAT(X) \
  KVO_FOR_INT_TO_FLOAT_TYPE(X, float) KVO_FOR_INT_TO_FLOAT_TYPE(X, double)

#define KVO_FOR_PAIR(X) \
  X(PairOp::Power, 1)   \
  X(PairOp::Power, 2)   \
  X(PairOp::Mag, 1) X(PairOp::Mag, 2) X(PairOp::MagOfFloatPower, 1) X(PairOp::MagOfFloatPower, 2)

namespace detail {
template <class R, int W>
bool floatToIntWidth(const R* src, void* dst, std::size_t n, Round mode, const IntTarget& t) {
  switch (mode) {
    case Round::Nearest:
      return KVO_DISPATCH(floatToIntK, R, W, Round::Nearest)(src, dst, n, t);
    case Round::Zero:
      return KVO_DISPATCH(floatToIntK, R, W, Round::Zero)(src, dst, n, t);
    case Round::Down:
      return KVO_DISPATCH(floatToIntK, R, W, Round::Down)(src, dst, n, t);
    default:
      return KVO_DISPATCH(floatToIntK, R, W, Round::Up)(src, dst, n, t);
  }
}
}  // namespace detail

// Converts n values to t.width-bit integers; returns whether any was outside [t.lo, t.hi].
template <class R>
bool floatToInt(const R* src, void* dst, int n, Round mode, const IntTarget& t) {
  const auto count = static_cast<std::size_t>(n);
  switch (t.width) {
    case 8:
      return detail::floatToIntWidth<R, 8>(src, dst, count, mode, t);
    case 16:
      return detail::floatToIntWidth<R, 16>(src, dst, count, mode, t);
    default:
      return detail::floatToIntWidth<R, 32>(src, dst, count, mode, t);
  }
}

template <class In, class R>
void intToFloat(const In* src, R* dst, int n, R scale) {
  KVO_DISPATCH(intToFloatK, In, R)(src, dst, static_cast<std::size_t>(n), scale);
}

template <PairOp Op, int Stride>
void pairs(const float* re, const float* im, float* dst, int n) {
  KVO_DISPATCH(pairK, Op, Stride)(re, im, dst, static_cast<std::size_t>(n));
}

// ---- element functions of the complex conversions ----
//
// Float data are worked on in double and double data in long double (extended precision on x86),
// each result rounded once to the element type.

template <class R>
using Wide = std::conditional_t<std::is_same_v<R, float>, double, long double>;

template <class R>
R power(R re, R im) {
  const Wide<R> a = re, b = im;
  return static_cast<R>(a * a + b * b);
}

template <class R>
R magnitude(R re, R im) {
  const Wide<R> a = re, b = im;
  return static_cast<R>(std::sqrt(a * a + b * b));
}

// atan2(im, re), except that a zero imaginary part (of either sign) gives +pi for a negative real
// part and +0 otherwise: the phase of a real number does not depend on the sign of a zero.
template <class R>
R phase(R re, R im) {
  if (im == 0) return re < 0 ? static_cast<R>(3.14159265358979323846) : R(0);
  return static_cast<R>(std::atan2(static_cast<Wide<R>>(im), static_cast<Wide<R>>(re)));
}

template <class R>
void polarToCartesian(R mag, R phi, R& re, R& im) {
  const Wide<R> m = mag, p = phi;
  re = static_cast<R>(m * std::cos(p));
  im = static_cast<R>(m * std::sin(p));
}

}  // namespace kvo::kern
