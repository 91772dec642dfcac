// Measures the tables of the convolution method choice on the machine at hand: F[p], the time of
// one forward transform of 2^p points, and G[p], the time of the spectrum product and the
// inverse, for real and complex data of both precisions; and the time per product of the direct
// sums of every member. Prints them as C++ initialisers for src/adaptive/convtables.cpp.
//
//   g++ -O2 -std=c++20 -Iinclude -Isrc bench/conv_tables.cpp build/release/libkvom6.a -lpthread
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "adaptive/convframe.h"

namespace {

template <class F>
double seconds(F f) {
  f();
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    int reps = 1;
    for (;;) {
      const auto t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < reps; ++i) f();
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      if (s > 2e-3) {
        best = std::min(best, s / reps);
        break;
      }
      reps *= 2;
    }
  }
  return best;
}

template <class D>
void costs(const char* name, int maxOrder) {
  using E = typename D::E;
  std::printf("// %s: F, G by order 0..%d\n", name, maxOrder);
  std::vector<double> f, g;
  for (int p = 0; p <= maxOrder; ++p) {
    const std::size_t n = std::size_t{1} << p;
    std::vector<E> a(n + D::kExtra), b(n + D::kExtra);
    for (std::size_t i = 0; i < n; ++i) a[i] = kvo::conv::makeElem<E>(0.001 * i, 0.5);
    b = a;
    D dom;
    if (p < 1 || !dom.plan(p)) {
      f.push_back(1e-9);
      g.push_back(1e-9);
      continue;
    }
    f.push_back(seconds([&] { dom.forward(a.data(), p); }));
    g.push_back(seconds([&] {
      D::product(a.data(), b.data(), a.data(), p);
      dom.inverse(a.data(), p);
    }));
  }
  for (auto* v : {&f, &g}) {
    std::printf("{");
    for (double x : *v) std::printf("%.3g, ", x);
    std::printf("}\n");
  }
}

template <class TL, class TS, class TY>
void direct(const char* name) {
  const int lg = 8192, s = 32;
  std::vector<TL> x(lg);
  std::vector<TS> h(s);
  std::vector<TY> y(lg + s - 1);
  const double t = seconds([&] { kvo::conv::direct(x.data(), lg, h.data(), s, y.data()); });
  std::printf("direct %s: %.3g s per product\n", name, t / (double(lg) * s));
}

}  // namespace

int main() {
  costs<kvo::conv::RealDomain<float>>("s", 22);
  costs<kvo::conv::ComplexDomain<float>>("c", 22);
  costs<kvo::conv::RealDomain<double>>("d", 22);
  costs<kvo::conv::ComplexDomain<double>>("z", 22);
  direct<float, float, float>("s");
  direct<ComplexFloat, ComplexFloat, ComplexFloat>("c");
  direct<float, ComplexFloat, ComplexFloat>("sc");
  direct<ComplexFloat, float, ComplexFloat>("cs");
  direct<double, double, double>("d");
  direct<ComplexDouble, ComplexDouble, ComplexDouble>("z");
  direct<double, ComplexDouble, ComplexDouble>("dz");
  direct<ComplexDouble, double, ComplexDouble>("zd");
}
