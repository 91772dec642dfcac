// The level-independent parts of the FIR kernels: schedules, 16-bit taps, scaling of the sums and
// the delay-line bookkeeping around the block kernels.
#include "kernels/filter/fir.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "kernels/vector/cvt.h"
#include "kernels/vector/scale.h"

namespace kvo::kern::fir {

void schedule(int L, Rate r, Phase* out) {
  for (int j = 0; j < r.up; ++j) out[j] = phaseAt(L, r, j);
}

namespace detail {

InputGuard::InputGuard(const void* in, std::size_t inBytes, const void* out, std::size_t outBytes)
    : use_(in) {
  const auto a = reinterpret_cast<std::uintptr_t>(in), b = reinterpret_cast<std::uintptr_t>(out);
  if (inBytes == 0 || outBytes == 0 || a + inBytes <= b || b + outBytes <= a) return;
  copy_ = inBytes < 0x7fffffff ? kvoMalloc(static_cast<int>(inBytes)) : nullptr;
  if (copy_ != nullptr) std::memcpy(copy_, in, inBytes);
  use_ = copy_;
}

InputGuard::~InputGuard() {
  if (copy_ != nullptr) kvoFree(copy_);
}

}  // namespace detail

// ---- 16-bit taps ----

int tapsFactor(const float* h, int L) {
  double s = 0.0;
  for (int k = 0; k < L; ++k) s += std::fabs(static_cast<double>(h[k]));
  if (!(s > 0.0)) return 0;
  int n = 0;
  if (s <= 32767.0) {
    // The largest n with s*2^n < 32767 (n = 0 when even s itself is not below it).
    while (std::ldexp(s, n + 1) < 32767.0) ++n;
  } else {
    // An infinite sum (a tap holding an infinity, or magnitudes that overflow) has no such n; the
    // search stops where every finite double would have reached zero.
    n = -1;
    while (n > -1100 && std::ldexp(s, n) > 32767.0) --n;
  }
  return n;
}

void quantizeTaps(const float* h, int L, Rate r, int n, short* q) {
  const IntTarget target{16, -32768.0, 32767.0, 1.0, true};
  for (int p = 0; p < r.up; ++p) {
    const Phase ph = phaseAt(L, Rate{r.up, 0, 1, 0}, p);
    for (int k = 0; k < ph.len; ++k) {
      // The float product, as the block multiply forms it (scaling by a power of two is exact
      // within the float range).
      const float v = std::ldexp(h[p + static_cast<std::ptrdiff_t>(k) * r.up], n);
      bool outside = false;
      q[ph.offset + ph.len - 1 - k] =
          static_cast<short>(convertOne(static_cast<double>(v), Round::Nearest, target, outside));
    }
  }
}

void dequantizeTaps(const short* q, int L, Rate r, int n, float* h) {
  for (int p = 0; p < r.up; ++p) {
    const Phase ph = phaseAt(L, Rate{r.up, 0, 1, 0}, p);
    for (int k = 0; k < ph.len; ++k) {
      h[p + static_cast<std::ptrdiff_t>(k) * r.up] =
          std::ldexp(static_cast<float>(q[ph.offset + ph.len - 1 - k]), -n);
    }
  }
}

// ---- scaling of the sums ----

namespace {

// The taps exponent removed before automatic scaling: arithmetic right shift, or a left shift
// with wrap-around for negative exponents.
std::int32_t unscale(std::int32_t v, int n) {
  if (n > 0) return v >> (n < 31 ? n : 31);
  if (n < 0) {
    const int k = -n < 31 ? -n : 31;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << k);
  }
  return v;
}

// The conversion of non-automatic modes: mode and factor for kvoScaleInt(s)ToShort(s).
struct Fixed {
  int mode;
  int factor;
};
Fixed fixedOf(int n, int scaleMode, const int* scaleFactor) {
  const int extra = (scaleFactor != nullptr && (scaleMode & KVO_FIXED_SCALE)) ? *scaleFactor : 0;
  const long long eff = static_cast<long long>(n) + extra;
  if (eff != 0) {
    const int f = eff > 1000 ? 1000 : eff < -1000 ? -1000 : static_cast<int>(eff);
    return {KVO_FIXED_SCALE | (scaleMode & KVO_SATURATE), f};
  }
  return {scaleMode & ~KVO_FIXED_SCALE, 0};
}

}  // namespace

short scaleOne(std::int32_t sum, int n, int scaleMode, int* scaleFactor) {
  if (scaleMode & KVO_AUTO_SCALE) {
    return kvoScaleIntToShort(unscale(sum, n), KVO_AUTO_SCALE, scaleFactor);
  }
  Fixed f = fixedOf(n, scaleMode, scaleFactor);
  return kvoScaleIntToShort(sum, f.mode, &f.factor);
}

void scaleBlock(std::int32_t* sums, short* out, int count, int n, int scaleMode, int* scaleFactor) {
  if (scaleMode & KVO_AUTO_SCALE) {
    for (int i = 0; i < count; ++i) sums[i] = unscale(sums[i], n);
    kvoScaleIntsToShorts(sums, out, count, KVO_AUTO_SCALE, scaleFactor);
    return;
  }
  Fixed f = fixedOf(n, scaleMode, scaleFactor);
  kvoScaleIntsToShorts(sums, out, count, f.mode, &f.factor);
}

// ---- 16-bit delay lines ----

namespace {
// The oldest-first line of len entries after `count` more inputs.
void pushOldestFirst(short* dly, int len, const short* in, std::size_t count) {
  const std::size_t l = static_cast<std::size_t>(len);
  if (count >= l) {
    std::memcpy(dly, in + (count - l), l * sizeof(short));
  } else {
    std::memmove(dly, dly + count, (l - count) * sizeof(short));
    std::memcpy(dly + (l - count), in, count * sizeof(short));
  }
}
}  // namespace

void blockW(const short* tapsRev, int L, short* dly, const short* in, std::int32_t* sums, int n) {
  runW(tapsRev, L, Rate{}, dly, L - 1, in, sums, n);
  if (L > 1) pushOldestFirst(dly, L - 1, in, static_cast<std::size_t>(n));
  dly[L - 1] = in[n - 1];  // the scratch slot keeps the latest input, as after oneW
}

void blockMrW(const short* taps, int L, Rate r, short* dly, int dlyLen, const short* in,
              std::int32_t* sums, int numIters) {
  runW(taps, L, r, dly, dlyLen, in, sums, numIters);
  pushOldestFirst(dly, dlyLen, in, static_cast<std::size_t>(numIters) * r.down);
}

std::int32_t oneW(const short* tapsRev, int L, short* dly, short samp) {
  dly[L - 1] = samp;
  std::uint32_t s = 0;
  for (int k = 0; k < L; ++k) {
    s += static_cast<std::uint32_t>(std::int32_t{tapsRev[k]} * dly[k]);
  }
  for (int k = 0; k + 1 < L; ++k) dly[k] = dly[k + 1];
  return static_cast<std::int32_t>(s);
}

}  // namespace kvo::kern::fir
