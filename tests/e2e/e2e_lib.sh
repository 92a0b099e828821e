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

kv_elapsed() { # seconds since $1 (from date +%s.%N), two decimals
    awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'
}
