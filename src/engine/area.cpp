// Confined writes: how a target is split into a root and names, and the temporary file a target
// is written under. The names handed to the platform are the ones Windows resolves the target
// to, so that the platform, which refuses any name the system would resolve elsewhere, finds
// them as they stand; should the two ever disagree, the write is refused, never misdirected.
#include "engine/area.h"

#include "engine/folders.h"
#include "engine/install_log.h"
#include "platform/platform.h"
#include "platform/platform_confine.h"

#include <cstring>

namespace {

enum : int { PART_ATTEMPTS = 4096 }; // temporary names tried, as many as make_part_path looks at

int is_separator(char c) {
    return c == '\\' || c == '/';
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// The length of area without its trailing backslashes.
size_t trimmed_length(const char *area) {
    size_t n = strlen(area);
    while (n > 0 && area[n - 1] == '\\') n--;
    return n;
}

// Appends to out (capacity cap) the names of rest as Windows resolves them: separators of
// either kind, empty and "." names dropped, a name before a separator loses one trailing dot,
// the last name every trailing dot and blank. 1, or 0 when a name climbs ("..", or a name that
// becomes one), none is left, or out is full.
int append_names(char *out, size_t cap, const char *rest) {
    int names = 0;
    while (*rest) {
        const char *end = rest;
        while (*end && !is_separator(*end)) end++;
        size_t n = (size_t)(end - rest);
        const char *name = rest;
        rest = *end ? end + 1 : end;
        if (n == 0 || (n == 1 && name[0] == '.')) continue;
        if (n == 2 && name[0] == '.' && name[1] == '.') return 0;
        if (*end) {
            if (name[n - 1] == '.') n--;
        } else {
            while (n > 0 && (name[n - 1] == '.' || name[n - 1] == ' ')) n--;
            if (n == 0) continue;
        }
        if (n == 0 || (n <= 2 && name[0] == '.' && name[n - 1] == '.')) return 0;
        size_t used = strlen(out);
        if (used + 1 + n >= cap) return 0;
        out[used] = '\\';
        memcpy(out + used + 1, name, n);
        out[used + 1 + n] = 0;
        names++;
    }
    return names > 0;
}

// The names of path after area's text and a separator (ignoring case), or null.
const char *below(const char *area, const char *path) {
    if (!area || !area[0]) return nullptr;
    size_t n = trimmed_length(area);
    for (size_t i = 0; i < n; i++)
        if (upper(area[i]) != upper(path[i])) return nullptr;
    return is_separator(path[n]) ? path + n + 1 : nullptr;
}

} // namespace

int area_contains(const char *area, const char *path) {
    const char *rest = below(area, path);
    char names[PATH_CAPACITY] = "";
    return rest && append_names(names, sizeof names, rest);
}

int area_target_of(const char *area, const char *target, area_target *out) {
    const char *rest = below(area, target);
    if (rest) {
        size_t n = trimmed_length(area);
        text_copy(out->root, sizeof out->root, area);
        if (n < sizeof out->path) {
            memcpy(out->path, area, n);
            out->path[n] = 0;
            if (append_names(out->path, sizeof out->path, rest)) return 1;
        }
    }
    // Elsewhere: the target's own folder ("." for a bare name, "\." for one at the current
    // drive's root, "X:\" for one at a drive's root).
    const char *slash = nullptr;
    for (const char *p = target; *p; p++)
        if (is_separator(*p)) slash = p;
    const char *name = slash ? slash + 1 : target;
    const size_t folder = slash ? (size_t)(slash - target) : 0;
    if (folder >= sizeof out->root) return 0;
    memcpy(out->root, target, folder);
    out->root[folder] = 0;
    if (!slash) text_copy(out->root, sizeof out->root, ".");
    if (slash && folder == 0) text_copy(out->root, sizeof out->root, "\\.");
    if (folder == 2 && target[1] == ':') text_append(out->root, sizeof out->root, "\\");
    text_copy(out->path, sizeof out->path, out->root);
    out->path[trimmed_length(out->root)] = 0;
    if (append_names(out->path, sizeof out->path, name)) return 1;
    // A name that resolves to none: handed on as it stands, for the platform to refuse.
    text_append(out->path, sizeof out->path, "\\");
    return text_append(out->path, sizeof out->path, name) == strlen(name);
}

platform_file *area_open_part(const area_target *target, char *part, unsigned *counter) {
    // A target that does not exist yet is written in place: there is nothing of it to leave
    // half-written, and a failure removes it as it would remove a part. Under Wine this saves
    // a look-up of a name not there (a pass over the whole folder), the look at the target and
    // the move.
    text_copy(part, PATH_CAPACITY, target->path);
    platform_file *made = platform_confined_open(target->root, part, PLATFORM_CONFINED_NEW);
    if (made || platform_last_error() != PLATFORM_ERROR_FILE_EXISTS) return made;
    // Made with its name in one call, which refuses a name already taken (a file, a link,
    // a dangling link alike), rather than looked for first: under Wine every look-up of a
    // name that is not there reads the whole folder.
    for (int attempt = 0; attempt < PART_ATTEMPTS; attempt++) {
        if (!make_part_name(target->path, part, counter)) {
            text_copy(part, PATH_CAPACITY, target->path);
            return platform_confined_open(target->root, part, PLATFORM_CONFINED_TRUNCATE);
        }
        platform_file *file = platform_confined_open(target->root, part, PLATFORM_CONFINED_NEW);
        if (file || platform_last_error() != PLATFORM_ERROR_FILE_EXISTS) return file;
    }
    return nullptr;
}

int area_commit_part(const area_target *target, platform_file *file, const char *part) {
    if (!strcmp(part, target->path)) {
        platform_close(file);
        return 1;
    }
    return platform_confined_commit(target->root, file, part, target->path);
}

void area_discard_part(const area_target *target, const char *part) {
    platform_node *node = nullptr;
    if (platform_node_open(target->root, part, &node) == PLATFORM_NODE_FILE)
        platform_node_remove(node);
    platform_node_close(node);
}

int area_refuse_link(const char *path) {
    append_error_format("Refused Link! (%s)", path);
    return 0;
}
