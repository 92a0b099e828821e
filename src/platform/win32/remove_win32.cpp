// Win32 backend of platform_remove.h. A node is a handle opened with the right to delete by
// win32_node_find, trusted only when the system resolved it where it was asked for: under Wine a
// Unix symlink looks like a plain folder or file, and DeleteFile or RemoveDirectory on it reach
// what it points at. The removal goes through the same handle (its delete disposition), so what
// was checked is what goes.
#include "platform/platform.h"
#include "platform/platform_remove.h"
#include "platform/win32/node_win32.h"
#include "platform/win32/text_win32.h"

#include <windows.h>

#include <cstring>

struct platform_node {
    HANDLE handle;
};

int platform_node_open(const char *root, const char *path, platform_node **node) {
    *node = nullptr;
    HANDLE handle;
    int kind =
        win32_node_find(root, path, DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                        WIN32_NODE_SHARE_ALL, &handle);
    if (handle == INVALID_HANDLE_VALUE) return kind;
    platform_node *made = static_cast<platform_node *>(platform_alloc(1, sizeof *made));
    if (!made) {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return PLATFORM_NODE_FAILED;
    }
    made->handle = handle;
    *node = made;
    return kind;
}

long platform_node_read(platform_node *node, void *buffer, size_t size) {
    DWORD got = 0;
    if (!ReadFile(node->handle, buffer, (DWORD)size, &got, nullptr)) return -1;
    return (long)got;
}

int platform_node_remove(platform_node *node) {
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(node->handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

void platform_node_close(platform_node *node) {
    if (!node) return;
    CloseHandle(node->handle);
    platform_free(node);
}

long platform_folder_entry_count(const char *path) {
    char pattern[WIN32_TEXT_CAPACITY + 3];
    size_t n = strlen(path);
    if (n + 3 > sizeof pattern) {
        SetLastError(ERROR_INVALID_NAME);
        return -1;
    }
    memcpy(pattern, path, n);
    memcpy(pattern + n, n && path[n - 1] == '\\' ? "*" : "\\*", n && path[n - 1] == '\\' ? 2 : 3);
    wchar_t wide[WIN32_TEXT_CAPACITY];
    if (!win32_widen(pattern, wide, WIN32_TEXT_CAPACITY)) return -1;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide, &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    long count = 0;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0) count++;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}
