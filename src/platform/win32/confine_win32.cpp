// Win32 backend of platform_confine.h, on win32_node_find. Measured under Wine 8 with Unix
// symlinks inside the prefix (which Win32 programs take for links):
//   - CreateFileW with CREATE_NEW fails with 80 on a file symlink and on a dangling one, and
//     makes nothing at the target; OPEN_ALWAYS and CREATE_ALWAYS open the target (they would
//     write through it), FILE_FLAG_OPEN_REPARSE_POINT or not;
//   - a file created below a folder symlink lands at the target, GetFinalPathNameByHandleW names
//     it there (\\?\C:\out\dir\new.tmp), and its delete disposition removes it again;
//   - CreateDirectoryW below a folder symlink makes the folder at the target, and on a dangling
//     symlink fails with the last error left at 0;
//   - MoveFileExW with MOVEFILE_REPLACE_EXISTING onto a file symlink replaces the link itself.
// So a new file is only ever created (never opened through a name that exists) and checked by
// its resolved path before a byte is written, and removed by its handle when it landed
// elsewhere; an existing file is opened without following and checked before it is emptied; a
// folder is made only in a folder found real, and looked at again once made.
// A new file's folder, once found real, is remembered for the next new file there (an install
// writes many files into one folder): the check of the created file's resolved path still
// catches a folder swapped for a link since, so remembering saves the look, not the proof.
// A finished file moves to its name through its own handle after one look at that name.
#include "platform/platform_confine.h"
#include "platform/win32/file_win32.h"
#include "platform/win32/node_win32.h"

#include <windows.h>

#include <cstring>

namespace {

int is_link(int kind) {
    return kind == PLATFORM_NODE_LINK || kind == PLATFORM_NODE_FOLLOWED_LINK ||
           kind == PLATFORM_NODE_BEHIND_LINK;
}

// 0 with the error of finding kind where a plain file or nothing was wanted: a link refused, a
// folder denied as CreateFile denies it; a failure keeps its own error.
int refuse(int kind) {
    if (is_link(kind)) SetLastError(PLATFORM_ERROR_LINK_REFUSED);
    if (kind == PLATFORM_NODE_FOLDER) SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

// 1 when the folder that holds path is root itself or a real folder below it; else 0 with the
// error set (a missing folder or a file on the way is "path not found", as CreateFile says).
int folder_ready(const char *root, const char *path) {
    const char *slash = strrchr(path, '\\');
    size_t n = strlen(root);
    while (n > 0 && root[n - 1] == '\\') n--;
    if (!slash || (size_t)(slash - path) <= n) return 1; // the root: win32_node_expected's
    char folder[WIN32_NODE_WIDE_CAPACITY];
    size_t length = (size_t)(slash - path);
    if (length >= sizeof folder) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    memcpy(folder, path, length);
    folder[length] = 0;
    int kind = platform_confined_kind(root, folder);
    if (kind == PLATFORM_NODE_FOLDER) return 1;
    if (kind == PLATFORM_NODE_MISSING || kind == PLATFORM_NODE_FILE)
        SetLastError(ERROR_PATH_NOT_FOUND);
    else if (is_link(kind))
        SetLastError(PLATFORM_ERROR_LINK_REFUSED);
    return 0;
}

// The folder (root and path) a new file was last created in, found real then.
struct ready_folder {
    char root[WIN32_NODE_WIDE_CAPACITY];
    char folder[WIN32_NODE_WIDE_CAPACITY];
};
ready_folder last_ready;

// folder_ready for a new file, whose resolved path is checked once it is made: the folder last
// found real is taken as it was found.
int new_file_folder_ready(const char *root, const char *path) {
    const char *slash = strrchr(path, '\\');
    size_t length = slash ? (size_t)(slash - path) : 0;
    if (length == 0 || length >= sizeof last_ready.folder || strlen(root) >= sizeof last_ready.root)
        return folder_ready(root, path);
    if (!strcmp(last_ready.root, root) && strlen(last_ready.folder) == length &&
        !memcmp(last_ready.folder, path, length))
        return 1;
    if (!folder_ready(root, path)) return 0;
    strcpy(last_ready.root, root);
    memcpy(last_ready.folder, path, length);
    last_ready.folder[length] = 0;
    return 1;
}

// Creates path anew below root for writing, checked to be where it was asked for. The handle,
// or INVALID_HANDLE_VALUE with the error set.
HANDLE create_new(const char *root, const char *path) {
    wchar_t wide[WIN32_NODE_WIDE_CAPACITY], expected[WIN32_NODE_WIDE_CAPACITY];
    wchar_t found[WIN32_NODE_WIDE_CAPACITY];
    if (!new_file_folder_ready(root, path)) return INVALID_HANDLE_VALUE;
    int root_found = win32_node_expected(root, path, wide, expected);
    if (root_found <= 0) {
        if (root_found == 0) SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = CreateFileW(wide, GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return h;
    if (win32_node_resolved_path(h, found) && win32_node_same_path(found, expected)) return h;
    // Made elsewhere (a folder on the way was swapped for a link after it was looked at): the
    // file is ours, empty, and goes again by its handle.
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(h);
    SetLastError(PLATFORM_ERROR_LINK_REFUSED);
    return INVALID_HANDLE_VALUE;
}

// Opens the existing plain file path below root for writing with share; the handle, or
// INVALID_HANDLE_VALUE with the error set.
HANDLE open_existing(const char *root, const char *path, DWORD share) {
    HANDLE h;
    int kind = win32_node_find(root, path, GENERIC_WRITE, share, &h);
    if (kind == PLATFORM_NODE_FILE) return h;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    refuse(kind);
    return INVALID_HANDLE_VALUE;
}

} // namespace

int platform_confined_kind(const char *root, const char *path) {
    HANDLE h;
    int kind = win32_node_find(root, path, FILE_READ_ATTRIBUTES, WIN32_NODE_SHARE_ALL, &h);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return kind;
}

platform_file *platform_confined_open(const char *root, const char *path, int mode) {
    if (mode == PLATFORM_CONFINED_APPEND)
        return win32_file_wrap_at_end(open_existing(root, path, FILE_SHARE_WRITE));
    HANDLE h = create_new(root, path);
    if (h != INVALID_HANDLE_VALUE || mode == PLATFORM_CONFINED_NEW ||
        GetLastError() != ERROR_FILE_EXISTS)
        return win32_file_wrap(h);
    // Something has the name. A plain file is opened without following and emptied once
    // checked; a name that exists yet does not open (Wine's dangling symlink) is a link.
    h = open_existing(root, path, 0);
    if (h == INVALID_HANDLE_VALUE &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
        SetLastError(PLATFORM_ERROR_LINK_REFUSED);
    if (h != INVALID_HANDLE_VALUE && !SetEndOfFile(h)) {
        DWORD error = GetLastError();
        CloseHandle(h);
        SetLastError(error);
        return nullptr;
    }
    return win32_file_wrap(h);
}

int platform_confined_make_folder(const char *root, const char *path) {
    if (!folder_ready(root, path)) return 0;
    int kind = platform_confined_kind(root, path);
    if (is_link(kind))
        SetLastError(PLATFORM_ERROR_LINK_REFUSED);
    else if (kind == PLATFORM_NODE_FOLDER || kind == PLATFORM_NODE_FILE)
        SetLastError(ERROR_ALREADY_EXISTS);
    if (kind != PLATFORM_NODE_MISSING) return 0;
    wchar_t wide[WIN32_NODE_WIDE_CAPACITY];
    if (!win32_node_widen(path, wide)) return 0;
    SetLastError(0);
    if (!CreateDirectoryW(wide, nullptr)) {
        if (GetLastError() == 0) SetLastError(PLATFORM_ERROR_LINK_REFUSED); // a dangling symlink
        return 0;
    }
    kind = platform_confined_kind(root, path);
    if (kind == PLATFORM_NODE_FOLDER) return 1;
    if (kind != PLATFORM_NODE_FAILED) SetLastError(PLATFORM_ERROR_LINK_REFUSED);
    return 0;
}

int platform_confined_commit(const char *root, platform_file *file, const char *source,
                             const char *target) {
    int kind = platform_confined_kind(root, target);
    if (is_link(kind) || kind == PLATFORM_NODE_FAILED) {
        DWORD error = GetLastError();
        platform_close(file);
        SetLastError(error);
        return refuse(kind);
    }
    return platform_close_and_move(file, source, target);
}
