// Shortcuts: the startmenu and desktop steps in whole runs (folders, records, error lines, the
// progress bar and the step's result), injected COM faults, and the written link files read
// back by an independent reader.
#include "engine/shortcuts.h"
#include "engine/uninstall.h"
#include "platform/posix/platform_shortcut_posix.h"
#include "run_support.h"

namespace {

const std::string PROGRAMS = "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start "
                             "Menu\\Programs";
const std::string DESKTOP = "C:\\users\\tester\\Desktop";

struct shortcut_test : run_test {
    void SetUp() override {
        run_test::SetUp();
        platform_shortcut_faults_reset();
        platform_posix_com_depth = 0;
        platform_posix_set_user("tester");
    }
    void TearDown() override {
        platform_posix_set_user(nullptr);
        platform_shortcut_faults_reset();
        run_test::TearDown();
    }
    // A run of the two steps over the given blocks, with app.exe and doc.txt in C:\Prog.
    int run_blocks(const std::string &program_group, const std::string &desktop_shortcut,
                   int startmenu = 1, int desktop = 1) {
        std::string script = "install_steps\n{\n"
                             "startmenu=\"Start\",\"Start mislukt\"\n"
                             "desktop=\"Bureau\",\"Bureau mislukt\"\n}\n"
                             "program_group\n{\n" +
                             program_group + "}\ndesktop_shortcut\n{\n" + desktop_shortcut + "}\n";
        prepare({}, script);
        make_native_folder("C:\\Prog");
        write_text("C:\\Prog\\app.exe", "MZ-app");
        write_text("C:\\Prog\\doc.txt", "doc");
        platform_ui_tick(IDC_STARTMENU_BOX, startmenu);
        platform_ui_tick(IDC_DESKTOP_BOX, desktop);
        return run();
    }
    // The link file's bytes ("" when missing).
    std::string link(const std::string &path) { return exists(path) ? read_text(path) : ""; }
};

std::string record(const char *kind, const std::string &text) {
    return std::string(kind) + "\r\n" + text + "\r\n";
}

// The two error-log lines of a link in group G that could not be saved.
std::string save_failed(const char *code, const char *link) {
    return std::string("Link: Save failed: ") + code + "\r\nAttempted to create file '" + PROGRAMS +
           "\\G\\" + link + ".lnk'\r\n";
}

TEST_F(shortcut_test, EntriesFoldersRecordsAndResults) {
    const std::string app = "\"[dest]\\app.exe\"", gone = "\"[dest]\\weg.exe\"";
    struct row {
        const char *name;
        std::string program_group, desktop_shortcut;
        const char *rows;     // the two rows' states afterwards; each failure showed its message
        std::string records;  // Uninstal.log after the InsErr.log record; each [FILE] exists
        int bar_max, bar_pos; // the bar after the desktop step
        std::string errors;   // InsErr.log after its header
    };
    const row rows[] = {
        {"empty group: straight into the special folder; empty block: failure", "",
         "\"\",\"App.lnk\"," + app + ",\"[dest]\",\"[dest]\\app.exe\",0,\"Starten\"\n", "21",
         record("[FILE]", DESKTOP + "\\App.lnk"), 1, 1, ""},
        {"a name without .lnk is saved as written; a shared group is made and logged once",
         "\"Korvex\",\"App\"," + app + "\n\"Korvex\",\"Doc.lnk\",\"[dest]\\doc.txt\"\n", "", "12",
         record("[FOLDER]", PROGRAMS + "\\Korvex") + record("[FILE]", PROGRAMS + "\\Korvex\\App") +
             record("[FILE]", PROGRAMS + "\\Korvex\\Doc.lnk"),
         0, 0, ""},
        {"first target missing: passed over, the bar ends at 3",
         "\"G\",\"App.lnk\"," + app + "\n\"G\",\"Weg.lnk\"," + gone + "\n",
         "\"\",\"Weg.lnk\"," + gone + "\n\"\",\"App.lnk\"," + app +
             "\n\"\",\"Doc.lnk\",\"[dest]\\doc.txt\"\n",
         "11",
         record("[FOLDER]", PROGRAMS + "\\G") + record("[FILE]", PROGRAMS + "\\G\\App.lnk") +
             record("[FILE]", DESKTOP + "\\App.lnk") + record("[FILE]", DESKTOP + "\\Doc.lnk"),
         3, 3, ""},
        {"all targets missing: nothing made, the step fails with the first one logged",
         "\"G\",\"Weg.lnk\"," + gone + "\n\"G\",\"Ook.lnk\",\"C:\\nergens.exe\"\n",
         "\"\",\"Weg.lnk\"," + gone + "\n", "22", "", 1, 1,
         "Link: Target not found: 'C:\\Prog\\weg.exe'\r\nLink: Target not found: "
         "'C:\\Prog\\weg.exe'\r\n"},
        {"a missing name or target ends the walk before later entries",
         "\"G\"\n\"G\",\"App.lnk\"," + app + "\n", "\"\",\"App.lnk\"\n\"\",\"B.lnk\"," + app + "\n",
         "22", "", 2, 0, ""},
    };
    for (const row &r : rows) {
        SetUp();
        EXPECT_EQ(run_blocks(r.program_group, r.desktop_shortcut), RUN_COMPLETE) << r.name;
        EXPECT_EQ(step_row(0).substr(0, 1) + step_row(1).substr(0, 1), r.rows) << r.name;
        std::vector<std::string> shown;
        if (r.rows[0] == ROW_FAILED) shown.push_back("Start mislukt");
        if (r.rows[1] == ROW_FAILED) shown.push_back("Bureau mislukt");
        ASSERT_EQ(messages.size(), shown.size()) << r.name;
        for (size_t i = 0; i < messages.size(); i++) EXPECT_EQ(messages[i].text, shown[i]);
        EXPECT_EQ(records(), r.records) << r.name;
        for (size_t at = 0; (at = r.records.find("[FILE]\r\n", at)) != std::string::npos;) {
            at += 8;
            std::string link = r.records.substr(at, r.records.find("\r\n", at) - at);
            EXPECT_TRUE(exists(link)) << r.name << ": " << link;
        }
        EXPECT_EQ(platform_ui_view.progress_max, r.bar_max) << r.name;
        EXPECT_EQ(platform_ui_view.progress_pos, r.bar_pos) << r.name;
        EXPECT_EQ(errors(), r.errors) << r.name;
        EXPECT_EQ(platform_posix_com_depth, 0) << r.name;
        TearDown();
    }
}

TEST_F(shortcut_test, FieldsReachTheLinkAndTheStatusLine) {
    // Fields 3 to 6 expanded and unquoted; a non-numeric icon index reads as 0, "-3x" as -3.
    ASSERT_EQ(run_blocks("\"G\",\"A.lnk\",\"[dest]\\app.exe\",\"[dest]\",\"[dest]\\app.exe\","
                         "abc,\"Korvex \\\"Demo\\\" starten\"\n"
                         "\"G\",\"B.lnk\",\"[dest]\\doc.txt\",,,-3x\n",
                         ""),
              RUN_COMPLETE);
    std::string a = link(PROGRAMS + "\\G\\A.lnk"), b = link(PROGRAMS + "\\G\\B.lnk");
    ASSERT_GT(a.size(), 0x4Cu);
    ASSERT_GT(b.size(), 0x4Cu);
    auto icon_index = [](const std::string &l) {
        int32_t v;
        memcpy(&v, l.data() + 0x38, 4);
        return v;
    };
    EXPECT_EQ(icon_index(a), 0);
    EXPECT_EQ(icon_index(b), -3);
    EXPECT_NE(a.find(std::string("C:\\Prog\\app.exe\0", 16)), std::string::npos);
    // The status line showed the first entry's description; the second has none.
    std::vector<std::string> status;
    for (auto &change : item_changes)
        if (change.first == IDC_STATUS_LINE) status.push_back(change.second);
    EXPECT_EQ(status, (std::vector<std::string>{"Korvex \"Demo\" starten"}));
}

TEST_F(shortcut_test, AStepWhoseBoxIsClearStillResetsTheBar) {
    // The copy step leaves the bar at 100 of 100; skipped shortcut steps set it to 0 of 1.
    std::string script = "install_steps\n{\ncheckdiskspace=\"Ruimte\"\ncopyfiles=\"Kopie\"\n"
                         "startmenu=\"Start\"\ndesktop=\"Bureau\"\n}\n"
                         "copy_files\n{\n\"T\",[source]a.txt,[dest]\\*.*,overwrite_always\n}\n"
                         "program_group\n{\n\"G\",\"A.lnk\",\"[dest]\\a.txt\"\n}\n";
    prepare({{"a.txt", "alpha"}}, script);
    EXPECT_EQ(run(), RUN_COMPLETE);
    EXPECT_EQ(platform_ui_view.progress_max, 1);
    EXPECT_EQ(platform_ui_view.progress_pos, 0);
    EXPECT_FALSE(exists(PROGRAMS + "\\G"));
    EXPECT_EQ(step_row(2), ROW_UNUSED);
}

TEST_F(shortcut_test, FaultsAndTheirErrorLines) {
    const std::string two =
        "\"G\",\"A.lnk\",\"[dest]\\app.exe\"\n\"G\",\"B.lnk\",\"[dest]\\doc.txt\"\n";
    struct row {
        const char *name;
        platform_shortcut_fault_plan plan;
        const char *fail_open_path; // a folder or file that cannot be made
        std::string records;
        std::string errors;
        int links; // link files written
    };
    const row rows[] = {
        {"COM does not start: both entries tried",
         {(int32_t)0x8001010E, 0, 0, 0, 0},
         nullptr,
         record("[FOLDER]", PROGRAMS + "\\G"),
         "Link: CoInitialize failed: 2147549454\r\nLink: CoInitialize failed: 2147549454\r\n",
         0},
        {"no link object",
         {0, (int32_t)0x80040154, 0, 0, 0},
         nullptr,
         record("[FOLDER]", PROGRAMS + "\\G"),
         "Link: CoCreateInstance failed: 2147746132\r\nLink: CoCreateInstance failed: "
         "2147746132\r\n",
         0},
        {"no persist-file interface: no save, no record, the failure logged",
         {0, 0, (int32_t)0x80004002, 0, 0},
         nullptr,
         record("[FOLDER]", PROGRAMS + "\\G"),
         save_failed("2147500034", "A") + save_failed("2147500034", "B"),
         0},
        {"the save fails: recorded all the same, the failure logged",
         {0, 0, 0, (int32_t)0x80070005, 0},
         nullptr,
         record("[FOLDER]", PROGRAMS + "\\G") + record("[FILE]", PROGRAMS + "\\G\\A.lnk") +
             record("[FILE]", PROGRAMS + "\\G\\B.lnk"),
         save_failed("2147942405", "A") + save_failed("2147942405", "B"),
         0},
        {"one link file cannot be created",
         {0, 0, 0, 0, 0},
         "A.lnk",
         record("[FOLDER]", PROGRAMS + "\\G") + record("[FILE]", PROGRAMS + "\\G\\A.lnk") +
             record("[FILE]", PROGRAMS + "\\G\\B.lnk"),
         save_failed("2147942405", "A"),
         1},
        {"the group folder cannot be made: the walk stops",
         {0, 0, 0, 0, 0},
         "Programs\\G",
         "",
         "CreateDirectory Failed: 5\r\nAttempted to create: '" + PROGRAMS + "\\G'\r\n",
         0},
        {"the special folder is unavailable: passed over, the step fails with it logged",
         {0, 0, 0, 0, PLATFORM_FOLDER_PROGRAMS + 1},
         nullptr,
         "",
         "Link: Special folder 2 unavailable\r\n",
         0},
    };
    for (const row &r : rows) {
        SetUp();
        platform_shortcut_faults = r.plan;
        platform_faults.fail_open_path = r.fail_open_path;
        EXPECT_EQ(run_blocks(two, "", 1, 0), RUN_COMPLETE) << r.name;
        EXPECT_EQ(step_row(0), "2Start") << r.name;
        ASSERT_EQ(messages.size(), 1u) << r.name;
        EXPECT_EQ(records(), r.records) << r.name;
        EXPECT_EQ(errors(), r.errors) << r.name;
        EXPECT_EQ(exists(PROGRAMS + "\\G\\A.lnk") + exists(PROGRAMS + "\\G\\B.lnk"), r.links)
            << r.name;
        EXPECT_EQ(platform_posix_com_depth, 0) << r.name;
        TearDown();
    }
}

TEST_F(shortcut_test, NamesTooLongForAPathAreNeverCut) {
    const std::string g200(200, 'g'), g450(450, 'g'), n450(450, 'n');
    struct row {
        const char *name;
        std::string group, link_name;
        std::string records, errors;
    };
    const row rows[] = {
        {"a link path the shell cannot take: tried, recorded, failed", g200, "A.lnk",
         record("[FOLDER]", PROGRAMS + "\\" + g200) +
             record("[FILE]", PROGRAMS + "\\" + g200 + "\\A.lnk"),
         "Link: Save failed: 2147942606\r\nAttempted to create file '" + PROGRAMS + "\\" + g200 +
             "\\A.lnk'\r\n"},
        {"a group folder longer than a path: refused before anything is made", g450, "A.lnk", "",
         "CreateDirectory Failed: 206\r\nAttempted to create: '" +
             (PROGRAMS + "\\" + g450).substr(0, 511) + "'\r\n"},
        {"a link name longer than a path: no link, no record", "G", n450,
         record("[FOLDER]", PROGRAMS + "\\G"), ""},
    };
    for (const row &r : rows) {
        SetUp();
        EXPECT_EQ(run_blocks("\"" + r.group + "\",\"" + r.link_name + "\",\"[dest]\\app.exe\"\n",
                             "", 1, 0),
                  RUN_COMPLETE)
            << r.name;
        EXPECT_EQ(step_row(0), "2Start") << r.name;
        EXPECT_EQ(records(), r.records) << r.name;
        EXPECT_EQ(errors(), r.errors) << r.name;
        int files = 0; // no link was written, under any name
        std::error_code ec;
        for (auto &e : std::filesystem::recursive_directory_iterator(native(PROGRAMS), ec))
            files += e.is_regular_file();
        EXPECT_EQ(files, 0) << r.name;
        TearDown();
    }
}

// lnkinfo's value for label ("" when it prints none).
std::string lnkinfo_value(const std::string &output, const std::string &label) {
    size_t at = output.find("\t" + label);
    if (at == std::string::npos) return "";
    size_t colon = output.find(':', at), end = output.find('\n', at);
    size_t start = output.find_first_not_of(" \t", colon + 1);
    return start >= end ? "" : output.substr(start, end - start);
}

TEST_F(shortcut_test, AnIndependentReaderReadsTheLinks) {
    struct row {
        const char *target, *working_folder, *icon_file;
        int icon_index;
        const char *description;
        const char *path_label, *path_shown; // lnkinfo's line for the target
        const char *description_shown;       // UTF-8, as the description is given
    };
    const row rows[] = {
        {"C:\\Korvex Demo\\demo.exe", "C:\\Korvex Demo", "C:\\Korvex Demo\\demo.exe", 2,
         "Korvex Demo starten", "Local path", "C:\\Korvex Demo\\demo.exe", "Korvex Demo starten"},
        {"\\\\server\\share\\Prog\\app.exe", "", "", 0, "Café € 5 – 中文", "Network path",
         "\\\\server\\share\\Prog\\app.exe", "Café € 5 – 中文"},
    };
    for (const row &r : rows) {
        platform_link_properties p = {r.target, r.working_folder, r.icon_file, r.icon_index,
                                      r.description};
        unsigned char data[SHELL_LINK_CAPACITY];
        size_t n = shell_link_encode(&p, 1234, data, sizeof data);
        ASSERT_GT(n, 0u);
        std::string file = root.file("probe.lnk");
        write_file(file, bytes(data, data + n));
        command_result out = run_command("lnkinfo '" + file + "'");
        ASSERT_EQ(out.code, 0) << out.output << "\n(lnkinfo comes with liblnk-utils)";
        EXPECT_EQ(lnkinfo_value(out.output, r.path_label), r.path_shown) << out.output;
        EXPECT_EQ(lnkinfo_value(out.output, "Description"), r.description_shown) << out.output;
        EXPECT_EQ(lnkinfo_value(out.output, "Working directory"), r.working_folder) << out.output;
        EXPECT_EQ(lnkinfo_value(out.output, "Icon location"), r.icon_file) << out.output;
        EXPECT_EQ(lnkinfo_value(out.output, "Icon index"), std::to_string(r.icon_index))
            << out.output;
        EXPECT_EQ(lnkinfo_value(out.output, "File size"), "1234 bytes") << out.output;
        // Texts too long for the buffer are refused, never cut or overflowed.
        EXPECT_EQ(shell_link_encode(&p, 0, data, n - 1), 0u);
    }
}

// Elevated, the install is machine-wide: its links go to all users' Start menu and desktop,
// and the uninstaller, elevated as well, may remove them there; the user's own folders stay
// open to it for the log of an install that was not elevated. Not elevated, it may not.
TEST_F(shortcut_test, MachineWideLinksAndTheirUninstall) {
    const std::string common_programs = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    const std::string common_desktop = "C:\\users\\Public\\Desktop";
    struct row {
        const char *name;
        int install_elevated, uninstall_elevated;
        std::string programs, desktop; // where the links are expected
        int exit;
    };
    const row rows[] = {
        {"machine-wide, removed machine-wide", 1, 1, common_programs, common_desktop,
         UNINSTALL_EXIT_OK},
        {"for the user, removed by an elevated uninstaller", 0, 1, PROGRAMS, DESKTOP,
         UNINSTALL_EXIT_OK},
        {"machine-wide, refused to an uninstaller that is not elevated", 1, 0, common_programs,
         common_desktop, UNINSTALL_EXIT_INCOMPLETE},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        platform_posix_elevated = r.install_elevated;
        ASSERT_EQ(run_blocks("\"G\",\"App.lnk\",\"[dest]\\app.exe\"\n",
                             "\"\",\"App.lnk\",\"[dest]\\app.exe\"\n"),
                  RUN_COMPLETE);
        const std::string links[] = {r.programs + "\\G\\App.lnk", r.desktop + "\\App.lnk"};
        EXPECT_EQ(records(), record("[FOLDER]", r.programs + "\\G") + record("[FILE]", links[0]) +
                                 record("[FILE]", links[1]));
        for (const std::string &link : links) EXPECT_TRUE(exists(link)) << link;

        std::filesystem::remove(native("C:\\Prog\\app.exe")); // the test's files: not in the log
        std::filesystem::remove(native("C:\\Prog\\doc.txt"));
        platform_posix_elevated = r.uninstall_elevated;
        uninstall_plan plan = {};
        uninstall_places places = {};
        uninstall_find_places(&places);
        char message[UNINSTALL_MESSAGE_CAPACITY];
        ASSERT_EQ(uninstall_read(&plan, "C:\\Prog", &places, nullptr, message, sizeof message), 1);
        ASSERT_EQ(uninstall_check_log(&plan, message, sizeof message), 1) << message;
        EXPECT_EQ(uninstall_perform(&plan, nullptr, nullptr), r.exit);
        uninstall_release(&plan);
        for (const std::string &link : links)
            EXPECT_EQ(exists(link), r.exit != UNINSTALL_EXIT_OK) << link;
        EXPECT_EQ(exists(r.programs + "\\G"), r.exit != UNINSTALL_EXIT_OK);
        platform_posix_elevated = 0;
        TearDown();
    }
}

} // namespace
