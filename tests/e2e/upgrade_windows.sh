#!/bin/bash
# An upgrade as a person and a vendor meet it, on the real Win32 backends under Wine. The demo
# ships kvuninst.exe with an entry in the list of installed programs and registers .wri, which
# Wine's WordPad owns (wrifile). Version 1 installs with /S; the user adds a file of their own
# in the install folder; version 2 (no voorbeeld.kvd, a changed demo.exe and readme.txt) installs
# into the same folder, once with /S and once through the wizard (the robot answers the
# overwrite questions "Ja"); then kvuninst.exe /S. Afterwards version 2's files were there, the
# user's file is the only thing left in the folder (exit 1 says something stayed), nothing of
# either version is left, the links were in all users' folders and are gone, and .wri names
# wrifile again with wrifile's class untouched.
# Usage: upgrade_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_UNINSTALL_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
base="$KV_E2E_WORK/runs/upgrade_windows"
status=0
mkdir -p "$base"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvex Demo'
wine_reg() { timeout 60 "$KV_WINE64" reg "$@" 2>>"$run/wine.log" | tr -d '\r'; }
key_there() { timeout 60 "$KV_WINE64" reg query "$1" >/dev/null 2>>"$run/wine.log"; }
value_of() { # the data of value $2 (/ve: the default) of key $1, or "missing"
    local name=(/v "$2")
    [ "$2" = /ve ] && name=(/ve)
    wine_reg query "$1" "${name[@]}" | sed -n 's/^ *[^ ].*  REG_SZ  *//p' | grep . || echo missing
}

# The two versions, packed once: version 2 drops the Voorbeeld entry, changes readme.txt and
# carries bytes behind demo.exe's image (it still runs), and says 2.0 in its entry.
stage() { # stage FOLDER VERSION [sed expressions]
    local folder=$1 version=$2
    shift 2
    kv_stage_demo_uninstaller "$demo" "$folder" 's/"KorvexDemo.Document",".kvd"/"KorvexDemo.Document",".wri"/' "$@"
    sed -i "s/\"Korvex\",\"1.0\"/\"Korvex\",\"$version\"/" "$folder/setup.txt"
}
stage "$base/v1" 1.0
stage "$base/v2" 2.0 '/"Voorbeeld", \[source\]welcome.txt/d'
printf 'Korvex Demo 2.0\r\n' >>"$base/v2/readme.txt"
printf 'version 2' >>"$base/v2/demo.exe"
grep -q '"Korvex","2.0"' "$base/v2/setup.txt"
! grep -q 'voorbeeld.kvd' "$base/v2/setup.txt"
for v in v1 v2; do
    "$kvpack" pack --quiet -o "$base/setup-$v.exe" --stub "$KV_SETUP_EXE" "$base/$v"
done

# One upgrade in a fresh prefix: version 2 installed as $1 says (silent or wizard).
upgrade() {
    local how=$1 code=0
    run="$base/$how"
    kv_prepare_run "$run"
    local drive="$WINEPREFIX/drive_c" dest="$WINEPREFIX/drive_c/Korvex Demo"
    local programs="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
    local desktop="$drive/users/Public/Desktop"
    echo "--- version 2 through: $how"
    wine_reg query 'HKCR\wrifile' /s >"$run/wrifile-before.txt"

    cp "$base/setup-v1.exe" "$work/setup.exe"
    kv_setup_silent "$run/install.log"
    check "$how: version 1 installed (/S)" test "$setup_code" = 0
    check "$how: .wri borrowed from wrifile" test "$(value_of 'HKCR\.wri' /ve)" = KorvexDemo.Document
    printf 'mijn eigen notities\r\n' >"$dest/notities.txt"

    cp "$base/setup-v2.exe" "$work/setup.exe"
    if [ "$how" = silent ]; then
        kv_setup_silent "$run/install.log"
        check "$how: version 2 installed (/S): exit 0" test "$setup_code" = 0
    else
        {
            kv_wizard_start_lines 'C:\Korvex Demo'
            cat <<'FLOW'
wait-window "Installatie"
expect-text 1030 "Dit bestand bestaat al. Wilt u het bestand overschrijven ?\n\n'C:\\Korvex Demo\\demo.exe'"
click 6
wait-gone
wait-window "Installatie"
expect-text 1030 "Dit bestand bestaat al. Wilt u het bestand overschrijven ?\n\n'C:\\Korvex Demo\\Documentatie\\readme.txt'"
click 6
wait-gone
FLOW
            kv_wizard_finish_lines
        } >"$work/upgrade.txt"
        check "$how: version 2 installed through the wizard" kv_robot "$work/upgrade.txt" "$run/robot.log"
    fi
    kv_stop_wine
    check "$how: demo.exe is version 2's" cmp "$dest/demo.exe" "$base/v2/demo.exe"
    check "$how: readme.txt is version 2's" cmp "$dest/Documentatie/readme.txt" "$base/v2/readme.txt"
    check "$how: the user's file untouched" grep -q 'mijn eigen notities' "$dest/notities.txt"
    check "$how: InsErr.log holds its header only" test "$(wc -l <"$dest/InsErr.log")" = 1
    check "$how: the entry says 2.0" test "$(value_of "$entry" DisplayVersion)" = 2.0
    check "$how: one log names version 1's voorbeeld.kvd" \
        grep -q 'Voorbeelden\\voorbeeld.kvd' "$dest/Uninstal.log"
    check "$how: ...and each record once" \
        test -z "$(tail -n +4 "$dest/Uninstal.log" | paste - - | sort | uniq -d)"
    check "$how: the links in all users' folders" test -s "$desktop/Korvex Demo.lnk" -a \
        -s "$programs/Korvex Demo/Korvex Demo.lnk"

    (cd "$work" && timeout 120 "$KV_WINE64" 'C:\Korvex Demo\kvuninst.exe' /S) >>"$run/wine.log" 2>&1 ||
        code=$?
    timeout 120 "$KV_WINESERVER" -w 2>/dev/null || true
    check "$how: kvuninst.exe /S: exit 1, the user's file stayed ($code)" test "$code" = 1
    check "$how: the user's file is all that is left" \
        test "$(cd "$dest" && find . -mindepth 1)" = ./notities.txt
    check "$how: the links are gone" test -z "$(find "$programs" "$desktop" -path '*Korvex Demo*')"
    check "$how: .wri names wrifile again" test "$(value_of 'HKCR\.wri' /ve)" = wrifile
    check "$how: ...and remembers nothing" test "$(value_of 'HKCR\.wri' KorvexPreviousClass)" = missing
    wine_reg query 'HKCR\wrifile' /s >"$run/wrifile-after.txt"
    check "$how: wrifile as it was" cmp "$run/wrifile-before.txt" "$run/wrifile-after.txt"
    check "$how: the demo's class is gone" test "$(key_there 'HKCR\KorvexDemo.Document' && echo there)" = ""
    check "$how: the entry is gone" test "$(key_there "$entry" && echo there)" = ""
    kv_stop_wine
}

upgrade silent
upgrade wizard
run=$base
kv_finish_run "$base" "$status"
