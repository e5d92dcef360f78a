#!/usr/bin/env bash
# Cross-builds the Windows agents and tests (mingw-w64, preset "windows") and runs them under
# Wine on a headless X session of the script's own (Xvfb + openbox): the portable unit tests,
# the Win32 translation rules, the message loop and the end-to-end tests of the real agents
# (the session: scripts/wine-session.sh). Every test writes to a file, never to a pipe this
# script waits on.
# Needs: g++-mingw-w64-x86-64-posix, mingw-w64-tools, wine, wine64, xvfb, openbox.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/windows

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake --preset windows -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "${launcher[@]}" >/dev/null
tests=(core_tests focustrail_tests inputtrail_tests win32_rules_tests windows_loop_tests windows_e2e_tests)
cmake --build "$build" --target FocusTrail InputTrail "${tests[@]}"

# The agents import system DLLs only: the C++ runtime is linked in.
for agent in FocusTrail InputTrail; do
  if x86_64-w64-mingw32-objdump -p "$build/$agent/$agent.exe" | grep 'DLL Name' |
    grep -viE 'kernel32|user32|msvcrt|dwmapi|version|oleacc|ole32|oleaut32'; then
    echo "$agent.exe imports a DLL that Windows does not ship" >&2
    exit 1
  fi
done

# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
wine_session_start "$build"

logs="$build/test-logs"
mkdir -p "$logs"
status=0
for test in "${tests[@]}"; do
  executable=$(find "$build" -name "$test.exe" -print -quit)
  started=$SECONDS
  if timeout 300 wine "$executable" >"$logs/$test.log" 2>&1 && grep -q '\[  PASSED  \]' "$logs/$test.log" &&
    ! grep -q '\[  FAILED  \]' "$logs/$test.log"; then
    echo "windows: $test passed ($((SECONDS - started)) s)"
  else
    echo "windows: $test FAILED ($((SECONDS - started)) s); log:" >&2
    tail -40 "$logs/$test.log" >&2
    status=1
  fi
done
exit $status
