#!/bin/bash
# Hostile paths with the real x86_64 setup.exe under Wine, beside kvpack simulate. A script
# whose copy targets and program group leave their base ([dest]\..\..\..\a.txt, a rooted
# \Temp\b.txt, a relative c.txt, a group of eight ..\) is the vendor's to write: what Windows
# does with it is recorded here, and the simulation must predict the very same files. A
# drive-relative C:d.txt is refused by name (a drive inside a file name is no target). And /S into a destination that cannot be made (below a file) exits 2 and writes
# nothing, even though this script's createfolders step goes on after a failure.
# The destination C:\Dest is prepared as any user could before an administrator installs: a
# Unix symlink lnk to the folder C:\Buiten and f.txt to the file C:\Buiten\victim.txt (Win32
# programs take them for links). Nothing is written through either, each entry fails by name,
# and the simulation, given the same links, predicts it.
# Usage: confine_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/hostile_lib.sh"

kvpack=$1
run="$KV_E2E_WORK/runs/hostile_confine_windows"
kv_prepare_run "$run"
product="$run/product"
mkdir -p "$product"
for f in a b c d e f; do printf '%s\r\n' "$f" >"$product/$f.txt"; done
cat >"$product/setup.txt" <<'EOF'
default_dest_dir=Dest
programgroupyesno="Menu",true
folders
{
dir01="[dest]\lnk\Sub"
}
steps
{
foldersettings
startinstall
}
install_steps
{
checkdiskspace="Ruimte","Te weinig ruimte"
createfolders="Mappen","Mappen mislukt"
copyfiles="Kopieren","Kopieren mislukt"
startmenu="Menu","Menu mislukt"
}
copy_files
{
"A",[source]a.txt,[dest]\..\..\..\a.txt,overwrite_always
"B",[source]b.txt,\Temp\b.txt,overwrite_always
"C",[source]c.txt,c.txt,overwrite_always
"D",[source]d.txt,C:d.txt,overwrite_always
"E",[source]e.txt,[dest]\lnk\e.txt,overwrite_always
"F",[source]f.txt,[dest]\f.txt,overwrite_always
}
program_group
{
"..\..\..\..\..\..\..\..\x","L.lnk","[dest]\..\a.txt","","",0,""
}
EOF
"$kvpack" pack --quiet -o "$work/setup.exe" --stub "$KV_SETUP_EXE" "$product" 2>"$run/lint.txt"
drive="$WINEPREFIX/drive_c"
mkdir -p "$drive/Temp"
# plant DRIVE: C:\Buiten with the victim, and C:\Dest holding the two links to it.
plant() {
    mkdir -p "$1/Buiten" "$1/Dest"
    printf 'van een ander\r\n' >"$1/Buiten/victim.txt"
    ln -s ../Buiten "$1/Dest/lnk"
    ln -s ../Buiten/victim.txt "$1/Dest/f.txt"
}
plant "$drive"

status=0
# setup ARGUMENTS...: setup.exe started from C:\ (the simulation's current folder), exit in $code
setup() {
    code=0
    (cd "$drive" && timeout 120 "$KV_WINE64" 'C:\kvtest\setup.exe' "$@") >>"$run/setup.log" \
        2>>"$run/wine.log" || code=$?
    echo "setup.exe $* -> exit $code" >>"$run/setup.log"
}
# The files below folder $1 that are not in snapshot $2, Wine's own folders left out.
made_since() {
    (cd "$1" && find . -type f ! -path './windows/*' ! -path './users/*/AppData/Local/*' \
        ! -path './registry.reg' | sort | comm -13 "$2" -)
}
(cd "$drive" && find . -type f | sort) >"$run/before.txt"

row "lint warns about every target and the group" \
    test "$(grep -c 'climbs out\|is rooted\|is relative' "$run/lint.txt")" = 4

# Below a file no folder can be made: the run stops before anything else, exit 2.
setup /S '/D=C:\kvtest\setup.exe\Sub'
row "/S into a folder below a file: exit 2" test "$code" = 2
row "... and nothing written anywhere" test -z "$(made_since "$drive" "$run/before.txt")"

# The hostile targets, installed for real and simulated.
setup /S '/D=C:\Dest'
row "/S with hostile targets: exit 1, C:d.txt refused" test "$code" = 1
made_since "$drive" "$run/before.txt" >"$run/wine-files.txt"
mkdir -p "$run/sim/c/Temp" # as in the prefix
plant "$run/sim/c"
(cd "$run/sim/c" && find . -type f | sort) >"$run/sim-before.txt"
user=root # the prefix's own profile, for the Start menu's path in the logs
for u in "$drive"/users/*; do [ "${u##*/}" = Public ] || user=${u##*/}; done
# Elevated, as Wine runs setup.exe: the Start menu is all users' (C:\ProgramData\...).
"$kvpack" simulate "$work/setup.exe" --root "$run/sim" --dest 'C:\Dest' --user "$user" --elevated \
    >"$run/simulate.txt" || true
made_since "$run/sim/c" "$run/sim-before.txt" >"$run/sim-files.txt"
row "[dest]\\..\\..\\..\\a.txt lands in C:\\a.txt" test -f "$drive/a.txt"
row "\\Temp\\b.txt lands on the current drive" test -f "$drive/Temp/b.txt"
row "c.txt lands in the current folder C:\\" test -f "$drive/c.txt"
row "C:d.txt is refused by name, made nowhere" grep -q "Refused Member Name! (d.txt)" "$drive/Dest/InsErr.log"
row "eight ..\\ above the Start menu land in C:\\x" test -f "$drive/x/L.lnk"
for refused in 'C:\Dest\lnk' 'C:\Dest\lnk\e.txt' 'C:\Dest\f.txt'; do
    row "a link in the destination: 'Refused Link! ($refused)'" \
        grep -qxF "Refused Link! ($refused)" <(tr -d '\r' <"$drive/Dest/InsErr.log")
done
row "...nothing written through the links" \
    test "$(ls "$drive/Buiten")" = victim.txt -a "$(tr -d '\r' <"$drive/Buiten/victim.txt")" = 'van een ander'
row "...the links themselves left as they were" test -L "$drive/Dest/lnk" -a -L "$drive/Dest/f.txt"
row "parity: simulate predicts the files Wine made" cmp "$run/wine-files.txt" "$run/sim-files.txt"
# The failure lines (the /S run also logs the message a wizard would show; simulate shows it).
errors() { tail -n +2 "$1" | tr -d '\r' | grep -v '^Fout tijdens installatie: '; }
row "parity: the same InsErr.log lines" \
    test "$(errors "$drive/Dest/InsErr.log")" = "$(errors "$run/sim/c/Dest/InsErr.log")"
row "parity: the same Uninstal.log records" \
    test "$(errors "$drive/Dest/Uninstal.log")" = "$(errors "$run/sim/c/Dest/Uninstal.log")"
kv_stop_wine

echo "$hostile_rows rows"
kv_finish_run "$run" "$status"
