"""What the reference tests share: the library under test (its path is the first argument),
ctypes helpers and records, and the list of failures with the closing report."""
import ctypes as C
import sys

lib = C.CDLL(sys.argv[1])
P, I, U, F, D, S = C.c_void_p, C.c_int, C.c_uint, C.c_float, C.c_double, C.c_short
failures = []
worst = {}  # what -> largest error seen
checks = 0


class CF(C.Structure):
    _fields_ = [("re", F), ("im", F)]


class CD(C.Structure):
    _fields_ = [("re", D), ("im", D)]


class CS(C.Structure):
    _fields_ = [("re", S), ("im", S)]


def ptr(a):
    return a.ctypes.data_as(P)


def fn(name, res, *args):
    f = getattr(lib, name)
    f.restype = res
    f.argtypes = list(args)
    return f


def check(name, ok, detail=""):
    global checks
    checks += 1
    if not ok:
        failures.append(f"{name}: {detail}")
    return ok


def note(key, err):
    """Keeps the largest error of each kind for the closing report."""
    worst[key] = max(worst.get(key, 0.0), err)
    return err


def finish():
    for key, value in sorted(worst.items()):
        print(f"largest error, {key}: {value:.3g}")
    for text in failures[:40]:
        print(text)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    sys.exit(1 if failures else 0)
