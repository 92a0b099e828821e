// The banner picture before it reaches the graphics system: it is a BMP member of the archive,
// so every size, count and offset in its headers is untrusted. The checks here find where the
// colour table and the pixel rows lie and prove they lie inside the bytes read; a picture that
// fails any check is not drawn (the wizard paints its gradient instead). Also the choice of the
// member by the display's colour depth and the reading of it, refused beyond a sane size.
#pragma once

#include <cstddef>
#include <cstdint>

struct installer_state;

enum : uint32_t {
    BMP_FILE_HEADER_SIZE = 14,      // "BM", file size, two reserved words, pixel offset
    BMP_INFO_HEADER_SIZE = 40,      // the smallest info header we read
    BMP_MAX_INFO_HEADER_SIZE = 124, // the largest info header the format knows
    BMP_MAX_COLOURS = 256,          // colour-table entries at most
    BMP_MAX_SIDE = 8192,            // width or height in pixels at most
    BMP_MAX_PIXELS = 16u << 20,     // width x height at most: 64 MiB as a 32-bit display bitmap
    BANNER_MAX_UNPACKED = 64u << 20 // unpacked banner member in bytes at most
};

// Where the parts of a checked packed bitmap (info header, colour table, pixel rows) lie.
struct bitmap_layout {
    int32_t width;           // pixels, 1..BMP_MAX_SIDE
    int32_t height;          // rows as stored: positive bottom-up, negative top-down
    uint16_t bits_per_pixel; // 1, 4, 8, 16, 24 or 32
    uint32_t colour_count;   // colour-table entries, 0..BMP_MAX_COLOURS
    size_t info_offset;      // the info header within the checked block
    uint32_t info_size;      // its size as the header gives it, 40..124
    size_t colours_offset;   // first colour-table entry (blue, green, red, reserved)
    size_t pixels_offset;    // first pixel row: info header + info size + 4 x colour_count
    size_t pixels_size;      // bytes of all rows, each padded to a multiple of 4
};

// Checks a packed bitmap (info header, colour table, pixels) of size bytes at dib: info size
// 40..124 and inside the block, one plane, uncompressed, a known depth, sides within
// BMP_MAX_SIDE and BMP_MAX_PIXELS, a colour table of at most 256 (and for 8 bits or less at
// most 2^bits) entries, and every pixel row inside the block. 1 with out filled, else 0.
int bitmap_check_packed(const unsigned char *dib, size_t size, bitmap_layout *out);
// The same for a BMP file: "BM" and the 14-byte file header, then a packed bitmap; the offsets
// in out count from data. 1 with out filled, else 0.
int bitmap_check_file(const unsigned char *data, size_t size, bitmap_layout *out);

// The banner member start-up chooses: below 8 bits per pixel the value of bitmap16 when the
// script has that key, otherwise the value of bitmap. Into out (capacity cap); 1 when a name
// was found, 0 when out is empty.
int banner_member_name(installer_state *state, int bits_per_pixel, char *out, size_t cap);

// A banner member read into memory and checked as a BMP file.
struct banner_file {
    unsigned char *block; // heap block of the unpacked member (freed by banner_file_free)
    size_t size;          // bytes the reader delivered
    bitmap_layout layout; // offsets counted from block
};
// Reads member name of the state's archive and checks it. An unpacked size beyond
// BANNER_MAX_UNPACKED is refused before anything is allocated. 1 with out filled, 0 when the
// archive or member is missing, the reader fails or the picture fails a check (out empty).
int banner_file_read(installer_state *state, const char *name, banner_file *out);
// Frees the block of a banner_file and empties it.
void banner_file_free(banner_file *file);
