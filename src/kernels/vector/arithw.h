// 16-bit block arithmetic: Add, Sub and Mpy on short and ComplexShort vectors, each element formed
// exactly (17 bits for sums, 32 bits for real products, 33 bits for complex products) and then
// brought to 16 bits by a shift and wrap-around or saturation.
//
// Unshifted wrap-around and saturation run in packed 16-bit kernels (plain and saturating packed
// adds, low multiplies, multiply-adds); shifted results are formed element by element. Both give
// exactly the element-wise results. Outputs identical to an input are fine; partly overlapping ones
// are not supported.
#pragma once

#include <cstddef>

#include "kernels/complex.h"
#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern {

// How each exact result r is stored: shifted right by `shift` (> 0) or left by -`shift` (< 0),
// at most 31 places either way, then its low 16 bits or r clamped to -32768 .. 32767.
struct Scaling {
  int shift = 0;
  bool saturate = false;
};

// d[k] = a[k] op b[k] (kScalarB false) or a[k] op b[0] (kScalarB true), stored by `sc`.
template <Isa I, class Op, class T, bool kScalarB>
void arith16K(const T* a, const T* b, T* d, std::size_t n, Scaling sc);
// The smallest s >= 0 for which every exact result (both parts of a complex one) shifted right by
// s fits in 16 bits.
template <Isa I, class Op, class T, bool kScalarB>
int autoShift16K(const T* a, const T* b, std::size_t n);

#define KVO_FOR_ARITH16_TYPE(X, Op) \
  X(Op, short, false) X(Op, short, true) X(Op, ComplexShort, false) X(Op, ComplexShort, true)
#define KVO_FOR_ARITH16(X) \
  KVO_FOR_ARITH16_TYPE(X, Add) KVO_FOR_ARITH16_TYPE(X, Sub) KVO_FOR_ARITH16_TYPE(X, Mpy)

template <class Op, class T>
void arith16(const T* a, const T* b, T* d, int n, Scaling sc) {
  KVO_DISPATCH(arith16K, Op, T, false)(a, b, d, static_cast<std::size_t>(n), sc);
}
template <class Op, class T>
void arith16(const T* a, T b, T* d, int n, Scaling sc) {
  KVO_DISPATCH(arith16K, Op, T, true)(a, &b, d, static_cast<std::size_t>(n), sc);
}
template <class Op, class T>
int autoShift16(const T* a, const T* b, int n) {
  return KVO_DISPATCH(autoShift16K, Op, T, false)(a, b, static_cast<std::size_t>(n));
}
template <class Op, class T>
int autoShift16(const T* a, T b, int n) {
  return KVO_DISPATCH(autoShift16K, Op, T, true)(a, &b, static_cast<std::size_t>(n));
}

}  // namespace kvo::kern
