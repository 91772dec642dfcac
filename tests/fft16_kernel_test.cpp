// The 16-bit FFTs' real-signal recombination on registers against its scalar definition, at every
// instruction-set level, over the whole range of both element types (saturation and wrapping).
#include <random>
#include <type_traits>
#include <vector>

#include "kernels/transform/fft16.h"
#include "support/kvo_test.h"
#include "transform/tables.h"

using namespace kvotest;

namespace {

template <class T>
I64 fit(I64 v) {
  if constexpr (sizeof(T) == 2) return v > 32767 ? 32767 : v < -32768 ? -32768 : v;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

// X[k] = E - iR, X[M-k] = conj(E + iR) with E, O the half sum and difference of Z[k] and
// conj Z[M-k] and R = O w^k; DC and Nyquist from Z[0]; X[M/2] = conj Z[M/2].
template <class T>
std::vector<T> refPost(std::vector<T> z, std::size_t m, const ComplexShort* w) {
  const I64 r0 = z[0], i0 = z[1];
  z[0] = static_cast<T>(fit<T>(r0 + i0));
  z[1] = 0;
  z[2 * m] = static_cast<T>(fit<T>(r0 - i0));
  z[2 * m + 1] = 0;
  for (std::size_t k = 1; 2 * k < m; ++k) {
    const I64 pr = z[2 * k], pi = z[2 * k + 1], qr = z[2 * (m - k)], qi = z[2 * (m - k) + 1];
    const I64 er = (pr + qr) >> 1, ei = (pi - qi) >> 1, o1 = (pr - qr) >> 1, o2 = (pi + qi) >> 1;
    const I64 c = w[k].re, s = -w[k].im;
    const I64 rr = fit<T>((o1 * c + o2 * s) >> 14), ri = fit<T>((o2 * c - o1 * s) >> 14);
    z[2 * k] = static_cast<T>(fit<T>(er + ri));
    z[2 * k + 1] = static_cast<T>(fit<T>(ei - rr));
    z[2 * (m - k)] = static_cast<T>(fit<T>(er - ri));
    z[2 * (m - k) + 1] = static_cast<T>(fit<T>(-fit<T>(ei + rr)));
  }
  if (m >= 2) z[m + 1] = static_cast<T>(fit<T>(-I64{z[m + 1]}));
  return z;
}

template <class T>
void checkPost() {
  std::mt19937 gen(17);
  std::uniform_int_distribution<std::int64_t> dist(std::numeric_limits<T>::min(),
                                                   std::numeric_limits<T>::max());
  for (int order = 2; order <= 11; ++order) {
    SCOPED_TRACE(testing::Message() << "order " << order << " element bytes " << sizeof(T));
    const std::size_t m = std::size_t{1} << (order - 1);
    std::vector<T> z(2 * m + 2);
    for (auto& v : z) v = static_cast<T>(dist(gen));
    const std::int16_t* table = kvo::tables::intFftTwd(order);
    ASSERT_NE(table, nullptr);
    const auto want = refPost(z, m, kvovGetFftTwdTbl(order));
    forEachIsa([&] {
      std::vector<T> got = z;
      kvo::kern::fft16Post(got.data(), m, table, 1, kvo::tables::intFftStages(table, order), false);
      ASSERT_EQ(got, want);
    });
  }
}

TEST(Fft16Kernels, ForwardRecombinationMatchesItsDefinitionAtEveryLevel) {
  checkPost<std::int16_t>();
  checkPost<std::int32_t>();
  kvovFreeTwdTbls();
  for (int order = 2; order <= 11; ++order) kvo::tables::freeIntFftTwd(order);
}

}  // namespace
