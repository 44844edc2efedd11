#!/usr/bin/env bash
# Builds the shipped pair into dist/: Setup.exe (32-bit, PE32) and Data.cab packed from the sample
# product's 32-bit programs and data, with the file list its uninstaller reads (quenunset.lst), and
# SHA256SUMS. The same sources give byte-identical files.
#   scripts/dist.sh [OUTPUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}
if [ "$(id -u)" -eq 0 ]; then scripts/install-deps.sh >/dev/null; fi
jobs=$(nproc)

cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target payload-tool >/dev/null
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$jobs" --target Setup sample_product >/dev/null

rm -rf "$out"
mkdir -p "$out"
cp build/win32/bin/Setup.exe "$out/Setup.exe"
build/native/bin/payload-tool pack --file-list quenunset.lst build/win32/sample/product "$out/Data.cab"
build/native/bin/payload-tool verify "$out/Data.cab" >/dev/null
(cd "$out" && sha256sum Setup.exe Data.cab > SHA256SUMS)
echo "dist: $(cd "$out" && pwd)"
cat "$out/SHA256SUMS"
