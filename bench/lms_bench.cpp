// LMS adaptation against a desired signal, 65,536 samples at 32, 128 and 512 taps: the library's
// block form (kvosbLmsDes, kvodbLmsDes) against the plain loop of the same update a user would
// write, twice: as -O3 -march=native makes it ("plain", whose tap loops the compiler vectorises)
// and kept scalar ("scalar", vectorisation off for that function), and, where installed,
// liquid-dsp's eqlms_rrrf (push, execute, step per sample). Items are samples. The library's level
// follows KVO_ISA.
#include <cstdlib>
#include <random>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

#if defined(KVO_HAVE_LIQUID)
#include <complex>
#include <liquid/liquid.h>
#endif

namespace {

constexpr int kSamples = 65536;
constexpr float kStep = 0.001f;

template <class T>
std::vector<T> noise(unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist(0, 1);
  std::vector<T> v(kSamples);
  for (auto& x : v) x = static_cast<T>(dist(gen));
  return v;
}

// The update as written by hand: adapt with the previous error on the line before the sample
// enters, shift, filter with a double sum, keep d - y.
#define KVO_PLAIN_LMS_BODY                                \
  for (int j = 0; j < count; ++j) {                       \
    const T g = kStep * err;                              \
    for (int i = 0; i < n; ++i) h[i] = h[i] + g * x[i];   \
    for (int i = n - 1; i > 0; --i) x[i] = x[i - 1];      \
    x[0] = in[j];                                         \
    double y = 0;                                         \
    for (int i = 0; i < n; ++i) y += double(h[i]) * x[i]; \
    out[j] = static_cast<T>(y);                           \
    err = des[j] - out[j];                                \
  }
template <class T>
__attribute__((noinline)) void plainLms(T* h, T* x, int n, const T* in, const T* des, T* out,
                                        int count, T& err) {
  KVO_PLAIN_LMS_BODY
}
// The same loop with the compiler's vectorisers off: one tap at a time.
template <class T>
__attribute__((noinline, optimize("no-tree-vectorize", "no-tree-slp-vectorize"))) void scalarLms(
    T* h, T* x, int n, const T* in, const T* des, T* out, int count, T& err) {
  KVO_PLAIN_LMS_BODY
}
#undef KVO_PLAIN_LMS_BODY

template <class T>
void run(benchmark::State& state, void (*body)(int, const T*, const T*, T*)) {
  const int taps = static_cast<int>(state.range(0));
  const auto in = noise<T>(1), des = noise<T>(2);
  std::vector<T> out(kSamples);
  for (auto _ : state) {
    body(taps, in.data(), des.data(), out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

void kvoFloat(int taps, const float* in, const float* des, float* out) {
  LmsState st;
  kvosLmsInit(0, nullptr, taps, nullptr, kStep, 0, 0, &st);
  kvosbLmsDes(&st, in, des, out, kSamples);
  kvoLmsFree(&st);
}
void kvoDouble(int taps, const double* in, const double* des, double* out) {
  LmsState st;
  kvodLmsInit(0, nullptr, taps, nullptr, kStep, 0, 0, &st);
  kvodbLmsDes(&st, in, des, out, kSamples);
  kvoLmsFree(&st);
}
template <class T, bool kScalar>
void plain(int taps, const T* in, const T* des, T* out) {
  std::vector<T> h(taps), x(taps);
  T err = 0;
  (kScalar ? scalarLms<T> : plainLms<T>)(h.data(), x.data(), taps, in, des, out, kSamples, err);
}

void BM_kvo_float(benchmark::State& s) { run<float>(s, kvoFloat); }
void BM_plain_float(benchmark::State& s) { run<float>(s, plain<float, false>); }
void BM_scalar_float(benchmark::State& s) { run<float>(s, plain<float, true>); }
void BM_kvo_double(benchmark::State& s) { run<double>(s, kvoDouble); }
void BM_plain_double(benchmark::State& s) { run<double>(s, plain<double, false>); }
void BM_scalar_double(benchmark::State& s) { run<double>(s, plain<double, true>); }

#if defined(KVO_HAVE_LIQUID)
void liquidFloat(int taps, const float* in, const float* des, float* out) {
  eqlms_rrrf q = eqlms_rrrf_create(nullptr, taps);
  eqlms_rrrf_set_bw(q, kStep);
  for (int j = 0; j < kSamples; ++j) {
    eqlms_rrrf_push(q, in[j]);
    eqlms_rrrf_execute(q, &out[j]);
    eqlms_rrrf_step(q, des[j], out[j]);
  }
  eqlms_rrrf_destroy(q);
}
void BM_liquid_float(benchmark::State& s) { run<float>(s, liquidFloat); }
#endif

}  // namespace

#define KVO_LMS_CASE(fn, name) \
  BENCHMARK(fn)->Name(name)->Arg(32)->Arg(128)->Arg(512)->Unit(benchmark::kMillisecond)
KVO_LMS_CASE(BM_kvo_float, "kvo/lms_float");
KVO_LMS_CASE(BM_plain_float, "plain/lms_float");
KVO_LMS_CASE(BM_scalar_float, "scalar/lms_float");
#if defined(KVO_HAVE_LIQUID)
KVO_LMS_CASE(BM_liquid_float, "liquid/lms_float");
#endif
KVO_LMS_CASE(BM_kvo_double, "kvo/lms_double");
KVO_LMS_CASE(BM_plain_double, "plain/lms_double");
KVO_LMS_CASE(BM_scalar_double, "scalar/lms_double");

KVO_BENCHMARK_MAIN_WITH_RATIOS()
