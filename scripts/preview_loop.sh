#!/usr/bin/env bash
# Plays a short song a few hundred times through a JACK server of its own and
# checks that every preview ends cleanly and delivers every message: closing
# a JACK MIDI port is where RtMidi's shutdown can race the JACK process thread.
#   scripts/preview_loop.sh [runs]     (default 300; needs a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-300}"
tests=build/release/midi/zirvon_live_tests
[[ -x "$tests" ]] || { echo "build first: cmake --preset release && cmake --build --preset release" >&2; exit 1; }
ZIRVON_PREVIEW_RUNS="$runs" "$tests" --gtest_filter='PlayBinary.ManyShortPreviewsAllEndCleanly'
