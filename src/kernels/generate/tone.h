// Tone generator kernels.
//
// Float and double members: y[n] = coef*y[n-1] - y[n-2] in double precision, never re-anchored, so
// a block equals the same number of single calls bit for bit. Each sample depends on the one before
// it, so the loop is bound by the latency of one multiply and one subtract; the complex members run
// their real and imaginary recurrences side by side.
//
// 16-bit members: two phasors hold samples n and n+1 of the tone scaled by 2^shift; each advances
// by a rotation of 2w in Q14 (the packed 16-bit multiply-add form: 32-bit products and sums,
// arithmetic shift by 14, saturation to 16 bits). Phasor 0 always holds the next sample.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/complex.h"
#include "kernels/ftz.h"
#include "kernels/generate/genfield.h"
#include "kvo.h"

namespace kvo::kern::tone {

inline constexpr char kMarker[4] = {'Q', 'R', 'Z', '\0'};

inline bool initialised(const ToneState& st) {
  return std::memcmp(st.marker, kMarker, sizeof kMarker) == 0;
}

// Float and double members. F is the type of the stored Init arguments.
template <class F>
void initFloat(ToneState& st, double rFreq, double phase, double mag, bool complex) {
  std::memset(static_cast<void*>(&st), 0, sizeof st);
  gen::field<F>(st.mag) = static_cast<F>(mag);
  gen::field<F>(st.rFreq) = static_cast<F>(rFreq);
  gen::field<F>(st.phase) = static_cast<F>(phase);
  std::memcpy(st.marker, kMarker, sizeof kMarker);
  const double w = 2 * gen::kPi * rFreq;
  st.coef = 2 * std::cos(w);
  st.prev1.re = mag * std::cos(phase - w);
  st.prev2.re = mag * std::cos(phase - 2 * w);
  if (complex) {
    st.prev1.im = mag * std::sin(phase - w);
    st.prev2.im = mag * std::sin(phase - 2 * w);
  }
  st.cacheIndex = 32;
}

template <class T>
void realBlock(ToneState& st, T* y, std::size_t n) {
  const FlushDenormals ftz;
  const double c = st.coef;
  double p1 = st.prev1.re, p2 = st.prev2.re;
  for (std::size_t i = 0; i < n; ++i) {
    const double v = c * p1 - p2;
    p2 = p1;
    p1 = v;
    y[i] = static_cast<T>(v);
  }
  st.prev1.re = p1;
  st.prev2.re = p2;
}

template <class C>
void complexBlock(ToneState& st, C* y, std::size_t n) {
  using R = decltype(C::re);
  const FlushDenormals ftz;
  const double c = st.coef;
  double r1 = st.prev1.re, r2 = st.prev2.re, i1 = st.prev1.im, i2 = st.prev2.im;
  for (std::size_t k = 0; k < n; ++k) {
    const double re = c * r1 - r2;
    const double im = c * i1 - i2;
    r2 = r1;
    r1 = re;
    i2 = i1;
    i1 = im;
    y[k] = C{static_cast<R>(re), static_cast<R>(im)};
  }
  st.prev1 = {r1, i1};
  st.prev2 = {r2, i2};
}

template <class T>
void floatBlock(ToneState& st, T* y, std::size_t n) {
  if constexpr (kIsComplex<T>) {
    complexBlock(st, y, n);
  } else {
    realBlock(st, y, n);
  }
}

// ---- 16-bit members ----

// Q14 value of x in the current rounding mode.
inline int q14(double x) { return static_cast<int>(std::nearbyint(x * 16384.0)); }

// p / 2^14 for the initial phasors: negative products are biased by 2^14 before the shift.
inline int div14(int p) { return p < 0 ? (p + 16384) >> 14 : p >> 14; }

inline short sat16(std::int32_t x) { return static_cast<short>(std::clamp(x, -32768, 32767)); }

inline void initShort(ToneState& st, float rFreq, float phase, short mag) {
  std::memset(static_cast<void*>(&st), 0, sizeof st);
  st.rFreq.f = rFreq;
  st.phase.f = phase;
  st.wMag = mag;
  std::memcpy(st.marker, kMarker, sizeof kMarker);
  // The tone is computed at mag*2^s, between 16384 and 32767. A zero magnitude has no such s; it
  // takes the shift of magnitude 1, and its phasors are zero, so the tone is all zeros.
  int s = 0;
  if (mag == 0) {
    s = 14;
  } else if (mag < 16384) {
    s = 1;
    while ((mag << s) < 16384) ++s;
  }
  st.shift = s;
  for (short& r : st.rounding) r = static_cast<short>(1 << s);
  const int scaled = mag << s;
  const double w = 2 * gen::kPi * static_cast<double>(rFreq);
  const int c2 = q14(std::cos(2 * w)), s2 = q14(std::sin(2 * w));
  st.rotation[0] = static_cast<short>(c2);
  st.rotation[1] = static_cast<short>(-s2);
  st.rotation[2] = static_cast<short>(s2);
  st.rotation[3] = static_cast<short>(c2);
  for (int n = 0; n < 2; ++n) {
    const double theta = w * n + static_cast<double>(phase);
    st.phasor[n].re = static_cast<short>(div14(scaled * q14(std::cos(theta))));
    st.phasor[n].im = static_cast<short>(div14(scaled * q14(std::sin(theta))));
  }
  st.cacheIndex = 32;
}

struct Rotation {
  std::int32_t c, ms, s, c2;  // cos, -sin, sin, cos as stored
  explicit Rotation(const ToneState& st)
      : c(st.rotation[0]), ms(st.rotation[1]), s(st.rotation[2]), c2(st.rotation[3]) {}
  ComplexShort apply(ComplexShort p) const {
    const std::int32_t re = p.re, im = p.im;
    return {sat16((re * c + im * ms) >> 14), sat16((re * s + im * c2) >> 14)};
  }
};

// A phasor value scaled back by 2^-s: biased by 2^s when negative, then shifted arithmetically.
struct Descale {
  int s;
  std::int32_t bias;
  explicit Descale(const ToneState& st)
      : s(std::clamp(st.shift, 0, 15)), bias(std::int32_t{1} << s) {}
  short operator()(short x) const {
    const std::int32_t v = x;
    return static_cast<short>((v < 0 ? v + bias : v) >> s);
  }
};

inline void put(short& y, ComplexShort p, const Descale& d) { y = d(p.re); }
inline void put(ComplexShort& y, ComplexShort p, const Descale& d) { y = {d(p.re), d(p.im)}; }

// Samples straight from the phasors; two per pass, one phasor each.
template <class T>
void shortBlock(ToneState& st, T* y, std::size_t n) {
  const Rotation rot(st);
  const Descale d(st);
  ComplexShort a = st.phasor[0], b = st.phasor[1];
  std::size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    put(y[i], a, d);
    put(y[i + 1], b, d);
    a = rot.apply(a);
    b = rot.apply(b);
  }
  if (i < n) {
    put(y[i], a, d);
    const ComplexShort next = rot.apply(a);
    a = b;
    b = next;
  }
  st.phasor[0] = a;
  st.phasor[1] = b;
}

// Single samples come from the cache, refilled 32 at a time. An index outside 0..31 (a record
// set up for another member, or damaged) counts as an empty cache.
template <class T>
T shortSingle(ToneState& st) {
  int k = st.cacheIndex;
  if (k < 0 || k >= 32) {
    shortBlock(st, st.cache, 32);
    k = 0;
  }
  st.cacheIndex = k + 1;
  if constexpr (sizeof(T) == sizeof(short)) {
    return st.cache[k].re;
  } else {
    return st.cache[k];
  }
}

}  // namespace kvo::kern::tone
