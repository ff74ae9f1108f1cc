#!/usr/bin/env bash
# Builds the VS Code extension of editors/vscode and checks its grammar:
# installs its npm packages from the lock file (npm ci, only when they are
# missing or the lock file changed), compiles it, runs the grammar test
# under VS Code's TextMate engine, and packages it with vsce:
#   scripts/vscode.sh [OUT.vsix]      default: build/zirvon-vscode.vsix
# Needs Node.js and npm (Debian's nodejs and npm, or any Node 18 or later).
# Without them it exits with status 77 (skipped), or 1 under CI=true.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build/zirvon-vscode.vsix}")
cd "$root/editors/vscode"

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "vscode.sh: needs Node.js and npm (Debian packages nodejs and npm)" >&2
    [[ "${CI:-}" == "true" || "${CI:-}" == "1" ]] && exit 1
    exit 77
fi
# npm keeps a copy of the lock it installed in node_modules/.package-lock.json.
if [[ ! -f node_modules/.package-lock.json || package-lock.json -nt node_modules/.package-lock.json ]]; then
    npm ci --no-audit --no-fund --loglevel=error
fi
npx --no-install tsc -p ./
node --test test/
mkdir -p "$(dirname "$out")"
npx --no-install vsce package --allow-missing-repository --skip-license --out "$out"
