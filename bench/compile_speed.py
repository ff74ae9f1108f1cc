#!/usr/bin/env python3
"""Times compiles against those of an earlier commit, side by side in one
run, on the two songs that bound a compile (written by compile_bench
--write-songs):

  valid   the largest valid song: 21,845 events, every whole-song check runs
  dense   371 KB, ten tracks close to full: errors, so no image is written

Whole runs: the earlier commit is taken out with `git archive` into a
temporary folder and its program built there (Release, no tests). Each round
runs `zirvon SONG -o FOLDER/out.MZT` of both builds, one after the other in
alternating order, so that whatever else the machine does falls on both
alike; FOLDER is on tmpfs (/dev/shm) where there is one, so that the image's
fsync does not wait for a disk. Prints, for each song, the median time by the
clock and of processor time (user and system, from the wait), and their
ratios (this build over the earlier one: below 1 is faster).

In process (--in-process): the compile alone, as compile_bench times it. The
earlier commit's benchmark is built with this one's songs, timing what its
compile did (the source read into lines and compiled: BENCH_OF_BASE below,
written for b223fcb's interface); the two benchmarks then run by turns,
each a tenth of a second a song a round, and the medians of their processor
time are printed.

usage: compile_speed.py [--base REV] [--rounds N] [--zirvon PATH] [--bench PATH] [--base-build DIR]
                        [--in-process ROUNDS] [--base-bench PATH]
       (defaults: b223fcb, 200 rounds, build/release/zirvon, build/bench/bench/compile_bench;
        --base-build reuses a build of the earlier commit's program instead of making one,
        --base-bench one of its benchmark)
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


# The earlier commit's compile benchmark: this one's songs, timed through
# the compile of that commit (its source text cut into lines, then compiled).
BENCH_OF_BASE = r"""
#include <benchmark/benchmark.h>
#include <string>
#include <vector>
#include "mml/compiler.h"
#include "mml/source_text.h"
namespace {
std::string dense_lines(int lines) {
    static const char* const kBars[] = {
        "[O4 L8 Q7 C D E F G A B >C<]  [R4 C+8. D-16 &E%12 F#4 G.]\r\n",
        "[O3 L16 Q6 CDEFGAB>C<BAGF]   [L4 O5 C2 <B4 A8 G8. R16]\r\n",
    };
    std::string text = "Benchmark song: every track close to full\r\n";
    for (int line = 0; line < lines; ++line) {
        for (int track = 0; track < 10; ++track) {
            const std::string bar = kBars[(line + track) % 2];
            const std::string n = std::to_string(track);
            const auto split = bar.find("  ");
            text += n + bar.substr(0, split) + "  " + n + bar.substr(split + 2);
        }
    }
    return text;
}
void compile(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        const zirvon::SourceText source(text);
        zirvon::Song song;
        std::vector<zirvon::Diagnostic> diagnostics;
        zirvon::compile(source, song, diagnostics);
        benchmark::DoNotOptimize(song);
    }
}
void BM_CompileValid(benchmark::State& state) {
    compile(state, dense_lines(124) + "1[O4 L32 " + std::string(134, 'C') + "]\r\n");
}
BENCHMARK(BM_CompileValid)->Unit(benchmark::kMillisecond);
void BM_CompileDense(benchmark::State& state) { compile(state, dense_lines(624)); }
BENCHMARK(BM_CompileDense)->Unit(benchmark::kMillisecond);
}  // namespace
BENCHMARK_MAIN();
"""


def build_base(rev, folder, target):
    """The earlier commit's program (target zirvon) or compile benchmark
    (target compile_bench), built in `folder`."""
    source = os.path.join(folder, "source")
    build = os.path.join(folder, "build")
    if not os.path.isdir(source):
        os.makedirs(source)
        archive = subprocess.run(["git", "-C", ROOT, "archive", rev], check=True, stdout=subprocess.PIPE).stdout
        subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
        with open(os.path.join(source, "bench", "compile_bench.cpp"), "w") as out:
            out.write(BENCH_OF_BASE)
        subprocess.run(["cmake", "-S", source, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DZIRVON_TESTS=OFF",
                        "-DZIRVON_BENCH=ON"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build, "-j2", "--target", target], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build, "bench", "compile_bench") if target == "compile_bench" else os.path.join(build, "zirvon")


def compare_in_process(benches, rounds):
    """Medians of processor time of each compile benchmark, in ms, by song."""
    times = {}
    order = list(benches.items())
    for k in range(rounds):
        for name, bench in order if k % 2 == 0 else reversed(order):
            out = subprocess.run([bench, "--benchmark_filter=^BM_Compile(Valid|Dense)$",
                                  "--benchmark_min_time=0.1", "--benchmark_format=json"],
                                 check=True, capture_output=True, text=True).stdout
            for result in json.loads(out)["benchmarks"]:
                song = result["name"].removeprefix("BM_Compile").lower()
                times.setdefault((name, song), []).append(result["cpu_time"])
    return {key: statistics.median(values) for key, values in times.items()}


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
    parser.add_argument("--in-process", type=int, metavar="ROUNDS", help="time the compile alone too")
    parser.add_argument("--base-bench", help="the earlier commit's compile benchmark, already built")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="compile-speed-") as work:
        if args.in_process:
            base_bench = args.base_bench or build_base(args.base, work, "compile_bench")
            got = compare_in_process({args.base: base_bench, "this": os.path.abspath(args.bench)}, args.in_process)
            print(f"in process, {args.in_process} rounds, medians of processor time in ms")
            print(f"{'song':<6} {args.base:>10} {'this':>10} {'ratio':>7}")
            for name in ("valid", "dense"):
                before, after = got[(args.base, name)], got[("this", name)]
                print(f"{name:<6} {before:>10.3f} {after:>10.3f} {after / before:>7.2f}")
        base = args.base_build or build_base(args.base, work, "zirvon")
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
