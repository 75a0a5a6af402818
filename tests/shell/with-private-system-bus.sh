#!/bin/sh
# with-private-system-bus.sh COMMAND...: runs COMMAND with a bus daemon of its own standing in
# for the system bus, its address in ORVEL_PRIVATE_SYSTEM_BUS (and DBUS_SYSTEM_BUS_ADDRESS, so
# that nothing reaches the machine's logind). Without dbus-daemon the command still runs, and
# its bus tests skip.
set -u
if ! command -v dbus-daemon >/dev/null 2>&1; then
  echo "with-private-system-bus: dbus-daemon is missing" >&2
  exec "$@"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvel-system-bus-XXXXXX") || exit 1
# The session configuration: our user alone, any name may be owned, as the fakes need.
dbus-daemon --session --fork --nopidfile --address="unix:path=$scratch/bus" \
  --print-pid=1 >"$scratch/pid" || { rm -rf "$scratch"; exit 1; }
pid=$(cat "$scratch/pid")
trap 'kill "$pid" 2>/dev/null; rm -rf "$scratch"' EXIT
export ORVEL_PRIVATE_SYSTEM_BUS="unix:path=$scratch/bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$scratch/bus"
"$@"
