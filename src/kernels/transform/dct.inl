// DCT kernels for one instruction-set level; included by dct_<level>.cpp after KVO_ISA is
// defined. See isa.h for the rules these files follow and dct.h for the methods.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "kernels/transform/dct.h"

namespace kvo::kern {
namespace {

// cos(pi/4): the size-2 stage, as a secant of the arithmetic.
template <class S>
constexpr S kHalfRoot2 = static_cast<S>(0.70710678118654752440);
template <>
constexpr std::int32_t kHalfRoot2<std::int32_t> = 47453133;  // Q26

// Value times secant, in the policy's arithmetic (fixed point rounds to nearest). R may also be a
// vector of doubles, whose lanes all take the same secant.
template <class R>
KVO_KERNEL_INLINE R mulSec(R v, DctSecant<R> s) {
  if constexpr (std::is_same_v<R, DctFixed>) {
    return (v * s + (DctFixed{1} << (kDctSecantQ - 1))) >> kDctSecantQ;
  } else {
    return v * s;
  }
}

// Sizes up to kFixedSize run as compile-time sizes (F = n), so their loops unroll fully; larger
// sizes recurse with F = 0.
constexpr std::size_t kFixedSize = 16;

template <class R, std::size_t F = 0>
void forward(R* d, R* t, std::size_t size, const DctSecant<R>* sec) {
  const std::size_t n = F ? F : size;
  if constexpr (F == 0) {
    if (n <= kFixedSize) {
      if (n == 16) forward<R, 16>(d, t, n, sec);
      if (n == 8) forward<R, 8>(d, t, n, sec);
      if (n == 4) forward<R, 4>(d, t, n, sec);
      if (n == 2) forward<R, 2>(d, t, n, sec);
      return;
    }
  }
  if (n == 2) {
    const R a = d[0], b = d[1];
    d[0] = a + b;
    d[1] = mulSec<R>(a - b, kHalfRoot2<DctSecant<R>>);
    return;
  }
  const std::size_t h = n / 2;
  const DctSecant<R>* s = sec + dctSecantOffset(n);
  KVO_IVDEP
  for (std::size_t i = 0; i < h; ++i) {
    const R a = d[i], b = d[n - 1 - i];
    t[i] = a + b;
    t[h + i] = mulSec<R>(a - b, s[i]);
  }
  constexpr std::size_t G = F == 2 ? F : F / 2;  // F = 2 returned above
  forward<R, G>(t, d, h, sec);
  forward<R, G>(t + h, d + h, h, sec);
  KVO_IVDEP
  for (std::size_t k = 0; k + 1 < h; ++k) {
    d[2 * k] = t[k];
    d[2 * k + 1] = t[h + k] + t[h + k + 1];
  }
  d[n - 2] = t[h - 1];
  d[n - 1] = t[n - 1];
}

template <class R, std::size_t F = 0>
void inverse(R* d, R* t, std::size_t size, const DctSecant<R>* sec) {
  const std::size_t n = F ? F : size;
  if constexpr (F == 0) {
    if (n <= kFixedSize) {
      if (n == 16) inverse<R, 16>(d, t, n, sec);
      if (n == 8) inverse<R, 8>(d, t, n, sec);
      if (n == 4) inverse<R, 4>(d, t, n, sec);
      if (n == 2) inverse<R, 2>(d, t, n, sec);
      return;
    }
  }
  if (n == 2) {
    const R a = d[0], b = mulSec<R>(d[1], kHalfRoot2<DctSecant<R>>);
    d[0] = a + b;
    d[1] = a - b;
    return;
  }
  const std::size_t h = n / 2;
  const DctSecant<R>* s = sec + dctSecantOffset(n);
  t[0] = d[0];
  t[h] = d[1];
  KVO_IVDEP
  for (std::size_t k = 1; k < h; ++k) {
    t[k] = d[2 * k];
    t[h + k] = d[2 * k + 1] + d[2 * k - 1];
  }
  constexpr std::size_t G = F == 2 ? F : F / 2;  // F = 2 returned above
  inverse<R, G>(t, d, h, sec);
  inverse<R, G>(t + h, d + h, h, sec);
  KVO_IVDEP
  for (std::size_t i = 0; i < h; ++i) {
    const R a = t[i], b = mulSec<R>(t[h + i], s[i]);
    d[i] = a + b;
    d[n - 1 - i] = a - b;
  }
}

// ---- lanes of doubles --------------------------------------------------------------------------
//
// For n >= 16 L the recursion runs on vectors of L doubles. Each stage above the leaves is one pass
// of whole vectors (the mirrored operand of a butterfly read backwards and its lanes reversed, the
// interleaving and the neighbour sums done with shuffles). The leaves of 16 points go L at a time:
// the L neighbouring blocks of 16 are transposed so that lane j holds block j, the 16-point method
// runs on whole vectors with every lane taking the same secants, and the result is transposed
// back. Blocks of 16 L points run their stages breadth-first; larger sizes recurse depth-first so
// that the data of the lower stages stays in the first-level cache.

template <int L>
struct LanesOf;
template <>
struct LanesOf<2> {
  typedef double V __attribute__((vector_size(16)));
  typedef float F __attribute__((vector_size(8)));
};
#if defined(__AVX2__)
template <>
struct LanesOf<4> {
  typedef double V __attribute__((vector_size(32)));
  typedef float F __attribute__((vector_size(16)));
};
#endif
#if defined(__AVX512F__)
template <>
struct LanesOf<8> {
  typedef double V __attribute__((vector_size(64)));
  typedef float F __attribute__((vector_size(32)));
};
constexpr int kMaxLanes = 8;
#elif defined(__AVX2__)
constexpr int kMaxLanes = 4;
#else
constexpr int kMaxLanes = 2;
#endif

// Lane index lists of the shuffles (a | b numbered 0 .. 2L-1).
constexpr int reverseLane(int s, int l) { return l - 1 - s; }
constexpr int zipLane(int s, int l, int half) { return (s % 2) * l + half * l / 2 + s / 2; }
constexpr int unzipLane(int s, int part) { return 2 * s + part; }
constexpr int shiftInLane(int s, int l) { return s == 0 ? l - 1 : l + s - 1; }
constexpr int shiftOutLane(int s) { return s + 1; }
constexpr int transposeLane(int s, int b, int l, bool high) {
  return high ? ((s & b) ? l + s : s + b) : ((s & b) ? l + s - b : s);
}

template <int L>
struct Lanes {
  using V = typename LanesOf<L>::V;
  using F = typename LanesOf<L>::F;
  static constexpr std::size_t kLeaf = 16;
  static constexpr std::size_t kBlock = kLeaf * L;
  using Index = std::make_index_sequence<L>;

  template <class R>
  static V load(const R* p) {
    if constexpr (std::is_same_v<R, double>) {
      V v;
      std::memcpy(&v, p, sizeof v);
      return v;
    } else {
      F f;
      std::memcpy(&f, p, sizeof f);
      return __builtin_convertvector(f, V);
    }
  }
  template <class R>
  static void store(R* p, V v) {
    if constexpr (std::is_same_v<R, double>) {
      std::memcpy(p, &v, sizeof v);
    } else {
      const F f = __builtin_convertvector(v, F);
      std::memcpy(p, &f, sizeof f);
    }
  }
  static V splat(double x) {
    V v;
    for (int i = 0; i < L; ++i) v[i] = x;
    return v;
  }

  template <std::size_t... S>
  static V reverse(V a, std::index_sequence<S...>) {
    return __builtin_shufflevector(a, a, reverseLane(S, L)...);
  }
  template <int kHalf, std::size_t... S>
  static V zip(V a, V b, std::index_sequence<S...>) {
    return __builtin_shufflevector(a, b, zipLane(S, L, kHalf)...);
  }
  template <int kPart, std::size_t... S>
  static V unzip(V a, V b, std::index_sequence<S...>) {
    return __builtin_shufflevector(a, b, unzipLane(S, kPart)...);
  }
  // (prev[L-1], v[0], ..., v[L-2]) and (v[1], ..., v[L-1], next[0]).
  template <std::size_t... S>
  static V shiftIn(V prev, V v, std::index_sequence<S...>) {
    return __builtin_shufflevector(prev, v, shiftInLane(S, L)...);
  }
  template <std::size_t... S>
  static V shiftOut(V v, V next, std::index_sequence<S...>) {
    return __builtin_shufflevector(v, next, shiftOutLane(S)...);
  }
  template <int B, std::size_t... S>
  static void transposeStep(V* r, std::index_sequence<S...>) {
    for (int i = 0; i < L; ++i) {
      if (i & B) continue;
      const V x = r[i], y = r[i + B];
      r[i] = __builtin_shufflevector(x, y, transposeLane(S, B, L, false)...);
      r[i + B] = __builtin_shufflevector(x, y, transposeLane(S, B, L, true)...);
    }
  }
  static void transpose(V* r) {
    transposeStep<L / 2>(r, Index{});
    if constexpr (L >= 4) transposeStep<L / 4>(r, Index{});
    if constexpr (L >= 8) transposeStep<L / 8>(r, Index{});
  }

  // The filler of the missing neighbour of the last odd output and of the first odd input: x +
  // (-0) is x for every x, zeros of either sign included.
  static V negativeZero() { return splat(-0.0); }

  // Forward split of one stage: t = sums, t + h = differences times the secants. With In = float
  // the top stage converts on the way.
  template <class In>
  static void split(const In* d, double* t, std::size_t n, const double* s) {
    const std::size_t h = n / 2;
    for (std::size_t i = 0; i < h; i += L) {
      const V a = load(d + i), b = reverse(load(d + n - L - i), Index{});
      store(t + i, a + b);
      store(t + h + i, (a - b) * load(s + i));
    }
  }
  // Forward merge: even outputs from t, odd ones the neighbour sums of t + h; the top stage also
  // applies the orthonormal factors (kScale) and converts to the output type.
  template <bool kScale, class Out>
  static void merge(const double* t, Out* d, std::size_t n, double f0, double f1) {
    const std::size_t h = n / 2;
    const V scale = splat(f1);
    V first = scale;
    first[0] = f0;
    V y = load(t + h);
    for (std::size_t k = 0; k < h; k += L) {
      const V next = k + L < h ? load(t + h + k + L) : negativeZero();
      V e = load(t + k), o = y + shiftOut(y, next, Index{});
      y = next;
      V lo = zip<0>(e, o, Index{}), hi = zip<1>(e, o, Index{});
      if constexpr (kScale) {
        lo *= k == 0 ? first : scale;
        hi *= scale;
      }
      store(d + 2 * k, lo);
      store(d + 2 * k + L, hi);
    }
  }
  // Inverse gather of one stage: t = even inputs, t + h = sums of neighbouring odd inputs; the top
  // stage first applies the orthonormal factors (kScale) and converts from the input type.
  template <bool kScale, class In>
  static void gather(const In* d, double* t, std::size_t n, double f0, double f1) {
    const std::size_t h = n / 2;
    const V scale = splat(f1);
    V first = scale;
    first[0] = f0;
    V prev = negativeZero();
    for (std::size_t k = 0; k < h; k += L) {
      V q0 = load(d + 2 * k), q1 = load(d + 2 * k + L);
      if constexpr (kScale) {
        q0 *= k == 0 ? first : scale;
        q1 *= scale;
      }
      const V o = unzip<1>(q0, q1, Index{});
      store(t + k, unzip<0>(q0, q1, Index{}));
      store(t + h + k, o + shiftIn(prev, o, Index{}));
      prev = o;
    }
  }
  // Inverse butterflies of one stage from t into d (converting at the top stage).
  template <class Out>
  static void unsplit(const double* t, Out* d, std::size_t n, const double* s) {
    const std::size_t h = n / 2;
    for (std::size_t i = 0; i < h; i += L) {
      const V a = load(t + i), b = load(t + h + i) * load(s + i);
      store(d + i, a + b);
      store(d + n - L - i, reverse(a - b, Index{}));
    }
  }

  // The 16-point method on L neighbouring blocks of 16 at p, in place.
  template <bool kInverse>
  static void leaves(double* p, const double* sec) {
    V x[kLeaf], scratch[kLeaf], r[L];
    for (std::size_t c = 0; c < kLeaf; c += L) {
      for (int j = 0; j < L; ++j) r[j] = load(p + j * kLeaf + c);
      transpose(r);
      for (int j = 0; j < L; ++j) x[c + j] = r[j];
    }
    if constexpr (kInverse) {
      inverse<V, kLeaf>(x, scratch, kLeaf, sec);
    } else {
      forward<V, kLeaf>(x, scratch, kLeaf, sec);
    }
    for (std::size_t c = 0; c < kLeaf; c += L) {
      for (int j = 0; j < L; ++j) r[j] = x[c + j];
      transpose(r);
      for (int j = 0; j < L; ++j) store(p + j * kLeaf + c, r[j]);
    }
  }

  // A block of kBlock points in place on d (t scratch), its stages breadth-first: log2(L) stages
  // down to L blocks of 16, the leaves, and the stages back up; the buffers swap at every stage,
  // an even number of times.
  static void forwardBlock(double* d, double* t, const double* sec) {
    double* cur = d;
    double* other = t;
    for (std::size_t size = kBlock; size > kLeaf; size /= 2) {
      for (std::size_t o = 0; o < kBlock; o += size) {
        split(cur + o, other + o, size, sec + dctSecantOffset(size));
      }
      std::swap(cur, other);
    }
    leaves<false>(cur, sec);
    for (std::size_t size = 2 * kLeaf; size <= kBlock; size *= 2) {
      for (std::size_t o = 0; o < kBlock; o += size) merge<false>(cur + o, other + o, size, 0, 0);
      std::swap(cur, other);
    }
  }
  static void inverseBlock(double* d, double* t, const double* sec) {
    double* cur = d;
    double* other = t;
    for (std::size_t size = kBlock; size > kLeaf; size /= 2) {
      for (std::size_t o = 0; o < kBlock; o += size) gather<false>(cur + o, other + o, size, 0, 0);
      std::swap(cur, other);
    }
    leaves<true>(cur, sec);
    for (std::size_t size = 2 * kLeaf; size <= kBlock; size *= 2) {
      for (std::size_t o = 0; o < kBlock; o += size) {
        unsplit(cur + o, other + o, size, sec + dctSecantOffset(size));
      }
      std::swap(cur, other);
    }
  }

  static void forwardStages(double* d, double* t, std::size_t n, const double* sec) {
    if (n == kBlock) return forwardBlock(d, t, sec);
    const std::size_t h = n / 2;
    split(d, t, n, sec + dctSecantOffset(n));
    forwardStages(t, d, h, sec);
    forwardStages(t + h, d + h, h, sec);
    merge<false>(t, d, n, 0, 0);
  }
  static void inverseStages(double* d, double* t, std::size_t n, const double* sec) {
    if (n == kBlock) return inverseBlock(d, t, sec);
    const std::size_t h = n / 2;
    gather<false>(d, t, n, 0, 0);
    inverseStages(t, d, h, sec);
    inverseStages(t + h, d + h, h, sec);
    unsplit(t, d, n, sec + dctSecantOffset(n));
  }

  // The whole orthonormal transform for n >= kBlock: the top stage reads src and writes dst,
  // converting and scaling on the way; n = kBlock goes through the work buffer.
  template <class R>
  static void run(const R* src, R* dst, double* w, std::size_t n, const double* sec, bool inv,
                  double f0, double f1) {
    double* t = w + n;
    const std::size_t h = n / 2;
    if (n == kBlock) {
      for (std::size_t k = 0; k < n; ++k) w[k] = inv ? src[k] * (k == 0 ? f0 : f1) : src[k];
      if (inv) {
        inverseBlock(w, t, sec);
        for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<R>(w[k]);
      } else {
        forwardBlock(w, t, sec);
        for (std::size_t k = 0; k < n; ++k) dst[k] = static_cast<R>(w[k] * (k == 0 ? f0 : f1));
      }
    } else if (inv) {
      gather<true>(src, t, n, f0, f1);
      inverseStages(t, w, h, sec);
      inverseStages(t + h, w + h, h, sec);
      unsplit(t, dst, n, sec + dctSecantOffset(n));
    } else {
      split(src, t, n, sec + dctSecantOffset(n));
      forwardStages(t, w, h, sec);
      forwardStages(t + h, w + h, h, sec);
      merge<true>(t, dst, n, f0, f1);
    }
  }
};

// The widest lanes whose block fits n, or false when n is below the smallest block.
template <class R, int L = kMaxLanes>
bool runLanes(const R* src, R* dst, double* w, std::size_t n, const double* sec, bool inv,
              double f0, double f1) {
  if (n >= Lanes<L>::kBlock) {
    Lanes<L>::run(src, dst, w, n, sec, inv, f0, f1);
    return true;
  }
  if constexpr (L > 2) {
    return runLanes<R, L / 2>(src, dst, w, n, sec, inv, f0, f1);
  } else {
    return false;
  }
}

KVO_KERNEL_INLINE std::size_t wrap(std::size_t idx, std::size_t m) {
  return idx >= m ? idx - m : idx;
}

}  // namespace

template <Isa I, class R>
void dctFastK(R* d, R* t, std::size_t n, const DctSecant<R>* sec, bool inv) {
  if (n < 2) return;
  if (inv) {
    inverse(d, t, n, sec);
  } else {
    forward(d, t, n, sec);
  }
}

template <Isa I, class R>
void dctFastOrthoK(const R* src, R* dst, double* w, std::size_t n, const double* sec, bool inv,
                   double f0, double f1) {
  if (runLanes(src, dst, w, n, sec, inv, f0, f1)) return;
  // Below the smallest block: one scalar pass in, the method in place, one pass out.
  for (std::size_t k = 0; k < n; ++k) w[k] = inv ? src[k] * (k == 0 ? f0 : f1) : src[k];
  dctFastK<I, double>(w, w + n, n, sec, inv);
  for (std::size_t k = 0; k < n; ++k) {
    dst[k] = static_cast<R>(inv ? w[k] : w[k] * (k == 0 ? f0 : f1));
  }
}

template <Isa I, class R>
void dctDirectK(const R* x, R* out, std::size_t n, const double* cos4n, bool inv, double f0,
                double f1, double* work) {
  const std::size_t m4 = 4 * n, h = n / 2;
  const bool odd = n % 2 != 0;
  if (!inv) {
    // work[0..h): pair sums, work[h..2h): pair differences, work[2h]: the middle sample.
    double x0 = 0;
    for (std::size_t i = 0; i < n; ++i) x0 += x[i];
    for (std::size_t i = 0; i < h; ++i) {
      work[i] = static_cast<double>(x[i]) + x[n - 1 - i];
      work[h + i] = static_cast<double>(x[i]) - x[n - 1 - i];
    }
    const double mid = odd ? static_cast<double>(x[h]) : 0.0;
    out[0] = static_cast<R>(x0 * f0);
    for (std::size_t k = 1; k < n; ++k) {
      const double* p = (k & 1) ? work + h : work;
      const std::size_t step = (2 * k) % m4;
      std::size_t idx = k % m4;  // (2i+1)k mod 4N for i = 0
      // Four index streams (terms i, i+1, i+2, i+3) advancing by 4*step: independent chains.
      const std::size_t step4 = (4 * step) % m4;
      std::size_t j0 = idx, j1 = wrap(j0 + step, m4), j2 = wrap(j1 + step, m4);
      std::size_t j3 = wrap(j2 + step, m4);
      double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
      std::size_t i = 0;
      for (; i + 3 < h; i += 4) {
        s0 += p[i] * cos4n[j0];
        s1 += p[i + 1] * cos4n[j1];
        s2 += p[i + 2] * cos4n[j2];
        s3 += p[i + 3] * cos4n[j3];
        j0 = wrap(j0 + step4, m4);
        j1 = wrap(j1 + step4, m4);
        j2 = wrap(j2 + step4, m4);
        j3 = wrap(j3 + step4, m4);
      }
      for (; i < h; ++i) {
        s0 += p[i] * cos4n[j0];
        j0 = wrap(j0 + step, m4);
      }
      double sum = (s0 + s1) + (s2 + s3);
      // The middle sample of an odd length: cos(pi k/2) = +-1 for even k, 0 for odd k.
      if (odd && !(k & 1)) sum += (k & 2) ? -mid : mid;
      out[k] = static_cast<R>(sum * f1);
    }
    return;
  }
  for (std::size_t k = 0; k < n; ++k) work[k] = x[k] * (k == 0 ? f0 : f1);
  // x[i] = E + O and x[N-1-i] = E - O, E over the even and O over the odd coefficients.
  for (std::size_t i = 0; i < h; ++i) {
    // Odd k from index (2i+1), even k from 2(2i+1), both advancing by 2(2i+1): two chains.
    const std::size_t step = (2 * i + 1) % m4, step2 = (2 * step) % m4;
    std::size_t io = step, ie = step2;
    double e = work[0], o = 0;
    std::size_t k = 1;
    for (; k + 1 < n; k += 2) {
      o += work[k] * cos4n[io];
      e += work[k + 1] * cos4n[ie];
      io = wrap(io + step2, m4);
      ie = wrap(ie + step2, m4);
    }
    if (k < n) o += work[k] * cos4n[io];
    out[i] = static_cast<R>(e + o);
    out[n - 1 - i] = static_cast<R>(e - o);
  }
  if (odd) {
    double e = work[0];
    for (std::size_t k = 2; k < n; k += 2) e += (k & 2) ? -work[k] : work[k];
    out[h] = static_cast<R>(e);
  }
}

#define KVO_INSTANTIATE_DCT(R)                                                                     \
  template void dctDirectK<KVO_ISA, R>(const R*, R*, std::size_t, const double*, bool, double,     \
                                       double, double*);                                           \
  template void dctFastOrthoK<KVO_ISA, R>(const R*, R*, double*, std::size_t, const double*, bool, \
                                          double, double);
KVO_INSTANTIATE_DCT(float)
KVO_INSTANTIATE_DCT(double)
#undef KVO_INSTANTIATE_DCT
template void dctFastK<KVO_ISA, double>(double*, double*, std::size_t, const double*, bool);
template void dctFastK<KVO_ISA, DctFixed>(DctFixed*, DctFixed*, std::size_t,
                                          const DctSecant<DctFixed>*, bool);

}  // namespace kvo::kern
