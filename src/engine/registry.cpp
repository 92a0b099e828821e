// File associations under HKEY_CLASSES_ROOT.
#include "engine/registry.h"

#include "engine/install_log.h"
#include "engine/step.h"
#include "engine/uninstall_checks.h"
#include "engine/uninstall_entry.h"
#include "platform/platform.h"
#include "platform/platform_registry.h"
#include "script/protected_keys.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstring>

namespace {

const char ROOT_PREFIX[] = "HKEY_CLASSES_ROOT\\";

// The three commands under <class>\shell, each with the number its failure line carries (the
// print command shares 4 with the open command; no line is numbered 5).
struct shell_command {
    const char *key;
    int number;
};
const shell_command COMMANDS[] = {
    {"open\\command", 4},
    {"print\\command", 4},
    {"printto\\command", 6},
};

// Records "[REG]" and HKEY_CLASSES_ROOT\name in Uninstal.log.
void record_key(const char *name) {
    char text[LOG_LINE_CAPACITY];
    text_copy(text, sizeof text, ROOT_PREFIX);
    text_append(text, sizeof text, name);
    append_uninstall_record(LOG_KIND_REG, text);
}

// 1 when name must not be deleted and rewritten; its refusal is logged.
int refused(const char *name) {
    if (!is_protected_class_key(name)) return 0;
    append_error_format("Refused System Key! (%s)", name);
    return 1;
}

// Equal ignoring the case of ASCII letters, as the registry compares names.
int same_name(const char *a, const char *b) {
    size_t n = strlen(a);
    return n == strlen(b) && uninstall_same_text(a, b, n);
}

// Opens the existing key name of HKEY_CLASSES_ROOT for reading into *key. 1 when it exists, 0
// when it does not, -1 when the open failed (logged as RegOpenKeyEx(number)).
int probe_key(const char *name, int number, platform_key **key) {
    uint32_t status = platform_reg_open(nullptr, name, PLATFORM_KEY_READ, key);
    if (status == 0) return 1;
    if (status == PLATFORM_ERROR_FILE_NOT_FOUND) return 0;
    append_error_format("RegOpenKeyEx(%d) Failed: %u (%s)", number, (unsigned)status, name);
    return -1;
}

// 1 when the class of entry may be written: it is new, or the product's own (it points into the
// destination, as the uninstaller judges it, or holds nothing at all). 0 when it exists and
// is not, or cannot be read (logged).
int class_writable(const reg_association *entry) {
    platform_key *key = nullptr;
    int found = probe_key(entry->sys_name, 2, &key);
    if (found <= 0) return found == 0;
    uint32_t subkeys = 1, values = 1;
    int empty = platform_reg_counts(key, &subkeys, &values) == 0 && subkeys == 0 && values == 0;
    platform_reg_close(key);
    if (empty || uninstall_class_points_into(entry->sys_name, entry->folder) == 1) return 1;
    append_error_format("Refused Foreign Class! (%s)", entry->sys_name);
    return 0;
}

// Points the extension key ext at the class sys, keeping everything else under the key: an
// existing key that names another class (or none) first remembers it in
// REGISTRY_PREVIOUS_CLASS_VALUE. The key is recorded once it is open for writing. 1, or 0 when
// something failed (logged).
int take_extension(const char *ext, const char *sys) {
    platform_key *key = nullptr;
    int found = probe_key(ext, 1, &key);
    if (found < 0) return 0;
    char previous[PLATFORM_KEY_NAME_CAPACITY] = "";
    int remember = 0;
    if (found) {
        uint32_t read = platform_reg_get_text(key, "", previous, sizeof previous);
        platform_reg_close(key);
        // A value that cannot be read back could not be given back either: the key stays as is.
        if (read != 0 && read != PLATFORM_ERROR_FILE_NOT_FOUND) {
            append_error_format("RegQueryValueEx(1) Failed: %u (%s)", (unsigned)read, ext);
            return 0;
        }
        remember = !same_name(previous, sys);
    }
    if (uint32_t e = platform_reg_create(nullptr, ext, &key)) {
        append_error_format("RegCreateKeyEx(1) Failed: %u (%s)", (unsigned)e, ext);
        return 0;
    }
    record_key(ext);
    // The earlier class is remembered before it is replaced: a failure between the two leaves
    // the key pointing where it pointed.
    uint32_t set =
        remember ? platform_reg_set_text(key, REGISTRY_PREVIOUS_CLASS_VALUE, previous) : 0;
    if (set)
        append_error_format("RegSetValueEx(1) Failed: %u ('%s'='%s')", (unsigned)set,
                            REGISTRY_PREVIOUS_CLASS_VALUE, previous);
    else if ((set = platform_reg_set_default(key, sys)) != 0)
        append_error_format("RegSetValueEx(1) Failed: %u ('%s'='%s')", (unsigned)set, ext, sys);
    platform_reg_close(key);
    return set == 0;
}

// The class key's description and the keys below it: DefaultIcon and the shell commands. 0
// when all went well, else the error of the first step that failed (the description, the icon
// key or its value, the shell key, or a command key; a command's value does not count).
uint32_t fill_class_key(platform_key *class_key, const reg_association *entry) {
    uint32_t status = platform_reg_set_default(class_key, entry->friendly_name);
    if (status) {
        append_error_format("RegSetValueEx(2) Failed: %u ('%s'='%s')", (unsigned)status,
                            entry->sys_name, entry->friendly_name);
        return status;
    }
    platform_key *icon = nullptr;
    status = platform_reg_create(class_key, "DefaultIcon", &icon);
    if (status) {
        append_error_format("RegCreateKeyEx(3) Failed: %u (%s)", (unsigned)status, "DefaultIcon");
        return status;
    }
    char icon_text[LOG_MESSAGE_CAPACITY];
    snprintf(icon_text, sizeof icon_text, "%s,%d", entry->icon_file, (int)entry->icon_index);
    status = platform_reg_set_default(icon, icon_text);
    platform_reg_close(icon);
    if (status) {
        append_error_format("RegSetValueEx(3) Failed: %u (DefaultIcon=%s)", (unsigned)status,
                            icon_text);
        return status;
    }
    platform_key *shell = nullptr;
    status = platform_reg_create(class_key, "shell", &shell);
    if (status) return status; // no line of its own
    // The first command key that cannot be made decides the entry's result: a later one that
    // succeeds does not turn the entry into a success with a command missing.
    const char *texts[] = {entry->open_command, entry->print_command, entry->print_to_command};
    for (int i = 0; i < 3; i++) {
        if (!texts[i] || !texts[i][0]) continue;
        platform_key *command = nullptr;
        uint32_t made = platform_reg_create(shell, COMMANDS[i].key, &command);
        if (made) {
            append_error_format("RegCreateKeyEx(%d) Failed: %u (%s)", COMMANDS[i].number,
                                (unsigned)made, COMMANDS[i].key);
            if (!status) status = made;
            continue;
        }
        platform_reg_set_default(command, texts[i]); // its result does not count
        platform_reg_close(command);
    }
    platform_reg_close(shell);
    return status;
}

// A decimal number as the script writes it: an optional sign and digits, anything behind them
// ignored, 0 when there are none; held to the 32-bit range.
int32_t script_number(const char *text) {
    int negative = *text == '-';
    if (*text == '-' || *text == '+') text++;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++)
        if (value <= INT32_MAX) value = value * 10 + (*text - '0');
    if (negative) value = -value;
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : (int32_t)value;
}

// Field n of line into out, unquoted, and expanded first when expand is set. 1 when present.
int association_field(installer_state *state, const char *line, int n, int expand, char *out,
                      size_t cap) {
    if (!take_field(line, n, out, cap)) return 0;
    if (expand) expand_placeholders(state, out, out, cap);
    unquote(out);
    return 1;
}

// The entry's fields within their capacities: 1, or 0 with the first over-long field logged.
int fields_fit(const char *const fields[], const size_t limits[], int count) {
    for (int i = 0; i < count; i++) {
        if (strlen(fields[i]) <= limits[i]) continue;
        append_error_format("Field Too Long! (%s)", fields[i]);
        return 0;
    }
    return 1;
}

} // namespace

uint32_t delete_key_tree(platform_key *parent, const char *name) {
    if (!name || !name[0]) return PLATFORM_ERROR_BADKEY;
    platform_key *key = nullptr;
    uint32_t result = platform_reg_open(parent, name, PLATFORM_KEY_DELETE_ENUMERATE, &key);
    if (result) return result;
    while (result == 0) {
        char subkey[PLATFORM_KEY_NAME_CAPACITY];
        uint32_t listed = platform_reg_enum_subkey(key, 0, subkey, sizeof subkey);
        if (listed == PLATFORM_ERROR_NO_MORE_ITEMS) {
            result = platform_reg_delete(parent, name);
            break;
        }
        result = listed ? listed : delete_key_tree(key, subkey);
    }
    platform_reg_close(key);
    return result;
}

int register_association(const reg_association *entry) {
    const char *ext = entry->extension, *sys = entry->sys_name;
    if (ext[0] != '.') {
        append_error_format("Invalid Extension Key! (%s)", ext);
        return 0;
    }
    if (refused(ext) || refused(sys) || !class_writable(entry) || !take_extension(ext, sys))
        return 0;
    platform_key *key = nullptr;
    if (uint32_t e = platform_reg_create(nullptr, sys, &key)) {
        append_error_format("RegCreateKeyEx(2) Failed: %u (%s)", (unsigned)e, sys);
        return 0;
    }
    record_key(sys);
    uint32_t status = fill_class_key(key, entry);
    platform_reg_close(key);
    platform_reg_notify_associations();
    if (status == 0) return 1;
    append_error_format("AssociationRegistry Failed: %u", (unsigned)status);
    return 0;
}

uint32_t registry_release_extension(const char *name, int *kept) {
    *kept = 0;
    platform_key *key = nullptr;
    uint32_t status = platform_reg_open(nullptr, name, PLATFORM_KEY_READ, &key);
    if (status) return status;
    char previous[PLATFORM_KEY_NAME_CAPACITY];
    uint32_t remembered =
        platform_reg_get_text(key, REGISTRY_PREVIOUS_CLASS_VALUE, previous, sizeof previous);
    uint32_t subkeys = 1, values = 2;
    status = platform_reg_counts(key, &subkeys, &values);
    platform_reg_close(key);
    if (status) return status;
    if (remembered != 0 && remembered != PLATFORM_ERROR_FILE_NOT_FOUND) return remembered;
    // Made by the install, and nothing but the product's default value in it: it goes.
    if (remembered != 0 && subkeys == 0 && values <= 1) return platform_reg_delete(nullptr, name);
    *kept = 1;
    if ((status = platform_reg_create(nullptr, name, &key)) != 0) return status;
    // The remembered name is text anyone who can write the key could have changed: it never
    // makes the extension a program type (exefile) or reaches below another key.
    int restore = remembered == 0 && previous[0] && !is_protected_class_key(previous);
    status = restore ? platform_reg_set_default(key, previous) : platform_reg_delete_value(key, "");
    if (status == PLATFORM_ERROR_FILE_NOT_FOUND) status = 0; // no default value left to remove
    if (status == 0 && remembered == 0)
        status = platform_reg_delete_value(key, REGISTRY_PREVIOUS_CLASS_VALUE);
    platform_reg_close(key);
    return status;
}

int register_list(platform_window *window, installer_state *state, uint32_t list_key) {
    char line[SCRIPT_TOKEN_CAPACITY];
    int count = 0;
    while (list_line(state, list_key, count, line, sizeof line) > 0) count++;
    platform_set_progress_range(window, IDC_PROGRESS_BAR, count);
    platform_set_progress_pos(window, IDC_PROGRESS_BAR, 0);
    int processed = 0, failed = 0;
    for (int n = 0; list_line(state, list_key, n, line, sizeof line) > 0; n++) {
        platform_set_progress_pos(window, IDC_PROGRESS_BAR, n);
        char sys[SCRIPT_EXPAND_CAPACITY], ext[SCRIPT_EXPAND_CAPACITY];
        if (!association_field(state, line, 0, 0, sys, sizeof sys) ||
            !association_field(state, line, 1, 0, ext, sizeof ext))
            break;
        char friendly[SCRIPT_EXPAND_CAPACITY], icon[SCRIPT_EXPAND_CAPACITY];
        char index[SCRIPT_EXPAND_CAPACITY], commands[3][SCRIPT_EXPAND_CAPACITY];
        association_field(state, line, 2, 0, friendly, sizeof friendly);
        association_field(state, line, 3, 1, icon, sizeof icon);
        association_field(state, line, 4, 0, index, sizeof index);
        for (int i = 0; i < 3; i++)
            association_field(state, line, 5 + i, 1, commands[i], sizeof commands[i]);
        processed = 1;
        const char *const fields[] = {sys,         ext,         friendly,   icon,
                                      commands[0], commands[1], commands[2]};
        const size_t limits[] = {ASSOC_SYSNAME_MAX, ASSOC_EXTENSION_MAX, ASSOC_FRIENDLY_NAME_MAX,
                                 ASSOC_FILE_MAX,    ASSOC_FILE_MAX,      ASSOC_FILE_MAX,
                                 ASSOC_FILE_MAX};
        reg_association entry = {
            sys,         ext,         friendly,        icon, script_number(index), commands[0],
            commands[1], commands[2], state->dest_path};
        if (!fields_fit(fields, limits, 7) || !register_association(&entry)) failed = 1;
        platform_set_progress_pos(window, IDC_PROGRESS_BAR, n + 1);
        drain_messages(window);
    }
    return processed && !failed;
}

namespace {

// The association lists: reg_associate, then reg_associate_01 when its box is ticked; the
// second is not processed after the first failed.
int register_lists(platform_window *window, installer_state *state) {
    char value[SCRIPT_EXPAND_CAPACITY];
    if (get_value(state, KW_REG_ASSOCIATE, value, sizeof value) &&
        !register_list(window, state, KW_REG_ASSOCIATE))
        return STEP_FAILED;
    if ((state->choice_flags & CHOICE_EXTRAREG) &&
        get_value(state, KW_REG_ASSOCIATE_01, value, sizeof value) &&
        !register_list(window, state, KW_REG_ASSOCIATE_01))
        return STEP_FAILED;
    return STEP_DONE;
}

} // namespace

int registry_step(platform_window *window, installer_state *state) {
    int lists = register_lists(window, state);
    // The product's uninstall entry is written whatever became of the associations: what was
    // installed can then be removed from Windows' list of programs.
    int entry = uninstall_entry_step(state);
    return lists == STEP_DONE && entry ? STEP_DONE : STEP_FAILED;
}
