#!/usr/bin/env bash
# Times each picture of the cost sweep through Wine's bitmap loader, once
# straight through the loader and once through the program's check, one
# picture to a Wine process and one process at a time (so that the peak is
# that picture's and the timing is not shared), and prints a table: the
# check's span count and verdict, then the milliseconds, the megabytes kept
# after the load and the most committed during it, for both ways.
#   tools/picturesweep/cost.sh [BUILD_DIR]   (default build/win-wide)
# The table lands in BUILD_DIR/picture-cost/table.txt.
set -euo pipefail
. "$(dirname "$0")/../headless.sh"
rerun_without_random_layout "$@"
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build/win-wide}" && pwd)
exe="$build/tools/picturesweep/picture_sweep.exe"
run="$top/tools/wine-run.sh"
out="$build/picture-cost"
[ -f "$exe" ] || { echo "no $exe: build the preset first" >&2; exit 2; }

"$top/tools/wine-harness.sh" setup "$build" >/dev/null
trap '"$top/tools/wine-harness.sh" teardown "$build" >/dev/null' EXIT
rm -rf "$out"
mkdir -p "$out"
"$run" "$exe" cost-write "Z:$out" </dev/null
total=$(wc -l < "$out/cost.list")

for mode in unchecked checked; do
    : > "$out/$mode.txt"
    for ((i = 0; i < total; i++)); do
        line=$(timeout 300 "$run" "$exe" cost "Z:$out/cost.list" "$i" "$mode" </dev/null 2>/dev/null | tr -d '\r') ||
            true
        [ -n "$line" ] || line="$i - timeout-or-died - - - -"
        echo "$line" >> "$out/$mode.txt"
    done
done

awk -v unchecked="$out/unchecked.txt" -v checked="$out/checked.txt" '
BEGIN {
    while ((getline l < unchecked) > 0) { split(l, f, " "); u[f[1]] = sprintf("%9s %8s %8s %-8s", f[3], f[4], f[5], f[6]) }
    while ((getline l < checked) > 0) { split(l, f, " "); c[f[1]] = sprintf("%9s %8s %8s %-8s", f[3], f[4], f[5], f[6]) }
    printf "%-52s %10s %7s %-12s | %-36s | %s\n", "picture", "bytes", "spans", "check", \
        "loader alone: ms, kept MB, peak MB", "through the check: ms, kept MB, peak MB"
}
{ i = NR - 1; printf "%-52s %10s %7s %-12s | %s | %s\n", $1, $2, $3, $4, u[i], c[i] }
' "$out/cost.list" > "$out/table.txt"
cat "$out/table.txt"
