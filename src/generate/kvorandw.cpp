// 16-bit uniform random generator (module kvorandw).
#include <cstddef>

#include "frame/check.h"
#include "kernels/generate/rand.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvorandw";

namespace rand = kvo::kern::rand;
using kvo::Checks;
using kvo::Site;
using rand::U32;

constexpr int kBuffered = 32;

int init(const Site& s, U32 seed, short low, short high, WRandUniState* st) {
  if (!Checks(s).notNull(st, "statePtr==0")) return KVO_StatusBadArgument;
  *st = WRandUniState{};
  st->mid = ((high + low) >> 1) - 1;
  // 2^k is the smallest power of two not below the width rounded down to even.
  const int width = (high - low) & ~1;
  int k = 0;
  while (width > 1 && (1 << k) < width) ++k;
  st->shift = 32 - k;
  rand::seedRegisters(*st, seed, 0);
  st->lcgA = rand::kLcgStart;
  st->lcgB = rand::seedDraw(st->seedLcg);
  rand::Swb g = rand::loadSwb(*st);
  for (int i = 0; i < 5; ++i) {
    rand::uniformShortSingle(g, st->lcgA, static_cast<U32>(st->mid), rand::clampShift(st->shift));
  }
  rand::storeSwb(*st, g);
  st->next = kBuffered;
  return KVO_StatusOk;
}

// The next `count` buffered values, refilling the buffer when fewer remain; an index outside the
// buffer counts as an empty buffer.
const short* take(WRandUniState& st, int count) {
  if (st.next < 0 || st.next > kBuffered - count) {
    rand::uniformShort(st, st.buffer, kBuffered);
    st.next = 0;
  }
  const short* p = st.buffer + st.next;
  st.next += count;
  return p;
}

bool blockOk(const Site& s, const WRandUniState* st, const void* y, int n) {
  return bool(
      Checks(s).notNull(st, "statePtr==0").positive(n, "sampsLen<=0").notNull(y, "samps==0"));
}

}  // namespace

using CS = ComplexShort;

extern "C" {

KVO_API int KVO_CALL kvowRandUniInit(unsigned int seed, short low, short high,
                                     WRandUniState* statePtr) {
  return init(KVO_SITE, seed, low, high, statePtr);
}
KVO_API int KVO_CALL kvovRandUniInit(unsigned int seed, short low, short high,
                                     WRandUniState* statePtr) {
  return init(KVO_SITE, seed, low, high, statePtr);
}

KVO_API short KVO_CALL kvowRandUni(WRandUniState* statePtr) {
  if (!KVO_CHECKS.notNull(statePtr, "((void*)(0))==statePtr")) return 0;
  return *take(*statePtr, 1);
}
KVO_API CS KVO_CALL kvovRandUni(WRandUniState* statePtr) {
  if (!KVO_CHECKS.notNull(statePtr, "((void*)(0))==statePtr")) return CS{0, 0};
  const short* p = take(*statePtr, 2);
  return CS{p[0], p[1]};
}

KVO_API int KVO_CALL kvowbRandUni(WRandUniState* statePtr, short* samps, int sampsLen) {
  if (!blockOk(KVO_SITE, statePtr, samps, sampsLen)) return KVO_StatusBadArgument;
  rand::uniformShort(*statePtr, samps, static_cast<std::size_t>(sampsLen));
  return KVO_StatusOk;
}
KVO_API int KVO_CALL kvovbRandUni(WRandUniState* statePtr, CS* samps, int sampsLen) {
  if (!blockOk(KVO_SITE, statePtr, samps, sampsLen)) return KVO_StatusBadArgument;
  rand::uniformShort(*statePtr, &samps->re, 2 * static_cast<std::size_t>(sampsLen));
  return KVO_StatusOk;
}

}  // extern "C"
