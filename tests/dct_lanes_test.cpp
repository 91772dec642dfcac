// The power-of-two DCT on vector lanes: every instruction-set level gives the bits of the others
// (the lanes change which values are computed together, never the operations), in place and out
// of place, and the result is the transform's sum. The lengths cross the scalar path, a single
// leaf block of each lane width, and the depth-first stages above it.
#include <cmath>
#include <vector>

#include "support/kvo_test.h"

namespace kvotest {
namespace {

class DctLanes : public KvoTest {};

// Errors relative to the largest output: the rounding to R, plus the method's own error, which
// grows about linearly with n (its secants reach n/pi).
template <class R>
void checkLanes(void (*dct)(const R*, R*, int, int), double rounding) {
  for (int n = 2; n <= 1024; n *= 2) {
    const double tolerance = rounding + 2e-16 * n;
    const auto x = randomReals<R>(std::size_t(n), unsigned(n));
    for (int flags : {KVO_Forw, KVO_Inv}) {
      // The transform's sum in long double.
      std::vector<long double> want(n);
      long double peak = 0;
      for (int k = 0; k < n; ++k) {
        long double s = 0;
        for (int j = 0; j < n; ++j) {
          const int freq = flags == KVO_Forw ? k : j, time = flags == KVO_Forw ? j : k;
          const long double c = freq == 0 ? std::sqrt(1.0L / n) : std::sqrt(2.0L / n);
          s += c * x[j] * std::cos(kPi * (2 * time + 1) * freq / (2.0L * n));
        }
        want[k] = s;
        peak = std::max(peak, std::fabs(s));
      }
      std::vector<R> first;
      forEachIsa([&] {
        std::vector<R> out(n), inPlace = x;
        dct(x.data(), out.data(), n, flags);
        dct(inPlace.data(), inPlace.data(), n, flags);
        for (int k = 0; k < n; ++k) {
          ASSERT_LE(std::fabs(out[k] - want[k]), tolerance * peak) << n << " " << flags << " " << k;
          ASSERT_TRUE(sameBits(out[k], inPlace[k])) << n << " " << flags << " " << k;
        }
        if (first.empty()) first = out;
        for (int k = 0; k < n; ++k) {
          ASSERT_TRUE(sameBits(out[k], first[k])) << n << " " << flags << " " << k;
        }
      });
    }
  }
}

TEST_F(DctLanes, EveryLevelGivesTheSameBitsAndTheSum) {
  checkLanes<float>(kvosDct, 1.2e-7);
  checkLanes<double>(kvodDct, 0);
  expectNoReport();
}

}  // namespace
}  // namespace kvotest
