// Natural logarithm and exponential of float and double vectors.
//
// Both work lane-parallel in double precision at every instruction-set level. Double results are
// table-driven with exactly reduced arguments, about 0.5 units in the last place, with the same
// rounded operations in the same order at every level (fused multiply-adds only where the product
// and the sum are exact), so every level gives the same bits. The tables are read with gathers
// where the level has them; vectors holding special values, subnormal logarithm inputs or
// exponentials near the ends of the range take a slower path with the same results.
// Float results come from a 16-entry table and a short polynomial, about 2^-34 relative, and are
// rounded once: within one unit in the last place of the correctly rounded result, and almost
// always equal to it. Their argument reduction is exact, and only the polynomial and the final
// sums use fused multiply-adds where the level has them; the levels can then differ only where a
// double result lies within a few units of 2^-53 of the midpoint between two floats.
//
// ln(+-0) = -inf, ln of a negative number (or -inf) is the default NaN (sign bit set),
// ln(+inf) = +inf; exp overflows to +inf and underflows to 0; NaNs pass through.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"

namespace kvo::kern {

template <Isa I, class T>
void lnK(const T* s, T* d, std::size_t n);
template <Isa I, class T>
void expK(const T* s, T* d, std::size_t n);

template <class T>
void ln(const T* s, T* d, int n) {
  KVO_DISPATCH(lnK, T)(s, d, static_cast<std::size_t>(n));
}
template <class T>
void exp(const T* s, T* d, int n) {
  KVO_DISPATCH(expK, T)(s, d, static_cast<std::size_t>(n));
}

namespace lnexp {

// 2^(j/128) = hi + lo.
struct Exp2Entry {
  double hi, lo;
};
extern const Exp2Entry kExp2[128];

// For c = 1 + j/128, j = 0 .. 128: invc, 1/c rounded to 8 significant bits (a multiple of 2^-8),
// and -ln(invc) = lhi + llo, lhi a multiple of 2^-42 and llo rounded to 34 significant bits. The
// low 19 bits of the pattern of llo, zero then, hold the top 19 of invc (all its nonzero bits):
// one gather fetches both.
struct LogEntry {
  double lhi;
  std::uint64_t lloAndInvc;
};
extern const LogEntry kLog[129];

// The float exponential's 2^(j/16) and the float logarithm's intervals (elemlnexp_tables.cpp).
extern const std::uint64_t kExp16Bits[16];
extern const double kLn16InvC[16];
extern const double kLn16LnC[16];

}  // namespace lnexp
}  // namespace kvo::kern
