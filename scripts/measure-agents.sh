#!/usr/bin/env bash
# Measures what the two agents cost in a real run on a headless X session (Xvfb, openbox,
# three xterm windows, one of them active):
#   1. FocusTrail at its one-second poll (titles and URLs wanted),
#   2. InputTrail idle (keys wanted),
#   3. InputTrail under 1,000 XTEST pointer motions a second.
# For each: CPU time per second of wall time and resident memory at the end (VmRSS, split
# into anonymous memory and mapped files: shared libraries count in full).
# CPU comes from /proc/<pid>/schedstat (nanoseconds) and /proc/<pid>/stat (utime + stime,
# in clock ticks, 10 ms each: too coarse for short runs, shown for comparison).
#
#   scripts/measure-agents.sh [SECONDS] [BUILD_DIR]   (default 60 s per phase, build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build_dir=${2:-build/release}
focus_trail=$build_dir/FocusTrail/FocusTrail
input_trail=$build_dir/InputTrail/InputTrail
for agent in "$focus_trail" "$input_trail"; do
  [ -x "$agent" ] || { echo "missing $agent: build it first (cmake --build --preset release)" >&2; exit 1; }
done

work=$(mktemp -d)
source scripts/headless-session.sh
trap 'headless_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# About 1000 relative XTest motions a second for $1 seconds (xte reads its commands from
# standard input).
motion_flood() {
  yes $'mousermove 1 0\nusleep 1000' | head -n $((2 * 1000 * $1)) | xte
}

ticks_per_second=$(getconf CLK_TCK)
cpu_nanoseconds() { cut -d' ' -f1 "/proc/$1/schedstat"; }
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
memory_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

# Measures process $2 over the next $seconds seconds and prints one row labelled $1.
measure() {
  local label=$1 pid=$2
  local ns0 ticks0 start ns1 ticks1 end
  ns0=$(cpu_nanoseconds "$pid"); ticks0=$(cpu_ticks "$pid"); start=$(date +%s.%N)
  sleep "$seconds"
  ns1=$(cpu_nanoseconds "$pid"); ticks1=$(cpu_ticks "$pid"); end=$(date +%s.%N)
  awk -v label="$label" -v ns=$((ns1 - ns0)) -v ticks=$((ticks1 - ticks0)) \
    -v hz="$ticks_per_second" -v start="$start" -v end="$end" \
    -v rss="$(memory_kb "$pid" VmRSS)" -v anon="$(memory_kb "$pid" RssAnon)" \
    -v file="$(memory_kb "$pid" RssFile)" 'BEGIN {
      wall = end - start
      printf "%-28s %8.3f %10.3f %8.3f%% %7.2f %7.2f %7.2f\n", label, ns / 1e6 / wall,
             ticks * 1000 / hz / wall, ns / 1e7 / wall, rss / 1024, anon / 1024, file / 1024 }'
}

headless_start
for spec in "Notes - plan.txt:70x18+40+40" "Build log:70x18+360+220" "Mail - inbox:70x18+680+400"; do
  xterm -T "${spec%%:*}" -geometry "${spec#*:}" -e sh -c 'cat >/dev/null' >/dev/null 2>&1 &
  headless_track $!
done
xdotool windowactivate --sync "$(headless_window_named "Build log")" 2>/dev/null

"$focus_trail" --argTitleNeeded true --argUrlNeeded true --argForceReqPerm false \
  >"$work/focus.out" &
focus_pid=$!
headless_track "$focus_pid"
"$input_trail" --argKeysNeeded true --argForceReqPerm false >"$work/input.out" &
input_pid=$!
headless_track "$input_pid"
sleep 2  # past the launch and the first poll

echo "display $DISPLAY, ${seconds} s per phase, $(nproc) cores; $(uname -r)"
printf "%-28s %8s %10s %9s %7s %7s %7s\n" "phase" "CPU ms/s" "(from stat)" "of a core" \
  "RSS MB" "anon" "file"
measure "FocusTrail, 1 Hz poll" "$focus_pid" >"$work/focus.row" &
focus_measure=$!
measure "InputTrail, idle" "$input_pid" >"$work/input.row" &
wait "$focus_measure" $!
cat "$work/focus.row" "$work/input.row"
motion_flood $((seconds + 2)) &
flood=$!
sleep 1
measure "InputTrail, 1000 motions/s" "$input_pid"
wait "$flood"
sleep 2.5  # the first quiet second's line
echo "lines written: FocusTrail $(wc -l <"$work/focus.out"), InputTrail $(wc -l <"$work/input.out")"
kill -0 "$focus_pid" "$input_pid" || { echo "an agent ended during the measurement" >&2; exit 1; }
