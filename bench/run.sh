#!/usr/bin/env bash
# Benchmarks the board on a virtual X display, side by side with a minimal
# Qt 6 program that shows a window of the same size and as many widgets
# (bench/baseline.cpp), and prints a table.
#
#   bash bench/run.sh            (RUNS=15 CALLS=200 APPENDS=1000 by default)
#
# It builds with the default preset into build/; BENCH_BUILD_DIR=DIR uses an
# already configured build tree instead.
#
# Every figure is measured from outside the process unless it says so:
# tabellone_xprobe starts the program, watches the X server's frame buffer
# for the first frame with the teal cells, and drives the board with XTest.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh

RUNS=${RUNS:-15}
CALLS=${CALLS:-200}
APPENDS=${APPENDS:-1000}

need_packages "${BUILD_PACKAGES[@]}" xvfb libx11-dev libxtst-dev linux-perf
targets=(tabellone tabellone_baseline tabellone_xprobe bench_roundlog bench_startup_parts)
if [ -n "${BENCH_BUILD_DIR:-}" ]; then
    bin=$(cd "$BENCH_BUILD_DIR" && pwd)
    cmake --build "$bin" -j "$(nproc)" --target "${targets[@]}" >/dev/null
else
    build_project default "${targets[@]}" >/dev/null
    bin="$PWD/build"
fi
probe="$bin/bench/tabellone_xprobe"

# Two folders for the board and its log: one on the disk that holds the
# repository, one on tmpfs, to tell what fsync costs.
disk=$(mktemp -d "$bin/bench-run.XXXXXX")
tmpfs=""
if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = "tmpfs" ]; then
    tmpfs=$(mktemp -d /dev/shm/tabellone-bench.XXXXXX)
fi
xvfb=""
board=""
cleanup() {
    [ -n "$board" ] && kill "$board" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    rm -rf "$disk" ${tmpfs:+"$tmpfs"}
}
trap cleanup EXIT
# Interrupted, still clean up.
trap 'exit 1' INT TERM HUP PIPE
for dir in "$disk" $tmpfs; do
    cp "$bin/tabellone" "$bin/bench/bench_startup_parts" "$dir/"
done

# A virtual display of its own, at 24 bits so that colours read back exactly.
displayfile="$disk/display"
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$displayfile" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
DISPLAY=":$(head -n 1 "$displayfile")"
export DISPLAY
export XDG_RUNTIME_DIR="$disk/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

median() {
    sort -g | awk '{v[NR] = $1}
        END {if (NR == 0) print "-"; else print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

echo "Measuring start-up and memory ($RUNS runs each, alternating)..." >&2
# One run of each to warm the page cache; not counted.
"$probe" startup -- "$disk/tabellone" >/dev/null 2>&1 || true
"$probe" startup -- "$bin/bench/tabellone_baseline" >/dev/null 2>&1 || true
board_ms=()
board_kb=()
board_cpu=()
base_ms=()
base_kb=()
base_cpu=()
for _ in $(seq "$RUNS"); do
    read -r _ ms _ kb _ cpu < <("$probe" startup -- "$disk/tabellone" 2>"$disk/probe.err") ||
        { echo "a start-up run of the board failed: $(grep -v XDG "$disk/probe.err")" >&2; exit 1; }
    board_ms+=("$ms")
    board_kb+=("$kb")
    board_cpu+=("$cpu")
    read -r _ ms _ kb _ cpu < <("$probe" startup -- "$bin/bench/tabellone_baseline" 2>"$disk/probe.err") ||
        { echo "a start-up run of the baseline failed: $(grep -v XDG "$disk/probe.err")" >&2; exit 1; }
    base_ms+=("$ms")
    base_kb+=("$kb")
    base_cpu+=("$cpu")
done
b_ms=$(printf '%s\n' "${board_ms[@]}" | median)
b_kb=$(printf '%s\n' "${board_kb[@]}" | median)
r_ms=$(printf '%s\n' "${base_ms[@]}" | median)
r_kb=$(printf '%s\n' "${base_kb[@]}" | median)
b_cpu=$(printf '%s\n' "${board_cpu[@]}" | median)
r_cpu=$(printf '%s\n' "${base_cpu[@]}" | median)

echo "Measuring where start-up goes, in process ($RUNS runs of each)..." >&2
parts="$disk/parts.txt"
: >"$parts"
for _ in $(seq "$RUNS"); do
    for mode in board board-first baseline baseline-first; do
        args=()
        [[ $mode == baseline* ]] && args+=(--baseline)
        [[ $mode == *-first ]] && args+=(--fonts-first)
        "$disk/bench_startup_parts" "${args[@]}" 2>/dev/null | sed "s/^phase_ms /$mode /" >>"$parts"
    done
done
phase() { awk -v k="$1" -v n="$2" '$1 == k && $2 == n {print $3}' "$parts" | median; }

# The board's own fsync calls are timed alongside (perf trace), where perf
# can trace here, to tell how much of a slow call was the disk.
latency_in() {
    local dir="$1" tracer=""
    rm -f "$dir/logSorvina.txt" "$dir/fsync.txt"
    "$dir/tabellone" 2>/dev/null &
    board=$!
    if perf trace -e fsync -- true >/dev/null 2>&1; then
        perf trace -p "$board" -e fsync --duration 0 -o "$dir/fsync.txt" 2>/dev/null &
        tracer=$!
    fi
    "$probe" latency --calls "$CALLS" --draws "$CALLS" --seed 7 --samples "$dir/samples.txt"
    if [ -n "$tracer" ]; then
        kill -INT "$tracer" 2>/dev/null
        wait "$tracer" 2>/dev/null || true
    fi
    kill "$board" 2>/dev/null
    wait "$board" 2>/dev/null || true
    board=""
}
# p50, p99 and max of the fsync times (ms) perf traced in a folder.
fsync_stats() {
    [ -s "$1/fsync.txt" ] || return 0
    grep -oE '\( *[0-9.]+ ms\): .*fsync' "$1/fsync.txt" | sed -E 's/^\( *([0-9.]+) ms.*/\1/' | sort -g |
        awk '{v[NR] = $1} END {if (NR) printf "fsync_ms p50 %.2f p99 %.2f max %.2f n %d\n",
            v[int((NR + 1) / 2)], v[int(NR * 0.99 + 0.999)], v[NR], NR}'
}
echo "Measuring input latency ($CALLS double-clicks, $CALLS draws; log on disk)..." >&2
lat_disk=$(latency_in "$disk")
fsync_disk=$(fsync_stats "$disk")
lat_tmpfs=""
fsync_tmpfs=""
if [ -n "$tmpfs" ]; then
    echo "Measuring input latency again with the log on tmpfs..." >&2
    lat_tmpfs=$(latency_in "$tmpfs")
    fsync_tmpfs=$(fsync_stats "$tmpfs")
fi
field() { awk -v k="$1" -v f="$2" '$1 == k {for (i = 2; i < NF; i++) if ($i == f) print $(i + 1)}'; }

echo "Measuring the durable append ($APPENDS records)..." >&2
app_disk=$("$bin/bench/bench_roundlog" "$disk" "$APPENDS")
app_tmpfs=""
[ -n "$tmpfs" ] && app_tmpfs=$("$bin/bench/bench_roundlog" "$tmpfs" "$APPENDS")

fs_disk=$(df -T "$disk" | awk 'NR == 2 {print $2 " on " $1}')
cpu_model=$(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)
qt=$(qtpaths6 --qt-version 2>/dev/null || echo "6")

echo
echo "Machine: $(nproc) cores, $cpu_model; Linux $(uname -r); Qt $qt; Xvfb 1024x768x24, no window manager."
echo "Medians of $RUNS runs; latency over $CALLS inputs of each kind."
echo
echo "| measure | tabellone | baseline | ratio | target |"
echo "| --- | ---: | ---: | ---: | --- |"
echo "| start-up to first painted frame (ms) | $b_ms | $r_ms | $(ratio "$b_ms" "$r_ms") | <= 1.2x |"
echo "| CPU time to first painted frame (ms) | $b_cpu | $r_cpu | $(ratio "$b_cpu" "$r_cpu") | (load-independent view of the above) |"
echo "| peak memory, VmHWM (KiB) | $b_kb | $r_kb | $(ratio "$b_kb" "$r_kb") | <= 1.2x |"
echo
echo "| input to big number on screen (ms) | log on | p50 | p99 | max | target |"
echo "| --- | --- | ---: | ---: | ---: | --- |"
for row in "disk ($fs_disk)|$lat_disk" "tmpfs|$lat_tmpfs"; do
    where=${row%%|*}
    data=${row#*|}
    [ -z "$data" ] && continue
    for kind in dblclick estrai; do
        label="double-click on a cell"
        [ "$kind" = estrai ] && label="click on Estrai"
        echo "| $label | $where | $(field "${kind}_ms" p50 <<<"$data") | $(field "${kind}_ms" p99 <<<"$data") | $(field "${kind}_ms" max <<<"$data") | p99 < 16 |"
    done
done
for row in "disk ($fs_disk)|$fsync_disk" "tmpfs|$fsync_tmpfs"; do
    where=${row%%|*}
    data=${row#*|}
    [ -z "$data" ] && continue
    echo "| its fsync calls meanwhile (perf trace) | $where | $(field fsync_ms p50 <<<"$data") | $(field fsync_ms p99 <<<"$data") | $(field fsync_ms max <<<"$data") | |"
done
echo
echo "| durable append, RoundLog (us) | log on | p50 | p99 | max |"
echo "| --- | --- | ---: | ---: | ---: |"
for row in "disk ($fs_disk)|$app_disk" "tmpfs|$app_tmpfs"; do
    where=${row%%|*}
    data=${row#*|}
    [ -z "$data" ] && continue
    echo "| call record (write + fsync) | $where | $(field append_us p50 <<<"$data") | $(field append_us p99 <<<"$data") | $(field append_us max <<<"$data") |"
    echo "| round header (write + fsync) | $where | $(field header_us p50 <<<"$data") | $(field header_us p99 <<<"$data") | $(field header_us max <<<"$data") |"
done
echo
echo "| start-up phase, in process (ms, median) | tabellone | tabellone, font database first | baseline | baseline, font database first |"
echo "| --- | ---: | ---: | ---: | ---: |"
for p in qapplication font_database embedded_fonts pictures form_model widgets load show_and_paint total second_paint; do
    echo "| $p | $(phase board "$p") | $(phase board-first "$p") | $(phase baseline "$p") | $(phase baseline-first "$p") |"
done
