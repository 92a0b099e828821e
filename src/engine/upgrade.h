// An install over an earlier one: the Uninstal.log an earlier install left in the destination is
// read before the run starts its own, as the uninstaller reads it, and what it names that still
// stands is carried into the new log, so that one uninstall removes what every install made.
// The files it carries are the product's own: an unattended run replaces them and keeps others.
#pragma once

#include "engine/uninstall.h"

#include <cstddef>
#include <cstdint>

struct installer_state;

// How far the earlier log is trusted (uninstall_log_seal of the product's entries).
enum upgrade_trust : int {
    UPGRADE_NO_LOG = 0,   // none, not a log, or the log of another folder: nothing to carry
    UPGRADE_UNSEALED = 1, // no entry vouches for it (an install without an entry, or a log
                          // planted in a prepared folder): only the destination's records
    UPGRADE_SEALED = 2,   // the product's entry holds its digest: every record that stands
    UPGRADE_CHANGED = 3,  // the entry holds another digest: changed since, nothing carried
};

// The earlier log of one run. Zeroed, it holds none.
struct upgrade_log {
    uninstall_plan plan; // the earlier log as the uninstaller reads it
    int trust;           // upgrade_trust
    const char **owned;  // texts of the carried [FILE] records, sorted ignoring case
    size_t owned_count;  // (they point into plan.text)
    size_t carried;      // records carried into the new log
};

// Reads the Uninstal.log in state's destination into log before the run writes its own, with
// the uninstaller's places and rules (its [DEFFOLDER] this destination, records outside the
// allowed areas refused), weighs its seal against the script's uninstaller and judges its keys
// while the earlier install's registry stands. 1 when there is a log to carry from; 0 when not
// (log->trust says why).
int upgrade_read(upgrade_log *log, installer_state *state);
// Appends to the bound Uninstal.log, in their order, the earlier log's records that still stand
// (a file or folder where it was, reached without a link; a key still shown to be the
// product's), each once; with an UPGRADE_CHANGED log, only the line "Refused Changed Log!
// (path)" in InsErr.log. The number of records carried.
size_t upgrade_carry(upgrade_log *log);
// 1 when path is a file the earlier log named and upgrade_carry carried (ignoring case), 0 when
// not.
int upgrade_owns_file(const upgrade_log *log, const char *path);
// Frees what log holds; it is zeroed.
void upgrade_release(upgrade_log *log);
// The bytes of the files that folder's Uninstal.log names and that exist (a record refused by
// the uninstaller's rules does not count); 0 when there is no such log.
int64_t upgrade_named_bytes(const char *folder);
