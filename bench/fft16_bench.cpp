// 16-bit FFTs against what a user would otherwise write: convert the 16-bit data to float, run the
// library's float FFT of the same size, convert back to 16 bits (round to nearest, clipped).
// kvovFft runs with each core (integer, fast, float); kvowRealFftl with the integer and fast
// cores. N = 2^6 .. 2^12; the fast core stops at 2^10. Each case is named kvo/<case> and
// float/<case>, and the reporter prints the ratio kvo / float.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

std::vector<short> data(std::size_t n) {
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> dist(-64, 64);  // no core saturates at these lengths
  std::vector<short> v(n);
  for (auto& x : v) x = static_cast<short>(dist(gen));
  return v;
}

constexpr int kToShort = KVO_RoundNearest | KVO_Clip;

void complexPeer(benchmark::State& state, int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto in = data(2 * n);
  std::vector<short> out(2 * n);
  std::vector<ComplexFloat> buf(n);
  kvocFft(nullptr, order, KVO_Init | KVO_Forw);
  for (auto _ : state) {
    kvosbIntToFloat(in.data(), &buf[0].re, static_cast<int>(2 * n), 16, 0);
    kvocFft(buf.data(), order, KVO_Forw);
    kvosbFloatToInt(&buf[0].re, out.data(), static_cast<int>(2 * n), 16, kToShort);
    benchmark::DoNotOptimize(out.data());
  }
}

void complexOurs(benchmark::State& state, int order, int core) {
  const std::size_t n = std::size_t{1} << order;
  const auto in = data(2 * n);
  std::vector<short> v(2 * n);
  kvovFft(nullptr, order, KVO_Init | KVO_Forw | core, 0, nullptr);
  for (auto _ : state) {
    v = in;
    kvovFft(reinterpret_cast<ComplexShort*>(v.data()), order, KVO_Forw | core, 0, nullptr);
    benchmark::DoNotOptimize(v.data());
  }
}

void realPeer(benchmark::State& state, int order) {
  const std::size_t n = std::size_t{1} << order;
  const auto in = data(n);
  std::vector<short> out(n);
  std::vector<float> buf(n);
  kvosRealFftl(nullptr, order, KVO_Init | KVO_Forw);
  for (auto _ : state) {
    kvosbIntToFloat(in.data(), buf.data(), static_cast<int>(n), 16, 0);
    kvosRealFftl(buf.data(), order, KVO_Forw | KVO_OutRCPack);
    kvosbFloatToInt(buf.data(), out.data(), static_cast<int>(n), 16, kToShort);
    benchmark::DoNotOptimize(out.data());
  }
}

void realOurs(benchmark::State& state, int order, int core) {
  const std::size_t n = std::size_t{1} << order;
  const auto in = data(n);
  std::vector<short> v(n);
  kvowRealFftl(nullptr, order, KVO_Init | KVO_Forw | KVO_OutRCPack | core, 0, nullptr);
  for (auto _ : state) {
    v = in;
    kvowRealFftl(v.data(), order, KVO_Forw | KVO_OutRCPack | core, 0, nullptr);
    benchmark::DoNotOptimize(v.data());
  }
}

struct Core {
  const char* name;
  int flags;
};
constexpr Core kCores[] = {
    {"int", KVO_DoIntCore}, {"fast", KVO_DoIntCore | KVO_DoFastMMX}, {"float", KVO_DoFloatCore}};

const int registered = [] {
  for (int order = 6; order <= 12; ++order) {
    for (const Core& c : kCores) {
      if (c.flags & KVO_DoFastMMX && order > 10) continue;
      const std::string cfft = "vFft_" + std::string(c.name) + "/" + std::to_string(1 << order);
      benchmark::RegisterBenchmark(("kvo/" + cfft).c_str(), complexOurs, order, c.flags);
      benchmark::RegisterBenchmark(("float/" + cfft).c_str(), complexPeer, order);
      if (c.flags & KVO_DoFloatCore) continue;
      const std::string rfft =
          "wRealFftl_" + std::string(c.name) + "/" + std::to_string(1 << order);
      benchmark::RegisterBenchmark(("kvo/" + rfft).c_str(), realOurs, order, c.flags);
      benchmark::RegisterBenchmark(("float/" + rfft).c_str(), realPeer, order);
    }
  }
  return 0;
}();

}  // namespace

KVO_BENCHMARK_MAIN_WITH_RATIOS()
