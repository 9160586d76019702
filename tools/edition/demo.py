"""Completes a demo edition folder that already holds "book.txt" and the rows.

Adds the translation files, the chapter pictures and the narration tracks.
Translations and pictures take under a second and are always rewritten; the
tracks are spoken only where missing or stale, so a second run costs little.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pictures  # noqa: E402
import sources  # noqa: E402
import tracks  # noqa: E402
import translations  # noqa: E402

# The rows as syncdump prints them, kept beside the edition's files; the
# program does not read it.
ROWS_FILE = ".rows.tsv"


def complete(out, track_selection=None, with_tracks=True, jobs=None, log=print):
    book = os.path.join(out, "book.txt")
    rows_path = os.path.join(out, ROWS_FILE)
    paragraphs = sources.read_utf16_lines(book)
    rows = sources.read_rows(rows_path)
    for row in rows:
        text = paragraphs[row.paragraph] if row.paragraph < len(paragraphs) else ""
        if not 0 <= row.first <= row.last < len(text):
            log(f"row {row.index} lies outside paragraph {row.paragraph} of book.txt")
            return 1
    _, count = translations.write_translations(book, out)
    pictures.write_pictures(out, book)
    log(f"demo edition in {out}: book.txt, 4 translation files of {count} pieces, "
        f"{len(pictures.PICTURE_TABLE)} pictures")
    if with_tracks:
        began = time.monotonic()
        try:
            made = tracks.write_tracks(book, rows_path, out, track_selection, jobs, log)
        except tracks.TrackError as error:
            print(f"narration tracks: {error}", file=sys.stderr)
            return 1
        if made:
            log(f"{len(made)} track(s) spoken in {time.monotonic() - began:.1f} s")
        else:
            log("narration tracks up to date")
    return 0
