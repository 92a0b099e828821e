// Loading setup.txt and member texts out of a real archive file.
#include "archive/lza_format.h"
#include "lzari_plain.h"
#include "script/script.h"
#include "state/installer_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bytes vector_data(const std::string &name) {
    return read_file(vectors_dir() + "/" + name);
}

// The original of a packed vector, decoded by the independent decoder.
std::string vector_original(const std::string &name, uint32_t size) {
    bytes packed = vector_data(name);
    std::string out(size, '\0');
    lzari_plain_decode(packed.data(), packed.size(), reinterpret_cast<unsigned char *>(&out[0]),
                       size);
    return out;
}

// An archive file of records built from the vectors, and a state pointing at it.
struct ScriptArchive : ::testing::Test {
    temp_folder folder;
    installer_state state = {};
    void write_archive(const std::vector<bytes> &records, uint32_t offset = 0) {
        bytes all(offset, 'S'); // a stub image in front when offset > 0
        for (const bytes &r : records) all.insert(all.end(), r.begin(), r.end());
        write_file(folder.file("setup.pck"), all);
        text_copy(state.archive_path, sizeof state.archive_path, folder.file("setup.pck").c_str());
        state.archive_offset = offset;
    }
    void TearDown() override { release_script(&state); }
};

const uint32_t SMALL_CONF_SIZE = 526;

} // namespace

TEST_F(ScriptArchive, LoadScriptFindsSetupTxtInAnyCase) {
    write_archive({make_record("readme.txt", 1, vector_data("edge/one.bin.lza")),
                   make_record("Setup.txt", SMALL_CONF_SIZE, vector_data("small.conf.lza"))},
                  100);
    state.current_page = 4;
    state.choice_flags = 8;
    ASSERT_EQ(load_script(&state), 1);
    EXPECT_EQ(state.current_page, 0);
    EXPECT_EQ(state.choice_flags, 0u);
    std::string expected = vector_original("small.conf.lza", SMALL_CONF_SIZE);
    expected.resize(script_prepare(&expected[0], expected.size(), nullptr));
    EXPECT_EQ(std::string(state.script_text), expected);

    // Loading again replaces the block (the sanitizer would report the first one leaking).
    ASSERT_EQ(load_script(&state), 1);
    EXPECT_EQ(std::string(state.script_text), expected);
}

TEST_F(ScriptArchive, LoadScriptFailures) {
    EXPECT_EQ(load_script(&state), 0); // no archive path
    EXPECT_EQ(state.script_text, nullptr);

    text_copy(state.archive_path, sizeof state.archive_path, folder.file("missing.pck").c_str());
    EXPECT_EQ(load_script(&state), 0);

    write_archive({make_record("readme.txt", 1, vector_data("edge/one.bin.lza"))});
    EXPECT_EQ(load_script(&state), 0); // no setup.txt member
    EXPECT_EQ(state.script_text, nullptr);

    // A damaged or hostile header must not lead to a huge (or wrapped) allocation.
    for (uint32_t size : {0xffffffffu, 0x80000000u, (uint32_t)SCRIPT_MAX_SIZE + 1}) {
        ASSERT_EQ(load_script_text(&state, "a", 1), 1);
        write_archive({make_record("setup.txt", size, bytes(16, 0))});
        EXPECT_EQ(load_script(&state), 0) << size;
        EXPECT_EQ(state.script_text, nullptr) << size;
    }

    // An empty member: the empty block stays, the load fails as no reader can be made.
    write_archive({make_record("setup.txt", 0, bytes())});
    EXPECT_EQ(load_script(&state), 0);
    ASSERT_NE(state.script_text, nullptr);
    EXPECT_STREQ(state.script_text, "");
}

// Packed data that ends early still gives a terminated text of at most unpacked_size.
TEST_F(ScriptArchive, TruncatedPackedDataStillTerminates) {
    bytes packed = vector_data("small.conf.lza");
    packed.resize(40);
    write_archive({make_record("setup.txt", SMALL_CONF_SIZE, packed)});
    ASSERT_EQ(load_script(&state), 1);
    EXPECT_LE(strlen(state.script_text), SMALL_CONF_SIZE);
}

TEST_F(ScriptArchive, LoadMemberText) {
    write_archive({make_record("license.txt", 4097, vector_data("edge/n4097.txt.lza")),
                   make_record("spaces.txt", 65536, vector_data("edge/spaces64k.bin.lza")),
                   make_record("empty.txt", 0, bytes()),
                   make_record("three.txt", 3, vector_data("edge/three.txt.lza"))},
                  7);
    std::string script = "license=license.txt\nwelcome=\"SPACES.TXT\"\nbitmap=empty.txt\n"
                         "bitmap16=nothere.txt\nwindowtitle=\"\"\ntext_ok=three.txt\n";
    ASSERT_EQ(load_script_text(&state, script.data(), script.size()), 1);
    bytes original = read_file(vectors_dir() + "/edge/n4097.txt");
    std::string license(original.begin(), original.end());

    EXPECT_EQ(load_member_text(&state, KW_LICENSE, text_buffer, sizeof text_buffer), 1);
    EXPECT_EQ(std::string(text_buffer), license);

    // Longer than the buffer: cut, never overrun.
    EXPECT_EQ(load_member_text(&state, KW_WELCOME, text_buffer, sizeof text_buffer), 1);
    EXPECT_EQ(std::string(text_buffer), std::string(sizeof text_buffer - 1, ' '));
    char small[100];
    EXPECT_EQ(load_member_text(&state, KW_LICENSE, small, sizeof small), 1);
    EXPECT_EQ(std::string(small), license.substr(0, sizeof small - 1));

    struct {
        uint32_t key;
        int result;
    } failures[] = {
        {KW_BITMAP, 0},      // empty member: no reader
        {KW_BITMAP16, 0},    // not packed
        {KW_WINDOWTITLE, 0}, // empty name
        {KW_FOLDERTEXT, 0},  // key absent
    };
    for (auto &f : failures) {
        memset(small, 'x', sizeof small);
        EXPECT_EQ(load_member_text(&state, f.key, small, sizeof small), f.result) << f.key;
        EXPECT_STREQ(small, "") << f.key;
    }
    EXPECT_EQ(load_member_text(&state, KW_TEXT_OK, small, sizeof small), 1);
    EXPECT_EQ(strlen(small), 3u);

    state.archive_path[0] = 0;
    EXPECT_EQ(load_member_text(&state, KW_LICENSE, small, sizeof small), 0);
}
