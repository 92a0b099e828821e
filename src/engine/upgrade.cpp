// The earlier install's log, carried into the new one.
//
// The earlier log is hostile input: anyone who could make the destination folder before an
// administrator installed into it could have put a log there, and whatever the new log names,
// its seal will vouch for. So:
//   1. it is read with the uninstaller's reader and places: a log of another folder is not
//      carried at all, and a record outside the destination, the Start menu's Programs folder
//      and the desktop is dropped;
//   2. a path record is carried only while it stands as the uninstaller would remove it (no link
//      on the way, the kind it says, a shell link on the desktop and in the Start menu); a key
//      only while it is shown to be the product's now (uninstall_judge_keys), judged before the
//      run changes the registry;
//   3. records outside the destination are carried only from a log the product's own entry
//      vouches for (its digest): a planted log could otherwise hand the elevated uninstaller
//      another program's links; a log whose entry holds another digest is not carried at all;
//   4. the uninstaller's own checks still run on every record at its time: carrying proves
//      nothing.
#include "engine/upgrade.h"

#include "engine/install_log.h"
#include "engine/uninstall_checks.h"
#include "engine/uninstall_entry.h"
#include "platform/platform.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdlib>
#include <cstring>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
}

// strcmp ignoring ASCII case, as Windows compares paths.
int compare_names(const char *a, const char *b) {
    for (;; a++, b++) {
        int d = (unsigned char)lower(*a) - (unsigned char)lower(*b);
        if (d != 0 || !*a) return d;
    }
}

int compare_owned(const void *a, const void *b) {
    return compare_names(*static_cast<const char *const *>(a),
                         *static_cast<const char *const *>(b));
}

const char *kind_line(int kind) {
    return kind == UNINSTALL_FILE     ? LOG_KIND_FILE
           : kind == UNINSTALL_FOLDER ? LOG_KIND_FOLDER
                                      : LOG_KIND_REG;
}

// 1 when entry of log may go into the new log (rules 2 and 3 at the top).
int entry_carried(const upgrade_log *log, const uninstall_entry *entry) {
    if (entry->outcome >= 0) return 0; // refused while reading, or a key not the product's
    if (entry->kind == UNINSTALL_REG) return entry->proven;
    if (entry->area != UNINSTALL_AREA_DESTINATION && log->trust != UPGRADE_SEALED) return 0;
    return uninstall_record_stands(uninstall_area_folder(&log->plan, entry->area), entry->text,
                                   entry->kind, entry->area != UNINSTALL_AREA_DESTINATION);
}

} // namespace

int upgrade_read(upgrade_log *log, installer_state *state) {
    memset(log, 0, sizeof *log);
    if (!uninstall_read_quiet(&log->plan, state->dest_path)) {
        uninstall_release(&log->plan);
        return 0;
    }
    char name[SCRIPT_EXPAND_CAPACITY], uninstaller[SCRIPT_EXPAND_CAPACITY];
    if (uninstall_listing_read(state, name, uninstaller) == 1)
        text_copy(log->plan.self_path, sizeof log->plan.self_path, uninstaller);
    int seal = uninstall_log_seal(&log->plan);
    log->trust = seal == UNINSTALL_SEAL_MATCHED ? UPGRADE_SEALED
                 : seal == UNINSTALL_SEAL_NONE  ? UPGRADE_UNSEALED
                                                : UPGRADE_CHANGED;
    if (log->trust != UPGRADE_CHANGED) uninstall_judge_keys(&log->plan);
    return log->trust != UPGRADE_CHANGED;
}

size_t upgrade_carry(upgrade_log *log) {
    if (log->trust == UPGRADE_CHANGED) {
        append_error_format("Refused Changed Log! (%s)", log->plan.log_path);
        return 0;
    }
    if (log->trust == UPGRADE_NO_LOG) return 0;
    const uninstall_plan *plan = &log->plan;
    log->owned = static_cast<const char **>(platform_alloc(plan->count + 1, sizeof *log->owned));
    for (size_t i = 0; i < plan->count; i++) {
        const uninstall_entry *entry = &plan->entries[i];
        if (!entry_carried(log, entry) ||
            !append_uninstall_record(kind_line(entry->kind), entry->text))
            continue;
        log->carried++;
        if (entry->kind == UNINSTALL_FILE && log->owned)
            log->owned[log->owned_count++] = entry->text;
    }
    // Without memory for the list no file counts as the product's: kept, as before upgrades.
    if (log->owned_count) qsort(log->owned, log->owned_count, sizeof *log->owned, compare_owned);
    return log->carried;
}

int upgrade_owns_file(const upgrade_log *log, const char *path) {
    if (!log->owned_count) return 0;
    return bsearch(&path, log->owned, log->owned_count, sizeof *log->owned, compare_owned) !=
           nullptr;
}

void upgrade_release(upgrade_log *log) {
    platform_free(log->owned);
    uninstall_release(&log->plan);
    memset(log, 0, sizeof *log);
}

int64_t upgrade_named_bytes(const char *folder) {
    uninstall_plan plan;
    int64_t total = 0;
    if (uninstall_read_quiet(&plan, folder)) {
        for (size_t i = 0; i < plan.count; i++) {
            const uninstall_entry *entry = &plan.entries[i];
            if (entry->kind != UNINSTALL_FILE || entry->outcome >= 0) continue;
            platform_file *file = platform_open_read(entry->text);
            int64_t size = file ? platform_file_size(file) : -1;
            platform_close(file);
            if (size > 0) total += size;
        }
    }
    uninstall_release(&plan);
    return total;
}
