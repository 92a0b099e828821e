// The demo's whole install run with one platform call, then one allocation, failing at a time:
// every fault point of the run is reached in turn, until a run no longer meets the fault. After
// each run nothing may have crashed (the sanitizers watch), no temporary copy may be left,
// Uninstal.log must still read as records, and the run must have failed exactly when it logged
// a failure.
#include "engine/uninstall.h"
#include "run_support.h"

#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

const char DEST[] = "C:\\Korvex Demo";

std::string demo_file(const char *name) {
    bytes b = read_file(std::string(KV_VECTORS_DIR) + "/../../examples/demo/" + name);
    return std::string(b.begin(), b.end());
}

struct sweep_test : run_test {
    std::string script = demo_file("setup.txt");
    bytes archive;                             // packed once: every run installs the same archive
    int64_t by_kind[PLATFORM_CALL_KINDS] = {}; // the calls of the last run, by kind

    void SetUp() override {
        run_test::SetUp();
        if (archive.empty())
            archive = pack_members({{"setup.txt", script},
                                    {"demo.exe", std::string(3000, 'M') + "Z"},
                                    {"license.txt", demo_file("license.txt")},
                                    {"welcome.txt", demo_file("welcome.txt")},
                                    {"readme.txt", demo_file("readme.txt")},
                                    {"banner.bmp", demo_file("banner.bmp")}});
    }

    // One run with the given plan on drives that hold only the licence of an earlier install
    // (written over, so the run also puts a finished file in the place of one); the number of
    // counted calls and allocations it made, and a description of every broken rule (empty when it
    // held).
    std::string run_with(int64_t fail_call, int64_t fail_alloc, int64_t *calls, int64_t *allocs) {
        TearDown();
        SetUp();
        std::string path = root.path + "/setup.pck";
        write_file(path, archive);
        text_copy(g_state.archive_path, sizeof g_state.archive_path, path.c_str());
        load_script_text(&g_state, script.data(), script.size());
        make_native_folder(DEST);
        write_text(std::string(DEST) + "\\license.txt", "an earlier licence");
        platform_ui_type(IDC_FOLDER_EDIT, "C:\\Korvex Demo");
        platform_ui_tick(IDC_STARTMENU_BOX, 1);
        platform_ui_tick(IDC_DESKTOP_BOX, 1);
        platform_faults.calls = platform_faults.allocs = 0;
        platform_faults.failed_kind = -1;
        platform_faults.fail_call = fail_call;
        platform_faults.fail_alloc = fail_alloc;
        int result = run();
        *calls = platform_faults.calls;
        *allocs = platform_faults.allocs;
        memcpy(by_kind, platform_faults.by_kind, sizeof by_kind);
        platform_faults.fail_call = platform_faults.fail_alloc = -1;

        std::ostringstream broken;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root.path))
            if (entry.path().filename().string()[0] == '~')
                broken << " left " << entry.path().filename().string() << ";";
        std::string log = read_text("C:\\Korvex Demo\\Uninstal.log");
        if (!log.empty() && !uninstall_log_reads(log))
            broken << " Uninstal.log unreadable: [" << log << "];";
        std::string errors_logged = errors("C:\\Korvex Demo");
        // A failure shows a message (a step's error, or a copy entry's); the error log lives in
        // the destination, so a run that could not make it has nowhere to log.
        bool failed = result != RUN_COMPLETE || !messages.empty();
        bool logged = !errors_logged.empty();
        bool can_log = exists("C:\\Korvex Demo\\InsErr.log");
        if (failed != logged && (logged || can_log))
            broken << " result " << result << " with " << messages.size() << " message(s) ("
                   << (messages.empty() ? "" : messages.back().text) << "), "
                   << (logged ? "logged: " + errors_logged : "nothing logged") << ";";
        // Every failure logged keeps the system's error code: never 0, and the code of the call
        // that failed is among those logged.
        std::vector<unsigned long> codes = logged_codes(errors_logged);
        int failed_kind = platform_faults.failed_kind;
        bool has_injected = codes.empty() || failed_kind < 0;
        for (unsigned long code : codes) {
            if (code == 0) broken << " a failure logged with error 0: [" << errors_logged << "];";
            if (failed_kind >= 0 && code == platform_calls[failed_kind].error) has_injected = true;
        }
        if (!has_injected)
            broken << " " << platform_calls[failed_kind].name << " failed with "
                   << platform_calls[failed_kind].error << ", logged otherwise: [" << errors_logged
                   << "];";
        return broken.str();
    }

    // The demo installed without a fault, then uninstalled as kvuninst.exe /S does with the
    // call numbered fail_call failing. The number of counted calls the uninstall made (by kind
    // in by_kind), and every broken rule: the exit code must say whether all went, what stayed
    // must be reported with its system error, and a refused log must leave everything.
    std::string uninstall_with(int64_t fail_call, int64_t *calls) {
        int64_t install_calls = 0, install_allocs = 0;
        std::string installed = run_with(-1, -1, &install_calls, &install_allocs);
        if (!installed.empty()) return " the install broke a rule:" + installed;
        platform_faults.calls = 0;
        memset(platform_faults.by_kind, 0, sizeof platform_faults.by_kind);
        platform_faults.failed_kind = -1;
        platform_faults.fail_call = fail_call;
        uninstall_places places = {};
        uninstall_find_places(&places);
        uninstall_plan plan;
        char message[UNINSTALL_MESSAGE_CAPACITY] = "";
        static char report[UNINSTALL_REPORT_CAPACITY];
        report[0] = 0;
        int code = UNINSTALL_EXIT_BAD_LOG;
        if (uninstall_read(&plan, DEST, &places, nullptr, message, sizeof message) &&
            uninstall_check_log(&plan, message, sizeof message)) {
            code = uninstall_perform(&plan, nullptr, nullptr);
            uninstall_report(&plan, report, sizeof report);
        }
        *calls = platform_faults.calls;
        memcpy(by_kind, platform_faults.by_kind, sizeof by_kind);
        platform_faults.fail_call = -1;

        std::ostringstream broken;
        for (size_t i = 0; i < plan.count; i++)
            if (plan.entries[i].outcome == UNINSTALL_FAILED && plan.entries[i].error == 0)
                broken << " " << plan.entries[i].text << " failed with error 0;";
        uninstall_release(&plan);
        const bool left = exists(DEST) || exists(std::string(places.desktop) + "\\Korvex Demo.lnk");
        if (code == UNINSTALL_EXIT_OK && (left || report[0]))
            broken << " exit 0, but " << (left ? "the demo is still there" : report) << ";";
        if (code == UNINSTALL_EXIT_INCOMPLETE && !report[0]) broken << " exit 1 without a report;";
        if (code == UNINSTALL_EXIT_BAD_LOG &&
            (!message[0] || !exists(std::string(DEST) + "\\demo.exe")))
            broken << " a refused log, " << (message[0] ? "but files removed" : "unexplained")
                   << ";";
        if (code != UNINSTALL_EXIT_OK && code != UNINSTALL_EXIT_INCOMPLETE &&
            code != UNINSTALL_EXIT_BAD_LOG)
            broken << " exit " << code << ";";
        return broken.str();
    }

    // The error codes of the "... Failed: N" lines of an error log.
    static std::vector<unsigned long> logged_codes(const std::string &log) {
        std::vector<unsigned long> codes;
        const std::string mark = "Failed: ";
        for (size_t at = log.find(mark); at != std::string::npos; at = log.find(mark, at + 1))
            codes.push_back(strtoul(log.c_str() + at + mark.size(), nullptr, 10));
        return codes;
    }

    // A header line, then kind and path lines in pairs, every line ended by CR LF.
    static bool uninstall_log_reads(const std::string &log) {
        std::istringstream in(log);
        std::string line;
        int n = 0;
        while (std::getline(in, line)) {
            if (line.empty() || line.back() != '\r') return false;
            if (n == 0 && line.rfind("UninstallLog created: ", 0) != 0) return false;
            if (n > 0 && n % 2 == 1 && line.front() != '[') return false;
            n++;
        }
        return n % 2 == 1;
    }
};

TEST_F(sweep_test, EveryFailingCallAndAllocationOfTheDemoRunIsHandled) {
    int64_t calls = 0, allocs = 0;
    ASSERT_EQ(run_with(-1, -1, &calls, &allocs), "");
    ASSERT_GT(allocs, 5);
    const int64_t total_calls = calls, total_allocs = allocs;
    // The run reaches every kind of call the demo's steps make: files, folders, the registry
    // and the shortcuts; the sweep below fails each of them in turn.
    std::ostringstream kinds;
    for (int k = 0; k < PLATFORM_CALL_KINDS; k++)
        if (by_kind[k]) kinds << platform_calls[k].name << " " << by_kind[k] << ", ";
    for (platform_call k :
         {PLATFORM_CALL_OPEN_READ, PLATFORM_CALL_CREATE_WRITE, PLATFORM_CALL_OPEN_APPEND,
          PLATFORM_CALL_READ, PLATFORM_CALL_WRITE, PLATFORM_CALL_FILE_SIZE,
          PLATFORM_CALL_ATTRIBUTES, PLATFORM_CALL_MAKE_FOLDER, PLATFORM_CALL_MOVE,
          PLATFORM_CALL_FREE_SPACE, PLATFORM_CALL_REG_OPEN, PLATFORM_CALL_REG_CREATE,
          PLATFORM_CALL_REG_SET, PLATFORM_CALL_SPECIAL_FOLDER, PLATFORM_CALL_COM_START,
          PLATFORM_CALL_LINK_CREATE, PLATFORM_CALL_LINK_SAVE})
        EXPECT_GT(by_kind[k], 0) << platform_calls[k].name << " never reached; " << kinds.str();

    std::vector<std::string> findings;
    for (int64_t n = 1; n <= total_calls; n++) {
        std::string broken = run_with(n, -1, &calls, &allocs);
        if (!broken.empty()) findings.push_back("call " + std::to_string(n) + ":" + broken);
    }
    for (int64_t n = 1; n <= total_allocs; n++) {
        std::string broken = run_with(-1, n, &calls, &allocs);
        if (!broken.empty()) findings.push_back("allocation " + std::to_string(n) + ":" + broken);
    }
    std::ostringstream all;
    for (const std::string &f : findings) all << f << "\n";
    EXPECT_TRUE(findings.empty()) << findings.size() << " of " << total_calls << " calls and "
                                  << total_allocs << " allocations broke a rule:\n"
                                  << all.str();
    RecordProperty("calls", (int)total_calls);
    RecordProperty("kinds", kinds.str());
    RecordProperty("allocations", (int)total_allocs);
}

TEST_F(sweep_test, EveryFailingCallOfTheDemoUninstallIsReported) {
    int64_t calls = 0;
    ASSERT_EQ(uninstall_with(-1, &calls), "");
    ASSERT_FALSE(exists(DEST)) << "a clean uninstall leaves the demo behind";
    const int64_t total_calls = calls;
    // The uninstall reaches every kind of call its records need: the log read, each file,
    // link and folder opened without following links, shell links read, removals, the
    // registry.
    std::ostringstream kinds;
    for (int k = 0; k < PLATFORM_CALL_KINDS; k++)
        if (by_kind[k]) kinds << platform_calls[k].name << " " << by_kind[k] << ", ";
    for (platform_call k :
         {PLATFORM_CALL_OPEN_READ, PLATFORM_CALL_READ, PLATFORM_CALL_SPECIAL_FOLDER,
          PLATFORM_CALL_NODE_OPEN, PLATFORM_CALL_NODE_READ, PLATFORM_CALL_NODE_REMOVE,
          PLATFORM_CALL_FOLDER_ENTRIES, PLATFORM_CALL_REG_OPEN, PLATFORM_CALL_REG_DELETE})
        EXPECT_GT(by_kind[k], 0) << platform_calls[k].name << " never reached; " << kinds.str();

    std::vector<std::string> findings;
    for (int64_t n = 1; n <= total_calls; n++) {
        std::string broken = uninstall_with(n, &calls);
        if (!broken.empty()) findings.push_back("call " + std::to_string(n) + ":" + broken);
    }
    std::ostringstream all;
    for (const std::string &f : findings) all << f << "\n";
    EXPECT_TRUE(findings.empty()) << findings.size() << " of " << total_calls
                                  << " calls broke a rule:\n"
                                  << all.str();
    RecordProperty("calls", (int)total_calls);
    RecordProperty("kinds", kinds.str());
}

} // namespace
