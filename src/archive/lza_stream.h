// The byte stream every archive reader borrows: buffered reads over a platform file (or a
// block of memory), with stdio's contract: byte-at-a-time reads that give -1 at end of file,
// and seeks past the end that succeed and then read nothing.
#pragma once

#include <cstddef>
#include <cstdint>

struct platform_file;

struct lza_stream {
    platform_file *file;   // null for a memory stream
    unsigned char *buffer; // buffered bytes (the block itself for a memory stream)
    size_t capacity;       // size of buffer
    size_t pos;            // next byte in buffer
    size_t end;            // bytes valid in buffer
    int64_t buffer_start;  // file offset of buffer[0]
    int64_t past_end;      // memory stream parked this far beyond its end
    int owns_buffer;       // 1 when buffer is ours to free
    int error;             // 1 after a failed platform read
};

// Opens path for reading. Null when the file cannot be opened (platform error set).
lza_stream *lza_stream_open(const char *path);
// A stream over size bytes at data, which must outlive the stream.
lza_stream *lza_stream_open_memory(const void *data, size_t size);
void lza_stream_close(lza_stream *stream);

// Moves to offset from the start. 1 on success, 0 for a negative offset or a failed seek.
int lza_stream_seek(lza_stream *stream, int64_t offset);
// Moves by delta from the current position. 1 on success, 0 when the result would be negative.
int lza_stream_skip(lza_stream *stream, int64_t delta);
int64_t lza_stream_tell(const lza_stream *stream);
// Size of the file (or block) in bytes, or -1 when the platform cannot tell.
int64_t lza_stream_size(lza_stream *stream);
// Reads up to size bytes; returns the count read (short at end of file or on error).
size_t lza_stream_read(lza_stream *stream, void *out, size_t size);

// Slow path of lza_stream_getc: refills the buffer; -1 at end of file.
int lza_stream_refill_getc(lza_stream *stream);
// Next byte (0..255) or -1 at end of file.
inline int lza_stream_getc(lza_stream *stream) {
    if (stream->pos < stream->end) return stream->buffer[stream->pos++];
    return lza_stream_refill_getc(stream);
}

// Bytes buffered ahead of the position, for readers that take several at once: how many,
// where they are, and moving past n of them (n no more than lza_stream_buffered).
inline size_t lza_stream_buffered(const lza_stream *stream) {
    return stream->end - stream->pos;
}
inline const unsigned char *lza_stream_cursor(const lza_stream *stream) {
    return stream->buffer + stream->pos;
}
inline void lza_stream_consume(lza_stream *stream, size_t n) {
    stream->pos += n;
}
