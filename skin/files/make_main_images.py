#!/usr/bin/env python3
"""Draws the main window's pictures into the skin folder and the program icon:

    make_main_images.py SKIN_FOLDER

writes, for each skin (blue, orange) under SKIN_FOLDER/img/<skin>/: sysbtn.png (eight 20 x 20
title-bar buttons: minimise, minimise hot, maximise, maximise hot, close, close hot, restore,
restore hot), logbtn.png (log upload, normal and hot), loginbk2.png (the login look's
background, 400 x 640), logo.png (the start screen's loading animation, eight 96 x 96 frames)
and mlogo.png (the 20 x 20 logo of the live title bar); and SKIN_FOLDER/icon/TarvoLive.ico (the
program icon, 32 x 32 and 16 x 16). Run by hand when the pictures change; they are kept in the
repository.
"""

import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_files import png  # noqa: E402

SKINS = {
    # icon colour, hot background, accent, background top, background bottom, close hot
    "blue": ((0xAC, 0xB2, 0xBF), (0x3A, 0x41, 0x50), (0x2F, 0x9A, 0xFF),
             (0x25, 0x2A, 0x33), (0x16, 0x19, 0x20), (0xE8, 0x4A, 0x4A)),
    "orange": ((0x5C, 0x65, 0x77), (0xE6, 0xE7, 0xEB), (0xF8, 0x9B, 0x33),
               (0xFF, 0xFF, 0xFF), (0xF0, 0xF0, 0xF0), (0xE8, 0x4A, 0x4A)),
}


def sysbtn_pixel(skin):
    icon, hot, _, _, _, close_hot = SKINS[skin]

    def pixel(x, y):
        cell, cx, cy = x // 20, x % 20 + 0.5, y + 0.5
        kind = ("min", "min", "max", "max", "close", "close", "restore", "restore")[cell]
        is_hot = cell % 2 == 1
        back = (close_hot if kind == "close" else hot) if is_hot else None
        colour = (255, 255, 255) if is_hot and kind == "close" else icon
        on = False
        if kind == "min":
            on = 5 <= cx <= 15 and 9.5 <= cy <= 10.5
        elif kind == "max":
            on = (5 <= cx <= 15 and 5 <= cy <= 15) and not (6 <= cx <= 14 and 6.5 <= cy <= 14)
        elif kind == "close":
            on = abs(cx - cy) <= 0.8 and 5 <= cx <= 15 or abs(cx + cy - 20) <= 0.8 and 5 <= cx <= 15
        else:  # Restore: two overlapping frames.
            front = (5 <= cx <= 13 and 7 <= cy <= 15) and not (6 <= cx <= 12 and 8 <= cy <= 14)
            back_frame = ((7 <= cx <= 15 and 5 <= cy <= 13) and not (8 <= cx <= 14 and 6 <= cy <= 12)
                          and not (5 <= cx <= 13 and 7 <= cy <= 15))
            on = front or back_frame
        if on:
            return colour + (255,)
        return back + (255,) if back else (0, 0, 0, 0)
    return pixel


def logbtn_pixel(skin):
    icon, hot, _, _, _, _ = SKINS[skin]

    def pixel(x, y):
        cell, cx, cy = x // 20, x % 20 + 0.5, y + 0.5
        # A sheet with three lines and an upward arrow at its right.
        sheet = (4 <= cx <= 12 and 3 <= cy <= 17) and not (5 <= cx <= 11 and 4 <= cy <= 16)
        lines = 6 <= cx <= 10 and any(abs(cy - row) <= 0.5 for row in (7, 10, 13))
        arrow = (abs(cx - 15) <= 0.6 and 8 <= cy <= 16) or (abs(abs(cx - 15) - (cy - 7)) <= 0.7 and 7 <= cy <= 10)
        if sheet or lines or arrow:
            return icon + (255,)
        return hot + (255,) if cell == 1 else (0, 0, 0, 0)
    return pixel


def background_pixel(skin):
    _, _, accent, top, bottom, _ = SKINS[skin]

    def pixel(x, y):
        t = y / 639.0
        base = [round(top[i] * (1 - t) + bottom[i] * t) for i in range(3)]
        # A soft accent glow at the top centre.
        d = math.hypot(x - 200, y - 120) / 260.0
        glow = max(0.0, 0.18 * (1 - d))
        return tuple(round(base[i] * (1 - glow) + accent[i] * glow) for i in range(3)) + (255,)
    return pixel


def logo_pixel(skin):
    _, _, accent, _, _, _ = SKINS[skin]

    def pixel(x, y):
        frame, cx, cy = x // 96, x % 96 + 0.5 - 48, y + 0.5 - 48
        r = math.hypot(cx, cy)
        # A "T" in the middle and a ring whose bright arc turns one eighth per frame.
        letter = (abs(cy + 12) <= 4 and abs(cx) <= 18) or (abs(cx) <= 4 and -16 <= cy <= 20)
        if letter:
            return accent + (255,)
        if 36 <= r <= 42:
            angle = (math.atan2(cy, cx) / (2 * math.pi) - frame / 8.0) % 1.0
            alpha = round(60 + 195 * (1 - angle))
            return accent + (alpha,)
        return (0, 0, 0, 0)
    return pixel


def mlogo_pixel(skin):
    _, _, accent, _, _, _ = SKINS[skin]

    def pixel(x, y):
        cx, cy = x + 0.5 - 10, y + 0.5 - 10
        if math.hypot(cx, cy) > 9.5:
            return (0, 0, 0, 0)
        letter = (abs(cy + 3) <= 1.2 and abs(cx) <= 5) or (abs(cx) <= 1.2 and -4 <= cy <= 6)
        return (255, 255, 255, 255) if letter else accent + (255,)
    return pixel


def icon_image(size):
    """One 32-bit BMP image of an .ico: the orange disc with a white "T"."""
    colour = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    accent = SKINS["orange"][2]
    for y in reversed(range(size)):
        mask_row = bytearray(mask_stride)
        for x in range(size):
            cx, cy = (x + 0.5) / size * 20 - 10, (y + 0.5) / size * 20 - 10
            if math.hypot(cx, cy) > 9.5:
                r, g, b, a = 0, 0, 0, 0
                mask_row[x // 8] |= 0x80 >> (x % 8)
            elif (abs(cy + 3) <= 1.4 and abs(cx) <= 5.5) or (abs(cx) <= 1.4 and -4 <= cy <= 6.5):
                r, g, b, a = 255, 255, 255, 255
            else:
                r, g, b = accent
                a = 255
            colour.extend((b, g, r, a))
        mask.extend(mask_row)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                       0, 0, 0, 0)
    return info + bytes(colour) + bytes(mask)


def icon_file():
    images = [icon_image(32), icon_image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def main():
    folder = sys.argv[1]
    for skin in SKINS:
        target = os.path.join(folder, "img", skin)
        os.makedirs(target, exist_ok=True)
        pictures = {
            "sysbtn.png": (160, 20, sysbtn_pixel(skin)),
            "logbtn.png": (40, 20, logbtn_pixel(skin)),
            "loginbk2.png": (400, 640, background_pixel(skin)),
            "logo.png": (768, 96, logo_pixel(skin)),
            "mlogo.png": (20, 20, mlogo_pixel(skin)),
        }
        for name, (w, h, pixel) in pictures.items():
            with open(os.path.join(target, name), "wb") as f:
                f.write(png(w, h, pixel))
    os.makedirs(os.path.join(folder, "icon"), exist_ok=True)
    with open(os.path.join(folder, "icon", "TarvoLive.ico"), "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()
