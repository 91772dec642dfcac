// Block arithmetic against the loop a user would write, compiled here with -O3 -march=native.
#include <cstddef>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

// Both contenders work on the same buffers from the library's allocator (64-byte aligned).
struct Buffer {
  explicit Buffer(std::size_t bytes) : p(kvoMalloc(int(bytes))) {}
  ~Buffer() { kvoFree(p); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  void* p;
};

template <class T>
void fill(const Buffer& b, std::size_t n, float seed) {
  auto* p = static_cast<float*>(b.p);
  for (std::size_t i = 0; i < n * sizeof(T) / sizeof(float); ++i) {
    p[i] = seed + 0.001f * float(i % 977);
  }
}

template <class T, class F>
void run(benchmark::State& state, F body) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const Buffer a(n * sizeof(T)), b(n * sizeof(T)), d(n * sizeof(T));
  fill<T>(a, n, 1.0f);
  fill<T>(b, n, 2.0f);
  fill<T>(d, n, 0.0f);
  const auto* pa = static_cast<const T*>(a.p);
  const auto* pb = static_cast<const T*>(b.p);
  auto* pd = static_cast<T*>(d.p);
  for (auto _ : state) {
    body(pa, pb, pd, int(n));
    benchmark::DoNotOptimize(pd);
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

// The same loop with the products kept in double, as the library keeps them: like for like.
__attribute__((noinline)) void plainCMpyDouble(const ComplexFloat* a, const ComplexFloat* b,
                                               ComplexFloat* d, int n) {
  for (int i = 0; i < n; ++i) {
    const double re = double(a[i].re) * b[i].re - double(a[i].im) * b[i].im;
    const double im = double(a[i].re) * b[i].im + double(a[i].im) * b[i].re;
    d[i] = {float(re), float(im)};
  }
}

void kvoSAdd3(benchmark::State& s) { run<float>(s, kvosbAdd3); }
void plainSAdd3(benchmark::State& s) { run<float>(s, plainAdd); }
void kvoCMpy3(benchmark::State& s) { run<ComplexFloat>(s, kvocbMpy3); }
void plainCMpy3(benchmark::State& s) { run<ComplexFloat>(s, plainCMpy); }
void plainCMpy3Double(benchmark::State& s) { run<ComplexFloat>(s, plainCMpyDouble); }
void kvoZMpy3(benchmark::State& s) { run<ComplexDouble>(s, kvozbMpy3); }

}  // namespace

BENCHMARK(kvoSAdd3)->Name("kvo/sbAdd3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(plainSAdd3)->Name("loop/sbAdd3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(kvoCMpy3)->Name("kvo/cbMpy3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(plainCMpy3)->Name("loop/cbMpy3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(plainCMpy3Double)->Name("loop-double/cbMpy3")->Arg(1024)->Arg(1 << 20);
BENCHMARK(kvoZMpy3)->Name("kvo/zbMpy3")->Arg(1024)->Arg(1 << 20);

KVO_BENCHMARK_MAIN_WITH_RATIOS()
