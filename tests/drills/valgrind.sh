#!/usr/bin/env bash
# The real board under valgrind memcheck on a virtual display: start, a new
# round, a few calls and draws, close. Fails on any memcheck error that
# belongs to the project: an invalid access or a use of uninitialised
# memory whose first frame is in the project's sources, or a definite leak
# allocated directly by the project's code. Qt, fontconfig and X keep
# memory of their own until exit; those are counted and shown, not failed.
# shellcheck source=tests/drills/common.sh
source "$(dirname "$0")/common.sh"
: "${SOURCE_DIR:?}"

command -v valgrind >/dev/null ||
    { echo "SKIP: valgrind is not installed (tools/setup.sh installs it)"; exit 77; }

dir=$(board_folder board)
start_display
export DISPLAY="$display"
xml="$scratch/memcheck.xml"

begin=$SECONDS
valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
    --errors-for-leak-kinds=definite --track-origins=no --num-callers=40 \
    --xml=yes --xml-file="$xml" "$dir/tabellone" 2>"$scratch/board.err" &
board=$!
started+=("$board")
# Everything is some thirty times slower under memcheck: generous waits.
status=0
"$XPROBE" session --pid "$board" --seed 5 --steps 6 --close --timeout-ms 90000 \
    --events "$scratch/events" >"$scratch/driver" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$scratch/driver"; fail "the session stopped with status $status"; }
status=0
wait "$board" || status=$?
[ "$status" -eq 0 ] || fail "the board closed with status $status under memcheck"
echo "session under memcheck: $(grep -c '^shown' "$scratch/events") calls, $((SECONDS - begin)) s"

result=$("$DRILL_CHECK" session "$dir/logSorvina.txt" 0 "$scratch/events" 2>&1) || fail "$result"
echo "log: $result"
"$DRILL_CHECK" valgrind "$xml" "$SOURCE_DIR" ${BINARY_DIR:+"$BINARY_DIR"} ||
    fail "memcheck found errors in the project's code (above)"
echo "PASS"
