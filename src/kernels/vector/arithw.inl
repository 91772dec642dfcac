// 16-bit block arithmetic kernels for one instruction-set level; included by arithw_<level>.cpp
// after KVO_ISA is defined. See isa.h for the rules these files follow.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/vector/arithw.h"
#include "kernels/vector/arithw_simd.h"

namespace kvo::kern {
namespace {

template <class R>
struct Pair {
  R re, im;
};

// ---- exact element results ----

template <class Op>
KVO_KERNEL_INLINE std::int32_t exact(short a, short b) {
  if constexpr (std::is_same_v<Op, Add>) {
    return std::int32_t{a} + b;
  } else if constexpr (std::is_same_v<Op, Sub>) {
    return std::int32_t{a} - b;
  } else {
    return std::int32_t{a} * b;
  }
}

// Complex products need 33 bits: 2^31 = (-32768)(-32768) + (-32768)(-32768).
template <class Op>
KVO_KERNEL_INLINE auto exact(ComplexShort a, ComplexShort b) {
  if constexpr (std::is_same_v<Op, Mpy>) {
    using W = std::int64_t;
    return Pair<W>{W{a.re} * b.re - W{a.im} * b.im, W{a.re} * b.im + W{a.im} * b.re};
  } else {
    return Pair<std::int32_t>{exact<Op>(a.re, b.re), exact<Op>(a.im, b.im)};
  }
}

// ---- storing exact results ----

template <bool kSat, class R>
KVO_KERNEL_INLINE short narrow(R r) {
  if constexpr (kSat) {
    return static_cast<short>(r > 32767 ? 32767 : r < -32768 ? -32768 : r);
  } else {
    return static_cast<short>(static_cast<std::uint16_t>(r));
  }
}

// r shifted right (kLeft false) or left by k, 1 <= k <= 31, then narrowed.
template <bool kSat, bool kLeft, class R>
KVO_KERNEL_INLINE short shifted(R r, int k) {
  using U = std::make_unsigned_t<R>;
  if constexpr (!kLeft) {
    return narrow<kSat>(r >> k);
  } else if constexpr (kSat) {
    // Compared before shifting: above 32767 >> k saturates high, below -(32768 >> k) low.
    if (r > R{32767 >> k}) return 32767;
    if (r < -R{32768 >> k}) return -32768;
    return static_cast<short>(static_cast<U>(r) << k);
  } else {
    return narrow<false>(static_cast<U>(r) << k);
  }
}

template <bool kSat, bool kLeft, class R>
KVO_KERNEL_INLINE short shiftedPart(R r, int k) {
  return shifted<kSat, kLeft>(r, k);
}
template <bool kSat, bool kLeft, class R>
KVO_KERNEL_INLINE ComplexShort shiftedPart(Pair<R> r, int k) {
  return {shifted<kSat, kLeft>(r.re, k), shifted<kSat, kLeft>(r.im, k)};
}

template <bool kSat, class R>
KVO_KERNEL_INLINE short narrowPart(R r) {
  return narrow<kSat>(r);
}
template <bool kSat, class R>
KVO_KERNEL_INLINE ComplexShort narrowPart(Pair<R> r) {
  return {narrow<kSat>(r.re), narrow<kSat>(r.im)};
}

template <class Op, class T, bool kScalarB, bool kSat, bool kLeft>
void shiftedLoop(const T* a, const T* b, T* d, std::size_t n, int k) {
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
    d[i] = shiftedPart<kSat, kLeft>(exact<Op>(a[i], kScalarB ? b[0] : b[i]), k);
  }
}

// ---- packed kernels: wrap-around and saturation without a shift ----

template <class Op, bool kSat>
KVO_KERNEL_INLINE p16::V packedReal(p16::V a, p16::V b) {
  using namespace p16;
  if constexpr (std::is_same_v<Op, Add>) {
    return kSat ? adds16(a, b) : add16(a, b);
  } else if constexpr (std::is_same_v<Op, Sub>) {
    return kSat ? subs16(a, b) : sub16(a, b);
  } else if constexpr (kSat) {
    const V lo = mullo16(a, b), hi = mulhi16(a, b);
    return packs32(unpacklo16(lo, hi), unpackhi16(lo, hi));
  } else {
    return mullo16(a, b);
  }
}

template <class Op, bool kSat>
KVO_KERNEL_INLINE p16::V packedComplex(p16::V a, p16::V b) {
  using namespace p16;
  if constexpr (!std::is_same_v<Op, Mpy>) {
    return packedReal<Op, kSat>(a, b);
  } else if constexpr (kSat) {
    // Per 128-bit lane: (re0..re3 | im0..im3) saturated, then interleaved back to pairs.
    const V both = packs32(productRe(a, b), unwrapIntMin(productIm(a, b)));
    return unpacklo16(both, high64(both));
  } else {
    return orv(andv(productRe(a, b), set32(0xFFFF)), slli32<16>(productIm(a, b)));
  }
}

template <class Op, class T, bool kScalarB, bool kSat>
void packedLoop(const T* a, const T* b, T* d, std::size_t n) {
  constexpr std::size_t kStep = sizeof(p16::V) / sizeof(T);
  const p16::V fixed = kScalarB ? p16::broadcast(*b) : p16::zero();
  std::size_t i = 0;
  for (; i + kStep <= n; i += kStep) {
    const p16::V va = p16::load(a + i);
    const p16::V vb = kScalarB ? fixed : p16::load(b + i);
    if constexpr (std::is_same_v<T, short>) {
      p16::store(d + i, packedReal<Op, kSat>(va, vb));
    } else {
      p16::store(d + i, packedComplex<Op, kSat>(va, vb));
    }
  }
  for (; i < n; ++i) d[i] = narrowPart<kSat>(exact<Op>(a[i], kScalarB ? b[0] : b[i]));
}

// ---- the automatic shift ----

// r >> s fits in 16 bits exactly when r ^ (r >> 63) (r for r >= 0, -r - 1 below) has at most
// 15 + s significant bits, so the smallest s follows from the OR of those values.
template <class R>
KVO_KERNEL_INLINE R magnitudeBits(R r) {
  return r ^ (r >> (8 * sizeof(R) - 1));
}
template <class R>
KVO_KERNEL_INLINE R magnitudeBits(Pair<R> r) {
  return magnitudeBits(r.re) | magnitudeBits(r.im);
}

}  // namespace

template <Isa I, class Op, class T, bool kScalarB>
void arith16K(const T* a, const T* b, T* d, std::size_t n, Scaling sc) {
  if (sc.shift == 0) {
    if (sc.saturate) {
      packedLoop<Op, T, kScalarB, true>(a, b, d, n);
    } else {
      packedLoop<Op, T, kScalarB, false>(a, b, d, n);
    }
  } else if (sc.shift > 0) {
    if (sc.saturate) {
      shiftedLoop<Op, T, kScalarB, true, false>(a, b, d, n, sc.shift);
    } else {
      shiftedLoop<Op, T, kScalarB, false, false>(a, b, d, n, sc.shift);
    }
  } else if (sc.saturate) {
    shiftedLoop<Op, T, kScalarB, true, true>(a, b, d, n, -sc.shift);
  } else {
    shiftedLoop<Op, T, kScalarB, false, true>(a, b, d, n, -sc.shift);
  }
}

template <Isa I, class Op, class T, bool kScalarB>
int autoShift16K(const T* a, const T* b, std::size_t n) {
  using R = decltype(magnitudeBits(exact<Op>(a[0], b[0])));
  R bits = 0;
  KVO_IVDEP for (std::size_t i = 0; i < n; ++i) {
    bits |= magnitudeBits(exact<Op>(a[i], kScalarB ? b[0] : b[i]));
  }
  const int width = std::bit_width(static_cast<std::make_unsigned_t<R>>(bits));
  return width > 15 ? width - 15 : 0;
}

#define KVO_INSTANTIATE_ARITH16(Op, T, kScalarB)                                                  \
  template void arith16K<KVO_ISA, Op, T, kScalarB>(const T*, const T*, T*, std::size_t, Scaling); \
  template int autoShift16K<KVO_ISA, Op, T, kScalarB>(const T*, const T*, std::size_t);
KVO_FOR_ARITH16(KVO_INSTANTIATE_ARITH16)
#undef KVO_INSTANTIATE_ARITH16

}  // namespace kvo::kern
