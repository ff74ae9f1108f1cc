"""A plain reference model of the MML compiler and the tape writer.

It is written for clarity, not speed, with Python's unbounded integers, so
that the compiler can be checked against it on random sources.
"""

LENGTHS = {1: 96, 2: 48, 4: 24, 8: 12, 16: 6, 32: 3}
SEMITONES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}
SYNC = (253, 0, 0)
END = (254, 0, 0)


def split_lines(data):
    """Lines without terminators; CR LF and bare LF both end a line."""
    if not data.endswith(b"\n"):
        data += b"\r\n"
    lines = []
    start = 0
    while start < len(data):
        lf = data.index(b"\n", start)
        end = lf - 1 if lf > start and data[lf - 1] == 0x0D else lf
        lines.append(data[start:end])
        start = lf + 1
    return lines


def length_ticks(number, dots):
    if number not in LENGTHS:
        return 0
    ticks = half = LENGTHS[number]
    for _ in range(min(dots, 16)):
        half //= 2
        ticks += half
    return ticks


class Model:
    def __init__(self):
        self.tracks = [[] for _ in range(10)]
        # For each event, the group n[...] it was written in: (line, column
        # of its bracket); None for the end marks.
        self.groups = [[] for _ in range(10)]
        self.group = None
        self.octave = [3] * 10
        self.length = [4] * 10
        self.ratio = [7] * 10
        self.full_reported = [False] * 10
        # An octave where no note letter fits (below O1, above O22), since
        # the command at "at": its notes out of range are one error there.
        self.slip = [None] * 10
        self.errors = []  # (line, column); line 0 for the whole file

    def octave_changed(self, track, at, absolute):
        octave = self.octave[track]
        out = octave < 0 or octave > 21
        if self.slip[track] and (not out or absolute):
            self.slip[track] = None
        if out and not self.slip[track]:
            self.slip[track] = {"at": at, "notes": 0}

    def out_of_range(self, track, where):
        slip = self.slip[track]
        if not slip:
            self.errors.append(where)
        elif slip["notes"] == 0:
            self.errors.append(slip["at"])
        if slip:
            slip["notes"] += 1

    def append(self, track, event, where):
        if len(self.tracks[track]) >= 9999:  # the last place is the EndMark's
            if not self.full_reported[track]:
                self.full_reported[track] = True
                self.errors.append(where)
            return
        self.tracks[track].append(event)
        self.groups[track].append(self.group)

    def compile_line(self, text, line_no):
        track = None
        in_block = False
        pending = None  # None, "note", "rest" or a parameter letter
        where = None
        number = semitone = dots = 0
        raw = tie = False
        # Where the number's first digit stood, whether outside a block, and
        # how many digits it has: a track number out of range is reported at
        # its first digit when they stood apart from the `[` outside blocks.
        first_digit = digits = 0
        digits_outside = False

        def emit():
            nonlocal pending, number, dots, raw, tie, digits
            if pending is None:
                return
            if pending in ("note", "rest"):
                if track is not None:
                    n = number if number != 0 else self.length[track]
                    ticks = n if raw else length_ticks(n, dots)
                    gate = ticks if tie else max(1, ticks * self.ratio[track] // 8)
                    if pending == "rest":
                        self.append(track, (0, ticks & 255, 0), where)
                    else:
                        pitch = self.octave[track] * 12 + semitone
                        if 0 <= pitch <= 252:
                            self.append(track, (pitch, ticks & 255, gate & 255), where)
                        else:
                            self.out_of_range(track, where)
                raw = False
                dots = 0
                tie = False
            elif track is not None:
                if pending == "L":
                    self.length[track] = number
                elif pending == "O":
                    self.octave[track] = number - 1
                    self.octave_changed(track, where, True)
                else:
                    self.ratio[track] = number
            pending = None
            number = digits = 0

        for i, byte in enumerate(text):
            column = i + 1
            c = chr(byte)
            if c == ";":
                break
            if c.isdigit() and byte < 0x80:
                if digits == 0:
                    first_digit, digits_outside = column, not in_block
                digits += 1
                number = number * 10 + int(c)
                continue
            if c == "[":
                self.group = (line_no, column)
                if number <= 9:
                    track = number
                else:
                    track = None
                    apart = digits_outside and first_digit + digits != column
                    self.errors.append((line_no, first_digit if apart else column))
                number = digits = 0
                in_block = True
                continue
            if not in_block:
                continue
            if c == "%":
                raw = True
            elif c == ".":
                dots += 1
            elif c in "+#-":
                if pending != "rest":
                    semitone += -1 if c == "-" else 1
            else:
                emit()
                upper = c.upper() if byte < 0x80 else c
                if c == "]":
                    if track is not None:
                        self.append(track, SYNC, (line_no, column))
                    number = digits = 0
                    in_block = False
                elif c in "<>":
                    if track is not None:
                        self.octave[track] += 1 if c == ">" else -1
                        self.octave_changed(track, (line_no, column), False)
                elif c == "&":
                    tie = True
                elif upper in SEMITONES:
                    pending, semitone, where = "note", SEMITONES[upper], (line_no, column)
                elif upper == "R":
                    pending, semitone, where = "rest", 0, (line_no, column)
                elif upper in ("L", "O", "Q"):
                    pending, where = upper, (line_no, column)
        if in_block:
            emit()

    def finish(self):
        for t, g in zip(self.tracks, self.groups):
            t.append(END)
            g.append(None)
        if 3 * sum(len(t) for t in self.tracks) > 0xFFFF:
            self.errors.append((0, 0))


def compile_model(data):
    """The model after compiling `data`: its tracks, groups and errors."""
    model = Model()
    for k, line in enumerate(split_lines(data)):
        model.compile_line(line, k + 1)
    model.finish()
    return model


def data_block(tracks):
    return bytes(b for t in tracks for e in t for b in e)


def compile_source(data):
    """Returns (image data block, errors)."""
    model = compile_model(data)
    return data_block(model.tracks), model.errors


def tape_image(block, tape_name):
    header = bytearray(128)
    header[0] = 0xC8
    name = tape_name[:15]
    header[1:1 + len(name)] = name
    header[1 + len(name)] = 0x0D
    header[16] = 0x0D
    header[18] = len(block) & 0xFF
    header[19] = (len(block) >> 8) & 0xFF
    header[20:24] = bytes([0x5A, 0x31, 0x00, 0x12])
    return bytes(header) + block
