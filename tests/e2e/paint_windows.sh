#!/bin/bash
# The wizard's painting on real GDI under Wine (null graphics driver: memory bitmaps only):
# kvpaintprobe paints the gradient, banner pictures and step rows into bitmaps and checks
# their pixels. Usage: paint_windows.sh PROBE-EXE   (environment as for run_flow.sh)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

run="$KV_E2E_WORK/runs/paint_windows"
kv_prepare_run "$run" "$1"
status=0
(cd "$work" && "$KV_WINE64" "$(basename "$1")" 'C:\kvtest') 2>"$run/wine.log" || status=$?
kv_stop_wine
[ "$status" != 0 ] && tail -n 20 "$run/wine.log"
kv_finish_run "$run" "$status"
