// Folder creation: the backslash normalisations, make_path level by level with its error lines,
// network names, and the folder step over dir01..dir09.
#include "engine/folders.h"
#include "engine_support.h"
#include "script/script.h"

namespace {

TEST(folders, CollapseAndNormalise) {
    struct row {
        const char *in, *collapsed, *normalised;
        size_t length;
    };
    const row rows[] = {
        {"C:\\A\\\\B", "C:\\A\\B", "C:\\A\\B", 6},
        {"C:\\\\\\A", "C:\\\\A", "C:\\\\A", 5}, // a run of three becomes two
        {"C:\\\\\\\\A", "C:\\\\A", "C:\\\\A", 5},
        {"C:", "C:", "C:\\", 2},
        {"name", "name", "name\\", 4},
        {"", "", "\\", 0},
        {"\\\\server\\share\\\\dir", "\\\\server\\share\\dir", "\\\\server\\share\\dir", 18},
        {"\\\\\\server", "\\\\server", "\\\\server", 8}, // the leading pair is kept, no more
        {"C:\\A\\", "C:\\A\\", "C:\\A\\", 5},
    };
    for (const row &r : rows) {
        char text[PATH_CAPACITY];
        text_copy(text, sizeof text, r.in);
        EXPECT_EQ(collapse_backslashes(text), strlen(r.collapsed)) << r.in;
        EXPECT_STREQ(text, r.collapsed);
        text_copy(text, sizeof text, r.in);
        EXPECT_EQ(normalise_folder_path(text, sizeof text), r.length) << r.in;
        EXPECT_STREQ(text, r.normalised);
    }
    char full[4] = "abc"; // no room for the backslash: cut, never overflowed
    normalise_folder_path(full, sizeof full);
    EXPECT_STREQ(full, "abc");
}

struct make_path_test : engine_test {
    void start_logs() {
        text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Logs");
        make_native_folder("C:\\Logs");
        step_job();
        create_uninstall_log(&g_state);
        create_error_log(&g_state);
    }
    std::string errors() {
        std::string text = read_text("C:\\Logs\\InsErr.log");
        return text.substr(text.find("\r\n") + 2);
    }
};

TEST_F(make_path_test, CreatesEveryMissingLevel) {
    struct row {
        const char *existing; // folder made first, or null
        const char *file;     // a file made first, or null
        const char *path;
        int result;
        const char *made; // a folder that must exist afterwards
        const char *error_lines;
    };
    const row rows[] = {
        {"C:\\A", nullptr, "C:\\A", MAKE_PATH_EXISTED, "C:\\A", ""},
        {"C:\\A", nullptr, "C:\\A\\B\\C", MAKE_PATH_MADE, "C:\\A\\B\\C", ""},
        {nullptr, nullptr, "C:\\A\\", MAKE_PATH_MADE, "C:\\A", ""},
        {nullptr, nullptr, "C:\\\\A\\\\B", MAKE_PATH_MADE, "C:\\A\\B", ""},
        {nullptr, nullptr, "C:", MAKE_PATH_EXISTED, "C:\\", ""},
        {nullptr, "C:\\A\\f", "C:\\A\\f\\g", MAKE_PATH_FAILED, "C:\\A",
         "CreateDirectory Failed: 3\r\nAttempted to create: 'C:\\A\\f\\g'\r\n"},
        // A file where the folder should be: nothing was made, so it is no "[FOLDER]" to record.
        {nullptr, "C:\\A\\f", "C:\\A\\f", MAKE_PATH_FAILED, "C:\\A",
         "CreateDirectory Failed: 183\r\nAttempted to create: 'C:\\A\\f'\r\n"},
        // Network paths: levels below a reachable share are made; an unreachable share, or a
        // path that names only a share, fails rather than passing as made.
        {"\\\\server\\share", nullptr, "\\\\server\\share\\\\App\\Sub", MAKE_PATH_MADE,
         "\\\\server\\share\\App\\Sub", ""},
        {"\\\\server\\share", nullptr, "\\\\server\\share", MAKE_PATH_EXISTED, "\\\\server\\share",
         ""},
        {"C:\\A", nullptr, "\\\\nosrv\\noshare\\App", MAKE_PATH_FAILED, "C:\\A",
         "CreateDirectory Failed: 53\r\nAttempted to create: '\\\\nosrv\\noshare\\'\r\n"},
        {"C:\\A", nullptr, "\\\\nosrv\\noshare", MAKE_PATH_FAILED, "C:\\A",
         "CreateDirectory Failed: 53\r\nAttempted to create: '\\\\nosrv\\noshare\\'\r\n"},
    };
    for (const row &r : rows) {
        SetUp();
        start_logs();
        if (r.existing) make_native_folder(r.existing);
        if (r.file) {
            make_native_folder("C:\\A");
            write_text(r.file, "x");
        }
        char path[PATH_CAPACITY];
        text_copy(path, sizeof path, r.path);
        EXPECT_EQ(make_path(path, sizeof path), r.result) << r.path;
        EXPECT_TRUE(folder_exists(r.made)) << r.path;
        EXPECT_EQ(errors(), r.error_lines) << r.path;
        TearDown();
    }
}

TEST_F(make_path_test, ALevelThatCannotBeMadeIsLoggedAndStops) {
    start_logs();
    platform_faults.fail_open_path = "\\Locked";
    char path[PATH_CAPACITY] = "C:\\Prog\\Locked\\Deeper";
    EXPECT_EQ(make_path(path, sizeof path), MAKE_PATH_FAILED);
    EXPECT_TRUE(folder_exists("C:\\Prog")); // the levels above it stay
    EXPECT_FALSE(folder_exists("C:\\Prog\\Locked"));
    EXPECT_EQ(errors(), "CreateDirectory Failed: 5\r\nAttempted to create: 'C:\\Prog\\Locked'\r\n");
}

TEST_F(make_path_test, MissingFilesAndMissingFoldersGiveWin32Codes) {
    struct row {
        const char *operation, *path;
        uint32_t error;
    };
    const row rows[] = {
        {"open", "C:\\missing.txt", PLATFORM_ERROR_FILE_NOT_FOUND},
        {"open", "C:\\Missing\\a.txt", PLATFORM_ERROR_PATH_NOT_FOUND},
        {"create", "C:\\Missing\\a.txt", PLATFORM_ERROR_PATH_NOT_FOUND},
        {"folder", "C:\\Missing\\Sub", PLATFORM_ERROR_PATH_NOT_FOUND},
    };
    for (const row &r : rows) {
        platform_set_last_error(0);
        std::string op = r.operation;
        if (op == "open") {
            EXPECT_EQ(platform_open_read(r.path), nullptr);
        } else if (op == "create") {
            EXPECT_EQ(platform_create_write(r.path), nullptr);
        } else {
            EXPECT_EQ(platform_make_folder(r.path), 0);
        }
        EXPECT_EQ(platform_last_error(), r.error) << op << " " << r.path;
    }
}

TEST_F(make_path_test, TheFolderStepRecordsOnlyNewFolders) {
    struct row {
        const char *script;
        int result;
        const char *records; // what follows the InsErr.log record
    };
    const row rows[] = {
        {"windowtitle=\"x\"\n", 1, ""},
        {"dir02=\"[dest]\\Two\"\n", 1, "[FOLDER]\r\nC:\\Logs\\Two\r\n"},
        {"dir01=\"[dest]\\Midi\"\ndir02=\"[dir01]\\Sub\"\ndir03=\"[dest]\"\n", 1,
         "[FOLDER]\r\nC:\\Logs\\Midi\r\n[FOLDER]\r\nC:\\Logs\\Midi\\Sub\r\n"},
        {"dir01=\"[dest]\\f\\x\"\ndir02=\"[dest]\\ok\"\n", 0, "[FOLDER]\r\nC:\\Logs\\ok\r\n"},
    };
    for (const row &r : rows) {
        SetUp();
        start_logs();
        write_text("C:\\Logs\\f", "a file in the way");
        ASSERT_EQ(load_script_text(&g_state, r.script, strlen(r.script)), 1);
        std::string before = read_text("C:\\Logs\\Uninstal.log");
        EXPECT_EQ(create_script_folders(step_job()), r.result) << r.script;
        EXPECT_EQ(read_text("C:\\Logs\\Uninstal.log"), before + r.records) << r.script;
        release_script(&g_state);
        TearDown();
    }
}

} // namespace
