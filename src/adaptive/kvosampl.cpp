// Up- and down-sampling by integer factors with the phase carried between blocks (module
// kvosampl).
#include <cstdint>
#include <cstring>

#include "frame/check.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvosampl";

template <class T>
bool sampleChecks(const kvo::Site& site, const T* src, int srcLen, const T* dst, const int* dstLen,
                  int factor, const int* phase) {
  kvo::Checks c(site);
  c.require(srcLen >= 1, "Invalid src array length")
      .require(src != nullptr && dst != nullptr, "Null buffer pointer")
      .notNull(dstLen, "Null dstLen pointer")
      .notNull(phase, "Null phase pointer")
      .require(factor >= 1, "Invalid factor value");
  if (c)
    c.require(*phase >= 0, "Invalid phase value").require(factor > *phase, "Invalid factor value");
  return c.ok();
}

// dst[i * factor + phase] = src[i], zeros elsewhere; written from the end, so dst may be src.
template <class T>
int up(const kvo::Site& site, const T* src, int srcLen, T* dst, int* dstLen, int factor,
       int* phase) {
  if (!sampleChecks(site, src, srcLen, dst, dstLen, factor, phase)) return KVO_StatusBadArgument;
  *dstLen = static_cast<int>(static_cast<std::int64_t>(srcLen) * factor);
  if (factor == 1) {
    if (dst != src) std::memmove(static_cast<void*>(dst), src, sizeof(T) * std::size_t(srcLen));
    return KVO_StatusOk;
  }
  const int p = *phase;
  T zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof(T));
  for (std::int64_t i = srcLen - 1; i >= 0; --i) {
    const T v = src[i];
    T* out = dst + i * factor;
    for (int j = factor - 1; j >= 0; --j) out[j] = j == p ? v : zero;
  }
  return KVO_StatusOk;
}

// dst = src[p], src[p + factor], ...; the phase then points into the next block.
template <class T>
int down(const kvo::Site& site, const T* src, int srcLen, T* dst, int* dstLen, int factor,
         int* phase) {
  if (!sampleChecks(site, src, srcLen, dst, dstLen, factor, phase)) return KVO_StatusBadArgument;
  if (factor == 1) {
    if (dst != src) std::memmove(static_cast<void*>(dst), src, sizeof(T) * std::size_t(srcLen));
    *dstLen = srcLen;
    return KVO_StatusOk;
  }
  const std::int64_t p = *phase;
  const std::int64_t count = p >= srcLen ? 0 : (srcLen - 1 - p) / factor + 1;
  for (std::int64_t i = 0; i < count; ++i) dst[i] = src[p + i * factor];
  *dstLen = static_cast<int>(count);
  *phase = static_cast<int>(p + count * factor - srcLen);
  return KVO_StatusOk;
}

}  // namespace

#define KVO_SAMPLE_PAIR(code, T)                                                            \
  KVO_API int KVO_CALL kvo##code##UpSample(const T* src, int srcLen, T* dst, int* dstLen,   \
                                           int factor, int* phase) {                        \
    return up(KVO_SITE, src, srcLen, dst, dstLen, factor, phase);                           \
  }                                                                                         \
  KVO_API int KVO_CALL kvo##code##DownSample(const T* src, int srcLen, T* dst, int* dstLen, \
                                             int factor, int* phase) {                      \
    return down(KVO_SITE, src, srcLen, dst, dstLen, factor, phase);                         \
  }

extern "C" {
KVO_SAMPLE_PAIR(s, float)
KVO_SAMPLE_PAIR(c, ComplexFloat)
KVO_SAMPLE_PAIR(d, double)
KVO_SAMPLE_PAIR(z, ComplexDouble)
KVO_SAMPLE_PAIR(w, short)
KVO_SAMPLE_PAIR(v, ComplexShort)
}  // extern "C"
