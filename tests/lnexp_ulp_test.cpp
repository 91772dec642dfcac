// Logarithm and exponential of float and double vectors: the worst error over a sweep of every
// binary exponent with random significands, and the special values, at every instruction-set level.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/kvo_test.h"

namespace {

using LD = long double;

// The distance of got from the exact value in units in the last place of the rounded result.
template <class T>
double ulps(T got, LD want) {
  const T w = static_cast<T>(want);
  if (std::isinf(w)) return got == w ? 0 : 1e9;
  const LD ulp =
      std::max<LD>(std::nextafter(std::fabs(w), std::numeric_limits<T>::infinity()) - std::fabs(w),
                   std::numeric_limits<T>::denorm_min());
  return static_cast<double>(std::fabs(static_cast<LD>(got) - want) / ulp);
}

// Every exponent pattern from the subnormals up to `topExponent` (biased), `perExponent` random
// significands each, positive or also negative.
template <class T>
std::vector<T> sweep(int topExponent, bool bothSigns, int perExponent) {
  using U = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
  constexpr int kFraction = std::numeric_limits<T>::digits - 1;
  std::mt19937_64 gen(topExponent);
  std::vector<T> v;
  for (int e = 0; e <= topExponent; ++e) {
    for (int k = 0; k < perExponent; ++k) {
      U bits =
          (static_cast<U>(e) << kFraction) | (static_cast<U>(gen()) & ((U{1} << kFraction) - 1));
      if (bothSigns && k % 2) bits |= U{1} << (8 * sizeof(T) - 1);
      T x;
      std::memcpy(&x, &bits, sizeof x);
      if (x != 0) v.push_back(x);
    }
  }
  return v;
}

struct Sweep {
  std::string name;
  void (*sFn)(const float*, float*, int);
  void (*dFn)(const double*, double*, int);
  LD (*ref)(LD);
  bool exp;  // inputs of both signs up to |x| < 256 (float) or 2048 (double)
};

class LnExpSweep : public testing::TestWithParam<Sweep> {};

template <class T>
void checkSweep(void (*f)(const T*, T*, int), LD (*ref)(LD), bool exp) {
  // ln: every finite positive number; exp: |x| up to 2^8 (float) or 2^11 (double), beyond both
  // ends.
  const int topExponent = exp ? std::numeric_limits<T>::max_exponent - 1 + (sizeof(T) == 4 ? 7 : 10)
                              : 2 * std::numeric_limits<T>::max_exponent - 2;
  const std::vector<T> x = sweep<T>(topExponent, exp, 64);
  std::vector<T> y(x.size());
  kvotest::forEachIsa([&] {
    f(x.data(), y.data(), static_cast<int>(x.size()));
    double worst = 0;
    T at = 0;
    for (std::size_t k = 0; k < x.size(); ++k) {
      const double u = ulps(y[k], ref(x[k]));
      if (u > worst) worst = u, at = x[k];
    }
    EXPECT_LE(worst, 1.0) << "at " << at;
  });
}

TEST_P(LnExpSweep, WithinOneUlpAtEveryExponent) {
  const Sweep& s = GetParam();
  s.sFn ? checkSweep(s.sFn, s.ref, s.exp) : checkSweep(s.dFn, s.ref, s.exp);
}

LD refLn(LD x) { return std::log(x); }
LD refExp(LD x) { return std::exp(x); }

INSTANTIATE_TEST_SUITE_P(Functions, LnExpSweep,
                         testing::Values(Sweep{"sLn", kvosbLn2, nullptr, refLn, false},
                                         Sweep{"dLn", nullptr, kvodbLn2, refLn, false},
                                         Sweep{"sExp", kvosbExp2, nullptr, refExp, true},
                                         Sweep{"dExp", nullptr, kvodbExp2, refExp, true}),
                         [](const auto& info) { return info.param.name; });

// Near 1 the result is far smaller than the table values it is made of; from below, the input's
// exponent is -1 and the table point 2, whose terms must cancel exactly.
TEST(LnExpNearOne, WithinOneUlpOnBothSides) {
  std::mt19937_64 gen(5);
  std::vector<double> x;
  for (int k = 0; k < 4096; ++k) {
    const double m = static_cast<double>(gen() >> (gen() % 60 + 4)) + 1;  // 1 .. 2^60, any length
    x.push_back(1 + std::ldexp(std::fmod(m, 0x1p44), -52));
    x.push_back(1 - std::ldexp(std::fmod(m, 0x1p45), -53));
  }
  std::vector<double> y(x.size());
  kvotest::forEachIsa([&] {
    kvodbLn2(x.data(), y.data(), static_cast<int>(x.size()));
    double worst = 0;
    for (std::size_t k = 0; k < x.size(); ++k) worst = std::max(worst, ulps(y[k], refLn(x[k])));
    EXPECT_LE(worst, 1.0);
  });
}

// Vectors holding a NaN take the slower path of special values (and, for double, of subnormal
// logarithms and of exponentials near the ends of the range): every lane of them must come out as
// it does in a vector of ordinary values.
TEST_P(LnExpSweep, LanesDoNotDependOnTheirNeighbours) {
  const Sweep& s = GetParam();
  auto check = [&](auto f, auto x) {
    using T = typename decltype(x)::value_type;
    std::vector<T> mixed(2 * x.size(), std::numeric_limits<T>::quiet_NaN());
    for (std::size_t k = 0; k < x.size(); ++k) mixed[2 * k] = x[k];
    std::vector<T> y(x.size()), z(mixed.size());
    kvotest::forEachIsa([&] {
      f(x.data(), y.data(), static_cast<int>(x.size()));
      f(mixed.data(), z.data(), static_cast<int>(z.size()));
      for (std::size_t k = 0; k < x.size(); ++k)
        ASSERT_TRUE(kvotest::sameBits(y[k], z[2 * k])) << x[k];
    });
  };
  // Ordinary inputs: positive normal numbers for ln, up to 80 or 708 in magnitude for exp.
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> exps(s.sFn ? -80 : -708, s.sFn ? 80 : 708);
  std::uniform_real_distribution<double> lns(s.sFn ? -125 : -1021, s.sFn ? 127 : 1023);
  auto values = [&](auto one) {
    std::vector<decltype(one)> x(1000);
    for (auto& v : x) {
      v = static_cast<decltype(one)>(s.exp ? exps(gen) : std::exp2(lns(gen)));
    }
    return x;
  };
  s.sFn ? check(s.sFn, values(0.0f)) : check(s.dFn, values(0.0));
}

// Special values in a vector of ordinary ones, so the fix-up of a whole vector is exercised too.
struct Special {
  double in, out;  // out NaN: any NaN; the default NaN when in is not a NaN
};

template <class T>
void checkSpecials(void (*f)(const T*, T*, int), const std::vector<Special>& rows) {
  kvotest::forEachIsa([&] {
    for (const Special& row : rows) {
      std::vector<T> x(19, T(0.5));
      x[5] = static_cast<T>(row.in);
      std::vector<T> y(x.size());
      f(x.data(), y.data(), static_cast<int>(x.size()));
      if (std::isnan(row.out)) {
        EXPECT_TRUE(std::isnan(y[5])) << row.in;
        EXPECT_TRUE(std::isnan(row.in) || std::signbit(y[5])) << row.in;
      } else {
        EXPECT_TRUE(kvotest::sameBits(y[5], static_cast<T>(row.out))) << row.in << " " << y[5];
      }
      EXPECT_TRUE(kvotest::sameBits(y[4], y[6]));  // the neighbours keep their ordinary results
    }
  });
}

TEST(LnExpSpecials, ZerosNegativesInfinitiesNaNsAndRangeLimits) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const std::vector<Special> ln = {{0.0, -inf}, {-0.0, -inf}, {-1, nan}, {-inf, nan},
                                   {inf, inf},  {nan, nan},   {1, 0}};
  checkSpecials(kvosbLn2, ln);
  checkSpecials(kvodbLn2, ln);
  const std::vector<Special> sExp = {{-inf, 0}, {inf, inf}, {nan, nan}, {0, 1},
                                     {-0.0, 1}, {89, inf},  {-104, 0}};
  checkSpecials(kvosbExp2, sExp);
  const std::vector<Special> dExp = {{-inf, 0}, {inf, inf}, {nan, nan}, {0, 1},
                                     {-0.0, 1}, {710, inf}, {-746, 0}};
  checkSpecials(kvodbExp2, dExp);
}

}  // namespace
