// Convolution, correlation and 2-D filtering speed against an FFTW overlap-save written here
// (FFTW_MEASURE plans made before timing, the fastest block size of a few tried) and against
// plain loops compiled -O3 -march=native. The ratio table at the end is ours / peer.
// scipy's timings on the same cases come from bench/conv_scipy.py.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <complex>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

#if KVO_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

template <class T>
std::vector<T> noise(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<T> v(n);
  for (T& x : v) {
    if constexpr (std::is_floating_point_v<T>) {
      x = static_cast<T>(u(gen));
    } else {
      x = {static_cast<float>(u(gen)), static_cast<float>(u(gen))};
    }
  }
  return v;
}

// ---- our functions ----------------------------------------------------------------------------

template <class T>
int ours(const T* x, int xl, const T* h, int hl, T* y) {
  if constexpr (std::is_same_v<T, float>) return kvosConv(x, xl, h, hl, y);
  if constexpr (std::is_same_v<T, double>) return kvodConv(x, xl, h, hl, y);
  if constexpr (std::is_same_v<T, ComplexFloat>) return kvocConv(x, xl, h, hl, y);
}

template <class T>
void kvoConv(benchmark::State& st, int xl, int hl) {
  const auto x = noise<T>(xl, 1), h = noise<T>(hl, 2);
  std::vector<T> y(xl + hl - 1);
  for (auto _ : st) {
    ours(x.data(), xl, h.data(), hl, y.data());
    benchmark::DoNotOptimize(y.data());
  }
}

// ---- the -O3 loop -----------------------------------------------------------------------------

template <class T>
void loopConv(benchmark::State& st, int xl, int hl) {
  using V = std::conditional_t<std::is_same_v<T, ComplexFloat>, std::complex<float>, T>;
  const auto x0 = noise<T>(xl, 1), h0 = noise<T>(hl, 2);
  std::vector<V> x(xl), h(hl), y(xl + hl - 1);
  std::memcpy(x.data(), x0.data(), sizeof(T) * xl);
  std::memcpy(h.data(), h0.data(), sizeof(T) * hl);
  for (auto _ : st) {
    std::fill(y.begin(), y.end(), V(0));
    for (int j = 0; j < hl; ++j) {
      const V hj = h[j];
      V* yj = y.data() + j;
      for (int i = 0; i < xl; ++i) yj[i] += x[i] * hj;
    }
    benchmark::DoNotOptimize(y.data());
  }
}

// ---- FFTW overlap-save --------------------------------------------------------------------------

#if KVO_HAVE_FFTW
template <class T>
struct Fftw;
template <>
struct Fftw<float> {
  using Plan = fftwf_plan;
  using Cx = fftwf_complex;
  static void* alloc(std::size_t b) { return fftwf_malloc(b); }
  static void release(void* p) { fftwf_free(p); }
  static void destroy(Plan p) { fftwf_destroy_plan(p); }
  static void run(Plan p) { fftwf_execute(p); }
};
template <>
struct Fftw<double> {
  using Plan = fftw_plan;
  using Cx = fftw_complex;
  static void* alloc(std::size_t b) { return fftw_malloc(b); }
  static void release(void* p) { fftw_free(p); }
  static void destroy(Plan p) { fftw_destroy_plan(p); }
  static void run(Plan p) { fftw_execute(p); }
};
template <>
struct Fftw<ComplexFloat> : Fftw<float> {};

// One overlap-save set-up at block size n: kernel spectrum, forward and inverse plans.
template <class T>
class OverlapSave {
  using F = Fftw<T>;
  static constexpr bool kCx = std::is_same_v<T, ComplexFloat>;

 public:
  OverlapSave(const T* h, int hl, int n) : n_(n), hl_(hl) {
    const std::size_t bins = kCx ? n : n / 2 + 1;
    buf_ = static_cast<T*>(F::alloc(sizeof(T) * n));
    spectrum_ = static_cast<typename F::Cx*>(F::alloc(sizeof(typename F::Cx) * bins));
    kern_ = static_cast<typename F::Cx*>(F::alloc(sizeof(typename F::Cx) * bins));
    if constexpr (std::is_same_v<T, float>) {
      fwd_ = fftwf_plan_dft_r2c_1d(n, buf_, spectrum_, FFTW_MEASURE);
      inv_ = fftwf_plan_dft_c2r_1d(n, spectrum_, buf_, FFTW_MEASURE);
    } else if constexpr (std::is_same_v<T, double>) {
      fwd_ = fftw_plan_dft_r2c_1d(n, buf_, spectrum_, FFTW_MEASURE);
      inv_ = fftw_plan_dft_c2r_1d(n, spectrum_, buf_, FFTW_MEASURE);
    } else {
      auto* b = reinterpret_cast<fftwf_complex*>(buf_);
      fwd_ = fftwf_plan_dft_1d(n, b, spectrum_, FFTW_FORWARD, FFTW_MEASURE);
      inv_ = fftwf_plan_dft_1d(n, spectrum_, b, FFTW_BACKWARD, FFTW_MEASURE);
    }
    std::memset(static_cast<void*>(buf_), 0, sizeof(T) * n);
    std::memcpy(static_cast<void*>(buf_), h, sizeof(T) * hl);
    F::run(fwd_);
    const double s = 1.0 / n;
    for (std::size_t k = 0; k < bins; ++k) {
      kern_[k][0] = spectrum_[k][0] * s;
      kern_[k][1] = spectrum_[k][1] * s;
    }
    bins_ = bins;
  }
  ~OverlapSave() {
    F::destroy(fwd_);
    F::destroy(inv_);
    F::release(buf_);
    F::release(spectrum_);
    F::release(kern_);
  }

  void run(const T* x, int xl, T* y) {
    const long m = long(xl) + hl_ - 1, hop = n_ - hl_ + 1;
    for (long start = 0; start < m; start += hop) {
      const long from = start - (hl_ - 1);
      for (int i = 0; i < n_; ++i) {
        const long j = from + i;
        if (j >= 0 && j < xl) {
          buf_[i] = x[j];
        } else {
          std::memset(static_cast<void*>(buf_ + i), 0, sizeof(T));
        }
      }
      F::run(fwd_);
      for (std::size_t k = 0; k < bins_; ++k) {
        const auto a = spectrum_[k][0], b = spectrum_[k][1], c = kern_[k][0], d = kern_[k][1];
        spectrum_[k][0] = a * c - b * d;
        spectrum_[k][1] = a * d + b * c;
      }
      F::run(inv_);
      const long count = std::min(hop, m - start);
      std::memcpy(static_cast<void*>(y + start), buf_ + (hl_ - 1), sizeof(T) * count);
    }
  }

 private:
  int n_, hl_;
  std::size_t bins_ = 0;
  T* buf_;
  typename F::Cx* spectrum_;
  typename F::Cx* kern_;
  typename F::Plan fwd_, inv_;
};

template <class T>
void fftwConv(benchmark::State& st, int xl, int hl) {
  const auto x = noise<T>(xl, 1), h = noise<T>(hl, 2);
  std::vector<T> y(xl + hl - 1);
  // FFTW's best block size: each candidate timed once on the whole signal before the run.
  int first = 1;
  while (first < 2 * hl) first *= 2;
  std::unique_ptr<OverlapSave<T>> best;
  double bestNs = 1e300;
  for (int n = first; n <= first * 16 && n <= (1 << 22); n *= 2) {
    auto os = std::make_unique<OverlapSave<T>>(h.data(), hl, n);
    os->run(x.data(), xl, y.data());
    const auto t0 = std::chrono::steady_clock::now();
    os->run(x.data(), xl, y.data());
    const double ns =
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
    if (ns < bestNs) {
      bestNs = ns;
      best = std::move(os);
    }
  }
  for (auto _ : st) {
    best->run(x.data(), xl, y.data());
    benchmark::DoNotOptimize(y.data());
  }
}
#endif

// ---- correlation and 2-D ------------------------------------------------------------------------

void kvoCross(benchmark::State& st, int n, int lo, int hi) {
  const auto a = noise<float>(n, 1), b = noise<float>(n, 2);
  std::vector<float> d(hi - lo + 1);
  for (auto _ : st) kvosCrossCorr(a.data(), n, b.data(), n, d.data(), lo, hi);
}
void loopCross(benchmark::State& st, int n, int lo, int hi) {
  const auto a = noise<float>(n, 1), b = noise<float>(n, 2);
  std::vector<float> d(hi - lo + 1);
  for (auto _ : st) {
    for (int k = lo; k <= hi; ++k) {
      float s = 0;
      for (int i = std::max(0, -k); i < std::min(n, n - k); ++i) s += a[i] * b[i + k];
      d[k - lo] = s;
    }
    benchmark::DoNotOptimize(d.data());
  }
}
void kvoAuto(benchmark::State& st, int n, int lags) {
  const auto a = noise<float>(n, 1);
  std::vector<float> d(lags);
  for (auto _ : st) kvosAutoCorr(a.data(), n, d.data(), lags, 0);
}
void loopAuto(benchmark::State& st, int n, int lags) {
  const auto a = noise<float>(n, 1);
  std::vector<float> d(lags);
  for (auto _ : st) {
    for (int k = 0; k < lags; ++k) {
      float s = 0;
      for (int i = 0; i < n - k; ++i) s += a[i] * a[i + k];
      d[k] = s;
    }
    benchmark::DoNotOptimize(d.data());
  }
}

void kvoFilter(benchmark::State& st, int k) {
  const auto src = noise<float>(512 * 512, 1);
  auto ker = noise<float>(std::size_t(k) * k, 2);
  std::vector<float> dst(512 * 512);
  for (auto _ : st) kvosFilter2D(src.data(), 512, 512, ker.data(), k, k, dst.data());
}
void kvoConv2(benchmark::State& st, int k) {
  const auto src = noise<float>(512 * 512, 1), ker = noise<float>(std::size_t(k) * k, 2);
  std::vector<float> dst(std::size_t(511 + k) * (511 + k));
  for (auto _ : st) kvosConv2D(src.data(), 512, 512, ker.data(), k, k, dst.data());
}
void loopFilter(benchmark::State& st, int k) {
  const auto src = noise<float>(512 * 512, 1), ker = noise<float>(std::size_t(k) * k, 2);
  std::vector<float> dst(512 * 512);
  const int a = k / 2;
  for (auto _ : st) {
    for (int r = 0; r < 512; ++r)
      for (int c = 0; c < 512; ++c) {
        float s = 0;
        for (int i = 0; i < k; ++i) {
          const int sr = r + a - i;
          if (sr < 0 || sr >= 512) continue;
          for (int j = 0; j < k; ++j) {
            const int sc = c + a - j;
            if (sc >= 0 && sc < 512) s += ker[i * k + j] * src[sr * 512 + sc];
          }
        }
        dst[r * 512 + c] = s;
      }
    benchmark::DoNotOptimize(dst.data());
  }
}

struct Sizes {
  int x, h;
};
const Sizes kConvSizes[] = {{4096, 16}, {4096, 512}, {65536, 1000}, {1 << 20, 4096},
                            {53242, 9}, {53243, 9},  {2000, 110},   {2000, 111}};

template <class T>
void registerConv(const char* code) {
  for (const Sizes& s : kConvSizes) {
    const std::string name =
        std::string(code) + "Conv/" + std::to_string(s.x) + "x" + std::to_string(s.h);
    benchmark::RegisterBenchmark(("kvo/" + name).c_str(), kvoConv<T>, s.x, s.h);
#if KVO_HAVE_FFTW
    benchmark::RegisterBenchmark(("fftw/" + name).c_str(), fftwConv<T>, s.x, s.h);
#endif
    if (double(s.x) * s.h <= 3e7) {
      benchmark::RegisterBenchmark(("loop/" + name).c_str(), loopConv<T>, s.x, s.h);
    }
  }
}

const int kRegistered = [] {
  registerConv<float>("s");
  registerConv<ComplexFloat>("c");
  registerConv<double>("d");
  for (auto [lo, hi] : {std::pair{0, 15}, std::pair{-100, 100}, std::pair{-2000, 2000}}) {
    const std::string name = "sCrossCorr/16384/" + std::to_string(lo) + ".." + std::to_string(hi);
    benchmark::RegisterBenchmark(("kvo/" + name).c_str(), kvoCross, 16384, lo, hi);
    benchmark::RegisterBenchmark(("loop/" + name).c_str(), loopCross, 16384, lo, hi);
  }
  for (int lags : {16, 256, 4096}) {
    const std::string name = "sAutoCorr/16384/" + std::to_string(lags);
    benchmark::RegisterBenchmark(("kvo/" + name).c_str(), kvoAuto, 16384, lags);
    benchmark::RegisterBenchmark(("loop/" + name).c_str(), loopAuto, 16384, lags);
  }
  for (int k : {3, 15, 63}) {
    const std::string name = "sFilter2D/512/" + std::to_string(k);
    benchmark::RegisterBenchmark(("kvo/" + name).c_str(), kvoFilter, k);
    if (k <= 15) benchmark::RegisterBenchmark(("loop/" + name).c_str(), loopFilter, k);
    benchmark::RegisterBenchmark(("kvo/sConv2D/512/" + std::to_string(k)).c_str(), kvoConv2, k);
  }
  return 0;
}();

}  // namespace

KVO_BENCHMARK_MAIN_WITH_RATIOS()
