"""A-law and mu-law coding of the library against Python's audioop.

Usage: law_test.py <path to libkvom6.so>

The decoders must equal audioop on every code (the library's A-law code is the G.711 octet XOR
0x55). The encoders differ from audioop on a known set of samples: audioop moves to the next
level one sample early at every mu-law decision point and, for negative samples, works on the
one's complement, so it codes exact interval edges of negative samples one level lower. This test
lists those samples, checks that each differs by exactly one code step, and that the library's
code there is what the coding rules give (reimplemented below from the rules alone). The other
linear formats and the transcoding tables are then held against these 16-bit coders.
"""
import ctypes
import struct
import warnings

import numpy as np

from kvoref import P, check, finish, lib, ptr

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import audioop

SAMPLES = range(-32768, 32768)
N = len(SAMPLES)


def call(fn, src, dst_type, n):
    out = (dst_type * n)()
    fn(src, out, n)
    return list(out)


def shorts(values):
    return (ctypes.c_short * len(values))(*values)


CODES = (ctypes.c_ubyte * 256)(*range(256))


def audioop_sample(data):
    return struct.unpack("<h", data)[0]


# ---- the coding rules ----

def mu_decode(c):
    u = ~c & 0xFF
    t = ((u & 15) * 8 + 132) << ((u >> 4) & 7)
    return 132 - t if u & 0x80 else t - 132


def a_decode(c):
    t, s = (c & 15) * 16, (c >> 4) & 7
    t = t + 8 if s == 0 else t + 264 if s == 1 else (t + 264) << (s - 1)
    return t if c & 0x80 else -t


def a_encode(v):
    if v == -32768:
        return 0x7F
    i, sign = (v >> 4, 0x80) if v >= 0 else ((-v) >> 4, 0)
    if i < 32:
        return sign + i
    s = max(k for k in range(2, 8) if i >= 1 << (k + 3))
    return sign + s * 16 + ((i >> (s - 1)) & 15)


MU_LEVELS = [mu_decode(0xFF - level) for level in range(128)]
SEGMENT_STARTS = [125, 381, 893, 1917, 3965, 8061, 16253]
# The smallest magnitude of each level: past the midpoint (ties go to the smaller level), except
# at the start of a segment.
MU_FIRST = [0] + [
    SEGMENT_STARTS[level // 16 - 1] if level % 16 == 0
    else (MU_LEVELS[level - 1] + MU_LEVELS[level]) // 2 + 1
    for level in range(1, 128)
]


def mu_encode(v):
    m = abs(v)
    level = max(k for k in range(128) if m >= MU_FIRST[k])
    return (0xFF if v >= 0 else 0x7F) - level


# ---- the samples where audioop codes differently ----

A_LAW_DIFFERENT = [  # the lower edge of every nonzero A-law interval, as a negative sample
    -16, -32, -48, -64, -80, -96, -112, -128, -144, -160, -176, -192, -208, -224, -240, -256,
    -272, -288, -304, -320, -336, -352, -368, -384, -400, -416, -432, -448, -464, -480, -496,
    -512, -544, -576, -608, -640, -672, -704, -736, -768, -800, -832, -864, -896, -928, -960,
    -992, -1024, -1088, -1152, -1216, -1280, -1344, -1408, -1472, -1536, -1600, -1664, -1728,
    -1792, -1856, -1920, -1984, -2048, -2176, -2304, -2432, -2560, -2688, -2816, -2944, -3072,
    -3200, -3328, -3456, -3584, -3712, -3840, -3968, -4096, -4352, -4608, -4864, -5120, -5376,
    -5632, -5888, -6144, -6400, -6656, -6912, -7168, -7424, -7680, -7936, -8192, -8704, -9216,
    -9728, -10240, -10752, -11264, -11776, -12288, -12800, -13312, -13824, -14336, -14848,
    -15360, -15872, -16384, -17408, -18432, -19456, -20480, -21504, -22528, -23552, -24576,
    -25600, -26624, -27648, -28672, -29696, -30720, -31744,
]
MU_LAW_LAST_OF_LEVEL = [  # the largest magnitude of each mu-law level but the top one
    4, 12, 20, 28, 36, 44, 52, 60, 68, 76, 84, 92, 100, 108, 116, 124, 140, 156, 172, 188, 204,
    220, 236, 252, 268, 284, 300, 316, 332, 348, 364, 380, 412, 444, 476, 508, 540, 572, 604, 636,
    668, 700, 732, 764, 796, 828, 860, 892, 956, 1020, 1084, 1148, 1212, 1276, 1340, 1404, 1468,
    1532, 1596, 1660, 1724, 1788, 1852, 1916, 2044, 2172, 2300, 2428, 2556, 2684, 2812, 2940,
    3068, 3196, 3324, 3452, 3580, 3708, 3836, 3964, 4220, 4476, 4732, 4988, 5244, 5500, 5756,
    6012, 6268, 6524, 6780, 7036, 7292, 7548, 7804, 8060, 8572, 9084, 9596, 10108, 10620, 11132,
    11644, 12156, 12668, 13180, 13692, 14204, 14716, 15228, 15740, 16252, 17276, 18300, 19324,
    20348, 21372, 22396, 23420, 24444, 25468, 26492, 27516, 28540, 29564, 30588, 31612,
]
# Positive samples at those magnitudes, and for each the four negative samples -m .. -m + 3.
MU_LAW_DIFFERENT = sorted(MU_LAW_LAST_OF_LEVEL + [-m + j for m in MU_LAW_LAST_OF_LEVEL
                                                  for j in range(4)])


def one_step_apart(ours, theirs):
    """Codes of the same sign whose levels are neighbours."""
    return (ours ^ theirs) & 0x80 == 0 and abs(ours - theirs) == 1


def expect(ok, text):
    check(text, ok)


# Decoders: every code.
for fn, ref_of in ((lib.kvowbMuLawToLin, lambda c: audioop.ulaw2lin(bytes([c]), 2)),
                   (lib.kvowbALawToLin, lambda c: audioop.alaw2lin(bytes([c ^ 0x55]), 2))):
    got = call(fn, CODES, ctypes.c_short, 256)
    for c in range(256):
        expect(got[c] == audioop_sample(ref_of(c)), f"decode {c:#04x}: {got[c]}")
expect(all(mu_decode(c) == audioop_sample(audioop.ulaw2lin(bytes([c]), 2))
           for c in range(256)), "mu-law decoding rule")

# Encoders: every sample.
pcm = struct.pack(f"<{N}h", *SAMPLES)
src = shorts(list(SAMPLES))
for name, fn, theirs, rule, listed in (
        ("A-law", lib.kvowbLinToALaw, [b ^ 0x55 for b in audioop.lin2alaw(pcm, 2)],
         a_encode, A_LAW_DIFFERENT),
        ("mu-law", lib.kvowbLinToMuLaw, list(audioop.lin2ulaw(pcm, 2)), mu_encode,
         MU_LAW_DIFFERENT)):
    ours = call(fn, src, ctypes.c_ubyte, N)
    different = [v for v, a, b in zip(SAMPLES, ours, theirs) if a != b]
    expect(different == sorted(listed),
           f"{name}: {len(different)} samples differ from audioop, {len(listed)} listed; "
           f"unlisted {sorted(set(different) - set(listed))[:10]}, "
           f"missing {sorted(set(listed) - set(different))[:10]}")
    for v in different:
        k = v + 32768
        expect(one_step_apart(ours[k], theirs[k]),
               f"{name} {v}: {ours[k]:#04x} vs audioop {theirs[k]:#04x}")
    wrong = [v for v, a in zip(SAMPLES, ours) if a != rule(v)]
    expect(not wrong, f"{name}: codes differ from the rule at {wrong[:10]}")

# ---- the other linear formats, held against the 16-bit coders checked above ----
rng = np.random.default_rng(7)
codes = np.arange(256, dtype=np.uint8)
all16 = np.arange(-32768, 32768, dtype=np.int16)
for law in ("ALaw", "MuLaw"):
    w = np.zeros(256, np.int16)
    getattr(lib, f"kvowb{law}ToLin")(ptr(codes), ptr(w), 256)
    # Decoders: 32-bit samples in the upper half, floats scaled by 2^-15.
    for code, dtype, want in (("i", np.int32, w.astype(np.int32) * 65536),
                              ("s", np.float32, w.astype(np.float32) / 32768),
                              ("d", np.float64, w / 32768.0)):
        out = np.zeros(256, dtype)
        getattr(lib, f"kvo{code}b{law}ToLin")(ptr(codes), ptr(out), 256)
        expect(np.array_equal(out, want), f"kvo{code}b{law}ToLin")

    def encode(code, x):
        out = np.zeros(len(x), np.uint8)
        getattr(lib, f"kvo{code}bLinTo{law}")(ptr(x), ptr(out), len(x))
        return out

    # Encoders: 32-bit samples by their upper half; floats from |x| >= 0.96875 on the largest code
    # (by the sign bit), otherwise x * 32768 truncated, NaN as silence.
    wide = np.concatenate((all16.astype(np.int64) * 65536 + rng.integers(0, 65536, 65536),
                           rng.integers(-2**31, 2**31, 4465))).astype(np.int32)
    expect(np.array_equal(encode("i", wide), encode("w", (wide >> 16).astype(np.int16))),
           f"kvoibLinTo{law}")
    for code, dtype in (("s", np.float32), ("d", np.float64)):
        edge = dtype(0.96875)
        special = np.array([0, edge, 0.9687, np.nextafter(edge, dtype(0)), 1, 0.5, 1e30, 1e-40,
                            1 / 32768, np.inf, np.nan], dtype)
        x = np.concatenate((special, -special, all16 / dtype(32768),
                            np.nextafter(all16 / dtype(32768), dtype(0))))
        with np.errstate(invalid="ignore"):
            w16 = np.where(np.isnan(x), 0, np.where(np.abs(x) >= edge,
                                                    np.where(np.signbit(x), -32768, 32767),
                                                    np.trunc(np.nan_to_num(x) * 32768)))
        expect(np.array_equal(encode(code, x), encode("w", w16.astype(np.int16))),
               f"kvo{code}bLinTo{law}")

# Any length and alignment, nothing written past the end.
whole = np.zeros(65536, np.uint8)
lib.kvowbLinToMuLaw(ptr(all16), ptr(whole), 65536)
for offset in range(3):
    for n in range(1, 100, 7):
        part = np.full(n + 2, 0xA5, np.uint8)
        lib.kvowbLinToMuLaw(all16[600 * n + offset:].ctypes.data_as(P), ptr(part), n)
        lin = np.full(n + 1, 77, np.int16)
        lib.kvowbALawToLin(part[offset:].ctypes.data_as(P), ptr(lin), n)
        expect(np.array_equal(part[:n], whole[600 * n + offset:600 * n + offset + n]) and
               part[n] == 0xA5 and lin[n] == 77, f"length {n} offset {offset}")

# ---- transcoding: each table sends a code to a code of the other law with the same sign (bit 7
# marks non-negative samples in both laws) whose level is the one just below or just above the
# input's, keeping the order of the levels ----
levels = {}
for law in ("ALaw", "MuLaw"):
    levels[law] = np.zeros(256, np.int16)
    getattr(lib, f"kvowb{law}ToLin")(ptr(codes), ptr(levels[law]), 256)
for name, src, dst in (("kvoMuLawToALaw", "MuLaw", "ALaw"), ("kvoALawToMuLaw", "ALaw", "MuLaw")):
    out = np.zeros(256, np.uint8)
    getattr(lib, name)(ptr(codes), ptr(out), 256)
    x, y = np.abs(levels[src].astype(np.int64)), np.abs(levels[dst][out].astype(np.int64))
    to = np.abs(levels[dst].astype(np.int64))
    below = np.array([to[to <= v].max(initial=-1) for v in x])
    above = np.array([to[to >= v].min(initial=1 << 20) for v in x])
    same_sign = (codes & 0x80) == (out & 0x80)
    order = all(y[d] <= y[c] for c in range(256) for d in range(256)
                if (c ^ d) & 0x80 == 0 and x[d] < x[c])
    expect(np.all((y == below) | (y == above)) and np.all(same_sign) and order, name)
lib.kvoMuLawToALaw(ptr(np.array([0x80, 0xFF], np.uint8)), ptr(out), 2)
expect(list(out[:2]) == [0xFF, 0x80], "kvoMuLawToALaw of 0x80 and 0xFF")
lib.kvoALawToMuLaw(ptr(np.array([0x80, 0xFF], np.uint8)), ptr(out), 2)
expect(list(out[:2]) == [0xFE, 0x80], "kvoALawToMuLaw of 0x80 and 0xFF")

finish()
