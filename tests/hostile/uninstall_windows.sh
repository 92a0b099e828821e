#!/bin/bash
# The real kvuninst.exe under Wine after a real setup.exe /S install of the demo, against what
# an attacker plants: Unix symlinks inside the prefix (which Win32 programs take for links to
# another folder or file), forged log lines (documents on the user's and all users' desktop,
# Wine's own txtfile and htmlfile, another product's entry), a forged class to give .kvd back
# to, a log edited after an elevated install, a log planted in the destination before an
# install, and the clean-up flag typed by hand. Every row: what must not happen did not, and
# the refusal shows (exit code, or the report the user reads).
# Usage: uninstall_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_UNINSTALL_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/hostile_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/hostile_uninstall_windows"
kv_prepare_run "$run"
status=0

# Two products: the demo shipping kvuninst.exe, and the same with an entry in the list of
# installed programs (sealed with its log's digest, under HKLM: Wine runs elevated).
for variant in plain sealed; do
    product="$run/$variant"
    kv_stage_demo "$demo" "$product"
    cp "$KV_UNINSTALL_EXE" "$product/kvuninst.exe"
    awk '{ print } /^copy_files\r?$/ { block = 1 }
         block && /^\{\r?$/ { print "\t\"Verwijderprogramma\", [source]kvuninst.exe, [dest]\\*.*, overwrite_always\r"; block = 0 }' \
        "$demo/setup.txt" >"$product/setup.txt"
    if [ "$variant" = sealed ]; then
        printf 'uninstall="Korvex Demo","[dest]\\kvuninst.exe","Korvex","1.0"\r\n' >>"$product/setup.txt"
    fi
    "$kvpack" pack --quiet -o "$work/$variant.exe" --stub "$KV_SETUP_EXE" "$product"
done

drive="$WINEPREFIX/drive_c"
dest="$drive/Prog"
elders="$drive/Elders"
user=$(ls "$drive/users" | grep -vx Public | head -n 1)
desktop="$drive/users/$user/Desktop"   # the user's own, open to the uninstaller for old logs
public="$drive/users/Public/Desktop"   # all users': Wine runs setup.exe elevated, links go here
listing='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
wine_reg() { timeout 60 "$KV_WINE64" reg "$@" 2>>"$run/wine.log" | tr -d '\r'; }
key_there() { timeout 60 "$KV_WINE64" reg query "$1" >/dev/null 2>>"$run/wine.log"; }
install() { # install plain|sealed: a fresh install into C:\Prog
    timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
    rm -rf "$dest" "$elders"
    cp "$work/$1.exe" "$work/setup.exe"
    kv_setup_silent "$run/setup.log" '/D=C:\Prog'
    check "installed ($1)" test "$setup_code" = 0 -a -s "$dest/kvuninst.exe"
    mkdir -p "$elders"
}
launch() { # launch PROGRAM ARGS...: its exit code in $code, once every process has ended
    code=0
    (cd "$work" && timeout 120 "$KV_WINE64" "$@") >>"$run/wine.log" 2>&1 || code=$?
    timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
}
uninstall() { launch 'C:\Prog\kvuninst.exe' /S; }
forge() { printf '%s\r\n' "$@" >>"$dest/Uninstal.log"; } # forge KIND TEXT...: appended records

# Links inside the prefix: the installed Documentatie folder and demo.exe replaced by Unix
# symlinks into C:\Elders, which holds files of the same names.
install plain
mkdir -p "$elders/Voorbeelden"
printf 'van een ander\r\n' | tee "$elders/readme.txt" "$elders/Voorbeelden/voorbeeld.kvd" \
    "$elders/victim.exe" >/dev/null
rm -rf "$dest/Documentatie" "$dest/demo.exe"
ln -s ../Elders "$dest/Documentatie"
ln -s ../Elders/victim.exe "$dest/demo.exe"
uninstall
row "symlinked folder and file: exit 1 ($code)" test "$code" = 1
row "...nothing behind the folder link deleted" \
    test -s "$elders/readme.txt" -a -s "$elders/Voorbeelden/voorbeeld.kvd" -a -d "$elders/Voorbeelden"
row "...the file behind the file link kept" test -s "$elders/victim.exe"
row "...the links themselves left (Wine cannot remove one without its target)" \
    test -L "$dest/Documentatie" -a -L "$dest/demo.exe"
row "...the rest of the demo removed" test ! -e "$dest/license.txt" -a ! -e "$public/Korvex Demo.lnk"

# Forged lines in the log of an install that made no entry (nothing seals it): documents on
# all users' and the user's desktop, Wine's own classes, another product's entry. The user reads
# every refusal. And the class .kvd is to be given back to, forged to exefile: it is not.
install plain
printf 'ons werk\r\n' >"$public/Gedeeld.txt"
printf 'mijn werk\r\n' >"$desktop/Belangrijk.txt"
wine_reg add "$listing\\Ander" /v UninstallString /d '"C:\Ander\uninst.exe"' /f >/dev/null
wine_reg add 'HKCR\.kvd' /v KorvexPreviousClass /d exefile /f >/dev/null
forge '[FILE]' 'C:\users\Public\Desktop\Gedeeld.txt' \
    '[FILE]' "C:\\users\\$user\\Desktop\\Belangrijk.txt" '[REG]' 'HKEY_CLASSES_ROOT\txtfile' \
    '[REG]' 'HKEY_CLASSES_ROOT\htmlfile' '[REG]' "HKEY_LOCAL_MACHINE\\${listing#HKLM\\}\\Ander"
cat >"$work/forged.txt" <<FLOW
start "C:\\\\Prog\\\\kvuninst.exe"
expect-msgbox "Verwijderen" "Wilt u Prog verwijderen?"
press Yes
expect-msgbox "Verwijderen" "Niet alles kon worden verwijderd:\n\nGeweigerd, niet van deze installatie: HKEY_LOCAL_MACHINE\\\\Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Ander\nGeweigerd, niet van deze installatie: HKEY_CLASSES_ROOT\\\\htmlfile\nGeweigerd, niet van deze installatie: HKEY_CLASSES_ROOT\\\\txtfile\nGeweigerd, geen snelkoppeling: C:\\\\users\\\\$user\\\\Desktop\\\\Belangrijk.txt\nGeweigerd, geen snelkoppeling: C:\\\\users\\\\Public\\\\Desktop\\\\Gedeeld.txt"
press OK
wait-window "Prog verwijderen"
click 1
wait-gone
expect-exit 1
FLOW
row "forged lines: each refusal reported" kv_robot "$work/forged.txt" "$run/forged.log"
timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
row "...the desktop documents kept" test -s "$desktop/Belangrijk.txt" -a -s "$public/Gedeeld.txt"
row "...Wine's txtfile kept" key_there 'HKCR\txtfile\shell\open\command'
row "...Wine's htmlfile kept" key_there 'HKCR\htmlfile'
row "...the other product's entry kept" key_there "$listing\\Ander"
row "...the demo's class removed" test "$(key_there 'HKCR\KorvexDemo.Document' && echo there)" = ""
row "...and .kvd not given to exefile" test -z "$(wine_reg query 'HKCR\.kvd' /ve | grep -i exefile)"

# A line added to the log of the elevated install: refused whole, nothing removed.
install sealed
row "the entry is sealed with the log's digest" \
    test "$(wine_reg query "$listing\\Korvex Demo" /v KorvexLogDigest | awk '/KorvexLogDigest/ { print $3 }')" \
    = "$(sha256sum <"$dest/Uninstal.log" | cut -c1-64)"
forge '[FILE]' "C:\\users\\$user\\Desktop\\Belangrijk.txt"
uninstall
row "log edited after an elevated install: exit 2 ($code)" test "$code" = 2
row "...nothing removed" test -s "$dest/demo.exe" -a -s "$public/Korvex Demo.lnk" -a -s "$desktop/Belangrijk.txt"
row "...the demo's keys kept" key_there 'HKCR\.kvd'
row "...its entry kept" key_there "$listing\\Korvex Demo"

# The clean-up flag typed by hand: from a copy outside the folder the uninstaller makes for it,
# and from such a folder naming a file of kvuninst.exe's size with other bytes.
cp "$KV_UNINSTALL_EXE" "$work/kvuninst.exe"
launch 'C:\kvtest\kvuninst.exe' '/_KVCLEANUP=1' 'C:\Prog\kvuninst.exe'
row "clean-up typed by hand: exit 2 ($code)" test "$code" = 2
row "...the installed kvuninst.exe kept" test -s "$dest/kvuninst.exe"
temp=$(timeout 60 "$KV_WINE64" cmd /c echo %TEMP% 2>>"$run/wine.log" | tr -d '\r')
temp_unix="$drive/${temp#C:\\}"
temp_unix=${temp_unix//\\//}
mkdir -p "$temp_unix/kvuninst-77"
cp "$KV_UNINSTALL_EXE" "$temp_unix/kvuninst-77/kvuninst.exe"
head -c "$(stat -c %s "$KV_UNINSTALL_EXE")" /dev/zero >"$work/same.exe"
launch "$temp\\kvuninst-77\\kvuninst.exe" '/_KVCLEANUP=77' 'C:\kvtest\same.exe'
row "clean-up given a file of the same size: exit 2 ($code)" test "$code" = 2
row "...that file kept" test -s "$work/same.exe"

# A log a user planted in a folder prepared for the install, before the administrator installs
# there: with no sealed entry of the product to vouch for it, only records inside the folder may
# be carried into the new log, so the uninstall that follows cannot reach the desktop or beyond.
timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
rm -rf "$dest" "$elders"
mkdir -p "$dest" "$elders" "$public"
echo shared >"$public/Gedeeld.txt"
echo victim >"$elders/victim.txt"
printf '%s\r\n' 'UninstallLog created: 01-01-2026 00:00:00.0000' '[DEFFOLDER]' 'C:\Prog' \
    '[FILE]' 'C:\users\Public\Desktop\Gedeeld.txt' '[FILE]' 'C:\Elders\victim.txt' >"$dest/Uninstal.log"
cp "$work/plain.exe" "$work/setup.exe"
kv_setup_silent "$run/planted.log" '/D=C:\Prog'
row "log planted before the install: installed ($setup_code)" test "$setup_code" = 0
row "...its records outside the folder not carried" \
    test -z "$(grep -i -e Gedeeld -e victim "$dest/Uninstal.log")"
uninstall
row "...the uninstall after it keeps the desktop document" test -s "$public/Gedeeld.txt"
row "...and the file outside every area" test -s "$elders/victim.txt"
kv_stop_wine

echo "$hostile_rows hostile rows"
kv_finish_run "$run" "$status"
