#!/usr/bin/env python3
"""Looks at a piano roll as a person would: draws a song with the real binary
(/svg), has headless Chromium (Debian's chromium) render the SVG to a PNG,
and checks the pixels: every note of a chosen song shows its track's colour
in its middle, both notes of a unison stay visible (the higher track's note
whole, the lower one's colour through its middle where they share the
pitch), and the background is
empty (white) wherever no note sounds, away from the grid lines.

usage: svg_render.py ZIRVON

Exits 77 (skipped) where chromium is not installed, or fails then under
CI=true, where a missing package must not pass for a green run.
"""
import os
import random
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "model"))
import harness  # noqa: E402

SVG = "{http://www.w3.org/2000/svg}"
# Two notes on each track, at different pitches, with rests between; then
# tracks 1 and 2 in unison for half of track 2's note.
SONG = (b"1[O4 C2 R2] 2[O4 R2 E2] 3[O3 G2 R2] 4[O3 R2 B2] 5[O5 D2 R2] 6[O5 R2 F2] 7[O2 A2 R2] 8[O2 R2 C2]\n"
        b"1[O4 Q4 C2 R2] 2[O4 Q8 C2 R2]\n")


def colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def near(a, b, tolerance=12):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(data):
    """(width, height, rows, bytes per pixel) of a screenshot's PNG: 8-bit RGB or
    RGBA, not interlaced."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    width, height, depth, colour_type, _, _, interlace = header
    assert depth == 8 and colour_type in (2, 6) and interlace == 0, f"unexpected PNG kind {header}"
    size = 3 if colour_type == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * size
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - size] if i >= size else 0
            b = previous[i]
            c = previous[i - size] if i >= size else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, _paeth(a, b, c))[kind]) & 0xFF
        rows.append(bytes(line))
        previous = line
    return width, height, rows, size


def pixel(image, x, y):
    _, _, rows, size = image
    return tuple(rows[y][x * size:x * size + 3])


def render(svg_path, png_path, width, height, folder):
    profile = os.path.join(folder, "profile")
    os.mkdir(profile)
    command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--hide-scrollbars", "--force-device-scale-factor=1", f"--user-data-dir={profile}",
               f"--screenshot={png_path}", f"--window-size={width},{height}", "file://" + svg_path]
    subprocess.run(command, capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
    with open(png_path, "rb") as f:
        return read_png(f.read())


def main():
    if not harness.have("chromium", "chromium"):
        return 77
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "song.MML"), "wb") as f:
            f.write(SONG)
        run = harness.run([os.path.abspath(sys.argv[1])], folder, "song.mml", "/svg")
        if run.returncode != 0:
            print(f"zirvon: status {run.returncode}: {run.stderr!r}")
            return 1
        svg_path = os.path.join(folder, "song.SVG")
        root = ET.parse(svg_path).getroot()
        width, height = int(root.get("width")), int(root.get("height"))
        image = render(svg_path, os.path.join(folder, "song.png"), width, height, folder)
        if image[:2] != (width, height):
            print(f"the screenshot is {image[:2]}, the picture {(width, height)}")
            return 1

        notes = [r for r in root.iter(SVG + "rect") if r.get("class") == "note"]
        thin = [r for r in root.iter(SVG + "rect") if r.get("class") == "shared"]
        # A note that a higher track's covers whole shows through it as a
        # thin bar, checked below.
        covered = {(r.get("data-track"), r.get("data-tick"), r.get("data-off")) for r in thin}
        boxes = []
        for r in notes:
            x, y, w, h = (int(r.get(a)) for a in ("x", "y", "width", "height"))
            boxes.append((x - 2, y - 2, x + w + 2, y + h + 2))
            if (r.get("data-track"), r.get("data-tick"), r.get("data-off")) in covered:
                continue
            got = pixel(image, x + w // 2, y + 1)  # inside the outline, above a unison's thin bar
            if not near(got, colour(r.get("fill"))):
                problems.append(f"track {r.get('data-track')} note at ({x}, {y}): {got}, not {r.get('fill')}")
        tracks = {r.get("data-track") for r in notes}
        if tracks != {str(k) for k in range(1, 9)}:
            problems.append(f"notes of tracks {sorted(tracks)}")

        # The unison: track 1's colour through the middle of track 2's note
        # while both sound, track 2's alone after.
        if len(thin) != 1 or (thin[0].get("data-track"), thin[0].get("data-over")) != ("1", "2"):
            problems.append(f"unison bars: {[(r.get('data-track'), r.get('data-tick')) for r in thin]}")
        else:
            x, y, w = (int(thin[0].get(a)) for a in ("x", "y", "width"))
            for at_x, at_y, fill in ((x + 10, y, "#0072B2"), (x + 10, y - 1, "#D55E00"),
                                     (x + 10, y + 2, "#D55E00"), (x + w + 10, y, "#D55E00")):
                if not near(pixel(image, at_x, at_y), colour(fill)):
                    problems.append(f"unison at ({at_x}, {at_y}): {pixel(image, at_x, at_y)}, not {fill}")

        # The background, in each row's frame, where nothing is drawn.
        lines_x = [float(e.get("x1")) for e in root.iter(SVG + "line") if e.get("class") == "block"]
        lines_y = [float(e.get("y1")) for e in root.iter(SVG + "line") if e.get("class") != "block"]
        frames = [r for r in root.iter(SVG + "rect") if r.get("fill") == "none"]
        rng = random.Random(1)
        checked = 0
        for frame in frames:
            fx, fy = float(frame.get("x")), float(frame.get("y"))
            fw, fh = float(frame.get("width")), float(frame.get("height"))
            for _ in range(400):
                x, y = rng.randint(int(fx) + 3, int(fx + fw) - 3), rng.randint(int(fy) + 3, int(fy + fh) - 3)
                if any(b[0] <= x <= b[2] and b[1] <= y <= b[3] for b in boxes) or \
                        any(abs(x - lx) < 2 for lx in lines_x) or any(abs(y - ly) < 2 for ly in lines_y):
                    continue
                checked += 1
                if min(pixel(image, x, y)) < 240:
                    problems.append(f"background at ({x}, {y}) is {pixel(image, x, y)}")
        if checked < 200:
            problems.append(f"only {checked} background points to check")
    for p in problems[:20]:
        print(p)
    print("the rendered picture is as drawn" if not problems else f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
