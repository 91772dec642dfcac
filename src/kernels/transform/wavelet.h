// Analysis and synthesis filter passes of the periodic discrete wavelet transform.
//
// Both passes work on a periodically extended copy split into its even and odd phases, so that
// every tap runs along contiguous arrays; each output still sums its taps one by one in tap order
// from 0, in the element precision, so all levels give the same bits.
#pragma once

#include <cstddef>

#include "kernels/isa.h"

namespace kvo::kern {

// One filter: taps, length and offset.
template <class R>
struct WtFilter {
  const R* taps;
  int length;
  int offset;
};

// One analysis octave: x (n values, n even) to a[k] = sum_j lo[j] x[(2k + lo.offset - j) mod n]
// and d[k] likewise with hi, k < n/2. `pad` is scratch of padLength elements. When `apart` is
// false, x may overlap a or d: the whole extension is copied first, so padLength must be at least
// n + 2 max(lo.length, hi.length). When x lies apart from a and d, the octave runs in chunks whose
// extension fits the pad (padLength at least 2 + 2 max(lo.length, hi.length)).
template <Isa I, class R>
void wtAnalysisK(const R* x, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                 std::size_t padLength, bool apart, R* a, R* d);

// One synthesis octave: a and d (n values each) to y[m] = sum_j lo[j] up(a)[(m + lo.offset - j)
// mod 2n] + sum_j hi[j] up(d)[(m + hi.offset - j) mod 2n], m < 2n, where up(v) holds v[k] at 2k
// and zeros between. When `apart` is false, y may overlap a and d and padLength must be at least
// 2n + 2 max(lo.length, hi.length); otherwise the octave runs in chunks that fit the pad (at least
// 2 max(lo.length, hi.length)).
template <Isa I, class R>
void wtSynthesisK(const R* a, const R* d, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                  std::size_t padLength, bool apart, R* y);

template <class R>
void wtAnalysis(const R* x, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                std::size_t padLength, bool apart, R* a, R* d) {
  KVO_DISPATCH(wtAnalysisK, R)(x, n, lo, hi, pad, padLength, apart, a, d);
}
template <class R>
void wtSynthesis(const R* a, const R* d, std::size_t n, WtFilter<R> lo, WtFilter<R> hi, R* pad,
                 std::size_t padLength, bool apart, R* y) {
  KVO_DISPATCH(wtSynthesisK, R)(a, d, n, lo, hi, pad, padLength, apart, y);
}

}  // namespace kvo::kern
