# Sourced by the demo and the measurement: a headless X session of the script's own.
#   headless_start   starts Xvfb on a free display (it picks one: -displayfd) and openbox,
#                    exports DISPLAY, and returns once openbox manages new windows
#   headless_track PID   has headless_stop end PID too
#   headless_stop    ends everything started here, the X server last
# Needs bash, Xvfb, openbox, xprop and xmessage.

HEADLESS_PIDS=()
HEADLESS_DIR=""

headless_track() { HEADLESS_PIDS+=("$1"); }

headless_stop() {
  local index
  for ((index = ${#HEADLESS_PIDS[@]} - 1; index >= 0; index--)); do
    kill "${HEADLESS_PIDS[index]}" 2>/dev/null || true
  done
  for ((index = ${#HEADLESS_PIDS[@]} - 1; index >= 0; index--)); do
    wait "${HEADLESS_PIDS[index]}" 2>/dev/null || true
  done
  HEADLESS_PIDS=()
  [ -n "$HEADLESS_DIR" ] && rm -rf "$HEADLESS_DIR"
  HEADLESS_DIR=""
}

# Waits up to $2 tenths of a second for the command $1 to succeed.
headless_wait_for() {
  local tries=$2
  until eval "$1" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

headless_start() {
  HEADLESS_DIR=$(mktemp -d)
  mkfifo "$HEADLESS_DIR/display"
  Xvfb -screen 0 1280x800x24 -nolisten tcp -noreset -displayfd 3 \
    3>"$HEADLESS_DIR/display" >/dev/null 2>&1 &
  local server=$!
  local number=""
  read -r -t 10 number <"$HEADLESS_DIR/display" || true
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; kill "$server" 2>/dev/null; return 1; }
  export DISPLAY=":$number"
  HEADLESS_PIDS=("$server")

  openbox --sm-disable >/dev/null 2>&1 &
  headless_track $!
  headless_wait_for "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" 100 ||
    { echo "openbox did not start" >&2; return 1; }
  # openbox may miss windows mapped right after it starts: wait until it manages one.
  xmessage -name headless-probe -geometry +0+0 probe >/dev/null 2>&1 &
  local probe=$!
  headless_wait_for "xprop -root _NET_CLIENT_LIST | grep -q 'window id # 0x'" 100 || true
  kill "$probe" 2>/dev/null || true
  wait "$probe" 2>/dev/null || true
}

# The id of a window whose title is exactly $1 (waits until there is one).
headless_window_named() {
  local pattern
  pattern=$(printf '%s' "$1" | sed 's/[][\\.*^$()+?{}|]/\\&/g')
  xdotool search --sync --name "^$pattern\$" 2>/dev/null | head -n 1
}
