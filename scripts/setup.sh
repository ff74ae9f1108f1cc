#!/usr/bin/env bash
# Installs what building zirvon needs (Debian 12 packages) when it is
# missing, then configures and builds the release preset.
#   scripts/setup.sh               what the program needs
#   scripts/setup.sh --tests       also what the test suite needs
#   scripts/setup.sh --sanitizers  also clang and its sanitizer and fuzzer runtimes
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libgtest-dev librtmidi-dev librtaudio-dev libjack-jackd2-dev)
for option in "$@"; do
    case "$option" in
        # A JACK server for the live MIDI tests, tools that read MIDI files,
        # Python for the reference models, and a checker of XML and a
        # browser for the pictures.
        --tests) packages+=(jackd2 midicsv timidity python3 libxml2-utils chromium) ;;
        --sanitizers) packages+=(clang libclang-rt-14-dev) ;;
        *) echo "setup.sh: unknown option $option" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [[ $(id -u) -eq 0 ]] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
