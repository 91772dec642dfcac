// Cross- and autocorrelation of floating-point data (module kvocorr): direct sums or blocked
// transforms, chosen by an operation-count model.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "adaptive/convcore.h"
#include "adaptive/convframe.h"
#include "frame/check.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvocorr";

namespace conv = kvo::conv;
using conv::Buffer;
using conv::Elem;
using conv::RealT;

// ---- operation-count model --------------------------------------------------------------------

using conv::fftCost;
using conv::mpy0;
using conv::mpy1;

enum Kind { kReal, kMixed, kComplex };

template <class TA, class TB>
constexpr Kind kindOf() {
  if (Elem<TA>::kComplex && Elem<TB>::kComplex) return kComplex;
  return Elem<TA>::kComplex || Elem<TB>::kComplex ? kMixed : kReal;
}

// The block length P (a power of two not below nLags) and whether transforms beat direct sums.
bool useFft(Kind kind, bool autoCorr, std::int64_t len, std::int64_t nLags, std::int64_t* block) {
  double p = 1;
  while (p < double(nLags)) p *= 2;
  *block = static_cast<std::int64_t>(p);
  const double n = 2 * p, b = std::ceil(double(len) / p);
  double direct, fft;
  if (!autoCorr) {
    const double pairs = double(len) * double(nLags);
    if (kind == kReal) {
      direct = 4 * pairs;
      fft = 0.75 * fftCost(p) + b * (0.75 * fftCost(n) + 2 * 8 * p + 14 * p) + mpy1(p);
    } else if (kind == kMixed) {
      direct = 8 * pairs;
      fft = fftCost(n) + b * (fftCost(p) + mpy0(p) + fftCost(n) + 14 * n);
    } else {
      direct = 14 * pairs;
      fft = fftCost(n) + b * (2 * fftCost(n) + 14 * n);
    }
  } else {
    const double k = double(nLags < len ? nLags : len);
    const double terms = k * double(len) - k * (k - 1) / 2;  // sum of len - j, j < k
    if (kind == kReal) {
      direct = 4 * terms;
      fft = fftCost(p) + b * (6 * p + fftCost(p) + mpy0(p) + 14 * p) + mpy1(p);
    } else {
      direct = 11 * terms;
      fft = fftCost(n) + (0.5 * 12 * n + fftCost(n)) + (b - 1) * (4 * n + fftCost(n) + 16 * n);
    }
  }
  return fft < direct && n <= double(std::int64_t{1} << 30);
}

// ---- direct method ----------------------------------------------------------------------------

// r[j] = sum over n of conj(a[n]) * b[n + lo + j] for j < count, every lag within the overlap
// (lo >= -(lenA - 1), lo + count - 1 <= lenB - 1). Sums in double, out interleaved.
template <class TA, class TB>
void directScalar(const TA* a, int lenA, const TB* b, int lenB, std::int64_t lo, int count,
                  double* out) {
  constexpr int parts = Elem<TA>::kComplex || Elem<TB>::kComplex ? 2 : 1;
  for (int j = 0; j < count; ++j) {
    const std::int64_t k = lo + j;
    const std::int64_t n0 = k < 0 ? -k : 0;
    const std::int64_t n1 = lenA < lenB - k ? lenA : lenB - k;
    double re = 0, im = 0;
    for (std::int64_t n = n0; n < n1; ++n) {
      const double ar = conv::reOf(a[n]), ai = -conv::imOf(a[n]);
      const double br = conv::reOf(b[n + k]), bi = conv::imOf(b[n + k]);
      re += ar * br - ai * bi;
      im += ar * bi + ai * br;
    }
    out[parts * j] = re;
    if (parts == 2) out[2 * j + 1] = im;
  }
}

// The same lags as sliding products over b with lenA - 1 zeros on either side.
template <class TA, class TB>
void directLags(const TA* a, int lenA, const TB* b, int lenB, std::int64_t lo, int count,
                double* out) {
  using R = RealT<TA>;
  constexpr int bp = Elem<TB>::kParts;
  // stream[i] = b[lo + i] for i < count + lenA - 1, zero outside b.
  const std::size_t len = static_cast<std::size_t>(count) + lenA - 1;
  Buffer<R> stream(len * bp, true);
  Buffer<R> coef(static_cast<std::size_t>(lenA) * Elem<TA>::kParts);
  if (!stream || !coef) {
    directScalar(a, lenA, b, lenB, lo, count, out);
    return;
  }
  const std::int64_t from = lo < 0 ? 0 : lo;
  const std::int64_t to = lo + std::int64_t(len) < lenB ? lo + std::int64_t(len) : lenB;
  if (to > from) {
    std::memcpy(stream.get() + (from - lo) * bp, b + from, sizeof(TB) * std::size_t(to - from));
  }
  R* re = coef.get();
  R* im = Elem<TA>::kComplex ? coef.get() + lenA : nullptr;
  for (int n = 0; n < lenA; ++n) {
    re[n] = static_cast<R>(conv::reOf(a[n]));
    if (im) im[n] = static_cast<R>(-conv::imOf(a[n]));
  }
  conv::slideAny<R, double>(conv::Planar<R>{re, im, lenA}, stream.get(), bp, count, out);
}

// ---- transform method -------------------------------------------------------------------------

// acc += conj(x) * y over CCS or complex spectra.
template <class C>
void accumulateConjProduct(const C* x, const C* y, C* acc, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double xr = x[i].re, xi = x[i].im, yr = y[i].re, yi = y[i].im;
    acc[i].re = static_cast<RealT<C>>(acc[i].re + (xr * yr + xi * yi));
    acc[i].im = static_cast<RealT<C>>(acc[i].im + (xr * yi - xi * yr));
  }
}
// Blocks of P samples of a against windows of N = 2P samples of b from lo + jP; the cross-spectra
// are summed and transformed back once, giving N * r for the lags lo .. lo + P. False when the
// work memory or the tables cannot be had (the caller then sums directly).
template <class TA, class TB>
bool fftLags(const TA* a, int lenA, const TB* b, int lenB, std::int64_t lo, int count,
             std::int64_t block, double* out) {
  using R = RealT<TA>;
  constexpr bool kRealData = kindOf<TA, TB>() == kReal;
  using D = std::conditional_t<kRealData, conv::RealDomain<R>, conv::ComplexDomain<R>>;
  using E = typename D::E;
  const int order = conv::ceilLog2(static_cast<std::uint64_t>(2 * block));
  const std::size_t n = std::size_t{1} << order;
  if (order < 1) return false;
  D dom;
  if (!dom.plan(order)) return false;
  Buffer<E> x(n + D::kExtra), y(n + D::kExtra), acc(n + D::kExtra, true);
  if (!x || !y || !acc) return false;
  const std::int64_t p = block;
  for (std::int64_t start = 0; start < lenA; start += p) {
    const std::int64_t wFrom = lo + start, wTo = wFrom + std::int64_t(n);
    if (wTo <= 0 || wFrom >= lenB) continue;  // the window misses b: no contribution
    const int take = static_cast<int>(lenA - start < p ? lenA - start : p);
    std::memset(static_cast<void*>(x.get()), 0, sizeof(E) * n);
    conv::load(a + start, take, x.get());
    std::memset(static_cast<void*>(y.get()), 0, sizeof(E) * n);
    const std::int64_t from = wFrom < 0 ? 0 : wFrom, to = wTo < lenB ? wTo : lenB;
    conv::load(b + from, static_cast<int>(to - from), y.get() + (from - wFrom));
    dom.forward(x.get(), order);
    dom.forward(y.get(), order);
    if constexpr (kRealData) {
      using C = conv::ComplexOf<R>;
      accumulateConjProduct(reinterpret_cast<const C*>(x.get()),
                            reinterpret_cast<const C*>(y.get()), reinterpret_cast<C*>(acc.get()),
                            n / 2 + 1);
    } else {
      accumulateConjProduct(x.get(), y.get(), acc.get(), n);
    }
  }
  dom.inverse(acc.get(), order);
  const double scale = 1.0 / double(n);
  constexpr int parts = Elem<E>::kParts;
  const R* v = reinterpret_cast<const R*>(acc.get());
  for (std::size_t i = 0; i < static_cast<std::size_t>(count) * parts; ++i) {
    out[i] = v[i] * scale;
  }
  return true;
}

// ---- entries ----------------------------------------------------------------------------------

// Lags lo .. lo + count - 1 into out (double, interleaved for complex results): lags without
// overlap are zero, the rest by the cheaper method.
template <class TA, class TB>
bool lags(const TA* a, int lenA, const TB* b, int lenB, std::int64_t lo, std::int64_t count,
          bool autoCorr, double* out) {
  constexpr int parts = Elem<TA>::kComplex || Elem<TB>::kComplex ? 2 : 1;
  std::memset(out, 0, sizeof(double) * parts * static_cast<std::size_t>(count));
  const std::int64_t first = lo > -(lenA - 1) ? lo : -(lenA - 1);
  const std::int64_t last = lo + count - 1 < lenB - 1 ? lo + count - 1 : lenB - 1;
  if (first > last) return true;
  double* o = out + parts * (first - lo);
  const int n = static_cast<int>(last - first + 1);
  std::int64_t block = 0;
  if (useFft(kindOf<TA, TB>(), autoCorr, lenA, n, &block) &&
      fftLags(a, lenA, b, lenB, first, n, block, o)) {
    return true;
  }
  directLags(a, lenA, b, lenB, first, n, o);
  return true;
}

// dst[k] = v[k] normalised: corrType 1 divides by len, 2 divides lag lag0 + k by len - lag0 - k.
template <class TY>
void storeAll(const double* v, std::int64_t count, TY* dst, int corrType, int len,
              std::int64_t lag0) {
  constexpr int parts = Elem<TY>::kParts;
  for (std::int64_t k = 0; k < count; ++k) {
    double s = 1;
    if (corrType == 1) s = 1.0 / len;
    if (corrType == 2) s = 1.0 / double(len - lag0 - k);
    dst[k] = conv::makeElem<TY>(v[parts * k] * s, parts == 2 ? v[2 * k + 1] * s : 0.0);
  }
}

// Without work memory for the double sums the lags are summed in slices.
template <class TA, class TB, class TY>
void correlate(const TA* a, int lenA, const TB* b, int lenB, TY* dst, std::int64_t lo,
               std::int64_t count, bool autoCorr, int corrType) {
  constexpr int parts = Elem<TY>::kParts;
  Buffer<double> all(static_cast<std::size_t>(count) * parts);
  if (all) {
    lags(a, lenA, b, lenB, lo, count, autoCorr, all.get());
    storeAll(all.get(), count, dst, corrType, lenA, 0);
    return;
  }
  constexpr int kSlice = 64;
  double slice[2 * kSlice];
  for (std::int64_t j = 0; j < count; j += kSlice) {
    const std::int64_t m = count - j < kSlice ? count - j : kSlice;
    directScalar(a, lenA, b, lenB, lo + j, static_cast<int>(m), slice);
    storeAll(slice, m, dst + j, corrType, lenA, j);
  }
}

template <class TA, class TB, class TY>
void cross(const kvo::Site& site, const TA* a, int lenA, const TB* b, int lenB, TY* dst, int loLag,
           int hiLag) {
  kvo::Checks c(site);
  c.require(a != nullptr && b != nullptr, "Null SRC buffer pointer")
      .notNull(dst, "Null DST buffer pointer")
      .require(lenA >= 1 && lenB >= 1, "Invalid SRC buffer length")
      .require(loLag <= hiLag, "Invalid LAG value");
  if (!c) return;
  correlate(a, lenA, b, lenB, dst, loLag, std::int64_t{hiLag} - loLag + 1, false, 0);
}

template <class T>
void autoc(const kvo::Site& site, const T* src, int len, T* dst, int nLags, int corrType) {
  kvo::Checks c(site);
  c.notNull(src, "Null SRC buffer pointer")
      .notNull(dst, "Null DST buffer pointer")
      .require(len >= 1, "Invalid SRC buffer length")
      .require(nLags >= 1 && nLags <= len, "Invalid LAG value");
  if (!c) return;
  correlate(src, len, src, len, dst, 0, nLags, true, corrType);
}

}  // namespace

using CF = ComplexFloat;
using CD = ComplexDouble;

#define KVO_CROSS(code, TA, TB, TY)                                                              \
  KVO_API void KVO_CALL kvo##code##CrossCorr(const TA* srcA, int lenA, const TB* srcB, int lenB, \
                                             TY* dst, int loLag, int hiLag) {                    \
    cross(KVO_SITE, srcA, lenA, srcB, lenB, dst, loLag, hiLag);                                  \
  }
#define KVO_AUTO(code, T)                                                             \
  KVO_API void KVO_CALL kvo##code##AutoCorr(const T* src, int len, T* dst, int nLags, \
                                            int corrType) {                           \
    autoc(KVO_SITE, src, len, dst, nLags, corrType);                                  \
  }

extern "C" {
KVO_CROSS(s, float, float, float)
KVO_CROSS(c, CF, CF, CF)
KVO_CROSS(d, double, double, double)
KVO_CROSS(z, CD, CD, CD)
KVO_CROSS(sc, float, CF, CF)
KVO_CROSS(cs, CF, float, CF)
KVO_CROSS(dz, double, CD, CD)
KVO_CROSS(zd, CD, double, CD)
KVO_AUTO(s, float)
KVO_AUTO(c, CF)
KVO_AUTO(d, double)
KVO_AUTO(z, CD)
}  // extern "C"
