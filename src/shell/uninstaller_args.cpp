// The uninstaller's command line.
#include "shell/uninstaller_args.h"

#include "engine/uninstall.h"
#include "engine/uninstall_checks.h"
#include "engine/uninstall_entry.h"
#include "platform/platform.h"
#include "platform/platform_remove.h"

#include <cstdio>
#include <cstring>

namespace {

const char CLEANUP_FLAG[] = "/_KVCLEANUP=";
const char CLEANUP_FOLDER_PREFIX[] = "kvuninst-"; // then the original's process id
const char CLEANUP_COPY_NAME[] = "kvuninst.exe";

// 1 when the open file own and the file node hold the same bytes, compared in full.
int same_bytes(platform_file *own, platform_node *node) {
    enum : size_t { CHUNK = 4096 };
    static unsigned char a[CHUNK], b[CHUNK];
    for (;;) {
        long n = platform_read(own, a, CHUNK);
        if (n < 0) return 0;
        long got = 0, m = 1;
        while (got < n && (m = platform_node_read(node, b + got, (size_t)(n - got))) > 0) got += m;
        if (got != n || memcmp(a, b, (size_t)n) != 0) return 0;
        if (n == 0) return platform_node_read(node, b, 1) == 0; // both at their end
    }
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? (char)(c - ('a' - 'A')) : c;
}

// 1 when text begins with word, ignoring case.
int starts_with(const char *text, const char *word) {
    for (; *word; text++, word++)
        if (upper(*text) != upper(*word)) return 0;
    return 1;
}

// 1 when the word at p ends there: a space or the end of the line follows.
int word_ends(const char *p) {
    return *p == 0 || *p == ' ' || *p == '\t';
}

// Copies the value at p into out: up to the next " /" or the end, surrounding quotes and
// trailing blanks dropped. Returns where reading stopped.
const char *take_value(const char *p, char *out, size_t cap) {
    const char *end = p;
    if (*p == '"') {
        end = strchr(p + 1, '"');
        if (!end) end = p + strlen(p);
        p++;
    } else {
        while (*end && !((end[0] == ' ' || end[0] == '\t') && end[1] == '/')) end++;
        while (end > p && (end[-1] == ' ' || end[-1] == '\t')) end--;
    }
    size_t n = (size_t)(end - p) < cap ? (size_t)(end - p) : cap - 1;
    memcpy(out, p, n);
    out[n] = 0;
    return *end == '"' ? end + 1 : end;
}

} // namespace

int parse_uninstaller_args(const char *command_line, uninstaller_args *args) {
    memset(args, 0, sizeof *args);
    const char *p = command_line ? command_line : "";
    while (*p) {
        if (*p == ' ' || *p == '\t') {
            p++;
        } else if (p[0] == '"' && p[1] == '/') { // a whole option in quotes: "/T=Korvex Demo"
            const char *close = strchr(p + 1, '"');
            size_t n = close ? (size_t)(close - p - 1) : strlen(p + 1);
            if (starts_with(p + 1, "/T=") && n >= 3) {
                size_t m = n - 3 < sizeof args->title ? n - 3 : sizeof args->title - 1;
                memcpy(args->title, p + 4, m);
                args->title[m] = 0;
            } else if (n == 2 && starts_with(p + 1, "/S")) {
                args->silent = 1;
            }
            p = close ? close + 1 : p + 1 + n;
        } else if (starts_with(p, "/S") && word_ends(p + 2)) {
            args->silent = 1;
            p += 2;
        } else if (starts_with(p, "/T=")) {
            p = take_value(p + 3, args->title, sizeof args->title);
        } else if (starts_with(p, CLEANUP_FLAG)) {
            p += sizeof CLEANUP_FLAG - 1;
            uint64_t id = 0;
            const char *digits = p;
            while (*p >= '0' && *p <= '9' && id <= UINT32_MAX)
                id = id * 10 + (uint64_t)(*p++ - '0');
            if (p == digits || id > UINT32_MAX || *p != ' ' || !p[1]) return 0;
            args->cleanup = 1;
            args->cleanup_process = (uint32_t)id;
            text_copy(args->cleanup_path, sizeof args->cleanup_path, p + 1);
            return 1; // the path is the rest of the line
        } else {
            while (*p && *p != ' ' && *p != '\t') p++; // an unknown word
        }
    }
    return 1;
}

int uninstaller_cleanup_folder(const char *temp, uint32_t process, char *out, size_t cap) {
    size_t n = strlen(temp);
    while (n > 0 && temp[n - 1] == '\\') n--;
    int written =
        snprintf(out, cap, "%.*s\\%s%u", (int)n, temp, CLEANUP_FOLDER_PREFIX, (unsigned)process);
    return n > 0 && written > 0 && (size_t)written < cap;
}

int uninstaller_cleanup_place(const uninstaller_args *args, const char *self, const char *temp) {
    char expected[PATH_CAPACITY];
    if (!args->cleanup ||
        !uninstaller_cleanup_folder(temp, args->cleanup_process, expected, sizeof expected))
        return 0;
    text_append(expected, sizeof expected, "\\");
    text_append(expected, sizeof expected, CLEANUP_COPY_NAME);
    size_t n = strlen(expected);
    return strlen(self) == n && uninstall_same_text(self, expected, n);
}

int uninstaller_clean_up(const uninstaller_args *args, const char *self, const char *temp) {
    const char *path = args->cleanup_path;
    const char *slash = strrchr(path, '\\');
    char folder[PATH_CAPACITY];
    if (!uninstaller_cleanup_place(args, self, temp) || !slash || slash == path) return 0;
    text_copy(folder, sizeof folder, path);
    folder[slash - path] = 0;

    platform_node *node = nullptr;
    platform_file *own = platform_open_read(self);
    int same = own && platform_node_open(folder, path, &node) == PLATFORM_NODE_FILE &&
               same_bytes(own, node);
    platform_close(own);
    int removed = same ? platform_node_remove(node) : 0;
    platform_node_close(node);
    if (!same) return 0;
    if (!removed) return -1;
    // The destination, which held nothing but the uninstaller when it ended: gone when empty.
    uint32_t error = 0;
    if (platform_folder_entry_count(folder) == 0 && strrchr(folder, '\\') != folder) {
        char parent[PATH_CAPACITY];
        text_copy(parent, sizeof parent, folder);
        *strrchr(parent, '\\') = 0;
        uninstall_remove_below(parent, folder, UNINSTALL_FOLDER, 0, &error);
    }
    return 1;
}
