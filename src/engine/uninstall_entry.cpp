// The uninstall entry of Windows' list of installed programs.
#include "engine/uninstall_entry.h"

#include "engine/install_log.h"
#include "engine/registry.h"
#include "platform/platform.h"
#include "platform/platform_registry.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

enum : size_t { COMMAND_CAPACITY = PATH_CAPACITY + 8 }; // a quoted path and " /S"

const char *root_name(int root) {
    return root == PLATFORM_HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// A value of the entry: a text, or a number when text is null.
struct entry_value {
    const char *name;
    const char *text;
    uint32_t number;
};

// Sets every value in order; the first that fails is logged and ends the filling. 0, or its
// error.
uint32_t fill_entry(platform_key *key, const entry_value *values, int count) {
    for (int i = 0; i < count; i++) {
        const entry_value &v = values[i];
        if (v.text && !v.text[0]) continue; // a publisher or version the script leaves off
        uint32_t status = v.text ? platform_reg_set_text(key, v.name, v.text)
                                 : platform_reg_set_number(key, v.name, v.number);
        if (!status) continue;
        if (v.text)
            append_error_format("RegSetValueEx(7) Failed: %u ('%s'='%s')", (unsigned)status, v.name,
                                v.text);
        else
            append_error_format("RegSetValueEx(7) Failed: %u ('%s'=%u)", (unsigned)status, v.name,
                                (unsigned)v.number);
        return status;
    }
    return 0;
}

} // namespace

uint32_t uninstall_size_kb(int64_t bytes) {
    if (bytes <= 0) return 0;
    int64_t kb = bytes / 1024 + (bytes % 1024 != 0);
    return kb > (int64_t)UINT32_MAX ? UINT32_MAX : (uint32_t)kb;
}

int register_uninstall_entry(int root, const uninstall_listing *entry) {
    const char *name = entry->display_name;
    if (!name[0] || strlen(name) > UNINSTALL_NAME_MAX || strchr(name, '\\') ||
        !entry->uninstaller[0]) {
        append_error_format("Invalid Uninstall Entry! (%s)", name);
        return 0;
    }
    char key_name[PATH_CAPACITY];
    text_copy(key_name, sizeof key_name, UNINSTALL_PARENT_KEY "\\");
    text_append(key_name, sizeof key_name, name);
    char full[LOG_LINE_CAPACITY];
    text_copy(full, sizeof full, root_name(root));
    text_append(full, sizeof full, "\\");
    text_append(full, sizeof full, key_name);

    // A key left by an earlier install goes whole, so that no value of it outlives this one.
    platform_key *parent = platform_reg_root(root), *key = nullptr;
    if (platform_reg_open(parent, key_name, PLATFORM_KEY_READ, &key) == 0) {
        platform_reg_close(key);
        if (uint32_t e = delete_key_tree(parent, key_name)) {
            append_error_format("RegDeleteKey(7) Failed: %u (%s)", (unsigned)e, full);
            return 0;
        }
    }
    if (uint32_t e = platform_reg_create(parent, key_name, &key)) {
        append_error_format("RegCreateKeyEx(7) Failed: %u (%s)", (unsigned)e, full);
        return 0;
    }
    append_uninstall_record(LOG_KIND_REG, full);

    char command[COMMAND_CAPACITY], quiet[COMMAND_CAPACITY];
    text_copy(command, sizeof command, "\"");
    text_append(command, sizeof command, entry->uninstaller);
    text_append(command, sizeof command, "\"");
    text_copy(quiet, sizeof quiet, command);
    text_append(quiet, sizeof quiet, " /S");
    const entry_value values[] = {
        {"DisplayName", name, 0},
        {"UninstallString", command, 0},
        {"QuietUninstallString", quiet, 0},
        {"InstallLocation", entry->install_location, 0},
        {"DisplayIcon", entry->uninstaller, 0},
        {"Publisher", entry->publisher, 0},
        {"DisplayVersion", entry->version, 0},
        {"EstimatedSize", nullptr, uninstall_size_kb(entry->bytes_copied)},
        {"NoModify", nullptr, 1},
        {"NoRepair", nullptr, 1},
    };
    uint32_t status = fill_entry(key, values, (int)(sizeof values / sizeof values[0]));
    platform_reg_close(key);
    return status == 0;
}

int uninstall_entry_step(installer_state *state) {
    char name[SCRIPT_EXPAND_CAPACITY], uninstaller[SCRIPT_EXPAND_CAPACITY];
    char publisher[SCRIPT_EXPAND_CAPACITY], version[SCRIPT_EXPAND_CAPACITY];
    if (!get_value(state, KW_UNINSTALL, name, sizeof name)) return 1;
    get_field(state, KW_UNINSTALL, 1, uninstaller, sizeof uninstaller);
    if (!expand_placeholders(state, uninstaller, uninstaller, sizeof uninstaller)) {
        append_error_format("Field Too Long! (%s)", uninstaller);
        return 0;
    }
    get_field(state, KW_UNINSTALL, 2, publisher, sizeof publisher);
    get_field(state, KW_UNINSTALL, 3, version, sizeof version);
    uninstall_listing entry = {name,    uninstaller,      publisher,
                               version, state->dest_path, state->bytes_copied};
    int root =
        platform_process_elevated() ? PLATFORM_HKEY_LOCAL_MACHINE : PLATFORM_HKEY_CURRENT_USER;
    return register_uninstall_entry(root, &entry);
}
