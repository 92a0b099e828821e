// Win32 backend of the registry seam: advapi32 under the predefined roots, the shell's notice,
// and whether the process is elevated.
#include "platform/platform_registry.h"

#include "platform/platform.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

#include <shlobj.h>

namespace {

HKEY key_of(platform_key *key) {
    return key ? reinterpret_cast<HKEY>(key) : HKEY_CLASSES_ROOT;
}

int is_root(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// 1 when the token belongs to the local Administrators group (Windows before Vista, which knows
// no elevation: there an administrator's process has the full rights).
int administrators_member(void) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, &administrators))
        return 0;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

// A key or value name (null: the default value) in UTF-16.
struct wide_name {
    wchar_t text[WIN32_TEXT_CAPACITY];
    int ok; // 0: it did not convert (the error is set)
    explicit wide_name(const char *name) {
        ok = win32_widen(name ? name : "", text, WIN32_TEXT_CAPACITY);
    }
};

// Stores text as the REG_SZ value name of key, in UTF-16 with its NUL.
uint32_t set_text(HKEY key, const char *name, const char *text) {
    wide_name wide(name);
    wchar_t *value = win32_widen_alloc(text);
    LONG result =
        !wide.ok || !value
            ? (LONG)GetLastError()
            : RegSetValueExW(key, wide.text, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                             (DWORD)((lstrlenW(value) + 1) * sizeof(wchar_t)));
    platform_free(value);
    return (uint32_t)result;
}

} // namespace

uint32_t platform_reg_open(platform_key *parent, const char *name, int access, platform_key **key) {
    HKEY opened = nullptr;
    REGSAM sam =
        access == PLATFORM_KEY_DELETE_ENUMERATE ? DELETE | KEY_ENUMERATE_SUB_KEYS : KEY_READ;
    wide_name wide(name);
    LONG result =
        wide.ok ? RegOpenKeyExW(key_of(parent), wide.text, 0, sam, &opened) : (LONG)GetLastError();
    *key = result == ERROR_SUCCESS ? reinterpret_cast<platform_key *>(opened) : nullptr;
    return (uint32_t)result;
}

uint32_t platform_reg_create(platform_key *parent, const char *name, platform_key **key) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    wchar_t no_class[] = L"";
    wide_name wide(name);
    LONG result =
        wide.ok ? RegCreateKeyExW(key_of(parent), wide.text, 0, no_class, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &created, &disposition)
                : (LONG)GetLastError();
    *key = result == ERROR_SUCCESS ? reinterpret_cast<platform_key *>(created) : nullptr;
    return (uint32_t)result;
}

uint32_t platform_reg_set_default(platform_key *key, const char *text) {
    return set_text(key_of(key), nullptr, text);
}

uint32_t platform_reg_enum_subkey(platform_key *key, uint32_t index, char *name, size_t cap) {
    wchar_t wide[WIN32_TEXT_CAPACITY];
    DWORD size = (DWORD)WIN32_TEXT_CAPACITY;
    if (cap) name[0] = 0;
    LONG result =
        RegEnumKeyExW(key_of(key), index, wide, &size, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return (uint32_t)result;
    return win32_narrow(wide, name, cap) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

uint32_t platform_reg_delete(platform_key *parent, const char *name) {
    wide_name wide(name);
    return wide.ok ? (uint32_t)RegDeleteKeyW(key_of(parent), wide.text) : GetLastError();
}

void platform_reg_close(platform_key *key) {
    if (key && !is_root(reinterpret_cast<HKEY>(key))) RegCloseKey(reinterpret_cast<HKEY>(key));
}

void platform_reg_notify_associations(void) {
    SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
}

platform_key *platform_reg_root(int root) {
    HKEY key = root == PLATFORM_HKEY_CURRENT_USER    ? HKEY_CURRENT_USER
               : root == PLATFORM_HKEY_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE
               : root == PLATFORM_HKEY_CLASSES_ROOT  ? HKEY_CLASSES_ROOT
                                                     : nullptr;
    return reinterpret_cast<platform_key *>(key);
}

uint32_t platform_reg_set_text(platform_key *key, const char *name, const char *text) {
    return set_text(key_of(key), name, text);
}

uint32_t platform_reg_set_number(platform_key *key, const char *name, uint32_t number) {
    DWORD value = number;
    wide_name wide(name);
    if (!wide.ok) return GetLastError();
    return (uint32_t)RegSetValueExW(key_of(key), wide.text, 0, REG_DWORD,
                                    reinterpret_cast<const BYTE *>(&value), sizeof value);
}

int platform_process_elevated(void) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return administrators_member();
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    BOOL known = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return known ? elevation.TokenIsElevated != 0 : administrators_member();
}

uint32_t platform_reg_get_text(platform_key *key, const char *name, char *out, size_t cap) {
    if (cap == 0) return ERROR_MORE_DATA;
    out[0] = 0;
    wide_name wide(name);
    if (!wide.ok) return GetLastError();
    // A value is read into room for the whole UTF-8 capacity in UTF-16 (never more units than
    // bytes), and one more unit for the NUL the stored text may lack.
    wchar_t *value = static_cast<wchar_t *>(platform_alloc(cap + 1, sizeof(wchar_t)));
    if (!value) return ERROR_NOT_ENOUGH_MEMORY;
    DWORD type = 0, size = (DWORD)(cap * sizeof(wchar_t));
    LONG result = RegQueryValueExW(key_of(key), wide.text, nullptr, &type,
                                   reinterpret_cast<BYTE *>(value), &size);
    if (result == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
        result = ERROR_INVALID_DATA;
    if (result == ERROR_SUCCESS) {
        value[size / sizeof(wchar_t)] = 0;
        if (!win32_narrow(value, out, cap)) result = ERROR_MORE_DATA;
    }
    if (result != ERROR_SUCCESS) out[0] = 0;
    platform_free(value);
    return (uint32_t)result;
}

uint32_t platform_reg_counts(platform_key *key, uint32_t *subkeys, uint32_t *values) {
    DWORD keys = 0, named = 0;
    LONG result = RegQueryInfoKeyW(key_of(key), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                                   &named, nullptr, nullptr, nullptr, nullptr);
    *subkeys = keys;
    *values = named;
    return (uint32_t)result;
}

uint32_t platform_reg_delete_value(platform_key *key, const char *name) {
    wide_name wide(name);
    return wide.ok ? (uint32_t)RegDeleteValueW(key_of(key), wide.text) : GetLastError();
}
