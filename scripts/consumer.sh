#!/bin/sh
# Installs a build into a fresh prefix and builds examples/consumer against it both ways: with
# CMake's find_package(kvom6) (shared and static) and with pkg-config; runs all three programs.
#   scripts/consumer.sh [BUILD_DIR]    (default build/release, configured and built already)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build/release}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S examples/consumer -B "$prefix/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libkvom6.so' | head -n 1)")
LD_LIBRARY_PATH=$libdir "$prefix/consumer/consumer_shared"
"$prefix/consumer/consumer_static"

pc=$(dirname "$(find "$prefix" -name kvom6.pc)")
export PKG_CONFIG_PATH=$pc
# shellcheck disable=SC2046
cc -std=c99 -o "$prefix/consumer_pc" examples/consumer/consumer.c $(pkg-config --cflags --libs kvom6) -lm
LD_LIBRARY_PATH=$libdir "$prefix/consumer_pc"
# shellcheck disable=SC2046
cc -std=c99 -o "$prefix/consumer_pc_static" examples/consumer/consumer.c $(pkg-config --cflags kvom6) \
  "$libdir/libkvom6.a" \
  $(pkg-config --static --libs-only-l kvom6 | sed 's/-lkvom6//') -lm
"$prefix/consumer_pc_static"
echo "consumer: installed to a fresh prefix, built with find_package and pkg-config, all ran"
