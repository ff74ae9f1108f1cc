#!/usr/bin/env python3
"""Draws the piano rolls of the examples, a few chosen songs and random songs
with the real binary (/svg), from MML and from the binary's own tape images,
with random passage options (/from, /to, /solo, /mute) for half of them,
and checks each against the reference player: one rect.note for each note the
player sends (track, on tick, off tick, MIDI number), a rect.shared wherever
a note of a lower track sounds the same pitch, a block line at each block
start, under each block number drawn the source lines the block is read
from, a left-out mark for each note above MIDI 127; and that the
document is well-formed (xmllint), plain (no scripts, event attributes, links
or outside references), laid out on one scale, and the same bytes every time.

usage: svg_differential.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]
"""
import os
import re
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import midi_differential  # noqa: E402
import mml_model  # noqa: E402
import player_model  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
LEFT, TICK_WIDTH = 48, 2
ALLOWED = {"svg", "title", "rect", "line", "text", "g", "path"}
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

CHOSEN = [
    b"",                                          # nothing at all
    b"1[R R] 9[C D] 0[E]",                        # only rests, and tracks 0 and 9
    b"1[O9 C A B > C]\n2[C]",                     # above MIDI 127, one after another
    b"1[O9 Q7 A%290 R] 2[C%255]",                 # left out, gate 253 > length 34: the rest ends it
    b"1[C C Q8 C C &C]",                          # repeated notes, a tie
    b"1[O4 C2 E2] 2[O4 C2 E2] 3[O4 C2 E2]",       # unison on three tracks
    b"1[C1 C1 C1 C1 C1 C1 C1 C1 C1 C1] 2[C]",     # a block longer than a row
    b"1[C] 2[D]\n1[]\n1[E]\n1[] 2[]",             # empty blocks, a release with nothing after it
]


def source_lines(tracks, groups, whole, starts):
    """{block: "line 4" or "lines 4-6"}: the lines of the events of tracks
    1-8 read in each block (a block never runs on to the next line, so an
    event's line is its group's)."""
    lines = {}
    for (k, i), tick in whole["reads"].items():
        if groups[k][i] is not None and starts:
            lines.setdefault(player_model.block_of(starts, tick), set()).add(groups[k][i][0])
    return {b: f"line {min(v)}" if min(v) == max(v) else f"lines {min(v)}-{max(v)}" for b, v in lines.items()}


def shared(notes):
    """(lower track, higher track, from, to, MIDI number) of each stretch in
    which notes of two tracks sound the same pitch."""
    out = set()
    for a in notes:
        for b in notes:
            if a[0] < b[0] and a[3] == b[3] and a[1] < b[2] and b[1] < a[2]:
                out.add((a[0], b[0], max(a[1], b[1]), min(a[2], b[2]), a[3]))
    return out


def expected(tracks, whole, start, end, audible):
    """The notes, block lines and left-out marks the picture of a passage
    must show, on the passage's own timeline, and its length."""
    notes, sounding = set(), {}
    for tick, status, midi, _ in player_model.passage(whole, start, end, audible):
        k = status & 0x0F
        if k in sounding:
            on, sounding_midi = sounding.pop(k)
            notes.add((k, on, tick, sounding_midi))
        if status & 0xF0 == 0x90:
            sounding[k] = (tick, midi)
    assert not sounding
    starts = player_model.block_starts(tracks, whole)
    lines = {(b + 1, t - start) for b, t in enumerate(starts) if start < t < end}
    left_out = set()
    for (k, i), tick in whole["reads"].items():
        note, _, gate = tracks[k][i]
        if k in audible and start <= tick < end and note < 253 and gate and note + 24 > 127:
            off = min(tick + gate, end, whole["reads"].get((k, i + 1), end))
            left_out.add((k, tick - start, off - start, note + 24))
    # An empty picture has no rows to draw block lines in.
    return notes, lines if notes or left_out else set(), left_out, end - start


def data(element, *names):
    return tuple(int(element.get("data-" + n)) for n in names)


def check_document(text, want, sources, first_block):
    problems = []
    root = ET.fromstring(text)
    for element in root.iter():
        tag = element.tag.replace(SVG, "")
        if tag not in ALLOWED:
            problems.append(f"element <{tag}>")
        for name, value in element.attrib.items():
            if name.startswith("on") or "href" in name or "url(" in value:
                problems.append(f"attribute {name}={value!r} on <{tag}>")
    want_notes, want_lines, want_left_out, _ = want
    notes, conts, marks = [], [], set()
    block_starts = [(0, first_block)] + [data(e, "tick", "block") for e in root.iter(SVG + "line")
                                         if e.get("class") == "block"]
    for row in root.iter(SVG + "g"):
        if row.get("class") != "row":
            continue
        start, end = int(row.get("data-start")), int(row.get("data-end"))
        # Under a block's number, the lines it is written on.
        for label in row.iter(SVG + "text"):
            if label.get("class") == "source":
                tick = start + (int(label.get("x")) - 3 - LEFT) // TICK_WIDTH
                block = max((t, b) for t, b in block_starts if t <= tick)[1]
                if label.text != sources.get(block):
                    problems.append(f"block {block} is said to come from {label.text}, not {sources.get(block)}")
        for rect in row.iter(SVG + "rect"):
            kind = rect.get("class")
            if kind == "shared":
                marks.add(data(rect, "track", "over", "tick", "off", "midi"))
            if kind not in ("note", "cont"):
                continue
            x, width = int(rect.get("x")), int(rect.get("width"))
            if kind == "note":
                track, on, off, midi = data(rect, "track", "tick", "off", "midi")
                notes.append((track, on, off, midi))
                if not start <= on < end or on == end or x != LEFT + (on - start) * TICK_WIDTH:
                    problems.append(f"note {notes[-1]} at x={x} in row {start}-{end}")
                if x + width > LEFT + (end - start) * TICK_WIDTH:
                    problems.append(f"note {notes[-1]} runs past its row's end")
                if off > end:
                    conts.append((track, on, end))
            elif kind == "cont":
                if x != LEFT:
                    problems.append(f"continuation bar at x={x}")
                cut = (*data(rect, "track", "tick"), start)
                if cut in conts:
                    conts.remove(cut)
                else:
                    problems.append(f"continuation bar {cut} of no cut note")
    if conts:
        problems.append(f"cut notes without a continuation bar: {conts[:3]}")
    if marks != shared(want_notes):
        problems.append(f"unison marks {sorted(marks)[:3]}, expected {sorted(shared(want_notes))[:3]}")
    if len(notes) != len(set(notes)) or set(notes) != want_notes:
        problems.append(f"notes: {len(notes)} drawn, {len(want_notes)} expected; extra "
                        f"{sorted(set(notes) - want_notes)[:3]}, missing {sorted(want_notes - set(notes))[:3]}")
    lines = {data(e, "block", "tick") for e in root.iter(SVG + "line") if e.get("class") == "block"}
    if lines != want_lines:
        problems.append(f"block lines {sorted(lines)[:5]}, expected {sorted(want_lines)[:5]}")
    left_out = {data(e, "track", "tick", "off", "midi") for e in root.iter(SVG + "rect") if e.get("class") == "left-out"}
    if left_out != want_left_out:
        problems.append(f"left-out marks {sorted(left_out)[:3]}, expected {sorted(want_left_out)[:3]}")
    title = root.find(SVG + "title").text
    counted = "empty" if not want_notes and not want_left_out else f"{len(want_notes)} note"
    if counted not in title or (want_left_out and f"{len(want_left_out)} left out" not in title):
        problems.append(f"title {title!r}")
    if not want_notes and not want_left_out and len(text) > 50_000:
        problems.append(f"an empty picture of {len(text)} bytes")
    return problems


def check(zirvon, folder, source, rng, xmllint):
    model = mml_model.compile_model(source)
    if model.errors:
        return None
    whole = player_model.run(model.tracks)
    # Half the cases draw the whole song, the others a passage; a passage
    # given by source lines cannot be found in an image.
    options, passage = [], (0, whole["done"], set(range(1, 9)))
    if rng.random() < 0.5:
        lines = len(mml_model.split_lines(source))
        options, passage = midi_differential.random_passage(rng, model.tracks, model.groups, whole, lines)
    runs = [["src.mml", "/svg", *options]]
    if passage and not any("line:" in o for o in options):
        runs += [["src.MZT", "/svg", *options]] * 2
    pictures = []
    for argv in runs:
        run = harness.run(zirvon, folder, *argv)
        if passage is None:
            made = os.path.exists(os.path.join(folder, "src.SVG"))
            return [] if run.returncode == 2 and not made else [f"{argv}: expected status 2, got {run.returncode}"]
        if run.returncode != 0:
            return [f"{argv}: status {run.returncode}: {run.stderr[:200]!r}"]
        with open(os.path.join(folder, "src.SVG"), "rb") as f:
            pictures.append(f.read())
    problems = []
    if xmllint:
        lint = harness.run(["xmllint"], folder, "--noout", "src.SVG")
        if lint.returncode != 0:
            problems.append(f"xmllint: {lint.stderr[:300]!r}")
    starts = player_model.block_starts(model.tracks, whole)
    sources = source_lines(model.tracks, model.groups, whole, starts)
    first_block = player_model.block_of(starts, passage[0])
    problems += check_document(pictures[0], expected(model.tracks, whole, *passage), sources, first_block)
    # From the image: the same picture but for the title's file and tape
    # names and the source lines under the block numbers and in the tooltips.
    rows = [re.sub(rb", line \d+|<text class=\"source\"[^>]*>[^<]*</text>\n", b"",
                   re.sub(rb"src\.(MML|mml|MZT)", b"src", p)) for p in pictures]
    if rows[1:] and (rows[1] != rows[0] or pictures[2] != pictures[1]):
        problems.append("the image's picture differs from the source's, or from itself")
    return [f"{' '.join(options)}: {p}" for p in problems] if options else problems


if __name__ == "__main__":
    xmllint = harness.have("xmllint", "libxml2-utils")
    examples = os.path.join(ROOT, "examples")
    for name in sorted(os.listdir(examples)):
        with open(os.path.join(examples, name), "rb") as f:
            CHOSEN.append(f.read())
    sys.exit(harness.main(lambda *a: check(*a, xmllint), count=200, seed=13, fixed=CHOSEN))
