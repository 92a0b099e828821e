#!/bin/bash
# A signed installer: the demo packed behind the real stub and signed afterwards with
# osslsigncode and a throw-away certificate made here. The signature verifies, the packer
# lists, verifies and extracts the signed file (its record walk ends where the certificate
# table begins), refuses to pack onto a signed stub, and reports a file changed after signing;
# under Wine the signed setup.exe installs unattended and /X lists exactly its members.
# Usage: signed_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_DEMO_EXE.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/signed_windows"
rm -rf "$run"
mkdir -p "$run/product"
cp "$demo"/setup.txt "$demo"/license.txt "$demo"/welcome.txt "$demo"/readme.txt \
    "$demo"/banner.bmp "$run/product/"
cp "$KV_DEMO_EXE" "$run/product/demo.exe"
cd "$run"

status=0
check() { # check DESCRIPTION COMMAND...: runs the command, reports and records a failure
    local what=$1
    shift
    if "$@" >>"$run/check.log" 2>&1; then echo "ok   $what"; else echo "FAIL $what"; status=1; fi
}
fails() { ! "$@"; }

openssl req -x509 -newkey rsa:2048 -keyout key.pem -out cert.pem -days 2 -nodes \
    -subj "/CN=Korvex Setup test" >/dev/null 2>&1
"$kvpack" pack --quiet -o setup.exe --stub "$KV_SETUP_EXE" product
osslsigncode sign -certs cert.pem -key key.pem -in setup.exe -out signed.exe >/dev/null

check "osslsigncode verifies the signature" osslsigncode verify -CAfile cert.pem signed.exe
check "kvpack verify reads every member and the signature" \
    "$kvpack" verify signed.exe --against product
check "kvpack list shows exactly the members" \
    test "$("$kvpack" list signed.exe | tail -1 | awk '{print $1}')" = 6
check "kvpack extract unpacks the members" "$kvpack" extract signed.exe -C out '*.*'
check "extracted members are the product's" diff -r product out
check "packing onto a signed stub is refused" fails "$kvpack" pack --quiet -o again.exe \
    --stub signed.exe product
check "the refusal says why" grep -q 'is signed: pack first, then sign' "$run/check.log"

cp signed.exe changed.exe
printf 'X' | dd of=changed.exe bs=1 seek=2000 conv=notrunc 2>/dev/null
check "a byte changed after signing is reported" fails "$kvpack" verify changed.exe
cp signed.exe appended.exe
echo extra >>appended.exe
check "bytes appended after signing are reported" fails "$kvpack" verify appended.exe
check "both reports say the signature no longer covers the file" \
    test "$(grep -c 'signature no longer covers the file' "$run/check.log")" = 2

# Under Wine: the signed installer as setup.exe in a fresh prefix.
signed="$run/signed.exe"
wine_run="$KV_E2E_WORK/runs/signed_windows_wine"
kv_prepare_run "$wine_run"
cp "$signed" "$work/setup.exe"
kv_setup_silent "$wine_run/setup.log"
check "the signed installer installs (/S exits 0)" test "$setup_code" = 0
check "its files are there" cmp -s "$WINEPREFIX/drive_c/Korvex Demo/license.txt" \
    "$run/product/license.txt"
cat >"$work/list.txt" <<'FLOW'
start setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
expect-list-count 1035 6
click 2
wait-gone
expect-exit 0
FLOW
check "/X lists exactly the six members" kv_robot "$work/list.txt" "$wine_run/robot.log"
kv_stop_wine
[ "$status" = 0 ] && [ "${KV_E2E_KEEP:-0}" != 1 ] && rm -rf "$wine_run"

kv_finish_run "$run" "$status"
