# Shared settings of the Wine end-to-end scripts (sourced, not run).
# Every run is isolated: a private HOME, a private prefix, no menu entries, no Mono or Gecko,
# no crash dialog (a crash ends the program instead of hanging the test).
#
# Expects: KV_E2E_WORK (scratch folder of the e2e tests). Optional: KV_WINE64.

KV_WINE64=${KV_WINE64:-/usr/lib/wine/wine64}
KV_WINESERVER=$(dirname "$KV_WINE64")/wineserver64
[ -x "$KV_WINESERVER" ] || KV_WINESERVER=$(command -v wineserver)
KV_TEMPLATE="$KV_E2E_WORK/template"

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export WINEARCH=win64

# Points Wine at prefix folder $1 with its own HOME beside it.
kv_use_prefix() {
    export WINEPREFIX="$1/prefix"
    export HOME="$1/home"
    mkdir -p "$HOME"
}

# Stops the wineserver of the current prefix and waits until it has written the registry.
kv_stop_wine() {
    "$KV_WINESERVER" -k 2>/dev/null || true
    "$KV_WINESERVER" -w 2>/dev/null || true
}

# Makes run folder $1 from the template prefix and points Wine at it; the stub, the robot and
# each further argument (files or folders) are copied into C:\kvtest, which $work names.
kv_prepare_run() {
    local run=$1 extra
    shift
    if [ ! -d "$KV_TEMPLATE/prefix" ]; then
        echo "$(basename "$0"): no template prefix in $KV_TEMPLATE (the prefix fixture did not run)" >&2
        exit 1
    fi
    rm -rf "$run"
    mkdir -p "$run"
    cp -a "$KV_TEMPLATE/prefix" "$run/prefix"
    kv_use_prefix "$run"
    work="$WINEPREFIX/drive_c/kvtest"
    mkdir -p "$work"
    cp "$KV_SETUP_EXE" "$work/setup.exe"
    cp "$KV_ROBOT_EXE" "$work/kvrobot.exe"
    for extra in "$@"; do cp -r "$extra" "$work/"; done
}

# Ends a run that checked its own results: removes run folder $1 when status $2 is 0 (unless
# KV_E2E_KEEP=1), prints PASS or FAIL and exits with the status.
kv_finish_run() {
    if [ "$2" = 0 ] && [ "${KV_E2E_KEEP:-0}" != 1 ]; then rm -rf "$1"; fi
    if [ "$2" = 0 ]; then echo PASS; else echo "FAIL (kept in $1)"; fi
    exit "$2"
}

# check DESCRIPTION COMMAND...: runs the command, prints ok or FAIL with the description, and
# records a failure in the script's status (which it hands to kv_finish_run).
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; else echo "FAIL $what"; status=1; fi
}

kv_elapsed() { # seconds since $1 (from date +%s.%N), two decimals
    awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'
}

# The demo's wizard as a person goes through it, as robot flow lines on stdout, for
# C:\kvtest\setup.exe (the demo packed behind the real stub): the welcome page, the licence
# accepted, destination $1 typed into the folder box, the option boxes as the script ticks them
# unless a further argument says otherwise (startmenu=0|1, desktop=0|1, extrareg=0|1), and
# Start pressed. Lines for the run itself (a question to answer) may follow; then
# kv_wizard_finish_lines.
kv_wizard_start_lines() {
    local dest=${1//\\/\\\\} box id want default
    shift
    cat <<FLOW
start setup.exe
wait-window "Korvex Demo installeren"
expect-visible 5051 1
click 1
expect-visible 5010 1
expect-enabled 1 0
check 5011
expect-enabled 1 1
click 1
expect-visible 5001 1
set-text 5001 "$dest"
FLOW
    for box in "$@"; do
        case "${box%=*}" in
        startmenu) id=5003 default=1 ;;
        desktop) id=5004 default=1 ;;
        extrareg) id=5008 default=0 ;;
        *)
            echo "kv_wizard_start_lines: unknown box $box" >&2
            return 2
            ;;
        esac
        want=${box#*=}
        echo "expect-checked $id $default"
        if [ "$want" != "$default" ]; then printf 'check %s\nexpect-checked %s %s\n' "$id" "$id" "$want"; fi
    done
    echo "click 1"
}

# The end of the wizard after a run that completed: "Installatie voltooid", "Voltooien", the
# launch box unticked (the test does not start the demo), "Sluiten", exit 0.
kv_wizard_finish_lines() {
    cat <<'FLOW'
wait-window "Korvex Demo installeren"
timeout 120
expect-text 6001 "Installatie voltooid"
timeout 20
expect-visible 2 0
expect-text 1 "Voltooien"
click 1
expect-visible 5031 1
check 5031
expect-checked 5031 0
expect-text 1 "Sluiten"
click 1
wait-gone
expect-exit 0
FLOW
}

# Runs robot flow file $1 (in C:\kvtest) with its output in log $2 (shown too); returns 0 when
# the robot passed.
kv_robot() {
    local code=0
    (cd "$work" && timeout 300 "$KV_WINE64" kvrobot.exe "$(basename "$1")") >"$2" \
        2>>"$(dirname "$2")/wine.log" || code=$?
    cat "$2"
    [ "$code" = 0 ] && grep -qx 'PASS' "$2"
}

# Installs the demo unattended (setup.exe /S and the further arguments, e.g. /D=C:\Folder);
# the exit code in $setup_code, setup.exe's output appended to log $1.
kv_setup_silent() {
    local log=$1
    shift
    setup_code=0
    (cd "$work" && timeout 120 "$KV_WINE64" setup.exe /S "$@") >>"$log" 2>>"$(dirname "$log")/wine.log" ||
        setup_code=$?
    echo "setup.exe /S${*:+ $*} -> exit $setup_code" >>"$log"
}

# Stages the demo product of folder $1 (its script and members, with the freshly built
# demo.exe) in folder $2; kv_pack_demo KVPACK FOLDER packs it behind the real x86_64 stub as
# C:\kvtest\setup.exe once the test has changed what it needs.
kv_stage_demo() {
    mkdir -p "$2"
    cp "$1"/setup.txt "$1"/license.txt "$1"/welcome.txt "$1"/readme.txt "$1"/banner.bmp "$2/"
    cp "$KV_DEMO_EXE" "$2/demo.exe"
}
kv_pack_demo() { "$1" pack --quiet -o "$work/setup.exe" --stub "$KV_SETUP_EXE" "$2"; }

# Stages the demo of folder $1 in folder $2 as a vendor ships it with its uninstaller:
# kvuninst.exe ($KV_UNINSTALL_EXE) among the members, copied into the destination by a
# copy_files line, and an entry in Windows' list of installed programs naming it. Further
# arguments are sed expressions applied to the script, for the test's own changes.
kv_stage_demo_uninstaller() {
    local demo=$1 product=$2 expression edits=(-e '')
    shift 2
    for expression in "$@"; do edits+=(-e "$expression"); done
    kv_stage_demo "$demo" "$product"
    cp "$KV_UNINSTALL_EXE" "$product/kvuninst.exe"
    awk '{ print } /^copy_files\r?$/ { block = 1 }
         block && /^\{\r?$/ { print "\t\"Verwijderprogramma\", [source]kvuninst.exe, [dest]\\*.*, overwrite_always\r"; block = 0 }' \
        "$demo/setup.txt" | sed "${edits[@]}" >"$product/setup.txt"
    printf 'uninstall="Korvex Demo","[dest]\\kvuninst.exe","Korvex","1.0"\r\n' >>"$product/setup.txt"
    grep -q 'kvuninst.exe' "$product/setup.txt"
}
