#!/bin/bash
# The painted wizard, checked by its pixels on a real X display (Xvfb, 1024x768): an installer
# without a banner picture shows the gradient, whose top row is pure blue (0,0,255) and whose
# bottom row is black or near it, and the welcome page's frame with its buttons lies centred on
# the screen (equal margins left and right, above and below, to a pixel of rounding).
# Usage: pixel_check.sh KVPACK   (environment as for run_flow.sh)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/e2e_lib.sh"
kvpack=$1

for tool in Xvfb import convert; do
    command -v "$tool" >/dev/null || { echo "pixel_check: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done

check="$KV_E2E_WORK/pixel_check"
rm -rf "$check"
mkdir -p "$check"
"$kvpack" pack --quiet -o "$check/setup.exe" --stub "$KV_SETUP_EXE" "$here/data/pixel_check"
cat >"$check/flow.txt" <<'FLOW'
start setup.exe
wait-window "Pixeltoets"
expect-visible 5051 1
expect-visible 5052 1
snapshot welcome
click 2
expect-exit 0
FLOW
KV_SETUP_EXE="$check/setup.exe" bash "$here/screenshot.sh" "$check/end.png" \
    --flow "$check/flow.txt" --snapshots "$check"
shot="$check/welcome.png"

status=0
failed() { echo "pixel_check: $*"; status=1; }
read -r width height < <(convert "$shot" -format '%w %h\n' info:)
[ "$width" = 1024 ] && [ "$height" = 768 ] || failed "screen is ${width}x$height, not 1024x768"

# Colours of one whole row, as "r,g,b" lines without repeats.
row_colours() {
    convert "$shot" -crop "${width}x1+0+$1" +repage -unique-colors -depth 8 txt:- | tr -d ' ' |
        sed -n 's/^[0-9]*,[0-9]*:(\([0-9]*\),\([0-9]*\),\([0-9]*\)[,)].*/\1,\2,\3/p'
}
top=$(row_colours 0)
[ "$top" = "0,0,255" ] || failed "top row is not pure blue: $(echo $top)"
bottom=$(row_colours $((height - 1)))
echo "$bottom" | awk -F, '$1 > 8 || $2 > 8 || $3 > 8 { bad = 1 } END { exit bad }' ||
    failed "bottom row is not black: $(echo $bottom)"

# Everything that is not the gradient has red or green in it: zero the blue channel and the
# gradient turns black, so trimming the black leaves the page block (frame and buttons). The
# title painted near the bottom edge is cut off first.
block=$(convert "$shot" -crop "${width}x$((height - 100))+0+0" +repage -channel B -evaluate set 0 \
    +channel -format '%@' info:)
read -r bw bh bx by < <(echo "$block" | sed 's/[x+]/ /g')
left=$bx
right=$((width - bx - bw))
above=$by
below=$((height - by - bh))
echo "page block ${block}: margins left $left, right $right, above $above, below $below"
[ $((left - right)) -ge -1 ] && [ $((left - right)) -le 1 ] || failed "not centred across"
[ $((above - below)) -ge -1 ] && [ $((above - below)) -le 1 ] || failed "not centred down"
[ "$bw" -lt "$width" ] && [ "$bh" -lt "$((height - 100))" ] || failed "no page block found"

if [ "$status" = 0 ]; then
    rm -rf "$check"
    echo PASS
else
    echo "FAIL (kept in $check)"
fi
exit "$status"
