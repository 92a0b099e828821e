// Fault injection for the POSIX backend: tests set a plan, run the core, and reset it.
// A path field matches every path that contains it (the path as the core wrote it).
#pragma once

#include "platform/platform.h"

#include <cstdint>

struct platform_fault_plan {
    const char *fail_open_path = nullptr; // opening (or creating a folder at) a matching path fails
    uint32_t fail_open_error = 0;         // the error it fails with (default: access denied)
    const char *limit_path = nullptr;     // files whose path matches obey the two budgets below
    int64_t read_budget = -1;  // bytes left to read before reads come back short; -1: none
    int64_t write_budget = -1; // bytes left to write before the disk is full; -1: none
    int64_t free_space = -1;   // free bytes every volume reports; -1: the real figure;
                               // -2: the platform cannot tell
    const platform_time *fixed_time = nullptr; // the clock's answer; null: the real time

    // Faults by count, for sweeps that fail each call of a run in turn. The counted calls are
    // opens and creations, reads, writes, moves and folder creations; calls counts them as they
    // happen, and the one numbered fail_call (from 1) fails with a Win32-like error.
    int64_t fail_call = -1; // -1: none
    int64_t calls = 0;
    // Likewise every platform_alloc: the one numbered fail_alloc (from 1) is refused.
    int64_t fail_alloc = -1; // -1: none
    int64_t allocs = 0;
};

extern platform_fault_plan platform_faults;

inline void platform_faults_reset() {
    platform_faults = platform_fault_plan{};
}
