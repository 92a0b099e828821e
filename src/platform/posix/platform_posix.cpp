// POSIX backend of the platform seam: native tests and the packer's simulation run the core
// through it. It answers with the Win32 error codes the core logs and tests, and consults
// platform_faults so tests can make a chosen operation fail.
#include "platform/platform.h"
#include "platform/posix/platform_faults.h"
#include "platform/posix/platform_posix_below.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/posix_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <ctime>
#include <unistd.h>

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
    case ELOOP: // a link put in the way after the path was checked
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

// 1 (the last error set) when the fault plan fails this call of kind call.
int faulted(platform_call call) {
    uint32_t error = platform_fault_point(call);
    if (error) last_error = error;
    return error != 0;
}

// The place of path for one call, released when it goes out of scope. ok() is 0 (error set)
// when the path cannot be used; a missing folder on the way is left to the call to report.
struct resolved {
    platform_posix_place place;
    int usable;
    resolved(const char *path, int flags)
        : usable(platform_posix_place_open(path, flags, &place)) {}
    ~resolved() { platform_posix_place_close(&place); }
    int ok() const { return usable; }
    // 1 when the folder holding the last part is there; else 0 with "path not found" set.
    int folder_there() const {
        if (place.dir >= 0 || place.dir == AT_FDCWD) return 1;
        last_error = PLATFORM_ERROR_PATH_NOT_FOUND;
        return 0;
    }
    int no_follow() const { return place.nofollow ? AT_SYMLINK_NOFOLLOW : 0; }
    int query(struct stat *st) const {
        return folder_there() && fstatat(place.dir, place.name, st, no_follow()) == 0;
    }
};

// The error of a failed open or folder creation at a host path (no root): Win32 tells a missing
// file (2) from a missing folder on the way to it (3), where POSIX says ENOENT for both.
uint32_t error_at(const char *native, int e) {
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

// The Win32 error of a failed call on place: inside the root the walk has checked the folder,
// so a missing name is a missing file.
uint32_t error_of(const platform_posix_place &place, int e) {
    return place.dir == AT_FDCWD ? error_at(place.native, e) : from_errno(e);
}

} // namespace

struct platform_file {
    int fd;
    int faulty; // reads and writes obey the fault plan's byte budgets
};

uint32_t platform_posix_error(int e) {
    return from_errno(e);
}

platform_file *platform_posix_file(int fd, const char *path) {
    const char *target = platform_faults.limit_path;
    return new platform_file{fd, target && target[0] && strstr(path, target)};
}

int platform_posix_open_faulted(const char *path, platform_call call) {
    return fault_on_open(path) || faulted(call);
}

int platform_posix_faulted(platform_call call) {
    return faulted(call);
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
    out[0] = 0;
    if (faulted(PLATFORM_CALL_MODULE_PATH)) return 0;
    ssize_t n = readlink("/proc/self/exe", out, cap - 1);
    if (n < 0) {
        out[0] = 0;
        last_error = from_errno(errno);
        return 0;
    }
    out[n] = 0;
    return 1;
}

// Opens path with flags as call, refusing folders and anything but a plain file as Win32 does
// (a pipe or device in the simulated drives must not hang or feed the run). Null on failure,
// error set.
static platform_file *open_file(const char *path, int flags, platform_call call) {
    if (platform_posix_open_faulted(path, call)) return nullptr;
    resolved at(path, PLATFORM_POSIX_FOLLOW_LAST |
                          (flags == O_RDONLY ? (int)PLATFORM_POSIX_HOST_READ : 0));
    if (!at.ok() || !at.folder_there()) return nullptr;
    int extra = O_CLOEXEC | O_NONBLOCK | (at.place.nofollow ? O_NOFOLLOW : 0);
    int fd = openat(at.place.dir, at.place.name, flags | extra, 0644);
    if (fd < 0) {
        last_error = error_of(at.place, errno);
        return nullptr;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        last_error = PLATFORM_ERROR_ACCESS_DENIED; // Win32 cannot open a folder as a file
        return nullptr;
    }
    return platform_posix_file(fd, path);
}

platform_file *platform_open_read(const char *path) {
    return open_file(path, O_RDONLY, PLATFORM_CALL_OPEN_READ);
}

platform_file *platform_create_write(const char *path) {
    return open_file(path, O_WRONLY | O_CREAT | O_TRUNC, PLATFORM_CALL_CREATE_WRITE);
}

platform_file *platform_open_update(const char *path) {
    return open_file(path, O_RDWR | O_CREAT, PLATFORM_CALL_OPEN_UPDATE);
}

platform_file *platform_open_append(const char *path) {
    platform_file *f = open_file(path, O_WRONLY, PLATFORM_CALL_OPEN_APPEND);
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
    if (faulted(PLATFORM_CALL_READ)) return -1;
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
    if (faulted(PLATFORM_CALL_WRITE)) return 0;
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
    if (!f || offset < 0) {
        last_error = PLATFORM_ERROR_INVALID_PARAMETER;
        return 0;
    }
    if (faulted(PLATFORM_CALL_SEEK)) return 0;
    if (lseek(f->fd, (off_t)offset, SEEK_SET) < 0) {
        last_error = from_errno(errno);
        return 0;
    }
    return 1;
}

int64_t platform_file_size(platform_file *f) {
    if (!f) {
        last_error = PLATFORM_ERROR_INVALID_HANDLE;
        return -1;
    }
    if (faulted(PLATFORM_CALL_FILE_SIZE)) return -1;
    struct stat st;
    if (fstat(f->fd, &st) != 0) {
        last_error = from_errno(errno);
        return -1;
    }
    return (int64_t)st.st_size;
}

void platform_close(platform_file *f) {
    if (!f) return;
    close(f->fd);
    delete f;
}

// The attributes of path: 1 with *st filled when it exists, else 0 with the error set (a link
// out of the simulated drives is refused, never looked through).
static int attributes(const char *path, struct stat *st) {
    if (faulted(PLATFORM_CALL_ATTRIBUTES)) return 0;
    resolved at(path, PLATFORM_POSIX_FOLLOW_LAST);
    if (!at.ok()) return 0;
    if (at.query(st)) return 1;
    if (at.place.dir != -1) last_error = error_of(at.place, errno);
    return 0;
}

int platform_path_exists(const char *path) {
    struct stat st;
    return attributes(path, &st);
}

int platform_is_folder(const char *path) {
    struct stat st;
    return attributes(path, &st) && S_ISDIR(st.st_mode);
}

int platform_make_folder(const char *path) {
    if (fault_on_open(path) || faulted(PLATFORM_CALL_MAKE_FOLDER)) return 0;
    resolved at(path, 0);
    if (!at.ok() || !at.folder_there()) return 0;
    if (mkdirat(at.place.dir, at.place.name, 0755) == 0) return 1;
    last_error = error_of(at.place, errno);
    return 0;
}

int platform_delete_file(const char *path) {
    if (faulted(PLATFORM_CALL_DELETE_FILE)) return 0;
    resolved at(path, 0);
    if (!at.ok() || !at.folder_there()) return 0;
    if (unlinkat(at.place.dir, at.place.name, 0) == 0) return 1;
    last_error = from_errno(errno);
    return 0;
}

int platform_close_and_move(platform_file *file, const char *source, const char *target) {
    platform_close(file); // a POSIX rename needs no handle: the same move by name
    return platform_move_replace(source, target);
}

int platform_move_replace(const char *source, const char *target) {
    if (faulted(PLATFORM_CALL_MOVE)) return 0;
    resolved from(source, 0), to(target, 0);
    if (!from.ok() || !to.ok() || !from.folder_there() || !to.folder_there()) return 0;
    if (renameat(from.place.dir, from.place.name, to.place.dir, to.place.name) == 0) return 1;
    last_error = from_errno(errno);
    return 0;
}

uint32_t platform_tick_count(void) {
    // A native run has no message queue to keep alive and nobody acting between its units of
    // work: the clock moves on a second at every reading, so that a caller acting "at most
    // every so many milliseconds" acts at every call, alike on every machine and in every test.
    static uint32_t ticks;
    return ticks += 1000;
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
    if (faulted(PLATFORM_CALL_FREE_SPACE)) return 0;
    if (platform_faults.free_space == -2) return 0;
    if (platform_faults.free_space >= 0) {
        *free_bytes = (uint64_t)platform_faults.free_space;
        return 1;
    }
    resolved at(root, PLATFORM_POSIX_FOLLOW_LAST);
    if (!at.ok() || !at.folder_there()) return 0;
    int fd = openat(at.place.dir, at.place.name,
                    O_PATH | O_CLOEXEC | (at.place.nofollow ? O_NOFOLLOW : 0));
    struct statvfs vs;
    int known = fd >= 0 && fstatvfs(fd, &vs) == 0;
    if (!known) last_error = error_of(at.place, errno);
    if (fd >= 0) close(fd);
    if (!known) return 0;
    *free_bytes = (uint64_t)vs.f_bavail * (uint64_t)vs.f_frsize;
    return 1;
}

int platform_ansi_to_utf8(const char *text, char *out, size_t cap) {
    // The native stand-in for Windows speaks Windows-1252, as the ANSI code page of the
    // machines the installer is written for.
    if (!out || cap == 0) return 0;
    const std::string utf8 = posix_cp1252_to_utf8(text, strlen(text));
    const int fits = utf8.size() < cap;
    memcpy(out, utf8.c_str(), fits ? utf8.size() + 1 : 1);
    if (!fits) out[0] = 0;
    return fits;
}
