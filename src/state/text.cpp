// Bounded copies into fixed text fields.
#include "state/text.h"

#include "state/text_utf8.h"

#include <cstring>

size_t text_copy(char *dst, size_t cap, const char *src) {
    if (!dst || cap == 0) return 0;
    size_t n = 0;
    if (src)
        while (n + 1 < cap && src[n]) n++;
    if (src && src[n]) n = text_utf8_fit(src, n + 1, n + 1); // cut between characters
    memcpy(dst, src ? src : "", n);
    dst[n] = 0;
    return n;
}

size_t text_append(char *dst, size_t cap, const char *src) {
    if (!dst || cap == 0) return 0;
    size_t used = strnlen(dst, cap);
    if (used >= cap) { // not terminated within its capacity: terminate at the end
        dst[cap - 1] = 0;
        return 0;
    }
    return text_copy(dst + used, cap - used, src);
}
