// The texts of the welcome and licence pages.
#include "shell/page_text.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "script/script.h"
#include "state/installer_state.h"

#include <cstdlib>

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
    char *raw = nullptr, *text = nullptr;
    // The header's size is untrusted: it is bounded before anything is allocated.
    const size_t bound = SCRIPT_PAGE_TEXT_MAX;
    size_t want = header.unpacked_size < bound ? (size_t)header.unpacked_size : bound;
    if (reader) raw = static_cast<char *>(malloc(want + 1));
    if (raw) {
        size_t got = lza_read(raw, 1, want, reader);
        if (got > want) got = want;
        text = static_cast<char *>(malloc(2 * got + 1));
        if (text) {
            size_t n = page_text_line_ends(raw, got, text);
            if (length) *length = n;
        }
        free(raw);
    }
    if (reader) lza_close(reader);
    lza_stream_close(stream);
    return text;
}
