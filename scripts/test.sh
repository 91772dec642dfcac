#!/bin/sh
# Builds the library and runs every test: a release build with GCC, then an ASan+UBSan build
# with clang (which also shows the sources are warning-free with both compilers), the reference
# pages, a 32-bit x86 Linux build whose test suite runs under qemu-i386, then the Windows DLLs
# (scripts/windows.sh). KVO_I686=0 leaves the 32-bit stage out; KVO_WINDOWS=0 leaves Windows out,
# KVO_WINDOWS=build runs its cross builds and export checks without the test run under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh test

jobs=${KVO_JOBS:-2}
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc \
  -DCMAKE_CXX_COMPILER=g++
cmake --build build/release -j"$jobs"
ctest --test-dir build/release --output-on-failure
# What a user does on day one: install to a fresh prefix, build an application both ways.
scripts/consumer.sh build/release

# The sanitizer build also takes KVO_ISA from the environment, so it can run the suite per level,
# and carries the fuzzer's coverage: after its tests (the adversarial driver among them) the fuzz
# target over every export runs for KVO_FUZZ_SECONDS (default 60).
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_SANITIZE=ON -DKVO_ENV_ISA=ON \
  -DKVO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure
KVO_FUZZ_SEED=1 scripts/fuzz.sh "${KVO_FUZZ_SECONDS:-60}"

# The reference pages: any Doxygen warning fails.
scripts/docs.sh build/docs

# The same C++ for 32-bit x86 (4-byte pointers, 32-bit long, the stack alignment of i686 code),
# run under user-mode emulation.
if [ "${KVO_I686:-1}" != 0 ]; then
  scripts/deps.sh i686
  cmake -S . -B build/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-linux.cmake \
    -DCMAKE_BUILD_TYPE=Release
  cmake --build build/i686 -j"$jobs"
  # Emulation is some twenty times slower (x87 long double, the reference type of many tests, far
  # more): the exhaustive 16-bit sweeps, identical code on both targets, run natively only, and
  # KVO_TEST_EMULATED trims the largest transform sizes. qemu-i386 on these hosts never returns
  # from creating a thread or from gtest's cloned death-test child, so the tests that start threads
  # or end the process run natively and in the Windows suite only.
  KVO_TEST_EMULATED=1 GTEST_FILTER='-*Exhaustive*:*Thread*:*DeathTest*' \
    ctest --test-dir build/i686 --output-on-failure
fi

case "${KVO_WINDOWS:-1}" in
  0) ;;
  build) scripts/windows.sh --no-wine ;;
  *) scripts/windows.sh ;;
esac
