// Double-precision complex FFT, real FFT and packed-spectrum products (module kvofftd).
#include "kvo.h"
#include "transform/fftframe.h"

namespace {
constexpr const char* kModule = "kvofftd";
}  // namespace

#define CPX ComplexDouble
#define RE double
#define KVO_CNAME(op) kvoz##op
#define KVO_RNAME(op) kvod##op
#include "transform/fftentries.inc"
