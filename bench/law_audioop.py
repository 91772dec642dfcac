"""Python's peers of bench/cvt_bench.cpp on the same data: audioop's A-law encoder and mu-law
decoder, and numpy's round-and-clip for the float to 16-bit conversion (audioop has none).

Run with Debian's Python: /usr/bin/python3 bench/law_audioop.py
"""
import struct
import timeit
import warnings

import numpy as np

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import audioop

N = 65536


def lcg(n):
    """The generator of cvt_bench.cpp: 31-bit linear congruential, 16 bits per value."""
    state, out = 12345, []
    for _ in range(n):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(state >> 15)
    return out


values = lcg(N)
samples = [v - 32768 for v in values]
pcm = struct.pack(f"<{N}h", *samples)
codes = bytes(v & 0xFF for v in values)
floats = np.array(samples, dtype=np.float32) * np.float32(1.25) + np.float32(0.25)


def float_to_short():
    return np.clip(np.rint(floats), -32768, 32767).astype(np.int16)


cases = [
    ("audioop.lin2alaw (wbLinToALaw)", lambda: audioop.lin2alaw(pcm, 2)),
    ("audioop.lin2ulaw (wbLinToMuLaw)", lambda: audioop.lin2ulaw(pcm, 2)),
    ("audioop.ulaw2lin (wbMuLawToLin)", lambda: audioop.ulaw2lin(codes, 2)),
    ("audioop.alaw2lin (wbALawToLin)", lambda: audioop.alaw2lin(codes, 2)),
    ("numpy rint+clip+astype (sbFloatToInt 16)", float_to_short),
]
for name, fn in cases:
    rounds = 200
    best = min(timeit.repeat(fn, number=rounds, repeat=5)) / rounds
    print(f"{name:44s} {best * 1e6:9.1f} us  {N / best / 1e6:9.1f} Msamples/s")
