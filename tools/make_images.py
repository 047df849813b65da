#!/usr/bin/env python3
"""Draws the program's icon (res/icon.ico) and banner (res/banner.bmp).

Both are built pixel by pixel from the small font below, so they can be
remade exactly: python3 tools/make_images.py
The banner and the icon's 16, 24, 32 and 48 pixel images are 8-bit
paletted; the icon's 256 pixel image is an RGBA PNG. The dialog draws the
banner at other dpi itself (src/ui/banner.cpp), from the same letters.
Standard library only.
"""

import os
import struct
import sys
import zlib

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


# Icon: a blue rounded square holding a white "Q" and an orange underbar: a
# blank that became "_". Each size is drawn for its own grid: 16, 24, 32 and
# 48 pixels in 256 colours with a mask, 256 pixels smooth-edged as a PNG.
CLEAR, FILL, EDGE, INK, BAR = 0, 1, 2, 3, 4
ICON_COLOURS = [(0, 0, 0), (0x20, 0x58, 0xD8), (0x08, 0x20, 0x70), (0xFF, 0xFF, 0xFF), (0xFF, 0x98, 0x10)]

# At 16 pixels the font's Q at one pixel a cell is too thin and at two too
# tall: its own glyph, stems two pixels wide.
Q16 = [".#####.", "##...##", "##...##", "##...##", "##...##", "##.#.##", "##..##.", ".####.#"]

# size: corner radius, edge width, Q's left, top and pixels per font cell
# (0: Q16), and the underbar's columns and rows as half-open ranges.
ICON_GRIDS = {
    16: (3, 1, 2, 2, 0, (10, 14), (11, 13)),
    24: (5, 1, 4, 3, 2, (15, 21), (16, 18)),
    32: (6, 1, 5, 4, 3, (21, 28), (23, 26)),
    48: (9, 2, 8, 6, 4, (31, 42), (33, 37)),
}


def rounded(n, radius, x, y, inset):
    """Whether pixel (x, y) lies in the n x n rounded square shrunk by inset."""
    lo, hi = inset, n - 1 - inset
    r = radius - inset
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = lo + r if x < lo + r else hi - r if x > hi - r else x
    cy = lo + r if y < lo + r else hi - r if y > hi - r else y
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def icon_pixels(n):
    radius, edge, q_left, q_top, q_scale, bar_x, bar_y = ICON_GRIDS[n]
    pixels = [[CLEAR] * n for _ in range(n)]
    for y in range(n):
        for x in range(n):
            if rounded(n, radius, x, y, edge):
                pixels[y][x] = FILL
            elif rounded(n, radius, x, y, 0):
                pixels[y][x] = EDGE
    if q_scale:
        draw_text(pixels, n, n, "Q", q_left, q_top, q_scale, INK)
    else:
        for gy, row in enumerate(Q16):
            for gx, cell in enumerate(row):
                if cell == "#":
                    pixels[q_top + gy][q_left + gx] = INK
    for y in range(*bar_y):
        for x in range(*bar_x):
            pixels[y][x] = BAR
    return pixels


def icon_bitmap(pixels):
    """One 8-bit icon image: header, palette, colour rows, mask rows."""
    n = len(pixels)
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
    return bitmap_info_header(n, 2 * n, len(xor) + len(mask)) + palette_bytes(ICON_COLOURS) + xor + bytes(mask)


def icon_png(n):
    """The n x n image as an RGBA PNG, each pixel the mean of 4 x 4 samples
    of the 32-pixel design drawn n / 32 times as large."""
    unit = n / 32
    radius, edge = 6 * unit, 1 * unit
    q_left, q_top, cell = 5 * unit, 4 * unit, 3 * unit
    bar_x, bar_y = (21 * unit, 28 * unit), (23 * unit, 26 * unit)

    def in_rounded(x, y, inset):
        lo, hi = inset, n - inset
        r = radius - inset
        if not (lo <= x < hi and lo <= y < hi):
            return False
        cx = min(max(x, lo + r), hi - r)
        cy = min(max(y, lo + r), hi - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def colour_at(x, y):
        if bar_x[0] <= x < bar_x[1] and bar_y[0] <= y < bar_y[1]:
            return BAR
        gx, gy = int((x - q_left) // cell), int((y - q_top) // cell)
        if 0 <= gx < GLYPH_WIDTH and 0 <= gy < GLYPH_HEIGHT and FONT["Q"][gy][gx] == "#":
            return INK
        if in_rounded(x, y, edge):
            return FILL
        return EDGE if in_rounded(x, y, 0) else CLEAR

    samples = 4
    raw = bytearray()
    for y in range(n):
        raw.append(0)  # filter: none
        for x in range(n):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    if c != CLEAR:
                        cr, cg, cb = ICON_COLOURS[c]
                        r, g, b, a = r + cr, g + cg, b + cb, a + 1
            if a:
                raw += bytes((round(r / a), round(g / a), round(b / a), round(255 * a / samples**2)))
            else:
                raw += bytes(4)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


ICON_SIZES = (16, 24, 32, 48, 256)


def make_icon():
    images = [icon_png(n) if n == 256 else icon_bitmap(icon_pixels(n)) for n in ICON_SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for n, image in zip(ICON_SIZES, images):
        # width and height (0: 256), colour count (0: 256 or more), reserved,
        # planes, bits per pixel, bytes in the image, offset
        bits = 32 if n == 256 else 8
        entries += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, bits, len(image), offset)
        offset += len(image)
    return directory + entries + b"".join(images)


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
