"""How a mutant is tested: the test steps, their order, time-outs and limits.

Each step is a program run in the build folder: the GoogleTest programs run
until their first failure (the tests beside the mutated file first, the slow
ones last), the reference models on a small number of random cases. A step's
time-out is measured on the unchanged build; a failing test counts when it
fails again on its own.
"""
import ctypes
import fnmatch
import os
import re
import resource
import signal
import subprocess
import sys
import tempfile
import time

CORE, UNIT, MML_MODEL, MIDI_MODEL, LIVE = ("zirvon_core_tests", "zirvon_tests", "mml_reference_model",
                                           "midi_reference_model", "zirvon_live_tests")
# In the build folder; the core's tests and the others are both unit tests.
PROGRAMS = {CORE: "zirvon_core_tests", UNIT: "zirvon_tests", LIVE: "midi/zirvon_live_tests"}
UNIT_STEPS = (CORE, UNIT)
MODELS = {MML_MODEL: ("tests/model/differential.py", 100),          # script, random cases
          MIDI_MODEL: ("tests/model/midi_differential.py", 20)}
SLOW_MS = 300          # unit tests at least this slow run after the others
TIME_OUT_FACTOR = 4    # a step's time-out: this many times its time on the unchanged build,
TIME_OUT_MIN = 30      # but at least this many seconds
# Each test process may use this much address space and write files this
# large, so that a mutant that allocates or writes without end fails at once
# instead of filling the machine's memory or disk.
MEMORY_LIMIT = 2 << 30
FILE_SIZE_LIMIT = 1 << 30


def become_subreaper():
    """Orphans of the tests (a program a killed test started) become our
    children, so that a time-out can end them too."""
    try:
        ctypes.CDLL(None, use_errno=True).prctl(36, 1, 0, 0, 0)  # PR_SET_CHILD_SUBREAPER
    except (OSError, AttributeError):
        pass


def end_orphans():
    """Ends and reaps every process left over from a test step: at this point
    any child of ours is one."""
    for _ in range(10):
        orphans = []
        for entry in os.listdir("/proc") if os.path.isdir("/proc") else []:
            try:
                with open(f"/proc/{entry}/stat") as f:
                    if entry.isdigit() and int(f.read().rsplit(")", 1)[1].split()[1]) == os.getpid():
                        orphans.append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
        for pid in orphans:
            try:
                os.kill(pid, signal.SIGKILL)
                os.waitpid(pid, 0)
            except (ProcessLookupError, ChildProcessError):
                pass
        if not orphans:
            return


def limit_resources():
    resource.setrlimit(resource.RLIMIT_AS, (MEMORY_LIMIT, MEMORY_LIMIT))
    resource.setrlimit(resource.RLIMIT_FSIZE, (FILE_SIZE_LIMIT, FILE_SIZE_LIMIT))


def run_command(command, cwd, time_out):
    """(exit status or None on time-out, the end of the output)."""
    with tempfile.TemporaryFile() as out:
        process = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, start_new_session=True,
                                   preexec_fn=limit_resources)
        try:
            status = process.wait(timeout=max(time_out, 1))
        except subprocess.TimeoutExpired:
            status = None
        finally:
            if process.returncode is None:   # a time-out, or Ctrl+C here
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
        end_orphans()
        out.seek(max(0, out.seek(0, os.SEEK_END) - (1 << 20)))
        return status, out.read().decode("utf-8", "replace")


def failed_tests(output):
    return sorted(set(re.findall(r"^\[  FAILED  \] ([\w/]+\.[\w/]+)", output, re.M)))


def gtest_filter(include, exclude):
    return "--gtest_filter=" + (":".join(include) or "*") + ("-" + ":".join(exclude) if exclude else "")


def own_suites(src, path):
    """Filters for the GoogleTest suites in the test files beside a source
    file (value-parameterized suites carry a prefix)."""
    folder, name = os.path.split(path)
    stem = re.sub(r"_(posix|win32|winmm|rtmidi|thread)$", "", os.path.splitext(name)[0])
    suites = set()
    for test_file in os.listdir(os.path.join(src, folder)):
        if test_file.startswith(stem + "_") and "_test" in test_file:
            with open(os.path.join(src, folder, test_file), encoding="utf-8") as f:
                suites |= {("*/" if kind == "_P" else "") + name + ".*"
                           for kind, name in re.findall(r"^TEST(_F|_P)?\((\w+),", f.read(), re.M)}
    return sorted(suites)


class Tests:
    """The test steps, measured once on the unchanged build."""

    def __init__(self, src, build):
        self.src, self.build = src, build
        self.broken = {CORE: [], UNIT: [], LIVE: []}   # tests that fail on the unchanged build
        self.slow = {CORE: [], UNIT: []}
        self.seconds = {}
        self.live_available = os.path.exists(os.path.join(build, PROGRAMS[LIVE]))

    def command(self, step, *gtest_args):
        if step in MODELS:
            script, count = MODELS[step]
            return [sys.executable, "-B", os.path.join(self.src, script), os.path.join(self.build, "zirvon"),
                    "--count", str(count)]
        return [os.path.join(self.build, PROGRAMS[step]), *gtest_args]

    def measure(self, steps):
        """Runs each step on the unchanged build; False when a model fails
        there, which leaves nothing to compare with."""
        for step in steps:
            started = time.monotonic()
            status, output = run_command(self.command(step), self.build, 3600)
            self.seconds[step] = time.monotonic() - started
            failed = failed_tests(output)
            if status != 0 and (step in MODELS or not failed):
                print(f"{output}\nmutants: {step} fails on the unchanged build", file=sys.stderr)
                return False
            if step in self.broken:
                self.broken[step] = failed
                for name in self.broken[step]:
                    print(f"mutants: {name} fails on the unchanged build; it is left out", file=sys.stderr)
            if step in UNIT_STEPS:
                self.slow[step] = sorted(name for name, ms in re.findall(r"^\[       OK \] (\S+) \((\d+) ms\)",
                                                                   output, re.M) if int(ms) >= SLOW_MS)
        return True

    def run(self, step, path):
        """None when the step passes, else why the mutant is killed."""
        budget = max(TIME_OUT_MIN, TIME_OUT_FACTOR * self.seconds[step])
        if step in MODELS:
            status, _ = run_command(self.command(step), self.build, budget)
            return verdict(step, status, [])
        phases = [([], self.broken[step])]
        if step in UNIT_STEPS:
            # The tests beside the file first, the slow ones last.
            own = own_suites(self.src, path)
            slow = [t for t in self.slow[step] if not any(fnmatch.fnmatchcase(t, p) for p in own)]
            phases = (([(own, self.broken[step])] if own else []) + [([], own + self.slow[step] + self.broken[step])]
                      + ([(slow, self.broken[step])] if slow else []))
        deadline = time.monotonic() + budget
        for include, exclude in phases:
            why, failed = self.run_gtest(step, include, exclude, deadline)
            if failed and self.run_gtest(step, failed, [], deadline)[0] is None:
                # A failure counts when it repeats, as some tests depend on
                # timing; otherwise the phase runs once more.
                deadline = time.monotonic() + budget
                why, _ = self.run_gtest(step, include, exclude, deadline)
            if why:
                return why
        return None

    def run_gtest(self, step, include, exclude, deadline):
        """(None or why the mutant is killed, the tests that failed)."""
        status, output = run_command(
            self.command(step, "--gtest_brief=1", "--gtest_fail_fast", gtest_filter(include, exclude)),
            self.build, deadline - time.monotonic())
        failed = failed_tests(output) if status else []
        return verdict(step, status, failed), failed


def verdict(step, status, failed):
    """None for a step that passed, else why the mutant is killed."""
    if status is None:
        return f"time-out in {step}"
    if status < 0:
        return f"crash in {step} (signal {-status})"
    if status != 0:
        return "by " + ", ".join(failed) if failed else f"by {step} (status {status})"
    return None
