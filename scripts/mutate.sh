#!/bin/sh
# Mutation testing: how many small faults planted in src/ do the tests catch? See
# scripts/mutate.py for the mutations and the options (--tests-rev REV, --seed, --count, --list).
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh mutate
exec /usr/bin/python3 scripts/mutate.py "$@"
