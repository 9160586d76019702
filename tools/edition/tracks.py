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
Each track is regenerated only when its rows, their text, this generator's
settings or the espeak-ng library change.
"""

import argparse
import array
import ctypes
import hashlib
import json
import multiprocessing
import multiprocessing.connection
import os
import signal
import struct
import subprocess
import sys
import time
import traceback

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
VERSION = 2                  # raise when the sound of a track changes
LIBRARY = "libespeak-ng.so.1"
# A track takes about a second; this much is a process that hangs, even on a busy machine.
TIMEOUT_S = 30


# From espeak-ng's speak_lib.h.
_AUDIO_OUTPUT_SYNCHRONOUS = 2
_INITIALIZE_DONT_EXIT = 0x8000
_POS_CHARACTER = 1
_CHARS_UTF8 = 1
_RATE = 1
_EE_OK = 0
# What the library reads as it starts, and the dictionary of VOICE's language.
_DATA_FILES = ("phontab", "phonindex", "phondata", "intonations", "en_dict")


class _Voice(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("languages", ctypes.c_char_p),
                ("identifier", ctypes.c_char_p), ("gender", ctypes.c_ubyte),
                ("age", ctypes.c_ubyte), ("variant", ctypes.c_ubyte), ("xx1", ctypes.c_ubyte),
                ("score", ctypes.c_int), ("spare", ctypes.c_void_p)]


_SynthCallback = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.POINTER(ctypes.c_short), ctypes.c_int,
                                  ctypes.c_void_p)


class TrackError(RuntimeError):
    """Why the tracks could not be made, in one line."""


def _load_library():
    try:
        lib = ctypes.CDLL(LIBRARY)
    except OSError as error:
        # The loader names the file it could not open: this one, or one it needs.
        if str(error).startswith(LIBRARY + ": cannot open shared object file"):
            raise RuntimeError(f"{LIBRARY} is not on the loader's path: install the Debian package "
                               "libespeak-ng1, or add the folder that holds it to "
                               "LD_LIBRARY_PATH") from error
        raise RuntimeError(f"{LIBRARY} was found but could not start: {error}") from error
    lib.espeak_Initialize.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
    lib.espeak_ng_InitializePath.argtypes = [ctypes.c_char_p]
    lib.espeak_ng_Initialize.argtypes = [ctypes.c_void_p]
    lib.espeak_ng_GetStatusCodeMessage.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t]
    lib.espeak_Info.argtypes = [ctypes.POINTER(ctypes.c_char_p)]
    lib.espeak_Info.restype = ctypes.c_char_p
    lib.espeak_SetSynthCallback.argtypes = [_SynthCallback]
    lib.espeak_SetVoiceByName.argtypes = [ctypes.c_char_p]
    lib.espeak_SetVoiceByProperties.argtypes = [ctypes.POINTER(_Voice)]
    lib.espeak_SetParameter.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_int]
    lib.espeak_Synth.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_uint, ctypes.c_int,
                                 ctypes.c_uint, ctypes.c_uint, ctypes.c_void_p, ctypes.c_void_p]
    return lib


def _select_voice(lib):
    # "en-gb" is a language rather than a voice's name in some versions;
    # the espeak-ng program then looks the voice up by language, and so do we.
    if lib.espeak_SetVoiceByName(VOICE.encode()) != _EE_OK:
        wanted = _Voice(languages=VOICE.encode())
        if lib.espeak_SetVoiceByProperties(ctypes.byref(wanted)) != _EE_OK:
            raise RuntimeError(f"no voice {VOICE}: the voices come with the Debian package "
                               "espeak-ng-data")


def library_identity(_=None):
    """espeak-ng's version and a digest of its library file, which every
    track's stamp includes; RuntimeError if it cannot speak, saying which
    package is missing.

    Call it in a process of its own: once initialised, the library speaks
    differently from a fresh one (see _Synthesiser)."""
    lib = _load_library()
    lib.espeak_ng_InitializePath(None)
    data = ctypes.c_char_p()
    version = lib.espeak_Info(ctypes.byref(data)).decode()
    data = data.value.decode()
    # Unlike espeak_Initialize, this prints nothing: the one line below says it all.
    status = lib.espeak_ng_Initialize(ctypes.byref(ctypes.c_void_p()))
    if status != _EE_OK:
        if not all(os.path.isfile(os.path.join(data, name)) for name in _DATA_FILES):
            raise RuntimeError(f"no voice data in {data}: install the Debian package "
                               "espeak-ng-data")
        message = ctypes.create_string_buffer(256)
        lib.espeak_ng_GetStatusCodeMessage(status, message, len(message))
        raise RuntimeError(f"the library ({version}) was found but could not start: "
                           f"{message.value.decode()}")
    rate = lib.espeak_ng_GetSampleRate()
    if rate != SYNTH_RATE:
        raise RuntimeError(f"the library ({version}) speaks at {rate} Hz, not {SYNTH_RATE}")
    _select_voice(lib)
    # The version alone stays the same across a distribution's patched builds.
    with open("/proc/self/maps", encoding="utf-8") as maps:
        path = next(line.split(None, 5)[5].strip() for line in maps if LIBRARY in line)
    with open(path, "rb") as f:
        return version, hashlib.sha256(f.read()).hexdigest()


class _Synthesiser:
    """espeak-ng's library, loaded into this process.

    Starting the espeak-ng program for every stretch of text cost far more
    than the speech itself. The library's wave generator carries on from one
    text to the next, so what it says depends on what it said before, and it
    cannot be reset (initialising it again spoils its output; terminating it a
    second time hangs). Each track is therefore made in a process of its own,
    from a freshly initialised library, so that its sound does not depend on
    which tracks a worker happened to make before."""

    def __init__(self):
        lib = _load_library()
        # Not ended by the library when it fails: library_identity, run before
        # any track, names the usual causes; the checks here are a last resort.
        rate = lib.espeak_Initialize(_AUDIO_OUTPUT_SYNCHRONOUS, 0, None, _INITIALIZE_DONT_EXIT)
        if rate != SYNTH_RATE:
            raise RuntimeError(f"espeak-ng speaks at {rate} Hz, not {SYNTH_RATE}")
        self._chunks = []
        self._callback = _SynthCallback(self._collect)   # kept: the library holds only a pointer
        lib.espeak_SetSynthCallback(self._callback)
        _select_voice(lib)
        self._lib = lib

    def _collect(self, wav, count, events):
        if wav and count > 0:
            self._chunks.append(ctypes.string_at(wav, 2 * count))
        return 0

    def speak(self, text, speed):
        self._chunks = []
        if self._lib.espeak_SetParameter(_RATE, speed, 0) != _EE_OK:
            raise RuntimeError(f"espeak-ng refuses the rate {speed}")
        data = text.encode("utf-8")
        # Without espeakENDPAUSE: no sentence pause after the text, which the
        # trimming would only cut off again.
        status = self._lib.espeak_Synth(data, len(data) + 1, 0, _POS_CHARACTER, 0, _CHARS_UTF8,
                                        None, None)
        if status != _EE_OK:
            raise RuntimeError(f"espeak-ng could not speak {text!r} (error {status})")
        samples = array.array("h")
        samples.frombytes(b"".join(self._chunks))
        return samples


_synthesiser = None


def synthesise(text, speed):
    """Mono 16-bit samples at SYNTH_RATE for text, spoken at speed."""
    global _synthesiser
    if _synthesiser is None:
        _synthesiser = _Synthesiser()
    return _synthesiser.speak(text, speed)


def trim_silence(samples):
    # Probed from both ends only: the speech between them need not be read.
    probes = range(0, len(samples), 8)
    first_loud = next((i for i in probes if abs(samples[i]) > SILENCE_THRESHOLD), None)
    if first_loud is None:
        return array.array("h")
    last_loud = next(i for i in reversed(probes) if abs(samples[i]) > SILENCE_THRESHOLD)
    first = max(0, first_loud - 8)
    last = min(len(samples), last_loud + 8)
    while first < last and abs(samples[first]) <= SILENCE_THRESHOLD // 4 and first < first_loud:
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


def fingerprint(rows, library):
    h = hashlib.sha256(repr((VERSION, VOICE, OUT_RATE, TAIL_MS, FILL_RANGE, library)).encode())
    for row, text in rows:
        h.update(repr((row.start_ms, row.end_ms, text)).encode())
    return h.hexdigest()


def _make_track(job):
    _, rows, path = job
    began = time.monotonic()
    data = wav_bytes(render_track(rows))
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)
    return time.monotonic() - began


def _call_and_send(sender, function, argument):
    try:
        answer = True, function(argument)
    except RuntimeError as error:          # worded for the user already
        answer = False, str(error)
    except Exception:                      # a fault of this generator
        answer = False, traceback.format_exc()
    sender.send(answer)


def _ending(exit_code):
    if exit_code < 0:
        return f"its process was killed by {signal.Signals(-exit_code).name}"
    return f"its process ended with exit code {exit_code} before it finished"


def run_each(calls, workers, on_result, timeout=TIMEOUT_S):
    """Calls function(argument) for every (label, function, argument), each in
    a fresh process and at most workers at a time, and on_result(label, result)
    as each returns.

    Forked rather than spawned, they start at once with this generator
    imported; this process never loads espeak-ng (even its check runs in a
    process of its own), so none inherits a library that has spoken. A call
    that fails, dies or runs past timeout seconds raises TrackError naming its
    label, once the other processes are killed."""
    context = multiprocessing.get_context("fork")
    waiting, running = list(calls), {}
    try:
        while waiting or running:
            while waiting and len(running) < workers:
                label, function, argument = waiting.pop(0)
                receiver, sender = context.Pipe(duplex=False)
                process = context.Process(target=_call_and_send, args=(sender, function, argument))
                process.start()
                sender.close()            # so that a process that dies reads as the pipe's end
                running[receiver] = (label, process, time.monotonic() + timeout)
            first = min(running, key=lambda receiver: running[receiver][2])
            ready = multiprocessing.connection.wait(
                list(running), max(0.0, running[first][2] - time.monotonic()))
            if not ready:
                raise TrackError(f"{running[first][0]}: no result after {timeout} s, stopped")
            for receiver in ready:
                label, process, _ = running.pop(receiver)
                try:
                    ok, result = receiver.recv()
                except EOFError:              # it died before it could answer
                    ok, result = False, None
                process.join()
                receiver.close()
                if not ok:
                    raise TrackError(f"{label}: {result or _ending(process.exitcode)}")
                on_result(label, result)
    finally:
        for _, process, _ in running.values():
            process.kill()
            process.join()


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


def write_tracks(book_path, rows_path, out_dir, selection=None, jobs=None, log=print,
                 timeout=TIMEOUT_S):
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
    library = []
    run_each([("espeak-ng", library_identity, None)], 1,
             lambda _, identity: library.extend(identity))
    digests = {name: fingerprint(texts[name], library) for name in names}
    todo = []
    for number in parse_selection(selection, len(names)):
        name = names[number - 1]
        path = os.path.join(out_dir, name)
        if stamps.get(name) == digests[name] and os.path.exists(path):
            continue
        todo.append((name, texts[name], path))
    if todo:
        log(f"speaking {len(todo)} track(s) with espeak-ng {library[0]} ...")

        def made(name, seconds):
            stamps[name] = digests[name]
            log(f"  {name} {seconds:.1f} s")
            with open(stamp_path + ".tmp", "w", encoding="utf-8") as f:
                json.dump(stamps, f, indent=0, sort_keys=True)
            os.replace(stamp_path + ".tmp", stamp_path)

        # Longest first, so that no long track starts last.
        todo.sort(key=lambda job: -len(job[1]))
        run_each([(job[0], _make_track, job) for job in todo], jobs or os.cpu_count(), made,
                 timeout)
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
    try:
        made = write_tracks(args.book, args.rows, args.out, args.tracks, args.jobs)
    except TrackError as error:
        sys.exit(f"narration tracks: {error}")
    print(f"{len(made)} track(s) written in {time.monotonic() - began:.1f} s")


if __name__ == "__main__":
    main()
