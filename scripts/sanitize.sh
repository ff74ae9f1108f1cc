#!/usr/bin/env bash
# Runs the test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the tests of the player, its timer, the live session, the progress line
# and the synthesizer's device-clock renderer under ThreadSanitizer. (The live
# tests against JACK are left out of the
# ThreadSanitizer run: libjack is not instrumented, and a client slowed that
# much is dropped by the server.)
# The AddressSanitizer build also holds the fuzz targets (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests --sanitizers

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j 2

cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$(nproc)" --target zirvon zirvon_tests zirvon_core_tests
ctest --preset tsan -j 2 -R '^(Player|TickTimer|ProgressLine|FormatProgress|MidiFile|LiveSession|PassagePlayer|LiveRenderer)'
