// POSIX backend of platform_confine.h, and the walk below a root that the removals share. Inside
// the simulated drives the resolver already refuses a link that leads out of them; here, below
// an installer's root, a link is refused wherever it leads, as the Win32 backend refuses it, so
// that a simulation predicts what the installer does. Every call acts relative to the descriptor
// of the folder the walk checked, so what was checked is where the write lands.
#include "platform/platform_confine.h"
#include "platform/posix/platform_posix_below.h"
#include "platform/posix/platform_posix_paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 1 when Windows keeps the n characters of part as they stand: not "." or "..", no slash (a
// separator to Windows), no trailing dot or blank (which Windows drops).
int kept_name(const char *part, size_t n) {
    if (n == 0 || memchr(part, '/', n)) return 0;
    if (part[n - 1] == '.' || part[n - 1] == ' ') return 0;
    return 1;
}

// The kind of name in folder, looked at without following: a platform_node_kind.
int kind_at(int folder, const char *name) {
    struct stat st;
    if (fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return PLATFORM_NODE_MISSING;
        platform_set_last_error(platform_posix_error(errno));
        return PLATFORM_NODE_FAILED;
    }
    return S_ISLNK(st.st_mode)   ? PLATFORM_NODE_LINK
           : S_ISDIR(st.st_mode) ? PLATFORM_NODE_FOLDER
                                 : PLATFORM_NODE_FILE;
}

// Walks path below root as a write needs it: 1 with at filled; else 0 with the error a write
// reports (a link refused, a missing folder on the way "path not found").
int walk_for_write(const char *root, const char *path, platform_posix_below *at) {
    int kind;
    if (platform_posix_walk_below(root, path, at, &kind)) return 1;
    if (kind == PLATFORM_NODE_MISSING) platform_set_last_error(PLATFORM_ERROR_PATH_NOT_FOUND);
    if (kind == PLATFORM_NODE_BEHIND_LINK) platform_set_last_error(PLATFORM_ERROR_LINK_REFUSED);
    return 0;
}

// 0 with the error of finding kind where a plain file or nothing was wanted.
int refuse(int kind) {
    if (kind == PLATFORM_NODE_LINK) platform_set_last_error(PLATFORM_ERROR_LINK_REFUSED);
    if (kind == PLATFORM_NODE_FOLDER) platform_set_last_error(PLATFORM_ERROR_ACCESS_DENIED);
    return 0;
}

// 1 when a file may be opened as mode says where kind stands; else 0 with the error Windows
// gives (CREATE_NEW fails on any name that exists, links included).
int openable(int kind, int mode) {
    if (kind == PLATFORM_NODE_FAILED) return 0;
    if (mode == PLATFORM_CONFINED_NEW && kind != PLATFORM_NODE_MISSING) {
        platform_set_last_error(PLATFORM_ERROR_FILE_EXISTS);
        return 0;
    }
    if (mode == PLATFORM_CONFINED_APPEND && kind == PLATFORM_NODE_MISSING) {
        platform_set_last_error(PLATFORM_ERROR_FILE_NOT_FOUND);
        return 0;
    }
    return kind == PLATFORM_NODE_FILE || kind == PLATFORM_NODE_MISSING ? 1 : refuse(kind);
}

} // namespace

int platform_posix_walk_below(const char *root, const char *path, platform_posix_below *at,
                              int *kind) {
    at->folder = -1;
    at->name = nullptr;
    *kind = PLATFORM_NODE_FAILED;
    size_t n = strlen(root);
    while (n > 0 && root[n - 1] == '\\') n--;
    char windows[PLATFORM_NATIVE_PATH_CAPACITY];
    if (n == 0 || strlen(path) <= n + 1 || path[n] != '\\' || n + 2 > sizeof windows) {
        platform_set_last_error(PLATFORM_ERROR_INVALID_PARAMETER);
        return 0;
    }
    memcpy(windows, root, n);
    memcpy(windows + n, "\\", 2); // "C:" alone would be drive C's current folder
    platform_posix_place place;
    if (!platform_posix_place_open(windows, PLATFORM_POSIX_FOLLOW_LAST, &place)) return 0;
    int folder =
        place.dir == -1
            ? -1
            : openat(place.dir, place.name,
                     O_RDONLY | O_DIRECTORY | O_CLOEXEC | (place.nofollow ? O_NOFOLLOW : 0));
    int e = errno;
    platform_posix_place_close(&place);
    if (folder < 0) { // the root itself, as the system resolves it
        if (place.missing || e == ENOENT || e == ENOTDIR) {
            *kind = PLATFORM_NODE_MISSING;
            return 0;
        }
        platform_set_last_error(platform_posix_error(e));
        return 0;
    }

    // Every name but the last is a folder entered without following it.
    const char *name = path + n + 1;
    for (const char *end;; name = end + 1) {
        end = strchr(name, '\\');
        size_t length = end ? (size_t)(end - name) : strlen(name);
        if (end && length == 0) continue; // a doubled backslash, as Windows reads it
        if (length > NAME_MAX) {
            close(folder);
            platform_set_last_error(PLATFORM_ERROR_INVALID_NAME);
            return 0;
        }
        if (!kept_name(name, length)) {
            close(folder);
            *kind = PLATFORM_NODE_BEHIND_LINK;
            return 0;
        }
        if (!end) break;
        char level[NAME_MAX + 1];
        memcpy(level, name, length);
        level[length] = 0;
        int next = openat(folder, level, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            e = errno;
            int found = kind_at(folder, level);
            close(folder);
            if (e == ELOOP || found == PLATFORM_NODE_LINK) {
                *kind = PLATFORM_NODE_BEHIND_LINK;
            } else if (e == ENOENT || e == ENOTDIR) {
                *kind = PLATFORM_NODE_MISSING;
            } else {
                platform_set_last_error(platform_posix_error(e));
            }
            return 0;
        }
        close(folder);
        folder = next;
    }
    at->folder = folder;
    at->name = name;
    return 1;
}

int platform_confined_kind(const char *root, const char *path) {
    if (platform_posix_faulted(PLATFORM_CALL_ATTRIBUTES)) return PLATFORM_NODE_FAILED;
    platform_posix_below at;
    int kind;
    if (!platform_posix_walk_below(root, path, &at, &kind)) return kind;
    kind = kind_at(at.folder, at.name);
    close(at.folder);
    return kind;
}

platform_file *platform_confined_open(const char *root, const char *path, int mode) {
    int append = mode == PLATFORM_CONFINED_APPEND;
    if (platform_posix_open_faulted(path, append ? PLATFORM_CALL_OPEN_APPEND
                                                 : PLATFORM_CALL_CREATE_WRITE))
        return nullptr;
    platform_posix_below at;
    if (!walk_for_write(root, path, &at)) return nullptr;
    int kind = kind_at(at.folder, at.name);
    int flags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    if (mode == PLATFORM_CONFINED_NEW) flags |= O_CREAT | O_EXCL;
    if (mode == PLATFORM_CONFINED_TRUNCATE) flags |= O_CREAT;
    int fd = -1;
    if (openable(kind, mode) && (fd = openat(at.folder, at.name, flags, 0644)) < 0)
        platform_set_last_error(errno == ELOOP    ? PLATFORM_ERROR_LINK_REFUSED
                                : errno == EEXIST ? PLATFORM_ERROR_FILE_EXISTS
                                                  : platform_posix_error(errno));
    close(at.folder);
    if (fd < 0) return nullptr;
    // Only a plain file is written (a pipe or device must not hang or swallow the run), emptied
    // once it is known to be one.
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        (mode == PLATFORM_CONFINED_TRUNCATE && ftruncate(fd, 0) != 0) ||
        (append && lseek(fd, 0, SEEK_END) < 0)) {
        close(fd);
        platform_set_last_error(PLATFORM_ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return platform_posix_file(fd, path);
}

int platform_confined_make_folder(const char *root, const char *path) {
    if (platform_posix_open_faulted(path, PLATFORM_CALL_MAKE_FOLDER)) return 0;
    platform_posix_below at;
    if (!walk_for_write(root, path, &at)) return 0;
    int made = mkdirat(at.folder, at.name, 0755) == 0;
    if (!made) {
        int e = errno;
        int kind = kind_at(at.folder, at.name);
        platform_set_last_error(kind == PLATFORM_NODE_LINK ? PLATFORM_ERROR_LINK_REFUSED
                                                           : platform_posix_error(e));
    }
    close(at.folder);
    return made;
}

int platform_confined_commit(const char *root, platform_file *file, const char *source,
                             const char *target) {
    platform_close(file); // a POSIX rename needs no handle: the move is by the checked names
    if (platform_posix_faulted(PLATFORM_CALL_MOVE)) return 0;
    platform_posix_below from, to;
    if (!walk_for_write(root, source, &from)) return 0;
    // A part lies beside its target: one walk found the folder of both (a name Windows would
    // rewrite takes the whole walk, which refuses it).
    const char *source_name = strrchr(source, '\\'), *target_name = strrchr(target, '\\');
    const size_t folder = (size_t)(source_name - source);
    if (target_name && folder == (size_t)(target_name - target) &&
        !memcmp(source, target, folder) && kept_name(target_name + 1, strlen(target_name + 1))) {
        to.folder = dup(from.folder);
        to.name = target_name + 1;
        if (to.folder < 0) {
            platform_set_last_error(platform_posix_error(errno));
            close(from.folder);
            return 0;
        }
    } else if (!walk_for_write(root, target, &to)) {
        close(from.folder);
        return 0;
    }
    int kind = kind_at(from.folder, from.name), replaced = 0;
    if (kind == PLATFORM_NODE_MISSING) platform_set_last_error(PLATFORM_ERROR_FILE_NOT_FOUND);
    if (kind == PLATFORM_NODE_FILE) {
        kind = kind_at(to.folder, to.name);
        if (kind == PLATFORM_NODE_LINK)
            refuse(kind);
        else if (kind != PLATFORM_NODE_FAILED &&
                 !(replaced = renameat(from.folder, from.name, to.folder, to.name) == 0))
            platform_set_last_error(platform_posix_error(errno));
    } else {
        refuse(kind);
    }
    close(from.folder);
    close(to.folder);
    return replaced;
}
