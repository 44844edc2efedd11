#!/usr/bin/env bash
# The main job: builds the shipped pair (dist/Setup.exe, 32-bit, and dist/Data.cab), then runs the
# installer under Wine in a prefix of the project's own (build/run/wine; never the user's ~/.wine).
# Wine here is 64-bit only, so the run uses the 64-bit build of the same sources, with a Data.cab
# packed from the 64-bit sample product.
#
#   scripts/run.sh               on the user's display when DISPLAY is set, else unattended
#   scripts/run.sh --headless    unattended under Xvfb, even with a display
#   scripts/run.sh --screenshot  unattended, and refreshes docs/screenshot.png
#
# Unattended, a driver clicks through the dialog as a person would (browse button, the drive D: in
# the folder picker, the install button), waits for the end and prints what was installed; the
# screenshots land in build/run/screenshots. Then it uninstalls as a script would (the uninstall
# entry's command with /S) and prints what is left of the installation: nothing, or what and why.
# On a display, the user installs, and may then uninstall through the "卸载澜舟雅韵" shortcut.
# The prefix's drive D: is build/run/drive_d, and a recorder stands in for the web browser, so
# nothing outside the build tree is touched.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=auto
case "${1:-}" in
    "") ;;
    --headless) mode=headless ;;
    --screenshot) mode=screenshot ;;
    *) echo "usage: scripts/run.sh [--headless|--screenshot]" >&2; exit 2 ;;
esac
if [ "$mode" = auto ]; then
    if [ -n "${DISPLAY:-}" ]; then mode=display; else mode=headless; fi
fi
if [ "$(id -u)" -eq 0 ]; then scripts/install-deps.sh; fi
jobs=$(nproc)

echo "== the shipped pair"
scripts/dist.sh dist

echo "== the 64-bit build for Wine"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$jobs" --target Setup sample_product setup-demo recorder_gui >/dev/null

run=$PWD/build/run
rm -rf "$run/stage" "$run/drive_d" "$run/screenshots" "$run/setup-demo.txt"
mkdir -p "$run/stage" "$run/drive_d" "$run/screenshots" "$run/tools"
cp build/win64/bin/Setup.exe "$run/stage/Setup.exe"
build/native/bin/payload-tool pack --file-list quenunset.lst build/win64/sample/product \
    "$run/stage/Data.cab" >/dev/null
cp build/win64/bin/setup-demo.exe "$run/tools/"
cp build/win64/bin/recorder_gui.exe "$run/tools/browser.exe"
rm -f "$run/tools/browser.exe.log"

export SETUP_WINE_ROOT="$run/wine" SETUP_WINE_PREFIX=demo SETUP_WINE_KEEP=1
winpath() { echo "Z:${1//\//\\}"; }
. scripts/xvfb.sh
[ "$mode" = display ] || unset DISPLAY
start_xvfb_if_needed

# A fresh prefix whose web browser is the recorder and whose drive D: is build/run/drive_d. Wine
# reads the drive links when its services start, so they start again after the link is made.
SETUP_WINE_KEEP= tests/wine/run-in-wine.sh reg add 'HKCR\htmlfile\shell\open\command' /ve /f \
    /d "\"$(winpath "$run/tools/browser.exe")\" \"%1\"" >/dev/null
prefix="$run/wine/prefixes/demo"
ln -sfn "$run/drive_d" "$prefix/dosdevices/d:"
# Wine draws the caption buttons (minimise, maximise, close) as characters of the Marlett symbol
# font. Debian's Wine does not load the fonts of its fonts-wine package from where the package
# puts them, so without a copy in the prefix's own Fonts folder another font stands in and the
# buttons read "0 1 r". Each Wine process reads the Fonts folder when it starts.
marlett=/usr/share/wine/fonts/marlett.ttf
if [ -f "$marlett" ]; then
    cp "$marlett" "$prefix/drive_c/windows/Fonts/marlett.ttf"
else
    echo "run: $marlett is missing (Debian package fonts-wine): caption buttons show as letters" >&2
fi
export SETUP_WINE_REUSE=1

cd "$run"
# Runs the driver's uninstall command (uninstall or uninstall-shortcut) and prints its report;
# fails unless nothing of the installation is left.
uninstall() {
    rm -f setup-demo.txt
    ../../tests/wine/run-in-wine.sh "$(winpath "$run/tools/setup-demo.exe")" "$1" >/dev/null 2>&1 || true
    iconv -f GBK -t UTF-8 setup-demo.txt 2>/dev/null || { echo "run: the driver left no report" >&2; return 1; }
    grep -q '^    nothing: ' setup-demo.txt
}

if [ "$mode" = display ]; then
    echo "== the installer, on your display (prefix $prefix)"
    ../../tests/wine/run-in-wine.sh "$(winpath "$run/stage/Setup.exe")"
    ../../tests/wine/run-in-wine.sh "$(winpath "$run/tools/setup-demo.exe")" summary \
        "$(winpath "$run/tools/browser.exe.log")" >/dev/null
    iconv -f GBK -t UTF-8 setup-demo.txt
    grep -q '^No installation found' setup-demo.txt && exit 0
    echo
    if [ -t 0 ]; then
        read -r -p "Uninstall now through the shortcut 卸载澜舟雅韵, as a person would? [y/N] " answer
        if [ "$answer" = y ] || [ "$answer" = Y ]; then
            echo "== the uninstaller, through its shortcut (it asks, then tells how it went)"
            uninstall uninstall-shortcut
            exit
        fi
    fi
    echo "The product stays installed. To open its shortcut 卸载澜舟雅韵 later and see what is left:"
    echo "  (cd $run && SETUP_WINE_ROOT=$run/wine SETUP_WINE_PREFIX=demo SETUP_WINE_REUSE=1 \\"
    echo "   ../../tests/wine/run-in-wine.sh '$(winpath "$run/tools/setup-demo.exe")' uninstall-shortcut;"
    echo "   iconv -f GBK -t UTF-8 setup-demo.txt)"
    exit 0
fi

echo "== the installer, unattended under Xvfb on Wine's virtual desktop (prefix $prefix)"
../../tests/wine/run-in-wine.sh explorer /desktop=QuenVoxSetup,800x600 \
    "$(winpath "$run/tools/setup-demo.exe")" install "$(winpath "$run/stage/Setup.exe")" D: \
    "$(winpath "$run/screenshots")" "$(winpath "$run/tools/browser.exe.log")" >/dev/null 2>&1 &
desktop=$!
for _ in $(seq 1200); do
    grep -q '^setup-demo: done' setup-demo.txt 2>/dev/null && break
    sleep 0.25
done
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
wait "$desktop" || true
# The driver writes in the installer's code page.
iconv -f GBK -t UTF-8 setup-demo.txt 2>/dev/null || { echo "run: the driver left no report" >&2; exit 1; }
for shot in screenshots/*.bmp; do
    convert "$shot" "${shot%.bmp}.png" && rm "$shot"
done
echo
echo "Screenshots: $run/screenshots ($(cd screenshots && echo *.png))"
if [ "$mode" = screenshot ]; then
    cp screenshots/dialog.png ../../docs/screenshot.png
    echo "docs/screenshot.png refreshed"
fi
grep -q '^setup-demo: done (0)' setup-demo.txt
mv setup-demo.txt setup-demo-install.txt

echo
echo "== the uninstaller, as a script runs it: the uninstall entry's command with /S"
status=0
uninstall uninstall || status=$?
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
exit "$status"
