#!/bin/bash
# Builds what a vendor installs kvpack from, out of the release builds:
#   build/kvpack_VERSION_amd64.deb     /usr/bin/kvpack, both stubs and uninstallers under
#                                      /usr/share/kvpack/stubs/{i686,x86_64}/, the docs
#   build/kvpack-VERSION-windows.zip   kvpack.exe (32-bit) with stubs/{i686,x86_64}/ beside it
# kvpack finds its default stub in either layout (kvpack --version shows which).
# Usage: scripts/package.sh   (KV_BUILD_PREFIX and KV_JOBS as for scripts/test-all.sh)
set -euo pipefail
cd "$(dirname "$0")/.."

prefix=${KV_BUILD_PREFIX:-build/}
jobs=${KV_JOBS:-2}
for preset in native-release mingw-i686 mingw-x86_64; do
    [ -f "${prefix}$preset/CMakeCache.txt" ] ||
        cmake --preset "$preset" -B "${prefix}$preset" >/dev/null
    cmake --build "${prefix}$preset" -j "$jobs" >/dev/null
done
version=$("${prefix}native-release/kvpack" --version | sed -n 's/^kvpack //p')
[ -n "$version" ] || { echo "package.sh: kvpack --version names no version" >&2; exit 1; }

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT

# The stubs and uninstallers, and the docs, as both packages lay them out.
stubs() { # stubs FOLDER: FOLDER/{i686,x86_64}/{setup.exe,kvuninst.exe}
    for arch in i686 x86_64; do
        install -d "$1/$arch"
        install -m 644 "${prefix}mingw-$arch/setup.exe" "${prefix}mingw-$arch/kvuninst.exe" "$1/$arch/"
    done
}
docs() { # docs FOLDER: the README, the guides and the copyright notice
    install -d "$1"
    install -m 644 README.md docs/script-guide.md docs/first-installer.md "$1/"
    cat >"$1/copyright" <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Korvex Setup
Comment: kvpack $version, the packer of Korvex Setup installers, with the installer stubs
 (setup.exe) and the uninstaller (kvuninst.exe) it packs for Windows.

Files: *
Copyright: Korvex
License: not stated
 No licence is granted by this file; ask Korvex before redistributing.
EOF
}

# The Debian package.
root="$staging/deb"
install -d "$root/DEBIAN" "$root/usr/bin"
install -m 755 -s "${prefix}native-release/kvpack" "$root/usr/bin/kvpack"
stubs "$root/usr/share/kvpack/stubs"
docs "$root/usr/share/doc/kvpack"
mkdir -p "$staging/shlibs/debian"
echo 'Source: kvpack' >"$staging/shlibs/debian/control"
depends=$(cd "$staging/shlibs" && dpkg-shlibdeps -O "$root/usr/bin/kvpack" | sed -n 's/^shlibs:Depends=//p')
cat >"$root/DEBIAN/control" <<EOF
Package: kvpack
Version: $version
Architecture: amd64
Maintainer: Korvex Setup <setup@korvex.invalid>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: devel
Priority: optional
Description: packer of single-file Windows installers (Korvex Setup)
 kvpack packs a product's files and its setup.txt script behind the Korvex
 Setup stub into one setup.exe, and lists, extracts, verifies, lints and
 simulates such installers. The installer carries the vendor's product name,
 version and icon. Both Windows stubs and uninstallers come with it: i686 (the
 one to ship) and x86_64.
EOF
deb="${prefix}kvpack_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null

# The Windows zip: the 32-bit kvpack.exe, which runs on every Windows the stubs run on.
name="kvpack-$version-windows"
install -d "$staging/zip/$name"
i686-w64-mingw32-strip -o "$staging/zip/$name/kvpack.exe" "${prefix}mingw-i686/kvpack.exe"
stubs "$staging/zip/$name/stubs"
docs "$staging/zip/$name/doc"
zip_file="$PWD/${prefix}$name.zip"
rm -f "$zip_file"
(cd "$staging/zip" && zip -qrX "$zip_file" "$name")

echo "$deb: $(stat -c %s "$deb") bytes"
echo "${prefix}$name.zip: $(stat -c %s "$zip_file") bytes"
