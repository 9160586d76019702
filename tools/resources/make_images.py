#!/usr/bin/env python3
"""Writes the pictures of the program's resources: the help picture (bitmap
133), the audio book's cover (bitmap 139) and the program icon (icon 140).

    python3 tools/resources/make_images.py resources/

The files are checked in; run this again only to change them.
"""
import struct
import sys
from pathlib import Path

# A 5 x 7 capital alphabet, one string of five columns' bits per row.
GLYPHS = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    ",": ["00000", "00000", "00000", "00000", "01100", "00100", "01000"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    " ": ["00000"] * 7,
}

HELP_LINES = [
    "LEFT CLICK INTO THE TEXT",
    "SHOWS THE TRANSLATION.",
    "A SECOND CLICK HIDES IT.",
    "",
    "RIGHT CLICK INTO THE TEXT",
    "PLAYS THE NARRATION.",
    "A SECOND RIGHT CLICK STOPS IT.",
]


def draw_text(pixels, width, x0, y0, text, value, scale):
    x = x0
    for ch in text:
        glyph = GLYPHS[ch]
        for row, bits in enumerate(glyph):
            for col, bit in enumerate(bits):
                if bit == "1":
                    for dy in range(scale):
                        for dx in range(scale):
                            pixels[(y0 + row * scale + dy) * width + x + col * scale + dx] = value
        x += 6 * scale


def bmp_4bit(width, height, pixels, palette):
    """A 16-colour BI_RGB bitmap file; pixels are palette indices, top row first."""
    row_bytes = ((width * 4 + 31) // 32) * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(width):
            v = pixels[y * width + x] & 0x0F
            row[x // 2] |= v << 4 if x % 2 == 0 else v
        data += row
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return header + info + pal + bytes(data)


def bmp_24bit(width, height, rgb):
    row_bytes = ((width * 3 + 3) // 4) * 4
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = rgb[y * width + x]
            row += bytes((b, g, r))
        row += bytes(row_bytes - len(row))
        data += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    return header + info + bytes(data)


PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def help_picture():
    width, height = 266, 141
    pixels = [15] * (width * height)
    y = 12
    for line in HELP_LINES:
        if line:
            draw_text(pixels, width, 12, y, line, 4 if y < 60 else 2, 1)
        y += 16
    return bmp_4bit(width, height, pixels, PALETTE)


def cover_picture():
    width, height = 175, 150
    rgb = []
    for y in range(height):
        for x in range(width):
            # A dusk sky over a dark hill line.
            hill = 110 + int(10 * ((x - 87) / 87.0) ** 2 * 3)
            if y > hill:
                rgb.append((40, 60 + y // 6, 40))
            else:
                t = y / float(hill)
                rgb.append((int(60 + 150 * t), int(40 + 80 * t), int(120 - 40 * t)))
    flat = [0] * (width * height)
    draw_text(flat, width, 22, 20, "HARROWDENE", 1, 2)
    for i, v in enumerate(flat):
        if v:
            rgb[i] = (250, 240, 200)
    return bmp_24bit(width, height, rgb)


def icon_file():
    size = 32
    pixels = [0] * (size * size)
    for y in range(size):
        for x in range(size):
            # An open book: two pale pages with a green line of text on each.
            inside = 4 <= y <= 27 and 2 <= x <= 29
            pixels[y * size + x] = 15 if inside else 4
            if inside and x == 15 or inside and x == 16:
                pixels[y * size + x] = 8
            if inside and y in (10, 14, 18, 22) and (5 <= x <= 12 or 19 <= x <= 26):
                pixels[y * size + x] = 2 if y == 14 else 0
    image = bmp_4bit(size, size, pixels, PALETTE)[14:]
    # In an icon the height counts the colour rows and the AND mask.
    image = image[:8] + struct.pack("<i", size * 2) + image[12:]
    mask = bytes(4 * size)  # every pixel opaque
    data = image + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), 6 + 16)
    return header + entry + data


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources")
    out.mkdir(parents=True, exist_ok=True)
    (out / "help.bmp").write_bytes(help_picture())
    (out / "cover.bmp").write_bytes(cover_picture())
    (out / "vellumark.ico").write_bytes(icon_file())


if __name__ == "__main__":
    main()
