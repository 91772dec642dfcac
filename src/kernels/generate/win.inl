// Window kernels for one instruction-set level; included by win_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kernels/ftz.h"
#include "kernels/generate/win.h"

namespace kvo::kern {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Weights are produced this many at a time, then applied to both ends of the vector.
constexpr std::size_t kBlock = 256;

template <class T>
struct Elem {
  using Real = T;
  static constexpr std::size_t parts = 1;
};
template <class R>
struct ComplexElem {
  using Real = R;
  static constexpr std::size_t parts = 2;
};
template <>
struct Elem<ComplexFloat> : ComplexElem<float> {};
template <>
struct Elem<ComplexDouble> : ComplexElem<double> {};
template <>
struct Elem<ComplexShort> : ComplexElem<short> {};
template <class T>
using Real = typename Elem<T>::Real;

// Runs `weight()` once per pair n = 0 .. len/2 - 1 and multiplies elements n and len-1-n (both
// parts of a complex element) by it with `mul(x, w)`.
template <class W, class T, class Gen, class Mul>
KVO_KERNEL_INLINE void applyPairs(T* vec, std::size_t len, Gen& weight, Mul mul) {
  using R = Real<T>;
  constexpr std::size_t P = Elem<T>::parts;
  R* p = reinterpret_cast<R*>(vec);
  const std::size_t half = len / 2;
  W w[kBlock];
  for (std::size_t k = 0; k < half; k += kBlock) {
    const std::size_t m = std::min(kBlock, half - k);
    if constexpr (requires { weight.fill(w, m); }) {
      weight.fill(w, m);
    } else {
      for (std::size_t i = 0; i < m; ++i) w[i] = weight();
    }
    R* front = p + k * P;
    KVO_IVDEP for (std::size_t i = 0; i < m; ++i) {
      for (std::size_t c = 0; c < P; ++c) front[i * P + c] = mul(front[i * P + c], w[i]);
    }
    R* back = p + (len - 1 - k) * P;  // element len-1-k, walking down
    KVO_IVDEP for (std::size_t i = 0; i < m; ++i) {
      R* e = back - static_cast<std::ptrdiff_t>(i * P);
      for (std::size_t c = 0; c < P; ++c) e[c] = mul(e[c], w[i]);
    }
  }
}

// ---- modified Bessel function I0 (Abramowitz and Stegun 9.8.1, 9.8.2) ----

KVO_KERNEL_INLINE double i0Small(double t2) {  // t2 = (x/3.75)^2, |x| < 3.75
  return 1.0 +
         t2 * (3.5156229 +
               t2 * (3.0899424 +
                     t2 * (1.2067492 + t2 * (0.2659732 + t2 * (0.0360768 + t2 * 0.0045813)))));
}
KVO_KERNEL_INLINE double i0Large(double ax) {  // ax = |x| >= 3.75
  const double u = 3.75 / ax;
  const double poly =
      0.39894228 +
      u * (0.01328592 +
           u * (0.00225319 +
                u * (-0.00157565 +
                     u * (0.00916281 +
                          u * (-0.02057706 +
                               u * (0.02635537 + u * (-0.01647633 + u * 0.00392377)))))));
  return std::exp(ax) / std::sqrt(ax) * poly;
}
KVO_KERNEL_INLINE double i0(double x) {
  const double ax = std::fabs(x);
  if (ax < 3.75) {
    const double t = ax / 3.75;
    return i0Small(t * t);
  }
  return i0Large(ax);
}
// I0 from the squared argument: the root is taken only in the large branch.
KVO_KERNEL_INLINE double i0FromSquare(double x2) {
  return x2 < 14.0625 ? i0Small(x2 / 14.0625) : i0Large(std::sqrt(x2));
}

// Kaiser weights I0(beta*sqrt(n*(M-n))) / I0(beta*M/2), the squared argument grown by
// beta^2 * (M - 1 - 2n) from pair n to pair n+1.
struct KaiserWeights {
  double b2, x2 = 0, inv;
  std::size_t m, n = 0;
  KaiserWeights(std::size_t len, double beta)
      : b2(beta * beta), inv(1.0 / i0(beta * static_cast<double>(len - 1) / 2)), m(len - 1) {}
  // The squared arguments of a block first (the only serial part), then the weights: the leading
  // run in the small-argument branch as one branch-free loop, the rest element by element.
  template <class W>
  void fill(W* w, std::size_t count) {
    double xs[kBlock];
    for (std::size_t i = 0; i < count; ++i) {
      xs[i] = x2;
      x2 += b2 * static_cast<double>(m - 1 - 2 * n);
      ++n;
    }
    std::size_t small = 0;
    while (small < count && xs[small] < 14.0625) ++small;
    KVO_IVDEP for (std::size_t i = 0; i < small; ++i) w[i] = i0Small(xs[i] / 14.0625) * inv;
    for (std::size_t i = small; i < count; ++i) w[i] = i0FromSquare(xs[i]) * inv;
  }
};

// ---- floating-point weights ----

// 0.5*cos(n*theta), theta = -2*pi/M, by c(n+1) = 2*cos(theta)*c(n) - c(n-1) from c(0) = 0.5,
// c(-1) = 0.5*cos(theta): one cosine per call. The rounding errors of this recurrence grow with
// the square of n for small theta, so it runs in extended precision where the machine has it (x87
// on x86): the dependency chain costs the same there, and long windows keep about 1e-13 rather
// than 1e-10 (4096 points) or 1e-5 (a million points) in double.
using Wide = long double;
struct HalfCosines {
  Wide coef, c, prev;
  explicit HalfCosines(std::size_t len) {
    const Wide k =
        std::cos(-2 * 3.14159265358979323846264338327950288L / static_cast<Wide>(len - 1));
    coef = 2 * k;
    c = 0.5L;
    prev = 0.5L * k;
  }
  Wide operator()() {
    const Wide cur = c;
    c = coef * cur - prev;
    prev = cur;
    return cur;
  }
};

template <class T>
KVO_KERNEL_INLINE void floatWindow(T* v, std::size_t len, WinKind kind, double param) {
  using R = Real<T>;
  const auto mul = [](R x, double w) { return static_cast<R>(static_cast<double>(x) * w); };
  const double m = static_cast<double>(len - 1);
  switch (kind) {
    case WinKind::Bartlett: {
      const Wide step = 2 / static_cast<Wide>(m);
      auto gen = [w = Wide{0}, step]() mutable {
        const Wide cur = w;
        w += step;
        return static_cast<double>(cur);
      };
      applyPairs<double>(v, len, gen, mul);
      break;
    }
    case WinKind::Hann: {
      auto gen = [c = HalfCosines(len)]() mutable { return static_cast<double>(0.5L - c()); };
      applyPairs<double>(v, len, gen, mul);
      break;
    }
    case WinKind::Hamming: {
      auto gen = [c = HalfCosines(len)]() mutable {
        return static_cast<double>(0.54L - 0.92L * c());
      };
      applyPairs<double>(v, len, gen, mul);
      break;
    }
    case WinKind::Blackman: {
      // (alpha+1)/2 - c - (alpha/2)*cos(2n*theta) with (alpha/2)*cos(2n*theta) = 4*alpha*c^2 -
      // alpha/2, where c = 0.5*cos(n*theta).
      const Wide alpha = param, a0 = (alpha + 1) / 2 + alpha / 2, a2 = 4 * alpha;
      auto gen = [c = HalfCosines(len), a0, a2]() mutable {
        const Wide x = c();
        return static_cast<double>(a0 - x - a2 * x * x);
      };
      applyPairs<double>(v, len, gen, mul);
      break;
    }
    case WinKind::Kaiser: {
      KaiserWeights gen(len, param);
      applyPairs<double>(v, len, gen, mul);
      break;
    }
  }
}

// ---- 16-bit weights ----

// Double to 32-bit integer by truncation, out-of-range values and NaN giving the integer
// indefinite value 0x80000000 as the processor's conversion does.
KVO_KERNEL_INLINE std::int32_t truncToInt(double x) {
  if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
  return static_cast<std::int32_t>(x);
}
template <class W>
KVO_KERNEL_INLINE short saturate(W x) {
  return static_cast<short>(std::clamp<W>(x, -32768, 32767));
}

// amp*cos(n*theta) in Q`q` fixed point for n = 1, 2, 3, ...: two phasors (odd and even n) each
// rotated by 2*theta per step. C and S are cos(theta) and its sine in Q`q` (truncated); the
// rotation by 2*theta is ((C*C - S*S) >> q, (S*C) >> (q-1)). Products are 32 bits wide and every
// rotated component is shifted right by q and saturated to 16 bits.
struct FixedCosines {
  std::int32_t re[2], im[2], rc, rs, q, pending = 0;
  bool havePending = false;
  FixedCosines(std::size_t len, std::int32_t amp, std::int32_t shift) : q(shift) {
    const double k = std::cos(2 * kPi / static_cast<double>(len - 1));
    const double unit = static_cast<double>(1 << q);
    const std::int32_t c = truncToInt(unit * k), s = truncToInt(unit * std::sqrt(1 - k * k));
    rc = (c * c - s * s) >> q;
    rs = (s * c) >> (q - 1);
    re[0] = (amp * c) >> q;  // n = 1
    im[0] = (amp * s) >> q;
    re[1] = (amp * rc) >> q;  // n = 2
    im[1] = (amp * rs) >> q;
  }
  // Both phasors advance together (two independent chains), handing out n and then n+1.
  std::int32_t operator()() {
    if (havePending) {
      havePending = false;
      return pending;
    }
    const std::int32_t out = re[0];
    pending = re[1];
    havePending = true;
    for (int l = 0; l < 2; ++l) {
      const std::int64_t a = re[l], b = im[l];
      re[l] = saturate<std::int64_t>((a * rc - b * rs) >> q);
      im[l] = saturate<std::int64_t>((a * rs + b * rc) >> q);
    }
    return out;
  }
};

// Weight of pair 0, then `rest(h)` of the fixed-point cosine h of each later pair.
template <class W, class Rest>
struct FixedWeights {
  FixedCosines h;
  W first;
  Rest rest;
  bool started = false;
  W operator()() {
    if (!started) {
      started = true;
      return first;
    }
    return rest(h());
  }
};

template <int Shift, class W>
KVO_KERNEL_INLINE auto fixedMul() {
  return [](short x, W w) { return saturate<W>((static_cast<W>(x) * w) >> Shift); };
}

template <class T>
KVO_KERNEL_INLINE void shortWindow(T* v, std::size_t len, WinKind kind, double param) {
  using I32 = std::int32_t;
  using I64 = std::int64_t;
  const std::size_t m = len - 1;
  if (kind == WinKind::Blackman && std::fabs(param) < 1e-5) kind = WinKind::Hann;
  switch (kind) {
    case WinKind::Bartlett: {
      // 2/M in units of 2^-15, truncated. The step vanishes beyond M = 65536, where the 15-bit
      // weights cannot resolve the window any more: such vectors keep only their middle.
      const I32 step = static_cast<I32>(65536 / m);
      auto gen = [w = I32{0}, step]() mutable {
        const I32 cur = w;
        w += step;
        return cur;
      };
      applyPairs<I32>(v, len, gen, fixedMul<15, I32>());
      break;
    }
    case WinKind::Hann: {
      auto rest = [](I32 c) { return (32768 - c) >> 1; };
      FixedWeights<I32, decltype(rest)> gen{FixedCosines(len, 32768, 15), 0, rest};
      applyPairs<I32>(v, len, gen, fixedMul<15, I32>());
      break;
    }
    case WinKind::Hamming: {
      // 0.54 rounded up and 0.46 truncated, in Q15, so the centre weight is exactly 32768; the
      // edge weight is 0.08.
      auto rest = [](I32 h) { return 17695 - h; };
      FixedWeights<I32, decltype(rest)> gen{FixedCosines(len, 15073, 15), 2622, rest};
      applyPairs<I32>(v, len, gen, fixedMul<15, I32>());
      break;
    }
    case WinKind::Blackman: {
      // In Q14, w = K0 - alpha*(c + 1/(4*alpha))^2 * 16384 with u = sqrt|alpha|*(c + 1/(4*alpha)):
      // the square is subtracted for alpha >= 0 and added for alpha < 0. Weights and products
      // are 64 bits wide, and u and w are bounded where any bound is far beyond saturation, so
      // an absurd alpha gives saturated results rather than wrapped ones.
      const double root = std::sqrt(std::fabs(param));
      const I64 k0 = truncToInt(1024 * (16 * param + 8 + 1 / param));
      const I64 k1 = truncToInt(4096 * root / param);
      const I64 k2 = truncToInt(16384 * root);
      const bool negative = std::signbit(param);
      auto rest = [k0, k1, k2, negative](I32 c) {
        constexpr I64 kBoundU = I64{1} << 31, kBoundW = I64{1} << 40;
        const I64 u = std::clamp(((k2 * c) >> 14) + k1, -kBoundU, kBoundU);
        const I64 uu = (u * u) >> 14;
        return std::clamp(negative ? k0 + uu : k0 - uu, -kBoundW, kBoundW);
      };
      FixedWeights<I64, decltype(rest)> gen{FixedCosines(len, 16384, 14), 0, rest};
      applyPairs<I64>(v, len, gen, fixedMul<14, I64>());
      break;
    }
    case WinKind::Kaiser: {
      KaiserWeights gen(len, param);
      // Nearest integer in the current rounding mode; NaN (from a NaN beta) gives 0.
      auto mul = [](short x, double w) {
        const double r = std::nearbyint(static_cast<double>(x) * w);
        return r == r ? static_cast<short>(std::clamp(r, -32768.0, 32767.0)) : short{0};
      };
      applyPairs<double>(v, len, gen, mul);
      break;
    }
  }
}

}  // namespace

template <Isa I, class T>
void windowK(T* v, std::size_t len, WinKind kind, double param) {
  // Subnormal samples, and products that underflow near the window's ends, would each cost a
  // microcode assist; they are taken as zero instead.
  const FlushDenormals ftz;
  floatWindow(v, len, kind, param);
}

template <Isa I, class T>
void windowShortK(T* v, std::size_t len, WinKind kind, double param) {
  shortWindow(v, len, kind, param);
}

template void windowK<KVO_ISA, float>(float*, std::size_t, WinKind, double);
template void windowK<KVO_ISA, double>(double*, std::size_t, WinKind, double);
template void windowK<KVO_ISA, ComplexFloat>(ComplexFloat*, std::size_t, WinKind, double);
template void windowK<KVO_ISA, ComplexDouble>(ComplexDouble*, std::size_t, WinKind, double);
template void windowShortK<KVO_ISA, short>(short*, std::size_t, WinKind, double);
template void windowShortK<KVO_ISA, ComplexShort>(ComplexShort*, std::size_t, WinKind, double);

}  // namespace kvo::kern
