// The uninstaller's command line.
#include "shell/uninstaller_args.h"

#include <cstring>

namespace {

const char CLEANUP_FLAG[] = "/_KVCLEANUP=";

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
