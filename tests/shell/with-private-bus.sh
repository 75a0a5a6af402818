#!/bin/sh
# with-private-bus.sh COMMAND...: runs COMMAND on a session bus of its own, its address in
# ORVEL_PRIVATE_BUS, so that the tray tests never reach the user's desktop. Without
# dbus-run-session the command still runs, and those tests skip.
set -u
if ! command -v dbus-run-session >/dev/null 2>&1; then
  echo "with-private-bus: dbus-run-session is missing" >&2
  exec "$@"
fi
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS ORVEL_PRIVATE_BUS
exec dbus-run-session -- sh -c 'ORVEL_PRIVATE_BUS="$DBUS_SESSION_BUS_ADDRESS" exec "$@"' \
  with-private-bus "$@"
