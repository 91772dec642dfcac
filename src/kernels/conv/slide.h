// Sliding dot products, the inner loop of every direct convolution and correlation.
//
// slide: out[l] = sum over k < na of c[k] * b[l + k * step] for l < lanes (stored, or added to
// out). With step 1 and real data this is one output per lane; with step 2 over interleaved
// complex data each lane is the real or imaginary part of an output, so a complex product is two
// calls (real and imaginary coefficient parts) combined by the caller. Many outputs are formed
// per pass with independent accumulators; each coefficient is broadcast once per pass.
//
// Accumulation: Acc = float keeps the running value in float but adds every product unrounded
// (fused multiply-add where the level has it); Acc = double widens float data first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"

namespace kvo::kern {

template <Isa I, class T, class Acc>
void slideK(const T* c, int na, const T* b, int step, int lanes, Acc* out, bool add);

template <class T, class Acc>
void slide(const T* c, int na, const T* b, int step, int lanes, Acc* out, bool add) {
  KVO_DISPATCH(slideK, T, Acc)(c, na, b, step, lanes, out, add);
}

// 16-bit: y[i] = saturate16(y[i] + low16(a[i] * v)) for i < n.
template <Isa I>
void wrapMacSatK(short* y, const short* a, int n, short v);
inline void wrapMacSat(short* y, const short* a, int n, short v) {
  KVO_DISPATCH(wrapMacSatK)(y, a, n, v);
}

// 16-bit dot product with a wrapping 32-bit sum: sum of a[i] * b[i], i < n.
template <Isa I>
std::int32_t wrapDotK(const short* a, const short* b, int n);
inline std::int32_t wrapDot(const short* a, const short* b, int n) {
  return KVO_DISPATCH(wrapDotK)(a, b, n);
}

// 32-bit sums of 16-bit products: acc[i] += p[i] * v for i < n (wrapping).
template <Isa I>
void wideMacK(std::int32_t* acc, const short* p, int n, short v);
inline void wideMac(std::int32_t* acc, const short* p, int n, short v) {
  KVO_DISPATCH(wideMacK)(acc, p, n, v);
}

// 16-bit complex: the wrapping 32-bit sums of conj(a[i]) * b[i] (`conjA`) or a[i] * b[i]; a and b
// interleaved (re, im) pairs, n pairs; `bComplex` false reads b as n real values.
template <Isa I>
void wrapCDotK(const short* a, bool aComplex, const short* b, bool bComplex, int n,
               std::int32_t* re, std::int32_t* im);
inline void wrapCDot(const short* a, bool aComplex, const short* b, bool bComplex, int n,
                     std::int32_t* re, std::int32_t* im) {
  KVO_DISPATCH(wrapCDotK)(a, aComplex, b, bComplex, n, re, im);
}

}  // namespace kvo::kern
