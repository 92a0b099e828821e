// Arbitrary bytes as one member's packed data: the reader must deliver exactly what the plain
// decoder of the benchmarks delivers, in portions of any size, whatever the bits say. The
// first two bytes give the unpacked size, the third the portion size; the rest is the data. A
// size the data cannot stand for is refused whole, before anything is decoded.
#include "archive/lza_decode.h"
#include "archive/lza_stream.h"
#include "lzari_plain.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    const uint32_t unpacked = 1 + ((uint32_t)data[0] << 8 | data[1]) * 3; // up to 196606
    const size_t portion = 1 + data[2] * 17u;
    const uint8_t *packed = data + 3;
    const size_t packed_size = size - 3;

    std::vector<unsigned char> record(LZA_HEADER_SIZE);
    lza_header h = {LZA_MAGIC, 1, 1, unpacked, (uint32_t)packed_size, 0, 0, 0};
    lza_header_encode(&h, record.data());
    record.insert(record.end(), packed, packed + packed_size);
    std::vector<unsigned char> expect(unpacked), out(unpacked);
    lzari_plain_decode(packed, packed_size, expect.data(), unpacked);

    lza_stream *stream = lza_stream_open_memory(record.data(), record.size());
    lza_reader *reader = lza_open(stream, 0);
    if (!lza_sizes_possible(unpacked, (uint32_t)packed_size)) {
        if (reader) abort();
        lza_stream_close(stream);
        return 0;
    }
    if (!reader) abort();
    size_t at = 0, got;
    while ((got = lza_read(out.data() + at, 1, portion < unpacked - at ? portion : unpacked - at,
                           reader)) > 0)
        at += got;
    lza_close(reader);
    lza_stream_close(stream);
    if (at != unpacked || memcmp(out.data(), expect.data(), unpacked) != 0) abort();
    return 0;
}
