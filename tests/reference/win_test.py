"""Window functions and FIR design of the shared library against numpy/scipy.

Usage: win_test.py path/to/libkvom6.so

Float and double windows are compared with scipy.signal.windows (sym=True); Kaiser also with a
model of its Bessel approximation, since the library's I0 is a polynomial approximation. The
16-bit windows follow fixed-point rules, modelled exactly below in integer arithmetic; the model is
also held against the scipy windows. FIR design is compared with scipy.signal.firwin where it
accepts the case, and with the window-method formulas elsewhere.
"""
import ctypes
import math

import numpy as np
from scipy.signal import firwin
from scipy.signal import windows as sw

from kvoref import check, finish, lib, note, ptr

lib.kvoRedirectError(lib.kvoNulDevReport)
lib.kvoSetErrMode(1)

NAMES = ("Bartlett", "Hann", "Hamming", "Blackman", "BlackmanStd", "BlackmanOpt", "Kaiser")
TYPES = {"s": (np.float32, ctypes.c_float), "c": (np.complex64, ctypes.c_float),
         "d": (np.float64, ctypes.c_double), "z": (np.complex128, ctypes.c_double),
         "w": (np.int16, ctypes.c_float), "v": (np.int16, ctypes.c_float)}
for t, (_, ctype) in TYPES.items():
    for name in NAMES:
        fn = getattr(lib, f"kvo{t}Win{name}")
        fn.restype = ctypes.c_int
        fn.argtypes = [ctypes.c_void_p, ctypes.c_int] + (
            [ctype] if name in ("Blackman", "Kaiser") else [])


def f32(x):
    return float(np.float32(x))


def opt_alpha(n):
    c = 0.5 / math.cos(math.pi / (n - 1))
    return -(c * c)


def blackman_coeffs(alpha):
    return [(alpha + 1) / 2, 0.5, -alpha / 2]


def i0_model(x2):
    """The library's I0 of sqrt(x2): Abramowitz and Stegun 9.8.1 / 9.8.2."""
    if x2 < 14.0625:
        return i0_small(x2 / 14.0625)
    return i0_big(math.sqrt(x2))


def i0_small(t2):
    return 1.0 + t2 * (3.5156229 + t2 * (3.0899424 + t2 * (1.2067492 + t2 * (
        0.2659732 + t2 * (0.0360768 + t2 * 0.0045813)))))


def i0_big(x):
    u = 3.75 / x
    poly = 0.39894228 + u * (0.01328592 + u * (0.00225319 + u * (-0.00157565 + u * (
        0.00916281 + u * (-0.02057706 + u * (0.02635537 + u * (-0.01647633 + u * 0.00392377)))))))
    return math.exp(x) / math.sqrt(x) * poly


def kaiser_model(n, beta):
    """Weights of pairs 0 .. n//2-1, formed as the library forms them."""
    m = n - 1
    x = abs(beta * m / 2)
    t = x / 3.75
    inv = 1.0 / (i0_small(t * t) if x < 3.75 else i0_big(x))
    b2, x2, out = beta * beta, 0.0, []
    for k in range(n // 2):
        out.append(i0_model(x2) * inv)
        x2 += b2 * float(m - 1 - 2 * k)
    return out


def full(half, n):
    """A symmetric window of length n from its first half (middle weight 1)."""
    w = np.ones(n)
    w[: n // 2] = half
    w[n - n // 2:] = half[::-1]
    return w


def reference(name, n, single, beta=0.0):
    if name == "Bartlett":
        return sw.bartlett(n)
    if name == "Hann":
        return sw.hann(n)
    if name == "Hamming":
        return sw.hamming(n)
    if name == "BlackmanStd":
        return sw.general_cosine(n, blackman_coeffs(f32(-0.16)))
    if name == "BlackmanOpt":
        if n == 3:  # alpha = -0.5/(1 + cos(pi)) is unbounded; the edge weight is 0 for any alpha
            return np.array([0.0, 1.0, 0.0])
        a = opt_alpha(n)
        return sw.general_cosine(n, blackman_coeffs(f32(a) if single else a))
    if name == "Blackman":
        return sw.general_cosine(n, blackman_coeffs(beta))
    return sw.kaiser(n, beta * (n - 1) / 2)


def call(t, name, buf, n, param=None):
    fn = getattr(lib, f"kvo{t}Win{name}")
    return fn(ptr(buf), n) if param is None else fn(ptr(buf), n, param)


# ---- float and double windows ----

rng = np.random.default_rng(7)
for n in (3, 4, 5, 16, 17, 255, 1000, 4097):
    for t in "scdz":
        dtype = TYPES[t][0]
        single = t in "sc"
        x = rng.uniform(-1, 1, n)
        if t in "cz":
            x = x + 1j * rng.uniform(-1, 1, n)
        for name, param in (("Bartlett", None), ("Hann", None), ("Hamming", None),
                            ("Blackman", 0.3 if n < 1000 else -0.2), ("BlackmanStd", None),
                            ("BlackmanOpt", None), ("Kaiser", 0.0), ("Kaiser", 0.02),
                            ("Kaiser", 8.0 / (n - 1) * 2), ("Kaiser", 600.0 / (n - 1))):
            p = None if param is None else (f32(param) if single else param)
            buf = x.astype(dtype)
            status = call(t, name, buf, n, p)
            want = x.astype(dtype).astype(np.complex128 if t in "cz" else np.float64) * \
                reference(name, n, single, p or 0.0)
            err = np.max(np.abs(buf - want) / np.maximum(np.abs(x), 1e-300))
            # Rounding to float, and for Kaiser the Bessel approximation (about 2e-7).
            tol = (6e-8 if single else 1e-15) + (4e-7 if name == "Kaiser" else 0) + 2e-16 * n
            family = "Kaiser" if name == "Kaiser" else "cosine and Bartlett"
            note(f"{'float' if single else 'double'} {family} windows vs scipy", err)
            check(f"kvo{t}Win{name}({p}) N={n}", status == 0 and err <= tol,
                  f"status {status}, relative error {err:.3g} > {tol:.3g}")
            if name == "Kaiser":
                # Against the exact Bessel model: only the rounding of the products remains.
                wm = full(np.array(kaiser_model(n, p)), n)
                werr = np.max(np.abs(buf - x.astype(dtype) * wm) / np.maximum(np.abs(x), 1e-300))
                note("Kaiser vs its Bessel model", werr)
                check(f"kvo{t}WinKaiser({p}) N={n} model", werr <= (6e-8 if single else 4e-16),
                      f"relative error {werr:.3g}")


# ---- 16-bit windows: the fixed-point rules, modelled in integers ----

def sat(x):
    return max(-32768, min(32767, x))


def fixed_cosines(n, amp, q, count):
    """amp*cos(k*theta) in Qq, k = 1..count: two phasors (odd, even k), each turned by 2 theta."""
    k = math.cos(2 * math.pi / (n - 1))
    unit = float(1 << q)
    c, s = int(unit * k), int(unit * math.sqrt(1 - k * k))
    rc, rs = (c * c - s * s) >> q, (s * c) >> (q - 1)
    lanes = [[(amp * c) >> q, (amp * s) >> q], [(amp * rc) >> q, (amp * rs) >> q]]
    out = []
    for i in range(count):
        a, b = lanes[i % 2]
        out.append(a)
        lanes[i % 2] = [sat((a * rc - b * rs) >> q), sat((a * rs + b * rc) >> q)]
    return out


def trunc32(x):
    return int(x) if -2147483649.0 < x < 2147483648.0 else -2147483648


def short_weights(name, n, alpha=0.0):
    """(shift, weights of pairs 0 .. n//2-1) of the 16-bit windows except Kaiser."""
    half, m = n // 2, n - 1
    if name == "Bartlett":
        step = 65536 // m
        return 15, [k * step for k in range(half)]
    if name in ("BlackmanStd", "BlackmanOpt", "Blackman"):
        if abs(alpha) < 1e-5:
            name = "Hann"
        else:
            root = math.sqrt(abs(alpha))
            k0 = trunc32(1024 * (16 * alpha + 8 + 1 / alpha))
            k1, k2 = trunc32(4096 * root / alpha), trunc32(16384 * root)
            ws = [0]
            for c in fixed_cosines(n, 16384, 14, half - 1):
                u = ((k2 * c) >> 14) + k1
                ws.append(k0 + ((u * u) >> 14) if alpha < 0 else k0 - ((u * u) >> 14))
            return 14, ws
    if name == "Hann":
        return 15, [0] + [(32768 - c) >> 1 for c in fixed_cosines(n, 32768, 15, half - 1)]
    return 15, [2622] + [17695 - h for h in fixed_cosines(n, 15073, 15, half - 1)]


def short_model(name, x, alpha=0.0, beta=0.0):
    n = len(x)
    y = list(x)
    if name == "Kaiser":
        ws = kaiser_model(n, beta)
        for k, w in enumerate(ws):
            for j in (k, n - 1 - k):
                y[j] = sat(round(x[j] * w))
        return y
    shift, ws = short_weights(name, n, alpha)
    for k, w in enumerate(ws):
        for j in (k, n - 1 - k):
            y[j] = sat((x[j] * w) >> shift)
    return y


deviation = {}
for n in (3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 31, 64, 101, 1000):
    xs = [int(v) for v in rng.integers(-32768, 32768, 2 * n)]
    xs[0], xs[1] = 32767, -32768
    for name, param in (("Bartlett", None), ("Hann", None), ("Hamming", None),
                        ("Blackman", 0.4), ("Blackman", -0.3), ("Blackman", 1e-6),
                        ("BlackmanStd", None), ("BlackmanOpt", None), ("Kaiser", 0.0),
                        ("Kaiser", 12.0 / (n - 1))):
        p = None if param is None else f32(param)
        alpha = {"BlackmanStd": f32(-0.16), "BlackmanOpt": f32(opt_alpha(n))}.get(name, p or 0.0)
        for t in "wv":
            data = xs[:n] if t == "w" else xs
            buf = np.array(data, dtype=np.int16)
            status = call(t, name, buf, n, p)
            if t == "w":
                want = short_model(name, data, alpha, p or 0.0)
            else:  # both parts of each element by the same weight
                want = [0] * (2 * n)
                want[0::2] = short_model(name, data[0::2], alpha, p or 0.0)
                want[1::2] = short_model(name, data[1::2], alpha, p or 0.0)
            bad = [i for i in range(len(want)) if int(buf[i]) != want[i]]
            check(f"kvo{t}Win{name}({p}) N={n} exact", status == 0 and not bad,
                  f"status {status}, first difference at {bad[:1]}")
            # How far the fixed-point window is from the floating-point one, in units of x.
            if t == "w" and n <= 101:
                ref = np.clip(np.array(data) * reference(name, n, True, alpha if "Black" in name
                                                         else p or 0), -32768, 32767)
                dev = np.max(np.abs(buf - ref))
                deviation[name] = max(deviation.get(name, 0), dev)
for name, dev in sorted(deviation.items()):
    # A few units, growing with the length as the rotated phasors lose magnitude.
    check(f"kvowWin{name} close to scipy", dev <= 200, f"{dev:.1f} units")
    note(f"16-bit {name} vs scipy, N <= 101 (units)", dev)


# ---- limits: two points are too few and a Kaiser beta with beta*(N-1)/2 beyond 308 is refused,
# the data left alone; pairs k and N-1-k get the same weight, the middle of an odd length is never
# touched (a NaN or an extreme value there stays) and nothing past N is written ----
for t, (dtype, _) in TYPES.items():
    wide = 2 if t == "v" else 1
    for name in NAMES:
        param = {"Blackman": -0.2, "Kaiser": 0.3}.get(name)
        p = None if param is None else (f32(param) if t in "scwv" else param)
        for n in (3, 4, 9, 300, 301):
            buf = np.full((n + 2) * wide, -32768 if dtype == np.int16 else 7.25 - 1.5j if t in "cz"
                          else 7.25, dtype)
            mid = n // 2 * wide
            if n % 2:
                buf[mid:mid + wide] = 32767 if dtype == np.int16 else np.nan
            before = buf.copy()
            status = call(t, name, buf, n, p)
            body = buf[:n * wide].reshape(n, wide)
            check(f"kvo{t}Win{name} N={n} symmetric, middle and tail untouched", status == 0 and
                  np.array_equal(body, body[::-1], equal_nan=True) and
                  np.array_equal(buf[n * wide:], before[n * wide:]) and
                  np.array_equal(buf[mid:mid + wide], before[mid:mid + wide], equal_nan=True) ==
                  bool(n % 2))
        for n, q, want in [(2, p, -5)] + ([(101, 6.2, -5), (101, 6.1, 0)] if name == "Kaiser"
                                          else []):
            buf = np.full(202, 100, dtype)
            status = call(t, name, buf, n, q)
            check(f"kvo{t}Win{name}({q}) N={n} status", status == want and
                  (want == 0 or np.all(buf == 100)))


# ---- FIR design ----

for fn in ("kvodFirLowpass", "kvodFirHighpass"):
    getattr(lib, fn).argtypes = [ctypes.c_double, ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                 ctypes.c_int]
for fn in ("kvodFirBandpass", "kvodFirBandstop"):
    getattr(lib, fn).argtypes = [ctypes.c_double, ctypes.c_double, ctypes.c_void_p, ctypes.c_int,
                                 ctypes.c_int, ctypes.c_int]


def design_window(win, n):
    if win == 1:
        return "bartlett"
    if win == 2:
        return ("general_cosine", blackman_coeffs(opt_alpha(n)))
    if win == 3:
        return "hamming"
    if win == 4:
        return "hann"
    return "boxcar"


def formula(kind, fl, fh, n, win, normal):
    """The window-method taps from the closed formulas, for the cases firwin refuses."""
    m = np.arange(n) - (n - 1) / 2
    with np.errstate(invalid="ignore", divide="ignore"):
        if kind == "high":  # even length: antisymmetric
            h = -np.cos(2 * np.pi * fl * m) / (np.pi * m)
            sign = (-1.0) ** np.arange(n)
        else:  # bandstop
            h = (np.sin(np.pi * m) - np.sin(2 * np.pi * fh * m) + np.sin(2 * np.pi * fl * m)) / (
                np.pi * m)
            sign = np.ones(n)
    w = sw.get_window(design_window(win, n), n, fftbins=False)
    h = h * w
    if normal:
        h = h / abs(np.sum(h * sign))
    return h


# The limits of the edges and the length, each with its own status; nothing is written then.
TINY, SMALLEST = 2.0**-1043, 2.0**-1042
for kind in ("low", "high", "pass", "stop"):
    for fl, fh, null, n, one_edge, two_edges in (
            (0.1, 0.2, True, 4, -9, -9), (-1, 0.2, False, 4, -10, -10), (0.0, 0.2, False, 9, -11, -11),
            (-0.0, 0.2, False, 9, -11, -11), (0.5, 0.6, False, 9, -11, -11),
            (TINY, 0.2, False, 9, -11, -11), (np.nan, 0.2, False, 9, -11, -11),
            (0.1, 0.5, False, 9, 0, -11), (0.1, -0.2, False, 9, 0, -11), (0.2, 0.2, False, 9, 0, -12),
            (0.3, 0.2, False, 9, 0, -12), (SMALLEST, 0.25, False, 5, 0, 0)):
        taps = np.full(16, 3.5)
        lib.kvoSetErrStatus(-5)
        t = None if null else ptr(taps)
        status = (getattr(lib, f"kvodFir{kind.capitalize()}pass")(fl, t, n, 3, 1)
                  if kind in ("low", "high") else
                  getattr(lib, f"kvodFirBand{kind}")(fl, fh, t, n, 3, 1))
        want = one_edge if kind in ("low", "high") else two_edges
        check(f"{kind} design ({fl}, {fh}) length {n}", status == want and
              (status != 0 or lib.kvoGetErrStatus() == 0) and (status == 0 or np.all(taps == 3.5)),
              f"status {status}")

for n in (5, 6, 7, 16, 33, 64, 101):
    for win in (-1, 0, 1, 2, 3, 4, 5):
        for normal in (0, 1):
            cases = [("low", 0.2, None), ("low", 0.37, None), ("high", 0.1, None),
                     ("high", 0.3, None), ("pass", 0.1, 0.3), ("stop", 0.15, 0.35)]
            for kind, fa, fb in cases:
                taps = np.full(n, np.nan)
                if kind == "low":
                    status = lib.kvodFirLowpass(fa, ptr(taps), n, win, normal)
                    want = firwin(n, fa, window=design_window(win, n), scale=bool(normal), fs=1.0)
                elif kind == "high":
                    status = lib.kvodFirHighpass(fa, ptr(taps), n, win, normal)
                    want = (firwin(n, fa, window=design_window(win, n), pass_zero=False,
                                   scale=bool(normal), fs=1.0) if n % 2 else
                            formula("high", fa, None, n, win, normal))
                elif kind == "pass":
                    status = lib.kvodFirBandpass(fa, fb, ptr(taps), n, win, normal)
                    want = firwin(n, [fa, fb], window=design_window(win, n), pass_zero=False,
                                  scale=bool(normal), fs=1.0)
                else:
                    status = lib.kvodFirBandstop(fa, fb, ptr(taps), n, win, normal)
                    want = (firwin(n, [fa, fb], window=design_window(win, n), scale=bool(normal),
                                   fs=1.0) if n % 2 else
                            formula("stop", fa, fb, n, win, normal))
                err = np.max(np.abs(taps - want))
                note("FIR design vs firwin / formulas", err)
                check(f"{kind} {fa},{fb} N={n} win={win} norm={normal}",
                      status == 0 and err <= 1e-13 * n, f"status {status}, error {err:.3g}")


finish()
