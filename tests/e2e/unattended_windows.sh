#!/bin/bash
# The unattended install on the real x86_64 setup.exe under Wine: the demo product, with an
# uninstall line added to its script, installs with `setup.exe /S /D=C:\Elders` without any
# window, exits 0, leaves the files and an Uninstal.log byte for byte as the native simulation
# of the same command writes it (its time line aside), and lists the product in Windows' list
# of installed programs (reg query) under the root its [REG] record names. A second /S replaces
# a changed file the log names (the product's), /O replaces it too, unknown options are
# ignored. Failures give their exit codes and InsErr.log lines: a vital copy that cannot be
# made stops the install (2), a file that cannot be made installs the rest (1), a destination
# that cannot be made stops it before any log (2).
# Usage: unattended_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/unattended_windows"
kv_prepare_run "$run"
product="$run/product"
mkdir -p "$product"
cp "$demo"/setup.txt "$demo"/license.txt "$demo"/welcome.txt "$demo"/readme.txt \
    "$demo"/banner.bmp "$product/"
cp "$KV_DEMO_EXE" "$product/demo.exe"
printf 'uninstall="Korvex Demo","[dest]\\kvuninst.exe","Korvex","1.0"\r\n' >>"$product/setup.txt"
"$kvpack" pack --quiet -o "$work/setup.exe" --stub "$KV_SETUP_EXE" "$product"
drive="$WINEPREFIX/drive_c"
dest="$drive/Elders"

status=0
setup() { # setup ARGUMENTS...: runs setup.exe with them; its exit code in $code
    code=0
    (cd "$work" && timeout 120 "$KV_WINE64" setup.exe "$@") >>"$run/setup.log" 2>>"$run/wine.log" ||
        code=$?
    echo "setup.exe $* -> exit $code" >>"$run/setup.log"
}
errors() { tail -n +2 "$1" | tr -d '\r'; } # InsErr.log after its time line
wine_reg() { timeout 60 "$KV_WINE64" reg "$@" 2>>"$run/wine.log" | tr -d '\r'; }
reg_exists() { timeout 60 "$KV_WINE64" reg query "$1" >/dev/null 2>>"$run/wine.log"; }

# An unattended install into the folder of /D=. Nobody presses anything here: a wizard or a
# message box would hold setup.exe until the timeout (exit 124).
setup /S /D='C:\Elders'
check "exit 0, nothing waited for an answer" test "$code" = 0
for f in demo.exe license.txt Documentatie/readme.txt Documentatie/Voorbeelden/voorbeeld.kvd; do
    check "installed $f" cmp -s "$dest/$f" "$product/$(basename "$f" | sed 's/voorbeeld.kvd/welcome.txt/')"
done
check "InsErr.log holds its time line only" test "$(errors "$dest/InsErr.log")" = ""

# The uninstall entry, under the root that the [REG] record names (HKLM when elevated), sealed
# with the digest of the finished log.
key=$(tr -d '\r' <"$dest/Uninstal.log" | grep -A1 -x '\[REG\]' | grep 'CurrentVersion\\Uninstall' || true)
check "[REG] record of the uninstall entry" test -n "$key"
case "$key" in
HKEY_LOCAL_MACHINE\\*) root=HKLM other=HKCU elevated=--elevated ;;
*) root=HKCU other=HKLM elevated= ;;
esac
echo "     the entry stands under $root"
entry='Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvex Demo'
# EstimatedSize: the files the finished log names (the links and InsErr.log among them).
size=$(tr -d '\r' <"$dest/Uninstal.log" | grep -A1 -x '\[FILE\]' | grep -v -x -e '\[FILE\]' -e '--' |
    sed "s|^C:|$drive|; s|\\\\|/|g" | while IFS= read -r f; do cat "$f"; done | wc -c)
kb=$(((size + 1023) / 1024))
wine_reg query "$root\\$entry" | sed -n 's/^ \{4\}//p' | sort >"$run/entry.txt" || true
printf '%s\n' \
    "DisplayIcon    REG_SZ    C:\\Elders\\kvuninst.exe" \
    "DisplayName    REG_SZ    Korvex Demo" \
    "DisplayVersion    REG_SZ    1.0" \
    "EstimatedSize    REG_DWORD    $(printf '0x%x' "$kb")" \
    "InstallLocation    REG_SZ    C:\\Elders" \
    "KorvexLogDigest    REG_SZ    $(sha256sum <"$dest/Uninstal.log" | cut -c1-64)" \
    "NoModify    REG_DWORD    0x1" \
    "NoRepair    REG_DWORD    0x1" \
    "Publisher    REG_SZ    Korvex" \
    "QuietUninstallString    REG_SZ    \"C:\\Elders\\kvuninst.exe\" /S" \
    "UninstallString    REG_SZ    \"C:\\Elders\\kvuninst.exe\"" | sort >"$run/entry-expected.txt"
check "reg query shows the entry's values" cmp "$run/entry.txt" "$run/entry-expected.txt"
check "reg query finds it" reg_exists "$root\\$entry"
check "nothing under $other" test "$(reg_exists "$other\\$entry" && echo there)" = ""

# Parity: the native simulation of the same command writes the same Uninstal.log.
user=$(ls "$drive/users" | grep -vx Public | head -n 1)
"$kvpack" simulate "$work/setup.exe" --root "$run/sim" --dest 'C:\Elders' --user "$user" \
    $elevated >"$run/sim.log" 2>&1 || status=1
tail -n +2 "$dest/Uninstal.log" >"$run/wine-uninstal.tail"
tail -n +2 "$run/sim/c/Elders/Uninstal.log" >"$run/sim-uninstal.tail"
check "Uninstal.log as simulated" cmp "$run/wine-uninstal.tail" "$run/sim-uninstal.tail"

# Again over the installed product: a changed file that the log names is the product's and
# replaced (an upgrade), unknown options are ignored; /O replaces it as well.
printf 'changed\r\n' >"$dest/demo.exe"
setup /S /Q /verbose /D='C:\Elders'
check "second run: exit 0" test "$code" = 0
check "changed demo.exe, the product's, replaced" cmp -s "$dest/demo.exe" "$product/demo.exe"
printf 'changed again\r\n' >"$dest/demo.exe"
setup /s /o /D='C:\Elders'
check "/O: exit 0" test "$code" = 0
check "/O: demo.exe replaced" cmp -s "$dest/demo.exe" "$product/demo.exe"

# A vital file that cannot be made (a folder of its name is in the way): stopped, exit 2.
mkdir -p "$drive/Bad/demo.exe"
setup /S /D='C:\Bad'
check "vital copy failed: exit 2" test "$code" = 2
printf '%s\n' 'CopyFile(1) Failed: 5' "Attempted to create file 'C:\\Bad\\demo.exe'" \
    'Fout tijdens installatie: Niet alle bestanden konden worden gekopieerd.' >"$run/bad-expected.txt"
errors "$drive/Bad/InsErr.log" >"$run/bad.txt"
check "its InsErr.log lines" cmp "$run/bad.txt" "$run/bad-expected.txt"
check "nothing copied after it" test ! -e "$drive/Bad/license.txt"

# A file that is not vital cannot be made: the rest is installed, exit 1.
mkdir -p "$drive/Half/Documentatie/readme.txt"
setup /S /D='C:\Half'
check "a file failed: exit 1" test "$code" = 1
printf '%s\n' 'CopyFile(1) Failed: 5' "Attempted to create file 'C:\\Half\\Documentatie\\readme.txt'" \
    "Fout tijdens installatie: Fout tijdens 'Leesmij' De installatie wordt voortgezet" \
    >"$run/half-expected.txt"
errors "$drive/Half/InsErr.log" >"$run/half.txt"
check "its InsErr.log lines" cmp "$run/half.txt" "$run/half-expected.txt"
check "the rest installed" cmp -s "$drive/Half/license.txt" "$product/license.txt"

# A destination that cannot be made (below a file): exit 2, and no log can be written.
setup /S /D='C:\Elders\license.txt\Sub'
check "unwritable destination: exit 2" test "$code" = 2
check "nothing made there" test ! -e "$dest/license.txt/Sub"
kv_stop_wine

kv_finish_run "$run" "$status"
