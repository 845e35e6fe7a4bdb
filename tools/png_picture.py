# SPDX-License-Identifier: MIT
"""Write a picture again as PNG, pixel for pixel, for embedding.

    python3 tools/png_picture.py SOURCE DEST

The window's pictures are kept as GIF, JPEG and BMP, the formats the layout
gives them; the executables embed each as PNG, which both toolkits decode
without a plug-in (Qt) and alike (GDI+). PNG is lossless: a palette picture
stays a palette picture with the same palette and transparent entry, and a
JPEG is stored as the RGB pixels libjpeg decodes it to, the same library and
settings Qt's JPEG plug-in uses. The PNG is read back and compared with the
source, pixel by pixel, before it is kept. The output depends on nothing but
the source (no time or name in it), so two builds embed the same bytes.
"""

import os
import sys

from PIL import Image


def rgba(image):
    """Every pixel as (R, G, B, A): what a viewer draws from the picture."""
    return list(image.convert("RGBA").getdata())


def main(source, dest):
    with Image.open(source) as original:
        original.load()
        out = original
        params = {}
        if original.mode == "P":
            # Same palette, same indices; the transparent index, if any,
            # becomes the PNG's tRNS chunk.
            if "transparency" in original.info:
                params["transparency"] = original.info["transparency"]
        elif original.mode not in ("RGB", "RGBA", "L", "LA"):
            out = original.convert("RGBA" if "A" in original.mode else "RGB")
        tmp = dest + ".tmp"
        out.save(tmp, format="PNG", optimize=True, **params)
        with Image.open(tmp) as again:
            again.load()
            if again.size != original.size or rgba(again) != rgba(original):
                os.unlink(tmp)
                sys.exit(f"{dest}: the PNG's pixels differ from {source}'s")
        os.replace(tmp, dest)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: png_picture.py SOURCE DEST")
    main(sys.argv[1], sys.argv[2])
