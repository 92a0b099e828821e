// UTF-8, UTF-16 and Windows-1252 for the native stand-in of Windows.
#include "platform/posix/posix_text.h"

namespace {

// Windows-1252 at 0x80..0x9F; the undefined bytes keep their own code points, as Windows'
// conversion gives them. The rest of the code page's upper half is Latin-1.
const uint16_t CP1252_HIGH[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

size_t posix_utf8_next(const char *text, size_t size, uint32_t *code_point) {
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    const unsigned c = t[0];
    const size_t n = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 1;
    uint32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; k++) {
        if (k >= size || (t[k] & 0xC0) != 0x80) return *code_point = c, 1;
        cp = cp << 6 | (t[k] & 0x3F);
    }
    *code_point = cp;
    return n;
}

void posix_utf8_append(std::string *out, uint32_t u) {
    if (u < 0x80) {
        *out += (char)u;
        return;
    }
    const int more = u < 0x800 ? 1 : u < 0x10000 ? 2 : 3;
    const unsigned lead[4] = {0, 0xC0, 0xE0, 0xF0};
    *out += (char)(lead[more] | (u >> (6 * more)));
    for (int k = more - 1; k >= 0; k--) *out += (char)(0x80 | ((u >> (6 * k)) & 0x3F));
}

std::string posix_cp1252_to_utf8(const char *text, size_t size) {
    std::string out;
    for (size_t i = 0; i < size; i++) {
        const unsigned char c = (unsigned char)text[i];
        posix_utf8_append(&out, c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c);
    }
    return out;
}
