#!/usr/bin/env bash
# Runs the benchmark suite of the wide-character build under Wine and prints
# every figure with its unit, after the conditions it was measured in.
#
#   bash bench/run.sh [--quick | --soak | --startup-only | --track-change] [--runs N] [--compare DIR]
#
#   (default)  narration of 200 s that crosses the change from track 1 to 2
#   --quick    narration of 25 s, for a first look (crosses the change too)
#   --soak     narration of 600 s: the ten-minute memory figure
#   --startup-only  start-up and paint figures only: no sound server, no narration
#   --track-change  the silence at the change from track 1 to 2 only: N
#              narrations of 22 s from 12 s before the end of track 1, no
#              start-up figures
#   --runs N   start-up runs to take the median of (default 5)
#   --compare DIR   also time DIR's bench_reader.exe (another build's bench
#              folder), each of its starts right before one of this build's,
#              so that both see the same machine load; its figures are named
#              before.* and its start-ups are discarded from this build's
#              figures; with --track-change, each of its narrations right
#              before one of this build's
#
# Everything runs on a private display (Xvfb, 1920x1080, no window manager),
# in a Wine prefix of its own under build/bench-wine prepared as the test
# harness prepares its own (unmanaged windows, so that Wine maximises the
# window to the whole screen), with a PulseAudio server of its own whose only
# sink is a null sink; Wine plays through its PulseAudio driver, and the
# sink's monitor is recorded to find when each fragment's sound left the
# device. Start-up is timed as a user's window opens, with plain Wine, and
# also inside a Wine desktop of the screen's size, as earlier runs were.
# The first start after the prefix is made or its server restarted is slow
# (services still starting); it is taken once and discarded, and printed as
# a condition. Figures go to stdout and to build/bench/results.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/headless.sh"
cd "$root"

narrate=200
startup_only=0
track_change=0
compare=""
lead=60
runs=5
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) narrate=25; lead=12 ;;
    --soak) narrate=600; lead=60 ;;
    --runs) runs=${2:?count}; shift ;;
    --startup-only) startup_only=1 ;;
    --track-change) track_change=1; narrate=22; lead=12 ;;
    --compare) compare=$(cd "${2:?directory}" && pwd); shift ;;
    *) echo "usage: bash bench/run.sh [--quick | --soak | --startup-only | --track-change]" \
            "[--runs N] [--compare DIR]" >&2
       exit 2 ;;
    esac
    shift
done

"$root/tools/install-deps.sh"
# The sound server and its recorder are needed by the narration figures only.
bench_packages=(pulseaudio pulseaudio-utils)
[ $startup_only -eq 1 ] && bench_packages=()
missing=()
for p in "${bench_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

echo "=== building (win-wide)" >&2
cmake --preset win-wide >/dev/null
cmake --build --preset win-wide --target bench_reader bench_empty bench_book_load >/dev/null
bin="$root/build/win-wide/bench"

echo "=== demo edition" >&2
edition="$root/build/demo-edition"
mkdir -p "$edition"
tracks=()
[ $startup_only -eq 1 ] && tracks=(--no-tracks)
python3 "$root/tools/edition/generate.py" demo --out "$edition" "${tracks[@]}" >&2

work="$root/build/bench-wine"
out="$root/build/bench"
mkdir -p "$work/home" "$work/run" "$out"
chmod 700 "$work/run"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all HOME="$work/home" WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_RUNTIME_DIR="$work/run"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

xvfb_pid=""
recorder_pid=""
cleanup() {
    [ -n "$recorder_pid" ] && kill "$recorder_pid" 2>/dev/null || true
    "$wineserver" -k 2>/dev/null || true
    pactl exit 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

start_xvfb

if [ $startup_only -eq 0 ]; then
pactl exit 2>/dev/null || true
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load="module-null-sink sink_name=vsink" \
    --load=module-native-protocol-unix --log-target=file:"$work/pulse.log" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
fi

echo "=== preparing the Wine prefix $WINEPREFIX" >&2
prepare_wine_prefix pulse
# A user's X session loads a resource database; a bare Xvfb has none, and
# then libX11 reads its resource files again at every lookup Wine makes when
# a font is selected. Debian's session default, which sets nothing Wine reads.
echo '*customization: -color' > "$HOME/.Xdefaults"

now_us() { date +%s%6N; }
# Runs a Wine program with --unix-pid and the pid of the Unix process it runs
# in (exec keeps the pid), for the bench to read its page-fault count.
with_unix_pid() { sh -c 'exec "$0" "$@" --unix-pid $$' "$@"; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
# A program in a Wine desktop of the screen's size, so that its maximised
# window covers 1920x1080 as on Windows.
on_desktop() { "$wine" explorer /desktop=Bench,1920x1080 "$@" </dev/null >/dev/null 2>&1; }

results="$out/results.txt"
{
    echo "condition date $(date -u +%Y-%m-%dT%H:%MZ)"
    echo "condition build win-wide $(grep -m1 CMAKE_BUILD_TYPE: build/win-wide/CMakeCache.txt | cut -d= -f2)," \
         "$(x86_64-w64-mingw32-g++-posix --version 2>/dev/null | head -1 || echo mingw-w64)," \
         "commit $(git rev-parse --short HEAD)$(git diff --quiet -- app view audio book core syncdata || echo ' with local changes')"
    echo "condition wine $("$wine" --version) (pulse driver, null sink), Xvfb 1920x1080x24"
    echo "condition machine $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores," \
         "$(awk '/MemTotal/ {printf "%.0f GB", $2/1048576}' /proc/meminfo), $(uname -sr)"
    echo "condition edition build/demo-edition ($(ls "$edition" | grep -ci '\.wav$') tracks)"
    echo "condition prefix build/bench-wine/prefix, $([ "$prefix_made" = 1 ] && echo made now || echo reused)," \
         "persistent wineserver, Managed=N, no window manager, resource database ~/.Xdefaults"
    echo "condition load before the runs $(load) (1, 5, 15 min)"
} > "$results"

cd "$edition"
echo "=== warm-up start, discarded" >&2
"$wine" "$bin/bench_reader.exe" --out "$out/one.txt" --launched "$(now_us)" --repetitions 1 </dev/null >/dev/null 2>&1
warmup=$(awk '$2 == "startup.launch_to_first_paint" {print $3}' "$out/one.txt")
echo "condition warm-up start (discarded): launch to first paint ${warmup:-none} ms" >> "$results"

: > "$out/empty.txt"; : > "$out/startup.txt"; : > "$out/desktop.txt"; : > "$out/before.txt"
if [ $track_change -eq 0 ]; then
echo "=== Wine's own start: an empty program, $runs times" >&2
for _ in $(seq "$runs"); do
    t=$(now_us)
    "$wine" "$bin/bench_empty.exe" --out "$out/one.txt" --launched "$t"
    e=$(now_us)
    cat "$out/one.txt" >> "$out/empty.txt"
    echo "figure wine.launch_to_exit $(( (e - t) / 1000 )) ms empty program" >> "$out/empty.txt"
done
# The reader's window steps with nothing of the reader, and what the machine
# charges for the first write to fresh memory, on a block the size of the
# reader's cell array (266 359 cells of 48 bytes).
for _ in $(seq "$runs"); do
    "$wine" "$bin/bench_empty.exe" --out "$out/one.txt" --window --touch 12.19
    grep '^figure' "$out/one.txt" >> "$out/empty.txt"
done

echo "=== start-up and paint, $runs times (plain Wine, then in a Wine desktop)" >&2
: > "$out/startup.txt"
: > "$out/desktop.txt"
: > "$out/before.txt"
for _ in $(seq "$runs"); do
    if [ -n "$compare" ]; then
        "$wine" "$compare/bench_reader.exe" --out "$out/one.txt" --launched "$(now_us)" </dev/null >/dev/null 2>&1
        sed 's/^figure /figure before./' "$out/one.txt" >> "$out/before.txt"
        "$wine" "$compare/bench_reader.exe" --out "$out/one.txt" --split </dev/null >/dev/null 2>&1
        grep -E '^figure (start|layout|rest)\.' "$out/one.txt" |
            sed -e 's/^figure start.total/figure start.split_total/' -e 's/^figure /figure before./' >> "$out/before.txt"
    fi
    with_unix_pid "$wine" "$bin/bench_reader.exe" --out "$out/one.txt" --launched "$(now_us)" </dev/null >/dev/null 2>&1
    cat "$out/one.txt" >> "$out/startup.txt"
    with_unix_pid "$wine" "$bin/bench_reader.exe" --out "$out/one.txt" --split </dev/null >/dev/null 2>&1
    grep -E '^figure (faults\.)?(start|layout|rest)\.' "$out/one.txt" |
        sed -e 's/^figure start.total/figure start.split_total/' -e 's/^figure faults.start.total/figure faults.start.split_total/' \
        >> "$out/startup.txt"
    on_desktop "$bin/bench_reader.exe" --out "$out/one.txt" --launched "$(now_us)" --repetitions 1
    grep -E '^figure startup\.' "$out/one.txt" | sed 's/^figure startup\./figure desktop.startup./' >> "$out/desktop.txt"
done
echo "condition load after the start-ups $(load)" >> "$results"
# A first start far slower than the rest means the prefix had not settled;
# its figures would describe Wine's set-up, not the program.
python3 - "$out/startup.txt" "${warmup:-0}" >> "$results" <<'PY'
import statistics, sys
v = [float(l.split()[2]) for l in open(sys.argv[1]) if l.startswith("figure startup.launch_to_first_paint ")]
if v and float(sys.argv[2]) > 3 * statistics.median(v):
    print("condition prefix UNSETTLED at the warm-up start: %s ms against a median of %.0f ms" % (sys.argv[2], statistics.median(v)))
if v and max(v) > 3 * statistics.median(v):
    print("condition UNSETTLED: one start took %.0f ms against a median of %.0f ms; figures not comparable" % (max(v), statistics.median(v)))
PY

fi

# One narration of $1's bench_reader.exe, recorded from the null sink and
# analysed; the figures go to $2.
narrate_once() {
    python3 "$root/bench/record_sink.py" --source vsink.monitor --out "$out/recording" &
    recorder_pid=$!
    sleep 1
    on_desktop "$1/bench_reader.exe" --out "$out/narration.txt" --narrate "$narrate" --lead "$lead"
    sleep 0.5
    kill "$recorder_pid"
    wait "$recorder_pid" || true
    recorder_pid=""
    python3 "$root/bench/sync_analyze.py" --log "$out/narration.txt" --recording "$out/recording" \
        --edition "$edition" --csv "$out/sync.csv" > "$2"
}

# The gap figure of one analysis, its name prefixed with $2; when a fragment
# next to the change was not found in the recording there is none, and the
# run says so.
gap_of() {
    if grep -q '^figure sync.track_change_gap ' "$1"; then
        sed -n "s/^figure sync.track_change_gap /figure ${2}sync.track_change_gap /p" "$1"
    else
        echo "condition track change $k ${2:-this build}: no gap, a fragment next to it not found" >> "$results"
    fi
}

if [ $track_change -eq 1 ]; then
    : > "$out/book_load.txt"; : > "$out/narration.txt"; : > "$out/sync.txt"
    for k in $(seq "$runs"); do
        echo "=== track change $k of $runs: $narrate s from $lead s before the end of track 1" >&2
        if [ -n "$compare" ]; then
            narrate_once "$compare" "$out/one.txt"
            gap_of "$out/one.txt" before. >> "$out/before.txt"
        fi
        narrate_once "$bin" "$out/one.txt"
        gap_of "$out/one.txt" "" >> "$out/startup.txt"
        echo "condition load after track change $k $(load)" >> "$results"
    done
    : > "$out/narration.txt"
elif [ $startup_only -eq 0 ]; then
echo "=== book loading (bench_book_load)" >&2
load_dir=$(mktemp -d)
(cd "$load_dir" && "$wine" "$bin/bench_book_load.exe" 5) > "$out/book_load.txt" 2>&1 || true
rm -rf "$load_dir"

echo "=== narration: $narrate s from $lead s before the end of track 1" >&2
narrate_once "$bin" "$out/sync.txt"
else
    : > "$out/book_load.txt"; : > "$out/narration.txt"; : > "$out/sync.txt"
fi

echo "condition load at the end $(load)" >> "$results"
cd "$root"
python3 - "$out" >> "$results" <<'PY'
import statistics, sys
out = sys.argv[1]
def figures(name, aggregate, skip=()):
    values = {}
    for line in open(f"{out}/{name}"):
        p = line.split(maxsplit=4)
        if len(p) >= 4 and p[0] == "figure" and not p[1].startswith(skip):
            values.setdefault(p[1], ([], p[3], p[4].strip() if len(p) > 4 else ""))[0].append(float(p[2]))
    for key, (v, unit, note) in values.items():
        if aggregate and len(v) > 1:
            note = (note + "; " if note else "") + f"median of {len(v)} runs, range {min(v):.1f}-{max(v):.1f}"
            value = statistics.median(v)
        else:
            value = v[0] if len(v) == 1 else statistics.median(v)
        print(f"figure {key} {value:.3f} {unit} {note}")
figures("empty.txt", True)
figures("startup.txt", True)
figures("desktop.txt", True)
figures("before.txt", True)
# The narration run opens the book as well; its start-up figures repeat the
# ones above.
figures("narration.txt", False, ("start.", "startup.", "memory.after_startup."))
figures("sync.txt", False)
PY
sed -n 's/^\(.*\)$/book_load \1/p' "$out/book_load.txt" >> "$results"

# Readable form: conditions first, then one figure a line.
awk '/^condition/ { $1 = ""; print "#" $0; next }
     /^figure/ { name = $2; value = $3; unit = $4; $1 = $2 = $3 = $4 = ""; sub(/^ +/, "");
                 printf "%-48s %12s %-9s %s\n", name, value, unit, ($0 != "" ? "(" $0 ")" : "") ; next }
     { print }' "$results"
echo "(raw: $results; per fragment: $out/sync.csv)" >&2
