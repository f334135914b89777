#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window with the bundled sample loaded,
# drawn on a virtual X display. Settings come from a throw-away folder, so the
# user's own settings are neither used nor changed.
# Usage: scripts/screenshot.sh [FILE] [OUTPUT]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshot

cmake --preset release >/dev/null
cmake --build --preset release --target pakscope-screenshot pakscope_data

file=${1:-samples/sample.bit}
output=${2:-docs/screenshot.png}
mkdir -p "$(dirname "$output")"
output=$(realpath -m "$output")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The bit file is converted next to itself; convert a copy, not the sample.
cp "$file" "$work/"
mkdir -p "$work/config/Vorlund"
cat >"$work/config/Vorlund/Pakscope.conf" <<'CONF'
[General]
Left=0
Top=0
Width=1100
Height=640
Maximize=0
Font=DejaVu Sans
Font%20Size=9
ChildWindowState=2
CONF
# Hexadecimal view with the protocol tree of the capture beside it.
XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x800x24" \
  build/release/pakscope-screenshot "$work/$(basename "$file")" "$output" \
  --click ViewHex,ViewProtocols,AnalizeProtocols
echo "Saved $output"
