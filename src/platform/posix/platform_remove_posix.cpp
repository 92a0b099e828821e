// POSIX backend of platform_remove.h: the mapped Windows path is walked from the root's folder
// one name at a time with openat(O_NOFOLLOW) (platform_posix_walk_below), so no symbolic link
// below the root is entered, and the last name is looked at, read and removed relative to its
// folder's descriptor, so what was looked at is what goes. Answers with Win32's error codes;
// every operation is a counted fault point.
#include "platform/platform.h"
#include "platform/platform_remove.h"
#include "platform/posix/platform_posix_below.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_remove_posix.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

platform_remove_fault_plan platform_remove_faults;

enum : size_t { NODE_PATH_CAPACITY = 1024 }; // the Windows path, for the in-use fault

struct platform_node {
    int folder;                    // descriptor of the folder that holds the name
    int file;                      // descriptor of the file once read; -1 before
    int kind;                      // platform_node_kind
    char name[NAME_MAX + 1];       // the last name of the path
    char path[NODE_PATH_CAPACITY]; // the Windows path as asked for (cut)
};

namespace {

// The Win32 code of a failed removal.
uint32_t removal_error(int e) {
    switch (e) {
    case ENOENT:
        return PLATFORM_ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return PLATFORM_ERROR_DIRECTORY;
    case ENOTEMPTY:
    case EEXIST:
        return PLATFORM_ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
        return PLATFORM_ERROR_SHARING_VIOLATION;
    case ENAMETOOLONG:
        return PLATFORM_ERROR_INVALID_NAME;
    default:
        return PLATFORM_ERROR_ACCESS_DENIED;
    }
}

} // namespace

int platform_node_open(const char *root, const char *path, platform_node **node) {
    *node = nullptr;
    if (platform_posix_faulted(PLATFORM_CALL_NODE_OPEN)) return PLATFORM_NODE_FAILED;
    platform_posix_below at;
    int kind;
    if (!platform_posix_walk_below(root, path, &at, &kind)) return kind;
    // The last name itself is looked at, never followed.
    struct stat st;
    if (fstatat(at.folder, at.name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        int e = errno;
        close(at.folder);
        if (e == ENOENT || e == ENOTDIR) return PLATFORM_NODE_MISSING;
        platform_set_last_error(removal_error(e));
        return PLATFORM_NODE_FAILED;
    }
    platform_node *made = static_cast<platform_node *>(platform_alloc(1, sizeof *made));
    if (!made) {
        close(at.folder);
        return PLATFORM_NODE_FAILED;
    }
    made->folder = at.folder;
    made->file = -1;
    made->kind = S_ISLNK(st.st_mode)   ? PLATFORM_NODE_LINK
                 : S_ISDIR(st.st_mode) ? PLATFORM_NODE_FOLDER
                                       : PLATFORM_NODE_FILE;
    memcpy(made->name, at.name, strlen(at.name) + 1);
    size_t kept = strlen(path) < sizeof made->path ? strlen(path) : sizeof made->path - 1;
    memcpy(made->path, path, kept); // zeroed by the allocation: ends in a NUL
    *node = made;
    return made->kind;
}

long platform_node_read(platform_node *node, void *buffer, size_t size) {
    if (platform_posix_faulted(PLATFORM_CALL_NODE_READ)) return -1;
    if (node->file < 0 && node->kind == PLATFORM_NODE_FILE)
        node->file = openat(node->folder, node->name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    ssize_t got = node->file < 0 ? -1 : read(node->file, buffer, size);
    if (got < 0) platform_set_last_error(removal_error(node->file < 0 ? EACCES : errno));
    return (long)got;
}

int platform_node_remove(platform_node *node) {
    if (platform_posix_faulted(PLATFORM_CALL_NODE_REMOVE)) return 0;
    const char *busy = platform_remove_faults.busy;
    if (busy && busy[0] && strstr(node->path, busy)) {
        platform_set_last_error(PLATFORM_ERROR_SHARING_VIOLATION);
        return 0;
    }
    int flags = node->kind == PLATFORM_NODE_FOLDER ? AT_REMOVEDIR : 0;
    if (unlinkat(node->folder, node->name, flags) == 0) return 1;
    platform_set_last_error(removal_error(errno));
    return 0;
}

void platform_node_close(platform_node *node) {
    if (!node) return;
    if (node->file >= 0) close(node->file);
    close(node->folder);
    platform_free(node);
}

long platform_folder_entry_count(const char *path) {
    if (platform_posix_faulted(PLATFORM_CALL_FOLDER_ENTRIES)) return -1;
    char native[PLATFORM_NATIVE_PATH_CAPACITY];
    if (!platform_posix_native_path(path, native, sizeof native)) {
        platform_set_last_error(PLATFORM_ERROR_INVALID_NAME);
        return -1;
    }
    DIR *dir = opendir(native);
    if (!dir) {
        platform_set_last_error(removal_error(errno));
        return -1;
    }
    long count = 0;
    while (const dirent *entry = readdir(dir))
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0) count++;
    closedir(dir);
    return count;
}
