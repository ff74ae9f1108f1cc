#!/usr/bin/env python3
"""Writes MIDI files of random songs with the real binary (/midi), from MML
and from the binary's own tape images, and checks each against the reference
player: the same messages, at the same ticks, track by track.

usage: midi_differential.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]

--emulator, last, runs the binary under a command such as wine64: every
argument after it belongs to that command.
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import differential  # noqa: E402
import mml_model  # noqa: E402
import player_model  # noqa: E402


def expected_tracks(tracks):
    messages, _ = player_model.play(tracks)
    by_channel = {}
    for tick, status, d1, d2 in messages:
        by_channel.setdefault(status & 0x0F, []).append((tick, status, d1, d2))
    return by_channel


def check_file(path, tracks):
    with open(path, "rb") as f:
        fmt, division, chunks = player_model.read_midi_file(f.read())
    problems = []
    if fmt != 1 or division != 25:
        problems.append(f"format {fmt}, division {division}")
    if not chunks or chunks[0]["tempo"] != [500000]:
        problems.append("first track lacks the one tempo of 500000")
    want = expected_tracks(tracks)
    got = {}
    for chunk in chunks[1:]:
        channels = {status & 0x0F for _, status, _, _ in chunk["events"]}
        if len(channels) != 1:
            problems.append(f"track {chunk['name']!r} uses channels {sorted(channels)}")
            continue
        channel = channels.pop()
        if chunk["name"] != f"Track {channel}":
            problems.append(f"track on channel {channel} is named {chunk['name']!r}")
        got[channel] = chunk["events"]
    if sorted(got) != sorted(want):
        problems.append(f"tracks for channels {sorted(got)}, expected {sorted(want)}")
    for channel in want:
        if got.get(channel) != want[channel]:
            g, w = got.get(channel, []), want[channel]
            first = next((i for i in range(min(len(g), len(w))) if g[i] != w[i]), min(len(g), len(w)))
            problems.append(f"channel {channel}: message {first} is "
                            f"{g[first] if first < len(g) else None}, expected "
                            f"{w[first] if first < len(w) else None}")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zirvon")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=3)
    parser.add_argument("--emulator", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    zirvon = args.emulator + [args.zirvon]
    rng = random.Random(args.seed)
    failures = checked = 0
    with tempfile.TemporaryDirectory() as folder:
        while checked < args.count:
            data = differential.source(rng)
            block, errors = mml_model.compile_source(data)
            if errors:
                continue
            checked += 1
            for name in ("src.MML", "src.MZT", "src.MID"):
                if os.path.exists(os.path.join(folder, name)):
                    os.remove(os.path.join(folder, name))
            with open(os.path.join(folder, "src.MML"), "wb") as f:
                f.write(data)
            tracks = player_model.read_tape_tracks(mml_model.tape_image(block, b"T"))
            problems = []
            for argv in (["src.mml", "/midi"], ["src.MZT", "/midi"]):
                run = subprocess.run([*zirvon, *argv], cwd=folder, capture_output=True)
                if run.returncode != 0:
                    problems.append(f"{argv}: status {run.returncode}: {run.stderr[:200]!r}")
                    break
                problems += [f"{argv[0]}: {p}" for p in check_file(os.path.join(folder, "src.MID"), tracks)]
                os.remove(os.path.join(folder, "src.MID"))
            if problems:
                failures += 1
                if failures <= 10:
                    print(f"case {checked}: {data!r}")
                    for p in problems:
                        print("   ", p)
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
