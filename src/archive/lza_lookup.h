// Finding members by name or wildcard pattern by walking the records, and the two name
// operations the install steps share: the wildcard compare and the target-name derivation.
#pragma once

#include "archive/lza_format.h"

#include <cstddef>
#include <cstdint>

struct lza_stream;

enum : size_t {
    LZA_COMPARE_CAPACITY = 128, // one part (base or extension) of a compared name
    LZA_TARGET_CAPACITY = 512,  // a derived target path
};

// Offset of the first record at or after start whose name matches pattern, walking the records
// as lza_walk_next does; -1 when none matches before the end of the archive or damage. On a
// match header holds that record's header with its first word replaced by the cursor (records
// passed up to and including the match); name_out (LZA_NAME_TEXT_CAPACITY bytes, optional) receives
// the name.
int64_t lza_find_first(lza_stream *stream, int64_t start, const char *pattern, lza_header *header,
                       char *name_out);
// As lza_find_first, continuing after the record the cursor in header counts.
int64_t lza_find_next(lza_stream *stream, int64_t start, const char *pattern, lza_header *header,
                      char *name_out);

// 1 when name matches the wildcard pattern (directory, base and extension compared apart,
// '?' and '*' within a part, letters without regard to case), else 0.
int match_member_name(const char *pattern, const char *name);

// Writes into out (capacity cap, cut to fit) the target path for member name under the
// destination pattern, whose wildcards take the name's characters. Always 1.
int make_target_name(const char *name, const char *pattern, char *out, size_t cap);
