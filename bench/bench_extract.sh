#!/bin/bash
# Extract-only mode benchmark under wine64, driven by the e2e robot:
#   1. an installer of N small members: from starting "setup.exe /X" to the dialog showing its
#      filled list (goal: under 1 s for 10,000 members), beside the same for one member;
#   2. one member of M MB: the dialog's unpack (OK to the closing message) beside
#      "kvpack extract" of the same installer, natively and (with KVPACK_EXE) under Wine.
# Usage: bench/bench_extract.sh KVPACK SETUP_EXE ROBOT_EXE [KVPACK_EXE] [MEMBERS] [MB]
#   KVPACK a native kvpack (the native-release build), SETUP_EXE and ROBOT_EXE from the
#   mingw-x86_64 build; KVPACK_EXE its kvpack.exe ("" to skip).
# Makes a Wine prefix of its own (about 700 MB) in a temporary folder, removed at the end.
set -euo pipefail
kvpack=$(realpath "$1")
setup_exe=$(realpath "$2")
robot_exe=$(realpath "$3")
kvpack_exe=${4:-}
members=${5:-10000}
large_mb=${6:-100}
here=$(cd "$(dirname "$0")" && pwd)
export KV_E2E_WORK=$(mktemp -d)
trap 'kv_stop_wine; rm -rf "$KV_E2E_WORK"' EXIT
. "$here/../tests/e2e/e2e_lib.sh"
KV_SETUP_EXE=$setup_exe KV_ROBOT_EXE=$robot_exe
export KV_SETUP_EXE KV_ROBOT_EXE
bash "$here/../tests/e2e/prefix_setup.sh" >/dev/null
kv_prepare_run "$KV_E2E_WORK/run"
src="$KV_E2E_WORK/src"
mkdir -p "$src/many" "$src/large" "$src/one"

python3 - "$src" "$members" "$large_mb" <<'PY'
import os, random, sys
root, members, large_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(7)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(2, 9)))
         for _ in range(2000)]
def text(size):
    out, n = [], 0
    while n < size:
        w = rng.choice(words)
        out.append(w)
        n += len(w) + 1
    return (' '.join(out))[:size].encode()
for i in range(members - 1):
    with open(os.path.join(root, 'many', 'f%05d.txt' % i), 'wb') as f:
        f.write(text(rng.randint(100, 1000)))
chunk = text(1 << 20)
with open(os.path.join(root, 'large', 'big.dat'), 'wb') as f:
    for i in range(large_mb):
        f.write(chunk[i % 7:] + chunk[:i % 7])
for d in ('many', 'large', 'one'):
    with open(os.path.join(root, d, 'setup.txt'), 'w') as f:
        f.write('default_dest_dir="Bench"\n')
PY
mkdir -p "$work/many" "$work/large" "$work/one" "$work/../uit" # the folder exists: no question to time
"$kvpack" pack --quiet -o "$work/many/setup.exe" --stub "$setup_exe" "$src/many" 2>/dev/null
"$kvpack" pack --quiet -o "$work/large/setup.exe" --stub "$setup_exe" "$src/large" 2>/dev/null
"$kvpack" pack --quiet -o "$work/one/setup.exe" --stub "$setup_exe" "$src/one" 2>/dev/null

# The first start warms Wine up; big.dat sorts before setup.txt: entry 0.
cat >"$work/bench.txt" <<FLOW
timeout 600
start one\\setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
click 2
expect-exit 0
start one\\setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
elapsed baseline
click 2
expect-exit 0
start many\\setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
elapsed listed
expect-list-count 1035 $members
click 2
expect-exit 0
start large\\setup.exe /X
wait-window "Korvex - Bestanden uitpakken"
select-list 1035 0 1
set-text 1037 "C:\\\\uit"
elapsed ok
click 1
expect-msgbox "Gereed" "Bestanden uitgepakt"
elapsed unpacked
press OK
expect-exit 0
FLOW
(cd "$work" && "$KV_WINE64" kvrobot.exe bench.txt) >"$KV_E2E_WORK/robot.log" 2>/dev/null || {
    cat "$KV_E2E_WORK/robot.log" >&2
    exit 1
}
cmp -s "$work/../uit/big.dat" "$src/large/big.dat" || { echo "big.dat differs" >&2; exit 1; }
ms() { awk -v k="$1" '$1 == "elapsed" && $2 == k { print $3 }' "$KV_E2E_WORK/robot.log"; }
now() { date +%s.%N; }
t0=$(now)
"$kvpack" extract "$work/large/setup.exe" -C "$KV_E2E_WORK/native" --quiet big.dat >/dev/null
t1=$(now)
wine_kvpack=""
if [ -n "$kvpack_exe" ]; then
    cp "$kvpack_exe" "$work/kvpack.exe"
    t2=$(now)
    (cd "$work" && "$KV_WINE64" kvpack.exe extract 'large\setup.exe' -C wine-out --quiet big.dat) \
        >/dev/null 2>&1
    t3=$(now)
    wine_kvpack=$(awk -v a="$t2" -v b="$t3" -v mb="$large_mb" \
        'BEGIN { printf ", kvpack.exe extract under wine64 %.2f s (%.1f MB/s)", b - a, mb / (b - a) }')
fi
awk -v n="$members" -v base="$(ms baseline)" -v listed="$(ms listed)" -v ok="$(ms ok)" -v done="$(ms unpacked)" \
    -v a="$t0" -v b="$t1" -v mb="$large_mb" -v w="$wine_kvpack" 'BEGIN {
    printf "%d members: start to filled list %.2f s under wine64 (one member: %.2f s)\n", n,
        listed / 1000, base / 1000
    u = (done - ok) / 1000
    printf "%d MB member: setup.exe /X unpack %.2f s (%.1f MB/s), kvpack extract natively %.2f s (%.1f MB/s)%s\n",
        mb, u, mb / u, b - a, mb / (b - a), w
}'
