// Archive location from the markers in the stub's initialised data.
#include "archive/lza_locate.h"

#include "archive/lza_format.h"
#include "archive/lza_sha256.h"
#include "platform/platform.h"
#include "state/installer_state.h"

#include <cstring>

// Writable on purpose: a non-const array lands in initialised data, where the packer finds
// and patches it, and the compiler cannot fold the digits into the code that reads them.
__attribute__((used)) char lza_marker[] = LZA_MARKER_PREFIX "00000000";
__attribute__((used)) char lza_digest_marker[] =
    LZA_DIGEST_MARKER_PREFIX "0000000000000000000000000000000000000000000000000000000000000000";
static_assert(sizeof lza_digest_marker == LZA_DIGEST_MARKER_PREFIX_LENGTH + LZA_DIGEST_DIGITS + 1,
              "the digest marker holds 64 digits");

enum : size_t { DIGEST_READ_PORTION = 16384 }; // on the stack

// Value of hex digit c (either case), or -1.
static int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

uint32_t parse_hex_offset(const char *text) {
    uint32_t result = 0;
    for (; *text; text++) {
        const int digit = hex_digit(*text);
        if (digit < 0) return 0; // a damaged marker selects the .pck file
        result = result * 16 + (uint32_t)digit;
    }
    return result;
}

int lza_parse_digest(const char *text, unsigned char digest[]) {
    unsigned char any = 0;
    for (size_t i = 0; i < LZA_DIGEST_SIZE; i++) {
        const int high = hex_digit(text[2 * i]);
        const int low = high < 0 ? -1 : hex_digit(text[2 * i + 1]);
        if (low < 0) return -1;
        digest[i] = (unsigned char)(high << 4 | low);
        any |= digest[i];
    }
    if (text[LZA_DIGEST_DIGITS] != 0) return -1;
    return any ? 1 : 0;
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

int lza_check_archive_digest(installer_state *state, const char *digest_digits) {
    unsigned char expected[LZA_DIGEST_SIZE];
    const int has_digest = lza_parse_digest(digest_digits, expected);
    // An archive behind the stub is covered by whatever covers the stub itself.
    if (state->archive_offset != 0 || has_digest == 0) return 1;
    if (has_digest < 0) return -1;
    release_archive_guard(state);
    platform_file *file = platform_open_read(state->archive_path);
    if (!file) return -1;
    lza_sha256 sha;
    lza_sha256_start(&sha);
    unsigned char portion[DIGEST_READ_PORTION];
    long got;
    while ((got = platform_read(file, portion, sizeof portion)) > 0)
        lza_sha256_add(&sha, portion, (size_t)got);
    unsigned char actual[LZA_DIGEST_SIZE];
    lza_sha256_finish(&sha, actual);
    if (got < 0 || memcmp(actual, expected, sizeof actual) != 0) {
        platform_close(file);
        return -1;
    }
    state->archive_guard = file;
    return 1;
}

int locate_archive(installer_state *state) {
    char exe_path[PATH_CAPACITY] = "";
    platform_module_path(exe_path, sizeof exe_path);
    if (!locate_archive_at(state, exe_path, lza_marker + LZA_MARKER_PREFIX_LENGTH))
        return LZA_LOCATE_MISSING;
    if (lza_check_archive_digest(state, lza_digest_marker + LZA_DIGEST_MARKER_PREFIX_LENGTH) < 0)
        return LZA_LOCATE_CHANGED;
    return LZA_LOCATE_FOUND;
}

void release_archive_guard(installer_state *state) {
    if (state->archive_guard) platform_close(static_cast<platform_file *>(state->archive_guard));
    state->archive_guard = nullptr;
}
