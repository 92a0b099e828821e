// Win32 backend of the registry seam: advapi32 under the predefined roots, the shell's notice,
// and whether the process is elevated.
#include "platform/platform_registry.h"

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

} // namespace

uint32_t platform_reg_open(platform_key *parent, const char *name, int access, platform_key **key) {
    HKEY opened = nullptr;
    REGSAM sam =
        access == PLATFORM_KEY_DELETE_ENUMERATE ? DELETE | KEY_ENUMERATE_SUB_KEYS : KEY_READ;
    LONG result = RegOpenKeyExA(key_of(parent), name, 0, sam, &opened);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<platform_key *>(opened) : nullptr;
    return (uint32_t)result;
}

uint32_t platform_reg_create(platform_key *parent, const char *name, platform_key **key) {
    HKEY created = nullptr;
    DWORD disposition = 0;
    char no_class[] = "";
    LONG result = RegCreateKeyExA(key_of(parent), name, 0, no_class, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &created, &disposition);
    *key = result == ERROR_SUCCESS ? reinterpret_cast<platform_key *>(created) : nullptr;
    return (uint32_t)result;
}

uint32_t platform_reg_set_default(platform_key *key, const char *text) {
    return (uint32_t)RegSetValueExA(key_of(key), "", 0, REG_SZ,
                                    reinterpret_cast<const BYTE *>(text), (DWORD)lstrlenA(text));
}

uint32_t platform_reg_enum_subkey(platform_key *key, uint32_t index, char *name, size_t cap) {
    DWORD size = (DWORD)cap;
    return (uint32_t)RegEnumKeyExA(key_of(key), index, name, &size, nullptr, nullptr, nullptr,
                                   nullptr);
}

uint32_t platform_reg_delete(platform_key *parent, const char *name) {
    return (uint32_t)RegDeleteKeyA(key_of(parent), name);
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
    return (uint32_t)RegSetValueExA(key_of(key), name ? name : "", 0, REG_SZ,
                                    reinterpret_cast<const BYTE *>(text), (DWORD)lstrlenA(text));
}

uint32_t platform_reg_set_number(platform_key *key, const char *name, uint32_t number) {
    DWORD value = number;
    return (uint32_t)RegSetValueExA(key_of(key), name ? name : "", 0, REG_DWORD,
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
    DWORD type = 0, size = (DWORD)cap - 1; // room for the NUL the stored text may lack
    LONG result = RegQueryValueExA(key_of(key), name ? name : "", nullptr, &type,
                                   reinterpret_cast<BYTE *>(out), &size);
    if (result != ERROR_SUCCESS) {
        out[0] = 0;
        return (uint32_t)result;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        out[0] = 0;
        return ERROR_INVALID_DATA;
    }
    out[size] = 0;
    return ERROR_SUCCESS;
}

uint32_t platform_reg_counts(platform_key *key, uint32_t *subkeys, uint32_t *values) {
    DWORD keys = 0, named = 0;
    LONG result = RegQueryInfoKeyA(key_of(key), nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                                   &named, nullptr, nullptr, nullptr, nullptr);
    *subkeys = keys;
    *values = named;
    return (uint32_t)result;
}

uint32_t platform_reg_delete_value(platform_key *key, const char *name) {
    return (uint32_t)RegDeleteValueA(key_of(key), name ? name : "");
}
