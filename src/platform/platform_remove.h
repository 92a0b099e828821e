// What the uninstaller asks of the OS beyond platform.h: removing files and empty folders, and
// telling whether a folder holds anything. The Win32 backend calls DeleteFileA,
// RemoveDirectoryA and FindFirstFileA; the POSIX backend maps the Windows paths as the rest of
// the seam does, answers with the same error codes, and lets a test mark paths as in use.
#pragma once

#include <cstdint>

// Error codes of removals beyond those of platform.h.
enum platform_remove_error : uint32_t {
    PLATFORM_ERROR_SHARING_VIOLATION = 32, // the file is open in another program
    PLATFORM_ERROR_DIRECTORY = 267,        // the name is not a folder
};

// Removes the file path. 1 removed, 0 failed (error set: 2 when it is not there, 32 when it is
// in use, 5 when it is read-only or a folder).
int platform_remove_file(const char *path);
// Removes the folder path, which must be empty. 1 removed, 0 failed (error set: 145 when it
// holds anything, 2 or 3 when it is not there, 267 when it is a file).
int platform_remove_folder(const char *path);
// The number of entries (files and folders, "." and ".." not counted) in the folder path, or
// -1 when it cannot be read (error set).
long platform_folder_entry_count(const char *path);
