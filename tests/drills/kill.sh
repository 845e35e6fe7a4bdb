#!/usr/bin/env bash
# The board killed (SIGKILL) during a session of calls and draws, again and
# again on the same log: at random moments, and at the very moment a big
# number is seen. After every kill, each call whose big number was seen on
# screen is in the log, in order, and the log still reads as whole headers
# and call records.
# DRILL_SEED picks the moments (and the driver's choices); KILLS how many.
# shellcheck source=tests/drills/common.sh
source "$(dirname "$0")/common.sh"

seed=${DRILL_SEED:-20260307}
kills=${KILLS:-10}
RANDOM=$seed
echo "seed $seed, $kills kills"

dir=$(board_folder board)
log="$dir/logSorvina.txt"
start_display
export DISPLAY="$display"

seen_total=0
for k in $(seq "$kills"); do
    offset=0
    [ -f "$log" ] && offset=$(stat -c %s "$log")
    "$dir/tabellone" 2>>"$scratch/board.err" &
    board=$!
    started+=("$board")
    if [ $((k % 2)) -eq 0 ]; then
        # The driver kills the board the very moment a big number shows:
        # its record must be on disk by then.
        at=$((1 + RANDOM % 60))
        when="the moment big number $at showed"
        "$XPROBE" session --pid "$board" --seed $((seed + k)) --steps 1000 --timeout-ms 15000 \
            --kill-at-shown "$at" --events "$scratch/events.$k" >"$scratch/driver.$k" 2>&1 &
        driver=$!
        started+=("$driver")
    else
        "$XPROBE" session --pid "$board" --seed $((seed + k)) --steps 1000 --timeout-ms 15000 \
            --events "$scratch/events.$k" >"$scratch/driver.$k" 2>&1 &
        driver=$!
        started+=("$driver")
        # At a random moment, mostly within the first round; some runs last
        # into the second, so that kills also land around a new round's header.
        delay=$((100 + RANDOM % 2900))
        [ $((k % 3)) -eq 0 ] && delay=$((5000 + RANDOM % 3000))
        when="after $delay ms"
        sleep "$(millis "$delay")"
        kill -KILL "$board" 2>/dev/null || fail "kill $k: the board had ended by itself"
    fi
    wait "$board" 2>/dev/null || true
    status=0
    wait "$driver" || status=$?
    # 3: the driver saw the board go. Anything else is the driver's failure.
    if [ "$status" -ne 3 ]; then
        cat "$scratch/driver.$k"
        tr "\n" " " <"$scratch/events.$k"
        fail "kill $k: the driver stopped with status $status before the kill"
    fi
    result=$("$DRILL_CHECK" session "$log" "$offset" "$scratch/events.$k" 2>&1) ||
        fail "kill $k $when: $result"
    seen=$(grep -c '^shown' "$scratch/events.$k" || true)
    seen_total=$((seen_total + seen))
    echo "kill $k $when: $seen calls seen on screen; $result"
done

whole=$("$DRILL_CHECK" parse "$log" 2>&1) || fail "the whole log: $whole"
echo "whole log: $whole"
# A drill that never saw a call proves nothing.
[ "$seen_total" -ge 20 ] || fail "only $seen_total calls were seen on screen in all"
echo "PASS: $seen_total calls seen on screen, every one in the log, nothing torn"
