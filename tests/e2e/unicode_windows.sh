#!/bin/bash
# Texts, folders and names outside the ANSI code page, end to end. The demo product with a
# UTF-8 script: a welcome text "Ça coûte – Ελληνικά – 中文", the default folder
# C:\Straße Kraków, a member Ünïcödé ĞŞ.txt, a link and an uninstall entry with Greek and
# Chinese in their names, and kvuninst.exe among the members. The robot reads the welcome text
# as UTF-16; /S installs into the default folder and, started with an exact wide command line,
# into /D=C:\Ωμέγα 中文; names, the link and the entry's DisplayName are read back from the
# file system and a registry export; /X lists the member by its name; the uninstaller removes it
# all. An old-style Windows-1252 script still shows "geïnstalleerd".
# Usage: unicode_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_UNINSTALL_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/unicode_windows"
kv_prepare_run "$run"
product="$run/product"
member='Ünïcödé ĞŞ.txt'
entry='Ωμέγα Demo 中文'
kv_stage_demo_uninstaller "$demo" "$product" \
    's/^default_dest_dir=.*/default_dest_dir="Straße Kraków"\r/' \
    's/"Korvex Demo","Korvex Demo.lnk"/"Korvex Demo","Δοκιμή 中文.lnk"/'
printf 'Ça coûte – Ελληνικά – 中文\r\n' >"$product/welcome.txt"
printf 'een naam buiten de codetabel\r\n' >"$product/$member"
awk -v m="$member" '{ print } /^copy_files\r?$/ { block = 1 }
     block && /^\{\r?$/ { print "\t\"Naam\", \"[source]" m "\", [dest]\\*.*, overwrite_always\r"; block = 0 }' \
    "$product/setup.txt" | sed "s/^uninstall=\"Korvex Demo\"/uninstall=\"$entry\"/" >"$product/script.new"
mv "$product/script.new" "$product/setup.txt"
kv_pack_demo "$kvpack" "$product"

# The same demo with its own Dutch script, saved as Windows-1252 as every script was before.
old="$run/old"
kv_stage_demo "$demo" "$old"
sed 's/^text_next=.*/text_next="Verder – geïnstalleerd"\r/' "$demo/setup.txt" |
    iconv -f UTF-8 -t CP1252 >"$old/setup.txt"
"$kvpack" pack --quiet -o "$work/old.exe" --stub "$KV_SETUP_EXE" "$old"

status=0
drive_c="$WINEPREFIX/drive_c"
robot() { # robot NAME: the flow in $work/NAME.txt
    kv_robot "$work/$1.txt" "$run/$1.log" || { echo "FAIL robot flow $1"; status=1; }
}
cancel_lines() {
    printf 'click 2\nwait-gone\nexpect-exit 0\n'
}

{
    printf 'start setup.exe\nwait-window "Korvex Demo installeren"\n'
    printf 'expect-text 5051 "Ça coûte – Ελληνικά – 中文\\n"\n'
    cancel_lines
    printf 'start old.exe\nwait-window "Korvex Demo installeren"\n'
    printf 'expect-text 1 "Verder – geïnstalleerd"\n'
    cancel_lines
} >"$work/welcome.txt"
robot welcome

default="$drive_c/Straße Kraków"
kv_setup_silent "$run/install.log"
check "installed into C:\\Straße Kraków" test "$setup_code" = 0 -a -s "$default/demo.exe"
check "the member keeps its name" test -s "$default/$member"
check "Uninstal.log names the member in UTF-8" grep -qF "C:\\Straße Kraków\\$member" "$default/Uninstal.log"
programs="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" # elevated: all users'
check "the link keeps its name" test -s "$programs/Korvex Demo/Δοκιμή 中文.lnk"
(cd "$work" && "$KV_WINE64" reg export \
    'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall' uninstall.reg /y \
    >/dev/null 2>>"$run/wine.log") || true
"$KV_WINE64" reg export 'HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
    'C:\kvtest\uninstall_user.reg' /y >/dev/null 2>>"$run/wine.log" || true
exported=$(cat "$work"/uninstall*.reg 2>/dev/null | iconv -f UTF-16LE -t UTF-8 2>/dev/null || true)
check "the entry's DisplayName keeps every character" grep -qF "\"DisplayName\"=\"$entry\"" <<<"$exported"
check "its UninstallString names the folder" grep -qF 'Straße Kraków' <<<"$exported"

cat >"$work/extract.txt" <<FLOW
start setup.exe /x
wait-window "Korvex - Bestanden uitpakken"
read-list 1035
close-window
wait-gone
FLOW
robot extract
check "/X lists the member by its name" grep -qF "$member" "$run/extract.log"

cat >"$work/remove.txt" <<'FLOW'
start-line "\"C:\\Straße Kraków\\kvuninst.exe\" /S"
expect-exit 0
FLOW
robot remove
timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
check "the uninstaller removed the folder" test ! -e "$default"
check "and the link" test ! -e "$programs/Korvex Demo/Δοκιμή 中文.lnk"
rm -f "$work"/uninstall*.reg
(cd "$work" && "$KV_WINE64" reg export \
    'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall' uninstall.reg /y \
    >/dev/null 2>>"$run/wine.log") || true
exported=$(cat "$work"/uninstall*.reg 2>/dev/null | iconv -f UTF-16LE -t UTF-8 2>/dev/null || true)
check "and the entry" test -z "$(grep -F "$entry" <<<"$exported")"
cat >"$work/other.txt" <<'FLOW'
start-line "setup.exe /S /D=C:\\Ωμέγα 中文"
expect-exit 0
FLOW
robot other
check "/D= with a folder outside the code page" test -s "$drive_c/Ωμέγα 中文/$member"

kv_stop_wine

kv_finish_run "$run" "$status"
