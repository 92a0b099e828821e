#!/bin/bash
# What Windows reads from the stubs, checked with PE readers that share no code with ours
# (wrestool from icoutils, exiftool) and under Wine: the manifest (id 1, Common Controls 6,
# DPI awareness, elevation), the version resource (the project version), the program icon as
# the first icon group; kvpack --version reads the same version from the stub's bytes; and a
# stub carrying the manifest loads comctl32 version 6 from Wine's side-by-side store. Then a
# vendor's installer: the demo with an uninstall line and the uninstaller among its members,
# packed with --icon, carries the vendor's name, version and icon (read back the same way), is
# signed with osslsigncode, verified, and installs with /S an uninstaller that carries them too.
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
check "kvpack --version: the stub beside it" \
    grep -qE "^stub: .*setup\\.exe \\(x86_64, version $version\\.0\\)\$" "$run/version.txt"
check "kvpack --version: the same for --arch x86_64" \
    grep -qE "^stub --arch x86_64: .*setup\\.exe \\(x86_64, version $version\\.0\\)\$" "$run/version.txt"
check "kvpack --version: no i686 stub here" grep -q "^stub --arch i686: none found" "$run/version.txt"
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

# The vendor's installer. The icon is one of the stub's other pictures, so that it differs from
# the program icon it replaces.
icon="$(dirname "$0")/../../resources/pictures/folder.ico"
vendor="$run/vendor"
cp -r "$run/product" "$vendor"
cp "$uninst" "$vendor/kvuninst.exe"
awk '{ print } /^copy_files\r?$/ { block = 1 }
     block && /^\{\r?$/ { print "\t\"Verwijderprogramma\", [source]kvuninst.exe, [dest]\\*.*, overwrite_always\r"; block = 0 }' \
    "$demo/setup.txt" >"$vendor/setup.txt"
printf 'uninstall="Acme Rocket","[dest]\\kvuninst.exe","Acme Corp","8.1.2"\r\n' >>"$vendor/setup.txt"
"$kvpack" pack --quiet -o "$run/acme-setup.exe" --stub "$KV_SETUP_EXE" --icon "$icon" "$vendor"
openssl req -x509 -newkey rsa:2048 -keyout "$run/key.pem" -out "$run/cert.pem" -days 2 -nodes \
    -subj "/CN=Acme test" >/dev/null 2>&1
osslsigncode sign -certs "$run/cert.pem" -key "$run/key.pem" -in "$run/acme-setup.exe" \
    -out "$work/acme-setup.exe" >/dev/null
same_icon() { # same_icon FILE: its program icon is the vendor's (wrestool adds stray bytes behind)
    wrestool -x --type=14 --name=107 "$1" >"$run/107.ico"
    cmp -n "$(stat -c %s "$icon")" "$run/107.ico" "$icon"
}
signed="$work/acme-setup.exe"
check "vendor: ProductName" test "$(field "$signed" ProductName)" = "Acme Rocket"
check "vendor: CompanyName" test "$(field "$signed" CompanyName)" = "Acme Corp"
check "vendor: FileDescription" test "$(field "$signed" FileDescription)" = "Acme Rocket Setup"
check "vendor: FileVersion" test "$(field "$signed" FileVersion)" = "8.1.2"
check "vendor: FileVersionNumber" test "$(field "$signed" FileVersionNumber)" = "8.1.2.0"
check "vendor: OriginalFileName" test "$(field "$signed" OriginalFileName)" = "acme-setup.exe"
check "vendor: the program icon" same_icon "$signed"
signature_holds() { osslsigncode verify -CAfile "$run/cert.pem" "$1" >"$run/osslsigncode.log"; }
check "vendor: osslsigncode verifies the signature" signature_holds "$signed"
check "vendor: kvpack verify --against the product" "$kvpack" verify --quiet "$signed" --against "$vendor"
install_exit=0
(cd "$work" && timeout 120 "$KV_WINE64" acme-setup.exe /S /D=C:\\Acme) >"$run/vendor-install.log" \
    2>>"$run/wine.log" || install_exit=$?
check "vendor: the signed installer installs (/S exits 0, got $install_exit)" test "$install_exit" = 0
installed="$WINEPREFIX/drive_c/Acme/kvuninst.exe"
check "vendor: installed uninstaller's ProductName" test "$(field "$installed" ProductName)" = "Acme Rocket"
check "vendor: installed uninstaller's FileDescription" \
    test "$(field "$installed" FileDescription)" = "Acme Rocket Uninstaller"
check "vendor: installed uninstaller's icon" same_icon "$installed"

kv_stop_wine
kv_finish_run "$run" "$status"
