#!/usr/bin/env bash
# Takes a picture of the main window with FILE loaded, drawn on a virtual X
# display by the screenshot program. Settings come from a throw-away folder, so
# the user's own settings are neither used nor changed.
# Usage: scripts/screenshot.sh [FILE] [OUTPUT] [CLICKS] [WIDTHxHEIGHT] [WINDOW]
#   FILE    default samples/sample.bit; OUTPUT default docs/screenshot.png
#   CLICKS  commands and buttons of the packet window to press first, comma-separated
#           (default: hexadecimal view with the protocol tree of the capture)
#   WINDOW  object name of another top-level window to take instead (a tool window)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshot >/dev/null

cmake --preset release >/dev/null
cmake --build --preset release --target pakscope-screenshot pakscope_data >/dev/null

file=${1:-samples/sample.bit}
output=${2:-docs/screenshot.png}
clicks=${3:-ViewHex,ViewProtocols,AnalizeProtocols}
size=${4:-1100x640}
window=()
[[ -n ${5:-} ]] && window=(--window "$5")
mkdir -p "$(dirname "$output")"
output=$(realpath -m "$output")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A bit file is converted next to itself; convert a copy, not the sample.
cp "$file" "$work/"
mkdir -p "$work/config/Vorlund"
cat >"$work/config/Vorlund/Pakscope.conf" <<CONF
[General]
Left=0
Top=0
Width=${size%x*}
Height=${size#*x}
Maximize=0
Font=DejaVu Sans
Font%20Size=9
ChildWindowState=2
CONF
XDG_CONFIG_HOME="$work/config" xvfb-run -a -s "-screen 0 1280x800x24" \
  build/release/pakscope-screenshot "$work/$(basename "$file")" "$output" --click "$clicks" "${window[@]}"
echo "Saved $output"
