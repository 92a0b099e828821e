// Installs over earlier installs: one log across them, the product's own files replaced under
// /S and the user's kept, EstimatedSize from the finished log.
#include "upgrade_support.h"

namespace {

// Version 1, the user's own files, version 2 over it with /S, the uninstaller: version 2's
// files replaced version 1's, the user's stayed, one log named both versions once each, and
// nothing of either is left but what the user put there.
TEST_F(upgrade_test, TwoVersionsOneLogOneUninstall) {
    ASSERT_EQ(install("/S", version(1), product_script("1.0", "overwrite_ask")), UNATTENDED_OK)
        << read_text(DEST + "\\InsErr.log");
    write_text(DEST + "\\notes.txt", "the user's notes");
    write_text(DEST + "\\c.txt", "the user's c.txt, there before version 2 brought one");
    ASSERT_EQ(install("/S", version(2), product_script("2.0", "overwrite_ask")), UNATTENDED_OK)
        << read_text(DEST + "\\InsErr.log");

    EXPECT_EQ(read_text(DEST + "\\a.txt"), version(2)[0].content) << "the product's: replaced";
    EXPECT_EQ(read_text(DEST + "\\b.txt"), "bravo 2");
    EXPECT_EQ(read_text(DEST + "\\big.dat"), version(1)[2].content) << "overwrite_never";
    EXPECT_EQ(read_text(DEST + "\\c.txt"), "the user's c.txt, there before version 2 brought one");
    EXPECT_EQ(errors(DEST), "Kept Existing File! (" + DEST + "\\c.txt)\r\n");
    std::map<std::string, int> named = pairs();
    for (const auto &p : named) EXPECT_EQ(p.second, 1) << p.first;
    for (const char *file : {"a.txt", "b.txt", "big.dat", "kvuninst.exe", "old.txt"})
        EXPECT_EQ(named.count("[FILE]\r\n" + DEST + "\\" + file), 1u) << file;
    EXPECT_EQ(named.count("[FILE]\r\n" + DEST + "\\c.txt"), 0u) << "the user's";
    EXPECT_EQ(named.count("[FILE]\r\n" + PROGRAMS + "\\Prog\\Prog.lnk"), 1u);

    // EstimatedSize: every file the log names, big.dat that version 2 did not copy included.
    uintmax_t bytes = 0;
    for (const auto &p : named)
        if (p.first.rfind("[FILE]\r\n", 0) == 0) bytes += read_text(p.first.substr(8)).size();
    char registry[65536];
    platform_posix_registry_text(registry, sizeof registry);
    std::smatch size;
    std::string text = registry;
    ASSERT_TRUE(std::regex_search(text, size, std::regex("\"EstimatedSize\"=dword:([0-9a-f]+)")));
    EXPECT_EQ(std::stoul(size[1], nullptr, 16), (bytes + 1023) / 1024);
    EXPECT_GT(bytes, 8000u);

    EXPECT_EQ(uninstall(), UNINSTALL_EXIT_INCOMPLETE) << "the user's files keep the folder";
    for (const char *file :
         {"a.txt", "b.txt", "big.dat", "kvuninst.exe", "old.txt", "InsErr.log", "Uninstal.log"})
        EXPECT_FALSE(exists(DEST + "\\" + file)) << file;
    EXPECT_EQ(read_text(DEST + "\\notes.txt"), "the user's notes");
    EXPECT_TRUE(exists(DEST + "\\c.txt"));
    EXPECT_FALSE(exists(PROGRAMS + "\\Prog"));
    platform_posix_registry_text(registry, sizeof registry);
    EXPECT_EQ(std::string(registry).find("Prog"), std::string::npos) << registry;
}

// The overwrite rule of /S: the earlier log's files are the product's and replaced, any other
// is kept and logged; /O replaces all; overwrite_never and overwrite_always as always.
TEST_F(upgrade_test, UnattendedOverwriteFollowsTheEarlierLog) {
    const std::string kept = "Kept Existing File! (" + DEST + "\\a.txt)\r\n";
    struct row {
        const char *name, *command;
        std::string named; // the earlier log's record of a.txt; "": none
        const char *mode;
        bool replaced;
        std::string errors;
    } rows[] = {
        {"named: the product's", "/S", DEST + "\\a.txt", "overwrite_ask", true, ""},
        {"named in other case", "/S", "c:\\Prog\\a.txt", "overwrite_ask", true, ""},
        {"not named: the user's", "/S", "", "overwrite_ask", false, kept},
        {"/O replaces the user's too", "/S /O", "", "overwrite_ask", true, ""},
        {"overwrite_never keeps the product's", "/S", DEST + "\\a.txt", "overwrite_never", false,
         ""},
        {"overwrite_always replaces the user's", "/S", "", "overwrite_always", true, ""},
    };
    for (const row &r : rows) {
        SCOPED_TRACE(r.name);
        SetUp();
        put(DEST + "\\a.txt", "there before");
        std::string earlier = earlier_header();
        if (!r.named.empty()) earlier += record("[FILE]", r.named);
        put(DEST + "\\Uninstal.log", earlier);
        EXPECT_EQ(install(r.command, version(2), product_script("2.0", r.mode)), UNATTENDED_OK);
        EXPECT_EQ(read_text(DEST + "\\a.txt") != "there before", r.replaced);
        EXPECT_EQ(errors(DEST), r.errors);
        TearDown();
    }
    SetUp();
}

} // namespace
