#!/usr/bin/env python3
"""Draws the program's icon (res/icon.ico) and banner (res/banner.bmp).

Both are 8-bit paletted images built pixel by pixel from the small font
below, so they can be remade exactly: python3 tools/make_images.py
Standard library only.
"""

import os
import struct
import sys

# 5 x 7 glyphs, one string per row, '#' for ink.
FONT = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "I": [".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "2": [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"],
}
GLYPH_WIDTH, GLYPH_HEIGHT = 5, 7


def draw_text(pixels, width, height, text, left, top, scale, colour):
    """Puts text into pixels (a list of rows of palette indices)."""
    x = left
    for ch in text:
        for gy, row in enumerate(FONT[ch]):
            for gx, cell in enumerate(row):
                if cell != "#":
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        px, py = x + gx * scale + dx, top + gy * scale + dy
                        if 0 <= px < width and 0 <= py < height:
                            pixels[py][px] = colour
        x += (GLYPH_WIDTH + 1) * scale


def text_width(text, scale):
    return len(text) * (GLYPH_WIDTH + 1) * scale - scale


def palette_bytes(colours):
    """256 RGBQUAD entries (blue, green, red, 0); unused entries black."""
    out = bytearray()
    for i in range(256):
        r, g, b = colours[i] if i < len(colours) else (0, 0, 0)
        out += bytes((b, g, r, 0))
    return bytes(out)


def bitmap_info_header(width, height, image_size):
    # biSize, biWidth, biHeight, biPlanes, biBitCount, biCompression,
    # biSizeImage, biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, image_size, 3780, 3780, 256, 0)


def rows_bottom_up(pixels, width):
    """8-bit rows, bottom row first, each padded to four bytes."""
    stride = (width + 3) & ~3
    return b"".join(bytes(row) + bytes(stride - width) for row in reversed(pixels))


# Banner: 279 x 32, grey gradient from white (left) to black (right), with
# "QUIB" and a smaller "ver2" in blue, each with a dark shadow.
BANNER_WIDTH, BANNER_HEIGHT = 279, 32
GREYS = 240  # palette 0..239: white to black
BLUE, SHADOW = GREYS, GREYS + 1


def make_banner():
    colours = []
    for i in range(GREYS):
        level = round(255 - 255 * i / (GREYS - 1))
        colours.append((level, level, level))
    colours.append((0x10, 0x40, 0xE0))  # BLUE
    colours.append((0x00, 0x10, 0x58))  # SHADOW

    pixels = []
    for _ in range(BANNER_HEIGHT):
        pixels.append([round((GREYS - 1) * x / (BANNER_WIDTH - 1)) for x in range(BANNER_WIDTH)])

    big, small = 3, 2
    bottom = 26
    quib_left, quib_top = 8, bottom - GLYPH_HEIGHT * big
    ver_left = quib_left + text_width("QUIB", big) + 3 * big
    ver_top = bottom - GLYPH_HEIGHT * small
    for colour, shift in ((SHADOW, 1), (BLUE, 0)):
        draw_text(pixels, BANNER_WIDTH, BANNER_HEIGHT, "QUIB", quib_left + shift, quib_top + shift, big, colour)
        draw_text(pixels, BANNER_WIDTH, BANNER_HEIGHT, "ver2", ver_left + shift, ver_top + shift, small, colour)

    image = rows_bottom_up(pixels, BANNER_WIDTH)
    info = bitmap_info_header(BANNER_WIDTH, BANNER_HEIGHT, len(image)) + palette_bytes(colours)
    offset = 14 + len(info)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    return file_header + info + image


# Icon: 32 x 32, a blue rounded square holding a white "Q" and an orange
# underbar: a blank that became "_".
ICON_SIZE = 32
CLEAR, FILL, EDGE, INK, BAR = 0, 1, 2, 3, 4


def make_icon():
    colours = [(0, 0, 0), (0x20, 0x58, 0xD8), (0x08, 0x20, 0x70), (0xFF, 0xFF, 0xFF), (0xFF, 0x98, 0x10)]
    n = ICON_SIZE
    radius = 6
    pixels = [[CLEAR] * n for _ in range(n)]

    def inside(x, y, inset):
        lo, hi = inset, n - 1 - inset
        r = radius - inset
        if not (lo <= x <= hi and lo <= y <= hi):
            return False
        cx = lo + r if x < lo + r else hi - r if x > hi - r else x
        cy = lo + r if y < lo + r else hi - r if y > hi - r else y
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    for y in range(n):
        for x in range(n):
            if inside(x, y, 1):
                pixels[y][x] = FILL
            elif inside(x, y, 0):
                pixels[y][x] = EDGE
    draw_text(pixels, n, n, "Q", 5, 4, 3, INK)
    for y in range(23, 26):
        for x in range(21, 28):
            pixels[y][x] = BAR

    xor = rows_bottom_up(pixels, n)
    mask_stride = ((n + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, value in enumerate(row):
            if value == CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # An icon's header counts the XOR and AND images together: twice the height.
    image = bitmap_info_header(n, 2 * n, len(xor) + len(mask)) + palette_bytes(colours) + xor + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    # width, height, colour count (0: 256), reserved, planes, bit count,
    # bytes in resource, offset
    entry = struct.pack("<BBBBHHII", n, n, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "res")
    for name, data in (("banner.bmp", make_banner()), ("icon.ico", make_icon())):
        path = os.path.join(out_dir, name)
        with open(path, "wb") as f:
            f.write(data)
        print(f"{path}: {len(data)} bytes")


if __name__ == "__main__":
    main()
