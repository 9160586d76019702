#!/usr/bin/env bash
# Prepares and tears down what the Windows tests need under Wine:
#   setup BUILD_DIR     private prefix under BUILD_DIR/wine (and its copy at rest,
#                       BUILD_DIR/wine/pristine, that nothing writes), an ALSA default PCM
#                       that writes to a file through a null slave (so wave-out
#                       has a device), the alsa audio driver, a display (the
#                       current one, else an Xvfb started here) and one
#                       persistent wineserver for the whole run
#   teardown BUILD_DIR  stops the wineserver and the Xvfb started by setup
# Several runs may share one build tree: each setup records its run (the
# process that called it, ctest) as a user and the last teardown stops
# everything. A run that died without its teardown no longer counts once its
# process is gone, and the next setup restarts whatever is gone.
set -euo pipefail
. "$(dirname "$0")/headless.sh"
rerun_without_random_layout "$@"

cmd=${1:?setup or teardown}
mkdir -p "${2:?build directory}/wine"
build=$(cd "$2" && pwd)
root="$build/wine"
export WINEPREFIX="$root/prefix" WINEDEBUG=-all HOME="$root/home" WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
wine_desktop_keeper="$build/tools/desktopkeeper/desktop_keeper.exe"

# The lock descriptor must not leak into the daemons started below, or the
# lock would be held for as long as they live.
exec 9>"$root/lock"
flock 9

# The runs that use the harness: one file per calling process, named by its
# pid; those whose process has ended are dropped.
live_users() {
    mkdir -p "$root/users.d"
    local f n=0
    for f in "$root/users.d"/*; do
        [ -e "$f" ] || continue
        if kill -0 "${f##*/}" 2>/dev/null; then n=$((n + 1)); else rm -f "$f"; fi
    done
    echo $n
}

# Called by prepare_wine_prefix while no server runs and no test runs: the
# prefix is at rest, so keep a copy of it that nothing writes, for tests that
# need a prefix of their own (the live one changes under them while others
# run). Wine's libraries are shared through links (it never rewrites them in
# place); every other file gets a copy of its own.
prefix_at_rest() {
    rm -rf "$root/pristine.new"
    cp -al "$WINEPREFIX" "$root/pristine.new"
    find "$root/pristine.new" -type f ! -path '*/windows/system32/*' ! -path '*/windows/winsxs/*' \
        -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"; done' sh {} +
    rm -rf "$root/pristine"
    mv "$root/pristine.new" "$root/pristine"
}

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
    users=$(live_users)

    write_null_sound "$HOME" "$root/wave-out.raw"

    if [ -n "${DISPLAY:-}" ] && ! xvfb_alive; then
        echo "$DISPLAY" > "$root/display"
    elif ! xvfb_alive; then
        start_xvfb
        echo "$xvfb_pid" > "$root/xvfb.pid"
        echo "$DISPLAY" > "$root/display"
    fi
    export DISPLAY=$(cat "$root/display")

    # The first user prepares the prefix and its persistent server, which
    # every test then shares; later users find both ready.
    if [ "$users" -eq 0 ]; then
        prepare_wine_prefix alsa
    else
        "$wineserver" -p </dev/null >/dev/null 2>&1 9>&- || true
        "$wine" reg query 'HKCU\Software\Wine\Drivers' </dev/null >/dev/null 2>&1 9>&- || true
        start_wine_desktop
    fi
    touch "$root/users.d/$PPID"
    echo "wine prefix ready: $WINEPREFIX on display $DISPLAY"
    ;;
teardown)
    rm -f "$root/users.d/$PPID"
    users=$(live_users)
    if [ "$users" -gt 0 ]; then
        echo "wine harness still used by $users run(s)"
        exit 0
    fi
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
