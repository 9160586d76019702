"""A small book and its rows, made to measure for the edition tests.

The book has an empty first line (so no piece can stand in paragraph 0 and the
first translation record names a later paragraph), paragraphs of one and of
many words, and rows whose pauses include none, a negative one and two rows
with the very same times, as the real rows have.
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "edition"))
import sources  # noqa: E402

PARAGRAPHS = [
    "",
    "Harrowdene",
    "The old house stood at the edge of the marsh, and the wind came over the reeds.",
    "",
    "She walked down to the water with a lamp in her hand.",
    "Night fell early; the road was dark and the bell was quiet.",
    "Stone",
    "Every window of the village was lit, and the river ran slowly under the bridge.",
]

# (paragraph, first word, last word, track, start ms, end ms)
ROW_SPECS = [
    (1, 0, 0, "hd01.WAV", 600, 1500),
    (2, 0, 4, "hd01.WAV", 2000, 3600),
    (2, 5, 9, "hd01.WAV", 3600, 5200),          # no pause before it
    (2, 10, 16, "hd01.WAV", 5600, 7900),
    (4, 0, 5, "hd01.WAV", 8400, 10100),
    (4, 6, 11, "hd01.WAV", 10090, 11900),       # starts 10 ms before the last ends
    (5, 0, 2, "hd02.wav", 700, 2100),
    (5, 3, 4, "hd02.wav", 2500, 2900),
    (5, 5, 6, "hd02.wav", 2500, 2900),          # the very same times as the row before
    (5, 7, 11, "hd02.wav", 3300, 5600),
    (6, 0, 0, "hd02.wav", 6200, 6700),
    (7, 0, 7, "hd02.wav", 7300, 9800),
    (7, 8, 14, "hd02.wav", 10300, 13000),
]


def word_bounds(text):
    bounds, start = [], 0
    for k, ch in enumerate(text + " "):
        if ch == " ":
            bounds.append((start, k - 1))
            start = k + 1
    return bounds


def rows():
    out = []
    for i, (p, w0, w1, track, start, end) in enumerate(ROW_SPECS):
        bounds = word_bounds(PARAGRAPHS[p])
        out.append(sources.Row(i, p, bounds[w0][0], bounds[w1][1], track, start, end))
    return out


def write(folder):
    """book.txt and rows.tsv in folder; returns their paths."""
    book = os.path.join(folder, "book.txt")
    rows_path = os.path.join(folder, "rows.tsv")
    sources.write_utf16_lines(book, PARAGRAPHS)
    sources.write_rows(rows_path, rows())
    return book, rows_path


def real_edition(folder):
    """book.txt and rows of the real edition model, or None where it is absent."""
    try:
        import model  # the synchronisation model, when it is in the tree
    except ImportError:
        return None
    edition = model.build_edition()
    book = os.path.join(folder, "book.txt")
    with open(book, "wb") as f:
        f.write(edition.book_bytes())
    rows_path = os.path.join(folder, "rows.tsv")
    sources.write_rows(rows_path, [
        sources.Row(r.index, r.paragraph, r.first, r.last, r.track_name, r.start, r.end)
        for r in edition.rows])
    return book, rows_path
