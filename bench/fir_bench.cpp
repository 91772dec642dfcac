// FIR filters against liquid-dsp and a plain scalar loop on the same data in the same run.
//
// Every case reports MAC/s (taps times outputs per second) and the fraction of this core's float
// FMA peak, measured at start-up with a loop of independent fused multiply-adds. The library's
// float filters accumulate in double precision, so their ceiling is half the float peak.
// "kvofloat/wbFir" runs the float filter on the same lengths, so the ratio line of wbFir shows the
// 16-bit filter's speed against the float one; "kvonormal/sbFirlDenormal" does the same for a
// delay line full of subnormal numbers against a normal one.
#include <immintrin.h>

#include <ctime>
#include <complex>
#include <cstdio>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"
#if defined(KVO_HAVE_LIQUID)
#include <liquid/liquid.h>
#endif

namespace {

constexpr int kBlock = 4096;
double g_peakMacs = 0;  // float multiply-adds per second of one core

// Ten independent chains of 8-lane fused multiply-adds (or multiply and add without FMA).
double measurePeak() {
#if defined(__AVX512F__)
  using V = __m512;
  constexpr int kLanes = 16;
  auto fma = [](V a, V b, V c) { return _mm512_fmadd_ps(a, b, c); };
  auto set = [](float x) { return _mm512_set1_ps(x); };
#elif defined(__FMA__)
  using V = __m256;
  constexpr int kLanes = 8;
  auto fma = [](V a, V b, V c) { return _mm256_fmadd_ps(a, b, c); };
  auto set = [](float x) { return _mm256_set1_ps(x); };
#else
  using V = __m128;
  constexpr int kLanes = 4;
  auto fma = [](V a, V b, V c) { return _mm_add_ps(_mm_mul_ps(a, b), c); };
  auto set = [](float x) { return _mm_set1_ps(x); };
#endif
  V acc[10];
  for (int i = 0; i < 10; ++i) acc[i] = set(float(i));
  const V m = set(0.999999f), a = set(1e-7f);
  constexpr long kIters = 20000000;
  double best = 0;
  for (int rep = 0; rep < 3; ++rep) {
    // Processor time of this thread: the machine is shared, wall time would count the others.
    timespec t0{}, t1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
    for (long it = 0; it < kIters; ++it) {
      for (int i = 0; i < 10; ++i) acc[i] = fma(acc[i], m, a);
    }
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
    const double s = double(t1.tv_sec - t0.tv_sec) + 1e-9 * double(t1.tv_nsec - t0.tv_nsec);
    best = std::max(best, double(kIters) * 10 * kLanes / s);
  }
  float sink = 0;
  for (int i = 0; i < 10; ++i) sink += reinterpret_cast<float*>(&acc[i])[0];
  std::printf("measured float FMA peak: %.2f GMAC/s per core (sink %g)\n", best * 1e-9, sink);
  return best;
}

template <class T>
std::vector<T> signal(std::size_t n, float scale = 1.0f) {
  std::vector<T> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    const float x = scale * (float((i * 7919) % 1000) / 500.0f - 1.0f);
    if constexpr (std::is_same_v<T, ComplexFloat>) {
      v[i] = {x, -x};
    } else if constexpr (std::is_same_v<T, short>) {
      v[i] = short(x * 20000);
    } else {
      v[i] = x;
    }
  }
  return v;
}

void counters(benchmark::State& state, double macsPerIter) {
  state.counters["MAC/s"] =
      benchmark::Counter(macsPerIter * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["of_peak"] = benchmark::Counter(
      macsPerIter * double(state.iterations()) / g_peakMacs, benchmark::Counter::kIsRate);
}

// ---- kvo ----

void kvoLow(benchmark::State& state, float scale) {
  const int L = int(state.range(0));
  auto taps = signal<float>(L, 0.01f);
  std::vector<float> dly(L, scale), out(kBlock);
  const auto in = signal<float>(kBlock, scale);
  FirTapState ts;
  FirDlyState ds;
  kvosFirlInit(taps.data(), L, &ts);
  kvosFirlInitDlyl(&ts, dly.data(), &ds);
  const std::vector<float> hist(L, scale);
  for (auto _ : state) {
    state.PauseTiming();
    kvosFirlSetDlyl(&ts, hist.data(), &ds);
    state.ResumeTiming();
    kvosbFirl(&ts, &ds, in.data(), out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  counters(state, double(L) * kBlock);
}

template <class T, class O, class Init, class Block>
void kvoHigh(benchmark::State& state, Init init, Block block, int up, int down) {
  const int L = int(state.range(0));
  const auto taps = signal<std::conditional_t<std::is_same_v<T, short>, float, T>>(L, 0.01f);
  const auto in = signal<T>(std::size_t(kBlock) * down);
  std::vector<O> out(std::size_t(kBlock) * up);
  FirState st{};
  init(taps.data(), L, up, down, &st);
  for (auto _ : state) {
    block(&st, in.data(), out.data(), kBlock);
    benchmark::DoNotOptimize(out.data());
  }
  kvoFirFree(&st);
  // Only the kept outputs count: a polyphase output costs L/up taps.
  counters(state, double(L) / up * kBlock * up);
}

void kvosbFirl(benchmark::State& s) { kvoLow(s, 1.0f); }
void kvosbFirlDenormal(benchmark::State& s) { kvoLow(s, 1e-39f); }
void kvosbFir(benchmark::State& s) {
  kvoHigh<float, float>(
      s, [](const float* h, int L, int, int, FirState* st) { kvosFirInit(h, L, nullptr, st); },
      [](FirState* st, const float* x, float* y, int n) { kvosbFir(st, x, y, n); }, 1, 1);
}
void kvocbFir(benchmark::State& s) {
  kvoHigh<ComplexFloat, ComplexFloat>(
      s,
      [](const ComplexFloat* h, int L, int, int, FirState* st) { kvocFirInit(h, L, nullptr, st); },
      [](FirState* st, const ComplexFloat* x, ComplexFloat* y, int n) { kvocbFir(st, x, y, n); }, 1,
      1);
}
void kvowbFir(benchmark::State& s) {
  kvoHigh<short, short>(
      s, [](const float* h, int L, int, int, FirState* st) { kvowFirInit(h, L, nullptr, st); },
      [](FirState* st, const short* x, short* y, int n) { kvowbFir(st, x, y, n, 1, nullptr); }, 1,
      1);
}
template <int kUp, int kDown>
void kvoResample(benchmark::State& s) {
  kvoHigh<float, float>(
      s,
      [](const float* h, int L, int up, int down, FirState* st) {
        kvosFirInitMr(h, L, nullptr, up, 0, down, 0, st);
      },
      [](FirState* st, const float* x, float* y, int n) { kvosbFir(st, x, y, n); }, kUp, kDown);
}

// ---- the plain loop a user would write ----

__attribute__((noinline)) void plainFir(const float* h, int L, const float* x, float* y, int n) {
  for (int i = 0; i < n; ++i) {
    float acc = 0;
    for (int k = 0; k < L; ++k) acc += h[k] * x[i - k];
    y[i] = acc;
  }
}
void plainSbFir(benchmark::State& state) {
  const int L = int(state.range(0));
  const auto h = signal<float>(L, 0.01f);
  const auto x = signal<float>(kBlock + L);
  std::vector<float> y(kBlock);
  for (auto _ : state) {
    plainFir(h.data(), L, x.data() + L, y.data(), kBlock);
    benchmark::DoNotOptimize(y.data());
  }
  counters(state, double(L) * kBlock);
}

#if defined(KVO_HAVE_LIQUID)
void liquidRrrf(benchmark::State& state) {
  const int L = int(state.range(0));
  auto h = signal<float>(L, 0.01f);
  auto x = signal<float>(kBlock);
  std::vector<float> y(kBlock);
  firfilt_rrrf q = firfilt_rrrf_create(h.data(), unsigned(L));
  for (auto _ : state) {
    firfilt_rrrf_execute_block(q, x.data(), kBlock, y.data());
    benchmark::DoNotOptimize(y.data());
  }
  firfilt_rrrf_destroy(q);
  counters(state, double(L) * kBlock);
}
void liquidCccf(benchmark::State& state) {
  const int L = int(state.range(0));
  std::vector<std::complex<float>> h(L), x(kBlock), y(kBlock);
  const auto hs = signal<float>(L, 0.01f), xs = signal<float>(kBlock);
  for (int i = 0; i < L; ++i) h[i] = {hs[i], -hs[i]};
  for (int i = 0; i < kBlock; ++i) x[i] = {xs[i], -xs[i]};
  firfilt_cccf q = firfilt_cccf_create(h.data(), unsigned(L));
  for (auto _ : state) {
    firfilt_cccf_execute_block(q, x.data(), kBlock, y.data());
    benchmark::DoNotOptimize(y.data());
  }
  firfilt_cccf_destroy(q);
  counters(state, double(L) * kBlock);
}
void liquidDecim4(benchmark::State& state) {
  const int L = int(state.range(0));
  auto h = signal<float>(L, 0.01f);
  auto x = signal<float>(std::size_t(kBlock) * 4);
  std::vector<float> y(kBlock);
  firdecim_rrrf q = firdecim_rrrf_create(4, h.data(), unsigned(L));
  for (auto _ : state) {
    firdecim_rrrf_execute_block(q, x.data(), kBlock, y.data());
    benchmark::DoNotOptimize(y.data());
  }
  firdecim_rrrf_destroy(q);
  counters(state, double(L) * kBlock);
}
void liquidInterp4(benchmark::State& state) {
  const int L = int(state.range(0));
  auto h = signal<float>(L, 0.01f);
  auto x = signal<float>(kBlock);
  std::vector<float> y(std::size_t(kBlock) * 4);
  firinterp_rrrf q = firinterp_rrrf_create(4, h.data(), unsigned(L));
  for (auto _ : state) {
    firinterp_rrrf_execute_block(q, x.data(), kBlock, y.data());
    benchmark::DoNotOptimize(y.data());
  }
  firinterp_rrrf_destroy(q);
  counters(state, double(L) / 4 * kBlock * 4);
}
#endif

#define KVO_TAPS ->Arg(16)->Arg(64)->Arg(256)->Arg(1024)
BENCHMARK(kvosbFirl)->Name("kvo/sbFirl") KVO_TAPS;
BENCHMARK(kvosbFir)->Name("kvo/sbFir") KVO_TAPS;
BENCHMARK(kvocbFir)->Name("kvo/cbFir") KVO_TAPS;
BENCHMARK(kvowbFir)->Name("kvo/wbFir") KVO_TAPS;
BENCHMARK(kvosbFir)->Name("kvofloat/wbFir") KVO_TAPS;
BENCHMARK(kvosbFirlDenormal)->Name("kvo/sbFirlDenormal")->Arg(256);
BENCHMARK(kvosbFirl)->Name("kvonormal/sbFirlDenormal")->Arg(256);
BENCHMARK(kvoResample<1, 4>)->Name("kvo/decim4")->Arg(64)->Arg(256);
BENCHMARK(kvoResample<4, 1>)->Name("kvo/interp4")->Arg(64)->Arg(256);
BENCHMARK(plainSbFir)->Name("plain/sbFirl") KVO_TAPS;
BENCHMARK(plainSbFir)->Name("plain/sbFir") KVO_TAPS;
#if defined(KVO_HAVE_LIQUID)
BENCHMARK(liquidRrrf)->Name("liquid/sbFirl") KVO_TAPS;
BENCHMARK(liquidRrrf)->Name("liquid/sbFir") KVO_TAPS;
BENCHMARK(liquidCccf)->Name("liquid/cbFir") KVO_TAPS;
BENCHMARK(liquidRrrf)->Name("liquid/wbFir") KVO_TAPS;
BENCHMARK(liquidDecim4)->Name("liquid/decim4")->Arg(64)->Arg(256);
BENCHMARK(liquidInterp4)->Name("liquid/interp4")->Arg(64)->Arg(256);
#endif

}  // namespace

int main(int argc, char** argv) {
  g_peakMacs = measurePeak();
  benchmark::Initialize(&argc, argv);
  kvobench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
