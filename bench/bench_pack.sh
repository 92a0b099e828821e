#!/bin/bash
# Packing benchmark: kvpack pack on 1 and on more threads over the payload of a typical
# product: a licence, a readme, a program, a picture and 2,000 C headers (the first 2,000 .h
# files under /usr/include, by sorted path), some 25 MB, plus the demo's setup.txt. Checks
# that every thread count writes the same bytes, and prints wall and CPU seconds (the fastest
# of REPEAT runs each) and the speed-up over one thread.
# Usage: bench/bench_pack.sh KVPACK [THREADS... (default 2)]
# REPEAT (default 3) runs per thread count; KV_BENCH_DIR keeps the payload there instead of
# a temporary folder.
set -euo pipefail
kvpack=$(realpath "$1")
shift
threads=("$@")
[ ${#threads[@]} -gt 0 ] || threads=(2)
repeat=${REPEAT:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
work=${KV_BENCH_DIR:-$(mktemp -d)}
[ -n "${KV_BENCH_DIR:-}" ] || trap 'rm -rf "$work"' EXIT
src="$work/payload"

if [ ! -f "$src/setup.txt" ]; then
    rm -rf "$src"
    mkdir -p "$src/include"
    cp "$here/examples/demo/license.txt" "$here/examples/demo/readme.txt" \
        "$here/examples/demo/banner.bmp" "$here/examples/demo/setup.txt" "$src/"
    cp "$kvpack" "$src/program.bin"
    n=0
    while IFS= read -r header; do
        n=$((n + 1))
        cp "$header" "$src/include/$(printf '%04d' $n)_$(basename "$header")"
    done < <(find /usr/include -name '*.h' -type f | LC_ALL=C sort | head -n 2000)
    [ "$n" -eq 2000 ] || { echo "bench_pack: only $n headers under /usr/include" >&2; exit 1; }
fi
files=$(find "$src" -type f | wc -l)
bytes=$(du -sb "$src" | cut -f1)
echo "payload: $files files, $bytes bytes"

# Fastest wall and CPU (user + sys) seconds of REPEAT runs of pack -j $1, output in $2.
measure() {
    local best_wall= best_cpu= out
    for _ in $(seq "$repeat"); do
        out=$( { TIMEFORMAT='%R %U %S'; time "$kvpack" pack --bare --quiet -j "$1" -o "$2" "$src" 2>/dev/null; } 2>&1)
        read -r wall user sys <<<"$out"
        cpu=$(echo "$user + $sys" | bc)
        if [ -z "$best_wall" ] || (( $(echo "$wall < $best_wall" | bc) )); then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || (( $(echo "$cpu < $best_cpu" | bc) )); then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}

read -r wall1 cpu1 <<<"$(measure 1 "$work/j1.pck")"
echo "-j 1: wall $wall1 s, cpu $cpu1 s, $(du -b "$work/j1.pck" | cut -f1) bytes"
for j in "${threads[@]}"; do
    read -r wall cpu <<<"$(measure "$j" "$work/j$j.pck")"
    cmp -s "$work/j1.pck" "$work/j$j.pck" || { echo "bench_pack: -j $j output differs" >&2; exit 1; }
    echo "-j $j: wall $wall s, cpu $cpu s, speed-up $(echo "scale=2; $wall1 / $wall" | bc)x, output identical"
done
