// The member table: the two-pass scan of the archive's records, and the entry patterns.
#include "engine/member_table.h"

#include "archive/lza_format.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "engine/install_log.h"
#include "engine/step.h"
#include "platform/platform.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdint>
#include <cstdlib>

namespace {

// One pass over the records from archive_offset, moving the bar from base to base + 50.
// With rows, each record's row is filled (at most capacity of them). The records seen, or -1
// when cancelled.
int64_t walk_records(platform_window *window, installer_state *state, lza_stream *stream,
                     int64_t length, int64_t base, member_row *rows, int64_t capacity) {
    int64_t count = 0;
    lza_stream_seek(stream, state->archive_offset);
    for (;;) {
        int64_t position = lza_stream_tell(stream);
        int64_t done = position - state->archive_offset + base;
        platform_set_progress_pos(window, IDC_PROGRESS_BAR,
                                  (int)engine_mul_div(done, 100, 2 * length));
        drain_messages(window);
        if (state->cancel_requested) return -1;
        lza_header header;
        if (!lza_read_header(stream, &header)) break;
        if (rows && count < capacity) {
            member_row *row = &rows[count];
            size_t keep = (size_t)header.name_length;
            if (keep > MEMBER_NAME_CAPACITY - 1) keep = MEMBER_NAME_CAPACITY - 1;
            size_t got = lza_stream_read(stream, row->name, keep);
            row->name[got] = 0;
            lza_stream_skip(stream, header.name_length - (int64_t)keep);
            row->match_count = 0;
            row->record_offset = position;
            row->unpacked_size = header.unpacked_size;
            row->packed_size = header.packed_size;
        } else {
            lza_stream_skip(stream, header.name_length);
        }
        lza_stream_skip(stream, header.packed_size);
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

} // namespace

member_row *member_rows(installer_state *state) {
    return static_cast<member_row *>(state->member_table);
}

void release_member_table(installer_state *state) {
    platform_free(state->member_table);
    state->member_table = nullptr;
    state->member_count = 0;
}

int scan_members(platform_window *window, installer_state *state) {
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return scan_failed(nullptr, "Couldn't find packfile '%s'", state->archive_path);
    int64_t end = platform_file_size(stream->file);
    int64_t length = end - (int64_t)state->archive_offset;
    platform_set_progress_range(window, IDC_PROGRESS_BAR, 100);

    int64_t count = walk_records(window, state, stream, length, 0, nullptr, 0);
    if (count >= 0 && stream->error)
        return scan_failed(stream, "Couldn't read packfile '%s'", state->archive_path);
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
    int64_t filled = walk_records(window, state, stream, length, length, rows, count);
    if (filled >= 0 && stream->error) {
        release_member_table(state);
        return scan_failed(stream, "Couldn't read packfile '%s'", state->archive_path);
    }
    lza_stream_close(stream);
    if (filled < 0) return -1;
    if (filled < count) state->member_count = (int32_t)filled; // the file shrank meanwhile
    return 1;
}

int copy_entry_pattern(installer_state *state, const char *line, int n, char *out, size_t cap) {
    if (!take_field(line, n, out, cap)) return 0;
    unquote(out);
    expand_placeholders(state, out, out, cap);
    return 1;
}
