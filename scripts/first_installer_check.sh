#!/bin/bash
# Runs docs/first-installer.md as a vendor would: every ```sh block, in order, in one shell, in a
# fresh temporary folder, with kvpack and both stubs laid out as the Debian package lays them
# out (bin/kvpack, share/kvpack/stubs/ARCH/), so the page reads as for the installed package.
# Between the blocks it checks what a block claims to have made: the simulated install and
# its removal, the install and removal under Wine, and at the end the banner, both installers and their
# signatures. The Wine blocks (those that run wine or wineserver) run in a copy of the Wine
# end-to-end tests' template prefix when KV_E2E_WORK names their folder, and are skipped
# otherwise.
# Usage: scripts/first_installer_check.sh [KVPACK [I686-BUILD-DIR [X86_64-BUILD-DIR]]]
#   (defaults: build/native-release/kvpack, build/mingw-i686, build/mingw-x86_64)
# KV_DOC_KEEP=1 keeps the temporary folder. The checker's own variables start with kv_, so
# that the page's commands, run in its shell, cannot change them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kvpack=$(realpath "${1:-$top/build/native-release/kvpack}")
win32=${2:-$top/build/mingw-i686}
win64=${3:-$top/build/mingw-x86_64}
kv_doc=$top/docs/first-installer.md

for f in "$kvpack" "$win32/setup.exe" "$win32/kvuninst.exe" "$win64/setup.exe" "$win64/kvuninst.exe"; do
    [ -f "$f" ] || { echo "first_installer_check: $f is missing: build it first" >&2; exit 1; }
done
kv_wine_template=
if [ -n "${KV_E2E_WORK:-}" ]; then
    kv_wine_template=$KV_E2E_WORK/template/prefix
    [ -d "$kv_wine_template" ] || { echo "first_installer_check: no template prefix in $KV_E2E_WORK" >&2; exit 1; }
fi

kv_tmp=$(mktemp -d)
kv_status=1
kv_current=
finish() {
    if [ "$kv_status" != 0 ] && [ -n "$kv_current" ]; then echo "FAIL in block $kv_current of $kv_doc" >&2; fi
    if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
    if [ "$kv_status" = 0 ] && [ "${KV_DOC_KEEP:-0}" != 1 ]; then rm -rf "$kv_tmp"; else echo "(kept in $kv_tmp)"; fi
}
trap finish EXIT

# The package's layout. kvpack finds its stubs from its own file (a symbolic link would lead it
# back into the build folder), so it is copied; the page names the stubs by their installed
# place, /usr/share/kvpack/, which here is $kv_tmp/usr/share/kvpack/.
kv_usr=$kv_tmp/usr
install -D "$kvpack" "$kv_usr/bin/kvpack"
for arch in i686 x86_64; do
    build=$win32
    [ "$arch" = x86_64 ] && build=$win64
    install -d "$kv_usr/share/kvpack/stubs/$arch"
    install -m 644 "$build/setup.exe" "$build/kvuninst.exe" "$kv_usr/share/kvpack/stubs/$arch/"
done

# The blocks, each in a file of its own.
mkdir "$kv_tmp/blocks" "$kv_tmp/home"
kv_count=$(awk -v dir="$kv_tmp/blocks" '
    /^```sh$/ { n++; inside = 1; next }
    /^```/ { inside = 0; next }
    inside { print > (dir "/" n ".sh") }
    END { print n + 0 }' "$kv_doc")
[ "$kv_count" -gt 0 ] || { echo "first_installer_check: no sh block in $kv_doc" >&2; exit 1; }
sed -i "s|/usr/share/kvpack/|$kv_usr/share/kvpack/|g" "$kv_tmp/blocks"/*.sh

fail() { echo "FAIL $*" >&2; exit 1; }
ok() { echo "ok   $*"; }
expect() { # expect DESCRIPTION COMMAND...: the command's own output is not shown
    local what=$1
    shift
    if "$@" >/dev/null; then ok "$what"; else fail "$what"; fi
}
is_wine_block() { grep -qE '(^|[^A-Za-z_])wine(server)?([^A-Za-z_.]|$)' "$1"; }
only_header() { test -f "$1" && test "$(tr -d '\r' <"$1" | grep -c .)" = 1; } # InsErr.log, no error
reg_absent() { ! wine reg query "$1" >/dev/null 2>&1; }
file_says() { file "$1" | grep "$2"; }
wide_text_in() { tr -d '\0' <"$1" | grep -aF "$2"; } # a version resource's UTF-16 text
key_default() { grep -A 1 -xF "$2" "$1" | grep -xF "$3"; } # KEY's next line in a .reg text
reg_has() { wine reg query "$1" 2>/dev/null | tr -d '\r' | grep -F "$2"; }

# The checks run under expect, which hides their output: no grep -q behind a pipe, which
# would end the writer early and fail the pipe.
# What a block claims, checked by its content: each check names the line it keys on.
kv_checked=()
after_block() {
    local file=$1
    if grep -q '^kvpack simulate setup.exe' "$file"; then
        kv_checked+=(simulate)
        local dest="sim/c/Acme Rocket"
        expect "simulate: program, uninstaller and texts installed" \
            test -s "$dest/rocket.exe" -a -s "$dest/kvuninst.exe" -a -s "$dest/license.txt" -a -s "$dest/readme.txt"
        expect "simulate: the uninstaller packed with the product's name" \
            wide_text_in "$dest/kvuninst.exe" "Acme Rocket Uninstaller"
        expect "simulate: Uninstal.log written" test -s "$dest/Uninstal.log"
        expect "simulate: nothing failed" only_header "$dest/InsErr.log"
        expect "simulate: the links, machine-wide" test -s \
            "sim/c/ProgramData/Microsoft/Windows/Start Menu/Programs/Acme Rocket/Uninstall Acme Rocket.lnk" \
            -a -s "sim/c/users/Public/Desktop/Acme Rocket.lnk"
        iconv -f UTF-16 -t UTF-8 sim/registry.reg | tr -d '\r' >"$kv_tmp/registry.txt"
        expect "simulate: .rocket opens with the product's class" \
            key_default "$kv_tmp/registry.txt" '[HKEY_CLASSES_ROOT\.rocket]' '@="AcmeCorp.Rocket.FlightPlan"'
        expect "simulate: the uninstall entry" grep -qxF \
            '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Acme Rocket]' \
            "$kv_tmp/registry.txt"
    fi
    if grep -q '^kvpack simulate --uninstall setup.exe' "$file"; then
        kv_checked+=(simulate-uninstall)
        expect "simulate --uninstall: the installation folder is gone" test ! -e "sim/c/Acme Rocket"
        expect "simulate --uninstall: the Start-menu group is gone" \
            test ! -e "sim/c/ProgramData/Microsoft/Windows/Start Menu/Programs/Acme Rocket"
        expect "simulate --uninstall: the desktop link is gone" test ! -e "sim/c/users/Public/Desktop/Acme Rocket.lnk"
        iconv -f UTF-16 -t UTF-8 sim/registry.reg | tr -d '\r' >"$kv_tmp/registry.txt"
        expect "simulate --uninstall: no key of the product left" test "$(grep -c -e rocket -e Rocket "$kv_tmp/registry.txt")" = 0
    fi
    if grep -q '^wine setup64.exe /S' "$file"; then
        kv_checked+=(wine-install)
        expect "Wine: the page's own prefix was used" test "$WINEPREFIX" = "$PWD/wine"
        local dest="$WINEPREFIX/drive_c/Acme Rocket"
        expect "Wine: files installed" \
            test -s "$dest/rocket.exe" -a -s "$dest/kvuninst.exe" -a -s "$dest/readme.txt" -a -s "$dest/Uninstal.log"
        expect "Wine: nothing failed" only_header "$dest/InsErr.log"
        expect "Wine: the desktop link" test -s "$WINEPREFIX/drive_c/users/Public/Desktop/Acme Rocket.lnk"
        expect "Wine: the uninstall entry names the uninstaller" reg_has \
            'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Acme Rocket' 'C:\Acme Rocket\kvuninst.exe'
        expect "Wine: .rocket opens with the product's class" reg_has 'HKCR\.rocket' AcmeCorp.Rocket.FlightPlan
    fi
    if grep -q "^wine 'C:.Acme Rocket.kvuninst.exe' /S" "$file"; then
        kv_checked+=(wine-uninstall)
        expect "Wine: the installation folder is gone" test ! -e "$WINEPREFIX/drive_c/Acme Rocket"
        expect "Wine: the desktop link is gone" test ! -e "$WINEPREFIX/drive_c/users/Public/Desktop/Acme Rocket.lnk"
        expect "Wine: the uninstall entry is gone" \
            reg_absent 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Acme Rocket'
        expect "Wine: .rocket is gone" reg_absent 'HKCR\.rocket'
    fi
}

# The page's own checks at its end: the banner as the page says to make it, the installer to
# ship and its twin for their machines, each signed.
at_end() {
    local header
    header=$(od -A n -t u4 -j 14 -N 4 product/banner.bmp | tr -d ' ')
    expect "banner: a 40-byte header" test "$header" = 40
    expect "banner: 24 bits, uncompressed" test "$(od -A n -t u2 -j 28 -N 2 product/banner.bmp | tr -d ' ')" = 24 \
        -a "$(od -A n -t u4 -j 30 -N 4 product/banner.bmp | tr -d ' ')" = 0
    expect "setup.exe is the i686 stub" file_says setup.exe "PE32 executable.*Intel 80386"
    expect "setup64.exe is the x86_64 stub" file_says setup64.exe "PE32+ executable.*x86-64"
    local installer folder
    for installer in setup.exe:product setup64.exe:product64; do
        folder=${installer#*:} installer=${installer%:*}
        expect "$installer: osslsigncode verifies its signature" \
            osslsigncode verify -CAfile test-signing.crt "$installer"
        expect "$installer: kvpack verify checks records and signature" \
            kvpack verify "$installer" --against "$folder/" --ca-file test-signing.crt
    done
}

cd "$kv_tmp/home"
export HOME=$kv_tmp/home PATH="$kv_usr/bin:$PATH"
unset WINEPREFIX
for ((kv_i = 1; kv_i <= kv_count; kv_i++)); do
    kv_block=$kv_tmp/blocks/$kv_i.sh
    if is_wine_block "$kv_block"; then
        if [ -z "$kv_wine_template" ]; then
            echo "=== block $kv_i: Wine, skipped (no KV_E2E_WORK)"
            continue
        fi
        # A copy of the template in the place the page's prefix will be: no wineboot to wait
        # for, and the template's headless settings.
        [ -d wine ] || cp -a "$kv_wine_template" wine
        export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
    fi
    echo "=== block $kv_i"
    kv_current=$kv_i
    sed 's/^/  | /' "$kv_block"
    # shellcheck disable=SC1090
    . "$kv_block"
    after_block "$kv_block"
done
kv_current=
at_end

kv_want=(simulate simulate-uninstall)
[ -n "$kv_wine_template" ] && kv_want+=(wine-install wine-uninstall)
[ "${kv_checked[*]}" = "${kv_want[*]}" ] ||
    fail "the page's blocks no longer match the checks: ran (${kv_checked[*]}), expected (${kv_want[*]})"
kv_status=0
echo "PASS: $kv_count blocks of docs/first-installer.md"
