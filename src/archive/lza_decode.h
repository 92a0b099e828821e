// The LZARI member reader: LZSS over a 4096-byte window, literals, match lengths and positions
// coded with an adaptive arithmetic coder. A reader borrows the caller's stream from lza_open
// to its last lza_read and delivers exactly unpacked_size bytes, in portions of any size.
// It reads up to eight bytes ahead of the bits it has used, so the stream's position after a
// read says nothing about where the packed data ends.
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

// Static cumulative frequencies of the 4096 match positions (position_cum[4096] is 0).
extern const uint16_t *const lza_position_cum;

// Opens the member record at offset of stream. Null when the stream is missing, the seek
// fails, the header is short or lacks "LZA!", memory is short, or unpacked_size is 0.
lza_reader *lza_open(lza_stream *stream, int64_t offset);
// Delivers up to size * count bytes into buffer, never past the member's end. Returns the
// blocks begun (a final partial block counts), 0 when exhausted or buffer/reader is null.
size_t lza_read(void *buffer, size_t size, size_t count, lza_reader *reader);
// Frees the reader; the stream stays open. Returns 0.
int lza_close(lza_reader *reader);
