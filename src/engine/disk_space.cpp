// The member scan and the space check.
#include "engine/disk_space.h"

#include "archive/lza_format.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "engine/install_run.h"
#include "platform/platform.h"
#include "script/script.h"
#include "shell/installer_state.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
        platform_set_progress_pos(window, ITEM_PROGRESS,
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

void set_total_label(platform_window *window, int64_t bytes) {
    char label[32];
    snprintf(label, sizeof label, "%" PRId64 " KB", bytes / 1024);
    platform_set_item_text(window, ITEM_STATUS, label);
}

} // namespace

member_row *member_rows(installer_state *state) {
    return static_cast<member_row *>(state->member_table);
}

void release_member_table(installer_state *state) {
    free(state->member_table);
    state->member_table = nullptr;
    state->member_count = 0;
}

int scan_members(platform_window *window, installer_state *state) {
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return 0;
    int64_t end = platform_file_size(stream->file);
    int64_t length = end - (int64_t)state->archive_offset;
    platform_set_progress_range(window, ITEM_PROGRESS, 100);

    int64_t count = walk_records(window, state, stream, length, 0, nullptr, 0);
    if (count <= 0 || count > (int64_t)INT32_MAX - (int64_t)MEMBER_TABLE_SPARE) {
        lza_stream_close(stream);
        if (count > 0) state->member_count = 0; // more rows than a table can count
        return count < 0 ? -1 : 0;
    }
    release_member_table(state);
    member_row *rows =
        static_cast<member_row *>(calloc((size_t)count + MEMBER_TABLE_SPARE, sizeof(member_row)));
    if (!rows) {
        lza_stream_close(stream);
        return 0;
    }
    state->member_table = rows;
    state->member_count = (int32_t)count;
    int64_t filled = walk_records(window, state, stream, length, length, rows, count);
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

int64_t free_space_on_dest(installer_state *state) {
    char root[PATH_CAPACITY];
    text_copy(root, sizeof root, state->dest_path);
    if (char *colon = strchr(root, ':')) colon[1] = 0;
    uint64_t free_bytes = 0;
    if (!platform_free_space(root, &free_bytes)) return FREE_SPACE_UNKNOWN;
    return free_bytes > (uint64_t)INT64_MAX ? INT64_MAX : (int64_t)free_bytes;
}

int check_disk_space(platform_window *window, installer_state *state) {
    platform_set_item_text(window, ITEM_STATUS, "0 KB");
    int scanned = scan_members(window, state);
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
        set_total_label(window, state->bytes_total);
    }
    if (free_space_on_dest(state) <= state->bytes_total) return 0;
    drain_messages(window);
    return state->cancel_requested ? -1 : 1;
}
