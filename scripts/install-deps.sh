#!/usr/bin/env bash
# Installs, from Debian's packages, everything the build, the tests and the demo use.
# Does nothing when all of it is already there.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-res0-dev libxcb-xinput-dev libxcb-xtest0-dev
  libwayland-dev libwayland-bin wayland-protocols
  # a headless X session for the end-to-end tests and the demo
  xvfb openbox xdotool xautomation x11-utils x11-xserver-utils xterm xauth
  # a headless Wayland session (sway, with XWayland; foot's windows) for the Wayland tests
  sway xwayland foot
  # KWin's window list (the protocol file the build generates its client from) and a
  # headless KWin for the KDE tests, whose windows GTK 3 draws through Python
  plasma-wayland-protocols kwin-wayland python3-gi gir1.2-gtk-3.0
  # real browsers on a private accessibility bus for the browser URL tests
  dbus at-spi2-core chromium firefox-esr libsystemd-dev
  # the Windows agents, cross-built with mingw-w64 and tested under Wine (scripts/test-windows.sh)
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
)

# A headless GNOME Shell for the GNOME tests, without what it recommends (about 145 packages
# and 380 MB instead of about 510 packages and 1 GB).
without_recommends=(gnome-shell mutter)

missing_of() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      echo "$package"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t missing_bare < <(missing_of "${without_recommends[@]}")
[ ${#missing[@]} -eq 0 ] && [ ${#missing_bare[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ ${#missing_bare[@]} -gt 0 ]; then
  echo "installing without recommends: ${missing_bare[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing_bare[@]}" >/dev/null
fi
