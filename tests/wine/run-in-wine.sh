#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix of its own, made fresh for this run by copying a
# template prefix that is created once per build tree. Used by ctest as the cross-compiling emulator.
#
#   SETUP_WINE_ROOT     folder holding the template and the per-run prefixes (required)
#   SETUP_WINE_PREFIX   prefix name (default: the program's base name)
#   SETUP_WINE_VERSION  Windows version for winecfg /v (vista, winxp64, win7, ...), empty for Wine's default
#   SETUP_WINE_KEEP     non-empty: leave the prefix's wineserver running and the prefix in place
#   SETUP_WINE_REUSE    non-empty: run in the prefix left by an earlier call instead of a fresh one
#   SETUP_WINE_SMALL_DRIVE  LETTER:SIZE (e.g. t:8m): a tmpfs of SIZE is mounted for this run (which
#                       needs root) and mapped as drive LETTER; the program finds "T:" in
#                       SETUP_SMALL_DRIVE or, when the mount is refused, the reason in
#                       SETUP_SMALL_DRIVE_PROBLEM (also printed here)
#   SETUP_WINE_DRIVE_D  a folder that becomes the fresh prefix's drive D:, emptied first: a drive
#                       other than the system drive, which the installer refuses by default
#
# Nothing here touches the user's own ~/.wine or desktop: HOME is a folder below SETUP_WINE_ROOT.
set -euo pipefail

root=${SETUP_WINE_ROOT:?SETUP_WINE_ROOT must name the folder for the test prefixes}
program=${1:?usage: run-in-wine.sh PROGRAM [ARGS...]}

# Windows need a display even in tests; a private Xvfb when none is set.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

name=${SETUP_WINE_PREFIX:-$(basename "$program" .exe)}
version=${SETUP_WINE_VERSION:-}
[ -n "$version" ] && name="$name-$version"

export HOME="$root/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
mkdir -p "$HOME" "$root/prefixes"

template="$root/template"
(
    flock 9
    if [ ! -f "$template/.ready" ]; then
        rm -rf "$template"
        WINEPREFIX="$template" wineboot -i >/dev/null 2>&1 || true
        WINEPREFIX="$template" wineserver -w
        [ -f "$template/system.reg" ] || { echo "run-in-wine: wineboot made no prefix in $template" >&2; exit 1; }
        touch "$template/.ready"
    fi
) 9>"$root/.template.lock"

# A small volume of its own for tests of a full disk. Wine reads its drive links when its services
# start, so the link is made before the first Wine process of the prefix.
small_mount=
small_letter=
release_small_drive() {
    [ -n "$small_mount" ] || return 0
    # The prefix's processes may still be closing files on it.
    for _ in 1 2 3 4 5; do
        umount "$small_mount" 2>/dev/null && return 0
        sleep 1
    done
    umount -l "$small_mount" || true
}
map_small_drive() {
    [ -n "$small_mount" ] || return 0
    ln -sfn "$small_mount" "$WINEPREFIX/dosdevices/$small_letter:"
}
if [ -n "${SETUP_WINE_SMALL_DRIVE:-}" ]; then
    small_letter=${SETUP_WINE_SMALL_DRIVE%%:*}
    small_letter=${small_letter,,}
    small_size=${SETUP_WINE_SMALL_DRIVE#*:}
    mount_point="$root/mounts/$name"
    mkdir -p "$mount_point"
    # One left mounted by an interrupted run.
    if mountpoint -q "$mount_point"; then umount -l "$mount_point" || true; fi
    if problem=$(mount -t tmpfs -o "size=$small_size" tmpfs "$mount_point" 2>&1); then
        small_mount=$mount_point
        trap release_small_drive EXIT
        export SETUP_SMALL_DRIVE="${small_letter^^}:"
    else
        problem="mount -t tmpfs -o size=$small_size was refused: ${problem:-no reason given}"
        echo "run-in-wine: no small drive ${small_letter^^}: for $name ($problem)" >&2
        export SETUP_SMALL_DRIVE_PROBLEM="$problem"
    fi
fi

prefix="$root/prefixes/$name"
if [ -n "${SETUP_WINE_REUSE:-}" ] && [ -f "$prefix/system.reg" ]; then
    export WINEPREFIX="$prefix"
    map_small_drive
    status=0
    wine "$@" || status=$?
    [ -n "${SETUP_WINE_KEEP:-}" ] || wineserver -k >/dev/null 2>&1 || true
    exit "$status"
fi
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
rm -rf "$prefix"
mkdir -p "$prefix/drive_c"
# The system folder is large and only read: hard links keep a fresh copy cheap.
cp -al "$template/drive_c/windows" "$prefix/drive_c/"
for entry in "$template"/drive_c/*; do
    [ "$(basename "$entry")" = windows ] || cp -a "$entry" "$prefix/drive_c/"
done
cp -a "$template"/*.reg "$template/dosdevices" "$prefix/"
[ -f "$template/.update-timestamp" ] && cp -a "$template/.update-timestamp" "$prefix/"
# wineboot links the profile's Desktop, Documents, Music, ... to $HOME, which every prefix shares:
# give each prefix folders of its own, so tests running side by side never see each other's files.
for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm "$link"
        mkdir "$link"
    fi
done
if [ -n "${SETUP_WINE_DRIVE_D:-}" ]; then
    rm -rf "$SETUP_WINE_DRIVE_D"
    mkdir -p "$SETUP_WINE_DRIVE_D"
    ln -sfn "$SETUP_WINE_DRIVE_D" "$prefix/dosdevices/d:"
fi
export WINEPREFIX="$prefix"
map_small_drive

if [ -n "$version" ]; then
    wine winecfg /v "$version" >/dev/null 2>&1
    wineserver -w
fi

status=0
wine "$@" || status=$?
if [ -z "${SETUP_WINE_KEEP:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
fi
exit "$status"
