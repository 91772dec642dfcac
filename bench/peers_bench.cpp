// The functions where a specialised peer is the natural comparison: dot products, mean and norm
// against OpenBLAS (single-threaded), and ln/exp against glibc's libmvec functions (16 float or 8
// double lanes). cblas_dsdot returns a double, but OpenBLAS's AVX-512 kernel (unit strides, 32
// elements and more) rounds each product to float and sums 32 of them in float before adding in
// double; the library converts both operands and sums the exact products in double, two
// conversions per 8 pairs that bound its speed. cblas_cdotu_sub sums in float throughout. Rounds
// alternate between ours and the peer's with --benchmark_enable_random_interleaving=true
// (--benchmark_repetitions gives the medians the ratios use). First it prints the worst error of
// our ln/exp in units in the last place over 2^24 sampled inputs per function, against long double.
#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

#if KVO_HAVE_OPENBLAS
#include <cblas.h>
extern "C" void openblas_set_num_threads(int);
#endif

extern "C" __m512 _ZGVeN16v_logf(__m512);
extern "C" __m512 _ZGVeN16v_expf(__m512);
extern "C" __m512d _ZGVeN8v_log(__m512d);
extern "C" __m512d _ZGVeN8v_exp(__m512d);

namespace {

template <class T>
const std::vector<T>& data(int n, unsigned seed, double lo, double hi) {
  static std::vector<T> cache[2][32];
  auto& v = cache[seed & 1][__builtin_ctz(static_cast<unsigned>(n))];
  if (v.empty()) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(lo, hi);
    v.resize(n);
    for (auto& x : v) x = static_cast<T>(dist(gen));
  }
  return v;
}

template <class Body>
void run(benchmark::State& state, int n, Body body) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(body());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void kvoSDot(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(n, 1, -1, 1);
  const auto& b = data<float>(n, 2, -1, 1);
  run(s, n, [&] { return kvosDotProd(a.data(), b.data(), n); });
}
void kvoDDot(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<double>(n, 1, -1, 1);
  const auto& b = data<double>(n, 2, -1, 1);
  run(s, n, [&] { return kvodDotProd(a.data(), b.data(), n); });
}
void kvoCDot(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(2 * n, 1, -1, 1);
  const auto& b = data<float>(2 * n, 2, -1, 1);
  run(s, n, [&] {
    return kvocDotProd(reinterpret_cast<const ComplexFloat*>(a.data()),
                       reinterpret_cast<const ComplexFloat*>(b.data()), n)
        .re;
  });
}
void kvoSMean(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(n, 1, -1, 1);
  run(s, n, [&] { return kvosMean(a.data(), n); });
}
void kvoSNorm(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(n, 1, -1, 1);
  run(s, n, [&] { return kvosNorm(a.data(), nullptr, n, KVO_NormL2); });
}

#if KVO_HAVE_OPENBLAS
void blasSDot(benchmark::State& s) {
  openblas_set_num_threads(1);
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(n, 1, -1, 1);
  const auto& b = data<float>(n, 2, -1, 1);
  run(s, n, [&] { return cblas_dsdot(n, a.data(), 1, b.data(), 1); });
}
void blasDDot(benchmark::State& s) {
  openblas_set_num_threads(1);
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<double>(n, 1, -1, 1);
  const auto& b = data<double>(n, 2, -1, 1);
  run(s, n, [&] { return cblas_ddot(n, a.data(), 1, b.data(), 1); });
}
// OpenBLAS sums the complex float products in float: the nearest peer, not an equal one.
void blasCDot(benchmark::State& s) {
  openblas_set_num_threads(1);
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(2 * n, 1, -1, 1);
  const auto& b = data<float>(2 * n, 2, -1, 1);
  float r[2];
  run(s, n, [&] { return (cblas_cdotu_sub(n, a.data(), 1, b.data(), 1, r), r[0]); });
}
// A float sum through BLAS: the dot product with a vector of ones.
void blasSMean(benchmark::State& s) {
  openblas_set_num_threads(1);
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(n, 1, -1, 1);
  static std::vector<float> ones;
  ones.assign(n, 1.0f);
  run(s, n, [&] { return cblas_dsdot(n, a.data(), 1, ones.data(), 1) / n; });
}
void blasSNorm(benchmark::State& s) {
  openblas_set_num_threads(1);
  const int n = static_cast<int>(s.range(0));
  const auto& a = data<float>(n, 1, -1, 1);
  run(s, n, [&] { return cblas_snrm2(n, a.data(), 1); });
}
#endif

template <class F>
__attribute__((target("avx512f"))) void mvec(const float* x, float* y, int n, F f) {
  for (int i = 0; i < n; i += 16) _mm512_storeu_ps(y + i, f(_mm512_loadu_ps(x + i)));
}
template <class F>
__attribute__((target("avx512f"))) void mvec(const double* x, double* y, int n, F f) {
  for (int i = 0; i < n; i += 8) _mm512_storeu_pd(y + i, f(_mm512_loadu_pd(x + i)));
}

constexpr int kMapN = 4096;  // a multiple of 16

// The domains of the timed runs: ln over [1e-3, 1e6], exp over nearly all finite results.
template <class T>
const std::vector<T>& lnData() {
  return data<T>(kMapN, 1, 1e-3, 1e6);
}
template <class T>
const std::vector<T>& expData() {
  return data<T>(kMapN, 2, sizeof(T) == 4 ? -80 : -700, sizeof(T) == 4 ? 80 : 700);
}

template <class T, class Fn>
void map(benchmark::State& s, const std::vector<T>& x, Fn fn) {
  std::vector<T> y(kMapN);
  run(s, kMapN, [&] { return (fn(x.data(), y.data()), y[0]); });
}
// Ours (kFn) or libmvec's (kVec) over the ln or exp data of type T.
template <class T, bool kLn, void (*kFn)(const T*, T*, int)>
void kvoMap(benchmark::State& s) {
  map(s, kLn ? lnData<T>() : expData<T>(), [](const T* x, T* y) { kFn(x, y, kMapN); });
}
template <class T, bool kLn, auto kVec>
void mvecMap(benchmark::State& s) {
  map(s, kLn ? lnData<T>() : expData<T>(), [](const T* x, T* y) { mvec(x, y, kMapN, kVec); });
}

// Worst error in units in the last place of the rounded exact value, over `count` inputs: random
// positive finite bit patterns for ln, uniform values over [lo, hi] for exp.
template <class T>
double worstUlps(void (*f)(const T*, T*, int), long double (*ref)(long double), bool ln, double lo,
                 double hi, std::size_t count) {
  using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
  const U maxBits = static_cast<U>(sizeof(T) == 4 ? 0x7F7FFFFFull : 0x7FEFFFFFFFFFFFFFull);
  std::mt19937_64 gen(11);
  std::uniform_real_distribution<double> range(lo, hi);
  std::vector<T> x(1 << 16), y(x.size());
  double worst = 0;
  for (std::size_t done = 0; done < count; done += x.size()) {
    for (T& v : x) {
      if (ln) {
        const U bits = static_cast<U>(gen() % maxBits + 1);
        std::memcpy(&v, &bits, sizeof v);
      } else {
        v = static_cast<T>(range(gen));
      }
    }
    f(x.data(), y.data(), static_cast<int>(x.size()));
    for (std::size_t k = 0; k < x.size(); ++k) {
      const long double want = ref(x[k]);
      const T w = static_cast<T>(want);
      if (std::isinf(w)) {
        if (y[k] != w) worst = 1e9;
        continue;
      }
      const long double ulp = std::max<long double>(
          std::nextafter(std::fabs(w), std::numeric_limits<T>::infinity()) - std::fabs(w),
          std::numeric_limits<T>::denorm_min());
      worst = std::max(worst, static_cast<double>(std::fabs(y[k] - want) / ulp));
    }
  }
  return worst;
}

long double refLn(long double x) { return std::log(x); }
long double refExp(long double x) { return std::exp(x); }

void printAccuracy() {
  constexpr std::size_t kCount = std::size_t{1} << 24;
  std::printf("worst ulp over 2^24 sampled inputs: sbLn %.3f, sbExp %.3f, dbLn %.3f, dbExp %.3f\n",
              worstUlps<float>(kvosbLn2, refLn, true, 0, 0, kCount),
              worstUlps<float>(kvosbExp2, refExp, false, -104, 89, kCount),
              worstUlps<double>(kvodbLn2, refLn, true, 0, 0, kCount),
              worstUlps<double>(kvodbExp2, refExp, false, -746, 710, kCount));
}

}  // namespace

#define KVO_PAIR(ours, peer, name)                             \
  BENCHMARK(ours)->Name("kvo/" name)->Arg(1024)->Arg(1 << 20); \
  BENCHMARK(peer)->Name("blas/" name)->Arg(1024)->Arg(1 << 20)
#if KVO_HAVE_OPENBLAS
KVO_PAIR(kvoSDot, blasSDot, "sDotProd");
KVO_PAIR(kvoDDot, blasDDot, "dDotProd");
KVO_PAIR(kvoCDot, blasCDot, "cDotProd");
KVO_PAIR(kvoSMean, blasSMean, "sMean");
KVO_PAIR(kvoSNorm, blasSNorm, "sNorm L2");
#endif
#define KVO_MAP_PAIR(ours, peer, name) \
  BENCHMARK(ours)->Name("kvo/" name);  \
  BENCHMARK(peer)->Name("libmvec/" name)
KVO_MAP_PAIR((kvoMap<float, true, kvosbLn2>), (mvecMap<float, true, _ZGVeN16v_logf>), "sbLn2 4096");
KVO_MAP_PAIR((kvoMap<float, false, kvosbExp2>), (mvecMap<float, false, _ZGVeN16v_expf>),
             "sbExp2 4096");
KVO_MAP_PAIR((kvoMap<double, true, kvodbLn2>), (mvecMap<double, true, _ZGVeN8v_log>), "dbLn2 4096");
KVO_MAP_PAIR((kvoMap<double, false, kvodbExp2>), (mvecMap<double, false, _ZGVeN8v_exp>),
             "dbExp2 4096");

int main(int argc, char** argv) {
  printAccuracy();
  benchmark::Initialize(&argc, argv);
  kvobench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
