"""scipy.fft.dct / idct (orthonormal, type II / III) beside kvosDct / kvodDct on the same data.

Run with Debian's Python: /usr/bin/python3 bench/dct_scipy.py path/to/libkvom6.so
Both sides are called from Python, so each time includes a call overhead of about a microsecond
(ctypes for ours, the scipy wrapper for theirs); the ratio is ours / scipy (below 1 is faster).
"""
import ctypes
import sys
import timeit

import numpy as np
import scipy.fft

lib = ctypes.CDLL(sys.argv[1])
for fn in ("kvosDct", "kvodDct"):
    getattr(lib, fn).argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
    getattr(lib, fn).restype = None


def best_ns(fn, calls):
    return min(timeit.repeat(fn, number=calls, repeat=7)) / calls * 1e9


print(f"{'case':<24} {'kvo ns':>12} {'scipy ns':>12} {'ratio':>8}")
rng = np.random.default_rng(1)
for n in [1 << k for k in range(6, 17, 2)] + [1000, 1920]:
    for dtype, fn in ((np.float32, lib.kvosDct), (np.float64, lib.kvodDct)):
        x = rng.uniform(-1, 1, n).astype(dtype)
        y = np.empty_like(x)
        px, py = x.ctypes.data, y.ctypes.data
        calls = max(1, 200000 // n)
        for flags, ref in ((1, scipy.fft.dct), (2, scipy.fft.idct)):
            ours = best_ns(lambda: fn(px, py, n, flags), calls)
            theirs = best_ns(lambda: ref(x, type=2, norm="ortho"), calls)
            name = f"{'s' if dtype == np.float32 else 'd'}Dct{'Fwd' if flags == 1 else 'Inv'}/{n}"
            print(f"{name:<24} {ours:12.1f} {theirs:12.1f} {ours / theirs:8.2f}")
