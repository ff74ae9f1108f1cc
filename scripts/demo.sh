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
# sed reads to the end, so zirvon never writes into a closed pipe (head
# would leave it to die of SIGPIPE, which pipefail reports as a failure).
../release/zirvon canon.MZT /list | sed -n '1,16p'
