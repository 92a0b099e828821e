// Texts a script supplies, as an attacker who can change the archive (or the words kvpack wrote
// into the uninstaller) would write them: printf conversions, more places than values, texts
// longer than every buffer, a language value of 8 KB. Each row: the script, the text the
// program forms from it; nothing is read past its values, nothing is written past its buffer.
#include "engine/uninstall.h"
#include "script/script.h"
#include "script/ui_text.h"
#include "state/installer_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct prepared {
    installer_state state = {};
    explicit prepared(const std::string &script) {
        EXPECT_EQ(load_script_text(&state, script.data(), script.size()), 1);
    }
    ~prepared() { release_script(&state); }
};

TEST(hostile_texts, ScriptTextsAreNeverFormatsAndAlwaysBounded) {
    const std::string huge(SCRIPT_TOKEN_CAPACITY + 100, 'x');
    const struct {
        std::string script;
        int outcome;      // uninstall_describe of a removed (0) or failed (3) record
        std::string line; // the line it forms
    } rows[] = {
        {"text_un_line=\"%n%p%x%s%s%s%d%c\"\n", UNINSTALL_REMOVED,
         "%n%p%xVerwijderdC:\\P\\a%s%d%c"},
        {"text_un_removed=\"%s%s%n\"\n", UNINSTALL_REMOVED, "%s%s%n: C:\\P\\a"},
        {"text_un_line_error=\"%s %s %s %s %s %*s %.99999s\"\n", UNINSTALL_FAILED,
         "Mislukt 5 C:\\P\\a %s %s %*s %.99999s"},
        {"language=\"" + huge + "\"\n", UNINSTALL_REMOVED, "Verwijderd: C:\\P\\a"},
        // A text longer than the line: cut at the line's capacity, the path behind it lost
        // (a value cut to its buffer keeps its opening quote, as every value always has).
        {"text_un_line=\"" + huge + "%s\"\n", UNINSTALL_REMOVED,
         "\"" + std::string(UNINSTALL_LINE_CAPACITY - 2, 'x')},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.script.substr(0, 60));
        prepared words(r.script);
        uninstall_entry entry = {UNINSTALL_FILE, "C:\\P\\a", r.outcome, 5, 0, 0};
        char line[UNINSTALL_LINE_CAPACITY + 16];
        memset(line, '#', sizeof line);
        uninstall_describe(words.state.script_text, &entry, line, UNINSTALL_LINE_CAPACITY);
        EXPECT_EQ(line, r.line);
        EXPECT_EQ(line[UNINSTALL_LINE_CAPACITY], '#'); // nothing past the capacity given
    }
}

TEST(hostile_texts, SetupTextsKeepTheirBuffers) {
    const std::string huge(3 * SCRIPT_TOKEN_CAPACITY, 'y');
    prepared script("language=fr\ntext_x_more=\"%s%s%s%%%n\"\ntext_next=\"" + huge + "\"\n");
    char out[32];
    memset(out, '#', sizeof out);
    EXPECT_EQ(script_text(&script.state, KW_TEXT_NEXT, out, 16), 1);
    EXPECT_EQ(std::string(out), "\"" + std::string(14, 'y'));
    EXPECT_EQ(out[16], '#');
    const char *count[] = {"7"};
    ui_text_formatted(ui_text_setup, script.state.script_text, KW_TEXT_X_MORE, out, sizeof out,
                      count, 1);
    EXPECT_STREQ(out, "7%s%s%%n");
    ui_text_formatted(ui_text_setup, script.state.script_text, KW_TEXT_X_DONE, out, sizeof out,
                      nullptr, 0);
    EXPECT_STREQ(out, "Fichiers extraits");
}

} // namespace
