// The keyword table: its shape, and the two lookups.
#include "script/script_keywords.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(KeywordTable, ShapeAndUniqueness) {
    std::set<uint32_t> ids;
    std::set<std::string> words;
    int per_kind[5] = {};
    for (int i = 0; i < KEYWORD_ROWS; i++) {
        const keyword_row &row = keyword_table[i];
        ASSERT_NE(row.word, nullptr) << i;
        std::string folded(row.word);
        for (char &ch : folded) ch = (char)tolower((unsigned char)ch);
        EXPECT_TRUE(ids.insert(row.id).second) << row.word;
        EXPECT_TRUE(words.insert(folded).second) << row.word;
        ASSERT_LT(row.kind, 5u);
        per_kind[row.kind]++;
        EXPECT_EQ(lookup_keyword(row.word), row.id) << row.word;
        EXPECT_EQ(keyword_kind(row.id), row.kind) << row.word;
    }
    const keyword_row &end = keyword_table[KEYWORD_ROWS];
    EXPECT_EQ(end.id, 0u);
    EXPECT_EQ(end.word, nullptr);
    EXPECT_EQ(end.kind, 0u);
    // 65, this product's uninstall, product_*, language and 76 text keys
    EXPECT_EQ(per_kind[KW_KIND_SETTING], 146);
    EXPECT_EQ(per_kind[KW_KIND_LIST], 10);
    EXPECT_EQ(per_kind[KW_KIND_ENTRY], 19);
    EXPECT_EQ(per_kind[KW_KIND_BRACE], 2);
    EXPECT_EQ(per_kind[KW_KIND_PAGE], 5);
}

TEST(KeywordTable, OrderAnchors) {
    struct {
        int row;
        uint32_t id;
        const char *word;
    } anchors[] = {
        {0, 0x0001, "windowtitle"},
        {2, 0x001e, "bitmap16"},
        {3, 0x0008, "mode"},
        {6, 0x0004, "copy_files"},
        {8, 0x0029, "reg_associate_01"},
        {23, 0x0013, "startinstall"},
        {24, 0x0011, "steps"},
        {32, 0x001b, "finished"},
        {35, 0x001f, "welcome"},
        {44, 0x0028, "extrareg09"},
        {45, 0x0032, "dir01"},
        {54, 0x003b, "folders"},
        {55, 0x0100, "[source]"},
        {67, 0x010c, "[dir01]"},
        {76, 0x0115, "vital"},
        {77, 0x0200, "{"},
        {79, 0x0300, "text_cancel"},
        {86, 0x0307, "text_ins_complete"},
        {87, 0x0309, "text_abort"},
        {93, 0x0400, "text_agree"},
        {100, 0x0407, "text_browse"},
        {101, 0x0500, "uninstall"}, // this product's additions come after every other row
        {102, 0x0510, "product_name"},
        {104, 0x0512, "product_version"},
        {105, 0x0520, "language"},
        {106, 0x0530, "text_finished"},
        {179, 0x05ae, "text_un_refused_not_ours"},
    };
    for (auto &a : anchors) {
        EXPECT_EQ(keyword_table[a.row].id, a.id) << a.row;
        EXPECT_STREQ(keyword_table[a.row].word, a.word) << a.row;
    }
}

TEST(LookupKeyword, Table) {
    struct {
        const char *word;
        uint32_t id;
    } cases[] = {
        {"COPY_FILES", 0x0004},
        {"copy_files", 0x0004},
        {"copy_files{", 0},
        {"[DEST]", 0x0101},
        {"dest", 0},
        {"TRUE", 0x0109},
        {"text_selectfolder", 0},
        {"text_inserror2", 0},
        {"", 0},
        {"}", 0x0201},
        {"dir1", 0},
        {"Dir09", 0x003a},
        {"Uninstall", 0x0500},
        {nullptr, 0},
    };
    for (auto &c : cases) EXPECT_EQ(lookup_keyword(c.word), c.id) << (c.word ? c.word : "null");
    EXPECT_EQ(keyword_kind(0x0308), 0u);
    EXPECT_EQ(keyword_kind(0), 0u);
    EXPECT_EQ(keyword_kind(KW_FINISHED), (uint32_t)KW_KIND_PAGE);
    EXPECT_EQ(keyword_word(0x0308), nullptr);
    EXPECT_STREQ(keyword_word(KW_PH_DIR09), "[dir09]");
}
