"""A plain reference model of the preview player, of the blocks the sync
marks cut a song into and the passages played from them, and a Standard MIDI
File reader, to check the MIDI files the program writes.

The player steps tracks 1-8 once a tick. Track k sends on channel k. A track
is monophonic: a new note first ends the one still sounding. A note whose MIDI
number (code + 24) passes 127 is not sent but still ends the note before it.
"""


def run(tracks):
    """The whole run of ten tracks of (note, length, gate): 'messages'
    (tick, status, data1, data2) in the order sent, 'done' (the done tick),
    'releases' (the ticks on which the barrier let a waiting track go on) and
    'reads' ({(track, index): tick} of every event read on tracks 1-8)."""
    state = {}
    for k in range(1, 9):
        state[k] = dict(active=True, waiting=False, sounding=None, pos=0, remaining=0, gate_left=0)
    out = []
    releases = []
    reads = {}
    tick = 0
    while True:
        if not any(s["active"] and not s["waiting"] for s in state.values()):
            if any(s["waiting"] for s in state.values()):
                releases.append(tick)
            for s in state.values():
                s["waiting"] = False
        if not any(s["active"] for s in state.values()):
            return dict(messages=out, done=tick, releases=releases, reads=reads)
        for k in range(1, 9):
            s = state[k]
            if not s["active"] or s["waiting"]:
                continue
            if s["remaining"] > 0:
                s["remaining"] -= 1
            else:
                events = tracks[k]
                if s["pos"] >= len(events):
                    s["active"] = False
                    continue
                note, length, gate = events[s["pos"]]
                reads[(k, s["pos"])] = tick
                s["pos"] += 1
                if note >= 253:
                    if s["sounding"] is not None:
                        out.append((tick, 0x80 + k, s["sounding"], 127))
                        s["sounding"] = None
                    if note == 253:
                        s["waiting"] = True
                    elif note == 254:
                        s["active"] = False
                    continue
                if gate != 0:
                    if s["sounding"] is not None:
                        out.append((tick, 0x80 + k, s["sounding"], 127))
                        s["sounding"] = None
                    midi = note + 24
                    if midi <= 127:
                        out.append((tick, 0x90 + k, midi, 127))
                        s["sounding"] = midi
                s["remaining"] = length
                s["gate_left"] = gate
            if s["gate_left"] > 0:
                s["gate_left"] -= 1
            elif s["sounding"] is not None:
                out.append((tick, 0x80 + k, s["sounding"], 127))
                s["sounding"] = None
        tick += 1


def block_starts(tracks, whole):
    """Where the blocks start. Block 1 on tick 0, block k+1 on release k;
    as many blocks as releases, plus one when a note or rest is read on or
    after the last release; none when no note or rest is read at all."""
    sound = [tick for (k, i), tick in whole["reads"].items() if tracks[k][i][0] < 253]
    if not sound:
        return []
    releases = whole["releases"]
    count = len(releases) + (1 if not releases or max(sound) >= releases[-1] else 0)
    return ([0] + releases)[:count]


def block_of(starts, tick):
    """Block (from 1) of a tick: the last one starting at or before it."""
    return sum(1 for s in starts if s <= tick)


def line_blocks(tracks, groups, whole, starts):
    """{line: [blocks]} of every group of tracks 1-8 with a note or rest: the
    block in which its first note or rest is read."""
    first = {}
    for k in range(1, 9):
        for i, event in enumerate(tracks[k]):
            group = groups[k][i]
            if group is None or event[0] >= 253 or (k, group) in first:
                continue
            first[(k, group)] = whole["reads"][(k, i)]
    blocks = {}
    for (k, (line, _)), tick in first.items():
        blocks.setdefault(line, []).append(block_of(starts, tick))
    return blocks


def resolve(bound, is_end, starts, done, blocks_by_line):
    """Song tick of one end of a passage, or None. bound: ('block', n),
    ('time', hundredths) or ('line', n)."""
    kind, value = bound
    if kind == "block":
        if not 1 <= value <= len(starts):
            return None
        if is_end:
            return starts[value] if value < len(starts) else done
        return starts[value - 1]
    if kind == "time":
        tick = (value + 1) // 2
        if tick > done or (not is_end and tick == done):
            return None
        return tick
    lines = sorted(line for line in blocks_by_line if line >= value)
    if not lines:
        return None
    block = max(blocks_by_line[lines[0]]) if is_end else min(blocks_by_line[lines[0]])
    return resolve(("block", block), is_end, starts, done, blocks_by_line)


def passage(whole, start, end, audible):
    """The messages of a passage, with passage ticks: held notes' note-ons
    on tick 0, the whole run's messages in [start, end) of the audible
    tracks, and note-offs on tick end - start for what still sounds. A held
    note whose note-off is its channel's first message on the start tick is
    not started, and that note-off is not sent."""
    messages = whole["messages"]
    sounding = {}
    out = []
    skipped = set()

    def held(at):
        on_start = [i for i in range(at, len(messages)) if messages[i][0] == start]
        for k in sorted(k for k in sounding if k in audible):
            first = next((i for i in on_start if messages[i][1] & 0x0F == k), None)
            if first is not None and messages[first][1:3] == (0x80 + k, sounding[k]):
                skipped.add(first)
            else:
                out.append((0, 0x90 + k, sounding[k], 127))

    started = False
    for i, (tick, status, d1, d2) in enumerate(messages):
        if tick >= end:
            break
        if tick >= start and not started:
            held(i)
            started = True
        k = status & 0x0F
        if tick >= start and k in audible and i not in skipped:
            out.append((tick - start, status, d1, d2))
        if status & 0xF0 == 0x90:
            sounding[k] = d1
        else:
            sounding.pop(k, None)
    if not started:
        held(len(messages))
    for k in sorted(sounding):
        if k in audible:
            out.append((end - start, 0x80 + k, sounding[k], 127))
    return out


def _varlen(data, at):
    value = 0
    while True:
        byte = data[at]
        at += 1
        value = (value << 7) | (byte & 0x7F)
        if byte < 0x80:
            return value, at


def read_midi_file(data):
    """Returns (format, division, tracks) where each track is a dict with
    'name', 'events': (tick, status, data1, data2) note-ons and note-offs,
    'programs': (tick, status, program) program changes, and 'tempo' values
    seen."""
    assert data[:4] == b"MThd", "no header chunk"
    assert int.from_bytes(data[4:8], "big") == 6
    fmt = int.from_bytes(data[8:10], "big")
    count = int.from_bytes(data[10:12], "big")
    division = int.from_bytes(data[12:14], "big")
    at = 14
    tracks = []
    for _ in range(count):
        assert data[at:at + 4] == b"MTrk", "no track chunk"
        size = int.from_bytes(data[at + 4:at + 8], "big")
        chunk = data[at + 8:at + 8 + size]
        assert len(chunk) == size, "track chunk cut short"
        at += 8 + size
        track = {"name": None, "events": [], "programs": [], "tempo": [], "ended": False}
        pos = tick = 0
        while pos < len(chunk):
            assert not track["ended"], "events after end of track"
            delta, pos = _varlen(chunk, pos)
            tick += delta
            status = chunk[pos]
            if status == 0xFF:
                kind = chunk[pos + 1]
                length, pos = _varlen(chunk, pos + 2)
                body = chunk[pos:pos + length]
                pos += length
                if kind == 0x03:
                    track["name"] = body.decode("latin-1")
                elif kind == 0x51:
                    track["tempo"].append(int.from_bytes(body, "big"))
                elif kind == 0x2F:
                    track["ended"] = True
                    track["end"] = tick
                continue
            # Only program changes, note-ons and note-offs, each with its
            # status byte.
            if status & 0xF0 == 0xC0:
                track["programs"].append((tick, status, chunk[pos + 1]))
                pos += 2
                continue
            assert status & 0xE0 == 0x80, f"status {status:#x}"
            track["events"].append((tick, status, chunk[pos + 1], chunk[pos + 2]))
            pos += 3
        assert track["ended"], "track without end of track"
        tracks.append(track)
    assert at == len(data), "bytes after the last chunk"
    return fmt, division, tracks
