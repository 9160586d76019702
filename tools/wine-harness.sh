#!/usr/bin/env bash
# Prepares and tears down what the Windows tests need under Wine:
#   setup BUILD_DIR     private prefix under BUILD_DIR/wine, an ALSA default PCM
#                       that writes to a file through a null slave (so wave-out
#                       has a device), the alsa audio driver, a display (the
#                       current one, else an Xvfb started here) and one
#                       persistent wineserver for the whole run
#   teardown BUILD_DIR  stops the wineserver and the Xvfb started by setup
# Several runs may share one build tree: each setup counts a user and the last
# teardown stops everything. A run that died without its teardown is healed by
# the next setup, which restarts whatever is gone.
set -euo pipefail
. "$(dirname "$0")/headless.sh"

cmd=${1:?setup or teardown}
mkdir -p "${2:?build directory}/wine"
build=$(cd "$2" && pwd)
root="$build/wine"
export WINEPREFIX="$root/prefix" WINEDEBUG=-all HOME="$root/home" WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# The lock descriptor must not leak into the daemons started below, or the
# lock would be held for as long as they live.
exec 9>"$root/lock"
flock 9

xvfb_alive() { [ -f "$root/xvfb.pid" ] && kill -0 "$(cat "$root/xvfb.pid")" 2>/dev/null; }

stop_xvfb() {
    if [ -f "$root/xvfb.pid" ]; then
        kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
        rm -f "$root/xvfb.pid"
    fi
}

case "$cmd" in
setup)
    mkdir -p "$root/home"
    users=$(cat "$root/users" 2>/dev/null || echo 0)

    write_null_sound "$HOME" "$root/wave-out.raw"

    if [ -n "${DISPLAY:-}" ] && ! xvfb_alive; then
        echo "$DISPLAY" > "$root/display"
    elif ! xvfb_alive; then
        start_xvfb
        echo "$xvfb_pid" > "$root/xvfb.pid"
        echo "$DISPLAY" > "$root/display"
    fi
    export DISPLAY=$(cat "$root/display")

    # The persistent server first, so that wineboot and every test share it;
    # it refuses to start when one already serves the prefix.
    mkdir -p "$WINEPREFIX"
    "$wineserver" -p </dev/null >/dev/null 2>&1 9>&- || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    fi
    if [ "$users" -eq 0 ]; then
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f </dev/null >/dev/null 2>&1 9>&-
        # Xvfb has no window manager; unmanaged windows let Wine itself
        # maximise the main window to the whole screen.
        "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
        # No crash dialog that would wait for a click.
        "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 9>&-
        # The server keeps the registry in memory and saves it now and then;
        # restarting it puts these values on disk at once, for tests that
        # copy the prefix.
        "$wineserver" -k </dev/null >/dev/null 2>&1 9>&- || true
        "$wineserver" -w </dev/null >/dev/null 2>&1 9>&- || true
        "$wineserver" -p </dev/null >/dev/null 2>&1 9>&- || true
    fi
    # Wine's own helper processes (services, devices, desktop) start with the
    # first program of a server and live as long as it; started here they
    # hold none of a test's output pipes open.
    "$wine" reg query 'HKCU\Software\Wine\Drivers' </dev/null >/dev/null 2>&1 9>&- || true
    echo $((users + 1)) > "$root/users"
    echo "wine prefix ready: $WINEPREFIX on display $DISPLAY"
    ;;
teardown)
    users=$(cat "$root/users" 2>/dev/null || echo 1)
    if [ "$users" -gt 1 ]; then
        echo $((users - 1)) > "$root/users"
        echo "wine harness still used by $((users - 1)) run(s)"
        exit 0
    fi
    echo 0 > "$root/users"
    "$wineserver" -k 2>/dev/null 9>&- || true
    "$wineserver" -w 2>/dev/null 9>&- || true
    stop_xvfb
    rm -f "$root/display"
    echo "wine harness stopped"
    ;;
*)
    echo "usage: $0 setup|teardown BUILD_DIR" >&2
    exit 2
    ;;
esac
