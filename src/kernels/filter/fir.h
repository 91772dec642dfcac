// FIR filter kernels: single-rate and polyphase multi-rate filtering of float, double and complex
// data (every sample/taps combination, mixed ones included) and of 16-bit data with exact 32-bit
// wrap-around sums.
//
// Conventions shared by every kernel here:
// - Taps are h[0..L-1] in natural order unless a function says otherwise; output y at a time
//   whose newest input is x[m] is the sum over k of h[k] * x[m-k].
// - Floating-point outputs are accumulated in double precision (float data are widened exactly,
//   so their products are exact) in the fixed order k = 0, 1, ..., L-1 starting from zero, and
//   rounded once to the output type. Complex products accumulate as
//     re = (re + hr*xr) - hi*xi,   im = (im + hr*xi) + hi*xr,
//   real-by-complex products as re += h*xr, im += h*xi. Every instruction-set level and the
//   single-sample path follow this order, so block, sample and per-level results agree bit for bit.
// - 16-bit sums are the exact products added with 32-bit wrap-around (order does not matter).
// - Multi-rate time line: input m of a block enters at t = upPhase + m*upFactor, an output is
//   taken at every t with t mod downFactor = downPhase; branch p = (t - upPhase) mod upFactor uses
//   the taps h[p], h[p+up], h[p+2*up], ... against the newest, second newest, ... inputs. A block
//   of numIters periods reads numIters*down inputs and writes numIters*up outputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/complex.h"
#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern::fir {

// The output type of a filter with samples TS and taps TT: complex when either is, of the
// samples' precision.
template <class TS, class TT>
using Out = std::conditional_t<
    kIsComplex<TS> || kIsComplex<TT>,
    std::conditional_t<std::is_same_v<RealOf<TS>, float>, ComplexFloat, ComplexDouble>, RealOf<TS>>;

// Multi-rate parameters (all 1, 0, 1, 0 for a single-rate filter).
// (Free functions with internal linkage only: this header is compiled at every level.)
struct Rate {
  int up = 1, upPhase = 0, down = 1, downPhase = 0;
};
KVO_KERNEL_INLINE bool isSingle(Rate r) { return r.up == 1 && r.down == 1; }

// How a taps array is laid out.
enum class TapOrder {
  Natural,   // h[0..L-1]
  Reversed,  // single-rate: h[L-1-k] at k; multi-rate: grouped by branch j = 0..up-1, each
             // branch h[j], h[j+up], ... stored in reverse order, branches one after the other
};

// Number of taps of branch p: floor(L/up), plus one when p < L mod up.
KVO_KERNEL_INLINE int branchLen(int L, int up, int p) { return L / up + (p < L % up ? 1 : 0); }
// History a filter needs: L-1 inputs single-rate, ceil(L/up) multi-rate.
KVO_KERNEL_INLINE int historyLen(int L, Rate r) {
  return isSingle(r) ? L - 1 : (L + r.up - 1) / r.up;
}

// One entry of a multi-rate schedule: output j of a period (time j*down + downPhase).
struct Phase {
  int branch;  // p
  int len;     // taps of the branch
  int newest;  // index within the period of the newest input the output uses (may be -1)
  int offset;  // start of the branch in the grouped (Reversed) taps array
};
// Entry j of the schedule.
KVO_KERNEL_INLINE Phase phaseAt(int L, Rate r, int j) {
  const long long t = static_cast<long long>(j) * r.down + r.downPhase - r.upPhase;
  const long long m = t >= 0 ? t / r.up : -((-t + r.up - 1) / r.up);
  const int p = static_cast<int>(t - m * r.up);
  const int base = L / r.up, extra = L % r.up;
  return Phase{p, base + (p < extra ? 1 : 0), static_cast<int>(m),
               p * base + (p < extra ? p : extra)};
}
// Fills `up` entries.
void schedule(int L, Rate r, Phase* out);

// ---- floating point ----

// Pure filtering: numIters periods of `in` after the history `hist` (histLen >= historyLen(L, r)
// entries, oldest first, or newest first with histNewestFirst; only the newest are read). Writes
// numIters*up outputs; no state. `out` must not overlap `in`.
template <class TS, class TT>
void run(const TT* taps, TapOrder order, int L, Rate r, const TS* hist, int histLen,
         bool histNewestFirst, const TS* in, Out<TS, TT>* out, int numIters);

// Single-rate block with a newest-first delay line (dly[0] the latest input) of dlyLen >= L-1
// entries: out[i] for i < n, then dly holds the last dlyLen inputs (older entries shifted on
// when n < dlyLen). Taps in natural order. `out` may overlap `in`; the input is then copied
// first, and false is returned (nothing changed) when that copy cannot be allocated.
template <class TS, class TT>
bool block(const TT* h, int L, TS* dly, int dlyLen, const TS* in, Out<TS, TT>* out, int n);

// Multi-rate block on a newest-first delay line of dlyLen >= ceil(L/up) entries; afterwards the
// line holds the last min(dlyLen, numIters*down) inputs newest first, older entries shifted on.
// Overlap and result as for block.
template <class TS, class TT>
bool blockMr(const TT* h, int L, Rate r, TS* dly, int dlyLen, const TS* in, Out<TS, TT>* out,
             int numIters);

// One sample, single rate: shifts the newest-first line of dlyLen entries by one, stores samp at
// element 0 and returns the sum over k < L of h[k] * dly[k] (with dlyLen 1: h[0] * samp).
template <class TS, class TT>
Out<TS, TT> one(const TT* h, int L, TS* dly, int dlyLen, TS samp);

// ---- 16 bit ----

// Pure filtering on 16-bit data with taps in the Reversed order; sums[j] for j < numIters*up.
void runW(const short* taps, int L, Rate r, const short* hist, int histLen, const short* in,
          std::int32_t* sums, int numIters);

// Single-rate block on the oldest-first 16-bit line of L entries (element L-1 a scratch slot
// that ends holding the latest input). Taps reversed.
void blockW(const short* tapsRev, int L, short* dly, const short* in, std::int32_t* sums, int n);
// Multi-rate block on the oldest-first line of dlyLen entries; grouped reversed taps.
void blockMrW(const short* taps, int L, Rate r, short* dly, int dlyLen, const short* in,
              std::int32_t* sums, int numIters);
// One sample: dly[L-1] = samp, the sum of tapsRev[k] * dly[k], then dly moves down by one.
std::int32_t oneW(const short* tapsRev, int L, short* dly, short samp);

// The binary exponent of 16-bit taps: from S = sum |h|, 0 for S <= 0, else the largest n >= 0
// with n = 0 or S*2^n < 32767, or for S > 32767 the negative -k with the smallest k >= 1 such
// that S/2^k <= 32767.
int tapsFactor(const float* h, int L);
// h (natural order) times 2^n, rounded to nearest and saturated to 16 bits, stored in the
// Reversed order of `r` into q[0..L-1]. h and q may not overlap.
void quantizeTaps(const float* h, int L, Rate r, int n, short* q);
// The inverse: q (Reversed order) times 2^-n into h (natural order).
void dequantizeTaps(const short* q, int L, Rate r, int n, float* h);

// Bringing sums to 16 bits with taps exponent n under scaleMode/scaleFactor: automatic scaling
// shifts each sum by n first, then picks the shift (one per call) and writes it through
// scaleFactor; otherwise the shift n (+ *scaleFactor with the fixed bit) is applied with
// saturation or wrap-around, or with none the caller's mode without the fixed bit.
short scaleOne(std::int32_t sum, int n, int scaleMode, int* scaleFactor);
void scaleBlock(std::int32_t* sums, short* out, int count, int n, int scaleMode, int* scaleFactor);

// ---- per-level kernels behind the functions above ----

template <Isa I, class TS, class TT>
void runK(const TT* taps, TapOrder order, int L, Rate r, const TS* hist, int histLen,
          bool histNewestFirst, const TS* in, Out<TS, TT>* out, int numIters);
template <Isa I>
void runWK(const short* taps, int L, Rate r, const short* hist, int histLen, const short* in,
           std::int32_t* sums, int numIters);

#define KVO_FOR_FIR_TYPES(X)                                               \
  X(float, float)                                                          \
  X(ComplexFloat, ComplexFloat)                                            \
  X(float, ComplexFloat)                                                   \
  X(ComplexFloat, float) X(double, double) X(ComplexDouble, ComplexDouble) \
      X(double, ComplexDouble) X(ComplexDouble, double)

template <class TS, class TT>
void run(const TT* taps, TapOrder order, int L, Rate r, const TS* hist, int histLen,
         bool histNewestFirst, const TS* in, Out<TS, TT>* out, int numIters) {
  KVO_DISPATCH(runK, TS, TT)(taps, order, L, r, hist, histLen, histNewestFirst, in, out, numIters);
}
inline void runW(const short* taps, int L, Rate r, const short* hist, int histLen, const short* in,
                 std::int32_t* sums, int numIters) {
  KVO_DISPATCH(runWK)(taps, L, r, hist, histLen, in, sums, numIters);
}

// ---- element steps shared by every path ----

struct Acc {
  double re = 0.0, im = 0.0;
};
template <class T>
KVO_KERNEL_INLINE double reOf(const T& x) {
  if constexpr (kIsComplex<T>) {
    return x.re;
  } else {
    return x;
  }
}
template <class T>
KVO_KERNEL_INLINE double imOf(const T& x) {
  if constexpr (kIsComplex<T>) {
    return x.im;
  } else {
    return 0.0;
  }
}
// a += h * x in the fixed order of the file comment.
template <class TS, class TT>
KVO_KERNEL_INLINE void mac(Acc& a, const TT& h, const TS& x) {
  if constexpr (kIsComplex<TS> && kIsComplex<TT>) {
    a.re = (a.re + reOf(h) * reOf(x)) - imOf(h) * imOf(x);
    a.im = (a.im + reOf(h) * imOf(x)) + imOf(h) * reOf(x);
  } else if constexpr (kIsComplex<TS>) {
    a.re += reOf(h) * reOf(x);
    a.im += reOf(h) * imOf(x);
  } else if constexpr (kIsComplex<TT>) {
    a.re += reOf(h) * reOf(x);
    a.im += imOf(h) * reOf(x);
  } else {
    a.re += reOf(h) * reOf(x);
  }
}
template <class O>
KVO_KERNEL_INLINE O rounded(const Acc& a) {
  if constexpr (kIsComplex<O>) {
    using R = RealOf<O>;
    return {static_cast<R>(a.re), static_cast<R>(a.im)};
  } else {
    return static_cast<O>(a.re);
  }
}

namespace detail {
// Copies `in` aside when it overlaps `out`; `use` then points at the copy (or at `in`).
class InputGuard {
 public:
  InputGuard(const void* in, std::size_t inBytes, const void* out, std::size_t outBytes);
  ~InputGuard();
  InputGuard(const InputGuard&) = delete;
  InputGuard& operator=(const InputGuard&) = delete;
  bool ok() const { return use_ != nullptr; }
  const void* use() const { return use_; }

 private:
  const void* use_;
  void* copy_ = nullptr;
};
// The newest-first line of dlyLen entries after `count` more inputs (the latest in[count-1]).
template <class TS>
void pushNewestFirst(TS* dly, int dlyLen, const TS* in, std::size_t count) {
  const std::size_t len = static_cast<std::size_t>(dlyLen);
  const std::size_t keep = count < len ? len - count : 0;
  for (std::size_t i = len; i-- > len - keep;) dly[i] = dly[i - (len - keep)];
  for (std::size_t i = 0; i < len - keep; ++i) dly[i] = in[count - 1 - i];
}
}  // namespace detail

template <class TS, class TT>
bool blockMr(const TT* h, int L, Rate r, TS* dly, int dlyLen, const TS* in, Out<TS, TT>* out,
             int numIters) {
  const std::size_t inCount = static_cast<std::size_t>(numIters) * r.down;
  const std::size_t outCount = static_cast<std::size_t>(numIters) * r.up;
  detail::InputGuard guard(in, inCount * sizeof(TS), out, outCount * sizeof(Out<TS, TT>));
  if (!guard.ok()) return false;
  const TS* x = static_cast<const TS*>(guard.use());
  run(h, TapOrder::Natural, L, r, dly, dlyLen, true, x, out, numIters);
  detail::pushNewestFirst(dly, dlyLen, x, inCount);
  return true;
}

template <class TS, class TT>
bool block(const TT* h, int L, TS* dly, int dlyLen, const TS* in, Out<TS, TT>* out, int n) {
  return blockMr(h, L, Rate{}, dly, dlyLen, in, out, n);
}

template <class TS, class TT>
Out<TS, TT> one(const TT* h, int L, TS* dly, int dlyLen, TS samp) {
  for (int i = dlyLen - 1; i > 0; --i) dly[i] = dly[i - 1];
  dly[0] = samp;
  Acc a;
  if (dlyLen <= 1) {
    mac(a, h[0], samp);
  } else {
    for (int k = 0; k < L; ++k) mac(a, h[k], dly[k]);
  }
  return rounded<Out<TS, TT>>(a);
}

}  // namespace kvo::kern::fir
