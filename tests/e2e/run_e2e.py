#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""End-to-end: run_e2e.py --program PATH SCENARIO runs a copy of the executable
on its own X desktop and judges it only by the screen and the log's bytes."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # keep the source folder clean

import layout
from desktop import Desktop, arguments, changed_box, check, wait_until

QUESTION_TITLE = "Nuovo giro di sorvina"
LOG_NAME = "logSorvina.txt"
IN_PLACE = False  # --in-place: the program is played where it lies, not copied

# The round log, byte for byte: a header is a rule, the title, the date, a rule.
RULE_ITEM = re.escape(b'"\r\n' + b"-" * 34 + b'"\r\n')
HEADER = re.compile(RULE_ITEM + re.escape(b'"\r\nNUOVO GIRO DI SORVINA"\r\n') +
                    rb"#(\d{4})-(\d\d)-(\d\d)(?: (\d\d):(\d\d):(\d\d))?#\r\n" + RULE_ITEM)
CALL_RECORD = re.compile(rb'"(\d+)\r\n"\r\n')


def call_record(number):
    return b'"%d\r\n"\r\n' % number


def check_header(header, before, after):
    """Checks one round header, written between the times `before` and `after`."""
    m = HEADER.fullmatch(header)
    check(m, f"not one round header: {header!r}")
    hms = tuple(int(g or 0) for g in m.group(4, 5, 6))
    stamp = time.mktime(tuple(int(g) for g in m.group(1, 2, 3)) + hms + (0, 0, -1))
    check(int(before) <= stamp <= after,
          f"header time {m.groups()} not between {time.ctime(before)} and {time.ctime(after)}")


# The layout as the program builds it, in twips (left, top, width, height)
# in the client area, 15 to a pixel; pixel edges are the twips edges
# rounded to the nearest pixel, halves up. The look of a called cell is the
# board's own, not the layout's.
TITLE, CLIENT = layout.TITLE, layout.CLIENT
ESTRAI, FRAME1, NUOVA = layout.rect("estrai"), layout.rect("Frame1"), layout.rect("nuova")
ESTRATTO, STARS_TOP_RIGHT = layout.rect("estratto"), layout.rect("Picture2", 6)
CELLS, EMPTY = 90, [True] * 3
TEAL, NAVY, RED = layout.back("num", 0), layout.back("last", 0), layout.back("estratto")
YELLOW, BLUE, DISABLED_TEXT = (255, 255, 0), (0, 0, 255), (109, 109, 109)


def px(twips):
    return (2 * twips + 15) // 30


CLIENT_PIXELS = (px(CLIENT[2]), px(CLIENT[3]))


def cell_twips(index):  # cell num(index), which shows index + 1
    return layout.rect("num", index)


def slot_twips(k):
    return layout.rect("last", k)


def inset(rect, d):
    return rect[0] + d, rect[1] + d, rect[2] - d, rect[3] - d


def near(colour, target, tolerance):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, target))


def union(a, b):
    return min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])


def centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


def same_glyph(a, b):  # two ink blobs differing in at most 2% of their pixels
    return len(a ^ b) <= 0.02 * max(len(a), len(b))


def board_windows(desktop):
    return [w for w in desktop.visible_windows(TITLE) if (w.width, w.height) == CLIENT_PIXELS]


def check_exit(proc, expected, timeout=20):
    try:
        status = proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError("the program did not end") from None
    check(status == expected, f"exit status {status}, expected {expected}")


class Gone(Exception):
    """The program ended while a test waited for it."""


class Board:
    """A run of the program copied into `folder`; `logged`: what its log must
    hold. With appear=False it is started, not yet waited for (appear())."""
    patience = 20.0  # seconds for each thing waited for

    def __init__(self, desktop, program, folder, logged=b"", appear=True):
        self.desktop, self.logged = desktop, logged
        self.log_path = os.path.join(folder, LOG_NAME)
        exe = program if IN_PLACE else shutil.copy2(program,
                                                    os.path.join(folder, desktop.program_name()))
        self.elsewhere = tempfile.mkdtemp(prefix="cwd-", dir=desktop.home)
        self.proc = desktop.run_program(exe, cwd=self.elsewhere)
        if appear:
            self.appear()

    def appear(self):
        self.window = self.until(lambda: board_windows(self.desktop), "the board window")[0]
        self.wait(lambda s: self.cell_states(s) == ["disabled"] * CELLS,
                  "the board drawn with every cell disabled")

    def until(self, predicate, what):  # wait_until, given up (Gone) if the program ends
        def alive_and():
            if self.proc.poll() is not None:
                raise Gone(f"the program ended ({self.proc.returncode}) before {what}")
            return predicate()
        return wait_until(alive_and, what, self.patience)

    def rect(self, twips):  # on the screen
        x, y = self.window.x, self.window.y
        return (px(twips[0]) + x, px(twips[1]) + y, px(twips[0] + twips[2]) + x,
                px(twips[1] + twips[3]) + y)

    def click(self, twips):
        self.desktop.click(*centre(self.rect(twips)))

    def double_click(self, twips):
        self.desktop.double_click(*centre(self.rect(twips)))

    def wait(self, predicate, what):
        def satisfying():
            shot = self.desktop.shot()
            return shot if predicate(shot) else None
        return self.until(satisfying, what)

    def cell_state(self, shot, index):
        """'disabled', 'free' or 'called', or None when the cell does not show."""
        x0, y0, x1, y1 = inset(self.rect(cell_twips(index)), 4)
        corners = [shot.row(y, x, x + 1) for x in (x0, x1 - 1) for y in (y0, y1 - 1)]
        text = [p for _, _, p in shot.pixels(x0 + 4, y0 + 4, x1 - 4, y1 - 4)]
        darkest = min(text, key=sum)
        if all(near(c, TEAL, 2) for c in corners):
            if sum(darkest) < 60:
                return "free"
            return "disabled" if near(darkest, DISABLED_TEXT, 6) else None
        if all(near(c, YELLOW, 2) for c in corners) and any(near(p, BLUE, 40) for p in text):
            return "called"
        return None

    def cell_states(self, shot):
        return [self.cell_state(shot, i) for i in range(CELLS)]

    def called(self, shot):
        return {i + 1 for i, s in enumerate(self.cell_states(shot)) if s == "called"}

    def face(self, shot, twips):  # the inside, without the frame that shows the focus
        return shot.crop(*inset(self.rect(twips), 3))

    def faces(self, shot):
        return [self.face(shot, cell_twips(i)) for i in range(CELLS)]

    def strip(self, shot):
        return [self.face(shot, slot_twips(k)) for k in range(3)]

    def slots_empty(self, shot):
        """For each slot: True if all navy, False if it shows yellow digits."""
        empty = []
        for k in range(3):
            colours = {p for _, _, p in shot.pixels(*inset(self.rect(slot_twips(k)), 3))}
            check(colours == {NAVY} or any(near(c, YELLOW, 40) for c in colours),
                  f"strip slot {k} shows neither navy nor yellow digits")
            empty.append(colours == {NAVY})
        return empty

    def estrai_enabled(self, shot):  # its caption black, or grey when disabled
        darkest = sum(min((p for _, _, p in shot.pixels(*inset(self.rect(ESTRAI), 3))), key=sum))
        check(darkest < 180 or darkest > 360, "Estrai's caption is neither black nor grey")
        return darkest < 180

    def big_number_shown(self, shot):
        """True when the red big number covers the board (no cell shows)."""
        x0, y0, x1, y1 = self.rect(ESTRATTO)
        red = all(near(shot.row(y, x, x + 1), RED, 2)
                  for y in (y1 - 4, y1 - 40) for x in range(x0 + 2, x1 - 2, 7))
        any_cell = any(self.cell_state(shot, i) is not None for i in (0, 9, 44, 80, 89))
        check(red != any_cell, "the screen shows neither the board nor the big number")
        return red

    def big_number_glyphs(self, shot):
        """The big number's digits, left to right: blobs of navy ink as offsets
        from their own top-left corners, so equal digits give equal blobs."""
        ink = {(x, y) for x, y, (r, g, _) in shot.pixels(*self.rect(ESTRATTO))
               if r < 128 and g < 64}  # navy over red: the more ink, the less red
        blobs = []
        while ink:
            blob, todo = set(), [ink.pop()]
            while todo:
                x, y = todo.pop()
                blob.add((x, y))
                for n in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                    if n in ink:
                        ink.remove(n)
                        todo.append(n)
            if len(blob) >= 50:  # not a stray antialiasing dot
                bx, by = min(x for x, _ in blob), min(y for _, y in blob)
                blobs.append((bx, frozenset((x - bx, y - by) for x, y in blob)))
        return [g for _, g in sorted(blobs, key=lambda b: b[0])]

    def expect(self, shot, what, **want):
        """Checks aspects of a screenshot, and with same_log=True the log unchanged."""
        aspects = dict(estrai=self.estrai_enabled, strip=self.slots_empty, called=self.called,
                       big=self.big_number_shown, cells=self.cell_states,
                       same_log=lambda _: self.log() == self.logged)
        for key, value in want.items():
            got = aspects[key](shot)
            check(got == value, f"{what}: {key} is {got}, expected {value}")

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read()

    def expect_log(self, added, what):  # exactly `added` appended
        self.logged += added
        self.until(lambda: os.path.getsize(self.log_path) >= len(self.logged), what)
        check(self.log() == self.logged, f"{what}: the log ends {self.log()[-120:]!r}")

    def grown_log(self, what):
        """Waits for the log to grow past `logged`; returns what was added."""
        size = len(self.logged)
        self.until(lambda: os.path.getsize(self.log_path) > size, what)
        data = self.log()
        check(data.startswith(self.logged), f"{what}: the log changed before its end")
        self.logged = data
        return data[size:]

    def call(self, number):  # by double-click on a free cell
        self.double_click(cell_twips(number - 1))
        self.expect_log(call_record(number), f"the call of {number}")
        return self.wait(self.big_number_shown, f"the big number for {number}")

    def drawn(self, what):
        """After a draw: one call record logged and the big number shown."""
        m = CALL_RECORD.fullmatch(self.grown_log(what))
        check(m, f"{what}: not one call record: {self.logged[-40:]!r}")
        return int(m[1]), self.wait(self.big_number_shown, f"the big number: {what}")

    def close_big_number(self):
        self.double_click(ESTRATTO)
        # Drawn whole: a backend may repaint the cells one by one.
        return self.wait(lambda s: not self.big_number_shown(s) and None not in self.cell_states(s),
                         "the board back")

    def open_question(self, click=True):
        if click:
            self.click(NUOVA)
        dialog = self.until(lambda: self.desktop.visible_windows(QUESTION_TITLE), "the question")[0]

        def drawn():  # a slow board (memcheck) may be caught halfway
            buttons = dialog_buttons(self.desktop.shot(), dialog)
            check(len(buttons) == 2, f"the question has {len(buttons)} buttons")
            return buttons
        return dialog, self.until(drawn, "the question's buttons drawn")

    def question_gone(self):  # returns the board once no dialog hides a cell
        self.until(lambda: not self.desktop.visible_windows(QUESTION_TITLE), "the question gone")
        return self.wait(lambda s: None not in self.cell_states(s), "the board in full view")

    def new_round(self, ask=True, answer=None):
        """Yes on the question (Return, or `answer`): one header logged, with the answer's time."""
        if ask:
            self.open_question()
        before = time.time()
        (answer or (lambda: self.desktop.key("Return")))()
        check_header(self.grown_log("a round header"), before, time.time())  # written in one go
        self.question_gone()
        self.wait(lambda s: self.cell_states(s) == ["free"] * CELLS, "every cell free")

    def close(self, frame_button=False):
        if frame_button:
            self.desktop.click(*self.desktop.frame_buttons(self.window)[0])
        else:
            self.desktop.key("alt+F4")
        check_exit(self.proc, 0, self.patience)
        check(self.log() == self.logged, "closing writes nothing")


def dialog_buttons(shot, window):
    """A dialog's buttons, left to right: long dark runs (no text makes them)."""
    edges = {}
    for y in range(window.y, window.y + window.height):
        row = shot.row(y, window.x, window.x + window.width)
        run = 0
        for k in range(0, len(row) + 3, 3):
            if k < len(row) and row[k] < 200 and row[k + 1] < 200:
                run += 1
                continue
            if run >= 40:
                edges.setdefault((window.x + k // 3 - run, window.x + k // 3), []).append(y)
            run = 0
    return [(x0, min(ys), x1, max(ys) + 1) for (x0, x1), ys in sorted(edges.items())
            if len(ys) >= 2 and max(ys) - min(ys) >= 15]


def check_error_box(desktop, proc, no_board=False):
    """The error box (titled as the board): OK alone, the red icon, four paragraphs;
    the program waits for it, and Return on it ends the program with status 1."""
    box = wait_until(lambda: [w for w in desktop.visible_windows(TITLE)
                              if (w.width, w.height) != CLIENT_PIXELS], "the error box")[0]
    buttons = wait_until(lambda: dialog_buttons(desktop.shot(), box), "the error box drawn")
    check(len(buttons) == 1, f"the error box has {len(buttons)} buttons, expected OK alone")
    shot = desktop.shot()
    check(any(p[0] > 180 and p[1] < 80 and p[2] < 80 for _, _, p in
              shot.pixels(box.x, box.y, box.x + box.width, box.y + box.height)),
          "the error box shows the red error icon")
    blocks, gap = 0, 99  # blocks of text rows right of the icon, a line's gap apart
    for y in range(box.y, buttons[0][1] - 4):
        row = shot.row(y, box.x + box.width // 5, box.x + box.width - 4)
        if any(row[k] < 100 for k in range(0, len(row), 3)):
            blocks, gap = blocks + (gap >= 8), 0
        else:
            gap += 1
    check(blocks == 4, f"{blocks} paragraphs, not 4: what failed, the path, the reason, the end")
    check(not (no_board and board_windows(desktop)), "a board window with the error box")
    check(proc.poll() is None, "the program waits for the box to be dismissed")
    desktop.key("Return")
    check_exit(proc, 1)


def start_and_new_round(desktop, program, folder):
    """Disabled at start; No (Escape, mouse) changes nothing; Return says Yes."""
    board = Board(desktop, program, folder)
    check(os.listdir(board.elsewhere) == [], "the program wrote into its working folder")
    check(board.log() == b"", "the log is created empty beside the executable")
    shot = desktop.shot()
    board.expect(shot, "at start", estrai=False, strip=EMPTY, big=False)
    check(sum(1 for _, _, p in shot.pixels(*board.rect(STARS_TOP_RIGHT))
              if p[0] > 200 and p[1] > 200 and p[2] < 60) > 500, "the stars picture shows")
    check(any(p[0] > 200 and p[1] < 120 and p[2] < 120 for _, _, p in
              shot.pixels(*board.rect(NUOVA))), "the dove picture (its rainbow) shows on Nuova")

    # A double-click on a cell and a click on Estrai do nothing yet; the
    # question opening after them shows they were handled.
    board.double_click(cell_twips(4))
    board.click(ESTRAI)
    dialog, buttons = board.open_question()
    check(board.log() == b"", "nothing logged before a round")
    check(abs(dialog.x + dialog.width // 2 - centre(board.rect(CLIENT))[0]) <= 2,
          "the question is centred on the board")
    check(buttons[0][1] == buttons[1][1] and buttons[0][2] < buttons[1][0], "Sì, No side by side")
    for answer_no in (lambda: desktop.key("Escape"), lambda: desktop.click(*centre(buttons[1]))):
        answer_no()
        board.expect(board.question_gone(), "after No", cells=["disabled"] * CELLS, estrai=False,
                     same_log=True)
        _, buttons = board.open_question()

    board.new_round(ask=False)
    board.expect(desktop.shot(), "in a round", estrai=True, strip=EMPTY)
    board.close()
    check(sorted(os.listdir(folder)) == [LOG_NAME, desktop.program_name()],
          "only the log was created")


def calls_and_strip(desktop, program, folder):
    """Calls, the big number, the strip, a called cell, a cancel from each slot."""
    board = Board(desktop, program, folder)
    board.new_round()
    fresh = desktop.shot()

    # 7: the big number reads "07", the strip holds one number.
    shot = board.call(7)
    big07 = board.big_number_glyphs(shot)
    check(len(big07) == 2 and not same_glyph(*big07), "the big number for 7 shows 0 and 7")
    board.expect(shot, "7 called", strip=[False, True, True], estrai=True)
    strip7 = board.strip(shot)[0]
    board.expect(board.close_big_number(), "7 called, the board back", called={7}, estrai=True)

    # 70: "07" backwards; the strip shifts down.
    shot = board.call(70)
    big70 = board.big_number_glyphs(shot)
    check(len(big70) == 2 and same_glyph(big70[0], big07[1]) and same_glyph(big70[1], big07[0]),
          "the big number for 70 has the digits of 07 swapped")
    strip70 = board.strip(shot)[0]
    check(board.strip(shot)[1] == strip7 != strip70 and board.slots_empty(shot)[2],
          "7 moved to the second slot, the third still empty")
    board.close_big_number()

    shot = board.call(42)
    check(board.strip(shot)[1:] == [strip70, strip7], "the strip shifted")
    strip42 = board.strip(shot)[0]
    check(len(board.big_number_glyphs(shot)) == 2, "the big number for 42 shows two digits")
    shot = board.close_big_number()
    called42 = board.face(shot, cell_twips(41))
    board.expect(shot, "42 called", called={7, 42, 70})

    # Estrai draws a free number, then stays disabled while the big number shows.
    board.click(ESTRAI)
    drawn, shot = board.drawn("the draw by Estrai")
    check(1 <= drawn <= 90 and drawn not in (7, 42, 70), f"drawn {drawn} was free")
    check(len(board.big_number_glyphs(shot)) == 2, "the drawn number shows two digits")
    board.expect(shot, "a draw", estrai=False)
    check(board.strip(shot)[1:] == [strip42, strip70], "the strip shifted")
    check(len({strip7, strip70, strip42, board.strip(shot)[0]}) == 4, "four numbers look different")
    board.expect(board.close_big_number(), "the board back after a draw", same_log=True,
                 estrai=True, called={7, 42, 70, drawn})

    # Cancel from the middle slot, the last, the first: each cell looks
    # exactly as in a fresh round, and nothing is logged.
    for k, number in ((1, 42), (2, 70), (0, drawn)):
        board.double_click(slot_twips(k))
        shot = board.wait(lambda s: board.slots_empty(s)[k] and
                          board.cell_state(s, number - 1) == "free",
                          f"slot {k} emptied, {number} free")
        check(board.face(shot, cell_twips(number - 1)) == board.face(fresh, cell_twips(number - 1)),
              f"{number} looks free again after its cancel")
    board.expect(shot, "cancels", called={7}, strip=EMPTY, same_log=True)

    # 42 called again looks as before.
    shot = board.call(42)
    check(board.strip(shot)[0] == strip42, "the strip shows 42 as before")
    board.expect(shot, "42 called again", strip=[False, True, True])
    shot = board.close_big_number()
    check(board.face(shot, cell_twips(41)) == called42, "42 looks called as before")
    board.expect(shot, "42 called again", called={7, 42})
    board.close()


def keyboard(desktop, program, folder):
    """A round with the keyboard alone: Tab walks the tab order, Return and Space
    (let go) click the focused button, Return on a cell calls it, on a slot
    cancels it, and on the window closes the big number."""
    board = Board(desktop, program, folder)
    order = [("Nuova", NUOVA), *((f"slot {k}", slot_twips(k)) for k in range(3)),
             ("Estrai", ESTRAI), *((f"cell {i + 1}", cell_twips(i)) for i in (19, 9, 20))]

    def tab_to(steps):
        # Each Tab: the focus mark leaves the previous control and shows on
        # the next; nothing else on the screen changes.
        for step in steps:
            name, target = order[step][0], board.rect(order[step][1])
            was, left = (order[step - 1][0], board.rect(order[step - 1][1])) if step else ("", None)
            before = desktop.shot()
            desktop.key("Tab")
            moved = [target, left] if step else [target]  # a backend may draw each on its own
            after = board.wait(lambda s: all(s.crop(*r) != before.crop(*r) for r in moved),
                               f"the focus shown on {name}, its mark gone from {was or 'nothing'}")
            box = changed_box(before, after, *board.rect(CLIENT))
            both = union(target, left) if step else target
            check(box and union(box, both) == both, f"Tab to {name} changed {box}, outside {both}")

    def big_number_closed_by_return():
        desktop.key("Return")
        board.wait(lambda s: not board.big_number_shown(s) and None not in board.cell_states(s),
                   "the big number closed by Return")

    tab_to([0])
    # Return held on Nuova asks the question and cannot answer it; Escape
    # says No and gives the focus back to Nuova. Space held presses Nuova,
    # asks the question once let go, and cannot answer it either; a fresh
    # Return says Yes. Each key is let go once the X server has repeated it.
    desktop.xdotool("keydown", "Return")
    dialog, _ = board.open_question(click=False)
    desktop.await_repeats([board.window, dialog])
    desktop.xdotool("keyup", "Return")
    desktop.key("Escape")
    board.question_gone()  # every key before Escape handled, the board drawn since
    check(board.log() == b"", "Return held on Nuova answered the question")
    nuova, up = board.rect(NUOVA), desktop.shot()
    desktop.xdotool("keydown", "space")
    board.wait(lambda s: s.crop(*nuova) != up.crop(*nuova), "Nuova drawn pressed")
    desktop.await_repeats([board.window])
    desktop.xdotool("keyup", "space")
    board.open_question(click=False)  # drawn once Space let go was handled
    check(board.log() == b"", "space held on Nuova answered the question")
    board.new_round(ask=False)
    tab_to(range(1, 5))

    # Space on Estrai, try after try: held down it only presses the button,
    # however long it is held; let go, it draws once.
    estrai = board.rect(ESTRAI)
    for attempt in range(3):
        if attempt:
            tab_to(range(5))
        up = desktop.shot()
        desktop.xdotool("keydown", "space")
        board.wait(lambda s: s.crop(*estrai) != up.crop(*estrai), "Estrai drawn pressed")
        desktop.await_repeats([board.window], 20, lambda: check(
            board.log() == board.logged, f"try {attempt}: a draw while Space was held"))
        desktop.xdotool("keyup", "space")
        first, _ = board.drawn(f"try {attempt}: the draw on Space released")
        big_number_closed_by_return()

    tab_to(range(5))
    desktop.key("Return")  # on Estrai: a draw
    newest, _ = board.drawn("the draw on Return")
    big_number_closed_by_return()
    desktop.key("Return")  # on the window, with the board shown: nothing
    tab_to(range(len(order)))  # past Estrai, the cells in their own order
    if 21 not in (first, newest):
        desktop.key("Return")  # on cell 21: its call
        board.expect_log(call_record(21), "the call of 21 by Return")
        big_number_closed_by_return()
        newest = 21
    desktop.key("Tab", "Tab", "Return")  # the newest call, in the first slot
    board.wait(lambda s: board.cell_state(s, newest - 1) == "free",
               f"{newest} cancelled by Return")
    board.close()


def rounds_in_a_row(desktop, program, folder):
    """A new round wipes the calls; the question is modal: a double-click on the
    board while it is open reaches nothing, and a click on Sì answers it."""
    board = Board(desktop, program, folder)
    board.new_round()
    fresh = board.faces(desktop.shot())
    for number in (63, 7):
        board.call(number)
        board.close_big_number()
    _, buttons = board.open_question()
    board.double_click(cell_twips(0))
    board.new_round(ask=False, answer=lambda: desktop.click(*centre(buttons[0])))  # Sì
    shot = desktop.shot()
    check(board.faces(shot) == fresh, "every cell looks as at the first round")
    board.expect(shot, "a new round", strip=EMPTY, estrai=True, big=False)
    board.close()


def existing_log(desktop, program, folder):
    """A log's bytes kept run after run; closing by the frame's button or alt+F4: 0."""
    folder = os.path.join(folder, "Tombola di Natale è già qui")  # as people name them
    os.mkdir(folder)
    logged = b'"vecchio registro"\r\n"12\r\n"\r\nsenza a capo alla fine'
    with open(os.path.join(folder, LOG_NAME), "wb") as f:
        f.write(logged)
    for number, frame_button in ((12, True), (90, False)):
        board = Board(desktop, program, folder, logged)
        check(board.log() == logged, "starting keeps the existing bytes")
        board.new_round()
        board.call(number)
        board.close(frame_button)
        logged = board.logged


def log_cannot_open(desktop, program, folder):
    """A folder where the log goes: the error box, no board, status 1, nothing created."""
    os.mkdir(os.path.join(folder, LOG_NAME))
    exe = shutil.copy2(program, os.path.join(folder, desktop.program_name()))
    proc = desktop.run_program(exe, cwd=desktop.home)
    check_error_box(desktop, proc, no_board=True)
    check(sorted(os.listdir(folder)) == [LOG_NAME, desktop.program_name()], "nothing created")
    check(os.listdir(os.path.join(folder, LOG_NAME)) == [], "nothing created in the folder")


def worked_example(desktop, program, folder):
    """In a folder named "città" (or where it lies): a round, 5 and 42 called,
    closed. The board checks each record as it lands beside the program, and
    that closing adds nothing; nothing else is written there."""
    if not IN_PLACE:
        folder = os.path.join(folder, "città")
        os.mkdir(folder)
    board = Board(desktop, program, folder)
    board.new_round()
    for number in (5, 42):
        board.call(number)
        board.close_big_number()
    board.close()
    check(IN_PLACE or sorted(os.listdir(folder)) == [LOG_NAME, desktop.program_name()],
          f"written beside the program: {os.listdir(folder)}")


def options(desktop, program, folder):
    """--version and --help answer on standard output with status 0; anything
    else, a Qt option among them, is refused on standard error with status 2,
    before any window or log is made."""
    exe = shutil.copy2(program, os.path.join(folder, desktop.program_name()))
    for args, status, out, err in (
            (["--version"], 0, r"Tabellone \d+(\.\d+)*\n", ""),
            (["--help"], 0, r"Uso: tabellone \[--help \| --version\]\n(.*\n)+", ""),
            (["-qwindowtitle", "Foo"], 2, "", r"tabellone: opzione non riconosciuta: «-qwindowtitle»\n")):
        run = subprocess.run([*(["wine"] if desktop.wine else []), exe, *args], cwd=folder,
                             env=desktop.env, capture_output=True, timeout=60)
        said = [text.decode().replace("\r\n", "\n") for text in (run.stdout, run.stderr)]
        check(run.returncode == status, f"{args}: status {run.returncode}, expected {status}")
        check(re.fullmatch(out, said[0]), f"{args}: standard output {said[0]!r}")
        check(re.match(err, said[1]) and (err or not said[1].strip()),
              f"{args}: standard error {said[1]!r}")
    check(os.listdir(folder) == [desktop.program_name()], "a log or another file was made")
    check(not desktop.visible_windows(TITLE) and not desktop.visible_windows("Foo"),
          "a window was shown")


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
        sys.exit(77)  # ctest counts the test as skipped
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


# Where the two backends must show the same colours: the strip's slots, the
# strip's frame, the window's corner, and the cells' corners or, when it
# covers them, the big number's red below its digits.
def colour_points(board, big):
    points = []
    for index in () if big else (0, 9, 44, 80, 89):
        x0, y0, x1, y1 = inset(board.rect(cell_twips(index)), 4)
        points += [(x, y) for x in (x0, x1 - 1) for y in (y0, y1 - 1)]
    for k in range(3):
        x0, y0, x1, y1 = inset(board.rect(slot_twips(k)), 4)
        points += [(x0, y0), (x1 - 1, y1 - 1)]
    x0, y0, _, _ = board.rect(FRAME1)
    points += [(x0 + 6, y0 + 6), (board.window.x + 4, board.window.y + 4)]
    x0, _, x1, y1 = board.rect(ESTRATTO)
    return points + [(x, y) for y in (y1 - 4, y1 - 40) for x in range(x0 + 2, x1 - 2, 35) if big]


def ink_width(shot, rect, ink):  # from the first column with ink to the last
    xs = [x for x, _, p in shot.pixels(*rect) if ink(p)]
    return max(xs) - min(xs) + 1 if xs else 0


def same_look(desktop, program, folder, reference=None):
    """What the reference program (the other backend) shows: the colours at the
    sampled points, at start and with the big number; and two-digit numbers
    called show whole in their cells and in the strip: each number's ink is
    as wide (the same font)."""
    check(reference, "same_look needs --reference")
    numbers, seen, wine = (20, 59, 60, 66, 90), [], desktop.wine
    for which, under_wine in ((program, wine), (reference, None)):
        desktop.wine = under_wine
        board = Board(desktop, which, tempfile.mkdtemp(dir=folder))
        shots = [desktop.shot()]
        board.new_round()
        for number in numbers:
            shots.append(board.call(number))
            board.close_big_number()
        # Blue digits on yellow cells, yellow digits on the navy strip (drawn
        # after the cells by a backend that paints its parts one by one).
        shot = board.wait(lambda s: board.slots_empty(s) == [False] * 3, "the strip drawn")
        widths = ([ink_width(shot, inset(board.rect(cell_twips(n - 1)), 4), lambda p: p[2] > 100)
                   for n in numbers] +
                  [ink_width(shot, inset(board.rect(slot_twips(k)), 4), lambda p: p[0] > 100)
                   for k in range(3)])
        # Nuova's rounded corners show the frame under it, each backend
        # blending the curve its own way.
        x0, y0, x1, y1 = board.rect(NUOVA)
        corners = [shots[0].row(y, x, x + 1) for x, y in ((x0, y0), (x1 - 1, y1 - 1))]
        seen.append(([[shot.row(y, x, x + 1) for x, y in colour_points(board, big)]
                      for big, shot in enumerate(shots[:2])], widths, corners))
        board.close()
    desktop.wine = wine
    (colours, ours, corners), (reference_colours, theirs, reference_corners) = seen
    check(all(near(p, q, 40) for p, q in zip(corners, reference_corners)),
          f"Nuova's corners: {[tuple(p) for p in corners]}, "
          f"on the reference {[tuple(p) for p in reference_corners]}")
    for state, a, b in zip(("at start", "with the big number"), colours, reference_colours):
        differ = [k for k, (p, q) in enumerate(zip(a, b)) if not near(p, q, 2)]
        check(not differ, f"{state}: the colours differ at points {differ}: "
              f"{[(tuple(a[k]), tuple(b[k])) for k in differ[:5]]}")
    print(f"ink widths of {numbers} and the strip: {ours}, on the reference {theirs}")
    check(all(abs(a - b) <= 2 for a, b in zip(ours, theirs)), "numbers cut short")


SCENARIOS = {f.__name__: f for f in (start_and_new_round, calls_and_strip, keyboard, full_disk,
                                     screen_reader_events,
                                     rounds_in_a_row, existing_log, log_cannot_open,
                                     worked_example, same_look, options)}



if __name__ == "__main__":
    args = arguments(SCENARIOS, reference=True, in_place=True)
    IN_PLACE, program = args.in_place, os.path.abspath(args.program)
    os.environ["TZ"] = "Pacific/Kiritimati"  # UTC+14, for the board and check_header alike
    time.tzset()
    desktop = Desktop()
    try:
        if args.wine:
            desktop.use_wine(args.wine, copy=not IN_PLACE)
        if args.wrapper:
            desktop.wrapper = (os.path.abspath(args.wrapper),)
        extra = ({"reference": os.path.abspath(args.reference)}
                 if args.reference and args.scenario == "same_look" else {})
        if args.scenario == "screen_reader_events":  # built beside the program
            extra["listener"] = os.path.join(os.path.dirname(program), "tests", "winevents.exe")
        folder = (os.path.dirname(program) if IN_PLACE
                  else tempfile.mkdtemp(prefix="board-", dir=desktop.home))
        SCENARIOS[args.scenario](desktop, program, folder, **extra)
    except BaseException:
        with open(f"e2e-{args.scenario}-failure.ppm", "wb") as f:  # the screen then
            f.write(b"P6 1024 768 255\n" + desktop.shot().raw)
        raise
    finally:
        desktop.close()
