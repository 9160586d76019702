"""Reading and writing the inputs the edition generators share.

The generators of translations, pictures and tracks depend only on two files:
"book.txt" as the program reads it, and the synchronisation rows as
tab-separated lines (one row per line: row, paragraph, firstChar, lastChar,
isSet, track file, track name length, start h m s ms, end h m s ms).
"""

from dataclasses import dataclass
import os

BOM = "\ufeff"


@dataclass(frozen=True)
class Row:
    index: int
    paragraph: int
    first: int
    last: int
    track: str
    start_ms: int
    end_ms: int


def read_utf16_lines(path):
    """Paragraph texts of a UTF-16LE file with a byte-order mark, CR LF lines.

    Each text is returned without its CR LF, so unit k of paragraph p is
    text[k], exactly the position the rows and translation headers name.
    """
    with open(path, "rb") as f:
        data = f.read()
    units = data[2:len(data) - (len(data) % 2)]
    text = units.decode("utf-16-le", errors="surrogatepass")
    lines = text.split("\n")
    return [line[:-1] if line.endswith("\r") else line for line in lines]


def write_utf16_lines(path, lines):
    """Writes lines as UTF-16LE with a byte-order mark, each ending in CR LF."""
    body = "".join(line + "\r\n" for line in lines)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(BOM.encode("utf-16-le"))
        f.write(body.encode("utf-16-le", errors="surrogatepass"))
    os.replace(tmp, path)


def _ms(h, m, s, ms):
    return int(ms) + 1000 * (int(s) + 60 * (int(m) + 60 * int(h)))


def parse_rows(lines):
    rows = []
    for number, line in enumerate(lines, 1):
        line = line.rstrip("\r\n")
        if not line.strip():
            continue
        f = line.split("\t")
        if len(f) != 15:
            raise ValueError(f"rows line {number}: {len(f)} fields, 15 expected")
        rows.append(Row(int(f[0]), int(f[1]), int(f[2]), int(f[3]), f[5],
                        _ms(*f[7:11]), _ms(*f[11:15])))
    return rows


def read_rows(path):
    with open(path, encoding="utf-8") as f:
        return parse_rows(f)


def format_row(row):
    """One line in the rows format, for fixtures and for dumping a model."""
    def hmsm(t):
        return [t // 3600000, t // 60000 % 60, t // 1000 % 60, t % 1000]
    fields = [row.index, row.paragraph, row.first, row.last, 1, row.track,
              len(row.track) + 1] + hmsm(row.start_ms) + hmsm(row.end_ms)
    return "\t".join(str(x) for x in fields)


def write_rows(path, rows):
    with open(path, "w", encoding="utf-8") as f:
        for row in rows:
            f.write(format_row(row) + "\n")


def tracks_of(rows):
    """Track name -> its rows in table order; names in order of first use."""
    tracks = {}
    for row in rows:
        tracks.setdefault(row.track, []).append(row)
    return tracks


def is_up_to_date(target, sources):
    """True when target exists and is not older than any source file."""
    try:
        t = os.path.getmtime(target)
    except OSError:
        return False
    return all(os.path.getmtime(s) <= t for s in sources)
