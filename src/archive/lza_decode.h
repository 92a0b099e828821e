// The LZARI member reader: LZSS over a 4096-byte window, literals, match lengths and positions
// coded with an adaptive arithmetic coder. A reader borrows the caller's stream from lza_open
// to its last lza_read and delivers exactly unpacked_size bytes, in portions of any size.
// It never reads outside its record's packed data: bits past it read as ones, as bits past the
// end of the file always have, so a member decodes alike wherever its record lies.
#pragma once

#include "archive/lza_format.h"
#include "archive/lza_model.h"

#include <cstddef>
#include <cstdint>

struct lza_stream;

struct lza_reader {
    lza_stream *stream; // borrowed; never closed by the reader
    uint32_t limit;     // unpacked_size: bytes to deliver in all
    uint32_t delivered; // bytes delivered so far
    int64_t data_start; // stream position of the first packed byte
    uint32_t data_left; // packed bytes not yet taken from the stream
    uint64_t past_data; // bytes supplied as ones beyond the packed data
    uint32_t low, high; // coder interval [low, high)
    uint32_t value;     // code value: 17 bits of look-ahead
    uint64_t bits;      // input bits read ahead, next one at the top; 1s past end of file
    uint32_t bit_count; // valid bits in bits
    uint16_t ring_pos;  // next ring position to write, 0..4095
    uint16_t copy_pos;  // ring position of the match's next byte (modulo N)
    int16_t copy_left;  // bytes of the current match still to copy
    lza_model model;    // adaptive symbol model, shared with the encoder
    unsigned char ring[LZA_N + LZA_F - 1]; // the window; positions 0..4095 addressed
    lza_header header_copy;                // the record's header as read
    char *name_copy;                       // NUL-terminated name, or null; inside this block
};

// At most this many bytes can come from one packed byte (derived in lza_decode.cpp).
enum : uint32_t { LZA_MAX_EXPANSION = 580 };

// Static cumulative frequencies of the 4096 match positions (position_cum[4096] is 0).
extern const uint16_t *const lza_position_cum;

// 1 when packed_size bytes of packed data can stand for unpacked_size bytes: none for an empty
// member, and for any other at least one per LZA_MAX_EXPANSION bytes. 0 when no encoder could
// have written the record: its header is damaged.
int lza_sizes_possible(uint32_t unpacked_size, uint32_t packed_size);

// Opens the member record at offset of stream. Null when the stream is missing, the seek
// fails, the header is short or lacks "LZA!", memory is short, unpacked_size is 0 or more than
// the packed data can stand for (lza_sizes_possible).
lza_reader *lza_open(lza_stream *stream, int64_t offset);
// Delivers up to size * count bytes into buffer, never past the member's end. Returns the
// blocks begun (a final partial block counts), 0 when exhausted or buffer/reader is null.
size_t lza_read(void *buffer, size_t size, size_t count, lza_reader *reader);
// How far the input the reader has taken ends from the end of its packed data, in bytes:
// negative while packed bytes are left untaken, positive when it has supplied ones beyond them.
// After the whole member a sound record gives a few bytes either way (the reader takes up to
// eight bytes ahead of the bits it uses); more means damaged data or a wrong packed_size.
int64_t lza_read_gap(const lza_reader *reader);
// Frees the reader; the stream stays open. Returns 0.
int lza_close(lza_reader *reader);
