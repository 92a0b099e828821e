// Loading setup.txt into the state's block, the three preparation passes and the tokenizer.
#include "script/script.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "platform/platform.h"
#include "state/installer_state.h"
#include "state/text_utf8.h"

#include <cstdlib>
#include <cstring>

namespace {

const char SCRIPT_MEMBER[] = "setup.txt";

// A Windows-1252 byte becomes at most three bytes of UTF-8 (U+20AC and the other signs at
// 0x80..0x9F), so a script's UTF-8 text needs at most this many bytes per byte read.
enum : size_t { SCRIPT_UTF8_GROWTH = 3 };

// Releases any previous text and puts a zero-filled block for a member of size bytes into
// the state, with room for the member's bytes behind the room for their UTF-8 text and its
// terminator. Null when size is beyond SCRIPT_MAX_SIZE or memory is short.
char *replace_block(installer_state *state, size_t size) {
    release_script(state);
    if (size > SCRIPT_MAX_SIZE) return nullptr;
    char *block = static_cast<char *>(platform_alloc((SCRIPT_UTF8_GROWTH + 1) * size + 1, 1));
    state->script_text = block;
    return block;
}

// Where replace_block's block keeps the member's bytes as read.
char *raw_part(char *block, size_t size) {
    return block + SCRIPT_UTF8_GROWTH * size + 1;
}

// Reads the filled bytes of the raw part as UTF-8 or Windows-1252, decided once for the whole
// text (it ends at its first NUL, wherever the data stopped), into the block and prepares it.
void prepare_block(char *block, size_t size, size_t filled) {
    text_utf8_read(block, SCRIPT_UTF8_GROWTH * size + 1, raw_part(block, size), filled);
    script_prepare(block, strlen(block), nullptr);
}

} // namespace

void release_script(installer_state *state) {
    if (!state || !state->script_text) return;
    platform_free(state->script_text);
    state->script_text = nullptr;
}

int load_script(installer_state *state) {
    if (!state) return 0;
    state->current_page = 0;
    state->choice_flags = 0;
    if (!state->archive_path[0]) return 0;
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return 0;
    lza_header header;
    int64_t record = lza_find_first(stream, state->archive_offset, SCRIPT_MEMBER, &header, nullptr);
    char *block = nullptr;
    if (record >= 0)
        block = replace_block(state, header.unpacked_size);
    else
        release_script(state); // no script (or only a damaged one): no earlier text stays
    lza_reader *reader = block ? lza_open(stream, record) : nullptr;
    if (!reader) {
        lza_stream_close(stream);
        return 0;
    }
    // A short read leaves the rest of the zero-filled block as it was: the text ends earlier.
    const size_t size = header.unpacked_size;
    size_t filled = lza_read(raw_part(block, size), 1, size, reader);
    lza_close(reader);
    lza_stream_close(stream);
    prepare_block(block, size, filled < size ? filled : size);
    return 1;
}

int load_script_text(installer_state *state, const void *data, size_t size) {
    if (!state) return 0;
    state->current_page = 0;
    state->choice_flags = 0;
    char *block = replace_block(state, size);
    if (!block) return 0;
    if (size) memcpy(raw_part(block, size), data, size);
    prepare_block(block, size, size);
    return 1;
}

int script_encoding(const char *text, size_t size, size_t *bad) {
    return text_encoding_of(text, size, bad);
}

int is_word_char(int c) {
    unsigned char u = (unsigned char)c;
    if (u == 0) return 1; // the terminator matches the set's own
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) return 1;
    return strchr("_\\.:*?{}", u) != nullptr;
}

namespace {

// A compacting pass: characters are read at r and kept by writing them at w <= r, so every
// removal is a shift of the rest of the text to the left. The origin map moves along.
struct compactor {
    char *text;
    uint32_t *origin;
    size_t w;
    void keep(size_t r, char c) {
        text[w] = c;
        if (origin) origin[w] = origin[r];
        w++;
    }
    // The character just before the current write position, as the shifted text has it.
    char before() const { return w > 0 ? text[w - 1] : 0; }
    // A quote toggles the quote state unless a backslash stands directly before it.
    void toggle_quote(int *in_quote) const {
        if (!(w > 0 && before() == '\\')) *in_quote = !*in_quote;
    }
};

} // namespace

size_t script_prepare(char *text, size_t length, uint32_t *origin) {
    if (!text) return 0;
    if (origin)
        for (size_t i = 0; i < length; i++) origin[i] = (uint32_t)i;

    // Pass 1: CR LF becomes LF; a lone CR stays an ordinary character.
    compactor c = {text, origin, 0};
    for (size_t r = 0; r < length; r++)
        if (!(text[r] == '\r' && r + 1 < length && text[r + 1] == '\n')) c.keep(r, text[r]);
    length = c.w;

    // Pass 2: comments go with their line end; tabs outside quotes become blanks.
    c.w = 0;
    int in_quote = 0;
    for (size_t r = 0; r < length;) {
        char ch = text[r];
        if (ch == '/' && r + 1 < length && text[r + 1] == '/' && !in_quote) {
            while (r < length && text[r] != '\n') r++;
            if (r < length) r++; // the line end goes too
            continue;
        }
        if (ch == '"')
            c.toggle_quote(&in_quote);
        else if (ch == '\t' && !in_quote)
            ch = ' ';
        c.keep(r, ch);
        r++;
    }
    length = c.w;

    // Pass 3: every blank outside quotes goes, also one between two word characters ("mode 1"
    // reads as "mode1", as scripts have always been read), except a blank that opens the text
    // before a word character.
    c.w = 0;
    in_quote = 0;
    for (size_t r = 0; r < length; r++) {
        char ch = text[r];
        if (ch == '"') {
            c.toggle_quote(&in_quote);
        } else if (ch == ' ' && !in_quote) {
            char next = r + 1 < length ? text[r + 1] : 0;
            if (!(c.w == 0 && is_word_char(next))) continue;
        }
        c.keep(r, ch);
    }
    text[c.w] = 0;
    return c.w;
}

size_t token_skip(const char *text) {
    size_t i = 0;
    if (text)
        while (text[i] && !is_word_char(text[i]) && text[i] != '[' && text[i] != '"') i++;
    return i;
}

size_t next_token(const char *text, char *out, size_t cap) {
    if (out && cap) out[0] = 0;
    if (!text) return 0;
    size_t i = token_skip(text);
    size_t start = i;
    if (text[i] == '[') {
        for (i++; text[i] && text[i] != ']'; i++) {
        }
        if (text[i]) i++;
    } else if (text[i] == '"') {
        for (i++; text[i] && !(text[i] == '"' && text[i - 1] != '\\'); i++) {
        }
        if (text[i]) i++;
    } else {
        while (text[i] && is_word_char(text[i])) i++;
    }
    if (out && cap) {
        size_t n = i - start < cap - 1 ? i - start : cap - 1;
        memcpy(out, text + start, n);
        out[n] = 0;
    }
    return i;
}
