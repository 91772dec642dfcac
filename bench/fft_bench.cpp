// FFT speed against FFTW 3 and kissfft: forward, in place, natural order, one thread.
//
//   fft_bench [minOrder [maxOrder]]      (default 4 .. 20)
//
// For every size it prints nanoseconds per transform (median of 21 timed batches, the contenders
// taking turns), mflops
// (5 N log2 N / ns * 1000 for complex, half that for real transforms) and the ratios
// ours / FFTW (FFTW_MEASURE plan) and ours / kissfft. All plans are made before any timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
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

using Clock = std::chrono::steady_clock;

// Calls per timed batch so that one batch takes about 2 ms.
std::size_t batchSize(const std::function<void()>& run) {
  run();
  std::size_t batch = 1;
  for (;;) {
    const auto t0 = Clock::now();
    for (std::size_t i = 0; i < batch; ++i) run();
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    if (ns > 2e6 || batch > (std::size_t{1} << 24)) return batch;
    batch *= 2;
  }
}

// Median nanoseconds per call of each contender. The contenders take turns batch by batch, so a
// change of machine load affects all of them alike.
std::vector<double> medianNs(const std::vector<std::function<void()>>& runs) {
  std::vector<std::size_t> batches;
  for (const auto& run : runs) batches.push_back(batchSize(run));
  std::vector<std::vector<double>> samples(runs.size());
  for (int round = 0; round < 21; ++round) {
    for (std::size_t c = 0; c < runs.size(); ++c) {
      const auto t0 = Clock::now();
      for (std::size_t i = 0; i < batches[c]; ++i) runs[c]();
      samples[c].push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count() /
                           static_cast<double>(batches[c]));
    }
  }
  std::vector<double> medians;
  for (auto& s : samples) {
    std::sort(s.begin(), s.end());
    medians.push_back(s[s.size() / 2]);
  }
  return medians;
}

// Random data in [-1, 1). Every contender transforms its own buffer over and over, as FFTW's
// in-place plans do; the values grow (to infinity eventually), which costs no time on SSE/AVX.
template <class R>
std::vector<R> randomData(std::size_t count) {
  std::mt19937 gen(42);
  std::uniform_real_distribution<R> dist(-1, 1);
  std::vector<R> v(count);
  for (auto& x : v) x = dist(gen);
  return v;
}

// ours, FFTW_ESTIMATE, FFTW_MEASURE, kissfft; an empty function marks a missing contender.
void timeAndPrint(const char* name, int order, double flopFactor,
                  std::vector<std::function<void()>> runs) {
  std::vector<std::function<void()>> present;
  for (auto& r : runs) {
    if (r) present.push_back(r);
  }
  const std::vector<double> t = medianNs(present);
  double ns[4] = {0, 0, 0, 0};
  for (std::size_t i = 0, j = 0; i < runs.size(); ++i) {
    if (runs[i]) ns[i] = t[j++];
  }
  const double n = std::ldexp(1.0, order);
  const double mflops = flopFactor * 5 * n * order / ns[0] * 1000;
  std::printf("%-14s %8.0f %11.1f %9.0f %11.1f %11.1f %11.1f", name, n, ns[0], mflops, ns[1], ns[2],
              ns[3]);
  for (int i : {2, 3}) {
    if (ns[i] > 0) {
      std::printf(" %8.2f", ns[0] / ns[i]);
    } else {
      std::printf(" %8s", "-");
    }
  }
  std::printf("\n");
}

void complexFloat(int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto fresh = randomData<float>(2 * n);
  std::vector<float> ours = fresh;
  kvocFft(nullptr, order, KVO_Forw | KVO_Init);
  std::vector<std::function<void()>> runs(4);
  runs[0] = [&] { kvocFft(reinterpret_cast<ComplexFloat*>(ours.data()), order, KVO_Forw); };
#if KVO_HAVE_FFTW
  fftwf_complex* est = fftwf_alloc_complex(n);
  fftwf_complex* mea = fftwf_alloc_complex(n);
  const int len = static_cast<int>(n);
  fftwf_plan pe = fftwf_plan_dft_1d(len, est, est, FFTW_FORWARD, FFTW_ESTIMATE);
  fftwf_plan pm = fftwf_plan_dft_1d(len, mea, mea, FFTW_FORWARD, FFTW_MEASURE);
  std::memcpy(est, fresh.data(), sizeof(float) * 2 * n);
  std::memcpy(mea, fresh.data(), sizeof(float) * 2 * n);
  runs[1] = [&] { fftwf_execute(pe); };
  runs[2] = [&] { fftwf_execute(pm); };
#endif
#if KVO_HAVE_KISSFFT
  kiss_fft_cfg cfg = kiss_fft_alloc(static_cast<int>(n), 0, nullptr, nullptr);
  std::vector<kiss_fft_cpx> kin(n), kout(n);
  std::memcpy(kin.data(), fresh.data(), sizeof(float) * 2 * n);
  runs[3] = [&] {
    kiss_fft(cfg, kin.data(), kout.data());
    benchmark::DoNotOptimize(kout.data());
  };
#endif
  timeAndPrint("kvocFft", order, 1.0, runs);
#if KVO_HAVE_FFTW
  fftwf_destroy_plan(pe);
  fftwf_destroy_plan(pm);
  fftwf_free(est);
  fftwf_free(mea);
#endif
#if KVO_HAVE_KISSFFT
  kiss_fft_free(cfg);
#endif
}

void complexDouble(int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto fresh = randomData<double>(2 * n);
  std::vector<double> ours = fresh;
  kvozFft(nullptr, order, KVO_Forw | KVO_Init);
  std::vector<std::function<void()>> runs(4);
  runs[0] = [&] { kvozFft(reinterpret_cast<ComplexDouble*>(ours.data()), order, KVO_Forw); };
#if KVO_HAVE_FFTW
  fftw_complex* est = fftw_alloc_complex(n);
  fftw_complex* mea = fftw_alloc_complex(n);
  const int len = static_cast<int>(n);
  fftw_plan pe = fftw_plan_dft_1d(len, est, est, FFTW_FORWARD, FFTW_ESTIMATE);
  fftw_plan pm = fftw_plan_dft_1d(len, mea, mea, FFTW_FORWARD, FFTW_MEASURE);
  std::memcpy(est, fresh.data(), sizeof(double) * 2 * n);
  std::memcpy(mea, fresh.data(), sizeof(double) * 2 * n);
  runs[1] = [&] { fftw_execute(pe); };
  runs[2] = [&] { fftw_execute(pm); };
#endif
  timeAndPrint("kvozFft", order, 1.0, runs);  // kissfft is packaged in single precision only
#if KVO_HAVE_FFTW
  fftw_destroy_plan(pe);
  fftw_destroy_plan(pm);
  fftw_free(est);
  fftw_free(mea);
#endif
}

void realFloat(int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto fresh = randomData<float>(n);
  std::vector<float> ours = fresh;
  kvosRealFftl(nullptr, order, KVO_Forw | KVO_OutRCPack | KVO_Init);
  std::vector<std::function<void()>> runs(4);
  runs[0] = [&] { kvosRealFftl(ours.data(), order, KVO_Forw | KVO_OutRCPack); };
#if KVO_HAVE_FFTW
  float* est = fftwf_alloc_real(n + 2);
  float* mea = fftwf_alloc_real(n + 2);
  const int len = static_cast<int>(n);
  fftwf_plan pe =
      fftwf_plan_dft_r2c_1d(len, est, reinterpret_cast<fftwf_complex*>(est), FFTW_ESTIMATE);
  fftwf_plan pm =
      fftwf_plan_dft_r2c_1d(len, mea, reinterpret_cast<fftwf_complex*>(mea), FFTW_MEASURE);
  std::memcpy(est, fresh.data(), sizeof(float) * n);
  std::memcpy(mea, fresh.data(), sizeof(float) * n);
  runs[1] = [&] { fftwf_execute(pe); };
  runs[2] = [&] { fftwf_execute(pm); };
#endif
#if KVO_HAVE_KISSFFT
  kiss_fftr_cfg cfg = kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr);
  std::vector<kiss_fft_cpx> kout(n / 2 + 1);
  runs[3] = [&] {
    kiss_fftr(cfg, fresh.data(), kout.data());
    benchmark::DoNotOptimize(kout.data());
  };
#endif
  timeAndPrint("kvosRealFftl", order, 0.5, runs);
#if KVO_HAVE_FFTW
  fftwf_destroy_plan(pe);
  fftwf_destroy_plan(pm);
  fftwf_free(est);
  fftwf_free(mea);
#endif
#if KVO_HAVE_KISSFFT
  kiss_fftr_free(cfg);
#endif
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
