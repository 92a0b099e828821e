// Faults of the POSIX removal backend: a path that behaves as a file held open by another
// program, so tests reach what the uninstaller reports when Windows refuses a removal.
#pragma once

struct platform_remove_fault_plan {
    const char *busy; // a file or folder whose Windows path contains this is in use; null: none
};
extern platform_remove_fault_plan platform_remove_faults;

inline void platform_remove_faults_reset() {
    platform_remove_faults = {nullptr};
}
