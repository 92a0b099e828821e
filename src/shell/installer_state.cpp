// The state record, its companion globals and the process entry.
#include "shell/installer_state.h"

#include <cstring>

installer_state g_state;
void *module_instance;
char text_buffer[TEXT_BUFFER_CAPACITY];
int32_t window_width, window_height;
int32_t anim_frame = 1;

size_t text_copy(char *dst, size_t cap, const char *src) {
    if (!dst || cap == 0) return 0;
    size_t n = 0;
    if (src)
        while (n + 1 < cap && src[n]) n++;
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
