// The space check.
#include "engine/disk_space.h"

#include "archive/lza_lookup.h"
#include "engine/member_table.h"
#include "engine/step.h"
#include "platform/platform.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

void set_total_label(install_job *job, int64_t bytes) {
    char label[32];
    snprintf(label, sizeof label, "%" PRId64 " KB", bytes / 1024);
    install_status(job, label);
}

} // namespace

int64_t free_space_on_dest(installer_state *state) {
    char root[PATH_CAPACITY];
    text_copy(root, sizeof root, state->dest_path);
    if (char *colon = strchr(root, ':')) colon[1] = 0;
    uint64_t free_bytes = 0;
    if (!platform_free_space(root, &free_bytes)) return FREE_SPACE_UNKNOWN;
    return free_bytes > (uint64_t)INT64_MAX ? INT64_MAX : (int64_t)free_bytes;
}

int check_disk_space(install_job *job) {
    installer_state *state = job->state;
    install_status(job, "0 KB");
    int scanned = scan_members(job);
    if (scanned != 1) return scanned;

    member_row *rows = member_rows(state);
    char line[SCRIPT_TOKEN_CAPACITY], pattern[SCRIPT_EXPAND_CAPACITY];
    for (int n = 0; list_line(state, KW_COPY_FILES, n, line, sizeof line) > 0; n++) {
        // Unquoted as the copy step reads it, so that what it copies is what is counted.
        if (!copy_entry_pattern(state, line, 1, pattern, sizeof pattern)) continue;
        for (int32_t i = 0; i < state->member_count; i++)
            if (match_member_name(pattern, rows[i].name)) rows[i].match_count++;
    }

    state->bytes_total = 0;
    for (int32_t i = 0; i < state->member_count; i++) {
        if (rows[i].match_count <= 0) continue;
        state->bytes_total += (int64_t)rows[i].unpacked_size * rows[i].match_count;
        set_total_label(job, state->bytes_total);
    }
    if (free_space_on_dest(state) <= state->bytes_total) return 0;
    return install_keep_alive(job) ? -1 : 1;
}
