#!/usr/bin/python3
"""End-to-end on other screens: screens.py --program PATH SCENARIO runs a copy
of the executable on a virtual screen of some size and scale, and judges it by
the screen, the log and (screen_reader) what AT-SPI clients are told. With
--wine PREFIX the program is the Windows .exe, run under Wine."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source folder clean

from desktop import Desktop, arguments, check, wait_until

from run_e2e import (ESTRAI, ESTRATTO, NUMERI, NUOVA, QUESTION_TITLE, TEAL, TITLE, YELLOW,
                     cell_twips, near)

CLIENT_W, CLIENT_H = 12975, 10170  # the board in twips
WINE = None  # the ready Wine prefix, when the program is a Windows .exe


def open_desktop(size, env=None, wine_dpi=None):
    """A desktop for the program; under Wine, `wine_dpi` is Wine's own DPI
    (its LogPixels), which a Windows program reads as the monitor's."""
    desktop = Desktop(size, env)
    try:
        if WINE:
            desktop.use_wine(WINE)
            if wine_dpi:
                subprocess.run(["wine", "reg", "add", r"HKCU\Control Panel\Desktop", "/v",
                                "LogPixels", "/t", "REG_DWORD", "/d", str(wine_dpi), "/f"],
                               env=desktop.env, check=True, capture_output=True)
    except BaseException:
        desktop.close()
        raise
    return desktop


def geometry(desktop, window_id):  # absolute x, y, width, height of an X window
    out = desktop._out("xwininfo", "-id", window_id)
    return tuple(int(re.search(rf"{key}:\s+(-?\d+)", out)[1]) for key in
                 ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))


class Board:
    """A run of the program, seen on the screen: the board drawn in proportion
    to the client area, as large as fits and centred."""

    def __init__(self, desktop, program, folder):
        self.desktop = desktop
        self.log_path = os.path.join(folder, "logSorvina.txt")
        exe = shutil.copy2(program, os.path.join(folder, desktop.program_name()))
        self.proc = desktop.run_program(exe, cwd=desktop.home)
        self.window = wait_until(lambda: self.desktop.visible_windows(TITLE), "the board")[0]
        self.wait(lambda s: all(self.cell_colour(s, i) == TEAL for i in (0, 89)), "the board drawn")

    def frame(self):  # the window with its frame, on the screen
        parent = re.search(r"Parent window id: (0x[0-9a-f]+)",
                           self.desktop._out("xwininfo", "-children", "-id", self.window.id))
        return geometry(self.desktop, parent[1])

    def refresh(self):
        self.window = self.desktop.visible_windows(TITLE)[0]

    def at(self, tx, ty):  # a twips point of the client area on the screen
        w = self.window
        zoom = min(w.width / CLIENT_W, w.height / CLIENT_H)
        return (round(w.x + (w.width - CLIENT_W * zoom) / 2 + tx * zoom),
                round(w.y + (w.height - CLIENT_H * zoom) / 2 + ty * zoom))

    def centre(self, rect):
        return self.at(rect[0] + rect[2] / 2, rect[1] + rect[3] / 2)

    def cell_colour(self, shot, index):  # near a cell's top-left corner, inside its border
        left, top, _, _ = cell_twips(index)
        x, y = self.at(left + 110, top + 110)
        c = tuple(shot.row(y, x, x + 1))
        return next((t for t in (TEAL, YELLOW) if near(c, t, 3)), c)

    def wait(self, predicate, what):
        return wait_until(lambda: (lambda s: s if predicate(s) else None)(self.desktop.shot()), what)

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read()

    def calls(self):
        return [int(n) for n in re.findall(rb'"(\d+)\r\n"\r\n', self.log())]

    def wait_calls(self, count, what):
        return wait_until(lambda: len(self.calls()) == count and self.calls(), what)

    def new_round_by_mouse(self):
        self.desktop.click(*self.centre(NUOVA))
        wait_until(lambda: self.desktop.visible_windows(QUESTION_TITLE), "the question")
        self.desktop.key("Return")
        wait_until(lambda: b"NUOVO GIRO DI SORVINA" in self.log(), "a round header")
        wait_until(lambda: not self.desktop.visible_windows(QUESTION_TITLE), "the question gone")

    def close(self):
        self.desktop.key("alt+F4")
        check(self.proc.wait(timeout=20) == 0, "the program ended with status 0")


def play_by_mouse(board):
    """A round by the mouse at the zoomed places: Nuova, cell 90 (the bottom
    row), the big number closed, Estrai (the right column)."""
    board.new_round_by_mouse()
    board.desktop.double_click(*board.centre(cell_twips(89)))
    check(board.wait_calls(1, "90 called") == [90], "a double-click on cell 90 calls 90")
    board.desktop.double_click(*board.centre(ESTRATTO))
    board.wait(lambda s: board.cell_colour(s, 89) == YELLOW, "the board back, 90 called")
    board.desktop.click(*board.centre(ESTRAI))
    board.wait_calls(2, "a draw by Estrai")


def fits(size, env=None, wine_dpi=None):
    def scenario(program, folder):
        desktop = open_desktop(size, env, wine_dpi)
        try:
            board = Board(desktop, program, folder)
            x, y, w, h = board.frame()
            check(x >= 0 and y >= 0 and x + w <= size[0] and y + h <= size[1],
                  f"the window with its frame {w}x{h}+{x}+{y} is on the {size} screen")
            if wine_dpi:  # scaled for the DPI, not left at 96 (15 twips to a pixel)
                check(board.window.width > round(CLIENT_W / 15), f"{board.window} drawn at "
                      f"{wine_dpi} DPI, reduced to fit")
            play_by_mouse(board)
            board.close()
        finally:
            desktop.close()
    return scenario


def maximized(size):
    def scenario(program, folder):
        desktop = open_desktop(size)
        try:
            board = Board(desktop, program, folder)
            frame = re.search(r"Parent window id: (0x[0-9a-f]+)",
                              desktop._out("xwininfo", "-children", "-id", board.window.id))[1]
            # openbox's buttons, right to left: close, maximize, iconify.
            bx, by, bw = sorted((w.x, w.y, w.width) for w in desktop._tree("-id", frame)
                                if w.width == w.height and 8 <= w.width <= 24)[-2]
            desktop.click(bx + bw // 2, by + bw // 2)
            wait_until(lambda: board.refresh() or board.window.width == size[0], "maximized")
            # Every corner cell and the gap between the blocks where the zoomed
            # board puts them: the board fills the window in proportion.
            board.wait(lambda s: [board.cell_colour(s, i) for i in (0, 9, 80, 89)] == [TEAL] * 4,
                       "the board zoomed to the window")
            shot = desktop.shot()
            gap = board.at(5150, NUMERI[1] + 1000)  # between columns 5 and 6
            check(not near(tuple(shot.row(gap[1], gap[0], gap[0] + 1)), TEAL, 3),
                  "no cell in the gap")
            board.new_round_by_mouse()
            desktop.double_click(*board.centre(cell_twips(44)))
            check(board.wait_calls(1, "45 called") == [45], "a double-click on cell 45 calls 45")
            board.close()
        finally:
            desktop.close()
    return scenario


def screen_reader(program, folder):
    """Under a private D-Bus session with the AT-SPI registry: 90 cells named
    1 to 90; a call makes its cell "chiamato" and names the big number."""
    import pyatspi
    from gi.repository import GLib

    desktop = Desktop(env={"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
    try:
        os.environ["DISPLAY"] = desktop.env["DISPLAY"]
        events = []

        def heard(e):
            try:
                events.append((e.type, e.source.name, e.source.getRoleName(), e.source.description))
            except GLib.Error:  # an object already gone (the question box)
                pass

        pyatspi.Registry.registerEventListener(heard, "object:property-change")
        board = Board(desktop, program, folder)

        def pump():  # the events so far
            while GLib.MainContext.default().iteration(False):
                pass
            return events

        desk = pyatspi.Registry.getDesktop(0)
        app = wait_until(lambda: [desk.getChildAtIndex(i) for i in range(desk.childCount)
                                  if desk.getChildAtIndex(i).name == "tabellone"], "the app")[0]
        texts = pyatspi.utils.findAllDescendants(app, lambda a: a.getRoleName() == "text")
        cells = sorted(int(a.name) for a in texts if a.name.isdigit())
        check(cells == list(range(1, 91)), f"cells named {cells}")
        check(sum(a.name.endswith("numero chiamato: nessuno") for a in texts) == 3, "three slots")

        board.new_round_by_mouse()
        pump()
        del events[:]
        desktop.double_click(*board.centre(cell_twips(41)))
        board.wait_calls(1, "42 called")
        wait_until(lambda: ("object:property-change:accessible-description", "42", "text",
                            "chiamato") in pump(), "cell 42 described as called")
        wait_until(lambda: any(e[:3] == ("object:property-change:accessible-name", "42", "label")
                               for e in pump()), "the big number announced")
        board.close()
    finally:
        desktop.close()


SCENARIOS = {
    "fits_1366x768_scale_1_25": fits((1366, 768), {"QT_SCALE_FACTOR": "1.25"}),
    "fits_1024x768_font_dpi_192": fits((1024, 768), {"QT_FONT_DPI": "192"}),
    "maximized_1920x1080": maximized((1920, 1080)),
    "maximized_3840x2160": maximized((3840, 2160)),
    "fits_1366x768_wine_dpi_120": fits((1366, 768), wine_dpi=120),
    "screen_reader": screen_reader,
}


if __name__ == "__main__":
    args = arguments(SCENARIOS)
    WINE = args.wine
    home = tempfile.mkdtemp(prefix="tabellone-screens-")
    try:
        SCENARIOS[args.scenario](os.path.abspath(args.program), home)
    finally:
        shutil.rmtree(home, ignore_errors=True)
