// The uninstall entry of Windows' list of installed programs.
#include "engine/uninstall_entry.h"

#include "engine/install_log.h"
#include "engine/registry.h"
#include "engine/upgrade.h"
#include "platform/platform.h"
#include "platform/platform_registry.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstring>

namespace {

enum : size_t { COMMAND_CAPACITY = PATH_CAPACITY + 8 }; // a quoted path and " /S"

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c + ('a' - 'A')) : c;
}

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

// The UninstallString of uninstaller: its path in quotes, into command (COMMAND_CAPACITY).
void quoted_command(const char *uninstaller, char *command) {
    text_copy(command, COMMAND_CAPACITY, "\"");
    text_append(command, COMMAND_CAPACITY, uninstaller);
    text_append(command, COMMAND_CAPACITY, "\"");
}

} // namespace

int uninstall_listing_read(installer_state *state, char *name, char *uninstaller) {
    if (!get_value(state, KW_UNINSTALL, name, SCRIPT_EXPAND_CAPACITY)) return 0;
    get_field(state, KW_UNINSTALL, 1, uninstaller, SCRIPT_EXPAND_CAPACITY);
    return expand_placeholders(state, uninstaller, uninstaller, SCRIPT_EXPAND_CAPACITY) ? 1 : -1;
}

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
    quoted_command(entry->uninstaller, command);
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
    int listed = uninstall_listing_read(state, name, uninstaller);
    if (listed < 0) append_error_format("Field Too Long! (%s)", uninstaller);
    if (listed <= 0) return listed == 0;
    get_field(state, KW_UNINSTALL, 2, publisher, sizeof publisher);
    get_field(state, KW_UNINSTALL, 3, version, sizeof version);
    uninstall_listing entry = {name,    uninstaller,      publisher,
                               version, state->dest_path, state->bytes_copied};
    int root =
        platform_process_elevated() ? PLATFORM_HKEY_LOCAL_MACHINE : PLATFORM_HKEY_CURRENT_USER;
    return register_uninstall_entry(root, &entry);
}

int uninstall_entry_seal(installer_state *state) {
    char name[SCRIPT_EXPAND_CAPACITY], uninstaller[SCRIPT_EXPAND_CAPACITY];
    unsigned char digest[32];
    if (uninstall_listing_read(state, name, uninstaller) <= 0 || !uninstall_log_digest(digest))
        return 1;
    // Only an entry whose UninstallString is the one this install writes vouches for its log:
    // whether this run wrote it or an earlier install into the same folder did, the log beside
    // its uninstaller is this one. (Another product's entry of the same name is left alone.)
    char key_name[PATH_CAPACITY], command[UNINSTALL_COMMAND_CAPACITY], ours[COMMAND_CAPACITY];
    text_copy(key_name, sizeof key_name, UNINSTALL_PARENT_KEY "\\");
    text_append(key_name, sizeof key_name, name);
    platform_key *parent =
                     platform_reg_root(platform_process_elevated() ? PLATFORM_HKEY_LOCAL_MACHINE
                                                                   : PLATFORM_HKEY_CURRENT_USER),
                 *key = nullptr;
    if (platform_reg_open(parent, key_name, PLATFORM_KEY_READ, &key) != 0) return 1;
    uint32_t status = platform_reg_get_text(key, "UninstallString", command, sizeof command);
    platform_reg_close(key);
    quoted_command(uninstaller, ours);
    if (status != 0 || strcmp(command, ours) != 0) return 1;

    // The size is what the finished log names, earlier installs' files included: the copy
    // step's count alone would leave out what an upgrade kept and count what it replaced.
    char text[UNINSTALL_DIGEST_TEXT_CAPACITY];
    uninstall_digest_text(digest, text);
    const entry_value values[] = {
        {UNINSTALL_DIGEST_VALUE, text, 0},
        {"EstimatedSize", nullptr, uninstall_size_kb(upgrade_named_bytes(state->dest_path))},
    };
    status = platform_reg_create(parent, key_name, &key);
    if (status == 0) {
        status = fill_entry(key, values, (int)(sizeof values / sizeof values[0]));
        platform_reg_close(key);
        return status == 0;
    }
    append_error_format("RegSetValueEx(7) Failed: %u ('%s'='%s')", (unsigned)status,
                        UNINSTALL_DIGEST_VALUE, text);
    return 0;
}

void uninstall_digest_text(const unsigned char digest[32],
                           char out[UNINSTALL_DIGEST_TEXT_CAPACITY]) {
    static const char HEX[] = "0123456789abcdef";
    for (int i = 0; i < 32; i++) {
        out[2 * i] = HEX[digest[i] >> 4];
        out[2 * i + 1] = HEX[digest[i] & 15];
    }
    out[64] = 0;
}

size_t uninstall_command_program(const char *command, char *out, size_t cap) {
    const char *p = command, *end;
    while (*p == ' ' || *p == '\t') p++;
    if (*p == '"') {
        end = strchr(++p, '"');
        if (!end) end = p + strlen(p);
    } else {
        end = p;
        while (*end && *end != '"' && !(*end == ' ' && (end[1] == '/' || end[1] == '%'))) end++;
        const char *comma = end; // an icon's index at the end: ",1" or ",-101"
        while (comma > p && comma[-1] != ',') comma--;
        const char *digit = comma > p && *comma == '-' ? comma + 1 : comma;
        if (comma > p && digit < end && strspn(digit, "0123456789") >= (size_t)(end - digit))
            end = comma - 1;
        while (end > p && (end[-1] == ' ' || end[-1] == '\t')) end--;
    }
    size_t n = (size_t)(end - p) < cap ? (size_t)(end - p) : cap - 1;
    memcpy(out, p, n);
    out[n] = 0;
    return n;
}

int uninstall_command_names(const char *command, const char *path) {
    char program[UNINSTALL_COMMAND_CAPACITY];
    size_t n = uninstall_command_program(command, program, sizeof program);
    if (n == 0 || n != strlen(path)) return 0;
    for (size_t i = 0; i < n; i++)
        if (lower(program[i]) != lower(path[i])) return 0;
    return 1;
}

int uninstall_same_text(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; i++) {
        if (lower(a[i]) != lower(b[i])) return 0;
        if (!a[i]) return 1;
    }
    return 1;
}

int uninstall_same_name(const char *a, const char *b) {
    size_t n = strlen(a);
    return n == strlen(b) && uninstall_same_text(a, b, n);
}
