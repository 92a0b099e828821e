// The wizard in a test: an archive holding setup.txt and page texts, the dialog of template 101
// kept by the POSIX backend, and a user who answers message boxes in order and may press Back
// while the run pumps messages.
#pragma once

#include "run_support.h"
#include "shell/wizard.h"

#include <deque>

struct wizard_test : run_test {
    std::deque<int> box_answers; // Yes/No answers to questions, in order; No when they run out
    int back_at_pump = 0;        // press Back at this pump of the run (0: never)
    int next_at_pump = 0;        // press Next (Enter on the hidden button) at this pump
    long pumps = 0;
    void *extra = nullptr; // whatever a test's own hooks need

    void SetUp() override {
        run_test::SetUp();
        box_answers.clear();
        back_at_pump = next_at_pump = 0;
        pumps = 0;
        platform_ui.message_box = [](const char *text, const char *caption, uint32_t style,
                                     void *self) {
            wizard_test *t = static_cast<wizard_test *>(self);
            t->messages.push_back({text, caption, style});
            if ((style & 0xF) != PLATFORM_MB_YESNO) return (int)PLATFORM_IDOK;
            if (t->box_answers.empty()) return (int)PLATFORM_IDNO;
            int answer = t->box_answers.front();
            t->box_answers.pop_front();
            return answer;
        };
        platform_ui.pump = [](void *self) {
            wizard_test *t = static_cast<wizard_test *>(self);
            ++t->pumps;
            if (t->pumps == t->back_at_pump) wizard_command(nullptr, &g_state, IDC_BACK);
            if (t->pumps == t->next_at_pump) wizard_command(nullptr, &g_state, IDC_NEXT);
        };
    }

    // Packs setup.txt (script) and the other members into ROOT/setup.pck, opens the template
    // and runs the start-up; the picture loader writes "picture" into the log.
    int open(const std::string &script, std::vector<packed_member> members = {}) {
        members.push_back({"setup.txt", script});
        std::string archive = root.path + "/setup.pck";
        write_file(archive, pack_members(members));
        text_copy(g_state.archive_path, sizeof g_state.archive_path, archive.c_str());
        g_state.archive_offset = 0;
        platform_ui_open_wizard();
        return wizard_init(nullptr, &g_state,
                           [](platform_window *) { platform_ui_log("picture"); });
    }
    std::string log() const { return platform_ui_view.log; }
    void clear_log() { platform_ui_view.log[0] = 0; }
    std::string text(int item) const { return platform_ui_text(item); }
    int visible(int item) const { return platform_item_visible(nullptr, item); }
    int enabled(int item) const {
        for (const platform_ui_item &it : platform_ui_view.items)
            if (it.id == item) return it.enabled;
        return 0;
    }
    platform_rect rect(int item) const {
        platform_rect r;
        platform_item_rect(nullptr, item, &r);
        return r;
    }
    // The group whose first control is shown: the page on screen (0: none of the five).
    int shown_group() const {
        for (int base : {5000, 5010, 5030, 5050, 6000})
            if (visible(base)) return base;
        return 0;
    }
    void press(int id) { wizard_command(nullptr, &g_state, id); }
    // Ticks a box or radio button as the user would (radio buttons untick their partner).
    void tick(int item, int on = 1) {
        platform_ui_tick(item, on);
        if (on && (item == IDC_AGREE || item == IDC_DISAGREE))
            platform_ui_tick(item == IDC_AGREE ? IDC_DISAGREE : IDC_AGREE, 0);
        press(item);
    }
};

// The demo's pages and keys, with welcome and licence texts.
inline const char *wizard_demo_script() {
    return "windowtitle=\"Demo installeren\"\n"
           "welcome=welcome.txt\n"
           "license=license.txt\n"
           "foldertext=\"Installeren in:\"\n"
           "default_dest_dir=Demo\n"
           "programgroupyesno=\"Menu Start\",true\n"
           "desktopyesno=\"Bureaublad\",false\n"
           "launchyesno=\"Nu starten\",true\n"
           "launchfile,\"[dest]\\demo.exe\",\"[dest]\"\n"
           "steps\n{\nshowwelcome\nshowlicense\nfoldersettings\nstartinstall\nfinished\n}\n"
           "install_steps\n{\n"
           "checkdiskspace=\"Ruimte\",\"Te weinig ruimte\",break\n"
           "copyfiles=\"Bestanden\",\"Kopieren mislukt\",break\n"
           "}\n"
           "copy_files\n{\n\"Alles\",[source]*.txt,[dest]\\*.*,overwrite_always\n}\n";
}

inline std::vector<packed_member> wizard_demo_members() {
    return {{"welcome.txt", "Welkom\nbij de demo"}, {"license.txt", "Licentie"}};
}
