// Companding and float-to-16-bit conversion against the plain loops a user would write, compiled
// here with -O3 -march=native. bench/law_audioop.py times Python's audioop (and numpy for the
// float conversion) on the same data.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "kvo.h"

namespace {

constexpr int kN = 65536;

// The data of bench/law_audioop.py: a 31-bit linear congruential generator, 16 bits per value.
std::vector<std::uint16_t> lcg(int n) {
  std::vector<std::uint16_t> v(n);
  std::uint32_t state = 12345;
  for (auto& x : v) {
    state = (state * 1103515245u + 12345u) & 0x7FFFFFFFu;
    x = static_cast<std::uint16_t>(state >> 15);
  }
  return v;
}

std::vector<short> samples(int n) {
  std::vector<short> v;
  for (std::uint16_t x : lcg(n)) v.push_back(static_cast<short>(x - 32768));
  return v;
}

std::vector<unsigned char> codes(int n) {
  std::vector<unsigned char> v;
  for (std::uint16_t x : lcg(n)) v.push_back(static_cast<unsigned char>(x & 0xFF));
  return v;
}

// Samples times 1.25 plus 0.25: about a fifth of them beyond the 16-bit range.
std::vector<float> floats(int n) {
  std::vector<float> v;
  for (short s : samples(n)) v.push_back(float(s) * 1.25f + 0.25f);
  return v;
}

// ---- the plain loops ----

__attribute__((noinline)) void loopLinToALaw(const short* src, unsigned char* dst, int n) {
  for (int k = 0; k < n; ++k) {
    const int v = src[k];
    int i = (v >= 0 ? v : -v) >> 4;
    if (i > 2047) i = 2047;
    int code = i;
    if (i >= 16) {
      const int s = 31 - __builtin_clz(unsigned(i)) - 3;
      code = s * 16 + ((i >> (s - 1)) & 15);
    }
    dst[k] = static_cast<unsigned char>((v >= 0 ? 0x80 : 0) + code);
  }
}

struct MuLawTable {
  short value[256];
  MuLawTable() {
    for (int c = 0; c < 256; ++c) {
      const int u = ~c & 0xFF;
      const int t = ((u & 15) * 8 + 132) << ((u >> 4) & 7);
      value[c] = static_cast<short>(u & 0x80 ? 132 - t : t - 132);
    }
  }
};
const MuLawTable kMuLaw;

__attribute__((noinline)) void loopMuLawToLin(const unsigned char* src, short* dst, int n) {
  for (int k = 0; k < n; ++k) dst[k] = kMuLaw.value[src[k]];
}

__attribute__((noinline)) void loopFloatToShort(const float* src, short* dst, int n) {
  for (int k = 0; k < n; ++k) {
    const float r = std::nearbyint(src[k]);
    dst[k] = static_cast<short>(r < -32768.0f ? -32768.0f : r > 32767.0f ? 32767.0f : r);
  }
}

void floatToShort(const float* src, short* dst, int n) {
  kvosbFloatToInt(src, dst, n, 16, KVO_RoundNearest | KVO_Clip);
}

template <class In, class Out, class F>
void run(benchmark::State& state, const std::vector<In>& src, F body) {
  std::vector<Out> dst(src.size());
  for (auto _ : state) {
    body(src.data(), dst.data(), int(src.size()));
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * std::int64_t(src.size()));
}

void kvoLinToALaw(benchmark::State& s) {
  run<short, unsigned char>(s, samples(kN), kvowbLinToALaw);
}
void plainLinToALaw(benchmark::State& s) {
  run<short, unsigned char>(s, samples(kN), loopLinToALaw);
}
void kvoLinToMuLaw(benchmark::State& s) {
  run<short, unsigned char>(s, samples(kN), kvowbLinToMuLaw);
}
void kvoMuLawToLin(benchmark::State& s) {
  run<unsigned char, short>(s, codes(kN), kvowbMuLawToLin);
}
void plainMuLawToLin(benchmark::State& s) {
  run<unsigned char, short>(s, codes(kN), loopMuLawToLin);
}
void kvoALawToLin(benchmark::State& s) { run<unsigned char, short>(s, codes(kN), kvowbALawToLin); }
void kvoFloatToShort(benchmark::State& s) { run<float, short>(s, floats(kN), floatToShort); }
void plainFloatToShort(benchmark::State& s) { run<float, short>(s, floats(kN), loopFloatToShort); }

}  // namespace

BENCHMARK(kvoLinToALaw)->Name("kvo/wbLinToALaw");
BENCHMARK(plainLinToALaw)->Name("loop/wbLinToALaw");
BENCHMARK(kvoLinToMuLaw)->Name("kvo/wbLinToMuLaw");
BENCHMARK(kvoMuLawToLin)->Name("kvo/wbMuLawToLin");
BENCHMARK(plainMuLawToLin)->Name("loop/wbMuLawToLin");
BENCHMARK(kvoALawToLin)->Name("kvo/wbALawToLin");
BENCHMARK(kvoFloatToShort)->Name("kvo/sbFloatToInt16NearestClip");
BENCHMARK(plainFloatToShort)->Name("loop/sbFloatToInt16NearestClip");

BENCHMARK_MAIN();
