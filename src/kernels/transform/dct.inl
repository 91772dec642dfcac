// DCT kernels for one instruction-set level; included by dct_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow and dct.h for the methods.
#include <cstddef>
#include <cstdint>

#include "kernels/transform/dct.h"

namespace kvo::kern {
namespace {

// cos(pi/4): the size-2 stage.
template <class R>
constexpr R kHalfRoot2 = static_cast<R>(0.70710678118654752440);
template <>
constexpr DctFixed kHalfRoot2<DctFixed> = 47453133;  // Q26

// Value times secant, in the policy's arithmetic (fixed point rounds to nearest).
template <class R>
KVO_KERNEL_INLINE R mulSec(R v, DctSecant<R> s) {
  if constexpr (std::is_floating_point_v<R>) {
    return v * s;
  } else {
    return (v * s + (DctFixed{1} << (kDctSecantQ - 1))) >> kDctSecantQ;
  }
}

// Sizes up to kFixedSize run as compile-time sizes (F = n), so their loops unroll fully; larger
// sizes recurse with F = 0.
constexpr std::size_t kFixedSize = 16;

template <class R, std::size_t F = 0>
void forward(R* d, R* t, std::size_t size, const DctSecant<R>* sec) {
  const std::size_t n = F ? F : size;
  if constexpr (F == 0) {
    if (n <= kFixedSize) {
      if (n == 16) forward<R, 16>(d, t, n, sec);
      if (n == 8) forward<R, 8>(d, t, n, sec);
      if (n == 4) forward<R, 4>(d, t, n, sec);
      if (n == 2) forward<R, 2>(d, t, n, sec);
      return;
    }
  }
  if (n == 2) {
    const R a = d[0], b = d[1];
    d[0] = a + b;
    d[1] = mulSec<R>(a - b, kHalfRoot2<R>);
    return;
  }
  const std::size_t h = n / 2;
  const DctSecant<R>* s = sec + dctSecantOffset(n);
  KVO_IVDEP
  for (std::size_t i = 0; i < h; ++i) {
    const R a = d[i], b = d[n - 1 - i];
    t[i] = a + b;
    t[h + i] = mulSec<R>(a - b, s[i]);
  }
  constexpr std::size_t G = F == 2 ? 0 : F / 2;  // F = 2 returned above
  forward<R, G>(t, d, h, sec);
  forward<R, G>(t + h, d + h, h, sec);
  KVO_IVDEP
  for (std::size_t k = 0; k + 1 < h; ++k) {
    d[2 * k] = t[k];
    d[2 * k + 1] = t[h + k] + t[h + k + 1];
  }
  d[n - 2] = t[h - 1];
  d[n - 1] = t[n - 1];
}

template <class R, std::size_t F = 0>
void inverse(R* d, R* t, std::size_t size, const DctSecant<R>* sec) {
  const std::size_t n = F ? F : size;
  if constexpr (F == 0) {
    if (n <= kFixedSize) {
      if (n == 16) inverse<R, 16>(d, t, n, sec);
      if (n == 8) inverse<R, 8>(d, t, n, sec);
      if (n == 4) inverse<R, 4>(d, t, n, sec);
      if (n == 2) inverse<R, 2>(d, t, n, sec);
      return;
    }
  }
  if (n == 2) {
    const R a = d[0], b = mulSec<R>(d[1], kHalfRoot2<R>);
    d[0] = a + b;
    d[1] = a - b;
    return;
  }
  const std::size_t h = n / 2;
  const DctSecant<R>* s = sec + dctSecantOffset(n);
  t[0] = d[0];
  t[h] = d[1];
  KVO_IVDEP
  for (std::size_t k = 1; k < h; ++k) {
    t[k] = d[2 * k];
    t[h + k] = d[2 * k + 1] + d[2 * k - 1];
  }
  constexpr std::size_t G = F == 2 ? 0 : F / 2;  // F = 2 returned above
  inverse<R, G>(t, d, h, sec);
  inverse<R, G>(t + h, d + h, h, sec);
  KVO_IVDEP
  for (std::size_t i = 0; i < h; ++i) {
    const R a = t[i], b = mulSec<R>(t[h + i], s[i]);
    d[i] = a + b;
    d[n - 1 - i] = a - b;
  }
}

KVO_KERNEL_INLINE std::size_t wrap(std::size_t idx, std::size_t m) {
  return idx >= m ? idx - m : idx;
}

}  // namespace

template <Isa I, class R>
void dctFastK(R* d, R* t, std::size_t n, const DctSecant<R>* sec, bool inv) {
  if (n < 2) return;
  if (inv) {
    inverse(d, t, n, sec);
  } else {
    forward(d, t, n, sec);
  }
}

template <Isa I, class R>
void dctDirectK(const R* x, R* out, std::size_t n, const double* cos4n, bool inv, double f0,
                double f1, double* work) {
  const std::size_t m4 = 4 * n, h = n / 2;
  const bool odd = n % 2 != 0;
  if (!inv) {
    // work[0..h): pair sums, work[h..2h): pair differences, work[2h]: the middle sample.
    double x0 = 0;
    for (std::size_t i = 0; i < n; ++i) x0 += x[i];
    for (std::size_t i = 0; i < h; ++i) {
      work[i] = static_cast<double>(x[i]) + x[n - 1 - i];
      work[h + i] = static_cast<double>(x[i]) - x[n - 1 - i];
    }
    const double mid = odd ? static_cast<double>(x[h]) : 0.0;
    out[0] = static_cast<R>(x0 * f0);
    for (std::size_t k = 1; k < n; ++k) {
      const double* p = (k & 1) ? work + h : work;
      const std::size_t step = (2 * k) % m4;
      std::size_t idx = k % m4;  // (2i+1)k mod 4N for i = 0
      // Four index streams (terms i, i+1, i+2, i+3) advancing by 4*step: independent chains.
      const std::size_t step4 = (4 * step) % m4;
      std::size_t j0 = idx, j1 = wrap(j0 + step, m4), j2 = wrap(j1 + step, m4);
      std::size_t j3 = wrap(j2 + step, m4);
      double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      std::size_t i = 0;
      for (; i + 3 < h; i += 4) {
        s0 += p[i] * cos4n[j0];
        s1 += p[i + 1] * cos4n[j1];
        s2 += p[i + 2] * cos4n[j2];
        s3 += p[i + 3] * cos4n[j3];
        j0 = wrap(j0 + step4, m4);
        j1 = wrap(j1 + step4, m4);
        j2 = wrap(j2 + step4, m4);
        j3 = wrap(j3 + step4, m4);
      }
      for (; i < h; ++i) {
        s0 += p[i] * cos4n[j0];
        j0 = wrap(j0 + step, m4);
      }
      double sum = (s0 + s1) + (s2 + s3);
      // The middle sample of an odd length: cos(pi k/2) = +-1 for even k, 0 for odd k.
      if (odd && !(k & 1)) sum += (k & 2) ? -mid : mid;
      out[k] = static_cast<R>(sum * f1);
    }
    return;
  }
  for (std::size_t k = 0; k < n; ++k) work[k] = x[k] * (k == 0 ? f0 : f1);
  // x[i] = E + O and x[N-1-i] = E - O, E over the even and O over the odd coefficients.
  for (std::size_t i = 0; i < h; ++i) {
    // Odd k from index (2i+1), even k from 2(2i+1), both advancing by 2(2i+1): two chains.
    const std::size_t step = (2 * i + 1) % m4, step2 = (2 * step) % m4;
    std::size_t io = step, ie = step2;
    double e = work[0], o = 0;
    std::size_t k = 1;
    for (; k + 1 < n; k += 2) {
      o += work[k] * cos4n[io];
      e += work[k + 1] * cos4n[ie];
      io = wrap(io + step2, m4);
      ie = wrap(ie + step2, m4);
    }
    if (k < n) o += work[k] * cos4n[io];
    out[i] = static_cast<R>(e + o);
    out[n - 1 - i] = static_cast<R>(e - o);
  }
  if (odd) {
    double e = work[0];
    for (std::size_t k = 2; k < n; k += 2) e += (k & 2) ? -work[k] : work[k];
    out[h] = static_cast<R>(e);
  }
}

#define KVO_INSTANTIATE_DCT(R)                                                                 \
  template void dctDirectK<KVO_ISA, R>(const R*, R*, std::size_t, const double*, bool, double, \
                                       double, double*);
KVO_INSTANTIATE_DCT(float)
KVO_INSTANTIATE_DCT(double)
#undef KVO_INSTANTIATE_DCT
template void dctFastK<KVO_ISA, double>(double*, double*, std::size_t, const double*, bool);
template void dctFastK<KVO_ISA, DctFixed>(DctFixed*, DctFixed*, std::size_t,
                                          const DctSecant<DctFixed>*, bool);

}  // namespace kvo::kern
