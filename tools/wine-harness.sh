#!/usr/bin/env bash
# Prepares and tears down what the Windows tests need under Wine:
#   setup BUILD_DIR     private prefix under BUILD_DIR/wine, an ALSA default PCM
#                       that writes to a file through a null slave (so wave-out
#                       has a device), the alsa audio driver, a display (the
#                       current one, else an Xvfb started here) and one
#                       persistent wineserver for the whole run
#   teardown BUILD_DIR  stops the wineserver and the Xvfb started by setup
set -euo pipefail

cmd=${1:?setup or teardown}
build=$(cd "${2:?build directory}" && pwd)
root="$build/wine"
export WINEPREFIX="$root/prefix" WINEDEBUG=-all HOME="$root/home" WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

stop_xvfb() {
    if [ -f "$root/xvfb.pid" ]; then
        kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
        rm -f "$root/xvfb.pid"
    fi
}

case "$cmd" in
setup)
    mkdir -p "$root/home"
    # Stale state from an interrupted run.
    "$wineserver" -k 2>/dev/null || true
    stop_xvfb

    cat > "$HOME/.asoundrc" <<ASOUND
pcm.!default { type file slave.pcm "null" file "$root/wave-out.raw" format "raw" }
ASOUND

    if [ -n "${DISPLAY:-}" ]; then
        echo "$DISPLAY" > "$root/display"
    else
        # -displayfd picks a free display number and reports it.
        exec 3< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp </dev/null 2>/dev/null & echo "pid $!")
        read -r _ xpid <&3
        read -r num <&3
        echo "$xpid" > "$root/xvfb.pid"
        echo ":$num" > "$root/display"
    fi
    export DISPLAY=$(cat "$root/display")

    # The persistent server first, so that wineboot and every test share it.
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >/dev/null 2>&1 || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1
    fi
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
    # No desktop explorer pop-ups or crash dialogs that would wait for a click.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    echo "wine prefix ready: $WINEPREFIX on display $DISPLAY"
    ;;
teardown)
    "$wineserver" -k 2>/dev/null || true
    "$wineserver" -w 2>/dev/null || true
    stop_xvfb
    echo "wine harness stopped"
    ;;
*)
    echo "usage: $0 setup|teardown BUILD_DIR" >&2
    exit 2
    ;;
esac
