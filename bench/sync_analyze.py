#!/usr/bin/env python3
"""Compares the moments fragments turned green with the moments their audio
left the sound device.

    sync_analyze.py --log BENCH_LOG --recording PREFIX --edition DIR [--csv FILE]
    sync_analyze.py --self-check

BENCH_LOG is what bench_reader --narrate wrote (rows of the table, the start
of narration, and per fragment the wall-clock moments its report was handled
and the following paint ended). PREFIX.json/.raw come from record_sink.py.
DIR holds the tracks the rows name.

Each fragment's audio is found in the recording by matching the loudness
envelope (1 ms steps) of the first 400 ms of the fragment in its track
against the recording near where it is expected; the sample where the match
is best is the moment the fragment's first sound left the device. Prints
figures in the suite's "figure NAME VALUE UNIT NOTE" form.
"""

import argparse
import array
import json
import math
import os
import random
import statistics
import sys
import wave

STEP_MS = 1
TEMPLATE_MS = 400
LONGEST_TEMPLATE_MS = 1500
# Speech repeats itself (the same word twice in a sentence matches nearly as
# well as the right one), so a match loses this much per second it lies from
# where the fragment was expected.
DISTANCE_PENALTY_PER_S = 0.1


def envelope(samples, rate, step_ms=STEP_MS):
    """Mean absolute amplitude per step."""
    n = max(1, rate * step_ms // 1000)
    out = array.array("d")
    for i in range(0, len(samples) - n + 1, n):
        out.append(sum(abs(v) for v in samples[i:i + n]) / n)
    return out


def coarsen(env, factor):
    out = array.array("d")
    for i in range(0, len(env) - factor + 1, factor):
        out.append(sum(env[i:i + factor]) / factor)
    return out


def correlation(template, signal, at):
    """Pearson correlation of template with signal[at:at+len(template)]."""
    n = len(template)
    if at < 0 or at + n > len(signal):
        return -1.0
    window = signal[at:at + n]
    mt = sum(template) / n
    mw = sum(window) / n
    num = 0.0
    vt = 0.0
    vw = 0.0
    for a, b in zip(template, window):
        da = a - mt
        db = b - mw
        num += da * db
        vt += da * da
        vw += db * db
    if vt <= 0 or vw <= 0:
        return -1.0
    return num / math.sqrt(vt * vw)


def best_match(template, signal, lo, hi, expected=None, step_ms=STEP_MS):
    """(correlation, position) of the best match in [lo, hi]."""
    best = (-2.0, lo)
    best_score = -1e9
    for at in range(max(0, lo), min(hi, len(signal) - len(template)) + 1):
        c = correlation(template, signal, at)
        score = c
        if expected is not None:
            score -= DISTANCE_PENALTY_PER_S * abs(at - expected) * step_ms / 1000.0
        if score > best_score:
            best_score = score
            best = (c, at)
    return best


def locate(template_env, rec_env, rec_env10, expected_ms, before_ms, after_ms):
    """Recording position (ms) of the template near expected_ms, and the match."""
    t10 = coarsen(template_env, 10)
    c, at10 = best_match(t10, rec_env10, (expected_ms - before_ms) // 10, (expected_ms + after_ms) // 10,
                         expected_ms // 10, 10)
    if c < -1.0:
        return None, c
    c, at = best_match(template_env, rec_env, at10 * 10 - 15, at10 * 10 + 15)
    return at, c


class Track:
    def __init__(self, path):
        with wave.open(path, "rb") as w:
            self.rate = w.getframerate()
            width = w.getsampwidth()
            channels = w.getnchannels()
            frames = w.readframes(w.getnframes())
            self.data_bytes = len(frames)
            self.bytes_per_second = self.rate * width * channels
        if width == 1:
            mono = [b - 128 for b in frames[::channels]]
        else:
            pcm = array.array("h")
            pcm.frombytes(frames[: len(frames) - len(frames) % 2])
            mono = pcm[::channels]
        self.env = envelope(mono, self.rate)

    def end_whole_seconds_ms(self):
        # The player ends a track's last gap at its length in whole seconds;
        # the length counts the byte rate per millisecond truncated first.
        ms = self.data_bytes // (self.bytes_per_second // 1000)
        return ms // 1000 * 1000


def read_log(path):
    rows = {}
    greens = {}
    narration_start = None
    narration_end = None
    with open(path) as f:
        for line in f:
            p = line.split()
            if not p:
                continue
            if p[0] == "row":
                rows[int(p[1])] = (p[2], int(p[3]), int(p[4]))
            elif p[0] == "green" and int(p[1]) not in greens:
                greens[int(p[1])] = (int(p[2]), int(p[3]))
            elif p[0] == "narration_start":
                narration_start = int(p[2])
            elif p[0] == "narration_end":
                narration_end = int(p[1])
    # The process ends with the narration: a fragment that starts too close
    # to the end has too little sound left to be found.
    if narration_end is not None:
        greens = {i: g for i, g in greens.items() if g[1] < narration_end - (TEMPLATE_MS + 200) * 1000}
    return rows, greens, narration_start


def analyse(rows, greens, narration_start_us, rec_samples, rec_rate, rec_start_us, tracks):
    """Per fragment (index, audio_us, green_us, reported_us, match) and the track-change gaps."""
    rec_env = envelope(rec_samples, rec_rate)
    rec_env10 = coarsen(rec_env, 10)
    results = []
    gaps = []
    prev = None  # (index, track, start_ms, found_ms)
    for i in sorted(greens):
        if i not in rows:
            continue
        track, start_ms, end_ms = rows[i]
        t = tracks[track]
        length = min(LONGEST_TEMPLATE_MS, max(TEMPLATE_MS, end_ms - start_ms))
        template = t.env[start_ms // STEP_MS:(start_ms + length) // STEP_MS]
        if len(template) < 50:
            continue
        if prev is None:
            expected = int((narration_start_us - rec_start_us) / 1000)
            before, after = 200, 5000
        elif prev[1] == track:
            expected = prev[3] + (start_ms - prev[2])
            before, after = 300, 3000
        else:
            expected = prev[3] + (tracks[prev[1]].end_whole_seconds_ms() - prev[2])
            before, after = 300, 5000
        at, c = locate(template, rec_env, rec_env10, expected, before, after)
        if at is None or c < 0.6:
            results.append((i, None, greens[i][1], greens[i][0], c))
            continue
        audio_us = rec_start_us + at * STEP_MS * 1000
        results.append((i, audio_us, greens[i][1], greens[i][0], c))
        if prev is not None and prev[1] != track:
            natural = tracks[prev[1]].end_whole_seconds_ms() - prev[2]
            gaps.append((prev[0], i, (at - prev[3]) - natural))
        prev = (i, track, start_ms, at)
    return results, gaps


def figures(results, gaps, note):
    matched = [r for r in results if r[1] is not None]
    lines = []
    if matched:
        painted = [(r[2] - r[1]) / 1000.0 for r in matched]
        reported = [(r[3] - r[1]) / 1000.0 for r in matched]
        lines.append(("sync.green_minus_audio.median_abs", statistics.median(abs(d) for d in painted), "ms"))
        lines.append(("sync.green_minus_audio.worst_abs", max(abs(d) for d in painted), "ms"))
        lines.append(("sync.green_minus_audio.mean", statistics.mean(painted), "ms"))
        lines.append(("sync.green_minus_audio.min", min(painted), "ms"))
        lines.append(("sync.green_minus_audio.max", max(painted), "ms"))
        rest = painted[1:]
        if rest:
            lines.append(("sync.green_minus_audio.after_first.median_abs", statistics.median(abs(d) for d in rest), "ms"))
            lines.append(("sync.green_minus_audio.after_first.worst_abs", max(abs(d) for d in rest), "ms"))
        lines.append(("sync.report_minus_audio.median_abs", statistics.median(abs(d) for d in reported), "ms"))
    lines.append(("sync.fragments_matched", len(matched), "fragments"))
    lines.append(("sync.fragments_unmatched", len(results) - len(matched), "fragments"))
    for a, b, gap in gaps:
        lines.append(("sync.track_change_gap", gap, "ms"))
    return ["figure %s %.3f %s %s" % (name, value, unit, note) for name, value, unit in lines]


def run(args):
    rows, greens, narration_start = read_log(args.log)
    with open(args.recording + ".json") as f:
        meta = json.load(f)
    raw = array.array("h")
    with open(os.path.join(os.path.dirname(args.recording), meta["raw"]), "rb") as f:
        raw.frombytes(f.read())
    tracks = {}
    for track, _, _ in rows.values():
        if track not in tracks and any(rows[i][0] == track for i in greens if i in rows):
            tracks[track] = Track(os.path.join(args.edition, track))
    results, gaps = analyse(rows, greens, narration_start, raw, meta["rate"], meta["start_us"], tracks)
    if args.csv:
        with open(args.csv, "w") as f:
            f.write("fragment,audio_us,green_minus_audio_ms,report_minus_audio_ms,match\n")
            for i, audio, green, reported, c in results:
                if audio is None:
                    f.write("%d,,,,%.3f\n" % (i, c))
                else:
                    f.write("%d,%d,%.3f,%.3f,%.3f\n" % (i, audio, (green - audio) / 1000.0,
                                                        (reported - audio) / 1000.0, c))
    seconds = len(raw) / meta["rate"]
    for line in figures(results, gaps, "%.0f s recorded, %d fragments" % (seconds, len(results))):
        print(line)
    return 0


# ---- self-check ------------------------------------------------------------

class FakeTrack(Track):
    def __init__(self, samples, rate):
        self.rate = rate
        self.data_bytes = len(samples)
        self.bytes_per_second = rate
        self.env = envelope(samples, rate)


def self_check():
    """Builds two tracks of noise bursts, 'plays' them with a known latency
    and a known silence at the change of track, and checks that the analysis
    finds both back."""
    rng = random.Random(7)
    rate = 16000
    rows = {}
    tracks = {}
    samples_of = {}
    index = 0
    for name in ("a.wav", "b.wav"):
        s = [0] * (rate * 12 + 400)
        t = 500
        while t < 11000:
            length = rng.randint(600, 1500)
            for k in range(t * 16, (t + length) * 16):
                s[k] = int(60 * math.sin(k / rng.uniform(2, 9))) + rng.randint(-40, 40)
            rows[index] = (name, t, t + length)
            index += 1
            t += length + rng.randint(150, 500)
        samples_of[name] = s
        tracks[name] = FakeTrack(s, rate)

    latency_ms = 37
    change_silence_ms = 85
    first = 0
    rec = [0] * (latency_ms * 16)
    a = samples_of["a.wav"]
    b = samples_of["b.wav"]
    a_start = rows[first][1]
    a_end = tracks["a.wav"].end_whole_seconds_ms()
    rec += a[a_start * 16:a_end * 16]
    rec += [0] * (change_silence_ms * 16)
    b_first = min(i for i in rows if rows[i][0] == "b.wav")
    b_start = rows[b_first][1]
    rec += b[b_start * 16:]
    rec_start_us = 1_000_000_000
    greens = {}
    lateness = {}
    for i, (name, start, _) in rows.items():
        if name == "a.wav":
            played_ms = latency_ms + (start - a_start)
        else:
            played_ms = latency_ms + (a_end - a_start) + change_silence_ms + (start - b_start)
        late = rng.randint(-30, 120)
        lateness[i] = late
        green_us = rec_start_us + (played_ms + late) * 1000
        greens[i] = (green_us - 2000, green_us)
    results, gaps = analyse(rows, greens, rec_start_us, rec, rate, rec_start_us, tracks)
    failures = 0
    for i, audio, green, _, c in results:
        if audio is None:
            print("fragment %d not found (match %.2f)" % (i, c))
            failures += 1
            continue
        measured = (green - audio) / 1000.0
        if abs(measured - lateness[i]) > 2.0:
            print("fragment %d: measured %.1f ms, made %d ms" % (i, measured, lateness[i]))
            failures += 1
    if len(gaps) != 1 or abs(gaps[0][2] - change_silence_ms) > 2:
        print("track change gap: measured %s, made %d ms" % (gaps, change_silence_ms))
        failures += 1
    print("self-check: %d fragments, %d failures" % (len(results), failures))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log")
    parser.add_argument("--recording")
    parser.add_argument("--edition")
    parser.add_argument("--csv")
    parser.add_argument("--self-check", action="store_true")
    args = parser.parse_args()
    if args.self_check:
        return self_check()
    if not (args.log and args.recording and args.edition):
        parser.error("--log, --recording and --edition are needed")
    return run(args)


if __name__ == "__main__":
    sys.exit(main())
