#!/usr/bin/env bash
# Measures InputTrail in a Wayland session: a headless sway 1.7 of its own (run as nobody, as
# the tests run it) with XWayland, InputTrail (keys wanted) on XWayland's display with sway's
# idle notifications (org_kde_kwin_idle, a 1 s timeout):
#   1. idle: CPU per second from /proc/<pid>/schedstat, resident memory;
#   2. sway's pointer moved once every 2 s (each move a "resumed", then an "idle"): the same;
#   3. GNOME: a headless GNOME Shell of its own (scripts/gnome-session.sh, as the GNOME tests
#      run it), InputTrail on its XWayland with Mutter's IdleMonitor: idle, as in 1;
#   4. InputTrail on X11 (Xvfb), no Wayland session: resident memory, and that neither
#      libwayland-client nor libffi is mapped there (they come with InputTrail-wayland.so).
#
#   scripts/measure-input-wayland.sh [SECONDS] [BUILD_DIR]
#   (default 30 s per phase, build/release for the agent)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build_dir=${2:-build/release}
input_trail=$build_dir/InputTrail/InputTrail
[ -x "$input_trail" ] || { echo "missing $input_trail: build it first" >&2; exit 1; }

source scripts/measure-common.sh
# XWayland's display, written once root's X clients may use it.
start_sway "exec sh -c 'xhost +si:localuser:root >/dev/null && echo \$DISPLAY > \$XDG_RUNTIME_DIR/display'"

# measure NAME PID [COMMAND run every 2 s meanwhile]
measure() {
  local ns0 ns1 start end
  ns0=$(cpu_nanoseconds "$2"); start=$(date +%s.%N)
  if [ -n "${3:-}" ]; then
    for _ in $(seq $((seconds / 2))); do eval "$3"; sleep 2; done
  else
    sleep "$seconds"
  fi
  ns1=$(cpu_nanoseconds "$2"); end=$(date +%s.%N)
  awk -v name="$1" -v ns=$((ns1 - ns0)) -v start="$start" -v end="$end" \
    -v rss="$(memory_kb "$2" VmRSS)" \
    'BEGIN { printf "%s over %.0f s: %.3f ms CPU per second, VmRSS %.2f MB\n",
             name, end - start, ns / 1e6 / (end - start), rss / 1024 }'
}

echo "sway $(swaymsg -s "$socket" -t get_version -r | sed -n 's/.*"human_readable": "\([^"]*\)".*/\1/p'), $(nproc) cores; $(uname -r)"
env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$work/xdg" WAYLAND_DISPLAY=wayland-1 \
  DISPLAY="$(cat "$work/xdg/display")" \
  "$input_trail" --argKeysNeeded true --argForceReqPerm false >"$work/wayland.out" &
agent=$!
pids+=("$agent")
until [ -s "$work/wayland.out" ]; do sleep 0.1; done
sleep 2  # past the watch's first "idle"
measure "Wayland session, idle" "$agent"
measure "Wayland session, sway's pointer moved every 2 s" "$agent" \
  "swaymsg -s '$socket' seat - cursor move 1 1 >/dev/null"
echo "  lines written: $(wc -l <"$work/wayland.out"), of them with E_INPUT_NOT_VISIBLE: $(grep -c E_INPUT_NOT_VISIBLE "$work/wayland.out")"

# GNOME: the Shell as the GNOME tests start it (no extension: InputTrail needs none).
mkfifo "$work/gnome.ready"
scripts/gnome-session.sh "$work/gnome" >"$work/gnome.ready" &
pids+=($!)
read -r ready x_display x_authority _ <"$work/gnome.ready"
[ "$ready" = ready ] || { echo "GNOME Shell did not start" >&2; exit 1; }
env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$work/gnome/xdg" HOME="$work/gnome/home" \
  XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME WAYLAND_DISPLAY=wayland-gnome \
  DISPLAY="$x_display" XAUTHORITY="$x_authority" \
  DBUS_SESSION_BUS_ADDRESS="unix:path=$work/gnome/xdg/bus" \
  setpriv --reuid=65534 --regid=65534 --clear-groups -- \
  "$input_trail" --argKeysNeeded true --argForceReqPerm false >"$work/gnome.out" &
gnome_agent=$!
pids+=("$gnome_agent")
until [ -s "$work/gnome.out" ]; do sleep 0.1; done
sleep 2
echo "GNOME Shell $(gnome-shell --version | sed 's/GNOME Shell //')"
measure "GNOME session, idle" "$gnome_agent"
grep -q libsystemd "/proc/$gnome_agent/maps" ||
  echo "  (libsystemd not loaded: InputTrail found no IdleMonitor on the bus)"

source scripts/headless-session.sh
headless_start
pids+=("${HEADLESS_PIDS[@]}")
env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" \
  "$input_trail" --argKeysNeeded true --argForceReqPerm false >/dev/null &
x11_pid=$!
pids+=("$x11_pid")
sleep 3
wayland_kb=$(awk '/^[0-9a-f]+-[0-9a-f]+ / { lib = ($6 ~ /libwayland|libffi/) } lib && /^Rss:/ { sum += $2 } END { print sum + 0 }' "/proc/$x11_pid/smaps")
awk -v rss="$(memory_kb "$x11_pid" VmRSS)" -v wl="$wayland_kb" \
  'BEGIN { printf "X11 session: VmRSS %.2f MB, of it libwayland-client and libffi %.2f MB\n", rss / 1024, wl / 1024 }'
