// Folder creation, level by level from the drive down; below an area, never through a link.
#include "engine/folders.h"

#include "engine/area.h"
#include "engine/install_log.h"
#include "engine/step.h"
#include "platform/platform.h"
#include "platform/platform_confine.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdio>
#include <cstring>

namespace {

enum : int {
    PART_NAME_DIGITS = 7, // at most "~" and seven hex digits: a temporary name
    PART_NAME_TRIES = 4096,
};

// Separators of a network name (\\server\share\) that name no folder that could be created:
// the levels of such a path start below the share.
enum { NETWORK_PREFIX_SEPARATORS = 4 };

int is_network_path(const char *path) {
    return path[0] == '\\' && path[1] == '\\';
}

// The two lines of a folder that could not be created; MAKE_PATH_FAILED.
int log_make_failure(uint32_t error, const char *folder) {
    append_error_format("CreateDirectory Failed: %u", (unsigned)error);
    append_error_format("Attempted to create: '%s'", folder);
    return MAKE_PATH_FAILED;
}

// 1 when the share of a network path (\\server\share) is reachable; else its failure is logged.
// Nothing above the level below the share can be created, so an unreachable share (or a path
// that names only a share) must fail here rather than pass as made.
int network_share_exists(const char *path) {
    char share[PATH_CAPACITY];
    text_copy(share, sizeof share, path);
    int seen = 0;
    for (size_t i = 0; share[i]; i++) {
        if (share[i] == '\\' && ++seen == NETWORK_PREFIX_SEPARATORS) {
            share[i + 1] = 0;
            break;
        }
    }
    if (seen < NETWORK_PREFIX_SEPARATORS - 1) { // "\\server" alone names no share
        log_make_failure(PLATFORM_ERROR_BAD_NETPATH, path);
        return 0;
    }
    if (seen == NETWORK_PREFIX_SEPARATORS - 1) text_append(share, sizeof share, "\\");
    if (folder_exists(share)) return 1;
    log_make_failure(PLATFORM_ERROR_BAD_NETPATH, share);
    return 0;
}

// What became of one level of a path.
enum level_result { LEVEL_FAILED = -1, LEVEL_THERE = 0, LEVEL_MADE = 1, LEVEL_FILE = 2 };

// Makes the folder level unless it is there (a file of that name counts as there: make_path
// tells it at the end). A failure is logged.
int make_level(const char *level) {
    if (folder_exists(level)) return LEVEL_THERE;
    if (platform_make_folder(level)) return LEVEL_MADE;
    uint32_t error = platform_last_error();
    if (error == PLATFORM_ERROR_ALREADY_EXISTS) return LEVEL_THERE; // a file of that name
    log_make_failure(error, level);
    return LEVEL_FAILED;
}

// make_level for a level below root, which must be a real folder or nothing: a link there or
// on the way is refused ("Refused Link!"); a file there is LEVEL_FILE.
int make_level_below(const char *root, const char *level) {
    area_target at;
    area_target_of(root, level, &at);
    int kind = platform_confined_kind(at.root, at.path);
    if (kind == PLATFORM_NODE_FOLDER) return LEVEL_THERE;
    if (kind == PLATFORM_NODE_FILE) return LEVEL_FILE;
    if (kind == PLATFORM_NODE_MISSING && platform_confined_make_folder(at.root, at.path))
        return LEVEL_MADE;
    uint32_t error = platform_last_error();
    if (kind == PLATFORM_NODE_MISSING && error == PLATFORM_ERROR_ALREADY_EXISTS) return LEVEL_THERE;
    if (kind != PLATFORM_NODE_MISSING && kind != PLATFORM_NODE_FAILED)
        error = PLATFORM_ERROR_LINK_REFUSED;
    if (error == PLATFORM_ERROR_LINK_REFUSED)
        area_refuse_link(level);
    else
        log_make_failure(error, level);
    platform_set_last_error(error);
    return LEVEL_FAILED;
}

} // namespace

size_t collapse_backslashes(char *text) {
    // Where a backslash is followed by another the first goes and the walk goes on behind the
    // one that stays, so a pair becomes one and a run of three or four becomes two.
    size_t read = 0, write = 0;
    if (is_network_path(text)) read = write = 1; // the leading pair stays a pair
    while (text[read]) {
        if (text[read] == '\\' && text[read + 1] == '\\') read++;
        text[write++] = text[read++];
    }
    text[write] = 0;
    return write;
}

size_t normalise_folder_path(char *text, size_t cap) {
    size_t length = collapse_backslashes(text);
    if (!strchr(text, '\\')) text_append(text, cap, "\\");
    return length;
}

int folder_exists(const char *path) {
    return platform_is_folder(path);
}

int make_path(char *path, size_t cap) {
    return make_path_below(path, cap, nullptr);
}

int make_path_below(char *path, size_t cap, const char *root) {
    normalise_folder_path(path, cap);
    const int confined = root && area_contains(root, path);
    if (!confined && folder_exists(path)) return MAKE_PATH_EXISTED;
    size_t length = strlen(path);
    int level = 0;
    if (is_network_path(path) && !network_share_exists(path)) return MAKE_PATH_FAILED;
    if (is_network_path(path)) level = NETWORK_PREFIX_SEPARATORS;
    int made = 0, last = LEVEL_THERE;
    for (;; level++) {
        char work[PATH_CAPACITY + 1];
        text_copy(work, sizeof work, path);
        // Level n is the path up to its (n+1)th separator; the terminating zero is the last.
        int seen = 0, cut = 0;
        for (size_t i = 0; i <= length; i++) {
            if (path[i] != '\\' && path[i] != 0) continue;
            if (++seen > level) {
                work[i] = 0;
                cut = 1;
                break;
            }
        }
        if (!cut) break;
        normalise_folder_path(work, sizeof work);
        last =
            confined && area_contains(root, work) ? make_level_below(root, work) : make_level(work);
        if (last == LEVEL_FAILED) return MAKE_PATH_FAILED;
        if (last == LEVEL_MADE) made++;
    }
    // Only a folder that was really created is "made": the caller records it for removal. A
    // file standing where the folder should be leaves nothing made. (A confined path's last
    // level was looked at without following: what it found stands.)
    if (made) return MAKE_PATH_MADE;
    const int there = confined ? last == LEVEL_THERE : folder_exists(path);
    return there ? MAKE_PATH_EXISTED : log_make_failure(PLATFORM_ERROR_ALREADY_EXISTS, path);
}

// The next temporary name beside destination into part (PATH_CAPACITY bytes): "~" and as many
// hex digits of ++*counter as fit within destination's own name (at most PART_NAME_DIGITS),
// never that name itself. 1, or 0 when the name is one character.
int make_part_name(const char *destination, char *part, unsigned *counter) {
    const char *slash = strrchr(destination, '\\');
    const char *name = slash ? slash + 1 : destination;
    size_t length = strlen(name);
    int digits = length > (size_t)PART_NAME_DIGITS ? (int)PART_NAME_DIGITS : (int)length - 1;
    if (digits < 1) return 0;
    unsigned limit = digits >= 4 ? 0xffffu : (1u << (4 * digits)) - 1;
    char leaf[PART_NAME_DIGITS + 2];
    do {
        snprintf(leaf, sizeof leaf, "~%0*x", digits, ++*counter & limit);
    } while (keyword_equal(leaf, name));
    text_copy(part, PATH_CAPACITY, destination);
    part[name - destination] = 0;
    text_append(part, PATH_CAPACITY, leaf);
    return 1;
}

int make_part_path(const char *destination, char *part, unsigned *counter) {
    for (int attempt = 0; attempt < (int)PART_NAME_TRIES; attempt++) {
        if (!make_part_name(destination, part, counter)) return 0;
        if (!platform_path_exists(part)) return 1;
    }
    return 0;
}

int create_listed_folder(install_job *job, char *path, size_t cap) {
    return make_path_below(path, cap, job->state->dest_path);
}

int create_script_folders(install_job *job) {
    int result = 1;
    for (uint32_t id = KW_PH_DIR01; id <= KW_PH_DIR09; id++) {
        char folder[PATH_CAPACITY];
        if (!expand_folder_key(job->state, id, folder, sizeof folder)) continue;
        int made = create_listed_folder(job, folder, sizeof folder);
        if (made == MAKE_PATH_FAILED) result = 0;
        if (made == MAKE_PATH_MADE) append_uninstall_record(LOG_KIND_FOLDER, folder);
    }
    return result;
}
