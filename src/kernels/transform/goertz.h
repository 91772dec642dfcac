// The Goertzel recurrence for one frequency, on the state records GoertzState (single precision)
// and GoertzStateDouble.
//
// Per sample x: s0 = x + twoCos*delay1 - delay2 (component-wise for complex samples), result
// e^{i omega}*s0 - delay1, then delay2 = delay1 and delay1 = s0. The arithmetic is double
// precision; the delays are rounded to the record's precision after every sample, so a block
// gives exactly what the same samples one by one would. Real samples use only the real parts of
// the delays.
#pragma once

#include <cstddef>
#include <type_traits>

#include "kvo.h"

namespace kvo::kern {

template <class State>
using GoertzReal = decltype(State::freq);
template <class State>
using GoertzComplex = decltype(State::delay1);

// The recurrence over n >= 1 samples; returns the result of the last one.
template <class State, class Sample>
GoertzComplex<State> goertzRun(State& st, const Sample* x, std::size_t n) {
  using R = GoertzReal<State>;
  const double c = st.cosVal, s = st.sinVal, twoCos = st.twoCos;
  R d1re = st.delay1.re, d1im = st.delay1.im, d2re = st.delay2.re, d2im = st.delay2.im;
  double re = 0, im = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if constexpr (std::is_arithmetic_v<Sample>) {
      const double s0 = static_cast<double>(x[i]) + twoCos * d1re - d2re;
      re = c * s0 - d1re;
      im = s * s0;
      d2re = d1re;
      d1re = static_cast<R>(s0);
    } else {
      const double s0re = static_cast<double>(x[i].re) + twoCos * d1re - d2re;
      const double s0im = static_cast<double>(x[i].im) + twoCos * d1im - d2im;
      re = c * s0re - s * s0im - d1re;
      im = c * s0im + s * s0re - d1im;
      d2re = d1re;
      d2im = d1im;
      d1re = static_cast<R>(s0re);
      d1im = static_cast<R>(s0im);
    }
  }
  st.delay1.re = d1re;
  st.delay2.re = d2re;
  if constexpr (!std::is_arithmetic_v<Sample>) {
    st.delay1.im = d1im;
    st.delay2.im = d2im;
  }
  return {static_cast<R>(re), static_cast<R>(im)};
}

}  // namespace kvo::kern
