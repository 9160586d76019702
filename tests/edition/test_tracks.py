import dataclasses
import multiprocessing
import os
import signal
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import fixture  # noqa: E402
import sources  # noqa: E402
import tracks  # noqa: E402

WINDOW_MS = 5
SPEECH_RMS = 1.0      # 8-bit units around the mid level 128
SILENCE_RMS = 0.5
EDGE_MS = 20          # resampling may ring this far beyond speech


def read_wav(path):
    """Reads a track the way the player does: RIFF "WAVE", at most 18 bytes of
    "fmt ", then the "data" chunk's size and position."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("no RIFF WAVE")
    chunks, at = {}, 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack_from("<I", data, at + 4)[0]
        chunks.setdefault(tag, (at + 8, size))
        at += 8 + size + (size & 1)
    fmt_at, fmt_size = chunks[b"fmt "]
    record = data[fmt_at:fmt_at + min(fmt_size, 18)].ljust(18, b"\0")
    tag, channels, rate, per_second, align, bits, extra = struct.unpack("<HHIIHHH", record)
    data_at, data_size = chunks[b"data"]
    return dict(tag=tag, channels=channels, rate=rate, per_second=per_second, align=align,
                bits=bits, extra=extra, fmt_size=fmt_size, data_size=data_size,
                samples=data[data_at:data_at + data_size],
                duration_ms=data_size // (per_second // 1000))


def rms(samples, from_ms, to_ms):
    part = samples[max(0, from_ms) * 16:max(0, to_ms) * 16]
    if not part:
        return 0.0
    return (sum((x - 128) ** 2 for x in part) / len(part)) ** 0.5


def speech_onset(samples, start_ms, end_ms):
    """First window, from 100 ms before start on, whose energy is speech."""
    for t in range(start_ms - 100, end_ms, WINDOW_MS):
        if rms(samples, t, t + WINDOW_MS) >= SPEECH_RMS:
            return t
    return None


class TrackChecks:
    def check_track(self, path, rows):
        wav = read_wav(path)
        self.assertEqual((wav["tag"], wav["channels"], wav["bits"], wav["align"]), (1, 1, 8, 1))
        self.assertEqual(wav["per_second"], wav["rate"] * wav["align"])
        self.assertLessEqual(wav["fmt_size"], 18)
        self.assertEqual(wav["extra"], 0)
        last_end = max(r.end_ms for r in rows)
        self.assertGreaterEqual(wav["duration_ms"], last_end)
        self.assertLessEqual(wav["duration_ms"], last_end + 2000)
        samples = wav["samples"]
        for row in rows:
            onset = speech_onset(samples, row.start_ms, row.end_ms)
            self.assertIsNotNone(onset, f"row {row.index}: no speech")
            self.assertLessEqual(abs(onset - row.start_ms), 100,
                                 f"row {row.index}: speech starts at {onset} ms, row at {row.start_ms}")
            windows = range(row.start_ms, row.end_ms - WINDOW_MS, WINDOW_MS)
            loud = sum(1 for t in windows if rms(samples, t, t + WINDOW_MS) >= SPEECH_RMS)
            self.assertGreater(loud, 0.25 * len(windows), f"row {row.index}: mostly silent")
        for before, after in zip(rows, rows[1:]):
            if after.start_ms - before.end_ms > 2 * EDGE_MS + WINDOW_MS:
                level = rms(samples, before.end_ms + EDGE_MS, after.start_ms - EDGE_MS)
                self.assertLess(level, SILENCE_RMS,
                                f"sound between rows {before.index} and {after.index}")
        self.assertLess(rms(samples, last_end + EDGE_MS, wav["duration_ms"]), SILENCE_RMS)


class SmallBookTracksTest(unittest.TestCase, TrackChecks):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.book, cls.rows_path = fixture.write(cls.folder.name)
        # One process at a time, so that a process making both would make one after the other.
        cls.made = tracks.write_tracks(cls.book, cls.rows_path, cls.folder.name, jobs=1,
                                       log=lambda *_: None)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_tracks_carry_the_names_of_the_rows(self):
        self.assertEqual(sorted(self.made), ["hd01.WAV", "hd02.wav"])
        self.assertTrue(os.path.exists(os.path.join(self.folder.name, "hd02.wav")))

    def test_speech_sits_in_each_row_and_silence_between(self):
        for name, rows in sources.tracks_of(fixture.rows()).items():
            with self.subTest(track=name):
                self.check_track(os.path.join(self.folder.name, name), rows)

    def test_each_track_sounds_as_if_made_alone(self):
        for number, name in enumerate(sources.tracks_of(fixture.rows()), 1):
            with self.subTest(track=name), tempfile.TemporaryDirectory() as alone:
                tracks.write_tracks(self.book, self.rows_path, alone, str(number),
                                    log=lambda *_: None)
                with open(os.path.join(alone, name), "rb") as a, \
                        open(os.path.join(self.folder.name, name), "rb") as b:
                    self.assertEqual(a.read(), b.read())
        # The processes fork from here: none may inherit a library that has spoken.
        with open("/proc/self/maps", encoding="utf-8") as maps:
            self.assertEqual([line for line in maps if tracks.LIBRARY in line], [])

    def test_a_track_whose_process_dies_or_hangs_ends_the_run(self):
        def kill_the_others_when_hd02_is_made(line):
            if "hd02.wav" in line:
                for child in multiprocessing.active_children():
                    os.kill(child.pid, signal.SIGSEGV)
        # A FIFO where a track's file goes holds its process until it is killed.
        cases = [(["hd01.WAV"], 2, tracks.TIMEOUT_S, kill_the_others_when_hd02_is_made,
                  "hd01.WAV: its process was killed by SIGSEGV"),
                 (["hd01.WAV", "hd02.wav"], 1, 1, lambda _: None, "hd02.wav: no result after 1 s")]
        for held, jobs, timeout, log, message in cases:
            with self.subTest(message), tempfile.TemporaryDirectory() as folder:
                for name in held:
                    os.mkfifo(os.path.join(folder, name + ".tmp"))
                with self.assertRaisesRegex(tracks.TrackError, message):
                    tracks.write_tracks(self.book, self.rows_path, folder, jobs=jobs, log=log,
                                        timeout=timeout)
                self.assertEqual(multiprocessing.active_children(), [])

    def test_unchanged_tracks_are_reused_and_a_changed_one_remade(self):
        self.assertEqual(tracks.write_tracks(self.book, self.rows_path, self.folder.name,
                                             log=lambda *_: None), [])
        with tempfile.TemporaryDirectory() as other:
            rows = fixture.rows()
            moved = dataclasses.replace(rows[-1], start_ms=rows[-1].start_ms + 100)
            rows_path = os.path.join(other, "rows.tsv")
            sources.write_rows(rows_path, rows[:-1] + [moved])
            made = tracks.write_tracks(self.book, rows_path, self.folder.name, log=lambda *_: None)
            self.assertEqual(made, ["hd02.wav"])
            # Back to the original rows for the other tests of this class.
            made = tracks.write_tracks(self.book, self.rows_path, self.folder.name,
                                       log=lambda *_: None)
            self.assertEqual(made, ["hd02.wav"])


class DemoTrackTest(unittest.TestCase, TrackChecks):
    """One real track, where the extension changes case, checked like the others."""

    def test_track_35_of_the_demo_edition(self):
        with tempfile.TemporaryDirectory() as folder:
            made = fixture.real_edition(folder)
            if made is None:
                self.skipTest("edition model not in the tree")
            book, rows_path = made
            rows = sources.read_rows(rows_path)
            names = list(sources.tracks_of(rows))
            expected = [f"hd{n:02d}.WAV" for n in range(1, 35)] + \
                       [f"hd{n:02d}.wav" for n in range(35, 58)]
            self.assertEqual(names, expected)
            self.assertEqual(tracks.write_tracks(book, rows_path, folder, "35",
                                                 log=lambda *_: None), ["hd35.wav"])
            self.check_track(os.path.join(folder, "hd35.wav"),
                             sources.tracks_of(rows)["hd35.wav"])


class HelpersTest(unittest.TestCase):
    def test_track_selection(self):
        cases = [(None, 4, [1, 2, 3, 4]), ("2", 4, [2]), ("1-2,4", 4, [1, 2, 4]),
                 ("3-9", 5, [3, 4, 5]), ("0,6", 5, [])]
        for text, count, expected in cases:
            with self.subTest(text=text):
                self.assertEqual(tracks.parse_selection(text, count), expected)

    def test_rows_with_the_same_times_say_both_texts(self):
        rows = fixture.rows()
        pairs = [(r, fixture.PARAGRAPHS[r.paragraph][r.first:r.last + 1]) for r in rows[6:10]]
        units = tracks.spoken_units(pairs)
        self.assertEqual([u[2] for u in units],
                         ["Night fell early;", "the road was dark", "and the bell was quiet."])
        self.assertEqual(units[1][:2], (2500, 2900))


if __name__ == "__main__":
    unittest.main()
