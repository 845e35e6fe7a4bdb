#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""End-to-end on other screens: screens.py --program PATH SCENARIO runs a copy
of the executable on a virtual screen of some size and scale, and judges it by
the screen, the log and (screen_reader) what a screen reader says. With
--wine PREFIX the program is the Windows .exe, run under Wine."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source folder clean

from desktop import Desktop, arguments, changed_box, check, wait_until

from run_e2e import (CALL_RECORD, CLIENT, ESTRAI, ESTRATTO, NUOVA, QUESTION_TITLE, TEAL, TITLE,
                     YELLOW, cell_twips, near, slot_twips)

CLIENT_W, CLIENT_H = CLIENT[2:]  # the board in twips
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
        return geometry(self.desktop, self.desktop.frame(self.window))

    def refresh(self):
        self.window = self.desktop.visible_windows(TITLE)[0]

    def client(self):  # x, y, width, height of the client area on the screen
        return self.window[2:]

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
        return [int(n) for n in CALL_RECORD.findall(self.log())]

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


def check_zoomed(board, called=()):
    """Every corner cell and the gap between the blocks where the zoomed board
    puts them: the board fills the window in proportion."""
    corners = (0, 9, 80, 89)
    want = [YELLOW if i + 1 in called else TEAL for i in corners]

    def zoomed(shot):  # and no cell in the gap between columns 5 and 6
        left, right = cell_twips(4), cell_twips(5)
        gap = board.at((left[0] + left[2] + right[0]) // 2, left[1] + left[3] // 2)
        check(not near(tuple(shot.row(gap[1], gap[0], gap[0] + 1)), TEAL, 3), "a cell in the gap")
        return [board.cell_colour(shot, i) for i in corners] == want
    board.wait(zoomed, "the board zoomed to the window")


def maximized(size):
    def scenario(program, folder):
        desktop = open_desktop(size)
        try:
            board = Board(desktop, program, folder)
            # Maximized while the question is open (its owner disabled): the
            # board follows its frame all the same.
            desktop.click(*board.centre(NUOVA))
            wait_until(lambda: desktop.visible_windows(QUESTION_TITLE), "the question")
            desktop.click(*desktop.frame_buttons(board.window)[1])  # maximize
            wait_until(lambda: board.refresh() or board.window.width == size[0], "maximized")
            check_zoomed(board)
            desktop.key("Return")
            wait_until(lambda: b"NUOVO GIRO DI SORVINA" in board.log(), "a round header")
            wait_until(lambda: not desktop.visible_windows(QUESTION_TITLE), "the question gone")
            desktop.double_click(*board.centre(cell_twips(44)))
            check(board.wait_calls(1, "45 called") == [45], "a double-click on cell 45 calls 45")
            board.close()
        finally:
            desktop.close()
    return scenario


def full_screen(size):
    def scenario(program, folder):
        """F11: the window covers the whole screen, unframed, with the board
        zoomed to it and played there (90 cancelled from the strip and called
        again); Escape: the framed window back where it was, drawn exactly
        as before, and still playing."""
        desktop = open_desktop(size)
        try:
            board = Board(desktop, program, folder)
            board.new_round_by_mouse()
            desktop.double_click(*board.centre(cell_twips(89)))
            board.wait_calls(1, "90 called")
            desktop.double_click(*board.centre(ESTRATTO))
            framed, frame = board.client(), board.frame()
            x, y, w, h = framed
            rect = (x, y, x + w, y + h)

            def settled():  # a backend may paint its parts one by one: every cell drawn, still
                shots = [desktop.shot() for _ in range(2)]
                return (all(board.cell_colour(shots[1], i) in (TEAL, YELLOW) for i in range(90))
                        and changed_box(*shots, *rect) is None and shots[1])
            before = wait_until(settled, "the board drawn, 90 called")
            check(board.cell_colour(before, 89) == YELLOW, "90 called")

            desktop.key("F11")
            wait_until(lambda: board.refresh() or board.client() == board.frame() == (0, 0, *size),
                       "the window over the whole screen, no frame")
            check_zoomed(board, called={90})
            desktop.double_click(*board.centre(slot_twips(0)))
            board.wait(lambda s: board.cell_colour(s, 89) == TEAL, "90 cancelled")
            desktop.double_click(*board.centre(cell_twips(89)))
            check(board.wait_calls(2, "90 called again") == [90, 90], "90 called again")
            desktop.double_click(*board.centre(ESTRATTO))

            desktop.key("Escape")
            wait_until(lambda: board.refresh() or board.client() == framed,
                       f"the window back at {framed}")
            check(board.frame() == frame, f"the frame {board.frame()}, before F11 {frame}")

            board.wait(lambda s: changed_box(before, s, *rect) is None,
                       "the window drawn as before F11")
            desktop.click(*board.centre(ESTRAI))
            board.wait_calls(3, "a draw by Estrai")
            board.close()
        finally:
            desktop.close()
    return scenario


class Orca:
    """Orca with a D-Bus session and a speech-dispatcher of its own, whose voice
    takes a moment to say each utterance and then writes it to a file: one cut
    off by the next is never written, as it is never heard in full."""

    def __init__(self, desktop):
        home, env = desktop.home, desktop.env
        self.path, self.seen, self.env = os.path.join(home, "speech"), 0, env
        # English, whatever the machine's language, and no settings service.
        env.update(LC_ALL="C.UTF-8", LANGUAGE="", GSETTINGS_BACKEND="memory",
                   SPEECHD_ADDRESS=f"unix_socket:{home}/speechd.sock")
        read_end, write_end = os.pipe()
        desktop._spawn(["dbus-daemon", "--session", "--nofork", f"--print-address={write_end}"],
                       pass_fds=[write_end])
        os.close(write_end)
        with os.fdopen(read_end) as f:
            env["DBUS_SESSION_BUS_ADDRESS"] = f.readline().strip()
        os.makedirs(f"{home}/speechd/modules")
        with open(f"{home}/speechd/speechd.conf", "w") as f:
            f.write('AddModule "file" "sd_generic" "file.conf"\nDefaultModule file\n'
                    'AudioOutputMethod "libao"\n')
        with open(f"{home}/speechd/modules/file.conf", "w") as f:
            f.write(f'GenericExecuteSynth "sleep 0.2 && echo \\\'$DATA\\\' >> {self.path}"\n'
                    'GenericLanguage "en" "en" "utf-8"\nAddVoice "en" "MALE1" "x"\n')
        with open(f"{home}/.libao", "w") as f:
            f.write("default_driver=null\n")  # the voice plays no sound
        open(self.path, "w").close()
        desktop._spawn(["speech-dispatcher", "--run-single", "--timeout", "0", "--log-dir", home,
                        "--config-dir", f"{home}/speechd", "--socket-path", f"{home}/speechd.sock"])
        # Orca will not start beside another Orca of the same user, looked for
        # among all processes: its own process namespace shows it no other run's.
        # A container or chroot that makes none runs no other Orca either.
        alone = ["unshare", "--pid", "--fork", "--mount-proc", "--kill-child"]
        if subprocess.run([*alone, "true"], capture_output=True).returncode != 0:
            alone = []
        desktop._spawn([*alone, "orca"])
        self.expect("Screen reader on", timeout=60)

    def knows(self, title):
        """Waits until the accessibility registry lists a window of that title:
        until its program's bridge has registered, what it shows goes unheard."""
        script = ("import sys, pyatspi\n"
                  "apps = [a for a in pyatspi.Registry.getDesktop(0) if a is not None]\n"
                  "sys.exit(not any(w is not None and w.name == sys.argv[1]"
                  " for a in apps for w in a))")
        wait_until(lambda: subprocess.run(["/usr/bin/python3", "-c", script, title], env=self.env,
                                          capture_output=True, timeout=30).returncode == 0,
                   f"the registry to list {title!r}", timeout=60)

    def expect(self, *patterns, timeout=20.0):
        """Waits until each pattern is found, in order, each in one utterance
        heard since the last expect; returns the utterances up to the last."""
        def heard():
            with open(self.path, encoding="utf-8") as f:
                said, at = f.read().splitlines()[self.seen:], 0
            for pattern in patterns:
                at = next((i + 1 for i, u in enumerate(said) if i >= at and re.search(pattern, u)),
                          None)
                check(at is not None, f"it said {said}")
            return said[:at]
        utterances = wait_until(heard, f"Orca to say {patterns}", timeout)
        self.seen += len(utterances)
        return utterances


def screen_reader(program, folder):
    """What Orca says: the question however Nuova is pressed, cells and slots by
    name alone, and the number of each call, by double-click, Enter or Estrai."""
    desktop = Desktop()
    try:
        orca = Orca(desktop)  # first, so that the board finds it running
        board = Board(desktop, program, folder)
        orca.knows(TITLE)
        prompt = re.escape("SICURO DI VOLER COMINCIARE UNA NUOVA SORVINATA?")
        desktop.click(*board.centre(NUOVA))
        orca.expect(prompt)
        desktop.key("Escape")  # No; the focus is back on Nuova
        orca.expect("Nuova")
        desktop.key("space")
        orca.expect(prompt)
        desktop.key("space")  # Sì, through the reader's hold on every key
        wait_until(lambda: b"NUOVO GIRO DI SORVINA" in board.log(), "a round header")

        desktop.double_click(*board.centre(cell_twips(19)))
        orca.expect("Numero chiamato: 20")
        desktop.key("Return", "Tab", "Tab")  # the big number closed; Nuova, then a slot
        orca.expect("Ultimo numero chiamato: 20")
        desktop.key("Tab", "Tab", "Tab", "Tab")  # two slots, Estrai, cell 20
        cells = orca.expect(r"^20\W*$", "chiamato")  # its name alone
        desktop.key("Tab")
        cells += orca.expect(r"^10\W*$")
        check(not [u for u in cells if re.fullmatch(r"\d\W*", u)], f"a stray digit in {cells}")
        desktop.key("Return")
        orca.expect("Numero chiamato: 10")
        desktop.key("Return")

        desktop.click(*board.centre(ESTRAI))
        drawn = board.wait_calls(3, 'a draw by Estrai')[-1]
        orca.expect(f"Numero chiamato: {drawn}")
        # The draw cancelled from the strip, once the reader has caught up
        # with the focus on its slot.
        desktop.key("Return", "Tab", "Tab")
        orca.expect(f"Ultimo numero chiamato: {drawn}")
        desktop.key("Return")
        orca.expect(f"Numero annullato: {drawn}")
        board.close()
    finally:
        desktop.close()


SCENARIOS = {
    "fits_1366x768_scale_1_25": fits((1366, 768), {"QT_SCALE_FACTOR": "1.25"}),
    "fits_1024x768_font_dpi_192": fits((1024, 768), {"QT_FONT_DPI": "192"}),
    "maximized_1920x1080": maximized((1920, 1080)),
    "maximized_3840x2160": maximized((3840, 2160)),
    "fits_1366x768_wine_dpi_120": fits((1366, 768), wine_dpi=120),
    "full_screen_1920x1080": full_screen((1920, 1080)),
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
