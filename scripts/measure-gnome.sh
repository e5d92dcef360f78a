#!/usr/bin/env bash
# Measures FocusTrail on GNOME (Wayland) in a real run: a headless GNOME Shell of its own
# (scripts/gnome-session.sh, as the tests run it) with the project's extension enabled before
# it starts (its test copy, which adds the activation method), two foot windows, titles wanted.
#   1. the time to the first line (subscribed and asked), then the push latency: the other window is activated 40 times through the extension's test
#      method, which answers the Shell's monotonic clock just before it switched; the time
#      from then to FocusTrail's line on its pipe (the Shell's own switching included);
#   2. the steady 1 Hz poll: CPU per second from /proc/<pid>/schedstat, resident memory, and
#      the method calls FocusTrail sends meanwhile (a bus monitor; expected: none).
#
#   scripts/measure-gnome.sh [SECONDS] [BUILD_DIR]
#   (default 20 s for the poll phase, build/release for the agent)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build_dir=${2:-build/release}
agent_dir=$build_dir/FocusTrail
[ -x "$agent_dir/FocusTrail" ] || { echo "missing $agent_dir/FocusTrail: build it first" >&2; exit 1; }

source scripts/measure-common.sh

rt=$work/session/xdg extension=$work/extension
mkdir -p "$work/bin" "$extension"
cp "$agent_dir/FocusTrail" "$agent_dir/FocusTrail-wayland.so" "$work/bin/"
# The test copy: the shipped GNOME 42-44 source with the test method where its markers are.
python3 - platform/gnome-shell/42 tests/gnome "$extension" <<'PY'
import shutil, sys
source, tests, target = sys.argv[1:]
text = open(source + "/extension.js").read()
text = text.replace("    // test methods\n", open(tests + "/activate_for_test.js").read())
text = text.replace("<!-- test methods -->", open(tests + "/activate_for_test.xml").read().strip())
open(target + "/extension.js", "w").write(text)
shutil.copy(source + "/metadata.json", target)
PY
mkfifo "$work/session.out"
scripts/gnome-session.sh "$work/session" "$extension" >"$work/session.out" &
pids+=($!)
read -r ready display _ <"$work/session.out"
[ "$ready" = ready ] || { echo "GNOME Shell did not start" >&2; exit 1; }
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --)  # $! is then the program
export XDG_RUNTIME_DIR=$rt HOME=$work/session/home DBUS_SESSION_BUS_ADDRESS=unix:path=$rt/bus \
  WAYLAND_DISPLAY=wayland-gnome XDG_CURRENT_DESKTOP=GNOME
unset DISPLAY XDG_DATA_HOME XDG_DATA_DIRS XDG_CONFIG_HOME
shell_call() {
  "${nobody[@]}" gdbus call --session --dest org.gnome.Shell "$@" 2>/dev/null
}
for title in one two; do
  "${nobody[@]}" foot --config=/dev/null --app-id="quen.$title" --title="window $title" \
    sleep infinity >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    shell_call --object-path /org/quen/FocusTrail --method org.quen.FocusTrail1.ActivateForTest \
      "window $title" | grep -q true && break
    sleep 0.1
  done
done

echo "$(gnome-shell --version), $(nproc) cores; $(uname -r)"
PID_FILE=$rt/agent.pid "${nobody[@]}" /usr/bin/python3 - "$work" <<'PY' &
import os, re, statistics, subprocess, sys, time

work = sys.argv[1]
def activate(title):
    reply = subprocess.run(["gdbus", "call", "--session", "--dest", "org.gnome.Shell",
                            "--object-path", "/org/quen/FocusTrail", "--method",
                            "org.quen.FocusTrail1.ActivateForTest", title],
                           capture_output=True, text=True, check=True).stdout
    found, switched = re.match(r"\((\w+), (?:int64 )?(-?\d+)\)", reply).groups()
    if found != "true": sys.exit("no window " + title)
    return int(switched) / 1000.0  # ms, CLOCK_MONOTONIC as time.monotonic
started = time.monotonic()
process = subprocess.Popen([work + "/bin/FocusTrail", "--argTitleNeeded", "true",
                            "--argUrlNeeded", "false", "--argForceReqPerm", "false"],
                           stdout=subprocess.PIPE)
lines = process.stdout
line = lines.readline()  # the window in front as the agent starts
print("first line after the agent is started: %.1f ms" % ((time.monotonic() - started) * 1000))
front = "one" if b"window one" in line else "two"
latencies = []
for i in range(40):
    title = "two" if front == "one" else "one"
    front = title
    switched = activate("window " + title)
    line = lines.readline()
    arrived = time.monotonic() * 1000.0
    if ("window " + title).encode() not in line: sys.exit("unexpected line: %r" % line)
    latencies.append(arrived - switched)
latencies.sort()
print("push latency over %d switches, from the Shell's switch to the line: median %.3f ms, "
      "p90 %.3f ms, max %.3f ms" % (len(latencies), statistics.median(latencies),
                                    latencies[int(len(latencies) * 0.9)], latencies[-1]))
with open(os.environ["PID_FILE"], "w") as f: f.write(str(process.pid))
sys.stdout.flush()
process.wait()
PY
python_pid=$!
pids+=($python_pid)
until [ -s "$rt/agent.pid" ]; do sleep 0.1; kill -0 "$python_pid" || exit 1; done
agent_pid=$(cat "$rt/agent.pid")
connection=$("${nobody[@]}" busctl --user list --no-legend --unique |
  awk -v pid="$agent_pid" '$2 == pid { print $1; exit }')
[ -n "$connection" ] || { echo "FocusTrail is not on the bus" >&2; exit 1; }
"${nobody[@]}" dbus-monitor --session "sender='$connection'" "destination='$connection'" \
  >"$work/monitor.log" 2>&1 &
pids+=($!)
sleep 1  # the monitor's own start
start=$(cut -d' ' -f1 "/proc/$agent_pid/schedstat")
sleep "$seconds"
end=$(cut -d' ' -f1 "/proc/$agent_pid/schedstat")
echo "steady poll over ${seconds} s: $(awk -v d=$((end - start)) -v s="$seconds" \
  'BEGIN { printf "%.3f ms CPU per second", d / 1e6 / s }')"
echo "  method calls FocusTrail ($connection) sent meanwhile:" \
  "$(grep -c "^method call .*sender=$connection " "$work/monitor.log" || true);" \
  "messages it received (the Shell's pushes):" \
  "$(grep -cE "^(signal|method return|error) .*destination=$connection " "$work/monitor.log" || true)"
echo "resident memory: $(awk '$1 == "VmRSS:" { print $2 " kB" }' "/proc/$agent_pid/status")"
