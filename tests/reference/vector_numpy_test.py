"""16-bit arithmetic, element functions, norms, means and dot products of libkvom6 against numpy.

Usage: python3 vector_numpy_test.py path/to/libkvom6.so
"""
import ctypes as C
from fractions import Fraction

import numpy as np

from kvoref import CD, CF, I, P, check, finish, fn, ptr

rng = np.random.default_rng(2024)


def ulp_distance(got, want):
    """Units in the last place between arrays of the same float type (as ordered integers)."""
    itype = np.int32 if got.dtype == np.float32 else np.int64
    g, w = got.view(itype).astype(np.int64), want.view(itype).astype(np.int64)
    g = np.where(g < 0, np.iinfo(itype).min - g, g)
    w = np.where(w < 0, np.iinfo(itype).min - w, w)
    return np.abs(g - w)


n = 4099

# ---- 16-bit arithmetic: numpy's int16 arithmetic wraps; clipped int32 arithmetic saturates ----
a = rng.integers(-32768, 32768, n, dtype=np.int16)
b = rng.integers(-32768, 32768, n, dtype=np.int16)
d = np.empty(n, np.int16)
for name, op in (("kvowbAdd3", np.add), ("kvowbSub3", np.subtract), ("kvowbMpy3", np.multiply)):
    f = fn(name, None, P, P, P, I, I, P)
    exact = op(a.astype(np.int64), b.astype(np.int64))
    f(ptr(a), ptr(b), ptr(d), n, 0, None)
    check(name + " wrap", np.array_equal(d, exact.astype(np.int16)))
    f(ptr(a), ptr(b), ptr(d), n, 1, None)
    check(name + " saturate", np.array_equal(d, np.clip(exact, -32768, 32767)))
    factor = C.c_int(0)
    f(ptr(a), ptr(b), ptr(d), n, 4, C.byref(factor))
    s = factor.value
    check(name + " auto", np.array_equal(d, exact >> s) and np.all(np.abs(exact >> s) <= 32768)
          and (s == 0 or not np.all((exact >> (s - 1) >= -32768) & (exact >> (s - 1) <= 32767))),
          f"factor {s}")

va = (rng.integers(-32768, 32768, (n, 2), dtype=np.int16))
vb = (rng.integers(-32768, 32768, (n, 2), dtype=np.int16))
vd = np.empty((n, 2), np.int16)
za = va[:, 0].astype(np.int64) + 1j * va[:, 1].astype(np.int64)
f = fn("kvovbMpy3", None, P, P, P, I, I, P)
f(ptr(va), ptr(vb), ptr(vd), n, 1, None)
re = va[:, 0].astype(np.int64) * vb[:, 0] - va[:, 1].astype(np.int64) * vb[:, 1]
im = va[:, 0].astype(np.int64) * vb[:, 1] + va[:, 1].astype(np.int64) * vb[:, 0]
check("kvovbMpy3 saturate", np.array_equal(vd[:, 0], np.clip(re, -32768, 32767)) and
      np.array_equal(vd[:, 1], np.clip(im, -32768, 32767)))

# ---- logarithm and exponential: float within one ulp of numpy's double results rounded ----
x32 = np.abs(rng.standard_normal(n)).astype(np.float32) * np.float32(10.0) ** rng.integers(-30, 30, n)
x32 = x32.astype(np.float32)
y32 = np.empty(n, np.float32)
fn("kvosbLn2", None, P, P, I)(ptr(x32), ptr(y32), n)
check("kvosbLn2", ulp_distance(y32, np.log(x32.astype(np.float64)).astype(np.float32)).max() <= 1)
e32 = rng.uniform(-100, 88, n).astype(np.float32)
fn("kvosbExp2", None, P, P, I)(ptr(e32), ptr(y32), n)
check("kvosbExp2", ulp_distance(y32, np.exp(e32.astype(np.float64)).astype(np.float32)).max() <= 1)
x64 = np.abs(rng.standard_normal(n)) * 10.0 ** rng.integers(-300, 300, n)
y64 = np.empty(n)
fn("kvodbLn2", None, P, P, I)(ptr(x64), ptr(y64), n)
check("kvodbLn2", ulp_distance(y64, np.log(x64)).max() <= 1, ulp_distance(y64, np.log(x64)).max())
e64 = rng.uniform(-740, 709, n)
fn("kvodbExp2", None, P, P, I)(ptr(e64), ptr(y64), n)
check("kvodbExp2", ulp_distance(y64, np.exp(e64)).max() <= 1, ulp_distance(y64, np.exp(e64)).max())

# ---- complex square roots: numpy's principal root ----
zc = (rng.standard_normal(n) + 1j * rng.standard_normal(n)) * 1e3
zin = np.empty((n, 2))
zin[:, 0], zin[:, 1] = zc.real, zc.imag
zout = np.empty((n, 2))
fn("kvozbSqrt2", None, P, P, I)(ptr(zin), ptr(zout), n)
want = np.sqrt(zc)
check("kvozbSqrt2", np.allclose(zout[:, 0], want.real, rtol=4e-16, atol=0) and
      np.allclose(zout[:, 1], want.imag, rtol=4e-16, atol=0))

# ---- norms: numpy.linalg.norm ----
xs = rng.standard_normal(n).astype(np.float32)
ys = rng.standard_normal(n).astype(np.float32)
kvosNorm = fn("kvosNorm", C.c_float, P, P, I, I)
diff = xs.astype(np.float64) - ys
for flag, order in ((1, np.inf), (2, 1), (4, 2)):
    got = kvosNorm(ptr(xs), ptr(ys), n, flag)
    want = np.linalg.norm(diff, order)
    check(f"kvosNorm {flag}", abs(got - want) <= 2e-7 * want, f"{got} vs {want}")
    rel = kvosNorm(ptr(xs), ptr(ys), n, flag | 8)
    want_rel = want / np.linalg.norm(ys.astype(np.float64), order)
    check(f"kvosNorm relative {flag}", abs(rel - want_rel) <= 2e-7 * want_rel)
zn = rng.standard_normal((n, 2))
kvozNorm = fn("kvozNorm", C.c_double, P, P, I, I)
zz = zn[:, 0] + 1j * zn[:, 1]
for flag, order in ((1, np.inf), (2, 1), (4, 2)):
    got = kvozNorm(ptr(zn), None, n, flag)
    want = np.linalg.norm(zz, order)
    check(f"kvozNorm {flag}", abs(got - want) <= 1e-14 * want, f"{got} vs {want}")

# ---- mean, mean square ----
xd = rng.standard_normal(n) * 1e3 + 7
check("kvodMean", abs(fn("kvodMean", C.c_double, P, I)(ptr(xd), n) - np.mean(xd)) <= 1e-15 * 7)
check("kvosStdDev", abs(fn("kvosStdDev", C.c_float, P, I)(ptr(xs), n) -
                        np.mean(xs.astype(np.float64) ** 2)) <= 1e-7)
check("kvosMean", abs(fn("kvosMean", C.c_float, P, I)(ptr(xs), n) -
                      np.mean(xs.astype(np.float64))) <= 1e-6)
check("kvodStdDev", abs(fn("kvodStdDev", C.c_double, P, I)(ptr(xd), n) - np.mean(xd ** 2)) <=
      3e-16 * np.mean(xd ** 2))
# The double sums carry their rounding errors (and the squares theirs), so over power-of-two
# lengths, where the division is exact, the results are the exact rational ones correctly rounded.
for name, power in (("kvodMean", 1), ("kvodStdDev", 2)):
    f = fn(name, C.c_double, P, I)
    wrong = 0
    for length in (2, 4, 8, 16, 64) * 40:
        v = rng.uniform(-1, 1, length) * 1e6 + 1e-3
        wrong += f(ptr(v), length) != float(sum(Fraction(e) ** power for e in v) / length)
    check(name + " correctly rounded", wrong == 0, f"{wrong} of 200 sums")
w = rng.integers(-32768, 32768, n, dtype=np.int16)
check("kvowMean", fn("kvowMean", C.c_short, P, I)(ptr(w), n) == int(np.trunc(np.sum(w, dtype=np.int64) / n)))

# ---- dot products: numpy.dot, no conjugation ----
cf = rng.standard_normal((n, 2)).astype(np.float32)
cg = rng.standard_normal((n, 2)).astype(np.float32)
kvocDotProd = fn("kvocDotProd", CF, P, P, I)
r = kvocDotProd(ptr(cf), ptr(cg), n)
want = np.dot(cf[:, 0].astype(np.float64) + 1j * cf[:, 1], cg[:, 0].astype(np.float64) + 1j * cg[:, 1])
check("kvocDotProd", abs(r.re - want.real) <= 1e-5 and abs(r.im - want.imag) <= 1e-5, f"{r.re},{r.im} vs {want}")
kvosDotProd = fn("kvosDotProd", C.c_float, P, P, I)
want = np.dot(xs.astype(np.float64), ys.astype(np.float64))
check("kvosDotProd", abs(kvosDotProd(ptr(xs), ptr(ys), n) - want) <= 1e-5)
# The other pairs: real or complex, float or double, each with a double sum rounded once.
xdd, ydd = rng.standard_normal(n), rng.standard_normal(n)
zf, zd = cf[:, 0] + 1j * cf[:, 1].astype(np.float64), zn[:, 0] + 1j * zn[:, 1]
zg = cg[:, 0] + 1j * cg[:, 1].astype(np.float64)
for name, res, a, b, va, vb, tol in (
        ("kvodDotProd", C.c_double, xdd, ydd, xdd, ydd, 1e-13),
        ("kvozDotProd", CD, zn, zn[::-1].copy(), zd, zd[::-1], 1e-13),
        ("kvoscDotProd", CF, xs, cg, xs.astype(np.float64), zg, 1e-5),
        ("kvocsDotProd", CF, cf, ys, zf, ys.astype(np.float64), 1e-5),
        ("kvodzDotProd", CD, xdd, zn, xdd, zd, 1e-13),
        ("kvozdDotProd", CD, zn, ydd, zd, ydd, 1e-13)):
    r = fn(name, res, P, P, I)(ptr(a), ptr(b), n)
    got = r if res is C.c_double else complex(r.re, r.im)
    check(name, abs(got - np.dot(va, vb)) <= tol * np.sum(np.abs(va * vb)), f"{got} vs {np.dot(va, vb)}")
w2 = rng.integers(-32768, 32768, n, dtype=np.int16)
factor = C.c_int(0)
got = fn("kvowDotProd", C.c_short, P, P, I, I, P)(ptr(w), ptr(w2), n, 4, C.byref(factor))
exact = int(np.dot(w.astype(np.int64), w2.astype(np.int64)))
check("kvowDotProd", got == exact >> factor.value and exact >> factor.value in range(-32768, 32768)
      and factor.value == max(0, abs(exact).bit_length() - 1 - 14 if not -32768 <= exact <= 32767 else 0),
      f"{got} factor {factor.value} exact {exact}")

finish()
