// The encoding rule for text from outside, the bounded conversions, and the script, page
// texts and member names read through it.
#include "archive/lza_member_path.h"
#include "state/text.h"
#include "state/text_utf8.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string read_rule(const std::string &bytes, size_t cap = 256, int *whole = nullptr) {
    std::string out(cap, 'X');
    const int fitted = text_utf8_read(&out[0], cap, bytes.data(), bytes.size());
    if (whole) *whole = fitted;
    return out.c_str();
}

} // namespace

TEST(TextUtf8, TheRuleReadsUtf8AsItIsAndAnythingElseAsWindows1252) {
    const struct {
        const char *name;
        std::string bytes;
        int encoding;
        std::string utf8;
    } rows[] = {
        {"ascii", "mode1", TEXT_ENCODING_UTF8, "mode1"},
        {"utf-8",
         "Stra\xC3\x9F"
         "e Krak\xC3\xB3w",
         TEXT_ENCODING_UTF8, "Straße Kraków"},
        {"utf-8 with bom", "\xEF\xBB\xBFÇa coûte – 中文", TEXT_ENCODING_UTF8, "Ça coûte – 中文"},
        {"four bytes", "\xF0\x9F\x98\x80", TEXT_ENCODING_UTF8, "😀"},
        {"1252 letters", "ge\xEFnstalleerd", TEXT_ENCODING_CP1252, "geïnstalleerd"},
        {"overlong slash", "a\xC0\xAF", TEXT_ENCODING_CP1252, "aÀ¯"},
        {"overlong three", "\xE0\x80\xAF", TEXT_ENCODING_CP1252, "à€¯"},
        {"surrogate", "\xED\xA0\x80", TEXT_ENCODING_CP1252, "í\xC2\xA0€"},
        {"past U+10FFFF", "\xF4\xA0\x80\x80", TEXT_ENCODING_CP1252, "ô\xC2\xA0€€"},
        {"cut at the end", "caf\xC3", TEXT_ENCODING_CP1252, "cafÃ"},
        {"stray continuation", "\xA9 2026", TEXT_ENCODING_CP1252, "© 2026"},
        {"one 1252 byte spoils all", "\xC3\xA9 \xE9", TEXT_ENCODING_CP1252, "Ã© é"},
        {"undefined 0x81", "a\x81", TEXT_ENCODING_UNDEFINED, "a\xC2\x81"},
        {"undefined 0x9D", "\x9D", TEXT_ENCODING_UNDEFINED, "\xC2\x9D"},
        {"a NUL ends the text", std::string("ab\0\xE9", 4), TEXT_ENCODING_CP1252, "ab"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(text_encoding_of(row.bytes.data(), row.bytes.size(), nullptr), row.encoding);
        EXPECT_EQ(read_rule(row.bytes), row.utf8);
    }
    size_t bad = 0;
    EXPECT_EQ(text_encoding_of("ok\x8F", 3, &bad), TEXT_ENCODING_UNDEFINED);
    EXPECT_EQ(bad, 2u);
}

TEST(TextUtf8, EveryByteOfWindows1252FromHex80To9FBecomesItsCharacter) {
    // The 27 signs Windows-1252 puts at 0x80..0x9F, and the five it leaves undefined mapped to
    // the C1 controls, as Windows converts them.
    const char *const expected[32] = {"€",      "\u0081", "‚", "ƒ", "„", "…",      "†", "‡",
                                      "ˆ",      "‰",      "Š", "‹", "Œ", "\u008D", "Ž", "\u008F",
                                      "\u0090", "‘",      "’", "“", "”", "•",      "–", "—",
                                      "˜",      "™",      "š", "›", "œ", "\u009D", "ž", "Ÿ"};
    for (int i = 0; i < 32; i++) {
        const char byte[2] = {(char)(0x80 + i), 0};
        char out[8];
        ASSERT_EQ(text_utf8_from_cp1252(out, sizeof out, byte, 1), 1);
        EXPECT_STREQ(out, expected[i]) << std::hex << 0x80 + i;
        uint32_t cp = 0;
        ASSERT_EQ(text_utf8_decode(out, strlen(out), &cp), strlen(out));
        EXPECT_EQ(text_cp1252_byte(cp), 0x80 + i);
    }
    EXPECT_EQ(text_cp1252_byte(0x4E2D), -1); // 中
    EXPECT_EQ(text_cp1252_byte(0xE9), 0xE9);
}

TEST(TextUtf8, ATextThatDoesNotFitIsCutBetweenCharacters) {
    const struct {
        std::string bytes;
        size_t cap;
        std::string utf8;
        int whole;
    } rows[] = {
        {"abc", 4, "abc", 1},
        {"abcd", 4, "abc", 0},
        {"a中文", 4, "a", 0}, // 中 needs bytes 2..4: it goes whole
        {"a中文", 5, "a中", 0},
        {"\xEF\xBB\xBF"
         "ab",
         3, "ab", 1},            // the mark takes no room
        {"\xE9\xE9", 4, "é", 0}, // Windows-1252 cut too: two bytes each
        {"\x80\x80", 7, "€€", 1},
        {"\x80\x80", 6, "€", 0},
        {"x", 1, "", 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.bytes + " in " + std::to_string(row.cap));
        int whole = -1;
        EXPECT_EQ(read_rule(row.bytes, row.cap, &whole), row.utf8);
        EXPECT_EQ(whole, row.whole);
    }
    // Every bounded copy of the core cuts the same way.
    char field[6];
    EXPECT_EQ(text_copy(field, sizeof field, "Ωμέγα"), 4u);
    EXPECT_STREQ(field, "Ωμ");
    EXPECT_EQ(text_append(field, sizeof field, "中"), 0u);
    EXPECT_STREQ(field, "Ωμ");
    // A run of stray continuation bytes (no UTF-8 at all) is cut at the capacity.
    EXPECT_EQ(text_copy(field, sizeof field, "\x80\x80\x80\x80\x80\x80\x80"), 5u);
    // A text read up to a bound loses the sequence the bound cut, and only that.
    EXPECT_EQ(text_utf8_complete("ab\xE4\xB8", 4), 2u);
    EXPECT_EQ(text_utf8_complete("ab\xE4\xB8\xAD", 5), 5u);
    EXPECT_EQ(text_utf8_complete("ab\xE9", 3), 2u);
}

TEST(TextUtf8, MemberNamesInUtf8FoldTheirCaseAsWindowsOpensThem) {
    // Two names with equal keys are one file on Windows: the later member is refused.
    const struct {
        const char *a, *b;
        bool same;
    } rows[] = {
        {"readme.TXT", "README.txt", true},
        {"Été\\café.txt", "éTÉ\\CAFÉ.TXT", true},
        {"Ωμέγα 中文.txt", "ΩΜΈΓΑ 中文.TXT", true},
        {"Straße.txt", "STRASSE.txt", false}, // ß has no one-letter upper case: two files
        {"Ünïcödé ĞŞ.txt", "üNÏCÖDÉ ğş.txt", true},
        {"Москва.txt", "МОСКВА.TXT", true},
        {"ς.txt", "Σ.txt", true},
        {"a.txt", "b.txt", false},
        {"中文.txt", "中文.txt.", true}, // trailing dots go
        {"\xE9.txt", "\xC9.txt", false}, // not UTF-8: the bytes as they stand
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.a) + " / " + row.b);
        char a[128], b[128];
        ASSERT_EQ(lza_member_key(row.a, a, sizeof a), 1);
        ASSERT_EQ(lza_member_key(row.b, b, sizeof b), 1);
        EXPECT_EQ(std::string(a) == b, row.same) << a << " " << b;
        EXPECT_EQ(strlen(a), strlen(row.a) - (row.a[strlen(row.a) - 1] == '.'));
    }
}
