"""Convolution, correlation, 2-D convolution and filtering and resampling of the shared library
against numpy and scipy, independent references.

Every floating-point member is run at sizes that take each of its methods (direct sums, one
full-length transform, blocked transforms) and compared with the definition computed by numpy.

Usage: conv_test.py path/to/libkvom6.so
"""
import ctypes

import numpy as np
import scipy.ndimage
import scipy.signal

from kvoref import I, P, check, finish, lib, note, ptr

IP = ctypes.POINTER(ctypes.c_int)


def close(name, got, want, tol):
    scale = np.sqrt(np.sum(np.abs(want) ** 2) / max(want.size, 1)) + 1e-300
    err = np.max(np.abs(got - want)) / scale if want.size else 0.0
    note("double" if got.dtype in (np.float64, np.complex128) else "float", err)
    check(name, err <= tol, f"max error {err:.3g} (relative to RMS) > {tol:.3g}")


def exact(name, got, want):
    bad = np.flatnonzero(got.ravel() != want.ravel())
    check(name, np.array_equal(got, want), f"{bad.size} values differ, first at {bad[:1]}")


rng = np.random.default_rng(7)
REAL = {"s": np.float32, "d": np.float64}
CPLX = {"c": np.complex64, "z": np.complex128, "s": np.complex64, "d": np.complex128}
TOL = {np.dtype(np.float32): 2e-6, np.dtype(np.complex64): 2e-6, np.dtype(np.float64): 4e-15,
       np.dtype(np.complex128): 4e-15}


def data(dtype, n):
    if np.issubdtype(dtype, np.complexfloating):
        return (rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)).astype(dtype)
    return rng.uniform(-1, 1, n).astype(dtype)


# ---- 1-D convolution: (name, x type, h type, y type)
MEMBERS = [("s", np.float32, np.float32), ("c", np.complex64, np.complex64),
           ("sc", np.float32, np.complex64), ("cs", np.complex64, np.float32),
           ("d", np.float64, np.float64), ("z", np.complex128, np.complex128),
           ("dz", np.float64, np.complex128), ("zd", np.complex128, np.float64)]
for code, tx, th in MEMBERS:
    fn = getattr(lib, f"kvo{code}Conv")
    fn.argtypes = [P, I, P, I, P]
    fn.restype = I
    ty = np.result_type(tx, th)
    # Direct (short), below and above the thresholds, full-length and blocked transforms,
    # operands in both orders.
    for lx, lh in ((1, 1), (5, 3), (3, 5), (200, 8), (1000, 40), (70, 60), (4096, 150),
                   (40000, 16), (60000, 9), (5000, 700), (700, 5000), (300, 300)):
        x, h = data(tx, lx), data(th, lh)
        y = np.zeros(lx + lh - 1, ty)
        status = fn(ptr(x), lx, ptr(h), lh, ptr(y))
        check(f"kvo{code}Conv({lx}, {lh}) status", status == 0, f"{status}")
        want = np.convolve(x.astype(np.complex128), h.astype(np.complex128))
        if not np.issubdtype(ty, np.complexfloating):
            want = want.real
        close(f"kvo{code}Conv({lx}, {lh})", y, want, TOL[ty] * (1 + np.log2(lx + lh)))

# ---- cross-correlation: numpy conjugates its second operand, the library its first
for code, ta, tb in MEMBERS:
    fn = getattr(lib, f"kvo{code}CrossCorr")
    fn.argtypes = [P, I, P, I, P, I, I]
    fn.restype = None
    ty = np.result_type(ta, tb)
    for la, lb, lo, hi in ((10, 7, -3, 4), (7, 10, -12, 15), (50, 60, 70, 80), (300, 500, -299, 499),
                           (4000, 4000, -20, 40), (5000, 3000, 0, 900), (2000, 6000, -1000, 3000),
                           (1, 1, 0, 0), (100, 100, -150, -120)):
        a, b = data(ta, la), data(tb, lb)
        dst = np.zeros(hi - lo + 1, ty)
        fn(ptr(a), la, ptr(b), lb, ptr(dst), lo, hi)
        full = np.correlate(b.astype(np.complex128), a.astype(np.complex128), "full")
        want = np.zeros(hi - lo + 1, np.complex128)
        for j in range(hi - lo + 1):
            idx = lo + j + la - 1
            if 0 <= idx < full.size:
                want[j] = full[idx]
        if not np.issubdtype(ty, np.complexfloating):
            want = want.real
        tol = TOL[ty] * (1 + np.log2(la + lb)) * 4
        close(f"kvo{code}CrossCorr({la}, {lb}, {lo}..{hi})", dst, want, tol)

# ---- autocorrelation with its normalisations
for code, t in (("s", np.float32), ("c", np.complex64), ("d", np.float64), ("z", np.complex128)):
    fn = getattr(lib, f"kvo{code}AutoCorr")
    fn.argtypes = [P, I, P, I, I]
    fn.restype = None
    for n, lags in ((1, 1), (20, 20), (500, 30), (8000, 64), (8000, 2000), (3000, 3000)):
        x = data(t, n)
        full = np.correlate(x.astype(np.complex128), x.astype(np.complex128), "full")[n - 1:n - 1 + lags]
        for ctype in (0, 1, 2, 5):
            dst = np.zeros(lags, t)
            fn(ptr(x), n, ptr(dst), lags, ctype)
            want = full / n if ctype == 1 else full / (n - np.arange(lags)) if ctype == 2 else full
            if not np.issubdtype(t, np.complexfloating):
                want = want.real
            close(f"kvo{code}AutoCorr({n}, {lags}, type {ctype})", dst, want,
                  TOL[np.dtype(t)] * (1 + np.log2(n)) * (4 if ctype != 2 else 4 * np.sqrt(n)))

# ---- 16-bit correlation against the wrapped 32-bit sums (no scaling and saturation)
def wrap32(v):
    return ((v + 2**31) % 2**32) - 2**31


for code, ca, cb in (("w", False, False), ("v", True, True), ("wv", False, True), ("vw", True, False)):
    fn = getattr(lib, f"kvo{code}CrossCorr")
    fn.argtypes = [P, I, P, I, P, I, I, I, IP]
    fn.restype = None
    for la, lb, lo, hi in ((40, 30, -45, 35), (7, 90, 0, 20)):
        a = rng.integers(-32768, 32768, la * (2 if ca else 1)).astype(np.int16)
        b = rng.integers(-32768, 32768, lb * (2 if cb else 1)).astype(np.int16)
        ac = a[0::2] + 1j * a[1::2].astype(np.int64) if ca else a.astype(np.int64)
        bc = b[0::2] + 1j * b[1::2].astype(np.int64) if cb else b.astype(np.int64)
        cplx = ca or cb
        want_re, want_im = [], []
        for k in range(lo, hi + 1):
            re = im = 0
            for n in range(la):
                if 0 <= n + k < lb:
                    ar, ai = int(np.real(ac[n])), -int(np.imag(ac[n]))
                    br, bi = int(np.real(bc[n + k])), int(np.imag(bc[n + k]))
                    re += ar * br - ai * bi
                    im += ar * bi + ai * br
            want_re.append(wrap32(re))
            want_im.append(wrap32(im))
        want = np.column_stack((want_re, want_im)).ravel() if cplx else np.array(want_re)
        for mode, conv in ((1, lambda v: np.clip(v, -32768, 32767)),
                           (0, lambda v: ((v + 32768) % 65536) - 32768)):
            dst = np.zeros(want.size, np.int16)
            fn(ptr(a), la, ptr(b), lb, ptr(dst), lo, hi, mode, None)
            exact(f"kvo{code}CrossCorr mode {mode} ({la}, {lb})", dst.astype(np.int64), conv(want))

# ---- 16-bit convolution: products wrapped, each addition saturated, the shorter operand (the
# second on a tie) outside; a fixed factor shifts the results right (at most 15) or left ----
def wrap16(v):
    return ((v + 32768) % 65536) - 32768


def conv16(x, h, mode, factor):
    a, b = (h, x) if len(x) < len(h) else (x, h)
    y = np.zeros(len(a) + len(b) - 1, np.int64)
    for j, bj in enumerate(b.astype(np.int64)):
        if bj:
            y[j:j + len(a)] = np.clip(y[j:j + len(a)] + wrap16(a * bj), -32768, 32767)
    if mode == 2 and factor:
        y = y >> min(factor, 15) if factor > 0 else wrap16(y << -factor) if factor > -16 else 0 * y
    return y


wconv = lib.kvowConv
wconv.argtypes = [P, I, P, I, P, I, IP]
for lx, lh, mode, factor, small in ((1, 1, 0, 0, False), (37, 5, 0, 0, False), (5, 37, 1, 0, False),
                                    (100, 100, 2, 3, True), (64, 9, 2, -2, True),
                                    (64, 9, 2, -17, True), (64, 9, 2, 20, False),
                                    (300, 70, 3, 2, False)):
    lim = 41 if small else 32768
    x = rng.integers(-lim, lim, lx).astype(np.int16)
    h = rng.integers(-lim, lim, lh).astype(np.int16)
    h[0] = 0
    y = np.full(lx + lh - 1, 0x5A5A, np.int16)  # whatever the output held before
    f = ctypes.c_int(factor)
    wconv(ptr(x), lx, ptr(h), lh, ptr(y), mode, ctypes.byref(f))
    exact(f"kvowConv ({lx}, {lh}) mode {mode} factor {factor}", y.astype(np.int64),
          conv16(x.astype(np.int64), h.astype(np.int64), mode, factor))

# The 2-D direct path the same way, the kernel outside; autocorrelation normalised as floats.
x = (np.arange(36) * 2311 - 30000).astype(np.int16).reshape(4, 9)
h = (np.arange(9) * 977 - 4000).astype(np.int16).reshape(3, 3)
want = np.zeros((6, 11), np.int64)
for bi in range(3):
    for bj in range(3):
        want[bi:bi + 4, bj:bj + 9] = np.clip(want[bi:bi + 4, bj:bj + 9] +
                                             wrap16(x.astype(np.int64) * int(h[bi, bj])), -32768, 32767)
y = np.zeros((6, 11), np.int16)
lib.kvowConv2D(ptr(x), 9, 4, ptr(h), 3, 3, ptr(y), 1, None)
exact("kvowConv2D direct", y.astype(np.int64), want)
x = np.full(12, 300, np.int16)  # constant: the sum at lag k is (12 - k) * 90000
for kind in (0, 1, 2, 5):
    dst, f = np.zeros(6, np.int16), ctypes.c_int(4)
    lib.kvowAutoCorr(ptr(x), 12, ptr(dst), 6, kind, 2, ctypes.byref(f))
    sums = (12.0 - np.arange(6)) * 90000
    v = sums / 12 if kind == 1 else sums / (12 - np.arange(6)) if kind == 2 else sums
    exact(f"kvowAutoCorr type {kind}", dst.astype(np.int64), wrap16(np.trunc(v / 16).astype(np.int64)))

# kvowFilter2D: the kernel quantised with one exponent e (sum |k| = 2.245 gives 13), 64-bit sums
# of the quantised kernel shifted back by e and saturated; the kernel comes back unchanged.
src = ((np.arange(77) * 7919) % 20000 - 10000).astype(np.int16).reshape(7, 11)
k = np.array([[0.25, -0.5, 0.125], [1.0, 0.3, -0.07]], np.float32)
keep = k.copy()
dst = np.zeros((7, 11), np.int16)
lib.kvowFilter2D(ptr(src), 11, 7, ptr(k), 3, 2, ptr(dst), 1, None)
q = np.trunc(np.ldexp(k.astype(np.float64), 13) + np.where(k < 0, -0.5, 0.5)).astype(np.int64)
pad = np.zeros((9, 13), np.int64)
pad[1:8, 1:12] = src  # dst[r, c] sums q[i, j] * src[r + 1 - i, c + 1 - j]
want = sum(q[i, j] * pad[2 - i:9 - i, 2 - j:13 - j] for i in range(2) for j in range(3))
exact("kvowFilter2D", dst.astype(np.int64), np.clip(want >> 13, -32768, 32767))
exact("kvowFilter2D kernel restored", k, keep)

# ---- 2-D convolution against scipy.signal.convolve2d, every method
for code, t in (("s", np.float32), ("d", np.float64)):
    fn = getattr(lib, f"kvo{code}Conv2D")
    fn.argtypes = [P, I, I, P, I, I, P]
    fn.restype = None
    for (xr, xc), (hr, hc) in (((5, 7), (3, 4)), ((1, 300), (1, 40)), ((300, 1), (20, 1)),
                               ((40, 40), (20, 20)), ((120, 100), (9, 11)), ((30, 200), (12, 10)),
                               ((10, 90), (60, 9)), ((64, 64), (64, 64)), ((200, 20), (10, 30))):
        x, h = data(t, (xr, xc)), data(t, (hr, hc))
        y = np.zeros((xr + hr - 1, xc + hc - 1), t)
        fn(ptr(x), xc, xr, ptr(h), hc, hr, ptr(y))
        want = scipy.signal.convolve2d(x.astype(np.float64), h.astype(np.float64), "full")
        close(f"kvo{code}Conv2D({xr}x{xc}, {hr}x{hc})", y, want,
              TOL[np.dtype(t)] * 40)

# ---- 2-D filtering against scipy.ndimage.convolve with zero borders; the kernel comes back
for code, t in (("s", np.float32), ("d", np.float64)):
    fn = getattr(lib, f"kvo{code}Filter2D")
    fn.argtypes = [P, I, I, P, I, I, P]
    fn.restype = None
    for (r, c), (kr, kc) in (((30, 40), (1, 1)), ((30, 40), (3, 3)), ((64, 50), (4, 6)),
                             ((100, 120), (15, 15)), ((200, 130), (31, 17)), ((90, 90), (2, 2)),
                             ((128, 128), (40, 33))):
        src, k = data(t, (r, c)), data(t, (kr, kc))
        keep = k.copy()
        dst = np.zeros((r, c), t)
        fn(ptr(src), c, r, ptr(k), kc, kr, ptr(dst))
        want = scipy.ndimage.convolve(src.astype(np.float64), keep.astype(np.float64),
                                      mode="constant", cval=0.0)
        close(f"kvo{code}Filter2D({r}x{c}, {kr}x{kc})", dst, want, TOL[np.dtype(t)] * 40)
        exact(f"kvo{code}Filter2D kernel restored ({kr}x{kc})", k, keep)

# ---- resampling
up = lib.kvosUpSample
up.argtypes = [P, I, P, IP, I, IP]
down = lib.kvosDownSample
down.argtypes = [P, I, P, IP, I, IP]
sig = rng.uniform(-1, 1, 103).astype(np.float32)
for factor in (1, 2, 5):
    for phase in range(factor):
        out = np.zeros(103 * factor, np.float32)
        n, ph = ctypes.c_int(0), ctypes.c_int(phase)
        up(ptr(sig), 103, ptr(out), ctypes.byref(n), factor, ctypes.byref(ph))
        want = np.zeros(103 * factor, np.float32)
        want[phase::factor] = sig
        exact(f"kvosUpSample factor {factor} phase {phase}", out, want)
        # Down-sampling in blocks of 10 continues the one-call sequence.
        got, ph = [], ctypes.c_int(phase)
        for s in range(0, 103, 10):
            blk = np.ascontiguousarray(sig[s:s + 10])
            o = np.zeros(10, np.float32)
            down(ptr(blk), blk.size, ptr(o), ctypes.byref(n), factor, ctypes.byref(ph))
            got.extend(o[:n.value])
        exact(f"kvosDownSample blocks factor {factor} phase {phase}", np.array(got, np.float32),
              sig[phase::factor])

finish()
