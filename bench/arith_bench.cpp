// Block arithmetic against the loop a user would write, compiled here with -O3 -march=native.
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

template <class T>
std::vector<T> data(std::size_t n, float seed) {
  std::vector<T> v(n);
  auto* p = reinterpret_cast<float*>(v.data());
  for (std::size_t i = 0; i < n * sizeof(T) / sizeof(float); ++i)
    p[i] = seed + 0.001f * float(i % 977);
  return v;
}

template <class T, class F>
void run(benchmark::State& state, F body) {
  const auto n = static_cast<std::size_t>(state.range(0));
  auto a = data<T>(n, 1.0f), b = data<T>(n, 2.0f), d = data<T>(n, 0.0f);
  for (auto _ : state) {
    body(a.data(), b.data(), d.data(), int(n));
    benchmark::DoNotOptimize(d.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.SetBytesProcessed(state.iterations() * n * 3 * sizeof(T));
}

__attribute__((noinline)) void plainAdd(const float* a, const float* b, float* d, int n) {
  for (int i = 0; i < n; ++i) d[i] = a[i] + b[i];
}

__attribute__((noinline)) void plainCMpy(const ComplexFloat* a, const ComplexFloat* b,
                                         ComplexFloat* d, int n) {
  for (int i = 0; i < n; ++i) {
    const float re = a[i].re * b[i].re - a[i].im * b[i].im;
    const float im = a[i].re * b[i].im + a[i].im * b[i].re;
    d[i] = {re, im};
  }
}

void kvoSAdd3(benchmark::State& s) { run<float>(s, kvosbAdd3); }
void plainSAdd3(benchmark::State& s) { run<float>(s, plainAdd); }
void kvoCMpy3(benchmark::State& s) { run<ComplexFloat>(s, kvocbMpy3); }
void plainCMpy3(benchmark::State& s) { run<ComplexFloat>(s, plainCMpy); }
void kvoZMpy3(benchmark::State& s) { run<ComplexDouble>(s, kvozbMpy3); }

}  // namespace

BENCHMARK(kvoSAdd3)->Name("kvo/sbAdd3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(plainSAdd3)->Name("loop/sbAdd3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(kvoCMpy3)->Name("kvo/cbMpy3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(plainCMpy3)->Name("loop/cbMpy3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(kvoZMpy3)->Name("kvo/zbMpy3")->Arg(1024)->Arg(1 << 20);

KVO_BENCHMARK_MAIN_WITH_RATIOS()
