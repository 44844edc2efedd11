#!/usr/bin/env bash
# Builds the shipped pair twice, from copies of this source tree in two different folders, and
# checks that Setup.exe and Data.cab come out byte-identical.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for copy in a "second-folder-with-a-longer-name"; do
    mkdir -p "$work/$copy/src"
    git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$work/$copy/src"
    (cd "$work/$copy/src" && scripts/dist.sh "$work/$copy/dist" >/dev/null)
done
status=0
for file in Setup.exe Data.cab; do
    if cmp -s "$work/a/dist/$file" "$work/second-folder-with-a-longer-name/dist/$file"; then
        echo "reproducible: $file $(sha256sum < "$work/a/dist/$file" | cut -c1-16)"
    else
        echo "NOT reproducible: $file differs between the two builds"
        status=1
    fi
done
exit "$status"
