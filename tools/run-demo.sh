#!/usr/bin/env bash
# Starts Vellumark on the demo edition: installs what is missing, builds the
# wide-character program, generates the demo edition once into
# build/demo-edition (later runs reuse it; only changed tracks are spoken
# again) and runs the program in that folder under Wine.
#
# With a display (DISPLAY set) the program opens there and plays through the
# machine's sound output; the script returns when the window is closed.
# Without one it runs on a private Xvfb screen with a null sound device, takes
# a screenshot after a few seconds, stops the program and says where the
# screenshot is.
#
#   tools/run-demo.sh [--tracks 1-2]    (a slice of the narration: faster the first time)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/headless.sh"
cd "$root"

tracks=()
if [ "${1:-}" = "--tracks" ]; then
    tracks=(--tracks "${2:?track numbers, e.g. 1-2}")
fi

"$root/tools/install-deps.sh"

echo "=== building the program (win-wide)"
cmake --preset win-wide >/dev/null
cmake --build --preset win-wide --target Vellumark
exe="$root/build/win-wide/app/Vellumark.exe"

echo "=== demo edition"
edition="$root/build/demo-edition"
mkdir -p "$edition"
python3 "$root/tools/edition/generate.py" demo --out "$edition" "${tracks[@]}"

# A Wine prefix of its own, so the demo never disturbs the test prefixes.
demo="$root/build/demo-wine"
mkdir -p "$demo/home"
export WINEPREFIX="$demo/prefix" WINEDEBUG=-all HOME="$demo/home" WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

xvfb_pid=""
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    # No screen and, as a rule, no sound card: wave-out writes to a null device.
    write_null_sound "$HOME"
    start_xvfb
else
    rm -f "$HOME/.asoundrc"
fi

if [ $headless -eq 1 ]; then
    prepare_wine_prefix alsa
else
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "=== preparing a Wine prefix in $WINEPREFIX (first run only)"
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
    fi
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    # The machine's own sound output, and a window manager's frames: the
    # headless settings of an earlier run must not stay.
    "$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Audio /f >/dev/null 2>&1 || true
    "$wine" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
fi

echo "=== starting Vellumark in $edition"
echo "    (the reading position is kept in $WINEPREFIX/drive_c/windows/velmark.ini)"
cd "$edition"
if [ $headless -eq 0 ]; then
    "$wine" "$exe"
    exit 0
fi

# The prefix's windows are unmanaged, so Wine maximises the window to the
# whole screen itself, as a user's window opens.
"$wine" "$exe" </dev/null >/dev/null 2>&1 &
shot="$root/build/demo-screenshot.png"
rm -f "$shot"
# Give the program time to lay out the book and paint its window.
sleep "${VELLUMARK_DEMO_WAIT:-8}"
import -display "$DISPLAY" -window root "$shot"
echo "No display: Vellumark ran on a virtual screen; its screenshot is $shot"
