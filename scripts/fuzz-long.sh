#!/usr/bin/env bash
# Runs every fuzz target for MINUTES minutes (fractions allowed) and merges the
# inputs that reach new code into the committed corpora under fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:?usage: scripts/fuzz-long.sh MINUTES}
seconds=$(awk -v m="$minutes" 'BEGIN { s = int(m * 60); print (s < 1 ? 1 : s) }')
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
shopt -s nullglob
for target in build/fuzz/fuzz/fuzz_*; do
  [[ -x $target ]] || continue
  name=$(basename "$target")
  work=build/fuzz/corpus/$name
  keep=fuzz/corpus/$name
  mkdir -p "$work" "$keep"
  echo "Fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
    "$work" "$keep" 2>"build/fuzz/$name.log" || {
    tail -50 "build/fuzz/$name.log"
    echo "$name found a fault"
    exit 1
  }
  # Only inputs that add coverage to what is committed join it.
  "$target" -merge=1 -rss_limit_mb=2048 "$keep" "$work" 2>>"build/fuzz/$name.log"
  echo "$name: $(ls "$keep" | wc -l) inputs in $keep"
done
