// 16-bit IIR kernels on the integer path.
//
// Taps are 16-bit fixed-point words with k fraction bits, k in word 0:
//   direct form: word 1 = b0, then for i = 1..N the pair (-a_i, b_i) at words 2i, 2i+1;
//   biquads: word 1 = G, then per section (-a1, -a2, b1, b2).
// Sums are 32-bit and wrap, products are formed as pairs of 16-bit products added together (the
// packed multiply-add), so the results are defined to the bit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvo::kern {

namespace iirw {

inline std::int32_t wrap32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}
inline std::int32_t add32(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
// a*x + b*y of 16-bit values, wrapped to 32 bits like the packed multiply-add.
inline std::int32_t pair(short a, short x, short b, short y) {
  return wrap32(std::int64_t(a) * x + std::int64_t(b) * y);
}
inline short low16(std::int32_t v) {
  return static_cast<short>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v)));
}
inline short sat16(std::int32_t v) {
  return static_cast<short>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}
// Shift counts of the fraction bits: above 31 act as 31; a negative word (never written by the
// initialisation) is taken as 0.
inline int fractionBits(short word) { return word < 0 ? 0 : word > 31 ? 31 : word; }

}  // namespace iirw

// Direct form: t = (b0*x + d[0]) >> k; the saturated t is fed back, the low 16 bits of t are the
// output.
inline void iirwDirect(const short* w, int order, std::int32_t* d, const short* in, short* out,
                       std::size_t n, int inShift, short (*shiftIn)(std::int64_t, int)) {
  using namespace iirw;
  const int k = fractionBits(w[0]);
  for (std::size_t i = 0; i < n; ++i) {
    const short x = shiftIn(in[i], inShift);
    if (order == 0) {
      out[i] = low16(wrap32(std::int64_t(w[1]) * x) >> k);
      continue;
    }
    const std::int32_t t = add32(wrap32(std::int64_t(w[1]) * x), d[0]) >> k;
    const short y = sat16(t);
    for (int j = 1; j < order; ++j) d[j - 1] = add32(pair(w[2 * j], y, w[2 * j + 1], x), d[j]);
    d[order - 1] = pair(w[2 * order], y, w[2 * order + 1], x);
    out[i] = low16(t);
  }
}

// Biquads at one eighth of the signal's scale: one 32-bit word per section, the newer state d0 in
// its low half and the older d1 in its high half.
inline void iirwBiquad(const short* w, int numQuads, std::int32_t* d, const short* in, short* out,
                       std::size_t n, int inShift, short (*shiftIn)(std::int64_t, int)) {
  using namespace iirw;
  const int k = fractionBits(w[0]);
  const short g = w[1];
  for (std::size_t i = 0; i < n; ++i) {
    const short x = shiftIn(in[i], inShift);
    std::int32_t a = std::int32_t(short(x >> 1)) * g;
    for (int j = 0; j < numQuads; ++j) {
      const short* q = w + 2 + 4 * j;
      const std::uint32_t word = static_cast<std::uint32_t>(d[j]);
      const short d0 = static_cast<short>(word & 0xffffu), d1 = static_cast<short>(word >> 16);
      const std::int32_t fb = pair(q[0], d0, q[1], d1), ff = pair(q[2], d0, q[3], d1);
      const std::int32_t t = add32(a, wrap32(std::int64_t(fb) * 4));
      const short s = low16((t >> k) >> 2);
      d[j] = static_cast<std::int32_t>(std::uint32_t(std::uint16_t(s)) |
                                       (std::uint32_t(std::uint16_t(d0)) << 16));
      a = add32(t, wrap32(std::int64_t(ff) * 4));
    }
    out[i] = low16(wrap32(std::int64_t(a) * 2) >> k);
  }
}

}  // namespace kvo::kern
