#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and sanitizers, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test

cmake --preset test
cmake --build --preset test
status=0
ctest --preset test -j2 || status=$?

# The fuzz targets run for a short while when clang's fuzzer runtime is present.
if [[ $status -eq 0 ]] && scripts/have-fuzzer.sh; then
  scripts/run-fuzzers.sh "${PAKSCOPE_FUZZ_SECONDS:-15}" || status=$?
else
  [[ $status -eq 0 ]] && echo "Fuzz targets skipped: clang's libFuzzer runtime is not installed."
fi
exit $status
