#!/bin/bash
# The main job: builds the packer and both stubs, packs the demo product (examples/demo) into
# build/demo/setup.exe (the 32-bit product) and build/demo/setup64.exe (its 64-bit twin), checks
# them, installs the product natively through the simulation, and, when a display and Wine are
# there, opens the 64-bit installer's wizard.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh # a fresh machine: installs what is missing (as root)

jobs=${KV_JOBS:-2}
out=build/demo

for preset in native-release mingw-i686 mingw-x86_64; do
    echo "=== build $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" >/dev/null
done
kvpack=build/native-release/kvpack

echo "=== stage the product"
rm -rf "$out"
mkdir -p "$out/product"
cp examples/demo/setup.txt examples/demo/license.txt examples/demo/welcome.txt \
    examples/demo/readme.txt examples/demo/banner.bmp "$out/product/"
cp build/mingw-i686/demo.exe "$out/product/demo.exe"
"$kvpack" lint "$out/product/setup.txt" --members "$out/product"

echo "=== pack"
"$kvpack" pack -o "$out/setup.exe" --stub build/mingw-i686/setup.exe "$out/product"
"$kvpack" pack --quiet -o "$out/setup64.exe" --stub build/mingw-x86_64/setup.exe "$out/product"
"$kvpack" list "$out/setup.exe"
"$kvpack" verify "$out/setup.exe" --against "$out/product"

echo "=== install natively (drives mapped into $out/root)"
"$kvpack" simulate "$out/setup.exe" --root "$out/root" --answer overwrite=yes-to-all

if [ -n "${DISPLAY:-}" ] && [ -x /usr/lib/wine/wine64 ]; then
    echo "=== open the wizard under Wine (close it to finish)"
    /usr/lib/wine/wine64 "$out/setup64.exe" || true
else
    echo "=== no display or no Wine: the installers are $out/setup.exe and $out/setup64.exe"
fi
