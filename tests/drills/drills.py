#!/usr/bin/python3
"""Durability drills: drills.py --program PATH --source DIR kill|two_boards|valgrind.
The real board, copied alone into a fresh folder, played with the mouse and
keyboard on private X desktops (tests/e2e/desktop.py): killed again and again
on one log, run twice at once on one log, and run under memcheck. Judged by
the log's bytes and by memcheck's errors in the project's own code."""

import argparse
import os
import random
import re
import shutil
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # keep the source folder clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, check, wait_until  # noqa: E402

TITLE, QUESTION, LOG = "TABELLONE DELLA SORVINA", "Nuovo giro di sorvina", "logSorvina.txt"

# The log's two kinds of record, byte for byte; anything else is a fault.
RULE = rb'"\r\n-{34}"\r\n'
RECORD = re.compile(rb"(?P<header>" + RULE + rb'"\r\nNUOVO GIRO DI SORVINA"\r\n'
                    rb"#\d{4}-\d\d-\d\d(?: \d\d:\d\d:\d\d)?#\r\n" + RULE + rb")"
                    rb'|"(?:[1-9]|[1-8]\d|90)\r\n"\r\n')


def parse(path):
    """(headers, calls) in the log; fails on the first bytes that are no whole record."""
    data = open(path, "rb").read() if os.path.exists(path) else b""
    headers = calls = pos = 0
    while pos < len(data):
        m = RECORD.match(data, pos)
        check(m, f"torn or stray bytes at offset {pos}: {data[pos:pos + 60]!r}")
        headers, calls, pos = headers + bool(m["header"]), calls + (not m["header"]), m.end()
    return headers, calls


def px(twips):  # 15 twips to the pixel, halves rounded up
    return (2 * twips + 15) // 30


# The window's layout in twips: what the drills click and look at.
CLIENT = (px(12975), px(10170))
ESTRAI, NUOVA = (11497, 3562), (11497, 8977)  # the buttons' centres
ESTRATTO = (2460, 1830, 2460 + 6945, 1830 + 6465)  # the big number, under the cells
TEAL, YELLOW, RED = (0, 192, 192), (255, 255, 0), (255, 0, 0)


def cell_corner(n):  # top-left of the cell of n: ten to a row, blocks of 3 rows by 5
    row, column = divmod(n - 1, 10)
    return 210 + 900 * column + 990 * (column >= 5), 1230 + 900 * row + 180 * (row // 3)


def near(colour, target):
    return all(abs(a - b) <= 2 for a, b in zip(colour, target))


class Gone(Exception):
    """The board ended while the drill waited for it."""


class Board:
    """A run of the copy in `folder`; counts the rounds it started and the big numbers seen."""

    def __init__(self, desktop, folder, wrapper=(), patience=10.0):
        self.desktop, self.patience, self.rounds, self.seen = desktop, patience, 0, 0
        self.proc = desktop.run_program(os.path.join(folder, "tabellone"), desktop.home, wrapper)

    def until(self, predicate, what, patience=None):
        deadline = time.monotonic() + (patience or self.patience)
        while self.proc.poll() is None:
            value = predicate()
            if value:
                return value
            check(time.monotonic() < deadline, f"timed out waiting for {what}")
            time.sleep(0.02)
        raise Gone(what)

    def appear(self):
        window = self.until(lambda: [w for w in self.desktop.visible_windows(TITLE)
                                     if (w.width, w.height) == CLIENT], "the board window")[0]
        self.x, self.y = window.x, window.y

    def at(self, tx, ty):  # twips in the window to a point on the screen
        return self.x + px(tx), self.y + px(ty)

    def colour(self, shot, tx, ty):
        x, y = self.at(tx, ty)
        return tuple(shot.row(y + 4, x + 4, x + 5))

    def big_number(self, shot):  # a red band across the bottom of the big number's label
        x0, y0, x1, y1 = *self.at(*ESTRATTO[:2]), *self.at(*ESTRATTO[2:])
        return all(near(shot.row(y, x, x + 1), RED)
                   for y in (y1 - 4, y1 - 40) for x in range(x0 + 2, x1 - 2, 7))

    def free(self, shot):
        return [n for n in range(1, 91) if near(self.colour(shot, *cell_corner(n)), TEAL)]

    def shot_when(self, predicate, what):
        def satisfying():
            shot = self.desktop.shot()
            return shot if predicate(shot) else None
        return self.until(satisfying, what)

    def board_shown(self):
        def cell_shown(shot, n):  # free or called
            return any(near(self.colour(shot, *cell_corner(n)), c) for c in (TEAL, YELLOW))
        return self.shot_when(lambda s: not self.big_number(s) and all(
            cell_shown(s, n) for n in (1, 45, 90)), "the board in view")

    def new_round(self):  # Nuova, then Return on the question: Yes
        self.desktop.click(*self.at(*NUOVA))
        self.until(lambda: self.desktop._out("xdotool", "getactivewindow", "getwindowname")
                   .strip() == QUESTION, "the question, active")
        self.desktop.key("Return")
        self.until(lambda: not self.desktop.visible_windows(QUESTION), "the question answered")
        self.rounds += 1
        return self.board_shown()

    def call(self, rng, shot):  # Estrai or a double-click on a free cell; the big number seen
        free = self.free(shot)
        if rng.random() < 0.5 or not free:
            self.desktop.click(*self.at(*ESTRAI))
        else:
            tx, ty = cell_corner(rng.choice(free))
            self.desktop.double_click(*self.at(tx + 410, ty + 410))
        self.shot_when(self.big_number, "a big number")
        self.seen += 1

    def close_big_number(self):
        self.desktop.double_click(*self.at((ESTRATTO[0] + ESTRATTO[2]) // 2,
                                           (ESTRATTO[1] + ESTRATTO[3]) // 2))
        return self.board_shown()

    def play(self, rng, rounds, calls):
        self.appear()
        for _ in range(rounds):
            shot = self.new_round()
            for _ in range(calls):
                self.call(rng, shot)
                shot = self.close_big_number()
        self.desktop.key("alt+F4")
        check(self.proc.wait(timeout=4 * self.patience) == 0, f"exit status {self.proc.returncode}")


def kill(desktop, folder, seed):
    """Ten SIGKILLs on one log: at random moments, and as a big number is seen.
    Every big number seen is logged, at most one call more, nothing torn."""
    rng, log, total = random.Random(seed), os.path.join(folder, LOG), 0
    for k in range(1, 11):
        wait_until(lambda: not desktop.visible_windows(TITLE), "the killed board gone")
        before, board = parse(log)[1], Board(desktop, folder)
        target = rng.randint(1, 6) if k % 2 == 0 else 0
        delay = rng.uniform(0.2, 3.0) if k % 3 else rng.uniform(4.0, 8.0)
        timer = threading.Timer(delay, board.proc.kill)
        if not target:
            timer.start()
        try:
            board.appear()
            shot = board.new_round()
            while True:
                if rng.random() < 0.1 or not board.free(shot):  # kills around headers too
                    shot = board.new_round()
                board.call(rng, shot)
                if board.seen == target:
                    board.proc.kill()  # the moment its big number is seen
                    break
                shot = board.close_big_number()
        except Gone:
            pass
        finally:
            timer.cancel()
        check(board.proc.wait(timeout=10) == -9, f"kill {k}: the board ended by itself")
        logged = parse(log)[1] - before
        when = f"at big number {target}" if target else f"after {delay:.2f} s"
        check(board.seen <= logged <= board.seen + 1,
              f"kill {k} {when}: {board.seen} big numbers seen, {logged} calls logged")
        print(f"kill {k} {when}: {board.seen} big numbers seen, {logged} calls logged")
        total += board.seen
    check(total >= 15, f"only {total} big numbers seen in all: the drill proves little")


def two_boards(desktop, folder, seed):
    """Two boards in one folder at once, each on a display of its own, three
    rounds each, then closed: the log holds every record of both, whole."""
    other = Desktop()
    try:
        boards = [Board(d, folder) for d in (desktop, other)]
        failures = []

        def play(board, rng):
            try:
                board.play(rng, rounds=3, calls=4)
            except Exception as e:  # raised again by the main thread
                failures.append(e)
        threads = [threading.Thread(target=play, args=(b, random.Random(seed + i)))
                   for i, b in enumerate(boards)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        if failures:
            raise failures[0]
    finally:
        other.close()
    headers, calls = parse(os.path.join(folder, LOG))
    check((headers, calls) == (sum(b.rounds for b in boards), sum(b.seen for b in boards)),
          f"the log holds {headers} headers and {calls} calls; the boards made "
          f"{[(b.rounds, b.seen) for b in boards]}")
    print(f"{headers} headers and {calls} calls from two boards, all whole")


def valgrind(desktop, folder, seed, source):
    """One short session under memcheck; fails on any error first met in the project's code."""
    xml = os.path.join(desktop.home, "memcheck.xml")
    # With no session bus, libdbus forks a child to run dbus-launch: no report of its own.
    board = Board(desktop, folder, ["valgrind", "--leak-check=full", "--show-leak-kinds=definite",
                                    "--errors-for-leak-kinds=definite", "--num-callers=40",
                                    "--child-silent-after-fork=yes", "--xml=yes",
                                    f"--xml-file={xml}"], patience=120)
    board.play(random.Random(seed), rounds=1, calls=3)
    check(parse(os.path.join(folder, LOG)) == (1, 3), "one header and three calls logged")
    ours, others = [], 0
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


DRILLS = {f.__name__: f for f in (kill, two_boards, valgrind)}

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
        shutil.copy2(args.program, os.path.join(folder, "tabellone"))
        extra = (os.path.realpath(args.source),) if args.drill == "valgrind" else ()
        DRILLS[args.drill](desktop, folder, args.seed, *extra)
    finally:
        desktop.close()
