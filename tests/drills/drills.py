#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Durability drills: drills.py --program PATH --source DIR kill|valgrind.
The real board on a private X desktop, played with the mouse and keyboard by
the end-to-end suite's Board (tests/e2e/run_e2e.py), which checks each record
as it lands: killed again and again on one log, and run under memcheck.
Judged by the log's bytes and by memcheck's errors in the project's own code."""

import argparse
import os
import random
import shutil
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, check, wait_until  # noqa: E402
from run_e2e import (CALL_RECORD, ESTRAI, HEADER, LOG_NAME, Board, Gone,  # noqa: E402
                     board_windows, cell_twips)


def read(path):
    return open(path, "rb").read() if os.path.exists(path) else b""


def parse(data):
    """(headers, calls) in a log's bytes; fails on the first bytes that are no whole record."""
    headers = calls = pos = 0
    while pos < len(data):
        m = HEADER.match(data, pos) or CALL_RECORD.match(data, pos)
        check(m and (m.re is HEADER or 1 <= int(m[1]) <= 90),
              f"torn or stray bytes at offset {pos}: {data[pos:pos + 60]!r}")
        headers, calls, pos = headers + (m.re is HEADER), calls + (m.re is CALL_RECORD), m.end()
    return headers, calls


def kill_when_logged(board):
    """Kills the board the moment its log grows: a record is in, and maybe
    not yet forced to disk."""
    size, deadline = len(board.logged), time.monotonic() + board.patience
    while os.path.getsize(board.log_path) <= size:
        if board.proc.poll() is not None:
            raise Gone(f"the program ended ({board.proc.returncode}) before its record landed")
        check(time.monotonic() < deadline, "timed out waiting for a record")
    board.proc.kill()


def call(board, rng, shot, kill=None):
    """Estrai or a double-click on a free cell; returns once the big number
    shows. With `kill`, the board is killed instead: as the click is sent
    ("sent") or the moment a record lands after it ("landed")."""
    free = [i + 1 for i, state in enumerate(board.cell_states(shot)) if state == "free"]
    number = None if rng.random() < 0.5 or not free else rng.choice(free)
    if kill is None:
        if number:
            board.call(number)
        else:
            board.click(ESTRAI)
            board.drawn("a draw by Estrai")
        return
    if number:
        board.double_click(cell_twips(number - 1))
    else:
        board.click(ESTRAI)
    if kill == "sent":
        board.proc.kill()
    else:
        kill_when_logged(board)


# When an odd kill lands: as the board starts, as a round's header lands, as
# the click of a call is sent, or as its record lands.
MOMENTS = ("started", "header", "sent", "landed")


def kill(desktop, program, folder, seed):
    """Ten SIGKILLs on one log, each at a moment of play the seed picks, every
    other one as a big number is seen; never at a time, which a slow machine
    would shift. Every big number seen is logged, at most one call more,
    nothing torn."""
    rng, log, total = random.Random(seed), os.path.join(folder, LOG_NAME), 0
    for k in range(1, 11):
        wait_until(lambda: not board_windows(desktop), "the killed board gone")
        before = read(log)
        board = Board(desktop, program, folder, before, appear=False)
        moment, seen, target = rng.choice(MOMENTS) if k % 2 else "seen", 0, rng.randint(1, 6)
        if moment == "started":
            board.proc.kill()
        elif moment == "header":
            board.appear()
            board.open_question()
            desktop.key("Return")
            kill_when_logged(board)
        else:
            board.appear()
            board.new_round()
            shot = desktop.shot()
            while True:
                if rng.random() < 0.1 or "free" not in board.cell_states(shot):  # kills near headers
                    board.new_round()
                    shot = desktop.shot()
                if seen + 1 == target and moment != "seen":
                    call(board, rng, shot, kill=moment)
                    break
                call(board, rng, shot)
                seen += 1
                if seen == target:
                    board.proc.kill()  # the moment its big number is seen
                    break
                shot = board.close_big_number()
        check(board.proc.wait(timeout=10) == -9, f"kill {k}: the board ended by itself")
        logged = parse(read(log))[1] - parse(before)[1]
        when = {"started": "as it started", "header": "as a header landed",
                "sent": f"as call {target} was sent", "landed": f"as call {target} landed",
                "seen": f"at big number {target}"}[moment]
        print(f"kill {k} {when}: {seen} big numbers seen, {logged} calls logged")
        check(seen <= logged <= seen + 1, f"kill {k}: more calls seen than logged, or too many")
        total += seen
    check(total >= 15, f"only {total} big numbers seen in all: the drill proves little")


def valgrind(desktop, program, folder, seed, source):
    """One short session under memcheck; fails on any error first met in the project's code."""
    # A process the board forks (D-Bus may start a helper) stays silent, and
    # each process would write a report of its own: the board's is read.
    reports = os.path.join(desktop.home, "memcheck.%p.xml")
    desktop.wrapper = ("valgrind", "--leak-check=full", "--show-leak-kinds=definite",
                       "--errors-for-leak-kinds=definite", "--num-callers=40",
                       "--child-silent-after-fork=yes", "--xml=yes", f"--xml-file={reports}")
    board = Board(desktop, program, folder, appear=False)
    board.patience = 120
    board.appear()
    board.new_round()
    rng = random.Random(seed)
    for _ in range(3):
        call(board, rng, desktop.shot())
        board.close_big_number()
    board.close()
    check(parse(board.log()) == (1, 3), "one header and three calls logged")
    ours, others = [], 0
    xml = reports.replace("%p", str(board.proc.pid))
    for error in ET.parse(xml).getroot().iter("error"):
        # Where it happened (or, for a leak, what allocated): the first frame
        # past valgrind's own stand-ins for malloc, new, memcpy and the like.
        frames = [f for f in error.find("stack") if "/vgpreload_" not in f.findtext("obj", "")]
        where = frames[0] if frames else None
        if where is not None and where.findtext("dir", "").startswith(source + os.sep):
            ours.append(f"{error.findtext('kind')} in {where.findtext('fn')} at "
                        f"{where.findtext('file')}:{where.findtext('line')}")
        else:
            others += 1
    print(f"memcheck: {len(ours)} errors in the project's code, {others} elsewhere (Qt, X, fonts)")
    check(not ours, "memcheck errors in the project's code:\n" + "\n".join(ours))


DRILLS = {f.__name__: f for f in (kill, valgrind)}

if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True, help="the built tabellone executable")
    parser.add_argument("--source", required=True, help="the project's source folder")
    parser.add_argument("--seed", type=int, default=int(os.environ.get("DRILL_SEED", 20260307)))
    parser.add_argument("drill", choices=DRILLS)
    args = parser.parse_args()
    for tool in ("Xvfb", "valgrind") if args.drill == "valgrind" else ("Xvfb",):
        if not shutil.which(tool):
            print(f"SKIP: {tool} is not installed (tools/setup.sh installs it)")
            sys.exit(77)
    print(f"seed {args.seed}")
    desktop = Desktop()
    try:
        folder = tempfile.mkdtemp(prefix="board-", dir=desktop.home)
        extra = (os.path.realpath(args.source),) if args.drill == "valgrind" else ()
        DRILLS[args.drill](desktop, os.path.abspath(args.program), folder, args.seed, *extra)
    finally:
        desktop.close()
