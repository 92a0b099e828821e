// Win32 backend of platform_remove.h.
#include "platform/platform_remove.h"

#include <windows.h>

#include <cstring>

int platform_remove_file(const char *path) {
    return DeleteFileA(path) != 0;
}

int platform_remove_folder(const char *path) {
    return RemoveDirectoryA(path) != 0;
}

long platform_folder_entry_count(const char *path) {
    char pattern[MAX_PATH + 3];
    size_t n = strlen(path);
    if (n + 3 > sizeof pattern) {
        SetLastError(ERROR_INVALID_NAME);
        return -1;
    }
    memcpy(pattern, path, n);
    memcpy(pattern + n, n && path[n - 1] == '\\' ? "*" : "\\*", n && path[n - 1] == '\\' ? 2 : 3);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long count = 0;
    do {
        if (strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0) count++;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}
