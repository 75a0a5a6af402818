#!/bin/sh
# with-xvfb.sh COMMAND...: runs COMMAND against an X server of its own (Xvfb on a free display,
# no TCP), so that key tests never reach the user's desktop. Without Xvfb the command still
# runs, with no display, and its X11 tests skip.
set -u
unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "with-xvfb: Xvfb is missing" >&2
  exec "$@"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvel-xvfb-XXXXXX") || exit 1
mkfifo "$scratch/display" || exit 1
# -noreset: the server would start afresh, settings gone, whenever its last client leaves.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 640x480x24 3>"$scratch/display" \
  >"$scratch/log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$scratch"' EXIT
# The server writes its display number once it accepts connections; end of file: it died.
if ! read -r number <"$scratch/display"; then
  echo "with-xvfb: Xvfb did not start" >&2
  cat "$scratch/log" >&2
  exit 1
fi
DISPLAY=":$number" "$@"
