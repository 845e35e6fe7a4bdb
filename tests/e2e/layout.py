# SPDX-License-Identifier: MIT
"""The board window's layout as the program builds it, read from the JSON
that layout_json (window/layout_json.cpp) writes at build time, whose path
CMake gives each test in TABELLONE_LAYOUT: the window's title, its client
area, and each control's rectangle in twips in the client area (left, top,
width, height) and its colours."""

import json
import os

_path = os.environ.get("TABELLONE_LAYOUT", "")
if not os.path.isfile(_path):
    raise SystemExit(f"TABELLONE_LAYOUT={_path!r}: not the layout.json that the build writes "
                     "(the target layout, with tests on)")
with open(_path, encoding="utf-8") as _f:
    _layout = json.load(_f)
_controls = {(c["name"], c["index"]): c for c in _layout["controls"]}

TITLE = _layout["title"]
CLIENT = (0, 0, _layout["width"], _layout["height"])


def rect(name, index=-1):
    return tuple(_controls[name, index]["rect"])


def back(name, index=-1):  # as red, green, blue
    return tuple(_controls[name, index]["back"])
