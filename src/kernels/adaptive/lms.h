// Inner loops of the LMS adaptive filters.
//
// A step works on a delay line x kept newest first and on taps h:
//   1. adaptation on the line as it was before the step, when enabled:
//        h[i] = keep * h[i] + g * x[adaptAt + i]          (real data, or real samples)
//        h[i] = keep * h[i] + g * conj(x[adaptAt + i])    (complex samples and taps)
//      with keep = 1 - leak and g = step * err, all in double precision, rounded once to the
//      taps' type;
//   2. the line moves up by `shift` places (entries 0 .. moved-1 go to shift .. shift+moved-1) and
//      the shift new samples enter, the last one as entry 0;
//   3. the output is the sum of h[i] * x[outAt + i] over the new line, accumulated in double.
// Steps 1 and 3 run in one pass over the taps (the output of a tap reads the old line one shift
// further down), and the line moves once at the end. Sums run over 2 x 8 fixed double lanes folded
// in a fixed order, so every instruction-set level gives the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/complex.h"
#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern::lms {

// The output type: complex when the samples or the taps are, of the taps' precision.
template <class TS, class TT>
using Out =
    std::conditional_t<kIsComplex<TS> || kIsComplex<TT>,
                       std::conditional_t<sizeof(RealOf<TT>) == 4, ComplexFloat, ComplexDouble>,
                       TT>;

struct Shape {
  std::size_t taps;     // N
  std::size_t adaptAt;  // first entry the adaptation reads
  std::size_t outAt;    // first entry of the new line the output reads
  std::size_t shift;    // samples that enter per step
  std::size_t moved;    // entries that move up by `shift`
};

// One run of `count` steps; step j reads `shift` samples from in + j*shift (oldest first) and
// writes out[j]. Without desired values every step adapts with *err. With them, step j adapts
// with the current error and then sets it to des[j] - out[j]; *err receives the last one.
template <class TS, class TT>
struct Run {
  TT* taps;
  TS* dly;
  Shape shape;
  float step;
  float leak;
  bool adapt;
};

template <Isa I, class TS, class TT>
void runK(const Run<TS, TT>& r, const TS* in, const Out<TS, TT>* des, Out<TS, TT>* out,
          std::size_t count, Out<TS, TT>* err);

template <class TS, class TT>
void run(const Run<TS, TT>& r, const TS* in, const Out<TS, TT>* des, Out<TS, TT>* out,
         std::size_t count, Out<TS, TT>* err) {
  KVO_DISPATCH(runK, TS, TT)(r, in, des, out, count, err);
}

// The 16-bit step: Q13 taps h, 16-bit line x of `len` entries, Q13 step, 32-bit wrapping
// arithmetic. The gain err*step is saturated to 16 bits and added as x*gain to the taps; the
// output sums the taps clamped to 16 bits times the new line and rounds the Q13 sum half up. A
// line of one entry uses the full tap and the unsaturated gain.
template <Isa I>
short stepShortK(std::int32_t* h, short* x, std::size_t taps, std::size_t errDly, std::size_t len,
                 short samp, short err, std::int32_t step);

inline short stepShort(std::int32_t* h, short* x, std::size_t taps, std::size_t errDly,
                       std::size_t len, short samp, short err, std::int32_t step) {
  return KVO_DISPATCH(stepShortK)(h, x, taps, errDly, len, samp, err, step);
}

}  // namespace kvo::kern::lms
