#!/usr/bin/env python3
"""Draws the splash window's icon: a ledger with a dogwood blossom, 32 x 32 in 16 colours.

Writes a Windows .ico (one 4-bit image with its transparency mask). Run it again after changing
the drawing and commit the result:

    python3 tools/icon/make_splash_icon.py src/main/splash.ico
"""
import math
import struct
import sys

SIZE = 32
# The 16 standard VGA colours, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_RED, OLIVE, NAVY, SILVER, GRAY, RED, YELLOW, BLUE, MAGENTA, WHITE = (
    0, 1, 3, 4, 7, 8, 9, 11, 12, 13, 15)
CLEAR = None


def draw():
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            pixels[y][x] = colour

    # The ledger: a navy cover, two pages with ruled lines, a red ribbon.
    for y in range(11, 31):
        for x in range(1, 27):
            edge = y in (11, 30) or x in (1, 26)
            put(x, y, BLACK if edge else NAVY)
    for y in range(12, 28):
        for x in range(3, 25):
            put(x, y, WHITE)
    for y in range(12, 29):
        put(13, y, GRAY)
        put(14, y, SILVER)
    for y in range(15, 27, 3):
        for x in list(range(4, 12)) + list(range(16, 24)):
            put(x, y, BLUE if x in (4, 16) else SILVER)
    for y in range(12, 31):
        put(20, y, RED)
        put(21, y, DARK_RED)
    put(20, 31, RED)

    # The blossom: four notched petals around a yellow heart.
    cx, cy = 24.0, 8.0
    for dx, dy in ((0, -4), (4, 0), (0, 4), (-4, 0)):
        px, py = cx + dx, cy + dy
        for y in range(SIZE):
            for x in range(SIZE):
                d = math.hypot(x - px, y - py)
                if d <= 3.3:
                    tip = math.hypot(x - (cx + dx * 1.8), y - (cy + dy * 1.8)) < 1.2
                    put(x, y, MAGENTA if d > 2.4 or tip else WHITE)
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if d <= 1.9:
                put(x, y, OLIVE if d < 0.8 else YELLOW)
    return pixels


def ico(pixels):
    xor = b""
    mask = b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is CLEAR else p for p in row]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is CLEAR else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(ico(draw()))
