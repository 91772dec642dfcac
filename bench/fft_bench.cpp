// FFT speed against FFTW 3 and kissfft: forward, in place, natural order, one thread.
//
//   fft_bench [minOrder [maxOrder]]      (default 4 .. 20)
//
// For every size it prints nanoseconds per transform (median of 21 timed batches, the contenders
// taking turns), mflops (5 N log2 N / ns * 1000 for complex, half that for real transforms) and
// the ratios ours / FFTW (FFTW_MEASURE and, up to N = 2^14 where planning stays short,
// FFTW_PATIENT plans) and ours / kissfft. All plans are made before any timing.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <type_traits>
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
  for (int round = -3; round < 21; ++round) {  // three warm-up rounds are not counted
    for (std::size_t c = 0; c < runs.size(); ++c) {
      const auto t0 = Clock::now();
      for (std::size_t i = 0; i < batches[c]; ++i) runs[c]();
      const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
      if (round >= 0) samples[c].push_back(ns / static_cast<double>(batches[c]));
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

// ours, FFTW_ESTIMATE, FFTW_MEASURE, kissfft, FFTW_PATIENT; an empty function marks a missing
// contender.
constexpr int kContenders = 5;
constexpr int kMaxPatientOrder = 14;
void timeAndPrint(const char* name, int order, double flopFactor,
                  std::vector<std::function<void()>> runs) {
  std::vector<std::function<void()>> present;
  for (auto& r : runs) {
    if (r) present.push_back(r);
  }
  const std::vector<double> t = medianNs(present);
  double ns[kContenders] = {};
  for (std::size_t i = 0, j = 0; i < runs.size(); ++i) {
    if (runs[i]) ns[i] = t[j++];
  }
  const double n = std::ldexp(1.0, order);
  const double mflops = flopFactor * 5 * n * order / ns[0] * 1000;
  std::printf("%-14s %8.0f %11.1f %9.0f %11.1f %11.1f %11.1f", name, n, ns[0], mflops, ns[1], ns[2],
              ns[3]);
  std::printf(" %11.1f", ns[4]);
  for (int i : {2, 4, 3}) {
    if (ns[i] > 0) {
      std::printf(" %8.2f", ns[0] / ns[i]);
    } else {
      std::printf(" %8s", "-");
    }
  }
  std::printf("\n");
}

#if KVO_HAVE_FFTW
// The FFTW interface of one precision.
struct FftwFloat {
  using Plan = fftwf_plan;
  static void* alloc(std::size_t bytes) { return fftwf_malloc(bytes); }
  static void release(void* p) { fftwf_free(p); }
  static void execute(Plan p) { fftwf_execute(p); }
  static void destroy(Plan p) { fftwf_destroy_plan(p); }
  static Plan complexPlan(int n, void* io, unsigned flags) {
    auto* c = static_cast<fftwf_complex*>(io);
    return fftwf_plan_dft_1d(n, c, c, FFTW_FORWARD, flags);
  }
  static Plan realPlan(int n, void* io, unsigned flags) {
    return fftwf_plan_dft_r2c_1d(n, static_cast<float*>(io), static_cast<fftwf_complex*>(io),
                                 flags);
  }
};
struct FftwDouble {
  using Plan = fftw_plan;
  static void* alloc(std::size_t bytes) { return fftw_malloc(bytes); }
  static void release(void* p) { fftw_free(p); }
  static void execute(Plan p) { fftw_execute(p); }
  static void destroy(Plan p) { fftw_destroy_plan(p); }
  static Plan complexPlan(int n, void* io, unsigned flags) {
    auto* c = static_cast<fftw_complex*>(io);
    return fftw_plan_dft_1d(n, c, c, FFTW_FORWARD, flags);
  }
  static Plan realPlan(int n, void* io, unsigned flags) {
    return fftw_plan_dft_r2c_1d(n, static_cast<double*>(io), static_cast<fftw_complex*>(io), flags);
  }
};

// In-place FFTW_ESTIMATE, FFTW_MEASURE and FFTW_PATIENT plans, each on its own copy of the data,
// planned before the data is copied in (measuring overwrites the buffer). The patient plan only up
// to kMaxPatientOrder.
template <class F>
struct FftwPlans {
  void* buf[3];
  typename F::Plan plan[3];
  int count;
  template <class Make>
  FftwPlans(const void* data, std::size_t bytes, std::size_t room, int order, Make make)
      : count(order <= kMaxPatientOrder ? 3 : 2) {
    for (int i = 0; i < count; ++i) {
      buf[i] = F::alloc(room);
      plan[i] = make(buf[i], i == 0 ? FFTW_ESTIMATE : i == 1 ? FFTW_MEASURE : FFTW_PATIENT);
      std::memcpy(buf[i], data, bytes);
    }
  }
  ~FftwPlans() {
    for (int i = 0; i < count; ++i) {
      F::destroy(plan[i]);
      F::release(buf[i]);
    }
  }
  std::function<void()> run(int i) {
    if (i >= count) return {};
    return [this, i] { F::execute(plan[i]); };
  }
  // Ours in runs[0]; FFTW's plans in the slots of timeAndPrint.
  void fill(std::vector<std::function<void()>>& runs) {
    runs[1] = run(0);
    runs[2] = run(1);
    runs[4] = run(2);
  }
};
#endif

#if KVO_HAVE_KISSFFT
// kissfft (single precision), out of place, complex or real input.
struct Kiss {
  kiss_fft_cfg complexCfg = nullptr;
  kiss_fftr_cfg realCfg = nullptr;
  std::vector<kiss_fft_cpx> in, out;
  Kiss(const std::vector<float>& data, std::size_t n, bool real)
      : in(n), out(real ? n / 2 + 1 : n) {
    if (real) {
      realCfg = kiss_fftr_alloc(static_cast<int>(n), 0, nullptr, nullptr);
    } else {
      complexCfg = kiss_fft_alloc(static_cast<int>(n), 0, nullptr, nullptr);
    }
    std::memcpy(in.data(), data.data(), sizeof(float) * data.size());
  }
  ~Kiss() {
    kiss_fft_free(complexCfg);
    kiss_fftr_free(realCfg);
  }
  std::function<void()> run() {
    return [this] {
      if (realCfg != nullptr) {
        kiss_fftr(realCfg, reinterpret_cast<const float*>(in.data()), out.data());
      } else {
        kiss_fft(complexCfg, in.data(), out.data());
      }
      benchmark::DoNotOptimize(out.data());
    };
  }
};
#endif

// kvocFft or kvozFft of order against the peers of its precision.
template <class C, class R>
void complexBench(const char* name, void (*fft)(C*, int, int), int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto fresh = randomData<R>(2 * n);
  std::vector<R> ours = fresh;
  fft(nullptr, order, KVO_Forw | KVO_Init);
  std::vector<std::function<void()>> runs(kContenders);
  runs[0] = [&] { fft(reinterpret_cast<C*>(ours.data()), order, KVO_Forw); };
#if KVO_HAVE_FFTW
  using F = std::conditional_t<sizeof(R) == 4, FftwFloat, FftwDouble>;
  FftwPlans<F> fftw(
      fresh.data(), sizeof(R) * 2 * n, sizeof(R) * 2 * n, order,
      [&](void* io, unsigned f) { return F::complexPlan(static_cast<int>(n), io, f); });
  fftw.fill(runs);
#endif
#if KVO_HAVE_KISSFFT
  std::optional<Kiss> kiss;
  if constexpr (sizeof(R) == 4) {
    kiss.emplace(fresh, n, false);
    runs[3] = kiss->run();
  }
#endif
  timeAndPrint(name, order, 1.0, runs);
}

void complexFloat(int order) { complexBench<ComplexFloat, float>("kvocFft", kvocFft, order); }
// kissfft is packaged in single precision only.
void complexDouble(int order) { complexBench<ComplexDouble, double>("kvozFft", kvozFft, order); }

// kvosRealFftl or kvodRealFftl (RCPack output) against FFTW's r2c plans (and kissfft for float).
template <class R>
void realBench(const char* name, void (*fft)(R*, int, int), int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto fresh = randomData<R>(n);
  std::vector<R> ours = fresh;
  fft(nullptr, order, KVO_Forw | KVO_OutRCPack | KVO_Init);
  std::vector<std::function<void()>> runs(kContenders);
  runs[0] = [&] { fft(ours.data(), order, KVO_Forw | KVO_OutRCPack); };
#if KVO_HAVE_FFTW
  using F = std::conditional_t<sizeof(R) == 4, FftwFloat, FftwDouble>;
  FftwPlans<F> fftw(fresh.data(), sizeof(R) * n, sizeof(R) * (n + 2), order,
                    [&](void* io, unsigned f) { return F::realPlan(static_cast<int>(n), io, f); });
  fftw.fill(runs);
#endif
#if KVO_HAVE_KISSFFT
  std::optional<Kiss> kiss;
  if constexpr (sizeof(R) == 4) {
    kiss.emplace(fresh, n, true);
    runs[3] = kiss->run();
  }
#endif
  timeAndPrint(name, order, 0.5, runs);
}

void realFloat(int order) { realBench<float>("kvosRealFftl", kvosRealFftl, order); }
void realDouble(int order) { realBench<double>("kvodRealFftl", kvodRealFftl, order); }

}  // namespace

int main(int argc, char** argv) {
  const int lo = argc > 1 ? std::atoi(argv[1]) : 4;
  const int hi = argc > 2 ? std::atoi(argv[2]) : 20;
  std::printf("instruction set: %s\n", kvo::kern::isaName(kvo::kern::isa()));
  std::printf("%-14s %8s %11s %9s %11s %11s %11s %11s %8s %8s %8s\n", "function", "N", "ns",
              "mflops", "fftw-est", "fftw-meas", "kissfft", "fftw-pat", "/fftw-m", "/fftw-p",
              "/kiss");
  for (auto bench : {complexFloat, complexDouble, realFloat, realDouble}) {
    for (int order = lo; order <= hi; ++order) bench(order);
  }
  return 0;
}
