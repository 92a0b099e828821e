#!/bin/bash
# The registry step on its real Win32 backend, under Wine: the demo product packed behind the
# real x86_64 stub, installed through the wizard with the extra registration ticked (and the
# shortcut boxes unticked) by the robot as a person would, registers .kvd and .kvt. reg query shows the extension keys, the classes with their
# friendly names, DefaultIcon and the shell commands; Uninstal.log holds the [REG] records in
# the order the keys were made. A second install after other programs added a verb to the class
# and a key to the extension writes the same keys and keeps theirs. Parity: the registry.reg that kvpack simulate
# writes for the same installer, imported into a fresh prefix with regedit, gives the same keys
# and values as the real run.
# Usage: registry_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/registry_windows"
kv_prepare_run "$run"
product="$run/product"
kv_stage_demo "$demo" "$product"
kv_pack_demo "$kvpack" "$product"
dest="$WINEPREFIX/drive_c/Korvex Demo"
keys=(.kvd KorvexDemo.Document .kvt KorvexDemo.Tekst)

status=0
wine_reg() { timeout 60 "$KV_WINE64" reg "$@" 2>>"$run/wine.log" | tr -d '\r'; }
# The default value of a key as reg query prints it, or "missing".
default_of() { wine_reg query "HKCR\\$1" /ve | sed -n 's/^ *(Default) *REG_SZ *//p' | grep . || echo missing; }
# Every key and value below the demo's four keys, as reg query lists them.
snapshot() { for k in "${keys[@]}"; do wine_reg query "HKCR\\$k" /s || echo "no $k"; done; }
{
    kv_wizard_start_lines 'C:\Korvex Demo' startmenu=0 desktop=0 extrareg=1
    kv_wizard_finish_lines
} >"$work/flow.txt"
install() { # install LOG: the demo into C:\Korvex Demo through the wizard, extrareg ticked
    kv_robot "$work/flow.txt" "$1"
}

# First run: a fresh install.
check "install through the wizard" install "$run/first.log"
exe='C:\Korvex Demo\demo.exe'
check ".kvd names its class" test "$(default_of .kvd)" = KorvexDemo.Document
check "class friendly name" test "$(default_of KorvexDemo.Document)" = "Korvex Demo-document"
check "DefaultIcon" test "$(default_of 'KorvexDemo.Document\DefaultIcon')" = "$exe,0"
check "open command, quotes kept" \
    test "$(default_of 'KorvexDemo.Document\shell\open\command')" = "\"$exe\" \"%1\""
check "print command" \
    test "$(default_of 'KorvexDemo.Document\shell\print\command')" = "\"$exe\" /p \"%1\""
check "no printto key for an empty command" \
    test "$(default_of 'KorvexDemo.Document\shell\printto')" = missing
check ".kvt of reg_associate_01" test "$(default_of .kvt)" = KorvexDemo.Tekst
check "KorvexDemo.Tekst" test "$(default_of KorvexDemo.Tekst)" = "Korvex Demo-tekst"
tr -d '\r' <"$dest/Uninstal.log" | grep -A1 -x '\[REG\]' | grep -v -- -- >"$run/reg-records.txt" || true
printf '%s\n' '[REG]' 'HKEY_CLASSES_ROOT\.kvd' '[REG]' 'HKEY_CLASSES_ROOT\KorvexDemo.Document' \
    '[REG]' 'HKEY_CLASSES_ROOT\.kvt' '[REG]' 'HKEY_CLASSES_ROOT\KorvexDemo.Tekst' >"$run/reg-expected.txt"
check "[REG] records in the order made" cmp "$run/reg-records.txt" "$run/reg-expected.txt"
check "InsErr.log holds its header only" test "$(wc -l <"$dest/InsErr.log")" = 1
snapshot >"$run/first-keys.txt"

# Second run after other programs added a verb to the class and a key to the extension (the
# files removed first, so that no overwrite question is asked): the product's own keys are
# written as they were, and what the others added stays.
wine_reg add 'HKCR\KorvexDemo.Document\shell\edit\command' /ve /d other.exe /f >/dev/null
wine_reg add 'HKCR\.kvd\ShellNew' /v NullFile /d '' /f >/dev/null
check "others' keys planted" test "$(default_of 'KorvexDemo.Document\shell\edit\command')" = other.exe
snapshot >"$run/planted-keys.txt"
rm -rf "$dest"
check "second install through the wizard" install "$run/second.log"
snapshot >"$run/second-keys.txt"
check "installing again keeps others' keys, and its own as they were" \
    cmp "$run/planted-keys.txt" "$run/second-keys.txt"
check "no earlier class remembered for an extension the product made" \
    test -z "$(wine_reg query 'HKCR\.kvd' /v KorvexPreviousClass | grep REG_SZ)"
kv_stop_wine

# Parity: the simulation's registry.reg imported into a fresh prefix reads back the same.
"$kvpack" simulate "$work/setup.exe" --root "$run/sim" --dest 'C:\Korvex Demo' \
    --option startmenu=off --option desktop=off --option extrareg=on >"$run/sim.log" 2>&1 || status=1
mkdir -p "$run/fresh"
cp -a "$KV_TEMPLATE/prefix" "$run/fresh/prefix"
kv_use_prefix "$run/fresh"
cp "$run/sim/registry.reg" "$WINEPREFIX/drive_c/sim.reg"
timeout 60 "$KV_WINE64" regedit /S 'C:\sim.reg' >/dev/null 2>>"$run/wine.log" || status=1
snapshot >"$run/imported-keys.txt"
check "simulated registry.reg imports to the real run's keys" \
    cmp "$run/first-keys.txt" "$run/imported-keys.txt"
kv_stop_wine
rm -rf "$run/fresh"

kv_finish_run "$run" "$status"
