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

// 1 when the default value of subkey of key names a file in folder as an install of the product
// writes it: the folder and a backslash, after the opening quote of a command.
int names_file_in(platform_key *key, const char *subkey, const char *folder) {
    platform_key *opened = nullptr;
    char text[PATH_CAPACITY] = "";
    uint32_t status = platform_reg_open(key, subkey, PLATFORM_KEY_READ, &opened);
    if (status == 0) status = platform_reg_get_text(opened, "", text, sizeof text);
    platform_reg_close(opened);
    const char *p = text + (text[0] == '"');
    size_t n = strlen(folder);
    return status == 0 && n > 0 && uninstall_same_text(p, folder, n) && p[n] == '\\';
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

// 1 when the class of entry may be written: it is new, or the product's own. An install of the
// product marks its class with REGISTRY_INSTALL_FOLDER_VALUE (into whatever folder it went); one
// from before that mark has its icon or open command in the destination; and a class that
// holds nothing at all is nobody's. 0 when it exists and is none of these (another program's,
// such as wrifile), or cannot be read (logged).
int class_writable(const reg_association *entry) {
    platform_key *key = nullptr;
    int found = probe_key(entry->sys_name, 2, &key);
    if (found <= 0) return found == 0;
    uint32_t subkeys = 1, values = 1;
    int empty = platform_reg_counts(key, &subkeys, &values) == 0 && subkeys == 0 && values == 0;
    char folder[PLATFORM_KEY_NAME_CAPACITY]; // its text does not matter: present is enough
    int ours = empty ||
               platform_reg_get_text(key, REGISTRY_INSTALL_FOLDER_VALUE, folder, sizeof folder) !=
                   PLATFORM_ERROR_FILE_NOT_FOUND ||
               names_file_in(key, "DefaultIcon", entry->folder) ||
               names_file_in(key, "shell\\open\\command", entry->folder);
    platform_reg_close(key);
    if (ours) return 1;
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
        remember = !uninstall_same_name(previous, sys);
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
    status = platform_reg_set_text(class_key, REGISTRY_INSTALL_FOLDER_VALUE, entry->folder);
    if (status) {
        append_error_format("RegSetValueEx(2) Failed: %u ('%s'='%s')", (unsigned)status,
                            REGISTRY_INSTALL_FOLDER_VALUE, entry->folder);
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

// The most characters each field of an entry may hold, in their order; the icon file and the
// three commands, which hold ASSOC_FILE_MAX, are the fields whose placeholders are expanded;
// the icon index (0) is a number read from its first characters.
enum : int { ASSOC_FIELDS = 8 };
const unsigned char FIELD_MAX[ASSOC_FIELDS] = {
    ASSOC_SYSNAME_MAX, ASSOC_EXTENSION_MAX, ASSOC_FRIENDLY_NAME_MAX, ASSOC_FILE_MAX, 0,
    ASSOC_FILE_MAX,    ASSOC_FILE_MAX,      ASSOC_FILE_MAX,
};
static_assert(ASSOC_FILE_MAX == 255 && ASSOC_SYSNAME_MAX < ASSOC_FILE_MAX &&
                  ASSOC_FRIENDLY_NAME_MAX < ASSOC_FILE_MAX,
              "the capacities fit a byte, and only the files' is ASSOC_FILE_MAX");

// Reads the fields of entry line into fields, unquoted, expanded where the table says. 1 when
// the entry has its SysName and Extension; -1 when a field is longer than it may be (the first
// such is logged); 0 when the list ends here.
int read_fields(installer_state *state, const char *line, char fields[][SCRIPT_EXPAND_CAPACITY]) {
    int result = 1;
    for (int n = 0; n < ASSOC_FIELDS; n++) {
        char *out = fields[n];
        if (!take_field(line, n, out, SCRIPT_EXPAND_CAPACITY)) {
            if (n < 2) return 0;
            continue;
        }
        if (FIELD_MAX[n] == ASSOC_FILE_MAX)
            expand_placeholders(state, out, out, SCRIPT_EXPAND_CAPACITY);
        unquote(out);
    }
    for (int n = 0; n < ASSOC_FIELDS && result > 0; n++) {
        if (!FIELD_MAX[n] || strlen(fields[n]) <= FIELD_MAX[n]) continue;
        append_error_format("Field Too Long! (%s)", fields[n]);
        result = -1;
    }
    return result;
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
        char f[ASSOC_FIELDS][SCRIPT_EXPAND_CAPACITY];
        int read = read_fields(state, line, f);
        if (read == 0) break;
        processed = 1;
        reg_association entry = {
            f[0], f[1], f[2], f[3], script_number(f[4]), f[5], f[6], f[7], state->dest_path};
        if (read < 0 || !register_association(&entry)) failed = 1;
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
