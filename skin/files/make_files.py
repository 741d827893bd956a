#!/usr/bin/env python3
"""Draws the pictures and cursors that lie beside the program (not in the skin archive).

    make_files.py OUTPUT_FOLDER

writes every file of FILES below OUTPUT_FOLDER and copies the COPIED ones there. Pictures are PNG (8-bit RGBA), cursors are
32-bit .cur files with a hotspot.
"""

import os
import struct
import sys
import zlib


def png(width, height, pixel):
    """PNG bytes; pixel(x, y) gives (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # No filter.
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def cur(size, hotspot, pixel):
    """A .cur of one size x size 32-bit image; pixel(x, y) gives (r, g, b, a)."""
    colour = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):  # Bottom-up rows.
        mask_row = bytearray(mask_stride)
        for x in range(size):
            r, g, b, a = pixel(x, y)
            colour.extend((b, g, r, a))
            if a == 0:
                mask_row[x // 8] |= 0x80 >> (x % 8)
        mask.extend(mask_row)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(colour) + len(mask),
                       0, 0, 0, 0)
    image = info + bytes(colour) + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, hotspot[0], hotspot[1],
                        len(image), 6 + 16)
    return directory + entry + image


def camera_picture(background, icon):
    """A 320 x 180 picture: `background` with a camera outline of `icon` in the middle."""
    def pixel(x, y):
        body = 120 <= x < 190 and 65 <= y < 115
        lens = 190 <= x < 215 and abs(y - 90) <= (x - 190) + 6
        return icon + (255,) if body or lens else background + (255,)
    return png(320, 180, pixel)


def busy_picture():
    """A 320 x 180 picture: a camera with a bar across it, meaning the device is busy."""
    background = (48, 30, 30)
    icon = (200, 60, 60)

    def pixel(x, y):
        bar = abs((x - 160) - (y - 90)) <= 4 and 100 <= x < 220
        body = 120 <= x < 190 and 65 <= y < 115
        lens = 190 <= x < 215 and abs(y - 90) <= (x - 190) + 6
        return icon + (255,) if bar or body or lens else background + (255,)
    return png(320, 180, pixel)


def pick_cursor():
    """A 32 x 32 eyedropper pointing down-left; the hotspot is its tip."""
    def pixel(x, y):
        # Distance from the diagonal from the tip (2, 29) up to (26, 5).
        along = (x - 2) - (29 - y)
        across = (x - 2) + (y - 29)
        if abs(along) <= 3 and -2 <= (x - 2) <= 24 and -2 <= (29 - y) <= 24:
            return (0, 0, 0, 255) if abs(along) == 3 or across in (-1, 0) else (255, 255, 255, 255)
        if (x - 24) ** 2 + (y - 7) ** 2 <= 20:
            return (0, 0, 0, 255)
        return (0, 0, 0, 0)
    return cur(32, (2, 29), pixel)


def pen_cursor():
    """A 32 x 32 pencil pointing down-left; the hotspot is its tip."""
    def pixel(x, y):
        along = (x - 1) - (30 - y)
        if abs(along) <= 3 and 0 <= x <= 24 and 6 <= y <= 30:
            if abs(along) == 3:
                return (0, 0, 0, 255)
            return (60, 60, 60, 255) if (x - 1) + (30 - y) < 8 else (255, 200, 60, 255)
        return (0, 0, 0, 0)
    return cur(32, (1, 30), pixel)


def cross_cursor():
    """A 32 x 32 thin cross; the hotspot is its centre."""
    def pixel(x, y):
        if (x == 15 or y == 15) and abs(x - 15) <= 12 and abs(y - 15) <= 12:
            return (0, 0, 0, 255)
        if (abs(x - 15) == 1 or abs(y - 15) == 1) and (x in (14, 15, 16) or y in (14, 15, 16)):
            return (255, 255, 255, 255)
        return (0, 0, 0, 0)
    return cur(32, (15, 15), pixel)


def rect_cursor():
    """A 32 x 32 cross with a small rectangle beside it; the hotspot is the cross's centre."""
    def pixel(x, y):
        if (x == 8 or y == 8) and abs(x - 8) <= 7 and abs(y - 8) <= 7:
            return (0, 0, 0, 255)
        if 14 <= x <= 28 and 14 <= y <= 26 and (x in (14, 28) or y in (14, 26)):
            return (0, 0, 0, 255)
        return (0, 0, 0, 0)
    return cur(32, (8, 8), pixel)


def eraser_cursor():
    """A 32 x 32 eraser block; the hotspot is its lower-left corner."""
    def pixel(x, y):
        inside = 2 <= x <= 22 and 14 <= y <= 29
        if not inside:
            return (0, 0, 0, 0)
        if x in (2, 22) or y in (14, 29) or x == 9:
            return (0, 0, 0, 255)
        return (240, 120, 140, 255) if x > 9 else (255, 255, 255, 255)
    return cur(32, (2, 29), pixel)


def region_bar():
    """The area frame's button bar: 90 x 28, dark with a lighter top line."""
    return png(90, 28, lambda x, y: (73, 78, 87, 255) if y > 0 else (110, 116, 128, 255))


def aspect_button(selected):
    """A 40 x 18 aspect button: filled when selected, outlined when not."""
    def pixel(x, y):
        edge = x in (0, 39) or y in (0, 17)
        if selected:
            return (234, 73, 75, 255)
        return (150, 155, 165, 255) if edge else (73, 78, 87, 255)
    return png(40, 18, pixel)


def background_sample(kind):
    """The built-in background pictures of the beauty settings window, 640 x 360."""
    def lerp(a, b, t):
        return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))

    def beach(x, y):
        if y < 200:  # sky, lighter toward the horizon, with a sun
            if (x - 480) ** 2 + (y - 80) ** 2 < 38 ** 2:
                return (255, 236, 170, 255)
            return lerp((70, 140, 215), (175, 215, 240), y / 200) + (255,)
        if y < 250:  # sea
            return lerp((40, 120, 170), (70, 160, 190), (y - 200) / 50) + (255,)
        return lerp((225, 200, 150), (200, 170, 120), (y - 250) / 110) + (255,)

    def room(x, y):
        if 380 <= x < 560 and 60 <= y < 240:  # a window with its cross
            if abs(x - 470) < 4 or abs(y - 150) < 4 or x < 388 or x >= 552 or y < 68 or y >= 232:
                return (245, 245, 240, 255)
            return lerp((150, 200, 240), (200, 230, 250), (y - 60) / 180) + (255,)
        if y >= 290:  # wooden floor in boards
            shade = 150 + 12 * ((x // 80 + (y // 24)) % 2)
            return (shade, int(shade * 0.7), int(shade * 0.45), 255)
        return (214, 200, 180, 255)

    def study(x, y):
        if 40 <= x < 600 and 40 <= y < 320:  # shelves of books
            row = (y - 40) % 70
            if row >= 60:
                return (110, 75, 45, 255)
            book = ((x - 40) // 22 + (y - 40) // 70 * 3) % 5
            colours = [(160, 50, 45), (50, 90, 140), (60, 120, 70), (200, 160, 60), (120, 80, 130)]
            return colours[book] + (255,) if (x - 40) % 22 < 19 else (70, 45, 30, 255)
        return (90, 60, 40, 255)

    return png(640, 360, {"beach": beach, "room": room, "study": study}[kind])


FILES = {
    os.path.join("res", "sample1.png"): lambda: background_sample("beach"),
    os.path.join("res", "sample2.png"): lambda: background_sample("room"),
    os.path.join("res", "sample3.png"): lambda: background_sample("study"),
    os.path.join("res", "blue", "novideo.png"): lambda: camera_picture((30, 36, 48), (90, 110, 140)),
    os.path.join("res", "orange", "novideo.png"): lambda: camera_picture((245, 240, 235), (230, 140, 60)),
    os.path.join("res", "devbusy.png"): busy_picture,
    os.path.join("cursor", "pick.cur"): pick_cursor,
    os.path.join("cursor", "anno_pen_solid.cur"): pen_cursor,
    os.path.join("cursor", "anno_pointer_cross.cur"): cross_cursor,
    os.path.join("cursor", "anno_image.cur"): rect_cursor,
    os.path.join("cursor", "anno_eraser.cur"): eraser_cursor,
    os.path.join("cursor", "regionbk.png"): region_bar,
    os.path.join("cursor", "rectclicked.png"): lambda: aspect_button(True),
    os.path.join("cursor", "rectunclicked.png"): lambda: aspect_button(False),
}


# Files made once by make-res-media.sh and kept in the repository, copied as they are.
COPIED = [os.path.join("res", "defalutpic.jpg"), os.path.join("res", "test.mp3")]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    for relative in COPIED:
        path = os.path.join(sys.argv[1], relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(os.path.join(here, relative), "rb") as src, open(path, "wb") as out:
            out.write(src.read())
    for relative, draw in FILES.items():
        path = os.path.join(sys.argv[1], relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(draw())


if __name__ == "__main__":
    main()
