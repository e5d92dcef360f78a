#!/usr/bin/env bash
# The whole test suite, from a fresh machine: installs what it needs, builds with warnings
# as errors, runs every test, runs them again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

echo "== build and test (dev)"
cmake --preset dev -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev

echo "== build and test under ASan and UBSan"
cmake --preset sanitize -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize

echo "== fuzz smoke runs"
cmake --preset fuzz -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build --preset fuzz -j "$jobs" --target fuzz_flag_value fuzz_json_writer
scripts/run-fuzzers.sh build/fuzz "${FUZZ_SECONDS:-30}"

echo "== macOS compile check"
scripts/check-macos.sh
