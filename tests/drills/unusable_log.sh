#!/usr/bin/env bash
# The log's place made unusable, four ways: a folder in the way, the file
# unwritable, the folder unwritable, and a device in the file's place (the
# log a link to /dev/full, refused as not a plain file). Each time: an
# error box titled like the board, in Italian (read back from the screen
# by OCR), the board's status 1 once Return is pressed, and nothing written
# or left anywhere in the folder.
# As root, permission bits stop nothing: the file or folder is then made
# immutable (chattr +i) or mounted read-only in a private mount namespace;
# a sub-case that no method can set up here is skipped, saying why.
# DRILL_ROOT_METHOD=mount skips chattr, to try the mount namespace.
# shellcheck source=tests/drills/common.sh
source "$(dirname "$0")/common.sh"

for tool in import convert tesseract; do
    command -v "$tool" >/dev/null ||
        { echo "SKIP: $tool is not installed (tools/setup.sh installs it)"; exit 77; }
done

title="TABELLONE DELLA SORVINA"
start_display
export DISPLAY="$display"
root=false
[ "$(id -u)" -eq 0 ] && root=true
chattr=chattr
[ "${DRILL_ROOT_METHOD:-}" = mount ] && chattr=false
skipped=0
passed=0

# What a folder holds, to the byte.
contents() {
    (cd "$1" && find . -printf '%p %y %s %m %l\n' | sort &&
        find . -type f ! -name tabellone -exec md5sum {} + 2>/dev/null | sort)
}

# Whether the current user can still create or write in the way the board
# would; true means the sub-case is not set up.
writable() {
    if [ -e "$1" ] && [ ! -d "$1" ]; then
        (: >>"$1") 2>/dev/null
    else
        (: >"$1/.probe" && rm -f "$1/.probe") 2>/dev/null
    fi
}

# Starts the board in $1, by way of a read-only bind mount of the folder
# when $2 is "ro-mount".
launch() {
    local dir="$1"
    if [ "${2:-}" = ro-mount ]; then
        # shellcheck disable=SC2016 # expanded by the inner shell
        unshare -m sh -c 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" "$1" &&
            exec "$1/tabellone"' sh "$dir" 2>>"$scratch/board.err" &
    else
        "$dir/tabellone" 2>>"$scratch/board.err" &
    fi
    board=$!
    started+=("$board")
}

# The error box: on screen with the board's title, its text (by OCR)
# holding the phrase; Return closes it and the board ends with status 1.
expect_error() {
    local name="$1" dir="$2" phrase="$3" before="$4"
    local geometry text status=0
    geometry=$("$XPROBE" wait-window --name "$title" --skip-size 865x678 --timeout-ms 15000) ||
        fail "$name: no error box"
    sleep 0.3 # let it finish painting before the screenshot
    import -window root -crop "$geometry" "$scratch/$name.png"
    convert "$scratch/$name.png" -resize 300% -colorspace Gray "$scratch/$name-ocr.png"
    text=$(tesseract "$scratch/$name-ocr.png" - -l ita 2>/dev/null | tr -s ' \n' '  ')
    [[ $text == *"$phrase"* ]] || fail "$name: the box (${geometry}) reads \"$text\""
    "$XPROBE" key Return --to "$title" --skip-size 865x678 || fail "$name: the box took no key"
    wait "$board" || status=$?
    [ "$status" -eq 1 ] || fail "$name: the board ended with status $status, not 1"
    [ "$(contents "$dir")" = "$before" ] || {
        diff <(echo "$before") <(contents "$dir") || true
        fail "$name: the folder changed"
    }
    echo "$name: box ${geometry%%+*} says \"${text:0:60}...\", status 1, folder untouched"
    passed=$((passed + 1))
}

# 1. A folder where the log goes.
dir=$(board_folder folder-in-the-way)
mkdir "$dir/logSorvina.txt"
before=$(contents "$dir")
launch "$dir"
expect_error folder-in-the-way "$dir" "Impossibile aprire il registro delle estrazioni" "$before"

# Makes TARGET unwritable (chmod MODE as a user; as root, whom permission
# bits do not stop, chattr +i or a read-only bind mount), starts the board
# in DIR and expects the open to fail with the folder left as it was.
deny_and_expect() {
    local name=$1 dir=$2 target=$3 mode_bits=$4 how="" mode=""
    if ! $root; then
        chmod "$mode_bits" "$target" && how="chmod $mode_bits" && undo+=("chmod u+w '$target'")
    elif $chattr +i "$target" 2>/dev/null; then
        undo+=("chattr -i '$target'")
        how="chattr +i (root ignores permission bits)"
    elif unshare -m true 2>/dev/null; then
        how="read-only bind mount"
        mode=ro-mount
    fi
    if [ -n "$how" ] && { [ -n "$mode" ] || ! writable "$target"; }; then
        echo "$name: made so by $how"
        local before
        before=$(contents "$dir")
        launch "$dir" "$mode"
        expect_error "$name" "$dir" "Impossibile aprire il registro delle estrazioni" "$before"
    else
        echo "$name: SKIPPED, no way to make $target unwritable for $(id -un) here"
        skipped=$((skipped + 1))
    fi
}

# 2. The log there but unwritable. It keeps what it held.
dir=$(board_folder file-unwritable)
printf '"5\r\n"\r\n' >"$dir/logSorvina.txt"
deny_and_expect file-unwritable "$dir" "$dir/logSorvina.txt" 444

# 3. No log yet and the folder unwritable.
dir=$(board_folder folder-unwritable)
deny_and_expect folder-unwritable "$dir" "$dir" 555

# 4. The log a link to a device whose every write fails: refused when the
# board opens it, as not a plain file, before anything is written.
dir=$(board_folder not-a-file)
ln -s /dev/full "$dir/logSorvina.txt"
before=$(contents "$dir")
launch "$dir"
expect_error not-a-file "$dir" "Impossibile aprire il registro delle estrazioni" "$before"

echo "PASS: $passed cases, $skipped skipped"
