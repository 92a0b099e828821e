// The copy step: unpacks the members each copy_files entry names into the destination, in
// 512-byte blocks with progress, asking before it overwrites where the entry says so, and
// records every file it writes in Uninstal.log.
#pragma once

#include <cstddef>
#include <cstdint>

struct install_job;
struct member_row;

enum : size_t {
    COPY_BLOCK_SIZE = 512,       // decoded bytes per unit of work (progress, message pump)
    COPY_MESSAGE_CAPACITY = 512, // the failure message of an entry
};

// The step. 1 when the block was worked through, 0 when a vital entry failed, -1 when the user
// cancelled. Non-vital entries that fail are reported once each in a message box. The archive
// is opened once for the step's members (job->archive) and closed at its end.
int copy_files_step(install_job *job);
// Unpacks member to the file destination under the overwrite mode (an overwrite_ keyword id,
// anything else asks). The file appears only when complete: a failed or cancelled copy leaves
// what was there before. 1 when written, kept by the overwrite rules, or cancelled; 0 when the
// destination could not be created or written, or the archive or the member could not be read
// (error lines logged).
int copy_member(install_job *job, const member_row *member, const char *destination, uint32_t mode);
// The failure message of an entry: format with its first %s replaced by label (%% gives %;
// every other % stays as written), into out (capacity cap, cut to fit).
void format_entry_message(const char *format, const char *label, char *out, size_t cap);
