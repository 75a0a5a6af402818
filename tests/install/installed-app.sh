# Sourced by the install tests: the build installed into a scratch prefix, and a profile of its
# own with the simulated household, as tests/support/HeadlessProfile sets one up.
#   source installed-app.sh CMAKE BUILD_DIR   # sets $scratch, $prefix; installs
#   start_app                                 # OrvelRemote --headless, its TV connected
#   stop_app                                  # SIGTERM; fails unless it quits with 0
# shellcheck shell=bash
set -euo pipefail
cmake_command=$1 build_dir=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvel-install-XXXXXX")
prefix="$scratch/prefix"
app_pid=
trap 'stop_app 2>/dev/null || true; rm -rf "$scratch"' EXIT

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

"$cmake_command" --install "$build_dir" --prefix "$prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log" >&2; fail "cmake --install"; }

# Three TVs paired, the Bedroom TV (a simulated Roku, no pairing code) selected.
mkdir -p "$scratch/config/Orvel Remote" "$scratch/data"
cat >"$scratch/config/Orvel Remote/defaults.json" <<'JSON'
{"pairedDevices": [{"id": "roku:sim-bedroom", "name": "Bedroom TV", "protocols": []},
                   {"id": "sim:living-room", "name": "Living Room", "protocols": ["AirPlay", "Companion"]},
                   {"id": "sim:kitchen", "name": "Kitchen", "protocols": ["Companion"]}],
 "lastDevice": "roku:sim-bedroom"}
JSON
export HOME="$scratch" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache"
export ORVEL_SIMULATE=1 ORVEL_ROKU_HOSTS='' ORVEL_APPLETV_HOSTS=''
# No session bus (the private credential file) and no logind of the machine's.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/no-bus"
export DBUS_SYSTEM_BUS_ADDRESS="${ORVEL_PRIVATE_SYSTEM_BUS:-unix:path=$scratch/no-bus}"
unset DISPLAY WAYLAND_DISPLAY ORVEL_PYTHON ORVEL_BRIDGE
export PATH="$prefix/bin:$PATH"

start_app() {
  mkfifo "$scratch/app.out"
  OrvelRemote --headless >"$scratch/app.out" 2>"$scratch/app.err" &
  app_pid=$!
  exec 7<"$scratch/app.out"
  local line
  read -r -t 20 -u 7 line || fail "OrvelRemote did not start: $(cat "$scratch/app.err")"
  [[ $line == "Orvel Remote is ready: "* ]] || fail "OrvelRemote said: $line"
  # Ready is the socket; the TV connects a moment later.
  local tries
  for ((tries = 0; tries < 200; tries++)); do
    if orvel status 2>/dev/null | grep -qv "not connected"; then return 0; fi
    sleep 0.1
  done
  fail "the Bedroom TV never connected: $(orvel status 2>&1)"
}

stop_app() {
  [[ -n $app_pid ]] || return 0
  kill -TERM "$app_pid"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=
  exec 7<&-
  rm -f "$scratch/app.out"
  [[ $status -eq 0 ]] || fail "OrvelRemote ended with status $status"
}
