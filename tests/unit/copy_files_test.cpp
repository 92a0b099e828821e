// The copy step: overwrite answers across entries, one message per failed entry, vital
// entries, and what a cancelled or failing copy leaves behind.
#include "engine/copy_files.h"
#include "run_support.h"

namespace {

std::string steps(const std::string &copy_files, const std::string &extra = "") {
    return extra +
           "install_steps\n{\ncheckdiskspace=\"Ruimte\",\"Te weinig ruimte\",break\n"
           "copyfiles=\"Bestanden\",\"Kopieren mislukt\",break\n}\n"
           "copy_files\n{\n" +
           copy_files + "}\n";
}

std::string big_text(size_t size) {
    std::string text;
    uint32_t x = 12345;
    while (text.size() < size) {
        x = x * 1103515245u + 12345u;
        text += (char)('a' + (x >> 16) % 26);
    }
    return text;
}

const std::string QUESTION = "Dit bestand bestaat al. Wilt u het bestand overschrijven ?\n\n'";

TEST_F(run_test, OverwriteAnswersHoldAcrossEntries) {
    struct row {
        const char *name;
        std::vector<int> answers;
        std::vector<std::string> asked; // files asked about, in order
        const char *a, *b, *c, *d, *e;  // contents afterwards
    };
    const row rows[] = {
        {"no to all",
         {PLATFORM_OVERWRITE_NO_TO_ALL},
         {"a.txt"},
         "old",
         "old",
         "old",
         "new-d",
         "new-e"},
        {"yes to all",
         {PLATFORM_OVERWRITE_YES_TO_ALL},
         {"a.txt"},
         "new-a",
         "new-b",
         "old",
         "new-d",
         "new-e"},
        {"yes, then no",
         {PLATFORM_OVERWRITE_YES, PLATFORM_OVERWRITE_NO},
         {"a.txt", "b.txt"},
         "new-a",
         "old",
         "old",
         "new-d",
         "new-e"},
        {"no answer at all counts as no",
         {-1, -1},
         {"a.txt", "b.txt"},
         "old",
         "old",
         "old",
         "new-d",
         "new-e"},
    };
    // a and b ask, c never overwrites, d always does, e does not exist yet.
    const std::string copy_files = "\"A\",a.txt,[dest]\\*.*,overwrite_ask\n"
                                   "\"B\",b.txt,[dest]\\*.*\n"
                                   "\"C\",c.txt,[dest]\\*.*,overwrite_never\n"
                                   "\"D\",d.txt,[dest]\\*.*,overwrite_always\n"
                                   "\"E\",e.txt,[dest]\\*.*,overwrite_ask\n";
    for (const row &r : rows) {
        SetUp();
        prepare({{"a.txt", "new-a"},
                 {"b.txt", "new-b"},
                 {"c.txt", "new-c"},
                 {"d.txt", "new-d"},
                 {"e.txt", "new-e"}},
                steps(copy_files));
        make_native_folder("C:\\Prog");
        for (const char *f : {"a.txt", "b.txt", "c.txt", "d.txt"})
            write_text(std::string("C:\\Prog\\") + f, "old");
        answers = r.answers;
        EXPECT_EQ(run(), RUN_COMPLETE) << r.name;
        ASSERT_EQ(questions.size(), r.asked.size()) << r.name;
        for (size_t i = 0; i < questions.size(); i++)
            EXPECT_EQ(questions[i], QUESTION + "C:\\Prog\\" + r.asked[i] + "'") << r.name;
        EXPECT_EQ(read_text("C:\\Prog\\a.txt"), r.a) << r.name;
        EXPECT_EQ(read_text("C:\\Prog\\b.txt"), r.b) << r.name;
        EXPECT_EQ(read_text("C:\\Prog\\c.txt"), r.c) << r.name;
        EXPECT_EQ(read_text("C:\\Prog\\d.txt"), r.d) << r.name;
        EXPECT_EQ(read_text("C:\\Prog\\e.txt"), r.e) << r.name;
        // Kept files are not recorded; written ones are.
        std::string expected;
        for (const char *f : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
            if (read_text(std::string("C:\\Prog\\") + f).rfind("new", 0) == 0)
                expected += std::string("[FILE]\r\nC:\\Prog\\") + f + "\r\n";
        EXPECT_EQ(records(), expected) << r.name;
        TearDown();
    }
}

TEST_F(run_test, TheQuestionAndItsButtonsComeFromTheScript) {
    prepare({{"a.txt", "new"}}, steps("\"A\",a.txt,[dest]\\*.*\n",
                                      "text_fileexists=\"Overschrijven?\"\ntext_no=\"Neen\"\n"));
    make_native_folder("C:\\Prog");
    write_text("C:\\Prog\\a.txt", "old");
    platform_ui.ask_overwrite = [](const platform_overwrite_question *q, void *self) {
        auto *t = static_cast<run_test *>(self);
        t->questions.push_back(std::string(q->message) + "|" + (q->no ? q->no : "-") + "|" +
                               (q->yes ? q->yes : "-"));
        return (int)PLATFORM_OVERWRITE_NO;
    };
    EXPECT_EQ(run(), RUN_COMPLETE);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Overschrijven?\n\n'C:\\Prog\\a.txt'|Neen|-");
}

TEST_F(run_test, TwoEntriesWritingOneFileGiveOneRecord) {
    prepare({{"a.txt", "alpha"}}, steps("\"1\",a.txt,[dest]\\*.*,overwrite_always\n"
                                        "\"2\",a.txt,[dest]\\*.*,overwrite_always\n"));
    EXPECT_EQ(run(), RUN_COMPLETE);
    EXPECT_EQ(records(), "[FILE]\r\nC:\\Prog\\a.txt\r\n");
    EXPECT_EQ(g_state.bytes_total, 10);
    EXPECT_EQ(g_state.bytes_copied, 10);
}

TEST_F(run_test, FailingEntriesWarnOnceAndVitalOnesEndTheStep) {
    struct row {
        const char *name;
        const char *copy_files;
        int result;
        std::vector<std::string> messages;
        bool later_copied; // the entry after the failing one ran
    };
    const row rows[] = {
        {"three failing members, one message",
         "\"Drie\",*.txt,[dest]\\Missing\\*.*\n"
         "\"Later\",z.bin,[dest]\\*.*\n",
         RUN_COMPLETE,
         {"Fout tijdens 'Drie'\n\nDe installatie wordt voortgezet"},
         true},
        {"vital",
         "\"Drie\",*.txt,[dest]\\Missing\\*.*,overwrite_always,vital\n"
         "\"Later\",z.bin,[dest]\\*.*\n",
         STEP_FAILED,
         {"Kopieren mislukt"},
         false},
    };
    for (const row &r : rows) {
        SetUp();
        prepare({{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}, {"z.bin", "z"}},
                steps(r.copy_files));
        EXPECT_EQ(run(), r.result) << r.name;
        ASSERT_EQ(messages.size(), r.messages.size()) << r.name;
        for (size_t i = 0; i < messages.size(); i++) EXPECT_EQ(messages[i].text, r.messages[i]);
        EXPECT_EQ(exists("C:\\Prog\\z.bin"), r.later_copied) << r.name;
        std::string expected_errors;
        for (const char *f : {"a.txt", "b.txt", "c.txt"}) {
            expected_errors += std::string("CopyFile(1) Failed: 3\r\nAttempted to create file "
                                           "'C:\\Prog\\Missing\\") +
                               f + "'\r\n";
            if (r.result == STEP_FAILED) break;
        }
        EXPECT_EQ(errors(), expected_errors) << r.name;
        TearDown();
    }
}

TEST_F(run_test, ACancelledCopyLeavesWhatWasThere) {
    prepare({{"a.txt", "small"}, {"big.dat", big_text(100000)}},
            steps("\"Klein\",a.txt,[dest]\\*.*\n\"Groot\",big.dat,[dest]\\*.*,overwrite_always\n"));
    make_native_folder("C:\\Prog");
    write_text("C:\\Prog\\big.dat", "old contents");
    int blocks = 0;
    press_back = [&] {
        return std::string(platform_ui_text(IDC_STATUS_LINE)) == "Groot" && ++blocks == 50;
    };
    EXPECT_EQ(run(), STEP_CANCELLED);
    EXPECT_EQ(step_row(1), "2Bestanden");
    EXPECT_EQ(read_text("C:\\Prog\\a.txt"), "small");
    EXPECT_EQ(read_text("C:\\Prog\\big.dat"), "old contents");
    EXPECT_EQ(temporary_files("C:\\Prog"), "");
    EXPECT_TRUE(messages.empty());
    // The record was made before the copy began, as for every file written.
    EXPECT_EQ(records(), "[FILE]\r\nC:\\Prog\\a.txt\r\n[FILE]\r\nC:\\Prog\\big.dat\r\n");
}

TEST_F(run_test, FaultsDuringTheCopyAreFailuresOfTheFile) {
    const std::string content = big_text(100000);
    std::string archive = root.path + "/setup.pck";
    struct row {
        const char *name;
        std::function<void()> arrange;
        std::string error_lines;
    };
    const row rows[] = {
        {"a full disk halfway through",
         [] {
             platform_faults.limit_path = "\\~"; // the temporary copy
             platform_faults.write_budget = 50000;
         },
         "WriteFile Failed: 112\r\nAttempted to write file 'C:\\Prog\\big.dat'\r\n"},
        {"the archive disappears after the scan",
         [&] {
             press_back = [&] {
                 if (std::string(platform_ui_text(IDC_STATUS_LINE)) == "Groot")
                     remove(archive.c_str());
                 return false;
             };
         },
         "CopyFile(2) Failed: 2\r\nCouldn't find packfile '" + archive + "'\r\n"},
        {"a record that no longer decodes",
         [&] {
             press_back = [&] {
                 if (std::string(platform_ui_text(IDC_STATUS_LINE)) != "Groot") return false;
                 bytes b = read_file(archive);
                 b[0] = 'X'; // the magic of the only record
                 write_file(archive, b);
                 return false;
             };
         },
         "CopyFile(3) Failed: 13\r\nCouldn't unpack 'big.dat'\r\n"},
        {"a record cut short",
         [&] {
             press_back = [&] {
                 if (std::string(platform_ui_text(IDC_STATUS_LINE)) != "Groot") return false;
                 bytes b = read_file(archive);
                 b.resize(b.size() / 2);
                 write_file(archive, b);
                 return false;
             };
         },
         "CopyFile(3) Failed: 13\r\nCouldn't unpack 'big.dat'\r\n"},
    };
    for (const row &r : rows) {
        SetUp();
        prepare({{"big.dat", content}}, steps("\"Groot\",big.dat,[dest]\\*.*,overwrite_always\n"));
        make_native_folder("C:\\Prog");
        write_text("C:\\Prog\\big.dat", "old contents");
        r.arrange();
        EXPECT_EQ(run(), RUN_COMPLETE) << r.name;
        EXPECT_EQ(read_text("C:\\Prog\\big.dat"), "old contents") << r.name;
        EXPECT_EQ(temporary_files("C:\\Prog"), "") << r.name;
        EXPECT_EQ(errors(), r.error_lines) << r.name;
        ASSERT_EQ(messages.size(), 1u) << r.name;
        EXPECT_EQ(messages[0].text, "Fout tijdens 'Groot'\n\nDe installatie wordt voortgezet");
        TearDown();
    }
}

TEST_F(run_test, EmptyMembersAndUnwritableLogsStillInstall) {
    prepare({{"empty.txt", ""}, {"a.txt", "alpha"}}, steps("\"Alles\",*.txt,[dest]\\*.*\n"));
    platform_faults.fail_open_path = "Uninstal.log";
    EXPECT_EQ(run(), RUN_COMPLETE);
    EXPECT_TRUE(exists("C:\\Prog\\empty.txt"));
    EXPECT_EQ(read_text("C:\\Prog\\empty.txt"), "");
    EXPECT_EQ(read_text("C:\\Prog\\a.txt"), "alpha");
    EXPECT_FALSE(exists("C:\\Prog\\Uninstal.log"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(run_test, ANameAtTheLengthLimitIsStillCopied) {
    // The file is filled under a temporary name no longer than its own, then renamed.
    std::string name = std::string(246, 'n') + ".txt";
    prepare({{name, "long"}, {"ab.c", "short"}}, steps("\"Alles\",*.*,[dest]\\*.*\n"));
    EXPECT_EQ(run(), RUN_COMPLETE);
    EXPECT_EQ(read_text("C:\\Prog\\" + name), "long");
    EXPECT_EQ(read_text("C:\\Prog\\ab.c"), "short");
    EXPECT_EQ(temporary_files("C:\\Prog"), "");
    EXPECT_EQ(errors(), "");
}

TEST_F(run_test, WithoutTheSpaceCheckNothingIsCopied) {
    prepare({{"a.txt", "alpha"}}, "install_steps\n{\ncopyfiles=\"Bestanden\"\n}\n"
                                  "copy_files\n{\n\"A\",a.txt,[dest]\\*.*\n}\n");
    EXPECT_EQ(run(), RUN_COMPLETE);
    EXPECT_FALSE(exists("C:\\Prog\\a.txt"));
    EXPECT_EQ(platform_ui_view.progress_pos, 0);
}

TEST(copy_message, OnlyOnePercentSIsALabel) {
    struct row {
        const char *format, *expected;
    };
    const row rows[] = {
        {"Fout tijdens '%s'", "Fout tijdens 'L'"},
        {"%s en %s", "L en %s"},
        {"%d %n %x%", "%d %n %x%"},
        {"100%% van %s", "100% van L"},
        {"geen label", "geen label"},
    };
    for (const row &r : rows) {
        char out[COPY_MESSAGE_CAPACITY];
        format_entry_message(r.format, "L", out, sizeof out);
        EXPECT_STREQ(out, r.expected) << r.format;
    }
    char small[8];
    format_entry_message("%s", "a long label", small, sizeof small);
    EXPECT_STREQ(small, "a long ");
}

} // namespace
