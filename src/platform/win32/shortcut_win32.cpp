// Win32 backend of the shortcut seam: the shell's special folders and its link object
// (CLSID_ShellLink through IShellLinkW, saved through IPersistFile), every text in UTF-16.
#include "platform/platform_shortcut.h"

#include "platform/platform.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

// The three ids, spelled here: libuuid keeps every id it knows in one object, and taking
// these three from it would put some 35 KB of others into the stub.
namespace {
const GUID shell_link_class = {0x00021401, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID shell_link_interface = {0x000214F9, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID persist_file_interface = {0x0000010B, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// One property of a link in UTF-16: a text that does not convert is left empty, as an
// absent one is.
struct wide_text {
    wchar_t *text;
    explicit wide_text(const char *utf8) : text(win32_widen_alloc(utf8 ? utf8 : "")) {}
    ~wide_text() { platform_free(text); }
    const wchar_t *get() const { return text ? text : L""; }
};
} // namespace

struct platform_link {
    IShellLinkW *shell_link;
};

int platform_special_folder_path(int folder, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    IMalloc *allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator))) return 0;
    LPITEMIDLIST list = nullptr;
    int ok = 0;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, folder, &list))) {
        wchar_t path[MAX_PATH] = L"";
        ok = SHGetPathFromIDListW(list, path) && win32_narrow(path, out, cap);
        if (!ok) out[0] = 0;
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
    IShellLinkW *shell_link = nullptr;
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
    IShellLinkW *shell_link = link->shell_link;
    shell_link->SetPath(wide_text(p->target).get());
    shell_link->SetWorkingDirectory(wide_text(p->working_folder).get());
    shell_link->SetIconLocation(wide_text(p->icon_file).get(), p->icon_index);
    shell_link->SetDescription(wide_text(p->description).get());
}

int32_t platform_link_save(platform_link *link, const char *path, int *attempted) {
    *attempted = 0;
    IPersistFile *persist = nullptr;
    HRESULT result = link->shell_link->QueryInterface(persist_file_interface, (void **)&persist);
    if (FAILED(result)) return result;
    // A path that does not convert whole is refused: saving what fitted would write, and
    // record, another file.
    WCHAR wide[PLATFORM_LINK_PATH_LIMIT];
    if (win32_widen(path, wide, PLATFORM_LINK_PATH_LIMIT))
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
