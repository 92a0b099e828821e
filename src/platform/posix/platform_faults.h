// Fault injection for the POSIX backend: tests set a plan, run the core, and reset it.
// A path field matches every path that contains it (the path as the core wrote it).
#pragma once

#include "platform/platform.h"

#include <cstdint>

struct platform_fault_plan {
    const char *fail_open_path; // opening (or creating a folder at) a matching path fails
    uint32_t fail_open_error;   // the error it fails with (default: access denied)
    const char *limit_path;     // files whose path matches obey the two budgets below
    int64_t read_budget;        // bytes left to read before reads come back short; -1: none
    int64_t write_budget;       // bytes left to write before the disk is full; -1: none
    int64_t free_space = -1;    // free bytes every volume reports; -1: the real figure;
                                // -2: the platform cannot tell
    const platform_time *fixed_time = nullptr; // the clock's answer; null: the real time
};

extern platform_fault_plan platform_faults;

inline void platform_faults_reset() {
    platform_faults = {nullptr, 0, nullptr, -1, -1, -1, nullptr};
}
