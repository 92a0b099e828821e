// File associations under HKEY_CLASSES_ROOT.
#include "engine/registry.h"

#include "engine/install_log.h"
#include "engine/step.h"
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
    if (refused(ext) || refused(sys)) return 0;

    platform_key *key = nullptr;
    if (platform_reg_open(nullptr, ext, PLATFORM_KEY_READ, &key) == 0) {
        platform_reg_close(key);
        if (uint32_t e = delete_key_tree(nullptr, ext)) {
            append_error_format("RegDeleteKeyNT(1) Failed: %u (%s)", (unsigned)e, ext);
            return 0;
        }
    }
    if (uint32_t e = platform_reg_create(nullptr, ext, &key)) {
        append_error_format("RegCreateKeyEx(1) Failed: %u (%s)", (unsigned)e, ext);
        return 0;
    }
    record_key(ext);
    uint32_t set = platform_reg_set_default(key, sys);
    platform_reg_close(key);
    if (set) {
        append_error_format("RegSetValueEx(1) Failed: %u ('%s'='%s')", (unsigned)set, ext, sys);
        return 0;
    }

    uint32_t probe = platform_reg_open(nullptr, sys, PLATFORM_KEY_READ, &key);
    if (probe == 0) {
        platform_reg_close(key);
        if (uint32_t e = delete_key_tree(nullptr, sys)) {
            append_error_format("RegDeleteKey(2) Failed: %u (%s)", (unsigned)e, sys);
            return 0;
        }
    } else if (probe != PLATFORM_ERROR_FILE_NOT_FOUND) {
        append_error_format("RegOpenKeyEx(2) Failed: %u (%s)", (unsigned)probe, sys);
        return 0;
    }
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

int register_list(install_job *job, uint32_t list_key) {
    installer_state *state = job->state;
    char line[SCRIPT_TOKEN_CAPACITY];
    int count = 0;
    while (list_line(state, list_key, count, line, sizeof line) > 0) count++;
    install_bar_range(job, count);
    install_bar(job, 0);
    int processed = 0, failed = 0;
    for (int n = 0; list_line(state, list_key, n, line, sizeof line) > 0; n++) {
        install_bar(job, n);
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
        reg_association entry = {sys,         ext,         friendly,   icon, script_number(index),
                                 commands[0], commands[1], commands[2]};
        if (!fields_fit(fields, limits, 7) || !register_association(&entry)) failed = 1;
        install_bar(job, n + 1);
        install_keep_alive(job);
    }
    return processed && !failed;
}

namespace {

// The association lists: reg_associate, then reg_associate_01 when its box is ticked; the
// second is not processed after the first failed.
int register_lists(install_job *job) {
    installer_state *state = job->state;
    char value[SCRIPT_EXPAND_CAPACITY];
    if (get_value(state, KW_REG_ASSOCIATE, value, sizeof value) &&
        !register_list(job, KW_REG_ASSOCIATE))
        return STEP_FAILED;
    if ((state->choice_flags & CHOICE_EXTRAREG) &&
        get_value(state, KW_REG_ASSOCIATE_01, value, sizeof value) &&
        !register_list(job, KW_REG_ASSOCIATE_01))
        return STEP_FAILED;
    return STEP_DONE;
}

} // namespace

int registry_step(install_job *job) {
    int lists = register_lists(job);
    // The product's uninstall entry is written whatever became of the associations: what was
    // installed can then be removed from Windows' list of programs.
    int entry = uninstall_entry_step(job->state);
    return lists == STEP_DONE && entry ? STEP_DONE : STEP_FAILED;
}
