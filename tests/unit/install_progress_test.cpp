// The install run as a function of a request, seen through a recording progress interface:
// the rows, questions and messages in the order the run reports them, and a bar that only ever
// hears of a position that changed.
#include "run_support.h"

namespace {

// A progress interface that writes down what it is told and answers as the case says.
struct recording {
    std::vector<std::string> events; // rows, questions and messages, in order
    std::vector<int> bar;            // positions since the last range
    int bar_repeats = 0;             // positions reported twice in a row
    std::string status;              // the last status text
    int cancel_at = 0;        // the bar position of the copy step that asks to cancel (0: none)
    std::vector<int> answers; // overwrite answers in order; No when they run out

    install_progress progress() {
        install_progress p = {};
        p.context = this;
        p.row = [](void *c, int row, char state, const char *caption) {
            static_cast<recording *>(c)->events.push_back("row " + std::to_string(row) + " " +
                                                          state + " " + caption);
        };
        p.bar_range = [](void *c, int) { static_cast<recording *>(c)->bar.clear(); };
        p.bar_position = [](void *c, int position) {
            recording *r = static_cast<recording *>(c);
            if (!r->bar.empty() && r->bar.back() == position) r->bar_repeats++;
            r->bar.push_back(position);
        };
        p.status = [](void *c, const char *text) {
            if (text[0]) static_cast<recording *>(c)->status = text;
        };
        p.keep_alive = [](void *c) {
            recording *r = static_cast<recording *>(c);
            return r->cancel_at && r->status == "Teksten" && !r->bar.empty() &&
                           r->bar.back() >= r->cancel_at
                       ? 1
                       : 0;
        };
        p.ask_overwrite = [](void *c, const platform_overwrite_question *q) {
            recording *r = static_cast<recording *>(c);
            std::string message = q->message;
            r->events.push_back("ask " + message.substr(message.rfind('\\') + 1));
            if (r->answers.empty()) return (int)PLATFORM_OVERWRITE_NO;
            int answer = r->answers.front();
            r->answers.erase(r->answers.begin());
            return answer;
        };
        p.message = [](void *c, const char *text, const char *, uint32_t) {
            static_cast<recording *>(c)->events.push_back(std::string("message ") + text);
            return (int)PLATFORM_IDOK;
        };
        return p;
    }
};

// Compressible, yet long enough for the bar to move many times while one member is copied.
std::string large_text() {
    std::string text;
    for (int i = 0; text.size() < 300000; i++) text += "regel " + std::to_string(i) + "\n";
    return text;
}

TEST_F(run_test, TheProgressHearsRowsQuestionsAndMessagesInOrder) {
    const std::string steps_head = "install_steps\n{\n";
    const std::string copy_list = "copy_files\n{\n"
                                  "\"Teksten\",[source]*.txt,[dest]\\*.*,overwrite_ask\n"
                                  "}\n";
    struct progress_case {
        const char *name;
        const char *steps;        // the install_steps entries
        bool archive;             // false: no archive at all (the disk space step fails)
        std::vector<int> answers; // to the overwrite questions
        int cancel_at;            // the copy step's bar position that cancels (0: none)
        int result;
        std::vector<std::string> events;
        std::vector<std::string> files; // destination files and their first five characters
    };
    const progress_case cases[] = {
        {"a complete run",
         "checkdiskspace=\"Ruimte\"\ncreatefolders=\"Mappen\"\n"
         "copyfiles=\"Bestanden\",\"Kopieren mislukt\"\n",
         true,
         {},
         0,
         RUN_COMPLETE,
         {"row 0 0 Ruimte", "row 1 0 Mappen", "row 2 0 Bestanden", "row 3 X ", "row 4 X ",
          "row 5 X ", "row 0 3 Ruimte", "row 0 1 Ruimte", "row 1 3 Mappen", "row 1 1 Mappen",
          "row 2 3 Bestanden", "row 2 1 Bestanden"},
         {"a.txt alpha", "b.txt bravo", "c.txt regel"}},
        {"existing files: No, then Yes to all",
         "checkdiskspace=\"Ruimte\"\ncopyfiles=\"Bestanden\"\n",
         true,
         {PLATFORM_OVERWRITE_NO, PLATFORM_OVERWRITE_YES_TO_ALL},
         0,
         RUN_COMPLETE,
         {"row 0 0 Ruimte", "row 1 0 Bestanden", "row 2 X ", "row 3 X ", "row 4 X ", "row 5 X ",
          "row 0 3 Ruimte", "row 0 1 Ruimte", "row 1 3 Bestanden", "ask a.txt'", "ask b.txt'",
          "row 1 1 Bestanden"},
         {"a.txt oud a", "b.txt bravo", "c.txt regel"}},
        {"a failing step with break stops the run",
         "checkdiskspace=\"Ruimte\",\"Geen archief\",break\ncreatefolders=\"Mappen\"\n",
         false,
         {},
         0,
         STEP_FAILED,
         {"row 0 0 Ruimte", "row 1 0 Mappen", "row 2 X ", "row 3 X ", "row 4 X ", "row 5 X ",
          "row 0 3 Ruimte", "row 0 2 Ruimte", "message Geen archief"},
         {}},
        {"without break the run goes on",
         "checkdiskspace=\"Ruimte\",\"Geen archief\"\ncreatefolders=\"Mappen\"\n",
         false,
         {},
         0,
         RUN_COMPLETE,
         {"row 0 0 Ruimte", "row 1 0 Mappen", "row 2 X ", "row 3 X ", "row 4 X ", "row 5 X ",
          "row 0 3 Ruimte", "row 0 2 Ruimte", "message Geen archief", "row 1 3 Mappen",
          "row 1 1 Mappen"},
         {}},
        {"cancelled while the large member is copied",
         "checkdiskspace=\"Ruimte\"\ncopyfiles=\"Bestanden\"\n",
         true,
         {},
         20,
         STEP_CANCELLED,
         {"row 0 0 Ruimte", "row 1 0 Bestanden", "row 2 X ", "row 3 X ", "row 4 X ", "row 5 X ",
          "row 0 3 Ruimte", "row 0 1 Ruimte", "row 1 3 Bestanden", "row 1 2 Bestanden"},
         {"a.txt alpha", "b.txt bravo"}},
    };
    for (const progress_case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        prepare({{"a.txt", "alpha"}, {"b.txt", "bravo"}, {"c.txt", large_text()}},
                steps_head + c.steps + "}\n" + copy_list);
        if (!c.archive)
            text_copy(g_state.archive_path, sizeof g_state.archive_path, "/nonexistent/setup.pck");
        if (!c.answers.empty()) {
            make_native_folder("C:\\Prog");
            write_text("C:\\Prog\\a.txt", "oud a");
            write_text("C:\\Prog\\b.txt", "oud b");
        }
        recording seen;
        seen.answers = c.answers;
        seen.cancel_at = c.cancel_at;
        install_request request = {};
        text_copy(request.dest, sizeof request.dest, "C:\\Prog");
        install_progress progress = seen.progress();

        EXPECT_EQ(install_run(&g_state, &request, &progress), c.result);
        EXPECT_EQ(seen.events, c.events);
        EXPECT_EQ(seen.bar_repeats, 0);
        if (c.result == RUN_COMPLETE && c.archive) {
            ASSERT_FALSE(seen.bar.empty());
            EXPECT_GT(seen.bar.size(), 5u); // the large member moves it step by step
            EXPECT_EQ(seen.bar.back(), 100);
            EXPECT_TRUE(std::is_sorted(seen.bar.begin(), seen.bar.end()));
        }
        for (const std::string &file : c.files) {
            const std::string name = file.substr(0, file.find(' '));
            EXPECT_EQ(read_text("C:\\Prog\\" + name).substr(0, 5), file.substr(file.find(' ') + 1))
                << name;
        }
        if (c.cancel_at) {
            // The member cut off by the cancel leaves nothing: neither its name nor a part.
            std::vector<std::string> names;
            for (const auto &entry : std::filesystem::directory_iterator(root.path + "/c/Prog"))
                names.push_back(entry.path().filename().string());
            std::sort(names.begin(), names.end());
            EXPECT_EQ(names,
                      (std::vector<std::string>{"InsErr.log", "Uninstal.log", "a.txt", "b.txt"}));
        }
        TearDown();
    }
}

} // namespace
