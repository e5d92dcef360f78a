#!/usr/bin/env bash
# Installs FocusTrail's GNOME Shell extension for the current user and enables it: what a
# parent application's installer runs (as the user, in the user's session) before FocusTrail
# is first started on GNOME (Wayland). The agent itself writes no file.
#   - the files go to $XDG_DATA_HOME/gnome-shell/extensions/focustrail@quen.dev
#     (~/.local/share/... by default), from platform/gnome-shell/42 for GNOME 42 to 44 and from
#     platform/gnome-shell/45 for GNOME 45 and later, chosen by `gnome-shell --version`;
#   - enabled through the Shell's D-Bus EnableExtension (what `gnome-extensions enable` asks)
#     when the Shell already knows the extension, else in the setting the Shell reads at start
#     (org.gnome.shell enabled-extensions; disabled-extensions no longer names it).
# An extension installed while the Shell runs is loaded only by the next Shell: on Wayland,
# after the user logs out and in again. Until then FocusTrail reports
# E_SHELL_EXTENSION_MISSING.
#
#   scripts/install-gnome-extension.sh [--from DIR]
#   (--from: install the extension in DIR instead, e.g. a test copy; no version check)
set -euo pipefail
uuid=focustrail@quen.dev
here=$(cd "$(dirname "$0")/.." && pwd)

source=""
if [ "${1:-}" = "--from" ]; then
  source=${2:?--from needs a directory}
else
  version=$(gnome-shell --version 2>/dev/null | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')
  [ -n "$version" ] || { echo "gnome-shell is not installed" >&2; exit 1; }
  if [ "$version" -lt 42 ]; then
    echo "GNOME Shell $version is older than 42, which this extension needs" >&2
    exit 1
  elif [ "$version" -le 44 ]; then
    source=$here/platform/gnome-shell/42
  else
    source=$here/platform/gnome-shell/45
  fi
fi

target=${XDG_DATA_HOME:-$HOME/.local/share}/gnome-shell/extensions/$uuid
mkdir -p "$target"
install -m 644 "$source/extension.js" "$source/metadata.json" "$target/"

# The Shell enables an extension it already knows at once; one it has not loaded yet only
# through the setting, read at its next start. (gnome-extensions itself goes through the
# Extensions application's D-Bus service, which a minimal installation may lack.)
shell_extensions() {
  gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method "org.gnome.Shell.Extensions.$1" "$uuid" 2>/dev/null
}
if shell_extensions GetExtensionInfo | grep -q "'uuid'"; then
  shell_extensions EnableExtension >/dev/null
else
  # GVariant string lists: "['a', 'b']", or "@as []" when empty.
  names() { gsettings get org.gnome.shell "$1" | tr -d "[]',@" | tr ' ' '\n' | sed '/^as$/d;/^$/d'; }
  list() { local IFS=,; echo "[$*]"; }
  enabled=() disabled=()
  while read -r name; do [ "$name" = "$uuid" ] || enabled+=("'$name'"); done < <(names enabled-extensions)
  while read -r name; do [ "$name" = "$uuid" ] || disabled+=("'$name'"); done < <(names disabled-extensions)
  gsettings set org.gnome.shell enabled-extensions "$(list "${enabled[@]}" "'$uuid'")"
  gsettings set org.gnome.shell disabled-extensions "$(list "${disabled[@]}")"
  if pgrep -u "$(id -u)" -x gnome-shell >/dev/null 2>&1; then
    echo "FocusTrail's GNOME Shell extension is installed; it is loaded at the next login" \
      "(log out and in again)."
  fi
fi
if [ "$(gsettings get org.gnome.shell disable-user-extensions 2>/dev/null)" = true ]; then
  echo "Note: user extensions are switched off (org.gnome.shell disable-user-extensions);" \
    "FocusTrail reports E_SHELL_EXTENSION_DISABLED until they are switched on."
fi
