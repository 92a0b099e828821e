// Checks of the untrusted banner picture, and reading it from the archive.
#include "shell/bitmap_check.h"

#include "archive/lza_decode.h"
#include "archive/lza_lookup.h"
#include "archive/lza_stream.h"
#include "script/script.h"
#include "script/script_keywords.h"
#include "state/installer_state.h"

#include <cstdlib>
#include <cstring>

namespace {

uint16_t read_u16(const unsigned char *p) {
    return (uint16_t)(p[0] | p[1] << 8);
}

uint32_t read_u32(const unsigned char *p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

// Info header fields, by their offsets in the header.
enum : size_t {
    INFO_SIZE = 0,
    INFO_WIDTH = 4,
    INFO_HEIGHT = 8,
    INFO_PLANES = 12,
    INFO_BITS = 14,
    INFO_COMPRESSION = 16,
    INFO_COLOURS_USED = 32,
};

const uint32_t COMPRESSION_NONE = 0;

int known_depth(uint16_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

int bitmap_check_packed(const unsigned char *dib, size_t size, bitmap_layout *out) {
    if (out) memset(out, 0, sizeof *out);
    if (!dib || !out || size < BMP_INFO_HEADER_SIZE) return 0;
    uint32_t info_size = read_u32(dib + INFO_SIZE);
    if (info_size < BMP_INFO_HEADER_SIZE || info_size > BMP_MAX_INFO_HEADER_SIZE ||
        info_size > size)
        return 0;
    int32_t width = (int32_t)read_u32(dib + INFO_WIDTH);
    int32_t height = (int32_t)read_u32(dib + INFO_HEIGHT);
    uint16_t bits = read_u16(dib + INFO_BITS);
    uint32_t used = read_u32(dib + INFO_COLOURS_USED);
    if (read_u16(dib + INFO_PLANES) != 1 || !known_depth(bits) ||
        read_u32(dib + INFO_COMPRESSION) != COMPRESSION_NONE)
        return 0;
    // Rows stored top-down carry a negative height; its size is what counts here.
    int64_t rows = height < 0 ? -(int64_t)height : height;
    if (width <= 0 || width > (int32_t)BMP_MAX_SIDE || rows == 0 || rows > BMP_MAX_SIDE ||
        (uint64_t)width * (uint64_t)rows > BMP_MAX_PIXELS)
        return 0;
    uint32_t colours = bits <= 8 ? 1u << bits : 0;
    if (used != 0) {
        if (used > BMP_MAX_COLOURS || (bits <= 8 && used > colours)) return 0;
        colours = used;
    }
    // Sides and depth are bounded above, so none of these sums can overflow 64 bits.
    uint64_t stride = ((uint64_t)width * bits + 31) / 32 * 4;
    uint64_t pixels_offset = (uint64_t)info_size + 4ull * colours;
    uint64_t pixels_size = stride * (uint64_t)rows;
    if (pixels_offset + pixels_size > size) return 0;
    out->width = width;
    out->height = height;
    out->bits_per_pixel = bits;
    out->colour_count = colours;
    out->info_offset = 0;
    out->info_size = info_size;
    out->colours_offset = info_size;
    out->pixels_offset = (size_t)pixels_offset;
    out->pixels_size = (size_t)pixels_size;
    return 1;
}

int bitmap_check_file(const unsigned char *data, size_t size, bitmap_layout *out) {
    if (out) memset(out, 0, sizeof *out);
    if (!data || !out || size < BMP_FILE_HEADER_SIZE || data[0] != 'B' || data[1] != 'M') return 0;
    if (!bitmap_check_packed(data + BMP_FILE_HEADER_SIZE, size - BMP_FILE_HEADER_SIZE, out))
        return 0;
    out->info_offset += BMP_FILE_HEADER_SIZE;
    out->colours_offset += BMP_FILE_HEADER_SIZE;
    out->pixels_offset += BMP_FILE_HEADER_SIZE;
    return 1;
}

int banner_member_name(installer_state *state, int bits_per_pixel, char *out, size_t cap) {
    if (!out || cap == 0) return 0;
    out[0] = 0;
    if (!(bits_per_pixel < 8 && get_value(state, KW_BITMAP16, out, cap)))
        get_value(state, KW_BITMAP, out, cap);
    return out[0] != 0;
}

int banner_file_read(installer_state *state, const char *name, banner_file *out) {
    if (!out) return 0;
    memset(out, 0, sizeof *out);
    if (!state || !name || !name[0] || !state->archive_path[0]) return 0;
    lza_stream *stream = lza_stream_open(state->archive_path);
    if (!stream) return 0;
    lza_header header;
    int64_t record = lza_find_first(stream, state->archive_offset, name, &header, nullptr);
    // The size comes from the archive: refuse a monster before allocating for it.
    lza_reader *reader = record >= 0 && header.unpacked_size <= BANNER_MAX_UNPACKED
                             ? lza_open(stream, record)
                             : nullptr;
    unsigned char *block =
        reader ? static_cast<unsigned char *>(calloc((size_t)header.unpacked_size + 1, 1))
               : nullptr;
    size_t got = block ? lza_read(block, 1, header.unpacked_size, reader) : 0;
    lza_close(reader);
    lza_stream_close(stream);
    // Only the bytes the reader delivered count: a short member fails the row check.
    if (!block || !bitmap_check_file(block, got, &out->layout)) {
        free(block);
        memset(out, 0, sizeof *out);
        return 0;
    }
    out->block = block;
    out->size = got;
    return 1;
}

void banner_file_free(banner_file *file) {
    if (!file) return;
    free(file->block);
    memset(file, 0, sizeof *file);
}
