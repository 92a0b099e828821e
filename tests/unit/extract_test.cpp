// The extract-only mode through the POSIX seam: the member path rule it shares with the packer,
// the list entries, the select-all toggle, the OK checks and the unpack rules, with a fake list
// box and a user who answers every message box.
#include "archive/lza_member_path.h"
#include "platform/posix/platform_posix_list.h"
#include "run_support.h"
#include "script/script.h"
#include "shell/extract.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(MemberPath, RefusesEveryNameThatLeavesTheFolder) {
    const struct {
        const char *name;
        const char *path; // expected relative path, or null when refused
        lza_path_refusal refusal;
    } cases[] = {
        {"readme.txt", "readme.txt", LZA_PATH_ACCEPTED},
        {"docs\\a.txt", "docs\\a.txt", LZA_PATH_ACCEPTED},
        {"docs/./sub//a.txt", "docs\\sub\\a.txt", LZA_PATH_ACCEPTED},
        {"console.txt", "console.txt", LZA_PATH_ACCEPTED},
        {"com0", nullptr, LZA_PATH_DEVICE},
        {"Lpt0.txt", nullptr, LZA_PATH_DEVICE},
        {"com10", "com10", LZA_PATH_ACCEPTED},
        {"..\\evil.txt", nullptr, LZA_PATH_PARENT},
        {"docs\\..\\..\\evil.txt", nullptr, LZA_PATH_PARENT},
        {"docs/../evil.txt", nullptr, LZA_PATH_PARENT},
        {"...\\evil.txt", nullptr, LZA_PATH_PARENT},
        {"a\\.. \\evil.txt", nullptr, LZA_PATH_PARENT},
        {"\\evil.txt", nullptr, LZA_PATH_ABSOLUTE},
        {"/etc/passwd", nullptr, LZA_PATH_ABSOLUTE},
        {"\\\\server\\share\\evil.txt", nullptr, LZA_PATH_ABSOLUTE},
        {"C:evil.txt", nullptr, LZA_PATH_DRIVE},
        {"C:\\evil.txt", nullptr, LZA_PATH_DRIVE},
        {"readme.txt:hidden", nullptr, LZA_PATH_DRIVE},
        {"docs\\CON", nullptr, LZA_PATH_DEVICE},
        {"nul.txt", nullptr, LZA_PATH_DEVICE},
        {"Lpt9 .log", nullptr, LZA_PATH_DEVICE},
        {"", nullptr, LZA_PATH_EMPTY},
        {".\\", nullptr, LZA_PATH_EMPTY},
    };
    for (const auto &c : cases) {
        char out[LZA_MEMBER_PATH_CAPACITY] = "x";
        lza_path_refusal why = LZA_PATH_TOO_LONG;
        int ok = lza_member_path(c.name, out, sizeof out, &why);
        EXPECT_EQ(ok, c.path != nullptr) << c.name;
        EXPECT_EQ(why, c.refusal) << c.name;
        EXPECT_STREQ(out, c.path ? c.path : "") << c.name;
    }
    char small[8];
    lza_path_refusal why;
    EXPECT_EQ(lza_member_path("folder\\a.txt", small, sizeof small, &why), 0);
    EXPECT_EQ(why, LZA_PATH_TOO_LONG);
}

// An MS-DOS date (its time half zero).
uint32_t dos_date(int day, int month, int year) {
    return (uint32_t)(((year - 1980) << 25) | (month << 21) | (day << 16));
}

TEST(ExtractEntry, NameDateAndSizeWithoutLeadingZeros) {
    const struct {
        const char *name;
        uint32_t time, size;
        const char *text;
    } cases[] = {
        {"license.txt", dos_date(11, 5, 2000) | 0x6C2F, 5295, "license.txt\t11-5-2000\t5295"},
        {"docs\\a.txt", dos_date(31, 12, 2107), 0, "docs\\a.txt\t31-12-2107\t0"},
        {"big.bin", dos_date(1, 1, 1980), 4000000000u, "big.bin\t1-1-1980\t4000000000"},
        {"", 0, 7, "\t0-0-1980\t7"},
    };
    for (const auto &c : cases) {
        lza_header h = {};
        h.file_time = c.time;
        h.unpacked_size = c.size;
        char out[EXTRACT_ENTRY_CAPACITY];
        EXPECT_EQ(extract_entry_text(c.name, &h, out, sizeof out), strlen(c.text));
        EXPECT_STREQ(out, c.text);
    }
    EXPECT_STREQ(extract_display_name("docs\\sub\\a.txt"), "sub\\a.txt");
    EXPECT_STREQ(extract_display_name("a.txt"), "a.txt");
}

struct dated_member {
    std::string name, content;
    uint32_t time;
};

struct extract_test : run_test {
    std::vector<std::string> statuses;
    std::vector<int> yes_no; // answers to Yes/No questions in order; No when they run out
    std::vector<int64_t> offsets;
    std::vector<int> presses_while_busy;
    std::string archive;
    extract_session session;

    void SetUp() override {
        run_test::SetUp();
        platform_list_reset();
        extract_session_start(&session);
        platform_ui.message_box = [](const char *text, const char *caption, uint32_t style,
                                     void *self) {
            extract_test *t = static_cast<extract_test *>(self);
            t->messages.push_back({text, caption, style});
            if ((style & 0xF) != PLATFORM_MB_YESNO) return (int)PLATFORM_IDOK;
            int answer = t->yes_no.empty() ? (int)PLATFORM_IDNO : t->yes_no.front();
            if (!t->yes_no.empty()) t->yes_no.erase(t->yes_no.begin());
            return answer;
        };
        platform_ui.item_text = [](int item, const char *text, void *self) {
            if (item == IDC_EXTRACT_STATUS)
                static_cast<extract_test *>(self)->statuses.push_back(text);
        };
    }
    void TearDown() override {
        platform_list_reset();
        run_test::TearDown();
    }

    // Writes the members' records (each with its date) as ROOT/setup.pck, plus tail bytes.
    void make_archive(const std::vector<dated_member> &members, const bytes &tail = {}) {
        bytes all;
        offsets.clear();
        for (const dated_member &m : members) {
            offsets.push_back((int64_t)all.size());
            bytes record = pack_members({{m.name, m.content}});
            for (int i = 0; i < 4; i++) record[16 + i] = (unsigned char)(m.time >> (8 * i));
            all.insert(all.end(), record.begin(), record.end());
        }
        all.insert(all.end(), tail.begin(), tail.end());
        archive = root.path + "/setup.pck";
        write_file(archive, all);
        text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.c_str());
        g_state.archive_offset = 0;
    }
    std::vector<std::string> list() {
        std::vector<std::string> out;
        for (int i = 0; i < platform_list_count(nullptr, IDC_MEMBER_LIST); i++) {
            char text[EXTRACT_ENTRY_CAPACITY];
            platform_list_text(nullptr, IDC_MEMBER_LIST, i, text, sizeof text);
            out.push_back(text);
        }
        return out;
    }
    int press(int id) { return extract_command(nullptr, &session, id); }
};

TEST_F(extract_test, ListsEveryRecordSortedWithItsOffset) {
    make_archive({{"license.txt", std::string(5295, 'l'), dos_date(11, 5, 2000)},
                  {"Setup.txt", "steps\r\n", dos_date(2, 3, 2026)},
                  {"setup.bmp", "BM", dos_date(28, 2, 1999)}});
    EXPECT_EQ(extract_fill_list(nullptr), 3);
    EXPECT_EQ(list(),
              (std::vector<std::string>{"license.txt\t11-5-2000\t5295", "setup.bmp\t28-2-1999\t2",
                                        "Setup.txt\t2-3-2026\t7"}));
    EXPECT_EQ(platform_list_data(nullptr, IDC_MEMBER_LIST, 0), offsets[0]);
    EXPECT_EQ(platform_list_data(nullptr, IDC_MEMBER_LIST, 1), offsets[2]);
    EXPECT_EQ(platform_list_data(nullptr, IDC_MEMBER_LIST, 2), offsets[1]);

    // The start-up of the real dialog: columns set, and this test program holds no archive.
    platform_list_reset();
    memset(&g_state, 0, sizeof g_state);
    EXPECT_EQ(extract_start(nullptr), -1);
    EXPECT_EQ(platform_list_view.tab_count, 2);
    EXPECT_EQ(platform_list_view.tab_stops[0], 150);
    EXPECT_EQ(platform_list_view.tab_stops[1], 200);
    EXPECT_EQ(platform_list_view.extent, 500);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Geen installatiebestanden gevonden !");
    EXPECT_EQ(messages[0].caption, "Installatie onmogelijk");
    EXPECT_EQ(messages[0].style, (uint32_t)PLATFORM_MB_ICONERROR);
    EXPECT_EQ(platform_list_count(nullptr, IDC_MEMBER_LIST), 0);
}

TEST_F(extract_test, SelectAllTogglesProgramWideAndHandSelectionLeavesTheToggle) {
    make_archive({{"a.txt", "a", 0}, {"b.txt", "b", 0}, {"c.txt", "c", 0}});
    ASSERT_EQ(extract_fill_list(nullptr), 3);
    EXPECT_EQ(press(IDC_SELECT_ALL), EXTRACT_STAYS);
    EXPECT_EQ(platform_list_selected_count(nullptr, IDC_MEMBER_LIST), 3);
    press(IDC_SELECT_ALL);
    EXPECT_EQ(platform_list_selected_count(nullptr, IDC_MEMBER_LIST), 0);
    platform_list_select(nullptr, IDC_MEMBER_LIST, 1, 1); // by hand
    press(IDC_SELECT_ALL);
    EXPECT_EQ(platform_list_selected_count(nullptr, IDC_MEMBER_LIST), 3);
    platform_list_select(nullptr, IDC_MEMBER_LIST, 1, 0);
    press(IDC_SELECT_ALL);
    EXPECT_EQ(platform_list_selected_count(nullptr, IDC_MEMBER_LIST), 0);
    EXPECT_EQ(press(PLATFORM_IDCANCEL), 0);
    EXPECT_EQ(press(1035), EXTRACT_NOT_HANDLED);
}

TEST_F(extract_test, OkChecksSelectionFolderAndMissingFolder) {
    make_archive({{"readme.txt", "hello", dos_date(1, 2, 2003)}});
    ASSERT_EQ(extract_fill_list(nullptr), 1);
    const struct {
        int select;
        const char *folder;
        std::vector<int> answers;
        int result;
        const char *message, *caption;
        int focus;          // the item focused afterwards (0: none)
        const char *exists; // a path that must exist afterwards, or null
        const char *absent; // a path that must not exist afterwards, or null
    } cases[] = {
        {0,
         "C:\\Out",
         {},
         EXTRACT_STAYS,
         "Geen bestanden geselecteerd",
         "Let op",
         0,
         nullptr,
         nullptr},
        {1,
         "C:",
         {},
         EXTRACT_STAYS,
         "Ongeldige map",
         "Let op",
         IDC_EXTRACT_FOLDER,
         nullptr,
         nullptr},
        {1,
         "C:\\New",
         {PLATFORM_IDNO},
         EXTRACT_STAYS,
         "Map bestaat niet, aanmaken?",
         "Let op",
         IDC_EXTRACT_FOLDER,
         nullptr,
         "C:\\New"},
        {1,
         "C:\\New\\Deep",
         {PLATFORM_IDYES},
         1,
         "Bestanden uitgepakt",
         "Gereed",
         0,
         "C:\\New\\Deep\\readme.txt",
         nullptr},
        {1, "C:\\", {}, 1, "Bestanden uitgepakt", "Gereed", 0, "C:\\readme.txt", nullptr},
    };
    for (const auto &c : cases) {
        messages.clear();
        yes_no = c.answers;
        platform_ui_view.focus = 0;
        platform_list_select(nullptr, IDC_MEMBER_LIST, 0, c.select);
        platform_ui_type(IDC_EXTRACT_FOLDER, c.folder);
        EXPECT_EQ(press(PLATFORM_IDOK), c.result) << c.folder;
        ASSERT_FALSE(messages.empty()) << c.folder;
        EXPECT_EQ(messages.back().text, c.message) << c.folder;
        EXPECT_EQ(messages.back().caption, c.caption) << c.folder;
        EXPECT_EQ(platform_ui_view.focus, c.focus) << c.folder;
        if (c.exists) {
            EXPECT_EQ(read_text(c.exists), "hello") << c.folder;
        }
        if (c.absent) {
            EXPECT_FALSE(exists(c.absent)) << c.folder;
        }
    }
    EXPECT_EQ(messages.front().style, (uint32_t)PLATFORM_MB_ICONINFORMATION);
}

TEST_F(extract_test, UnpacksIntoSubfoldersRefusesEscapesAndNamesEveryFailure) {
    std::string big((1 << 20) + 200000, 0);
    for (size_t i = 0; i < big.size(); i++) big[i] = (char)((i * 7919) >> 5);
    make_archive({{"docs\\a.txt", "docs version", 0},
                  {"src\\a.txt", "src version", 0},
                  {"..\\evil.txt", "evil", 0},
                  {"C:\\Windows\\evil.txt", "evil", 0},
                  {"keep.txt", "new keep", 0},
                  {"big.bin", big, 0}});
    ASSERT_EQ(extract_fill_list(nullptr), 6);
    make_native_folder("C:\\Out");
    write_text("C:\\Out\\keep.txt", "old keep");
    press(IDC_SELECT_ALL);
    platform_ui_type(IDC_EXTRACT_FOLDER, "C:\\Out");
    // Presses while the unpack pumps messages are ignored: nothing ends the dialog midway.
    platform_ui.pump = [](void *self) {
        extract_test *t = static_cast<extract_test *>(self);
        t->presses_while_busy.push_back(extract_command(nullptr, &t->session, PLATFORM_IDCANCEL));
    };
    EXPECT_EQ(press(PLATFORM_IDOK), EXTRACT_STAYS);
    EXPECT_GT(presses_while_busy.size(), 6u);
    for (int result : presses_while_busy) EXPECT_EQ(result, EXTRACT_STAYS);

    EXPECT_EQ(read_text("C:\\Out\\docs\\a.txt"), "docs version");
    EXPECT_EQ(read_text("C:\\Out\\src\\a.txt"), "src version");
    EXPECT_EQ(read_text("C:\\Out\\keep.txt"), "new keep");
    EXPECT_TRUE(read_text("C:\\Out\\big.bin") == big);
    EXPECT_FALSE(exists("C:\\evil.txt"));
    EXPECT_FALSE(exists("C:\\Windows\\evil.txt"));
    EXPECT_EQ(temporary_files("C:\\Out"), "");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Niet alle bestanden zijn uitgepakt:\n"
                                "..\\evil.txt: naam buiten de doelmap\n"
                                "C:\\Windows\\evil.txt: naam buiten de doelmap");
    EXPECT_EQ(messages[0].caption, "Let op");
    // The status line: display names (after the first backslash), percentages of the big one.
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "a.txt"), statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "big.bin (50%)"), statuses.end());
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "big.bin (100%)"), statuses.end());
}

TEST_F(extract_test, DamagedArchivesAndFailedWritesLeaveWhatWasThere) {
    // A chain that breaks after two records, then one whose data runs past the end of the file:
    // the records before the damage are listed, and one message says that some are missing.
    bytes garbage = {'N', 'O', 'T', '!', 1, 2, 3};
    garbage.resize(40, 0);
    make_archive({{"one.txt", "one", 0}, {"two.txt", "two", 0}}, garbage);
    EXPECT_EQ(extract_fill_list(nullptr), 2);
    platform_list_reset();
    make_archive({{"one.txt", "one", 0}, {"two.txt", "two", 0}, {"cut.txt", "cut short", 0}});
    bytes data = read_file(archive);
    data.resize(data.size() - 2);
    write_file(archive, data);
    ASSERT_EQ(extract_fill_list(nullptr), 2);
    ASSERT_EQ(messages.size(), 2u);
    for (const shown_message &m : messages) {
        EXPECT_EQ(m.text, "Het archief is beschadigd: niet alle bestanden konden worden getoond.");
        EXPECT_EQ(m.caption, "Let op");
    }
    messages.clear();

    make_native_folder("C:\\Out");
    write_text("C:\\Out\\two.txt", "old two");
    // one.txt is new and written in place; two.txt replaces a file, so it is written under a
    // temporary name, and the temporary files have no room.
    platform_faults.limit_path = "\\~";
    platform_faults.write_budget = 2;
    press(IDC_SELECT_ALL);
    platform_ui_type(IDC_EXTRACT_FOLDER, "C:\\Out");
    EXPECT_EQ(press(PLATFORM_IDOK), EXTRACT_STAYS);
    EXPECT_EQ(read_text("C:\\Out\\one.txt"), "one");
    EXPECT_EQ(read_text("C:\\Out\\two.txt"), "old two");
    EXPECT_EQ(temporary_files("C:\\Out"), "");
    EXPECT_FALSE(exists("C:\\Out\\cut.txt"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Niet alle bestanden zijn uitgepakt:\n"
                                "two.txt: kan niet worden uitgepakt of geschreven");

    // An archive gone between listing and unpacking: every selected member is named.
    messages.clear();
    platform_faults_reset();
    std::filesystem::remove(archive);
    EXPECT_EQ(press(PLATFORM_IDOK), EXTRACT_STAYS);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Niet alle bestanden zijn uitgepakt:\n"
                                "one.txt: archief kan niet worden geopend\n"
                                "two.txt: archief kan niet worden geopend");
}

TEST_F(extract_test, ManyFailuresEndInACountOfTheOnesLeftOut) {
    std::vector<dated_member> hostile;
    for (int i = 0; i < 60; i++)
        hostile.push_back({"..\\" + std::string(200, 'a' + i % 26) + std::to_string(i), "x", 0});
    make_archive(hostile);
    ASSERT_EQ(extract_fill_list(nullptr), 60);
    make_native_folder("C:\\Out");
    press(IDC_SELECT_ALL);
    platform_ui_type(IDC_EXTRACT_FOLDER, "C:\\Out");
    EXPECT_EQ(press(PLATFORM_IDOK), EXTRACT_STAYS);
    ASSERT_EQ(messages.size(), 1u);
    const std::string &text = messages[0].text;
    size_t lines = (size_t)std::count(text.begin(), text.end(), '\n');
    EXPECT_LT(text.size(), (size_t)TEXT_BUFFER_CAPACITY);
    EXPECT_EQ(text.substr(text.rfind('\n')), "\nen nog " + std::to_string(60 - (lines - 1)));
}

} // namespace

namespace {

TEST_F(extract_test, SpeaksTheLanguageAndTextsOfTheArchivesScript) {
    const struct {
        const char *script; // setup.txt among the members; null: none
        const char *title, *select_all, *label, *cancel;
        const char *none_selected, *note, *create, *done, *done_title;
    } cases[] = {
        {nullptr, "Korvex - Bestanden uitpakken", "Alles selecteren", "Naar map:", "Annuleren",
         "Geen bestanden geselecteerd", "Let op", "Map bestaat niet, aanmaken?",
         "Bestanden uitgepakt", "Gereed"},
        {"language=en\r\n", "Korvex - Extract files", "Select all", "To folder:", "Cancel",
         "No files selected", "Note", "The folder does not exist. Create it?", "Files extracted",
         "Done"},
        {"language=de\r\ntext_x_done=\"Alles ausgepackt\"\r\ntext_cancel=\"Schlie\xDF"
         "en\"\r\n",
         "Korvex - Dateien entpacken", "Alle auswählen", "In Ordner:",
         "Schließ"
         "en",
         "Keine Dateien ausgewählt", "Hinweis",
         "Der Ordner ist nicht vorhanden. Soll er erstellt werden?", "Alles ausgepackt", "Fertig"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.title);
        std::vector<dated_member> members = {{"readme.txt", "hello", 0}};
        if (c.script) members.push_back({"setup.txt", c.script, 0});
        make_archive(members);
        platform_list_reset();
        messages.clear();
        extract_set_texts(nullptr);
        EXPECT_STREQ(platform_ui_view.caption, c.title);
        EXPECT_STREQ(platform_ui_text(IDC_SELECT_ALL), c.select_all);
        EXPECT_STREQ(platform_ui_text(IDC_EXTRACT_FOLDER_LABEL), c.label);
        EXPECT_STREQ(platform_ui_text(PLATFORM_IDOK), "OK");
        EXPECT_STREQ(platform_ui_text(PLATFORM_IDCANCEL), c.cancel);

        ASSERT_EQ(extract_fill_list(nullptr), c.script ? 2 : 1);
        EXPECT_EQ(press(PLATFORM_IDOK), EXTRACT_STAYS);
        platform_list_select(nullptr, IDC_MEMBER_LIST, 0, 1);
        platform_ui_type(IDC_EXTRACT_FOLDER, "C:\\Out");
        yes_no = {PLATFORM_IDNO, PLATFORM_IDYES};
        EXPECT_EQ(press(PLATFORM_IDOK), EXTRACT_STAYS);
        EXPECT_EQ(press(PLATFORM_IDOK), 1);
        ASSERT_EQ(messages.size(), 4u);
        EXPECT_EQ(messages[0].text, c.none_selected);
        EXPECT_EQ(messages[0].caption, c.note);
        EXPECT_EQ(messages[1].text, c.create);
        EXPECT_EQ(messages[2].text, c.create);
        EXPECT_EQ(messages[3].text, c.done);
        EXPECT_EQ(messages[3].caption, c.done_title);
        release_script(&g_state);
        std::error_code ec;
        std::filesystem::remove_all(native("C:\\Out"), ec);
    }
}

} // namespace
