#!/usr/bin/env bash
# The demo: both agents on a headless X session of their own (Xvfb and openbox), while a
# scripted user switches between three xterm windows, renames one, moves the mouse, clicks,
# scrolls and types. Every line the agents write is shown as it comes, prefixed with the
# agent's name; the demo's own steps are marked with "--". Stops by itself after about
# 20 seconds and ends everything it started. Needs no display.
#
#   scripts/demo.sh [BUILD_DIR]     (default build/release; run.sh builds it)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/release}
focus_trail=$build_dir/FocusTrail/FocusTrail
input_trail=$build_dir/InputTrail/InputTrail
for agent in "$focus_trail" "$input_trail"; do
  [ -x "$agent" ] || { echo "missing $agent: run scripts/run.sh (or build $build_dir)" >&2; exit 1; }
done

source scripts/headless-session.sh
trap headless_stop EXIT
trap 'exit 130' INT TERM

step() { printf -- '-- %s\n' "$*"; }
pause() { sleep "${1:-1.5}"; }
# Runs a window tool with its chatter kept off the demo's output: while xdotool waits for a
# window to become active, it reports every moment that no window is (openbox clears
# _NET_ACTIVE_WINDOW during a switch), which is no failure. A tool that fails still says why.
quietly() {
  local said
  said=$("$@" 2>&1) || { printf '%s\n' "$said" >&2; return 1; }
}

step "starting a headless X session (Xvfb + openbox)"
headless_start
step "display $DISPLAY; opening three xterm windows"
open_xterm() {  # title, geometry
  xterm -T "$1" -geometry "$2" -e sh -c 'cat >/dev/null' >/dev/null 2>&1 &
  headless_track $!
}
open_xterm "Notes - plan.txt" 70x18+40+40
open_xterm "Build log" 70x18+360+220
open_xterm "Mail - inbox (3)" 70x18+680+400
notes=$(headless_window_named "Notes - plan.txt")
build=$(headless_window_named "Build log")
mail=$(headless_window_named "Mail - inbox (3)")

step "starting FocusTrail --argTitleNeeded true --argUrlNeeded true --argForceReqPerm false"
"$focus_trail" --argTitleNeeded true --argUrlNeeded true --argForceReqPerm false \
  > >(sed -u 's/^/FocusTrail  /') &
headless_track $!
step "starting InputTrail --argKeysNeeded true --argForceReqPerm false"
"$input_trail" --argKeysNeeded true --argForceReqPerm false > >(sed -u 's/^/InputTrail  /') &
headless_track $!
pause 2

step "switching to \"Notes - plan.txt\""
quietly xdotool windowactivate --sync "$notes"
pause
step "moving the mouse"
for _ in 1 2 3 4 5; do xte 'mousermove 30 12' 'usleep 20000'; done
pause
step "typing into Notes"
xte 'str hello world' 'key Return'
pause
step "switching to \"Mail - inbox (3)\" and clicking into it"
quietly xdotool windowactivate --sync "$mail"
xte 'mousemove 900 550' 'mouseclick 1'
pause
step "a mail arrives: the window's title changes"
quietly xdotool set_window --name "Mail - inbox (4)" "$mail"
pause
step "scrolling: neither a click nor a move, so no line"
xte 'mouseclick 5' 'mouseclick 5' 'mouseclick 4'
pause
step "switching to \"Build log\" and pointing into it"
quietly xdotool windowactivate --sync "$build"
xte 'mousemove 450 300'
pause
step "dragging a selection: a click, not a move"
xte 'mousedown 1' 'mousermove 40 0' 'mousermove 40 10' 'mouseup 1'
pause
step "idle: one all-false line, then nothing"
pause 2
step "done; stopping the agents and the X session"
