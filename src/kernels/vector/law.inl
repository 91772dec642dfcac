// Companding kernels for one instruction-set level; included by law_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow.
//
// Both codes are computed rather than looked up: every step of a G.711 code is a shift, and the
// segment number is the position of the leading one bit, which a conversion to float delivers in
// its exponent. The loops are free of branches and tables, so the compiler turns them into whole
// registers of samples at every level.
//
// GCC assumes by default that floating-point steps may trap, so it keeps a branch around the
// conversions under a condition, and a loop with a branch is not vectorised. Nothing here can
// trap (every conversion is exact and in range), so it may treat them as plain operations. The
// option must come before the headers, so that their inline functions carry it too.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-trapping-math")
#endif

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "kernels/vector/law.h"

namespace kvo::kern {
namespace {

// The 7-bit code of i in 0 .. 2047 on the segmented scale both laws share: i itself below 16,
// otherwise 16*s + the four bits below the leading one, where 2^(s+3) <= i < 2^(s+4). In the
// float of i the exponent field holds s + 3 + 127 and the four bits lead the mantissa, so its
// pattern shifted right by 19 is (s + 130)*16 + those bits.
KVO_KERNEL_INLINE int segmentCode(int i) {
  const int pattern = std::bit_cast<int>(static_cast<float>(i)) >> 19;
  return i < 16 ? i : pattern - 130 * 16;
}

// A-law: sign bit 0x80 for v >= 0, then the segment code of |v| >> 4 (2048, from -32768, is held
// at the top code). Mu-law: |v| goes to the nearest level, ties to the smaller one, except that
// each segment begins 2 (segment 1) to 128 (segment 7) below the midpoint of its neighbouring
// levels; with that shift every level above the first segment is a run of 16 values of |v| + 3,
// so the level is the segment code of (|v| + 131) >> 4. The code is 0xFF or 0x7F less the level.
template <class Law>
KVO_KERNEL_INLINE std::uint8_t encodeSample(int v) {
  const int negative = v >> 31;  // all ones for v < 0
  const int m = v < 0 ? -v : v;
  if constexpr (std::is_same_v<Law, ALaw>) {
    const int i = m >> 4;
    return static_cast<std::uint8_t>(segmentCode(i < 2047 ? i : 2047) + (~negative & 0x80));
  } else {
    const int h = (m + 131) >> 4;
    const int level = m <= 124 ? (m + 3) >> 3 : segmentCode(h < 2047 ? h : 2047);
    return static_cast<std::uint8_t>(((~negative & 0x80) | 0x7F) - level);
  }
}

// The level of the 7-bit magnitude code m = 16*s + q above segment 0: (132 + 8q) * 2^s, which is
// the mu-law level plus 132 and the A-law level, (264 + 16q) * 2^(s - 1). It is 2^(s+7) times
// 1 + (2q + 1)/32: the float with exponent s + 7 and mantissa bits 2q + 1 at the top, whose
// pattern is (m << 19) + 0x43040000. So a level is an integer add and one conversion.
KVO_KERNEL_INLINE int segmentLevel(int m) {
  return static_cast<int>(std::bit_cast<float>((m << 19) + 0x43040000));
}

// Mu-law: u is the inverted code; the sample is the level of u & 0x7F less 132, negated when bit 7
// of u is set (segment 0 follows the same rule). A-law: segment 0 is linear, 16q + 8; the sample
// is negated when bit 7 of the code is clear.
template <class Law>
KVO_KERNEL_INLINE int decodeCode(int c) {
  if constexpr (std::is_same_v<Law, MuLaw>) {
    const int u = c ^ 0xFF;
    const int t = segmentLevel(u & 0x7F) - 132;
    return u & 0x80 ? -t : t;
  } else {
    const int t = (c & 0x70) == 0 ? ((c & 15) << 4) + 8 : segmentLevel(c & 0x7F);
    return c & 0x80 ? t : -t;
  }
}

// The linear input as a 16-bit sample. Floating-point samples of magnitude 0.96875 and above
// become the extreme sample of their sign, which codes to the largest code; others are scaled by
// 32768 and truncated. NaN is taken as silence.
template <class In>
KVO_KERNEL_INLINE int sampleOf(In x) {
  if constexpr (std::is_same_v<In, std::int16_t>) {
    return x;
  } else if constexpr (std::is_same_v<In, std::int32_t>) {
    return x >> 16;
  } else {
    // Tested on the bit pattern: the pattern of |x| orders like |x|, and NaN lies above infinity.
    using Bits = std::conditional_t<sizeof(In) == 4, std::int32_t, std::int64_t>;
    const auto bits = std::bit_cast<Bits>(x);
    const Bits magnitude = bits & std::numeric_limits<Bits>::max();
    const bool small = magnitude < std::bit_cast<Bits>(In(0.96875));
    const bool nan = magnitude > std::bit_cast<Bits>(std::numeric_limits<In>::infinity());
    const int truncated = static_cast<int>(small ? x * In(32768) : In(0));
    const int extreme = bits < 0 ? -32768 : 32767;
    return (small | nan) ? truncated : extreme;
  }
}

template <class Out>
KVO_KERNEL_INLINE Out linearOf(int v) {
  if constexpr (std::is_same_v<Out, std::int16_t>) return static_cast<Out>(v);
  if constexpr (std::is_same_v<Out, std::int32_t>) return static_cast<Out>(v * 65536);
  if constexpr (std::is_floating_point_v<Out>) return static_cast<Out>(v) * Out(1.0 / 32768);
}

}  // namespace

template <Isa I, class Law, class In>
void encodeK(const In* src, std::uint8_t* dst, std::size_t n) {
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) dst[k] = encodeSample<Law>(sampleOf(src[k]));
}

template <Isa I, class Law, class Out>
void decodeK(const std::uint8_t* src, Out* dst, std::size_t n) {
  KVO_IVDEP for (std::size_t k = 0; k < n; ++k) dst[k] = linearOf<Out>(decodeCode<Law>(src[k]));
}

#define KVO_INSTANTIATE_LAW(Law, T)                                             \
  template void encodeK<KVO_ISA, Law, T>(const T*, std::uint8_t*, std::size_t); \
  template void decodeK<KVO_ISA, Law, T>(const std::uint8_t*, T*, std::size_t);
KVO_FOR_LAW(KVO_INSTANTIATE_LAW)
#undef KVO_INSTANTIATE_LAW

}  // namespace kvo::kern
