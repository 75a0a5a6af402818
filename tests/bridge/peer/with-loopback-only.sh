#!/bin/sh
# Runs the command in a network namespace of its own that has only loopback: whatever the
# accessory might try to announce or reach cannot leave this machine's 127.0.0.1.
set -eu
if [ "$(id -u)" -eq 0 ]; then
  exec unshare --net sh -c 'ip link set lo up && exec "$@"' sh "$@"
fi
exec unshare --net --map-root-user sh -c 'ip link set lo up && exec "$@"' sh "$@"
