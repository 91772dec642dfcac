// 16-bit block arithmetic with scale modes, and the ComplexShort scalar operations.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "support/kvo_test.h"

using namespace kvotest;

namespace {

constexpr const char* kModule = "kvoaritw";

bool operator==(CS a, CS b) { return a.re == b.re && a.im == b.im; }
template <class T>
bool equal(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// ---- the rules, straight from their description, in 64-bit arithmetic ----

enum class Op { Add, Sub, Mpy };

struct Exact {
  I64 re, im;
};
Exact exact(Op op, short a, short b) {
  return {op == Op::Add ? I64{a} + b : op == Op::Sub ? I64{a} - b : I64{a} * b, 0};
}
Exact exact(Op op, CS a, CS b) {
  if (op != Op::Mpy) return {exact(op, a.re, b.re).re, exact(op, a.im, b.im).re};
  return {I64{a.re} * b.re - I64{a.im} * b.im, I64{a.re} * b.im + I64{a.im} * b.re};
}

short low16(I64 v) { return short(std::uint16_t(std::uint64_t(v) & 0xFFFF)); }
short clamp16(I64 v) { return short(std::clamp<I64>(v, -32768, 32767)); }
bool fits(I64 v) { return v >= -32768 && v <= 32767; }

// The shift a fixed factor means: modulo 32, right for positive factors, left for negative ones.
int effectiveShift(int f) { return f >= 0 ? f % 32 : -int((-I64{f}) % 32); }

// One part stored by mode with the given shift (auto: the shift already chosen).
short store(I64 r, int mode, int shift) {
  const I64 scaled = shift >= 0 ? r >> shift : r * (I64{1} << -shift);
  if (mode == 1 || mode == 3) return clamp16(scaled);
  return low16(scaled);
}

template <class T>
short partRe(T x) {
  if constexpr (std::is_same_v<T, short>) {
    return x;
  } else {
    return x.re;
  }
}

// The exact results of a op b (b of length 1: a scalar second operand).
template <class T>
std::vector<Exact> exactAll(Op op, const std::vector<T>& a, const std::vector<T>& b) {
  std::vector<Exact> r(a.size());
  for (std::size_t k = 0; k < a.size(); ++k) r[k] = exact(op, a[k], b[b.size() == 1 ? 0 : k]);
  return r;
}

// The expected output for a mode and factor, and the factor mode 4 reports.
template <class T>
std::vector<T> expected(const std::vector<Exact>& r, int mode, int factor, int* autoFactor) {
  int shift = 0;
  if (mode == 4) {
    auto allFit = [&](int s) {
      return std::all_of(r.begin(), r.end(),
                         [s](Exact e) { return fits(e.re >> s) && fits(e.im >> s); });
    };
    while (!allFit(shift)) ++shift;
    *autoFactor = shift;
  } else if (mode != 0 && mode != 1) {
    shift = effectiveShift(factor);
  }
  std::vector<T> out(r.size());
  for (std::size_t k = 0; k < r.size(); ++k) {
    if constexpr (std::is_same_v<T, short>) {
      out[k] = store(r[k].re, mode, shift);
    } else {
      out[k] = {store(r[k].re, mode, shift), store(r[k].im, mode, shift)};
    }
  }
  return out;
}

// Every 16-bit value as the first operand, random second operands (with the extremes).
std::vector<short> sampledShorts(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<short> v(n);
  for (auto& x : v) x = short(gen());
  for (std::size_t k = 0; k < n; k += 97) v[k] = (k / 97) % 2 ? -32768 : 32767;
  return v;
}
std::vector<CS> complexFrom(const std::vector<short>& re, const std::vector<short>& im) {
  std::vector<CS> v(re.size());
  for (std::size_t k = 0; k < v.size(); ++k) v[k] = {re[k], im[k]};
  return v;
}

const int kModes[] = {0, 1, 2, 3, 4, 5, -1, 7};
// Factors -17 .. 17 and some that only count modulo 32 for the fixed modes; a few for the modes
// that act as mode 2; none for the modes that ignore the factor.
std::vector<int> factorsFor(int mode) {
  if (mode == 0 || mode == 1 || mode == 4) return {0};
  if (mode != 2 && mode != 3) return {-3, 0, 5};
  std::vector<int> f;
  for (int s = -17; s <= 17; ++s) f.push_back(s);
  for (int s : {31, 32, 33, -31, -32, -33, INT_MAX, INT_MIN}) f.push_back(s);
  return f;
}

template <class T>
using Form3 = void(KVO_CALL*)(const T*, const T*, T*, int, int, int*);
template <class T>
using Form2 = void(KVO_CALL*)(const T*, T*, int, int, int*);
template <class T>
using Form1 = void(KVO_CALL*)(T, T*, int, int, int*);

// Compares one call's output and factor with the expected ones at every instruction-set level.
template <class T, class Call>
void expectAtEveryLevel(const std::vector<T>& want, int wantFactor, int factor, Call call) {
  std::vector<T> out(want.size());
  forEachIsa([&] {
    int gotFactor = factor;
    call(out, &gotFactor);
    ASSERT_EQ(gotFactor, wantFactor);
    for (std::size_t k = 0; k < want.size(); ++k) {
      ASSERT_TRUE(out[k] == want[k])
          << k << ": got " << partRe(out[k]) << " want " << partRe(want[k]);
    }
  });
}

template <class T>
void checkAllModes(Op op, Form3<T> f3, Form2<T> f2, Form1<T> f1, const std::vector<T>& a,
                   const std::vector<T>& b) {
  const int n = int(a.size());
  const auto r = exactAll(op, a, b);
  const T scalars[] = {b[0], b[97]};  // a random value and an extreme one
  const std::vector<Exact> rScalar[] = {exactAll(op, a, std::vector<T>{scalars[0]}),
                                        exactAll(op, a, std::vector<T>{scalars[1]})};
  for (int mode : kModes) {
    for (int factor : factorsFor(mode)) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " factor " << factor);
      int wantFactor = factor;
      const auto want = expected<T>(r, mode, factor, &wantFactor);
      expectAtEveryLevel(want, wantFactor, factor, [&](std::vector<T>& out, int* f) {
        f3(a.data(), b.data(), out.data(), n, mode, f);
      });
      // The other forms run the same kernels (form 1 with a broadcast operand): a few factors
      // suffice for them.
      if (factor < -5 || factor > 5) continue;
      // Form 2 works in place on its second argument: dst = dst op src.
      expectAtEveryLevel(want, wantFactor, factor, [&](std::vector<T>& out, int* f) {
        out = a;
        f2(b.data(), out.data(), n, mode, f);
      });
      // Form 1: a scalar second operand.
      for (int i = 0; i < 2; ++i) {
        const auto wantScalar = expected<T>(rScalar[i], mode, factor, &wantFactor);
        expectAtEveryLevel(wantScalar, wantFactor, factor, [&](std::vector<T>& out, int* f) {
          out = a;
          f1(scalars[i], out.data(), n, mode, f);
        });
      }
    }
  }
}

TEST(Arith16Exhaustive, RealEveryValueEveryMode) {
  const auto a = everyShort();
  const auto b = sampledShorts(a.size(), 1);
  checkAllModes<short>(Op::Add, kvowbAdd3, kvowbAdd2, kvowbAdd1, a, b);
  checkAllModes<short>(Op::Sub, kvowbSub3, kvowbSub2, kvowbSub1, a, b);
  checkAllModes<short>(Op::Mpy, kvowbMpy3, kvowbMpy2, kvowbMpy1, a, b);
}

TEST(Arith16Exhaustive, ComplexEveryValueEveryMode) {
  // Every value as the real part of the first operand, and again as its imaginary part.
  const auto all = everyShort();
  const auto a = complexFrom(all, sampledShorts(all.size(), 2));
  const auto a2 = complexFrom(sampledShorts(all.size(), 3), all);
  const auto b = complexFrom(sampledShorts(all.size(), 4), sampledShorts(all.size(), 5));
  for (const auto* first : {&a, &a2}) {
    checkAllModes<CS>(Op::Add, kvovbAdd3, kvovbAdd2, kvovbAdd1, *first, b);
    checkAllModes<CS>(Op::Sub, kvovbSub3, kvovbSub2, kvovbSub1, *first, b);
    checkAllModes<CS>(Op::Mpy, kvovbMpy3, kvovbMpy2, kvovbMpy1, *first, b);
  }
}

// ---- worked cases ----

// The sweeps above always pass a factor; a null one counts as 0.
TEST(Arith16, NullFactorCountsAsZero) {
  const short a = 30000, b = 10000;
  short d;
  kvowbAdd3(&a, &b, &d, 1, 3, nullptr);
  EXPECT_EQ(d, 32767);
  kvowbAdd3(&a, &b, &d, 1, 2, nullptr);
  EXPECT_EQ(d, -25536);
}

TEST(Arith16, ComplexProductOf33Bits) {
  // (-32768 - 32768i)^2 = 0 + 2^31 i: carried exactly, not wrapped to -2^31.
  const CS m{-32768, -32768};
  const std::vector<CS> a(37, m);
  std::vector<CS> d(37);
  forEachIsa([&] {
    int factor = 0;
    kvovbMpy3(a.data(), a.data(), d.data(), 37, 1, nullptr);
    for (const CS& x : d) ASSERT_TRUE(x == (CS{0, 32767}));
    kvovbMpy3(a.data(), a.data(), d.data(), 37, 4, &factor);
    EXPECT_EQ(factor, 17);
    for (const CS& x : d) ASSERT_TRUE(x == (CS{0, 16384}));
    factor = 16;
    kvovbMpy3(a.data(), a.data(), d.data(), 37, 3, &factor);
    for (const CS& x : d) ASSERT_TRUE(x == (CS{0, 32767}));
  });
}

// ---- argument checks ----

class Arith16Checks : public KvoTest {};

TEST_F(Arith16Checks, LengthPointersAndAutoFactorInOrder) {
  std::vector<short> a(4, 1);
  auto d = sentinel<short>(4);
  int factor = 0;
  kvowbAdd3(a.data(), a.data(), d.data(), 0, 4, nullptr);
  expectReport(-5, "kvowbAdd3", "n<=0", kModule);
  kvowbAdd3(nullptr, nullptr, nullptr, 4, 4, nullptr);
  expectReport(-5, "kvowbAdd3", "srcA==0", kModule);
  kvowbAdd3(a.data(), nullptr, nullptr, 4, 0, nullptr);
  expectReport(-5, "kvowbAdd3", "srcB==0", kModule);
  kvowbAdd3(a.data(), a.data(), nullptr, 4, 0, nullptr);
  expectReport(-5, "kvowbAdd3", "dst==0", kModule);
  kvowbAdd3(a.data(), a.data(), d.data(), 4, 4, nullptr);
  expectReport(-5, "kvowbAdd3", "scalefactor==0", kModule);
  kvowbSub3(nullptr, a.data(), d.data(), 4, 0, &factor);
  expectReport(-5, "kvowbSub3", "src==0", kModule);
  kvowbSub3(a.data(), nullptr, d.data(), 4, 0, &factor);
  expectReport(-5, "kvowbSub3", "val==0", kModule);
  kvowbSub2(nullptr, d.data(), 4, 0, &factor);
  expectReport(-5, "kvowbSub2", "val==0", kModule);
  kvowbMpy2(nullptr, d.data(), 4, 0, &factor);
  expectReport(-5, "kvowbMpy2", "src==0", kModule);
  kvowbMpy1(3, nullptr, 4, 0, &factor);
  expectReport(-5, "kvowbMpy1", "dst==0", kModule);
  kvowbMpy1(3, d.data(), -1, 0, &factor);
  expectReport(-5, "kvowbMpy1", "n<=0", kModule);
  EXPECT_TRUE(isSentinel(d));

  auto v = sentinel<CS>(4);
  kvovbAdd1(CS{1, 1}, v.data(), 4, 4, nullptr);
  expectReport(-5, "kvovbAdd1", "scalefactor==0", kModule);
  kvovbMpy3(v.data(), nullptr, v.data(), 4, 0, nullptr);
  expectReport(-5, "kvovbMpy3", "srcB==0", kModule);
  kvovbSub2(v.data(), nullptr, 4, 1, nullptr);
  expectReport(-5, "kvovbSub2", "dst==0", kModule);
  EXPECT_TRUE(isSentinel(v));
  // Mode 4 only needs the pointer: other modes run without one.
  kvowbAdd3(a.data(), a.data(), d.data(), 4, 5, nullptr);
  expectNoReport();
}

TEST_F(Arith16Checks, FillCopyAndConjugation) {
  auto d = sentinel<short>(3);
  auto v = sentinel<CS>(3);
  kvowbZero(d.data(), 0);
  expectReport(-5, "kvowbZero", "n<=0", kModule);
  kvovbZero(nullptr, 3);
  expectReport(-5, "kvovbZero", "dst==0", kModule);
  kvowbSet(1, nullptr, 3);
  expectReport(-5, "kvowbSet", "dst==0", kModule);
  kvovbSet(1, 2, v.data(), 0);
  expectReport(-5, "kvovbSet", "n<=0", kModule);
  kvowbCopy(nullptr, d.data(), 3);
  expectReport(-5, "kvowbCopy", "src==0", kModule);
  kvovbCopy(v.data(), nullptr, 3);
  expectReport(-5, "kvovbCopy", "dst==0", kModule);
  kvovbConj1(nullptr, 3);
  expectReport(-5, "kvovbConj1", "vec==0", kModule);
  kvovbConj2(v.data(), v.data(), 0);
  expectReport(-5, "kvovbConj2", "n<=0", kModule);
  kvovbConjFlip2(nullptr, v.data(), 3);
  expectReport(-5, "kvovbConjFlip2", "src==0", kModule);
  kvovbConjExtend1(v.data(), -2);
  expectReport(-5, "kvovbConjExtend1", "n<=0", kModule);
  kvovbConjExtend2(v.data(), nullptr, 3);
  expectReport(-5, "kvovbConjExtend2", "dst==0", kModule);
  EXPECT_TRUE(isSentinel(d));
  EXPECT_TRUE(isSentinel(v));
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

// ---- scalar operations ----

class ComplexShortScalar : public KvoTest {};

TEST_F(ComplexShortScalar, BlockFailureIsPassedUpAsBacktrace) {
  EXPECT_TRUE(kvovAdd(CS{1, 2}, CS{3, 4}, 4, nullptr) == (CS{0, 0}));
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0].func, "kvovbAdd3");
  EXPECT_EQ(reports()[0].message, "scalefactor==0");
  EXPECT_EQ(reports()[1].status, KVO_StatusBacktrace);
  EXPECT_EQ(reports()[1].func, "kvovAdd");
  EXPECT_EQ(reports()[1].module, kModule);
  EXPECT_EQ(kvoGetErrStatus(), -5);  // the back-trace leaves the cause's status
  kvotest::clearReports();
  // The status is cleared on entry, so an old failure does not cause a back-trace.
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
  expectReport(-5, "kvovDiv", "(b.re==0)&&(b.im==0)", kModule);
}

}  // namespace
