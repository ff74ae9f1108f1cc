#!/usr/bin/env bash
# Measures /wav as the whole command, pinned to one core and writing to
# tmpfs (/dev/shm): a one-hour song whose eight tracks sound all the time,
# and the longest song a WAV file can hold (four tracks, just under
# 6 h 45 min 47 s). Prints for each the time taken (wall clock, and the
# processor time the command used, which other work on the machine does not
# lengthen), the speed against real time and the peak memory.
#   scripts/wav_speed.sh [ZIRVON]     (default build/release/zirvon)
set -euo pipefail
zirvon=$(realpath "${1:-build/release/zirvon}")
work=$(mktemp -d /dev/shm/zirvon-wav-speed.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Whole notes held to their full length, 24 a block, on every track.
{
    for ((block = 0; block < 75; ++block)); do
        for ((track = 1; track <= 8; ++track)); do
            printf '%d[O%d L1 Q8' "$track" $((2 + track / 2))
            for ((note = 0; note < 6; ++note)); do printf ' C E G B'; done
            printf ']\n'
        done
    done
} >long.mml
# Notes of 255 ticks on four tracks, 4,752 each.
{
    for ((block = 0; block < 99; ++block)); do
        for ((track = 1; track <= 4; ++track)); do
            printf '%d[O%d Q8' "$track" $((2 + track))
            for ((note = 0; note < 48; ++note)); do printf ' C%%255'; done
            printf ']\n'
        done
    done
} >longest.mml

for song in long longest; do
    out=$( { taskset -c 1 /usr/bin/time -f '%e %U %S %M' "$zirvon" "$song.mml" /wav; } 2>&1 | tail -n 1)
    read -r elapsed user system kilobytes <<<"$out"
    bytes=$(stat -c %s "$song.WAV")
    audio=$(( (bytes - 44) / 4 ))
    awk -v s="$song" -v e="$elapsed" -v u="$user" -v y="$system" -v k="$kilobytes" -v b="$bytes" \
        -v f="$audio" 'BEGIN {
        a = f / 44100
        c = u + y
        printf "%-8s %d:%02d:%02d of audio, %.2f GB: %.1f s (%.0f x real time), %.1f s of processor time (%.0f x), peak memory %.1f MB\n",
            s, a / 3600, a / 60 % 60, a % 60, b / 1e9, e, a / e, c, a / c, k / 1024 }'
    rm -f "$song.WAV"
done
