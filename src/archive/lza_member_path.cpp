// The member path rule. Windows resolves a path's parts before it touches the disk: ".." climbs,
// a part of dots and blanks loses them (so "..." and ".. " climb as ".." does), a ':' selects a
// drive or a stream, and a device name opens the device whatever folder precedes it, with any
// extension and trailing dots or blanks. The rule refuses every such part rather than trying to
// repair it.
#include "archive/lza_member_path.h"

#include "platform/platform.h"
#include "state/text_utf8.h"

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

// The digits Windows may take after COM and LPT: 0 to 9 (COM0 and LPT0 are listed among the
// reserved names, whether or not a system opens them), and the superscripts one to three,
// which Windows-1252 keeps in a byte (0xB9, 0xB2, 0xB3) and UTF-8 in two (0xC2 and the same).
// The length of the digit at text (n bytes left), or 0 when there is none.
size_t device_digit(const unsigned char *text, size_t n) {
    const auto superscript = [](unsigned char c) { return c == 0xB9 || c == 0xB2 || c == 0xB3; };
    if (n == 1 && text[0] >= '0' && text[0] <= '9') return 1;
    if (n == 1 && superscript(text[0])) return 1;
    if (n == 2 && text[0] == 0xC2 && superscript(text[1])) return 2;
    return 0;
}

// 1 when the part's base (up to its first dot, trailing blanks ignored) is a device name.
int is_device(const char *part, size_t n) {
    size_t base = 0;
    while (base < n && part[base] != '.') base++;
    while (base > 0 && part[base - 1] == ' ') base--;
    char word[8] = {};
    if (base < 3 || base > 7) return 0;
    for (size_t i = 0; i < base; i++) word[i] = upper(part[i]);
    static const char *const whole[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char *d : whole)
        if (!strcmp(word, d)) return 1;
    const unsigned char *digit = reinterpret_cast<const unsigned char *>(word) + 3;
    return (!strncmp(word, "COM", 3) || !strncmp(word, "LPT", 3)) && device_digit(digit, base - 3);
}

// The letter Windows would see in code point c whatever its case: upper case for ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic (the scripts of the names products ship). Every case
// pair folded here has the same length in UTF-8, so a key is as long as its path.
uint32_t fold(uint32_t c) {
    if (c >= 'a' && c <= 'z') return c - 0x20;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F))
        return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c == 0x3C2) return 0x3A3; // final sigma
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~1u;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c - !(c & 1u);
    switch (c) {
    case 0x3AC:
        return 0x386;
    case 0x3AD:
    case 0x3AE:
    case 0x3AF:
        return c - 0x25;
    case 0x3CC:
        return 0x38C;
    case 0x3CD:
    case 0x3CE:
        return c - 0x3F;
    default:
        return c;
    }
}

uint64_t hash_text(const char *text) {
    uint64_t h = 0xCBF29CE484222325ull; // FNV-1a
    for (; *text; text++) h = (h ^ (unsigned char)*text) * 0x100000001B3ull;
    return h ? h : 1; // 0 marks a free slot
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
    case LZA_PATH_SAME_NAME:
        return "names the same file as an earlier member (case, trailing dots and blanks aside)";
    case LZA_PATH_LOG_NAME:
        return "is the name of one of the installer's logs";
    }
    return "is refused";
}

int lza_member_key(const char *relative, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    size_t used = 0;
    for (const char *p = relative; *p;) {
        const char *end = p;
        while (*end && *end != '\\') end++;
        const char *last = end;
        while (last > p && (last[-1] == '.' || last[-1] == ' ')) last--;
        if (used + (size_t)(last - p) + 2 > cap) {
            out[0] = 0;
            return 0;
        }
        while (p < last) {
            uint32_t c = 0;
            size_t n = text_utf8_decode(p, (size_t)(last - p), &c);
            if (n == 0) { // not UTF-8: the byte as it stands
                out[used++] = *p++;
                continue;
            }
            c = fold(c);
            // Re-encoded in the n bytes the character had: its case pair is as long.
            for (size_t k = n; k-- > 1; c >>= 6) out[used + k] = (char)(0x80 | (c & 0x3F));
            const unsigned lead[5] = {0, 0, 0xC0, 0xE0, 0xF0};
            out[used] = (char)(n == 1 ? c : lead[n] | c);
            used += n;
            p += n;
        }
        if (*end) out[used++] = '\\';
        p = *end ? end + 1 : end;
    }
    out[used] = 0;
    return 1;
}

int lza_name_set_init(lza_name_set *set, size_t paths) {
    memset(set, 0, sizeof *set);
    if (paths > (size_t)-1 / 8) return 0; // more slots than memory could hold
    size_t capacity = 16;
    while (capacity <= 2 * paths) capacity *= 2;
    uint64_t *hashes = static_cast<uint64_t *>(platform_alloc(capacity, sizeof *hashes));
    int32_t *numbers = static_cast<int32_t *>(platform_alloc(capacity, sizeof *numbers));
    if (!hashes || !numbers) {
        platform_free(hashes);
        platform_free(numbers);
        return 0;
    }
    set->hashes = hashes;
    set->numbers = numbers;
    set->capacity = capacity;
    return 1;
}

int32_t lza_name_set_add(lza_name_set *set, const char *relative, int32_t number) {
    char key[LZA_MEMBER_PATH_CAPACITY];
    if (!set->hashes || 2 * (set->count + 1) > set->capacity ||
        !lza_member_key(relative, key, sizeof key))
        return -2;
    const uint64_t hash = hash_text(key);
    size_t slot = (size_t)hash & (set->capacity - 1);
    for (; set->hashes[slot]; slot = (slot + 1) & (set->capacity - 1))
        if (set->hashes[slot] == hash) return set->numbers[slot];
    set->hashes[slot] = hash;
    set->numbers[slot] = number;
    set->count++;
    return -1;
}

void lza_name_set_free(lza_name_set *set) {
    platform_free(set->hashes);
    platform_free(set->numbers);
    memset(set, 0, sizeof *set);
}
