// Conversion kernels for one instruction-set level; included by cvt_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/cvt.h"
#include "kernels/cvt_vec.h"

namespace kvo::kern {
namespace {

using simd::MaskLane;
using simd::Vec;

template <int W>
using OutOf = std::conditional_t<W == 8, std::int8_t,
                                 std::conditional_t<W == 16, std::int16_t, std::int32_t>>;

// Rounds lanes with |y| < 2^30 to integers, as floating-point values. The truncating conversion is
// exact there, y - trunc(y) is exact, and the corrections add exact ones, so the result is the
// correctly rounded value whatever rounding mode the caller has set.
template <Round M, class VC>
KVO_KERNEL_INLINE VC roundLanes(const VC& y) {
  using C = simd::Lane<VC>;
  constexpr std::size_t N = sizeof(VC) / sizeof(C);
  using VM = Vec<MaskLane<C>, N>;
  using VI = Vec<std::int32_t, N>;
  const VI ti = __builtin_convertvector(y, VI);
  const VC t = __builtin_convertvector(ti, VC);
  if constexpr (M == Round::Zero) return t;
  const VM one = VM(simd::splat<VC>(C(1)));
  if constexpr (M == Round::Down) return t - VC(VM(t > y) & one);
  if constexpr (M == Round::Up) return t + VC(VM(t < y) & one);
  if constexpr (M == Round::Nearest) {
    const VM sign = VM(simd::splat<VC>(C(-0.0)));
    const VM half = VM(simd::splat<VC>(C(0.5)));
    const VM frac = simd::magnitudeBits(y - t);  // |y - t|
    const VM odd = __builtin_convertvector(ti & 1, VM) != 0;
    const VM away = (frac > half) | ((frac == half) & odd);
    return t + VC(away & ((VM(y) & sign) | one));
  }
}

// The scalar route: for tails and for steps with lanes beyond the fast range (large values,
// infinities, NaN).
template <class R, class Out>
bool convertSpan(const R* src, Out* out, std::size_t n, Round mode, const IntTarget& t) {
  bool outside = false;
  for (std::size_t k = 0; k < n; ++k) {
    out[k] = static_cast<Out>(convertOne(static_cast<double>(src[k]) * t.scale, mode, t, outside));
  }
  return outside;
}

}  // namespace

// Float sources to 8- and 16-bit destinations work in float lanes (the scaled values and the range
// bounds are exact there); everything else in double lanes.
template <Isa I, class R, int W, Round M>
bool floatToIntK(const R* src, void* dst, std::size_t n, const IntTarget& t) {
  using C = std::conditional_t < std::is_same_v<R, float>&& W<32, float, double>;
  using Out = OutOf<W>;
  constexpr std::size_t N = simd::kBytes / 2;
  using VC = Vec<C, N>;
  using VM = Vec<MaskLane<C>, N>;
  using VI = Vec<std::int32_t, N>;

  Out* out = static_cast<Out*>(dst);
  const VC scale = simd::splat<VC>(C(t.scale));
  const VC lo = simd::splat<VC>(C(t.lo));
  const VC hi = simd::splat<VC>(C(t.hi));
  const VM fastLimit = VM(simd::splat<VC>(C(1 << 30)));
  VM outside{};
  bool outsideSlow = false;
  std::size_t i = 0;
  for (; i + N <= n; i += N) {
    const VC y = __builtin_convertvector(simd::load<Vec<R, N>>(src + i), VC) * scale;
    if (simd::any(simd::magnitudeBits(y) >= fastLimit)) {
      outsideSlow |= convertSpan(src + i, out + i, N, M, t);
      continue;
    }
    VC r = roundLanes<M>(y);
    outside |= VM(r < lo) | VM(r > hi);
    if (t.clip) r = r < lo ? lo : (r > hi ? hi : r);
    simd::store(out + i, __builtin_convertvector(__builtin_convertvector(r, VI), Vec<Out, N>));
  }
  outsideSlow |= convertSpan(src + i, out + i, n - i, M, t);
  return outsideSlow || simd::any(outside);
}

// A power of two times an integer that float represents exactly (|v| < 2^24) is rounded once; a
// 32-bit integer is rounded by the conversion and then scaled exactly. Either way one rounding.
template <Isa I, class In, class R>
void intToFloatK(const In* src, R* dst, std::size_t n, R scale) {
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<R>(src[k]) * scale;
}

template <Isa I, PairOp Op, int Stride>
void pairK(const float* re, const float* im, float* dst, std::size_t n) {
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) {
    const double a = re[k * Stride];
    const double b = im[k * Stride];
    const double p = a * a + b * b;  // the squares of floats are exact in double
    if constexpr (Op == PairOp::Power) {
      dst[k] = static_cast<float>(p);
    } else if constexpr (Op == PairOp::Mag) {
      dst[k] = static_cast<float>(std::sqrt(p));
    } else {
      dst[k] = std::sqrt(static_cast<float>(p));
    }
  }
}

#define KVO_INSTANTIATE_CVT(R, W, M) \
  template bool floatToIntK<KVO_ISA, R, W, M>(const R*, void*, std::size_t, const IntTarget&);
KVO_FOR_CVT(KVO_INSTANTIATE_CVT)
#undef KVO_INSTANTIATE_CVT

#define KVO_INSTANTIATE_INT_TO_FLOAT(In, R) \
  template void intToFloatK<KVO_ISA, In, R>(const In*, R*, std::size_t, R);
KVO_FOR_INT_TO_FLOAT(KVO_INSTANTIATE_INT_TO_FLOAT)
#undef KVO_INSTANTIATE_INT_TO_FLOAT

#define KVO_INSTANTIATE_PAIR(Op, Stride) \
  template void pairK<KVO_ISA, Op, Stride>(const float*, const float*, float*, std::size_t);
KVO_FOR_PAIR(KVO_INSTANTIATE_PAIR)
#undef KVO_INSTANTIATE_PAIR

}  // namespace kvo::kern
