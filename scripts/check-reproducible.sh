#!/usr/bin/env bash
# Builds the shipped pair twice, in this source tree (whose build the test command has just made)
# and in a copy of it in another folder, and checks that Setup.exe and Data.cab come out
# byte-identical.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
scripts/dist.sh "$work/here" >/dev/null
copy="$work/second-folder-with-a-longer-name"
mkdir -p "$copy/src"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy/src"
(cd "$copy/src" && scripts/dist.sh "$copy/dist" >/dev/null)
status=0
for file in Setup.exe Data.cab; do
    if cmp -s "$work/here/$file" "$copy/dist/$file"; then
        echo "reproducible: $file $(sha256sum < "$work/here/$file" | cut -c1-16)"
    else
        echo "NOT reproducible: $file differs between the two builds"
        status=1
    fi
done
exit "$status"
