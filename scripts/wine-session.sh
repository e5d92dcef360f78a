# Sourced by the Windows test and measurement scripts: Wine on a headless X session of the
# script's own.
#   wine_session_start BUILD   a private Wine prefix under BUILD (made once, about 10 s), Xvfb
#                              and openbox, and the Wine server started first and on its own:
#                              Wine's helpers inherit the descriptors of the first Wine process,
#                              so a parent that waits for a pipe's end would wait for them.
#                              Everything started here ends when the script exits.

# shellcheck source=scripts/headless-session.sh
source "$(dirname "${BASH_SOURCE[0]}")/headless-session.sh"

wine_session_stop() {
  wineserver -k 2>/dev/null || true
  headless_stop
}

wine_session_start() {
  export WINEPREFIX="$PWD/$1/wineprefix" WINEARCH=win64 WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8
  trap wine_session_stop EXIT
  headless_start
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >"$1/wineboot.log" 2>&1
  wineserver -p || true  # one of this prefix may run already (status 2): it serves as well
}
