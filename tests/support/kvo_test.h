// Test support: a fixture that captures every report of the test's thread, and small helpers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "kernels/isa.h"
#include "kvo.h"

namespace kvotest {

using CF = ComplexFloat;
using CD = ComplexDouble;
using CS = ComplexShort;
using I64 = std::int64_t;
using LD = long double;
constexpr double kPi = 3.14159265358979323846;
template <class T>
constexpr bool kComplex = std::is_same_v<T, CF> || std::is_same_v<T, CD>;

struct Report {
  int status;
  std::string func;
  std::string message;
  std::string module;
  int line;
};

// The reports captured on the calling thread since the last clearReports().
std::vector<Report>& reports();
void clearReports();
int KVO_CALL captureReport(int status, const char* funcName, const char* message,
                           const char* fileName, int line);

// Switches the thread to parent mode with the capturing reporter, and back afterwards.
class KvoTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Exactly one report since the last check, with these fields; clears the list.
  static void expectReport(int status, const char* func, const char* message, const char* module);
  static void expectNoReport();

 private:
  int savedMode_ = 0;
  ReportFunction savedReporter_ = nullptr;
};

// Bitwise equality, so signed zeros and NaN payloads count.
template <class T>
bool sameBits(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <class T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         std::memcmp(static_cast<const void*>(a.data()), static_cast<const void*>(b.data()),
                     a.size() * sizeof(T)) == 0;
}

// i with its low `order` bits in reverse order.
inline std::size_t bitrev(std::size_t i, int order) {
  std::size_t r = 0;
  for (int b = 0; b < order; ++b) r = (r << 1) | ((i >> b) & 1);
  return r;
}

// Every 16-bit value, from -32768 up.
inline std::vector<short> everyShort() {
  std::vector<short> v(65536);
  for (int k = 0; k < 65536; ++k) v[std::size_t(k)] = short(k - 32768);
  return v;
}

// The shared rules that bring an exact integer result to 16 bits (the block arithmetic counts its
// shifts modulo 32 instead): mode 4 shifts right by the automatic factor; modes 2 and 3 shift by
// the fixed factor, right by at most 31 and left by at most 15, a null factor meaning 0; modes 1
// and 3 saturate and every other mode keeps the low 16 bits.
inline short toShort(I64 v, int mode, const int* factor, int autoFactor = 0) {
  if (mode == 4) return short(std::uint16_t(std::uint64_t(v >> autoFactor)));
  if ((mode == 2 || mode == 3) && factor) {
    v = *factor > 0 ? v >> std::min(*factor, 31) : v * (I64{1} << std::min(-*factor, 15));
  }
  if (mode == 1 || mode == 3) return short(std::clamp<I64>(v, -32768, 32767));
  return short(std::uint16_t(std::uint64_t(v)));
}
// The automatic factor of those rules: 0 if every value fits in 16 bits, else the position of the
// highest bit of the largest magnitude minus 14.
inline int autoFactorOf(const std::vector<I64>& values) {
  I64 lo = 0, hi = 0;
  for (I64 v : values) lo = std::min(lo, v), hi = std::max(hi, v);
  if (lo >= -32768 && hi <= 32767) return 0;
  int p = 0;
  while ((std::max(hi, -lo) >> (p + 1)) != 0) ++p;
  return p - 14;
}

// A buffer filled with a recognisable byte pattern, to show that a failed call wrote nothing.
template <class T>
std::vector<T> sentinel(std::size_t n) {
  std::vector<T> v(n);
  std::memset(static_cast<void*>(v.data()), 0xA5, n * sizeof(T));
  return v;
}
template <class T>
bool isSentinel(const std::vector<T>& v) {
  const auto* p = reinterpret_cast<const unsigned char*>(v.data());
  for (std::size_t i = 0; i < v.size() * sizeof(T); ++i) {
    if (p[i] != 0xA5) return false;
  }
  return true;
}

// True in the 32-bit run under user-mode emulation (KVO_TEST_EMULATED), where long-double
// references run a hundred times slower: the largest sizes are left to the native runs.
bool emulated();

// Runs `body` once for every instruction-set level this processor has.
template <class F>
void forEachIsa(F body) {
  using kvo::kern::Isa;
  const Isa saved = kvo::kern::isa();
  for (Isa level : {Isa::Sse2, Isa::Avx2, Isa::Avx512}) {
    if (static_cast<int>(level) > static_cast<int>(kvo::kern::hardwareIsa())) continue;
    kvo::kern::setIsa(level);
    SCOPED_TRACE(kvo::kern::isaName(level));
    body();
  }
  kvo::kern::setIsa(saved);
}

template <class R>
std::vector<R> randomReals(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<R> dist(-100, 100);
  std::vector<R> v(n);
  for (auto& x : v) x = dist(gen);
  return v;
}
// Reals in [-100, 100); 16-bit values over their whole range; complex values of either.
template <class T>
std::vector<T> randomOf(std::size_t n, unsigned seed) {
  if constexpr (std::is_same_v<T, CF> || std::is_same_v<T, CD> || std::is_same_v<T, CS>) {
    using R = decltype(T::re);
    const auto r = randomOf<R>(2 * n, seed);
    std::vector<T> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = {r[2 * i], r[2 * i + 1]};
    return v;
  } else if constexpr (std::is_same_v<T, short>) {
    std::mt19937 gen(seed);
    std::vector<short> v(n);
    for (auto& x : v) x = short(gen());
    return v;
  } else {
    return randomReals<T>(n, seed);
  }
}
template <class C>
std::vector<C> randomComplex(std::size_t n, unsigned seed) {
  return randomOf<C>(n, seed);
}

}  // namespace kvotest
