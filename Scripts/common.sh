# Shared by the scripts in this folder: package installation and the build.
# shellcheck shell=bash
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_BUILD_DIR:-$ROOT/build}"

# Debian packages the build and the tests need.
PACKAGES=(cmake ninja-build g++ pkg-config nlohmann-json3-dev libgtest-dev libgmock-dev
          libbenchmark-dev libicu-dev libsecret-1-dev libglib2.0-dev libglib2.0-bin
          libcurl4-openssl-dev libpugixml-dev libssl-dev libavahi-client-dev
          libxcb1-dev libxcb-keysyms1-dev libxcb-xkb-dev libxcb-xtest0-dev
          qt6-base-dev)
# The keyring tests run a Secret Service of their own on a private session bus.
KEYRING_TEST_PACKAGES=(dbus-daemon dbus-bin gnome-keyring)
# The key tests drive an X server of their own with XTEST.
X11_TEST_PACKAGES=(xvfb xauth fonts-dejavu-core)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs whatever of the given packages is missing; quiet when nothing is.
ensure_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}" >&2
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# configure_and_build <build dir> [cmake options...]
configure_and_build() {
  local dir="$1"; shift
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >&2
  elif [ $# -gt 0 ]; then
    cmake "$dir" "$@" >/dev/null
  fi
  cmake --build "$dir" >&2
}
