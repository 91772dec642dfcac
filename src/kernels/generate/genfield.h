// Helpers shared by the generators: the float-or-double record fields and 16-bit conversions.
#pragma once

#include <cmath>
#include <cstdint>

#include "kvo.h"

namespace kvo::kern::gen {

// The member of a KvoRealField that a generator of field type F uses.
template <class F>
F& field(KvoRealField& x) {
  if constexpr (sizeof(F) == sizeof(float)) {
    return x.f;
  } else {
    return x.d;
  }
}
template <class F>
F field(const KvoRealField& x) {
  if constexpr (sizeof(F) == sizeof(float)) {
    return x.f;
  } else {
    return x.d;
  }
}

// Nearest integer in the current rounding mode, saturated to 16 bits (NaN gives 0).
inline short roundToShort(double x) {
  if (!(x > -32768.5)) return x != x ? 0 : -32768;
  if (!(x < 32767.5)) return 32767;
  return static_cast<short>(std::nearbyint(x));
}

// The low 16 bits of a 32-bit value, as a signed 16-bit number.
inline short low16(std::int32_t x) {
  return static_cast<short>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(x)));
}

// Complex elements of any of the library's complex types (two parts, real first).
template <class T>
inline constexpr bool kIsPair = false;
template <>
inline constexpr bool kIsPair<ComplexFloat> = true;
template <>
inline constexpr bool kIsPair<ComplexDouble> = true;
template <>
inline constexpr bool kIsPair<ComplexShort> = true;

constexpr double kPi = 3.14159265358979323846;

}  // namespace kvo::kern::gen
