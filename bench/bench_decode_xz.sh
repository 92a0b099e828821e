#!/bin/bash
# Decoder CPU time beside xz -d: headers.tar, manpages.roff and strace.elf, each decoded by
# its own process to /dev/null, by our reader, by the plain decoder and by xz -d (from files
# made here by xz -6 from the decoded originals). CPU time is user + sys, the least of REPEAT
# runs (default 5): wall time means little on a shared machine.
# Usage: bench/bench_decode_xz.sh BUILD_DIR   (the native-release build, holding kv_lza_cat)
# KV_BASELINE_CAT names another kv_lza_cat (say, built from an older commit) to time as well.
set -euo pipefail
cat_tool=$(realpath "$1")/bench/kv_lza_cat
repeat=${REPEAT:-5}
vectors=$(cd "$(dirname "$0")/../tests/vectors" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names=(headers.tar manpages.roff strace.elf)
declare -A size
for name in "${names[@]}"; do
    size[$name]=$(awk -v n="$name" '$1 == n { print $2 }' "$vectors/MANIFEST.tsv")
    "$cat_tool" "$vectors/$name.lza" "${size[$name]}" >"$work/$name"
    xz -6 -k -c "$work/$name" >"$work/$name.xz"
done

ours() { for n in "${names[@]}"; do "$cat_tool" "$vectors/$n.lza" "${size[$n]}"; done; }
plain() { for n in "${names[@]}"; do "$cat_tool" --plain "$vectors/$n.lza" "${size[$n]}"; done; }
baseline() { for n in "${names[@]}"; do "$KV_BASELINE_CAT" "$vectors/$n.lza" "${size[$n]}"; done; }
xz_d() { for n in "${names[@]}"; do xz -d -c "$work/$n.xz"; done; }

# Least user + sys seconds of REPEAT runs of the function $1, output discarded.
cpu_seconds() {
    local best= t
    for _ in $(seq "$repeat"); do
        t=$( { TIMEFORMAT='%U %S'; time "$1" >/dev/null; } 2>&1 | awk '{ print $1 + $2 }')
        if [ -z "$best" ] || (( $(echo "$t < $best" | bc) )); then best=$t; fi
    done
    echo "$best"
}

x=$(cpu_seconds xz_d)
o=$(cpu_seconds ours)
p=$(cpu_seconds plain)
echo "cpu seconds over ${names[*]} (least of $repeat):"
echo "  xz -d          $x"
echo "  reader         $o   $(echo "scale=2; $o / $x" | bc)x xz"
if [ -n "${KV_BASELINE_CAT:-}" ]; then
    b=$(cpu_seconds baseline)
    echo "  baseline       $b   $(echo "scale=2; $b / $x" | bc)x xz ($KV_BASELINE_CAT)"
fi
echo "  plain decoder  $p   $(echo "scale=2; $p / $x" | bc)x xz, reader $(echo "scale=2; $p / $o" | bc)x faster"
