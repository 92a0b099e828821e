// The encoding rule for text from outside and the bounded conversion from Windows-1252.
#include "state/text_utf8.h"

#include <cstring>

namespace {

// Windows-1252 at 0x80..0x9F; the undefined bytes keep their own code points, as Windows'
// conversion gives them. The rest of the code page's upper half is Latin-1.
const uint16_t CP1252_HIGH[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int undefined_in_cp1252(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// The UTF-8 form of a code point below U+10000 into out (room for 3); its length.
size_t encode(uint32_t cp, char *out) {
    if (cp < 0x80) {
        out[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        out[0] = (char)(0xC0 | (cp >> 6));
        out[1] = (char)(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = (char)(0xE0 | (cp >> 12));
    out[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
    out[2] = (char)(0x80 | (cp & 0x3F));
    return 3;
}

const char BOM[] = "\xEF\xBB\xBF";

} // namespace

size_t text_utf8_sequence(const unsigned char *t, size_t size) {
    if (size == 0) return 0;
    const unsigned c = t[0];
    const size_t n = c < 0x80                 ? 1
                     : c >= 0xC2 && c <= 0xDF ? 2
                     : c >= 0xE0 && c <= 0xEF ? 3
                     : c >= 0xF0 && c <= 0xF4 ? 4
                                              : 0;
    if (n <= 1) return n;
    if (size < n) return 0;
    // The second byte's range rules out overlong forms, surrogates and code points past
    // U+10FFFF; the others are plain continuation bytes.
    const unsigned low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
    const unsigned high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
    if (t[1] < low || t[1] > high) return 0;
    for (size_t k = 2; k < n; k++)
        if ((t[k] & 0xC0) != 0x80) return 0;
    return n;
}

int text_encoding_of(const char *text, size_t size, size_t *bad) {
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    size_t i = 0;
    while (i < size) {
        const size_t n = text_utf8_sequence(t + i, size - i);
        if (n == 0) break;
        i += n;
    }
    if (i >= size) return TEXT_ENCODING_UTF8;
    for (i = 0; i < size; i++)
        if (undefined_in_cp1252(t[i])) {
            if (bad) *bad = i;
            return TEXT_ENCODING_UNDEFINED;
        }
    return TEXT_ENCODING_CP1252;
}

int text_has_bom(const char *text, size_t size) {
    return text && size >= 3 && memcmp(text, BOM, 3) == 0;
}

size_t text_utf8_fit(const char *text, size_t length, size_t cap) {
    if (cap == 0) return 0;
    if (length < cap) return length;
    size_t n = cap - 1;
    // Back off to the lead byte of a sequence the cut would split, and leave it out too; a
    // sequence is at most four bytes, so a run of stray continuation bytes is cut as it is.
    for (size_t k = 0; k < 3 && n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80; k++) n--;
    return ((unsigned char)text[n] & 0xC0) == 0x80 ? cap - 1 : n;
}

size_t text_utf8_complete(const char *text, size_t length) {
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    for (size_t back = 1; back <= 3 && back <= length; back++) {
        const unsigned c = t[length - back];
        if ((c & 0xC0) == 0x80) continue;
        const size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return n > back ? length - back : length;
    }
    return length;
}

int text_utf8_from_cp1252(char *out, size_t cap, const char *text, size_t size) {
    if (!out || cap == 0) return 0;
    size_t w = 0;
    for (size_t i = 0; i < size && text[i]; i++) {
        const unsigned char c = (unsigned char)text[i];
        char bytes[3];
        const size_t n = encode(c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c, bytes);
        if (w + n >= cap) {
            out[w] = 0;
            return 0;
        }
        memcpy(out + w, bytes, n);
        w += n;
    }
    out[w] = 0;
    return 1;
}

int text_utf8_read(char *out, size_t cap, const char *text, size_t size) {
    if (!out || cap == 0) return 0;
    if (!text) size = 0;
    const size_t end = size ? strnlen(text, size) : 0;
    if (text_encoding_of(text, end, nullptr) != TEXT_ENCODING_UTF8)
        return text_utf8_from_cp1252(out, cap, text, end);
    const size_t skip = text_has_bom(text, end) ? 3 : 0;
    const size_t n = text_utf8_fit(text + skip, end - skip, cap);
    memcpy(out, text + skip, n);
    out[n] = 0;
    return n == end - skip;
}

size_t text_utf8_decode(const char *text, size_t size, uint32_t *code_point) {
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    const size_t n = text_utf8_sequence(t, size);
    uint32_t cp = size ? t[0] : 0;
    if (n > 1) {
        cp &= 0x7F >> n;
        for (size_t k = 1; k < n; k++) cp = (cp << 6) | (t[k] & 0x3F);
    }
    if (code_point) *code_point = cp;
    return n;
}

int text_cp1252_byte(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return (int)cp;
    for (int i = 0; i < 32; i++)
        if (CP1252_HIGH[i] == cp) return 0x80 + i;
    return -1;
}
