#!/bin/bash
# A flow through the real wizard of a packed installer: stages the demo product (with the
# freshly built demo.exe), lets the flow change it, packs setup.exe behind the x86_64 stub, lets
# the robot drive it as a person would, then runs the flow's checks on what was installed.
# Besides the robot's commands a flow holds lines that the robot reads as comments:
#   #!stage CMD    run in the product folder ($product) before packing: edit setup.txt, add files
#   #!before CMD   run after packing, before the robot ($drive_c: the prefix's C:\)
#   #!check CMD    run after the robot; each must succeed
# Checks may call same_as_simulated FOLDER (Uninstal.log in C:\FOLDER as kvpack simulate writes
# it, time line aside) and no_partial_files FOLDER.
# Usage: wizard_flow.sh NAME FLOW-FILE NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, optional KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

name=$1
flow=$2
kvpack=$3
demo=$4
start=$(date +%s.%N)
run="$KV_E2E_WORK/runs/$name"
kv_prepare_run "$run"
drive_c="$WINEPREFIX/drive_c"
product="$run/product"
mkdir -p "$product"
cp "$demo"/setup.txt "$demo"/license.txt "$demo"/welcome.txt "$demo"/readme.txt \
    "$demo"/banner.bmp "$product/"
cp "$KV_DEMO_EXE" "$product/demo.exe"

directives() { sed -n "s/^#!$1 //p" "$flow"; }
directives stage >"$run/stage.sh"
(cd "$product" && bash -euo pipefail "$run/stage.sh")
"$kvpack" pack --quiet -o "$work/setup.exe" --stub "$KV_SETUP_EXE" "$product" 2>"$run/pack.log"
directives before >"$run/before.sh"
(cd "$run" && drive_c="$drive_c" bash -euo pipefail "$run/before.sh")
grep -v '^#!' "$flow" >"$work/flow.txt"

set +e
(cd "$work" && timeout 300 "$KV_WINE64" kvrobot.exe flow.txt) >"$run/robot.log" 2>"$run/wine.log"
status=$?
set -e
cat "$run/robot.log"
kv_stop_wine
if [ "$status" = 0 ] && ! grep -qx 'PASS' "$run/robot.log"; then status=1; fi

same_as_simulated() { # FOLDER: the installed Uninstal.log against the simulation's (elevated,
    # as Wine runs setup.exe: the links are all users')
    "$kvpack" simulate "$work/setup.exe" --root "$run/sim" --elevated >"$run/sim.log" 2>&1 || return 1
    cmp <(tail -n +2 "$drive_c/$1/Uninstal.log") <(tail -n +2 "$run/sim/c/$1/Uninstal.log")
}
no_partial_files() { # FOLDER: no file left half-written
    test -z "$(find "$drive_c/$1" -name '~*' 2>/dev/null)"
}
if [ "$status" = 0 ]; then
    while IFS= read -r check; do
        if (eval "$check"); then echo "ok   $check"; else echo "FAIL $check"; status=1; fi
    done < <(directives check)
fi
if [ "$status" != 0 ] && [ -s "$run/wine.log" ]; then
    echo "--- wine's messages:"
    tail -n 40 "$run/wine.log"
fi
echo "flow $name: status $status, total $(kv_elapsed "$start") s"
kv_finish_run "$run" "$status"
