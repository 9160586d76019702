#!/usr/bin/env bash
# Loads every picture of the damaged-bitmap grid, the offset sweep and random
# mutations of the grid's well-formed pictures under Wine: straight through
# the system loader, through the program's check, and by a bare name whose
# damaged file lies beside the program while a good one lies in the current
# directory. Prints which layouts crashed or hung the loader.
# Fails when a picture that crashed or hung the loader passes the check, when
# the check's verdict differs from the damage a picture is known to have, or
# when anything crashes, hangs or shows another file behind the check.
#   tools/picturesweep/sweep.sh [BUILD_DIR]   (default build/win-wide)
# The full table lands in BUILD_DIR/picture-sweep/report.txt.
#
#   tools/picturesweep/sweep.sh --cost [BUILD_DIR]
# times each picture of the cost sweep instead, once straight through the
# loader and once through the program's check, one picture to a Wine process
# and one process at a time (so that the peak is that picture's and the
# timing is not shared), and prints a table: the check's span count and
# verdict, then the milliseconds, the megabytes kept after the load and the
# most committed during it, for both ways; in BUILD_DIR/picture-cost/table.txt.
#
# PICTURE_SWEEP_JOBS sets how many Wine processes run at once (default 4);
# PICTURE_SWEEP_MODES=load runs only the loader without the check (for
# verdicts.sh), and reports no verdicts.
set -euo pipefail
. "$(dirname "$0")/../headless.sh"
rerun_without_random_layout "$@"
cost=0
if [ "${1:-}" = --cost ]; then
    cost=1
    shift
fi
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$top/build/win-wide}" && pwd)
exe="$build/tools/picturesweep/picture_sweep.exe"
run="$top/tools/wine-run.sh"
out="$build/picture-sweep"
[ -f "$exe" ] || { echo "no $exe: build the preset first" >&2; exit 2; }

"$top/tools/wine-harness.sh" setup "$build" >/dev/null
cleanup() {
    rm -f "$build"/tools/picturesweep/beside-*.bmp
    "$top/tools/wine-harness.sh" teardown "$build" >/dev/null
}
trap cleanup EXIT

if [ $cost = 1 ]; then
    out="$build/picture-cost"
    rm -rf "$out"
    mkdir -p "$out"
    "$run" "$exe" cost-write "Z:$out" </dev/null
    total=$(wc -l < "$out/cost.list")
    for mode in unchecked checked; do
        : > "$out/$mode.txt"
        for ((i = 0; i < total; i++)); do
            line=$(timeout 300 "$run" "$exe" cost "Z:$out/cost.list" "$i" "$mode" </dev/null 2>/dev/null |
                tr -d '\r') || true
            echo "${line:-$i - timeout-or-died - - - -}" >> "$out/$mode.txt"
        done
    done
    awk -v unchecked="$out/unchecked.txt" -v checked="$out/checked.txt" '
    function row(f) { return sprintf("%9s %8s %8s %-8s", f[3], f[4], f[5], f[6]) }
    BEGIN {
        while ((getline l < unchecked) > 0) { split(l, f, " "); u[f[1]] = row(f) }
        while ((getline l < checked) > 0) { split(l, f, " "); c[f[1]] = row(f) }
        printf "%-52s %10s %7s %-12s | %-36s | %s\n", "picture", "bytes", "spans", "check", \
            "loader alone: ms, kept MB, peak MB", "through the check: ms, kept MB, peak MB"
    }
    { i = NR - 1; printf "%-52s %10s %7s %-12s | %s | %s\n", $1, $2, $3, $4, u[i], c[i] }
    ' "$out/cost.list" > "$out/table.txt"
    cat "$out/table.txt"
    exit 0
fi

rm -rf "$out"
mkdir -p "$out/results"
began=$(date +%s)
"$run" "$exe" write "Z:$out" </dev/null
total=$(wc -l < "$out/grid.list")

# Pictures FIRST to END - 1 in one mode, many to a process: a crash or a hang
# ends the process after printing its picture's line, and the next process
# starts after that picture. A process that ended without a line for the
# picture it was at is reported as "died" there.
run_range() {
    local mode=$1 first=$2 end=$3 file="$out/results/$1.$2" next=$2 last
    : > "$file"
    while [ "$next" -lt "$end" ]; do
        timeout 900 "$run" "$exe" "$mode" "Z:$out/grid.list" "$next" "$end" </dev/null >> "$file" \
            2>>"$file.err" || true
        last=$(tr -d '\r' < "$file" | tail -n1 | cut -d' ' -f1)
        if [ -z "$last" ] || [ "$last" -lt "$next" ]; then
            echo "$next died" >> "$file"
            last=$next
        fi
        next=$((last + 1))
    done
}
export -f run_range
export out exe run

workers=${PICTURE_SWEEP_JOBS:-4}
chunk=$(((total + workers - 1) / workers))
modes=${PICTURE_SWEEP_MODES:-load checked beside}
for mode in $modes; do
    for ((first = 0; first < total; first += chunk)); do
        echo "$mode $first $((first + chunk < total ? first + chunk : total))"
    done
done | xargs -P "$workers" -L1 bash -c 'run_range "$@"' _

for mode in $modes; do
    cat "$out/results/$mode".[0-9]* | tr -d '\r' | sort -n -k1,1 > "$out/$mode.txt"
done
[ "$modes" != load ] || { echo "took $(($(date +%s) - began)) s; loader results in $out/load.txt"; exit 0; }

# One row a picture: name, damaged, check verdict, the three results.
awk -v load="$out/load.txt" -v checked="$out/checked.txt" -v beside="$out/beside.txt" '
function result(line) { sub(/^[0-9]+ /, "", line); return line }
function whole(r) { return r ~ /^(loaded|refused|good|skipped)/ }
BEGIN {
    while ((getline l < load) > 0) { split(l, f, " "); plain[f[1]] = result(l) }
    while ((getline l < checked) > 0) { split(l, f, " "); check[f[1]] = result(l) }
    while ((getline l < beside) > 0) { split(l, f, " "); near[f[1]] = result(l) }
    printf "%-52s %-7s %-6s %-18s %-18s %-14s %s\n", "picture", "damaged", "check", "unchecked", "checked", "beside", "verdict"
}
{
    i = NR - 1; name = $1; damaged = $2; passes = $3
    p = (i in plain) ? plain[i] : "missing"
    c = (i in check) ? check[i] : "missing"
    b = (i in near) ? near[i] : "missing"
    verdict = "ok"
    if (!whole(p)) { crashed++; if (passes == 1) verdict = "FAIL" }
    if (!whole(c)) verdict = "FAIL"
    if (damaged != "?" && damaged != 1 - passes) verdict = "FAIL"
    if (damaged != 0 && b != "good") verdict = "FAIL"
    if (verdict == "FAIL") failures++
    # Which offsets of the offset sweep crashed the bare loader.
    if (!whole(p) && match(name, /-offset-[0-9]+-/)) {
        offset = substr(name, RSTART + 8, RLENGTH - 9) + 0
        layouts[offset]++
    }
    printf "%-52s %-7s %-6s %-18s %-18s %-14s %s\n", name, damaged, passes == 1 ? "pass" : "refuse", p, c, b, verdict
}
END {
    line = ""
    for (o = 0; o < 2000; o++) if (o in layouts) line = line sprintf(" %d (%d)", o, layouts[o])
    print "offset sweep, offsets that crashed the bare loader (layouts):" line > "/dev/stderr"
    printf "pictures: %d, crashed or hung without the check: %d, failures: %d\n", NR, crashed, failures > "/dev/stderr"
    exit (failures > 0)
}' "$out/grid.list" > "$out/report.txt" 2> "$out/summary.txt" && status=0 || status=$?
grep -E ' FAIL$' "$out/report.txt" | head -50 || true
cat "$out/summary.txt"
echo "took $(($(date +%s) - began)) s on $workers cores; table in $out/report.txt"
exit $status
