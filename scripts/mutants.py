#!/usr/bin/env python3
"""Mutation testing: makes one small change at a time to the production code,
builds it, runs the fast tests and reports whether they noticed.

usage: scripts/mutants.py [--dirs DIR...] [--seed S] [--count N | --all | --only ID...]
                          [--list] [--work DIR] [--jobs J]

The candidates (see scripts/mutation_points.py for the operators) come from
the C++ sources in the folders given by --dirs, never from tests, test
support, fuzz targets or benchmarks, nor from the other platform's twin
files. Each has a stable id, FILE:LINE:COLUMN:OPERATOR. --seed and --count
pick a reproducible sample (default: 20 mutants, seed 1); --all takes every
candidate; --only runs the mutants named. --list prints the mutants it would
run, or every candidate when neither --count, --all nor --only is given,
and runs nothing.

The working tree is never changed. The files git knows of (committed or
not) are copied into WORK/src (default build/mutants/src), configured once
in WORK/build (a Release build with tests, at -O1 so rebuilds are quick) and
built. The unchanged copy runs every test first: that measures each test
step, sets its time-out, and leaves out the tests that already fail here.
Then, one mutant at a time: the mutant is written into the copy, the
programs are rebuilt incrementally, the tests its file needs (the table
TEST_PLAN in this script) run until the first failure, and the file is
written back.

A mutant is "killed" when a test fails, crashes or runs past its time-out
(an endless loop), "survived" when every test passes, and "not built" when
it does not compile. A mutant that compiles to the same machine code as the
original survives without running the tests ("same code"). The report goes
to standard output and to WORK/report.txt and WORK/report.json.
"""
import argparse
import fnmatch
import hashlib
import json
import os
import random
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True   # no __pycache__ in the working tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from mutation_points import mutation_points  # noqa: E402
from mutation_tests import CORE, LIVE, MIDI_MODEL, MML_MODEL, PROGRAMS, UNIT, Tests, become_subreaper  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_DIRS = ["song", "text", "mml", "tape", "play", "smf", "synth", "picture", "system", "midi", "audio",
                "live", "app"]
NEVER_DIRS = {"tests", "fuzz", "bench", "build", "examples", "scripts", "packaging", "cmake"}
OTHER_PLATFORM = ["*win32*", "*winmm*"]

# The test steps a mutant runs, in this order, until one fails: a file takes
# the steps of the first row whose pattern matches it. Only the live output
# path (the port, the live loop and its timer, Ctrl+C, the progress line,
# /play and /ports, the image written back after /play, /watch with /play)
# needs the live JACK tests, which take half a minute.
TEST_PLAN = [
    (["midi/midi_port*", "midi/live_port*", "midi/port_choice*", "live/*", "system/tick_timer*",
      "system/interrupt*", "system/terminal*", "app/midi_commands*", "app/preview_commands*",
      "app/tape_commands*", "app/watch*"],
     [CORE, UNIT, MML_MODEL, MIDI_MODEL, LIVE]),
    (["*"], [CORE, UNIT, MML_MODEL, MIDI_MODEL]),
]


def git(*args):
    return subprocess.run(["git", "-C", ROOT, *args], check=True, capture_output=True,
                          text=True).stdout


def tree_files(leave_out):
    """The files of the working tree that git knows of, committed or not,
    but none under leave_out (the scratch folder, should it be inside)."""
    inside = os.path.relpath(leave_out, ROOT) + "/"
    return sorted(p for p in git("ls-files", "-z", "--cached", "--others", "--exclude-standard").split("\0")
                  if p and not p.startswith(inside) and os.path.isfile(os.path.join(ROOT, p)))


def read_text(path):
    """A source as text, byte for byte (line ends and odd bytes kept)."""
    with open(path, encoding="utf-8", errors="surrogateescape", newline="") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w", encoding="utf-8", errors="surrogateescape", newline="") as f:
        f.write(text)


def candidates(files, dirs):
    """Every mutant of the production sources in dirs, in a fixed order."""
    out = []
    for path in files:
        parts = path.split("/")
        if (len(parts) > 1 and parts[0] in dirs and parts[0] not in NEVER_DIRS
                and path.endswith((".cpp", ".h")) and "_test" not in parts[-1]
                and not any(fnmatch.fnmatch(parts[-1], p) for p in OTHER_PLATFORM)):
            out += mutation_points(path, read_text(os.path.join(ROOT, path)))
    return out


def steps_for(path, live_available):
    for patterns, steps in TEST_PLAN:
        if any(fnmatch.fnmatch(path, p) for p in patterns):
            return [s for s in steps if s != LIVE or live_available]
    return []


# The copy and its build.

def sync_copy(files, src):
    """Makes src hold exactly these files of the working tree; files that are
    already the same are left alone, so that builds stay incremental."""
    wanted = set(files)
    for path in wanted:
        source, target = os.path.join(ROOT, path), os.path.join(src, path)
        with open(source, "rb") as f:
            data = f.read()
        if os.path.exists(target):
            with open(target, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(source, target)
        shutil.copymode(source, target)
    for folder, _, names in os.walk(src):
        for name in names:
            if os.path.relpath(os.path.join(folder, name), src) not in wanted:
                os.remove(os.path.join(folder, name))


def configure(src, build):
    command = ["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DZIRVON_TESTS=ON",
               "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG"]
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")) and shutil.which("ninja"):
        command += ["-G", "Ninja"]
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)


def build_programs(build, jobs, targets=None):
    """Builds the programs (every target when none are named); returns the
    compiler's output, or None when it built."""
    command = ["cmake", "--build", build, "-j", str(jobs)] + (["--target", *targets] if targets else [])
    run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return None if run.returncode == 0 else run.stdout


def object_hashes(build):
    hashes = {}
    for folder, _, files in os.walk(build):
        for name in files:
            if name.endswith((".o", ".obj")):
                with open(os.path.join(folder, name), "rb") as f:
                    hashes[os.path.join(folder, name)] = hashlib.sha1(f.read()).hexdigest()
    return hashes


# The run.

def format_seconds(s):
    return f"{s:.1f} s" if s < 120 else f"{int(s // 60)} min {int(s % 60)} s"


def source_line(text, line):
    return text.split("\n")[line - 1].strip()


def main():
    paragraphs = __doc__.split("\n\n")
    parser = argparse.ArgumentParser(description="\n\n".join(paragraphs[:1] + paragraphs[2:]),
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--dirs", nargs="+", metavar="DIR",
                        help="folders whose sources are mutated (default: those of "
                             + " ".join(DEFAULT_DIRS) + " that exist)")
    parser.add_argument("--seed", type=int, default=1)
    choice = parser.add_mutually_exclusive_group()
    choice.add_argument("--count", type=int, help="mutants in the sample (default 20)")
    choice.add_argument("--all", action="store_true", help="every candidate")
    choice.add_argument("--only", nargs="+", metavar="ID", help="these mutants")
    parser.add_argument("--list", action="store_true", help="print the mutants and run nothing")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutants"),
                        help="scratch folder (default: %(default)s)")
    parser.add_argument("--jobs", type=int, default=2, help="parallel compile jobs (default 2)")
    args = parser.parse_args()

    dirs = {d.strip("/") for d in args.dirs or DEFAULT_DIRS if os.path.isdir(os.path.join(ROOT, d))}
    missing = [d for d in args.dirs or [] if not os.path.isdir(os.path.join(ROOT, d))]
    if missing or not dirs:
        parser.error("no such folder: " + " ".join(missing or args.dirs or DEFAULT_DIRS))
    work = os.path.abspath(args.work)
    try:
        files = tree_files(work)
    except (OSError, subprocess.CalledProcessError):
        parser.error(f"{ROOT} is not a git checkout")
    pool = candidates(files, dirs)
    if not pool:
        parser.error("no production sources to change in " + " ".join(sorted(dirs)))
    if args.only:
        by_id = {m.id: m for m in pool}
        unknown = [i for i in args.only if i not in by_id]
        if unknown:
            parser.error("no such mutant: " + " ".join(unknown))
        chosen = [by_id[i] for i in args.only]
    elif args.all or (args.list and args.count is None):
        chosen = pool
    else:
        chosen = random.Random(args.seed).sample(pool, min(args.count or 20, len(pool)))
    chosen.sort(key=lambda m: (m.path, m.line, m.column, m.operator))
    texts = {}
    for m in chosen:
        if m.path not in texts:
            texts[m.path] = read_text(os.path.join(ROOT, m.path))
    if args.list:
        for m in chosen:
            print(f"{m.id}  {m.describe(texts[m.path])}")
        print(f"{len(chosen)} of {len(pool)} candidates in {' '.join(sorted(dirs))}", file=sys.stderr)
        return 0

    started = time.monotonic()
    head = git("rev-parse", "--short", "HEAD").strip() + (" with changes" if git("status", "--porcelain") else "")
    selection = ("the mutants named" if args.only else f"all {len(pool)} candidates" if args.all
                 else f"seed {args.seed}, {len(chosen)} of {len(pool)} candidates")
    src, build = os.path.join(work, "src"), os.path.join(work, "build")
    os.makedirs(work, exist_ok=True)
    become_subreaper()
    print(f"mutants: copying the tree into {src} and building it in {build}", flush=True)
    sync_copy(files, src)
    configure(src, build)
    errors = build_programs(build, args.jobs)
    if errors:
        print(errors + "\nmutants: the unchanged tree does not build", file=sys.stderr)
        return 1
    pristine = object_hashes(build)
    tests = Tests(src, build)
    needed = []
    for m in chosen:
        needed += [s for s in steps_for(m.path, tests.live_available) if s not in needed]
    if not tests.measure(needed):
        return 1
    set_up = time.monotonic() - started
    print(f"mutants: ready in {format_seconds(set_up)}; tests on the unchanged build: "
          + ", ".join(f"{s} {format_seconds(t)}" for s, t in tests.seconds.items()), flush=True)

    results = []
    try:
        for n, m in enumerate(chosen, 1):
            results.append(run_mutant(m, texts[m.path], src, build, args.jobs, tests, pristine))
            r = results[-1]
            print(f"[{n}/{len(chosen)}] {r['status']:<9} {format_seconds(r['seconds']):>8}  {m.id}  "
                  f"{r['why']}", flush=True)
    except KeyboardInterrupt:
        print("mutants: stopped; the report holds the mutants run so far", file=sys.stderr)
    report = write_report(work, results, f"Mutants of {head} in {' '.join(sorted(dirs))}: {selection}",
                          set_up, time.monotonic() - started)
    print(report)
    return 0 if len(results) == len(chosen) else 130


def run_mutant(m, text, src, build, jobs, tests, pristine):
    started = time.monotonic()
    target = os.path.join(src, m.path)
    steps = steps_for(m.path, tests.live_available)
    result = {"id": m.id, "file": m.path, "line": m.line, "column": m.column, "operator": m.operator,
              "change": m.describe(text), "before": source_line(text, m.line),
              "after": source_line(m.apply(text), m.line)}
    try:
        write_text(target, m.apply(text))
        programs = [os.path.basename(PROGRAMS[s]) for s in steps if s in PROGRAMS]
        errors = build_programs(build, jobs, programs)
        result["build_seconds"] = round(time.monotonic() - started, 1)
        if errors:
            first = next((line for line in errors.splitlines() if "error" in line), "")
            status, why = "not built", first.replace(src + os.sep, "").strip()[:200]
        elif object_hashes(build) == pristine:
            status, why = "survived", "same code"
        else:
            status, why = "survived", ""
            for step in steps:
                killer = tests.run(step, m.path)
                if killer:
                    status, why = "killed", killer
                    break
    finally:
        write_text(target, text)
    result.update(status=status, why=why, seconds=round(time.monotonic() - started, 1))
    return result


def write_report(work, results, title, set_up, total):
    counts = {s: sum(r["status"] == s for r in results) for s in ("killed", "survived", "not built")}
    time_outs = sum(r["why"].startswith("time-out") for r in results)
    built = counts["killed"] + counts["survived"]
    mean = sum(r["seconds"] for r in results) / len(results) if results else 0
    lines = [title, ""]
    for r in sorted(results, key=lambda r: r["id"]):
        lines.append(f"{r['status']:<9} {format_seconds(r['seconds']):>8}  {r['id']}  {r['change']}"
                     + (f"  ({r['why']})" if r["why"] else ""))
        if r["status"] == "survived":
            lines += [f"{'':20}- {r['before']}", f"{'':20}+ {r['after']}"]
    operators = sorted({r["operator"] for r in results})
    lines += ["", "killed of the built, by operator: " + ", ".join(
        f"{op} {sum(r['operator'] == op and r['status'] == 'killed' for r in results)}"
        f"/{sum(r['operator'] == op and r['status'] != 'not built' for r in results)}" for op in operators)]
    lines += [f"killed {counts['killed']} ({time_outs} by time-out), survived {counts['survived']}, "
                  f"not built {counts['not built']}"
                  + (f": {100 * counts['killed'] / built:.0f} % of the built mutants killed" if built else ""),
              f"time {format_seconds(total)}: copy, build and first test run {format_seconds(set_up)}, "
              f"then {format_seconds(mean)} a mutant on average"]
    report = "\n".join(lines)
    with open(os.path.join(work, "report.txt"), "w", encoding="utf-8") as f:
        f.write(report + "\n")
    with open(os.path.join(work, "report.json"), "w", encoding="utf-8") as f:
        json.dump({"title": title, "counts": counts, "time_outs": time_outs, "seconds": round(total, 1),
                   "set_up_seconds": round(set_up, 1), "mutants": results}, f, indent=2)
    return report


if __name__ == "__main__":
    sys.exit(main())
