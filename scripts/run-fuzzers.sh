#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR/fuzz for SECONDS each; fails on the first crash.
set -euo pipefail
build_dir=${1:?build dir}
seconds=${2:-30}
found=0
for target in "$build_dir"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  found=1
  corpus=$(mktemp -d)
  echo "fuzzing $(basename "$target") for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" 2>"$corpus.log" || {
    tail -n 40 "$corpus.log"
    exit 1
  }
  rm -rf "$corpus" "$corpus.log"
done
[ "$found" -eq 1 ] || { echo "no fuzz targets built" >&2; exit 1; }
