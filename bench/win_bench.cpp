// Windows applied in place at n = 4096 and 1M, against the loops a user would write (compiled here
// with -O3 -march=native): a multiply by a precomputed window (the cost of the bare product), and a
// loop that evaluates the window per sample (cos, or std::cyl_bessel_i for Kaiser). Every
// iteration first restores the input (a memcpy in both columns), since repeated windowing would
// drive the data into subnormals.
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

template <class T>
std::vector<T> uniform(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> dist(-1000, 1000);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(dist(gen));
  return v;
}

// Restores `work` from `input`, then runs `body` on it.
template <class T, class Body>
void run(benchmark::State& state, const std::vector<T>& input, Body body) {
  std::vector<T> work(input.size());
  for (auto _ : state) {
    std::memcpy(work.data(), input.data(), input.size() * sizeof(T));
    body(work.data(), static_cast<int>(work.size()));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long long>(input.size()));
}

// ---- the plain loops ----

template <class T, class W>
__attribute__((noinline)) void loopTable(T* x, const W* w, int n) {
  for (int k = 0; k < n; ++k) x[k] = static_cast<T>(x[k] * w[k]);
}
template <class T>
__attribute__((noinline)) void loopHann(T* x, int n) {
  const double step = 2 * kPi / (n - 1);
  for (int k = 0; k < n; ++k) x[k] = static_cast<T>(x[k] * (0.5 - 0.5 * std::cos(step * k)));
}
template <class T>
__attribute__((noinline)) void loopKaiser(T* x, int n, double beta) {
  const double m = n - 1, inv = 1 / std::cyl_bessel_i(0.0, beta * m / 2);
  for (int k = 0; k < n; ++k) {
    x[k] = static_cast<T>(x[k] * std::cyl_bessel_i(0.0, beta * std::sqrt(k * (m - k))) * inv);
  }
}

template <class T>
std::vector<T> hannTable(std::size_t n) {
  std::vector<T> w(n);
  for (std::size_t k = 0; k < n; ++k) w[k] = T(0.5 - 0.5 * std::cos(2 * kPi * k / (n - 1)));
  return w;
}

// ---- cases ----

template <class T, class Body>
void add(const std::string& name, const std::vector<T>& input, Body body) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [input, body](benchmark::State& s) { run(s, input, body); });
}

void registerSize(std::size_t n) {
  const std::string at = "/" + std::to_string(n);
  const double beta = 8.0 / (n - 1);  // scipy's beta 4
  const auto sIn = uniform<float>(n, 1);
  const auto dIn = uniform<double>(n, 2);
  const auto wIn = uniform<short>(n, 3);
  const auto sTable = hannTable<float>(n);
  const auto dTable = hannTable<double>(n);
  std::vector<int> wTable(n);
  for (std::size_t k = 0; k < n; ++k) wTable[k] = int(sTable[k] * 32768);
  const auto sProduct = [sTable](float* x, int len) { loopTable(x, sTable.data(), len); };

  add("kvo/sHann" + at, sIn, [](float* x, int len) { kvosWinHann(x, len); });
  add("table/sHann" + at, sIn, sProduct);
  add("cos/sHann" + at, sIn, [](float* x, int len) { loopHann(x, len); });
  add("kvo/dHann" + at, dIn, [](double* x, int len) { kvodWinHann(x, len); });
  add("table/dHann" + at, dIn, [dTable](double* x, int len) { loopTable(x, dTable.data(), len); });
  add("cos/dHann" + at, dIn, [](double* x, int len) { loopHann(x, len); });
  add("kvo/sBlackmanStd" + at, sIn, [](float* x, int len) { kvosWinBlackmanStd(x, len); });
  add("table/sBlackmanStd" + at, sIn, sProduct);
  add("kvo/wHann" + at, wIn, [](short* x, int len) { kvowWinHann(x, len); });
  add("table/wHann" + at, wIn, [wTable](short* x, int len) {
    for (int k = 0; k < len; ++k) x[k] = short((x[k] * wTable[k]) >> 15);
  });
  add("kvo/sKaiser" + at, sIn, [beta](float* x, int len) { kvosWinKaiser(x, len, float(beta)); });
  add("table/sKaiser" + at, sIn, sProduct);
  if (n <= 4096) {  // the Bessel function per sample is slow
    add("bessel/sKaiser" + at, sIn, [beta](float* x, int len) { loopKaiser(x, len, beta); });
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerSize(4096);
  registerSize(1 << 20);
  benchmark::Initialize(&argc, argv);
  kvobench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
