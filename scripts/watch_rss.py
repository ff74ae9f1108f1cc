#!/usr/bin/env python3
"""Memory over many rebuilds in one /watch run: saves a song again and again
(each time a little different, so each save is a change), waits for each
rebuild's status line and reports the resident set size of the zirvon
process as it goes. Linux only (it reads /proc).

usage: watch_rss.py ZIRVON [--saves N] [--play]

With --play the run is /watch /play into a JACK MIDI monitor, on a JACK
server (dummy driver) that the script starts and stops itself; without it,
/watch /midi writes the image and the MIDI file on every save.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import time


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return None


def song(n):
    """About 2,400 events on eight tracks; the octave and a comment change."""
    octave = 3 + n % 3
    lines = [f"; save {n}"]
    for _ in range(75):
        lines.append(" ".join(f"{k}[O{octave} L16 C D E F]" for k in range(1, 9)))
    return ("\n".join(lines) + "\n").encode()


def status_lines(path):
    with open(path, "rb") as f:
        return len(re.findall(rb"^\d\d:\d\d:\d\d ", f.read(), re.M))


def start_jack(env):
    """A private JACK server and a MIDI monitor on it; their processes."""
    name = f"zirvon-rss-{os.getpid()}"
    env["JACK_DEFAULT_SERVER"] = name
    env["JACK_NO_START_SERVER"] = "1"
    server = subprocess.Popen(["jackd", "-n", name, "-S", "-d", "dummy", "-r", "48000", "-p", "256"],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    for _ in range(100):
        if subprocess.run(["jack_lsp"], env=env, capture_output=True).returncode == 0:
            break
        time.sleep(0.1)
    monitor = subprocess.Popen(["jack_midi_dump", "zirvon-rss-monitor"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, env=env)
    time.sleep(0.5)
    return [monitor, server]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zirvon")
    parser.add_argument("--saves", type=int, default=1000)
    parser.add_argument("--play", action="store_true")
    args = parser.parse_args()
    env = dict(os.environ)
    helpers = start_jack(env) if args.play else []
    try:
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "song.MML")
            err = os.path.join(folder, "watch.err")
            with open(source, "wb") as f:
                f.write(song(0))
            options = ["/play", "/port=zirvon-rss-monitor"] if args.play else ["/midi"]
            with open(err, "wb") as err_file:
                zirvon = subprocess.Popen([args.zirvon, "song.mml", "/watch", *options], cwd=folder,
                                          stdout=subprocess.DEVNULL, stderr=err_file, env=env)
            samples = []
            started = time.monotonic()
            for n in range(1, args.saves + 1):
                deadline = time.monotonic() + 10
                while status_lines(err) < n:
                    if time.monotonic() > deadline or zirvon.poll() is not None:
                        with open(err, "rb") as f:
                            sys.exit(f"no status line for save {n - 1}: {f.read()[-500:]!r}")
                    time.sleep(0.005)
                if n in (1, 10, 100) or n % 250 == 0 or n == args.saves:
                    samples.append((n, rss_kib(zirvon.pid)))
                if n < args.saves:
                    with open(source, "wb") as f:
                        f.write(song(n))
            seconds = time.monotonic() - started
            zirvon.send_signal(signal.SIGINT)
            status = zirvon.wait(timeout=10)
    finally:
        for helper in helpers:
            helper.terminate()
            helper.wait(timeout=10)
    mode = "/watch /play" if args.play else "/watch /midi"
    print(f"{mode}: {args.saves} builds in {seconds:.0f} s, exit status {status}")
    for n, kib in samples:
        print(f"  after build {n:5d}: RSS {kib} KiB")
    growth = samples[-1][1] - samples[min(2, len(samples) - 1)][1]
    print(f"  growth from build {samples[min(2, len(samples) - 1)][0]} to {samples[-1][0]}: {growth} KiB")
    return 0 if status == 130 else 1


if __name__ == "__main__":
    sys.exit(main())
