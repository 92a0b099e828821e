#!/bin/bash
# The install engine on its real Win32 backend, under Wine: the demo product packed behind
# kvinstall.exe (the stub's install run without the wizard pages) installs into C:\, writes
# the same Uninstal.log as the native simulation of the same installer, and a second run
# meets the overwrite question (dialog 112), which the robot answers with "Ja op alles".
# Usage: install_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_INSTALL_EXE, KV_DEMO_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/install_windows"
kv_prepare_run "$run"
product="$run/product"
mkdir -p "$product"
cp "$demo"/setup.txt "$demo"/license.txt "$demo"/welcome.txt "$demo"/readme.txt \
    "$demo"/banner.bmp "$product/"
cp "$KV_DEMO_EXE" "$product/demo.exe"
"$kvpack" pack --quiet -o "$work/install.exe" --stub "$KV_INSTALL_EXE" "$product"

status=0
check() { # check DESCRIPTION COMMAND...: runs the command, reports and records a failure
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; status=1; fi
}

# First run: a fresh install.
(cd "$work" && "$KV_WINE64" install.exe 'C:\Korvex Demo') >"$run/first.log" 2>>"$run/wine.log" ||
    status=1
cat "$run/first.log"
dest="$WINEPREFIX/drive_c/Korvex Demo"
check "result 2" grep -q '^result 2' "$run/first.log"
for f in demo.exe license.txt Documentatie/readme.txt Documentatie/Voorbeelden/voorbeeld.kvd; do
    check "installed $f" cmp -s "$dest/$f" "$product/$(basename "$f" | sed 's/voorbeeld.kvd/welcome.txt/')"
done

# The same installer through the simulation: every line of Uninstal.log but the time agrees.
"$kvpack" simulate "$work/install.exe" --root "$run/sim" --option startmenu=off \
    --option desktop=off >"$run/sim.log" 2>&1 || status=1
tail -n +2 "$dest/Uninstal.log" >"$run/wine-uninstal.tail"
tail -n +2 "$run/sim/c/Korvex Demo/Uninstal.log" >"$run/sim-uninstal.tail"
check "Uninstal.log as simulated" cmp "$run/wine-uninstal.tail" "$run/sim-uninstal.tail"
check "Uninstal.log header" grep -qaE $'^UninstallLog created: [0-9]{2}-[0-9]{2}-[0-9]{4} [0-9:]{8}\\.[0-9]{4}\r$' "$dest/Uninstal.log"
check "InsErr.log holds its header only" test "$(wc -l <"$dest/InsErr.log")" = 1

# Second run: demo.exe exists and its entry asks; "Ja op alles" answers every question.
cat >"$work/flow.txt" <<'FLOW'
start install.exe "C:\\Korvex Demo"
wait-window "Installatie"
expect-text 1030 "Dit bestand bestaat al. Wilt u het bestand overschrijven ?\n\n'C:\\Korvex Demo\\demo.exe'"
expect-text 1026 "Ja op &alles"
click 1026
wait-gone
expect-exit 0
FLOW
(cd "$work" && timeout 120 "$KV_WINE64" kvrobot.exe flow.txt) >"$run/robot.log" 2>>"$run/wine.log" ||
    status=1
cat "$run/robot.log"
check "robot flow" grep -qx 'PASS' "$run/robot.log"
check "no file left half-written" test -z "$(find "$dest" -name '~*')"
kv_stop_wine

kv_finish_run "$run" "$status"
