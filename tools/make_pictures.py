#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draw the pictures shipped with Tabellone's main window.

Writes four files into window/pictures/, each also drawn at two and three
times its pixel size as PNG (stelle@2x.png, stelle@3x.png, ...) for screens
where the board is zoomed:

  stelle.gif    220x170  yellow, black-outlined stars on a transparent
                         background (palette GIF, one transparent index)
  colomba.gif    55x52   white dove flying in front of a rainbow, for the
                         "Nuova" button
  striscia.jpg  407x125  blue band with a row of coloured number balls,
                         belonging to the "Estrai" button
  finestra.bmp  120x102  24-bit window background: a small star on blue

Everything is drawn here from simple shapes; the output is the same on every
run.  Run from the repository root with:

    /usr/bin/python3 tools/make_pictures.py
"""

import math
from pathlib import Path

from PIL import Image, ImageDraw, ImageFilter, ImageFont

ROOT = Path(__file__).resolve().parent.parent
OUT = ROOT / "window" / "pictures"

BLUE = (0, 84, 227)        # the window's background blue
YELLOW = (255, 230, 0)
BLACK = (0, 0, 0)


# The densities each picture is drawn at: the original pixel size, then two
# and three times as many pixels each way.
DENSITIES = (1, 2, 3)


def at_density(name, k):
    """The file of a picture drawn at density k, named as the program looks
    it up: "stelle.gif" at 2 is "stelle@2x.png"."""
    return name if k == 1 else f"{name.rsplit('.', 1)[0]}@{k}x.png"


def star(cx, cy, outer, turn=0.0, inner_ratio=0.42):
    """Corner points of a five-pointed star, first point up (turn in degrees)."""
    pts = []
    for i in range(10):
        r = outer if i % 2 == 0 else outer * inner_ratio
        a = math.radians(-90 + turn + i * 36)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


# The stars of stelle.gif (centre x, centre y, outer radius, turn): the
# picture boxes show only the top-left 181x167 pixels, so most stars sit there.
STARS = [(42, 44, 34, 0), (122, 30, 20, 12), (162, 92, 30, -8),
         (86, 112, 26, 6), (28, 136, 16, -14), (104, 64, 11, 20),
         (200, 26, 13, -4), (150, 150, 12, 10), (199, 148, 15, 16)]


def scaled(pts, s):
    return [(x * s, y * s) for x, y in pts]


def make_stelle(k=1):
    if k > 1:
        return make_stelle_smooth(k)
    # Palette picture drawn without smoothing, so every pixel is either star
    # or fully transparent.  Index 0 is the transparent background; its
    # colour is the window blue, for viewers that ignore transparency.
    size = (220, 170)
    mask = Image.new("L", size, 0)
    d = ImageDraw.Draw(mask)
    for cx, cy, r, turn in STARS:
        d.polygon(star(cx, cy, r, turn), fill=255)
    # An even 2-pixel black rim: the star shapes grown by two pixels.
    rim = mask.filter(ImageFilter.MaxFilter(5))
    img = Image.new("P", size, 0)
    img.putpalette(list(BLUE) + list(BLACK) + list(YELLOW))
    img.paste(1, mask=rim)
    img.paste(2, mask=mask)
    img.save(OUT / "stelle.gif", transparency=0, optimize=False)


def make_stelle_smooth(k):
    # The same stars with smooth edges: drawn 4 times larger still and
    # reduced, into an RGBA picture whose alpha falls off at the rim.
    s = 4 * k
    size = (220 * k, 170 * k)
    big = (size[0] * 4, size[1] * 4)
    mask = Image.new("L", big, 0)
    rim = Image.new("L", big, 0)
    d, r = ImageDraw.Draw(mask), ImageDraw.Draw(rim)
    grow = 2 * s                           # the rim: 2 pixels at 1x
    for cx, cy, radius, turn in STARS:
        pts = scaled(star(cx, cy, radius, turn), s)
        d.polygon(pts, fill=255)
        r.polygon(pts, fill=255)
        r.line(pts + pts[:1], fill=255, width=2 * grow, joint="curve")
        for x, y in pts:
            r.ellipse([x - grow, y - grow, x + grow, y + grow], fill=255)
    img = Image.new("RGBA", size, (0, 0, 0, 0))
    img.paste(BLACK + (255,), mask=rim.resize(size, Image.Resampling.BOX))
    img.paste(YELLOW + (255,), mask=mask.resize(size, Image.Resampling.BOX))
    img.save(OUT / at_density("stelle.gif", k), optimize=True)


def make_colomba(k=1):
    s = 4 * k                               # drawn 4x larger, then reduced
    w, h = 55, 52
    img = Image.new("RGB", (w * s, h * s), (176, 222, 255))
    d = ImageDraw.Draw(img)

    # Rainbow: concentric discs from the outside in, centre below the picture.
    cx, cy = 27.5, 56
    bands = [(230, 30, 30), (255, 140, 0), (255, 225, 0),
             (40, 170, 60), (30, 90, 230), (140, 50, 190)]
    r = 50
    for colour in bands + [(176, 222, 255)]:
        d.ellipse(scaled([(cx - r, cy - r), (cx + r, cy + r)], s), fill=colour)
        r -= 4

    # Dove silhouette, facing right with both wings raised.
    far_wing = [(21, 30), (8, 11), (10, 8), (14, 11), (16, 9), (20, 13),
                (23, 13), (28, 27)]
    near_wing = [(24, 30), (21, 5), (24, 2), (30, 5), (29, 7), (34, 11),
                 (33, 13), (37, 18), (36, 20), (39, 26), (37, 29)]
    tail = [(18, 30), (4, 26), (3, 31), (5, 36), (18, 36)]
    mask = Image.new("L", img.size, 0)
    m = ImageDraw.Draw(mask)
    for shape in (far_wing, near_wing, tail):
        m.polygon(scaled(shape, s), fill=255)
    m.ellipse(scaled([(13, 26), (40, 38)], s), fill=255)       # body
    m.ellipse(scaled([(35, 20), (46, 31)], s), fill=255)       # head

    # Grey rim all round the silhouette, then the white bird on top of it.
    rim = mask.filter(ImageFilter.MaxFilter(2 * s + 1))
    img.paste((70, 70, 80), mask=rim)
    img.paste((255, 255, 255), mask=mask)

    grey = (120, 120, 135)
    d.line(scaled([(22, 29), (31, 27)], s), fill=grey, width=s)    # wing roots
    d.line(scaled([(25, 30), (36, 28)], s), fill=grey, width=s)
    d.line(scaled([(24, 30), (21, 6)], s), fill=grey, width=s)     # near wing
    d.line(scaled([(26, 8), (32, 25)], s), fill=(200, 200, 210), width=s)
    d.polygon(scaled([(45, 24), (51, 26.5), (45, 28)], s), fill=(255, 150, 0),
              outline=(70, 70, 80))                                # beak
    d.ellipse(scaled([(40.5, 23), (43, 25.5)], s), fill=BLACK)     # eye

    small = img.resize((w * k, h * k), Image.Resampling.LANCZOS)
    if k > 1:
        small.save(OUT / at_density("colomba.gif", k), optimize=True)
        return
    small.quantize(64, dither=Image.Dither.NONE).save(OUT / "colomba.gif")


def make_striscia(k=1):
    s = 2 * k
    w, h = 407, 125
    img = Image.new("RGB", (w * s, h * s))
    d = ImageDraw.Draw(img)

    # Band shaded like a rounded strip: dark at the edges, light in the middle.
    for y in range(h * s):
        t = 1 - abs(y / (h * s - 1) - 0.5) * 2
        d.line([(0, y), (w * s, y)],
               fill=(int(0 + 60 * t), int(40 + 110 * t), int(150 + 100 * t)))
    for y in (6, h - 10):                                   # gold edging
        d.rectangle(scaled([(0, y), (w, y + 3)], s), fill=(240, 190, 40))

    font = ImageFont.load_default()
    for name in ("DejaVuSans-Bold.ttf", "LiberationSans-Bold.ttf"):
        try:
            font = ImageFont.truetype(name, 17 * s)
            break
        except OSError:
            pass

    balls = [(7, (220, 40, 40)), (18, (255, 150, 0)), (33, (40, 160, 70)),
             (45, (230, 200, 0)), (59, (140, 60, 200)), (72, (0, 150, 200)),
             (90, (220, 60, 140))]
    for i, (number, colour) in enumerate(balls):
        x, y, r = 35 + i * 56, 62 + (5 if i % 2 else -5), 25
        light = tuple(min(255, c + 90) for c in colour)
        d.ellipse(scaled([(x - r + 3, y - r + 4), (x + r + 3, y + r + 4)], s),
                  fill=(0, 30, 100))                                # shadow
        d.ellipse(scaled([(x - r, y - r), (x + r, y + r)], s), fill=colour,
                  outline=BLACK, width=s)
        d.ellipse(scaled([(x - 17, y - 21), (x - 3, y - 12)], s), fill=light)
        d.ellipse(scaled([(x - 14, y - 14), (x + 14, y + 14)], s),
                  fill=(255, 255, 255))
        left, top, right, bottom = d.textbbox((0, 0), str(number), font=font)
        d.text((x * s - (left + right) / 2, y * s - (top + bottom) / 2),
               str(number), font=font, fill=BLACK)

    small = img.resize((w * k, h * k), Image.Resampling.LANCZOS)
    if k > 1:
        small.save(OUT / at_density("striscia.jpg", k), optimize=True)
        return
    small.save(OUT / "striscia.jpg", quality=85, optimize=True,
               progressive=False)


def make_finestra(k=1):
    s = 4 * k
    w, h = 120, 102
    img = Image.new("RGB", (w * s, h * s), BLUE)
    d = ImageDraw.Draw(img)
    d.rectangle([s, s, w * s - s - 1, h * s - s - 1],
                outline=(60, 130, 240), width=2 * s)                # frame
    d.polygon(scaled(star(60, 53, 30), s), fill=YELLOW, outline=BLACK,
              width=2 * s)
    small = img.resize((w * k, h * k), Image.Resampling.LANCZOS)
    small.save(OUT / (at_density("finestra.bmp", k) if k > 1 else "finestra.bmp"))


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for k in DENSITIES:
        make_stelle(k)
        make_colomba(k)
        make_striscia(k)
        make_finestra(k)
    for k in DENSITIES:
        for name in ("stelle.gif", "colomba.gif", "striscia.jpg", "finestra.bmp"):
            path = OUT / at_density(name, k)
            print(f"{path.relative_to(ROOT)}  {path.stat().st_size} bytes")


if __name__ == "__main__":
    main()
