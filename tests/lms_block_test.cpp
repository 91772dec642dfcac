// Long desired-signal blocks keep their delay line in a sliding window of their own (float samples
// widened to double) and hand it back at the end: a block of hundreds of steps, long enough for
// the window to move back several times, gives exactly the outputs, taps, line and error of the
// same steps taken a few at a time, at every instruction-set level.
#include <random>
#include <vector>

#include "support/kvo_test.h"

namespace {

using namespace kvotest;

template <class S, class T, auto InitMr, auto Block>
struct Member {
  using TS = S;
  using TT = T;
  static constexpr auto initMr = InitMr;
  static constexpr auto block = Block;
};
using Members = ::testing::Types<
    Member<float, float, kvosLmsInitMr, kvosbLmsDes>,
    Member<double, double, kvodLmsInitMr, kvodbLmsDes>, Member<CF, CF, kvocLmsInitMr, kvocbLmsDes>,
    Member<CD, CD, kvozLmsInitMr, kvozbLmsDes>, Member<float, CF, kvoscLmsInitMr, kvoscbLmsDes>,
    Member<double, CD, kvodzLmsInitMr, kvodzbLmsDes>>;

template <class M>
class LmsLongBlock : public KvoTest {};
TYPED_TEST_SUITE(LmsLongBlock, Members);

template <class T>
std::vector<T> noise(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> dist(0, 1);
  std::vector<T> v(n);
  for (auto& x : v) {
    if constexpr (kComplex<T>) {
      using R = decltype(T{}.re);
      x = {R(dist(gen)), R(dist(gen))};
    } else {
      x = T(dist(gen));
    }
  }
  return v;
}

TYPED_TEST(LmsLongBlock, EqualsShortBlocks) {
  using M = TypeParam;
  using TS = typename M::TS;
  using TT = typename M::TT;
  struct Case {
    int taps, errDly, down, phase;
  };
  const int steps = 700;
  for (const Case& c : {Case{128, 0, 1, 0}, Case{37, 3, 2, 1}, Case{300, 1, 3, 0}}) {
    SCOPED_TRACE(c.taps);
    const std::vector<TT> taps = noise<TT>(c.taps, 1);
    const std::vector<TS> history = noise<TS>(c.taps + c.errDly + c.down - 1, 2);
    const std::vector<TS> in = noise<TS>(std::size_t(steps) * c.down, 3);
    const std::vector<TT> des = noise<TT>(steps, 4);
    forEachIsa([&] {
      LmsState whole{}, parts{};
      for (LmsState* st : {&whole, &parts}) {
        ASSERT_EQ(M::initMr(0, taps.data(), c.taps, history.data(), 0.002f, 0.001f, c.errDly,
                            c.down, c.phase, st),
                  KVO_StatusOk);
      }
      std::vector<TT> a(steps), b(steps);
      ASSERT_EQ(M::block(&whole, in.data(), des.data(), a.data(), steps), KVO_StatusOk);
      for (int j = 0; j < steps; j += 3) {
        const int k = std::min(3, steps - j);
        ASSERT_EQ(M::block(&parts, &in[std::size_t(j) * c.down], &des[j], &b[j], k), KVO_StatusOk);
      }
      EXPECT_TRUE(sameBits(a, b));
      const auto* ha = static_cast<const TT*>(whole.tapSt.taps);
      const auto* hb = static_cast<const TT*>(parts.tapSt.taps);
      EXPECT_TRUE(sameBits(std::vector<TT>(ha, ha + c.taps), std::vector<TT>(hb, hb + c.taps)));
      const auto* xa = static_cast<const TS*>(whole.dlySt.dlyl);
      const auto* xb = static_cast<const TS*>(parts.dlySt.dlyl);
      const int len = whole.dlySt.dlylLen;
      EXPECT_TRUE(sameBits(std::vector<TS>(xa, xa + len), std::vector<TS>(xb, xb + len)));
      EXPECT_TRUE(sameBits(whole.errVal, parts.errVal));
      kvoLmsFree(&whole);
      kvoLmsFree(&parts);
    });
  }
  this->expectNoReport();
}

}  // namespace
