#!/usr/bin/env bash
# Takes the figures of the user manual (docs/manual/images/*.png): the program
# on a virtual X display, with the bundled samples, in a throw-away settings
# folder. PAKSCOPE_PROGRAM names another build of the program to use.
# Usage: scripts/manual-images.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshot

program=${PAKSCOPE_PROGRAM:-}
if [[ -z $program ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release --target pakscope pakscope_data
  program=build/release/pakscope
fi
images=docs/manual/images
mkdir -p "$images"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp samples/sample.bit samples/sample.pcap "$work/"

# shot NAME FILE WIDTH HEIGHT CLICKS: one picture of the main window.
shot() {
  local name=$1 file=$2 width=$3 height=$4 clicks=$5
  rm -rf "$work/config" "$work"/*.qpk
  mkdir -p "$work/config/Vorlund"
  cat >"$work/config/Vorlund/Pakscope.conf" <<CONF
[General]
Left=0
Top=0
Width=$width
Height=$height
Maximize=0
Font=DejaVu Sans
Font%20Size=9
ChildWindowState=2
CONF
  XDG_CONFIG_HOME="$work/config" PAKSCOPE_SCREENSHOT="$PWD/$images/$name.png" \
    PAKSCOPE_SCREENSHOT_CLICKS="$clicks" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$program" "$work/$file"
  echo "Saved $images/$name.png"
}

shot main-window sample.bit 1100 640 ViewHex,ViewProtocols,AnalizeProtocols
shot packet-window sample.pcap 1000 560 ViewDec
shot view-bin sample.pcap 1000 420 ViewBin
shot view-txt sample.pcap 1000 420 ViewTxt
shot view-bit sample.bit 1000 420 ViewBit
shot protocol-panel sample.pcap 1000 560 ViewHex,ViewProtocols,AnalizeProtocols
