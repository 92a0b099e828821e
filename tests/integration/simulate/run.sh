#!/bin/sh
# The demo installer through kvpack simulate: packed, installed twice into simulated drives,
# with Uninstal.log byte-exact to the hand-checked golden file (its time line aside), the
# files in place, and the second run answering the overwrite questions.
# Usage: run.sh KVPACK
set -eu
kvpack=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$kvpack" pack --bare --quiet -o "$work/demo.pck" "$here/demo"
"$kvpack" simulate "$work/demo.pck" --root "$work/root" > "$work/first.txt" ||
    fail "first run did not complete: $(cat "$work/first.txt")"
dest="$work/root/c/Demo Program"

# Uninstal.log: the time line, then exactly the golden records.
head -n 1 "$dest/Uninstal.log" | tr -d '\r' |
    grep -Eq '^UninstallLog created: [0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{4}$' ||
    fail "time line format: $(head -n 1 "$dest/Uninstal.log")"
tail -n +2 "$dest/Uninstal.log" | cmp - "$here/expected_uninstal_tail.log" || fail "Uninstal.log differs"
[ "$(wc -l < "$dest/InsErr.log")" -eq 1 ] || fail "InsErr.log has error lines"

cmp "$dest/demo.exe" "$here/demo/demo.exe" || fail "demo.exe"
cmp "$dest/Docs/manual.txt" "$here/demo/docs/manual.txt" || fail "manual.txt"
[ -d "$dest/Docs/Extra" ] || fail "dir02 not made"
grep -q '^row 4 done    Snelkoppelingen$' "$work/first.txt" || fail "start menu row"
! grep -q '^row .*Bureaublad' "$work/first.txt" || fail "desktop step should have no row"
grep -q '^result 2 (complete)$' "$work/first.txt" || fail "result line"

# Second run: every existing file asks (overwrite_ask), the first answer holds for all.
printf 'changed\r\n' > "$dest/license.txt"
"$kvpack" simulate "$work/demo.pck" --root "$work/root" --answer overwrite=no-to-all \
    > "$work/second.txt" || fail "second run"
[ "$(grep -c '^question ' "$work/second.txt")" -eq 1 ] || fail "one question expected"
grep -q "^question Dit bestand bestaat al. Wilt u het bestand overschrijven ? |  | 'C:\\\\Demo Program\\\\license.txt'$" \
    "$work/second.txt" || fail "question text: $(grep '^question' "$work/second.txt")"
[ "$(cat "$dest/license.txt")" = "$(printf 'changed\r')" ] || fail "license.txt was overwritten"

# Third run: cancelled in the copy step; the run reports it and the exit code says so.
if "$kvpack" simulate "$work/demo.pck" --root "$work/root" --answer cancel-at=copyfiles:2 \
    > "$work/third.txt"; then fail "a cancelled run must not exit 0"; fi
grep -q '^row 3 failed  Bestanden kopieren$' "$work/third.txt" || fail "cancelled row"
grep -q '^result -1 (cancelled)$' "$work/third.txt" || fail "cancel result"
echo "simulate: ok"
