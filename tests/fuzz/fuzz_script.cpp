// Arbitrary bytes as setup.txt: the preparation, the tokenizer, every query over every key
// and list, the placeholder expansion and the packer's checks must neither crash, nor trip a
// sanitizer, nor loop without end.
#include "script/script.h"
#include "script/script_lint.h"
#include "state/installer_state.h"

#include <cstddef>
#include <cstdint>

namespace {

// Entries looked at per list: enough to walk past every list of a seed script.
const int MAX_ENTRIES = 48;
const int MAX_FIELDS = 9;

char out[SCRIPT_TOKEN_CAPACITY];
char field[SCRIPT_TOKEN_CAPACITY];
char expanded[SCRIPT_EXPAND_CAPACITY];

void walk_entries(installer_state *state, uint32_t key) {
    for (int n = 0; n < MAX_ENTRIES; n++) {
        uint32_t id = list_item_id(state, key, n);
        (void)keyword_kind(id);
        int32_t pos = list_line(state, key, n, out, sizeof out);
        if (pos <= 0) {
            if (id == KW_NONE) return; // past the end of both walks
            continue;
        }
        for (int f = 0; f < MAX_FIELDS; f++) {
            if (!take_field(state->script_text + pos, f, field, sizeof field)) break;
            unquote(field);
            expand_placeholders(state, field, expanded, sizeof expanded);
            expand_placeholders(state, field, field, sizeof field);
        }
    }
}

void count_member(void *context, const lint_finding *) {
    ++*static_cast<int *>(context);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static installer_state state;
    text_copy(state.dest_path, sizeof state.dest_path, "C:\\Program Files\\Demo");
    if (!load_script_text(&state, data, size)) return 0;
    const char *text = state.script_text;

    for (size_t pos = 0; text[pos];) pos += next_token(text + pos, out, sizeof out);
    count_pages(&state);
    int32_t open, close;
    find_braces(text, 0, &open, &close);

    // Every key once; the scans are the same for every key, so the fields are taken only
    // where the installer takes them, and each key is followed as far as it reaches.
    for (int row = 0; keyword_table[row].word; row++) {
        uint32_t id = keyword_table[row].id;
        uint32_t kind = keyword_table[row].kind;
        if (!get_value(&state, id, out, sizeof out)) continue;
        expand_placeholders(&state, out, expanded, sizeof expanded);
        if (kind == KW_KIND_SETTING)
            for (int f = 0; f < 3 && get_field(&state, id, f, out, sizeof out); f++) {
            }
        if (kind == KW_KIND_LIST || id == KW_STEPS || id == KW_INSTALL_STEPS)
            walk_entries(&state, id);
    }
    for (uint32_t id = KW_PH_DIR01; id <= KW_PH_DIR09; id++)
        expand_folder_key(&state, id, expanded, sizeof expanded);
    load_member_text(&state, KW_LICENSE, text_buffer, sizeof text_buffer); // no archive: fails

    const lint_member members[] = {
        {"demo.exe", 1000, 0}, {"readme.txt", 9000, 0}, {"banner.bmp", 10, 0}};
    int findings = 0;
    script_lint(reinterpret_cast<const char *>(data), size, members, 3, count_member, &findings);
    release_script(&state);
    return 0;
}
