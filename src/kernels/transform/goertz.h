// The Goertzel recurrence for one frequency, on the state records GoertzState (single precision)
// and GoertzStateDouble.
//
// Per sample x: s0 = x + twoCos*delay1 - delay2 (component-wise for complex samples), result
// e^{i omega}*s0 - delay1, then delay2 = delay1 and delay1 = s0. The arithmetic is double
// precision; real samples use only the real parts of the delays.
#pragma once

#include <cstddef>
#include <type_traits>

#include "kernels/ftz.h"
#include "kvo.h"

namespace kvo::kern {

template <class State>
using GoertzReal = decltype(State::freq);
template <class State>
using GoertzComplex = decltype(State::delay1);

// The recurrence over n >= 1 samples; returns the result of the last one. Within a block the
// delays stay in double precision and are rounded to the record's precision once at the end, so
// a block of one sample is the single-sample step.
template <class State, class Sample>
GoertzComplex<State> goertzRun(State& st, const Sample* x, std::size_t n) {
  const FlushDenormals noDenormals;  // tiny inputs must not slow the recurrence down
  using R = GoertzReal<State>;
  constexpr bool kReal = std::is_arithmetic_v<Sample>;
  const double c = st.cosVal, s = st.sinVal, twoCos = st.twoCos;
  double d1re = st.delay1.re, d2re = st.delay2.re;
  double d1im = kReal ? 0.0 : st.delay1.im, d2im = kReal ? 0.0 : st.delay2.im;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    double s0re, s0im = 0;
    if constexpr (kReal) {
      s0re = static_cast<double>(x[i]) + twoCos * d1re - d2re;
    } else {
      s0re = static_cast<double>(x[i].re) + twoCos * d1re - d2re;
      s0im = static_cast<double>(x[i].im) + twoCos * d1im - d2im;
    }
    d2re = d1re;
    d1re = s0re;
    d2im = d1im;
    d1im = s0im;
  }
  // The last sample, against the delays as the record would hold them.
  const double p1re = static_cast<R>(d1re), p1im = static_cast<R>(d1im);
  const double p2re = static_cast<R>(d2re), p2im = static_cast<R>(d2im);
  double re, im;
  if constexpr (kReal) {
    const double s0 = static_cast<double>(x[n - 1]) + twoCos * p1re - p2re;
    re = c * s0 - p1re;
    im = s * s0;
    st.delay2.re = static_cast<R>(p1re);
    st.delay1.re = static_cast<R>(s0);
  } else {
    const double s0re = static_cast<double>(x[n - 1].re) + twoCos * p1re - p2re;
    const double s0im = static_cast<double>(x[n - 1].im) + twoCos * p1im - p2im;
    re = c * s0re - s * s0im - p1re;
    im = c * s0im + s * s0re - p1im;
    st.delay2 = {static_cast<R>(p1re), static_cast<R>(p1im)};
    st.delay1 = {static_cast<R>(s0re), static_cast<R>(s0im)};
  }
  return {static_cast<R>(re), static_cast<R>(im)};
}

}  // namespace kvo::kern
