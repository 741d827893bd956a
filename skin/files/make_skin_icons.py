#!/usr/bin/env python3
"""Draws the share toolbar's and the annotation palette's icons into the skin folder:

    make_skin_icons.py SKIN_FOLDER

writes img/blue/share_icons.png and img/orange/share_icons.png: seven 20 x 20 icons side by side
(arrow, pen, eraser, settings, grip, stop, rectangle), the top row in the skin's icon colour,
the bottom row in white for selected buttons. Run by hand when the icons change; the pictures
are kept in the repository.
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_files import png  # noqa: E402

SIZE = 20


def inside(icon, x, y):
    """True where icon number `icon` is drawn at (x, y) of its 20 x 20 cell."""
    cx, cy = x + 0.5, y + 0.5
    if icon == 0:  # Arrow pointer: a triangle with a tail.
        tri = cx >= 5 and cy >= 3 and cy <= 15 and (cx - 5) <= (cy - 3) * 0.75
        tail = abs((cx - 8) - (cy - 12) * 0.5) <= 1.2 and 12 <= cy <= 18
        return tri or tail
    if icon == 1:  # Pen: a diagonal bar with a tip at the bottom left.
        d = (cx - 3) - (17 - cy)
        along = (cx - 3) + (17 - cy)
        return abs(d) <= 2.2 and 0 <= along <= 26
    if icon == 2:  # Eraser: a tilted block and a base line.
        u = (cx - 10) * math.cos(0.6) + (cy - 9) * math.sin(0.6)
        v = -(cx - 10) * math.sin(0.6) + (cy - 9) * math.cos(0.6)
        block = abs(u) <= 7 and abs(v) <= 3.5
        return block or (16.5 <= cy <= 17.5 and 3 <= cx <= 17)
    if icon == 3:  # Settings: a ring with eight teeth.
        r = math.hypot(cx - 10, cy - 10)
        angle = math.atan2(cy - 10, cx - 10)
        tooth = (math.cos(angle * 8) > 0.3) and r <= 8.5
        return (3.0 <= r <= 6.5) or (tooth and r >= 6)
    if icon == 4:  # Grip: three bars.
        return 4 <= cx <= 16 and any(abs(cy - c) <= 1 for c in (6, 10, 14))
    if icon == 5:  # Stop: a square.
        return 5 <= cx <= 15 and 5 <= cy <= 15
    if icon == 6:  # Rectangle outline.
        box = 3 <= cx <= 17 and 5 <= cy <= 15
        hole = 4.6 <= cx <= 15.4 and 6.6 <= cy <= 13.4
        return box and not hole
    return False


ICONS = 7


def sprite(colour):
    def pixel(x, y):
        icon, lx = divmod(x, SIZE)
        row, ly = divmod(y, SIZE)
        if not inside(icon, lx, ly):
            return (0, 0, 0, 0)
        return (colour if row == 0 else (255, 255, 255)) + (255,)
    return png(SIZE * ICONS, SIZE * 2, pixel)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for skin, colour in (("blue", (220, 224, 232)), ("orange", (90, 94, 102))):
        path = os.path.join(sys.argv[1], "img", skin, "share_icons.png")
        with open(path, "wb") as out:
            out.write(sprite(colour))


if __name__ == "__main__":
    main()
