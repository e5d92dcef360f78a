#!/usr/bin/env bash
# Measures what the browser URL costs on Linux, with Firefox ESR in front on a headless X
# session (Xvfb, openbox), a session bus of the script's own and accessibility switched on
# there only (never on the user's desktop), the browser without network reading a local page:
#   1. FocusTrail at its one-second poll with the URL feature on, and again with it off:
#      CPU time per second of wall time, resident memory (VmRSS) and its peak (VmHWM);
#   2. bench/url_poll_bench: one steady URL poll against the browser, and its bus calls.
#
#   scripts/measure-url.sh [SECONDS] [BUILD_DIR]   (default 10 s per phase, build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
build_dir=${2:-build/release}
focus_trail=$build_dir/FocusTrail/FocusTrail
bench=$build_dir/bench/url_poll_bench
for program in "$focus_trail" "$bench"; do
  [ -x "$program" ] || { echo "missing $program: build it first (cmake --build --preset release)" >&2; exit 1; }
done

work=$(mktemp -d)
source scripts/headless-session.sh
trap 'headless_stop; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

cpu_nanoseconds() { cut -d' ' -f1 "/proc/$1/schedstat"; }
memory_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }
# Waits up to $2 seconds for a line matching $1 in the file $3.
wait_for_line() {
  local tries=$(($2 * 10))
  until grep -q -- "$1" "$3" 2>/dev/null; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { echo "no line matching $1 in $3" >&2; return 1; }
    sleep 0.1
  done
}
# Measures process $2 over the next $seconds seconds and prints one row labelled $1.
measure() {
  local label=$1 pid=$2 ns0 start ns1 end
  ns0=$(cpu_nanoseconds "$pid"); start=$(date +%s.%N)
  sleep "$seconds"
  ns1=$(cpu_nanoseconds "$pid"); end=$(date +%s.%N)
  awk -v label="$label" -v ns=$((ns1 - ns0)) -v start="$start" -v end="$end" \
    -v rss="$(memory_kb "$pid" VmRSS)" -v hwm="$(memory_kb "$pid" VmHWM)" 'BEGIN {
      printf "%-34s %8.3f %7.2f %7.2f\n", label, ns / 1e6 / (end - start), rss / 1024, hwm / 1024 }'
}

headless_start
mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config \
  XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache
dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$work/bus"
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p "$work/bus")
headless_track "$(sed -n 2p "$work/bus")"
# at-spi2-core's bus launcher starts through D-Bus activation on this call.
dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
  org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
  variant:boolean:true >/dev/null

echo "<html><head><title>alpha</title></head><body>alpha</body></html>" >"$work/alpha.html"
printf '%s\n' 'user_pref("datareporting.policy.dataSubmissionEnabled", false);' \
  'user_pref("app.update.enabled", false);' >"$work/user.js"
unshare -n firefox-esr --no-remote --profile "$work" "file://$work/alpha.html" >/dev/null 2>&1 &
browser_pid=$!
headless_track "$browser_pid"

"$focus_trail" --argTitleNeeded true --argUrlNeeded true --argForceReqPerm false \
  >"$work/focus-url.out" &
focus_url=$!
headless_track "$focus_url"
wait_for_line "\"winUrl\":\"file://$work/alpha.html\"" 60 "$work/focus-url.out"
"$focus_trail" --argTitleNeeded true --argUrlNeeded false --argForceReqPerm false \
  >"$work/focus-off.out" &
focus_off=$!
headless_track "$focus_off"
wait_for_line '"appIdentifier":"firefox-esr"' 10 "$work/focus-off.out"
sleep 2  # past the launch of the second agent

echo "display $DISPLAY, ${seconds} s per phase, $(nproc) cores; $(firefox-esr --version 2>/dev/null)"
printf "%-34s %8s %7s %7s\n" "phase (Firefox ESR in front)" "CPU ms/s" "RSS MB" "peak MB"
measure "FocusTrail, 1 Hz poll, URL on" "$focus_url" >"$work/url.row" &
measuring=$!
measure "FocusTrail, 1 Hz poll, URL off" "$focus_off" >"$work/off.row"
wait "$measuring"
cat "$work/url.row" "$work/off.row"

title=$(xdotool getactivewindow getwindowname)
QUEN_BROWSER_PID=$browser_pid QUEN_BROWSER_TITLE=$title "$bench" --benchmark_min_time=2
kill -0 "$focus_url" "$focus_off" || { echo "an agent ended during the measurement" >&2; exit 1; }
