// POSIX backend of the platform seam: native tests and the packer's simulation run the core
// through it. It answers with the Win32 error codes the core logs and tests, and consults
// platform_faults so tests can make a chosen operation fail.
#include "platform/platform.h"
#include "platform/posix/platform_faults.h"
#include "platform/posix/platform_posix_paths.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <ctime>
#include <unistd.h>

platform_fault_plan platform_faults;

namespace {

thread_local uint32_t last_error;

uint32_t from_errno(int e) {
    switch (e) {
    case 0:
        return PLATFORM_OK;
    case ENOENT:
        return PLATFORM_ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return PLATFORM_ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return PLATFORM_ERROR_ACCESS_DENIED;
    case EEXIST:
        return PLATFORM_ERROR_ALREADY_EXISTS;
    case ENOSPC:
        return PLATFORM_ERROR_DISK_FULL;
    case ENOMEM:
        return PLATFORM_ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
        return PLATFORM_ERROR_INVALID_NAME;
    case ENOTEMPTY:
        return PLATFORM_ERROR_DIR_NOT_EMPTY;
    case EBADF:
        return PLATFORM_ERROR_INVALID_HANDLE;
    default:
        return PLATFORM_ERROR_INVALID_PARAMETER;
    }
}

// 1 when the fault plan says path must fail to open.
int fault_on_open(const char *path) {
    const char *f = platform_faults.fail_open_path;
    if (f && f[0] && strstr(path, f)) {
        last_error = platform_faults.fail_open_error ? platform_faults.fail_open_error
                                                     : PLATFORM_ERROR_ACCESS_DENIED;
        return 1;
    }
    return 0;
}

// Counts one call of the kinds a sweep fails in turn; 1 (error set to code) when the plan says
// this one fails.
int fault_by_count(uint32_t code) {
    if (++platform_faults.calls != platform_faults.fail_call) return 0;
    last_error = code;
    return 1;
}

char posix_root[PLATFORM_NATIVE_PATH_CAPACITY]; // "" when drive letters are not mapped

// A Windows path turned native for one call; an empty text when it does not fit, which the
// calls then report as an invalid name.
struct native_path {
    char text[PLATFORM_NATIVE_PATH_CAPACITY];
    explicit native_path(const char *path) {
        if (!platform_posix_native_path(path, text, sizeof text))
            last_error = PLATFORM_ERROR_INVALID_NAME;
    }
    int ok() const { return text[0] != 0; }
};

} // namespace

int platform_posix_set_root(const char *dir) {
    size_t n = dir ? strlen(dir) : 0;
    if (n >= sizeof posix_root) return 0;
    while (n > 1 && dir[n - 1] == '/') n--; // "ROOT/" and "ROOT" map alike
    memcpy(posix_root, dir ? dir : "", n);
    posix_root[n] = 0;
    return 1;
}

int platform_posix_native_path(const char *path, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    if (!path || !path[0]) return 0;
    size_t used = 0;
    const char *rest = path;
    auto put = [&](const char *text, size_t n) {
        if (used + n >= cap) return 0;
        memcpy(out + used, text, n);
        used += n;
        return 1;
    };
    if (posix_root[0]) {
        char drive = path[0];
        if (((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) && path[1] == ':') {
            char lower[2] = {(char)(drive | 0x20), 0};
            if (!put(posix_root, strlen(posix_root)) || !put("/", 1) || !put(lower, 1))
                return out[0] = 0;
            rest = path + 2;
            if (rest[0] && rest[0] != '\\' && rest[0] != '/' && !put("/", 1)) return out[0] = 0;
        } else if (path[0] == '\\' && path[1] == '\\') {
            if (!put(posix_root, strlen(posix_root)) || !put("/unc/", 5)) return out[0] = 0;
            rest = path + 2;
        }
    }
    for (; *rest; rest++) {
        char c = *rest == '\\' ? '/' : *rest;
        if (!put(&c, 1)) return out[0] = 0;
    }
    out[used] = 0;
    return 1;
}

struct platform_file {
    int fd;
    int faulty; // reads and writes obey the fault plan's byte budgets
};

// The error of a failed open or folder creation at native path: Win32 tells a missing file
// (2) from a missing folder on the way to it (3), where POSIX says ENOENT for both.
static uint32_t error_at(const char *native, int e) {
    if (e != ENOENT) return from_errno(e);
    char parent[PLATFORM_NATIVE_PATH_CAPACITY];
    snprintf(parent, sizeof parent, "%s", native);
    char *slash = strrchr(parent, '/');
    if (!slash) return PLATFORM_ERROR_FILE_NOT_FOUND;
    if (slash == parent)
        slash[1] = 0; // the parent is the root itself
    else
        *slash = 0;
    struct stat st;
    return stat(parent, &st) == 0 && S_ISDIR(st.st_mode) ? PLATFORM_ERROR_FILE_NOT_FOUND
                                                         : PLATFORM_ERROR_PATH_NOT_FOUND;
}

static platform_file *wrap(int fd, const char *path, const char *native) {
    if (fd < 0) {
        last_error = error_at(native, errno);
        return nullptr;
    }
    platform_file *f = new platform_file{fd, 0};
    const char *target = platform_faults.limit_path;
    f->faulty = target && target[0] && strstr(path, target);
    return f;
}

uint32_t platform_last_error(void) {
    return last_error;
}
void platform_set_last_error(uint32_t code) {
    last_error = code;
}

void *platform_alloc(size_t count, size_t size) {
    if (++platform_faults.allocs == platform_faults.fail_alloc ||
        (size != 0 && count > SIZE_MAX / size)) {
        last_error = PLATFORM_ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    void *block = calloc(count ? count : 1, size ? size : 1);
    if (!block) last_error = PLATFORM_ERROR_NOT_ENOUGH_MEMORY;
    return block;
}

void platform_free(void *block) {
    free(block);
}

void platform_init(void *) {} // the simulation's program path is set by its driver

int platform_module_path(char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    ssize_t n = readlink("/proc/self/exe", out, cap - 1);
    if (n < 0) {
        out[0] = 0;
        last_error = from_errno(errno);
        return 0;
    }
    out[n] = 0;
    return 1;
}

// Opens path with flags, refusing folders as Win32 does. Null on failure, error set.
static platform_file *open_file(const char *path, int flags) {
    if (fault_on_open(path) || fault_by_count(PLATFORM_ERROR_ACCESS_DENIED)) return nullptr;
    native_path native(path);
    if (!native.ok()) return nullptr;
    struct stat st;
    if (stat(native.text, &st) == 0 && S_ISDIR(st.st_mode)) { // Win32 cannot open a folder
        last_error = PLATFORM_ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return wrap(open(native.text, flags | O_CLOEXEC, 0644), path, native.text);
}

platform_file *platform_open_read(const char *path) {
    return open_file(path, O_RDONLY);
}

platform_file *platform_create_write(const char *path) {
    return open_file(path, O_WRONLY | O_CREAT | O_TRUNC);
}

platform_file *platform_open_update(const char *path) {
    return open_file(path, O_RDWR | O_CREAT);
}

platform_file *platform_open_append(const char *path) {
    platform_file *f = open_file(path, O_WRONLY);
    if (f && lseek(f->fd, 0, SEEK_END) < 0) {
        last_error = from_errno(errno);
        platform_close(f);
        return nullptr;
    }
    return f;
}

long platform_read(platform_file *f, void *buffer, size_t size) {
    if (!f) {
        last_error = PLATFORM_ERROR_INVALID_HANDLE;
        return -1;
    }
    if (fault_by_count(PLATFORM_ERROR_READ_FAULT)) return -1;
    if (f->faulty && platform_faults.read_budget >= 0) {
        if ((int64_t)size > platform_faults.read_budget) size = (size_t)platform_faults.read_budget;
        if (size == 0) return 0; // the file seems to end here: a short read
    }
    ssize_t n = read(f->fd, buffer, size);
    if (n < 0) {
        last_error = from_errno(errno);
        return -1;
    }
    if (f->faulty && platform_faults.read_budget >= 0) platform_faults.read_budget -= n;
    return (long)n;
}

long platform_write(platform_file *f, const void *buffer, size_t size) {
    if (!f) {
        last_error = PLATFORM_ERROR_INVALID_HANDLE;
        return -1;
    }
    if (fault_by_count(PLATFORM_ERROR_WRITE_FAULT)) return 0;
    size_t allowed = size;
    if (f->faulty && platform_faults.write_budget >= 0 &&
        (int64_t)allowed > platform_faults.write_budget)
        allowed = (size_t)platform_faults.write_budget;
    size_t done = 0;
    while (done < allowed) {
        ssize_t n = write(f->fd, static_cast<const char *>(buffer) + done, allowed - done);
        if (n < 0) {
            last_error = from_errno(errno);
            return (long)done;
        }
        done += (size_t)n;
    }
    if (f->faulty && platform_faults.write_budget >= 0) platform_faults.write_budget -= done;
    if (done < size) last_error = PLATFORM_ERROR_DISK_FULL;
    return (long)done;
}

int platform_seek(platform_file *f, int64_t offset) {
    if (!f || offset < 0 || lseek(f->fd, (off_t)offset, SEEK_SET) < 0) {
        last_error = PLATFORM_ERROR_INVALID_PARAMETER;
        return 0;
    }
    return 1;
}

int64_t platform_file_size(platform_file *f) {
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0) return -1;
    return (int64_t)st.st_size;
}

void platform_close(platform_file *f) {
    if (!f) return;
    close(f->fd);
    delete f;
}

int platform_path_exists(const char *path) {
    native_path native(path);
    struct stat st;
    return native.ok() && stat(native.text, &st) == 0;
}

int platform_is_folder(const char *path) {
    native_path native(path);
    struct stat st;
    return native.ok() && stat(native.text, &st) == 0 && S_ISDIR(st.st_mode);
}

int platform_make_folder(const char *path) {
    if (fault_on_open(path) || fault_by_count(PLATFORM_ERROR_ACCESS_DENIED)) return 0;
    native_path native(path);
    if (!native.ok()) return 0;
    if (mkdir(native.text, 0755) == 0) return 1;
    last_error = error_at(native.text, errno);
    return 0;
}

int platform_delete_file(const char *path) {
    native_path native(path);
    if (!native.ok()) return 0;
    if (unlink(native.text) == 0) return 1;
    last_error = from_errno(errno);
    return 0;
}

int platform_move_replace(const char *source, const char *target) {
    if (fault_by_count(PLATFORM_ERROR_ACCESS_DENIED)) return 0;
    native_path from(source), to(target);
    if (!from.ok() || !to.ok()) return 0;
    if (rename(from.text, to.text) == 0) return 1;
    last_error = from_errno(errno);
    return 0;
}

void platform_local_time(platform_time *out) {
    if (!out) return;
    if (platform_faults.fixed_time) {
        *out = *platform_faults.fixed_time;
        return;
    }
    struct timeval now;
    gettimeofday(&now, nullptr);
    time_t seconds = now.tv_sec;
    struct tm local;
    localtime_r(&seconds, &local);
    *out = {
        local.tm_year + 1900, local.tm_mon + 1,         local.tm_mday, local.tm_hour, local.tm_min,
        local.tm_sec,         (int)(now.tv_usec / 1000)};
}

int platform_free_space(const char *root, uint64_t *free_bytes) {
    if (platform_faults.free_space == -2) return 0;
    if (platform_faults.free_space >= 0) {
        *free_bytes = (uint64_t)platform_faults.free_space;
        return 1;
    }
    native_path native(root);
    struct statvfs vs;
    if (!native.ok() || statvfs(native.text, &vs) != 0) {
        last_error = from_errno(errno);
        return 0;
    }
    *free_bytes = (uint64_t)vs.f_bavail * (uint64_t)vs.f_frsize;
    return 1;
}
