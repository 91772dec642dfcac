// 16-bit complex and real FFTs with three computing cores, and products of 16-bit packed spectra
// (module kvofftw).
//
// Cores: the floating-point core converts to float and runs the float FFT of the same shape; the
// integer core widens every value v to v * 64 in 32 bits and transforms with Q14 twiddles; the
// fast core transforms the 16-bit data itself with saturating arithmetic (orders up to 10). The
// integer cores' arithmetic is in kernels/transform/fft16.h.
//
// Every check of a call is made before it returns: the pointers, the flag groups (one report per
// violated group) and the scale mode are all reported, and nothing is computed if any failed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "frame/check.h"
#include "kernels/transform/fft16.h"
#include "kernels/vector/cvt.h"
#include "kernels/vector/scale.h"
#include "kvo.h"
#include "transform/tables.h"

namespace {

constexpr const char* kModule = "kvofftw";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
namespace tables = kvo::tables;

struct Arg {
  const void* ptr;
  const char* message;
};

enum class Core { Int, Fast, Float };
enum Format { kCcs, kPack, kPerm };
enum FormatCheck { kNoFormat, kOutFormat, kInFormat };
// Real forms: one signal to its spectrum or back, two signals to their spectra or back.
enum Kind { kRealToSpec, kSpecToReal, kReal2, kCcs2 };

constexpr int kFastMaxOrder = 10;

std::size_t points(int order) { return std::size_t{1} << order; }

// The values of complex arrays (which may be null: they are checked later).
short* values(ComplexShort* p) { return reinterpret_cast<short*>(p); }
const short* values(const ComplexShort* p) { return reinterpret_cast<const short*>(p); }
float* values(ComplexFloat* p) { return reinterpret_cast<float*>(p); }

bool inverseOf(int flags) { return (flags & KVO_Inv) != 0; }
// The order added to the final shift: 1/N of the inverse direction.
int inverseShift(int order, int flags) {
  return (flags & KVO_Inv) && !(flags & KVO_NoScale) ? order : 0;
}
// Shifts past +-128 act as the largest the kernels make, so the factor is limited to that range
// and the sums with the other shifts cannot overflow.
int fixedFactor(int mode, const int* factor) {
  return (mode & KVO_FIXED_SCALE) && factor != nullptr ? std::clamp(*factor, -128, 128) : 0;
}

// ---- the frame -------------------------------------------------------------------------------

// The pointer, flag and scale checks; every violated group is reported.
bool argumentChecks(const Site& site, std::initializer_list<Arg> args, int flags, bool bitOrder,
                    FormatCheck format, int mode, const int* factor) {
  Checks c(site, false);
  for (const Arg& a : args) c.notNull(a.ptr, a.message);
  if ((flags & KVO_Forw) && (flags & KVO_Inv)) {
    c.require(false, "KVO_Forw and KVO_Inv");
  } else if (!(flags & (KVO_Forw | KVO_Inv))) {
    c.require(false, "no KVO_Forw or KVO_Inv");
  }
  if (bitOrder) {
    if ((flags & KVO_InBitRev) && (flags & KVO_OutBitRev)) {
      c.require(false, "KVO_InBitRev and KVO_OutBitRev");
    } else if ((flags & KVO_InBitRev) && (flags & KVO_NoBitRev)) {
      c.require(false, "KVO_InBitRev and KVO_NoBitRev");
    } else if ((flags & KVO_OutBitRev) && (flags & KVO_NoBitRev)) {
      c.require(false, "KVO_OutBitRev and KVO_NoBitRev");
    }
  }
  if (format == kInFormat) {
    if ((flags & KVO_InRCPack) && (flags & KVO_InRCPerm)) {
      c.require(false, "KVO_InRCPack and KVO_InRCPerm");
    } else if (!(flags & (KVO_InRCPack | KVO_InRCPerm))) {
      c.require(false, "no KVO_InRCPack or KVO_InRCPerm");
    }
  } else if (format == kOutFormat) {
    if ((flags & KVO_OutRCPack) && (flags & KVO_OutRCPerm)) {
      c.require(false, "KVO_OutRCPack and KVO_OutRCPerm");
    } else if (!(flags & (KVO_OutRCPack | KVO_OutRCPerm))) {
      c.require(false, "no KVO_OutRCPack or KVO_OutRCPerm");
    }
  }
  c.require(!((mode & KVO_FIXED_SCALE) && (mode & KVO_AUTO_SCALE)),
            "KVO_FIXED_SCALE and KVO_AUTO_SCALE");
  c.require(!((mode & KVO_AUTO_SCALE) && factor == nullptr),
            "KVO_AUTO_SCALE and scaleFactor==NULL");
  return c.ok();
}

// Order and core-flag checks, then (unless KVO_Init) the argument checks. False: return.
bool prologue(const Site& site, int order, int flags, std::initializer_list<Arg> args,
              bool bitOrder, FormatCheck format, int mode, const int* factor) {
  if (!Checks(site).require(order >= 0, "order<0").require(order <= 31, "order>31")) return false;
  if (kvoGetErrStatus() < 0) return false;
  if ((flags & KVO_DoIntCore) && (flags & KVO_DoFloatCore)) {
    site.report(KVO_StatusBadArgument, "KVO_DoIntCore and KVO_DoFloatCore");
    return false;
  }
  return (flags & KVO_Init) || argumentChecks(site, args, flags, bitOrder, format, mode, factor);
}

Core chooseCore(int order, int flags) {
  if (!(flags & KVO_DoIntCore) && ((flags & KVO_DoFloatCore) || order > 7)) return Core::Float;
  return (flags & KVO_DoFastMMX) && order <= kFastMaxOrder ? Core::Fast : Core::Int;
}

// Everything a failed allocation may be waiting for: the internal transform tables of every
// precision and the scratch buffers.
void freeWorkingMemory() {
  tables::freeInternal<ComplexFloat>();
  tables::freeInternal<ComplexDouble>();
  for (int order = 0; order < 32; ++order) tables::freeIntFftTwd(order);
  for (int set = 0; set < 3; ++set) tables::freeScratchSet(set);
}

// `get()` obtains the buffers and tables of a core; a second try follows a release of the
// thread's working memory, and a second failure is reported.
template <class Get>
bool obtain(const Site& site, Get get) {
  if (get()) return true;
  freeWorkingMemory();
  if (get()) return true;
  site.report(KVO_StatusOutOfMemory, "No working memory");
  return false;
}

// Sizes in bytes are formed in 64 bits, so that no 32-bit size_t wraps for large orders.
std::uint64_t wide(std::size_t n) { return n; }

// A scratch buffer of `bytes` from a ComplexFloat set (1 or 2), or 16-bit units for set 0.
void* scratchBytes(int set, int slot, std::uint64_t bytes) {
  const std::uint64_t unit = set == 0 ? 4 : sizeof(ComplexFloat);
  const std::uint64_t units = (bytes + unit - 1) / unit;
  if (units > 0x0fffffff) return nullptr;
  return tables::scratch(set, slot, static_cast<int>(units));
}

void freeOrderTables(int order) {
  tables::freeIntFftTwd(order);
  tables::freeBitRevPair(order);
}

void freeAllScratch() {
  for (int set = 0; set < 3; ++set) tables::freeScratchSet(set);
}

// "out <fn> <what>"
struct Note {
  char text[64];
  Note(const char* fn, const char* what) { std::snprintf(text, sizeof text, "out %s%s", fn, what); }
};

// The twiddles of a core for transforms of `order`: the IntFftTwdTable of the order for the
// integer core, the built-in table with its stride for the fast core; and the same twiddles
// arranged by stage for the transform kernel.
struct Twiddles {
  const std::int16_t* table = nullptr;
  std::size_t stride = 1;
  const std::uint32_t* stages = nullptr;
};

Twiddles twiddlesOf(Core core, int order) {
  if (core == Core::Fast) {
    return {kern::fft16FastTable(), points(kFastMaxOrder - order), kern::fft16FastStages()};
  }
  const std::int16_t* table = tables::intFftTwd(order);
  return {table, 1, table != nullptr ? tables::intFftStages(table, order) : nullptr};
}

// ---- float core conversions ------------------------------------------------------------------

void shortsToFloats(const short* src, float* dst, std::size_t n) {
  kern::intToFloat(src, dst, static_cast<int>(n), 1.0f);
}

// Modes 0 and 1 round to nearest and clip (the 16-bit float-to-integer conversion with flags
// KVO_RoundNearest | KVO_Clip); the others scale by mode and factor.
void floatsToShorts(const float* src, short* dst, std::size_t n, int mode, int* factor) {
  if (mode == KVO_NO_SCALE || mode == KVO_SATURATE) {
    const kern::IntTarget target{16, -32768.0, 32767.0, 1.0, true};
    kern::floatToInt(src, dst, static_cast<int>(n), kern::Round::Nearest, target);
  } else {
    kvo::kvoScaleFloatsToShorts(src, dst, static_cast<int>(n), mode, factor);
  }
}

// ---- integer cores ---------------------------------------------------------------------------

// 16-bit values into the core's element type: v * 64 for the integer core.
template <class T>
void widen(const short* src, T* dst, std::size_t n) {
  if constexpr (sizeof(T) == 4) {
    kern::fft16Widen(src, dst, n);
  } else {
    std::memmove(dst, src, n * sizeof(short));
  }
}

// The final shift and the conversion to 16 bits of `count` core values into dst.
void finish(std::int32_t* v, std::size_t count, short* dst, int order, int flags, int mode,
            int* factor) {
  const int s = 6 + inverseShift(order, flags) + fixedFactor(mode, factor);
  const bool autoScale = (mode & KVO_AUTO_SCALE) != 0;
  kern::fft16FinishWide(v, count, s, autoScale, dst);
  if (autoScale) kvo::kvoScaleIntsToShorts(v, dst, static_cast<int>(count), 4, factor);
}
void finish(std::int16_t* v, std::size_t count, short* dst, int order, int flags, int mode,
            int* factor) {
  kern::fft16FinishFast(v, count, fixedFactor(mode, factor) + inverseShift(order, flags));
  if (mode & KVO_AUTO_SCALE) *factor = 0;
  if (v != dst) std::memcpy(dst, v, count * sizeof(short));
}

// One complex transform of z (N = 2^order values in natural order) into `out` in natural order;
// z is left undefined.
template <class T>
void complexNatural(T* z, T* out, int order, const Twiddles& tw, bool inverse) {
  kern::fft16Natural(z, out, order, tw.stages, inverse);
}

// ---- complex forms ---------------------------------------------------------------------------

// The fast core transforms a copy of the caller's data (put into natural order on the way) back
// into the caller's array; the integer core widens into `work` and transforms into `out`, from
// where the final shift writes the caller's array. Each reordering moves the data once between
// two buffers.
void complexCore(std::int16_t* work, short*, ComplexShort* samps, int order, int flags, int mode,
                 int* factor, const Twiddles& tw) {
  const std::size_t n = points(order);
  short* s = values(samps);
  if (flags & KVO_InBitRev) {
    kern::fft16Permute(s, work, order);
  } else {
    std::memcpy(work, s, 2 * n * sizeof(short));
  }
  if (flags & KVO_OutBitRev) {
    kern::fft16Core(work, order, tw.stages, inverseOf(flags));
    std::memcpy(s, work, 2 * n * sizeof(short));
  } else {
    complexNatural(work, s, order, tw, inverseOf(flags));
  }
  finish(s, 2 * n, s, order, flags, mode, factor);
}

void complexCore(std::int32_t* work, std::int32_t* out, ComplexShort* samps, int order, int flags,
                 int mode, int* factor, const Twiddles& tw) {
  const std::size_t n = points(order);
  short* s = values(samps);
  if (flags & KVO_InBitRev) {
    auto* tmp = reinterpret_cast<short*>(out);  // free until the transform writes it
    kern::fft16Permute(s, tmp, order);
    widen(tmp, work, 2 * n);
  } else {
    widen(s, work, 2 * n);
  }
  if (flags & KVO_OutBitRev) {
    kern::fft16Core(work, order, tw.stages, inverseOf(flags));
    finish(work, 2 * n, s, order, flags, mode, factor);
  } else {
    complexNatural(work, out, order, tw, inverseOf(flags));
    finish(out, 2 * n, s, order, flags, mode, factor);
  }
}

void complexFft(const Site& site, ComplexShort* samps, int order, int flags, int mode,
                int* factor) {
  if (flags & KVO_Free) {
    kvocFft(nullptr, order, flags);
    freeOrderTables(order);
    freeAllScratch();
    return;
  }
  if (!prologue(site, order, flags, {{samps, "samps==0"}}, true, kNoFormat, mode, factor)) return;
  if (order == 0) return;
  const Core core = chooseCore(order, flags);
  const std::size_t n = points(order);
  if (core == Core::Float) {
    ComplexFloat* buf = nullptr;
    if (!obtain(site, [&] {
          buf = static_cast<ComplexFloat*>(scratchBytes(2, 1, wide(n) * sizeof(ComplexFloat)));
          return buf != nullptr;
        })) {
      return;
    }
    if (flags & KVO_Init) {
      kvocFft(buf, order, flags);
      if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, "out kvocFft KVO_Init");
      return;
    }
    shortsToFloats(values(samps), values(buf), 2 * n);
    kvocFft(buf, order, flags);
    if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, "out kvocFft calc. FFT");
    floatsToShorts(values(buf), values(samps), 2 * n, mode, factor);
    return;
  }
  Twiddles tw;
  void* work = nullptr;
  // Core values, then (integer core) the transform's values in natural order.
  const std::uint64_t elem = core == Core::Fast ? sizeof(ComplexShort) : 2 * sizeof(ComplexInt);
  if (!obtain(site, [&] {
        tw = twiddlesOf(core, order);
        work = scratchBytes(1, 1, wide(n) * elem);
        return tw.table != nullptr && work != nullptr;
      })) {
    return;
  }
  if (flags & KVO_Init) return;
  if (core == Core::Fast) {
    complexCore(static_cast<std::int16_t*>(work), nullptr, samps, order, flags, mode, factor, tw);
  } else {
    auto* w = static_cast<std::int32_t*>(work);
    complexCore(w, w + 2 * n, samps, order, flags, mode, factor, tw);
  }
}

// ---- real forms ------------------------------------------------------------------------------

// A real-form call: the kind, its spectrum format, one or two inputs and outputs.
struct RealCall {
  Kind kind;
  Format format;
  const short* in[2];
  short* out[2];
  int order, flags, mode;
  int* factor;

  bool two() const { return kind == kReal2 || kind == kCcs2; }
  int signals() const { return two() ? 2 : 1; }
  bool toSpectrum() const { return kind == kRealToSpec || kind == kReal2; }
  std::size_t n() const { return points(order); }
  std::size_t spectrumCount() const { return format == kCcs ? n() + 2 : n(); }
  std::size_t inCount() const { return toSpectrum() ? n() : spectrumCount(); }
  std::size_t outCount() const { return toSpectrum() ? spectrumCount() : n(); }
};

// A spectrum in `format` into CCS layout (N/2 + 1 complex values) of the core's type.
template <class T>
void loadSpectrum(const short* src, Format format, std::size_t n, T* ccs) {
  if (format == kCcs) {
    widen(src, ccs, n + 2);
    return;
  }
  widen(src, ccs, 1);
  ccs[1] = 0;
  widen(src + (format == kPack ? 1 : 2), ccs + 2, n - 2);
  widen(src + (format == kPack ? n - 1 : 1), ccs + n, 1);
  ccs[n + 1] = 0;
}

// A 16-bit CCS spectrum into `format`.
void storeSpectrum(const short* ccs, Format format, std::size_t n, short* dst) {
  if (format == kCcs) {
    std::memmove(dst, ccs, (n + 2) * sizeof(short));
    return;
  }
  const short dc = ccs[0], nyquist = ccs[n];
  std::memmove(dst + (format == kPack ? 1 : 2), ccs + 2, (n - 2) * sizeof(short));
  dst[0] = dc;
  dst[format == kPack ? n - 1 : 1] = nyquist;
}

// Order 1 in 32 bits: (x0 + x1, x0 - x1) of each signal, halved for the scaled inverse, through
// the integer-to-16-bit conversion with one factor for all values.
void realOrderOne(const RealCall& c) {
  std::int32_t v[8] = {};
  const int half = inverseShift(1, c.flags);
  const std::size_t per = c.toSpectrum() ? 4 : 2;
  for (int i = 0; i < c.signals(); ++i) {
    const short* in = c.in[i];
    const std::int32_t a = in[0];
    const std::int32_t b = c.toSpectrum() ? in[1] : in[c.format == kCcs ? 2 : 1];
    v[per * i] = (a + b) >> half;
    v[per * i + (c.toSpectrum() ? 2 : 1)] = (a - b) >> half;
  }
  short s[8];
  kvo::kvoScaleIntsToShorts(v, s, static_cast<int>(per * c.signals()), c.mode, c.factor);
  for (int i = 0; i < c.signals(); ++i) {
    if (c.toSpectrum()) {
      storeSpectrum(s + per * i, c.format, 2, c.out[i]);
    } else {
      std::memcpy(c.out[i], s + per * i, 2 * sizeof(short));
    }
  }
}

// Integer and fast cores. `work` holds the core values, `z` the complex transform's values before
// they are put into natural order, `tmp` the 16-bit joined result.
template <class T>
void realCore(const RealCall& c, T* work, T* z, short* tmp, const Twiddles& half,
              const Twiddles& full) {
  const std::size_t n = c.n(), m = n / 2;
  const bool inverse = inverseOf(c.flags);
  switch (c.kind) {
    case kRealToSpec:
      widen(c.in[0], z, n);
      complexNatural(z, work, c.order - 1, half, inverse);
      kern::fft16Post(work, m, full.table, full.stride, full.stages, inverse);
      if constexpr (sizeof(T) == 2) {  // the fast core's final shift stays in place
        finish(work, n + 2, work, c.order, c.flags, c.mode, c.factor);
        storeSpectrum(work, c.format, n, c.out[0]);
      } else {
        finish(work, n + 2, tmp, c.order, c.flags, c.mode, c.factor);
        storeSpectrum(tmp, c.format, n, c.out[0]);
      }
      return;
    case kSpecToReal:
      loadSpectrum(c.in[0], c.format, n, work);
      kern::fft16Pre(work, m, full.table, full.stride, inverse);
      complexNatural(work, z, c.order - 1, half, inverse);
      finish(z, n, c.out[0], c.order, c.flags, c.mode, c.factor);
      return;
    case kReal2: {
      T* x = work + 2 * n;
      T* y = x + n + 2;
      constexpr int kScale = sizeof(T) == 4 ? 64 : 1;  // the integer core's input scaling
      for (std::size_t i = 0; i < n; ++i) {
        z[2 * i] = static_cast<T>(c.in[0][i] * kScale);
        z[2 * i + 1] = static_cast<T>(c.in[1][i] * kScale);
      }
      complexNatural(z, work, c.order, full, inverse);
      kern::fft16Split(work, x, y, n);
      finish(x, 2 * n + 4, tmp, c.order, c.flags, c.mode, c.factor);
      std::memcpy(c.out[0], tmp, (n + 2) * sizeof(short));
      std::memcpy(c.out[1], tmp + n + 2, (n + 2) * sizeof(short));
      return;
    }
    case kCcs2: {
      T* x = work + 2 * n;
      T* y = x + n + 2;
      widen(c.in[0], x, n + 2);
      widen(c.in[1], y, n + 2);
      kern::fft16Merge(x, y, z, n);
      complexNatural(z, work, c.order, full, inverse);
      finish(work, 2 * n, tmp, c.order, c.flags, c.mode, c.factor);
      for (std::size_t i = 0; i < n; ++i) {
        c.out[0][i] = tmp[2 * i];
        c.out[1][i] = tmp[2 * i + 1];
      }
      return;
    }
  }
}

// The float core: inputs converted into float buffers, the float function `run(flags, in, out)`
// of the same shape (in-place functions get out == in), outputs converted with one factor.
template <class Run>
void realFloatCore(const Site& site, const RealCall& c, float* buf, bool inPlace,
                   const char* floatName, Run run) {
  const std::size_t stride = c.inCount() > c.outCount() ? c.inCount() : c.outCount();
  float* in[2] = {buf, buf + stride};
  float* out[2] = {in[0], in[1]};
  if (!inPlace) {
    out[0] = buf + 2 * stride;
    out[1] = out[0] + stride;
  }
  short* tmp = reinterpret_cast<short*>(buf + 4 * stride);
  if (c.flags & KVO_Init) {
    run(c.flags, in, out);
    if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, Note(floatName, " KVO_Init").text);
    return;
  }
  for (int i = 0; i < c.signals(); ++i) shortsToFloats(c.in[i], in[i], c.inCount());
  run(c.flags, in, out);
  if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, Note(floatName, " calc. FFT").text);
  const std::size_t count = c.outCount();
  if (c.two()) std::memmove(out[0] + count, out[1], count * sizeof(float));
  floatsToShorts(out[0], tmp, count * c.signals(), c.mode, c.factor);
  for (int i = 0; i < c.signals(); ++i) {
    std::memcpy(c.out[i], tmp + count * i, count * sizeof(short));
  }
}

template <class Run>
void realForm(const Site& site, RealCall c, FormatCheck formatCheck,
              std::initializer_list<Arg> args, bool floatInPlace, const char* floatName, Run run) {
  float* none[2] = {nullptr, nullptr};
  if (c.flags & KVO_Free) {
    run(c.flags, none, none);
    freeOrderTables(c.order);
    freeOrderTables(c.order - 1);
    freeAllScratch();
    return;
  }
  if (!prologue(site, c.order, c.flags, args, false, formatCheck, c.mode, c.factor)) return;
  if (formatCheck == kOutFormat) c.format = (c.flags & KVO_OutRCPack) ? kPack : kPerm;
  if (formatCheck == kInFormat) c.format = (c.flags & KVO_InRCPack) ? kPack : kPerm;
  if (c.order == 0) return;
  if (c.order == 1) {
    if (!(c.flags & KVO_Init)) realOrderOne(c);
    return;
  }
  const Core core = chooseCore(c.order, c.flags);
  const std::size_t n = c.n();
  if (core == Core::Float) {
    const std::size_t stride = n + 2;
    float* buf = nullptr;
    if (!obtain(site, [&] {
          buf = static_cast<float*>(scratchBytes(2, 1, 5 * wide(stride) * sizeof(float)));
          return buf != nullptr;
        })) {
      return;
    }
    realFloatCore(site, c, buf, floatInPlace, floatName, run);
    return;
  }
  const std::size_t elem = core == Core::Fast ? sizeof(short) : sizeof(std::int32_t);
  // Core values: N complex plus two CCS spectra for the two-signal forms, N/2 + 1 complex
  // otherwise; the complex transform's N or N/2 values; then the 16-bit joined result.
  const std::uint64_t values = c.two() ? 4 * wide(n) + 4 : wide(n) + 2;
  const std::uint64_t zValues = c.two() ? 2 * wide(n) : wide(n);
  Twiddles half, full;
  void* work = nullptr;
  if (!obtain(site, [&] {
        full = twiddlesOf(core, c.order);
        half = twiddlesOf(core, c.order - 1);
        work = scratchBytes(1, 1, (values + zValues) * elem + (2 * wide(n) + 4) * sizeof(short));
        return full.table != nullptr && half.table != nullptr && work != nullptr;
      })) {
    return;
  }
  if (c.flags & KVO_Init) return;
  const auto zAt = static_cast<std::size_t>(values),
             tmpAt = static_cast<std::size_t>(values + zValues);
  if (core == Core::Fast) {
    auto* w = static_cast<std::int16_t*>(work);
    realCore(c, w, w + zAt, w + tmpAt, half, full);
  } else {
    auto* w = static_cast<std::int32_t*>(work);
    realCore(c, w, w + zAt, reinterpret_cast<short*>(w + tmpAt), half, full);
  }
}

RealCall call(Kind kind, const short* in0, const short* in1, short* out0, short* out1, int order,
              int flags, int mode, int* factor) {
  return {kind, kCcs, {in0, in1}, {out0, out1}, order, flags, mode, factor};
}

// ---- products of packed spectra --------------------------------------------------------------

// p brought to 16 bits by the product rules of the 16-bit spectra.
short scaleProduct(std::int64_t p, int mode, int f) {
  namespace sc = kvo::scale;
  const bool saturate = (mode & KVO_SATURATE) != 0;
  if (mode & KVO_FIXED_SCALE) {
    if (f > 0) {
      // Rounded halving, then the rest of the shift.
      p = ((p >> 1) + (p & 1)) >> (f - 1 < 62 ? f - 1 : 62);
    } else if (f < 0) {
      p *= std::int64_t{1} << (f > -31 ? -f : 31);
    }
  }
  return saturate ? sc::saturate(p) : sc::wrap(p);
}

void mpyPacked(const Site& site, const short* a, const short* b, short* d, int order, bool perm,
               int mode, int* factor, std::initializer_list<Arg> args) {
  Checks checks(site);
  checks.require(order >= 0, "order<0").require(order <= 31, "order>31");
  for (const Arg& arg : args) checks.notNull(arg.ptr, arg.message);
  checks.require(!(mode == KVO_AUTO_SCALE && factor == nullptr), "scaleFactor==0");
  if (!checks) return;
  const std::size_t n = points(order);
  const std::size_t last = perm ? 1 : n - 1, first = perm ? 2 : 1;
  const std::size_t pairs = order >= 2 ? n / 2 - 1 : 0;
  // Visits every exact product with its position, in the order of the positions' first reads.
  auto each = [&](auto visit) {
    visit(0, std::int64_t{a[0]} * b[0]);
    if (order >= 1) visit(last, std::int64_t{a[last]} * b[last]);
    for (std::size_t k = 0; k < pairs; ++k) {
      const std::size_t i = first + 2 * k;
      const std::int64_t ar = a[i], ai = a[i + 1], br = b[i], bi = b[i + 1];
      const std::int64_t re = ar * br - ai * bi, im = ar * bi + ai * br;
      visit(i, re);
      visit(i + 1, im);
    }
  };
  if (mode == KVO_AUTO_SCALE) {
    std::int64_t lo = 0, hi = 0;
    each([&](std::size_t, std::int64_t p) {
      lo = p < lo ? p : lo;
      hi = p > hi ? p : hi;
    });
    const int s = kvo::scale::autoFactor(lo, hi);
    *factor = s;
    // Each pair is read completely before its two results are stored (dst may be an input).
    std::int64_t pending = 0;
    std::size_t at = SIZE_MAX;
    each([&](std::size_t i, std::int64_t p) {
      if (at != SIZE_MAX) d[at] = kvo::scale::wrap(pending >> s);
      at = i;
      pending = p;
    });
    d[at] = kvo::scale::wrap(pending >> s);
    return;
  }
  const int f = mode & KVO_FIXED_SCALE ? (factor ? *factor : 0) : 0;
  std::int64_t pending = 0;
  std::size_t at = SIZE_MAX;
  each([&](std::size_t i, std::int64_t p) {
    if (at != SIZE_MAX) d[at] = scaleProduct(pending, mode, f);
    at = i;
    pending = p;
  });
  d[at] = scaleProduct(pending, mode, f);
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvovFft(ComplexShort* samps, int order, int flags, int scaleMode,
                              int* scaleFactor) {
  complexFft(KVO_SITE, samps, order, flags, scaleMode, scaleFactor);
}

KVO_API void KVO_CALL kvovFftNip(const ComplexShort* inSamps, ComplexShort* outSamps, int order,
                                 int flags, int scaleMode, int* scaleFactor) {
  const Site site = KVO_SITE;
  if (flags & KVO_Free) {
    kvovFft(nullptr, order, flags, scaleMode, scaleFactor);
    return;
  }
  if (!(flags & KVO_Init)) {
    if (!prologue(site, order, flags, {{inSamps, "inSamps==0"}, {outSamps, "outSamps==0"}}, true,
                  kNoFormat, scaleMode, scaleFactor)) {
      return;
    }
    if (order == 0) {
      outSamps[0] = inSamps[0];
      return;
    }
    std::memmove(outSamps, inSamps, points(order) * sizeof(ComplexShort));
  }
  kvovFft(outSamps, order, flags, scaleMode, scaleFactor);
  if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, "out kvovFft");
}

}  // extern "C"

namespace {

// The separate-array forms: interleaved into a 16-bit complex scratch buffer, transformed by
// kvovFft, separated again.
void splitFft(const Site& site, const short* reIn, const short* imIn, short* reOut, short* imOut,
              int order, int flags, int mode, int* factor, std::initializer_list<Arg> args) {
  if (flags & KVO_Free) {
    kvovFft(nullptr, order, flags, mode, factor);
    return;
  }
  if (!prologue(site, order, flags, args, true, kNoFormat, mode, factor)) return;
  if (order == 0) {
    if (!(flags & KVO_Init)) {
      reOut[0] = reIn[0];
      imOut[0] = imIn[0];
    }
    return;
  }
  const std::size_t n = points(order);
  ComplexShort* buf = nullptr;
  if (!obtain(site, [&] {
        buf = static_cast<ComplexShort*>(scratchBytes(0, 1, wide(n) * sizeof(ComplexShort)));
        return buf != nullptr;
      })) {
    return;
  }
  if (flags & KVO_Init) {
    kvovFft(buf, order, flags, mode, factor);
    if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, "out kvovFft KVO_Init");
    return;
  }
  for (std::size_t i = 0; i < n; ++i) buf[i] = {reIn[i], imIn[i]};
  kvovFft(buf, order, flags, mode, factor);
  if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, "out kvovFft calc. FFT");
  for (std::size_t i = 0; i < n; ++i) {
    reOut[i] = buf[i].re;
    imOut[i] = buf[i].im;
  }
}

ComplexFloat* cf(float* p) { return reinterpret_cast<ComplexFloat*>(p); }

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvovrFft(short* reSamps, short* imSamps, int order, int flags, int scaleMode,
                               int* scaleFactor) {
  splitFft(KVO_SITE, reSamps, imSamps, reSamps, imSamps, order, flags, scaleMode, scaleFactor,
           {{reSamps, "reSamps==0"}, {imSamps, "imSamps==0"}});
}

KVO_API void KVO_CALL kvovrFftNip(const short* reInSamps, const short* imInSamps, short* reOutSamps,
                                  short* imOutSamps, int order, int flags, int scaleMode,
                                  int* scaleFactor) {
  splitFft(KVO_SITE, reInSamps, imInSamps, reOutSamps, imOutSamps, order, flags, scaleMode,
           scaleFactor,
           {{reInSamps, "reInSamps==0"},
            {imInSamps, "imInSamps==0"},
            {reOutSamps, "reOutSamps==0"},
            {imOutSamps, "imOutSamps==0"}});
}

KVO_API void KVO_CALL kvowRealFft(short* samps, int order, int flags, int scaleMode,
                                  int* scaleFactor) {
  realForm(KVO_SITE,
           call(kRealToSpec, samps, nullptr, samps, nullptr, order, flags, scaleMode, scaleFactor),
           kNoFormat, {{samps, "samps==0"}}, true, "kvosRealFft",
           [&](int f, float** in, float**) { kvosRealFft(in[0], order, f); });
}

KVO_API void KVO_CALL kvowRealFftNip(const short* inSamps, ComplexShort* outSamps, int order,
                                     int flags, int scaleMode, int* scaleFactor) {
  realForm(KVO_SITE,
           call(kRealToSpec, inSamps, nullptr, values(outSamps), nullptr, order, flags, scaleMode,
                scaleFactor),
           kNoFormat, {{inSamps, "inSamps==0"}, {outSamps, "outSamps==0"}}, false, "kvosRealFftNip",
           [&](int f, float** in, float** out) { kvosRealFftNip(in[0], cf(out[0]), order, f); });
}

KVO_API void KVO_CALL kvowCcsFft(short* samps, int order, int flags, int scaleMode,
                                 int* scaleFactor) {
  realForm(KVO_SITE,
           call(kSpecToReal, samps, nullptr, samps, nullptr, order, flags, scaleMode, scaleFactor),
           kNoFormat, {{samps, "samps==0"}}, true, "kvosCcsFft",
           [&](int f, float** in, float**) { kvosCcsFft(in[0], order, f); });
}

KVO_API void KVO_CALL kvowCcsFftNip(const ComplexShort* inSamps, short* outSamps, int order,
                                    int flags, int scaleMode, int* scaleFactor) {
  realForm(KVO_SITE,
           call(kSpecToReal, values(inSamps), nullptr, outSamps, nullptr, order, flags, scaleMode,
                scaleFactor),
           kNoFormat, {{inSamps, "inSamps==0"}, {outSamps, "outSamps==0"}}, false, "kvosCcsFftNip",
           [&](int f, float** in, float** out) { kvosCcsFftNip(cf(in[0]), out[0], order, f); });
}

KVO_API void KVO_CALL kvowRealFftl(short* samps, int order, int flags, int scaleMode,
                                   int* scaleFactor) {
  realForm(KVO_SITE,
           call(kRealToSpec, samps, nullptr, samps, nullptr, order, flags, scaleMode, scaleFactor),
           kOutFormat, {{samps, "samps==0"}}, true, "kvosRealFftl",
           [&](int f, float** in, float**) { kvosRealFftl(in[0], order, f); });
}

KVO_API void KVO_CALL kvowCcsFftl(short* samps, int order, int flags, int scaleMode,
                                  int* scaleFactor) {
  realForm(KVO_SITE,
           call(kSpecToReal, samps, nullptr, samps, nullptr, order, flags, scaleMode, scaleFactor),
           kInFormat, {{samps, "samps==0"}}, true, "kvosCcsFftl",
           [&](int f, float** in, float**) { kvosCcsFftl(in[0], order, f); });
}

KVO_API void KVO_CALL kvowRealFftlNip(const short* inSamps, short* outSamps, int order, int flags,
                                      int scaleMode, int* scaleFactor) {
  realForm(
      KVO_SITE,
      call(kRealToSpec, inSamps, nullptr, outSamps, nullptr, order, flags, scaleMode, scaleFactor),
      kOutFormat, {{inSamps, "inSamps==0"}, {outSamps, "outSamps==0"}}, false, "kvosRealFftlNip",
      [&](int f, float** in, float** out) { kvosRealFftlNip(in[0], out[0], order, f); });
}

KVO_API void KVO_CALL kvowCcsFftlNip(const short* inSamps, short* outSamps, int order, int flags,
                                     int scaleMode, int* scaleFactor) {
  realForm(
      KVO_SITE,
      call(kSpecToReal, inSamps, nullptr, outSamps, nullptr, order, flags, scaleMode, scaleFactor),
      kInFormat, {{inSamps, "inSamps==0"}, {outSamps, "outSamps==0"}}, false, "kvosCcsFftlNip",
      [&](int f, float** in, float** out) { kvosCcsFftlNip(in[0], out[0], order, f); });
}

KVO_API void KVO_CALL kvowReal2Fft(short* xSamps, short* ySamps, int order, int flags,
                                   int scaleMode, int* scaleFactor) {
  realForm(KVO_SITE,
           call(kReal2, xSamps, ySamps, xSamps, ySamps, order, flags, scaleMode, scaleFactor),
           kNoFormat, {{xSamps, "xSamps==0"}, {ySamps, "ySamps==0"}}, true, "kvosReal2Fft",
           [&](int f, float** in, float**) { kvosReal2Fft(in[0], in[1], order, f); });
}

KVO_API void KVO_CALL kvowCcs2Fft(short* xSamps, short* ySamps, int order, int flags, int scaleMode,
                                  int* scaleFactor) {
  realForm(KVO_SITE,
           call(kCcs2, xSamps, ySamps, xSamps, ySamps, order, flags, scaleMode, scaleFactor),
           kNoFormat, {{xSamps, "xSamps==0"}, {ySamps, "ySamps==0"}}, true, "kvosCcs2Fft",
           [&](int f, float** in, float**) { kvosCcs2Fft(in[0], in[1], order, f); });
}

KVO_API void KVO_CALL kvowReal2FftNip(const short* xInSamps, ComplexShort* xOutSamps,
                                      const short* yInSamps, ComplexShort* yOutSamps, int order,
                                      int flags, int scaleMode, int* scaleFactor) {
  realForm(KVO_SITE,
           call(kReal2, xInSamps, yInSamps, values(xOutSamps), values(yOutSamps), order, flags,
                scaleMode, scaleFactor),
           kNoFormat,
           {{xInSamps, "xInSamps==0"},
            {yInSamps, "yInSamps==0"},
            {xOutSamps, "xOutSamps==0"},
            {yOutSamps, "yOutSamps==0"}},
           false, "kvosReal2FftNip", [&](int f, float** in, float** out) {
             kvosReal2FftNip(in[0], cf(out[0]), in[1], cf(out[1]), order, f);
           });
}

KVO_API void KVO_CALL kvowCcs2FftNip(const ComplexShort* xInSamps, short* xOutSamps,
                                     const ComplexShort* yInSamps, short* yOutSamps, int order,
                                     int flags, int scaleMode, int* scaleFactor) {
  realForm(KVO_SITE,
           call(kCcs2, values(xInSamps), values(yInSamps), xOutSamps, yOutSamps, order, flags,
                scaleMode, scaleFactor),
           kNoFormat,
           {{xInSamps, "xInSamps==0"},
            {yInSamps, "yInSamps==0"},
            {xOutSamps, "xOutSamps==0"},
            {yOutSamps, "yOutSamps==0"}},
           false, "kvosCcs2FftNip", [&](int f, float** in, float** out) {
             kvosCcs2FftNip(cf(in[0]), out[0], cf(in[1]), out[1], order, f);
           });
}

KVO_API void KVO_CALL kvowMpyRCPack2(const short* src, short* dst, int order, int scaleMode,
                                     int* scaleFactor) {
  mpyPacked(KVO_SITE, dst, src, dst, order, false, scaleMode, scaleFactor,
            {{src, "src==0"}, {dst, "dst==0"}});
}
KVO_API void KVO_CALL kvowMpyRCPerm2(const short* src, short* dst, int order, int scaleMode,
                                     int* scaleFactor) {
  mpyPacked(KVO_SITE, dst, src, dst, order, true, scaleMode, scaleFactor,
            {{src, "src==0"}, {dst, "dst==0"}});
}
KVO_API void KVO_CALL kvowMpyRCPack3(const short* srcA, const short* srcB, short* dst, int order,
                                     int scaleMode, int* scaleFactor) {
  mpyPacked(KVO_SITE, srcA, srcB, dst, order, false, scaleMode, scaleFactor,
            {{srcA, "srcA==0"}, {srcB, "srcB==0"}, {dst, "dst==0"}});
}
KVO_API void KVO_CALL kvowMpyRCPerm3(const short* srcA, const short* srcB, short* dst, int order,
                                     int scaleMode, int* scaleFactor) {
  mpyPacked(KVO_SITE, srcA, srcB, dst, order, true, scaleMode, scaleFactor,
            {{srcA, "srcA==0"}, {srcB, "srcB==0"}, {dst, "dst==0"}});
}

}  // extern "C"
