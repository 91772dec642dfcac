// Companding kernels for one instruction-set level; included by law_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow.
//
// Both codes are computed rather than looked up: every step of a G.711 code is a shift, and the
// segment number is the position of the leading one bit, which a conversion to float delivers in
// the exponent. So whole registers of samples are coded at once.
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/cvt_vec.h"
#include "kernels/law.h"

namespace kvo::kern {
namespace {

using simd::Vec;
constexpr std::size_t N = simd::kBytes / 2;  // samples per step: a register of 16-bit samples
using VI = Vec<std::int32_t, N>;
using VF = Vec<float, N>;
using VCode = Vec<std::uint8_t, N>;

KVO_KERNEL_INLINE VI minimum(const VI& a, int b) { return a < b ? a : b; }

// The 7-bit code of i in 0 .. 2047 on the segmented scale both laws share: i itself below 16,
// otherwise 16*s + the four bits below the leading one, where 2^(s+3) <= i < 2^(s+4). In the
// float of i the exponent field holds (s + 3 + 127) and the four bits lead the mantissa, so the
// pattern shifted right by 19 is (s + 130)*16 + those bits.
KVO_KERNEL_INLINE VI segmentCode(const VI& i) {
  const VI pattern = VI(__builtin_convertvector(i, VF)) >> 19;
  return i < 16 ? i : pattern - 130 * 16;
}

// base * 2^e for e in 0 .. 7 and results that float holds exactly: the power of two is built in
// the exponent field, so no lane needs a shift of its own.
KVO_KERNEL_INLINE VI timesPowerOfTwo(const VI& base, const VI& e) {
  return __builtin_convertvector(__builtin_convertvector(base, VF) * VF((e + 127) << 23), VI);
}

// 16-bit samples to codes. A-law: sign bit 0x80 for v >= 0, then the segment code of |v| >> 4
// (2048 for -32768 is held at the top code). Mu-law: |v| is rounded to the nearest level, ties to
// the smaller one, except that each segment begins 2 (segment 1) to 128 (segment 7) below the
// midpoint of its neighbouring levels; with that shift every level above the first segment is a
// run of 16 values of |v| + 3, so the segment code of (|v| + 131) >> 4 is the level.
template <class Law>
KVO_KERNEL_INLINE VI encodeLanes(const VI& v) {
  const VI negative = v < 0;
  const VI m = negative ? -v : v;
  if constexpr (std::is_same_v<Law, ALaw>) {
    return segmentCode(minimum(m >> 4, 2047)) + (~negative & 0x80);
  } else {
    const VI level = m <= 124 ? (m + 3) >> 3 : segmentCode(minimum((m + 131) >> 4, 2047));
    return ((~negative & 0x80) | 0x7F) - level;
  }
}

// Mu-law: with u the inverted code, t = (8*(u & 15) + 132) * 2^((u >> 4) & 7) and the sample is
// t - 132, negated when bit 7 of u is set. A-law: (16*(c & 15) + 8) in segment 0, otherwise
// (16*(c & 15) + 264) * 2^(s - 1) for segment s = (c >> 4) & 7; positive when bit 7 is set.
template <class Law>
KVO_KERNEL_INLINE VI decodeLanes(const VI& c) {
  if constexpr (std::is_same_v<Law, MuLaw>) {
    const VI u = c ^ 0xFF;
    const VI t = timesPowerOfTwo(((u & 15) << 3) + 132, (u >> 4) & 7);
    return (u & 0x80) != 0 ? 132 - t : t - 132;
  } else {
    const VI s = (c >> 4) & 7;
    const VI first = s == 0;
    const VI t = timesPowerOfTwo(((c & 15) << 4) + (first ? 8 : 264), first ? s : s - 1);
    return (c & 0x80) != 0 ? t : -t;
  }
}

// The linear input as 16-bit samples in 32-bit lanes. Floating-point samples of magnitude 0.96875
// and above become the extreme sample of their sign, which codes to the largest code; others are
// scaled by 32768 and truncated. NaN is taken as silence.
template <class In>
KVO_KERNEL_INLINE VI samples(const In* p) {
  if constexpr (std::is_same_v<In, std::int16_t>) {
    return __builtin_convertvector(simd::load<Vec<std::int16_t, N>>(p), VI);
  } else if constexpr (std::is_same_v<In, std::int32_t>) {
    return simd::load<VI>(p) >> 16;
  } else {
    using VX = Vec<In, N>;
    using VM = Vec<simd::MaskLane<In>, N>;
    const VX x = simd::load<VX>(p);
    const VM small = VM(simd::magnitudeBits(x) < VM(simd::splat<VX>(In(0.96875))));
    const VM nan = x != x;
    const VX scaled = VX(VM(x * In(32768)) & small & ~nan);
    const VI truncated = __builtin_convertvector(scaled, VI);
    const VI extreme = __builtin_convertvector(VM(x) < 0, VI) != 0 ? -32768 : 32767;
    return __builtin_convertvector(small | nan, VI) != 0 ? truncated : extreme;
  }
}

template <class Out>
KVO_KERNEL_INLINE void storeSamples(Out* p, const VI& v) {
  if constexpr (std::is_same_v<Out, std::int16_t>) {
    simd::store(p, __builtin_convertvector(v, Vec<std::int16_t, N>));
  } else if constexpr (std::is_same_v<Out, std::int32_t>) {
    simd::store(p, v << 16);
  } else {
    simd::store(p, __builtin_convertvector(v, Vec<Out, N>) * Out(1.0 / 32768));
  }
}

}  // namespace

template <Isa I, class Law, class In>
void encodeK(const In* src, std::uint8_t* dst, std::size_t n) {
  simd::blocks<N>(src, dst, n, [](const In* in, std::uint8_t* out) {
    simd::store(out, __builtin_convertvector(encodeLanes<Law>(samples(in)), VCode));
  });
}

template <Isa I, class Law, class Out>
void decodeK(const std::uint8_t* src, Out* dst, std::size_t n) {
  simd::blocks<N>(src, dst, n, [](const std::uint8_t* in, Out* out) {
    storeSamples(out, decodeLanes<Law>(__builtin_convertvector(simd::load<VCode>(in), VI)));
  });
}

#define KVO_INSTANTIATE_LAW(Law, T)                                             \
  template void encodeK<KVO_ISA, Law, T>(const T*, std::uint8_t*, std::size_t); \
  template void decodeK<KVO_ISA, Law, T>(const std::uint8_t*, T*, std::size_t);
KVO_FOR_LAW(KVO_INSTANTIATE_LAW)
#undef KVO_INSTANTIATE_LAW

}  // namespace kvo::kern
