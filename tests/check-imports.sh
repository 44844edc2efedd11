#!/usr/bin/env bash
# Checks every Windows program in a folder: the right machine type, and imports from the system's
# own DLLs only (no MinGW runtime DLL such as libstdc++-6.dll or libwinpthread-1.dll).
set -euo pipefail
objdump=${1:?objdump} arch=${2:?architecture} dir=${3:?folder}
case "$arch" in
    i686) format=pei-i386 ;;
    x86_64) format=pei-x86-64 ;;
    *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
allowed='^(kernel32|user32|gdi32|shell32|ole32|oleaut32|advapi32|comctl32|comdlg32|msvcrt|shlwapi|version)\.dll$'
checked=0 failed=0
for exe in "$dir"/*.exe; do
    [ -e "$exe" ] || continue
    dump=$("$objdump" -p "$exe")
    if ! grep -q "file format $format" <<<"$dump"; then
        echo "FAIL $exe: not $format"; failed=$((failed + 1)); continue
    fi
    while read -r dll; do
        if ! grep -qiE "$allowed" <<<"$dll"; then
            echo "FAIL $exe imports $dll"; failed=$((failed + 1))
        fi
    done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
    checked=$((checked + 1))
done
echo "$checked programs checked, $failed problems"
[ "$checked" -gt 0 ] && [ "$failed" -eq 0 ]
