#!/usr/bin/env bash
# Checks the layout of the sources, builds every configuration and runs every test: native, native with sanitizers, a short fuzzing
# run, the Windows tests under Wine (64-bit build), the checks of the shipped 32-bit build, and a
# check that the shipped pair builds byte-identical from two different folders.
# Each Wine test gets a fresh prefix inside build/win64/wine; the user's ~/.wine is never used.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then scripts/install-deps.sh; fi
jobs=$(nproc)

build() {
    cmake --preset "$1" >"build-$1.log" 2>&1 || { cat "build-$1.log"; return 1; }
    cmake --build --preset "$1" -j "$jobs" >>"build-$1.log" 2>&1 || { tail -n 60 "build-$1.log"; return 1; }
    rm -f "build-$1.log"
}

. scripts/xvfb.sh

echo "== layout"
scripts/check-format.sh

echo "== native"
build native
ctest --preset native -j "$jobs"

echo "== native with AddressSanitizer and UndefinedBehaviorSanitizer"
build native-asan
ctest --preset native-asan -j "$jobs"

echo "== fuzzing (short run)"
build fuzz
ctest --test-dir build/fuzz --output-on-failure

echo "== win32 (shipped build; no 32-bit Wine here, so only its static checks run)"
build win32
ctest --preset win32 -LE wine

echo "== win64 under Wine"
build win64
rm -rf build/win64/wine
start_xvfb_if_needed
ctest --preset win64 -j "$jobs"

echo "== the shipped pair is reproducible (built twice, in two different folders)"
scripts/check-reproducible.sh
