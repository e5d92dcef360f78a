#!/usr/bin/env bash
# The main job: builds both agents (release preset) and runs them.
# - With DISPLAY set: runs FocusTrail and InputTrail against that X session and shows
#   their JSON lines, each prefixed with the agent's name, until Ctrl-C.
# - Without a display: runs scripts/demo.sh, which brings its own headless session.
#
#   scripts/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target FocusTrail InputTrail

if [ -z "${DISPLAY:-}" ]; then
  echo "no DISPLAY: running the demo on a headless X session"
  exec scripts/demo.sh build/release
fi

echo "running both agents on $DISPLAY; Ctrl-C stops them"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap stop EXIT
trap 'exit 130' INT TERM
build/release/FocusTrail/FocusTrail --argTitleNeeded true --argUrlNeeded true \
  --argForceReqPerm false > >(sed -u 's/^/FocusTrail  /') &
pids+=($!)
build/release/InputTrail/InputTrail --argKeysNeeded true --argForceReqPerm false \
  > >(sed -u 's/^/InputTrail  /') &
pids+=($!)
# An agent ends on its own only when the X server goes away; then stop the other one too.
status=0
wait -n "${pids[@]}" || status=$?
exit "$status"
