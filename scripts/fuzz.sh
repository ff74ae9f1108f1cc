#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each of them.
#   scripts/fuzz.sh [--time SECONDS | --runs N] [TARGET...]
# Defaults: 60 seconds each, every target. Seeds come from fuzz/corpus/;
# new corpus entries are kept in build/fuzz-corpus/, outside the repository.
# Crashing inputs are written to build/fuzz-crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=60)
targets=()
while (($#)); do
    case "$1" in
        --time) limit=(-max_total_time="$2"); shift 2 ;;
        --runs) limit=(-runs="$2"); shift 2 ;;
        *) targets+=("$1"); shift ;;
    esac
done
((${#targets[@]})) || targets=(compile_fuzz tape_fuzz command_line_fuzz player_fuzz lsp_fuzz midi_import_fuzz cassette_fuzz)

# The fuzz targets are built with the AddressSanitizer preset.
scripts/setup.sh --sanitizers
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)" --target "${targets[@]}"

mkdir -p build/fuzz-crashes
# One target per core at a time.
run_target() {
    local target=$1
    local seeds="fuzz/corpus/${target%_fuzz}"
    local corpus="build/fuzz-corpus/${target%_fuzz}"
    mkdir -p "$corpus"
    "build/asan/fuzz/$target" "${limit[@]}" -print_final_stats=1 -max_len=65536 \
        -artifact_prefix="build/fuzz-crashes/$target-" "$corpus" "$seeds" \
        > "build/fuzz-crashes/$target.log" 2>&1
}
declare -A pids
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= $(nproc))); do wait -n || true; done
    echo "== $target ${limit[*]}"
    run_target "$target" &
    pids[$target]=$!
done
status=0
for target in "${targets[@]}"; do
    if ! wait "${pids[$target]}"; then
        status=1
        echo "== $target FAILED"
        tail -n 40 "build/fuzz-crashes/$target.log"
    fi
    echo "== $target: $(grep -E '^stat::number_of_executed_units' "build/fuzz-crashes/$target.log" | awk '{print $2}') runs," \
        "$(grep -E '^stat::average_exec_per_sec' "build/fuzz-crashes/$target.log" | awk '{print $2}') a second"
done
exit $status
