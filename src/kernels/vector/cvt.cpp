#include "kernels/vector/cvt.h"

#include <algorithm>

namespace kvo::kern {

std::int64_t convertOne(double y, Round mode, const IntTarget& t, bool& outside) {
  if (std::isnan(y)) return 0;
  double r = y;  // from 2^52 on every double is an integer
  if (std::fabs(y) < 0x1p52) {
    const double whole = std::trunc(y);
    switch (mode) {
      case Round::Zero:
        r = whole;
        break;
      case Round::Down:
        r = whole > y ? whole - 1 : whole;
        break;
      case Round::Up:
        r = whole < y ? whole + 1 : whole;
        break;
      case Round::Nearest: {
        const double frac = std::fabs(y - whole);  // exact
        const bool odd = std::fmod(whole, 2.0) != 0;
        r = frac > 0.5 || (frac == 0.5 && odd) ? whole + std::copysign(1.0, y) : whole;
        break;
      }
    }
  }
  if (r < t.lo || r > t.hi) outside = true;
  if (t.clip) return static_cast<std::int64_t>(std::clamp(r, t.lo, t.hi));
  if (std::isinf(r)) return 0;
  // The low bits of the exact integer: fmod is exact, and so is adding the period back.
  const double period = std::ldexp(1.0, t.width);
  double low = std::fmod(r, period);
  if (low < 0) low += period;
  return static_cast<std::int64_t>(low);
}

}  // namespace kvo::kern
