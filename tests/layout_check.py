#!/usr/bin/env python3
"""The house's layout: no circle between the folders of the production code
(a folder includes another's headers only if that one never includes it
back, however indirectly), and no source file much past 400 lines.

usage: layout_check.py [ROOT]
"""
import os
import re
import sys

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NOT_PRODUCTION = re.compile(r"(_test\.cpp|_test_posix\.cpp|_test_win32\.cpp)$")
OUTSIDE = {"tests", "fuzz", "bench", "build", "editors", "web", "node_modules"}
LONGEST = 450


def production_files():
    for folder in sorted(os.listdir(ROOT)):
        path = os.path.join(ROOT, folder)
        if folder.startswith(".") or folder in OUTSIDE or not os.path.isdir(path):
            continue
        for name in sorted(os.listdir(path)):
            if name.endswith((".h", ".cpp")) and not NOT_PRODUCTION.search(name):
                yield folder, os.path.join(path, name)


def main():
    uses = {}
    problems = []
    for folder, path in production_files():
        with open(path, encoding="utf-8", errors="replace") as f:
            text = f.read()
        uses.setdefault(folder, set()).update(
            used for used in re.findall(r'#include "([^/"]+)/', text) if used != folder)
        lines = text.count("\n")
        if lines > LONGEST:
            problems.append(f"{os.path.relpath(path, ROOT)} has {lines} lines")

    def reaches(start, goal, seen):
        for used in uses.get(start, ()):
            if used == goal or (used not in seen and not seen.add(used) and reaches(used, goal, seen)):
                return True
        return False

    for folder in sorted(uses):
        for used in sorted(uses[folder]):
            if reaches(used, folder, set()):
                problems.append(f"{folder}/ includes {used}/, which includes {folder}/ back")
    for p in problems:
        print(p)
    print(f"{len(uses)} folders, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
