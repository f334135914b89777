#!/usr/bin/env bash
# Takes the README's picture and the figures of the user manual
# (docs/manual/images/*.png) with scripts/screenshot.sh.
# Usage: scripts/manual-images.sh
set -euo pipefail
cd "$(dirname "$0")/.."
images=docs/manual/images
mkdir -p "$images"

# shot NAME FILE WIDTHxHEIGHT CLICKS [WINDOW]
shot() {
  scripts/screenshot.sh "samples/$2" "$images/$1.png" "$4" "$3" "${5:-}"
}

scripts/screenshot.sh samples/sample.bit docs/screenshot.png
shot main-window sample.bit 1100x640 ViewHex,ViewProtocols,AnalizeProtocols
shot packet-window sample.pcap 1000x560 ViewDec
shot view-bin sample.pcap 1000x420 ViewBin
shot view-txt sample.pcap 1000x420 ViewTxt
shot view-bit sample.bit 1000x420 ViewBit
shot protocol-panel sample.pcap 1000x560 ViewHex,ViewProtocols,AnalizeProtocols
shot statistics sample.pcap 1100x640 ViewHex,Stat StatForm
shot search sample.pcap 1100x640 ViewHex,Find SearchForm
shot auto-colouring sample.pcap 1100x640 ViewHex,SelectByMask AutoSelectForm
shot packet-processing sample.pcap 1100x640 ViewHex,Utilz UtilzForm
