"""DFT, Goertzel and DCT of the shared library against numpy.fft and scipy.fft.

Usage: dft_test.py path/to/libkvom6.so
"""
import ctypes
import threading

import numpy as np
import scipy.fft

from kvoref import CD, CF, check, finish, lib, note, ptr

FORW, INV, NOSCALE = 1, 2, 16
DO_FLOAT_CORE = 16384


def close(name, key, got, want, tol):
    scale = np.sqrt(np.sum(np.abs(want) ** 2)) or 1.0
    err = note(key, np.sqrt(np.sum(np.abs(np.asarray(got) - want) ** 2)) / scale)
    check(name, err <= tol, f"relative RMS error {err:.3g} > {tol:.3g}")


for fn in ("kvocDft", "kvozDft", "kvosDct", "kvodDct", "kvowDct"):
    getattr(lib, fn).argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    getattr(lib, fn).restype = None
lib.kvovDft.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                        ctypes.c_void_p]
lib.kvovDft.restype = None
for fn in ("kvocFreeTwdTbls", "kvozFreeTwdTbls", "kvovFreeTwdTbls"):
    getattr(lib, fn).restype = None


class GS(ctypes.Structure):
    _fields_ = [("freq", ctypes.c_float), ("cosVal", ctypes.c_float), ("sinVal", ctypes.c_float),
                ("twoCos", ctypes.c_float), ("delay2", CF), ("delay1", CF)]


class GSD(ctypes.Structure):
    _fields_ = [("freq", ctypes.c_double), ("cosVal", ctypes.c_double), ("sinVal", ctypes.c_double),
                ("twoCos", ctypes.c_double), ("delay2", CD), ("delay1", CD)]


for code, state, real, arg, res in (("s", GS, ctypes.c_float, ctypes.c_void_p, CF),
                                    ("c", GS, ctypes.c_float, ctypes.c_void_p, CF),
                                    ("d", GSD, ctypes.c_double, ctypes.c_void_p, CD),
                                    ("z", GSD, ctypes.c_double, ctypes.c_void_p, CD)):
    init = getattr(lib, f"kvo{code}GoertzInit")
    init.argtypes = [real, ctypes.POINTER(state)]
    init.restype = ctypes.c_int
    block = getattr(lib, f"kvo{code}bGoertz")
    block.argtypes = [ctypes.POINTER(state), arg, ctypes.c_int]
    block.restype = res

rng = np.random.default_rng(15)

# ---- DFT: every length 1..200, a few primes and large composites, both directions ----
lengths = list(range(1, 201)) + [251, 509, 1009, 1000, 1920, 2310]
for n in lengths:
    x = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
    want = np.fft.fft(x)
    for fn, ctype, tol, key in (("kvocDft", np.complex64, 2e-6, "kvocDft"),
                                ("kvozDft", np.complex128, 1e-13, "kvozDft")):
        src = x.astype(ctype)
        dst = np.zeros(n, ctype)
        getattr(lib, fn)(ptr(src), ptr(dst), n, FORW)
        close(f"{fn} forward N={n}", key, dst, want, tol * max(1, np.log2(n)))
        getattr(lib, fn)(ptr(dst), ptr(dst), n, INV)  # in place
        close(f"{fn} inverse N={n}", key, dst, x, tol * max(1, np.log2(n)))
    src = (x * 1000).astype(np.complex64)
    dst = np.zeros(n, np.complex64)
    lib.kvocDft(ptr(src), ptr(dst), n, INV | NOSCALE)
    close(f"kvocDft inverse unscaled N={n}", "kvocDft", dst, np.fft.ifft(x * 1000) * n,
          2e-6 * max(1, np.log2(n)))
    # The 16-bit float core against the rounded-toward-zero reference with scale factor 4.
    if 1 < n <= 600:
        src = np.empty(2 * n, np.int16)
        src[0::2] = np.round(x.real * 8000)
        src[1::2] = np.round(x.imag * 8000)
        ref = np.fft.fft(src[0::2] + 1j * src[1::2].astype(np.float64)) / 16
        dst = np.zeros(2 * n, np.int16)
        factor = ctypes.c_int(4)
        lib.kvovDft(ptr(src), ptr(dst), n, FORW | DO_FLOAT_CORE, 3, ctypes.byref(factor))
        want16 = np.clip(np.trunc(np.column_stack((ref.real, ref.imag)).ravel()), -32768, 32767)
        err = note("kvovDft float core (LSB)", np.max(np.abs(dst.astype(np.float64) - want16)))
        check(f"kvovDft float core N={n}", err <= 1, f"{err} LSB")
    if n % 16 == 0:
        lib.kvocFreeTwdTbls()
        lib.kvozFreeTwdTbls()
        lib.kvovFreeTwdTbls()
lib.kvocFreeTwdTbls()
lib.kvozFreeTwdTbls()

# ---- 16-bit integer core: Q14 twiddles truncated toward zero (from the long double cosine of
# the double angle), wrapping 32-bit sums, arithmetic shift, truncating division for the scaled
# inverse, then the scale mode; a null factor counts as 0 ----
DO_INT_CORE = 8192


def int_core(x, flags, mode, factor):
    L = len(x)
    angle = np.longdouble(6.283185307179586 / L * np.arange(L))
    a = np.trunc(16384 * np.cos(angle)).astype(np.int64)
    b = np.trunc(16384 * np.sin(angle)).astype(np.int64)
    j = np.outer(np.arange(L), np.arange(L)) % L  # j[n, k]
    s = -b[j] if flags & INV else b[j]
    xr, xi = x[:, 0:1].astype(np.int64), x[:, 1:2].astype(np.int64)
    wrap = lambda v: (v + 2**31) % 2**32 - 2**31
    re, im = wrap(np.sum(xr * a[j] + xi * s, 0)), wrap(np.sum(-xr * s + xi * a[j], 0))
    div = L if flags & INV and not flags & NOSCALE else 1
    val = lambda v, f: np.fix((v >> min(f + 14, 31)) / div).astype(np.int64)
    f = factor if mode >= 2 else 0
    if mode == 4:
        f = 0
        while max(np.abs(val(re, f)).max(), np.abs(val(im, f)).max()) > 32767 or min(
                val(re, f).min(), val(im, f).min()) < -32768:
            f += 1
    out = np.stack((val(re, f), val(im, f)), -1)
    return (np.clip(out, -32768, 32767) if mode in (1, 3) else out).astype(np.int16), f


for L in (2, 3, 5, 16, 17, 100, 128, 160):
    for amplitude in (1000, 32768):
        x = rng.integers(-amplitude, amplitude, (L, 2)).astype(np.int16)
        for flags in (FORW, INV, INV | NOSCALE):
            flags |= DO_INT_CORE if L > 128 else 0
            for mode in range(5):
                for factor in (1, None) if mode in (2, 3) else (0,):
                    want, want_factor = int_core(x, flags, mode, factor or 0)
                    got, f = x.copy(), ctypes.c_int(factor or 0)
                    lib.kvovDft(ptr(got), ptr(got), L, flags, mode,
                                ctypes.byref(f) if factor is not None else None)
                    check(f"kvovDft integer core N={L} flags {flags} mode {mode} factor {factor}",
                          np.array_equal(got, want) and f.value == (factor or want_factor))
# Mode 7 has both the fixed and the auto bit: refused, nothing written.
dst = np.full((16, 2), 0x5A5A, np.int16)
lib.kvoRedirectError(lib.kvoNulDevReport)
lib.kvoSetErrMode(1)
lib.kvovDft(ptr(x), ptr(dst), 16, FORW, 7, ctypes.byref(ctypes.c_int(0)))
check("kvovDft mode 7 writes nothing", np.all(dst == 0x5A5A) and lib.kvoGetErrStatus() == -5)
lib.kvoSetErrStatus(0)
lib.kvoSetErrMode(0)
lib.kvovFreeTwdTbls()

# ---- Goertzel: freq k/N gives bin k of the forward DFT ----
for n, k in ((1, 0), (8, 3), (100, 7), (256, 255), (1000, 123)):
    x = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
    for code, state, data, tol in (("s", GS, x.real.astype(np.float32), 1e-4),
                                   ("c", GS, x.astype(np.complex64), 1e-4),
                                   ("d", GSD, x.real.copy(), 1e-11),
                                   ("z", GSD, x.copy(), 1e-11)):
        st = state()
        getattr(lib, f"kvo{code}GoertzInit")(k / n, ctypes.byref(st))
        r = getattr(lib, f"kvo{code}bGoertz")(ctypes.byref(st), ptr(data), n)
        want = np.fft.fft(data.astype(np.complex128))[k]
        close(f"kvo{code}bGoertz N={n} k={k}", f"kvo{code}bGoertz", [r.re + 1j * r.im], [want],
              tol * max(1, np.sqrt(n)))

# ---- DCT: type II / III orthonormal, powers of two and other lengths ----
dct_lengths = [1, 2, 3, 4, 5, 7, 8, 16, 17, 32, 64, 100, 128, 256, 1000, 1024, 1920, 4096, 65536]
for n in dct_lengths:
    x = rng.uniform(-1, 1, n)
    want = scipy.fft.dct(x, type=2, norm="ortho")
    for fn, dtype, tol in (("kvosDct", np.float32, 1e-7), ("kvodDct", np.float64, 4e-16)):
        src = x.astype(dtype)
        dst = np.zeros(n, dtype)
        getattr(lib, fn)(ptr(src), ptr(dst), n, FORW)
        # Double: the fast recursion's rounding grows like sqrt(N); float results are rounded once.
        bound = tol * (np.sqrt(n) + 2 if dtype == np.float64 else 4)
        close(f"{fn} forward N={n}", fn, dst, want, bound)
        back = np.zeros(n, dtype)
        getattr(lib, fn)(ptr(want.astype(dtype)), ptr(back), n, INV)
        close(f"{fn} inverse N={n}", fn, back, scipy.fft.idct(want, type=2, norm="ortho"), bound)
        getattr(lib, fn)(ptr(dst), ptr(dst), n, INV)  # in place round trip
        close(f"{fn} round trip N={n}", fn, dst, x, bound)
    # 16 bits: within a few LSB of the orthonormal DCT of the 16-bit input.
    xs = np.round(x * 2000).astype(np.int16)
    for flags, ref in ((FORW, scipy.fft.dct(xs.astype(np.float64), type=2, norm="ortho")),
                       (INV, scipy.fft.idct(xs.astype(np.float64), type=2, norm="ortho"))):
        dst = np.zeros(n, np.int16)
        lib.kvowDct(ptr(xs), ptr(dst), n, flags)
        err = note("kvowDct (LSB)", np.max(np.abs(dst - np.clip(ref, -32768, 32767))))
        check(f"kvowDct flags {flags} N={n}", err <= 1.01, f"{err:.3g} LSB")

# ---- 16-bit DCT at full scale: random values, constants, and the sign pattern of every cosine
# of the transform (the inputs with the largest outputs and sums), within about one LSB ----
for n in (1, 2, 3, 4, 8, 16, 32, 64, 128, 12, 100):
    j = np.arange(n)
    signs = np.where(np.cos(np.pi * np.outer(np.arange(n), 2 * j + 1) / (2 * n)) >= 0, 32767, -32768)
    inputs = np.vstack([rng.integers(-a, a, (2, n)) for a in (16384, 32768)] +
                       [np.full((1, n), -32768), np.full((1, n), 32767), signs]).astype(np.int16)
    for xs in inputs:
        for flags, t in ((FORW, scipy.fft.dct), (INV, scipy.fft.idct)):
            dst = xs.copy()
            lib.kvowDct(ptr(dst), ptr(dst), n, flags)
            ref = np.clip(t(xs.astype(np.float64), type=2, norm="ortho"), -32768, 32767)
            err = note("kvowDct full scale (LSB)", np.max(np.abs(dst - ref)))
            check(f"kvowDct full scale flags {flags} N={n}", err <= 1.05, f"{err:.3g} LSB")

# ---- DCT from several threads with different lengths at once ----
def worker(n, seed, out):
    r = np.random.default_rng(seed)
    for _ in range(40):
        x = r.uniform(-1, 1, n)
        dst = np.zeros(n)
        lib.kvodDct(ptr(x), ptr(dst), n, FORW)
        out.append(np.max(np.abs(dst - scipy.fft.dct(x, type=2, norm="ortho"))))


results = {}
threads = []
for i, n in enumerate((16, 32, 1000, 64, 7)):
    results[n] = []
    threads.append(threading.Thread(target=worker, args=(n, i, results[n])))
for t in threads:
    t.start()
for t in threads:
    t.join()
for n, errs in results.items():
    check(f"kvodDct N={n} in threads", max(errs) <= 1e-12, f"max error {max(errs):.3g}")

finish()
