// Correctly rounded fused multiply-add in integer arithmetic (see platform.h for why).
//
// The product of the two significands is formed exactly in 128 bits, the addend is aligned to it,
// and the exact sum is rounded once to nearest, ties to even, into the result format, subnormal
// results included. Bits shifted out of the smaller operand are kept as a sticky bit in the lowest
// position; the larger operand always has a free low bit and at least two bits lie between that
// position and the rounding position, so the sticky bit settles ties without disturbing the bits
// that are kept.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "frame/platform.h"

namespace kvo::platform {
namespace {

using u64 = std::uint64_t;

struct U128 {
  u64 hi = 0, lo = 0;
};

bool isZero(U128 a) { return (a.hi | a.lo) == 0; }
bool less(U128 a, U128 b) { return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo); }

U128 add(U128 a, U128 b) {
  U128 r{a.hi + b.hi, a.lo + b.lo};
  r.hi += r.lo < a.lo;
  return r;
}
U128 sub(U128 a, U128 b) {  // a >= b
  U128 r{a.hi - b.hi, a.lo - b.lo};
  r.hi -= a.lo < b.lo;
  return r;
}

U128 shiftLeft(U128 a, int s) {  // 0 <= s < 128
  if (s == 0) return a;
  if (s >= 64) return {a.lo << (s - 64), 0};
  return {(a.hi << s) | (a.lo >> (64 - s)), a.lo << s};
}

U128 shiftRight(U128 a, int s) {  // 0 <= s < 128
  if (s == 0) return a;
  if (s >= 64) return {0, a.hi >> (s - 64)};
  return {a.hi >> s, (a.lo >> s) | (a.hi << (64 - s))};
}

// Right shift that ORs every bit shifted out into bit 0.
U128 shiftRightSticky(U128 a, int s) {
  if (s >= 128) return {0, isZero(a) ? 0u : 1u};
  U128 r = shiftRight(a, s);
  r.lo |= less(shiftLeft(r, s), a);
  return r;
}

int topBit(U128 a) {  // a != 0
  return a.hi != 0 ? 127 - __builtin_clzll(a.hi) : 63 - __builtin_clzll(a.lo);
}

U128 multiply(u64 a, u64 b) {
  const u64 a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const u64 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const u64 mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFFu)};
}

// A finite non-zero double as significand * 2^exponent with bit 52 of the significand set.
struct Unpacked {
  bool negative;
  u64 significand;
  int exponent;
};

Unpacked unpack(double v) {
  u64 bits;
  std::memcpy(&bits, &v, sizeof bits);
  Unpacked u{(bits >> 63) != 0, bits & ((u64{1} << 52) - 1), int((bits >> 52) & 0x7FF)};
  if (u.exponent == 0) {  // subnormal
    const int shift = __builtin_clzll(u.significand) - 11;
    u.significand <<= shift;
    u.exponent = 1 - shift;
  } else {
    u.significand |= u64{1} << 52;
  }
  u.exponent -= 1075;
  return u;
}

// The result formats: significand bits (with the leading one) and exponent limits.
template <class R>
struct Format;
template <>
struct Format<double> {
  static constexpr int kBits = 53, kMinExp = -1022, kMaxExp = 1023;
  using Word = u64;
};
template <>
struct Format<float> {
  static constexpr int kBits = 24, kMinExp = -126, kMaxExp = 127;
  using Word = std::uint32_t;
};

// magnitude * 2^exponent (magnitude non-zero, below 2^120), rounded to nearest even in R.
template <class R>
R roundTo(bool negative, U128 magnitude, int exponent) {
  using F = Format<R>;
  using Word = typename F::Word;
  constexpr int kFraction = F::kBits - 1;
  const int top = topBit(magnitude);
  int lead = top + exponent;  // exponent of the leading bit
  const bool tiny = lead < F::kMinExp;
  // Bits to drop: down to kBits significant bits, or down to the unit of the smallest subnormal.
  const int drop = tiny ? (F::kMinExp - kFraction) - exponent : top - kFraction;
  u64 keep = 0;
  if (drop <= 0) {
    keep = shiftLeft(magnitude, -drop).lo;
  } else if (drop <= top + 1) {  // otherwise below half of the last unit kept: rounds to zero
    const U128 kept = shiftRight(magnitude, drop);
    const U128 rest = sub(magnitude, shiftLeft(kept, drop));
    const U128 half = shiftLeft(U128{0, 1}, drop - 1);
    keep = kept.lo;
    if (less(half, rest) || (!less(rest, half) && (keep & 1))) ++keep;
  }
  Word bits;
  if (tiny) {
    bits = Word(keep);  // a subnormal, or the smallest normal number after rounding up
  } else {
    if (keep >> F::kBits) {  // rounding carried into a new leading bit
      keep >>= 1;
      ++lead;
    }
    if (lead > F::kMaxExp) {
      return negative ? -std::numeric_limits<R>::infinity() : std::numeric_limits<R>::infinity();
    }
    bits = (Word(lead - F::kMinExp + 1) << kFraction) | (Word(keep) & ((Word(1) << kFraction) - 1));
  }
  bits |= Word(negative) << (sizeof(Word) * 8 - 1);
  R r;
  std::memcpy(&r, &bits, sizeof r);
  return r;
}

// x*y + z for finite, non-zero x, y and z, rounded once into R.
template <class R>
R fmaFinite(double x, double y, double z) {
  const Unpacked a = unpack(x), b = unpack(y), c = unpack(z);
  // Product: 105 or 106 bits; addend moved up to the same width. Both then get two free low bits.
  U128 p = multiply(a.significand, b.significand);
  int pExp = a.exponent + b.exponent;
  if (topBit(p) == 104) {
    p = shiftLeft(p, 1);
    --pExp;
  }
  U128 q = shiftLeft(U128{0, c.significand}, 53);
  int qExp = c.exponent - 53;
  p = shiftLeft(p, 2);
  q = shiftLeft(q, 2);
  pExp -= 2;
  qExp -= 2;

  bool pNegative = a.negative != b.negative;
  bool qNegative = c.negative;
  // Let p be the operand of larger magnitude (equal leading positions: compare the exponents).
  if (qExp > pExp || (qExp == pExp && less(p, q))) {
    std::swap(p, q);
    std::swap(pExp, qExp);
    std::swap(pNegative, qNegative);
  }
  const int gap = pExp - qExp;
  q = shiftRightSticky(q, gap > 127 ? 128 : gap);
  U128 sum;
  if (pNegative == qNegative) {
    sum = add(p, q);
  } else {
    sum = sub(p, q);
    if (isZero(sum)) return R(0);  // exact cancellation: +0 when rounding to nearest
  }
  return roundTo<R>(pNegative, sum, pExp);
}

template <class R>
R fusedMultiplyAdd(R x, R y, R z) {
  if (std::isnan(x) || std::isnan(y) || std::isnan(z) || std::isinf(x) || std::isinf(y)) {
    return x * y + z;  // infinities and NaNs follow from the plain expression
  }
  if (std::isinf(z)) return z;             // a finite product cannot change an infinite addend
  if (x == 0 || y == 0) return x * y + z;  // exact product, one rounding in the sum
  if (z == 0) return x * y;                // one rounding of the product; its sign is the result's
  return fmaFinite<R>(x, y, z);
}

}  // namespace

double exactFma(double x, double y, double z) { return fusedMultiplyAdd(x, y, z); }
float exactFmaf(float x, float y, float z) { return fusedMultiplyAdd(x, y, z); }

}  // namespace kvo::platform
