// File copy and the overwrite policy.
#include "engine/copy_files.h"

#include "engine/area.h"
#include "engine/folders.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "engine/member_table.h"
#include "engine/install_log.h"
#include "engine/step.h"
#include "platform/platform.h"
#include "platform/platform_confine.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstring>

namespace {

enum : size_t {
    COPY_WRITE_BUFFER = 64 * 1024, // decoded blocks are gathered into writes of this size
};

// Win32's code for data that is not what it should be: a member record that cannot be decoded.
enum : uint32_t { ERROR_INVALID_DATA_CODE = 13 };

// 1 when destination names a file that can be opened (a folder cannot).
int file_exists(const char *path) {
    platform_file *file = platform_open_read(path);
    platform_close(file);
    return file != nullptr;
}

// Whether to write over the existing destination: asks unless the mode or an answer for all
// files decides. Unattended without /O, nobody can tell an upgrade's own file from the user's,
// so the earlier install's log does: the files it names are replaced, others kept and logged.
// 1 to write, 0 to keep it.
int may_overwrite(install_job *job, const char *destination, uint32_t mode) {
    installer_state *state = job->state;
    if (mode == KW_OVERWRITE_NEVER) return 0;
    if (job->request.answers == INSTALL_NO_TO_ALL) {
        if (upgrade_owns_file(&job->earlier, destination)) return 1;
        append_error_format("Kept Existing File! (%s)", destination);
        return 0;
    }
    if (state->no_to_all) return 0;
    if (state->yes_to_all) return 1;
    char message[COPY_MESSAGE_CAPACITY + PATH_CAPACITY];
    script_text(state, KW_TEXT_FILEEXISTS, message, sizeof message);
    text_append(message, sizeof message, "\n\n'");
    text_append(message, sizeof message, destination);
    text_append(message, sizeof message, "'");
    char yes[SCRIPT_EXPAND_CAPACITY], yes_all[SCRIPT_EXPAND_CAPACITY];
    char no[SCRIPT_EXPAND_CAPACITY], no_all[SCRIPT_EXPAND_CAPACITY];
    platform_overwrite_question question = {
        message,
        get_value(state, KW_TEXT_YES, yes, sizeof yes) ? yes : nullptr,
        get_value(state, KW_TEXT_YESTOALL, yes_all, sizeof yes_all) ? yes_all : nullptr,
        get_value(state, KW_TEXT_NO, no, sizeof no) ? no : nullptr,
        get_value(state, KW_TEXT_NOTOALL, no_all, sizeof no_all) ? no_all : nullptr,
    };
    int answer = install_ask_overwrite(job, &question);
    if (answer == PLATFORM_OVERWRITE_YES_TO_ALL) state->yes_to_all = 1;
    if (answer == PLATFORM_OVERWRITE_NO_TO_ALL) state->no_to_all = 1;
    return answer == PLATFORM_OVERWRITE_YES || answer == PLATFORM_OVERWRITE_YES_TO_ALL;
}

// 1 when the record at member's offset is still the sound record the scan found there.
int record_sound(lza_stream *archive, const member_row *member) {
    lza_record record;
    return lza_record_read(archive, member->record_offset, lza_stream_size(archive), &record,
                           nullptr) == 1 &&
           record.header.unpacked_size == member->unpacked_size &&
           record.header.packed_size == member->packed_size;
}

// The decoded member in flight: gathered blocks and where they go.
struct copy_sink {
    platform_file *file;
    unsigned char *buffer;
    size_t used;
    uint32_t error; // the system error of a failed write, kept where it happened
};

int sink_flush(copy_sink *sink) {
    if (sink->used == 0) return 1;
    long written = platform_write(sink->file, sink->buffer, sink->used);
    int ok = written == (long)sink->used;
    if (!ok) sink->error = platform_last_error(); // before anything else can replace it
    sink->used = 0;
    return ok;
}

int sink_put(copy_sink *sink, const unsigned char *data, size_t size) {
    if (sink->used + size > COPY_WRITE_BUFFER && !sink_flush(sink)) return 0;
    memcpy(sink->buffer + sink->used, data, size);
    sink->used += size;
    return 1;
}

// What became of the decoding of a member.
enum decode_outcome { DECODED, DECODE_CANCELLED, DECODE_WRITE_FAILED, DECODE_UNREADABLE };

// Decodes member from archive into sink block by block, pumping messages and moving the bar.
decode_outcome decode_member(install_job *job, lza_stream *archive, const member_row *member,
                             copy_sink *sink) {
    installer_state *state = job->state;
    if (member->unpacked_size == 0) return DECODED; // an empty member: an empty file
    if (!record_sound(archive, member)) return DECODE_UNREADABLE;
    lza_reader *reader = lza_open(archive, member->record_offset);
    if (!reader) return DECODE_UNREADABLE;
    decode_outcome outcome = DECODED;
    unsigned char block[COPY_BLOCK_SIZE];
    for (;;) {
        size_t got = lza_read(block, 1, sizeof block, reader);
        if (got == 0) break;
        if (install_keep_alive(job)) {
            outcome = DECODE_CANCELLED;
            break;
        }
        if (!sink_put(sink, block, got)) {
            outcome = DECODE_WRITE_FAILED;
            break;
        }
        state->bytes_copied += (int64_t)got;
        install_bar(job, (int)engine_mul_div(state->bytes_copied, 100, state->bytes_total));
    }
    lza_close(reader);
    if (outcome == DECODED && archive->error) outcome = DECODE_UNREADABLE;
    if (outcome == DECODED && !sink_flush(sink)) outcome = DECODE_WRITE_FAILED;
    return outcome;
}

// Logs the two lines of a failed copy: the operation with the error code, then its object.
int copy_failed(const char *operation, uint32_t error, const char *object_format,
                const char *object) {
    append_error_format("%s Failed: %u", operation, (unsigned)error);
    append_error_format(object_format, object);
    return 0;
}

// Writes into target (capacity cap) the file the entry's target pattern makes of member: the
// pattern's folder, then the name derived below it as the member path rule writes it. 1, or 0
// when the rule refuses the member's name or the derived one, or the file would be one of the
// logs: then "Refused Member Name! (name)" is logged, and nothing may be written for it.
int copy_target(const member_row *member, const char *pattern, char *target, size_t cap) {
    lza_path_refusal refusal = (lza_path_refusal)member->refusal;
    char derived[LZA_TARGET_CAPACITY], relative[LZA_MEMBER_PATH_CAPACITY];
    make_target_name(member->name, pattern, derived, sizeof derived);
    const char *slash = strrchr(pattern, '\\');
    const size_t folder = slash ? (size_t)(slash - pattern) + 1 : 0;
    if (refusal == LZA_PATH_ACCEPTED && strncmp(derived, pattern, folder) != 0)
        refusal = LZA_PATH_TOO_LONG; // the folder itself was cut
    if (refusal == LZA_PATH_ACCEPTED)
        lza_member_path(derived + folder, relative, sizeof relative, &refusal);
    if (refusal == LZA_PATH_ACCEPTED && is_log_file_name(relative)) refusal = LZA_PATH_LOG_NAME;
    if (refusal == LZA_PATH_ACCEPTED) {
        derived[folder] = 0;
        text_copy(target, cap, derived);
        if (text_append(target, cap, relative) != strlen(relative)) refusal = LZA_PATH_TOO_LONG;
    }
    if (refusal == LZA_PATH_ACCEPTED) return 1;
    append_error_format("Refused Member Name! (%s)", member->name);
    return 0;
}

// Logs a file that could not be created or put in place: a link in the way by name, any other
// failure with its error.
int create_failed(const char *destination, uint32_t error) {
    if (error == PLATFORM_ERROR_LINK_REFUSED) return area_refuse_link(destination);
    return copy_failed("CopyFile(1)", error, "Attempted to create file '%s'", destination);
}

void show_entry_failure(install_job *job, const char *label) {
    installer_state *state = job->state;
    char format[COPY_MESSAGE_CAPACITY], second[COPY_MESSAGE_CAPACITY];
    char message[COPY_MESSAGE_CAPACITY], caption[SCRIPT_EXPAND_CAPACITY];
    script_text(state, KW_TEXT_ERROR2, format, sizeof format);
    script_text(state, KW_TEXT_INSCONTINUES, second, sizeof second);
    text_append(format, sizeof format, "\n\n");
    text_append(format, sizeof format, second);
    format_entry_message(format, label, message, sizeof message);
    script_text(state, KW_TEXT_INSERROR, caption, sizeof caption);
    run_message(job, message, caption, PLATFORM_MB_OK | PLATFORM_MB_ICONINFORMATION);
}

} // namespace

void format_entry_message(const char *format, const char *label, char *out, size_t cap) {
    if (!out || cap == 0) return;
    out[0] = 0;
    int labelled = 0;
    for (const char *p = format; *p; p++) {
        if (p[0] == '%' && p[1] == 's' && !labelled) {
            text_append(out, cap, label);
            labelled = 1;
            p++;
        } else if (p[0] == '%' && p[1] == '%') {
            text_append(out, cap, "%");
            p++;
        } else {
            char one[2] = {*p, 0};
            text_append(out, cap, one);
        }
    }
}

int copy_member(install_job *job, const member_row *member, const char *destination,
                uint32_t mode) {
    installer_state *state = job->state;
    if (mode != KW_OVERWRITE_ALWAYS && file_exists(destination) &&
        !may_overwrite(job, destination, mode))
        return 1;
    if (!job->copy_buffer)
        job->copy_buffer = static_cast<unsigned char *>(platform_alloc(COPY_WRITE_BUFFER, 1));
    if (!job->copy_buffer)
        return copy_failed("CopyFile(1)", platform_last_error(), "Attempted to create file '%s'",
                           destination);
    append_uninstall_record(LOG_KIND_FILE, destination);

    // Written below the destination only where no link leads elsewhere.
    area_target area;
    char part[PATH_CAPACITY];
    area_target_of(state->dest_path, destination, &area);
    copy_sink sink = {area_open_part(&area, part, &job->part_counter), job->copy_buffer, 0, 0};
    if (!sink.file) return create_failed(destination, platform_last_error());
    // One stream serves every member of the step; a member that could not be read leaves the
    // next one a stream opened afresh, as the first found it.
    if (!job->archive) job->archive = lza_stream_open(state->archive_path);
    if (!job->archive) {
        uint32_t error = platform_last_error();
        platform_close(sink.file);
        area_discard_part(&area, part);
        return copy_failed("CopyFile(2)", error, "Couldn't find packfile '%s'",
                           state->archive_path);
    }
    // A decode that fails on a failed platform call could not read the archive: that call's
    // error is the one to log, not the code of damaged data.
    platform_set_last_error(PLATFORM_OK);
    decode_outcome outcome = decode_member(job, job->archive, member, &sink);
    uint32_t error = platform_last_error();
    if (outcome == DECODE_UNREADABLE) {
        lza_stream_close(job->archive);
        job->archive = nullptr;
    }
    if (outcome == DECODED) {
        if (area_commit_part(&area, sink.file, part)) return 1;
        error = platform_last_error();
    } else {
        platform_close(sink.file);
    }
    area_discard_part(&area, part);
    switch (outcome) {
    case DECODE_CANCELLED:
        return 1; // the step ends; what was there stays
    case DECODE_UNREADABLE:
        if (error)
            return copy_failed("ReadFile", error, "Couldn't read packfile '%s'",
                               state->archive_path);
        return copy_failed("CopyFile(3)", ERROR_INVALID_DATA_CODE, "Couldn't unpack '%s'",
                           member->name);
    case DECODE_WRITE_FAILED:
        return copy_failed("WriteFile", sink.error, "Attempted to write file '%s'", destination);
    default:
        return create_failed(destination, error);
    }
}

int copy_files_step(install_job *job) {
    installer_state *state = job->state;
    install_bar_range(job, 100);
    install_bar(job, 0);
    if (install_keep_alive(job)) return STEP_CANCELLED;
    state->bytes_copied = 0;
    int result = STEP_DONE;
    member_row *rows = member_rows(state);
    char line[SCRIPT_TOKEN_CAPACITY];
    for (int n = 0;
         result == STEP_DONE && list_line(state, KW_COPY_FILES, n, line, sizeof line) > 0; n++) {
        int warned = 0;
        char label[SCRIPT_EXPAND_CAPACITY], word[SCRIPT_EXPAND_CAPACITY];
        take_field(line, 0, label, sizeof label);
        unquote(label);
        install_status(job, label);
        take_field(line, 3, word, sizeof word);
        uint32_t mode = lookup_keyword(word);
        take_field(line, 4, word, sizeof word);
        int vital = lookup_keyword(word) != KW_NONE;
        if (install_keep_alive(job)) {
            result = STEP_CANCELLED;
            break;
        }
        char source[SCRIPT_EXPAND_CAPACITY];
        if (!copy_entry_pattern(state, line, 1, source, sizeof source)) continue;
        for (int32_t i = 0; rows && i < state->member_count; i++) {
            if (!match_member_name(source, rows[i].name)) continue;
            char pattern[SCRIPT_EXPAND_CAPACITY], target[PATH_CAPACITY];
            if (!copy_entry_pattern(state, line, 2, pattern, sizeof pattern)) continue;
            int ok = copy_target(&rows[i], pattern, target, sizeof target) &&
                     copy_member(job, &rows[i], target, mode);
            if (state->cancel_requested) {
                result = STEP_CANCELLED;
                break;
            }
            if (ok) continue;
            if (vital) {
                result = STEP_FAILED;
                break;
            }
            if (!warned) {
                warned = 1;
                show_entry_failure(job, label);
            }
        }
    }
    install_status(job, "");
    lza_stream_close(job->archive);
    job->archive = nullptr;
    return result;
}
