// Loading setup.txt into the state's block, the three preparation passes and the tokenizer.
#include "script/script.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "platform/platform.h"
#include "state/installer_state.h"

#include <cstdlib>
#include <cstring>

namespace {

const char SCRIPT_MEMBER[] = "setup.txt";

// Releases any previous text and puts a zero-filled block for a member of size bytes into
// the state: twice the size, so the prepared text and its terminator always fit, and at
// least one byte. Null when size is beyond SCRIPT_MAX_SIZE or memory is short.
char *replace_block(installer_state *state, size_t size) {
    release_script(state);
    if (size > SCRIPT_MAX_SIZE) return nullptr;
    char *block = static_cast<char *>(platform_alloc(size ? 2 * size : 1, 1));
    state->script_text = block;
    return block;
}

// Prepares the text the block holds; it ends at its first NUL, wherever the data stopped.
void prepare_block(char *block, size_t filled) {
    block[filled] = 0;
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
    size_t filled = lza_read(block, 1, header.unpacked_size, reader);
    lza_close(reader);
    lza_stream_close(stream);
    prepare_block(block, filled < header.unpacked_size ? filled : header.unpacked_size);
    return 1;
}

int load_script_text(installer_state *state, const void *data, size_t size) {
    if (!state) return 0;
    state->current_page = 0;
    state->choice_flags = 0;
    char *block = replace_block(state, size);
    if (!block) return 0;
    if (size) memcpy(block, data, size);
    prepare_block(block, size);
    return 1;
}

int script_encoding(const char *text, size_t size, size_t *bad) {
    const unsigned char *t = reinterpret_cast<const unsigned char *>(text);
    int utf8 = 1;
    for (size_t i = 0; utf8 && i < size;) {
        const unsigned c = t[i];
        size_t n = c < 0x80                 ? 1
                   : c >= 0xC2 && c <= 0xDF ? 2
                   : c >= 0xE0 && c <= 0xEF ? 3
                   : c >= 0xF0 && c <= 0xF4 ? 4
                                            : 0;
        // The second byte's range rules out overlong forms, surrogates and code points past
        // U+10FFFF; the others are continuation bytes.
        const unsigned low = c == 0xE0 ? 0xA0 : c == 0xF0 ? 0x90 : 0x80;
        const unsigned high = c == 0xED ? 0x9F : c == 0xF4 ? 0x8F : 0xBF;
        if (n == 0 || size - i < n || (n > 1 && (t[i + 1] < low || t[i + 1] > high))) {
            utf8 = 0;
            break;
        }
        for (size_t k = 2; k < n; k++)
            if ((t[i + k] & 0xC0) != 0x80) utf8 = 0;
        i += n;
    }
    if (utf8) return SCRIPT_ENCODING_UTF8;
    for (size_t i = 0; i < size; i++)
        if (t[i] == 0x81 || t[i] == 0x8D || t[i] == 0x8F || t[i] == 0x90 || t[i] == 0x9D) {
            if (bad) *bad = i;
            return SCRIPT_ENCODING_INVALID;
        }
    return SCRIPT_ENCODING_CP1252;
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
