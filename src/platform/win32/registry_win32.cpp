// Win32 backend of the registry seam: advapi32 under HKEY_CLASSES_ROOT, and the shell's notice.
#include "platform/platform_registry.h"

#include <windows.h>

#include <shlobj.h>

namespace {

HKEY key_of(platform_key *key) {
    return key ? reinterpret_cast<HKEY>(key) : HKEY_CLASSES_ROOT;
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
    if (key) RegCloseKey(reinterpret_cast<HKEY>(key));
}

void platform_reg_notify_associations(void) {
    SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
}
