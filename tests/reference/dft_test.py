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
