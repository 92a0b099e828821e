#!/bin/bash
# The Windows packer under Wine: kvpack.exe packs a small product, and its listing, its
# verification and the members it extracts agree with the native packer's reading of the
# same installer. Vendors on Windows use this build; nothing else runs it. A member and a folder
# named outside the ANSI code page keep their names: kvpack.exe stores UTF-8, as kvpack does.
# Usage: kvpack_windows.sh NATIVE-KVPACK
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_KVPACK_EXE, optional KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

native=$1
run="$KV_E2E_WORK/runs/kvpack_windows"
kv_prepare_run "$run"
cp "$KV_KVPACK_EXE" "$work/kvpack.exe"
mkdir -p "$work/product/docs"
printf 'steps\r\n{\r\nshowwelcome\r\nstartinstall\r\n}\r\n' >"$work/product/setup.txt"
head -c 70000 /dev/urandom >"$work/product/data.bin"
printf 'Korvex Setup regel %s\r\n' $(seq 3000) >"$work/product/docs/lees mij.txt"
mkdir -p "$work/product/Ωμέγα"
printf 'een naam buiten de codetabel\r\n' >"$work/product/Ωμέγα/Ünïcödé ĞŞ.txt"

status=0
wine_kvpack() { (cd "$work" && "$KV_WINE64" kvpack.exe "$@") 2>>"$run/wine.log"; }
wine_kvpack pack --quiet -o out.exe --stub setup.exe product || status=1
wine_kvpack verify out.exe --against product || status=1
wine_kvpack extract out.exe -C unpacked '*.*' >/dev/null || status=1
kv_stop_wine

# The native packer must read the Windows packer's installer member for member.
"$native" verify "$work/out.exe" --against "$work/product" || status=1
for f in setup.txt data.bin "docs/lees mij.txt" "Ωμέγα/Ünïcödé ĞŞ.txt"; do
    cmp "$work/product/$f" "$work/unpacked/$f" || status=1
done
[ "$("$native" list "$work/out.exe" | grep -c 'lees mij.txt')" = 1 ] || status=1
[ "$("$native" list "$work/out.exe" | grep -c 'Ünïcödé ĞŞ.txt')" = 1 ] || status=1

kv_finish_run "$run" "$status"
