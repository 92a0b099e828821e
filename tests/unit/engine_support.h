// What the engine tests share: a simulated drive C: in a temporary folder, a fixed clock, and
// a clean UI, fault plan and log state before and after every test.
#pragma once

#include "engine/install_log.h"
#include "platform/posix/platform_faults.h"
#include "platform/posix/platform_posix_paths.h"
#include "platform/posix/platform_posix_registry.h"
#include "platform/posix/platform_posix_ui.h"
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

    void SetUp() override {
        platform_faults_reset();
        platform_faults.fixed_time = fixed_clock();
        platform_ui_reset();
        platform_posix_registry_reset();
        install_log_reset();
        memset(&g_state, 0, sizeof g_state);
        platform_posix_set_root(root.path.c_str());
        std::error_code ec;
        for (const auto &entry : std::filesystem::directory_iterator(root.path, ec))
            std::filesystem::remove_all(entry.path(), ec); // every case starts on empty drives
        make_native_folder("C:\\");
    }
    void TearDown() override {
        platform_posix_set_root(nullptr);
        platform_faults_reset();
        platform_ui_reset();
        install_log_reset();
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
