#!/usr/bin/env python3
"""Runs two builds of zirvon on the same cases and checks that they behave
the same: exit status, standard output and error, and the bytes of every file
in the folder afterwards. Two uses: the Linux build against the Windows build
(run under an emulator), and a build before a change against the build after
it, which must give the same bytes.

usage: compare_builds.py FIRST_ZIRVON SECOND_ZIRVON [--count N] [--seed S]
                         [--jobs J] [--emulator COMMAND...]

The cases: every example song, compiled, drawn (/svg) and rendered (/wav),
a few command lines (usage text, version, listings, refusals, an image
written through a symbolic link, the picture and the WAV of an image,
passages, a WAV of every track over the whole range of pitches), and N
random sources from the reference-model test's generator, with a seed of
their own so that they are not the ones that test tries; every third of them
is drawn, every tenth rendered, every second written as a MIDI file too, and
every fifth listed instead. The synthesizer must give the same bytes on every
system, so WAV files are compared like any other. --emulator, last, is the
command that runs the second build (every argument after it belongs to it).
"""
import argparse
import concurrent.futures
import os
import random
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "model"))
import differential  # noqa: E402
import mml_model  # noqa: E402

ONE_NOTE = b"1[C]\r\n"


def every_voice_and_pitch():
    """Eight tracks that climb through every octave, in notes of every kind
    of length, legato and detached, then all together on one pitch."""
    lines = []
    for track in range(1, 9):
        notes = " ".join(f"O{octave} C16 E8. G%5 &B Q2 A32 Q7" for octave in range(1, 10))
        lines.append(f"{track}[{notes}]")
    lines.append(" ".join(f"{track}[O4 A2]" for track in range(1, 9)))
    return ("\r\n".join(lines) + "\r\n").encode()


class Case:
    """Files to put in a fresh folder, the arguments, and links to make."""

    def __init__(self, name, files, args, links=()):
        self.name = name
        self.files = files          # {relative path: bytes}
        self.args = args
        self.links = links          # [(link, target)]

    def prepare(self, folder):
        for path, data in self.files.items():
            full = os.path.join(folder, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(data)
        for link, target in self.links:
            os.symlink(target, os.path.join(folder, link))


def examples_file(name):
    with open(os.path.join(ROOT, "examples", name), "rb") as f:
        return f.read()


def fixed_cases():
    cases = []
    examples = os.path.join(ROOT, "examples")
    for name in sorted(os.listdir(examples)):
        if name.endswith(".mml"):
            with open(os.path.join(examples, name), "rb") as f:
                source = f.read()
            cases.append(Case(f"example {name}", {name: source}, [name, "EXAMPLE"]))
            # The picture's title names the file as it was read, song.MML
            # where case is ignored: give the name that both systems read.
            upper = name[:-4] + ".MML"
            cases.append(Case(f"picture of example {name}", {upper: source}, [name, "/svg", "EXAMPLE"]))
            cases.append(Case(f"example {name} as WAV", {name: source}, [name, "/wav"]))
    image = mml_model.tape_image(mml_model.compile_source(b"1[C D E]\r\n2[G]")[0], b"X")
    cases += [
        Case("no arguments", {}, []),
        Case("help", {}, ["/?"]),
        Case("full help", {}, ["--help"]),
        Case("version", {}, ["--version"]),
        Case("unknown extension", {"song.txt": ONE_NOTE}, ["song.txt"]),
        Case("missing source", {}, ["missing.mml"]),
        Case("listing of MML", {"song.MML": ONE_NOTE}, ["/list", "song.mml"]),
        Case("compile errors", {"bad.MML": b"1[C]\r\nT1 2[C] 1[O0 C\r\n"}, ["bad.mml"]),
        Case("unknown option", {"w.MML": b"1[C V]"}, ["w.mml", "/lsit"]),
        Case("warnings", {"w.MML": b"1[C V T120 D]\r\n2[E]]"}, ["w.mml"]),
        Case("image elsewhere", {"song.MML": ONE_NOTE}, ["song.mml", "/midi", "-o", "out.bin"]),
        Case("listing of an image", {"song.MZT": image}, ["song.MZT", "/list"]),
        Case("image without /play", {"song.MZT": image}, ["song.mzt"]),
        Case("picture of an image", {"song.MZT": image}, ["song.MZT", "/svg"]),
        Case("picture with markup in its names", {"a&b'.MML": b"1[O9 C A B]\r\n2[C]"},
             ["a&b'.mml", "/svg", "T<&>'"]),
        Case("short image", {"short.MZT": b"\0" * 100}, ["short.MZT", "/list"]),
        Case("through a symbolic link", {"song.MML": ONE_NOTE, "real/song.MZT": b"old"},
             ["song.mml", "LINKED"], links=[("song.MZT", "real/song.MZT")]),
        Case("a passage through /midi", {"canon.MML": examples_file("canon.mml")},
             ["canon.mml", "/midi", "/from=line:6", "/to=0:08.12", "/solo=1-2"]),
        Case("a passage the song lacks", {"canon.MML": examples_file("canon.mml")},
             ["canon.mml", "/midi", "/from=8"]),
        Case("passage options that change nothing", {"canon.MML": examples_file("canon.mml")},
             ["canon.mml", "/list", "/mute=3"]),
        Case("WAV of an image", {"song.MZT": image}, ["song.MZT", "/wav"]),
        Case("WAV of every voice and pitch", {"all.MML": every_voice_and_pitch()}, ["all.mml", "/wav"]),
    ]
    return cases


def random_cases(count, seed):
    rng = random.Random(seed)
    cases = []
    for i in range(count):
        data = differential.source(rng)
        tape_name = rng.choice(["MUSICDATA", "T", "A-LONG-TAPE-NAME-HERE"])
        drawn = ["/svg"] if i % 3 == 0 else []
        rendered = ["/wav"] if i % 10 == 0 else []
        recorded = ["/midi"] if i % 2 == 0 else []
        listed = ["/list"] if i % 5 == 4 else []
        cases.append(Case(f"random source {i}", {"src.MML": data},
                          ["src.mml", tape_name, *drawn, *rendered, *recorded, *listed]))
    return cases


def snapshot(folder):
    """Every file and link under `folder`: {relative path: bytes or link target}."""
    found = {}
    for base, dirs, files in os.walk(folder):
        for name in dirs + files:
            full = os.path.join(base, name)
            rel = os.path.relpath(full, folder)
            if os.path.islink(full):
                found[rel] = ("link", os.readlink(full))
            elif os.path.isfile(full):
                with open(full, "rb") as f:
                    found[rel] = f.read()
    return found


def run(command, case):
    folder = tempfile.mkdtemp(prefix="zirvon-compare-")
    try:
        case.prepare(folder)
        done = subprocess.run(command + case.args, cwd=folder, capture_output=True,
                              stdin=subprocess.DEVNULL, timeout=120)
        return done.returncode, done.stdout, done.stderr, snapshot(folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def compare(first, second, case):
    a = run(first, case)
    b = run(second, case)
    if b[0] != a[0] and not b[1] and not b[2]:
        # Wine itself now and then fails to start a program under load, with
        # no word on either stream; a real difference shows again.
        b = run(second, case)
    problems = []
    for what, x, y in zip(("exit status", "standard output", "standard error", "files"), a, b):
        if x != y:
            shown = (x, y) if what != "files" else (
                sorted(k for k in x if x.get(k) != y.get(k)), sorted(k for k in y if x.get(k) != y.get(k)))
            problems.append(f"{what}: first {shown[0]!r:.300} / second {shown[1]!r:.300}")
    return case, problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("first")
    parser.add_argument("second")
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=20)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--emulator", nargs=argparse.REMAINDER, default=[])
    args = parser.parse_args()
    first = [os.path.abspath(args.first)]
    second = args.emulator + [os.path.abspath(args.second)]

    cases = fixed_cases() + random_cases(args.count, args.seed)
    failures = 0
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        for case, problems in pool.map(lambda c: compare(first, second, c), cases):
            if problems:
                failures += 1
                if failures <= 10:
                    print(f"{case.name}: {case.args}")
                    for p in problems:
                        print("   ", p)
    print(f"{len(cases) - failures} of {len(cases)} cases the same with both builds")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
