#!/bin/sh
# Windows builds of kvom6.dll with Debian's MinGW-w64 cross compilers:
#  - 32-bit x86 (build/win32): the DLL and the C programs; checked by its export and import
#    tables, since these machines cannot run 32-bit Windows programs;
#  - x86-64 (build/win64): everything, and the test suite run under Wine in a fresh prefix.
#
#   scripts/windows.sh            both builds, the export checks and the Wine test run
#   scripts/windows.sh --no-wine  both builds and the export checks only
set -eu
cd "$(dirname "$0")/.."

wine=1
case "${1:-}" in
  "") ;;
  --no-wine) wine=0 ;;
  *) echo "usage: $0 [--no-wine]" >&2; exit 2 ;;
esac
if [ "$wine" -eq 1 ]; then scripts/deps.sh windows; else scripts/deps.sh windows-build; fi

jobs=${KVO_JOBS:-2}

configure() {
  cmake -S . -B "$1" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/$2" >/dev/null
}

# The export check; it prints the counts per family and the imported DLLs.
exports() {
  if ! ctest --test-dir "$1" -R '^exports$' -V >"$1/exports.log" 2>&1; then
    cat "$1/exports.log"
    return 1
  fi
  sed -n 's/^[0-9]*: //; /names exported/,/^imports:/p' "$1/exports.log"
}

echo "== kvom6.dll for 32-bit x86"
configure build/win32 toolchain-mingw-i686.cmake
cmake --build build/win32 -j"$jobs" --target kvom6 kvo_static kvo_c99 kvo_dll_lifecycle
exports build/win32

echo "== kvom6.dll for x86-64"
configure build/win64 toolchain-mingw-x86_64.cmake
if [ "$wine" -eq 0 ]; then
  cmake --build build/win64 -j"$jobs" --target kvom6 kvo_static kvo_c99 kvo_dll_lifecycle
  exports build/win64
  exit 0
fi
cmake --build build/win64 -j"$jobs"
exports build/win64

# Wine in a prefix of its own, without a display (a message box then returns at once). Its
# background services are started before ctest, so that they do not hold a test's output pipe.
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/kvo-wine.XXXXXX")
WINEDEBUG=-all
export WINEPREFIX WINEDEBUG
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$WINEPREFIX"' EXIT
echo "== starting Wine"
wine cmd /c exit 0 >/dev/null 2>&1
echo "== tests under Wine"
ctest --test-dir build/win64 --output-on-failure --timeout 900
