#!/usr/bin/env bash
# Loads every picture of the damaged-bitmap grid, and random mutations of
# its well-formed ones, under Wine, one process each, first straight through the system loader and then through the
# program's check, and prints which layouts crashed or hung the loader.
# Fails when a picture that crashed or hung the loader passes the check, or
# when anything crashes or hangs behind the check.
#   tools/picturesweep/sweep.sh [BUILD_DIR]   (default build/win-wide)
set -euo pipefail
. "$(dirname "$0")/../headless.sh"
rerun_without_random_layout "$@"
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build/win-wide}" && pwd)
exe="$build/tools/picturesweep/picture_sweep.exe"
run="$top/tools/wine-run.sh"
out="$build/picture-sweep"
[ -f "$exe" ] || { echo "no $exe: build the preset first" >&2; exit 2; }

"$top/tools/wine-harness.sh" setup "$build" >/dev/null
trap '"$top/tools/wine-harness.sh" teardown "$build" >/dev/null' EXIT
rm -rf "$out"
mkdir -p "$out/results"
"$run" "$exe" write "Z:$out" </dev/null
tr -d '\r' < "$out/grid.txt" > "$out/grid.list"

# One load: its printed line, or "hung" after 60 s, or what Wine did when
# the program printed nothing (Wine's own handler ended it).
load_one() {
    local mode=$1 name=$2 line rc=0
    set -o pipefail
    line=$(timeout 60 "$run" "$exe" "$mode" "Z:$out/$name.bmp" </dev/null 2>"$out/results/$name.$mode.err" | tr -d '\r') ||
        rc=$?
    [ $rc -eq 124 ] && line="hung"
    [ -n "$line" ] || line="died $rc"
    echo "$line" > "$out/results/$name.$mode"
}
export -f load_one
export out exe run

for mode in load checked; do
    cut -d' ' -f1 "$out/grid.list" | xargs -P "$(nproc)" -I{} bash -c "load_one $mode {}"
done

failures=0
crashed=0
printf '%-44s %-8s %-6s %-18s %s\n' picture damaged check unchecked checked
while read -r name damaged passes; do
    plain=$(cat "$out/results/$name.load")
    checked=$(cat "$out/results/$name.checked")
    case "$plain" in loaded*|refused) ;; *) crashed=$((crashed + 1)) ;; esac
    verdict=ok
    case "$plain" in loaded*|refused) ;; *) [ "$passes" = 1 ] && verdict=FAIL ;; esac
    case "$checked" in loaded*|refused) ;; *) verdict=FAIL ;; esac
    [ "$damaged" = "?" ] || [ "$damaged" = "$((1 - passes))" ] || verdict=FAIL
    [ $verdict = FAIL ] && failures=$((failures + 1))
    printf '%-44s %-8s %-6s %-18s %-18s %s\n' "$name" "$damaged" "$([ "$passes" = 1 ] && echo pass || echo refuse)" \
        "$plain" "$checked" "$verdict"
done < "$out/grid.list"
total=$(wc -l < "$out/grid.list")
echo "pictures: $total, crashed or hung without the check: $crashed, failures: $failures"
[ $failures -eq 0 ]
