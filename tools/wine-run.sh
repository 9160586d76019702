#!/usr/bin/env bash
# Test emulator: runs a Windows executable under Wine in the prefix that
# wine-harness.sh prepared for the build tree the executable belongs to.
set -euo pipefail
. "$(dirname "$0")/headless.sh"
rerun_without_random_layout "$@"

exe=$1
shift
dir=$(cd "$(dirname "$exe")" && pwd)
build=$dir
while [ ! -f "$build/CMakeCache.txt" ]; do
    [ "$build" = / ] && { echo "wine-run: no build tree above $exe" >&2; exit 2; }
    build=$(dirname "$build")
done
root="$build/wine"
# Prepared by the ctest fixture; run by hand, the harness is set up here (and
# again when the screen it started has gone).
if [ ! -f "$root/display" ] || { [ -f "$root/xvfb.pid" ] && ! kill -0 "$(cat "$root/xvfb.pid")" 2>/dev/null; }; then
    "$(dirname "$0")/wine-harness.sh" setup "$build" >/dev/null
fi
export WINEPREFIX="$root/prefix" WINEDEBUG=-all HOME="$root/home" WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=$(cat "$root/display")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
exec "$wine" "$exe" "$@"
