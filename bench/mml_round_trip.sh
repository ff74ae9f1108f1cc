#!/usr/bin/env bash
# 10,000 round trips through the real binary: random sources compiled, each
# image written back as MML with /mml, that MML compiled again, the images
# compared byte for byte (tests/model/mml_round_trip.py; the test suite runs
# a few hundred). In-process round trips, and the import and decompile times
# of a ten-minute song, are in build/bench/bench/import_bench.
#   bench/mml_round_trip.sh [ZIRVON] [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
zirvon=${1:-build/release/zirvon}
count=${2:-10000}
time python3 tests/model/mml_round_trip.py "$zirvon" --count "$count" --seed "$RANDOM"
