#!/bin/sh
# The demo installer through kvpack simulate: packed, installed twice into simulated drives,
# with Uninstal.log byte-exact to the hand-checked golden file (its time line aside), the
# files in place, and the second run answering the overwrite questions and keeping what other
# programs registered.
# Usage: run.sh KVPACK
set -eu
kvpack=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$kvpack" pack --bare --quiet -o "$work/demo.pck" "$here/demo"
"$kvpack" simulate "$work/demo.pck" --root "$work/root" --user gebruiker > "$work/first.txt" ||
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
# HKEY_CLASSES_ROOT as the registry editor exports it (UTF-16LE with its mark), golden as text.
reg_text() { iconv -f UTF-16 -t UTF-8 "$work/root/registry.reg"; }
[ "$(head -c 2 "$work/root/registry.reg" | od -An -tx1 | tr -d ' ')" = fffe ] || fail "registry.reg mark"
reg_text | cmp - "$here/expected_registry.reg.txt" || fail "registry.reg differs"
programs="$work/root/c/users/gebruiker/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
[ -s "$programs/Demo/Demo.lnk" ] && [ -s "$programs/Demo/Handleiding" ] || fail "start menu links"
[ ! -e "$programs/Demo/Weg.lnk" ] || fail "a link to a missing target"

# Second run: every existing file asks (overwrite_ask), the first answer holds for all.
printf 'changed\r\n' > "$dest/license.txt"
# ...over the class as an earlier version left it (its icon in the destination), to which
# another program has added a verb, and over .dmo as another program owns it: the class is
# filled again and keeps the verb; .dmo keeps that program's value, remembers its class and
# points at ours.
cat > "$work/root/registry.reg" <<'REG'
REGEDIT4

[HKEY_CLASSES_ROOT\.dmo]
@="Oud.Type"
"Content Type"="text/plain"

[HKEY_CLASSES_ROOT\Demo.Document\DefaultIcon]
@="C:\\Demo Program\\oud.exe,0"

[HKEY_CLASSES_ROOT\Demo.Document\shell\edit\command]
@="C:\\Tools\\edit.exe %1"
REG
"$kvpack" simulate "$work/demo.pck" --root "$work/root" --answer overwrite=no-to-all \
    > "$work/second.txt" || fail "second run"
[ "$(grep -c '^question ' "$work/second.txt")" -eq 1 ] || fail "one question expected"
grep -q "^question Dit bestand bestaat al. Wilt u het bestand overschrijven ? |  | 'C:\\\\Demo Program\\\\license.txt'$" \
    "$work/second.txt" || fail "question text: $(grep '^question' "$work/second.txt")"
[ "$(cat "$dest/license.txt")" = "$(printf 'changed\r')" ] || fail "license.txt was overwritten"
reg_text | cmp - "$here/expected_registry_second.reg.txt" || fail "a second install lost or changed others' keys"

# Uninstalled: .dmo is given back to the class it named, with the other program's value; the
# class goes whole, the verb another program added to it with it.
# (license.txt, which the second run kept, is not in its log: the folder stays, exit 1.)
"$kvpack" simulate --uninstall "$work/demo.pck" --root "$work/root" > "$work/uninstall.txt" || true
grep -q '^Teruggegeven: HKEY_CLASSES_ROOT\\.dmo' "$work/uninstall.txt" || fail "no give-back line"
printf '%s\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_CLASSES_ROOT\.dmo]' '@="Oud.Type"' \
    '"Content Type"="text/plain"' '' > "$work/expected-after.txt"
reg_text | tr -d '\r' | cmp - "$work/expected-after.txt" || fail "the uninstall left: $(reg_text)"

# Third run: cancelled in the copy step; the run reports it and the exit code says so.
if "$kvpack" simulate "$work/demo.pck" --root "$work/root" --answer cancel-at=copyfiles:2 \
    > "$work/third.txt"; then fail "a cancelled run must not exit 0"; fi
grep -q '^row 3 failed  Bestanden kopieren$' "$work/third.txt" || fail "cancelled row"
grep -q '^result -1 (cancelled)$' "$work/third.txt" || fail "cancel result"
echo "simulate: ok"
