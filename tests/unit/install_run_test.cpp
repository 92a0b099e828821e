// The step driver: rows and their states, results, messages, break, the destination box.
#include "run_support.h"

namespace {

const char STEPS_OK[] = "install_steps\n{\n"
                        "checkdiskspace=\"Ruimte\",\"Te weinig ruimte\",break\n"
                        "createfolders=\"Mappen\",\"Mappen mislukt\"\n"
                        "copyfiles=\"Bestanden\",\"Kopieren mislukt\",break\n"
                        "}\n"
                        "copy_files\n{\n"
                        "\"Teksten\",[source]*.txt,[dest]\\*.*,overwrite_ask\n"
                        "}\n";

TEST_F(run_test, ACompleteRunMarksEveryRowDoneAndStopsTheTimer) {
    prepare({{"a.txt", "alpha"}, {"b.txt", "bravo"}, {"data.bin", "x"}}, STEPS_OK, "C:\\Prog\\\\");
    EXPECT_EQ(run(), RUN_COMPLETE);
    EXPECT_STREQ(g_state.dest_path, "C:\\Prog");
    EXPECT_EQ(step_row(0), "1Ruimte");
    EXPECT_EQ(step_row(1), "1Mappen");
    EXPECT_EQ(step_row(2), "1Bestanden");
    for (int r = 3; r < STEP_ROWS; r++) EXPECT_EQ(step_row(r), ROW_UNUSED);
    EXPECT_EQ(read_text("C:\\Prog\\a.txt"), "alpha");
    EXPECT_EQ(read_text("C:\\Prog\\b.txt"), "bravo");
    EXPECT_FALSE(exists("C:\\Prog\\data.bin"));
    EXPECT_EQ(platform_ui_view.timer_starts, 1);
    EXPECT_EQ(platform_ui_view.timer_id, 0);
    EXPECT_EQ(platform_ui_view.progress_pos, 100);
    EXPECT_TRUE(messages.empty());
    // Each row went waiting, running, done.
    std::vector<std::string> first_row;
    for (auto &change : item_changes)
        if (change.first == IDC_STEP_ROW_FIRST) first_row.push_back(change.second);
    EXPECT_EQ(first_row, (std::vector<std::string>{"0Ruimte", "3Ruimte", "1Ruimte"}));
}

TEST_F(run_test, StepListsAndTheirResults) {
    struct row {
        const char *name;
        const char *steps; // the install_steps entries
        int startmenu, desktop;
        int result;
        std::vector<std::string> rows; // the first rows afterwards
        std::vector<std::string> messages;
    };
    const row rows[] = {
        {"no steps", "", 0, 0, RUN_COMPLETE, {"XXXX", "XXXX"}, {}},
        {"start menu off, desktop on",
         "startmenu=\"Start\",\"s\"\ndesktop=\"Bureau\",\"d\"\n",
         0,
         1,
         RUN_COMPLETE,
         {"2Bureau", "XXXX"}, // its block is empty: no shortcut, a failure
         {"d"}},
        {"a keyword that is no step",
         "createfolders=\"Mappen\"\nwindowtitle\ncreatefolders\n",
         0,
         0,
         STEP_CANCELLED,
         {"1Mappen", "2Titel", "0Mappen"},
         {}},
        {"failure without break goes on",
         "checkdiskspace=\"Ruimte\",\"Geen archief\"\ncreatefolders=\"Mappen\"\n",
         0,
         0,
         RUN_COMPLETE,
         {"2Ruimte", "1Mappen"},
         {"Geen archief"}},
        {"BREAK in capitals stops",
         "checkdiskspace=\"Ruimte\",\"Geen archief\",BREAK\ncreatefolders=\"Mappen\"\n",
         0,
         0,
         STEP_FAILED,
         {"2Ruimte", "0Mappen"},
         {"Geen archief"}},
        {"another word does not",
         "checkdiskspace=\"Ruimte\",\"Geen archief\",stop\ncreatefolders=\"Mappen\"\n",
         0,
         0,
         RUN_COMPLETE,
         {"2Ruimte", "1Mappen"},
         {"Geen archief"}},
        {"no error text", "checkdiskspace=\"Ruimte\"\n", 0, 0, RUN_COMPLETE, {"2Ruimte"}, {""}},
        {"seven entries, six rows",
         "createfolders=\"1\"\ncreatefolders\ncreatefolders\ncreatefolders\ncreatefolders\n"
         "createfolders\ncreatefolders\n",
         0,
         0,
         RUN_COMPLETE,
         {"11", "11", "11", "11", "11", "11"},
         {}},
    };
    for (const row &r : rows) {
        SetUp();
        std::string script =
            std::string("windowtitle=\"Titel\"\ninstall_steps\n{\n") + r.steps + "}\n";
        // No archive at all: the disk space step fails.
        ASSERT_EQ(load_script_text(&g_state, script.data(), script.size()), 1);
        text_copy(g_state.archive_path, sizeof g_state.archive_path, "/nonexistent/setup.pck");
        platform_ui_type(IDC_FOLDER_EDIT, "C:\\Prog");
        platform_ui_tick(IDC_STARTMENU_BOX, r.startmenu);
        platform_ui_tick(IDC_DESKTOP_BOX, r.desktop);
        EXPECT_EQ(run(), r.result) << r.name;
        for (size_t i = 0; i < r.rows.size(); i++) EXPECT_EQ(step_row((int)i), r.rows[i]) << r.name;
        ASSERT_EQ(messages.size(), r.messages.size()) << r.name;
        for (size_t i = 0; i < messages.size(); i++) {
            EXPECT_EQ(messages[i].text, r.messages[i]) << r.name;
            EXPECT_EQ(messages[i].caption, "Fout tijdens installatie");
            EXPECT_EQ(messages[i].style, PLATFORM_MB_ICONERROR);
        }
        EXPECT_TRUE(exists("C:\\Prog\\Uninstal.log")) << r.name;
        EXPECT_EQ(platform_ui_view.timer_id, 0);
        TearDown();
    }
}

TEST_F(run_test, AnUnwritableDestinationStopsOnlyWithBreak) {
    struct row {
        const char *createfolders;
        int result;
        int copied;
    };
    const row rows[] = {
        {"createfolders=\"Mappen\",\"Doelmap onmogelijk\",break\n", STEP_FAILED, 0},
        {"createfolders=\"Mappen\",\"Doelmap onmogelijk\"\n", RUN_COMPLETE, 0},
    };
    for (const row &r : rows) {
        SetUp();
        std::string script = std::string("text_inserror=\"Fout!\"\ninstall_steps\n{\n") +
                             "checkdiskspace=\"Ruimte\"\n" + r.createfolders +
                             "copyfiles=\"Bestanden\",\"Kopieren mislukt\"\n}\n"
                             "copy_files\n{\n\"Teksten\",*.txt,[dest]\\*.*,overwrite_always\n}\n";
        prepare({{"a.txt", "alpha"}}, script, "C:\\Locked\\Prog");
        platform_faults.fail_open_path = "C:\\Locked";
        EXPECT_EQ(run(), r.result);
        ASSERT_GE(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Doelmap onmogelijk");
        EXPECT_EQ(messages[0].caption, "Fout!");
        EXPECT_FALSE(exists("C:\\Locked\\Prog\\a.txt"));
        if (r.result == STEP_FAILED) {
            EXPECT_EQ(messages.size(), 1u);
            EXPECT_EQ(step_row(0), ""); // nothing of the set-up happened
        } else {
            // Logs are lost silently; the copy entry fails once and says so.
            ASSERT_EQ(messages.size(), 2u);
            EXPECT_EQ(messages[1].text,
                      "Fout tijdens 'Teksten'\n\nDe installatie wordt voortgezet");
            EXPECT_EQ(messages[1].style, PLATFORM_MB_ICONINFORMATION);
        }
        TearDown();
    }
}

TEST(engine_math, MulDivRoundsLikeThePlatform) {
    struct row {
        int64_t a, b, c, result;
    };
    const row rows[] = {
        {1, 100, 3, 33}, {2, 100, 3, 67}, {5, 1, 2, 3},
        {-5, 1, 2, -3},  {7, 100, 0, -1}, {3LL << 31, 100, 3LL << 32, 50},
        {0, 100, 7, 0},
    };
    for (const row &r : rows) EXPECT_EQ(engine_mul_div(r.a, r.b, r.c), r.result) << r.a;
}

} // namespace
