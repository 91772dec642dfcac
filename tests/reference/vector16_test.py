"""16-bit block arithmetic, element functions and statistics of libkvom6 against their integer
rules written out with numpy, over every 16-bit value, every scale mode and a sweep of factors.
The adversarial driver holds the other instruction-set levels to the same bits.

Usage: python3 vector16_test.py path/to/libkvom6.so
"""
import ctypes as C

import numpy as np

from kvoref import CS, I, P, check, finish, fn, lib, ptr

lib.kvoRedirectError(lib.kvoNulDevReport)
lib.kvoSetErrMode(1)
rng = np.random.default_rng(16)
ALL = np.arange(-32768, 32768, dtype=np.int16)
N = len(ALL)
FIXED = list(range(-17, 18)) + [31, 32, 33, -31, -32, -33, 2**31 - 1, -2**31]


def sampled(seed):
    """Random 16-bit values with the extremes every 97 elements."""
    v = np.random.default_rng(seed).integers(-32768, 32768, N).astype(np.int16)
    v[::97] = np.where(np.arange(len(v[::97])) % 2, -32768, 32767)
    return v


def stored(v, mode, factor, auto):
    """The shared rules: auto shifts by its factor; fixed modes shift right by at most 31 or left
    by at most 15 (a null factor: none); modes 1 and 3 saturate, all others wrap."""
    v = np.asarray(v, np.int64)
    if mode == 4:
        v = v >> auto
    elif mode in (2, 3) and factor is not None:
        v = v >> min(factor, 31) if factor > 0 else v << min(-factor, 15)
    return (np.clip(v, -32768, 32767) if mode in (1, 3) else v).astype(np.int16)


def auto_factor(v):
    """0 if every value fits, else the highest bit of the largest magnitude less 14."""
    v = np.asarray(v, np.int64)
    lo, hi = min(int(v.min()), 0), max(int(v.max()), 0)
    return 0 if lo >= -32768 and hi <= 32767 else max(hi, -lo).bit_length() - 1 - 14


def factor_ref(mode):
    factor = C.c_int(0)
    return factor, C.byref(factor)


# ---- block arithmetic: shifts count modulo 32; auto takes the smallest shift that fits ----
def arith(exact, mode, factor):
    if mode == 4:
        s = 0
        while np.any(exact >> s > 32767) or np.any(exact >> s < -32768):
            s += 1
        return (exact >> s).astype(np.int16), s
    shift = 0 if mode in (0, 1) else (factor % 32 if factor >= 0 else -((-factor) % 32))
    v = exact >> shift if shift >= 0 else exact << -shift
    return (np.clip(v, -32768, 32767) if mode in (1, 3) else v).astype(np.int16), factor


def exact_of(op, a, b):
    a, b = a.astype(np.int64), b.astype(np.int64)
    if op != "Mpy" or a.ndim == 1:
        return a + b if op == "Add" else a - b if op == "Sub" else a * b
    return np.stack((a[..., 0] * b[..., 0] - a[..., 1] * b[..., 1],
                     a[..., 0] * b[..., 1] + a[..., 1] * b[..., 0]), -1)


b_re, b_im = sampled(4), sampled(5)
for code, firsts, b in (("w", [ALL], sampled(1)),
                        ("v", [np.stack((ALL, sampled(2)), -1), np.stack((sampled(3), ALL), -1)],
                         np.stack((b_re, b_im), -1))):
    scalar = C.c_short if code == "w" else CS
    for op in ("Add", "Sub", "Mpy"):
        f3 = fn(f"kvo{code}b{op}3", None, P, P, P, I, I, P)
        f2 = fn(f"kvo{code}b{op}2", None, P, P, I, I, P)
        f1 = fn(f"kvo{code}b{op}1", None, scalar, P, I, I, P)
        for a in firsts:
            for mode in (0, 1, 2, 3, 4, 5, -1, 7):
                factors = FIXED if mode in (2, 3) else [0] if mode in (0, 1, 4) else [-3, 5]
                for factor in factors:
                    tag = f"kvo{code}b{op} mode {mode} factor {factor}"
                    want, want_factor = arith(exact_of(op, a, b), mode, factor)
                    out, got = np.zeros_like(a), C.c_int(factor)
                    f3(ptr(a), ptr(b), ptr(out), N, mode, C.byref(got))
                    check(tag + " form 3", np.array_equal(out, want) and got.value == want_factor)
                    if -5 <= factor <= 5:
                        out, got = a.copy(), C.c_int(factor)
                        f2(ptr(b), ptr(out), N, mode, C.byref(got))
                        check(tag + " form 2", np.array_equal(out, want) and got.value == want_factor)
                        for val in (b[0], b[97]):  # a random value and an extreme one
                            want1, want_factor = arith(exact_of(op, a, np.broadcast_to(val, a.shape)),
                                                       mode, factor)
                            out, got = a.copy(), C.c_int(factor)
                            arg = int(val) if code == "w" else CS(int(val[0]), int(val[1]))
                            f1(arg, ptr(out), N, mode, C.byref(got))
                            check(tag + " form 1", np.array_equal(out, want1) and
                                  got.value == want_factor)

# ---- element functions over every value ----
def unary(name, src, *extra):
    out = np.zeros_like(src)
    fn(name, None, P, P, I, *[type(e) for e in extra])(ptr(src), ptr(out), len(src), *extra)
    return out


def scaled(name, src, mode, factor):
    out, got = np.zeros_like(src), C.c_int(factor)
    fn(name, None, P, P, I, I, P)(ptr(src), ptr(out), len(src), mode, C.byref(got))
    return out, got.value


x = ALL.astype(np.int64)
check("kvowbSqrt2", np.array_equal(unary("kvowbSqrt2", ALL),
                                   np.where(x > 0, np.floor(np.sqrt(np.maximum(x, 0))), 0)))
check("kvowbLn2", np.array_equal(unary("kvowbLn2", ALL),
                                 np.where(x < 3, 0, np.floor(np.log(np.maximum(x, 1))))))
check("kvowbAbs2", np.array_equal(unary("kvowbAbs2", ALL), np.minimum(np.abs(x), 32767)))
for thresh, rel, want in ((-100, 0, np.maximum(x, -100)), (100, 1, np.minimum(x, 100))):
    check(f"kvowbThresh2 {rel}", np.array_equal(unary("kvowbThresh2", ALL, C.c_short(thresh),
                                                      C.c_int(rel)), want))

# Squares under modes whose bits are tested one at a time; the in-place form without a factor.
for src in (ALL, ALL[32768 - 150:32768 + 182]):
    sq = src.astype(np.int64) ** 2
    auto = auto_factor(sq)
    for mode in range(8):
        for factor in range(-17, 18) if mode & 6 == 2 else [0]:
            out, got = scaled("kvowbSqr2", src, mode, factor)
            want = stored(sq, 4, None, auto) if mode & 4 else stored(
                sq, mode & 3, factor if mode & 2 else None, 0)
            check(f"kvowbSqr2 mode {mode} factor {factor}", np.array_equal(out, want) and
                  got == (auto if mode & 4 else factor))
        inplace = src.copy()
        fn("kvowbSqr1", None, P, I, I, P)(ptr(inplace), len(src), mode & 3, None)
        check(f"kvowbSqr1 mode {mode & 3}", np.array_equal(inplace, stored(sq, mode & 3, None, 0)))
v = np.stack((ALL, rng.integers(-32768, 32768, N).astype(np.int16)), -1)
v[5] = (-32768, -32768)  # 2 re im = 2^31 needs 33 bits
re, im = v[:, 0].astype(np.int64), v[:, 1].astype(np.int64)
parts = np.stack((re * re - im * im, 2 * re * im), -1)
auto = auto_factor(parts)
check("kvovbSqr2 auto factor", auto == 17)
for mode in (0, 1, 3, 4):
    out, got = scaled("kvovbSqr2", v, mode, 3)
    check(f"kvovbSqr2 mode {mode}", np.array_equal(out, stored(parts, mode, 3, auto)))

# floor(e^x) in 64 bits, 2^31 - 1 from x = 22 on, by the shared rules.
for src in (ALL, np.array([-3, 0, 1, 5, 10, 11, 12], np.int16)):
    xs = src.astype(np.int64)
    e = np.where(xs < 0, 0, np.where(xs >= 22, 2**31 - 1,
                                     np.floor(np.exp(np.clip(xs, 0, 21))).astype(np.int64)))
    for mode in range(-1, 9):
        for factor in range(-17, 18) if mode in (2, 3) else [0]:
            out, got = scaled("kvowbExp2", src, mode, factor)
            check(f"kvowbExp2 mode {mode} factor {factor}", np.array_equal(
                out, stored(e, mode, factor, auto_factor(e))) and
                got == (auto_factor(e) if mode == 4 else factor))

# ---- statistics: normalisation rounds to nearest and wraps; exact dot products and norms ----
for factor in (2.0, -2.0, 3.0, 0.37, 1e-3, 4e-11, 1e-30, 1e30):
    for offset in (0, -7, 32767):
        out = np.zeros(N, np.int16)
        fn("kvowbNormalize", None, P, P, I, C.c_short, C.c_float)(ptr(ALL), ptr(out), N, offset,
                                                                  factor)
        r = np.rint((x - offset) * (1.0 / float(np.float32(factor))))
        want = np.where(np.abs(r) < 2.0**63, np.nan_to_num(r), 0).astype(np.int64).astype(np.int16)
        check(f"kvowbNormalize {factor} {offset}", np.array_equal(out, want))
for n in (1, 7, 8, 9, 31, 33, 1000, 70001):
    w, w2 = (rng.integers(-32768, 32768, (2, n)).astype(np.int16) if n < 70001 else
             np.full((2, n), -32768, np.int16))  # every product at its extreme: far past 32 bits
    c, c2 = (rng.integers(-32768, 32768, (2, n, 2)).astype(np.int16) if n < 70001 else
             np.full((2, n, 2), -32768, np.int16))
    ww = int(np.dot(w.astype(np.int64), w2.astype(np.int64)))
    cr, ci = c[:, 0].astype(np.int64), c[:, 1].astype(np.int64)
    dr, di = c2[:, 0].astype(np.int64), c2[:, 1].astype(np.int64)
    vv = [int(np.sum(cr * dr - ci * di)), int(np.sum(cr * di + ci * dr))]
    wv = [int(np.sum(w.astype(np.int64) * dr)), int(np.sum(w.astype(np.int64) * di))]
    for mode in range(-1, 6):
        for factor in (-3, 0, 2, 17, 40):
            fs = [C.c_int(factor) for _ in range(4)]
            r = fn("kvowDotProd", C.c_short, P, P, I, I, P)(ptr(w), ptr(w2), n, mode, C.byref(fs[0]))
            rv = fn("kvovDotProd", CS, P, P, I, I, P)(ptr(c), ptr(c2), n, mode, C.byref(fs[1]))
            rwv = fn("kvowvDotProd", CS, P, P, I, I, P)(ptr(w), ptr(c2), n, mode, C.byref(fs[2]))
            rvw = fn("kvovwDotProd", CS, P, P, I, I, P)(ptr(c2), ptr(w), n, mode, C.byref(fs[3]))
            tag = f"dot products n={n} mode {mode} factor {factor}"
            check(tag + " w", r == stored([ww], mode, factor, auto_factor([ww]))[0] and
                  fs[0].value == (auto_factor([ww]) if mode == 4 else factor))
            check(tag + " v", [rv.re, rv.im] == list(stored(vv, mode, factor, auto_factor(vv))))
            check(tag + " wv", [rwv.re, rwv.im] == list(stored(wv, mode, factor, auto_factor(wv)))
                  and [rvw.re, rvw.im] == [rwv.re, rwv.im])
    d = w.astype(np.int64) - w2
    for flag, want in ((1, np.max(np.abs(d))), (2, np.sum(np.abs(d))), (4, np.sqrt(np.sum(d * d)))):
        got = fn("kvowNorm", C.c_float, P, P, I, I)(ptr(w), ptr(w2), n, flag)
        check(f"kvowNorm {flag} n={n}", got == np.float32(want), f"{got} vs {want}")

finish()
