"""Tone and triangle generators of libkvom6 against numpy and scipy.signal.sawtooth, the
uniform and normal generators against scipy.stats (Kolmogorov-Smirnov) and against a model of
their recurrences, value by value and register by register.

Usage: python3 gen_test.py path/to/libkvom6.so
"""
import ctypes as C

import numpy as np
from scipy import signal, stats

from kvoref import CD, CF, CS, D, F, I, P, S, U, check, finish, fn

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
# The 16-bit members store the float member's values truncated toward zero.
for code, real_t, dtype, cplx in (("s", F, np.float32, False), ("d", D, np.float64, False),
                                  ("z", D, np.float64, True), ("c", F, np.float32, True),
                                  ("w", F, np.int16, False), ("v", F, np.int16, True)):
    mag_t = C.c_short if dtype == np.int16 else real_t
    init = fn(f"kvo{code}TrnglInit", None, real_t, real_t, mag_t, real_t, P)
    block = fn(f"kvo{code}bTrngl", None, P, P, I)
    M = 2000
    for f, ph, mag, asym in ((0.01, 0.0, 1000.0, 0.0), (0.0371, 2.0, 5000.0, 1.0),
                             (0.003, 5.0, 1000.0, -2.5), (0.45, 1.0, 20000.0, 3.0)):
        st = C.create_string_buffer(STATE)
        init(f, ph, int(mag) if dtype == np.int16 else mag, asym, st)
        out = np.zeros(2 * M if cplx else M, dtype=dtype)
        block(st, out.ctypes.data_as(P), M)
        if real_t == F:
            f, ph, asym = float(np.float32(f)), float(np.float32(ph)), float(np.float32(asym))
        t = ph + 2 * np.pi * f * np.arange(M) - (np.pi + asym)
        width = (np.pi - asym) / (2 * np.pi)
        want = mag * signal.sawtooth(t, width=width)
        got = out[0::2] if cplx else out
        # Float fields: each reflection off the short slope scales the rounding error by the ratio
        # of the slopes, and the errors add up over the run.
        ratio = (np.pi + abs(asym)) / (np.pi - abs(asym))
        tol = (1e-9 if dtype == np.float64 else 2e-4 * max(1.0, ratio / 2)) * mag
        tol += 1.0 if dtype == np.int16 else 0.0
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

# ---- random: the recurrences. A subtract-with-borrow generator (x1 newest, x2, x3, carry) plus
# a congruential one (lcg), seeded through a small congruential generator (seedLcg) ----
M32 = 0xFFFFFFFF


def s32(v):
    v &= M32
    return v - 2**32 if v >= 2**31 else v


class Model:
    def __init__(self, seed, carry):
        self.seed_lcg = self.x1 = seed & M32
        self.c = carry
        self.x2, self.x3 = self.draw(), self.draw()
        self.lcg, self.lcg_b = 0x436CBAE9, 0

    def draw(self):
        self.seed_lcg = (self.seed_lcg * 214013 + 2531011) & M32
        return (self.seed_lcg >> 16) & 0x7FFF

    def swb(self, borrow_at_zero=True):
        d = (self.x2 - self.x3 - self.c) & M32
        self.c = int(s32(d) <= 0 if borrow_at_zero else s32(d) < 0)
        d = (d - 18 * self.c) & M32
        self.x3, self.x2, self.x1 = self.x2, self.x1, d
        return d

    def step(self, lane="lcg"):
        setattr(self, lane, (getattr(self, lane) * 69069 + 1013904243) & M32)
        return getattr(self, lane)

    def raw(self):
        return s32(self.swb() + self.step())

    def registers(self, have=0):
        return [self.x1, self.x2, self.x3, self.c, self.seed_lcg, self.lcg, have]


def uniform_model(seed, low, high, single, n):
    """r * scale + mid after five discarded values."""
    g = Model(seed, 0)
    mid, scale = low + 0.5 * (high - low), (high - low) * 2.0**-32
    if single:
        mid, scale = float(np.float32(mid)), float(np.float32(scale))
    v = [g.raw() * scale + mid for _ in range(5 + n)][5:]
    return (np.float32(v) if single else np.array(v)), g.registers()


def gauss_model(seed, mean, sd, kind, n):
    """The polar method; the second value of a pair is kept for the next call."""
    g, y = Model(seed, 1), []
    conv = (lambda x: float(np.float32(x))) if kind == "f" else (lambda x: x) if kind == "d" else \
        (lambda x: float(np.int16(np.int64(np.trunc(x)) & 0xFFFF) if abs(x) < 2**31 else 0))
    while len(y) < n:
        s = 0
        while not 0 < s < 1:
            d1, d2 = g.swb(), g.swb()
            m1, m2 = g.step(), g.step()
            u1, u2 = s32(d1 + m1) * 2.0**-31, s32(d2 + m2) * 2.0**-31
            s = u1 * u1 + u2 * u2
        f = np.sqrt(-2 * np.log(s) / s)
        y += [conv(mean + sd * u2 * f), conv(mean + sd * u1 * f)]
    return np.array(y[:n]), g.registers(n % 2)


class RandState(C.Structure):
    _fields_ = [("a", C.c_double), ("b", C.c_double), ("stored", C.c_double), ("have", I)] + [
        (f, C.c_uint) for f in ("lcg", "carry", "x1", "x2", "x3", "seed")]


class UniState(C.Structure):
    _fields_ = [("a", C.c_double), ("b", C.c_double)] + [
        (f, C.c_uint) for f in ("lcg", "carry", "x1", "x2", "x3", "seed")]


class WGausState(C.Structure):
    _fields_ = [("have", I)] + [(f, C.c_uint) for f in ("lcg", "carry", "x1", "x2", "x3")] + [
        (f, S) for f in ("mean", "sd", "stored", "reserved")] + [("seed", C.c_uint)]


def registers(st):
    return [st.x1, st.x2, st.x3, st.carry, st.seed, st.lcg, getattr(st, "have", 0)]


RAND = [("s", "Uni", UniState, F, np.float32, F, False), ("c", "Uni", UniState, F, np.float32, CF, True),
        ("d", "Uni", UniState, D, np.float64, D, False), ("z", "Uni", UniState, D, np.float64, CD, True),
        ("s", "Gaus", RandState, F, np.float32, F, False), ("c", "Gaus", RandState, F, np.float32, CF, True),
        ("d", "Gaus", RandState, D, np.float64, D, False), ("z", "Gaus", RandState, D, np.float64, CD, True),
        ("w", "Gaus", WGausState, S, np.int16, S, False), ("v", "Gaus", WGausState, S, np.int16, CS, True)]
for code, op, state, arg_t, dtype, one_t, cplx in RAND:
    name = f"kvo{code}{op}"
    init = fn(f"kvo{code}Rand{op}Init", I, arg_t, arg_t, arg_t, P)
    block = fn(f"kvo{code}bRand{op}", I, P, P, U)
    one = fn(f"kvo{code}Rand{op}", one_t, P)
    kind = "w" if dtype == np.int16 else "f" if dtype == np.float32 else "d"
    a, b = (-3, 5) if op == "Uni" else (100, 3000) if kind == "w" else (1.5, 2.25)
    for n in (1, 2, 3, 15, 16, 17, 31, 100, 511, 512, 513, 1500):
        for seed in (0, 7, -5, 31000):
            st = state()
            init(seed, a, b, C.byref(st))
            out = np.zeros(2 * n if cplx else n, dtype)
            block(C.byref(st), out.ctypes.data_as(P), n)
            want, regs = (uniform_model(seed, a, b, kind == "f", len(out)) if op == "Uni" else
                          gauss_model(seed, a, b, kind, len(out)))
            # Normal values within the last places of the logarithm (16-bit: one unit).
            tol = 0 if op == "Uni" else 1 if kind == "w" else 1e-6 if kind == "f" else 1e-13
            err = np.max(np.abs(out - want) / (1 if kind == "w" else 1 + np.abs(want)))
            check(f"{name} n={n} seed={seed}", err <= tol and registers(st) == regs,
                  f"error {err}, registers {registers(st)} vs {regs}")
    # Single calls and blocks of any length continue one sequence; the second value of a normal
    # pair changes no register.
    whole, parts = state(), state()
    init(3, 0, 1000, C.byref(whole))
    init(3, 0, 1000, C.byref(parts))
    out = np.zeros(2400 if cplx else 1200, dtype)
    block(C.byref(whole), out.ctypes.data_as(P), 1200)
    got = []
    for _ in range(51):
        v = one(C.byref(parts))
        got += [v.re, v.im] if cplx else [v]
    for n in (1, 3, 1000, 145):
        piece = np.zeros(2 * n if cplx else n, dtype)
        block(C.byref(parts), piece.ctypes.data_as(P), n)
        got += list(piece)
    check(f"{name} singles and pieces", np.array_equal(np.array(got, dtype), out) and
          registers(whole) == registers(parts))
    if op == "Gaus" and not cplx:
        init(11, 0, 1000, C.byref(st))
        one(C.byref(st))
        first = registers(st)
        one(C.byref(st))
        check(f"{name} pairs share one draw", first[6] == 1 and registers(st) == first[:6] + [0])

# low == high gives that value on every call; seeds beyond the 32-bit range all give the
# integer-indefinite seed 0x80000000.
st, out = UniState(), np.zeros(80)
fn("kvozRandUniInit", I, D, D, D, P)(5, 2.5, 2.5, C.byref(st))
fn("kvozbRandUni", I, P, P, U)(C.byref(st), out.ctypes.data_as(P), 40)
check("kvozbRandUni constant range", np.all(out == 2.5))
records = []
for seed in (1e12, -2147483649.0, -2147483648.0):
    fn("kvodRandUniInit", I, D, D, D, P)(seed, 0, 1, C.byref(st))
    records.append(bytes(st))
check("kvodRandUniInit seeds out of range", records[0] == records[2] and records[1] == records[2])

# The 16-bit uniform generator: mid = (high + low) / 2 - 1 and a shift that spreads 32-bit draws
# over the range; blocks are batch values straight from the generator (both lanes, no borrow at
# zero), single values come from a buffer refilled with 32 batch values.
class WUniState(C.Structure):
    _fields_ = [("mid", I), ("shift", I)] + [(f, C.c_uint) for f in (
        "lcg", "lcg_b", "x1", "x2", "x3", "carry", "seed")] + [("next", I), ("buffer", S * 32)]


class ShortUniform:
    def __init__(self, seed, low, high):
        self.g = Model(seed, 0)
        self.mid = ((high + low) >> 1) - 1
        width, k = (high - low) & ~1, 0
        while width > 1 and (1 << k) < width:
            k += 1
        self.shift = 32 - k
        self.g.lcg_b = self.g.draw()
        self.buffer = []
        for _ in range(5):
            self.single()

    def value(self, r):
        v = (self.mid - (s32(r) >> min(self.shift, 31))) & 0xFFFF
        return v - 65536 if v >= 32768 else v

    def single(self):
        return self.value(self.g.swb() + self.g.step())

    def batch(self, n):
        out = [self.single()] if n % 2 else []
        for _ in range(n // 2):
            d1, d2 = self.g.swb(False), self.g.swb(False)
            out += [self.value(d2 + self.g.step()), self.value(d1 + self.g.step("lcg_b"))]
        return out


winit = fn("kvowRandUniInit", I, U, S, S, P)
vinit = fn("kvovRandUniInit", I, U, S, S, P)
wone = fn("kvowRandUni", S, P)
vone = fn("kvovRandUni", CS, P)
st = WUniState()
for low, high, mid, shift in ((-32768, 32767, -2, 16), (0, 100, 49, 25), (-10, 10, -1, 27),
                              (5, 6, 4, 32), (5, 5, 4, 32), (0, 128, 63, 25), (0, 129, 63, 25),
                              (0, 130, 64, 24)):
    vinit(7, low, high, C.byref(st))
    check(f"kvovRandUniInit ({low}, {high})", (st.mid, st.shift, st.next) == (mid, shift, 32))
for n in (1, 2, 3, 15, 16, 17, 31, 100, 511, 512, 513, 1500):
    for cplx in (False, True):
        winit(555, -1000, 3000, C.byref(st))
        g = ShortUniform(555, -1000, 3000)
        g.buffer = g.batch(32)
        ok = wone(C.byref(st)) == g.buffer[0]  # one buffered value first, then a block
        out = np.zeros(2 * n if cplx else n, np.int16)
        fn(f"kvo{'v' if cplx else 'w'}bRandUni", I, P, P, I)(C.byref(st), out.ctypes.data_as(P), n)
        ok &= list(out) == g.batch(len(out))
        ok &= [wone(C.byref(st)) for _ in range(31)] == g.buffer[1:]  # the buffer is intact
        check(f"kvo{'v' if cplx else 'w'}bRandUni n={n}", ok and [st.x1, st.x2, st.x3, st.carry,
              st.seed, st.lcg, st.lcg_b] == [g.g.x1, g.g.x2, g.g.x3, g.g.c, g.g.seed_lcg, g.g.lcg,
                                             g.g.lcg_b])
# A difference of exactly zero borrows in single steps and not in batch steps.
for n in (1, 2):
    winit(1, -32768, 32767, C.byref(st))
    g = ShortUniform(1, -32768, 32767)
    st.x2 = st.x3 = g.g.x2 = g.g.x3 = 12345
    st.carry = g.g.c = 0
    g.g.x1 = st.x1
    out = np.zeros(n, np.int16)
    fn("kvowbRandUni", I, P, P, I)(C.byref(st), out.ctypes.data_as(P), n)
    check(f"kvowbRandUni borrow at zero n={n}", list(out) == g.batch(n) and
          [st.x1, st.x2, st.carry] == [g.g.x1, g.g.x2, g.g.c] and
          (st.x1 if n == 1 else st.x2) == ((-18) & M32 if n == 1 else 0))
# Complex singles take two buffered values; pairs start at odd indices, the last one is dropped.
a, b = WUniState(), WUniState()
winit(9, 0, 4096, C.byref(a))
vinit(9, 0, 4096, C.byref(b))
wone(C.byref(b))
singles = [wone(C.byref(a)) for _ in range(64)]
pairs = [vone(C.byref(b)) for _ in range(16)]
check("kvovRandUni pairs", [(p.re, p.im) for p in pairs] ==
      [(singles[1 + 2 * i], singles[2 + 2 * i]) for i in range(15)] + [(singles[32], singles[33])])

finish()
