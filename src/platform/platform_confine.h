// Writing below a folder that someone else may have prepared, without following a link planted
// there. An elevated installer's destination can be made by any user beforehand (any user may
// create a folder on C:\), so a symbolic link or junction inside it could send a write anywhere.
// Here the root (the destination, a special folder, the folder /X unpacks into) is taken as the
// system resolves it; every folder from it down to the path's own folder must be a real folder,
// and the path itself a plain file or nothing. Paths are the root, a backslash and names, each
// name as Windows keeps it (no "." or "..", no trailing dot or blank): a name Windows would
// rewrite counts as a link, since what it names is not what was asked for.
#pragma once

#include "platform/platform.h"
#include "platform/platform_remove.h"

// The error of a refusal: Win32's code for a reparse point met where none may be.
enum : uint32_t { PLATFORM_ERROR_LINK_REFUSED = 4395 };

// How platform_confined_open opens its file.
enum platform_confined_mode : int {
    PLATFORM_CONFINED_NEW,      // a file that must not exist yet (error 80 when anything does)
    PLATFORM_CONFINED_TRUNCATE, // made, or an existing plain file emptied
    PLATFORM_CONFINED_APPEND,   // an existing plain file, positioned at its end
};

// What is at path below root (a platform_node_kind), looked at without opening it for any
// change: FILE, FOLDER or MISSING, a link kind, or FAILED (error set).
int platform_confined_kind(const char *root, const char *path);

// Opens path below root for writing as mode says, only when no link is on the way or at path:
// what is written lands at path itself. The file, or null with the error set
// (PLATFORM_ERROR_LINK_REFUSED for a link, else the code the plain open would give).
platform_file *platform_confined_open(const char *root, const char *path, int mode);

// Creates the one folder path below root, whose folder must be real. 1 made; 0 failed, error
// set: PLATFORM_ERROR_LINK_REFUSED for a link on the way or at path, PLATFORM_ERROR_ALREADY_EXISTS
// for a file or folder there.
int platform_confined_make_folder(const char *root, const char *path);

// Puts the file open as file, made by platform_confined_open (NEW) at source, in the place of
// target, two names in one folder below root: target must be a plain file or nothing. Target
// is looked at once, then the file moves (through its handle where the system can); it is
// closed either way. 1 replaced; 0 failed, error set (PLATFORM_ERROR_LINK_REFUSED for a link at
// target or on the way), the file still at source.
int platform_confined_commit(const char *root, platform_file *file, const char *source,
                             const char *target);
