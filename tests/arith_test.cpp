// Floating-point block arithmetic and complex scalars: every element is the IEEE result of its
// operation with the operands in their stated order, complex products keep a wider intermediate,
// conjugation flips sign bits. The adversarial driver holds the argument reports and the sameness
// of every instruction-set level.
#include <cmath>
#include <limits>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

const int kLengths[] = {1, 7, 16, 17, 67};

template <class T, class Op>
T apply(Op op, T a, T b) {
  if constexpr (kComplex<T>) {
    return {op(a.re, b.re), op(a.im, b.im)};
  } else {
    return op(a, b);
  }
}

// The three forms of one operation: a op b into dst, dst op src in place, dst op val; the output
// of form 3 may also be its first input.
template <class T, class Op>
void expectElementwise(void (*f1)(T, T*, int), void (*f2)(const T*, T*, int),
                       void (*f3)(const T*, const T*, T*, int), Op op) {
  for (int n : kLengths) {
    const auto a = randomOf<T>(n, 1), b = randomOf<T>(n, 2);
    std::vector<T> d3(n), d2 = a, d1 = a, self = a;
    f3(a.data(), b.data(), d3.data(), n);
    f2(b.data(), d2.data(), n);
    f1(b[0], d1.data(), n);
    f3(self.data(), b.data(), self.data(), n);
    for (int k = 0; k < n; ++k) {
      ASSERT_TRUE(sameBits(d3[k], apply(op, a[k], b[k]))) << n << " " << k;
      ASSERT_TRUE(sameBits(d2[k], d3[k]) && sameBits(self[k], d3[k])) << n << " " << k;
      ASSERT_TRUE(sameBits(d1[k], apply(op, a[k], b[0]))) << n << " " << k;
    }
  }
}

TEST(Arith, ElementwiseInTheStatedOrder) {
  const auto add = [](auto x, auto y) { return x + y; };
  const auto sub = [](auto x, auto y) { return x - y; };
  const auto mpy = [](auto x, auto y) { return x * y; };
  expectElementwise<float>(kvosbAdd1, kvosbAdd2, kvosbAdd3, add);
  expectElementwise<float>(kvosbSub1, kvosbSub2, kvosbSub3, sub);
  expectElementwise<float>(kvosbMpy1, kvosbMpy2, kvosbMpy3, mpy);
  expectElementwise<double>(kvodbAdd1, kvodbAdd2, kvodbAdd3, add);
  expectElementwise<double>(kvodbSub1, kvodbSub2, kvodbSub3, sub);
  expectElementwise<double>(kvodbMpy1, kvodbMpy2, kvodbMpy3, mpy);
  expectElementwise<CF>(kvocbAdd1, kvocbAdd2, kvocbAdd3, add);
  expectElementwise<CF>(kvocbSub1, kvocbSub2, kvocbSub3, sub);
  expectElementwise<CD>(kvozbAdd1, kvozbAdd2, kvozbAdd3, add);
  expectElementwise<CD>(kvozbSub1, kvozbSub2, kvozbSub3, sub);
}

// Correctly rounded references: float products exact in long double, double ones in __float128.
CF exactProduct(CF a, CF b) {
  const long double re = (long double)a.re * b.re - (long double)a.im * b.im;
  const long double im = (long double)a.re * b.im + (long double)a.im * b.re;
  return {float(re), float(im)};
}
CD exactProduct(CD a, CD b) {
  const __float128 re = (__float128)a.re * b.re - (__float128)a.im * b.im;
  const __float128 im = (__float128)a.re * b.im + (__float128)a.im * b.re;
  return {double(re), double(im)};
}
template <class R>
double ulps(R got, R want) {
  return got == want ? 0 : std::fabs(double(got - want) / double(std::nextafter(want, got) - want));
}

// Every form and the scalar product give the same bits, within an ulp or two of the exact value.
template <class C>
void expectComplexProducts(void (*mpy1)(C, C*, int), void (*mpy2)(const C*, C*, int),
                           void (*mpy3)(const C*, const C*, C*, int), C (*mpy)(C, C),
                           double maxUlps) {
  for (int n : kLengths) {
    const auto a = randomOf<C>(n, 8), b = randomOf<C>(n, 9);
    std::vector<C> d(n), d1 = a, d2 = a;
    mpy3(a.data(), b.data(), d.data(), n);
    mpy2(b.data(), d2.data(), n);
    mpy1(b[0], d1.data(), n);
    for (int k = 0; k < n; ++k) {
      ASSERT_TRUE(sameBits(d[k], mpy(a[k], b[k])) && sameBits(d2[k], d[k])) << k;
      ASSERT_TRUE(sameBits(d1[k], mpy(a[k], b[0]))) << k;
      const C want = exactProduct(a[k], b[k]);
      ASSERT_LE(ulps(d[k].re, want.re), maxUlps) << k;
      ASSERT_LE(ulps(d[k].im, want.im), maxUlps) << k;
    }
  }
}

TEST(Arith, ComplexProductsKeepIntermediatePrecision) {
  expectComplexProducts<CF>(kvocbMpy1, kvocbMpy2, kvocbMpy3, kvocMpy, 1.0);
  expectComplexProducts<CD>(kvozbMpy1, kvozbMpy2, kvozbMpy3, kvozMpy, 2.0);
  // (1+e)(1-e) - 1*1 = -e^2 exactly, where the plain double formula gives 0; overflow still
  // gives infinity, not the NaN of the correction term.
  const double e = std::ldexp(1.0, -30), big = 1e300;
  std::vector<CD> x(9, CD{1 + e, 1}), y(9, CD{1 - e, 1}), d(9);
  kvozbMpy3(x.data(), y.data(), d.data(), 9);
  for (const CD& r : d) EXPECT_TRUE(sameBits(r, CD{-e * e, 2.0}));
  EXPECT_EQ(kvozMpy(CD{big, big}, CD{big, -big}).re, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(kvozMpy(CD{big, big}, CD{big, big}).re));  // inf - inf, as plainly
}

TEST(Arith, FillCopyAndConjugation) {
  std::vector<CD> z(5, CD{7, 7});
  kvozbZero(z.data(), 3);
  EXPECT_TRUE(sameBits(z[2], CD{0, 0}) && sameBits(z[3], CD{7, 7}));
  std::vector<CF> c(4);
  kvocbSet(1, -0.0f, c.data(), 4);
  EXPECT_TRUE(sameBits(c[3], CF{1, -0.0f}));
  std::vector<float> s = {1, 2, 3, 4, 5};
  kvosbCopy(s.data(), s.data() + 1, 4);  // an overlapping copy behaves like memmove
  EXPECT_EQ(s, (std::vector<float>{1, 1, 2, 3, 4}));
  // Block conjugation flips the sign bit; the scalar one subtracts from zero.
  std::vector<CF> v = {{1, 0}, {2, -0.0f}, {3, 5}};
  kvocbConj1(v.data(), 3);
  EXPECT_TRUE(sameBits(v[0], CF{1, -0.0f}) && sameBits(v[1], CF{2, 0}) && v[2].im == -5);
  std::vector<CD> one = {{1, 0}}, out(1);
  kvozbConj2(one.data(), out.data(), 1);
  EXPECT_TRUE(sameBits(out[0], CD{1, -0.0}));
  EXPECT_TRUE(sameBits(kvocConj(CF{1, -0.0f}), CF{1, 0}) && sameBits(kvocConj(CF{1, 0}), CF{1, 0}));
  EXPECT_TRUE(sameBits(kvozConj(CD{1, 2}), CD{1, -2}));
  // Flip reverses and conjugates, also in place.
  std::vector<CD> self = {{1, 0}, {2, 1}, {3, 2}, {4, 3}};
  kvozbConjFlip2(self.data(), self.data(), 4);
  EXPECT_TRUE(sameBits(self[0], CD{4, -3}) && sameBits(self[3], CD{1, -0.0}));
  // Extend rebuilds the conjugate-symmetric half: float flips the sign bit, double subtracts.
  std::vector<CF> h(8, CF{99, 99});
  for (int k = 0; k < 5; ++k) h[k] = {float(k), float(k == 2 ? 0 : k + 10)};
  kvocbConjExtend1(h.data(), 5);
  EXPECT_TRUE(sameBits(h[7], CF{1, -11}) && sameBits(h[6], CF{2, -0.0f}) && h[4].re == 4);
  const std::vector<CD> src = {{0, 1}, {1, 0}, {2, 3}, {3, 4}};
  std::vector<CD> dst(6, CD{99, 99});
  kvozbConjExtend2(src.data(), dst.data(), 4);
  EXPECT_TRUE(sameBits(dst[4], CD{2, -3}) && sameBits(dst[5], CD{1, 0}) && dst[3].im == 4);
  std::vector<CF> tiny = {{1, 1}, {2, 2}};
  kvocbConjExtend1(tiny.data(), 2);
  kvocbConjExtend1(tiny.data(), 1);
  EXPECT_TRUE(sameBits(tiny[1], CF{2, 2}));
}

class ComplexScalar : public KvoTest {};

TEST_F(ComplexScalar, OperationsAndDivisionByZero) {
  EXPECT_TRUE(sameBits(kvocAdd(CF{1, 2}, CF{3, -4}), CF{4, -2}));
  EXPECT_TRUE(sameBits(kvozSub(CD{1, 2}, CD{3, -4}), CD{-2, 6}));
  EXPECT_TRUE(sameBits(kvocMpy(CF{1, 2}, CF{3, 4}), CF{-5, 10}));
  EXPECT_TRUE(sameBits(kvocSet(1, -0.0f), CF{1, -0.0f}) && sameBits(kvozSet(-2, 3), CD{-2, 3}));
  EXPECT_TRUE(sameBits(kvocDiv(CF{1, 0}, CF{0, 2}), CF{0, -0.5f}));
  EXPECT_TRUE(sameBits(kvozDiv(CD{1, 2}, CD{3, 4}), CD{0.44, 0.08}));  // (11 + 2i) / 25
  EXPECT_EQ(kvocDiv(CF{1, 1}, CF{3, 3}).re, 1.0f / 3.0f);
  expectNoReport();
  EXPECT_TRUE(sameBits(kvocDiv(CF{1, 1}, CF{0, -0.0f}), CF{0, 0}));
  expectReport(-5, "kvocDiv", "(b.re==0.0)&&(b.im==0.0)", "kvoarith");
  EXPECT_TRUE(sameBits(kvozDiv(CD{1, 1}, CD{-0.0, 0}), CD{0, 0}));
  expectReport(-5, "kvozDiv", "(b.re==0.0)&&(b.im==0.0)", "kvoarith");
  EXPECT_EQ(kvoGetErrStatus(), -5);
}

}  // namespace
