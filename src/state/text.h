// Bounded text: the capacities of the record's text fields and the two copies every module uses
// to fill them. A copy into a fixed field is cut at its capacity, never overflows, and always
// leaves the field terminated.
#pragma once

#include <cstddef>

enum : size_t {
    PATH_CAPACITY = 512,        // every path field: at most 511 characters and the NUL
    DRIVE_CAPACITY = 64,        // default_drive
    DIR_CAPACITY = 448,         // default_dir
    TEXT_BUFFER_CAPACITY = 8192 // text_buffer
};

// Copies src into dst of capacity cap, cutting what does not fit between two UTF-8
// characters; dst is always terminated.
// Returns the number of characters copied (less than strlen(src) when cut).
size_t text_copy(char *dst, size_t cap, const char *src);
// Appends src to the zero-terminated text in dst, cutting what does not fit.
size_t text_append(char *dst, size_t cap, const char *src);
