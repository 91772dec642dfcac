// Complex and real FFTs at every instruction-set level: within rounding of the first level's
// result, for every order, direction and packed format (the kernels of each level add in their
// own order). The values of every form, order and bit order against numpy are in
// reference/fft_test.py.
#include <algorithm>
#include <cmath>
#include <functional>
#include <type_traits>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

// The output of `run` at every level against the first level's: the RMS of the differences
// relative to the RMS of the values, within a few roundings per stage.
template <class R, class T>
void expectSameAtEveryLevel(const std::vector<T>& input, int order,
                            const std::function<void(T*)>& run) {
  const double tol = (std::is_same_v<R, float> ? 4e-7 : 1e-15) * std::max(order, 1);
  std::vector<T> first;
  forEachIsa([&] {
    std::vector<T> buf = input;
    run(buf.data());
    if (first.empty()) first = buf;
    const auto* a = reinterpret_cast<const R*>(buf.data());
    const auto* b = reinterpret_cast<const R*>(first.data());
    double diff = 0, norm = 0;
    for (std::size_t i = 0; i < buf.size() * sizeof(T) / sizeof(R); ++i) {
      diff += (double(a[i]) - double(b[i])) * (double(a[i]) - double(b[i]));
      norm += double(b[i]) * double(b[i]);
    }
    ASSERT_LE(std::sqrt(diff), tol * std::sqrt(norm));
  });
}

template <class C, class R>
void checkOrders(void (*fft)(C*, int, int), void (*realFftl)(R*, int, int),
                 void (*ccsFftl)(R*, int, int)) {
  for (int order = 0; order <= (emulated() ? 14 : 18); ++order) {
    SCOPED_TRACE(order);
    const int n = 1 << order;
    const auto x = randomOf<C>(std::size_t(n), unsigned(order));
    for (int flags :
         {int{KVO_Forw}, int{KVO_Inv}, KVO_Inv | KVO_NoScale, KVO_Forw | KVO_OutBitRev}) {
      expectSameAtEveryLevel<R, C>(x, order, [&](C* b) { fft(b, order, flags); });
    }
    if (order == 0) continue;
    const auto r = randomOf<R>(std::size_t(n) + 2, unsigned(order));
    for (int fmt : {int{KVO_OutRCPack}, int{KVO_OutRCPerm}}) {
      expectSameAtEveryLevel<R, R>(r, order, [&](R* b) { realFftl(b, order, KVO_Forw | fmt); });
    }
    for (int fmt : {int{KVO_InRCPack}, int{KVO_InRCPerm}}) {
      expectSameAtEveryLevel<R, R>(r, order, [&](R* b) { ccsFftl(b, order, KVO_Inv | fmt); });
    }
  }
  kvocFreeTwdTbls();
  kvozFreeTwdTbls();
}

TEST(Fft, FloatLevelsAgree) { checkOrders<CF, float>(kvocFft, kvosRealFftl, kvosCcsFftl); }
TEST(Fft, DoubleLevelsAgree) { checkOrders<CD, double>(kvozFft, kvodRealFftl, kvodCcsFftl); }

}  // namespace
