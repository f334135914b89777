#!/usr/bin/env bash
# Installs what is missing, builds the release preset and opens FILE (or the bundled sample).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run

cmake --preset release >/dev/null
cmake --build --preset release

file=${1:-samples/sample.bit}
exec build/release/cli/pakscope-cli info "$file"
