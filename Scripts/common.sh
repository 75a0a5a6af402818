# Shared by the scripts in this folder: package installation and the build.
# shellcheck shell=bash
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${ORVEL_BUILD_DIR:-$ROOT/build}"

# Debian packages the build and the tests need.
PACKAGES=(cmake ninja-build g++ pkg-config nlohmann-json3-dev libgtest-dev libgmock-dev
          libbenchmark-dev libicu-dev libsecret-1-dev libglib2.0-dev libglib2.0-bin
          libcurl4-openssl-dev libpugixml-dev libssl-dev libavahi-client-dev libplist-dev
          libxcb1-dev libxcb-keysyms1-dev libxcb-xkb-dev libxcb-xtest0-dev
          qt6-base-dev scdoc)
# The keyring tests run a Secret Service of their own on a private session bus.
KEYRING_TEST_PACKAGES=(dbus-daemon dbus-bin gnome-keyring)
# The install tests check the installed tree with the desktop's and AppStream's validators and
# man, and drive the completions of three shells; CI builds the Debian package (dpkg-shlibdeps).
INSTALL_TEST_PACKAGES=(desktop-file-utils appstream man-db bash-completion zsh fish dpkg-dev)
# The media-control tests drive the app's player as a desktop would.
PLAYER_TEST_PACKAGES=(playerctl)
# The key tests drive an X server of their own with XTEST.
X11_TEST_PACKAGES=(xvfb xauth fonts-dejavu-core)
# Pinned at a release whose "engines" admit Debian 12's Node.js 18.
HAP_NODEJS_VERSION=1.2.0
HAP_NODEJS_DIR="${ORVEL_HAP_NODEJS_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/orvel-remote/peer}"

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

# Installs hap-nodejs at its pinned version under $HAP_NODEJS_DIR, outside the source tree,
# unless it is there already; the pairing peer test runs its accessory in a loopback-only
# network namespace (iproute2). A Node.js from elsewhere, with its own npm, is kept.
ensure_hap_nodejs() {
  ensure_packages iproute2
  command -v node >/dev/null || ensure_packages nodejs
  command -v npm >/dev/null || ensure_packages npm
  local installed="$HAP_NODEJS_DIR/node_modules/hap-nodejs/package.json"
  if [ -f "$installed" ] && grep -q "\"version\": \"$HAP_NODEJS_VERSION\"" "$installed"; then
    return 0
  fi
  echo "Installing hap-nodejs $HAP_NODEJS_VERSION into $HAP_NODEJS_DIR" >&2
  mkdir -p "$HAP_NODEJS_DIR"
  npm install --no-audit --no-fund --prefix "$HAP_NODEJS_DIR" "hap-nodejs@$HAP_NODEJS_VERSION" >&2
}
