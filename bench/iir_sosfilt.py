"""Times scipy.signal.sosfilt and the library's biquad cascades on the same 65,536 samples.

Usage: /usr/bin/python3 bench/iir_sosfilt.py path/to/libkvom6.so

Prints ns per section-sample for sosfilt, kvodbIirl and kvosbIirl (ctypes call overhead
included, negligible at this length) and the ratio library / sosfilt. The sections are those of
bench/iir_bench.cpp; the input is white noise and, in the denormal case, an impulse of 1e-30
followed by silence. The machine is shared: take the numbers as rough.
"""
import ctypes as C
import sys
import time

import numpy as np
from scipy import signal

lib = C.CDLL(sys.argv[1])
N = 65536
P = C.c_void_p


class Taps(C.Structure):
    _fields_ = [("order", C.c_int), ("taps", P), ("iirType", C.c_int), ("isBq", C.c_int)]


class Dly(C.Structure):
    _fields_ = [("dlyl", P)]


def sections(q):
    rows = []
    for j in range(q):
        r, th = 0.6 + 0.3 * j / (q + 1.0), 0.3 + 2.5 * j / (q + 1.0)
        rows.append([0.8, 0.5, 0.3, 1.25, -2.5 * r * np.cos(th), 1.25 * r * r])
    return np.array(rows)


def best(f, reps=7):
    t = []
    for _ in range(reps):
        t0 = time.perf_counter()
        f()
        t.append(time.perf_counter() - t0)
    return min(t)


def ptr(a):
    return a.ctypes.data_as(P)


def kvo_time(letter, dtype, sos, x):
    q = len(sos)
    taps = sos.astype(dtype).ravel().copy()
    ts, ds = Taps(), Dly()
    getattr(lib, f"kvo{letter}IirlInitBq")(0, ptr(taps), q, C.byref(ts))
    d = np.zeros(2 * q, dtype=dtype)
    getattr(lib, f"kvo{letter}IirlInitDlyl")(C.byref(ts), ptr(d), C.byref(ds))
    xs, ys = x.astype(dtype), np.zeros(N, dtype=dtype)
    f = getattr(lib, f"kvo{letter}bIirl")
    return best(lambda: f(C.byref(ts), C.byref(ds), ptr(xs), ptr(ys), N))


rng = np.random.default_rng(1)
print(f"{'case':28s} {'sosfilt':>9s} {'kvod':>9s} {'kvos':>9s}  ns/section-sample, ratios d, s")
for q in (1, 2, 4, 8, 16):
    for denormal in (False, True):
        if denormal and q != 4:
            continue
        x = np.zeros(N)
        if denormal:
            x[0] = 1e-30
        else:
            x = rng.standard_normal(N)
        sos = sections(q)
        sosn = sos / sos[:, 3:4]
        t_sos = best(lambda: signal.sosfilt(sosn, x))
        t_d = kvo_time("d", np.float64, sos, x)
        t_s = kvo_time("s", np.float32, sos, x)
        per = 1e9 / (N * q)
        name = f"bq{q}{'_denormal' if denormal else ''}"
        print(f"{name:28s} {t_sos * per:9.2f} {t_d * per:9.2f} {t_s * per:9.2f}  "
              f"{t_d / t_sos:.3f} {t_s / t_sos:.3f}")
