#!/usr/bin/env python3
"""Times how fast zirvon starts, against abc2midi (Debian package abcmidi), a
small C program of the same kind, in paired runs side by side:

  compile   `zirvon canon.mml` (examples/canon.mml, writing canon.MZT into a
            temporary folder) against `abc2midi canon.abc` compiling the same
            little canon, written in ABC to about the same size, into a
            MIDI file in the same folder
  version   `zirvon --version` against `abc2midi -ver`

The two programs of a pair run one after the other, in alternating order, so
that whatever else the machine does falls on both alike. Each run is timed
from the spawn to the end of the wait (posix_spawn, which costs both the
same), and its processor time (user and system) is taken from the wait: the
processor time hardly grows with the load of other programs, the time by
the clock does, and zirvon's two fsync calls wait for the disk (which a
folder on tmpfs, --dir /dev/shm, leaves out). Prints the median of each, the
ratio of the medians, and the target (within 1.5 x). abc2midi is installed
with apt-get when it is missing.

usage: startup_bench.py [ZIRVON] [--pairs N] [--dir FOLDER]
       (default build/release/zirvon, 300 pairs, a new folder in $TMPDIR or /tmp)
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
TARGET = 1.5

# examples/canon.mml in ABC: three voices, seven bars, and comments to about
# the same number of bytes.
CANON_ABC = """\
X:1
T:Little Canon in G
% Little Canon in G, a round for three voices
% Each line is one bar; every voice closes its bar, so the voices meet at each bar line.
M:4/4
L:1/4
Q:1/4=120
K:G
V:1
G A B G | A/2B/2 c B G | D3/2 E/2 F G | G3 z | d B c A | _B/2A/2 G F G | G4 |]
% bar one: the theme; the second voice enters; a tie, then raw lengths
V:2
z4 | G A B G | A/2B/2 c B G | D3/2 E/2 F G | G3 z | d B c A | G4 |]
% the second voice follows one bar behind the first
V:3 clef=bass
G,,2 D,,2 | G,,2 D,,2 | C,,2 D,,2 | G,,2 D,,2 | G,,2 D,,2 | _E,,2 D,,2 | G,,,4 |]
% flats and sharps, and the bass that ends an octave down, as in the source
"""


def ensure_abc2midi():
    if shutil.which("abc2midi"):
        return
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(sudo + ["apt-get", "install", "-y", "-q", "--no-install-recommends", "abcmidi"],
                   check=True, env=env, stdout=subprocess.DEVNULL)


def timed(argv, null):
    """Milliseconds from the spawn to the end of the wait, and of processor
    time; the status must be 0."""
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, os.environ,
                         file_actions=[(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)])
    _, status, usage = os.wait4(pid, 0)
    took = (time.perf_counter_ns() - start) / 1e6
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(argv)} failed with status {os.waitstatus_to_exitcode(status)}")
    return took, (usage.ru_utime + usage.ru_stime) * 1e3


def pairs(ours, theirs, count, null):
    """The medians of (clock, processor) for ours and theirs."""
    mine, other = [], []
    for i in range(count):
        if i % 2 == 0:
            mine.append(timed(ours, null))
            other.append(timed(theirs, null))
        else:
            other.append(timed(theirs, null))
            mine.append(timed(ours, null))
    median = lambda runs, k: statistics.median(run[k] for run in runs)
    return [(median(mine, k), median(other, k)) for k in (0, 1)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("zirvon", nargs="?", default=os.path.join(ROOT, "build", "release", "zirvon"))
    parser.add_argument("--pairs", type=int, default=300)
    parser.add_argument("--dir", help="where the temporary folder is made")
    args = parser.parse_args()
    ensure_abc2midi()
    zirvon = os.path.abspath(args.zirvon)
    abc2midi = shutil.which("abc2midi")
    with tempfile.TemporaryDirectory(prefix="zirvon-startup-", dir=args.dir) as work:
        shutil.copy(os.path.join(ROOT, "examples", "canon.mml"), work)
        with open(os.path.join(work, "canon.abc"), "w") as f:
            f.write(CANON_ABC)
        os.chdir(work)  # both write beside their source
        null = os.open(os.devnull, os.O_WRONLY)
        rows = [("compile", [zirvon, "canon.mml"], [abc2midi, "canon.abc", "-silent", "-o", "canon.mid"]),
                ("version", [zirvon, "--version"], [abc2midi, "-ver"])]
        print(f"{args.pairs} pairs each, medians, in {work} (zirvon: {zirvon})")
        print(f"{'':8} {'':10} {'zirvon':>10} {'abc2midi':>10} {'ratio':>7}")
        worst = 0.0
        for name, ours, theirs in rows:
            for _ in range(10):  # warm the page cache
                timed(ours, null)
                timed(theirs, null)
            for kind, (mine, other) in zip(("clock", "processor"), pairs(ours, theirs, args.pairs, null)):
                ratio = mine / other
                worst = max(worst, ratio) if kind == "clock" else worst
                print(f"{name:8} {kind:10} {mine:8.3f}ms {other:8.3f}ms {ratio:6.2f}x")
        print(f"target, by the clock: within {TARGET}x: {'met' if worst <= TARGET else 'NOT met'}")


if __name__ == "__main__":
    main()
