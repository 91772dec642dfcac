"""Complex and real FFTs of the shared library against numpy.fft, an independent reference.

Usage: fft_test.py path/to/libkvom6.so
"""
import ctypes

import numpy as np

from kvoref import check, finish, lib, note, ptr

FORW, INV = 1, 2
OUT_PACK, OUT_PERM, IN_PACK, IN_PERM = 256, 512, 1024, 4096


def close(name, got, want, tol, order):
    """Relative RMS error; the report keeps the largest per precision, divided by log2 N."""
    err = np.sqrt(np.sum(np.abs(got - want) ** 2) / np.sum(np.abs(want) ** 2))
    note(("double" if np.asarray(got).dtype in (np.float64, np.complex128) else "float") +
         " / log2 N", err / order)
    check(name, err <= tol, f"relative RMS error {err:.3g} > {tol:.3g}")


for fn in ("kvocFft", "kvozFft", "kvosRealFftl", "kvodRealFftl", "kvosRealFft", "kvosCcsFftl",
           "kvodCcsFft"):
    getattr(lib, fn).argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    getattr(lib, fn).restype = None

rng = np.random.default_rng(2024)
for order in (3, 6, 10, 13, 16):
    n = 1 << order
    tol = {np.float32: 2e-7 * order, np.float64: 5e-16 * order}
    x = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
    want = np.fft.fft(x)
    for fn, dtype, ctype in (("kvocFft", np.float32, np.complex64),
                             ("kvozFft", np.float64, np.complex128)):
        buf = x.astype(ctype)
        getattr(lib, fn)(ptr(buf), order, FORW)
        close(f"{fn} forward N={n}", buf, want, tol[dtype], order)
        getattr(lib, fn)(ptr(buf), order, INV)
        close(f"{fn} round trip N={n}", buf, x, tol[dtype], order)

    r = rng.uniform(-1, 1, n)
    spectrum = np.fft.rfft(r)
    pack = np.concatenate(([spectrum[0].real], np.column_stack((spectrum[1:-1].real, spectrum[1:-1].imag)).ravel(),
                           [spectrum[-1].real]))
    perm = np.concatenate(([spectrum[0].real, spectrum[-1].real],
                           np.column_stack((spectrum[1:-1].real, spectrum[1:-1].imag)).ravel()))
    for fn, dtype in (("kvosRealFftl", np.float32), ("kvodRealFftl", np.float64)):
        for flag, want_packed in ((OUT_PACK, pack), (OUT_PERM, perm)):
            buf = r.astype(dtype)
            getattr(lib, fn)(ptr(buf), order, FORW | flag)
            close(f"{fn} flags {flag} N={n}", buf, want_packed, tol[dtype], order)
    ccs = np.zeros(n + 2, np.float32)
    ccs[:n] = r
    lib.kvosRealFft(ptr(ccs), order, FORW)
    close(f"kvosRealFft CCS N={n}", ccs[0::2] + 1j * ccs[1::2], spectrum, tol[np.float32], order)
    # Back to the signal: numpy's inverse of the spectrum as reference.
    buf = pack.astype(np.float32)
    lib.kvosCcsFftl(ptr(buf), order, INV | IN_PACK)
    close(f"kvosCcsFftl RCPack N={n}", buf, np.fft.irfft(spectrum, n), tol[np.float32], order)
    ccs = np.zeros(n + 2)
    ccs[0::2], ccs[1::2] = spectrum.real, spectrum.imag
    lib.kvodCcsFft(ptr(ccs), order, INV)
    close(f"kvodCcsFft N={n}", ccs[:n], np.fft.irfft(spectrum, n), tol[np.float64], order)

finish()
