#!/bin/bash
# Signatures under Wine, against the real x86_64 programs. A signed --pck installer vouches for
# its setup.pck through the digest its stub carries: with the .pck altered after packing,
# setup.exe refuses it before reading a record (/S with exit code 7 and nothing installed, /X
# and the wizard with the fatal message); unaltered, it installs. kvpack.exe, which verifies
# with the system's own cryptography, approves the good signature and no forged one.
# Usage: signature_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_KVPACK_EXE, KV_DEMO_EXE.
set -euo pipefail
. "$(dirname "$0")/hostile_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/hostile_signature"
kv_prepare_run "$run"
cp "$KV_KVPACK_EXE" "$work/kvpack.exe"
kv_stage_demo "$demo" "$run/product"
status=0
fails() { ! "$@"; }

openssl req -x509 -newkey rsa:2048 -keyout "$run/key.pem" -out "$work/cert.pem" -days 2 -nodes \
    -subj "/CN=Korvex hostile test" >/dev/null 2>&1
mkdir -p "$run/packed"
"$kvpack" pack --quiet --pck -o "$run/packed/setup.exe" --stub "$KV_SETUP_EXE" "$run/product"
rm -f "$work/setup.exe" # the bare stub kv_prepare_run put there
osslsigncode sign -certs "$work/cert.pem" -key "$run/key.pem" -in "$run/packed/setup.exe" \
    -out "$work/setup.exe" >/dev/null
cp "$run/packed/setup.pck" "$run/setup.pck.good"
# The altered archive: one byte of the last member's packed data, every record in its place.
cp "$run/setup.pck.good" "$work/setup.pck"
size=$(stat -c %s "$work/setup.pck")
printf '\x5a' | dd of="$work/setup.pck" bs=1 seek=$((size - 40)) conv=notrunc 2>/dev/null

dest="$WINEPREFIX/drive_c/Korvex Demo"
kv_setup_silent "$run/setup.log"
row "an altered setup.pck: /S exits 7" test "$setup_code" = 7
row "an altered setup.pck: nothing installed, no log" test ! -e "$dest"
cat >"$work/extract.txt" <<'FLOW'
start setup.exe /X
expect-msgbox "Installatie onmogelijk" "Het archiefbestand setup.pck is gewijzigd of beschadigd."
press OK
expect-exit 0
FLOW
row "an altered setup.pck: /X refuses it" kv_robot "$work/extract.txt" "$run/extract.log"
cat >"$work/wizard.txt" <<'FLOW'
start setup.exe
expect-msgbox "Installatie onmogelijk" "Het archiefbestand setup.pck is gewijzigd of beschadigd."
press OK
expect-exit 0
FLOW
row "an altered setup.pck: the wizard refuses it" kv_robot "$work/wizard.txt" "$run/wizard.log"

cp "$run/setup.pck.good" "$work/setup.pck"
kv_setup_silent "$run/setup.log"
check "the unaltered installer installs (/S exits 0)" test "$setup_code" = 0
check "its files are there" cmp -s "$dest/license.txt" "$run/product/license.txt"

# kvpack.exe on the signed stub, on a forgery Wine's own WinVerifyTrust approves (an image byte
# changed and its digest put in the signed content), and on a flipped signature value.
python3 - "$work/setup.exe" "$work" <<'PY'
import hashlib, struct, sys
good = open(sys.argv[1], 'rb').read()
optional = struct.unpack_from('<I', good, 0x3c)[0] + 24
directory = optional + (112 if good[optional + 1] == 2 else 96) + 32
checksum, table = optional + 64, struct.unpack_from('<I', good, directory)[0]
def digest(b):
    return hashlib.sha256(b[:checksum] + b[checksum + 4:directory] + b[directory + 8:table]).digest()
forged = bytearray(good)
at = forged.find(b'\x04\x20' + digest(good))
forged[0x400] ^= 1
forged[at + 2:at + 34] = digest(forged)
open(sys.argv[2] + '/forged.exe', 'wb').write(forged)
flipped = bytearray(good)
flipped[flipped.rfind(b'\x04\x82\x01\x00') + 104] ^= 1
open(sys.argv[2] + '/flipped.exe', 'wb').write(flipped)
PY
for f in forged flipped; do cp "$work/setup.pck" "$work/$f.pck"; done
wine_kvpack() { (cd "$work" && "$KV_WINE64" kvpack.exe "$@") >>"$run/kvpack.log" 2>&1; }
check "kvpack.exe verifies the good signature and its .pck" \
    wine_kvpack verify setup.exe --ca-file cert.pem
check "and says so" grep -q 'the signature covers the archive through it' "$run/kvpack.log"
row "kvpack.exe refuses the forged signed content" fails wine_kvpack verify forged.exe
row "kvpack.exe refuses the flipped signature value" fails wine_kvpack verify flipped.exe
check "both say the signature is broken" \
    test "$(grep -c 'the signature is broken' "$run/kvpack.log")" = 2
kv_stop_wine

echo "$hostile_rows hostile rows"
kv_finish_run "$run" "$status"
