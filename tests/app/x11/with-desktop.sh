#!/bin/sh
# with-desktop.sh COMMAND...: runs COMMAND on a session bus and an X server of its own, as a
# desktop would give them, so that tests of the interface never reach the user's. Without
# dbus-run-session the command runs without a bus, and the tests that need one skip.
set -u
here=$(dirname "$0")
if ! command -v dbus-run-session >/dev/null 2>&1; then
  echo "with-desktop: dbus-run-session is missing" >&2
  exec "$here/../../input/with-xvfb.sh" "$@"
fi
unset DBUS_SESSION_BUS_ADDRESS
exec dbus-run-session -- env ORVEL_PRIVATE_SESSION_BUS=1 "$here/../../input/with-xvfb.sh" "$@"
