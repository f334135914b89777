#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target for the given number of
# seconds. With --merge, the inputs that reach new code join the committed
# corpora under fuzz/corpus/. Names of targets after them run only those.
# Usage: scripts/run-fuzzers.sh [SECONDS] [--merge] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
merge=
if [[ ${2:-} == --merge ]]; then merge=--merge; fi
only=("${@:2}")
[[ -n $merge ]] && only=("${@:3}")
cmake --preset fuzz >/dev/null
# The fuzz targets only: the programs of this preset are of no use here.
targets=("${only[@]}")
if [[ ${#targets[@]} -eq 0 ]]; then
  for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
cmake --build --preset fuzz --target "${targets[@]}"
shopt -s nullglob
for target in build/fuzz/fuzz/fuzz_*; do
  [[ -x $target ]] || continue
  name=$(basename "$target")
  if [[ ${#only[@]} -gt 0 && " ${only[*]} " != *" $name "* ]]; then continue; fi
  work=build/fuzz/corpus/$name
  keep=fuzz/corpus/$name
  mkdir -p "$work"
  [[ -n $merge ]] && mkdir -p "$keep"
  seeds=()
  [[ -d $keep ]] && seeds=("$keep")
  echo "Fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
    "$work" "${seeds[@]}" 2>"build/fuzz/$name.log" || {
    tail -50 "build/fuzz/$name.log"
    echo "$name found a fault"
    exit 1
  }
  if [[ -n $merge ]]; then
    # Only inputs that add coverage to what is committed join it.
    "$target" -merge=1 -rss_limit_mb=2048 "$keep" "$work" 2>>"build/fuzz/$name.log"
    echo "$name: $(find "$keep" -type f | wc -l) inputs in $keep"
  fi
done
