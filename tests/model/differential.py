#!/usr/bin/env python3
"""Compiles random MML sources with the real binary and with the reference
model, and checks that both give the same image bytes, or the same errors
(their lines and columns).

usage: differential.py ZIRVON [--count N] [--seed S] [--emulator COMMAND...]
"""
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import mml_model  # noqa: E402
from harness import source  # noqa: E402,F401  (other scripts take their sources from here)

ERROR = re.compile(rb"^src\.MML:(?:(\d+):(\d+):)? error: ", re.M)


def check(zirvon, folder, data, rng):
    tape_name = rng.choice(["MUSICDATA", "T", "A-LONG-TAPE-NAME-HERE"])
    run = harness.run(zirvon, folder, "src.mml", tape_name)
    image = os.path.join(folder, "src.MZT")
    block, errors = mml_model.compile_source(data)
    got_errors = [(int(m.group(1) or 0), int(m.group(2) or 0)) for m in ERROR.finditer(run.stderr)]
    if errors:
        problems = [] if got_errors == errors else [f"errors {got_errors} != model {errors}"]
        if run.returncode != 1 or os.path.exists(image):
            problems.append(f"expected failure, got status {run.returncode}")
        return problems
    if run.returncode != 0:
        return [f"{tape_name}: status {run.returncode}: {run.stderr[:300]!r}"]
    with open(image, "rb") as f:
        got = f.read()
    want = mml_model.tape_image(block, tape_name.encode())
    return [] if got == want else [f"{tape_name}: image differs ({len(got)} vs {len(want)} bytes)"]


if __name__ == "__main__":
    sys.exit(harness.main(check, count=1000, seed=1))
