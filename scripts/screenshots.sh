#!/bin/bash
# Takes the pictures in docs/screenshots/: every page of the demo installer (welcome, licence,
# folder, the folder browser, a running step, the run done, finish) and the gradient banner of
# an installer without a picture, each the whole 1024x768 screen of a private Xvfb display on
# which the x86_64 setup.exe runs under Wine, driven by the e2e robot (tests/e2e/screenshot.sh).
# The demo is staged with 1,500 small extra files, so that its copy step runs long enough to be
# pictured while it runs.
#
# Usage: scripts/screenshots.sh [OUT-DIR]   (default docs/screenshots)
# Builds the mingw-x86_64 preset (stub, robot, demo program) and native-release (kvpack) first.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$(realpath -m "${1:-docs/screenshots}")
jobs=${KV_JOBS:-2}

for tool in Xvfb import convert; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done
cmake --preset mingw-x86_64 >/dev/null
cmake --build --preset mingw-x86_64 -j "$jobs" --target setup kvrobot demo >/dev/null
cmake --preset native-release >/dev/null
cmake --build --preset native-release -j "$jobs" --target kvpack >/dev/null
win=build/mingw-x86_64
kvpack=build/native-release/kvpack

scratch=build/screenshots
rm -rf "$scratch/product" "$scratch/plain" "$scratch/shots"
mkdir -p "$scratch/product" "$scratch/shots"
export KV_E2E_WORK=$root/$scratch/work
export KV_ROBOT_EXE=$root/$win/kvrobot.exe

echo "=== stage the demo"
cp examples/demo/setup.txt examples/demo/license.txt examples/demo/welcome.txt \
    examples/demo/readme.txt examples/demo/banner.bmp "$scratch/product/"
cp "$win/demo.exe" "$scratch/product/"
for i in $(seq -w 1 1500); do
    printf 'Korvex Demo-voorbeeld %s\r\n' "$i" >"$scratch/product/extra$i.kvd"
done
# One more copy entry, right behind the list's opening brace.
sed -i '/^copy_files/{n;s/$/\n\t"Voorbeelden", [source]extra*.kvd, [dir02]\\*.*, overwrite_always\r/}' \
    "$scratch/product/setup.txt"
grep -q 'extra\*\.kvd' "$scratch/product/setup.txt"
"$kvpack" pack --quiet -o "$scratch/setup-demo.exe" --stub "$win/setup.exe" "$scratch/product"

# The same installer without a picture: the gradient banner.
cp -r "$scratch/product" "$scratch/plain"
sed -i '/^bitmap/d' "$scratch/plain/setup.txt"
rm "$scratch/plain"/extra*.kvd
sed -i '/extra\*\.kvd/d' "$scratch/plain/setup.txt"
"$kvpack" pack --quiet -o "$scratch/setup-plain.exe" --stub "$win/setup.exe" "$scratch/plain"

echo "=== the demo, page by page"
cat >"$scratch/demo-flow.txt" <<'FLOW'
timeout 60
start setup.exe
wait-window "Korvex Demo installeren"
expect-visible 5051 1
snapshot welcome
click 1
expect-visible 5010 1
check 5011
snapshot licence
click 1
expect-visible 5001 1
snapshot folder
click 5002
wait-window "Browse for Folder"
sleep 500
snapshot browser
click 2
wait-gone
wait-window "Korvex Demo installeren"
click 1
expect-text 6004 "3Bestanden kopieren"
snapshot running
expect-text 6001 "Installatie voltooid"
snapshot done
click 1
expect-visible 5031 1
snapshot finish
check 5031
click 1
expect-exit 0
FLOW
KV_SETUP_EXE=$root/$scratch/setup-demo.exe bash tests/e2e/screenshot.sh "$scratch/shots/end.png" \
    --flow "$scratch/demo-flow.txt" --snapshots "$scratch/shots"

echo "=== the gradient banner"
cat >"$scratch/plain-flow.txt" <<'FLOW'
start setup.exe
wait-window "Korvex Demo installeren"
expect-visible 5051 1
snapshot gradient
click 2
expect-exit 0
FLOW
KV_SETUP_EXE=$root/$scratch/setup-plain.exe bash tests/e2e/screenshot.sh "$scratch/shots/end.png" \
    --flow "$scratch/plain-flow.txt" --snapshots "$scratch/shots"

# Full size and lossless: flat colours compress to about 10 KB a picture (scaling them down
# would only blur the text and cost more bytes).
mkdir -p "$out"
for name in welcome licence folder browser running done finish gradient; do
    convert "$scratch/shots/$name.png" -strip "$out/$name.png"
done
ls -l "$out"
