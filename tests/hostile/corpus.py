"""Damaged editions, made from an intact demo slice.

Each case is a folder: the slice's files hard-linked (so that a hundred cases
cost no more room than one), except the ones the case damages, which are
written afresh. A damaging function never writes into a linked file: it
removes the name first, so the slice itself stays intact.

A case also says what the program's settings file holds before the run, in
what surroundings the program runs (no sound device, no web browser) and
which outcomes the runner requires.

Inputs of the wrong kind or size stand where a file should: a link to a
terminal or an endless device, a pipe (with a writer that never writes, or
none), and sparse files past 32 bits of size, which cost no disk.
"""

import os
import random
import shutil
import stat
import struct

BOOK = "book.txt"
TRACK = "hd01.WAV"           # the first page's narration
NEXT_TRACK = "hd02.WAV"
TRANSLATION = "book_t1.txt"  # the first translation menu item
TRANSLATIONS = ["book_t%d.txt" % i for i in range(1, 5)]
PICTURES = ["Linden_Marsh_01.bmp", "Quarrystone_02.bmp", "Tamsin_02.bmp", "Terrace_03.bmp", "Corvane_04.bmp",
            "Parlour_05.bmp", "Osric_Fenn_07.bmp", "Cellar_08.bmp", "Orchard_09.bmp"]
SETTINGS = "velmark.ini"
SHIFT_KEY = "TheHarrowdeneVertshift"
MISSING_BOOK = "Error - the file book.txt is not found."
# The picture the second chapter's page shows, the one the runner can see.
PICTURE = "Quarrystone_02.bmp"
GB = 1 << 30

BOM = b"\xff\xfe"


class Case:
    """One damaged edition and its surroundings.

    purchase: "yes" when the purchase dialog must appear after the right-click,
    "no" when it must not, None when either is acceptable (the outcome is
    reported).  settings: the bytes of velmark.ini before the run (None: no
    file); settings_read_only makes it read-only.  no_sound: no ALSA default
    device.  no_http: no "http" handler registered; web: send the web-page
    commands.  spoken: True when the first words must turn green.
    beside_program: writes files into the folder of a copy of the program,
    which the run starts instead.  heard: the purchase dialog must appear
    unless the first words turn green.  picture: True when the second
    chapter's picture must show, False when it must not.  untitled_ok: the
    window may stay untitled (its start-up then has no end to time).  held:
    every pipe of the case has a writer, which never writes, for the run.
    planted: settings is a function that puts a file of another kind at the
    settings path; the program must neither read it (the view opens at the
    top) nor write it.  scroll: line steps sent after the visit, each of
    which saves the position.
    """

    def __init__(self, name, damage=None, purchase=None, settings=b"[Start]\r\nTheHarrowdeneVertshift=0\r\n",
                 settings_read_only=False, no_sound=False, no_http=False, web=False, spoken=None,
                 title=None, beside_program=None, heard=False, picture=None, untitled_ok=False, held=False,
                 planted=False, scroll=0):
        self.name = name
        self.damage = damage
        self.purchase = purchase
        self.settings = settings
        self.settings_read_only = settings_read_only
        self.no_sound = no_sound
        self.no_http = no_http
        self.web = web
        self.spoken = spoken
        self.title = title
        self.beside_program = beside_program
        self.heard = heard
        self.picture = picture
        self.untitled_ok = untitled_ok
        self.held = held
        self.planted = planted
        self.scroll = scroll


def _replace(folder, name, data):
    path = os.path.join(folder, name)
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.unlink(path)
    with open(path, "wb") as f:
        f.write(data)


def _remove(folder, name):
    os.unlink(os.path.join(folder, name))


def _read(slice_dir, name):
    with open(os.path.join(slice_dir, name), "rb") as f:
        return f.read()


def _utf16(text):
    return BOM + text.encode("utf-16-le", "surrogatepass")


def _noise(seed, n):
    return random.Random(seed).randbytes(n)


# Where a disk file should be: a device (by a link), a pipe, or a sparse
# file of the given size that begins with the file's own bytes.
KINDS = {"ptmx-link": "/dev/ptmx", "zero-link": "/dev/zero", "urandom-link": "/dev/urandom", "fifo-held": None,
         "fifo": None, "sparse-4gb+60": 4 * GB + 60, "sparse-5gb": 5 * GB}


def _plant(path, kind, head):
    if os.path.lexists(path):
        os.unlink(path)
    what = KINDS[kind]
    if isinstance(what, str):
        os.symlink(what, path)
    elif kind.startswith("fifo"):
        os.mkfifo(path)
    else:
        _grow(path, head, what)


def _grow(path, head, size):
    """A new file at path: head, then a hole up to size."""
    if os.path.lexists(path):
        os.unlink(path)
    with open(path, "wb") as f:
        f.write(head)
    os.truncate(path, size)


def _link_next_track(slice_dir, folder):
    """A second track after the first (any track will do): a first track
    cut short then runs on into it silently, rather than into the purchase
    dialog of a missing one, which would pass for the refusal."""
    os.link(os.path.join(slice_dir, TRACK), os.path.join(folder, NEXT_TRACK))


def _kind_cases(slice_dir):
    """Every kind in place of the book, a translation file, the track, one
    picture and all nine, and the settings file; each refused input must
    behave as a missing one."""
    targets = [("book", [BOOK], dict(title=MISSING_BOOK)), ("translation", [TRANSLATION], {}),
               ("track", [TRACK], dict(purchase="yes")), ("picture", [PICTURE], dict(picture=False)),
               ("pictures", PICTURES, dict(picture=False))]
    cases = []
    for target, names, refused in targets:
        for kind in KINDS:
            expect = dict(refused)
            if target == "track" and kind.startswith("sparse"):
                # Refused, or played from its 64-bit size: either is sound.
                expect = dict(heard=True)
            damage = (lambda names, kind: lambda d: [_plant(os.path.join(d, n), kind, _read(slice_dir, n))
                                                     for n in names])(names, kind)
            if target == "track":
                damage = (lambda plant: lambda d: (plant(d), _link_next_track(slice_dir, d)))(damage)
            cases.append(Case("%s-%s" % (target, kind), damage, held=kind == "fifo-held", **expect))
    # The position saved at the head of a large file would move the view.
    head = _settings("[Start]\r\n%s=4000\r\n" % SHIFT_KEY)
    for kind in KINDS:
        plant = (lambda kind: lambda path: _plant(path, kind, head))(kind)
        # Enough steps to fill a pipe's buffer with positions.
        cases.append(Case("settings-" + kind, settings=plant, planted=True, held=kind == "fifo-held", scroll=2400))
    return cases


# --- book.txt ---------------------------------------------------------------

def _book_damages(slice_dir):
    book = _read(slice_dir, BOOK)
    first = book.decode("utf-16-le", "surrogatepass")[1:].split("\r\n")

    def with_paragraphs(paragraphs):
        return lambda d: _replace(d, BOOK, _utf16("\r\n".join(paragraphs) + "\r\n"))

    # Units no code page holds: lone surrogates of both kinds, a non-character,
    # a private-use unit and characters outside the basic plane.
    odd_units = "Harrowdene \ud800 Winter \udfff \uffff \ue000 \U0001F600 \u4e2d\u6587 \u05e9\u05dc\u05d5\u05dd"
    return [
        Case("book-missing", lambda d: _remove(d, BOOK), title=MISSING_BOOK),
        Case("book-empty", lambda d: _replace(d, BOOK, b""), untitled_ok=True),
        Case("book-bom-only", lambda d: _replace(d, BOOK, BOM), untitled_ok=True),
        Case("book-random-bytes", lambda d: _replace(d, BOOK, _noise(1, 65536))),
        Case("book-random-after-bom", lambda d: _replace(d, BOOK, BOM + _noise(2, 65535))),
        Case("book-odd-length", lambda d: _replace(d, BOOK, book + b"\x41")),
        Case("book-odd-length-cut", lambda d: _replace(d, BOOK, book[:len(book) // 2 | 1])),
        Case("book-one-2mb-line", lambda d: _replace(d, BOOK, _utf16(("marsh lantern " * 80000)[:1048576]))),
        Case("book-2mb-line-first", with_paragraphs([("reed " * 210000)[:1048576]] + first[1:])),
        Case("book-100000-blanks", with_paragraphs([first[0], " " * 100000] + first[1:])),
        Case("book-100000-blanks-only", lambda d: _replace(d, BOOK, _utf16(" " * 100000))),
        Case("book-units-outside-code-pages", with_paragraphs([odd_units, odd_units * 200] + first[2:])),
        Case("book-no-bom", lambda d: _replace(d, BOOK, book[2:])),
        Case("book-directory", lambda d: (_remove(d, BOOK), os.mkdir(os.path.join(d, BOOK)))),
        Case("book-5000000-empty-lines", with_paragraphs([first[0]] + [""] * 5000000 + first[1:])),
        Case("book-26-million-character-first-line", with_paragraphs([("marsh lantern " * 1857143)[:26000000]] +
                                                                    first[1:])),
    ]


# --- translation files ------------------------------------------------------

def _records(data):
    lines = data.decode("utf-16-le", "surrogatepass")[1:].split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    return [(lines[i], lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def _join(records):
    return _utf16("".join("%s\r\n%s\r\n" % r for r in records))


def _translation_damages(slice_dir):
    records = _records(_read(slice_dir, TRANSLATION))

    def put(transform, names=(TRANSLATION,)):
        def damage(d):
            for name in names:
                _replace(d, name, transform(_records(_read(slice_dir, name))))
        return damage

    def huge_numbers(rs):
        bad = [("4294967296 0 16", "past 2^32 paragraph"), ("0 4294967297 4294967300", "past 2^32 units"),
               ("99999999999999999999999 1 2", "past 2^64"), ("0 0 18446744073709551615", "last unit 2^64-1"),
               ("-1 -5 -2", "negative"), ("2147483648 2147483647 2147483649", "past 2^31")]
        return _join(bad + rs)

    def beyond_ends(rs):
        bad = [("0 0 100000", "past the title's end"), ("0 500 400", "last before first"),
               ("5 0 4000000", "far past the paragraph"), ("999999 0 3", "past the last paragraph")]
        return _join(bad + rs + [("0 17 17", "just past the title")])

    def long_line(rs):
        return _join([(rs[0][0], "\u0436" * 524288)] + rs[1:])

    def gaps(rs):
        # Every other record gone, and a header with its text line missing.
        kept = rs[::2]
        return _utf16("".join("%s\r\n%s\r\n" % r for r in kept[:5]) + "7 1 3\r\n" +
                      "".join("%s\r\n%s\r\n" % r for r in kept[5:]))

    def shuffled(rs):
        rs = list(rs)
        random.Random(3).shuffle(rs)
        return _join(rs)

    def malformed_headers(rs):
        bad = [("", "empty header"), ("0", "one number"), ("0 1", "two numbers"), ("a b c", "words"),
               ("0 0 16 99", "four numbers"), ("\t0\t0\t16", "tabs"), ("0x10 0 1", "hexadecimal")]
        return _join(bad + rs)

    return [
        Case("translation-random-bytes", lambda d: _replace(d, TRANSLATION, _noise(4, 65536))),
        Case("translation-all-random-bytes", lambda d: [_replace(d, n, _noise(5 + i, 4097))
                                                        for i, n in enumerate(TRANSLATIONS)]),
        Case("translation-headers-out-of-order", put(shuffled, TRANSLATIONS)),
        Case("translation-reversed", put(lambda rs: _join(rs[::-1]))),
        Case("translation-numbers-past-2^32", put(huge_numbers, TRANSLATIONS)),
        Case("translation-malformed-headers", put(malformed_headers)),
        Case("translation-pieces-beyond-ends", put(beyond_ends, TRANSLATIONS)),
        Case("translation-1mb-line", put(long_line)),
        Case("translation-gaps", put(gaps, TRANSLATIONS)),
        Case("translation-empty", lambda d: _replace(d, TRANSLATION, b"")),
        Case("translation-missing", lambda d: [_remove(d, n) for n in TRANSLATIONS]),
        Case("translation-odd-length", lambda d: _replace(d, TRANSLATION, _read(slice_dir, TRANSLATION)[:-1])),
        Case("translation-no-line-end", put(lambda rs: _join(rs)[:-4])),
    ] if records else []


# --- pictures ---------------------------------------------------------------

def _bitmap_header(width, height, bits=24, size_image=0, offset=54, file_size=None):
    row = ((width * bits + 31) // 32) * 4
    image = row * abs(height)
    header = struct.pack("<2sIHHI", b"BM", file_size or (offset + image) & 0xFFFFFFFF, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, size_image, 2835, 2835, 0, 0)
    return header + info


def _palette_bitmap(bits, width, height, header=40, offset=None, colours=(0x808080, 0xFF0000)):
    """A small palette picture whose headers may claim more than it holds.

    header 12 is the core header (3-byte colours); offset None places the
    pixels after the colour table; the file always holds one picture of
    24 x 6 pixels, whatever the sides say."""
    row = ((24 * bits + 31) // 32) * 4
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
        table = b"".join(struct.pack("<I", c)[:3] for c in colours) * ((1 << bits) // len(colours))
    else:
        info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, row * 6, 2835, 2835, len(colours), 0)
        info += bytes(header - 40)
        table = b"".join(struct.pack("<I", c) for c in colours)
    start = 14 + len(info) + len(table)
    pixels = bytes([0x55]) * (row * 6)
    return struct.pack("<2sIHHI", b"BM", start + len(pixels), 0, 0, start if offset is None else offset) + info + \
        table + pixels


def _offset_14_bitmap():
    """One page: 32-bit pixels, 1 x 1020, that fit when counted from the
    pixel offset of 14 but not from the end of the header, where the loader
    counts them from."""
    data = _bitmap_header(1, 1020, bits=32, size_image=4080, offset=14, file_size=4096)
    return data + bytes([0x40]) * (4096 - len(data))


def _rle8_bitmap(width, height, rows):
    """An 8-bit run-length picture of the given sides; rows are its encoded
    rows, each with its end-of-line code."""
    data = b"".join(rows) + b"\x00\x01"
    palette = b"".join(struct.pack("<I", 0xC02060 ^ (i * 0x030507)) for i in range(256))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(data), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    return struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset) + info + palette + data


def _runs(lengths, gap=0):
    """One row of runs of alternating colours, each after a skip of gap
    pixels (a delta code), with its end-of-line code."""
    skip = b"\x00\x02" + bytes([gap, 0]) if gap else b""
    return b"".join(skip + bytes([n, 3 + 6 * (i % 2)]) for i, n in enumerate(lengths)) + b"\x00\x00"


# Pictures whose bytes declare far more than they hold, or whose runs are
# shaped to cost the system's decoder time out of proportion to their size:
# it keeps the pixels the runs cover as a region, one rectangle for each
# stretch of runs, which it adds one at a time, so stretches that neither
# touch in their row nor match the row above cost it with the square of
# their count.
PICTURE_SHAPES = [
    ("rle8-1084-bytes-23170x23170", lambda: _rle8_bitmap(23170, 23170, [_runs([2])])),
    ("rle8-16x65535-one-run-a-row", lambda: _rle8_bitmap(16, 65535, [_runs([16 - 8 * (y % 2)]) for y in range(65535)])),
    ("rle8-64002x16-32000-runs-a-row", lambda: _rle8_bitmap(64002, 16, [_runs([1] * 32000, gap=1)] * 4 +
                                                             [b"\x00\x00"] * 12)),
]
PLAIN_SIDE = 23170  # 24-bit, 1.6 GB of pixels: a hole after the header


def _shape_cases():
    cases = []
    for prefix, names in (("picture", [PICTURE]), ("pictures", PICTURES)):
        for shape, make in PICTURE_SHAPES:
            damage = (lambda names, make: lambda d: [_replace(d, n, make()) for n in names])(names, make)
            cases.append(Case("%s-%s" % (prefix, shape), damage, picture=False))
        head = _bitmap_header(PLAIN_SIDE, PLAIN_SIDE)
        size = len(head) + ((PLAIN_SIDE * 24 + 31) // 32) * 4 * PLAIN_SIDE
        cases.append(Case("%s-sparse-24bit-%dx%d" % (prefix, PLAIN_SIDE, PLAIN_SIDE),
                          (lambda names: lambda d: [_grow(os.path.join(d, n), head, size) for n in names])(names),
                          picture=False))
    return cases


def _picture_damages(slice_dir):
    def all_pictures(make):
        def damage(d):
            for name in PICTURES:
                data = make(_read(slice_dir, name))
                if data is None:
                    _remove(d, name)
                else:
                    _replace(d, name, data)
        return damage

    return [
        Case("picture-missing", all_pictures(lambda b: None), picture=False),
        Case("picture-zero-bytes", all_pictures(lambda b: b"")),
        Case("picture-truncated-header", all_pictures(lambda b: b[:30])),
        Case("picture-truncated-pixels", all_pictures(lambda b: b[:len(b) // 3])),
        Case("picture-not-a-bitmap", all_pictures(lambda b: b"GIF89a" + _noise(6, 4000))),
        Case("picture-60000x60000", all_pictures(lambda b: _bitmap_header(60000, 60000) + b[54:])),
        Case("picture-60000x60000-top-down", all_pictures(lambda b: _bitmap_header(60000, -60000) + b[54:])),
        Case("picture-offset-past-end", all_pictures(lambda b: b[:10] + struct.pack("<I", 0x7FFFFFF0) + b[14:])),
        Case("picture-zero-width", all_pictures(lambda b: _bitmap_header(0, 100) + b[54:])),
        Case("picture-bad-bit-count", all_pictures(lambda b: _bitmap_header(400, 300, bits=7) + b[54:])),
        Case("picture-directory", lambda d: [(_remove(d, n), os.mkdir(os.path.join(d, n))) for n in PICTURES]),
        # Palette pictures whose pixels, as the headers describe them, lie
        # past the end of the file.
        Case("picture-1bit-8000x8000", all_pictures(lambda b: _palette_bitmap(1, 8000, 8000))),
        Case("picture-8bit-8000x8000", all_pictures(lambda b: _palette_bitmap(8, 8000, 8000))),
        Case("picture-1bit-v4-offset-past-end",
             all_pictures(lambda b: _palette_bitmap(1, 24, 6, header=108, offset=0x7FFFFFF0))),
        Case("picture-4bit-core-offset-past-end",
             all_pictures(lambda b: _palette_bitmap(4, 24, 6, header=12, offset=0x7FFFFFF0))),
        Case("picture-8bit-core-8000x8000", all_pictures(lambda b: _palette_bitmap(8, 8000, 8000, header=12))),
        Case("picture-offset-14", all_pictures(lambda b: _offset_14_bitmap())),
        # Good pictures in the edition, damaged ones of the same names beside
        # the program, where the loader would look first for a bare name.
        Case("pictures-damaged-beside-program",
             beside_program=lambda d: [_replace(d, n, _offset_14_bitmap()) for n in PICTURES]),
    ]


# --- tracks -----------------------------------------------------------------

def _chunks(wav):
    """(id, offset of the chunk's header, size) of the chunks inside RIFF WAVE."""
    out, at = [], 12
    while at + 8 <= len(wav):
        cid, size = wav[at:at + 4], struct.unpack("<I", wav[at + 4:at + 8])[0]
        out.append((cid, at, size))
        at += 8 + size + (size & 1)
    return out


def _track_damages(slice_dir):
    wav = _read(slice_dir, TRACK)
    chunks = {cid: (at, size) for cid, at, size in _chunks(wav)}
    fmt_at, fmt_size = chunks[b"fmt "]
    data_at, data_size = chunks[b"data"]
    channels, rate, per_second, align, bits = struct.unpack("<HIIHH", wav[fmt_at + 10:fmt_at + 24])

    def with_format(tag=1, channels_=channels, rate_=rate, per_second_=per_second, align_=align, bits_=bits):
        fmt = struct.pack("<HHIIHH", tag, channels_, rate_, per_second_, align_, bits_)
        return wav[:fmt_at + 8] + fmt + wav[fmt_at + 8 + 16:]

    def with_data_size(size):
        return wav[:data_at + 4] + struct.pack("<I", size) + wav[data_at + 8:]

    def track(make):
        return lambda d: _replace(d, TRACK, make())

    return [
        Case("track-missing", lambda d: _remove(d, TRACK), purchase="yes"),
        Case("track-zero-bytes", track(lambda: b""), purchase="yes"),
        Case("track-riff-header-only", track(lambda: wav[:12]), purchase="yes"),
        Case("track-truncated-in-fmt", track(lambda: wav[:fmt_at + 8 + 6]), purchase="yes"),
        Case("track-truncated-in-data", track(lambda: wav[:data_at + 8 + 1001])),
        Case("track-truncated-after-data-header", track(lambda: wav[:data_at + 8])),
        Case("track-data-size-past-end", track(lambda: with_data_size(data_size * 4))),
        Case("track-data-size-2^32-1", track(lambda: with_data_size(0xFFFFFFFF))),
        Case("track-0-bytes-per-second", track(lambda: with_format(per_second_=0))),
        Case("track-1-byte-per-second", track(lambda: with_format(per_second_=1))),
        Case("track-0-rate-0-align", track(lambda: with_format(rate_=0, per_second_=0, align_=0))),
        Case("track-compressed-format", track(lambda: with_format(tag=0x0055))),
        Case("track-adpcm-format", track(lambda: with_format(tag=0x0002))),
        Case("track-8-channels", track(lambda: with_format(channels_=8, per_second_=per_second * 8, align_=align * 8))),
        Case("track-0-channels", track(lambda: with_format(channels_=0))),
        Case("track-no-data-chunk", track(lambda: wav[:data_at]), purchase="yes"),
        Case("track-not-wave", track(lambda: b"RIFF" + wav[4:8] + b"AVI " + wav[12:4096]), purchase="yes"),
        Case("track-directory", lambda d: (_remove(d, TRACK), os.mkdir(os.path.join(d, TRACK))), purchase="yes"),
        Case("track-random-bytes", track(lambda: _noise(7, 65536)), purchase="yes"),
    ]


# --- settings and surroundings ----------------------------------------------

def _settings(text):
    return text.encode("ascii") if isinstance(text, str) else text


def _settings_cases():
    def shift(value):
        return _settings("[Start]\r\n%s=%s\r\n" % (SHIFT_KEY, value))

    return [
        Case("settings-negative-shift", settings=shift("-300")),
        Case("settings-most-negative-shift", settings=shift("-2147483648")),
        Case("settings-huge-shift", settings=shift("99999999999999999999")),
        Case("settings-int-max-shift", settings=shift("2147483647")),
        Case("settings-past-document-shift", settings=shift("90000000")),
        Case("settings-non-numeric-shift", settings=shift("marsh")),
        Case("settings-empty-shift", settings=shift("")),
        Case("settings-random-bytes", settings=_noise(8, 3000)),
        Case("settings-missing", settings=None),
        Case("settings-read-only", settings=shift("400"), settings_read_only=True),
    ]


def _surroundings_cases():
    return [
        Case("intact", purchase="no", spoken=True, picture=True),
        Case("no-sound-device", no_sound=True),
        Case("no-http-handler", no_http=True, web=True),
    ]


def all_cases(slice_dir):
    return (_surroundings_cases() + _book_damages(slice_dir) + _translation_damages(slice_dir) +
            _picture_damages(slice_dir) + _track_damages(slice_dir) + _settings_cases() + _kind_cases(slice_dir) +
            _shape_cases())


def make_case_folder(slice_dir, case, folder):
    """The slice hard-linked into folder, then damaged."""
    if os.path.exists(folder):
        shutil.rmtree(folder, onerror=_writable_then_retry)
    os.makedirs(folder)
    for name in os.listdir(slice_dir):
        source = os.path.join(slice_dir, name)
        if name.startswith(".") or not os.path.isfile(source):
            continue
        try:
            os.link(source, os.path.join(folder, name))
        except OSError:
            shutil.copyfile(source, os.path.join(folder, name))
    if case.damage is not None:
        case.damage(folder)


def _writable_then_retry(function, path, _):
    os.chmod(path, stat.S_IWUSR | stat.S_IRUSR | stat.S_IXUSR)
    function(path)
