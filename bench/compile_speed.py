#!/usr/bin/env python3
"""Times whole compiles against those of an earlier commit, side by side in
one run, on the two songs that bound a compile (written by compile_bench
--write-songs):

  valid   the largest valid song: 21,845 events, every whole-song check runs
  dense   371 KB, ten tracks close to full: errors, so no image is written

The earlier commit is taken out with `git archive` into a temporary folder
and its program built there (Release, no tests). Each round runs `zirvon
SONG -o FOLDER/out.MZT` of both builds, one after the other in alternating
order, so that whatever else the machine does falls on both alike; FOLDER is
on tmpfs (/dev/shm) where there is one, so that the image's fsync does not
wait for a disk. Prints, for each song, the median time by the clock and of
processor time (user and system, from the wait), and their ratios (this
build over the earlier one: below 1 is faster).

usage: compile_speed.py [--base REV] [--rounds N] [--zirvon PATH] [--bench PATH] [--base-build DIR]
       (defaults: b223fcb, 200 rounds, build/release/zirvon, build/bench/bench/compile_bench;
        --base-build reuses a build of the earlier commit instead of making one)
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def build_base(rev, folder):
    """The earlier commit's program, built in `folder`."""
    source = os.path.join(folder, "source")
    os.makedirs(source)
    archive = subprocess.run(["git", "-C", ROOT, "archive", rev], check=True, stdout=subprocess.PIPE).stdout
    subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    build = os.path.join(folder, "build")
    subprocess.run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DZIRVON_TESTS=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", "zirvon"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build, "zirvon")


def timed(argv, null):
    """Milliseconds from the spawn to the end of the wait, of processor time,
    and the exit status."""
    start = time.perf_counter_ns()
    pid = os.posix_spawn(argv[0], argv, os.environ,
                         file_actions=[(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)])
    _, status, usage = os.wait4(pid, 0)
    took = (time.perf_counter_ns() - start) / 1e6
    return took, (usage.ru_utime + usage.ru_stime) * 1e3, os.waitstatus_to_exitcode(status)


def compare(song, programs, rounds, out_folder, null):
    """Medians of clock and processor time of each program on `song`."""
    clock = {name: [] for name in programs}
    cpu = {name: [] for name in programs}
    order = list(programs.items())
    statuses = {}
    for k in range(rounds):
        for name, program in order if k % 2 == 0 else reversed(order):
            took, processor, status = timed([program, song, "-o", os.path.join(out_folder, name + ".MZT")], null)
            statuses.setdefault(name, status)
            if status != statuses[name] or status not in (0, 1):
                sys.exit(f"{program} {song}: status {status}")
            clock[name].append(took)
            cpu[name].append(processor)
    if len(set(statuses.values())) != 1:
        sys.exit(f"{song}: the builds end with different statuses: {statuses}")
    return {name: (statistics.median(clock[name]), statistics.median(cpu[name])) for name in programs}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base", default="b223fcb")
    parser.add_argument("--rounds", type=int, default=200)
    parser.add_argument("--zirvon", default=os.path.join(ROOT, "build/release/zirvon"))
    parser.add_argument("--bench", default=os.path.join(ROOT, "build/bench/bench/compile_bench"))
    parser.add_argument("--base-build", help="the earlier commit's program, already built")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="compile-speed-") as work:
        base = args.base_build or build_base(args.base, work)
        songs = os.path.join(work, "songs")
        os.makedirs(songs)
        subprocess.run([args.bench, "--write-songs", songs], check=True)
        shm = "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None
        with tempfile.TemporaryDirectory(prefix="compile-speed-", dir=shm) as out_folder, \
                open(os.devnull, "wb") as devnull:
            programs = {args.base: base, "this": os.path.abspath(args.zirvon)}
            print(f"{args.rounds} rounds, medians in ms (ratio: this build over {args.base})")
            print(f"{'song':<6} {'':>10} {args.base:>10} {'this':>10} {'ratio':>7}")
            for name in ("valid", "dense"):
                got = compare(os.path.join(songs, name + ".mml"), programs, args.rounds, out_folder,
                              devnull.fileno())
                for what, index in (("clock", 0), ("processor", 1)):
                    before, after = got[args.base][index], got["this"][index]
                    print(f"{name:<6} {what:>10} {before:>10.2f} {after:>10.2f} {after / before:>7.2f}")


if __name__ == "__main__":
    main()
