// Generators against the loops a user would write, compiled here with -O3 -march=native: a cosine
// per sample for the tones, a xorshift with float conversion for uniform values, Box-Muller for
// normal values. bench/gen_numpy.py times numpy's equivalents on the same lengths.
#include <cmath>
#include <cstdint>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

template <class T, class F>
void run(benchmark::State& state, F body) {
  const int n = int(state.range(0));
  std::vector<T> y(static_cast<std::size_t>(n));
  for (auto _ : state) {
    body(y.data(), n);
    benchmark::DoNotOptimize(y.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

// ---- tones ----

void kvoSTone(benchmark::State& s) {
  ToneState st;
  kvosToneInit(0.0123f, 0.5f, 1.0f, &st);
  run<float>(s, [&](float* y, int n) { kvosbTone(&st, y, n); });
}
void kvoDTone(benchmark::State& s) {
  ToneState st;
  kvodToneInit(0.0123, 0.5, 1.0, &st);
  run<double>(s, [&](double* y, int n) { kvodbTone(&st, y, n); });
}
void kvoWTone(benchmark::State& s) {
  ToneState st;
  kvowToneInit(0.0123f, 0.5f, 30000, &st);
  run<short>(s, [&](short* y, int n) { kvowbTone(&st, y, n); });
}
__attribute__((noinline)) void cosLoopF(float* y, int n, double& phase) {
  const double w = 2 * kPi * 0.0123;
  for (int i = 0; i < n; ++i) y[i] = float(std::cos(w * i + phase));
  phase = std::fmod(phase + w * n, 2 * kPi);
}
__attribute__((noinline)) void cosLoopD(double* y, int n, double& phase) {
  const double w = 2 * kPi * 0.0123;
  for (int i = 0; i < n; ++i) y[i] = std::cos(w * i + phase);
  phase = std::fmod(phase + w * n, 2 * kPi);
}
void plainSTone(benchmark::State& s) {
  double phase = 0.5;
  run<float>(s, [&](float* y, int n) { cosLoopF(y, n, phase); });
}
void plainDTone(benchmark::State& s) {
  double phase = 0.5;
  run<double>(s, [&](double* y, int n) { cosLoopD(y, n, phase); });
}

// ---- uniform ----

void kvoSRandUni(benchmark::State& s) {
  RandUniState st;
  kvosRandUniInit(1, -1, 1, &st);
  run<float>(s, [&](float* y, int n) { kvosbRandUni(&st, y, unsigned(n)); });
}
void kvoWRandUni(benchmark::State& s) {
  WRandUniState st;
  kvowRandUniInit(1, -32768, 32767, &st);
  run<short>(s, [&](short* y, int n) { kvowbRandUni(&st, y, n); });
}
__attribute__((noinline)) void xorshiftF(float* y, int n, std::uint32_t& x) {
  for (int i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    y[i] = float(std::int32_t(x)) * 0x1p-31f;
  }
}
__attribute__((noinline)) void xorshiftW(short* y, int n, std::uint32_t& x) {
  for (int i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    y[i] = short(x >> 16);
  }
}
void plainSRandUni(benchmark::State& s) {
  std::uint32_t x = 2463534242u;
  run<float>(s, [&](float* y, int n) { xorshiftF(y, n, x); });
}
void plainWRandUni(benchmark::State& s) {
  std::uint32_t x = 2463534242u;
  run<short>(s, [&](short* y, int n) { xorshiftW(y, n, x); });
}

// ---- normal ----

void kvoSRandGaus(benchmark::State& s) {
  RandGausState st;
  kvosRandGausInit(1, 0, 1, &st);
  run<float>(s, [&](float* y, int n) { kvosbRandGaus(&st, y, unsigned(n)); });
}
__attribute__((noinline)) void boxMuller(float* y, int n, std::uint32_t& x) {
  const auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return (double(x) + 1.0) * 0x1p-32;  // (0, 1]
  };
  for (int i = 0; i + 1 < n; i += 2) {
    const double r = std::sqrt(-2 * std::log(next())), t = 2 * kPi * next();
    y[i] = float(r * std::cos(t));
    y[i + 1] = float(r * std::sin(t));
  }
}
void plainSRandGaus(benchmark::State& s) {
  std::uint32_t x = 2463534242u;
  run<float>(s, [&](float* y, int n) { boxMuller(y, n, x); });
}

}  // namespace

#define KVO_GEN_CASE(name, kvo, plain)                        \
  BENCHMARK(kvo)->Name("kvo/" name)->Arg(4096)->Arg(1 << 20); \
  BENCHMARK(plain)->Name("plain/" name)->Arg(4096)->Arg(1 << 20);

KVO_GEN_CASE("sbTone", kvoSTone, plainSTone)
KVO_GEN_CASE("dbTone", kvoDTone, plainDTone)
KVO_GEN_CASE("sbRandUni", kvoSRandUni, plainSRandUni)
KVO_GEN_CASE("wbRandUni", kvoWRandUni, plainWRandUni)
KVO_GEN_CASE("sbRandGaus", kvoSRandGaus, plainSRandGaus)
BENCHMARK(kvoWTone)->Name("kvo/wbTone")->Arg(4096)->Arg(1 << 20);

KVO_BENCHMARK_MAIN_WITH_RATIOS()
