// The texts a person reads in the installer, in setup.exe /X and in the uninstaller, in each
// language they speak: one table with a row per text, named by the text_ key that overrides it
// from the script, and a column per language that the script's language key chooses.
// The texts are UTF-8, as every text inside these programs.
#pragma once

#include <cstddef>
#include <cstdint>

enum ui_language : int {
    UI_LANGUAGE_NL = 0, // Dutch: a script without a (known) language key speaks it
    UI_LANGUAGE_EN = 1,
    UI_LANGUAGE_DE = 2,
    UI_LANGUAGE_FR = 3,
    UI_LANGUAGES = 4,
};

struct ui_text_row {
    uint32_t key;                   // the text_ keyword that overrides the text; 0 ends a part
    const char *text[UI_LANGUAGES]; // by ui_language; never null
};

// The table in two parts, one for each program that shows them, so that each program carries
// only its own: setup.exe's (the wizard, the install run, the overwrite question, /X) and the
// uninstaller's. Each part ends with a row whose key is 0.
extern const ui_text_row ui_text_setup[];
extern const ui_text_row ui_text_uninstaller[];

// The language a value of the language key names: its two letters (nl, en, de, fr), its
// English name (dutch, english, german, french) or its own (nederlands, deutsch, francais), in
// any case. -1 when it names none.
int ui_language_of(const char *value);
// The language the prepared script chooses with its language key; UI_LANGUAGE_NL without one,
// with a value ui_language_of does not know, or without a script (null).
int ui_text_language(const char *script);
// The built-in text of key in part, in language; null when part has no row for key.
const char *ui_text_builtin(const ui_text_row *part, uint32_t key, int language);
// The text of key for the prepared script (null: none): the script's value of key, else the
// built-in text in the script's language, else "" (a key part has no row for). Into out
// (capacity cap, cut to fit). 1 when the script set the key, 0 when the built-in was given.
int ui_text(const ui_text_row *part, const char *script, uint32_t key, char *out, size_t cap);
// Writes format into out (capacity cap, cut to fit) with each %s replaced by the next of the
// count texts in args, and %% by %; every other character, a % before anything else and a %s
// past the last text included, is copied as it stands. A script's text may be the format: it
// can never read past args.
void ui_text_format(char *out, size_t cap, const char *format, const char *const *args, int count);
// ui_text_format of key's text (ui_text) with the count texts in args.
void ui_text_formatted(const ui_text_row *part, const char *script, uint32_t key, char *out,
                       size_t cap, const char *const *args, int count);
