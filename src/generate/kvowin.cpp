// Window functions of float, double and their complex types (module kvowin).
#include "generate/winforms.h"

namespace {
constexpr const char* kModule = "kvowin";
}  // namespace

extern "C" {
KVO_WIN_ENTRIES(s, float, float, ::kvo::kern::window)
KVO_WIN_ENTRIES(c, ComplexFloat, float, ::kvo::kern::window)
KVO_WIN_ENTRIES(d, double, double, ::kvo::kern::window)
KVO_WIN_ENTRIES(z, ComplexDouble, double, ::kvo::kern::window)
}
