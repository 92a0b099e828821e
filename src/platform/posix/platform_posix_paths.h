// How the POSIX backend names the Windows paths the core builds, and how it keeps a simulation
// inside its root. With a root folder set, a path is first made full as Windows makes it (the
// simulated current folder, "." and ".." parts, repeated separators, forward slashes, trailing
// dots and blanks) and then mapped into the root: "C:\Prog\a.txt" lands in ROOT/c/Prog/a.txt
// and "\\server\share\x" in ROOT/unc/server/share/x, while the logs still read C:\. Every folder
// on the way is checked without following links; a link whose target lies outside the root is
// refused (access denied), whatever the operation. Without a root, paths are the host's own.
#pragma once

#include <cstddef>

enum : size_t { PLATFORM_NATIVE_PATH_CAPACITY = 4096 };

// Sets (or with null or "" clears) the folder that drive letters map into, and resets the
// simulated current folder to C:\ and the readable host file. 1 when set or cleared, 0 when
// dir is too long.
int platform_posix_set_root(const char *dir);
// Sets the simulated current folder that relative and drive-relative paths start from (a full
// Windows path; null or "" gives C:\). 1 when set, 0 when path is not a full path.
int platform_posix_set_current_folder(const char *path);
// Names the one host file outside the root that may be opened for reading while a root is set
// (the archive a simulation runs); null or "" names none. 1, or 0 when it is too long.
int platform_posix_allow_host_file(const char *native);

// The full Windows path of path as Windows resolves it against the simulated current folder,
// into out (capacity cap): "C:\..\x" gives "C:\x", "\Temp\x" the current drive's "\Temp\x". A
// drive's root keeps its backslash, any other path ends without one. 1, or 0 (out "", error
// PLATFORM_ERROR_INVALID_NAME) when it names no file: empty, a device path (\\?\, \\.\), a
// share without its name, a part with a character Windows refuses, or too long.
int platform_posix_full_path(const char *path, char *out, size_t cap);

// The native path of path into out (capacity cap). With a root set, the full path mapped into
// the root, with every link on the way resolved; the last part is not followed (the caller acts
// on that name or opens it without following). A host path below the root is taken as it
// stands. Without a root, every backslash becomes a slash. 1, or 0 with out "" and the error
// set: PLATFORM_ERROR_ACCESS_DENIED when a link on the way leads out of the root,
// PLATFORM_ERROR_INVALID_NAME when the path names no file or does not fit.
int platform_posix_native_path(const char *path, char *out, size_t cap);

// Creates the Windows folder path and every missing level above it, inside the root (the
// simulated machine's own folders, such as a user profile; no fault point). 1 when it is a
// folder afterwards, 0 when not or when no root is set.
int platform_posix_make_folders(const char *path);

// ---- For the backend's own calls ----------------------------------------------------------

enum platform_posix_resolve_flags : int {
    PLATFORM_POSIX_FOLLOW_LAST = 1, // a link as the last part is followed (and checked)
    PLATFORM_POSIX_HOST_READ = 2,   // the allowed host file may be named (opened for reading)
    PLATFORM_POSIX_HOST_PATH = 4,   // path is the host's own (relative to the process's folder);
                                    // with a root set it must lie below the root
};

// Where one call acts: the open folder that holds the last part, and that part's name.
struct platform_posix_place {
    int dir;          // the folder holding name; AT_FDCWD without a root; -1 when missing
    int missing;      // 1 when a folder on the way is missing or is a file
    int nofollow;     // 1 inside the root: open and query name without following a link
    const char *name; // the last part (points into native), or the whole native path
    char native[PLATFORM_NATIVE_PATH_CAPACITY]; // the native path, for messages and old calls
};
// Resolves path for one call (flags of platform_posix_resolve_flags). 1 with place filled (the
// caller releases it), or 0 with the error set as for platform_posix_native_path.
int platform_posix_place_open(const char *path, int flags, platform_posix_place *place);
// Releases what platform_posix_place_open holds.
void platform_posix_place_close(platform_posix_place *place);
