#!/usr/bin/env bash
# Checks, function by function, that Windows programs can start on the oldest Windows they support:
# every function a program imports (DLL and name, or DLL and ordinal) must stand on a list of
# functions that release offers (tests/xp-sp3-imports.txt), and the PE header must ask for no newer
# OS or subsystem version than that release's. The Windows loader refuses to start a program whose
# imports it cannot resolve, before a line of the program runs.
#   check-imports-xp.sh OBJDUMP MAX_VERSION LIST[,LIST...] PROGRAM_OR_FOLDER...
# A folder stands for the .exe files in it. Each problem is named on a line starting with FAIL.
set -euo pipefail
objdump=${1:?objdump} max_version=${2:?version such as 5.1} lists=${3:?lists of functions}
shift 3
[ "$#" -gt 0 ] || { echo "no programs given" >&2; exit 2; }
[[ "$max_version" =~ ^[0-9]+\.[0-9]+$ ]] || { echo "not a version: $max_version" >&2; exit 2; }

# The list: one dll!name or dll!#ordinal per line (DLL in lower case); a # at the start of a line
# or after a blank starts a comment.
declare -A allowed=()
bad_lines=0 list_names=()
IFS=, read -r -a list_files <<<"$lists"
for list in "${list_files[@]}"; do
    [ -f "$list" ] || { echo "list not found: $list" >&2; exit 2; }
    list_names+=("$(basename "$list")")
    line_number=0
    while IFS= read -r line || [ -n "$line" ]; do
        line_number=$((line_number + 1))
        [[ "$line" == \#* ]] && continue
        entry=${line%%[[:space:]]#*}
        entry=${entry//[[:space:]]/}
        [ -z "$entry" ] && continue
        if [[ ! "$entry" =~ ^[a-z0-9_]+\.dll!([A-Za-z_][A-Za-z0-9_@?$]*|#[0-9]+)$ ]]; then
            echo "FAIL $list:$line_number: not dll!name or dll!#ordinal: $line"
            bad_lines=$((bad_lines + 1))
            continue
        fi
        allowed[$entry]=1
    done <"$list"
done

# Import rows of objdump -p: "<rva> <hint> <name>", or "<8000...ordinal in hex> <...> <none>".
# Reads objdump -p output on standard input.
imports_of() {
    awk '
        function hex(s,   i, n) {
            n = 0; s = tolower(s)
            for (i = 1; i <= length(s); i++)
                n = n * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
            return n
        }
        /^The Import Tables/ { tables = 1; next }
        tables && /^\tDLL Name: / { dll = tolower($3); next }
        tables && /^\tvma:/ { next }
        tables && /^[A-Za-z]/ { tables = 0 }
        tables && dll != "" && /^\t[0-9a-fA-F]+\t/ {
            if ($3 == "<none>") print dll "!#" hex(substr($1, length($1) - 3))
            else print dll "!" $3
        }'
}

max_major=${max_version%%.*} max_minor=${max_version#*.}
programs=()
for argument in "$@"; do
    if [ -d "$argument" ]; then
        for exe in "$argument"/*.exe; do [ -e "$exe" ] && programs+=("$exe"); done
    else
        programs+=("$argument")
    fi
done
checked=0 failed=$bad_lines
for exe in "${programs[@]}"; do
    name=$(basename "$exe")
    if [ ! -f "$exe" ]; then
        echo "FAIL $exe: missing"; failed=$((failed + 1)); continue
    fi
    dump=$("$objdump" -p "$exe")
    header=()
    for field in OSystem Subsystem; do
        major=$(sed -n "s/^Major${field}Version\s\+//p" <<<"$dump")
        minor=$(sed -n "s/^Minor${field}Version\s\+//p" <<<"$dump")
        header+=("${field/OSystem/OS} version ${major:-?}.${minor:-?}")
        if [ -z "$major" ] || [ -z "$minor" ] ||
            [ $((major * 100 + minor)) -gt $((max_major * 100 + max_minor)) ]; then
            echo "FAIL $name: header asks for ${header[-1]}, newer than $max_version"
            failed=$((failed + 1))
        fi
    done
    # Delay-loaded imports are resolved on first call; none are expected, and none go unchecked.
    if grep -qE '^Entry d [0-9a-fA-F]*[1-9a-fA-F][0-9a-fA-F]* ' <<<"$dump"; then
        echo "FAIL $name: has delay-loaded imports, which this check does not read"
        failed=$((failed + 1))
    fi
    mapfile -t imports < <(imports_of <<<"$dump" | sort -u)
    if [ "${#imports[@]}" -eq 0 ]; then
        echo "FAIL $name: no imports read (objdump output not understood)"
        failed=$((failed + 1)); continue
    fi
    for import in "${imports[@]}"; do
        if [ -z "${allowed[$import]:-}" ]; then
            echo "FAIL $name imports $import, which is not on ${list_names[*]}"
            failed=$((failed + 1))
        fi
    done
    echo "$name: ${#imports[@]} imports, header asks for ${header[0]}, ${header[1]}"
    checked=$((checked + 1))
done
echo "$checked programs checked against ${list_names[*]} (${#allowed[@]} functions):" \
    "$failed problems"
[ "$checked" -gt 0 ] && [ "$failed" -eq 0 ]
