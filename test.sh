#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and sanitizers, runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test

cmake --preset test
cmake --build --preset test
status=0
ctest --preset test -j2 || status=$?

# AddressSanitizer cannot run with a lowered address-space limit, so the tests
# of one skip above; a build without sanitizers runs them. A test that skips
# as root (a file root can always read) runs there as an ordinary user.
plain_tests='^CliMemory\.|^MemoryBudget\.LoweredAddressLimit|^gui\.memory_test$'
cmake --preset plain >/dev/null
cmake --build --preset plain --target pakscope-cli pakscope_tests_cli pakscope_tests_packets \
  pakscope_tests_protocols pakscope_gui_memory_test
ctest --test-dir build/plain -j2 --output-on-failure --no-tests=error -R "$plain_tests" ||
  status=$?
if [[ $(id -u) -eq 0 ]] && id nobody >/dev/null 2>&1; then
  as_nobody=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
  loader_tests=$PWD/build/plain/tests/pakscope_tests_protocols
  # A clone in a folder only root may enter cannot be run as nobody: say so.
  if "${as_nobody[@]}" test -x "$loader_tests"; then
    "${as_nobody[@]}" "$loader_tests" \
      --gtest_filter='Loader.UnreadableFilesArePassedOverSilently' || status=$?
  else
    echo "Loader.UnreadableFilesArePassedOverSilently not run as nobody: $PWD is closed to that user."
  fi
fi

# The fuzz targets run for a short while when clang's fuzzer runtime is present.
if [[ $status -eq 0 ]] && scripts/have-fuzzer.sh; then
  scripts/run-fuzzers.sh "${PAKSCOPE_FUZZ_SECONDS:-15}" || status=$?
else
  [[ $status -eq 0 ]] && echo "Fuzz targets skipped: clang's libFuzzer runtime is not installed."
fi
exit $status
