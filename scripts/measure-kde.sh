#!/usr/bin/env bash
# Measures FocusTrail on KDE Plasma (Wayland) in a real run: a headless KWin of its own (run
# as nobody with QPainter compositing, as the tests run it), two GTK windows, FocusTrail
# granted KWin's window list by the desktop entry the parent installs (ROUTE window-list), or
# without it, so that FocusTrail loads its KWin script (ROUTE script); titles wanted.
#   1. push latency: KWin is told to activate the other window, 40 times, by a one-shot
#      script run over its D-Bus interface; the time from the run call's reply (KWin has
#      activated the window by then) to FocusTrail's line on its pipe, and from the call
#      sent (KWin's own work included);
#   2. the steady 1 Hz poll: CPU per second from /proc/<pid>/schedstat, resident memory.
#
#   scripts/measure-kde.sh [SECONDS] [BUILD_DIR] [ROUTE]
#   (default 20 s for the poll phase, build/release for the agent, the window-list route)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build_dir=${2:-build/release}
route=${3:-window-list}
case $route in window-list | script) ;; *) echo "ROUTE is window-list or script" >&2; exit 2 ;; esac
agent_dir=$build_dir/FocusTrail
[ -x "$agent_dir/FocusTrail" ] || { echo "missing $agent_dir/FocusTrail: build it first" >&2; exit 1; }

source scripts/measure-common.sh

rt=$work/xdg apps=$work/home/.local/share/applications
mkdir -p "$rt" "$apps" "$work/bin"
cp /usr/bin/kwin_wayland "$agent_dir/FocusTrail" "$agent_dir/FocusTrail-wayland.so" "$work/bin/"
[ "$route" = script ] || sed "s|@FOCUSTRAIL@|$work/bin/FocusTrail|" \
  FocusTrail/kde/focustrail-window-list.desktop.in >"$apps/focustrail.desktop"
chown -R 65534:65534 "$rt" "$work/home"
chmod 700 "$rt"
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --)  # $! is then the program
export XDG_RUNTIME_DIR=$rt HOME=$work/home DBUS_SESSION_BUS_ADDRESS=unix:path=$rt/bus
unset DISPLAY WAYLAND_DISPLAY XDG_DATA_HOME XDG_DATA_DIRS
"${nobody[@]}" dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" &
pids+=($!)
KWIN_COMPOSE=Q "${nobody[@]}" "$work/bin/kwin_wayland" --virtual --width 1280 --height 800 \
  --socket wayland-kde --no-lockscreen --no-global-shortcuts --no-kactivities \
  "touch $rt/ready" >"$work/kwin.log" 2>&1 &
pids+=($!)
for _ in $(seq 200); do [ -e "$rt/ready" ] && break; sleep 0.1; done
[ -e "$rt/ready" ] || { echo "KWin did not start: $(cat "$work/kwin.log")" >&2; exit 1; }
# KWin's scripting may answer on the bus only after the session's command has run.
for _ in $(seq 100); do
  "${nobody[@]}" busctl --user introspect org.kde.KWin /Scripting >/dev/null 2>&1 && break
  sleep 0.1
done
export WAYLAND_DISPLAY=wayland-kde
mkfifo -m 644 "$work/titles"
sleep infinity >"$work/titles" &  # a writer that never writes: the titles stay
pids+=($!)
for title in one two; do
  NO_AT_BRIDGE=1 "${nobody[@]}" /usr/bin/python3 tests/kde/gtk_window.py "quen.$title" "window $title" \
    "$work/titles" >"$work/$title.out" 2>/dev/null &
  pids+=($!)
done
for title in one two; do
  for _ in $(seq 200); do grep -q mapped "$work/$title.out" && break; sleep 0.1; done
done

echo "$(kwin_wayland --version 2>/dev/null || true), $(nproc) cores; $(uname -r); route $route"
PID_FILE=$work/agent.pid python3 - "$work" <<'PY' &
import os, statistics, subprocess, sys, time

work = sys.argv[1]
nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]
def call(*arguments):
    return subprocess.run(nobody + ["dbus-send", "--session", "--print-reply=literal",
                                    "--dest=org.kde.KWin"] + list(arguments),
                          capture_output=True, text=True, check=True).stdout.split()
scripts = {}
for title in ("one", "two"):
    scripts[title] = "%s/xdg/activate-%s.js" % (work, title)
    with open(scripts[title], "w") as f:
        f.write('for (const c of workspace.clientList())\n'
                '  if (c.caption === "window %s") workspace.activeClient = c;\n' % title)
    os.chmod(scripts[title], 0o644)
process = subprocess.Popen(nobody + [work + "/bin/FocusTrail", "--argTitleNeeded", "true",
                                     "--argUrlNeeded", "false", "--argForceReqPerm", "false"],
                           stdout=subprocess.PIPE)
lines = process.stdout
started = time.perf_counter()
line = lines.readline()  # both windows are mapped: this one is in front
print("first line %.1f ms after the agent was started" % ((time.perf_counter() - started) * 1000))
front = "one" if b"window one" in line else "two"
latencies, round_trips = [], []
for i in range(40):
    title = "two" if front == "one" else "one"
    front = title
    name = "measure-%d" % i
    script = call("/Scripting", "org.kde.kwin.Scripting.loadScript", "string:" + scripts[title],
                  "string:" + name)[1]
    sent = time.perf_counter()
    call("/" + script, "org.kde.kwin.Script.run")
    replied = time.perf_counter()
    line = lines.readline()
    arrived = time.perf_counter()
    call("/Scripting", "org.kde.kwin.Scripting.unloadScript", "string:" + name)
    if ("window " + title).encode() not in line: sys.exit("unexpected line: %r" % line)
    latencies.append((arrived - replied) * 1000)
    round_trips.append((arrived - sent) * 1000)
def summary(values):
    values.sort()
    return "median %.3f ms, p90 %.3f ms, max %.3f ms" % (
        statistics.median(values), values[int(len(values) * 0.9)], values[-1])
print("push latency over %d switches, from KWin's reply to the line: %s"
      % (len(latencies), summary(latencies)))
print("  from the activation sent (KWin's own work and D-Bus included): %s" % summary(round_trips))
with open(os.environ["PID_FILE"], "w") as f: f.write(str(process.pid))
sys.stdout.flush()
process.wait()
PY
python_pid=$!
pids+=($python_pid)
until [ -s "$work/agent.pid" ]; do sleep 0.1; kill -0 "$python_pid" || exit 1; done
agent_pid=$(cat "$work/agent.pid")
start=$(cut -d' ' -f1 "/proc/$agent_pid/schedstat")
sleep "$seconds"
end=$(cut -d' ' -f1 "/proc/$agent_pid/schedstat")
echo "steady poll over ${seconds} s: $(awk -v d=$((end - start)) -v s="$seconds" \
  'BEGIN { printf "%.3f ms CPU per second", d / 1e6 / s }')"
echo "resident memory: $(awk '$1 == "VmRSS:" { print $2 " kB" }' "/proc/$agent_pid/status")"
