#!/bin/bash
# setup.exe /X under Wine, driven by the robot: the demo product (with one member in a folder
# and one name in mixed case) is listed sorted with its dates and sizes, selected, refused and
# accepted folders are tried, and what is unpacked is compared byte for byte with its source.
# A second installer (--pck) holds two hostile names, crafted into the archive after packing
# because kvpack will not pack them: they are refused by name while the others unpack.
# Usage: extract_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_DEMO_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
run="$KV_E2E_WORK/runs/extract_windows"
kv_prepare_run "$run"
export TZ=UTC # the dates the list shows come from the files' times, taken here in UTC

status=0
robot() { # robot NAME: runs the flow in $work/NAME.txt and records whether it passed
    (cd "$work" && timeout 120 "$KV_WINE64" kvrobot.exe "$1.txt") >"$run/$1.log" 2>>"$run/wine.log" ||
        true
    cat "$run/$1.log"
    check "robot flow $1" grep -qx 'PASS' "$run/$1.log"
}
entry() { # entry NAME FILE: the list entry the dialog shows for FILE stored as NAME
    printf '%s\\t%s\\t%s' "${1//\\/\\\\}" "$(date -r "$2" +%-d-%-m-%Y)" "$(stat -c %s "$2")"
}

# The demo product, each file with a date of its own.
product="$run/product"
mkdir -p "$product/docs"
cp "$demo"/setup.txt "$demo"/welcome.txt "$demo"/readme.txt "$demo"/banner.bmp "$product/"
cp "$demo"/license.txt "$product/License.txt"
cp "$KV_DEMO_EXE" "$product/demo.exe"
printf 'De handleiding, in een map van haar eigen.\r\n' >"$product/docs/readme.txt"
touch -d '2000-05-11 12:00' "$product/License.txt"
touch -d '2026-01-02 08:30' "$product/setup.txt"
touch -d '1999-12-31 23:58' "$product/banner.bmp"
touch -d '2010-10-10 10:10' "$product/docs/readme.txt"
"$kvpack" pack --quiet -o "$work/setup.exe" --stub "$KV_SETUP_EXE" "$product"

# Sorted as the list box sorts, case ignored: License.txt between docs\... and readme.txt.
cat >"$work/list.txt" <<FLOW
start setup.exe /x
wait-window "Korvex - Bestanden uitpakken"
expect-list-count 1035 7
expect-list 1035 0 "$(entry banner.bmp "$product/banner.bmp")"
expect-list 1035 1 "$(entry demo.exe "$product/demo.exe")"
expect-list 1035 2 "$(entry 'docs\readme.txt' "$product/docs/readme.txt")"
expect-list 1035 3 "$(entry License.txt "$product/License.txt")"
expect-list 1035 4 "$(entry readme.txt "$product/readme.txt")"
expect-list 1035 5 "$(entry setup.txt "$product/setup.txt")"
expect-list 1035 6 "$(entry welcome.txt "$product/welcome.txt")"
expect-text 1038 ""
click 1000
expect-selected 1035 7
click 1000
expect-selected 1035 0
click 1
expect-msgbox "Let op" "Geen bestanden geselecteerd"
press OK
select-list 1035 6 1
click 1000
expect-selected 1035 7
set-text 1037 "C:"
click 1
expect-msgbox "Let op" "Ongeldige map"
press OK
expect-focus 1037
click 1000
expect-selected 1035 0
click 1000
expect-selected 1035 7
set-text 1037 "C:\\\\uit\\\\demo"
click 1
expect-msgbox "Let op" "Map bestaat niet, aanmaken?"
press No
expect-focus 1037
expect-exists "C:\\\\uit" 0
click 1
expect-msgbox "Let op" "Map bestaat niet, aanmaken?"
press Yes
expect-msgbox "Gereed" "Bestanden uitgepakt"
expect-text 1038 "welcome.txt"
press OK
expect-exit 0
FLOW
robot list
out="$WINEPREFIX/drive_c/uit/demo"
for f in banner.bmp demo.exe License.txt readme.txt setup.txt welcome.txt docs/readme.txt; do
    check "unpacked $f byte for byte" cmp -s "$out/$f" "$product/$f"
done
check "no part file left" test -z "$(find "$out" -name '~*')"

# Only the first two characters count; "C:\" is long enough and exists; Annuleren ends with 0.
cat >"$work/root.txt" <<'FLOW'
start setup.exe /Xanything
wait-window "Korvex - Bestanden uitpakken"
select-list 1035 3 1
set-text 1037 "C:\\"
click 1
expect-msgbox "Gereed" "Bestanden uitgepakt"
press OK
expect-exit 0
start setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
click 2
expect-exit 0
FLOW
robot root
check "C:\\License.txt byte for byte" cmp -s "$WINEPREFIX/drive_c/License.txt" "$product/License.txt"

# The hostile installer: setup.exe and setup.pck in a folder of their own.
hostile="$run/hostile"
mkdir -p "$hostile/sub" "$work/vijandig"
cp "$demo"/setup.txt "$hostile/"
printf 'gewoon\r\n' >"$hostile/a.txt"
printf 'in een submap\r\n' >"$hostile/sub/inner.txt"
printf 'klimt omhoog\r\n' >"$hostile/zz_evil.txt"
printf 'naar een schijf\r\n' >"$hostile/zzzevil.txt"
# Its script names members it lacks, which kvpack refuses as errors: --force packs it all the same.
"$kvpack" pack --quiet --force --pck -o "$work/vijandig/setup.exe" --stub "$KV_SETUP_EXE" \
    "$hostile" 2>"$run/pack-hostile.log"
# Same lengths, so every record keeps its place: "..\evil.txt" climbs, "C:\evil.txt" names a drive.
perl -pi -e 's/zz_evil\.txt\0/..\\evil.txt\0/; s/zzzevil\.txt\0/C:\\evil.txt\0/' "$work/vijandig/setup.pck"
# Whoever crafts both files writes no digest of the .pck into the stub (as before digests).
perl -pi -e 's/(SelfExtractorDigest=)[0-9A-F]{64}/$1 . "0" x 64/e' "$work/vijandig/setup.exe"
cat >"$work/hostile.txt" <<'FLOW'
start vijandig\setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
expect-list-count 1035 5
read-list 1035
click 1000
expect-selected 1035 5
set-text 1037 "C:\\uit\\vijandig"
click 1
expect-msgbox "Let op" "Map bestaat niet, aanmaken?"
press Yes
expect-msgbox "Let op" "Niet alle bestanden zijn uitgepakt:\n..\\evil.txt: naam buiten de doelmap\nC:\\evil.txt: naam buiten de doelmap"
press OK
expect-exists "C:\\uit\\vijandig\\a.txt" 1
expect-exists "C:\\uit\\evil.txt" 0
expect-exists "C:\\evil.txt" 0
click 2
expect-exit 0
FLOW
robot hostile
out="$WINEPREFIX/drive_c/uit/vijandig"
check "a.txt byte for byte" cmp -s "$out/a.txt" "$hostile/a.txt"
check "sub\\inner.txt in its subfolder" cmp -s "$out/sub/inner.txt" "$hostile/sub/inner.txt"
check "nothing climbed out" test ! -e "$WINEPREFIX/drive_c/uit/evil.txt" -a ! -e "$WINEPREFIX/drive_c/evil.txt"
kv_stop_wine

kv_finish_run "$run" "$status"
