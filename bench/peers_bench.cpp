// The functions where a specialised peer is the natural comparison: dot products, mean and norm
// against OpenBLAS (single-threaded; cblas_dsdot sums float products in double precision, as the
// library does), and float ln/exp against glibc's 16-lane libmvec functions. Rounds alternate
// between ours and the peer's (--benchmark_repetitions gives the medians the ratios use).
#include <immintrin.h>

#include <cmath>
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
  int i = 0;
  for (; i + 16 <= n; i += 16) _mm512_storeu_ps(y + i, f(_mm512_loadu_ps(x + i)));
  for (; i < n; ++i) y[i] = x[i];  // n is a multiple of 16 here
}

constexpr int kMapN = 4096;
void kvoLn(benchmark::State& s) {
  const auto& x = data<float>(kMapN, 1, 1e-3, 1e6);
  std::vector<float> y(kMapN);
  run(s, kMapN, [&] { return (kvosbLn2(x.data(), y.data(), kMapN), y[0]); });
}
void mvecLn(benchmark::State& s) {
  const auto& x = data<float>(kMapN, 1, 1e-3, 1e6);
  std::vector<float> y(kMapN);
  run(s, kMapN, [&] { return (mvec(x.data(), y.data(), kMapN, _ZGVeN16v_logf), y[0]); });
}
void kvoExp(benchmark::State& s) {
  const auto& x = data<float>(kMapN, 2, -80, 80);
  std::vector<float> y(kMapN);
  run(s, kMapN, [&] { return (kvosbExp2(x.data(), y.data(), kMapN), y[0]); });
}
void mvecExp(benchmark::State& s) {
  const auto& x = data<float>(kMapN, 2, -80, 80);
  std::vector<float> y(kMapN);
  run(s, kMapN, [&] { return (mvec(x.data(), y.data(), kMapN, _ZGVeN16v_expf), y[0]); });
}

}  // namespace

#define KVO_PAIR(ours, peer, name)                             \
  BENCHMARK(ours)->Name("kvo/" name)->Arg(1024)->Arg(1 << 20); \
  BENCHMARK(peer)->Name("blas/" name)->Arg(1024)->Arg(1 << 20)
#if KVO_HAVE_OPENBLAS
KVO_PAIR(kvoSDot, blasSDot, "sDotProd");
KVO_PAIR(kvoDDot, blasDDot, "dDotProd");
KVO_PAIR(kvoSMean, blasSMean, "sMean");
KVO_PAIR(kvoSNorm, blasSNorm, "sNorm L2");
#endif
BENCHMARK(kvoLn)->Name("kvo/sbLn2 4096");
BENCHMARK(mvecLn)->Name("libmvec/sbLn2 4096");
BENCHMARK(kvoExp)->Name("kvo/sbExp2 4096");
BENCHMARK(mvecExp)->Name("libmvec/sbExp2 4096");

KVO_BENCHMARK_MAIN_WITH_RATIOS()
