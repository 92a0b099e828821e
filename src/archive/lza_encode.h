// The LZARI encoder, the exact inverse of lza_read: same window (4036 spaces before the data,
// which matches may use), same adaptive symbol model and static position model, same final
// flush. It parses by cost (a shortest path over each block, priced by the model as it stands)
// rather than greedily, and takes its input in portions so that a file of any size passes
// through in constant memory.
#pragma once

#include <cstddef>
#include <cstdint>

// Receives packed bytes in order. 1 when written, 0 on failure (the encoder then stops).
typedef int (*lza_write_fn)(void *context, const void *data, size_t size);

struct lza_encoder; // about 1.6 MB of state; one per member being packed

// Starts a member whose packed bytes go to write(context, ...). Null when memory is short.
lza_encoder *lza_encode_begin(lza_write_fn write, void *context);
// Adds size bytes of the member's contents. 1 on success, 0 once a write has failed.
int lza_encode_feed(lza_encoder *encoder, const void *data, size_t size);
// Codes what is left, flushes the coder and frees the encoder. packed_size (optional) receives
// the packed byte count: 0 for an empty member, which writes nothing. 1 on success, 0 when a
// write failed.
int lza_encode_end(lza_encoder *encoder, uint64_t *packed_size);
// Frees the encoder without writing anything more; a null encoder is ignored.
void lza_encode_abort(lza_encoder *encoder);

// A growable block of bytes, usable as the encoder's output.
struct lza_byte_buffer {
    unsigned char *data; // heap block or null
    size_t size;         // bytes held
    size_t capacity;     // bytes allocated
};
// lza_write_fn appending to the lza_byte_buffer at context. 0 when memory is short.
int lza_byte_buffer_write(void *context, const void *data, size_t size);
// Frees the block and empties the buffer.
void lza_byte_buffer_free(lza_byte_buffer *buffer);

// Packs size bytes at data, appending to out. 1 on success, 0 when memory is short.
int lza_encode_memory(const void *data, size_t size, lza_byte_buffer *out);
