// Conv2D's transform methods at every instruction-set level: overlap tiles short and long along
// their rows (scalar and vector row passes), two rows high, whole-size transforms small enough for
// the tile transforms and too large for them. Operands are outer products, so the exact result is
// the outer product of two one-dimensional convolutions.
#include <cmath>
#include <vector>

#include "support/kvo_test.h"

namespace kvotest {
namespace {

class Conv2dTiles : public KvoTest {};

std::vector<double> conv1(const std::vector<double>& a, const std::vector<double>& b) {
  std::vector<double> y(a.size() + b.size() - 1, 0.0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (std::size_t j = 0; j < b.size(); ++j) y[i + j] += a[i] * b[j];
  }
  return y;
}

template <class R>
void checkTiles(void (*conv)(const R*, int, int, const R*, int, int, R*), double tolerance) {
  struct Shape {
    int xr, xc, hr, hc;
  };
  // Overlap 32 x 32 and 16 wide (h 20 x 8), 2 x 64 (h one row), whole 128 x 128 and 512 x 512.
  const Shape shapes[] = {
      {120, 100, 9, 11}, {60, 70, 20, 8}, {50, 50, 1, 20}, {64, 64, 64, 64}, {200, 200, 120, 120}};
  for (const Shape& s : shapes) {
    // Factors of at most 10 significant bits: their products are exact in float.
    auto factors = [](int n, unsigned seed) {
      auto v = randomReals<double>(std::size_t(n), seed);
      for (double& e : v) e = std::round(e * 8) / 64;
      return v;
    };
    const auto xr = factors(s.xr, 1), xc = factors(s.xc, 2);
    const auto hr = factors(s.hr, 3), hc = factors(s.hc, 4);
    std::vector<R> x(std::size_t(s.xr) * s.xc), h(std::size_t(s.hr) * s.hc);
    for (int r = 0; r < s.xr; ++r) {
      for (int c = 0; c < s.xc; ++c) x[std::size_t(r) * s.xc + c] = R(xr[r] * xc[c]);
    }
    for (int r = 0; r < s.hr; ++r) {
      for (int c = 0; c < s.hc; ++c) h[std::size_t(r) * s.hc + c] = R(hr[r] * hc[c]);
    }
    const auto rows = conv1(xr, hr), cols = conv1(xc, hc);
    double peak = 0;
    for (double a : rows) {
      for (double b : cols) peak = std::max(peak, std::fabs(a * b));
    }
    forEachIsa([&] {
      std::vector<R> y(rows.size() * cols.size());
      conv(x.data(), s.xc, s.xr, h.data(), s.hc, s.hr, y.data());
      for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < cols.size(); ++c) {
          ASSERT_LE(std::fabs(y[r * cols.size() + c] - rows[r] * cols[c]), tolerance * peak)
              << s.xr << "x" << s.xc << " " << s.hr << "x" << s.hc << " at " << r << "," << c;
        }
      }
    });
  }
}

TEST_F(Conv2dTiles, EveryLevelGivesTheConvolution) {
  checkTiles<float>(kvosConv2D, 2e-6);
  checkTiles<double>(kvodConv2D, 1e-14);
  expectNoReport();
}

}  // namespace
}  // namespace kvotest
