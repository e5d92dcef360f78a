# What the measuring scripts share; sourced, never run. A private work directory ($work, mode
# 755 so that processes run as nobody reach what is theirs in it), removed at exit together
# with every process listed in `pids` (the last started stopped first; one that lingers in its
# shutdown, as KWin may, killed after 2 s); the readings of /proc; a headless sway.

work=$(mktemp -d)
chmod 755 "$work"
pids=()
measure_cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap measure_cleanup EXIT
trap 'exit 130' INT TERM

cpu_nanoseconds() { cut -d' ' -f1 "/proc/$1/schedstat"; }
memory_kb() { awk -v key="$2:" '$1 == key { print $2 }' "/proc/$1/status"; }

# start_sway [CONFIG_LINE]: a headless sway 1.7 of its own, run as nobody, with its runtime
# directory and home in $work (the tests' set-up); ready once its IPC answers and, when the
# configuration line writes $XDG_RUNTIME_DIR/display (XWayland's display), once that is there.
# Sets `socket` to its IPC socket.
start_sway() {
  mkdir -p "$work/xdg" "$work/home"
  chown 65534:65534 "$work/xdg" "$work/home"
  chmod 700 "$work/xdg"
  printf '%s\n' "${1:-}" >"$work/sway.conf"
  chmod 644 "$work/sway.conf"
  env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$work/xdg" HOME="$work/home" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    setpriv --reuid=65534 --regid=65534 --clear-groups -- sway -c "$work/sway.conf" \
    >"$work/sway.log" 2>&1 &
  pids+=($!)
  socket=""
  for _ in $(seq 150); do
    socket=$(ls "$work"/xdg/sway-ipc.*.sock 2>/dev/null || true)
    if [ -n "$socket" ] && swaymsg -s "$socket" -t get_version >/dev/null 2>&1; then
      [[ "${1:-}" != *display* ]] || [ -s "$work/xdg/display" ] && return 0
    fi
    sleep 0.1
  done
  echo "sway did not start: $(cat "$work/sway.log")" >&2
  exit 1
}
