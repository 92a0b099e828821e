#!/bin/bash
# Runs one e2e flow: copies the template prefix into the test's own folder, puts the program
# under test and the robot into C:\kvtest together with any extra files, runs the robot on the
# flow there, then stops the test's wineserver and removes its prefix (kept when the flow failed).
# Usage: run_flow.sh NAME FLOW-FILE [EXTRA-FILE...]
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, optional KV_WINE64, KV_E2E_KEEP=1.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

name=$1
flow=$2
shift 2
for needed in "$KV_SETUP_EXE" "$KV_ROBOT_EXE"; do
    if [ ! -f "$needed" ]; then
        echo "run_flow: $needed is missing: build the mingw-x86_64 preset first" >&2
        exit 1
    fi
done

start=$(date +%s.%N)
run="$KV_E2E_WORK/runs/$name"
kv_prepare_run "$run" "$@"
cp "$flow" "$work/flow.txt"
copied=$(kv_elapsed "$start")

set +e
(cd "$work" && timeout 300 "$KV_WINE64" kvrobot.exe flow.txt) >"$run/robot.log" 2>"$run/wine.log"
status=$?
set -e
cat "$run/robot.log"
kv_stop_wine
if [ "$status" = 0 ] && ! grep -qx 'PASS' "$run/robot.log"; then
    status=1
fi
if [ "$status" != 0 ] && [ -s "$run/wine.log" ]; then
    echo "--- wine's messages:"
    tail -n 40 "$run/wine.log"
fi
echo "flow $name: robot exit $status, prefix copy $copied s, total $(kv_elapsed "$start") s"
if [ "$status" = 0 ] && [ "${KV_E2E_KEEP:-0}" != 1 ]; then
    rm -rf "$run"
else
    echo "kept $run for inspection"
fi
exit "$status"
