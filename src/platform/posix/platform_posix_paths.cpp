// The POSIX backend's one path resolver: Windows path rules first, then the walk into the root.
// Invariants:
//   1. With a root set, no native path handed to a system call leaves the root: the Windows
//      path is made full before it is mapped (".." stops at a drive's or a share's root), no
//      part is "." or "..", and every existing part below the root is opened without
//      following links, a link being resolved and checked before the walk goes on.
//   2. The walk holds an open folder at every step, so the call acts (openat, mkdirat, ...)
//      in the folder that was checked, not in whatever the path names a moment later.
//   3. Errors are Win32's: a missing folder on the way is "path not found", a link that
//      leads out is "access denied", a path that names no file is "invalid name".
#include "platform/platform.h"
#include "platform/posix/platform_posix_paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum : int { LINK_HOPS = 40 }; // links resolved in one walk before it is taken as a loop

char root_text[PLATFORM_NATIVE_PATH_CAPACITY]; // "" when drive letters are not mapped
char real_root[PLATFORM_NATIVE_PATH_CAPACITY]; // the root with its own links resolved
char current_folder[PLATFORM_NATIVE_PATH_CAPACITY] = "C:\\";
char host_file[PLATFORM_NATIVE_PATH_CAPACITY]; // "" when none

int fail(uint32_t error) {
    platform_set_last_error(error);
    return 0;
}

int letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? (char)(c | 0x20) : c;
}

// 1 when the n characters of part are "." or "..".
int dot_name(const char *part, size_t n) {
    return (n == 1 && part[0] == '.') || (n == 2 && part[0] == '.' && part[1] == '.');
}

// 1 when Windows accepts part as a file name part (no reserved character, no control code).
int acceptable_part(const char *part, size_t n) {
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)part[i];
        if (c < 0x20 || strchr("<>:\"|?*", c)) return 0;
    }
    return 1;
}

// A Windows path being made full: a prefix ("C:" or "\\server\share") that ".." never climbs
// above, then parts, each behind a backslash.
struct full_path_text {
    char text[PLATFORM_NATIVE_PATH_CAPACITY];
    size_t length, prefix;
};

int append(full_path_text *p, const char *s, size_t n) {
    if (p->length + n >= sizeof p->text) return 0;
    memcpy(p->text + p->length, s, n);
    p->length += n;
    p->text[p->length] = 0;
    return 1;
}

// Adds the backslash-separated parts of rest to p as Windows does: empty and "." parts go, ".."
// drops the last part above the prefix, a part loses one trailing dot, and the last part (when
// rest does not end in a separator) every trailing dot and blank. 1, or 0 when the result
// cannot name a file.
int add_parts(full_path_text *p, const char *rest) {
    while (*rest) {
        const char *end = strchr(rest, '\\');
        size_t n = end ? (size_t)(end - rest) : strlen(rest);
        const char *part = rest;
        rest = end ? end + 1 : rest + n;
        if (n == 0 || (n == 1 && part[0] == '.')) continue;
        if (n == 2 && part[0] == '.' && part[1] == '.') {
            while (p->length > p->prefix && p->text[p->length - 1] != '\\') p->length--;
            if (p->length > p->prefix) p->length--; // the backslash before the dropped part
            p->text[p->length] = 0;
            continue;
        }
        if (end) {
            if (part[n - 1] == '.') n--;
        } else {
            while (n > 0 && (part[n - 1] == '.' || part[n - 1] == ' ')) n--;
            if (n == 0) continue;
        }
        // "..." loses one dot inside a path and would read as "..": no file has that name.
        if (dot_name(part, n)) return 0;
        if (!acceptable_part(part, n) || !append(p, "\\", 1) || !append(p, part, n)) return 0;
    }
    return 1;
}

// Makes path full against the folder cwd (a full path itself, or null for C:\). 1, or 0.
int make_full(const char *path, const char *cwd, full_path_text *p) {
    p->length = p->prefix = 0;
    p->text[0] = 0;
    if (!path || !path[0]) return 0;
    char work[PLATFORM_NATIVE_PATH_CAPACITY];
    size_t n = strlen(path);
    if (n >= sizeof work) return 0;
    for (size_t i = 0; i <= n; i++) work[i] = path[i] == '/' ? '\\' : path[i];
    const char *rest;
    if (work[0] == '\\' && work[1] == '\\') {
        if ((work[2] == '?' || work[2] == '.') && (work[3] == '\\' || !work[3])) return 0;
        const char *server = work + 2, *slash = strchr(server, '\\');
        if (!slash || slash == server) return 0;
        const char *share = slash + 1, *end = strchr(share, '\\');
        size_t share_n = end ? (size_t)(end - share) : strlen(share);
        size_t server_n = (size_t)(slash - server);
        if (share_n == 0 || !acceptable_part(server, server_n) ||
            !acceptable_part(share, share_n) || dot_name(server, server_n) ||
            dot_name(share, share_n))
            return 0;
        if (!append(p, work, (size_t)(share + share_n - work))) return 0;
        p->prefix = p->length;
        rest = share + share_n;
    } else if (letter(work[0]) && work[1] == ':') {
        full_path_text here;
        int same_drive = work[2] != '\\' && cwd && lower(cwd[0]) == lower(work[0]);
        if (same_drive && make_full(cwd, nullptr, &here)) {
            *p = here;
        } else {
            if (!append(p, work, 2)) return 0;
            p->prefix = p->length;
        }
        rest = work + 2;
    } else {
        full_path_text here;
        if (!make_full(cwd ? cwd : "C:\\", nullptr, &here)) return 0;
        if (work[0] == '\\') here.length = here.prefix; // rooted: the current drive or share
        here.text[here.length] = 0;
        *p = here;
        rest = work;
    }
    return add_parts(p, rest);
}

// The path below the root (parts joined by '/') of a full Windows path: its drive letter in
// lower case, or "unc" and the share. 1, or 0 when it does not fit.
int below_root(const full_path_text *p, char *out, size_t cap) {
    const char *t = p->text;
    char first[8] = "unc";
    if (t[0] != '\\') {
        first[0] = lower(t[0]);
        first[1] = 0;
        t += 2;
    } else {
        t += 1; // the second backslash of "\\server" becomes the separator after "unc"
    }
    int n = snprintf(out, cap, "%s%s", first, t);
    if (n < 0 || (size_t)n >= cap) return 0;
    for (char *c = out; *c; c++)
        if (*c == '\\') *c = '/';
    return 1;
}

// The path below the root of a host path that begins with the root (as given, or with its
// links resolved), or null.
const char *host_path_below_root(const char *native) {
    const char *roots[2] = {root_text, real_root};
    for (const char *r : roots) {
        size_t n = strlen(r);
        if (!n || strncmp(native, r, n) != 0 || (native[n] != '/' && n > 1)) continue;
        const char *rest = native + n;
        while (*rest == '/') rest++;
        return rest;
    }
    return nullptr;
}

// 1 when canonical (a path without links) is the root or lies below it.
int inside_root(const char *canonical) {
    size_t n = strlen(real_root);
    if (n == 1 && real_root[0] == '/') return 1;
    return strncmp(canonical, real_root, n) == 0 && (canonical[n] == '/' || !canonical[n]);
}

// Cleans rel in place: repeated slashes become one, none leads or trails. 1, or 0 when a part
// is "." or "..", which the walk never follows.
int tidy(char *rel) {
    size_t w = 0;
    for (size_t r = 0; rel[r]; r++)
        if (rel[r] != '/' || (w > 0 && rel[w - 1] != '/')) rel[w++] = rel[r];
    while (w > 0 && rel[w - 1] == '/') w--;
    rel[w] = 0;
    for (const char *q = rel; *q; q += *q == '/') {
        size_t part = strcspn(q, "/");
        if (dot_name(q, part)) return 0;
        q += part;
    }
    return 1;
}

// Walks rel (parts below the root) from the root, one open folder at a time, never following a
// link: a link met is resolved, checked to stay inside the root, and the walk starts over on
// the path it names. Fills place; 1, or 0 with the error set.
int walk(char *rel, int follow_last, platform_posix_place *place) {
    for (int hop = 0; hop <= LINK_HOPS; hop++) {
        if (!tidy(rel)) return fail(PLATFORM_ERROR_INVALID_NAME);
        int n = snprintf(place->native, sizeof place->native, "%s%s%s", root_text,
                         rel[0] ? "/" : "", rel);
        if (n < 0 || (size_t)n >= sizeof place->native) return fail(PLATFORM_ERROR_INVALID_NAME);
        char *name = place->native + (n - strlen(rel));
        place->nofollow = 1;
        place->missing = 0;
        int dir = open(real_root, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (!rel[0]) { // the root itself: named as "." inside it
            place->dir = dir;
            place->name = ".";
            place->missing = dir < 0;
            return 1;
        }
        int relinked = 0;
        place->name = name;
        for (char *part = rel; dir >= 0;) {
            char *slash = strchr(part, '/');
            if (slash) *slash = 0;
            place->name = name + (part - rel);
            if (!slash && !follow_last) break;
            int next = openat(dir, part, O_PATH | O_NOFOLLOW | O_CLOEXEC);
            struct stat st;
            if (next < 0 || fstat(next, &st) != 0) {
                int e = errno;
                if (next >= 0) close(next);
                if (slash) *slash = '/';
                if (!slash && (e == ENOENT || e == ENOTDIR)) break; // a new last part
                close(dir);
                dir = -1;
                place->missing = 1;
                if (e != ENOENT && e != ENOTDIR) return fail(PLATFORM_ERROR_ACCESS_DENIED);
                break;
            }
            if (S_ISLNK(st.st_mode)) {
                close(next);
                close(dir);
                dir = -1;
                char link[2 * PLATFORM_NATIVE_PATH_CAPACITY], canonical[PATH_MAX];
                snprintf(link, sizeof link, "%s/%s", real_root, rel); // rel ends with this part
                if (!realpath(link, canonical) || !inside_root(canonical))
                    return fail(PLATFORM_ERROR_ACCESS_DENIED);
                char rest[PLATFORM_NATIVE_PATH_CAPACITY];
                snprintf(rest, sizeof rest, "%s", slash ? slash + 1 : "");
                const char *target = canonical + strlen(real_root);
                if (snprintf(rel, PLATFORM_NATIVE_PATH_CAPACITY, "%s/%s", target, rest) >=
                    (int)PLATFORM_NATIVE_PATH_CAPACITY)
                    return fail(PLATFORM_ERROR_INVALID_NAME);
                relinked = 1;
                break;
            }
            if (!slash) {
                close(next);
                break;
            }
            *slash = '/';
            close(dir);
            dir = next;
            if (!S_ISDIR(st.st_mode)) { // a file where a folder should be
                close(dir);
                dir = -1;
                place->missing = 1;
                break;
            }
            part = slash + 1;
        }
        if (relinked) continue;
        if (dir < 0) place->missing = 1;
        place->dir = dir;
        return 1;
    }
    return fail(PLATFORM_ERROR_ACCESS_DENIED); // a loop of links
}

} // namespace

int platform_posix_set_root(const char *dir) {
    size_t n = dir ? strlen(dir) : 0;
    if (n >= sizeof root_text) return 0;
    while (n > 1 && dir[n - 1] == '/') n--; // "ROOT/" and "ROOT" map alike
    memcpy(root_text, dir ? dir : "", n);
    root_text[n] = 0;
    char canonical[PATH_MAX];
    if (n && realpath(root_text, canonical) && strlen(canonical) < sizeof real_root)
        snprintf(real_root, sizeof real_root, "%s", canonical);
    else
        snprintf(real_root, sizeof real_root, "%s", root_text);
    snprintf(current_folder, sizeof current_folder, "C:\\");
    host_file[0] = 0;
    return 1;
}

int platform_posix_set_current_folder(const char *path) {
    full_path_text p;
    if (!path || !path[0]) path = "C:\\";
    if (!((letter(path[0]) && path[1] == ':' && path[2] == '\\') ||
          (path[0] == '\\' && path[1] == '\\')) ||
        !make_full(path, nullptr, &p))
        return 0;
    snprintf(current_folder, sizeof current_folder, "%s", p.text);
    return 1;
}

int platform_posix_allow_host_file(const char *native) {
    size_t n = native ? strlen(native) : 0;
    if (n >= sizeof host_file) return 0;
    memcpy(host_file, native ? native : "", n);
    host_file[n] = 0;
    return 1;
}

int platform_posix_full_path(const char *path, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    full_path_text p;
    if (!make_full(path, current_folder, &p)) return fail(PLATFORM_ERROR_INVALID_NAME);
    if (p.length == p.prefix && p.text[0] != '\\' && !append(&p, "\\", 1))
        return fail(PLATFORM_ERROR_INVALID_NAME);
    if (p.length >= cap) return fail(PLATFORM_ERROR_INVALID_NAME);
    memcpy(out, p.text, p.length + 1);
    return 1;
}

int platform_posix_place_open(const char *path, int flags, platform_posix_place *place) {
    place->dir = -1;
    place->missing = 0;
    place->nofollow = 0;
    place->native[0] = 0;
    place->name = place->native;
    if (!path || !path[0]) return fail(PLATFORM_ERROR_INVALID_NAME);
    if (!root_text[0]) { // the host's own paths, backslashes read as slashes
        size_t n = strlen(path);
        if (n >= sizeof place->native) return fail(PLATFORM_ERROR_INVALID_NAME);
        for (size_t i = 0; i <= n; i++) place->native[i] = path[i] == '\\' ? '/' : path[i];
        place->dir = AT_FDCWD;
        return 1;
    }
    if ((flags & PLATFORM_POSIX_HOST_READ) && host_file[0] && !strcmp(path, host_file)) {
        snprintf(place->native, sizeof place->native, "%s", path);
        place->dir = AT_FDCWD;
        return 1;
    }
    char rel[PLATFORM_NATIVE_PATH_CAPACITY], absolute[PLATFORM_NATIVE_PATH_CAPACITY];
    if ((flags & PLATFORM_POSIX_HOST_PATH) && path[0] != '/') {
        char here[PLATFORM_NATIVE_PATH_CAPACITY];
        if (!getcwd(here, sizeof here) ||
            snprintf(absolute, sizeof absolute, "%s/%s", here, path) >= (int)sizeof absolute)
            return fail(PLATFORM_ERROR_INVALID_NAME);
        path = absolute;
    }
    const char *below = host_path_below_root(path);
    if (!below && (flags & PLATFORM_POSIX_HOST_PATH)) return fail(PLATFORM_ERROR_ACCESS_DENIED);
    if (below) {
        size_t n = strlen(below);
        if (n >= sizeof rel) return fail(PLATFORM_ERROR_INVALID_NAME);
        for (size_t i = 0; i <= n; i++) rel[i] = below[i] == '\\' ? '/' : below[i];
    } else {
        full_path_text p;
        if (!make_full(path, current_folder, &p) || !below_root(&p, rel, sizeof rel))
            return fail(PLATFORM_ERROR_INVALID_NAME);
    }
    if (!walk(rel, flags & PLATFORM_POSIX_FOLLOW_LAST, place)) {
        place->native[0] = 0;
        place->name = place->native;
        return 0;
    }
    return 1;
}

void platform_posix_place_close(platform_posix_place *place) {
    if (place->dir >= 0) close(place->dir);
    place->dir = -1;
}

int platform_posix_native_path(const char *path, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    platform_posix_place place;
    if (!platform_posix_place_open(path, 0, &place)) return 0;
    platform_posix_place_close(&place);
    size_t n = strlen(place.native);
    if (n >= cap) return fail(PLATFORM_ERROR_INVALID_NAME);
    memcpy(out, place.native, n + 1);
    return 1;
}

int platform_posix_make_folders(const char *path) {
    if (!root_text[0]) return 0;
    full_path_text p;
    if (!make_full(path, current_folder, &p)) return 0;
    // Every level from the drive down, each resolved and made in its checked folder.
    for (size_t end = p.prefix; end <= p.length; end++) {
        if (end < p.length && p.text[end] != '\\') continue;
        char level[PLATFORM_NATIVE_PATH_CAPACITY];
        snprintf(level, sizeof level, "%.*s\\", (int)end, p.text);
        platform_posix_place place;
        if (!platform_posix_place_open(level, 0, &place)) return 0;
        int made = place.dir >= 0 && (mkdirat(place.dir, place.name, 0755) == 0 || errno == EEXIST);
        platform_posix_place_close(&place);
        if (!made) return 0;
    }
    platform_posix_place place;
    if (!platform_posix_place_open(p.text, PLATFORM_POSIX_FOLLOW_LAST, &place)) return 0;
    struct stat st;
    int folder = place.dir >= 0 && fstatat(place.dir, place.name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                 S_ISDIR(st.st_mode);
    platform_posix_place_close(&place);
    return folder;
}
