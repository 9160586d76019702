"""Narration tracks of the demo edition, spoken by espeak-ng.

Every row's own stretch of text is synthesised and fitted between the row's
start and end: the speaking rate is chosen for the stretch, leading and
trailing silence of the synthesiser is cut, and speech that still runs long
is faded out at the row's end. Between rows the track is silent, so what is
heard is what is highlighted. A track lasts until its last row ends, plus a
short tail.

Output: RIFF WAVE, PCM 16000 Hz, 8-bit unsigned, mono (16 bytes per
millisecond, so every track time is a whole byte offset), with an 18-byte
"fmt " chunk whose extra size is 0, as the player reads up to 18 bytes of it.
Each track is regenerated only when its rows, their text or this generator's
settings change.
"""

import argparse
import array
import hashlib
import json
import multiprocessing
import os
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sources  # noqa: E402

VOICE = "en-gb"
SYNTH_RATE = 22050           # what espeak-ng produces
OUT_RATE = 16000
TAIL_MS = 500
SILENCE_THRESHOLD = 300      # of 32767: below this the synthesiser is silent
SPEED_RANGE = (100, 450)     # words per minute espeak-ng accepts usefully
FILL_RANGE = (0.70, 0.95)    # share of a row's time the speech should take
FADE_MS = 12
STAMP_FILE = ".tracks.json"
VERSION = 1                  # raise when the sound of a track changes


def synthesise(text, speed):
    """Mono 16-bit samples at SYNTH_RATE for text, spoken at speed."""
    result = subprocess.run(
        ["espeak-ng", "-v", VOICE, "-s", str(speed), "-z", "--stdout", "--stdin"],
        input=text.encode("utf-8"), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
        check=True)
    data = result.stdout
    at = data.find(b"data", 12)
    payload = data[at + 8:] if at >= 0 else b""
    samples = array.array("h")
    samples.frombytes(payload[:len(payload) - len(payload) % 2])
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def trim_silence(samples):
    loud = [i for i in range(0, len(samples), 8) if abs(samples[i]) > SILENCE_THRESHOLD]
    if not loud:
        return array.array("h")
    first = max(0, loud[0] - 8)
    last = min(len(samples), loud[-1] + 8)
    while first < last and abs(samples[first]) <= SILENCE_THRESHOLD // 4 and first < loud[0]:
        first += 1
    return samples[first:last]


def fade_to(samples, length):
    """Cuts samples to length, fading the last FADE_MS out."""
    cut = samples[:length]
    fade = min(len(cut), SYNTH_RATE * FADE_MS // 1000)
    for k in range(fade):
        i = len(cut) - fade + k
        cut[i] = int(cut[i] * (fade - k) / fade)
    return cut


def speak_within(text, duration_ms):
    """Speech for text that fits into duration_ms, and the rate chosen."""
    room = duration_ms * SYNTH_RATE // 1000
    low, high = room * FILL_RANGE[0], room * FILL_RANGE[1]
    # The synthesiser's default 175 words per minute speaks about 16 units a second.
    speed = 175 * len(text) / max(0.05, duration_ms / 1000) / 16 / 0.85
    best = None
    for _ in range(3):
        speed = int(min(max(speed, SPEED_RANGE[0]), SPEED_RANGE[1]))
        speech = trim_silence(synthesise(text, speed))
        if not speech:
            return speech, speed
        best = (speech, speed)
        n = len(speech)
        if low <= n <= high:
            break
        if n > high and speed >= SPEED_RANGE[1]:
            break
        if n < low and speed <= SPEED_RANGE[0]:
            break
        speed = speed * n / ((low + high) / 2)
    speech, speed = best
    if len(speech) > room:
        speech = fade_to(speech, room)
    return speech, speed


def spoken_units(rows):
    """(start, end, text) per stretch to speak in one track.

    Rows with the very same times share one stretch of sound, which the
    player plays once per row: it says the text of all of them."""
    units = []
    for row, text in rows:
        if units and units[-1][0] == row.start_ms and units[-1][1] == row.end_ms:
            units[-1] = (row.start_ms, row.end_ms, units[-1][2] + " " + text)
        else:
            units.append((row.start_ms, row.end_ms, text))
    return units


def track_length_ms(rows):
    return max(row.end_ms for row, _ in rows) + TAIL_MS


def render_track(rows):
    """8-bit unsigned samples at OUT_RATE for one track's (row, text) pairs."""
    total_ms = track_length_ms(rows)
    buffer = array.array("h", bytes(2 * (total_ms * SYNTH_RATE // 1000 + 1)))
    for start, end, text in spoken_units(rows):
        speech, _ = speak_within(text, end - start)
        at = start * SYNTH_RATE // 1000
        buffer[at:at + len(speech)] = speech
    raw = buffer.tobytes() if sys.byteorder == "little" else _swapped(buffer)
    # sox resamples with a proper low-pass; no dither, so silence stays exactly 128.
    result = subprocess.run(
        ["sox", "-t", "raw", "-r", str(SYNTH_RATE), "-e", "signed-integer", "-b", "16",
         "-c", "1", "-", "-t", "raw", "-r", str(OUT_RATE), "-e", "unsigned-integer",
         "-b", "8", "-c", "1", "-D", "-"],
        input=raw, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    size = total_ms * OUT_RATE // 1000
    return result.stdout[:size].ljust(size, b"\x80")


def _swapped(buffer):
    copy = array.array("h", buffer)
    copy.byteswap()
    return copy.tobytes()


def wav_bytes(pcm):
    fmt = struct.pack("<HHIIHHH", 1, 1, OUT_RATE, OUT_RATE, 1, 8, 0)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"data" + struct.pack("<I", len(pcm)) + pcm + (b"\0" if len(pcm) % 2 else b"")
    return b"RIFF" + struct.pack("<I", len(body)) + body


def fingerprint(rows):
    h = hashlib.sha256(repr((VERSION, VOICE, OUT_RATE, TAIL_MS, FILL_RANGE)).encode())
    for row, text in rows:
        h.update(repr((row.start_ms, row.end_ms, text)).encode())
    return h.hexdigest()


def _make_track(job):
    name, rows, path = job
    began = time.monotonic()
    data = wav_bytes(render_track(rows))
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)
    return name, fingerprint(rows), time.monotonic() - began


def track_texts(paragraphs, rows):
    """Track name -> [(row, the row's text)], in table order."""
    out = {}
    for name, track_rows in sources.tracks_of(rows).items():
        out[name] = [(r, paragraphs[r.paragraph][r.first:r.last + 1]) for r in track_rows]
    return out


def parse_selection(text, count):
    """Track numbers from "1-3,7" (1-based); all tracks for None."""
    if not text:
        return list(range(1, count + 1))
    chosen = set()
    for part in text.split(","):
        lo, _, hi = part.partition("-")
        chosen.update(range(int(lo), int(hi or lo) + 1))
    return sorted(n for n in chosen if 1 <= n <= count)


def write_tracks(book_path, rows_path, out_dir, selection=None, jobs=None, log=print):
    """Writes the selected tracks that are missing or stale; returns their names."""
    paragraphs = sources.read_utf16_lines(book_path)
    rows = sources.read_rows(rows_path)
    texts = track_texts(paragraphs, rows)
    names = list(texts)
    stamp_path = os.path.join(out_dir, STAMP_FILE)
    try:
        with open(stamp_path, encoding="utf-8") as f:
            stamps = json.load(f)
    except (OSError, ValueError):
        stamps = {}
    todo = []
    for number in parse_selection(selection, len(names)):
        name = names[number - 1]
        path = os.path.join(out_dir, name)
        if stamps.get(name) == fingerprint(texts[name]) and os.path.exists(path):
            continue
        todo.append((name, texts[name], path))
    if todo:
        log(f"speaking {len(todo)} track(s) with espeak-ng ...")
        with multiprocessing.Pool(jobs or os.cpu_count()) as pool:
            # Longest first, so that no long track starts last.
            todo.sort(key=lambda job: -len(job[1]))
            for name, digest, seconds in pool.imap_unordered(_make_track, todo):
                stamps[name] = digest
                log(f"  {name} {seconds:.1f} s")
                with open(stamp_path + ".tmp", "w", encoding="utf-8") as f:
                    json.dump(stamps, f, indent=0, sort_keys=True)
                os.replace(stamp_path + ".tmp", stamp_path)
    return [job[0] for job in todo]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--book", required=True, help='"book.txt"')
    parser.add_argument("--rows", required=True, help="rows, tab-separated")
    parser.add_argument("--out", required=True, help="edition folder")
    parser.add_argument("--tracks", help='track numbers, e.g. "1-2" (default: all)')
    parser.add_argument("--jobs", type=int, help="parallel processes (default: CPUs)")
    args = parser.parse_args(argv)
    began = time.monotonic()
    made = write_tracks(args.book, args.rows, args.out, args.tracks, args.jobs)
    print(f"{len(made)} track(s) written in {time.monotonic() - began:.1f} s")


if __name__ == "__main__":
    main()
