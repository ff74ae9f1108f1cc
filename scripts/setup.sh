#!/usr/bin/env bash
# Installs what building zirvon needs (Debian 12 packages) when it is
# missing, then configures and builds the release preset in build/release/.
#   scripts/setup.sh               what the program needs; builds the program
#   scripts/setup.sh --tests       also what the test suite needs; builds the tests too
#   scripts/setup.sh --sanitizers  also clang and its sanitizer and fuzzer runtimes
#   scripts/setup.sh --web         only what building the page needs; builds nothing
#   scripts/setup.sh --bench       also Google Benchmark; builds the bench preset in build/bench/
#                                  (scripts/web.sh, which builds the page, runs it)
# With --tests it also builds the page, which the browser tests load.
# A second run installs nothing and rebuilds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every package is named exactly. Where a package depends on one of several
# alternatives, the one we want is listed too: otherwise apt takes the first,
# and a later install that needs the other one removes it again.

# The program: RtMidi for MIDI, RtAudio for the built-in synthesizer where no
# JACK server runs, a JSON library for the language server, and libsndfile
# to read recordings of cassettes.
# librtmidi-dev and librtaudio-dev depend on "libjack-dev |
# libjack-jackd2-dev": JACK 2, whose server the tests run.
program_packages=(cmake g++ make pkg-config librtmidi-dev librtaudio-dev libjack-jackd2-dev nlohmann-json3-dev libsndfile1-dev)
# The tests: GoogleTest, a JACK server for the live MIDI and audio tests,
# tools that read MIDI files (timidity with the freepats instrument patches,
# without which it renders nothing), Python for the reference models, and a
# checker of XML and a browser for the pictures, Neovim to use the language
# server as an editor does, and Node.js with npm to build the VS Code
# extension and test its grammar.
test_packages=(libgtest-dev jackd2 timidity freepats python3 libxml2-utils chromium neovim nodejs npm)
# The sanitizer and fuzzer builds (their preset builds the tests as well).
sanitizer_packages=(clang libclang-rt-14-dev libgtest-dev)
# The page (scripts/web.sh): Emscripten for the core in WebAssembly, Node.js
# and npm for its editor, its bundler and the browser driver of its tests.
web_packages=(emscripten nodejs npm)
# The benchmarks (the bench preset).
bench_packages=(libbenchmark-dev)

packages=("${program_packages[@]}")
tests=false
build=true
bench=false
for option in "$@"; do
    case "$option" in
        --tests) packages+=("${test_packages[@]}" "${web_packages[@]}"); tests=true ;;
        --sanitizers) packages+=("${sanitizer_packages[@]}") ;;
        --web) packages=("${web_packages[@]}"); build=false ;;
        --bench) packages+=("${bench_packages[@]}"); bench=true ;;
        *) echo "setup.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

# Node.js and npm count as there when their commands are, whatever package
# brought them (some machines have a newer Node.js with npm inside it, which
# Debian's npm package cannot join).
declare -A commands=([nodejs]=node [npm]=npm)
missing=()
for p in "${packages[@]}"; do
    [[ -n "${commands[$p]:-}" ]] && command -v "${commands[$p]}" >/dev/null && continue
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
        [[ " ${missing[*]} " == *" $p "* ]] || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

$build || exit 0

# The program alone is configured without the tests, so it needs no
# GoogleTest. Once the tests are configured in build/release, building the
# program leaves them configured and builds only the program.
if $tests; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$(nproc)"
    scripts/web.sh
elif grep -qx 'ZIRVON_TESTS:BOOL=ON' build/release/CMakeCache.txt 2>/dev/null; then
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$(nproc)" --target zirvon
else
    cmake --preset release -DZIRVON_TESTS=OFF >/dev/null
    cmake --build --preset release -j "$(nproc)"
fi

if $bench; then
    cmake --preset bench >/dev/null
    cmake --build --preset bench -j "$(nproc)"
fi
