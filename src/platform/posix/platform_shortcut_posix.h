// How the POSIX backend makes shortcuts: the special folders of a Windows user profile under
// the simulated drive C: (C:\users\NAME\Desktop, ...\Start Menu\Programs) and those of all
// users (C:\users\Public\Desktop, C:\ProgramData\...\Start Menu\Programs), link files
// written in the shell's binary link format, and faults a test can inject into the COM steps.
#pragma once

#include "platform/platform_shortcut.h"

#include <cstddef>
#include <cstdint>

struct platform_shortcut_fault_plan {
    int32_t com_start;   // negative: platform_com_start fails with it
    int32_t link_create; // negative: platform_link_create fails with it
    int32_t persist;     // negative: the persist-file request fails with it (no save tried)
    int32_t save;        // negative: the save is tried and fails with it (no file written)
    int missing_folder;  // 1 + the special folder that is unavailable; 0: all are there
};
extern platform_shortcut_fault_plan platform_shortcut_faults;
// COM starts not yet stopped: 0 whenever every start was matched by a stop.
extern int platform_posix_com_depth;

inline void platform_shortcut_faults_reset() {
    platform_shortcut_faults = {0, 0, 0, 0, 0};
}

// Sets the profile's user name (C:\users\NAME); null or "" goes back to the login name, as a
// Wine prefix names its profile. 1 when set, 0 when the name cannot be a folder name.
int platform_posix_set_user(const char *name);

enum : size_t { SHELL_LINK_CAPACITY = 8192 }; // a link of five 511-byte texts fits well

// Encodes a link file for properties into out (capacity cap): header, link info with the
// target's local path (or its share and the rest), and the description, working folder and
// icon location as UTF-16 texts. target_size is the target's size in bytes (the header keeps
// it). The encoded length, or 0 when it does not fit.
size_t shell_link_encode(const platform_link_properties *properties, uint32_t target_size,
                         unsigned char *out, size_t cap);
