// What a path below a folder is, found by handle. A junction or symbolic link anywhere below the
// root shows in the resolved path, whatever the system reports of its attributes. Measured under
// Wine 8 with Unix symlinks inside the prefix: GetFileAttributes reports a folder symlink as a
// reparse point (0x410) but a file symlink as a plain file (0x20), and a dangling one as missing
// (2); CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT still follows both kinds, and
// GetFinalPathNameByHandleW on that handle names the target (\\?\C:\out\victim.txt).
// Also measured there: GetFileInformationByHandle asks the mount manager for the volume's serial
// number (an ioctl through the device service, some twenty server requests), so a node's kind
// is read from its attribute tag alone.
// The root's resolved path is remembered for the process (one root: an install writes below its
// destination, then a shortcut folder, each many times). A root that resolves elsewhere later
// only makes the names below it fail the comparison: remembering can refuse, never misdirect.
#include "platform/win32/node_win32.h"

#include "platform/platform.h"
#include "platform/platform_remove.h"
#include "platform/win32/text_win32.h"

#include <cstring>

namespace {

// Opens path for reading its attributes; a link at its end is followed.
HANDLE open_followed(const wchar_t *path) {
    return CreateFileW(path, FILE_READ_ATTRIBUTES, WIN32_NODE_SHARE_ALL, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The resolved path of the existing folder or file path into out. 1, 0 when it is missing,
// -1 on another error (error set).
int resolve(const wchar_t *path, wchar_t *out) {
    HANDLE handle = open_followed(path);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    int ok = win32_node_resolved_path(handle, out);
    DWORD e = GetLastError();
    CloseHandle(handle);
    SetLastError(e);
    return ok ? 1 : -1;
}

// The root last resolved: its text as handed in and its resolved path.
struct resolved_root {
    wchar_t text[WIN32_NODE_WIDE_CAPACITY];
    wchar_t resolved[WIN32_NODE_WIDE_CAPACITY];
};
resolved_root last_root;

// The resolved path of root (a wide path ending in its backslash) into out, remembered when it
// is a full path (a relative one moves with the current folder): as resolve.
int resolve_root(const wchar_t *root, wchar_t *out) {
    int full =
        (root[0] && root[1] == L':' && root[2] == L'\\') || (root[0] == L'\\' && root[1] == L'\\');
    if (last_root.text[0] && !wcscmp(last_root.text, root)) {
        wcscpy(out, last_root.resolved);
        return 1;
    }
    int found = resolve(root, out);
    if (found == 1 && full) {
        wcscpy(last_root.text, root);
        wcscpy(last_root.resolved, out);
    }
    return found;
}

} // namespace

int win32_node_widen(const char *path, wchar_t *out) {
    return win32_widen(path, out, WIN32_NODE_WIDE_CAPACITY);
}

int win32_node_resolved_path(HANDLE handle, wchar_t *out) {
    DWORD n =
        GetFinalPathNameByHandleW(handle, out, (DWORD)WIN32_NODE_WIDE_CAPACITY, VOLUME_NAME_DOS);
    if (n == 0 || n >= WIN32_NODE_WIDE_CAPACITY) {
        if (n) SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    if (out[n - 1] == L'\\') out[n - 1] = 0;
    return 1;
}

int win32_node_same_path(const wchar_t *a, const wchar_t *b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

int win32_node_expected(const char *root, const char *path, wchar_t *wide, wchar_t *expected) {
    // The names after the root are what the resolved path must end in (callers hand in a path
    // that begins with root, without doubled or trailing backslashes).
    size_t n = strlen(root);
    while (n > 0 && root[n - 1] == '\\') n--;
    if (n == 0 || strlen(path) <= n + 1 || path[n] != '\\') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    wchar_t rest[WIN32_NODE_WIDE_CAPACITY];
    if (!win32_node_widen(path, wide) || !win32_node_widen(path + n, rest)) return -1;
    // The root with its backslash for a moment ("C:" alone would be drive C's current folder).
    wchar_t *after = wide + (wcslen(wide) - wcslen(rest)) + 1, kept = *after;
    *after = 0;
    int root_found = resolve_root(wide, expected);
    *after = kept;
    if (root_found <= 0) return root_found;
    if (wcslen(expected) + wcslen(rest) >= WIN32_NODE_WIDE_CAPACITY) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return -1;
    }
    wcscat(expected, rest);
    return 1;
}

int win32_node_find(const char *root, const char *path, DWORD access, DWORD share, HANDLE *handle) {
    *handle = INVALID_HANDLE_VALUE;
    wchar_t wide[WIN32_NODE_WIDE_CAPACITY], expected[WIN32_NODE_WIDE_CAPACITY];
    wchar_t found[WIN32_NODE_WIDE_CAPACITY];
    int root_found = win32_node_expected(root, path, wide, expected);
    if (root_found <= 0) return root_found == 0 ? PLATFORM_NODE_MISSING : PLATFORM_NODE_FAILED;

    HANDLE opened = CreateFileW(wide, access, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? PLATFORM_NODE_MISSING
                                                                      : PLATFORM_NODE_FAILED;
    }
    FILE_ATTRIBUTE_TAG_INFO info;
    if (!win32_node_resolved_path(opened, found) ||
        !GetFileInformationByHandleEx(opened, FileAttributeTagInfo, &info, sizeof info)) {
        DWORD e = GetLastError();
        CloseHandle(opened);
        SetLastError(e);
        return PLATFORM_NODE_FAILED;
    }
    if (!win32_node_same_path(found, expected)) {
        // Resolved elsewhere: through a folder on the way, or (when the folder the path is in
        // resolves as expected) at the path itself, which this system followed.
        CloseHandle(opened);
        *wcsrchr(wide, L'\\') = 0;
        *wcsrchr(expected, L'\\') = 0;
        int folder_found = resolve(wide, found);
        if (folder_found < 0) return PLATFORM_NODE_FAILED;
        return folder_found == 1 && win32_node_same_path(found, expected)
                   ? PLATFORM_NODE_FOLLOWED_LINK
                   : PLATFORM_NODE_BEHIND_LINK;
    }
    *handle = opened;
    // A link is a reparse point that names another place (symbolic link, junction); others,
    // such as a cloud drive's placeholders, are the files and folders they look like.
    if ((info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        IsReparseTagNameSurrogate(info.ReparseTag))
        return PLATFORM_NODE_LINK;
    return info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY ? PLATFORM_NODE_FOLDER
                                                          : PLATFORM_NODE_FILE;
}
