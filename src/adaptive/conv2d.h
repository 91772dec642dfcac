// Two-dimensional building blocks of Conv2D and Filter2D: the direct sum over a zero-bordered
// copy of the input, and a two-dimensional real FFT (real row transforms into CCS form, complex
// column transforms) for products of tile spectra.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "adaptive/convcore.h"
#include "kernels/transform/fft2r.h"
#include "kernels/transform/fftcols.h"
#include "kvo.h"

namespace kvo::conv {

// Output (r, c) = sum over i < kRows, j < kCols of P[r + i][c + j] * coef[i][j], where P is the
// input placed at (top, left) in a zero field of outRows + kRows - 1 rows and outCols + kCols - 1
// columns. Sums in Acc (double for float data: every product and sum in extended precision).
// direct2dScalar needs no work memory; with `flip` it reads coef end to end.
template <class T>
void direct2dScalar(const T* src, int cols, int rows, const T* coef, int kCols, int kRows, T* dst,
                    int outCols, int outRows, int top, int left, bool flip = false) {
  const int last = kCols * kRows - 1;
  for (int r = 0; r < outRows; ++r) {
    for (int c = 0; c < outCols; ++c) {
      double s = 0;
      for (int i = 0; i < kRows; ++i) {
        const int sr = r + i - top;
        if (sr < 0 || sr >= rows) continue;
        for (int j = 0; j < kCols; ++j) {
          const int sc = c + j - left;
          if (sc < 0 || sc >= cols) continue;
          const int k = flip ? last - (i * kCols + j) : i * kCols + j;
          s += double(src[std::size_t(sr) * cols + sc]) * double(coef[k]);
        }
      }
      dst[std::size_t(r) * outCols + c] = static_cast<T>(s);
    }
  }
}

template <class T>
void direct2d(const T* src, int cols, int rows, const T* coef, int kCols, int kRows, T* dst,
              int outCols, int outRows, int top, int left) {
  const std::size_t pw = std::size_t(outCols) + kCols - 1, ph = std::size_t(outRows) + kRows - 1;
  Buffer<T> field(pw * ph, true);
  Buffer<double> acc(static_cast<std::size_t>(outCols));
  if (!field || !acc) {
    direct2dScalar(src, cols, rows, coef, kCols, kRows, dst, outCols, outRows, top, left);
    return;
  }
  for (int r = 0; r < rows; ++r) {
    std::memcpy(field.get() + (std::size_t(r) + top) * pw + left, src + std::size_t(r) * cols,
                sizeof(T) * std::size_t(cols));
  }
  for (int r = 0; r < outRows; ++r) {
    for (int i = 0; i < kRows; ++i) {
      kern::slide<T, double>(coef + std::size_t(i) * kCols, kCols,
                             field.get() + (std::size_t(r) + i) * pw, 1, outCols, acc.get(), i > 0);
    }
    T* out = dst + std::size_t(r) * outCols;
    for (int c = 0; c < outCols; ++c) out[c] = static_cast<T>(acc[c]);
  }
}

// A real two-dimensional transform of Pr x Pc values (powers of two, Pc >= 2): the spectrum holds
// Pr rows of Pc / 2 + 1 complex values, its columns in bit-reversed order (products are
// element-wise, so the order never needs undoing). Spectra that fit the cache run their column
// transforms on whole rows at once (kern::fftColumns); larger ones gather groups of columns.
template <class R>
class Fft2d {
 public:
  using C = ComplexOf<R>;

  // False when the tables or the column buffer cannot be had.
  bool plan(int rowOrder, int colOrder) {
    ro_ = rowOrder;
    co_ = colOrder;
    if (!realPlan<C>(colOrder, rowTables_)) return false;
    if (rowOrder > 0 && rows() * spectrumCols() * sizeof(C) <= kRowWiseBytes) {
      // Twiddles exp(-2 pi i j / Pr), j < Pr / 2, for the row-wise column transforms.
      const std::size_t half = rows() / 2;
      rowTw_ = static_cast<R*>(kvoMalloc(static_cast<int>(2 * half * sizeof(R))));
      if (rowTw_ == nullptr) return false;
      for (std::size_t j = 0; j < half; ++j) {
        const double a = -6.283185307179586476925 * double(j) / double(rows());
        rowTw_[2 * j] = static_cast<R>(std::cos(a));
        rowTw_[2 * j + 1] = static_cast<R>(std::sin(a));
      }
      return true;
    }
    colTw_ = rowOrder > 0 ? complexPlan<C>(rowOrder) : nullptr;
    if (rowOrder > 0 && colTw_ == nullptr) return false;
    const std::uint64_t bytes = std::uint64_t{sizeof(C) * kGroup} << rowOrder;
    if (bytes > 0x7fffffff) return false;
    column_ = static_cast<C*>(kvoMalloc(static_cast<int>(bytes)));
    return column_ != nullptr;
  }
  ~Fft2d() {
    kvoFree(column_);
    kvoFree(rowTw_);
  }

  std::size_t rows() const { return std::size_t{1} << ro_; }
  std::size_t cols() const { return std::size_t{1} << co_; }
  std::size_t spectrumCols() const { return cols() / 2 + 1; }
  // Complex values from one spectrum row to the next: row-wise column transforms take rows of
  // whole vectors, the columns past spectrumCols() holding zeros.
  std::size_t spectrumStride() const {
    return rowTw_ != nullptr ? (spectrumCols() + kPad - 1) / kPad * kPad : spectrumCols();
  }
  std::size_t spectrumSize() const { return rows() * spectrumStride(); }

  // Pr x Pc real values (row stride Pc) to the spectrum; rows from `used` on are taken as zeros
  // and not read.
  void forward(const R* src, C* spectrum, std::size_t used = ~std::size_t{0}) const {
    const std::size_t n = used < rows() ? used : rows(), stride = spectrumStride();
    for (std::size_t r = 0; r < n; ++r) {
      C* row = spectrum + r * stride;
      fft::realToSpectrum<C>(src + r * cols(), &row->re, co_, fft::kCcs, false, false, rowTables_);
      std::memset(static_cast<void*>(row + spectrumCols()), 0,
                  sizeof(C) * (stride - spectrumCols()));
    }
    std::memset(static_cast<void*>(spectrum + n * stride), 0, sizeof(C) * (rows() - n) * stride);
    columns(spectrum, true, n);
  }
  // The spectrum (destroyed) back to Pr x Pc real values, unscaled; only the first `wanted` rows
  // are written.
  void inverse(C* spectrum, R* dst, std::size_t wanted = ~std::size_t{0}) const {
    columns(spectrum, false, rows());
    const std::size_t n = wanted < rows() ? wanted : rows();
    for (std::size_t r = 0; r < n; ++r) {
      fft::spectrumToReal<C>(&spectrum[r * spectrumStride()].re, dst + r * cols(), co_, fft::kCcs,
                             true, false, rowTables_);
    }
  }

 private:
  // Columns in groups of kGroup: each row contributes one run of adjacent values per group, so
  // the gathers and scatters walk whole cache lines.
  static constexpr std::size_t kGroup = 8;
  // Spectra up to this size transform their columns row-wise.
  static constexpr std::size_t kRowWiseBytes = std::size_t{256} << 10;
  // Row length multiple of the row-wise transforms: a vector of the widest level.
  static constexpr std::size_t kPad = 64 / sizeof(C);

  void columns(C* spectrum, bool forwardDir, std::size_t nonzero) const {
    if (ro_ == 0) return;
    const std::size_t sc = spectrumCols(), n = rows();
    if (rowTw_ != nullptr) {
      kern::fftColumns(&spectrum->re, n, spectrumStride(), rowTw_, !forwardDir, nonzero);
      return;
    }
    for (std::size_t c0 = 0; c0 < sc; c0 += kGroup) {
      const std::size_t g = sc - c0 < kGroup ? sc - c0 : kGroup;
      for (std::size_t r = 0; r < n; ++r) {
        const C* in = spectrum + r * sc + c0;
        for (std::size_t j = 0; j < g; ++j) column_[j * n + r] = in[j];
      }
      for (std::size_t j = 0; j < g; ++j) {
        C* col = column_ + j * n;
        if (forwardDir) {
          complexForward<C>(col, col, ro_, colTw_);
        } else {
          complexInverse<C>(col, col, ro_, colTw_);
        }
      }
      for (std::size_t r = 0; r < n; ++r) {
        C* out = spectrum + r * sc + c0;
        for (std::size_t j = 0; j < g; ++j) out[j] = column_[j * n + r];
      }
    }
  }

  int ro_ = 0, co_ = 0;
  fft::RealTables rowTables_{};
  const R* colTw_ = nullptr;
  C* column_ = nullptr;
  R* rowTw_ = nullptr;
};

// The transforms of Conv2D's tiles: tiles that fit the cache on kern::fft2r (every pass on whole
// vectors), larger ones on Fft2d. A spectrum is spectrumSize() complex values.
template <class R>
class TileTransform {
 public:
  using C = ComplexOf<R>;

  // False when the tables cannot be had.
  bool plan(int rowOrder, int colOrder) {
    pr_ = std::size_t{1} << rowOrder;
    pc_ = std::size_t{1} << colOrder;
    if (rowOrder >= 1 && colOrder >= 1 && pr_ * pc_ * sizeof(R) <= kSmallBytes) {
      const std::size_t n = kern::fft2rTableSize(pr_, pc_);
      tables_ = static_cast<R*>(kvoMalloc(static_cast<int>(n * sizeof(R))));
      if (tables_ == nullptr) return false;
      kern::fft2rBuildTables(tables_, pr_, pc_);
      return true;
    }
    return big_.plan(rowOrder, colOrder);
  }
  ~TileTransform() { kvoFree(tables_); }

  std::size_t rows() const { return pr_; }
  std::size_t cols() const { return pc_; }
  std::size_t spectrumSize() const {
    return tables_ != nullptr ? kern::fft2rSpectrumSize(pr_, pc_) / 2 : big_.spectrumSize();
  }
  // The factor that makes product() the convolution when one spectrum is scaled by it.
  double gain() const { return (tables_ != nullptr ? 2.0 : 1.0) / double(pr_ * pc_); }

  // Pr x Pc values (destroyed), zero from row `used` on and from column `usedCols` on, to their
  // spectrum.
  void forward(R* field, C* spectrum, std::size_t used, std::size_t usedCols) const {
    if (tables_ != nullptr) {
      kern::fft2rForward(field, pr_, pc_, used, usedCols, tables_, &spectrum->re);
    } else {
      big_.forward(field, spectrum, used);
    }
  }
  // spectrum (destroyed) times other, back into the first `wanted` rows of field.
  void product(C* spectrum, const C* other, R* field, std::size_t wanted) const {
    if (tables_ != nullptr) {
      kern::fft2rProduct(&spectrum->re, &other->re, pr_, pc_, tables_, field);
    } else {
      kern::binary<kern::Mpy>(spectrum, other, spectrum, static_cast<int>(big_.spectrumSize()));
      big_.inverse(spectrum, field, wanted);
    }
  }

 private:
  static constexpr std::size_t kSmallBytes = std::size_t{256} << 10;
  std::size_t pr_ = 0, pc_ = 0;
  R* tables_ = nullptr;
  Fft2d<R> big_;
};

// Copies the block of `src` (cols x rows) starting at (r0, c0), which may reach outside, into a
// zeroed Pr x Pc field.
template <class R>
void loadTile(const R* src, int cols, int rows, std::int64_t r0, std::int64_t c0, int tileRows,
              int tileCols, R* field, std::size_t pc, std::size_t pr) {
  std::memset(field, 0, sizeof(R) * pc * pr);
  for (int i = 0; i < tileRows; ++i) {
    const std::int64_t sr = r0 + i;
    if (sr < 0 || sr >= rows) continue;
    const std::int64_t from = c0 < 0 ? 0 : c0;
    const std::int64_t to = c0 + tileCols < cols ? c0 + tileCols : cols;
    if (to <= from) continue;
    std::memcpy(field + std::size_t(i) * pc + (from - c0), src + sr * cols + from,
                sizeof(R) * std::size_t(to - from));
  }
}

}  // namespace kvo::conv
