#!/usr/bin/env python3
"""Mutation testing of the library's sources: how many small faults does the test suite catch?

Picks a seeded, deterministic sample of mechanical mutations over src/ (flipped comparisons,
constants one off, swapped or flipped operands, and/or exchanged, dropped saturation), applies
them one at a time to a private copy of the tree, rebuilds incrementally (Ninja with ccache, so
the restored original is a cache hit), and runs kvo_tests, the adversarial driver against its
golden file, the threads program and the Python reference tests. A mutant is killed when a test
fails or a run times out, survives when everything passes, and is not counted when it does not
compile. Each result goes to the log as soon as it is known; with
--resume a later run skips the mutants already in the log.

  scripts/mutate.sh                       the sample against the working tree's tests
  scripts/mutate.sh --tests-rev main      the same sample against the tests of a revision
  scripts/mutate.sh --list                print the sample only
  scripts/mutate.sh --keep-libs DIR       also keep each mutant's libraries
  scripts/mutate.sh --from-libs DIR       the tests of now against the kept mutants: no rebuilds
                    [--follow LOG]        ... while the --keep-libs run that writes LOG goes on

The sample depends only on --seed, --count and the text of src/, so two runs with the same src/
see the same mutants whichever tests they run.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Not compiled on this platform, intrinsic wrappers whose mutants do not compile or only change
# speed, and constant tables where a digit more or less is lost in the rounding of the values.
EXCLUDED = {
    "src/frame/platform_win32.cpp",
    "src/frame/platform.h",
    "src/kernels/isa.cpp",
    "src/kernels/isa.h",
    "src/kernels/ftz.h",
    "src/kernels/vector/arithw_simd.h",
    "src/kernels/vector/elem_lanes.h",
    "src/kernels/vector/elemlnexp_tables.cpp",
    "src/kernels/transform/fft16table.cpp",
    "src/transform/wltsfilters.cpp",
    "src/frame/kvomem.cpp",
}
# Lines that hold intrinsics or compile-time structure rather than arithmetic.
SKIP_LINE = re.compile(r"_mm\d*_|__m\d|static_assert|template\s*<|alignas|constexpr int k\w+ = \d+;$")

OPERAND = r"(?:[A-Za-z_]\w*|\d+)"
OPERATORS = {
    # name: (pattern, replacement function)
    "relational": (re.compile(r"(?<=\s)(<=|>=|<|>|==|!=)(?=\s)"),
                   lambda m: {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=",
                              "!=": "=="}[m.group(1)]),
    "constant": (re.compile(r"(?<![\w.])(\d+)(?![\w.'])"),
                 lambda m: str(int(m.group(1)) + 1) if int(m.group(1)) < 2 else
                 str(int(m.group(1)) - 1)),
    "swap-minus": (re.compile(r"(?<![\w.\]\)>:])(" + OPERAND + r") - (" + OPERAND +
                              r")(?![\w(\[.:]|->)"),
                   lambda m: m.group(2) + " - " + m.group(1)),
    "plus-minus": (re.compile(r"(?<=\w|\)|\]) ([+-]) (?=[\w(])"),
                   lambda m: " - " if m.group(1) == "+" else " + "),
    "compound": (re.compile(r"(?<=\s)([+-])=(?=\s)"),
                 lambda m: "-=" if m.group(1) == "+" else "+="),
    "logical": (re.compile(r"(?<=\s)(&&|\|\|)(?=\s)"),
                lambda m: "||" if m.group(1) == "&&" else "&&"),
    "saturation": (re.compile(
        r"(?:std::clamp(?:<\w+>)?\((\w+), -32768, 32767\)"
        r"|(\w+) > 32767 \? 32767 : \w+ < -32768 \? -32768 : \w+)"),
                   lambda m: m.group(1) or m.group(2)),
}


def mask(text):
    """The text with comments, string and character literals and preprocessor lines blanked,
    offsets and line breaks kept, so that patterns only see code."""
    out = list(text)
    i, n = 0, len(text)

    def blank(a, b):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = " "

    at_line_start = True
    while i < n:
        c = text[i]
        if at_line_start and text[i:].lstrip(" \t").startswith("#"):
            j = i
            while True:  # a directive, with its continuation lines
                e = text.find("\n", j)
                e = n if e < 0 else e
                if e > 0 and text[e - 1] == "\\":
                    j = e + 1
                    continue
                break
            blank(i, e)
            i = e
            continue
        at_line_start = c == "\n"
        if text.startswith("//", i):
            e = text.find("\n", i)
            e = n if e < 0 else e
            blank(i, e)
            i = e
        elif text.startswith("/*", i):
            e = text.find("*/", i + 2)
            e = n if e < 0 else e + 2
            blank(i, e)
            i = e
        elif c in "\"'" and not (c == "'" and i > 0 and text[i - 1].isalnum()):
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            blank(i, j + 1)
            i = j + 1
        else:
            i += 1
    return "".join(out)


def rebuild_cost(src_root):
    """Translation units that include each source file (a kernel template counts once per
    instruction-set level). Headers that most of the library includes make every mutant a full
    rebuild; they are left out."""
    texts = {}
    for dirpath, _, files in os.walk(os.path.join(src_root, "src")):
        for name in files:
            path = os.path.join(dirpath, name)
            texts[os.path.relpath(path, os.path.join(src_root, "src"))] = open(
                path, encoding="utf-8").read()
    includes = {}
    for rel, text in texts.items():
        includes[rel] = set()
        for m in re.finditer(r'#include "([^"]+)"', text):
            for c in (m.group(1), os.path.normpath(os.path.join(os.path.dirname(rel), m.group(1)))):
                if c in texts:
                    includes[rel].add(c)
                    break
    cost = dict.fromkeys(texts, 0)
    for unit in texts:
        if not unit.endswith((".cpp", ".inl")):
            continue
        seen, todo = {unit}, [unit]
        while todo:
            for dep in includes[todo.pop()] - seen:
                seen.add(dep)
                todo.append(dep)
        for rel in seen:
            cost[rel] += 3 if unit.endswith(".inl") else 1
    return {os.path.join("src", rel): c for rel, c in cost.items()}


MAX_REBUILD = 16


def candidates(src_root):
    """Every mutation site: (file, offset, old text, new text, operator, line number)."""
    found = []
    cost = rebuild_cost(src_root)
    for dirpath, _, files in sorted(os.walk(os.path.join(src_root, "src"))):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h", ".inl", ".inc")):
                continue
            path = os.path.join(dirpath, name)
            rel = os.path.relpath(path, src_root)
            if rel in EXCLUDED or cost.get(rel, 0) > MAX_REBUILD:
                continue
            with open(path, encoding="utf-8") as f:
                text = f.read()
            code = mask(text)
            lines = text.split("\n")
            for op, (pattern, replace) in OPERATORS.items():
                for m in pattern.finditer(code):
                    line_no = code.count("\n", 0, m.start()) + 1
                    if SKIP_LINE.search(lines[line_no - 1]):
                        continue
                    new = replace(m)
                    if new == m.group(0):
                        continue
                    found.append((rel, m.start(), m.group(0), new, op, line_no))
    return found


def sample(all_sites, count, seed):
    """Round-robin over the operators, a seeded random site of each in turn, so that the rare
    kinds (saturation, logical) are not drowned by the common ones."""
    rng = random.Random(seed)
    by_op = {}
    for site in all_sites:
        by_op.setdefault(site[4], []).append(site)
    for sites in by_op.values():
        rng.shuffle(sites)
    chosen = []
    ops = sorted(by_op)
    while len(chosen) < count and any(by_op.values()):
        for op in ops:
            if by_op[op] and len(chosen) < count:
                chosen.append(by_op[op].pop())
    return chosen


def run(cmd, cwd, timeout, log=None):
    """(exit code, timed out). Output goes to `log` (a file object) or is dropped."""
    try:
        proc = subprocess.run(cmd, cwd=cwd, timeout=timeout, stdout=log or subprocess.DEVNULL,
                              stderr=subprocess.STDOUT if log else subprocess.DEVNULL)
        return proc.returncode, False
    except subprocess.TimeoutExpired:
        return -1, True


def sync(src, dst):
    """Copies the file unless dst already holds the same bytes, so that a build sees exactly the
    files that changed (a file left mutated by an interrupted run gets a new time stamp)."""
    if os.path.exists(dst):
        with open(src, "rb") as a, open(dst, "rb") as b:
            if a.read() == b.read():
                return
    os.makedirs(os.path.dirname(dst), exist_ok=True)
    shutil.copy(src, dst)


def prepare_tree(work, tests_rev):
    tree = os.path.join(work, "tree")
    for part in ["src", "include", "cmake", "demo", "tools", "CMakeLists.txt"]:
        src = os.path.join(ROOT, part)
        if os.path.isdir(src):
            for dirpath, _, files in os.walk(src):
                for name in files:
                    path = os.path.join(dirpath, name)
                    sync(path, os.path.join(tree, os.path.relpath(path, ROOT)))
        else:
            sync(src, os.path.join(tree, part))
    tests = os.path.join(tree, "tests")
    if os.path.isdir(tests):
        shutil.rmtree(tests)
    if tests_rev:
        os.makedirs(tests)
        archive = subprocess.run(["git", "-C", ROOT, "archive", tests_rev, "tests"],
                                 check=True, stdout=subprocess.PIPE).stdout
        subprocess.run(["tar", "-x", "-C", tree], input=archive, check=True)
    else:
        shutil.copytree(os.path.join(ROOT, "tests"), tests)
    return tree


class Suite:
    def __init__(self, tree, build, jobs, timeout):
        self.tree, self.build, self.jobs, self.timeout = tree, build, jobs, timeout
        self.library = os.path.join(build, "libkvom6.so")
        self.python = "/usr/bin/python3"
        self.references = sorted(
            os.path.join(tree, "tests", "reference", f)
            for f in os.listdir(os.path.join(tree, "tests", "reference")) if f.endswith("_test.py"))
        # The test programs linked with the static library, in the order they run: (target, path
        # in the build, arguments). Older test trees may lack the driver or the threads program.
        golden = os.path.join(tree, "tests", "adversarial", "golden.txt")
        self.programs = [("kvo_tests", "tests/kvo_tests", ["--gtest_brief=1", "--gtest_fail_fast"])]
        if os.path.exists(golden):
            self.programs.append(("kvo_adversarial", "tests/adversarial/kvo_adversarial", [golden]))
        if os.path.exists(os.path.join(tree, "tests", "threads", "threads_test.cpp")):
            self.programs.append(("kvo_threads", "tests/kvo_threads",
                                  ["--gtest_brief=1", "--gtest_fail_fast"]))

    def configure(self):
        subprocess.run(["cmake", "-S", self.tree, "-B", self.build, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_C_COMPILER=gcc",
                        "-DCMAKE_CXX_COMPILER=g++", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
                        "-DCMAKE_C_COMPILER_LAUNCHER=ccache"],
                       check=True, stdout=subprocess.DEVNULL)

    def compile_tests(self, log):
        """Only the objects of the test programs and the driver's harness library (for linking
        with kept libraries)."""
        targets = subprocess.run(["ninja", "-C", self.build, "-t", "targets", "all"], check=True,
                                 stdout=subprocess.PIPE, text=True).stdout
        names = "|".join(target for target, _, _ in self.programs) + "|kvo_adv_harness"
        wanted = re.compile(r"tests/(?:adversarial/)?CMakeFiles/(?:" + names + r")\.dir/.*\.o:")
        objects = [t.split(":")[0] for t in targets.splitlines() if wanted.match(t)]
        code, _ = run(["ninja", "-C", self.build, "-j", str(self.jobs)] + objects,
                      self.tree, None, log)
        if code == 0 and any(target == "kvo_adversarial" for target, _, _ in self.programs):
            # The harness archive holds no library code, so it does not wait for a library build.
            code, _ = run(["sh", "-c", self.commands("tests/adversarial/libkvo_adv_harness.a")],
                          self.build, None, log)
        return code == 0

    def compile(self, log):
        code, _ = run(["cmake", "--build", self.build, "-j", str(self.jobs), "--target",
                       "kvom6"] + [target for target, _, _ in self.programs], self.tree, None, log)
        return code == 0

    def commands(self, output):
        """The last of the commands that make `output` in the build (its link or archive step)."""
        commands = subprocess.run(["ninja", "-C", self.build, "-t", "commands", output],
                                  check=True, stdout=subprocess.PIPE, text=True).stdout
        return commands.strip().split("\n")[-1]

    def killer(self):
        """None when every test passes, otherwise what failed first: a gtest name, a reference
        script, or either with "timeout". A crash, a failure or a timeout is a kill."""
        for target, path, arguments in self.programs:
            out = os.path.join(self.build, target + ".out")
            with open(out, "w", encoding="utf-8") as log:
                code, timed_out = run([os.path.join(self.build, path)] + arguments,
                                      self.build, self.timeout, log)
            if code != 0:
                with open(out, encoding="utf-8", errors="replace") as log:
                    text = log.read()
                failed = re.findall(r"^\[  FAILED  \] ([^\s,]+)", text, re.M) or [
                    target + " " + m for m in re.findall(r"^FAIL (\S+)", text, re.M)]
                return (failed[0] if failed else target) + (" timeout" if timed_out else "")
        for script in self.references:
            code, timed_out = run([self.python, script, self.library], self.build,
                                  self.timeout)
            if code != 0:
                return os.path.basename(script) + (" timeout" if timed_out else "")
        return None


    def keep(self, where):
        """Copies the mutant's libraries, so that other tests can be run against it later."""
        os.makedirs(where, exist_ok=True)
        shutil.copy(os.path.join(self.build, "libkvom6.a"), where)
        shutil.copy(os.path.realpath(self.library), os.path.join(where, "libkvom6.so"))

    def relinker(self):
        """The link commands of the test programs as a function of the static library to link."""
        links = [self.commands(path) for _, path, _ in self.programs]
        for link in links:
            assert re.search(r"(?<![\w/])libkvom6\.a", link), link

        def relink(archive, log):
            for link in links:
                cmd = re.sub(r"(?<![\w/])libkvom6\.a", lambda _: archive, link, count=1)
                if subprocess.run(["sh", "-c", cmd], cwd=self.build, stdout=log,
                                  stderr=subprocess.STDOUT).returncode != 0:
                    return False
            return True
        return relink


def apply(tree, site):
    rel, offset, old, new = site[:4]
    path = os.path.join(tree, rel)
    with open(path, encoding="utf-8") as f:
        text = f.read()
    assert text[offset:offset + len(old)] == old, (rel, offset, old)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text[:offset] + new + text[offset + len(old):])
    return path, text


def wait_for(log_path, index, limit=4 * 3600):
    """Waits until the log of a running --keep-libs run has a result for mutant `index`."""
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        if os.path.exists(log_path):
            with open(log_path, encoding="utf-8") as f:
                if any(l.split()[1:2] == [str(index)] for l in f if not l.startswith("#")):
                    return True
        time.sleep(10)
    return False


def describe(index, site):
    rel, _, old, new, op, line = site
    return f"{index:3d} {op:10s} {rel}:{line}  {old!r} -> {new!r}"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--count", type=int, default=120)
    ap.add_argument("--tests-rev", help="take tests/ from this git revision")
    ap.add_argument("--work", default=os.path.join(ROOT, "build", "mutate"))
    ap.add_argument("--log", help="result log (default WORK/mutants.log)")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds per test program (default: 4 times the clean run, at least 60)")
    ap.add_argument("--resume", action="store_true", help="skip the mutants already in the log")
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--only", type=int, nargs="*", help="run only these mutant numbers")
    ap.add_argument("--keep-libs", help="keep each mutant's libraries in this folder")
    ap.add_argument("--from-libs", help="do not rebuild: link the tests with the libraries kept "
                    "in this folder by an earlier --keep-libs run (same seed and count)")
    ap.add_argument("--build-only", action="store_true",
                    help="with --keep-libs: build and keep the mutants, run no tests")
    ap.add_argument("--follow", help="with --from-libs: the log of the --keep-libs run, which may "
                    "still be running; each mutant waits for its result there")
    args = ap.parse_args()
    # Long and CPU-bound: at niceness 10, once (commands started from here inherit it).
    if os.nice(0) < 10:
        os.nice(10 - os.nice(0))
    for name in ("work", "log", "keep_libs", "from_libs", "follow"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))

    chosen = sample(candidates(ROOT), args.count, args.seed)
    if args.list:
        for i, site in enumerate(chosen):
            print(describe(i, site))
        return 0

    os.makedirs(args.work, exist_ok=True)
    log_path = args.log or os.path.join(args.work, "mutants.log")
    done = set()
    if args.resume and os.path.exists(log_path):
        with open(log_path, encoding="utf-8") as f:
            done = {int(l.split()[1]) for l in f
                    if l.startswith(("killed", "survived", "nocompile", "built"))}
    tree = prepare_tree(args.work, args.tests_rev)
    suite = Suite(tree, os.path.join(args.work, "build"), args.jobs, None)
    suite.configure()
    build_log = open(os.path.join(args.work, "build.log"), "w", encoding="utf-8")
    relink = None
    if args.from_libs:
        # The libraries come from the earlier run (its folder "clean" holds unmutated ones).
        if not suite.compile_tests(build_log):
            print("the tests do not build; see", build_log.name, file=sys.stderr)
            return 1
        relink = suite.relinker()
        clean = os.path.join(args.from_libs, "clean")
        suite.library = os.path.join(clean, "libkvom6.so")
        if not relink(os.path.join(clean, "libkvom6.a"), build_log):
            print("cannot link the tests; see", build_log.name, file=sys.stderr)
            return 1
    elif not suite.compile(build_log):
        print("the unmutated tree does not build; see", build_log.name, file=sys.stderr)
        return 1
    elif args.keep_libs:
        suite.keep(os.path.join(args.keep_libs, "clean"))
    start = time.monotonic()
    if args.build_only:
        pass
    elif suite.killer() is not None:
        print("the unmutated tree fails its own tests", file=sys.stderr)
        return 1
    suite.timeout = args.timeout or max(60.0, 4 * (time.monotonic() - start))

    with open(log_path, "a" if args.resume else "w", encoding="utf-8") as log:
        if not args.resume:
            log.write(f"# seed {args.seed}, {len(chosen)} mutants, tests from "
                      f"{args.tests_rev or 'the working tree'}, timeout {suite.timeout:.0f} s\n")
        for i, site in enumerate(chosen):
            if i in done or (args.only and i not in args.only):
                continue
            killer = None
            build_log.seek(0)
            build_log.truncate()
            if args.from_libs:
                kept = os.path.join(args.from_libs, str(i))
                if args.follow and not wait_for(args.follow, i):
                    print(f"no result for mutant {i} in {args.follow}", file=sys.stderr)
                    return 1
                if not os.path.isdir(kept):
                    verdict = "nocompile"
                else:
                    suite.library = os.path.join(kept, "libkvom6.so")
                    if not relink(os.path.join(kept, "libkvom6.a"), build_log):
                        print("cannot link the tests; see", build_log.name, file=sys.stderr)
                        return 1
                    killer = suite.killer()
                    verdict = "survived" if killer is None else "killed"
            else:
                path, original = apply(tree, site)
                try:
                    if not suite.compile(build_log):
                        verdict = "nocompile"
                    else:
                        if args.keep_libs:
                            suite.keep(os.path.join(args.keep_libs, str(i)))
                        if args.build_only:
                            verdict = "built"
                        else:
                            killer = suite.killer()
                            verdict = "survived" if killer is None else "killed"
                finally:
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(original)
            line = f"{verdict:9s} {describe(i, site)}" + (f"  by {killer}" if killer else "")
            log.write(line + "\n")
            log.flush()
            print(line, flush=True)
        # Leave the build matching the clean tree.
        if not args.from_libs:
            suite.compile(build_log)

    with open(log_path, encoding="utf-8") as f:
        verdicts = [l.split()[0] for l in f if not l.startswith("#")]
    summary = {v: verdicts.count(v) for v in ("killed", "survived", "nocompile")}
    print(f"killed {summary['killed']}, survived {summary['survived']}, "
          f"not compiling {summary['nocompile']} (log: {log_path})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
