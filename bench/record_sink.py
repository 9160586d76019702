#!/usr/bin/env python3
"""Records a PulseAudio monitor source with the wall-clock time of its samples.

    record_sink.py --source vsink.monitor --out PREFIX

Writes PREFIX.raw (signed 16-bit mono at 16 kHz) and PREFIX.json, which gives
the time of sample 0 in microseconds since 1970 (CLOCK_REALTIME). Runs until
it is sent SIGTERM or SIGINT.

Every read is stamped on arrival. A sample can never arrive before it was
played, so the earliest arrival minus the position of the samples read so far
bounds the start of the recording from above; the smallest such bound over
the whole recording is taken. What is left is the source's own delivery delay,
which --latency-msec keeps to a few milliseconds.
"""

import argparse
import json
import os
import signal
import subprocess
import sys
import time

RATE = 16000
BYTES_PER_SAMPLE = 2


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", default="vsink.monitor")
    parser.add_argument("--out", required=True)
    parser.add_argument("--latency-msec", type=int, default=5)
    args = parser.parse_args()

    recorder = subprocess.Popen(
        ["parec", "-d", args.source, "--raw", "--format=s16le", "--rate=%d" % RATE, "--channels=1",
         "--latency-msec=%d" % args.latency_msec],
        stdout=subprocess.PIPE)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    signal.signal(signal.SIGINT, lambda *_: stop.append(1))

    chunks = []
    received = 0
    start_bound = None
    fd = recorder.stdout.fileno()
    while not stop:
        try:
            data = os.read(fd, 640)
        except InterruptedError:
            continue
        now_us = time.time_ns() // 1000
        if not data:
            break
        chunks.append(data)
        received += len(data)
        bound = now_us - (received // BYTES_PER_SAMPLE) * 1_000_000 / RATE
        if start_bound is None or bound < start_bound:
            start_bound = bound
    recorder.terminate()
    recorder.wait()

    with open(args.out + ".raw", "wb") as f:
        f.write(b"".join(chunks))
    with open(args.out + ".json", "w") as f:
        json.dump({"rate": RATE, "samples": received // BYTES_PER_SAMPLE, "start_us": start_bound,
                   "raw": os.path.basename(args.out + ".raw")}, f)
    return 0


if __name__ == "__main__":
    sys.exit(main())
