#!/usr/bin/env bash
# The whole test suite, from a fresh machine: installs what it needs, builds with warnings
# as errors, runs every test (the end-to-end ones, on X11, on Wayland (sway, KWin, GNOME) and
# against real browsers, three times in a row, so that a flaky one fails here instead of
# landing; the Windows agents cross-built and run under Wine), runs them all once more under
# AddressSanitizer and UndefinedBehaviorSanitizer, and runs each fuzz target for a bounded
# time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

# ctest with a preset; when a test fails, the failure messages of that run are printed once
# more at the end, so that a log cut to its last lines still tells what failed.
run_tests() {
  local preset=$1
  shift
  ctest --preset "$preset" -j "$jobs" "$@" && return 0
  echo "== failures"
  grep -h -A6 -E "Failure|Timeout" "build/$preset/Testing/Temporary/LastTest.log" | tail -n 60
  return 1
}

echo "== build and test (dev)"
cmake --preset dev -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset dev -j "$jobs"
run_tests dev -LE "e2e|wayland|browser|kde|gnome"
run_tests dev -L e2e --repeat until-fail:3
run_tests dev -L wayland --repeat until-fail:3
run_tests dev -L browser --repeat until-fail:3
run_tests dev -L kde --repeat until-fail:3
run_tests dev -L gnome --repeat until-fail:3

echo "== Windows: cross-built with mingw-w64, run under Wine"
scripts/test-windows.sh

echo "== build and test under ASan and UBSan"
cmake --preset sanitize -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset sanitize -j "$jobs"
run_tests sanitize

echo "== fuzz smoke runs"
cmake --preset fuzz -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset fuzz -j "$jobs" --target fuzz_flag_value fuzz_json_writer
scripts/run-fuzzers.sh build/fuzz "${FUZZ_SECONDS:-15}"

echo "== macOS compile check and static analysis"
scripts/check-macos.sh --analyze
