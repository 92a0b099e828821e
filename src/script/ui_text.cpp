// The lookups of the text table: the script's language, a key's text, and the formatter that
// fills a text's %s places without ever treating a script's text as a printf format.
#include "script/ui_text.h"

#include "script/script.h"
#include "state/text.h"

namespace {

// The names the language key accepts, by ui_language: the code, the English name, the
// language's own name (without accents).
const char *const language_names[][UI_LANGUAGES] = {
    {"nl", "en", "de", "fr"},
    {"dutch", "english", "german", "french"},
    {"nederlands", "english", "deutsch", "francais"},
};

// Room for a language value: longer ones name no language.
enum : size_t { LANGUAGE_VALUE_CAPACITY = 16 };

} // namespace

int ui_language_of(const char *value) {
    for (const auto &names : language_names)
        for (int language = 0; value && language < UI_LANGUAGES; language++)
            if (keyword_equal(value, names[language])) return language;
    return -1;
}

int ui_text_language(const char *script) {
    char value[LANGUAGE_VALUE_CAPACITY];
    const int language =
        script_value(script, KW_LANGUAGE, value, sizeof value) ? ui_language_of(value) : -1;
    return language < 0 ? UI_LANGUAGE_NL : language;
}

const char *ui_text_builtin(const ui_text_row *part, uint32_t key, int language) {
    if (language < 0 || language >= UI_LANGUAGES) language = UI_LANGUAGE_NL;
    for (const ui_text_row *row = part; row && row->key; row++)
        if (row->key == key) return row->text[language];
    return nullptr;
}

int ui_text(const ui_text_row *part, const char *script, uint32_t key, char *out, size_t cap) {
    if (script_value(script, key, out, cap)) return 1;
    text_copy(out, cap, ui_text_builtin(part, key, ui_text_language(script)));
    return 0;
}

void ui_text_format(char *out, size_t cap, const char *format, const char *const *args, int count) {
    if (!out || cap == 0) return;
    out[0] = 0;
    int used = 0;
    for (const char *p = format; p && *p; p++) {
        if (p[0] == '%' && p[1] == 's' && used < count) {
            text_append(out, cap, args[used] ? args[used] : "");
            used++;
            p++;
        } else if (p[0] == '%' && p[1] == '%') {
            text_append(out, cap, "%");
            p++;
        } else {
            const char one[2] = {*p, 0};
            text_append(out, cap, one);
        }
    }
}

void ui_text_formatted(const ui_text_row *part, const char *script, uint32_t key, char *out,
                       size_t cap, const char *const *args, int count) {
    enum : size_t { FORMAT_CAPACITY = 1024 }; // a text's format: the longest built-in is 130
    char format[FORMAT_CAPACITY];
    ui_text(part, script, key, format, sizeof format);
    ui_text_format(out, cap, format, args, count);
}
