// The frame shared by the complex and real FFTs of both precisions: table handling, argument and
// flag checks in their fixed order, data formats and scaling. The modules kvoffts (single
// precision) and kvofftd (double precision) instantiate it under their own names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "frame/check.h"
#include "kernels/vector/arith.h"
#include "kernels/transform/fft.h"
#include "kvo.h"
#include "transform/tables.h"

namespace kvo::fft {

template <class C>
using Real = decltype(C::re);

// A pointer argument and the message that reports it missing.
struct Arg {
  const void* ptr;
  const char* message;
};

inline std::size_t points(int order) { return std::size_t{1} << order; }

// Every real value times 1/N, N = 2^order (exact for a power of two).
template <class R>
void scale(R* data, std::size_t count, int order) {
  kern::binaryScalar<kern::Mpy>(data, static_cast<R>(1.0 / static_cast<double>(points(order))),
                                data, static_cast<int>(count));
}

// The factor the small kernels apply to an inverse result: 1/N when scaled, else 1.
template <class R>
R scaleFactor(bool scaled, int order) {
  return scaled ? static_cast<R>(1.0 / static_cast<double>(points(order))) : R(1);
}

// The pointer checks in argument order, then the direction flags; false if any failed.
inline bool pointerAndDirectionChecks(Checks& checks, std::initializer_list<Arg> args, int flags) {
  for (const Arg& a : args) checks.notNull(a.ptr, a.message);
  checks.require(!((flags & KVO_Forw) && (flags & KVO_Inv)), "(flags & 1) && (flags & 2)")
      .require((flags & (KVO_Forw | KVO_Inv)) != 0, "(flags & 1)==0 && (flags & 2)==0");
  return checks.ok();
}

// A call that the frame would pass straight to the work: no Init or Free, both data pointers
// given (they are the pointers that the frame checks), exactly one direction and none of
// `otherFlags`. When the tables of its order are cached too, it skips the frame: for the smallest
// transforms the frame would cost as much as the work.
inline bool plainCall(int flags, int otherFlags, const void* src, const void* dst) {
  if (src == nullptr || dst == nullptr) return false;
  const int direction = flags & (KVO_Forw | KVO_Inv);
  return (flags & (KVO_Init | KVO_Free | otherFlags)) == 0 &&
         (direction == KVO_Forw || direction == KVO_Inv);
}
inline bool scaledInverse(int flags) { return (flags & KVO_Inv) && !(flags & KVO_NoScale); }

// The order checks every transform makes first.
inline bool orderChecks(const Site& site, int order) {
  return Checks(site).require(order >= 0, "order<0").require(order <= 31, "order>31").ok();
}

// ---- complex FFT -----------------------------------------------------------------------------

// One call of a complex transform: Free, order checks, tables, Init, pointer and flag checks.
// `body(kind, inverse, scaled, twiddles)` then does the work for order >= 0.
template <class C, class Body>
void complexFrame(const Site& site, int order, int flags, std::initializer_list<Arg> args,
                  Body body) {
  const bool pairVariant = (flags & KVO_OutBitRev) && !(flags & KVO_InBitRev);
  if (flags & KVO_Free) {
    if (order < 0 || order > 31) return;
    if (pairVariant) {
      tables::freeFftPair<C>(order);
    } else {
      tables::freeFftTriad<C>(order);
    }
    if (order > tables::kBaseOrder) tables::freeFftLarge<C>(order);
    tables::freeBitRevPair(order);
    return;
  }
  if (!orderChecks(site, order)) return;
  const Real<C>* twiddles = tables::complexFftTables<C>(order, pairVariant);
  if (twiddles == nullptr) {
    tables::freeInternal<C>();
    site.report(KVO_StatusOutOfMemory, "No working Twd memory");
    return;
  }
  if (flags & KVO_Init) return;
  Checks checks(site);
  if (!pointerAndDirectionChecks(checks, args, flags)) return;
  checks
      .require(!((flags & KVO_InBitRev) && (flags & KVO_OutBitRev)),
               "(flags & 64) && (flags & 128)")
      .require(!((flags & KVO_InBitRev) && (flags & KVO_NoBitRev)), "(flags & 64) && (flags & 32)")
      .require(!((flags & KVO_NoBitRev) && (flags & KVO_OutBitRev)),
               "(flags & 32) && (flags & 128)");
  if (!checks) return;
  const int kind = (flags & KVO_InBitRev)    ? kern::kFftInBitRev
                   : (flags & KVO_OutBitRev) ? kern::kFftOutBitRev
                                             : kern::kFftNatural;
  body(kind, (flags & KVO_Inv) != 0, scaledInverse(flags), twiddles);
}

// The work of an interleaved complex transform once the frame has passed it; src may equal dst.
template <class C>
void complexWork(const C* src, C* dst, int order, int kind, bool inverse, bool scaled,
                 const Real<C>* tw) {
  if (order == 0) {
    dst[0] = src[0];
    return;
  }
  if (kind == kern::kFftNatural && order >= kern::kFftSmallMinOrder &&
      order <= kern::kFftSmallMaxOrder) {
    kern::complexFftSmall(&src->re, &dst->re, order, inverse, scaleFactor<Real<C>>(scaled, order));
    return;
  }
  kern::complexFft(&src->re, &dst->re, order, kind, inverse, tw);
  if (scaled) scale(&dst->re, 2 * points(order), order);
}

// The entries try this first: a plain call in natural order with its tables cached is done here,
// without the frame (false otherwise, and nothing is done).
template <class C>
[[gnu::always_inline]] inline bool complexFast(const C* src, C* dst, int order, int flags) {
  if (static_cast<unsigned>(order) > tables::kBaseOrder ||
      !plainCall(flags, KVO_InBitRev | KVO_OutBitRev, src, dst))
    return false;
  const Real<C>* tw = tables::cachedComplexFft<C>(context(), order, false);
  if (tw == nullptr) return false;
  complexWork(src, dst, order, kern::kFftNatural, (flags & KVO_Inv) != 0, scaledInverse(flags), tw);
  return true;
}

// Interleaved complex data through the whole frame.
template <class C>
void complexTransform(const Site& site, const C* src, C* dst, int order, int flags,
                      std::initializer_list<Arg> args) {
  complexFrame<C>(site, order, flags, args,
                  [&](int kind, bool inverse, bool scaled, const Real<C>* tw) {
                    complexWork(src, dst, order, kind, inverse, scaled, tw);
                  });
}

// Separate real and imaginary arrays: the values are gathered into an interleaved work array.
template <class C>
void splitTransform(const Site& site, const Real<C>* reIn, const Real<C>* imIn, Real<C>* reOut,
                    Real<C>* imOut, int order, int flags, std::initializer_list<Arg> args) {
  complexFrame<C>(site, order, flags, args,
                  [&](int kind, bool inverse, bool scaled, const Real<C>* tw) {
                    const std::size_t n = points(order);
                    if (order == 0) {
                      reOut[0] = reIn[0];
                      imOut[0] = imIn[0];
                      return;
                    }
                    const std::uint64_t bytes = n * sizeof(C);
                    auto* work = bytes <= tables::kMaxTableBytes
                                     ? static_cast<C*>(kvoMalloc(static_cast<int>(bytes)))
                                     : nullptr;
                    if (work == nullptr) {
                      site.report(KVO_StatusOutOfMemory, "No working Twd memory");
                      return;
                    }
                    for (std::size_t i = 0; i < n; ++i) work[i] = {reIn[i], imIn[i]};
                    kern::complexFft(&work->re, &work->re, order, kind, inverse, tw);
                    if (scaled) scale(&work->re, 2 * n, order);
                    for (std::size_t i = 0; i < n; ++i) {
                      reOut[i] = work[i].re;
                      imOut[i] = work[i].im;
                    }
                    kvoFree(work);
                  });
}

// ---- real FFT --------------------------------------------------------------------------------

enum Format { kCcs = kern::kRealCcs, kPack = kern::kRealPack, kPerm = kern::kRealPerm };
enum FormatCheck { kNoFormat, kOutFormat, kInFormat };

struct RealTables {
  const void* twiddles;
  const void* recombination;
};

template <class C>
RealTables realTables(int order) {
  if (order < 2) return {nullptr, nullptr};
  const Real<C>* tw = tables::complexFftTables<C>(order - 1, false);
  const C* rt = tables::realFft<C>(order - 1);
  return {tw, rt};
}

// One call of a real transform; `body(format, inverse, scaled, tables)` does the work.
template <class C, class Body>
void realFrame(const Site& site, int order, int flags, std::initializer_list<Arg> args,
               FormatCheck formatCheck, Body body) {
  if (flags & KVO_Free) {
    if (order < 1 || order > 31) return;
    tables::freeFftTriad<C>(order - 1);
    if (order - 1 > tables::kBaseOrder) tables::freeFftLarge<C>(order - 1);
    tables::freeRealFft<C>(order - 1);
    tables::freeBitRevPair(order - 1);
    return;
  }
  if (!orderChecks(site, order)) return;
  RealTables t = realTables<C>(order);
  if (order >= 2 && (t.twiddles == nullptr || t.recombination == nullptr)) {
    tables::freeInternal<C>();
    t = realTables<C>(order);
    if (t.twiddles == nullptr || t.recombination == nullptr) {
      site.report(KVO_StatusOutOfMemory, "No working Twd memory");
      return;
    }
  }
  if (flags & KVO_Init) return;
  Checks checks(site);
  if (!pointerAndDirectionChecks(checks, args, flags)) return;
  Format format = kCcs;
  if (formatCheck == kOutFormat) {
    checks
        .require(!((flags & KVO_OutRCPack) && (flags & KVO_OutRCPerm)),
                 "(flags & 256) && (flags & 512)")
        .require((flags & (KVO_OutRCPack | KVO_OutRCPerm)) != 0,
                 "(flags & 256)==0 && (flags & 512)==0");
    format = (flags & KVO_OutRCPack) ? kPack : kPerm;
  } else if (formatCheck == kInFormat) {
    checks
        .require(!((flags & KVO_InRCPack) && (flags & KVO_InRCPerm)),
                 "(flags & 1024) && (flags & 4096)")
        .require((flags & (KVO_InRCPack | KVO_InRCPerm)) != 0,
                 "(flags & 1024)==0 && (flags & 4096)==0");
    format = (flags & KVO_InRCPack) ? kPack : kPerm;
  }
  if (!checks) return;
  body(format, (flags & KVO_Inv) != 0, scaledInverse(flags), t);
}

// N real values from src to the spectrum at dst (N + 2 values for CCS, N otherwise); dst may
// equal src.
template <class C>
void realToSpectrum(const Real<C>* src, Real<C>* dst, int order, Format format, bool inverse,
                    bool scaled, const RealTables& t) {
  using R = Real<C>;
  const std::size_t n = points(order);
  if (order == 0) return;
  if (order >= kern::kRealSmallMinOrder && order <= kern::kRealSmallMaxOrder) {
    kern::realFftSmall(src, dst, order, true, format, inverse, scaleFactor<R>(scaled, order));
    return;
  }
  R dc, nyquist;
  if (order == 1) {
    dc = src[0] + src[1];
    nyquist = src[0] - src[1];
  } else {
    kern::complexFft(src, dst, order - 1, kern::kFftNatural, inverse,
                     static_cast<const R*>(t.twiddles));
    dc = dst[0] + dst[1];
    nyquist = dst[0] - dst[1];
    // The packed format's one-real shift is done by the recombination's stores, not by another
    // pass over the spectrum.
    kern::realPost(dst, n / 2, &static_cast<const C*>(t.recombination)->re, inverse,
                   format == kPack);
  }
  dst[0] = dc;
  if (format == kCcs) {
    dst[1] = 0;
    dst[n] = nyquist;
    dst[n + 1] = 0;
  } else if (format == kPack) {
    dst[n - 1] = nyquist;
  } else {
    dst[1] = nyquist;
  }
  if (scaled) scale(dst, format == kCcs ? n + 2 : n, order);
}

// The spectrum at src to N real values at dst; dst may equal src.
template <class C>
void spectrumToReal(const Real<C>* src, Real<C>* dst, int order, Format format, bool inverse,
                    bool scaled, const RealTables& t) {
  using R = Real<C>;
  const std::size_t n = points(order);
  if (order == 0) return;
  if (order >= kern::kRealSmallMinOrder && order <= kern::kRealSmallMaxOrder) {
    kern::realFftSmall(src, dst, order, false, format, inverse, scaleFactor<R>(scaled, order));
    return;
  }
  const R dc = src[0];
  const R nyquist = format == kCcs ? src[n] : format == kPack ? src[n - 1] : src[1];
  if (order == 1) {
    dst[0] = dc + nyquist;
    dst[1] = dc - nyquist;
  } else {
    const R* first = src + 2;  // X[1]
    if (format == kPack) {
      if (src == dst) {
        std::memmove(dst + 2, dst + 1, (n - 2) * sizeof(R));
      } else {
        first = src + 1;
      }
    }
    kern::realPre(first, dst, n / 2, &static_cast<const C*>(t.recombination)->re, inverse);
    dst[0] = dc + nyquist;
    dst[1] = dc - nyquist;
    kern::complexFft(dst, dst, order - 1, kern::kFftNatural, inverse,
                     static_cast<const R*>(t.twiddles));
  }
  if (scaled) scale(dst, n, order);
}

// The work of a real transform once the frame has passed it: signal to spectrum (`toSpectrum`)
// or spectrum to signal.
template <class C>
void realWork(bool toSpectrum, const Real<C>* src, Real<C>* dst, int order, Format format,
              bool inverse, bool scaled, const RealTables& t) {
  if (toSpectrum) {
    realToSpectrum<C>(src, dst, order, format, inverse, scaled, t);
  } else {
    spectrumToReal<C>(src, dst, order, format, inverse, scaled, t);
  }
}

// The fast way of complexFast for real transforms: one valid format flag and cached tables.
template <class C>
[[gnu::always_inline]] inline bool realFast(bool toSpectrum, const Real<C>* src, Real<C>* dst,
                                            int order, int flags, FormatCheck check) {
  const int pack = check == kOutFormat ? KVO_OutRCPack : KVO_InRCPack;
  const int perm = check == kOutFormat ? KVO_OutRCPerm : KVO_InRCPerm;
  const int formatBits = flags & (pack | perm);
  if (static_cast<unsigned>(order) > tables::kBaseOrder + 1 || !plainCall(flags, 0, src, dst) ||
      (check != kNoFormat && formatBits != pack && formatBits != perm))
    return false;
  RealTables t{nullptr, nullptr};
  if (order >= 2) {
    const ThreadContext& c = context();
    t = {tables::cachedComplexFft<C>(c, order - 1, false),
         c.realFftTable[tables::kPrec<C>][order - 1]};
    if (t.twiddles == nullptr || t.recombination == nullptr) return false;
  }
  const Format format = check == kNoFormat ? kCcs : formatBits == pack ? kPack : kPerm;
  realWork<C>(toSpectrum, src, dst, order, format, (flags & KVO_Inv) != 0, scaledInverse(flags), t);
  return true;
}

// A real transform through the whole frame.
template <class C>
void realTransform(const Site& site, bool toSpectrum, const Real<C>* src, Real<C>* dst, int order,
                   int flags, FormatCheck check, std::initializer_list<Arg> args) {
  realFrame<C>(site, order, flags, args, check,
               [&](Format format, bool inverse, bool scaled, const RealTables& t) {
                 realWork<C>(toSpectrum, src, dst, order, format, inverse, scaled, t);
               });
}

// Two signals through the one-signal function `one` (x only for Init and Free), then a
// back-trace report naming it if the thread's status turned negative.
template <class One>
int twoSignals(const Site& site, int flags, const char* note, One one) {
  kvoSetErrStatus(KVO_StatusOk);
  one(0);
  if (!(flags & (KVO_Init | KVO_Free))) one(1);
  const int status = kvoGetErrStatus();
  if (status < 0) return site.report(KVO_StatusBacktrace, note);
  return status;
}

// Products of packed spectra: two real positions, then N/2 - 1 complex values from `first`.
template <class C>
void mpyPacked(const Site& site, const Real<C>* a, const Real<C>* b, Real<C>* d, int order,
               bool perm, std::initializer_list<Arg> args) {
  Checks checks(site);
  checks.require(order >= 0, "order<0").require(order <= 31, "order>31");
  for (const Arg& arg : args) checks.notNull(arg.ptr, arg.message);
  if (!checks) return;
  const std::size_t n = points(order);
  d[0] = a[0] * b[0];
  if (order >= 1) {
    const std::size_t last = perm ? 1 : n - 1;
    d[last] = a[last] * b[last];
  }
  if (order >= 2) {
    const std::size_t first = perm ? 2 : 1;
    kern::binary<kern::Mpy>(reinterpret_cast<const C*>(a + first),
                            reinterpret_cast<const C*>(b + first), reinterpret_cast<C*>(d + first),
                            static_cast<int>(n / 2 - 1));
  }
}

}  // namespace kvo::fft
