// The registry as the registry step reaches it: keys under HKEY_CLASSES_ROOT, their default
// (unnamed) text values, and the shell's notice that file associations changed; and, for the
// entry in Windows' list of installed programs, keys under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE with named text and number values. Every call
// returns the Win32 error code of the operation (0 on success), as the advapi32 calls do, so
// that the step can log it as it stands. The Win32 backend is the real registry; the POSIX
// backend keeps an in-memory store that the packer's simulation loads from and saves to a
// .reg file (platform/posix/platform_posix_registry.h).
#pragma once

#include <cstddef>
#include <cstdint>

// Registry error codes beyond those of platform.h.
enum platform_registry_error : uint32_t {
    PLATFORM_ERROR_BAD_PATHNAME = 161,  // a key name with an empty level
    PLATFORM_ERROR_MORE_DATA = 234,     // a subkey name longer than the buffer given
    PLATFORM_ERROR_NO_MORE_ITEMS = 259, // no subkey at the index asked for
    PLATFORM_ERROR_BADKEY = 1010,       // no key name given
    PLATFORM_ERROR_KEY_DELETED = 1018,  // the open key was deleted meanwhile
};

// What a key is opened for.
enum platform_key_access : int {
    PLATFORM_KEY_READ = 0,             // KEY_READ: a probe whether the key exists
    PLATFORM_KEY_DELETE_ENUMERATE = 1, // DELETE | KEY_ENUMERATE_SUB_KEYS: deleting a tree
};

enum : size_t { PLATFORM_KEY_NAME_CAPACITY = 512 }; // the subkey name buffer of an enumeration

struct platform_key; // an open key; opaque. A null parent stands for HKEY_CLASSES_ROOT.

// Opens the existing key name under parent. 0 with *key set, else the error (2 when missing).
uint32_t platform_reg_open(platform_key *parent, const char *name, int access, platform_key **key);
// Creates name under parent (every missing level), or opens it when it exists, for writing.
// 0 with *key set, else the error.
uint32_t platform_reg_create(platform_key *parent, const char *name, platform_key **key);
// Sets the default value of key to text (REG_SZ, the text's bytes without the NUL). 0, or the
// error.
uint32_t platform_reg_set_default(platform_key *key, const char *text);
// The name of the subkey at index (in the registry's own order) into name (capacity cap).
// 0, PLATFORM_ERROR_NO_MORE_ITEMS when there is none, or another error.
uint32_t platform_reg_enum_subkey(platform_key *key, uint32_t index, char *name, size_t cap);
// Deletes the key name under parent, which must have no subkeys. 0, or the error.
uint32_t platform_reg_delete(platform_key *parent, const char *name);
// Closes key; a null key (the root) is ignored.
void platform_reg_close(platform_key *key);
// Tells the shell that file associations changed (SHCNE_ASSOCCHANGED).
void platform_reg_notify_associations(void);

// The predefined roots. A null parent stands for HKEY_CLASSES_ROOT in every call above; the
// handle of platform_reg_root stands for any of them.
enum platform_reg_root_id : int {
    PLATFORM_HKEY_CLASSES_ROOT = 0,
    PLATFORM_HKEY_CURRENT_USER = 1,
    PLATFORM_HKEY_LOCAL_MACHINE = 2,
};
// The root as a parent for the calls above. Never null for the three ids (null, which is
// HKEY_CLASSES_ROOT, for any other); it is not opened, and closing it does nothing.
platform_key *platform_reg_root(int root);
// Sets the value called name (empty: the default value) of key to text, as REG_SZ (the text's
// bytes without the NUL). 0, or the error.
uint32_t platform_reg_set_text(platform_key *key, const char *name, const char *text);
// Sets the value called name (not empty) of key to number, as REG_DWORD. 0, or the error.
uint32_t platform_reg_set_number(platform_key *key, const char *name, uint32_t number);
// 1 when the process runs with an administrator's full rights (elevated), so that keys under
// HKEY_LOCAL_MACHINE may be written; 0 otherwise.
int platform_process_elevated(void);

// Reading, for the uninstaller's proof that a key is the product's.
enum : uint32_t { PLATFORM_ERROR_INVALID_DATA = 13 }; // a value that is not text
// The text value called name (empty: the default value) of key into out (capacity cap), as
// stored (REG_SZ or REG_EXPAND_SZ, not expanded). 0; 2 when there is no such value; 234 when it
// does not fit (out holds ""); 13 for a value of another type; or another error.
uint32_t platform_reg_get_text(platform_key *key, const char *name, char *out, size_t cap);
// How many subkeys and values (the default value counted when it is set) key holds. 0, or the
// error.
uint32_t platform_reg_counts(platform_key *key, uint32_t *subkeys, uint32_t *values);
// Deletes the value called name (empty: the default value) of key, opened for writing. 0; 2
// when there is no such value; or another error.
uint32_t platform_reg_delete_value(platform_key *key, const char *name);
