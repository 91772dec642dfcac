// Window functions applied in place.
//
// Every window here is symmetric, so the weight of pair n (elements n and len-1-n) is computed
// once, n = 0 .. len/2 - 1, and the middle element of an odd length is never touched. The weights
// come from short recurrences (a cosine recurrence, an incremental Bessel argument, an integer
// phasor rotation) that run in a fixed order; blocks of them are then applied to the front and
// the back of the vector with loops the compiler vectorises. The weights, and therefore the
// results, are the same on every instruction-set level.
#pragma once

#include <cstddef>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

enum class WinKind { Bartlett, Hann, Hamming, Blackman, Kaiser };

// Float and double windows (T float, double, ComplexFloat, ComplexDouble). `param` is Blackman's
// alpha or Kaiser's beta (unused otherwise). Weights in double precision; each product is rounded
// once to the element type. len >= 3.
template <Isa I, class T>
void windowK(T* v, std::size_t len, WinKind kind, double param);

// 16-bit windows (T short or ComplexShort): fixed-point weights and saturated products; Kaiser
// computes its weights in floating point and rounds each product in the current rounding mode.
template <Isa I, class T>
void windowShortK(T* v, std::size_t len, WinKind kind, double param);

// The optimal Blackman alpha for a window of length len: -(0.5 / cos(pi/(len-1)))^2.
double blackmanOptAlpha(int len);

template <class T>
void window(T* v, int len, WinKind kind, double param) {
  KVO_DISPATCH(windowK, T)(v, static_cast<std::size_t>(len), kind, param);
}
template <class T>
void windowShort(T* v, int len, WinKind kind, double param) {
  KVO_DISPATCH(windowShortK, T)(v, static_cast<std::size_t>(len), kind, param);
}

}  // namespace kvo::kern
