// The 16-bit direct convolution steps shared by kvowConv and kvowConv2D.
#pragma once

#include <cstddef>

namespace kvo::conv {

// y[i + j] = saturate16(y[i + j] + low16(a[i] * b[j])) for the la + lb - 1 outputs, b walked in
// order and its zero values skipped.
void wrapConv(const short* a, int la, const short* b, int lb, short* y);

// After the 16-bit sums, only for scaleMode KVO_FIXED_SCALE with a nonzero *scaleFactor: right by
// min(f, 15), or left by -f without saturation (16 or more gives 0).
void fixedShift(short* y, std::size_t n, int scaleMode, const int* scaleFactor);

}  // namespace kvo::conv
