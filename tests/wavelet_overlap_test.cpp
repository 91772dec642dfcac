// Wavelet pyramids whose source and destination share memory: separate arrays run the octaves in
// chunks through the record's pad, shared ones copy each octave's input first; both give the
// same bits, whatever the overlap.
#include <algorithm>
#include <vector>

#include "support/kvo_test.h"

namespace kvotest {
namespace {

class WaveletOverlap : public KvoTest {};

template <class R>
void checkOverlaps(void (*init)(int, int, int, int, WtState*, int),
                   void (*decompose)(WtState*, const R*, R*),
                   void (*reconstruct)(WtState*, const R*, R*)) {
  constexpr int kOrder = 9, kN = 1 << kOrder;
  WtState s{};
  init(5, 0, kOrder, 4, &s, KVO_Symmlet);
  const auto x = randomReals<R>(kN, 9);
  std::vector<R> coef(kN), back(kN);
  decompose(&s, x.data(), coef.data());
  reconstruct(&s, coef.data(), back.data());
  // dst at src + shift in one buffer: in place, either side of it, and just apart.
  for (int shift : {0, 3, -3, kN - 1, -(kN - 1), kN}) {
    const int base = shift < 0 ? -shift : 0;
    std::vector<R> buf(2 * kN + 1);
    R* src = buf.data() + base;
    R* dst = src + shift;
    std::copy(x.begin(), x.end(), src);
    decompose(&s, src, dst);
    ASSERT_TRUE(std::equal(coef.begin(), coef.end(), dst)) << shift;
    std::copy(coef.begin(), coef.end(), src);
    reconstruct(&s, src, dst);
    ASSERT_TRUE(std::equal(back.begin(), back.end(), dst)) << shift;
  }
  kvoWtFree(&s);
}

TEST_F(WaveletOverlap, SharedMemoryGivesTheBitsOfSeparateArrays) {
  checkOverlaps<float>(kvosWtInit, kvosWtDecompose, kvosWtReconstruct);
  checkOverlaps<double>(kvodWtInit, kvodWtDecompose, kvodWtReconstruct);
  expectNoReport();
}

}  // namespace
}  // namespace kvotest
