#!/bin/bash
# The Debian 12 packages that building, testing and the demo need.
#   scripts/deps.sh          installs the missing ones (as root), or names them and fails
#   scripts/deps.sh --list   prints the list, one package a line
set -euo pipefail

packages=(
    cmake make g++ clang libclang-rt-14-dev  # native build, sanitizers, libFuzzer
    libgtest-dev libbenchmark-dev            # tests and benchmarks
    g++-mingw-w64-i686 g++-mingw-w64-x86-64  # the Windows stubs and packer
    wine wine64 xvfb imagemagick fonts-wine  # end-to-end tests and screenshots
    osslsigncode openssl                     # signed installers
    libssl-dev                               # kvpack verify checks signatures with OpenSSL
    liblnk-utils                             # lnkinfo: an independent reader of link files
    icoutils libimage-exiftool-perl          # wrestool, exiftool: independent PE resource readers
    dpkg-dev zip unzip                       # the Debian package and the Windows zip of kvpack
)

if [ "${1:-}" = --list ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} = 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "missing packages: ${missing[*]}" >&2
    echo "install them with: sudo bash scripts/deps.sh" >&2
    exit 1
fi
echo "=== installing ${missing[*]}"
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
