// The unattended install (setup.exe /S): its command line, its exit codes, the entry's choice of
// it, and whole runs without a window, where nothing is shown or asked.
#include "run_support.h"
#include "shell/installer_entry.h"
#include "shell/unattended.h"

namespace {

TEST(Unattended, CommandLines) {
    const std::string long_dest(PATH_CAPACITY - 1, 'd'), too_long(PATH_CAPACITY, 'd');
    struct {
        std::string line;
        int unattended, overwrite, too_long;
        std::string dest;
    } cases[] = {
        {"/S", 1, 0, 0, ""},
        {"/s", 1, 0, 0, ""},
        {"/Silent", 1, 0, 0, ""}, // the first two characters decide, as for /X
        {" /S", 0, 0, 0, ""},
        {"/X", 0, 0, 0, ""},
        {"S", 0, 0, 0, ""},
        {"", 0, 0, 0, ""},
        {"/S /D=C:\\Program Files\\Korvex Demo", 1, 0, 0, "C:\\Program Files\\Korvex Demo"},
        {"/S /O /d=D:\\twee  spaties \t ", 1, 1, 0, "D:\\twee  spaties"},
        {"/S /D=\"C:\\tussen aanhalingstekens\"", 1, 0, 0, "C:\\tussen aanhalingstekens"},
        {"/S /D=C:\\a /O", 1, 0, 0, "C:\\a /O"}, // /D= takes the rest of the line
        {"/S\t/o", 1, 1, 0, ""},
        {"/S /OX /Q /verbose onbekend", 1, 0, 0, ""}, // unknown options are ignored
        {"/S/O", 1, 1, 0, ""}, // the options begin behind the first two characters
        {"/S /D=", 1, 0, 0, ""},
        {"/S /D=" + long_dest, 1, 0, 0, long_dest},
        {"/S /D=" + too_long, 1, 0, 1, ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(is_unattended_command(c.line.c_str()), c.unattended);
        unattended_command command;
        memset(&command, 'x', sizeof command);
        parse_unattended_command(c.line.c_str(), &command);
        EXPECT_EQ(command.overwrite, c.overwrite);
        EXPECT_EQ(command.dest_too_long, c.too_long);
        EXPECT_EQ(command.dest, c.dest);
    }
    EXPECT_EQ(is_unattended_command(nullptr), 0);
}

TEST(Unattended, ExitCodes) {
    struct {
        int run_result, messages, code;
    } cases[] = {
        {RUN_COMPLETE, 0, UNATTENDED_OK},        {RUN_COMPLETE, 2, UNATTENDED_ERRORS},
        {STEP_FAILED, 1, UNATTENDED_STOPPED},    {STEP_FAILED, 0, UNATTENDED_STOPPED},
        {STEP_CANCELLED, 0, UNATTENDED_STOPPED}, {STEP_DONE, 0, UNATTENDED_STOPPED},
    };
    for (auto &c : cases)
        EXPECT_EQ(unattended_exit_code(c.run_result, c.messages), c.code)
            << c.run_result << " " << c.messages;
}

TEST(Unattended, TheEntryRunsItWithoutADialog) {
    static int dialogs;
    dialogs = 0;
    platform_ui_reset();
    platform_ui.run_dialog = [](int, void *) { return ++dialogs, 1; };
    // The test program carries no archive: the unattended run says so by its exit code.
    EXPECT_EQ(run_installer(nullptr, "/S /D=C:\\Elders"), UNATTENDED_NO_ARCHIVE);
    EXPECT_EQ(g_state.unattended, 1);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(run_installer(nullptr, ""), 0); // the wizard, as before
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(run_installer(nullptr, "/X /S"), 0);
    EXPECT_EQ(run_installer(nullptr, " /S"), 0);
    EXPECT_EQ(dialogs, 3);
    EXPECT_EQ(g_state.unattended, 0);
    std::string too_long = "/S /D=" + std::string(PATH_CAPACITY, 'd');
    EXPECT_EQ(run_installer(nullptr, too_long.c_str()), UNATTENDED_BAD_DESTINATION);
    platform_ui_reset();
}

const char SCRIPT[] = "default_dest_dir=\"Korvex Demo\"\n"
                      "programgroupyesno=\"Menu\",true\n"
                      "desktopyesno=\"Bureau\",false\n"
                      "extrareg01=\"Extra\",TRUE\n"
                      "steps\n{\nshowwelcome\n%s\nfinished\n}\n"
                      "install_steps\n{\n"
                      "checkdiskspace=\"Ruimte\",\"Te weinig ruimte\",break\n"
                      "copyfiles=\"Bestanden\",\"Kopieren mislukt\"%s\n"
                      "}\n"
                      "copy_files\n{\n"
                      "\"Teksten\",[source]*.txt,[dest]\\*.*,overwrite_ask%s\n"
                      "}\n";

struct unattended_test : run_test {
    // Packs the members and the script (its copy entry vital and its copy step with break when
    // asked) and runs the install as setup.exe would for command_line. The exit code.
    int install(const std::string &command_line, int copy_breaks = 0, int with_script = 1,
                const char *start_page = "startinstall") {
        char script[sizeof SCRIPT + 32];
        snprintf(script, sizeof script, SCRIPT, start_page, copy_breaks ? ",break" : "",
                 copy_breaks ? ",vital" : "");
        std::vector<packed_member> members = {{"a.txt", "alpha"}, {"b.txt", "bravo"}};
        if (with_script) members.push_back({"setup.txt", script});
        std::string archive = root.path + "/setup.pck";
        write_file(archive, pack_members(members));
        text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.c_str());
        g_state.archive_offset = 0;
        unattended_command command;
        parse_unattended_command(command_line.c_str(), &command);
        return unattended_install_located(&g_state, &command);
    }
};

TEST_F(unattended_test, RunsAskNothingAndTellByTheirExitCode) {
    const std::string dflt = "C:\\Korvex Demo", spaced = "C:\\Program Files\\Mijn Demo";
    struct row {
        const char *name;
        std::string command_line;
        int copy_breaks;
        const char *before; // text of a.txt in the destination before the run (null: none)
        int a_is_folder;    // a folder named a.txt stands in the way
        int code;
        std::string dest;    // where the files go
        const char *a_after; // a.txt afterwards (null: not a file)
        std::string errors;  // InsErr.log after its first line
    };
    const std::string copy_failed =
        "CopyFile(1) Failed: 5\r\nAttempted to create file '" + dflt + "\\a.txt'\r\n";
    const row rows[] = {
        {"/S alone: the default destination", "/S", 0, nullptr, 0, UNATTENDED_OK, dflt, "alpha",
         ""},
        {"/D= with blanks", "/S /D=" + spaced + "\\", 0, nullptr, 0, UNATTENDED_OK, spaced, "alpha",
         ""},
        {"an existing file no earlier log names is kept, and logged", "/S", 0, "old", 0,
         UNATTENDED_OK, dflt, "old", "Kept Existing File! (" + dflt + "\\a.txt)\r\n"},
        {"/O replaces it", "/S /O", 0, "old", 0, UNATTENDED_OK, dflt, "alpha", ""},
        {"a failed copy: installed with errors", "/S", 0, nullptr, 1, UNATTENDED_ERRORS, dflt,
         nullptr,
         copy_failed + "Fout tijdens installatie: Fout tijdens 'Teksten' De installatie wordt "
                       "voortgezet\r\n"},
        {"a failed vital copy with break: stopped", "/S /O", 1, nullptr, 1, UNATTENDED_STOPPED,
         dflt, nullptr, copy_failed + "Fout tijdens installatie: Kopieren mislukt\r\n"},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        if (r.before) {
            make_native_folder(r.dest);
            write_text(r.dest + "\\a.txt", r.before);
        }
        if (r.a_is_folder) make_native_folder(r.dest + "\\a.txt");
        EXPECT_EQ(install(r.command_line, r.copy_breaks), r.code);
        EXPECT_STREQ(g_state.dest_path, r.dest.c_str());
        if (r.a_after) {
            EXPECT_EQ(read_text(r.dest + "\\a.txt"), r.a_after);
        }
        EXPECT_EQ(read_text(r.dest + "\\b.txt"), r.copy_breaks ? "" : "bravo");
        EXPECT_EQ(errors(r.dest), r.errors);
        EXPECT_TRUE(messages.empty()) << messages[0].text;
        EXPECT_TRUE(questions.empty()) << questions[0];
        // The boxes as the script ticks them: Start menu and the extra registration.
        EXPECT_EQ(g_state.choice_flags, (uint32_t)(CHOICE_STARTMENU | CHOICE_EXTRAREG));
        EXPECT_EQ(g_state.script_text, nullptr) << "the script is released";
        TearDown();
    }
    SetUp(); // the fixture's own TearDown follows

    // A destination that cannot be made (below a file) stops the run even though its copy step
    // goes on after failures: nothing is installed, and exit code 2 is the only report.
    write_text("C:\\Blok", "a file");
    EXPECT_EQ(install("/S /D=C:\\Blok\\Sub"), UNATTENDED_STOPPED);
    EXPECT_FALSE(exists("C:\\Blok\\Sub"));
    EXPECT_EQ(read_text("C:\\Blok"), "a file");

    // A wizard that never reaches startinstall installs nothing, and neither does /S.
    EXPECT_EQ(install("/S", 0, 1, "foldersettings"), UNATTENDED_NO_START_PAGE);
    EXPECT_FALSE(exists(dflt));
    EXPECT_EQ(install("/S", 0, 0), UNATTENDED_NO_SCRIPT);
    EXPECT_FALSE(exists(dflt));
    EXPECT_EQ(install("/S /D=" + std::string(PATH_CAPACITY, 'd')), UNATTENDED_BAD_DESTINATION);
    EXPECT_FALSE(exists(dflt));
    EXPECT_TRUE(messages.empty());
}

} // namespace
