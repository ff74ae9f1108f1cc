"""What the differential tests share: the command line, random MML sources,
running the real binary in a scratch folder, tools a check needs, and the
report of the cases that failed.

Each driver is run as  DRIVER ZIRVON [--count N] [--seed S] [--emulator COMMAND...];
--emulator, last, runs the binary under a command such as wine64: every
argument after it belongs to that command.
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile


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
    if rng.random() < 0.1:
        return rng.choice(["; a comment", "Title of the song", "bar 12 of 40", ""])
    text = ""
    for _ in range(rng.randint(1, 4)):
        text += rng.choice(["", " ", "  ", "x"]) + block(rng)
    if rng.random() < 0.1:
        text += " ; trailing 7 comment"
    return text


def source(rng):
    """A random MML source, as bytes: mostly valid, with every kind of mistake."""
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


def have(tool, package):
    """Whether a tool is installed; under CI=true a missing one ends the test
    as failed, so that a missing package never passes for a green run."""
    if shutil.which(tool):
        return True
    if os.environ.get("CI") in ("true", "1"):
        sys.exit(f"{tool} is missing (Debian package {package}), and CI=true wants every check to run")
    print(f"{tool} is missing (Debian package {package}): its check is skipped")
    return False


def run(zirvon, folder, *argv):
    """The binary (a command list) run in `folder`, its output captured."""
    return subprocess.run([*zirvon, *argv], cwd=folder, capture_output=True)


def main(check, count, seed, fixed=()):
    """Runs check(zirvon, folder, source, rng) on the `fixed` sources, then on
    --count random ones, each in an emptied folder holding it as src.MML.
    check returns the problems found, or None to pass over a random source
    (it is not counted). Prints the first failures; returns the exit status."""
    parser = argparse.ArgumentParser(usage="%(prog)s ZIRVON [--count N] [--seed S] [--emulator COMMAND...]")
    parser.add_argument("zirvon")
    parser.add_argument("--count", type=int, default=count)
    parser.add_argument("--seed", type=int, default=seed)
    parser.add_argument("--emulator", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    zirvon = args.emulator + [os.path.abspath(args.zirvon)]
    rng = random.Random(args.seed)
    fixed = list(fixed)
    failures = checked = 0
    with tempfile.TemporaryDirectory() as folder:
        while checked < len(fixed) + args.count:
            data = fixed[checked] if checked < len(fixed) else source(rng)
            for name in os.listdir(folder):
                os.remove(os.path.join(folder, name))
            with open(os.path.join(folder, "src.MML"), "wb") as f:
                f.write(data)
            problems = check(zirvon, folder, data, rng)
            if problems is None:
                if checked < len(fixed):
                    sys.exit(f"the model does not compile {data!r}")
                continue
            checked += 1
            if problems:
                failures += 1
                if failures <= 10:
                    print(f"case {checked}: {data[:300]!r}")
                    for p in problems:
                        print("   ", p)
    print(f"{checked - failures} passed, {failures} failed")
    return 1 if failures else 0
