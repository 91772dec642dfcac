// Single-precision complex FFT, real FFT and packed-spectrum products (module kvoffts).
#include "kvo.h"
#include "transform/fftframe.h"

namespace {
constexpr const char* kModule = "kvoffts";
}  // namespace

#define CPX ComplexFloat
#define RE float
#define KVO_CNAME(op) kvoc##op
#define KVO_RNAME(op) kvos##op
#include "transform/fftentries.inc"
