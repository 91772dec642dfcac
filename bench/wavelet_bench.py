"""Wavelet decomposition and reconstruction against PyWavelets, timed from Python on the same data.

Usage: /usr/bin/python3 bench/wavelet_bench.py path/to/libkvom6.so

For N = 2^10, 2^16, 2^20 and the wavelets db4 (KVO_Daublet 4) and sym8 (KVO_Symmlet 5) at 5
levels: the median time of kvodWtDecompose and kvodWtReconstruct (double precision, called
through ctypes) and of pywt.wavedec and pywt.waverec with mode 'periodization' on float64 data,
and the ratio kvo / pywt (below 1 is faster). The contenders take turns, so that a change of
machine load affects both alike.
"""
import ctypes
import sys
import time

import numpy as np
import pywt


class WtState(ctypes.Structure):
    _fields_ = [("core", ctypes.c_int), ("wtType", ctypes.c_int), ("category", ctypes.c_int),
                ("par1", ctypes.c_int), ("par2", ctypes.c_int), ("dataOrder", ctypes.c_int),
                ("level", ctypes.c_int), ("len", ctypes.c_int * 4), ("ofs", ctypes.c_int * 4),
                ("tap_filt", ctypes.c_void_p * 4), ("src_pad", ctypes.c_void_p)]


DAUBLET, SYMMLET = 2, 3
LEVELS = 5

lib = ctypes.CDLL(sys.argv[1])
lib.kvodWtInit.argtypes = [ctypes.c_int] * 4 + [ctypes.POINTER(WtState), ctypes.c_int]
for fn in (lib.kvodWtDecompose, lib.kvodWtReconstruct):
    fn.argtypes = [ctypes.POINTER(WtState), ctypes.c_void_p, ctypes.c_void_p]
lib.kvoWtFree.argtypes = [ctypes.POINTER(WtState)]


def median_time(calls, repeat):
    """Median seconds per call of each callable, taking turns."""
    samples = [[] for _ in calls]
    for _ in range(repeat):
        for i, call in enumerate(calls):
            t0 = time.perf_counter()
            call()
            samples[i].append(time.perf_counter() - t0)
    return [sorted(s)[len(s) // 2] for s in samples]


print(f"{'case':<28} {'kvo us':>12} {'pywt us':>12} {'ratio':>8}")
for order in (10, 16, 20):
    n = 1 << order
    x = np.random.default_rng(order).uniform(-1, 1, n)
    for name, wt_type, par in (("db4", DAUBLET, 4), ("sym8", SYMMLET, 5)):
        state = WtState()
        lib.kvodWtInit(par, 0, order, LEVELS, ctypes.byref(state), wt_type)
        coef = np.zeros(n)
        back = np.zeros(n)
        ours_dec = lambda: lib.kvodWtDecompose(ctypes.byref(state), x.ctypes.data,
                                               coef.ctypes.data)
        ours_rec = lambda: lib.kvodWtReconstruct(ctypes.byref(state), coef.ctypes.data,
                                                 back.ctypes.data)
        peer_coef = pywt.wavedec(x, name, mode="periodization", level=LEVELS)
        peer_dec = lambda: pywt.wavedec(x, name, mode="periodization", level=LEVELS)
        peer_rec = lambda: pywt.waverec(peer_coef, name, mode="periodization")
        repeat = 200 if order <= 16 else 15
        t = median_time([ours_dec, peer_dec, ours_rec, peer_rec], repeat)
        for what, ours, peer in (("wavedec", t[0], t[1]), ("waverec", t[2], t[3])):
            print(f"{what} {name} N=2^{order:<13} {ours * 1e6:12.1f} {peer * 1e6:12.1f} "
                  f"{ours / peer:8.3f}")
        lib.kvoWtFree(ctypes.byref(state))
