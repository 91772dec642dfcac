// Building blocks shared by convolution, correlation and two-dimensional filtering: element
// traits, the direct sliding products over planar coefficients, and the FFT steps used by the
// transform methods (on the library's own kernels and per-thread tables).
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kernels/complex.h"
#include "kernels/conv/slide.h"
#include "kernels/transform/fft.h"
#include "kernels/vector/arith.h"
#include "kvo.h"
#include "transform/fftframe.h"
#include "transform/tables.h"

namespace kvo::conv {

// Element traits: the real type, whether complex, and the matching complex record.
template <class T>
struct Elem {
  using R = T;
  static constexpr bool kComplex = false;
  static constexpr int kParts = 1;
};
template <>
struct Elem<ComplexFloat> {
  using R = float;
  static constexpr bool kComplex = true;
  static constexpr int kParts = 2;
};
template <>
struct Elem<ComplexDouble> {
  using R = double;
  static constexpr bool kComplex = true;
  static constexpr int kParts = 2;
};
template <class T>
using RealT = typename Elem<T>::R;
template <class R>
using ComplexOf = std::conditional_t<sizeof(R) == sizeof(float), ComplexFloat, ComplexDouble>;

template <class T>
double reOf(const T& v) {
  if constexpr (Elem<T>::kComplex) {
    return v.re;
  } else {
    return v;
  }
}
template <class T>
double imOf(const T& v) {
  if constexpr (Elem<T>::kComplex) {
    return v.im;
  } else {
    return 0.0;
  }
}
template <class T>
T makeElem(double re, double im) {
  if constexpr (Elem<T>::kComplex) {
    return {static_cast<RealT<T>>(re), static_cast<RealT<T>>(im)};
  } else {
    (void)im;
    return static_cast<T>(re);
  }
}

// Heap blocks released on scope exit (the runtime heap: these are work arrays, not tables).
template <class T>
class Buffer {
 public:
  explicit Buffer(std::size_t n, bool zeroed = false)
      : p_(static_cast<T*>(n == 0   ? nullptr
                           : zeroed ? std::calloc(n, sizeof(T))
                                    : std::malloc(n * sizeof(T)))) {}
  ~Buffer() { std::free(p_); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T& operator[](std::size_t i) const { return p_[i]; }

 private:
  T* p_;
};

// Coefficients in planar form: re and (for complex ones) im parts, of the real type R.
template <class R>
struct Planar {
  const R* re;
  const R* im;  // null for real coefficients
  int n;
};

// out[j] = sum over k < c.n of c[k] * b[j + k] for j < count, b of `bParts` interleaved parts;
// out holds count values of parts max(cParts, bParts), interleaved, in Acc.
template <class R, class Acc>
void slideAny(const Planar<R>& c, const R* b, int bParts, int count, Acc* out) {
  if (c.im == nullptr) {
    kern::slide<R, Acc>(c.re, c.n, b, bParts, count * bParts, out, false);
    return;
  }
  constexpr int kChunk = 512;
  Acc p[2 * kChunk], q[2 * kChunk];
  for (int j0 = 0; j0 < count; j0 += kChunk) {
    const int m = count - j0 < kChunk ? count - j0 : kChunk;
    const R* bj = b + static_cast<std::ptrdiff_t>(j0) * bParts;
    Acc* o = out + 2 * static_cast<std::ptrdiff_t>(j0);
    kern::slide<R, Acc>(c.re, c.n, bj, bParts, m * bParts, p, false);
    kern::slide<R, Acc>(c.im, c.n, bj, bParts, m * bParts, q, false);
    if (bParts == 1) {
      for (int j = 0; j < m; ++j) {
        o[2 * j] = p[j];
        o[2 * j + 1] = q[j];
      }
    } else {
      for (int j = 0; j < m; ++j) {
        o[2 * j] = p[2 * j] - q[2 * j + 1];
        o[2 * j + 1] = p[2 * j + 1] + q[2 * j];
      }
    }
  }
}

// Copies n elements of T into R parts at dst (a complex element takes two).
template <class T>
void toParts(const T* src, int n, RealT<T>* dst) {
  std::memcpy(dst, src, sizeof(T) * static_cast<std::size_t>(n));
}

// ---- FFT steps --------------------------------------------------------------------------------

inline int ceilLog2(std::uint64_t n) {
  int r = 0;
  while ((std::uint64_t{1} << r) < n) ++r;
  return r;
}
inline int floorLog2(std::uint64_t n) {
  int r = 0;
  while (n >= 2) {
    n >>= 1;
    ++r;
  }
  return r;
}

// Operation counts of the correlation and 2-D filtering cost models: a transform of m points,
// and the two packed-spectrum products.
inline double lgCount(double m) { return m < 2 ? 0 : std::floor(std::log2(m)); }
inline double fftCost(double m) { return 24 * std::floor(lgCount(m) * m / 2); }
inline double mpy0(double m) { return m == 1 ? 8 : 8 + 40 * (std::floor(m / 2) - 1); }
inline double mpy1(double m) { return m == 1 ? 8 : 8 + 36 * (std::floor(m / 2) - 1); }

// The tables of a real transform of 2^order values (no tables below order 2); false when the
// thread's tables cannot be built.
template <class C>
bool realPlan(int order, fft::RealTables& t) {
  t = fft::realTables<C>(order);
  return order < 2 || (t.twiddles != nullptr && t.recombination != nullptr);
}

// Complex transforms in bit-reversed order (products are element-wise, so order does not matter).
template <class C>
const RealT<C>* complexPlan(int order) {
  return tables::complexFftTables<C>(order, false);
}
template <class C>
void complexForward(const C* src, C* dst, int order, const RealT<C>* tw) {
  if (order == 0) {
    dst[0] = src[0];
    return;
  }
  kern::complexFft(&src->re, &dst->re, order, kern::kFftOutBitRev, false, tw);
}
template <class C>
void complexInverse(const C* src, C* dst, int order, const RealT<C>* tw) {
  if (order == 0) {
    dst[0] = src[0];
    return;
  }
  kern::complexFft(&src->re, &dst->re, order, kern::kFftInBitRev, true, tw);
}

// v[k] *= s for n real values.
template <class R>
void scaleBy(R* v, std::size_t n, R s) {
  kern::binaryScalar<kern::Mpy>(v, s, v, static_cast<int>(n));
}

}  // namespace kvo::conv
