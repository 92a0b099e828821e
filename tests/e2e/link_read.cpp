// kvlinkread: loads each link file named on the command line through the shell's own link
// object (IPersistFile::Load, then IShellLinkA) and prints what it holds, one line per
// property, so that a test can compare links written by Windows with links written natively:
//
//   link FILE
//   path TARGET
//   workdir FOLDER
//   icon FILE,INDEX
//   description TEXT
//
// Exits 0 when every link loaded, 1 otherwise.
#include <windows.h>

#include <objidl.h>
#include <shlobj.h>

#include <cstdio>

static int print_link(const char *file) {
    printf("link %s\n", file);
    IShellLinkA *link = nullptr;
    IPersistFile *persist = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkA, (void **)&link);
    if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, (void **)&persist);
    WCHAR wide[MAX_PATH];
    if (SUCCEEDED(result) && !MultiByteToWideChar(CP_ACP, 0, file, -1, wide, MAX_PATH))
        result = E_INVALIDARG;
    if (SUCCEEDED(result)) result = persist->Load(wide, STGM_READ);
    if (SUCCEEDED(result)) {
        char text[MAX_PATH + 1] = "";
        int index = 0;
        link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
        printf("path %s\n", text);
        text[0] = 0;
        link->GetWorkingDirectory(text, MAX_PATH);
        printf("workdir %s\n", text);
        text[0] = 0;
        link->GetIconLocation(text, MAX_PATH, &index);
        printf("icon %s,%d\n", text, index);
        text[0] = 0;
        link->GetDescription(text, MAX_PATH);
        printf("description %s\n", text);
    } else {
        printf("error 0x%08lx\n", (unsigned long)result);
    }
    if (persist) persist->Release();
    if (link) link->Release();
    return SUCCEEDED(result);
}

int main(int argc, char **argv) {
    if (FAILED(CoInitialize(nullptr))) return 1;
    int ok = 1;
    for (int i = 1; i < argc; i++) ok &= print_link(argv[i]);
    CoUninitialize();
    return ok ? 0 : 1;
}
