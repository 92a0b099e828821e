// Preparation of the script text, the word-character test and the tokenizer.
#include "script/script.h"
#include "state/installer_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string prepared(const std::string &in) {
    std::vector<char> block(in.begin(), in.end());
    block.resize(2 * in.size() + 1);
    size_t n = script_prepare(block.data(), in.size(), nullptr);
    EXPECT_EQ(block[n], 0);
    return std::string(block.data(), n);
}

} // namespace

TEST(ScriptPrepare, Table) {
    struct {
        const char *in, *out;
    } cases[] = {
        {"text_ok\t=  \"OK\"", "text_ok=\"OK\""},
        {"text_prev=\"&<  Vorige\"", "text_prev=\"&<  Vorige\""},
        {"// comment\nb=2\n", "b=2\n"},
        {"a=1 // note\nb=2", "a=1b=2"},
        {"a=1//note", "a=1"},
        {"k=\"a//b\"", "k=\"a//b\""},
        {"k=\"x\\\"y\" // c\nz", "k=\"x\\\"y\"z"},
        {"x=\\\"  y", "x=\\\"y"}, // \" outside quotes opens nothing
        {"k=\"abc\n// stays\n\tx  y", "k=\"abc\n// stays\n\tx  y"},
        {"a=1\r\nb=2\r\n", "a=1\nb=2\n"},
        {"a\rb", "a\rb"}, // a lone CR is an ordinary character
        {"a\r\r\nb", "a\r\nb"},
        {"steps\n{\n    showwelcome\n\n\tfinished   \n}\n",
         "steps\n{\nshowwelcome\n\nfinished\n}\n"},
        {"key = \"x\" , y", "key=\"x\",y"},
        {"\"desc\", [source]*.txt, [dest]\\*.*, overwrite_ask",
         "\"desc\",[source]*.txt,[dest]\\*.*,overwrite_ask"},
        {"k=\"a\tb\"", "k=\"a\tb\""},
        // A blank between two word characters goes like any other.
        {"mode 1", "mode1"},
        {"a   b", "ab"},
        {"copy_files {", "copy_files{"},
        {"a\t\tb", "ab"},
        {"k=\"a b\" c d", "k=\"a b\"cd"},
        // Only the very first position keeps a blank before a word character.
        {" a", " a"},
        {"  a ", " a"},
        {" ", " "},
        {"a ", "a"},
        {"", ""},
        {"\n\n", "\n\n"},
        {"\xe9 b", "\xe9"
                   "b"}, // bytes above 127 are no word characters
    };
    for (auto &c : cases) EXPECT_EQ(prepared(c.in), c.out) << "input: " << c.in;
}

TEST(ScriptPrepare, CrLfAndLfPrepareAlike) {
    std::string lf = "windowtitle=\"Demo\" // title\n"
                     "steps\n{\n\tshowwelcome\n  // none\n\n\tfinished\n}\n"
                     "copy_files\n{\n  \"All, text\" , [source]*.txt ,[dest]\\*.*\n}\n";
    std::string crlf;
    for (char ch : lf) {
        if (ch == '\n') crlf += '\r';
        crlf += ch;
    }
    EXPECT_EQ(prepared(crlf), prepared(lf));
}

// The origin map follows every removal, so the packer can name lines of the vendor's file.
TEST(ScriptPrepare, OriginMapFollowsRemovals) {
    std::string in = "a\r\n// c\n  b \"q  r\"";
    std::vector<char> text(in.begin(), in.end());
    text.push_back(0);
    std::vector<uint32_t> origin(in.size());
    size_t n = script_prepare(text.data(), in.size(), origin.data());
    ASSERT_EQ(std::string(text.data(), n), "a\nb\"q  r\"");
    uint32_t expected[] = {0, 2, 10, 12, 13, 14, 15, 16, 17};
    for (size_t i = 0; i < n; i++) EXPECT_EQ(origin[i], expected[i]) << i;
}

TEST(IsWordChar, EveryByte) {
    const std::string set =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_0123456789\\.:*?{}";
    for (int c = 1; c < 256; c++)
        EXPECT_EQ(is_word_char(c), set.find((char)c) != std::string::npos ? 1 : 0) << c;
    EXPECT_EQ(is_word_char(0), 1);
    EXPECT_EQ(is_word_char((char)0xe9), 0); // a negative char is the same byte
}

TEST(NextToken, Table) {
    struct {
        const char *in, *token;
        size_t consumed;
    } cases[] = {
        {"=[install]", "[install]", 10},
        {",\"a,b\"", "\"a,b\"", 6},
        {"\"C:\\dir\\\" more\"x", "\"C:\\dir\\\" more\"", 15},
        {"\"C:\\dir\\\"", "\"C:\\dir\\\"", 9}, // unterminated: to the end
        {"\"\"x", "\"\"", 2},
        {"\nvalue\nmore", "value", 6}, // the skip crosses line ends
        {"  word rest", "word", 6},
        {"", "", 0},
        {"-=/()", "", 5},
        {"[a b\n\"c]x", "[a b\n\"c]", 8},
        {"[unterminated", "[unterminated", 13},
        {"copy_files{", "copy_files{", 11},
        {"abc=", "abc", 3},
        {"\xe9\xff"
         "abc",
         "abc", 5},
        {"a\"b", "a", 1},
    };
    for (auto &c : cases) {
        char out[64];
        EXPECT_EQ(next_token(c.in, out, sizeof out), c.consumed) << c.in;
        EXPECT_STREQ(out, c.token) << c.in;
    }
}

TEST(NextToken, LongTokenIsCutButConsumedWhole) {
    std::string in = "=" + std::string(10000, 'a') + ",x";
    EXPECT_EQ(next_token(in.c_str(), text_buffer, sizeof text_buffer), 10001u);
    EXPECT_EQ(strlen(text_buffer), sizeof text_buffer - 1);
    char tiny[4];
    EXPECT_EQ(next_token("\"quoted\"", tiny, sizeof tiny), 8u);
    EXPECT_STREQ(tiny, "\"qu");
    EXPECT_EQ(next_token("word", nullptr, 0), 4u);
}
