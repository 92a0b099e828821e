// Archive location from the marker in the stub's initialised data.
#include "archive/lza_locate.h"

#include "archive/lza_format.h"
#include "platform/platform.h"
#include "state/installer_state.h"

// Writable on purpose: a non-const array lands in initialised data, where the packer finds
// and patches it, and the compiler cannot fold the digits into the code that reads them.
__attribute__((used)) char lza_marker[] = LZA_MARKER_PREFIX "00000000";

uint32_t parse_hex_offset(const char *text) {
    uint32_t result = 0;
    for (; *text; text++) {
        char c = *text;
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = (uint32_t)(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = (uint32_t)(c - 'A' + 10);
        else
            return 0; // a damaged marker selects the .pck file
        result = result * 16 + digit;
    }
    return result;
}

void lza_pck_path(char *path, size_t cap) {
    size_t len = 0;
    while (len < cap && path[len]) len++;
    // Backwards to index 1, across backslashes: a dotted folder name is cut at its dot.
    for (size_t i = len; i-- > 1;) {
        if (path[i] == '.') {
            text_copy(path + i, cap - i, ".pck");
            return;
        }
    }
}

int locate_archive_at(installer_state *state, const char *exe_path, const char *digits) {
    state->archive_offset = 0;
    if (state->archive_path[0] == 0) {
        char path[PATH_CAPACITY];
        text_copy(path, sizeof path, exe_path);
        state->archive_offset = parse_hex_offset(digits);
        if (state->archive_offset == 0) lza_pck_path(path, sizeof path);
        text_copy(state->archive_path, sizeof state->archive_path, path);
    }
    platform_file *file = platform_open_read(state->archive_path);
    if (!file) return 0;
    unsigned char magic[4] = {0, 0, 0, 0};
    long got = -1;
    if (platform_seek(file, state->archive_offset)) got = platform_read(file, magic, 4);
    platform_close(file);
    return got == 4 && lza_has_magic(magic);
}

int locate_archive(installer_state *state) {
    char exe_path[PATH_CAPACITY] = "";
    platform_module_path(exe_path, sizeof exe_path);
    return locate_archive_at(state, exe_path, lza_marker + LZA_MARKER_PREFIX_LENGTH);
}
