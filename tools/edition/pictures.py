"""The nine chapter pictures of the demo edition, as 24-bit BMP files.

Each picture is as tall as the room the layout leaves for it (the advance of
the running y after its paragraph, less the gap above it and a margin below),
so text never runs under it. The scenes are drawn from a few flat primitives
with a title band lettered in a small built-in bitmap font.
"""

import argparse
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sources  # noqa: E402

# After paragraph, file name, gap above the picture, left edge, advance of y.
PICTURE_TABLE = (
    (34, "Linden_Marsh_01.bmp", 30, 180, 590),
    (152, "Quarrystone_02.bmp", 30, 200, 620),
    (207, "Tamsin_02.bmp", 25, 180, 600),
    (334, "Terrace_03.bmp", 25, 40, 620),
    (541, "Corvane_04.bmp", 25, 200, 620),
    (679, "Parlour_05.bmp", 25, 60, 620),
    (1053, "Osric_Fenn_07.bmp", 25, 40, 620),
    (1424, "Cellar_08.bmp", 25, 40, 620),
    (1594, "Orchard_09.bmp", 25, 40, 620),
)
CHAPTER_START_CELLS = (0, 32900, 56605, 89105, 119370, 142820, 165562, 215129, 240025)

WIDTH = 640
BOTTOM_MARGIN = 30     # blank room between the picture and the next line


def picture_height(gap_above, advance):
    return advance - gap_above - BOTTOM_MARGIN


GLYPHS = """
A .###. #...# #...# ##### #...# #...# #...#
B ####. #...# #...# ####. #...# #...# ####.
C .###. #...# #.... #.... #.... #...# .###.
D ####. #...# #...# #...# #...# #...# ####.
E ##### #.... #.... ####. #.... #.... #####
F ##### #.... #.... ####. #.... #.... #....
G .###. #...# #.... #.### #...# #...# .####
H #...# #...# #...# ##### #...# #...# #...#
I .###. ..#.. ..#.. ..#.. ..#.. ..#.. .###.
J ..### ...#. ...#. ...#. ...#. #..#. .##..
K #...# #..#. #.#.. ##... #.#.. #..#. #...#
L #.... #.... #.... #.... #.... #.... #####
M #...# ##.## #.#.# #.#.# #...# #...# #...#
N #...# ##..# #.#.# #..## #...# #...# #...#
O .###. #...# #...# #...# #...# #...# .###.
P ####. #...# #...# ####. #.... #.... #....
Q .###. #...# #...# #...# #.#.# #..#. .##.#
R ####. #...# #...# ####. #.#.. #..#. #...#
S .#### #.... #.... .###. ....# ....# ####.
T ##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#..
U #...# #...# #...# #...# #...# #...# .###.
V #...# #...# #...# #...# #...# .#.#. ..#..
W #...# #...# #...# #.#.# #.#.# #.#.# .#.#.
X #...# #...# .#.#. ..#.. .#.#. #...# #...#
Y #...# #...# .#.#. ..#.. ..#.. ..#.. ..#..
Z ##### ....# ...#. ..#.. .#... #.... #####
0 .###. #...# #..## #.#.# ##..# #...# .###.
1 ..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###.
2 .###. #...# ....# ...#. ..#.. .#... #####
3 ####. ....# ....# .###. ....# ....# ####.
4 ...#. ..##. .#.#. #..#. ##### ...#. ...#.
5 ##### #.... ####. ....# ....# #...# .###.
6 .###. #.... #.... ####. #...# #...# .###.
7 ##### ....# ...#. ..#.. .#... .#... .#...
8 .###. #...# #...# .###. #...# #...# .###.
9 .###. #...# #...# .####. ....# ....# .###.
"""
FONT = {}
for _line in GLYPHS.strip().splitlines():
    _key, *_rows = _line.split()
    FONT[_key] = [r[:5] for r in _rows]


class Canvas:
    """An RGB picture held as rows of bytes, top row first."""

    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width, self.height = width, height
        self.rows = [bytearray(bytes(colour) * width) for _ in range(height)]

    def span(self, y, x0, x1, colour):
        if 0 <= y < self.height:
            x0, x1 = max(0, int(x0)), min(self.width, int(x1))
            if x1 > x0:
                self.rows[y][x0 * 3:x1 * 3] = bytes(colour) * (x1 - x0)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, int(y0)), min(self.height, int(y1))):
            self.span(y, x0, x1, colour)

    def gradient(self, y0, y1, top, bottom):
        for y in range(int(y0), int(y1)):
            f = (y - y0) / max(1, y1 - y0 - 1)
            self.span(y, 0, self.width, mix(top, bottom, f))

    def disc(self, cx, cy, r, colour, squash=1.0):
        ry = r * squash
        for y in range(int(cy - ry), int(cy + ry) + 1):
            d = (y - cy) / ry if ry else 0
            if abs(d) <= 1:
                half = r * math.sqrt(1 - d * d)
                self.span(y, cx - half, cx + half + 1, colour)

    def below(self, profile, colour, y_end=None):
        """Fills everything under the curve y = profile(x)."""
        y_end = self.height if y_end is None else y_end
        tops = [int(profile(x)) for x in range(self.width)]
        for y in range(min(tops), y_end):
            x = 0
            while x < self.width:
                if tops[x] <= y:
                    start = x
                    while x < self.width and tops[x] <= y:
                        x += 1
                    self.span(y, start, x, colour)
                else:
                    x += 1

    def triangle(self, apex_x, apex_y, base_y, half_width, colour):
        for y in range(int(apex_y), int(base_y)):
            half = half_width * (y - apex_y) / max(1, base_y - apex_y)
            self.span(y, apex_x - half, apex_x + half + 1, colour)

    def text(self, x, y, message, scale, colour):
        for ch in message.upper():
            glyph = FONT.get(ch)
            if glyph:
                for gy, row in enumerate(glyph):
                    for gx, bit in enumerate(row):
                        if bit == "#":
                            self.rect(x + gx * scale, y + gy * scale,
                                      x + (gx + 1) * scale, y + (gy + 1) * scale, colour)
            x += 6 * scale

    def bmp_bytes(self):
        """24-bit uncompressed BMP: bottom-up rows of blue, green, red."""
        stride = (self.width * 3 + 3) & ~3
        pad = bytes(stride - self.width * 3)
        pixels = bytearray()
        for row in reversed(self.rows):
            bgr = bytearray(len(row))
            bgr[0::3], bgr[1::3], bgr[2::3] = row[2::3], row[1::3], row[0::3]
            pixels += bgr + pad
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0,
                           len(pixels), 2835, 2835, 0, 0)
        header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0,
                             14 + len(info))
        return header + info + pixels


def text_width(message, scale):
    return (6 * len(message) - 1) * scale


def mix(a, b, f):
    return tuple(int(round(a[i] + (b[i] - a[i]) * f)) for i in range(3))


def hills(c, base, amplitude, period, phase, colour):
    c.below(lambda x: base + amplitude * math.sin(x / period + phase)
            + amplitude * 0.4 * math.sin(x / (period * 0.37) + 2 * phase), colour)


def tree(c, x, ground, size, leaf, trunk=(92, 64, 40), fruit=None):
    c.rect(x - size * 0.12, ground - size * 1.3, x + size * 0.12, ground, trunk)
    c.disc(x, ground - size * 1.5, size * 0.75, leaf)
    c.disc(x - size * 0.4, ground - size * 1.25, size * 0.5, leaf)
    c.disc(x + size * 0.4, ground - size * 1.25, size * 0.5, leaf)
    if fruit:
        for k in range(6):
            a = k * 1.7
            c.disc(x + math.cos(a) * size * 0.5, ground - size * 1.45 + math.sin(a) * size * 0.4,
                   max(2, size * 0.09), fruit)


def scene_marsh(c, h):
    c.gradient(0, h * 0.55, (246, 196, 140), (252, 232, 196))
    c.disc(c.width * 0.7, h * 0.45, 48, (255, 244, 214))
    hills(c, h * 0.5, 10, 90, 0.3, (120, 140, 120))
    c.gradient(h * 0.56, h, (150, 170, 180), (88, 110, 128))
    for y in range(int(h * 0.6), h, 14):
        c.span(y, (y * 37) % 300, (y * 37) % 300 + 120, (196, 210, 214))
    for k in range(60):
        x = (k * 97) % c.width
        top = h * 0.62 + (k * 53) % 90
        c.rect(x, top, x + 3, h, (70, 84, 52))
        c.disc(x + 1, top, 5, (110, 80, 44), squash=2.0)
    tree(c, 90, h * 0.56, 60, (74, 108, 66))


def scene_quarry(c, h):
    c.gradient(0, h * 0.4, (170, 200, 228), (230, 236, 240))
    for step in range(6):
        top = h * 0.22 + step * h * 0.1
        left = step * 50
        shade = 190 - step * 14
        c.rect(left, top, c.width, h, (shade, shade - 6, shade - 20))
        for bx in range(left, c.width, 64):
            c.rect(bx, top, bx + 2, top + h * 0.1, (shade - 50,) * 3)
        c.rect(left, top, c.width, top + 3, (shade - 60,) * 3)
    c.disc(120, h * 0.9, 40, (150, 146, 134), squash=0.5)


def scene_portrait(c, h):
    c.gradient(0, h, (120, 70, 50), (60, 34, 30))
    c.disc(c.width / 2, h * 0.48, 190, (212, 176, 90), squash=1.25)
    c.disc(c.width / 2, h * 0.48, 176, (236, 222, 196), squash=1.25)
    c.disc(c.width / 2, h * 0.38, 62, (70, 54, 60), squash=1.2)
    c.disc(c.width / 2, h * 0.74, 120, (70, 54, 60), squash=0.6)
    c.rect(0, h * 0.74, c.width, h, (60, 34, 30))


def scene_terrace(c, h):
    c.gradient(0, h * 0.6, (150, 176, 206), (214, 222, 230))
    c.rect(0, h * 0.8, c.width, h, (120, 116, 110))
    colours = [(176, 120, 96), (196, 170, 130), (150, 110, 100), (186, 150, 120)]
    for k in range(5):
        x0 = k * 128
        top = h * 0.35
        c.rect(x0 + 2, top, x0 + 126, h * 0.8, colours[k % 4])
        c.triangle(x0 + 64, top - 70, top, 68, (90, 70, 70))
        c.rect(x0 + 50, h * 0.62, x0 + 78, h * 0.8, (60, 50, 60))
        for wx in (x0 + 16, x0 + 84):
            for wy in (top + 30, top + 120):
                c.rect(wx, wy, wx + 28, wy + 40, (240, 226, 160))
                c.rect(wx + 13, wy, wx + 15, wy + 40, (80, 70, 60))


def scene_tower(c, h):
    c.gradient(0, h, (24, 30, 64), (80, 70, 110))
    for k in range(70):
        x, y = (k * 2654435761) % c.width, (k * k * 40503 + k * 977) % int(h * 0.6)
        c.rect(x, y, x + 2, y + 2, (240, 240, 220))
    c.disc(520, 90, 36, (236, 232, 206))
    hills(c, h * 0.72, 18, 110, 1.1, (30, 40, 44))
    c.rect(250, h * 0.28, 330, h * 0.75, (54, 54, 66))
    for bx in range(250, 330, 20):
        c.rect(bx, h * 0.25, bx + 12, h * 0.28, (54, 54, 66))
    c.rect(282, h * 0.38, 298, h * 0.45, (250, 210, 120))
    for k in range(5):
        x, y = 120 + k * 80, 120 + (k * 37) % 80
        for d in range(10):
            c.rect(x - d, y - d // 2, x - d + 2, y - d // 2 + 2, (10, 10, 16))
            c.rect(x + d, y - d // 2, x + d + 2, y - d // 2 + 2, (10, 10, 16))


def scene_parlour(c, h):
    for x in range(0, c.width, 32):
        c.rect(x, 0, x + 16, h * 0.7, (150, 60, 62))
        c.rect(x + 16, 0, x + 32, h * 0.7, (168, 76, 74))
    c.rect(0, h * 0.7, c.width, h, (96, 62, 40))
    c.rect(200, 80, 440, 300, (240, 230, 200))
    c.gradient(90, 290, (120, 160, 210), (200, 220, 236))
    c.rect(0, 0, 200, h * 0.7, (150, 60, 62))
    c.rect(440, 0, c.width, h * 0.7, (168, 76, 74))
    c.rect(160, 80, 220, 320, (64, 92, 70))
    c.rect(420, 80, 480, 320, (64, 92, 70))
    c.rect(540, 200, 548, h * 0.7 + 30, (40, 30, 20))
    c.triangle(544, 150, 210, 40, (236, 210, 140))
    c.disc(320, h * 0.82, 120, (120, 36, 40), squash=0.25)


def scene_figure(c, h):
    c.gradient(0, h * 0.5, (196, 200, 190), (226, 224, 210))
    hills(c, h * 0.5, 8, 140, 2.0, (140, 150, 110))
    c.rect(0, h * 0.6, c.width, h, (110, 124, 86))
    c.below(lambda x: h * 0.55 + abs(x - 320) * 0.9, (188, 170, 136))
    c.rect(306, h * 0.36, 334, h * 0.6, (40, 36, 40))
    c.disc(320, h * 0.32, 16, (40, 36, 40))
    c.rect(298, h * 0.28, 342, h * 0.29, (40, 36, 40))
    c.rect(308, h * 0.24, 332, h * 0.28, (40, 36, 40))
    c.rect(344, h * 0.33, 347, h * 0.61, (96, 70, 44))


def scene_cellar(c, h):
    c.rect(0, 0, c.width, h, (58, 44, 40))
    for y in range(0, h, 24):
        off = 0 if (y // 24) % 2 else 24
        for x in range(-off, c.width, 48):
            c.rect(x + 2, y + 2, x + 46, y + 22, (110, 70, 54))
    for cx in (160, 480):
        c.disc(cx, h * 0.4, 120, (30, 22, 22))
        c.rect(cx - 120, h * 0.4, cx + 120, h * 0.85, (30, 22, 22))
        for k in range(3):
            bx = cx - 80 + k * 80
            c.disc(bx, h * 0.72, 34, (128, 84, 44))
            c.rect(bx - 34, h * 0.72 - 3, bx + 34, h * 0.72 + 3, (70, 60, 50))
    c.rect(0, h * 0.85, c.width, h, (80, 72, 64))


def scene_orchard(c, h):
    c.gradient(0, h * 0.5, (160, 204, 236), (226, 238, 240))
    c.disc(90, 80, 40, (255, 240, 170))
    hills(c, h * 0.48, 14, 120, 0.7, (126, 170, 96))
    c.rect(0, h * 0.62, c.width, h, (106, 150, 80))
    for row, (ground, size) in enumerate(((h * 0.62, 34), (h * 0.8, 48), (h * 0.99, 64))):
        for k in range(5 - row):
            x = 60 + k * (c.width - 120) / max(1, 4 - row) + row * 20
            tree(c, x, ground, size, (60 + row * 10, 120 - row * 8, 56), fruit=(206, 40, 40))


SCENES = (scene_marsh, scene_quarry, scene_portrait, scene_terrace, scene_tower,
          scene_parlour, scene_figure, scene_cellar, scene_orchard)


def chapter_numbers(book_path):
    """Chapter of the text that follows each picture, from the chapter start cells.

    Without a book file the pictures count as chapters 1 to 9."""
    if not book_path or not os.path.exists(book_path):
        return [k + 1 for k in range(len(PICTURE_TABLE))]
    paragraphs = sources.read_utf16_lines(book_path)
    first_cell, cell = [], 0
    for text in paragraphs:
        first_cell.append(cell)
        cell += len(text) + 1                       # the CR is a cell too
    numbers = []
    for after, *_ in PICTURE_TABLE:
        c = first_cell[after + 1] if after + 1 < len(first_cell) else cell
        numbers.append(sum(1 for start in CHAPTER_START_CELLS if start <= c))
    return numbers


def draw_picture(index, chapter):
    _, name, gap, _, advance = PICTURE_TABLE[index]
    height = picture_height(gap, advance)
    c = Canvas(WIDTH, height)
    SCENES[index](c, height)
    title = name.rsplit("_", 1)[0].replace("_", " ")
    band = 74
    c.rect(0, height - band, WIDTH, height, (250, 246, 232))
    c.rect(0, height - band, WIDTH, height - band + 3, (120, 96, 60))
    label = f"CHAPTER {chapter}"
    c.text((WIDTH - text_width(label, 3)) // 2, height - band + 10, label, 3, (120, 96, 60))
    c.text((WIDTH - text_width(title, 4)) // 2, height - band + 36, title, 4, (40, 34, 30))
    for edge in range(6):                        # a thin frame
        shade = (120 - edge * 10, 96 - edge * 8, 60 - edge * 6)
        c.rect(edge, edge, WIDTH - edge, edge + 1, shade)
        c.rect(edge, height - edge - 1, WIDTH - edge, height - edge, shade)
        c.rect(edge, edge, edge + 1, height - edge, shade)
        c.rect(WIDTH - edge - 1, edge, WIDTH - edge, height - edge, shade)
    return name, c.bmp_bytes()


def write_pictures(out_dir, book_path=None):
    names = []
    for index, chapter in enumerate(chapter_numbers(book_path)):
        name, data = draw_picture(index, chapter)
        path = os.path.join(out_dir, name)
        with open(path + ".tmp", "wb") as f:
            f.write(data)
        os.replace(path + ".tmp", path)
        names.append(path)
    return names


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="edition folder")
    parser.add_argument("--book", help='"book.txt", for the chapter numbers')
    args = parser.parse_args(argv)
    names = write_pictures(args.out, args.book)
    print(f"{len(names)} pictures in {args.out}")


if __name__ == "__main__":
    main()
