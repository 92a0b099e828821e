# Shared steps of the hostile suite's Wine scripts (sourced, not run): the e2e library, and a
# row printer so every script reports its rows the same way.
# shellcheck source=../e2e/e2e_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/e2e_lib.sh"

# row NAME COMMAND...: one hostile input; the command exits 0 when the input was refused or
# reported and nothing was written or deleted where it must not be.
hostile_rows=0
row() {
    hostile_rows=$((hostile_rows + 1))
    check "hostile: $1" "${@:2}"
}
