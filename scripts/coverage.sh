#!/usr/bin/env bash
# Product-line coverage of the Linux build: builds an instrumented tree, runs every test
# (the real agents included) and prints gcovr's summary of the product code alone.
# An agent whose parent hangs up ends itself with SIGPIPE, which writes no coverage counts:
# for this measurement only, a preloaded shim turns that signal into exit(141).
# Usage: scripts/coverage.sh [build directory]   (default build/coverage)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build/coverage}")

# What the build and the tests need, and gcovr (Debian's package) for the summary.
scripts/install-deps.sh
if ! command -v gcovr >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq gcovr >/dev/null
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUEN_BUILD_BENCHMARKS=OFF \
  -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_CXX_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$(nproc)"
find "$build" -name '*.gcda' -delete

cc -shared -fPIC -o "$build/exit_on_pipe.so" -x c - -ldl <<'SHIM'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
int raise(int sig) {
  if (sig == SIGPIPE) exit(128 + SIGPIPE);
  int (*real)(int) = (int (*)(int))dlsym(RTLD_NEXT, "raise");
  return real(sig);
}
SHIM

LD_PRELOAD="$build/exit_on_pipe.so" ctest --test-dir "$build" -j "$(nproc)" || true
gcovr -r . "$build" --filter '(core|FocusTrail|InputTrail|platform)/' \
  --exclude '.*_test\..*' --exclude '.*test_client.*' --exclude '.*_test_.*' \
  --exclude '.*test_support.*' --exclude 'platform/fake/.*' --exclude 'platform/macos/.*' \
  --exclude '(tests|bench|fuzz)/.*' --print-summary -o "$build/coverage.txt"
echo "per file: $build/coverage.txt"
