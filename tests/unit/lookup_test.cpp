// Member lookup, enumeration, the wildcard compare and target names.
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "test_support.h"

#include <gtest/gtest.h>

TEST(MatchMemberName, Table) {
    struct {
        const char *pattern, *name;
        int result;
    } cases[] = {
        {"*.txt", "a.TXT", 1},
        {"setup", "setup.txt", 0},
        {"setup.txt", "set.txt", 0},
        {"setup?.txt", "setup.txt", 1},
        {"*.tx?", "a.tx", 1},
        {"*.t", "a.txt", 0},
        {"setup.txt", "Setup.txt", 1},
        {"*.*", "readme", 1},
        {"*.*", "data\\x.dat", 1},
        {"*", "readme", 1},
        {"*", "readme.txt", 0},
        {"abc*xyz", "abcdef", 1},
        {"abc*xyz", "abd", 0},
        {"data\\*.*", "data\\x.dat", 1},
        {"data\\*.*", "x.dat", 0},
        {"DATA\\*.dat", "data\\x.dat", 1},
        {"data\\*.*", "date\\x.dat", 0},
        {"ab?t.txt", "ab.txt", 1}, // past the base, the pattern meets the extension's letters
        {"ab?x.txt", "ab.txt", 0},
        {"ab?t", "ab.txt", 0},
        {"\\*.*", "x.dat", 1}, // a backslash at 0 is no directory
        {"", "", 1},
        {"a.b.c", "A.B.C", 1},
        {"a.b.c", "a.bc", 0},
    };
    for (auto &c : cases)
        EXPECT_EQ(match_member_name(c.pattern, c.name), c.result) << c.pattern << " vs " << c.name;
}

// Parts longer than the 127 characters the compare holds are cut, never overrun.
TEST(MatchMemberName, OverlongPartsAreCut) {
    std::string long_base(300, 'a'), long_ext(300, 'b');
    EXPECT_EQ(match_member_name("*.*", (long_base + "." + long_ext).c_str()), 1);
    EXPECT_EQ(match_member_name((long_base + ".x").c_str(), (long_base + ".x").c_str()), 1);
    EXPECT_EQ(match_member_name("a.?", ("a." + long_ext).c_str()), 0);
    EXPECT_EQ(match_member_name(("x." + long_ext).c_str(), "x.b"), 0);
}

TEST(MakeTargetName, Table) {
    struct {
        const char *name, *pattern, *result;
    } cases[] = {
        {"license.txt", "C:\\Dest\\*.*", "C:\\Dest\\license.txt"},
        {"license.txt", "C:\\Dest\\*.bak", "C:\\Dest\\license.bak"},
        {"license.txt", "C:\\Dest\\new", "C:\\Dest\\new.txt"},
        {"license.txt", "C:\\Dest\\x*.*", "C:\\Dest\\xicense.txt"},
        {"license.txt", "C:\\Dest\\??.*", "C:\\Dest\\li.txt"},
        {"license.txt", "C:\\Dest\\lic.?", "C:\\Dest\\lic.t"},
        {"SETTINGS.DAT", "C:\\Dest\\Settings.dat", "C:\\Dest\\Settings.dat"},
        {"readme", "C:\\Dest\\*.*", "C:\\Dest\\readme."},
        {"readme", "C:\\Dest\\*", "C:\\Dest\\readme"},
        {"data\\x.dat", "C:\\Dest\\*.*", "C:\\Dest\\x.dat"},
        {"a.txt", "*.*", "a.txt"},
        // A dot in a folder name is not the extension's.
        {"readme.txt", "C:\\My.App\\*", "C:\\My.App\\readme.txt"},
        {"v1.2\\readme", "C:\\Dest\\*.*", "C:\\Dest\\readme."},
    };
    for (auto &c : cases) {
        char out[LZA_TARGET_CAPACITY];
        EXPECT_EQ(make_target_name(c.name, c.pattern, out, sizeof out), 1);
        EXPECT_STREQ(out, c.result) << c.name << " under " << c.pattern;
    }
}

TEST(MakeTargetName, OverlongResultIsCut) {
    std::string folder = "C:\\" + std::string(600, 'f') + "\\*.*";
    char out[LZA_TARGET_CAPACITY];
    memset(out, 'Z', sizeof out);
    make_target_name("readme.txt", folder.c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), LZA_TARGET_CAPACITY - 1);
    char small[8];
    make_target_name("readme.txt", "C:\\D\\*.*", small, sizeof small);
    EXPECT_STREQ(small, "C:\\D\\re");
}

namespace {
struct memory_archive {
    bytes data;
    lza_stream *stream;
    explicit memory_archive(std::initializer_list<bytes> records, size_t prefix = 0)
        : data(prefix, 'M') {
        for (auto &r : records) data.insert(data.end(), r.begin(), r.end());
        stream = lza_stream_open_memory(data.data(), data.size());
    }
    ~memory_archive() { lza_stream_close(stream); }
};
} // namespace

TEST(Lookup, EnumeratesInArchiveOrderWithCursor) {
    bytes a = make_record("Setup.txt", 10, {1, 2, 3});
    bytes b = make_record("readme", 4, {4});
    bytes c = make_record("data\\x.dat", 7, {5, 6, 7, 8, 9});
    memory_archive arc({a, b, c}, 100);
    lza_header h;
    char name[LZA_NAME_TEXT_CAPACITY];
    std::vector<int64_t> offsets;
    std::vector<uint32_t> cursors;
    for (int64_t off = lza_find_first(arc.stream, 100, "*.*", &h, name); off != -1;
         off = lza_find_next(arc.stream, 100, "*.*", &h, name)) {
        offsets.push_back(off);
        cursors.push_back(h.magic);
    }
    int64_t ob = 100 + (int64_t)a.size(), oc = ob + (int64_t)b.size();
    EXPECT_EQ(offsets, (std::vector<int64_t>{100, ob, oc}));
    EXPECT_EQ(cursors, (std::vector<uint32_t>{1, 2, 3}));

    EXPECT_EQ(lza_find_first(arc.stream, 100, "setup.txt", &h, name), 100);
    EXPECT_STREQ(name, "Setup.txt");
    EXPECT_EQ(h.unpacked_size, 10u);
    EXPECT_EQ(lza_find_first(arc.stream, 100, "nothing.here", &h, nullptr), -1);
    // A record offset as the start finds that record first.
    EXPECT_EQ(lza_find_first(arc.stream, oc, "*.dat", &h, name), oc);
    EXPECT_STREQ(name, "data\\x.dat");
    h.magic = 9; // a cursor past the end
    EXPECT_EQ(lza_find_next(arc.stream, 100, "*.*", &h, name), -1);
    EXPECT_EQ(lza_find_first(nullptr, 100, "*.*", &h, name), -1);
}

// Malformed name lengths are damage: the walk stops there rather than stepping on along lengths
// it cannot trust, never overruns the 256-byte name buffer, and finds nothing behind it.
TEST(Lookup, MalformedNameLengthsEndTheWalk) {
    std::string long_name(299, 'n');
    bytes good = make_record("first.txt", 1, {1, 2});
    bytes a = make_record(long_name, 1, {1, 2}); // name_length 300
    bytes b = make_record("", 1, {3}, -5);       // negative
    bytes c = make_record("last.txt", 1, {4});
    for (const bytes *bad : {&a, &b}) {
        memory_archive arc({good, *bad, c});
        lza_header h;
        char name[LZA_NAME_TEXT_CAPACITY];
        int count = 0;
        for (int64_t off = lza_find_first(arc.stream, 0, "*.*", &h, name); off != -1 && count < 10;
             off = lza_find_next(arc.stream, 0, "*.*", &h, name)) {
            count++;
            EXPECT_EQ(off, 0);
            EXPECT_STREQ(name, "first.txt");
        }
        EXPECT_EQ(count, 1);
        EXPECT_EQ(lza_find_first(arc.stream, 0, "last.txt", &h, name), -1);
    }
}
