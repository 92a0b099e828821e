// The list of protected keys of HKEY_CLASSES_ROOT.
#include "script/protected_keys.h"

#include <cstring>

namespace {

// The shell's own classes, COM's trees, the program types that start code, and the protocols
// every browser and mail program answers for.
const char *const PROTECTED[] = {
    // COM and the registry's own trees
    "CLSID",
    "Interface",
    "TypeLib",
    "AppID",
    "Component Categories",
    "MIME",
    "PROTOCOLS",
    "Installer",
    "Wow6432Node",
    "Applications",
    "SystemFileAssociations",
    // the shell's classes for every file, folder, drive and network object
    "*",
    "Directory",
    "Folder",
    "Drive",
    "AllFilesystemObjects",
    "Unknown",
    "Network",
    "NetServer",
    "NetShare",
    "Printers",
    "DesktopBackground",
    "InternetShortcut",
    // program and script types
    "exefile",
    "dllfile",
    "lnkfile",
    "batfile",
    "cmdfile",
    "comfile",
    "scrfile",
    "piffile",
    "cplfile",
    "regfile",
    "inffile",
    "htafile",
    "mscfile",
    "VBSFile",
    "JSFile",
    "WSFFile",
    "Msi.Package",
    "Msi.Patch",
    ".exe",
    ".dll",
    ".com",
    ".bat",
    ".cmd",
    ".lnk",
    ".msi",
    ".msp",
    ".reg",
    ".sys",
    ".scr",
    ".pif",
    ".cpl",
    ".inf",
    ".hta",
    ".msc",
    ".vbs",
    ".js",
    ".wsf",
    ".url",
    ".ocx",
    ".drv",
    // protocols
    "http",
    "https",
    "file",
    "ftp",
    "mailto",
};

// Equal when they differ only in the case of ASCII letters, as the registry compares names.
int same_name(const char *a, const char *b) {
    for (;; a++, b++) {
        char x = *a >= 'a' && *a <= 'z' ? (char)(*a - 32) : *a;
        char y = *b >= 'a' && *b <= 'z' ? (char)(*b - 32) : *b;
        if (x != y) return 0;
        if (!x) return 1;
    }
}

} // namespace

int is_protected_class_key(const char *name) {
    if (!name) return 0;
    if (!name[0] || strchr(name, '\\')) return 1; // "" opens HKEY_CLASSES_ROOT itself
    for (const char *key : PROTECTED)
        if (same_name(name, key)) return 1;
    return 0;
}
