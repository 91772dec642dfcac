// Same-size two-dimensional filtering (module kvofir2): direct sums with the kernel reversed in
// place, or overlap-save with a two-dimensional real FFT, chosen by an operation-count model.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "adaptive/conv2d.h"
#include "frame/check.h"
#include "kernels/conv/slide.h"
#include "kernels/vector/scale.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvofir2";

namespace conv = kvo::conv;

bool filterChecks(const kvo::Site& site, const void* src, int cols, int rows, const void* kernel,
                  int kCols, int kRows, const void* dst) {
  kvo::Checks c(site);
  c.require(src != nullptr && kernel != nullptr, "Null SRC buffer pointer")
      .notNull(dst, "Null DST buffer pointer")
      .require(cols >= 1, "Invalid number of cols")
      .require(rows >= 1, "Inlalid number of rows")
      .require(kCols >= 1, "Invalid number of cols")
      .require(kRows >= 1, "Inlalid number of rows");
  return c.ok();
}

std::int64_t pow2AtLeast(std::int64_t n) {
  std::int64_t p = 1;
  while (p < n) p *= 2;
  return p;
}

// The transform cost of overlap-save with Pr x Pc tiles against the direct cost.
bool useFft(int cols, int rows, int kCols, int kRows) {
  const double pr = 2.0 * double(pow2AtLeast(kRows)), pc = 2.0 * double(pow2AtLeast(kCols));
  const double hr = pr - kRows + 1, hc = pc - kCols + 1;
  const double tiles = std::ceil(rows / hr) * std::ceil(cols / hc);
  auto q = [](double m) { return m < 2 ? 3.0 : 6 + 7 * (m - 2); };
  const double f2 = conv::fftCost(pr) * (pc / 2) + pr * conv::fftCost(pc / 2) + conv::mpy0(pc) +
                    (pr >= 2 ? conv::mpy0(pc) + 36 * pc * std::fmax(pr / 2 - 1, 0) : 0);
  const double s2 = q(pc) + (pr >= 2 ? q(pc) + 7 * pc * std::fmax(pr - 2, 0) : 0);
  const double cost = (2 * hr * hc + 2 * pr * pc + 2 * f2 + s2) * tiles + f2;
  const double direct = 4.0 * cols * rows * double(kCols) * kRows;
  return cost < direct && pr * pc <= double(1 << 26);
}

// Overlap-save: tiles of Pr x Pc advancing by the valid part. False without memory or tables.
template <class R>
bool filterFft(const R* src, int cols, int rows, const R* kernel, int kCols, int kRows, R* dst) {
  using C = conv::ComplexOf<R>;
  const int ro = conv::ceilLog2(2 * std::uint64_t(pow2AtLeast(kRows)));
  const int co = conv::ceilLog2(2 * std::uint64_t(pow2AtLeast(kCols)));
  conv::Fft2d<R> t;
  if (!t.plan(ro, co)) return false;
  const std::size_t pr = t.rows(), pc = t.cols(), ns = t.spectrumSize();
  auto* ks = static_cast<C*>(kvoMalloc(static_cast<int>(sizeof(C) * ns)));
  auto* ts = static_cast<C*>(kvoMalloc(static_cast<int>(sizeof(C) * ns)));
  auto* tile = static_cast<R*>(kvoMalloc(static_cast<int>(sizeof(R) * pr * pc)));
  const bool ok = ks && ts && tile;
  if (ok) {
    conv::loadTile(kernel, kCols, kRows, 0, 0, kRows, kCols, tile, pc, pr);
    t.forward(tile, ks);
    conv::scaleBy(&ks->re, 2 * ns, static_cast<R>(1.0 / double(pr * pc)));
    const int hr = int(pr) - kRows + 1, hc = int(pc) - kCols + 1;
    const int ot = kRows - 1 - kRows / 2, ol = kCols - 1 - kCols / 2;
    for (int r0 = 0; r0 < rows; r0 += hr) {
      for (int c0 = 0; c0 < cols; c0 += hc) {
        conv::loadTile(src, cols, rows, std::int64_t{r0} - ot, std::int64_t{c0} - ol, int(pr),
                       int(pc), tile, pc, pr);
        t.forward(tile, ts);
        kvo::kern::binary<kvo::kern::Mpy>(ts, ks, ts, static_cast<int>(ns));
        t.inverse(ts, tile);
        const int nr = rows - r0 < hr ? rows - r0 : hr, nc = cols - c0 < hc ? cols - c0 : hc;
        for (int i = 0; i < nr; ++i) {
          std::memcpy(dst + std::size_t(r0 + i) * cols + c0,
                      tile + (std::size_t(i) + kRows - 1) * pc + (kCols - 1),
                      sizeof(R) * std::size_t(nc));
        }
      }
    }
  }
  kvoFree(ks);
  kvoFree(ts);
  kvoFree(tile);
  return ok;
}

// Reverses n values in place (the kernel's row-major order end to end).
template <class R>
void reverse(R* v, std::size_t n) {
  for (std::size_t i = 0, j = n - 1; i < j; ++i, --j) {
    const R t = v[i];
    v[i] = v[j];
    v[j] = t;
  }
}

template <class R>
void filter(const kvo::Site& site, const R* src, int cols, int rows, R* kernel, int kCols,
            int kRows, R* dst) {
  if (!filterChecks(site, src, cols, rows, kernel, kCols, kRows, dst)) return;
  if (useFft(cols, rows, kCols, kRows) && filterFft(src, cols, rows, kernel, kCols, kRows, dst)) {
    return;
  }
  // Reversed, the kernel's rows are the coefficients of sliding products; it is restored below
  // on the only way out.
  const std::size_t n = std::size_t(kCols) * kRows;
  reverse(kernel, n);
  conv::direct2d(src, cols, rows, static_cast<const R*>(kernel), kCols, kRows, dst, cols, rows,
                 kRows - 1 - kRows / 2, kCols - 1 - kCols / 2);
  reverse(kernel, n);
}

// The kernel's power-of-two exponent e: S * 2^e < 32767 at the largest e >= 0, or the first
// negative e with S * 2^e <= 32767. An infinite sum (a kernel holding an infinity, or so large
// that its magnitudes overflow) has no such e; the search stops where every finite double would
// have reached zero.
int kernelExponent(double s) {
  if (s == 0) return 0;
  int e = 0;
  if (s <= 32767) {
    while (std::ldexp(s, e + 1) < 32767) ++e;
    return e;
  }
  while (e > -1100 && std::ldexp(s, e) > 32767) --e;
  return e;
}

void filterW(const kvo::Site& site, const short* src, int cols, int rows, const float* kernel,
             int kCols, int kRows, short* dst, int scaleMode, int* scaleFactor) {
  if (!filterChecks(site, src, cols, rows, kernel, kCols, kRows, dst)) return;
  if (!kvo::Checks(site).require(!(scaleMode == KVO_AUTO_SCALE && scaleFactor == nullptr),
                                 "Null scale factor pointer")) {
    return;
  }
  const std::size_t nk = std::size_t(kCols) * kRows;
  double sum = 0;
  for (std::size_t i = 0; i < nk; ++i) sum += std::fabs(double(kernel[i]));
  const int e = kernelExponent(sum);
  const std::size_t pw = std::size_t(cols) + kCols - 1, ph = std::size_t(rows) + kRows - 1;
  const std::size_t n = std::size_t(cols) * rows;
  // One block: the zero-bordered input, the quantised reversed kernel, a row of 32-bit sums and
  // the 64-bit values handed to the scaling.
  const std::uint64_t bytes = 2 * (pw * ph + nk) + 4 * std::uint64_t(cols) + 8 * n + 16;
  void* block = bytes <= 0x7fffffff ? kvoMalloc(static_cast<int>(bytes)) : nullptr;
  if (block == nullptr) {
    site.report(KVO_StatusOutOfMemory, "Allocation failure");
    return;
  }
  auto* wide = static_cast<std::int64_t*>(block);
  auto* acc = reinterpret_cast<std::int32_t*>(wide + n);
  auto* field = reinterpret_cast<short*>(acc + cols);
  short* taps = field + pw * ph;
  for (std::size_t i = 0; i < nk; ++i) {
    const double v = std::ldexp(double(kernel[nk - 1 - i]), e);
    const double r = v < 0 ? v - 0.5 : v + 0.5;
    // NaN and values past 32 bits have no integer; they are taken as 0 and the nearest bound.
    const std::int32_t q = !(r == r)            ? 0
                           : r >= 2147483647.0  ? INT32_MAX
                           : r <= -2147483648.0 ? INT32_MIN
                                                : static_cast<std::int32_t>(r);
    taps[i] = static_cast<short>(q);
  }
  const int top = kRows - 1 - kRows / 2, left = kCols - 1 - kCols / 2;
  std::memset(field, 0, sizeof(short) * pw * ph);
  for (int r = 0; r < rows; ++r) {
    std::memcpy(field + (std::size_t(r) + top) * pw + left, src + std::size_t(r) * cols,
                sizeof(short) * std::size_t(cols));
  }
  for (int r = 0; r < rows; ++r) {
    std::memset(acc, 0, sizeof(std::int32_t) * std::size_t(cols));
    for (int i = 0; i < kRows; ++i) {
      const short* line = field + (std::size_t(r) + i) * pw;
      for (int j = 0; j < kCols; ++j) {
        if (const short tap = taps[std::size_t(i) * kCols + j]) {
          kvo::kern::wideMac(acc, line + j, cols, tap);
        }
      }
    }
    // Scaled back by 2^-e (right shifts round toward minus infinity). Left shifts beyond 32
    // change no 16-bit result any more, so they stop there.
    std::int64_t* out = wide + std::size_t(r) * cols;
    // Right shifts of 32-bit sums past 63 give what 63 gives (0 or -1).
    const int up = -e < 32 ? -e : 32;
    const int down = e < 63 ? e : 63;
    for (int c = 0; c < cols; ++c) {
      out[c] =
          e >= 0 ? std::int64_t{acc[c]} >> down : std::int64_t{acc[c]} * (std::int64_t{1} << up);
    }
  }
  kvo::kvoScaleLongsToShorts(wide, dst, static_cast<int>(n), scaleMode, scaleFactor);
  kvoFree(block);
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosFilter2D(const float* src, int cols, int rows, float* kernel, int kCols,
                                   int kRows, float* dst) {
  filter(KVO_SITE, src, cols, rows, kernel, kCols, kRows, dst);
}
KVO_API void KVO_CALL kvodFilter2D(const double* src, int cols, int rows, double* kernel, int kCols,
                                   int kRows, double* dst) {
  filter(KVO_SITE, src, cols, rows, kernel, kCols, kRows, dst);
}
KVO_API void KVO_CALL kvowFilter2D(const short* src, int cols, int rows, float* kernel, int kCols,
                                   int kRows, short* dst, int scaleMode, int* scaleFactor) {
  filterW(KVO_SITE, src, cols, rows, kernel, kCols, kRows, dst, scaleMode, scaleFactor);
}

}  // extern "C"
