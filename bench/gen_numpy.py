"""numpy's peers of bench/gen_bench.cpp: np.cos over an arange for the tones, default_rng().random
and .normal in float32 for the random generators. Prints samples per second.

Run with Debian's Python: /usr/bin/python3 bench/gen_numpy.py
"""
import timeit

import numpy as np

rng = np.random.default_rng(1)
w = 2 * np.pi * 0.0123
for n in (4096, 1 << 20):
    idx = np.arange(n, dtype=np.float64)
    cases = {
        "sbTone (np.cos, float32)": lambda: np.cos(w * idx + 0.5).astype(np.float32),
        "dbTone (np.cos)": lambda: np.cos(w * idx + 0.5),
        "sbRandUni (random float32)": lambda: rng.random(n, dtype=np.float32),
        "sbRandGaus (standard_normal float32)": lambda: rng.standard_normal(n, dtype=np.float32),
    }
    for name, body in cases.items():
        reps = max(3, int(2e7 // n))
        t = min(timeit.repeat(body, number=max(1, reps // 10), repeat=5)) / max(1, reps // 10)
        print(f"{name:40s} n={n:8d}  {n / t / 1e6:10.1f} M samples/s")
