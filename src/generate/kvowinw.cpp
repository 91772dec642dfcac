// Window functions of 16-bit real and complex data, in fixed point (module kvowinw).
#include "generate/winforms.h"

namespace {
constexpr const char* kModule = "kvowinw";
}  // namespace

extern "C" {
KVO_WIN_ENTRIES(w, short, float, ::kvo::kern::windowShort)
KVO_WIN_ENTRIES(v, ComplexShort, float, ::kvo::kern::windowShort)
}
