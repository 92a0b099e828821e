// The script queries over scripts loaded from memory: keys, fields, lists and placeholders.
#include "script/script.h"
#include "state/installer_state.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A state of its own holding one prepared script; released at the end of the test.
struct loaded_script {
    installer_state state = {};
    explicit loaded_script(const std::string &text) {
        EXPECT_EQ(load_script_text(&state, text.data(), text.size()), 1);
        text_copy(state.dest_path, sizeof state.dest_path, "C:\\Prog");
    }
    ~loaded_script() { release_script(&state); }
    std::string value(uint32_t key) {
        char out[SCRIPT_TOKEN_CAPACITY];
        return get_value(&state, key, out, sizeof out) ? out : "<absent>";
    }
    std::string field(uint32_t key, int n) {
        char out[SCRIPT_TOKEN_CAPACITY];
        return get_field(&state, key, n, out, sizeof out) ? out : "<absent>";
    }
    std::string expand(const char *in) {
        char out[SCRIPT_EXPAND_CAPACITY];
        expand_placeholders(&state, in, out, sizeof out);
        return out;
    }
    std::string line(uint32_t key, int n) {
        char out[SCRIPT_TOKEN_CAPACITY];
        return list_line(&state, key, n, out, sizeof out) > 0 ? out : "<none>";
    }
};

} // namespace

TEST(GetValue, Table) {
    loaded_script s("text_ok = \"OK\"\n"
                    "bitmap=setup.bmp\n"
                    "default_dest_drive=C:\n"
                    "text_fileexists=\"run \\\"%1\\\"\"\n"
                    "mode=[install]\n"
                    "windowtitle\n"
                    "\"Demo on the next line\"\n"
                    "text_yes=\"first\"\n"
                    "text_yes=\"second\"\n"
                    "text_selectfolder=\"x\"\n"
                    "foldertext=\"\"\n"
                    "steps\n{\ncheckdiskspace=\"In list\"\n}\n"
                    "text_no=Tab\tAnd Blank\n");
    struct {
        uint32_t key;
        const char *value;
    } cases[] = {
        {KW_TEXT_OK, "OK"},
        {KW_BITMAP, "setup.bmp"},
        {KW_DEFAULT_DEST_DRIVE, "C:"},
        {KW_TEXT_FILEEXISTS, "run \"%1\""},
        {KW_MODE, "[install]"},
        {KW_WINDOWTITLE, "Demo on the next line"},
        {KW_TEXT_YES, "first"},         // the first line of a key wins
        {KW_FOLDERTEXT, ""},            // present but empty
        {KW_CHECKDISKSPACE, "In list"}, // lines inside lists are keys too
        {KW_TEXT_NO, "TabAndBlank"},
        {KW_TEXT_CANCEL, "<absent>"},
        {KW_NONE, "<absent>"},
    };
    for (auto &c : cases) EXPECT_EQ(s.value(c.key), c.value) << std::hex << c.key;
}

TEST(GetValue, NoScriptGivesNothing) {
    installer_state empty = {};
    char out[16] = "junk";
    EXPECT_EQ(get_value(&empty, KW_WINDOWTITLE, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(get_value(nullptr, KW_WINDOWTITLE, out, sizeof out), 0);
    EXPECT_EQ(list_item_id(&empty, KW_STEPS, 0), 0u);
    EXPECT_EQ(list_line(&empty, KW_COPY_FILES, 0, out, sizeof out), 0);
    count_pages(&empty);
    EXPECT_EQ(empty.page_count, 0);
}

TEST(GetField, Table) {
    loaded_script s("programgroupyesno=\"Label\",true\n"
                    "launchfile,\"a.exe\",\"b\"\n"
                    "desktopyesno=\"Label, with comma\",true\n"
                    "launchyesno=\"Start\",\n"
                    "extrareg01=\"x\",TRUE,\"\\\"q\\\"\"\n");
    struct {
        uint32_t key;
        int n;
        const char *field;
    } cases[] = {
        {KW_PROGRAMGROUPYESNO, 0, "=\"Label\""},
        {KW_PROGRAMGROUPYESNO, 1, "true"},
        {KW_PROGRAMGROUPYESNO, 2, "<absent>"},
        {KW_LAUNCHFILE, 0, ""},
        {KW_LAUNCHFILE, 1, "a.exe"},
        {KW_LAUNCHFILE, 2, "b"},
        {KW_DESKTOPYESNO, 1, " with comma\""}, // every comma separates, quotes or not
        {KW_LAUNCHYESNO, 1, ""},
        {KW_EXTRAREG01, 1, "TRUE"},
        {KW_EXTRAREG01, 2, "\"q\""},
        {KW_DESKTOP, 1, "<absent>"},
    };
    for (auto &c : cases)
        EXPECT_EQ(s.field(c.key, c.n), c.field) << std::hex << c.key << " " << c.n;
}

TEST(TakeField, Table) {
    struct {
        const char *text;
        int n;
        int found;
        const char *field;
    } cases[] = {
        {"\"a\",,c", 1, 1, ""},
        {"\"a\",,c", 2, 1, "c"},
        {"\"a\",,c", 0, 1, "\"a\""},
        {"\"a\",,c", 3, 0, ""},
        {"a,b\nc,d", 1, 1, "b"},
        {"a,b\nc,d", 2, 0, ""}, // the line ends the search
        {"\"x,y\",z", 1, 1, "y\""},
        {"", 0, 1, ""},
        {"", 1, 0, ""},
        {"a,b", -1, 0, ""},
    };
    for (auto &c : cases) {
        char out[32];
        EXPECT_EQ(take_field(c.text, c.n, out, sizeof out), c.found) << c.text << " " << c.n;
        EXPECT_STREQ(out, c.field) << c.text << " " << c.n;
    }
    char tiny[4];
    EXPECT_EQ(take_field("abcdef,g", 0, tiny, sizeof tiny), 1);
    EXPECT_STREQ(tiny, "abc");
}

TEST(Unquote, Table) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"\"OK\"", "OK"}, {"\"", "\""},
        {"\"\"", ""},     {"\"a", "\"a"},
        {"a\"", "a\""},   {"\\\"x\\\"", "\"x\""},
        {"\\\\", "\\\\"}, {"\"\\\\\"\"", "\\\""},
        {"", ""},         {"\"run \\\"%1\\\"\"", "run \"%1\""},
    };
    for (auto &c : cases) {
        char buffer[64];
        text_copy(buffer, sizeof buffer, c.in);
        unquote(buffer);
        EXPECT_STREQ(buffer, c.out) << c.in;
    }
    unquote(nullptr);
}

TEST(ExpandPlaceholders, Table) {
    loaded_script s("dir01=\"[dest]\\Midi\"\n"
                    "dir02=\"[dir01]\\Sub\"\n"
                    "dir03=\"[dir04]\\Loop\"\n"
                    "dir04=\"[dir03]\\Back\"\n"
                    "dir05=\"[dir03]\\Leans\"\n"
                    "dir06=\"[DIR06]\"\n"
                    "dir07=\"[dir08]\\Undef\"\n");
    struct {
        const char *in, *out;
    } cases[] = {
        {"[dest]\\*.*", "C:\\Prog\\*.*"},
        {"[source]x.exe", "x.exe"},
        {"[DEST]", "C:\\Prog"},
        {"[other]\\x", "[other]\\x"},
        {"[programs]\\x", "[programs]\\x"},
        {"[dir02]", "C:\\Prog\\Midi\\Sub"},
        {"[dest]\\Sub\\[dir01]x", "C:\\Prog\\Sub\\C:\\Prog\\Midix"},
        {"[dir09]\\x", "[dir09]\\x"},  // undefined: kept as written
        {"[dir03]", "[dir03]"},        // a cycle: undefined
        {"[dir05]", "[dir03]\\Leans"}, // leans on a cycle: keeps its placeholder
        {"[dir06]", "[dir06]"},        // refers to itself
        {"[dir07]", "[dir08]\\Undef"},
        {"[dest", "[dest"},
        {"a]b[", "a]b["},
        {"", ""},
    };
    for (auto &c : cases) EXPECT_EQ(s.expand(c.in), c.out) << c.in;

    // in and out may be one buffer
    char same[SCRIPT_EXPAND_CAPACITY] = "[dir01]\\[dest]";
    EXPECT_EQ(expand_placeholders(&s.state, same, same, sizeof same), 1);
    EXPECT_STREQ(same, "C:\\Prog\\Midi\\C:\\Prog");
}

TEST(ExpandFolderKey, DefinedUndefinedAndCycles) {
    loaded_script s("dir01=\"[dest]\\Midi\"\ndir02=[dest]\\Cut\ndir03=\"[dir03]\"\n");
    char out[SCRIPT_EXPAND_CAPACITY];
    EXPECT_EQ(expand_folder_key(&s.state, KW_PH_DIR01, out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\Prog\\Midi");
    EXPECT_EQ(expand_folder_key(&s.state, KW_PH_DIR01 + 1, out, sizeof out), 1);
    EXPECT_STREQ(out, "C:\\Prog"); // an unquoted value is one token: [dest]
    EXPECT_EQ(expand_folder_key(&s.state, KW_PH_DIR01 + 2, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(expand_folder_key(&s.state, KW_PH_DIR01 + 3, nullptr, 0), 0);
    EXPECT_EQ(expand_folder_key(&s.state, KW_DIR01, out, sizeof out), 0); // not a placeholder
    EXPECT_EQ(expand_folder_key(&s.state, KW_PH_DIR01, nullptr, 0), 1);
}

// Nine folder keys that each use the next one many times: every key is expanded once per
// call, so the work stays linear, and the result is cut at 511 characters, never overrun.
TEST(ExpandPlaceholders, FanOutIsCutAndFast) {
    std::string script;
    for (int k = 1; k <= 9; k++) {
        script += "dir0" + std::to_string(k) + "=\"";
        for (int i = 0; i < 60; i++)
            script += k < 9 ? "[dir0" + std::to_string(k + 1) + "]" : std::string("ab");
        script += "\"\n";
    }
    loaded_script s(script);
    char out[SCRIPT_EXPAND_CAPACITY];
    EXPECT_EQ(expand_placeholders(&s.state, "[dir01]", out, sizeof out), 0);
    EXPECT_EQ(strlen(out), SCRIPT_EXPAND_CAPACITY - 1);
    char small[6];
    EXPECT_EQ(expand_placeholders(&s.state, "[dest]", small, sizeof small), 0);
    EXPECT_STREQ(small, "C:\\Pr");
    EXPECT_EQ(expand_placeholders(&s.state, "[dest]", out, sizeof out), 1);
    std::string long_word = "[" + std::string(100, 'd') + "]";
    EXPECT_EQ(s.expand(long_word.c_str()), long_word);
}

TEST(CountPages, WhereverPageWordsStand) {
    loaded_script s("steps\n{\nshowwelcome\n\nshowlicense\nfinished\n}\n"
                    "finished=\"outside the list\"\n"
                    "=startinstall\n"
                    "Showwelcome\n"
                    "showwelcome2\n");
    s.state.current_page = 3;
    s.state.first_page = 1;
    s.state.choice_flags = 8;
    count_pages(&s.state);
    EXPECT_EQ(s.state.page_count, 6);
    EXPECT_EQ(s.state.current_page, 0);
    EXPECT_EQ(s.state.first_page, 0);
    EXPECT_EQ(s.state.choice_flags, 0u);
}

TEST(ListItemId, StepsWithEmptyLines) {
    loaded_script s("steps\n{\nshowwelcome\n\n   \nfinished\ntypo\n}\nstartinstall\n");
    uint32_t expected[] = {KW_SHOWWELCOME, KW_FINISHED, KW_NONE, KW_NONE, KW_NONE};
    for (int n = 0; n < 5; n++) EXPECT_EQ(list_item_id(&s.state, KW_STEPS, n), expected[n]) << n;
    EXPECT_EQ(list_item_id(&s.state, KW_STEPS, -1), 0u);
    EXPECT_EQ(list_item_id(&s.state, KW_INSTALL_STEPS, 0), 0u);
    EXPECT_EQ(list_item_id(&s.state, KW_STEPS, 1 << 30), 0u);
}

TEST(ListLine, EmptyLinesCountAsEntries) {
    loaded_script s("steps\n{\nshowwelcome\n\nfinished\n}\n"
                    "copy_files\n{\n\"A\",[source]a.txt,[dest]\\*.*,overwrite_ask\n\n"
                    "\"B\", [source]b.*,[dest]\\*.*\n}\n"
                    "program_group\n{\n}\n"
                    "desktop_shortcut\n");
    EXPECT_EQ(s.line(KW_STEPS, 0), "showwelcome");
    EXPECT_EQ(s.line(KW_STEPS, 1), "");
    EXPECT_EQ(s.line(KW_STEPS, 2), "finished");
    EXPECT_EQ(s.line(KW_STEPS, 3), "<none>");
    EXPECT_EQ(s.line(KW_COPY_FILES, 0), "\"A\",[source]a.txt,[dest]\\*.*,overwrite_ask");
    EXPECT_EQ(s.line(KW_COPY_FILES, 2), "\"B\",[source]b.*,[dest]\\*.*");
    EXPECT_EQ(s.line(KW_PROGRAM_GROUP, 0), "<none>"); // an empty list
    EXPECT_EQ(s.line(KW_REG_ASSOCIATE, 0), "<none>"); // no list at all

    // The position lets entry readers take fields straight from the prepared text.
    char out[64];
    int32_t pos = list_line(&s.state, KW_COPY_FILES, 2, out, sizeof out);
    ASSERT_GT(pos, 0);
    char field[64];
    EXPECT_EQ(take_field(s.state.script_text + pos, 1, field, sizeof field), 1);
    EXPECT_STREQ(field, "[source]b.*");
    EXPECT_EQ(take_field(s.state.script_text + pos, 3, field, sizeof field), 0);
}

// A list key without braces of its own reads the next braces of the script.
TEST(FindBraces, FirstOpenAndFirstClose) {
    const char *text = "copy_files\nwindowtitle=x\nsteps\n{\nfinished\n}\n";
    int32_t open, close;
    int32_t from = script_find_key(text, KW_COPY_FILES);
    ASSERT_EQ(from, 10);
    EXPECT_EQ(find_braces(text, from, &open, &close), 1);
    EXPECT_EQ(text[open - 1], '{');
    EXPECT_EQ(text[close - 1], '}');
    EXPECT_EQ(find_braces("a\n}\n", 0, &open, &close), 0);
    EXPECT_EQ(open, -1);
    EXPECT_EQ(close, 3);
    EXPECT_EQ(find_braces("steps{\nx\n}", 0, &open, &close), 0); // a glued brace is no brace
}

TEST(LoadScriptText, ReplacesAndRefuses) {
    installer_state state = {};
    state.current_page = 2;
    state.choice_flags = 9;
    ASSERT_EQ(load_script_text(&state, "a=1", 3), 1);
    EXPECT_EQ(state.current_page, 0);
    EXPECT_EQ(state.choice_flags, 0u);
    char *first = state.script_text;
    ASSERT_EQ(load_script_text(&state, "b = 2\0c=3", 9), 1); // a NUL ends the text
    EXPECT_NE(first, nullptr);
    EXPECT_STREQ(state.script_text, "b=2");
    std::string huge(SCRIPT_MAX_SIZE + 1, 'x');
    EXPECT_EQ(load_script_text(&state, huge.data(), huge.size()), 0);
    EXPECT_EQ(state.script_text, nullptr);
    ASSERT_EQ(load_script_text(&state, "", 0), 1);
    EXPECT_STREQ(state.script_text, "");
    release_script(&state);
    EXPECT_EQ(state.script_text, nullptr);
    release_script(&state);
}
