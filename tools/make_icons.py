#!/usr/bin/env python3
"""Draws twinex's two icons (two same-named pages, one behind the other) and
writes them as 16-colour .ico files:
    resources/twinex_large.ico   64 x 64
    resources/twinex_small.ico   16 x 16
Run from anywhere: python3 tools/make_icons.py"""
import os
import struct

# The standard 16-colour palette (B, G, R order is applied when written).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, TEAL, SILVER, GRAY, RED, YELLOW, BLUE, WHITE = 0, 4, 6, 7, 8, 9, 11, 12, 15


def canvas(size):
    return [[None] * size for _ in range(size)]


def rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def page(img, x0, y0, x1, y1, fold, paper, ink, lines):
    """A page with a folded top-right corner, outlined, with text lines."""
    rect(img, x0, y0, x1, y1, paper)
    for y in range(y0, y0 + fold):           # cut the corner
        for x in range(x1 - fold + 1 + (y - y0), x1 + 1):
            img[y][x] = None
    for x in range(x0, x1 - fold + 1):        # outline
        img[y0][x] = BLACK
    for x in range(x0, x1 + 1):
        img[y1][x] = BLACK
    for y in range(y0, y1 + 1):
        img[y][x0] = BLACK
    for y in range(y0 + fold, y1 + 1):
        img[y][x1] = BLACK
    for i in range(fold + 1):                 # the fold's diagonal and flap
        img[y0 + i][x1 - fold + i] = BLACK
        img[y0 + fold][x1 - fold + i] = BLACK
        img[y0 + i][x1 - fold] = BLACK
        for j in range(i):
            img[y0 + i][x1 - fold + j + 1] = SILVER if paper != SILVER else WHITE
    for (ly, lx0, lx1) in lines:
        for x in range(lx0, lx1 + 1):
            img[ly][x] = ink


def large():
    img = canvas(64)
    back_lines = [(y, 10, 30) for y in range(16, 44, 5)]
    page(img, 5, 3, 37, 50, 9, SILVER, GRAY, back_lines)
    front_lines = [(y, 30, 52) for y in range(27, 56, 5)]
    page(img, 24, 13, 57, 60, 9, WHITE, NAVY, front_lines)
    # the shared name: a red bar on both pages
    rect(img, 10, 8, 24, 10, RED)
    rect(img, 29, 18, 44, 20, RED)
    # an equals badge where they overlap
    for y in range(38, 52):
        for x in range(5, 21):
            if (x - 12.5) ** 2 + (y - 44.5) ** 2 <= 56:
                img[y][x] = BLUE
    rect(img, 8, 41, 17, 42, WHITE)
    rect(img, 8, 46, 17, 47, WHITE)
    return img


def small():
    img = canvas(16)
    page(img, 0, 0, 9, 11, 3, SILVER, GRAY, [(6, 2, 6), (8, 2, 6)])
    page(img, 5, 3, 15, 15, 3, WHITE, NAVY, [(9, 7, 13), (11, 7, 13), (13, 7, 13)])
    rect(img, 2, 3, 5, 3, RED)
    rect(img, 7, 6, 11, 6, RED)
    return img


def ico(img):
    size = len(img)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):          # bottom-up rows
        row = bytearray(xor_row)
        bits = bytearray(and_row)
        for x in range(size):
            c = img[y][x]
            value = 0 if c is None else c
            if x % 2 == 0:
                row[x // 2] |= value << 4
            else:
                row[x // 2] |= value
            if c is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += row
        mask += bits
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    for name, img in (("twinex_large.ico", large()), ("twinex_small.ico", small())):
        with open(os.path.join(out, name), "wb") as f:
            f.write(ico(img))


if __name__ == "__main__":
    main()
