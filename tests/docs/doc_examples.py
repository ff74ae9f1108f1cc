#!/usr/bin/env python3
"""Every shell example of README.md and docs/*.md, run with the real program.

An example is a line that starts with `$ ` in a fenced block marked
`console`, or a line that starts with `$ zirvon` in any fenced block. The
lines after it, up to the next `$ ` or the end of the block, are the output
it shows (standard output and standard error as a terminal shows them); a
line `...` stands for any number of lines. An example that shows no output
has its exit status checked only. Each block runs in a fresh temporary
folder holding the files of examples/, the MIDI files of tests/music/ and
the pictures of docs/ (in docs/), one command after another, with this zirvon first on the PATH.

A trailing comment may carry markers:
  # status: 2          the exit status the example expects (0 otherwise)
  # needs: MIDI port   the example needs something a test has not (a device,
                       a browser, a person to press Ctrl+C): skipped, saying so

usage: doc_examples.py ZIRVON ROOT [--emulator CMD]
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile

COMMENT = re.compile(r"\s+#\s+(.*)$")
STATUS = re.compile(r"\bstatus:\s*(\d+)")
NEEDS = re.compile(r"\bneeds:\s*(.+?)\s*$")
# Only a guard against an example that never ends; no example is timed.
HANG = 120


class Example:
    def __init__(self, path, line, command):
        self.path, self.line, self.command = path, line, command
        self.output = []
        self.status = 0
        self.needs = None
        match = COMMENT.search(command)
        if match:
            comment = match.group(1)
            self.command = command[:match.start()]
            if STATUS.search(comment):
                self.status = int(STATUS.search(comment).group(1))
            if NEEDS.search(comment):
                self.needs = NEEDS.search(comment).group(1)

    def where(self):
        return f"{self.path}:{self.line}"


def sessions(path, text):
    """The examples of a file, in lists: one list a fenced block."""
    blocks, block, info, current = [], None, "", None
    for number, line in enumerate(text.splitlines(), 1):
        fence = re.match(r"^\s*```\s*(\S*)", line)
        if fence:
            if block is None:
                block, info, current = [], fence.group(1), None
            else:
                if block:
                    blocks.append(block)
                block = None
            continue
        if block is None:
            continue
        if line.startswith("$ ") and (info == "console" or line.startswith("$ zirvon")):
            current = Example(path, number, line[2:])
            block.append(current)
        elif current is not None:
            current.output.append(line)
    return blocks


def matches(expected, actual):
    """Whether the lines match, `...` standing for any number of lines."""
    if not expected:
        return not actual
    if expected[0].strip() == "...":
        return any(matches(expected[1:], actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and expected[0].rstrip() == actual[0].rstrip() and matches(expected[1:], actual[1:])


def run_block(block, args):
    failures = 0
    with tempfile.TemporaryDirectory(prefix="zirvon-docs-") as folder:
        for source in glob.glob(os.path.join(args.root, "examples", "*")) + \
                glob.glob(os.path.join(args.root, "tests", "music", "*.mid")):
            shutil.copy(source, folder)
        # The manual's pictures, so that an example can show one is current.
        shutil.copytree(os.path.join(args.root, "docs"), os.path.join(folder, "docs"),
                        ignore=shutil.ignore_patterns("*.md", "*.png"))
        bin_folder = os.path.join(folder, ".bin")
        os.mkdir(bin_folder)
        wrapper = os.path.join(bin_folder, "zirvon")
        with open(wrapper, "w") as f:
            f.write("#!/bin/sh\nexec " + " ".join(args.emulator + [os.path.abspath(args.zirvon)]) + ' "$@"\n')
        os.chmod(wrapper, 0o755)
        env = {k: v for k, v in os.environ.items() if not k.startswith("ZIRVON_")}
        env["PATH"] = bin_folder + os.pathsep + env.get("PATH", "/usr/bin:/bin")
        env["LC_ALL"] = "C.UTF-8"
        for example in block:
            if example.needs:
                print(f"{example.where()}: skipped, needs {example.needs}: $ {example.command}")
                continue
            done = subprocess.run(["/bin/sh", "-c", example.command], cwd=folder, env=env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.STDOUT, timeout=HANG)
            actual = done.stdout.decode("utf-8", "replace").splitlines()
            problems = []
            if done.returncode != example.status:
                problems.append(f"exit status {done.returncode}, the text says {example.status}")
            if example.output and not matches(example.output, actual):
                problems.append("the output differs")
            if not problems:
                print(f"{example.where()}: ok: $ {example.command}")
                continue
            failures += 1
            print(f"{example.where()}: FAILED: $ {example.command}: " + "; ".join(problems))
            if example.output:
                print("  the text shows:\n" + "".join(f"    {line}\n" for line in example.output), end="")
            shown = actual[:60] + ([f"({len(actual) - 60} more lines)"] if len(actual) > 60 else [])
            print("  the program wrote:\n" + "".join(f"    {line}\n" for line in shown), end="")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zirvon")
    parser.add_argument("root")
    parser.add_argument("--emulator", nargs="+", default=[])
    args = parser.parse_args()
    files = [os.path.join(args.root, "README.md")] + sorted(glob.glob(os.path.join(args.root, "docs", "*.md")))
    count = failures = 0
    for path in files:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        for block in sessions(os.path.relpath(path, args.root), text):
            count += len(block)
            failures += run_block(block, args)
    print(f"{count} examples, {failures} failed")
    if count == 0:
        print("no examples found: the markers of the examples have changed")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
