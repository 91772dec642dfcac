"""Complex and real FFTs of the shared library against numpy.fft, an independent reference.

Usage: fft_test.py path/to/libkvom6.so
"""
import ctypes

import numpy as np

import kvoref
from kvoref import I, P, check, finish, lib, note, ptr

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

# ---- every order up to 2^16 (forward also 2^18 and 2^20), both directions, unscaled inverse, the
# bit orders, the not-in-place and the separate-array forms; the real transforms in every packed
# format, also with the inverse kernel on real input and the forward one on spectra ----
NO_SCALE, NO_BITREV, IN_BITREV, OUT_BITREV = 16, 32, 64, 128


def bitrev(order):
    return np.array([int(format(i, f"0{order}b")[::-1], 2) for i in range(1 << order)] if order
                    else [0])


def cfn(code, name, nargs):
    return kvoref.fn(f"kvo{code}{name}", None, *([P] * nargs + [I, I]))


for order in list(range(17)) + [18, 20]:
    n, br = 1 << order, bitrev(order)
    tol = {"c": 2e-7 * max(order, 1), "z": 5e-16 * max(order, 1)}
    x = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
    for code, ctype, rtype in (("c", np.complex64, np.float32), ("z", np.complex128, np.float64)):
        for flags in ((FORW,) if order > 16 else (FORW, INV, INV | NO_SCALE, FORW | NO_BITREV,
                                                  FORW | IN_BITREV, INV | OUT_BITREV)):
            want = np.fft.fft(x) if flags & FORW else np.fft.ifft(x) * (n if flags & NO_SCALE else 1)
            src = (x[br] if flags & IN_BITREV else x).astype(ctype)
            want = want[br] if flags & OUT_BITREV else want
            buf, out = src.copy(), np.zeros(n, ctype)
            cfn(code, "Fft", 1)(ptr(buf), order, flags)
            close(f"kvo{code}Fft flags {flags} N={n}", buf, want, tol[code], max(order, 1))
            cfn(code, "FftNip", 2)(ptr(src), ptr(out), order, flags)
            check(f"kvo{code}FftNip flags {flags} N={n}", np.array_equal(out, buf))
            re, im = src.real.astype(rtype), src.imag.astype(rtype)
            re2, im2 = np.zeros(n, rtype), np.zeros(n, rtype)
            cfn(code, "rFftNip", 4)(ptr(re), ptr(im), ptr(re2), ptr(im2), order, flags)
            cfn(code, "rFft", 2)(ptr(re), ptr(im), order, flags)
            # Separate arrays may take another kernel than interleaved data (the smallest
            # sizes have straight-line kernels of their own), so only within rounding of it.
            check(f"kvo{code}rFft flags {flags} N={n}", np.array_equal(re, re2) and
                  np.array_equal(im, im2))
            close(f"kvo{code}rFft values flags {flags} N={n}", re + 1j * im, want, tol[code],
                  max(order, 1))
    if order == 0 or order > 16:
        continue
    r = rng.uniform(-1, 1, n)
    for code, dtype, ctype, key in (("s", np.float32, np.complex64, "c"),
                                    ("d", np.float64, np.complex128, "z")):
        for flags in (FORW, INV, INV | NO_SCALE):
            half = np.fft.fft(r)[: n // 2 + 1] if flags & FORW else np.fft.ifft(r)[: n // 2 + 1]
            half = half * (n if flags & NO_SCALE else 1)
            ccs = np.column_stack((half.real, half.imag)).ravel()
            layouts = {0: ccs, OUT_PACK: np.concatenate((ccs[:1], ccs[2:n], ccs[n:n + 1])),
                       OUT_PERM: np.concatenate((ccs[:1], ccs[n:n + 1], ccs[2:n]))}
            for fmt, want in layouts.items():
                buf, out = np.zeros(n + 2, dtype), np.zeros(len(want), dtype)
                buf[:n] = r
                cfn(code, "RealFftl" if fmt else "RealFft", 1)(ptr(buf), order, flags | fmt)
                cfn(code, "RealFftlNip" if fmt else "RealFftNip", 2)(ptr(r.astype(dtype)), ptr(out),
                                                                    order, flags | fmt)
                close(f"kvo{code}RealFft format {fmt} flags {flags} N={n}", buf[:len(want)], want,
                      tol[key], order)
                check(f"kvo{code}RealFftNip format {fmt} flags {flags} N={n}",
                      np.array_equal(out, buf[:len(want)]))
            # Spectrum to signal: the half spectrum of r, transformed with the flags' kernel.
            spectrum = np.fft.rfft(r)
            full = np.concatenate((spectrum, np.conj(spectrum[1:-1][::-1])))
            want = (np.fft.fft(full) if flags & FORW else np.fft.ifft(full) *
                    (n if flags & NO_SCALE else 1)).real
            ccs = np.column_stack((spectrum.real, spectrum.imag)).ravel()
            for fmt, packed in ((0, ccs), (IN_PACK, np.concatenate((ccs[:1], ccs[2:n], ccs[n:n + 1]))),
                                (IN_PERM, np.concatenate((ccs[:1], ccs[n:n + 1], ccs[2:n])))):
                buf, out = np.zeros(n + 2, dtype), np.zeros(n, dtype)
                buf[:len(packed)] = packed
                src = buf.copy()
                cfn(code, "CcsFftl" if fmt else "CcsFft", 1)(ptr(buf), order, flags | fmt)
                cfn(code, "CcsFftlNip" if fmt else "CcsFftNip", 2)(ptr(src), ptr(out), order,
                                                                  flags | fmt)
                close(f"kvo{code}CcsFft format {fmt} flags {flags} N={n}", buf[:n], want, tol[key],
                      order)
                check(f"kvo{code}CcsFftNip format {fmt} flags {flags} N={n}",
                      np.array_equal(out, buf[:n]))

finish()
