#!/bin/bash
# What Windows reads from the stubs, checked with PE readers that share no code with ours
# (wrestool from icoutils, exiftool) and under Wine: the manifest (id 1, Common Controls 6,
# DPI awareness, elevation), the version resource (the project version), the program icon as
# the first icon group; kvpack --version reads the same version from the stub's bytes; and a
# stub carrying the manifest loads comctl32 version 6 from Wine's side-by-side store.
# Usage: stub_resources.sh NATIVE-KVPACK DEMO-FOLDER VERSION
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_KVPACK_EXE,
# KV_DEMO_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

kvpack=$1
demo=$2
version=$3 # major.minor.patch
run="$KV_E2E_WORK/runs/stub_resources"
kv_prepare_run "$run"
uninst="$(dirname "$KV_SETUP_EXE")/kvuninst.exe"

status=0
field() { exiftool -s3 -"$2" "$1"; } # field FILE TAG: one value of the version resource

for pair in "$KV_SETUP_EXE:installer" "$uninst:uninstaller"; do
    exe=${pair%:*}
    name=$(basename "$exe")
    wrestool -l "$exe" >"$run/$name.resources"
    check "$name: manifest id 1" grep -q -- '--type=24 --name=1 ' "$run/$name.resources"
    check "$name: version resource" grep -q -- '--type=16 --name=1 ' "$run/$name.resources"
    first_group=$(grep -m1 -- '--type=14 ' "$run/$name.resources" | sed 's/.*--name=\([^ ]*\) .*/\1/')
    check "$name: first icon group is the program icon (107, got $first_group)" \
        test "$first_group" = 107
    wrestool -x --raw --type=24 --name=1 "$exe" >"$run/$name.manifest"
    for needle in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
        'level="requireAdministrator"' '>true/pm</dpiAware>' \
        '>PerMonitorV2,PerMonitor</dpiAwareness>' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
        '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
        check "$name: manifest holds $needle" grep -qF "$needle" "$run/$name.manifest"
    done
    check "$name: ProductName" test "$(field "$exe" ProductName)" = "Korvex Setup"
    check "$name: FileDescription" test "$(field "$exe" FileDescription)" = "Korvex Setup ${pair#*:}"
    check "$name: FileVersion $version" test "$(field "$exe" FileVersion)" = "$version"
    check "$name: FileVersionNumber" test "$(field "$exe" FileVersionNumber)" = "$version.0"
    check "$name: LegalCopyright" grep -q Korvex <<<"$(field "$exe" LegalCopyright)"
done

# kvpack.exe under Wine takes setup.exe beside it as its default stub.
cp "$KV_KVPACK_EXE" "$work/kvpack.exe"
(cd "$work" && "$KV_WINE64" kvpack.exe --version) 2>>"$run/wine.log" | tr -d '\r' >"$run/version.txt" ||
    status=1
cat "$run/version.txt"
check "kvpack --version: its own" grep -qx "kvpack $version" "$run/version.txt"
check "kvpack --version: the stub's" grep -qE "^stub .*setup\\.exe: $version\\.0\$" "$run/version.txt"
check "native kvpack --version: its own" \
    bash -c "'$kvpack' --version | grep -q '^kvpack $version\$'"

# An unattended install by the real stub: comctl32 comes from winsxs, which Wine's loader does
# only for a process whose manifest asks for version 6.
mkdir -p "$run/product"
cp "$demo"/setup.txt "$demo"/license.txt "$demo"/welcome.txt "$demo"/readme.txt \
    "$demo"/banner.bmp "$run/product/"
cp "$KV_DEMO_EXE" "$run/product/demo.exe"
"$kvpack" pack --quiet -o "$work/install.exe" --stub "$KV_SETUP_EXE" "$run/product"
install_exit=0
(cd "$work" && WINEDEBUG=+loaddll "$KV_WINE64" install.exe /S) >"$run/install.log" \
    2>"$run/loaddll.log" || install_exit=$?
check "install ran" test "$install_exit" = 0
check "comctl32 version 6 loaded" grep -qiE 'winsxs\\\\[^"]*common-controls[^"]*6\.0[^"]*\\\\comctl32\.dll' \
    "$run/loaddll.log"

kv_stop_wine
kv_finish_run "$run" "$status"
