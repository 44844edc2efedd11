#!/usr/bin/env bash
# The main job: builds everything and runs the installer under Wine in a prefix of the project's
# own (never the user's ~/.wine).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "$(id -u)" -eq 0 ]; then scripts/install-deps.sh; fi
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)"
echo "run: the installer is not built yet; the Windows build and its tests are in build/win64"
