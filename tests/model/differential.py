#!/usr/bin/env python3
"""Compiles random MML sources with the real binary and with the reference
model, and checks that both give the same image bytes, or the same errors.

usage: differential.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]

--emulator, last, runs the binary under a command such as wine64: every
argument after it belongs to that command.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mml_model  # noqa: E402


def number(rng):
    roll = rng.random()
    if roll < 0.5:
        return str(rng.choice([1, 2, 4, 8, 16, 32]))
    if roll < 0.8:
        return str(rng.randint(0, 400))
    if roll < 0.9:
        return ""
    return str(rng.randint(0, 10 ** rng.randint(3, 25)))


def token(rng):
    roll = rng.random()
    if roll < 0.45:
        t = rng.choice("CDEFGABcdefgab")
        t += "".join(rng.choice("+#-") for _ in range(rng.choice([0, 0, 0, 1, 2])))
        t += number(rng) if rng.random() < 0.5 else ""
        t += "." * rng.choice([0, 0, 0, 1, 2, 3])
        if rng.random() < 0.1:
            t = rng.choice(["%", ""]) + t + rng.choice(["%", ""])
        return t
    if roll < 0.55:
        return rng.choice("Rr") + rng.choice(["", "", "+", "-"]) + number(rng)
    if roll < 0.65:
        letter = rng.choice("LOQloq")
        value = str(rng.randint(2, 7)) if letter in "Oo" and rng.random() < 0.95 else number(rng)
        return letter + value
    if roll < 0.75:
        return rng.choice(["<", ">", "&", "&", ".", "%", " ", "  ", "\t", "  "])
    if roll < 0.8:
        return rng.choice(["V", "T5", "@", "!", ",", "|", "\x01", "\x81\x41", "\r"])
    if roll < 0.85:
        return rng.choice(["]", "[", "3[", ";", "5"])
    return " "


def block(rng):
    roll = rng.random()
    track = str(rng.randint(0, 9)) if roll < 0.97 else rng.choice(["", "10", "12", "4294967297", "99999999999999999999"])
    body = "".join(token(rng) for _ in range(rng.randint(0, 12)))
    close = "]" if rng.random() < 0.85 else ""
    return track + "[" + body + close


def line(rng):
    roll = rng.random()
    if roll < 0.1:
        return rng.choice(["; a comment", "Title of the song", "bar 12 of 40", ""])
    text = ""
    for _ in range(rng.randint(1, 4)):
        text += rng.choice(["", " ", "  ", "x"]) + block(rng)
    if rng.random() < 0.1:
        text += " ; trailing 7 comment"
    return text


def source(rng):
    ends = rng.choice(["\r\n", "\n", "mixed"])
    parts = []
    for _ in range(rng.randint(0, 12)):
        end = rng.choice(["\r\n", "\n"]) if ends == "mixed" else ends
        parts.append(line(rng) + end)
    text = "".join(parts)
    if rng.random() < 0.02:
        # Near the limits: a full track, and images near 65,535 data bytes.
        for _ in range(rng.randint(1, 3)):
            notes = rng.randint(9995, 10001)
            text = f"{rng.randint(0, 9)}[O4" + " C" * notes + "]\r\n" + text
    if text and rng.random() < 0.2:
        text = text.rstrip("\r\n")
    return text.encode("latin-1")


ERROR = re.compile(rb"^src\.MML:(?:(\d+):(\d+):)? error: ", re.M)


def check(zirvon, folder, data, tape_name):
    """zirvon: the command that runs the binary, as a list."""
    path = os.path.join(folder, "src.MML")
    image = os.path.join(folder, "src.MZT")
    with open(path, "wb") as f:
        f.write(data)
    if os.path.exists(image):
        os.remove(image)
    run = subprocess.run(zirvon + ["src.mml", tape_name], cwd=folder, capture_output=True)
    block, errors = mml_model.compile_source(data)
    got_errors = [(int(m.group(1) or 0), int(m.group(2) or 0)) for m in ERROR.finditer(run.stderr)]
    problems = []
    if errors:
        if run.returncode != 1 or os.path.exists(image):
            problems.append(f"expected failure, got status {run.returncode}")
        if got_errors != errors:
            problems.append(f"errors {got_errors} != model {errors}")
    else:
        if run.returncode != 0:
            problems.append(f"status {run.returncode}: {run.stderr[:300]!r}")
        else:
            with open(image, "rb") as f:
                got = f.read()
            want = mml_model.tape_image(block, tape_name.encode())
            if got != want:
                problems.append(f"image differs ({len(got)} vs {len(want)} bytes)")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zirvon")
    parser.add_argument("--count", type=int, default=1000)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--emulator", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    zirvon = args.emulator + [args.zirvon]
    rng = random.Random(args.seed)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for i in range(args.count):
            data = source(rng)
            tape_name = rng.choice(["MUSICDATA", "T", "A-LONG-TAPE-NAME-HERE"])
            problems = check(zirvon, folder, data, tape_name)
            if problems:
                failures += 1
                if failures <= 10:
                    print(f"case {i}: {data!r}")
                    for p in problems:
                        print("   ", p)
    print(f"{args.count - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
