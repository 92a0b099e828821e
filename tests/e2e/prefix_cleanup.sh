#!/bin/bash
# Removes the template prefix after the e2e tests (it is several hundred megabytes).
set -euo pipefail
. "$(dirname "$0")/e2e_lib.sh"
rm -rf "$KV_TEMPLATE"
