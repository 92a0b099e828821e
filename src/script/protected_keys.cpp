// The list of protected keys of HKEY_CLASSES_ROOT.
#include "script/protected_keys.h"

#include <cstring>

namespace {

// The shell's own classes, COM's trees, the program types that start code, and the protocols
// every browser and mail program answers for; each name followed by a bar. (One text rather
// than a table of pointers: the stub carries no relocation for each name.)
const char PROTECTED[] =
    // COM and the registry's own trees
    "CLSID|Interface|TypeLib|AppID|Component Categories|MIME|PROTOCOLS|Installer|Wow6432Node|"
    "Applications|SystemFileAssociations|"
    // the shell's classes for every file, folder, drive and network object
    "*|Directory|Folder|Drive|AllFilesystemObjects|Unknown|Network|NetServer|NetShare|Printers|"
    "DesktopBackground|InternetShortcut|"
    // program and script types
    "exefile|dllfile|lnkfile|batfile|cmdfile|comfile|scrfile|piffile|cplfile|regfile|inffile|"
    "htafile|mscfile|VBSFile|JSFile|WSFFile|Msi.Package|Msi.Patch|"
    ".exe|.dll|.com|.bat|.cmd|.lnk|.msi|.msp|.reg|.sys|.scr|.pif|.cpl|.inf|.hta|.msc|.vbs|.js|"
    ".wsf|.url|.ocx|.drv|"
    // protocols
    "http|https|file|ftp|mailto|";

char upper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 32) : c;
}

} // namespace

int is_protected_class_key(const char *name) {
    if (!name) return 0;
    if (!name[0] || strchr(name, '\\')) return 1; // "" opens HKEY_CLASSES_ROOT itself
    // Each listed name against name, ignoring the case of ASCII letters as the registry does.
    for (const char *key = PROTECTED; *key; key = strchr(key, '|') + 1) {
        size_t n = 0;
        while (key[n] != '|' && upper(key[n]) == upper(name[n])) n++;
        if (key[n] == '|' && !name[n]) return 1;
    }
    return 0;
}
