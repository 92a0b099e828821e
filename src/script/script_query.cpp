// The script queries: keys, fields, lists, placeholders and member texts. Each scans the
// prepared text from its start; none writes it or keeps anything between calls.
#include "script/script.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "script/ui_text.h"
#include "platform/platform.h"
#include "state/installer_state.h"
#include "state/text_utf8.h"

#include <cstring>

namespace {

// Heads are read into a small buffer of their own, never into text_buffer, so that a query
// may take its input from text_buffer. No keyword comes near this length, so a cut head
// never matches one.
enum : size_t { HEAD_CAPACITY = SCRIPT_BRACKET_CAPACITY };

const char *script_of(const installer_state *state) {
    return state ? state->script_text : nullptr;
}

void clear(char *out, size_t cap) {
    if (out && cap) out[0] = 0;
}

// Folder values computed during one expansion: each key is expanded at most once, and a
// key met again while its own value is being expanded closes a cycle.
enum folder_status { FOLDER_UNKNOWN, FOLDER_EXPANDING, FOLDER_DEFINED, FOLDER_UNDEFINED };
struct folder_cache {
    int status[SCRIPT_FOLDER_KEYS];
    int in_cycle[SCRIPT_FOLDER_KEYS];
    int cut[SCRIPT_FOLDER_KEYS];
    int stack[SCRIPT_FOLDER_KEYS]; // keys being expanded, outermost first
    int depth;
    char value[SCRIPT_FOLDER_KEYS][SCRIPT_EXPAND_CAPACITY];
};

int expand_with(installer_state *state, const char *in, char *out, size_t cap, folder_cache *cache);

// 1 when folder key k (0 for dir01) is defined and outside any cycle; its value is then in
// the cache. Every key of a cycle is undefined; keys that merely refer to one keep the
// placeholder as written.
int folder_value(installer_state *state, int k, folder_cache *cache) {
    if (cache->status[k] == FOLDER_DEFINED) return 1;
    if (cache->status[k] == FOLDER_UNDEFINED) return 0;
    if (cache->status[k] == FOLDER_EXPANDING) {
        int from = 0;
        while (from < cache->depth && cache->stack[from] != k) from++;
        for (int j = from; j < cache->depth; j++) cache->in_cycle[cache->stack[j]] = 1;
        return 0;
    }
    char raw[SCRIPT_EXPAND_CAPACITY];
    if (!get_value(state, KW_DIR01 + (uint32_t)k, raw, sizeof raw)) {
        cache->status[k] = FOLDER_UNDEFINED;
        return 0;
    }
    cache->status[k] = FOLDER_EXPANDING;
    cache->stack[cache->depth++] = k;
    cache->cut[k] = !expand_with(state, raw, cache->value[k], sizeof cache->value[k], cache);
    cache->depth--;
    cache->status[k] = cache->in_cycle[k] ? FOLDER_UNDEFINED : FOLDER_DEFINED;
    return cache->status[k] == FOLDER_DEFINED;
}

int expand_with(installer_state *state, const char *in, char *out, size_t cap,
                folder_cache *cache) {
    char work[SCRIPT_EXPAND_CAPACITY];
    size_t used = 0;
    int complete = 1;
    auto append = [&](const char *s, size_t n) {
        for (size_t i = 0; i < n; i++) {
            if (used + 1 >= sizeof work) {
                complete = 0;
                return;
            }
            work[used++] = s[i];
        }
    };
    for (size_t i = 0; in && in[i];) {
        if (in[i] != '[') {
            append(in + i, 1);
            i++;
            continue;
        }
        size_t j = i;
        while (in[j] && in[j] != ']') j++;
        if (in[j]) j++;
        char word[SCRIPT_BRACKET_CAPACITY];
        size_t n = j - i < sizeof word - 1 ? j - i : sizeof word - 1;
        memcpy(word, in + i, n);
        word[n] = 0;
        uint32_t id = lookup_keyword(word);
        if (id == KW_PH_SOURCE) {
            i = j;
            continue;
        }
        if (id == KW_PH_DEST) {
            append(state->dest_path, strnlen(state->dest_path, sizeof state->dest_path));
            i = j;
            continue;
        }
        if (id >= KW_PH_DIR01 && id <= KW_PH_DIR09) {
            int k = (int)(id - KW_PH_DIR01);
            if (folder_value(state, k, cache)) {
                append(cache->value[k], strlen(cache->value[k]));
                if (cache->cut[k]) complete = 0;
                i = j;
                continue;
            }
        }
        // Anything else, an undefined folder included, is copied as written.
        append(in + i, 1);
        i++;
    }
    work[used] = 0;
    if (text_copy(out, cap, work) < used) complete = 0;
    return complete;
}

} // namespace

namespace {

// Reads the head of the line at pos into word (HEAD_CAPACITY bytes) and fills *head but for
// its id, which the caller looks up only when it needs it.
void read_head(const char *text, int32_t pos, script_head *head, char *word) {
    head->id = KW_NONE;
    head->start = pos + (int32_t)token_skip(text + pos);
    head->end = pos + (int32_t)next_token(text + pos, word, HEAD_CAPACITY);
    int32_t i = head->end;
    while (text[i] && text[i] != '\n') i++;
    head->next_line = text[i] ? i + 1 : i;
}

} // namespace

uint32_t script_read_head(const char *text, int32_t pos, script_head *head, char *word,
                          size_t cap) {
    script_head h = {KW_NONE, pos, pos, pos};
    char buffer[HEAD_CAPACITY];
    if (text) {
        read_head(text, pos, &h, buffer);
        h.id = lookup_keyword(buffer);
        if (word) text_copy(word, cap, buffer);
    }
    if (head) *head = h;
    return h.id;
}

int32_t script_find_key(const char *text, uint32_t key) {
    const char *key_word = keyword_word(key);
    if (!text || !key_word) return -1;
    // Words are unique without regard to case, so the head is the key's line exactly when
    // it equals the key's word: one compare per line instead of a table scan.
    script_head h;
    char buffer[HEAD_CAPACITY];
    for (int32_t pos = 0; text[pos]; pos = h.next_line) {
        read_head(text, pos, &h, buffer);
        if (keyword_equal(key_word, buffer)) return h.end;
    }
    return -1;
}

void count_pages(installer_state *state) {
    if (!state) return;
    state->first_page = state->current_page = state->page_count = 0;
    state->choice_flags = 0;
    const char *text = script_of(state);
    if (!text) return;
    script_head h;
    for (int32_t pos = 0; text[pos]; pos = h.next_line) {
        uint32_t id = script_read_head(text, pos, &h, nullptr, 0);
        if (id != KW_NONE && keyword_kind(id) == KW_KIND_PAGE) state->page_count++;
    }
}

void unquote(char *text) {
    if (!text) return;
    size_t len = strlen(text);
    if (len > 1 && text[0] == '"' && text[len - 1] == '"') {
        memmove(text, text + 1, len - 2);
        len -= 2;
        text[len] = 0;
    }
    size_t w = 0;
    for (size_t r = 0; r < len; r++)
        if (!(text[r] == '\\' && text[r + 1] == '"')) text[w++] = text[r];
    text[w] = 0;
}

int script_value(const char *text, uint32_t key, char *out, size_t cap) {
    clear(out, cap);
    int32_t at = script_find_key(text, key);
    if (at < 0) return 0;
    next_token(text + at, out, cap);
    unquote(out);
    return 1;
}

int get_value(installer_state *state, uint32_t key, char *out, size_t cap) {
    return script_value(script_of(state), key, out, cap);
}

int script_text(installer_state *state, uint32_t key, char *out, size_t cap) {
    return ui_text(ui_text_setup, script_of(state), key, out, cap);
}

int take_field(const char *text, int n, char *out, size_t cap) {
    clear(out, cap);
    if (!text || n < 0) return 0;
    size_t i = 0;
    for (int skip = n; skip > 0; i++) {
        if (!text[i] || text[i] == '\n') return 0;
        if (text[i] == ',') skip--;
    }
    size_t start = i;
    while (text[i] && text[i] != ',' && text[i] != '\n') i++;
    if (out && cap) {
        size_t len = i - start < cap - 1 ? i - start : cap - 1;
        memcpy(out, text + start, len);
        out[len] = 0;
    }
    return 1;
}

int get_field(installer_state *state, uint32_t key, int n, char *out, size_t cap) {
    clear(out, cap);
    const char *text = script_of(state);
    int32_t at = script_find_key(text, key);
    if (at < 0) return 0;
    int found = take_field(text + at, n, out, cap);
    unquote(out);
    return found;
}

int expand_placeholders(installer_state *state, const char *in, char *out, size_t cap) {
    folder_cache cache;
    memset(&cache, 0, sizeof cache);
    return expand_with(state, in, out, cap, &cache);
}

int expand_folder_key(installer_state *state, uint32_t placeholder_id, char *out, size_t cap) {
    clear(out, cap);
    if (!state || placeholder_id < KW_PH_DIR01 || placeholder_id > KW_PH_DIR09) return 0;
    folder_cache cache;
    memset(&cache, 0, sizeof cache);
    int k = (int)(placeholder_id - KW_PH_DIR01);
    if (!folder_value(state, k, &cache)) return 0;
    if (out) text_copy(out, cap, cache.value[k]);
    return 1;
}

int find_braces(const char *text, int32_t from, int32_t *open_after, int32_t *close_after) {
    int32_t open = -1, close = -1;
    if (text && from >= 0) {
        script_head h;
        for (int32_t pos = from; text[pos] && (open < 0 || close < 0); pos = h.next_line) {
            uint32_t id = script_read_head(text, pos, &h, nullptr, 0);
            if (id == KW_OPEN_BRACE && open < 0) open = h.end;
            if (id == KW_CLOSE_BRACE && close < 0) close = h.end;
        }
    }
    if (open_after) *open_after = open;
    if (close_after) *close_after = close;
    return open >= 0 && close >= 0;
}

namespace {

// Finds the list of key and its braces; 1 when both braces are there.
int find_list(const char *text, uint32_t key, int32_t *open_after, int32_t *close_after) {
    int32_t at = script_find_key(text, key);
    return at >= 0 && find_braces(text, at, open_after, close_after);
}

} // namespace

uint32_t list_item_id(installer_state *state, uint32_t list_key, int n) {
    const char *text = script_of(state);
    int32_t open, close;
    if (n < 0 || !find_list(text, list_key, &open, &close) || open >= close) return KW_NONE;
    script_head h;
    int32_t pos = open;
    for (int i = 0; pos < close && text[pos]; i++, pos = h.next_line) {
        uint32_t id = script_read_head(text, pos, &h, nullptr, 0);
        if (i == n) return id == KW_CLOSE_BRACE ? KW_NONE : id;
    }
    return KW_NONE;
}

int32_t list_line(installer_state *state, uint32_t list_key, int n, char *out, size_t cap) {
    clear(out, cap);
    const char *text = script_of(state);
    int32_t open, close;
    if (n < 0 || !find_list(text, list_key, &open, &close)) return 0;
    // Entries begin behind the line end that follows the {, and end at the } itself.
    int32_t pos = open + 1, end = close - 1;
    for (int i = 0; i < n && pos < end; i++) {
        const char *lf = static_cast<const char *>(memchr(text + pos, '\n', (size_t)(end - pos)));
        if (!lf) return 0;
        pos = (int32_t)(lf - text) + 1;
    }
    if (pos >= end) return 0;
    int32_t stop = pos;
    while (stop < end && text[stop] != '\n') stop++;
    if (out && cap) {
        size_t len = (size_t)(stop - pos) < cap - 1 ? (size_t)(stop - pos) : cap - 1;
        memcpy(out, text + pos, len);
        out[len] = 0;
    }
    return pos;
}

int load_member_text(installer_state *state, uint32_t key, char *out, size_t cap) {
    clear(out, cap);
    if (!state || !out || cap == 0) return 0;
    char name[PATH_CAPACITY];
    if (!get_value(state, key, name, sizeof name) || !name[0] || !state->archive_path[0]) return 0;
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return 0;
    lza_header header;
    int64_t record = lza_find_first(stream, state->archive_offset, name, &header, nullptr);
    lza_reader *reader = record >= 0 ? lza_open(stream, record) : nullptr;
    if (!reader) {
        lza_stream_close(stream);
        return 0;
    }
    // The header's size is untrusted: the bytes read are bounded by the page text's limit, and
    // a text longer than the buffer is cut; a short read ends it where the data stopped.
    size_t want = header.unpacked_size < SCRIPT_PAGE_TEXT_MAX ? (size_t)header.unpacked_size
                                                              : (size_t)SCRIPT_PAGE_TEXT_MAX;
    char *raw = static_cast<char *>(platform_alloc(want + 1, 1));
    size_t got = raw ? lza_read(raw, 1, want, reader) : 0;
    lza_close(reader);
    lza_stream_close(stream);
    if (!raw) return 0;
    if (got > want) got = want;
    if (got == SCRIPT_PAGE_TEXT_MAX) got = text_utf8_complete(raw, got);
    text_utf8_read(out, cap, raw, got);
    platform_free(raw);
    return 1;
}
