#!/usr/bin/env python3
"""Writes MIDI files of random songs with the real binary (/midi), from MML
and from tape images, with random passage options (/from, /to, /solo,
/mute), and checks each against the reference player: the same messages, at
the same ticks, track by track, each track with its voice's program and the
file with the tape name, or status 2 and no file when the model finds no
such passage.

usage: midi_differential.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import mml_model  # noqa: E402
import player_model  # noqa: E402


def by_channel(messages):
    out = {}
    for tick, status, d1, d2 in messages:
        out.setdefault(status & 0x0F, []).append((tick, status, d1, d2))
    return out


# The General MIDI program (from 1) of the built-in synthesizer's voice for
# each track, as the manual lists them (docs/listening.md).
PROGRAMS = {1: 81, 2: 39, 3: 81, 4: 63, 5: 90, 6: 51, 7: 74, 8: 81}


def check_file(path, want, length, tape_name):
    with open(path, "rb") as f:
        fmt, division, chunks = player_model.read_midi_file(f.read())
    problems = []
    if fmt != 1 or division != 25:
        problems.append(f"format {fmt}, division {division}")
    if not chunks or chunks[0]["tempo"] != [500000]:
        problems.append("first track lacks the one tempo of 500000")
    elif chunks[0]["name"] != tape_name:
        problems.append(f"the sequence is named {chunks[0]['name']!r}, not {tape_name!r}")
    ends = {chunk["end"] for chunk in chunks}
    if ends != {length}:
        problems.append(f"tracks end on ticks {sorted(ends)}, expected {length}")
    got = {}
    for chunk in chunks[1:]:
        channels = {status & 0x0F for _, status, _, _ in chunk["events"]}
        if len(channels) != 1:
            problems.append(f"track {chunk['name']!r} uses channels {sorted(channels)}")
            continue
        channel = channels.pop()
        if chunk["name"] != f"Track {channel}":
            problems.append(f"track on channel {channel} is named {chunk['name']!r}")
        if chunk["programs"] != [(0, 0xC0 + channel, PROGRAMS[channel] - 1)]:
            problems.append(f"track on channel {channel} has the program changes {chunk['programs']}")
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


def time_text(hundredths, rng):
    text = f"{hundredths // 6000}:{hundredths // 100 % 60:02d}"
    if hundredths % 100 or rng.random() < 0.2:
        text += f".{hundredths % 100:02d}" if hundredths % 10 else f".{hundredths % 100 // 10}"
    return text


def random_bound(rng, blocks, done, lines):
    """(option text, model bound) or None."""
    roll = rng.random()
    if roll < 0.35:
        return None
    if roll < 0.7:
        n = rng.randint(1, blocks + 1)
        return str(n), ("block", n)
    if roll < 0.85:
        h = rng.randint(0, done * 2 + 4)
        return time_text(h, rng), ("time", h)
    n = rng.randint(1, lines + 1)
    return f"line:{n}", ("line", n)


def random_tracks(rng):
    """(option text, set of tracks)."""
    tracks = sorted(rng.sample(range(1, 9), rng.randint(1, 4)))
    parts, chosen = [], set()
    i = 0
    while i < len(tracks):
        j = i
        while j + 1 < len(tracks) and tracks[j + 1] == tracks[j] + 1:
            j += 1
        parts.append(str(tracks[i]) if i == j else f"{tracks[i]}-{tracks[j]}")
        chosen.update(range(tracks[i], tracks[j] + 1))
        i = j + 1
    return ",".join(parts), chosen


def random_passage(rng, tracks, groups, whole, source_lines):
    """Options for the command line, and what the model makes of them: the
    passage (start tick, end tick, audible tracks), or None for status 2."""
    starts = player_model.block_starts(tracks, whole)
    done = whole["done"]
    args = []
    bounds = {}
    for name in ("from", "to"):
        bound = random_bound(rng, len(starts), done, source_lines)
        if bound:
            args.append(f"/{name}={bound[0]}")
            bounds[name] = bound[1]
    audible = set(range(1, 9))
    roll = rng.random()
    if roll < 0.3:
        text, chosen = random_tracks(rng)
        args.append(f"/solo={text}")
        audible = chosen
    elif roll < 0.6:
        text, chosen = random_tracks(rng)
        args.append(f"/mute={text}")
        audible -= chosen
    blocks = player_model.line_blocks(tracks, groups, whole, starts)
    start, end = 0, done
    if "from" in bounds:
        start = player_model.resolve(bounds["from"], False, starts, done, blocks)
    if "to" in bounds:
        end = player_model.resolve(bounds["to"], True, starts, done, blocks)
    if start is None or end is None or end <= start:
        return args, None
    return args, (start, end, audible)


def check(zirvon, folder, data, rng):
    model = mml_model.compile_model(data)
    if model.errors:
        return None
    with open(os.path.join(folder, "src.MZT"), "wb") as f:
        f.write(mml_model.tape_image(mml_model.data_block(model.tracks), b"T"))
    whole = player_model.run(model.tracks)
    # Half the cases play the whole song, the others a passage.
    if rng.random() < 0.5:
        options, want, length = [], by_channel(whole["messages"]), whole["done"]
    else:
        lines = len(mml_model.split_lines(data))
        options, passage = random_passage(rng, model.tracks, model.groups, whole, lines)
        want = passage and by_channel(player_model.passage(whole, *passage))
        length = passage and passage[1] - passage[0]
    problems = []
    for source in ("src.mml", "src.MZT"):
        # The source names the image TUNE, which the image keeps.
        argv = [source, "/midi", *options] + (["TUNE"] if source == "src.mml" else [])
        run = harness.run(zirvon, folder, *argv)
        made = os.path.exists(os.path.join(folder, "src.MID"))
        if want is None or (source == "src.MZT" and any("line:" in o for o in options)):
            # Compile warnings may come first; the message is last.
            last = run.stderr.rstrip(b"\n").split(b"\n")[-1]
            if run.returncode != 2 or made or not last.startswith(b"zirvon: "):
                problems.append(f"{argv}: expected status 2 and a message, got {run.returncode}: "
                                f"{run.stderr[-200:]!r}")
        elif run.returncode != 0:
            return problems + [f"{argv}: status {run.returncode}: {run.stderr[:200]!r}"]
        else:
            problems += [f"{argv}: {p}" for p in check_file(os.path.join(folder, "src.MID"), want, length, "TUNE")]
        if made:
            os.remove(os.path.join(folder, "src.MID"))
    return problems


if __name__ == "__main__":
    sys.exit(harness.main(check, count=300, seed=3))
