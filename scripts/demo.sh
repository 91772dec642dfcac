#!/bin/sh
# Builds the library and runs kvo-demo.
set -eu
cd "$(dirname "$0")/.."
scripts/deps.sh build
cmake -S . -B build/demo -DCMAKE_BUILD_TYPE=Release -DKVO_BUILD_TESTS=OFF >/dev/null
cmake --build build/demo -j"${KVO_JOBS:-2}" --target kvo-demo >/dev/null
# The picture goes next to the program unless the caller names another place.
exec build/demo/kvo-demo --output build/demo/kvo-demo.svg "$@"
