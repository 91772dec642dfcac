// Window parameters shared by the float, double and 16-bit members and by FIR design.
#include <cmath>

#include "kernels/generate/win.h"

namespace kvo::kern {

double blackmanOptAlpha(int len) {
  const double c = 0.5 / std::cos(3.14159265358979323846 / static_cast<double>(len - 1));
  return -(c * c);
}

}  // namespace kvo::kern
