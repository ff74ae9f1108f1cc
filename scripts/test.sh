#!/usr/bin/env bash
# Sets up zirvon with everything its tests need, builds it and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --tests
ctest --preset release -j 2
