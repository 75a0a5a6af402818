#!/bin/sh
# with-private-system-bus.sh COMMAND...: runs COMMAND with two bus daemons of its own, one
# standing in for the system bus (its address in ORVEL_PRIVATE_SYSTEM_BUS and
# DBUS_SYSTEM_BUS_ADDRESS, so that nothing reaches the machine's logind) and one for the
# session bus (ORVEL_PRIVATE_SESSION_BUS, for a fake portal). Without dbus-daemon the command
# still runs, and its bus tests skip.
set -u
if ! command -v dbus-daemon >/dev/null 2>&1; then
  echo "with-private-system-bus: dbus-daemon is missing" >&2
  exec "$@"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvel-system-bus-XXXXXX") || exit 1
pids=""
trap 'for pid in $pids; do kill "$pid" 2>/dev/null; done; rm -rf "$scratch"' EXIT
# The session configuration for both: our user alone, and any name may be owned, as fakes need.
for bus in system session; do
  dbus-daemon --session --fork --nopidfile --address="unix:path=$scratch/$bus" \
    --print-pid=1 >"$scratch/$bus.pid" || exit 1
  pids="$pids $(cat "$scratch/$bus.pid")"
done
export ORVEL_PRIVATE_SYSTEM_BUS="unix:path=$scratch/system"
export DBUS_SYSTEM_BUS_ADDRESS="$ORVEL_PRIVATE_SYSTEM_BUS"
export ORVEL_PRIVATE_SESSION_BUS="unix:path=$scratch/session"
"$@"
