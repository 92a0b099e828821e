#!/bin/bash
# Wizard benchmark under wine64 (headless, a copied template prefix kept warm between runs):
#  1. start-up: from the process start to the first page shown, for the demo product and for an
#     installer of 10,000 small members with setup.txt the last of them;
#  2. a 2,004-file, 19 MB payload (a licence, a readme, a program, a picture and 2,000 C
#     headers) installed through the wizard, robot-driven: from pressing Next on the folder
#     page to "Installatie voltooid".
# The robot polls every 50 ms, which bounds the figures' resolution. Not a test: it prints.
# Usage: bench_wizard.sh [RUNS]   (from the source tree, after the native and mingw-x86_64
# builds; environment: optional KV_WINE64)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(dirname "$here")
runs=${1:-3}
export KV_E2E_WORK=$src/build/bench-wizard # in the tree: nothing else cleans it away meanwhile
rm -rf "$KV_E2E_WORK"
mkdir -p "$KV_E2E_WORK"
trap 'rm -rf "$KV_E2E_WORK"' EXIT
export KV_SETUP_EXE=$src/build/mingw-x86_64/setup.exe KV_ROBOT_EXE=$src/build/mingw-x86_64/kvrobot.exe
kvpack=$src/build/native-release/kvpack # packing is not timed: the release build only saves time
[ -x "$kvpack" ] || kvpack=$src/build/native/kvpack
demo_exe=$src/build/mingw-x86_64/demo.exe
. "$src/tests/e2e/e2e_lib.sh"

bash "$src/tests/e2e/prefix_setup.sh" >/dev/null
run="$KV_E2E_WORK/run"
kv_prepare_run "$run"

stage_demo() { # FOLDER
    mkdir -p "$1"
    cp "$src"/examples/demo/{setup.txt,license.txt,welcome.txt,readme.txt,banner.bmp} "$1/"
    cp "$demo_exe" "$1/demo.exe"
}

# The robot's flow for the start-up: the first page, then Annuleren.
cat >"$work/startup.txt" <<'FLOW'
start setup.exe
wait-window "Korvex Demo installeren"
expect-visible 5051 1
print-elapsed first-page
click 2
expect-exit 0
FLOW

robot() { # FLOW-FILE: the robot's elapsed lines
    (cd "$work" && "$KV_WINE64" kvrobot.exe "$1") 2>>"$run/wine.log" | grep -E '^(elapsed|FAIL)'
}

echo "== start-up to the first page (wine64, ms)"
stage_demo "$run/demo"
"$kvpack" pack --quiet -o "$work/demo.exe" --stub "$KV_SETUP_EXE" "$run/demo"
mkdir -p "$run/many/files"
(cd "$run/many/files" && for i in $(seq -w 1 10000); do
    printf 'Bestand %s van de grote verzameling.\r\n' "$i" >"m$i.txt"
done)
stage_demo "$run/many/rest"
mv "$run/many/rest/setup.txt" "$run/many/setup.txt"
"$kvpack" pack --quiet -o "$work/many.exe" --stub "$KV_SETUP_EXE" "$run/many/rest" \
    "$run/many/files" "$run/many/setup.txt"
echo "the large archive ends with:"
"$kvpack" list "$work/many.exe" | tail -n 3
for name in demo many; do
    cp "$work/$name.exe" "$work/setup.exe"
    for i in $(seq "$runs"); do echo "$name run $i: $(robot startup.txt)"; done
done

echo "== 2,004 files through the wizard (wine64, ms from Start to \"Installatie voltooid\")"
payload="$run/payload"
stage_demo "$payload"
rm "$payload/welcome.txt"
python3 - "$payload/include" <<'PY'
import os, sys
out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for i in range(2000):
    name = 'kv_header_%04d' % i
    lines = ['/* %s.h: declarations of module %d. */' % (name, i), '#pragma once', '']
    n = 0
    while sum(len(l) + 1 for l in lines) < 9300:
        lines.append('#define %s_LIMIT_%d %d' % (name.upper(), n, (n * 7919 + i) % 65536))
        lines.append('int %s_call_%d(const char *text, unsigned long size, void *user);'
                     % (name, n))
        lines.append('struct %s_record_%d { int id; char label[%d]; double weight; };'
                     % (name, n, 16 + n % 48))
        n += 1
    with open(os.path.join(out, name + '.h'), 'w', newline='\r\n') as f:
        f.write('\n'.join(lines) + '\n')
PY
sed -i -e '/^welcome=/d' -e '/^\tshowwelcome\r\?$/d' \
    -e 's/^\tdir02=.*$/&\n\tdir03="[dest]\\include"/' \
    -e 's/^\t"Voorbeeld".*$/\t"Koppen", [source]include\\*.h, [dir03]\\*.*, overwrite_always/' \
    "$payload/setup.txt"
echo "payload: $(find "$payload" -type f ! -name setup.txt | wc -l) files," \
    "$(du -sm --apparent-size "$payload" | cut -f1) MB"
"$kvpack" pack --quiet -o "$work/payload.exe" --stub "$KV_SETUP_EXE" "$payload"
cp "$work/payload.exe" "$work/setup.exe"
cat >"$work/install.txt" <<'FLOW'
timeout 300
start setup.exe
wait-window "Korvex Demo installeren"
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
for i in $(seq "$runs"); do
    rm -rf "$WINEPREFIX/drive_c/Bench"
    echo "payload run $i: $(robot install.txt)"
    echo "  installed: $(find "$WINEPREFIX/drive_c/Bench" -type f | wc -l) files"
done
kv_stop_wine
