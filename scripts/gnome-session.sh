#!/usr/bin/env bash
# A headless GNOME Shell of its own, for the GNOME tests and scripts/measure-gnome.sh, never
# the user's desktop: run as nobody in DIR (DIR/xdg: the runtime directory with the session
# bus "bus" and a second, empty bus "system" as the system bus, without which GNOME 43 dies
# at start where /run/systemd/seats exists; DIR/home), with XWayland. The extension in
# EXTENSION_DIR, if given, is installed and enabled by install-gnome-extension.sh before the
# Shell starts, as a parent's installer would (one installed later loads only at the next
# Shell).
#
#   scripts/gnome-session.sh DIR [EXTENSION_DIR]
#
# Prints "ready <XWayland display> <its XAUTHORITY> <the Shell's pid>" once org.gnome.Shell
# answers (and the extension runs), then runs until the Shell ends or it is told to stop
# (TERM, INT), and ends the Shell and the buses. The Shell's Wayland display is
# "wayland-gnome"; it starts in the overview, which the first activation leaves.
set -euo pipefail
dir=$1 extension=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
rt=$dir/xdg
mkdir -p "$rt" "$dir/home"
chmod 755 "$dir"
chmod 700 "$rt"
chown -R 65534:65534 "$rt" "$dir/home"
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --)  # $! is then the program
pids=()
# Ends a process started here: asked (TERM), then, when it has not ended within 5 s, forced,
# with what it started itself (a Shell that hangs answers no TERM, nor does its child).
running() {
  local state
  state=$(ps -o stat= -p "$1") && [[ $state != Z* ]]
}
stop() {
  kill "$1" 2>/dev/null || return 0
  for _ in $(seq 50); do
    running "$1" || return 0
    sleep 0.1
  done
  pkill -KILL -P "$1" 2>/dev/null || true
  kill -KILL "$1" 2>/dev/null || true
}
cleanup() {
  trap '' TERM INT  # a stop asked for while ending (the Shell killed, say) must not cut it short
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do stop "${pids[i]}"; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 0' TERM INT

# The buses start what they activate (dconf, which keeps the settings) in this home.
export XDG_RUNTIME_DIR=$rt HOME=$dir/home DBUS_SESSION_BUS_ADDRESS=unix:path=$rt/bus \
  DBUS_SYSTEM_BUS_ADDRESS=unix:path=$rt/system NO_AT_BRIDGE=1
unset DISPLAY WAYLAND_DISPLAY XDG_DATA_HOME XDG_DATA_DIRS XDG_CONFIG_HOME
for bus in bus system; do
  "${nobody[@]}" dbus-daemon --session --nofork --nopidfile --address="unix:path=$rt/$bus" \
    2>>"$dir/bus.log" &
  pids+=($!)
done
for _ in $(seq 100); do [ -S "$rt/bus" ] && [ -S "$rt/system" ] && break; sleep 0.1; done
[ -z "$extension" ] || "${nobody[@]}" "$here/install-gnome-extension.sh" --from "$extension" >/dev/null

# Ready: the Shell has started (its log says so) and answers for the extension (which runs,
# when one was installed), and its XWayland has started. GNOME 43 starts ibus-daemon itself
# at start, through a fork that runs JavaScript in the child; now and then (about one start in
# twenty-five here) the child deadlocks on a lock another thread held, and the Shell with it,
# before it has started. Such a Shell is ended and another started, up to three times.
wanted="'state': <1"
[ -n "$extension" ] || wanted='^'
ready_within() {  # tenths of a second; the Shell is $shell, its XWayland then $xwayland
  for ((tries = $1; tries > 0; tries--)); do
    running "$shell" || return 1
    grep -q "GNOME Shell started at" "$dir/shell.log" &&
      xwayland=$(pgrep -P "$shell" -x Xwayland) &&
      "${nobody[@]}" gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Extensions.GetExtensionInfo focustrail@quen.dev 2>/dev/null |
      grep -qE "$wanted" && return 0
    sleep 0.1
  done
  return 1
}
for attempt in 1 2 3; do
  "${nobody[@]}" gnome-shell --headless --wayland --virtual-monitor 1280x800 \
    --wayland-display wayland-gnome >"$dir/shell.log" 2>&1 &
  shell=$!
  pids+=("$shell")
  ready_within 150 && break
  cat "$dir/shell.log" >&2
  stop "$shell"
  [ "$attempt" -lt 3 ] || exit 1
done
mapfile -d '' -t arguments <"/proc/$xwayland/cmdline"
auth=""
for ((i = 1; i < ${#arguments[@]}; i++)); do
  [ "${arguments[i - 1]}" = -auth ] && auth=${arguments[i]}
done
echo "ready ${arguments[1]} $auth $shell"
wait "$shell"
