// Arbitrary bytes as a banner picture: the checks must refuse or accept without reading outside
// the block, and whatever they accept must have its colour table and every pixel row inside it
// (each byte is read here, so the sanitizer sees any row that pokes out).
#include "shell/bitmap_check.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    bitmap_layout layout;
    if (!bitmap_check_file(data, size, &layout)) return 0;
    volatile unsigned sum = 0;
    for (size_t i = 0; i < 4 * (size_t)layout.colour_count; i++)
        sum = sum + data[layout.colours_offset + i];
    for (size_t i = 0; i < layout.pixels_size; i++) sum = sum + data[layout.pixels_offset + i];
    if (layout.pixels_offset < layout.colours_offset + 4 * (size_t)layout.colour_count)
        __builtin_trap();
    return 0;
}
