// A whole install run in a test: an archive packed from named texts, a script, the wizard's
// controls, and a user who answers every message box and question and may press Back
// (confirming the abort) at a chosen point.
#pragma once

#include "archive/lza_encode.h"
#include "engine/disk_space.h"
#include "engine/member_table.h"
#include "engine/install_run.h"
#include "engine_support.h"
#include "script/script.h"
#include "shell/wizard_progress.h"

#include <functional>
#include <vector>

struct packed_member {
    std::string name, content;
};

// The records of members, each packed, one after the other.
inline bytes pack_members(const std::vector<packed_member> &members) {
    bytes archive;
    for (const packed_member &m : members) {
        lza_byte_buffer packed = {};
        if (!m.content.empty()) lza_encode_memory(m.content.data(), m.content.size(), &packed);
        bytes record = make_record(m.name, (uint32_t)m.content.size(),
                                   bytes(packed.data, packed.data + packed.size));
        lza_byte_buffer_free(&packed);
        archive.insert(archive.end(), record.begin(), record.end());
    }
    return archive;
}

struct shown_message {
    std::string text, caption;
    uint32_t style;
};

struct run_test : engine_test {
    std::vector<shown_message> messages;
    std::vector<std::string> questions;
    std::vector<int> answers;         // overwrite answers in order; No when they run out
    std::function<bool()> press_back; // asked at every pump: true cancels the run there
    std::vector<std::pair<int, std::string>> item_changes;

    void SetUp() override {
        engine_test::SetUp();
        messages.clear();
        questions.clear();
        answers.clear();
        item_changes.clear();
        press_back = nullptr;
        platform_ui.context = this;
        platform_ui.message_box = [](const char *text, const char *caption, uint32_t style,
                                     void *self) {
            static_cast<run_test *>(self)->messages.push_back({text, caption, style});
            return (int)PLATFORM_IDOK;
        };
        platform_ui.ask_overwrite = [](const platform_overwrite_question *q, void *self) {
            run_test *t = static_cast<run_test *>(self);
            t->questions.push_back(q->message);
            if (t->answers.empty()) return (int)PLATFORM_OVERWRITE_NO;
            int answer = t->answers.front();
            t->answers.erase(t->answers.begin());
            return answer;
        };
        platform_ui.pump = [](void *self) {
            run_test *t = static_cast<run_test *>(self);
            if (t->press_back && !g_state.cancel_requested && t->press_back())
                g_state.cancel_requested = 1;
        };
        platform_ui.item_text = [](int item, const char *text, void *self) {
            static_cast<run_test *>(self)->item_changes.push_back({item, text});
        };
    }
    void TearDown() override {
        release_member_table(&g_state);
        release_script(&g_state);
        engine_test::TearDown();
    }

    // Packs members into ROOT/setup.pck and loads script; the destination box reads dest.
    void prepare(const std::vector<packed_member> &members, const std::string &script,
                 const std::string &dest = "C:\\Prog") {
        std::string archive = root.path + "/setup.pck";
        write_file(archive, pack_members(members));
        text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.c_str());
        g_state.archive_offset = 0;
        ASSERT_EQ(load_script_text(&g_state, script.data(), script.size()), 1);
        platform_ui_type(IDC_FOLDER_EDIT, dest.c_str());
    }
    // The run as the wizard's start page starts it, on the simulated controls.
    int run() { return wizard_run_install(nullptr, &g_state); }
    std::string step_row(int i) { return platform_ui_text(IDC_STEP_ROW_FIRST + i); }
    // Uninstal.log after its header and the InsErr.log record.
    std::string records(const std::string &dest = "C:\\Prog") {
        std::string text = read_text(dest + "\\Uninstal.log");
        std::string head = "[FILE]\r\n" + dest + "\\InsErr.log\r\n";
        size_t at = text.find(head);
        return at == std::string::npos ? text : text.substr(at + head.size());
    }
    // InsErr.log after its first line.
    std::string errors(const std::string &dest = "C:\\Prog") {
        std::string text = read_text(dest + "\\InsErr.log");
        size_t at = text.find("\r\n");
        return at == std::string::npos ? text : text.substr(at + 2);
    }
};
