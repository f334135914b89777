#!/usr/bin/env bash
# Exit 0 when clang can link a libFuzzer program here.
command -v clang++ >/dev/null 2>&1 || exit 1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat >"$dir/f.cpp" <<'CPP'
#include <cstdint>
#include <cstddef>
extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
CPP
clang++ -fsanitize=fuzzer "$dir/f.cpp" -o "$dir/f" >/dev/null 2>&1
