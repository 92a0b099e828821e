// The uninstaller's proofs.
//
// Anyone who can write into the destination can plant a log and links there, and a per-user
// install's log can be rewritten by its user; the uninstaller runs as administrator. So:
//   1. a path is opened from its area's folder one name at a time, never through a link, and
//      what was opened is what is removed (platform_remove.h): a record can reach nothing
//      outside its area, and a link it names goes as a link, never with what it points at;
//   2. on the desktop and in the Start menu, where the user's own files are, only shell links
//      (by their first bytes, whatever their names) and folders are removed;
//   3. a key is the product's only by what it says now, judged before anything is removed: a
//      class whose icon or command names a file below the destination, an extension naming
//      such a class, an entry of the list of installed programs naming this very uninstaller.
//      A class that existed before the install (Wine's own txtfile) names other programs, so it
//      stays whatever a log claims, and the install itself refuses to write it; an extension
//      the install borrowed is given back to the class it remembers (registry.h), never to a
//      key Windows depends on;
//   4. the digest of the finished log, which the install kept in its entry, must match before
//      anything at all is done (uninstall_check_log).
#include "engine/uninstall_checks.h"

#include "engine/registry.h"
#include "engine/uninstall_entry.h"
#include "platform/platform.h"
#include "platform/platform_registry.h"
#include "platform/platform_remove.h"
#include "script/script_keywords.h"

#include <cstdio>
#include <cstring>

namespace {

const char CLASSES_ROOT[] = "HKEY_CLASSES_ROOT\\";
const char UNINSTALL_STRING[] = "UninstallString";

// The shell link header: its size, then CLSID_ShellLink as stored.
const unsigned char SHELL_LINK_HEAD[20] = {0x4C, 0x00, 0x00, 0x00, 0x01, 0x14, 0x02,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// path into out (capacity cap, cut) as Windows reads it: doubled backslashes after the first
// two (a network path's) taken as one, trailing ones dropped.
void clean_path(const char *path, char *out, size_t cap) {
    size_t n = 0;
    for (size_t i = 0; path[i] && n + 1 < cap; i++)
        if (!(path[i] == '\\' && i >= 2 && n > 0 && out[n - 1] == '\\')) out[n++] = path[i];
    while (n > 0 && out[n - 1] == '\\') n--;
    out[n] = 0;
}

// 1 when node, a file, begins as a shell link.
int node_is_shell_link(platform_node *node) {
    unsigned char head[sizeof SHELL_LINK_HEAD];
    size_t got = 0;
    long n = 1;
    while (got < sizeof head && (n = platform_node_read(node, head + got, sizeof head - got)) > 0)
        got += (size_t)n;
    return uninstall_is_shell_link(head, got);
}

// The outcome of what platform_node_open found for a record of kind, or -1 when it may go.
int judge_node(platform_node *node, int found, int kind, int shortcuts_only, uint32_t *error) {
    switch (found) {
    case PLATFORM_NODE_MISSING:
        return UNINSTALL_ABSENT;
    case PLATFORM_NODE_BEHIND_LINK:
        return UNINSTALL_REFUSED_BEHIND_LINK;
    case PLATFORM_NODE_FOLLOWED_LINK:
        return UNINSTALL_REFUSED_LINK;
    case PLATFORM_NODE_LINK:
        return shortcuts_only ? UNINSTALL_REFUSED_LINK : -1;
    case PLATFORM_NODE_FOLDER:
        if (kind == UNINSTALL_FOLDER) return -1;
        *error = PLATFORM_ERROR_ACCESS_DENIED; // what deleting a folder as a file answers
        return UNINSTALL_FAILED;
    case PLATFORM_NODE_FILE:
        if (kind == UNINSTALL_FOLDER) {
            *error = PLATFORM_ERROR_DIRECTORY;
            return UNINSTALL_FAILED;
        }
        return shortcuts_only && !node_is_shell_link(node) ? UNINSTALL_REFUSED_NOT_SHORTCUT : -1;
    default:
        *error = platform_last_error();
        return UNINSTALL_FAILED;
    }
}

// Opens what path names below root (*node, *found as platform_node_open answers) and judges it
// for a record of kind: the uninstall_outcome it gets without removal, or -1 when it may go.
int open_judged(const char *root, const char *path, int kind, int shortcuts_only,
                platform_node **node, int *found, uint32_t *error) {
    char clean[LOG_PATH_CAPACITY];
    clean_path(path, clean, sizeof clean);
    *found = platform_node_open(root, clean, node);
    return judge_node(*node, *found, kind, shortcuts_only, error);
}

// 1 when the entry root\key of the list of installed programs names the uninstaller self; 0
// when not; -1 when there is no such key.
int listing_is_ours(int root, const char *key_path, const char *self) {
    platform_key *key = nullptr;
    uint32_t status = platform_reg_open(platform_reg_root(root), key_path, PLATFORM_KEY_READ, &key);
    if (status != 0) return status == PLATFORM_ERROR_FILE_NOT_FOUND ? -1 : 0;
    char command[UNINSTALL_COMMAND_CAPACITY];
    int ours =
        self[0] &&
        platform_reg_get_text(key, UNINSTALL_STRING, command, sizeof command) == PLATFORM_OK &&
        uninstall_command_names(command, self);
    platform_reg_close(key);
    return ours;
}

// Counts the entries under root's list of installed programs that name the uninstaller self
// and carry a digest (*sealed), and whether one of them is digest (*matched).
void count_seals(int root, const char *self, const char *digest, int *sealed, int *matched) {
    platform_key *list = nullptr;
    if (platform_reg_open(platform_reg_root(root), UNINSTALL_PARENT_KEY, PLATFORM_KEY_READ,
                          &list) != 0)
        return;
    char name[PLATFORM_KEY_NAME_CAPACITY], text[UNINSTALL_COMMAND_CAPACITY];
    for (uint32_t i = 0;; i++) {
        uint32_t status = platform_reg_enum_subkey(list, i, name, sizeof name);
        if (status == PLATFORM_ERROR_MORE_DATA) continue; // a name no entry of ours has
        if (status != PLATFORM_OK) break;
        platform_key *entry = nullptr;
        if (platform_reg_open(list, name, PLATFORM_KEY_READ, &entry) != 0) continue;
        if (platform_reg_get_text(entry, UNINSTALL_STRING, text, sizeof text) == PLATFORM_OK &&
            uninstall_command_names(text, self) &&
            platform_reg_get_text(entry, UNINSTALL_DIGEST_VALUE, text, sizeof text) ==
                PLATFORM_OK) {
            (*sealed)++;
            *matched |=
                strlen(text) == strlen(digest) && uninstall_same_text(text, digest, strlen(digest));
        }
        platform_reg_close(entry);
    }
    platform_reg_close(list);
}

// The default text of the subkey of parent into out (capacity UNINSTALL_COMMAND_CAPACITY).
// 0, or the error.
uint32_t default_text(platform_key *parent, const char *subkey, char *out) {
    platform_key *key = nullptr;
    uint32_t status = platform_reg_open(parent, subkey, PLATFORM_KEY_READ, &key);
    if (status == 0) {
        status = platform_reg_get_text(key, "", out, UNINSTALL_COMMAND_CAPACITY);
        platform_reg_close(key);
    }
    return status;
}

// 1 when the default value of subkey of parent names a file below folder.
int names_file_below(platform_key *parent, const char *subkey, const char *folder) {
    char text[UNINSTALL_COMMAND_CAPACITY], program[UNINSTALL_COMMAND_CAPACITY];
    if (default_text(parent, subkey, text) != 0) return 0;
    uninstall_command_program(text, program, sizeof program);
    return uninstall_path_below(program, folder);
}

// 1 when the class key name points into folder (its icon, or the command of one of its verbs,
// names a file below it); 0 when not; -1 when there is no such key.
int class_points_into(const char *name, const char *folder) {
    platform_key *key = nullptr, *shell = nullptr;
    uint32_t status = platform_reg_open(nullptr, name, PLATFORM_KEY_READ, &key);
    if (status != 0) return status == PLATFORM_ERROR_FILE_NOT_FOUND ? -1 : 0;
    int ours = names_file_below(key, "DefaultIcon", folder);
    if (!ours && platform_reg_open(key, "shell", PLATFORM_KEY_READ, &shell) == 0) {
        char verb[PLATFORM_KEY_NAME_CAPACITY], command[PLATFORM_KEY_NAME_CAPACITY + 16];
        for (uint32_t i = 0;
             !ours && platform_reg_enum_subkey(shell, i, verb, sizeof verb) == PLATFORM_OK; i++) {
            snprintf(command, sizeof command, "%s\\command", verb);
            ours = names_file_below(shell, command, folder);
        }
        platform_reg_close(shell);
    }
    platform_reg_close(key);
    return ours;
}

} // namespace

int uninstall_extension_is_ours(const uninstall_plan *plan, const char *name) {
    platform_key *key = nullptr;
    uint32_t status = platform_reg_open(nullptr, name, PLATFORM_KEY_READ, &key);
    if (status != 0) return status == PLATFORM_ERROR_FILE_NOT_FOUND ? -1 : 0;
    char target[UNINSTALL_COMMAND_CAPACITY];
    uint32_t subkeys = 1, values = 1;
    status = platform_reg_get_text(key, "", target, sizeof target);
    int empty = (status == PLATFORM_OK && !target[0]) || status == PLATFORM_ERROR_FILE_NOT_FOUND;
    int ours = empty && platform_reg_counts(key, &subkeys, &values) == 0 && subkeys == 0 &&
               values <= (status == PLATFORM_OK ? 1u : 0u);
    platform_reg_close(key);
    for (size_t i = 0; !ours && status == PLATFORM_OK && target[0] && i < plan->count; i++) {
        const uninstall_entry *entry = &plan->entries[i];
        const char *class_name = entry->kind == UNINSTALL_REG && entry->proven
                                     ? uninstall_classes_key(entry->text)
                                     : nullptr;
        ours = class_name && strlen(class_name) == strlen(target) &&
               uninstall_same_text(class_name, target, strlen(target));
    }
    return ours;
}

const char *uninstall_classes_key(const char *text) {
    size_t n = sizeof CLASSES_ROOT - 1;
    return strlen(text) > n && uninstall_same_text(text, CLASSES_ROOT, n) ? text + n : nullptr;
}

const char *uninstall_listing_key(const char *text, int *root) {
    static const struct {
        const char *prefix;
        int root;
    } roots[] = {{"HKEY_LOCAL_MACHINE\\", PLATFORM_HKEY_LOCAL_MACHINE},
                 {"HKEY_CURRENT_USER\\", PLATFORM_HKEY_CURRENT_USER}};
    for (const auto &r : roots) {
        size_t n = strlen(r.prefix), parent = sizeof UNINSTALL_PARENT_KEY - 1;
        if (strlen(text) <= n + parent + 1 || !uninstall_same_text(text, r.prefix, n)) continue;
        const char *key = text + n;
        if (!uninstall_same_text(key, UNINSTALL_PARENT_KEY, parent) || key[parent] != '\\')
            continue;
        const char *name = key + parent + 1;
        if (!name[0] || strchr(name, '\\')) return nullptr;
        *root = r.root;
        return key;
    }
    return nullptr;
}

int uninstall_is_shell_link(const unsigned char *head, size_t size) {
    return size >= sizeof SHELL_LINK_HEAD &&
           memcmp(head, SHELL_LINK_HEAD, sizeof SHELL_LINK_HEAD) == 0;
}

int uninstall_remove_below(const char *root, const char *path, int kind, int shortcuts_only,
                           uint32_t *error) {
    platform_node *node = nullptr;
    int found = 0;
    int outcome = open_judged(root, path, kind, shortcuts_only, &node, &found, error);
    if (outcome < 0) {
        if (platform_node_remove(node)) {
            outcome = UNINSTALL_REMOVED;
        } else {
            *error = platform_last_error();
            outcome = found == PLATFORM_NODE_FOLDER && *error == PLATFORM_ERROR_DIR_NOT_EMPTY
                          ? UNINSTALL_NOT_EMPTY
                          : UNINSTALL_FAILED;
        }
    }
    platform_node_close(node);
    return outcome;
}

int uninstall_record_stands(const char *root, const char *path, int kind, int shortcuts_only) {
    platform_node *node = nullptr;
    int found = 0;
    uint32_t error = 0;
    int stands = open_judged(root, path, kind, shortcuts_only, &node, &found, &error) < 0;
    platform_node_close(node);
    return stands;
}

void uninstall_judge_keys(uninstall_plan *plan) {
    // Classes first: an extension is the product's only through a class that is.
    for (int pass = 0; pass < 2; pass++) {
        for (size_t i = 0; i < plan->count; i++) {
            uninstall_entry *entry = &plan->entries[i];
            if (entry->kind != UNINSTALL_REG || entry->outcome >= 0) continue;
            const char *name = uninstall_classes_key(entry->text);
            int root = 0, ours = -1;
            if (!name) {
                const char *key = uninstall_listing_key(entry->text, &root);
                if (pass == 0 && key) ours = listing_is_ours(root, key, plan->self_path);
            } else if (name[0] != '.') {
                if (pass == 0) ours = class_points_into(name, plan->folder);
            } else if (pass == 1) {
                ours = uninstall_extension_is_ours(plan, name);
            }
            if (ours == 1) entry->proven = 1;
            if (ours == 0) entry->outcome = UNINSTALL_REFUSED_NOT_OURS;
        }
    }
}

int uninstall_log_seal(const uninstall_plan *plan) {
    char digest[UNINSTALL_DIGEST_TEXT_CAPACITY];
    uninstall_digest_text(plan->log_digest, digest);
    // The machine's entries first: only an administrator can have written their digest.
    static const int roots[] = {PLATFORM_HKEY_LOCAL_MACHINE, PLATFORM_HKEY_CURRENT_USER};
    for (int root : roots) {
        int sealed = 0, matched = 0;
        if (plan->self_path[0]) count_seals(root, plan->self_path, digest, &sealed, &matched);
        if (sealed) return matched ? UNINSTALL_SEAL_MATCHED : UNINSTALL_SEAL_CHANGED;
    }
    return UNINSTALL_SEAL_NONE;
}

int uninstall_check_log(uninstall_plan *plan, char *message, size_t cap) {
    message[0] = 0;
    if (uninstall_log_seal(plan) == UNINSTALL_SEAL_CHANGED) {
        uninstall_text(plan->texts, KW_TEXT_UN_LOG_CHANGED, message, cap, plan->log_path);
        return 0;
    }
    plan->log_checked = 1;
    return 1;
}
