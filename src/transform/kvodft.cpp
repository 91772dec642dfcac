// Direct DFT of any length (module kvodft).
//
// The floating-point forms fold the input into half sums and half differences and run the folded
// core of kernels/transform/dft.h; the 16-bit form converts through single precision or runs the
// 16-bit integer core on the DftIntTwdTable of the length.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "frame/check.h"
#include "kernels/transform/dft.h"
#include "kernels/vector/scale.h"
#include "kvo.h"
#include "transform/tables.h"

namespace {

constexpr const char* kModule = "kvodft";

using kvo::Checks;
using kvo::Site;
namespace tables = kvo::tables;

// The single-precision scratch slot: slot 1 of the second ComplexFloat set.
constexpr int kScratchSet = 2;
constexpr int kScratchSlot = 1;

constexpr const char* kDirection = "KVO_Forw or KVO_Inv must be as a flag";

bool oneDirection(int flags) { return ((flags & KVO_Forw) != 0) != ((flags & KVO_Inv) != 0); }

template <class C>
constexpr bool kSingle = std::is_same_v<C, ComplexFloat>;

template <class C>
C* dftTable(int length) {
  if constexpr (kSingle<C>) {
    return kvocGetDftTwdTbl(length);
  } else {
    return kvozGetDftTwdTbl(length);
  }
}

// A block of `count` elements from the library allocator, or null when the size is out of reach.
template <class T>
T* allocate(std::int64_t count) {
  const std::uint64_t bytes = static_cast<std::uint64_t>(count) * sizeof(T);
  if (count < 1 || bytes > tables::kMaxTableBytes) return nullptr;
  return static_cast<T*>(kvoMalloc(static_cast<int>(bytes)));
}

// The float and double DFT. The single-precision form keeps its scratch buffer in the thread's
// cache; the double form allocates one per call.
template <class C>
void floatDft(const Site& site, const C* src, C* dst, int length, int flags) {
  C* table = dftTable<C>(length);
  C* buff = nullptr;
  if constexpr (kSingle<C>) {
    buff = static_cast<C*>(tables::scratch(kScratchSet, kScratchSlot, length));
  }
  Checks head(site);
  head.positive(length, "length<=0").notNull(table, "TwdTbl==0");
  if constexpr (kSingle<C>) head.notNull(buff, "buff==0");
  if (!head) return;
  if (flags & KVO_Init) return;
  if (flags & KVO_Free) {
    if constexpr (kSingle<C>) tables::freeScratch(kScratchSet, kScratchSlot);
    return;
  }
  if constexpr (!kSingle<C>) {
    // No message of its own is defined for this failure; it reads like the 16-bit form's.
    buff = allocate<C>(length);
    if (buff == nullptr) site.report(KVO_StatusOutOfMemory, "No working memory");
  }
  const bool ok = Checks(site)
                      .notNull(src, "src==0")
                      .notNull(dst, "dst==0")
                      .require(oneDirection(flags), kDirection)
                      .ok();
  if (!ok || (!kSingle<C> && kvoGetErrStatus() < 0)) {
    if constexpr (!kSingle<C>) kvoFree(buff);
    return;
  }

  const std::size_t L = static_cast<std::size_t>(length);
  std::memmove(static_cast<void*>(buff), src, L * sizeof(C));
  double x0re = 0, x0im = 0;
  for (std::size_t n = 0; n < L; ++n) {
    x0re += buff[n].re;
    x0im += buff[n].im;
  }
  using R = decltype(C::re);
  for (std::size_t n = 1; 2 * n < L; ++n) {
    const C a = buff[n], b = buff[L - n];
    buff[n] = {static_cast<R>((a.re + b.re) * R(0.5)), static_cast<R>((a.im + b.im) * R(0.5))};
    buff[L - n] = {static_cast<R>((a.re - b.re) * R(0.5)), static_cast<R>((a.im - b.im) * R(0.5))};
  }
  const bool inverse = (flags & KVO_Inv) != 0;
  const double scale = inverse && !(flags & KVO_NoScale) ? 1.0 / static_cast<double>(L) : 1.0;
  kvo::kern::dftFolded(buff, dst, L, table, inverse, x0re, x0im, scale);
  if constexpr (!kSingle<C>) kvoFree(buff);
}

// ---- 16-bit DFT ------------------------------------------------------------------------------

void freeAllDftTables() {
  kvocFreeTwdTbls();
  tables::freeScratch(kScratchSet, kScratchSlot);
  kvovFreeTwdTbls();
}

// A scratch buffer; when memory is short every DFT table and buffer of the thread is released
// and the request made once more.
void* scratchWithRetry(int set, int slot, std::int64_t length) {
  if (length > 0x7fffffff) return nullptr;
  void* p = tables::scratch(set, slot, static_cast<int>(length));
  if (p != nullptr) return p;
  freeAllDftTables();
  return tables::scratch(set, slot, static_cast<int>(length));
}

void floatCore(const Site& site, const ComplexShort* src, ComplexShort* dst, int length, int flags,
               int scaleMode, int* scaleFactor) {
  auto* buf = static_cast<ComplexFloat*>(
      scratchWithRetry(kScratchSet, kScratchSlot, 2 * static_cast<std::int64_t>(length)));
  if (buf == nullptr) {
    site.report(KVO_StatusOutOfMemory, "No working memory");
    return;
  }
  const std::size_t L = static_cast<std::size_t>(length);
  for (std::size_t n = 0; n < L; ++n) buf[n] = {float(src[n].re), float(src[n].im)};
  kvocDft(buf, buf + L, length, flags);
  if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, "kvovDft float core error");
  kvo::kvoScaleFloatsToShorts(&buf[L].re, &dst->re, 2 * length, scaleMode, scaleFactor);
}

// Integer core. Every sum is shifted right by s and, for the scaled inverse, divided by L; the
// automatic mode takes the smallest factor f (shift min(f + 14, 31)) for which every output fits,
// which is the factor a pass-by-pass search starting from 0 would settle on.
void intCore(const Site& site, const ComplexShort* src, ComplexShort* dst, int length, int flags,
             int scaleMode, int* scaleFactor) {
  if (scaleMode < 0 || scaleMode > 4) return;
  auto* x = static_cast<ComplexShort*>(scratchWithRetry(0, 0, length));
  const std::int16_t* table = tables::dftIntTwd(length);  // a retry may have released it
  if (x == nullptr || table == nullptr) {
    site.report(KVO_StatusOutOfMemory, "No working memory");
    return;
  }
  const std::size_t L = static_cast<std::size_t>(length);
  std::memmove(static_cast<void*>(x), src, L * sizeof(ComplexShort));
  const bool inverse = (flags & KVO_Inv) != 0;
  const std::int32_t divisor = inverse && !(flags & KVO_NoScale) ? length : 1;
  const std::int16_t* half = inverse ? table + 4 * L : table;
  // A negative factor below -14 would ask for a left shift; the core only shifts right.
  auto shiftOf = [](int factor) { return factor < -14 ? 0 : factor > 17 ? 31 : factor + 14; };
  auto value = [&](std::int32_t acc, int s) { return (acc >> s) / divisor; };
  namespace sc = kvo::scale;

  int s = 14;
  if (scaleMode == KVO_AUTO_SCALE) {
    int factor = 0;
    kvo::kern::dftIntSums(x, half, L, [&](std::size_t, std::int32_t re, std::int32_t im) {
      while (!sc::fits(value(re, shiftOf(factor))) || !sc::fits(value(im, shiftOf(factor)))) {
        ++factor;
      }
    });
    *scaleFactor = factor;
    s = shiftOf(factor);
  } else if (scaleMode >= KVO_FIXED_SCALE) {
    s = shiftOf(scaleFactor != nullptr ? *scaleFactor : 0);
  }
  const bool saturate = scaleMode != KVO_NO_SCALE && scaleMode != KVO_FIXED_SCALE;
  kvo::kern::dftIntSums(x, half, L, [&](std::size_t k, std::int32_t re, std::int32_t im) {
    const std::int32_t vr = value(re, s), vi = value(im, s);
    dst[k] = saturate ? ComplexShort{sc::saturate(vr), sc::saturate(vi)}
                      : ComplexShort{sc::wrap(vr), sc::wrap(vi)};
  });
}

void shortDft(const Site& site, const ComplexShort* src, ComplexShort* dst, int length, int flags,
              int scaleMode, int* scaleFactor) {
  if (flags & KVO_Free) {
    freeAllDftTables();
    return;
  }
  if (!Checks(site).positive(length, "length<=0")) return;
  const bool intTable = (flags & KVO_DoIntCore) || length <= 128;
  const void* table = intTable ? static_cast<const void*>(tables::dftIntTwd(length))
                               : static_cast<const void*>(kvocGetDftTwdTbl(length));
  if (!Checks(site).notNull(table, "TwidleTbl==0")) return;
  if (flags & KVO_Init) return;
  const bool autoScale = (scaleMode & KVO_AUTO_SCALE) != 0;
  if (!Checks(site)
           .notNull(src, "src==0")
           .notNull(dst, "dst==0")
           .require(oneDirection(flags), kDirection)
           .require(!(autoScale && (scaleMode & KVO_FIXED_SCALE)),
                    "KVO_FIXED_SCALE and KVO_AUTO_SCALE")
           .require(!(autoScale && scaleFactor == nullptr), "KVO_AUTO_SCALE and ScaleFactor==NULL"))
    return;
  if (length == 1) {
    dst[0] = src[0];
    return;
  }
  const bool useInt = (flags & KVO_DoIntCore) || (!(flags & KVO_DoFloatCore) && length <= 128);
  if (useInt) {
    intCore(site, src, dst, length, flags, scaleMode, scaleFactor);
  } else {
    floatCore(site, src, dst, length, flags, scaleMode, scaleFactor);
  }
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvocDft(const ComplexFloat* src, ComplexFloat* dst, int length, int flags) {
  floatDft(KVO_SITE, src, dst, length, flags);
}
KVO_API void KVO_CALL kvozDft(const ComplexDouble* src, ComplexDouble* dst, int length, int flags) {
  floatDft(KVO_SITE, src, dst, length, flags);
}
KVO_API void KVO_CALL kvovDft(const ComplexShort* src, ComplexShort* dst, int length, int flags,
                              int scaleMode, int* scaleFactor) {
  shortDft(KVO_SITE, src, dst, length, flags, scaleMode, scaleFactor);
}

}  // extern "C"
