// The bounded formatter (see text_format.h): one pass over the format, every character put
// through one sink that counts all and stores what fits.
#include "text_format.h"

#include <cstdint>
#include <cstring>

namespace {

struct sink {
    char *out;
    size_t cap;
    size_t length; // characters produced so far, stored or not
};

void put(sink *s, char c) {
    if (s->length + 1 < s->cap) s->out[s->length] = c;
    s->length++;
}

void put_repeat(sink *s, char c, int count) {
    for (; count > 0; count--) put(s, c);
}

struct conversion {
    bool left, zero, plus, space, alt;
    int width;     // 0 when none
    int precision; // -1 when none
};

// Writes text of length n within the field: padded with spaces (or zeros after prefix for
// numbers with the '0' flag), on the left unless '-' is given.
void put_field(sink *s, const conversion &f, const char *prefix, const char *text, int n,
               int zeros) {
    const int plen = (int)strlen(prefix);
    const int pad = f.width > plen + zeros + n ? f.width - plen - zeros - n : 0;
    if (!f.left && !f.zero) put_repeat(s, ' ', pad);
    for (int i = 0; i < plen; i++) put(s, prefix[i]);
    if (!f.left && f.zero) put_repeat(s, '0', pad);
    put_repeat(s, '0', zeros);
    for (int i = 0; i < n; i++) put(s, text[i]);
    if (f.left) put_repeat(s, ' ', pad);
}

void put_number(sink *s, conversion f, uint64_t value, bool negative, unsigned base, bool upper,
                bool is_signed) {
    char digits[24]; // 2^64 in octal has 22 digits
    int n = 0;
    const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (uint64_t v = value; v; v /= base) digits[n++] = set[v % base];
    char text[24];
    for (int i = 0; i < n; i++) text[i] = digits[n - 1 - i];
    const char *prefix = "";
    if (is_signed)
        prefix = negative ? "-" : f.plus ? "+" : f.space ? " " : "";
    else if (f.alt && value && base == 16)
        prefix = upper ? "0X" : "0x";
    int zeros = 0;
    if (f.precision >= 0) {
        f.zero = false; // a precision turns the '0' flag off, as in C
        if (f.precision > n) zeros = f.precision - n;
    } else if (n == 0) {
        zeros = 1; // the value 0
    }
    if (f.alt && base == 8 && zeros == 0) zeros = 1;
    put_field(s, f, prefix, text, n, zeros);
}

} // namespace

int text_vformat(char *out, size_t cap, const char *format, va_list args) {
    sink s = {out, cap, 0};
    const char *p = format;
    while (*p) {
        if (*p != '%') {
            put(&s, *p++);
            continue;
        }
        const char *start = p++;
        conversion f = {false, false, false, false, false, 0, -1};
        for (;; p++) {
            if (*p == '-')
                f.left = true;
            else if (*p == '0')
                f.zero = true;
            else if (*p == '+')
                f.plus = true;
            else if (*p == ' ')
                f.space = true;
            else if (*p == '#')
                f.alt = true;
            else
                break;
        }
        if (*p == '*') {
            f.width = va_arg(args, int);
            if (f.width < 0) f.left = true, f.width = -f.width;
            p++;
        } else {
            for (; *p >= '0' && *p <= '9'; p++) f.width = f.width * 10 + (*p - '0');
        }
        if (*p == '.') {
            p++;
            f.precision = 0;
            if (*p == '*') {
                f.precision = va_arg(args, int);
                p++;
            } else {
                for (; *p >= '0' && *p <= '9'; p++) f.precision = f.precision * 10 + (*p - '0');
            }
        }
        if (f.left) f.zero = false;
        int size = 0; // 0 int, 1 long, 2 long long / 64 bits, 3 size_t / ptrdiff_t
        if (*p == 'h') {
            p += p[1] == 'h' ? 2 : 1;
        } else if (*p == 'l') {
            size = p[1] == 'l' ? 2 : 1;
            p += size;
        } else if (*p == 'j' || (*p == 'I' && p[1] == '6' && p[2] == '4')) {
            size = 2;
            p += *p == 'j' ? 1 : 3;
        } else if (*p == 'I' && p[1] == '3' && p[2] == '2') {
            p += 3;
        } else if (*p == 'z' || *p == 't') {
            size = 3;
            p++;
        }
        const char c = *p ? *p++ : '\0';
        switch (c) {
        case 'd':
        case 'i': {
            int64_t v = size == 2   ? va_arg(args, long long)
                        : size == 1 ? va_arg(args, long)
                        : size == 3 ? (int64_t)va_arg(args, ptrdiff_t)
                                    : va_arg(args, int);
            const bool negative = v < 0;
            put_number(&s, f, negative ? 0 - (uint64_t)v : (uint64_t)v, negative, 10, false, true);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'o': {
            uint64_t v = size == 2   ? va_arg(args, unsigned long long)
                         : size == 1 ? va_arg(args, unsigned long)
                         : size == 3 ? (uint64_t)va_arg(args, size_t)
                                     : va_arg(args, unsigned);
            put_number(&s, f, v, false, c == 'u' ? 10 : c == 'o' ? 8 : 16, c == 'X', false);
            break;
        }
        case 'p': {
            f.alt = true;
            put_number(&s, f, (uint64_t)(uintptr_t)va_arg(args, void *), false, 16, false, false);
            break;
        }
        case 'c': {
            const char ch = (char)va_arg(args, int);
            f.zero = false;
            put_field(&s, f, "", &ch, 1, 0);
            break;
        }
        case 's': {
            const char *text = va_arg(args, const char *);
            if (!text) text = "(null)";
            int n = 0;
            while (text[n] && (f.precision < 0 || n < f.precision)) n++;
            f.zero = false;
            put_field(&s, f, "", text, n, 0);
            break;
        }
        case '%':
            put(&s, '%');
            break;
        default: // not understood: the directive as it stands
            for (const char *q = start; q < p; q++) put(&s, *q);
            break;
        }
    }
    if (cap > 0) out[s.length < cap ? s.length : cap - 1] = '\0';
    return (int)s.length;
}

int text_format(char *out, size_t cap, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const int n = text_vformat(out, cap, format, args);
    va_end(args);
    return n;
}
