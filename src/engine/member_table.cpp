// The member table: the two-pass scan of the archive's records, and the entry patterns.
#include "engine/member_table.h"

#include "archive/lza_format.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "engine/install_log.h"
#include "engine/step.h"
#include "platform/platform.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdint>
#include <cstdlib>

namespace {

// One pass over the records from archive_offset, moving the bar from base to base + 50.
// With rows, each record's row is filled (at most capacity of them). The records seen before
// the walk ended (walk says how), or -1 when cancelled.
int64_t walk_records(install_job *job, lza_walk *walk, int64_t length, int64_t base,
                     member_row *rows, int64_t capacity) {
    int64_t count = 0;
    for (;;) {
        int64_t done = walk->next - job->state->archive_offset + base;
        install_bar(job, (int)engine_mul_div(done, 100, 2 * length));
        if (install_keep_alive(job)) return -1;
        lza_record record;
        if (lza_walk_next(walk, &record) != 1) break;
        if (rows && count < capacity) {
            member_row *row = &rows[count];
            text_copy(row->name, sizeof row->name, record.name);
            row->match_count = 0;
            row->record_offset = record.offset;
            row->unpacked_size = record.header.unpacked_size;
            row->packed_size = record.header.packed_size;
        }
        count++;
    }
    return count;
}

// A scan that could not read the archive fails the step with the reason in InsErr.log, rather
// than as a lack of disk space with nothing said, or with a table that silently lacks members.
// Closes stream (when given); 0.
int scan_failed(lza_stream *stream, const char *format, const char *argument) {
    uint32_t error = platform_last_error();
    lza_stream_close(stream);
    append_error_format("ReadFile Failed: %u", error);
    append_error_format(format, argument);
    return 0;
}

// A walk that ended at damage rather than at the end of the archive: the members behind the
// damage cannot be found, so the scan fails with the damaged record's offset logged. Closes
// stream; 0.
int scan_damaged(lza_stream *stream, installer_state *state, const lza_walk *walk) {
    if (walk->damage == LZA_DAMAGE_UNREADABLE)
        return scan_failed(stream, "Couldn't read packfile '%s'", state->archive_path);
    lza_stream_close(stream);
    append_error_format("Archive Damaged: record at %lld", (long long)walk->damage_offset);
    return 0;
}

// Gives each row the refusal of its name: the member path rule's, or LZA_PATH_SAME_NAME for a
// name that Windows would open as an earlier row's. 1, or 0 when memory is short.
int judge_names(member_row *rows, int32_t count) {
    lza_name_set seen;
    if (!lza_name_set_init(&seen, (size_t)count)) return 0;
    for (int32_t i = 0; i < count; i++) {
        char relative[LZA_MEMBER_PATH_CAPACITY];
        lza_path_refusal refusal = LZA_PATH_ACCEPTED;
        if (lza_member_path(rows[i].name, relative, sizeof relative, &refusal) &&
            lza_name_set_add(&seen, relative, i) != -1)
            refusal = LZA_PATH_SAME_NAME;
        rows[i].refusal = refusal;
    }
    lza_name_set_free(&seen);
    return 1;
}

} // namespace

member_row *member_rows(installer_state *state) {
    return static_cast<member_row *>(state->member_table);
}

void release_member_table(installer_state *state) {
    platform_free(state->member_table);
    state->member_table = nullptr;
    state->member_count = 0;
}

int scan_members(install_job *job) {
    installer_state *state = job->state;
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return scan_failed(nullptr, "Couldn't find packfile '%s'", state->archive_path);
    const int64_t end = lza_stream_size(stream);
    if (end < 0) return scan_failed(stream, "Couldn't read packfile '%s'", state->archive_path);
    int64_t length = end - (int64_t)state->archive_offset;
    install_bar_range(job, 100);

    lza_walk walk;
    lza_walk_start(&walk, stream, state->archive_offset, end);
    int64_t count = walk_records(job, &walk, length, 0, nullptr, 0);
    if (count >= 0 && walk.damage != LZA_DAMAGE_NONE) return scan_damaged(stream, state, &walk);
    if (count <= 0 || count > (int64_t)INT32_MAX - (int64_t)MEMBER_TABLE_SPARE) {
        lza_stream_close(stream);
        if (count > 0) state->member_count = 0; // more rows than a table can count
        return count < 0 ? -1 : 0;
    }
    release_member_table(state);
    member_row *rows = static_cast<member_row *>(
        platform_alloc((size_t)count + MEMBER_TABLE_SPARE, sizeof(member_row)));
    if (!rows) return scan_failed(stream, "Couldn't hold the list of %s", "members");
    state->member_table = rows;
    state->member_count = (int32_t)count;
    lza_walk_start(&walk, stream, state->archive_offset, end);
    int64_t filled = walk_records(job, &walk, length, length, rows, count);
    if (filled >= 0 && walk.damage != LZA_DAMAGE_NONE) {
        release_member_table(state);
        return scan_damaged(stream, state, &walk);
    }
    lza_stream_close(stream);
    if (filled < 0) return -1;
    if (filled < count) state->member_count = (int32_t)filled; // the file shrank meanwhile
    if (!judge_names(rows, state->member_count)) {
        release_member_table(state);
        return scan_failed(nullptr, "Couldn't hold the list of %s", "members");
    }
    return 1;
}

int copy_entry_pattern(installer_state *state, const char *line, int n, char *out, size_t cap) {
    if (!take_field(line, n, out, cap)) return 0;
    unquote(out);
    expand_placeholders(state, out, out, cap);
    return 1;
}
