#!/usr/bin/env bash
# Installs, as root and idempotently, every Debian package the build, the tests and the main job
# need, and the zh_CN.UTF-8 locale that gives Wine the code page 936. (fonts-noto-cjk: Chinese text
# in Wine's windows and screenshots, and the art script's font; fonts-wine: the Marlett symbol font
# of the caption buttons, which the main job copies into its prefix; libxxhash-dev: the header of
# the payload's checksums; clang-format: the layout check of the test command.)
set -uo pipefail
[ "$(id -u)" -eq 0 ] || { echo "install-deps: run as root (it installs Debian packages)" >&2; exit 1; }

packages=(
    cmake make g++ gcc googletest clang clang-format libclang-rt-14-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    libxxhash-dev wine wine64 fonts-wine xvfb xauth locales imagemagick python3 file fonts-noto-cjk
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    # An index that fails to refresh may still leave usable lists: go on and let install decide.
    apt-get update || echo "install-deps: apt-get update reported a problem; trying the install anyway" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" || exit 1
fi

if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null || exit 1
fi
echo "install-deps: all packages and the zh_CN.UTF-8 locale are present"
