#!/usr/bin/env bash
# Measures FocusTrail on Wayland in a real run: a headless sway of its own (run as nobody,
# as the tests run it), two foot terminals as toplevels, FocusTrail with titles wanted.
#   1. push latency: sway is told over IPC to focus the other toplevel, 100 times; the time
#      from sway's window event (its IPC socket read by this script) to FocusTrail's line
#      on its pipe (median, 90th percentile, maximum);
#   2. the steady 1 Hz poll: CPU per second from /proc/<pid>/schedstat, resident memory;
#   3. FocusTrail on X11 (Xvfb, openbox, an xterm in front) with the URL feature off:
#      resident memory, and how much of it libwayland-client and libffi account for.
#
#   scripts/measure-wayland.sh [SECONDS] [BUILD_DIR]
#   (default 30 s for the poll phase, build/release for the agent)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build_dir=${2:-build/release}
focus_trail=$build_dir/FocusTrail/FocusTrail
[ -x "$focus_trail" ] || { echo "missing $focus_trail: build it first" >&2; exit 1; }

source scripts/measure-common.sh
start_sway

export XDG_RUNTIME_DIR=$work/xdg WAYLAND_DISPLAY=wayland-1 SWAYSOCK=$socket
unset DISPLAY
for app in quen.one quen.two; do
  HOME=$work/home XDG_CACHE_HOME=$work/cache foot --config=/dev/null --app-id="$app" \
    --title="window of $app" sleep infinity >/dev/null 2>&1 &
  pids+=($!)
done
for app in quen.one quen.two; do
  until swaymsg "[app_id=\"^$app\$\"] nop" >/dev/null 2>&1; do sleep 0.05; done
done


echo "sway $(swaymsg -t get_version -r | sed -n 's/.*"human_readable": "\([^"]*\)".*/\1/p'), $(nproc) cores; $(uname -r)"
PID_FILE=$work/agent.pid python3 - "$focus_trail" "$socket" <<'PY' &
import json, os, socket, statistics, struct, subprocess, sys, time, select

agent, path = sys.argv[1], sys.argv[2]
def connect():
    s = socket.socket(socket.AF_UNIX); s.connect(path); return s
def send(s, kind, payload):
    data = payload.encode()
    s.sendall(b"i3-ipc" + struct.pack("=II", len(data), kind) + data)
def receive(s):
    header = b""
    while len(header) < 14: header += s.recv(14 - len(header))
    length, kind = struct.unpack("=II", header[6:])
    body = b""
    while len(body) < length: body += s.recv(length - len(body))
    return kind, json.loads(body)

commands, events = connect(), connect()
# New windows take focus in an order that varies: start from a known one, so that every
# command of the loop below is a real switch (a focus command on the focused window sends
# no event).
send(commands, 0, '[app_id="^quen.two$"] focus'); receive(commands)
events.settimeout(5)
send(events, 2, '["window"]'); receive(events)
process = subprocess.Popen([agent, "--argTitleNeeded", "true", "--argUrlNeeded", "false",
                            "--argForceReqPerm", "false"], stdout=subprocess.PIPE)
lines = process.stdout
latencies, round_trips = [], []
for i in range(101):
    target = ("quen.one", "quen.two")[i % 2]
    sent = time.perf_counter()
    send(commands, 0, '[app_id="^%s$"] focus' % target); receive(commands)
    while True:
        kind, event = receive(events)
        if event.get("change") == "focus": break
    seen = time.perf_counter()
    line = lines.readline()
    arrived = time.perf_counter()
    if target.encode() not in line: sys.exit("unexpected line: %r" % line)
    if i > 0:  # the first also starts the agent
        latencies.append((arrived - seen) * 1000)
        round_trips.append((arrived - sent) * 1000)
def summary(values):
    values.sort()
    return "median %.3f ms, p90 %.3f ms, max %.3f ms" % (
        statistics.median(values), values[int(len(values) * 0.9)], values[-1])
print("push latency over %d switches, from sway's IPC event to the line: %s"
      % (len(latencies), summary(latencies)))
print("  from the focus command sent to the line (sway's own work included): %s"
      % summary(round_trips))
with open(os.environ["PID_FILE"], "w") as f: f.write(str(process.pid))
sys.stdout.flush()
process.wait()
PY
python_pid=$!
pids+=($python_pid)
until [ -s "$work/agent.pid" ]; do sleep 0.1; kill -0 "$python_pid" || exit 1; done
agent_pid=$(cat "$work/agent.pid")
pids+=("$agent_pid")
sleep 2  # past the last switch's poll
ns0=$(cpu_nanoseconds "$agent_pid"); start=$(date +%s.%N)
sleep "$seconds"
ns1=$(cpu_nanoseconds "$agent_pid"); end=$(date +%s.%N)
awk -v ns=$((ns1 - ns0)) -v start="$start" -v end="$end" -v rss="$(memory_kb "$agent_pid" VmRSS)" \
  'BEGIN { printf "steady 1 Hz poll over %.0f s: %.3f ms CPU per second, VmRSS %.2f MB\n",
           end - start, ns / 1e6 / (end - start), rss / 1024 }'

# FocusTrail on X11, URL feature off: what libwayland costs where it is not used.
source scripts/headless-session.sh
headless_start
pids+=("${HEADLESS_PIDS[@]}")
unset WAYLAND_DISPLAY SWAYSOCK
xterm -T "Notes" -e sh -c 'cat >/dev/null' >/dev/null 2>&1 &
pids+=($!)
until headless_window_named Notes >/dev/null 2>&1; do sleep 0.1; done
xdotool windowactivate --sync "$(headless_window_named Notes)" 2>/dev/null
"$focus_trail" --argTitleNeeded true --argUrlNeeded false --argForceReqPerm false >/dev/null &
x11_pid=$!
pids+=("$x11_pid")
sleep 3
wayland_kb=$(awk '/^[0-9a-f]+-[0-9a-f]+ / { lib = ($6 ~ /libwayland|libffi/) } lib && /^Rss:/ { sum += $2 } END { print sum + 0 }' "/proc/$x11_pid/smaps")
awk -v rss="$(memory_kb "$x11_pid" VmRSS)" -v wl="$wayland_kb" \
  'BEGIN { printf "X11, URL off: VmRSS %.2f MB, of it libwayland-client and libffi (not loaded on X11) %.2f MB\n", rss / 1024, wl / 1024 }'
