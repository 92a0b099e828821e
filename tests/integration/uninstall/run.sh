#!/bin/sh
# The round trip through kvpack simulate: the demo installed (Start menu and desktop links,
# a file type), then removed by kvpack simulate --uninstall. What the user added stays with its
# folders and is reported; a second round without it leaves nothing of the demo at all.
# Usage: run.sh KVPACK
set -eu
kvpack=$1
here=$(cd "$(dirname "$0")/../simulate" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }
root="$work/root"
dest="$root/c/Demo Program"
profile="$root/c/users/gebruiker"
programs="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
keys() { iconv -f UTF-16 -t UTF-8 "$root/registry.reg" | grep -c '^\[' || true; }
install() {
    "$kvpack" simulate "$work/demo.pck" --root "$root" --user gebruiker --option desktop=on \
        > "$work/install.txt" || fail "install: $(cat "$work/install.txt")"
}

"$kvpack" pack --bare --quiet -o "$work/demo.pck" "$here/demo"

# Round one: the user added a file to Docs and the uninstaller's own file sits in the folder.
install
[ -s "$programs/Demo/Demo.lnk" ] && [ -s "$profile/Desktop/Demo.lnk" ] || fail "no links made"
[ "$(keys)" -gt 0 ] || fail "no keys made"
printf 'mine\r\n' > "$dest/Docs/notes.txt"
printf 'MZ' > "$dest/kvuninst.exe"
if "$kvpack" simulate --uninstall --root "$root" --user gebruiker --dest 'C:\Demo Program' \
    > "$work/one.txt"; then fail "a kept folder must not exit 0"; fi
grep -q '^exit 1$' "$work/one.txt" || fail "exit line: $(cat "$work/one.txt")"
grep -q '^Bewaard (niet leeg): C:\\Demo Program\\Docs$' "$work/one.txt" || fail "Docs line"
grep -q '^Map bewaard, want niet leeg: C:\\Demo Program$' "$work/one.txt" || fail "report"
# Newest first: the keys (last in the log) before the links, the links before the files.
first=$(grep -n '^Verwijderd: HKEY_CLASSES_ROOT\\Demo.Document$' "$work/one.txt" | cut -d: -f1)
link=$(grep -n 'Desktop\\Demo.lnk$' "$work/one.txt" | cut -d: -f1)
file=$(grep -n '^Verwijderd: C:\\Demo Program\\demo.exe$' "$work/one.txt" | cut -d: -f1)
[ "$first" -lt "$link" ] && [ "$link" -lt "$file" ] || fail "order: $(cat "$work/one.txt")"
left=$(cd "$root/c" && find . -path ./users -prune -o -print | sort | tr '\n' ' ')
[ "$left" = ". ./Demo Program ./Demo Program/Docs ./Demo Program/Docs/notes.txt " ] ||
    fail "left on C: $left"
[ ! -e "$programs/Demo" ] && [ ! -e "$profile/Desktop/Demo.lnk" ] || fail "links left"
[ -d "$programs" ] && [ -d "$profile/Desktop" ] || fail "a special folder was removed"
[ "$(keys)" -eq 0 ] || fail "keys left: $(iconv -f UTF-16 -t UTF-8 "$root/registry.reg")"

# Round two: the user removed his file; nothing of the demo remains, the destination folder
# included. The destination comes from the script this time.
rm -r "$dest"
install
"$kvpack" simulate --uninstall "$work/demo.pck" --root "$root" --user gebruiker \
    > "$work/two.txt" || fail "clean uninstall: $(cat "$work/two.txt")"
grep -q '^exit 0$' "$work/two.txt" || fail "exit 0 expected"
[ ! -e "$dest" ] || fail "the destination folder stayed"
[ -z "$(find "$profile" -type f)" ] || fail "files left in the profile: $(find "$profile" -type f)"
[ "$(keys)" -eq 0 ] || fail "keys left after round two"

# Without a log nothing is touched.
mkdir -p "$dest" && printf 'x' > "$dest/keep.txt"
if "$kvpack" simulate --uninstall --root "$root" --dest 'C:\Demo Program' > "$work/none.txt"; then
    fail "no log must not exit 0"
fi
grep -q '^message \[Verwijderen onmogelijk\] Het bestand C:\\Demo Program\\Uninstal.log ontbreekt' \
    "$work/none.txt" || fail "no-log message: $(cat "$work/none.txt")"
grep -q '^exit 2$' "$work/none.txt" && [ -f "$dest/keep.txt" ] || fail "no-log run"
echo "uninstall: ok"
