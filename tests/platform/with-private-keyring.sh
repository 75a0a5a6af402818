#!/bin/sh
# with-private-keyring.sh COMMAND...: runs COMMAND on a session bus of its own, with a fresh
# unlocked keyring in a scratch home, so that keyring tests never see the user's keyring.
# Without dbus-run-session or gnome-keyring-daemon the command still runs, and its keyring
# tests skip.
set -u
if ! command -v dbus-run-session >/dev/null 2>&1 ||
   ! command -v gnome-keyring-daemon >/dev/null 2>&1; then
  echo "with-private-keyring: dbus-run-session or gnome-keyring-daemon is missing" >&2
  exec env ORVEL_PRIVATE_KEYRING=missing "$@"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvel-keyring-XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/home" "$scratch/data" "$scratch/config" "$scratch/runtime"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/runtime"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
# An empty password would make the daemon ask through a prompt, which needs a display; a
# throwaway one creates and unlocks the default collection without asking.
dbus-run-session -- sh -c '
  printf %s orvel-test-only | gnome-keyring-daemon --unlock --components=secrets >/dev/null &&
  ORVEL_PRIVATE_KEYRING=1 "$@"' with-private-keyring "$@"
