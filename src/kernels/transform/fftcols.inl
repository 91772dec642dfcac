// Column transforms for one instruction-set level; included by fftcols_<level>.cpp after KVO_ISA
// is defined. See fftcols.h for the scheme and isa.h for the rules these files follow.
#include <cstddef>
#include <cstring>
#include <utility>

#include "kernels/transform/fftcols.h"

namespace kvo::kern {
namespace {

#if defined(__AVX512F__)
constexpr std::size_t kColVecBytes = 64;
#elif defined(__AVX2__)
constexpr std::size_t kColVecBytes = 32;
#else
constexpr std::size_t kColVecBytes = 16;
#endif

// Lanes s of v with the real and imaginary part of each complex value exchanged.
constexpr int swapLane(int s) { return s ^ 1; }

template <class R>
struct RowOps {
  typedef R V __attribute__((vector_size(kColVecBytes)));
  static constexpr std::size_t L = kColVecBytes / sizeof(R);  // reals per vector, an even count

  static V load(const R* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void store(R* p, V v) { std::memcpy(p, &v, sizeof v); }
  template <std::size_t... S>
  static V swap(V v, std::index_sequence<S...>) {
    return __builtin_shufflevector(v, v, swapLane(S)...);
  }

  // (-1, 1, -1, 1, ...).
  static V alternate() {
    V v;
    for (std::size_t s = 0; s < L; ++s) v[s] = s % 2 == 0 ? R(-1) : R(1);
    return v;
  }
  // One twiddle (wr, wi) as the two vectors of v * w = v * wr + swap(v) * (-wi, wi, ...).
  struct Twiddle {
    V re, im;
    R wr, wi;
    Twiddle(R r, R i, V signs) : re(V{} + r), im(signs * i), wr(r), wi(i) {}
    V mul(V v) const { return v * re + swap(v, std::make_index_sequence<L>{}) * im; }
    void mul(R& r, R& i) const {
      const R nr = r * wr - i * wi;
      i = r * wi + i * wr;
      r = nr;
    }
  };

  // a, b = a + b, (a - b) w over n reals.
  static void dif(R* a, R* b, std::size_t n, const Twiddle& w) {
    std::size_t k = 0;
    for (; k + L <= n; k += L) {
      const V x = load(a + k), y = load(b + k);
      store(a + k, x + y);
      store(b + k, w.mul(x - y));
    }
    for (; k < n; k += 2) {
      R r = a[k] - b[k], i = a[k + 1] - b[k + 1];
      a[k] += b[k];
      a[k + 1] += b[k + 1];
      w.mul(r, i);
      b[k] = r;
      b[k + 1] = i;
    }
  }
  // b = a w where b holds zeros (a stays a + 0).
  static void difZero(const R* a, R* b, std::size_t n, const Twiddle& w) {
    std::size_t k = 0;
    for (; k + L <= n; k += L) store(b + k, w.mul(load(a + k)));
    for (; k < n; k += 2) {
      R r = a[k], i = a[k + 1];
      w.mul(r, i);
      b[k] = r;
      b[k + 1] = i;
    }
  }
  // t = b w; a, b = a + t, a - t.
  static void dit(R* a, R* b, std::size_t n, const Twiddle& w) {
    std::size_t k = 0;
    for (; k + L <= n; k += L) {
      const V x = load(a + k), t = w.mul(load(b + k));
      store(a + k, x + t);
      store(b + k, x - t);
    }
    for (; k < n; k += 2) {
      R r = b[k], i = b[k + 1];
      w.mul(r, i);
      b[k] = a[k] - r;
      b[k + 1] = a[k + 1] - i;
      a[k] += r;
      a[k + 1] += i;
    }
  }
};

}  // namespace

template <Isa I, class R>
void fftColumnsK(R* data, std::size_t rows, std::size_t width, const R* tw, bool inverse,
                 std::size_t nonzero) {
  using Ops = RowOps<R>;
  using Twiddle = typename Ops::Twiddle;
  const std::size_t n = 2 * width;  // reals per row
  const auto signs = Ops::alternate();
  auto row = [&](std::size_t r) { return data + r * n; };
  if (!inverse) {
    for (std::size_t span = rows / 2; span >= 1; span /= 2) {
      const std::size_t step = rows / (2 * span);
      for (std::size_t g = 0; g < rows; g += 2 * span) {
        for (std::size_t j = 0; j < span; ++j) {
          const Twiddle w(tw[2 * j * step], tw[2 * j * step + 1], signs);
          if (span == rows / 2 && nonzero <= span) {
            // First stage with the lower half zero: rows from `nonzero` stay zero.
            if (j < nonzero) Ops::difZero(row(j), row(j + span), n, w);
          } else {
            Ops::dif(row(g + j), row(g + j + span), n, w);
          }
        }
      }
    }
    return;
  }
  for (std::size_t span = 1; span < rows; span *= 2) {
    const std::size_t step = rows / (2 * span);
    for (std::size_t g = 0; g < rows; g += 2 * span) {
      for (std::size_t j = 0; j < span; ++j) {
        const Twiddle w(tw[2 * j * step], -tw[2 * j * step + 1], signs);
        Ops::dit(row(g + j), row(g + j + span), n, w);
      }
    }
  }
}

template void fftColumnsK<KVO_ISA, float>(float*, std::size_t, std::size_t, const float*, bool,
                                          std::size_t);
template void fftColumnsK<KVO_ISA, double>(double*, std::size_t, std::size_t, const double*, bool,
                                           std::size_t);

}  // namespace kvo::kern
