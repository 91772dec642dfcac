// Folded direct DFT for one instruction-set level; included by dft_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow and dft.h for the arithmetic.
#include <cstddef>

#include "kernels/transform/dft.h"

namespace kvo::kern {
namespace {

// Four doubles: two complex terms side by side (re, im, re, im). Only used inside this file, so
// no vector value crosses a call boundary whose ABI depends on the level.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double D4 __attribute__((vector_size(4 * sizeof(double))));

// Index (n*k) mod L advanced by `step` = (j*k) mod L.
KVO_KERNEL_INLINE std::size_t advance(std::size_t idx, std::size_t step, std::size_t L) {
  idx += step;
  return idx >= L ? idx - L : idx;
}

// Sums over n = 1..h of a*C (p: re, r: im) and b*S with b's parts swapped (q: b.im*S,
// t: b.re*S), a = y[n], b = y[L-n], (C, S) = table[(n*k) mod L].
struct Sums {
  double p, q, r, t;
};

template <class C>
KVO_KERNEL_INLINE Sums foldedSums(const C* y, std::size_t L, std::size_t h, const C* table,
                                  std::size_t k) {
  D4 ac0 = {0, 0, 0, 0}, bs0 = ac0, ac1 = ac0, bs1 = ac0;
  const std::size_t step4 = (4 * k) % L;
  std::size_t i0 = k % L, i1 = (2 * k) % L, i2 = (3 * k) % L, i3 = step4;
  std::size_t n = 1;
  for (; n + 3 <= h; n += 4) {
    const C *a = y + n, *b = y + (L - n);
    const D4 va0 = {a[0].re, a[0].im, a[1].re, a[1].im};
    const D4 vb0 = {b[0].im, b[0].re, b[-1].im, b[-1].re};
    const D4 va1 = {a[2].re, a[2].im, a[3].re, a[3].im};
    const D4 vb1 = {b[-2].im, b[-2].re, b[-3].im, b[-3].re};
    const D4 c0 = {table[i0].re, table[i0].re, table[i1].re, table[i1].re};
    const D4 s0 = {table[i0].im, table[i0].im, table[i1].im, table[i1].im};
    const D4 c1 = {table[i2].re, table[i2].re, table[i3].re, table[i3].re};
    const D4 s1 = {table[i2].im, table[i2].im, table[i3].im, table[i3].im};
    ac0 += va0 * c0;
    bs0 += vb0 * s0;
    ac1 += va1 * c1;
    bs1 += vb1 * s1;
    i0 = advance(i0, step4, L);
    i1 = advance(i1, step4, L);
    i2 = advance(i2, step4, L);
    i3 = advance(i3, step4, L);
  }
  const D4 ac = ac0 + ac1, bs = bs0 + bs1;
  Sums s{ac[0] + ac[2], bs[0] + bs[2], ac[1] + ac[3], bs[1] + bs[3]};
  for (; n <= h; ++n) {  // i0 is the index of this n
    const C a = y[n], b = y[L - n];
    const double c = table[i0].re, sn = table[i0].im;
    s.p += a.re * c;
    s.r += a.im * c;
    s.q += b.im * sn;
    s.t += b.re * sn;
    i0 = advance(i0, k % L, L);
  }
  return s;
}

}  // namespace

template <Isa I, class C>
void dftFoldedK(const C* y, C* dst, std::size_t L, const C* table, bool inverse, double x0re,
                double x0im, double scale) {
  using R = decltype(C::re);
  const std::size_t h = (L - 1) / 2;  // folded pairs n = 1..h
  const bool even = L % 2 == 0;
  const double y0re = y[0].re, y0im = y[0].im;
  const double mre = even ? static_cast<double>(y[L / 2].re) : 0.0;
  const double mim = even ? static_cast<double>(y[L / 2].im) : 0.0;
  dst[0] = {static_cast<R>(x0re * scale), static_cast<R>(x0im * scale)};
  for (std::size_t k = 1; k <= L / 2; ++k) {
    const Sums s = foldedSums(y, L, h, table, k);
    const double sign = (k & 1) ? -1.0 : 1.0;  // (-1)^k = (-1)^(L-k) for even L
    const double baseRe = y0re + sign * mre, baseIm = y0im + sign * mim;
    // Forward: X[k] = base + 2(p - q, r + t), X[L-k] = base + 2(p + q, r - t); the inverse swaps.
    const double minusRe = baseRe + 2.0 * (s.p - s.q), minusIm = baseIm + 2.0 * (s.r + s.t);
    const double plusRe = baseRe + 2.0 * (s.p + s.q), plusIm = baseIm + 2.0 * (s.r - s.t);
    const C lo = {static_cast<R>(minusRe * scale), static_cast<R>(minusIm * scale)};
    const C hi = {static_cast<R>(plusRe * scale), static_cast<R>(plusIm * scale)};
    dst[k] = inverse ? hi : lo;
    if (L - k != k) dst[L - k] = inverse ? lo : hi;
  }
}

template void dftFoldedK<KVO_ISA, ComplexFloat>(const ComplexFloat*, ComplexFloat*, std::size_t,
                                                const ComplexFloat*, bool, double, double, double);
template void dftFoldedK<KVO_ISA, ComplexDouble>(const ComplexDouble*, ComplexDouble*, std::size_t,
                                                 const ComplexDouble*, bool, double, double,
                                                 double);

}  // namespace kvo::kern
