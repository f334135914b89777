#!/usr/bin/env bash
# Runs every fuzz target for MINUTES minutes (fractions allowed) and merges the
# inputs that reach new code into the committed corpora under fuzz/corpus/;
# names of targets after MINUTES run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:?usage: scripts/fuzz-long.sh MINUTES [TARGET...]}
seconds=$(awk -v m="$minutes" 'BEGIN { s = int(m * 60); print (s < 1 ? 1 : s) }')
exec scripts/run-fuzzers.sh "$seconds" --merge "${@:2}"
