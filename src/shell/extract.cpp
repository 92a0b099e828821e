// The extract-only mode. The list is filled once from the archive; the selection maps back to
// records through each entry's data, the record offset, so the list may sort as it likes.
// Unpacking never leaves a half-written file where a member belongs: each member is decoded
// into a temporary file in the target's folder and moved over the target only when complete;
// and nothing below the chosen folder is written through a link (engine/area.h).
#include "shell/extract.h"

#include "archive/lza_decode.h"
#include "archive/lza_locate.h"
#include "archive/lza_member_path.h"
#include "archive/lza_stream.h"
#include "archive/lza_walk.h"
#include "engine/area.h"
#include "engine/folders.h"
#include "platform/platform.h"
#include "platform/platform_confine.h"
#include "platform/platform_list.h"
#include "platform/platform_window.h"
#include "resource_ids.h"
#include "script/script.h"
#include "script/ui_text.h"
#include "shell/wizard.h"
#include "state/installer_state.h"
#include "state/text.h"

#include <cstdio>
#include <cstring>

namespace {

enum : size_t {
    FAILURE_CAPACITY = TEXT_BUFFER_CAPACITY, // the closing message of failed members
    STATUS_CAPACITY = LZA_NAME_TEXT_CAPACITY + 16,
};

// A message box of the dialog: the text of key under the caption of caption_key, in the
// language of the archive's script. The button pressed.
int say(uint32_t key, uint32_t caption_key, uint32_t style) {
    char text[SCRIPT_EXPAND_CAPACITY], caption[SCRIPT_EXPAND_CAPACITY];
    script_text(&g_state, key, text, sizeof text);
    script_text(&g_state, caption_key, caption, sizeof caption);
    return platform_message_box(text, caption, style);
}

// The text key of why a member was not unpacked, as the closing message names it.
uint32_t refusal_reason(lza_path_refusal refusal) {
    switch (refusal) {
    case LZA_PATH_EMPTY:
        return KW_TEXT_X_NO_NAME;
    case LZA_PATH_DEVICE:
        return KW_TEXT_X_DEVICE;
    case LZA_PATH_TOO_LONG:
        return KW_TEXT_X_TOO_LONG;
    case LZA_PATH_SAME_NAME:
        return KW_TEXT_X_SAME_NAME;
    default:
        return KW_TEXT_X_OUTSIDE;
    }
}

// The failures of one unpack: one line per member, collected for the message at the end.
struct failure_list {
    char text[FAILURE_CAPACITY];
    int count;  // members that failed
    int hidden; // of those, the ones whose line did not fit; counted in a last line
};

enum : size_t { FAILURE_LINE_CAPACITY = LZA_NAME_TEXT_CAPACITY + 64 };

// Adds the line of a member that failed for the reason of text key reason.
void add_failure(failure_list *failures, const char *name, uint32_t reason) {
    failures->count++;
    char line[FAILURE_LINE_CAPACITY] = "\n", why[SCRIPT_EXPAND_CAPACITY];
    script_text(&g_state, reason, why, sizeof why);
    text_append(line, sizeof line, name && name[0] ? name : "?"); // cut, as every line is
    text_append(line, sizeof line, ": ");
    text_append(line, sizeof line, why);
    // Whole lines only, with room kept for the count of the ones left out.
    if (failures->hidden || strlen(failures->text) + strlen(line) + 40 >= sizeof failures->text)
        failures->hidden++;
    else
        text_append(failures->text, sizeof failures->text, line);
}

// The text key of why a write failed whose plain reason is otherwise: the link's when the
// platform refused one in the way.
uint32_t write_failure(uint32_t otherwise) {
    return platform_last_error() == PLATFORM_ERROR_LINK_REFUSED ? KW_TEXT_X_LINK_REFUSED
                                                                : otherwise;
}

// Shows text in the status line and lets the dialog repaint it.
void show_status(platform_window *window, const char *text) {
    platform_set_item_text(window, IDC_EXTRACT_STATUS, text);
    platform_drain_messages(window);
}

// Joins folder (ending in a backslash or not) and a relative path into out. 0 when it does not
// fit: a path cut short would name another file.
int join_path(const char *folder, const char *relative, char *out, size_t cap) {
    size_t n = text_copy(out, cap, folder);
    if (n < strlen(folder)) return 0;
    if (n > 0 && out[n - 1] != '\\' && text_append(out, cap, "\\") != 1) return 0;
    return text_append(out, cap, relative) == strlen(relative);
}

// Writes the gathered bytes; 1 when all were written.
int flush(platform_file *file, const unsigned char *buffer, size_t *gathered) {
    long written = platform_write(file, buffer, *gathered);
    int ok = written >= 0 && (size_t)written == *gathered;
    *gathered = 0;
    return ok;
}

// Decodes the member of the record at offset into file, showing the percentage of a large one.
// 1 when every byte was decoded and written.
int decode_member(platform_window *window, extract_session *session, lza_stream *stream,
                  int64_t offset, const lza_header *header, const char *display,
                  platform_file *file) {
    unsigned char *buffer = session->buffer;
    const uint32_t size = header->unpacked_size;
    if (size == 0) return 1; // nothing to decode: the reader refuses empty members
    lza_reader *reader = lza_open(stream, offset);
    if (!reader) return 0;
    size_t gathered = 0;
    uint32_t done = 0;
    int ok = 1, shown = -1;
    while (ok) {
        size_t n = lza_read(buffer + gathered, 1, EXTRACT_BLOCK, reader);
        if (n == 0) break;
        gathered += n;
        done += (uint32_t)n;
        if (gathered + EXTRACT_BLOCK > sizeof session->buffer) ok = flush(file, buffer, &gathered);
        if (size >= EXTRACT_PROGRESS_SIZE) {
            int percent = (int)((uint64_t)done * 100 / size);
            if (percent != shown) {
                char status[STATUS_CAPACITY];
                snprintf(status, sizeof status, "%s (%d%%)", display, percent);
                show_status(window, status);
                shown = percent;
            }
        }
    }
    if (ok && gathered) ok = flush(file, buffer, &gathered);
    if (done != size || stream->error) ok = 0;
    lza_close(reader);
    return ok;
}

// Unpacks the one member whose record lies at offset below folder; on failure adds it to
// failures (under listed, the name its entry shows, when the record cannot be read again) and
// leaves whatever was at its target untouched. unpacked holds the paths of the members before.
void unpack_member(platform_window *window, extract_session *session, lza_stream *stream,
                   int64_t offset, const char *listed, const char *folder, failure_list *failures,
                   lza_name_set *unpacked) {
    // The record as it was listed; anything else there (damage included) is not it.
    lza_record record;
    if (lza_record_read(stream, offset, lza_stream_size(stream), &record, nullptr) != 1)
        return add_failure(failures, listed, KW_TEXT_X_NOT_FOUND);
    const char *name = record.name;
    show_status(window, extract_display_name(name));

    char relative[LZA_MEMBER_PATH_CAPACITY];
    lza_path_refusal refusal;
    if (!lza_member_path(name, relative, sizeof relative, &refusal))
        return add_failure(failures, name, refusal_reason(refusal));
    // -2, a set that memory could not hold, refuses too: nothing is written over unchecked.
    if (lza_name_set_add(unpacked, relative, 0) != -1)
        return add_failure(failures, name, refusal_reason(LZA_PATH_SAME_NAME));

    char target[PATH_CAPACITY], part[PATH_CAPACITY];
    if (!join_path(folder, relative, target, sizeof target))
        return add_failure(failures, name, KW_TEXT_X_TOO_LONG);
    if (strchr(relative, '\\')) {
        // The member's folder parts become subfolders, so that equal names in different
        // folders do not overwrite each other.
        char subfolder[PATH_CAPACITY];
        text_copy(subfolder, sizeof subfolder, target);
        *strrchr(subfolder, '\\') = 0;
        if (make_path_below(subfolder, sizeof subfolder, folder) == MAKE_PATH_FAILED)
            return add_failure(failures, name, write_failure(KW_TEXT_X_NO_SUBFOLDER));
    }

    // Below the chosen folder nothing is written through a link someone put there.
    area_target area;
    if (!area_target_of(folder, target, &area))
        return add_failure(failures, name, KW_TEXT_X_TOO_LONG);
    platform_file *file = area_open_part(&area, part, &session->part_counter);
    if (!file) return add_failure(failures, name, write_failure(KW_TEXT_X_NOT_WRITTEN));
    int ok = decode_member(window, session, stream, offset, &record.header,
                           extract_display_name(name), file);
    if (!ok) {
        platform_close(file);
        area_discard_part(&area, part);
        return add_failure(failures, name, KW_TEXT_X_NOT_EXTRACTED);
    }
    if (!area_commit_part(&area, file, part)) {
        const uint32_t why = write_failure(KW_TEXT_X_NOT_REPLACED);
        area_discard_part(&area, part);
        return add_failure(failures, name, why);
    }
}

} // namespace

size_t extract_entry_text(const char *name, const lza_header *header, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    const uint32_t t = header->file_time;
    char columns[40];
    snprintf(columns, sizeof columns, "\t%d-%d-%d\t%u", (int)((t >> 16) & 0x1F),
             (int)((t >> 21) & 0x0F), (int)((t >> 25) & 0x7F) + 1980, header->unpacked_size);
    text_copy(out, cap, name ? name : "");
    text_append(out, cap, columns);
    return strlen(out);
}

const char *extract_display_name(const char *name) {
    const char *slash = strchr(name, '\\');
    return slash ? slash + 1 : name;
}

int extract_list_records(platform_window *window, lza_stream *stream, int64_t start,
                         int64_t *damage_offset) {
    int added = 0;
    lza_walk walk;
    lza_walk_start(&walk, stream, start, lza_stream_size(stream));
    lza_record record;
    while (lza_walk_next(&walk, &record) == 1) {
        char entry[EXTRACT_ENTRY_CAPACITY];
        extract_entry_text(record.name, &record.header, entry, sizeof entry);
        int index = platform_list_add(window, IDC_MEMBER_LIST, entry);
        if (index < 0) break;
        platform_list_set_data(window, IDC_MEMBER_LIST, index, record.offset);
        added++;
    }
    if (damage_offset) *damage_offset = walk.damage_offset;
    return added;
}

int extract_fill_list(platform_window *window) {
    lza_stream *stream = lza_stream_open(g_state.archive_path);
    if (!stream) return 0;
    int64_t damage_offset = -1;
    int added = extract_list_records(window, stream, g_state.archive_offset, &damage_offset);
    lza_stream_close(stream);
    if (damage_offset >= 0) say(KW_TEXT_X_DAMAGED, KW_TEXT_X_NOTE, PLATFORM_MB_ICONERROR);
    return added;
}

void extract_set_texts(platform_window *window) {
    load_script(&g_state); // without a script, the built-in Dutch texts
    static const struct {
        uint32_t key;
        int item;
    } texts[] = {{KW_TEXT_X_SELECTALL, IDC_SELECT_ALL},
                 {KW_TEXT_X_FOLDER, IDC_EXTRACT_FOLDER_LABEL},
                 {KW_TEXT_OK, PLATFORM_IDOK},
                 {KW_TEXT_CANCEL, PLATFORM_IDCANCEL}};
    char text[SCRIPT_EXPAND_CAPACITY];
    for (const auto &t : texts) {
        script_text(&g_state, t.key, text, sizeof text);
        platform_set_item_text(window, t.item, text);
    }
    script_text(&g_state, KW_TEXT_X_TITLE, text, sizeof text);
    platform_set_caption(window, text);
}

int extract_start(platform_window *window) {
    const int stops[] = {EXTRACT_TAB_FIRST, EXTRACT_TAB_SECOND};
    platform_list_set_tabs(window, IDC_MEMBER_LIST, stops, 2);
    platform_list_set_extent(window, IDC_MEMBER_LIST, EXTRACT_LIST_EXTENT);
    if (!wizard_locate_archive()) return -1;
    extract_set_texts(window);
    return extract_fill_list(window) > 0;
}

void extract_session_start(extract_session *session) {
    session->select_flag = 1;
    session->unpacking = 0;
    session->part_counter = 0;
}

void extract_select_all(platform_window *window, extract_session *session) {
    int count = platform_list_count(window, IDC_MEMBER_LIST);
    for (int i = 0; i < count; i++)
        platform_list_select(window, IDC_MEMBER_LIST, i, session->select_flag);
    session->select_flag = !session->select_flag;
}

int extract_unpack(platform_window *window, extract_session *session, const char *folder_text) {
    char folder[PATH_CAPACITY];
    text_copy(folder, sizeof folder, folder_text);
    failure_list failures;
    failures.text[0] = 0;
    failures.count = failures.hidden = 0;
    char caption[SCRIPT_EXPAND_CAPACITY];
    script_text(&g_state, KW_TEXT_X_NOTE, caption, sizeof caption);
    if (make_path(folder, sizeof folder) == MAKE_PATH_FAILED) {
        char message[PATH_CAPACITY + SCRIPT_EXPAND_CAPACITY];
        script_text(&g_state, KW_TEXT_X_FOLDER_FAILED, message, sizeof message);
        text_append(message, sizeof message, "\n");
        text_append(message, sizeof message, folder);
        platform_message_box(message, caption, PLATFORM_MB_ICONERROR);
        return 0;
    }
    lza_stream *stream = lza_stream_open(g_state.archive_path);
    int count = platform_list_count(window, IDC_MEMBER_LIST);
    lza_name_set unpacked;
    lza_name_set_init(&unpacked, count > 0 ? (size_t)count : 0); // when short, every add fails
    for (int i = 0; i < count; i++) {
        if (!platform_list_is_selected(window, IDC_MEMBER_LIST, i)) continue;
        int64_t offset = platform_list_data(window, IDC_MEMBER_LIST, i);
        char listed[EXTRACT_ENTRY_CAPACITY];
        platform_list_text(window, IDC_MEMBER_LIST, i, listed, sizeof listed);
        listed[strcspn(listed, "\t")] = 0; // the name, without its date and size
        if (stream)
            unpack_member(window, session, stream, offset, listed, folder, &failures, &unpacked);
        else
            add_failure(&failures, listed, KW_TEXT_X_NO_ARCHIVE);
    }
    lza_name_set_free(&unpacked);
    lza_stream_close(stream);
    if (failures.count == 0) return 1;
    char message[FAILURE_CAPACITY + 2 * SCRIPT_EXPAND_CAPACITY];
    script_text(&g_state, KW_TEXT_X_FAILED, message, sizeof message);
    text_append(message, sizeof message, failures.text);
    if (failures.hidden) {
        char count[16], more[SCRIPT_EXPAND_CAPACITY] = "\n";
        snprintf(count, sizeof count, "%d", failures.hidden);
        const char *args[] = {count};
        ui_text_formatted(ui_text_setup, g_state.script_text, KW_TEXT_X_MORE, more + 1,
                          sizeof more - 1, args, 1);
        text_append(message, sizeof message, more);
    }
    platform_message_box(message, caption, PLATFORM_MB_ICONERROR);
    return 0;
}

int extract_ok(platform_window *window, extract_session *session) {
    if (platform_list_selected_count(window, IDC_MEMBER_LIST) <= 0) {
        say(KW_TEXT_X_NONE_SELECTED, KW_TEXT_X_NOTE, PLATFORM_MB_ICONERROR);
        return 0;
    }
    char folder[PATH_CAPACITY];
    platform_get_item_text(window, IDC_EXTRACT_FOLDER, folder, sizeof folder);
    if (strlen(folder) < EXTRACT_MIN_FOLDER) {
        say(KW_TEXT_X_BAD_FOLDER, KW_TEXT_X_NOTE, PLATFORM_MB_ICONERROR);
        platform_focus_item(window, IDC_EXTRACT_FOLDER);
        return 0;
    }
    if (!folder_exists(folder) &&
        say(KW_TEXT_X_CREATE_FOLDER, KW_TEXT_X_NOTE,
            PLATFORM_MB_ICONQUESTION | PLATFORM_MB_YESNO) != PLATFORM_IDYES) {
        platform_focus_item(window, IDC_EXTRACT_FOLDER);
        return 0;
    }
    if (!extract_unpack(window, session, folder)) return 0;
    say(KW_TEXT_X_DONE, KW_TEXT_X_DONE_TITLE, PLATFORM_MB_ICONINFORMATION);
    return 1;
}

int extract_command(platform_window *window, extract_session *session, int id) {
    if (id != PLATFORM_IDOK && id != PLATFORM_IDCANCEL && id != IDC_SELECT_ALL)
        return EXTRACT_NOT_HANDLED;
    if (session->unpacking) return EXTRACT_STAYS;
    if (id == PLATFORM_IDCANCEL) return 0;
    if (id == IDC_SELECT_ALL) {
        extract_select_all(window, session);
        return EXTRACT_STAYS;
    }
    session->unpacking = 1;
    int done = extract_ok(window, session);
    session->unpacking = 0;
    return done ? 1 : EXTRACT_STAYS;
}
