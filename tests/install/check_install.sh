#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a user gets: the
# layout, the installed pakscope-cli finding its descriptions through
# ../share/pakscope, an analysis of the bundled sample, the manual pages, the
# Debian documentation files, the hardening of the programs, and the desktop
# files under the validators that are installed.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR gui|nogui
set -uo pipefail
build=$1 source=$2 gui=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
need_file() { [[ -f $prefix/$1 ]] || fail "missing $1"; }

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

[[ -x $prefix/bin/pakscope-cli ]] || fail "bin/pakscope-cli is not installed as a program"
share=share/pakscope

# Descriptions: every shipped file, byte for byte (they are Windows-1251).
shipped=0
for cfg in "$source"/Data/Protocols/*.CFG; do
  shipped=$((shipped + 1))
  name=$(basename "$cfg")
  cmp -s "$cfg" "$prefix/$share/Data/Protocols/$name" || fail "$share/Data/Protocols/$name differs"
done
((shipped > 0)) || fail "no descriptions in the source tree"

# The manual, and every figure it points at.
need_file "$share/manual/index.md"
for page in "$prefix/$share/manual"/*.md; do
  while IFS= read -r image; do
    [[ -f $(dirname "$page")/$image ]] || fail "$(basename "$page") shows $image, which is not installed"
  done < <(grep -o '!\[[^]]*\]([^)]*)' "$page" | sed 's/.*(\(.*\))/\1/')
done

# The installed tool, started from elsewhere, compiles the installed descriptions.
cd "$work" || exit 1
if "$prefix/bin/pakscope-cli" protocols >"$work/protocols.txt" 2>"$work/protocols.err"; then
  listed=$(grep -c '^[0-9]' "$work/protocols.txt")
  # Two built-in protocols follow the descriptions.
  ((listed == shipped + 2)) || fail "protocols lists $listed protocols, expected $((shipped + 2))"
  for cfg in "$source"/Data/Protocols/*.CFG; do
    name=$(iconv -f cp1251 -t utf-8 "$cfg" | sed -n 's/^ИМЯ "\(.*\)".*/\1/p' | head -n 1)
    sed -n 's/^[0-9][0-9]* //p' "$work/protocols.txt" | grep -qxF -- "$name" ||
      fail "protocols does not list \"$name\""
  done
  [[ -s $work/protocols.err ]] && fail "protocols complained: $(cat "$work/protocols.err")"
else
  fail "installed pakscope-cli protocols: $(cat "$work/protocols.err")"
fi

# An analysis of the bundled capture and of the bundled bit stream, from here.
cp "$source/samples/sample.pcap" "$source/samples/sample.bit" "$work/"
if "$prefix/bin/pakscope-cli" analyse sample.pcap >"$work/pcap.txt" 2>&1; then
  grep -q 'Ethernet II' "$work/pcap.txt" || fail "analyse sample.pcap found no Ethernet II: $(cat "$work/pcap.txt")"
else
  fail "installed pakscope-cli analyse sample.pcap: $(cat "$work/pcap.txt")"
fi
if "$prefix/bin/pakscope-cli" analyse sample.bit >"$work/bit.txt" 2>&1; then
  grep -q '^ *(' "$work/bit.txt" || fail "analyse sample.bit printed no protocol tree"
else
  fail "installed pakscope-cli analyse sample.bit: $(cat "$work/bit.txt")"
fi

# Manual pages: made from the installed programs' --help, with an English NAME line.
# check_page PAGE PROGRAM [COMMAND...]
check_page() {
  local page=$prefix/share/man/man1/$1.1.gz program=$2
  shift 2
  if ! gzip -t "$page" 2>/dev/null; then
    fail "missing or broken share/man/man1/$(basename "$page")"
    return
  fi
  zcat "$page" >"$work/page.1"
  grep -A1 -x '\.SH NAME' "$work/page.1" | tail -n 1 | LC_ALL=C grep -q "^[ -~]*$" ||
    fail "$(basename "$page"): the NAME line is not plain English"
  # Every line the program prints for --help is in the page, verbatim.
  local args
  for args in "" "$@"; do
    # shellcheck disable=SC2086
    QT_QPA_PLATFORM=offscreen "$program" $args --help >"$work/help.txt" 2>&1 ||
      fail "$(basename "$program") $args --help failed"
    while IFS= read -r line; do
      [[ -z ${line// /} ]] && continue
      line=${line//\\/\\e}
      grep -qF -- "${line//-/\\-}" "$work/page.1" ||
        fail "$(basename "$page") lacks \"$line\" of $(basename "$program") $args --help"
    done <"$work/help.txt"
  done
  if command -v groff >/dev/null; then
    groff -k -man -Tutf8 -ww -z "$work/page.1" >"$work/groff.txt" 2>&1 || true
    [[ -s $work/groff.txt ]] && fail "$(basename "$page") under groff: $(cat "$work/groff.txt")"
  fi
}
check_page pakscope-cli "$prefix/bin/pakscope-cli" info convert hdlc analyse protocols stats search cut pad select

# Debian's documentation files.
doc=$prefix/share/doc/pakscope
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" 2>/dev/null ||
  fail "share/doc/pakscope/copyright is not in the machine-readable format"
for field in Files Copyright License; do
  grep -q "^$field: " "$doc/copyright" 2>/dev/null || fail "copyright has no $field field"
done
zcat "$doc/changelog.Debian.gz" 2>/dev/null | head -n 1 | grep -q '^pakscope (.*) .*; urgency=' ||
  fail "share/doc/pakscope/changelog.Debian.gz is missing or not a Debian changelog"

# Hardening as dpkg-buildflags gives it: bound at start (-z now) and a stack
# protector or fortified calls in each program.
hardened() {
  local program=$prefix/bin/$1
  readelf -d "$program" >"$work/dynamic.txt" 2>&1
  grep -Eq 'BIND_NOW|FLAGS_1.*NOW' "$work/dynamic.txt" || fail "bin/$1 is not linked with -z now"
  readelf --dyn-syms -W "$program" >"$work/symbols.txt" 2>&1
  grep -Eq '__stack_chk_fail|__[a-z_]+_chk@' "$work/symbols.txt" ||
    fail "bin/$1 has neither __stack_chk_fail nor _chk symbols"
}
if command -v dpkg-buildflags >/dev/null; then
  hardened pakscope-cli
  [[ $gui == gui ]] && hardened pakscope
else
  echo "NOTE: dpkg-buildflags is not installed (dpkg-dev): hardening not checked"
fi

if [[ $gui == gui ]]; then
  check_page pakscope "$prefix/bin/pakscope"
  [[ -x $prefix/bin/pakscope ]] || fail "bin/pakscope is not installed as a program"
  need_file share/applications/pakscope.desktop
  need_file share/icons/hicolor/scalable/apps/pakscope.svg
  for size in 16 24 32 48 64 128 256; do need_file "share/icons/hicolor/${size}x${size}/apps/pakscope.png"; done
  for type in qpk lqpk; do
    need_file "share/icons/hicolor/scalable/mimetypes/application-x-pakscope-$type.svg"
    grep -q "<icon name=\"application-x-pakscope-$type\"/>" "$prefix/share/mime/packages/pakscope.xml" ||
      fail "MIME type of .$type names no icon"
  done
  desktop=$prefix/share/applications/pakscope.desktop
  LC_ALL=C grep '^Keywords=' "$desktop" | grep -q '^[ -~]*$' ||
    fail "Keywords= must hold the English keywords only: $(grep '^Keywords=' "$desktop")"
  grep -q '^Keywords\[ru\]=.*пакет' "$desktop" || fail "no Russian keywords under Keywords[ru]="
  for type in application/vnd.tcpdump.pcap application/x-pcapng; do
    grep -q "<mediatype>$type</mediatype>" "$prefix/share/metainfo/org.vorlund.pakscope.metainfo.xml" ||
      fail "AppStream provides lacks $type"
  done
  need_file share/mime/packages/pakscope.xml
  need_file share/metainfo/org.vorlund.pakscope.metainfo.xml

  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/pakscope.desktop" >"$work/desktop.txt" 2>&1 ||
      fail "desktop entry: $(cat "$work/desktop.txt")"
    grep -q 'error:' "$work/desktop.txt" && fail "desktop entry: $(cat "$work/desktop.txt")"
  else
    echo "NOTE: desktop-file-validate is not installed (desktop-file-utils): desktop entry not validated"
  fi
  if command -v update-mime-database >/dev/null; then
    update-mime-database "$prefix/share/mime" >"$work/mime.txt" 2>&1 || fail "MIME package: $(cat "$work/mime.txt")"
    for type in 'application/x-pakscope-qpk:\*\.qpk' 'application/x-pakscope-lqpk:\*\.lqpk'; do
      grep -q ":$type\$" "$prefix/share/mime/globs2" || fail "MIME database lacks $type"
    done
  else
    echo "NOTE: update-mime-database is not installed (shared-mime-info): MIME package not validated"
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/org.vorlund.pakscope.metainfo.xml" \
      >"$work/metainfo.txt" 2>&1 || fail "metainfo: $(cat "$work/metainfo.txt")"
  else
    echo "NOTE: appstreamcli is not installed (appstream): metainfo not validated"
  fi
fi

if ((failures)); then
  echo "$failures install check(s) failed"
  exit 1
fi
echo "Install layout checked in $prefix"
