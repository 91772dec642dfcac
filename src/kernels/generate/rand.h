// Random generator kernels: the shared core and the per-level block kernels.
//
// The core, in 32-bit unsigned arithmetic:
//   seeding generator   s = s*214013 + 2531011, draws (s >> 16) & 0x7FFF;
//   subtract-with-borrow d = x2 - x3 - c, borrow (d -= 18, c = 1) when d read as signed is not
//                        positive (the 16-bit uniform batch step: when it is negative);
//                        x3 = x2, x2 = x1, x1 = d;
//   congruential        m = m*69069 + 1013904243;
//   raw draw            r = (int32)(d + m).
// The sequences are the contract: every level computes the same values in the same order. The
// block kernels split the work into a sequential pass over the borrow chain and a lane-parallel
// pass that advances the congruential generator by jumps (its k-step map is again affine) and
// converts the draws; single values are blocks of one, so both agree by construction.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvo::kern::rand {

using U32 = std::uint32_t;

constexpr U32 kLcgStart = 1131199209u;  // 0x436CBAE9
constexpr U32 kLcgMul = 69069u;
constexpr U32 kLcgAdd = 1013904243u;

inline U32 seedDraw(U32& s) {
  s = s * 214013u + 2531011u;
  return (s >> 16) & 0x7FFFu;
}

inline U32 lcgStep(U32& m) {
  m = m * kLcgMul + kLcgAdd;
  return m;
}

// The affine map of k congruential steps: m -> mul*m + add.
struct LcgJump {
  U32 mul = 1, add = 0;
  constexpr explicit LcgJump(unsigned k) {
    for (unsigned i = 0; i < k; ++i) {
      mul *= kLcgMul;
      add = add * kLcgMul + kLcgAdd;
    }
  }
};

struct Swb {
  U32 x1, x2, x3, c;
  // Borrow when d is not positive (kStrict = false) or when it is negative (kStrict = true).
  template <bool kStrict = false>
  U32 step() {
    U32 d = x2 - x3 - c;
    const auto sd = static_cast<std::int32_t>(d);
    const U32 borrow = (kStrict ? sd < 0 : sd <= 0) ? 1u : 0u;
    d -= borrow * 18u;  // a multiply, not a branch: the borrow is unpredictable
    c = borrow;
    x3 = x2;
    x2 = x1;
    x1 = d;
    return d;
  }
};

template <class S>
Swb loadSwb(const S& st) {
  return {st.x1, st.x2, st.x3, st.carry};
}
template <class S>
void storeSwb(S& st, const Swb& g) {
  st.x1 = g.x1;
  st.x2 = g.x2;
  st.x3 = g.x3;
  st.carry = g.c;
}

// Register setup shared by the Init operations: x1 = seed, x2 and x3 the first two seeding draws.
template <class S>
void seedRegisters(S& st, U32 seed, U32 carry) {
  st.seedLcg = seed;
  st.x1 = seed;
  st.x2 = seedDraw(st.seedLcg);
  st.x3 = seedDraw(st.seedLcg);
  st.carry = carry;
}

// Per-level kernels (rand.inl). R is the precision of the record fields; T the output element.
// Uniform: n values r*scale + mid. Normal: n values by the polar method, honouring a stored value
// first and storing the second value of an unfinished pair. 16-bit uniform: n batch values (an odd
// count starting with one single step).
template <Isa I, class R>
void uniformK(RandUniState& st, R* y, std::size_t n);
template <Isa I, class R>
void gaussK(RandGausState& st, R* y, std::size_t n);
template <Isa I>
void gaussShortK(WRandGausState& st, short* y, std::size_t n);
template <Isa I>
void uniformShortK(WRandUniState& st, short* y, std::size_t n);

template <class R>
void uniform(RandUniState& st, R* y, std::size_t n) {
  KVO_DISPATCH(uniformK, R)(st, y, n);
}
template <class R>
void gauss(RandGausState& st, R* y, std::size_t n) {
  KVO_DISPATCH(gaussK, R)(st, y, n);
}
inline void gauss(WRandGausState& st, short* y, std::size_t n) {
  KVO_DISPATCH(gaussShortK)(st, y, n);
}
inline void uniformShort(WRandUniState& st, short* y, std::size_t n) {
  KVO_DISPATCH(uniformShortK)(st, y, n);
}

// One single step of the 16-bit uniform generator (also the discarded steps of its Init).
inline short uniformShortSingle(Swb& g, U32& lcgA, U32 mid, int shift) {
  const U32 d = g.step();
  const auto r = static_cast<std::int32_t>(d + lcgStep(lcgA));
  return static_cast<short>(static_cast<std::uint16_t>(mid - static_cast<U32>(r >> shift)));
}

inline int clampShift(int shift) { return shift < 0 ? 0 : shift > 31 ? 31 : shift; }

}  // namespace kvo::kern::rand
