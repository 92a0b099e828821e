// The texts of the welcome and licence pages.
#include "shell/page_text.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "script/script.h"
#include "state/installer_state.h"
#include "state/text_utf8.h"

#include <cstdlib>
#include <cstring>

size_t page_text_line_ends(const char *in, size_t n, char *out) {
    size_t w = 0;
    for (size_t r = 0; r < n; r++) {
        if (in[r] == '\n' && (r == 0 || in[r - 1] != '\r')) out[w++] = '\r';
        out[w++] = in[r];
    }
    out[w] = 0;
    return w;
}

char *load_page_text(installer_state *state, uint32_t key, size_t *length) {
    if (length) *length = 0;
    char name[PATH_CAPACITY];
    if (!get_value(state, key, name, sizeof name) || !name[0] || !state->archive_path[0])
        return nullptr;
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return nullptr;
    lza_header header = {};
    int64_t record = lza_find_first(stream, state->archive_offset, name, &header, nullptr);
    lza_reader *reader = record >= 0 ? lza_open(stream, record) : nullptr;
    char *raw = nullptr, *utf8 = nullptr, *text = nullptr;
    // The header's size is untrusted: it is bounded before anything is allocated.
    const size_t bound = SCRIPT_PAGE_TEXT_MAX;
    size_t want = header.unpacked_size < bound ? (size_t)header.unpacked_size : bound;
    if (reader) raw = static_cast<char *>(malloc(want + 1));
    if (raw) {
        size_t got = lza_read(raw, 1, want, reader);
        if (got > want) got = want;
        // A text cut at the bound must not turn into Windows-1252 for its last character.
        if (got == bound) got = text_utf8_complete(raw, got);
        // UTF-8 as it is, or Windows-1252 made UTF-8: at most three bytes for each byte.
        utf8 = static_cast<char *>(malloc(3 * got + 1));
        if (utf8) text_utf8_read(utf8, 3 * got + 1, raw, got);
        const size_t n = utf8 ? strlen(utf8) : 0;
        text = utf8 ? static_cast<char *>(malloc(2 * n + 1)) : nullptr;
        if (text) {
            page_text_line_ends(utf8, n, text);
            if (length) *length = strlen(text);
        }
        free(utf8);
        free(raw);
    }
    if (reader) lza_close(reader);
    lza_stream_close(stream);
    return text;
}
