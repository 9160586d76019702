import os
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixture  # noqa: E402,F401  (puts the generators on the path)
import pictures  # noqa: E402

# The names and the room the reading view leaves for each picture.
EXPECTED = [
    ("Linden_Marsh_01.bmp", 30, 180, 590),
    ("Quarrystone_02.bmp", 30, 200, 620),
    ("Tamsin_02.bmp", 25, 180, 600),
    ("Terrace_03.bmp", 25, 40, 620),
    ("Corvane_04.bmp", 25, 200, 620),
    ("Parlour_05.bmp", 25, 60, 620),
    ("Osric_Fenn_07.bmp", 25, 40, 620),
    ("Cellar_08.bmp", 25, 40, 620),
    ("Orchard_09.bmp", 25, 40, 620),
]
NARROW_SCREEN = 1024


def read_bmp(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    (header_size, width, height, planes, bits, compression,
     image_size) = struct.unpack_from("<IiiHHII", data, 14)
    return dict(data=data, magic=magic, size=size, offset=offset, header_size=header_size,
                width=width, height=height, planes=planes, bits=bits,
                compression=compression, image_size=image_size)


class PicturesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        book, _ = fixture.write(cls.folder.name)
        cls.paths = pictures.write_pictures(cls.folder.name, book)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_every_picture_is_a_plain_bitmap_that_fits_its_room(self):
        self.assertEqual([os.path.basename(p) for p in self.paths], [e[0] for e in EXPECTED])
        for path, (name, gap, left, advance) in zip(self.paths, EXPECTED):
            with self.subTest(picture=name):
                bmp = read_bmp(path)
                self.assertEqual(bmp["magic"], b"BM")
                self.assertEqual(bmp["size"], len(bmp["data"]))
                self.assertEqual(bmp["header_size"], 40)
                self.assertEqual((bmp["planes"], bmp["bits"], bmp["compression"]), (1, 24, 0))
                stride = (bmp["width"] * 3 + 3) & ~3
                self.assertEqual(bmp["offset"] + stride * bmp["height"], len(bmp["data"]))
                self.assertGreater(bmp["height"], 0)       # bottom-up rows
                # The text after the picture starts at the advance; the picture ends above it.
                self.assertLessEqual(gap + bmp["height"], advance - 10)
                self.assertGreater(gap + bmp["height"], advance - 60)
                self.assertLessEqual(left + bmp["width"], NARROW_SCREEN - 64)

    def test_pictures_are_drawn_scenes_not_flat_fills(self):
        for path in self.paths:
            bmp = read_bmp(path)
            pixels = bmp["data"][bmp["offset"]:]
            colours = {pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3 * 97)}
            self.assertGreater(len(colours), 12, os.path.basename(path))

    def test_title_band_holds_dark_lettering(self):
        # The bottom band is light paper; the chapter's name is lettered on it.
        for path in self.paths:
            bmp = read_bmp(path)
            stride = (bmp["width"] * 3 + 3) & ~3
            # Rows are stored bottom-up: rows 10 to 40 from the bottom hold the name.
            band = bmp["data"][bmp["offset"] + 10 * stride: bmp["offset"] + 40 * stride]
            dark = sum(1 for i in range(0, len(band) - 2, 3) if sum(band[i:i + 3]) < 200)
            self.assertGreater(dark, 500, os.path.basename(path))

    def test_chapter_number_follows_the_chapter_start_cells(self):
        with tempfile.TemporaryDirectory() as folder:
            # 1700 paragraphs of 99 units and a line end: paragraph p starts at cell 100 p.
            book = os.path.join(folder, "book.txt")
            fixture.sources.write_utf16_lines(book, ["x" * 99] * 1700)
            numbers = pictures.chapter_numbers(book)
        # After paragraph 34 the text goes on at cell 3500 (chapter 1); after 1594 at
        # cell 159500, between the starts of chapters 6 (142820) and 7 (165562).
        self.assertEqual(numbers[0], 1)
        self.assertEqual(numbers[-1], 6)
        self.assertEqual(numbers, sorted(numbers))
        self.assertEqual(pictures.chapter_numbers(None), list(range(1, 10)))


if __name__ == "__main__":
    unittest.main()
