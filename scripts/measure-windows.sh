#!/usr/bin/env bash
# Measures the Windows agents under Wine on a headless X session of the script's own: CPU
# (from Linux's /proc/<pid>/schedstat: Wine's GetProcessTimes moves in 10 ms steps) and
# resident memory of each agent's process while idle for $1 seconds (default 20), the
# focus agent polling once a second with titles on. These are Wine's figures, not Windows':
# every Win32 call here is a round trip to wineserver. Build first: scripts/test-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows
seconds=${1:-20}
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
wine_session_start "$build"
out=$(mktemp -d)

cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
measure() {  # name, then the command line
  local name=$1 pid=""
  shift
  wine "$@" >"$out/$name.out" 2>&1 &
  for _ in $(seq 100); do
    pid=$(pgrep -f "$name.exe" | head -1 || true)
    [ -n "$pid" ] && break
    sleep 0.1
  done
  [ -n "$pid" ] || { echo "$name did not start" >&2; return 1; }
  sleep 3  # past the start-up
  local before after
  before=$(cpu_ns "$pid")
  sleep "$seconds"
  after=$(cpu_ns "$pid")
  printf '%s: %.3f ms CPU per s idle, RSS %s kB, %s lines\n' "$name" \
    "$(echo "($after - $before) / 1000000 / $seconds" | bc -l)" \
    "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")" "$(wc -l <"$out/$name.out")"
  kill "$pid" 2>/dev/null || true
}
measure FocusTrail "$build/FocusTrail/FocusTrail.exe" --argTitleNeeded 1 --argUrlNeeded 0 --argForceReqPerm 0
measure InputTrail "$build/InputTrail/InputTrail.exe" --argKeysNeeded 1 --argForceReqPerm 0
rm -rf "$out"
