#!/usr/bin/env bash
# Installs what is missing, builds the release preset and opens FILE (or the
# bundled sample) in the main window. Without a display it says so and shows
# what pakscope-cli reads from the file instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run

cmake --preset release >/dev/null
cmake --build --preset release --target pakscope pakscope-cli pakscope_data

file=${1:-samples/sample.bit}
if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
  exec build/release/pakscope "$file"
fi
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): the main window cannot open here."
echo "What the program reads from $file:"
exec build/release/cli/pakscope-cli info "$file"
