// Full two-dimensional convolution (module kvocnv2d): direct sums, the one-dimensional convolution
// for single rows or columns, overlap-add tiles or one whole-size transform.
//
// The transform methods keep the tile sizes and choice rules of the Hartley-transform design,
// but run on real two-dimensional FFTs (conv::TileTransform): the products of real spectra are
// the same convolution.
#include <cstdint>
#include <cstring>

#include "adaptive/conv2d.h"
#include "adaptive/kvowconv.h"
#include "frame/check.h"
#include "kernels/conv/slide.h"
#include "kernels/vector/scale.h"
#include "kvo.h"

namespace {

constexpr const char* kModule = "kvocnv2d";
constexpr const char* kNoMemory = "\nMemory allocation problem\n";

namespace conv = kvo::conv;

bool convChecks(const kvo::Site& site, const void* x, int xCols, int xRows, const void* h,
                int hCols, int hRows, const void* y) {
  kvo::Checks c(site);
  c.require(x != nullptr && h != nullptr && y != nullptr, "\nNull pointer to data buffer\n")
      .require(xRows >= 1 && xCols >= 1, "\nBad value of data buffer size\n")
      .require(hRows >= 1 && hCols >= 1, "\nBad value of data buffer size\n");
  return c.ok();
}

int pow2AtLeast(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}
int twicePow2(int n) { return n < 2 ? 2 : 2 * pow2AtLeast(n); }

struct Matrix {
  int cols, rows;
};

// The direct sum: h reversed into a copy, then sliding products over the zero-bordered x.
template <class R>
void direct(const R* x, Matrix xm, const R* h, Matrix hm, R* y) {
  const std::size_t nh = std::size_t(hm.cols) * hm.rows;
  conv::Buffer<R> rev(nh);
  const int oc = xm.cols + hm.cols - 1, orows = xm.rows + hm.rows - 1;
  if (!rev) {
    conv::direct2dScalar(x, xm.cols, xm.rows, h, hm.cols, hm.rows, y, oc, orows, hm.rows - 1,
                         hm.cols - 1, true);
    return;
  }
  for (std::size_t i = 0; i < nh; ++i) rev[i] = h[nh - 1 - i];
  conv::direct2d(x, xm.cols, xm.rows, static_cast<const R*>(rev.get()), hm.cols, hm.rows, y, oc,
                 orows, hm.rows - 1, hm.cols - 1);
}

// Work arrays of the transform methods, from the library allocator.
template <class R>
struct Work {
  using C = conv::ComplexOf<R>;
  C* a = nullptr;
  C* b = nullptr;
  R* field = nullptr;
  bool get(std::size_t bins, std::size_t reals) {
    a = static_cast<C*>(kvoMalloc(static_cast<int>(sizeof(C) * bins)));
    if (a) b = static_cast<C*>(kvoMalloc(static_cast<int>(sizeof(C) * bins)));
    if (b) field = static_cast<R*>(kvoMalloc(static_cast<int>(sizeof(R) * reals)));
    return field != nullptr;
  }
  ~Work() {
    kvoFree(a);
    kvoFree(b);
    kvoFree(field);
  }
};

// Tiles of `big` (tr x tc of a Tr x Tc transform, the last ones shorter) convolved with `small`
// and added into y. One tile covering all of `big` is the whole-size method. Returns false when
// the tables are missing (the caller sums directly).
template <class R>
bool tiles(const kvo::Site& site, const R* big, Matrix bm, const R* small, Matrix sm, R* y,
           int tRows, int tCols, int tileRows, int tileCols) {
  conv::TileTransform<R> t;
  if (!t.plan(conv::ceilLog2(std::uint64_t(tRows)), conv::ceilLog2(std::uint64_t(tCols)))) {
    return false;
  }
  const std::size_t pr = t.rows(), pc = t.cols();
  Work<R> w;
  if (!w.get(t.spectrumSize(), pr * pc)) {
    site.report(KVO_StatusOutOfMemory, kNoMemory);
    return true;
  }
  conv::loadTile(small, sm.cols, sm.rows, 0, 0, sm.rows, sm.cols, w.field, pc, pr);
  t.forward(w.field, w.b, std::size_t(sm.rows), std::size_t(sm.cols));
  conv::scaleBy(&w.b->re, 2 * t.spectrumSize(), static_cast<R>(t.gain()));
  const int yc = bm.cols + sm.cols - 1, yr = bm.rows + sm.rows - 1;
  std::memset(y, 0, sizeof(R) * std::size_t(yc) * yr);
  for (int r0 = 0; r0 < bm.rows; r0 += tileRows) {
    for (int c0 = 0; c0 < bm.cols; c0 += tileCols) {
      const int nr = bm.rows - r0 < tileRows ? bm.rows - r0 : tileRows;
      const int nc = bm.cols - c0 < tileCols ? bm.cols - c0 : tileCols;
      conv::loadTile(big, bm.cols, bm.rows, r0, c0, nr, nc, w.field, pc, pr);
      t.forward(w.field, w.a, std::size_t(nr), std::size_t(nc));
      t.product(w.a, w.b, w.field, std::size_t(nr + sm.rows - 1));
      for (int i = 0; i < nr + sm.rows - 1; ++i) {
        R* out = y + std::size_t(r0 + i) * yc + c0;
        const R* in = w.field + std::size_t(i) * pc;
        const int n = nc + sm.cols - 1;
        kvo::kern::binary<kvo::kern::Add>(out, in, out, n);
      }
    }
  }
  return true;
}

// The overlap-add tile size from Q(n) of the two operands' sides.
template <class R>
bool overlap(const kvo::Site& site, const R* x, Matrix xm, const R* h, Matrix hm, R* y) {
  const bool xBig = std::int64_t{xm.cols} * xm.rows >= std::int64_t{hm.cols} * hm.rows;
  const R* a = xBig ? x : h;
  const R* b = xBig ? h : x;
  const Matrix am = xBig ? xm : hm, bm = xBig ? hm : xm;
  const int qar = twicePow2(am.rows), qac = twicePow2(am.cols);
  const int qbr = twicePow2(bm.rows), qbc = twicePow2(bm.cols);
  const int qa = qar / qbr, qc = qac / qbc;
  int tr, tc;
  if (qa > 1 && qc > 1) {
    tr = qbr;
    tc = qbc;
  } else if (qa > qc || (qa == qc && qbr > qbc)) {
    tr = qbr;
    tc = qbc > qac ? qbc : qac;
  } else if (qbr > qar) {
    tr = qbr;
    tc = qbc;
  } else {
    tr = qar;
    tc = qbc;
  }
  return tiles(site, a, am, b, bm, y, tr, tc, tr / 2, tc / 2);
}

template <class R>
bool whole(const kvo::Site& site, const R* x, Matrix xm, const R* h, Matrix hm, R* y) {
  const int rm = xm.rows > hm.rows ? xm.rows : hm.rows, cm = xm.cols > hm.cols ? xm.cols : hm.cols;
  const int rt = pow2AtLeast(2 * rm), ct = pow2AtLeast(2 * cm);
  return tiles(site, x, xm, h, hm, y, rt < 2 ? 2 : rt, ct < 2 ? 2 : ct, xm.rows, xm.cols);
}

template <class R>
using Conv1d = int(KVO_CALL*)(const R*, int, const R*, int, R*);

template <class R>
void conv2(const kvo::Site& site, const char* hftName, const char* overlapName, Conv1d<R> conv1d,
           const R* x, int xCols, int xRows, const R* h, int hCols, int hRows, R* y) {
  if (!convChecks(site, x, xCols, xRows, h, hCols, hRows, y)) return;
  const Matrix xm{xCols, xRows}, hm{hCols, hRows};
  const int rm = xRows > hRows ? xRows : hRows, cm = xCols > hCols ? xCols : hCols;
  const int dr = xRows - hRows, dc = xCols - hCols;
  if ((rm < 17 && cm < 17) || (xRows < 8 && xCols < 8) || (hRows < 8 && hCols < 8)) {
    direct(x, xm, h, hm, y);
    return;
  }
  if ((xRows == 1 && hRows == 1) || (xCols == 1 && hCols == 1)) {
    conv1d(x, xRows > xCols ? xRows : xCols, h, hRows > hCols ? hRows : hCols, y);
    return;
  }
  const bool useOverlap =
      !((dr < hRows || dc < 0) && (dr < 0 || dc < hCols) && (2 * xRows > hRows || dc >= 1)) ||
      (dr <= 0 && 2 * xCols <= hCols);
  const bool done = useOverlap ? overlap(kvo::Site{overlapName, kModule, __LINE__}, x, xm, h, hm, y)
                               : whole(kvo::Site{hftName, kModule, __LINE__}, x, xm, h, hm, y);
  if (!done) direct(x, xm, h, hm, y);
}

// 16-bit direct sums: the operand with fewer elements (h on a tie) is walked element by element,
// each nonzero value adding the wrapped products with the other operand's rows, saturating.
void directW(const short* x, Matrix xm, const short* h, Matrix hm, short* y) {
  const bool hOuter = std::int64_t{hm.cols} * hm.rows <= std::int64_t{xm.cols} * xm.rows;
  const short* a = hOuter ? x : h;
  const short* b = hOuter ? h : x;
  const Matrix am = hOuter ? xm : hm, bm = hOuter ? hm : xm;
  const int yc = xm.cols + hm.cols - 1;
  std::memset(y, 0, sizeof(short) * std::size_t(yc) * (xm.rows + hm.rows - 1));
  for (int bi = 0; bi < bm.rows; ++bi) {
    for (int bj = 0; bj < bm.cols; ++bj) {
      const short v = b[std::size_t(bi) * bm.cols + bj];
      if (v == 0) continue;
      for (int ai = 0; ai < am.rows; ++ai) {
        kvo::kern::wrapMacSat(y + std::size_t(ai + bi) * yc + bj, a + std::size_t(ai) * am.cols,
                              am.cols, v);
      }
    }
  }
}

}  // namespace

extern "C" {

KVO_API void KVO_CALL kvosConv2D(const float* x, int xCols, int xRows, const float* h, int hCols,
                                 int hRows, float* y) {
  conv2<float>(KVO_SITE, "ownsHftConv2d", "ownsOverlapConv2d", kvosConv, x, xCols, xRows, h, hCols,
               hRows, y);
}
KVO_API void KVO_CALL kvodConv2D(const double* x, int xCols, int xRows, const double* h, int hCols,
                                 int hRows, double* y) {
  conv2<double>(KVO_SITE, "owndHftConv2d", "owndOverlapConv2d", kvodConv, x, xCols, xRows, h, hCols,
                hRows, y);
}

KVO_API void KVO_CALL kvowConv2D(const short* x, int xCols, int xRows, const short* h, int hCols,
                                 int hRows, short* y, int scaleMode, int* scaleFactor) {
  const kvo::Site site = KVO_SITE;
  if (!convChecks(site, x, xCols, xRows, h, hCols, hRows, y)) return;
  const std::size_t nx = std::size_t(xCols) * xRows, nh = std::size_t(hCols) * hRows;
  const std::size_t ny = std::size_t(xCols + hCols - 1) * (xRows + hRows - 1);
  if (xCols < 8 || xRows < 8 || hCols < 8 || hRows < 8) {
    directW(x, Matrix{xCols, xRows}, h, Matrix{hCols, hRows}, y);
    kvo::conv::fixedShift(y, ny, scaleMode, scaleFactor);
    return;
  }
  auto get = [](std::size_t n) {
    return n <= 0x1fffffff ? static_cast<float*>(kvoMalloc(static_cast<int>(4 * n))) : nullptr;
  };
  float* xf = get(nx);
  float* hf = xf ? get(nh) : nullptr;
  float* yf = hf ? get(ny) : nullptr;
  if (yf == nullptr) {
    kvoFree(xf);
    kvoFree(hf);
    site.report(KVO_StatusOutOfMemory, kNoMemory);
    return;
  }
  for (std::size_t i = 0; i < nx; ++i) xf[i] = x[i];
  for (std::size_t i = 0; i < nh; ++i) hf[i] = h[i];
  kvosConv2D(xf, xCols, xRows, hf, hCols, hRows, yf);
  kvo::kvoScaleFloatsToShorts(yf, y, static_cast<int>(ny), scaleMode, scaleFactor);
  kvoFree(xf);
  kvoFree(hf);
  kvoFree(yf);
}

}  // extern "C"
