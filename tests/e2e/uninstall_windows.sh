#!/bin/bash
# The uninstaller on its real Win32 backend, under Wine. The demo product, shipping kvuninst.exe
# as a member copied into the destination and with its extra registration ticked in its own copy
# of the script, and its entry in Windows' list of installed programs, is installed unattended
# (setup.exe /S) with its links and file types. Then: kvuninst.exe beside a log of another folder refuses and touches nothing;
# answered "Nee" it removes nothing; with /S it removes every file, folder, link and key of the
# demo, keeps a file the user added with its folder, says so with a non-zero exit code, and its
# copy in the temporary folder removes kvuninst.exe once it has ended; installed anew, it
# keeps the log and itself while the demo runs, and once the demo has ended and it is answered
# "Ja", it shows what it removes and leaves nothing of the demo at all.
# Usage: uninstall_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE,
# KV_UNINSTALL_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/uninstall_windows"
kv_prepare_run "$run"
product="$run/product"
# The vendor's one addition: the uninstaller copied into the destination with the program, and
# its entry in Windows' list of installed programs, which the uninstaller removes too. The extra
# registration is ticked too, so that the unattended install registers .kvt as well.
kv_stage_demo_uninstaller "$demo" "$product" 's/^\(extrareg01=.*\),false/\1,true/'
grep -q '^extrareg01=.*,true' "$product/setup.txt"
kv_pack_demo "$kvpack" "$product"

status=0
dest="$WINEPREFIX/drive_c/Korvex Demo"
# Wine runs setup.exe elevated: the install is machine-wide, its links in all users' folders.
programs="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
desktop="$WINEPREFIX/drive_c/users/Public/Desktop"
keys=(.kvd KorvexDemo.Document .kvt KorvexDemo.Tekst)
wait_for_wine() { # until every process has ended (the copy removing kvuninst.exe too)
    timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
}
install() { # install LOG
    wait_for_wine # a fresh session: never one whose server is on its way out
    kv_setup_silent "$1" # into the script's default folder, C:\Korvex Demo
    check "installed: $(basename "$1")" test "$setup_code" = 0
    check "kvuninst.exe installed" test -s "$dest/kvuninst.exe"
    check "links made" test -s "$desktop/Korvex Demo.lnk"
}
keys_left() { # the demo's keys still in HKEY_CLASSES_ROOT, and its entry in the list of programs
    for k in "${keys[@]}" "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Korvex Demo"; do
        case $k in HKLM*) key=$k ;; *) key="HKCR\\$k" ;; esac
        if timeout 60 "$KV_WINE64" reg query "$key" >/dev/null 2>>"$run/wine.log"; then
            echo "$k"
        fi
    done
}
uninstall_silent() { # uninstall_silent WINDOWS-PATH-OF-KVUNINST: its exit code
    local code=0
    (cd "$work" && timeout 120 "$KV_WINE64" "$1" /S) >>"$run/wine.log" 2>&1 || code=$?
    wait_for_wine
    echo "$code"
}
robot() { # robot FLOW-FILE LOG
    (cd "$work" && timeout 120 "$KV_WINE64" kvrobot.exe "$1") >"$2" 2>>"$run/wine.log" || true
    cat "$2"
    check "robot $(basename "$1")" grep -qx 'PASS' "$2"
}

install "$run/install1.log"
check "keys and the uninstall entry made" test "$(keys_left | wc -l)" = 5

# Beside the log of another folder: refused, nothing touched.
mkdir -p "$work/elders"
cp "$dest/Uninstal.log" "$dest/kvuninst.exe" "$work/elders/"
check "another folder's log: exit 2" test "$(uninstall_silent 'C:\kvtest\elders\kvuninst.exe')" = 2
check "...nothing removed" test -s "$dest/demo.exe"
check "...its own log kept" test -s "$work/elders/Uninstal.log"

# Answered "Nee": nothing removed, exit 3.
cat >"$work/no.txt" <<'FLOW'
start "C:\\Korvex Demo\\kvuninst.exe"
expect-msgbox "Verwijderen" "Wilt u Korvex Demo verwijderen?"
press No
expect-exit 3
FLOW
robot "$work/no.txt" "$run/no.log"
check "after No: demo.exe stays" test -s "$dest/demo.exe"
check "after No: keys stay" test "$(keys_left | wc -l)" = 5

# /S with a file the user added: everything of the demo goes, the user's file and its folders
# stay, and the exit code says that something stayed.
printf 'mijn aantekeningen\r\n' >"$dest/Documentatie/notities.txt"
check "/S with a user's file: exit 1" test "$(uninstall_silent 'C:\Korvex Demo\kvuninst.exe')" = 1
left=$(cd "$dest" && find . | sort | tr '\n' ' ')
check "only the user's file is left ($left)" \
    test "$left" = ". ./Documentatie ./Documentatie/notities.txt "
check "no Start-menu group" test ! -e "$programs/Korvex Demo"
check "no desktop link" test ! -e "$desktop/Korvex Demo.lnk"
check "no keys ($(keys_left | tr '\n' ' '))" test -z "$(keys_left)"
check "the special folders stay" test -d "$programs" -a -d "$desktop"
check "the temporary copy is removed at the next restart" \
    grep -qa 'kvuninst-' "$WINEPREFIX/system.reg"

# Installed anew without the user's file. A first /S run meets the running demo; once it has
# ended, a second run answered "Ja" lists every record, the close button ends it, and nothing of
# the demo remains.
rm -rf "$dest"
install "$run/install2.log"
records=$(tr -d '\r' <"$dest/Uninstal.log" | grep -cE '^\[(FILE|FOLDER|REG)\]$' || true)
# While the demo runs its file is in use: /S removes the rest, reports failure, and keeps the log
# and itself for a second run.
"$KV_WINE64" 'C:\Korvex Demo\demo.exe' >/dev/null 2>>"$run/wine.log" &
for _ in $(seq 50); do # until the demo's window is up (its file is then mapped)
    timeout 30 "$KV_WINE64" tasklist 2>/dev/null | grep -qi '^demo.exe' && break
    sleep 0.2
done
code=0
(cd "$work" && timeout 120 "$KV_WINE64" 'C:\Korvex Demo\kvuninst.exe' /S) >>"$run/wine.log" 2>&1 ||
    code=$?
check "/S while the demo runs: exit 1" test "$code" = 1
check "...the running demo.exe stays" test -s "$dest/demo.exe"
check "...the log and the uninstaller stay for a second run" \
    test -s "$dest/Uninstal.log" -a -s "$dest/kvuninst.exe"
check "...the rest is gone" test ! -e "$dest/license.txt" -a -z "$(keys_left)"
kv_stop_wine # ends the demo
cat >"$work/yes.txt" <<'FLOW'
start "C:\\Korvex Demo\\kvuninst.exe" "/T=Korvex Demo 2.0"
expect-msgbox "Verwijderen" "Wilt u Korvex Demo 2.0 verwijderen?"
press Yes
wait-window "Korvex Demo 2.0 verwijderen"
expect-enabled 1 1
expect-text 1202 "Korvex Demo 2.0 is verwijderd. Dit programma verwijdert zichzelf zodra het sluit, via een kopie in de tijdelijke map."
read-list 1201
click 1
wait-gone
expect-exit 0
FLOW
robot "$work/yes.txt" "$run/yes.log"
check "the list shows a line per record" \
    grep -qx "list 1201 count=$records" "$run/yes.log"
# Newest record first; what the first run removed is listed as gone already.
check "the list begins with the desktop link" \
    grep -qF "item 0 selected=0 \"Was al weg: C:\\\\users\\\\Public\\\\Desktop\\\\Korvex Demo.lnk\"" "$run/yes.log"
check "the list shows demo.exe removed now" \
    grep -qF '"Verwijderd: C:\\Korvex Demo\\demo.exe"' "$run/yes.log"
check "the list shows itself left for last" \
    grep -qF '"Als laatste: C:\\Korvex Demo\\kvuninst.exe"' "$run/yes.log"
wait_for_wine
check "the destination is gone" test ! -e "$dest"
check "no keys after the dialog" test -z "$(keys_left)"
check "no links after the dialog" test ! -e "$programs/Korvex Demo" -a ! -e "$desktop/Korvex Demo.lnk"

# Answered "Ja" with a file the user added: the report says which folders stay, exit 1.
install "$run/install3.log"
printf 'mijn aantekeningen\r\n' >"$dest/Documentatie/notities.txt"
cat >"$work/report.txt" <<'FLOW'
start "C:\\Korvex Demo\\kvuninst.exe"
expect-msgbox "Verwijderen" "Wilt u Korvex Demo verwijderen?"
press Yes
expect-msgbox "Verwijderen" "Niet alles kon worden verwijderd:\n\nMap bewaard, want niet leeg: C:\\Korvex Demo\\Documentatie\nMap bewaard, want niet leeg: C:\\Korvex Demo"
press OK
wait-window "Korvex Demo verwijderen"
expect-text 1202 "Niet alles kon worden verwijderd."
click 1
wait-gone
expect-exit 1
FLOW
robot "$work/report.txt" "$run/report.log"
wait_for_wine
left=$(cd "$dest" && find . | sort | tr '\n' ' ')
check "after the report only the user's file is left ($left)" \
    test "$left" = ". ./Documentatie ./Documentatie/notities.txt "
kv_stop_wine

kv_finish_run "$run" "$status"
