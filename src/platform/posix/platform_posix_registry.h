// The POSIX backend's registry: an in-memory HKEY_CLASSES_ROOT behind platform_registry.h,
// with Win32's answers (names compared ignoring case, subkeys enumerated in sorted order,
// a key with subkeys not deletable, a deleted key's open handles answering 1018). The packer's
// simulation loads it from and saves it to a .reg file in the format the Windows registry
// editor exports and imports ("Windows Registry Editor Version 5.00", UTF-16LE with a byte
// order mark, CR LF); named values it does not use are kept as written. Tests inject faults.
#pragma once

#include <cstddef>
#include <cstdint>

// Operations a registry fault can hit, as bits.
enum platform_reg_operation : uint32_t {
    PLATFORM_REG_OP_OPEN = 1,
    PLATFORM_REG_OP_CREATE = 2,
    PLATFORM_REG_OP_SET = 4,
    PLATFORM_REG_OP_ENUM = 8,
    PLATFORM_REG_OP_DELETE = 16,
};

struct platform_registry_fault_plan {
    const char *key;     // operations on a key whose full name ("A\B", no root) contains this
    uint32_t operations; // ...and whose bit is set here fail
    uint32_t error;      // with this error (default: access denied)
};

extern platform_registry_fault_plan platform_registry_faults;

inline void platform_registry_faults_reset() {
    platform_registry_faults = {nullptr, 0, 0};
}

// Empties the store (open handles stay valid and answer as for deleted keys) and forgets the
// counters below.
void platform_posix_registry_reset(void);
// Replaces the store by the keys of the .reg file at the native path. 1 when loaded, 0 when
// the file does not exist (the store is empty), -1 when it cannot be read or is not a .reg file
// of HKEY_CLASSES_ROOT (the store is empty; *bad_line, when given, is its 1-based line, 0 for
// the file as a whole).
int platform_posix_registry_load(const char *native_path, int *bad_line);
// Writes the store to the native path as a .reg file, keys in the order the registry editor
// exports them. 1 when written whole, 0 when not.
int platform_posix_registry_save(const char *native_path);
// The .reg text the save would write, as ANSI text with LF line ends (tests), into out
// (capacity cap, cut to fit). Returns the full length.
size_t platform_posix_registry_text(char *out, size_t cap);
// Handles opened or created and not closed yet.
int platform_posix_registry_open_keys(void);
// Calls of platform_reg_notify_associations since the last reset.
int platform_posix_registry_notifications(void);
