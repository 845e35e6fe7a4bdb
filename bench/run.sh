#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Benchmarks the board on a virtual X display, side by side with a minimal
# program of its toolkit that shows a window of the same size and as many
# controls, and prints tables: the Linux board against a plain Qt 6 program
# (bench/baseline.cpp), and the Windows board under Wine, with openbox,
# against a plain Win32 program (bench/baseline_win32.cpp).
#
#   bash bench/run.sh [linux|windows]   (both by default;
#                                        RUNS=15 CALLS=200 APPENDS=1000 ROUNDS=10)
#
# It builds with the default preset into build/, and for Windows with the
# win32 preset into build-win32/; BENCH_BUILD_DIR=DIR uses an already
# configured build tree for Linux instead, and BENCH_WIN32_DIR=DIR takes the
# Windows executables, as built, from DIR (tabellone.exe, bench/...).
#
# Every figure is measured from outside the process unless it says so:
# tabellone_xprobe starts the program, watches the X server's frame buffer
# for the first frame with the teal cells (Linux) or for the complete
# window (Windows: the whole client area, read back until it settles), and
# drives the board with XTest.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/setup.sh

RUNS=${RUNS:-15}
CALLS=${CALLS:-200}
APPENDS=${APPENDS:-1000}
ROUNDS=${ROUNDS:-10}
tables=${1:-all}
case "$tables" in
    all | linux | windows) ;;
    *) echo "usage: bash bench/run.sh [linux|windows]" >&2; exit 2 ;;
esac

need_packages "${BUILD_PACKAGES[@]}" xvfb libx11-dev libxtst-dev libxext-dev linux-perf
if [ "$tables" != linux ]; then
    need_i386
    need_packages "${WINE_PACKAGES[@]}"
fi
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
wm=""
cleanup() {
    # Every step, whether or not the one before it could do anything.
    set +e
    [ -n "$board" ] && kill "$board" 2>/dev/null
    # Wine's server of the benchmark's own prefix, and nothing else.
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
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
# The median and, in brackets, the lowest and the highest value.
spread() {
    sort -g | awk '{v[NR] = $1}
        END {if (NR == 0) print "-"; else printf "%s (%s-%s)\n",
            (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[1], v[NR]}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (a == "" || b == "" || b == 0) printf "-"; else printf "%.2f", a / b}'; }
# The value after the word f on the line that starts with k.
field() { awk -v k="$1" -v f="$2" '$1 == k {for (i = 2; i < NF; i++) if ($i == f) print $(i + 1)}'; }
load() { awk '{print $1 ", " $2 ", " $3}' /proc/loadavg; }

linux_tables() {
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
        "$probe" latency --calls "$CALLS" --draws "$CALLS" --seed 7
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
}

# The Windows board under Wine, on the same display with a window manager:
# start-up against the plain Win32 program, where its start-up goes inside
# the process, input latency, and new rounds.
windows_tables() {
    local wbin="$PWD/build-win32" win="$disk/win"
    if [ -n "${BENCH_WIN32_DIR:-}" ]; then
        wbin=$(cd "$BENCH_WIN32_DIR" && pwd)
    else
        echo "Building the Windows executables (win32 preset)..." >&2
        build_project win32 tabellone tabellone_baseline_win32 bench_startup_parts_win32 >/dev/null
    fi
    mkdir "$win"
    cp "$wbin/tabellone.exe" "$wbin/bench/tabellone_baseline_win32.exe" \
        "$wbin/bench/bench_startup_parts_win32.exe" "$win/"

    # A Wine prefix of the benchmark's own: a copy of the one the Windows
    # tests made, or a new one. Its server is kept running throughout, so
    # that no run pays for starting it.
    export WINEPREFIX="$disk/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ -d "$PWD/build-win32/wineprefix" ]; then
        cp -a "$PWD/build-win32/wineprefix" "$WINEPREFIX"
    else
        echo "Making a Wine prefix..." >&2
        wineboot --init >/dev/null 2>&1
        # Its server lingers a moment; a persistent one cannot start beside it.
        wineserver -w
    fi
    wineserver -p

    openbox >/dev/null 2>&1 &
    wm=$!
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
        sleep 0.05
    done
    local load_before
    load_before=$(load)

    local title="TABELLONE DELLA SORVINA"
    echo "Measuring the Windows start-up to the complete window ($RUNS runs each, alternating)..." >&2
    # One run of each to start Wine's desktop and warm the page cache; not counted.
    "$probe" startup --name "$title" -- /usr/bin/wine "$win/tabellone.exe" >/dev/null 2>&1 || true
    "$probe" startup --name BASELINE -- /usr/bin/wine "$win/tabellone_baseline_win32.exe" \
        >/dev/null 2>&1 || true
    # From outside (the probe reads the whole client area back until it
    # settles) and in process (from the process's creation to the end of
    # its first paint, every control drawn), in turn, so that a change of
    # load falls on both programs and both measures alike.
    # The in-process breakdown runs the same code held at its first paint,
    # watched by the probe in the same run: both measures of one start-up.
    local runs="$disk/win-startup.txt" parts="$disk/win-parts.txt" held="$disk/win-held.txt"
    : >"$runs"
    : >"$parts"
    : >"$held"
    for _ in $(seq "$RUNS"); do
        "$probe" complete --name "$title" -- /usr/bin/wine "$win/tabellone.exe" \
            2>"$disk/probe.err" | sed 's/^/board /' >>"$runs" ||
            { echo "a start-up run of the Windows board failed: $(cat "$disk/probe.err")" >&2; exit 1; }
        "$probe" complete --name BASELINE -- /usr/bin/wine "$win/tabellone_baseline_win32.exe" \
            2>"$disk/probe.err" | sed 's/^/baseline /' >>"$runs" ||
            { echo "a start-up run of the Win32 baseline failed: $(cat "$disk/probe.err")" >&2; exit 1; }
        for who in board baseline; do
            local args=(--hold) name="$title"
            [ "$who" = baseline ] && args+=(--baseline) && name=BASELINE
            rm -f "$disk/held.out"
            "$probe" complete --name "$name" --output "$disk/held.out" -- /usr/bin/wine \
                "$win/bench_startup_parts_win32.exe" "${args[@]}" 2>"$disk/probe.err" >"$disk/held.probe" ||
                { echo "a held start-up run ($who) failed: $(cat "$disk/probe.err")" >&2; exit 1; }
            echo "$who $(cat "$disk/held.probe") $(awk '$1 == "phase_ms" && ($2 == "total" || $2 == "from_launch") {printf "%s %s ", $2, $3}' "$disk/held.out")" >>"$held"
        done
        wine "$win/bench_startup_parts_win32.exe" 2>/dev/null | sed "s/^/board /" >>"$parts"
        wine "$win/bench_startup_parts_win32.exe" --baseline 2>/dev/null | sed "s/^/baseline /" >>"$parts"
    done
    # The value after the word f on the held runs of one program; and the
    # difference, run by run, of the probe's time and the program's own.
    hcol() { awk -v w="$1" -v f="$2" '$1 == w {for (i = 2; i < NF; i++) if ($i == f) print $(i + 1)}' "$held"; }
    hgap() {
        awk -v w="$1" '$1 == w {for (i = 2; i < NF; i++) {if ($i == "complete_ms") c = $(i + 1); if ($i == "from_launch") l = $(i + 1)}; print c - l}' "$held"
    }
    # The value after the word f on the start-up runs of one program.
    wcol() { awk -v w="$1" -v f="$2" '$1 == w {for (i = 2; i < NF; i++) if ($i == f) print $(i + 1)}' "$runs"; }
    # Phase n of one program, as "median (min-max)".
    wphase() { awk -v w="$1" -v n="$2" '$1 == w && $2 == "phase_ms" && $3 == n {print $4}' "$parts" | spread; }
    # The time and the count of one kind of call, all phases to the first
    # paint added up in each run, medians over the runs.
    wcalls() {
        awk -v w="$1" -v k="$2" '
            $1 == w && $2 == "phase_ms" && $3 == "before_main" {if (run) print ms, n; run++; ms = 0; n = 0}
            $1 == w && $2 == "call_ms" && $4 == k && $3 !~ /^(second_paint|new_round|first_call|big_number_closed|later_call|next_round|(first|later)_(big_number|cells_again))$/ {ms += $5; n += $7}
            END {if (run) print ms, n}' "$parts" >"$disk/calls.txt"
        printf '%s | %s' "$(awk '{print $1}' "$disk/calls.txt" | median)" \
            "$(awk '{print $2}' "$disk/calls.txt" | median)"
    }

    echo "Measuring the Windows input latency ($CALLS double-clicks, $CALLS draws) and $ROUNDS new rounds..." >&2
    rm -f "$win/logSorvina.txt"
    wine "$win/tabellone.exe" 2>/dev/null &
    board=$!
    local lat rounds swaps
    # A run that fails is told, and the tables go on without its figures.
    lat=$("$probe" latency --calls "$CALLS" --draws "$CALLS" --seed 7 --timeout-ms 60000 \
        2>"$disk/probe.err") || echo "the latency run failed: $(cat "$disk/probe.err")" >&2
    rounds=$("$probe" rounds --rounds "$ROUNDS" --calls 10 --seed 11 --timeout-ms 60000 2>"$disk/probe.err") ||
        echo "the new rounds failed: $(cat "$disk/probe.err")" >&2
    kill "$board" 2>/dev/null
    wait "$board" 2>/dev/null || true
    echo "Measuring the same changes of screen on the baseline ($CALLS double-clicks)..." >&2
    wine "$win/tabellone_baseline_win32.exe" 2>/dev/null &
    board=$!
    swaps=$("$probe" swaps --name BASELINE --times "$CALLS" --seed 7 --timeout-ms 60000 \
        2>"$disk/probe.err") || echo "the baseline's run failed: $(cat "$disk/probe.err")" >&2
    kill "$board" 2>/dev/null
    wait "$board" 2>/dev/null || true
    board=""
    local load_after
    load_after=$(load)

    local b_ms r_ms b_cpu r_cpu
    b_ms=$(wcol board complete_ms | median)
    r_ms=$(wcol baseline complete_ms | median)
    b_cpu=$(wcol board cpu_ms | median)
    r_cpu=$(wcol baseline cpu_ms | median)
    echo
    echo "Windows: $(wine --version 2>/dev/null) (WINEDEBUG=-all) with openbox on the same Xvfb; 96 dpi."
    echo "Load average before and after: $load_before; $load_after."
    echo "Medians of $RUNS alternating runs, lowest-highest in brackets; latency over $CALLS inputs of each kind."
    echo
    local b_held r_held
    b_held=$(hcol board from_launch | median)
    r_held=$(hcol baseline from_launch | median)
    echo "| start-up to the complete window (ms) | tabellone.exe | baseline_win32.exe | ratio | target |"
    echo "| --- | ---: | ---: | ---: | --- |"
    echo "| from outside: launch to the whole client area settled | $(wcol board complete_ms | spread) | $(wcol baseline complete_ms | spread) | $(ratio "$b_ms" "$r_ms") | <= 1.3x |"
    echo "| in process: launch to its first paint done (the same code, timed inside) | $(hcol board from_launch | spread) | $(hcol baseline from_launch | spread) | $(ratio "$b_held" "$r_held") | <= 1.3x |"
    echo "| those runs from outside, less the time inside, run by run | $(hgap board | spread) | $(hgap baseline | spread) | | agree: about 0 |"
    echo "| in process: the process's creation to its first paint done | $(hcol board total | spread) | $(hcol baseline total | spread) | $(ratio "$(hcol board total | median)" "$(hcol baseline total | median)") | |"
    echo "| CPU time of its process to the complete window (from outside) | $(wcol board cpu_ms | spread) | $(wcol baseline cpu_ms | spread) | $(ratio "$b_cpu" "$r_cpu") | (Wine's server not counted) |"
    echo "| the first frame with the teal cells, from outside | $(wcol board first_ms | spread) | $(wcol baseline first_ms | spread) | $(ratio "$(wcol board first_ms | median)" "$(wcol baseline first_ms | median)") | (not yet complete) |"
    echo
    echo "| change of screen, from the input (ms) | tabellone.exe p50 | p99 | baseline_win32.exe p50 | p99 | ratio (p50) | target |"
    echo "| --- | ---: | ---: | ---: | ---: | ---: | --- |"
    local base_big base_cells
    base_big=$(field dblclick_ms p50 <<<"$swaps")
    base_cells=$(field close_ms p50 <<<"$swaps")
    for row in "dblclick_ms|double-click on a cell to the big number|dblclick_ms" \
        "estrai_ms|click on Estrai to the big number|dblclick_ms" \
        "close_ms|double-click on the big number to every cell shown|close_ms"; do
        local key=${row%%|*} rest=${row#*|}
        local label=${rest%%|*} bkey=${rest#*|}
        local p50
        p50=$(field "$key" p50 <<<"$lat")
        echo "| $label | $p50 | $(field "$key" p99 <<<"$lat") | $(field "$bkey" p50 <<<"$swaps") | $(field "$bkey" p99 <<<"$swaps") | $(ratio "$p50" "$(field "$bkey" p50 <<<"$swaps")") | <= 1.3x |"
    done
    local repaint dbl
    repaint=$(field round_repaint_ms p50 <<<"$rounds")
    dbl=$(field dblclick_ms p50 <<<"$lat")
    echo "| a new round: from Sì to every cell shown free | $repaint | $(field round_repaint_ms max <<<"$rounds") (max) | $base_cells | | $(ratio "$repaint" "$base_cells") | no slower than a call: $(ratio "$repaint" "$dbl")x a double-click's |"
    echo
    local first later
    first=$(field round_first_eager_ms p50 <<<"$rounds")
    later=$(field round_later_ms p50 <<<"$rounds")
    echo "| new round, $ROUNDS rounds of 10 calls (ms) | p50 | max | n |"
    echo "| --- | ---: | ---: | ---: |"
    for row in "round_repaint_ms|from Sì to every cell shown free" \
        "round_to_big_ms|from Sì to the big number of a call made as the question closes" \
        "round_first_eager_ms|that first call, from its double-click" \
        "round_first_repainted_ms|a first call made once every cell shows free" \
        "round_later_ms|the later calls of the rounds"; do
        local key=${row%%|*}
        echo "| ${row#*|} | $(field "$key" p50 <<<"$rounds") | $(field "$key" max <<<"$rounds") | $(field "$key" n <<<"$rounds") |"
    done
    echo "| first call after a new round against a later call (p50) | $(ratio "$first" "$later")x | | |"
    echo
    echo "| Windows start-up phase, in process (ms) | tabellone.exe | baseline_win32.exe |"
    echo "| --- | ---: | ---: |"
    for p in before_main common_controls com gdiplus embedded_fonts form_model load view window show_and_paint total second_paint; do
        echo "| $p | $(wphase board "$p") | $(wphase baseline "$p") |"
    done
    echo
    echo "| at play, in process: handler and repaint (ms) | tabellone.exe | baseline_win32.exe, the same change of screen |"
    echo "| --- | ---: | ---: |"
    echo "| new round (every cell from greyed to free) | $(wphase board new_round) | |"
    echo "| first call (the big number shown) | $(wphase board first_call) | $(wphase baseline first_big_number) |"
    echo "| big number closed (the cells shown again) | $(wphase board big_number_closed) | $(wphase baseline first_cells_again) |"
    echo "| a later call | $(wphase board later_call) | $(wphase baseline later_big_number) |"
    echo "| the next round (two cells called to free) | $(wphase board next_round) | |"
    echo
    echo "| calls to the first paint, by kind (ms, median) | tabellone.exe ms | n | baseline ms | n |"
    echo "| --- | ---: | ---: | ---: | ---: |"
    for k in $(awk '$2 == "call_ms" {print $4}' "$parts" | sort -u); do
        echo "| $k | $(wcalls board "$k") | $(wcalls baseline "$k") |"
    done
    wineserver -k 2>/dev/null || true
    kill "$wm" 2>/dev/null
    wait "$wm" 2>/dev/null || true
    wm=""
}

if [ "$tables" != windows ]; then
    linux_tables
fi
if [ "$tables" != linux ]; then
    windows_tables
fi
