// What the POSIX backend's removals (platform_remove_posix.cpp) and confined writes
// (platform_confine_posix.cpp) share: the walk from a root folder down a Windows path one folder
// at a time without following a link, and the backend's own error mapping, files and faults.
#pragma once

#include "platform/platform.h"
#include "platform/posix/platform_faults.h"

#include <cstdint>

// Where a walk below a root ended: the open folder that holds the last name, and that name.
struct platform_posix_below {
    int folder;       // descriptor; the caller closes it
    const char *name; // the last name, pointing into the path walked
};

// Walks path (root, a backslash and at least one name): the root as the resolver maps it (a
// link there is followed while it stays inside the simulated drives), every folder below it
// entered with O_NOFOLLOW. A name Windows would rewrite ("." or "..", a slash, a trailing dot or
// blank) names something other than asked for, as a link does. 1 with at filled; else 0 with
// *kind PLATFORM_NODE_MISSING (a folder on the way is missing), PLATFORM_NODE_BEHIND_LINK, or
// PLATFORM_NODE_FAILED (error set).
int platform_posix_walk_below(const char *root, const char *path, platform_posix_below *at,
                              int *kind);

// The Win32 error code for errno value e.
uint32_t platform_posix_error(int e);

// A file of the backend for the open descriptor fd of path (which the fault plan's byte budgets
// may name).
platform_file *platform_posix_file(int fd, const char *path);

// 1 (error set) when the fault plan fails opening path (or making a folder there), or this call
// of kind call.
int platform_posix_open_faulted(const char *path, platform_call call);
// 1 (error set) when the fault plan fails this call of kind call.
int platform_posix_faulted(platform_call call);
