#!/usr/bin/env python3
"""Times `zirvon SONG /svg` on the songs that bound the piano roll's size and
reports the picture's size, the median and longest time of the whole command,
its processor time and its peak memory:

  eighths.mml   five minutes of eighth notes on all eight tracks, one bar a line
  most.MZT      the most notes an image holds: 21,835 notes and ten end marks
  longest.MZT   the longest an image plays: 21,832 notes of 256 ticks, 31 hours,
                tracks 1, 2 and 3 one after another
  dense.mml     half a minute of random notes on eight tracks, with unisons,
                notes above MIDI 127 and a block too long for a row (to look at)

usage: picture_bench.py ZIRVON [--runs N] [--keep FOLDER]
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "model"))
import mml_model  # noqa: E402

NOTES = ["C", "D", "E", "F", "G", "A", "B"]


def eighths():
    rng = random.Random(5)
    lines = []
    for bar in range(143):  # 143 bars of 8 x 13 ticks and a sync tick: 5:00.3
        blocks = []
        for k in range(1, 9):
            octave = 2 + k % 4
            head = f"O{octave} L8 Q7 " if bar == 0 else ""
            blocks.append(f"{k}[{head}" + " ".join(rng.choice(NOTES) for _ in range(8)) + "]")
        lines.append(" ".join(blocks))
    return ("\n".join(lines) + "\n").encode()


def image(tracks):
    """A tape image of tracks 0-9 given as lists of (note, length, gate)."""
    block = []
    for k in range(10):
        block += [b for event in tracks.get(k, []) for b in event] + [254, 0, 0]
    return mml_model.tape_image(bytes(block), b"BENCH")


def most_notes():
    rng = random.Random(6)
    tracks = {}
    for k in range(1, 9):
        count = 2729 + (1 if k <= 3 else 0)  # 21,835 notes in all
        tracks[k] = [(rng.randint(12 * (k % 4), 12 * (k % 4) + 40), length, max(1, length - 2))
                     for length in (rng.choice([3, 6, 12]) for _ in range(count))]
    return image(tracks)


def longest():
    # Track 1 plays alone; track 2 waits at a sync mark until track 1 ends,
    # track 3 at two of them until track 2 ends.
    note = (36, 255, 200)
    return image({1: [note] * 9999, 2: [(253, 0, 0)] + [note] * 9998,
                  3: [(253, 0, 0), (253, 0, 0)] + [note] * 1835})  # 21,845 events in all


def dense():
    rng = random.Random(7)
    lines = []
    for bar in range(24):
        blocks = []
        for k in range(1, 9):
            head = f"O{2 + k % 4} Q{rng.randint(4, 8)} " if bar == 0 else ""
            body = []
            for _ in range(rng.randint(4, 10)):
                letter = rng.choice(NOTES + ["R"])
                accidental = rng.choice(["", "#", "-"]) if letter != "R" else ""
                body.append(letter + accidental + rng.choice(["4", "8", "16", "8."]))
            if k == 1 and bar == 5:
                body = ["O9 A B > C < O4"]  # above MIDI 127
            if k in (2, 3) and bar == 9:
                body = ["O4 C2 E2"]  # unison of tracks 2 and 3
            if k == 4 and bar == 14:
                body = ["C1 D1 E1 F1 G1 A1 B1 C1"]  # a block longer than a row
            blocks.append(f"{k}[{head}" + " ".join(body) + "]")
        lines.append(" ".join(blocks))
    return ("\n".join(lines) + "\n").encode()


def measure(zirvon, folder, name, runs):
    """The picture's size, the median and the longest time of the whole
    command, its median processor time (user and system), and its largest
    peak resident memory, over `runs` runs."""
    times, cpus, peaks = [], [], []
    for _ in range(runs):
        start = time.perf_counter()
        child = subprocess.Popen([zirvon, name, "/svg"], cwd=folder, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE)
        _, status, usage = os.wait4(child.pid, 0)
        times.append(time.perf_counter() - start)
        cpus.append(usage.ru_utime + usage.ru_stime)
        peaks.append(usage.ru_maxrss / 1024)
        if status != 0:
            raise SystemExit(f"{name}: status {status}: {child.stderr.read().decode(errors='replace')}")
        child.stderr.close()
    svg = os.path.join(folder, os.path.splitext(name)[0] + ".SVG")
    return os.path.getsize(svg), statistics.median(times), max(times), statistics.median(cpus), max(peaks)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zirvon")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--keep", help="write the songs and pictures into this folder")
    args = parser.parse_args()
    zirvon = os.path.abspath(args.zirvon)
    folder = args.keep or tempfile.mkdtemp(prefix="zirvon-picture-bench-")
    os.makedirs(folder, exist_ok=True)
    songs = {"eighths.mml": eighths(), "most.MZT": most_notes(), "longest.MZT": longest(), "dense.mml": dense()}
    print(f"{'song':<12} {'SVG bytes':>11} {'median ms':>10} {'max ms':>8} {'CPU ms':>7} {'peak RSS MB':>12}")
    for name, data in songs.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        size, median, worst, cpu, peak = measure(zirvon, folder, name, args.runs)
        print(f"{name:<12} {size:>11,} {median * 1000:>10.1f} {worst * 1000:>8.1f} {cpu * 1000:>7.1f} "
              f"{peak:>12.1f}")
    if not args.keep:
        subprocess.run(["rm", "-rf", folder])


if __name__ == "__main__":
    main()
