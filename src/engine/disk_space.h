// The disk space step: builds the member table (one row per archive record, which the copy
// step works from), adds up the unpacked bytes the copy_files entries will write and compares
// the sum with the free space on the destination's volume.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;
struct lza_header;
struct lza_stream;
struct platform_window;

enum : size_t {
    MEMBER_NAME_CAPACITY = 260, // a row's name with its NUL; longer names are cut
    MEMBER_TABLE_SPARE = 8,     // rows allocated beyond member_count
};

// Free space reported when the platform cannot tell: enough for any install below 2 GiB.
enum : int64_t { FREE_SPACE_UNKNOWN = 2147483647 };

// One row of the member table, in archive order.
struct member_row {
    int32_t match_count;             // copy_files entries whose source pattern takes it
    char name[MEMBER_NAME_CAPACITY]; // the stored name, NUL-terminated
    int64_t record_offset;           // archive offset of the record's 24-byte header
    uint32_t unpacked_size;          // the header's sizes
    uint32_t packed_size;
};

// The step: "0 KB" then the running total "%d KB" in the status label. 1 when the free space
// exceeds bytes_total, 0 when it does not or the archive holds no record, -1 when cancelled.
int check_disk_space(platform_window *window, installer_state *state);
// Rebuilds member_table and member_count from the archive in two passes (progress 0-50-100,
// cancel tested at every record). 1 built, 0 when the archive does not open or holds no
// record, -1 when cancelled.
int scan_members(platform_window *window, installer_state *state);
// Free bytes on the volume of dest_path (its text up to the first colon, or all of it);
// FREE_SPACE_UNKNOWN when the platform cannot tell.
int64_t free_space_on_dest(installer_state *state);
// The rows of the member table (member_count of them), or null when there is none.
member_row *member_rows(installer_state *state);
// Frees the member table; member_count becomes 0.
void release_member_table(installer_state *state);
// Reads field n of the copy_files entry line, unquoted and with its placeholders expanded,
// into out (capacity cap). 1 when the field is there.
int copy_entry_pattern(installer_state *state, const char *line, int n, char *out, size_t cap);
