// IIR filters on 65,536 samples: biquad cascades of 1 to 16 sections (kvodbIirl, kvosbIirl and
// the high-level kvodbIir) and direct forms of order 2, 8 and 16 (kvodbIirl), against the plain
// loop a user would write for the same structure (gain-out direct form II per section, the
// flow-reversed direct form II), compiled here with -O3 -march=native. "denormal" cases feed a
// decaying impulse response whose states sink into the subnormal range. The counter ns_ss is the
// time per section-sample (per sample and order for direct forms). The level follows KVO_ISA.
// bench/iir_sosfilt.py times scipy's sosfilt on the same cases.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "kvo.h"
#include "ratio_reporter.h"

namespace {

constexpr int kN = 65536;

std::vector<double> noise(unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist(0.0, 1.0);
  std::vector<double> v(kN);
  for (auto& x : v) x = dist(gen);
  return v;
}

// Stable lowpass-like sections, b0 and a0 not 1 (b0, b1, b2, a0, a1, a2 each).
std::vector<double> sections(int quads) {
  std::vector<double> t;
  for (int j = 0; j < quads; ++j) {
    const double r = 0.6 + 0.3 * j / (quads + 1.0), th = 0.3 + 2.5 * j / (quads + 1.0);
    t.insert(t.end(), {0.8, 0.5, 0.3, 1.25, -2.5 * r * std::cos(th), 1.25 * r * r});
  }
  return t;
}
std::vector<double> direct(int order) {
  std::vector<double> t(2 * order + 2, 0.0);
  for (int k = 0; k <= order; ++k) t[k] = 1.0 / (k + 1);
  t[order + 1] = 1.5;
  for (int k = 1; k <= order; ++k) t[order + 1 + k] = (k % 2 ? 0.5 : -0.4) / order;
  return t;
}

// ---- the plain loops, in the element type ----

template <class T>
__attribute__((noinline)) void loopBiquads(const T* c, int quads, T* d, const T* x, T* y, int n) {
  for (int i = 0; i < n; ++i) {
    T v = c[0] * x[i];
    for (int j = 0; j < quads; ++j) {
      const T* q = c + 1 + 4 * j;
      const T w1 = d[2 * j], w2 = d[2 * j + 1];
      const T w = v - q[0] * w1 - q[1] * w2;
      v = w + q[2] * w1 + q[3] * w2;
      d[2 * j + 1] = w1;
      d[2 * j] = w;
    }
    y[i] = v;
  }
}
template <class T>
__attribute__((noinline)) void loopDirect(const T* c, int order, T* d, const T* x, T* y, int n) {
  for (int i = 0; i < n; ++i) {
    const T v = c[0] * x[i] + d[0];
    for (int k = 1; k < order; ++k) d[k - 1] = c[k] * x[i] - c[order + k] * v + d[k];
    d[order - 1] = c[order] * x[i] - c[2 * order] * v;
    y[i] = v;
  }
}

enum class Api { Low, High };

template <class T>
struct Case {
  bool bq;
  int count;
  bool denormal;
  std::vector<T> taps, x, y, d;
  Case(bool bq_, int count_, bool denormal_) : bq(bq_), count(count_), denormal(denormal_) {
    const auto t = bq ? sections(count) : direct(count);
    taps.assign(t.begin(), t.end());
    x.resize(kN);
    if (denormal) {
      x[0] = T(1e-30);  // an impulse, then silence: the states decay through the subnormals
    } else {
      const auto v = noise(1);
      x.assign(v.begin(), v.end());
    }
    y.resize(kN);
    d.assign(2 * count + 2, T(0));
  }
};

template <class T>
void setCounters(benchmark::State& state, int work) {
  state.SetItemsProcessed(state.iterations() * kN);
  state.counters["ns_ss"] =
      benchmark::Counter(double(state.iterations()) * kN * work * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class T>
void runKvo(benchmark::State& state, bool bq, int count, bool denormal, Api api) {
  Case<T> c(bq, count, denormal);
  IirTapState ts{};
  IirDlyState ds{};
  IirState st{};
  if constexpr (std::is_same_v<T, double>) {
    if (api == Api::High) {
      (bq ? kvodIirInitBq : kvodIirInit)(0, c.taps.data(), count, &st);
    } else {
      (bq ? kvodIirlInitBq : kvodIirlInit)(0, c.taps.data(), count, &ts);
      kvodIirlInitDlyl(&ts, c.d.data(), &ds);
    }
  } else {
    (bq ? kvosIirlInitBq : kvosIirlInit)(0, c.taps.data(), count, &ts);
    kvosIirlInitDlyl(&ts, c.d.data(), &ds);
  }
  for (auto _ : state) {
    if constexpr (std::is_same_v<T, double>) {
      if (api == Api::High) {
        kvodbIir(&st, c.x.data(), c.y.data(), kN);
      } else {
        kvodbIirl(&ts, &ds, c.x.data(), c.y.data(), kN);
      }
    } else {
      kvosbIirl(&ts, &ds, c.x.data(), c.y.data(), kN);
    }
    benchmark::ClobberMemory();
  }
  if (api == Api::High) kvoIirFree(&st);
  setCounters<T>(state, count);
}

template <class T>
void runLoop(benchmark::State& state, bool bq, int count, bool denormal) {
  Case<T> c(bq, count, denormal);
  // The same normalised taps the library uses.
  IirTapState ts{};
  if constexpr (std::is_same_v<T, double>) {
    (bq ? kvodIirlInitBq : kvodIirlInit)(0, c.taps.data(), count, &ts);
  } else {
    (bq ? kvosIirlInitBq : kvosIirlInit)(0, c.taps.data(), count, &ts);
  }
  for (auto _ : state) {
    if (bq) {
      loopBiquads(c.taps.data(), count, c.d.data(), c.x.data(), c.y.data(), kN);
    } else {
      loopDirect(c.taps.data(), count, c.d.data(), c.x.data(), c.y.data(), kN);
    }
    benchmark::ClobberMemory();
  }
  setCounters<T>(state, count);
}

template <class T>
void add(const char* type, bool bq, int count, bool denormal, Api api = Api::Low) {
  const std::string name = std::string(type) + (api == Api::High ? "bIir_" : "bIirl_") +
                           (bq ? "bq" : "direct") + std::to_string(count) +
                           (denormal ? "_denormal" : "");
  benchmark::RegisterBenchmark(("kvo/" + name).c_str(), [=](benchmark::State& s) {
    runKvo<T>(s, bq, count, denormal, api);
  })->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark(("loop/" + name).c_str(), [=](benchmark::State& s) {
    runLoop<T>(s, bq, count, denormal);
  })->Unit(benchmark::kMicrosecond);
}

const bool registered = [] {
  for (int q : {1, 2, 4, 8, 16}) {
    add<double>("d", true, q, false);
    add<float>("s", true, q, false);
  }
  add<double>("d", true, 4, false, Api::High);
  add<double>("d", true, 8, false, Api::High);
  for (int order : {2, 8, 16}) {
    add<double>("d", false, order, false);
    add<float>("s", false, order, false);
  }
  add<double>("d", true, 4, true);
  add<float>("s", true, 4, true);
  add<double>("d", false, 8, true);
  return true;
}();

}  // namespace

KVO_BENCHMARK_MAIN_WITH_RATIOS()
