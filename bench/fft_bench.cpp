// FFT speed against FFTW 3 and kissfft: forward, in place, natural order, one thread.
//
//   fft_bench [minOrder [maxOrder]]      (default 4 .. 20)
//
// For every size it prints nanoseconds per transform (median of repeated timed batches), mflops
// (5 N log2 N / ns * 1000 for complex, half that for real transforms) and the ratios
// ours / FFTW (FFTW_MEASURE plan) and ours / kissfft. All plans are made before any timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "kernels/isa.h"
#include "kvo.h"

#if KVO_HAVE_FFTW
#include <fftw3.h>
#endif
#if KVO_HAVE_KISSFFT
#include <kissfft/kiss_fft.h>
#include <kissfft/kiss_fftr.h>
#endif

namespace {

// Median time of one call of `run`, in nanoseconds: batches of about 2 ms, repeated.
double medianNs(const std::function<void()>& run) {
  using Clock = std::chrono::steady_clock;
  run();
  std::size_t batch = 1;
  for (;;) {
    const auto t0 = Clock::now();
    for (std::size_t i = 0; i < batch; ++i) run();
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    if (ns > 2e6 || batch > (1u << 24)) break;
    batch *= 2;
  }
  std::vector<double> samples;
  for (int rep = 0; rep < 15; ++rep) {
    const auto t0 = Clock::now();
    for (std::size_t i = 0; i < batch; ++i) run();
    samples.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count() /
                      static_cast<double>(batch));
  }
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// Random data in [-1, 1). Every contender transforms its own buffer over and over, as FFTW's
// in-place plans do; the values grow (to infinity eventually), which costs no time on SSE/AVX.
template <class R>
struct Data {
  std::vector<R> fresh, work;
  explicit Data(std::size_t count) : fresh(count), work(count) {
    std::mt19937 gen(42);
    std::uniform_real_distribution<R> dist(-1, 1);
    for (auto& v : fresh) v = dist(gen);
    work = fresh;
  }
};

struct Row {
  const char* name;
  int order;
  double ours, fftwEstimate, fftwMeasure, kiss;
};

void print(const Row& r, double flopFactor) {
  const double n = std::ldexp(1.0, r.order);
  const double flops = flopFactor * 5 * n * r.order;
  std::printf("%-14s %8.0f %11.1f %9.0f %11.1f %11.1f %11.1f %8.2f", r.name, n, r.ours,
              flops / r.ours * 1000, r.fftwEstimate, r.fftwMeasure, r.kiss, r.ours / r.fftwMeasure);
  if (r.kiss > 0) {
    std::printf(" %8.2f\n", r.ours / r.kiss);
  } else {
    std::printf(" %8s\n", "-");
  }
}

void complexFloat(int order) {
  const int n = 1 << order;
  Data<float> d(2 * static_cast<std::size_t>(n));
  auto* buf = reinterpret_cast<ComplexFloat*>(d.work.data());
  kvocFft(nullptr, order, KVO_Forw | KVO_Init);
  Row r{"kvocFft", order, 0, 0, 0, 0};
  r.ours = medianNs([&] { kvocFft(buf, order, KVO_Forw); });
#if KVO_HAVE_FFTW
  auto* io = fftwf_alloc_complex(static_cast<std::size_t>(n));
  fftwf_plan est = fftwf_plan_dft_1d(n, io, io, FFTW_FORWARD, FFTW_ESTIMATE);
  fftwf_plan mea = fftwf_plan_dft_1d(n, io, io, FFTW_FORWARD, FFTW_MEASURE);
  std::memcpy(io, d.fresh.data(), sizeof(float) * 2 * n);
  r.fftwEstimate = medianNs([&] {
    fftwf_execute(est);
    benchmark::DoNotOptimize(io);
  });
  std::memcpy(io, d.fresh.data(), sizeof(float) * 2 * n);
  r.fftwMeasure = medianNs([&] {
    fftwf_execute(mea);
    benchmark::DoNotOptimize(io);
  });
  fftwf_destroy_plan(est);
  fftwf_destroy_plan(mea);
  fftwf_free(io);
#endif
#if KVO_HAVE_KISSFFT
  kiss_fft_cfg cfg = kiss_fft_alloc(n, 0, nullptr, nullptr);
  std::vector<kiss_fft_cpx> kin(static_cast<std::size_t>(n)), kout(static_cast<std::size_t>(n));
  std::memcpy(kin.data(), d.fresh.data(), sizeof(float) * 2 * n);
  r.kiss = medianNs([&] {
    kiss_fft(cfg, kin.data(), kout.data());
    benchmark::DoNotOptimize(kout);
  });
  kiss_fft_free(cfg);
#endif
  print(r, 1.0);
}

void complexDouble(int order) {
  const int n = 1 << order;
  Data<double> d(2 * static_cast<std::size_t>(n));
  auto* buf = reinterpret_cast<ComplexDouble*>(d.work.data());
  kvozFft(nullptr, order, KVO_Forw | KVO_Init);
  Row r{"kvozFft", order, 0, 0, 0, 0};
  r.ours = medianNs([&] { kvozFft(buf, order, KVO_Forw); });
#if KVO_HAVE_FFTW
  auto* io = fftw_alloc_complex(static_cast<std::size_t>(n));
  fftw_plan est = fftw_plan_dft_1d(n, io, io, FFTW_FORWARD, FFTW_ESTIMATE);
  fftw_plan mea = fftw_plan_dft_1d(n, io, io, FFTW_FORWARD, FFTW_MEASURE);
  std::memcpy(io, d.fresh.data(), sizeof(double) * 2 * n);
  r.fftwEstimate = medianNs([&] {
    fftw_execute(est);
    benchmark::DoNotOptimize(io);
  });
  std::memcpy(io, d.fresh.data(), sizeof(double) * 2 * n);
  r.fftwMeasure = medianNs([&] {
    fftw_execute(mea);
    benchmark::DoNotOptimize(io);
  });
  fftw_destroy_plan(est);
  fftw_destroy_plan(mea);
  fftw_free(io);
#endif
  print(r, 1.0);
}

void realFloat(int order) {
  const int n = 1 << order;
  Data<float> d(static_cast<std::size_t>(n));
  kvosRealFftl(nullptr, order, KVO_Forw | KVO_OutRCPack | KVO_Init);
  Row r{"kvosRealFftl", order, 0, 0, 0, 0};
  r.ours = medianNs([&] { kvosRealFftl(d.work.data(), order, KVO_Forw | KVO_OutRCPack); });
#if KVO_HAVE_FFTW
  float* io = fftwf_alloc_real(static_cast<std::size_t>(n) + 2);
  auto* spec = reinterpret_cast<fftwf_complex*>(io);
  fftwf_plan est = fftwf_plan_dft_r2c_1d(n, io, spec, FFTW_ESTIMATE);
  fftwf_plan mea = fftwf_plan_dft_r2c_1d(n, io, spec, FFTW_MEASURE);
  std::memcpy(io, d.fresh.data(), sizeof(float) * n);
  r.fftwEstimate = medianNs([&] {
    fftwf_execute(est);
    benchmark::DoNotOptimize(io);
  });
  std::memcpy(io, d.fresh.data(), sizeof(float) * n);
  r.fftwMeasure = medianNs([&] {
    fftwf_execute(mea);
    benchmark::DoNotOptimize(io);
  });
  fftwf_destroy_plan(est);
  fftwf_destroy_plan(mea);
  fftwf_free(io);
#endif
#if KVO_HAVE_KISSFFT
  kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
  std::vector<kiss_fft_cpx> kout(static_cast<std::size_t>(n) / 2 + 1);
  r.kiss = medianNs([&] {
    kiss_fftr(cfg, d.fresh.data(), kout.data());
    benchmark::DoNotOptimize(kout);
  });
  kiss_fftr_free(cfg);
#endif
  print(r, 0.5);
}

}  // namespace

int main(int argc, char** argv) {
  const int lo = argc > 1 ? std::atoi(argv[1]) : 4;
  const int hi = argc > 2 ? std::atoi(argv[2]) : 20;
  std::printf("instruction set: %s\n", kvo::kern::isaName(kvo::kern::isa()));
  std::printf("%-14s %8s %11s %9s %11s %11s %11s %8s %8s\n", "function", "N", "ns", "mflops",
              "fftw-est", "fftw-meas", "kissfft", "/fftw-m", "/kiss");
  for (auto bench : {complexFloat, complexDouble, realFloat}) {
    for (int order = lo; order <= hi; ++order) bench(order);
  }
  return 0;
}
