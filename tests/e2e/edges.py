#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""End-to-end, at the edges: edges.py --program PATH SCENARIO plays the board
where the machine fails it (a full disk), where a key is held long, and where
a screen reader listens (Windows events under Wine)."""

import os
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # keep the source folder clean

import run_e2e
from desktop import Desktop, arguments, check, wait_until
from run_e2e import (EMPTY, ESTRAI, LOG_NAME, NUOVA, QUESTION_TITLE, TITLE, Board,
                     CLIENT_PIXELS, call_record, cell_twips, check_error_box, slot_twips)

SKIP = 77  # ctest's SKIP_RETURN_CODE: what the test needs cannot be had here


def as_root(*args):
    """Runs a command as root: directly when we are, else through sudo if it
    asks for no password. Returns whether it ran and succeeded."""
    prefix = [] if os.geteuid() == 0 else ["sudo", "-n"]
    return subprocess.run([*prefix, *args], capture_output=True).returncode == 0


def full_disk(desktop, program, folder):
    """A disk that fills up in the middle of a round: the call that cannot be
    logged shows nothing under the error box, the log keeps whole records
    only, and OK ends the program with status 1."""
    disk = os.path.join(folder, "disco")
    os.mkdir(disk)
    # Room for the program and one page of log; the rest is filled below.
    size = (os.path.getsize(program) // 4096 + 64) * 4096
    if not as_root("mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", disk):
        print("skipped: no tmpfs can be mounted here (needs root)")
        sys.exit(SKIP)
    try:
        # The round's header will end 3 bytes before the end of the log's
        # first page, so that the call's record needs a page that is not there.
        logged = b"x" * (4096 - 3 - 130)
        with open(os.path.join(disk, LOG_NAME), "wb") as f:
            f.write(logged)
        board = Board(desktop, program, disk, logged)
        board.new_round()
        with open(os.path.join(disk, "riempitivo"), "wb", buffering=0) as f:
            try:
                while f.write(b"\0" * 4096):
                    pass
            except OSError:
                pass  # full
        before = desktop.shot()
        board.double_click(cell_twips(6))
        wait_until(lambda: [w for w in desktop.visible_windows(TITLE)
                            if (w.width, w.height) != CLIENT_PIXELS], "the error box")
        shot = board.wait(lambda s: board.face(s, cell_twips(6)) == board.face(before, cell_twips(6)),
                          "7 still free under the error box")
        board.expect(shot, "under the error box", big=False, strip=EMPTY, same_log=True)
        check_error_box(desktop, board.proc)
        check(board.log() == board.logged, f"the log ends {board.log()[-40:]!r}")
    finally:
        as_root("umount", "-l", disk)  # gone once nothing holds it open


def hold(desktop, board, key, still):
    """Holds `key` down, checking `still()` all the while, until the X server
    has repeated it 20 times to the board (about a second and a half)."""
    desktop.xdotool("keydown", key)
    try:
        desktop.await_repeats([board.window], 20, still)
    finally:
        desktop.xdotool("keyup", key)


def space_held(desktop, program, folder):
    """Space held on Nuova asks nothing until it is let go; held on Estrai, it
    draws nothing until let go, then one number, try after try."""
    board = Board(desktop, program, folder)
    board.new_round()  # by a click on Nuova, which keeps the focus
    hold(desktop, board, "space", lambda: check(not desktop.visible_windows(QUESTION_TITLE),
                                                "the question opened while Space was held"))
    board.open_question(click=False)
    desktop.key("Escape")
    board.question_gone()
    desktop.key("Tab", "Tab", "Tab", "Tab")  # the three slots, then Estrai
    for attempt in range(3):
        def nothing_yet():
            check(board.log() == board.logged, f"try {attempt}: a draw while Space was held")
        hold(desktop, board, "space", nothing_yet)
        drawn, _ = board.drawn(f"try {attempt}: the draw once Space was let go")
        check(board.logged.endswith(call_record(drawn)), "one record for one draw")
        desktop.key("Return")  # the focus is on the window: the big number closes
        board.wait(lambda s: not board.big_number_shown(s), "the board back")
        desktop.key("Tab", "Tab", "Tab", "Tab", "Tab")  # Nuova, the slots, Estrai
    board.close()


class Lines:
    """The lines a process writes to a pipe, gathered as they come."""

    def __init__(self, stream):
        self.lines = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.append(line.decode(errors="replace").rstrip())

    def wait(self, predicate, what):
        return wait_until(lambda: [line for line in self.lines if predicate(line)], what)


def screen_reader_events(desktop, program, folder, listener):
    """What a Windows screen reader could hear under Wine: a listener of our own
    in another process sees a name change and a live-region change from one
    window for each call and each cancel, and Wine's trace of the accessibility
    service shows each name the board sets on it."""
    ears = desktop._spawn(["wine", listener], out=subprocess.PIPE)
    heard = Lines(ears.stdout)
    heard.wait(lambda line: line == "listening", "the listener ready")
    desktop.env["WINEDEBUG"] = "fixme+oleacc"
    read_end, write_end = os.pipe()
    sys.stdout.flush()
    saved = os.dup(1)
    os.dup2(write_end, 1)  # the board's output, and so Wine's trace, comes here
    try:
        board = Board(desktop, program, folder, appear=False)
    finally:
        os.dup2(saved, 1)
        os.close(saved)
        os.close(write_end)
    traced = Lines(os.fdopen(read_end, "rb"))
    board.appear()
    board.new_round()

    def announced(text):
        traced.wait(lambda line: "SetHwndPropStr" in line and text in line, f"{text!r} set")
        lives = heard.wait(lambda line: line.startswith("live "), "a live-region change")
        live = lives[-1].split()[1]
        heard.wait(lambda line: line == f"name {live}", "its name change")
        heard.lines.clear()
        return live

    board.call(20)
    announcer = announced("Numero chiamato: 20")
    board.close_big_number()
    board.double_click(slot_twips(0))
    check(announced("Numero annullato: 20") == announcer, "both heard from one live region")
    board.close()


if __name__ == "__main__":
    scenarios = {f.__name__: f for f in (full_disk, space_held, screen_reader_events)}
    parser_args = arguments(scenarios)
    os.environ["TZ"] = "Pacific/Kiritimati"  # as the main suite: check_header's time
    time.tzset()
    program = os.path.abspath(parser_args.program)
    desktop = Desktop()
    try:
        extra = {}
        if parser_args.wine:
            desktop.use_wine(parser_args.wine)
            if parser_args.scenario == "screen_reader_events":
                extra["listener"] = os.path.join(os.path.dirname(program), "tests",
                                                 "winevents.exe")
        folder = run_e2e.tempfile.mkdtemp(prefix="board-", dir=desktop.home)
        scenarios[parser_args.scenario](desktop, program, folder, **extra)
    except BaseException:
        with open(f"e2e-{parser_args.scenario}-failure.ppm", "wb") as f:
            f.write(b"P6 1024 768 255\n" + desktop.shot().raw)
        raise
    finally:
        desktop.close()
