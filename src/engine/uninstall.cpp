// The uninstaller's core.
//
// Invariants the removal keeps:
//   1. nothing is removed unless a record of the log names it, apart from the log itself, the
//      running uninstaller's own file and the destination folder once it is empty;
//   2. a record is acted on only when it names a path strictly below the destination, the
//      Start menu's Programs folder or the desktop (the user's own, and all users' when
//      elevated), or a key directly below HKEY_CLASSES_ROOT that Windows does not depend on
//      (protected_keys.h), or the product's entry in the list of installed programs; every
//      other record is refused;
//   3. nothing is acted on before the log has passed uninstall_check_log, and a record only
//      when uninstall_checks.h proves it the product's: no link on its way, a shell link on
//      the desktop and in the Start menu, a key that points into the installation;
//   4. a folder is removed only when empty: what the user added keeps its folder;
//   5. records are undone newest first, so the files of a folder go before the folder.
#include "engine/uninstall.h"

#include "archive/lza_sha256.h"
#include "engine/registry.h"
#include "engine/uninstall_checks.h"
#include "engine/uninstall_entry.h"
#include "platform/platform.h"
#include "platform/platform_registry.h"
#include "platform/platform_remove.h"
#include "platform/platform_shortcut.h"
#include "script/protected_keys.h"
#include "script/script_keywords.h"
#include "script/ui_text.h"
#include "state/text_utf8.h"

#include <cstdio>
#include <cstring>

namespace {

const char LOG_NAME[] = "Uninstal.log";
const char LOG_FIRST_LINE[] = "UninstallLog created: ";
const char DEFFOLDER_LINE[] = "[DEFFOLDER]";

// Length of path without its trailing backslashes.
size_t trimmed_length(const char *path) {
    size_t n = strlen(path);
    while (n > 0 && path[n - 1] == '\\') n--;
    return n;
}

// 1 when the element [begin, end) is made only of dots and spaces: Windows reads such a name
// as the folder itself or its parent.
int is_dot_element(const char *begin, const char *end) {
    if (begin == end) return 0;
    for (const char *p = begin; p < end; p++)
        if (*p != '.' && *p != ' ') return 0;
    return 1;
}

// 1 when folder names a folder below a drive or a share, not a drive or a share itself.
int is_below_root(const char *folder) {
    if (folder[0] == '\\' && folder[1] == '\\') { // \\server\share\folder
        const char *share = strchr(folder + 2, '\\');
        return share && share[1] && strchr(share + 1, '\\') && strchr(share + 1, '\\')[1];
    }
    const char *first = strchr(folder, '\\');
    return first && first > folder && first[1] != 0;
}

// The folder of area in plan; "" when it is not available.
const char *area_folder(const uninstall_plan *plan, int area) {
    switch (area) {
    case UNINSTALL_AREA_DESTINATION:
        return plan->folder;
    case UNINSTALL_AREA_PROGRAMS:
        return plan->places.programs;
    case UNINSTALL_AREA_DESKTOP:
        return plan->places.desktop;
    case UNINSTALL_AREA_COMMON_PROGRAMS:
        return plan->places.common_programs;
    case UNINSTALL_AREA_COMMON_DESKTOP:
        return plan->places.common_desktop;
    default:
        return "";
    }
}

// 1 when entry may be acted on, with entry->area set for a path: a path strictly below the
// destination or a special folder, a key directly below HKEY_CLASSES_ROOT that is not
// protected, or an entry of the list of installed programs; 0 when it must be refused.
int entry_permitted(const uninstall_plan *plan, uninstall_entry *entry) {
    entry->area = UNINSTALL_AREA_NONE;
    if (entry->kind == UNINSTALL_REG) {
        int root;
        if (uninstall_listing_key(entry->text, &root)) return 1;
        const char *name = uninstall_classes_key(entry->text);
        return name && !is_protected_class_key(name);
    }
    for (int area = UNINSTALL_AREA_DESTINATION; area <= UNINSTALL_AREA_LAST; area++) {
        const char *folder = area_folder(plan, area);
        if (folder[0] && uninstall_path_below(entry->text, folder)) {
            entry->area = area;
            return 1;
        }
    }
    return 0;
}

// The uninstall_kind of a kind line, or -1 for any other line.
int kind_of(const char *line) {
    if (!strcmp(line, LOG_KIND_FILE)) return UNINSTALL_FILE;
    if (!strcmp(line, LOG_KIND_FOLDER)) return UNINSTALL_FOLDER;
    if (!strcmp(line, LOG_KIND_REG)) return UNINSTALL_REG;
    return -1;
}

// Cuts the text of size bytes into its non-empty lines in place (LF ends a line, trailing CRs
// are dropped), as the install run's own reader sees them. Fills lines[] when given (room for
// the count a first call returned) and the 1-based file line of each in numbers[]. The number
// of lines, or -1 with *bad set to the file line of a line too long or holding a NUL.
long split_lines(char *text, size_t size, char **lines, size_t *numbers, size_t *bad) {
    long count = 0;
    size_t number = 0;
    for (size_t start = 0; start < size;) {
        size_t end = start;
        while (end < size && text[end] != '\n') end++;
        number++;
        size_t n = end - start;
        while (n > 0 && text[start + n - 1] == '\r') n--;
        if (n >= LOG_LINE_CAPACITY || memchr(text + start, 0, n)) {
            *bad = number;
            return -1;
        }
        if (n > 0) {
            if (lines) {
                text[start + n] = 0; // the CR or LF after it, or the spare byte at the end
                lines[count] = text + start;
                numbers[count] = number;
            }
            count++;
        }
        start = end + 1;
    }
    return count;
}

// split_lines into lines and numbers (room for count, the count split_lines gave), and every
// line made UTF-8: a log of this version is, one of an earlier version holds lines in the ANSI
// code page of the machine that wrote it (this one), decided per line. Converted lines go into
// a new block that replaces *text (size bytes and the spare one), the lines moved along. 1; 0
// with *bad set to the file line of a line whose UTF-8 is too long (a cut path would name
// another file); -1 when memory is short.
int split_lines_utf8(char **text, size_t size, char **lines, size_t *numbers, long count,
                     size_t *bad) {
    split_lines(*text, size, lines, numbers, bad);
    size_t extra = 0;
    for (long i = 0; i < count; i++)
        if (text_encoding_of(lines[i], strlen(lines[i]), nullptr) != TEXT_ENCODING_UTF8)
            extra += LOG_LINE_CAPACITY;
    if (extra == 0) return 1;
    char *block = static_cast<char *>(platform_alloc(size + 1 + extra, 1));
    if (!block) return -1;
    memcpy(block, *text, size + 1);
    char *spare = block + size + 1;
    for (long i = 0; i < count; i++) {
        char *line = block + (lines[i] - *text);
        if (text_encoding_of(line, strlen(line), nullptr) != TEXT_ENCODING_UTF8) {
            if (!platform_ansi_to_utf8(line, spare, LOG_LINE_CAPACITY)) {
                *bad = numbers[i];
                platform_free(block);
                return 0;
            }
            line = spare;
            spare += LOG_LINE_CAPACITY;
        }
        lines[i] = line;
    }
    platform_free(*text);
    *text = block;
    return 1;
}

// Where the reader's refusal of a log goes: worded by say (uninstall_text) in the words of texts
// into message (capacity cap); with say null nowhere, so that a reader without words (an
// install looking at an earlier log) carries none of the uninstaller's texts.
struct refusal_sink {
    void (*say)(const char *texts, uint32_t key, char *out, size_t cap, const char *a,
                const char *b);
    const char *texts;
    char *message;
    size_t cap;
};

// Writes the refusal of a log into the sink: text key with two texts. Always 0, the refusal.
int fail_message(const refusal_sink *sink, uint32_t key, const char *a, const char *b = "") {
    if (sink->say) sink->say(sink->texts, key, sink->message, sink->cap, a, b);
    return 0;
}

// The refusal of path as no log at all, for the reason of text key reason (its %s: number).
int not_a_log(const refusal_sink *sink, const char *path, uint32_t reason, size_t number = 0) {
    char line[32], why[UNINSTALL_LINE_CAPACITY] = "";
    snprintf(line, sizeof line, "%u", (unsigned)number);
    if (sink->say) sink->say(sink->texts, reason, why, sizeof why, line, "");
    return fail_message(sink, KW_TEXT_UN_NOT_A_LOG, path, why);
}

// The file's bytes with a spare zero byte into a new block; null with the refusal told.
char *read_whole(const refusal_sink *sink, const char *path, size_t *size) {
    platform_file *file = platform_open_read(path);
    if (!file) {
        fail_message(sink, KW_TEXT_UN_LOG_MISSING, path);
        return nullptr;
    }
    int64_t length = platform_file_size(file);
    char *text = nullptr;
    if (length < 0 || (uint64_t)length > UNINSTALL_LOG_LIMIT) {
        not_a_log(sink, path, KW_TEXT_UN_TOO_LARGE);
    } else if (!(text = static_cast<char *>(platform_alloc((size_t)length + 1, 1)))) {
        fail_message(sink, KW_TEXT_UN_NO_MEMORY, path);
    } else {
        size_t got = 0;
        long n = 1;
        while (got < (size_t)length &&
               (n = platform_read(file, text + got, (size_t)length - got)) > 0)
            got += (size_t)n;
        if (n < 0) {
            platform_free(text);
            text = nullptr;
            fail_message(sink, KW_TEXT_UN_LOG_UNREADABLE, path);
        }
        *size = got;
    }
    platform_close(file);
    return text;
}

// Appends line and CR LF to the report in out unless the report is full; then counts it in
// *dropped instead, keeping room for the closing line that says how many were left out.
void report_line(char *out, size_t cap, size_t *lines, size_t *dropped, const char *line) {
    enum : size_t { CLOSING_RESERVE = 64 }; // room for the line saying the report was cut
    size_t used = strlen(out), n = strlen(line);
    if (*dropped || used + n + 2 + CLOSING_RESERVE > cap) {
        (*dropped)++;
        return;
    }
    text_append(out, cap, line);
    text_append(out, cap, "\r\n");
    (*lines)++;
}

// The report line of a record or path that stayed, in the words of texts; "" when it went.
void stayed_line(const char *texts, int outcome, uint32_t error, int kind, const char *text,
                 char *out, size_t cap) {
    out[0] = 0;
    uint32_t key = 0;
    switch (outcome) {
    case UNINSTALL_NOT_EMPTY:
        key = KW_TEXT_UN_NOT_EMPTY;
        break;
    case UNINSTALL_REFUSED:
        key = KW_TEXT_UN_OUTSIDE;
        break;
    case UNINSTALL_REFUSED_BEHIND_LINK:
        key = KW_TEXT_UN_BEHIND_LINK;
        break;
    case UNINSTALL_REFUSED_LINK:
        key = KW_TEXT_UN_LINK;
        break;
    case UNINSTALL_REFUSED_NOT_SHORTCUT:
        key = KW_TEXT_UN_NOT_SHORTCUT;
        break;
    case UNINSTALL_REFUSED_NOT_OURS:
        key = KW_TEXT_UN_NOT_OURS;
        break;
    case UNINSTALL_KEPT_FOR_RETRY:
        key = KW_TEXT_UN_KEPT_FOR_RETRY;
        break;
    case UNINSTALL_FAILED:
        if (error == PLATFORM_ERROR_SHARING_VIOLATION) {
            key = KW_TEXT_UN_IN_USE;
        } else {
            char number[16];
            snprintf(number, sizeof number, "%u", (unsigned)error);
            uninstall_text(texts, kind == UNINSTALL_REG ? KW_TEXT_UN_KEY_FAILED : KW_TEXT_UN_FAILED,
                           out, cap, number, text);
        }
        break;
    }
    if (key) uninstall_text(texts, key, out, cap, text);
}

// Removes the file or folder of entry below its area's folder; its outcome.
void remove_path(const uninstall_plan *plan, uninstall_entry *entry) {
    entry->outcome =
        uninstall_remove_below(area_folder(plan, entry->area), entry->text, entry->kind,
                               entry->area != UNINSTALL_AREA_DESTINATION, &entry->error);
}

// Deletes the key of entry with its subkeys, or gives an extension back; its outcome (a missing
// key is absent).
void remove_key(const uninstall_plan *plan, uninstall_entry *entry) {
    int root = PLATFORM_HKEY_CLASSES_ROOT, kept = 0;
    const char *listed = uninstall_listing_key(entry->text, &root);
    const char *name = listed ? nullptr : uninstall_classes_key(entry->text);
    // An extension a newer record of the same key has given back already names its earlier
    // class now: giving it back twice would take that class's value away.
    if (name && name[0] == '.' && uninstall_extension_is_ours(plan, name) != 1) {
        entry->outcome = UNINSTALL_ABSENT;
        return;
    }
    uint32_t error = listed           ? delete_key_tree(platform_reg_root(root), listed)
                     : name[0] == '.' ? registry_release_extension(name, &kept)
                                      : delete_key_tree(nullptr, name);
    if (error == PLATFORM_OK) {
        entry->outcome = kept ? UNINSTALL_GIVEN_BACK : UNINSTALL_REMOVED;
    } else if (error == PLATFORM_ERROR_FILE_NOT_FOUND) {
        entry->outcome = UNINSTALL_ABSENT;
    } else {
        entry->outcome = UNINSTALL_FAILED;
        entry->error = error;
    }
}

// 1 when outcome leaves something behind that the report names.
int outcome_stays(int outcome) {
    switch (outcome) {
    case UNINSTALL_NOT_EMPTY:
    case UNINSTALL_FAILED:
    case UNINSTALL_REFUSED:
    case UNINSTALL_KEPT_FOR_RETRY:
    case UNINSTALL_REFUSED_BEHIND_LINK:
    case UNINSTALL_REFUSED_LINK:
    case UNINSTALL_REFUSED_NOT_SHORTCUT:
    case UNINSTALL_REFUSED_NOT_OURS:
        return 1;
    default:
        return 0;
    }
}

} // namespace

const char *uninstall_area_folder(const uninstall_plan *plan, int area) {
    return area_folder(plan, area);
}

int uninstall_path_below(const char *path, const char *folder) {
    size_t n = trimmed_length(folder);
    if (n == 0 || !uninstall_same_text(path, folder, n) || path[n] != '\\' || !path[n + 1])
        return 0;
    const char *rest = path + n + 1;
    if (strpbrk(rest, "/:*?\"<>|")) return 0;
    for (const char *begin = rest;;) {
        const char *end = strchr(begin, '\\');
        if (!end) end = begin + strlen(begin);
        if (is_dot_element(begin, end)) return 0;
        if (!*end) return 1;
        begin = end + 1;
    }
}

void uninstall_find_places(uninstall_places *places) {
    platform_special_folder_path(PLATFORM_FOLDER_PROGRAMS, places->programs,
                                 sizeof places->programs);
    platform_special_folder_path(PLATFORM_FOLDER_DESKTOP, places->desktop, sizeof places->desktop);
    places->common_programs[0] = places->common_desktop[0] = 0;
    if (!platform_process_elevated()) return;
    platform_special_folder_path(PLATFORM_FOLDER_COMMON_PROGRAMS, places->common_programs,
                                 sizeof places->common_programs);
    platform_special_folder_path(PLATFORM_FOLDER_COMMON_DESKTOP, places->common_desktop,
                                 sizeof places->common_desktop);
}

namespace {

// uninstall_read, its refusal told to sink. With find_places the places are looked up once the
// log has been read, else taken from places (none when null).
int read_plan(uninstall_plan *plan, const char *folder, const uninstall_places *places,
              int find_places, const refusal_sink *sink) {
    memset(plan, 0, sizeof *plan);
    if (places) plan->places = *places;
    plan->texts = sink->texts;
    size_t n = trimmed_length(folder);
    if (n == 0 || n >= sizeof plan->folder)
        return fail_message(sink, KW_TEXT_UN_BAD_FOLDER, folder);
    memcpy(plan->folder, folder, n);
    plan->folder[n] = 0;
    snprintf(plan->log_path, sizeof plan->log_path, "%s\\%s", plan->folder, LOG_NAME);

    size_t size = 0;
    plan->text = read_whole(sink, plan->log_path, &size);
    if (!plan->text) return 0;
    if (find_places) uninstall_find_places(&plan->places);
    lza_sha256 sha; // of the bytes as they stand, before the lines are cut
    lza_sha256_start(&sha);
    lza_sha256_add(&sha, plan->text, size);
    lza_sha256_finish(&sha, plan->log_digest);
    size_t bad = 0;
    long count = split_lines(plan->text, size, nullptr, nullptr, &bad);
    char **lines = nullptr;
    size_t *numbers = nullptr;
    int ok = 0, converted = 0;
    if (count < 0) {
        not_a_log(sink, plan->log_path, KW_TEXT_UN_BAD_LINE, bad);
    } else if (count < 3) {
        not_a_log(sink, plan->log_path, KW_TEXT_UN_TOO_SHORT);
    } else if (!(lines = static_cast<char **>(platform_alloc((size_t)count, sizeof *lines))) ||
               !(numbers = static_cast<size_t *>(platform_alloc((size_t)count, sizeof *numbers))) ||
               !(plan->entries = static_cast<uninstall_entry *>(
                     platform_alloc((size_t)(count - 3) / 2 + 1, sizeof *plan->entries)))) {
        fail_message(sink, KW_TEXT_UN_NO_MEMORY, plan->log_path);
    } else if ((converted = split_lines_utf8(&plan->text, size, lines, numbers, count, &bad)) < 0) {
        fail_message(sink, KW_TEXT_UN_NO_MEMORY, plan->log_path);
    } else if (converted == 0) {
        not_a_log(sink, plan->log_path, KW_TEXT_UN_BAD_LINE, bad);
    } else {
        if (strncmp(lines[0], LOG_FIRST_LINE, sizeof LOG_FIRST_LINE - 1) != 0 ||
            strcmp(lines[1], DEFFOLDER_LINE) != 0) {
            not_a_log(sink, plan->log_path, KW_TEXT_UN_NO_HEADER);
        } else if (trimmed_length(lines[2]) != n ||
                   !uninstall_same_text(lines[2], plan->folder, n)) {
            fail_message(sink, KW_TEXT_UN_OTHER_FOLDER, lines[2], plan->folder);
        } else if (!is_below_root(plan->folder)) {
            fail_message(sink, KW_TEXT_UN_DRIVE_ROOT, plan->folder);
        } else {
            ok = 1;
            for (long i = 3; ok && i < count; i += 2) {
                int kind = kind_of(lines[i]);
                if (kind < 0 || i + 1 >= count) {
                    ok = not_a_log(sink, plan->log_path,
                                   kind < 0 ? KW_TEXT_UN_NO_KIND : KW_TEXT_UN_ALONE, numbers[i]);
                    break;
                }
                uninstall_entry *entry = &plan->entries[plan->count++];
                entry->kind = kind;
                entry->text = lines[i + 1];
                entry->outcome = -1;
                if (!entry_permitted(plan, entry)) {
                    entry->outcome = UNINSTALL_REFUSED;
                    plan->refused++;
                }
            }
        }
    }
    platform_free(lines);
    platform_free(numbers);
    if (!ok) plan->count = 0;
    return ok;
}

} // namespace

int uninstall_read(uninstall_plan *plan, const char *folder, const uninstall_places *places,
                   const char *texts, char *message, size_t cap) {
    message[0] = 0;
    const refusal_sink sink = {uninstall_text, texts, message, cap};
    return read_plan(plan, folder, places, 0, &sink);
}

int uninstall_read_quiet(uninstall_plan *plan, const char *folder) {
    const refusal_sink sink = {nullptr, nullptr, nullptr, 0};
    return read_plan(plan, folder, nullptr, 1, &sink);
}

int uninstall_perform(uninstall_plan *plan, uninstall_progress_fn progress, void *context) {
    if (!plan->log_checked) return UNINSTALL_EXIT_BAD_LOG;
    uninstall_judge_keys(plan); // while every key the log names still stands
    int stays = 0;
    for (size_t done = 0; done < plan->count; done++) {
        uninstall_entry *entry = &plan->entries[plan->count - 1 - done];
        if (entry->outcome < 0) {
            if (entry->kind == UNINSTALL_REG)
                remove_key(plan, entry);
            else if (entry->kind == UNINSTALL_FILE &&
                     (uninstall_same_name(entry->text, plan->log_path) ||
                      (plan->self_path[0] && uninstall_same_name(entry->text, plan->self_path))))
                entry->outcome = UNINSTALL_DEFERRED;
            else
                remove_path(plan, entry);
        }
        stays |= outcome_stays(entry->outcome);
        if (progress) progress(context, entry, done + 1, plan->count);
    }

    // Last the uninstaller itself (when this process can), the log, and the destination. When
    // a removal failed (a file in use) both stay, so the user can run it again once it is free.
    int failed = 0;
    for (size_t i = 0; i < plan->count; i++) failed |= plan->entries[i].outcome == UNINSTALL_FAILED;
    int self_below = plan->self_path[0] && uninstall_path_below(plan->self_path, plan->folder);
    uint32_t error = 0;
    plan->log_state = failed ? UNINSTALL_KEPT_FOR_RETRY : UNINSTALL_ABSENT;
    if (!failed && self_below && !plan->keep_self)
        stays |= outcome_stays(
            uninstall_remove_below(plan->folder, plan->self_path, UNINSTALL_FILE, 0, &error));
    if (!failed)
        plan->log_state = uninstall_remove_below(plan->folder, plan->log_path, UNINSTALL_FILE, 0,
                                                 &plan->log_error);
    stays |= outcome_stays(plan->log_state);
    plan->folder_error = 0;
    long held = platform_folder_entry_count(plan->folder);
    if (held < 0 && !platform_path_exists(plan->folder)) {
        plan->folder_state = UNINSTALL_ABSENT;
    } else if (held == 0) {
        char parent[PATH_CAPACITY]; // the folder holding the destination: "C:", "\\server\share"
        text_copy(parent, sizeof parent, plan->folder);
        *strrchr(parent, '\\') = 0; // there is one: the destination is below a drive or share
        plan->folder_state =
            uninstall_remove_below(parent, plan->folder, UNINSTALL_FOLDER, 0, &plan->folder_error);
    } else if (held == 1 && self_below && plan->keep_self &&
               platform_path_exists(plan->self_path)) {
        plan->folder_state = UNINSTALL_DEFERRED; // goes with the uninstaller's file
    } else {
        plan->folder_state = held < 0 ? UNINSTALL_FAILED : UNINSTALL_NOT_EMPTY;
        if (held < 0) plan->folder_error = platform_last_error();
    }
    stays |= outcome_stays(plan->folder_state);
    return stays ? UNINSTALL_EXIT_INCOMPLETE : UNINSTALL_EXIT_OK;
}

size_t uninstall_report(const uninstall_plan *plan, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    size_t lines = 0, dropped = 0;
    char line[UNINSTALL_LINE_CAPACITY];
    const char *texts = plan->texts;
    for (size_t i = plan->count; i-- > 0;) {
        const uninstall_entry *entry = &plan->entries[i];
        stayed_line(texts, entry->outcome, entry->error, entry->kind, entry->text, line,
                    sizeof line);
        if (line[0]) report_line(out, cap, &lines, &dropped, line);
    }
    stayed_line(texts, plan->log_state, plan->log_error, UNINSTALL_FILE, plan->log_path, line,
                sizeof line);
    if (line[0]) report_line(out, cap, &lines, &dropped, line);
    stayed_line(texts, plan->folder_state, plan->folder_error, UNINSTALL_FOLDER, plan->folder, line,
                sizeof line);
    if (line[0]) report_line(out, cap, &lines, &dropped, line);
    if (dropped) {
        char number[16];
        snprintf(number, sizeof number, "%u", (unsigned)dropped);
        uninstall_text(texts, KW_TEXT_UN_MORE, line, sizeof line, number);
        text_append(out, cap, line);
    }
    return lines + dropped;
}

void uninstall_describe(const char *texts, const uninstall_entry *entry, char *out, size_t cap) {
    static const uint32_t verbs[] = {
        KW_TEXT_UN_REMOVED,
        KW_TEXT_UN_ABSENT,
        KW_TEXT_UN_KEPT,
        KW_TEXT_UN_FAILURE,
        KW_TEXT_UN_REFUSED,
        KW_TEXT_UN_LAST,
        KW_TEXT_UN_FAILURE, // the log's own state, never a record's
        KW_TEXT_UN_REFUSED_BEHIND_LINK,
        KW_TEXT_UN_REFUSED_LINK,
        KW_TEXT_UN_REFUSED_NOT_SHORTCUT,
        KW_TEXT_UN_REFUSED_NOT_OURS,
        KW_TEXT_UN_GIVEN_BACK,
    };
    int outcome = entry->outcome >= 0 && entry->outcome <= UNINSTALL_GIVEN_BACK ? entry->outcome
                                                                                : UNINSTALL_FAILED;
    char verb[UNINSTALL_LINE_CAPACITY], number[16];
    ui_text(ui_text_uninstaller, texts, verbs[outcome], verb, sizeof verb);
    snprintf(number, sizeof number, "%u", (unsigned)entry->error);
    const char *args[] = {verb, number, entry->text};
    if (outcome == UNINSTALL_FAILED)
        ui_text_formatted(ui_text_uninstaller, texts, KW_TEXT_UN_LINE_ERROR, out, cap, args, 3);
    else
        uninstall_text(texts, KW_TEXT_UN_LINE, out, cap, verb, entry->text);
}

void uninstall_text(const char *texts, uint32_t key, char *out, size_t cap, const char *a,
                    const char *b) {
    const char *args[] = {a, b};
    ui_text_formatted(ui_text_uninstaller, texts, key, out, cap, args, 2);
}

void uninstall_release(uninstall_plan *plan) {
    platform_free(plan->entries);
    platform_free(plan->text);
    plan->entries = nullptr;
    plan->text = nullptr;
    plan->count = 0;
}
