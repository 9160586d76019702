#!/usr/bin/env bash
# Long run of the real program on the demo slice: random clicks, keys, wheel
# turns, scroll-bar moves, chapter and translation commands, the Help and
# About dialogs, narration started and stopped, for 20 minutes by default.
# Prints the program's private memory and handle count every ten seconds and
# fails on a crash, a message not answered within 2 s, an unclean end, or a
# handle count or memory that keeps growing. Not part of the test suite.
#
#   tools/soak/soak.sh [--preset win-wide|win-ansi] [--minutes N] [--seed N]
#
# Runs in a Wine prefix of its own (build/soak-wine) on a private Xvfb screen,
# with a null sound device, so that it never disturbs the test prefixes.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/tools/headless.sh"
preset=win-wide
minutes=20
seed=$(date +%s)
while [ $# -gt 0 ]; do
    case "$1" in
    --preset) preset=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    *) echo "usage: $0 [--preset win-wide|win-ansi] [--minutes N] [--seed N]" >&2; exit 2 ;;
    esac
done

cd "$root"
"$root/tools/install-deps.sh"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target Vellumark hostile_driver
build="$root/build/$preset"

edition="$root/build/soak-edition"
mkdir -p "$edition"
python3 "$root/tools/edition/generate.py" demo --out "$edition" --tracks 1-2

soak="$root/build/soak-wine"
mkdir -p "$soak/home"
export WINEPREFIX="$soak/prefix" WINEDEBUG=-all HOME="$soak/home" WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
write_null_sound "$HOME"
start_xvfb
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

echo "=== preparing the Wine prefix $WINEPREFIX"
prepare_wine_prefix alsa
rm -f "$WINEPREFIX/drive_c/windows/velmark.ini"

win() { echo "Z:${1//\//\\}"; }
echo "=== $minutes minute(s) of random use, seed $seed, $preset build"
# The report goes through a file: Wine's helper processes keep a pipe open.
log="$root/build/soak-$preset.log"
: >"$log"
set +e
"$wine" "$build/tests/hostile/hostile_driver.exe" soak "$(win "$build/app/Vellumark.exe")" "$(win "$edition")" \
    $((minutes * 60)) "$seed" >"$log" 2>&1 </dev/null &
driver=$!
tail -f "$log" --pid=$driver
wait $driver
status=$?
set -e
if [ $status -eq 0 ]; then
    echo "=== soak passed (report in $log)"
else
    echo "=== soak FAILED (report in $log)"
fi
exit $status
