#!/usr/bin/env python3
"""Prints random MML sources from the reference model tests' generator
(tests/model/harness.py) as a JSON list of Latin-1 texts, for the page's
tests to compare the browser with the native program on them.

usage: random_songs.py COUNT SEED
"""
import json
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "model"))
import harness  # noqa: E402

count, seed = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(seed)
print(json.dumps([harness.source(rng).decode("latin-1") for _ in range(count)]))
