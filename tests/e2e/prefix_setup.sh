#!/bin/bash
# Makes the template Wine prefix that every e2e test copies: booted once, headless (null
# graphics driver), no crash dialog, and with the user folders as real folders inside the prefix
# so that nothing a test does reaches the real HOME.
# Usage: prefix_setup.sh   (environment: KV_E2E_WORK, optional KV_WINE64)
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"

start=$(date +%s.%N)
rm -rf "$KV_TEMPLATE"
mkdir -p "$KV_TEMPLATE"
kv_use_prefix "$KV_TEMPLATE"

"$KV_WINE64" wineboot -i >"$KV_TEMPLATE/wineboot.log" 2>&1 || {
    cat "$KV_TEMPLATE/wineboot.log" >&2
    echo "prefix_setup: wineboot failed" >&2
    exit 1
}

cat >"$WINEPREFIX/drive_c/kv-settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\DllOverrides]
"winemenubuilder.exe"=""
"mscoree"=""
"mshtml"=""
REG
"$KV_WINE64" regedit /S 'C:\kv-settings.reg' >/dev/null 2>&1
kv_stop_wine
rm "$WINEPREFIX/drive_c/kv-settings.reg"

# The user folders are symlinks into $HOME: make them real folders of the prefix.
for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm "$link"
        mkdir "$link"
    fi
done

grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" || {
    echo "prefix_setup: the registry settings did not reach user.reg" >&2
    exit 1
}
echo "template prefix ready in $(kv_elapsed "$start") s ($(du -sm "$WINEPREFIX" | cut -f1) MB)"
