#!/bin/bash
# Takes a picture of the stub's windows for a manual look (not run by CTest): copies the
# template prefix, switches it from the null graphics driver to X11 on a private Xvfb display
# (unmanaged windows, so closing ones do not linger), runs setup.exe or a robot flow, and after
# DELAY seconds grabs the whole screen. A flow that should be pictured at some page ends with a
# long "sleep" there. With --snapshots the flow decides instead: each "snapshot NAME" of the
# flow is answered with a picture DIR/NAME.png (OUT.png is then the screen at the flow's end),
# and the robot's exit status becomes the script's.
#
# Usage: screenshot.sh OUT.png [--flow FLOW-FILE [--snapshots DIR]] [--delay SECONDS]
#                      [--args "SETUP ARGS"] [EXTRA-FILE...]
# Environment as for run_flow.sh (KV_E2E_WORK with a template prefix, KV_SETUP_EXE, KV_ROBOT_EXE).
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

out=$(realpath -m "$1")
shift
flow=""
delay=5
setup_args=""
snapshots=""
extras=()
while [ $# -gt 0 ]; do
    case $1 in
    --flow) flow=$(realpath "$2"); shift 2 ;;
    --delay) delay=$2; shift 2 ;;
    --args) setup_args=$2; shift 2 ;;
    --snapshots) snapshots=$(realpath -m "$2"); shift 2 ;;
    *) extras+=("$(realpath "$1")"); shift ;;
    esac
done
[ -d "$KV_TEMPLATE/prefix" ] || bash "$(dirname "$0")/prefix_setup.sh"

run="$KV_E2E_WORK/runs/screenshot.$$"
kv_prepare_run "$run" "${extras[@]}"
[ -n "$flow" ] && cp "$flow" "$work/flow.txt"

# A free display number: another process may own any fixed one.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
cleanup() {
    kv_stop_wine
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$run"
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

cat >"$work/x11.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="x11"

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG
"$KV_WINE64" regedit /S 'C:\kvtest\x11.reg' >/dev/null 2>&1
kv_stop_wine

# The dialogs' own bitmap fonts ("MS Sans Serif"), so the pages have the size they are made for.
if [ -d /usr/share/wine/fonts ]; then
    cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi

cd "$work"
if [ -n "$snapshots" ]; then
    mkdir -p "$snapshots"
    "$KV_WINE64" kvrobot.exe flow.txt >"$run/robot.log" 2>/dev/null &
    robot=$!
    while kill -0 "$robot" 2>/dev/null; do
        for request in "$work"/snapshot.*; do
            [ -e "$request" ] || continue
            sleep 0.3 # the last paint messages of the page
            import -window root -display ":$display" "$snapshots/${request##*/snapshot.}.png"
            rm -f "$request"
        done
        sleep 0.05
    done
    status=0
    wait "$robot" || status=$?
    import -window root -display ":$display" "$out"
    cat "$run/robot.log"
    exit "$status"
elif [ -n "$flow" ]; then
    "$KV_WINE64" kvrobot.exe flow.txt >"$run/robot.log" 2>/dev/null &
else
    # shellcheck disable=SC2086 # the setup arguments are meant to split
    "$KV_WINE64" setup.exe $setup_args >/dev/null 2>&1 &
fi
sleep "$delay"
import -window root -display ":$display" "$out"
[ -n "$flow" ] && cat "$run/robot.log"
echo "screenshot: $out"
