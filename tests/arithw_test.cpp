// 16-bit block arithmetic: 33-bit products, null factors, wrapping conjugation, and the
// ComplexShort scalar operations. Every value under every scale mode and factor, against the
// rules written out in numpy, is in reference/vector16_test.py.
#include <algorithm>
#include <climits>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

bool operator==(CS a, CS b) { return a.re == b.re && a.im == b.im; }

TEST(Arith16, NullFactorCountsAsZeroAnd33BitProductsAreCarried) {
  const short a = 30000, b = 10000;
  short d;
  kvowbAdd3(&a, &b, &d, 1, 3, nullptr);
  EXPECT_EQ(d, 32767);
  kvowbAdd3(&a, &b, &d, 1, 2, nullptr);
  EXPECT_EQ(d, -25536);
  // (-32768 - 32768i)^2 = 0 + 2^31 i: carried exactly, not wrapped to -2^31.
  const std::vector<CS> m(37, CS{-32768, -32768});
  std::vector<CS> p(37);
  int factor = 0;
  kvovbMpy3(m.data(), m.data(), p.data(), 37, 1, nullptr);
  EXPECT_TRUE(p[36] == (CS{0, 32767}));
  kvovbMpy3(m.data(), m.data(), p.data(), 37, 4, &factor);
  EXPECT_EQ(factor, 17);
  EXPECT_TRUE(p[0] == (CS{0, 16384}));
}

TEST(Arith16, ConjugationWraps) {
  std::vector<CS> c = {{1, -32768}, {2, 3}, {4, 0}};
  kvovbConj1(c.data(), 3);
  EXPECT_TRUE(c[0] == (CS{1, -32768}) && c[1] == (CS{2, -3}) && c[2] == (CS{4, 0}));
  std::vector<CS> flipped(3);
  kvovbConjFlip2(c.data(), flipped.data(), 3);
  EXPECT_TRUE(flipped[0] == (CS{4, 0}) && flipped[2] == (CS{1, -32768}));
  std::vector<CS> ext(6, CS{0, 0});
  const std::vector<CS> half = {{0, 1}, {1, 2}, {2, 3}, {3, 4}};
  kvovbConjExtend2(half.data(), ext.data(), 4);
  EXPECT_TRUE(ext[3] == (CS{3, 4}) && ext[4] == (CS{2, -3}) && ext[5] == (CS{1, -2}));
  EXPECT_TRUE(kvovConj(CS{5, -32768}) == (CS{5, -32768}));
}

class ComplexShortScalar : public KvoTest {};

// The status is cleared on entry, so an old failure causes no back-trace.
TEST_F(ComplexShortScalar, ScaledOperationsAfterAFailure) {
  kvovAdd(CS{1, 2}, CS{3, 4}, 4, nullptr);
  kvotest::clearReports();
  int factor = 0;
  EXPECT_TRUE(kvovMpy(CS{300, 0}, CS{300, 400}, 4, &factor) == (CS{22500, 30000}));
  EXPECT_EQ(factor, 2);
  EXPECT_TRUE(kvovSub(CS{-32768, 5}, CS{1, 1}, 1, nullptr) == (CS{-32768, 4}));
  EXPECT_TRUE(kvovAdd(CS{30000, 0}, CS{10000, 0}, 0, nullptr) == (CS{-25536, 0}));
  expectNoReport();
}

TEST_F(ComplexShortScalar, DivisionTruncatesAndSaturates) {
  EXPECT_TRUE(kvovDiv(CS{7, 0}, CS{2, 0}) == (CS{3, 0}));
  EXPECT_TRUE(kvovDiv(CS{-7, 0}, CS{2, 0}) == (CS{-3, 0}));
  EXPECT_TRUE(kvovDiv(CS{1, 2}, CS{3, 4}) == (CS{0, 0}));             // (11 + 2i) / 25
  EXPECT_TRUE(kvovDiv(CS{100, 200}, CS{3, 4}) == (CS{44, 8}));        // (1100 + 200i) / 25
  EXPECT_TRUE(kvovDiv(CS{-32768, 0}, CS{0, -1}) == (CS{0, -32768}));  // i * -32768
  EXPECT_TRUE(kvovDiv(CS{-32768, -32768}, CS{1, 1}) == (CS{-32768, 0}));
  EXPECT_TRUE(kvovDiv(CS{32767, 32767}, CS{1, -1}) == (CS{0, 32767}));
  expectNoReport();
  EXPECT_TRUE(kvovDiv(CS{5, 5}, CS{0, 0}) == (CS{0, 0}));
  expectReport(-5, "kvovDiv", "(b.re==0)&&(b.im==0)", "kvoaritw");
}

}  // namespace
