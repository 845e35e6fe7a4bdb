#!/usr/bin/env bash
# Two boards started from the same folder (each on a display of its own),
# both calling and drawing as fast as they are driven, through a new round
# each. Then both are closed: the log holds every record of both, in each
# board's order, none torn and none mixed into another.
# shellcheck source=tests/drills/common.sh
source "$(dirname "$0")/common.sh"

steps=${STEPS:-120}
dir=$(board_folder board)
log="$dir/logSorvina.txt"

boards=()
drivers=()
for n in 1 2; do
    start_display
    DISPLAY="$display" "$dir/tabellone" 2>>"$scratch/board.err" &
    boards+=($!)
    started+=($!)
    DISPLAY="$display" "$XPROBE" session --pid $! --seed $((40 + n)) --steps "$steps" --close \
        --timeout-ms 15000 --events "$scratch/events.$n" >"$scratch/driver.$n" 2>&1 &
    drivers+=($!)
    started+=($!)
done

for n in 1 2; do
    status=0
    wait "${drivers[$((n - 1))]}" || status=$?
    [ "$status" -eq 0 ] || { cat "$scratch/driver.$n"; fail "driver $n stopped with status $status"; }
done
for n in 1 2; do
    status=0
    wait "${boards[$((n - 1))]}" || status=$?
    [ "$status" -eq 0 ] || fail "board $n closed with status $status"
done

for n in 1 2; do
    echo "board $n: $(grep -c '^shown' "$scratch/events.$n") calls seen, $(grep -c '^round' "$scratch/events.$n") rounds"
done
result=$("$DRILL_CHECK" merged "$log" "$scratch/events.1" "$scratch/events.2" 2>&1) ||
    fail "$result"
echo "log: $result"
echo "PASS: both boards' records whole and in order in one log"
