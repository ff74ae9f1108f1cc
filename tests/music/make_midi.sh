#!/usr/bin/env bash
# Remakes the MIDI files of the real music that the import tests read, from
# their LilyPond sources: chorale.mid, folk.mid and tempo.mid. Needs lilypond
# (Debian package lilypond); the tests and CI need only the .mid files, which
# are committed.
set -euo pipefail
cd "$(dirname "$0")"
for ly in chorale folk tempo; do
    lilypond --loglevel=ERROR -dno-point-and-click -o "$ly" "$ly.ly"
    mv "$ly.midi" "$ly.mid"
    rm -f "$ly.pdf"
done
