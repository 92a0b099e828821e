// POSIX backend of platform_remove.h: unlink, rmdir and a directory walk on the mapped paths,
// answering with Win32's error codes.
#include "platform/platform.h"
#include "platform/platform_remove.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_remove_posix.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

platform_remove_fault_plan platform_remove_faults;

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

// The native path of path into out; 0 (error set) when it cannot be mapped or is in use.
int prepare(const char *path, char *out, size_t cap) {
    const char *busy = platform_remove_faults.busy;
    if (path && busy && busy[0] && strstr(path, busy)) {
        platform_set_last_error(PLATFORM_ERROR_SHARING_VIOLATION);
        return 0;
    }
    if (!platform_posix_native_path(path, out, cap)) {
        platform_set_last_error(PLATFORM_ERROR_INVALID_NAME);
        return 0;
    }
    return 1;
}

} // namespace

int platform_remove_file(const char *path) {
    char native[PLATFORM_NATIVE_PATH_CAPACITY];
    if (!prepare(path, native, sizeof native)) return 0;
    struct stat st;
    if (lstat(native, &st) == 0 && S_ISDIR(st.st_mode)) { // DeleteFileA refuses a folder
        platform_set_last_error(PLATFORM_ERROR_ACCESS_DENIED);
        return 0;
    }
    if (unlink(native) == 0) return 1;
    platform_set_last_error(removal_error(errno));
    return 0;
}

int platform_remove_folder(const char *path) {
    char native[PLATFORM_NATIVE_PATH_CAPACITY];
    if (!prepare(path, native, sizeof native)) return 0;
    if (rmdir(native) == 0) return 1;
    platform_set_last_error(removal_error(errno));
    return 0;
}

long platform_folder_entry_count(const char *path) {
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
