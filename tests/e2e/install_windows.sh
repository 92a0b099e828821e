#!/bin/bash
# The install engine on its real Win32 backend, under Wine: the demo product packed behind the
# real x86_64 stub installs unattended (setup.exe /S) into C:\, writes the same Uninstal.log as
# the native simulation of the same installer, and a second install through the wizard, driven
# by the robot page by page, meets the overwrite question (dialog 112) during its run, which the
# robot answers with "Ja op alles".
# Usage: install_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/install_windows"
kv_prepare_run "$run"
product="$run/product"
kv_stage_demo "$demo" "$product"
kv_pack_demo "$kvpack" "$product"

status=0

# First run: a fresh install, unattended, with the option boxes as the script ticks them.
kv_setup_silent "$run/first.log" # into the script's default folder, C:\Korvex Demo
cat "$run/first.log"
dest="$WINEPREFIX/drive_c/Korvex Demo"
check "exit 0 (the run completed)" test "$setup_code" = 0
for f in demo.exe license.txt Documentatie/readme.txt Documentatie/Voorbeelden/voorbeeld.kvd; do
    check "installed $f" cmp -s "$dest/$f" "$product/$(basename "$f" | sed 's/voorbeeld.kvd/welcome.txt/')"
done

# The same installer through the simulation: every line of Uninstal.log but the time agrees
# (elevated, as Wine runs setup.exe: the links are all users').
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)
"$kvpack" simulate "$work/setup.exe" --root "$run/sim" --user "$user" --elevated >"$run/sim.log" 2>&1 ||
    status=1
tail -n +2 "$dest/Uninstal.log" >"$run/wine-uninstal.tail"
tail -n +2 "$run/sim/c/Korvex Demo/Uninstal.log" >"$run/sim-uninstal.tail"
check "Uninstal.log as simulated" cmp "$run/wine-uninstal.tail" "$run/sim-uninstal.tail"
check "Uninstal.log header" grep -qaE $'^UninstallLog created: [0-9]{2}-[0-9]{2}-[0-9]{4} [0-9:]{8}\\.[0-9]{4}\r$' "$dest/Uninstal.log"
check "InsErr.log holds its header only" test "$(wc -l <"$dest/InsErr.log")" = 1

# Second run, through the wizard: demo.exe exists and its entry asks during the run;
# "Ja op alles" answers every question and the run completes.
{
    kv_wizard_start_lines 'C:\Korvex Demo'
    cat <<'FLOW'
wait-window "Installatie"
expect-text 1030 "Dit bestand bestaat al. Wilt u het bestand overschrijven ?\n\n'C:\\Korvex Demo\\demo.exe'"
expect-text 1026 "Ja op &alles"
click 1026
wait-gone
FLOW
    kv_wizard_finish_lines
} >"$work/flow.txt"
printf 'changed\r\n' >"$dest/demo.exe"
check "robot flow" kv_robot "$work/flow.txt" "$run/robot.log"
check "demo.exe replaced" cmp -s "$dest/demo.exe" "$product/demo.exe"
check "no file left half-written" test -z "$(find "$dest" -name '~*')"
kv_stop_wine

kv_finish_run "$run" "$status"
