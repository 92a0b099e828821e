// The registry as the registry step reaches it: keys under HKEY_CLASSES_ROOT, their default
// (unnamed) text values, and the shell's notice that file associations changed. Every call
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
