// The destination's path arithmetic, the folder browser as the wizard drives it, the launch at
// the end, and the page texts' line ends.
#include "shell/destination.h"
#include "shell/launch.h"
#include "shell/page_text.h"
#include "wizard_support.h"

namespace {

TEST(Destination, DefaultStartFolderAndStatusLine) {
    struct {
        const char *drive, *dir; // default_dest_drive, default_dest_dir
        const char *dest;        // compose_default_dest
    } composed[] = {
        {"", "Demo", "C:\\Demo"},
        {"C:", "\\Demo", "C:\\Demo"},
        {"", "", "C:\\"},
        {"D:\\", "Demo", "D:\\Demo"},
        {"E:", "Korvex Demo", "E:\\Korvex Demo"},
    };
    for (auto &c : composed) {
        installer_state s = {};
        text_copy(s.default_drive, sizeof s.default_drive, c.drive);
        text_copy(s.default_dir, sizeof s.default_dir, c.dir);
        compose_default_dest(&s);
        EXPECT_STREQ(s.dest_path, c.dest) << c.drive << " + " << c.dir;
    }
    struct {
        const char *dest, *dir, *start;
    } opened[] = {
        {"D:\\Programs\\Demo", "Demo", "D:\\Programs"},
        {"D:\\Demo", "Demo", "D:\\"},
        {"D:\\Other", "Demo", "D:\\Other"},
        {"d:\\programs\\DEMO", "Demo", "d:\\programs"},
        {"D:", "Demo", "D:\\"},
        {"", "Demo", ""},
        {"Demo", "Demo", "Demo"}, // no backslash: the text after position 0 is "emo"
        {"C:\\Demo\\", "Demo", "C:\\Demo\\"},
    };
    for (auto &c : opened) {
        installer_state s = {};
        text_copy(s.dest_path, sizeof s.dest_path, c.dest);
        text_copy(s.default_dir, sizeof s.default_dir, c.dir);
        char out[PATH_CAPACITY];
        browse_start_folder(&s, out, sizeof out);
        EXPECT_STREQ(out, c.start) << c.dest;
    }
    struct {
        const char *selected, *dir, *status;
    } status[] = {
        {"E:\\Tools", "Demo", "E:\\Tools\\Demo"},
        {"E:\\", "Demo", "E:\\Demo"},
        {"", "Demo", "\\Demo"},
        {"E:\\Tools", "\\Demo", "E:\\Tools\\Demo"},
    };
    for (auto &c : status) {
        installer_state s = {};
        text_copy(s.default_dir, sizeof s.default_dir, c.dir);
        char out[PATH_CAPACITY];
        browse_status_text(&s, c.selected, out, sizeof out);
        EXPECT_STREQ(out, c.status) << c.selected;
    }
    // A path at the capacity stays terminated.
    installer_state s = {};
    std::string longest(PATH_CAPACITY - 1, 'x');
    text_copy(s.default_dir, sizeof s.default_dir, "Demo");
    char out[PATH_CAPACITY];
    browse_status_text(&s, longest.c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), PATH_CAPACITY - 1);
}

struct browse_answer {
    int chosen;
    const char *folder;
    std::string status; // what the browser's status line showed for the folder
};

TEST_F(wizard_test, BrowseOpensAtTheParentAndAppendsTheOwnFolder) {
    struct {
        const char *typed;  // the folder box before Browse
        const char *title;  // text_pickfolder line, or empty
        int chosen;         // the user picked a folder
        const char *folder; // the one picked
        const char *start, *shown_title, *box;
    } cases[] = {
        {"D:\\Programs\\Demo", "", 1, "E:\\Tools", "D:\\Programs",
         "Kies de map waarin het programma geinstalleerd dient te worden", "E:\\Tools\\Demo"},
        {"D:\\Demo", "text_pickfolder=\"Waar?\"\n", 1, "E:\\", "D:\\", "Waar?", "E:\\Demo"},
        {"D:\\Other", "", 0, "", "D:\\Other",
         "Kies de map waarin het programma geinstalleerd dient te worden", "D:\\Other"},
    };
    platform_ui.browse = [](const platform_browse *b, char *out, size_t cap, void *self) {
        browse_answer *a = static_cast<browse_answer *>(static_cast<wizard_test *>(self)->extra);
        char status[PATH_CAPACITY];
        b->status_text(a->folder, status, sizeof status, b->context);
        a->status = status;
        text_copy(out, cap, a->folder);
        return a->chosen;
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.typed);
        ASSERT_EQ(open(std::string(wizard_demo_script()) + c.title), 1);
        browse_answer answer = {c.chosen, c.folder, ""};
        extra = &answer;
        platform_ui_type(IDC_FOLDER_EDIT, c.typed);
        clear_log();
        press(IDC_BROWSE);
        EXPECT_EQ(log().substr(0, log().find('\n')),
                  std::string("browse ") + c.shown_title + "|" + c.start);
        EXPECT_EQ(text(IDC_FOLDER_EDIT), c.box);
        if (c.chosen) {
            EXPECT_EQ(answer.status, c.box);
        }
        release_script(&g_state);
    }
    // A title longer than the browser's buffer is cut to 255 characters.
    std::string title(400, 't');
    ASSERT_EQ(open(std::string(wizard_demo_script()) + "text_pickfolder=\"" + title + "\"\n"), 1);
    browse_answer answer = {0, "", ""};
    extra = &answer;
    clear_log();
    press(IDC_BROWSE);
    EXPECT_EQ(log().substr(0, log().find('|')), "browse " + title.substr(0, 255));
}

TEST_F(wizard_test, LaunchTakesFieldsOneAndTwoExpandedAndUnquoted) {
    struct {
        const char *line; // the launchfile line, or empty
        const char *opened;
    } cases[] = {
        {"launchfile,\"[dest]\\demo.exe\",\"[dest]\"\n", "open C:\\Demo\\demo.exe|C:\\Demo\n"},
        {"launchfile,\"[dest]\\demo.exe\"\n", "open C:\\Demo\\demo.exe|\n"},
        {"launchfile,[dir01]\\lees.txt,[dir01]\n",
         "open C:\\Demo\\Docs\\lees.txt|C:\\Demo\\Docs\n"},
        {"launchfile\n", ""},
        {"", ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.line);
        std::string script = "default_dest_dir=Demo\ndir01=\"[dest]\\Docs\"\n";
        script += c.line;
        ASSERT_EQ(open(script), 1);
        clear_log();
        EXPECT_EQ(launch_installed_program(nullptr, &g_state), 1);
        EXPECT_EQ(log(), c.opened);
        release_script(&g_state);
    }
}

TEST(PageText, BareLineFeedsBecomeLineBreaks) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"", ""},
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"\n\n", "\r\n\r\n"},
        {"a\rb\n", "a\rb\r\n"},
        {"\r\n\n", "\r\n\r\n"},
    };
    for (auto &c : cases) {
        std::string in = c.in;
        std::vector<char> out(2 * in.size() + 1);
        size_t n = page_text_line_ends(in.data(), in.size(), out.data());
        EXPECT_EQ(std::string(out.data(), n), c.out);
        EXPECT_EQ(out[n], 0);
    }
}

} // namespace
