// The disk space step: builds the member table (which the copy step works from), adds up the
// unpacked bytes the copy_files entries will write and compares the sum with the free space on
// the destination's volume.
#pragma once

#include <cstdint>

struct install_job;
struct installer_state;

// Free space reported when the platform cannot tell: enough for any install below 2 GiB.
enum : int64_t { FREE_SPACE_UNKNOWN = 2147483647 };

// The step: "0 KB" then the running total "%d KB" in the status label. 1 when the free space
// exceeds bytes_total, 0 when it does not or the archive holds no record, -1 when cancelled.
int check_disk_space(install_job *job);
// Free bytes on the volume of dest_path (its text up to the first colon, or all of it);
// FREE_SPACE_UNKNOWN when the platform cannot tell.
int64_t free_space_on_dest(installer_state *state);
