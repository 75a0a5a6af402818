#!/usr/bin/env bash
# check-manual-examples.sh CMAKE BUILD_DIR SOURCE_DIR: every command in the EXAMPLES of the
# manual pages (docs/man/*.scd, the lines "$ command" there) succeeds with the installed
# programs on the simulated household; orvel's against a running app. One that runs until
# stopped (the headless app) is stopped with SIGTERM after a few seconds and must then say it
# quit, having served, and end with status 0 too.
source "$(dirname "$0")/installed-app.sh"
source_dir=$3

examples() {  # page
  awk '/^# EXAMPLES/ { inside = 1; next } /^# / { inside = 0 } inside && /^\$ / { print substr($0, 3) }' \
    "$source_dir/docs/man/$1.1.scd"
}

run_examples() {  # page
  local command status count=0
  while IFS= read -r command; do
    count=$((count + 1))
    status=0
    (cd "$scratch/work" && timeout --preserve-status -s TERM 4 bash -c "$command") \
      >"$scratch/example.out" 2>&1 </dev/null || status=$?
    [[ $status -eq 0 ]] || fail "$1(1): \`$command\` ended with status $status:
$(cat "$scratch/example.out")"
    # Stopped, the headless app says so only once it had been serving.
    if [[ $command == *"OrvelRemote --headless"* ]]; then
      grep -qx "Orvel Remote has quit." "$scratch/example.out" ||
        fail "$1(1): \`$command\` never served: $(cat "$scratch/example.out")"
    fi
    echo "$1(1): $command"
  done < <(examples "$1")
  [[ $count -gt 0 ]] || fail "$1(1) has no examples"
}

mkdir -p "$scratch/work"
run_examples OrvelRemote
[[ -f $scratch/work/icons/orvel-remote.svg ]] || fail "OrvelRemote --render-icon icons drew nothing"
start_app
run_examples orvel
stop_app
