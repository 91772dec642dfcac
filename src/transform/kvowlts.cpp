// Discrete wavelet transform with periodic extension (module kvowlts): the state record with its
// four filters, built from the library's families or taken from the caller, and decomposition
// and reconstruction over several octaves in float, double and 16-bit data.
//
// Init and SetState release what a record holds before they fill it. A record counts as holding
// something only when its `core` is one this module writes (1, 2 or 4): a caller's fresh,
// uninitialised record is never freed through its garbage pointers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/check.h"
#include "kernels/transform/wavelet.h"
#include "kernels/vector/cvt.h"
#include "kvo.h"
#include "transform/wltsfilters.h"

namespace {

constexpr const char* kModule = "kvowlts";

using kvo::Checks;
using kvo::Site;
namespace kern = kvo::kern;
namespace wavelet = kvo::wavelet;

enum Category { kOrthogonal = 1, kBiorthogonal = 2, kCallerDefined = 3 };
enum CoreCode { kFloatCore = 1, kDoubleCore = 2, kShortCore = 4 };

// The largest built-in filter (Coiflet 5) has 30 taps.
constexpr int kMaxTaps = 32;

template <class R>
constexpr int kCoreOf = sizeof(R) == sizeof(float) ? kFloatCore : kDoubleCore;

// ---- the record ------------------------------------------------------------------------------

void* allocate(std::uint64_t count, std::size_t elem) {
  const std::uint64_t bytes = count * elem;
  return bytes > 0x7fffffff ? nullptr : kvoMalloc(static_cast<int>(bytes));
}

// Frees the filters and work buffer and clears every field.
void release(WtState* s) {
  const bool owned = s->core == kFloatCore || s->core == kDoubleCore || s->core == kShortCore;
  if (owned) {
    for (void* f : s->tap_filt) kvoFree(f);
    kvoFree(s->src_pad);
  }
  std::memset(s, 0, sizeof *s);
}

bool orderChecks(const Site& site, int dataOrder, int level) {
  Checks c(site, false);
  c.require(dataOrder >= 1, "dataOrder<1").require(dataOrder <= 31, "dataOrder>31");
  c.require(level >= 0, "level<0").require(level < dataOrder, "level>(dataOrder-1)");
  return kvoGetErrStatus() >= 0;
}

// Four filters in double precision with their offsets, before they go into a record.
struct Bank {
  double f[4][kMaxTaps];
  int len[4];
  int ofs[4];
  int category;
};

// The orthogonal construction from a low-pass row h; false after a report.
bool orthogonalBank(const Site& site, wavelet::Filter h, Bank& b) {
  const int L = h.length;
  if (L % 2 != 0) {
    site.report(KVO_StatusBadArgument, "Odd ortho. filter length");
    return false;
  }
  double energy = 0;
  for (int i = 0; i < L; ++i) energy += h.taps[i] * h.taps[i];
  if (energy < 1e-19) {
    site.report(KVO_StatusBadArgument, "Small ortho. filter taps values");
    return false;
  }
  const double norm = std::sqrt(energy);
  double* f0 = b.f[0];
  for (int i = 0; i < L; ++i) f0[i] = h.taps[i] / norm;
  for (int i = 0; i < L; ++i) {
    b.f[2][i] = f0[L - 1 - i];
    b.f[1][i] = i % 2 ? -b.f[2][i] : b.f[2][i];
  }
  for (int i = 0; i < L; ++i) b.f[3][i] = b.f[1][L - 1 - i];
  double sum = 0;
  for (int i = 0; i < L; ++i) sum += f0[i];
  bool orthogonal = std::fabs(sum) >= 1e-19;
  for (int m = 2; m < L; m += 2) {
    double dot = 0;
    for (int k = m; k < L; ++k) dot += f0[k] * f0[k - m];
    orthogonal = orthogonal && std::fabs(dot) <= 1e-5;
  }
  if (!orthogonal) {
    site.report(KVO_StatusBadArgument, "Bad low-pass ortho. filter taps");
    return false;
  }
  for (int i = 0; i < L; ++i) {
    b.f[0][i] /= sum;
    b.f[1][i] /= sum;
    b.f[2][i] *= sum;
    b.f[3][i] *= sum;
  }
  double hiSum = 0, hiMax = 0;
  for (int i = 0; i < L; ++i) {
    hiSum += b.f[1][i];
    hiMax = std::fmax(hiMax, std::fabs(b.f[1][i]));
  }
  if (std::fabs(hiSum) > 0.001 * hiMax) {
    site.report(KVO_StatusBadArgument, "Bad high-pass ortho. filter taps");
    return false;
  }
  // Aligned at the largest tap of h after the first (the first such on ties).
  int m = 1;
  for (int i = 2; i < L; ++i) {
    if (std::fabs(h.taps[i]) > std::fabs(h.taps[m])) m = i;
  }
  for (int i = 0; i < 4; ++i) b.len[i] = L;
  b.ofs[0] = b.ofs[1] = m;
  b.ofs[2] = b.ofs[3] = L - 1 - m;
  b.category = kOrthogonal;
  return true;
}

// A stored biorthogonal pair, or its dual (every filter reversed, decomposition and
// reconstruction exchanged). Scaled like the orthogonal filters: the decomposition low-pass sums
// to 1, the reconstruction filters carry the factor.
void biorthogonalBank(const wavelet::BiorthPair& p, bool dual, Bank& b) {
  for (int i = 0; i < 4; ++i) {
    const wavelet::Filter& src = p.f[dual ? (i + 2) % 4 : i];
    b.len[i] = src.length;
    b.ofs[i] = dual ? p.dualOfs[i] : p.ofs[i];
    for (int k = 0; k < src.length; ++k) b.f[i][k] = src.taps[dual ? src.length - 1 - k : k];
  }
  double sum = 0;
  for (int k = 0; k < b.len[0]; ++k) sum += b.f[0][k];
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < b.len[i]; ++k) b.f[i][k] = i < 2 ? b.f[i][k] / sum : b.f[i][k] * sum;
  }
  b.category = kBiorthogonal;
}

// The filters of a built-in type; false after a report.
bool builtinBank(const Site& site, int type, int par1, int par2, Bank& b) {
  auto fail = [&](const char* message) {
    site.report(KVO_StatusBadArgument, message);
    return false;
  };
  switch (type) {
    case KVO_Haar:
      return orthogonalBank(site, wavelet::daublet(1), b);
    case KVO_Daublet:
      if (par1 < 1 || par1 > 10) return fail("error in parameter Daublet filter");
      return orthogonalBank(site, wavelet::daublet(par1), b);
    case KVO_Symmlet:
      if (par1 < 1 || par1 > 7) return fail("error in parameter Symmlet filter");
      return orthogonalBank(site, wavelet::symmlet(par1), b);
    case KVO_Coiflet:
      if (par1 < 1 || par1 > 5) return fail("error in parameter Coiflet filter");
      return orthogonalBank(site, wavelet::coiflet(par1), b);
    case KVO_Ortho24:
      return orthogonalBank(site, wavelet::ortho24(), b);
    case KVO_Biorth:
    case KVO_BiorthDual:
    case KVO_BiorthLin:
    case KVO_BiorthQuad: {
      const int p1 = type == KVO_BiorthLin ? 2 : type == KVO_BiorthQuad ? 3 : par1;
      const int p2 = type == KVO_BiorthLin ? 2 : type == KVO_BiorthQuad ? 3 : par2;
      const wavelet::BiorthPair* pair = wavelet::biorth(p1, p2);
      if (pair == nullptr) return fail("error in wavelet parameters");
      biorthogonalBank(*pair, type == KVO_BiorthDual, b);
      return true;
    }
    default:
      return fail("error in the type of wavelet");
  }
}

// Allocates the record's arrays for filters of lengths len (taps from `taps(i, k)`) and fills
// the record; false after a report (nothing is kept then).
template <class R, class Taps>
bool fill(const Site& site, WtState* s, int core, int type, int category, int par1, int par2,
          int dataOrder, int level, const int* len, const int* ofs, Taps taps) {
  const int widest = len[0] > len[1] ? len[0] : len[1];
  void* pad = allocate((std::uint64_t{1} << dataOrder) + 2 * std::uint64_t(widest), sizeof(R));
  R* f[4] = {};
  bool ok = pad != nullptr;
  for (int i = 0; i < 4 && ok; ++i) {
    f[i] = static_cast<R*>(allocate(static_cast<std::uint64_t>(len[i]), sizeof(R)));
    ok = f[i] != nullptr;
  }
  if (!ok) {
    kvoFree(pad);
    for (R* p : f) kvoFree(p);
    site.report(KVO_StatusOutOfMemory, "No working wavelet memory");
    return false;
  }
  s->core = core;
  s->wtType = type;
  s->category = category;
  s->par1 = par1;
  s->par2 = par2;
  s->dataOrder = dataOrder;
  s->level = level;
  for (int i = 0; i < 4; ++i) {
    s->len[i] = len[i];
    s->ofs[i] = ofs[i];
    for (int k = 0; k < len[i]; ++k) f[i][k] = static_cast<R>(taps(i, k));
    s->tap_filt[i] = f[i];
  }
  s->src_pad = pad;
  return true;
}

template <class R>
void init(const Site& site, int par1, int par2, int dataOrder, int level, WtState* s, int type) {
  if (!Checks(site).notNull(s, "wtState==0")) return;
  release(s);
  if (!orderChecks(site, dataOrder, level)) return;
  Bank b;
  if (!builtinBank(site, type, par1, par2, b)) return;
  fill<R>(site, s, kCoreOf<R>, type, b.category, par1, par2, dataOrder, level, b.len, b.ofs,
          [&](int i, int k) { return b.f[i][k]; });
}

template <class R>
void setState(const Site& site, WtState* s, int type, int par1, int par2, int dataOrder, int level,
              const R* const* taps, const int* len, const int* ofs,
              void (*initFn)(int, int, int, int, WtState*, int), const char* initNote) {
  if (!Checks(site).notNull(s, "wtState==0")) return;
  if (type != KVO_WtByFilter) {
    initFn(par1, par2, dataOrder, level, s, type);
    if (kvoGetErrStatus() < 0) site.report(KVO_StatusBacktrace, initNote);
    return;
  }
  release(s);
  Checks c(site, false);
  c.require(dataOrder >= 1, "dataOrder<1").require(dataOrder <= 31, "dataOrder>31");
  c.require(level >= 0, "level<0").require(level < dataOrder, "level>(dataOrder-1)");
  c.notNull(taps, "Ftaps eq. NULL").notNull(len, "Flen eq. NULL").notNull(ofs, "Fofs eq. NULL");
  if (kvoGetErrStatus() < 0) return;
  Checks d(site);
  d.require(taps[0] && taps[1] && taps[2] && taps[3], "Bad pointers in Ftaps");
  d.require(len[0] >= 2 && len[1] >= 2 && len[2] >= 2 && len[3] >= 2 && len[0] == len[3] &&
                len[1] == len[2],
            "Bad filter lengths");
  bool offsetsOk = true;
  for (int i = 0; i < 4; ++i) offsetsOk = offsetsOk && ofs[i] >= 0 && ofs[i] < len[i];
  d.require(offsetsOk, "Bad filter offsets");
  if (!d) return;
  fill<R>(site, s, kCoreOf<R>, type, kCallerDefined, par1, par2, dataOrder, level, len, ofs,
          [&](int i, int k) { return taps[i][k]; });
}

template <class R>
void getState(const Site& site, WtState* s, int* type, int* par1, int* par2, int* dataOrder,
              int* level, R** taps, int* len, int* ofs) {
  Checks c(site, false);
  c.notNull(s, "wtState==0").notNull(type, "wtType==0").notNull(par1, "par1==0");
  c.notNull(par2, "par2==0").notNull(dataOrder, "dataOrder==0").notNull(level, "level==0");
  c.notNull(taps, "Ftaps==0").notNull(len, "Flen==0").notNull(ofs, "Fofs==0");
  if (kvoGetErrStatus() < 0) return;
  *type = s->wtType;
  *par1 = s->par1;
  *par2 = s->par2;
  *dataOrder = s->dataOrder;
  *level = s->level;
  for (int i = 0; i < 4; ++i) {
    len[i] = s->len[i];
    ofs[i] = s->ofs[i];
    taps[i] = static_cast<R*>(s->tap_filt[i]);
  }
}

// ---- the transforms --------------------------------------------------------------------------

// The consistency checks of Decompose and Reconstruct, all reported.
bool stateChecks(const Site& site, const WtState* s, int core) {
  Checks c(site, false);
  c.require(s->core == core, core == kFloatCore    ? "error in the float core"
                             : core == kDoubleCore ? "error in the double core"
                                                   : "error in the short core");
  c.require(s->dataOrder >= 1, "wtState->dataOrder<1");
  c.require(s->dataOrder <= 31, "wtState->dataOrder>31");
  c.require(s->level >= 0, "wtState->level<0");
  c.require(s->level < s->dataOrder, "wtState->level>(wtState->dataOrder-1)");
  c.require(s->category >= 1 && s->category <= 3, "error in the type of wavelet");
  c.notNull(s->tap_filt[0], "wtState->tap_filt[ 0 ]==0");
  c.notNull(s->tap_filt[1], "wtState->tap_filt[ 1 ]==0");
  c.notNull(s->tap_filt[2], "wtState->tap_filt[ 2 ]==0");
  c.notNull(s->tap_filt[3], "wtState->tap_filt[ 3 ]==0");
  c.notNull(s->src_pad, "wtState->src_pad==0");
  const int* len = s->len;
  const bool lengthsOk = len[0] >= 2 && len[1] >= 2 && len[2] >= 2 && len[3] >= 2 &&
                         len[0] == len[3] && len[1] == len[2];
  c.require(lengthsOk, "error in the filter lengths");
  if (s->category == kOrthogonal) {
    c.require(len[0] == len[1] && len[0] % 2 == 0, "error in the filter lengths ortho. wavelet");
  }
  bool offsetsOk = true;
  for (int i = 0; i < 4; ++i) offsetsOk = offsetsOk && s->ofs[i] >= 0 && s->ofs[i] < len[i];
  c.require(offsetsOk, "error in the filter offsets");
  return kvoGetErrStatus() >= 0;
}

template <class R>
kern::WtFilter<R> filterOf(const WtState* s, int i) {
  return {static_cast<const R*>(s->tap_filt[i]), s->len[i], s->ofs[i]};
}

// The pyramid itself, on arrays of the record's precision; src may equal dst.
//
// When src and dst lie apart, no octave reads what it writes: the intermediate approximations go
// to the pad, those of N/2, N/8, ... values to its start and those of N/4, N/16, ... after N/2
// values, and the last quarter (with the extension room) is each octave's scratch, so the octaves
// run in cache-sized chunks. Otherwise each octave copies its whole input to the pad first.
struct PadPlan {
  bool apart;
  std::size_t total;
  std::size_t scratch;  // offset of the scratch in the pad
};

template <class R>
PadPlan planOf(const WtState* s, const R* src, const R* dst) {
  const std::size_t total = std::size_t{1} << s->dataOrder;
  const auto from = reinterpret_cast<std::uintptr_t>(src),
             to = reinterpret_cast<std::uintptr_t>(dst);
  const std::uintptr_t bytes = total * sizeof(R);
  // Below 64 values the quarter would leave chunks too short to matter.
  const bool apart = total >= 64 && (from + bytes <= to || to + bytes <= from);
  return {apart, total, apart ? total / 4 * 3 : 0};
}

// The pad's home of an intermediate sequence of `size` values (see above).
template <class R>
R* homeOf(R* pad, std::size_t total, std::size_t size) {
  int halvings = 0;
  while ((total >> halvings) > size) ++halvings;
  return halvings % 2 == 1 ? pad : pad + total / 2;
}

std::size_t padLengthOf(const WtState* s) {
  return (std::size_t{1} << s->dataOrder) +
         2 * static_cast<std::size_t>(s->len[0] > s->len[1] ? s->len[0] : s->len[1]);
}

template <class R>
void decompose(const WtState* s, const R* src, R* dst) {
  const PadPlan plan = planOf(s, src, dst);
  if (s->level == 0 && src != dst) std::memmove(dst, src, plan.total * sizeof(R));
  auto* pad = static_cast<R*>(s->src_pad);
  const std::size_t scratchLength = padLengthOf(s) - plan.scratch;
  const R* x = src;
  std::size_t n = plan.total;
  for (int octave = 0; octave < s->level; ++octave, n /= 2) {
    R* a = dst;
    if (plan.apart && octave + 1 < s->level) a = homeOf(pad, plan.total, n / 2);
    kern::wtAnalysis(x, n, filterOf<R>(s, 0), filterOf<R>(s, 1), pad + plan.scratch, scratchLength,
                     plan.apart, a, dst + n / 2);
    x = a;
  }
}

template <class R>
void reconstruct(const WtState* s, const R* src, R* dst) {
  const PadPlan plan = planOf(s, src, dst);
  if (src != dst && (!plan.apart || s->level == 0)) {
    // Overlapping (or short) arrays: in place on dst.
    std::memmove(dst, src, plan.total * sizeof(R));
    src = dst;
  }
  auto* pad = static_cast<R*>(s->src_pad);
  const std::size_t scratchLength = padLengthOf(s) - plan.scratch;
  // Details come from src, which no octave before has overwritten (in place, each octave writes
  // only the 2n values it has read); the approximation from src first, then from the octave
  // before.
  const R* a = src;
  for (std::size_t n = plan.total >> s->level; n < plan.total; n *= 2) {
    R* y = dst;
    if (plan.apart && 2 * n < plan.total) y = homeOf(pad, plan.total, 2 * n);
    kern::wtSynthesis(a, src + n, n, filterOf<R>(s, 2), filterOf<R>(s, 3), pad + plan.scratch,
                      scratchLength, plan.apart, y);
    a = y;
  }
}

template <class R, bool Forward>
void transform(const Site& site, WtState* s, const R* src, R* dst) {
  if (s == nullptr || src == nullptr || dst == nullptr) return;
  if (!stateChecks(site, s, kCoreOf<R>)) return;
  if (Forward) {
    decompose(s, src, dst);
  } else {
    reconstruct(s, src, dst);
  }
}

// 16-bit data through the float pyramid: converted to float, transformed, rounded to nearest and
// clipped back.
template <bool Forward>
void transform16(const Site& site, WtState* s, const short* src, short* dst) {
  if (s == nullptr || src == nullptr || dst == nullptr) return;
  if (!stateChecks(site, s, kShortCore)) return;
  const std::uint64_t n = std::uint64_t{1} << s->dataOrder;
  auto* in = static_cast<float*>(allocate(n, sizeof(float)));
  auto* out = static_cast<float*>(allocate(n, sizeof(float)));
  if (in == nullptr || out == nullptr) {
    kvoFree(in);
    kvoFree(out);
    site.report(KVO_StatusOutOfMemory, "No memory for working arrays");
    return;
  }
  kern::intToFloat(src, in, static_cast<int>(n), 1.0f);
  if (Forward) {
    decompose(s, in, out);
  } else {
    reconstruct(s, in, out);
  }
  const kern::IntTarget target{16, -32768.0, 32767.0, 1.0, true};
  kern::floatToInt(out, dst, static_cast<int>(n), kern::Round::Nearest, target);
  kvoFree(in);
  kvoFree(out);
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosWtInit(int par1, int par2, int dataOrder, int level, WtState* wtState,
                                 int wtType) {
  init<float>(KVO_SITE, par1, par2, dataOrder, level, wtState, wtType);
}
KVO_API void KVO_CALL kvodWtInit(int par1, int par2, int dataOrder, int level, WtState* wtState,
                                 int wtType) {
  init<double>(KVO_SITE, par1, par2, dataOrder, level, wtState, wtType);
}
KVO_API int KVO_CALL kvowWtInit(int par1, int par2, int dataOrder, int level, WtState* wtState,
                                int wtType) {
  const Site site = KVO_SITE;
  if (!Checks(site).notNull(wtState, "wtState==0")) return kvoGetErrStatus();
  kvosWtInit(par1, par2, dataOrder, level, wtState, wtType);
  if (kvoGetErrStatus() < 0) return site.report(KVO_StatusBacktrace, "out kvosWtInit");
  wtState->core = kShortCore;
  return kvoGetErrStatus();
}

KVO_API void KVO_CALL kvosWtSetState(WtState* wtState, int wtType, int par1, int par2,
                                     int dataOrder, int level, const float* Ftaps[4],
                                     const int Flen[4], const int Fofs[4]) {
  setState<float>(KVO_SITE, wtState, wtType, par1, par2, dataOrder, level, Ftaps, Flen, Fofs,
                  kvosWtInit, "out kvosWtInit");
}
KVO_API void KVO_CALL kvodWtSetState(WtState* wtState, int wtType, int par1, int par2,
                                     int dataOrder, int level, const double* Ftaps[4],
                                     const int Flen[4], const int Fofs[4]) {
  setState<double>(KVO_SITE, wtState, wtType, par1, par2, dataOrder, level, Ftaps, Flen, Fofs,
                   kvodWtInit, "out kvodWtInit");
}
KVO_API void KVO_CALL kvowWtSetState(WtState* wtState, int wtType, int par1, int par2,
                                     int dataOrder, int level, const float* Ftaps[4],
                                     const int Flen[4], const int Fofs[4]) {
  const Site site = KVO_SITE;
  kvosWtSetState(wtState, wtType, par1, par2, dataOrder, level, Ftaps, Flen, Fofs);
  if (kvoGetErrStatus() < 0) {
    site.report(KVO_StatusBacktrace, "out kvosWtSetState");
    return;
  }
  wtState->core = kShortCore;
}

KVO_API void KVO_CALL kvosWtGetState(WtState* wtState, int* wtType, int* par1, int* par2,
                                     int* dataOrder, int* level, float* Ftaps[4], int Flen[4],
                                     int Fofs[4]) {
  getState<float>(KVO_SITE, wtState, wtType, par1, par2, dataOrder, level, Ftaps, Flen, Fofs);
}
KVO_API void KVO_CALL kvodWtGetState(WtState* wtState, int* wtType, int* par1, int* par2,
                                     int* dataOrder, int* level, double* Ftaps[4], int Flen[4],
                                     int Fofs[4]) {
  getState<double>(KVO_SITE, wtState, wtType, par1, par2, dataOrder, level, Ftaps, Flen, Fofs);
}
KVO_API void KVO_CALL kvowWtGetState(WtState* wtState, int* wtType, int* par1, int* par2,
                                     int* dataOrder, int* level, float* Ftaps[4], int Flen[4],
                                     int Fofs[4]) {
  getState<float>(KVO_SITE, wtState, wtType, par1, par2, dataOrder, level, Ftaps, Flen, Fofs);
}

KVO_API void KVO_CALL kvoWtFree(WtState* wtState) {
  if (!KVO_CHECKS.notNull(wtState, "wtState==0")) return;
  release(wtState);
}

KVO_API void KVO_CALL kvosWtDecompose(WtState* wtState, const float* src, float* dst) {
  transform<float, true>(KVO_SITE, wtState, src, dst);
}
KVO_API void KVO_CALL kvosWtReconstruct(WtState* wtState, const float* src, float* dst) {
  transform<float, false>(KVO_SITE, wtState, src, dst);
}
KVO_API void KVO_CALL kvodWtDecompose(WtState* wtState, const double* src, double* dst) {
  transform<double, true>(KVO_SITE, wtState, src, dst);
}
KVO_API void KVO_CALL kvodWtReconstruct(WtState* wtState, const double* src, double* dst) {
  transform<double, false>(KVO_SITE, wtState, src, dst);
}
KVO_API void KVO_CALL kvowWtDecompose(WtState* wtState, const short* src, short* dst) {
  transform16<true>(KVO_SITE, wtState, src, dst);
}
KVO_API void KVO_CALL kvowWtReconstruct(WtState* wtState, const short* src, short* dst) {
  transform16<false>(KVO_SITE, wtState, src, dst);
}

}  // extern "C"
