// Win32 backend of platform_remove.h. A node is a handle opened with the right to delete and
// without following the path's last element; it is trusted only when the path the system
// resolved for it (GetFinalPathNameByHandleW) is the root's resolved path followed by the names
// asked for. So a junction or symbolic link anywhere below the root shows, whatever the system
// reports of its attributes: under Wine a Unix symlink looks like a plain folder or file, and
// DeleteFile or RemoveDirectory on it reach what it points at. The removal goes through the same
// handle (its delete disposition), so what was checked is what goes.
#include "platform/platform.h"
#include "platform/platform_remove.h"

#include <windows.h>

#include <cstring>

struct platform_node {
    HANDLE handle;
};

namespace {

enum : size_t {
    WIDE_CAPACITY = 1100, // a 511-byte path widened, or a resolved one with its \\?\UNC\ prefix
};

// path in the ANSI code page as UTF-16 into out. 1, or 0 (error set) when it does not fit.
int widen(const char *path, wchar_t *out) {
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, out, (int)WIDE_CAPACITY) > 0) return 1;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
}

// Opens path for reading its attributes; a link at its end is followed.
HANDLE open_followed(const wchar_t *path) {
    return CreateFileW(path, FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The resolved path of handle into out, without a trailing backslash. 1, or 0 (error set).
int resolved_path(HANDLE handle, wchar_t *out) {
    DWORD n = GetFinalPathNameByHandleW(handle, out, (DWORD)WIDE_CAPACITY, VOLUME_NAME_DOS);
    if (n == 0 || n >= WIDE_CAPACITY) {
        if (n) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (out[n - 1] == L'\\') out[n - 1] = 0;
    return 1;
}

// 1 when a and b name the same path: compared ignoring case, as the file system does.
int same_path(const wchar_t *a, const wchar_t *b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// The resolved path of the existing folder or file path into out. 1, 0 when it is missing,
// -1 on another error (error set).
int resolve(const wchar_t *path, wchar_t *out) {
    HANDLE handle = open_followed(path);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    int ok = resolved_path(handle, out);
    DWORD e = GetLastError();
    CloseHandle(handle);
    SetLastError(e);
    return ok ? 1 : -1;
}

} // namespace

int platform_node_open(const char *root, const char *path, platform_node **node) {
    *node = nullptr;
    // The names after the root are what the resolved path must end in (the core hands in a
    // path that begins with root, without doubled or trailing backslashes).
    size_t n = strlen(root);
    while (n > 0 && root[n - 1] == '\\') n--;
    if (n == 0 || strlen(path) <= n + 1 || path[n] != '\\') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return PLATFORM_NODE_FAILED;
    }
    wchar_t wide[WIDE_CAPACITY], rest[WIDE_CAPACITY], expected[WIDE_CAPACITY];
    wchar_t found[WIDE_CAPACITY];
    if (!widen(path, wide) || !widen(path + n, rest)) return PLATFORM_NODE_FAILED;
    // The root with its backslash for a moment ("C:" alone would be drive C's current folder).
    wchar_t *after = wide + (wcslen(wide) - wcslen(rest)) + 1, kept = *after;
    *after = 0;
    int root_found = resolve(wide, expected);
    *after = kept;
    if (root_found <= 0) return root_found == 0 ? PLATFORM_NODE_MISSING : PLATFORM_NODE_FAILED;
    if (wcslen(expected) + wcslen(rest) >= WIDE_CAPACITY) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return PLATFORM_NODE_FAILED;
    }
    wcscat(expected, rest);

    HANDLE handle =
        CreateFileW(wide, DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? PLATFORM_NODE_MISSING
                                                                      : PLATFORM_NODE_FAILED;
    }
    BY_HANDLE_FILE_INFORMATION info;
    platform_node *made = nullptr;
    if (!resolved_path(handle, found) || !GetFileInformationByHandle(handle, &info) ||
        (same_path(found, expected) &&
         !(made = static_cast<platform_node *>(platform_alloc(1, sizeof *made))))) {
        DWORD e = GetLastError();
        CloseHandle(handle);
        SetLastError(e);
        return PLATFORM_NODE_FAILED;
    }
    if (!made) {
        // Resolved elsewhere: through a folder on the way, or (when the folder the path is in
        // resolves as expected) at the path itself, which this system followed.
        CloseHandle(handle);
        *wcsrchr(wide, L'\\') = 0;
        *wcsrchr(expected, L'\\') = 0;
        int folder_found = resolve(wide, found);
        if (folder_found < 0) return PLATFORM_NODE_FAILED;
        return folder_found == 1 && same_path(found, expected) ? PLATFORM_NODE_FOLLOWED_LINK
                                                               : PLATFORM_NODE_BEHIND_LINK;
    }
    made->handle = handle;
    *node = made;
    // A link is a reparse point that names another place (symbolic link, junction); others,
    // such as a cloud drive's placeholders, are the files and folders they look like.
    FILE_ATTRIBUTE_TAG_INFO tag;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
         IsReparseTagNameSurrogate(tag.ReparseTag)))
        return PLATFORM_NODE_LINK;
    return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PLATFORM_NODE_FOLDER
                                                            : PLATFORM_NODE_FILE;
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
