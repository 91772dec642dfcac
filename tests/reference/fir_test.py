"""FIR filters of libkvom6 against scipy.signal: lfilter for single-rate filters with a history,
upfirdn with phase slicing for multi-rate ones, and the 16-bit filters against exact integer
convolution of the quantised taps.

Usage: fir_test.py path/to/libkvom6.so
"""
import ctypes as C

import numpy as np
from scipy import signal

from kvoref import I, P, check, finish, fn, lib, note, ptr

rng = np.random.default_rng(4242)


class TapState(C.Structure):
    _fields_ = [("taps", C.c_void_p)] + [(n, C.c_int) for n in (
        "tapsLen", "upFactor", "upPhase", "downFactor", "downPhase", "isMultiRate", "isFilterMode",
        "tapsFactor")]


class DlyState(C.Structure):
    _fields_ = [("dlyl", C.c_void_p), ("dlylLen", C.c_int), ("isFilterMode", C.c_int)]


class State(C.Structure):
    _fields_ = [("f%d" % i, C.c_int) for i in range(5)] + [("self", C.c_void_p)] + [
        ("tapsLen", C.c_int), ("tapsLen8", C.c_int), ("taps", C.c_void_p), ("dlylLen", C.c_int),
        ("bufLen", C.c_int), ("buffer", C.c_void_p), ("bufEnd", C.c_void_p),
        ("window", C.c_void_p), ("schedule", C.c_void_p), ("tapsFactor", C.c_int)]


DTYPES = {"s": np.float32, "d": np.float64, "c": np.complex64, "z": np.complex128}


def data(code, n):
    x = rng.uniform(-1, 1, n)
    if code in "cz":
        x = x + 1j * rng.uniform(-1, 1, n)
    return x.astype(DTYPES[code])


def reference(h, hist, x, up, up_phase, down, down_phase, iters):
    """Outputs of the time line: input m at t = upPhase + m*up, outputs at t = j*down+downPhase."""
    z = np.concatenate([hist, x]).astype(np.complex128)
    full = signal.upfirdn(h.astype(np.complex128), z, up=up, down=1)
    tau = np.arange(iters * up) * down + down_phase + len(hist) * up - up_phase
    y = np.zeros(len(tau), np.complex128)
    ok = tau < len(full)
    y[ok] = full[tau[ok]]
    return y


def close(name, got, want, tol):
    err = np.max(np.abs(got - want)) / max(1.0, np.max(np.abs(want)))
    note("double" if got.dtype in (np.float64, np.complex128) else "float", err)
    check(name, err <= tol, f"max error {err:.3g} > {tol:.3g}")


PAIRS = ["s", "c", "sc", "cs", "d", "z", "dz", "zd"]
CASES = [(1, 0, 1, 0, 1)] + [(1, 0, 1, 0, L) for L in (2, 16, 64, 255)] + [
    (int(u), int(rng.integers(0, u)), int(d), int(rng.integers(0, d)), int(rng.integers(1, 60)))
    for u, d in rng.integers(1, 6, size=(14, 2))]

for pair in PAIRS:
    sc, tc = pair[0], pair[-1]
    for up, up_phase, down, down_phase, L in CASES:
        single = up == 1 and down == 1
        H = L - 1 if single else -(-L // up)
        iters = int(rng.integers(1, 400))
        h, hist, x = data(tc, L), data(sc, H), data(sc, iters * down)
        want = reference(h, hist, x, up, up_phase, down, down_phase, iters)
        if single:
            lf = signal.lfilter(h.astype(np.complex128), [1.0],
                                np.concatenate([hist, x]).astype(np.complex128))[H:]
            check(f"time line against lfilter, L={L}", np.max(np.abs(lf - want)) <= 1e-9)
        odt = DTYPES["c" if sc in "sc" else "z"] if (sc in "cz" or tc in "cz") else DTYPES[sc]
        tol = 1e-5 if odt in (np.float32, np.complex64) else 1e-12
        tag = f"{pair} L={L} up={up}/{up_phase} down={down}/{down_phase} n={iters}"

        # Low level: the taps array is the storage; history through SetDlyl.
        taps = h.copy()
        ts, ds = TapState(), DlyState()
        fn(f"kvo{tc}FirlInitMr", I, P, I, I, I, I, I, P)(ptr(taps), L, up, up_phase, down,
                                                         down_phase, C.byref(ts))
        dly = np.zeros(H + 1, DTYPES[sc])
        fn(f"kvo{sc}FirlInitDlyl", I, P, P, P)(C.byref(ts), ptr(dly), C.byref(ds))
        fn(f"kvo{sc}FirlSetDlyl", I, P, P, P)(C.byref(ts), ptr(hist) if H else None, C.byref(ds))
        out = np.zeros(iters * up, odt)
        st = fn(f"kvo{pair}bFirl", I, P, P, P, P, I)(C.byref(ts), C.byref(ds), ptr(x), ptr(out),
                                                     iters)
        check(f"kvo{pair}bFirl {tag}", st == 0, f"status {st}")
        close(f"kvo{pair}bFirl {tag}", out, want, tol)

        # High level.
        state = State()
        st = fn(f"kvo{pair}FirInitMr", I, P, I, P, I, I, I, I, P)(
            ptr(h), L, ptr(hist) if H else None, up, up_phase, down, down_phase, C.byref(state))
        check(f"kvo{pair}FirInitMr {tag}", st == 1, f"returned {st}")
        out2 = np.zeros(iters * up, odt)
        fn(f"kvo{pair}bFir", I, P, P, P, I)(C.byref(state), ptr(x), ptr(out2), iters)
        close(f"kvo{pair}bFir {tag}", out2, want, tol)
        lib.kvoFirFree(C.byref(state))

# 16 bit: the taps quantised with one exponent n (the largest with sum|h| * 2^n below 32767),
# exact integer convolution wrapping at 32 bits, shifted back by n and stored by the scale mode:
# low level and high level, blocks (split in two) and single samples.
def taps_factor(h):
    total = float(np.sum(np.abs(h.astype(np.float64))))
    n = 0
    if total <= 32767:
        while total * 2.0 ** (n + 1) < 32767:
            n += 1
    else:
        n = -1
        while total / 2.0 ** -n > 32767:
            n -= 1
    return n


def scaled(sums, n, mode, factor):
    """Outputs from the exact sums (int64 holding 32-bit values) and the factor mode 4 reports."""
    if mode & 4:
        v = sums >> min(n, 31) if n > 0 else ((sums << min(-n, 31)) + 2**31) % 2**32 - 2**31
        big = int(np.max(np.abs(v))) if len(v) else 0
        f = big.bit_length() - 1 - 14 if big > 32767 else 0
        return (v >> f).astype(np.int16), f
    eff = n + (factor if mode & 2 else 0)
    sat = bool(mode & 1) if eff != 0 else (mode & ~2) == 1
    v = sums >> min(eff, 31) if eff > 0 else sums << min(-eff, 15)
    return (np.clip(v, -32768, 32767) if sat else v).astype(np.int16), factor


MODES = ((0, 0, 1), (1, 0, 1), (2, 1, 0.01), (3, -2, 1), (4, 0, 1), (4, 0, 9e4), (1, 0, 5e5),
         (2, -3, 3e-6))  # mode, factor, gain of the taps (small gains: positive exponents)
wfirl = fn("kvowFirl", C.c_short, P, P, C.c_short, I, P)
wfir = fn("kvowFir", C.c_short, P, C.c_short, I, P)
wbfir = fn("kvowbFir", I, P, P, P, I, I, P)
for up, up_phase, down, down_phase, L in CASES:
    single = up == 1 and down == 1
    H = L - 1 if single else -(-L // up)
    iters = int(rng.integers(1, 400))
    hist = rng.integers(-32768, 32768, H + 1).astype(np.int16)
    x = rng.integers(-32768, 32768, iters * down).astype(np.int16)
    for mode, factor, gain in MODES:
        tag = f"L={L} up={up} down={down} mode {mode} gain {gain}"
        h = (rng.uniform(-1, 1, L) * gain).astype(np.float32)
        n = taps_factor(h)
        q = np.clip(np.rint(h.astype(np.float64) * 2.0 ** n), -32768, 32767).astype(np.int64)
        z = np.concatenate([hist[:H], x]).astype(np.int64)
        u = np.zeros(len(z) * up, np.int64)
        u[::up] = z
        full = np.convolve(q, u)
        tau = np.arange(iters * up) * down + down_phase + H * up - up_phase
        sums = np.where(tau < len(full), full[np.minimum(tau, len(full) - 1)], 0)
        sums = (sums + 2**31) % 2**32 - 2**31  # 32-bit wrap-around
        want, want_factor = scaled(sums, n, mode, factor)

        taps = h.copy()
        ts, ds = TapState(), DlyState()
        fn("kvowFirlInitMr", I, P, I, I, I, I, I, P)(ptr(taps), L, up, up_phase, down, down_phase,
                                                     C.byref(ts))
        check(f"kvowFirlInitMr tapsFactor {tag}", ts.tapsFactor == n, f"{ts.tapsFactor} != {n}")
        dly = np.zeros(L if single else H, np.int16)
        fn("kvowFirlInitDlyl", I, P, P, P)(C.byref(ts), ptr(dly), C.byref(ds))
        fn("kvowFirlSetDlyl", I, P, P, P)(C.byref(ts), ptr(hist), C.byref(ds))
        out, f = np.full(iters * up, 0x5A5A, np.int16), C.c_int(factor)
        fn("kvowbFirl", None, P, P, P, P, I, I, P)(C.byref(ts), C.byref(ds), ptr(x), ptr(out), iters,
                                                   mode, C.byref(f))
        bad = int(np.argmax(out != want))
        check(f"kvowbFirl {tag}", np.array_equal(out, want) and f.value == want_factor,
              f"first difference at {bad}: {out[bad]} != {want[bad]}, factor {f.value}")

        state = State()
        fn("kvowFirInitMr", I, P, I, P, I, I, I, I, P)(ptr(h), L, ptr(hist), up, up_phase, down,
                                                       down_phase, C.byref(state))
        out, f = np.full(iters * up, 0x5A5A, np.int16), C.c_int(factor)
        half = 0 if mode & 4 else iters // 2
        wbfir(C.byref(state), ptr(x), ptr(out), half, mode, C.byref(f)) if half else None
        wbfir(C.byref(state), ptr(x[half * down:]), ptr(out[half * up:]), iters - half, mode,
              C.byref(f))
        check(f"kvowbFir {tag}", np.array_equal(out, want))
        lib.kvoFirFree(C.byref(state))
        if single and not mode & 4:
            fn("kvowFirlSetDlyl", I, P, P, P)(C.byref(ts), ptr(hist), C.byref(ds))
            fn("kvowFirInit", I, P, I, P, P)(ptr(h), L, ptr(hist), C.byref(state))
            got = [(wfirl(C.byref(ts), C.byref(ds), int(v), mode, C.byref(f)),
                    wfir(C.byref(state), int(v), mode, C.byref(f))) for v in x]
            check(f"kvowFirl, kvowFir {tag}", np.array_equal(np.array(got), np.stack((want, want), -1)))
            lib.kvoFirFree(C.byref(state))

finish()
