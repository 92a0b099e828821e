// The wizard's page model against the POSIX backend's dialog: start-up order, the layout
// arithmetic, each page's buttons and captions, and the transitions of the state table.
#include "wizard_support.h"

#include <sstream>

namespace {

// Position of the first log line starting with prefix, or npos.
size_t line_at(const std::string &log, const std::string &prefix) {
    if (log.compare(0, prefix.size(), prefix) == 0) return 0;
    size_t at = log.find("\n" + prefix);
    return at == std::string::npos ? at : at + 1;
}

std::string rect_text(const platform_rect &r) {
    std::ostringstream s;
    s << r.left << "," << r.top << "," << r.right - r.left << "," << r.bottom - r.top;
    return s.str();
}

TEST_F(wizard_test, StartUpRunsItsStepsInOrder) {
    std::string script = std::string(wizard_demo_script()) + "text_browse=\"&Kies...\"\n";
    ASSERT_EQ(open(script, wizard_demo_members()), 1);
    const std::string l = log();
    const char *order[] = {"caption Demo installeren",
                           "clip 1000",
                           "clip 1015",
                           "window 0,0,1024,738",
                           "move 1000 0,0,1024,738",
                           "text 5000 Installeren in:",
                           "text 5001 C:\\Demo",
                           "check 5003 1",
                           "check 5004 0",
                           "check 5031 1",
                           "limit 5010",
                           "text 5010 Licentie",
                           "text 5051 Welkom\r\nbij de demo",
                           "move 6002",
                           "move 6007",
                           "text 5002 &Kies...",
                           "picture",
                           "show 5050",
                           "text 1 Volgende  &>"};
    size_t last = 0;
    for (const char *step : order) {
        size_t at = line_at(l, step);
        ASSERT_NE(at, std::string::npos) << step << "\n" << l;
        EXPECT_GE(at, last) << step;
        last = at;
    }
    EXPECT_EQ(line_at(l, "check 5008"), std::string::npos); // no extrareg01 line
    EXPECT_EQ(text(IDC_EXTRAREG_BOX), "ExtraReg01");
    EXPECT_EQ(window_width, 1024);
    EXPECT_EQ(window_height, 738);
    EXPECT_STREQ(g_state.default_drive, "C:");
    // The rows touch, from the first row's place down.
    for (int k = 0; k < STEP_ROWS; k++)
        EXPECT_EQ(rect_text(rect(IDC_STEP_ROW_FIRST + k)),
                  "11," + std::to_string(185 + 15 * k) + ",160,15");
    EXPECT_EQ(shown_group(), 5050);
    EXPECT_EQ(text(IDC_BACK), "Annuleren");
}

TEST_F(wizard_test, AFatalStartShowsNoPage) {
    struct {
        const char *what;
        bool archive;
        const char *message;
    } cases[] = {{"no archive", false, TEXT_NO_ARCHIVE}, {"no script", true, TEXT_NO_SCRIPT}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        memset(&g_state, 0, sizeof g_state);
        std::string archive = root.path + "/other.pck";
        if (c.archive) write_file(archive, pack_members({{"readme.txt", "x"}}));
        text_copy(g_state.archive_path, sizeof g_state.archive_path,
                  c.archive ? archive.c_str() : "/nonexistent/setup.pck");
        platform_ui_open_wizard();
        EXPECT_EQ(wizard_init(nullptr, &g_state, nullptr), 0);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, c.message);
        EXPECT_EQ(messages[0].caption, CAPTION_FATAL);
        EXPECT_EQ(platform_ui_view.result, WIZARD_CANCELLED);
        EXPECT_EQ(log().find("show"), std::string::npos) << log();
    }
}

TEST_F(wizard_test, LayoutGroupCentresTheGroupFrameAndButtons) {
    // Group 5030 of the template: 5032 at 10,350 (20x20), 5030 at 50,350 (155x8), 5031 at
    // 50,375 (150x10): box 10,350 .. 205,385, 195 x 35. Buttons 385..540 x 365..385.
    struct {
        int32_t cw, ch;
        const char *frame, *done_text, *back, *next;
    } cases[] = {
        // x0 = (1024-195)/2 = 414, y0 = (738-71)/2 = 333, dx 404, dy -17;
        // buttons shifted by (1024-155)/2 - 385 = 49, top 333 + 35 + 24.
        {1024, 738, "406,325,211,59", "454,333,155,8", "434,392,65,20", "524,392,65,20"},
        // Smaller than the group: x0 = -95/2 = -47 and y0 = -31/2 = -15, truncated toward 0.
        {100, 40, "-55,-23,211,59", "-7,-15,155,8", "-27,44,65,20", "63,44,65,20"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.cw);
        platform_ui_open_wizard();
        platform_ui_view.window = {0, 0, c.cw, c.ch};
        layout_group(nullptr, 5030, 1);
        EXPECT_EQ(rect_text(rect(IDC_PAGE_FRAME)), c.frame);
        EXPECT_EQ(rect_text(rect(IDC_DONE_TEXT)), c.done_text);
        EXPECT_EQ(rect_text(rect(IDC_BACK)), c.back);
        EXPECT_EQ(rect_text(rect(IDC_NEXT)), c.next);
        for (int id : {5030, 5031, 5032}) EXPECT_EQ(visible(id), 1);
        EXPECT_EQ(log().substr(log().size() - 20), "back 1015\nback 1000\n");
    }
    layout_group(nullptr, 5030, 0);
    for (int id : {5030, 5031, 5032}) EXPECT_EQ(visible(id), 0);
    EXPECT_EQ(rect_text(rect(IDC_DONE_TEXT)), "-7,-15,155,8"); // hiding moves nothing
}

TEST_F(wizard_test, EachPageItsGroupButtonsAndCaptions) {
    struct {
        const char *steps; // the steps list
        const char *texts; // extra script lines
        int page;
        int group, next_visible, next_enabled, back_visible;
        const char *back, *next;
    } cases[] = {
        {"showwelcome showlicense foldersettings startinstall finished", "", 0, 5050, 1, 1, 1,
         "Annuleren", "Volgende  &>"},
        {"showwelcome showlicense foldersettings startinstall finished", "", 1, 5010, 1, 0, 1,
         "&<  Vorige", "Volgende  &>"},
        {"showwelcome showlicense foldersettings startinstall finished", "", 2, 5000, 1, 1, 1,
         "&<  Vorige", "Volgende  &>"},
        {"showwelcome showlicense foldersettings startinstall finished", "", 3, 6000, 0, 1, 1,
         "&<  Vorige", "&Start installatie"},
        {"showwelcome showlicense foldersettings startinstall finished", "", 4, 5030, 1, 1, 0,
         "&<  Vorige", "Sluiten"},
        // A list ending with the start page puts "&Start installatie" on the folder page.
        {"showwelcome foldersettings startinstall", "", 1, 5000, 1, 1, 1, "&<  Vorige",
         "&Start installatie"},
        {"foldersettings startinstall", "", 0, 5000, 1, 1, 1, "Annuleren", "&Start installatie"},
        // The script's texts replace the built-in ones.
        {"showwelcome showlicense foldersettings startinstall finished",
         "text_cancel=Stop\ntext_next=Verder\n", 0, 5050, 1, 1, 1, "Stop", "Verder"},
        {"showwelcome showlicense foldersettings startinstall finished",
         "text_prev=Terug\ntext_close=Klaar\n", 4, 5030, 1, 1, 0, "Terug", "Klaar"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.steps) + " page " + std::to_string(c.page));
        std::string steps = c.steps, script = "steps\n{\n";
        for (char &ch : steps)
            if (ch == ' ') ch = '\n';
        script += steps + "\n}\n" + c.texts;
        ASSERT_EQ(open(script), 1);
        g_state.current_page = c.page;
        ASSERT_EQ(show_page(nullptr, &g_state), 1);
        EXPECT_EQ(shown_group(), c.group);
        for (int base : {5000, 5010, 5030, 5050, 6000}) {
            if (base != c.group) {
                EXPECT_EQ(visible(base), 0) << base;
            }
        }
        EXPECT_EQ(visible(IDC_NEXT), c.next_visible);
        EXPECT_EQ(enabled(IDC_NEXT), c.next_enabled);
        EXPECT_EQ(visible(IDC_BACK), c.back_visible);
        EXPECT_EQ(text(IDC_BACK), c.back);
        EXPECT_EQ(text(IDC_NEXT), c.next);
        release_script(&g_state);
    }
    // An index that selects no page changes nothing.
    ASSERT_EQ(open("steps\n{\nshowwelcome\n}\nshowlicense\n"), 1);
    clear_log();
    g_state.current_page = 1;
    EXPECT_EQ(show_page(nullptr, &g_state), 0);
    EXPECT_EQ(log(), "");
}

// One user's way through the wizard: the actions, then where it stands.
struct walk {
    const char *what;
    const char *steps;   // the steps list, blank-separated
    const char *actions; // n next, b back, a agree, d disagree, l launch box off
    int page;            // current_page afterwards
    int ended, result;   // the dialog ended, with this result
    bool launched;       // the program was opened at the destruction
};

TEST_F(wizard_test, TheStateTableWalked) {
    const char *full = "showwelcome showlicense foldersettings startinstall finished";
    const walk walks[] = {
        {"licence not agreed: Next does nothing", full, "nn", 1, 0, 0, false},
        {"agreed: on to the folder page", full, "nan", 2, 0, 0, false},
        {"disagree ticked: Next ends the wizard", full, "nadn", 1, 1, WIZARD_CANCELLED, false},
        {"Back on the licence page", full, "nb", 0, 0, 0, false},
        {"Cancel on the first page ends it", full, "b", 0, 1, WIZARD_CANCELLED, false},
        {"Back from the folder page", full, "nanb", 1, 0, 0, false},
        {"the run completes; Next leaves the start page", full, "nannn", 4, 0, 0, false},
        {"Next on the finish page launches", full, "nannnn", 5, 1, WIZARD_FINISHED, true},
        {"launch box cleared: no launch", full, "nannnln", 5, 1, WIZARD_FINISHED, false},
        {"Escape on the finish page: no launch", full, "nannnb", 4, 1, WIZARD_FINISHED, false},
        {"steps ending with the start page", "showwelcome foldersettings startinstall", "nnn", 3, 1,
         WIZARD_FINISHED, true},
        {"no steps at all: the first Next ends", "", "n", 1, 1, WIZARD_FINISHED, true},
    };
    for (const walk &w : walks) {
        SCOPED_TRACE(w.what);
        std::string steps = w.steps, script = wizard_demo_script();
        for (char &ch : steps)
            if (ch == ' ') ch = '\n';
        size_t at = script.find("steps\n{\n");
        size_t end = script.find("}\n", at);
        script.replace(at, end + 2 - at, w.steps[0] ? "steps\n{\n" + steps + "\n}\n" : "");
        ASSERT_EQ(open(script, wizard_demo_members()), 1);
        for (const char *a = w.actions; *a; a++) {
            switch (*a) {
            case 'n':
                press(IDC_NEXT);
                break;
            case 'b':
                press(IDC_BACK);
                break;
            case 'a':
                tick(IDC_AGREE);
                EXPECT_EQ(enabled(IDC_NEXT), 1);
                break;
            case 'd':
                tick(IDC_DISAGREE);
                EXPECT_EQ(enabled(IDC_NEXT), 0);
                break;
            case 'l':
                tick(IDC_LAUNCH_BOX, 0);
                break;
            }
            if (platform_ui_view.ended) break;
        }
        EXPECT_EQ(g_state.current_page, w.page);
        EXPECT_EQ(platform_ui_view.ended, w.ended);
        if (w.ended) {
            EXPECT_EQ(platform_ui_view.result, w.result);
        }
        wizard_destroy(nullptr, &g_state);
        bool opened = log().find("open C:\\Demo\\demo.exe|C:\\Demo\n") != std::string::npos;
        EXPECT_EQ(opened, w.launched) << log();
        EXPECT_EQ(g_state.script_text, nullptr);
        platform_ui_view.ended = 0;
    }
}

TEST_F(wizard_test, TheRunAndItsResults) {
    struct {
        const char *what;
        int no_space; // the disk space check fails (with break)
        int back_at_pump, next_at_pump;
        int answer; // to "Installatie afbreken ?"
        int done;   // 1: completed on the start page; 0: the folder page is back
    } cases[] = {
        {"completes", 0, 0, 0, 0, 1},
        {"Back, then No: the run goes on", 0, 3, 0, PLATFORM_IDNO, 1},
        {"Back, then Yes: cancelled", 0, 3, 0, PLATFORM_IDYES, 0},
        {"a failing step with break", 1, 0, 0, 0, 0},
        {"Next during the run starts no second run", 0, 0, 3, 0, 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string script = std::string(wizard_demo_script()) + "text_abort=\"Stoppen ?\"\n";
        platform_faults.free_space = c.no_space ? 0 : -1;
        ASSERT_EQ(open(script, wizard_demo_members()), 1);
        messages.clear();
        pumps = 0;
        back_at_pump = c.back_at_pump;
        next_at_pump = c.next_at_pump;
        int runs = platform_ui_view.timer_starts;
        if (c.answer) box_answers.push_back(c.answer);
        press(IDC_NEXT);
        tick(IDC_AGREE);
        press(IDC_NEXT);
        clear_log();
        press(IDC_NEXT); // Start
        if (c.back_at_pump) {
            ASSERT_GE(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "Stoppen ?");
            EXPECT_EQ(messages[0].caption, "");
            EXPECT_EQ(messages[0].style, PLATFORM_MB_YESNO | PLATFORM_MB_ICONQUESTION);
        }
        EXPECT_EQ(platform_ui_view.timer_id, 0);
        EXPECT_EQ(platform_ui_view.timer_starts, runs + 1);
        if (c.done) {
            EXPECT_EQ(g_state.current_page, 3);
            EXPECT_EQ(text(IDC_STATUS_LINE), "Installatie voltooid");
            EXPECT_EQ(visible(IDC_BACK), 0);
            EXPECT_EQ(visible(IDC_NEXT), 1);
            EXPECT_EQ(text(IDC_NEXT), "Voltooien");
            EXPECT_EQ(platform_ui_view.focus, IDC_NEXT);
            EXPECT_EQ(platform_ui_view.beeps, 1);
            EXPECT_EQ(read_text("C:\\Demo\\license.txt"), "Licentie");
            // Escape now only asks; Next moves on to the finish page.
            box_answers.push_back(PLATFORM_IDYES);
            press(IDC_BACK);
            EXPECT_EQ(g_state.current_page, 3);
            press(IDC_NEXT);
            EXPECT_EQ(shown_group(), 5030);
        } else {
            if (c.no_space) {
                ASSERT_EQ(messages.size(), 1u);
                EXPECT_EQ(messages[0].text, "Te weinig ruimte");
                EXPECT_EQ(messages[0].caption, "Fout tijdens installatie");
            }
            EXPECT_EQ(g_state.current_page, 2);
            EXPECT_EQ(shown_group(), 5000);
            EXPECT_EQ(visible(IDC_NEXT), 1);
            EXPECT_EQ(platform_ui_view.beeps, 0);
        }
        release_member_table(&g_state);
        release_script(&g_state);
        platform_ui_view.beeps = 0;
        platform_ui_view.focus = 0;
    }
}

TEST_F(wizard_test, LongLicenceShownWholeWithLineBreaks) {
    std::string licence;
    while (licence.size() < 3 * TEXT_BUFFER_CAPACITY)
        licence += "Artikel " + std::to_string(licence.size()) + "\n";
    ASSERT_EQ(open(wizard_demo_script(), {{"license.txt", licence}}), 1);
    std::string expected;
    for (char c : licence) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::string shown;
    for (auto &change : item_changes)
        if (change.first == IDC_LICENSE_TEXT) shown = change.second;
    EXPECT_EQ(shown.size(), expected.size());
    EXPECT_TRUE(shown == expected);
    EXPECT_NE(line_at(log(), "limit 5010 2097152"), std::string::npos);
}

} // namespace

TEST_F(wizard_test, ControlsSpeakTheScriptsLanguageAndTakeItsTexts) {
    const struct {
        const char *extra; // lines added to the demo script
        int item;
        const char *text;
    } cases[] = {
        {"", IDC_DONE_TEXT, "De installatie is voltooid"},
        {"language=en\n", IDC_BACK, "Cancel"},
        {"language=en\n", IDC_NEXT, "&Next >"},
        {"language=en\n", IDC_BROWSE, "B&rowse..."},
        {"language=en\n", IDC_AGREE, "I &accept the agreement"},
        {"language=en\n", IDC_DISAGREE, "I &do not accept the agreement"},
        {"language=en\n", IDC_DONE_TEXT, "The installation is complete"},
        {"language=en\n", IDC_PROGRESS_GROUP, " Progress "},
        {"language=en\n", IDC_STATUS_LINE, "files..."},
        {"language=de\n", IDC_DISAGREE, "Ich stimme &nicht zu"},
        {"language=fr\n", IDC_BROWSE, "Parc&ourir..."},
        {"language=fr\ntext_browse=\"&Choisir...\"\n", IDC_BROWSE, "&Choisir..."},
        // The finish page's text follows text_ins_complete when only that is set.
        {"language=en\ntext_ins_complete=\"All done\"\n", IDC_DONE_TEXT, "All done"},
        {"text_ins_complete=\"Klaar\"\ntext_finished=\"Klaar!\"\n", IDC_DONE_TEXT, "Klaar!"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(std::string(c.extra) + std::to_string(c.item));
        ASSERT_EQ(open(std::string(wizard_demo_script()) + c.extra, wizard_demo_members()), 1);
        EXPECT_EQ(text(c.item), c.text);
    }
}

TEST_F(wizard_test, OptionBoxesTheScriptDoesNotUseStayHidden) {
    const struct {
        const char *lines; // the script's option keys and lists
        int startmenu, desktop, extrareg, launch;
    } cases[] = {
        {"", 0, 0, 0, 0},
        {"programgroupyesno=\"Menu\",true\n", 1, 0, 0, 0},
        {"program_group\n{\n\"G\",\"a.lnk\",\"[dest]\\a.exe\"\n}\n", 1, 0, 0, 0},
        {"desktopyesno=\"Desktop\",false\n", 0, 1, 0, 0},
        {"desktop_shortcut\n{\n\"\",\"a.lnk\",\"[dest]\\a.exe\"\n}\n", 0, 1, 0, 0},
        {"extrareg01=\"Also .ab\",false\n", 0, 0, 1, 0},
        {"reg_associate_01\n{\n\"A.B\",\".ab\",\"A\"\n}\n", 0, 0, 1, 0},
        {"launchyesno=\"Start\",true\n", 0, 0, 0, 1},
        {"launchfile,\"[dest]\\a.exe\",\"[dest]\"\n", 0, 0, 0, 1},
        {"programgroupyesno=\"M\",true\ndesktopyesno=\"D\",true\nextrareg01=\"X\",true\n"
         "launchyesno=\"L\",true\n",
         1, 1, 1, 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.lines);
        std::string script = std::string("steps\n{\nfoldersettings\nfinished\n}\n") + c.lines;
        ASSERT_EQ(open(script), 1);
        ASSERT_EQ(shown_group(), IDC_FOLDER_PROMPT);
        EXPECT_EQ(visible(IDC_STARTMENU_BOX), c.startmenu);
        EXPECT_EQ(visible(IDC_STARTMENU_ICON), c.startmenu);
        EXPECT_EQ(visible(IDC_DESKTOP_BOX), c.desktop);
        EXPECT_EQ(visible(IDC_SHORTCUT_ICON), c.desktop);
        EXPECT_EQ(visible(IDC_EXTRAREG_BOX), c.extrareg);
        EXPECT_EQ(visible(IDC_FOLDER_ICON), 1);
        EXPECT_EQ(visible(IDC_FOLDER_EDIT), 1);
        g_state.current_page = 1;
        ASSERT_EQ(show_page(nullptr, &g_state), 1);
        ASSERT_EQ(shown_group(), IDC_DONE_TEXT);
        EXPECT_EQ(visible(IDC_LAUNCH_BOX), c.launch);
        EXPECT_EQ(visible(IDC_DONE_ICON), 1);
        // Back on the folder page the boxes stay as the script asks.
        g_state.current_page = 0;
        show_page(nullptr, &g_state);
        EXPECT_EQ(visible(IDC_EXTRAREG_BOX), c.extrareg);
    }
}
