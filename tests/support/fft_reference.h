// The long-double reference of the small-FFT tests: the exact transform by the direct sum, the
// error measure the tests compare with, the packed layouts and the entries of each precision.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

#include "kvo.h"

namespace kvotest::fftref {

using LD = long double;
struct CL {
  LD re, im;
};
constexpr LD kTwoPi = 6.283185307179586476925286766559005768L;

// exp(sign 2 pi i k/n), k = 0..n-1, in long double.
inline std::vector<CL> roots(std::size_t n, int sign) {
  std::vector<CL> w(n);
  for (std::size_t k = 0; k < n; ++k) {
    const LD a = sign * kTwoPi * static_cast<LD>(k) / static_cast<LD>(n);
    w[k] = {std::cos(a), std::sin(a)};
  }
  return w;
}

inline CL mul(CL a, CL b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }

// The exact transform by the direct sum (the tests use it up to a few hundred points); sign -1
// forward, +1 inverse, no scaling.
inline std::vector<CL> reference(const std::vector<CL>& x, int sign) {
  const std::size_t n = x.size();
  const auto w = roots(n, sign);
  std::vector<CL> y(n);
  for (std::size_t k = 0; k < n; ++k) {
    CL sum{0, 0};
    for (std::size_t j = 0; j < n; ++j) {
      const CL t = mul(x[j], w[(j * k) % n]);
      sum = {sum.re + t.re, sum.im + t.im};
    }
    y[k] = sum;
  }
  return y;
}

// sqrt(sum |got - want|^2 / sum |want|^2) over interleaved (re, im) or real values.
template <class R>
inline double relativeRms(const R* got, const std::vector<LD>& want) {
  LD err = 0, norm = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const LD d = static_cast<LD>(got[i]) - want[i];
    err += d * d;
    norm += want[i] * want[i];
  }
  return norm == 0 ? static_cast<double>(std::sqrt(err))
                   : static_cast<double>(std::sqrt(err / norm));
}

enum Fmt { kCcs, kPack, kPerm };

// The spectrum values X[0..N/2] written in a packed format.
template <class R>
inline std::vector<R> pack(const std::vector<CL>& x, std::size_t n, Fmt f) {
  std::vector<R> v(f == kCcs ? n + 2 : n);
  if (n == 1) {
    v[0] = static_cast<R>(x[0].re);
    return v;
  }
  for (std::size_t k = 0; k <= n / 2; ++k) {
    const R re = static_cast<R>(x[k].re), im = static_cast<R>(x[k].im);
    if (f == kCcs) {
      v[2 * k] = re;
      v[2 * k + 1] = (k == 0 || k == n / 2) ? R(0) : im;
    } else if (k == 0) {
      v[0] = re;
    } else if (k == n / 2) {
      v[f == kPack ? n - 1 : 1] = re;
    } else {
      v[f == kPack ? 2 * k - 1 : 2 * k] = re;
      v[f == kPack ? 2 * k : 2 * k + 1] = im;
    }
  }
  return v;
}

// The complex and real FFT entries of one precision, and the relative error allowed per order.
template <class C>
struct Api;
template <>
struct Api<ComplexFloat> {
  using R = float;
  static constexpr double kTol = 2e-7;
  static constexpr auto fft = kvocFft;
  static constexpr auto fftNip = kvocFftNip;
  static constexpr auto rFft = kvocrFft;
  static constexpr auto rFftNip = kvocrFftNip;
  static constexpr auto realFft = kvosRealFft;
  static constexpr auto realFftNip = kvosRealFftNip;
  static constexpr auto realFftl = kvosRealFftl;
  static constexpr auto realFftlNip = kvosRealFftlNip;
  static constexpr auto ccsFft = kvosCcsFft;
  static constexpr auto ccsFftNip = kvosCcsFftNip;
  static constexpr auto ccsFftl = kvosCcsFftl;
  static constexpr auto ccsFftlNip = kvosCcsFftlNip;
};
template <>
struct Api<ComplexDouble> {
  using R = double;
  static constexpr double kTol = 5e-16;
  static constexpr auto fft = kvozFft;
  static constexpr auto fftNip = kvozFftNip;
  static constexpr auto rFft = kvozrFft;
  static constexpr auto rFftNip = kvozrFftNip;
  static constexpr auto realFft = kvodRealFft;
  static constexpr auto realFftNip = kvodRealFftNip;
  static constexpr auto realFftl = kvodRealFftl;
  static constexpr auto realFftlNip = kvodRealFftlNip;
  static constexpr auto ccsFft = kvodCcsFft;
  static constexpr auto ccsFftNip = kvodCcsFftNip;
  static constexpr auto ccsFftl = kvodCcsFftl;
  static constexpr auto ccsFftlNip = kvodCcsFftlNip;
};

}  // namespace kvotest::fftref
