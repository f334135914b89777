#!/usr/bin/env bash
# Installs the Debian packages a build needs when they are missing.
# Usage: scripts/install-deps.sh run|test|screenshot
set -euo pipefail

purpose=${1:-run}
packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev)
# Debian's hardening flags (dpkg-buildflags) and the compressed manual pages.
packages+=(dpkg-dev gzip)
# The desktop program: Qt Widgets, its platform plugins, and Qt's own Russian
# texts for the standard dialogs; a font for the cells (the window tests
# measure rendered text).
packages+=(qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev fonts-dejavu-core)
optional=()
if [[ $purpose == screenshot ]]; then
  # A virtual display for taking the README's picture on a machine without one.
  packages+=(xvfb xauth)
  # Renders the PNG sizes of the application icon (packaging/render-icons.sh).
  optional+=(librsvg2-bin)
fi
if [[ $purpose == test ]]; then
  # libpcap is a reference peer for the tests only; the program never links it.
  packages+=(libpcap-dev)
  # Qt's platform interface, to read window titles as the window system shows them.
  packages+=(qt6-base-private-dev)
  # clang's fuzzer runtime lets the test run exercise the fuzz targets briefly.
  optional+=(clang libclang-rt-14-dev)
  # A full dissector to compare the analyser's protocol tree with.
  optional+=(tshark)
  # Validators of the desktop entry, the MIME package and the metainfo.
  optional+=(desktop-file-utils shared-mime-info appstream)
  # Checks the manual pages for troff mistakes.
  optional+=(groff-base)
  # editcap converts generated captures to pcapng and nanosecond pcap for the reader tests.
  optional+=(wireshark-common)
fi

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

apt_install() {
  local sudo=()
  if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  if [[ -z ${PAKSCOPE_APT_UPDATED:-} ]]; then
    "${sudo[@]}" apt-get update -qq || true
    export PAKSCOPE_APT_UPDATED=1
  fi
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

mapfile -t need < <(missing "${packages[@]}")
if ((${#need[@]})); then
  echo "Installing: ${need[*]}"
  apt_install "${need[@]}"
fi
if ((${#optional[@]})); then
  mapfile -t want < <(missing "${optional[@]}")
  if ((${#want[@]})); then
    echo "Installing (optional): ${want[*]}"
    apt_install "${want[@]}" || echo "Optional packages not installed: ${want[*]}"
  fi
fi
