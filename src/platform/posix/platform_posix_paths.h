// How the POSIX backend names the Windows paths the core builds: backslashes become slashes,
// and with a root folder set, drive letters and network names are mapped into it, so that a
// simulated install of "C:\Prog\a.txt" lands in ROOT/c/Prog/a.txt while its logs still read C:\.
#pragma once

#include <cstddef>

enum : size_t { PLATFORM_NATIVE_PATH_CAPACITY = 4096 };

// Sets (or with null or "" clears) the folder that drive letters map into. 1 when set or
// cleared, 0 when dir is too long.
int platform_posix_set_root(const char *dir);
// The native path for path into out (capacity cap): "X:rest" gives ROOT/x/rest and
// "\\server\share" gives ROOT/unc/server/share when a root is set; every backslash becomes a
// slash. 1, or 0 when it does not fit (out then holds "").
int platform_posix_native_path(const char *path, char *out, size_t cap);
