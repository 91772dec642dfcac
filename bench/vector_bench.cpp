// 16-bit addition, float square root, logarithm, exponential and dot product at n = 4096, against
// the loop a user would write (compiled here with -O3 -march=native) and, for Ln/Exp, std::log and
// std::exp per element. The library's level follows KVO_ISA (default: the best the processor has).
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

constexpr int kN = 4096;

template <class T>
std::vector<T> uniform(unsigned seed, double lo, double hi) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(lo, hi);
  std::vector<T> v(kN);
  for (auto& x : v) x = static_cast<T>(dist(gen));
  return v;
}

template <class Body>
void run(benchmark::State& state, Body body) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kN);
}

// ---- the plain loops ----

__attribute__((noinline)) void loopAddWrap(const short* a, const short* b, short* d, int n) {
  for (int k = 0; k < n; ++k) d[k] = static_cast<short>(a[k] + b[k]);
}
__attribute__((noinline)) void loopAddSaturate(const short* a, const short* b, short* d, int n) {
  for (int k = 0; k < n; ++k) d[k] = static_cast<short>(std::clamp(a[k] + b[k], -32768, 32767));
}
template <class T, T (*f)(T)>
__attribute__((noinline)) void loopMap(const T* x, T* y, int n) {
  for (int k = 0; k < n; ++k) y[k] = f(x[k]);
}
float sqrtF(float x) { return std::sqrt(x); }
float logF(float x) { return std::log(x); }
float expF(float x) { return std::exp(x); }
double logD(double x) { return std::log(x); }
double expD(double x) { return std::exp(x); }
// Accumulating in double, as the library does; without reassociation it cannot be vectorised.
__attribute__((noinline)) float loopDot(const float* a, const float* b, int n) {
  double s = 0;
  for (int k = 0; k < n; ++k) s += double(a[k]) * b[k];
  return static_cast<float>(s);
}

// ---- cases ----

template <class F>
void add16(benchmark::State& state, F f) {
  const auto a = uniform<short>(1, -32768, 32767), b = uniform<short>(2, -32768, 32767);
  std::vector<short> d(kN);
  run(state, [&] { f(a.data(), b.data(), d.data(), kN); });
}
template <class T, class F>
void map(benchmark::State& state, F f, double lo, double hi) {
  const auto x = uniform<T>(3, lo, hi);
  std::vector<T> y(kN);
  run(state, [&] { f(x.data(), y.data(), kN); });
}
template <class F>
void dot(benchmark::State& state, F f) {
  const auto a = uniform<float>(4, -1, 1), b = uniform<float>(5, -1, 1);
  run(state, [&] { benchmark::DoNotOptimize(f(a.data(), b.data(), kN)); });
}

void kvoAddWrap(benchmark::State& s) {
  add16(s,
        [](const short* a, const short* b, short* d, int n) { kvowbAdd3(a, b, d, n, 0, nullptr); });
}
void loopAddWrapCase(benchmark::State& s) { add16(s, loopAddWrap); }
void kvoAddSaturate(benchmark::State& s) {
  add16(s,
        [](const short* a, const short* b, short* d, int n) { kvowbAdd3(a, b, d, n, 1, nullptr); });
}
void loopAddSaturateCase(benchmark::State& s) { add16(s, loopAddSaturate); }
void kvoSqrt(benchmark::State& s) { map<float>(s, kvosbSqrt2, 0, 1000); }
void loopSqrt(benchmark::State& s) { map<float>(s, loopMap<float, sqrtF>, 0, 1000); }
void kvoLn(benchmark::State& s) { map<float>(s, kvosbLn2, 1e-3, 1e6); }
void stdLn(benchmark::State& s) { map<float>(s, loopMap<float, logF>, 1e-3, 1e6); }
void kvoExp(benchmark::State& s) { map<float>(s, kvosbExp2, -80, 80); }
void stdExp(benchmark::State& s) { map<float>(s, loopMap<float, expF>, -80, 80); }
void kvoDot(benchmark::State& s) { dot(s, kvosDotProd); }
void loopDotCase(benchmark::State& s) { dot(s, loopDot); }
void kvoLnDouble(benchmark::State& s) { map<double>(s, kvodbLn2, 1e-3, 1e6); }
void stdLnDouble(benchmark::State& s) { map<double>(s, loopMap<double, logD>, 1e-3, 1e6); }
void kvoExpDouble(benchmark::State& s) { map<double>(s, kvodbExp2, -700, 700); }
void stdExpDouble(benchmark::State& s) { map<double>(s, loopMap<double, expD>, -700, 700); }

}  // namespace

BENCHMARK(kvoAddWrap)->Name("kvo/wbAdd3 mode 0");
BENCHMARK(loopAddWrapCase)->Name("loop/wbAdd3 mode 0");
BENCHMARK(kvoAddSaturate)->Name("kvo/wbAdd3 mode 1");
BENCHMARK(loopAddSaturateCase)->Name("loop/wbAdd3 mode 1");
BENCHMARK(kvoSqrt)->Name("kvo/sbSqrt2");
BENCHMARK(loopSqrt)->Name("loop/sbSqrt2");
BENCHMARK(kvoLn)->Name("kvo/sbLn2");
BENCHMARK(stdLn)->Name("std::log/sbLn2");
BENCHMARK(kvoExp)->Name("kvo/sbExp2");
BENCHMARK(stdExp)->Name("std::exp/sbExp2");
BENCHMARK(kvoDot)->Name("kvo/sDotProd");
BENCHMARK(loopDotCase)->Name("loop/sDotProd");
BENCHMARK(kvoLnDouble)->Name("kvo/dbLn2");
BENCHMARK(stdLnDouble)->Name("std::log/dbLn2");
BENCHMARK(kvoExpDouble)->Name("kvo/dbExp2");
BENCHMARK(stdExpDouble)->Name("std::exp/dbExp2");

KVO_BENCHMARK_MAIN_WITH_RATIOS()
