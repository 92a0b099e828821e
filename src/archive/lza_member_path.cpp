// The member path rule. Windows resolves a path's parts before it touches the disk: ".." climbs,
// a part of dots and blanks loses them (so "..." and ".. " climb as ".." does), a ':' selects a
// drive or a stream, and a device name opens the device whatever folder precedes it. The rule
// refuses every such part rather than trying to repair it.
#include "archive/lza_member_path.h"

#include <cstring>

namespace {

int is_separator(char c) {
    return c == '\\' || c == '/';
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

// 1 when the part (length n) holds nothing but dots and blanks and is not the single ".".
int climbs(const char *part, size_t n) {
    if (n == 0 || (n == 1 && part[0] == '.')) return 0;
    for (size_t i = 0; i < n; i++)
        if (part[i] != '.' && part[i] != ' ') return 0;
    return 1;
}

// 1 when the part's base (up to its first dot, trailing blanks ignored) is a device name.
int is_device(const char *part, size_t n) {
    size_t base = 0;
    while (base < n && part[base] != '.') base++;
    while (base > 0 && part[base - 1] == ' ') base--;
    char word[5] = {};
    if (base < 3 || base > 4) return 0;
    for (size_t i = 0; i < base; i++) word[i] = upper(part[i]);
    static const char *const plain[] = {"CON", "PRN", "AUX", "NUL"};
    for (const char *d : plain)
        if (!strcmp(word, d)) return 1;
    return base == 4 && (!strncmp(word, "COM", 3) || !strncmp(word, "LPT", 3)) && word[3] >= '1' &&
           word[3] <= '9';
}

} // namespace

int lza_member_path(const char *name, char *out, size_t cap, lza_path_refusal *refusal) {
    lza_path_refusal why = LZA_PATH_ACCEPTED;
    size_t used = 0;
    if (out && cap) out[0] = 0;
    if (!name || !name[0]) {
        why = LZA_PATH_EMPTY;
    } else if (is_separator(name[0])) {
        why = LZA_PATH_ABSOLUTE;
    } else if (strchr(name, ':')) {
        why = LZA_PATH_DRIVE;
    }
    for (const char *p = name; why == LZA_PATH_ACCEPTED && *p;) {
        const char *end = p;
        while (*end && !is_separator(*end)) end++;
        const size_t n = (size_t)(end - p);
        if (climbs(p, n)) {
            why = LZA_PATH_PARENT;
        } else if (is_device(p, n)) {
            why = LZA_PATH_DEVICE;
        } else if (n > 0 && !(n == 1 && p[0] == '.')) {
            const size_t need = used + (used ? 1 : 0) + n;
            if (!out || need + 1 > cap) {
                why = LZA_PATH_TOO_LONG;
                break;
            }
            if (used) out[used++] = '\\';
            memcpy(out + used, p, n);
            used += n;
            out[used] = 0;
        }
        p = *end ? end + 1 : end;
    }
    if (why == LZA_PATH_ACCEPTED && used == 0) why = LZA_PATH_EMPTY;
    if (why != LZA_PATH_ACCEPTED && out && cap) out[0] = 0;
    if (refusal) *refusal = why;
    return why == LZA_PATH_ACCEPTED;
}

const char *lza_path_refusal_text(lza_path_refusal refusal) {
    switch (refusal) {
    case LZA_PATH_ACCEPTED:
        return "is accepted";
    case LZA_PATH_EMPTY:
        return "names no file";
    case LZA_PATH_ABSOLUTE:
        return "is an absolute path";
    case LZA_PATH_DRIVE:
        return "has a drive or stream part";
    case LZA_PATH_PARENT:
        return "climbs out of the destination (..)";
    case LZA_PATH_DEVICE:
        return "names a device";
    case LZA_PATH_TOO_LONG:
        return "is too long";
    }
    return "is refused";
}
