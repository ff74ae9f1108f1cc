#!/usr/bin/env python3
"""Compiles random MML sources with the real binary, writes each image back
as MML with /mml, compiles that MML with the tape name the message names,
and checks that the image comes back byte for byte, and that the message
says the command that rebuilds it.

usage: mml_round_trip.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]
"""
import os
import re
import shlex
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402

REBUILD = re.compile(rb"^zirvon: 'back\.MML' written; 'zirvon (.*)' builds the image again$", re.M)


def check(zirvon, folder, data, rng):
    tape_name = rng.choice(["MUSICDATA", "T", "A-LONG-TAPE-NAME-HERE", "two words", "it's", ""])
    first = harness.run(zirvon, folder, "src.mml", tape_name)
    if first.returncode != 0:
        return None  # a source with errors makes no image
    image = os.path.join(folder, "src.MZT")
    with open(image, "rb") as f:
        original = f.read()
    written = harness.run(zirvon, folder, "src.MZT", "/mml", "-o", "back.MML")
    if written.returncode != 0:
        return [f"/mml: status {written.returncode}: {written.stderr[:300]!r}"]
    if b"warning" in written.stderr:
        return [f"/mml warns about an image zirvon wrote: {written.stderr[:300]!r}"]
    match = REBUILD.search(written.stderr)
    if not match:
        return [f"no rebuild command in {written.stderr[:300]!r}"]
    with open(os.path.join(folder, "back.MML"), "rb") as f:
        first_line = f.readline()
    # The first line names the tape, as the header holds it (cut to 15).
    if first_line != b"; tape name " + tape_name.encode()[:15] + b"\n":
        return [f"first line {first_line!r}"]
    args = shlex.split(match.group(1).decode("latin-1"))
    os.remove(image)
    again = harness.run(zirvon, folder, *args, "-o", "src.MZT")
    if again.returncode != 0:
        return [f"the written MML does not compile: {again.stderr[:300]!r}"]
    with open(image, "rb") as f:
        rebuilt = f.read()
    if rebuilt != original:
        return [f"{tape_name!r}: the image differs ({len(rebuilt)} vs {len(original)} bytes)"]
    return []


if __name__ == "__main__":
    sys.exit(harness.main(check, count=300, seed=3))
