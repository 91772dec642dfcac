"""LMS adaptive filters of libkvom6 against a numpy loop of the leaky LMS update.

Usage: python3 lms_test.py path/to/libkvom6.so
"""
import ctypes as C

import numpy as np

from kvoref import CD, CF, D, F, I, P, check, finish, fn, ptr

rng = np.random.default_rng(512)


class TapState(C.Structure):
    _fields_ = [("taps", C.c_void_p), ("tapsLen", C.c_int), ("upFactor", C.c_int),
                ("upPhase", C.c_int), ("downFactor", C.c_int), ("downPhase", C.c_int),
                ("isMultiRate", C.c_int), ("isFilterMode", C.c_int), ("leak", C.c_float),
                ("step", C.c_float), ("errDly", C.c_int), ("lmsType", C.c_int)]


class DlyState(C.Structure):
    _fields_ = [("dlyl", C.c_void_p), ("dlylLen", C.c_int), ("isFilterMode", C.c_int),
                ("isAdaptive", C.c_int)]


class ErrVal(C.Union):
    _fields_ = [("s", C.c_float), ("d", C.c_double), ("c", CF), ("z", CD)]


class State(C.Structure):
    _fields_ = [("tapSt", TapState), ("dlySt", DlyState), ("errVal", ErrVal)]



def model_step(h, x, samps, err, step, leak, err_dly, b, moved, conj):
    """One step of the update on the newest-first line x: adapt, move, filter."""
    seg = x[b + err_dly:b + err_dly + len(h)]
    h[:] = (1.0 - leak) * h + (step * err) * (np.conj(seg) if conj else seg)
    n = len(samps)
    x[n:n + moved] = x[:moved].copy()
    x[:n] = samps[::-1]
    return np.sum(h * x[b:b + len(h)])


# ---- double, caller's error, leak and error delay ----
N, E, leak, step = 24, 2, np.float32(0.0001), np.float32(0.002)
taps = rng.standard_normal(N)
line = np.zeros(N + E)
ts, ds = TapState(), DlyState()
fn("kvodLmslInit", I, I, P, I, F, F, I, P)(0, ptr(taps), N, step, leak, E, C.byref(ts))
fn("kvodLmslInitDlyl", I, P, P, I, P)(C.byref(ts), ptr(line), 1, C.byref(ds))
fn("kvodLmslSetDlyl", I, P, P, P)(C.byref(ts), None, C.byref(ds))
lmsl = fn("kvodLmsl", D, P, P, D, D)
unknown = rng.standard_normal(N)
h, x = np.zeros(N), np.zeros(N + E)
taps[:] = 0
hist = np.zeros(N)
# The error delay pairs each error with the line E samples back, so the caller passes the error
# of the output E + 1 calls back: the system identification then converges.
errs, worst = [0.0] * (E + 1), 0.0
for n in range(3000):
    s = rng.standard_normal()
    err = errs[-(E + 1)]
    want = model_step(h, x, np.array([s]), err, float(step), float(leak), E, 0, N + E - 1, False)
    got = lmsl(C.byref(ts), C.byref(ds), s, err)
    worst = max(worst, abs(got - want) / (1 + np.sum(np.abs(h * x[:N]))))
    hist = np.roll(hist, 1)
    hist[0] = s
    errs.append(float(unknown @ hist) - got)
check("kvodLmsl outputs", worst < 1e-14, f"relative error {worst}")
check("kvodLmsl taps", np.array_equal(taps, h), f"{np.max(np.abs(taps - h))}")
# Leakage keeps the taps a little short of the unknown filter: (1 - leak) h = h + mu e x on average.
# With white input of unit power the leaky update settles at h = unknown / (1 + leak / step).
settled = unknown / (1 + float(leak) / float(step))
check("kvodLmsl leaky identification", np.max(np.abs(taps - settled)) < 0.05,
      f"{np.max(np.abs(taps - settled))}")

# ---- complex double, desired signal, decimation by 2 with phase 1 ----
N, E, Dn, Ph = 11, 1, 2, 1
st = State()
t0 = (rng.standard_normal(N) + 1j * rng.standard_normal(N)).astype(np.complex128)
fn("kvozLmsInitMr", I, I, P, I, P, F, F, I, I, I, P)(0, ptr(t0), N, None, np.float32(0.02),
                                                      np.float32(0.001), E, Dn, Ph, C.byref(st))
L = st.dlySt.dlylLen
check("kvozLmsInitMr length", L == N + E + Dn, f"{L}")
iters = 400
ins = rng.standard_normal(iters * Dn) + 1j * rng.standard_normal(iters * Dn)
des = rng.standard_normal(iters) + 1j * rng.standard_normal(iters)
out = np.zeros(iters, np.complex128)
rc = fn("kvozbLmsDes", I, P, P, P, P, I)(C.byref(st), ptr(ins), ptr(des), ptr(out), iters)
h, x, e = t0.copy(), np.zeros(L, np.complex128), 0j
want, scale = np.zeros(iters, np.complex128), np.zeros(iters)
for j in range(iters):
    scale[j] = 1 + np.sum(np.abs(h)) * np.max(np.abs(ins)) * 2
    want[j] = model_step(h, x, ins[j * Dn:(j + 1) * Dn], e, float(np.float32(0.02)),
                         float(np.float32(0.001)), E, Dn - 1 - Ph, N + E, True)
    e = des[j] - out[j]
got_taps = np.ctypeslib.as_array(C.cast(st.tapSt.taps, C.POINTER(C.c_double)), (2 * N,))
got_taps = got_taps[0::2] + 1j * got_taps[1::2]
check("kvozbLmsDes status", rc == 0, f"{rc}")
# numpy's complex products may round differently from the plain formula: within rounding.
check("kvozbLmsDes outputs", np.max(np.abs(out - want) / scale) < 1e-13,
      f"{np.max(np.abs(out - want) / scale)}")
check("kvozbLmsDes taps", np.max(np.abs(got_taps - h)) <= 1e-13 * np.max(np.abs(h)), "")
check("kvozbLmsDes error", complex(st.errVal.z.re, st.errVal.z.im) == des[-1] - out[-1], "")
fn("kvoLmsFree", None, P)(C.byref(st))

# ---- 16 bit: Q13 taps, saturated gain, clamped taps in the sum, round half up ----
N, E = 9, 1
ftaps = rng.uniform(-3, 3, N).astype(np.float32)
q = np.trunc(ftaps.astype(np.float64) * 8192).astype(np.int64)
ts, ds = TapState(), DlyState()
wline = np.zeros(N + E, np.int16)
fn("kvowLmslInit", I, I, P, I, F, I, P)(0, ptr(ftaps), N, np.float32(0.05), E, C.byref(ts))
fn("kvowLmslInitDlyl", I, P, P, P)(C.byref(ts), ptr(wline), C.byref(ds))
fn("kvowLmslSetDlyl", I, P, P, P)(C.byref(ts), None, C.byref(ds))
wl = fn("kvowLmsl", C.c_short, P, P, C.c_short, C.c_short)
m = int(np.trunc(np.float64(np.float32(0.05)) * 8192))


def wrap32(v):
    return ((int(v) + 2**31) % 2**32) - 2**31


xs = np.zeros(N + E, np.int64)
bad = 0
for n in range(2000):
    s, er = int(rng.integers(-32768, 32768)), int(rng.integers(-32768, 32768))
    p = wrap32(er * m)
    if p:
        p = min(max(p, -32768), 32767)
        q = np.array([wrap32(v) for v in q + xs[E:E + N] * p])
    xs[1:] = xs[:-1].copy()
    xs[0] = s
    acc = wrap32(int(np.sum(np.clip(q, -32768, 32767) * xs[:N])))
    want = min(max(wrap32(acc + 4096) >> 13, -32768), 32767)
    bad += wl(C.byref(ts), C.byref(ds), s, er) != want
got_q = np.frombuffer(ftaps.tobytes(), np.int32)
check("kvowLmsl outputs", bad == 0, f"{bad} differ")
check("kvowLmsl taps", np.array_equal(got_q, q), "")

finish()
