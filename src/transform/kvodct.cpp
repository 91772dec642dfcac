// Orthonormal DCT of any length: type II forward, type III inverse (module kvodct).
//
// Tables: a cosine table for the direct method (keyed by 4N), a secant table for the fast method
// of powers of two (keyed by log2 N), and the Q26 secants of the 16-bit fast method. Each set is
// rebuilt when a call needs another key. The sets are kept per thread rather than process-wide,
// so calls of different lengths may run in several threads at once without a lock; a call with
// flags 8 releases the calling thread's set, and like the FFT caches a set is not released when
// its thread ends.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "frame/check.h"
#include "kernels/transform/dct.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvodct";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;

constexpr int kFreeFlags = KVO_Free;
// Largest order whose 16-bit transform runs in fixed point: the guard bits and Q26 secants keep
// every intermediate value of the 64-bit recursion in range up to 64 points. Longer transforms
// take the float path, which is also the more accurate one there.
constexpr int kFixedMaxOrder = 6;
constexpr int kGuardBits = 6;  // fraction bits carried through the fixed-point recursion

struct Tables {
  double* cosine = nullptr;  // 4N values cos(j pi/(2N))
  int cosineKey = 0;         // 4N
  double* secant = nullptr;  // N - 2 values
  int secantKey = 0;         // log2 N
  std::int32_t fixedSecant[(1 << kFixedMaxOrder) - 2] = {};
  int fixedKey = 0;  // log2 N of the 16-bit table, 0 when not built
};
thread_local Tables t_tables;

void freeFloatTables() {
  kvoFree(t_tables.cosine);
  t_tables.cosine = nullptr;
  t_tables.cosineKey = 0;
  kvoFree(t_tables.secant);
  t_tables.secant = nullptr;
  t_tables.secantKey = 0;
}

double secantValue(std::size_t stage, std::size_t j) {
  return 0.5 / std::cos(static_cast<double>(2 * j + 1) * 3.14159265358979323846 /
                        static_cast<double>(2 * stage));
}

const double* cosineTable(int length) {
  const int key = 4 * length;
  if (t_tables.cosine != nullptr && t_tables.cosineKey == key) return t_tables.cosine;
  kvoFree(t_tables.cosine);
  t_tables.cosineKey = 0;
  const std::uint64_t bytes = 4 * static_cast<std::uint64_t>(length) * sizeof(double);
  t_tables.cosine =
      bytes <= 0x7fffffff ? static_cast<double*>(kvoMalloc(static_cast<int>(bytes))) : nullptr;
  if (t_tables.cosine == nullptr) return nullptr;
  const double step = 3.14159265358979323846 / (2.0 * length);
  for (int j = 0; j < key; ++j) t_tables.cosine[j] = std::cos(j * step);
  t_tables.cosineKey = key;
  return t_tables.cosine;
}

// Secants of every stage 4, 8, ..., N.
const double* secantTable(int order) {
  const std::size_t n = std::size_t{1} << order;
  if (t_tables.secant != nullptr && t_tables.secantKey == order) return t_tables.secant;
  kvoFree(t_tables.secant);
  t_tables.secantKey = 0;
  t_tables.secant = static_cast<double*>(kvoMalloc(static_cast<int>((n - 2) * sizeof(double))));
  if (t_tables.secant == nullptr) return nullptr;
  for (std::size_t stage = 4; stage <= n; stage *= 2) {
    for (std::size_t j = 0; j < stage / 2; ++j) {
      t_tables.secant[kern::dctSecantOffset(stage) + j] = secantValue(stage, j);
    }
  }
  t_tables.secantKey = order;
  return t_tables.secant;
}

const std::int32_t* fixedSecantTable(int order) {
  if (t_tables.fixedKey != order) {
    for (std::size_t stage = 4; stage <= (std::size_t{1} << order); stage *= 2) {
      for (std::size_t j = 0; j < stage / 2; ++j) {
        t_tables.fixedSecant[kern::dctSecantOffset(stage) + j] = static_cast<std::int32_t>(
            std::lround(secantValue(stage, j) * (1 << kern::kDctSecantQ)));
      }
    }
    t_tables.fixedKey = order;
  }
  return t_tables.fixedSecant;
}

// log2 of a power of two, -1 otherwise.
int powerOfTwo(int length) {
  if (length < 1 || (length & (length - 1)) != 0) return -1;
  int order = 0;
  while ((1 << order) < length) ++order;
  return order;
}

bool frameChecks(const Site& site, const void* src, const void* dst, int length, int flags) {
  return Checks(site)
      .require(src != nullptr && dst != nullptr, "\nNull pointer to data buffer\n")
      .require(length >= 1, "\nBad value of data buffer size\n")
      .require(((flags & KVO_Forw) != 0) != ((flags & KVO_Inv) != 0),
               "\nBad value of the transform flag\n")
      .ok();
}

constexpr const char* kNoMemory = "\nMemory allocation problem\n";

// The float and double transform.
template <class R>
void floatDct(const Site& site, const R* src, R* dst, int length, int flags) {
  if (flags == kFreeFlags) {
    freeFloatTables();
    return;
  }
  if (!frameChecks(site, src, dst, length, flags)) return;
  const std::size_t n = static_cast<std::size_t>(length);
  const std::uint64_t bytes = 2 * static_cast<std::uint64_t>(n) * sizeof(double);
  auto* work = bytes <= 0x7fffffff ? static_cast<R*>(kvoMalloc(static_cast<int>(bytes))) : nullptr;
  if (work == nullptr) {
    site.report(KVO_StatusOutOfMemory, kNoMemory);
    return;
  }
  const bool inverse = (flags & KVO_Inv) != 0;
  const double f0 = 1.0 / std::sqrt(static_cast<double>(n));
  const double f1 = std::sqrt(2.0 / static_cast<double>(n));
  const int order = powerOfTwo(length);
  if (order >= 1) {
    // The recursion runs in double precision for both element types: its secants grow to about
    // N/pi and the odd outputs are running sums, so single precision would lose about log2(N)/2
    // bits; in double the float result is rounded once.
    const double* sec = order >= 2 ? secantTable(order) : nullptr;
    if (order >= 2 && sec == nullptr) {
      site.report(KVO_StatusOutOfMemory, kNoMemory);
      kvoFree(work);
      return;
    }
    kern::dctFastOrtho(src, dst, reinterpret_cast<double*>(work), n, sec, inverse, f0, f1);
  } else {
    const double* cosine = cosineTable(length);
    if (cosine == nullptr) {
      site.report(KVO_StatusOutOfMemory, kNoMemory);
    } else {
      kern::dctDirect(src, dst, n, cosine, inverse, f0, f1, reinterpret_cast<double*>(work));
    }
  }
  kvoFree(work);
}

short saturate(kern::DctFixed v) {
  return static_cast<short>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

// Value times a Q30 factor, shifted right by `shift` more bits, rounded to nearest.
kern::DctFixed scaleQ30(kern::DctFixed v, kern::DctFixed factor, int shift) {
  const int total = 30 + shift;
  return (v * factor + (kern::DctFixed{1} << (total - 1))) >> total;
}

// 16-bit fast method of 4..64 points in 64-bit fixed point: inputs carry kGuardBits fraction
// bits; the orthonormal factors are applied in Q30 with one rounding at the end.
void fixedDct(const short* src, short* dst, int order, bool inverse) {
  const std::size_t n = std::size_t{1} << order;
  kern::DctFixed d[2 << kFixedMaxOrder];
  kern::DctFixed* t = d + n;
  const kern::DctFixed f0 = std::llround(std::ldexp(1.0 / std::sqrt(double(n)), 30));
  const kern::DctFixed f1 = std::llround(std::ldexp(std::sqrt(2.0 / double(n)), 30));
  if (inverse) {
    for (std::size_t k = 0; k < n; ++k) {
      d[k] = scaleQ30(kern::DctFixed{src[k]} << kGuardBits, k == 0 ? f0 : f1, 0);
    }
  } else {
    for (std::size_t k = 0; k < n; ++k) d[k] = kern::DctFixed{src[k]} << kGuardBits;
  }
  kern::dctFast(d, t, n, fixedSecantTable(order), inverse);
  for (std::size_t k = 0; k < n; ++k) {
    dst[k] = saturate(inverse ? (d[k] + (1 << (kGuardBits - 1))) >> kGuardBits
                              : scaleQ30(d[k], k == 0 ? f0 : f1, kGuardBits));
  }
}

// Through single precision: the values converted to float, transformed, and rounded back to
// 16 bits to nearest with saturation.
void viaFloat(const Site& site, const short* src, short* dst, int length, int flags) {
  const std::uint64_t bytes = 2 * static_cast<std::uint64_t>(length) * sizeof(float);
  auto* buf =
      bytes <= 0x7fffffff ? static_cast<float*>(kvoMalloc(static_cast<int>(bytes))) : nullptr;
  if (buf == nullptr) {
    site.report(KVO_StatusOutOfMemory, kNoMemory);
    return;
  }
  kvosbIntToFloat(src, buf, length, 16, 0);
  kvosDct(buf, buf + length, length, flags);
  kvosbFloatToInt(buf + length, dst, length, 16, KVO_RoundNearest | KVO_Clip);
  kvoFree(buf);
}

void shortDct(const Site& site, const short* src, short* dst, int length, int flags) {
  const int order = powerOfTwo(length);
  if (flags == kFreeFlags) {
    if (order >= 0) {
      t_tables.fixedKey = 0;
    } else {
      freeFloatTables();
    }
    return;
  }
  if (!frameChecks(site, src, dst, length, flags)) return;
  const bool inverse = (flags & KVO_Inv) != 0;
  if (order == 0) {
    dst[0] = src[0];
  } else if (order == 1) {
    // Q14: 11585 = 16384/sqrt(2), truncated.
    const std::int32_t a = src[0], b = src[1];
    const std::int32_t c = a + b, e = a - b;
    dst[0] = saturate((11585 * c + 8192) >> 14);
    dst[1] = saturate((11585 * e + 8192) >> 14);
    (void)inverse;  // the size-2 transform is its own inverse
  } else if (order >= 2 && order <= kFixedMaxOrder) {
    fixedDct(src, dst, order, inverse);
  } else {
    viaFloat(site, src, dst, length, flags);
  }
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosDct(const float* src, float* dst, int length, int flags) {
  floatDct(KVO_SITE, src, dst, length, flags);
}
KVO_API void KVO_CALL kvodDct(const double* src, double* dst, int length, int flags) {
  floatDct(KVO_SITE, src, dst, length, flags);
}
KVO_API void KVO_CALL kvowDct(const short* src, short* dst, int length, int flags) {
  shortDct(KVO_SITE, src, dst, length, flags);
}

}  // extern "C"
