// What the uninstaller asks of the OS beyond platform.h: opening a file, folder or link below a
// folder without ever passing through a link, reading it, removing exactly what was opened, and
// telling whether a folder holds anything. The Win32 backend opens by handle and compares the
// path the system resolved with the path asked for; the POSIX backend walks the mapped Windows
// path one folder at a time without following links, and lets a test mark paths as in use.
#pragma once

#include <cstddef>
#include <cstdint>

// Error codes of removals beyond those of platform.h.
enum platform_remove_error : uint32_t {
    PLATFORM_ERROR_SHARING_VIOLATION = 32, // the file is open in another program
    PLATFORM_ERROR_DIRECTORY = 267,        // the name is not a folder
};

// What platform_node_open found at a path.
enum platform_node_kind : int {
    PLATFORM_NODE_FAILED = -1,       // it could not be told (error set: 5 refused, 32 in use)
    PLATFORM_NODE_MISSING = 0,       // nothing of that name, or a folder on the way is missing
    PLATFORM_NODE_FILE = 1,          // a plain file
    PLATFORM_NODE_FOLDER = 2,        // a real folder
    PLATFORM_NODE_LINK = 3,          // a link (symbolic link, junction: a reparse point that
                                     // names another place) opened as itself: removing it
                                     // removes the link only
    PLATFORM_NODE_FOLLOWED_LINK = 4, // a link that this system resolves whatever it is asked
                                     // (Wine's Unix symlinks): nothing done to it can stop at the
                                     // link, so it is not opened
    PLATFORM_NODE_BEHIND_LINK = 5,   // a folder between the root and the path is a link: the
                                     // path names something elsewhere; not opened
};

struct platform_node; // an open file, folder or link; opaque

// Opens path, which is the folder root, a backslash and at least one name, without passing
// through a link: root is taken as the system resolves it (a special folder may be redirected),
// every folder below it down to path's own folder must be a real folder, and path itself is not
// followed. The kind found; *node is set (close it) for FILE, FOLDER and LINK, null otherwise.
int platform_node_open(const char *root, const char *path, platform_node **node);
// Reads the next bytes of a FILE node, from its start on. Bytes read, 0 at the end, or -1 (error
// set).
long platform_node_read(platform_node *node, void *buffer, size_t size);
// Removes exactly what node is: the file, the folder when it is empty, or the link itself, never
// what a link points at. 1 removed; 0 failed (error set: 145 the folder is not empty, 32 in use,
// 5 refused).
int platform_node_remove(platform_node *node);
// Closes node; null is ignored.
void platform_node_close(platform_node *node);
// The number of entries (files and folders, "." and ".." not counted) in the folder path, or
// -1 when it cannot be read (error set).
long platform_folder_entry_count(const char *path);
