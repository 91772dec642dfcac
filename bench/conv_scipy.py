"""Convolution, correlation and 2-D filtering of the library against scipy on the same data.

Usage: /usr/bin/python3 bench/conv_scipy.py path/to/libkvom6.so

Prints the median time of each side and the ratio ours / scipy (below 1 is faster). scipy's best
of oaconvolve and fftconvolve is the peer of the 1-D convolutions; scipy.signal.correlate
(method chosen by scipy) of the correlations; scipy.ndimage.convolve and scipy.signal.convolve2d
(full) of the 2-D cases. The machine is shared, so the numbers are noisy.
"""
import ctypes
import sys
import timeit

import numpy as np
import scipy.ndimage
import scipy.signal

lib = ctypes.CDLL(sys.argv[1])
P, I = ctypes.c_void_p, ctypes.c_int
rng = np.random.default_rng(3)


def ptr(a):
    return a.ctypes.data_as(P)


def median_s(fn):
    t = timeit.Timer(fn)
    n, _ = t.autorange()
    return float(np.median([t.timeit(n) / n for _ in range(5)]))


def report(case, ours, peer, peer_name):
    print(f"{case:40s} {ours * 1e6:12.1f} us {peer * 1e6:12.1f} us {ours / peer:8.3f}  (vs {peer_name})")


for name, fn, dtype in (("kvosConv", lib.kvosConv, np.float32), ("kvocConv", lib.kvocConv, np.complex64),
                        ("kvodConv", lib.kvodConv, np.float64)):
    fn.argtypes = [P, I, P, I, P]
    for lx, lh in ((4096, 16), (4096, 512), (65536, 1000), (1 << 20, 4096), (53243, 9)):
        x = rng.uniform(-1, 1, lx).astype(dtype)
        h = rng.uniform(-1, 1, lh).astype(dtype)
        if dtype == np.complex64:
            x = x + 1j * rng.uniform(-1, 1, lx).astype(np.float32)
            h = h + 1j * rng.uniform(-1, 1, lh).astype(np.float32)
        y = np.zeros(lx + lh - 1, dtype)
        ours = median_s(lambda: fn(ptr(x), lx, ptr(h), lh, ptr(y)))
        peer = min(median_s(lambda: scipy.signal.oaconvolve(x, h)),
                   median_s(lambda: scipy.signal.fftconvolve(x, h)))
        report(f"{name} {lx}x{lh}", ours, peer, "oaconvolve/fftconvolve")

cc = lib.kvosCrossCorr
cc.argtypes = [P, I, P, I, P, I, I]
a = rng.uniform(-1, 1, 16384).astype(np.float32)
b = rng.uniform(-1, 1, 16384).astype(np.float32)
for lo, hi in ((0, 15), (-100, 100), (-2000, 2000)):
    d = np.zeros(hi - lo + 1, np.float32)
    ours = median_s(lambda: cc(ptr(a), a.size, ptr(b), b.size, ptr(d), lo, hi))
    peer = median_s(lambda: scipy.signal.correlate(b, a, "full")[lo + a.size - 1:hi + a.size])
    report(f"kvosCrossCorr 16384 {lo}..{hi}", ours, peer, "signal.correlate")
ac = lib.kvosAutoCorr
ac.argtypes = [P, I, P, I, I]
for lags in (16, 256, 4096):
    d = np.zeros(lags, np.float32)
    ours = median_s(lambda: ac(ptr(a), a.size, ptr(d), lags, 0))
    peer = median_s(lambda: scipy.signal.correlate(a, a, "full")[a.size - 1:a.size - 1 + lags])
    report(f"kvosAutoCorr 16384 {lags}", ours, peer, "signal.correlate")

f2 = lib.kvosFilter2D
f2.argtypes = [P, I, I, P, I, I, P]
c2 = lib.kvosConv2D
c2.argtypes = [P, I, I, P, I, I, P]
src = rng.uniform(-1, 1, (512, 512)).astype(np.float32)
for k in (3, 15, 63):
    ker = rng.uniform(-1, 1, (k, k)).astype(np.float32)
    dst = np.zeros((512, 512), np.float32)
    ours = median_s(lambda: f2(ptr(src), 512, 512, ptr(ker), k, k, ptr(dst)))
    peer = median_s(lambda: scipy.ndimage.convolve(src, ker, mode="constant", cval=0.0))
    report(f"kvosFilter2D 512 {k}x{k}", ours, peer, "ndimage.convolve")
    full = np.zeros((511 + k, 511 + k), np.float32)
    ours = median_s(lambda: c2(ptr(src), 512, 512, ptr(ker), k, k, ptr(full)))
    peer = min(median_s(lambda: scipy.signal.oaconvolve(src, ker)),
               median_s(lambda: scipy.signal.fftconvolve(src, ker)))
    report(f"kvosConv2D 512 {k}x{k}", ours, peer, "oaconvolve/fftconvolve")
