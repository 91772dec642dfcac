"""Conversions of libkvom6 against numpy: float to integer and fixed point under every flag
combination (numpy's rint, trunc, floor and ceil), the way back, and the 16-bit magnitude, power
spectrum and phase under every scale mode.

Usage: python3 cvt_test.py path/to/libkvom6.so
"""
import ctypes as C

import numpy as np

from kvoref import I, P, check, finish, fn, lib, ptr

lib.kvoRedirectError(lib.kvoNulDevReport)
lib.kvoSetErrMode(1)
get_status = fn("kvoGetErrStatus", I)
set_status = fn("kvoSetErrStatus", None, I)
NEAREST, ZERO, DOWN, UP, UNSIGNED, CLIP, OVERFLOW = 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000
rng = np.random.default_rng(5)


def reference(x, width, fract, flags):
    """The stored low `width` bits of each value, and whether any lies outside the range."""
    y = np.ldexp(x.astype(np.float64), fract)
    rnd = np.rint if flags & NEAREST else np.trunc if flags & ZERO else np.floor if flags & DOWN \
        else np.ceil
    if width == 32 and flags == OVERFLOW | UNSIGNED | ZERO:
        rnd = np.floor  # unsigned 32-bit truncation with overflow reports rounds down
    with np.errstate(invalid="ignore"):
        r = rnd(y)
        lo = 0.0 if flags & UNSIGNED else -2.0 ** (width - 1)
        hi = 2.0 ** (width if flags & UNSIGNED else width - 1) - 1
        outside = ~np.isnan(r) & ((r < lo) | (r > hi))
        if flags & CLIP:
            v = np.clip(r, lo, hi)
        else:
            v = np.where(np.isinf(r), 0, np.fmod(r, 2.0 ** width))
    v = np.where(np.isnan(r), 0, v)
    return (v.astype(np.int64) % 2 ** width).astype(np.uint64), bool(outside.any())


def inputs(dtype, width, fract, seed):
    """Ordinary values, ties, the edges of the range, huge values, infinities and NaN, scattered so
    that some vector steps hold only ordinary values and some hold exceptional ones."""
    g = np.random.default_rng(seed)
    unit = 2.0 ** -fract
    top = 2.0 ** width * unit
    v = [g.uniform(-0.8 * top, 0.8 * top, 400), (np.round(g.uniform(-20, 20, 100)) + 0.5) * unit,
         (np.array([-1, -0.5, 0.5, 1])[:, None] * top +
          np.array([-1.5, -1, -0.5, -0.25, 0, 0.25, 0.5, 1, 1.5]) * unit).ravel()]
    v = np.concatenate(v)
    for s in (0.0, -0.0, np.inf, -np.inf, np.nan, 1e20, -3e25, 1e-30, 2**22 + 0.5, -2**22 - 0.5):
        v = np.insert(v, g.integers(len(v)), s)
    return v.astype(dtype)


UTYPE = {8: np.uint8, 16: np.uint16, 32: np.uint32}
for code, dtype in (("s", np.float32), ("d", np.float64)):
    to_int = fn(f"kvo{code}bFloatToInt", None, P, P, I, I, I)
    to_fix = fn(f"kvo{code}bFloatToFix", None, P, P, I, I, I, I)
    for width in (8, 16, 32):
        for sign in (0, UNSIGNED):
            for fract in (0, 3, width if sign else width - 1):
                x = inputs(dtype, width, fract, width + fract + sign)
                out = np.zeros(len(x), UTYPE[width])
                for rounding in (NEAREST, ZERO, DOWN, UP):
                    for extra in (0, CLIP, OVERFLOW, CLIP | OVERFLOW):
                        flags = rounding | sign | extra
                        set_status(0)
                        if fract == 0:
                            to_int(ptr(x), ptr(out), len(x), width, flags)
                        else:
                            to_fix(ptr(x), ptr(out), len(x), width, fract, flags)
                        want, outside = reference(x, width, fract, flags)
                        bad = np.nonzero(out.astype(np.uint64) != want)[0]
                        check(f"kvo{code}bFloatTo{'Fix' if fract else 'Int'} width {width} "
                              f"fract {fract} flags {flags:#x}",
                              len(bad) == 0 and get_status() == (-5 if outside and extra &
                                                                 OVERFLOW else 0),
                              f"{x[bad[:3]]} gave {out[bad[:3]]}, not {want[bad[:3]]}")

# ---- integer and fixed point to float: the exact value rounded once ----
words = rng.integers(0, 2**32, 1000, dtype=np.uint64)
words[:4] = (0x80000000, 0xFFFFFFFF, 0x7FFFFFFF, 0x01000001)  # the last needs rounding to float
for width in (8, 16, 32):
    packed = (words & (2**width - 1)).astype(UTYPE[width])
    for sign in (0, UNSIGNED):
        v = packed.astype(np.int64)
        if not sign:
            v = np.where(v >= 2 ** (width - 1), v - 2**width, v)
        for fract in (0, 5, width if sign else width - 1):
            f, d = np.zeros(1000, np.float32), np.zeros(1000)
            fn("kvosbFixToFloat", None, P, P, I, I, I, I)(ptr(packed), ptr(f), 1000, width, fract,
                                                          sign | UP)
            fn("kvodbFixToFloat", None, P, P, I, I, I, I)(ptr(packed), ptr(d), 1000, width, fract,
                                                          sign)
            exact = np.ldexp(v.astype(np.float64), -fract)  # exact: at most 32 bits
            check(f"FixToFloat width {width} sign {sign} fract {fract}",
                  np.array_equal(f, exact.astype(np.float32)) and np.array_equal(d, exact))

# ---- 16-bit magnitude and power spectrum: modes 0 and 1 from the float power (or its root,
# rounded to float) rounded to nearest; modes 2 to 4 from the exact values shifted (the magnitude
# exactly: floor(sqrt(p) * 2^-s)); both forms alike ----
src = np.concatenate((np.array([[0, 0], [3, 4], [-32768, -32768], [181, 181], [-300, 400],
                                [32767, -1], [1000, 1000], [46, 2]]),
                      np.stack((rng.integers(-32768, 32768, 300), rng.integers(-2048, 2048, 300)),
                               -1))).astype(np.int16)
n = len(src)
re, im = src[:, 0].copy(), src[:, 1].copy()
p = re.astype(np.int64) ** 2 + im.astype(np.int64) ** 2
for mag in (True, False):
    name = "Mag" if mag else "PowerSpectr"
    for mode in range(5):
        for start in (-2**31, -20, -3, -1, 0, 2, 32, 33, 40, 2**31 - 1):
            out, out_r = np.zeros(n, np.int16), np.zeros(n, np.int16)
            factor, factor_r = C.c_int(start), C.c_int(start)
            fn(f"kvovb{name}", None, P, P, I, I, P)(ptr(src), ptr(out), n, mode, C.byref(factor))
            fn(f"kvowbr{name}", None, P, P, P, I, I, P)(ptr(re), ptr(im), ptr(out_r), n, mode,
                                                         C.byref(factor_r))

            def value(s):
                s = min(max(s, -15), 31)
                if mag:  # floor(sqrt(p) * 2^-s), exactly
                    return np.array([int(np.floor(np.sqrt(float(v) * 4.0 ** -s))) if s > 0 else
                                     int(np.floor(np.sqrt(float(v * 4 ** -s)))) for v in p])
                return p >> s if s >= 0 else p << -s

            s = start
            if mode == 4:  # the first factor from the start on at which the largest value fits
                if s < -15 and value(-15).max() > 32767:
                    s = -14
                while value(s).max() > 32767:
                    s += 1
            if mode < 2:
                v = np.rint(np.sqrt(p.astype(np.float64)).astype(np.float32) if mag else
                            p.astype(np.float32)).astype(np.int64)
            else:
                v = value(s)
            want = (np.clip(v, -32768, 32767) if mode in (1, 3) else v).astype(np.int16)
            check(f"kvovb{name} mode {mode} start {start}", np.array_equal(out, want) and
                  np.array_equal(out_r, out) and factor.value == factor_r.value and
                  (mode != 4 or factor.value == s))

# The 16-bit phase: atan2 scaled by 16383/pi, truncated.
out, out_r = np.zeros(n, np.int16), np.zeros(n, np.int16)
fn("kvovbPhase", None, P, P, I)(ptr(src), ptr(out), n)
fn("kvowbrPhase", None, P, P, P, I)(ptr(re), ptr(im), ptr(out_r), n)
want = np.trunc(np.arctan2(im.astype(np.float64), re) * (16383 / np.pi)).astype(np.int16)
check("kvovbPhase", np.array_equal(out, want) and np.array_equal(out_r, out))

finish()
