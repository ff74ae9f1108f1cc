"""A plain reference model of the preview player and a Standard MIDI File
reader, to check the MIDI files the program writes.

The player steps tracks 1-8 once a tick. Track k sends on channel k. A track
is monophonic: a new note first ends the one still sounding. A note whose MIDI
number (code + 24) passes 127 is not sent but still ends the note before it.
"""


def play(tracks, info=None):
    """tracks: ten lists of (note, length, gate). Returns (messages, done_tick)
    where messages are (tick, status, data1, data2) in the order sent. A dict
    given as info gets "releases", the ticks on which waiting tracks go on,
    and "reads", for each track 1-8 the (tick, event) of every event read."""
    releases, reads = [], {k: [] for k in range(1, 9)}
    if info is not None:
        info.update(releases=releases, reads=reads)
    state = {}
    for k in range(1, 9):
        state[k] = dict(active=True, waiting=False, sounding=None, pos=0, remaining=0, gate_left=0)
    out = []
    tick = 0
    while True:
        if not any(s["active"] and not s["waiting"] for s in state.values()):
            if any(s["waiting"] for s in state.values()):
                releases.append(tick)
            for s in state.values():
                s["waiting"] = False
        if not any(s["active"] for s in state.values()):
            return out, tick
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
                reads[k].append((tick, events[s["pos"]]))
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


def read_tape_tracks(image):
    """The ten tracks of a tape image written by the program."""
    tracks = []
    at = 128
    for _ in range(10):
        track = []
        while True:
            event = tuple(image[at:at + 3])
            at += 3
            track.append(event)
            if event[0] == 254:
                break
        tracks.append(track)
    return tracks


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
    'name' and 'events': (tick, status, data1, data2) channel messages, and
    'tempo' values seen."""
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
        track = {"name": None, "events": [], "tempo": [], "ended": False}
        pos = tick = 0
        running = None
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
                continue
            if status in (0xF0, 0xF7):
                length, pos = _varlen(chunk, pos + 1)
                pos += length
                continue
            if status & 0x80:
                running = status
                pos += 1
            assert running is not None, "data byte without status"
            high = running & 0xF0
            if high in (0xC0, 0xD0):
                d1, d2 = chunk[pos], 0
                pos += 1
            else:
                d1, d2 = chunk[pos], chunk[pos + 1]
                pos += 2
            track["events"].append((tick, running, d1, d2))
        assert track["ended"], "track without end of track"
        tracks.append(track)
    assert at == len(data), "bytes after the last chunk"
    return fmt, division, tracks
