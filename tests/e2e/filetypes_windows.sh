#!/bin/bash
# A file type borrowed and given back, and a machine-wide install's links, on the real Win32
# backends under Wine. The demo registers .wri, which Wine's WordPad owns (wrifile), instead of
# .kvd, and ships kvuninst.exe with an entry in the list of installed programs. Another program
# has put a ShellNew key and a value under .wri. setup.exe /S (elevated, as Wine runs it):
# .wri names the demo's class, remembers wrifile and keeps the other program's key and value;
# wrifile is untouched; the links are in all users' Start menu and desktop, none in the
# profile of the account that elevated. kvuninst.exe /S: exit 0; .wri names wrifile again with
# the other program's key and value and nothing of the demo; wrifile is as it was; the demo's
# class, entry and links are gone.
# Usage: filetypes_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_UNINSTALL_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/filetypes_windows"
kv_prepare_run "$run"
product="$run/product"
# The demo's script, registering .wri for its class, with the uninstaller and its entry.
kv_stage_demo_uninstaller "$demo" "$product" 's/"KorvexDemo.Document",".kvd"/"KorvexDemo.Document",".wri"/'
grep -q '"KorvexDemo.Document",".wri"' "$product/setup.txt"
kv_pack_demo "$kvpack" "$product"

status=0
drive="$WINEPREFIX/drive_c"
dest="$drive/Korvex Demo"
user=$(ls "$drive/users" | grep -vx Public | head -n 1)
programs="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
desktop="$drive/users/Public/Desktop"
own_programs="$drive/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
own_desktop="$drive/users/$user/Desktop"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvex Demo'
wine_reg() { timeout 60 "$KV_WINE64" reg "$@" 2>>"$run/wine.log" | tr -d '\r'; }
key_there() { timeout 60 "$KV_WINE64" reg query "$1" >/dev/null 2>>"$run/wine.log"; }
# The data of value $2 (/ve: the default) of key $1 as reg query prints it, or "missing".
value_of() {
    local name=(/v "$2")
    [ "$2" = /ve ] && name=(/ve)
    wine_reg query "$1" "${name[@]}" | sed -n 's/^ *[^ ].*  REG_SZ  *//p' | grep . || echo missing
}
links() { # the demo's links below the folders given
    find "$@" -name '*.lnk' -path '*Korvex Demo*' 2>/dev/null | sort
}

# Before: .wri is wrifile's (Wine has it), and another program added a key and a value.
check "Wine's .wri names wrifile" test "$(value_of 'HKCR\.wri' /ve)" = wrifile
wine_reg add 'HKCR\.wri\ShellNew' /v NullFile /d '' /f >/dev/null
wine_reg add 'HKCR\.wri' /v 'Content Type' /d 'application/x-mswrite' /f >/dev/null
wine_reg query 'HKCR\wrifile' /s >"$run/wrifile-before.txt"
check "wrifile has its open command" grep -q 'wordpad' "$run/wrifile-before.txt"

kv_setup_silent "$run/install.log"
cat "$run/install.log"
check "setup.exe /S: exit 0" test "$setup_code" = 0
check "InsErr.log holds its header only" test "$(wc -l <"$dest/InsErr.log")" = 1
check ".wri names the demo's class" test "$(value_of 'HKCR\.wri' /ve)" = KorvexDemo.Document
check ".wri remembers wrifile" test "$(value_of 'HKCR\.wri' KorvexPreviousClass)" = wrifile
check "the other program's key stays" key_there 'HKCR\.wri\ShellNew'
check "the other program's value stays" \
    test "$(value_of 'HKCR\.wri' 'Content Type')" = application/x-mswrite
wine_reg query 'HKCR\wrifile' /s >"$run/wrifile-installed.txt"
check "wrifile untouched by the install" cmp "$run/wrifile-before.txt" "$run/wrifile-installed.txt"
check "the demo's class points into the destination" \
    test "$(value_of 'HKCR\KorvexDemo.Document\DefaultIcon' /ve)" = 'C:\Korvex Demo\demo.exe,0'
check "the entry stands under HKLM" key_there "$entry"
printf '%s\n' "$desktop/Korvex Demo.lnk" "$programs/Korvex Demo/Korvex Demo.lnk" \
    "$programs/Korvex Demo/Leesmij.lnk" | sort >"$run/links-expected.txt"
links "$programs" "$desktop" >"$run/links.txt"
check "the links are in all users' Start menu and desktop" \
    cmp "$run/links-expected.txt" "$run/links.txt"
check "none in the profile of the account that elevated" \
    test -z "$(links "$own_programs" "$own_desktop")"

code=0
(cd "$work" && timeout 120 "$KV_WINE64" 'C:\Korvex Demo\kvuninst.exe' /S) >>"$run/wine.log" 2>&1 ||
    code=$?
timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
check "kvuninst.exe /S: exit 0 ($code)" test "$code" = 0
check ".wri names wrifile again" test "$(value_of 'HKCR\.wri' /ve)" = wrifile
check "...and remembers nothing" test "$(value_of 'HKCR\.wri' KorvexPreviousClass)" = missing
check "...with the other program's key" key_there 'HKCR\.wri\ShellNew'
check "...and value" test "$(value_of 'HKCR\.wri' 'Content Type')" = application/x-mswrite
wine_reg query 'HKCR\wrifile' /s >"$run/wrifile-after.txt"
check "wrifile as it was" cmp "$run/wrifile-before.txt" "$run/wrifile-after.txt"
check "the demo's class is gone" test "$(key_there 'HKCR\KorvexDemo.Document' && echo there)" = ""
check "the entry is gone" test "$(key_there "$entry" && echo there)" = ""
check "the links are gone" test -z "$(links "$programs" "$desktop")"
check "the Start-menu group is gone" test ! -e "$programs/Korvex Demo"
check "all users' folders stay" test -d "$programs" -a -d "$desktop"
check "the destination is gone" test ! -e "$dest"
kv_stop_wine

kv_finish_run "$run" "$status"
