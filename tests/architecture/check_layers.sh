#!/usr/bin/env bash
# Keeps the two layers and the engine order honest: the engines (src/ outside
# src/gui/) never include Qt, the command-line tool never links it, and engine
# folders include only their own folder and the folders below them.
# Usage: check_layers.sh SOURCE_DIR PAKSCOPE_CLI
set -uo pipefail
source_dir=$1
cli=$2
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Qt headers are <QWidget>, <QtCore/...>, <qglobal.h> and the like.
qt_include='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(Q[A-Za-z]|Qt|q[a-z]+\.h)'
while IFS= read -r file; do
  while IFS= read -r hit; do
    fail "${file#"$source_dir"/}:${hit%%:*} includes a Qt header outside src/gui/: ${hit#*:}"
  done < <(grep -nE "$qt_include" "$file")
done < <(find "$source_dir/src" "$source_dir/cli" -path "$source_dir/src/gui" -prune -o \
           -type f \( -name '*.h' -o -name '*.cpp' \) -print | sort)

# Which engine folders each engine folder may include.
declare -A allowed=(
  [packets]="packets"
  [hdlc]="packets hdlc"
  [protocols]="packets protocols"
  [view]="packets hdlc protocols view"
  [tools]="packets hdlc protocols view tools"
)
for folder in "${!allowed[@]}"; do
  [[ -d $source_dir/src/$folder ]] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -E 's/.*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"${rest#*:}")
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      fail "${file#"$source_dir"/}:$line: src/$folder includes src/$target, which builds on it"
    fi
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' \
             --include='*.h' --include='*.cpp' "$source_dir/src/$folder")
done

if [[ ! -x $cli ]]; then
  fail "$cli is not built"
elif readelf -d "$cli" | grep -q 'NEEDED.*libQt'; then
  fail "pakscope-cli links Qt: $(readelf -d "$cli" | grep -o 'libQt[^]]*' | tr '\n' ' ')"
fi

if ((failures)); then
  echo "$failures layer violation(s)"
  exit 1
fi
echo "Layers intact: no Qt outside src/gui/, engine folders include downwards only, pakscope-cli links no Qt"
