#!/usr/bin/env python3
"""The three lists of options agree: the help (made from the option rows and
the output table), the man page's OPTIONS and the manual's table in
docs/command-line.md. Every option the help lists has an entry in the other
two, and every option they give an entry is one the program knows.

usage: option_lists.py ZIRVON ROOT
"""
import os
import re
import subprocess
import sys

# An option as it is spelled, without its value: /play, /port, -o, --help, /?, --.
OPTION = re.compile(r"(?<![\w/.\-])(--?[a-z]*|/[a-z?][a-z?-]*)(?=[=\s,|]|$)")


def spellings(text):
    return {m.group(1) for m in OPTION.finditer(text)}


def help_options(zirvon):
    help_text = subprocess.run([zirvon, "--help"], capture_output=True, text=True, check=True).stdout
    listed = set()
    in_options = False
    for line in help_text.splitlines():
        if line.startswith("Options"):
            in_options = True
        elif in_options and not line.startswith("  "):
            break
        elif in_options and line.startswith("  ") and not line.startswith("   "):
            listed |= spellings(re.split(r"\s{2,}", line.strip())[0])
    return listed, spellings(help_text)


def man_options(root):
    with open(os.path.join(root, "packaging", "zirvon.1.in"), encoding="utf-8") as f:
        lines = f.read().replace("\\-", "-").replace("\\fR", "").replace("\\fP", "").splitlines()
    start = lines.index(".SH OPTIONS")
    end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith(".SH "))
    entries = set()
    for i in range(start, end):
        if lines[i] == ".TP":
            heading = re.sub(r"^\.[A-Z]+\s+", "", lines[i + 1]).replace('"', " ")
            entries |= spellings(heading)
    return entries


def manual_options(root):
    with open(os.path.join(root, "docs", "command-line.md"), encoding="utf-8") as f:
        text = f.read()
    section = text.split("## Options", 1)[1].split("\n## ", 1)[0]
    entries = set()
    for line in section.splitlines():
        if line.startswith("| `"):
            entries |= spellings(" ".join(re.findall(r"`([^`]*)`", line.split("|")[1])))
    return entries


def main():
    zirvon, root = sys.argv[1], sys.argv[2]
    listed, known = help_options(zirvon)
    problems = []
    if len(listed) < 10:
        problems.append(f"read only {sorted(listed)} from the help: has its layout changed?")
    for name, entries in (("the man page (packaging/zirvon.1.in)", man_options(root)),
                          ("the manual (docs/command-line.md)", manual_options(root))):
        for option in sorted(listed - entries):
            problems.append(f"{option} is in the help but has no entry in {name}")
        for option in sorted(entries - known):
            problems.append(f"{name} has an entry for {option}, which the help does not know")
    for problem in problems:
        print(problem)
    print(f"{len(listed)} options in the help: {' '.join(sorted(listed))}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
