#!/bin/bash
# The shortcut steps on their real Win32 backend, under Wine: the demo product packed behind the
# real x86_64 stub installs unattended (setup.exe /S, elevated as Wine runs it) with both option
# boxes ticked, as its script ticks them; all users' Start-menu group and desktop (and not the
# elevating account's) then hold the demo's links, each of which the shell's own link object resolves to the
# installed file with its working folder, icon and description; Uninstal.log records the group
# folder and each link after the copied files, byte for byte as the native simulation records
# them; and the links the simulation wrote load through the same link object with the same
# properties.
# Usage: shortcuts_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE,
# KV_LINKREAD_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/shortcuts_windows"
kv_prepare_run "$run"
product="$run/product"
kv_stage_demo "$demo" "$product"
cp "$KV_LINKREAD_EXE" "$work/kvlinkread.exe"
kv_pack_demo "$kvpack" "$product"

status=0

# Wine runs setup.exe elevated: the install is machine-wide, and its links go to all users'
# Start menu and desktop (CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY), not to the
# profile of the account that elevated. The simulation is told the same (--elevated).
user=$(ls "$WINEPREFIX/drive_c/users" | grep -vx Public | head -n 1)
programs_win='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
desktop_win='C:\users\Public\Desktop'
programs="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
desktop="$WINEPREFIX/drive_c/users/Public/Desktop"

kv_setup_silent "$run/install.log" # into the script's default folder, C:\Korvex Demo
cat "$run/install.log"
check "exit 0 (the run completed)" test "$setup_code" = 0
dest="$WINEPREFIX/drive_c/Korvex Demo"
check "InsErr.log holds its header only" test "$(wc -l <"$dest/InsErr.log")" = 1
for f in "$programs/Korvex Demo/Korvex Demo.lnk" "$programs/Korvex Demo/Leesmij.lnk" \
    "$desktop/Korvex Demo.lnk"; do
    check "link $(basename "$f")" test -s "$f"
done
check "nothing in the profile of the account that elevated" test -z "$(find \
    "$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" \
    "$WINEPREFIX/drive_c/users/$user/Desktop" -name '*Korvex*')"

# What every link resolves to, read back through IShellLinkA.
expected() { # expected PROGRAMS-OR-DESKTOP-FOLDER (Windows path)
    cat <<LINKS
link $1\\Korvex Demo\\Korvex Demo.lnk
path C:\\Korvex Demo\\demo.exe
workdir C:\\Korvex Demo
icon C:\\Korvex Demo\\demo.exe,0
description Korvex Demo starten
link $1\\Korvex Demo\\Leesmij.lnk
path C:\\Korvex Demo\\Documentatie\\readme.txt
workdir C:\\Korvex Demo\\Documentatie
icon ,0
description Leesmij openen
link $2\\Korvex Demo.lnk
path C:\\Korvex Demo\\demo.exe
workdir C:\\Korvex Demo
icon C:\\Korvex Demo\\demo.exe,0
description Korvex Demo starten
LINKS
}
read_links() { # read_links PROGRAMS DESKTOP: the three links under those Windows folders
    (cd "$work" && "$KV_WINE64" kvlinkread.exe "$1\\Korvex Demo\\Korvex Demo.lnk" \
        "$1\\Korvex Demo\\Leesmij.lnk" "$2\\Korvex Demo.lnk") 2>>"$run/wine.log" | tr -d '\r'
}
expected "$programs_win" "$desktop_win" >"$run/links.expected"
read_links "$programs_win" "$desktop_win" >"$run/links.wine" || status=1
check "links made by the shell resolve" diff "$run/links.expected" "$run/links.wine"

# The group folder and each link are recorded after the copied files, in this order.
tr -d '\r' <"$dest/Uninstal.log" | tail -n 8 >"$run/records.tail"
cat >"$run/records.expected" <<RECORDS
[FOLDER]
$programs_win\\Korvex Demo
[FILE]
$programs_win\\Korvex Demo\\Korvex Demo.lnk
[FILE]
$programs_win\\Korvex Demo\\Leesmij.lnk
[FILE]
$desktop_win\\Korvex Demo.lnk
RECORDS
check "shortcut records in order" diff "$run/records.expected" "$run/records.tail"

# The simulation of the same installer for the same user: the same Uninstal.log, and links
# that the shell's link object reads as it reads its own.
"$kvpack" simulate "$work/setup.exe" --root "$run/sim" --user "$user" --elevated \
    --option startmenu=on --option desktop=on >"$run/sim.log" 2>&1 || status=1
tail -n +2 "$dest/Uninstal.log" >"$run/wine-uninstal.tail"
tail -n +2 "$run/sim/c/Korvex Demo/Uninstal.log" >"$run/sim-uninstal.tail"
check "Uninstal.log as simulated" cmp "$run/wine-uninstal.tail" "$run/sim-uninstal.tail"
mkdir -p "$work/native/Korvex Demo"
cp "$run/sim/c/ProgramData/Microsoft/Windows/Start Menu/Programs/Korvex Demo/"*.lnk \
    "$work/native/Korvex Demo/"
cp "$run/sim/c/users/Public/Desktop/Korvex Demo.lnk" "$work/native/"
expected 'C:\kvtest\native' 'C:\kvtest\native' >"$run/native.expected"
read_links 'C:\kvtest\native' 'C:\kvtest\native' >"$run/links.native" || status=1
check "natively written links load through IPersistFile" \
    diff "$run/native.expected" "$run/links.native"
kv_stop_wine

kv_finish_run "$run" "$status"
