#!/bin/bash
# /X and the uninstaller speak the language of the script they were packed with. The demo
# product, with language=en, no text_ line, and kvuninst.exe copied into the destination, is
# packed by the native kvpack (which writes the script's language into the uninstaller). Then:
# setup.exe /X shows its dialog and messages in English and unpacks; installed unattended with a
# file the user adds, the uninstaller asks in English, reports in English what stayed and ends
# with 1; installed anew, it lists in English what it removes and says it is done.
# Usage: language_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_UNINSTALL_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/language_windows"
kv_prepare_run "$run"
product="$run/product"
kv_stage_demo "$demo" "$product"
cp "$KV_UNINSTALL_EXE" "$product/kvuninst.exe"
awk '!/^text_/ { print } /^copy_files\r?$/ { block = 1 }
     block && /^\{\r?$/ { print "\t\"Uninstaller\", [source]kvuninst.exe, [dest]\\*.*, overwrite_always\r"; block = 0 }' \
    "$demo/setup.txt" >"$product/setup.txt"
printf 'language=en\r\nuninstall="Korvex Demo","[dest]\\kvuninst.exe","Korvex","1.0"\r\n' \
    >>"$product/setup.txt"
kv_pack_demo "$kvpack" "$product"

status=0
dest="$WINEPREFIX/drive_c/Korvex Demo"
robot() { # robot NAME: the flow in $work/NAME.txt
    kv_robot "$work/$1.txt" "$run/$1.log" || { echo "FAIL robot flow $1"; status=1; }
}

cat >"$work/extract.txt" <<'FLOW'
start setup.exe /x
wait-window "Korvex - Extract files"
expect-text 1000 "Select all"
expect-text 1036 "To folder:"
expect-text 1 "OK"
expect-text 2 "Cancel"
click 1
expect-msgbox "Note" "No files selected"
press OK
click 1000
set-text 1037 "C:\\uit"
click 1
expect-msgbox "Note" "The folder does not exist. Create it?"
press Yes
expect-msgbox "Done" "Files extracted"
press OK
wait-gone
expect-exit 0
FLOW
robot extract
check "/X unpacked the demo" cmp "$WINEPREFIX/drive_c/uit/demo.exe" "$product/demo.exe"

kv_setup_silent "$run/install1.log"
check "installed" test "$setup_code" = 0 -a -s "$dest/kvuninst.exe"
printf 'my notes\r\n' >"$dest/Documentatie/notes.txt"
cat >"$work/report.txt" <<'FLOW'
start "C:\\Korvex Demo\\kvuninst.exe"
expect-msgbox "Uninstall" "Do you want to uninstall Korvex Demo?"
press Yes
expect-msgbox "Uninstall" "Not everything could be removed:\n\nFolder kept, as it is not empty: C:\\Korvex Demo\\Documentatie\nFolder kept, as it is not empty: C:\\Korvex Demo"
press OK
wait-window "Uninstall Korvex Demo"
expect-text 1202 "Not everything could be removed."
expect-text 1 "&Close"
click 1
wait-gone
expect-exit 1
FLOW
robot report
timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
check "only the user's file is left" test "$(cd "$dest" && find . -type f)" = ./Documentatie/notes.txt

rm -rf "$dest"
kv_setup_silent "$run/install2.log"
check "installed anew" test "$setup_code" = 0 -a -s "$dest/kvuninst.exe"
cat >"$work/yes.txt" <<'FLOW'
start "C:\\Korvex Demo\\kvuninst.exe"
expect-msgbox "Uninstall" "Do you want to uninstall Korvex Demo?"
press Yes
wait-window "Uninstall Korvex Demo"
expect-enabled 1 1
expect-text 1202 "Korvex Demo has been uninstalled. This program removes itself when it closes, through a copy in the temporary folder."
read-list 1201
click 1
wait-gone
expect-exit 0
FLOW
robot yes
check "the list shows demo.exe removed" grep -qF '"Removed: C:\\Korvex Demo\\demo.exe"' "$run/yes.log"
check "the list shows itself left for last" \
    grep -qF '"At the end: C:\\Korvex Demo\\kvuninst.exe"' "$run/yes.log"
kv_stop_wine

kv_finish_run "$run" "$status"
