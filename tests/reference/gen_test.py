"""Tone and triangle generators of libkvom6 against numpy and scipy.signal.sawtooth, and the
uniform and normal generators against scipy.stats (Kolmogorov-Smirnov).

Usage: python3 gen_test.py path/to/libkvom6.so
"""
import ctypes as C

import numpy as np
from scipy import signal, stats

from kvoref import D, F, I, P, S, U, check, finish, fn

STATE = 4096  # bytes; larger than any generator record
N = 10000
n = np.arange(N, dtype=np.float64)

# ---- tone: mag*cos(2*pi*f*n + phase), complex mag*exp(1j*(...)) ----
for code, real_t, dtype, cplx in (("s", F, np.float32, False), ("c", F, np.float32, True),
                                  ("d", D, np.float64, False), ("z", D, np.float64, True)):
    init = fn(f"kvo{code}ToneInit", I, real_t, real_t, real_t, P)
    block = fn(f"kvo{code}bTone", I, P, P, I)
    for f, ph, mag in ((0.01, 0.5, 1.0), (0.2345, 4.0, 100.0), (0.4999, 0.0, 3.0), (0.0, 1.0, 2.0)):
        st = C.create_string_buffer(STATE)
        check(f"kvo{code}ToneInit", init(f, ph, mag, st) == 0)
        out = np.zeros(2 * N if cplx else N, dtype=dtype)
        check(f"kvo{code}bTone", block(st, out.ctypes.data_as(P), N) == 0)
        if dtype == np.float32:
            f, ph, mag = float(np.float32(f)), float(np.float32(ph)), float(np.float32(mag))
        theta = 2 * np.pi * f * n + ph
        if cplx:
            got = out[0::2].astype(np.float64) + 1j * out[1::2]
            want = mag * np.exp(1j * theta)
        else:
            got, want = out.astype(np.float64), mag * np.cos(theta)
        err = np.max(np.abs(got - want))
        # The recurrence drifts by about n*eps/sin(w) near frequencies 0 and 0.5.
        drift = 2 * N * 2.0**-52 / max(abs(np.sin(2 * np.pi * f)), 1e-300)
        tol = (2e-7 if dtype == np.float32 else max(1e-10, drift)) * mag
        check(f"kvo{code}bTone f={f}", err <= tol, f"max error {err:.3g} > {tol:.3g}")

# ---- triangle: mag*sawtooth(phase + 2*pi*f*n - (pi + asym), width=(pi - asym)/(2*pi)) ----
for code, real_t, dtype, cplx in (("s", F, np.float32, False), ("d", D, np.float64, False),
                                  ("z", D, np.float64, True), ("c", F, np.float32, True)):
    init = fn(f"kvo{code}TrnglInit", None, real_t, real_t, real_t, real_t, P)
    block = fn(f"kvo{code}bTrngl", None, P, P, I)
    M = 2000
    for f, ph, mag, asym in ((0.01, 0.0, 1.0, 0.0), (0.0371, 2.0, 5.0, 1.0),
                             (0.003, 5.0, 1.0, -2.5), (0.45, 1.0, 1.0, 3.0)):
        st = C.create_string_buffer(STATE)
        init(f, ph, mag, asym, st)
        out = np.zeros(2 * M if cplx else M, dtype=dtype)
        block(st, out.ctypes.data_as(P), M)
        if dtype == np.float32:
            f, ph, asym = float(np.float32(f)), float(np.float32(ph)), float(np.float32(asym))
        t = ph + 2 * np.pi * f * np.arange(M) - (np.pi + asym)
        width = (np.pi - asym) / (2 * np.pi)
        want = mag * signal.sawtooth(t, width=width)
        got = out[0::2] if cplx else out
        # Float fields: each reflection off the short slope scales the rounding error by the ratio
        # of the slopes, and the errors add up over the run.
        ratio = (np.pi + abs(asym)) / (np.pi - abs(asym))
        tol = (1e-9 if dtype == np.float64 else 2e-4 * max(1.0, ratio / 2)) * mag
        err = np.max(np.abs(got - want))
        check(f"kvo{code}bTrngl f={f} asym={asym}", err <= tol, f"max error {err:.3g}")
        if cplx:
            want = mag * signal.sawtooth(t + (3 * np.pi + asym) / 2, width=width)
            err = np.max(np.abs(out[1::2] - want))
            check(f"kvo{code}bTrngl imag f={f}", err <= tol, f"max error {err:.3g}")

# ---- random: distributions ----
K = 200000
st = C.create_string_buffer(STATE)
fn("kvosRandUniInit", I, F, F, F, P)(123.0, -1.0, 3.0, st)
out = np.zeros(K, dtype=np.float32)
fn("kvosbRandUni", I, P, P, U)(st, out.ctypes.data_as(P), K)
p = stats.kstest(out, stats.uniform(loc=-1, scale=4).cdf).pvalue
check("kvosbRandUni KS", p > 0.001, f"p = {p}")
fn("kvodRandGausInit", I, D, D, D, P)(77.0, 2.0, 0.5, st)
outd = np.zeros(K, dtype=np.float64)
fn("kvodbRandGaus", I, P, P, U)(st, outd.ctypes.data_as(P), K)
p = stats.kstest(outd, stats.norm(loc=2.0, scale=0.5).cdf).pvalue
check("kvodbRandGaus KS", p > 0.001, f"p = {p}")

finish()
