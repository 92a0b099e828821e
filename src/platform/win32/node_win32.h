// Finding what a path below a folder is without passing through a link, shared by the
// uninstaller's removals (remove_win32.cpp) and the installer's confined writes
// (confine_win32.cpp): the path is opened by handle without following its last element, and
// trusted only when the path the system resolved for the handle is the root's resolved path
// followed by the names asked for.
#pragma once

#include <windows.h>

#include <cstddef>

enum : size_t {
    WIN32_NODE_WIDE_CAPACITY = 1100, // a 511-byte path widened, or a resolved one with its prefix
};
// The sharing of a handle that only looks: it stands in no other program's way.
enum : DWORD { WIN32_NODE_SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE };

// The UTF-8 path as UTF-16 into out (WIN32_NODE_WIDE_CAPACITY). 1, or 0 (error set) when it
// does not fit or is not UTF-8.
int win32_node_widen(const char *path, wchar_t *out);

// The resolved path of handle into out, without a trailing backslash. 1, or 0 (error set).
int win32_node_resolved_path(HANDLE handle, wchar_t *out);

// 1 when the resolved paths a and b name the same path (compared ignoring case, as the file
// system does).
int win32_node_same_path(const wchar_t *a, const wchar_t *b);

// Where path (root, a backslash and at least one name) must resolve: the wide path into wide and
// the root's resolved path followed by the names into expected (both WIN32_NODE_WIDE_CAPACITY).
// 1; 0 when the root is missing; -1 on another error (error set; ERROR_INVALID_PARAMETER when
// path is not longer than root with a backslash there).
int win32_node_expected(const char *root, const char *path, wchar_t *wide, wchar_t *expected);

// Opens path below root with access and share (and FILE_FLAG_OPEN_REPARSE_POINT and
// FILE_FLAG_BACKUP_SEMANTICS, so that a folder opens too) and tells what it is: a
// platform_node_kind. *handle is the open handle for FILE, FOLDER and LINK (the caller closes
// it), else INVALID_HANDLE_VALUE.
int win32_node_find(const char *root, const char *path, DWORD access, DWORD share, HANDLE *handle);
