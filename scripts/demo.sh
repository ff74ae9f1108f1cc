#!/usr/bin/env bash
# Sets up zirvon, the program alone (neither GoogleTest nor the tests), and
# compiles the example song examples/canon.mml into its tape image, in
# build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

mkdir -p build/demo
cp examples/canon.mml build/demo/
cd build/demo
../release/zirvon canon.mml CANON
echo "Compiled examples/canon.mml into build/demo/canon.MZT ($(stat -c %s canon.MZT) bytes)."
echo "Its events ('zirvon canon.MZT /list'), first lines:"
../release/zirvon canon.MZT /list | head -n 16
