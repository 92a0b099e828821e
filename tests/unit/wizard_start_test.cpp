// The wizard's start-up: which fatal message a missing or changed archive or a missing script
// draws, and the state a good start leaves behind.
#include "archive/lza_encode.h"
#include "archive/lza_locate.h"
#include "platform/posix/platform_posix_ui.h"
#include "state/installer_state.h"
#include "shell/wizard.h"
#include "test_support.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string shown_text, shown_caption;

int record_box(const char *text, const char *caption, uint32_t, void *) {
    shown_text = text;
    shown_caption = caption;
    return PLATFORM_IDOK;
}

bytes packed_member(const std::string &name, const std::string &text) {
    lza_byte_buffer packed = {};
    lza_encode_memory(text.data(), text.size(), &packed);
    bytes data(packed.data, packed.data + packed.size);
    lza_byte_buffer_free(&packed);
    return make_record(name, (uint32_t)text.size(), data);
}

} // namespace

TEST(WizardStart, FatalMessagesAndTheStateLeftBehind) {
    temp_folder dir;
    const std::string script = "steps{\r\nshowwelcome\r\nstartinstall\r\nfinished\r\n}\r\n";
    char changed[128];
    snprintf(changed, sizeof changed, TEXT_ARCHIVE_CHANGED, "changed.pck");
    const std::string digest_digits = lza_digest_marker + LZA_DIGEST_MARKER_PREFIX_LENGTH;
    struct {
        const char *what;
        bytes archive; // empty: no file at all
        int digest;    // in the stub's marker: 0 none, 1 the archive's, -1 another
        int result;
        const char *message;
        int32_t pages;
    } cases[] = {
        {"no archive", {}, 0, 0, TEXT_NO_ARCHIVE, 0},
        {"not an archive", bytes{'M', 'Z', 0, 0}, 0, 0, TEXT_NO_ARCHIVE, 0},
        {"no setup.txt", packed_member("readme.txt", "hallo"), 0, 0, TEXT_NO_SCRIPT, 0},
        {"setup.txt found", packed_member("Setup.TXT", script), 0, 1, "", 3},
        {"digest matches", packed_member("Setup.TXT", script), 1, 1, "", 3},
        {"changed", packed_member("Setup.TXT", script), -1, 0, changed, 0},
    };
    platform_ui.message_box = record_box;
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = dir.file(std::string(c.what) + ".pck");
        if (!c.archive.empty()) write_file(path, c.archive);
        std::string digest = c.digest ? sha256_hex(c.archive) : digest_digits;
        if (c.digest < 0) digest[0] = digest[0] == '0' ? '1' : '0';
        memcpy(lza_digest_marker + LZA_DIGEST_MARKER_PREFIX_LENGTH, digest.data(), digest.size());
        memset(&g_state, 0, sizeof g_state);
        g_state.choice_flags = 0xFF;
        // A path already in the record is used as it stands: the test's archive.
        text_copy(g_state.archive_path, sizeof g_state.archive_path, path.c_str());
        shown_text = shown_caption = "";
        EXPECT_EQ(wizard_start(), c.result);
        EXPECT_EQ(shown_text, c.message);
        EXPECT_EQ(shown_caption, c.result ? "" : CAPTION_FATAL);
        EXPECT_EQ(g_state.page_count, c.pages);
        if (c.result) {
            EXPECT_NE(g_state.script_text, nullptr);
            EXPECT_EQ(g_state.choice_flags, 0u);
        }
        wizard_release();
        EXPECT_EQ(g_state.script_text, nullptr);
        EXPECT_EQ(g_state.archive_guard, nullptr);
    }
    memcpy(lza_digest_marker + LZA_DIGEST_MARKER_PREFIX_LENGTH, digest_digits.data(),
           digest_digits.size());
    platform_ui.message_box = nullptr;
}
