#!/usr/bin/env bash
# Fails, naming each file, when a C++ file the repository tracks is not laid out as .clang-format
# says. Mend with: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    echo "not laid out as .clang-format says:" >&2
    grep -o '^[^:]*:[0-9]*:[0-9]*: error' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/  /' >&2
    exit 1
fi
echo "layout: ${#files[@]} C++ files follow .clang-format"
