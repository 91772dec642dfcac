"""Wavelet filters and transforms of the shared library against PyWavelets.

Usage: wavelet_test.py path/to/libkvom6.so

Filters: the library's decomposition low-pass f0 is a convolution filter in the orientation of the
classical tables, so for the orthogonal families (f0, f1, f2, f3) = (rec_lo, rec_hi, 2 dec_lo,
2 dec_hi) / sqrt(2) of pywt's wavelet (its decomposition low-pass sums to 1); the biorthogonal
pairs are pywt's bior/rbio filters without their zero padding, scaled the same way. Offsets: the
orthogonal filters align at the largest tap of the row after the first. Transforms: every octave
against pywt's 'periodization' DWT with the library's own filters, the signal rotated by the
difference of the alignments; perfect reconstruction for every family, type and level.
"""
import ctypes

import numpy as np
import pywt

from kvoref import check, finish, lib, note

HAAR, DAUBLET, SYMMLET, COIFLET, ORTHO24, BIORTH, DUAL, LIN, QUAD, BY_FILTER = range(1, 11)


class WtState(ctypes.Structure):
    _fields_ = [("core", ctypes.c_int), ("wtType", ctypes.c_int), ("category", ctypes.c_int),
                ("par1", ctypes.c_int), ("par2", ctypes.c_int), ("dataOrder", ctypes.c_int),
                ("level", ctypes.c_int), ("len", ctypes.c_int * 4), ("ofs", ctypes.c_int * 4),
                ("tap_filt", ctypes.c_void_p * 4), ("src_pad", ctypes.c_void_p)]


for p in "sdw":
    getattr(lib, f"kvo{p}WtInit").argtypes = [ctypes.c_int] * 4 + [ctypes.POINTER(WtState),
                                                                   ctypes.c_int]
    for op in ("Decompose", "Reconstruct"):
        getattr(lib, f"kvo{p}Wt{op}").argtypes = [ctypes.POINTER(WtState), ctypes.c_void_p,
                                                   ctypes.c_void_p]
lib.kvoWtFree.argtypes = [ctypes.POINTER(WtState)]

def close(name, got, want, tol, kind):
    err = float(np.max(np.abs(np.asarray(got) - np.asarray(want))))
    scale = max(1.0, float(np.max(np.abs(want))))
    note(kind, err / scale)
    check(name, err <= tol * scale, f"max error {err:.3g} > {tol * scale:.3g}")


def strip(f):
    f = np.asarray(f)
    nz = np.nonzero(f)[0]
    return f[nz[0]:nz[-1] + 1]


ORTHO24_TAPS = [-0.00006290611819074752, 0.0003436319048210292, -0.0004539566196372193] + [
    float(v) for v in """-.000944897136 .002843834547 .000708137504 -.008839103409 .003153847056
    .019687215010 -.014853448005 -.035470398607 .038742619293 .055892523691 -.077709750902
    -.083928884366 .131971661417 .135084227129 -.194450471766 -.263494802488 .201612161775
    .635601059872 .572797793211 .250184129505 .045799334111""".split()]


def families():
    """(label, type, par1, par2, expected filters, expected offsets or None)."""
    def ortho(row):
        h = np.asarray(row, float) / np.sqrt(np.sum(np.square(row)))
        f0 = h / h.sum()
        f2 = h[::-1] * h.sum()
        f1 = (h[::-1] * (-1.0) ** np.arange(len(h))) / h.sum()
        f3 = f1[::-1] * h.sum() ** 2
        m = 1 + int(np.argmax(np.abs(row[1:])))
        return [f0, f1, f2, f3], [m, m, len(h) - 1 - m, len(h) - 1 - m]

    def bank(name):
        w = pywt.Wavelet(name)
        f = [strip(g) for g in w.filter_bank]
        s = f[0].sum()
        return [f[0] / s, f[1] / s, f[2] * s, f[3] * s], None

    yield ("Haar", HAAR, 0, 0, *ortho(pywt.Wavelet("db1").rec_lo))
    for p in range(1, 11):
        yield (f"Daublet {p}", DAUBLET, p, 0, *ortho(pywt.Wavelet(f"db{p}").rec_lo))
    for p in range(1, 8):
        yield (f"Symmlet {p}", SYMMLET, p, 0, *ortho(pywt.Wavelet(f"sym{p + 3}").rec_lo))
    for p in range(1, 6):
        yield (f"Coiflet {p}", COIFLET, p, 0, *ortho(pywt.Wavelet(f"coif{p}").rec_lo))
    yield ("Ortho24", ORTHO24, 0, 0, *ortho(ORTHO24_TAPS))
    for p1, p2s in ((1, (1, 3, 5)), (2, (2, 4, 6, 8)), (3, (1, 3, 5, 7, 9))):
        for p2 in p2s:
            yield (f"Biorth {p1}.{p2}", BIORTH, p1, p2, *bank(f"bior{p1}.{p2}"))
            yield (f"BiorthDual {p1}.{p2}", DUAL, p1, p2, *bank(f"rbio{p1}.{p2}"))
    yield ("BiorthLin", LIN, 0, 0, *bank("bior2.2"))
    yield ("BiorthQuad", QUAD, 0, 0, *bank("bior3.3"))


def filters_of(state, ctype):
    return [np.ctypeslib.as_array(ctypes.cast(state.tap_filt[i], ctypes.POINTER(ctype)),
                                  (state.len[i],)).copy() for i in range(4)]


def pywt_octave(x, f, ofs):
    """One analysis octave of the library's scheme through pywt's periodization DWT."""
    width = max(len(g) for g in f)
    width += width % 2
    bank = [np.pad(g, (0, width - len(g))) for g in f]
    w = pywt.Wavelet("library", filter_bank=bank)
    n = len(x)
    # pywt's alignment c, a[k] = sum_j g[j] x[(2k + c - j) mod n], depends on the filter length
    # only: found with a unit impulse through a filter of distinct taps.
    ramp = np.arange(1.0, width + 1)
    probe = np.zeros(n)
    probe[0] = 1
    a, _ = pywt.dwt(probe, pywt.Wavelet("probe", filter_bank=[ramp] * 4), "periodization")
    c = next(cand for cand in range(width + n) if np.array_equal(a, [
        sum(ramp[j] for j in range(width) if (2 * k + cand - j) % n == 0) for k in range(n // 2)]))
    approx, _ = pywt.dwt(np.roll(x, c - ofs[0]), w, "periodization")
    _, detail = pywt.dwt(np.roll(x, c - ofs[1]), w, "periodization")
    return approx, detail


rng = np.random.default_rng(7)
for label, wt_type, par1, par2, want_filters, want_ofs in families():
    state = WtState()
    data_order = 7
    lib.kvodWtInit(par1, par2, data_order, 3, ctypes.byref(state), wt_type)
    check(f"{label} init", state.core == 2, f"core {state.core}")
    if state.core != 2:
        continue
    got = filters_of(state, ctypes.c_double)
    for i in range(4):
        ok = len(got[i]) == len(want_filters[i])
        check(f"{label} filter {i} length", ok, f"{len(got[i])} != {len(want_filters[i])}")
        if ok:
            close(f"{label} filter {i}", got[i], want_filters[i], 1e-10, "filter taps")
    ofs = list(state.ofs)
    if want_ofs is not None:
        check(f"{label} offsets", ofs == want_ofs, f"{ofs} != {want_ofs}")

    # Every octave against pywt, then perfect reconstruction in double precision.
    n = 1 << data_order
    x = rng.uniform(-1, 1, n)
    out = np.zeros(n)
    lib.kvodWtDecompose(ctypes.byref(state), x.ctypes.data, out.ctypes.data)
    approx, details = x, []
    for octave in range(3):
        approx, d = pywt_octave(approx, got, ofs)
        details.insert(0, d)
    close(f"{label} decompose", out, np.concatenate([approx] + details), 1e-13, "double decompose")
    back = np.zeros(n)
    lib.kvodWtReconstruct(ctypes.byref(state), out.ctypes.data, back.ctypes.data)
    # The published 12-decimal and least-asymmetric tables are orthogonal to about 1e-12.
    close(f"{label} reconstruct", back, x, 1e-11, "double reconstruction")
    lib.kvoWtFree(ctypes.byref(state))

    # Perfect reconstruction for every level in float and 16-bit data.
    data_order = 6
    n = 1 << data_order
    for level in range(data_order):
        for prefix, dtype, tol in (("s", np.float32, 2e-5), ("w", np.int16, None)):
            st = WtState()
            getattr(lib, f"kvo{prefix}WtInit")(par1, par2, data_order, level, ctypes.byref(st),
                                               wt_type)
            if dtype is np.int16:
                # Small samples, so that no coefficient is clipped; the rounding of the
                # coefficients to integers costs a few units.
                x = rng.integers(-1000, 1000, n).astype(np.int16)
            else:
                x = rng.uniform(-1, 1, n).astype(dtype)
            coef = np.zeros(n, dtype)
            back = np.zeros(n, dtype)
            getattr(lib, f"kvo{prefix}WtDecompose")(ctypes.byref(st), x.ctypes.data,
                                                     coef.ctypes.data)
            getattr(lib, f"kvo{prefix}WtReconstruct")(ctypes.byref(st), coef.ctypes.data,
                                                       back.ctypes.data)
            if dtype is np.int16:
                gain = max(float(np.sum(np.abs(g))) for g in got[2:]) ** 2
                err = int(np.max(np.abs(back.astype(int) - x.astype(int))))
                check(f"{label} 16-bit level {level}", err <= 2 + level * gain,
                      f"error {err}")
            else:
                close(f"{label} float level {level}", back, x, tol, "float reconstruction")
            lib.kvoWtFree(ctypes.byref(st))

finish()
