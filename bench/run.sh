#!/usr/bin/env bash
# The unpacking benchmark: builds the native tree in build/bench and runs payload_bench, which
# writes about 6 GiB below $TMPDIR (default /tmp) and removes it again. Options go to the
# benchmark: --runs N (default 9), --dir FOLDER, --keep.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset native -B build/bench >/dev/null
cmake --build build/bench -j "$(nproc)" --target payload_bench >/dev/null
exec build/bench/bin/payload_bench "$@"
