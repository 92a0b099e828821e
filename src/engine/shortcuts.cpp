// The shortcut steps: the entries of program_group and desktop_shortcut made into link files
// through the platform's shell link.
#include "engine/shortcuts.h"

#include "engine/area.h"
#include "engine/folders.h"
#include "engine/install_log.h"
#include "engine/step.h"
#include "platform/platform.h"
#include "platform/platform_confine.h"
#include "platform/platform_registry.h"
#include "platform/platform_shortcut.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Win32's code for a path longer than the system allows.
enum : uint32_t { ERROR_FILENAME_TOO_LONG_CODE = 206 };

// One variant of the step.
struct shortcut_variant {
    uint32_t block;    // the script's list
    uint32_t choice;   // the choice bit that enables it
    int user_folder;   // where its group folders live for the user who installs
    int common_folder; // ...and for every user, when the install is machine-wide
};
const shortcut_variant variants[] = {
    {KW_PROGRAM_GROUP, CHOICE_STARTMENU, PLATFORM_FOLDER_PROGRAMS, PLATFORM_FOLDER_COMMON_PROGRAMS},
    {KW_DESKTOP_SHORTCUT, CHOICE_DESKTOP, PLATFORM_FOLDER_DESKTOP, PLATFORM_FOLDER_COMMON_DESKTOP},
};

// Field n of line, placeholders expanded and then unquoted, into out. 1 when the field is there.
int expanded_field(installer_state *state, const char *line, int n, char *out, size_t cap) {
    if (!take_field(line, n, out, cap)) return 0;
    expand_placeholders(state, out, out, cap);
    unquote(out);
    return 1;
}

// 1 when path names a file that opens for reading.
int target_exists(const char *path) {
    platform_file *file = platform_open_read(path);
    platform_close(file);
    return file != nullptr;
}

// The entry's fields, read as the table of the block says.
struct shortcut_entry {
    char group[SCRIPT_EXPAND_CAPACITY];
    char name[SCRIPT_EXPAND_CAPACITY];
    char target[SCRIPT_EXPAND_CAPACITY];
    char working_folder[SCRIPT_EXPAND_CAPACITY];
    char icon_file[SCRIPT_EXPAND_CAPACITY];
    int icon_index;
    char description[SCRIPT_EXPAND_CAPACITY];
    int has_description;
};

// Reads entry line into e. 0 when the name or the target is missing, which ends the walk.
int read_entry(installer_state *state, const char *line, shortcut_entry *e) {
    e->group[0] = 0;
    if (take_field(line, 0, e->group, sizeof e->group)) unquote(e->group);
    if (!take_field(line, 1, e->name, sizeof e->name)) return 0;
    unquote(e->name);
    if (!expanded_field(state, line, 2, e->target, sizeof e->target)) return 0;
    expanded_field(state, line, 3, e->working_folder, sizeof e->working_folder);
    expanded_field(state, line, 4, e->icon_file, sizeof e->icon_file);
    char number[SCRIPT_EXPAND_CAPACITY];
    e->icon_index = take_field(line, 5, number, sizeof number) ? atoi(number) : 0;
    e->has_description = expanded_field(state, line, 6, e->description, sizeof e->description);
    return 1;
}

// joined = folder, a backslash and name, collapsed. 0 when it does not fit into cap (joined is
// then the part that fitted, for the error log).
int join_path(char *joined, size_t cap, const char *folder, const char *name) {
    size_t n = text_copy(joined, cap, folder);
    n += text_append(joined, cap, "\\");
    n += text_append(joined, cap, name);
    collapse_backslashes(joined);
    return n == strlen(folder) + 1 + strlen(name);
}

// Logs the two lines of a link that could not be saved, result its COM result.
void log_save_failure(int32_t result, const char *link_path) {
    append_error_format("Link: Save failed: %u", (unsigned)result);
    append_error_format("Attempted to create file '%s'", link_path);
}

// 1 when the shell may save a link as link_path below special: nothing or a plain file is
// there, and no link on the way (the shell would write through one). Else 0, logged.
int link_file_free(const char *special, const char *link_path) {
    area_target at;
    area_target_of(special, link_path, &at);
    int kind = platform_confined_kind(at.root, at.path);
    if (kind == PLATFORM_NODE_FILE || kind == PLATFORM_NODE_MISSING) return 1;
    if (kind != PLATFORM_NODE_FAILED) return area_refuse_link(link_path);
    log_save_failure(platform_hresult_from_error(platform_last_error()), link_path);
    return 0;
}

// What became of one entry whose fields were read.
enum entry_outcome : int {
    ENTRY_PASSED_OVER,   // its target is missing or its special folder unavailable
    ENTRY_MADE,          // its link was saved
    ENTRY_LINK_FAILED,   // its link could not be saved; the next entry is tried
    ENTRY_FOLDER_FAILED, // its group folder could not be made; the walk stops
};

// Makes the group folder and the link of entry under special_folder. An entry passed over
// leaves why it was (an error-log line) in passed_over, cap bytes.
int make_entry_link(const shortcut_entry *entry, int special_folder, char *passed_over,
                    size_t cap) {
    char special[PATH_CAPACITY], folder[PATH_CAPACITY], link_path[PATH_CAPACITY];
    if (!target_exists(entry->target)) {
        snprintf(passed_over, cap, "Link: Target not found: '%s'", entry->target);
        return ENTRY_PASSED_OVER;
    }
    if (!platform_special_folder_path(special_folder, special, sizeof special)) {
        snprintf(passed_over, cap, "Link: Special folder %d unavailable", special_folder);
        return ENTRY_PASSED_OVER;
    }
    // A folder name longer than a path may be is refused before anything is made, as Windows
    // refuses it, rather than cut into another folder's name.
    if (!join_path(folder, sizeof folder, special, entry->group)) {
        append_error_format("CreateDirectory Failed: %u", ERROR_FILENAME_TOO_LONG_CODE);
        append_error_format("Attempted to create: '%s'", folder);
        return ENTRY_FOLDER_FAILED;
    }
    int folder_result = make_path_below(folder, sizeof folder, special);
    if (folder_result == MAKE_PATH_FAILED) return ENTRY_FOLDER_FAILED;
    if (folder_result == MAKE_PATH_MADE) append_uninstall_record(LOG_KIND_FOLDER, folder);
    // A link name cut to fit would be saved, and later removed, under another file's name.
    if (!join_path(link_path, sizeof link_path, folder, entry->name) ||
        !link_file_free(special, link_path))
        return ENTRY_LINK_FAILED;
    if (save_shell_link(link_path, entry->target, entry->working_folder, entry->icon_file,
                        entry->icon_index, entry->description) < 0)
        return ENTRY_LINK_FAILED;
    return ENTRY_MADE;
}

} // namespace

int32_t save_shell_link(const char *link_path, const char *target, const char *working_folder,
                        const char *icon_file, int icon_index, const char *description) {
    int32_t result = platform_com_start();
    if (result < 0) {
        append_error_format("Link: CoInitialize failed: %u", (unsigned)result);
        return result;
    }
    platform_link *link = nullptr;
    result = platform_link_create(&link);
    if (result < 0) {
        append_error_format("Link: CoCreateInstance failed: %u", (unsigned)result);
        platform_com_stop();
        return result;
    }
    platform_link_properties properties = {target, working_folder, icon_file, icon_index,
                                           description};
    platform_link_set(link, &properties);
    int attempted = 0;
    result = platform_link_save(link, link_path, &attempted);
    if (attempted) append_uninstall_record(LOG_KIND_FILE, link_path);
    if (result < 0) log_save_failure(result, link_path); // say which link and why
    platform_link_release(link);
    platform_com_stop();
    return result;
}

int make_shortcuts(install_job *job, int kind) {
    installer_state *state = job->state;
    const shortcut_variant &variant = variants[kind == SHORTCUTS_DESKTOP];
    if (!(state->choice_flags & variant.choice)) return STEP_DONE;
    char line[SCRIPT_TOKEN_CAPACITY];
    int count = 0;
    while (list_line(state, variant.block, count, line, sizeof line) > 0) count++;
    install_bar_range(job, count);
    install_bar(job, 0);

    // COM stays started from the first shortcut step to the end of the run: each link still
    // starts and stops it (and says when it cannot), but no longer tears it down in between,
    // which cost some 3 ms a link under Wine.
    if (!job->com_held) job->com_held = platform_com_start() >= 0;

    // Elevated, the install is machine-wide, as its entry under HKEY_LOCAL_MACHINE is: the links
    // go where every user finds them, not to the administrator whose password elevated it.
    int special_folder = platform_process_elevated() ? variant.common_folder : variant.user_folder;
    int made = 0, failed = 0;
    char passed_over[PATH_CAPACITY + 64] = "";
    shortcut_entry entry;
    for (int k = 0; list_line(state, variant.block, k, line, sizeof line) > 0; k++) {
        install_bar(job, k);
        install_keep_alive(job);
        if (!read_entry(state, line, &entry)) break;
        if (entry.has_description) install_status(job, entry.description);
        char why[sizeof passed_over] = "";
        int outcome = make_entry_link(&entry, special_folder, why, sizeof why);
        if (!passed_over[0]) text_copy(passed_over, sizeof passed_over, why);
        if (outcome != ENTRY_PASSED_OVER) made = 1;
        if (outcome == ENTRY_FOLDER_FAILED) {
            failed = 1;
            break;
        }
        if (outcome == ENTRY_LINK_FAILED) failed = 1;
        install_bar(job, k + 1);
    }
    // A step that made nothing fails: the log says why its first entry was passed over.
    if (!failed && !made && passed_over[0]) append_error_line(passed_over);
    return failed ? STEP_FAILED : made;
}

int startmenu_step(install_job *job) {
    install_bar_range(job, 1);
    install_bar(job, 0);
    return make_shortcuts(job, SHORTCUTS_STARTMENU);
}

int desktop_step(install_job *job) {
    install_bar_range(job, 1);
    install_bar(job, 0);
    return make_shortcuts(job, SHORTCUTS_DESKTOP);
}
