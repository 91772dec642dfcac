// Uniform and normal random generators: float, double, complex and the 16-bit normal generator
// (module kvorand).
#include <cstddef>
#include <cstdint>

#include "frame/check.h"
#include "kernels/generate/genfield.h"
#include "kernels/generate/rand.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvorand";

namespace rand = kvo::kern::rand;
using kvo::Checks;
using kvo::Site;
using kvo::kern::gen::field;
using rand::U32;

constexpr const char* kNullState = "Null pointer to state structure";

// Truncation toward zero to a 32-bit integer; seeds outside its range (and NaN) give the
// processor's "integer indefinite" 0x80000000, as the conversion instruction does.
U32 toSeed(double seed) {
  if (seed > -2147483649.0 && seed < 2147483648.0) {
    return static_cast<U32>(static_cast<std::int32_t>(seed));
  }
  return 0x80000000u;
}

template <class R>
int uniformInit(const Site& s, double seed, double low, double high, RandUniState* st) {
  if (!Checks(s).notNull(st, kNullState)) return KVO_StatusBadArgument;
  *st = RandUniState{};
  field<R>(st->mid) = static_cast<R>(low + 0.5 * (high - low));
  field<R>(st->scale) = static_cast<R>((high - low) * 0x1p-32);
  rand::seedRegisters(*st, toSeed(seed), 0);
  st->lcg = rand::kLcgStart;
  R discarded[5];
  rand::uniform(*st, discarded, 5);
  return KVO_StatusOk;
}

template <class R>
int gaussInit(const Site& s, double seed, double mean, double stDev, RandGausState* st) {
  if (!Checks(s).notNull(st, kNullState)) return KVO_StatusBadArgument;
  *st = RandGausState{};
  field<R>(st->mean) = static_cast<R>(mean);
  field<R>(st->stDev) = static_cast<R>(stDev);
  rand::seedRegisters(*st, toSeed(seed), 1);
  st->lcg = rand::kLcgStart;
  return KVO_StatusOk;
}

int gaussShortInit(const Site& s, short seed, short mean, short stDev, WRandGausState* st) {
  if (!Checks(s).notNull(st, kNullState)) return KVO_StatusBadArgument;
  *st = WRandGausState{};
  st->mean = mean;
  st->stDev = stDev;
  // The 16-bit seed is sign-extended to the 32-bit register.
  rand::seedRegisters(*st, static_cast<U32>(std::int32_t{seed}), 1);
  st->lcg = rand::kLcgStart;
  return KVO_StatusOk;
}

// The kernels work on runs of reals: a complex value is two successive values, real part first.
template <class R>
void fill(RandUniState& st, R* y, std::size_t n) {
  rand::uniform(st, y, n);
}
template <class R>
void fill(RandGausState& st, R* y, std::size_t n) {
  rand::gauss(st, y, n);
}
void fill(WRandGausState& st, short* y, std::size_t n) { rand::gauss(st, y, n); }

template <class T>
auto* reals(T* p) {
  if constexpr (kvo::kern::gen::kIsPair<T>) {
    return &p->re;
  } else {
    return p;
  }
}

template <class T, class S>
T single(const Site& s, S* st) {
  T y{};
  if (Checks(s).notNull(st, kNullState)) fill(*st, reals(&y), sizeof(T) / sizeof(*reals(&y)));
  return y;
}

template <class T, class S>
int block(const Site& s, S* st, T* y, unsigned n) {
  if (!Checks(s)
           .notNull(st, kNullState)
           .notNull(y, "Null pointer to data buffer")
           .require(n != 0, "Null length of buffer")) {
    return KVO_StatusBadArgument;
  }
  fill(*st, reals(y), std::size_t{n} * (sizeof(T) / sizeof(*reals(y))));
  return KVO_StatusOk;
}

}  // namespace

using CF = ComplexFloat;
using CD = ComplexDouble;
using CS = ComplexShort;
using RU = RandUniState;
using RG = RandGausState;
using WG = WRandGausState;

extern "C" {

KVO_API int KVO_CALL kvosRandUniInit(float seed, float low, float high, RU* statePtr) {
  return uniformInit<float>(KVO_SITE, seed, low, high, statePtr);
}
KVO_API int KVO_CALL kvocRandUniInit(float seed, float low, float high, RU* statePtr) {
  return uniformInit<float>(KVO_SITE, seed, low, high, statePtr);
}
KVO_API int KVO_CALL kvodRandUniInit(double seed, double low, double high, RU* statePtr) {
  return uniformInit<double>(KVO_SITE, seed, low, high, statePtr);
}
KVO_API int KVO_CALL kvozRandUniInit(double seed, double low, double high, RU* statePtr) {
  return uniformInit<double>(KVO_SITE, seed, low, high, statePtr);
}

KVO_API float KVO_CALL kvosRandUni(RU* statePtr) { return single<float>(KVO_SITE, statePtr); }
KVO_API double KVO_CALL kvodRandUni(RU* statePtr) { return single<double>(KVO_SITE, statePtr); }
KVO_API CF KVO_CALL kvocRandUni(RU* statePtr) { return single<CF>(KVO_SITE, statePtr); }
KVO_API CD KVO_CALL kvozRandUni(RU* statePtr) { return single<CD>(KVO_SITE, statePtr); }

KVO_API int KVO_CALL kvosbRandUni(RU* statePtr, float* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvocbRandUni(RU* statePtr, CF* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvodbRandUni(RU* statePtr, double* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvozbRandUni(RU* statePtr, CD* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}

KVO_API int KVO_CALL kvosRandGausInit(float seed, float mean, float stDev, RG* statePtr) {
  return gaussInit<float>(KVO_SITE, seed, mean, stDev, statePtr);
}
KVO_API int KVO_CALL kvocRandGausInit(float seed, float mean, float stDev, RG* statePtr) {
  return gaussInit<float>(KVO_SITE, seed, mean, stDev, statePtr);
}
KVO_API int KVO_CALL kvodRandGausInit(double seed, double mean, double stDev, RG* statePtr) {
  return gaussInit<double>(KVO_SITE, seed, mean, stDev, statePtr);
}
KVO_API int KVO_CALL kvozRandGausInit(double seed, double mean, double stDev, RG* statePtr) {
  return gaussInit<double>(KVO_SITE, seed, mean, stDev, statePtr);
}
KVO_API int KVO_CALL kvowRandGausInit(short seed, short mean, short stDev, WG* statePtr) {
  return gaussShortInit(KVO_SITE, seed, mean, stDev, statePtr);
}
KVO_API int KVO_CALL kvovRandGausInit(short seed, short mean, short stDev, WG* statePtr) {
  return gaussShortInit(KVO_SITE, seed, mean, stDev, statePtr);
}

KVO_API float KVO_CALL kvosRandGaus(RG* statePtr) { return single<float>(KVO_SITE, statePtr); }
KVO_API CF KVO_CALL kvocRandGaus(RG* statePtr) { return single<CF>(KVO_SITE, statePtr); }
KVO_API double KVO_CALL kvodRandGaus(RG* statePtr) { return single<double>(KVO_SITE, statePtr); }
KVO_API CD KVO_CALL kvozRandGaus(RG* statePtr) { return single<CD>(KVO_SITE, statePtr); }
KVO_API short KVO_CALL kvowRandGaus(WG* statePtr) { return single<short>(KVO_SITE, statePtr); }
KVO_API CS KVO_CALL kvovRandGaus(WG* statePtr) { return single<CS>(KVO_SITE, statePtr); }

KVO_API int KVO_CALL kvosbRandGaus(RG* statePtr, float* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvocbRandGaus(RG* statePtr, CF* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvodbRandGaus(RG* statePtr, double* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvozbRandGaus(RG* statePtr, CD* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvowbRandGaus(WG* statePtr, short* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}
KVO_API int KVO_CALL kvovbRandGaus(WG* statePtr, CS* samps, unsigned int sampsLen) {
  return block(KVO_SITE, statePtr, samps, sampsLen);
}

}  // extern "C"
