#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for the given number of seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
shopt -s nullglob
for target in build/fuzz/fuzz/fuzz_*; do
  [[ -x $target ]] || continue
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  seeds=()
  [[ -d fuzz/corpus/$name ]] && seeds=(fuzz/corpus/"$name")
  echo "Fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
    "$corpus" "${seeds[@]}" 2>"build/fuzz/$name.log" || {
    tail -50 "build/fuzz/$name.log"
    echo "$name found a fault"
    exit 1
  }
done
