// Floating-point block arithmetic and complex scalars.
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

constexpr const char* kModule = "kvoarith";

// ---- argument checks: order, messages, and no writes on failure ----

class ArithChecks : public KvoTest {
 protected:
  // f(dst, n) with dst named `dstName`.
  template <class T>
  void inPlace(void (*f)(T*, int), const char* name, const char* dstName) {
    auto dst = sentinel<T>(4);
    f(dst.data(), 0);
    expectReport(-5, name, "n<=0", kModule);
    f(dst.data(), -3);
    expectReport(-5, name, "n<=0", kModule);
    f(nullptr, 4);
    expectReport(-5, name, dstName, kModule);
    f(nullptr, 0);  // the length is checked first
    expectReport(-5, name, "n<=0", kModule);
    EXPECT_TRUE(isSentinel(dst));
  }
  // f(val, dst, n)
  template <class V, class T>
  void withValue(void (*f)(V, T*, int), const char* name) {
    auto dst = sentinel<T>(4);
    f(V{}, dst.data(), 0);
    expectReport(-5, name, "n<=0", kModule);
    f(V{}, nullptr, 2);
    expectReport(-5, name, "dst==0", kModule);
    EXPECT_TRUE(isSentinel(dst));
  }
  // f(src, dst, n)
  template <class T>
  void twoVectors(void (*f)(const T*, T*, int), const char* name, const char* srcName) {
    std::vector<T> src(4);
    auto dst = sentinel<T>(4);
    f(src.data(), dst.data(), 0);
    expectReport(-5, name, "n<=0", kModule);
    f(nullptr, dst.data(), 4);
    expectReport(-5, name, srcName, kModule);
    f(src.data(), nullptr, 4);
    expectReport(-5, name, "dst==0", kModule);
    f(nullptr, nullptr, 4);
    expectReport(-5, name, srcName, kModule);
    EXPECT_TRUE(isSentinel(dst));
  }
  // f(a, b, dst, n)
  template <class T>
  void threeVectors(void (*f)(const T*, const T*, T*, int), const char* name, const char* aName,
                    const char* bName) {
    std::vector<T> a(4), b(4);
    auto dst = sentinel<T>(4);
    f(a.data(), b.data(), dst.data(), -1);
    expectReport(-5, name, "n<=0", kModule);
    f(nullptr, nullptr, nullptr, 4);
    expectReport(-5, name, aName, kModule);
    f(a.data(), nullptr, nullptr, 4);
    expectReport(-5, name, bName, kModule);
    f(a.data(), b.data(), nullptr, 4);
    expectReport(-5, name, "dst==0", kModule);
    EXPECT_TRUE(isSentinel(dst));
  }
};

#define IN_PLACE(f, msg) inPlace(f, #f, msg)
#define WITH_VALUE(f) withValue(f, #f)
#define TWO(f, msg) twoVectors(f, #f, msg)
#define THREE(f, a, b) threeVectors(f, #f, a, b)

TEST_F(ArithChecks, FillAndCopy) {
  IN_PLACE(kvosbZero, "dst==0");
  IN_PLACE(kvocbZero, "dst==0");
  IN_PLACE(kvodbZero, "dst==0");
  IN_PLACE(kvozbZero, "dst==0");
  WITH_VALUE(kvosbSet);
  WITH_VALUE(kvodbSet);
  auto dst = sentinel<CF>(2);
  kvocbSet(1, 2, dst.data(), 0);
  expectReport(-5, "kvocbSet", "n<=0", kModule);
  kvozbSet(1, 2, nullptr, 1);
  expectReport(-5, "kvozbSet", "dst==0", kModule);
  TWO(kvosbCopy, "src==0");
  TWO(kvocbCopy, "src==0");
  TWO(kvodbCopy, "src==0");
  TWO(kvozbCopy, "src==0");
}

TEST_F(ArithChecks, AddSubMpy) {
  WITH_VALUE(kvosbAdd1);
  WITH_VALUE(kvocbAdd1);
  WITH_VALUE(kvodbAdd1);
  WITH_VALUE(kvozbAdd1);
  WITH_VALUE(kvosbSub1);
  WITH_VALUE(kvocbSub1);
  WITH_VALUE(kvodbSub1);
  WITH_VALUE(kvozbSub1);
  WITH_VALUE(kvosbMpy1);
  WITH_VALUE(kvocbMpy1);
  WITH_VALUE(kvodbMpy1);
  WITH_VALUE(kvozbMpy1);
  TWO(kvosbAdd2, "src==0");
  TWO(kvocbAdd2, "src==0");
  TWO(kvodbAdd2, "src==0");
  TWO(kvozbAdd2, "src==0");
  TWO(kvosbSub2, "val==0");
  TWO(kvocbSub2, "val==0");
  TWO(kvodbSub2, "val==0");
  TWO(kvozbSub2, "val==0");
  TWO(kvosbMpy2, "src==0");
  TWO(kvocbMpy2, "src==0");
  TWO(kvodbMpy2, "src==0");
  TWO(kvozbMpy2, "src==0");
  THREE(kvosbAdd3, "srcA==0", "srcB==0");
  THREE(kvocbAdd3, "srcA==0", "srcB==0");
  THREE(kvodbAdd3, "srcA==0", "srcB==0");
  THREE(kvozbAdd3, "srcA==0", "srcB==0");
  THREE(kvosbSub3, "src==0", "val==0");
  THREE(kvocbSub3, "src==0", "val==0");
  THREE(kvodbSub3, "src==0", "val==0");
  THREE(kvozbSub3, "src==0", "val==0");
  THREE(kvosbMpy3, "srcA==0", "srcB==0");
  THREE(kvocbMpy3, "srcA==0", "srcB==0");
  THREE(kvodbMpy3, "srcA==0", "srcB==0");
  THREE(kvozbMpy3, "srcA==0", "srcB==0");
}

TEST_F(ArithChecks, Conjugation) {
  IN_PLACE(kvocbConj1, "vec==0");
  IN_PLACE(kvozbConj1, "vec==0");
  IN_PLACE(kvocbConjExtend1, "vec==0");
  IN_PLACE(kvozbConjExtend1, "vec==0");
  TWO(kvocbConj2, "src==0");
  TWO(kvozbConj2, "src==0");
  TWO(kvocbConjFlip2, "src==0");
  TWO(kvozbConjFlip2, "src==0");
  TWO(kvocbConjExtend2, "src==0");
  TWO(kvozbConjExtend2, "src==0");
}

// ---- results ----

const int kLengths[] = {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 64, 67, 1000};

TEST(ArithResults, RealOperationsAreElementwiseIeee) {
  forEachIsa([] {
    for (int n : kLengths) {
      auto a = randomReals<float>(n, 1), b = randomReals<float>(n, 2);
      std::vector<float> d(n);
      kvosbAdd3(a.data(), b.data(), d.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_EQ(d[k], a[k] + b[k]);
      kvosbSub3(a.data(), b.data(), d.data(), n);  // src - val, not val - src
      for (int k = 0; k < n; ++k) ASSERT_EQ(d[k], a[k] - b[k]);
      kvosbMpy3(a.data(), b.data(), d.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_EQ(d[k], a[k] * b[k]);
      d = a;
      kvosbSub2(b.data(), d.data(), n);  // dst - val
      for (int k = 0; k < n; ++k) ASSERT_EQ(d[k], a[k] - b[k]);
      d = a;
      kvosbSub1(2.5f, d.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_EQ(d[k], a[k] - 2.5f);

      auto x = randomReals<double>(n, 3), y = randomReals<double>(n, 4);
      std::vector<double> e = x;
      kvodbMpy2(y.data(), e.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_EQ(e[k], x[k] * y[k]);
      e = x;
      kvodbAdd1(-0.25, e.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_EQ(e[k], x[k] - 0.25);
      e = x;
      kvodbMpy1(3.0, e.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_EQ(e[k], x[k] * 3.0);
    }
  });
}

TEST(ArithResults, OutputMayBeAnInput) {
  forEachIsa([] {
    for (int n : kLengths) {
      auto a = randomComplex<CF>(n, 5), b = randomComplex<CF>(n, 6);
      std::vector<CF> expect(n), inA = a, inB = b;
      kvocbMpy3(a.data(), b.data(), expect.data(), n);
      kvocbMpy3(inA.data(), b.data(), inA.data(), n);
      kvocbMpy3(a.data(), inB.data(), inB.data(), n);
      for (int k = 0; k < n; ++k) {
        ASSERT_TRUE(sameBits(inA[k], expect[k]) && sameBits(inB[k], expect[k])) << k;
      }
      auto s = randomReals<double>(n, 7);
      std::vector<double> sum(n), self = s;
      kvodbAdd3(s.data(), s.data(), sum.data(), n);
      kvodbAdd3(self.data(), self.data(), self.data(), n);
      ASSERT_EQ(self, sum);
    }
  });
}

// Correctly rounded references: float products exact in double; double products in __float128.
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
  if (got == want) return 0;
  const R gap = std::nextafter(want, got) - want;
  return std::fabs(double(got - want) / double(gap));
}

template <class C>
void checkComplexProducts(void (*mpy3)(const C*, const C*, C*, int), C (*mpy)(C, C),
                          void (*mpy1)(C, C*, int), double maxUlps) {
  forEachIsa([&] {
    for (int n : kLengths) {
      auto a = randomComplex<C>(n, 8), b = randomComplex<C>(n, 9);
      std::vector<C> d(n), d1 = a;
      mpy3(a.data(), b.data(), d.data(), n);
      mpy1(b[0], d1.data(), n);
      for (int k = 0; k < n; ++k) {
        ASSERT_TRUE(sameBits(d[k], mpy(a[k], b[k]))) << "block and scalar product differ at " << k;
        ASSERT_TRUE(sameBits(d1[k], mpy(a[k], b[0]))) << k;
        const C want = exactProduct(a[k], b[k]);
        ASSERT_LE(ulps(d[k].re, want.re), maxUlps) << k;
        ASSERT_LE(ulps(d[k].im, want.im), maxUlps) << k;
      }
    }
  });
}

TEST(ArithResults, ComplexProductsKeepIntermediatePrecision) {
  checkComplexProducts<CF>(kvocbMpy3, kvocMpy, kvocbMpy1, 1.0);
  checkComplexProducts<CD>(kvozbMpy3, kvozMpy, kvozbMpy1, 2.0);
}

TEST(ArithResults, ComplexProductUnderCancellation) {
  // (1+e)(1-e) - 1*1 = -e^2 exactly: the plain double formula gives 0.
  const double e = std::ldexp(1.0, -30);
  const CD a{1 + e, 1}, b{1 - e, 1};
  std::vector<CD> x(9, a), y(9, b), d(9);
  forEachIsa([&] {
    kvozbMpy3(x.data(), y.data(), d.data(), 9);
    for (const CD& r : d) {
      EXPECT_EQ(r.re, -e * e);
      EXPECT_EQ(r.im, 2.0);
    }
  });
  // Overflow still gives infinity, not the NaN of the correction term.
  const double big = 1e300;
  const CD o = kvozMpy(CD{big, big}, CD{big, -big});
  EXPECT_EQ(o.re, std::numeric_limits<double>::infinity());
  EXPECT_TRUE(std::isnan(kvozMpy(CD{big, big}, CD{big, big}).re));  // inf - inf, as plainly
}

TEST(ArithResults, ComplexScalarOperandsAddAndSubtract) {
  forEachIsa([] {
    for (int n : kLengths) {
      auto a = randomComplex<CD>(n, 10);
      std::vector<CD> d = a;
      kvozbSub1(CD{1.5, -2}, d.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_TRUE(sameBits(d[k], CD{a[k].re - 1.5, a[k].im + 2})) << k;
      auto f = randomComplex<CF>(n, 11);
      std::vector<CF> g = f;
      kvocbAdd1(CF{0.5f, 4}, g.data(), n);
      for (int k = 0; k < n; ++k) ASSERT_TRUE(sameBits(g[k], CF{f[k].re + 0.5f, f[k].im + 4})) << k;
    }
  });
}

TEST(ArithResults, FillAndCopy) {
  std::vector<CD> z(5, CD{7, 7});
  kvozbZero(z.data(), 3);
  EXPECT_TRUE(sameBits(z[2], CD{0, 0}) && sameBits(z[3], CD{7, 7}));
  std::vector<CF> c(4);
  kvocbSet(1, -0.0f, c.data(), 4);
  for (const CF& v : c) EXPECT_TRUE(sameBits(v, CF{1, -0.0f}));
  std::vector<float> s = {1, 2, 3, 4, 5};
  kvosbCopy(s.data(), s.data() + 1, 4);  // overlapping copy behaves like memmove
  EXPECT_EQ(s, (std::vector<float>{1, 1, 2, 3, 4}));
}

// ---- conjugation and the sign of zero ----

TEST(ArithConj, BlockConjugationFlipsTheSignBit) {
  std::vector<CF> v = {{1, 0}, {2, -0.0f}, {3, 5}};
  kvocbConj1(v.data(), 3);
  EXPECT_TRUE(sameBits(v[0], CF{1, -0.0f}));
  EXPECT_TRUE(sameBits(v[1], CF{2, 0.0f}));
  EXPECT_TRUE(sameBits(v[2], CF{3, -5}));
  std::vector<CD> src = {{1, 0}}, dst(1);
  kvozbConj2(src.data(), dst.data(), 1);
  EXPECT_TRUE(sameBits(dst[0], CD{1, -0.0}));
}

TEST(ArithConj, ScalarConjugateSubtractsFromZero) {
  EXPECT_TRUE(sameBits(kvocConj(CF{1, 0}), CF{1, 0}));
  EXPECT_TRUE(sameBits(kvocConj(CF{1, -0.0f}), CF{1, 0}));
  EXPECT_TRUE(sameBits(kvozConj(CD{1, 2}), CD{1, -2}));
  EXPECT_TRUE(sameBits(kvozConj(CD{1, 0}), CD{1, 0}));
}

TEST(ArithConj, FlipReversesAndConjugates) {
  const std::vector<CF> src = {{1, 2}, {3, 4}, {5, 6}};
  std::vector<CF> dst(3);
  kvocbConjFlip2(src.data(), dst.data(), 3);
  EXPECT_TRUE(sameBits(dst[0], CF{5, -6}) && sameBits(dst[1], CF{3, -4}) &&
              sameBits(dst[2], CF{1, -2}));
  std::vector<CD> self = {{1, 0}, {2, 1}, {3, 2}, {4, 3}};
  kvozbConjFlip2(self.data(), self.data(), 4);
  EXPECT_TRUE(sameBits(self[0], CD{4, -3}) && sameBits(self[3], CD{1, -0.0}));
}

TEST(ArithConj, ExtendRebuildsTheSymmetricHalf) {
  std::vector<CF> v(8, CF{99, 99});
  for (int k = 0; k < 5; ++k) v[k] = {float(k), float(k + 10)};
  v[2].im = 0;
  kvocbConjExtend1(v.data(), 5);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(v[k].re, float(k));
  EXPECT_TRUE(sameBits(v[7], CF{1, -11}));
  EXPECT_TRUE(sameBits(v[6], CF{2, -0.0f}));  // float: sign bit flipped
  EXPECT_TRUE(sameBits(v[5], CF{3, -13}));

  std::vector<CD> src = {{0, 1}, {1, 0}, {2, 3}, {3, 4}}, dst(6, CD{99, 99});
  kvozbConjExtend2(src.data(), dst.data(), 4);
  const std::vector<CD> want = {{0, 1}, {1, 0}, {2, 3}, {3, 4}, {2, -3}, {1, 0}};  // double: +0
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(sameBits(dst[k], want[k])) << k;

  std::vector<CF> tiny = {{1, 1}, {2, 2}};
  kvocbConjExtend1(tiny.data(), 2);
  kvocbConjExtend1(tiny.data(), 1);
  EXPECT_TRUE(sameBits(tiny[1], CF{2, 2}));
}

// ---- scalar complex operations ----

class ComplexScalar : public KvoTest {};

TEST_F(ComplexScalar, ArithmeticAndConstruction) {
  EXPECT_TRUE(sameBits(kvocAdd(CF{1, 2}, CF{3, -4}), CF{4, -2}));
  EXPECT_TRUE(sameBits(kvozSub(CD{1, 2}, CD{3, -4}), CD{-2, 6}));
  EXPECT_TRUE(sameBits(kvocMpy(CF{1, 2}, CF{3, 4}), CF{-5, 10}));
  EXPECT_TRUE(sameBits(kvocSet(1, -0.0f), CF{1, -0.0f}));
  EXPECT_TRUE(sameBits(kvozSet(-2, 3), CD{-2, 3}));
  expectNoReport();
}

TEST_F(ComplexScalar, Division) {
  EXPECT_TRUE(sameBits(kvocDiv(CF{1, 0}, CF{0, 2}), CF{0, -0.5f}));
  const CD q = kvozDiv(CD{1, 2}, CD{3, 4});  // (11 + 2i) / 25
  EXPECT_EQ(q.re, 0.44);
  EXPECT_EQ(q.im, 0.08);
  const CF third = kvocDiv(CF{1, 1}, CF{3, 3});
  EXPECT_EQ(third.re, 1.0f / 3.0f);
  expectNoReport();
}

TEST_F(ComplexScalar, DivisionByZeroReportsAndReturnsZero) {
  EXPECT_TRUE(sameBits(kvocDiv(CF{1, 1}, CF{0, -0.0f}), CF{0, 0}));
  expectReport(-5, "kvocDiv", "(b.re==0.0)&&(b.im==0.0)", kModule);
  EXPECT_TRUE(sameBits(kvozDiv(CD{1, 1}, CD{-0.0, 0}), CD{0, 0}));
  expectReport(-5, "kvozDiv", "(b.re==0.0)&&(b.im==0.0)", kModule);
  EXPECT_EQ(kvoGetErrStatus(), -5);
}

}  // namespace
