// DCT, DFT and Goertzel speed against their peers, one thread, each "kvo/<case>" beside
// "<peer>/<case>" on the same data:
//   DCT (kvosDct, kvodDct, forward and inverse) vs FFTW's REDFT10 / REDFT01 (FFTW_MEASURE plans,
//   unnormalised; the orthonormal scaling would be applied outside the timing);
//   kvocDft vs FFTW's complex plan of the same length and a plain O(N^2) loop;
//   Goertzel (kvosbGoertz) vs a plain recurrence loop.
// The ratio table at the end is ours / peer (below 1 is faster).
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

#if KVO_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

template <class T>
std::vector<T> noise(std::size_t n) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<T> d(-1, 1);
  std::vector<T> v(n);
  for (auto& x : v) x = d(gen);
  return v;
}

// ---- DCT ----

template <class R>
void kvoDct(benchmark::State& st, int flags) {
  const int n = static_cast<int>(st.range(0));
  auto x = noise<R>(n);
  std::vector<R> y(n);
  for (auto _ : st) {
    if constexpr (sizeof(R) == 4) {
      kvosDct(x.data(), y.data(), n, flags);
    } else {
      kvodDct(x.data(), y.data(), n, flags);
    }
    benchmark::DoNotOptimize(y.data());
  }
}

#if KVO_HAVE_FFTW
template <class R>
void fftwDct(benchmark::State& st, int flags) {
  const int n = static_cast<int>(st.range(0));
  auto x = noise<R>(n);
  std::vector<R> y(n);
  if constexpr (sizeof(R) == 4) {
    fftwf_plan p =
        fftwf_plan_r2r_1d(n, x.data(), y.data(), flags == KVO_Forw ? FFTW_REDFT10 : FFTW_REDFT01,
                          FFTW_MEASURE | FFTW_PRESERVE_INPUT);
    x = noise<R>(n);
    for (auto _ : st) {
      fftwf_execute(p);
      benchmark::DoNotOptimize(y.data());
    }
    fftwf_destroy_plan(p);
  } else {
    fftw_plan p =
        fftw_plan_r2r_1d(n, x.data(), y.data(), flags == KVO_Forw ? FFTW_REDFT10 : FFTW_REDFT01,
                         FFTW_MEASURE | FFTW_PRESERVE_INPUT);
    x = noise<R>(n);
    for (auto _ : st) {
      fftw_execute(p);
      benchmark::DoNotOptimize(y.data());
    }
    fftw_destroy_plan(p);
  }
}
#endif

void dctSizes(benchmark::internal::Benchmark* b) {
  for (int order = 6; order <= 16; order += 2) b->Arg(1 << order);
  b->Arg(1000)->Arg(1920);
}

void kvoSDct(benchmark::State& st, int flags) { kvoDct<float>(st, flags); }
void kvoDDct(benchmark::State& st, int flags) { kvoDct<double>(st, flags); }
BENCHMARK_CAPTURE(kvoSDct, f, KVO_Forw)->Name("kvo/sDctFwd")->Apply(dctSizes);
BENCHMARK_CAPTURE(kvoSDct, i, KVO_Inv)->Name("kvo/sDctInv")->Apply(dctSizes);
BENCHMARK_CAPTURE(kvoDDct, f, KVO_Forw)->Name("kvo/dDctFwd")->Apply(dctSizes);
BENCHMARK_CAPTURE(kvoDDct, i, KVO_Inv)->Name("kvo/dDctInv")->Apply(dctSizes);
#if KVO_HAVE_FFTW
void fftwSDct(benchmark::State& st, int flags) { fftwDct<float>(st, flags); }
void fftwDDct(benchmark::State& st, int flags) { fftwDct<double>(st, flags); }
BENCHMARK_CAPTURE(fftwSDct, f, KVO_Forw)->Name("fftw/sDctFwd")->Apply(dctSizes);
BENCHMARK_CAPTURE(fftwSDct, i, KVO_Inv)->Name("fftw/sDctInv")->Apply(dctSizes);
BENCHMARK_CAPTURE(fftwDDct, f, KVO_Forw)->Name("fftw/dDctFwd")->Apply(dctSizes);
BENCHMARK_CAPTURE(fftwDDct, i, KVO_Inv)->Name("fftw/dDctInv")->Apply(dctSizes);
#endif

// ---- DFT ----

std::vector<ComplexFloat> complexNoise(std::size_t n) {
  auto r = noise<float>(2 * n);
  std::vector<ComplexFloat> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = {r[2 * i], r[2 * i + 1]};
  return v;
}

void kvoDft(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  auto x = complexNoise(n);
  std::vector<ComplexFloat> y(n);
  for (auto _ : st) {
    kvocDft(x.data(), y.data(), n, KVO_Forw);
    benchmark::DoNotOptimize(y.data());
  }
}

// The plain O(N^2) loop: a twiddle table, the index (n k) mod N, sums in double.
void naiveDft(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  auto x = complexNoise(n);
  std::vector<ComplexFloat> y(n), w(n);
  for (int k = 0; k < n; ++k) {
    const double a = -2 * M_PI * k / n;
    w[k] = {float(std::cos(a)), float(std::sin(a))};
  }
  for (auto _ : st) {
    for (int k = 0; k < n; ++k) {
      double re = 0, im = 0;
      for (int j = 0; j < n; ++j) {
        const ComplexFloat t = w[(static_cast<long long>(j) * k) % n];
        re += double(x[j].re) * t.re - double(x[j].im) * t.im;
        im += double(x[j].re) * t.im + double(x[j].im) * t.re;
      }
      y[k] = {float(re), float(im)};
    }
    benchmark::DoNotOptimize(y.data());
  }
}

#if KVO_HAVE_FFTW
void fftwDft(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  auto x = complexNoise(n);
  std::vector<ComplexFloat> y(n);
  auto* in = reinterpret_cast<fftwf_complex*>(x.data());
  auto* out = reinterpret_cast<fftwf_complex*>(y.data());
  fftwf_plan p = fftwf_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE | FFTW_PRESERVE_INPUT);
  x = complexNoise(n);
  for (auto _ : st) {
    fftwf_execute(p);
    benchmark::DoNotOptimize(y.data());
  }
  fftwf_destroy_plan(p);
}
BENCHMARK(fftwDft)->Name("fftw/cDft")->Arg(100)->Arg(1000)->Arg(1920);
#endif
BENCHMARK(kvoDft)->Name("kvo/cDft")->Arg(100)->Arg(1000)->Arg(1920);
BENCHMARK(naiveDft)->Name("naive/cDft")->Arg(100)->Arg(1000)->Arg(1920);

// ---- Goertzel ----

void kvoGoertzel(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  auto x = noise<float>(n);
  GoertzState g;
  kvosGoertzInit(0.123f, &g);
  for (auto _ : st) {
    kvosGoertzReset(&g);
    benchmark::DoNotOptimize(kvosbGoertz(&g, x.data(), n));
  }
}

void loopGoertzel(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  auto x = noise<float>(n);
  const double w = 2 * M_PI * 0.123, c = std::cos(w), s = std::sin(w), two = 2 * c;
  for (auto _ : st) {
    double d1 = 0, d2 = 0, s0 = 0;
    for (int i = 0; i < n; ++i) {
      s0 = x[i] + two * d1 - d2;
      d2 = d1;
      d1 = s0;
    }
    std::complex<double> r(c * s0 - d2, s * s0);
    benchmark::DoNotOptimize(r);
  }
}
BENCHMARK(kvoGoertzel)->Name("kvo/sGoertz")->Arg(1024)->Arg(16384);
BENCHMARK(loopGoertzel)->Name("loop/sGoertz")->Arg(1024)->Arg(16384);

}  // namespace

KVO_BENCHMARK_MAIN_WITH_RATIOS()
