#!/bin/bash
# Hostile archives against the real x86_64 setup.exe under Wine, with /S and with /X (robot).
# kvpack refuses to pack hostile names, so each installer is packed with harmless names of the
# same lengths, which are then given their hostile names in place (every record keeps its
# place), or has a record's magic broken. Rows: names that climb out with forward slashes, a
# device name with a superscript digit and a console name, the logs' own names (one a forged
# Uninstal.log), names that Windows would make one file, a damaged record in the middle, and
# links planted where the members go.
# Each says what must not happen (a file outside the destination, a log replaced, a member
# written over another) and what must be reported (the exit code, the InsErr.log line, the
# message of /X).
# Usage: archive_windows.sh NATIVE-KVPACK DEMO-FOLDER
# Environment: KV_E2E_WORK, KV_SETUP_EXE, KV_ROBOT_EXE, KV_WINE64.
set -euo pipefail
. "$(dirname "$0")/hostile_lib.sh"
export LC_ALL=C # names are bytes here

kvpack=$1
run="$KV_E2E_WORK/runs/hostile_archive"
kv_prepare_run "$run"
drive="$WINEPREFIX/drive_c"
status=0

# installer NAME FILE=CONTENT... -- PLACEHOLDER=HOSTILE...: packs setup.txt and the files
# behind the real stub as C:\kvtest\NAME\setup.exe, then renames the placeholder members.
installer() {
    local name=$1 pair from to
    local product="$run/products/$name"
    shift
    mkdir -p "$product" "$work/$name"
    printf '%s' 'windowtitle="Vijand"
default_dest_drive=C:
default_dest_dir="Prog"
steps
{
foldersettings
startinstall
finished
}
install_steps
{
checkdiskspace="Ruimte","Te weinig ruimte"
copyfiles="Bestanden","Kopieren mislukt"
}
copy_files
{
"Alles",*.*,[dest]\*.*,overwrite_always
}
' | sed 's/$/\r/' >"$product/setup.txt"
    while [ "$1" != -- ]; do
        printf '%s' "${1#*=}" >"$product/${1%%=*}"
        shift
    done
    shift
    "$kvpack" pack --quiet -o "$work/$name/setup.exe" --stub "$KV_SETUP_EXE" "$product"
    for pair in "$@"; do
        from=${pair%%=*} to=${pair#*=}
        [ "${#from}" = "${#to}" ] || { echo "placeholder $from and $to differ in length" >&2; exit 2; }
        KV_FROM=$from KV_TO=$to perl -0777 -pi -e \
            '$n = s/\0\Q$ENV{KV_FROM}\E\0/\0$ENV{KV_TO}\0/g; die "$ENV{KV_FROM}: $n\n" if $n != 1' \
            "$work/$name/setup.exe"
    done
}

# silent NAME: setup.exe /S of installer NAME into C:\NAME; exit code in $code.
silent() {
    code=0
    (cd "$work/$1" && timeout 120 "$KV_WINE64" setup.exe /S "/D=C:\\$1") >>"$run/setup.log" \
        2>>"$run/wine.log" || code=$?
    echo "$1: setup.exe /S -> exit $code" >>"$run/setup.log"
}
logged() { tr -d '\r' <"$drive/$1/InsErr.log" | grep -qxF -- "$2"; } # logged NAME LINE
robot() { # robot FLOW: runs $work/FLOW.txt; its output in $run/FLOW.log
    (cd "$work" && timeout 120 "$KV_WINE64" kvrobot.exe "$1.txt") >"$run/$1.log" 2>>"$run/wine.log" ||
        true
    cat "$run/$1.log"
}
passed() { grep -qx PASS "$run/$1.log"; }
# listed FLOW: the names the /X list showed in its read-list, in list order.
listed() { sed -n 's/^item [0-9]* selected=[01] "\(.*\)"$/\1/p' "$run/$1.log" | sed 's/\\t.*//'; }
# closing NAME=REASON...: the message /X ends with when exactly these names are refused, in the
# order the list showed them (read from $listed_names).
closing() {
    local text='Niet alle bestanden zijn uitgepakt:' shown pair
    while IFS= read -r shown; do
        for pair in "$@"; do
            if [ "${pair%%=*}" = "$shown" ]; then text+="\\n$shown: ${pair#*=}"; fi
        done
    done <<<"$listed_names"
    printf '%s' "$text"
}
# unpack NAME FOLDER MESSAGE: /X of installer NAME, every entry selected, unpacked into FOLDER
# (made on the way), ending with MESSAGE (caption "Let op", or "Gereed" when it is empty).
unpack_flow() {
    local name=$1 folder=${2//\\/\\\\} message=$3
    {
        printf 'start %s\\setup.exe /X\nwait-window "Korvex - Bestanden uitpakken"\nread-list 1035\n' "$name"
        printf 'click 1000\nset-text 1037 "%s"\nclick 1\n' "$folder"
        printf 'expect-msgbox "Let op" "Map bestaat niet, aanmaken?"\npress Yes\n'
        if [ -z "$message" ]; then
            printf 'expect-msgbox "Gereed" "Bestanden uitgepakt"\npress OK\nexpect-exit 0\n'
        else
            printf 'expect-msgbox "Let op" "%s"\npress OK\nclick 2\nexpect-exit 0\n' "$message"
        fi
    } >"$work/$name-x.txt"
}
# list_flow NAME: /X of installer NAME opened, its list read, closed again.
list_flow() {
    printf 'start %s\\setup.exe /X\nwait-window "Korvex - Bestanden uitpakken"\nread-list 1035\nclick 2\nexpect-exit 0\n' \
        "$1" >"$work/$1-list.txt"
    robot "$1-list"
    listed_names=$(listed "$1-list")
}

# 1. Names that climb out, devices and the logs' names: /S refuses each by name and fails its
#    entry (exit 1); nothing lands in C:\ or C:\windows; the logs are the installer's own.
forged=$'[FILE]\r\nC:\\windows\\win.ini\r\n'
installer escape a.txt=gewoon kv_fwd_slash_1.txt=uit kv_fwd_slash_22.txt=uit kvdev1.t=apparaat \
    kvdev_2=console kv_log_1.log="$forged" kv_log_2.lo=fout -- \
    "kv_fwd_slash_1.txt=a/b/../../../x.txt" "kv_fwd_slash_22.txt=../../windows/x.txt" \
    "kvdev1.t=COM"$'\xB9'".txt" 'kvdev_2=CONOUT$' kv_log_1.log=Uninstal.log kv_log_2.lo=INSERR.LOG.
silent escape
row "/S with refused names exits 1" test "$code" = 1
# The name stored in Windows-1252 (as an earlier kvpack.exe wrote it) is logged in UTF-8.
for name in a/b/../../../x.txt ../../windows/x.txt "COM¹.txt" 'CONOUT$' Uninstal.log INSERR.LOG.; do
    row "/S logs 'Refused Member Name! ($name)'" logged escape "Refused Member Name! ($name)"
done
row "no x.txt anywhere on C:" test -z "$(find "$drive" -name x.txt)"
row "the other member is installed" test "$(cat "$drive/escape/a.txt")" = gewoon
row "Uninstal.log is the installer's own" \
    sh -c "head -n 1 '$drive/escape/Uninstal.log' | grep -q '^UninstallLog created: ' &&
           ! grep -q win.ini '$drive/escape/Uninstal.log'"
row "InsErr.log is the installer's own" \
    sh -c "head -n 1 '$drive/escape/InsErr.log' | grep -q '^ErrorLog created: '"

# 2. /X on names that climb out and a console name: refused by name, nothing outside C:\uit\x.
installer xescape a.txt=gewoon kv_fwd_slash_1.txt=uit kvdev_2=console -- \
    "kv_fwd_slash_1.txt=a/b/../../../x.txt" 'kvdev_2=CONOUT$'
list_flow xescape
unpack_flow xescape 'C:\uit\x' "$(closing 'a/b/../../../x.txt=naam buiten de doelmap' \
    'CONOUT$=naam van een apparaat')"
robot xescape-x
row "/X names each refused member" passed xescape-x
row "/X unpacks the sound member" test "$(cat "$drive/uit/x/a.txt")" = gewoon
row "/X writes no x.txt anywhere on C:" test -z "$(find "$drive" -name x.txt)"

# 3. Names Windows would make one file: the later is refused by name, never written over the
#    earlier (/X and /S alike).
# The placeholders sort after readme.txt, so the hostile names follow it in the archive.
installer same readme.txt=eerste rzcase.txt=tweede rzdot_1.txt=derde! -- \
    rzcase.txt=README.TXT rzdot_1.txt=readme.txt.
list_flow same
first=$(printf '%s\n' "$listed_names" | grep -ix 'readme.txt\.\{0,1\}' | head -n 1)
later=$(printf '%s\n' "$listed_names" | grep -ix 'readme.txt\.\{0,1\}' | tail -n +2)
case "$first" in readme.txt) want=eerste ;; README.TXT) want=tweede ;; *) want=derde! ;; esac
reasons=()
while IFS= read -r name; do reasons+=("$name=zelfde naam als een eerder bestand"); done <<<"$later"
unpack_flow same 'C:\uit\same' "$(closing "${reasons[@]}")"
robot same-x
row "/X refuses the later of names Windows makes one" passed same-x
# Wine keeps the case the first one was written with; Windows would find it under either.
written=$(find "$drive/uit/same" -maxdepth 1 -iname 'readme.txt*')
row "/X writes one file for the three names" test "$(printf '%s\n' "$written" | wc -l)" = 1
row "/X keeps the first one whole" test "$(cat "$written")" = "$want"
silent same
row "/S with names Windows makes one exits 1" test "$code" = 1
row "/S logs 'Refused Member Name! (README.TXT)'" logged same "Refused Member Name! (README.TXT)"
row "/S logs 'Refused Member Name! (readme.txt.)'" logged same "Refused Member Name! (readme.txt.)"
row "/S keeps the first one" test "$(cat "$drive/same/readme.txt")" = eerste

# 4. A record in the middle without its magic: /S logs where and exits 1; /X lists what comes
#    before it (setup.txt and x1.txt) and says that not all could be listed.
installer damaged x1.txt=een x2.txt=twee x3.txt=drie --
at=$(perl -0777 -ne '/LZA!.{20}x2\.txt\0/s and print $-[0]' "$work/damaged/setup.exe")
perl -0777 -pi -e '$n = s/LZA!(.{20}x2\.txt\0)/LZA?$1/s; die "x2.txt: $n\n" if $n != 1' \
    "$work/damaged/setup.exe"
silent damaged
row "/S on a damaged archive exits 1" test "$code" = 1
row "/S logs 'Archive Damaged: record at $at'" logged damaged "Archive Damaged: record at $at"
row "/S copies nothing from a damaged archive" test ! -e "$drive/damaged/x1.txt"
cat >"$work/damaged-x.txt" <<'FLOW'
start damaged\setup.exe /X
expect-msgbox "Let op" "Het archief is beschadigd: niet alle bestanden konden worden getoond."
press OK
wait-window "Korvex - Bestanden uitpakken"
expect-list-count 1035 2
read-list 1035
click 2
expect-exit 0
FLOW
robot damaged-x
row "/X says the damaged archive could not be listed whole" passed damaged-x

# 5. Links a user planted where the members go (Unix symlinks in the prefix, which Win32
#    programs take for links): sub to the folder C:\buiten, a.txt to the file C:\buiten\a.txt.
#    /S into C:\linked (whose [dest]\*.* takes the members' file names) refuses a.txt by name,
#    /X into C:\uitl both; nothing is written through them.
installer linked a.txt=nieuw subxb.txt=nieuw gewoon.txt=gewoon -- 'subxb.txt=sub\b.txt'
plant_links() { # plant_links FOLDER: the two links in C:\FOLDER, and what they point at
    mkdir -p "$drive/buiten" "$drive/$1"
    printf 'van een ander' >"$drive/buiten/a.txt"
    ln -sfn ../buiten "$drive/$1/sub"
    ln -sfn ../buiten/a.txt "$drive/$1/a.txt"
}
untouched() { test "$(ls "$drive/buiten")" = a.txt -a "$(cat "$drive/buiten/a.txt")" = 'van een ander'; }
plant_links linked
silent linked
row "/S through planted links exits 1" test "$code" = 1
row "/S logs 'Refused Link! (C:\linked\a.txt)'" logged linked 'Refused Link! (C:\linked\a.txt)'
row "/S writes nothing through the links" untouched
row "/S installs the other member" test "$(cat "$drive/linked/gewoon.txt")" = gewoon
plant_links uitl
list_flow linked
{
    printf 'start linked\\setup.exe /X\nwait-window "Korvex - Bestanden uitpakken"\n'
    printf 'click 1000\nset-text 1037 "C:\\\\uitl"\nclick 1\nexpect-msgbox "Let op" "%s"\n' \
        "$(closing 'a.txt=koppeling naar elders geweigerd' 'sub\\b.txt=koppeling naar elders geweigerd')"
    printf 'press OK\nclick 2\nexpect-exit 0\n'
} >"$work/linked-x.txt"
robot linked-x
row "/X names each member refused for a link" passed linked-x
row "/X writes nothing through the links" untouched
row "/X unpacks the other member" test "$(cat "$drive/uitl/gewoon.txt")" = gewoon

kv_stop_wine
echo "$hostile_rows hostile rows"
kv_finish_run "$run" "$status"
