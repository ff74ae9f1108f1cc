#!/usr/bin/env bash
# Sets up zirvon with everything its tests need, builds it and runs every test.
# With CI=true (as in continuous integration) a test that finds a tool or the
# JACK server missing fails instead of being skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
ctest --preset release -j 2 --no-tests=error
