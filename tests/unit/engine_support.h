// What the engine tests share: a simulated drive C: in a temporary folder, a fixed clock, a
// clean UI, fault plan and logs before and after every test, and a job for a step run alone.
#pragma once

#include "engine/install_log.h"
#include "engine/install_run.h"
#include "platform/posix/platform_faults.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "platform/posix/platform_posix_ui.h"
#include "shell/wizard_progress.h"
#include "state/installer_state.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

// 09:05:03.042 on 6 December 2026.
inline const platform_time *fixed_clock() {
    static const platform_time t = {2026, 12, 6, 9, 5, 3, 42};
    return &t;
}

struct engine_test : ::testing::Test {
    temp_folder root;
    install_log log = {};   // the logs a test makes outside a run
    wizard_progress wizard; // the simulated wizard's controls, as a step's progress
    install_job job;        // the run a step called alone belongs to (step_job)
    bool job_begun = false;

    void SetUp() override {
        end_job();
        platform_faults_reset();
        platform_faults.fixed_time = fixed_clock();
        platform_ui_reset();
        platform_posix_registry_reset();
        install_log_close(&log);
        install_log_bind(&log);
        memset(&g_state, 0, sizeof g_state);
        platform_posix_set_root(root.path.c_str());
        std::error_code ec;
        for (const auto &entry : std::filesystem::directory_iterator(root.path, ec))
            std::filesystem::remove_all(entry.path(), ec); // every case starts on empty drives
        make_native_folder("C:\\");
    }
    void TearDown() override {
        end_job();
        platform_posix_set_root(nullptr);
        platform_faults_reset();
        platform_ui_reset();
        install_log_close(&log);
        install_log_bind(nullptr);
    }

    // The job of a step called alone, begun at the first call as the wizard begins a run: to
    // g_state's destination with its choices, the simulated controls as its progress. Its logs
    // are the ones a test creates after this call.
    install_job *step_job() {
        if (job_begun) return &job;
        install_request request = {};
        text_copy(request.dest, sizeof request.dest, g_state.dest_path);
        request.choice_flags = g_state.choice_flags;
        wizard_progress_start(&wizard, nullptr, &g_state);
        install_job_begin(&job, &g_state, &request, &wizard.progress);
        job_begun = true;
        return &job;
    }
    void end_job() {
        if (job_begun) install_job_end(&job);
        job_begun = false;
    }

    // The native path of a Windows path under the simulated drives.
    std::string native(const std::string &windows_path) {
        char out[PLATFORM_NATIVE_PATH_CAPACITY];
        platform_posix_native_path(windows_path.c_str(), out, sizeof out);
        return out;
    }
    void make_native_folder(const std::string &windows_path) {
        std::error_code ec;
        std::filesystem::create_directories(native(windows_path), ec);
    }
    std::string read_text(const std::string &windows_path) {
        bytes b = read_file(native(windows_path));
        return std::string(b.begin(), b.end());
    }
    void write_text(const std::string &windows_path, const std::string &text) {
        write_file(native(windows_path), bytes(text.begin(), text.end()));
    }
    // The names of the copy step's temporary files ("~" and hex digits) left in a folder.
    std::string temporary_files(const std::string &windows_folder) {
        std::string found;
        std::error_code ec;
        for (const auto &entry : std::filesystem::directory_iterator(native(windows_folder), ec))
            if (entry.path().filename().string()[0] == '~')
                found += entry.path().filename().string() + " ";
        return found;
    }
    bool exists(const std::string &windows_path) {
        return platform_path_exists(windows_path.c_str());
    }
};
