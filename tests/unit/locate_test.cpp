// Finding the archive from the marker: behind the executable or in the .pck sibling.
#include "archive/lza_locate.h"
#include "state/installer_state.h"
#include "test_support.h"

#include <cctype>
#include <cstring>
#include <gtest/gtest.h>

TEST(ParseHexOffset, Table) {
    struct {
        const char *text;
        uint32_t value;
    } cases[] = {
        {"0001C000", 0x1C000},     {"0001c000", 0x1C000},    {"00000000", 0},
        {"FFFFFFFF", 0xFFFFFFFFu}, {"0001C00G", 0},          {"", 0},
        {" 0001C00", 0},           {"7fffffff", 0x7FFFFFFF},
    };
    for (auto &c : cases) EXPECT_EQ(parse_hex_offset(c.text), c.value) << c.text;
}

TEST(PckPath, Table) {
    struct {
        const char *exe, *pck;
    } cases[] = {
        {"C:\\Setup\\install.exe", "C:\\Setup\\install.pck"},
        {"C:\\My.Dir\\install", "C:\\My.pck"},
        {"install", "install"},
        {".exe", ".exe"}, // index 0 is not examined
        {"a.b.c", "a.b.pck"},
        {"/tmp/x/setup.exe", "/tmp/x/setup.pck"},
    };
    for (auto &c : cases) {
        char path[PATH_CAPACITY];
        text_copy(path, sizeof path, c.exe);
        lza_pck_path(path, sizeof path);
        EXPECT_STREQ(path, c.pck) << c.exe;
    }
    char tiny[6] = "ab.cd"; // ".pck" cut to what fits
    lza_pck_path(tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "ab.pc");
}

TEST(LocateArchive, BehindTheStubOrInThePck) {
    temp_folder dir;
    bytes record = make_record("setup.txt", 1, {0});
    bytes stub(0x1C000, 'S');
    bytes exe = stub;
    exe.insert(exe.end(), record.begin(), record.end());
    write_file(dir.file("setup.exe"), exe);
    write_file(dir.file("plain.exe"), stub);
    write_file(dir.file("plain.pck"), record);
    write_file(dir.file("bad.pck"), bytes{'L', 'Z', 'A'});

    struct {
        const char *exe, *digits;
        int result;
        const char *archive;
        uint32_t offset;
    } cases[] = {
        {"setup.exe", "0001C000", 1, "setup.exe", 0x1C000},
        {"setup.exe", "0001c000", 1, "setup.exe", 0x1C000},
        {"plain.exe", "00000000", 1, "plain.pck", 0},
        {"plain.exe", "0001C000", 0, "plain.exe", 0x1C000}, // a wrong offset never falls back
        {"plain.exe", "0001C0Z0", 1, "plain.pck", 0},       // a damaged marker means .pck
        {"bad.exe", "00000000", 0, "bad.pck", 0},           // fewer than 4 bytes
        {"none.exe", "00000000", 0, "none.pck", 0},
    };
    for (auto &c : cases) {
        installer_state state = {};
        std::string exe_path = dir.file(c.exe);
        EXPECT_EQ(locate_archive_at(&state, exe_path.c_str(), c.digits), c.result) << c.exe;
        EXPECT_EQ(std::string(state.archive_path), dir.file(c.archive));
        EXPECT_EQ(state.archive_offset, c.offset);
    }
}

TEST(LocateArchive, MarkerIsInPlaceForThePacker) {
    EXPECT_EQ(strncmp(lza_marker, "SelfExtractorIndex=", 19), 0);
    EXPECT_EQ(strlen(lza_marker), 27u);
}

// A .pck is checked against the digest its stub carries before any record is read; all zeros
// (a stub packed before digests) keeps the old behaviour, and a damaged marker never passes.
TEST(LocateArchive, PckDigestIsChecked) {
    temp_folder dir;
    const bytes archive = make_record("setup.txt", 1, {0});
    write_file(dir.file("setup.pck"), archive);
    const std::string right = sha256_hex(archive);
    std::string wrong = right;
    wrong[10] = wrong[10] == '0' ? '1' : '0';
    std::string upper = right;
    for (char &c : upper) c = (char)toupper((unsigned char)c);
    struct {
        const char *name;
        std::string digits;
        uint32_t offset; // 0: the .pck
        int result;
        bool guarded;
    } cases[] = {
        {"matching digest", right, 0, 1, true},
        {"upper case as the packer writes it", upper, 0, 1, true},
        {"differing digest", wrong, 0, -1, false},
        {"no digest", std::string(64, '0'), 0, 1, false},
        {"damaged marker", right.substr(0, 63) + "g", 0, -1, false},
        {"marker cut short", right.substr(0, 62), 0, -1, false},
        {"archive behind the stub", wrong, 0x1C000, 1, false},
    };
    for (auto &c : cases) {
        installer_state state = {};
        text_copy(state.archive_path, sizeof state.archive_path, dir.file("setup.pck").c_str());
        state.archive_offset = c.offset;
        EXPECT_EQ(lza_check_archive_digest(&state, c.digits.c_str()), c.result) << c.name;
        EXPECT_EQ(state.archive_guard != nullptr, c.guarded) << c.name;
        release_archive_guard(&state);
    }
    installer_state gone = {};
    text_copy(gone.archive_path, sizeof gone.archive_path, dir.file("gone.pck").c_str());
    EXPECT_EQ(lza_check_archive_digest(&gone, right.c_str()), -1);
}
