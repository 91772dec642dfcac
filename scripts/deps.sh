#!/bin/sh
# Installs the Debian packages a task needs when the machine lacks them.
#   scripts/deps.sh build   compilers and CMake
#   scripts/deps.sh test    the above, GoogleTest, clang's sanitizer runtime, reference packages
#   scripts/deps.sh bench   the above, Google Benchmark and the peer libraries
#   scripts/deps.sh windows-build   CMake, GoogleTest's sources, the MinGW-w64 cross compilers
#   scripts/deps.sh windows the above and Wine for the 64-bit test run
#   scripts/deps.sh docs    Doxygen, for scripts/docs.sh
#   scripts/deps.sh mutate  the test set and ccache, for scripts/mutate.sh
#   scripts/deps.sh leaks   the test set and valgrind, for a run of the suite under valgrind
#   scripts/deps.sh i686    the 32-bit x86 Linux cross compiler, GoogleTest's sources, qemu-i386
set -eu

build="cmake make g++ gcc"
test="$build pkgconf clang libclang-rt-14-dev libgtest-dev libgmock-dev python3 python3-numpy python3-scipy python3-pywt"
bench="$test libbenchmark-dev libfftw3-dev libkissfft-dev libliquid-dev libopenblas-dev"
windows_build="cmake make googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix"
windows="$windows_build wine wine64"
docs="doxygen python3"
mutate="$test ninja-build ccache"
leaks="$test valgrind"
i686="cmake make googletest g++-i686-linux-gnu qemu-user"

case "${1:-build}" in
  build) wanted=$build ;;
  test) wanted=$test ;;
  bench) wanted=$bench ;;
  windows-build) wanted=$windows_build ;;
  windows) wanted=$windows ;;
  docs) wanted=$docs ;;
  mutate) wanted=$mutate ;;
  leaks) wanted=$leaks ;;
  i686) wanted=$i686 ;;
  *) echo "usage: $0 build|test|bench|windows-build|windows|docs|mutate|leaks|i686" >&2; exit 2 ;;
esac

missing=""
for pkg in $wanted; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
    missing="$missing $pkg"
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "missing packages:$missing (run as root to install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
