// Win32 backend of the shortcut seam: the shell's special folders and its link object
// (CLSID_ShellLink through IShellLinkA, saved through IPersistFile).
#include "platform/platform_shortcut.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

// The three ids, spelled here: libuuid keeps every id it knows in one object, and taking
// these three from it would put some 35 KB of others into the stub.
namespace {
const GUID shell_link_class = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID shell_link_interface = {0x000214EE, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID persist_file_interface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
} // namespace

struct platform_link {
    IShellLinkA *shell_link;
};

int platform_special_folder_path(int folder, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    IMalloc *allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return 0;
    LPITEMIDLIST list = nullptr;
    int ok = 0;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, folder, &list))) {
        char path[MAX_PATH] = "";
        ok = SHGetPathFromIDListA(list, path) && strlen(path) < cap;
        if (ok) lstrcpynA(out, path, (int)cap);
        allocator->Free(list);
    }
    allocator->Release();
    return ok;
}

int32_t platform_com_start(void) {
    return CoInitialize(nullptr);
}

void platform_com_stop(void) {
    CoUninitialize();
}

int32_t platform_link_create(platform_link **out) {
    *out = nullptr;
    IShellLinkA *shell_link = nullptr;
    HRESULT result = CoCreateInstance(shell_link_class, nullptr, CLSCTX_INPROC_SERVER,
                                      shell_link_interface, (void **)&shell_link);
    if (FAILED(result)) return result;
    platform_link *link =
        static_cast<platform_link *>(HeapAlloc(GetProcessHeap(), 0, sizeof *link));
    if (!link) {
        shell_link->Release();
        return E_OUTOFMEMORY;
    }
    link->shell_link = shell_link;
    *out = link;
    return result;
}

void platform_link_set(platform_link *link, const platform_link_properties *p) {
    IShellLinkA *shell_link = link->shell_link;
    shell_link->SetPath(p->target ? p->target : "");
    shell_link->SetWorkingDirectory(p->working_folder ? p->working_folder : "");
    shell_link->SetIconLocation(p->icon_file ? p->icon_file : "", p->icon_index);
    shell_link->SetDescription(p->description ? p->description : "");
}

int32_t platform_link_save(platform_link *link, const char *path, int *attempted) {
    *attempted = 0;
    IPersistFile *persist = nullptr;
    HRESULT result = link->shell_link->QueryInterface(persist_file_interface, (void **)&persist);
    if (FAILED(result)) return result;
    // A path that does not convert whole is refused: saving what fitted would write, and
    // record, another file.
    WCHAR wide[PLATFORM_LINK_PATH_LIMIT];
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, PLATFORM_LINK_PATH_LIMIT))
        result = persist->Save(wide, TRUE);
    else
        result = PLATFORM_E_FILENAME_TOO_LONG;
    persist->Release();
    *attempted = 1;
    return result;
}

void platform_link_release(platform_link *link) {
    if (!link) return;
    link->shell_link->Release();
    HeapFree(GetProcessHeap(), 0, link);
}
