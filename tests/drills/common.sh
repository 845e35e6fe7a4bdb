# shellcheck shell=bash
# Shared by the drills (sourced): a scratch folder, private virtual X
# displays, and cleanup of everything a drill started, by process id.
# ctest passes TABELLONE, XPROBE, DRILL_CHECK and SOURCE_DIR.
set -euo pipefail
shopt -s inherit_errexit
: "${TABELLONE:?}" "${XPROBE:?}" "${DRILL_CHECK:?}"

if ! command -v Xvfb >/dev/null; then
    echo "SKIP: Xvfb is not installed (tools/setup.sh installs it)"
    exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tabellone-drill.XXXXXX")
started=()
undo=()
cleanup() {
    local pid step
    for pid in "${started[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    for step in "${undo[@]}"; do
        eval "$step" || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
# Interrupted, still clean up.
trap 'exit 1' INT TERM HUP PIPE

unset QT_QPA_PLATFORM
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

fail() {
    echo "FAIL: $*"
    exit 1
}

# Starts a virtual display of its own (24 bits, so colours read back
# exactly) and sets display to its name, e.g. ":5". Not to be called in a
# subshell: the display is stopped by process id at exit.
# shellcheck disable=SC2034 # read by the drills
display=""
start_display() {
    local file
    file=$(mktemp "$scratch/display.XXXXXX")
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$file" >/dev/null 2>&1 &
    started+=($!)
    local _
    for _ in $(seq 200); do
        [ -s "$file" ] && break
        sleep 0.05
    done
    [ -s "$file" ] || fail "Xvfb did not start"
    # shellcheck disable=SC2034 # read by the drills
    display=":$(head -n 1 "$file")"
}

# A folder of its own holding a copy of the board, as a user would have it.
board_folder() {
    local dir="$scratch/$1"
    mkdir -p "$dir" && cp "$TABELLONE" "$dir/tabellone" && echo "$dir"
}

# "seconds.millis" for sleep.
millis() {
    printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000))
}
