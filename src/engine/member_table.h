// The member table: one row per archive record, built by the disk space step's scan and worked
// from by the copy step; and the reading of a copy_files entry's patterns, which both share.
#pragma once

#include "archive/lza_format.h"

#include <cstddef>
#include <cstdint>

struct install_job;
struct installer_state;

enum : size_t {
    MEMBER_NAME_CAPACITY = LZA_NAME_TEXT_CAPACITY, // a row's name in UTF-8 with its NUL
    MEMBER_TABLE_SPARE = 8,                        // rows allocated beyond member_count
};

// One row of the member table, in archive order.
struct member_row {
    int32_t match_count;             // copy_files entries whose source pattern takes it
    char name[MEMBER_NAME_CAPACITY]; // the stored name, NUL-terminated
    int64_t record_offset;           // archive offset of the record's 24-byte header
    uint32_t unpacked_size;          // the header's sizes
    uint32_t packed_size;
    int32_t refusal; // an lza_path_refusal: LZA_PATH_ACCEPTED, or why no copy may write it
};

// Rebuilds member_table and member_count from the archive in two passes (progress 0-50-100,
// cancel tested at every record), and judges every name by the member path rule: a name it
// refuses, or one that Windows would open as an earlier member's, keeps its refusal in its row.
// 1 built, 0 when the archive does not open or cannot be read, holds no record, or is damaged
// before its end (error lines logged), -1 when cancelled.
int scan_members(install_job *job);
// The rows of the member table (member_count of them), or null when there is none.
member_row *member_rows(installer_state *state);
// Frees the member table; member_count becomes 0.
void release_member_table(installer_state *state);
// Reads field n of the copy_files entry line, unquoted and with its placeholders expanded,
// into out (capacity cap). 1 when the field is there.
int copy_entry_pattern(installer_state *state, const char *line, int n, char *out, size_t cap);
