#!/usr/bin/env python3
"""Writes tests/adversarial/export_table.inc from the prototypes of include/kvo.h.

One row per exported function: its name, return type and, for every parameter, the C type, the
name and the kind the adversarial driver gives it (input or output array of an element type with
the element count as a C++ expression over the other arguments, an integer with its role, a state
record with the Init calls that prepare it, a scalar value, ...), plus a call thunk that takes the
arguments from a uniform slot array. Kinds come from rules on type and name; the tables below hold
the irregular cases.

    scripts/gen_export_table.py [OUTPUT]      (default: tests/adversarial/export_table.inc)
"""
import re
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# ---- element types of arrays and scalars ---------------------------------------------------------
ELEM = {
    "float": "F32", "double": "F64", "ComplexFloat": "C32", "ComplexDouble": "C64",
    "short": "I16", "ComplexShort": "C16", "int": "I32", "unsigned char": "U8",
    "signed char": "S8", "void": "U8",
}
SLOT = {  # union member of a by-value argument or result
    "float": "f", "double": "d", "short": "w", "int": "i", "unsigned int": "u",
    "ComplexFloat": "c", "ComplexDouble": "z", "ComplexShort": "v",
}
STATES = ["FirTapState", "FirDlyState", "FirState", "IirTapState", "IirDlyState", "IirState",
          "LmsTapState", "LmsDlyState", "LmsState", "WtState", "GoertzState",
          "GoertzStateDouble", "ToneState", "TrnglState", "RandUniState", "RandGausState",
          "WRandUniState", "WRandGausState"]

LEN_NAMES = {"n", "len", "length", "N", "sampsLen", "numIters", "xLen", "hLen", "lenA", "lenB",
             "srcLen", "tapsLen", "nLags", "numQuads", "cols", "rows", "xCols", "xRows", "hCols",
             "hRows", "kCols", "kRows"}

# Valid values of integer arguments by name (the first matching override below wins).
INT_VALID = {
    "n": 5, "len": 5, "length": 5, "N": 5, "sampsLen": 5, "numIters": 4, "xLen": 5, "hLen": 3,
    "lenA": 6, "lenB": 5, "srcLen": 7, "tapsLen": 5, "nLags": 3, "numQuads": 2, "cols": 5,
    "rows": 4, "xCols": 4, "xRows": 3, "hCols": 3, "hRows": 2, "kCols": 3, "kRows": 3,
    "order": 3, "dataOrder": 4, "level": 2, "scaleMode": 3, "flags": 1, "flag": 4, "relOp": 0,
    "intBits": 16, "fixBits": 16, "fractBits": 8, "corrType": 1, "iirType": 0, "lmsType": 0,
    "errDly": 1, "isAdaptive": 1, "upFactor": 2, "upPhase": 1, "downFactor": 3, "downPhase": 2,
    "factor": 3, "loLag": -2, "hiLag": 3, "winType": 4, "doNormal": 1, "wtType": 2, "par1": 2,
    "par2": 0, "mode": 1, "status": -5, "line": 12, "value": 5,
}
# Valid values of by-value scalars by name (real part, imaginary part for complex values).
VAL_VALID = {
    "val": (0.5, -0.25), "re": (0.5, 0), "im": (-0.25, 0), "thresh": (0.5, 0),
    "factor": (2.0, 0), "offset": (0.125, -0.5), "alpha": (-0.16, 0), "beta": (2.0, 0),
    "asym": (0.25, 0), "rFreq": (0.1, 0), "freq": (0.1, 0), "rfreq": (0.1, 0),
    "rLowFreq": (0.1, 0), "rHighFreq": (0.3, 0), "phase": (0.5, 0), "mag": (1.0, 0),
    "seed": (7, 0), "low": (-1, 0), "high": (1, 0), "mean": (0, 0), "stDev": (1, 0),
    "step": (0.01, 0), "leak": (0.001, 0), "samp": (0.5, -0.5), "err": (0.125, 0.25),
    "desired": (0.25, -0.125), "sample": (0.5, 0.25), "a": (1.5, -2), "b": (0.5, 3),
}
SHORT_VALID = {"val": (3, -2), "re": (3, 0), "im": (-2, 0), "thresh": (100, 0),
               "offset": (1, -1), "samp": (100, -50), "err": (10, 0), "sample": (100, 50),
               "mag": (1000, 0), "low": (-100, 0), "high": (100, 0), "mean": (0, 0),
               "stDev": (100, 0), "seed": (7, 0), "a": (300, -200), "b": (-7, 11)}

# Element counts of arrays by parameter name, per family (exports file) or per function.
# Expressions are C++ over the other arguments; `N` is 2^order.
CCS = "(N + 2)"
HALF = "(N / 2 + 1)"
SIZE_BY_FUNC = [
    # Real FFTs and packed spectra.
    (r"^kvo[sdw]RealFft$|^kvo[sdw]CcsFft$", {"samps": CCS}),
    (r"^kvo[sdw]RealFftNip$", {"inSamps": "N", "outSamps": HALF}),
    (r"^kvo[sdw]CcsFftNip$", {"inSamps": HALF, "outSamps": "N"}),
    (r"^kvo[sdw](Real|Ccs)2Fft$", {"xSamps": CCS, "ySamps": CCS}),
    (r"^kvo[sdw]Real2FftNip$", {"xInSamps": "N", "yInSamps": "N", "xOutSamps": HALF,
                                "yOutSamps": HALF}),
    (r"^kvo[sdw]Ccs2FftNip$", {"xInSamps": HALF, "yInSamps": HALF, "xOutSamps": "N",
                               "yOutSamps": "N"}),
    (r"ConjExtend", {"*": "std::max<long>(n, 2L * (n - 1))"}),
    (r"Conv$", {"x": "xLen", "h": "hLen", "y": "xLen + hLen - 1"}),
    (r"CrossCorr$", {"srcA": "lenA", "srcB": "lenB", "dst": "hiLag - loLag + 1"}),
    (r"AutoCorr$", {"src": "len", "dst": "nLags"}),
    (r"Conv2D$", {"x": "xCols * xRows", "h": "hCols * hRows",
                  "y": "(xCols + hCols - 1) * (xRows + hRows - 1)"}),
    (r"Filter2D$", {"src": "cols * rows", "kernel": "kCols * kRows", "dst": "cols * rows"}),
    (r"UpSample$", {"src": "srcLen", "dst": "srcLen * factor", "dstLen": "1", "phase": "1"}),
    (r"DownSample$", {"src": "srcLen", "dst": "CEILDIV(srcLen - *phase, factor)",
                      "dstLen": "1", "phase": "1"}),
    (r"bFloatToInt$|bIntToFloat$", {"src": "BYTES(len, intBits)", "dst": "BYTES(len, intBits)"}),
    (r"bFloatToFix$|bFixToFloat$", {"src": "BYTES(len, fixBits)", "dst": "BYTES(len, fixBits)"}),
    (r"^kvo.CalcFftTwdTbl$|^kvoCalcBitRevTbl$", {"tbl": "N"}),
    (r"^kvo.CalcDftTwdTbl$", {"tbl": "length"}),
    (r"^kvo.Wt(Decompose|Reconstruct)$", {"*": "(1L << wtState->dataOrder)"}),
    (r"^kvo.WtSetState$", {"Ftaps": "4", "Flen": "4", "Fofs": "4"}),
    (r"^kvo.WtGetState$", {"Ftaps": "4", "Flen": "4", "Fofs": "4", "*": "1"}),
    # Low-level FIR.
    (r"^kvo.FirlInit(Mr)?$", {"taps": "tapsLen"}),
    (r"^kvo.FirlInitDlyl$", {"dlyl": "FIRL_DLYL(tapStPtr)"}),
    (r"^kvo.Firl(Set|Get)Taps$", {"tapVals": "tapStPtr->tapsLen"}),
    (r"^kvo[sdcz]Firl(Set|Get)Dlyl$", {"dlylVals": "dlyStPtr->dlylLen - !tapStPtr->isMultiRate"}),
    (r"^kvowFirl(Set|Get)Dlyl$", {"dlylVals": "dlyStPtr->dlylLen"}),
    (r"^kvo\w+bFirl$", {"inSamps": "numIters * tapStPtr->downFactor",
                        "outSamps": "numIters * tapStPtr->upFactor"}),
    # High-level FIR.
    (r"^kvo\w+FirInit$", {"taps": "tapsLen", "dlyVals": "tapsLen - 1"}),
    (r"^kvo\w+FirInitMr$", {"taps": "tapsLen", "dlyVals": "CEILDIV(tapsLen, upFactor)"}),
    (r"^kvo.Fir(Set|Get)Taps$", {"taps": "statePtr->tapsLen"}),
    (r"^kvo.Fir(Set|Get)Dlyl$", {"dlyVals": "statePtr->dlylLen"}),
    (r"^kvo\w+bFir$", {"inSamps": "numIters * statePtr->downFactor",
                       "outSamps": "numIters * statePtr->upFactor"}),
    # Low-level and high-level IIR.
    (r"^kvo\w+Iirl?Init$", {"taps": "2L * order + 2", "tapVals": "2L * order + 2"}),
    (r"^kvo\w+Iirl?InitBq$", {"taps": "6L * numQuads", "tapVals": "6L * numQuads"}),
    (r"^kvo.IirlInitDlyl$", {"dlyl": "tapStPtr->order"}),
    # Low-level and high-level LMS.
    (r"^kvo.LmslInit(Mr)?$", {"taps": "tapsLen"}),
    (r"^kvowLmslInitDlyl$", {"dlyl": "LMS_DLYL(tapStPtr, 1)"}),
    (r"^kvo.LmslInitDlyl$", {"dlyl": "LMS_DLYL(tapStPtr, isAdaptive)"}),
    (r"^kvo.Lmsl(Set|Get)Taps$", {"*": "tapStPtr->tapsLen"}),
    (r"^kvo.Lmsl(Set|Get)Dlyl$", {"*": "dlyStPtr->dlylLen - 1"}),
    (r"^kvo\w+bLmsl$", {"inSamps": "tapStPtr->downFactor"}),
    (r"^kvo\w+bLmslNa$", {"inSamps": "numIters * tapStPtr->downFactor",
                          "outSamps": "numIters * tapStPtr->upFactor"}),
    (r"^kvo\w+LmsInit$", {"taps": "tapsLen", "dlyl": "tapsLen + errDly - 1"}),
    (r"^kvo\w+LmsInitMr$", {"taps": "tapsLen", "dlyl": "tapsLen + errDly + downFactor - 1"}),
    (r"^kvo\w+bLmsDes$", {"inSamps": "numIters * statePtr->tapSt.downFactor", "*": "numIters"}),
    (r"^kvo.Lms(Set|Get)Taps$", {"*": "statePtr->tapSt.tapsLen"}),
    (r"^kvo.Lms(Set|Get)Dlyl$", {"*": "statePtr->dlySt.dlylLen - 1"}),
    (r"^kvo\w+bLms$", {"inSamps": "statePtr->tapSt.downFactor"}),
]
SIZE_BY_NAME = {  # fallbacks by parameter name
    "scaleFactor": "1", "taps": "tapsLen",
}

# State records: which Init calls prepare one for a function. {T} is the taps' type letter of a
# mixed member (its second letter), {S} the samples' type letter (its first), {X} the whole code.
RECIPES = {
    "FirTapState": ["kvo{T}FirlInit"],
    "FirDlyState": ["kvo{S}FirlInitDlyl", "kvo{S}FirlSetDlyl"],
    "FirState": ["kvo{X}FirInit"],
    "IirTapState": ["kvo{T}IirlInit"],
    "IirDlyState": ["kvo{S}IirlInitDlyl"],
    "IirState": ["kvo{X}IirInit"],
    "LmsTapState": ["kvo{T}LmslInit"],
    "LmsDlyState": ["kvo{S}LmslInitDlyl"],
    "LmsState": ["kvo{X}LmsInit"],
    "WtState": ["kvo{X}WtInit"],
    "GoertzState": ["kvo{X}GoertzInit"],
    "GoertzStateDouble": ["kvo{X}GoertzInit"],
    "ToneState": ["kvo{X}ToneInit"],
    "TrnglState": ["kvo{X}TrnglInit"],
    "RandUniState": ["kvo{X}RandUniInit"],
    "RandGausState": ["kvo{X}RandGausInit"],
    "WRandUniState": ["kvo{X}RandUniInit"],
    "WRandGausState": ["kvo{X}RandGausInit"],
}
# Functions whose records come from another member than the name says.
RECIPE_CODE = {
    r"^kvos?Lmsl(Get|Set)(Step|Leak)$": "s",
    r"^kvos?Lms(Get|Set)(Step|Leak)$": "s",
    r"^kvoWtFree$": "s", r"^kvoFirFree$": "s", r"^kvoIirFree$": "s", r"^kvoLmsFree$": "s",
}

# Valid integer overrides for irregular functions: {function regex: {param: value}}.
INT_OVERRIDE = [
    (r"^kvo.Fft|^kvo.rFft", {"flags": 1}),
    (r"RealFftl(Nip)?$", {"flags": 1 | 256}),
    (r"CcsFftl(Nip)?$", {"flags": 2 | 1024}),
    (r"Ccs2?Fft(Nip)?$", {"flags": 2}),
    (r"Dct$", {"flags": 1}),
    (r"^kvo.(Dft)$", {"flags": 1}),
    (r"FloatToInt$|FloatToFix$|FloatToS", {"flags": 0x80}),
    (r"IntToFloat$|FixToFloat$", {"flags": 0}),
    (r"^kvo.FirlInitMr$", {"upFactor": 2, "upPhase": 1, "downFactor": 3, "downPhase": 2}),
    (r"^kvo\w+FirInitMr$", {"upFactor": 3, "upPhase": 2, "downFactor": 2, "downPhase": 1}),
    (r"^kvo\w+LmslInitMr$|^kvo\w+LmsInitMr$", {"downFactor": 2, "downPhase": 1}),
    (r"^kvo.Wt", {"par1": 2}),
    (r"^kvoSetErrStatus$", {"status": 0}),
    (r"^kvo.Win", {"N": 7}),
    (r"^kvodFir(Low|High|Band)", {"tapsLen": 7}),
    (r"^kvo.Iirl?InitBq$|^kvo\w+IirInitBq$", {"numQuads": 2}),
    (r"^kvo.Iirl?Init$|^kvo\w+IirInit$", {"order": 2}),
]

# Arguments that may be the same array (in-place use the library allows): (function, in, out).
ALIASES = [
    (r"^kvo.Dft$|^kvo.Dct$", "src", "dst"),
    (r"^kvo\w+bIirl?$", "inSamps", "outSamps"),
    (r"UpSample$", "src", "dst"),
]

# Functions driven with valid calls only: their arguments are the caller's promises about memory
# the library cannot check (a block to free, a report function to call).
VALID_ONLY = {"kvoFree", "kvoRedirectError"}


def parse(header):
    text = re.sub(r"/\*.*?\*/", "", header.read_text(), flags=re.S)
    rows = []
    for ret, name, args in re.findall(r"^KVO_API\s+([\w \*]+?)\s*KVO_CALL\s+(\w+)\s*\((.*?)\);",
                                      text, flags=re.S | re.M):
        args = " ".join(args.split())
        params = []
        if args != "void":
            for a in args.split(","):
                m = re.match(r"(.*?)(\w+)(\[4\])?$", a.strip())
                params.append((m.group(1).strip(), m.group(2), bool(m.group(3))))
        rows.append((" ".join(ret.split()), name, params))
    return rows


def type_codes(name):
    m = re.match(r"kvo(sc|cs|dz|zd|wv|vw|[scdzwvij])?b?r?[A-Z0-9]", name)
    return (m.group(1) or "") if m else ""


def first_match(table, name):
    for pat, val in table:
        if re.search(pat, name):
            return val
    return None


def int_valid(name, pname):
    for pat, d in INT_OVERRIDE:
        if re.search(pat, name) and pname in d:
            return d[pname]
    return INT_VALID.get(pname, 1)


def kind_of(fname, ctype, pname, arr4):
    base = ctype.replace("const ", "").replace("*", "").strip()
    const = ctype.startswith("const ")
    if base in STATES:
        return ("State", base)
    if ctype == "ReportFunction":
        return ("Fn", None)
    if ctype == "const char*":
        return ("Str", None)
    if fname == "kvoFree":
        return ("Block", None)
    if pname == "scaleFactor":
        return ("ScaleFactor", "I32")
    if arr4 and pname == "Ftaps":
        return ("In" if const else "Out", "PTR")
    if "*" in ctype or arr4:
        return ("In" if const else "Out", ELEM[base])
    if base in ("int", "unsigned int"):
        if pname in LEN_NAMES:
            return ("Len", None)
        # The IIR order counts taps and delay elements; elsewhere an order is log2 of a length.
        if pname in ("order", "dataOrder") and "Iir" not in fname:
            return ("Order", None)
        if pname == "order":
            return ("Len", None)
        if pname in ("flags", "flag"):
            return ("Flags", None)
        if pname == "scaleMode":
            return ("ScaleMode", None)
        return ("Int", None)
    return ("Val", base)


def cxx_value(base, pname, fname):
    if base in ("short", "ComplexShort"):
        re_, im = SHORT_VALID.get(pname, (5, -3))
        if base == "ComplexShort":
            return f"{{.v = ComplexShort{{{int(re_)}, {int(im)}}}}}"
        return f"{{.w = {int(re_)}}}"
    if base == "unsigned int":
        return f"{{.u = {int(VAL_VALID.get(pname, (7, 0))[0])}u}}"
    re_, im = VAL_VALID.get(pname, (0.5, -0.5))
    if base == "float":
        return f"{{.f = {float(re_)!r}f}}"
    if base == "double":
        return f"{{.d = {float(re_)!r}}}"
    if base == "ComplexFloat":
        return f"{{.c = ComplexFloat{{{float(re_)!r}f, {float(im)!r}f}}}}"
    if base == "ComplexDouble":
        return f"{{.z = ComplexDouble{{{float(re_)!r}, {float(im)!r}}}}}"
    raise SystemExit(f"{fname}: no value rule for {base} {pname}")


def size_expr(fname, pname, params):
    table = first_match(SIZE_BY_FUNC, fname) or {}
    if pname in table:
        return table[pname]
    if "*" in table:
        return table["*"]
    if pname in SIZE_BY_NAME:
        return SIZE_BY_NAME[pname]
    names = [p[1] for p in params]
    for ln in ("n", "len", "length", "N", "sampsLen", "numIters"):
        if ln in names:
            return ln
    if "order" in names:
        return "N"
    if fname.startswith("kvo") and re.search(r"Goertz$|Tone$|Trngl$|Rand(Uni|Gaus)$", fname):
        return "1"
    raise SystemExit(f"{fname}: no size rule for {pname}")


def recipe(fname, stype):
    code = type_codes(fname)
    forced = first_match([(p, c) for p, c in RECIPE_CODE.items()], fname)
    if forced:
        code = forced
    if not code:
        raise SystemExit(f"{fname}: no type code for its {stype}")
    s, t = code[0], code[-1]
    if stype == "IirDlyState":  # the delay line of a mixed IIR filter is complex
        s = next((c for c in code if c in "cz"), s)
    return [r.format(S=s, T=t, X=code) for r in RECIPES[stype]]


def emit(rows, parts, out):
    w = out.append
    w("// Generated by scripts/gen_export_table.py from include/kvo.h: do not edit.")
    w("// One row per exported function: argument kinds, element counts, state recipes and a")
    w("// thunk that calls the function with arguments taken from a slot array.")
    w(f"#define KVO_TABLE_ROWS {len(rows)}")
    w("")
    names = {r[1] for r in rows}
    for ret, name, params in rows:
        pnames = [p[1] for p in params]
        # The call thunk.
        args = []
        for i, (ctype, pname, arr4) in enumerate(params):
            kind, _ = kind_of(name, ctype, pname, arr4)
            if kind == "Fn":
                args.append(f"a[{i}].fn")
            elif "*" in ctype or arr4:
                cast = ctype + ("*" if arr4 else "")
                args.append(f"({cast})a[{i}].p")
            else:
                args.append(f"a[{i}].{SLOT[ctype]}")
        call = f"{name}({', '.join(args)})"
        if ret == "void":
            body = f"{call};"
        elif ret in SLOT:
            body = f"r->{SLOT[ret]} = {call};"
        elif ret == "ReportFunction":
            body = f"r->fn = {call};"
        else:
            body = f"r->cp = {call};"
        unused_r = " (void)r;" if ret == "void" else ""
        unused_a = " (void)a;" if not params else ""
        w(f"static void call_{name}(Slot* a, Slot* r) {{{unused_a}{unused_r} {body} }}")
        # Element counts of the arrays.
        cases = []
        used = set()
        for i, (ctype, pname, arr4) in enumerate(params):
            kind, _ = kind_of(name, ctype, pname, arr4)
            if kind in ("In", "Out", "ScaleFactor"):
                e = size_expr(name, pname, params)
                cases.append(f"    case {i}: return {e};")
                used |= set(re.findall(r"[A-Za-z_]\w*", e))
        if cases:
            w(f"static long size_{name}(int k, const Slot* a) {{")
            w("  (void)a;")
            for i, (ctype, pname, arr4) in enumerate(params):
                if pname in used:
                    kind, st = kind_of(name, ctype, pname, arr4)
                    if kind == "State":
                        w(f"  const auto* {pname} = static_cast<const {st}*>(a[{i}].p);")
                    elif "*" in ctype:
                        w(f"  const int* {pname} = static_cast<const int*>(a[{i}].p);")
                    else:
                        w(f"  const long {pname} = a[{i}].i;")
            if "N" in used and "N" not in pnames:
                w(f"  const long N = POW2(a[{pnames.index('order')}].i);")
            w("  switch (k) {")
            out.extend(cases)
            w("  }")
            w("  return 0;")
            w("}")
        # The parameter rows.
        w(f"static const Param params_{name}[] = {{")
        if not params:
            w("  {}")
        for i, (ctype, pname, arr4) in enumerate(params):
            kind, sub = kind_of(name, ctype, pname, arr4)
            elem = "None"
            valid = "{.i = 0}"
            rec = "nullptr"
            if kind in ("In", "Out", "ScaleFactor"):
                elem = sub
            elif kind in ("Len", "Order", "Flags", "ScaleMode", "Int"):
                valid = f"{{.i = {int_valid(name, pname)}}}"
            elif kind == "Val":
                valid = cxx_value(sub, pname, name)
            elif kind == "State":
                elem = "None"
                steps = recipe(name, sub) if not re.search(
                    r"Init(Mr|Bq)?$|SetState$", name) or re.search(r"InitDlyl$", name) else []
                if re.search(r"InitDlyl$", name) and sub in ("FirDlyState", "IirDlyState",
                                                              "LmsDlyState"):
                    steps = []
                for s in steps:
                    if s not in names:
                        raise SystemExit(f"{name}: recipe {s} is no export")
                rec = "\"" + " ".join(steps) + "\"" if steps else "nullptr"
            st = f"St::{sub}" if kind == "State" else "St::None"
            w(f"  {{\"{pname}\", \"{ctype}{'[4]' if arr4 else ''}\", K::{kind}, E::{elem}, {st}, "
              f"{valid}, {rec}}},")
        w("};")
    w("")
    w("static const Row kRows[] = {")
    for ret, name, params in rows:
        rk = SLOT.get(ret, "fn" if ret == "ReportFunction" else ("" if ret == "void" else "cp"))
        has_size = any(kind_of(name, c, p, a4)[0] in ("In", "Out", "ScaleFactor")
                       for c, p, a4 in params)
        alias = first_match([(p, (i, o)) for p, i, o in ALIASES], name)
        alias_s = f"\"{alias[0]}\", \"{alias[1]}\"" if alias else "nullptr, nullptr"
        w(f"  {{\"{name}\", \"{parts[name]}\", \"{ret}\", R::{rk or 'none'}, "
          f"{len(params)}, params_{name}, call_{name}, "
          f"{'size_' + name if has_size else 'nullptr'}, {alias_s}, "
          f"{'true' if name in VALID_ONLY else 'false'}}},")
    w("};")
    return out


def main():
    target = Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "tests/adversarial/export_table.inc"
    rows = parse(ROOT / "include/kvo.h")
    exports = [ln.split()[1] for ln in (ROOT / "src/kvom6.exports").read_text().splitlines()
               if ln.strip() and not ln.startswith("#")]
    names = [r[1] for r in rows]
    if sorted(names) != sorted(exports) or len(set(names)) != len(names):
        missing = sorted(set(exports) - set(names))
        extra = sorted(set(names) - set(exports))
        raise SystemExit(f"header and src/kvom6.exports differ: missing {missing} extra {extra}")
    families = {ln.split()[1]: ln.split()[0]
                for ln in (ROOT / "src/kvom6.exports").read_text().splitlines()
                if ln.strip() and not ln.startswith("#")}
    out = emit(rows, families, [])
    modules = sorted({m for f in sorted((ROOT / "src").rglob("*.cpp"))
                      for m in re.findall(r'kModule = "(\w+)"', f.read_text())})
    out.append("")
    out.append("// The library's module names, which reports give as their file name.")
    out.append("static const char* const kModules[] = {")
    for i in range(0, len(modules), 8):
        out.append("    " + " ".join(f'"{m}",' for m in modules[i:i + 8]))
    out.append("};")
    target.write_text("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
