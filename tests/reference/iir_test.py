"""IIR filters of libkvom6 against scipy.signal.lfilter and sosfilt.

Usage: python3 iir_test.py path/to/libkvom6.so

Direct forms of every member against lfilter (taps with a0 != 1, blocks split in two must equal
one block), biquad cascades against sosfilt (Butterworth and elliptic designs of order 8 as
sections, each section rescaled so that its a0 and b0 are not 1), the high-level records against
the same references, and the 16-bit integer path against the integer rules written out below.
"""
import ctypes as C

import numpy as np
from scipy import signal

from kvoref import P, check, finish, fn, note, ptr

rng = np.random.default_rng(11)


class Taps(C.Structure):
    _fields_ = [("order", C.c_int), ("taps", C.c_void_p), ("iirType", C.c_int), ("isBq", C.c_int)]


class Dly(C.Structure):
    _fields_ = [("dlyl", C.c_void_p)]


class State(C.Structure):
    _fields_ = [("order", C.c_int), ("taps", C.c_void_p), ("iirType", C.c_int), ("isBq", C.c_int),
                ("dlyl", Dly), ("initMark", C.c_int)]


# member letters -> (taps dtype, samples dtype, output dtype, taps letter, delay letter)
MEMBERS = {
    "s": (np.float32, np.float32, np.float32, "s", "s"),
    "c": (np.complex64, np.complex64, np.complex64, "c", "c"),
    "cs": (np.float32, np.complex64, np.complex64, "s", "c"),
    "sc": (np.complex64, np.float32, np.complex64, "c", "c"),
    "d": (np.float64, np.float64, np.float64, "d", "d"),
    "z": (np.complex128, np.complex128, np.complex128, "z", "z"),
    "zd": (np.float64, np.complex128, np.complex128, "d", "z"),
    "dz": (np.complex128, np.float64, np.complex128, "z", "z"),
}


def tolerance(dtype):
    return 2e-5 if dtype in (np.float32, np.complex64) else 1e-11


def signal_of(dtype, n):
    x = rng.standard_normal(n)
    if np.issubdtype(dtype, np.complexfloating):
        x = x + 1j * rng.standard_normal(n)
    return x.astype(dtype)


def complexify(v, dtype, axis=-1):
    """Complex taps by a frequency shift: tap k times e^(i theta k) moves every pole and zero by
    theta, so a stable filter stays stable."""
    if np.issubdtype(dtype, np.complexfloating):
        k = np.arange(v.shape[axis])
        return (v * np.exp(1j * rng.uniform(-0.5, 0.5) * k)).astype(dtype)
    return v.astype(dtype)


def spread_poles(order):
    """A well-conditioned denominator: poles of radius 0.5 .. 0.85 spread over the circle."""
    half = order // 2
    r = rng.uniform(0.5, 0.85, half)
    th = (np.arange(half) + rng.uniform(0.2, 0.8, half)) * np.pi / max(half, 1)
    poles = np.concatenate([r * np.exp(1j * th), r * np.exp(-1j * th)])
    if order % 2:
        poles = np.append(poles, rng.uniform(-0.8, 0.8))
    return np.real(np.poly(poles)), rng.standard_normal(order + 1) * 0.3


def low_filter(member, taps, count, bq, x, split):
    tdt, xdt, ydt, tl, dl = MEMBERS[member]
    t = np.array(taps, dtype=tdt)
    ts, ds = Taps(), Dly()
    fn(f"kvo{tl}IirlInit{'Bq' if bq else ''}", None, C.c_int, P, C.c_int, C.POINTER(Taps))(
        0, ptr(t), count, C.byref(ts))
    order = 2 * count if bq else count
    dly = np.full(max(order, 1), 7, dtype=MEMBERS[dl][0])
    fn(f"kvo{dl}IirlInitDlyl", None, C.POINTER(Taps), P, C.POINTER(Dly))(
        C.byref(ts), ptr(dly), C.byref(ds))
    block = fn(f"kvo{member}bIirl", None, C.POINTER(Taps), C.POINTER(Dly), P, P, C.c_int)
    y = np.zeros(len(x), dtype=ydt)
    for lo, hi in ((0, split), (split, len(x))):
        xs, ys = np.ascontiguousarray(x[lo:hi]), np.zeros(hi - lo, dtype=ydt)
        block(C.byref(ts), C.byref(ds), ptr(xs), ptr(ys), hi - lo)
        y[lo:hi] = ys
    return y


def high_filter(member, taps, count, bq, x):
    tdt, xdt, ydt, _, _ = MEMBERS[member]
    t = np.array(taps, dtype=tdt)
    kept = t.copy()
    st = State()
    fn(f"kvo{member}IirInit{'Bq' if bq else ''}", None, C.c_int, P, C.c_int, C.POINTER(State))(
        0, ptr(t), count, C.byref(st))
    check(f"{member} high-level taps untouched", np.array_equal(t, kept))
    y = np.zeros(len(x), dtype=ydt)
    rc = fn(f"kvo{member}bIir", C.c_int, C.POINTER(State), P, P, C.c_int)(
        C.byref(st), ptr(x), ptr(y), len(x))
    check(f"{member} high-level status", rc == 0, rc)
    fn("kvoIirFree", None, C.POINTER(State))(C.byref(st))
    return y


def compare(name, y, ref, dtype):
    err = np.max(np.abs(y - ref)) / max(1.0, np.max(np.abs(ref)))
    check(name, err <= tolerance(dtype), f"relative error {err:.3g}")
    return err



# ---- direct forms: lfilter ----
N = 3000
for member, (tdt, xdt, ydt, _, _) in MEMBERS.items():
    for order in (0, 1, 2, 5, 8, 16, 19):
        if order == 0:
            b, a = np.array([0.7]), np.array([1.0])
        else:
            a, b = spread_poles(order) if order > 4 else signal.butter(order, 0.3)[::-1]
        g = rng.uniform(0.5, 3.0)
        b, a = complexify(b * g, tdt), complexify(a * g, tdt)
        x = signal_of(xdt, N)
        ref = signal.lfilter(b.astype(np.complex128 if np.iscomplexobj(b) else np.float64),
                             a.astype(np.complex128 if np.iscomplexobj(a) else np.float64),
                             x.astype(np.complex128 if np.iscomplexobj(x) else np.float64))
        taps = np.concatenate([b, a])
        y = low_filter(member, taps, order, False, x, N // 3)
        note(member, compare(f"{member} direct order {order}", y, ref, ydt))
        compare(f"{member} high direct {order}", high_filter(member, taps, order, False, x), ref, ydt)

# ---- biquads: sosfilt ----
designs = {
    "butter8": signal.butter(8, 0.2, output="sos"),
    "ellip8": signal.ellip(8, 0.5, 60, 0.3, output="sos"),
    "cheby2": signal.cheby2(6, 40, [0.2, 0.5], btype="bandpass", output="sos"),
}
for member, (tdt, xdt, ydt, _, _) in MEMBERS.items():
    for dname, sos in designs.items():
        for sections in sorted({1, 2, 3, len(sos)}):
            s = sos[:sections].copy()
            s[:, :3] *= rng.uniform(0.5, 2.0, (sections, 1))
            s[:, 3:] *= rng.uniform(0.5, 2.0, (sections, 1))
            s = np.concatenate([complexify(s[:, :3], tdt), complexify(s[:, 3:], tdt)], axis=1)
            x = signal_of(xdt, N)
            sn = s.astype(np.complex128 if np.iscomplexobj(s) else np.float64)
            sn = sn / sn[:, 3:4]
            sn[:, 3] = 1
            ref = signal.sosfilt(sn, x.astype(np.complex128 if np.iscomplexobj(x) else np.float64))
            y = low_filter(member, s.ravel(), sections, True, x, 1001)
            note(member, compare(f"{member} {dname} x{sections}", y, ref, ydt))
            compare(f"{member} high {dname} x{sections}", high_filter(member, s.ravel(), sections, True, x), ref, ydt)

# ---- 16-bit integer path, from the integer rules ----


def wrap32(v):
    return ((int(v) + 2**31) % 2**32) - 2**31


def low16(v):
    return ((int(v) + 2**15) % 2**16) - 2**15


def sat16(v):
    return max(-32768, min(32767, v))


def ref_direct16(w, order, x):
    k = min(w[0], 31)
    d = [0] * order
    out = []
    for xi in x:
        if order == 0:
            out.append(low16(wrap32(w[1] * xi) >> k))
            continue
        t = wrap32(wrap32(w[1] * xi) + d[0]) >> k
        y = sat16(t)
        for j in range(1, order):
            d[j - 1] = wrap32(wrap32(w[2 * j] * y + w[2 * j + 1] * xi) + d[j])
        d[order - 1] = wrap32(w[2 * order] * y + w[2 * order + 1] * xi)
        out.append(low16(t))
    return out


def ref_biquad16(w, quads, x):
    k = min(w[0], 31)
    g = w[1]
    st = [(0, 0)] * quads
    out = []
    for xi in x:
        a = low16(xi >> 1) * g
        for j in range(quads):
            na1, na2, b1, b2 = w[2 + 4 * j: 6 + 4 * j]
            d0, d1 = st[j]
            fb, ff = wrap32(na1 * d0 + na2 * d1), wrap32(b1 * d0 + b2 * d1)
            t = wrap32(a + 4 * fb)
            st[j] = (low16((t >> k) >> 2), d0)
            a = wrap32(t + 4 * ff)
        out.append(low16(wrap32(2 * a) >> k))
    return out


def run16(taps, count, bq, x, mode=0, factor=0):
    t = np.array(taps, dtype=np.float32)
    ts, ds = Taps(), Dly()
    fn(f"kvowIirlInit{'Bq' if bq else ''}", None, C.c_int, P, C.c_int, C.POINTER(Taps))(
        0, ptr(t), count, C.byref(ts))
    dly = np.zeros(max(ts.order, 1), dtype=np.int32)
    fn("kvowIirlInitDlyl", None, C.POINTER(Taps), P, C.POINTER(Dly))(C.byref(ts), ptr(dly), C.byref(ds))
    xs = np.array(x, dtype=np.int16)
    y = np.zeros(len(x), dtype=np.int16)
    sf = C.c_int(factor)
    fn("kvowbIirl", None, C.POINTER(Taps), C.POINTER(Dly), P, P, C.c_int, C.c_int, C.POINTER(C.c_int))(
        C.byref(ts), C.byref(ds), ptr(xs), ptr(y), len(x), mode, C.byref(sf))
    return t.view(np.int16).tolist(), y.tolist(), sf.value


x16 = rng.integers(-32768, 32768, 2000).tolist()
for order in (0, 1, 2, 4, 7):
    b, a = (np.array([0.4]), np.array([1.0])) if order == 0 else signal.cheby1(order, 1, 0.35)
    words, y, _ = run16(np.concatenate([b, a]) * 1.7, order, False, x16)
    check(f"w direct order {order}", y == ref_direct16(words, order, x16))
for dname, sos in designs.items():
    words, y, _ = run16(sos.ravel(), len(sos), True, x16)
    check(f"w biquads {dname}", y == ref_biquad16(words, len(sos), x16))
# Designs in Q14 stay stable: a long noise burst and then silence keep the output near the float
# filter's and let it die away.
stable = {"butter2": signal.butter(2, 0.25, output="sos"),
          "cheby1x4": signal.cheby1(4, 1, 0.4, output="sos"),
          "butter6hp": signal.butter(6, 0.3, btype="high", output="sos")}
for dname, sos in stable.items():
    noise = (rng.standard_normal(6000) * 3000).astype(int).tolist() + [0] * 2000
    words, yq, _ = run16(sos.ravel(), len(sos), True, noise)
    ref = signal.sosfilt(sos, np.array(noise, dtype=float))
    err = np.max(np.abs(np.array(yq) - ref))
    check(f"w biquads {dname} Q{words[0]}", words[0] >= 13 and err < 0.05 * np.max(np.abs(ref)), (err, np.max(np.abs(ref))))
    check(f"w biquads {dname} decays", max(abs(v) for v in yq[-200:]) <= 64, yq[-10:])
# Fixed scale shifts the input before the integer path.
words, y, _ = run16(designs["butter8"].ravel(), 4, True, x16, mode=2, factor=3)
check("w fixed scale", y == ref_biquad16(words, 4, [v >> 3 for v in x16]))

finish()
