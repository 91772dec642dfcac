// Cross- and autocorrelation of 16-bit data (module kvocorrw): wrapping 32-bit sums brought to 16
// bits by the shared scaling routines.
#include <cstdint>

#include "frame/check.h"
#include "kernels/conv/slide.h"
#include "kernels/vector/scale.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvocorrw";

template <class T>
constexpr bool kComplex = sizeof(T) == sizeof(ComplexShort);

// Sums for the lags lo .. lo + count - 1 into work (two per lag for complex results).
template <class TA, class TB>
void sums(const TA* a, int lenA, const TB* b, int lenB, std::int64_t lo, std::int64_t count,
          std::int32_t* work) {
  constexpr bool kC = kComplex<TA> || kComplex<TB>;
  for (std::int64_t j = 0; j < count; ++j) {
    const std::int64_t k = lo + j;
    const std::int64_t n0 = k < 0 ? -k : 0;
    const std::int64_t n1 = lenA < lenB - k ? lenA : lenB - k;
    const int n = n1 > n0 ? static_cast<int>(n1 - n0) : 0;
    const short* pa = reinterpret_cast<const short*>(a + n0);
    const short* pb = reinterpret_cast<const short*>(b + n0 + k);
    if constexpr (kC) {
      kvo::kern::wrapCDot(pa, kComplex<TA>, pb, kComplex<TB>, n, &work[2 * j], &work[2 * j + 1]);
    } else {
      work[j] = kvo::kern::wrapDot(pa, pb, n);
    }
  }
}

// The sums, then to 16 bits: integers directly, or (autocorrelation types 1 and 2) as floats
// divided by len or len - k.
template <class TA, class TB, class TY>
void correlate(const kvo::Site& site, const TA* a, int lenA, const TB* b, int lenB, TY* dst,
               std::int64_t lo, std::int64_t count, int corrType, int scaleMode, int* scaleFactor) {
  constexpr int parts = kComplex<TY> ? 2 : 1;
  const std::int64_t values = count * parts;
  const bool divide = corrType == 1 || corrType == 2;
  const std::int64_t bytes = values * (divide ? 8 : 4);
  auto* work = bytes <= 0x7fffffff ? static_cast<std::int32_t*>(kvoMalloc(int(bytes))) : nullptr;
  if (work == nullptr) {
    site.report(KVO_StatusOutOfMemory, "Allocation failure");
    return;
  }
  sums(a, lenA, b, lenB, lo, count, work);
  short* out = reinterpret_cast<short*>(dst);
  if (!divide) {
    kvo::kvoScaleIntsToShorts(work, out, static_cast<int>(values), scaleMode, scaleFactor);
  } else {
    float* f = reinterpret_cast<float*>(work + values);
    for (std::int64_t i = 0; i < values; ++i) {
      const float d =
          corrType == 1 ? static_cast<float>(lenA) : static_cast<float>(lenA - i / parts);
      f[i] = static_cast<float>(work[i]) / d;
    }
    kvo::kvoScaleFloatsToShorts(f, out, static_cast<int>(values), scaleMode, scaleFactor);
  }
  kvoFree(work);
}

template <class TA, class TB, class TY>
void cross(const kvo::Site& site, const TA* a, int lenA, const TB* b, int lenB, TY* dst, int loLag,
           int hiLag, int scaleMode, int* scaleFactor) {
  kvo::Checks c(site);
  c.require(a != nullptr && b != nullptr, "Null SRC buffer pointer")
      .notNull(dst, "Null DST buffer pointer")
      .require(lenA >= 1 && lenB >= 1, "Invalid SRC buffer length")
      .require(loLag <= hiLag, "Invalid LAG value")
      .require(!(scaleMode == KVO_AUTO_SCALE && scaleFactor == nullptr),
               "Null scale factor pointer");
  if (!c) return;
  correlate(site, a, lenA, b, lenB, dst, loLag, std::int64_t{hiLag} - loLag + 1, 0, scaleMode,
            scaleFactor);
}

template <class T>
void autoc(const kvo::Site& site, const T* src, int len, T* dst, int nLags, int corrType,
           int scaleMode, int* scaleFactor) {
  kvo::Checks c(site);
  c.notNull(src, "Null SRC buffer pointer")
      .notNull(dst, "Null DST buffer pointer")
      .require(len >= 1, "Invalid SRC buffer length")
      .require(nLags >= 1 && nLags <= len, "Invalid LAG value")
      .require(!(scaleMode == KVO_AUTO_SCALE && scaleFactor == nullptr),
               "Null scale factor pointer");
  if (!c) return;
  correlate(site, src, len, src, len, dst, 0, nLags, corrType, scaleMode, scaleFactor);
}

}  // namespace

using CS = ComplexShort;

#define KVO_CROSS(code, TA, TB, TY)                                                              \
  KVO_API void KVO_CALL kvo##code##CrossCorr(const TA* srcA, int lenA, const TB* srcB, int lenB, \
                                             TY* dst, int loLag, int hiLag, int scaleMode,       \
                                             int* scaleFactor) {                                 \
    cross(KVO_SITE, srcA, lenA, srcB, lenB, dst, loLag, hiLag, scaleMode, scaleFactor);          \
  }
#define KVO_AUTO(code, T)                                                                    \
  KVO_API void KVO_CALL kvo##code##AutoCorr(const T* src, int len, T* dst, int nLags,        \
                                            int corrType, int scaleMode, int* scaleFactor) { \
    autoc(KVO_SITE, src, len, dst, nLags, corrType, scaleMode, scaleFactor);                 \
  }

extern "C" {
KVO_CROSS(w, short, short, short)
KVO_CROSS(v, CS, CS, CS)
KVO_CROSS(wv, short, CS, CS)
KVO_CROSS(vw, CS, short, CS)
KVO_AUTO(w, short)
KVO_AUTO(v, CS)
}  // extern "C"
