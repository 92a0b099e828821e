// The entry's mode choice, exit code and the bounded text copies every module relies on.
#include "platform/posix/platform_posix_ui.h"
#include "shell/installer_entry.h"
#include "state/installer_state.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(Entry, ExtractModeFromTheFirstTwoCharacters) {
    struct {
        const char *command_line;
        int extract;
    } cases[] = {{"/X", 1}, {"/x", 1}, {"/Xanything", 1}, {" /X", 0}, {"", 0},
                 {"X", 0},  {"/", 0},  {"-X", 0},         {"/Y", 0},  {nullptr, 0}};
    for (auto &c : cases)
        EXPECT_EQ(is_extract_command(c.command_line), c.extract)
            << (c.command_line ? c.command_line : "(null)");
}

TEST(Entry, RunsOneDialogAndAlwaysExitsZero) {
    static int seen_template, dialog_result;
    platform_ui.run_dialog = [](int id, void *) {
        seen_template = id;
        return dialog_result;
    };
    for (int result : {0, 1, -1, 1602}) {
        dialog_result = result;
        g_state.cancel_requested = 1; // must be cleared by the entry
        EXPECT_EQ(run_installer(nullptr, "/x"), 0);
        EXPECT_EQ(seen_template, IDD_EXTRACT);
        EXPECT_EQ(g_state.cancel_requested, 0);
        EXPECT_EQ(run_installer(nullptr, ""), 0);
        EXPECT_EQ(seen_template, IDD_WIZARD);
    }
    platform_ui.run_dialog = nullptr;
}

TEST(TextCopy, CutsNeverOverflows) {
    char dst[8];
    memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(text_copy(dst, sizeof dst, "0123456789"), 7u);
    EXPECT_STREQ(dst, "0123456");
    EXPECT_EQ(text_copy(dst, sizeof dst, nullptr), 0u);
    EXPECT_STREQ(dst, "");
    text_copy(dst, sizeof dst, "abc");
    EXPECT_EQ(text_append(dst, sizeof dst, "defgh"), 4u);
    EXPECT_STREQ(dst, "abcdefg");
    EXPECT_EQ(text_append(dst, sizeof dst, "x"), 0u);
    EXPECT_EQ(text_copy(dst, 0, "x"), 0u);
}
