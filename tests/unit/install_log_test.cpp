// Uninstal.log and InsErr.log: exact bytes, de-duplication, and the fast append agreeing with
// the line-by-line scan the uninstaller's format implies, whatever the records hold.
#include "engine_support.h"

#include <vector>

namespace {

const char *const HEADER = "UninstallLog created: 06-12-2026 09:05:03.0042\r\n"
                           "[DEFFOLDER]\r\n"
                           "C:\\Prog\r\n";

struct logs_test : engine_test {
    void start_logs() {
        text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Prog");
        make_native_folder("C:\\Prog");
        ASSERT_EQ(create_uninstall_log(&g_state), 1);
        ASSERT_EQ(create_error_log(&g_state), 1);
    }
};

// The reference: the record is added unless a scan of the text, read as lines of at most 511
// bytes with CR and LF stripped and empty lines passed over, finds the kind line followed by
// the text line (the line after a matching kind is never itself tried as a kind).
std::string reference_append(const std::string &file, const std::string &kind,
                             const std::string &text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < file.size()) {
        std::string line;
        while (pos < file.size() && line.size() < 511) {
            char c = file[pos++];
            line += c;
            if (c == '\n') break;
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    for (size_t i = 0; i < lines.size(); i++) {
        if (lines[i] != kind) continue;
        if (i + 1 < lines.size() && lines[i + 1] == text) return file;
        i++;
    }
    return file + kind + "\r\n" + text + "\r\n";
}

TEST_F(logs_test, CreatesBothLogsByteExact) {
    start_logs();
    EXPECT_EQ(read_text("C:\\Prog\\Uninstal.log"),
              std::string(HEADER) + "[FILE]\r\nC:\\Prog\\InsErr.log\r\n");
    EXPECT_EQ(read_text("C:\\Prog\\InsErr.log"), "ErrorLog created: 06-12-2026 09:05:03.0042\r\n");
    EXPECT_STREQ(log.folder, "C:\\Prog");
    EXPECT_EQ(append_error_format("CopyFile(1) Failed: %u", 5u), 1);
    EXPECT_EQ(append_error_line("Attempted to create file 'C:\\Prog\\a.txt'"), 1);
    EXPECT_EQ(read_text("C:\\Prog\\InsErr.log"), "ErrorLog created: 06-12-2026 09:05:03.0042\r\n"
                                                 "CopyFile(1) Failed: 5\r\n"
                                                 "Attempted to create file 'C:\\Prog\\a.txt'\r\n");
}

TEST_F(logs_test, RecordsAreAddedOncePerExactPair) {
    struct step {
        const char *kind, *text;
        bool added;
    };
    const step steps[] = {
        {LOG_KIND_FILE, "C:\\Prog\\a.txt", true},
        {LOG_KIND_FILE, "C:\\Prog\\a.txt", false},  // a second entry writing the same file
        {LOG_KIND_FOLDER, "C:\\Prog\\a.txt", true}, // same text, another kind
        {LOG_KIND_FILE, "C:\\Prog\\A.TXT", true},   // case counts
        {LOG_KIND_FILE, "C:\\Prog\\InsErr.log", false},
        {LOG_KIND_REG, "HKEY_CLASSES_ROOT\\.ext", true},
        {LOG_KIND_REG, "HKEY_CLASSES_ROOT\\.ext", false},
        {"[DEFFOLDER]", "C:\\Prog", false}, // the header's own lines are found too
    };
    start_logs();
    std::string expected = read_text("C:\\Prog\\Uninstal.log");
    for (const step &s : steps) {
        EXPECT_EQ(append_uninstall_record(s.kind, s.text), 1) << s.kind << s.text;
        if (s.added) expected += std::string(s.kind) + "\r\n" + s.text + "\r\n";
        EXPECT_EQ(read_text("C:\\Prog\\Uninstal.log"), expected) << s.kind << " " << s.text;
    }
}

TEST_F(logs_test, FastAppendAgreesWithTheScanOnAwkwardRecords) {
    std::string long_text(600, 'x');
    std::string piece(511, 'y');
    struct step {
        std::string kind, text;
    };
    const std::vector<step> steps = {
        {"[FILE]", "C:\\Prog\\a"},
        {"[FILE]", "[FILE]"}, // a text equal to a kind puts the scan out of step
        {"[FILE]", "C:\\Prog\\b"},
        {"[FILE]", "C:\\Prog\\b"},
        {"[FILE]", "C:\\Prog\\a"},
        {"[FOLDER]", "[FILE]"}, // tried as a kind, it swallows the next record's kind line
        {"[FILE]", "x"},
        {"[FILE]", "x"},
        {"[FOLDER]", "two\r\nlines"}, // not one line for the reader
        {"[FOLDER]", "two\r\nlines"},
        {"[FOLDER]", long_text}, // read back in pieces
        {"[FOLDER]", long_text},
        {"[FOLDER]", piece},
        {"[FOLDER]", piece},
        {"[FILE]", ""},
        {"[FILE]", ""},
        {"[FILE]", "C:\\Prog\\c"},
        {"[FILE]", "C:\\Prog\\c"},
    };
    start_logs();
    std::string expected = read_text("C:\\Prog\\Uninstal.log");
    for (const step &s : steps) {
        append_uninstall_record(s.kind.c_str(), s.text.c_str());
        expected = reference_append(expected, s.kind, s.text);
        ASSERT_EQ(read_text("C:\\Prog\\Uninstal.log"), expected) << s.kind << " " << s.text.size();
    }
}

TEST_F(logs_test, AFileChangedBehindTheLogsBackIsScanned) {
    start_logs();
    ASSERT_EQ(append_uninstall_record(LOG_KIND_FILE, "C:\\Prog\\a"), 1);
    std::string changed = read_text("C:\\Prog\\Uninstal.log") + "[FILE]\r\nC:\\Prog\\b\r\n";
    write_text("C:\\Prog\\Uninstal.log", changed);
    EXPECT_EQ(append_uninstall_record(LOG_KIND_FILE, "C:\\Prog\\b"), 1);
    EXPECT_EQ(append_uninstall_record(LOG_KIND_FILE, "C:\\Prog\\a"), 1);
    EXPECT_EQ(read_text("C:\\Prog\\Uninstal.log"), changed);
}

TEST_F(logs_test, BeforeAnyLogAppendsWriteNothingAndSucceed) {
    EXPECT_EQ(append_uninstall_record(LOG_KIND_FILE, "C:\\Prog\\a"), 1);
    EXPECT_EQ(append_error_line("CreateDirectory Failed: 5"), 1);
    EXPECT_FALSE(exists("C:\\Prog\\Uninstal.log"));
    EXPECT_FALSE(exists("\\Uninstal.log"));
}

TEST_F(logs_test, FailuresAreReportedAndNeverStopTheOtherLog) {
    struct fault {
        const char *fail_path;
        int64_t write_budget;
        int uninstall_ok, error_ok, append_ok;
    };
    const fault faults[] = {
        {"Uninstal.log", -1, 0, 1, 0}, // cannot create: InsErr.log is not recorded anywhere
        {"InsErr.log", -1, 1, 0, 1},
        {nullptr, 20, 0, 0, 0}, // the disk fills inside the first header line
    };
    for (const fault &f : faults) {
        SetUp();
        text_copy(g_state.dest_path, sizeof g_state.dest_path, "C:\\Prog");
        make_native_folder("C:\\Prog");
        platform_faults.fail_open_path = f.fail_path;
        if (f.write_budget >= 0) {
            platform_faults.limit_path = ".log";
            platform_faults.write_budget = f.write_budget;
        }
        EXPECT_EQ(create_uninstall_log(&g_state), f.uninstall_ok) << f.write_budget;
        EXPECT_EQ(create_error_log(&g_state), f.error_ok) << f.write_budget;
        EXPECT_EQ(append_uninstall_record(LOG_KIND_FILE, "C:\\Prog\\a"), f.append_ok);
        EXPECT_STREQ(log.folder, "C:\\Prog");
        if (!f.uninstall_ok && f.fail_path) {
            EXPECT_EQ(read_text("C:\\Prog\\InsErr.log"),
                      "ErrorLog created: 06-12-2026 09:05:03.0042\r\n");
        }
        TearDown();
    }
}

} // namespace
