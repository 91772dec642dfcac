// Linear convolution of every floating-point member: the entry checks, the method choice from the
// threshold and cost tables, the direct sum, one full-length transform and blocked overlap-save.
// The modules kvoconvs (single precision) and kvoconvd (double precision) instantiate it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "adaptive/convcore.h"
#include "adaptive/convtables.h"
#include "frame/check.h"
#include "kvo.h"

namespace kvo::conv {

// ---- method choice ----------------------------------------------------------------------------

// Direct-method bounds of one member: always direct below `lower`; below `upper` direct while the
// longer operand is shorter than T[S] (tables in convtables.h).
struct Thresholds {
  int lower, upper;
  const int* t;  // T[S] at t[S - lower]

  int threshold(int s) const { return t[s - lower]; }
  bool direct(int s, int lg) const { return s < lower || (s < upper && lg < threshold(s)); }
};

// Transform costs in seconds by order, measured on the target machine with bench/conv_tables.cpp:
// F one forward transform, G the spectrum product and the inverse. The measurements follow
// n log n from the order-10 values plus a fixed cost per call, which is what makes many small
// blocks dearer than a few large ones.
struct CostKind {
  double f10, g10;
  double F(int p) const { return f10 * nlogn(p) + kPerCall; }
  double G(int p) const { return g10 * nlogn(p) + kPerCall; }

 private:
  static constexpr double kPerCall = 1e-7;
  static double nlogn(int p) { return std::ldexp(double(p < 1 ? 1 : p), p) / (10.0 * 1024.0); }
};
inline constexpr CostKind kCostS{2.5e-6, 3.7e-6};
inline constexpr CostKind kCostC{3.4e-6, 6.0e-6};
inline constexpr CostKind kCostD{5.0e-6, 5.5e-6};
inline constexpr CostKind kCostZ{5.5e-6, 1.0e-5};

enum Method { kDirect = 0, kFull = 1, kBlocked = 2 };

struct Rules {
  Thresholds t;
  const CostKind* longKind;   // kind of the long operand
  const CostKind* shortKind;  // kind of the short operand
  const CostKind* product;    // G of the complex kind for mixed members
  bool doubleHop;             // real long operand: candidate A advances two blocks per transform
};

// The method for lengths lg >= s, and for blocked transforms the mode 1, 2 or 3.
inline Method choose(const Rules& r, int lg, int s, int* mode) {
  if (r.t.direct(s, lg)) return kDirect;
  const double m = double(lg) + double(s) - 1.0;
  const int p = 2 + floorLog2(static_cast<std::uint64_t>(s));
  auto blocked = [&](int q, double hop) {
    if (q > 31 || hop < 1) return HUGE_VAL;
    return (r.longKind->F(q) + r.product->G(q)) * std::ceil(m / hop) + r.shortKind->F(q);
  };
  double best;
  if (static_cast<double>(lg) > 32.0 * s) {
    const double hop = std::ldexp(1.0, p + 2) - s + 1;
    best = blocked(p + 2, r.doubleHop ? 2 * hop : hop);
    *mode = 3;
  } else {
    best = blocked(p, std::ldexp(1.0, p) - s + 1);
    *mode = 1;
  }
  const double b = blocked(p + 1, std::ldexp(1.0, p + 1) - s + 1);
  if (b < best) {
    best = b;
    *mode = 2;
  }
  const int rr = 1 + floorLog2(static_cast<std::uint64_t>(m));
  const double full =
      rr > 31 ? HUGE_VAL : r.longKind->F(rr) + r.shortKind->F(rr) + r.product->G(rr);
  return full <= best ? kFull : kBlocked;
}

// ---- direct method ----------------------------------------------------------------------------

// One output of the definition, in double, for the paths that cannot take work memory.
template <class TL, class TS, class TY>
void directScalar(const TL* x, int lg, const TS* h, int s, TY* y) {
  const int m = lg + s - 1;
  for (int n = 0; n < m; ++n) {
    const int k0 = n - lg + 1 > 0 ? n - lg + 1 : 0;
    const int k1 = n < s - 1 ? n : s - 1;
    double re = 0, im = 0;
    for (int k = k0; k <= k1; ++k) {
      const double ar = reOf(h[k]), ai = imOf(h[k]), br = reOf(x[n - k]), bi = imOf(x[n - k]);
      re += ar * br - ai * bi;
      im += ar * bi + ai * br;
    }
    y[n] = makeElem<TY>(re, im);
  }
}

// The long operand with s - 1 zeros on both sides, the short one reversed in planar parts, then
// every output is one sliding product. The running sums stay in the element type (products
// unrounded), so float results are written straight into y.
template <class TL, class TS, class TY>
void direct(const TL* x, int lg, const TS* h, int s, TY* y) {
  using R = RealT<TY>;
  constexpr int lp = Elem<TL>::kParts;
  const std::size_t padded = (static_cast<std::size_t>(lg) + 2 * (s - 1)) * lp;
  Buffer<R> stream(padded, true);
  Buffer<R> coef(static_cast<std::size_t>(s) * Elem<TS>::kParts);
  if (!stream || !coef) {
    directScalar(x, lg, h, s, y);
    return;
  }
  toParts(x, lg, stream.get() + static_cast<std::size_t>(s - 1) * lp);
  R* re = coef.get();
  R* im = Elem<TS>::kComplex ? coef.get() + s : nullptr;
  for (int k = 0; k < s; ++k) {
    re[k] = static_cast<R>(reOf(h[s - 1 - k]));
    if (im) im[k] = static_cast<R>(imOf(h[s - 1 - k]));
  }
  slideAny<R, R>(Planar<R>{re, im, s}, stream.get(), lp, lg + s - 1, reinterpret_cast<R*>(y));
}

// ---- transform methods ------------------------------------------------------------------------

// Real data: CCS spectra of real transforms (N / 2 + 1 complex values, so the work arrays hold
// two values more than the signal), multiplied as they come out of the transform.
template <class R>
struct RealDomain {
  using E = R;
  using C = ComplexOf<R>;
  static constexpr std::size_t kExtra = 2;
  fft::RealTables t{};
  bool plan(int order) { return realPlan<C>(order, t); }
  void forward(E* v, int order) const {
    fft::realToSpectrum<C>(v, v, order, fft::kCcs, false, false, t);
  }
  void inverse(E* v, int order) const {
    fft::spectrumToReal<C>(v, v, order, fft::kCcs, true, false, t);
  }
  static void product(const E* a, const E* b, E* d, int order) {
    kern::binary<kern::Mpy>(reinterpret_cast<const C*>(a), reinterpret_cast<const C*>(b),
                            reinterpret_cast<C*>(d), (1 << order) / 2 + 1);
  }
};

// Complex or mixed data: complex transforms in bit-reversed order.
template <class R>
struct ComplexDomain {
  using E = ComplexOf<R>;
  static constexpr std::size_t kExtra = 0;
  const R* tw = nullptr;
  bool plan(int order) { return (tw = complexPlan<E>(order)) != nullptr; }
  void forward(E* v, int order) const { complexForward<E>(v, v, order, tw); }
  void inverse(E* v, int order) const { complexInverse<E>(v, v, order, tw); }
  static void product(const E* a, const E* b, E* d, int order) {
    kern::binary<kern::Mpy>(a, b, d, 1 << order);
  }
};

template <class E, class T>
void load(const T* src, int n, E* dst) {
  for (int i = 0; i < n; ++i) dst[i] = makeElem<E>(reOf(src[i]), imOf(src[i]));
}
template <class T, class E>
void store(const E* src, int n, T* dst) {
  for (int i = 0; i < n; ++i) dst[i] = makeElem<T>(reOf(src[i]), imOf(src[i]));
}

constexpr int kNoTables = 1;  // the transform tables could not be built: use the direct method

// One transform of the full length. Returns 0, a negative status (reported), or kNoTables.
template <class D, class TL, class TS, class TY>
int full(const Site& site, const TL* x, int lg, const TS* h, int s, TY* y) {
  using E = typename D::E;
  const int m = lg + s - 1;
  if (m == 1) {
    const double re = reOf(x[0]) * reOf(h[0]) - imOf(x[0]) * imOf(h[0]);
    const double im = reOf(x[0]) * imOf(h[0]) + imOf(x[0]) * reOf(h[0]);
    y[0] = makeElem<TY>(re, im);
    return 0;
  }
  const int order = ceilLog2(static_cast<std::uint64_t>(m));
  const std::size_t n = std::size_t{1} << order;
  D dom;
  if (!dom.plan(order)) return kNoTables;
  Buffer<E> a(n + D::kExtra, true);
  if (!a) return site.report(KVO_StatusOutOfMemory, "NULL Pointer"), KVO_StatusOutOfMemory;
  Buffer<E> b(n + D::kExtra, true);
  if (!b) return site.report(KVO_StatusOutOfMemory, "NULL Pointer"), KVO_StatusOutOfMemory;
  load(x, lg, a.get());
  load(h, s, b.get());
  dom.forward(a.get(), order);
  dom.forward(b.get(), order);
  D::product(a.get(), b.get(), a.get(), order);
  dom.inverse(a.get(), order);
  scaleBy(&reinterpret_cast<RealT<E>*>(a.get())[0], n * Elem<E>::kParts,
          static_cast<RealT<E>>(1.0 / double(n)));
  store(a.get(), m, y);
  return 0;
}

// Overlap-save with blocks of N, the short operand's spectrum made once (with the 1/N factor).
template <class D, class TL, class TS, class TY>
int blocked(const Site& site, const TL* x, int lg, const TS* h, int s, TY* y, int mode) {
  using E = typename D::E;
  const std::int64_t m = std::int64_t{lg} + s - 1;
  int order = floorLog2(static_cast<std::uint64_t>(s)) + 1;  // smallest power of two above s
  if ((std::int64_t{1} << order) < m) ++order;
  if (mode >= 2 && (std::int64_t{1} << order) < m) ++order;
  const std::size_t n = std::size_t{1} << order;
  D dom;
  if (!dom.plan(order)) return kNoTables;
  Buffer<E> k(n + D::kExtra, true);
  if (!k) return site.report(KVO_StatusOutOfMemory, "NULL Pointer"), KVO_StatusOutOfMemory;
  Buffer<E> w(n + D::kExtra, true);
  if (!w) return site.report(KVO_StatusOutOfMemory, "NULL Pointer"), KVO_StatusOutOfMemory;
  load(h, s, k.get());
  dom.forward(k.get(), order);
  scaleBy(&reinterpret_cast<RealT<E>*>(k.get())[0], n * Elem<E>::kParts + D::kExtra,
          static_cast<RealT<E>>(1.0 / double(n)));
  const std::int64_t hop = static_cast<std::int64_t>(n) - s + 1;
  for (std::int64_t start = 0; start < m; start += hop) {
    // Block input: N samples from start - (s - 1), zeros outside the operand (block 0 only
    // takes the first hop samples, so its earlier positions are zero as well).
    const std::int64_t from = start - (s - 1);
    E* wp = w.get();
    const std::int64_t lo = from < 0 ? 0 : from;
    const std::int64_t hi = from + static_cast<std::int64_t>(n) < lg ? from + n : lg;
    const int lead = static_cast<int>(lo - from);
    std::memset(static_cast<void*>(wp), 0, sizeof(E) * static_cast<std::size_t>(lead));
    const int taken = hi > lo ? static_cast<int>(hi - lo) : 0;
    load(x + lo, taken, wp + lead);
    const std::size_t used = static_cast<std::size_t>(lead + taken);
    std::memset(static_cast<void*>(wp + used), 0, sizeof(E) * (n - used));
    dom.forward(wp, order);
    D::product(wp, k.get(), wp, order);
    dom.inverse(wp, order);
    const std::int64_t count = start + hop <= m ? hop : m - start;
    store(wp + (s - 1), static_cast<int>(count), y + start);
  }
  return 0;
}

// ---- the entry --------------------------------------------------------------------------------

// Internal names of one member's methods, for their reports.
struct Names {
  const char* full;
  const char* blocked;
};

// The checks of every convolution entry: all five run; the status is then returned if negative.
template <class TX, class TH, class TY>
int checks(const Site& site, const TX* x, int xLen, const TH* h, int hLen, const TY* y) {
  kvoSetErrStatus(KVO_StatusOk);
  Checks c(site, false);
  c.notNull(x, "x==0")
      .require(xLen >= 1, "xLen<=0")
      .notNull(h, "h==0")
      .require(hLen >= 1, "hLen<=0")
      .notNull(y, "y==0");
  const int status = kvoGetErrStatus();
  return status < 0 ? status : 0;
}

// The convolution of the long operand x (lg) with the short one h (s) by the chosen method, then
// the back-trace report of an inner failure under the public name.
template <class TL, class TS, class TY>
int run(const Site& site, const Rules& rules, const Names& names, const TL* x, int lg, const TS* h,
        int s, TY* y) {
  using R = RealT<TY>;
  int mode = 1;
  const Method method = choose(rules, lg, s, &mode);
  int status = kNoTables;
  constexpr bool kReal = !Elem<TY>::kComplex;
  using D = std::conditional_t<kReal, RealDomain<R>, ComplexDomain<R>>;
  if (method == kFull) {
    status = full<D>(Site{names.full, site.module, __LINE__}, x, lg, h, s, y);
  } else if (method == kBlocked) {
    status = blocked<D>(Site{names.blocked, site.module, __LINE__}, x, lg, h, s, y, mode);
  }
  if (status == kNoTables) {
    direct(x, lg, h, s, y);
    status = 0;
  }
  if (status < 0 || kvoGetErrStatus() < 0) {
    site.report(KVO_StatusBacktrace, nullptr);
    return KVO_StatusBacktrace;
  }
  return 0;
}

// Same-type members: the longer operand (the first on a tie) goes first.
template <class T>
int same(const Site& site, const Rules& rules, const Names& names, const T* x, int xLen, const T* h,
         int hLen, T* y) {
  if (const int status = checks(site, x, xLen, h, hLen, y)) return status;
  if (xLen >= hLen) return run(site, rules, names, x, xLen, h, hLen, y);
  return run(site, rules, names, h, hLen, x, xLen, y);
}

}  // namespace kvo::conv
