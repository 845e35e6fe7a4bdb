# SPDX-License-Identifier: MIT
"""A private X desktop (Xvfb, openbox) driven by xdotool and read by import."""

import argparse
import collections
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

SCREEN_W, SCREEN_H = 1024, 768
Window = collections.namedtuple("Window", "id name x y width height")
# A window in `xwininfo -tree`: id, title, size, absolute position.
TREE_LINE = re.compile(r'^\s*(0x[0-9a-f]+) (?:"(.*)"|\(has no name\)):.*?\s(\d+)x(\d+)'
                       r'[+-]-?\d+[+-]-?\d+\s+\+?(-?\d+)\+?(-?\d+)\s*$')


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def wait_until(predicate, what, timeout=20.0):
    """Polls until predicate returns a true value (a failed check: not yet)."""
    deadline, last = time.monotonic() + timeout, ""
    while True:
        try:
            value = predicate()
        except AssertionError as e:  # a screen caught between two states
            value, last = None, f" (last seen: {e})"
        if value:
            return value
        check(time.monotonic() < deadline, f"timed out waiting for: {what}{last}")
        time.sleep(0.05)


class Shot:  # the whole screen as packed RGB bytes
    def __init__(self, raw, width=SCREEN_W, height=SCREEN_H):
        check(len(raw) == width * height * 3, f"screenshot has {len(raw)} bytes")
        self.raw, self.width = raw, width

    def row(self, y, x0, x1):
        return self.raw[(y * self.width + x0) * 3:(y * self.width + x1) * 3]

    def crop(self, x0, y0, x1, y1):
        return tuple(self.row(y, x0, x1) for y in range(y0, y1))

    def pixels(self, x0, y0, x1, y1):
        for y in range(y0, y1):
            row = self.row(y, x0, x1)
            for k in range(0, len(row), 3):
                yield x0 + k // 3, y, (row[k], row[k + 1], row[k + 2])


def changed_box(a, b, x0, y0, x1, y1):
    """Half-open box around the pixels that differ inside a rectangle, or None."""
    box = None
    for y in range(y0, y1):
        ra, rb = a.row(y, x0, x1), b.row(y, x0, x1)
        if ra != rb:
            xs = [x0 + k // 3 for k in range(0, len(ra), 3) if ra[k:k + 3] != rb[k:k + 3]]
            lo, hi = min(xs), max(xs) + 1
            box = [min(box[0], lo), box[1], max(box[2], hi), y + 1] if box else [lo, y, hi, y + 1]
    return tuple(box) if box else None


def arguments(scenarios, reference=False, in_place=False):
    """The command line of a suite: the program, how to run it, the scenario."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True, help="the built tabellone executable")
    parser.add_argument("--wine", metavar="PREFIX",
                        help="the program is a Windows .exe: run it under Wine, in a copy of "
                             "this ready Wine prefix")
    if reference:
        parser.add_argument("--reference", help="same_look: the program of the other backend")
    if in_place:
        parser.add_argument("--in-place", action="store_true",
                            help="play the program where it lies (a release as a user unpacked "
                                 "it), not a copy; with --wine, in that very prefix")
        parser.add_argument("--wrapper", help="a command the program is started through")
    parser.add_argument("scenario", choices=scenarios)
    return parser.parse_args()


def double_click_args(x, y):  # for xdotool, 40 ms between the clicks
    return ["mousemove", x, y, "click", "--repeat", 2, "--delay", 40, 1]


class Desktop:
    def __init__(self, size=(SCREEN_W, SCREEN_H), env=None):
        """A screen of `size` pixels; `env`: more environment for the programs."""
        self.size, self.extra_env = size, env or {}
        self.home = tempfile.mkdtemp(prefix="tabellone-e2e-")
        self.procs, self.wine, self.wrapper = [], None, ()
        try:
            self._start()
        except BaseException:
            self.close()
            raise

    def _start(self):
        runtime = os.path.join(self.home, "runtime")
        os.mkdir(runtime, 0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith("QT_") and k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        self.env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_RUNTIME_DIR=runtime, QT_QPA_PLATFORM="xcb", **self.extra_env)
        # Xvfb picks a free display itself, so parallel runs never collide.
        read_end, write_end = os.pipe()
        self._spawn(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                     "%dx%dx24" % self.size, "-nolisten", "tcp", "-noreset"],
                    pass_fds=[write_end])
        os.close(write_end)
        with os.fdopen(read_end, "rb") as f:
            number = f.readline().strip().decode()
        check(number, "Xvfb exited before reporting its display")
        self.env["DISPLAY"] = ":" + number
        self._spawn(["openbox"])
        wait_until(lambda: "window id #" in self._out("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                   "openbox to manage the screen")
        self.xdotool("mousemove", 1, 1)  # away from anything with a tooltip

    def _spawn(self, args, out=subprocess.DEVNULL, **kw):
        proc = subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT, env=self.env,
                                start_new_session=True, **kw)
        self.procs.insert(0, proc)  # ended first, before the display
        return proc

    def _out(self, *args):
        return subprocess.run(args, capture_output=True, text=True, env=self.env).stdout

    def use_wine(self, prefix, copy=True):
        """Runs programs as Windows executables under Wine, each desktop in a
        fresh copy of the ready-made prefix (a first start takes long), or
        in the prefix itself."""
        self.wine = os.path.join(self.home, "wineprefix") if copy else prefix
        if copy:
            shutil.copytree(prefix, self.wine, symlinks=True)
        # Wine names files in the locale's character set: UTF-8 for any script.
        self.env.update(WINEPREFIX=self.wine, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        LC_ALL="C.UTF-8")

    def program_name(self):  # what the executable is called in its folder
        return "tabellone.exe" if self.wine else "tabellone"

    def run_program(self, program, cwd, wrapper=()):  # its output goes to the test's
        wrapper = (*self.wrapper, *wrapper)
        if self.wine:
            wrapper = ("wine", *wrapper)
        return self._spawn([*wrapper, program], out=None, cwd=cwd)

    def close(self):
        if self.wine:  # Wine's server outlives the program; end it first
            subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        for proc in self.procs:
            if proc.poll() is None:
                os.killpg(proc.pid, signal.SIGTERM)
                try:
                    proc.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], check=True, env=self.env,
                       stdout=subprocess.DEVNULL)

    def click(self, x, y):
        self.xdotool("mousemove", x, y, "click", 1, "mousemove", 1, 1)

    def double_click(self, x, y):
        self.xdotool(*double_click_args(x, y), "mousemove", 1, 1)

    def key(self, *keys):
        self.xdotool("key", "--delay", 30, *keys)

    def await_repeats(self, windows, count=2, meanwhile=None, timeout=20.0):
        """Waits until the X server has repeated a key held down `count` times
        to the program, whichever of its `windows` has the focus: their key
        presses, seen by an xev on each that watches beside the program.
        Calls `meanwhile` (a check) all the while."""
        watches = [subprocess.Popen(["xev", "-id", w.id, "-event", "keyboard"], env=self.env,
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                   for w in windows]
        try:
            seen, deadline = b"", time.monotonic() + timeout
            while seen.count(b"KeyPress event") < count:
                left = deadline - time.monotonic()
                check(left > 0, f"timed out waiting for {count} repeats of a key held down")
                if meanwhile:
                    meanwhile()
                for pipe in select.select([w.stdout for w in watches], [], [],
                                          min(left, 0.05) if meanwhile else left)[0]:
                    more = os.read(pipe.fileno(), 65536)
                    check(more, "xev ended")
                    seen += more
        finally:
            for watch in watches:
                watch.kill()
                watch.wait()

    def _tree(self, *where):
        lines = self._out("xwininfo", "-tree", *where).splitlines()
        return [Window(m[1], m[2], *(int(g) for g in m.group(5, 6, 3, 4)))
                for m in map(TREE_LINE.match, lines) if m]

    def visible_windows(self, title):  # viewable, titled exactly `title`
        ids = self._out("xdotool", "search", "--onlyvisible", "--name", f"^{re.escape(title)}$")
        return [w for w in self._tree("-root")
                if str(int(w.id, 16)) in ids.split() and w.name == title]

    def frame(self, window):  # the id of the window openbox frames it in
        frame = re.search(r"Parent window id: (0x[0-9a-f]+)",
                          self._out("xwininfo", "-children", "-id", window.id))
        check(frame, "no frame around the window")
        return frame[1]

    def frame_buttons(self, window):
        """The centres of the small squares on openbox's frame, right to left:
        close, maximize, iconify."""
        squares = sorted(((w.x, w.y, w.width) for w in self._tree("-id", self.frame(window))
                          if w.width == w.height and 8 <= w.width <= 24), reverse=True)
        return [(x + size // 2, y + size // 2) for x, y, size in squares]

    def shot(self):
        return Shot(subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"],
                                   capture_output=True, check=True, env=self.env).stdout,
                    *self.size)
