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

echo "== build and test (dev)"
cmake --preset dev -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs" -LE "e2e|wayland|browser|kde|gnome"
ctest --preset dev -j "$jobs" -L e2e --repeat until-fail:3
ctest --preset dev -j "$jobs" -L wayland --repeat until-fail:3
ctest --preset dev -j "$jobs" -L browser --repeat until-fail:3
ctest --preset dev -j "$jobs" -L kde --repeat until-fail:3
ctest --preset dev -j "$jobs" -L gnome --repeat until-fail:3

echo "== Windows: cross-built with mingw-w64, run under Wine"
scripts/test-windows.sh

echo "== build and test under ASan and UBSan"
cmake --preset sanitize -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs"

echo "== fuzz smoke runs"
cmake --preset fuzz -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset fuzz -j "$jobs" --target fuzz_flag_value fuzz_json_writer
scripts/run-fuzzers.sh build/fuzz "${FUZZ_SECONDS:-15}"

echo "== macOS compile check and static analysis"
scripts/check-macos.sh --analyze
