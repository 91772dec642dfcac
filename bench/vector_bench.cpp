// Vector kernels against plain loops compiled with -O3 -march=native, at n = 4096:
// 16-bit addition (wrap and saturate), float square root, logarithm and exponential (also against
// std::log / std::exp per element), and the float dot product. Each pair reports items per
// second; the library's level follows KVO_ISA (default: the best the processor has).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "kernels/isa.h"
#include "kvo.h"

namespace {

constexpr int kN = 4096;

std::vector<short> shorts(unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<short> v(kN);
  for (auto& x : v) x = short(gen());
  return v;
}
std::vector<float> floats(unsigned seed, float lo, float hi) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<float> dist(lo, hi);
  std::vector<float> v(kN);
  for (auto& x : v) x = dist(gen);
  return v;
}

template <class Body>
void run(benchmark::State& state, Body body) {
  for (auto _ : state) {
    body();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kN);
  state.SetLabel(kvo::kern::isaName(kvo::kern::isa()));
}

// ---- 16-bit addition ----

void kvowbAdd3Wrap(benchmark::State& state) {
  const auto a = shorts(1), b = shorts(2);
  std::vector<short> d(kN);
  run(state, [&] { kvowbAdd3(a.data(), b.data(), d.data(), kN, KVO_NO_SCALE, nullptr); });
}
void plainAddWrap(benchmark::State& state) {
  const auto a = shorts(1), b = shorts(2);
  std::vector<short> d(kN);
  run(state, [&] {
    for (int k = 0; k < kN; ++k) d[k] = static_cast<short>(a[k] + b[k]);
    benchmark::DoNotOptimize(d.data());
  });
}
void kvowbAdd3Saturate(benchmark::State& state) {
  const auto a = shorts(1), b = shorts(2);
  std::vector<short> d(kN);
  run(state, [&] { kvowbAdd3(a.data(), b.data(), d.data(), kN, KVO_SATURATE, nullptr); });
}
void plainAddSaturate(benchmark::State& state) {
  const auto a = shorts(1), b = shorts(2);
  std::vector<short> d(kN);
  run(state, [&] {
    for (int k = 0; k < kN; ++k) d[k] = static_cast<short>(std::clamp(a[k] + b[k], -32768, 32767));
    benchmark::DoNotOptimize(d.data());
  });
}

// ---- float square root ----

void kvosbSqrt2Bench(benchmark::State& state) {
  const auto x = floats(3, 0, 1000);
  std::vector<float> y(kN);
  run(state, [&] { kvosbSqrt2(x.data(), y.data(), kN); });
}
void plainSqrt(benchmark::State& state) {
  const auto x = floats(3, 0, 1000);
  std::vector<float> y(kN);
  run(state, [&] {
    for (int k = 0; k < kN; ++k) y[k] = std::sqrt(x[k]);
    benchmark::DoNotOptimize(y.data());
  });
}

// ---- float logarithm and exponential ----

void kvosbLn2Bench(benchmark::State& state) {
  const auto x = floats(4, 1e-3f, 1e6f);
  std::vector<float> y(kN);
  run(state, [&] { kvosbLn2(x.data(), y.data(), kN); });
}
void stdLog(benchmark::State& state) {
  const auto x = floats(4, 1e-3f, 1e6f);
  std::vector<float> y(kN);
  run(state, [&] {
    for (int k = 0; k < kN; ++k) y[k] = std::log(x[k]);
    benchmark::DoNotOptimize(y.data());
  });
}
void kvosbExp2Bench(benchmark::State& state) {
  const auto x = floats(5, -80, 80);
  std::vector<float> y(kN);
  run(state, [&] { kvosbExp2(x.data(), y.data(), kN); });
}
void stdExp(benchmark::State& state) {
  const auto x = floats(5, -80, 80);
  std::vector<float> y(kN);
  run(state, [&] {
    for (int k = 0; k < kN; ++k) y[k] = std::exp(x[k]);
    benchmark::DoNotOptimize(y.data());
  });
}

// ---- float dot product: the plain loop accumulates in double as the library does ----

void kvosDotProdBench(benchmark::State& state) {
  const auto a = floats(6, -1, 1), b = floats(7, -1, 1);
  run(state, [&] { benchmark::DoNotOptimize(kvosDotProd(a.data(), b.data(), kN)); });
}
void plainDotProd(benchmark::State& state) {
  const auto a = floats(6, -1, 1), b = floats(7, -1, 1);
  run(state, [&] {
    double s = 0;
    for (int k = 0; k < kN; ++k) s += double(a[k]) * b[k];
    benchmark::DoNotOptimize(static_cast<float>(s));
  });
}

// Double Ln/Exp against the C library, for the record.
void kvodbLn2Bench(benchmark::State& state) {
  std::vector<double> x(kN), y(kN);
  const auto f = floats(8, 1e-3f, 1e6f);
  std::copy(f.begin(), f.end(), x.begin());
  run(state, [&] { kvodbLn2(x.data(), y.data(), kN); });
}
void stdLogDouble(benchmark::State& state) {
  std::vector<double> x(kN), y(kN);
  const auto f = floats(8, 1e-3f, 1e6f);
  std::copy(f.begin(), f.end(), x.begin());
  run(state, [&] {
    for (int k = 0; k < kN; ++k) y[k] = std::log(x[k]);
    benchmark::DoNotOptimize(y.data());
  });
}
void kvodbExp2Bench(benchmark::State& state) {
  std::vector<double> x(kN), y(kN);
  const auto f = floats(9, -700, 700);
  std::copy(f.begin(), f.end(), x.begin());
  run(state, [&] { kvodbExp2(x.data(), y.data(), kN); });
}
void stdExpDouble(benchmark::State& state) {
  std::vector<double> x(kN), y(kN);
  const auto f = floats(9, -700, 700);
  std::copy(f.begin(), f.end(), x.begin());
  run(state, [&] {
    for (int k = 0; k < kN; ++k) y[k] = std::exp(x[k]);
    benchmark::DoNotOptimize(y.data());
  });
}

}  // namespace

BENCHMARK(kvowbAdd3Wrap);
BENCHMARK(plainAddWrap);
BENCHMARK(kvowbAdd3Saturate);
BENCHMARK(plainAddSaturate);
BENCHMARK(kvosbSqrt2Bench);
BENCHMARK(plainSqrt);
BENCHMARK(kvosbLn2Bench);
BENCHMARK(stdLog);
BENCHMARK(kvosbExp2Bench);
BENCHMARK(stdExp);
BENCHMARK(kvosDotProdBench);
BENCHMARK(plainDotProd);
BENCHMARK(kvodbLn2Bench);
BENCHMARK(stdLogDouble);
BENCHMARK(kvodbExp2Bench);
BENCHMARK(stdExpDouble);

BENCHMARK_MAIN();
