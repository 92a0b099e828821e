#!/bin/bash
# Korvex Setup against NSIS (Debian's nsis, the mainstream open-source installer) under wine64,
# side by side from the same files:
#   large  a licence, a readme, a program, a picture and 2,000 C headers (the first 2,000 .h
#          files under /usr/include, by sorted path), some 20 MB;
#   small  the same without the headers (6 files).
# Each installer is built from the folder (Korvex: kvpack behind the x86_64 stub; NSIS:
# makensis, Target amd64-unicode, its default compressor) with the same work: the files, a file
# type, Start-menu and desktop shortcuts, an uninstaller and its entry. Each run installs with /S into a fresh copy of a
# template prefix whose wineserver was started before the clock; the two installers alternate.
# Then the Korvex wizard is driven by the robot from Start to "Installatie voltooid" on the
# large payload. Prints least and median seconds and the ratios. Not a test: it prints.
#
# Usage: [KV_BENCH_STUB=STUB.exe] [KV_BENCH_NSIS_LEAN=1] bench/bench_vs_nsis.sh [RUNS]   (default 5; after the
# native-release and mingw-x86_64 builds; needs makensis: apt-get install nsis)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
runs=${1:-5}
command -v makensis >/dev/null || { echo "bench_vs_nsis: needs makensis (apt-get install nsis)" >&2; exit 1; }
export KV_E2E_WORK=$src/build/bench-vs-nsis
rm -rf "$KV_E2E_WORK"
mkdir -p "$KV_E2E_WORK"
trap 'kv_stop_wine; rm -rf "$KV_E2E_WORK"' EXIT
# KV_BENCH_STUB: another x86_64 stub to measure (an earlier build, for a before and after).
export KV_SETUP_EXE=${KV_BENCH_STUB:-$src/build/mingw-x86_64/setup.exe}
export KV_ROBOT_EXE=$src/build/mingw-x86_64/kvrobot.exe
kvpack=$src/build/native-release/kvpack
[ -x "$kvpack" ] || kvpack=$src/build/native/kvpack
. "$src/tests/e2e/e2e_lib.sh"
bash "$src/tests/e2e/prefix_setup.sh" >/dev/null

# ---- the payloads ------------------------------------------------------------------------
stage() { # FOLDER [large]: the product's files in FOLDER/files
    local dir=$1/files n=0 header
    mkdir -p "$dir"
    cp "$src"/examples/demo/{license.txt,welcome.txt,readme.txt,banner.bmp} "$dir/"
    cp "$src/build/mingw-x86_64/kvpack.exe" "$dir/demo.exe" # a real program of some 2 MB
    cp "$src/examples/demo/setup.txt" "$dir/setup.txt"
    [ "${2:-}" = large ] || return 0
    sed -i -e 's/^\t"Voorbeeld".*$/&\n\t"Koppen", [source]include\\*.h, [dir03]\\*.*, overwrite_always/' \
        -e 's/^\tdir02=.*$/&\n\tdir03="[dest]\\include"/' "$dir/setup.txt"
    mkdir -p "$dir/include"
    while IFS= read -r header; do
        n=$((n + 1))
        cp "$header" "$dir/include/$(printf '%04d' $n)_$(basename "$header")"
    done < <(find /usr/include -name '*.h' -type f | LC_ALL=C sort | head -n 2000)
    [ "$n" -eq 2000 ] || { echo "bench_vs_nsis: only $n headers under /usr/include" >&2; exit 1; }
}

# The NSIS script doing what the Korvex script does: the same files in the same folders, the
# .kvd file type and the shell told of it (as Windows asks of a program that registers one),
# the two Start-menu links and the desktop link, an uninstaller and its entry in the list of
# programs. KV_BENCH_NSIS_LEAN=1 leaves out the last two and the notice, as this benchmark's
# first version did: less than a shipping installer does (under Wine the notice alone starts a
# process, winemenubuilder -a, some 25 ms).
nsis_script() { # FOLDER [large]
    local dir=$1
    cat >"$dir/setup.nsi" <<'NSI'
Unicode true
Target amd64-unicode
Name "Korvex Demo"
OutFile "nsis-setup.exe"
InstallDir "C:\Korvex Demo"
RequestExecutionLevel admin
!include Integration.nsh
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KorvexDemo"
Section
  SetOutPath "$INSTDIR"
  File files\demo.exe
  File files\license.txt
  SetOutPath "$INSTDIR\Documentatie"
  File files\readme.txt
  SetOutPath "$INSTDIR\Documentatie\Voorbeelden"
  File /oname=voorbeeld.kvd files\welcome.txt
NSI
    [ "${2:-}" = large ] && printf '  SetOutPath "$INSTDIR\\include"\n  File files\\include\\*.h\n' >>"$dir/setup.nsi"
    cat >>"$dir/setup.nsi" <<'NSI'
  WriteRegStr HKCR ".kvd" "" "KorvexDemo.Document"
  WriteRegStr HKCR "KorvexDemo.Document" "" "Korvex Demo-document"
  WriteRegStr HKCR "KorvexDemo.Document\DefaultIcon" "" "$INSTDIR\demo.exe,0"
  WriteRegStr HKCR "KorvexDemo.Document\shell\open\command" "" '"$INSTDIR\demo.exe" "%1"'
  WriteRegStr HKCR "KorvexDemo.Document\shell\print\command" "" '"$INSTDIR\demo.exe" /p "%1"'
  CreateDirectory "$SMPROGRAMS\Korvex Demo"
  CreateShortcut "$SMPROGRAMS\Korvex Demo\Korvex Demo.lnk" "$INSTDIR\demo.exe"
  CreateShortcut "$SMPROGRAMS\Korvex Demo\Leesmij.lnk" "$INSTDIR\Documentatie\readme.txt"
  CreateShortcut "$DESKTOP\Korvex Demo.lnk" "$INSTDIR\demo.exe"
NSI
    if [ "${KV_BENCH_NSIS_LEAN:-0}" = 1 ]; then echo SectionEnd >>"$dir/setup.nsi"; return; fi
    cat >>"$dir/setup.nsi" <<'NSI'
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Korvex Demo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  ${NotifyShell_AssocChanged}
SectionEnd
Section "Uninstall"
  RMDir /r "$INSTDIR"
SectionEnd
NSI
}

run=$KV_E2E_WORK/run
kv_prepare_run "$run" # the robot and the stub in C:\kvtest of a first copy
kv_stop_wine
for size in small large; do
    stage "$KV_E2E_WORK/$size" $size
    nsis_script "$KV_E2E_WORK/$size" $size
    (cd "$KV_E2E_WORK/$size" && makensis -V1 setup.nsi)
    "$kvpack" pack --quiet -o "$KV_E2E_WORK/$size/korvex-setup.exe" --stub "$KV_SETUP_EXE" \
        "$KV_E2E_WORK/$size/files"
    echo "$size: $(find "$KV_E2E_WORK/$size/files" -type f | wc -l) files with setup.txt," \
        "$(du -sm --apparent-size "$KV_E2E_WORK/$size/files" | cut -f1) MB;" \
        "installers: Korvex $(stat -c %s "$KV_E2E_WORK/$size/korvex-setup.exe") bytes," \
        "NSIS $(stat -c %s "$KV_E2E_WORK/$size/nsis-setup.exe") bytes"
done

# ---- timing ------------------------------------------------------------------------------
# One install in a fresh copy of the template prefix, its server started before the clock.
# Prints the seconds; the installed file count goes to stderr as a check.
time_install() { # INSTALLER-EXE
    rm -rf "$run/prefix"
    cp -a "$KV_TEMPLATE/prefix" "$run/prefix"
    kv_use_prefix "$run"
    mkdir -p "$WINEPREFIX/drive_c/kvtest"
    cp "$1" "$WINEPREFIX/drive_c/kvtest/setup.exe"
    "$KV_WINESERVER" -p 2>/dev/null
    "$KV_WINE64" cmd /c exit >/dev/null 2>&1 # start the session's services before the clock
    local start=$(date +%s.%N)
    (cd "$WINEPREFIX/drive_c/kvtest" && "$KV_WINE64" setup.exe /S '/D=C:\Bench' >/dev/null 2>&1) || true
    local seconds=$(kv_elapsed "$start")
    echo "  $(find "$WINEPREFIX/drive_c/Bench" -type f 2>/dev/null | wc -l) files" >&2
    kv_stop_wine
    echo "$seconds"
}

stats() { # least and median of the numbers on stdin
    sort -g | awk '{ v[NR] = $1 } END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2;
        printf "%.2f %.2f\n", v[1], m }'
}

declare -A least median
for size in small large; do
    korvex=() nsis=()
    for i in $(seq "$runs"); do
        korvex+=("$(time_install "$KV_E2E_WORK/$size/korvex-setup.exe" 2>/dev/null)")
        nsis+=("$(time_install "$KV_E2E_WORK/$size/nsis-setup.exe" 2>/dev/null)")
        echo "$size run $i: Korvex ${korvex[-1]} s, NSIS ${nsis[-1]} s"
    done
    read -r least[k$size] median[k$size] < <(printf '%s\n' "${korvex[@]}" | stats)
    read -r least[n$size] median[n$size] < <(printf '%s\n' "${nsis[@]}" | stats)
done

# The wizard on the large payload, from Start to "Installatie voltooid" (the robot's clock).
cat >"$KV_E2E_WORK/wizard.txt" <<'FLOW'
timeout 300
start setup.exe
wait-window "Korvex Demo installeren"
expect-visible 5051 1
click 1
expect-visible 5010 1
check 5011
click 1
expect-visible 5001 1
set-text 5001 "C:\\Bench"
mark
click 1
expect-text 6001 "Installatie voltooid"
print-elapsed install
click 1
expect-visible 5031 1
check 5031
click 1
expect-exit 0
FLOW
wizard=()
for i in $(seq "$runs"); do
    rm -rf "$run/prefix"
    cp -a "$KV_TEMPLATE/prefix" "$run/prefix"
    kv_use_prefix "$run"
    work="$WINEPREFIX/drive_c/kvtest"
    mkdir -p "$work"
    cp "$KV_E2E_WORK/large/korvex-setup.exe" "$work/setup.exe"
    cp "$KV_ROBOT_EXE" "$KV_E2E_WORK/wizard.txt" "$work/"
    "$KV_WINESERVER" -p 2>/dev/null
    "$KV_WINE64" cmd /c exit >/dev/null 2>&1
    out=$(cd "$work" && "$KV_WINE64" kvrobot.exe wizard.txt 2>/dev/null) || { echo "bench_vs_nsis: the wizard run failed:" >&2; echo "$out" | tail -5 >&2; exit 1; }
    ms=$(echo "$out" | sed -n "s/^elapsed install \([0-9]*\).*/\1/p")
    kv_stop_wine
    wizard+=("$(awk -v m="${ms:-0}" 'BEGIN { printf "%.2f", m / 1000 }')")
    echo "wizard run $i: ${wizard[-1]} s"
done
read -r wizard_least wizard_median < <(printf '%s\n' "${wizard[@]}" | stats)

echo
echo "== wine64, $runs runs each, seconds (least / median)"
printf '%-28s %14s %14s %8s\n' "" "Korvex" "NSIS" "ratio"
for size in small large; do
    printf '%-28s %6s / %-6s %6s / %-6s %8s\n' "setup.exe /S, $size" "${least[k$size]}" "${median[k$size]}" \
        "${least[n$size]}" "${median[n$size]}" \
        "$(awk -v a="${least[k$size]}" -v b="${least[n$size]}" 'BEGIN { printf "%.2f", a / b }')"
done
printf '%-28s %6s / %-6s %14s %8s\n' "wizard, large" "$wizard_least" "$wizard_median" "" \
    "$(awk -v a="$wizard_least" -v b="${least[klarge]}" 'BEGIN { printf "%.2f", a / b }')"
echo "(the wizard's ratio is against Korvex's own /S; the wizard's time runs from Start to done)"
