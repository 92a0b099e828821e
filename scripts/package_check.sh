#!/bin/bash
# Installs the package scripts/package.sh built and packs the demo with it, as a vendor would:
# kvpack pack without --stub (the stub from /usr/share/kvpack), then kvpack verify, for both
# architectures; then removes the package again. As root (as CI runs) through apt-get; as
# another user the package is unpacked into a temporary folder instead, which kvpack treats
# the same (it finds its stubs relative to its own file). The Windows zip's layout is checked
# with the native kvpack put beside kvpack.exe.
# Usage: scripts/package_check.sh   (KV_BUILD_PREFIX as for scripts/test-all.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=${KV_BUILD_PREFIX:-build/}
deb=$(realpath "$(ls "${prefix}"kvpack_*_amd64.deb)")
zip=$(realpath "$(ls "${prefix}"kvpack-*-windows.zip)")
work=$(mktemp -d)
installed=0
cleanup() {
    [ "$installed" = 1 ] && apt-get remove -y -o DPkg::Lock::Timeout=120 kvpack >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

if [ "$(id -u)" = 0 ]; then
    echo "=== apt-get install $deb"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=120 "$deb" \
        >"$work/apt.log" || { cat "$work/apt.log" >&2; exit 1; }
    installed=1
    kvpack=/usr/bin/kvpack
    share=/usr/share/kvpack/stubs
else
    echo "=== not root: $deb unpacked into $work/root instead of installed"
    dpkg-deb -x "$deb" "$work/root"
    kvpack=$work/root/usr/bin/kvpack
    share=$work/root/usr/share/kvpack/stubs
fi

"$kvpack" --version | tee "$work/version.txt"
grep -qx "stub: $share/i686/setup.exe (i686, version .*)" "$work/version.txt"
grep -qx "stub --arch x86_64: $share/x86_64/setup.exe (x86_64, version .*)" "$work/version.txt"

mkdir -p "$work/product"
cp examples/demo/setup.txt examples/demo/license.txt examples/demo/welcome.txt \
    examples/demo/readme.txt examples/demo/banner.bmp "$work/product/"
cp "${prefix}mingw-i686/demo.exe" "$work/product/demo.exe"
for arch in "" "--arch x86_64"; do
    # shellcheck disable=SC2086 # arch is empty or two words
    "$kvpack" pack --quiet $arch -o "$work/setup.exe" "$work/product"
    "$kvpack" verify --quiet "$work/setup.exe" --against "$work/product"
    echo "packed and verified without --stub${arch:+ ($arch)}"
done

# The zip's layout: kvpack beside the stubs folder finds them.
(cd "$work" && unzip -q "$zip")
folder=$(basename "$zip" .zip)
cp "$kvpack" "$work/$folder/kvpack"
"$work/$folder/kvpack" --version | grep -qx "stub: $work/$folder/stubs/i686/setup.exe (i686, .*)"
echo "the Windows zip holds $(unzip -Z1 "$zip" | grep -c -v '/$') files; its stubs are found"
