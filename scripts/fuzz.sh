#!/bin/sh
# Builds the libFuzzer target over every export (in the sanitizer build, with coverage) and runs it
# for SECONDS (default 60) from the corpus in tests/adversarial/corpus. New inputs go to
# build/sanitize/fuzz-corpus; a crash leaves its input in build/sanitize/fuzz-artifacts.
# KVO_FUZZ_SEED fixes libFuzzer's seed (the test pipeline uses 1, so its run repeats the same
# inputs); unset, every run takes a new one.
#   scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-${KVO_FUZZ_SECONDS:-60}}
jobs=${KVO_JOBS:-2}
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVO_SANITIZE=ON -DKVO_ENV_ISA=ON \
  -DKVO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/sanitize -j"$jobs" --target kvo_fuzz_exports
mkdir -p build/sanitize/fuzz-corpus build/sanitize/fuzz-artifacts
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
  build/sanitize/tests/adversarial/kvo_fuzz_exports -max_total_time="$seconds" -rss_limit_mb=4096 \
  -max_len=4096 -timeout=20 -print_final_stats=1 -seed="${KVO_FUZZ_SEED:-0}" \
  -artifact_prefix=build/sanitize/fuzz-artifacts/ build/sanitize/fuzz-corpus tests/adversarial/corpus
